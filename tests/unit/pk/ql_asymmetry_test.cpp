// The asymmetric dispatcher: every signature scheme in one call and as streams cut at many
// places, each signature checked by the algorithm's own verifier on a digest computed here
// (KCDSA over z || M built by hand); encodings of every algorithm and role; the status codes
// of wrong keys, foreign parameters, missing records and unsupported schemes; copies that
// outlive the caller's records; and allocation failures in every call that allocates.
#include "pk/ql_asymmetry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "ql_vectors.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct KeySet {
  QL_ASYM_KEY *priv;
  QL_ASYM_KEY *pub;
  QL_ASYM_KEY *params;  // null for RSA
};

Big big_of(const Bytes &b) {
  Big r{};
  EXPECT_EQ(0, U8ToBig(&r, b.data(), static_cast<uint32_t>(b.size())));
  return r;
}

KeySet generate(int32_t algorithm, QL_ASYM_KEY *params, QL_ASYM_KEYGEN_PARAM keygen = {}) {
  KeySet k{QL_ASYM_PrivateKey_New(), QL_ASYM_PublicKey_New(), params};
  EXPECT_EQ(0, QL_ASYM_GenerateKeyPair(k.priv, k.pub, algorithm, params, &keygen));
  return k;
}

// KCDSA parameters of a published sample (1024/160 or 2048/256), keys generated here.
KeySet kcdsa_keys(const std::string &edition) {
  for (const auto &c : qltest::load_vectors("kcdsa_ttak_r4.txt")) {
    if (c.str("EDITION").find(edition) == std::string::npos) {
      continue;
    }
    QL_ASYM_KEY *params = QL_ASYM_Parameters_New();
    auto *body = QL_KCDSA_Parameters_New();
    body->p = big_of(c.hex("P"));
    body->q = big_of(c.hex("Q"));
    body->g = big_of(c.hex("G"));
    body->J = big_of(c.hex("J"));
    const Bytes seed = c.hex("SEED");
    std::memcpy(body->seed, seed.data(), seed.size());
    body->seed_len = static_cast<uint32_t>(seed.size());
    body->count.length = 1;
    body->count.words[0] = static_cast<uint32_t>(c.num("COUNT"));
    params->algorithm = QL_PKEY_KCDSA;
    params->body = body;
    return generate(QL_PKEY_KCDSA, params);
  }
  ADD_FAILURE() << edition;
  return {};
}

KeySet ecdsa_keys(uint32_t bits) {
  QL_ASYM_KEY *params = QL_ASYM_Parameters_New();
  EXPECT_EQ(0, QL_ASYM_GenerateParameters(params, QL_PKEY_ECDSA, &bits));
  return generate(QL_PKEY_ECDSA, params);
}

// Generated once and shared: every private operation and generation gathers entropy.
const KeySet &rsa() {
  static const KeySet k = generate(QL_PKEY_RSA, nullptr, {128, 0});
  return k;
}
const KeySet &kcdsa1024() {
  static const KeySet k = kcdsa_keys("II.5");
  return k;
}
const KeySet &kcdsa2048() {
  static const KeySet k = kcdsa_keys("II.3");
  return k;
}
const KeySet &p256() {
  static const KeySet k = ecdsa_keys(256);
  return k;
}
const KeySet &p224() {
  static const KeySet k = ecdsa_keys(224);
  return k;
}

struct Scheme {
  const char *name;
  int32_t sign_id;
  const KeySet &(*keys)();
  QL_PSS_PARAM pss;  // PSS schemes only
};

const Scheme kSchemes[] = {
    {"v1.5 SHA-1", 3, rsa, {}},           {"v1.5 SHA-256", 4, rsa, {}},
    {"v1.5 SHA-384", 5, rsa, {}},         {"v1.5 SHA-512", 6, rsa, {}},
    {"PSS 11 SHA-1", 11, rsa, {2, 1}},    {"PSS 32 SHA-256", 32, rsa, {3, 3}},
    {"PSS 33 SHA-384", 33, rsa, {4, 4}},  {"PSS 34 SHA-256/MGF1-SHA-1", 34, rsa, {3, 1}},
    {"KCDSA SHA-1", 16, kcdsa1024, {}},   {"KCDSA HAS-160", 17, kcdsa1024, {}},
    {"KCDSA SHA-256", 18, kcdsa2048, {}}, {"ECDSA P-256", 21, p256, {}},
    {"ECDSA P-224", 21, p224, {}},
};

QL_ASYM_SIGN_PARAM sign_param_of(const Scheme &s) {
  QL_ASYM_SIGN_PARAM sp{};
  if (s.sign_id >= 16 && s.sign_id <= 18) {
    sp.public_key = s.keys().pub;
  } else {
    sp.pss = s.pss;
  }
  return sp;
}

Bytes hash(int32_t digest_id, const Bytes &data) {
  uint8_t out[64];
  uint32_t len = 0;
  EXPECT_EQ(0, QL_Hash(out, &len, data.data(), static_cast<uint32_t>(data.size()), digest_id));
  return Bytes(out, out + len);
}

// The scheme's own verifier on a digest computed here from `msg`.
int32_t core_verify(const Scheme &s, const Bytes &msg, const Bytes &sig) {
  const KeySet &k = s.keys();
  const auto n = static_cast<uint32_t>(sig.size());
  if (s.sign_id >= 3 && s.sign_id <= 6) {
    const Bytes h = hash(s.sign_id - 1, msg);
    return QL_PKCS1_V15_Verify(sig.data(), n, s.sign_id - 1, h.data(),
                               static_cast<uint32_t>(h.size()),
                               static_cast<QL_RSA_PUBLIC_KEY *>(k.pub->body));
  }
  if (s.sign_id == 11 || s.sign_id >= 32) {
    const Bytes h = hash(s.pss.hash_id, msg);
    return QL_PKCS1_PSS_Verify(sig.data(), n, h.data(), static_cast<uint32_t>(h.size()),
                               static_cast<QL_RSA_PUBLIC_KEY *>(k.pub->body), &s.pss);
  }
  if (s.sign_id == 21) {
    const Bytes h = hash(2, msg);
    QL_ECDSA_SIGNATURE es{};
    EXPECT_EQ(0, QL_ECDSA_Signature_Decode(&es, sig.data(), n));
    return QL_ECDSA_Verify(static_cast<QL_ECDSA_PARAMETERS *>(k.params->body),
                           static_cast<BigPoint *>(k.pub->body), &es, h.data(),
                           static_cast<uint32_t>(h.size()));
  }
  // KCDSA: z is y mod 2^512 as 64 bytes, hashed ahead of the message.
  const int32_t digest = s.sign_id == 16 ? 2 : (s.sign_id == 17 ? 1 : 3);
  const Big &y = *static_cast<Big *>(k.pub->body);
  Bytes y_bytes(1028);
  y_bytes.resize(static_cast<size_t>(BigToU8(y_bytes.data(), &y)));
  Bytes z(64, 0);
  for (size_t i = 0; i < 64 && i < y_bytes.size(); i++) {
    z[63 - i] = y_bytes[y_bytes.size() - 1 - i];
  }
  Bytes zm = z;
  zm.insert(zm.end(), msg.begin(), msg.end());
  const Bytes h = hash(digest, zm);
  QL_KCDSA_SIGNATURE ks{};
  EXPECT_EQ(0, QL_KCDSA_Signature_Decode(&ks, sig.data(), n));
  return QL_KCDSA_Verify(static_cast<QL_KCDSA_PARAMETERS *>(k.params->body), &y, &ks, digest,
                         h.data(), static_cast<uint32_t>(h.size()));
}

