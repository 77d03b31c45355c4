// The module's public-key services: pairs generated through the module sign, verify, encrypt
// and decrypt in both working states; argument, gate and state codes; OAEP labels at their
// limits; the module's sign parameter; caller records that are never changed, even when they
// are not in normal form; the pair-wise test failing into the error state; and an allocation
// failure at every allocation of every service.
#include "module/ql_crypto_asym.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "module/ql_cmvp.h"
#include "ql_vectors.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct KeyDel {
  void (*del)(QL_ASYM_KEY *);
  void operator()(QL_ASYM_KEY *k) const { del(k); }
};
using Key = std::unique_ptr<QL_ASYM_KEY, KeyDel>;
Key new_params() { return Key(QLC_ASYM_Param_New(), KeyDel{QLC_ASYM_Param_Delete}); }
Key new_private() { return Key(QLC_KEY_PriKey_New(), KeyDel{QLC_KEY_PriKey_Delete}); }
Key new_public() { return Key(QLC_KEY_PubKey_New(), KeyDel{QLC_KEY_PubKey_Delete}); }

enum Role { kParams, kPrivate, kPublic };

// The body size of a record, by algorithm and role.
size_t body_size(const QL_ASYM_KEY &k, Role role) {
  switch (k.algorithm) {
    case QL_PKEY_RSA:
      return role == kPrivate ? sizeof(QL_RSA_PRIVATE_KEY) : sizeof(QL_RSA_PUBLIC_KEY);
    case QL_PKEY_KCDSA:
      return role == kParams ? sizeof(QL_KCDSA_PARAMETERS) : sizeof(Big);
    case QL_PKEY_ECDSA:
      return role == kParams ? sizeof(QL_ECDSA_PARAMETERS)
                             : (role == kPrivate ? sizeof(Big) : sizeof(BigPoint));
    default:
      return 0;
  }
}

// The record's words and its body, byte for byte.
Bytes snapshot(const QL_ASYM_KEY *k, Role role) {
  if (k == nullptr) {
    return {};
  }
  Bytes out(reinterpret_cast<const uint8_t *>(k), reinterpret_cast<const uint8_t *>(k + 1));
  if (k->body != nullptr) {
    const auto *b = static_cast<const uint8_t *>(k->body);
    out.insert(out.end(), b, b + body_size(*k, role));
  }
  return out;
}

bool empty(const QL_ASYM_KEY *k) { return k->algorithm == 0 && k->body == nullptr; }

Big big_of(const Bytes &b) {
  Big r{};
  EXPECT_EQ(0, U8ToBig(&r, b.data(), static_cast<uint32_t>(b.size())));
  r.length = r.length == 0 ? 1 : r.length;
  return r;
}

// The published 1024-bit KCDSA group, decoded from its DER as a caller would hand it over.
Key kcdsa_1024_params() {
  for (const auto &c : qltest::load_vectors("kcdsa_ttak_r4.txt")) {
    if (c.str("EDITION").find("II.5") == std::string::npos) {
      continue;
    }
    QL_KCDSA_PARAMETERS p{};
    p.p = big_of(c.hex("P"));
    p.q = big_of(c.hex("Q"));
    p.g = big_of(c.hex("G"));
    p.J = big_of(c.hex("J"));
    const Bytes seed = c.hex("SEED");
    std::memcpy(p.seed, seed.data(), seed.size());
    p.seed_len = static_cast<uint32_t>(seed.size());
    p.count.words[0] = static_cast<uint32_t>(c.num("COUNT"));
    p.count.length = 1;
    uint32_t len = 0;
    EXPECT_EQ(0, QL_KCDSA_Parameters_Encode(nullptr, &len, &p));
    Bytes der(len);
    EXPECT_EQ(0, QL_KCDSA_Parameters_Encode(der.data(), &len, &p));
    Key out = new_params();
    EXPECT_EQ(0, QL_ASYM_Parameters_Decode(out.get(), QL_PKEY_KCDSA, der.data(), len));
    return out;
  }
  ADD_FAILURE() << "no II.5 sample";
  return new_params();
}

Key ecdsa_params(uint32_t bits) {
  Key p = new_params();
  EXPECT_EQ(0, QLC_ASYM_GenParam(p.get(), QL_PKEY_ECDSA, &bits));
  return p;
}

struct Pair {
  int32_t pkey;
  Key params, priv, pub;
};

// A pair made by the module in the current state.
Pair generate(int32_t pkey, Key params, uint32_t modulus_len = 0) {
  Pair p{pkey, std::move(params), new_private(), new_public()};
  const QL_ASYM_KEYGEN_PARAM kg{modulus_len, 0};
  EXPECT_EQ(0, QLC_KEY_GenKeyPair(p.priv.get(), p.pub.get(), pkey, p.params.get(), &kg));
  return p;
}

// The published 1024-bit RSA key, decoded from its PKCS #1 encodings.
Pair rsa_published() {
  const qltest::VectorCase c = qltest::load_vectors("rsa_oaep_sha1_rsalabs.txt").front();
  QL_RSA_PRIVATE_KEY k{};
  const char *names[8] = {"N", "E", "D", "P", "Q", "DP", "DQ", "QINV"};
  Big *fields[8] = {&k.n, &k.e, &k.d, &k.p, &k.q, &k.dP, &k.dQ, &k.qInv};
  for (int i = 0; i < 8; i++) {
    *fields[i] = big_of(c.hex(names[i]));
  }
  const QL_RSA_PUBLIC_KEY pk{k.n, k.e};
  Pair out{QL_PKEY_RSA, Key(nullptr, KeyDel{QLC_ASYM_Param_Delete}), new_private(), new_public()};
  Bytes der(1200);
  uint32_t len = 0;
  EXPECT_EQ(0, QL_PKCS1_PrivateKeyEncode(der.data(), &k, &len));
  EXPECT_EQ(0, QL_ASYM_PrivateKey_Decode(out.priv.get(), QL_PKEY_RSA, der.data(), len, nullptr));
  EXPECT_EQ(0, QL_PKCS1_PublicKeyEncode(der.data(), &pk, &len));
  EXPECT_EQ(0, QL_ASYM_PublicKey_Decode(out.pub.get(), QL_PKEY_RSA, der.data(), len, nullptr));
  return out;
}

