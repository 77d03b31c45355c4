// ECDSA against OpenSSL, through the shared library's exported functions: each side verifies
// the other's signatures on P-224 and P-256 with digests of 20 to 64 bytes, the DER of every
// signature matches i2d_ECDSA_SIG/d2i_ECDSA_SIG, verification of signatures built around
// chosen points (x at or above n, small x, infinity) and their mutations agrees with OpenSSL
// and with the record's own operations, there and on a small curve with a cofactor, key pairs
// pass EC_KEY_check_key, public-key
// validation agrees with it on valid and broken points, and the curve identifiers are
// OpenSSL's OIDs.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/obj_mac.h>
#include <openssl/objects.h>
#include <openssl/rand.h>

#include <memory>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_openssl_bn.h"

namespace {

using qltest::Bn;
using qltest::to_bn;
Big to_big(const BIGNUM *b) { return qltest::from_bn(b); }

template <typename T, void (*F)(T *)>
struct Del {
  void operator()(T *p) const { F(p); }
};
using Key = std::unique_ptr<EC_KEY, Del<EC_KEY, EC_KEY_free>>;
using Sig = std::unique_ptr<ECDSA_SIG, Del<ECDSA_SIG, ECDSA_SIG_free>>;
using Point = std::unique_ptr<EC_POINT, Del<EC_POINT, EC_POINT_free>>;

struct Curve {
  const char *name;
  int nid;
  uint32_t bits;
};
const Curve kCurves[] = {{"P-224", NID_secp224r1, 224}, {"P-256", NID_X9_62_prime256v1, 256}};
const uint32_t kDigestLens[] = {20, 28, 32, 48, 64};

BigPoint to_point(const EC_GROUP *g, const EC_POINT *p) {
  Bn x(BN_new());
  Bn y(BN_new());
  EXPECT_EQ(EC_POINT_get_affine_coordinates(g, p, x.get(), y.get(), nullptr), 1);
  BigPoint q{};
  q.x = to_big(x.get());
  q.y = to_big(y.get());
  return q;
}

// An OpenSSL key holding (d, Q), or only Q when d is null; null when OpenSSL refuses Q.
Key to_key(int nid, const Big *d, const BigPoint &q) {
  Key key(EC_KEY_new_by_curve_name(nid));
  Bn x = to_bn(q.x);
  Bn y = to_bn(q.y);
  if (EC_KEY_set_public_key_affine_coordinates(key.get(), x.get(), y.get()) != 1) {
    return nullptr;
  }
  if (d != nullptr) {
    Bn dn = to_bn(*d);
    EXPECT_EQ(EC_KEY_set_private_key(key.get(), dn.get()), 1);
  }
  return key;
}

std::vector<uint8_t> our_der(const QL_ECDSA_SIGNATURE &sig) {
  uint32_t len = 0;
  EXPECT_EQ(QL_ECDSA_Signature_Encode(nullptr, &len, &sig), 0);
  std::vector<uint8_t> out(len);
  EXPECT_EQ(QL_ECDSA_Signature_Encode(out.data(), &len, &sig), 0);
  out.resize(len);
  return out;
}

std::vector<uint8_t> openssl_der(const ECDSA_SIG *sig) {
  unsigned char *p = nullptr;
  const int len = i2d_ECDSA_SIG(sig, &p);
  std::vector<uint8_t> out(p, p + (len > 0 ? len : 0));
  OPENSSL_free(p);
  return out;
}

TEST(EcdsaDiff, SignaturesBothWays) {
  for (const Curve &c : kCurves) {
    QL_ECDSA_PARAMETERS curve{};
    ASSERT_EQ(QL_ECDSA_InitParameters(&curve, c.bits), 0);
    for (int round = 0; round < 6; round++) {
      // Even rounds: OpenSSL's key; odd rounds: ours, which OpenSSL must accept.
      Big d{};
      BigPoint q{};
      Key key;
      if (round % 2 == 0) {
        key.reset(EC_KEY_new_by_curve_name(c.nid));
        ASSERT_EQ(EC_KEY_generate_key(key.get()), 1);
        d = to_big(EC_KEY_get0_private_key(key.get()));
        q = to_point(EC_KEY_get0_group(key.get()), EC_KEY_get0_public_key(key.get()));
        EXPECT_EQ(QL_ECDSA_VerifyPublicKey(&q, &curve), 0);
        EXPECT_EQ(QL_ECDSA_ProveKeyPair(&d, &q, &curve), 0);
      } else {
        ASSERT_EQ(QL_ECDSA_GenerateKeyPair(&curve, &q, &d), 0);
        key = to_key(c.nid, &d, q);
        ASSERT_TRUE(key);
        EXPECT_EQ(EC_KEY_check_key(key.get()), 1) << c.name;
      }
      for (uint32_t len : kDigestLens) {
        std::vector<uint8_t> digest(len);
        ASSERT_EQ(RAND_bytes(digest.data(), static_cast<int>(len)), 1);
        const std::string where = std::string(c.name) + " digest " + std::to_string(len);

        QL_ECDSA_SIGNATURE mine{};
        ASSERT_EQ(QL_ECDSA_Sign(&mine, digest.data(), len, &d, &curve), 0) << where;
        const std::vector<uint8_t> der = our_der(mine);
        const unsigned char *p = der.data();
        Sig parsed(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der.size())));
        ASSERT_TRUE(parsed) << where;
        EXPECT_EQ(p, der.data() + der.size());
        EXPECT_EQ(openssl_der(parsed.get()), der) << where;
        EXPECT_EQ(ECDSA_do_verify(digest.data(), static_cast<int>(len), parsed.get(), key.get()), 1)
            << where;

        Sig theirs(ECDSA_do_sign(digest.data(), static_cast<int>(len), key.get()));
        ASSERT_TRUE(theirs);
        const std::vector<uint8_t> their_der = openssl_der(theirs.get());
        QL_ECDSA_SIGNATURE decoded{};
        ASSERT_EQ(QL_ECDSA_Signature_Decode(&decoded, their_der.data(),
                                            static_cast<uint32_t>(their_der.size())),
                  0);
        const Big r = to_big(ECDSA_SIG_get0_r(theirs.get()));
        const Big s = to_big(ECDSA_SIG_get0_s(theirs.get()));
        EXPECT_EQ(Big_UComp(&decoded.r, &r), 0);
        EXPECT_EQ(Big_UComp(&decoded.s, &s), 0);
        EXPECT_EQ(our_der(decoded), their_der);
        EXPECT_EQ(QL_ECDSA_Verify(&curve, &q, &decoded, digest.data(), len), 0) << where;

        // A changed digest byte within n's length fails on both sides.
        digest[0] ^= 1;
        EXPECT_EQ(QL_ECDSA_Verify(&curve, &q, &decoded, digest.data(), len), -5502);
        EXPECT_EQ(ECDSA_do_verify(digest.data(), static_cast<int>(len), parsed.get(), key.get()),
                  0);
      }
    }
  }
}

