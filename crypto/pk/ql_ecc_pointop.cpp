// Points of a prime-field curve: copy, comparison, affine addition through the curve record's
// operations, the curve equation, square roots, the octet-string forms, and scalar
// multiplication. The multiplications run on a field engine of 64-bit limbs (32-bit where the
// compiler has no 128-bit product) in Montgomery form over the record's p, with Jacobian
// points and one inversion at the end; on x86-64 with MULX and ADX its products, sums and
// differences run on the kernel of crypto/x86, chosen once. Records it does not serve fall back
// to affine additions through the record. The NAF and signed-window methods and the joint
// multiplication of verification branch on the scalars' digits (public scalars only);
// ecc_mul_secret uses fixed windows and masked table scans, constant time.
#include <array>
#include <cstdint>
#include <new>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "internal/ql_ct.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "pk/ql_ecc.h"
#include "platform/ql_cpu.h"
#if QL_X86_ACCEL
#include "x86/ql_ecc_hw.h"
#endif

namespace ql {
namespace {

// ---- Field engine ------------------------------------------------------------------------

#if defined(QL_BIG_LIMB64)
using Limb = uint64_t;
#else
using Limb = uint32_t;
#endif
using Wl = Wide<Limb>::type;
constexpr unsigned kBits = kLimbBits<Limb>;
constexpr int kN = static_cast<int>(256 / kBits);  // limbs of a field element
constexpr int kWordsPerLimb = static_cast<int>(kBits / 32);

#if defined(__GNUC__)
#define QL_ECC_INLINE inline __attribute__((always_inline))
#else
#define QL_ECC_INLINE inline
#endif

// A field element in Montgomery form (value * 2^256 mod p), below p.
struct Fe {
  Limb v[kN];
};

#if QL_X86_ACCEL && defined(QL_BIG_LIMB64)
#define QL_ECC_MULX 1
#else
#define QL_ECC_MULX 0
#endif

const Mont4Kernel kPortableKernel = {nullptr, nullptr, nullptr, nullptr};
#if QL_ECC_MULX
const Mont4Kernel kMulxKernel = {mulx::fe4_mul, mulx::fe4_sqr, mulx::fe4_add, mulx::fe4_sub};
#endif

const Mont4Kernel *choose_field_kernel() {
#if QL_ECC_MULX
  if (cpu::has(cpu::kMulx)) {
    return &kMulxKernel;
  }
#endif
  return &kPortableKernel;
}

cpu::Choice<Mont4Kernel> field_kernel_choice(choose_field_kernel);

struct Field {
  Mont4Kernel kernel;  // null members: the portable code below, inlined
  Limb p[kN];
  Limb n0;  // -p^-1 mod 2^kBits
  Fe rr;    // 2^512 mod p, plain
  Fe one;   // 2^256 mod p: 1 in Montgomery form
  Fe a;
  Fe b;
  bool a_minus3;  // a = p - 3: doubling takes the cheaper formula
};

// All-ones mask when x is zero.
inline Limb limb_is_zero(Limb x) {
  const Limb t = static_cast<Limb>((x | (Limb{0} - x)) >> (kBits - 1));
  return static_cast<Limb>(Limb{0} - (t ^ 1));
}

inline Limb fe_is_zero(const Fe &a) {
  Limb acc = 0;
  for (int i = 0; i < kN; i++) {
    acc |= a.v[i];
  }
  return limb_is_zero(acc);
}

inline void fe_select(Fe &r, Limb mask, const Fe &a, const Fe &b) {  // r = mask ? a : b
  for (int i = 0; i < kN; i++) {
    r.v[i] = b.v[i] ^ (mask & (a.v[i] ^ b.v[i]));
  }
}

// r = a * b * 2^-256 mod p for a, b < p (interleaved Montgomery multiplication); the final
// subtraction is masked, so the time does not depend on the values.
QL_ECC_INLINE void fe_mul(const Field &f, Fe &r, const Fe &a, const Fe &b) {
#if QL_ECC_MULX
  if (f.kernel.mul != nullptr) {
    f.kernel.mul(r.v, a.v, b.v, f.p, f.n0);
    return;
  }
#endif
  Limb t[kN + 2] = {0};
  for (int i = 0; i < kN; i++) {
    Limb c = 0;
    for (int j = 0; j < kN; j++) {
      const Wl s = Wl{a.v[i]} * b.v[j] + t[j] + c;
      t[j] = static_cast<Limb>(s);
      c = static_cast<Limb>(s >> kBits);
    }
    Wl s = Wl{t[kN]} + c;
    t[kN] = static_cast<Limb>(s);
    t[kN + 1] = static_cast<Limb>(s >> kBits);
    const Limb m = static_cast<Limb>(t[0] * f.n0);
    s = Wl{m} * f.p[0] + t[0];
    c = static_cast<Limb>(s >> kBits);
    for (int j = 1; j < kN; j++) {
      s = Wl{m} * f.p[j] + t[j] + c;
      t[j - 1] = static_cast<Limb>(s);
      c = static_cast<Limb>(s >> kBits);
    }
    s = Wl{t[kN]} + c;
    t[kN - 1] = static_cast<Limb>(s);
    t[kN] = static_cast<Limb>(t[kN + 1] + static_cast<Limb>(s >> kBits));
  }
  // t < 2p: subtract p unless that borrows past the top limb.
  Fe d;
  const Limb borrow = sub_limbs<Limb>(d.v, t, f.p, kN);
  const Limb keep = static_cast<Limb>(Limb{0} - static_cast<Limb>(t[kN] < borrow));
  for (int i = 0; i < kN; i++) {
    r.v[i] = d.v[i] ^ (keep & (t[i] ^ d.v[i]));
  }
}

// r = t * 2^-256 mod p for t[0..2 kN) < p 2^256 (Montgomery reduction, masked final
// subtraction); t is overwritten.
QL_ECC_INLINE void fe_redc(const Field &f, Fe &r, Limb *t) {
  Limb top = 0;
  for (int i = 0; i < kN; i++) {
    const Limb m = static_cast<Limb>(t[i] * f.n0);
    Limb c = 0;
    for (int j = 0; j < kN; j++) {
      const Wl s = Wl{m} * f.p[j] + t[i + j] + c;
      t[i + j] = static_cast<Limb>(s);
      c = static_cast<Limb>(s >> kBits);
    }
    const Wl s = Wl{t[i + kN]} + c + top;
    t[i + kN] = static_cast<Limb>(s);
    top = static_cast<Limb>(s >> kBits);
  }
  Fe d;
  const Limb borrow = sub_limbs<Limb>(d.v, t + kN, f.p, kN);
  const Limb keep = static_cast<Limb>(Limb{0} - static_cast<Limb>(top < borrow));
  for (int i = 0; i < kN; i++) {
    r.v[i] = d.v[i] ^ (keep & (t[kN + i] ^ d.v[i]));
  }
}

// r = a^2 * 2^-256 mod p: the square with each cross product once, then the reduction.
QL_ECC_INLINE void fe_sqr(const Field &f, Fe &r, const Fe &a) {
#if QL_ECC_MULX
  if (f.kernel.sqr != nullptr) {
    f.kernel.sqr(r.v, a.v, f.p, f.n0);
    return;
  }
#endif
  Limb t[2 * kN];
  sqr_limbs<Limb>(t, a.v, kN);
  fe_redc(f, r, t);
}

QL_ECC_INLINE void fe_add(const Field &f, Fe &r, const Fe &a, const Fe &b) {
#if QL_ECC_MULX
  if (f.kernel.add != nullptr) {
    f.kernel.add(r.v, a.v, b.v, f.p);
    return;
  }
#endif
  Fe s;
  const Limb carry = add_limbs<Limb>(s.v, a.v, b.v, kN);
  Fe d;
  const Limb borrow = sub_limbs<Limb>(d.v, s.v, f.p, kN);
  // keep s when the sum is below p: no carry out and the subtraction borrowed
  const Limb keep = static_cast<Limb>(Limb{0} - static_cast<Limb>(borrow > carry));
  fe_select(r, keep, s, d);
}

QL_ECC_INLINE void fe_sub(const Field &f, Fe &r, const Fe &a, const Fe &b) {
#if QL_ECC_MULX
  if (f.kernel.sub != nullptr) {
    f.kernel.sub(r.v, a.v, b.v, f.p);
    return;
  }
#endif
  Fe d;
  const Limb borrow = sub_limbs<Limb>(d.v, a.v, b.v, kN);
  Fe pm;
  const Limb mask = static_cast<Limb>(Limb{0} - borrow);
  for (int i = 0; i < kN; i++) {
    pm.v[i] = f.p[i] & mask;
  }
  add_limbs<Limb>(r.v, d.v, pm.v, kN);
}

inline void fe_neg(const Field &f, Fe &r, const Fe &a) {
  const Fe zero{};
  fe_sub(f, r, zero, a);
}

// r = a^(p-2) = a^-1 (0 for 0), by fixed 4-bit windows over the public exponent.
void fe_inv(const Field &f, Fe &r, const Fe &a) {
  Limb e[kN];
  const Limb two[kN] = {2};
  sub_limbs<Limb>(e, f.p, two, kN);
  Fe table[16];
  table[0] = f.one;
  for (int i = 1; i < 16; i++) {
    fe_mul(f, table[i], table[i - 1], a);
  }
  Fe acc = f.one;
  for (int i = kN * static_cast<int>(kBits) / 4 - 1; i >= 0; i--) {
    for (int s = 0; s < 4; s++) {
      fe_sqr(f, acc, acc);
    }
    const unsigned nib = static_cast<unsigned>(e[i / (kBits / 4)] >> (4 * (i % (kBits / 4)))) & 15;
    fe_mul(f, acc, acc, table[nib]);
  }
  r = acc;
  wipe(table, sizeof(table));
}

// Limbs of a value of at most 8 words.
void limbs_from_words(Limb *v, const uint32_t *w, int nw) {
  for (int i = 0; i < kN; i++) {
    v[i] = 0;
  }
  for (int i = 0; i < nw && i < kN * kWordsPerLimb; i++) {
    v[i / kWordsPerLimb] |= static_cast<Limb>(Limb{w[i]} << (32 * (i % kWordsPerLimb)));
  }
}

void big_from_limbs(Big &r, const Limb *v) {
  uint32_t w[8];
  for (int i = 0; i < 8; i++) {
    w[i] = static_cast<uint32_t>(v[i / kWordsPerLimb] >> (32 * (i % kWordsPerLimb)));
  }
  big_set_words(r, w, 8, 0);
  wipe(w, sizeof(w));
}

// Montgomery form of the value x reduced mod p.
Status fe_from_big(const Field &f, Fe &r, const Big &x, const Big &p) {
  Wiped<Big> t;
  const Big *src = &x;
  if (x.sign != 0 || big_ucomp(x, p) >= 0) {
    QL_TRY(big_mod(t.get(), x, p));
    src = t.ptr();
  }
  Fe plain;
  limbs_from_words(plain.v, src->words, big_used(*src));
  fe_mul(f, r, plain, f.rr);
  wipe(&plain, sizeof(plain));
  return kOk;
}

// The plain value of a result that leaves the engine (and so is public from here on).
void fe_to_big(const Field &f, Big &r, const Fe &a) {
  Fe one_plain{};
  one_plain.v[0] = 1;
  Fe plain;
  fe_mul(f, plain, a, one_plain);
  QL_CT_PUBLIC(&plain, sizeof(plain));
  big_from_limbs(r, plain.v);
  wipe(&plain, sizeof(plain));
}

#if defined(QL_TEST_HOOKS)
bool g_force_affine = false;
#endif

bool fast_curve(const QL_ECDSA_PARAMETERS &c) {
  const int pw = big_used(c.p);
  if (pw == 0 || pw > 8 || c.p.sign != 0 || (c.p.words[0] & 1u) == 0) {
    return false;
  }
  if (pw == 1 && c.p.words[0] <= 3) {
    return false;
  }
  return c.a.sign == 0 && c.b.sign == 0 && big_ucomp(c.a, c.p) < 0 && big_ucomp(c.b, c.p) < 0;
}

// True when the point multiplications run on the field engine rather than the record's
// affine addition.
bool engine_serves(const QL_ECDSA_PARAMETERS &c) {
#if defined(QL_TEST_HOOKS)
  if (g_force_affine) {
    return false;
  }
#endif
  return fast_curve(c);
}

Status field_init(Field &f, const QL_ECDSA_PARAMETERS &c) {
  f.kernel = field_kernel_choice.get();
  limbs_from_words(f.p, c.p.words, big_used(c.p));
  Limb inv = f.p[0];  // inverse of p mod 2^kBits by Newton steps, each doubling the bits
  for (int i = 0; i < 6; i++) {
    inv = static_cast<Limb>(inv * static_cast<Limb>(2 - f.p[0] * inv));
  }
  f.n0 = static_cast<Limb>(Limb{0} - inv);
  Big t{};
  t.words[16] = 1;
  t.length = 17;
  Big rr{};
  QL_TRY(big_mod(rr, t, c.p));
  limbs_from_words(f.rr.v, rr.words, big_used(rr));
  Fe one_plain{};
  one_plain.v[0] = 1;
  fe_mul(f, f.one, one_plain, f.rr);
  QL_TRY(fe_from_big(f, f.a, c.a, c.p));
  QL_TRY(fe_from_big(f, f.b, c.b, c.p));
  Limb a3[kN];
  const Limb three[kN] = {3};
  Limb a_plain[kN];
  limbs_from_words(a_plain, c.a.words, big_used(c.a));
  const Limb carry = add_limbs<Limb>(a3, a_plain, three, kN);
  f.a_minus3 = carry == 0 && cmp_limbs<Limb>(a3, f.p, kN) == 0;
  return kOk;
}

// ---- Jacobian points: (X, Y, Z) is (X/Z^2, Y/Z^3); Z = 0 is the point at infinity ---------

struct Jac {
  Fe x;
  Fe y;
  Fe z;
};

void jac_set_infinity(const Field &f, Jac &r) {
  r.x = f.one;
  r.y = f.one;
  r.z = Fe{};
}

// r = 2 p. Doubling the point at infinity or a point with y = 0 gives Z = 0. With g = 2 Y^2:
// Z3 = 2 Y Z, X3 = alpha^2 - 8 beta, Y3 = alpha (4 beta - X3) - 2 g^2 for beta = X Y^2, so
// that the small multiples take one addition each.
void jac_dbl(const Field &f, Jac &r, const Jac &p) {
  Fe delta, g, beta2, alpha, t, u;
  fe_sqr(f, delta, p.z);
  fe_sqr(f, t, p.y);
  fe_add(f, g, t, t);
  fe_mul(f, beta2, p.x, g);  // 2 beta
  if (f.a_minus3) {
    // alpha = 3 (X - delta)(X + delta)
    fe_sub(f, t, p.x, delta);
    fe_add(f, u, p.x, delta);
    fe_mul(f, alpha, t, u);
    fe_add(f, t, alpha, alpha);
    fe_add(f, alpha, t, alpha);
  } else {
    // alpha = 3 X^2 + a delta^2
    fe_sqr(f, t, p.x);
    fe_add(f, u, t, t);
    fe_add(f, u, u, t);
    fe_sqr(f, t, delta);
    fe_mul(f, t, t, f.a);
    fe_add(f, alpha, u, t);
  }
  // p's coordinates are read for the last time here: r may be p.
  fe_mul(f, t, p.y, p.z);
  fe_add(f, r.z, t, t);
  Fe beta4;
  fe_add(f, beta4, beta2, beta2);
  fe_add(f, u, beta4, beta4);
  fe_sqr(f, t, alpha);
  fe_sub(f, r.x, t, u);
  fe_sub(f, t, beta4, r.x);
  fe_mul(f, t, alpha, t);
  fe_sqr(f, u, g);
  fe_add(f, u, u, u);
  fe_sub(f, r.y, t, u);
}

// The last step of both additions: X3 = rr^2 - J - 2V, Y3 = rr (V - X3) - w with w = 2 Y1 J
// (in the first point's scale).
QL_ECC_INLINE void jac_add_finish(const Field &f, Jac &r, const Fe &rr, const Fe &j, const Fe &v,
                                  const Fe &w) {
  Fe t;
  fe_sqr(f, t, rr);
  fe_sub(f, t, t, j);
  fe_sub(f, t, t, v);
  fe_sub(f, r.x, t, v);
  fe_sub(f, t, v, r.x);
  fe_mul(f, t, rr, t);
  fe_sub(f, r.y, t, w);
}

// r = p + q by the general formula. Correct unless p = q or either is at infinity; p = -q
// gives Z = 0. Returns h and the doubled difference of the y terms through `h_out`, `r_out`,
// from which the callers tell the exceptional cases apart.
void jac_add_general(const Field &f, Jac &r, const Jac &p, const Jac &q, Fe *h_out, Fe *r_out) {
  Fe z1z1, z2z2, u1, u2, s1, s2, h, i, j, rr, v, t;
  fe_sqr(f, z1z1, p.z);
  fe_sqr(f, z2z2, q.z);
  fe_mul(f, u1, p.x, z2z2);
  fe_mul(f, u2, q.x, z1z1);
  fe_mul(f, s1, p.y, q.z);
  fe_mul(f, s1, s1, z2z2);
  fe_mul(f, s2, q.y, p.z);
  fe_mul(f, s2, s2, z1z1);
  fe_sub(f, h, u2, u1);
  fe_sub(f, rr, s2, s1);
  fe_add(f, rr, rr, rr);
  if (h_out != nullptr) {
    *h_out = h;
  }
  if (r_out != nullptr) {
    *r_out = rr;
  }
  fe_add(f, i, h, h);
  fe_sqr(f, i, i);
  fe_mul(f, j, h, i);
  fe_mul(f, v, u1, i);
  // Z3 = ((Z1 + Z2)^2 - Z1Z1 - Z2Z2) h, before p.z or q.z may be overwritten
  fe_add(f, t, p.z, q.z);
  fe_sqr(f, t, t);
  fe_sub(f, t, t, z1z1);
  fe_sub(f, t, t, z2z2);
  fe_mul(f, r.z, t, h);
  fe_mul(f, s1, s1, j);
  fe_add(f, s1, s1, s1);
  jac_add_finish(f, r, rr, j, v, s1);
}

// r = p + (x2, y2) for an affine second point (mixed addition). Correct unless p is at
// infinity or p = +-(x2, y2) (then Z = 0 for both); `h_out` and `r_out` as jac_add_general.
QL_ECC_INLINE void jac_madd_general(const Field &f, Jac &r, const Jac &p, const Fe &x2,
                                    const Fe &y2, Fe *h_out, Fe *r_out) {
  Fe z1z1, u2, s2, h, hh, i, j, rr, v, t;
  fe_sqr(f, z1z1, p.z);
  fe_mul(f, u2, x2, z1z1);
  fe_mul(f, s2, y2, p.z);
  fe_mul(f, s2, s2, z1z1);
  fe_sub(f, h, u2, p.x);
  fe_sqr(f, hh, h);
  fe_add(f, i, hh, hh);
  fe_add(f, i, i, i);
  fe_mul(f, j, h, i);
  fe_sub(f, rr, s2, p.y);
  fe_add(f, rr, rr, rr);
  if (h_out != nullptr) {
    *h_out = h;
  }
  if (r_out != nullptr) {
    *r_out = rr;
  }
  fe_mul(f, v, p.x, i);
  // Z3 = (Z1 + H)^2 - Z1Z1 - HH
  fe_add(f, t, p.z, h);
  fe_sqr(f, t, t);
  fe_sub(f, t, t, z1z1);
  fe_sub(f, r.z, t, hh);
  Fe y1j;
  fe_mul(f, y1j, p.y, j);
  fe_add(f, y1j, y1j, y1j);
  jac_add_finish(f, r, rr, j, v, y1j);
}

// r = p + q for public points: every case, by branches.
void jac_add_vt(const Field &f, Jac &r, const Jac &p, const Jac &q) {
  if (fe_is_zero(p.z) != 0) {
    r = q;
    return;
  }
  if (fe_is_zero(q.z) != 0) {
    r = p;
    return;
  }
  Fe h, rr;
  Jac s;
  jac_add_general(f, s, p, q, &h, &rr);
  if (fe_is_zero(h) != 0) {
    if (fe_is_zero(rr) != 0) {
      jac_dbl(f, r, p);
    } else {
      jac_set_infinity(f, r);
    }
    return;
  }
  r = s;
}

// r = p + (x2, y2) for public points, the second affine: every case, by branches.
void jac_madd_vt(const Field &f, Jac &r, const Jac &p, const Fe &x2, const Fe &y2) {
  if (fe_is_zero(p.z) != 0) {
    r.x = x2;
    r.y = y2;
    r.z = f.one;
    return;
  }
  Fe h, rr;
  Jac s;
  jac_madd_general(f, s, p, x2, y2, &h, &rr);
  if (fe_is_zero(h) != 0) {
    if (fe_is_zero(rr) != 0) {
      jac_dbl(f, r, p);
    } else {
      jac_set_infinity(f, r);
    }
    return;
  }
  r = s;
}

void jac_neg(const Field &f, Jac &r, const Jac &p) {
  r.x = p.x;
  r.z = p.z;
  fe_neg(f, r.y, p.y);
}

void jac_select(Jac &r, Limb mask, const Jac &a, const Jac &b) {
  fe_select(r.x, mask, a.x, b.x);
  fe_select(r.y, mask, a.y, b.y);
  fe_select(r.z, mask, a.z, b.z);
}

Status jac_from_point(const Field &f, Jac &r, const BigPoint &pt, const Big &p) {
  if ((pt.flags & QL_BIGPOINT_INFINITY) != 0) {
    jac_set_infinity(f, r);
    return kOk;
  }
  QL_TRY(fe_from_big(f, r.x, pt.x, p));
  QL_TRY(fe_from_big(f, r.y, pt.y, p));
  r.z = f.one;
  return kOk;
}

void set_infinity(BigPoint &r) {
  big_clear(r.x);
  big_clear(r.y);
  r.flags = QL_BIGPOINT_INFINITY;
}

// The affine point of `j`: one inversion (constant time), the infinity flag when Z = 0.
void jac_to_point(const Field &f, BigPoint &r, const Jac &j) {
  Limb at_infinity = fe_is_zero(j.z);
  QL_CT_PUBLIC(&at_infinity, sizeof(at_infinity));  // a property of the result
  if (at_infinity != 0) {
    set_infinity(r);
    return;
  }
  Fe zi, zi2, t;
  fe_inv(f, zi, j.z);
  fe_sqr(f, zi2, zi);
  fe_mul(f, t, j.x, zi2);
  fe_to_big(f, r.x, t);
  fe_mul(f, zi2, zi2, zi);
  fe_mul(f, t, j.y, zi2);
  fe_to_big(f, r.y, t);
  r.flags = 0;
  wipe(&zi, sizeof(zi));
  wipe(&zi2, sizeof(zi2));
  wipe(&t, sizeof(t));
}

// ---- Scalars ---------------------------------------------------------------------------------

// Bit i of |k| (0 above its words).
inline unsigned scalar_bit(const Big &k, int used, int i) {
  const int w = i / 32;
  return w < used ? (k.words[w] >> (i % 32)) & 1u : 0u;
}

// Width-5 NAF digits of the value in `w` (at most 9 words, below 2^287; consumed):
// digits[i] odd in [-15, 15] or 0, no two non-zero digits within five positions, 32 nw digits
// written. Returns the count up to the top non-zero digit. A digit d taken from the five bits
// at position i leaves those bits zero in w - d 2^i; for negative d that is a carry of
// 2^(i+5), so the window's own bits are never read again and are left as they are.
int wnaf5(int8_t *digits, uint32_t *w, int nw) {
  const int total = 32 * nw;
  int n = 0;
  for (int i = 0; i < total;) {
    if (((w[i / 32] >> (i % 32)) & 1u) == 0) {
      digits[i++] = 0;
      continue;
    }
    uint64_t window = w[i / 32];
    if (i / 32 + 1 < nw) {
      window |= uint64_t{w[i / 32 + 1]} << 32;
    }
    int d = static_cast<int>((window >> (i % 32)) & 31u);
    if (d >= 16) {
      d -= 32;
      const int b = i + 5;
      uint32_t carry = 1u << (b % 32);
      for (int q = b / 32; q < nw && carry != 0; q++) {
        w[q] += carry;
        carry = w[q] < carry ? 1u : 0u;
      }
    }
    digits[i] = static_cast<int8_t>(d);
    n = i + 1;
    for (int j = 1; j < 5 && i + j < total; j++) {
      digits[i + j] = 0;
    }
    i += 5;
  }
  return n;
}

// The words of |k| mod n, zero-filled to 9, for n of at most 8 words. Only the public word
// counts steer it: when k has no more words than n and n's top bit fills its top word, k < 2n
// and one masked subtraction of n reduces it; other scalars are reduced by division.
Status scalar_words(uint32_t out[9], const Big &k, const Big &n) {
  const int nw = big_used(n);
  int kw = k.length < 0 ? 0 : (k.length > kBigWords ? kBigWords : k.length);
  Wiped<Big> t;
  const Big *src = &k;
  if (kw > nw || (n.words[nw - 1] >> 31) == 0) {
    QL_TRY(big_mod(t.get(), k, n));
    src = t.ptr();
    kw = big_used(t.get());
  }
  uint32_t v[9] = {0}, d[9];
  for (int i = 0; i < kw; i++) {
    v[i] = src->words[i];
  }
  const uint32_t borrow = sub_limbs<uint32_t>(d, v, n.words, static_cast<size_t>(nw));
  const uint32_t keep = 0u - borrow;  // k < n: keep k
  for (int i = 0; i < 9; i++) {
    out[i] = i < nw ? ct::select(keep, v[i], d[i]) : 0u;
  }
  wipe(v, sizeof(v));
  wipe(d, sizeof(d));
  return kOk;
}

// ---- Point-multiplication engines for the window methods -------------------------------------

// Jacobian points on the fast field.
struct JacEngine {
  using Point = Jac;
  const Field &f;
  Status dbl(Jac &r, const Jac &p) const {
    jac_dbl(f, r, p);
    return kOk;
  }
  Status add(Jac &r, const Jac &p, const Jac &q) const {
    jac_add_vt(f, r, p, q);
    return kOk;
  }
  Status add_neg(Jac &r, const Jac &p, const Jac &q) const {
    Jac n;
    jac_neg(f, n, q);
    jac_add_vt(f, r, p, n);
    return kOk;
  }
};

// Affine points through the curve record's point addition.
struct AffineEngine {
  using Point = BigPoint;
  const QL_ECDSA_PARAMETERS &c;
  Status dbl(BigPoint &r, const BigPoint &p) const { return c.point_add(&c, &r, &p, &p); }
  Status add(BigPoint &r, const BigPoint &p, const BigPoint &q) const {
    return c.point_add(&c, &r, &p, &q);
  }
  Status add_neg(BigPoint &r, const BigPoint &p, const BigPoint &q) const {
    Wiped<BigPoint> n;
    n.get() = q;
    if ((q.flags & QL_BIGPOINT_INFINITY) == 0 && !big_is_zero(q.y)) {
      QL_TRY(Big_Sub(&n.get().y, &c.p, &q.y));
    }
    return c.point_add(&c, &r, &p, n.ptr());
  }
};

// Non-adjacent form of |k|, t + 1 digits for t the bit length: n_i = k_i + c_i - 2 c_(i+1).
int naf_digits(int8_t *digits, const Big &k) {
  const int used = big_used(k);
  const int t = Big_GetFilledBitNum(&k);
  unsigned carry = 0;
  for (int i = 0; i <= t; i++) {
    const unsigned ki = scalar_bit(k, used, i);
    const unsigned next = (ki + scalar_bit(k, used, i + 1) + carry) / 2;
    digits[i] = static_cast<int8_t>(static_cast<int>(ki + carry) - 2 * static_cast<int>(next));
    carry = next;
  }
  return t + 1;
}

// R = k P by windows of up to five NAF digits over the table
// table[0] = P, table[1] = 2P, table[j] = (2j - 1) P.
template <typename E>
Status naf_window_mul(const E &eng, typename E::Point &out, const int8_t *digits, int num,
                      typename E::Point *table) {
  QL_TRY(eng.dbl(table[1], table[0]));
  QL_TRY(eng.add(table[2], table[0], table[1]));
  // A window of non-adjacent digits is worth at most 21, so table[11] is the last one read.
  for (int j = 3; j <= 11; j++) {
    QL_TRY(eng.add(table[j], table[j - 1], table[1]));
  }
  int i = num - 1;
  while (i >= 0 && digits[i] == 0) {
    i--;
  }
  bool have = false;
  typename E::Point &acc = out;
  while (i >= 0) {
    int j = i - 4 > 0 ? i - 4 : 0;
    while (digits[j] == 0) {
      j++;
    }
    int u = 0;
    for (int m = i; m >= j; m--) {
      u = 2 * u + digits[m];
    }
    if (have) {
      for (int d = 0; d < i - j + 1; d++) {
        QL_TRY(eng.dbl(acc, acc));
      }
    }
    const int mag = u < 0 ? -u : u;
    const typename E::Point &tp = mag == 1 ? table[0] : table[(mag + 1) / 2];
    if (!have) {
      acc = tp;  // the top digit of a NAF is +1, so the first window is positive
      have = true;
    } else if (u > 0) {
      QL_TRY(eng.add(acc, acc, tp));
    } else {
      QL_TRY(eng.add_neg(acc, acc, tp));
    }
    i = j - 1;
    while (i >= 0 && digits[i] == 0) {
      QL_TRY(eng.dbl(acc, acc));
      i--;
    }
  }
  return kOk;
}

// Signed 5-bit windows from the bottom: digit values odd in [-15, 15], their positions
// ascending. Returns the number of windows.
int signed_windows(int8_t *digit, int16_t *pos, const Big &k) {
  uint32_t w[10] = {0};
  const int used = big_used(k);
  for (int i = 0; i < used && i < 9; i++) {
    w[i] = k.words[i];
  }
  auto bit = [&](int i) { return i / 32 < 10 ? (w[i / 32] >> (i % 32)) & 1u : 0u; };
  auto top = [&]() {
    for (int i = 319; i >= 0; i--) {
      if (bit(i) != 0) {
        return i;
      }
    }
    return -1;
  };
  int n = 0;
  int b = 0;
  for (;;) {
    const int t = top();
    while (b <= t && bit(b) == 0) {
      b++;
    }
    if (b > t) {
      break;
    }
    int u = 0;
    for (int m = (b + 4 < t ? b + 4 : t); m >= b; m--) {
      u = 2 * u + static_cast<int>(bit(m));
    }
    if (u >= 17) {
      u -= 32;
      // add 2^(b+5): a carry into the bits above the window
      int i = b + 5;
      uint32_t carry = 1u << (i % 32);
      for (int wi = i / 32; wi < 10 && carry != 0; wi++) {
        w[wi] += carry;
        carry = w[wi] < carry ? 1u : 0u;
      }
    }
    digit[n] = static_cast<int8_t>(u);
    pos[n] = static_cast<int16_t>(b);
    n++;
    b += 5;
  }
  wipe(w, sizeof(w));
  return n;
}

template <typename E>
Status signed_mary_mul(const E &eng, typename E::Point &out, const int8_t *digit,
                       const int16_t *pos, int n, typename E::Point *table) {
  // table[0] = P, table[1] = 2P, table[(u + 1) / 2] = u P for odd u = 3 ... 15
  QL_TRY(eng.dbl(table[1], table[0]));
  for (int j = 2; j <= 8; j++) {
    QL_TRY(eng.add(table[j], j == 2 ? table[0] : table[j - 1], table[1]));
  }
  auto entry = [&](int u) -> const typename E::Point & {
    const int m = u < 0 ? -u : u;
    return m == 1 ? table[0] : table[(m + 1) / 2];
  };
  out = entry(digit[n - 1]);
  for (int i = n - 2; i >= 0; i--) {
    for (int d = 0; d < pos[i + 1] - pos[i]; d++) {
      QL_TRY(eng.dbl(out, out));
    }
    if (digit[i] > 0) {
      QL_TRY(eng.add(out, out, entry(digit[i])));
    } else {
      QL_TRY(eng.add_neg(out, out, entry(digit[i])));
    }
  }
  for (int d = 0; d < pos[0]; d++) {
    QL_TRY(eng.dbl(out, out));
  }
  return kOk;
}

#include "pk/ql_ecc_base_table.inc"

using BaseTable = const uint32_t (*)[15][16];

BaseTable base_table(const QL_ECDSA_PARAMETERS &c, int &windows) {
  switch (ecc_named_curve(c)) {
    case 224:
      windows = 56;
      return p224_base_table;
    case 256:
      windows = 64;
      return p256_base_table;
    default:
      return nullptr;
  }
}

// acc = sum over the windows w of d_w 16^w G, d_w the 4-bit digits of the reduced scalar s.
// Constant time: every entry of a row is read through masks, and the exceptional cases of the
// mixed addition are settled by masks (for s < n the partial sums never meet the table point).
void base_comb_ct(const Field &f, Jac &acc, BaseTable table, int windows, const uint32_t *s) {
  jac_set_infinity(f, acc);
  Fe x, y;
  Jac sum;
  for (int w = 0; w < windows; w++) {
    const uint32_t digit = (s[w / 8] >> (4 * (w % 8))) & 15u;
    uint32_t e[16] = {0};
    for (uint32_t d = 1; d < 16; d++) {
      const uint32_t m = ct::is_zero(digit ^ d);
      const uint32_t *row = table[w][d - 1];
      for (int i = 0; i < 16; i++) {
        e[i] |= row[i] & m;
      }
    }
    limbs_from_words(x.v, e, 8);
    limbs_from_words(y.v, e + 8, 8);
    jac_madd_general(f, sum, acc, x, y, nullptr, nullptr);
    const Limb acc_inf = fe_is_zero(acc.z);
    const Limb digit_zero = static_cast<Limb>(Limb{0} - static_cast<Limb>(ct::is_zero(digit) & 1u));
    Jac entry;
    entry.x = x;
    entry.y = y;
    entry.z = f.one;
    jac_select(sum, acc_inf, entry, sum);
    jac_select(acc, digit_zero, acc, sum);
    wipe(e, sizeof(e));
  }
  wipe(&x, sizeof(x));
  wipe(&y, sizeof(y));
  wipe(&sum, sizeof(sum));
}

bool is_base_point(const QL_ECDSA_PARAMETERS &c, const BigPoint &p) {
  return (p.flags & QL_BIGPOINT_INFINITY) == 0 && big_comp(p.x, c.G.x) == 0 &&
         big_comp(p.y, c.G.y) == 0;
}

// The odd multiples P, 3P, ..., 15P in Jacobian coordinates, for a finite P.
Status odd_multiples(const Field &f, Jac *t, const BigPoint &p, const Big &modulus) {
  QL_TRY(jac_from_point(f, t[0], p, modulus));
  Jac twice;
  jac_dbl(f, twice, t[0]);
  for (int i = 1; i < 8; i++) {
    jac_add_vt(f, t[i], t[i - 1], twice);
  }
  return kOk;
}

// acc = u1 G + u2 Q for public scalars, in Jacobian coordinates over the field `f` it sets
// up: one chain of doublings over the width-5 NAF digits of both. On P-224 and P-256 the odd
// multiples of G come affine from the first row of the fixed table (d G for d = 1 ... 15) and
// enter by mixed additions.
Status joint_sum(const QL_ECDSA_PARAMETERS &curve, Field &f, Jac &acc, const Big &u1, const Big &u2,
                 const BigPoint &q) {
  if (!fast_curve(curve) || (u1.sign != 0 && !big_is_zero(u1)) ||
      (u2.sign != 0 && !big_is_zero(u2)) || big_is_zero(curve.n)) {
    return kErrEccArgument;
  }
  QL_TRY(field_init(f, curve));
  uint32_t w1[9], w2[9];
  QL_TRY(scalar_words(w1, u1, curve.n));
  QL_TRY(scalar_words(w2, u2, curve.n));
  int8_t d1[300] = {0}, d2[300] = {0};
  const int n1 = wnaf5(d1, w1, 9);
  const bool q_inf = (q.flags & QL_BIGPOINT_INFINITY) != 0;
  const int n2 = q_inf ? 0 : wnaf5(d2, w2, 9);
  int windows = 0;
  const BaseTable table = base_table(curve, windows);
  Jac tg[8], tq[8];
  if (table != nullptr) {
    for (int i = 0; i < 8; i++) {
      limbs_from_words(tg[i].x.v, table[0][2 * i], 8);
      limbs_from_words(tg[i].y.v, table[0][2 * i] + 8, 8);
      tg[i].z = f.one;
    }
  } else {
    QL_TRY(odd_multiples(f, tg, curve.G, curve.p));
  }
  if (!q_inf) {
    QL_TRY(odd_multiples(f, tq, q, curve.p));
  }
  // acc += digit * P for an odd multiple table of P; `affine`: its entries have Z = 1
  Jac neg;
  auto add_digit = [&](int digit, const Jac *t, bool affine) {
    const Jac *e = &t[(digit < 0 ? -digit : digit) / 2];
    if (digit < 0) {
      jac_neg(f, neg, *e);
      e = &neg;
    }
    if (affine) {
      jac_madd_vt(f, acc, acc, e->x, e->y);
    } else {
      jac_add_vt(f, acc, acc, *e);
    }
  };
  jac_set_infinity(f, acc);
  for (int i = (n1 > n2 ? n1 : n2) - 1; i >= 0; i--) {
    jac_dbl(f, acc, acc);
    if (d1[i] != 0) {
      add_digit(d1[i], tg, table != nullptr);
    }
    if (d2[i] != 0) {
      add_digit(d2[i], tq, false);
    }
  }
  return kOk;
}

enum class Method { kNaf, kSignedMary };

// The shared frame of the two exported multiplications: checks, trivial cases, engine choice.
Status point_mul(const QL_ECDSA_PARAMETERS *curve, BigPoint *r, const Big *k, const BigPoint *p,
                 Method method) {
  if (!ecc_curve_complete(curve) || r == nullptr || k == nullptr || p == nullptr) {
    return kErrEccArgument;
  }
  if ((p->flags & QL_BIGPOINT_INFINITY) != 0) {
    set_infinity(*r);
    return kOk;
  }
  const bool negate = k->sign != 0;
  Status s = kOk;
  int windows = 0;
  if (method == Method::kNaf && engine_serves(*curve) && base_table(*curve, windows) != nullptr &&
      is_base_point(*curve, *p)) {
    // Multiples of the base point (key pairs) come from the fixed tables, in constant time,
    // before anything looks at the digits of k.
    Wiped<Big> kabs;
    kabs.get() = *k;
    kabs.get().sign = 0;
    s = ecc_mul_base_secret(*curve, *r, kabs.get());
  } else if (big_is_zero(*k)) {
    set_infinity(*r);
    return kOk;
  } else if (method == Method::kNaf) {
    int8_t digits[8226];
    const int num = naf_digits(digits, *k);
    if (engine_serves(*curve)) {
      Jac *table = static_cast<Jac *>(alloc(17 * sizeof(Jac)));
      if (table == nullptr) {
        return critical(kErrNafTableAlloc);
      }
      Field f;
      s = field_init(f, *curve);
      Jac acc;
      if (s == kOk) {
        s = jac_from_point(f, table[0], *p, curve->p);
      }
      if (s == kOk) {
        s = naf_window_mul(JacEngine{f}, acc, digits, num, table);
      }
      if (s == kOk) {
        jac_to_point(f, *r, acc);
      }
      free_wiped(table, 17 * sizeof(Jac));
      wipe(&acc, sizeof(acc));
    } else {
      BigPoint *table = static_cast<BigPoint *>(alloc(17 * sizeof(BigPoint)));
      if (table == nullptr) {
        return critical(kErrNafTableAlloc);
      }
      for (int i = 0; i < 17; i++) {
        new (&table[i]) BigPoint();
      }
      table[0] = *p;
      Wiped<BigPoint> acc;
      s = naf_window_mul(AffineEngine{*curve}, acc.get(), digits, num, table);
      if (s == kOk) {
        *r = acc.get();
      }
      free_wiped(table, 17 * sizeof(BigPoint));
    }
  } else {
    // the recoding works on nine words; longer scalars are first reduced mod n
    Wiped<Big> kr;
    const Big *ks = k;
    if (big_used(*k) > 8) {
      kr.get() = *k;
      kr.get().sign = 0;
      QL_TRY(big_mod(kr.get(), kr.get(), curve->n));
      ks = kr.ptr();
      if (big_is_zero(*ks)) {
        set_infinity(*r);
        return kOk;
      }
    }
    int8_t digit[80];
    int16_t pos[80];
    const int n = signed_windows(digit, pos, *ks);
    if (engine_serves(*curve)) {
      Field f;
      QL_TRY(field_init(f, *curve));
      Wiped<std::array<Jac, 9>> table;
      Wiped<Jac> acc;
      QL_TRY(jac_from_point(f, table.get()[0], *p, curve->p));
      QL_TRY(signed_mary_mul(JacEngine{f}, acc.get(), digit, pos, n, table.get().data()));
      jac_to_point(f, *r, acc.get());
    } else {
      Wiped<std::array<BigPoint, 9>> table;
      Wiped<BigPoint> acc;
      table.get()[0] = *p;
      QL_TRY(signed_mary_mul(AffineEngine{*curve}, acc.get(), digit, pos, n, table.get().data()));
      *r = acc.get();
    }
  }
  if (s == kOk && negate && (r->flags & QL_BIGPOINT_INFINITY) == 0 && !big_is_zero(r->y)) {
    s = Big_Sub(&r->y, &curve->p, &r->y);
  }
  return s;
}

// ---- Curve arithmetic through the record -----------------------------------------------------

// z = x^3 + a x + b mod p through the record's operations.
Status curve_rhs(const QL_ECDSA_PARAMETERS &c, Big &z, const Big &x) {
  Big x2{}, t{};
  QL_TRY(c.square(&c, &x2, &x));
  QL_TRY(c.multiply(&c, &x2, &x2, &x));  // x^3
  QL_TRY(c.multiply(&c, &t, &c.a, &x));
  QL_TRY(Big_Add(&x2, &x2, &t));
  QL_TRY(Big_Add(&x2, &x2, &c.b));
  return c.reduce(&z, &x2, &c.p);
}

// True when y^2 = z mod p.
Status is_root(const QL_ECDSA_PARAMETERS &c, const Big &y, const Big &z, bool &yes) {
  Big y2{}, zr{};
  QL_TRY(c.square(&c, &y2, &y));
  QL_TRY(c.reduce(&y2, &y2, &c.p));
  QL_TRY(c.reduce(&zr, &z, &c.p));
  yes = big_comp(y2, zr) == 0;
  return kOk;
}

Big small_big(uint32_t v) {
  Big r{};
  r.length = 1;
  r.words[0] = v;
  return r;
}

// The Lucas ladder over the bits of k: V = V_k(P, Q) and Q0 = Q^floor(k/2), mod p.
Status lucas(const QL_ECDSA_PARAMETERS &c, Big &v_out, Big &q_out, const Big &pl, const Big &q,
             const Big &k) {
  Big v0 = small_big(2), v1 = pl, q0 = small_big(1), q1 = small_big(1), t{}, u{};
  const Big &p = c.p;
  for (int i = Big_GetFilledBitNum(&k) - 1; i >= 0; i--) {
    QL_TRY(c.multiply(&c, &q0, &q0, &q1));
    QL_TRY(c.multiply(&c, &u, &pl, &q0));  // P q0
    if (scalar_bit(k, big_used(k), i) != 0) {
      QL_TRY(c.multiply(&c, &q1, &q0, &q));
      QL_TRY(c.multiply(&c, &t, &v0, &v1));
      QL_TRY(Big_SubMod(&v0, &t, &u, &p));
      QL_TRY(c.square(&c, &t, &v1));
      QL_TRY(Big_SubMod(&v1, &t, &q1, &p));
      QL_TRY(Big_SubMod(&v1, &v1, &q1, &p));
    } else {
      q1 = q0;
      QL_TRY(c.multiply(&c, &t, &v0, &v1));
      QL_TRY(Big_SubMod(&v1, &t, &u, &p));
      QL_TRY(c.square(&c, &t, &v0));
      QL_TRY(Big_SubMod(&v0, &t, &q0, &p));
      QL_TRY(Big_SubMod(&v0, &v0, &q0, &p));
    }
  }
  v_out = v0;
  q_out = q0;
  return kOk;
}

constexpr uint32_t kLucasTries = 200;  // each try finds a root with probability about 1/2

}  // namespace

bool ecc_fast_curve(const QL_ECDSA_PARAMETERS &curve) { return fast_curve(curve); }

const Mont4Kernel &ecc_mont4_kernel() { return field_kernel_choice.get(); }

#if defined(QL_TEST_HOOKS)
void test::ecc_force_affine(bool on) { g_force_affine = on; }
#endif

Status ecc_mul_secret(const QL_ECDSA_PARAMETERS &curve, BigPoint &r, const Big &k,
                      const BigPoint &p) {
  if (!fast_curve(curve) || (k.sign != 0 && !big_is_zero(k)) || big_is_zero(curve.n)) {
    return kErrEccArgument;
  }
  if ((p.flags & QL_BIGPOINT_INFINITY) != 0) {
    set_infinity(r);
    return kOk;
  }
  Field f;
  QL_TRY(field_init(f, curve));
  Wiped<std::array<uint32_t, 9>> s;
  QL_TRY(scalar_words(s.get().data(), k, curve.n));
  Wiped<std::array<Jac, 16>> table;
  Jac *t = table.get().data();
  jac_set_infinity(f, t[0]);
  QL_TRY(jac_from_point(f, t[1], p, curve.p));
  jac_dbl(f, t[2], t[1]);
  // i P + P for i = 2 ... 14: never equal points for P of order n > 15
  for (int i = 3; i < 16; i++) {
    jac_add_general(f, t[i], t[i - 1], t[1], nullptr, nullptr);
  }
  Wiped<Jac> acc, sel, sum;
  jac_set_infinity(f, acc.get());
  const int windows = (Big_GetFilledBitNum(&curve.n) + 3) / 4;
  for (int w = windows - 1; w >= 0; w--) {
    for (int d = 0; d < 4; d++) {
      jac_dbl(f, acc.get(), acc.get());
    }
    const uint32_t digit = (s.get()[w / 8] >> (4 * (w % 8))) & 15u;
    // read every entry; keep the one whose index equals the digit
    sel.get() = t[0];
    for (uint32_t i = 1; i < 16; i++) {
      const Limb m = static_cast<Limb>(Limb{0} - static_cast<Limb>(ct::is_zero(digit ^ i) & 1u));
      jac_select(sel.get(), m, t[i], sel.get());
    }
    // acc + sel; with k < n the sum never meets acc = sel, so the general formula holds except
    // when acc is at infinity (take sel) or the digit is 0 (keep acc).
    jac_add_general(f, sum.get(), acc.get(), sel.get(), nullptr, nullptr);
    const Limb acc_inf = fe_is_zero(acc.get().z);
    const Limb digit_zero = static_cast<Limb>(Limb{0} - static_cast<Limb>(ct::is_zero(digit) & 1u));
    jac_select(sum.get(), acc_inf, sel.get(), sum.get());
    jac_select(acc.get(), digit_zero, acc.get(), sum.get());
  }
  jac_to_point(f, r, acc.get());
  return kOk;
}

Status ecc_mul_base_secret(const QL_ECDSA_PARAMETERS &curve, BigPoint &r, const Big &k) {
  int windows = 0;
  const BaseTable table = base_table(curve, windows);
  if (table == nullptr) {
    return ecc_mul_secret(curve, r, k, curve.G);
  }
  if (k.sign != 0 && !big_is_zero(k)) {
    return kErrEccArgument;
  }
  Field f;
  QL_TRY(field_init(f, curve));
  Wiped<std::array<uint32_t, 9>> s;
  QL_TRY(scalar_words(s.get().data(), k, curve.n));
  Wiped<Jac> acc;
  base_comb_ct(f, acc.get(), table, windows, s.get().data());
  jac_to_point(f, r, acc.get());
  return kOk;
}

Status ecc_mul_joint(const QL_ECDSA_PARAMETERS &curve, BigPoint &r, const Big &u1, const Big &u2,
                     const BigPoint &q) {
  Field f;
  Jac acc;
  QL_TRY(joint_sum(curve, f, acc, u1, u2, q));
  jac_to_point(f, r, acc);
  return kOk;
}

Status ecc_verify_joint(const QL_ECDSA_PARAMETERS &curve, const Big &u1, const Big &u2,
                        const BigPoint &q, const Big &r) {
  Field f;
  Jac acc;
  QL_TRY(joint_sum(curve, f, acc, u1, u2, q));
  if (fe_is_zero(acc.z) != 0) {
    return kErrVerifyInfinity;
  }
  // X = x Z^2 and Y = y Z^3 with Z invertible: both zero exactly for the point (0, 0).
  if ((fe_is_zero(acc.x) & fe_is_zero(acc.y)) != 0) {
    return kErrVerifyZeroPoint;
  }
  Limb n[kN], twice[kN];
  limbs_from_words(n, curve.n.words, big_used(curve.n));
  const bool n_fits = big_used(curve.n) <= kN * kWordsPerLimb && curve.n.sign == 0;
  if (!n_fits || (add_limbs<Limb>(twice, n, n, kN) == 0 && cmp_limbs<Limb>(twice, f.p, kN) <= 0)) {
    // p >= 2n: x mod n by division of the affine x.
    BigPoint point;
    jac_to_point(f, point, acc);
    Big v;
    QL_TRY(big_mod(v, point.x, curve.n));
    return big_ucomp(v, r) == 0 ? kOk : kErrVerifyMismatch;
  }
  // x = X / Z^2 is below p < 2n, so x mod n = r leaves x = r or x = r + n (when below p); each
  // candidate c is tested as c Z^2 = X, without the inversion.
  Fe z2;
  fe_sqr(f, z2, acc.z);
  Fe c;
  limbs_from_words(c.v, r.words, big_used(r));
  for (int k = 0; k < 2; k++) {
    if (k == 1 && add_limbs<Limb>(c.v, c.v, n, kN) != 0) {
      break;
    }
    if (cmp_limbs<Limb>(c.v, f.p, kN) >= 0) {
      break;
    }
    Fe t;
    fe_mul(f, t, c, f.rr);
    fe_mul(f, t, t, z2);
    Limb differ = 0;
    for (int i = 0; i < kN; i++) {
      differ |= t.v[i] ^ acc.x.v[i];
    }
    if (differ == 0) {
      return kOk;
    }
  }
  return kErrVerifyMismatch;
}

}  // namespace ql

