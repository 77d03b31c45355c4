// ECDSA: OpenSSL's signatures (digests of 20 to 64 bytes, so truncation to n's length counts)
// verified through both multiplication paths, our signatures, range checks of r, s and d, the
// parameter check of every function, public-key validation, the exact bytes of the key,
// signature and curve encodings, malformed encodings at every length, allocation failures.
#include "pk/ql_ecdsa.h"

#include <gtest/gtest.h>

#include <algorithm>
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

Big plus(const Big &a, const Big &b) {
  Big r{};
  EXPECT_EQ(Big_Add(&r, &a, &b), 0);
  return r;
}

QL_ECDSA_PARAMETERS curve_of(uint32_t bits) {
  QL_ECDSA_PARAMETERS c{};
  EXPECT_EQ(QL_ECDSA_InitParameters(&c, bits), 0);
  return c;
}

// Runs `decode` on a heap copy of exactly the bytes of `hex`, so that the sanitizer build
// catches a read past the end.
int32_t on_exact(const std::string &hex,
                 const std::function<int32_t(const uint8_t *, uint32_t)> &decode) {
  std::vector<uint8_t> in = from_hex(hex);
  in.shrink_to_fit();
  const uint8_t none = 0;
  return decode(in.empty() ? &none : in.data(), static_cast<uint32_t>(in.size()));
}

// Every proper prefix of `hex` is refused with one of `codes`.
void every_prefix_fails(const std::string &hex, const std::vector<int32_t> &codes,
                        const std::function<int32_t(const uint8_t *, uint32_t)> &decode) {
  for (size_t n = 0; n < hex.size(); n += 2) {
    const int32_t rc = on_exact(hex.substr(0, n), decode);
    EXPECT_NE(std::find(codes.begin(), codes.end(), rc), codes.end()) << n / 2 << ": " << rc;
  }
}

struct Vector {
  QL_ECDSA_PARAMETERS curve;
  Big d;
  BigPoint q;
  std::vector<uint8_t> digest;
  std::string der;
  QL_ECDSA_SIGNATURE sig;
};

std::vector<Vector> openssl_vectors() {
  std::vector<Vector> out;
  for (const auto &c : qltest::load_vectors("ecdsa_openssl.txt")) {
    Vector v{};
    v.curve = curve_of(c.str("curve") == "P-224" ? 224 : 256);
    v.d = big_hex(c.str("d"));
    v.q.x = big_hex(c.str("qx"));
    v.q.y = big_hex(c.str("qy"));
    v.digest = c.hex("digest");
    v.der = c.str("sig");
    v.sig.r = big_hex(c.str("r"));
    v.sig.s = big_hex(c.str("s"));
    c.expect_all_consumed();
    out.push_back(v);
  }
  EXPECT_EQ(out.size(), 20u);
  return out;
}