// The point D = u1 G + u2 Q a signature is built around: random, x in [n, p) (so r = x - n),
// x below p - n (so r + n is a candidate below p too), or the point at infinity.
enum class Around { kRandom, kHighX, kSmallX, kInfinity };

// A point with x = start + 0, 1, 2, ... (the first on the curve), y of parity `odd`.
Point point_from(const EC_GROUP *g, const BIGNUM *start, int odd, BN_CTX *ctx) {
  Point pt(EC_POINT_new(g));
  Bn x(BN_dup(start));
  while (EC_POINT_set_compressed_coordinates(g, pt.get(), x.get(), odd, ctx) != 1) {
    EXPECT_EQ(BN_add_word(x.get(), 1), 1);
  }
  return pt;
}

// Key, digest and signature (r, s) with e/s G + r/s Q = D for D as `around` says: s and e are
// random, r = x(D) mod n (random for infinity), and Q = (D - u1 G) / u2.
struct Built {
  BigPoint q;
  std::vector<uint8_t> digest;
  Bn r, s, x;  // x: D's x (0 for infinity)
};

// False for a draw that gives no signature (s, r or D's multiple 0, or Q at infinity), which
// a small group meets now and then.
bool try_build(Built &b, const EC_GROUP *g, Around around, uint32_t digest_len, BN_CTX *ctx) {
  const BIGNUM *n = EC_GROUP_get0_order(g);
  Bn p = qltest::bn();
  EXPECT_EQ(EC_GROUP_get_curve(g, p.get(), nullptr, nullptr, ctx), 1);
  Point d(EC_POINT_new(g));
  Bn start = qltest::bn();
  switch (around) {
    case Around::kRandom:
      EXPECT_EQ(BN_rand_range(start.get(), n), 1);
      if (BN_is_zero(start.get())) {
        return false;
      }
      EXPECT_EQ(EC_POINT_mul(g, d.get(), start.get(), nullptr, nullptr, ctx), 1);
      break;
    case Around::kHighX: {  // n + a random offset below p - n - 2^16
      Bn gap = qltest::bn();
      EXPECT_EQ(BN_sub(gap.get(), p.get(), n), 1);
      EXPECT_EQ(BN_sub_word(gap.get(), 1u << 16), 1);
      EXPECT_EQ(BN_rand_range(start.get(), gap.get()), 1);
      EXPECT_EQ(BN_add(start.get(), start.get(), n), 1);
      d = point_from(g, start.get(), BN_is_odd(start.get()), ctx);
      break;
    }
    case Around::kSmallX:
      EXPECT_EQ(BN_rand(start.get(), 16, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY), 1);
      d = point_from(g, start.get(), BN_is_odd(start.get()), ctx);
      break;
    case Around::kInfinity:
      EXPECT_EQ(EC_POINT_set_to_infinity(g, d.get()), 1);
      break;
  }
  b.digest.resize(digest_len);
  EXPECT_EQ(RAND_bytes(b.digest.data(), static_cast<int>(digest_len)), 1);
  Bn e(BN_bin2bn(b.digest.data(), static_cast<int>(digest_len), nullptr));
  const int excess = 8 * static_cast<int>(digest_len) - BN_num_bits(n);
  if (excess > 0) {  // the leftmost bits, as ECDSA takes them
    EXPECT_EQ(BN_rshift(e.get(), e.get(), excess), 1);
  }
  b.r = qltest::bn();
  b.s = qltest::bn();
  b.x = qltest::bn();
  EXPECT_EQ(BN_nnmod(e.get(), e.get(), n, ctx), 1);
  EXPECT_EQ(BN_rand_range(b.s.get(), n), 1);
  if (around == Around::kInfinity) {
    EXPECT_EQ(BN_rand_range(b.r.get(), n), 1);
  } else {
    EXPECT_EQ(EC_POINT_get_affine_coordinates(g, d.get(), b.x.get(), nullptr, ctx), 1);
    EXPECT_EQ(BN_nnmod(b.r.get(), b.x.get(), n, ctx), 1);
  }
  if (BN_is_zero(b.r.get()) || BN_is_zero(b.s.get())) {
    return false;
  }
  // u1 = e/s, u2 = r/s; Q = (1/u2) D - (u1/u2) G
  Bn sinv(BN_mod_inverse(nullptr, b.s.get(), n, ctx));
  Bn u1 = qltest::bn(), u2 = qltest::bn();
  EXPECT_EQ(BN_mod_mul(u1.get(), e.get(), sinv.get(), n, ctx), 1);
  EXPECT_EQ(BN_mod_mul(u2.get(), b.r.get(), sinv.get(), n, ctx), 1);
  Bn u2inv(BN_mod_inverse(nullptr, u2.get(), n, ctx));
  Bn gk = qltest::bn();
  EXPECT_EQ(BN_mod_mul(gk.get(), u1.get(), u2inv.get(), n, ctx), 1);
  EXPECT_EQ(BN_mod_sub(gk.get(), n, gk.get(), n, ctx), 1);
  Point q(EC_POINT_new(g));
  EXPECT_EQ(EC_POINT_mul(g, q.get(), gk.get(), d.get(), u2inv.get(), ctx), 1);
  if (EC_POINT_is_at_infinity(g, q.get()) == 1) {
    return false;
  }
  b.q = to_point(g, q.get());
  return true;
}

