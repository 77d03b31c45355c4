// The module's public-key services against OpenSSL, through the shared library: RSA signatures
// of every scheme and OAEP (random labels, all digests) and PKCS #1 v1.5 encryptions made by
// the module are verified or decrypted by OpenSSL and the reverse, on an OpenSSL key and on a
// key the module generates; ECDSA pairs the module generates on P-224 and P-256 sign for
// OpenSSL and verify OpenSSL's signatures; KCDSA pairs the module generates on the published
// groups sign for the BIGNUM model and verify the model's signatures.
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
#include "ql_kcdsa_model.h"
#include "ql_openssl_pkey.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <typename T>
using Ptr = qltest::Ossl<T>;
using qltest::encode;
using qltest::md_of;

// Private keys and parameters are deleted by their own functions; all three wipe alike.
struct Records {
  QL_ASYM_KEY *params = nullptr;
  QL_ASYM_KEY *priv = QLC_KEY_PriKey_New();
  QL_ASYM_KEY *pub = QLC_KEY_PubKey_New();
  Records() = default;
  Records(const Records &) = delete;
  Records &operator=(const Records &) = delete;
  ~Records() {
    QLC_ASYM_Param_Delete(params);
    QLC_KEY_PriKey_Delete(priv);
    QLC_KEY_PubKey_Delete(pub);
  }
};

Bytes random_bytes(std::mt19937 &gen, size_t n) {
  Bytes b(n);
  for (auto &x : b) {
    x = static_cast<uint8_t>(gen());
  }
  return b;
}

// The digest of an MGF identifier (1 is MGF1 with SHA-1).
const EVP_MD *mgf_md(int32_t mgf_id) { return md_of(mgf_id == 1 ? 2 : mgf_id); }

struct RsaScheme {
  int32_t sign_id;
  QL_PSS_PARAM pss;  // hash_id 0: PKCS #1 v1.5 with `v15_digest`
  int32_t v15_digest;
  int32_t state;  // the working state that admits it
};
const RsaScheme kRsaSchemes[] = {
    {3, {0, 0}, 2, QLC_CM_STATE_APPROVED},      {4, {0, 0}, 3, QLC_CM_STATE_APPROVED},
    {11, {2, 1}, 0, QLC_CM_STATE_APPROVED},     {32, {3, 3}, 0, QLC_CM_STATE_APPROVED},
    {5, {0, 0}, 4, QLC_CM_STATE_NON_APPROVED},  {6, {0, 0}, 5, QLC_CM_STATE_NON_APPROVED},
    {33, {4, 1}, 0, QLC_CM_STATE_NON_APPROVED}, {34, {4, 5}, 0, QLC_CM_STATE_NON_APPROVED},
};

void set_sign_padding(EVP_PKEY_CTX *pctx, const RsaScheme &s) {
  if (s.pss.hash_id == 0) {
    ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PADDING));
    return;
  }
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PSS_PADDING));
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_mgf1_md(pctx, mgf_md(s.pss.mgf_id)));
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_pss_saltlen(pctx, RSA_PSS_SALTLEN_DIGEST));
}

void set_oaep(EVP_PKEY_CTX *pctx, const QL_OAEP_PARAM &p) {
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_OAEP_PADDING));
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_oaep_md(pctx, md_of(p.hash_id)));
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_mgf1_md(pctx, mgf_md(p.mgf_id)));
  if (p.label_len != 0) {
    // OpenSSL takes ownership of the label.
    void *label = OPENSSL_memdup(p.label, p.label_len);
    ASSERT_EQ(1, EVP_PKEY_CTX_set0_rsa_oaep_label(pctx, label, static_cast<int>(p.label_len)));
  }
}

