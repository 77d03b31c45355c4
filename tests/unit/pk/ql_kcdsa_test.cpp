// KCDSA: the published TTAK samples (parameters regenerated from seed and counter, keys,
// signatures with the published k, verification), signing and verification edge cases, the
// parameter and public-key checks, every status code, allocation failures, and the DER
// encodings with malformed input at every byte.
#include "pk/ql_kcdsa.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "ql_vectors.h"

namespace {

using qltest::from_hex;
using qltest::to_hex;

Big from_bytes(const std::vector<uint8_t> &b) {
  Big r{};
  EXPECT_EQ(0, U8ToBig(&r, b.data(), static_cast<uint32_t>(b.size())));
  r.length = r.length == 0 ? 1 : r.length;
  return r;
}

std::vector<uint8_t> to_bytes(const Big &a) {
  std::vector<uint8_t> out(1028);
  out.resize(static_cast<size_t>(BigToU8(out.data(), &a)));
  return out;
}

Big small(uint32_t v) {
  Big r{};
  r.length = 1;
  r.words[0] = v;
  return r;
}

bool equal(const Big &a, const Big &b) { return Big_UComp(&a, &b) == 0 && a.sign == b.sign; }

// The digest identifier of a sample's hash, 0 for one the library does not have.
int32_t digest_of(const std::string &name) {
  if (name == "HAS-160") {
    return 1;
  }
  if (name == "SHA-1") {
    return 2;
  }
  if (name == "SHA-256") {
    return 3;
  }
  return 0;
}

struct Sample {
  std::string where;
  int32_t digest;
  uint32_t alpha, beta;
  QL_KCDSA_PARAMETERS params;
  Big x, y, k;
  std::vector<uint8_t> seed, xkey, upri, m, hm, r, s;
  std::vector<uint8_t> z;
};

std::vector<Sample> load_samples() {
  std::vector<Sample> out;
  for (const auto &c : qltest::load_vectors("kcdsa_ttak_r4.txt")) {
    Sample t{};
    t.where = c.where() + " " + c.str("EDITION");
    t.digest = digest_of(c.str("HASH"));
    t.alpha = static_cast<uint32_t>(c.num("ALPHA"));
    t.beta = static_cast<uint32_t>(c.num("BETA"));
    t.params.p = from_bytes(c.hex("P"));
    t.params.q = from_bytes(c.hex("Q"));
    t.params.g = from_bytes(c.hex("G"));
    t.params.J = from_bytes(c.hex("J"));
    t.seed = c.hex("SEED");
    std::memcpy(t.params.seed, t.seed.data(), t.seed.size());
    t.params.seed_len = static_cast<uint32_t>(t.seed.size());
    t.params.count = small(static_cast<uint32_t>(c.num("COUNT")));
    t.x = from_bytes(c.hex("X"));
    t.y = from_bytes(c.hex("Y"));
    t.k = from_bytes(c.hex("K"));
    t.xkey = c.hex("XKEY");
    t.upri = c.hex("UPRI");
    t.m = c.hex("M");
    t.hm = c.hex("HM");
    t.r = c.hex("R");
    t.s = c.hex("S");
    t.z = c.hex("Z");
    c.hex("GBASE");
    c.hex("W");
    c.expect_all_consumed();
    out.push_back(t);
  }
  return out;
}

// H of the sample's message: the rightmost hLen bytes of hash(z || M).
std::vector<uint8_t> message_hash(const Sample &t) {
  uint8_t h[64];
  uint32_t h_len = 0;
  EXPECT_EQ(
      0, QL_KCDSA_Hash(h, &h_len, t.m.data(), static_cast<uint32_t>(t.m.size()), t.digest, &t.y));
  const size_t keep = t.beta / 8 < h_len ? t.beta / 8 : h_len;
  return std::vector<uint8_t>(h + h_len - keep, h + h_len);
}

TEST(Kcdsa, PublishedParametersRegenerateFromSeedAndCount) {
  for (const Sample &t : load_samples()) {
    if (t.digest == 0) {
      continue;
    }
    QL_KCDSA_PARAMETERS out{};
    ASSERT_EQ(0, Big_KCDSA_GeneratePrimes(&out, t.alpha, t.beta, t.digest, &t.params)) << t.where;
    EXPECT_TRUE(equal(out.p, t.params.p)) << t.where;
    EXPECT_TRUE(equal(out.q, t.params.q)) << t.where;
    EXPECT_TRUE(equal(out.J, t.params.J)) << t.where;
    EXPECT_TRUE(equal(out.count, t.params.count)) << t.where;
    EXPECT_EQ(to_hex(t.seed), to_hex(out.seed, out.seed_len)) << t.where;
    // g is drawn afresh: it has order q and the new record passes the full check.
    EXPECT_EQ(0, QL_KCDSA_VerifyParameters(&out, t.digest)) << t.where;
    EXPECT_EQ(0, QL_KCDSA_VerifyParameters(&t.params, t.digest)) << t.where;
    // The record regenerates in place, as a seed record of itself.
    ASSERT_EQ(0, Big_KCDSA_GeneratePrimes(&out, t.alpha, t.beta, t.digest, &out)) << t.where;
    EXPECT_TRUE(equal(out.p, t.params.p)) << t.where;
  }
}

TEST(Kcdsa, PublishedKeysAndSignatures) {
  for (const Sample &t : load_samples()) {
    EXPECT_EQ(0, QL_KCDSA_ProveKeyPair(&t.x, &t.y, &t.params)) << t.where;
    EXPECT_EQ(0, QL_KCDSA_VerifyPublicKey(&t.params, &t.y)) << t.where;
    if (t.digest == 0) {
      continue;
    }
    // x from XKEY and the user's random input, through the KCDSA random step.
    Big xkey = from_bytes(t.xkey);
    Big x{};
    ASSERT_EQ(0, Big_Random_KCDSA(&x, &t.params.q, &xkey, t.digest, t.upri.data(),
                                  static_cast<uint32_t>(t.upri.size())));
    EXPECT_TRUE(equal(x, t.x)) << t.where;
    const std::vector<uint8_t> h = message_hash(t);
    EXPECT_EQ(to_hex(t.hm), to_hex(h)) << t.where;
    const uint32_t h_len = static_cast<uint32_t>(h.size());
    ql::test::kcdsa_use_nonce(&t.k);
    QL_KCDSA_SIGNATURE sig{};
    ASSERT_EQ(0, QL_KCDSA_Sign(&sig, t.digest, h.data(), h_len, &t.x, &t.params)) << t.where;
    std::vector<uint8_t> r(h_len);
    ASSERT_EQ(0, BigToU82(r.data(), &sig.r, h_len));
    EXPECT_EQ(to_hex(t.r), to_hex(r)) << t.where;
    EXPECT_EQ(to_hex(t.s), to_hex(to_bytes(sig.s))) << t.where;
    QL_KCDSA_SIGNATURE published{};
    published.r = from_bytes(t.r);
    published.s = from_bytes(t.s);
    EXPECT_EQ(0, QL_KCDSA_Verify(&t.params, &t.y, &published, t.digest, h.data(), h_len))
        << t.where;
  }
}

// The II.5 sample (1024/160, HAS-160): the set most tests below work on.
const Sample &legacy() {
  static const std::vector<Sample> all = load_samples();
  return all.back();
}
const Sample &large() {
  static const std::vector<Sample> all = load_samples();
  return all[2];  // II.3, 2048/256 with SHA-256
}

QL_KCDSA_SIGNATURE published_signature(const Sample &t) {
  QL_KCDSA_SIGNATURE sig{};
  sig.r = from_bytes(t.r);
  sig.s = from_bytes(t.s);
  return sig;
}

TEST(Kcdsa, EveryChangedByteIsRefused) {
  for (const Sample &t : load_samples()) {
    if (t.digest == 0) {
      continue;
    }
    const std::vector<uint8_t> h = message_hash(t);
    const uint32_t h_len = static_cast<uint32_t>(h.size());
    const QL_KCDSA_SIGNATURE good = published_signature(t);
    for (size_t i = 0; i < h_len; i++) {
      std::vector<uint8_t> bad_h = h;
      bad_h[i] ^= 0x01;
      EXPECT_EQ(-5001, QL_KCDSA_Verify(&t.params, &t.y, &good, t.digest, bad_h.data(), h_len))
          << t.where << " H byte " << i;
      std::vector<uint8_t> r = t.r;
      r[i] ^= 0x80;
      QL_KCDSA_SIGNATURE sig = good;
      sig.r = from_bytes(r);
      EXPECT_EQ(-5001, QL_KCDSA_Verify(&t.params, &t.y, &sig, t.digest, h.data(), h_len))
          << t.where << " r byte " << i;
      if (i < t.s.size()) {
        std::vector<uint8_t> sb = t.s;
        sb[i] ^= 0x01;
        sig = good;
        sig.s = from_bytes(sb);
        EXPECT_NE(0, QL_KCDSA_Verify(&t.params, &t.y, &sig, t.digest, h.data(), h_len))
            << t.where << " s byte " << i;
      }
    }
    const size_t y_bytes = 4 * static_cast<size_t>(t.y.length);
    for (size_t i : {size_t{0}, y_bytes / 2, y_bytes - 1}) {
      Big y = t.y;
      reinterpret_cast<uint8_t *>(y.words)[i] ^= 0x10;
      EXPECT_NE(0, QL_KCDSA_Verify(&t.params, &y, &good, t.digest, h.data(), h_len))
          << t.where << " y byte " << i;
    }
    // Another digest over the same input.
    const int32_t other = t.digest == 1 ? 3 : 1;
    if (h_len <= 20 || other == 3) {
      EXPECT_EQ(-5001, QL_KCDSA_Verify(&t.params, &t.y, &good, other, h.data(), h_len)) << t.where;
    }
  }
}

// r and s outside their ranges are refused before any arithmetic: r = 0 or longer than hLen,
// s = 0, s = q, s + q, negative s, and y outside [1, p - 1].
TEST(Kcdsa, VerifyRefusesValuesOutOfRange) {
  const Sample &t = legacy();
  const std::vector<uint8_t> h = message_hash(t);
  const QL_KCDSA_SIGNATURE good = published_signature(t);
  Big s_plus_q{};
  ASSERT_EQ(0, Big_Add(&s_plus_q, &good.s, &t.params.q));
  Big long_r = good.r;
  long_r.words[5] = 1;
  long_r.length = 6;
  Big negative_s = good.s;
  negative_s.sign = 1;
  Big p_minus_1{};
  ASSERT_EQ(0, Big_SubByWord(&p_minus_1, &t.params.p, 1));
  struct Case {
    Big r, s, y;
  } cases[] = {
      {small(0), good.s, t.y},    {long_r, good.s, t.y},        {good.r, small(0), t.y},
      {good.r, t.params.q, t.y},  {good.r, s_plus_q, t.y},      {good.r, negative_s, t.y},
      {good.r, good.s, small(0)}, {good.r, good.s, t.params.p},
  };
  for (const Case &c : cases) {
    QL_KCDSA_SIGNATURE sig{};
    sig.r = c.r;
    sig.s = c.s;
    EXPECT_EQ(-5008, QL_KCDSA_Verify(&t.params, &c.y, &sig, 1, h.data(), 20));
  }
  // y = p - 1 is in range but of order 2: the signature simply does not match.
  EXPECT_EQ(-5001, QL_KCDSA_Verify(&t.params, &p_minus_1, &good, 1, h.data(), 20));
  // hLen longer than q, than the digest or 0, and digests outside 1 to 5.
  EXPECT_EQ(-5008, QL_KCDSA_Verify(&t.params, &t.y, &good, 1, h.data(), 0));
  EXPECT_EQ(-5008, QL_KCDSA_Verify(&t.params, &t.y, &good, 1, h.data(), 21));
  for (int32_t id : {0, 6, -1}) {
    EXPECT_EQ(-5008, QL_KCDSA_Verify(&t.params, &t.y, &good, id, h.data(), 20)) << id;
  }
}

TEST(Kcdsa, SignVerifyRoundTripsForEveryDigest) {
  for (const Sample *t : {&legacy(), &large()}) {
    Big x{}, y{};
    ASSERT_EQ(0, QL_KCDSA_GenerateKeyPair(&t->params, &y, &x));
    EXPECT_EQ(0, QL_KCDSA_ProveKeyPair(&x, &y, &t->params));
    EXPECT_EQ(0, QL_KCDSA_VerifyPublicKey(&t->params, &y));
    EXPECT_EQ(-1, Big_UComp(&x, &t->params.q));
    for (int32_t id = 1; id <= 5; id++) {
      uint8_t h[64];
      uint32_t h_len = 0;
      const uint8_t msg[] = {'m', static_cast<uint8_t>(id)};
      if (id <= 3) {
        ASSERT_EQ(0, QL_KCDSA_Hash(h, &h_len, msg, sizeof(msg), id, &y));
      } else {
        ASSERT_EQ(0, QL_Hash(h, &h_len, msg, sizeof(msg), id));
      }
      const uint32_t q_len = (static_cast<uint32_t>(Big_GetFilledBitNum(&t->params.q)) + 7) / 8;
      const uint32_t use = h_len < q_len ? h_len : q_len;
      QL_KCDSA_SIGNATURE sig{};
      ASSERT_EQ(0, QL_KCDSA_Sign(&sig, id, h, use, &x, &t->params)) << id;
      EXPECT_EQ(0, QL_KCDSA_Verify(&t->params, &y, &sig, id, h, use)) << id;
      EXPECT_LE(Big_GetFilledBitNum(&sig.r), static_cast<int32_t>(8 * use));
      EXPECT_EQ(-1, Big_UComp(&sig.s, &t->params.q));
      // Too long for q, for the digest, or zero.
      EXPECT_EQ(-5007, QL_KCDSA_Sign(&sig, id, h, q_len + 1, &x, &t->params)) << id;
      EXPECT_EQ(-5007, QL_KCDSA_Sign(&sig, id, h, 0, &x, &t->params)) << id;
      if (h_len < q_len) {
        EXPECT_EQ(-5007, QL_KCDSA_Sign(&sig, id, h, h_len + 1, &x, &t->params)) << id;
      }
    }
  }
}

// W = g^q = 1 has every word but the lowest zero: r is the digest of W in p's full byte
// length. The message is searched until s = -x e mod q is not zero.
TEST(Kcdsa, SignatureWithLeadingZeroWordsOfW) {
  const Sample &t = legacy();
  std::vector<uint8_t> w(128, 0);
  w[127] = 1;
  uint8_t r[20];
  uint32_t r_len = 0;
  ASSERT_EQ(0, QL_Hash(r, &r_len, w.data(), 128, 1));
  uint8_t h[20] = {0};
  ql::test::kcdsa_use_nonce(&t.params.q);
  QL_KCDSA_SIGNATURE sig{};
  ASSERT_EQ(0, QL_KCDSA_Sign(&sig, 1, h, 20, &t.x, &t.params));
  std::vector<uint8_t> got(20);
  ASSERT_EQ(0, BigToU82(got.data(), &sig.r, 20));
  EXPECT_EQ(to_hex(r, 20), to_hex(got));
  EXPECT_EQ(0, QL_KCDSA_Verify(&t.params, &t.y, &sig, 1, h, 20));
  // And a W whose top byte is zero, found by trying k = 1, 2, ...
  for (uint32_t k = 1;; k++) {
    Big kb = small(k);
    Big wb{};
    ASSERT_EQ(0, Big_ModExp(&wb, &t.params.g, &kb, &t.params.p));
    if (Big_GetFilledBitNum(&wb) > 1016) {
      continue;
    }
    ASSERT_EQ(0, BigToU82(w.data(), &wb, 128));
    ASSERT_EQ(0, QL_Hash(r, &r_len, w.data(), 128, 2));
    ql::test::kcdsa_use_nonce(&kb);
    ASSERT_EQ(0, QL_KCDSA_Sign(&sig, 2, h, 20, &t.x, &t.params));
    ASSERT_EQ(0, BigToU82(got.data(), &sig.r, 20));
    EXPECT_EQ(to_hex(r, 20), to_hex(got)) << k;
    EXPECT_EQ(0, QL_KCDSA_Verify(&t.params, &t.y, &sig, 2, h, 20));
    break;
  }
}

// A nonce whose r is zero (a one-byte hash value, k searched) is drawn again: verification
// refuses r = 0, so the signer must never hand one out.
TEST(Kcdsa, ZeroRIsDrawnAgain) {
  const Sample &t = legacy();
  std::vector<uint8_t> w(128);
  uint8_t d[20];
  uint32_t d_len = 0;
  const uint8_t h[1] = {0x5a};
  for (uint32_t k = 1;; k++) {
    Big kb = small(k);
    Big wb{};
    ASSERT_EQ(0, Big_ModExp(&wb, &t.params.g, &kb, &t.params.p));
    ASSERT_EQ(0, BigToU82(w.data(), &wb, 128));
    ASSERT_EQ(0, QL_Hash(d, &d_len, w.data(), 128, 2));
    if (d[19] != 0) {
      continue;
    }
    ql::test::kcdsa_use_nonce(&kb);
    QL_KCDSA_SIGNATURE sig{};
    ASSERT_EQ(0, QL_KCDSA_Sign(&sig, 2, h, 1, &t.x, &t.params)) << k;
    EXPECT_NE(0, Big_GetFilledBitNum(&sig.r)) << k;
    EXPECT_EQ(0, QL_KCDSA_Verify(&t.params, &t.y, &sig, 2, h, 1)) << k;
    break;
  }
}

TEST(Kcdsa, ParameterChecks) {
  const Sample &base = legacy();
  const QL_KCDSA_PARAMETERS &good = base.params;
  struct Case {
    const char *what;
    void (*change)(QL_KCDSA_PARAMETERS &, const Sample &);
    int32_t digest, expected;
  };
  const Case cases[] = {
      {"as published", [](QL_KCDSA_PARAMETERS &, const Sample &) {}, 1, 0},
      {"another digest", [](QL_KCDSA_PARAMETERS &, const Sample &) {}, 3, -5015},
      {"no seed: not regenerated", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.seed_len = 0; },
       3, 0},
      {"no count: not regenerated",
       [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.count = small(0); }, 3, 0},
      {"seed with a zero first byte is still regenerated",
       [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.seed[0] = 0; }, 1, -5015},
      {"seed changed", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.seed[19] ^= 1; }, 1, -5015},
      {"seed too long", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.seed_len = 65; }, 1, -5015},
      {"count changed", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.count.words[0]++; }, 1,
       -5015},
      {"g = 1", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.g = small(1); }, 1, -5015},
      {"g = p", [](QL_KCDSA_PARAMETERS &r, const Sample &t) { r.g = t.params.p; }, 1, -5015},
      {"g of order 2",
       [](QL_KCDSA_PARAMETERS &r, const Sample &t) { Big_SubByWord(&r.g, &t.params.p, 1); }, 1,
       -5015},
      {"g negative", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.g.sign = 1; }, 1, -5014},
      {"g = 0", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.g = small(0); }, 1, -5014},
      {"p = 0", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.p = small(0); }, 1, -5014},
      {"q = 0", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.q = small(0); }, 1, -5014},
      {"p composite", [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.p.words[0] += 2; }, 1, -5009},
      {"q composite",
       [](QL_KCDSA_PARAMETERS &r, const Sample &) {
         Big three = small(3), q = r.q;
         Big_Mul(&r.q, &q, &three);
       },
       1, -5010},
      {"q prime but not dividing p - 1",
       [](QL_KCDSA_PARAMETERS &r, const Sample &) { r.q = large().params.q; }, 1, -5011},
  };
  for (const Case &c : cases) {
    QL_KCDSA_PARAMETERS params = good;
    c.change(params, base);
    EXPECT_EQ(c.expected, QL_KCDSA_VerifyParameters(&params, c.digest)) << c.what;
  }
  EXPECT_EQ(-5014, QL_KCDSA_VerifyParameters(nullptr, 1));
}

