// ARIA's one-block AES-NI path against the table code's block function (QL_ARIA_Main): random
// keys of every size with encryption and decryption schedules, random blocks, each chained
// mode's output and final chaining value, separate and in-place buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "QuillonCrypto.h"
#include "x86/ql_aria_hw.h"
#include "platform/ql_cpu.h"

#if QL_X86_ACCEL
namespace {

using Bytes = std::vector<uint8_t>;
using ql::ariani::Chain;

Bytes random_bytes(std::mt19937 &rng, size_t n) {
  Bytes b(n);
  for (auto &v : b) { v = static_cast<uint8_t>(rng()); }
  return b;
}

Bytes table_block(const QL_ARIA_KEY &rk, const uint8_t *in) {
  Bytes out(16);
  QL_ARIA_Main(&rk, out.data(), in);
  return out;
}

Bytes xor_block(const Bytes &a, const uint8_t *b) {
  Bytes r(16);
  for (size_t j = 0; j < 16; j++) { r[j] = static_cast<uint8_t>(a[j] ^ b[j]); }
  return r;
}

// `mode` over `in` with the table code's block function; `iv` becomes the last chaining value.
Bytes table_chain(const QL_ARIA_KEY &rk, Chain mode, Bytes &iv, const Bytes &in) {
  Bytes out;
  for (size_t i = 0; i < in.size(); i += 16) {
    const uint8_t *x = in.data() + i;
    Bytes o;
    switch (mode) {
      case Chain::kCbcEncrypt:
        iv = table_block(rk, xor_block(iv, x).data());
        o = iv;
        break;
      case Chain::kCbcDecrypt:
        o = xor_block(table_block(rk, x), iv.data());
        iv.assign(x, x + 16);
        break;
      case Chain::kCfbEncrypt:
        o = xor_block(table_block(rk, iv.data()), x);
        iv = o;
        break;
      case Chain::kCfbDecrypt:
        o = xor_block(table_block(rk, iv.data()), x);
        iv.assign(x, x + 16);
        break;
      case Chain::kOfb:
        iv = table_block(rk, iv.data());
        o = xor_block(iv, x);
        break;
    }
    out.insert(out.end(), o.begin(), o.end());
  }
  return out;
}

struct Schedule {
  uint32_t key_len;
  int32_t direction;
};
constexpr Schedule kSchedules[] = {{16, 0}, {16, 1}, {24, 0}, {24, 1}, {32, 0}, {32, 1}};

// Independent blocks, one at a time: 12, 14 and 16 rounds, both schedules, in place too.
TEST(AriaHw, OneBlockMatchesTableCode) {
  if (!ql::cpu::has(ql::cpu::kAesNi)) { GTEST_SKIP() << "AES-NI absent"; }
  std::mt19937 rng(2718);
  for (const Schedule &s : kSchedules) {
    for (int trial = 0; trial < 16; trial++) {
      SCOPED_TRACE(testing::Message() << "key " << s.key_len << " direction " << s.direction
                                      << " trial " << trial);
      const Bytes key = random_bytes(rng, s.key_len);
      QL_ARIA_KEY rk;
      ASSERT_EQ(QL_ARIA_GenerateKey(&rk, key.data(), s.key_len, s.direction), 0);
      const size_t blocks = 1 + rng() % 20;
      const Bytes in = random_bytes(rng, 16 * blocks);
      Bytes expected;
      for (size_t i = 0; i < in.size(); i += 16) {
        const Bytes b = table_block(rk, in.data() + i);
        expected.insert(expected.end(), b.begin(), b.end());
      }
      Bytes out(in.size());
      ql::ariani::crypt_serial(rk, out.data(), in.data(), blocks);
      EXPECT_EQ(out, expected);
      Bytes io = in;
      ql::ariani::crypt_serial(rk, io.data(), io.data(), blocks);
      EXPECT_EQ(io, expected);
    }
  }
}

// CBC both ways, CFB both ways and OFB: every output block and the chaining value left in
// `iv`, with every key size.
TEST(AriaHw, ChainedModesMatchTableCode) {
  if (!ql::cpu::has(ql::cpu::kAesNi)) { GTEST_SKIP() << "AES-NI absent"; }
  struct ModeCase {
    Chain mode;
    int32_t direction;  // the schedule the mode runs with
  };
  const ModeCase cases[] = {{Chain::kCbcEncrypt, 0},
                            {Chain::kCbcDecrypt, 1},
                            {Chain::kCfbEncrypt, 0},
                            {Chain::kCfbDecrypt, 0},
                            {Chain::kOfb, 0}};
  std::mt19937 rng(31415);
  for (const ModeCase &c : cases) {
    for (uint32_t key_len : {16u, 24u, 32u}) {
      for (bool in_place : {false, true}) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.mode) << " key "
                                        << key_len << " in place " << in_place);
        const Bytes key = random_bytes(rng, key_len);
        QL_ARIA_KEY rk;
        ASSERT_EQ(QL_ARIA_GenerateKey(&rk, key.data(), key_len, c.direction), 0);
        const Bytes in = random_bytes(rng, 16 * (1 + rng() % 24));
        const Bytes iv0 = random_bytes(rng, 16);
        Bytes table_iv = iv0;
        const Bytes expected = table_chain(rk, c.mode, table_iv, in);
        Bytes iv = iv0;
        Bytes out = in_place ? in : Bytes(in.size(), 0xa5);
        ql::ariani::chain(rk, c.mode, iv.data(), out.data(), in_place ? out.data() : in.data(),
                          in.size() / 16);
        EXPECT_EQ(out, expected);
        EXPECT_EQ(iv, table_iv);
      }
    }
  }
}

}  // namespace
#endif
