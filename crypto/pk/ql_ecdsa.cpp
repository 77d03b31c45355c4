// ECDSA over the prime-field curve records: random scalars from the X9.62 generator, key
// pairs, signing, verification, public-key validation and the pair-wise proof. Secret scalars
// (the nonce k, its inverse, the private key d) meet only the curve's constant-time scalar
// multiplication and the constant-time arithmetic modulo n below; verification works on public
// values and takes the fast variable-time joint multiplication.
#include "pk/ql_ecdsa.h"

#include <cstring>

#include "bigint/ql_mont.h"
#include "internal/ql_ct.h"
#include "internal/ql_mem.h"
#include "pk/ql_ecc.h"

namespace ql {

namespace {

using Limb = OrderLimb;
constexpr unsigned kBits = kLimbBits<Limb>;

// All ones when x is zero, else zero.
inline Limb limb_is_zero(Limb x) {
  return limb_mask<Limb>(static_cast<Limb>(((x | static_cast<Limb>(0 - x)) >> (kBits - 1)) ^ 1));
}

Mont<Limb> engine(const OrderRing &ring) {
  return Mont<Limb>{ring.n, static_cast<size_t>(ring.len), ring.n0};
}

// r = a * b / R (or a^2 / R) mod n by the shared engine, or for four 64-bit limbs by the curve
// kernel of this processor; both curves' orders take four 64-bit or seven and eight 32-bit
// limbs, lengths fixed at compile time so that the loops unroll. Operands are below n.
template <bool kSquare>
void order_product(const OrderRing &ring, OrderValue &r, const OrderValue &a, const OrderValue &b) {
  const Mont<Limb> m = engine(ring);
  Limb t[2 * kOrderMaxLimbs + 1];
  switch (ring.len) {
    case 4:
#if defined(QL_BIG_LIMB64)
      if (ecc_mont4_kernel().mul != nullptr) {
        if constexpr (kSquare) {
          return ecc_mont4_kernel().sqr(r.v, a.v, ring.n, ring.n0);
        }
        return ecc_mont4_kernel().mul(r.v, a.v, b.v, ring.n, ring.n0);
      }
#endif
      return mont_product<Limb, kSquare, 4>(r.v, a.v, b.v, m, t);
    case 7:
      return mont_product<Limb, kSquare, 7>(r.v, a.v, b.v, m, t);
    case 8:
      return mont_product<Limb, kSquare, 8>(r.v, a.v, b.v, m, t);
    default:
      return mont_product<Limb, kSquare>(r.v, a.v, b.v, m, t);
  }
}

}  // namespace

Status order_ring_init(OrderRing &ring, const Big &n) {
  std::memset(&ring, 0, sizeof(ring));
  const int used = big_used(n);
  if (used == 0 || used > kOrderMaxWords || (n.words[0] & 1u) == 0 ||
      (used == 1 && n.words[0] < 3)) {
    return kErrBigNoInverse;
  }
  ring.len = (used + kOrderWordsPerLimb - 1) / kOrderWordsPerLimb;
  words_to_limbs<Limb>(ring.n, kOrderMaxLimbs, n.words, used);
  ring.n0 = neg_inverse<Limb>(ring.n[0]);
  // R^2 mod n from the public n by ordinary division.
  Big power;
  big_clear(power);
  const unsigned bit = 2u * kBits * static_cast<unsigned>(ring.len);
  power.words[bit / 32] = 1u << (bit % 32);
  power.length = static_cast<int32_t>(bit / 32 + 1);
  Big rr;
  QL_TRY(big_mod(rr, power, n));
  words_to_limbs<Limb>(ring.rr.v, kOrderMaxLimbs, rr.words, big_used(rr));
  OrderValue unit{};
  unit.v[0] = 1;
  order_mont_mul(ring, ring.one, unit, ring.rr);
  const uint32_t two = 2;
  Big two_big;
  big_set_words(two_big, &two, 1, 0);
  Big_Dump(&ring.exponent, &n);
  ring.exponent.sign = 0;
  ring.exponent.length = used;
  return Big_Sub(&ring.exponent, &ring.exponent, &two_big);
}

OrderLimb order_from_big(const OrderRing &ring, OrderValue &out, const Big &a) {
  int length = a.length;
  if (length < 0) {
    length = 0;
  }
  if (length > kBigWords) {
    length = kBigWords;
  }
  const int limb_words = ring.len * kOrderWordsPerLimb;
  words_to_limbs<Limb>(out.v, kOrderMaxLimbs, a.words, length < limb_words ? length : limb_words);
  // Words above the ring's limbs must be zero, the value non-zero and below n.
  uint32_t high = 0;
  for (int i = limb_words; i < length; i++) {
    high |= a.words[i];
  }
  Limb any = 0;
  for (int i = 0; i < ring.len; i++) {
    any |= out.v[i];
  }
  Limb scratch[kOrderMaxLimbs] = {};
  const Limb below =
      limb_mask<Limb>(sub_limbs(scratch, out.v, ring.n, static_cast<size_t>(ring.len)));
  const Limb positive = a.sign == 0 ? ~static_cast<Limb>(0) : 0;
  return below & ~limb_is_zero(any) & limb_is_zero(high) & positive;
}

void order_to_big(const OrderRing &ring, Big &r, const OrderValue &a) {
  uint32_t words[kOrderMaxWords];
  limbs_to_words<Limb>(words, a.v, static_cast<size_t>(ring.len));
  big_set_words(r, words, ring.len * kOrderWordsPerLimb, 0);
  wipe(words, sizeof(words));
}

void order_mont_mul(const OrderRing &ring, OrderValue &r, const OrderValue &a,
                    const OrderValue &b) {
  order_product<false>(ring, r, a, b);
}

void order_add(const OrderRing &ring, OrderValue &r, const OrderValue &a, const OrderValue &b) {
  const size_t len = static_cast<size_t>(ring.len);
  Limb t[kOrderMaxLimbs];
  const Limb carry = add_limbs(t, a.v, b.v, len);
  final_sub(r.v, t, carry, ring.n, len);
}

void order_mont_inv(const OrderRing &ring, OrderValue &r, const OrderValue &a) {
  // Fixed 4-bit windows over the public exponent; the table index is an exponent digit.
  OrderValue table[16];
  table[0] = ring.one;
  table[1] = a;
  for (int i = 2; i < 16; i++) {
    order_mont_mul(ring, table[i], table[i - 1], a);
  }
  OrderValue acc = ring.one;
  const int bits = Big_GetFilledBitNum(&ring.exponent);
  for (int top = ((bits + 3) / 4) * 4 - 4; top >= 0; top -= 4) {
    for (int s = 0; s < 4; s++) {
      order_product<true>(ring, acc, acc, acc);
    }
    const uint32_t digit = (ring.exponent.words[top / 32] >> (top % 32)) & 0xFu;
    if (digit != 0) {
      order_mont_mul(ring, acc, acc, table[digit]);
    }
  }
  r = acc;
  wipe(table, sizeof(table));
  wipe(&acc, sizeof(acc));
}

OrderLimb order_eq(const OrderRing &ring, const OrderValue &a, const OrderValue &b) {
  Limb d = 0;
  for (int i = 0; i < ring.len; i++) {
    d |= a.v[i] ^ b.v[i];
  }
  return limb_is_zero(d);
}

// ---- ECDSA -----------------------------------------------------------------------------

namespace {

// Nonces drawn before signing gives up: r = 0 or s = 0 has probability about 2/n per draw on a
// real curve, so a record that keeps producing them is broken.
constexpr int kMaxSignAttempts = 16;

bool is_infinity(const BigPoint &p) { return (p.flags & QL_BIGPOINT_INFINITY) != 0; }

// Coordinates of a public point: non-negative and below p.
bool coordinates_reduced(const QL_ECDSA_PARAMETERS &curve, const BigPoint &q) {
  return q.x.sign == 0 && q.y.sign == 0 && big_ucomp(q.x, curve.p) < 0 &&
         big_ucomp(q.y, curve.p) < 0;
}

// The fast joint multiplication stands in for the point-multiply operation only when that is
// the one the curve initialisers install; any other operation is called as the record says.
bool joint_serves(const QL_ECDSA_PARAMETERS &curve) {
  return curve.point_mul == &BigPoint_Mul_NAFSlidingWindow && ecc_fast_curve(curve);
}

// D = w * (e*G + r*Q) through the record's operations: two multiplications, one addition and
// the final multiplication by w. Returns 0 or kErrVerifyInfinity when e*G + r*Q is infinity.
Status verify_by_operations(const QL_ECDSA_PARAMETERS &curve, BigPoint &d, const Big &e,
                            const Big &r, const Big &w, const BigPoint &q) {
  BigPoint eg;
  BigPoint rq;
  QL_TRY(curve.point_mul(&curve, &eg, &e, &curve.G));
  QL_TRY(curve.point_mul(&curve, &rq, &r, &q));
  QL_TRY(curve.point_add(&curve, &eg, &eg, &rq));
  if (is_infinity(eg)) {
    return kErrVerifyInfinity;
  }
  return curve.point_mul(&curve, &d, &w, &eg);
}

// u1 = e/s and u2 = r/s mod n for the joint multiplication (r, s in 1..n-1, e below n); an s
// whose computed inverse does not multiply back to one (n not prime) has none.
Status joint_multipliers(const QL_ECDSA_PARAMETERS &curve, Big &u1, Big &u2, const Big &e,
                         const Big &r, const Big &s) {
  OrderRing ring;
  QL_TRY(order_ring_init(ring, curve.n));
  OrderValue w{};
  OrderValue x{};
  order_from_big(ring, w, s);
  order_mont_mul(ring, w, w, ring.rr);
  order_mont_inv(ring, x, w);
  order_mont_mul(ring, w, w, x);
  if (order_eq(ring, w, ring.one) == 0) {
    return kErrBigNoInverse;
  }
  // x = s^-1 R; a plain value times it gives the plain product.
  order_from_big(ring, w, e);
  order_mont_mul(ring, w, w, x);
  order_to_big(ring, u1, w);
  order_from_big(ring, w, r);
  order_mont_mul(ring, w, w, x);
  order_to_big(ring, u2, w);
  return kOk;
}

// k: a fresh secret in [1, n-1] from an X9.62 generator keyed by n and field-size/8 bytes of
// the hash pool generator; the generator state lives only for this call.
Status random_scalar(const QL_ECDSA_PARAMETERS &curve, Big &k) {
  // The generator's modulus takes 5 to 16 words: its output buffer is sized for that.
  const int n_words = big_used(curve.n);
  if (curve.bits < 160 || curve.bits > 512 || n_words < 5 || n_words > kOrderMaxWords) {
    return kErrEcRandomArg;
  }
  Wiped<QL_X962_CTX> ctx;
  QL_X962_CTX &c = ctx.get();
  Big_Dump(&c.q, &curve.n);
  c.b = curve.bits / 8;
  QL_RandomBytes(c.xkey, c.b);
  c.seed_len = 0;
  return Big_X962_Random(&c, &k);
}

// The values of one signature in Montgomery form (all secret), wiped as one record.
struct SignScratch {
  OrderValue k;
  OrderValue d;
  OrderValue kinv;
  OrderValue t;
  OrderValue s;
  OrderValue check;
  OrderValue plain;
};

// The part of signing after R = k*G, which is public: r, the checks, s.
Status ecdsa_sign_with_point(const QL_ECDSA_PARAMETERS &curve, QL_ECDSA_SIGNATURE &sig,
                             const Big &e, const Big &d, const Big &k, const BigPoint &big_r,
                             bool &retry) {
  retry = false;
  OrderRing ring;
  if (order_ring_init(ring, curve.n) != kOk) {
    return kErrSignArg;
  }
  Wiped<SignScratch> scratch;
  SignScratch &w = scratch.get();
  OrderLimb in_range = order_from_big(ring, w.k, k) & order_from_big(ring, w.d, d);
  QL_CT_PUBLIC(&in_range, sizeof(in_range));
  if (in_range == 0) {
    return kErrSignArg;
  }

  if (is_infinity(big_r)) {
    retry = true;
    return kOk;
  }
  if (!coordinates_reduced(curve, big_r) || BigPoint_IsSolution(&curve, &big_r) != kOk) {
    return critical(kErrSignCheck);
  }
  Big r;
  QL_TRY(big_mod(r, big_r.x, curve.n));
  if (big_used(r) == 0) {
    retry = true;
    return kOk;
  }

  // kinv = k^-1; it must multiply back to one (n prime).
  order_mont_mul(ring, w.k, w.k, ring.rr);
  order_mont_inv(ring, w.kinv, w.k);
  order_mont_mul(ring, w.check, w.kinv, w.k);
  OrderLimb inverted = order_eq(ring, w.check, ring.one);
  QL_CT_PUBLIC(&inverted, sizeof(inverted));
  if (inverted == 0) {
    return kErrBigNoInverse;
  }

  // t = e + r*d and s = kinv * t, all in Montgomery form.
  order_mont_mul(ring, w.d, w.d, ring.rr);
  order_from_big(ring, w.t, r);
  order_mont_mul(ring, w.t, w.t, ring.rr);
  order_mont_mul(ring, w.t, w.t, w.d);
  order_from_big(ring, w.plain, e);
  order_mont_mul(ring, w.plain, w.plain, ring.rr);
  order_add(ring, w.t, w.t, w.plain);
  order_mont_mul(ring, w.s, w.kinv, w.t);

  // s*k must give t back before s leaves.
  order_mont_mul(ring, w.check, w.s, w.k);
  OrderLimb consistent = order_eq(ring, w.check, w.t);
  QL_CT_PUBLIC(&consistent, sizeof(consistent));
  if (consistent == 0) {
    return critical(kErrSignCheck);
  }

  OrderValue unit{};
  unit.v[0] = 1;
  order_mont_mul(ring, w.plain, w.s, unit);
  QL_CT_PUBLIC(&w.plain, sizeof(w.plain));
  Big s;
  order_to_big(ring, s, w.plain);
  if (big_used(s) == 0) {
    retry = true;
    return kOk;
  }
  Big_Dump(&sig.r, &r);
  Big_Dump(&sig.s, &s);
  return kOk;
}

}  // namespace

bool ecdsa_curve_ok(const QL_ECDSA_PARAMETERS *curve) {
  return ecc_curve_complete(curve) && curve->lead == 2;
}

bool scalar_positive(const Big &k) {
  int length = k.length;
  if (length < 0) {
    length = 0;
  }
  if (length > kBigWords) {
    length = kBigWords;
  }
  uint32_t any = 0;
  for (int i = 0; i < length; i++) {
    any |= k.words[i];
  }
  uint32_t ok = ct::is_zero(any) ^ 1u;
  QL_CT_PUBLIC(&ok, sizeof(ok));
  return ok != 0 && k.sign == 0;
}

bool scalar_in_range(const Big &k, const Big &n) {
  int length = k.length;
  if (length < 0) {
    length = 0;
  }
  if (length > kBigWords) {
    length = kBigWords;
  }
  const int n_len = big_used(n);
  const int num = length > n_len ? length : n_len;
  // Borrow of k - n over both lengths, and the OR of k's words.
  uint32_t borrow = 0;
  uint32_t any = 0;
  for (int i = 0; i < num; i++) {
    const uint32_t ki = i < length ? k.words[i] : 0u;
    const uint32_t ni = i < n_len ? n.words[i] : 0u;
    const uint64_t diff = uint64_t{ki} - ni - borrow;
    borrow = static_cast<uint32_t>(diff >> 63);
    any |= ki;
  }
  uint32_t ok = ct::barrier(borrow & (ct::is_zero(any) ^ 1u));
  QL_CT_PUBLIC(&ok, sizeof(ok));
  return ok != 0 && k.sign == 0;
}

Status digest_to_scalar(Big &e, const uint8_t *digest, uint32_t digest_len, const Big &n) {
  big_clear(e);
  if (digest_len == 0) {
    return kOk;
  }
  const uint32_t n_bits = static_cast<uint32_t>(Big_GetFilledBitNum(&n));
  uint32_t take = digest_len;
  uint32_t shift = 0;
  if (8 * digest_len > n_bits) {
    take = (n_bits + 7) / 8;
    shift = 8 * take - n_bits;
  }
  QL_TRY(U8ToBig(&e, digest, take));
  if (shift != 0) {
    QL_TRY(big_rshift(e, e, shift));
  }
  return big_mod(e, e, n);
}

Status ecdsa_sign_with_nonce(const QL_ECDSA_PARAMETERS &curve, QL_ECDSA_SIGNATURE &sig,
                             const Big &e, const Big &d, const Big &k, bool &retry) {
  retry = false;
  // R = k*G; its coordinates are public once r is.
  Wiped<BigPoint> point;
  if (k.sign == 0) {
    QL_TRY(ecc_mul_base_secret(curve, point.get(), k));
  }
  QL_CT_PUBLIC(point.ptr(), sizeof(BigPoint));
  return ecdsa_sign_with_point(curve, sig, e, d, k, point.get(), retry);
}

}  // namespace ql