TEST(Kcdsa, RegenerationRefusesBadSeedRecordsAndSizes) {
  const Sample &t = legacy();
  QL_KCDSA_PARAMETERS out{};
  struct Case {
    const char *what;
    void (*change)(QL_KCDSA_PARAMETERS &);
  };
  const Case cases[] = {
      {"empty seed", [](QL_KCDSA_PARAMETERS &r) { r.seed_len = 0; }},
      {"seed over 64 bytes", [](QL_KCDSA_PARAMETERS &r) { r.seed_len = 65; }},
      {"count 0", [](QL_KCDSA_PARAMETERS &r) { r.count = small(0); }},
      {"count above 2^24", [](QL_KCDSA_PARAMETERS &r) { r.count = small((1u << 24) + 1); }},
      {"count of two words",
       [](QL_KCDSA_PARAMETERS &r) {
         r.count.words[1] = 1;
         r.count.length = 2;
       }},
      {"count whose q is composite", [](QL_KCDSA_PARAMETERS &r) { r.count.words[0]++; }},
      {"seed whose J is composite", [](QL_KCDSA_PARAMETERS &r) { r.seed[0] ^= 1; }},
  };
  for (const Case &c : cases) {
    QL_KCDSA_PARAMETERS rec = t.params;
    c.change(rec);
    EXPECT_EQ(-5002, Big_KCDSA_GeneratePrimes(&out, 1024, 160, 1, &rec)) << c.what;
  }
  const uint32_t sizes[][2] = {{1024, 159}, {1024, 513}, {223, 160}, {4097, 256}};
  for (const auto &size : sizes) {
    EXPECT_EQ(-5012, Big_KCDSA_GeneratePrimes(&out, size[0], size[1], 1, &t.params));
  }
  EXPECT_EQ(-5012, Big_KCDSA_GeneratePrimes(&out, 1024, 160, 6, &t.params));
  EXPECT_EQ(-5012, Big_KCDSA_GeneratePrimes(nullptr, 1024, 160, 1, &t.params));
}

