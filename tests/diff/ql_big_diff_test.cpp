// Big integer arithmetic against OpenSSL's BIGNUM, through the shared library's exported
// functions: seeded random operands of 1 to 257 words with edge patterns, signed cases and
// aliasing of result and operand.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <cstring>
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
std::unique_ptr<BN_CTX, CtxDel> g_ctx(BN_CTX_new());
BN_CTX *ctx() { return g_ctx.get(); }

// Record <-> BIGNUM through the raw words, independent of the library's conversions.
Bn to_bn(const Big &a) {
  std::vector<uint8_t> le(4 * QL_BIG_WORDS, 0);
  const int n = a.length < 0 ? 0 : a.length;
  for (int i = 0; i < n; i++) {
    for (int k = 0; k < 4; k++) { le[4 * i + k] = static_cast<uint8_t>(a.words[i] >> (8 * k)); }
  }
  Bn r(BN_lebin2bn(le.data(), static_cast<int>(le.size()), nullptr));
  BN_set_negative(r.get(), a.sign != 0 ? 1 : 0);
  return r;
}

std::string hex(const BIGNUM *b) {
  char *s = BN_bn2hex(b);
  std::string out(s);
  OPENSSL_free(s);
  return out;
}

// The record is in normal form and holds the value `want`.
::testing::AssertionResult Holds(const Big &r, const BIGNUM *want) {
  if (r.length < 1 || r.length > QL_BIG_WORDS) {
    return ::testing::AssertionFailure() << "length " << r.length;
  }
  if (r.length > 1 && r.words[r.length - 1] == 0) {
    return ::testing::AssertionFailure() << "leading zero word at length " << r.length;
  }
  for (int i = r.length; i < QL_BIG_WORDS; i++) {
    if (r.words[i] != 0) { return ::testing::AssertionFailure() << "word above length " << i; }
  }
  if (BN_is_zero(want) && r.sign != 0) { return ::testing::AssertionFailure() << "negative zero"; }
  Bn got = to_bn(r);
  if (BN_cmp(got.get(), want) != 0) {
    return ::testing::AssertionFailure() << "got " << hex(got.get()) << " want " << hex(want);
  }
  return ::testing::AssertionSuccess();
}

constexpr uint32_t kPatterns[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE};

class Gen {
 public:
  explicit Gen(uint64_t seed) : rng_(seed) {}
  uint32_t word() { return static_cast<uint32_t>(rng_()); }
  int range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  // A value of exactly `n` significant words: random, patterned or sparse, with the top word
  // sometimes 1 or 0x80000000.
  Big value(int n, bool allow_negative = false) {
    Big r{};
    const int kind = range(0, 5);
    for (int i = 0; i < n; i++) {
      switch (kind) {
        case 0:
        case 1: r.words[i] = word(); break;
        case 2: r.words[i] = kPatterns[range(0, 5)]; break;
        case 3: r.words[i] = 0xFFFFFFFFu; break;
        default: r.words[i] = range(0, 7) == 0 ? word() : 0; break;
      }
    }
    const int top = range(0, 3);
    if (top == 0) { r.words[n - 1] = 1; }
    if (top == 1) { r.words[n - 1] = 0x80000000u; }
    if (r.words[n - 1] == 0) { r.words[n - 1] = word() | 1; }
    r.length = n;
    if (allow_negative) { r.sign = static_cast<uint32_t>(range(0, 1)); }
    return r;
  }
  Big any(int max_words, bool allow_negative = false) {
    const int pick = range(0, 19);
    if (pick == 0) { return small(0); }
    if (pick == 1) {
      Big one = small(1);
      if (allow_negative) { one.sign = static_cast<uint32_t>(range(0, 1)); }
      return one;
    }
    return value(range(1, max_words), allow_negative);
  }
  static Big small(uint32_t v) {
    Big r{};
    r.words[0] = v;
    r.length = 1;
    return r;
  }

