// ECDSA: signatures made by OpenSSL verified here (digests of 20 to 64 bytes, so truncation to
// n's length is exercised), signing round trips, range checks of r, s and d, the parameter
// check of every function, public-key validation, the exact bytes of the key, signature and
// curve encodings, malformed encodings at every length and byte, and allocation failures.
#include "pk/ql_ecdsa.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "ql_vectors.h"

namespace {

using qltest::from_hex;
using qltest::to_hex;

Big big_hex(const std::string &hex) {
  Big b{};
  EXPECT_EQ(Big_HexU8ToBig(&b, hex.c_str()), 0) << hex;
  return b;
}

Big big_add_word(const Big &a, uint32_t w) {
  Big r{};
  EXPECT_EQ(Big_AddByWord(&r, &a, w), 0);
  return r;
}

Big big_sum(const Big &a, const Big &b) {
  Big r{};
  EXPECT_EQ(Big_Add(&r, &a, &b), 0);
  return r;
}

QL_ECDSA_PARAMETERS curve_of(const std::string &name) {
  QL_ECDSA_PARAMETERS c{};
  EXPECT_EQ(QL_ECDSA_InitParameters(&c, name == "P-224" ? 224 : 256), 0) << name;
  return c;
}

BigPoint point_of(const std::string &x, const std::string &y) {
  BigPoint p{};
  p.x = big_hex(x);
  p.y = big_hex(y);
  return p;
}

// Copies `in` to a heap buffer of exactly its size, so that a read past the end is caught by
// the sanitizer build.
struct Exact {
  explicit Exact(const std::vector<uint8_t> &in) : bytes(in) {}
  const uint8_t *data() const {
    return bytes.empty() ? reinterpret_cast<const uint8_t *>("") : bytes.data();
  }
  uint32_t size() const { return static_cast<uint32_t>(bytes.size()); }
  std::vector<uint8_t> bytes;
};

struct Vector {
  QL_ECDSA_PARAMETERS curve;
  Big d;
  BigPoint q;
  std::vector<uint8_t> digest;
  std::vector<uint8_t> der;
  QL_ECDSA_SIGNATURE sig;
};

std::vector<Vector> openssl_vectors() {
  std::vector<Vector> out;
  for (const auto &c : qltest::load_vectors("ecdsa_openssl.txt")) {
    Vector v{};
    v.curve = curve_of(c.str("curve"));
    v.d = big_hex(c.str("d"));
    v.q = point_of(c.str("qx"), c.str("qy"));
    v.digest = c.hex("digest");
    v.der = c.hex("sig");
    v.sig.r = big_hex(c.str("r"));
    v.sig.s = big_hex(c.str("s"));
    c.expect_all_consumed();
    out.push_back(v);
  }
  EXPECT_EQ(out.size(), 20u);
  return out;
}

// OpenSSL's signatures verify, their DER decodes and re-encodes to the same bytes, the key
// pair and public key pass, and every altered signature or digest fails with its code.
TEST(Ecdsa, OpenSslSignaturesVerify) {
  int index = 0;
  for (Vector &v : openssl_vectors()) {
    const std::string where = to_hex(v.digest);
    const uint32_t len = static_cast<uint32_t>(v.digest.size());
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &v.sig, v.digest.data(), len), 0) << where;
    EXPECT_EQ(QL_ECDSA_ProveKeyPair(&v.d, &v.q, &v.curve), 0) << where;
    EXPECT_EQ(QL_ECDSA_VerifyPublicKey(&v.q, &v.curve), 0) << where;

    QL_ECDSA_SIGNATURE decoded{};
    Exact der(v.der);
    ASSERT_EQ(QL_ECDSA_Signature_Decode(&decoded, der.data(), der.size()), 0) << where;
    EXPECT_EQ(Big_UComp(&decoded.r, &v.sig.r), 0);
    EXPECT_EQ(Big_UComp(&decoded.s, &v.sig.s), 0);
    std::vector<uint8_t> out(v.der.size() + 18);
    uint32_t out_len = 0;
    ASSERT_EQ(QL_ECDSA_Signature_Encode(out.data(), &out_len, &decoded), 0);
    out.resize(out_len);
    EXPECT_EQ(to_hex(out), to_hex(v.der)) << where;

