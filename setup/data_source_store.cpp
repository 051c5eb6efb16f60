#include "setup/data_source_store.h"

#include <string>

#include "protocol/installer.h"

namespace kestrion {

using corvane::VString;

namespace {

// The installer library's SQLWCHAR is 16-bit, like the driver's.
using WriteProfileStringW = int (*)(const char16_t*, const char16_t*, const char16_t*,
                                    const char16_t*);
using WriteDsnW = int (*)(const char16_t*, const char16_t*);
using NameW = int (*)(const char16_t*);
using PostErrorA = short (*)(unsigned, const char*);

template <class F>
F Resolve(const char* name) {
  return reinterpret_cast<F>(InstallerFunction(name));
}

class Installer final : public DataSourceStore {
 public:
  std::optional<VString> Read(std::u16string_view dsn, std::u16string_view key) override {
    VString text;
    // An empty section name would make the library list the sections instead.
    if (dsn.empty() || GetPrivateProfileString(dsn, key, u"", text) <= 0) return std::nullopt;
    return text;
  }
  bool WriteDataSource(std::u16string_view dsn, std::u16string_view driver) override {
    static auto fn = Resolve<WriteDsnW>("SQLWriteDSNToIniW");
    const VString d(dsn), v(driver);
    return fn && fn(d.c_str(), v.c_str()) != 0;
  }
  bool Write(std::u16string_view dsn, std::u16string_view key, std::u16string_view value) override {
    static auto fn = Resolve<WriteProfileStringW>("SQLWritePrivateProfileStringW");
    const VString d(dsn), k(key), v(value);
    return fn && fn(d.c_str(), k.c_str(), v.c_str(), u"odbc.ini") != 0;
  }
  bool Remove(std::u16string_view dsn) override {
    static auto fn = Resolve<NameW>("SQLRemoveDSNFromIniW");
    const VString d(dsn);
    return fn && fn(d.c_str()) != 0;
  }
  bool Valid(std::u16string_view dsn) override {
    static auto fn = Resolve<NameW>("SQLValidDSNW");
    const VString d(dsn);
    return fn && fn(d.c_str()) != 0;
  }
  void PostError(int code, std::u16string_view message) override {
    // The narrow form: every installer keeps it, and the text is UTF-8.
    static auto fn = Resolve<PostErrorA>("SQLPostInstallerError");
    if (fn) fn(static_cast<unsigned>(code), VString(message).ToUtf8().c_str());
  }
};

DataSourceStore* current = nullptr;

}  // namespace

DataSourceStore& InstallerStore() {
  static Installer installer;
  return installer;
}

DataSourceStore& CurrentStore() { return current ? *current : InstallerStore(); }

void UseStore(DataSourceStore* store) { current = store; }

}  // namespace kestrion
