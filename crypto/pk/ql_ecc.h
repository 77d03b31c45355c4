// Internal interface of the curve units for the signature code: the parameter check, the
// status form of the invert operation, and the scalar multiplications behind the point-multiply
// operation: a constant-time one for secret scalars and a variable-time joint one for
// verification. All take a curve record filled as QL_ECDSA_InitParameters fills it (or any
// complete record over an odd prime of at most 256 bits).
#ifndef QL_ECC_H
#define QL_ECC_H

#include "QuillonCrypto.h"
#include "internal/ql_status.h"

namespace ql {

// True when `a` is zero (length 0, or zero words).
bool big_is_zero(const Big &a);

// The parameter check of every curve function: `curve` non-null, n, a, p and b non-zero, G not
// (0, 0), and all seven operations set. A record with a = 0 fails it.
bool ecc_curve_complete(const QL_ECDSA_PARAMETERS *curve);

// r = a^-1 mod m through the curve's invert operation: 0, or kErrBigNoInverse (-2003) when the
// operation reports that there is no inverse (its 1/0 result turned into a status).
Status ecc_invert(const QL_ECDSA_PARAMETERS &curve, Big &r, const Big &a, const Big &m);

// True when the fast engine serves `curve`: p odd, 3 < p < 2^256, a and b below p. Every record
// that QL_ECDSA_InitParameters fills qualifies.
bool ecc_fast_curve(const QL_ECDSA_PARAMETERS &curve);

// The Montgomery product and square, the sum and the difference modulo an odd m below 2^256
// on four 64-bit limbs (R = 2^256, operands below m, results below m, time independent of the
// values) of this processor's curve kernel, the one the field engine uses; null members where
// the portable code serves.
struct Mont4Kernel {
  void (*mul)(uint64_t r[4], const uint64_t a[4], const uint64_t b[4], const uint64_t m[4],
              uint64_t m0);
  void (*sqr)(uint64_t r[4], const uint64_t a[4], const uint64_t m[4], uint64_t m0);
  void (*add)(uint64_t r[4], const uint64_t a[4], const uint64_t b[4], const uint64_t m[4]);
  void (*sub)(uint64_t r[4], const uint64_t a[4], const uint64_t b[4], const uint64_t m[4]);
};
const Mont4Kernel &ecc_mont4_kernel();

// r = k * P for a secret scalar k: fixed 4-bit windows over the scalar in Jacobian coordinates,
// every table entry read through masks, no branch or memory index on the bits of k, one
// inversion at the end. k >= n is first reduced mod n (whose cost then depends on k). P must be
// finite with coordinates below p (a point at infinity gives infinity); k = 0 (mod n) gives the
// point at infinity. `r` may be `p`. Returns 0, kErrEccArgument (-5513) for a curve the fast
// engine does not serve (ecc_fast_curve) or a negative k.
Status ecc_mul_secret(const QL_ECDSA_PARAMETERS &curve, BigPoint &r, const Big &k,
                      const BigPoint &p);

// 224 or 256 when `curve` holds the constants of P-224 or P-256 (p, a, b, G, n), else 0.
int ecc_named_curve(const QL_ECDSA_PARAMETERS &curve);

// r = k * G (G the curve's base point) for a secret scalar k, as ecc_mul_secret; on P-224 and
// P-256 by fixed tables of the multiples of G, one masked table scan and one mixed addition per
// 4-bit window and no doubling.
Status ecc_mul_base_secret(const QL_ECDSA_PARAMETERS &curve, BigPoint &r, const Big &k);

// r = u1 * G + u2 * Q (G the curve's base point) for public scalars, variable time: one chain
// of doublings over width-5 NAF digits of both scalars (on P-224 and P-256 the odd multiples
// of G from the fixed table). Q at infinity contributes nothing.
// `r` may be `q`. Returns 0 or kErrEccArgument (-5513) as ecc_mul_secret.
Status ecc_mul_joint(const QL_ECDSA_PARAMETERS &curve, BigPoint &r, const Big &u1, const Big &u2,
                     const BigPoint &q);

// The end of an ECDSA verification for r in 1..n-1: D = u1 * G + u2 * Q as ecc_mul_joint, then
// kErrVerifyInfinity (-5532) for D at infinity, kErrVerifyZeroPoint for D = (0, 0), 0 when the
// x of D is r mod n, else kErrVerifyMismatch; kErrEccArgument as ecc_mul_joint. Where p < 2n
// the comparison runs on D's Jacobian coordinates, without an inversion.
Status ecc_verify_joint(const QL_ECDSA_PARAMETERS &curve, const Big &u1, const Big &u2,
                        const BigPoint &q, const Big &r);

#if defined(QL_TEST_HOOKS)
namespace test {
// Makes the point multiplications work through the curve record's affine addition, as they do
// for records the field engine does not serve.
void ecc_force_affine(bool on);
}  // namespace test
#endif

}  // namespace ql

#endif  // QL_ECC_H
