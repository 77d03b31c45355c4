// The radix-2^52 product's carry resolution, which random operands reach with a chance of
// about 2^-44 per digit: operands built so that the accumulator, before its carries are
// resolved, holds a digit that overflows followed by a run of digits 2^52 - 1, which the
// overflow must ripple through. Checked against the definition, r 2^52 = a mod n.
#include <gtest/gtest.h>

#include <vector>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "platform/ql_cpu.h"
#if QL_X86_ACCEL
#include "x86/ql_mont_hw.h"
#endif

#if defined(QL_IFMA_ACCEL)
namespace {

constexpr uint64_t kMask = (uint64_t{1} << 52) - 1;

Big big_of_limbs(const uint64_t *limbs, size_t len, uint64_t high) {
  std::vector<uint32_t> words(2 * len + 1);
  for (size_t j = 0; j < len; j++) {
    words[2 * j] = static_cast<uint32_t>(limbs[j]);
    words[2 * j + 1] = static_cast<uint32_t>(limbs[j] >> 32);
  }
  words[2 * len] = static_cast<uint32_t>(high);
  Big r{};
  ql::big_set_words(r, words.data(), static_cast<int>(words.size()), 0);
  return r;
}

// With b = 2^(52 (K - 1)) the products of the first K - 1 digits are zero, and the last one
// leaves digit j = a_(j+1) + lo(n_(j+1) m) + hi(n_j m) (+ the carry out of digit 0 for j = 0),
// m = a_0 k0 mod 2^52. Choosing a_(j+1) digit by digit sets what the first carry pass leaves:
// digit `first` at 2^52 exactly (a carry out) and the `run` digits above it at 2^52 - 1.
TEST(MontIfma, CarryRipplesThroughRunsOfFullDigits) {
  if ((ql::test::cpu_detected() & ql::cpu::kIfma) == 0) { GTEST_SKIP() << "no IFMA"; }
  struct Case {
    size_t len;
    size_t first, run;
  };
  const Case cases[] = {{16, 1, 5},  {16, 6, 10}, {24, 3, 20}, {32, 7, 1},
                        {32, 1, 34}, {48, 15, 40}, {64, 2, 70}, {64, 30, 8}};
  uint64_t seed = 99;
  const auto next = [&seed] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return seed;
  };
  for (const Case &c : cases) {
    const size_t num_padded = ql::ifma::padded_digits(c.len);
    ASSERT_NE(num_padded, 0u);
    const size_t num_digits = (64 * c.len + 51) / 52;
    std::vector<uint64_t> n_limbs(c.len);
    for (uint64_t &x : n_limbs) { x = next(); }
    n_limbs[0] |= 1;
    n_limbs[c.len - 1] |= uint64_t{1} << 63;
    uint64_t inv = 1;  // n^-1 mod 2^64 by Newton's iteration
    for (int i = 0; i < 6; i++) { inv *= 2 - n_limbs[0] * inv; }
    const uint64_t k0 = (0 - inv) & kMask;
    std::vector<uint64_t> n(num_padded), a(num_padded, 0), b(num_padded, 0), r(num_padded);
    ql::ifma::to_digits(n.data(), n_limbs.data(), c.len);
    b[num_digits - 1] = 1;
    a[0] = next() & kMask;
    const uint64_t m = (a[0] * k0) & kMask;
    const auto product = [m](uint64_t x) { return static_cast<unsigned __int128>(x) * m; };
    // Digit 0's reduction carry goes to digit 0 after the move; each later digit receives the
    // first pass's carry out of the one below.
    uint64_t extra = (a[0] + (static_cast<uint64_t>(product(n[0])) & kMask)) >> 52;
    uint64_t carry_in = 0;
    // a stays below 2^(52 (K - 2)) < n.
    for (size_t j = 0; j <= c.first + c.run && j + 3 < num_digits; j++) {
      const uint64_t lo = static_cast<uint64_t>(product(n[j + 1])) & kMask;
      const uint64_t hi = static_cast<uint64_t>(product(n[j]) >> 52);
      const uint64_t fixed = lo + hi + extra;
      if (j + 1 == c.first) {
        a[j + 1] = kMask;  // a carry of at least 1 into digit `first`
      } else if (j >= c.first) {
        const uint64_t target = j == c.first ? kMask + 1 : kMask;  // low bits plus carry_in
        a[j + 1] = (target - carry_in - fixed) & kMask;
      } else {
        a[j + 1] = next() & kMask;
      }
      carry_in = (a[j + 1] + fixed) >> 52;
      extra = 0;
    }
    const ql::ifma::Product p{r.data(), a.data(), b.data(), n.data(), k0};
    ql::ifma::amm(&p, 1, c.len);
    std::vector<uint64_t> limbs(c.len), a_limbs(c.len);
    const uint64_t high = ql::ifma::from_digits(limbs.data(), r.data(), c.len);
    ASSERT_EQ(ql::ifma::from_digits(a_limbs.data(), a.data(), c.len), 0u);
    for (size_t i = 0; i < num_padded; i++) { ASSERT_LT(r[i], kMask + 1) << i; }
    const Big modulus = big_of_limbs(n_limbs.data(), c.len, 0);
    const Big got = big_of_limbs(limbs.data(), c.len, high);
    Big twice{};
    ASSERT_EQ(Big_Add(&twice, &modulus, &modulus), 0);
    EXPECT_LT(Big_UComp(&got, &twice), 0) << c.len;
    Big scale{};
    scale.words[1] = 1u << 20;  // 2^52
    scale.length = 2;
    Big shifted{};
    ASSERT_EQ(Big_Mul(&shifted, &got, &scale), 0);
    ASSERT_EQ(ql::big_mod(shifted, shifted, modulus), 0);
    const Big want = big_of_limbs(a_limbs.data(), c.len, 0);
    EXPECT_EQ(Big_IsEqual(&shifted, &want), 0) << c.len << " limbs, run at " << c.first;
  }
}

}  // namespace
#endif