TEST(Kcdsa, PublicKeyChecks) {
  const Sample &t = legacy();
  Big p_minus_1{}, negative = t.y;
  ASSERT_EQ(0, Big_SubByWord(&p_minus_1, &t.params.p, 1));
  negative.sign = 1;
  for (const Big &y : {small(0), small(1), t.params.p, p_minus_1, negative, t.params.g}) {
    const int32_t expected = Big_UComp(&y, &t.params.g) == 0 ? 0 : -5017;
    EXPECT_EQ(expected, QL_KCDSA_VerifyPublicKey(&t.params, &y));
  }
  QL_KCDSA_PARAMETERS no_g = t.params;
  no_g.g = small(0);
  EXPECT_EQ(-5016, QL_KCDSA_VerifyPublicKey(&no_g, &t.y));
  EXPECT_EQ(-5016, QL_KCDSA_VerifyPublicKey(nullptr, &t.y));
  EXPECT_EQ(-5016, QL_KCDSA_VerifyPublicKey(&t.params, nullptr));
  // Pair-wise proof: another key's y, x out of range.
  Big x_plus_1{};
  ASSERT_EQ(0, Big_AddByWord(&x_plus_1, &t.x, 1));
  EXPECT_EQ(-5004, QL_KCDSA_ProveKeyPair(&x_plus_1, &t.y, &t.params));
  EXPECT_EQ(-5004, QL_KCDSA_ProveKeyPair(&t.params.q, &t.y, &t.params));
  Big zero = small(0);
  EXPECT_EQ(-5004, QL_KCDSA_ProveKeyPair(&zero, &t.y, &t.params));
  EXPECT_EQ(-5003, QL_KCDSA_ProveKeyPair(nullptr, &t.y, &t.params));
  EXPECT_EQ(-5003, QL_KCDSA_ProveKeyPair(&t.x, nullptr, &t.params));
  EXPECT_EQ(-5003, QL_KCDSA_ProveKeyPair(&t.x, &t.y, &no_g));
}

