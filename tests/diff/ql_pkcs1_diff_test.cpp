// PKCS #1 against OpenSSL on keys OpenSSL generates: each side decrypts what the other
// encrypts (v1.5, and OAEP with every label digest, MGF digests differing from it, labels up to
// 32768 bytes), each verifies what the other signs (v1.5 with every DigestInfo OpenSSL knows,
// PSS with every digest), HAS-160 v1.5 blocks recovered with OpenSSL's raw public operation,
// MGF1, and the key encodings in both directions.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_openssl_x509.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct PkeyDel {
  void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyDel>;
struct CtxDel {
  void operator()(EVP_PKEY_CTX *c) const { EVP_PKEY_CTX_free(c); }
};
using Ctx = std::unique_ptr<EVP_PKEY_CTX, CtxDel>;

std::mt19937 &rng() {
  static std::mt19937 g(20261209);
  return g;
}

Bytes random_bytes(size_t n) {
  Bytes b(n);
  for (auto &v : b) { v = static_cast<uint8_t>(rng()()); }
  return b;
}

Big big_of(const BIGNUM *b) {
  Big r{};
  Bytes bytes(static_cast<size_t>(BN_num_bytes(b)));
  BN_bn2bin(b, bytes.data());
  if (bytes.empty()) { return r; }
  EXPECT_EQ(U8ToBig(&r, bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
  return r;
}

Bytes bytes_of(const Big &b) {
  Bytes out(4 * QL_BIG_WORDS);
  out.resize(static_cast<size_t>(BigToU8(out.data(), &b)));
  return out;
}

// One OpenSSL key and the same key in our records.
struct Key {
  Pkey pkey;
  QL_RSA_PRIVATE_KEY priv{};
  QL_RSA_PUBLIC_KEY pub{};
  uint32_t k = 0;
  uint32_t bits = 0;
};

const Key &key(int bits) {
  static std::vector<std::unique_ptr<Key>> keys;
  for (const auto &k : keys) {
    if (static_cast<int>(k->bits) == bits) { return *k; }
  }
  auto k = std::make_unique<Key>();
  k->pkey.reset(EVP_RSA_gen(static_cast<unsigned>(bits)));
  const RSA *rsa = EVP_PKEY_get0_RSA(k->pkey.get());
  const BIGNUM *n, *e, *d, *p, *q, *dp, *dq, *qinv;
  RSA_get0_key(rsa, &n, &e, &d);
  RSA_get0_factors(rsa, &p, &q);
  RSA_get0_crt_params(rsa, &dp, &dq, &qinv);
  k->priv = {big_of(n), big_of(e),  big_of(d),  big_of(p),
             big_of(q), big_of(dp), big_of(dq), big_of(qinv)};
  k->pub = {big_of(n), big_of(e)};
  k->bits = static_cast<uint32_t>(BN_num_bits(n));
  k->k = (k->bits + 7) / 8;
  keys.push_back(std::move(k));
  return *keys.back();
}

const EVP_MD *md_of(int32_t hash_id) {
  switch (hash_id) {
    case QL_HASH_SHA1:
      return EVP_sha1();
    case QL_HASH_SHA256:
      return EVP_sha256();
    case QL_HASH_SHA384:
      return EVP_sha384();
    default:
      return EVP_sha512();
  }
}
const EVP_MD *mgf_md_of(int32_t mgf_id) { return md_of(mgf_id == 1 ? QL_HASH_SHA1 : mgf_id); }
uint32_t digest_len(int32_t hash_id) {
  return static_cast<uint32_t>(EVP_MD_get_size(md_of(hash_id)));
}

Ctx ctx_of(const Key &k) { return Ctx(EVP_PKEY_CTX_new(k.pkey.get(), nullptr)); }

void set_oaep(EVP_PKEY_CTX *c, const QL_OAEP_PARAM &p) {
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c, RSA_PKCS1_OAEP_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_oaep_md(c, md_of(p.hash_id)), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_mgf1_md(c, mgf_md_of(p.mgf_id)), 1);
  if (p.label_len != 0) {
    auto *label = static_cast<unsigned char *>(OPENSSL_malloc(p.label_len));
    std::memcpy(label, p.label, p.label_len);
    ASSERT_EQ(EVP_PKEY_CTX_set0_rsa_oaep_label(c, label, static_cast<int>(p.label_len)), 1);
  }
}

// OpenSSL's encryption or decryption of `in` (OAEP under `oaep`, or v1.5 when null); empty
// when decryption fails.
Bytes openssl_crypt(const Key &k, const Bytes &in, const QL_OAEP_PARAM *oaep, bool decrypt) {
  Ctx ctx = ctx_of(k);
  EXPECT_EQ(decrypt ? EVP_PKEY_decrypt_init(ctx.get()) : EVP_PKEY_encrypt_init(ctx.get()), 1);
  if (oaep != nullptr) {
    set_oaep(ctx.get(), *oaep);
  } else {
    EXPECT_EQ(EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING), 1);
  }
  Bytes out(k.k);
  size_t len = out.size();
  const int ok = decrypt ? EVP_PKEY_decrypt(ctx.get(), out.data(), &len, in.data(), in.size())
                         : EVP_PKEY_encrypt(ctx.get(), out.data(), &len, in.data(), in.size());
  EXPECT_TRUE(decrypt || ok == 1);
  if (ok != 1) { return {}; }
  out.resize(len);
  return out;
}
Bytes openssl_decrypt(const Key &k, const Bytes &c, const QL_OAEP_PARAM *oaep) {
  return openssl_crypt(k, c, oaep, true);
}
Bytes openssl_encrypt(const Key &k, const Bytes &m, const QL_OAEP_PARAM *oaep) {
  return openssl_crypt(k, m, oaep, false);
}

