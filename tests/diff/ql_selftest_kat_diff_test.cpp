// The self-test's known answers checked without the library's algorithms: every cipher entry
// by OpenSSL (SEED through the legacy provider, SEED-CTR as a SEED-ECB keystream), digests by
// OpenSSL and HAS-160 by its published digests, HMACs by OpenSSL and HMAC-HAS160 by RFC 2104
// over HAS-160 (pinned by the published HMAC-HAS160 vectors), the X9.62 output by the model,
// RSA entries decrypted and verified by OpenSSL from their own DER, ECDSA entries verified by
// OpenSSL with the private scalar matching the public point, KCDSA entries by the model on the
// published groups.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/objects.h>
#include <openssl/provider.h>
#include <openssl/rsa.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "module/ql_selftest_kat.h"
#include "ql_kcdsa_model.h"
#include "ql_vectors.h"
#include "ql_x962_model.h"

namespace {

namespace km = qltest::kcdsa_model;
using Bytes = std::vector<uint8_t>;

Bytes bytes(const uint8_t *p, size_t n) { return Bytes(p, p + n); }

bool legacy_loaded() {
  static OSSL_PROVIDER *def = OSSL_PROVIDER_load(nullptr, "default");
  static OSSL_PROVIDER *legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  return def != nullptr && legacy != nullptr;
}

// OpenSSL's unpadded encryption of `in`; empty when the cipher is unavailable.
Bytes evp_encrypt(const std::string &name, const Bytes &key, const uint8_t *iv, const Bytes &in) {
  EVP_CIPHER *cipher = EVP_CIPHER_fetch(nullptr, name.c_str(), nullptr);
  if (cipher == nullptr) {
    return Bytes();
  }
  EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
  Bytes out(in.size() + 16);
  int n = 0, m = 0;
  EXPECT_EQ(1, EVP_EncryptInit_ex2(ctx, cipher, key.data(), iv, nullptr)) << name;
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EXPECT_EQ(1, EVP_EncryptUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(in.size())));
  EXPECT_EQ(1, EVP_EncryptFinal_ex(ctx, out.data() + n, &m));
  out.resize(static_cast<size_t>(n + m));
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(cipher);
  return out;
}

const char *mode_name(uint32_t mode) {
  switch (mode) {
    case QL_SYM_MODE_ECB:
      return "ecb";
    case QL_SYM_MODE_CBC:
      return "cbc";
    case QL_SYM_MODE_OFB:
      return "ofb";
    case QL_SYM_MODE_CFB:
      return "cfb";
    default:
      return "ctr";
  }
}

TEST(SelfTestKatDiff, CiphersAgreeWithOpenSsl) {
  const bool legacy = legacy_loaded();
  for (const auto &k : ql::kat::cipher_kats) {
    const Bytes key = bytes(k.key, k.key_len), pt = bytes(k.pt, k.pt_len);
    const Bytes ct = bytes(k.ct, k.ct_len);
    const std::string what = std::to_string(k.id) + "/" + mode_name(k.mode);
    EXPECT_EQ(k.padding, static_cast<uint32_t>(QL_SYM_PAD_NONE)) << what;
    EXPECT_EQ(k.pt_len, k.ct_len) << what;
    if (k.id == QL_SYM_SEED128 && !legacy) {
      continue;  // no SEED in this OpenSSL
    }
    const bool seed = k.id == QL_SYM_SEED128;
    if (seed && k.mode == QL_SYM_MODE_CTR) {
      // The keystream: SEED-ECB of the counter block, incremented as a 128-bit integer.
      Bytes counters;
      Bytes c = bytes(k.iv, 16);
      for (size_t i = 0; i < pt.size(); i += 16) {
        counters.insert(counters.end(), c.begin(), c.end());
        for (int j = 15; j >= 0 && ++c[static_cast<size_t>(j)] == 0; j--) {
        }
      }
      const Bytes stream = evp_encrypt("seed-ecb", key, nullptr, counters);
      ASSERT_EQ(stream.size(), pt.size());
      for (size_t i = 0; i < pt.size(); i++) {
        EXPECT_EQ(ct[i], pt[i] ^ stream[i]) << what << " byte " << i;
      }
      continue;
    }
    const std::string name =
        (seed ? std::string("seed-") : "aria-" + std::to_string(8 * k.key_len) + "-") +
        mode_name(k.mode);
    EXPECT_EQ(ct, evp_encrypt(name, key, k.iv_len != 0 ? k.iv : nullptr, pt)) << what;
  }
}