TEST(Kcdsa, ArgumentCodes) {
  const Sample &t = legacy();
  QL_KCDSA_PARAMETERS no_q = t.params;
  no_q.q = small(0);
  uint8_t h[64] = {0};
  uint32_t len = 0;
  QL_KCDSA_SIGNATURE sig = published_signature(t);
  Big x{}, y{};
  EXPECT_EQ(-5005, QL_KCDSA_GenerateKeyPair(nullptr, &y, &x));
  EXPECT_EQ(-5005, QL_KCDSA_GenerateKeyPair(&t.params, nullptr, &x));
  EXPECT_EQ(-5005, QL_KCDSA_GenerateKeyPair(&t.params, &y, nullptr));
  EXPECT_EQ(-5005, QL_KCDSA_GenerateKeyPair(&no_q, &y, &x));
  EXPECT_EQ(-5022, QL_KCDSA_Hash(nullptr, &len, h, 1, 1, &t.y));
  EXPECT_EQ(-5022, QL_KCDSA_Hash(h, nullptr, h, 1, 1, &t.y));
  EXPECT_EQ(-5022, QL_KCDSA_Hash(h, &len, nullptr, 1, 1, &t.y));
  EXPECT_EQ(-5022, QL_KCDSA_Hash(h, &len, h, 1, 1, nullptr));
  for (int32_t id : {0, 4, 5}) {
    EXPECT_EQ(-5022, QL_KCDSA_Hash(h, &len, h, 1, id, &t.y));
  }
  Big q_minus_1{};
  ASSERT_EQ(0, Big_SubByWord(&q_minus_1, &t.params.q, 1));
  EXPECT_EQ(0, QL_KCDSA_Sign(&sig, 1, h, 20, &q_minus_1, &t.params));
  const Big zero = small(0);
  struct SignCase {
    QL_KCDSA_SIGNATURE *sig;
    int32_t id;
    const uint8_t *h;
    const Big *x;
    const QL_KCDSA_PARAMETERS *params;
  } sign_cases[] = {
      {nullptr, 1, h, &t.x, &t.params},
      {&sig, 0, h, &t.x, &t.params},
      {&sig, 6, h, &t.x, &t.params},
      {&sig, 1, nullptr, &t.x, &t.params},
      {&sig, 1, h, nullptr, &t.params},
      {&sig, 1, h, &t.x, nullptr},
      {&sig, 1, h, &t.x, &no_q},
      {&sig, 1, h, &zero, &t.params},
      {&sig, 1, h, &t.params.q, &t.params},
  };
  for (const SignCase &c : sign_cases) {
    EXPECT_EQ(-5006, QL_KCDSA_Sign(c.sig, c.id, c.h, 20, c.x, c.params));
  }
  EXPECT_EQ(-5008, QL_KCDSA_Verify(nullptr, &t.y, &sig, 1, h, 20));
  EXPECT_EQ(-5008, QL_KCDSA_Verify(&t.params, nullptr, &sig, 1, h, 20));
  EXPECT_EQ(-5008, QL_KCDSA_Verify(&t.params, &t.y, nullptr, 1, h, 20));
  EXPECT_EQ(-5008, QL_KCDSA_Verify(&t.params, &t.y, &sig, 1, nullptr, 20));
  EXPECT_EQ(-5008, QL_KCDSA_Verify(&no_q, &t.y, &sig, 1, h, 20));
  QL_KCDSA_PARAMETERS *p = QL_KCDSA_Parameters_New();
  QL_KCDSA_SIGNATURE *s = QL_KCDSA_Signature_New();
  ASSERT_NE(nullptr, p);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(-5014, QL_KCDSA_VerifyParameters(p, 1));
  QL_KCDSA_Parameters_Delete(p);
  QL_KCDSA_Signature_Delete(s);
  QL_KCDSA_Parameters_Delete(nullptr);
  QL_KCDSA_Signature_Delete(nullptr);
}

