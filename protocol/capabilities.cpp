#include "protocol/capabilities.h"

#include <algorithm>

#include "protocol/reply_field.h"
#include "toolbox/vstring.h"

namespace kestrion {

namespace {

std::string Lower(std::string_view word) {
  std::string out(word);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

ServerCapabilities ServerCapabilities::FromList(std::string_view list) {
  ServerCapabilities c;
  std::size_t at = 0;
  while (at < list.size()) {
    const std::size_t end = std::min(list.find_first_of(" \t", at), list.size());
    if (end > at) {
      std::string word = Lower(list.substr(at, end - at));
      if (!c.Has(word)) c.words_.push_back(std::move(word));
    }
    at = end + 1;
  }
  c.deferred_close_ = c.Has(kCapabilityDeferredClose);
  c.execute_describes_ = c.Has(kCapabilityExecuteDescribes);
  c.pipeline_ = c.Has(kCapabilityPipeline);
  c.cancel_ = c.Has(kCapabilityCancel);
  return c;
}

ServerCapabilities ServerCapabilities::FromReply(std::u16string_view reply) {
  std::optional<TokenList> tokens = GetReplyField(u"Capabilities", reply);
  if (!tokens) return {};
  std::string list;
  for (const corvane::VString& t : *tokens) {
    if (!list.empty()) list += ' ';
    list += t.ToUtf8();
  }
  return FromList(list);
}

bool ServerCapabilities::Has(std::string_view word) const {
  const std::string wanted = Lower(word);
  for (const std::string& w : words_) {
    if (w == wanted) return true;
  }
  return false;
}

}  // namespace kestrion
