#pragma once

#include <QByteArrayView>
#include <QSize>
#include <QString>
#include <memory>

namespace ostrel {

// libjpeg's row-by-row decompressor over bytes in memory. The decode checks
// the thread's DecodeCancel flag before every group of rows it asks for and
// after every row of blocks it reads from a progressive file's scans, so a
// decode nobody waits for stops within a few rows. libjpeg reports errors by
// jumping back into two small C-style steps that hold no C++ objects; the
// rest of the class is ordinary C++.
class JpegRowReader {
 public:
  // What the pixels decode to: Gray into Format_Grayscale8, the others into
  // Format_RGB32 (CMYK and YCCK as four bytes of ink, C M Y K in memory).
  enum class Colours { Gray, Rgb, Cmyk, Ycck };

  explicit JpegRowReader(QByteArrayView data);
  ~JpegRowReader();
  JpegRowReader(const JpegRowReader&) = delete;
  JpegRowReader& operator=(const JpegRowReader&) = delete;

  // False when libjpeg-turbo refuses the header or warns about it; error()
  // says why.
  bool readHeader();
  QSize storedSize() const;
  Colours colours() const;
  // The picture's size decoded at the DCT scale num/denom.
  QSize scaledSize(int num, int denom) const;

  // Decodes at num/denom into the pixels of an image of size scaledSize()
  // and the format for colours(), taken from it beforehand (an image shared
  // with the interface must not be detached to write it). Rows the data
  // never reaches are left as they were. False on a fatal error that no
  // warning came before (error() says why); throws DecodeCancel::Cancelled
  // when the thread's decode is cancelled, at a row boundary. Each group of
  // rows, once written, is told to the thread's DecodeProgress.
  bool decode(uchar* bits, qsizetype bytesPerLine, QSize size, int num, int denom);
  QString error() const;

  // libjpeg's objects, known only to the .cpp (its callbacks reach them).
  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace ostrel