// Exported functions.

BigPoint *QL_ECDSA_BIGPOINT_New(void) {
  void *p = ql::alloc(sizeof(BigPoint));
  if (p == nullptr) {
    return nullptr;
  }
  return new (p) BigPoint();
}

void QL_ECDSA_BIGPOINT_Delete(BigPoint *point) { ql::free_wiped(point, sizeof(BigPoint)); }

int32_t BigPoint_Dump(BigPoint *dst, const BigPoint *src) {
  if (dst == nullptr || src == nullptr) {
    return ql::kErrEccArgument;
  }
  if (dst == src) {
    return ql::kOk;
  }
  Big_Dump(&dst->x, &src->x);
  Big_Dump(&dst->y, &src->y);
  dst->flags = src->flags & QL_BIGPOINT_INFINITY;
  return ql::kOk;
}

int32_t QL_ECDSA_BIGPOINT_Comp(const BigPoint *P, const BigPoint *Q) {
  if (P == nullptr || Q == nullptr) {
    return ql::kErrPointsDiffer;
  }
  const bool pi = (P->flags & QL_BIGPOINT_INFINITY) != 0;
  const bool qi = (Q->flags & QL_BIGPOINT_INFINITY) != 0;
  if (pi || qi) {
    return pi == qi ? ql::kOk : ql::kErrPointsDiffer;
  }
  return ql::big_comp(P->x, Q->x) == 0 && ql::big_comp(P->y, Q->y) == 0 ? ql::kOk
                                                                        : ql::kErrPointsDiffer;
}