Bytes sign_once(const Scheme &s, const Bytes &msg) {
  const QL_ASYM_SIGN_PARAM sp = sign_param_of(s);
  Bytes out(1024);
  uint32_t len = 0;
  EXPECT_EQ(0, QL_ASYM_Sign(out.data(), &len, 0, msg.data(), static_cast<uint32_t>(msg.size()),
                            s.sign_id, s.keys().priv, s.keys().params, &sp))
      << s.name;
  out.resize(len);
  return out;
}

int32_t verify_once(const Scheme &s, const Bytes &msg, const Bytes &sig) {
  const QL_ASYM_SIGN_PARAM sp = sign_param_of(s);
  return QL_ASYM_Verify(sig.data(), static_cast<uint32_t>(sig.size()), 0, msg.data(),
                        static_cast<uint32_t>(msg.size()), s.sign_id, s.keys().pub, s.keys().params,
                        &sp);
}

// Feeds `msg` to `update` in pieces of the sizes in `cuts`, cyclically (a piece of 0 bytes is
// an Update of nothing); `cuts` empty means no Update at all.
void feed(const Bytes &msg, const std::vector<uint32_t> &cuts,
          const std::function<void(const uint8_t *, uint32_t)> &update) {
  if (cuts.empty()) {
    return;
  }
  size_t off = 0;
  uint32_t total = 0;
  for (uint32_t c : cuts) {
    total += c;
  }
  do {
    for (uint32_t c : cuts) {
      const auto n = static_cast<uint32_t>(std::min<size_t>(c, msg.size() - off));
      update(msg.data() + off, n);
      off += n;
    }
  } while (total != 0 && off < msg.size());
  if (off < msg.size()) {
    update(msg.data() + off, static_cast<uint32_t>(msg.size() - off));
  }
}

Bytes sign_stream(const Scheme &s, const Bytes &msg, const std::vector<uint32_t> &cuts) {
  const QL_ASYM_SIGN_PARAM sp = sign_param_of(s);
  QL_ASYM_CTX *ctx = QL_ASYM_CTX_New();
  EXPECT_EQ(0, QL_ASYM_Sign_Init(ctx, s.sign_id, s.keys().priv, s.keys().params, &sp)) << s.name;
  feed(msg, cuts,
       [&](const uint8_t *p, uint32_t n) { EXPECT_EQ(0, QL_ASYM_Sign_Update(ctx, p, n)); });
  Bytes out(1024);
  uint32_t len = 0;
  EXPECT_EQ(0, QL_ASYM_Sign_Final(ctx, out.data(), &len)) << s.name;
  QL_ASYM_CTX_Delete(ctx);
  out.resize(len);
  return out;
}

int32_t verify_stream(const Scheme &s, const Bytes &msg, const Bytes &sig,
                      const std::vector<uint32_t> &cuts) {
  const QL_ASYM_SIGN_PARAM sp = sign_param_of(s);
  QL_ASYM_CTX *ctx = QL_ASYM_CTX_New();
  EXPECT_EQ(0, QL_ASYM_Verify_Init(ctx, s.sign_id, s.keys().pub, s.keys().params, &sp));
  feed(msg, cuts,
       [&](const uint8_t *p, uint32_t n) { EXPECT_EQ(0, QL_ASYM_Verify_Update(ctx, p, n)); });
  const int32_t st = QL_ASYM_Verify_Final(ctx, sig.data(), static_cast<uint32_t>(sig.size()));
  QL_ASYM_CTX_Delete(ctx);
  return st;
}

Bytes random_bytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes b(n);
  for (auto &x : b) {
    x = static_cast<uint8_t>(gen());
  }
  return b;
}

std::vector<uint32_t> random_cuts(uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<uint32_t> cuts(6);
  for (auto &c : cuts) {
    c = gen() % 130;
  }
  return cuts;
}

TEST(AsymSign, EverySchemeInOneCallAndInPieces) {
  const Bytes msg = random_bytes(300, 1);
  const std::vector<std::vector<uint32_t>> cuts = {
      {0}, {1}, {63}, {64}, {65}, {0, 1, 63, 64, 65}, random_cuts(7), random_cuts(8)};
  for (const Scheme &s : kSchemes) {
    SCOPED_TRACE(s.name);
    const Bytes sig = sign_once(s, msg);
    EXPECT_EQ(0, core_verify(s, msg, sig));
    EXPECT_EQ(0, verify_once(s, msg, sig));
    for (const auto &c : cuts) {
      EXPECT_EQ(0, verify_stream(s, msg, sig, c));
    }
    Bytes other = msg;
    other[150] ^= 1;
    EXPECT_NE(0, verify_once(s, other, sig));
    EXPECT_NE(0, verify_stream(s, msg, Bytes(sig.begin(), sig.end() - 1), cuts[5]));
    // Signing in pieces: the scheme's verifier accepts each; v1.5 is deterministic.
    for (const auto *c : {&cuts[5], &cuts[6]}) {
      const Bytes streamed = sign_stream(s, msg, *c);
      EXPECT_EQ(0, core_verify(s, msg, streamed));
      if (s.sign_id <= 6) {
        EXPECT_EQ(sig, streamed);
      }
    }
    // No Update: the signature of the empty message (KCDSA: of z alone).
    const Bytes empty_sig = sign_stream(s, msg, {});
    EXPECT_EQ(0, core_verify(s, Bytes(), empty_sig));
    EXPECT_EQ(0, verify_stream(s, Bytes(), empty_sig, {}));
  }
}

