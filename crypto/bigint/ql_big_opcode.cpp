// Arithmetic on Big records: signed and magnitude addition and subtraction, word kernels,
// products and squares, shifts, division (Knuth's algorithm D), modular helpers, binary and
// Euclidean GCDs and inverses. Records hold 32-bit words, least significant first; products
// run on 64-bit limbs where the compiler offers a 128-bit product. Every routine is variable
// time in the lengths of its operands, and division and the GCDs also in their values.
#include <array>
#include <cstring>
#include <utility>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "bigint/ql_big.h"
#include "bigint/ql_big_ct.h"
#include "bigint/ql_mont.h"

namespace ql {

namespace {

uint32_t sign_of(const Big &a) { return a.sign != 0 ? 1u : 0u; }

// |a| + |b| into r (r may be a or b); r's sign becomes `sign` (0 for zero).
Status abs_add(Big &r, const Big &a, const Big &b, uint32_t sign) {
  const Big *x = &a;
  const Big *y = &b;
  int nx = big_used(a);
  int ny = big_used(b);
  if (nx < ny) {
    std::swap(x, y);
    std::swap(nx, ny);
  }
  uint32_t carry = add_limbs(r.words, x->words, y->words, static_cast<size_t>(ny));
  for (int i = ny; i < nx; i++) {
    const uint32_t v = x->words[i] + carry;
    carry = v < carry ? 1u : 0u;
    r.words[i] = v;
  }
  int n = nx;
  if (carry != 0) {
    if (nx == kBigWords) {
      big_set_words(r, r.words, n, sign);
      return kErrBigOverflow;
    }
    r.words[n++] = 1;
  }
  big_set_words(r, r.words, n, sign);
  return kOk;
}

// |x| - |y| into r for |x| >= |y| (r may be x or y); r's sign becomes `sign`.
void abs_sub_ordered(Big &r, const Big &x, const Big &y, uint32_t sign) {
  const int nx = big_used(x);
  const int ny = big_used(y);
  uint32_t borrow = sub_limbs(r.words, x.words, y.words, static_cast<size_t>(ny));
  for (int i = ny; i < nx; i++) {
    const uint32_t v = x.words[i];
    r.words[i] = v - borrow;
    borrow = v < borrow ? 1u : 0u;
  }
  big_set_words(r, r.words, nx, sign);
}

// Signed (a_sign, |a|) + (b_sign, |b|).
Status add_signed(Big &r, const Big &a, uint32_t a_sign, const Big &b, uint32_t b_sign) {
  if (a_sign == b_sign) { return abs_add(r, a, b, a_sign); }
  const int c = big_ucomp(a, b);
  if (c == 0) {
    big_set_words(r, r.words, 0, 0);
  } else if (c > 0) {
    abs_sub_ordered(r, a, b, a_sign);
  } else {
    abs_sub_ordered(r, b, a, b_sign);
  }
  return kOk;
}

// r[0..na+nb) = a * b for word arrays; `r` distinct from both.
void mul_words(uint32_t *r, const uint32_t *a, int na, const uint32_t *b, int nb) {
#if defined(QL_BIG_LIMB64)
  if (na >= 4 && nb >= 4) {
    // Pairs of words as 64-bit limbs: a quarter of the multiplications.
    const int la = (na + 1) / 2;
    const int lb = (nb + 1) / 2;
    uint64_t x[(kBigWords + 1) / 2];
    uint64_t y[(kBigWords + 1) / 2];
    uint64_t p[kBigWords + 1];
    for (int i = 0; i < la; i++) {
      const uint64_t hi = 2 * i + 1 < na ? a[2 * i + 1] : 0;
      x[i] = a[2 * i] | (hi << 32);
    }
    for (int i = 0; i < lb; i++) {
      const uint64_t hi = 2 * i + 1 < nb ? b[2 * i + 1] : 0;
      y[i] = b[2 * i] | (hi << 32);
    }
    mul_limbs<uint64_t>(p, x, static_cast<size_t>(la), y, static_cast<size_t>(lb));
    for (int i = 0; i < na + nb; i++) {
      r[i] = static_cast<uint32_t>(p[i / 2] >> (32 * (i % 2)));
    }
    wipe(x, sizeof(uint64_t) * static_cast<size_t>(la));
    wipe(y, sizeof(uint64_t) * static_cast<size_t>(lb));
    wipe(p, sizeof(uint64_t) * static_cast<size_t>(la + lb));
    return;
  }
#endif
  mul_limbs<uint32_t>(r, a, static_cast<size_t>(na), b, static_cast<size_t>(nb));
}

// r[0..2n) = a^2 for a word array; `r` distinct from `a`.
void sqr_words(uint32_t *r, const uint32_t *a, int n) {
#if defined(QL_BIG_LIMB64)
  if (n >= 4) {
    const int l = (n + 1) / 2;
    uint64_t x[(kBigWords + 1) / 2];
    uint64_t p[kBigWords + 1];
    for (int i = 0; i < l; i++) {
      const uint64_t hi = 2 * i + 1 < n ? a[2 * i + 1] : 0;
      x[i] = a[2 * i] | (hi << 32);
    }
    sqr_limbs<uint64_t>(p, x, static_cast<size_t>(l));
    for (int i = 0; i < 2 * n; i++) { r[i] = static_cast<uint32_t>(p[i / 2] >> (32 * (i % 2))); }
    wipe(x, sizeof(uint64_t) * static_cast<size_t>(l));
    wipe(p, sizeof(uint64_t) * static_cast<size_t>(2 * l));
    return;
  }
#endif
  sqr_limbs<uint32_t>(r, a, static_cast<size_t>(n));
}

// Stores a product of `n` words (n <= 2 * kBigWords) held in `p` into r, or reports overflow.
Status store_product(Big &r, const uint32_t *p, int n, uint32_t sign) {
  while (n > 0 && p[n - 1] == 0) { n--; }
  if (n > kBigWords) { return kErrBigOverflow; }
  big_set_words(r, p, n, sign);
  return kOk;
}

}  // namespace

Status big_mul(Big &r, const Big &a, const Big &b) {
  const int na = big_used(a);
  const int nb = big_used(b);
  const uint32_t sign = sign_of(a) ^ sign_of(b);
  if (na == 0 || nb == 0) {
    big_set_words(r, r.words, 0, 0);
    return kOk;
  }
  // The product of an na-word and an nb-word value has at least na + nb - 1 words.
  if (na + nb - 1 > kBigWords) { return kErrBigOverflow; }
  if (na + nb <= kBigWords && &r != &a && &r != &b) {
    mul_words(r.words, a.words, na, b.words, nb);
    big_set_words(r, r.words, na + nb, sign);
    return kOk;
  }
  Wiped<std::array<uint32_t, kBigWords + 1>> t;
  mul_words(t.get().data(), a.words, na, b.words, nb);
  return store_product(r, t.get().data(), na + nb, sign);
}

Status big_sqr(Big &r, const Big &a) {
  const int n = big_used(a);
  if (n == 0) {
    big_set_words(r, r.words, 0, 0);
    return kOk;
  }
  if (2 * n - 1 > kBigWords) { return kErrBigOverflow; }
  if (2 * n <= kBigWords && &r != &a) {
    sqr_words(r.words, a.words, n);
    big_set_words(r, r.words, 2 * n, 0);
    return kOk;
  }
  Wiped<std::array<uint32_t, kBigWords + 1>> t;
  sqr_words(t.get().data(), a.words, n);
  return store_product(r, t.get().data(), 2 * n, 0);
}

// Quotient and remainder of magnitudes by a word; q may be a, q and rem may be null.
Status big_div_word(Big *q, uint32_t *rem, const Big &a, uint32_t w) {
  if (w == 0) { return kErrBigDivByZero; }
  const int n = big_used(a);
  const uint32_t sign = sign_of(a);
  uint64_t r = 0;
  for (int i = n - 1; i >= 0; i--) {
    const uint64_t cur = (r << 32) | a.words[i];
    r = cur % w;
    if (q != nullptr) { q->words[i] = static_cast<uint32_t>(cur / w); }
  }
  if (q != nullptr) { big_set_words(*q, q->words, n, sign); }
  if (rem != nullptr) { *rem = static_cast<uint32_t>(r); }
  return kOk;
}

// |a| = q * |b| + r, 0 <= r < |b|; q.sign = a.sign XOR b.sign. q, r distinct from a, b and
// each other; either may be null.
Status big_div(Big *q, Big *r, const Big &a, const Big &b) {
  const int nb = big_used(b);
  if (nb == 0) { return kErrBigDivByZero; }
  const int na = big_used(a);
  const uint32_t qsign = sign_of(a) ^ sign_of(b);
  if (nb == 1) {
    uint32_t rem = 0;
    if (q != nullptr) {
      Big_Dump(q, &a);
      QL_TRY(big_div_word(q, &rem, *q, b.words[0]));
      q->sign = big_used(*q) == 0 ? 0 : qsign;
    } else {
      QL_TRY(big_div_word(nullptr, &rem, a, b.words[0]));
    }
    if (r != nullptr) { big_set_words(*r, &rem, 1, 0); }
    return kOk;
  }
  if (na < nb) {
    if (r != nullptr) { big_set_words(*r, a.words, na, 0); }
    if (q != nullptr) { big_set_words(*q, q->words, 0, 0); }
    return kOk;
  }
  // Normalise: shift both until the divisor's top bit is set.
  // Only the words in use are wiped: these buffers are rewritten on every division.
  uint32_t un[kBigWords + 1];
  uint32_t vn[kBigWords];
  const WipeOnExit un_guard(un, sizeof(uint32_t) * static_cast<size_t>(na + 1));
  const WipeOnExit vn_guard(vn, sizeof(uint32_t) * static_cast<size_t>(nb));
  const unsigned s = static_cast<unsigned>(clz32(b.words[nb - 1]));
  for (int i = nb - 1; i > 0; i--) {
    vn[i] = s == 0 ? b.words[i] : (b.words[i] << s) | (b.words[i - 1] >> (32 - s));
  }
  vn[0] = b.words[0] << s;
  un[na] = s == 0 ? 0 : a.words[na - 1] >> (32 - s);
  for (int i = na - 1; i > 0; i--) {
    un[i] = s == 0 ? a.words[i] : (a.words[i] << s) | (a.words[i - 1] >> (32 - s));
  }
  un[0] = a.words[0] << s;
  const uint64_t vtop = vn[nb - 1];
  const uint64_t vnext = vn[nb - 2];
  for (int j = na - nb; j >= 0; j--) {
    // Estimate the quotient word from the top two words, then correct it with the third.
    const uint64_t num = (uint64_t{un[j + nb]} << 32) | un[j + nb - 1];
    uint64_t qhat = num / vtop;
    uint64_t rhat = num % vtop;
    while (qhat > 0xFFFFFFFFu || qhat * vnext > ((rhat << 32) | un[j + nb - 2])) {
      qhat--;
      rhat += vtop;
      if (rhat > 0xFFFFFFFFu) { break; }
    }
    // Multiply and subtract qhat * v from un[j..j+nb].
    uint32_t carry = 0;
    uint32_t borrow = 0;
    for (int i = 0; i < nb; i++) {
      const uint64_t p = qhat * vn[i] + carry;
      carry = static_cast<uint32_t>(p >> 32);
      const uint32_t pl = static_cast<uint32_t>(p);
      const uint32_t x = un[i + j];
      const uint32_t d = x - pl;
      const uint32_t nb_out = (x < pl ? 1u : 0u) | (d < borrow ? 1u : 0u);
      un[i + j] = d - borrow;
      borrow = nb_out;
    }
    const uint32_t x = un[j + nb];
    const uint32_t d = x - carry;
    const uint32_t negative = (x < carry ? 1u : 0u) | (d < borrow ? 1u : 0u);
    un[j + nb] = d - borrow;
    uint32_t qword = static_cast<uint32_t>(qhat);
    if (negative != 0) {
      // The estimate was one too large: add the divisor back once.
      qword--;
      const uint32_t c = add_limbs(un + j, un + j, vn, static_cast<size_t>(nb));
      un[j + nb] += c;
    }
    if (q != nullptr) { q->words[j] = qword; }
  }
  if (q != nullptr) { big_set_words(*q, q->words, na - nb + 1, qsign); }
  if (r != nullptr) {
    for (int i = 0; i < nb; i++) {
      r->words[i] = s == 0 ? un[i] : (un[i] >> s) | (un[i + 1] << (32 - s));
    }
    big_set_words(*r, r->words, nb, 0);
  }
  return kOk;
}

// Least non-negative residue of a modulo |m|; r may be a.
Status big_mod(Big &r, const Big &a, const Big &m) {
  const bool negative = sign_of(a) != 0;
  if (&r != &a && &r != &m) {
    QL_TRY(big_div(nullptr, &r, a, m));
    if (negative && big_used(r) != 0) { abs_sub_ordered(r, m, r, 0); }
    return kOk;
  }
  Wiped<Big> rho;
  QL_TRY(big_div(nullptr, rho.ptr(), a, m));
  if (negative && big_used(rho.get()) != 0) {
    abs_sub_ordered(r, m, rho.get(), 0);
  } else {
    big_set_words(r, rho.get().words, big_used(rho.get()), 0);
  }
  return kOk;
}

Status big_rshift(Big &r, const Big &a, uint32_t n) {
  const int na = big_used(a);
  const uint32_t sign = sign_of(a);
  const uint32_t words = n / 32;
  const unsigned s = n % 32;
  if (words >= static_cast<uint32_t>(na)) {
    big_set_words(r, r.words, 0, 0);
    return kOk;
  }
  const int len = na - static_cast<int>(words);
  for (int i = 0; i < len; i++) {
    const uint32_t lo = a.words[i + static_cast<int>(words)];
    const uint32_t hi = i + 1 < len ? a.words[i + 1 + static_cast<int>(words)] : 0;
    r.words[i] = s == 0 ? lo : (lo >> s) | (hi << (32 - s));
  }
  big_set_words(r, r.words, len, sign);
  return kOk;
}

Status big_lshift(Big &r, const Big &a, uint32_t n) {
  const int na = big_used(a);
  const uint32_t sign = sign_of(a);
  if (na == 0) {
    big_set_words(r, r.words, 0, 0);
    return kOk;
  }
  const uint32_t top_bits = 32 - static_cast<uint32_t>(clz32(a.words[na - 1]));
  const uint64_t total_bits = 32 * uint64_t(na - 1) + top_bits + n;
  if (total_bits > 32 * uint64_t{kBigWords}) { return kErrBigOverflow; }
  const int words = static_cast<int>(n / 32);
  const unsigned s = n % 32;
  const int len = static_cast<int>((total_bits + 31) / 32);
  // From the top down, so that r may be a.
  for (int i = len - 1; i >= words; i--) {
    const int k = i - words;
    const uint32_t hi = k < na ? a.words[k] : 0;
    const uint32_t lo = k >= 1 ? a.words[k - 1] : 0;
    r.words[i] = s == 0 ? hi : (hi << s) | (lo >> (32 - s));
  }
  for (int i = 0; i < words; i++) { r.words[i] = 0; }
  big_set_words(r, r.words, len, sign);
  return kOk;
}

// Binary GCD of magnitudes; g may be a or b.
Status big_gcd(Big &g, const Big &a, const Big &b) {
  Wiped<Big> u_store;
  Wiped<Big> v_store;
  Big &u = u_store.get();
  Big &v = v_store.get();
  Big_Dump(&u, &a);
  Big_Dump(&v, &b);
  u.sign = 0;
  v.sign = 0;
  big_normalize(u);
  big_normalize(v);
  if (big_used(u) == 0 || big_used(v) == 0) {
    // gcd(x, 0) = x: the binary loop below would never end on a zero operand.
    const Big &x = big_used(u) == 0 ? v : u;
    big_set_words(g, x.words, big_used(x), 0);
    return kOk;
  }
  auto trailing_zeros = [](const Big &x) {
    uint32_t k = 0;
    int i = 0;
    while (x.words[i] == 0) {
      k += 32;
      i++;
    }
    return k + static_cast<uint32_t>(ctz32(x.words[i]));
  };
  const uint32_t tu = trailing_zeros(u);
  const uint32_t tv = trailing_zeros(v);
  const uint32_t k = tu < tv ? tu : tv;
  QL_TRY(big_rshift(u, u, tu));
  QL_TRY(big_rshift(v, v, k));
  // *odd stays odd; *other loses its factors of two and the smaller is subtracted from the
  // larger until it reaches zero.
  Big *odd = &u;
  Big *other = &v;
  while (big_used(*other) != 0) {
    QL_TRY(big_rshift(*other, *other, trailing_zeros(*other)));
    if (big_ucomp(*odd, *other) > 0) { std::swap(odd, other); }
    abs_sub_ordered(*other, *other, *odd, 0);
  }
  return big_lshift(g, *odd, k);
}

// Binary extended GCD of |a| and |b|: g = s*|a| + t*|b|; outputs distinct.
Status big_ext_gcd(Big &g, Big &s, Big &t, const Big &a, const Big &b) {
  Wiped<std::array<Big, 8>> store;
  Big &x = store.get()[0];
  Big &y = store.get()[1];
  Big &u = store.get()[2];
  Big &v = store.get()[3];
  Big &ca = store.get()[4];
  Big &cb = store.get()[5];
  Big &cc = store.get()[6];
  Big &cd = store.get()[7];
  big_set_words(x, a.words, big_used(a), 0);
  big_set_words(y, b.words, big_used(b), 0);
  if (big_used(x) == 0 || big_used(y) == 0) {
    // gcd(x, 0) = x with s = 1, t = 0; gcd(0, y) = y with s = 0, t = 1.
    const bool y_only = big_used(x) == 0 && big_used(y) != 0;
    const Big &src = y_only ? y : x;
    big_set_words(g, src.words, big_used(src), 0);
    const uint32_t one = 1;
    big_set_words(s, &one, y_only ? 0 : 1, 0);
    big_set_words(t, &one, y_only ? 1 : 0, 0);
  } else {
    uint32_t k = 0;
    while ((x.words[0] & 1) == 0 && (y.words[0] & 1) == 0) {
      QL_TRY(big_rshift(x, x, 1));
      QL_TRY(big_rshift(y, y, 1));
      k++;
    }
    const uint32_t one = 1;
    Big_Dump(&u, &x);
    Big_Dump(&v, &y);
    big_set_words(ca, &one, 1, 0);
    big_set_words(cb, &one, 0, 0);
    big_set_words(cc, &one, 0, 0);
    big_set_words(cd, &one, 1, 0);
    // Invariants: ca*x + cb*y = u and cc*x + cd*y = v.
    auto halve = [&](Big &w, Big &c1, Big &c2) -> Status {
      while ((w.words[0] & 1) == 0) {
        QL_TRY(big_rshift(w, w, 1));
        if ((c1.words[0] & 1) != 0 || (c2.words[0] & 1) != 0) {
          QL_TRY(add_signed(c1, c1, sign_of(c1), y, 0));
          QL_TRY(add_signed(c2, c2, sign_of(c2), x, 1));
        }
        QL_TRY(big_rshift(c1, c1, 1));
        QL_TRY(big_rshift(c2, c2, 1));
      }
      return kOk;
    };
    while (big_used(u) != 0) {
      QL_TRY(halve(u, ca, cb));
      QL_TRY(halve(v, cc, cd));
      if (big_ucomp(u, v) >= 0) {
        abs_sub_ordered(u, u, v, 0);
        QL_TRY(add_signed(ca, ca, sign_of(ca), cc, sign_of(cc) ^ 1));
        QL_TRY(add_signed(cb, cb, sign_of(cb), cd, sign_of(cd) ^ 1));
      } else {
        abs_sub_ordered(v, v, u, 0);
        QL_TRY(add_signed(cc, cc, sign_of(cc), ca, sign_of(ca) ^ 1));
        QL_TRY(add_signed(cd, cd, sign_of(cd), cb, sign_of(cb) ^ 1));
      }
    }
    QL_TRY(big_lshift(g, v, k));
    Big_Dump(&s, &cc);
    Big_Dump(&t, &cd);
  }
  // Coefficients for the signed operands: s*a + t*b = g.
  if (sign_of(a) != 0 && big_used(s) != 0) { s.sign ^= 1; }
  if (sign_of(b) != 0 && big_used(t) != 0) { t.sign ^= 1; }
  return kOk;
}

// Classic extended Euclid; returns 1 with r = a^-1 mod m, or 0 with r cleared.
int32_t big_inv(Big &r, const Big &a, const Big &m) {
  if (big_used(a) == 0 || big_used(m) == 0) {
    big_clear(r);
    return 0;
  }
  Wiped<std::array<Big, 6>> store;
  Big &r0 = store.get()[0];
  Big &r1 = store.get()[1];
  Big &t0 = store.get()[2];
  Big &t1 = store.get()[3];
  Big &q = store.get()[4];
  Big &tmp = store.get()[5];
  big_set_words(r0, m.words, big_used(m), 0);
  if (big_mod(r1, a, m) != kOk) { return 0; }
  const uint32_t one = 1;
  big_set_words(t0, &one, 0, 0);
  big_set_words(t1, &one, 1, 0);
  // Magnitudes of the cofactors of a; their signs alternate, tracked by `negative`
  // (the sign of t1).
  bool negative = false;
  while (big_used(r1) != 0) {
    if (big_div(&q, &tmp, r0, r1) != kOk) { return 0; }
    Big_Dump(&r0, &r1);
    Big_Dump(&r1, &tmp);
    if (big_mul(tmp, q, t1) != kOk || abs_add(tmp, tmp, t0, 0) != kOk) { return 0; }
    Big_Dump(&t0, &t1);
    Big_Dump(&t1, &tmp);
    negative = !negative;
  }
  const uint32_t g = r0.words[0];
  if (big_used(r0) != 1 || g != 1) {
    big_clear(r);
    return 0;
  }
  // t0 is the cofactor, with the sign opposite to t1's; reduce it into [0, m).
  t0.sign = negative ? 0 : 1;
  if (big_mod(r, t0, m) != kOk) { return 0; }
  return 1;
}


// ---- Montgomery arithmetic ---------------------------------------------------------------
//
// The engine (bigint/ql_mont.h) works on arrays of `len` limbs with R = 2^(limb bits * len).
// The exported primitives run it on 32-bit words, so their R is 2^(32 * N.length); the
// exponentiations run it on 64-bit limbs where available (their R is internal: only g^e mod N
// leaves them).

namespace {

bool exp_bit(const Big &e, int i) { return ((e.words[i / 32] >> (i % 32)) & 1u) != 0; }

// out = g^e * R mod n ... then out of Montgomery form: out = g^e mod n, for g < n given in
// limbs and rr = R^2 mod n. Sliding window over the bits of e, variable time in e; the
// window is 4 bits, 5 from 101 one bits on. The table and scratch come from the heap;
// failure gives `alloc_code` in critical form.
template <typename L>
Status mont_exp(L *out, const L *g, const L *rr, const Big &e, const Mont<L> &m,
                Status alloc_code) {
  const size_t n = m.len;
  const int ne = big_used(e);
  int ones = 0;
  for (int i = 0; i < ne; i++) { ones += popcount32(e.words[i]); }
  const int top = ne == 0 ? 0 : 32 * (ne - 1) + 31 - clz32(e.words[ne - 1]);
  const int w = ones < 101 ? 4 : 5;
  const size_t num_table = size_t{1} << (w - 1);
  // Odd powers g, g^3, ..., then g^2, the accumulator and 2n + 1 limbs of scratch.
  Buffer block(sizeof(L) * (num_table * n + 2 * n + 2 * n + 1));
  if (!block) { return critical(alloc_code); }
  L *table = reinterpret_cast<L *>(block.data());
  L *g2 = table + num_table * n;
  L *acc = g2 + n;
  L *t = acc + n;
  mont_mul(table, g, rr, m, t);
  mont_sqr(g2, table, m, t);
  for (size_t i = 1; i < num_table; i++) { mont_mul(table + i * n, table + (i - 1) * n, g2, m, t); }
  // acc = R mod n, the Montgomery form of one.
  for (size_t i = 0; i < n; i++) {
    t[i] = rr[i];
    t[n + i] = 0;
  }
  mont_redc(acc, t, m);
  int i = top;
  while (i >= 0) {
    if (!exp_bit(e, i)) {
      mont_sqr(acc, acc, m, t);
      i--;
      continue;
    }
    int len = i + 1 < w ? i + 1 : w;
    uint32_t v = 0;
    for (int k = 0; k < len; k++) { v = (v << 1) | (exp_bit(e, i - k) ? 1u : 0u); }
    while ((v & 1u) == 0) {
      v >>= 1;
      len--;
    }
    for (int k = 0; k < len; k++) { mont_sqr(acc, acc, m, t); }
    mont_mul(acc, acc, table + ((v - 1) / 2) * n, m, t);
    i -= len;
  }
  for (size_t k = 0; k < n; k++) {
    t[k] = acc[k];
    t[n + k] = 0;
  }
  mont_redc(out, t, m);
  return kOk;
}

// Number of significant words of the modulus, or the status that refuses it.
Status modulus_words(const Big &N, int &n) {
  n = big_used(N);
  if (n == 0) { return kErrBigDivByZero; }
  if (n > kMontMaxWords) { return kErrBigOverflow; }
  return kOk;
}

// x reduced into [0, N) when it is negative or not below N, else copied.
Status reduce_operand(Big &out, const Big &x, const Big &N) {
  if (sign_of(x) != 0 || big_ucomp(x, N) >= 0) { return big_mod(out, x, N); }
  big_set_words(out, x.words, big_used(x), 0);
  return kOk;
}

// g^e mod N on limbs of type L, with rr = R^2 mod N for R = 2^(limb bits * limbs); g < N.
template <typename L>
Status exp_on_limbs(Big &r, const Big &g, const Big &e, const Big &N, int nN, const Big &rr,
                    const L *n0_or_null, Status alloc_code) {
  constexpr size_t kMaxLimbs = kMontMaxWords / sizeof(L) * 4;
  const size_t num_limbs = static_cast<size_t>((nN + kWordsPerLimb<L> - 1) / kWordsPerLimb<L>);
  L nl[kMaxLimbs];
  Wiped<std::array<L, kMaxLimbs>> gl;
  Wiped<std::array<L, kMaxLimbs>> rrl;
  Wiped<std::array<L, kMaxLimbs>> out;
  words_to_limbs(nl, num_limbs, N.words, nN);
  words_to_limbs(gl.get().data(), num_limbs, g.words, big_used(g));
  words_to_limbs(rrl.get().data(), num_limbs, rr.words, big_used(rr));
  const Mont<L> m{nl, num_limbs, n0_or_null != nullptr ? *n0_or_null : neg_inverse<L>(nl[0])};
  QL_TRY(mont_exp(out.get().data(), gl.get().data(), rrl.get().data(), e, m, alloc_code));
  uint32_t words[kMontMaxWords];
  limbs_to_words(words, out.get().data(), num_limbs);
  big_set_words(r, words, static_cast<int>(num_limbs) * kWordsPerLimb<L>, 0);
  wipe(words, sizeof(words));
  return kOk;
}

#if defined(QL_BIG_LIMB64)
using ExpLimb = uint64_t;
#else
using ExpLimb = uint32_t;
#endif

// The Montgomery primitives on the words of a record: the modulus and its context.
struct WordMont {
  Mont<uint32_t> m;
  int n;
};

Status word_mont(const QL_MONT_CTX &ctx, const Big &N, WordMont &wm) {
  QL_TRY(modulus_words(N, wm.n));
  wm.m = Mont<uint32_t>{N.words, static_cast<size_t>(wm.n), ctx.n_prime};
  return kOk;
}

// The words of x < N zero-extended to n words.
void pad_words(std::array<uint32_t, kMontMaxWords> &out, const Big &x, int n) {
  const int nx = big_used(x);
  for (int i = 0; i < n; i++) { out[static_cast<size_t>(i)] = i < nx ? x.words[i] : 0; }
}

}  // namespace

}  // namespace ql

