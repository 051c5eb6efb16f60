// What a server announced it can do beyond the base protocol: the words of
// the "Capabilities:" field of its LOGIN reply, read once at login. A server
// that sends no such field has none, and the driver then keeps to the base
// protocol. Unknown words are kept but change nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrion {

// The server keeps results to be closed when a later request names them in
// "CLOSE-STATEMENT-IDS:", so closing a result costs no round trip.
inline constexpr std::string_view kCapabilityDeferredClose = "deferred-close";
// An EXECUTE-STATEMENT reply describes the results as completely as a
// PREPARE-STATEMENT reply, so SQLExecDirectW may skip the prepare.
inline constexpr std::string_view kCapabilityExecuteDescribes = "execute-describes";
// The server interrupts a running request when a second connection sends
// CANCEL with the session's id and key (LOGIN reply fields), and answers the
// interrupted request with an error; the connection stays in step.
inline constexpr std::string_view kCapabilityCancel = "cancel";

// The server reads requests while earlier ones are still being answered and
// answers each in turn, so several requests may leave in one send before the
// first reply is read (the sets of a parameter array).
inline constexpr std::string_view kCapabilityPipeline = "pipeline";

class ServerCapabilities {
 public:
  // The words of the field in a LOGIN reply header; none when it is absent.
  static ServerCapabilities FromReply(std::u16string_view reply);
  // From the field's value: words separated by spaces, matched ignoring case.
  static ServerCapabilities FromList(std::string_view list);

  bool Has(std::string_view word) const;
  const std::vector<std::string>& words() const { return words_; }
  void Clear() {
    words_.clear();
    deferred_close_ = execute_describes_ = pipeline_ = cancel_ = false;
  }

  // The capabilities the driver uses, looked up once.
  bool deferred_close() const { return deferred_close_; }
  bool execute_describes() const { return execute_describes_; }
  bool pipeline() const { return pipeline_; }
  bool cancel() const { return cancel_; }

 private:
  std::vector<std::string> words_;  // lower case
  bool deferred_close_ = false;
  bool execute_describes_ = false;
  bool pipeline_ = false;
  bool cancel_ = false;
};

}  // namespace kestrion