int32_t BigPoint_Add_Affine(const QL_ECDSA_PARAMETERS *curve, BigPoint *R, const BigPoint *P,
                            const BigPoint *Q) {
  if (!ql::ecc_curve_complete(curve) || R == nullptr || P == nullptr || Q == nullptr) {
    return ql::kErrEccArgument;
  }
  const QL_ECDSA_PARAMETERS &c = *curve;
  if ((P->flags & QL_BIGPOINT_INFINITY) != 0) {
    return BigPoint_Dump(R, Q);
  }
  if ((Q->flags & QL_BIGPOINT_INFINITY) != 0) {
    return BigPoint_Dump(R, P);
  }
  ql::Wiped<Big> lambda, num, den, t;
  if (ql::big_comp(P->x, Q->x) != 0) {
    QL_TRY(Big_SubMod(num.ptr(), &Q->y, &P->y, &c.p));
    QL_TRY(Big_SubMod(den.ptr(), &Q->x, &P->x, &c.p));
  } else if (ql::big_comp(P->y, Q->y) != 0) {
    ql::set_infinity(*R);
    return ql::kOk;
  } else {
    // doubling: (3 x^2 + a) / (2 y)
    QL_TRY(c.square(&c, t.ptr(), &P->x));
    QL_TRY(Big_LShift1(num.ptr(), t.ptr()));
    QL_TRY(Big_Add(num.ptr(), num.ptr(), t.ptr()));
    QL_TRY(Big_Add(num.ptr(), num.ptr(), &c.a));
    QL_TRY(c.reduce(num.ptr(), num.ptr(), &c.p));
    QL_TRY(Big_LShift1(den.ptr(), &P->y));
    QL_TRY(c.reduce(den.ptr(), den.ptr(), &c.p));
  }
  QL_TRY(ql::ecc_invert(c, t.get(), den.get(), c.p));
  QL_TRY(c.multiply(&c, lambda.ptr(), num.ptr(), t.ptr()));
  // x_R = lambda^2 - x_P - x_Q; y_R = lambda (x_P - x_R) - y_P
  ql::Wiped<Big> xr, yr;
  QL_TRY(c.square(&c, xr.ptr(), lambda.ptr()));
  QL_TRY(Big_SubMod(xr.ptr(), xr.ptr(), &P->x, &c.p));
  QL_TRY(Big_SubMod(xr.ptr(), xr.ptr(), &Q->x, &c.p));
  QL_TRY(Big_SubMod(t.ptr(), &P->x, xr.ptr(), &c.p));
  QL_TRY(c.multiply(&c, yr.ptr(), lambda.ptr(), t.ptr()));
  QL_TRY(Big_SubMod(yr.ptr(), yr.ptr(), &P->y, &c.p));
  QL_TRY(c.reduce(yr.ptr(), yr.ptr(), &c.p));
  R->x = xr.get();
  R->y = yr.get();
  R->flags = 0;
  return ql::kOk;
}