// Each allocation of every operation fails in turn: the code comes back in critical form and
// the next run gets one allocation further, until the operation succeeds.
TEST(Kcdsa, AllocationFailures) {
  const Sample &sample = legacy();
  const std::vector<uint8_t> digest = message_hash(sample);
  const QL_KCDSA_SIGNATURE good = published_signature(sample);
  struct Op {
    const char *name;
    int32_t (*run)(const Sample &, const std::vector<uint8_t> &, const QL_KCDSA_SIGNATURE &);
  };
  const Op ops[] = {
      {"sign",
       [](const Sample &t, const std::vector<uint8_t> &h, const QL_KCDSA_SIGNATURE &) {
         QL_KCDSA_SIGNATURE sig{};
         return QL_KCDSA_Sign(&sig, 1, h.data(), 20, &t.x, &t.params);
       }},
      {"key pair",
       [](const Sample &t, const std::vector<uint8_t> &, const QL_KCDSA_SIGNATURE &) {
         Big x{}, y{};
         return QL_KCDSA_GenerateKeyPair(&t.params, &y, &x);
       }},
      {"prove",
       [](const Sample &t, const std::vector<uint8_t> &, const QL_KCDSA_SIGNATURE &) {
         return QL_KCDSA_ProveKeyPair(&t.x, &t.y, &t.params);
       }},
      {"public key",
       [](const Sample &t, const std::vector<uint8_t> &, const QL_KCDSA_SIGNATURE &) {
         return QL_KCDSA_VerifyPublicKey(&t.params, &t.y);
       }},
      {"parameters",
       [](const Sample &t, const std::vector<uint8_t> &, const QL_KCDSA_SIGNATURE &) {
         return QL_KCDSA_VerifyParameters(&t.params, 1);
       }},
      {"regeneration",
       [](const Sample &t, const std::vector<uint8_t> &, const QL_KCDSA_SIGNATURE &) {
         QL_KCDSA_PARAMETERS out{};
         return Big_KCDSA_GeneratePrimes(&out, 1024, 160, 1, &t.params);
       }},
  };
  for (const Op &op : ops) {
    int32_t status = -1;
    int64_t n = 0;
    for (; n < 200 && status != 0; n++) {
      ql::test::alloc_fail_at(n);
      status = op.run(sample, digest, good);
      ql::test::alloc_fail_at(-1);
      if (status != 0) {
        EXPECT_EQ(0u, static_cast<uint32_t>(status) & 0x40000000u) << op.name << " " << status;
      }
    }
    EXPECT_EQ(0, status) << op.name;
    EXPECT_GT(n, 1) << op.name << " allocates nothing";
  }
  // Verification works on the stack alone: no allocation can make it fail.
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(0, QL_KCDSA_Verify(&sample.params, &sample.y, &good, 1, digest.data(), 20));
  ql::test::alloc_fail_at(-1);
}

