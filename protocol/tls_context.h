// The process-wide TLS client context: TLS 1.2 only, a fixed cipher list, no
// client certificate and no verification of the server's certificate.
#pragma once

#include <openssl/ssl.h>

namespace kestrion {

// The cipher list offered to servers.
extern const char* const kClientCipherList;

// Created on first use (OpenSSL initialised once) and kept for the life of
// the process; null if OpenSSL cannot create it.
SSL_CTX* ClientTlsContext();

// Takes every pending OpenSSL error off the thread's queue. With the
// KESTRION_DEBUG environment variable set, each is written to standard error.
void DrainTlsErrors();

}  // namespace kestrion
