// The asymmetric dispatcher against OpenSSL, through the shared library: RSA-2048 and ECDSA
// keys made by the dispatcher are read by OpenSSL from the dispatcher's encodings; every RSA
// scheme's signature (one call and streamed in random pieces) verifies under OpenSSL, and
// OpenSSL's signatures verify here; the same for ECDSA on P-224 and P-256 with a key OpenSSL
// makes.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/rsa.h>

#include <memory>
#include <random>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_openssl_pkey.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <typename T>
using Ptr = qltest::Ossl<T>;
using qltest::encode;
using qltest::md_of;

Bytes random_bytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes b(n);
  for (auto &x : b) {
    x = static_cast<uint8_t>(gen());
  }
  return b;
}

// Signs `msg` through a stream fed in random pieces.
Bytes sign_streamed(int32_t sign_id, const QL_ASYM_KEY *priv, const QL_ASYM_KEY *params,
                    const QL_ASYM_SIGN_PARAM *sp, const Bytes &msg, uint32_t seed) {
  std::mt19937 gen(seed);
  QL_ASYM_CTX *ctx = QL_ASYM_CTX_New();
  EXPECT_EQ(0, QL_ASYM_Sign_Init(ctx, sign_id, priv, params, sp));
  for (size_t off = 0; off < msg.size();) {
    const size_t n = std::min<size_t>(gen() % 200, msg.size() - off);
    EXPECT_EQ(0, QL_ASYM_Sign_Update(ctx, msg.data() + off, static_cast<uint32_t>(n)));
    off += n;
  }
  Bytes sig(512);
  uint32_t len = 0;
  EXPECT_EQ(0, QL_ASYM_Sign_Final(ctx, sig.data(), &len));
  QL_ASYM_CTX_Delete(ctx);
  sig.resize(len);
  return sig;
}

struct RsaScheme {
  int32_t sign_id;
  QL_PSS_PARAM pss;  // hash_id 0: v1.5 with the scheme's own digest
  int32_t v15_digest;
};
const RsaScheme kRsaSchemes[] = {
    {3, {0, 0}, 2},  {4, {0, 0}, 3},  {5, {0, 0}, 4},  {6, {0, 0}, 5},
    {11, {2, 1}, 0}, {32, {3, 3}, 0}, {33, {4, 1}, 0}, {34, {5, 5}, 0},
};

void set_padding(EVP_PKEY_CTX *pctx, const RsaScheme &s) {
  if (s.pss.hash_id == 0) {
    ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING));
    return;
  }
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PSS_PADDING));
  const int32_t mgf = s.pss.mgf_id == 1 ? 2 : s.pss.mgf_id;
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_mgf1_md(pctx, md_of(mgf)));
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_pss_saltlen(pctx, RSA_PSS_SALTLEN_DIGEST));
}

TEST(AsymDiff, RsaSchemesBothWays) {
  QL_ASYM_KEY *priv = QL_ASYM_PrivateKey_New(), *pub = QL_ASYM_PublicKey_New();
  const QL_ASYM_KEYGEN_PARAM kg{256, 0};
  ASSERT_EQ(0, QL_ASYM_GenerateKeyPair(priv, pub, QL_PKEY_RSA, nullptr, &kg));
  const Bytes priv_der = encode(QL_ASYM_PrivateKey_Encode, priv, nullptr);
  const uint8_t *p = priv_der.data();
  Ptr<EVP_PKEY> key(d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &p, static_cast<long>(priv_der.size())));
  ASSERT_NE(nullptr, key);
  // The public encoding is OpenSSL's for the same key.
  const Bytes pub_der = encode(QL_ASYM_PublicKey_Encode, pub, nullptr);
  unsigned char *theirs = nullptr;
  const int their_len = i2d_RSAPublicKey(EVP_PKEY_get0_RSA(key.get()), &theirs);
  EXPECT_EQ(Bytes(theirs, theirs + their_len), pub_der);
  OPENSSL_free(theirs);

  const Bytes msg = random_bytes(1000, 11);
  for (const RsaScheme &s : kRsaSchemes) {
    SCOPED_TRACE(s.sign_id);
    QL_ASYM_SIGN_PARAM sp{};
    sp.pss = s.pss;
    const EVP_MD *md = md_of(s.pss.hash_id != 0 ? s.pss.hash_id : s.v15_digest);
    Bytes one(256);
    uint32_t one_len = 0;
    ASSERT_EQ(
        0, QL_ASYM_Sign(one.data(), &one_len, 0, msg.data(), 1000, s.sign_id, priv, nullptr, &sp));
    one.resize(one_len);
    for (const Bytes &sig : {one, sign_streamed(s.sign_id, priv, nullptr, &sp, msg, 5)}) {
      Ptr<EVP_MD_CTX> v(EVP_MD_CTX_new());
      EVP_PKEY_CTX *pctx = nullptr;
      ASSERT_EQ(1, EVP_DigestVerifyInit(v.get(), &pctx, md, nullptr, key.get()));
      set_padding(pctx, s);
      EXPECT_EQ(1, EVP_DigestVerify(v.get(), sig.data(), sig.size(), msg.data(), msg.size()));
    }
    Ptr<EVP_MD_CTX> sctx(EVP_MD_CTX_new());
    EVP_PKEY_CTX *pctx = nullptr;
    ASSERT_EQ(1, EVP_DigestSignInit(sctx.get(), &pctx, md, nullptr, key.get()));
    set_padding(pctx, s);
    Bytes theirs_sig(256);
    size_t sig_len = theirs_sig.size();
    ASSERT_EQ(1, EVP_DigestSign(sctx.get(), theirs_sig.data(), &sig_len, msg.data(), msg.size()));
    EXPECT_EQ(0, QL_ASYM_Verify(theirs_sig.data(), static_cast<uint32_t>(sig_len), 0, msg.data(),
                                1000, s.sign_id, pub, nullptr, &sp));
  }
  // Scheme 9: the caller's value wrapped as it is, as OpenSSL's raw v1.5 signature.
  const Bytes value = random_bytes(36, 12);
  Bytes sig(256);
  uint32_t sig_len = 0;
  ASSERT_EQ(0, QL_ASYM_Sign(sig.data(), &sig_len, 1, value.data(), 36, 9, priv, nullptr, nullptr));
  std::unique_ptr<EVP_PKEY_CTX, void (*)(EVP_PKEY_CTX *)> v(EVP_PKEY_CTX_new(key.get(), nullptr),
                                                            EVP_PKEY_CTX_free);
  ASSERT_EQ(1, EVP_PKEY_verify_init(v.get()));
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(v.get(), RSA_PKCS1_PADDING));
  EXPECT_EQ(1, EVP_PKEY_verify(v.get(), sig.data(), sig_len, value.data(), value.size()));
  QL_ASYM_PrivateKey_Delete(priv);
  QL_ASYM_PublicKey_Delete(pub);
}

