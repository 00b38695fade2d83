#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/DistantObject.h"
#include "platform/KeyedArchiver.h"
#include "platform/PortCoder.h"
#include "platform/PortConnection.h"

namespace zor {
namespace {

// The values whose bits a decoder could lose: sign bits of the short integers, a NaN payload,
// bytes beyond ASCII and a NUL, no string at all. Every type's plain round trip: the family tests
// of the objects that archive themselves.
constexpr std::uint64_t kNotANumber = 0x7FF8000000001234ull;
const std::string kText("a\0b\xF0\x9F\x98\x80", 7);

struct EveryType {
  std::int32_t i = std::numeric_limits<std::int32_t>::min();
  std::int16_t s = -32768;
  std::int8_t c = -128;
  double nan = std::bit_cast<double>(kNotANumber);
  std::uint64_t q = 0x0123456789ABCDEFull;
  std::optional<std::string> text = kText, none;

  std::string bytes() const {
    SequentialArchiver out;
    out.encodeInt32(i);
    out.encodeInt16(s);
    out.encodeInt8(c);
    out.encodeDouble(nan);
    out.encodeUInt64(q);
    out.encodeString(text);
    out.encodeString(none);
    return out.bytes();
  }
  bool decode(SequentialArchiver& in) {
    return in.decodeInt32(i) && in.decodeInt16(s) && in.decodeInt8(c) && in.decodeDouble(nan) &&
           in.decodeUInt64(q) && in.decodeString(text) && in.decodeString(none);
  }
};

TEST(SequentialArchiverTest, EveryTypeRoundTripsBitForBitAndOnlyWhole) {
  const std::string bytes = EveryType().bytes();
  SequentialArchiver in(bytes);
  EveryType v{0, 0, 0, 0, 0, "", "x"};
  ASSERT_TRUE(v.decode(in));
  EXPECT_EQ(std::tuple(v.i, v.s, v.c, std::bit_cast<std::uint64_t>(v.nan), v.q, v.text, v.none),
            std::tuple(std::numeric_limits<std::int32_t>::min(), -32768, -128, kNotANumber,
                       0x0123456789ABCDEFull, kText, std::nullopt));
  EXPECT_TRUE(in.atEnd() && !in.failed());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    // A copy of exactly `length` bytes, so the sanitizer sees any read past its end.
    SequentialArchiver cut(std::string(bytes.data(), length));
    EXPECT_FALSE(v.decode(cut) || !cut.failed()) << length;
  }
  for (const std::string& foreign : {std::string("ZORA\x02", 5), std::string("ZORK\x01", 5)}) {
    EXPECT_TRUE(SequentialArchiver(foreign).failed()) << foreign;
  }
  // A string whose length field (after magic, version, type code and kind) runs past the end.
  SequentialArchiver out;
  out.encodeString(std::string("abcd"));
  std::string longer = out.bytes();
  longer[7] = longer[8] = '\xFF';
  SequentialArchiver overlong(longer);
  std::optional<std::string> text;
  EXPECT_FALSE(overlong.decodeString(text) || text.has_value());
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
    std::int32_t value = 99;
    EXPECT_FALSE(in.decodeInt32(value) || value != 99) << "a failed decoder must not resume";
  }
  std::int32_t value;
  EXPECT_FALSE(SequentialArchiver().decodeInt32(value)) << "an encoder cannot decode";
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
  EXPECT_EQ(std::tuple(in->decodeInt32("i"), in->decodeUInt32("I"), in->decodeInt16("s"),
                       in->decodeUInt16("S"), in->decodeInt8("c"), in->decodeFloat("f"),
                       in->decodeDouble("d"), in->decodeUInt64("Q"), in->decodeString("@"),
                       in->decodeBytes("B")),
            std::tuple(-1, 0xFFFFFFFFu, -2, 0xFFFF, -3, 0.1f, 0.1, 0xFFFFFFFFFFFFFFFFull, "text",
                       std::string("\0\1", 2)));
  // A missing key or another type gives nothing; a later value replaces an earlier one.
  EXPECT_FALSE(in->decodeInt32("absent") || in->decodeUInt32("i") || in->decodeString("i"));
  out.encodeString("i", "four");
  EXPECT_EQ(out.decodeString("i"), "four");
}

TEST(KeyedArchiverTest, MalformedBytesAreRefusedWhole) {
  KeyedArchiver out;
  out.encodeString("name", "abc");
  out.encodeInt32("value", 25);
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
  EXPECT_FALSE(KeyedArchiver::fromBytes(doubled + single.substr(9)).has_value());
  // An unknown type code is refused.
  EXPECT_FALSE(KeyedArchiver::fromBytes(single.replace(9 + 4 + 1, 1, "z")).has_value());
}

// An archivable number that travels by copy unless the coder sends references.
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

TEST(PortCoderTest, ObjectsTravelByCopyUnlessTheCoderAsksForReferences) {
  auto connection = std::make_shared<PortConnection>();
  auto leaf = std::make_shared<Leaf>();
  leaf->bits = 42;
  PortCoder byCopy(connection, false);
  EXPECT_EQ(byCopy.encodePortObject(leaf), leaf);
  EXPECT_EQ(byCopy.encodePortObject(nullptr), nullptr);
  byCopy.encodeInt8(3);
  PortCoder copyIn(connection, byCopy.bytes());
  Leaf copy;
  bool isNone = false;
  std::int8_t tail = 0;
  // The object, then none where none is allowed, then what follows them both.
  EXPECT_TRUE(copyIn.decodeObject(copy) && copyIn.decodeObject(copy, isNone) && isNone &&
              copyIn.decodeInt8(tail));
  EXPECT_EQ(std::tuple(copy.bits, tail, connection->exportedObjectCount()), std::tuple(42u, 3, 0u));
  // Another class, none where an object is required, no end marker after what it read.
  DistantObject distant;
  EXPECT_FALSE(PortCoder(connection, byCopy.bytes()).decodeObject(distant));
  SequentialArchiver none;
  none.encodeObject(nullptr);
  EXPECT_FALSE(SequentialArchiver(none.bytes()).decodeObject(copy));
  std::string unended = byCopy.bytes().substr(0, byCopy.bytes().find('}')) + "Q";
  EXPECT_FALSE(SequentialArchiver(unended).decodeObject(copy));

  // By reference an object travels as its number on the connection, one however often sent.
  PortCoder byReference(connection, true);
  auto proxy = std::dynamic_pointer_cast<DistantObject>(byReference.encodePortObject(leaf));
  byReference.encodePortObject(leaf);
  PortCoder referenceIn(connection, byReference.bytes());
  DistantObject again;
  ASSERT_TRUE(proxy && referenceIn.decodeObject(distant) && referenceIn.decodeObject(again));
  EXPECT_EQ(std::tuple(proxy->local(), distant.reference(), again.reference(),
                       connection->localObjectForReference(1), connection->exportedObjectCount()),
            std::tuple(leaf, 1u, 1u, leaf, 1u));
  EXPECT_EQ(DistantObject::proxyWithLocal(nullptr, connection), nullptr);
}

}  // namespace
}  // namespace zor
