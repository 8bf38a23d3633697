#include "about/KeyValueReader.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"
#include "toolkit/registry/Registry.h"
#include "toolkit/registry/WineRegistryStore.h"

namespace ostrel {
namespace {

// A registry whose HKEY_LOCAL_MACHINE\Software\Maker holds the given lines.
class MakerKey {
 public:
  explicit MakerKey(const QByteArray& regedit4Body)
      : path_(dir_.write(QStringLiteral("values.reg"),
                         "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Maker]\n" + regedit4Body)) {}
  Registry& registry() { return registry_; }

 private:
  test::TempDir dir_;
  QString path_;
  WineRegistryStore store_{QList<WineRegistryStore::Source>{{reg::LocalMachine, path_}}};
  Registry registry_{store_};
};

TEST(GetKeyValueTest, ReadsOneValue) {
  const QByteArray tooLong = R"("v"=")" + QByteArray(1100, 'x') + '"';
  const QByteArray fits = R"("v"=")" + QByteArray(1023, 'y') + '"';  // 1024 with its zero
  const struct {
    const char* name;
    QByteArray line;  // the value "v" as the file writes it
    bool result;
    QByteArray keyVal;  // KeyVal after the call, as UTF-8; it holds "before" going in
  } cases[] = {{"text with zero", "\"v\"=\"Ostrel\"", true, "Ostrel"},
               {"text without zero", "\"v\"=hex(1):4f,73,74", true, "Ost"},
               {"only the last zero goes", "\"v\"=hex(1):41,00,00", true, QByteArray("A\0", 2)},
               {"UTF-8 text", "\"v\"=\"Caf\xC3\xA9\"", true, "Caf\xC3\xA9"},
               {"dword is unsigned decimal", "\"v\"=dword:ffffffff", true, "4294967295"},
               {"binary leaves KeyVal", "\"v\"=hex:01,02", true, "before"},
               {"missing value", "\"other\"=\"x\"", false, ""},
               {"larger than the buffer", tooLong, false, ""},
               {"fills the buffer", fits, true, QByteArray(1023, 'y')}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakerKey fixture(c.line + "\n");
    QString keyVal = QStringLiteral("before");
    EXPECT_EQ(GetKeyValue(fixture.registry(), reg::LocalMachine, QStringLiteral("Software\\Maker"),
                          QStringLiteral("v"), keyVal),
              c.result);
    EXPECT_EQ(keyVal, QString::fromUtf8(c.keyVal));
    EXPECT_EQ(fixture.registry().openHandleCount(), 0);
  }
}

}  // namespace
}  // namespace ostrel
