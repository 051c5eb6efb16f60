#include "catalog/type_oracle.h"

#include "driver/bind_record.h"
#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/describe_column.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"

namespace kestrion {

TypeOracle::TypeOracle(CHStatement& statement) : statement_(CreatePrivateStatement(statement)) {}

TypeOracle::Answer TypeOracle::Bind(int16_t type) {
  Answer answer;
  if (statement_ == nullptr || type == 0) return answer;
  CHDescriptor* ard = statement_->current_descriptor(DescriptorRole::AppRow);
  if (ard == nullptr) return answer;
  ard->SetCount(0);
  ard->SetCount(1);
  BindRecord(*ard, 1, type, scratch_, sizeof scratch_, nullptr);
  const DescriptorRecord* r = ard->record(1);
  if (r == nullptr) return answer;
  answer.concise_type = FoldType(r->concise_type(), OdbcVersion(*statement_));
  // The same digits as a described column of the type: a timestamp's
  // fractional seconds, a number's scale.
  answer.decimal_digits = DecimalDigits(*r, OdbcVersion(*statement_));
  answer.radix = r->num_prec_radix();
  answer.datetime_sub = r->datetime_interval_code();
  return answer;
}

}  // namespace kestrion