    // (r, n - s) is the other valid signature; s + n, r + n and a changed digest are not.
    QL_ECDSA_SIGNATURE alt = v.sig;
    ASSERT_EQ(Big_Sub(&alt.s, &v.curve.n, &v.sig.s), 0);
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &alt, v.digest.data(), len), 0) << where;
    alt = v.sig;
    alt.s = big_sum(v.sig.s, v.curve.n);
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &alt, v.digest.data(), len), -5538) << where;
    alt = v.sig;
    alt.r = big_sum(v.sig.r, v.curve.n);
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &alt, v.digest.data(), len), -5538) << where;
    std::vector<uint8_t> flipped = v.digest;
    flipped[std::min<size_t>(flipped.size(), v.curve.bits / 8) - 1] ^= 0x10;
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &v.sig, flipped.data(), len), -5502) << where;
    // Only n's length of the digest counts: bits beyond it change nothing.
    if (8 * v.digest.size() > static_cast<size_t>(v.curve.bits)) {
      flipped = v.digest;
      flipped.back() ^= 1;
      EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &v.sig, flipped.data(), len), 0) << where;
    }
    Big d1 = big_add_word(v.d, 1);
    EXPECT_EQ(QL_ECDSA_ProveKeyPair(&d1, &v.q, &v.curve), -5527);

    // Our signature with the same key verifies; a second one differs. (Each signature draws
    // fresh entropy, which is slow: one key and digest length in five.)
    if (index++ % 5 != 0) {
      continue;
    }
    QL_ECDSA_SIGNATURE mine{};
    QL_ECDSA_SIGNATURE again{};
    ASSERT_EQ(QL_ECDSA_Sign(&mine, v.digest.data(), len, &v.d, &v.curve), 0);
    ASSERT_EQ(QL_ECDSA_Sign(&again, v.digest.data(), len, &v.d, &v.curve), 0);
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &mine, v.digest.data(), len), 0) << where;
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &again, v.digest.data(), len), 0) << where;
    EXPECT_NE(Big_UComp(&mine.r, &again.r), 0);
  }
}

// The record's own operations serve verification when another point multiplication is
// installed; the answers are the same as the joint multiplication's.
TEST(Ecdsa, VerificationThroughCurveOperations) {
  for (Vector &v : openssl_vectors()) {
    v.curve.point_mul = &BigPoint_Mul_SignedMary;
    const uint32_t len = static_cast<uint32_t>(v.digest.size());
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &v.sig, v.digest.data(), len), 0);
    v.digest[0] ^= 0x80;
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &v.sig, v.digest.data(), len), -5502);
  }
}

// r and s of 0, n, n + 1, p, above p, negative, and r = n - 1 with an otherwise valid s.
TEST(Ecdsa, SignatureValuesOutOfRange) {
  const std::vector<Vector> vectors = openssl_vectors();
  for (size_t i : {size_t{0}, vectors.size() - 1}) {
    Vector v = vectors[i];
    const Big zero{};
    Big minus_one = big_hex("-1");
    const Big bad[] = {zero,
                       v.curve.n,
                       big_add_word(v.curve.n, 1),
                       v.curve.p,
                       big_add_word(v.curve.p, 5),
                       big_hex(std::string(64, 'f')),
                       minus_one};
    const uint32_t len = static_cast<uint32_t>(v.digest.size());
    for (const Big &b : bad) {
      QL_ECDSA_SIGNATURE sig = v.sig;
      sig.r = b;
      EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &sig, v.digest.data(), len), -5538);
      sig = v.sig;
      sig.s = b;
      EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &sig, v.digest.data(), len), -5538);
    }
    QL_ECDSA_SIGNATURE sig = v.sig;
    ASSERT_EQ(Big_SubByWord(&sig.r, &v.curve.n, 1), 0);
    EXPECT_EQ(QL_ECDSA_Verify(&v.curve, &v.q, &sig, v.digest.data(), len), -5502);
  }
}

