// The constant-time exponentiation against the sliding-window one: moduli of 1 to 128 words
// (the lengths compiled in fixed form and others, full and short top words), exponents with
// leading zero words or none at all, bases at and above the modulus.
#include "bigint/ql_big_ct.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "QuillonCrypto.h"
#include "platform/ql_cpu.h"

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

// The products and squares of every kernel the processor offers against the portable one, and
// the public-modulus set-up and public exponentiation against Big_ModExp: moduli of 1 to 64
// limbs with full and short top words, operands 0, 1, n - 1, R - 1 (a product's first
// operand may reach R) and random ones, 65537 and a long exponent.
TEST(BigConstTime, KernelsAgreeWithPortableCode) {
  using ql::ctm::Limb;
  constexpr size_t kMax = ql::ctm::kMaxLimbs;
  Lcg rng{777};
  const uint32_t entry_mask = ql::cpu::features();
  for (int words = 1; words <= 128; words += (words < 20 ? 1 : 7)) {
    for (const uint32_t top : {0xFFFFFFFFu, 0x00000F0Fu}) {
      Big n = random_big(rng, words, top);
      n.words[0] |= 1;
      if (words == 1 && n.words[0] < 3) { n.words[0] = 3; }
      ql::ctm::Modulus m{}, mp{};
      ASSERT_TRUE(ql::ctm::init(m, n));
      ASSERT_TRUE(ql::ctm::init_public(mp, n));
      const size_t len = m.len;
      ASSERT_EQ(mp.len, len);
      for (size_t j = 0; j < len; j++) {
        ASSERT_EQ(m.one[j], mp.one[j]) << words;
        ASSERT_EQ(m.rr[j], mp.rr[j]) << words;
      }
      std::vector<std::vector<Limb>> ops(5, std::vector<Limb>(kMax, 0));
      ops[1][0] = 1;
      ql::sub_limbs(ops[2].data(), m.n, ops[1].data(), len);                  // n - 1
      for (size_t j = 0; j < len; j++) { ops[3][j] = ~Limb{0}; }               // R - 1
      Big x = random_big(rng, words, 0xFFFFFFFFu);
      ASSERT_EQ(ql::big_mod(x, x, n), 0);
      ql::words_to_limbs(ops[4].data(), len, x.words, words);                 // below n
      std::vector<Limb> t(ql::ctm::kScratchLimbs), want(kMax), got(kMax);
      for (size_t i = 0; i < ops.size(); i++) {
        for (size_t k = 0; k < ops.size(); k++) {
          if (k == 3) { continue; }  // the second operand stays below n
          ql::test::set_cpu_mask(0);
          ql::ctm::mul(want.data(), ops[i].data(), ops[k].data(), m, t.data());
          ql::test::set_cpu_mask(ql::cpu::kAllFeatures);
          ql::ctm::mul(got.data(), ops[i].data(), ops[k].data(), m, t.data());
          ASSERT_EQ(std::vector<Limb>(got.begin(), got.begin() + len),
                    std::vector<Limb>(want.begin(), want.begin() + len))
              << words << " words, operands " << i << " " << k;
        }
        if (i == 3) { continue; }
        ql::test::set_cpu_mask(0);
        ql::ctm::sqr(want.data(), ops[i].data(), m, t.data());
        ql::test::set_cpu_mask(ql::cpu::kAllFeatures);
        ql::ctm::sqr(got.data(), ops[i].data(), m, t.data());
        ASSERT_EQ(std::vector<Limb>(got.begin(), got.begin() + len),
                  std::vector<Limb>(want.begin(), want.begin() + len))
            << words << " words, square of " << i;
      }
      Big e65537{};
      e65537.words[0] = 65537;
      e65537.length = 1;
      for (const Big &e : {e65537, random_big(rng, words > 8 ? 8 : words, 0xFFFFFFFFu)}) {
        Big want_big{}, got_big{};
        ASSERT_EQ(Big_ModExp(&want_big, &x, &e, &n), 0);
        std::vector<Limb> v(kMax, 0);
        ql::ctm::to_mont(v.data(), x.words, x.length, mp, t.data());
        ql::ctm::exp_public(v.data(), v.data(), e.words, e.length, mp, t.data());
        ql::ctm::from_mont(v.data(), v.data(), mp, t.data());
        std::vector<uint32_t> w(2 * kMax);
        ql::limbs_to_words(w.data(), v.data(), len);
        ql::big_set_words(got_big, w.data(), static_cast<int>(len) * ql::ctm::kWordsPerLimb, 0);
        EXPECT_EQ(Big_IsEqual(&got_big, &want_big), 0) << words << " words";
      }
    }
  }
  ql::test::set_cpu_mask(entry_mask);
}

// The plain value of the Montgomery form v modulo m.
Big plain_value(const ql::ctm::Modulus &m, const std::vector<ql::ctm::Limb> &v) {
  std::vector<uint32_t> w(2 * ql::ctm::kMaxLimbs);
  std::vector<ql::ctm::Limb> t(ql::ctm::kScratchLimbs), plain(ql::ctm::kMaxLimbs);
  ql::ctm::from_mont(plain.data(), v.data(), m, t.data());
  ql::limbs_to_words(w.data(), plain.data(), m.len);
  Big r{};
  ql::big_set_words(r, w.data(), static_cast<int>(m.len) * ql::ctm::kWordsPerLimb, 0);
  return r;
}