// Exported functions.

int32_t Big_AbsAdd(Big *r, const Big *a, const Big *b) {
  return ql::abs_add(*r, *a, *b, r->sign);
}

int32_t Big_AbsSub(Big *r, const Big *a, const Big *b) {
  const uint32_t sign = r->sign;
  const int c = ql::big_ucomp(*a, *b);
  if (c == 0) {
    ql::big_clear(*r);
  } else if (c > 0) {
    ql::abs_sub_ordered(*r, *a, *b, sign);
  } else {
    ql::abs_sub_ordered(*r, *b, *a, sign);
  }
  return ql::kOk;
}

int32_t Big_Add(Big *r, const Big *a, const Big *b) {
  return ql::add_signed(*r, *a, ql::sign_of(*a), *b, ql::sign_of(*b));
}

int32_t Big_Sub(Big *r, const Big *a, const Big *b) {
  return ql::add_signed(*r, *a, ql::sign_of(*a), *b, ql::sign_of(*b) ^ 1);
}

int32_t Big_AddByWord(Big *r, const Big *a, uint32_t w) {
  Big wb{};
  wb.length = 1;
  wb.words[0] = w;
  return ql::add_signed(*r, *a, ql::sign_of(*a), wb, 0);
}

int32_t Big_SubByWord(Big *r, const Big *a, uint32_t w) {
  Big wb{};
  wb.length = 1;
  wb.words[0] = w;
  return ql::add_signed(*r, *a, ql::sign_of(*a), wb, 1);
}

