#include "toolkit/metafile/EmfPlusPen.h"

#include <cmath>

#include "toolkit/metafile/EmfPlusNames.h"
#include "toolkit/metafile/EmfPlusReader.h"
#include "toolkit/metafile/RecordReader.h"

namespace ostrel {

namespace {

Qt::PenCapStyle qtCap(int32_t cap) {
  switch (cap) {
    case U_LCT_Square:
      return Qt::SquareCap;
    case U_LCT_Round:
      return Qt::RoundCap;
    default:
      return Qt::FlatCap;  // the others are shapes drawn over a flat end
  }
}

// Dash lengths are few; a file listing more is not believed.
constexpr uint32_t kMaxDashes = 64;

}  // namespace

QList<qreal> EmfPlusPen::dashPattern(int32_t style, const std::vector<float>& custom) {
  switch (style) {
    case emfplus::kLineDash:
      return {3, 1};
    case emfplus::kLineDot:
      return {1, 1};
    case emfplus::kLineDashDot:
      return {3, 1, 1, 1};
    case emfplus::kLineDashDotDot:
      return {3, 1, 1, 1, 1, 1};
    case emfplus::kLineCustom: {
      QList<qreal> out;
      for (float d : custom) out.append(std::max<qreal>(d, 0.01));
      if (out.size() % 2) out.append(out.back());
      return out;
    }
    default:
      return {};
  }
}

EmfPlusPen EmfPlusPen::read(EmfPlusReader& r, DibCache& bitmaps, int nesting) {
  EmfPlusPen pen;
  r.u32();  // version
  r.u32();  // type, always 0
  const uint32_t flags = r.u32();
  pen.unit_ = r.u32();
  pen.width_ = std::abs(r.f32());
  if (flags & U_PD_Transform) r.matrix();  // a pen transform shapes the nib; not drawn
  if (flags & U_PD_StartCap) pen.startCap_ = r.i32();
  if (flags & U_PD_EndCap) pen.endCap_ = r.i32();
  if (flags & U_PD_Join) pen.join_ = r.u32();
  if (flags & U_PD_MiterLimit) pen.miterLimit_ = r.f32();
  if (flags & U_PD_LineStyle) pen.style_ = r.i32();
  if (flags & U_PD_DLCap) pen.dashCap_ = r.i32();
  if (flags & U_PD_DLOffset) pen.dashOffset_ = r.f32();
  if (flags & U_PD_DLData) {
    const uint32_t count = r.u32();
    if (count > kMaxDashes || !r.fits(count, 4)) return r.fail(), pen;
    for (uint32_t i = 0; i < count; ++i) pen.dashes_.push_back(r.f32());
    if (!(flags & U_PD_LineStyle)) pen.style_ = emfplus::kLineCustom;
  }
  if (flags & U_PD_NonCenter) r.i32();  // alignment: strokes stay centred
  if (flags & U_PD_CLData) {
    const uint32_t count = r.u32();  // compound lines are drawn as one
    r.skip(uint64_t(count) * 4);
  }
  pen.startShape_ = EmfPlusLineCap::ofType(pen.startCap_);
  pen.endShape_ = EmfPlusLineCap::ofType(pen.endCap_);
  for (auto [flag, shape] : {std::pair{U_PD_CustomStartCap, &pen.startShape_},
                             std::pair{U_PD_CustomEndCap, &pen.endShape_}}) {
    if (!(flags & flag)) continue;
    const int32_t size = r.i32();
    EmfPlusReader part = r.sub(uint32_t(std::max(size, 0)));
    *shape = EmfPlusLineCap::read(part);
  }
  // Some writers set flags for fields they leave out, or leave out flags
  // for fields they write: the brush starts where the next object's
  // version is, when there is one.
  uint32_t skip = 0;
  while (uint64_t(skip) + 4 <= r.remaining() &&
         !emfplus::isVersion(RecordReader(r.current(), r.remaining()).u32(skip)))
    skip += 4;
  if (uint64_t(skip) + 4 <= r.remaining()) r.skip(skip);
  if (r.ok() && r.remaining() >= 12) pen.brush_ = EmfPlusBrush::read(r, bitmaps, nesting);
  return pen;
}

QPen EmfPlusPen::qtPen(double worldWidth) const {
  QPen pen(brush_.kind() == EmfPlusBrush::Kind::Solid ? QBrush(brush_.color()) : brush_.brush(),
           worldWidth);
  pen.setCosmetic(worldWidth <= 0);
  pen.setCapStyle(qtCap(startCap_ == U_LCT_Round || endCap_ == U_LCT_Round ? U_LCT_Round
                        : startCap_ == U_LCT_Square                        ? U_LCT_Square
                                                                           : endCap_));
  switch (join_) {
    case U_LJT_Bevel:
      pen.setJoinStyle(Qt::BevelJoin);
      break;
    case U_LJT_Round:
      pen.setJoinStyle(Qt::RoundJoin);
      break;
    case U_LJT_MiterClipped:
      pen.setJoinStyle(Qt::MiterJoin);  // Qt clips the miter at the limit
      pen.setMiterLimit(miterLimit_);
      break;
    default:
      pen.setJoinStyle(Qt::SvgMiterJoin);  // a miter past the limit becomes a bevel
      pen.setMiterLimit(miterLimit_);
      break;
  }
  const QList<qreal> dashes = dashPattern(style_, dashes_);
  if (!dashes.isEmpty()) {
    // Dashes take the dash cap; Qt's round cap adds to each dash as GDI+'s does.
    pen.setCapStyle(dashCap_ == emfplus::kDashCapRound ? Qt::RoundCap : Qt::FlatCap);
    pen.setDashPattern(dashes);
    pen.setDashOffset(dashOffset_);
  }
  return pen;
}

}  // namespace ostrel