 private:
  std::mt19937_64 rng_;
};

int words_of(const Big &a) { return a.length; }

TEST(BigDiff, ConversionsMatchOpenSsl) {
  Gen gen(1);
  for (int iter = 0; iter < 1500; iter++) {
    const Big v = gen.any(QL_BIG_WORDS);
    Bn want = to_bn(v);
    // BigToU8 / BigToU82 against BN_bn2bin and BN_bn2binpad.
    std::vector<uint8_t> ours(QL_BIG_MAX_BYTES + 8, 0xAA);
    const int n = BigToU8(ours.data(), &v);
    std::vector<uint8_t> theirs(static_cast<size_t>(BN_num_bytes(want.get())));
    ASSERT_EQ(n, BN_bn2bin(want.get(), theirs.data()));
    ASSERT_EQ(0, std::memcmp(ours.data(), theirs.data(), theirs.size()));
    ASSERT_EQ(Big_GetFilledBitNum(&v), BN_num_bits(want.get()));
    const int pad = n + gen.range(0, 5);
    std::vector<uint8_t> padded(static_cast<size_t>(pad) + 1, 0xAA);
    std::vector<uint8_t> want_pad(static_cast<size_t>(pad) + 1, 0xAA);
    ASSERT_EQ(0, BigToU82(padded.data(), &v, static_cast<uint32_t>(pad)));
    BN_bn2binpad(want.get(), want_pad.data(), pad);
    ASSERT_EQ(padded, want_pad);
    if (n > 0) {
      EXPECT_EQ(-2001, BigToU82(padded.data(), &v, static_cast<uint32_t>(n - 1)));
    }
    // U8ToBig from the big-endian bytes, with leading zero bytes sometimes.
    std::vector<uint8_t> in(static_cast<size_t>(gen.range(0, 3)), 0);
    in.insert(in.end(), theirs.begin(), theirs.end());
    if (in.empty() || in.size() > QL_BIG_MAX_BYTES) { continue; }
    Big r;
    std::memset(&r, 0x5A, sizeof(r));
    ASSERT_EQ(0, U8ToBig(&r, in.data(), static_cast<uint32_t>(in.size())));
    Bn back(BN_bin2bn(in.data(), static_cast<int>(in.size()), nullptr));
    if (BN_is_zero(back.get())) {
      EXPECT_EQ(r.length, 0);
    } else {
      ASSERT_TRUE(Holds(r, back.get()));
    }
    // Hexadecimal text, upper or lower case, sometimes negative.
    std::string text = hex(want.get());
    if (gen.range(0, 1) == 0) {
      for (char &c : text) { c = static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
    }
    const bool negative = !BN_is_zero(want.get()) && gen.range(0, 1) == 1;
    if (negative) { text = "-" + text; }
    Big h{};
    if (text.size() < 2 * QL_BIG_MAX_BYTES) { text += "xyz"; }  // digits end at a non-digit
    ASSERT_EQ(0, Big_HexU8ToBig(&h, text.c_str()));
    BN_set_negative(want.get(), negative ? 1 : 0);
    ASSERT_TRUE(Holds(h, want.get())) << text;
  }
}

TEST(BigDiff, ComparisonsMatchOpenSsl) {
  Gen gen(2);
  for (int iter = 0; iter < 3000; iter++) {
    const Big a = gen.any(QL_BIG_WORDS, true);
    Big b = iter % 4 == 0 ? a : gen.any(iter % 3 == 0 ? words_of(a) : QL_BIG_WORDS, true);
    if (iter % 8 == 1) {
      b = a;
      b.words[gen.range(0, a.length - 1)] ^= 1u << gen.range(0, 31);
      b.length = a.length;
      while (b.length > 1 && b.words[b.length - 1] == 0) { b.length--; }
    }
    Bn x = to_bn(a);
    Bn y = to_bn(b);
    auto unit = [](int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); };
    const int ucmp = unit(BN_ucmp(x.get(), y.get()));
    const int cmp = unit(BN_cmp(x.get(), y.get()));
    ASSERT_EQ(Big_UComp(&a, &b), ucmp);
    ASSERT_EQ(Big_Comp(&a, &b), cmp);
    ASSERT_EQ(Big_GE(&a, &b), ucmp >= 0 ? 1 : 0);
    ASSERT_EQ(Big_GT(&a, &b), ucmp > 0 ? 1 : 0);
    ASSERT_EQ(Big_IsEqual(&a, &b), cmp == 0 ? 0 : -2002);
  }
}

