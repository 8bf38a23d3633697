#include "toolkit/files/TextCodec.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using Encoding = TextCodec::Encoding;

QByteArray allBytes() {
  QByteArray bytes;
  for (int b = 0; b < 256; ++b) bytes.append(static_cast<char>(b));
  return bytes;
}

TEST(TextCodec, DetectsTheEncodingAndGivesBackEveryByte) {
  const struct {
    const char* name;
    QByteArray bytes;
    Encoding expected;
  } cases[] = {
      {"ascii", "plain text\r\n", Encoding::Utf8},
      {"nul and eof mark", QByteArray("a\0b\032c", 5), Encoding::Utf8},
      {"utf8", "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80", Encoding::Utf8},
      {"bom", "\xEF\xBB\xBFhi", Encoding::Utf8},
      {"two boms", "\xEF\xBB\xBF\xEF\xBB\xBFhi", Encoding::Utf8},
      {"bom then invalid", "\xEF\xBB\xBF\xFFhi", Encoding::Windows1252},
      {"latin1", "caf\xE9 \xA0nbsp", Encoding::Windows1252},
      {"overlong", "\xC0\xAF", Encoding::Windows1252},
      {"encoded surrogate", "\xED\xA0\x80", Encoding::Windows1252},
      {"truncated", "ok \xE2\x82", Encoding::Windows1252},
      {"every byte", allBytes(), Encoding::Windows1252},
      {"utf16le", QByteArray("\xFF\xFEG\0\xFC\0\x3D\xD8\0\xDE", 10), Encoding::Utf16LE},
      {"utf16be", QByteArray("\xFE\xFF\0G\0\xFC", 6), Encoding::Utf16BE},
      {"utf32le", QByteArray("\xFF\xFE\0\0G\0\0\0\0\xF6\x01\0", 12), Encoding::Utf32LE},
      {"utf32be", QByteArray("\0\0\xFE\xFF\0\0\0G", 8), Encoding::Utf32BE},
      {"empty", "", Encoding::Utf8},
  };
  for (const auto& c : cases) {
    const TextCodec codec = TextCodec::detect(c.bytes);
    EXPECT_EQ(codec.encoding(), c.expected) << c.name;
    const std::optional<QByteArray> back = codec.encodeFragment(codec.decode(c.bytes));
    ASSERT_TRUE(back.has_value()) << c.name;
    EXPECT_EQ(codec.byteOrderMarkBytes() + *back, c.bytes) << c.name;
  }
}

QByteArray raw(const char* data, int size) {
  return QByteArray(data, size);
}

TEST(TextCodecMarks, FallBackWhenTheBytesDoNotFitTheMarkAndRefuseALoneSurrogate) {
  // An odd byte cannot be UTF-16: read one character a byte, all kept.
  EXPECT_EQ(TextCodec::detect("\xFF\xFE\x41").encoding(), Encoding::Windows1252);
  // Past U+10FFFF is no UTF-32; the same mark starts UTF-16 LE.
  EXPECT_EQ(TextCodec::detect(raw("\xFF\xFE\0\0\0\0\x11\0", 8)).encoding(), Encoding::Utf16LE);
  EXPECT_EQ(TextCodec::detect(QByteArray("\xEF\xBB\xBFok")).name(),
            QStringLiteral("UTF-8 with BOM"));
  // Unicode encodings refuse a lone surrogate, except UTF-16.
  const QString lone = QString(QChar(0xD800)) + QStringLiteral("x");
  EXPECT_FALSE(TextCodec(Encoding::Utf8, TextCodec::ByteOrderMark::Absent).encodeFragment(lone));
  EXPECT_FALSE(
      TextCodec(Encoding::Utf32LE, TextCodec::ByteOrderMark::Present).encodeFragment(lone));
  const TextCodec utf16(Encoding::Utf16BE, TextCodec::ByteOrderMark::Present);
  EXPECT_EQ(utf16.decode(utf16.byteOrderMarkBytes() + *utf16.encodeFragment(lone)), lone);
}

QByteArray page(const QByteArray& head, const QByteArray& body) {
  return "<!DOCTYPE html>\n<html><head>" + head + "</head><body>" + body + "</body></html>";
}

TEST(TextCodecDeclared, ADeclarationGivesWayToWhatTheBytesSayAndSingleByteSetsGiveBackEveryByte) {
  const QByteArray declared = "<meta charset=windows-1251>";
  const struct {
    const char* why;
    QByteArray bytes;
    const char* fileName;
    Encoding expected;
  } cases[] = {
      {"declared", page(declared, "\xCF\xF0\xE8"), "A.HTML", Encoding::SingleByte},
      {"declared the old way, in a page named otherwise",
       page(R"(<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=ISO-8859-7">)", "\xE1"),
       "page.txt", Encoding::SingleByte},
      {"a mark wins", "\xEF\xBB\xBF" + page(declared, "x"), "a.html", Encoding::Utf8},
      {"not a page", "notes " + declared + " \xCF\xF0", "a.txt", Encoding::Windows1252},
      {"UTF-8 that is not", page("<meta charset=utf-8>", "\xCF\xF0"), "a.htm",
       Encoding::Windows1252},
      {"unknown name", page("<meta charset=x-no-such-set>", "ok"), "a.htm", Encoding::Utf8},
      {"past 1024 bytes", page(QByteArray(1100, ' ') + declared, "\xCF"), "a.htm",
       Encoding::Windows1252},
      // A lead byte with nothing after it does not decode.
      {"cut multi-byte", page("<meta charset=\"Shift_JIS\">", "\x93"), "a.htm",
       Encoding::Windows1252},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextCodec::detectFile(c.bytes, QString::fromLatin1(c.fileName)).encoding(),
              c.expected)
        << c.why;
  }
  for (const char* name : {"windows-1251", "iso-8859-3", "koi8-r", "iso-8859-8"}) {
    const std::optional<TextCodec> codec = TextCodec::named(name);
    ASSERT_TRUE(codec.has_value()) << name;
    ASSERT_EQ(codec->encoding(), Encoding::SingleByte) << name;
    const QString text = codec->decode(allBytes());
    EXPECT_EQ(text.size(), 256) << name;
    EXPECT_EQ(codec->encodeFragment(text), allBytes()) << name;
  }
  // What pages call Latin-1 is Windows-1252.
  EXPECT_EQ(TextCodec::named("ISO-8859-1")->encoding(), Encoding::Windows1252);
  EXPECT_FALSE(TextCodec::named("x-no-such-set").has_value());
}

}  // namespace
}  // namespace ostrel
