// The statement text as the server wants it: identifier quotes turned into
// square brackets, escaped underscores unescaped, and the parameter markers
// counted.
#pragma once

#include <cstdint>
#include <string_view>

#include "toolbox/vstring.h"

namespace kestrion {

// Rewrites `text` in place:
//  - a double-quoted or backquoted identifier becomes a bracketed one
//    ("T" and `T` become [T]); a doubled quote inside is one quote
//    ("x""y" becomes [x"y]) and a ']' inside is doubled; quotes inside
//    literals, brackets or the other kind of quotes are left alone, and an
//    unclosed quote stays as it is;
//  - outside single-quoted literals, a backslash directly before an
//    underscore is dropped (LIKE patterns written for the ODBC escape).
void RewriteStatementText(corvane::VString& text);

// Counts the '?' markers of a rewritten text. A character after a backslash
// is skipped; inside a double-quoted, single-quoted or bracketed part only
// its closing character matters, and a doubled one does not close it.
int32_t CountParameterMarkers(std::u16string_view text);

// Both steps, as prepare runs them: rewrites `text` and answers its marker
// count. The rewrite takes one copy of the text's size, and throws
// std::bad_alloc when that cannot be had.
int32_t RewriteAndCountMarkers(corvane::VString& text);

}  // namespace kestrion
