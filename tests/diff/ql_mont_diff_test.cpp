// Montgomery arithmetic and modular exponentiation against OpenSSL's BIGNUM, through the
// shared library's exported functions: odd moduli of 1 to 128 words, the window switch at
// 101 one bits, bases equal to and above the modulus.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_openssl_bn.h"

namespace {

using qltest::Bn;
using qltest::bn;
using qltest::from_bn;
using qltest::hex;
using qltest::Holds;
using qltest::to_bn;

struct CtxDel {
  void operator()(BN_CTX *c) const { BN_CTX_free(c); }
};
std::unique_ptr<BN_CTX, CtxDel> g_ctx(BN_CTX_new());
BN_CTX *ctx() { return g_ctx.get(); }

std::mt19937_64 &rng() {
  static std::mt19937_64 r(20261208);
  return r;
}

// A random odd modulus of exactly `bits` bits.
Bn odd_modulus(int bits) {
  Bn n = bn();
  std::vector<uint8_t> bytes(static_cast<size_t>((bits + 7) / 8));
  for (uint8_t &b : bytes) { b = static_cast<uint8_t>(rng()()); }
  BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), n.get());
  BN_mask_bits(n.get(), bits);
  BN_set_bit(n.get(), bits - 1);
  BN_set_bit(n.get(), 0);
  return n;
}

Bn below(const BIGNUM *n) {
  Bn r = bn();
  std::vector<uint8_t> bytes(static_cast<size_t>(BN_num_bytes(n)));
  for (uint8_t &b : bytes) { b = static_cast<uint8_t>(rng()()); }
  BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), r.get());
  BN_nnmod(r.get(), r.get(), n, ctx());
  return r;
}

// An exponent of `bits` bits with exactly `ones` one bits, the top one included.
Bn exponent_with_ones(int bits, int ones) {
  Bn e = bn();
  BN_zero(e.get());
  BN_set_bit(e.get(), bits - 1);
  int set = 1;
  while (set < ones) {
    const int i = static_cast<int>(rng()() % static_cast<uint64_t>(bits - 1));
    if (!BN_is_bit_set(e.get(), i)) {
      BN_set_bit(e.get(), i);
      set++;
    }
  }
  return e;
}

// R = 2^(32 * words of n) and its inverse modulo n.
Bn r_inverse(const BIGNUM *n) {
  const int words = (BN_num_bits(n) + 31) / 32;
  Bn r = bn();
  BN_zero(r.get());
  BN_set_bit(r.get(), 32 * words);
  Bn inv(BN_mod_inverse(nullptr, r.get(), n, ctx()));
  return inv;
}

TEST(MontDiff, PrimitivesMatchOpenSsl) {
  QL_MONT_CTX *mctx = QL_MONT_CTX_New();
  ASSERT_NE(mctx, nullptr);
  for (int iter = 0; iter < 600; iter++) {
    const int words = iter < 128 ? iter + 1 : static_cast<int>(1 + rng()() % 128);
    const int bits = 32 * words - static_cast<int>(rng()() % (iter % 3 == 0 ? 1 : 32));
    Bn n = odd_modulus(bits);
    const Big N = from_bn(n.get());
    Big rr;
    ASSERT_EQ(0, Big_MontInit(mctx, &rr, &N));
    ASSERT_EQ(static_cast<uint32_t>(N.words[0] * mctx->n_prime), 0xFFFFFFFFu);
    Bn want = bn();
    BN_zero(want.get());
    BN_set_bit(want.get(), 64 * N.length);
    BN_nnmod(want.get(), want.get(), n.get(), ctx());
    ASSERT_TRUE(Holds(rr, want.get())) << "R^2 mod N, " << bits << " bits";
    Bn rinv = r_inverse(n.get());
    Bn x = below(n.get());
    Bn y = iter % 5 == 0 ? Bn(BN_dup(x.get())) : below(n.get());
    const Big a = from_bn(x.get());
    const Big b = from_bn(y.get());
    // a * b * R^-1 with the result in place of an operand.
    BN_mod_mul(want.get(), x.get(), y.get(), n.get(), ctx());
    BN_mod_mul(want.get(), want.get(), rinv.get(), n.get(), ctx());
    Big acc = a;
    ASSERT_EQ(0, Big_MontMul(mctx, &acc, &acc, &b, &N));
    ASSERT_TRUE(Holds(acc, want.get())) << "MontMul " << bits;
    BN_mod_mul(want.get(), x.get(), x.get(), n.get(), ctx());
    BN_mod_mul(want.get(), want.get(), rinv.get(), n.get(), ctx());
    acc = a;
    ASSERT_EQ(0, Big_MontSqr(mctx, &acc, &acc, &N));
    ASSERT_TRUE(Holds(acc, want.get())) << "MontSqr " << bits;
    // Reduction of a product below N * R, and of a value just below N * R.
    Bn t = bn();
    BN_mul(t.get(), x.get(), y.get(), ctx());
    if (iter % 4 == 1) {
      BN_lshift(t.get(), n.get(), 32 * N.length);
      BN_sub_word(t.get(), 1);
    }
    const Big T = from_bn(t.get());
    BN_mod_mul(want.get(), t.get(), rinv.get(), n.get(), ctx());
    Big red;
    ASSERT_EQ(0, Big_MontReduction(mctx, &red, &T, &N));
    ASSERT_TRUE(Holds(red, want.get())) << "MontReduction " << bits;
  }
  QL_MONT_CTX_Delete(mctx);
}