Built build_around(const EC_GROUP *g, Around around, uint32_t digest_len, BN_CTX *ctx) {
  Built b{};
  while (!try_build(b, g, around, digest_len, ctx)) {
  }
  return b;
}

// One signature built around `around` on `group` and its mutations: r and s moved by one
// either way, r unreduced (x itself, out of range when x >= n) and a flipped digest bit. Our
// verification gives the same code by the joint multiplication (`curve`) and by the record's
// own operations, and accepts exactly what OpenSSL accepts.
void expect_verify_agrees(const QL_ECDSA_PARAMETERS &curve, const EC_GROUP *g, Around around,
                          uint32_t digest_len, BN_CTX *ctx, const std::string &name) {
  QL_ECDSA_PARAMETERS by_operations = curve;
  by_operations.point_mul = &BigPoint_Mul_SignedMary;
  const BIGNUM *n = EC_GROUP_get0_order(g);
  Built b = build_around(g, around, digest_len, ctx);
  const std::string where =
      name + " around " + std::to_string(static_cast<int>(around)) + " r " + qltest::hex(b.r.get());
  Key key(EC_KEY_new());
  ASSERT_EQ(EC_KEY_set_group(key.get(), g), 1);
  Bn qx = to_bn(b.q.x), qy = to_bn(b.q.y);
  ASSERT_EQ(EC_KEY_set_public_key_affine_coordinates(key.get(), qx.get(), qy.get()), 1) << where;
  for (int mutation = 0; mutation < 7; mutation++) {
    Bn r(BN_dup(b.r.get())), s(BN_dup(b.s.get()));
    std::vector<uint8_t> digest = b.digest;
    switch (mutation) {
      case 1:
        BN_add_word(r.get(), 1);
        break;
      case 2:
        BN_sub_word(r.get(), 1);
        break;
      case 3:
        BN_add_word(s.get(), 1);
        break;
      case 4:
        BN_sub_word(s.get(), 1);
        break;
      case 5:
        if (around != Around::kInfinity) {
          BN_copy(r.get(), b.x.get());
        }
        break;
      case 6:
        digest[digest.size() / 2] ^= 4;
        break;
      default:
        break;
    }
    QL_ECDSA_SIGNATURE sig{};
    sig.r = to_big(r.get());
    sig.s = to_big(s.get());
    const uint32_t len = static_cast<uint32_t>(digest.size());
    const int32_t fast = QL_ECDSA_Verify(&curve, &b.q, &sig, digest.data(), len);
    EXPECT_EQ(fast, QL_ECDSA_Verify(&by_operations, &b.q, &sig, digest.data(), len))
        << where << " mutation " << mutation;
    Sig theirs(ECDSA_SIG_new());
    ECDSA_SIG_set0(theirs.get(), BN_dup(r.get()), BN_dup(s.get()));
    const bool accepted =
        ECDSA_do_verify(digest.data(), static_cast<int>(len), theirs.get(), key.get()) == 1;
    EXPECT_EQ(fast == 0, accepted) << where << " mutation " << mutation;
    if (mutation == 0) {
      EXPECT_EQ(fast, around == Around::kInfinity ? -5532 : 0) << where;
    }
    if (mutation == 5 && around == Around::kHighX) {
      EXPECT_GE(BN_cmp(r.get(), n), 0) << where;
    }
  }
}

