#include "toolkit/registry/RegistryFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>

#include "tests/support/TempDir.h"

namespace ostrel {
namespace {

QByteArray utf16le(const QString& text) {
  QByteArray out("\xFF\xFE");
  for (QChar c : text) {
    out.append(char(c.unicode() & 0xFF));
    out.append(char(c.unicode() >> 8));
  }
  return out;
}

QByteArray dataOf(const RegistryFile& file, const char* key, const char* name) {
  const auto value = file.value(QString::fromUtf8(key), QString::fromUtf8(name));
  return value ? value->data : QByteArray("<none>");
}

TEST(RegistryFileTest, RecognisesEachHeaderAndRefusesOthers) {
  const char* body = "\r\n[HKEY_CURRENT_USER\\Software\\Maker]\r\n\"Name\"=\"x\"\r\n";
  EXPECT_EQ(RegistryFile::parse(QByteArray("REGEDIT4") + body).format(),
            RegistryFile::Format::Regedit4);
  EXPECT_EQ(RegistryFile::parse(utf16le(QStringLiteral("Windows Registry Editor Version 5.00") +
                                        QString::fromUtf8(body)))
                .format(),
            RegistryFile::Format::Regedit5);
  EXPECT_EQ(RegistryFile::parse("WINE REGISTRY Version 2\n").format(), RegistryFile::Format::Wine);

  const RegistryFile other = RegistryFile::parse(QByteArray("[Section]\nkey=value\n"));
  EXPECT_EQ(other.format(), RegistryFile::Format::None);
  EXPECT_EQ(other.keyCount(), 0);
  EXPECT_EQ(RegistryFile::parse({}).keyCount(), 0);
}

TEST(RegistryFileTest, Version5FileInUtf16KeepsTextAndConvertsHexStrings) {
  const RegistryFile file =
      RegistryFile::parse(utf16le(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                                 "[HKEY_LOCAL_MACHINE\\Software\\Maker]\r\n"
                                                 "\"Title\"=\"Caf\u00e9\"\r\n"
                                                 "\"Bare\"=hex(1):41,00,42,00\r\n"
                                                 "\"Ended\"=hex(1):41,00,42,00,00,00\r\n"
                                                 "\"Expand\"=hex(2):25,00,50,00,25,00,00,00\r\n")));
  EXPECT_EQ(dataOf(file, "HKEY_LOCAL_MACHINE\\Software\\Maker", "Title"),
            QByteArray("Caf\xC3\xA9\0", 6));
  EXPECT_EQ(dataOf(file, "HKEY_LOCAL_MACHINE\\Software\\Maker", "Bare"), QByteArray("AB"));
  EXPECT_EQ(dataOf(file, "HKEY_LOCAL_MACHINE\\Software\\Maker", "Ended"), QByteArray("AB\0", 3));
  const auto expand = file.value(QStringLiteral("HKLM\\Software\\Maker"), QStringLiteral("Expand"));
  ASSERT_TRUE(expand);
  EXPECT_EQ(expand->type, reg::ExpandSz);
  EXPECT_EQ(expand->data, QByteArray("%P%\0", 4));
}

TEST(RegistryFileTest, ValueFormsGiveTypeAndBytes) {
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
      {"\"v\"=dword:FFFFFFFF", reg::Dword, QByteArray("\xFF\xFF\xFF\xFF", 4)},
      {"\"v\"=hex:de,ad,BE,ef", reg::Binary, QByteArray("\xDE\xAD\xBE\xEF")},
      {"\"v\"=hex:", reg::Binary, QByteArray()},
      {"\"v\"=hex(1):41,42,43", reg::Sz, QByteArray("ABC")},
      {"\"v\"=hex(7):61,00,62,00,00", reg::MultiSz, QByteArray("a\0b\0\0", 5)},
      {"\"v\"=hex(b):01,00,00,00,00,00,00,00", 0xb, QByteArray("\1\0\0\0\0\0\0\0", 8)},
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
}

TEST(RegistryFileTest, MalformedLinesCostOnlyThemselves) {
  const RegistryFile file = RegistryFile::parse(
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n"
      "\"a\"=dword:123456789\n"  // nine digits
      "\"b\"=hex:1,zz\n"         // not hex
      "\"c\"=\"unterminated\n"
      "\"d\"=hex(q):00\n"
      "novalue\n"
      "\"ok\"=\"fine\"\n");
  for (const char* name : {"a", "b", "c", "d"})
    EXPECT_FALSE(file.value(QStringLiteral("HKEY_CURRENT_USER\\K"), QString::fromUtf8(name)))
        << name;
  EXPECT_EQ(dataOf(file, "HKEY_CURRENT_USER\\K", "ok"), QByteArray("fine\0", 5));
}

TEST(RegistryFileTest, BackslashContinuesHexData) {
  const RegistryFile file = RegistryFile::parse(
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n"
      "\"blob\"=hex:01,02,\\\r\n"
      "  03,04,\\\r\n"
      "  05\r\n"
      "\"after\"=dword:00000001\r\n");
  EXPECT_EQ(dataOf(file, "HKEY_CURRENT_USER\\K", "blob"), QByteArray("\1\2\3\4\5"));
  EXPECT_EQ(dataOf(file, "HKEY_CURRENT_USER\\K", "after"), QByteArray("\1\0\0\0", 4));
}

TEST(RegistryFileTest, NamesIgnoreCaseAndParentsExist) {
  const RegistryFile file = RegistryFile::parse(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Maker\\Product]\n\"Version\"=\"1\"\n");
  EXPECT_TRUE(file.hasKey(QStringLiteral("hkey_local_machine\\SOFTWARE\\maker\\PRODUCT")));
  EXPECT_TRUE(file.hasKey(QStringLiteral("HKLM\\Software\\Maker")));
  EXPECT_TRUE(file.hasKey(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Maker\\Product\\")));
  EXPECT_FALSE(file.hasKey(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Mak")));
  EXPECT_EQ(dataOf(file, "HKLM\\software\\maker\\product", "VERSION"), QByteArray("1\0", 2));
}

// A 60 KB line naming a key 30000 levels deep took 2.3 GB to parse, each of
// its parents stored as a path of its own. Found writing the registry fuzz
// target.
TEST(RegistryFileTest, DeepKeyIsStoredOnceNotOncePerParent) {
  QByteArray deep("REGEDIT4\n[HKEY_CURRENT_USER");
  for (int i = 0; i < 30000; ++i) deep += "\\a";
  deep += "]\n\"v\"=\"1\"\n";
  const RegistryFile file = RegistryFile::parse(deep);
  EXPECT_EQ(file.keyCount(), 1);
  EXPECT_TRUE(file.hasKey(QStringLiteral("HKEY_CURRENT_USER\\a\\A\\a")));
  EXPECT_TRUE(file.hasKey(QStringLiteral("HKCU")));
  EXPECT_FALSE(file.hasKey(QStringLiteral("HKEY_CURRENT_USER\\b")));
}

TEST(RegistryFileTest, DeletionsRemoveValuesAndKeysButNotParentsOrNeighbours) {
  const RegistryFile file = RegistryFile::parse(
      "REGEDIT4\n"
      "[HKEY_CURRENT_USER\\A]\n\"keep\"=\"1\"\n\"drop\"=\"2\"\n\"drop\"=-\n"
      "[HKEY_CURRENT_USER\\B\\C]\n\"x\"=\"1\"\n"
      "[-HKEY_CURRENT_USER\\B]\n\"orphan\"=\"1\"\n"
      "[HKEY_CURRENT_USER\\P\\Gone\\Deeper]\n[HKEY_CURRENT_USER\\P\\Gone!]\n"
      "[HKEY_CURRENT_USER\\P\\Gone2]\n[-HKEY_CURRENT_USER\\P\\GONE]\n"
      "[HKEY_CURRENT_USER\\Q\\Only]\n[-HKEY_CURRENT_USER\\Q\\Only]\n"
      "[-HKEY_CURRENT_USER\\Never\\There]\n");
  auto has = [&](const char* key) { return file.hasKey(QString::fromLatin1(key)); };
  EXPECT_FALSE(has("HKEY_CURRENT_USER\\P\\Gone"));
  EXPECT_FALSE(has("HKEY_CURRENT_USER\\P\\Gone\\Deeper"));
  EXPECT_TRUE(has("HKEY_CURRENT_USER\\P\\Gone!"));  // sorts between the two
  EXPECT_TRUE(has("HKEY_CURRENT_USER\\P\\Gone2"));
  EXPECT_TRUE(has("HKEY_CURRENT_USER\\P"));
  EXPECT_TRUE(has("HKEY_CURRENT_USER\\Q"));  // its only child gone, it stays
  EXPECT_FALSE(has("HKEY_CURRENT_USER\\Q\\Only"));
  EXPECT_FALSE(has("HKEY_CURRENT_USER\\Never"));
  EXPECT_TRUE(file.value(QStringLiteral("HKEY_CURRENT_USER\\A"), QStringLiteral("keep")));
  EXPECT_FALSE(file.value(QStringLiteral("HKEY_CURRENT_USER\\A"), QStringLiteral("drop")));
  EXPECT_FALSE(has("HKEY_CURRENT_USER\\B"));
  EXPECT_FALSE(has("HKEY_CURRENT_USER\\B\\C"));
}

TEST(RegistryFileTest, ReadsWineFiles) {
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
}

TEST(RegistryFileTest, LoadTreatsMissingAndSpecialFilesAsEmpty) {
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
