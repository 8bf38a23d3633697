#include "toolkit/registry/RegistryFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>

#include "tests/support/TempDir.h"

namespace ostrel {
namespace {

QByteArray dataOf(const RegistryFile& file, const char* key, const char* name) {
  const auto value = file.value(QString::fromUtf8(key), QString::fromUtf8(name));
  return value ? value->data : QByteArray("<none>");
}

TEST(RegistryFileTest, ValueFormsGiveTypeAndBytesAndADeepKeyIsStoredOnce) {
  struct Case {
    const char* line;
    quint32 type;
    QByteArray data;
  };
  const Case cases[] = {
      {"@=\"default\"", reg::Sz, QByteArray("default\0", 8)},
      {R"("v"="say \"hi\" C:\\dir")", reg::Sz, QByteArray("say \"hi\" C:\\dir\0", 16)},
      {R"("v"="")", reg::Sz, QByteArray("\0", 1)},
      {"\"v\"=dword:0000002a", reg::Dword, QByteArray("\x2a\0\0\0", 4)},
      {"\"v\"=hex:de,ad,BE,ef", reg::Binary, QByteArray("\xDE\xAD\xBE\xEF")},
      {"\"v\"=hex(1):41,42,43", reg::Sz, QByteArray("ABC")},
      {"\"v\"=hex(7):61,00,62,00,00", reg::MultiSz, QByteArray("a\0b\0\0", 5)},
      {R"("v" = "spaced")", reg::Sz, QByteArray("spaced\0", 7)},
  };
  for (const Case& c : cases) {
    const RegistryFile file =
        RegistryFile::parse(QByteArray("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n") + c.line + "\n");
    const auto value = file.value(QStringLiteral("HKEY_CURRENT_USER\\K"),
                                  QString::fromUtf8(c.line[0] == '@' ? "" : "v"));
    ASSERT_TRUE(value) << c.line;
    EXPECT_EQ(value->type, c.type) << c.line;
    EXPECT_EQ(value->data, c.data) << c.line;
  }
  // A 60 KB line naming a key 30000 levels deep took 2.3 GB to parse, each of
  // its parents stored as a path of its own. Found writing the registry fuzz
  // target.
  QByteArray deep("REGEDIT4\n[HKEY_CURRENT_USER");
  for (int i = 0; i < 30000; ++i) deep += "\\a";
  deep += "]\n\"v\"=\"1\"\n";
  const RegistryFile file = RegistryFile::parse(deep);
  EXPECT_EQ(file.keyCount(), 1);
  EXPECT_TRUE(file.hasKey(QStringLiteral("HKEY_CURRENT_USER\\a\\A\\a")));
  EXPECT_TRUE(file.hasKey(QStringLiteral("HKCU")));
  EXPECT_FALSE(file.hasKey(QStringLiteral("HKEY_CURRENT_USER\\b")));
}

TEST(RegistryFileTest, ReadsWineFilesAndTreatsMissingAndSpecialFilesAsEmpty) {
  const RegistryFile file = RegistryFile::parse(
      "WINE REGISTRY Version 2\n"
      ";; All keys relative to \\\\Machine\n"
      "#arch=win64\n\n"
      "[Software\\\\Maker\\\\Viewer] 1700000000\n"
      "#time=1da0b3c4d5e6f70\n"
      "@=\"Default\"\n"
      "\"Path\"=str(2):\"%SystemRoot%\\\\x\"\n"
      "\"Line\"=\"a\\nb\\x00e9\"\n"
      "\"Wide\"=hex(1):48,00,69,00,00,00\n");
  EXPECT_EQ(file.format(), RegistryFile::Format::Wine);
  EXPECT_TRUE(file.hasKey(QStringLiteral("software\\maker\\viewer")));
  EXPECT_EQ(dataOf(file, "Software\\Maker\\Viewer", ""), QByteArray("Default\0", 8));
  const auto path = file.value(QStringLiteral("Software\\Maker\\Viewer"), QStringLiteral("Path"));
  ASSERT_TRUE(path);
  EXPECT_EQ(path->type, reg::ExpandSz);
  EXPECT_EQ(path->data, QByteArray("%SystemRoot%\\x\0", 15));
  EXPECT_EQ(dataOf(file, "Software\\Maker\\Viewer", "Line"), QByteArray("a\nb\xC3\xA9\0", 6));
  EXPECT_EQ(dataOf(file, "Software\\Maker\\Viewer", "Wide"), QByteArray("Hi\0", 3));
  test::TempDir dir;
  const RegistryFile missing = RegistryFile::load(dir.file(QStringLiteral("none.reg")));
  EXPECT_EQ(missing.keyCount(), 0);
  EXPECT_TRUE(missing.error().isEmpty());

  const RegistryFile folder = RegistryFile::load(dir.path());
  EXPECT_EQ(folder.keyCount(), 0);
  EXPECT_TRUE(folder.error().contains(QStringLiteral("folder")));

  const QString fifo = dir.file(QStringLiteral("pipe.reg"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const RegistryFile pipe = RegistryFile::load(fifo);  // must not wait for a writer
  EXPECT_EQ(pipe.keyCount(), 0);
  EXPECT_TRUE(pipe.error().contains(QDir::toNativeSeparators(fifo)));

  const RegistryFile text =
      RegistryFile::load(dir.write(QStringLiteral("notes.reg"), "just some notes\n"));
  EXPECT_EQ(text.keyCount(), 0);
  EXPECT_FALSE(text.error().isEmpty());
}

}  // namespace
}  // namespace ostrel