// Both directions of every scheme, in the state that admits it, with OpenSSL's `key` holding
// the same pair as the module records `priv` and `pub` of `k` bytes.
void rsa_both_ways(EVP_PKEY *key, const QL_ASYM_KEY *priv, const QL_ASYM_KEY *pub, uint32_t k) {
  std::mt19937 gen(k);
  for (const RsaScheme &s : kRsaSchemes) {
    SCOPED_TRACE(s.sign_id);
    ASSERT_EQ(0, QLC_CM_StateChange(s.state));
    const Bytes msg = random_bytes(gen, 1 + gen() % 300);
    const uint32_t msg_len = static_cast<uint32_t>(msg.size());
    QL_ASYM_SIGN_PARAM sp{};
    sp.pss = s.pss;
    const EVP_MD *md = md_of(s.pss.hash_id != 0 ? s.pss.hash_id : s.v15_digest);
    Bytes sig(k);
    uint32_t sig_len = 0;
    ASSERT_EQ(0, QLC_ASYM_Sign(sig.data(), &sig_len, 0, msg.data(), msg_len, s.sign_id, priv,
                               nullptr, &sp));
    ASSERT_EQ(k, sig_len);
    Ptr<EVP_MD_CTX> v(EVP_MD_CTX_new());
    EVP_PKEY_CTX *pctx = nullptr;
    ASSERT_EQ(1, EVP_DigestVerifyInit(v.get(), &pctx, md, nullptr, key));
    set_sign_padding(pctx, s);
    EXPECT_EQ(1, EVP_DigestVerify(v.get(), sig.data(), sig_len, msg.data(), msg.size()));
    Ptr<EVP_MD_CTX> sctx(EVP_MD_CTX_new());
    ASSERT_EQ(1, EVP_DigestSignInit(sctx.get(), &pctx, md, nullptr, key));
    set_sign_padding(pctx, s);
    size_t their_len = sig.size();
    ASSERT_EQ(1, EVP_DigestSign(sctx.get(), sig.data(), &their_len, msg.data(), msg.size()));
    EXPECT_EQ(0, QLC_ASYM_Verify(sig.data(), static_cast<uint32_t>(their_len), 0, msg.data(),
                                 msg_len, s.sign_id, pub, nullptr, &sp));
  }
  // OAEP with every digest pairing the key length allows, with labels of 0 to 32768 bytes
  // (the length in the last field).
  const QL_OAEP_PARAM kinds[] = {{2, 1, 1, nullptr, 32768},
                                 {3, 3, 1, nullptr, 0},
                                 {3, 1, 1, nullptr, 1},
                                 {4, 5, 1, nullptr, 100},
                                 {5, 3, 1, nullptr, 32767}};
  ASSERT_EQ(0, QLC_CM_StateChange(QLC_CM_STATE_APPROVED));
  for (QL_OAEP_PARAM p : kinds) {
    const uint32_t h_len = static_cast<uint32_t>(EVP_MD_get_size(md_of(p.hash_id)));
    if (k < 2 * h_len + 2) {
      continue;
    }
    {
      const uint32_t label_len = p.label_len;
      SCOPED_TRACE(std::to_string(p.hash_id) + " label " + std::to_string(label_len));
      Bytes label = random_bytes(gen, label_len);
      p.label = label_len != 0 ? label.data() : nullptr;
      p.label_len = label_len;
      const Bytes msg = random_bytes(gen, 1 + gen() % (k - 2 * h_len - 2));
      Bytes ct(k), pt(k);
      uint32_t ct_len = 0, pt_len = 0;
      ASSERT_EQ(0, QLC_ASYM_Encrypt(ct.data(), &ct_len, msg.data(),
                                    static_cast<uint32_t>(msg.size()), 3, pub, &p));
      Ptr<EVP_PKEY_CTX> d(EVP_PKEY_CTX_new(key, nullptr));
      ASSERT_EQ(1, EVP_PKEY_decrypt_init(d.get()));
      set_oaep(d.get(), p);
      size_t out_len = pt.size();
      ASSERT_EQ(1, EVP_PKEY_decrypt(d.get(), pt.data(), &out_len, ct.data(), ct_len));
      EXPECT_EQ(msg, Bytes(pt.begin(), pt.begin() + static_cast<long>(out_len)));
      Ptr<EVP_PKEY_CTX> e(EVP_PKEY_CTX_new(key, nullptr));
      ASSERT_EQ(1, EVP_PKEY_encrypt_init(e.get()));
      set_oaep(e.get(), p);
      size_t their_len = ct.size();
      ASSERT_EQ(1, EVP_PKEY_encrypt(e.get(), ct.data(), &their_len, msg.data(), msg.size()));
      ASSERT_EQ(0, QLC_ASYM_Decrypt(pt.data(), &pt_len, ct.data(), static_cast<uint32_t>(their_len),
                                    3, priv, &p));
      EXPECT_EQ(msg, Bytes(pt.begin(), pt.begin() + pt_len));
    }
  }
  // PKCS #1 v1.5 encryption, admitted only in the non-approved state.
  ASSERT_EQ(0, QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED));
  const Bytes msg = random_bytes(gen, k - 11);
  Bytes ct(k), pt(k);
  uint32_t ct_len = 0, pt_len = 0;
  ASSERT_EQ(0, QLC_ASYM_Encrypt(ct.data(), &ct_len, msg.data(), k - 11, 1, pub, nullptr));
  Ptr<EVP_PKEY_CTX> d(EVP_PKEY_CTX_new(key, nullptr));
  ASSERT_EQ(1, EVP_PKEY_decrypt_init(d.get()));
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(d.get(), RSA_PKCS1_PADDING));
  size_t out_len = pt.size();
  ASSERT_EQ(1, EVP_PKEY_decrypt(d.get(), pt.data(), &out_len, ct.data(), ct_len));
  EXPECT_EQ(msg, Bytes(pt.begin(), pt.begin() + static_cast<long>(out_len)));
  Ptr<EVP_PKEY_CTX> e(EVP_PKEY_CTX_new(key, nullptr));
  ASSERT_EQ(1, EVP_PKEY_encrypt_init(e.get()));
  ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(e.get(), RSA_PKCS1_PADDING));
  size_t their_len = ct.size();
  ASSERT_EQ(1, EVP_PKEY_encrypt(e.get(), ct.data(), &their_len, msg.data(), msg.size()));
  ASSERT_EQ(0, QLC_ASYM_Decrypt(pt.data(), &pt_len, ct.data(), static_cast<uint32_t>(their_len), 1,
                                priv, nullptr));
  EXPECT_EQ(msg, Bytes(pt.begin(), pt.begin() + pt_len));
  ASSERT_EQ(0, QLC_CM_StateChange(QLC_CM_STATE_APPROVED));
}

