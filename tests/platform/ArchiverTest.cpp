#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "platform/Archivable.h"
#include "platform/DistantObject.h"
#include "platform/KeyedArchiver.h"
#include "platform/PortCoder.h"
#include "platform/PortConnection.h"
#include "platform/SequentialArchiver.h"

namespace zor {
namespace {

// An object with a number, a text and optionally a nested Sample; one that
// reads short decodes only the number it wrote first.
class Sample : public Archivable {
 public:
  explicit Sample(bool readShort = false) : readShort_(readShort) {}
  std::string archiveClassName() const override { return "Sample"; }
  void encodeWithCoder(SequentialArchiver& coder) const override {
    coder.encodeInt32(number);
    coder.encodeString(label);
    coder.encodeObject(child.get());
  }
  bool initWithCoder(SequentialArchiver& coder) override {
    if (readShort_) return coder.decodeInt32(number);
    if (!coder.decodeInt32(number) || !coder.decodeString(label)) return false;
    auto nested = std::make_shared<Sample>();
    bool isNone = false;
    if (!coder.decodeObject(*nested, isNone)) return false;
    if (!isNone) child = nested;
    return true;
  }
  std::int32_t number = 0;
  std::optional<std::string> label;
  std::shared_ptr<Sample> child;

 private:
  bool readShort_;
};

class Leaf : public Archivable {
 public:
  std::string archiveClassName() const override { return "Leaf"; }
  void encodeWithCoder(SequentialArchiver& coder) const override { coder.encodeUInt64(bits); }
  bool initWithCoder(SequentialArchiver& coder) override { return coder.decodeUInt64(bits); }
  std::shared_ptr<Archivable> replacementObjectForPortCoder(PortCoder& coder) override {
    return replacementByCopyUnlessByref(coder);
  }
  std::uint64_t bits = 0;
};

constexpr std::uint64_t kNotANumber = 0x7FF8000000001234ull;  // with a payload
const std::string kText("a\0b\xF0\x9F\x98\x80", 7);

SequentialArchiver archiveOfEveryType() {
  SequentialArchiver out;
  out.encodeInt32(std::numeric_limits<std::int32_t>::min());
  out.encodeUInt32(0xFFFFFFFFu);
  out.encodeInt16(-32768);
  out.encodeUInt16(65535);
  out.encodeInt8(-128);
  out.encodeFloat(0.1f);
  out.encodeDouble(-0.0);
  out.encodeDouble(std::bit_cast<double>(kNotANumber));
  out.encodeUInt64(0x0123456789ABCDEFull);
  out.encodeString(kText);
  out.encodeString(std::nullopt);
  out.encodeString(std::string());
  return out;
}

struct EveryType {
  std::int32_t i = 0;
  std::uint32_t u = 0;
  std::int16_t s = 0;
  std::uint16_t us = 0;
  std::int8_t c = 0;
  float f = 0;
  double zero = 1, nan = 0;
  std::uint64_t q = 0;
  std::optional<std::string> text, none = "x", empty;

