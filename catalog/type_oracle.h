// The type oracle of SQLColumnsW and SQLSpecialColumnsW: a private statement
// whose column 1 is bound with a type so that the descriptor's own rules
// answer the type's attributes (concise type, decimal digits, radix and
// datetime subcode).
#pragma once

#include <cstdint>

#include "catalog/local_result_set.h"

namespace kestrion {

class TypeOracle {
 public:
  // What a freshly bound record of a type holds.
  struct Answer {
    int16_t concise_type = 0;
    int16_t decimal_digits = 0;
    int32_t radix = 0;
    int16_t datetime_sub = 0;
  };

  // Creates the private statement on the statement's connection.
  explicit TypeOracle(CHStatement& statement);
  bool ok() const { return statement_ != nullptr; }

  // Binds column 1 with `type` and reads the record back. Every bind starts
  // from a fresh record, so nothing of an earlier type remains; type 0 (a
  // server type the driver does not know) answers all zero.
  Answer Bind(int16_t type);

 private:
  PrivateStatement statement_;
  unsigned char scratch_[512] = {};
};

}  // namespace kestrion