TEST(AsymSign, CallerDigestWithSchemeNine) {
  const KeySet &k = rsa();
  const Bytes value = random_bytes(64, 64);
  for (uint32_t len : {1u, 35u, 64u}) {
    Bytes sig(128);
    uint32_t n = 0;
    ASSERT_EQ(0, QL_ASYM_Sign(sig.data(), &n, 1, value.data(), len, 9, k.priv, nullptr, nullptr));
    EXPECT_EQ(0, QL_PKCS1_V15_Verify(sig.data(), n, -1, value.data(), len,
                                     static_cast<QL_RSA_PUBLIC_KEY *>(k.pub->body)));
    EXPECT_EQ(0, QL_ASYM_Verify(sig.data(), n, 1, value.data(), len, 9, k.pub, nullptr, nullptr));
    EXPECT_NE(
        0, QL_ASYM_Verify(sig.data(), n, 1, value.data() + 1, len - 1, 9, k.pub, nullptr, nullptr));
  }
}

struct Role {
  const char *name;
  int32_t (*encode)(uint8_t *, uint32_t *, const QL_ASYM_KEY *, const QL_ASYM_KEY *);
  int32_t (*decode)(QL_ASYM_KEY *, int32_t, const uint8_t *, uint32_t, const QL_ASYM_KEY *);
  QL_ASYM_KEY *KeySet::*member;
  void (*del)(QL_ASYM_KEY *);
};
const Role kRoles[] = {
    {"private", QL_ASYM_PrivateKey_Encode, QL_ASYM_PrivateKey_Decode, &KeySet::priv,
     QL_ASYM_PrivateKey_Delete},
    {"public", QL_ASYM_PublicKey_Encode, QL_ASYM_PublicKey_Decode, &KeySet::pub,
     QL_ASYM_PublicKey_Delete},
    {"parameters",
     [](uint8_t *o, uint32_t *l, const QL_ASYM_KEY *p, const QL_ASYM_KEY *) {
       return QL_ASYM_Parameters_Encode(o, l, p);
     },
     [](QL_ASYM_KEY *k, int32_t a, const uint8_t *i, uint32_t n, const QL_ASYM_KEY *) {
       return QL_ASYM_Parameters_Decode(k, a, i, n);
     },
     &KeySet::params, QL_ASYM_Parameters_Delete},
};

// A copy of `src` through its encoding, as the module boundary makes its copies.
QL_ASYM_KEY *copy_via(const Role &r, const QL_ASYM_KEY *src, const QL_ASYM_KEY *params) {
  uint32_t len = 0;
  EXPECT_EQ(0, r.encode(nullptr, &len, src, params));
  Bytes der(len);
  EXPECT_EQ(0, r.encode(der.data(), &len, src, params));
  QL_ASYM_KEY *dst = QL_ASYM_PrivateKey_New();
  EXPECT_EQ(0, r.decode(dst, src->algorithm, der.data(), len, params));
  return dst;
}

// Keys, parameters and sign parameters deleted right after Init: the stream signs with its
// own copies (the sanitizer build catches any use of the deleted records).
TEST(AsymSign, StreamsOutliveTheCallersRecords) {
  const Bytes msg = random_bytes(100, 3);
  for (const Scheme *s : {&kSchemes[1], &kSchemes[5], &kSchemes[9], &kSchemes[12]}) {
    SCOPED_TRACE(s->name);
    const KeySet &k = s->keys();
    QL_ASYM_KEY *priv = copy_via(kRoles[0], k.priv, k.params);
    QL_ASYM_KEY *pub = copy_via(kRoles[1], k.pub, k.params);
    QL_ASYM_KEY *params = k.params == nullptr ? nullptr : copy_via(kRoles[2], k.params, nullptr);
    QL_ASYM_SIGN_PARAM *sp = QL_ASYM_SignParam_New();
    *sp = sign_param_of(*s);
    if (s->sign_id == 17) {
      sp->public_key = QL_ASYM_PublicKey_New();
      ASSERT_EQ(0, QL_ASYM_PublicKey_Copy(sp->public_key, k.pub));
    }
    QL_ASYM_CTX *sign = QL_ASYM_CTX_New(), *verify = QL_ASYM_CTX_New();
    ASSERT_EQ(0, QL_ASYM_Sign_Init(sign, s->sign_id, priv, params, sp));
    ASSERT_EQ(0, QL_ASYM_Verify_Init(verify, s->sign_id, pub, params, sp));
    QL_ASYM_PrivateKey_Delete(priv);
    QL_ASYM_PublicKey_Delete(pub);
    QL_ASYM_Parameters_Delete(params);
    QL_ASYM_SignParam_Delete(sp, s->sign_id);
    EXPECT_EQ(0, QL_ASYM_Sign_Update(sign, msg.data(), 100));
    EXPECT_EQ(0, QL_ASYM_Verify_Update(verify, msg.data(), 100));
    Bytes sig(1024);
    uint32_t len = 0;
    ASSERT_EQ(0, QL_ASYM_Sign_Final(sign, sig.data(), &len));
    EXPECT_EQ(0, QL_ASYM_Verify_Final(verify, sig.data(), len));
    // Finished: the digest state is gone, so a second Final fails.
    EXPECT_NE(0, QL_ASYM_Sign_Final(sign, sig.data(), &len));
    QL_ASYM_CTX_Delete(sign);
    QL_ASYM_CTX_Delete(verify);
  }
}

