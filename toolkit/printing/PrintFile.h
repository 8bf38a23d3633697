#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QIODevice>
#include <QString>

namespace ostrel {

// The file a PDF goes to. The PDF engine writes on whatever its device
// takes and never asks how it went, so this device keeps the first system
// error a write meets (a full disk, a quota, a device error), and once
// closed checks that the file on disk holds every byte and ends as a PDF
// ends. A file not finished is removed: half a PDF is no document.
class PrintFile : public QIODevice {
  Q_OBJECT

 public:
  PrintFile() = default;
  ~PrintFile() override;
  PrintFile(const PrintFile&) = delete;
  PrintFile& operator=(const PrintFile&) = delete;

  // Creates fileName, or empties it; false with error() set. A pipe with
  // nothing reading it is refused rather than waited for.
  bool create(const QString& fileName);
  // Writes what is buffered, flushes the file to disk, closes it and checks
  // it; false, with the file removed, when anything failed.
  bool finish();
  // Closes the file and removes it.
  void discard();

  // The system error of the first failure (errno), 0 while there is none;
  // kIncomplete when the file on disk turned out shorter than written or
  // not a whole PDF.
  int error() const { return error_; }
  static constexpr int kIncomplete = -1;
  // The failure in words for a message: "the disk is full", ...
  QString reason() const;

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* data, qint64 size) override;

 private:
  bool flushBuffer();
  bool wholeOnDisk();

  QByteArray name_;
  int fd_ = -1;
  QByteArray buffer_;
  qint64 written_ = 0;
  int error_ = 0;
};

}  // namespace ostrel
