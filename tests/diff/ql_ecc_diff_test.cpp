// Curves P-224 and P-256 against OpenSSL, through the exported functions: the curve constants,
// the field multiply and square (fast and generic) on random and edge operands, point addition,
// doubling and both scalar multiplications, the three point encodings, and square roots.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/obj_mac.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_openssl_bn.h"

namespace {

using qltest::Bn;
using qltest::bn;
using qltest::from_bn;
using qltest::hex;
using qltest::Holds;
using qltest::to_bn;

struct CtxDel {
  void operator()(BN_CTX *c) const { BN_CTX_free(c); }
};
struct GroupDel {
  void operator()(EC_GROUP *g) const { EC_GROUP_free(g); }
};
struct PointDel {
  void operator()(EC_POINT *p) const { EC_POINT_free(p); }
};
using Group = std::unique_ptr<EC_GROUP, GroupDel>;
using Pt = std::unique_ptr<EC_POINT, PointDel>;

BN_CTX *ctx() {
  static std::unique_ptr<BN_CTX, CtxDel> c(BN_CTX_new());
  return c.get();
}

std::mt19937_64 &rng() {
  static std::mt19937_64 r(20261209);
  return r;
}

struct Curve {
  int bits;
  int nid;
};
const Curve kCurves[] = {{224, NID_secp224r1}, {256, NID_X9_62_prime256v1}};

Group group(int nid) { return Group(EC_GROUP_new_by_curve_name(nid)); }

Bn random_bits(int bits) {
  Bn r = bn();
  BN_zero(r.get());
  std::vector<uint8_t> bytes(static_cast<size_t>((bits + 7) / 8));
  for (uint8_t &b : bytes) {
    b = static_cast<uint8_t>(rng()());
  }
  BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), r.get());
  BN_mask_bits(r.get(), bits);
  return r;
}

Bn below(const BIGNUM *n) {
  Bn r = random_bits(BN_num_bits(n) + 8);
  BN_nnmod(r.get(), r.get(), n, ctx());
  return r;
}

Bn word(uint64_t v) {
  Bn r = bn();
  BN_set_word(r.get(), v);
  return r;
}

Bn plus(const BIGNUM *a, int64_t d) {
  Bn r(BN_dup(a));
  if (d >= 0) {
    BN_add_word(r.get(), static_cast<BN_ULONG>(d));
  } else {
    BN_sub_word(r.get(), static_cast<BN_ULONG>(-d));
  }
  return r;
}

TEST(EccDiff, CurveConstantsMatchOpenSsl) {
  for (const Curve &cv : kCurves) {
    QL_ECDSA_PARAMETERS c;
    ASSERT_EQ(0, QL_ECDSA_InitParameters(&c, static_cast<uint32_t>(cv.bits)));
    Group g = group(cv.nid);
    Bn p = bn(), a = bn(), b = bn(), gx = bn(), gy = bn();
    ASSERT_EQ(1, EC_GROUP_get_curve(g.get(), p.get(), a.get(), b.get(), ctx()));
    ASSERT_EQ(1, EC_POINT_get_affine_coordinates(g.get(), EC_GROUP_get0_generator(g.get()),
                                                 gx.get(), gy.get(), ctx()));
    EXPECT_TRUE(Holds(c.p, p.get())) << cv.bits;
    EXPECT_TRUE(Holds(c.a, a.get())) << cv.bits;
    EXPECT_TRUE(Holds(c.b, b.get())) << cv.bits;
    EXPECT_TRUE(Holds(c.G.x, gx.get())) << cv.bits;
    EXPECT_TRUE(Holds(c.G.y, gy.get())) << cv.bits;
    EXPECT_TRUE(Holds(c.n, EC_GROUP_get0_order(g.get()))) << cv.bits;
    EXPECT_TRUE(BN_is_word(EC_GROUP_get0_cofactor(g.get()), c.h));
    EXPECT_EQ(c.p.length, cv.bits / 32);
    EXPECT_EQ(c.bits, static_cast<uint32_t>(cv.bits));
    EXPECT_EQ(c.G.flags, 0u);
    EXPECT_EQ(c.lead, 2u);
  }
}

