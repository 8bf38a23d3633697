#include "toolkit/help/HelpBook.h"

#include <QStringDecoder>
#include <algorithm>

namespace ostrel {

namespace {

bool isTitle(const QString& line) {
  return line.startsWith(QLatin1String("# "));
}

bool isKeywordLine(const QString& line) {
  return line.startsWith(QLatin1String("K:"));
}

bool isFence(const QString& line) {
  return line.trimmed().startsWith(QLatin1String("```"));
}

QString trimTrailingBlankLines(const QStringList& lines) {
  qsizetype end = lines.size();
  while (end > 0 && lines[end - 1].trimmed().isEmpty()) --end;
  qsizetype begin = 0;
  while (begin < end && lines[begin].trimmed().isEmpty()) ++begin;
  return lines.mid(begin, end - begin).join(u'\n');
}

}  // namespace

HelpBook HelpBook::parse(const QByteArray& bytes) {
  HelpBook book;
  // The help file is ours and written as UTF-8; a stray byte shows as a
  // replacement character rather than hiding the whole topic.
  QString text = QStringDecoder(QStringDecoder::Utf8).decode(bytes);
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(u'\r', u'\n');

  Topic* topic = nullptr;
  QStringList body;
  bool inFence = false;
  bool inKeywords = false;
  auto finish = [&] {
    if (topic) topic->body = trimTrailingBlankLines(body);
    body.clear();
  };
  for (const QString& line : text.split(u'\n')) {
    if (!inFence && isTitle(line)) {
      finish();
      book.topics_.append(Topic{line.mid(2).trimmed(), {}, {}});
      topic = &book.topics_.last();
      inKeywords = true;
      continue;
    }
    if (!topic) continue;  // the preamble
    if (inKeywords && isKeywordLine(line)) {
      for (const QString& keyword : line.mid(2).split(u';')) {
        const QString trimmed = keyword.trimmed();
        if (!trimmed.isEmpty() && !topic->keywords.contains(trimmed)) topic->keywords += trimmed;
      }
      continue;
    }
    if (inKeywords && line.trimmed().isEmpty()) continue;
    inKeywords = false;
    if (isFence(line)) inFence = !inFence;
    body += line;
  }
  finish();

  for (int i = 0; i < book.topics_.size(); ++i) {
    const Topic& t = book.topics_[i];
    if (t.keywords.isEmpty()) book.index_.append(IndexEntry{t.title, i});
    for (const QString& keyword : t.keywords) book.index_.append(IndexEntry{keyword, i});
  }
  std::stable_sort(book.index_.begin(), book.index_.end(),
                   [](const IndexEntry& a, const IndexEntry& b) {
                     return QString::compare(a.keyword, b.keyword, Qt::CaseInsensitive) < 0;
                   });
  return book;
}

QList<HelpBook::IndexEntry> HelpBook::matching(const QString& text) const {
  const QString wanted = text.trimmed();
  if (wanted.isEmpty()) return index_;
  QList<IndexEntry> found;
  for (const IndexEntry& entry : index_)
    if (entry.keyword.contains(wanted, Qt::CaseInsensitive)) found.append(entry);
  return found;
}

int HelpBook::findTopic(const QString& keyword) const {
  const QString wanted = keyword.trimmed();
  if (wanted.isEmpty()) return -1;
  for (const IndexEntry& entry : index_)
    if (entry.keyword.compare(wanted, Qt::CaseInsensitive) == 0) return entry.topic;
  for (int i = 0; i < topics_.size(); ++i)
    if (topics_[i].title.compare(wanted, Qt::CaseInsensitive) == 0) return i;
  for (const IndexEntry& entry : index_)
    if (entry.keyword.startsWith(wanted, Qt::CaseInsensitive)) return entry.topic;
  return -1;
}

QString HelpBook::markdownOf(int topic) const {
  if (topic < 0 || topic >= topics_.size()) return {};
  const Topic& t = topics_[topic];
  return QStringLiteral("# ") + t.title + QStringLiteral("\n\n") + t.body + u'\n';
}

}  // namespace ostrel
