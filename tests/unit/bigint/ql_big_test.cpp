// Big integers without OpenSSL: hand-checkable edge cases, OpenSSL-generated vectors
// (tests/vectors/big_arith.txt) for the arithmetic and exponentiation, and allocation
// failures in the exponentiations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "ql_vectors.h"

namespace {

Big make(std::initializer_list<uint32_t> words_low_first, uint32_t sign = 0) {
  Big r{};
  int n = 0;
  for (uint32_t w : words_low_first) { r.words[n++] = w; }
  r.length = n;
  r.sign = sign;
  return r;
}

Big parse(const std::string &text) {
  Big r{};
  EXPECT_EQ(0, Big_HexU8ToBig(&r, text.c_str())) << text;
  return r;
}

// The record is in normal form and equals `want` (compared as words, signs and length).
::testing::AssertionResult Same(const Big &got, const Big &want) {
  if (got.length < 1 || (got.length > 1 && got.words[got.length - 1] == 0)) {
    return ::testing::AssertionFailure() << "not normal, length " << got.length;
  }
  for (int i = got.length; i < QL_BIG_WORDS; i++) {
    if (got.words[i] != 0) { return ::testing::AssertionFailure() << "word above length " << i; }
  }
  if (got.length == 1 && got.words[0] == 0 && got.sign != 0) {
    return ::testing::AssertionFailure() << "negative zero";
  }
  if (Big_IsEqual(&got, &want) != 0 || got.sign != want.sign) {
    return ::testing::AssertionFailure() << "values differ (length " << got.length << ", word0 "
                                         << std::hex << got.words[0] << ")";
  }
  return ::testing::AssertionSuccess();
}

TEST(Big, ByteConversionsAtTheirLimits) {
  const uint8_t zeros[4] = {0, 0, 0, 0};
  Big r = make({7, 7});
  ASSERT_EQ(0, U8ToBig(&r, zeros, 4));
  EXPECT_EQ(r.length, 0);
  EXPECT_EQ(Big_GetFilledBitNum(&r), 0);
  uint8_t out[QL_BIG_MAX_BYTES + 1];
  EXPECT_EQ(BigToU8(out, &r), 0);

  std::vector<uint8_t> big(QL_BIG_MAX_BYTES + 1, 0);
  big[0] = 0x01;  // 1028 bytes: word 256 = 0x01000000
  ASSERT_EQ(0, U8ToBig(&r, big.data(), QL_BIG_MAX_BYTES));
  EXPECT_EQ(r.length, QL_BIG_WORDS);
  EXPECT_EQ(r.words[QL_BIG_WORDS - 1], 0x01000000u);
  EXPECT_EQ(Big_GetFilledBitNum(&r), 32 * 256 + 25);
  EXPECT_EQ(-2010, U8ToBig(&r, big.data(), QL_BIG_MAX_BYTES + 1));
  EXPECT_EQ(-2009, U8ToBig(&r, big.data(), 0));
  EXPECT_EQ(-2009, U8ToBig(nullptr, big.data(), 4));
  EXPECT_EQ(-2009, U8ToBig_2(&r, nullptr, 4));

  // Five bytes: the first forms the top word.
  const uint8_t five[5] = {0xAB, 0x01, 0x02, 0x03, 0x04};
  ASSERT_EQ(0, U8ToBig(&r, five, 5));
  EXPECT_TRUE(Same(r, make({0x01020304, 0xAB})));
  EXPECT_EQ(BigToU8(out, &r), 5);
  EXPECT_EQ(0, std::memcmp(out, five, 5));
  // U8ToBig_2 keeps the words above the new length.
  Big kept = make({0, 0, 0x55});
  ASSERT_EQ(0, U8ToBig_2(&kept, five, 5));
  EXPECT_EQ(kept.length, 2);
  EXPECT_EQ(kept.words[2], 0x55u);

  const Big v = make({0x0102});
  uint8_t four[4] = {9, 9, 9, 9};
  ASSERT_EQ(0, BigToU82(four, &v, 4));
  const uint8_t want[4] = {0, 0, 1, 2};
  EXPECT_EQ(0, std::memcmp(four, want, 4));
  uint8_t one[1] = {9};
  EXPECT_EQ(-2001, BigToU82(one, &v, 1));
  EXPECT_EQ(one[0], 9);
}

TEST(Big, HexConversions) {
  struct Case {
    const char *text;
    Big want;
  };
  const Case cases[] = {
      {"-1f", make({0x1F}, 1)},
      {"100000000", make({0, 1})},
      {"FFFFFFFFffffffff", make({0xFFFFFFFF, 0xFFFFFFFF})},
      {"0000000000000001z99", make({1})},
      {"-0", make({0})},
      {"", make({0})},
  };
  for (const Case &c : cases) {
    Big r{};
    ASSERT_EQ(0, Big_HexU8ToBig(&r, c.text)) << c.text;
    EXPECT_EQ(Big_IsEqual(&r, &c.want), 0) << c.text;
    EXPECT_EQ(r.sign, c.want.sign) << c.text;
  }
  // 2056 digits fill all 257 words; one more digit would need a 258th word.
  std::string digits(2 * QL_BIG_MAX_BYTES, 'f');
  Big r{};
  ASSERT_EQ(0, Big_HexU8ToBig(&r, digits.c_str()));
  EXPECT_EQ(r.length, QL_BIG_WORDS);
  EXPECT_EQ(-2011, Big_HexU8ToBig(&r, (digits + "f").c_str()));
  EXPECT_EQ(-2011, Big_HexU8ToBig(&r, (digits + "ff").c_str()));
  EXPECT_EQ(-2009, Big_HexU8ToBig(&r, nullptr));
}

TEST(Big, ComparisonsAndSignedSums) {
  const Big a = make({0x00000001, 0x00000002});  // larger top word, smaller low word
  const Big b = make({0xFFFFFFFF, 0x00000001});
  EXPECT_EQ(Big_GE(&a, &b), 1);
  EXPECT_EQ(Big_GT(&a, &a), 0);
  EXPECT_EQ(Big_UComp(&b, &a), -1);
  const Big neg = make({5}, 1);
  EXPECT_EQ(Big_Comp(&neg, &b), -1);
  EXPECT_EQ(Big_IsEqual(&neg, &a), -2002);

  struct Case {
    Big a, b;
    bool add;
    Big want;
  };
  const Case cases[] = {
      {make({5}), make({7}), false, make({2}, 1)},
      {make({5}, 1), make({5}), true, make({0})},
      {make({5}, 1), make({7}, 1), false, make({2})},
      {make({0xFFFFFFFF, 0xFFFFFFFF}), make({1}), true, make({0, 0, 1})},
      {make({0, 0, 1}), make({1}), false, make({0xFFFFFFFF, 0xFFFFFFFF})},
      {make({3}, 1), make({0, 1}), true, make({0xFFFFFFFD})},
  };
  for (const Case &c : cases) {
    Big r = make({9, 9, 9});
    ASSERT_EQ(0, c.add ? Big_Add(&r, &c.a, &c.b) : Big_Sub(&r, &c.a, &c.b));
    EXPECT_TRUE(Same(r, c.want));
  }
}

TEST(Big, WordAdditionHandlesSignsAndCarries) {
  struct Case {
    Big a;
    uint32_t w;
    bool add;
    Big want;
  };
  const Case cases[] = {
      {make({0xFFFFFFFF}), 1, true, make({0, 1})},
      {make({3}, 1), 5, true, make({2})},  // -3 + 5 = 2, not -2
      {make({5}, 1), 3, true, make({2}, 1)},
      {make({5}, 1), 5, true, make({0})},
      {make({0}), 4, false, make({4}, 1)},
      {make({3}), 5, false, make({2}, 1)},
      {make({5}, 1), 3, false, make({8}, 1)},
      {make({0, 1}), 1, false, make({0xFFFFFFFF})},
      {make({0}), 0, false, make({0})},
  };
  for (const Case &c : cases) {
    Big r{};
    ASSERT_EQ(0, c.add ? Big_AddByWord(&r, &c.a, c.w) : Big_SubByWord(&r, &c.a, c.w));
    EXPECT_TRUE(Same(r, c.want)) << c.a.words[0] << (c.add ? " + " : " - ") << c.w;
  }
  Big all_ones{};
  for (uint32_t &w : all_ones.words) { w = 0xFFFFFFFF; }
  all_ones.length = QL_BIG_WORDS;
  EXPECT_EQ(-2008, Big_AbsInc(&all_ones));
  EXPECT_EQ(all_ones.words[0], 0xFFFFFFFFu);
  EXPECT_EQ(-2008, Big_AddByWord(&all_ones, &all_ones, 1));
  Big empty{};  // length 0
  ASSERT_EQ(0, Big_AbsInc(&empty));
  EXPECT_TRUE(Same(empty, make({1})));
  Big minus_one = make({1}, 1);
  ASSERT_EQ(0, Big_AbsDec(&minus_one));
  EXPECT_TRUE(Same(minus_one, make({0})));
}

TEST(Big, ZeroResultsAreNeverNegative) {
  const Big neg = make({0x1234, 0x5678}, 1);
  const Big zero = make({0});
  Big r{};
  ASSERT_EQ(0, Big_Mul(&r, &neg, &zero));
  EXPECT_TRUE(Same(r, zero));
  Big q{};
  Big rem{};
  const Big small = make({7}, 1);
  ASSERT_EQ(0, Big_Div(&q, &rem, &small, &neg));  // |-7| < |b|: quotient zero
  EXPECT_TRUE(Same(q, zero));
  EXPECT_TRUE(Same(rem, make({7})));
  ASSERT_EQ(0, Big_RShift(&r, &neg, 64));
  EXPECT_TRUE(Same(r, zero));
  ASSERT_EQ(0, Big_RShift1(&r, &small));
  EXPECT_TRUE(Same(r, make({3}, 1)));
  const Big minus_one = make({1}, 1);
  ASSERT_EQ(0, Big_RShift1(&r, &minus_one));
  EXPECT_TRUE(Same(r, zero));
  ASSERT_EQ(0, Big_LShift(&r, &zero, 40));
  EXPECT_TRUE(Same(r, zero));
  uint32_t w = 0;
  ASSERT_EQ(0, Big_DivByWord(&r, &w, &small, 8));
  EXPECT_TRUE(Same(r, zero));
  EXPECT_EQ(w, 7u);
  EXPECT_EQ(-2007, Big_Div(&q, &rem, &small, &zero));
}

TEST(Big, ModularReductionAndInverses) {
  struct ModCase {
    Big a, m, want;
  };
  const ModCase mods[] = {
      {make({7}, 1), make({5}), make({3})},
      {make({10}, 1), make({5}), make({0})},
      {make({3, 0, 1}, 1), make({1, 1}), make({0xFFFFFFFD})},  // -(2^64 + 3) mod (2^32 + 1)
      {make({4}), make({5}), make({4})},
  };
  for (const ModCase &c : mods) {
    Big r{};
    ASSERT_EQ(0, Big_Mod(&r, &c.a, &c.m));
    EXPECT_TRUE(Same(r, c.want));
  }
  Big x{};
  const Big three = make({3});
  const Big seven = make({7});
  ASSERT_EQ(0, Big_InvMod(&x, &three, &seven));
  EXPECT_TRUE(Same(x, make({5})));
  const Big two = make({2});
  const Big four = make({4});
  EXPECT_EQ(-2003, Big_InvMod(&x, &two, &four));
  Big r = make({9});
  EXPECT_EQ(1, Big_Inv(&r, &three, &seven));
  EXPECT_TRUE(Same(r, make({5})));
  const Big zero = make({0});
  EXPECT_EQ(0, Big_Inv(&r, &zero, &seven));
  EXPECT_TRUE(Same(r, zero));
  r = make({9});
  const Big minus_three = make({3}, 1);
  EXPECT_EQ(0, Big_Inv(&r, &minus_three, &seven));
  EXPECT_EQ(r.words[0], 9u);  // untouched
}

TEST(Big, GcdWithAZeroOperandEnds) {
  const Big a = make({12, 1});
  const Big zero = make({0});
  Big g{};
  Big s{};
  Big t{};
  ASSERT_EQ(0, Big_GCD(&g, &a, &zero));
  EXPECT_TRUE(Same(g, a));
  ASSERT_EQ(0, Big_GCD(&g, &zero, &a));
  EXPECT_TRUE(Same(g, a));
  ASSERT_EQ(0, Big_ExtendedGCD(&g, &s, &t, &a, &zero));
  EXPECT_TRUE(Same(g, a));
  EXPECT_TRUE(Same(s, make({1})));
  EXPECT_TRUE(Same(t, zero));
  ASSERT_EQ(0, Big_ExtendedGCD(&g, &s, &t, &zero, &a));
  EXPECT_TRUE(Same(g, a));
  EXPECT_TRUE(Same(s, zero));
  EXPECT_TRUE(Same(t, make({1})));
  ASSERT_EQ(0, Big_GCD(&g, &zero, &zero));
  EXPECT_TRUE(Same(g, zero));
  // gcd(12, 18) = 6 = (-1) * 12 + 1 * 18 in some form: check the identity.
  const Big x = make({12});
  const Big y = make({18});
  ASSERT_EQ(0, Big_ExtendedGCD(&g, &s, &t, &x, &y));
  EXPECT_TRUE(Same(g, make({6})));
  Big sa{};
  Big tb{};
  Big sum{};
  ASSERT_EQ(0, Big_Mul(&sa, &s, &x));
  ASSERT_EQ(0, Big_Mul(&tb, &t, &y));
  ASSERT_EQ(0, Big_Add(&sum, &sa, &tb));
  EXPECT_TRUE(Same(sum, g));
}

TEST(Big, PolynomialWordsAndKernels) {
  const Big a = make({0xF0F0F0F0, 0x3});
  const Big b = make({0x0F0F0F0F});
  Big r{};
  ASSERT_EQ(0, EB_Add(&r, &b, &a));
  EXPECT_TRUE(Same(r, make({0xFFFFFFFF, 0x3})));
  EXPECT_EQ(IsLargerDeg(&a, &b), 1);
  EXPECT_EQ(IsLargerDeg(&b, &a), 0);
  const Big c = make({0x4});
  const Big d = make({0x7});
  EXPECT_EQ(IsLargerDeg(&d, &c), 0);  // same degree
  const Big e = make({0x8});
  EXPECT_EQ(IsLargerDeg(&e, &d), 1);

  uint32_t in[3] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  uint32_t out[3] = {1, 2, 3};
  // (2^96 - 1) * (2^32 - 1) = 2^128 - 2^96 - 2^32 + 1
  EXPECT_EQ(NMul(out, in, 3, 0xFFFFFFFF), 0xFFFFFFFEu);
  EXPECT_EQ(out[0], 1u);
  EXPECT_EQ(out[1], 0xFFFFFFFFu);
  EXPECT_EQ(out[2], 0xFFFFFFFFu);
  uint32_t acc[2] = {0xFFFFFFFF, 0xFFFFFFFF};
  const uint32_t two[2] = {2, 0};
  EXPECT_EQ(NMulAdd(acc, two, 2, 3), 1u);  // 2^64 - 1 + 6
  EXPECT_EQ(acc[0], 5u);
  EXPECT_EQ(acc[1], 0u);
}

// Arithmetic against results computed by OpenSSL (tools/gen_big_vectors.cpp).
TEST(Big, MatchesOpenSslVectors) {
  int count = 0;
  for (const qltest::VectorCase &c : qltest::load_vectors("big_arith.txt")) {
    const std::string op = c.str("op");
    Big r{};
    if (op == "add" || op == "sub" || op == "mul" || op == "gcd") {
      const Big a = parse(c.str("a"));
      const Big b = parse(c.str("b"));
      const int32_t st = op == "add"   ? Big_Add(&r, &a, &b)
                         : op == "sub" ? Big_Sub(&r, &a, &b)
                         : op == "mul" ? Big_Mul(&r, &a, &b)
                                       : Big_GCD(&r, &a, &b);
      ASSERT_EQ(st, 0) << c.where();
      EXPECT_TRUE(Same(r, parse(c.str("r")))) << c.where();
    } else if (op == "sqr") {
      const Big a = parse(c.str("a"));
      ASSERT_EQ(0, Big_Sqr(&r, &a)) << c.where();
      EXPECT_TRUE(Same(r, parse(c.str("r")))) << c.where();
    } else if (op == "div") {
      const Big a = parse(c.str("a"));
      const Big b = parse(c.str("b"));
      Big q{};
      ASSERT_EQ(0, Big_Div(&q, &r, &a, &b)) << c.where();
      EXPECT_TRUE(Same(q, parse(c.str("q")))) << c.where();
      EXPECT_TRUE(Same(r, parse(c.str("r")))) << c.where();
    } else if (op == "mod" || op == "invmod") {
      const Big a = parse(c.str("a"));
      const Big m = parse(c.str("m"));
      ASSERT_EQ(0, op == "mod" ? Big_Mod(&r, &a, &m) : Big_InvMod(&r, &a, &m)) << c.where();
      EXPECT_TRUE(Same(r, parse(c.str("r")))) << c.where();
      if (op == "invmod") {
        Big r2{};
        EXPECT_EQ(1, Big_Inv(&r2, &a, &m)) << c.where();
        EXPECT_TRUE(Same(r2, r)) << c.where();
      }
    } else if (op == "modexp") {
      const Big g = parse(c.str("g"));
      const Big e = parse(c.str("e"));
      const Big n = parse(c.str("n"));
      const Big want = parse(c.str("r"));
      ASSERT_EQ(0, Big_ModExp(&r, &g, &e, &n)) << c.where();
      EXPECT_TRUE(Same(r, want)) << c.where();
      QL_MONT_CTX ctx;
      Big rr{};
      ASSERT_EQ(0, Big_MontInit(&ctx, &rr, &n));
      ASSERT_EQ(0, Big_ModExpWindow2(&r, &g, &e, &n, &ctx, &rr)) << c.where();
      EXPECT_TRUE(Same(r, want)) << c.where();
    } else {
      ADD_FAILURE() << c.where() << ": unknown op " << op;
    }
    c.expect_all_consumed();
    count++;
  }
  EXPECT_EQ(count, 93);  // every case of the file was read
}

// Every failing allocation gives the critical code, frees what was taken and leaves the
// result untouched; the call succeeds once no allocation fails.
TEST(Big, ExponentiationsReportAllocationFailure) {
  const Big n = make({0x12345679, 0x9ABCDEF0, 0x0FEDCBA9, 0x80000001});
  const Big g = make({0xCAFE, 0xBEEF});
  const Big e = make({0xFFFFFFFF, 0x12345678});
  QL_MONT_CTX ctx;
  Big rr{};
  ASSERT_EQ(0, Big_MontInit(&ctx, &rr, &n));
  for (int which = 0; which < 2; which++) {
    const ql::Status code = ql::critical(which == 0 ? -2005 : -2006);
    int failures = 0;
    for (int64_t k = 0;; k++) {
      Big r = make({0x77});
      ql::test::alloc_fail_at(k);
      const int32_t st = which == 0 ? Big_ModExp(&r, &g, &e, &n)
                                    : Big_ModExpWindow2(&r, &g, &e, &n, &ctx, &rr);
      const int64_t attempted = ql::test::alloc_count();
      ql::test::alloc_fail_at(-1);
      if (attempted <= k) {
        ASSERT_EQ(st, 0);
        break;
      }
      ASSERT_EQ(st, code) << "allocation " << k;
      EXPECT_TRUE(ql::is_critical(st));
      EXPECT_TRUE(Same(r, make({0x77})));
      failures++;
    }
    EXPECT_GE(failures, 1);
  }
}

}  // namespace