// Every algorithm and role: the length query bounds the encoding, decoding reads no byte past
// the input (exact heap copies) and gives back the same encoding, and every cut is refused.
TEST(AsymEncoding, EveryAlgorithmAndRoleRoundTrips) {
  const std::pair<const char *, const KeySet &(*)()> sets[] = {
      {"RSA", rsa}, {"KCDSA", kcdsa1024}, {"ECDSA P-256", p256}, {"ECDSA P-224", p224}};
  for (const auto &set : sets) {
    const KeySet &k = set.second();
    for (const Role &r : kRoles) {
      SCOPED_TRACE(std::string(set.first) + " " + r.name);
      const QL_ASYM_KEY *src = k.*r.member;
      if (src == nullptr) {
        continue;
      }
      uint32_t bound = 0;
      ASSERT_EQ(0, r.encode(nullptr, &bound, src, k.params));
      Bytes der(bound);
      uint32_t len = 0;
      ASSERT_EQ(0, r.encode(der.data(), &len, src, k.params));
      EXPECT_LE(len, bound);
      der.resize(len);
      QL_ASYM_KEY *back = QL_ASYM_PrivateKey_New();
      back->type = 77;  // decoding leaves the type word alone
      Bytes exact(der);
      ASSERT_EQ(0, r.decode(back, src->algorithm, exact.data(), len, k.params));
      EXPECT_EQ(77u, back->type);
      EXPECT_EQ(src->algorithm, back->algorithm);
      Bytes again(bound);
      uint32_t again_len = 0;
      ASSERT_EQ(0, r.encode(again.data(), &again_len, back, k.params));
      again.resize(again_len);
      EXPECT_EQ(der, again);
      r.del(back);
      for (uint32_t cut = 0; cut < len; cut += (cut < 8 ? 1 : 37)) {
        Bytes part(der.begin(), der.begin() + cut);
        QL_ASYM_KEY *k2 = QL_ASYM_PrivateKey_New();
        EXPECT_NE(0, r.decode(k2, src->algorithm, part.data(), cut, k.params)) << cut;
        r.del(k2);
      }
    }
  }
}

TEST(AsymKeys, GenerationCopiesAndChecks) {
  // The default exponent for an exponent word of 0 (and of 1, same branch).
  const auto *pub = static_cast<QL_RSA_PUBLIC_KEY *>(rsa().pub->body);
  EXPECT_EQ(1, pub->e.length);
  EXPECT_EQ(65537u, pub->e.words[0]);
  const KeySet *sets[] = {&rsa(), &kcdsa1024(), &kcdsa2048(), &p256(), &p224()};
  for (const KeySet *k : sets) {
    SCOPED_TRACE(k->priv->algorithm);
    EXPECT_EQ(0, QL_ASYM_ProveKeyPair(k->priv, k->pub, k->params));
    EXPECT_EQ(0, QL_ASYM_VerifyPublicKey(k->pub, k->params));
    QL_ASYM_KEY *copy = QL_ASYM_PublicKey_New();
    k->pub->type = 9;
    ASSERT_EQ(0, QL_ASYM_PublicKey_Copy(copy, k->pub));
    EXPECT_EQ(9u, copy->type);
    EXPECT_NE(copy->body, k->pub->body);
    EXPECT_EQ(0, QL_ASYM_ProveKeyPair(k->priv, copy, k->params));
    // A copy into a record that is not empty would orphan its body.
    EXPECT_EQ(ql::kErrAsymPubCopy, QL_ASYM_PublicKey_Copy(copy, k->pub));
    QL_ASYM_PublicKey_Delete(copy);
    k->pub->type = 0;
  }
  // Another key of the same algorithm is not the pair's.
  EXPECT_NE(0, QL_ASYM_ProveKeyPair(p256().priv, p224().pub, p224().params));
  EXPECT_NE(0, QL_ASYM_ProveKeyPair(kcdsa1024().priv, kcdsa2048().pub, kcdsa2048().params));
  // The published parameters regenerate from their seed with their digest.
  EXPECT_EQ(0, QL_ASYM_VerifyParameters(kcdsa1024().params, QL_HASH_HAS160));
  EXPECT_EQ(0, QL_ASYM_VerifyParameters(kcdsa2048().params, QL_HASH_SHA256));
  // RSA public keys are accepted unchecked.
  QL_RSA_PUBLIC_KEY zero{};
  QL_ASYM_KEY bare{0, QL_PKEY_RSA, &zero};
  EXPECT_EQ(0, QL_ASYM_VerifyPublicKey(&bare, nullptr));
}

// An exponent word above 1 is the public exponent (one more key generation: native only).
TEST(AsymKeys, HeavyExponentWord) {
  const KeySet small_e = generate(QL_PKEY_RSA, nullptr, {128, 3});
  EXPECT_EQ(3u, static_cast<QL_RSA_PUBLIC_KEY *>(small_e.pub->body)->e.words[0]);
  EXPECT_EQ(0, QL_ASYM_ProveKeyPair(small_e.priv, small_e.pub, nullptr));
  QL_ASYM_PrivateKey_Delete(small_e.priv);
  QL_ASYM_PublicKey_Delete(small_e.pub);
}

// Encryption round trips for both schemes, and the other key's algorithm refused.
TEST(AsymEncrypt, BothSchemes) {
  const KeySet &k = rsa();
  QL_OAEP_PARAM oaep{3, 3, 1, nullptr, 0};
  const Bytes m = random_bytes(40, 5);
  for (int32_t id : {QL_PENC_RSA_V15, QL_PENC_RSA_OAEP}) {
    Bytes c(128), back(128);
    uint32_t c_len = 0, back_len = 0;
    ASSERT_EQ(0, QL_ASYM_Encrypt(c.data(), &c_len, m.data(), 40, id, k.pub, &oaep));
    ASSERT_EQ(0, QL_ASYM_Decrypt(back.data(), &back_len, c.data(), c_len, id, k.priv, &oaep));
    back.resize(back_len);
    EXPECT_EQ(m, back);
  }
}

// The signature calls of the refusal tables: streams started and deleted, or one-call forms
// with the flag and length given.
enum Call { kSignInit, kVerifyInit, kSign, kVerify };
int32_t call(Call c, int32_t id, const QL_ASYM_KEY *key, const QL_ASYM_KEY *params,
             const QL_ASYM_SIGN_PARAM *sp, int32_t flag = 0, uint32_t len = 20) {
  static uint8_t buf[1024];
  uint32_t out_len = 0;
  if (c == kSign) {
    return QL_ASYM_Sign(buf, &out_len, flag, buf, len, id, key, params, sp);
  }
  if (c == kVerify) {
    return QL_ASYM_Verify(buf, 128, flag, buf, len, id, key, params, sp);
  }
  QL_ASYM_CTX *ctx = QL_ASYM_CTX_New();
  const int32_t st = c == kSignInit ? QL_ASYM_Sign_Init(ctx, id, key, params, sp)
                                    : QL_ASYM_Verify_Init(ctx, id, key, params, sp);
  QL_ASYM_CTX_Delete(ctx);
  return st;
}

