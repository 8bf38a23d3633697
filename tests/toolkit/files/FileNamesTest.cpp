#include "toolkit/files/FileNames.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

struct Name {
  QByteArray bytes;
  const char16_t* shown;
};

TEST(FileNames, EveryByteComesBackAndWhatIsNotUtf8IsShownAsItsByte) {
  const Name names[] = {
      {"plain.txt", u"plain.txt"},
      {"caf\xC3\xA9.txt", u"caf\u00E9.txt"},
      {"bad\xFFname.txt", u"bad\\xFFname.txt"},
      {"cut\xE2\x82", u"cut\\xE2\\x82"},
      {"\xC3", u"\\xC3"},
      {"overlong\xC0\xAF", u"overlong\\xC0\\xAF"},
      // An encoded surrogate is not UTF-8; a character beyond the BMP is, even
      // when its second half is the stand-in for a byte.
      {"\xED\xB3\xBF", u"\\xED\\xB3\\xBF"},
      {"\xF0\x90\x82\x80", u"\U00010080"},
      // Written out by a person, the escape is just text.
      {"lit\\xFF", u"lit\\xFF"},
      // A line break (or another control character) would break a title or
      // a row in two.
      {"new\nline\t.txt", u"new\\x0Aline\\x09.txt"},
      {"next\xC2\x85line", u"next\\u0085line"},
  };
  for (const Name& n : names) {
    const QString name = FileNames::decode(n.bytes);
    EXPECT_EQ(FileNames::encode(name), n.bytes) << n.bytes.toHex().toStdString();
    EXPECT_EQ(FileNames::shown(name), QString::fromUtf16(n.shown)) << n.bytes.toHex().toStdString();
  }
  EXPECT_NE(FileNames::decode("a\xFF"), FileNames::decode("a\xFE"));
}

}  // namespace
}  // namespace ostrel