// Keys at infinity, off the curve or with a coordinate not below p.
TEST(Ecdsa, PublicKeyValidation) {
  for (const char *name : {"P-224", "P-256"}) {
    const QL_ECDSA_PARAMETERS c = curve_of(name);
    EXPECT_EQ(QL_ECDSA_VerifyPublicKey(&c.G, &c), 0);
    BigPoint bad[4] = {c.G, c.G, c.G, c.G};
    bad[0].flags = QL_BIGPOINT_INFINITY;
    bad[1].y = big_add_word(c.G.y, 1);
    bad[2].x = big_sum(c.G.x, c.p);
    bad[3].y = big_sum(c.G.y, c.p);
    const uint8_t digest[20] = {1};
    QL_ECDSA_SIGNATURE sig{};
    sig.r = big_hex("1");
    sig.s = big_hex("1");
    for (const BigPoint &q : bad) {
      EXPECT_EQ(QL_ECDSA_VerifyPublicKey(&q, &c), -5525) << name;
      EXPECT_EQ(QL_ECDSA_Verify(&c, &q, &sig, digest, sizeof(digest)), -5530) << name;
    }
  }
}

// Every function refuses null arguments and incomplete curve records with its own code.
TEST(Ecdsa, ParameterCheckOfEveryFunction) {
  const QL_ECDSA_PARAMETERS good = curve_of("P-256");
  std::vector<QL_ECDSA_PARAMETERS> broken(5, good);
  broken[0].a = Big{};
  broken[1].G.x = Big{};
  broken[1].G.y = Big{};
  broken[2].n = Big{};
  broken[3].lead = 3;
  broken[4].b = Big{};
  const uint8_t digest[65] = {1, 2, 3};
  Big d = big_hex("1234");
  BigPoint q{};
  QL_ECDSA_SIGNATURE sig{};
  sig.r = big_hex("5");
  sig.s = big_hex("7");
  using Call = std::function<int32_t(const QL_ECDSA_PARAMETERS *)>;
  struct Case {
    const char *name;
    int32_t code;
    Call call;
  };
  const Case cases[] = {
      {"random", -1501, [&](const QL_ECDSA_PARAMETERS *c) { return Big_Random_with_SHA1(c, &d); }},
      {"keypair", -5533,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_GenerateKeyPair(c, &q, &d); }},
      {"sign", -5529,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_Sign(&sig, digest, 20, &d, c); }},
      {"verify", -5530,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_Verify(c, &good.G, &sig, digest, 20); }},
      {"verifykey", -5524,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_VerifyPublicKey(&good.G, c); }},
      {"prove", -5526,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_ProveKeyPair(&d, &good.G, c); }},
  };
  for (const Case &k : cases) {
    EXPECT_EQ(k.call(nullptr), k.code) << k.name;
    for (const QL_ECDSA_PARAMETERS &c : broken) {
      EXPECT_EQ(k.call(&c), k.code) << k.name;
    }
  }
  // Null arguments, digests over 64 bytes and private keys out of range.
  EXPECT_EQ(Big_Random_with_SHA1(&good, nullptr), -1501);
  EXPECT_EQ(QL_ECDSA_GenerateKeyPair(&good, nullptr, &d), -5533);
  EXPECT_EQ(QL_ECDSA_GenerateKeyPair(&good, &q, nullptr), -5533);
  EXPECT_EQ(QL_ECDSA_Sign(nullptr, digest, 20, &d, &good), -5529);
  EXPECT_EQ(QL_ECDSA_Sign(&sig, nullptr, 20, &d, &good), -5529);
  EXPECT_EQ(QL_ECDSA_Sign(&sig, digest, 20, nullptr, &good), -5529);
  EXPECT_EQ(QL_ECDSA_Sign(&sig, digest, 65, &d, &good), -5529);
  EXPECT_EQ(QL_ECDSA_Verify(&good, nullptr, &sig, digest, 20), -5530);
  EXPECT_EQ(QL_ECDSA_Verify(&good, &good.G, nullptr, digest, 20), -5530);
  EXPECT_EQ(QL_ECDSA_Verify(&good, &good.G, &sig, nullptr, 20), -5530);
  EXPECT_EQ(QL_ECDSA_Verify(&good, &good.G, &sig, digest, 65), -5530);
  EXPECT_EQ(QL_ECDSA_VerifyPublicKey(nullptr, &good), -5524);
  EXPECT_EQ(QL_ECDSA_ProveKeyPair(nullptr, &good.G, &good), -5526);
  EXPECT_EQ(QL_ECDSA_ProveKeyPair(&d, nullptr, &good), -5526);
  const Big bad_d[] = {Big{}, good.n, big_add_word(good.n, 1), big_hex("-5")};
  for (const Big &b : bad_d) {
    EXPECT_EQ(QL_ECDSA_Sign(&sig, digest, 20, &b, &good), -5529);
    EXPECT_EQ(QL_ECDSA_ProveKeyPair(&b, &good.G, &good), -5526);
  }
  QL_ECDSA_PARAMETERS small = good;
  small.bits = 128;
  EXPECT_EQ(Big_Random_with_SHA1(&small, &d), -1501);
  // A 64-byte digest is the longest accepted.
  Big one = big_hex("1");
  ASSERT_EQ(QL_ECDSA_Sign(&sig, digest, 64, &one, &good), 0);
  EXPECT_EQ(QL_ECDSA_Verify(&good, &good.G, &sig, digest, 64), 0);
}