int32_t Big_AbsInc(Big *a) {
  const int n = ql::big_used(*a);
  int i = 0;
  while (i < n && a->words[i] == 0xFFFFFFFFu) { i++; }
  if (i == ql::kBigWords) { return ql::kErrBigOverflow; }
  for (int k = 0; k < i; k++) { a->words[k] = 0; }
  a->words[i] = i < n ? a->words[i] + 1 : 1;
  ql::big_set_words(*a, a->words, i >= n ? i + 1 : n, ql::sign_of(*a));
  return ql::kOk;
}

int32_t Big_AbsDec(Big *a) {
  const int n = ql::big_used(*a);
  if (n == 0) {
    ql::big_set_words(*a, a->words, 0, 0);
    return ql::kOk;
  }
  int i = 0;
  while (a->words[i] == 0) { a->words[i++] = 0xFFFFFFFFu; }
  a->words[i]--;
  ql::big_set_words(*a, a->words, n, ql::sign_of(*a));
  return ql::kOk;
}

int32_t BAdd(Big *r, const Big *a, const Big *b) {
  const Big *x = a;
  const Big *y = b;
  int nx = ql::big_used(*a);
  int ny = ql::big_used(*b);
  if (nx < ny) {
    std::swap(x, y);
    std::swap(nx, ny);
  }
  for (int i = 0; i < ny; i++) { r->words[i] = x->words[i] ^ y->words[i]; }
  for (int i = ny; i < nx; i++) { r->words[i] = x->words[i]; }
  ql::big_set_words(*r, r->words, nx, r->sign);
  return ql::kOk;
}

