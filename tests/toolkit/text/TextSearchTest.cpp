#include "toolkit/text/TextSearch.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <random>

#include "toolkit/text/TextDocument.h"

namespace ostrel {
namespace {

using Encoding = TextCodec::Encoding;
using Mark = TextCodec::ByteOrderMark;
using Match = TextSearch::Match;
using Options = TextSearch::Options;

std::vector<Match> allMatches(const TextDocument& document, const QString& needle,
                              const Options& options) {
  std::vector<Match> found;
  TextSearch(needle, options)
      .forEach(document.snapshot(), 0, document.length(), [&](const Match& m) {
        found.push_back(m);
        return true;
      });
  return found;
}

bool isWord(QChar c) {
  return c.isLetterOrNumber() || c == u'_';
}

// The plain way: the whole text decoded, searched unit by unit.
std::vector<Match> expectedMatches(const QString& text, const QString& needle,
                                   const Options& options) {
  std::vector<Match> found;
  const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  for (qsizetype i = 0;;) {
    const qsizetype at = text.indexOf(needle, i, cs);
    if (at < 0) return found;
    const qsizetype end = at + needle.size();
    const bool whole = !options.wholeWords ||
                       ((at == 0 || !isWord(text[at - 1]) || !isWord(needle.front())) &&
                        (end == text.size() || !isWord(text[end]) || !isWord(needle.back())));
    if (whole) {
      found.push_back({at, needle.size()});
      i = end;
    } else {
      i = at + 1;
    }
  }
}

std::unique_ptr<TextDocument> load(const QByteArray& bytes, const TextCodec& codec) {
  return TextDocument::fromBytes(bytes, codec);
}

std::unique_ptr<TextDocument> loadText(const QString& text, const TextCodec& codec) {
  return load(codec.byteOrderMarkBytes() + codec.encodeFragment(text).value(), codec);
}

TextCodec windows1251() {
  return TextCodec::named("windows-1251").value();
}

QByteArray written(const TextDocument& document) {
  QByteArray out;
  EXPECT_TRUE(document.write(document.codec(), [&](QByteArrayView b) { out.append(b); }));
  return out;
}

TEST(TextSearch, FindsWhatTheDecodedTextHoldsInEachEncodingCaseAndWordRule) {
  const QString text =
      QString::fromUtf16(u"Привет, мир! привет\r\nПРИВЕТствие hello Hello HELLO_x\nhello\rПривет");
  // UTF-8 with its mark, UTF-16 and a code page: the search runs on what each
  // decodes to.
  for (const auto& [name, codec] : {std::pair{"utf8bom", TextCodec(Encoding::Utf8, Mark::Present)},
                                    {"utf16le", TextCodec(Encoding::Utf16LE, Mark::Present)},
                                    {"windows1251", windows1251()}}) {
    const auto document = loadText(text, codec);
    for (const QString& needle : {QString::fromUtf16(u"привет"), QStringLiteral("hello"),
                                  QStringLiteral("o\r\nП"), QString::fromUtf16(u"т\nh")}) {
      for (const bool matchCase : {false, true}) {
        for (const bool wholeWords : {false, true}) {
          const Options options{matchCase, wholeWords, false};
          EXPECT_EQ(allMatches(*document, needle, options), expectedMatches(text, needle, options))
              << name << " " << needle.toStdString() << " case " << matchCase << " words "
              << wholeWords;
        }
      }
    }
  }
}

// Matches at the very ends; case folded through a code page's own table
// (0xC4 0xE4 are Ä ä in windows-1252, not UTF-8) and across byte
// lengths (the Kelvin sign folds to k: three bytes matching one);
// expressions line by line, a line end never part of a match, their \w, \b
// and \d those of every script.
TEST(TextSearch, FindsEachMatchOfItsRules) {
  const QByteArray ends = "abc middle abc";
  const QByteArray latin = "gr\xC4\x42 and gr\xE4\x62 and GR\xC4\x42";
  const QByteArray kelvin = QString::fromUtf16(u"ok \u212A OK ok").toUtf8();
  const QByteArray lines = "alpha 12\r\nbeta 345\rgamma\n6789";
  const QByteArray scripts = QString::fromUtf16(u"Кириллица и ΑΒΓ αβγ, ٣٤ x").toUtf8();
  const struct {
    QByteArray bytes;
    const char16_t* needle;
    Options options;
    std::vector<Match> expected;
  } cases[] = {
      {ends, u"abc", {true, false, false}, {{0, 3}, {11, 3}}},
      {ends, u"abc middle abc", {true, false, false}, {{0, 14}}},
      {ends, u"abc middle abcd", {}, {}},
      {latin, u"GR\u00E4B", {}, {{0, 4}, {9, 4}, {18, 4}}},
      {latin, u"gr\u00C4B", {true, false, false}, {{0, 4}}},
      {kelvin, u"k", {}, {{1, 1}, {3, 1}, {6, 1}, {9, 1}}},
      {kelvin, u"\u212A", {}, {{1, 1}, {3, 1}, {6, 1}, {9, 1}}},
      {lines, u"\\d+$", {false, false, true}, {{6, 2}, {15, 3}, {25, 4}}},
      {lines, u"^[a-z]+", {true, false, true}, {{0, 5}, {10, 4}, {19, 5}}},
      {lines, u"2\\s+b", {false, false, true}, {}},
      {lines, u"BETA", {false, true, true}, {{10, 4}}},
      {lines, u"et", {false, true, true}, {}},
      {scripts, u"Кир\\w+", {false, false, true}, {{0, 9}}},
      {scripts, u"\\wириллица", {false, false, true}, {{0, 9}}},
      {scripts, u"\\bКир", {false, false, true}, {{0, 3}}},
      {scripts, u"\\bица", {false, false, true}, {}},
      {scripts, u"αβγ", {false, false, true}, {{12, 3}, {16, 3}}},
      {scripts, u"\\d+", {false, false, true}, {{21, 2}}},
  };
  for (const auto& c : cases) {
    const auto document = load(c.bytes, TextCodec::detect(c.bytes));
    EXPECT_EQ(allMatches(*document, QString::fromUtf16(c.needle), c.options), c.expected)
        << QString::fromUtf16(c.needle).toStdString();
  }
  EXPECT_EQ(TextCodec::detect(latin).encoding(), Encoding::Windows1252);
}

// Edits leave the text in pieces: matches run across them.
TEST(TextSearch, AgreesWithThePlainSearchAfterRandomEdits) {
  std::mt19937 random(7);
  const QString base = QString::fromUtf16(u"the cat sat; Thé Cät\r\nthe end\n");
  const auto document = loadText(base.repeated(40), TextCodec(Encoding::Utf8, Mark::Absent));
  const QString inserts[] = {QStringLiteral("th"), QStringLiteral("e "), QStringLiteral("t"),
                             QString::fromUtf16(u"é"), QStringLiteral("\r\n")};
  for (int round = 0; round < 60; ++round) {
    const auto at = static_cast<qint64>(random() % static_cast<unsigned>(document->length()));
    document->replace(at, random() % 3, inserts[random() % std::size(inserts)]);
    const QString text = document->toString();
    for (const QString& needle : {QStringLiteral("the"), QString::fromUtf16(u"thé c")}) {
      for (const bool matchCase : {false, true}) {
        const Options options{matchCase, round % 2 == 0, false};
        ASSERT_EQ(allMatches(*document, needle, options), expectedMatches(text, needle, options))
            << "round " << round;
      }
    }
  }
}

// The search, its expression form and the highlight of a line agree on whole
// words: a letter beyond the basic plane or a combining accent next to the
// match is part of the word.
TEST(TextSearch, WholeWordsAreOneRuleForLiteralsExpressionsAndTheHighlight) {
  const QString text = QString::fromUtf16(
      u"abc \U0001D400abc abc\U0001D400 ab\u0301c abc\u0301 x_abc abc-d (abc) ABC \u00E9abc");
  const auto document = loadText(text, TextCodec(Encoding::Utf8, Mark::Absent));
  for (const QString& needle : {QStringLiteral("abc"), QStringLiteral("-d"),
                                QString::fromUtf16(u"\U0001D400abc"), QStringLiteral("(abc)")}) {
    for (const bool matchCase : {false, true}) {
      const Options literal{matchCase, true, false};
      const Options expression{matchCase, true, true};
      const std::vector<Match> found = allMatches(*document, needle, literal);
      EXPECT_EQ(allMatches(*document, QRegularExpression::escape(needle), expression), found)
          << needle.toStdString();
      EXPECT_EQ(TextSearch(needle, literal).matchesIn(text), found) << needle.toStdString();
      EXPECT_EQ(TextSearch(QRegularExpression::escape(needle), expression).matchesIn(text), found)
          << needle.toStdString();
    }
  }
  EXPECT_EQ(allMatches(*document, QStringLiteral("abc"), {true, true, false}),
            (std::vector<Match>{{0, 3}, {32, 3}, {39, 3}}));
}

// Lines of every length, three of them longer than the windows a regular
// expression is run over, with each kind of line end.
QString linesOfEveryLength() {
  std::mt19937 random(11);
  const char* const words[] = {"whale", "wharf", "a", "be", "sea", "whe", "x", "whole", "b"};
  const char* const ends[] = {"\n", "\r\n", "\r"};
  const char* const lasts[] = {"b", "whe a", "whole", "x b", "sea", "", "whale", "x a", "be"};
  const int lineWords[] = {1, 12, 0, 60000, 3, 140000, 7, 90000, 2};
  QString text;
  for (std::size_t line = 0; line < std::size(lineWords); ++line) {
    for (int w = 0; w < lineWords[line]; ++w) {
      text += QLatin1String(words[random() % std::size(words)]) + QLatin1Char(' ');
    }
    text += QLatin1String(lasts[line]) + QLatin1String(ends[line % std::size(ends)]);
  }
  return text;
}

// The search over the whole text finds what the highlight finds in each
// line alone: ^, $, \b, lookbehinds and lookaheads hold at the edges of the
// windows inside a long line.
TEST(TextSearch, ExpressionsAgreeWithEachLineAloneAcrossTheWindowsOfLongLines) {
  const QString text = linesOfEveryLength();
  const auto document = loadText(text, TextCodec(Encoding::Utf8, Mark::Absent));
  const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
  for (const char16_t* pattern :
       {u"^wh\\w*", u"\\w+e$", u"(?<=a )whale", u"whale(?= b)", u"\\bwh[a-z]+e\\b", u"e\\b", u"b$",
        u"(?:whe|x) (?:b|a)$", u"a whole"}) {
    const TextSearch search(QString::fromUtf16(pattern), {true, false, true});
    std::vector<Match> expected;
    qsizetype lineStart = 0;
    for (QRegularExpressionMatchIterator it = lineEnd.globalMatch(text); it.hasNext();) {
      const QRegularExpressionMatch end = it.next();
      for (const Match& m :
           search.matchesIn(QStringView(text).sliced(lineStart, end.capturedStart() - lineStart))) {
        expected.push_back({lineStart + m.position, m.length});
      }
      lineStart = end.capturedEnd();
    }
    EXPECT_FALSE(expected.empty()) << QString::fromUtf16(pattern).toStdString();
    EXPECT_EQ(allMatches(*document, search.needle(), search.options()), expected)
        << QString::fromUtf16(pattern).toStdString();
  }
}

// Searching from deep inside a long line, its start far behind: ^ does not
// match where the search began.
TEST(TextSearch, ALineStartFarBackIsNoLineStartAndCancelIsLookedAtWithinALongLine) {
  const QString text =
      QStringLiteral("a") + QString(70000, u'b') + QStringLiteral("\nb") + QString(10, u'b');
  const auto document = loadText(text, TextCodec(Encoding::Utf8, Mark::Absent));
  std::vector<Match> found;
  TextSearch(QStringLiteral("^b"), {true, false, true})
      .forEach(document->snapshot(), 69000, document->length(), [&](const Match& m) {
        found.push_back(m);
        return true;
      });
  EXPECT_EQ(found, (std::vector<Match>{{70002, 1}}));
  // A line of megabytes is neither decoded whole nor searched to its end
  // before a cancel is looked at.
  const QByteArray line = QByteArray("ab cd ef ").repeated(1024 * 1024);
  const auto longLine = load(line, TextCodec(Encoding::Utf8, Mark::Absent));
  int calls = 0;
  qint64 doneWhenCancelled = -1;
  const TextSearch::Outcome outcome =
      TextSearch(QStringLiteral("\\d"), {false, false, true})
          .forEach(
              longLine->snapshot(), 0, longLine->length(), [](const Match&) { return true; },
              [&](qint64 done, qint64) {
                if (++calls < 2) return true;
                doneWhenCancelled = done;
                return false;
              });
  EXPECT_EQ(outcome, TextSearch::Outcome::Cancelled);
  EXPECT_LT(doneWhenCancelled, 1024 * 1024) << "of " << longLine->length();
}

// Small and large enough to have its line ends found afresh.
TEST(TextSearch, ReplaceAllIsOneStepUndoneAndRedoneByteForByte) {
  for (const int repeats : {50, 200000}) {
    SCOPED_TRACE(repeats);
    const QByteArray original =
        QByteArray("cat\r\ncat dog\rcat\ncatcat ").repeated(repeats) + "cat";
    const auto document = load(original, windows1251());
    const std::vector<Match> matches = allMatches(*document, QStringLiteral("cat"), {});
    std::vector<TextDocument::Range> ranges;
    ranges.reserve(matches.size());
    for (const Match& m : matches) ranges.push_back({m.position, m.length});
    const QString with = QString::fromUtf16(u"кот\n");
    // The large one worked out beforehand, as the find window does.
    if (repeats > 1000) {
      document->replaceAll(*TextDocument::prepareReplaceAll(document->snapshot(), ranges, with));
    } else {
      document->replaceAll(ranges, with);
    }

    QByteArray replaced = original;
    replaced.replace("cat", "\xEA\xEE\xF2\n");
    EXPECT_EQ(written(*document), replaced);
    EXPECT_EQ(document->lineCount(), document->toString().count(u'\n') +
                                         document->toString().count(u'\r') -
                                         document->toString().count(QStringLiteral("\r\n")) + 1);
    ASSERT_TRUE(document->undo());
    EXPECT_EQ(written(*document), original);
    EXPECT_EQ(document->lineCount(), 3 * repeats + 1);
    EXPECT_FALSE(document->canUndo());
    EXPECT_FALSE(document->isModified());
    ASSERT_TRUE(document->redo());
    EXPECT_EQ(written(*document), replaced);
  }
}

TEST(TextSearch, ReplacingJoinsAndSplitsLineEndsAtTheEdgesAndKeepsWhatTheSetCannotHold) {
  // A CR before a match meets an LF the replacement starts with; replaced
  // at once, or worked out beforehand.
  for (const bool beforehand : {false, true}) {
    const auto document = load("a\rXb\nX\nc", TextCodec(Encoding::Utf8, Mark::Absent));
    const std::vector<TextDocument::Range> ranges{{2, 1}, {5, 1}};
    const QString with = QStringLiteral("\n");
    if (beforehand) {
      auto prepared = *TextDocument::prepareReplaceAll(document->snapshot(), ranges, with);
      // Not for another text.
      EXPECT_FALSE(
          load("a\rXb\nX\nc", TextCodec(Encoding::Utf8, Mark::Absent))->replaceAll(prepared));
      EXPECT_TRUE(document->replaceAll(std::move(prepared)));
    } else {
      document->replaceAll(ranges, with);
    }
    EXPECT_EQ(document->toString(), QStringLiteral("a\r\nb\n\n\nc"));
    EXPECT_EQ(document->lineCount(), 5);
    EXPECT_EQ(document->lineStart(1), 3);
    EXPECT_EQ(document->lineEndLength(0), 2);
  }
  // Replaced text the character set cannot hold is kept for the save question.
  const TextCodec latin(Encoding::Windows1252, Mark::Absent);
  const auto document = load("x y x", latin);
  document->replaceAll({{0, 1}, {4, 1}}, QString::fromUtf16(u"Ж"));
  EXPECT_EQ(document->toString(), QString::fromUtf16(u"Ж y Ж"));
  EXPECT_FALSE(document->write(latin, [](QByteArrayView) {}));
}

}  // namespace
}  // namespace ostrel
