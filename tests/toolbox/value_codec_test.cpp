// Byte layouts of values, both ways, and hostile input.
#include <gtest/gtest.h>

#include <cstring>

#include "toolbox/value_codec.h"

using namespace corvane;

namespace {

VBytes Encode(const VValue& v) {
  VMemoryStream s;
  EXPECT_TRUE(WriteValue(s, v));
  return s.TakeBuffer();
}

VValue Decode(VKind kind, const VBytes& bytes, bool expect_ok = true) {
  VMemoryStream s{std::span<const std::uint8_t>(bytes)};
  VValue v;
  EXPECT_EQ(ReadValue(s, kind, v), expect_ok);
  if (expect_ok) {
    EXPECT_EQ(s.remaining(), 0u);
  }
  return v;
}

void RoundTrip(const VValue& v, const VBytes& wire) {
  EXPECT_EQ(Encode(v), wire);
  EXPECT_EQ(Decode(v.kind(), wire), v);
}

}  // namespace

TEST(ValueCodec, LayoutsOfEveryKindBothWays) {
  RoundTrip(VText(u"AB"), {0xFE, 0xFF, 0xFF, 0xFF, 0x41, 0x00, 0x42, 0x00});
  RoundTrip(VText(u""), {0, 0, 0, 0});
  RoundTrip(VByte(-2), {0xFE, 0xFF});
  RoundTrip(VByte(100), {0x64, 0x00});
  RoundTrip(VBoolean(true), {0x01, 0x00});
  RoundTrip(VBoolean(false), {0x00, 0x00});
  RoundTrip(VWord(-300), {0xD4, 0xFE});
  RoundTrip(VLong(1), {0x01, 0x00, 0x00, 0x00});
  RoundTrip(VLong8(-1), VBytes(8, 0xFF));
  RoundTrip(VDuration(3723004), {0xFC, 0xCE, 0x38, 0x00, 0, 0, 0, 0});
  RoundTrip(VTime{2024, 3, 1, 1500}, {0xE8, 0x07, 0x03, 0x01, 0xDC, 0x05, 0x00, 0x00});
  RoundTrip(VBlob({}), {0, 0, 0, 0});
  RoundTrip(VBlob({9, 8, 7}), {3, 0, 0, 0, 9, 8, 7});
  RoundTrip(VImage({1}), {1, 0, 0, 0, 1});
  RoundTrip(*VFloat::FromText("1.5"), {0x01, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x0F, 0x00});
  RoundTrip(VFloat(), {0, 0, 0, 0, 0, 0, 0, 0, 0});
  // -0.025: digits 2 5, exponent -1, sign -1.
  RoundTrip(*VFloat::FromText("-0.025"), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0, 0, 0, 25, 0});
  // Three digits: the last pair holds the odd digit in its high half.
  RoundTrip(*VFloat::FromText("123"), {3, 0, 0, 0, 1, 3, 0, 0, 0, 12, 30, 0});
  RoundTrip(VReal(1.0), {0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
  VUUID u;
  for (int i = 0; i < 16; ++i) u.bytes[i] = static_cast<std::uint8_t>(i);
  VBytes uw(u.bytes.begin(), u.bytes.end());
  RoundTrip(u, uw);
}

TEST(ValueCodec, ReadingQuirks) {
  // Any non-zero boolean is true; a byte keeps its low 8 bits.
  EXPECT_TRUE(Decode(VKind::Boolean, {0x00, 0x02}).boolean());
  EXPECT_EQ(Decode(VKind::Byte, {0x7F, 0x12}).integer(), 0x7F);
  // Text in the third form: L = 2, charset 1, 3 units of which 2 are kept.
  VValue t = Decode(VKind::Text, {2, 0, 0, 0, 1, 0, 0, 0, 'h', 0, 'i', 0, 0, 0});
  EXPECT_EQ(t.text(), u"hi");
  // Another charset code cannot be skipped.
  Decode(VKind::Text, {2, 0, 0, 0, 7, 0, 0, 0, 'h', 0, 'i', 0, 0, 0}, false);
  // Negative blob length carries no bytes.
  EXPECT_TRUE(Decode(VKind::Blob, {0xFF, 0xFF, 0xFF, 0xFF}).bytes().empty());
  // "VK_STRING" and "VK_BLOB_OBJ" name the text and blob kinds.
  EXPECT_EQ(KindFromName("VK_STRING"), VKind::Text);
  EXPECT_EQ(KindFromName("VK_BLOB_OBJ"), VKind::Blob);
  EXPECT_EQ(KindFromName("VK_NONSENSE"), VKind::Unknown);
  for (int k = 1; k <= 13; ++k)
    EXPECT_EQ(KindFromName(KindName(static_cast<VKind>(k))), static_cast<VKind>(k));
}

TEST(ValueCodec, HostileLengthsFailWithoutHugeAllocations) {
  // A text announcing 0x7FFFFFFF units, a blob of 1 GiB + 1: bounded, errors.
  VBytes huge_text{0x01, 0x00, 0x00, 0x80};
  VMemoryStream s1{std::span<const std::uint8_t>(huge_text)};
  VValue v;
  EXPECT_FALSE(ReadValue(s1, VKind::Text, v));
  EXPECT_EQ(s1.error(), VStreamError::kTooLong);
  VBytes big_blob{0x01, 0x00, 0x00, 0x40};
  VMemoryStream s2{std::span<const std::uint8_t>(big_blob)};
  EXPECT_FALSE(ReadValue(s2, VKind::Blob, v));
  EXPECT_EQ(s2.error(), VStreamError::kTooLong);
  // A blob announcing 1 GiB with 3 bytes behind it: a short read, not a 1 GiB buffer.
  VBytes short_blob{0x00, 0x00, 0x00, 0x40, 1, 2, 3};
  VMemoryStream s3{std::span<const std::uint8_t>(short_blob)};
  EXPECT_FALSE(ReadValue(s3, VKind::Blob, v));
  EXPECT_EQ(s3.error(), VStreamError::kShortRead);
  EXPECT_TRUE(v.is_null());
  // Negative decimal digit count, bad digit pair, bad sign.
  Decode(VKind::Float, {0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF}, false);
  Decode(VKind::Float, {1, 0, 0, 0, 1, 2, 0, 0, 0, 100, 0}, false);
  Decode(VKind::Float, {1, 0, 0, 0, 5, 2, 0, 0, 0, 15, 0}, false);
  // Exponent INT32_MIN with a leading zero digit ("05"): refused, no overflow.
  Decode(VKind::Float, {0, 0, 0, 0x80, 1, 2, 0, 0, 0, 5, 0}, false);
  // Truncated fixed-size values.
  Decode(VKind::Long8, {1, 2, 3}, false);
  Decode(VKind::Time, {0xE8, 0x07, 3}, false);
}

TEST(ValueCodec, LongValuesCrossChunks) {
  VString text(200000, u'\x263A');
  VBytes wire = Encode(VText(text));
  ASSERT_EQ(wire.size(), 4u + 400000u);
  EXPECT_EQ(Decode(VKind::Text, wire).text(), text);
  VBytes blob(300001);
  for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>(i * 7);
  EXPECT_EQ(Decode(VKind::Blob, Encode(VBlob(blob))).bytes(), blob);
}

TEST(Stream, KeepsFirstErrorAndStops) {
  VBytes src{1, 2, 3};
  VMemoryStream s{std::span<const std::uint8_t>(src)};
  std::uint32_t v = 7;
  EXPECT_FALSE(s.GetU32(v));
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(s.error(), VStreamError::kShortRead);
  std::uint8_t b = 9;
  EXPECT_FALSE(s.GetU8(b));  // bytes remain, but the stream is in error
  EXPECT_FALSE(s.PutU8(1));
  EXPECT_EQ(s.error(), VStreamError::kShortRead);
  VMemoryStream w;
  w.PutU16(0x0102);
  w.PutI32(-2);
  w.PutU64(0x0807060504030201ull);
  EXPECT_EQ(w.buffer(), (VBytes{2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8}));
  std::uint16_t a;
  std::int32_t c;
  std::uint64_t d;
  EXPECT_TRUE(w.GetU16(a) && w.GetI32(c) && w.GetU64(d));
  EXPECT_EQ(a, 0x0102);
  EXPECT_EQ(c, -2);
  EXPECT_EQ(d, 0x0807060504030201ull);
}

namespace {

// Reads a span one ReadBytes call at a time, without a window: how every
// stream read before reads from memory took the window.
class PlainSpanStream : public VStream {
 public:
  explicit PlainSpanStream(std::span<const std::uint8_t> source) : source_(source) {}
  std::size_t position() const { return at_; }

 protected:
  bool ReadBytes(void* dst, std::size_t n) override {
    if (source_.size() - at_ < n) {
      at_ = source_.size();
      return false;
    }
    std::memcpy(dst, source_.data() + at_, n);
    at_ += n;
    return true;
  }
  bool WriteBytes(const void*, std::size_t) override { return false; }

 private:
  std::span<const std::uint8_t> source_;
  std::size_t at_ = 0;
};

}  // namespace

TEST(Stream, ReadsFromMemoryAsAPlainStreamDoes) {
  // Random mixes of reads and of the value layouts over random bytes: every
  // result, value, error and position agrees with a stream read without
  // the window, also once the bytes run out and after an error.
  std::uint64_t seed = 0x9E3779B97F4A7C15ull;
  auto next = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  for (int round = 0; round < 2000; ++round) {
    VBytes bytes(next() % 64);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(next() % 4 == 0 ? 0 : next());
    VMemoryStream fast{std::span<const std::uint8_t>(bytes)};
    PlainSpanStream plain{std::span<const std::uint8_t>(bytes)};
    for (int step = 0; step < 24; ++step) {
      const int op = static_cast<int>(next() % 6);
      bool a = false, b = false;
      if (op == 0) {
        std::uint8_t x = 1, y = 2;
        a = fast.GetU8(x);
        b = plain.GetU8(y);
        EXPECT_EQ(x, y);
      } else if (op == 1) {
        std::int32_t x = 1, y = 2;
        a = fast.GetI32(x);
        b = plain.GetI32(y);
        EXPECT_EQ(x, y);
      } else if (op == 2) {
        std::uint64_t x = 1, y = 2;
        a = fast.GetU64(x);
        b = plain.GetU64(y);
        EXPECT_EQ(x, y);
      } else if (op == 3) {
        std::uint8_t x[16] = {}, y[16] = {};
        const std::size_t n = next() % 17;
        a = fast.Read(x, n);
        b = plain.Read(y, n);
        EXPECT_EQ(std::memcmp(x, y, sizeof x), 0);
      } else {
        const VKind kind = op == 4 ? VKind::Text : VKind::Float;
        VValue x, y;
        a = ReadValueInPlace(fast, kind, x);
        b = ReadValue(plain, kind, y);
        if (a && b) {
          EXPECT_EQ(x, y);
        }
      }
      ASSERT_EQ(a, b) << "round " << round << " step " << step;
      ASSERT_EQ(fast.error(), plain.error());
      ASSERT_EQ(fast.position(), plain.position());
      ASSERT_EQ(fast.remaining(), bytes.size() - plain.position());
    }
  }
  // Reset and SetSource read from the start again, through the window.
  VBytes one{1, 0, 0, 0, 2};
  VBytes other{7};
  VMemoryStream s{std::span<const std::uint8_t>(one)};
  std::int32_t v = 0;
  std::uint64_t too_long = 0;
  EXPECT_FALSE(s.GetU64(too_long));
  EXPECT_EQ(s.position(), one.size());
  s.Reset();
  EXPECT_TRUE(s.GetI32(v));
  EXPECT_EQ(v, 1);
  EXPECT_EQ(s.remaining(), 1u);
  s.SetSource(std::span<const std::uint8_t>(other));
  std::uint8_t b = 0;
  EXPECT_TRUE(s.GetU8(b));
  EXPECT_EQ(b, 7);
  EXPECT_EQ(s.remaining(), 0u);
}