enum class AddOp { kAdd, kSub, kAbsAdd, kAbsSub, kNAdd };

TEST(BigDiff, AdditionAndSubtractionMatchOpenSsl) {
  Gen gen(3);
  for (int iter = 0; iter < 5000; iter++) {
    const AddOp op = static_cast<AddOp>(iter % 5);
    const Big a = gen.any(256, true);
    Big b = iter % 7 == 0 ? a : gen.any(256, true);
    if (iter % 11 == 0) { b.sign ^= 1; }
    Bn x = to_bn(a);
    Bn y = to_bn(b);
    Bn want = bn();
    Big r = gen.any(QL_BIG_WORDS, true);
    const uint32_t old_sign = r.sign;
    int32_t st = 0;
    switch (op) {
      case AddOp::kAdd:
        BN_add(want.get(), x.get(), y.get());
        st = Big_Add(&r, &a, &b);
        break;
      case AddOp::kSub:
        BN_sub(want.get(), x.get(), y.get());
        st = Big_Sub(&r, &a, &b);
        break;
      case AddOp::kAbsAdd:
      case AddOp::kNAdd:
        BN_set_negative(x.get(), 0);
        BN_set_negative(y.get(), 0);
        BN_add(want.get(), x.get(), y.get());
        st = op == AddOp::kAbsAdd ? Big_AbsAdd(&r, &a, &b) : NAdd(&r, &a, &b);
        if (!BN_is_zero(want.get())) { BN_set_negative(want.get(), static_cast<int>(old_sign)); }
        break;
      case AddOp::kAbsSub:
        BN_set_negative(x.get(), 0);
        BN_set_negative(y.get(), 0);
        if (BN_ucmp(x.get(), y.get()) >= 0) {
          BN_sub(want.get(), x.get(), y.get());
          st = Big_AbsSub(&r, &a, &b);
        } else {
          BN_sub(want.get(), y.get(), x.get());
          st = Big_AbsSub(&r, &b, &a);
        }
        if (!BN_is_zero(want.get())) { BN_set_negative(want.get(), static_cast<int>(old_sign)); }
        break;
    }
    ASSERT_EQ(st, 0);
    ASSERT_TRUE(Holds(r, want.get())) << "op " << static_cast<int>(op) << " iter " << iter;
    // The result may be either operand.
    if (op == AddOp::kAdd || op == AddOp::kSub) {
      Big in_a = a;
      Big in_b = b;
      Bn want2 = bn();
      (op == AddOp::kAdd ? BN_add : BN_sub)(want2.get(), x.get(), y.get());
      ASSERT_EQ(0, (op == AddOp::kAdd ? Big_Add : Big_Sub)(&in_a, &in_a, &b));
      ASSERT_EQ(0, (op == AddOp::kAdd ? Big_Add : Big_Sub)(&in_b, &a, &in_b));
      ASSERT_TRUE(Holds(in_a, want2.get()));
      ASSERT_TRUE(Holds(in_b, want2.get()));
    }
  }
}