int32_t BigPoint_Mul_NAFSlidingWindow(const QL_ECDSA_PARAMETERS *curve, BigPoint *R, const Big *k,
                                      const BigPoint *P) {
  return ql::point_mul(curve, R, k, P, ql::Method::kNaf);
}

int32_t BigPoint_Mul_SignedMary(const QL_ECDSA_PARAMETERS *curve, BigPoint *R, const Big *k,
                                const BigPoint *P) {
  return ql::point_mul(curve, R, k, P, ql::Method::kSignedMary);
}

int32_t Big_IsSolution(const QL_ECDSA_PARAMETERS *curve, const Big *x, const Big *y) {
  if (!ql::ecc_curve_complete(curve) || x == nullptr || y == nullptr) {
    return ql::kErrEccNotOnCurve;
  }
  Big z{};
  QL_TRY(ql::curve_rhs(*curve, z, *x));
  bool yes = false;
  QL_TRY(ql::is_root(*curve, *y, z, yes));
  return yes ? ql::kOk : ql::kErrEccNotOnCurve;
}

int32_t BigPoint_IsSolution(const QL_ECDSA_PARAMETERS *curve, const BigPoint *P) {
  if (P == nullptr) {
    return ql::kErrEccNotOnCurve;
  }
  return Big_IsSolution(curve, &P->x, &P->y);
}