TEST(Ecdsa, OpenSslSignaturesAndOurs) {
  int index = 0;
  for (Vector &v : openssl_vectors()) {
    const std::string where = v.der;
    const uint32_t len = static_cast<uint32_t>(v.digest.size());
    auto verify = [&](const QL_ECDSA_SIGNATURE &s, const std::vector<uint8_t> &digest) {
      return QL_ECDSA_Verify(&v.curve, &v.q, &s, digest.data(), len);
    };
    EXPECT_EQ(QL_ECDSA_ProveKeyPair(&v.d, &v.q, &v.curve), 0) << where;
    EXPECT_EQ(QL_ECDSA_VerifyPublicKey(&v.q, &v.curve), 0) << where;
    Big d1 = v.d;
    d1.words[0] ^= 1;
    EXPECT_EQ(QL_ECDSA_ProveKeyPair(&d1, &v.q, &v.curve), -5527);

    // The joint multiplication and the record's own operations answer alike.
    for (const QL_ECC_POINT_MUL_FN mul :
         {&BigPoint_Mul_NAFSlidingWindow, &BigPoint_Mul_SignedMary}) {
      v.curve.point_mul = mul;
      EXPECT_EQ(verify(v.sig, v.digest), 0) << where;
      // (r, n - s) is the other valid signature; r + n and s + n are refused.
      QL_ECDSA_SIGNATURE alt = v.sig;
      ASSERT_EQ(Big_Sub(&alt.s, &v.curve.n, &v.sig.s), 0);
      EXPECT_EQ(verify(alt, v.digest), 0) << where;
      alt.s = plus(v.sig.s, v.curve.n);
      EXPECT_EQ(verify(alt, v.digest), -5538) << where;
      alt = v.sig;
      alt.r = plus(v.sig.r, v.curve.n);
      EXPECT_EQ(verify(alt, v.digest), -5538) << where;
      // The last byte within n's length matters; bytes beyond it do not.
      std::vector<uint8_t> changed = v.digest;
      const size_t n_len = v.curve.bits / 8;
      changed[std::min(changed.size(), n_len) - 1] ^= 0x10;
      EXPECT_EQ(verify(v.sig, changed), -5502) << where;
      changed = v.digest;
      changed.back() ^= 1;
      EXPECT_EQ(verify(v.sig, changed), changed.size() > n_len ? 0 : -5502) << where;
    }

    // The DER decodes to r, s and re-encodes to the same bytes.
    QL_ECDSA_SIGNATURE decoded{};
    ASSERT_EQ(
        on_exact(v.der, [&](const uint8_t *in,
                            uint32_t n) { return QL_ECDSA_Signature_Decode(&decoded, in, n); }),
        0);
    EXPECT_EQ(Big_UComp(&decoded.r, &v.sig.r) | Big_UComp(&decoded.s, &v.sig.s), 0);
    std::vector<uint8_t> out(80);
    uint32_t out_len = 0;
    ASSERT_EQ(QL_ECDSA_Signature_Encode(out.data(), &out_len, &decoded), 0);
    out.resize(out_len);
    EXPECT_EQ(to_hex(out), v.der);
    every_prefix_fails(v.der, {-3501, -3502}, [&](const uint8_t *in, uint32_t n) {
      return QL_ECDSA_Signature_Decode(&decoded, in, n);
    });

    // Ours verify, and two differ. Each draws fresh entropy (slow): one vector in five.
    if (index++ % 5 != 0) {
      continue;
    }
    QL_ECDSA_SIGNATURE mine[2] = {};
    for (QL_ECDSA_SIGNATURE &s : mine) {
      ASSERT_EQ(QL_ECDSA_Sign(&s, v.digest.data(), len, &v.d, &v.curve), 0);
      EXPECT_EQ(verify(s, v.digest), 0) << where;
    }
    EXPECT_NE(Big_UComp(&mine[0].r, &mine[1].r), 0);
  }
}

// r or s of 0, n, n + 1, p, above p and negative; keys at infinity, off the curve or with a
// coordinate not below p.
TEST(Ecdsa, ValuesOutOfRange) {
  const std::vector<Vector> vectors = openssl_vectors();
  for (const Vector &v : {vectors.front(), vectors.back()}) {
    const QL_ECDSA_PARAMETERS &c = v.curve;
    const Big one = big_hex("1");
    const Big bad[] = {Big{},
                       c.n,
                       plus(c.n, one),
                       c.p,
                       plus(c.p, plus(one, one)),
                       big_hex(std::string(64, 'f')),
                       big_hex("-1")};
    const uint32_t len = static_cast<uint32_t>(v.digest.size());
    for (const Big &b : bad) {
      QL_ECDSA_SIGNATURE sig[2] = {v.sig, v.sig};
      sig[0].r = b;
      sig[1].s = b;
      for (const QL_ECDSA_SIGNATURE &s : sig) {
        EXPECT_EQ(QL_ECDSA_Verify(&c, &v.q, &s, v.digest.data(), len), -5538);
      }
    }
    BigPoint keys[4] = {v.q, v.q, v.q, v.q};
    keys[0].flags = QL_BIGPOINT_INFINITY;
    keys[1].y.words[0] ^= 1;
    keys[2].x = plus(v.q.x, c.p);
    keys[3].y = plus(v.q.y, c.p);
    for (const BigPoint &q : keys) {
      EXPECT_EQ(QL_ECDSA_VerifyPublicKey(&q, &c), -5525);
      EXPECT_EQ(QL_ECDSA_Verify(&c, &q, &v.sig, v.digest.data(), len), -5530);
    }
    // n composite: s = 3 shares a factor with it, on either path.
    QL_ECDSA_PARAMETERS odd = c;
    QL_ECDSA_SIGNATURE sig = v.sig;
    sig.s = big_hex("3");
    ASSERT_EQ(Big_Mul(&odd.n, &c.n, &sig.s), 0);
    for (const QL_ECC_POINT_MUL_FN mul :
         {&BigPoint_Mul_NAFSlidingWindow, &BigPoint_Mul_SignedMary}) {
      odd.point_mul = mul;
      EXPECT_EQ(QL_ECDSA_Verify(&odd, &v.q, &sig, v.digest.data(), len), -2003);
    }
  }
}

