#include "toolkit/text/TextDocument.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <random>
#include <string_view>

namespace ostrel {
namespace {

using namespace std::literals;
using Encoding = TextCodec::Encoding;
using Mark = TextCodec::ByteOrderMark;

std::unique_ptr<TextDocument> load(const QByteArray& bytes) {
  return TextDocument::fromBytes(bytes, TextCodec::detect(bytes));
}

QByteArray written(const TextDocument& document, const TextCodec& codec) {
  QByteArray out;
  const bool ok = document.write(codec, [&](QByteArrayView bytes) { out.append(bytes); });
  EXPECT_TRUE(ok);
  return out;
}

QByteArray written(const TextDocument& document) {
  return written(document, document.codec());
}

// Compares everything the document says about its text with the text itself,
// split into lines the plain way.
void expectHolds(const TextDocument& document, const QString& text) {
  ASSERT_EQ(document.toString(), text);
  ASSERT_EQ(document.length(), text.size());
  qint64 line = 0;
  for (qint64 start = 0;; ++line) {
    qint64 end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    const qint64 endLength = end == text.size()                                    ? 0
                             : text[end] == u'\r' && text.mid(end + 1, 1) == u"\n" ? 2
                                                                                   : 1;
    ASSERT_LT(line, document.lineCount());
    ASSERT_EQ(document.lineStart(line), start) << "line " << line;
    ASSERT_EQ(document.lineEndLength(line), endLength) << "line " << line;
    ASSERT_EQ(document.lineLength(line), end - start) << "line " << line;
    ASSERT_EQ(document.lineAt(start), line);
    if (end + endLength > start) ASSERT_EQ(document.lineAt(end + endLength - 1), line);
    if (endLength == 0) break;
    start = end + endLength;
  }
  ASSERT_EQ(document.lineCount(), line + 1);
}

QString randomInsert(std::mt19937& random) {
  static const QStringList parts =
      QString::fromUtf16(u"a|\r|\n|\r\n|word |\u00E9|\U0001F600|\r\n\r|\n\n").split(u'|');
  QString text;
  const int count = static_cast<int>(random() % 4);
  for (int i = 0; i < count; ++i) text += parts[random() % parts.size()];
  return text;
}

// Random edits checked against the same edits on a QString, then every one
// undone and redone, each state checked again.
void editAtRandom(const QByteArray& bytes, unsigned seed) {
  std::unique_ptr<TextDocument> document = load(bytes);
  QString model = document->toString();
  std::vector<QString> history{model};
  std::mt19937 random(seed);
  for (int step = 0; step < 300; ++step) {
    qint64 position = static_cast<qint64>(random() % (model.size() + 1));
    qint64 remove = static_cast<qint64>(random() % 4);
    // Edits near the places where line ends and pieces meet are the ones
    // that go wrong; keep the model's positions off surrogate halves.
    remove = qMin(remove, model.size() - position);
    if (position > 0 && position < model.size() && model[position].isLowSurrogate()) --position;
    qint64 end = position + remove;
    if (end > 0 && end < model.size() && model[end].isLowSurrogate()) --end;
    remove = qMax<qint64>(0, end - position);
    const QString insert = randomInsert(random);
    document->breakUndoCoalescing();
    document->replace(position, remove, insert);
    if (remove == 0 && insert.isEmpty()) continue;
    model.replace(position, remove, insert);
    history.push_back(model);
    ASSERT_NO_FATAL_FAILURE(expectHolds(*document, model)) << "step " << step;
  }
  for (auto state = history.rbegin() + 1; state != history.rend(); ++state) {
    ASSERT_TRUE(document->undo().has_value());
    ASSERT_NO_FATAL_FAILURE(expectHolds(*document, *state));
  }
  EXPECT_FALSE(document->canUndo());
  EXPECT_FALSE(document->isModified());
  EXPECT_EQ(written(*document), bytes);
  for (auto state = history.begin() + 1; state != history.end(); ++state) {
    ASSERT_TRUE(document->redo().has_value());
    ASSERT_NO_FATAL_FAILURE(expectHolds(*document, *state));
  }
  EXPECT_FALSE(document->canRedo());
}

// The text as a file in a Unicode encoding writes it, its mark first.
QByteArray fileBytes(Encoding encoding, const QString& text) {
  const TextCodec codec(encoding, Mark::Present);
  return codec.byteOrderMarkBytes() + *codec.encodeFragment(text);
}

// The text now, then after each of `count` undos.
QStringList undone(TextDocument& document, int count) {
  QStringList states{document.toString()};
  for (int i = 0; i < count; ++i) {
    document.undo();
    states << document.toString();
  }
  return states;
}

TEST(TextDocumentEdits, MatchAPlainStringAcrossPiecesAndUndoBackToTheBytes) {
  const QString mixed = QString::fromUtf16(u"one\r\ntwo\rthree\n\nf\u00FCnf \U0001F600\r");
  editAtRandom(mixed.toUtf8(), 1);
  editAtRandom(QByteArray("caf\xE9\r\n\x80\x81 \r\rend", 13), 2);  // Windows-1252
  editAtRandom(fileBytes(Encoding::Utf16LE, mixed), 3);
  editAtRandom(fileBytes(Encoding::Utf16BE, mixed), 4);
  editAtRandom(fileBytes(Encoding::Utf32LE, mixed), 5);
  editAtRandom(QByteArray(), 6);
}

TEST(TextDocumentEdits, MoveAPositionInsideASurrogatePairToItsStartAndReportEachChange) {
  const QString face = QString::fromUtf16(u"a\U0001F600b");
  std::unique_ptr<TextDocument> document = load(face.toUtf8());
  document->replace(2, 0, QStringLiteral("x"));
  EXPECT_EQ(document->toString(), QString::fromUtf16(u"ax\U0001F600b"));
  document->replace(3, 1, QString());  // from the middle: the whole pair or nothing
  EXPECT_EQ(document->toString(), QString::fromUtf16(u"ax\U0001F600b"));
  document->replace(2, 2, QString());
  EXPECT_EQ(document->toString(), QStringLiteral("axb"));
  // Reading from the middle of a pair gives its second half, as a QString would.
  const std::unique_ptr<TextDocument> fresh = load(face.toUtf8());
  EXPECT_EQ(fresh->text(2, 2), face.mid(2, 2));
  EXPECT_EQ(fresh->text(0, 2), face.mid(0, 2));
  // Each change is reported with the lines it touched.
  document = load("one\ntwo\nthree");
  std::vector<TextDocument::Change> changes;
  document->setChangeListener([&](const TextDocument::Change& c) { changes.push_back(c); });
  const quint64 before = document->revision();
  document->replace(5, 1, QStringLiteral("W\r\nX\n"));  // "one\ntW\r\nX\no\nthree"
  ASSERT_EQ(changes.size(), 1U);
  EXPECT_EQ(changes[0].position, 5);
  EXPECT_EQ(changes[0].removed, 1);
  EXPECT_EQ(changes[0].inserted, 5);
  EXPECT_EQ(changes[0].firstLine, 1);
  EXPECT_EQ(changes[0].linesInserted - changes[0].linesRemoved, 2);
  EXPECT_EQ(document->lineCount(), 5);
  EXPECT_NE(document->revision(), before);
  document->undo();
  ASSERT_EQ(changes.size(), 2U);
  EXPECT_EQ(changes[1].linesInserted - changes[1].linesRemoved, -2);
}

TEST(TextDocumentUndo, TypingIsOneStepUntilTheCaretMovesOrALineEndIsTyped) {
  std::unique_ptr<TextDocument> document = load("x");
  for (const char* c : {"a", "b", "c"})
    document->replace(document->length(), 0, QString::fromLatin1(c));
  document->replace(3, 1, QString());  // a backspace at the running position
  document->replace(3, 0, QStringLiteral("\n"));
  document->replace(4, 0, QStringLiteral("d"));
  document->breakUndoCoalescing();
  document->replace(5, 0, QStringLiteral("e"));
  EXPECT_EQ(undone(*document, 4), (QStringList{"xab\nde", "xab\nd", "xab\n", "xab", "xabc"}))
      << "the Backspace is a step of its own";
  const auto range = document->undo();
  EXPECT_EQ(document->toString(), QStringLiteral("x"));
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->position, 1);
  EXPECT_EQ(range->length, 0);
  EXPECT_FALSE(document->undo().has_value());
}

TEST(TextDocumentUndo, TypingOverASelectionIsOneStepAndModifiedFollowsTheSavedState) {
  std::unique_ptr<TextDocument> document = load("one two");
  document->replace(4, 3, QStringLiteral("t"));
  document->replace(5, 0, QStringLiteral("e"));
  document->replace(6, 0, QStringLiteral("n"));
  EXPECT_EQ(document->toString(), QStringLiteral("one ten"));
  const auto range = document->undo();
  EXPECT_EQ(document->toString(), QStringLiteral("one two"));
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->position, 4);
  EXPECT_EQ(range->length, 3);
  EXPECT_FALSE(document->canUndo());
  EXPECT_EQ(document->redo()->length, 3);
  EXPECT_EQ(document->toString(), QStringLiteral("one ten"));