// Every refusal of the dispatcher's table that a caller can provoke, one row each.
TEST(AsymCodes, EveryRefusal) {
  const KeySet &r = rsa(), &kc = kcdsa1024(), &ec = p256();
  uint8_t out[1024] = {};
  uint32_t len = 0;
  QL_ASYM_SIGN_PARAM pss{}, kc_sp{}, ec_sp{}, null_sp{};
  pss.pss = {3, 3};
  kc_sp.public_key = kc.pub;
  ec_sp.public_key = ec.pub;
  const QL_ASYM_KEYGEN_PARAM kg{128, 0};
  const uint32_t size = 256;
  const QL_OAEP_PARAM oaep{3, 3, 1, nullptr, 0};
  // Parameters with q above 512 bits: a copy would read past the 64-byte seed field.
  QL_KCDSA_PARAMETERS long_q = *static_cast<QL_KCDSA_PARAMETERS *>(kc.params->body);
  long_q.q.length = 17;
  long_q.q.words[16] = 1;
  QL_ASYM_KEY long_q_params{0, QL_PKEY_KCDSA, &long_q};
  QL_RSA_PRIVATE_KEY half_rsa{};
  half_rsa.n = static_cast<QL_RSA_PRIVATE_KEY *>(r.priv->body)->n;
  QL_ASYM_KEY half_rsa_key{0, QL_PKEY_RSA, &half_rsa};
  Big lone{};
  QL_ASYM_KEY alien{0, 7, &lone}, empty{}, rsa_bare{0, QL_PKEY_RSA, nullptr};
  QL_ASYM_KEY e[12] = {};  // empty targets, one per row that fills one
  const struct {
    const char *what;
    int32_t want, got;
  } rows[] = {
      // Keys and parameters of another algorithm than the scheme's or each other's.
      {"v1.5, KCDSA key", -1001, call(kSign, 3, kc.priv, nullptr, nullptr)},
      {"PSS, ECDSA key", -1001, call(kSignInit, 11, ec.priv, ec.params, &pss)},
      {"PSS verify, KCDSA key", -1001, call(kVerifyInit, 33, kc.pub, kc.params, &pss)},
      {"KCDSA, ECDSA key", -1001, call(kSignInit, 16, ec.priv, ec.params, &kc_sp)},
      {"KCDSA, ECDSA signer", -1001, call(kSignInit, 17, kc.priv, kc.params, &ec_sp)},
      {"ECDSA, KCDSA key", -1001, call(kVerifyInit, 21, kc.pub, kc.params, nullptr)},
      {"9, ECDSA key", -1001, call(kSign, 9, ec.priv, nullptr, nullptr, 1)},
      {"9 verify, KCDSA key", -1001, call(kVerify, 9, kc.pub, nullptr, nullptr, 1)},
      {"encrypt, ECDSA", -1001, QL_ASYM_Encrypt(out, &len, out, 9, 1, ec.pub, nullptr)},
      {"decrypt, KCDSA", -1001, QL_ASYM_Decrypt(out, &len, out, 9, 1, kc.priv, nullptr)},
      {"prove RSA with ECDSA", -1001, QL_ASYM_ProveKeyPair(r.priv, ec.pub, nullptr)},
      {"pair, KCDSA params", -1001,
       QL_ASYM_GenerateKeyPair(&e[0], &e[1], QL_PKEY_ECDSA, kc.params, &kg)},
      {"pair, no params", -1001, QL_ASYM_GenerateKeyPair(&e[0], &e[1], 5, nullptr, &kg)},
      {"ECDSA encode, no params", -1001, QL_ASYM_PublicKey_Encode(out, &len, ec.pub, nullptr)},
      {"ECDSA encode, empty", -1001, QL_ASYM_PrivateKey_Encode(out, &len, ec.priv, &empty)},
      {"ECDSA decode, KCDSA", -1001, QL_ASYM_PublicKey_Decode(&e[2], 12, out, 9, kc.params)},
      {"ECDSA check, no params", -1001, QL_ASYM_VerifyPublicKey(ec.pub, nullptr)},
      {"Sign_Init foreign", -6045, call(kSignInit, 21, ec.priv, kc.params, nullptr)},
      {"Verify_Init foreign", -6054, call(kVerifyInit, 16, kc.pub, ec.params, nullptr)},
      {"Sign foreign", -6039, call(kSign, 21, ec.priv, kc.params, nullptr)},
      {"Verify foreign", -6051, call(kVerify, 21, ec.pub, kc.params, nullptr)},
      // Missing parameters and sign parameters; schemes the call does not serve.
      {"PSS, no sign param", -6043, call(kSignInit, 32, r.priv, nullptr, nullptr)},
      {"KCDSA, no sign param", -6043, call(kSignInit, 16, kc.priv, kc.params, nullptr)},
      {"KCDSA, null signer", -6043, call(kSignInit, 18, kc.priv, kc.params, &null_sp)},
      {"KCDSA verify, no params", -6043, call(kVerifyInit, 17, kc.pub, nullptr, nullptr)},
      {"ECDSA, no params", -6043, call(kSignInit, 21, ec.priv, nullptr, nullptr)},
      {"9 in a stream", -6044, call(kSignInit, 9, r.priv, nullptr, nullptr)},
      {"unknown scheme", -6044, call(kVerifyInit, 99, r.pub, nullptr, nullptr)},
      {"9, flag 0", -6040, call(kSign, 9, r.priv, nullptr, nullptr, 0)},
      {"3, flag 1", -6040, call(kSign, 3, r.priv, nullptr, nullptr, 1)},
      {"9 verify, flag 0", -6052, call(kVerify, 9, r.pub, nullptr, nullptr, 0)},
      {"4 verify, flag 1", -6052, call(kVerify, 4, r.pub, nullptr, nullptr, 1)},
      {"9, 65 bytes", -6039, call(kSign, 9, r.priv, nullptr, nullptr, 1, 65)},
      {"9 verify, 65 bytes", -6051, call(kVerify, 9, r.pub, nullptr, nullptr, 1, 65)},
      {"encryption 2", -6036, QL_ASYM_Encrypt(out, &len, out, 9, 2, r.pub, &oaep)},
      {"decryption 4", -6038, QL_ASYM_Decrypt(out, &len, out, 9, 4, r.priv, &oaep)},
      {"OAEP, no parameter", -6035, QL_ASYM_Encrypt(out, &len, out, 9, 3, r.pub, nullptr)},
      {"OAEP decrypt, no param", -6037, QL_ASYM_Decrypt(out, &len, out, 9, 3, r.priv, nullptr)},
      // Copies the stream refuses.
      {"KCDSA q over 512 bits", -6002, call(kSignInit, 16, kc.priv, &long_q_params, &kc_sp)},
      {"RSA key without d", -6010, call(kSignInit, 3, &half_rsa_key, nullptr, nullptr)},
      {"private key, algorithm 7", -6113, call(kSignInit, 99, &alien, nullptr, nullptr)},
      {"copy, algorithm 7", -6017, QL_ASYM_PublicKey_Copy(&e[3], &alien)},
      {"copy, RSA without body", -6016, QL_ASYM_PublicKey_Copy(&e[3], &rsa_bare)},
      // Unknown algorithms, and targets that are not empty.
      {"parameters encode", -6006, QL_ASYM_Parameters_Encode(out, &len, &alien)},
      {"RSA parameters decode", -6009, QL_ASYM_Parameters_Decode(&e[4], 1, out, 9)},
      {"private encode", -6012, QL_ASYM_PrivateKey_Encode(out, &len, &alien, nullptr)},
      {"private decode", -6014, QL_ASYM_PrivateKey_Decode(&e[4], 2, out, 9, nullptr)},
      {"public encode", -6019, QL_ASYM_PublicKey_Encode(out, &len, &alien, nullptr)},
      {"public decode", -6022, QL_ASYM_PublicKey_Decode(&e[4], 0, out, 9, nullptr)},
      {"RSA parameter generation", -6025, QL_ASYM_GenerateParameters(&e[4], 1, &size)},
      {"ECDSA parameter check", -6027, QL_ASYM_VerifyParameters(ec.params, 1)},
      {"parameter check, digest 0", -6026, QL_ASYM_VerifyParameters(kc.params, 0)},
      {"parameter check, digest 6", -6026, QL_ASYM_VerifyParameters(kc.params, 6)},
      {"pair, algorithm 2", -6030, QL_ASYM_GenerateKeyPair(&e[5], &e[6], 2, nullptr, &kg)},
      {"public check", -6032, QL_ASYM_VerifyPublicKey(&alien, nullptr)},
      {"prove", -6034, QL_ASYM_ProveKeyPair(&alien, &alien, nullptr)},
      {"decode into a full record", -6020, QL_ASYM_PublicKey_Decode(&alien, 5, out, 9, nullptr)},
      {"generate into a full one", -6023, QL_ASYM_GenerateParameters(&alien, 12, &size)},
      {"pair into a full record", -6028, QL_ASYM_GenerateKeyPair(&e[7], &alien, 1, nullptr, &kg)},
      // A null pointer (or a record without body) at each position.
      {"Sign out", -6039, QL_ASYM_Sign(nullptr, &len, 0, out, 9, 3, r.priv, nullptr, nullptr)},
      {"Sign len", -6039, QL_ASYM_Sign(out, nullptr, 0, out, 9, 3, r.priv, nullptr, nullptr)},
      {"Sign msg", -6039, QL_ASYM_Sign(out, &len, 0, nullptr, 9, 3, r.priv, nullptr, nullptr)},
      {"Sign key", -6039, call(kSign, 3, nullptr, nullptr, nullptr)},
      {"Sign body", -6039, call(kSign, 3, &rsa_bare, nullptr, nullptr)},
      {"Verify sig", -6051, QL_ASYM_Verify(nullptr, 9, 0, out, 9, 3, r.pub, nullptr, nullptr)},
      {"Verify msg", -6051, QL_ASYM_Verify(out, 9, 0, nullptr, 9, 3, r.pub, nullptr, nullptr)},
      {"Verify body", -6051, call(kVerify, 3, &rsa_bare, nullptr, nullptr)},
      {"Sign_Init ctx", -6045, QL_ASYM_Sign_Init(nullptr, 3, r.priv, nullptr, nullptr)},
      {"Sign_Init key", -6045, call(kSignInit, 3, nullptr, nullptr, nullptr)},
      {"Verify_Init ctx", -6054, QL_ASYM_Verify_Init(nullptr, 3, r.pub, nullptr, nullptr)},
      {"Verify_Init body", -6054, call(kVerifyInit, 3, &rsa_bare, nullptr, nullptr)},
      {"Encrypt out", -6035, QL_ASYM_Encrypt(nullptr, &len, out, 9, 1, r.pub, nullptr)},
      {"Encrypt len", -6035, QL_ASYM_Encrypt(out, nullptr, out, 9, 1, r.pub, nullptr)},
      {"Encrypt in", -6035, QL_ASYM_Encrypt(out, &len, nullptr, 9, 1, r.pub, nullptr)},
      {"Encrypt body", -6035, QL_ASYM_Encrypt(out, &len, out, 9, 1, &rsa_bare, nullptr)},
      {"Decrypt key", -6037, QL_ASYM_Decrypt(out, &len, out, 9, 1, nullptr, nullptr)},
      {"Decrypt in", -6037, QL_ASYM_Decrypt(out, &len, nullptr, 9, 1, r.priv, nullptr)},
      {"Parameters_Encode", -6005, QL_ASYM_Parameters_Encode(out, nullptr, kc.params)},
      {"PrivateKey_Encode", -6011, QL_ASYM_PrivateKey_Encode(out, &len, &rsa_bare, nullptr)},
      {"PublicKey_Encode", -6018, QL_ASYM_PublicKey_Encode(out, &len, nullptr, nullptr)},
      {"Parameters_Decode", -6007, QL_ASYM_Parameters_Decode(&e[8], 12, nullptr, 9)},
      {"PrivateKey_Decode", -6013, QL_ASYM_PrivateKey_Decode(nullptr, 1, out, 9, nullptr)},
      {"PublicKey_Decode", -6020, QL_ASYM_PublicKey_Decode(&e[8], 1, nullptr, 9, nullptr)},
      {"GenerateParameters", -6023, QL_ASYM_GenerateParameters(&e[8], 12, nullptr)},
      {"GenerateKeyPair", -6028, QL_ASYM_GenerateKeyPair(&e[9], nullptr, 1, nullptr, &kg)},
      {"GenerateKeyPair kg", -6028, QL_ASYM_GenerateKeyPair(&e[9], &e[10], 1, nullptr, nullptr)},
      {"VerifyParameters", -6026, QL_ASYM_VerifyParameters(nullptr, 1)},
      {"VerifyPublicKey", -6031, QL_ASYM_VerifyPublicKey(&rsa_bare, nullptr)},
      {"ProveKeyPair", -6033, QL_ASYM_ProveKeyPair(r.priv, &rsa_bare, nullptr)},
      {"PublicKey_Copy", -6017, QL_ASYM_PublicKey_Copy(nullptr, r.pub)},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(row.want, row.got) << row.what;
  }
  for (const QL_ASYM_KEY &k : e) {
    EXPECT_EQ(nullptr, k.body) << "a refused call made a body";
  }
  // An ECDSA private key naming another curve than the caller's parameters.
  const Bytes der = [&] {
    Bytes d(200);
    EXPECT_EQ(0, QL_ASYM_PrivateKey_Encode(d.data(), &len, ec.priv, ec.params));
    d.resize(len);
    return d;
  }();
  QL_ASYM_KEY *k = QL_ASYM_PrivateKey_New();
  EXPECT_EQ(-1001, QL_ASYM_PrivateKey_Decode(k, 12, der.data(), len, p224().params));
  QL_ASYM_PrivateKey_Delete(k);
  // Null and fresh streams.
  QL_ASYM_CTX *fresh = QL_ASYM_CTX_New();
  for (QL_ASYM_CTX *ctx : {static_cast<QL_ASYM_CTX *>(nullptr), fresh}) {
    EXPECT_EQ(-6047, QL_ASYM_Sign_Update(ctx, out, 20));
    EXPECT_EQ(-6056, QL_ASYM_Verify_Update(ctx, out, 20));
    EXPECT_EQ(-6048, QL_ASYM_Sign_Final(ctx, out, &len));
    EXPECT_EQ(-6057, QL_ASYM_Verify_Final(ctx, out, 128));
  }
  QL_ASYM_CTX_Delete(fresh);
  QL_ASYM_CTX_Delete(nullptr);
  QL_ASYM_PrivateKey_Delete(nullptr);
  QL_ASYM_PublicKey_Delete(nullptr);
  QL_ASYM_Parameters_Delete(nullptr);
  QL_ASYM_SignParam_Delete(nullptr, 16);
}