TEST(EcdsaDiff, VerifyAgreesAroundChosenPoints) {
  BN_CTX *ctx = BN_CTX_new();
  for (const Curve &c : kCurves) {
    QL_ECDSA_PARAMETERS curve{};
    ASSERT_EQ(QL_ECDSA_InitParameters(&curve, c.bits), 0);
    const EC_GROUP *g = EC_GROUP_new_by_curve_name(c.nid);
    for (Around around : {Around::kRandom, Around::kHighX, Around::kSmallX, Around::kInfinity}) {
      for (int round = 0; round < 6; round++) {
        expect_verify_agrees(curve, g, around, c.bits / 8, ctx, c.name);
      }
    }
    EC_GROUP_free(const_cast<EC_GROUP *>(g));
  }
  BN_CTX_free(ctx);
}

uint64_t pow_mod(uint64_t b, uint64_t e, uint64_t m) {
  uint64_t r = 1;
  for (b %= m; e != 0; e >>= 1, b = b * b % m) {
    if ((e & 1) != 0) {
      r = r * b % m;
    }
  }
  return r;
}

bool is_prime(uint64_t n) {
  for (uint64_t d = 2; d * d <= n; d++) {
    if (n % d == 0) {
      return false;
    }
  }
  return n > 1;
}

// A curve whose group has a cofactor, so that p > 2n and x mod n takes a division: the first
// y^2 = x^3 + a x + b over p = 10007 (b small, a = 1, 2, ...) with h n points, h from 2 to 8 and
// n a prime above 1000, counted point by point; G = h P for the first P that gives a point.
TEST(EcdsaDiff, VerifyAgreesOnACofactorCurve) {
  const uint64_t p = 10007;
  uint64_t a = 0, b = 0, n = 0, h = 0;
  for (uint64_t ca = 1; n == 0 && ca < 100; ca++) {
    for (uint64_t cb = 1; n == 0 && cb < 20; cb++) {
      if ((4 * pow_mod(ca, 3, p) + 27 * cb * cb) % p == 0) {
        continue;
      }
      uint64_t count = 1;
      for (uint64_t x = 0; x < p; x++) {
        const uint64_t rhs = (pow_mod(x, 3, p) + ca * x + cb) % p;
        count += rhs == 0 ? 1 : (pow_mod(rhs, (p - 1) / 2, p) == 1 ? 2 : 0);
      }
      for (uint64_t ch = 2; n == 0 && ch <= 8; ch++) {
        if (count % ch == 0 && count / ch > 1000 && is_prime(count / ch)) {
          a = ca, b = cb, n = count / ch, h = ch;
        }
      }
    }
  }
  ASSERT_NE(n, 0u);
  BN_CTX *ctx = BN_CTX_new();
  Bn pb = qltest::bn(), ab = qltest::bn(), bb = qltest::bn(), nb = qltest::bn(), hb = qltest::bn();
  BN_set_word(pb.get(), p);
  BN_set_word(ab.get(), a);
  BN_set_word(bb.get(), b);
  BN_set_word(nb.get(), n);
  BN_set_word(hb.get(), h);
  EC_GROUP *g = EC_GROUP_new_curve_GFp(pb.get(), ab.get(), bb.get(), ctx);
  ASSERT_NE(g, nullptr);
  Point gen(EC_POINT_new(g));
  Bn start = qltest::bn();
  for (BN_set_word(start.get(), 1); EC_POINT_is_at_infinity(g, gen.get()) == 1;) {
    Point pt = point_from(g, start.get(), 0, ctx);
    ASSERT_EQ(EC_POINT_mul(g, gen.get(), nullptr, pt.get(), hb.get(), ctx), 1);
    ASSERT_EQ(BN_add_word(start.get(), 1), 1);
  }
  ASSERT_EQ(EC_GROUP_set_generator(g, gen.get(), nb.get(), hb.get()), 1);

  QL_ECDSA_PARAMETERS curve{};
  curve.lead = 2;
  curve.a = to_big(ab.get());
  curve.b = to_big(bb.get());
  curve.p = to_big(pb.get());
  curve.bits = 14;
  curve.n = to_big(nb.get());
  curve.h = static_cast<uint16_t>(h);
  curve.reduce = Big_Mod;
  curve.multiply = Big_MulModf;
  curve.square = Big_SqrModf;
  curve.invert = Big_Inv;
  curve.point_add = BigPoint_Add_Affine;
  curve.point_mul = BigPoint_Mul_NAFSlidingWindow;
  curve.find_y = Big_FindY1;
  curve.G = to_point(g, gen.get());
  for (Around around : {Around::kRandom, Around::kInfinity}) {
    for (int round = 0; round < 40; round++) {
      expect_verify_agrees(curve, g, around, 4, ctx, "p 10007");
    }
  }
  EC_GROUP_free(g);
  BN_CTX_free(ctx);
}