// HAS-160 digests by message, from the published vectors.
std::map<Bytes, Bytes> published_has160() {
  std::map<Bytes, Bytes> out;
  for (const auto &c : qltest::load_vectors("has160.txt")) {
    const uint64_t repeat = c.num("REPEAT");
    Bytes msg;
    if (repeat > 8) {
      continue;  // the million-byte message is no entry
    }
    for (uint64_t i = 0; i < repeat; i++) {
      const Bytes unit = c.hex("MSG");
      msg.insert(msg.end(), unit.begin(), unit.end());
    }
    out[msg] = c.hex("MD");
  }
  return out;
}

// OpenSSL's digest of the identifiers 2 to 5 (SHA-1, SHA-256, SHA-384, SHA-512).
const EVP_MD *md_of(int32_t hash_id) {
  static const char *const names[] = {"SHA1", "SHA256", "SHA384", "SHA512"};
  return EVP_get_digestbyname(names[hash_id - QL_HASH_SHA1]);
}

TEST(SelfTestKatDiff, DigestsArePublishedOrOpenSsl) {
  const auto has160 = published_has160();
  for (const auto &k : ql::kat::digest_kats) {
    const Bytes msg(k.msg, k.msg + k.msg_len);
    const Bytes want = bytes(k.md, k.md_len);
    if (k.id == QL_HASH_HAS160) {
      ASSERT_EQ(1u, has160.count(msg)) << k.msg;
      EXPECT_EQ(has160.at(msg), want) << k.msg;
      continue;
    }
    Bytes md(EVP_MAX_MD_SIZE);
    unsigned int len = 0;
    ASSERT_EQ(1, EVP_Digest(msg.data(), msg.size(), md.data(), &len, md_of(k.id), nullptr));
    md.resize(len);
    EXPECT_EQ(md, want) << k.id << " " << k.msg;
  }
}

// RFC 2104 over the library's HAS-160 (checked above by the published digests).
Bytes hmac_has160(Bytes key, const Bytes &msg) {
  if (key.size() > 64) {
    Bytes h(20);
    QL_HAS160(h.data(), key.data(), static_cast<uint32_t>(key.size()));
    key = h;
  }
  key.resize(64, 0);
  Bytes inner(64), outer(64);
  for (size_t i = 0; i < 64; i++) {
    inner[i] = key[i] ^ 0x36;
    outer[i] = key[i] ^ 0x5c;
  }
  inner.insert(inner.end(), msg.begin(), msg.end());
  Bytes h(20);
  QL_HAS160(h.data(), inner.data(), static_cast<uint32_t>(inner.size()));
  outer.insert(outer.end(), h.begin(), h.end());
  QL_HAS160(h.data(), outer.data(), static_cast<uint32_t>(outer.size()));
  return h;
}

TEST(SelfTestKatDiff, HmacsAgreeWithOpenSsl) {
  for (const auto &c : qltest::load_vectors("hmac_has160.txt")) {
    EXPECT_EQ(c.hex("MAC"), hmac_has160(c.hex("KEY"), c.hex("MSG"))) << c.where();
  }
  for (const auto &k : ql::kat::hmac_kats) {
    const Bytes key = bytes(k.key, k.key_len), msg = bytes(k.msg, k.msg_len);
    Bytes mac(EVP_MAX_MD_SIZE);
    if (k.id == 0x101) {
      mac = hmac_has160(key, msg);
    } else {
      unsigned int len = 0;
      ASSERT_NE(nullptr, HMAC(md_of(k.id & 0xff), key.data(), static_cast<int>(key.size()),
                              msg.data(), msg.size(), mac.data(), &len));
      mac.resize(len);
    }
    EXPECT_EQ(mac, bytes(k.mac, k.mac_len)) << std::hex << k.id;
  }
}

TEST(SelfTestKatDiff, X962OutputMatchesModel) {
  km::Bn q = km::bn(bytes(ql::kat::x962_q, sizeof(ql::kat::x962_q)));
  Bytes xkey = bytes(ql::kat::x962_xkey, sizeof(ql::kat::x962_xkey));
  const Bytes xseed = bytes(ql::kat::x962_xseed, sizeof(ql::kat::x962_xseed));
  km::Bn want(qltest::x962_next(q.get(), xkey, xseed, true));
  EXPECT_EQ(km::pad(want.get(), 32), bytes(ql::kat::x962_out, sizeof(ql::kat::x962_out)));
}

