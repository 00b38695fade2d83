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

// An object with one value of each kind, nested optionally.
class Sample : public Archivable {
 public:
  std::string archiveClassName() const override { return "Sample"; }
  void encodeWithCoder(SequentialArchiver& coder) const override {
    coder.encodeInt32(number);
    coder.encodeString(label);
    coder.encodeObject(child.get());
  }
  bool initWithCoder(SequentialArchiver& coder) override {
    if (!coder.decodeInt32(number) || !coder.decodeString(label)) return false;
    // The child slot holds either none or another Sample.
    auto nested = std::make_shared<Sample>();
    bool isNone = false;
    if (!coder.decodeObject(*nested, isNone)) return false;
    if (!isNone) child = nested;
    return true;
  }
  std::int32_t number = 0;
  std::optional<std::string> label;
  std::shared_ptr<Sample> child;
};

// Reads fewer values than it wrote.
class ShortReader : public Sample {
 public:
  std::string archiveClassName() const override { return "Sample"; }
  bool initWithCoder(SequentialArchiver& coder) override { return coder.decodeInt32(number); }
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

SequentialArchiver archiveOfEveryType() {
  SequentialArchiver out;
  out.encodeInt32(std::numeric_limits<std::int32_t>::min());
  out.encodeUInt32(0xFFFFFFFFu);
  out.encodeInt16(-32768);
  out.encodeUInt16(65535);
  out.encodeInt8(-128);
  out.encodeFloat(0.1f);
  out.encodeDouble(-0.0);
  out.encodeUInt64(0x0123456789ABCDEFull);
  out.encodeString(std::string("a\0b\xF0\x9F\x98\x80", 7));
  out.encodeString(std::nullopt);
  out.encodeString(std::string());
  return out;
}

TEST(SequentialArchiverTest, EveryTypeRoundTripsBitForBit) {
  SequentialArchiver in(archiveOfEveryType().bytes());
  std::int32_t i = 0;
  std::uint32_t u = 0;
  std::int16_t s = 0;
  std::uint16_t us = 0;
  std::int8_t c = 0;
  float f = 0;
  double d = 1;
  std::uint64_t q = 0;
  std::optional<std::string> text, none = "x", empty;
  ASSERT_TRUE(in.decodeInt32(i) && in.decodeUInt32(u) && in.decodeInt16(s) && in.decodeUInt16(us) &&
              in.decodeInt8(c) && in.decodeFloat(f) && in.decodeDouble(d) && in.decodeUInt64(q) &&
              in.decodeString(text) && in.decodeString(none) && in.decodeString(empty));
  EXPECT_EQ(i, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(u, 0xFFFFFFFFu);
  EXPECT_EQ(s, -32768);
  EXPECT_EQ(us, 65535);
  EXPECT_EQ(c, -128);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(f), std::bit_cast<std::uint32_t>(0.1f));
  EXPECT_TRUE(std::signbit(d));
  EXPECT_EQ(q, 0x0123456789ABCDEFull);
  EXPECT_EQ(text, std::string("a\0b\xF0\x9F\x98\x80", 7));
  EXPECT_FALSE(none.has_value());
  EXPECT_EQ(empty, std::string());
  EXPECT_TRUE(in.atEnd());
  EXPECT_FALSE(in.failed());
}

TEST(SequentialArchiverTest, NotANumberKeepsItsPayload) {
  SequentialArchiver out;
  double nan = std::bit_cast<double>(0x7FF8000000001234ull);
  out.encodeDouble(nan);
  SequentialArchiver in(out.bytes());
  double back = 0;
  ASSERT_TRUE(in.decodeDouble(back));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(back), 0x7FF8000000001234ull);
}

