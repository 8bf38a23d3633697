#include "toolkit/files/LineEnds.h"

#include <array>

namespace ostrel {

namespace {
constexpr char16_t kParagraphSeparator = 0x2029;
// The characters a text document takes as the start and end of a frame; it
// breaks the line at either of them.
constexpr char16_t kFrameStart = 0xFDD0;
constexpr char16_t kFrameEnd = 0xFDD1;
constexpr int kKinds = 6;
}  // namespace

LineEnds::Match LineEnds::matchAt(QStringView text, qsizetype i) {
  switch (text[i].unicode()) {
    case u'\r':
      if (i + 1 < text.size() && text[i + 1] == u'\n') return {Kind::CrLf, 2};
      return {Kind::Cr, 1};
    case u'\n':
      return {Kind::Lf, 1};
    case kParagraphSeparator:
      return {Kind::ParagraphSeparator, 1};
    case kFrameStart:
      return {Kind::FrameStart, 1};
    case kFrameEnd:
      return {Kind::FrameEnd, 1};
    default:
      return {Kind::CrLf, 0};
  }
}

LineEnds LineEnds::scan(QStringView text) {
  LineEnds ends;
  std::array<std::size_t, kKinds> tally{};
  const char16_t* data = text.utf16();
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size; ++i) {
    // Most characters are none of the six; test cheaply before matching.
    const char16_t c = data[i];
    if (c > u'\r' && c != kParagraphSeparator && c != kFrameStart && c != kFrameEnd) continue;
    const Match m = matchAt(text, i);
    if (m.length == 0) continue;
    ends.kinds_.push_back(m.kind);
    ++tally[static_cast<int>(m.kind)];
    i += m.length - 1;
  }
  ends.count_ = ends.kinds_.size();
  if (ends.count_ == 0) return ends;

  ends.dominant_ = ends.kinds_.front();
  for (int k = 0; k < kKinds; ++k) {
    if (tally[k] > tally[static_cast<int>(ends.dominant_)]) ends.dominant_ = static_cast<Kind>(k);
  }
  ends.uniform_ = tally[static_cast<int>(ends.dominant_)] == ends.count_;
  if (ends.uniform_) {
    ends.kinds_.clear();
    ends.kinds_.shrink_to_fit();
  }
  return ends;
}

QStringView LineEnds::sequence(Kind kind) {
  static const char16_t crlf[] = u"\r\n";
  static const char16_t ps[] = {kParagraphSeparator};
  static const char16_t fs[] = {kFrameStart};
  static const char16_t fe[] = {kFrameEnd};
  switch (kind) {
    case Kind::CrLf:
      return QStringView(crlf, 2);
    case Kind::Lf:
      return QStringView(crlf + 1, 1);
    case Kind::Cr:
      return QStringView(crlf, 1);
    case Kind::ParagraphSeparator:
      return QStringView(ps, 1);
    case Kind::FrameStart:
      return QStringView(fs, 1);
    case Kind::FrameEnd:
      return QStringView(fe, 1);
  }
  return {};
}

}  // namespace ostrel
