#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace ostrel {

// The program's help file, parsed. The file is UTF-8 Markdown split into
// topics (a byte-order mark and CR LF line ends are fine):
//
//   # Title of the topic
//   K: keyword; another keyword
//   K: more keywords
//
//   Markdown body, up to the next line that starts with "# ".
//
// A "# " line starts a topic only outside fenced code blocks (```), and
// anything before the first topic is the file's preamble, which is not shown.
// "K:" lines directly after the title (blank lines may come between) give the
// index keywords, separated by ";". A topic without keywords is listed in the
// index under its title. Links of the form [text](topic:keyword) jump to the
// topic a keyword names.
class HelpBook {
 public:
  struct Topic {
    QString title;
    QStringList keywords;
    QString body;  // Markdown, without the title line and the keyword lines
  };
  struct IndexEntry {
    QString keyword;
    int topic;  // index into topics()
  };

  static HelpBook parse(const QByteArray& bytes);

  bool isEmpty() const { return topics_.isEmpty(); }
  const QList<Topic>& topics() const { return topics_; }
  // Every keyword with its topic, sorted without regard to case.
  const QList<IndexEntry>& index() const { return index_; }
  // The index entries whose keyword contains text (any case); all for empty text.
  QList<IndexEntry> matching(const QString& text) const;
  // The topic a keyword names: an exact keyword first (any case), then a
  // title, then the first keyword that starts with it; -1 when none does.
  int findTopic(const QString& keyword) const;
  // The topic as the viewer shows it: its title as a heading, then its body.
  QString markdownOf(int topic) const;

 private:
  QList<Topic> topics_;
  QList<IndexEntry> index_;
};

}  // namespace ostrel
