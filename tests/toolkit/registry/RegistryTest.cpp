#include "toolkit/registry/Registry.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"
#include "toolkit/registry/WineRegistryStore.h"

namespace ostrel {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write(QStringLiteral("prefix/system.reg"),
              "WINE REGISTRY Version 2\n"
              ";; All keys relative to \\\\Machine\n\n"
              "[Software\\\\Maker\\\\Viewer] 1700000000\n"
              "\"Name\"=\"Machine\"\n"
              "\"Count\"=dword:00000007\n"
              "[Software\\\\Classes\\\\.txt] 1700000000\n"
              "@=\"txtfile\"\n"
              "[Software\\\\Classes\\\\.bmp] 1700000000\n"
              "@=\"Paint.Picture\"\n");
    dir.write(QStringLiteral("prefix/user.reg"),
              "WINE REGISTRY Version 2\n\n"
              "[Software\\\\Maker\\\\Viewer] 1700000000\n"
              "\"Name\"=\"User\"\n"
              "[Software\\\\Classes\\\\.txt] 1700000000\n"
              "@=\"usertxt\"\n");
  }

  QByteArray query(reg::HKEY root, const QString& key, const QString& name, qint32* result) {
    reg::HKEY handle = 0;
    *result = registry.RegOpenKeyExA(root, key, 0, reg::KeyAllAccess, &handle);
    if (*result != reg::Success) return {};
    QByteArray data(64, '\0');
    quint32 size = 64;
    quint32 type = 0;
    *result = registry.RegQueryValueExA(handle, name, nullptr, &type,
                                        reinterpret_cast<quint8*>(data.data()), &size);
    registry.RegCloseKey(handle);
    return data.left(size);
  }

  test::TempDir dir;
  WineRegistryStore store{dir.file(QStringLiteral("prefix"))};
  Registry registry{store};
};

TEST_F(RegistryTest, WinePrefixGivesMachineUserAndClassesRoots) {
  qint32 result = -1;
  EXPECT_EQ(query(reg::LocalMachine, QStringLiteral("Software\\Maker\\Viewer"),
                  QStringLiteral("Name"), &result),
            QByteArray("Machine\0", 8));
  EXPECT_EQ(query(reg::CurrentUser, QStringLiteral("software\\maker\\viewer"),
                  QStringLiteral("NAME"), &result),
            QByteArray("User\0", 5));
  // The user's classes win over the machine's; the machine's fill the gaps.
  EXPECT_EQ(query(reg::ClassesRoot, QStringLiteral(".txt"), QString(), &result),
            QByteArray("usertxt\0", 8));
  EXPECT_EQ(query(reg::ClassesRoot, QStringLiteral(".bmp"), QString(), &result),
            QByteArray("Paint.Picture\0", 14));
  EXPECT_EQ(result, reg::Success);
}

}  // namespace
}  // namespace ostrel