int32_t EB_Add(Big *r, const Big *a, const Big *b) {
  return ql::big_used(*a) >= ql::big_used(*b) ? BAdd(r, a, b) : BAdd(r, b, a);
}

int32_t NAdd(Big *r, const Big *a, const Big *b) {
  return ql::abs_add(*r, *a, *b, r->sign);
}

int32_t IsLargerDeg(const Big *a, const Big *b) {
  const int na = ql::big_used(*a);
  const int nb = ql::big_used(*b);
  if (na != nb) { return na > nb ? 1 : 0; }
  if (na == 0) { return 0; }
  const uint32_t at = a->words[na - 1];
  const uint32_t bt = b->words[nb - 1];
  return (bt < (at ^ bt) && bt < at) ? 1 : 0;
}

int32_t Big_Mul(Big *r, const Big *a, const Big *b) { return ql::big_mul(*r, *a, *b); }

int32_t Big_Sqr(Big *r, const Big *a) { return ql::big_sqr(*r, *a); }

uint32_t NMul(uint32_t *out, const uint32_t *in, int32_t n, uint32_t w) {
  if (n <= 0) { return 0; }
  return ql::mul_row<uint32_t>(out, in, static_cast<size_t>(n), w);
}

uint32_t NMulAdd(uint32_t *out, const uint32_t *in, int32_t n, uint32_t w) {
  if (n <= 0) { return 0; }
  return ql::mul_add_row<uint32_t>(out, in, static_cast<size_t>(n), w);
}

