// BULK-MODIFY, TLS and several clients at once.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "tests/server/raw_client.h"
#include "tests/support/dev_server.h"

using namespace kestrion_test;
using corvane::VKind;
using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes Text(const std::string& ascii) {
  Bytes b;
  std::int32_t n = -static_cast<std::int32_t>(ascii.size());
  for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(n) >> (8 * k)));
  for (char c : ascii) b.insert(b.end(), {static_cast<std::uint8_t>(c), 0});
  return b;
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
}  // namespace

TEST(ServerBulkModify, InsertUpdateDeleteByRowId) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port());
  ASSERT_TRUE(c.Login().ok);
  ASSERT_TRUE(c.Execute("create table pets(name VARCHAR(20), legs INT)").ok);
  c.ReadBytesExact(4);
  ASSERT_TRUE(c.Execute("insert into pets values ('cat', 4), ('bird', 2)").ok);
  c.ReadBytesExact(4);
  RawReply r = c.Execute("select name, legs from pets");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.Field("Column-Updateability"), "Y Y");
  c.ReadRows(2, {VKind::Long, VKind::Text, VKind::Long});
  std::string id = r.Field("Statement-ID");
  std::vector<std::string> head = {"STATEMENT-ID: " + id, "COMMAND-INDEX: 0"};

  // Two inserts: one row id back per item.
  Bytes body = {'2', 2, 0, 0, 0, '1'};
  Append(body, Text("dog"));
  Append(body, {1, 0, '1', 4, 0, 0, 0});
  Append(body, {'2', 2, 0, 0, 0, '1'});
  Append(body, Text("fish"));
  Append(body, {1, 0, '0'});
  auto fields = head;
  fields.push_back("ROW-COUNT : 2");
  r = c.Request("BULK-MODIFY", fields, body);
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(c.ReadBytesExact(8), (Bytes{3, 0, 0, 0, 4, 0, 0, 0}));
  // Update row 1 (cat -> 3 legs), delete row 2 (bird).
  body = {'1', 1, 0, 0, 0, 1, 0, 1, 0, '1', 3, 0, 0, 0, '3', 2, 0, 0, 0};
  fields = head;
  fields.push_back("ROW-COUNT : 2");
  r = c.Request("BULK-MODIFY", fields, body);
  ASSERT_TRUE(r.ok) << r.header;
  r = c.Execute("select name || ':' || ifnull(legs, '-') from pets order by _rowid_");
  auto rows = c.ReadRows(3, {VKind::Text});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0].text(), u"cat:3");
  EXPECT_EQ(rows[1][0].text(), u"dog:4");
  EXPECT_EQ(rows[2][0].text(), u"fish:-");
  // A row id that does not exist fails the whole request; nothing changes.
  body = {'3', 1, 0, 0, 0, '3', 99, 0, 0, 0};
  r = c.Request("BULK-MODIFY", fields, body);
  EXPECT_EQ(r.Field("Error-Code"), "3009");
  r = c.Execute("select count(*) from pets");
  EXPECT_EQ(c.ReadRows(1, {VKind::Long8})[0][0].integer(), 3);
  // Positioning changes nothing; its column items are skipped.
  fields = head;
  fields.push_back("ROW-COUNT : 1");
  r = c.Request("BULK-MODIFY", fields, {'5', 1, 0, '1', 9, 0, 0, 0});
  EXPECT_TRUE(r.ok) << r.header;
  // An impossible date is refused, not stored.
  ASSERT_TRUE(c.Execute("create table days(d DATE)").ok);
  c.ReadBytesExact(4);
  r = c.Execute("insert into days values (?)", 100, " VK_TIME", {'1', 0xE8, 0x07, 2, 30, 0, 0, 0, 0});
  EXPECT_EQ(r.Field("Error-Code"), "4020") << r.header;
  // A result that is not updatable is refused.
  r = c.Execute("select count(*) from pets");
  c.ReadRows(1, {VKind::Long8});
  fields = {"STATEMENT-ID: " + r.Field("Statement-ID"), "COMMAND-INDEX: 0", "ROW-COUNT : 1"};
  r = c.Request("BULK-MODIFY", fields, {'3', 1, 0, 0, 0});
  EXPECT_EQ(r.Field("Error-Code"), "3008");
  EXPECT_TRUE(c.Execute("select 1").ok);
}