// Pairs shared by the tests that only read them: RSA from the published key (generating one
// takes seconds), the others made by the module in the approved state.
const Pair &rsa_pair() {
  static const Pair p = rsa_published();
  return p;
}
const Pair &ecdsa_pair() {
  static const Pair p = [] {
    ql::test::set_state(QLC_CM_STATE_APPROVED);
    return generate(QL_PKEY_ECDSA, ecdsa_params(224));
  }();
  return p;
}
const Pair &kcdsa_pair() {
  static const Pair p = [] {
    ql::test::set_state(QLC_CM_STATE_APPROVED);
    return generate(QL_PKEY_KCDSA, kcdsa_1024_params());
  }();
  return p;
}

const Bytes kMsg(100, 0x5c);

// A signature scheme with what it needs besides the keys.
struct Scheme {
  int32_t sign_id;
  QL_PSS_PARAM pss;
};

QL_ASYM_SIGN_PARAM sign_param_for(const Scheme &s, const Pair &p) {
  QL_ASYM_SIGN_PARAM sp{};
  if (p.pkey == QL_PKEY_KCDSA) {
    sp.public_key = p.pub.get();
  } else {
    sp.pss = s.pss;
  }
  return sp;
}

// Signs and verifies `kMsg` under every scheme given; a flipped byte must not verify.
void sign_verify_all(const Pair &p, const std::vector<Scheme> &schemes, size_t max_sig_len) {
  for (const Scheme &s : schemes) {
    SCOPED_TRACE(s.sign_id);
    const QL_ASYM_SIGN_PARAM sp = sign_param_for(s, p);
    Bytes sig(max_sig_len + 64);
    uint32_t len = 0;
    ASSERT_EQ(0, QLC_ASYM_Sign(sig.data(), &len, 0, kMsg.data(), 100, s.sign_id, p.priv.get(),
                               p.params.get(), &sp));
    EXPECT_LE(len, max_sig_len);
    EXPECT_EQ(0, QLC_ASYM_Verify(sig.data(), len, 0, kMsg.data(), 100, s.sign_id, p.pub.get(),
                                 p.params.get(), &sp));
    sig[len / 2] ^= 0x10;
    EXPECT_NE(0, QLC_ASYM_Verify(sig.data(), len, 0, kMsg.data(), 100, s.sign_id, p.pub.get(),
                                 p.params.get(), &sp));
  }
}

void oaep_round_trip(const Pair &p, uint32_t modulus_len) {
  QL_OAEP_PARAM oaep{QL_HASH_SHA256, 3, 1, nullptr, 0};
  Bytes ct(modulus_len), pt(modulus_len);
  uint32_t ct_len = 0, pt_len = 0;
  ASSERT_EQ(0, QLC_ASYM_Encrypt(ct.data(), &ct_len, kMsg.data(), 40, QL_PENC_RSA_OAEP, p.pub.get(),
                                &oaep));
  EXPECT_EQ(modulus_len, ct_len);
  ASSERT_EQ(0, QLC_ASYM_Decrypt(pt.data(), &pt_len, ct.data(), ct_len, QL_PENC_RSA_OAEP,
                                p.priv.get(), &oaep));
  EXPECT_EQ(Bytes(kMsg.begin(), kMsg.begin() + 40), Bytes(pt.begin(), pt.begin() + pt_len));
}

struct GenCase {
  const char *name;
  int32_t pkey;
  uint32_t size;  // modulus bytes (RSA), curve bits (ECDSA), 1024 = the published KCDSA group
  std::vector<Scheme> schemes;
  size_t max_sig_len;  // the bound the header documents
};

void generate_and_use(const GenCase &c) {
  for (int32_t state : {QLC_CM_STATE_APPROVED, QLC_CM_STATE_NON_APPROVED}) {
    SCOPED_TRACE(std::string(c.name) + " state " + std::to_string(state));
    ql::test::set_state(state);
    Key params(nullptr, KeyDel{QLC_ASYM_Param_Delete});
    if (c.pkey == QL_PKEY_ECDSA) {
      params = ecdsa_params(c.size);
    } else if (c.pkey == QL_PKEY_KCDSA) {
      params = kcdsa_1024_params();
    }
    const Pair p = generate(c.pkey, std::move(params), c.pkey == QL_PKEY_RSA ? c.size : 0);
    ASSERT_FALSE(empty(p.priv.get()));
    EXPECT_EQ(0, QLC_KEY_CheckKeyPair(p.priv.get(), p.pub.get(), p.params.get()));
    sign_verify_all(p, c.schemes, c.max_sig_len);
    if (c.pkey == QL_PKEY_RSA) {
      oaep_round_trip(p, c.size);
    }
    EXPECT_EQ(state, QLC_CM_StateInfo());
  }
}

const std::vector<Scheme> kRsaSchemes = {{3, {}}, {4, {}}, {11, {2, 1}}, {32, {3, 3}}};

TEST(ModuleAsym, GeneratedPairsWorkInBothStates) {
  const GenCase cases[] = {
      {"ECDSA P-224", QL_PKEY_ECDSA, 224, {{21, {}}}, 64},
      {"ECDSA P-256", QL_PKEY_ECDSA, 256, {{21, {}}}, 72},
      {"KCDSA 1024", QL_PKEY_KCDSA, 1024, {{16, {}}, {17, {}}}, 20 + 20 + 8},
  };
  for (const GenCase &c : cases) {
    generate_and_use(c);
  }
}

TEST(ModuleAsym, HeavyRsaPairsWorkInBothStates) {
  generate_and_use({"RSA-1024", QL_PKEY_RSA, 128, kRsaSchemes, 128});
  generate_and_use({"RSA-2048", QL_PKEY_RSA, 256, kRsaSchemes, 256});
}