// Every function refuses null arguments, incomplete curve records, long digests and private
// keys out of range with its own code.
TEST(Ecdsa, RefusedArguments) {
  const QL_ECDSA_PARAMETERS good = curve_of(256);
  std::vector<const QL_ECDSA_PARAMETERS *> curves = {nullptr};
  std::vector<QL_ECDSA_PARAMETERS> broken(6, good);
  broken[0].a = Big{};
  broken[1].G = BigPoint{};
  broken[2].n = Big{};
  broken[3].lead = 3;
  broken[4].b = Big{};
  broken[5].p = Big{};
  for (const QL_ECDSA_PARAMETERS &c : broken) {
    curves.push_back(&c);
  }
  const uint8_t digest[65] = {1, 2, 3};
  Big d = big_hex("1234");
  BigPoint q{};
  QL_ECDSA_SIGNATURE sig{};
  sig.r = big_hex("5");
  sig.s = big_hex("7");
  const Big bad_d[] = {Big{}, good.n, plus(good.n, good.n), big_hex("-5")};
  using Call = std::function<int32_t(const QL_ECDSA_PARAMETERS *)>;
  const struct {
    int32_t code;
    Call call;
    std::vector<std::function<int32_t()>> more;
  } cases[] = {
      {-1501, [&](const QL_ECDSA_PARAMETERS *c) { return Big_Random_with_SHA1(c, &d); }, {[&] {
         return Big_Random_with_SHA1(&good, nullptr);
       }}},
      {-5533,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_GenerateKeyPair(c, &q, &d); },
       {[&] { return QL_ECDSA_GenerateKeyPair(&good, nullptr, &d); },
        [&] { return QL_ECDSA_GenerateKeyPair(&good, &q, nullptr); }}},
      {-5529,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_Sign(&sig, digest, 20, &d, c); },
       {[&] { return QL_ECDSA_Sign(nullptr, digest, 20, &d, &good); },
        [&] { return QL_ECDSA_Sign(&sig, nullptr, 20, &d, &good); },
        [&] { return QL_ECDSA_Sign(&sig, digest, 20, nullptr, &good); },
        [&] { return QL_ECDSA_Sign(&sig, digest, 65, &d, &good); },
        [&] { return QL_ECDSA_Sign(&sig, digest, 20, &bad_d[0], &good); },
        [&] { return QL_ECDSA_Sign(&sig, digest, 20, &bad_d[1], &good); },
        [&] { return QL_ECDSA_Sign(&sig, digest, 20, &bad_d[3], &good); }}},
      {-5530,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_Verify(c, &good.G, &sig, digest, 20); },
       {[&] { return QL_ECDSA_Verify(&good, nullptr, &sig, digest, 20); },
        [&] { return QL_ECDSA_Verify(&good, &good.G, nullptr, digest, 20); },
        [&] { return QL_ECDSA_Verify(&good, &good.G, &sig, nullptr, 20); },
        [&] { return QL_ECDSA_Verify(&good, &good.G, &sig, digest, 65); }}},
      {-5524,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_VerifyPublicKey(&good.G, c); },
       {[&] { return QL_ECDSA_VerifyPublicKey(nullptr, &good); }}},
      {-5526,
       [&](const QL_ECDSA_PARAMETERS *c) { return QL_ECDSA_ProveKeyPair(&d, &good.G, c); },
       {[&] { return QL_ECDSA_ProveKeyPair(nullptr, &good.G, &good); },
        [&] { return QL_ECDSA_ProveKeyPair(&d, nullptr, &good); },
        [&] { return QL_ECDSA_ProveKeyPair(&bad_d[1], &good.G, &good); },
        [&] { return QL_ECDSA_ProveKeyPair(&bad_d[2], &good.G, &good); }}},
  };
  for (const auto &k : cases) {
    for (const QL_ECDSA_PARAMETERS *c : curves) {
      EXPECT_EQ(k.call(c), k.code);
    }
    for (const auto &call : k.more) {
      EXPECT_EQ(call(), k.code);
    }
  }
  // Field sizes outside 160..512 bits and orders outside 5..16 words.
  QL_ECDSA_PARAMETERS odd[3] = {good, good, good};
  odd[0].bits = 128;
  odd[1].n = big_hex(std::string(17 * 8, 'f'));
  odd[2].n = big_hex("ffffffff");
  for (const QL_ECDSA_PARAMETERS &c : odd) {
    EXPECT_EQ(Big_Random_with_SHA1(&c, &d), -1501);
  }
}