// Fresh key pairs pass their own checks; random scalars stay in [1, n-1].
TEST(Ecdsa, KeyPairsAndRandomScalars) {
  for (const char *name : {"P-224", "P-256"}) {
    const QL_ECDSA_PARAMETERS c = curve_of(name);
    BigPoint q{};
    Big d{};
    ASSERT_EQ(QL_ECDSA_GenerateKeyPair(&c, &q, &d), 0);
    EXPECT_EQ(QL_ECDSA_VerifyPublicKey(&q, &c), 0);
    EXPECT_EQ(QL_ECDSA_ProveKeyPair(&d, &q, &c), 0);
    Big k{};
    ASSERT_EQ(Big_Random_with_SHA1(&c, &k), 0);
    EXPECT_TRUE(ql::scalar_in_range(k, c.n));
    // An empty digest signs e = 0.
    QL_ECDSA_SIGNATURE sig{};
    const uint8_t none[1] = {0};
    ASSERT_EQ(QL_ECDSA_Sign(&sig, none, 0, &d, &c), 0);
    EXPECT_EQ(QL_ECDSA_Verify(&c, &q, &sig, none, 0), 0);
  }
}

// Signing with a chosen nonce: R = k*G for k = 1 gives r = x(G) mod n; k and d at the ends of
// their range; out-of-range scalars are refused.
TEST(Ecdsa, SigningWithChosenNonce) {
  for (const char *name : {"P-224", "P-256"}) {
    const QL_ECDSA_PARAMETERS c = curve_of(name);
    Big n1{};
    ASSERT_EQ(Big_SubByWord(&n1, &c.n, 1), 0);
    const Big one = big_hex("1");
    Big e = big_hex("abcdef");
    BigPoint q_n1 = c.G;  // (n-1)*G = -G
    ASSERT_EQ(Big_Sub(&q_n1.y, &c.p, &c.G.y), 0);
    const uint8_t digest[3] = {0xab, 0xcd, 0xef};
    struct {
      Big k;
      Big d;
      const BigPoint *q;
    } cases[] = {{one, one, &c.G}, {n1, one, &c.G}, {one, n1, &q_n1}, {n1, n1, &q_n1}};
    for (const auto &t : cases) {
      QL_ECDSA_SIGNATURE sig{};
      bool retry = true;
      ASSERT_EQ(ql::ecdsa_sign_with_nonce(c, sig, e, t.d, t.k, retry), 0) << name;
      ASSERT_FALSE(retry);
      Big x_mod{};
      ASSERT_EQ(Big_Mod(&x_mod, &c.G.x, &c.n), 0);
      EXPECT_EQ(Big_UComp(&sig.r, &x_mod), 0) << name;  // x(-G) = x(G)
      EXPECT_EQ(QL_ECDSA_Verify(&c, t.q, &sig, digest, sizeof(digest)), 0) << name;
    }
    QL_ECDSA_SIGNATURE sig{};
    bool retry = false;
    const Big zero{};
    EXPECT_EQ(ql::ecdsa_sign_with_nonce(c, sig, e, one, zero, retry), -5529);
    EXPECT_EQ(ql::ecdsa_sign_with_nonce(c, sig, e, one, c.n, retry), -5529);
    EXPECT_EQ(ql::ecdsa_sign_with_nonce(c, sig, e, c.n, one, retry), -5529);
  }
}

int32_t decode_sig(const std::string &hex, QL_ECDSA_SIGNATURE *sig) {
  Exact in(from_hex(hex));
  return QL_ECDSA_Signature_Decode(sig, in.data(), in.size());
}

