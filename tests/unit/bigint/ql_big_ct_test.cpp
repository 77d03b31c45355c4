// The constant-time exponentiation against the sliding-window one: moduli of 1 to 128 words
// (the lengths compiled in fixed form and others, full and short top words), exponents with
// leading zero words or none at all, bases at and above the modulus.
#include "bigint/ql_big_ct.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "QuillonCrypto.h"

namespace {

struct Lcg {
  uint64_t s;
  uint32_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(s >> 32);
  }
};

Big random_big(Lcg &rng, int words, uint32_t top_mask) {
  Big b{};
  for (int i = 0; i < words; i++) { b.words[i] = rng.next(); }
  b.words[words - 1] = (b.words[words - 1] & top_mask) | 1u;  // non-zero top word
  b.length = words;
  return b;
}

void check_sizes(std::initializer_list<int> sizes) {
  Lcg rng{12345};
  for (const int words : sizes) {
    for (const uint32_t top : {0xFFFFFFFFu, 0x0000FFFFu}) {
      Big n = random_big(rng, words, top);
      n.words[0] |= 1;
      if (words == 1 && n.words[0] < 3) { n.words[0] = 3; }
      Big n_plus_5{};
      ASSERT_EQ(Big_AddByWord(&n_plus_5, &n, 5), 0);
      Big zero{};
      Big wide = random_big(rng, words + 3 > 257 ? 257 : words + 3, 0xFFFFFFFFu);
      const Big bases[] = {zero, n, n_plus_5, wide, random_big(rng, words, top)};
      Big e_padded = random_big(rng, words > 4 ? 4 : words, 0xFFFFFFFFu);
      e_padded.length += 2;  // leading zero words are processed like any other
      Big e_zero_len{};      // length 0: the empty exponent
      const Big exponents[] = {e_zero_len, random_big(rng, 1, 1), e_padded,
                               random_big(rng, words, 0xFFFFFFFFu)};
      for (const Big &g : bases) {
        for (const Big &e : exponents) {
          if (words > 32 && e.length == words) { continue; }  // long cases: short exponents
          Big want{};
          ASSERT_EQ(Big_ModExp(&want, &g, &e, &n), 0);
          Big got{};
          ASSERT_EQ(ql::big_mod_exp_consttime(got, g, e, n, -2005), 0);
          EXPECT_EQ(Big_IsEqual(&got, &want), 0) << words << " words, top " << top;
        }
      }
    }
  }
}

// Lengths at and around the fixed-length products (16, 32, 48 and 64 words) and the general
// one; the long moduli only natively, where they cost no minutes of emulation.
TEST(BigConstTime, ModExpAgreesWithSlidingWindow) { check_sizes({1, 2, 3, 5, 8, 16, 17}); }

TEST(BigConstTime, HeavyModExpAgreesWithSlidingWindowLong) {
  check_sizes({24, 32, 48, 64, 100, 128});
}

TEST(BigConstTime, RefusesUnusableModuli) {
  Big r{};
  Big g{};
  g.words[0] = 2;
  g.length = 1;
  Big even = g;
  even.words[0] = 10;
  Big long_n{};
  long_n.words[128] = 1;
  long_n.words[0] = 1;
  long_n.length = 129;
  EXPECT_EQ(ql::big_mod_exp_consttime(r, g, g, Big{}, -2005), -2007);
  EXPECT_EQ(ql::big_mod_exp_consttime(r, g, g, long_n, -2005), -2008);
  EXPECT_EQ(ql::big_mod_exp_consttime(r, g, g, even, -2005), -2003);
}

}  // namespace
