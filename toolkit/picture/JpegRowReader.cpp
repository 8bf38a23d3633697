#include "toolkit/picture/JpegRowReader.h"

// jpeglib.h uses FILE and size_t without including their headers.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "toolkit/picture/DecodeCancel.h"
#include "toolkit/picture/DecodeProgress.h"

namespace ostrel {

namespace {

// A progressive file with more scans than this is built to stall a decoder
// (every scan goes over the whole picture again).
constexpr int kMostScans = 500;
// Rows asked for at once; libjpeg hands back up to one row of blocks a call.
constexpr JDIMENSION kRowsAtOnce = 16;

constexpr J_COLOR_SPACE kRgb32Space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;

enum class Step { Done, Failed, Cancelled };

}  // namespace

// Plain data only: libjpeg's callbacks find it through client_data and leave
// the steps below by longjmp.
struct JpegRowReader::State {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump{};
  const unsigned char* bytes = nullptr;
  unsigned long size = 0;
  bool created = false;
  bool cancelled = false;
  bool endedEarly = false;  // the data ran out while rows were being read
  char message[JMSG_LENGTH_MAX] = {};
};

namespace {

JpegRowReader::State& stateOf(j_common_ptr info) {
  return *static_cast<JpegRowReader::State*>(info->client_data);
}

void onError(j_common_ptr info) {
  JpegRowReader::State& s = stateOf(info);
  (*info->err->format_message)(info, s.message);
  std::longjmp(s.jump, 1);
}

// Warnings (a file that ends early, a bad Huffman code) leave a picture that
// shows as far as it decodes; nothing goes to the terminal.
void onOutput(j_common_ptr /*info*/) {}

void onMessage(j_common_ptr info, int level) {
  if (level >= 0) return;  // trace output
  JpegRowReader::State& s = stateOf(info);
  // The first warning is the one a refused header is reported by.
  if (info->err->num_warnings++ == 0) (*info->err->format_message)(info, s.message);
  if (info->err->msg_code == JWRN_JPEG_EOF) s.endedEarly = true;
}

void onProgress(j_common_ptr info) {
  JpegRowReader::State& s = stateOf(info);
  if (DecodeCancel::requested()) {
    s.cancelled = true;
    std::longjmp(s.jump, 1);
  }
  if (info->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMostScans) {
    std::snprintf(s.message, sizeof s.message, "the file has more than %d scans", kMostScans);
    std::longjmp(s.jump, 1);
  }
}

// The two steps that call libjpeg. No C++ object may live in their frames:
// an error or a cancel leaves them by longjmp from inside libjpeg.
bool headerStep(JpegRowReader::State& s) {
  if (setjmp(s.jump) != 0) return false;
  jpeg_create_decompress(&s.info);
  s.created = true;
  s.info.progress = &s.progress;
  jpeg_mem_src(&s.info, s.bytes, s.size);
  jpeg_read_header(&s.info, TRUE);
  // Junk between the markers already: Qt's reader gets the file, as it did
  // when libturbojpeg refused such headers.
  return s.errors.num_warnings == 0;
}

Step decodeStep(JpegRowReader::State& s, unsigned char* bits, qsizetype stride, int width,
                int height, J_COLOR_SPACE space) {
  if (setjmp(s.jump) != 0) {
    if (s.cancelled) return Step::Cancelled;
    // Already warned about (a bad code, data ending early), the file is known
    // to be damaged: the rows decoded so far stand, as after a warning.
    return s.errors.num_warnings > 0 ? Step::Done : Step::Failed;
  }
  s.info.out_color_space = space;
  // A progressive file is read whole here: data that ends early leaves every
  // row coarser, not rows missing.
  jpeg_start_decompress(&s.info);
  s.endedEarly = false;
  if (s.info.output_width != JDIMENSION(width) || s.info.output_height != JDIMENSION(height)) {
    std::snprintf(s.message, sizeof s.message, "its decoded size is not the one announced");
    return Step::Failed;
  }
  JSAMPROW rows[kRowsAtOnce];
  while (s.info.output_scanline < s.info.output_height) {
    const JDIMENSION first = s.info.output_scanline;
    const JDIMENSION count = std::min(kRowsAtOnce, s.info.output_height - first);
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = bits + qsizetype(first + i) * stride;
    // Every call starts with onProgress, which checks for a cancel.
    if (jpeg_read_scanlines(&s.info, rows, count) == 0) break;
    // libjpeg would go on with blocks of no data (flat grey); the rows
    // below the end of the data stay black as in the other decoders.
    if (s.endedEarly) break;
    DecodeProgress::advance(int(s.info.output_scanline));
  }
  // The rows are all there; what follows them in the file is not read.
  jpeg_abort_decompress(&s.info);
  return Step::Done;
}

}  // namespace

JpegRowReader::JpegRowReader(QByteArrayView data) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.bytes = reinterpret_cast<const unsigned char*>(data.data());
  s.size = static_cast<unsigned long>(data.size());
  s.info.err = jpeg_std_error(&s.errors);
  s.errors.error_exit = onError;
  s.errors.emit_message = onMessage;
  s.errors.output_message = onOutput;
  s.progress.progress_monitor = onProgress;
  s.info.client_data = &s;
}

JpegRowReader::~JpegRowReader() {
  if (state_->created) jpeg_destroy_decompress(&state_->info);
}

bool JpegRowReader::readHeader() {
  return headerStep(*state_);
}

QSize JpegRowReader::storedSize() const {
  return {int(state_->info.image_width), int(state_->info.image_height)};
}

JpegRowReader::Colours JpegRowReader::colours() const {
  switch (state_->info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      return Colours::Gray;
    case JCS_CMYK:
      return Colours::Cmyk;
    case JCS_YCCK:
      return Colours::Ycck;
    default:
      return Colours::Rgb;
  }
}

QSize JpegRowReader::scaledSize(int num, int denom) const {
  // libjpeg rounds a scaled size up.
  auto scaled = [&](JDIMENSION side) { return int((qint64(side) * num + denom - 1) / denom); };
  return {scaled(state_->info.image_width), scaled(state_->info.image_height)};
}

bool JpegRowReader::decode(uchar* bits, qsizetype bytesPerLine, QSize size, int num, int denom) {
  State& s = *state_;
  s.info.scale_num = unsigned(num);
  s.info.scale_denom = unsigned(denom);
  const Colours c = colours();
  const J_COLOR_SPACE space = c == Colours::Gray                         ? JCS_GRAYSCALE
                              : c == Colours::Cmyk || c == Colours::Ycck ? JCS_CMYK
                                                                         : kRgb32Space;
  const Step step = decodeStep(s, bits, bytesPerLine, size.width(), size.height(), space);
  if (step == Step::Cancelled) throw DecodeCancel::Cancelled{};
  // Rows the data never reached stay black: final too.
  if (step == Step::Done) DecodeProgress::advance(size.height());
  return step == Step::Done;
}

QString JpegRowReader::error() const {
  return QString::fromLocal8Bit(state_->message);
}

}  // namespace ostrel
