#include "toolkit/metafile/RecordReader.h"

#include <gtest/gtest.h>
#include <uemf.h>

namespace ostrel {
namespace {

TEST(RecordReader, StructReadsFieldsInPlaceAndZeroFillsPastTheEnd) {
  // An EMR_SETWINDOWORGEX record cut short after its x field.
  const char bytes[] = {10, 0, 0, 0, 16, 0, 0, 0, 7, 0, 0, 0};
  const RecordReader whole(bytes, sizeof bytes);
  const auto cut = whole.as<U_EMRSETWINDOWORGEX>();
  EXPECT_EQ(cut.emr.iType, 10u);
  EXPECT_EQ(cut.ptlOrigin.x, 7);
  EXPECT_EQ(cut.ptlOrigin.y, 0);
  EXPECT_FALSE(whole.ok());

  const RecordReader fixedPart(bytes, sizeof bytes);
  EXPECT_EQ(fixedPart.as<U_EMRSETWINDOWORGEX>(0, 12).ptlOrigin.x, 7);
  EXPECT_TRUE(fixedPart.ok());

  const RecordReader past(bytes, sizeof bytes);
  EXPECT_EQ(past.as<uint32_t>(64), 0u);
  EXPECT_FALSE(past.ok());
}

}  // namespace
}  // namespace ostrel
