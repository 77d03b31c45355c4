// Constant-time checks, run under valgrind memcheck: the secrets of each case are marked
// undefined (QL_CT_SECRET), so any branch or memory index that depends on them is reported
// and fails the run. The units under test are compiled into this program with QL_CT_CHECK,
// which makes their own QL_CT_PUBLIC declarations (lengths, released results) effective.
// The Canary suite shows the check is live: it leaks on purpose and must fail.
#include "internal/ql_ct.h"

#include <gtest/gtest.h>

#include <vector>

#include "QuillonCrypto.h"
#include "bigint/ql_big_ct.h"
#include "pk/ql_ecdsa.h"
#include "pk/ql_rsa.h"
#include "ql_rsa_examples.h"

namespace {

void mark_secret(Big &x) { QL_CT_SECRET(x.words, sizeof(x.words)); }

// The first example of each listed modulus size.
std::vector<qltest::RsaExample> cases() {
  std::vector<qltest::RsaExample> out;
  for (const auto &x : qltest::rsa_examples()) {
    if ((x.bits == 1024 || x.bits == 1031 || x.bits == 2048) &&
        (out.empty() || out.back().bits != x.bits)) {
      out.push_back(x);
    }
  }
  return out;
}

TEST(CtRsa, PrivateOperationWithSecretKey) {
  const auto all = cases();
  ASSERT_EQ(all.size(), 3u);
  Big blind{};
  for (int i = 0; i < 64; i++) { blind.words[i] = 0x6A09E667u * static_cast<uint32_t>(i + 1); }
  blind.length = 64;
  for (const auto &c : all) {
    for (const bool crt : {true, false}) {
      QL_RSA_PRIVATE_KEY key = c.key;
      if (!crt) {
        key.dP = Big{};
        key.dQ = Big{};
        key.qInv = Big{};
      }
      for (Big *secret : {&key.d, &key.p, &key.q, &key.dP, &key.dQ, &key.qInv}) {
        mark_secret(*secret);
      }
      Big out{};
      ASSERT_EQ(ql::rsa_private_exp(out, c.ct, key, &blind), 0);
      EXPECT_EQ(Big_UComp(&out, &c.em), 0);
    }
  }
}

// The exponentiation other units use for secret exponents, with a secret base as well.
TEST(CtBig, ConstantTimeModExpWithSecretExponent) {
  const auto all = cases();
  ASSERT_FALSE(all.empty());
  for (const auto &c : {all[0]}) {
    Big d = c.key.d;
    Big g = c.ct;
    mark_secret(d);
    mark_secret(g);
    Big out{};
    ASSERT_EQ(ql::big_mod_exp_consttime(out, g, d, c.key.n, -2005), 0);
    QL_CT_PUBLIC(out.words, sizeof(out.words));
    EXPECT_EQ(Big_UComp(&out, &c.em), 0);
  }
}

// ECDSA signing with the private key and the nonce secret: k*G, the inverse of k,
// s = k^-1 (e + r*d) and the checks of the result.
TEST(CtEcdsa, SigningWithSecretKeyAndNonce) {
  for (const uint32_t bits : {224u, 256u}) {
    QL_ECDSA_PARAMETERS curve{};
    ASSERT_EQ(QL_ECDSA_InitParameters(&curve, bits), 0);
    Big d{};
    Big k{};
    Big e{};
    ASSERT_EQ(Big_HexU8ToBig(&d, "c0ffee0123456789abcdef0123456789abcdef0123456789abcdef01"), 0);
    ASSERT_EQ(Big_HexU8ToBig(&k, "1badcafe0123456789abcdef0123456789abcdef0123456789abcd"), 0);
    ASSERT_EQ(Big_HexU8ToBig(&e, "5eed"), 0);
    BigPoint q{};
    ASSERT_EQ(BigPoint_Mul_NAFSlidingWindow(&curve, &q, &d, &curve.G), 0);
    mark_secret(d);
    mark_secret(k);
    QL_ECDSA_SIGNATURE sig{};
    bool retry = true;
    ASSERT_EQ(ql::ecdsa_sign_with_nonce(curve, sig, e, d, k, retry), 0);
    ASSERT_FALSE(retry);
    const uint8_t digest[2] = {0x5e, 0xed};
    EXPECT_EQ(QL_ECDSA_Verify(&curve, &q, &sig, digest, sizeof(digest)), 0);
  }
}

// The X9.62 generator's output becomes a nonce or a private key: its reduction into
// [1, q-1] must not depend on the value, which comes from the secret generator key.
TEST(CtX962, OutputReductionWithSecretKey) {
  for (const uint32_t bits : {224u, 256u}) {
    QL_ECDSA_PARAMETERS curve{};
    ASSERT_EQ(QL_ECDSA_InitParameters(&curve, bits), 0);
    uint8_t xkey[32];
    for (uint32_t i = 0; i < sizeof(xkey); i++) { xkey[i] = static_cast<uint8_t>(0xa5 ^ (7 * i)); }
    QL_X962_CTX ctx{};
    ASSERT_EQ(Big_X962_Init(&ctx, &curve.n, xkey, bits / 8, nullptr, 0), 0);
    QL_CT_SECRET(ctx.xkey, sizeof(ctx.xkey));
    Big w{};
    ASSERT_EQ(Big_X962_Random(&ctx, &w), 0);
    QL_CT_PUBLIC(&w, sizeof(w));
    EXPECT_LT(Big_UComp(&w, &curve.n), 0);
    EXPECT_GT(Big_GetFilledBitNum(&w), 0);
  }
}

// A sliding-window exponentiation branches on its exponent's bits: memcheck must see it.
TEST(CtCanary, VariableTimeExponentiationIsReported) {
  const auto all = cases();
  ASSERT_FALSE(all.empty());
  Big d = all[0].key.d;
  mark_secret(d);
  Big out{};
  EXPECT_EQ(Big_ModExp(&out, &all[0].ct, &d, &all[0].key.n), 0);
}

}  // namespace