// z is y mod 2^512 as 64 bytes: a short y is padded on the left, a long one cut to its low
// bytes; the stream's digest starts with it.
TEST(AsymStream, KcdsaPrefixOfShortAndLongKeys) {
  const KeySet &kc = kcdsa1024();
  for (const size_t y_len : {size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{128}}) {
    const Bytes y_bytes = random_bytes(y_len, static_cast<uint32_t>(y_len));
    Big y = big_of(y_bytes);
    QL_ASYM_KEY pub{0, QL_PKEY_KCDSA, &y};
    QL_ASYM_SIGN_CTX sc{};
    sc.sign_id = 17;
    ASSERT_EQ(0, ql::sign_ctx_set(sc, 17, nullptr, &pub, kc.params, nullptr));
    ASSERT_EQ(0, ql::sign_verify_init(sc, QL_ASYM_VERIFYING));
    uint8_t got[64];
    uint32_t got_len = 0;
    ASSERT_EQ(0, QL_Hash_Final(&sc.hash, got, &got_len));
    Bytes z(64, 0);
    const size_t keep = std::min<size_t>(64, y_len);
    std::copy(y_bytes.end() - static_cast<std::ptrdiff_t>(keep), y_bytes.end(),
              z.end() - static_cast<std::ptrdiff_t>(keep));
    EXPECT_EQ(hash(QL_HASH_HAS160, z), Bytes(got, got + got_len)) << y_len;
    QL_ASYM_PublicKey_Delete(sc.public_key);
    QL_ASYM_Parameters_Delete(sc.params);
  }
}

