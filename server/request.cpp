#include "server/request.h"

#include <charconv>

namespace kestrion::server {

namespace {
std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool EqualsBlind(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}
}  // namespace

const std::string_view* Request::Find(std::string_view name) const {
  const Field* f = FindField(name);
  return f ? &f->value : nullptr;
}

const Request::Field* Request::FindField(std::string_view name) const {
  for (const auto& f : fields)
    if (EqualsBlind(f.name, name)) return &f;
  return nullptr;
}

std::optional<long long> Request::FindInt(std::string_view name) const {
  const std::string_view* v = Find(name);
  if (!v || v->empty()) return std::nullopt;
  long long n = 0;
  auto r = std::from_chars(v->data(), v->data() + v->size(), n);
  if (r.ec != std::errc() || r.ptr != v->data() + v->size()) return std::nullopt;
  return n;
}

void ParseRequest(std::string_view header, Request& req) {
  req.id = {};
  req.command = {};
  req.fields.clear();
  if (header.size() >= 4 && header.substr(header.size() - 4) == "\r\n\r\n") header.remove_suffix(4);
  std::size_t eol = header.find("\r\n");
  std::string_view first = header.substr(0, eol);
  std::size_t space = first.find(' ');
  if (space == std::string_view::npos) {
    req.id = first;
  } else {
    req.id = first.substr(0, space);
    std::string_view rest = Trim(first.substr(space + 1));
    req.command = rest.substr(0, rest.find(' '));
  }
  while (eol != std::string_view::npos) {
    std::size_t start = eol + 2;
    eol = header.find("\r\n", start);
    std::string_view line = header.substr(start, eol == std::string_view::npos ? std::string_view::npos : eol - start);
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view after = line.substr(colon + 1);
    req.fields.push_back({Trim(line.substr(0, colon)), Trim(after), after});
  }
}

Request ParseRequest(std::string_view header) {
  Request req;
  ParseRequest(header, req);
  return req;
}

}  // namespace kestrion::server
