#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <cstring>
#include <vector>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/metafile/FontMapper.h"
#include "toolkit/metafile/GdiNames.h"
#include "toolkit/metafile/GdiObject.h"
#include "toolkit/metafile/GdiPlayer.h"
#include "toolkit/picture/PictureLimits.h"

// What the WMF and EMF decoders share: how a file is refused and how a colour
// reference is read.
namespace ostrel::metafile {

[[noreturn]] inline void fail(const QString& fileName, const QString& reason) {
  throw ToolkitError(
      err::InvalidPicture,
      QCoreApplication::translate("MetafileReader", "The picture “%1” cannot be shown: %2")
          .arg(FileNames::shown(fileName), reason));
}

// The refusal of a file whose bitmaps together claim more pixels than one
// drawing may decode (PictureLimits::kMaxDrawingBitmapPixels).
[[noreturn]] inline void failBitmapBudget(const QString& fileName) {
  fail(fileName, QCoreApplication::translate("MetafileReader",
                                             "its bitmaps together claim more than %1 megapixels, "
                                             "more than this program draws in one picture.")
                     .arg(PictureLimits::kMaxDrawingBitmapPixels / 1000000));
}

// Source rows counted from the bottom edge of a bitmap (the DIB-to-device
// records count them so), turned into rows of the top-down image.
inline QRectF rowsFromBottom(QRectF src, const QImage& image) {
  src.moveTop(image.height() - src.y() - src.height());
  return src;
}

// A COLORREF: 0x00BBGGRR, or 0x0100iiii for an entry of the selected palette.
inline QColor colorOf(uint32_t ref, const std::vector<QRgb>& palette) {
  if ((ref >> gdi::kColorRefKindShift) == gdi::kColorRefPaletteIndex) {
    const uint32_t index = ref & gdi::kColorRefIndexMask;
    return index < palette.size() ? QColor(palette[index]) : QColor(Qt::black);
  }
  return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}

// A LOGFONT's face name: UTF-16 in EMF, 8-bit in WMF, where it is written in
// the font's own character set (a Chinese font's name in GBK, say); it ends
// at its NUL or at the end of the field.
inline QString faceName(const uint16_t (&name)[U_LF_FACESIZE], uint8_t /*charSet*/) {
  QString face;
  for (const uint16_t c : name) {
    if (c == 0) break;
    face.append(QChar(c));
  }
  return face;
}
inline QString faceName(const char (&name)[U_LF_FACESIZE], uint8_t charSet) {
  GdiFont inCharSet;
  inCharSet.charSet = charSet;
  return FontMapper::decodeAnsi(QByteArray(name, qsizetype(strnlen(name, sizeof name))), inCharSet);
}

// The spacing of 8-bit text, read one entry a byte, given to the run's
// characters (a double-byte character takes both its bytes' advances). Where
// they cannot be matched the run keeps the font's own spacing.
inline void spaceText(TextRun& run, const QByteArray& bytes, const std::vector<double>& dx,
                      const std::vector<double>& dy, const GdiFont& font) {
  // dx and dy may be the run's own arrays: each is read whole before it is replaced.
  run.dx = FontMapper::spacingPerCharacter(bytes, font, dx);
  if (!dy.empty()) run.dy = FontMapper::spacingPerCharacter(bytes, font, dy);
  if (run.dx.size() != size_t(run.text.size())) {
    run.dx.clear();
    run.dy.clear();
  }
}

// A LOGFONT as either format stores it (EMF's U_LOGFONT, WMF's LogFont16):
// the same fields under the same names, in sizes of their own.
template <typename LogFont>
GdiFont fontOf(const LogFont& lf) {
  GdiFont f;
  f.height = lf.lfHeight;
  f.width = lf.lfWidth;
  f.escapement = lf.lfEscapement;
  f.orientation = lf.lfOrientation;
  f.weight = lf.lfWeight;
  f.italic = lf.lfItalic;
  f.underline = lf.lfUnderline;
  f.strikeOut = lf.lfStrikeOut;
  f.charSet = lf.lfCharSet;
  f.pitchAndFamily = lf.lfPitchAndFamily;
  f.face = faceName(lf.lfFaceName, lf.lfCharSet);
  return f;
}

}  // namespace ostrel::metafile