// A stream refuses what it is not: a signing stream does not verify, a started stream is not
// started twice, a stream whose Init failed refuses Update and Final and is still deletable.
TEST(AsymStream, KindsAndHalfMadeStreams) {
  const KeySet &r = rsa(), &kc = kcdsa1024();
  const uint8_t msg[8] = {};
  uint8_t out[512];
  uint32_t len = 0;
  QL_ASYM_CTX *ctx = QL_ASYM_CTX_New();
  ASSERT_EQ(0, QL_ASYM_Sign_Init(ctx, 4, r.priv, nullptr, nullptr));
  EXPECT_EQ(-6045, QL_ASYM_Sign_Init(ctx, 4, r.priv, nullptr, nullptr));
  EXPECT_EQ(-6054, QL_ASYM_Verify_Init(ctx, 4, r.pub, nullptr, nullptr));
  EXPECT_EQ(-6056, QL_ASYM_Verify_Update(ctx, msg, 8));
  EXPECT_EQ(-6057, QL_ASYM_Verify_Final(ctx, out, 128));
  EXPECT_EQ(0, QL_ASYM_Sign_Update(ctx, msg, 8));
  EXPECT_EQ(-6047, QL_ASYM_Sign_Update(ctx, nullptr, 8));
  EXPECT_EQ(-6048, QL_ASYM_Sign_Final(ctx, nullptr, &len));
  EXPECT_EQ(-6048, QL_ASYM_Sign_Final(ctx, out, nullptr));
  QL_ASYM_CTX_Delete(ctx);
  // Init fails after the key and parameters were copied: the copies stay until Delete.
  QL_ASYM_SIGN_PARAM null_sp{};
  ctx = QL_ASYM_CTX_New();
  EXPECT_EQ(-6043, QL_ASYM_Sign_Init(ctx, 16, kc.priv, kc.params, &null_sp));
  ASSERT_NE(nullptr, ctx->sign_ctx);
  EXPECT_NE(nullptr, ctx->sign_ctx->private_key);
  EXPECT_EQ(-6047, QL_ASYM_Sign_Update(ctx, msg, 8));
  EXPECT_EQ(-6048, QL_ASYM_Sign_Final(ctx, out, &len));
  QL_ASYM_CTX_Delete(ctx);
}

