#include <gtest/gtest.h>

#include <thread>

#include "tests/support/AllocationFault.h"
#include "tests/support/FakeServices.h"
#include "tests/support/TempDir.h"
#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/picture/BmpDecoder.h"
#include "toolkit/picture/DecodeCancel.h"
#include "toolkit/picture/GifDecoder.h"
#include "toolkit/picture/JpegDecoder.h"
#include "toolkit/picture/PictureLoader.h"

namespace ostrel {
namespace {

using Purpose = PictureLoader::Purpose;

TEST(DecodeCancel, ACancelledDecodeStopsAtItsNextRowAndOnlyOnItsThread) {
  const QByteArray rle = test::rleBitmap(4000, 3000);
  test::GifBuilder gif{2, 2, {qRgb(255, 0, 0), qRgb(0, 0, 255)}};
  gif.images = {{.width = 2, .height = 2, .indexes = {"\0\1\1\0", 4}}};
  const QByteArray gifBytes = gif.build();
  const test::BmpBuilder plain{.pixels = QByteArray(16, '\x40')};
  const QByteArray jpeg = test::makeJpeg(test::quadrants(64, 32));

  const std::atomic<bool> cancelled{true};
  std::thread other([&] {
    const DecodeCancel::Scope scope(&cancelled);
    EXPECT_THROW(BmpDecoder::decode(rle, BmpDecoder::Layout::File), DecodeCancel::Cancelled);
    EXPECT_THROW(BmpDecoder::decode(plain.build(), BmpDecoder::Layout::File),
                 DecodeCancel::Cancelled);
    EXPECT_THROW(GifDecoder::decode(gifBytes), DecodeCancel::Cancelled);
    EXPECT_THROW(JpegDecoder::decode(jpeg, QSize(137, 113)), DecodeCancel::Cancelled);
  });
  other.join();
  // This thread installed no flag: its decodes run to the end.
  EXPECT_EQ(BmpDecoder::decode(rle, BmpDecoder::Layout::File).size(), QSize(4000, 3000));
  const std::atomic<bool> running{false};
  const DecodeCancel::Scope scope(&running);
  EXPECT_EQ(GifDecoder::decode(gifBytes).size(), QSize(2, 2));
}

// Running out of memory in a decode, the metafile reader's included, ends
// in the loader's own words naming the file, never in the end of the program.
TEST(PictureJobs, RunningOutOfMemoryInADecodeEndsInAMessageNamingTheFile) {
  test::TempDir tmp;
  test::WmfBuilder wmf(true);
  for (int i = 0; i < 20000; ++i) wmf.add(0x0102, {1});  // SetBkMode: a long record list
  const QString name = tmp.file(QStringLiteral("long.wmf"));
  test::writeFile(name, wmf.finish());
  QObject context;
  std::optional<PictureLoader::Result> result;
  {
    const test::AllocationFault fault(64 * 1024);
    test::fakes().pictures->request(Purpose::Preview, name, {64, 64}, &context,
                                    [&](const PictureLoader::Result& r) { result = r; });
  }
  ASSERT_TRUE(result);
  ASSERT_TRUE(result->error);
  EXPECT_GT(test::AllocationFault::refused(), 0);
  EXPECT_EQ(result->error->Number(), err::OutOfMemory);
  EXPECT_TRUE(result->error->Description().contains(QStringLiteral("long.wmf")))
      << result->error->Description().toStdString();
  // Without the fault the same file shows.
  test::fakes().pictures->request(Purpose::Preview, name, {64, 64}, &context,
                                  [&](const PictureLoader::Result& r) { result = r; });
  EXPECT_FALSE(result->error);
}

}  // namespace
}  // namespace ostrel