// Schemes the approved state refuses still work in the non-approved one.
TEST(ModuleAsym, NonApprovedStatePassesEveryIdentifier) {
  const Pair &p = rsa_pair();
  ql::test::set_state(QLC_CM_STATE_NON_APPROVED);
  sign_verify_all(p, {{5, {}}, {6, {}}, {33, {4, 1}}, {34, {3, 5}}}, 128);
  Bytes ct(128), pt(128);
  uint32_t ct_len = 0, pt_len = 0;
  ASSERT_EQ(0, QLC_ASYM_Encrypt(ct.data(), &ct_len, kMsg.data(), 50, QL_PENC_RSA_V15, p.pub.get(),
                                nullptr));
  ASSERT_EQ(0, QLC_ASYM_Decrypt(pt.data(), &pt_len, ct.data(), ct_len, QL_PENC_RSA_V15,
                                p.priv.get(), nullptr));
  EXPECT_EQ(50u, pt_len);
  // Scheme 9 wraps a caller's digest.
  Bytes sig(128);
  uint32_t len = 0;
  ASSERT_EQ(0,
            QLC_ASYM_Sign(sig.data(), &len, 1, kMsg.data(), 35, 9, p.priv.get(), nullptr, nullptr));
  EXPECT_EQ(0,
            QLC_ASYM_Verify(sig.data(), len, 1, kMsg.data(), 35, 9, p.pub.get(), nullptr, nullptr));
}

