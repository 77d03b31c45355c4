// Bytes to words and back at every alignment: the loads and stores must give the same values
// on either byte order and must not trap where the processor requires aligned words.
#include <gtest/gtest.h>

#include <cstring>

#include "internal/ql_bytes.h"

namespace {

constexpr uint8_t kBytes[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

TEST(Bytes, LoadsAndStoresAtEveryOffset) {
  for (size_t off = 0; off < 8; off++) {
    alignas(8) uint8_t buf[24];
    std::memset(buf, 0xEE, sizeof(buf));
    std::memcpy(buf + off, kBytes, sizeof(kBytes));
    EXPECT_EQ(ql::load_be32(buf + off), 0x01234567u) << off;
    EXPECT_EQ(ql::load_le32(buf + off), 0x67452301u) << off;
    EXPECT_EQ(ql::load_be64(buf + off), 0x0123456789ABCDEFull) << off;

    alignas(8) uint8_t out[24];
    std::memset(out, 0xEE, sizeof(out));
    ql::store_be64(out + off, 0x0123456789ABCDEFull);
    EXPECT_EQ(std::memcmp(out + off, kBytes, 8), 0) << off;
    ql::store_be32(out + off + 8, 0x89ABCDEFu);
    EXPECT_EQ(std::memcmp(out + off + 8, kBytes + 4, 4), 0) << off;
    ql::store_le32(out + off + 12, 0x67452301u);
    EXPECT_EQ(std::memcmp(out + off + 12, kBytes, 4), 0) << off;
    // Nothing written outside the stored words.
    for (size_t i = 0; i < sizeof(out); i++) {
      if (i < off || i >= off + 16) { EXPECT_EQ(out[i], 0xEE) << off << " " << i; }
    }
  }
}

TEST(Bytes, Rotations) {
  struct Case {
    uint32_t x;
    unsigned n;
    uint32_t left;
  };
  const Case cases[] = {{0x80000001u, 1, 0x00000003u},
                        {0x01234567u, 8, 0x23456701u},
                        {0x01234567u, 31, 0x8091A2B3u}};
  for (const Case &c : cases) {
    EXPECT_EQ(ql::rotl32(c.x, c.n), c.left) << c.n;
    EXPECT_EQ(ql::rotr32(c.left, c.n), c.x) << c.n;
  }
  EXPECT_EQ(ql::rotr64(0x0123456789ABCDEFull, 4), 0xF0123456789ABCDEull);
  EXPECT_EQ(ql::rotr64(0x0123456789ABCDEFull, 60), 0x123456789ABCDEF0ull);
}

}  // namespace