  bool decode(SequentialArchiver& in) {
    return in.decodeInt32(i) && in.decodeUInt32(u) && in.decodeInt16(s) && in.decodeUInt16(us) &&
           in.decodeInt8(c) && in.decodeFloat(f) && in.decodeDouble(zero) && in.decodeDouble(nan) &&
           in.decodeUInt64(q) && in.decodeString(text) && in.decodeString(none) &&
           in.decodeString(empty);
  }
};

TEST(SequentialArchiverTest, EveryTypeRoundTripsBitForBit) {
  SequentialArchiver in(archiveOfEveryType().bytes());
  EveryType v;
  ASSERT_TRUE(v.decode(in));
  EXPECT_EQ(std::tie(v.i, v.u, v.s, v.us, v.c, v.q),
            std::tuple(std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFFu, -32768, 65535, -128,
                       0x0123456789ABCDEFull));
  EXPECT_EQ(std::bit_cast<std::uint32_t>(v.f), std::bit_cast<std::uint32_t>(0.1f));
  EXPECT_TRUE(std::signbit(v.zero));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(v.nan), kNotANumber);
  EXPECT_EQ(v.text, kText);
  EXPECT_FALSE(v.none.has_value());
  EXPECT_EQ(v.empty, std::string());
  EXPECT_TRUE(in.atEnd());
  EXPECT_FALSE(in.failed());
}

template <typename T, bool (SequentialArchiver::*Decode)(T&)>
bool take(SequentialArchiver& archive) {
  T value{};
  return (archive.*Decode)(value);
}

TEST(SequentialArchiverTest, AnotherTypeThanWrittenFailsAndStaysFailed) {
  using Archive = SequentialArchiver;
  for (auto decode : {take<std::uint32_t, &Archive::decodeUInt32>,
                      take<float, &Archive::decodeFloat>, take<std::int16_t, &Archive::decodeInt16>,
                      take<std::optional<std::string>, &Archive::decodeString>,
                      take<std::uint64_t, &Archive::decodeUInt64>}) {
    SequentialArchiver out;
    out.encodeInt32(7);
    out.encodeInt32(8);
    SequentialArchiver in(out.bytes());
    EXPECT_FALSE(decode(in));
    EXPECT_TRUE(in.failed());
    std::int32_t value = 99;
    EXPECT_FALSE(in.decodeInt32(value)) << "a failed decoder must not resume";
    EXPECT_EQ(value, 99);
  }
  std::int32_t value;
  EXPECT_FALSE(SequentialArchiver().decodeInt32(value)) << "an encoder cannot decode";
}

TEST(SequentialArchiverTest, TruncatedOrForeignBytesFailCleanly) {
  std::string bytes = archiveOfEveryType().bytes();
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    // A copy of exactly `length` bytes, so the sanitizer sees any read past its end.
    SequentialArchiver in(std::string(bytes.data(), length));
    EveryType v;
    EXPECT_FALSE(v.decode(in)) << length;
    EXPECT_TRUE(in.failed()) << length;
  }
  for (const std::string& foreign : {std::string("ZORA\x02", 5), std::string("ZORK\x01", 5)}) {
    EXPECT_TRUE(SequentialArchiver(foreign).failed()) << foreign;
  }
  // A string whose length field (after magic, version, type code and kind) runs past the end.
  SequentialArchiver out;
  out.encodeString(std::string("abcd"));
  bytes = out.bytes();
  bytes[7] = bytes[8] = '\xFF';
  SequentialArchiver in(bytes);
  std::optional<std::string> text;
  EXPECT_FALSE(in.decodeString(text));
  EXPECT_FALSE(text.has_value());
}

TEST(SequentialArchiverTest, NestedObjectsRoundTripAndOnlyWhole) {
  Sample outer;
  outer.number = -5;
  outer.label = "outer";
  outer.child = std::make_shared<Sample>();
  outer.child->number = 6;
  SequentialArchiver out;
  out.encodeObject(&outer);
  out.encodeInt8(3);

  SequentialArchiver in(out.bytes());
  Sample back;
  ASSERT_TRUE(in.decodeObject(back));
  EXPECT_EQ(std::tie(back.number, back.label), std::tuple(-5, std::optional<std::string>("outer")));
  ASSERT_NE(back.child, nullptr);
  EXPECT_EQ(back.child->number, 6);
  EXPECT_FALSE(back.child->label.has_value());
  EXPECT_EQ(back.child->child, nullptr);
  std::int8_t tail = 0;
  EXPECT_TRUE(in.decodeInt8(tail) && tail == 3);

  Leaf leaf;
  EXPECT_FALSE(SequentialArchiver(out.bytes()).decodeObject(leaf)) << "another class";
  Sample reader(true);
  EXPECT_FALSE(SequentialArchiver(out.bytes()).decodeObject(reader))
      << "an object must consume exactly what it wrote";
  SequentialArchiver none;
  none.encodeObject(nullptr);
  EXPECT_FALSE(SequentialArchiver(none.bytes()).decodeObject(leaf))
      << "none is no object where one is required";
  SequentialArchiver lenient(none.bytes());
  bool isNone = false;
  EXPECT_TRUE(lenient.decodeObject(leaf, isNone));
  EXPECT_TRUE(isNone);
}