// Every service's refusals: null arguments in every state (before the state step, so the
// state stays as it was), then gates, states and missing scheme parameters.
TEST(ModuleAsym, ArgumentGateAndStateCodes) {
  const Pair &r = rsa_pair();
  const Pair &k = kcdsa_pair();
  Bytes buf(600);
  uint32_t len = 7;
  const uint32_t size = 224;
  const QL_ASYM_KEYGEN_PARAM kg{128, 0};
  QL_OAEP_PARAM oaep{2, 1, 1, nullptr, 0};
  Key used = new_public();
  ASSERT_EQ(0, QLC_KEY_PubKey_Copy(used.get(), r.pub.get(), nullptr));
  uint8_t *b = buf.data();
  const uint8_t *m = kMsg.data();
  struct Case {
    const char *name;
    int32_t code;
    std::function<int32_t()> call;
  };
  const Case null_cases[] = {
      {"GenParam params", -6023, [&] { return QLC_ASYM_GenParam(nullptr, 12, &size); }},
      {"GenParam size", -6023, [&] { return QLC_ASYM_GenParam(new_params().get(), 12, nullptr); }},
      {"GenParam used", -6023, [&] { return QLC_ASYM_GenParam(used.get(), 12, &size); }},
      {"GenKeyPair priv", -6097,
       [&] { return QLC_KEY_GenKeyPair(nullptr, new_public().get(), 1, nullptr, &kg); }},
      {"GenKeyPair pub", -6097,
       [&] { return QLC_KEY_GenKeyPair(new_private().get(), nullptr, 1, nullptr, &kg); }},
      {"GenKeyPair keygen", -6097,
       [&] {
         return QLC_KEY_GenKeyPair(new_private().get(), new_public().get(), 1, nullptr, nullptr);
       }},
      {"GenKeyPair used", -6097,
       [&] { return QLC_KEY_GenKeyPair(new_private().get(), used.get(), 1, nullptr, &kg); }},
      {"GenKeyPair same", -6097,
       [&] {
         Key one = new_private();
         return QLC_KEY_GenKeyPair(one.get(), one.get(), 1, nullptr, &kg);
       }},
      {"CheckKeyPair priv", -6098,
       [&] { return QLC_KEY_CheckKeyPair(nullptr, r.pub.get(), nullptr); }},
      {"CheckKeyPair pub", -6098,
       [&] { return QLC_KEY_CheckKeyPair(r.priv.get(), nullptr, nullptr); }},
      {"Encrypt out", -6099,
       [&] { return QLC_ASYM_Encrypt(nullptr, &len, m, 20, 3, r.pub.get(), &oaep); }},
      {"Encrypt len", -6099,
       [&] { return QLC_ASYM_Encrypt(b, nullptr, m, 20, 3, r.pub.get(), &oaep); }},
      {"Encrypt in", -6099,
       [&] { return QLC_ASYM_Encrypt(b, &len, nullptr, 20, 3, r.pub.get(), &oaep); }},
      {"Encrypt key", -6099, [&] { return QLC_ASYM_Encrypt(b, &len, m, 20, 3, nullptr, &oaep); }},
      {"Decrypt out", -6100,
       [&] { return QLC_ASYM_Decrypt(nullptr, &len, m, 20, 3, r.priv.get(), &oaep); }},
      {"Decrypt len", -6100,
       [&] { return QLC_ASYM_Decrypt(b, nullptr, m, 20, 3, r.priv.get(), &oaep); }},
      {"Decrypt in", -6100,
       [&] { return QLC_ASYM_Decrypt(b, &len, nullptr, 20, 3, r.priv.get(), &oaep); }},
      {"Decrypt key", -6100, [&] { return QLC_ASYM_Decrypt(b, &len, m, 20, 3, nullptr, &oaep); }},
      {"Sign sig", -6104,
       [&] { return QLC_ASYM_Sign(nullptr, &len, 0, m, 20, 3, r.priv.get(), nullptr, nullptr); }},
      {"Sign len", -6104,
       [&] { return QLC_ASYM_Sign(b, nullptr, 0, m, 20, 3, r.priv.get(), nullptr, nullptr); }},
      {"Sign msg", -6104,
       [&] { return QLC_ASYM_Sign(b, &len, 0, nullptr, 20, 3, r.priv.get(), nullptr, nullptr); }},
      {"Sign key", -6104,
       [&] { return QLC_ASYM_Sign(b, &len, 0, m, 20, 3, nullptr, nullptr, nullptr); }},
      {"Verify sig", -6106,
       [&] { return QLC_ASYM_Verify(nullptr, 9, 0, m, 20, 3, r.pub.get(), nullptr, nullptr); }},
      {"Verify msg", -6106,
       [&] { return QLC_ASYM_Verify(b, 9, 0, nullptr, 20, 3, r.pub.get(), nullptr, nullptr); }},
      {"Verify key", -6106,
       [&] { return QLC_ASYM_Verify(b, 9, 0, m, 20, 3, nullptr, nullptr, nullptr); }},
  };
  for (int32_t state : {1, 3, 5, 9, 11}) {
    for (const Case &c : null_cases) {
      ql::test::set_state(state);
      EXPECT_EQ(c.code, c.call()) << c.name << " in state " << state;
      EXPECT_EQ(state, QLC_CM_StateInfo()) << c.name;
    }
  }
  const QL_ASYM_SIGN_PARAM no_key{};
  const Case state_cases[] = {
      // state, then the expected code, by row: approved state 5 unless the name says 3.
      {"5: PKCS #1 v1.5 encryption", -6072,
       [&] { return QLC_ASYM_Encrypt(b, &len, m, 20, 1, r.pub.get(), nullptr); }},
      {"5: encryption 2", -6073,
       [&] { return QLC_ASYM_Encrypt(b, &len, m, 20, 2, r.pub.get(), nullptr); }},
      {"5: OAEP without parameters reaches the dispatcher", -6035,
       [&] { return QLC_ASYM_Encrypt(b, &len, m, 20, 3, r.pub.get(), nullptr); }},
      {"5: decryption 13", -6072,
       [&] { return QLC_ASYM_Decrypt(b, &len, m, 20, 13, r.priv.get(), nullptr); }},
      {"3: decryption 13 reaches the dispatcher", -6038,
       [&] { return QLC_ASYM_Decrypt(b, &len, m, 20, 13, r.priv.get(), nullptr); }},
      {"5: sign scheme 9", -6074,
       [&] { return QLC_ASYM_Sign(b, &len, 1, m, 20, 9, r.priv.get(), nullptr, nullptr); }},
      {"5: verify scheme 33", -6074,
       [&] { return QLC_ASYM_Verify(b, 9, 0, m, 20, 33, r.pub.get(), nullptr, nullptr); }},
      {"5: KCDSA without sign parameter", -6102,
       [&] { return QLC_ASYM_Sign(b, &len, 0, m, 20, 16, k.priv.get(), k.params.get(), nullptr); }},
      {"5: KCDSA sign parameter without key", -6102,
       [&] { return QLC_ASYM_Sign(b, &len, 0, m, 20, 18, k.priv.get(), k.params.get(), &no_key); }},
      {"5: KCDSA verify without sign parameter", -6102,
       [&] { return QLC_ASYM_Verify(b, 9, 0, m, 20, 17, k.pub.get(), k.params.get(), nullptr); }},
      {"5: PSS 11 without sign parameter", -6102,
       [&] { return QLC_ASYM_Sign(b, &len, 0, m, 20, 11, r.priv.get(), nullptr, nullptr); }},
      {"5: PSS 32 verify without sign parameter", -6102,
       [&] { return QLC_ASYM_Verify(b, 9, 0, m, 20, 32, r.pub.get(), nullptr, nullptr); }},
      {"3: PSS 33 without sign parameter", -6102,
       [&] { return QLC_ASYM_Sign(b, &len, 0, m, 20, 33, r.priv.get(), nullptr, nullptr); }},
      {"3: PSS 34 verify without sign parameter", -6102,
       [&] { return QLC_ASYM_Verify(b, 9, 0, m, 20, 34, r.pub.get(), nullptr, nullptr); }},
      {"5: key-pair algorithm 2", -6071,
       [&] { return QLC_ASYM_GenParam(new_params().get(), 2, &size); }},
      {"3: key-pair algorithm 2 reaches the dispatcher", -6025,
       [&] { return QLC_ASYM_GenParam(new_params().get(), 2, &size); }},
      {"5: GenKeyPair algorithm 7", -6071,
       [&] {
         return QLC_KEY_GenKeyPair(new_private().get(), new_public().get(), 7, nullptr, &kg);
       }},
      {"3: GenKeyPair algorithm 7 reaches the dispatcher", -6030,
       [&] {
         return QLC_KEY_GenKeyPair(new_private().get(), new_public().get(), 7, nullptr, &kg);
       }},
      {"5: keys of two algorithms", -1001,
       [&] { return QLC_KEY_CheckKeyPair(r.priv.get(), k.pub.get(), k.params.get()); }},
      {"5: RSA key for ECDSA", -1001,
       [&] { return QLC_ASYM_Sign(b, &len, 0, m, 20, 21, r.priv.get(), nullptr, nullptr); }},
      {"9: error state", -6066,
       [&] { return QLC_ASYM_Sign(b, &len, 0, m, 20, 3, r.priv.get(), nullptr, nullptr); }},
      {"11: finalised", -6065,
       [&] { return QLC_KEY_CheckKeyPair(r.priv.get(), r.pub.get(), nullptr); }},
  };
  for (const Case &c : state_cases) {
    const int32_t state = std::stoi(c.name);
    ql::test::set_state(state);
    len = 7;
    EXPECT_EQ(c.code, c.call()) << c.name;
    EXPECT_EQ(state, QLC_CM_StateInfo()) << c.name;
  }
  // The first service of a fresh module approves it.
  ql::test::set_state(QLC_CM_STATE_NOT_INITIALIZED);
  EXPECT_EQ(0, QLC_KEY_CheckKeyPair(r.priv.get(), r.pub.get(), nullptr));
  EXPECT_EQ(QLC_CM_STATE_APPROVED, QLC_CM_StateInfo());
  for (int32_t code : {-6093, -6105, -6107, -6121, -6140}) {
    EXPECT_STREQ("malloc failed", QLC_CM_ErrorString(code)) << code;
  }
  EXPECT_STREQ("conditional test is failed", QLC_CM_ErrorString(-6112));
  EXPECT_STREQ("internal error", QLC_CM_ErrorString(-6139));
}