TEST(Pkcs1Diff, V15EncryptionBothWays) {
  for (int bits : {1024, 2049}) {
    const Key &k = key(bits);
    for (uint32_t m_len : {bits == 1024 ? 0u : 31u, k.k - 11}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, message " << m_len);
      const Bytes m = random_bytes(m_len == 0 ? 1 : m_len);
      Bytes c(k.k), out(k.k);
      uint32_t len = 0;
      ASSERT_EQ(QL_PKCS1_V15_Encrypt(c.data(), &len, m.data(), m_len, &k.pub), 0);
      const Bytes want(m.begin(), m.begin() + m_len);
      EXPECT_EQ(openssl_decrypt(k, c, nullptr), want);
      const Bytes theirs = openssl_encrypt(k, want, nullptr);
      ASSERT_EQ(QL_PKCS1_V15_Decrypt(out.data(), &len, theirs.data(), k.k, &k.priv), 0);
      EXPECT_EQ(Bytes(out.begin(), out.begin() + len), want);
    }
  }
}

// Every label digest, once with its own digest as MGF and once with another, the label
// lengths taken in turn from 0, 1, 32767 and 32768 bytes, messages of every length class.
// (Each of our calls here gathers entropy: the cases are few on purpose.)
TEST(Pkcs1Diff, OaepBothWays) {
  const Key &k = key(2049);
  const uint32_t label_lens[] = {0, 1, 32767, 32768};
  int turn = 0;
  for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
    for (int32_t mgf_id : {hash_id == QL_HASH_SHA1 ? 1 : hash_id, hash_id == 5 ? 1 : 5}) {
      const uint32_t label_len = label_lens[turn % 4];
      Bytes label = random_bytes(label_len);
      QL_OAEP_PARAM p{hash_id, mgf_id, 1, label_len != 0 ? label.data() : nullptr, label_len};
      const uint32_t max = k.k - 2 * digest_len(hash_id) - 2;
      const uint32_t m_len = turn % 3 == 0 ? max : turn % 3 == 1 ? 0 : 17;
      turn++;
      SCOPED_TRACE(testing::Message()
                   << hash_id << "/" << mgf_id << " label " << label_len << " message " << m_len);
      const Bytes m = random_bytes(m_len);
      Bytes c(k.k), out(k.k);
      uint32_t len = 0;
      ASSERT_EQ(QL_PKCS1_OAEP_Encrypt(c.data(), &len, m.data(), m_len, &k.pub, &p), 0);
      EXPECT_EQ(openssl_decrypt(k, c, &p), m);
      const Bytes theirs = openssl_encrypt(k, m, &p);
      ASSERT_EQ(QL_PKCS1_OAEP_Decrypt(out.data(), &len, theirs.data(), k.k, &k.priv, &p), 0);
      EXPECT_EQ(Bytes(out.begin(), out.begin() + len), m);
    }
  }
}

// OpenSSL's raw public operation: s^e mod n as a k-byte block.
Bytes openssl_raw_public(const Key &k, const Bytes &s) {
  Bytes out(k.k);
  const int n =
      RSA_public_decrypt(static_cast<int>(s.size()), s.data(), out.data(),
                         const_cast<RSA *>(EVP_PKEY_get0_RSA(k.pkey.get())), RSA_NO_PADDING);
  EXPECT_EQ(n, static_cast<int>(k.k));
  return out;
}