TEST(KeyedArchiverTest, EveryTypeRoundTripsByKey) {
  KeyedArchiver out;
  out.encodeInt32("i", -1);
  out.encodeUInt32("I", 0xFFFFFFFFu);
  out.encodeInt16("s", -2);
  out.encodeUInt16("S", 0xFFFF);
  out.encodeInt8("c", -3);
  out.encodeFloat("f", 0.1f);
  out.encodeDouble("d", 0.1);
  out.encodeUInt64("Q", 0xFFFFFFFFFFFFFFFFull);
  out.encodeString("@", "text");
  out.encodeBytes("B", std::string("\0\1", 2));

  auto in = KeyedArchiver::fromBytes(out.bytes());
  ASSERT_TRUE(in.has_value());
  EXPECT_EQ(in->count(), 10u);
  EXPECT_EQ(in->decodeInt32("i"), -1);
  EXPECT_EQ(in->decodeUInt32("I"), 0xFFFFFFFFu);
  EXPECT_EQ(in->decodeInt16("s"), -2);
  EXPECT_EQ(in->decodeUInt16("S"), 0xFFFF);
  EXPECT_EQ(in->decodeInt8("c"), -3);
  EXPECT_EQ(in->decodeFloat("f"), 0.1f);
  EXPECT_EQ(in->decodeDouble("d"), 0.1);
  EXPECT_EQ(in->decodeUInt64("Q"), 0xFFFFFFFFFFFFFFFFull);
  EXPECT_EQ(in->decodeString("@"), "text");
  EXPECT_EQ(in->decodeBytes("B"), std::string("\0\1", 2));
  // A missing key or another type gives nothing; a later value replaces an earlier one.
  EXPECT_FALSE(in->decodeInt32("absent") || in->decodeUInt32("i") || in->decodeString("i"));
  out.encodeString("i", "four");
  EXPECT_EQ(out.decodeString("i"), "four");
}

TEST(KeyedArchiverTest, MalformedBytesAreRefusedWhole) {
  KeyedArchiver out;
  out.encodeString("name", "abc");
  out.encodeDouble("value", 2.5);
  std::string bytes = out.bytes();
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    EXPECT_FALSE(KeyedArchiver::fromBytes(std::string(bytes.data(), length)).has_value()) << length;
  }
  EXPECT_FALSE(KeyedArchiver::fromBytes(bytes + "x").has_value()) << "trailing bytes";

  KeyedArchiver one;
  one.encodeInt8("k", 1);
  std::string single = one.bytes();
  // Claim two entries and repeat the one entry: a repeated key is refused.
  std::string doubled = single;
  doubled[5] = 2;
  doubled += single.substr(9);
  EXPECT_FALSE(KeyedArchiver::fromBytes(doubled).has_value());
  // An unknown type code is refused.
  std::string unknown = single;
  unknown[9 + 4 + 1] = 'z';
  EXPECT_FALSE(KeyedArchiver::fromBytes(unknown).has_value());
}

TEST(PortCoderTest, ObjectsTravelByCopyUnlessTheCoderAsksForReferences) {
  auto connection = std::make_shared<PortConnection>();
  auto leaf = std::make_shared<Leaf>();
  leaf->bits = 42;

  PortCoder byCopy(connection, false);
  EXPECT_EQ(byCopy.encodePortObject(leaf), leaf);
  SequentialArchiver copyIn(byCopy.bytes());
  Leaf received;
  ASSERT_TRUE(copyIn.decodeObject(received));
  EXPECT_EQ(received.bits, 42u);
  EXPECT_EQ(connection->exportedObjectCount(), 0u);

  PortCoder byReference(connection, true);
  auto proxy = std::dynamic_pointer_cast<DistantObject>(byReference.encodePortObject(leaf));
  ASSERT_NE(proxy, nullptr);
  EXPECT_EQ(proxy->local(), leaf);
  EXPECT_EQ(connection->localObjectForReference(proxy->reference()), leaf);
  SequentialArchiver proxyIn(byReference.bytes());
  DistantObject remote;
  ASSERT_TRUE(proxyIn.decodeObject(remote));
  EXPECT_EQ(remote.reference(), proxy->reference());

  // The same object exported twice keeps one reference number.
  PortCoder again(connection, true);
  auto second = std::dynamic_pointer_cast<DistantObject>(again.encodePortObject(leaf));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->reference(), proxy->reference());
  EXPECT_EQ(connection->exportedObjectCount(), 1u);
  EXPECT_EQ(DistantObject::proxyWithLocal(nullptr, connection), nullptr);
  EXPECT_EQ(DistantObject::proxyWithLocal(leaf, nullptr), nullptr);
}

}  // namespace
}  // namespace zor