// Labels of every length the OAEP functions take are used, not dropped; longer ones and null
// labels are refused with codes of their own.
TEST(ModuleAsym, OaepLabelsAtTheirLimits) {
  const Pair &r = rsa_pair();
  ql::test::set_state(QLC_CM_STATE_APPROVED);
  Bytes label(40000, 0x33);
  Bytes ct(128), pt(128);
  uint32_t ct_len = 0, pt_len = 0;
  for (uint32_t n : {1u, 32767u, 32768u}) {
    SCOPED_TRACE(n);
    QL_OAEP_PARAM enc{2, 1, 1, label.data(), n};
    ASSERT_EQ(0, QLC_ASYM_Encrypt(ct.data(), &ct_len, kMsg.data(), 20, 3, r.pub.get(), &enc));
    ASSERT_EQ(0, QLC_ASYM_Decrypt(pt.data(), &pt_len, ct.data(), ct_len, 3, r.priv.get(), &enc));
    EXPECT_EQ(20u, pt_len);
    // The last byte of the label takes part: another last byte fails the decryption.
    Bytes other(label.begin(), label.begin() + n);
    other.back() ^= 1;
    QL_OAEP_PARAM dec{2, 1, 1, other.data(), n};
    EXPECT_EQ(-3011,
              QLC_ASYM_Decrypt(pt.data(), &pt_len, ct.data(), ct_len, 3, r.priv.get(), &dec));
    EXPECT_EQ(0u, pt_len);
  }
  struct Refusal {
    uint8_t *label;
    uint32_t len;
    int32_t enc_code, dec_code;
  } refusals[] = {
      {label.data(), 32769, -3002, -3011},
      {label.data(), 40000, -3002, -3011},
      {nullptr, 5, -6139, -6139},
  };
  for (const Refusal &f : refusals) {
    QL_OAEP_PARAM p{2, 1, 1, f.label, f.len};
    EXPECT_EQ(f.enc_code,
              QLC_ASYM_Encrypt(ct.data(), &ct_len, kMsg.data(), 20, 3, r.pub.get(), &p));
    EXPECT_EQ(f.dec_code,
              QLC_ASYM_Decrypt(pt.data(), &pt_len, ct.data(), 128, 3, r.priv.get(), &p));
    EXPECT_EQ(QLC_CM_STATE_APPROVED, QLC_CM_StateInfo());
  }
}

TEST(ModuleAsym, OaepParameterCopy) {
  uint8_t label[3] = {1, 2, 3};
  const QL_OAEP_PARAM src{3, 3, 1, label, 3};
  EXPECT_EQ(-6139, QLC_ASYM_PEncParam_Copy(nullptr, &src));
  QL_OAEP_PARAM *dst = QLC_ASYM_PEncParam_New();
  EXPECT_EQ(-6139, QLC_ASYM_PEncParam_Copy(dst, nullptr));
  ASSERT_EQ(0, QLC_ASYM_PEncParam_Copy(dst, &src));
  EXPECT_EQ(3, dst->hash_id);
  EXPECT_EQ(3, dst->mgf_id);
  EXPECT_EQ(1, dst->source_id);
  ASSERT_EQ(3u, dst->label_len);
  EXPECT_NE(label, dst->label);
  EXPECT_EQ(0, std::memcmp(label, dst->label, 3));
  QLC_ASYM_PEncParam_Delete(dst);
  QLC_ASYM_PEncParam_Delete(nullptr);
}

// The encryption half of the pair-wise test refuses every way an encryption can fail to hide
// the message, even when the decryption gives it back.
TEST(ModuleAsym, PairTestRoundTripCheck) {
  const Bytes msg(20, 0x0a);
  Bytes ct(128, 0x77);
  const Bytes hidden = ct;
  Bytes leading = ct;
  std::copy(msg.begin(), msg.end(), leading.begin());
  Bytes other = msg;
  other[19] ^= 1;
  struct Case {
    const char *name;
    const Bytes &ct, &dec;
    int32_t code;
  } cases[] = {
      {"hidden and decrypted", hidden, msg, 0},
      {"message in the clear at the start", leading, msg, -6112},
      {"ciphertext is the message", msg, msg, -6112},
      {"another message", hidden, other, -6112},
      {"a shorter message", hidden, Bytes(msg.begin(), msg.begin() + 19), -6112},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(c.code,
              ql::check_round_trip(msg.data(), 20, c.ct.data(), static_cast<uint32_t>(c.ct.size()),
                                   c.dec.data(), static_cast<uint32_t>(c.dec.size())))
        << c.name;
  }
}

// The module's sign parameter: what it copies for each scheme and direction.
TEST(ModuleAsym, SignParameterConversion) {
  const Pair &k = kcdsa_pair();
  QL_ASYM_SIGN_PARAM pss{};
  pss.pss = {4, 5};
  QL_ASYM_SIGN_PARAM with_key{};
  with_key.public_key = k.pub.get();
  const Bytes key_before = snapshot(k.pub.get(), kPublic);
  struct Case {
    int32_t sign_id, direction;
    const QL_ASYM_SIGN_PARAM *src;
    int32_t code;
  } cases[] = {
      {11, 1, &pss, 0},        {32, 2, &pss, 0},        {33, 1, &pss, 0},
      {34, 2, &pss, 0},        {11, 1, nullptr, -6102}, {33, 2, nullptr, -6102},
      {34, 1, nullptr, -6102}, {16, 1, &with_key, 0},   {17, 2, &with_key, 0},
      {18, 1, &with_key, 0},   {16, 1, nullptr, -6102}, {18, 2, &pss, -6102},
      {3, 1, nullptr, 0},      {21, 2, &pss, 0},        {11, 0, nullptr, 0},
      {16, 3, nullptr, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.sign_id) + " direction " + std::to_string(c.direction));
    QL_ASYM_SIGN_PARAM *dst = QL_ASYM_SignParam_New();
    if (c.src == &pss) {
      pss.pss = {4, 5};
      if (c.sign_id >= 16 && c.sign_id <= 18) {
        pss.public_key = nullptr;
      }
    }
    EXPECT_EQ(c.code,
              QLC_ASYM_SignParam_Convert(dst, c.direction, c.sign_id, c.src, k.params.get()));
    const bool copies = c.code == 0 && (c.direction == 1 || c.direction == 2);
    if (copies && c.sign_id >= 11 && c.sign_id <= 34 && c.sign_id != 16 && c.sign_id != 17 &&
        c.sign_id != 18 && c.sign_id != 21) {
      EXPECT_EQ(4, dst->pss.hash_id);
      EXPECT_EQ(5, dst->pss.mgf_id);
    } else if (copies && c.sign_id >= 16 && c.sign_id <= 18) {
      ASSERT_NE(nullptr, dst->public_key);
      EXPECT_NE(k.pub.get(), dst->public_key);
      EXPECT_EQ(dst->public_key->algorithm, QL_PKEY_KCDSA);
      EXPECT_EQ(0, std::memcmp(k.pub->body, dst->public_key->body, sizeof(Big)));
    } else {
      EXPECT_EQ(nullptr, dst->public_key);
    }
    QL_ASYM_SignParam_Delete(dst, c.sign_id);
  }
  EXPECT_EQ(key_before, snapshot(k.pub.get(), kPublic));
}

