// The name arguments of the catalog functions: taken by their length rule,
// prepared by the rules of each function, and quoted as SQL literals.
#pragma once

#include <optional>

#include "driver/odbc.h"
#include "toolbox/vstring.h"

namespace kestrion {

// How one catalog function treats a present name.
struct NameRules {
  bool percent_alone_absent = false;  // "%" alone means every name
  bool trim = false;                  // spaces and tabs at both ends removed
  bool remove_backslashes = false;    // every backslash removed
  bool remove_brackets = false;       // enclosing [ ] removed
};

inline constexpr NameRules kTablesNameRules{true, true, false, false};
inline constexpr NameRules kColumnsNameRules{false, false, true, true};
inline constexpr NameRules kKeyNameRules{false, false, false, true};

// A name argument as given: absent for a null pointer, a first unit 0, a
// length of 0 or a negative length other than SQL_NTS. SQL_NTS reads up to
// the terminating zero; a positive length counts UTF-16 units (the text
// still ends at a zero inside it).
std::optional<corvane::VString> TakeNameArgument(const SQLWCHAR* name, SQLSMALLINT length);

// Whether a name argument is given but empty: a pointer to a text whose first
// unit is 0, or any pointer with a length of 0. A null pointer is not empty
// but absent.
bool IsEmptyNameArgument(const SQLWCHAR* name, SQLSMALLINT length);

// A name argument prepared by `rules`; absent as above, or "%" alone when the
// rules say so.
std::optional<corvane::VString> PrepareName(const SQLWCHAR* name, SQLSMALLINT length,
                                            const NameRules& rules);

// The name as an SQL literal: between single quotes, each quote inside it
// doubled so that the literal cannot end early. An empty name gives an empty
// text (nothing follows the "=" then, and the server refuses the query).
corvane::VString QuotedName(const corvane::VString& name);

}  // namespace kestrion