// Operands for the field tests: edge values first, then random ones below p and, for the fast
// pair, unreduced ones up to the operand width.
std::vector<Bn> field_operands(const BIGNUM *p, int bits) {
  std::vector<Bn> v;
  v.push_back(word(0));
  v.push_back(word(1));
  v.push_back(word(2));
  v.push_back(plus(p, -1));
  v.push_back(plus(p, -2));
  v.push_back(Bn(BN_dup(p)));  // unreduced: p folds to 0
  v.push_back(plus(p, 1));
  for (int i = 0; i < bits; i += 31) {
    Bn t = bn();
    BN_zero(t.get());
    BN_set_bit(t.get(), i);
    v.push_back(std::move(t));
  }
  Bn all = bn();
  BN_zero(all.get());
  BN_set_bit(all.get(), bits);
  BN_sub_word(all.get(), 1);
  v.push_back(std::move(all));  // 2^bits - 1, above p
  for (int i = 0; i < 200; i++) {
    v.push_back(below(p));
  }
  return v;
}

TEST(EccDiff, FieldMultiplyAndSquareMatchOpenSsl) {
  for (const Curve &cv : kCurves) {
    QL_ECDSA_PARAMETERS c;
    ASSERT_EQ(0, QL_ECDSA_InitParameters(&c, static_cast<uint32_t>(cv.bits)));
    const Bn p = to_bn(c.p);
    const std::vector<Bn> ops = field_operands(p.get(), cv.bits);
    for (size_t i = 0; i < ops.size(); i++) {
      const size_t j = (i * 7 + 3) % ops.size();
      const Big a = from_bn(ops[i].get());
      const Big b = from_bn(ops[j].get());
      Bn want = bn(), want_sq = bn();
      BN_mod_mul(want.get(), ops[i].get(), ops[j].get(), p.get(), ctx());
      BN_mod_sqr(want_sq.get(), ops[i].get(), p.get(), ctx());
      Big r;
      ASSERT_EQ(0, c.multiply(&c, &r, &a, &b));
      EXPECT_TRUE(Holds(r, want.get()))
          << cv.bits << " fast mul " << hex(ops[i].get()) << " " << hex(ops[j].get());
      ASSERT_EQ(0, c.square(&c, &r, &a));
      EXPECT_TRUE(Holds(r, want_sq.get())) << cv.bits << " fast sqr " << hex(ops[i].get());
      ASSERT_EQ(0, Big_MulModf(&c, &r, &a, &b));
      EXPECT_TRUE(Holds(r, want.get())) << cv.bits << " generic mul";
      ASSERT_EQ(0, Big_SqrModf(&c, &r, &a));
      EXPECT_TRUE(Holds(r, want_sq.get())) << cv.bits << " generic sqr";
      // the result may alias an operand
      Big x = a;
      ASSERT_EQ(0, c.multiply(&c, &x, &x, &b));
      EXPECT_TRUE(Holds(x, want.get())) << cv.bits << " aliased mul";
      x = a;
      ASSERT_EQ(0, c.square(&c, &x, &x));
      EXPECT_TRUE(Holds(x, want_sq.get())) << cv.bits << " aliased sqr";
      Bn red = bn();
      BN_nnmod(red.get(), ops[i].get(), p.get(), ctx());
      ASSERT_EQ(0, c.reduce(&r, &a, &c.p));
      EXPECT_TRUE(Holds(r, red.get())) << cv.bits << " reduce";
    }
  }
}

Pt point(const EC_GROUP *g) { return Pt(EC_POINT_new(g)); }

BigPoint to_ours(const EC_GROUP *g, const EC_POINT *p) {
  BigPoint r{};
  if (EC_POINT_is_at_infinity(g, p) == 1) {
    r.flags = QL_BIGPOINT_INFINITY;
    return r;
  }
  Bn x = bn(), y = bn();
  EC_POINT_get_affine_coordinates(g, p, x.get(), y.get(), ctx());
  r.x = from_bn(x.get());
  r.y = from_bn(y.get());
  return r;
}

::testing::AssertionResult Same(const EC_GROUP *g, const BigPoint &got, const EC_POINT *want) {
  if (EC_POINT_is_at_infinity(g, want) == 1) {
    if ((got.flags & QL_BIGPOINT_INFINITY) != 0) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "want the point at infinity";
  }
  if (got.flags != 0) {
    return ::testing::AssertionFailure() << "got flags " << got.flags;
  }
  Bn x = bn(), y = bn();
  EC_POINT_get_affine_coordinates(g, want, x.get(), y.get(), ctx());
  ::testing::AssertionResult rx = Holds(got.x, x.get());
  if (!rx) {
    return rx << " (x)";
  }
  ::testing::AssertionResult ry = Holds(got.y, y.get());
  if (!ry) {
    return ry << " (y)";
  }
  return ::testing::AssertionSuccess();
}