TEST(Kcdsa, HeavyFreshParameters) {
  QL_KCDSA_PARAMETERS params{};
  ASSERT_EQ(0, QL_KCDSA_GenerateParams(&params, 512));
  EXPECT_EQ(1024, Big_GetFilledBitNum(&params.p));
  EXPECT_EQ(160, Big_GetFilledBitNum(&params.q));
  EXPECT_EQ(20u, params.seed_len);
  EXPECT_EQ(0, QL_KCDSA_VerifyParameters(&params, 1));
  EXPECT_EQ(-5015, QL_KCDSA_VerifyParameters(&params, 3));
  Big x{}, y{};
  ASSERT_EQ(0, QL_KCDSA_GenerateKeyPair(&params, &y, &x));
  EXPECT_EQ(0, QL_KCDSA_VerifyPublicKey(&params, &y));
}

// ---- DER ----

std::vector<uint8_t> encode_params(const QL_KCDSA_PARAMETERS &params) {
  uint32_t len = 0;
  EXPECT_EQ(0, QL_KCDSA_Parameters_Encode(nullptr, &len, &params));
  std::vector<uint8_t> out(len);
  EXPECT_EQ(0, QL_KCDSA_Parameters_Encode(out.data(), &len, &params));
  EXPECT_LE(len, out.size());
  out.resize(len);
  return out;
}

std::vector<uint8_t> encode_signature(const QL_KCDSA_SIGNATURE &sig, uint32_t r_len) {
  uint32_t len = 0;
  EXPECT_EQ(0, QL_KCDSA_Signature_Encode(nullptr, &len, r_len, &sig));
  std::vector<uint8_t> out(len);
  EXPECT_EQ(0, QL_KCDSA_Signature_Encode(out.data(), &len, r_len, &sig));
  EXPECT_LE(len, out.size());
  out.resize(len);
  return out;
}

// Decoders read from a heap copy of exactly the input, so the sanitizer builds catch a read
// past its end.
std::unique_ptr<uint8_t[]> exact_copy(const std::vector<uint8_t> &in) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[in.empty() ? 1 : in.size()]);
  if (!in.empty()) {
    std::memcpy(copy.get(), in.data(), in.size());
  }
  return copy;
}

int32_t decode_params(QL_KCDSA_PARAMETERS *out, const std::vector<uint8_t> &in) {
  return QL_KCDSA_Parameters_Decode(out, exact_copy(in).get(), static_cast<uint32_t>(in.size()));
}

int32_t decode_signature(QL_KCDSA_SIGNATURE *out, const std::vector<uint8_t> &in) {
  return QL_KCDSA_Signature_Decode(out, exact_copy(in).get(), static_cast<uint32_t>(in.size()));
}

std::string hex_of(const Big &a) { return to_hex(to_bytes(a)); }