TEST(EcdsaDiff, PublicKeyValidationAgrees) {
  for (const Curve &c : kCurves) {
    QL_ECDSA_PARAMETERS curve{};
    ASSERT_EQ(QL_ECDSA_InitParameters(&curve, c.bits), 0);
    const EC_GROUP *group = EC_GROUP_new_by_curve_name(c.nid);
    ASSERT_NE(group, nullptr);
    std::vector<BigPoint> points;
    for (int i = 0; i < 8; i++) {
      Key key(EC_KEY_new_by_curve_name(c.nid));
      ASSERT_EQ(EC_KEY_generate_key(key.get()), 1);
      const BigPoint q = to_point(group, EC_KEY_get0_public_key(key.get()));
      points.push_back(q);
      BigPoint b = q;  // off the curve
      ASSERT_EQ(Big_AddByWord(&b.y, &q.y, 1), 0);
      points.push_back(b);
      b = q;  // the negation, on the curve
      ASSERT_EQ(Big_Sub(&b.y, &curve.p, &q.y), 0);
      points.push_back(b);
      b = q;  // same point, x not reduced
      ASSERT_EQ(Big_Add(&b.x, &q.x, &curve.p), 0);
      points.push_back(b);
      b = q;  // y = 0
      b.y = Big{};
      points.push_back(b);
    }
    points.push_back(curve.G);
    for (const BigPoint &q : points) {
      Key key = to_key(c.nid, nullptr, q);
      const bool openssl_ok = key && EC_KEY_check_key(key.get()) == 1;
      EXPECT_EQ(QL_ECDSA_VerifyPublicKey(&q, &curve) == 0, openssl_ok) << c.name;
    }
    EC_GROUP_free(const_cast<EC_GROUP *>(group));
  }
}

TEST(EcdsaDiff, CurveIdentifiersAreOpenSslOids) {
  for (const Curve &c : kCurves) {
    unsigned char *p = nullptr;
    const int len = i2d_ASN1_OBJECT(OBJ_nid2obj(c.nid), &p);
    ASSERT_GT(len, 0);
    const std::vector<uint8_t> oid(p, p + len);
    OPENSSL_free(p);
    QL_ECDSA_PARAMETERS curve{};
    ASSERT_EQ(QL_ECDSA_Parameters_Decode(&curve, oid.data(), static_cast<uint32_t>(oid.size())), 0);
    EXPECT_EQ(curve.bits, c.bits);
    EC_GROUP *group = EC_GROUP_new_by_curve_name(c.nid);
    const Big n = to_big(EC_GROUP_get0_order(group));
    EXPECT_EQ(Big_UComp(&curve.n, &n), 0) << c.name;
    EC_GROUP_free(group);
    std::vector<uint8_t> out(32);
    uint32_t out_len = 0;
    ASSERT_EQ(QL_ECDSA_Parameters_Encode(out.data(), &out_len, &curve), 0);
    out.resize(out_len);
    EXPECT_EQ(out, oid) << c.name;
  }
}

}  // namespace
