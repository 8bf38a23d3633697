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

  reg::HKEY open(reg::HKEY root, const char* key) {  // "": the root itself
    reg::HKEY handle = 0;
    const QString name = *key ? QString::fromLatin1(key) : QString();
    EXPECT_EQ(registry.RegOpenKeyExA(root, name, 0, reg::KeyAllAccess, &handle), reg::Success)
        << key;
    return handle;
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

TEST_F(RegistryTest, ResultCodes) {
  qint32 result = -1;
  query(reg::LocalMachine, QStringLiteral("Software\\Nobody"), QStringLiteral("Name"), &result);
  EXPECT_EQ(result, reg::FileNotFound);
  query(reg::LocalMachine, QStringLiteral("Software\\Maker\\Viewer"), QStringLiteral("Nothing"),
        &result);
  EXPECT_EQ(result, reg::FileNotFound);

  reg::HKEY handle = 12345;
  EXPECT_EQ(registry.RegOpenKeyExA(reg::LocalMachine, QStringLiteral("Nope"), 0, 0, &handle),
            reg::FileNotFound);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(registry.RegOpenKeyExA(0x1234, QStringLiteral("Software"), 0, 0, &handle),
            reg::InvalidHandle);
  EXPECT_EQ(registry.RegCloseKey(0), reg::InvalidHandle);
  EXPECT_EQ(registry.RegCloseKey(reg::LocalMachine), reg::Success);
}

TEST_F(RegistryTest, QueryReportsSizeAndMoreData) {
  const reg::HKEY key = open(reg::LocalMachine, "Software\\Maker\\Viewer");
  quint32 type = 0;
  quint32 size = 0;
  EXPECT_EQ(registry.RegQueryValueExA(key, QStringLiteral("Name"), nullptr, &type, nullptr, &size),
            reg::Success);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(type, reg::Sz);

  quint8 small[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  size = sizeof small;
  EXPECT_EQ(registry.RegQueryValueExA(key, QStringLiteral("Name"), nullptr, &type, small, &size),
            reg::MoreData);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(small[0], 0xAA);  // nothing written

  quint32 reserved = 0;
  EXPECT_EQ(registry.RegQueryValueExA(key, QStringLiteral("Name"), &reserved, &type, small, &size),
            reg::InvalidParameter);
  EXPECT_EQ(registry.RegQueryValueExA(key, QStringLiteral("Name"), nullptr, &type, small, nullptr),
            reg::InvalidParameter);
  EXPECT_EQ(registry.RegCloseKey(key), reg::Success);
  EXPECT_EQ(registry.RegCloseKey(key), reg::InvalidHandle);
  EXPECT_EQ(registry.RegQueryValueExA(key, QStringLiteral("Name"), nullptr, &type, nullptr, &size),
            reg::InvalidHandle);
}

TEST_F(RegistryTest, OpensRelativeToAnOpenKeyAndTheRootItself) {
  const reg::HKEY software = open(reg::LocalMachine, "Software");
  const reg::HKEY viewer = open(software, "Maker\\Viewer");
  const reg::HKEY root = open(reg::LocalMachine, "");
  EXPECT_NE(software, viewer);
  quint32 size = 0;
  EXPECT_EQ(
      registry.RegQueryValueExA(viewer, QStringLiteral("Count"), nullptr, nullptr, nullptr, &size),
      reg::Success);
  EXPECT_EQ(size, 4u);
  for (reg::HKEY key : {software, viewer, root}) EXPECT_EQ(registry.RegCloseKey(key), reg::Success);
  EXPECT_EQ(registry.openHandleCount(), 0);
}

TEST_F(RegistryTest, RereadsAFileThatChanged) {
  qint32 result = -1;
  EXPECT_TRUE(query(reg::CurrentUser, QStringLiteral("Software\\New"), QStringLiteral("v"), &result)
                  .isEmpty());
  dir.write(QStringLiteral("prefix/user.reg"),
            "WINE REGISTRY Version 2\n\n[Software\\\\New] 1700000001\n\"v\"=\"now here\"\n");
  EXPECT_EQ(query(reg::CurrentUser, QStringLiteral("Software\\New"), QStringLiteral("v"), &result),
            QByteArray("now here\0", 9));
}

TEST(WineRegistryStoreTest, MissingPrefixIsAnEmptyRegistryWithItsRoots) {
  test::TempDir dir;
  WineRegistryStore store(dir.file(QStringLiteral("no-such-prefix")));
  EXPECT_TRUE(store.keyExists(reg::LocalMachine, QString()));
  EXPECT_FALSE(store.keyExists(reg::LocalMachine, QStringLiteral("Software")));
  EXPECT_FALSE(store.value(reg::CurrentUser, QString(), QString()));
}

TEST(WineRegistryStoreTest, ExportedFilesNameTheirOwnRoots) {
  test::TempDir dir;
  const QString exported =
      dir.write(QStringLiteral("export.reg"),
                "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Maker]\n\"Who\"=\"exported\"\n");
  // The root given with an exported file does not matter: its keys say where they belong.
  WineRegistryStore store(QList<WineRegistryStore::Source>{{reg::LocalMachine, exported}});
  EXPECT_TRUE(store.keyExists(reg::CurrentUser, QStringLiteral("Software\\Maker")));
  EXPECT_FALSE(store.keyExists(reg::LocalMachine, QStringLiteral("Software\\Maker")));
  const auto who =
      store.value(reg::CurrentUser, QStringLiteral("Software\\Maker"), QStringLiteral("who"));
  ASSERT_TRUE(who);
  EXPECT_EQ(who->data, QByteArray("exported\0", 9));
}

}  // namespace
}  // namespace ostrel