// A caller's keys in the shape an outside program may hand them over: integers whose length
// words count leading zero words.
struct LoosePairs {
  Key rsa_priv, rsa_pub, kc_params, kc_priv, kc_pub, ec_params, ec_priv, ec_pub;
  Bytes rsa_ct, rsa_sig, kc_sig;  // made by the dispatcher, for the services that check them
};

const uint8_t kShortMsg[20] = {1, 2, 3};
const QL_OAEP_PARAM kOaep{2, 1, 1, const_cast<uint8_t *>(kShortMsg), 20};

Key loose_copy(const QL_ASYM_KEY *src, Role role, const QL_ASYM_KEY *params) {
  Key out = role == kParams ? new_params() : role == kPrivate ? new_private() : new_public();
  const int32_t r = role == kParams    ? QLC_ASYM_Param_Copy(out.get(), src)
                    : role == kPrivate ? QLC_KEY_PriKey_Copy(out.get(), src, params)
                                       : QLC_KEY_PubKey_Copy(out.get(), src, params);
  EXPECT_EQ(0, r);
  auto loosen = [](Big &b) { b.length += 3; };
  switch (src->algorithm * 3 + role) {
    case QL_PKEY_RSA * 3 + kPrivate:
      loosen(static_cast<QL_RSA_PRIVATE_KEY *>(out->body)->n);
      loosen(static_cast<QL_RSA_PRIVATE_KEY *>(out->body)->d);
      break;
    case QL_PKEY_RSA * 3 + kPublic:
      loosen(static_cast<QL_RSA_PUBLIC_KEY *>(out->body)->e);
      break;
    case QL_PKEY_KCDSA * 3 + kParams:
      loosen(static_cast<QL_KCDSA_PARAMETERS *>(out->body)->q);
      break;
    case QL_PKEY_KCDSA * 3 + kPrivate:
    case QL_PKEY_KCDSA * 3 + kPublic:
    case QL_PKEY_ECDSA * 3 + kPrivate:
      loosen(*static_cast<Big *>(out->body));
      break;
    case QL_PKEY_ECDSA * 3 + kPublic:
      loosen(static_cast<BigPoint *>(out->body)->x);
      break;
    default:
      break;
  }
  return out;
}

LoosePairs loose_pairs() {
  const Pair &r = rsa_pair(), &k = kcdsa_pair(), &e = ecdsa_pair();
  LoosePairs l;
  l.rsa_priv = loose_copy(r.priv.get(), kPrivate, nullptr);
  l.rsa_pub = loose_copy(r.pub.get(), kPublic, nullptr);
  l.kc_params = loose_copy(k.params.get(), kParams, nullptr);
  l.kc_priv = loose_copy(k.priv.get(), kPrivate, nullptr);
  l.kc_pub = loose_copy(k.pub.get(), kPublic, nullptr);
  l.ec_params = loose_copy(e.params.get(), kParams, nullptr);
  l.ec_priv = loose_copy(e.priv.get(), kPrivate, e.params.get());
  l.ec_pub = loose_copy(e.pub.get(), kPublic, e.params.get());
  uint32_t n = 0;
  l.rsa_ct.resize(128);
  EXPECT_EQ(0, QL_ASYM_Encrypt(l.rsa_ct.data(), &n, kShortMsg, 20, 3, r.pub.get(), &kOaep));
  l.rsa_sig.resize(128);
  EXPECT_EQ(
      0, QL_ASYM_Sign(l.rsa_sig.data(), &n, 0, kShortMsg, 20, 4, r.priv.get(), nullptr, nullptr));
  QL_ASYM_SIGN_PARAM sp{};
  sp.public_key = k.pub.get();
  l.kc_sig.resize(100);
  EXPECT_EQ(0, QL_ASYM_Sign(l.kc_sig.data(), &n, 0, kShortMsg, 20, 17, k.priv.get(), k.params.get(),
                            &sp));
  l.kc_sig.resize(n);
  return l;
}

// A service over the loose pairs, with the caller records it reads.
struct Service {
  const char *name;
  bool draws_random;               // each call runs the entropy commands: slow
  std::vector<int32_t> own_codes;  // its allocation codes, each seen by the failure loop
  std::function<int32_t(const LoosePairs &, Bytes &out, uint32_t &out_len, Key &a, Key &b)> call;
};