int32_t Big_LShift1(Big *r, const Big *a) { return ql::big_lshift(*r, *a, 1); }

int32_t Big_RShift1(Big *r, const Big *a) { return ql::big_rshift(*r, *a, 1); }

int32_t Big_LShift(Big *r, const Big *a, uint32_t n) { return ql::big_lshift(*r, *a, n); }

int32_t Big_RShift(Big *r, const Big *a, uint32_t n) { return ql::big_rshift(*r, *a, n); }

int32_t Big_DivByWord(Big *q, uint32_t *rem, const Big *a, uint32_t w) {
  return ql::big_div_word(q, rem, *a, w);
}

uint32_t Big_ModU32(const Big *a, uint32_t w) {
  uint32_t rem = 0;
  if (ql::big_div_word(nullptr, &rem, *a, w) != ql::kOk) { return 0; }
  return rem;
}

int32_t Big_Div(Big *q, Big *r, const Big *a, const Big *b) { return ql::big_div(q, r, *a, *b); }

int32_t Big_Mod(Big *r, const Big *a, const Big *m) { return ql::big_mod(*r, *a, *m); }

int32_t Big_MulMod(Big *r, const Big *a, const Big *b, const Big *m) {
  ql::Wiped<Big> t;
  QL_TRY(ql::big_mul(t.get(), *a, *b));
  return ql::big_mod(*r, t.get(), *m);
}