// Fresh key pairs pass their checks; a 64-byte and an empty digest sign and verify; chosen
// nonces and keys at both ends of 1..n-1 give x(G) as r; out-of-range nonces are refused.
TEST(Ecdsa, KeyPairsAndChosenNonces) {
  for (const uint32_t bits : {224u, 256u}) {
    const QL_ECDSA_PARAMETERS c = curve_of(bits);
    BigPoint q{};
    Big d{};
    ASSERT_EQ(QL_ECDSA_GenerateKeyPair(&c, &q, &d), 0);
    EXPECT_EQ(QL_ECDSA_VerifyPublicKey(&q, &c), 0);
    EXPECT_EQ(QL_ECDSA_ProveKeyPair(&d, &q, &c), 0);
    const uint8_t digest[64] = {0xab, 0xcd};
    for (const uint32_t len : {0u, 64u}) {
      QL_ECDSA_SIGNATURE sig{};
      ASSERT_EQ(QL_ECDSA_Sign(&sig, digest, len, &d, &c), 0);
      EXPECT_EQ(QL_ECDSA_Verify(&c, &q, &sig, digest, len), 0);
    }
    const Big one = big_hex("1");
    Big n1{};
    ASSERT_EQ(Big_SubByWord(&n1, &c.n, 1), 0);
    BigPoint minus_g = c.G;
    ASSERT_EQ(Big_Sub(&minus_g.y, &c.p, &c.G.y), 0);
    Big e{};
    Big x_g{};
    ASSERT_EQ(Big_Mod(&x_g, &c.G.x, &c.n), 0);
    for (const Big *k : {&one, static_cast<const Big *>(&n1)}) {
      for (const Big *key : {&one, static_cast<const Big *>(&n1)}) {
        QL_ECDSA_SIGNATURE sig{};
        bool retry = true;
        ASSERT_EQ(ql::ecdsa_sign_with_nonce(c, sig, e, *key, *k, retry), 0);
        ASSERT_FALSE(retry);
        EXPECT_EQ(Big_UComp(&sig.r, &x_g), 0);  // x(-G) = x(G)
        EXPECT_EQ(QL_ECDSA_Verify(&c, key == &one ? &c.G : &minus_g, &sig, digest, 0), 0);
      }
    }
    QL_ECDSA_SIGNATURE sig{};
    bool retry = false;
    for (const Big &k : {Big{}, c.n, big_hex("-1")}) {
      EXPECT_EQ(ql::ecdsa_sign_with_nonce(c, sig, e, one, k, retry), -5529);
    }
  }
}