// Malformed signatures: each case's code; every truncation of a valid one fails; every byte
// changed never reads outside the input.
TEST(EcdsaDer, SignatureDecoding) {
  const struct {
    const char *der;
    int32_t code;
  } cases[] = {
      {"3006020101020102", 0},
      {"30060201010201020000", 0},          // bytes after the SEQUENCE are ignored
      {"3008020101020102ffff", 0},          // and so are bytes after s inside it
      {"30060200020102", -3502},            // SEQUENCE length beyond the input
      {"3004020100020100", -3502},          // s runs past the SEQUENCE
      {"3003020105", -3502},                // the SEQUENCE ends right after r
      {"3103020105", -3501},                // tag
      {"3006030101020102", -3501},          // r's tag
      {"3006020101030102", -3501},          // s's tag
      {"3080020101020102", -3502},          // indefinite length
      {"308500000000060201010201", -3502},  // five length bytes
      {"30", -3502},
      {"", -3502},
      {"3007020101028101020000", 0},  // long form accepted
      {"300402000200", 0},            // empty contents are zero
  };
  for (const auto &c : cases) {
    QL_ECDSA_SIGNATURE sig{};
    EXPECT_EQ(decode_sig(c.der, &sig), c.code) << c.der;
  }
  QL_ECDSA_SIGNATURE sig{};
  ASSERT_EQ(decode_sig("3007020201ff020102", &sig), 0);
  EXPECT_EQ(to_hex(std::vector<uint8_t>{static_cast<uint8_t>(sig.r.words[0] >> 8),
                                        static_cast<uint8_t>(sig.r.words[0])}),
            "01ff");
  EXPECT_EQ(QL_ECDSA_Signature_Decode(nullptr, reinterpret_cast<const uint8_t *>("0"), 1), -3505);
  EXPECT_EQ(QL_ECDSA_Signature_Decode(&sig, nullptr, 1), -3505);

  const std::vector<Vector> vectors = openssl_vectors();
  const std::vector<uint8_t> &valid = vectors[1].der;
  for (size_t n = 0; n < valid.size(); n++) {
    Exact in(std::vector<uint8_t>(valid.begin(), valid.begin() + static_cast<long>(n)));
    EXPECT_NE(QL_ECDSA_Signature_Decode(&sig, in.data(), in.size()), 0) << n;
  }
  for (size_t i = 0; i < valid.size(); i++) {
    for (int delta : {1, 0x7F, 0x80}) {
      std::vector<uint8_t> bad = valid;
      bad[i] = static_cast<uint8_t>(bad[i] + delta);
      Exact in(bad);
      const int32_t rc = QL_ECDSA_Signature_Decode(&sig, in.data(), in.size());
      EXPECT_TRUE(rc == 0 || rc == -3501 || rc == -3502) << i << " " << rc;
    }
  }
}

// Signature encodings: minimal INTEGERs, a leading 00 for a set top bit, negative values,
// long lengths, and the length query's bound.
TEST(EcdsaDer, SignatureEncoding) {
  const std::string big = std::string(126, '7');  // 63-byte values: the SEQUENCE needs 0x81
  const struct {
    const char *r;
    const char *s;
    std::string der;
  } cases[] = {
      {"1", "2", "3006020101020102"},
      {"80", "ff", "300802020080020200ff"},
      {"-1", "0", "30060201ff020100"},
  };
  for (const auto &c : cases) {
    QL_ECDSA_SIGNATURE sig{};
    sig.r = big_hex(c.r);
    sig.s = big_hex(c.s);
    uint32_t bound = 0;
    ASSERT_EQ(QL_ECDSA_Signature_Encode(nullptr, &bound, &sig), 0);
    std::vector<uint8_t> out(bound);
    uint32_t len = 0;
    ASSERT_EQ(QL_ECDSA_Signature_Encode(out.data(), &len, &sig), 0);
    EXPECT_LE(len, bound);
    EXPECT_GE(len + 18, bound);
    out.resize(len);
    EXPECT_EQ(to_hex(out), c.der);
  }
  QL_ECDSA_SIGNATURE sig{};
  sig.r = big_hex(big);
  sig.s = big_hex(big);
  std::vector<uint8_t> out(200);
  uint32_t len = 0;
  ASSERT_EQ(QL_ECDSA_Signature_Encode(out.data(), &len, &sig), 0);
  out.resize(len);
  EXPECT_EQ(to_hex(out), "308182023f" + big + "023f" + big);
  EXPECT_EQ(QL_ECDSA_Signature_Encode(out.data(), nullptr, &sig), -5521);
  EXPECT_EQ(QL_ECDSA_Signature_Encode(out.data(), &len, nullptr), -5521);
}

