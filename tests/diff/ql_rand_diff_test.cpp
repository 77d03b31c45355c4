// The X9.62 generator against a computation built from OpenSSL's SHA-1 block function and
// BIGNUM, and the Miller-Rabin test against BN_check_prime on random odd candidates.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_x962_model.h"

namespace {

struct BnDel {
  void operator()(BIGNUM *b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnDel>;

Bn bn_bin(const std::vector<uint8_t> &v) {
  return Bn(BN_bin2bn(v.data(), static_cast<int>(v.size()), nullptr));
}

std::vector<uint8_t> bytes_of(const Big &b) {
  std::vector<uint8_t> out(4 * static_cast<size_t>(b.length));
  for (int i = 0; i < b.length; i++) {
    for (int k = 0; k < 4; k++) {
      out[out.size() - 4 * i - 4 + k] = static_cast<uint8_t>(b.words[i] >> (24 - 8 * k));
    }
  }
  return out;
}

TEST(X962Diff, MatchesIndependentComputation) {
  std::mt19937 rng(1962);
  auto random_bytes = [&rng](size_t n) {
    std::vector<uint8_t> v(n);
    for (auto &b : v) { b = static_cast<uint8_t>(rng()); }
    return v;
  };
  for (int trial = 0; trial < 60; trial++) {
    // q of 160 to 512 bits (top byte non-zero), XKEY of 20 to 64 bytes, seeds of any length.
    const size_t q_len = 20 + rng() % 45;
    auto q_bytes = random_bytes(q_len);
    q_bytes[0] |= 0x01;
    const uint32_t b = 20 + rng() % 45;
    std::vector<uint8_t> xkey = random_bytes(b);
    const uint32_t seed_len = trial % 3 == 0 ? 0 : 1 + rng() % 70;
    const auto seed_in = random_bytes(seed_len + 1);
    Big q{};
    ASSERT_EQ(U8ToBig(&q, q_bytes.data(), static_cast<uint32_t>(q_len)), 0);
    if (q.length > 16) { continue; }
    QL_X962_CTX ctx;
    ASSERT_EQ(Big_X962_Init(&ctx, &q, xkey.data(), b, seed_len ? seed_in.data() : nullptr,
                            seed_len),
              0);
    std::vector<uint8_t> xseed(b, 0);
    std::memcpy(xseed.data(), seed_in.data(), seed_len < b ? seed_len : b);
    Bn bq = bn_bin(q_bytes);
    for (int step = 0; step < 3; step++) {
      Big w{};
      ASSERT_EQ(Big_X962_Random(&ctx, &w), 0);
      Bn want(qltest::x962_next(bq.get(), xkey, xseed, seed_len > 0));
      EXPECT_EQ(BN_cmp(bn_bin(bytes_of(w)).get(), want.get()), 0) << "trial " << trial;
      EXPECT_EQ(std::memcmp(ctx.xkey, xkey.data(), b), 0) << "trial " << trial;
    }
    Big_X962_Final(&ctx);
  }
}

TEST(PrimeDiff, AgreesWithOpenSsl) {
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
  std::mt19937 rng(2027);
  int primes = 0;
  for (int i = 0; i < 300; i++) {
    const size_t n_bytes = 2 + rng() % 40;
    std::vector<uint8_t> v(n_bytes);
    for (auto &b : v) { b = static_cast<uint8_t>(rng()); }
    v[0] |= 0x80;
    v.back() |= 1;
    Big n{};
    ASSERT_EQ(U8ToBig(&n, v.data(), static_cast<uint32_t>(v.size())), 0);
    const int theirs = BN_check_prime(bn_bin(v).get(), ctx.get(), nullptr);
    const int32_t ours = Big_IsPrimeRSA(&n);
    EXPECT_EQ(ours == 0, theirs == 1) << i;
    primes += theirs;
  }
  // Primes from OpenSSL's generator of several sizes.
  for (int bits : {64, 160, 512, 1024}) {
    Bn p(BN_new());
    ASSERT_EQ(BN_generate_prime_ex(p.get(), bits, 0, nullptr, nullptr, nullptr), 1);
    std::vector<uint8_t> v(static_cast<size_t>(BN_num_bytes(p.get())));
    BN_bn2bin(p.get(), v.data());
    Big n{};
    ASSERT_EQ(U8ToBig(&n, v.data(), static_cast<uint32_t>(v.size())), 0);
    EXPECT_EQ(Big_IsPrimeRSA(&n), 0) << bits;
  }
  EXPECT_GT(primes, 0);
}

TEST(PrimeDiff, StrongPrimesPassOpenSslsTest) {
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
  Big p{};
  ASSERT_EQ(Big_GeneratePrimeStrongRSA(&p, 1024), 0);
  EXPECT_EQ(BN_check_prime(bn_bin(bytes_of(p)).get(), ctx.get(), nullptr), 1);
}

}  // namespace
