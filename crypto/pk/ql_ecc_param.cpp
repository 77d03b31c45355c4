// The NIST prime curves P-224 and P-256: their constants, the curve record's set-up, the
// parameter check, and multiplication modulo the two primes by word folding (the primes'
// special form turns each high word into a few signed word additions) beside a generic pair
// that reduces by division. Integers are Big records of 32-bit words, least significant first.
// The final corrections of a fold depend on the value (variable time): these functions serve
// the affine point routines; secret scalars go through the constant-time engine of ql_ecc.h.
#include <cstdint>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "pk/ql_ecc.h"

namespace ql {
namespace {

// Curve constants as 32-bit words, least significant first.
constexpr uint32_t p224_p[7] = {0x00000001u, 0x00000000u, 0x00000000u, 0xffffffffu,
                                0xffffffffu, 0xffffffffu, 0xffffffffu};
constexpr uint32_t p224_b[7] = {0x2355ffb4u, 0x270b3943u, 0xd7bfd8bau, 0x5044b0b7u,
                                0xf5413256u, 0x0c04b3abu, 0xb4050a85u};
constexpr uint32_t p224_gx[7] = {0x115c1d21u, 0x343280d6u, 0x56c21122u, 0x4a03c1d3u,
                                 0x321390b9u, 0x6bb4bf7fu, 0xb70e0cbdu};
constexpr uint32_t p224_gy[7] = {0x85007e34u, 0x44d58199u, 0x5a074764u, 0xcd4375a0u,
                                 0x4c22dfe6u, 0xb5f723fbu, 0xbd376388u};
constexpr uint32_t p224_n[7] = {0x5c5c2a3du, 0x13dd2945u, 0xe0b8f03eu, 0xffff16a2u,
                                0xffffffffu, 0xffffffffu, 0xffffffffu};

constexpr uint32_t p256_p[8] = {0xffffffffu, 0xffffffffu, 0xffffffffu, 0x00000000u,
                                0x00000000u, 0x00000000u, 0x00000001u, 0xffffffffu};
constexpr uint32_t p256_b[8] = {0x27d2604bu, 0x3bce3c3eu, 0xcc53b0f6u, 0x651d06b0u,
                                0x769886bcu, 0xb3ebbd55u, 0xaa3a93e7u, 0x5ac635d8u};
constexpr uint32_t p256_gx[8] = {0xd898c296u, 0xf4a13945u, 0x2deb33a0u, 0x77037d81u,
                                 0x63a440f2u, 0xf8bce6e5u, 0xe12c4247u, 0x6b17d1f2u};
constexpr uint32_t p256_gy[8] = {0x37bf51f5u, 0xcbb64068u, 0x6b315eceu, 0x2bce3357u,
                                 0x7c0f9e16u, 0x8ee7eb4au, 0xfe1a7f9bu, 0x4fe342e2u};
constexpr uint32_t p256_n[8] = {0xfc632551u, 0xf3b9cac2u, 0xa7179e84u, 0xbce6faadu,
                                0xffffffffu, 0xffffffffu, 0x00000000u, 0xffffffffu};

void set_big(Big &r, const uint32_t *words, int n) { big_set_words(r, words, n, 0); }

struct NamedCurve {
  const uint32_t *p;
  const uint32_t *b;
  const uint32_t *gx;
  const uint32_t *gy;
  const uint32_t *n;
  int words;
};
constexpr NamedCurve p224 = {p224_p, p224_b, p224_gx, p224_gy, p224_n, 7};
constexpr NamedCurve p256 = {p256_p, p256_b, p256_gx, p256_gy, p256_n, 8};

// The value p - 3 of the named curve's a.
void minus_three(uint32_t a[8], const NamedCurve &nc) {
  const uint32_t three[8] = {3};
  sub_limbs<uint32_t>(a, nc.p, three, static_cast<size_t>(nc.words));
}

// Clears the record and fills it with the curve `nc` and its operations; null is ignored.
void init_named(QL_ECDSA_PARAMETERS *c, const NamedCurve &nc, QL_ECC_MUL_FN mul, QL_ECC_SQR_FN sqr,
                QL_ECC_FIND_Y_FN find_y) {
  if (c == nullptr) {
    return;
  }
  wipe(c, sizeof(*c));
  const int words = nc.words;
  uint32_t a[8];
  minus_three(a, nc);
  c->lead = 2;
  set_big(c->p, nc.p, words);
  set_big(c->a, a, words);
  set_big(c->b, nc.b, words);
  c->bits = static_cast<uint32_t>(32 * words);
  set_big(c->G.x, nc.gx, words);
  set_big(c->G.y, nc.gy, words);
  c->G.flags = 0;
  set_big(c->n, nc.n, words);
  c->h = 1;
  c->reduce = Big_Mod;
  c->multiply = mul;
  c->square = sqr;
  c->invert = Big_Inv;
  c->point_add = BigPoint_Add_Affine;
  c->point_mul = BigPoint_Mul_NAFSlidingWindow;
  c->find_y = find_y;
}

// True when the magnitude of `a` is words[0..n) exactly.
bool big_equals_words(const Big &a, const uint32_t *words, int n) {
  if (big_used(a) != n) {
    return false;
  }
  for (int i = 0; i < n; i++) {
    if (a.words[i] != words[i]) {
      return false;
    }
  }
  return true;
}

// A signed column sum of the folding: the value sum(col[i] * 2^(32 i)), each column a small
// signed combination of product words.
struct Columns {
  int64_t col[8];
};

// Sets out[0..n) to the value of the columns reduced into [0, p), p = prime[0..n). The columns
// hold a value between -8p and 8p, so a few additions or subtractions of p finish it.
void settle(uint32_t *out, const Columns &c, const uint32_t *prime, int n) {
  int64_t carry = 0;
  for (int i = 0; i < n; i++) {
    const int64_t v = c.col[i] + carry;
    out[i] = static_cast<uint32_t>(v);
    carry = (v - static_cast<int64_t>(static_cast<uint32_t>(v))) / (int64_t{1} << 32);
  }
  while (carry < 0) {
    carry += static_cast<int64_t>(add_limbs<uint32_t>(out, out, prime, n));
  }
  while (carry > 0 || cmp_limbs<uint32_t>(out, prime, n) >= 0) {
    carry -= static_cast<int64_t>(sub_limbs<uint32_t>(out, out, prime, n));
  }
}

// The product words c[0..14) folded by 2^224 = 2^96 - 1 (mod p):
// r = T + S1 + S2 - D1 - D2 with T the low seven words.
void fold_p224(uint32_t out[7], const uint32_t c[14]) {
  Columns s{};
  const int64_t w[14] = {c[0], c[1], c[2], c[3],  c[4],  c[5],  c[6],
                         c[7], c[8], c[9], c[10], c[11], c[12], c[13]};
  s.col[0] = w[0] - w[7] - w[11];
  s.col[1] = w[1] - w[8] - w[12];
  s.col[2] = w[2] - w[9] - w[13];
  s.col[3] = w[3] + w[7] + w[11] - w[10];
  s.col[4] = w[4] + w[8] + w[12] - w[11];
  s.col[5] = w[5] + w[9] + w[13] - w[12];
  s.col[6] = w[6] + w[10] - w[13];
  settle(out, s, p224_p, 7);
}

// The product words c[0..16) folded by 2^256 = 2^224 - 2^192 - 2^96 + 1 (mod p):
// r = T + 2 S1 + 2 S2 + S3 + S4 - D1 - D2 - D3 - D4 with T the low eight words.
void fold_p256(uint32_t out[8], const uint32_t c[16]) {
  Columns s{};
  int64_t w[16];
  for (int i = 0; i < 16; i++) {
    w[i] = c[i];
  }
  s.col[0] = w[0] + w[8] + w[9] - w[11] - w[12] - w[13] - w[14];
  s.col[1] = w[1] + w[9] + w[10] - w[12] - w[13] - w[14] - w[15];
  s.col[2] = w[2] + w[10] + w[11] - w[13] - w[14] - w[15];
  s.col[3] = w[3] + 2 * (w[11] + w[12]) + w[13] - w[15] - w[8] - w[9];
  s.col[4] = w[4] + 2 * (w[12] + w[13]) + w[14] - w[9] - w[10];
  s.col[5] = w[5] + 2 * (w[13] + w[14]) + w[15] - w[10] - w[11];
  s.col[6] = w[6] + 3 * w[14] + 2 * w[15] + w[13] - w[8] - w[9];
  s.col[7] = w[7] + 3 * w[15] + w[8] - w[10] - w[11] - w[12] - w[13];
  settle(out, s, p256_p, 8);
}

using Fold = void (*)(uint32_t *, const uint32_t *);

// r = a * b (or a^2 when b is null) mod the special prime[0..n), or mod the record's p when the
// record names another prime. Non-negative products of reduced operands fold; anything longer
// or negative is reduced by division.
Status mul_mod_special(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a, const Big *b,
                       const uint32_t *prime, int n, Fold fold) {
  if (r == nullptr || a == nullptr) {
    return kErrEccArgument;
  }
  Wiped<Big> t;
  QL_TRY(b != nullptr ? big_mul(t.get(), *a, *b) : big_sqr(t.get(), *a));
  Big &prod = t.get();
  if (curve != nullptr && !big_equals_words(curve->p, prime, n)) {
    return big_mod(*r, prod, curve->p);
  }
  if (big_used(prod) > 2 * n || (prod.sign != 0 && big_used(prod) != 0)) {
    Big m{};
    set_big(m, prime, n);
    return big_mod(*r, prod, m);
  }
  uint32_t c[16] = {0};
  for (int i = 0; i < big_used(prod); i++) {
    c[i] = prod.words[i];
  }
  uint32_t out[8];
  fold(out, c);
  big_set_words(*r, out, n, 0);
  wipe(c, sizeof(c));
  wipe(out, sizeof(out));
  return kOk;
}

void fold224(uint32_t *out, const uint32_t *c) { fold_p224(out, c); }
void fold256(uint32_t *out, const uint32_t *c) { fold_p256(out, c); }

// r = a * b (or a^2) mod the record's p by product and division; `code` for a bad argument.
Status mul_mod_generic(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a, const Big *b,
                       bool square, Status code) {
  if (!ecc_curve_complete(curve) || r == nullptr || a == nullptr || (!square && b == nullptr)) {
    return code;
  }
  Wiped<Big> t;
  const Status s1 = square ? big_sqr(t.get(), *a) : big_mul(t.get(), *a, *b);
  const Status s2 = big_mod(*r, t.get(), curve->p);
  return s1 | s2;
}

bool curve_is(const QL_ECDSA_PARAMETERS &c, const NamedCurve &nc) {
  const int words = nc.words;
  uint32_t a[8];
  minus_three(a, nc);
  return big_equals_words(c.p, nc.p, words) && big_equals_words(c.a, a, words) &&
         big_equals_words(c.b, nc.b, words) && big_equals_words(c.G.x, nc.gx, words) &&
         big_equals_words(c.G.y, nc.gy, words) && big_equals_words(c.n, nc.n, words) &&
         c.p.sign == 0 && c.a.sign == 0 && c.b.sign == 0 && c.G.x.sign == 0 && c.G.y.sign == 0 &&
         c.n.sign == 0 && (c.G.flags & QL_BIGPOINT_INFINITY) == 0;
}

}  // namespace

int ecc_named_curve(const QL_ECDSA_PARAMETERS &curve) {
  if (curve_is(curve, p224)) {
    return 224;
  }
  if (curve_is(curve, p256)) {
    return 256;
  }
  return 0;
}

bool big_is_zero(const Big &a) { return big_used(a) == 0; }

bool ecc_curve_complete(const QL_ECDSA_PARAMETERS *curve) {
  if (curve == nullptr) {
    return false;
  }
  if (big_is_zero(curve->n) || big_is_zero(curve->a) || big_is_zero(curve->p) ||
      big_is_zero(curve->b)) {
    return false;
  }
  if (big_is_zero(curve->G.x) && big_is_zero(curve->G.y)) {
    return false;
  }
  return curve->reduce != nullptr && curve->multiply != nullptr && curve->square != nullptr &&
         curve->invert != nullptr && curve->point_add != nullptr && curve->point_mul != nullptr &&
         curve->find_y != nullptr;
}

Status ecc_invert(const QL_ECDSA_PARAMETERS &curve, Big &r, const Big &a, const Big &m) {
  return curve.invert(&r, &a, &m) == 1 ? kOk : kErrBigNoInverse;
}

}  // namespace ql