TEST(ModuleAsymDiff, RsaOpenSslKeyThroughTheModule) {
  ASSERT_EQ(0, QLC_CM_StateInit());
  Ptr<EVP_PKEY> key(EVP_RSA_gen(2048));
  ASSERT_NE(nullptr, key);
  unsigned char *der = nullptr;
  const int der_len = i2d_PrivateKey(key.get(), &der);
  Records r;
  ASSERT_EQ(0, QL_ASYM_PrivateKey_Decode(r.priv, QL_PKEY_RSA, der, static_cast<uint32_t>(der_len),
                                         nullptr));
  OPENSSL_clear_free(der, static_cast<size_t>(der_len));
  der = nullptr;
  const int pub_len = i2d_RSAPublicKey(EVP_PKEY_get0_RSA(key.get()), &der);
  ASSERT_EQ(0, QL_ASYM_PublicKey_Decode(r.pub, QL_PKEY_RSA, der, static_cast<uint32_t>(pub_len),
                                        nullptr));
  OPENSSL_free(der);
  EXPECT_EQ(0, QLC_KEY_CheckKeyPair(r.priv, r.pub, nullptr));
  rsa_both_ways(key.get(), r.priv, r.pub, 256);
}

TEST(ModuleAsymDiff, HeavyRsaModulePairForOpenSsl) {
  ASSERT_EQ(0, QLC_CM_StateInit());
  Records r;
  const QL_ASYM_KEYGEN_PARAM kg{128, 0};
  ASSERT_EQ(0, QLC_KEY_GenKeyPair(r.priv, r.pub, QL_PKEY_RSA, nullptr, &kg));
  const Bytes der = encode(QL_ASYM_PrivateKey_Encode, r.priv, nullptr);
  const uint8_t *p = der.data();
  Ptr<EVP_PKEY> key(d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &p, static_cast<long>(der.size())));
  ASSERT_NE(nullptr, key);
  rsa_both_ways(key.get(), r.priv, r.pub, 128);
}