struct PkeyDel {
  void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyDel>;
struct CtxDel {
  void operator()(EVP_PKEY_CTX *c) const { EVP_PKEY_CTX_free(c); }
};
using Ctx = std::unique_ptr<EVP_PKEY_CTX, CtxDel>;

// The entry's PKCS #1 key pair as OpenSSL reads it; the halves must belong together.
std::pair<Pkey, Pkey> rsa_pair(const uint8_t *priv, uint32_t priv_len, const uint8_t *pub,
                               uint32_t pub_len) {
  const unsigned char *p = priv;
  Pkey sk(d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &p, priv_len));
  EXPECT_EQ(p, priv + priv_len);
  p = pub;
  Pkey pk(d2i_PublicKey(EVP_PKEY_RSA, nullptr, &p, pub_len));
  EXPECT_EQ(p, pub + pub_len);
  EXPECT_TRUE(sk != nullptr && pk != nullptr && EVP_PKEY_eq(sk.get(), pk.get()) == 1);
  return {std::move(sk), std::move(pk)};
}

TEST(SelfTestKatDiff, OaepEntriesDecryptWithOpenSsl) {
  for (const auto &k : ql::kat::penc_kats) {
    ASSERT_EQ(k.pkey, QL_PKEY_RSA);
    auto keys = rsa_pair(k.priv, k.priv_len, k.pub, k.pub_len);
    ASSERT_NE(keys.first, nullptr);
    EXPECT_EQ(static_cast<int>(k.ct_len), EVP_PKEY_get_size(keys.first.get()));
    Ctx ctx(EVP_PKEY_CTX_new(keys.first.get(), nullptr));
    ASSERT_EQ(1, EVP_PKEY_decrypt_init(ctx.get()));
    ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING));
    ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha1()));
    ASSERT_EQ(1, EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha1()));
    Bytes pt(k.ct_len);
    size_t len = pt.size();
    ASSERT_EQ(1, EVP_PKEY_decrypt(ctx.get(), pt.data(), &len, k.ct, k.ct_len));
    pt.resize(len);
    EXPECT_EQ(pt, bytes(k.pt, k.pt_len));
    EXPECT_EQ(k.oaep.hash_id, QL_HASH_SHA1);
    EXPECT_EQ(k.oaep.mgf_id, 1);
  }
}

bool rsa_verifies(const ql::kat::SignKat &k) {
  auto keys = rsa_pair(k.priv, k.priv_len, k.pub, k.pub_len);
  if (keys.second == nullptr) {
    return false;
  }
  EVP_MD_CTX *md = EVP_MD_CTX_new();
  EVP_PKEY_CTX *pctx = nullptr;
  bool ok = EVP_DigestVerifyInit(md, &pctx, EVP_sha1(), nullptr, keys.second.get()) == 1;
  if (k.id == QL_SIGN_RSA_PSS) {
    ok = ok && EVP_PKEY_CTX_set_rsa_padding(pctx, RSA_PKCS1_PSS_PADDING) == 1 &&
         EVP_PKEY_CTX_set_rsa_pss_saltlen(pctx, 20) == 1 &&
         EVP_PKEY_CTX_set_rsa_mgf1_md(pctx, EVP_sha1()) == 1;
  }
  ok = ok && EVP_DigestVerify(md, k.sig, k.sig_len, k.msg, k.msg_len) == 1;
  EVP_MD_CTX_free(md);
  return ok;
}

// The curve named by the entry's parameters, its private scalar times the generator equal to
// its public point, and OpenSSL's verification of the signature with SHA-1.
bool ecdsa_verifies(const ql::kat::SignKat &k) {
  const unsigned char *p = k.params;
  ASN1_OBJECT *oid = d2i_ASN1_OBJECT(nullptr, &p, k.params_len);
  const int nid = oid != nullptr ? OBJ_obj2nid(oid) : NID_undef;
  ASN1_OBJECT_free(oid);
  EC_KEY *key = EC_KEY_new_by_curve_name(nid);
  if (key == nullptr) {
    return false;
  }
  p = k.priv;
  EC_KEY *parsed = d2i_ECPrivateKey(&key, &p, k.priv_len);
  p = k.pub;
  ASN1_OCTET_STRING *point = d2i_ASN1_OCTET_STRING(nullptr, &p, k.pub_len);
  bool ok = parsed != nullptr && point != nullptr;
  const EC_GROUP *group = EC_KEY_get0_group(key);
  EC_POINT *q = EC_POINT_new(group);
  EC_POINT *dg = EC_POINT_new(group);
  ok = ok &&
       EC_POINT_oct2point(group, q, point->data, static_cast<size_t>(point->length), nullptr) == 1;
  ok = ok && EC_POINT_mul(group, dg, EC_KEY_get0_private_key(key), nullptr, nullptr, nullptr);
  ok = ok && EC_POINT_cmp(group, q, dg, nullptr) == 0 && EC_KEY_set_public_key(key, q) == 1;
  unsigned char h[20];
  unsigned int h_len = 0;
  ok = ok && EVP_Digest(k.msg, k.msg_len, h, &h_len, EVP_sha1(), nullptr) == 1;
  ok = ok &&
       ECDSA_verify(0, h, static_cast<int>(h_len), k.sig, static_cast<int>(k.sig_len), key) == 1;
  EC_POINT_free(q);
  EC_POINT_free(dg);
  ASN1_OCTET_STRING_free(point);
  EC_KEY_free(key);
  return ok;
}