int32_t Big_FindY1(const QL_ECDSA_PARAMETERS *curve, Big *y, const Big *x) {
  if (!ql::ecc_curve_complete(curve) || y == nullptr || x == nullptr) {
    return ql::kErrEccArgument;
  }
  const QL_ECDSA_PARAMETERS &c = *curve;
  Big z{}, e{}, root{};
  QL_TRY(ql::curve_rhs(c, z, *x));
  QL_TRY(ql::big_rshift(e, c.p, 2));
  QL_TRY(Big_AddByWord(&e, &e, 1));  // (p + 1) / 4 for p = 3 mod 4
  QL_TRY(Big_ModExp(&root, &z, &e, &c.p));
  bool yes = false;
  QL_TRY(ql::is_root(c, root, z, yes));
  if (!yes) {
    return ql::kErrFindY1NoRoot;
  }
  *y = root;
  return ql::kOk;
}

int32_t Big_FindY3(const QL_ECDSA_PARAMETERS *curve, Big *y, const Big *x) {
  if (!ql::ecc_curve_complete(curve) || y == nullptr || x == nullptr) {
    return ql::kErrEccArgument;
  }
  const QL_ECDSA_PARAMETERS &c = *curve;
  Big z{};
  QL_TRY(ql::curve_rhs(c, z, *x));
  if (ql::big_is_zero(z)) {  // the root 0; the Lucas test never settles on it
    ql::big_clear(*y);
    return ql::kOk;
  }
  Big k{}, half{}, pm1{};
  QL_TRY(Big_AddByWord(&k, &c.p, 1));
  QL_TRY(ql::big_rshift(k, k, 1));  // (p + 1) / 2
  const Big two = ql::small_big(2);
  if (ql::ecc_invert(c, half, two, c.p) != ql::kOk) {
    return ql::kErrEccArgument;
  }
  QL_TRY(Big_SubByWord(&pm1, &c.p, 1));
  // The ladder needs a P with P^2 - 4z a non-residue, which half of all values are; it takes
  // P = 3, 4, 5, ... rather than random draws, as the values are public and a draw from the
  // hash pool generator (which reseeds from system commands) costs milliseconds each.
  for (uint32_t attempt = 0; attempt < ql::kLucasTries; attempt++) {
    Big pl = ql::small_big(3 + attempt), v{}, q0{}, root{};
    QL_TRY(ql::lucas(c, v, q0, pl, z, k));
    QL_TRY(c.multiply(&c, &root, &v, &half));
    bool yes = false;
    QL_TRY(ql::is_root(c, root, z, yes));
    if (yes) {
      *y = root;
      return ql::kOk;
    }
    const Big one = ql::small_big(1);
    if (ql::big_comp(q0, one) > 0 && ql::big_comp(q0, pm1) < 0) {
      return ql::kErrFindY3NoRoot;
    }
  }
  return ql::kErrFindY3NoRoot;
}

