// RSA primitives and DER INTEGERs against OpenSSL, through the shared library's exported
// functions: raw public and private operations (with and without the CRT values) against
// BN_mod_exp on OpenSSL's keys, our generated keys against RSA_check_key, the key structure
// recomputed with BIGNUMs and OpenSSL's raw private operation, and INTEGER encodings against
// i2d_ASN1_INTEGER.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"

namespace {

// One BIGNUM, freed with its owner.
class Num {
 public:
  Num() : b_(BN_new()) {}
  explicit Num(const Big &a) : b_(nullptr) {
    std::vector<uint8_t> bytes(QL_BIG_MAX_BYTES);
    const int32_t len = BigToU8(bytes.data(), &a);
    b_ = BN_bin2bn(bytes.data(), len, nullptr);
    BN_set_negative(b_, a.sign != 0 && len != 0 ? 1 : 0);
  }
  ~Num() { BN_free(b_); }
  Num(const Num &) = delete;
  Num &operator=(const Num &) = delete;
  BIGNUM *get() const { return b_; }
  BIGNUM **out() { return &b_; }

 private:
  BIGNUM *b_;
};

Big to_big(const BIGNUM *b) {
  std::vector<uint8_t> bytes(static_cast<size_t>(BN_num_bytes(b)) + 1);
  const int len = BN_bn2bin(b, bytes.data());
  Big r{};
  if (len > 0) { EXPECT_EQ(U8ToBig(&r, bytes.data(), static_cast<uint32_t>(len)), 0); }
  if (r.length == 0) { r.length = 1; }
  r.sign = BN_is_negative(b) ? 1 : 0;
  return r;
}

bool same(const Big &a, const BIGNUM *b) { return BN_cmp(Num(a).get(), b) == 0; }

BN_CTX *bn_ctx() {
  static BN_CTX *ctx = BN_CTX_new();
  return ctx;
}

const char *const kKeyParams[] = {OSSL_PKEY_PARAM_RSA_N,         OSSL_PKEY_PARAM_RSA_E,
                                  OSSL_PKEY_PARAM_RSA_D,         OSSL_PKEY_PARAM_RSA_FACTOR1,
                                  OSSL_PKEY_PARAM_RSA_FACTOR2,   OSSL_PKEY_PARAM_RSA_EXPONENT1,
                                  OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};

// The eight integers of the record, in its field order.
Big *key_field(QL_RSA_PRIVATE_KEY &k, int i) {
  Big *fields[] = {&k.n, &k.e, &k.d, &k.p, &k.q, &k.dP, &k.dQ, &k.qInv};
  return fields[i];
}

QL_RSA_PRIVATE_KEY from_openssl(EVP_PKEY *pkey) {
  QL_RSA_PRIVATE_KEY k{};
  for (int i = 0; i < 8; i++) {
    Num v;
    EXPECT_EQ(EVP_PKEY_get_bn_param(pkey, kKeyParams[i], v.out()), 1) << kKeyParams[i];
    *key_field(k, i) = to_big(v.get());
  }
  return k;
}

EVP_PKEY *to_openssl(QL_RSA_PRIVATE_KEY k) {
  OSSL_PARAM_BLD *bld = OSSL_PARAM_BLD_new();
  std::vector<Num *> nums;
  for (int i = 0; i < 8; i++) {
    nums.push_back(new Num(*key_field(k, i)));
    OSSL_PARAM_BLD_push_BN(bld, kKeyParams[i], nums.back()->get());
  }
  OSSL_PARAM *params = OSSL_PARAM_BLD_to_param(bld);
  EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
  EVP_PKEY *pkey = nullptr;
  EXPECT_EQ(EVP_PKEY_fromdata_init(ctx), 1);
  EXPECT_EQ(EVP_PKEY_fromdata(ctx, &pkey, EVP_PKEY_KEYPAIR, params), 1);
  EVP_PKEY_CTX_free(ctx);
  OSSL_PARAM_free(params);
  OSSL_PARAM_BLD_free(bld);
  for (Num *n : nums) { delete n; }
  return pkey;
}

// Raw operations on `key`: x^e and x^d for random x < n and the edges 0, 1, n - 1 and n,
// through the public operation and the private one with and without CRT values.
void raw_operations(const QL_RSA_PRIVATE_KEY &key, int num_random) {
  const int bits = Big_GetFilledBitNum(&key.n);
  QL_RSA_PRIVATE_KEY plain = key;
  plain.dP = Big{};
  plain.dQ = Big{};
  plain.qInv = Big{};
  QL_RSA_PUBLIC_KEY pub{};
  pub.n = key.n;
  pub.e = key.e;
  const Num n(key.n), e(key.e), d(key.d);
  std::vector<Big> inputs;
  for (const unsigned w : {0u, 1u}) {
    Big v{};
    v.words[0] = w;
    v.length = 1;
    inputs.push_back(v);
  }
  Big n_minus_1{};
  ASSERT_EQ(Big_SubByWord(&n_minus_1, &key.n, 1), 0);
  inputs.push_back(n_minus_1);
  inputs.push_back(key.n);
  for (int i = 0; i < num_random; i++) {
    Num x;
    ASSERT_EQ(BN_rand_range(x.get(), n.get()), 1);
    inputs.push_back(to_big(x.get()));
  }
  for (size_t i = 0; i < inputs.size(); i++) {
    const Num x(inputs[i]);
    Num want_pub, want_priv;
    ASSERT_EQ(BN_mod_exp(want_pub.get(), x.get(), e.get(), n.get(), bn_ctx()), 1);
    ASSERT_EQ(BN_mod_exp(want_priv.get(), x.get(), d.get(), n.get(), bn_ctx()), 1);
    Big out{};
    ASSERT_EQ(QL_RSA_PublicKeyExp(&out, &inputs[i], &pub), 0) << bits << " input " << i;
    EXPECT_TRUE(same(out, want_pub.get())) << bits << " input " << i;
    // Every fresh blinding draw pays the entropy gathering: the key without CRT values takes
    // n - 1 and the last input only.
    for (const QL_RSA_PRIVATE_KEY *k : {&key, static_cast<const QL_RSA_PRIVATE_KEY *>(&plain)}) {
      if (k == &plain && i % 2 == 1) { continue; }
      ASSERT_EQ(QL_RSA_PrivateKeyExp(&out, &inputs[i], k), 0) << bits << " input " << i;
      EXPECT_TRUE(same(out, want_priv.get())) << bits << " input " << i;
    }
  }
}

// OpenSSL's keys at 1024 and 2048 bits (their p may be below q); the 3072- and 4096-bit
// cases run on our generated keys below.
TEST(RsaDiff, RawOperationsAgainstBnModExp) {
  for (const unsigned bits : {1024u, 2048u}) {
    EVP_PKEY *pkey = EVP_RSA_gen(bits);
    ASSERT_NE(pkey, nullptr);
    const QL_RSA_PRIVATE_KEY key = from_openssl(pkey);
    EVP_PKEY_free(pkey);
    raw_operations(key, bits == 1024 ? 2 : 1);
  }
}

// The public operation on random odd moduli of RSA sizes and between them (full and partial top
// limbs), with exponents 3, 65537, 2^64 - 1 and random ones up to 256 bits, against BN_mod_exp;
// inputs at random, 0, 1, n - 1 and n.
TEST(RsaDiff, PublicOperationOnRandomModuliAgainstBnModExp) {
  const int sizes[] = {512, 1000, 1024, 1535, 2048, 2056, 3072, 4000, 4096};
  const char *fixed_exponents[] = {"3", "10001", "FFFFFFFFFFFFFFFF"};
  for (size_t i = 0; i < sizeof(sizes) / sizeof(sizes[0]); i++) {
    for (int round = 0; round < 4; round++) {
      Num n, e, x;
      ASSERT_EQ(BN_rand(n.get(), sizes[i], BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ODD), 1);
      if (round < 3) {
        BIGNUM *fixed = e.get();
        ASSERT_NE(BN_hex2bn(&fixed, fixed_exponents[round]), 0);
      } else {
        ASSERT_EQ(BN_rand(e.get(), 256, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ODD), 1);
      }
      QL_RSA_PUBLIC_KEY pub{};
      pub.n = to_big(n.get());
      pub.e = to_big(e.get());
      Num n_minus_1;
      BN_sub(n_minus_1.get(), n.get(), BN_value_one());
      ASSERT_EQ(BN_rand_range(x.get(), n.get()), 1);
      const BIGNUM *inputs[] = {x.get(), BN_value_one(), n_minus_1.get(), n.get()};
      for (int k = 0; k < 4; k++) {
        Num want;
        ASSERT_EQ(BN_mod_exp(want.get(), inputs[k], e.get(), n.get(), bn_ctx()), 1);
        const Big in = to_big(inputs[k]);
        Big out{};
        ASSERT_EQ(QL_RSA_PublicKeyExp(&out, &in, &pub), 0);
        EXPECT_TRUE(same(out, want.get())) << sizes[i] << " bits, round " << round << ", input " << k;
      }
    }
  }
}

// Our key of `bytes` bytes with the public exponent `exponent` (65537: the default): accepted by
// RSA_check_key, structured as generation promises (p > q, both halves of half the size, d = e^-1
// mod lcm(p - 1, q - 1)), and our private operation agrees with OpenSSL's raw one.
void generated_key(uint32_t bytes, uint32_t exponent) {
  QL_RSA_PRIVATE_KEY k{};
  QL_RSA_PUBLIC_KEY pub{};
  Big e_in{};
  e_in.words[0] = exponent;
  e_in.length = 1;
  ASSERT_EQ(QL_RSA_GenerateKey(&k, &pub, bytes, exponent == 65537 ? nullptr : &e_in), 0);
  EVP_PKEY *pkey = to_openssl(k);
  ASSERT_NE(pkey, nullptr);
  RSA *rsa = EVP_PKEY_get1_RSA(pkey);
  EXPECT_EQ(RSA_check_key(rsa), 1) << bytes;
  RSA_free(rsa);

  const Num n(k.n), e(k.e), d(k.d), p(k.p), q(k.q);
  EXPECT_EQ(BN_num_bits(n.get()), static_cast<int>(8 * bytes));
  EXPECT_EQ(BN_num_bits(p.get()), static_cast<int>(4 * bytes));
  EXPECT_EQ(BN_num_bits(q.get()), static_cast<int>(4 * bytes));
  EXPECT_GT(BN_cmp(p.get(), q.get()), 0);
  EXPECT_TRUE(BN_is_word(e.get(), exponent));
  Num p1, q1, g, lcm, rem, de;
  BN_sub(p1.get(), p.get(), BN_value_one());
  BN_sub(q1.get(), q.get(), BN_value_one());
  BN_gcd(g.get(), p1.get(), q1.get(), bn_ctx());
  BN_mul(lcm.get(), p1.get(), q1.get(), bn_ctx());
  BN_div(lcm.get(), rem.get(), lcm.get(), g.get(), bn_ctx());
  BN_mod_mul(de.get(), d.get(), e.get(), lcm.get(), bn_ctx());
  EXPECT_TRUE(BN_is_one(de.get()));
  EXPECT_LT(BN_cmp(d.get(), lcm.get()), 0);

  std::vector<uint8_t> in(bytes, 0x5A);
  in[0] = 0x01;
  std::vector<uint8_t> want(bytes);
  size_t want_len = want.size();
  EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new(pkey, nullptr);
  ASSERT_EQ(EVP_PKEY_decrypt_init(ctx), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_decrypt(ctx, want.data(), &want_len, in.data(), in.size()), 1);
  EVP_PKEY_CTX_free(ctx);
  EVP_PKEY_free(pkey);
  Big x{};
  ASSERT_EQ(U8ToBig(&x, in.data(), bytes), 0);
  Big out{};
  ASSERT_EQ(QL_RSA_PrivateKeyExp(&out, &x, &k), 0);
  std::vector<uint8_t> got(bytes);
  ASSERT_EQ(BigToU82(got.data(), &out, bytes), 0);
  EXPECT_EQ(got, want) << bytes;
  if (bytes > 256) { raw_operations(k, 1); }
}

TEST(RsaDiff, GeneratedKeysPassOpenSslChecks) { generated_key(256, 17); }

TEST(RsaDiff, HeavyGeneratedKeysPassOpenSslChecks) {
  generated_key(384, 65537);
  generated_key(512, 65537);
}

TEST(DerDiff, IntegersAgainstI2dAsn1Integer) {
  std::mt19937 rng(20261209);
  for (int i = 0; i < 400; i++) {
    // Sizes around byte and word boundaries, signs, and values with a single top bit (whose
    // negation is the one case that needs no extra byte).
    const int num_bytes = 1 + static_cast<int>(rng() % 300);
    std::vector<uint8_t> bytes(static_cast<size_t>(num_bytes));
    for (auto &b : bytes) { b = static_cast<uint8_t>(rng()); }
    if (i % 4 == 1) {
      std::fill(bytes.begin(), bytes.end(), 0);
      bytes[0] = static_cast<uint8_t>(1u << (rng() % 8));
    }
    Num v;
    BN_bin2bn(bytes.data(), num_bytes, v.get());
    BN_set_negative(v.get(), i % 2);
    ASN1_INTEGER *ai = BN_to_ASN1_INTEGER(v.get(), nullptr);
    unsigned char *der = nullptr;
    const int der_len = i2d_ASN1_INTEGER(ai, &der);
    ASSERT_GT(der_len, 0);
    const std::vector<uint8_t> want(der, der + der_len);
    OPENSSL_free(der);
    ASN1_INTEGER_free(ai);

    Big x = to_big(v.get());
    std::vector<uint8_t> got(Big_DerLength(&x) + 6);
    uint32_t got_len = 0;
    ASSERT_EQ(Big_DerEncode(got.data(), &got_len, &x), 0);
    got.resize(got_len);
    EXPECT_EQ(got, want) << i;
    Big back{};
    ASSERT_EQ(Big_DerDecode(&back, want.data(), static_cast<uint32_t>(want.size())), 0);
    EXPECT_TRUE(same(back, v.get())) << i;
  }
}

}  // namespace
