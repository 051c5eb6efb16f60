#include "server/result_description.h"

#include <cstdint>
#include <span>

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

namespace {

// One field line, as Reply::Field writes it.
void AddField(std::string& out, std::string_view name, std::string_view value) {
  out += name;
  out += ": ";
  out += value;
  out += "\r\n";
}

// The description lines of `results`, without Row-Count.
void DescriptionLines(std::span<const ResultSet> results, bool sizes, std::string& out) {
  std::string counts, types, declared_sizes, aliases, updatable, result_types;
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
  }
  AddField(out, "Column-Count", counts);
  AddField(out, "Column-Types", types);
  if (ascii) AddField(out, "Column-Aliases", aliases);
  else AddField(out, "Column-Aliases-Base64", corvane::Base64Encode(std::string_view(aliases)));
  AddField(out, "Column-Updateability", updatable);
  if (sizes) AddField(out, "Column-Sizes", declared_sizes);
  AddField(out, "Result-Type", result_types);
}

}  // namespace

std::string_view DescriptionMemo::Lines(const ResultSet& r, bool sizes) {
  if (!valid_ || sizes != sizes_ || r.row_set != row_set_ || r.updatable != updatable_ || r.columns != columns_) {
    lines_.clear();
    DescriptionLines(std::span<const ResultSet>(&r, 1), sizes, lines_);
    sizes_ = sizes;
    row_set_ = r.row_set;
    updatable_ = r.updatable;
    columns_ = r.columns;
    valid_ = true;
  }
  return lines_;
}

void DescribeResults(Reply& reply, const std::vector<ResultSet>& results, bool row_counts, bool sizes,
                     DescriptionMemo* memo) {
  if (memo && results.size() == 1) {
    reply.Lines(memo->Lines(results.front(), sizes));
  } else {
    std::string lines;
    DescriptionLines(results, sizes, lines);
    reply.Lines(lines);
  }
  if (!row_counts) return;
  std::string rows;
  for (const ResultSet& r : results) {
    if (!rows.empty()) rows.push_back(' ');
    rows += std::to_string(r.row_set ? static_cast<std::int64_t>(r.row_count()) : r.update_count);
  }
  reply.Field("Row-Count", rows);
}

}  // namespace kestrion::server