TEST(BigDiff, WordAdditionAndIncrementMatchOpenSsl) {
  Gen gen(4);
  for (int iter = 0; iter < 4000; iter++) {
    Big a = iter % 5 == 0 ? Gen::small(gen.word() % 8) : gen.any(256, true);
    if (iter % 5 == 0) { a.sign = static_cast<uint32_t>(gen.range(0, 1)) & (a.words[0] != 0); }
    const uint32_t w = iter % 3 == 0 ? gen.word() % 10 : gen.word();
    Bn x = to_bn(a);
    Bn want = bn();
    Big r;
    switch (iter % 4) {
      case 0:
        BN_copy(want.get(), x.get());
        BN_add_word(want.get(), w);
        ASSERT_EQ(0, Big_AddByWord(&r, &a, w));
        break;
      case 1:
        BN_copy(want.get(), x.get());
        BN_sub_word(want.get(), w);
        r = a;
        ASSERT_EQ(0, Big_SubByWord(&r, &r, w));
        break;
      case 2:
        BN_copy(want.get(), x.get());
        BN_set_negative(want.get(), 0);
        BN_add_word(want.get(), 1);
        BN_set_negative(want.get(), BN_is_negative(x.get()));
        r = a;
        ASSERT_EQ(0, Big_AbsInc(&r));
        break;
      default:
        if (BN_is_zero(x.get())) { continue; }
        BN_copy(want.get(), x.get());
        BN_set_negative(want.get(), 0);
        BN_sub_word(want.get(), 1);
        if (!BN_is_zero(want.get())) { BN_set_negative(want.get(), BN_is_negative(x.get())); }
        r = a;
        ASSERT_EQ(0, Big_AbsDec(&r));
        break;
    }
    ASSERT_TRUE(Holds(r, want.get())) << "case " << iter % 4 << " w " << w;
  }
}

TEST(BigDiff, ProductsMatchOpenSsl) {
  Gen gen(5);
  for (int iter = 0; iter < 3000; iter++) {
    const int na = gen.range(1, 200);
    const Big a = gen.value(na, true);
    const Big b = iter % 9 == 0 && 2 * na <= QL_BIG_WORDS
                      ? a
                      : gen.value(gen.range(1, QL_BIG_WORDS - na), true);
    Bn x = to_bn(a);
    Bn y = to_bn(b);
    Bn want = bn();
    BN_mul(want.get(), x.get(), y.get(), ctx());
    Big r = gen.any(QL_BIG_WORDS);
    ASSERT_EQ(0, Big_Mul(&r, &a, &b));
    ASSERT_TRUE(Holds(r, want.get())) << iter;
    if (2 * na <= QL_BIG_WORDS) {
      BN_sqr(want.get(), x.get(), ctx());
      ASSERT_EQ(0, Big_Sqr(&r, &a));
      ASSERT_TRUE(Holds(r, want.get())) << iter;
    }
  }
  // Products that do not fit 257 words are refused and leave the result as it was.
  Big a = gen.value(129, false);
  Big r = Gen::small(7);
  EXPECT_EQ(-2008, Big_Sqr(&r, &a));
  EXPECT_EQ(-2008, Big_Mul(&r, &a, &a));
  EXPECT_EQ(r.words[0], 7u);
  // 258 words of operands whose product still fits 257 words.
  Big one_top = Gen::small(0);
  one_top.words[128] = 1;
  one_top.length = 129;
  Big c = gen.value(129, false);
  c.words[128] = 0x7FFFFFFF;
  Bn want = bn();
  BN_mul(want.get(), to_bn(one_top).get(), to_bn(c).get(), ctx());
  ASSERT_EQ(0, Big_Mul(&r, &one_top, &c));
  EXPECT_TRUE(Holds(r, want.get()));
  // Zero times a negative value is a plain zero.
  Big zero = Gen::small(0);
  Big neg = gen.value(5, false);
  neg.sign = 1;
  ASSERT_EQ(0, Big_Mul(&r, &neg, &zero));
  Bn bn_zero = bn();
  BN_zero(bn_zero.get());
  EXPECT_TRUE(Holds(r, bn_zero.get()));
}