int32_t Big_DecompressY(const QL_ECDSA_PARAMETERS *curve, Big *y, const Big *x, uint32_t y_bit) {
  if (!ql::ecc_curve_complete(curve) || y == nullptr || x == nullptr) {
    return ql::kErrDecompressY;
  }
  Big root{};
  if (curve->find_y(curve, &root, x) != ql::kOk) {
    return ql::kErrDecompressY;
  }
  if ((root.words[0] & 1u) != (y_bit & 1u)) {
    if (ql::big_is_zero(root)) {
      return ql::kErrDecompressY;
    }  // 0 has no odd twin
    QL_TRY(Big_Sub(&root, &curve->p, &root));
  }
  *y = root;
  return ql::kOk;
}

int32_t Big_Point2Oct(const QL_ECDSA_PARAMETERS *curve, uint8_t *out, uint32_t *out_len,
                      int32_t capacity, const BigPoint *P, int32_t form) {
  if (!ql::ecc_curve_complete(curve) || P == nullptr || capacity < 1) {
    return ql::kErrPoint2OctArg;
  }
  if (form != QL_POINT_COMPRESSED && form != QL_POINT_UNCOMPRESSED && form != QL_POINT_HYBRID) {
    return ql::kErrPoint2OctForm;
  }
  if ((P->flags & QL_BIGPOINT_INFINITY) != 0) {
    if (out != nullptr) {
      out[0] = 0;
    }
    if (out_len != nullptr) {
      *out_len = 1;
    }
    return ql::kOk;
  }
  const uint32_t L = static_cast<uint32_t>(Big_GetFilledBitNum(&curve->p) + 7) / 8;
  const uint32_t need = form == QL_POINT_COMPRESSED ? L + 1 : 2 * L + 1;
  if (out == nullptr) {
    if (out_len != nullptr) {
      *out_len = need;
    }
    return ql::kOk;
  }
  if (static_cast<uint32_t>(capacity) < need) {
    return ql::kErrPoint2OctCapacity;
  }
  const uint8_t odd = static_cast<uint8_t>(P->y.words[0] & 1u);
  out[0] = form == QL_POINT_UNCOMPRESSED ? 4 : static_cast<uint8_t>(form | odd);
  if (BigToU82(out + 1, &P->x, L) != ql::kOk) {
    return ql::kErrPoint2OctCoord;
  }
  if (form != QL_POINT_COMPRESSED && BigToU82(out + 1 + L, &P->y, L) != ql::kOk) {
    return ql::kErrPoint2OctCoord;
  }
  if (out_len != nullptr) {
    *out_len = need;
  }
  return ql::kOk;
}

