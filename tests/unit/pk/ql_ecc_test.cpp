// Curves and points without OpenSSL: OpenSSL-computed multiples and encodings
// (tests/vectors/ecc_points.txt) through every multiplication path, the edge cases of the
// group law and the encodings, malformed input, incomplete curve records, allocation failures,
// and a small curve with points of order 2 and x = 0.
#include "pk/ql_ecc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "ql_vectors.h"

namespace {

Big from_bytes(const std::vector<uint8_t> &b) {
  Big r{};
  EXPECT_EQ(0, U8ToBig(&r, b.data(), static_cast<uint32_t>(b.size())));
  if (r.length == 0) {
    r.length = 1;
  }
  return r;
}

Big small(uint32_t v) {
  Big r{};
  r.length = 1;
  r.words[0] = v;
  return r;
}

Big add_word(const Big &a, int32_t d) {
  Big r{};
  if (d >= 0) {
    EXPECT_EQ(0, Big_AddByWord(&r, &a, static_cast<uint32_t>(d)));
  } else {
    EXPECT_EQ(0, Big_SubByWord(&r, &a, static_cast<uint32_t>(-d)));
  }
  return r;
}

QL_ECDSA_PARAMETERS curve(uint32_t bits) {
  QL_ECDSA_PARAMETERS c;
  EXPECT_EQ(0, QL_ECDSA_InitParameters(&c, bits));
  return c;
}

BigPoint infinity() {
  BigPoint r{};
  r.flags = QL_BIGPOINT_INFINITY;
  return r;
}

BigPoint negate(const QL_ECDSA_PARAMETERS &c, const BigPoint &p) {
  BigPoint r = p;
  EXPECT_EQ(0, Big_Sub(&r.y, &c.p, &p.y));
  return r;
}

::testing::AssertionResult Equal(const BigPoint &got, const BigPoint &want) {
  if (QL_ECDSA_BIGPOINT_Comp(&got, &want) == 0 && got.flags == want.flags) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "points differ (flags " << got.flags << " vs " << want.flags << ")";
}

// Every way the library multiplies a point: both exported methods on the field engine and
// through the record's affine addition, and the internal constant-time and joint ones.
void expect_all_multiplications(const QL_ECDSA_PARAMETERS &c, const Big &k, const BigPoint &p,
                                const BigPoint &want, const std::string &where,
                                bool with_affine = true) {
  for (bool affine : {false, true}) {
    if (affine && !with_affine) {
      continue;
    }
    ql::test::ecc_force_affine(affine);
    BigPoint r;
    ASSERT_EQ(0, BigPoint_Mul_NAFSlidingWindow(&c, &r, &k, &p)) << where;
    EXPECT_TRUE(Equal(r, want)) << where << " NAF, affine " << affine;
    ASSERT_EQ(0, BigPoint_Mul_SignedMary(&c, &r, &k, &p)) << where;
    EXPECT_TRUE(Equal(r, want)) << where << " signed windows, affine " << affine;
  }
  ql::test::ecc_force_affine(false);
  BigPoint r = p;  // in place
  ASSERT_EQ(0, ql::ecc_mul_secret(c, r, k, r)) << where;
  EXPECT_TRUE(Equal(r, want)) << where << " constant time";
  const Big zero = small(0);
  ASSERT_EQ(0, ql::ecc_mul_joint(c, r, zero, k, p)) << where;
  EXPECT_TRUE(Equal(r, want)) << where << " joint, u1 = 0";
  if (QL_ECDSA_BIGPOINT_Comp(&p, &c.G) == 0) {
    ASSERT_EQ(0, ql::ecc_mul_base_secret(c, r, k)) << where;
    EXPECT_TRUE(Equal(r, want)) << where << " base tables";
    ASSERT_EQ(0, ql::ecc_mul_joint(c, r, k, zero, p)) << where;
    EXPECT_TRUE(Equal(r, want)) << where << " joint, u2 = 0";
  }
}

TEST(Ecc, MultiplesAndEncodingsMatchVectors) {
  int index = 0;
  for (const qltest::VectorCase &v : qltest::load_vectors("ecc_points.txt")) {
    const QL_ECDSA_PARAMETERS c = curve(static_cast<uint32_t>(std::stoi(v.str("curve"))));
    const Big d = from_bytes(v.hex("d")), k = from_bytes(v.hex("k"));
    BigPoint base;
    ASSERT_EQ(0, c.point_mul(&c, &base, &d, &c.G)) << v.where();
    BigPoint want{};
    want.x = from_bytes(v.hex("x"));
    want.y = from_bytes(v.hex("y"));
    // the slow affine path on every fourth case
    expect_all_multiplications(c, k, base, want, v.where(), index++ % 4 == 0);
    // u1 G + u2 Q with Q = d G equals (u1 + u2 d) G
    BigPoint joint;
    ASSERT_EQ(0, ql::ecc_mul_joint(c, joint, k, k, base));
    BigPoint sum;
    BigPoint kg;
    ASSERT_EQ(0, c.point_mul(&c, &kg, &k, &c.G));
    ASSERT_EQ(0, c.point_add(&c, &sum, &kg, &want));
    EXPECT_TRUE(Equal(joint, sum)) << v.where() << " joint";
    const struct {
      int form;
      const char *key;
    } forms[] = {{2, "enc2"}, {4, "enc4"}, {6, "enc6"}};
    for (const auto &f : forms) {
      const std::vector<uint8_t> enc = v.hex(f.key);
      uint8_t out[80];
      uint32_t len = 0;
      ASSERT_EQ(0, Big_Point2Oct(&c, nullptr, &len, 1, &want, f.form));
      EXPECT_EQ(enc.size(), len) << v.where() << " length query";
      ASSERT_EQ(0, Big_Point2Oct(&c, out, &len, sizeof(out), &want, f.form));
      EXPECT_EQ(qltest::to_hex(enc), qltest::to_hex(out, len)) << v.where() << " " << f.key;
      EXPECT_EQ(ql::kErrPoint2OctCapacity,
                Big_Point2Oct(&c, out, &len, static_cast<int32_t>(enc.size() - 1), &want, f.form));
      // decoding reads exactly the input: an exact-size heap copy lets ASan see any overread
      std::unique_ptr<uint8_t[]> in(new uint8_t[enc.size()]);
      std::memcpy(in.get(), enc.data(), enc.size());
      BigPoint back{};
      ASSERT_EQ(0, Big_Oct2Point(&c, &back, in.get(), static_cast<uint32_t>(enc.size())))
          << v.where() << " " << f.key;
      EXPECT_TRUE(Equal(back, want)) << v.where() << " " << f.key;
      for (uint32_t cut = 1; cut < enc.size(); cut++) {
        EXPECT_EQ(ql::kErrOct2PointBad,
                  Big_Oct2Point(&c, &back, in.get(), static_cast<uint32_t>(enc.size()) - cut))
            << v.where() << " truncated by " << cut;
      }
    }
    v.expect_all_consumed();
  }
}

// The group law's edges, on both curves and every multiplication path.
TEST(Ecc, GroupEdgeCases) {
  for (uint32_t bits : {224u, 256u}) {
    const QL_ECDSA_PARAMETERS c = curve(bits);
    const BigPoint G = c.G, inf = infinity(), minus_g = negate(c, G);
    BigPoint two_g;
    ASSERT_EQ(0, c.point_add(&c, &two_g, &G, &G));
    const BigPoint minus_2g = negate(c, two_g);
    const std::string at = "P-" + std::to_string(bits);
    const struct {
      Big k;
      const BigPoint *p;
      const BigPoint *want;
    } cases[] = {
        {small(0), &G, &inf},
        {small(0), &two_g, &inf},
        {small(5), &inf, &inf},
        {small(1), &G, &G},
        {small(2), &G, &two_g},
        {c.n, &G, &inf},
        {c.n, &two_g, &inf},
        {add_word(c.n, -1), &G, &minus_g},
        {add_word(c.n, 1), &G, &G},
        {add_word(c.n, -1), &two_g, &minus_2g},
        {add_word(c.n, 2), &G, &two_g},
        {add_word(c.n, -2), &minus_g, &two_g},
    };
    int i = 0;
    for (const auto &t : cases) {
      expect_all_multiplications(c, t.k, *t.p, *t.want, at + " case " + std::to_string(i++));
    }
    const struct {
      const BigPoint *p;
      const BigPoint *q;
      const BigPoint *want;
    } sums[] = {{&G, &minus_g, &inf}, {&G, &inf, &G},         {&inf, &G, &G},
                {&inf, &inf, &inf},   {&two_g, &minus_g, &G}, {&minus_2g, &G, &minus_g}};
    for (const auto &t : sums) {
      BigPoint r;
      ASSERT_EQ(0, BigPoint_Add_Affine(&c, &r, t.p, t.q)) << at;
      EXPECT_TRUE(Equal(r, *t.want)) << at;
    }
    // u1 G + u2 Q meeting at infinity, and Q at infinity
    const Big one = small(1), nm1 = add_word(c.n, -1);
    BigPoint r;
    ASSERT_EQ(0, ql::ecc_mul_joint(c, r, one, one, minus_g));
    EXPECT_TRUE(Equal(r, inf)) << at;
    ASSERT_EQ(0, ql::ecc_mul_joint(c, r, nm1, one, G));
    EXPECT_TRUE(Equal(r, inf)) << at;
    ASSERT_EQ(0, ql::ecc_mul_joint(c, r, one, one, G));
    EXPECT_TRUE(Equal(r, two_g)) << at;
    ASSERT_EQ(0, ql::ecc_mul_joint(c, r, one, nm1, inf));
    EXPECT_TRUE(Equal(r, G)) << at;
    // the square of p - 1 is 1; p (unreduced) times 1 folds onto p and gives 0
    const Big pm1 = add_word(c.p, -1);
    Big sq;
    ASSERT_EQ(0, c.square(&c, &sq, &pm1));
    EXPECT_EQ(0, Big_IsEqual(&sq, &one)) << at;
    ASSERT_EQ(0, c.multiply(&c, &sq, &c.p, &one));
    EXPECT_EQ(1, sq.length);
    EXPECT_EQ(0u, sq.words[0]) << at;
    EXPECT_EQ(0, BigPoint_IsSolution(&c, &G));
    BigPoint off = G;
    off.y.words[0] ^= 1;
    EXPECT_EQ(ql::kErrEccNotOnCurve, BigPoint_IsSolution(&c, &off));
  }
}

TEST(Ecc, ComparisonAndCopy) {
  const QL_ECDSA_PARAMETERS c = curve(256);
  BigPoint flagged = c.G;  // at infinity, holding G's coordinates
  flagged.flags = QL_BIGPOINT_INFINITY;
  const BigPoint inf = infinity();
  EXPECT_EQ(0, QL_ECDSA_BIGPOINT_Comp(&inf, &flagged));
  EXPECT_EQ(ql::kErrPointsDiffer, QL_ECDSA_BIGPOINT_Comp(&c.G, &flagged));
  EXPECT_EQ(ql::kErrPointsDiffer, QL_ECDSA_BIGPOINT_Comp(&flagged, &c.G));
  EXPECT_EQ(ql::kErrPointsDiffer, QL_ECDSA_BIGPOINT_Comp(&c.G, nullptr));
  BigPoint copy{};
  ASSERT_EQ(0, BigPoint_Dump(&copy, &flagged));
  EXPECT_EQ(0, QL_ECDSA_BIGPOINT_Comp(&copy, &flagged));
  EXPECT_EQ(ql::kErrEccArgument, BigPoint_Dump(nullptr, &copy));
}

// Decoding refuses every malformed input with -5509 (or -5508), without reading past it.
TEST(Ecc, MalformedEncodingsAreRefused) {
  for (uint32_t bits : {224u, 256u}) {
    const QL_ECDSA_PARAMETERS c = curve(bits);
    const uint32_t L = bits / 8;
    std::vector<uint8_t> g4(2 * L + 1), p_bytes(L);
    uint32_t len = 0;
    ASSERT_EQ(0, Big_Point2Oct(&c, g4.data(), &len, static_cast<int32_t>(g4.size()), &c.G, 4));
    ASSERT_EQ(0, BigToU82(p_bytes.data(), &c.p, L));
    auto with = [&](uint8_t first, size_t at, const std::vector<uint8_t> &field) {
      std::vector<uint8_t> e = g4;
      e[0] = first;
      std::memcpy(&e[at], field.data(), field.size());
      return e;
    };
    std::vector<uint8_t> y_plus_one = g4;
    y_plus_one.back() ^= 1;
    std::vector<uint8_t> x_only(g4.begin(), g4.begin() + 1 + L);
    const bool y_odd = (c.G.y.words[0] & 1u) != 0;
    std::vector<uint8_t> over = g4;
    over.push_back(0);
    const std::vector<std::vector<uint8_t>> bad = {
        {0x00, 0x00},  // infinity followed by a byte
        {0x01},
        {0x05},
        {0x08},
        {0xff},                            // first bytes of no form
        {0x04},                            // no coordinates
        over,                              // one byte too many
        with(0x04, 1, p_bytes),            // x = p
        with(0x04, 1 + L, p_bytes),        // y = p
        y_plus_one,                        // off the curve
        with(y_odd ? 0x06 : 0x07, 1, {}),  // hybrid with the wrong parity
        with(0x05, 1, {}),                 // uncompressed with a parity bit
        [&] {
          auto e = x_only;
          e[0] = 2;
          e.push_back(0);
          return e;
        }(),  // compressed, long
        [&] {
          auto e = x_only;
          e[0] = 2;
          std::memcpy(&e[1], p_bytes.data(), L);
          return e;
        }(),
    };
    for (size_t i = 0; i < bad.size(); i++) {
      std::unique_ptr<uint8_t[]> in(new uint8_t[bad[i].size()]);
      std::memcpy(in.get(), bad[i].data(), bad[i].size());
      BigPoint p{};
      EXPECT_EQ(ql::kErrOct2PointBad,
                Big_Oct2Point(&c, &p, in.get(), static_cast<uint32_t>(bad[i].size())))
          << bits << " case " << i;
    }
    BigPoint p{};
    const uint8_t zero = 0;
    ASSERT_EQ(0, Big_Oct2Point(&c, &p, &zero, 1));
    EXPECT_EQ(QL_BIGPOINT_INFINITY, p.flags);
    EXPECT_EQ(ql::kErrOct2PointArg, Big_Oct2Point(&c, &p, &zero, 0));
    EXPECT_EQ(ql::kErrOct2PointArg, Big_Oct2Point(&c, &p, nullptr, 1));
    EXPECT_EQ(ql::kErrOct2PointArg, Big_Oct2Point(&c, nullptr, &zero, 1));
    // encoder: infinity is 00 in every form; bad capacity, form and coordinate length
    uint8_t out[80];
    const BigPoint inf = infinity();
    ASSERT_EQ(0, Big_Point2Oct(&c, out, &len, 1, &inf, 6));
    EXPECT_EQ(1u, len);
    EXPECT_EQ(0, out[0]);
    EXPECT_EQ(ql::kErrPoint2OctArg, Big_Point2Oct(&c, out, &len, 0, &c.G, 4));
    EXPECT_EQ(ql::kErrPoint2OctArg, Big_Point2Oct(&c, out, &len, 80, nullptr, 4));
    EXPECT_EQ(ql::kErrPoint2OctForm, Big_Point2Oct(&c, out, &len, 80, &c.G, 3));
    BigPoint wide = c.G;
    wide.x.words[bits / 32] = 1;
    wide.x.length = static_cast<int32_t>(bits / 32 + 1);
    EXPECT_EQ(ql::kErrPoint2OctCoord, Big_Point2Oct(&c, out, &len, 80, &wide, 2));
  }
}

TEST(Ecc, ParameterSetUpAndIncompleteRecords) {
  QL_ECDSA_PARAMETERS c = curve(224);
  const QL_ECDSA_PARAMETERS before = c;
  EXPECT_EQ(ql::kErrEccInitSize, QL_ECDSA_InitParameters(&c, 192));
  EXPECT_EQ(0, std::memcmp(&before, &c, sizeof(c)));
  EXPECT_EQ(ql::kErrEccArgument, QL_ECDSA_InitParameters(nullptr, 256));
  EXPECT_EQ(0, Big_Init_P256(nullptr));
  // each record fails the parameter check of every function
  std::vector<QL_ECDSA_PARAMETERS> broken(6, curve(256));
  broken[0].a = small(0);
  broken[1].b = small(0);
  broken[2].p.length = 0;
  broken[3].n = small(0);
  broken[4].G.x = small(0);
  broken[4].G.y = small(0);
  broken[5].invert = nullptr;
  const Big x = c.G.x;
  const uint8_t in[1] = {0};
  for (size_t i = 0; i < broken.size(); i++) {
    const QL_ECDSA_PARAMETERS *b = &broken[i];
    Big r;
    BigPoint R;
    uint32_t len = 0;
    uint8_t out[80];
    EXPECT_EQ(ql::kErrMulModfArg, Big_MulModf(b, &r, &x, &x)) << i;
    EXPECT_EQ(ql::kErrSqrModfArg, Big_SqrModf(b, &r, &x)) << i;
    EXPECT_EQ(ql::kErrEccArgument, BigPoint_Add_Affine(b, &R, &c.G, &c.G)) << i;
    EXPECT_EQ(ql::kErrEccArgument, BigPoint_Mul_NAFSlidingWindow(b, &R, &x, &c.G)) << i;
    EXPECT_EQ(ql::kErrEccArgument, BigPoint_Mul_SignedMary(b, &R, &x, &c.G)) << i;
    EXPECT_EQ(ql::kErrEccNotOnCurve, Big_IsSolution(b, &x, &x)) << i;
    EXPECT_EQ(ql::kErrEccArgument, Big_FindY1(b, &r, &x)) << i;
    EXPECT_EQ(ql::kErrEccArgument, Big_FindY3(b, &r, &x)) << i;
    EXPECT_EQ(ql::kErrDecompressY, Big_DecompressY(b, &r, &x, 0)) << i;
    EXPECT_EQ(ql::kErrPoint2OctArg, Big_Point2Oct(b, out, &len, 80, &c.G, 4)) << i;
    EXPECT_EQ(ql::kErrOct2PointArg, Big_Oct2Point(b, &R, in, 1)) << i;
  }
  EXPECT_EQ(ql::kErrMulModfArg, Big_MulModf(&c, nullptr, &x, &x));
  EXPECT_EQ(ql::kErrSqrModfArg, Big_SqrModf(&c, &c.a, nullptr));
}

// Every allocation of a multiplication and of a point record fails in turn: the critical
// code, and nothing half-written reported as success.
TEST(Ecc, AllocationFailures) {
  const QL_ECDSA_PARAMETERS c = curve(256);
  BigPoint p2;
  const Big k = add_word(c.n, -3);
  ASSERT_EQ(0, c.point_add(&c, &p2, &c.G, &c.G));
  BigPoint want;
  ASSERT_EQ(0, BigPoint_Mul_NAFSlidingWindow(&c, &want, &k, &p2));
  for (bool affine : {false, true}) {
    ql::test::ecc_force_affine(affine);
    for (int64_t n = 0;; n++) {
      ql::test::alloc_fail_at(n);
      BigPoint r;
      const int32_t s = BigPoint_Mul_NAFSlidingWindow(&c, &r, &k, &p2);
      const int64_t made = ql::test::alloc_count();
      ql::test::alloc_fail_at(-1);
      if (made <= n) {
        ASSERT_EQ(0, s);
        EXPECT_TRUE(Equal(r, want));
        break;
      }
      EXPECT_EQ(ql::critical(ql::kErrNafTableAlloc), s) << "allocation " << n;
    }
  }
  ql::test::ecc_force_affine(false);
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(nullptr, QL_ECDSA_BIGPOINT_New());
  ql::test::alloc_fail_at(-1);
  BigPoint *p = QL_ECDSA_BIGPOINT_New();
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(0u, p->flags);
  EXPECT_EQ(0, Big_GetFilledBitNum(&p->x));
  QL_ECDSA_BIGPOINT_Delete(p);
  QL_ECDSA_BIGPOINT_Delete(nullptr);
}

// y^2 = x^3 + x + 3 over p = 10007: b is a square, so points with x = 0 exist, and
// x = 2737 is a root of the cubic, a point of order 2.
QL_ECDSA_PARAMETERS small_curve() {
  QL_ECDSA_PARAMETERS c{};
  c.lead = 2;
  c.a = small(1);
  c.b = small(3);
  c.p = small(10007);
  c.bits = 14;
  c.n = small(10092);  // the group order
  c.h = 1;
  c.reduce = Big_Mod;
  c.multiply = Big_MulModf;
  c.square = Big_SqrModf;
  c.invert = Big_Inv;
  c.point_add = BigPoint_Add_Affine;
  c.point_mul = BigPoint_Mul_NAFSlidingWindow;
  c.find_y = Big_FindY1;
  c.G.x = small(0);
  c.G.y = small(1);  // until the root replaces it: (0, 0) fails the parameter check
  EXPECT_EQ(0, Big_DecompressY(&c, &c.G.y, &c.G.x, 0));
  return c;
}

TEST(Ecc, SmallCurveAdditionRootsAndOrderTwo) {
  const QL_ECDSA_PARAMETERS c = small_curve();
  ASSERT_EQ(0, BigPoint_IsSolution(&c, &c.G));
  BigPoint half{};  // (2737, 0)
  half.x = small(2737);
  ASSERT_EQ(0, Big_DecompressY(&c, &half.y, &half.x, 0));
  EXPECT_EQ(0u, half.y.words[0]);
  Big y;
  EXPECT_EQ(ql::kErrDecompressY, Big_DecompressY(&c, &y, &half.x, 1));
  BigPoint r;
  EXPECT_EQ(ql::kErrBigNoInverse, BigPoint_Add_Affine(&c, &r, &half, &half));
  // P + Q with Q's x = 0: a point on the curve, and subtracting Q again gives P
  for (uint32_t x = 1, found = 0; found < 20 && x < 10007; x++) {
    BigPoint p{};
    p.x = small(x);
    if (Big_DecompressY(&c, &p.y, &p.x, x & 1u) != 0) {
      continue;
    }
    found++;
    ASSERT_EQ(0, BigPoint_Add_Affine(&c, &r, &p, &c.G)) << x;
    ASSERT_EQ(0u, r.flags) << x;
    EXPECT_EQ(0, BigPoint_IsSolution(&c, &r)) << x;
    const BigPoint minus_g = negate(c, c.G);
    BigPoint back;
    ASSERT_EQ(0, BigPoint_Add_Affine(&c, &back, &r, &minus_g));
    EXPECT_TRUE(Equal(back, p)) << x;
    // the field engine and the affine path agree on this curve too
    for (uint32_t k = 1; k < 40; k += 3) {
      const Big kb = small(k);
      BigPoint fast, slow;
      ql::test::ecc_force_affine(false);
      ASSERT_EQ(0, BigPoint_Mul_NAFSlidingWindow(&c, &fast, &kb, &p));
      ql::test::ecc_force_affine(true);
      if (BigPoint_Mul_NAFSlidingWindow(&c, &slow, &kb, &p) == 0) {
        EXPECT_TRUE(Equal(fast, slow)) << x << " k " << k;
      }
      ql::test::ecc_force_affine(false);
    }
  }
}

}  // namespace
