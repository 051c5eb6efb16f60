// Reply headers: field lookup (plain and Base64 forms), the splitting of a
// value into items (quotes and brackets), the description lists of a prepare
// or execute answer and their numbers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/reply_field.h"
#include "statement/reply_lists.h"
#include "toolbox/vstring.h"

using corvane::VString;

namespace {
constexpr std::u16string_view kNames[] = {
    u"Column-Count", u"Column-Types",  u"Column-Aliases", u"Column-Updateability",
    u"Result-Type",  u"Row-Count",     u"Row-Count-Sent", u"Statement-ID",
    u"Body-Length",  u"Error-Code",    u"Error-Text",     u"Parameter-Types",
};

void Consume(kestrion::ReplyList& list) {
  while (list.has_item()) {
    VString item = list.Take();
    kestrion::ItemToInteger(item, -1);
    kestrion::TextOfBase64(item);
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const VString header =
      VString::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  for (std::u16string_view name : kNames) {
    if (auto items = kestrion::GetReplyField(name, header)) {
      for (const VString& item : *items) kestrion::ItemToInteger(item);
    }
  }
  kestrion::Tokenize(header);
  if (auto text = kestrion::TextOfBase64(header)) kestrion::Base64OfText(*text);

  kestrion::ReplyLists lists;
  lists.ReadDescription(header, true, true);
  for (kestrion::ReplyList* list :
       {&lists.column_count, &lists.column_types, &lists.column_aliases,
        &lists.column_updateability, &lists.column_sizes, &lists.result_type, &lists.row_count,
        &lists.parameter_types})
    Consume(*list);
  return 0;
}