int32_t Big_Oct2Point(const QL_ECDSA_PARAMETERS *curve, BigPoint *P, const uint8_t *in,
                      uint32_t in_len) {
  if (!ql::ecc_curve_complete(curve) || P == nullptr || in == nullptr || in_len < 1) {
    return ql::kErrOct2PointArg;
  }
  const uint32_t y_bit = in[0] & 1u;
  const uint32_t kind = in[0] & ~1u;
  if ((kind != 0 && kind != 2 && kind != 4 && kind != 6) ||
      (y_bit != 0 && (kind == 0 || kind == 4))) {
    return ql::kErrOct2PointBad;
  }
  if (kind == 0) {
    if (in_len != 1) {
      return ql::kErrOct2PointBad;
    }
    P->flags |= QL_BIGPOINT_INFINITY;
    return ql::kOk;
  }
  const uint32_t L = static_cast<uint32_t>(Big_GetFilledBitNum(&curve->p) + 7) / 8;
  if (in_len != (kind == 2 ? L + 1 : 2 * L + 1)) {
    return ql::kErrOct2PointBad;
  }
  Big x{}, y{};
  if (U8ToBig(&x, in + 1, L) != ql::kOk) {
    return ql::kErrOct2PointBad;
  }
  if (ql::big_ucomp(x, curve->p) >= 0) {
    return ql::kErrOct2PointBad;
  }
  if (kind == 2) {
    if (Big_DecompressY(curve, &y, &x, y_bit) != ql::kOk) {
      return ql::kErrOct2PointBad;
    }
  } else {
    if (U8ToBig(&y, in + 1 + L, L) != ql::kOk) {
      return ql::kErrOct2PointBad;
    }
    if (ql::big_ucomp(y, curve->p) >= 0) {
      return ql::kErrOct2PointBad;
    }
    if (kind == 6 && (y.words[0] & 1u) != y_bit) {
      return ql::kErrOct2PointBad;
    }
  }
  ql::big_normalize(x);
  ql::big_normalize(y);
  if (Big_IsSolution(curve, &x, &y) != ql::kOk) {
    return ql::kErrOct2PointBad;
  }
  P->x = x;
  P->y = y;
  P->flags = 0;
  return ql::kOk;
}