TEST(BigDiff, WordKernelsMatchOpenSsl) {
  Gen gen(6);
  for (int iter = 0; iter < 1000; iter++) {
    const int n = gen.range(1, 200);
    const Big in = gen.value(n);
    const Big acc = gen.value(n);
    const uint32_t w = iter % 10 == 0 ? 0xFFFFFFFFu : gen.word();
    // NMul: in * w = out + carry * 2^(32n).
    Bn want = to_bn(in);
    BN_mul_word(want.get(), w);
    Big out{};
    out.words[n] = NMul(out.words, in.words, n, w);
    out.length = n + 1;
    while (out.length > 1 && out.words[out.length - 1] == 0) { out.length--; }
    ASSERT_TRUE(Holds(out, want.get()));
    // NMulAdd: acc + in * w.
    Bn sum = to_bn(acc);
    BN_add(want.get(), want.get(), sum.get());
    Big acc2 = acc;
    acc2.words[n] = NMulAdd(acc2.words, in.words, n, w);
    acc2.length = n + 1;
    while (acc2.length > 1 && acc2.words[acc2.length - 1] == 0) { acc2.length--; }
    ASSERT_TRUE(Holds(acc2, want.get()));
  }
}

TEST(BigDiff, PolynomialAdditionMatchesOpenSsl) {
  Gen gen(7);
  for (int iter = 0; iter < 2000; iter++) {
    const Big a = gen.any(QL_BIG_WORDS);
    const Big b = iter % 6 == 0 ? a : gen.any(QL_BIG_WORDS);
    Bn x = to_bn(a);
    Bn y = to_bn(b);
    Bn want = bn();
    ASSERT_EQ(1, BN_GF2m_add(want.get(), x.get(), y.get()));
    Big r{};
    r.length = 1;
    ASSERT_EQ(0, EB_Add(&r, &a, &b));
    ASSERT_TRUE(Holds(r, want.get()));
    const int deg_a = BN_num_bits(x.get());
    const int deg_b = BN_num_bits(y.get());
    if (deg_a != 0 && deg_b != 0) { ASSERT_EQ(IsLargerDeg(&a, &b), deg_a > deg_b ? 1 : 0); }
  }
}

TEST(BigDiff, ShiftsMatchOpenSsl) {
  Gen gen(8);
  for (int iter = 0; iter < 3000; iter++) {
    const Big a = gen.any(QL_BIG_WORDS, true);
    Bn x = to_bn(a);
    const int bits = BN_num_bits(x.get());
    const uint32_t n = static_cast<uint32_t>(gen.range(0, iter % 2 == 0 ? 70 : 8300));
    Bn want = bn();
    Big r = a;
    BN_rshift(want.get(), x.get(), static_cast<int>(n));
    ASSERT_EQ(0, Big_RShift(&r, &r, n));
    ASSERT_TRUE(Holds(r, want.get())) << "rshift " << n;
    r = gen.any(QL_BIG_WORDS);
    BN_lshift(want.get(), x.get(), static_cast<int>(n));
    if (bits == 0 || bits + static_cast<int>(n) <= 32 * QL_BIG_WORDS) {
      ASSERT_EQ(0, Big_LShift(&r, &a, n));
      ASSERT_TRUE(Holds(r, want.get())) << "lshift " << n;
    } else {
      ASSERT_EQ(-2008, Big_LShift(&r, &a, n));
    }
    r = a;
    BN_rshift1(want.get(), x.get());
    ASSERT_EQ(0, Big_RShift1(&r, &r));
    ASSERT_TRUE(Holds(r, want.get()));
    if (bits < 32 * QL_BIG_WORDS) {
      r = a;
      BN_lshift1(want.get(), x.get());
      ASSERT_EQ(0, Big_LShift1(&r, &r));
      ASSERT_TRUE(Holds(r, want.get()));
    }
  }
}