// The INTEGER elements of a DER SEQUENCE, and the bits of its BIT STRING, as OpenSSL parses
// them.
std::vector<km::Bn> der_integers(const uint8_t *der, uint32_t len, Bytes *bit_string) {
  std::vector<km::Bn> out;
  const unsigned char *p = der;
  STACK_OF(ASN1_TYPE) *seq = d2i_ASN1_SEQUENCE_ANY(nullptr, &p, len);
  EXPECT_EQ(p, der + len);
  for (int i = 0; seq != nullptr && i < sk_ASN1_TYPE_num(seq); i++) {
    const ASN1_TYPE *t = sk_ASN1_TYPE_value(seq, i);
    if (t->type == V_ASN1_INTEGER) {
      out.emplace_back(ASN1_INTEGER_to_BN(t->value.integer, nullptr));
    } else if (t->type == V_ASN1_BIT_STRING && bit_string != nullptr) {
      *bit_string =
          bytes(t->value.bit_string->data, static_cast<size_t>(t->value.bit_string->length));
    }
  }
  sk_ASN1_TYPE_pop_free(seq, ASN1_TYPE_free);
  return out;
}

km::Bn der_integer(const uint8_t *der, uint32_t len) {
  const unsigned char *p = der;
  ASN1_INTEGER *i = d2i_ASN1_INTEGER(nullptr, &p, len);
  km::Bn out(i != nullptr ? ASN1_INTEGER_to_BN(i, nullptr) : nullptr);
  ASN1_INTEGER_free(i);
  return out;
}

// The published group, y = g^(x^-1 mod q) mod p, and the model's verification.
bool kcdsa_verifies(const ql::kat::SignKat &k) {
  const int hash_id = k.id == QL_SIGN_KCDSA_HAS160 ? QL_HASH_HAS160 : QL_HASH_SHA256;
  const km::Group gr = km::load_group(k.id == QL_SIGN_KCDSA_HAS160 ? "II.5" : "II.3");
  const auto pqg = der_integers(k.params, k.params_len, nullptr);
  if (pqg.size() != 3 || BN_cmp(pqg[0].get(), gr.p.get()) != 0 ||
      BN_cmp(pqg[1].get(), gr.q.get()) != 0 || BN_cmp(pqg[2].get(), gr.g.get()) != 0) {
    return false;
  }
  const km::Bn x = der_integer(k.priv, k.priv_len), y = der_integer(k.pub, k.pub_len);
  km::Bn inv(BN_mod_inverse(nullptr, x.get(), gr.q.get(), km::ctx()));
  km::Bn y_of_x = km::bn();
  BN_mod_exp(y_of_x.get(), gr.g.get(), inv.get(), gr.p.get(), km::ctx());
  Bytes r;
  auto s = der_integers(k.sig, k.sig_len, &r);
  const Bytes full = km::model_hash(hash_id, y.get(), bytes(k.msg, k.msg_len));
  const Bytes h = km::rightmost(full, full.size() < gr.q_len ? full.size() : gr.q_len);
  if (BN_cmp(y_of_x.get(), y.get()) != 0 || s.size() != 1 || r.size() != h.size()) {
    return false;
  }
  const km::Sig sig{r, std::move(s[0])};
  return km::model_verify(gr, y.get(), hash_id, h, sig);
}

TEST(SelfTestKatDiff, SignatureEntriesVerifyIndependently) {
  for (const auto &k : ql::kat::sign_kats) {
    switch (k.pkey) {
      case QL_PKEY_RSA:
        EXPECT_TRUE(rsa_verifies(k)) << k.id;
        break;
      case QL_PKEY_ECDSA:
        EXPECT_TRUE(ecdsa_verifies(k)) << k.id;
        break;
      default:
        EXPECT_TRUE(kcdsa_verifies(k)) << k.id;
    }
  }
}

}  // namespace