const char kP256Oid[] = "06082a8648ce3d030107";
const char kP224Oid[] = "06052b81040021";

// Private keys: the exact 49- and 50-byte P-256 forms, the form without curve, decoding into
// a curve record, and refusals.
TEST(EcdsaDer, PrivateKeys) {
  QL_ECDSA_PARAMETERS p256 = curve_of("P-256");
  const std::string low(64, '5');
  const std::string high = "b" + std::string(63, '5');
  const struct {
    std::string d;
    bool with_curve;
    std::string der;
  } cases[] = {
      {low, true, "302f0201010420" + low + kP256Oid},
      {high, true, "3030020101042100" + high + kP256Oid},
      {low, false, "30250201010420" + low},
      {"1", false,
       "30060201010401"
       "01"},
  };
  for (const auto &c : cases) {
    Big d = big_hex(c.d);
    const QL_ECDSA_PARAMETERS *curve = c.with_curve ? &p256 : nullptr;
    uint32_t bound = 0;
    ASSERT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, &bound, &d, curve), 0);
    std::vector<uint8_t> out(bound);
    uint32_t len = 0;
    ASSERT_EQ(QL_ECDSA_PrivateKey_Encode(out.data(), &len, &d, curve), 0);
    EXPECT_LE(len, bound);
    out.resize(len);
    EXPECT_EQ(to_hex(out), c.der);
    // Decoding gives d back; the identifier re-initialises a P-224 record to P-256, and
    // without one the given record stays as it is.
    QL_ECDSA_PARAMETERS target = curve_of(c.with_curve ? "P-224" : "P-256");
    Big back{};
    Exact in(out);
    ASSERT_EQ(QL_ECDSA_PrivateKey_Decode(&back, &target, in.data(), in.size()), 0) << c.der;
    EXPECT_EQ(Big_UComp(&back, &d), 0);
    EXPECT_EQ(target.bits, 256u);
    // Every truncation fails and leaves both outputs alone.
    for (size_t n = 0; n < out.size(); n++) {
      Exact cut(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(n)));
      Big untouched = big_hex("77");
      QL_ECDSA_PARAMETERS record = curve_of("P-224");
      const int32_t rc = QL_ECDSA_PrivateKey_Decode(&untouched, &record, cut.data(), cut.size());
      EXPECT_TRUE(rc == -3501 || rc == -3502 || rc == -5516) << n << " " << rc;
      EXPECT_EQ(untouched.words[0], 0x77u);
      EXPECT_EQ(record.bits, 224u);
    }
  }
  const std::string n_hex = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";
  const struct {
    std::string der;
    int32_t code;
  } refusals[] = {
      {"3006020102040101", -5536},    // version 2
      {"30050200040101", -5536},      // empty version
      {"300702020100040101", -3501},  // two-byte version
      {"3006020101040100", -5536},    // d = 0
      {"3025020101042000" + std::string(62, '0') + "00", -5536},
      {"302f020101042"
       "0" +
           n_hex + kP256Oid,
       -5536},                                    // d = n
      {"3006020101050101", -3501},                // OCTET STRING tag
      {"3006030101040101", -3501},                // version tag
      {"3106020101040101", -3501},                // SEQUENCE tag
      {"300d020101040101060500000000ff", -5516},  // unknown identifier
      {"3007020101040101ff", -3501},              // trailing element not an identifier
  };
  for (const auto &c : refusals) {
    Big d = big_hex("77");
    QL_ECDSA_PARAMETERS record = curve_of("P-256");
    Exact in(from_hex(c.der));
    EXPECT_EQ(QL_ECDSA_PrivateKey_Decode(&d, &record, in.data(), in.size()), c.code) << c.der;
    EXPECT_EQ(d.words[0], 0x77u);
  }
  // d = n is refused against the given curve even without an identifier.
  {
    Big d{};
    QL_ECDSA_PARAMETERS record = curve_of("P-256");
    Exact in(
        from_hex("3025020101042"
                 "0" +
                 n_hex));
    EXPECT_EQ(QL_ECDSA_PrivateKey_Decode(&d, &record, in.data(), in.size()), -5536);
    EXPECT_EQ(QL_ECDSA_PrivateKey_Decode(&d, nullptr, in.data(), in.size()), 0);
  }
  // Encoding refusals.
  Big d = big_hex(low);
  uint32_t len = 0;
  const Big bad[] = {Big{}, big_hex("-5"), p256.n};
  for (const Big &b : bad) {
    EXPECT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, &len, &b, &p256), -5537);
  }
  EXPECT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, nullptr, &d, &p256), -5537);
  EXPECT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, &len, nullptr, &p256), -5537);
  Big huge = big_hex("1" + std::string(2 * 260, '0'));
  EXPECT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, &len, &huge, nullptr), -5537);
  QL_ECDSA_PARAMETERS other = p256;
  other.bits = 192;
  EXPECT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, &len, &d, &other), -5520);
}

