// DER INTEGERs: published-style encodings in both directions, decoding of non-minimal and
// empty contents, and malformed input (truncated at every byte, bad length forms, wrong tags,
// oversized contents), each read from a buffer of exactly the given length.
#include "pk/ql_der.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_vectors.h"

namespace {

using qltest::from_hex;
using qltest::to_hex;

Big parse(const std::string &text) {
  Big r{};
  EXPECT_EQ(0, Big_HexU8ToBig(&r, text.c_str())) << text;
  return r;
}

// Decodes from a heap copy of exactly `in.size()` bytes, so a read past the end is caught by
// the sanitizer builds.
int32_t decode_exact(Big *x, const std::vector<uint8_t> &in) {
  std::vector<uint8_t> copy(in);
  return Big_DerDecode(x, copy.empty() ? reinterpret_cast<const uint8_t *>("") : copy.data(),
                       static_cast<uint32_t>(copy.size()));
}

bool same_value(const Big &a, const Big &b) {
  const bool a_zero = Big_GetFilledBitNum(&a) == 0;
  const bool b_zero = Big_GetFilledBitNum(&b) == 0;
  if (a_zero || b_zero) { return a_zero && b_zero && a.sign == 0 && b.sign == 0; }
  return Big_UComp(&a, &b) == 0 && a.sign == b.sign;
}

struct Encoding {
  std::string value;  // hexadecimal, '-' for negative values
  std::string der;
};

TEST(Der, IntegerEncodingsBothWays) {
  const std::string ff(64, 'f');
  const std::string v200 = "01" + std::string(398, '0');  // 200 content bytes
  const std::string v300 = "01" + std::string(598, '0');  // 300 content bytes
  const Encoding table[] = {
      {"0", "020100"},
      {"7f", "02017f"},
      {"80", "02020080"},
      {"100", "02020100"},
      {ff, "022100" + ff},
      {"-1", "0201ff"},
      {"-80", "020180"},
      {"-81", "0202ff7f"},
      {"-ff", "0202ff01"},
      {"-100000000", "0205ff00000000"},
      {"-80000000", "020480000000"},
      {"80000000", "02050080000000"},
      {"-8000000000000000", "02088000000000000000"},
      {"-8000000000000001", "0209ff7fffffffffffffff"},
      {v200, "0281c8" + v200},
      {v300, "0282012c" + v300},
  };
  for (const Encoding &c : table) {
    Big x = parse(c.value);
    const std::vector<uint8_t> want = from_hex(c.der);
    const uint32_t header = want[1] < 0x80 ? 2u : 2u + (want[1] & 0x7Fu);
    EXPECT_EQ(Big_DerLength(&x), want.size() - header) << c.value;
    uint32_t bound = 0;
    ASSERT_EQ(Big_DerEncode(nullptr, &bound, &x), 0);
    std::vector<uint8_t> out(bound + 1, 0xAA);
    uint32_t out_len = 0;
    ASSERT_EQ(Big_DerEncode(out.data(), &out_len, &x), 0);
    ASSERT_LE(out_len, bound);
    EXPECT_EQ(out[out_len], 0xAA) << "wrote past the reported length";
    EXPECT_EQ(to_hex(out.data(), out_len), c.der) << c.value;

    Big back{};
    back.words[100] = 7;  // the decoder clears what it does not write
    ASSERT_EQ(decode_exact(&back, want), 0) << c.value;
    EXPECT_TRUE(same_value(back, x)) << c.value;
    EXPECT_EQ(back.words[100], 0u);

    // Every truncation is refused and leaves the record alone.
    for (size_t cut = 0; cut < want.size(); cut++) {
      Big keep = parse("1234");
      const std::vector<uint8_t> head(want.begin(), want.begin() + static_cast<long>(cut));
      EXPECT_EQ(decode_exact(&keep, head), -3502) << c.value << " cut at " << cut;
      EXPECT_EQ(keep.words[0], 0x1234u);
    }
  }
}

TEST(Der, LengthQueryStripsInPlace) {
  Big x{};
  x.words[0] = 5;
  x.length = 9;  // stray leading zero words
  EXPECT_EQ(Big_DerLength(&x), 1u);
  EXPECT_EQ(x.length, 1);
  Big zero{};  // length 0, as a conversion of zero bytes leaves it
  EXPECT_EQ(Big_DerLength(&zero), 1u);
  EXPECT_EQ(zero.length, 1);
  EXPECT_EQ(Big_DerLength(nullptr), 0u);
}

TEST(Der, DecodesLenientContents) {
  struct Case {
    const char *der;
    const char *value;
    int length;  // expected record length
  } cases[] = {
      {"0200", "0", 0},          // empty content: zero, length 0
      {"020100", "0", 0},        // zero bytes strip down to length 0
      {"02020001", "1", 1},      // extra leading zero
      {"0203ffffff", "-1", 1},   // extra leading ones
      {"0203000005ff", "5", 1},  // trailing bytes behind the element are ignored
      {"028105"
       "0102030405",
       "102030405", 2},            // non-minimal long form
      {"02840000000101", "1", 1},  // four length bytes
  };
  for (const Case &c : cases) {
    Big x{};
    ASSERT_EQ(decode_exact(&x, from_hex(c.der)), 0) << c.der;
    EXPECT_TRUE(same_value(x, parse(c.value))) << c.der;
    EXPECT_EQ(x.length, c.length) << c.der;
  }
}

TEST(Der, RefusesMalformedInput) {
  struct Case {
    std::string der;
    int32_t code;
  } cases[] = {
      {"", -3502},
      {"03020001", -3501},    // BIT STRING tag
      {"300302017f", -3501},  // SEQUENCE where an INTEGER must be
      {"02", -3502},          // no length byte
      {"0280", -3502},        // indefinite length
      {"02800100", -3502},
      {"0285000000000100", -3502},  // five length bytes
      {"02ff", -3502},
      {"0281", -3502},  // length bytes beyond the input
      {"028400", -3502},
      {"02840000", -3502},
      {"0284ffffffff00", -3502},  // header + content would wrap 32 bits
      {"0284fffffffa00", -3502},
      {"020201", -3502},  // content one byte short
  };
  for (const Case &c : cases) {
    Big x = parse("99");
    EXPECT_EQ(decode_exact(&x, from_hex(c.der)), c.code) << c.der;
    EXPECT_EQ(x.words[0], 0x99u) << c.der;
    EXPECT_EQ(x.length, 1) << c.der;
  }
}

TEST(Der, ContentLimitIsTheRecordCapacity) {
  for (const uint32_t len : {1028u, 1029u, 70000u}) {
    std::vector<uint8_t> der = {0x02, 0x83, static_cast<uint8_t>(len >> 16),
                                static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)};
    der.resize(der.size() + len, 0x11);
    Big x = parse("42");
    const int32_t st = decode_exact(&x, der);
    if (len <= 1028) {
      EXPECT_EQ(st, 0);
      EXPECT_EQ(x.length, 257);
      EXPECT_EQ(x.words[256], 0x11111111u);
    } else {
      EXPECT_EQ(st, -2010) << len;
      EXPECT_EQ(x.words[0], 0x42u);
    }
  }
}

