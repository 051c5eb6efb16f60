// Connection settings: connection-string lookup, gathering with the data
// source, defaults, and the completed connection string.
#include <gtest/gtest.h>

#include <map>

#include "protocol/installer.h"
#include "protocol/settings.h"
#include "tests/support/odbc_config.h"

namespace {

using corvane::VString;
using kestrion::ComposeConnectionString;
using kestrion::ConnectionStringValue;
using kestrion::GatherSettings;
using kestrion::Setting;
using kestrion::Settings;

std::optional<VString> Value(const char16_t* key, const char16_t* text) {
  return ConnectionStringValue(key, text);
}

TEST(ConnectionString, ItemsAreTrimmedUnbracedAndCutAtEquals) {
  EXPECT_EQ(Value(u"UID", u"DSN=x;  UID \t=  { john smith }  ;PWD=a"), VString(u"john smith"));
  // A password is cut at its own "=", and a ";" inside braces still splits.
  EXPECT_EQ(Value(u"PWD", u"UID=a;PWD=se=cret"), VString(u"se"));
  EXPECT_EQ(Value(u"PWD", u"PWD={a;b}"), VString(u""));  // "{a" loses both ends
  // Keys ignore case and accents; the first matching item wins.
  EXPECT_EQ(Value(u"server", u"SERVER=one;Server=two"), VString(u"one"));
  EXPECT_EQ(Value(u"Server", u"S\u00E9rver=accent"), VString(u"accent"));
  // Present but empty, and absent.
  EXPECT_EQ(Value(u"UID", u"UID=;PWD=x"), VString(u""));
  EXPECT_EQ(Value(u"UID", u";;UID;"), VString(u""));
  EXPECT_FALSE(Value(u"UID", u"DSN=x;=y;;PWD=z").has_value());
  EXPECT_EQ(Value(u"UID", u"UID={"), VString(u""));
}

struct FakeDataSource {
  std::map<std::u16string, std::u16string> keys;
  int reads = 0;
  kestrion::DataSourceReader Reader() {
    return [this](std::u16string_view, std::u16string_view key,
                  std::u16string_view def) -> std::optional<VString> {
      ++reads;
      auto it = keys.find(std::u16string(key));
      VString v = it != keys.end() ? VString(it->second) : VString(def);
      if (v.empty()) return std::nullopt;
      return v;
    };
  }
};

TEST(GatherSettings, EmptyDataSourceGivesTheDefaults) {
  FakeDataSource source;
  Settings s = GatherSettings(u"DSN=nothing", source.Reader());
  EXPECT_EQ(source.reads, 18);  // every key but DSN
  EXPECT_EQ(s.Text(Setting::DSN), u"nothing");
  EXPECT_EQ(s.Text(Setting::Server), u"localhost");
  EXPECT_EQ(s.Text(Setting::Port), u"19812");
  EXPECT_EQ(s.Text(Setting::SSL), u"false");
  EXPECT_EQ(s.Text(Setting::PhysicalConnectionTimeout), u"30");
  EXPECT_EQ(s.Text(Setting::LoginTimeout), u"30");
  EXPECT_EQ(s.Text(Setting::QueryTimeout), u"240");
  EXPECT_EQ(s.Text(Setting::DefaultPageSize), u"100");
  EXPECT_EQ(s.Text(Setting::NetworkCacheSize), u"128");
  EXPECT_EQ(s.Text(Setting::CharsEncoding), u"UTF-8");
  EXPECT_FALSE(s[Setting::UID].has_value());
  EXPECT_FALSE(s[Setting::PWD].has_value());
  EXPECT_FALSE(s[Setting::FavouriteImageFormats].has_value());
}

TEST(GatherSettings, ConnectionStringOverridesTheDataSource) {
  FakeDataSource source;
  source.keys = {{u"Server", u"db.example"}, {u"UID", u"dsnuser"}, {u"PWD", u"dsnpass"},
                 {u"Port", u"1000"}};
  Settings s = GatherSettings(u"DSN=src;Port=2000;LoginTimeout=;QueryTimeout=*", source.Reader());
  EXPECT_EQ(s.Text(Setting::Server), u"db.example");
  EXPECT_EQ(s.Text(Setting::Port), u"2000");
  EXPECT_EQ(s.Text(Setting::UID), u"dsnuser");
  EXPECT_EQ(s.Text(Setting::PWD), u"dsnpass");
  // An empty value is given and empty, "*" keeps what was read.
  ASSERT_TRUE(s[Setting::LoginTimeout].has_value());
  EXPECT_EQ(s.Text(Setting::LoginTimeout), u"");
  EXPECT_EQ(s.Text(Setting::QueryTimeout), u"240");

  // A user name from the connection string drops the data source's password.
  s = GatherSettings(u"DSN=src;UID=other", source.Reader());
  EXPECT_EQ(s.Text(Setting::UID), u"other");
  EXPECT_FALSE(s[Setting::PWD].has_value());
  s = GatherSettings(u"DSN=src;PWD=given;UID=other", source.Reader());
  EXPECT_EQ(s.Text(Setting::PWD), u"given");
}

TEST(GatherSettings, StarReadsNoDataSource) {
  FakeDataSource source;
  Settings s = GatherSettings(u"DSN=*;Server=host;UID=u", source.Reader());
  EXPECT_EQ(source.reads, 0);
  EXPECT_FALSE(s[Setting::DSN].has_value());
  EXPECT_EQ(s.Text(Setting::Server), u"host");
  EXPECT_EQ(s.Text(Setting::Port), u"19812");
}

TEST(CompletedString, DriverItemDoubleSemicolonNoDescription) {
  FakeDataSource source;
  source.keys = {{u"Description", u"my source"}};
  Settings s = GatherSettings(u"DSN=name;UID=me;PWD=pw", source.Reader());
  const VString text = ComposeConnectionString(s, 1000);
  EXPECT_EQ(text.ToUtf8(),
            "DSN=name;DRIVER={Kestrion v18 Rx ODBC Driver 64-bit};;Server=localhost;Port=19812;"
            "UID=me;PWD=pw;SSL=false;PhysicalConnectionTimeout=30;LoginTimeout=30;"
            "QueryTimeout=240;DefaultPageSize=100;NetworkCacheSize=128;CharsEncoding=UTF-8;"
            "OpenQuery=false;MSAccess=false;Windev=false");
  // Without a DSN the text opens with the DRIVER item's semicolon.
  s = GatherSettings(u"DSN=*;UID=me", source.Reader());
  EXPECT_EQ(ComposeConnectionString(s, 1000).substr(0, 9), u";DRIVER={");
}

TEST(CompletedString, TlsVerificationKeysOnlyWhenGiven) {
  FakeDataSource source;
  source.keys = {{u"TLSCAFile", u"/etc/ca.pem"}};
  Settings s = GatherSettings(u"DSN=name;UID=me;TLSVerify=full", source.Reader());
  EXPECT_EQ(s.Text(Setting::TLSVerify), u"full");
  EXPECT_EQ(s.Text(Setting::TLSCAFile), u"/etc/ca.pem");
  VString text = ComposeConnectionString(s, 1000);
  EXPECT_NE(text.ToUtf8().find(";Windev=false;TLSVerify=full;TLSCAFile=/etc/ca.pem"), std::string::npos)
      << text.ToUtf8();
  s = GatherSettings(u"DSN=*;UID=me", source.Reader());
  EXPECT_FALSE(s[Setting::TLSVerify].has_value());
  text = ComposeConnectionString(s, 1000);
  EXPECT_EQ(text.ToUtf8().find("TLS"), std::string::npos) << text.ToUtf8();
}

TEST(CompletedString, LargeBuffersReceiveCompleteItemsOnly) {
  FakeDataSource source;
  Settings s = GatherSettings(u"DSN=name;UID=me;PWD=pw", source.Reader());
  const VString full = ComposeConnectionString(s, 100);  // small: the whole text
  ASSERT_GT(full.size(), 220u);
  const VString cut = ComposeConnectionString(s, 220);
  EXPECT_LT(cut.size(), 219u);
  EXPECT_EQ(full.substr(0, cut.size()), cut);
  EXPECT_EQ(full[cut.size()], u';');  // it ends on an item boundary
  EXPECT_EQ(ComposeConnectionString(s, 500), full);
}

TEST(DataSourceFile, ValuesAreReadTrimmedThroughTheInstallerLibrary) {
  kestrion_test::PrivateOdbcConfig config;
  config.AddDataSource("spaced", {{"Server", "  \thost.local  "}, {"Port", "1234"}, {"UID", ""}});
  EXPECT_EQ(kestrion::ReadDataSourceValue(u"spaced", u"Server", u"localhost"), VString(u"host.local"));
  EXPECT_EQ(kestrion::ReadDataSourceValue(u"spaced", u"port", u"19812"), VString(u"1234"));
  // Missing and empty entries give the default; an empty default gives nothing.
  EXPECT_EQ(kestrion::ReadDataSourceValue(u"spaced", u"SSL", u"false"), VString(u"false"));
  EXPECT_EQ(kestrion::ReadDataSourceValue(u"spaced", u"UID", u""), std::nullopt);
  EXPECT_EQ(kestrion::ReadDataSourceValue(u"absent", u"Server", u"localhost"), VString(u"localhost"));
}

}  // namespace
