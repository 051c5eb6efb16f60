#include "server/result_description.h"

#include "toolbox/base64.h"

namespace kestrion::server {

std::string QuoteAlias(const std::string& a) {
  bool plain = !a.empty();
  if (plain) {
    char f = a.front();
    if (f == '"' || f == '\'' || f == '[' || f == '`') plain = false;
  }
  for (char c : a)
    if (c == ' ') plain = false;
  if (plain) return a;
  if (a.find('"') == std::string::npos) return "\"" + a + "\"";
  if (a.find(']') == std::string::npos) return "[" + a + "]";
  if (a.find('\'') == std::string::npos) return "'" + a + "'";
  // All three delimiters inside: brackets, with the closing ones made parentheses.
  std::string b = a;
  for (char& c : b)
    if (c == ']') c = ')';
  return "[" + b + "]";
}

void DescribeResults(Reply& reply, const std::vector<ResultSet>& results, bool row_counts,
                     bool sizes) {
  std::string counts, types, declared_sizes, aliases, updatable, result_types, rows;
  bool ascii = true;
  auto add = [](std::string& list, std::string_view item) {
    if (!list.empty()) list.push_back(' ');
    list += item;
  };
  for (const ResultSet& r : results) {
    if (!r.row_set) {
      add(counts, "1");
      add(types, "VK_LONG");
      add(declared_sizes, "0");
      add(aliases, "Update-Count");
      add(updatable, "N");
      add(result_types, "Update-Count");
      add(rows, std::to_string(r.update_count));
      continue;
    }
    add(counts, std::to_string(r.columns.size()));
    for (const ResultColumn& c : r.columns) {
      add(types, corvane::KindName(c.kind));
      add(declared_sizes, std::to_string(c.declared_size));
      for (unsigned char ch : c.alias)
        if (ch < 0x20 || ch >= 0x7F) ascii = false;
      add(aliases, QuoteAlias(c.alias));
      add(updatable, r.updatable ? "Y" : "N");
    }
    add(result_types, "Row-Set");
    add(rows, std::to_string(r.row_count()));
  }
  reply.Field("Column-Count", counts);
  reply.Field("Column-Types", types);
  if (ascii) reply.Field("Column-Aliases", aliases);
  else reply.Field("Column-Aliases-Base64", corvane::Base64Encode(std::string_view(aliases)));
  reply.Field("Column-Updateability", updatable);
  if (sizes) reply.Field("Column-Sizes", declared_sizes);
  reply.Field("Result-Type", result_types);
  if (row_counts) reply.Field("Row-Count", rows);
}

}  // namespace kestrion::server