std::vector<Service> services() {
  const uint8_t *msg = kShortMsg;
  const QL_OAEP_PARAM *oaep = &kOaep;
  return {
      {"GenParam ECDSA",
       false,
       {-6096, -6093},
       [](const LoosePairs &, Bytes &, uint32_t &, Key &a, Key &) {
         const uint32_t bits = 256;
         return QLC_ASYM_GenParam(a.get(), QL_PKEY_ECDSA, &bits);
       }},
      {"GenKeyPair ECDSA",
       true,
       {-6121, -6093, -6094, -6095},
       [](const LoosePairs &l, Bytes &, uint32_t &, Key &a, Key &b) {
         const QL_ASYM_KEYGEN_PARAM kg{};
         return QLC_KEY_GenKeyPair(a.get(), b.get(), QL_PKEY_ECDSA, l.ec_params.get(), &kg);
       }},
      {"CheckKeyPair KCDSA",
       false,
       {-6140, -6093, -6094, -6095},
       [](const LoosePairs &l, Bytes &, uint32_t &, Key &, Key &) {
         return QLC_KEY_CheckKeyPair(l.kc_priv.get(), l.kc_pub.get(), l.kc_params.get());
       }},
      {"CheckKeyPair ECDSA",
       false,
       {-6140},
       [](const LoosePairs &l, Bytes &, uint32_t &, Key &, Key &) {
         return QLC_KEY_CheckKeyPair(l.ec_priv.get(), l.ec_pub.get(), l.ec_params.get());
       }},
      {"Encrypt OAEP",
       true,
       {-6119, -6118, -6095},
       [=](const LoosePairs &l, Bytes &out, uint32_t &len, Key &, Key &) {
         return QLC_ASYM_Encrypt(out.data(), &len, msg, 20, 3, l.rsa_pub.get(), oaep);
       }},
      {"Decrypt OAEP",
       true,
       {-6120, -6119, -6118, -6094},
       [=](const LoosePairs &l, Bytes &out, uint32_t &len, Key &, Key &) {
         return QLC_ASYM_Decrypt(out.data(), &len, l.rsa_ct.data(), 128, 3, l.rsa_priv.get(), oaep);
       }},
      {"Sign KCDSA",
       true,
       {-6105, -6103, -6093, -6094, -6095},
       [=](const LoosePairs &l, Bytes &out, uint32_t &len, Key &, Key &) {
         QL_ASYM_SIGN_PARAM sp{};
         sp.public_key = l.kc_pub.get();
         return QLC_ASYM_Sign(out.data(), &len, 0, msg, 20, 16, l.kc_priv.get(), l.kc_params.get(),
                              &sp);
       }},
      {"Sign ECDSA",
       true,
       {-6105},
       [=](const LoosePairs &l, Bytes &out, uint32_t &len, Key &, Key &) {
         return QLC_ASYM_Sign(out.data(), &len, 0, msg, 20, 21, l.ec_priv.get(), l.ec_params.get(),
                              nullptr);
       }},
      {"Sign RSA PSS",
       true,
       {-6105, -6094},
       [=](const LoosePairs &l, Bytes &out, uint32_t &len, Key &, Key &) {
         QL_ASYM_SIGN_PARAM sp{};
         sp.pss = {3, 3};
         return QLC_ASYM_Sign(out.data(), &len, 0, msg, 20, 32, l.rsa_priv.get(), nullptr, &sp);
       }},
      {"Verify KCDSA",
       false,
       {-6107, -6103, -6093, -6095},
       [=](const LoosePairs &l, Bytes &, uint32_t &, Key &, Key &) {
         QL_ASYM_SIGN_PARAM sp{};
         sp.public_key = l.kc_pub.get();
         return QLC_ASYM_Verify(l.kc_sig.data(), static_cast<uint32_t>(l.kc_sig.size()), 0, msg, 20,
                                17, l.kc_pub.get(), l.kc_params.get(), &sp);
       }},
      {"Verify RSA",
       false,
       {-6107, -6095},
       [=](const LoosePairs &l, Bytes &, uint32_t &, Key &, Key &) {
         return QLC_ASYM_Verify(l.rsa_sig.data(), 128, 0, msg, 20, 4, l.rsa_pub.get(), nullptr,
                                nullptr);
       }},
  };
}

std::vector<Bytes> snapshots(const LoosePairs &l) {
  return {snapshot(l.rsa_priv.get(), kPrivate), snapshot(l.rsa_pub.get(), kPublic),
          snapshot(l.kc_params.get(), kParams), snapshot(l.kc_priv.get(), kPrivate),
          snapshot(l.kc_pub.get(), kPublic),    snapshot(l.ec_params.get(), kParams),
          snapshot(l.ec_priv.get(), kPrivate),  snapshot(l.ec_pub.get(), kPublic)};
}

// Every service succeeds on records that are not in normal form and leaves them as they were.
TEST(ModuleAsym, CallerRecordsStayAsTheyWere) {
  const LoosePairs l = loose_pairs();
  const std::vector<Bytes> before = snapshots(l);
  for (const Service &s : services()) {
    ql::test::set_state(QLC_CM_STATE_APPROVED);
    Bytes out(600);
    uint32_t len = 0;
    Key a = std::string(s.name).find("GenParam") == 0 ? new_params() : new_private();
    Key b = new_public();
    EXPECT_EQ(0, s.call(l, out, len, a, b)) << s.name;
    EXPECT_EQ(before, snapshots(l)) << s.name;
  }
}

// Each allocation of each service failing in turn: a critical code comes back with its bit set
// (the boundary's own codes among them), the module is in its error state, the caller's records are
// unchanged and the output records still empty.
void allocation_failures(bool draws_random) {
  const LoosePairs l = loose_pairs();
  const std::vector<Bytes> before = snapshots(l);
  for (const Service &s : services()) {
    if (s.draws_random != draws_random) {
      continue;
    }
    std::set<int32_t> seen;
    for (int64_t n = 0;; n++) {
      ASSERT_LT(n, 400) << s.name;
      ql::test::set_state(QLC_CM_STATE_APPROVED);
      Bytes out(600);
      uint32_t len = 0;
      Key a = std::string(s.name).find("GenParam") == 0 ? new_params() : new_private();
      Key b = new_public();
      ql::test::alloc_fail_at(n);
      const int32_t r = s.call(l, out, len, a, b);
      ql::test::alloc_fail_at(-1);
      if (r == 0) {
        break;
      }
      seen.insert(r);
      // Only a critical result (or a failed pair test, which this is not) enters state 9.
      EXPECT_NE(-6112, r) << s.name << " allocation " << n;
      EXPECT_EQ(QLC_CM_STATE_ERROR, QLC_CM_StateInfo()) << s.name << " allocation " << n;
      EXPECT_EQ(before, snapshots(l)) << s.name << " allocation " << n;
      EXPECT_TRUE(empty(a.get()) && empty(b.get())) << s.name << " allocation " << n;
      EXPECT_EQ(0u, len) << s.name;
    }
    for (int32_t code : s.own_codes) {
      EXPECT_EQ(1u, seen.count(code)) << s.name << " never returned " << code;
    }
  }
}

TEST(ModuleAsym, AllocationFailureAtEveryAllocation) { allocation_failures(false); }

TEST(ModuleAsym, HeavyAllocationFailureAtEveryAllocationOfRandomisedServices) {
  allocation_failures(true);
}