int32_t Big_SqrMod(Big *r, const Big *a, const Big *m) {
  ql::Wiped<Big> t;
  QL_TRY(ql::big_sqr(t.get(), *a));
  return ql::big_mod(*r, t.get(), *m);
}

int32_t Big_SubMod(Big *r, const Big *a, const Big *b, const Big *m) {
  ql::Wiped<Big> t;
  QL_TRY(Big_Sub(t.ptr(), a, b));
  return ql::big_mod(*r, t.get(), *m);
}

int32_t Big_ModAdd(Big *r, const Big *a, const Big *b, const Big *m) {
  ql::Wiped<Big> t;
  QL_TRY(Big_Add(t.ptr(), a, b));
  return ql::big_mod(*r, t.get(), *m);
}

int32_t Big_GCD(Big *g, const Big *a, const Big *b) { return ql::big_gcd(*g, *a, *b); }

int32_t Big_ExtendedGCD(Big *g, Big *s, Big *t, const Big *a, const Big *b) {
  return ql::big_ext_gcd(*g, *s, *t, *a, *b);
}

int32_t Big_InvMod(Big *x, const Big *a, const Big *m) {
  if (ql::big_used(*m) == 0) { return ql::kErrBigNoInverse; }
  ql::Wiped<std::array<Big, 2>> store;
  Big &g = store.get()[0];
  Big &s = store.get()[1];
  QL_TRY(ql::big_ext_gcd(g, s, *x, *m, *a));
  if (ql::big_used(g) != 1 || g.words[0] != 1) { return ql::kErrBigNoInverse; }
  return ql::big_mod(*x, *x, *m);
}