// Exported functions.

QL_ECDSA_PARAMETERS *QL_ECDSA_Parameters_New(void) { return ql::new_zeroed<QL_ECDSA_PARAMETERS>(); }

void QL_ECDSA_Parameters_Delete(QL_ECDSA_PARAMETERS *curve) {
  ql::free_wiped(curve, sizeof(QL_ECDSA_PARAMETERS));
}

QL_ECDSA_SIGNATURE *QL_ECDSA_Signature_New(void) { return ql::new_zeroed<QL_ECDSA_SIGNATURE>(); }

void QL_ECDSA_Signature_Delete(QL_ECDSA_SIGNATURE *sig) {
  ql::free_wiped(sig, sizeof(QL_ECDSA_SIGNATURE));
}

int32_t Big_Random_with_SHA1(const QL_ECDSA_PARAMETERS *curve, Big *k) {
  if (!ql::ecdsa_curve_ok(curve) || k == nullptr) {
    return ql::kErrEcRandomArg;
  }
  return ql::random_scalar(*curve, *k);
}

int32_t QL_ECDSA_GenerateKeyPair(const QL_ECDSA_PARAMETERS *curve, BigPoint *Q, Big *d) {
  if (!ql::ecdsa_curve_ok(curve) || Q == nullptr || d == nullptr) {
    return ql::kErrKeyPairArg;
  }
  std::memset(Q, 0, sizeof(*Q));
  ql::Wiped<Big> secret;
  QL_TRY(ql::random_scalar(*curve, secret.get()));
  ql::Wiped<BigPoint> point;
  QL_TRY(ql::ecc_mul_base_secret(*curve, point.get(), secret.get()));
  *Q = point.get();
  QL_CT_PUBLIC(Q, sizeof(*Q));
  *d = secret.get();
  return ql::kOk;
}

