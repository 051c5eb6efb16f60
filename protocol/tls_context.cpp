#include "protocol/tls_context.h"

#include <openssl/err.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kestrion {

const char* const kClientCipherList =
    "ECDHE-RSA-AES128-GCM-SHA256:ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:DHE-RSA-AES128-GCM-SHA256:DHE-DSS-AES128-GCM-SHA256:"
    "kEDH+AESGCM:ECDHE-RSA-AES128-SHA256:ECDHE-ECDSA-AES128-SHA256:ECDHE-RSA-AES128-SHA:"
    "ECDHE-ECDSA-AES128-SHA:ECDHE-RSA-AES256-SHA384:ECDHE-ECDSA-AES256-SHA384:"
    "ECDHE-RSA-AES256-SHA:ECDHE-ECDSA-AES256-SHA:DHE-RSA-AES128-SHA256:DHE-RSA-AES128-SHA:"
    "DHE-DSS-AES128-SHA256:DHE-RSA-AES256-SHA256:DHE-DSS-AES256-SHA:DHE-RSA-AES256-SHA:"
    "AES128-GCM-SHA256:AES256-GCM-SHA384:AES128:AES256:HIGH:!aNULL:!eNULL:!EXPORT:!DES:!3DES:"
    "!MD5:!PSK:!RC4";

SSL_CTX* ClientTlsContext() {
  static std::once_flag once;
  static SSL_CTX* context = nullptr;
  std::call_once(once, [] {
    OPENSSL_init_ssl(0, nullptr);
    SSL_CTX* ctx = SSL_CTX_new(TLS_method());
    if (!ctx) {
      DrainTlsErrors();
      return;
    }
    SSL_CTX_set_verify_depth(ctx, 10);
    SSL_CTX_clear_options(ctx, SSL_CTX_get_options(ctx));
    SSL_CTX_set_options(ctx, SSL_OP_CIPHER_SERVER_PREFERENCE);
    SSL_CTX_set_options(ctx, SSL_OP_NO_SSLv3 | SSL_OP_NO_TLSv1 | SSL_OP_NO_TLSv1_1 |
                                 SSL_OP_NO_TLSv1_3);
    SSL_CTX_set_options(ctx, SSL_OP_NO_COMPRESSION);
    SSL_CTX_set_options(ctx, SSL_OP_LEGACY_SERVER_CONNECT);
    if (SSL_CTX_set_cipher_list(ctx, kClientCipherList) != 1) DrainTlsErrors();
    context = ctx;
  });
  return context;
}

void DrainTlsErrors() {
  static const bool verbose = std::getenv("KESTRION_DEBUG") != nullptr;
  while (unsigned long code = ERR_get_error()) {
    if (!verbose) continue;
    char text[200];
    ERR_error_string_n(code, text, sizeof text);
    std::fprintf(stderr, "[%d] OpenSSL stacked error : %s\n", static_cast<int>(::gettid()), text);
  }
}

}  // namespace kestrion