TEST(AsymDiff, EcdsaBothWays) {
  const Bytes msg = random_bytes(777, 13);
  Bytes h(20);
  EVP_Digest(msg.data(), msg.size(), h.data(), nullptr, EVP_sha1(), nullptr);
  for (const auto &curve :
       {std::make_pair(224u, NID_secp224r1), std::make_pair(256u, NID_X9_62_prime256v1)}) {
    SCOPED_TRACE(curve.first);
    QL_ASYM_KEY *params = QL_ASYM_Parameters_New();
    ASSERT_EQ(0, QL_ASYM_GenerateParameters(params, QL_PKEY_ECDSA, &curve.first));
    QL_ASYM_KEY *priv = QL_ASYM_PrivateKey_New(), *pub = QL_ASYM_PublicKey_New();
    const QL_ASYM_KEYGEN_PARAM kg{};
    ASSERT_EQ(0, QL_ASYM_GenerateKeyPair(priv, pub, QL_PKEY_ECDSA, params, &kg));
    // Our public key in OpenSSL: the point inside the OCTET STRING.
    const Bytes pub_der = encode(QL_ASYM_PublicKey_Encode, pub, params);
    Ptr<EC_KEY> ours(EC_KEY_new_by_curve_name(curve.second));
    const uint8_t *pt = pub_der.data() + 2;
    ASSERT_EQ(1, EC_KEY_oct2key(ours.get(), pt, pub_der.size() - 2, nullptr));
    Bytes one(128);
    uint32_t one_len = 0;
    ASSERT_EQ(0, QL_ASYM_Sign(one.data(), &one_len, 0, msg.data(), 777, 21, priv, params, nullptr));
    one.resize(one_len);
    for (const Bytes &sig : {one, sign_streamed(21, priv, params, nullptr, msg, 6)}) {
      const uint8_t *s = sig.data();
      Ptr<ECDSA_SIG> parsed(d2i_ECDSA_SIG(nullptr, &s, static_cast<long>(sig.size())));
      ASSERT_NE(nullptr, parsed);
      EXPECT_EQ(1, ECDSA_do_verify(h.data(), 20, parsed.get(), ours.get()));
    }
    // OpenSSL's key and signature verified here.
    Ptr<EC_KEY> theirs(EC_KEY_new_by_curve_name(curve.second));
    ASSERT_EQ(1, EC_KEY_generate_key(theirs.get()));
    unsigned char *oct = nullptr;
    const size_t oct_len =
        EC_KEY_key2buf(theirs.get(), POINT_CONVERSION_UNCOMPRESSED, &oct, nullptr);
    Bytes der = {0x04, static_cast<uint8_t>(oct_len)};
    der.insert(der.end(), oct, oct + oct_len);
    OPENSSL_free(oct);
    QL_ASYM_KEY *their_pub = QL_ASYM_PublicKey_New();
    ASSERT_EQ(0, QL_ASYM_PublicKey_Decode(their_pub, QL_PKEY_ECDSA, der.data(),
                                          static_cast<uint32_t>(der.size()), params));
    EXPECT_EQ(0, QL_ASYM_VerifyPublicKey(their_pub, params));
    Ptr<ECDSA_SIG> their_sig(ECDSA_do_sign(h.data(), 20, theirs.get()));
    unsigned char *sig_der = nullptr;
    const int sig_len = i2d_ECDSA_SIG(their_sig.get(), &sig_der);
    EXPECT_EQ(0, QL_ASYM_Verify(sig_der, static_cast<uint32_t>(sig_len), 0, msg.data(), 777, 21,
                                their_pub, params, nullptr));
    EXPECT_NE(0, QL_ASYM_Verify(sig_der, static_cast<uint32_t>(sig_len), 0, msg.data(), 776, 21,
                                their_pub, params, nullptr));
    OPENSSL_free(sig_der);
    QL_ASYM_PublicKey_Delete(their_pub);
    QL_ASYM_PrivateKey_Delete(priv);
    QL_ASYM_PublicKey_Delete(pub);
    QL_ASYM_Parameters_Delete(params);
  }
}

}  // namespace