TEST(Der, NullArguments) {
  const uint8_t in[] = {0x02, 0x01, 0x05};
  Big x{};
  uint32_t len = 0;
  EXPECT_EQ(Big_DerDecode(nullptr, in, 3), -3505);
  EXPECT_EQ(Big_DerDecode(&x, nullptr, 3), -3505);
  EXPECT_EQ(Big_DerEncode(nullptr, nullptr, &x), -3505);
  EXPECT_EQ(Big_DerEncode(nullptr, &len, nullptr), -3505);
}

TEST(Der, HeadersRoundTripAtLengthBoundaries) {
  // The minimal length field at each boundary, read back with its content present.
  const struct {
    uint32_t len;
    const char *header;
  } cases[] = {
      {0, "0400"},       {127, "047f"},       {128, "048180"},       {255, "0481ff"},
      {256, "04820100"}, {65535, "0482ffff"}, {65536, "0483010000"}, {1u << 24, "048401000000"}};
  for (const auto &c : cases) {
    std::vector<uint8_t> buf(ql::der::kMaxHeaderLen + c.len);
    const uint32_t h = ql::der::write_header(buf.data(), ql::der::kTagOctetString, c.len);
    EXPECT_EQ(to_hex(buf.data(), h), c.header);
    ql::der::Tlv tlv{};
    ASSERT_EQ(ql::der::read_tlv(tlv, buf.data(), h + c.len, ql::der::kTagOctetString), 0);
    EXPECT_EQ(tlv.content_len, c.len);
    EXPECT_EQ(tlv.total_len, h + c.len);
    EXPECT_EQ(tlv.content, buf.data() + h);
  }
}

}  // namespace
