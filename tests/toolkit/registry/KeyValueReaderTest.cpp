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

struct Case {
  const char* name;
  const char* line;  // the value "v" as the file writes it
  bool result;
  QByteArray keyVal;  // KeyVal after the call, as UTF-8; it holds "before" going in
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class GetKeyValueTest : public ::testing::TestWithParam<Case> {};

TEST_P(GetKeyValueTest, ReadsOneValue) {
  const Case& c = GetParam();
  MakerKey fixture(QByteArray(c.line) + "\n");
  QString keyVal = QStringLiteral("before");
  EXPECT_EQ(GetKeyValue(fixture.registry(), reg::LocalMachine, QStringLiteral("Software\\Maker"),
                        QStringLiteral("v"), keyVal),
            c.result);
  EXPECT_EQ(keyVal, QString::fromUtf8(c.keyVal));
  EXPECT_EQ(fixture.registry().openHandleCount(), 0);
}

const QByteArray kLong = R"("v"=")" + QByteArray(1100, 'x') + '"';
const QByteArray kFits = R"("v"=")" + QByteArray(1023, 'y') + '"';  // 1024 with its zero

INSTANTIATE_TEST_SUITE_P(
    Cases, GetKeyValueTest,
    ::testing::Values(Case{"TextWithZero", "\"v\"=\"Ostrel\"", true, "Ostrel"},
                      Case{"TextWithoutZero", "\"v\"=hex(1):4f,73,74", true, "Ost"},
                      Case{"OnlyTheLastZeroGoes", "\"v\"=hex(1):41,00,00", true,
                           QByteArray("A\0", 2)},
                      Case{"Utf8Text", "\"v\"=\"Caf\xC3\xA9\"", true, "Caf\xC3\xA9"},
                      Case{"EmptyText", "\"v\"=\"\"", true, ""},
                      Case{"DwordIsUnsignedDecimal", "\"v\"=dword:ffffffff", true, "4294967295"},
                      Case{"DwordWithZeroBytes", "\"v\"=dword:00000100", true, "256"},
                      Case{"BinaryLeavesKeyVal", "\"v\"=hex:01,02", true, "before"},
                      Case{"NoDataBytesGivesEmpty", "\"v\"=hex:", true, ""},
                      Case{"MissingValue", "\"other\"=\"x\"", false, ""},
                      Case{"LargerThanTheBuffer", kLong.constData(), false, ""},
                      Case{"FillsTheBuffer", kFits.constData(), true, QByteArray(1023, 'y')}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(GetKeyValueMissingKeyTest, FailsWithEmptyTextAndClosesTheZeroHandle) {
  MakerKey fixture("\"v\"=\"x\"\n");
  QString keyVal = QStringLiteral("had text");
  EXPECT_FALSE(GetKeyValue(fixture.registry(), reg::LocalMachine,
                           QStringLiteral("Software\\Nobody"), QStringLiteral("v"), keyVal));
  EXPECT_TRUE(keyVal.isEmpty());
  EXPECT_FALSE(GetKeyValue(fixture.registry(), 0x42, QStringLiteral("Software\\Maker"),
                           QStringLiteral("v"), keyVal));
  EXPECT_EQ(fixture.registry().openHandleCount(), 0);
}

}  // namespace
}  // namespace ostrel