// A pair that fails its test: -6112, the error state, empty output records, and every service
// refused afterwards. In the non-approved state the same damage comes back untested.
void failed_pair_test(int32_t pkey, const QL_ASYM_KEY *params) {
  const LoosePairs l = loose_pairs();
  const QL_ASYM_KEYGEN_PARAM kg{128, 0};
  ql::test::corrupt_generated_keys(true);
  ql::test::set_state(QLC_CM_STATE_APPROVED);
  Key priv = new_private(), pub = new_public();
  EXPECT_EQ(-6112, QLC_KEY_GenKeyPair(priv.get(), pub.get(), pkey, params, &kg));
  EXPECT_EQ(QLC_CM_STATE_ERROR, QLC_CM_StateInfo());
  EXPECT_TRUE(empty(priv.get()) && empty(pub.get()));
  for (const Service &s : services()) {
    Bytes out(600);
    uint32_t len = 0;
    Key a = std::string(s.name).find("GenParam") == 0 ? new_params() : new_private();
    Key b = new_public();
    EXPECT_EQ(-6066, s.call(l, out, len, a, b)) << s.name;
  }
  ql::test::set_state(QLC_CM_STATE_NON_APPROVED);
  ASSERT_EQ(0, QLC_KEY_GenKeyPair(priv.get(), pub.get(), pkey, params, &kg));
  ql::test::corrupt_generated_keys(false);
  EXPECT_NE(0, QLC_KEY_CheckKeyPair(priv.get(), pub.get(), params));
  EXPECT_EQ(QLC_CM_STATE_NON_APPROVED, QLC_CM_StateInfo());
}

TEST(ModuleAsym, FailedPairTestEntersTheErrorState) {
  failed_pair_test(QL_PKEY_KCDSA, kcdsa_pair().params.get());
  failed_pair_test(QL_PKEY_ECDSA, ecdsa_pair().params.get());
}

TEST(ModuleAsym, HeavyFailedRsaPairTestEntersTheErrorState) {
  failed_pair_test(QL_PKEY_RSA, nullptr);
}

// Eight threads at once, each with records of its own: generation, checks, signatures,
// encryption and random bytes, with the module's generator and state shared between them, and
// one caller's pair that all of them read.
TEST(ModuleAsymLoad, HeavyEightThreadsWithTheirOwnRecords) {
  ql::test::set_state(QLC_CM_STATE_APPROVED);
  const int32_t pkeys[8] = {QL_PKEY_ECDSA, QL_PKEY_KCDSA, QL_PKEY_RSA, QL_PKEY_ECDSA,
                            QL_PKEY_KCDSA, QL_PKEY_ECDSA, QL_PKEY_RSA, QL_PKEY_ECDSA};
  // The parameters are made before the threads start: a KCDSA group takes its time, and the
  // test is about the services, which each thread runs on its own copies.
  std::vector<Key> params;
  for (int32_t pkey : pkeys) {
    params.push_back(pkey == QL_PKEY_ECDSA   ? ecdsa_params(224)
                     : pkey == QL_PKEY_KCDSA ? kcdsa_1024_params()
                                             : Key(nullptr, KeyDel{QLC_ASYM_Param_Delete}));
  }
  // One pair all threads read at once, as two threads sharing a caller's key do.
  const Pair &shared = rsa_pair();
  Bytes shared_sig(128);
  uint32_t shared_len = 0;
  ASSERT_EQ(0, QLC_ASYM_Sign(shared_sig.data(), &shared_len, 0, kMsg.data(), 100, 4,
                             shared.priv.get(), nullptr, nullptr));
  std::vector<std::string> errors(8);
  auto work = [&](int t) {
    auto fail = [&](const char *what, int32_t r) {
      if (errors[t].empty() && r != 0) {
        errors[t] = std::string(what) + " " + std::to_string(r);
      }
    };
    fail("shared verify", QLC_ASYM_Verify(shared_sig.data(), shared_len, 0, kMsg.data(), 100, 4,
                                          shared.pub.get(), nullptr, nullptr));
    fail("shared check", QLC_KEY_CheckKeyPair(shared.priv.get(), shared.pub.get(), nullptr));
    const int32_t pkey = pkeys[t];
    Key priv = new_private(), pub = new_public();
    const QL_ASYM_KEYGEN_PARAM kg{128, 0};
    fail("generate", QLC_KEY_GenKeyPair(priv.get(), pub.get(), pkey, params[t].get(), &kg));
    fail("check", QLC_KEY_CheckKeyPair(priv.get(), pub.get(), params[t].get()));
    const int32_t sign_id = pkey == QL_PKEY_RSA ? 4 : pkey == QL_PKEY_KCDSA ? 17 : 21;
    QL_ASYM_SIGN_PARAM sp{};
    sp.public_key = pkey == QL_PKEY_KCDSA ? pub.get() : nullptr;
    Bytes msg(64);
    fail("rand", QLC_Rand(msg.data(), 64));
    for (int i = 0; i < 2; i++) {
      Bytes sig(256);
      uint32_t len = 0;
      fail("sign", QLC_ASYM_Sign(sig.data(), &len, 0, msg.data(), 64, sign_id, priv.get(),
                                 params[t].get(), &sp));
      fail("verify", QLC_ASYM_Verify(sig.data(), len, 0, msg.data(), 64, sign_id, pub.get(),
                                     params[t].get(), &sp));
      msg[i] ^= 1;
    }
    if (pkey == QL_PKEY_RSA) {
      const QL_OAEP_PARAM oaep{2, 1, 1, msg.data(), 64};
      Bytes ct(128), pt(128);
      uint32_t ct_len = 0, pt_len = 0;
      fail("encrypt", QLC_ASYM_Encrypt(ct.data(), &ct_len, msg.data(), 30, 3, pub.get(), &oaep));
      fail("decrypt",
           QLC_ASYM_Decrypt(pt.data(), &pt_len, ct.data(), ct_len, 3, priv.get(), &oaep));
      fail("round trip", std::memcmp(pt.data(), msg.data(), 30) == 0 && pt_len == 30 ? 0 : 1);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; t++) {
    threads.emplace_back(work, t);
  }
  for (std::thread &th : threads) {
    th.join();
  }
  for (int t = 0; t < 8; t++) {
    EXPECT_EQ("", errors[t]) << "thread " << t;
  }
  EXPECT_EQ(QLC_CM_STATE_APPROVED, QLC_CM_StateInfo());
}

}  // namespace