TEST(ModuleAsymDiff, EcdsaModulePairsForOpenSsl) {
  ASSERT_EQ(0, QLC_CM_StateInit());
  std::mt19937 gen(21);
  for (const auto &curve :
       {std::make_pair(224u, NID_secp224r1), std::make_pair(256u, NID_X9_62_prime256v1)}) {
    SCOPED_TRACE(curve.first);
    Records r;
    r.params = QLC_ASYM_Param_New();
    ASSERT_EQ(0, QLC_ASYM_GenParam(r.params, QL_PKEY_ECDSA, &curve.first));
    const QL_ASYM_KEYGEN_PARAM kg{};
    ASSERT_EQ(0, QLC_KEY_GenKeyPair(r.priv, r.pub, QL_PKEY_ECDSA, r.params, &kg));
    const Bytes pub_der = encode(QL_ASYM_PublicKey_Encode, r.pub, r.params);
    Ptr<EC_KEY> ours(EC_KEY_new_by_curve_name(curve.second));
    ASSERT_EQ(1, EC_KEY_oct2key(ours.get(), pub_der.data() + 2, pub_der.size() - 2, nullptr));
    Ptr<EC_KEY> theirs(EC_KEY_new_by_curve_name(curve.second));
    ASSERT_EQ(1, EC_KEY_generate_key(theirs.get()));
    unsigned char *oct = nullptr;
    const size_t oct_len =
        EC_KEY_key2buf(theirs.get(), POINT_CONVERSION_UNCOMPRESSED, &oct, nullptr);
    Bytes their_der = {0x04, static_cast<uint8_t>(oct_len)};
    their_der.insert(their_der.end(), oct, oct + oct_len);
    OPENSSL_free(oct);
    std::unique_ptr<QL_ASYM_KEY, void (*)(QL_ASYM_KEY *)> their_pub(QLC_KEY_PubKey_New(),
                                                                    QLC_KEY_PubKey_Delete);
    ASSERT_EQ(0, QL_ASYM_PublicKey_Decode(their_pub.get(), QL_PKEY_ECDSA, their_der.data(),
                                          static_cast<uint32_t>(their_der.size()), r.params));
    const size_t bound = curve.first == 224 ? 64 : 72;
    for (int n = 0; n < 4; n++) {
      const Bytes msg = random_bytes(gen, 1 + gen() % 500);
      const uint32_t msg_len = static_cast<uint32_t>(msg.size());
      Bytes h(20);
      EVP_Digest(msg.data(), msg.size(), h.data(), nullptr, EVP_sha1(), nullptr);
      Bytes sig(bound);
      uint32_t sig_len = 0;
      ASSERT_EQ(0, QLC_ASYM_Sign(sig.data(), &sig_len, 0, msg.data(), msg_len, 21, r.priv, r.params,
                                 nullptr));
      ASSERT_LE(sig_len, bound);
      const uint8_t *s = sig.data();
      Ptr<ECDSA_SIG> parsed(d2i_ECDSA_SIG(nullptr, &s, static_cast<long>(sig_len)));
      ASSERT_NE(nullptr, parsed);
      EXPECT_EQ(1, ECDSA_do_verify(h.data(), 20, parsed.get(), ours.get()));
      Ptr<ECDSA_SIG> their_sig(ECDSA_do_sign(h.data(), 20, theirs.get()));
      unsigned char *sig_der = nullptr;
      const int their_len = i2d_ECDSA_SIG(their_sig.get(), &sig_der);
      EXPECT_EQ(0, QLC_ASYM_Verify(sig_der, static_cast<uint32_t>(their_len), 0, msg.data(),
                                   msg_len, 21, their_pub.get(), r.params, nullptr));
      OPENSSL_free(sig_der);
    }
  }
}

