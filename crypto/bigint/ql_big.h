// Internals shared by the integer units: reading a record's length safely, normal form, and
// the word kernels. The kernels are templates over the limb type: 32-bit words everywhere, and
// 64-bit limbs with a 128-bit product where the compiler has one (QL_BIG_LIMB64).
#ifndef QL_BIG_H
#define QL_BIG_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "internal/ql_ct.h"
#include "internal/ql_status.h"

#if defined(__SIZEOF_INT128__)
#define QL_BIG_LIMB64 1
#endif

namespace ql {

constexpr int kBigWords = QL_BIG_WORDS;
// Longest modulus of the Montgomery functions: their double-length intermediate (2n + 1
// words) must fit one record.
constexpr int kMontMaxWords = 128;

// The number of significant words of `a`: its length clamped to the capacity, with leading
// zero words skipped (0 for zero). Every routine reads operands through this, so a record with
// length 0, stray leading zeros or a corrupt length never leads outside the record.
inline int big_used(const Big &a) {
  int n = a.length;
  if (n > kBigWords) { n = kBigWords; }
  while (n > 0 && a.words[n - 1] == 0) { n--; }
  return n;
}

// Sets the result record to `words[0..n)` in normal form: leading zero words stripped down to
// length 1, sign 0 for a zero value, every word above the length zero. `words` may alias
// r.words.
void big_set_words(Big &r, const uint32_t *words, int n, uint32_t sign);

// Makes `r` a cleared record (value zero, length 1, sign 0).
void big_clear(Big &r);

// Strips leading zero words of `r` (down to length 1) and gives zero the sign 0.
void big_normalize(Big &r);

// Leading and trailing zero bits and one bits of a non-zero word (any word for popcount32):
// compiler builtins where the compiler has them, plain loops elsewhere.
inline int clz32(uint32_t x) {
#if defined(__GNUC__)
  return __builtin_clz(x);
#else
  int n = 0;
  for (uint32_t bit = 0x80000000u; (x & bit) == 0; bit >>= 1) { n++; }
  return n;
#endif
}
inline int ctz32(uint32_t x) {
#if defined(__GNUC__)
  return __builtin_ctz(x);
#else
  int n = 0;
  for (uint32_t bit = 1; (x & bit) == 0; bit <<= 1) { n++; }
  return n;
#endif
}
inline int popcount32(uint32_t x) {
#if defined(__GNUC__)
  return __builtin_popcount(x);
#else
  int n = 0;
  for (; x != 0; x &= x - 1) { n++; }
  return n;
#endif
}

// Record-level arithmetic behind the exported functions (same rules and codes); declared here
// for the other public-key units.
Status big_mul(Big &r, const Big &a, const Big &b);
Status big_sqr(Big &r, const Big &a);
Status big_div_word(Big *q, uint32_t *rem, const Big &a, uint32_t w);
Status big_div(Big *q, Big *r, const Big &a, const Big &b);
Status big_mod(Big &r, const Big &a, const Big &m);
Status big_lshift(Big &r, const Big &a, uint32_t n);
Status big_rshift(Big &r, const Big &a, uint32_t n);
Status big_gcd(Big &g, const Big &a, const Big &b);
Status big_ext_gcd(Big &g, Big &s, Big &t, const Big &a, const Big &b);
int32_t big_inv(Big &r, const Big &a, const Big &m);

// Magnitude and signed comparisons: -1, 0 or 1. Zero compares equal whatever its sign.
int big_ucomp(const Big &a, const Big &b);
int big_comp(const Big &a, const Big &b);

template <typename L>
struct Wide;
template <>
struct Wide<uint32_t> {
  using type = uint64_t;
};
#if defined(QL_BIG_LIMB64)
template <>
struct Wide<uint64_t> {
  using type = unsigned __int128;
};
#endif

template <typename L>
constexpr unsigned kLimbBits = sizeof(L) * 8;

// out[0..n) += in[0..n) * w; returns the carry limb.
template <typename L>
inline L mul_add_row(L *out, const L *in, size_t n, L w) {
  using W = typename Wide<L>::type;
  L carry = 0;
  for (size_t i = 0; i < n; i++) {
    const W t = W{in[i]} * w + out[i] + carry;
    out[i] = static_cast<L>(t);
    carry = static_cast<L>(t >> kLimbBits<L>);
  }
  return carry;
}

// out[0..n) = in[0..n) * w; returns the carry limb. `out` may be `in`.
template <typename L>
inline L mul_row(L *out, const L *in, size_t n, L w) {
  using W = typename Wide<L>::type;
  L carry = 0;
  for (size_t i = 0; i < n; i++) {
    const W t = W{in[i]} * w + carry;
    out[i] = static_cast<L>(t);
    carry = static_cast<L>(t >> kLimbBits<L>);
  }
  return carry;
}

// r[0..n) = a - b; returns the borrow (0 or 1). `r` may be `a` or `b`.
template <typename L>
inline L sub_limbs(L *r, const L *a, const L *b, size_t n) {
  L borrow = 0;
  for (size_t i = 0; i < n; i++) {
    const L ai = a[i];
    const L d = ai - b[i];
    const L nb = static_cast<L>((ai < b[i]) | (d < borrow));
    r[i] = d - borrow;
    borrow = nb;
  }
  return borrow;
}

// r[0..n) = a + b; returns the carry (0 or 1). `r` may be `a` or `b`.
template <typename L>
inline L add_limbs(L *r, const L *a, const L *b, size_t n) {
  L carry = 0;
  for (size_t i = 0; i < n; i++) {
    const L s = a[i] + carry;
    const L c1 = static_cast<L>(s < carry);
    const L t = s + b[i];
    carry = c1 | static_cast<L>(t < s);
    r[i] = t;
  }
  return carry;
}

// r[0..n) = a[0..na) mod m[0..n), in time independent of the values of a and m: bit by bit
// from the top, the remainder is doubled, the bit shifted in and m subtracted under a mask.
// m's top word must be non-zero: then r < m after every step, 2r + 1 < 2m, and one subtraction
// suffices. `t` is n words of scratch; r must not overlap a.
inline void ct_mod_words(uint32_t *r, const uint32_t *a, size_t na, const uint32_t *m, size_t n,
                         uint32_t *t) {
  for (size_t j = 0; j < n; j++) { r[j] = 0; }
  for (size_t i = 32 * na; i-- > 0;) {
    uint32_t carry = (a[i / 32] >> (i % 32)) & 1u;
    for (size_t j = 0; j < n; j++) {
      const uint32_t w = r[j];
      r[j] = (w << 1) | carry;
      carry = w >> 31;
    }
    const uint32_t borrow = sub_limbs(t, r, m, n);
    // (carry, r) >= m exactly when the doubling overflowed or the subtraction did not borrow.
    const uint32_t mask = ct::barrier(0u - (carry | (borrow ^ 1u)));
    for (size_t j = 0; j < n; j++) { r[j] = ct::select(mask, t[j], r[j]); }
  }
}

// The number of significant words of w[0..n) (at least 1), found without branching on the
// words: the one thing of a secret value that its record's length makes public.
inline int ct_used_words(const uint32_t *w, int n) {
  uint32_t used = 1;
  for (int i = 0; i < n; i++) {
    used = ct::select(~ct::is_zero(w[i]), static_cast<uint32_t>(i + 1), used);
  }
  return static_cast<int>(used);
}

// Compares a[0..n) with b[0..n) as numbers: -1, 0 or 1.
template <typename L>
inline int cmp_limbs(const L *a, const L *b, size_t n) {
  for (size_t i = n; i-- > 0;) {
    if (a[i] != b[i]) { return a[i] > b[i] ? 1 : -1; }
  }
  return 0;
}

// Three-limb column accumulator (c2, c1, c0) of the product-scanning loops. Written as a
// two-limb addition with a carry into c2, which compilers turn into add/adc/adc.
template <typename L>
struct Acc {
  using W = typename Wide<L>::type;
  L c0 = 0;
  L c1 = 0;
  L c2 = 0;
  // this += x * y
  void mac(L x, L y) {
    const W p = W{x} * y;
    const W s = ((W{c1} << kLimbBits<L>) | c0) + p;
    c2 = static_cast<L>(c2 + static_cast<L>(s < p));
    c0 = static_cast<L>(s);
    c1 = static_cast<L>(s >> kLimbBits<L>);
  }
  // this += 2 * d
  void add_doubled(const Acc &d) {
    const W dl = (W{d.c1} << kLimbBits<L>) | d.c0;
    const W twice = dl << 1;
    const W s = ((W{c1} << kLimbBits<L>) | c0) + twice;
    c2 = static_cast<L>(c2 + static_cast<L>(d.c2 << 1) + static_cast<L>(dl >> (2 * kLimbBits<L> - 1)) +
                        static_cast<L>(s < twice));
    c0 = static_cast<L>(s);
    c1 = static_cast<L>(s >> kLimbBits<L>);
  }
};

// r[0..na+nb) = a * b, column by column (product scanning); `r` distinct from both,
// na, nb >= 1.
template <typename L>
inline void mul_limbs(L *r, const L *a, size_t na, const L *b, size_t nb) {
  Acc<L> acc;
  for (size_t k = 0; k + 1 < na + nb; k++) {
    const size_t lo = k < nb ? 0 : k - nb + 1;
    const size_t hi = k < na ? k : na - 1;
    for (size_t i = lo; i <= hi; i++) { acc.mac(a[i], b[k - i]); }
    r[k] = acc.c0;
    acc.c0 = acc.c1;
    acc.c1 = acc.c2;
    acc.c2 = 0;
  }
  r[na + nb - 1] = acc.c0;
}

// r[0..2n) = a^2 by columns: the cross products a_i a_j (i < j) once and doubled, then the
// square on the diagonal. `r` is distinct from `a`, n >= 1.
template <typename L>
inline void sqr_limbs(L *r, const L *a, size_t n) {
  Acc<L> acc;
  for (size_t k = 0; k + 1 < 2 * n; k++) {
    const size_t lo = k < n ? 0 : k - n + 1;
    Acc<L> cross;
    size_t i = lo;
    for (; i < k - i; i++) { cross.mac(a[i], a[k - i]); }
    acc.add_doubled(cross);
    if (i == k - i) { acc.mac(a[i], a[i]); }
    r[k] = acc.c0;
    acc.c0 = acc.c1;
    acc.c1 = acc.c2;
    acc.c2 = 0;
  }
  r[2 * n - 1] = acc.c0;
}

}  // namespace ql

#endif  // QL_BIG_H
