// Dialog tests: the real dialog procedures on the headless host, with data
// sources kept in memory instead of odbc.ini.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "setup/data_source_store.h"
#include "setup/dialog_templates.h"
#include "setup/dialog_toolkit.h"
#include "setup/headless_dialog.h"
#include "toolbox/vstring.h"

namespace kestrion_test {

// Sections of key/value pairs; the writes it is told to fail fail.
class MemoryStore final : public kestrion::DataSourceStore {
 public:
  using Section = std::map<std::u16string, std::u16string>;
  std::map<std::u16string, Section> sections;
  std::vector<std::pair<int, std::u16string>> errors;
  std::u16string fail_write_of_key;  // a Write of this key fails
  bool fail_data_source_write = false;

  std::optional<corvane::VString> Read(std::u16string_view dsn, std::u16string_view key) override {
    auto s = sections.find(std::u16string(dsn));
    if (s == sections.end()) return std::nullopt;
    auto k = s->second.find(std::u16string(key));
    if (k == s->second.end()) return std::nullopt;
    return corvane::VString(k->second);
  }
  bool WriteDataSource(std::u16string_view dsn, std::u16string_view driver) override {
    if (fail_data_source_write) return false;
    sections[std::u16string(dsn)][u"Driver"] = driver;
    return true;
  }
  bool Write(std::u16string_view dsn, std::u16string_view key, std::u16string_view value) override {
    if (key == fail_write_of_key) return false;
    sections[std::u16string(dsn)][std::u16string(key)] = value;
    return true;
  }
  bool Remove(std::u16string_view dsn) override {
    return sections.erase(std::u16string(dsn)) > 0;
  }
  bool Valid(std::u16string_view dsn) override {
    if (dsn.empty() || dsn.size() > 32) return false;
    return dsn.find_first_of(u"[]{}(),;?*=!@\\") == std::u16string_view::npos;
  }
  void PostError(int code, std::u16string_view message) override {
    errors.emplace_back(code, std::u16string(message));
  }
};

class SetupTest : public ::testing::Test {
 protected:
  MemoryStore store;
  kestrion::HeadlessToolkit toolkit;

  void SetUp() override {
    kestrion::UseStore(&store);
    kestrion::UseToolkit(&toolkit);
  }
  void TearDown() override {
    kestrion::UseToolkit(nullptr);
    kestrion::UseStore(nullptr);
  }

  const std::vector<kestrion::ShownMessage>& messages() { return toolkit.messages(); }
  std::u16string Stored(const std::u16string& dsn, const std::u16string& key) {
    auto v = store.Read(dsn, key);
    return v ? std::u16string(*v) : u"<absent>";
  }
};

}  // namespace kestrion_test