// A DER element: tag, minimal length, content.
Bytes der_element(uint8_t tag, const Bytes &content) {
  Bytes out = {tag};
  const size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<uint8_t>(n));
  } else {
    out.push_back(0x81);
    out.push_back(static_cast<uint8_t>(n));
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

// The content of the element at `pos` (short form or up to two length bytes), moving `pos`
// past it.
Bytes der_read(const Bytes &in, size_t &pos, uint8_t tag) {
  EXPECT_LT(pos + 2, in.size());
  EXPECT_EQ(tag, in[pos]);
  size_t len = in[pos + 1];
  size_t start = pos + 2;
  if (len > 0x80) {
    const size_t n = len - 0x80;
    len = 0;
    for (size_t i = 0; i < n; i++) {
      len = (len << 8) | in[start++];
    }
  }
  pos = start + len;
  return Bytes(in.begin() + static_cast<long>(start), in.begin() + static_cast<long>(pos));
}

using namespace qltest::kcdsa_model;

TEST(ModuleAsymDiff, KcdsaModulePairsForTheModel) {
  ASSERT_EQ(0, QLC_CM_StateInit());
  std::mt19937 gen(16);
  struct Case {
    const char *edition;
    std::vector<std::pair<int32_t, int>> schemes;  // signature identifier, model digest
  } cases[] = {
      {"II.5", {{16, 2}, {17, 1}}},
      {"II.3", {{16, 2}, {17, 1}, {18, 3}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.edition);
    const Group gr = load_group(c.edition);
    Records r;
    r.params = QLC_ASYM_Param_New();
    uint32_t len = 0;
    ASSERT_EQ(0, QL_KCDSA_Parameters_Encode(nullptr, &len, &gr.params));
    Bytes der(len);
    ASSERT_EQ(0, QL_KCDSA_Parameters_Encode(der.data(), &len, &gr.params));
    ASSERT_EQ(0, QL_ASYM_Parameters_Decode(r.params, QL_PKEY_KCDSA, der.data(), len));
    const QL_ASYM_KEYGEN_PARAM kg{};
    ASSERT_EQ(0, QLC_KEY_GenKeyPair(r.priv, r.pub, QL_PKEY_KCDSA, r.params, &kg));
    const Bytes y_der = encode(QL_ASYM_PublicKey_Encode, r.pub, r.params);
    // The model works on the module's x and y, read back from their encodings.
    const Bytes x_der = encode(QL_ASYM_PrivateKey_Encode, r.priv, r.params);
    size_t pos = 0;
    const Bytes y_bytes = der_read(y_der, pos, 0x02);
    pos = 0;
    const Key signer{bn(der_read(x_der, pos, 0x02)), bn(y_bytes)};
    const Key &key = signer;
    QL_ASYM_SIGN_PARAM sp{};
    sp.public_key = r.pub;
    for (const auto &scheme : c.schemes) {
      SCOPED_TRACE(scheme.first);
      const Bytes msg = random_bytes(gen, 1 + gen() % 300);
      const uint32_t msg_len = static_cast<uint32_t>(msg.size());
      const Bytes full = model_hash(scheme.second, key.y.get(), msg);
      const Bytes h = rightmost(full, full.size() < gr.q_len ? full.size() : gr.q_len);
      Bytes sig(full.size() + gr.q_len + 8);
      uint32_t sig_len = 0;
      ASSERT_EQ(0, QLC_ASYM_Sign(sig.data(), &sig_len, 0, msg.data(), msg_len, scheme.first, r.priv,
                                 r.params, &sp));
      ASSERT_LE(sig_len, full.size() + gr.q_len + 8);
      sig.resize(sig_len);
      pos = 0;
      const Bytes body = der_read(sig, pos, 0x30);
      pos = 0;
      const Bytes bits = der_read(body, pos, 0x03);
      Sig ours{Bytes(bits.begin() + 1, bits.end()), bn(der_read(body, pos, 0x02))};
      ASSERT_EQ(full.size(), ours.r.size());
      ours.r = rightmost(ours.r, h.size());
      EXPECT_TRUE(model_verify(gr, key.y.get(), scheme.second, h, ours));
      // The model's signature as the module encodes one, r in the digest's full length.
      Bn k = bn();
      ASSERT_EQ(1, BN_rand_range(k.get(), gr.q.get()));
      const Sig theirs = model_sign(gr, signer, scheme.second, h, k.get());
      Bytes r_bits = {0};
      r_bits.insert(r_bits.end(), full.size() - theirs.r.size(), 0);
      r_bits.insert(r_bits.end(), theirs.r.begin(), theirs.r.end());
      Bytes s_content = pad(theirs.s.get(), static_cast<size_t>(BN_num_bytes(theirs.s.get())) + 1);
      if (s_content.size() > 1 && s_content[1] < 0x80) {
        s_content.erase(s_content.begin());
      }
      Bytes content = der_element(0x03, r_bits);
      const Bytes s_der = der_element(0x02, s_content);
      content.insert(content.end(), s_der.begin(), s_der.end());
      const Bytes model_sig = der_element(0x30, content);
      EXPECT_EQ(0, QLC_ASYM_Verify(model_sig.data(), static_cast<uint32_t>(model_sig.size()), 0,
                                   msg.data(), msg_len, scheme.first, r.pub, r.params, &sp));
      Bytes other = msg;
      other.push_back(1);
      EXPECT_NE(0, QLC_ASYM_Verify(model_sig.data(), static_cast<uint32_t>(model_sig.size()), 0,
                                   other.data(), msg_len + 1, scheme.first, r.pub, r.params, &sp));
    }
  }
}

}  // namespace