// Exported functions.

int32_t Big_Init_P224(QL_ECDSA_PARAMETERS *curve) {
  ql::init_named(curve, ql::p224, Big_MulMod224_96, Big_SqrMod224_96, Big_FindY3);
  return ql::kOk;
}

int32_t Big_Init_P256(QL_ECDSA_PARAMETERS *curve) {
  ql::init_named(curve, ql::p256, Big_MulMod256_224, Big_SqrMod256_224, Big_FindY1);
  return ql::kOk;
}

int32_t QL_ECDSA_InitParameters(QL_ECDSA_PARAMETERS *curve, uint32_t bits) {
  if (curve == nullptr) {
    return ql::kErrEccArgument;
  }
  if (bits == 224) {
    return Big_Init_P224(curve);
  }
  if (bits == 256) {
    return Big_Init_P256(curve);
  }
  return ql::kErrEccInitSize;
}

int32_t Big_MulMod224_96(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a, const Big *b) {
  if (b == nullptr) {
    return ql::kErrEccArgument;
  }
  return ql::mul_mod_special(curve, r, a, b, ql::p224_p, 7, ql::fold224);
}

int32_t Big_SqrMod224_96(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a) {
  return ql::mul_mod_special(curve, r, a, nullptr, ql::p224_p, 7, ql::fold224);
}

int32_t Big_MulMod256_224(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a, const Big *b) {
  if (b == nullptr) {
    return ql::kErrEccArgument;
  }
  return ql::mul_mod_special(curve, r, a, b, ql::p256_p, 8, ql::fold256);
}

int32_t Big_SqrMod256_224(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a) {
  return ql::mul_mod_special(curve, r, a, nullptr, ql::p256_p, 8, ql::fold256);
}

int32_t Big_MulModf(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a, const Big *b) {
  return ql::mul_mod_generic(curve, r, a, b, false, ql::kErrMulModfArg);
}

int32_t Big_SqrModf(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a) {
  return ql::mul_mod_generic(curve, r, a, nullptr, true, ql::kErrSqrModfArg);
}