  document = load("abc");
  EXPECT_FALSE(document->isModified());
  document->replace(0, 0, QStringLiteral("x"));
  EXPECT_TRUE(document->isModified());
  document->undo();
  EXPECT_FALSE(document->isModified());
  document->redo();
  EXPECT_TRUE(document->isModified());
  document->setUnmodified();
  document->replace(4, 0, QStringLiteral("y"));  // would coalesce but for the save
  document->undo();
  EXPECT_FALSE(document->isModified());
  EXPECT_EQ(document->toString(), QStringLiteral("xabc"));
  document->undo();
  EXPECT_TRUE(document->isModified());
}

// What was read comes back byte for byte, unedited or after an edit that was
// undone; an edit in the middle leaves the bytes around it as they were.
TEST(TextDocumentBytes, ComeBackAsReadAndKeepADeclaredMultiByteSet) {
  for (const auto& [name, data] : {std::pair{"nul and eof mark", "a\0b\x1A\x63\r\n"sv},
                                   {"lone cr and mixed ends", "a\rb\r\nc\nd\n\r"sv},
                                   {"invalid utf8", "caf\xE9 \xC0\xAF \xED\xA0\x80 ok"sv},
                                   {"bom", "\xEF\xBB\xBFhi\r\nthere"sv},
                                   {"two boms", "\xEF\xBB\xBF\xEF\xBB\xBFhi"sv},
                                   {"utf16le", "\xFF\xFEh\0i\0\r\0\n\0\x3D\xD8"sv},
                                   {"utf32be", "\0\0\xFE\xFF\0\0\0G\0\0\0\n"sv}}) {
    SCOPED_TRACE(name);
    const QByteArray bytes(data.data(), static_cast<qsizetype>(data.size()));
    std::unique_ptr<TextDocument> document = load(bytes);
    EXPECT_EQ(written(*document), bytes);
    const qint64 middle = document->length() / 2;
    document->replace(middle, 0, QStringLiteral("X"));
    const QByteArray edited = written(*document);
    EXPECT_EQ(document->codec().decode(edited), document->toString());
    EXPECT_EQ(edited.size(), bytes.size() + document->codec().encodeFragment(u"X")->size());
    document->undo();
    EXPECT_EQ(written(*document), bytes);
  }
  // A page in a multi-byte character set: a typed character goes into the file as that set's bytes;
  // bytes the set does not give back (a lead byte cut off) are read as detected instead, so that
  // they still come back.
  const QByteArray japanese =
      "<html><meta charset=\"shift_jis\">\x93\xFA\x96\x7B\r\n\x93\xFA</html>";
  const TextCodec sjis = TextCodec::detectFile(japanese, QStringLiteral("page.htm"));
  ASSERT_EQ(sjis.encoding(), Encoding::MultiByte);
  std::unique_ptr<TextDocument> document = TextDocument::fromBytes(japanese, sjis);
  EXPECT_EQ(document->lineCount(), 2);
  EXPECT_EQ(document->lineText(1), QString::fromUtf16(u"\u65E5</html>"));
  EXPECT_EQ(written(*document), japanese);
  document->replace(document->lineStart(1), 0, QString::fromUtf16(u"\u672C"));
  QByteArray edited = japanese;
  edited.insert(edited.indexOf("\r\n") + 2, "\x96\x7B");
  EXPECT_EQ(written(*document), edited);
  const QByteArray cut = japanese + "\x93";
  document = TextDocument::fromBytes(cut, sjis);
  EXPECT_EQ(document->codec().encoding(), Encoding::Windows1252);
  EXPECT_EQ(written(*document), cut);
}