TEST(KcdsaDer, ExactEncodings) {
  const Sample &t = legacy();
  const std::string p = "02818100" + hex_of(t.params.p), q = "021500" + hex_of(t.params.q);
  const std::string g = "028180" + hex_of(t.params.g), j = "026d00" + hex_of(t.params.J);
  const std::string seed_part = "301a0414" + to_hex(t.seed) + "02021445";
  EXPECT_EQ("308201a9" + p + q + g + j + seed_part, to_hex(encode_params(t.params)));
  uint32_t estimate = 0;
  ASSERT_EQ(0, QL_KCDSA_Parameters_Encode(nullptr, &estimate, &t.params));
  EXPECT_EQ(459u, estimate);
  QL_KCDSA_PARAMETERS bare = t.params;
  bare.J = small(0);
  bare.seed_len = 0;
  EXPECT_EQ("3082011e" + p + q + g, to_hex(encode_params(bare)));
  bare.seed_len = 20;
  bare.count = small(0);
  EXPECT_EQ("3082011e" + p + q + g, to_hex(encode_params(bare)));
  const QL_KCDSA_SIGNATURE sig = published_signature(t);
  EXPECT_EQ("302d031500" + to_hex(t.r) + "0214" + to_hex(t.s), to_hex(encode_signature(sig, 20)));
  // r is written in exactly rLen bytes, with its leading zeros.
  QL_KCDSA_SIGNATURE short_r = sig;
  short_r.r = small(0x1234);
  EXPECT_EQ("302d031500" + std::string(36, '0') + "1234" + "0214" + to_hex(t.s),
            to_hex(encode_signature(short_r, 20)));
  uint32_t len = 0;
  uint8_t out[64];
  EXPECT_EQ(-2001, QL_KCDSA_Signature_Encode(out, &len, 19, &sig));
  EXPECT_EQ(-3505, QL_KCDSA_Signature_Encode(out, &len, 65, &sig));
  EXPECT_EQ(-3505, QL_KCDSA_Signature_Encode(out, nullptr, 20, &sig));
  EXPECT_EQ(-3505, QL_KCDSA_Signature_Encode(out, &len, 20, nullptr));
  std::vector<uint8_t> key(140);
  ASSERT_EQ(0, QL_KCDSA_PublicKey_Encode(key.data(), &len, &t.y));
  key.resize(len);
  EXPECT_EQ("02818100" + hex_of(t.y), to_hex(key));
  Big y{};
  ASSERT_EQ(0, QL_KCDSA_PublicKey_Decode(&y, key.data(), len));
  EXPECT_TRUE(equal(y, t.y));
  EXPECT_EQ(-5023, QL_KCDSA_PublicKey_Encode(key.data(), nullptr, &t.y));
  EXPECT_EQ(-5023, QL_KCDSA_PublicKey_Encode(key.data(), &len, nullptr));
  EXPECT_EQ(-5024, QL_KCDSA_PublicKey_Decode(nullptr, key.data(), len));
  EXPECT_EQ(-5024, QL_KCDSA_PublicKey_Decode(&y, nullptr, len));
  QL_KCDSA_PARAMETERS no_g = t.params;
  no_g.g = small(0);
  QL_KCDSA_PARAMETERS long_seed = t.params;
  long_seed.seed_len = 65;
  for (const QL_KCDSA_PARAMETERS *bad :
       {&no_g, &long_seed, static_cast<QL_KCDSA_PARAMETERS *>(nullptr)}) {
    EXPECT_EQ(-3507, QL_KCDSA_Parameters_Encode(out, &len, bad));
  }
  EXPECT_EQ(-3507, QL_KCDSA_Parameters_Encode(out, nullptr, &t.params));
}

TEST(KcdsaDer, DecodingRoundTripsAndEveryCut) {
  const Sample &t = legacy();
  const std::vector<uint8_t> full = encode_params(t.params);
  QL_KCDSA_PARAMETERS got{};
  ASSERT_EQ(0, decode_params(&got, full));
  EXPECT_TRUE(equal(got.p, t.params.p) && equal(got.q, t.params.q) && equal(got.g, t.params.g));
  EXPECT_TRUE(equal(got.J, t.params.J) && equal(got.count, t.params.count));
  EXPECT_EQ(to_hex(t.seed), to_hex(got.seed, got.seed_len));
  EXPECT_EQ(0, QL_KCDSA_VerifyParameters(&got, 1));
  // The content cut after every byte, inside a SEQUENCE of that length: only the element
  // boundaries after g, after J and the end decode.
  const size_t header = 4, after_g = header + 132 + 23 + 131, after_j = after_g + 111;
  for (size_t cut = 0; cut + header <= full.size(); cut++) {
    std::vector<uint8_t> in = {0x30, 0x82, static_cast<uint8_t>(cut >> 8),
                               static_cast<uint8_t>(cut)};
    in.insert(in.end(), full.begin() + header, full.begin() + static_cast<long>(header + cut));
    const int32_t s = decode_params(&got, in);
    const size_t end = header + cut;
    if (end == after_g || end == after_j || end == full.size()) {
      EXPECT_EQ(0, s) << cut;
      EXPECT_EQ(end == after_g ? 0 : 1, Big_GetFilledBitNum(&got.J) != 0) << cut;
    } else {
      EXPECT_NE(0, s) << cut;
    }
    // The whole encoding cut short: its own length runs past the input.
    std::vector<uint8_t> truncated(full.begin(), full.begin() + static_cast<long>(cut));
    EXPECT_EQ(-3502, decode_params(&got, truncated)) << cut;
  }
  EXPECT_EQ(0, Big_GetFilledBitNum(&got.p));  // cleared by the failed decoding
  const QL_KCDSA_SIGNATURE sig = published_signature(t);
  const std::vector<uint8_t> enc = encode_signature(sig, 20);
  QL_KCDSA_SIGNATURE back{};
  ASSERT_EQ(0, decode_signature(&back, enc));
  EXPECT_TRUE(equal(back.r, sig.r) && equal(back.s, sig.s));
  for (size_t cut = 0; cut < enc.size(); cut++) {
    std::vector<uint8_t> in(enc.begin(), enc.begin() + static_cast<long>(cut));
    EXPECT_EQ(-3502, decode_signature(&back, in)) << cut;
    std::vector<uint8_t> inner = {0x30, static_cast<uint8_t>(cut)};
    inner.insert(inner.end(), enc.begin() + 2, enc.begin() + 2 + static_cast<long>(cut));
    if (cut + 2 <= enc.size() && cut + 2 != enc.size()) {
      EXPECT_NE(0, decode_signature(&back, inner)) << cut;
    }
  }
  // Over-long: the outer or an inner length one more than there is.
  std::vector<uint8_t> longer = full;
  longer[3]++;
  EXPECT_EQ(-3502, decode_params(&got, longer));
  longer = full;
  longer[full.size() - 3]++;  // the count runs past its SEQUENCE
  EXPECT_EQ(-3502, decode_params(&got, longer));
  std::vector<uint8_t> long_sig = enc;
  long_sig[1]++;
  EXPECT_EQ(-3502, decode_signature(&back, long_sig));
  long_sig = enc;
  long_sig[26]++;  // s runs past the SEQUENCE
  EXPECT_EQ(-3502, decode_signature(&back, long_sig));
  EXPECT_EQ(-3505, QL_KCDSA_Parameters_Decode(nullptr, full.data(), 4));
  EXPECT_EQ(-3505, QL_KCDSA_Parameters_Decode(&got, nullptr, 4));
  EXPECT_EQ(-3505, QL_KCDSA_Signature_Decode(nullptr, enc.data(), 4));
  EXPECT_EQ(-3505, QL_KCDSA_Signature_Decode(&back, nullptr, 4));
}