// Scalars for the multiplications: small ones, the order and its neighbours, long runs of ones
// and zeros, powers of two, then random ones of every length up to the order's.
std::vector<Bn> scalars(const BIGNUM *n) {
  std::vector<Bn> v;
  for (uint64_t w : {0, 1, 2, 3, 15, 16, 17, 31, 32, 33}) {
    v.push_back(word(w));
  }
  for (int64_t d : {-2, -1, 0, 1, 2}) {
    v.push_back(plus(n, d));
  }
  const int bits = BN_num_bits(n);
  for (int len : {5, 6, 31, 32, 33, 64, 100, bits - 1, bits}) {
    Bn ones = bn();
    BN_zero(ones.get());
    BN_set_bit(ones.get(), len);
    BN_sub_word(ones.get(), 1);
    v.push_back(std::move(ones));  // 2^len - 1: one run of ones
    Bn pow = bn();
    BN_zero(pow.get());
    BN_set_bit(pow.get(), len - 1);
    v.push_back(std::move(pow));  // a one, then a run of zeros
    Bn mixed = bn();
    BN_zero(mixed.get());
    for (int i = 0; i < len; i++) {
      if ((i / 9) % 2 == 0) {
        BN_set_bit(mixed.get(), i);
      }
    }
    v.push_back(std::move(mixed));  // alternating runs of nine
  }
  for (int i = 0; i < 40; i++) {
    v.push_back(random_bits(1 + static_cast<int>(rng()() % bits)));
  }
  for (int i = 0; i < 40; i++) {
    v.push_back(below(n));
  }
  return v;
}

TEST(EccDiff, ScalarMultiplicationsMatchOpenSsl) {
  for (const Curve &cv : kCurves) {
    QL_ECDSA_PARAMETERS c;
    ASSERT_EQ(0, QL_ECDSA_InitParameters(&c, static_cast<uint32_t>(cv.bits)));
    Group g = group(cv.nid);
    const BIGNUM *n = EC_GROUP_get0_order(g.get());
    // bases: G, a random multiple of G, and the point at infinity
    Pt q = point(g.get());
    Bn d = below(n);
    ASSERT_EQ(1, EC_POINT_mul(g.get(), q.get(), d.get(), nullptr, nullptr, ctx()));
    Pt inf = point(g.get());
    EC_POINT_set_to_infinity(g.get(), inf.get());
    const EC_POINT *bases[] = {EC_GROUP_get0_generator(g.get()), q.get(), inf.get()};
    for (const EC_POINT *base : bases) {
      const BigPoint P = to_ours(g.get(), base);
      for (const Bn &k : scalars(n)) {
        Pt want = point(g.get());
        ASSERT_EQ(1, EC_POINT_mul(g.get(), want.get(), nullptr, base, k.get(), ctx()));
        const Big kb = from_bn(k.get());
        BigPoint r;
        ASSERT_EQ(0, c.point_mul(&c, &r, &kb, &P));
        EXPECT_TRUE(Same(g.get(), r, want.get())) << cv.bits << " NAF k=" << hex(k.get());
        BigPoint r2 = P;  // the result may be the input point
        ASSERT_EQ(0, BigPoint_Mul_SignedMary(&c, &r2, &kb, &r2));
        EXPECT_TRUE(Same(g.get(), r2, want.get())) << cv.bits << " signed k=" << hex(k.get());
      }
    }
  }
}

TEST(EccDiff, AdditionAndDoublingMatchOpenSsl) {
  for (const Curve &cv : kCurves) {
    QL_ECDSA_PARAMETERS c;
    ASSERT_EQ(0, QL_ECDSA_InitParameters(&c, static_cast<uint32_t>(cv.bits)));
    Group g = group(cv.nid);
    const BIGNUM *n = EC_GROUP_get0_order(g.get());
    for (int i = 0; i < 60; i++) {
      Pt a = point(g.get()), b = point(g.get());
      Bn ka = below(n), kb = below(n);
      EC_POINT_mul(g.get(), a.get(), ka.get(), nullptr, nullptr, ctx());
      switch (i % 6) {
        case 0:  // the same point: doubling
          EC_POINT_copy(b.get(), a.get());
          break;
        case 1:  // its negation
          EC_POINT_copy(b.get(), a.get());
          EC_POINT_invert(g.get(), b.get(), ctx());
          break;
        case 2:
          EC_POINT_set_to_infinity(g.get(), b.get());
          break;
        default:
          EC_POINT_mul(g.get(), b.get(), kb.get(), nullptr, nullptr, ctx());
      }
      Pt want = point(g.get());
      EC_POINT_add(g.get(), want.get(), a.get(), b.get(), ctx());
      const BigPoint A = to_ours(g.get(), a.get()), B = to_ours(g.get(), b.get());
      BigPoint r;
      ASSERT_EQ(0, c.point_add(&c, &r, &A, &B));
      EXPECT_TRUE(Same(g.get(), r, want.get())) << cv.bits << " case " << i;
      ASSERT_EQ(0, c.point_add(&c, &r, &B, &A));
      EXPECT_TRUE(Same(g.get(), r, want.get())) << cv.bits << " swapped, case " << i;
      BigPoint x = A;  // in place: R = P, then R = P + P
      ASSERT_EQ(0, c.point_add(&c, &x, &x, &x));
      EC_POINT_dbl(g.get(), want.get(), a.get(), ctx());
      EXPECT_TRUE(Same(g.get(), x, want.get())) << cv.bits << " doubled, case " << i;
    }
  }
}