TEST(SequentialArchiverTest, AnotherTypeThanWrittenFailsAndStaysFailed) {
  struct Case {
    const char* name;
    bool (*decode)(SequentialArchiver&);
  };
  const Case cases[] = {
      {"uint32 for int32",
       [](SequentialArchiver& a) {
         std::uint32_t v;
         return a.decodeUInt32(v);
       }},
      {"float for int32",
       [](SequentialArchiver& a) {
         float v;
         return a.decodeFloat(v);
       }},
      {"int16 for int32",
       [](SequentialArchiver& a) {
         std::int16_t v;
         return a.decodeInt16(v);
       }},
      {"string for int32",
       [](SequentialArchiver& a) {
         std::optional<std::string> v;
         return a.decodeString(v);
       }},
      {"uint64 for int32",
       [](SequentialArchiver& a) {
         std::uint64_t v;
         return a.decodeUInt64(v);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SequentialArchiver out;
    out.encodeInt32(7);
    out.encodeInt32(8);
    SequentialArchiver in(out.bytes());
    EXPECT_FALSE(c.decode(in));
    EXPECT_TRUE(in.failed());
    std::int32_t value = 99;
    EXPECT_FALSE(in.decodeInt32(value)) << "a failed decoder must not resume";
    EXPECT_EQ(value, 99);
  }
}

TEST(SequentialArchiverTest, EveryTruncationFailsCleanly) {
  std::string bytes = archiveOfEveryType().bytes();
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    SCOPED_TRACE(length);
    // A copy of exactly `length` bytes, so the sanitizer sees any read past its end.
    SequentialArchiver in(std::string(bytes.data(), length));
    std::int32_t i;
    std::uint32_t u;
    std::int16_t s;
    std::uint16_t us;
    std::int8_t c;
    float f;
    double d;
    std::uint64_t q;
    std::optional<std::string> t1, t2, t3;
    bool all = in.decodeInt32(i) && in.decodeUInt32(u) && in.decodeInt16(s) &&
               in.decodeUInt16(us) && in.decodeInt8(c) && in.decodeFloat(f) && in.decodeDouble(d) &&
               in.decodeUInt64(q) && in.decodeString(t1) && in.decodeString(t2) &&
               in.decodeString(t3);
    EXPECT_FALSE(all);
    EXPECT_TRUE(in.failed());
  }
}

TEST(SequentialArchiverTest, StringLengthBeyondTheEndIsRefused) {
  SequentialArchiver out;
  out.encodeString(std::string("abcd"));
  std::string bytes = out.bytes();
  // The length field follows magic, version, type code and kind byte.
  bytes[7] = '\xFF';
  bytes[8] = '\xFF';
  SequentialArchiver in(bytes);
  std::optional<std::string> text;
  EXPECT_FALSE(in.decodeString(text));
  EXPECT_FALSE(text.has_value());
}

TEST(SequentialArchiverTest, ForeignOrEmptyBytesAreNoArchive) {
  for (const std::string& bytes : {std::string(), std::string("ZORA"), std::string("ZORA\x02", 5),
                                   std::string("ZORK\x01", 5)}) {
    SequentialArchiver in(bytes);
    EXPECT_TRUE(in.failed());
    std::int32_t value;
    EXPECT_FALSE(in.decodeInt32(value));
  }
}

TEST(SequentialArchiverTest, AnEncoderCannotDecode) {
  SequentialArchiver out;
  out.encodeInt32(1);
  std::int32_t value;
  EXPECT_FALSE(out.decodeInt32(value));
}

TEST(SequentialArchiverTest, NestedObjectsRoundTrip) {
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
  EXPECT_EQ(back.number, -5);
  EXPECT_EQ(back.label, "outer");
  ASSERT_NE(back.child, nullptr);
  EXPECT_EQ(back.child->number, 6);
  EXPECT_FALSE(back.child->label.has_value());
  EXPECT_EQ(back.child->child, nullptr);
  std::int8_t tail = 0;
  EXPECT_TRUE(in.decodeInt8(tail));
  EXPECT_EQ(tail, 3);
}

TEST(SequentialArchiverTest, ObjectOfAnotherClassOrReadShortIsRefused) {
  Sample sample;
  sample.number = 1;
  SequentialArchiver out;
  out.encodeObject(&sample);

  SequentialArchiver wrongClass(out.bytes());
  Leaf leaf;
  EXPECT_FALSE(wrongClass.decodeObject(leaf));

  SequentialArchiver shortRead(out.bytes());
  ShortReader reader;
  EXPECT_FALSE(shortRead.decodeObject(reader)) << "an object must consume exactly what it wrote";

  SequentialArchiver none;
  none.encodeObject(nullptr);
  SequentialArchiver strict(none.bytes());
  EXPECT_FALSE(strict.decodeObject(leaf)) << "none is no object where one is required";
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
}

TEST(KeyedArchiverTest, MissingKeyOrAnotherTypeGivesNothing) {
  KeyedArchiver archive;
  archive.encodeInt32("count", 4);
  EXPECT_FALSE(archive.decodeInt32("absent").has_value());
  EXPECT_FALSE(archive.decodeUInt32("count").has_value());
  EXPECT_FALSE(archive.decodeString("count").has_value());
  EXPECT_TRUE(archive.containsValueForKey("count"));
  archive.encodeString("count", "four");
  EXPECT_EQ(archive.decodeString("count"), "four") << "a later value replaces the earlier one";
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
  auto sent = byReference.encodePortObject(leaf);
  auto proxy = std::dynamic_pointer_cast<DistantObject>(sent);
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
}

TEST(PortCoderTest, ProxyNeedsAnObjectAndAConnection) {
  EXPECT_EQ(DistantObject::proxyWithLocal(nullptr, std::make_shared<PortConnection>()), nullptr);
  EXPECT_EQ(DistantObject::proxyWithLocal(std::make_shared<Leaf>(), nullptr), nullptr);
  PortConnection connection;
  EXPECT_EQ(connection.localObjectForReference(0), nullptr);
  EXPECT_EQ(connection.localObjectForReference(1), nullptr);
}

}  // namespace
}  // namespace zor