// One byte of an encoding replaced: tags of mandatory elements give -3501; an optional
// element under another tag is skipped as the end of the parameters.
TEST(KcdsaDer, WrongTags) {
  const Sample &t = legacy();
  const std::vector<uint8_t> full = encode_params(t.params);
  const size_t p_at = 4, q_at = p_at + 132, g_at = q_at + 23, j_at = g_at + 131;
  const size_t part_at = j_at + 111, seed_at = part_at + 2, count_at = seed_at + 22;
  struct Case {
    size_t at;
    uint8_t value;
    int32_t expected;
    bool has_j, has_seed;
  } cases[] = {
      {0, 0x31, -3501, false, false},       {p_at, 0x03, -3501, false, false},
      {q_at, 0x04, -3501, false, false},    {g_at, 0x30, -3501, false, false},
      {j_at, 0x04, 0, false, false},        {part_at, 0x31, 0, true, false},
      {seed_at, 0x03, -3501, false, false}, {count_at, 0x04, -3501, false, false},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> in = full;
    in[c.at] = c.value;
    QL_KCDSA_PARAMETERS got{};
    EXPECT_EQ(c.expected, decode_params(&got, in)) << c.at;
    if (c.expected == 0) {
      EXPECT_EQ(c.has_j, Big_GetFilledBitNum(&got.J) != 0) << c.at;
      EXPECT_EQ(0u, got.seed_len) << c.at;
    }
  }
  const std::vector<uint8_t> sig = encode_signature(published_signature(t), 20);
  for (size_t at : {size_t{0}, size_t{2}, size_t{25}}) {
    std::vector<uint8_t> in = sig;
    in[at] ^= 0x08;
    QL_KCDSA_SIGNATURE got{};
    EXPECT_EQ(-3501, decode_signature(&got, in)) << at;
  }
}

// Validation parts: the seed against q's length and the record's 64 bytes, the counter's
// length; and the BIT STRING of a signature without its unused-bits byte.
TEST(KcdsaDer, SeedsCountsAndBitStrings) {
  const Sample &t = legacy();
  const std::string pqg = to_hex(encode_params([&] {
                            QL_KCDSA_PARAMETERS b = t.params;
                            b.J = small(0);
                            b.seed_len = 0;
                            return b;
                          }()))
                              .substr(8);
  auto with_part = [&](const std::string &part_hex, const std::string &q_override) {
    std::string content = pqg + part_hex;
    if (!q_override.empty()) {
      content = pqg.substr(0, 264) + q_override + pqg.substr(264 + 46) + part_hex;
    }
    const size_t n = content.size() / 2;
    std::vector<uint8_t> in = {0x30, 0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
    const std::vector<uint8_t> body = from_hex(content);
    in.insert(in.end(), body.begin(), body.end());
    return in;
  };
  struct Case {
    const char *what;
    std::string part;
    int32_t expected;
    uint32_t seed_len;
    uint32_t count;
  } cases[] = {
      {"empty seed", "30040400020105", 0, 20, 0},
      {"20-byte seed, 4-byte count", "301c0414" + std::string(40, 'a') + "020412345678", 0, 20,
       0x12345678},
      {"count of 5 bytes is ignored", "301d0414" + std::string(40, 'a') + "02050112345678", 0, 20,
       0},
      {"seed longer than q", "301b0415" + std::string(42, 'a') + "020101", -3502, 0, 0},
      {"no count", "30160414" + std::string(40, 'a'), -3502, 0, 0},
      {"seed part longer than the parameters", "301d0414" + std::string(40, 'a') + "020101", -3502,
       0, 0},
  };
  for (const Case &c : cases) {
    QL_KCDSA_PARAMETERS got{};
    EXPECT_EQ(c.expected, decode_params(&got, with_part(c.part, ""))) << c.what;
    if (c.expected == 0) {
      EXPECT_EQ(c.seed_len, got.seed_len) << c.what;
      EXPECT_EQ(c.count, got.count.words[0]) << c.what;
    }
  }
  // A q of 17 words leaves no room for its seed in the record: refused; 16 words are fine.
  const std::string q16 = "024100" + std::string(128, 'f');
  const std::string q17 = "024500" + std::string(136, 'f');
  QL_KCDSA_PARAMETERS got{};
  EXPECT_EQ(0, decode_params(&got, with_part("30450440" + std::string(128, 'b') + "020101", q16)));
  EXPECT_EQ(64u, got.seed_len);
  EXPECT_EQ(-3502, decode_params(&got, with_part("30040400020101", q17)));
  EXPECT_EQ(0, decode_params(&got, with_part("", q17)));
  QL_KCDSA_SIGNATURE sig{};
  EXPECT_EQ(-3502, decode_signature(&sig, from_hex("300403000201")));
  EXPECT_EQ(-2009, decode_signature(&sig, from_hex("30050301000201")));
  EXPECT_EQ(-3502, decode_signature(&sig, from_hex("3004030200ff")));
  ASSERT_EQ(0, decode_signature(&sig, from_hex("30070302000102017f")));
  EXPECT_EQ(1u, sig.r.words[0]);
  EXPECT_EQ(0x7fu, sig.s.words[0]);
}

}  // namespace