TEST(EcdsaDer, SignatureCodes) {
  const struct {
    const char *r;
    const char *s;
    const char *der;
  } encodings[] = {
      {"1", "2", "3006020101020102"},
      {"80", "ff", "300802020080020200ff"},
      {"-1", "0", "30060201ff020100"},
  };
  for (const auto &c : encodings) {
    QL_ECDSA_SIGNATURE sig{};
    sig.r = big_hex(c.r);
    sig.s = big_hex(c.s);
    uint32_t bound = 0;
    ASSERT_EQ(QL_ECDSA_Signature_Encode(nullptr, &bound, &sig), 0);
    std::vector<uint8_t> out(bound);
    uint32_t len = 0;
    ASSERT_EQ(QL_ECDSA_Signature_Encode(out.data(), &len, &sig), 0);
    EXPECT_TRUE(len <= bound && bound <= len + 18);
    out.resize(len);
    EXPECT_EQ(to_hex(out), c.der);
  }
  QL_ECDSA_SIGNATURE sig{};
  const std::string v63(126, '7');  // two 63-byte values: the SEQUENCE takes the long form
  sig.r = big_hex(v63);
  sig.s = big_hex(v63);
  std::vector<uint8_t> out(200);
  uint32_t len = 0;
  ASSERT_EQ(QL_ECDSA_Signature_Encode(out.data(), &len, &sig), 0);
  out.resize(len);
  EXPECT_EQ(to_hex(out), "308182023f" + v63 + "023f" + v63);
  EXPECT_EQ(QL_ECDSA_Signature_Encode(out.data(), nullptr, &sig), -5521);
  EXPECT_EQ(QL_ECDSA_Signature_Encode(out.data(), &len, nullptr), -5521);

  const struct {
    const char *der;
    int32_t code;
  } decodings[] = {
      {"30060201010201020000", 0},          // bytes after the SEQUENCE are ignored
      {"3008020101020102ffff", 0},          // and so are bytes after s inside it
      {"3007020101028101020000", 0},        // long form
      {"300402000200", 0},                  // empty contents are zero
      {"30060200020102", -3502},            // SEQUENCE length beyond the input
      {"3004020100020100", -3502},          // s runs past the SEQUENCE
      {"3003020105", -3502},                // the SEQUENCE ends right after r
      {"3080020101020102", -3502},          // indefinite length
      {"308500000000060201010201", -3502},  // five length bytes
      {"3103020105", -3501},
      {"3006030101020102", -3501},
      {"3006020101030102", -3501},
  };
  for (const auto &c : decodings) {
    EXPECT_EQ(on_exact(c.der, [&](const uint8_t *in,
                                  uint32_t n) { return QL_ECDSA_Signature_Decode(&sig, in, n); }),
              c.code)
        << c.der;
  }
  EXPECT_EQ(QL_ECDSA_Signature_Decode(nullptr, out.data(), 8), -3505);
  EXPECT_EQ(QL_ECDSA_Signature_Decode(&sig, nullptr, 8), -3505);
}

const std::string kP256Oid = "06082a8648ce3d030107";
const std::string kP224Oid = "06052b81040021";

TEST(EcdsaDer, PrivateKeys) {
  const QL_ECDSA_PARAMETERS p256 = curve_of(256);
  const std::string low(64, '5');
  const std::string high = "b" + std::string(63, '5');
  const struct {
    std::string d;
    bool with_curve;
    std::string der;
  } cases[] = {
      {low, true, "302f0201010420" + low + kP256Oid},      // 49 bytes
      {high, true, "3030020101042100" + high + kP256Oid},  // 50 bytes
      {low, false, "30250201010420" + low},
      {"1", false, "3006020101040101"},
  };
  for (const auto &c : cases) {
    const Big d = big_hex(c.d);
    const QL_ECDSA_PARAMETERS *curve = c.with_curve ? &p256 : nullptr;
    uint32_t bound = 0;
    ASSERT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, &bound, &d, curve), 0);
    std::vector<uint8_t> out(bound);
    uint32_t len = 0;
    ASSERT_EQ(QL_ECDSA_PrivateKey_Encode(out.data(), &len, &d, curve), 0);
    out.resize(std::min(len, bound));
    EXPECT_EQ(to_hex(out), c.der);
    // The identifier turns a P-224 record into P-256; without one the record stays.
    QL_ECDSA_PARAMETERS target = curve_of(c.with_curve ? 224 : 256);
    Big back{};
    auto decode = [&](const uint8_t *in, uint32_t n) {
      return QL_ECDSA_PrivateKey_Decode(&back, &target, in, n);
    };
    every_prefix_fails(c.der, {-3501, -3502, -5516}, decode);
    EXPECT_EQ(target.bits, c.with_curve ? 224u : 256u);  // untouched on failure
    ASSERT_EQ(on_exact(c.der, decode), 0);
    EXPECT_EQ(Big_UComp(&back, &d), 0);
    EXPECT_EQ(target.bits, 256u);
  }
  const std::string n = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";
  const struct {
    std::string der;
    int32_t code;
  } refusals[] = {
      {"3006020102040101", -5536},               // version 2
      {"30050200040101", -5536},                 // empty version
      {"3006020101040100", -5536},               // d = 0
      {"30250201010420" + n, -5536},             // d = n of the given curve
      {"302f0201010420" + n + kP256Oid, -5536},  // d = n of the named curve
      {"300702020100040101", -3501},             // two-byte version
      {"3006020101050101", -3501},
      {"3106020101040101", -3501},
      {"3007020101040101ff", -3501},              // a trailing element that is no identifier
      {"300d02010104010106052b81040022", -5516},  // secp384r1
  };
  for (const auto &c : refusals) {
    Big d = big_hex("77");
    QL_ECDSA_PARAMETERS record = curve_of(256);
    EXPECT_EQ(on_exact(c.der,
                       [&](const uint8_t *in, uint32_t len) {
                         return QL_ECDSA_PrivateKey_Decode(&d, &record, in, len);
                       }),
              c.code)
        << c.der;
    EXPECT_EQ(d.words[0], 0x77u);
  }
  uint32_t len = 0;
  const Big huge = big_hex("1" + std::string(2 * 260, '0'));
  for (const Big &b : {Big{}, big_hex("-5"), p256.n}) {
    EXPECT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, &len, &b, &p256), -5537);
  }
  EXPECT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, &len, &huge, nullptr), -5537);
  EXPECT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, nullptr, &huge, nullptr), -5537);
  QL_ECDSA_PARAMETERS other = p256;
  other.bits = 192;
  EXPECT_EQ(QL_ECDSA_PrivateKey_Encode(nullptr, &len, &p256.G.x, &other), -5520);
}