int32_t QL_ECDSA_Sign(QL_ECDSA_SIGNATURE *sig, const uint8_t *digest, uint32_t digest_len,
                      const Big *d, const QL_ECDSA_PARAMETERS *curve) {
  if (!ql::ecdsa_curve_ok(curve) || sig == nullptr || d == nullptr || digest == nullptr ||
      digest_len > ql::kMaxDigestLen || !ql::scalar_in_range(*d, curve->n)) {
    return ql::kErrSignArg;
  }
  Big e;
  QL_TRY(ql::digest_to_scalar(e, digest, digest_len, curve->n));
  ql::Wiped<Big> k;
  ql::Wiped<QL_ECDSA_SIGNATURE> result;
  for (int attempt = 0; attempt < ql::kMaxSignAttempts; attempt++) {
    QL_TRY(ql::random_scalar(*curve, k.get()));
    bool retry = false;
    QL_TRY(ql::ecdsa_sign_with_nonce(*curve, result.get(), e, *d, k.get(), retry));
    if (!retry) {
      *sig = result.get();
      return ql::kOk;
    }
  }
  return ql::kErrSignArg;
}

int32_t QL_ECDSA_Verify(const QL_ECDSA_PARAMETERS *curve, const BigPoint *Q,
                        const QL_ECDSA_SIGNATURE *sig, const uint8_t *digest, uint32_t digest_len) {
  // A key at infinity or off the curve would let e*G alone satisfy the equation.
  if (!ql::ecdsa_curve_ok(curve) || Q == nullptr || sig == nullptr || digest == nullptr ||
      digest_len > ql::kMaxDigestLen || ql::is_infinity(*Q) ||
      !ql::coordinates_reduced(*curve, *Q) || BigPoint_IsSolution(curve, Q) != ql::kOk) {
    return ql::kErrVerifyArg;
  }
  // r and s outside 1..n-1 are refused before any arithmetic: s + n would verify like s.
  if (!ql::scalar_in_range(sig->r, curve->n) || !ql::scalar_in_range(sig->s, curve->n)) {
    return ql::kErrVerifyRange;
  }
  Big e;
  QL_TRY(ql::digest_to_scalar(e, digest, digest_len, curve->n));
  if (ql::joint_serves(*curve) && curve->invert == &Big_Inv) {
    // w*(e*G + r*Q) = (e*w)*G + (r*w)*Q, at infinity exactly when e*G + r*Q is.
    Big u1;
    Big u2;
    QL_TRY(ql::joint_multipliers(*curve, u1, u2, e, sig->r, sig->s));
    return ql::ecc_verify_joint(*curve, u1, u2, *Q, sig->r);
  }
  Big w;
  QL_TRY(ql::ecc_invert(*curve, w, sig->s, curve->n));
  BigPoint point_d{};
  QL_TRY(ql::verify_by_operations(*curve, point_d, e, sig->r, w, *Q));
  if (ql::big_used(point_d.x) == 0 && ql::big_used(point_d.y) == 0) {
    return ql::kErrVerifyZeroPoint;
  }
  Big v;
  QL_TRY(Big_Mod(&v, &point_d.x, &curve->n));
  return ql::big_ucomp(v, sig->r) == 0 ? ql::kOk : ql::kErrVerifyMismatch;
}