#if defined(QL_ALLOC_FAULTS)
// Fails each allocation of `run` in turn until it succeeds: every failure is critical and,
// under the sanitizer build, leaks nothing.
// `run` arms the hook with ql::test::alloc_fail_at(n) where the allocations to fail begin.
void each_allocation_fails(const char *what, const std::function<int32_t(int64_t)> &run) {
  int32_t st = -1;
  int64_t n = 0;
  for (; n < 400 && st != 0; n++) {
    st = run(n);
    ql::test::alloc_fail_at(-1);
    if (st != 0) {
      EXPECT_TRUE(ql::is_critical(st)) << what << " at " << n << ": " << st;
    }
  }
  EXPECT_EQ(0, st) << what;
  EXPECT_GT(n, 1) << what << " allocates nothing";
}

TEST(AsymAlloc, EveryAllocationOfStreamsAndOneCalls) {
  const Bytes msg = random_bytes(70, 4);
  for (const Scheme *s : {&kSchemes[1], &kSchemes[5], &kSchemes[8], &kSchemes[11]}) {
    SCOPED_TRACE(s->name);
    const QL_ASYM_SIGN_PARAM sp = sign_param_of(*s);
    const KeySet &k = s->keys();
    const Bytes sig = sign_once(*s, msg);
    const auto n = static_cast<uint32_t>(msg.size());
    each_allocation_fails("sign", [&](int64_t at) {
      ql::test::alloc_fail_at(at);
      uint8_t out[512];
      uint32_t len = 0;
      return QL_ASYM_Sign(out, &len, 0, msg.data(), n, s->sign_id, k.priv, k.params, &sp);
    });
    each_allocation_fails("verify", [&](int64_t at) {
      ql::test::alloc_fail_at(at);
      return QL_ASYM_Verify(sig.data(), static_cast<uint32_t>(sig.size()), 0, msg.data(), n,
                            s->sign_id, k.pub, k.params, &sp);
    });
    // Init fails at each allocation; the stream then refuses Update and Final.
    for (int kind : {1, 2}) {
      each_allocation_fails("init", [&](int64_t at) {
        ql::test::alloc_fail_at(at);
        QL_ASYM_CTX *ctx = QL_ASYM_CTX_New();
        if (ctx == nullptr) {
          return ql::critical(-1);
        }
        const int32_t st = kind == 1 ? QL_ASYM_Sign_Init(ctx, s->sign_id, k.priv, k.params, &sp)
                                     : QL_ASYM_Verify_Init(ctx, s->sign_id, k.pub, k.params, &sp);
        ql::test::alloc_fail_at(-1);
        if (st != 0) {
          uint8_t out[512];
          uint32_t len = 0;
          EXPECT_EQ(kind == 1 ? -6047 : -6056, kind == 1
                                                   ? QL_ASYM_Sign_Update(ctx, msg.data(), n)
                                                   : QL_ASYM_Verify_Update(ctx, msg.data(), n));
          EXPECT_EQ(kind == 1 ? -6048 : -6057, kind == 1
                                                   ? QL_ASYM_Sign_Final(ctx, out, &len)
                                                   : QL_ASYM_Verify_Final(ctx, sig.data(), 1));
        }
        QL_ASYM_CTX_Delete(ctx);
        return st;
      });
    }
    // Final fails at each allocation of the signature records and the cores.
    for (int kind : {1, 2}) {
      each_allocation_fails("final", [&](int64_t at) {
        QL_ASYM_CTX *ctx = QL_ASYM_CTX_New();
        EXPECT_EQ(0, kind == 1 ? QL_ASYM_Sign_Init(ctx, s->sign_id, k.priv, k.params, &sp)
                               : QL_ASYM_Verify_Init(ctx, s->sign_id, k.pub, k.params, &sp));
        EXPECT_EQ(0, kind == 1 ? QL_ASYM_Sign_Update(ctx, msg.data(), n)
                               : QL_ASYM_Verify_Update(ctx, msg.data(), n));
        uint8_t out[512];
        uint32_t len = 0;
        ql::test::alloc_fail_at(at);
        const int32_t st =
            kind == 1 ? QL_ASYM_Sign_Final(ctx, out, &len)
                      : QL_ASYM_Verify_Final(ctx, sig.data(), static_cast<uint32_t>(sig.size()));
        ql::test::alloc_fail_at(-1);
        QL_ASYM_CTX_Delete(ctx);
        return st;
      });
    }
  }
}

TEST(AsymAlloc, CopiesDecodersAndGeneration) {
  const KeySet &kc = kcdsa1024(), &ec = p256(), &r = rsa();
  for (const KeySet *k : {&r, &kc, &ec}) {
    each_allocation_fails("copy", [&](int64_t at) {
      ql::test::alloc_fail_at(at);
      QL_ASYM_KEY *d = QL_ASYM_PublicKey_New();
      if (d == nullptr) {
        return ql::critical(-1);
      }
      const int32_t st = QL_ASYM_PublicKey_Copy(d, k->pub);
      if (st != 0) {
        EXPECT_EQ(nullptr, d->body);
      }
      QL_ASYM_PublicKey_Delete(d);
      return st;
    });
    uint8_t der[1024];
    uint32_t len = 0;
    ASSERT_EQ(0, QL_ASYM_PrivateKey_Encode(der, &len, k->priv, k->params));
    each_allocation_fails("decode", [&](int64_t at) {
      QL_ASYM_KEY d{};
      ql::test::alloc_fail_at(at);
      const int32_t st = QL_ASYM_PrivateKey_Decode(&d, k->priv->algorithm, der, len, k->params);
      ql::test::alloc_fail_at(-1);
      QL_ASYM_KEY *heap = QL_ASYM_PrivateKey_New();
      if (heap != nullptr) {
        *heap = d;
      }
      QL_ASYM_PrivateKey_Delete(heap);
      return st;
    });
  }
  each_allocation_fails("ECDSA generation", [&](int64_t at) {
    ql::test::alloc_fail_at(at);
    QL_ASYM_KEY *a = QL_ASYM_PrivateKey_New(), *b = QL_ASYM_PublicKey_New();
    QL_ASYM_KEYGEN_PARAM kg{};
    const int32_t st = a == nullptr || b == nullptr
                           ? ql::critical(-1)
                           : QL_ASYM_GenerateKeyPair(a, b, QL_PKEY_ECDSA, ec.params, &kg);
    QL_ASYM_PrivateKey_Delete(a);
    QL_ASYM_PublicKey_Delete(b);
    return st;
  });
}
#endif

}  // namespace