// Knuth D cases that need the add-back step (found by simulating the estimate).
const std::vector<std::vector<uint32_t>> kAddBack[] = {
    {{0x7FFFFFFF, 0, 0, 0x80000000, 0xFFFFFFFE}, {0xFFFFFFFE, 0x7FFFFFFF, 0xFFFFFFFF}},
    {{0x7FFFFFFF, 0x7FFFFFFF, 0xFFFFFFFE, 0xFFFFFFFE}, {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}},
    {{1, 1, 0x7FFFFFFF, 1, 0x80000000}, {0x7FFFFFFF, 0xFFFFFFFE, 1, 0x80000000}},
};

Big from_words(const std::vector<uint32_t> &w) {
  Big r{};
  for (size_t i = 0; i < w.size(); i++) { r.words[i] = w[i]; }
  r.length = static_cast<int32_t>(w.size());
  return r;
}

TEST(BigDiff, DivisionMatchesOpenSsl) {
  Gen gen(9);
  for (int iter = 0; iter < 4000 + 3; iter++) {
    Big a;
    Big b;
    if (iter < 3) {
      a = from_words(kAddBack[iter][0]);
      b = from_words(kAddBack[iter][1]);
    } else {
      a = gen.any(QL_BIG_WORDS, true);
      b = gen.any(iter % 3 == 0 ? 4 : QL_BIG_WORDS, true);
      if (iter % 13 == 0) { b = a; }
    }
    Bn x = to_bn(a);
    Bn y = to_bn(b);
    Big q;
    Big r;
    if (BN_is_zero(y.get())) {
      ASSERT_EQ(-2007, Big_Div(&q, &r, &a, &b));
      continue;
    }
    Bn wq = bn();
    Bn wr = bn();
    BN_div(wq.get(), wr.get(), x.get(), y.get(), ctx());  // truncating, remainder takes a's sign
    BN_set_negative(wr.get(), 0);
    ASSERT_EQ(0, Big_Div(&q, &r, &a, &b));
    ASSERT_TRUE(Holds(q, wq.get())) << iter;
    ASSERT_TRUE(Holds(r, wr.get())) << iter;
    // Least non-negative residue modulo |b|.
    BN_set_negative(y.get(), 0);
    Big m = b;
    m.sign = 0;
    BN_nnmod(wr.get(), x.get(), y.get(), ctx());
    Big res = a;
    ASSERT_EQ(0, Big_Mod(&res, &res, &m));
    ASSERT_TRUE(Holds(res, wr.get())) << iter;
  }
}

TEST(BigDiff, WordDivisionMatchesOpenSsl) {
  Gen gen(10);
  for (int iter = 0; iter < 3000; iter++) {
    const Big a = gen.any(QL_BIG_WORDS, true);
    const uint32_t w = iter % 4 == 0 ? kPatterns[gen.range(1, 5)] : gen.word();
    Bn want = to_bn(a);
    const BN_ULONG rem = BN_div_word(want.get(), w);
    Big q = a;
    uint32_t ours = 0;
    ASSERT_EQ(0, Big_DivByWord(&q, &ours, &q, w));
    ASSERT_EQ(ours, rem);
    ASSERT_TRUE(Holds(q, want.get()));
    ASSERT_EQ(Big_ModU32(&a, w & 0x7FFFFFFF ? w & 0x7FFFFFFF : 3),
              BN_mod_word(to_bn(a).get(), w & 0x7FFFFFFF ? w & 0x7FFFFFFF : 3));
  }
  Big a = Gen::small(5);
  uint32_t rem = 0;
  EXPECT_EQ(-2007, Big_DivByWord(&a, &rem, &a, 0));
}