TEST(EcdsaDer, PublicKeysAndCurveIdentifiers) {
  for (const uint32_t bits : {224u, 256u}) {
    const QL_ECDSA_PARAMETERS c = curve_of(bits);
    std::vector<uint8_t> xy(bits / 4);
    ASSERT_EQ(BigToU82(xy.data(), &c.G.x, bits / 8), 0);
    ASSERT_EQ(BigToU82(xy.data() + bits / 8, &c.G.y, bits / 8), 0);
    const std::string want = (bits == 224 ? "043904" : "044104") + to_hex(xy);
    uint32_t len = 0;
    ASSERT_EQ(QL_ECDSA_PublicKey_Encode(nullptr, &len, 0, &c.G, &c), 0);
    std::vector<uint8_t> out(len);
    EXPECT_EQ(QL_ECDSA_PublicKey_Encode(out.data(), &len, len - 1, &c.G, &c), -5518);
    ASSERT_EQ(QL_ECDSA_PublicKey_Encode(out.data(), &len, len, &c.G, &c), 0);
    EXPECT_EQ(to_hex(out), want);
    BigPoint back{};
    auto decode = [&](const uint8_t *in, uint32_t n) {
      return QL_ECDSA_PublicKey_Decode(&c, &back, in, n);
    };
    every_prefix_fails(want, {-3502}, decode);
    ASSERT_EQ(on_exact(want, decode), 0);
    EXPECT_EQ(QL_ECDSA_BIGPOINT_Comp(&back, &c.G), 0);
    // A compressed point inside is accepted; an off-curve one and another tag are not.
    const std::string x = to_hex(xy).substr(0, bits / 4);
    const std::string parity = (c.G.y.words[0] & 1) != 0 ? "03" : "02";
    EXPECT_EQ(on_exact((bits == 224 ? "041d" : "0421") + parity + x, decode), 0);
    EXPECT_EQ(on_exact(want.substr(0, want.size() - 1) + (want.back() == '0' ? "1" : "0"), decode),
              -5509);
    EXPECT_EQ(on_exact("03" + want.substr(2), decode), -3501);
    BigPoint infinity = c.G;
    infinity.flags = QL_BIGPOINT_INFINITY;
    EXPECT_EQ(QL_ECDSA_PublicKey_Encode(out.data(), &len, 100, &infinity, &c), -5504);
    EXPECT_EQ(QL_ECDSA_PublicKey_Encode(out.data(), nullptr, 100, &c.G, &c), -5504);
    EXPECT_EQ(QL_ECDSA_PublicKey_Decode(&c, &back, nullptr, 3), -3505);
  }

  const struct {
    std::string der;
    int32_t code;  // 0: names P-224 (kP224Oid) or P-256
  } ids[] = {
      {kP224Oid, 0},
      {kP256Oid, 0},
      {kP224Oid + "ff", 0},           // bytes behind are ignored
      {"06052b81040022", -5516},      // secp384r1
      {"06072a8648ce3d0301", -5516},  // a prefix of secp256r1
      {kP256Oid.substr(0, 2) + "09" + kP256Oid.substr(4) + "00", -5516},
      {"06062b8104002100", -5516},
      {"06082a8648ce3d03", -3502},
      {"05082a8648ce3d030107", -3501},
      {"", -3502},
  };
  for (const auto &t : ids) {
    QL_ECDSA_PARAMETERS record{};
    EXPECT_EQ(
        on_exact(t.der, [&](const uint8_t *in,
                            uint32_t n) { return QL_ECDSA_Parameters_Decode(&record, in, n); }),
        t.code)
        << t.der;
    if (t.code != 0) {
      EXPECT_EQ(record.bits, 0u);
      continue;
    }
    const QL_ECDSA_PARAMETERS want = curve_of(record.bits);
    EXPECT_EQ(Big_UComp(&record.n, &want.n), 0);
    uint32_t len = 0;
    ASSERT_EQ(QL_ECDSA_Parameters_Encode(nullptr, &len, &record), 0);
    std::vector<uint8_t> out(len);
    ASSERT_EQ(QL_ECDSA_Parameters_Encode(out.data(), &len, &record), 0);
    EXPECT_EQ(len + 10, out.size());
    out.resize(len);
    EXPECT_EQ(to_hex(out), record.bits == 224 ? kP224Oid : kP256Oid);
  }
  QL_ECDSA_PARAMETERS c = curve_of(256);
  uint32_t len = 0;
  EXPECT_EQ(Big_Param_DerDecode(nullptr, reinterpret_cast<const uint8_t *>("\x06"), 1), -3505);
  EXPECT_EQ(Big_Param_DerEncode(nullptr, &len, nullptr), -5520);
  EXPECT_EQ(Big_Param_DerEncode(nullptr, nullptr, &c), -5520);
  c.bits = 192;
  EXPECT_EQ(Big_Param_DerEncode(nullptr, &len, &c), -5520);
}

