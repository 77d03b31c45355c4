// RSA primitives: the published PKCS #1 v1.5 encryption examples as raw operations (EM^e = CT
// and CT^d = EM, with and without the CRT values), the range, key and argument checks, the
// result check against faulty keys, key generation's refusals and structure, and allocation
// failures at every allocation.
#include "pk/ql_rsa.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "ql_rsa_examples.h"

namespace {

Big word(uint32_t w) {
  Big r{};
  r.words[0] = w;
  r.length = 1;
  return r;
}

bool equal(const Big &a, const Big &b) { return Big_UComp(&a, &b) == 0 && a.sign == b.sign; }

using Example = qltest::RsaExample;

std::vector<Example> examples() {
  auto all = qltest::rsa_examples();
  for (const auto &x : all) {
    EXPECT_EQ(static_cast<uint64_t>(Big_GetFilledBitNum(&x.key.n)), x.bits) << x.where;
  }
  return all;
}

QL_RSA_PUBLIC_KEY public_of(const QL_RSA_PRIVATE_KEY &k) {
  QL_RSA_PUBLIC_KEY pub{};
  pub.n = k.n;
  pub.e = k.e;
  return pub;
}

QL_RSA_PRIVATE_KEY without_crt(QL_RSA_PRIVATE_KEY k) {
  k.dP = Big{};
  k.dQ = Big{};
  k.qInv = Big{};
  return k;
}

// A fixed blinding draw: the private operation's result must not depend on it.
Big blind_draw(uint32_t seed) {
  Big b{};
  for (int i = 0; i < 64; i++) { b.words[i] = (seed += 0x9E3779B9u) * 2654435761u; }
  b.length = 64;
  return b;
}

// The public operation on every example; the private one with the CRT values on every
// `crt_step`-th example and without them on every `plain_step`-th; a few through the exported
// function, whose fresh blinding draw pays the entropy gathering.
void check_examples(size_t crt_step, size_t plain_step) {
  const auto all = examples();
  ASSERT_EQ(all.size(), 75u);
  for (size_t i = 0; i < all.size(); i++) {
    const Example &x = all[i];
    const QL_RSA_PUBLIC_KEY pub = public_of(x.key);
    Big out{};
    ASSERT_EQ(QL_RSA_PublicKeyExp(&out, &x.em, &pub), 0) << x.where;
    EXPECT_TRUE(equal(out, x.ct)) << x.where;
    const Big blind = blind_draw(static_cast<uint32_t>(i));
    if (i % crt_step == 0) {
      Big back{};
      ASSERT_EQ(ql::rsa_private_exp(back, x.ct, x.key, &blind), 0) << x.where;
      EXPECT_TRUE(equal(back, x.em)) << x.where;
    }
    if (i % plain_step == 0) {
      Big plain{};
      ASSERT_EQ(ql::rsa_private_exp(plain, x.ct, without_crt(x.key), &blind), 0) << x.where;
      EXPECT_TRUE(equal(plain, x.em)) << x.where;
    }
    if (i % 35 == 0) {
      Big fresh = x.ct;  // output may be the input
      ASSERT_EQ(QL_RSA_PrivateKeyExp(&fresh, &fresh, &x.key), 0) << x.where;
      EXPECT_TRUE(equal(fresh, x.em)) << x.where;
      EXPECT_EQ(QL_RSA_ProveKeyPair(&x.key, &pub), 0) << x.where;
    }
  }
}

// The first example of each of the 15 keys (1024 to 1031, 1536 and 2048 bits) with CRT, the
// keys of 1024, 1025 and 1031 bits without.
TEST(Rsa, PublishedExamplesBothWays) { check_examples(5, 30); }

TEST(Rsa, HeavyPublishedExamplesEveryPrivateCase) { check_examples(1, 5); }

TEST(Rsa, InputRangeIsZeroToN) {
  const auto all = examples();
  const QL_RSA_PRIVATE_KEY &key = all[0].key;
  const QL_RSA_PUBLIC_KEY pub = public_of(key);
  const Big blind = blind_draw(1);
  Big n_plus_1{};
  ASSERT_EQ(Big_AddByWord(&n_plus_1, &key.n, 1), 0);
  Big minus_5 = word(5);
  minus_5.sign = 1;
  Big minus_0 = word(0);
  minus_0.sign = 1;
  struct Case {
    const Big *in;
    int32_t pub_code, priv_code;
    bool zero_result;
  } cases[] = {
      {&key.n, 0, 0, true},
      {&n_plus_1, -4503, -4502, false},
      {&minus_5, -4503, -4502, false},
      {&minus_0, 0, 0, true},
  };
  for (const auto &c : cases) {
    for (const QL_RSA_PRIVATE_KEY &k : {key, without_crt(key)}) {
      Big out = word(77);
      EXPECT_EQ(QL_RSA_PublicKeyExp(&out, c.in, &pub), c.pub_code);
      if (c.pub_code != 0) { EXPECT_EQ(out.words[0], 77u); }
      if (c.zero_result) { EXPECT_EQ(Big_GetFilledBitNum(&out), 0); }
      out = word(77);
      EXPECT_EQ(ql::rsa_private_exp(out, *c.in, k, &blind), c.priv_code);
      EXPECT_EQ(Big_GetFilledBitNum(&out), c.zero_result ? 0 : 7);
    }
  }
}

TEST(Rsa, UnusableKeysAndNullArguments) {
  const auto all = examples();
  const QL_RSA_PRIVATE_KEY good = all[0].key;
  const Big in = word(2);
  Big out{};
  auto with = [&](void (*change)(QL_RSA_PRIVATE_KEY &)) {
    QL_RSA_PRIVATE_KEY k = good;
    change(k);
    return k;
  };
  const QL_RSA_PRIVATE_KEY bad[] = {
      with([](QL_RSA_PRIVATE_KEY &k) { k.n.words[0] ^= 1; }),  // even modulus
      with([](QL_RSA_PRIVATE_KEY &k) { k.n = Big{}; }),
      with([](QL_RSA_PRIVATE_KEY &k) { k.n = word(1); }),
      with([](QL_RSA_PRIVATE_KEY &k) { k.n.sign = 1; }),
      with([](QL_RSA_PRIVATE_KEY &k) {  // 129 words
        k.n.words[128] = 1;
        k.n.length = 129;
      }),
      with([](QL_RSA_PRIVATE_KEY &k) { k.e = Big{}; }),
      with([](QL_RSA_PRIVATE_KEY &k) { k.p.words[0] ^= 1; }),  // even CRT prime
      with([](QL_RSA_PRIVATE_KEY &k) { k.q = word(0); }),
      with([](QL_RSA_PRIVATE_KEY &k) { k.dQ.sign = 1; }),
      with([](QL_RSA_PRIVATE_KEY &k) {  // neither d nor the CRT values
        k = without_crt(k);
        k.d = word(0);
      }),
  };
  for (const auto &k : bad) {
    out = word(9);
    EXPECT_EQ(QL_RSA_PrivateKeyExp(&out, &in, &k), -4508);
    EXPECT_EQ(out.words[0], 9u);
  }
  for (size_t i = 0; i < 6; i++) {  // the entries that concern n and e
    const QL_RSA_PUBLIC_KEY pub = public_of(bad[i]);
    EXPECT_EQ(QL_RSA_PublicKeyExp(&out, &in, &pub), -4508) << i;
  }
  const QL_RSA_PUBLIC_KEY pub = public_of(good);
  EXPECT_EQ(QL_RSA_PublicKeyExp(nullptr, &in, &pub), -4507);
  EXPECT_EQ(QL_RSA_PublicKeyExp(&out, nullptr, &pub), -4507);
  EXPECT_EQ(QL_RSA_PublicKeyExp(&out, &in, nullptr), -4507);
  EXPECT_EQ(QL_RSA_PrivateKeyExp(nullptr, &in, &good), -4507);
  EXPECT_EQ(QL_RSA_PrivateKeyExp(&out, nullptr, &good), -4507);
  EXPECT_EQ(QL_RSA_PrivateKeyExp(&out, &in, nullptr), -4507);
  EXPECT_EQ(QL_RSA_ProveKeyPair(nullptr, &pub), -4507);
  EXPECT_EQ(QL_RSA_ProveKeyPair(&good, nullptr), -4507);
  QL_RSA_PRIVATE_KEY k{};
  QL_RSA_PUBLIC_KEY pk{};
  EXPECT_EQ(QL_RSA_GenerateKey(nullptr, &pk, 128, nullptr), -4507);
  EXPECT_EQ(QL_RSA_GenerateKey(&k, nullptr, 128, nullptr), -4507);
}

TEST(Rsa, FaultyKeysReleaseNothing) {
  // One wrong bit in a CRT value or in d (as a fault would leave it) must not produce a
  // result: the check with e refuses it in critical form, and the pair test reports it.
  const auto all = examples();
  const QL_RSA_PRIVATE_KEY good = all[5].key;
  const QL_RSA_PUBLIC_KEY pub = public_of(good);
  QL_RSA_PRIVATE_KEY faulty[4] = {good, good, good, without_crt(good)};
  faulty[0].dP.words[3] ^= 0x10;
  faulty[1].dQ.words[0] ^= 0x2;
  faulty[2].qInv.words[7] ^= 0x80000000u;
  faulty[3].d.words[1] ^= 0x4;
  const Big blind = blind_draw(3);
  for (const auto &k : faulty) {
    Big out = word(5);
    EXPECT_EQ(ql::rsa_private_exp(out, all[5].ct, k, &blind), ql::critical(-4509));
    EXPECT_EQ(out.words[0], 5u);
    EXPECT_EQ(out.length, 1);
    EXPECT_EQ(QL_RSA_ProveKeyPair(&k, &pub), -4501);
  }
  // A blinding draw that shares a factor with n has no inverse (a fresh draw would follow).
  Big out = word(5);
  EXPECT_EQ(ql::rsa_private_exp(out, all[5].ct, good, &good.p), -2003);
  EXPECT_EQ(out.words[0], 5u);
  // A matching private key with the public key of another pair.
  const QL_RSA_PUBLIC_KEY other = public_of(all[10].key);
  EXPECT_EQ(QL_RSA_ProveKeyPair(&good, &other), -4501);
}

TEST(Rsa, AllocationFailuresAreCriticalAndLeaveOutputs) {
  const auto all = examples();
  const Example &x = all[0];
  for (const QL_RSA_PRIVATE_KEY &k : {x.key, without_crt(x.key)}) {
    for (int64_t n = 0;; n++) {
      Big out = word(3);
      ql::test::alloc_fail_at(n);
      const int32_t st = QL_RSA_PrivateKeyExp(&out, &x.ct, &k);
      ql::test::alloc_fail_at(-1);
      if (st == 0) {
        EXPECT_TRUE(equal(out, x.em));
        EXPECT_GE(n, 3);  // scratch, blinding draw, and at least one table
        break;
      }
      EXPECT_TRUE(ql::is_critical(st)) << n << ": " << st;
      const int32_t code = ql::uncritical(st);
      EXPECT_TRUE(code == -4504 || code == -1505 || code == -2005) << n << ": " << code;
      EXPECT_EQ(out.words[0], 3u);
      ASSERT_LT(n, 50);
    }
  }
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(QL_RSA_PublicKey_New(), nullptr);
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(QL_RSA_PrivateKey_New(), nullptr);
  ql::test::alloc_fail_at(-1);
  QL_RSA_PUBLIC_KEY *pub = QL_RSA_PublicKey_New();
  QL_RSA_PRIVATE_KEY *priv = QL_RSA_PrivateKey_New();
  ASSERT_NE(pub, nullptr);
  ASSERT_NE(priv, nullptr);
  EXPECT_EQ(pub->n.length, 0);
  EXPECT_EQ(priv->qInv.length, 0);
  QL_RSA_PublicKey_Delete(pub);
  QL_RSA_PrivateKey_Delete(priv);
  QL_RSA_PublicKey_Delete(nullptr);
  QL_RSA_PrivateKey_Delete(nullptr);
}

TEST(Rsa, GenerateKeyRefusesWhatCannotTerminate) {
  QL_RSA_PRIVATE_KEY priv{};
  QL_RSA_PUBLIC_KEY pub{};
  priv.n = word(11);
  for (const uint32_t k : {0u, 8u, 120u, 127u, 129u, 132u, 260u, 520u, 1024u}) {
    EXPECT_EQ(QL_RSA_GenerateKey(&priv, &pub, k, nullptr), -4505) << k;
  }
  Big huge{};
  huge.words[8] = 1;  // 2^256 + 1
  huge.words[0] = 1;
  huge.length = 9;
  Big negative = word(65537);
  negative.sign = 1;
  const Big exponents[] = {word(0), word(1), word(2), word(65536), huge, negative};
  for (const Big &e : exponents) { EXPECT_EQ(QL_RSA_GenerateKey(&priv, &pub, 128, &e), -4506); }
  EXPECT_EQ(priv.n.words[0], 11u);  // refusals write nothing
}

// The generated key's structure: sizes, p > q, e, d e = 1 mod lcm(p-1, q-1), CRT values.
void check_generated(const QL_RSA_PRIVATE_KEY &k, const QL_RSA_PUBLIC_KEY &pub, uint32_t bytes,
                     uint32_t e) {
  EXPECT_EQ(Big_GetFilledBitNum(&k.n), static_cast<int32_t>(8 * bytes));
  EXPECT_EQ(Big_GetFilledBitNum(&k.p), static_cast<int32_t>(4 * bytes));
  EXPECT_EQ(Big_GetFilledBitNum(&k.q), static_cast<int32_t>(4 * bytes));
  EXPECT_EQ(Big_UComp(&k.p, &k.q), 1);
  EXPECT_TRUE(equal(k.e, word(e)));
  EXPECT_TRUE(equal(pub.n, k.n));
  EXPECT_TRUE(equal(pub.e, k.e));
  Big n{};
  ASSERT_EQ(Big_Mul(&n, &k.p, &k.q), 0);
  EXPECT_TRUE(equal(n, k.n));
  Big p1 = k.p;
  Big q1 = k.q;
  ASSERT_EQ(Big_SubByWord(&p1, &k.p, 1), 0);
  ASSERT_EQ(Big_SubByWord(&q1, &k.q, 1), 0);
  Big de{};
  Big r{};
  ASSERT_EQ(Big_Mul(&de, &k.d, &k.e), 0);
  for (const Big *m : {&p1, &q1}) {  // d e = 1 modulo p - 1 and q - 1, so modulo their lcm
    ASSERT_EQ(Big_Mod(&r, &de, m), 0);
    EXPECT_TRUE(equal(r, word(1)));
  }
  ASSERT_EQ(Big_Mod(&r, &k.d, &p1), 0);
  EXPECT_TRUE(equal(r, k.dP));
  ASSERT_EQ(Big_Mod(&r, &k.d, &q1), 0);
  EXPECT_TRUE(equal(r, k.dQ));
  ASSERT_EQ(Big_MulMod(&r, &k.qInv, &k.q, &k.p), 0);
  EXPECT_TRUE(equal(r, word(1)));
  EXPECT_EQ(QL_RSA_ProveKeyPair(&k, &pub), 0);
}

TEST(Rsa, GeneratedKeyStructure) {
  // A caller's exponent is checked against OpenSSL in the differential tests.
  QL_RSA_PRIVATE_KEY priv{};
  QL_RSA_PUBLIC_KEY pub{};
  ASSERT_EQ(QL_RSA_GenerateKey(&priv, &pub, 128, nullptr), 0);
  check_generated(priv, pub, 128, 65537);
}

}  // namespace
