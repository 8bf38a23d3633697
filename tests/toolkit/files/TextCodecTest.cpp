#include "toolkit/files/TextCodec.h"

#include <gtest/gtest.h>

#include "toolkit/files/LineEnds.h"

namespace ostrel {
namespace {

using Encoding = TextCodec::Encoding;

struct RoundTrip {
  const char* name;
  QByteArray bytes;
  Encoding expected;
};

class TextCodecRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(TextCodecRoundTrip, GivesBackEveryByte) {
  const RoundTrip& c = GetParam();
  const TextCodec codec = TextCodec::detect(c.bytes);
  EXPECT_EQ(codec.encoding(), c.expected);
  const std::optional<QByteArray> back = codec.encode(codec.decode(c.bytes));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, c.bytes);
}

QByteArray allBytes() {
  QByteArray bytes;
  for (int b = 0; b < 256; ++b) bytes.append(static_cast<char>(b));
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, TextCodecRoundTrip,
    ::testing::Values(RoundTrip{"ascii", "plain text\r\n", Encoding::Utf8},
                      RoundTrip{"nul_and_eof_mark",
                                QByteArray("a\0b\x1A"
                                           "c",
                                           5),
                                Encoding::Utf8},
                      RoundTrip{"utf8", "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80",
                                Encoding::Utf8},
                      RoundTrip{"bom", "\xEF\xBB\xBFhi", Encoding::Utf8},
                      RoundTrip{"two_boms", "\xEF\xBB\xBF\xEF\xBB\xBFhi", Encoding::Utf8},
                      RoundTrip{"bom_then_invalid", "\xEF\xBB\xBF\xFFhi", Encoding::Windows1252},
                      RoundTrip{"latin1", "caf\xE9 \xA0nbsp", Encoding::Windows1252},
                      RoundTrip{"overlong", "\xC0\xAF", Encoding::Windows1252},
                      RoundTrip{"encoded_surrogate", "\xED\xA0\x80", Encoding::Windows1252},
                      RoundTrip{"truncated", "ok \xE2\x82", Encoding::Windows1252},
                      RoundTrip{"every_byte", allBytes(), Encoding::Windows1252},
                      RoundTrip{"empty", "", Encoding::Utf8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextCodec, ShowsWindows1252OneCharacterPerByte) {
  const QByteArray bytes("\x80\x81\x8D\x8F\x90\x9D\x9F\xE9", 8);
  const QString text = TextCodec::detect(bytes).decode(bytes);
  EXPECT_EQ(text, QString::fromUtf16(u"\u20AC\u0081\u008D\u008F\u0090\u009D\u0178\u00E9"));
}

TEST(TextCodec, Windows1252RefusesCharactersItCannotHold) {
  const TextCodec codec(Encoding::Windows1252, TextCodec::ByteOrderMark::Absent);
  EXPECT_FALSE(codec.encode(QString::fromUtf16(u"snow \u2603")).has_value());
  EXPECT_FALSE(codec.encode(QString::fromUtf16(u"\u0080")).has_value());
  EXPECT_EQ(codec.encode(QString::fromUtf16(u"\u20AC")), QByteArray("\x80"));
}

TEST(LineEnds, TheMostFrequentKindIsTheOneNewLinesTake) {
  using K = LineEnds::Kind;
  EXPECT_EQ(LineEnds::scan(u"abc").dominant(), K::CrLf);  // none: the written line end
  EXPECT_EQ(LineEnds::scan(u"a\r\nb\nc\n").dominant(), K::Lf);
  EXPECT_EQ(LineEnds::scan(u"a\nb\r\n").dominant(), K::Lf);  // a tie: the first met
  EXPECT_TRUE(LineEnds::scan(u"a\rb\r").uniform());
}

TEST(LineEnds, KeepsEachKindInOrderForAMixedText) {
  const LineEnds ends = LineEnds::scan(u"a\rb\r\nc\nd\n");
  using K = LineEnds::Kind;
  ASSERT_EQ(ends.count(), 4U);
  EXPECT_EQ(ends.at(0), K::Cr);
  EXPECT_EQ(ends.at(1), K::CrLf);
  EXPECT_EQ(ends.at(2), K::Lf);
  EXPECT_EQ(ends.at(3), K::Lf);
}

}  // namespace
}  // namespace ostrel