struct ExpCase {
  int bits;
  int exp_bits;
  int ones;  // 0: a random exponent of exp_bits bits
};

// Big_ModExp and Big_ModExpWindow2 against BN_mod_exp for one modulus, base and exponent.
void check_exp(const BIGNUM *n, const BIGNUM *g, const BIGNUM *e, const std::string &what) {
  Bn want = bn();
  ASSERT_EQ(1, BN_mod_exp(want.get(), g, e, n, ctx()));
  const Big N = from_bn(n);
  const Big G = from_bn(g);
  const Big E = from_bn(e);
  Big r;
  std::memset(&r, 0xA5, sizeof(r));
  ASSERT_EQ(0, Big_ModExp(&r, &G, &E, &N)) << what;
  ASSERT_TRUE(Holds(r, want.get())) << what;
  if (BN_cmp(g, n) < 0) {
    QL_MONT_CTX mctx;
    Big rr;
    ASSERT_EQ(0, Big_MontInit(&mctx, &rr, &N));
    Big r2 = E;  // the result may be the exponent's record
    ASSERT_EQ(0, Big_ModExpWindow2(&r2, &G, &r2, &N, &mctx, &rr)) << what;
    ASSERT_TRUE(Holds(r2, want.get())) << what;
  }
}

TEST(MontDiff, ModExpMatchesOpenSslAcrossSizes) {
  const ExpCase cases[] = {
      {512, 512, 0},    {512, 300, 100},  {512, 300, 101},  {544, 544, 0},   {1024, 1024, 0},
      {1024, 1024, 100}, {1024, 1024, 101}, {1056, 1000, 0}, {1536, 1536, 0}, {2048, 2048, 0},
      {2048, 2048, 100}, {2048, 2048, 101}, {2048, 17, 0},   {3072, 3072, 0}, {4096, 4096, 0},
      {4096, 600, 101},  {4064, 4064, 0},
  };
  for (const ExpCase &c : cases) {
    Bn n = odd_modulus(c.bits);
    Bn e = c.ones == 0 ? odd_modulus(c.exp_bits) : exponent_with_ones(c.exp_bits, c.ones);
    if (c.ones == 0) { BN_clear_bit(e.get(), static_cast<int>(rng()() % 8)); }
    Bn g = below(n.get());
    check_exp(n.get(), g.get(), e.get(), std::to_string(c.bits) + " bits");
  }
}

TEST(MontDiff, ModExpEdgeCases) {
  for (int bits : {512, 1024, 2048, 4096}) {
    Bn n = odd_modulus(bits);
    Bn g = below(n.get());
    Bn e = odd_modulus(bits);
    Bn zero = bn();
    BN_zero(zero.get());
    const std::string tag = std::to_string(bits) + " bits";
    check_exp(n.get(), g.get(), zero.get(), tag + ", e = 0");
    check_exp(n.get(), g.get(), BN_value_one(), tag + ", e = 1");
    check_exp(n.get(), zero.get(), e.get(), tag + ", g = 0");
    check_exp(n.get(), n.get(), e.get(), tag + ", g = N");
    // g = N + 5 gives what g = 5 gives; g far above N is reduced first.
    Bn big_g = bn();
    BN_add_word(BN_copy(big_g.get(), n.get()), 5);
    check_exp(n.get(), big_g.get(), e.get(), tag + ", g = N + 5");
    BN_mul(big_g.get(), n.get(), n.get(), ctx());
    BN_add(big_g.get(), big_g.get(), g.get());
    check_exp(n.get(), big_g.get(), e.get(), tag + ", g = N^2 + g");
  }
}

TEST(MontDiff, ModExpMatchesOpenSslOnRandomSmallCases) {
  for (int iter = 0; iter < 400; iter++) {
    const int bits = 1 + static_cast<int>(rng()() % (iter % 10 == 0 ? 4096 : 700));
    Bn n = odd_modulus(bits < 2 ? 2 : bits);
    Bn g = below(n.get());
    Bn e = bn();
    BN_rand(e.get(), 1 + static_cast<int>(rng()() % 256), BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY);
    check_exp(n.get(), g.get(), e.get(), std::to_string(bits) + " bits, iter " +
                                           std::to_string(iter));
  }
}

TEST(MontDiff, ModuliOutsideTheRangeAreRefused) {
  Big zero{};
  zero.length = 1;
  Big g{};
  g.words[0] = 3;
  g.length = 1;
  Big r{};
  EXPECT_EQ(-2007, Big_ModExp(&r, &g, &g, &zero));
  Big huge{};
  huge.words[128] = 1;
  huge.words[0] = 1;
  huge.length = 129;
  EXPECT_EQ(-2008, Big_ModExp(&r, &g, &g, &huge));
  QL_MONT_CTX mctx;
  Big rr;
  EXPECT_EQ(-2008, Big_MontInit(&mctx, &rr, &huge));
  EXPECT_EQ(-2008, Big_ModExpWindow2(&r, &g, &g, &huge, &mctx, &g));
  // Modulus 1: everything is 0.
  Big one{};
  one.words[0] = 1;
  one.length = 1;
  ASSERT_EQ(0, Big_ModExp(&r, &g, &zero, &one));
  EXPECT_EQ(r.words[0], 0u);
  EXPECT_EQ(r.length, 1);
}

}  // namespace
