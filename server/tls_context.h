// The server side of TLS: one OpenSSL context for all clients, from PEM files
// or from a self-signed certificate generated in memory.
#pragma once

#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace kestrion::server {

class TlsContext {
 public:
  TlsContext() = default;
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  bool LoadFiles(const std::string& cert_file, const std::string& key_file, std::string& error);
  // A P-256 key and a certificate for "localhost", valid for a year.
  bool CreateSelfSigned(std::string& error);

  SSL_CTX* get() const { return ctx_; }

 private:
  bool CreateContext(std::string& error);
  SSL_CTX* ctx_ = nullptr;
};

}  // namespace kestrion::server
