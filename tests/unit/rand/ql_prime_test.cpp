// Primes: the table against the definition, trial division, Miller-Rabin on known primes,
// Carmichael numbers and strong pseudoprimes, and the structure of generated strong primes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "rand/ql_prime.h"

namespace {

Big from_hex(const char *hex) {
  Big b{};
  EXPECT_EQ(Big_HexU8ToBig(&b, hex), 0);
  return b;
}

// 2^k - 1.
Big mersenne(uint32_t k) {
  Big one{};
  one.length = 1;
  one.words[0] = 1;
  Big b{};
  EXPECT_EQ(Big_LShift(&b, &one, k), 0);
  EXPECT_EQ(Big_SubByWord(&b, &b, 1), 0);
  return b;
}

Big word(uint64_t v) {
  Big b{};
  b.words[0] = static_cast<uint32_t>(v);
  b.words[1] = static_cast<uint32_t>(v >> 32);
  b.length = b.words[1] != 0 ? 2 : 1;
  return b;
}

TEST(PrimeTable, IsTheFirst3001Primes) {
  const uint32_t *t = ql::prime_table();
  uint32_t idx = 0;
  for (uint32_t n = 2; n <= 27457; n++) {
    bool prime = true;
    for (uint32_t d = 2; d * d <= n; d++) {
      if (n % d == 0) {
        prime = false;
        break;
      }
    }
    if (prime) { ASSERT_EQ(t[idx++], n); }
  }
  EXPECT_EQ(idx, 3001u);
}

TEST(TrialDivision, DepthAndTableOrder) {
  EXPECT_EQ(ql::Big_TrialDivision(&(const Big &)word(3ull * 27457), 500), 1);
  EXPECT_EQ(ql::Big_TrialDivision(&(const Big &)word(27457ull * 27449), 500), 0);
  EXPECT_EQ(ql::Big_TrialDivision(&(const Big &)word(27457ull * 27449), 3001), 1);
  EXPECT_EQ(ql::Big_TrialDivision(&(const Big &)word(9), 1), 0);
  EXPECT_EQ(ql::Big_TrialDivision(&(const Big &)word(9), 2), 1);
  // 2 is never tried: candidates are odd.
  EXPECT_EQ(ql::Big_TrialDivision(&(const Big &)word(1024), 3001), 0);
}

TEST(IsPrimeRSA, KnownPrimesAndComposites) {
  for (uint32_t k : {61u, 89u, 127u, 521u, 607u}) {
    const Big m = mersenne(k);
    EXPECT_EQ(Big_IsPrimeRSA(&m), 0) << "2^" << k << "-1";
  }
  // Carmichael numbers and strong pseudoprimes to many small bases.
  for (uint64_t v : {561ull, 1105ull, 1729ull, 2465ull, 2821ull, 6601ull, 8911ull, 41041ull,
                     825265ull, 3215031751ull, 2152302898747ull, 3474749660383ull,
                     341550071728321ull, 3825123056546413051ull}) {
    const Big b = word(v);
    EXPECT_EQ(Big_IsPrimeRSA(&b), -2004) << v;
  }
  // A product of two primes far above the table.
  Big p = mersenne(61);
  Big q = mersenne(89);
  Big n{};
  ASSERT_EQ(Big_Mul(&n, &p, &q), 0);
  EXPECT_EQ(Big_IsPrimeRSA(&n), -2004);
  // Every prime of the base pool is prime, although a base may equal it.
  const uint32_t *t = ql::prime_table();
  for (uint32_t i = 1; i < 3001; i += (i < 500 ? 37 : 1)) {
    const Big b = word(t[i]);
    ASSERT_EQ(Big_IsPrimeRSA(&b), 0) << t[i];
  }
  for (uint64_t v : {0ull, 1ull, 4ull, 27457ull * 2}) {
    const Big b = word(v);
    EXPECT_EQ(Big_IsPrimeRSA(&b), -2004) << v;
  }
  for (uint64_t v : {2ull, 3ull}) {
    const Big b = word(v);
    EXPECT_EQ(Big_IsPrimeRSA(&b), 0) << v;
  }
  // The smallest prime above 2^64 is 2^64 + 13.
  const Big f = from_hex("1000000000000000d");
  EXPECT_EQ(Big_IsPrimeRSA(&f), 0);
}

TEST(ProbablePrime, OddFullLengthAndPrime) {
  Big r{};
  ASSERT_EQ(Big_ProbablePrime(&r, 512), 0);
  EXPECT_EQ(r.words[0] & 1, 1u);
  EXPECT_LE(r.length, 16);
  EXPECT_GE(r.length, 15);
  EXPECT_EQ(Big_IsPrimeRSA(&r), 0);
  EXPECT_EQ(Big_ProbablePrime(&r, 0), -2009);
}

// p - 1 has the factor t, p + 1 the factor r, both prime; p has exactly the asked length.
TEST(StrongPrime, StructureFor512And1024Bits) {
  for (uint32_t bits : {512u, 1024u}) {
    Big p{}, r{}, t{};
    ASSERT_EQ(ql::strong_prime(&p, bits, &r, &t), 0);
    EXPECT_EQ(p.length, static_cast<int32_t>(bits / 32));
    EXPECT_GE(p.words[p.length - 1], 0x20000000u);
    EXPECT_EQ(Big_IsPrimeRSA(&p), 0);
    EXPECT_EQ(Big_IsPrimeRSA(&r), 0);
    EXPECT_EQ(Big_IsPrimeRSA(&t), 0);
    Big pm1{}, pp1{}, q{}, rem{};
    ASSERT_EQ(Big_SubByWord(&pm1, &p, 1), 0);
    ASSERT_EQ(Big_AddByWord(&pp1, &p, 1), 0);
    ASSERT_EQ(Big_Div(&q, &rem, &pm1, &t), 0);
    EXPECT_EQ(Big_GetFilledBitNum(&rem), 0) << bits;
    ASSERT_EQ(Big_Div(&q, &rem, &pp1, &r), 0);
    EXPECT_EQ(Big_GetFilledBitNum(&rem), 0) << bits;
  }
  Big p{};
  for (uint32_t bits : {0u, 8u, 96u, 500u, 1000u, 8192u}) {
    EXPECT_EQ(Big_GeneratePrimeStrongRSA(&p, bits), -2009) << bits;
  }
}

}  // namespace