// Every exponentiation path (radix 2^52 where the processor has IFMA, the product kernel, the
// portable code) against Big_ModExp, one job and two at once, and the public exponentiation
// on the same values: moduli of the lengths run in radix 2^52 (1024 to 4096 bits, full and
// short top words) and lengths beside them, pairs of equal and unequal lengths and exponent
// lengths, exponents 0, 1, all ones and random, bases 0, 1, n - 1 and random.
TEST(BigConstTime, EveryExpPathAgreesWithSlidingWindow) {
  using ql::ctm::Limb;
  struct Case {
    int words_p, words_q;  // modulus lengths
    int exp_p, exp_q;      // exponent lengths in words
  };
  const Case cases[] = {{32, 32, 32, 32}, {32, 32, 31, 32}, {48, 48, 48, 47}, {64, 64, 64, 64},
                        {64, 64, 8, 64},  {31, 31, 31, 31}, {33, 33, 9, 33},  {32, 34, 32, 34},
                        {47, 48, 5, 48},  {62, 64, 64, 3},  {16, 16, 16, 16}, {96, 96, 4, 4},
                        {128, 128, 3, 4}, {95, 97, 2, 2}};
  const uint32_t entry_mask = ql::cpu::features();
  const uint32_t masks[] = {ql::cpu::kAllFeatures, ql::cpu::kAllFeatures & ~ql::cpu::kIfma, 0};
  Lcg rng{4242};
  for (const Case &c : cases) {
    for (const uint32_t top : {0xFFFFFFFFu, 0x0003FFFFu}) {
      Big n[2] = {random_big(rng, c.words_p, top), random_big(rng, c.words_q, top)};
      const int exp_words[2] = {c.exp_p, c.exp_q};
      ql::ctm::Modulus m[2]{};
      for (int s = 0; s < 2; s++) {
        n[s].words[0] |= 1;
        ASSERT_TRUE(ql::ctm::init(m[s], n[s]));
      }
      for (int variant = 0; variant < 4; variant++) {
        Big g[2], e[2], want[2];
        for (int s = 0; s < 2; s++) {
          g[s] = random_big(rng, n[s].length, 0xFFFFFFFFu);
          ASSERT_EQ(ql::big_mod(g[s], g[s], n[s]), 0);
          e[s] = random_big(rng, exp_words[s], 0xFFFFFFFFu);
          if (variant == 1) {  // all ones; base n - 1
            for (int i = 0; i < e[s].length; i++) { e[s].words[i] = 0xFFFFFFFFu; }
            ASSERT_EQ(Big_SubByWord(&g[s], &n[s], 1), 0);
          }
          if (variant == 2) {  // e = 0 with its words; base 0
            for (int i = 0; i < e[s].length; i++) { e[s].words[i] = 0; }
            g[s] = Big{};
          }
          if (variant == 3) {  // e = 1; base 1
            for (int i = 0; i < e[s].length; i++) { e[s].words[i] = i == 0 ? 1 : 0; }
            g[s] = Big{};
            g[s].words[0] = 1;
            g[s].length = 1;
          }
          ASSERT_EQ(Big_ModExp(&want[s], &g[s], &e[s], &n[s]), 0);
        }
        for (const uint32_t mask : masks) {
          ql::test::set_cpu_mask(mask);
          std::vector<Limb> t(ql::ctm::kScratchLimbs);
          std::vector<std::vector<Limb>> v(2, std::vector<Limb>(ql::ctm::kMaxLimbs, 0));
          for (int s = 0; s < 2; s++) {
            ql::ctm::to_mont(v[s].data(), g[s].words, g[s].length, m[s], t.data());
          }
          const ql::ctm::ExpJob first{v[0].data(), v[0].data(), e[0].words, e[0].length, &m[0]};
          const ql::ctm::ExpJob second{v[1].data(), v[1].data(), e[1].words, e[1].length, &m[1]};
          ASSERT_EQ(ql::ctm::exp_pair(first, second, -2005), 0);
          for (int s = 0; s < 2; s++) {
            const Big got = plain_value(m[s], v[s]);
            EXPECT_EQ(Big_IsEqual(&got, &want[s]), 0)
                << "mask " << mask << ", " << n[s].length << " words, exponent "
                << e[s].length << " words, variant " << variant << ", job " << s;
          }
          Big single{};
          ASSERT_EQ(ql::big_mod_exp_consttime(single, g[0], e[0], n[0], -2005), 0);
          EXPECT_EQ(Big_IsEqual(&single, &want[0]), 0) << "mask " << mask << ", single";
          ql::ctm::to_mont(v[0].data(), g[0].words, g[0].length, m[0], t.data());
          ql::ctm::exp_public(v[0].data(), v[0].data(), e[0].words, e[0].length, m[0], t.data());
          const Big public_result = plain_value(m[0], v[0]);
          EXPECT_EQ(Big_IsEqual(&public_result, &want[0]), 0) << "mask " << mask << ", public";
        }
      }
    }
  }
  ql::test::set_cpu_mask(entry_mask);
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
