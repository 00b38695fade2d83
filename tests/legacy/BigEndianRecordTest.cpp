#include "legacy/BigEndianRecord.h"

#include <gtest/gtest.h>

#include <vector>

namespace zor {
namespace {

const std::vector<std::uint8_t> kBytes = {0x12, 0x34, 0xfe, 0xdc, 0x80, 0x00, 0x00, 0x01};

TEST(BigEndianRecordTest, FieldsReadMostSignificantByteFirst) {
  BigEndianRecord record(kBytes);
  EXPECT_EQ(record.uint8At(2), 0xfe);
  EXPECT_EQ(record.uint16At(0), 0x1234);
  EXPECT_EQ(record.int16At(2), static_cast<std::int16_t>(-292));  // 0xfedc
  EXPECT_EQ(record.uint32At(4), 0x80000001u);
  EXPECT_EQ(record.int32At(4), INT32_MIN + 1);
  EXPECT_EQ(record.uint32At(1), 0x34fedc80u);  // fields need no alignment
}

TEST(BigEndianRecordTest, FieldsReachingPastTheEndReadAsZero) {
  BigEndianRecord record(kBytes);
  struct Case {
    std::size_t offset;
    std::size_t width;
    bool inside;
  };
  const Case cases[] = {{0, 8, true},  {7, 1, true},         {8, 0, true},
                        {7, 2, false}, {5, 4, false},        {8, 1, false},
                        {9, 0, false}, {SIZE_MAX, 2, false}, {2, SIZE_MAX, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(record.contains(c.offset, c.width), c.inside) << c.offset << "+" << c.width;
    EXPECT_EQ(record.bytesAt(c.offset, c.width).size(), c.inside ? c.width : 0u)
        << c.offset << "+" << c.width;
  }
  EXPECT_EQ(record.uint16At(7), 0);
  EXPECT_EQ(record.uint32At(5), 0u);
  EXPECT_EQ(record.int32At(SIZE_MAX - 1), 0);
  EXPECT_EQ(BigEndianRecord({}).uint8At(0), 0);
}

}  // namespace
}  // namespace zor
