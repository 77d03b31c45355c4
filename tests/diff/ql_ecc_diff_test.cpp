// Curves P-224 and P-256 against OpenSSL, through the exported functions: the curve constants,
// the field multiply and square (fast and generic) on random and edge operands, point addition,
// doubling and both scalar multiplications, the three point encodings, and square roots.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/obj_mac.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"

namespace {

struct BnDel {
  void operator()(BIGNUM *b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnDel>;
Bn bn() { return Bn(BN_new()); }
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

Bn to_bn(const Big &a) {
  std::vector<uint8_t> le(4 * QL_BIG_WORDS, 0);
  for (int i = 0; i < a.length; i++) {
    for (int k = 0; k < 4; k++) {
      le[4 * i + k] = static_cast<uint8_t>(a.words[i] >> (8 * k));
    }
  }
  return Bn(BN_lebin2bn(le.data(), static_cast<int>(le.size()), nullptr));
}

Big from_bn(const BIGNUM *b) {
  Big r{};
  std::vector<uint8_t> le(4 * QL_BIG_WORDS, 0);
  BN_bn2lebinpad(b, le.data(), static_cast<int>(le.size()));
  int n = 1;
  for (int i = 0; i < QL_BIG_WORDS; i++) {
    uint32_t w = 0;
    for (int k = 3; k >= 0; k--) {
      w = (w << 8) | le[4 * i + k];
    }
    r.words[i] = w;
    if (w != 0) {
      n = i + 1;
    }
  }
  r.length = n;
  return r;
}

std::string hex(const BIGNUM *b) {
  char *s = BN_bn2hex(b);
  std::string out(s);
  OPENSSL_free(s);
  return out;
}

::testing::AssertionResult Holds(const Big &r, const BIGNUM *want) {
  if (r.length < 1 || (r.length > 1 && r.words[r.length - 1] == 0) || r.sign != 0) {
    return ::testing::AssertionFailure() << "not in normal form, length " << r.length;
  }
  Bn got = to_bn(r);
  if (BN_cmp(got.get(), want) != 0) {
    return ::testing::AssertionFailure() << "got " << hex(got.get()) << " want " << hex(want);
  }
  return ::testing::AssertionSuccess();
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

}  // namespace