// Each allocation fails in turn: its critical code, then success once all succeed.
TEST(EcdsaDer, AllocationFailures) {
  const QL_ECDSA_PARAMETERS c = curve_of(256);
  QL_ECDSA_SIGNATURE sig{};
  sig.r = c.G.x;
  sig.s = c.G.y;
  std::vector<uint8_t> out(200);
  uint32_t len = 0;
  const struct {
    int32_t code;
    std::function<int32_t()> call;
  } cases[] = {
      {-5522, [&] { return QL_ECDSA_Signature_Encode(out.data(), &len, &sig); }},
      {-5535, [&] { return QL_ECDSA_PrivateKey_Encode(out.data(), &len, &c.G.x, &c); }},
      {-5517, [&] { return QL_ECDSA_PublicKey_Encode(out.data(), &len, 200, &c.G, &c); }},
      {-5534, [&] { return QL_ECDSA_VerifyPublicKey(&c.G, &c); }},
  };
  for (const auto &k : cases) {
    int32_t rc = -1;
    for (int64_t n = 0; rc != 0 && n < 20; n++) {
      ql::test::alloc_fail_at(n);
      rc = k.call();
      ql::test::alloc_fail_at(-1);
      EXPECT_TRUE(rc == 0 || rc == ql::critical(k.code)) << k.code << " " << rc;
    }
    EXPECT_EQ(rc, 0);
  }
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(QL_ECDSA_Signature_New(), nullptr);
  ql::test::alloc_fail_at(-1);
  QL_ECDSA_SIGNATURE *fresh = QL_ECDSA_Signature_New();
  QL_ECDSA_PARAMETERS *record = QL_ECDSA_Parameters_New();
  ASSERT_TRUE(fresh != nullptr && record != nullptr);
  EXPECT_EQ(fresh->r.length | fresh->s.length | record->bits, 0);
  QL_ECDSA_Signature_Delete(fresh);
  QL_ECDSA_Parameters_Delete(record);
  QL_ECDSA_Signature_Delete(nullptr);
  QL_ECDSA_Parameters_Delete(nullptr);
}

}  // namespace
