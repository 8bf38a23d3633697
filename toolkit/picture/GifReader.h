#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QRect>
#include <array>
#include <vector>

namespace ostrel {

// Reads a GIF from memory block by block and draws its images onto the
// logical screen, one frame at a time. A frame is every image up to and
// including the next one shown with a delay (so a picture built of several
// images, e.g. one for each block of 256 colours, is one frame); images after
// the last delay make a last frame of their own.
//
// The screen starts transparent. Before an image is drawn, the one before it
// is disposed of as it asked: 0 and 1 keep it, 2 clears its area to
// transparent, 3 puts back what was there before it. Images reaching past the
// screen are clipped to it; an image whose data ends early is drawn as far as
// it goes; indexes beyond the colour table are transparent. Damaged data and
// a screen too large throw DecodeFailure.
class GifReader {
 public:
  // Reads the header and the global colour table; throws DecodeFailure.
  explicit GifReader(QByteArrayView data);

  // Draws the next frame onto screen(). False when nothing was left to draw.
  // A GIF that ends properly before its first image gives one empty frame.
  bool nextFrame();

  const QImage& screen() const { return canvas_; }
  // The delay the last frame asks for, in hundredths of a second (0: none).
  int delay() const { return frameDelay_; }
  // The file ended inside the last frame's data; the frame shows what came.
  bool cutShort() const { return cutShort_; }
  // The loop extension's count (0: for ever), -1 when none has been read.
  int loopCount() const { return loopCount_; }
  // Pixels drawn, cleared, saved or put back so far: the frames' work.
  qint64 work() const { return work_; }
  // Before drawing an image that would take the work past limit, the reader
  // stops as if the file ended there (limitReached() is then true).
  void setWorkLimit(qint64 limit) { workLimit_ = limit; }
  // Whether an image without a delay that asks to be cleared or replaced
  // after it (disposal 2 or 3) ends a frame too: it can only have been
  // meant to be seen on its own. Off for the first frame, which the preview
  // shows as the file's still picture.
  void setRemovedImagesShown(bool shown) { removedImagesShown_ = shown; }
  bool limitReached() const { return limitReached_; }

 private:
  struct ColourTable {
    std::array<QRgb, 256> colours{};
    int count = 0;
  };
  // How the next image is drawn and what happens after it.
  struct Control {
    int transparent = -1;
    int disposal = 0;
    int delay = 0;
    bool present = false;
  };
  struct Disposal {
    int disposal = 0;
    QRect area;
    QImage saved;
  };
  enum class Step { Continue, FrameDone, Stop };

  Step readBlock();
  Step readExtension();
  Step readImage();
  void ensureCanvas(const QRect* first);
  bool readColourTable(int count, ColourTable& table);
  bool readSubBlocks(std::vector<uchar>* out);
  void readLoopExtension();
  bool has(qint64 n) const { return pos_ + n <= data_.size(); }
  bool atEnd() const { return pos_ >= data_.size(); }
  uchar peek() const { return uchar(data_[pos_]); }
  uchar byte() { return uchar(data_[pos_++]); }
  quint16 u16();
  void skip(qint64 n);
  const uchar* here() const;

  QByteArrayView data_;
  qint64 pos_ = 0;
  int width_ = 0;
  int height_ = 0;
  ColourTable global_;
  QImage canvas_;
  Control control_;
  Disposal pending_;
  std::vector<uchar> pixels_;
  bool sawImage_ = false;
  bool sawTrailer_ = false;
  qint64 images_ = 0;
  bool ended_ = false;
  bool cutShort_ = false;
  bool limitReached_ = false;
  bool removedImagesShown_ = false;
  int frameDelay_ = 0;
  int loopCount_ = -1;
  qint64 work_ = 0;
  qint64 workLimit_ = -1;
};

}  // namespace ostrel
