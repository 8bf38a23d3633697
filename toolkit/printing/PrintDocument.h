#pragma once

#include <QString>
#include <QStringView>
#include <vector>

#include "toolkit/text/TextSnapshot.h"

namespace ostrel {

// The text a document is printed from: the items printed into it, each a
// snapshot that shares its characters with where they came from (a text
// window's document, a string), so a document of any size costs no copy of
// its text and may be read on another thread while the window goes on.
class PrintDocument {
 public:
  void add(const TextSnapshot& text);
  void add(const QString& text);
  void clear() { parts_.clear(); }

  bool isEmpty() const { return length() == 0; }
  qint64 length() const;
  // The units [position, position + length) of the whole, across items.
  QString text(qint64 position, qint64 length) const;

  // Reads a document line by line, decoding a block at a time: no more than
  // a block and the line in hand are ever held, whatever the document's size
  // or its longest line. CR LF, a lone CR and a lone LF end a line, also
  // where an item's end splits CR from LF; the document's last line end
  // starts no further line.
  class Reader {
   public:
    explicit Reader(const PrintDocument& document);

    // A stretch of the current line from the reading position: all the rest
    // of it when its end comes within limit units (ends is then true), else
    // its next limit units, never ending between the halves of a surrogate
    // pair.
    struct Stretch {
      QStringView text;
      bool ends;
    };
    Stretch line(qsizetype limit);
    // Moves past units of the stretch last returned; moving past all of a
    // stretch that ends moves past its line end too.
    void pass(qsizetype units);

    bool atEnd() const { return position() >= document_.length(); }
    // Units of the document passed.
    qint64 position() const { return bufferStart_ + at_; }

   private:
    // Adds the next block to the buffer, dropping what was passed; false
    // at the document's end.
    bool fill();

    const PrintDocument& document_;
    QString buffer_;
    qint64 bufferStart_ = 0;  // the document position of buffer_[0]
    qsizetype at_ = 0;        // the reading position in buffer_
    qsizetype lastLength_ = 0;
    int lastLineEnd_ = -1;  // the last stretch's line end (0 at the end), -1: it goes on
  };

 private:
  std::vector<TextSnapshot> parts_;
};

}  // namespace ostrel