TEST(Pkcs1Diff, V15SignaturesBothWays) {
  for (int bits : {2049}) {
    const Key &k = key(bits);
    for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
      SCOPED_TRACE(testing::Message() << bits << " bits, digest " << hash_id);
      const uint32_t h_len = digest_len(hash_id);
      const Bytes h = random_bytes(h_len);
      Bytes sig(k.k);
      uint32_t len = 0;
      ASSERT_EQ(QL_PKCS1_V15_Sign(sig.data(), &len, hash_id, h.data(), h_len, &k.priv), 0);
      Ctx v = ctx_of(k);
      ASSERT_EQ(EVP_PKEY_verify_init(v.get()), 1);
      ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(v.get(), RSA_PKCS1_PADDING), 1);
      ASSERT_EQ(EVP_PKEY_CTX_set_signature_md(v.get(), md_of(hash_id)), 1);
      EXPECT_EQ(EVP_PKEY_verify(v.get(), sig.data(), sig.size(), h.data(), h.size()), 1);
      // v1.5 signatures are deterministic: OpenSSL's is the same bytes, and ours verifies it.
      Ctx s = ctx_of(k);
      ASSERT_EQ(EVP_PKEY_sign_init(s.get()), 1);
      ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(s.get(), RSA_PKCS1_PADDING), 1);
      ASSERT_EQ(EVP_PKEY_CTX_set_signature_md(s.get(), md_of(hash_id)), 1);
      Bytes theirs(k.k);
      size_t theirs_len = theirs.size();
      ASSERT_EQ(EVP_PKEY_sign(s.get(), theirs.data(), &theirs_len, h.data(), h.size()), 1);
      EXPECT_EQ(theirs, sig);
      EXPECT_EQ(QL_PKCS1_V15_Verify(theirs.data(), k.k, hash_id, h.data(), h_len, &k.pub), 0);
    }
    // HAS-160, which OpenSSL does not know: the block recovered with the raw public operation
    // is the v1.5 padding of the DigestInfo OpenSSL encodes for its identifier; and without a
    // digest identifier the value is signed as it is, as OpenSSL's type-1 padding does.
    const Bytes h = random_bytes(20);
    Bytes sig(k.k);
    uint32_t len = 0;
    ASSERT_EQ(QL_PKCS1_V15_Sign(sig.data(), &len, QL_HASH_HAS160, h.data(), 20, &k.priv), 0);
    const Bytes info = qltest::openssl_digest_info("1.2.410.200004.1.2", h.data(), h.size());
    Bytes want(k.k, 0xff);
    want[0] = 0x00;
    want[1] = 0x01;
    want[k.k - info.size() - 1] = 0x00;
    std::copy(info.begin(), info.end(), want.end() - static_cast<long>(info.size()));
    EXPECT_EQ(openssl_raw_public(k, sig), want);
    EXPECT_EQ(QL_PKCS1_V15_Verify(sig.data(), k.k, QL_HASH_HAS160, h.data(), 20, &k.pub), 0);
    const Bytes raw = random_bytes(k.k - 11);
    ASSERT_EQ(QL_PKCS1_V15_Sign(sig.data(), &len, -1, raw.data(), k.k - 11, &k.priv), 0);
    Bytes theirs(k.k);
    ASSERT_EQ(
        RSA_private_encrypt(static_cast<int>(raw.size()), raw.data(), theirs.data(),
                            const_cast<RSA *>(EVP_PKEY_get0_RSA(k.pkey.get())), RSA_PKCS1_PADDING),
        static_cast<int>(k.k));
    EXPECT_EQ(theirs, sig);
  }
}

void set_pss(EVP_PKEY_CTX *c, const QL_PSS_PARAM &p) {
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(c, RSA_PKCS1_PSS_PADDING), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_signature_md(c, md_of(p.hash_id)), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_mgf1_md(c, mgf_md_of(p.mgf_id)), 1);
  ASSERT_EQ(EVP_PKEY_CTX_set_rsa_pss_saltlen(c, static_cast<int>(digest_len(p.hash_id))), 1);
}

