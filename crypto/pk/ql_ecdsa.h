// Arithmetic modulo the order n of a curve's base point, in constant time for the secret values
// of signing (the nonce k, its inverse, the private key d): Montgomery form over a fixed number
// of limbs (64-bit where the compiler has a 128-bit product, else 32-bit), a final subtraction
// by mask, and inversion by Fermat's little theorem, whose exponent n - 2 is public.
#ifndef QL_PK_ECDSA_H
#define QL_PK_ECDSA_H

#include <cstdint>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "internal/ql_status.h"

namespace ql {

// Big_Random_with_SHA1 refuses its arguments with the random generators' code.
constexpr Status kErrEcRandomArg = kErrRandOutNull;
constexpr uint32_t kMaxDigestLen = QL_ECDSA_MAX_DIGEST_LEN;

#if defined(QL_BIG_LIMB64)
using OrderLimb = uint64_t;
#else
using OrderLimb = uint32_t;
#endif

// Orders of up to 512 bits, the largest the random-scalar generator accepts.
constexpr int kOrderMaxWords = 16;
constexpr int kOrderWordsPerLimb = static_cast<int>(sizeof(OrderLimb) / 4);
constexpr int kOrderMaxLimbs = kOrderMaxWords / kOrderWordsPerLimb;

// A residue modulo n: `len` limbs of the ring, least significant first, limbs above zero.
struct OrderValue {
  OrderLimb v[kOrderMaxLimbs];
};

// The ring Z/nZ of one odd n of 2 to 512 bits. R = 2^(limb bits * len).
struct OrderRing {
  OrderLimb n[kOrderMaxLimbs];
  OrderValue rr;   // R^2 mod n, to enter Montgomery form
  OrderValue one;  // R mod n, the Montgomery form of 1
  OrderLimb n0;    // -n^-1 mod 2^(limb bits)
  int len;         // limbs in use
  Big exponent;    // n - 2, the exponent of inversion
};

// Sets up `ring` for the order `n`. Returns 0, or kErrBigNoInverse when n is even, below 3 or
// longer than 512 bits (no Montgomery form, or no inversion by this method).
Status order_ring_init(OrderRing &ring, const Big &n);

// Reads `a` into `out` (plain form) and returns an all-ones mask when 1 <= a <= n - 1, zero
// otherwise, without branching on the words of `a` (only on its length and sign fields). A
// value outside the range leaves `out` unspecified.
OrderLimb order_from_big(const OrderRing &ring, OrderValue &out, const Big &a);

// Writes the plain value `a` (below n) into `r` in normal form.
void order_to_big(const OrderRing &ring, Big &r, const OrderValue &a);

// r = a * b / R mod n (Montgomery product) for a, b below n; r may alias either.
void order_mont_mul(const OrderRing &ring, OrderValue &r, const OrderValue &a, const OrderValue &b);

// r = a + b mod n for a, b below n; r may alias either.
void order_add(const OrderRing &ring, OrderValue &r, const OrderValue &a, const OrderValue &b);

// r = a^-1 in Montgomery form, for `a` in Montgomery form (a^(n-2), so 0 maps to 0; n must be
// prime for it to be the inverse). The exponent is public: the time depends on n alone.
void order_mont_inv(const OrderRing &ring, OrderValue &r, const OrderValue &a);

// All-ones when a equals b, else zero, in constant time.
OrderLimb order_eq(const OrderRing &ring, const OrderValue &a, const OrderValue &b);

// The parameter check of the ECDSA functions: the curve check of the point arithmetic and the
// leading word 2 that verification relies on.
bool ecdsa_curve_ok(const QL_ECDSA_PARAMETERS *curve);

// True when k > 0. The words of k steer no branch.
bool scalar_positive(const Big &k);

// True when 1 <= k <= n - 1 (k non-negative). The words of k steer no branch; its length and
// sign fields and n may.
bool scalar_in_range(const Big &k, const Big &n);

// e = the leftmost bits of the `digest_len`-byte digest, as many as n has (all of them for a
// digest no longer than n), reduced modulo n. An empty digest gives 0.
Status digest_to_scalar(Big &e, const uint8_t *digest, uint32_t digest_len, const Big &n);

// Signs e (below n) with the private key d and the nonce k (both in 1..n-1, secret): R = k*G,
// r = x(R) mod n, s = k^-1 (e + r*d) mod n, each checked before it leaves. Sets `retry`
// (nothing written) when r or s is zero, so that the caller draws a new nonce. Returns 0, the
// sign code for a scalar out of range or a curve without the fast engine, kErrBigNoInverse
// when k has no inverse, or the check code in critical form when R is off the curve or s fails
// s*k = e + r*d (a fault in the arithmetic).
Status ecdsa_sign_with_nonce(const QL_ECDSA_PARAMETERS &curve, QL_ECDSA_SIGNATURE &sig,
                             const Big &e, const Big &d, const Big &k, bool &retry);


}  // namespace ql

#endif  // QL_PK_ECDSA_H