TEST(BigDiff, ModularHelpersMatchOpenSsl) {
  Gen gen(11);
  for (int iter = 0; iter < 2000; iter++) {
    const int nm = gen.range(1, 128);
    Big m = gen.value(nm);
    const Big a = gen.any(nm + 1, true);
    const Big b = gen.any(nm, true);
    Bn x = to_bn(a);
    Bn y = to_bn(b);
    Bn mod = to_bn(m);
    Bn want = bn();
    Big r;
    switch (iter % 4) {
      case 0:
        BN_mod_mul(want.get(), x.get(), y.get(), mod.get(), ctx());
        r = a;
        ASSERT_EQ(0, Big_MulMod(&r, &r, &b, &m));
        break;
      case 1:
        BN_mod_sqr(want.get(), x.get(), mod.get(), ctx());
        r = a;
        ASSERT_EQ(0, Big_SqrMod(&r, &r, &m));
        break;
      case 2:
        BN_mod_sub(want.get(), x.get(), y.get(), mod.get(), ctx());
        r = b;
        ASSERT_EQ(0, Big_SubMod(&r, &a, &r, &m));
        break;
      default:
        BN_mod_add(want.get(), x.get(), y.get(), mod.get(), ctx());
        ASSERT_EQ(0, Big_ModAdd(&r, &a, &b, &m));
        break;
    }
    ASSERT_TRUE(Holds(r, want.get())) << iter;
  }
}

TEST(BigDiff, GcdAndInversesMatchOpenSsl) {
  Gen gen(12);
  for (int iter = 0; iter < 1200; iter++) {
    const int n = gen.range(1, iter % 10 == 0 ? 200 : 40);
    Big a = gen.any(n);
    Big b = gen.any(n);
    if (iter % 7 == 0) {
      // A common factor of a power of two and a random odd value.
      const Big f = gen.value(gen.range(1, 3));
      Big t;
      ASSERT_EQ(0, Big_Mul(&t, &a, &f));
      a = t;
      ASSERT_EQ(0, Big_Mul(&t, &b, &f));
      b = t;
      ASSERT_EQ(0, Big_LShift(&a, &a, 5));
      ASSERT_EQ(0, Big_LShift(&b, &b, 3));
    }
    Bn x = to_bn(a);
    Bn y = to_bn(b);
    Bn want = bn();
    BN_gcd(want.get(), x.get(), y.get(), ctx());
    Big g;
    ASSERT_EQ(0, Big_GCD(&g, &a, &b));
    ASSERT_TRUE(Holds(g, want.get())) << iter;
    Big s;
    Big t;
    ASSERT_EQ(0, Big_ExtendedGCD(&g, &s, &t, &a, &b));
    ASSERT_TRUE(Holds(g, want.get())) << iter;
    Bn check = bn();
    Bn tb = bn();
    BN_mul(check.get(), to_bn(s).get(), x.get(), ctx());
    BN_mul(tb.get(), to_bn(t).get(), y.get(), ctx());
    BN_add(check.get(), check.get(), tb.get());
    ASSERT_EQ(0, BN_cmp(check.get(), want.get())) << iter;
    // Inverses modulo b.
    if (BN_is_zero(y.get())) { continue; }
    // OpenSSL refuses the modulus 1; every value is its own (zero) inverse there.
    Bn inv(BN_is_one(y.get()) ? BN_new() : BN_mod_inverse(nullptr, x.get(), y.get(), ctx()));
    if (BN_is_one(y.get())) { BN_zero(inv.get()); }
    Big xi;
    Big ri{};
    const int32_t st = Big_InvMod(&xi, &a, &b);
    const int32_t flag = Big_Inv(&ri, &a, &b);
    if (inv) {
      ASSERT_EQ(st, 0) << iter;
      ASSERT_TRUE(Holds(xi, inv.get())) << iter;
      // Big_Inv reports no inverse for a zero operand, even modulo 1.
      ASSERT_EQ(flag, BN_is_zero(x.get()) ? 0 : 1) << iter;
      if (flag == 1) { ASSERT_TRUE(Holds(ri, inv.get())) << iter; }
    } else {
      ASSERT_EQ(st, -2003) << iter;
      ASSERT_EQ(flag, 0);
      Bn zero = bn();
      BN_zero(zero.get());
      ASSERT_TRUE(Holds(ri, zero.get()));
    }
  }
}

}  // namespace