// Public keys and curve identifiers: exact bytes, capacities, the point at infinity, and
// malformed input.
TEST(EcdsaDer, PublicKeysAndCurveIdentifiers) {
  for (const char *name : {"P-224", "P-256"}) {
    const QL_ECDSA_PARAMETERS c = curve_of(name);
    const uint32_t coord = c.bits / 8;
    std::vector<uint8_t> x(coord);
    std::vector<uint8_t> y(coord);
    ASSERT_EQ(BigToU82(x.data(), &c.G.x, coord), 0);
    ASSERT_EQ(BigToU82(y.data(), &c.G.y, coord), 0);
    const std::string want = "04" +
                             to_hex(std::vector<uint8_t>{static_cast<uint8_t>(2 * coord + 1)}) +
                             "04" + to_hex(x) + to_hex(y);
    uint32_t len = 0;
    ASSERT_EQ(QL_ECDSA_PublicKey_Encode(nullptr, &len, 0, &c.G, &c), 0);
    EXPECT_EQ(len, 2 * coord + 3);
    std::vector<uint8_t> out(len);
    EXPECT_EQ(QL_ECDSA_PublicKey_Encode(out.data(), &len, len - 1, &c.G, &c), -5518);
    ASSERT_EQ(QL_ECDSA_PublicKey_Encode(out.data(), &len, len, &c.G, &c), 0);
    EXPECT_EQ(to_hex(out), want);
    BigPoint back{};
    Exact in(out);
    ASSERT_EQ(QL_ECDSA_PublicKey_Decode(&c, &back, in.data(), in.size()), 0);
    EXPECT_EQ(QL_ECDSA_BIGPOINT_Comp(&back, &c.G), 0);
    for (size_t n = 0; n < out.size(); n++) {
      Exact cut(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(n)));
      EXPECT_EQ(QL_ECDSA_PublicKey_Decode(&c, &back, cut.data(), cut.size()), -3502) << n;
    }
    // A compressed point inside the OCTET STRING is accepted; an off-curve one is not.
    Exact compressed(from_hex("04" + to_hex(std::vector<uint8_t>{static_cast<uint8_t>(coord + 1)}) +
                              (((c.G.y.words[0] & 1) != 0) ? "03" : "02") + to_hex(x)));
    ASSERT_EQ(QL_ECDSA_PublicKey_Decode(&c, &back, compressed.data(), compressed.size()), 0);
    EXPECT_EQ(QL_ECDSA_BIGPOINT_Comp(&back, &c.G), 0);
    out.back() ^= 1;
    Exact off(out);
    EXPECT_EQ(QL_ECDSA_PublicKey_Decode(&c, &back, off.data(), off.size()), -5509);
    out[0] = 0x03;
    Exact tag(out);
    EXPECT_EQ(QL_ECDSA_PublicKey_Decode(&c, &back, tag.data(), tag.size()), -3501);
    BigPoint infinity = c.G;
    infinity.flags = QL_BIGPOINT_INFINITY;
    EXPECT_EQ(QL_ECDSA_PublicKey_Encode(out.data(), &len, 100, &infinity, &c), -5504);
    EXPECT_EQ(QL_ECDSA_PublicKey_Encode(out.data(), nullptr, 100, &c.G, &c), -5504);
    EXPECT_EQ(QL_ECDSA_PublicKey_Decode(&c, &back, nullptr, 3), -3505);
  }

  // Identifiers: exact bytes, the length query, and only the two exact identifiers accepted.
  QL_ECDSA_PARAMETERS c = curve_of("P-256");
  for (const char *oid : {kP224Oid, kP256Oid}) {
    QL_ECDSA_PARAMETERS decoded{};
    Exact in(from_hex(oid));
    ASSERT_EQ(QL_ECDSA_Parameters_Decode(&decoded, in.data(), in.size()), 0);
    uint32_t len = 0;
    ASSERT_EQ(QL_ECDSA_Parameters_Encode(nullptr, &len, &decoded), 0);
    EXPECT_EQ(len, in.size() + 10);
    std::vector<uint8_t> out(len);
    ASSERT_EQ(QL_ECDSA_Parameters_Encode(out.data(), &len, &decoded), 0);
    out.resize(len);
    EXPECT_EQ(to_hex(out), oid);
    const QL_ECDSA_PARAMETERS want = curve_of(decoded.bits == 224 ? "P-224" : "P-256");
    EXPECT_EQ(Big_UComp(&decoded.n, &want.n), 0);
  }
  const struct {
    std::string der;
    int32_t code;
  } ids[] = {
      {"06052b81040022", -5516},          // secp384r1
      {"06072a8648ce3d0301", -5516},      // prefix of secp256r1
      {"06092a8648ce3d03010700", -5516},  // secp256r1 and one more byte
      {"06062b8104002100", -5516},        // secp224r1 and one more byte
      {"06082a8648ce3d03", -3502},        // truncated
      {"05082a8648ce3d030107", -3501},   {"", -3502},
      {std::string(kP224Oid) + "ff", 0},  // bytes behind are ignored
  };
  for (const auto &t : ids) {
    QL_ECDSA_PARAMETERS record = curve_of("P-256");
    Exact in(from_hex(t.der));
    EXPECT_EQ(Big_Param_DerDecode(&record, in.data(), in.size()), t.code) << t.der;
    EXPECT_EQ(record.bits, t.code == 0 ? 224u : 256u);
  }
  uint32_t len = 0;
  EXPECT_EQ(Big_Param_DerDecode(nullptr, reinterpret_cast<const uint8_t *>("\x06"), 1), -3505);
  c.bits = 192;
  EXPECT_EQ(Big_Param_DerEncode(nullptr, &len, &c), -5520);
  EXPECT_EQ(Big_Param_DerEncode(nullptr, nullptr, &c), -5520);
  EXPECT_EQ(Big_Param_DerEncode(nullptr, &len, nullptr), -5520);
}