TEST(EccDiff, PointEncodingsMatchOpenSsl) {
  const struct {
    int form;
    point_conversion_form_t ossl;
  } forms[] = {{QL_POINT_COMPRESSED, POINT_CONVERSION_COMPRESSED},
               {QL_POINT_UNCOMPRESSED, POINT_CONVERSION_UNCOMPRESSED},
               {QL_POINT_HYBRID, POINT_CONVERSION_HYBRID}};
  for (const Curve &cv : kCurves) {
    QL_ECDSA_PARAMETERS c;
    ASSERT_EQ(0, QL_ECDSA_InitParameters(&c, static_cast<uint32_t>(cv.bits)));
    Group g = group(cv.nid);
    const BIGNUM *n = EC_GROUP_get0_order(g.get());
    for (int i = 0; i < 40; i++) {
      Pt a = point(g.get());
      Bn k = i == 0 ? word(0) : i == 1 ? word(1) : below(n);
      EC_POINT_mul(g.get(), a.get(), k.get(), nullptr, nullptr, ctx());
      const BigPoint A = to_ours(g.get(), a.get());
      for (const auto &f : forms) {
        uint8_t want[80], got[80];
        const size_t want_len =
            EC_POINT_point2oct(g.get(), a.get(), f.ossl, want, sizeof(want), ctx());
        uint32_t got_len = 0;
        ASSERT_EQ(0, Big_Point2Oct(&c, got, &got_len, sizeof(got), &A, f.form));
        ASSERT_EQ(want_len, got_len) << cv.bits << " form " << f.form;
        EXPECT_EQ(0, std::memcmp(want, got, want_len)) << cv.bits << " form " << f.form;
        BigPoint back{};
        ASSERT_EQ(0, Big_Oct2Point(&c, &back, want, static_cast<uint32_t>(want_len)));
        EXPECT_TRUE(Same(g.get(), back, a.get())) << cv.bits << " form " << f.form;
      }
    }
  }
}

TEST(EccDiff, SquareRootsMatchOpenSsl) {
  for (const Curve &cv : kCurves) {
    QL_ECDSA_PARAMETERS c;
    ASSERT_EQ(0, QL_ECDSA_InitParameters(&c, static_cast<uint32_t>(cv.bits)));
    Group g = group(cv.nid);
    const Bn p = to_bn(c.p);
    int residues = 0;
    for (int i = 0; i < 60; i++) {
      Bn x = i == 0 ? word(0) : below(p.get());
      Pt a = point(g.get());
      const int on = EC_POINT_set_compressed_coordinates(g.get(), a.get(), x.get(), 0, ctx());
      ERR_clear_error();
      const Big xb = from_bn(x.get());
      Big y;
      const int32_t s = c.find_y(&c, &y, &xb);
      if (on != 1) {
        EXPECT_EQ(cv.bits == 256 ? -5512 : -5514, s) << cv.bits << " x=" << hex(x.get());
        EXPECT_EQ(-5515, Big_DecompressY(&c, &y, &xb, 0));
        continue;
      }
      residues++;
      ASSERT_EQ(0, s) << cv.bits << " x=" << hex(x.get());
      for (uint32_t bit = 0; bit < 2; bit++) {
        EC_POINT_set_compressed_coordinates(g.get(), a.get(), x.get(), static_cast<int>(bit),
                                            ctx());
        Bn wy = bn();
        EC_POINT_get_affine_coordinates(g.get(), a.get(), nullptr, wy.get(), ctx());
        ASSERT_EQ(0, Big_DecompressY(&c, &y, &xb, bit));
        EXPECT_TRUE(Holds(y, wy.get())) << cv.bits << " bit " << bit;
      }
    }
    EXPECT_GT(residues, 10);
    EXPECT_LT(residues, 50);
  }
}

}  // namespace