int32_t Big_Inv(Big *r, const Big *a, const Big *m) {
  if (ql::sign_of(*a) != 0 || ql::sign_of(*m) != 0) { return 0; }
  return ql::big_inv(*r, *a, *m);
}

QL_MONT_CTX *QL_MONT_CTX_New(void) {
  void *p = ql::alloc(sizeof(QL_MONT_CTX));
  if (p == nullptr) { return nullptr; }
  std::memset(p, 0, sizeof(QL_MONT_CTX));
  return static_cast<QL_MONT_CTX *>(p);
}

void QL_MONT_CTX_Delete(QL_MONT_CTX *ctx) { ql::free_wiped(ctx, sizeof(QL_MONT_CTX)); }

int32_t Big_MontInit(QL_MONT_CTX *ctx, Big *rr, const Big *N) {
  int n = 0;
  QL_TRY(ql::modulus_words(*N, n));
  ctx->n_prime = ql::neg_inverse<uint32_t>(N->words[0]);
  // R^2 = 2^(64n): bit 64n sits in word 2n <= 256.
  ql::Wiped<Big> pow;
  pow.get().words[2 * n] = 1;
  pow.get().length = 2 * n + 1;
  return ql::big_div(&ctx->work, rr, pow.get(), *N);
}

int32_t Big_MontReduction(QL_MONT_CTX *ctx, Big *r, const Big *T, const Big *N) {
  ql::WordMont wm{};
  QL_TRY(ql::word_mont(*ctx, *N, wm));
  const int n = wm.n;
  ql::Wiped<Big> reduced;
  const Big *src = T;
  const int nt = ql::big_used(*T);
  // T < N * R is what the reduction handles; anything else is first reduced modulo N.
  if (ql::sign_of(*T) != 0 || nt > 2 * n ||
      (nt == 2 * n && ql::cmp_limbs(T->words + n, N->words, static_cast<size_t>(n)) >= 0)) {
    QL_TRY(ql::big_mod(reduced.get(), *T, *N));
    src = reduced.ptr();
  }
  uint32_t *t = ctx->work.words;
  const int ns = ql::big_used(*src);
  for (int i = 0; i < 2 * n + 1; i++) { t[i] = i < ns ? src->words[i] : 0; }
  ql::Wiped<std::array<uint32_t, ql::kMontMaxWords>> res;
  ql::mont_redc(res.get().data(), t, wm.m);
  ctx->work.length = 2 * n + 1;
  ql::big_normalize(ctx->work);
  ql::big_set_words(*r, res.get().data(), n, 0);
  return ql::kOk;
}

