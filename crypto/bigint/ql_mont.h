// The Montgomery engine shared by the integer units: products, squares and reductions on
// arrays of `len` limbs with R = 2^(limb bits * len), limbs least significant first. Loop
// counts depend on `len` only and the final subtraction is masked, so the engine runs in time
// independent of the values; the callers' algorithms decide whether the whole is constant time.
#ifndef QL_MONT_H
#define QL_MONT_H

#include <cstddef>
#include <cstdint>

#include "bigint/ql_big.h"

namespace ql {

template <typename L>
struct Mont {
  const L *n;  // the odd modulus, len limbs
  size_t len;
  L n0;  // -n^-1 mod 2^(limb bits)
};

// -n^-1 mod 2^(limb bits) for odd n: Newton's iteration doubles the correct low bits from the
// three that x = n already has (n * n = 1 mod 8).
template <typename L>
L neg_inverse(L n) {
  L x = n;
  for (int i = 0; i < 5; i++) { x = static_cast<L>(x * static_cast<L>(2 - n * x)); }
  return static_cast<L>(0 - x);
}

template <typename L>
constexpr int kWordsPerLimb = static_cast<int>(sizeof(L) / 4);

// out[0..num_limbs) from the words w[0..nw), zero-extended.
template <typename L>
void words_to_limbs(L *out, size_t num_limbs, const uint32_t *w, int nw) {
  for (size_t k = 0; k < num_limbs; k++) {
    L v = 0;
    for (int j = 0; j < kWordsPerLimb<L>; j++) {
      const int idx = static_cast<int>(k) * kWordsPerLimb<L> + j;
      if (idx < nw) { v = static_cast<L>(v | (static_cast<L>(w[idx]) << (32 * j))); }
    }
    out[k] = v;
  }
}

template <typename L>
void limbs_to_words(uint32_t *w, const L *in, size_t num_limbs) {
  for (size_t k = 0; k < num_limbs; k++) {
    for (int j = 0; j < kWordsPerLimb<L>; j++) {
      w[k * kWordsPerLimb<L> + static_cast<size_t>(j)] = static_cast<uint32_t>(in[k] >> (32 * j));
    }
  }
}

// All ones for bit 1, zero for bit 0, hidden from the optimiser so it stays a mask.
template <typename L>
inline L limb_mask(L bit) {
  L m = static_cast<L>(0 - bit);
#if defined(__GNUC__)
  __asm__("" : "+r"(m));
#endif
  return m;
}

// r = (top, t) - n when that is not negative, else t, for (top, t) < 2n, top 0 or 1 and r
// distinct from t; without a branch on the values.
template <typename L>
void final_sub(L *r, const L *t, L top, const L *n, size_t len) {
  const L borrow = sub_limbs(r, t, n, len);
  // t stays exactly when the subtraction borrowed out of the top limb as well.
  const L keep = limb_mask(static_cast<L>(borrow & (top ^ 1)));
  for (size_t j = 0; j < len; j++) { r[j] = static_cast<L>(r[j] ^ (keep & (r[j] ^ t[j]))); }
}

// Montgomery product by product scanning: column k of a * b + m * n is summed in registers,
// m[k] chosen to clear its low limb, and the column shifted out. With `kSquare` the cross
// products a_i a_j (i < j) are summed once and doubled. For a < R and b < n the result before
// the final subtraction is below 2n. r may be a or b; t is 2len + 1 scratch limbs (m and the
// result). A non-zero `kLen` fixes the length at compile time, so the loops unroll.
template <typename L, bool kSquare, size_t kLen = 0>
void mont_product(L *r, const L *a, const L *b, const Mont<L> &m, L *t) {
  const size_t n = kLen != 0 ? kLen : m.len;
  L *mk = t;
  L *out = t + n;
  Acc<L> acc;
  for (size_t k = 0; k < 2 * n - 1; k++) {
    const size_t lo = k < n ? 0 : k - n + 1;
    const size_t hi = k < n ? k : n - 1;  // a_i b_{k-i} for lo <= i <= hi
    if (kSquare) {
      Acc<L> cross;
      size_t i = lo;
      for (; i < k - i; i++) { cross.mac(a[i], a[k - i]); }
      acc.add_doubled(cross);
      if (i == k - i) { acc.mac(a[i], a[i]); }
    } else {
      for (size_t i = lo; i <= hi; i++) { acc.mac(a[i], b[k - i]); }
    }
    const size_t mhi = k < n ? k : n;  // m_i n_{k-i} for lo <= i < mhi
    for (size_t i = lo; i < mhi; i++) { acc.mac(mk[i], m.n[k - i]); }
    if (k < n) {
      mk[k] = static_cast<L>(acc.c0 * m.n0);
      acc.mac(mk[k], m.n[0]);  // clears the low limb
    } else {
      out[k - n] = acc.c0;
    }
    acc.c0 = acc.c1;
    acc.c1 = acc.c2;
    acc.c2 = 0;
  }
  out[n - 1] = acc.c0;
  final_sub(r, out, acc.c1, m.n, n);
}

// r = a * b * R^-1 mod n for a, b < n.
template <typename L>
void mont_mul(L *r, const L *a, const L *b, const Mont<L> &m, L *t) {
  mont_product<L, false>(r, a, b, m, t);
}

// r = T * R^-1 mod n for T < n * R held in t[0..2len); t is destroyed, r distinct from t.
template <typename L>
void mont_redc(L *r, L *t, const Mont<L> &m) {
  using W = typename Wide<L>::type;
  const size_t n = m.len;
  L extra = 0;  // carry out of t[i + n - 1], owed to t[i + n]
  for (size_t i = 0; i < n; i++) {
    const L mi = static_cast<L>(t[i] * m.n0);
    const L c = mul_add_row(t + i, m.n, n, mi);
    const W s = W{t[i + n]} + c + extra;
    t[i + n] = static_cast<L>(s);
    extra = static_cast<L>(s >> kLimbBits<L>);
  }
  final_sub(r, t + n, extra, m.n, n);
}

// r = a^2 * R^-1 mod n for a < n.
template <typename L>
void mont_sqr(L *r, const L *a, const Mont<L> &m, L *t) {
  mont_product<L, true>(r, a, a, m, t);
}

}  // namespace ql

#endif  // QL_MONT_H