TEST(TextDocumentBytes, AreThoseOfTheTextNowAndRefuseACharacterTheCodecCannotHold) {
  // The same length as what was read, in one piece: still not the file's bytes.
  std::unique_ptr<TextDocument> document = load("abc");
  document->replace(0, 3, QStringLiteral("xyz"));
  EXPECT_EQ(written(*document), QByteArray("xyz"));
  std::unique_ptr<TextDocument> empty = load(QByteArray());
  empty->replace(0, 0, QStringLiteral("new"));
  EXPECT_EQ(written(*empty), QByteArray("new"));

  document = load("caf\xE9");
  ASSERT_EQ(document->codec().encoding(), Encoding::Windows1252);
  document->replace(4, 0, QString::fromUtf16(u" \u2603"));
  EXPECT_FALSE(document->write(document->codec(), [](QByteArrayView) {}));
  const TextCodec utf8(Encoding::Utf8, Mark::Absent);
  EXPECT_EQ(written(*document, utf8), QByteArray("caf\xC3\xA9 \xE2\x98\x83"));
}

// A long line of characters of several lengths, read through windows at its
// ends and middle, the way the view reads it, in each encoding that finds
// positions by counting.
TEST(TextDocumentLongLine, ReadsAndEditsAnywhereInIt) {
  const QString unit = QString::fromUtf16(u"ab\u00E9\u20AC\U0001F600 ");
  QString built;
  while (built.size() < 3 * 1024 * 1024) built += unit;
  for (const QByteArray& bytes : {built.toUtf8(), fileBytes(Encoding::Utf32BE, built)}) {
    QString line = built;
    std::unique_ptr<TextDocument> document = load(bytes);
    ASSERT_EQ(document->length(), line.size());
    ASSERT_EQ(document->lineCount(), 1);
    for (const qint64 at : {qint64(0), qint64(1), line.size() / 2, line.size() / 2 + 3,
                            line.size() - 700, line.size() - 1}) {
      ASSERT_EQ(document->text(at, 700), line.mid(at, 700)) << at;
    }
    document->replace(line.size() - 1, 1, QStringLiteral("END"));
    document->replace(0, 1, QStringLiteral("BEGIN"));
    line.replace(line.size() - 1, 1, QStringLiteral("END"));
    line.replace(0, 1, QStringLiteral("BEGIN"));
    EXPECT_EQ(document->text(0, 10), line.left(10));
    EXPECT_EQ(document->text(document->length() - 10, 10), line.right(10));
    EXPECT_EQ(document->lineLength(0), line.size());
    EXPECT_EQ(document->codec().decode(written(*document)), line);
  }
}

}  // namespace
}  // namespace ostrel