int32_t Big_MontMul(QL_MONT_CTX *ctx, Big *r, const Big *a, const Big *b, const Big *N) {
  ql::WordMont wm{};
  QL_TRY(ql::word_mont(*ctx, *N, wm));
  ql::Wiped<std::array<Big, 2>> reduced;
  QL_TRY(ql::reduce_operand(reduced.get()[0], *a, *N));
  QL_TRY(ql::reduce_operand(reduced.get()[1], *b, *N));
  ql::Wiped<std::array<uint32_t, ql::kMontMaxWords>> x;
  ql::Wiped<std::array<uint32_t, ql::kMontMaxWords>> y;
  ql::pad_words(x.get(), reduced.get()[0], wm.n);
  ql::pad_words(y.get(), reduced.get()[1], wm.n);
  ql::mont_mul(x.get().data(), x.get().data(), y.get().data(), wm.m, ctx->work.words);
  ctx->work.length = wm.n + 1;
  ql::big_normalize(ctx->work);
  ql::big_set_words(*r, x.get().data(), wm.n, 0);
  return ql::kOk;
}

int32_t Big_MontSqr(QL_MONT_CTX *ctx, Big *r, const Big *a, const Big *N) {
  ql::WordMont wm{};
  QL_TRY(ql::word_mont(*ctx, *N, wm));
  ql::Wiped<Big> reduced;
  QL_TRY(ql::reduce_operand(reduced.get(), *a, *N));
  ql::Wiped<std::array<uint32_t, ql::kMontMaxWords>> x;
  ql::pad_words(x.get(), reduced.get(), wm.n);
  ql::mont_sqr(x.get().data(), x.get().data(), wm.m, ctx->work.words);
  ctx->work.length = 2 * wm.n;
  ql::big_normalize(ctx->work);
  ql::big_set_words(*r, x.get().data(), wm.n, 0);
  return ql::kOk;
}

int32_t Big_ModExpWindowMont(Big *r, const Big *g, const Big *e, const Big *N) {
  int n = 0;
  QL_TRY(ql::modulus_words(*N, n));
  constexpr int kWpl = ql::kWordsPerLimb<ql::ExpLimb>;
  const int num_words = (n + kWpl - 1) / kWpl * kWpl;  // R = 2^(32 * num_words)
  ql::Wiped<std::array<Big, 2>> store;
  Big &rr = store.get()[0];
  Big &gr = store.get()[1];
  {
    ql::Wiped<Big> pow;
    pow.get().words[2 * num_words] = 1;
    pow.get().length = 2 * num_words + 1;
    QL_TRY(ql::big_div(nullptr, &rr, pow.get(), *N));
  }
  QL_TRY(ql::reduce_operand(gr, *g, *N));
  return ql::exp_on_limbs<ql::ExpLimb>(*r, gr, *e, *N, n, rr, nullptr, ql::kErrBigExpAlloc);
}

int32_t Big_ModExp(Big *r, const Big *g, const Big *e, const Big *N) {
  return Big_ModExpWindowMont(r, g, e, N);
}

int32_t Big_ModExpWindow2(Big *r, const Big *g, const Big *e, const Big *N, QL_MONT_CTX *ctx,
                          const Big *rr) {
  int n = 0;
  QL_TRY(ql::modulus_words(*N, n));
  ql::Wiped<std::array<Big, 2>> store;
  Big &rr_reduced = store.get()[0];
  Big &gr = store.get()[1];
  QL_TRY(ql::reduce_operand(gr, *g, *N));
  // An odd modulus (every caller's: the prime tests' candidates and their factors, secret until
  // they are discarded or become a key) goes to the constant-time engine, which has the
  // processor's kernels (MULX, IFMA) and prepares its own R^2; the result is the same.
  if ((N->words[0] & 1u) != 0 && (n > 1 || N->words[0] >= 3)) {
    return ql::big_mod_exp_consttime(*r, gr, *e, *N, ql::kErrBigExpWindow2Alloc);
  }
  QL_TRY(ql::reduce_operand(rr_reduced, *rr, *N));
#if defined(QL_BIG_LIMB64)
  // With an even word count R is the same for 64-bit limbs, so the caller's R^2 serves both.
  if (n % 2 == 0) {
    return ql::exp_on_limbs<uint64_t>(*r, gr, *e, *N, n, rr_reduced, nullptr,
                                      ql::kErrBigExpWindow2Alloc);
  }
#endif
  return ql::exp_on_limbs<uint32_t>(*r, gr, *e, *N, n, rr_reduced, &ctx->n_prime,
                                    ql::kErrBigExpWindow2Alloc);
}