// Each allocation of the encoders fails in turn: the critical code, and success once all
// succeed.
TEST(EcdsaDer, AllocationFailures) {
  QL_ECDSA_PARAMETERS c = curve_of("P-256");
  QL_ECDSA_SIGNATURE sig{};
  sig.r = c.G.x;
  sig.s = c.G.y;
  Big d = c.G.x;
  std::vector<uint8_t> out(200);
  uint32_t len = 0;
  const struct {
    const char *name;
    int32_t code;
    std::function<int32_t()> call;
  } cases[] = {
      {"signature", -5522, [&] { return QL_ECDSA_Signature_Encode(out.data(), &len, &sig); }},
      {"private", -5535, [&] { return QL_ECDSA_PrivateKey_Encode(out.data(), &len, &d, &c); }},
      {"public", -5517, [&] { return QL_ECDSA_PublicKey_Encode(out.data(), &len, 200, &c.G, &c); }},
  };
  for (const auto &k : cases) {
    int failures = 0;
    for (int64_t n = 0;; n++) {
      ql::test::alloc_fail_at(n);
      const int32_t rc = k.call();
      ql::test::alloc_fail_at(-1);
      if (rc == 0) {
        break;
      }
      EXPECT_EQ(rc, ql::critical(k.code)) << k.name << " " << n;
      failures++;
      ASSERT_LT(n, 10);
    }
    EXPECT_EQ(failures, 1) << k.name;
  }
  // Public-key validation through the table-based multiplication: its table allocation.
  for (int64_t n = 0;; n++) {
    ql::test::alloc_fail_at(n);
    const int32_t rc = QL_ECDSA_VerifyPublicKey(&c.G, &c);
    ql::test::alloc_fail_at(-1);
    if (rc == 0) {
      break;
    }
    EXPECT_EQ(rc, ql::critical(-5534));
    ASSERT_LT(n, 40);
  }
}

}  // namespace