TEST(ServerTls, SelfSignedCertificateAndTls12Client) {
  DevServer server({"--tls-self-signed", "--sample"});
  ASSERT_TRUE(server.ok()) << server.error();
  RawClient c(server.port(), true);
  ASSERT_TRUE(c.connected());
  ASSERT_TRUE(c.Login().ok);
  RawReply r = c.Execute("select id, name from customers order by id", 50);
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.Field("Row-Count"), "500");
  auto rows = c.ReadRows(50, {VKind::Long, VKind::Long, VKind::Text});
  ASSERT_EQ(rows.size(), 50u);
  EXPECT_EQ(rows[49][2].text(), u"Customer 50");
  // A plain client gets nothing useful from a TLS server.
  RawClient plain(server.port());
  plain.Send("LOGIN", {"USER-NAME-BASE64: ", "USER-PASSWORD-BASE64: "});
  EXPECT_FALSE(plain.Read().ok);
}

TEST(ServerTls, CertificateAndKeyFromPemFiles) {
  char dir[] = "/tmp/kestrion-tls-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  std::string cert_path = std::string(dir) + "/cert.pem", key_path = std::string(dir) + "/key.pem";
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = X509_new();
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 7);
  X509_gmtime_adj(X509_getm_notBefore(cert), 0);
  X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
  X509_set_pubkey(cert, key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("test"), -1, -1, 0);
  X509_set_issuer_name(cert, X509_get_subject_name(cert));
  ASSERT_GT(X509_sign(cert, key, EVP_sha256()), 0);
  FILE* f = std::fopen(cert_path.c_str(), "w");
  PEM_write_X509(f, cert);
  std::fclose(f);
  f = std::fopen(key_path.c_str(), "w");
  PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(f);
  X509_free(cert);
  EVP_PKEY_free(key);
  {
    DevServer server({"--tls-cert", cert_path, "--tls-key", key_path});
    ASSERT_TRUE(server.ok()) << server.error();
    RawClient c(server.port(), true);
    ASSERT_TRUE(c.connected());
    EXPECT_TRUE(c.Login().ok);
  }
  {
    // A key that does not match: the server refuses to start.
    DevServer wrong({"--tls-cert", cert_path, "--tls-key", cert_path});
    EXPECT_FALSE(wrong.ok());
  }
  unlink(cert_path.c_str());
  unlink(key_path.c_str());
  rmdir(dir);
}

TEST(ServerConcurrency, ClientsWorkSideBySide) {
  DevServer server({"--sample"});
  ASSERT_TRUE(server.ok()) << server.error();
  {
    RawClient setup(server.port());
    ASSERT_TRUE(setup.Login().ok);
    ASSERT_TRUE(setup.Execute("create table hits(client INT, n INT)").ok);
  }
  // One client idles in the middle of a request body; the others must not stall.
  RawClient slow(server.port());
  ASSERT_TRUE(slow.Login().ok);
  slow.Send("EXECUTE-STATEMENT", {"STATEMENT-BASE64: " + B64("select ?"), "PARAMETER-TYPES: VK_LONG"}, {'1', 1});
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      RawClient c(server.port());
      if (!c.Login().ok) {
        ++failures;
        return;
      }
      for (int i = 0; i < 25; ++i) {
        RawReply r = c.Execute("insert into hits values (" + std::to_string(t) + ", " + std::to_string(i) + ")");
        if (!r.ok || c.ReadBytesExact(4) != Bytes{1, 0, 0, 0}) ++failures;
        r = c.Execute("select count(*) from order_lines where order_id <= 10");
        if (!r.ok || c.ReadRows(1, {VKind::Long8})[0][0].integer() != 30) ++failures;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  RawClient check(server.port());
  ASSERT_TRUE(check.Login().ok);
  check.Execute("select count(*) from hits");
  EXPECT_EQ(check.ReadRows(1, {VKind::Long8})[0][0].integer(), 100);
}
