// Checking the server's TLS certificate (the TLSVerify and TLSCAFile
// settings): "none" accepts any certificate; "ca" wants a chain that ends at
// a trusted certificate; "full" also wants the server name among the
// certificate's subject alternative names.
#pragma once

#include <openssl/ssl.h>

#include <optional>
#include <string>

#include "toolbox/vstring.h"

namespace kestrion {

enum class TlsVerifyMode { None, Ca, Full };

// The TLSVerify setting: absent or empty is None, otherwise "none", "ca" or
// "full" ignoring case; nothing for any other value.
std::optional<TlsVerifyMode> ParseTlsVerify(const std::optional<corvane::VString>& value);

// Verifies the certificate chain presented on `ssl` (after the handshake)
// against the PEM certificates of `ca_file`, or the system's store when it is
// empty; with Full, `server_name` (a host name or an IP address) must match a
// subject alternative name. False with `why` saying what did not verify.
bool VerifyServerCertificate(SSL* ssl, TlsVerifyMode mode, const std::string& server_name,
                             const std::string& ca_file, std::string& why);

}  // namespace kestrion
