#include "server/parameter_body.h"

#include "toolbox/value_codec.h"

namespace kestrion::server {

void SplitParameterTypes(std::string_view raw, std::vector<std::string_view>& out) {
  out.clear();
  while (!raw.empty() && (raw.back() == '\r' || raw.back() == ' ')) raw.remove_suffix(1);
  if (raw.empty()) return;
  if (raw.front() == ' ') raw.remove_prefix(1);
  for (;;) {
    std::size_t sp = raw.find(' ');
    out.push_back(raw.substr(0, sp));
    if (sp == std::string_view::npos) break;
    raw.remove_prefix(sp + 1);
  }
}

std::vector<std::string_view> SplitParameterTypes(std::string_view raw) {
  std::vector<std::string_view> out;
  SplitParameterTypes(raw, out);
  return out;
}

bool ReadParameterBody(corvane::VStream& s, int markers, const std::vector<std::string_view>& kinds,
                       std::vector<corvane::VValue>& out, std::string& error) {
  out.clear();
  out.reserve(static_cast<std::size_t>(markers));
  std::size_t next_kind = 0;
  for (int i = 0; i < markers; ++i) {
    std::uint8_t status;
    if (!s.GetU8(status)) {
      error = "Parameter body too short.";
      return false;
    }
    if (status == '0' || status == 0) {
      out.push_back(corvane::VValue());
      continue;
    }
    if (status != '1') {
      error = "Bad status byte in parameter " + std::to_string(i + 1) + ".";
      return false;
    }
    if (next_kind >= kinds.size()) {
      error = "No kind named for parameter " + std::to_string(i + 1) + ".";
      return false;
    }
    corvane::VKind kind = corvane::KindFromName(kinds[next_kind++]);
    if (kind == corvane::VKind::Unknown) {
      error = "Unknown kind for parameter " + std::to_string(i + 1) + ".";
      return false;
    }
    corvane::VValue v;
    if (!corvane::ReadValue(s, kind, v)) {
      error = "Cannot read the value of parameter " + std::to_string(i + 1) + ".";
      return false;
    }
    out.push_back(std::move(v));
  }
  return true;
}

}  // namespace kestrion::server