int32_t QL_ECDSA_VerifyPublicKey(const BigPoint *Q, const QL_ECDSA_PARAMETERS *curve) {
  if (!ql::ecdsa_curve_ok(curve) || Q == nullptr) {
    return ql::kErrPubKeyArg;
  }
  if (ql::is_infinity(*Q) || !ql::coordinates_reduced(*curve, *Q) ||
      BigPoint_IsSolution(curve, Q) != ql::kOk) {
    return ql::kErrPubKeyInvalid;
  }
  BigPoint nq;
  QL_TRY(curve->point_mul(curve, &nq, &curve->n, Q));
  return ql::is_infinity(nq) ? ql::kOk : ql::kErrPubKeyInvalid;
}

int32_t QL_ECDSA_ProveKeyPair(const Big *d, const BigPoint *Q, const QL_ECDSA_PARAMETERS *curve) {
  if (!ql::ecdsa_curve_ok(curve) || d == nullptr || Q == nullptr ||
      !ql::scalar_in_range(*d, curve->n)) {
    return ql::kErrProveArg;
  }
  BigPoint point;
  QL_TRY(ql::ecc_mul_base_secret(*curve, point, *d));
  // d*G is the public key: comparing it with Q reveals nothing more.
  QL_CT_PUBLIC(&point, sizeof(point));
  return QL_ECDSA_BIGPOINT_Comp(&point, Q) == ql::kOk ? ql::kOk : ql::kErrProveMismatch;
}