TEST(Pkcs1Diff, PssBothWays) {
  // 2049 bits: the encoded block is one byte shorter than the modulus.
  for (int bits : {1024, 2048, 2049}) {
    const Key &k = key(bits);
    for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
      const uint32_t h_len = digest_len(hash_id);
      if (16 * h_len + 9 > k.bits - 1) { continue; }
      for (int32_t mgf_id : {hash_id == QL_HASH_SHA1 ? 1 : hash_id, hash_id == 5 ? 3 : 5}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, " << hash_id << "/" << mgf_id);
        const QL_PSS_PARAM p{hash_id, mgf_id};
        const Bytes h = random_bytes(h_len);
        Bytes sig(k.k);
        uint32_t len = 0;
        ASSERT_EQ(QL_PKCS1_PSS_Sign(sig.data(), &len, h.data(), h_len, &k.priv, &p), 0);
        Ctx v = ctx_of(k);
        ASSERT_EQ(EVP_PKEY_verify_init(v.get()), 1);
        set_pss(v.get(), p);
        EXPECT_EQ(EVP_PKEY_verify(v.get(), sig.data(), sig.size(), h.data(), h.size()), 1);
        Ctx s = ctx_of(k);
        ASSERT_EQ(EVP_PKEY_sign_init(s.get()), 1);
        set_pss(s.get(), p);
        Bytes theirs(k.k);
        size_t theirs_len = theirs.size();
        ASSERT_EQ(EVP_PKEY_sign(s.get(), theirs.data(), &theirs_len, h.data(), h.size()), 1);
        EXPECT_EQ(QL_PKCS1_PSS_Verify(theirs.data(), k.k, h.data(), h_len, &k.pub, &p), 0);
      }
    }
  }
}

TEST(Pkcs1Diff, Mgf1) {
  const Bytes seed = random_bytes(37);
  for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
    for (long len : {1L, 19L, 20L, 64L, 65L, 1000L}) {
      Bytes ours(static_cast<size_t>(len)), theirs(static_cast<size_t>(len));
      ASSERT_EQ(QL_PKCS1_MGF1(ours.data(), static_cast<uint32_t>(len), seed.data(), 37, hash_id),
                0);
      ASSERT_EQ(PKCS1_MGF1(theirs.data(), len, seed.data(), 37, md_of(hash_id)), 0);
      EXPECT_EQ(ours, theirs) << hash_id << " " << len;
    }
  }
}

template <typename T, typename F>
Bytes der_of(T *obj, F i2d) {
  unsigned char *der = nullptr;
  const int len = i2d(obj, &der);
  Bytes out(der, der + len);
  OPENSSL_free(der);
  return out;
}

bool same(const Big &a, const Big &b) { return Big_Comp(&a, &b) == 0; }

TEST(Pkcs1Diff, KeyEncodingsBothWays) {
  for (int bits : {1024, 2049}) {
    SCOPED_TRACE(bits);
    const Key &k = key(bits);
    const RSA *rsa = EVP_PKEY_get0_RSA(k.pkey.get());
    // Ours parsed by OpenSSL, and byte for byte the encoding OpenSSL writes (DER is unique).
    uint32_t len = 0;
    ASSERT_EQ(QL_PKCS1_PublicKeyEncode(nullptr, &k.pub, &len), 0);
    Bytes pub_der(len);
    ASSERT_EQ(QL_PKCS1_PublicKeyEncode(pub_der.data(), &k.pub, &len), 0);
    pub_der.resize(len);
    const unsigned char *p = pub_der.data();
    RSA *parsed = d2i_RSAPublicKey(nullptr, &p, static_cast<long>(pub_der.size()));
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(p, pub_der.data() + pub_der.size());
    EXPECT_EQ(BN_cmp(RSA_get0_n(parsed), RSA_get0_n(rsa)), 0);
    RSA_free(parsed);
    EXPECT_EQ(pub_der, der_of(rsa, i2d_RSAPublicKey));

    ASSERT_EQ(QL_PKCS1_PrivateKeyEncode(nullptr, &k.priv, &len), 0);
    Bytes priv_der(len);
    ASSERT_EQ(QL_PKCS1_PrivateKeyEncode(priv_der.data(), &k.priv, &len), 0);
    priv_der.resize(len);
    p = priv_der.data();
    parsed = d2i_RSAPrivateKey(nullptr, &p, static_cast<long>(priv_der.size()));
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(RSA_check_key(parsed), 1);
    RSA_free(parsed);
    const Bytes theirs = der_of(rsa, i2d_RSAPrivateKey);
    EXPECT_EQ(priv_der, theirs);

    // OpenSSL's encodings read by ours.
    const Bytes their_pub = der_of(rsa, i2d_RSAPublicKey);
    QL_RSA_PUBLIC_KEY pub{};
    ASSERT_EQ(QL_PKCS1_PublicKeyDecode(&pub, their_pub.data()), 0);
    EXPECT_TRUE(same(pub.n, k.pub.n) && same(pub.e, k.pub.e));
    auto priv = std::make_unique<QL_RSA_PRIVATE_KEY>();
    ASSERT_EQ(
        QL_PKCS1_PrivateKeyDecode(priv.get(), theirs.data(), static_cast<uint32_t>(theirs.size())),
        0);
    for (const Big *a = &priv->n, *b = &k.priv.n; a <= &priv->qInv; a++, b++) {
      EXPECT_EQ(bytes_of(*a), bytes_of(*b));
    }
  }
}

}  // namespace
