// Constant-time Montgomery arithmetic for secret exponents and secret moduli (RSA's d, dP, dQ
// and primes; private exponents of the other public-key units). Values are arrays of limbs,
// least significant first: 64-bit limbs where the compiler has a 128-bit product, 32-bit
// words elsewhere. Only the limb count and the modulus' bit length (both public) steer
// branches or memory indexes; values never do.
#ifndef QL_BIG_CT_H
#define QL_BIG_CT_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "bigint/ql_mont.h"
#include "internal/ql_status.h"

namespace ql {
namespace ctm {

#if defined(QL_BIG_LIMB64)
using Limb = uint64_t;
#else
using Limb = uint32_t;
#endif
constexpr int kWordsPerLimb = static_cast<int>(sizeof(Limb) / 4);  // as ql::kWordsPerLimb<Limb>
// Limbs of the longest modulus (128 words) and of the scratch every operation needs.
constexpr size_t kMaxLimbs = static_cast<size_t>(kMontMaxWords / kWordsPerLimb);
constexpr size_t kScratchLimbs = 2 * kMaxLimbs + 2;

// An odd modulus n > 1 with R = 2^(limb bits * len): -n^-1 mod 2^(limb bits), R mod n and
// R^2 mod n. A plain record; wipe it when n is secret.
struct Modulus {
  Limb n[kMaxLimbs];
  Limb one[kMaxLimbs];  // R mod n, the Montgomery form of 1
  Limb rr[kMaxLimbs];   // R^2 mod n
  size_t len;
  Limb n0;
};

// Prepares `m` for the modulus `n` (its words below n.length). n's bit length and parity are
// treated as public; nothing else of n steers the code. Returns false (m unusable) when n is
// even, below 3, negative or longer than 128 words.
bool init(Modulus &m, const Big &n);

// As init, for a public n: R^2 mod n by one division, R mod n from it (variable time in n).
bool init_public(Modulus &m, const Big &n);

// r = a * b * R^-1 mod n for a < R and b < n; r may be a or b. `t` is kScratchLimbs limbs.
void mul(Limb *r, const Limb *a, const Limb *b, const Modulus &m, Limb *t);

// r = a^2 * R^-1 mod n for a < n; r may be a.
void sqr(Limb *r, const Limb *a, const Modulus &m, Limb *t);

// r = (a - b) mod n for a, b < n; r may be a or b.
void sub_mod(Limb *r, const Limb *a, const Limb *b, const Modulus &m);

// out = (x mod n) * R mod n, the Montgomery form of the value held in the 32-bit words
// x[0..num_words) (num_words <= 2 * 128 + 1). Constant time in the words' values.
void to_mont(Limb *out, const uint32_t *x, int num_words, const Modulus &m, Limb *t);

// out = x * R^-1 mod n: from Montgomery form back to the plain residue.
void from_mont(Limb *out, const Limb *x, const Modulus &m, Limb *t);

// r = base^e in Montgomery form (base given in Montgomery form, below n) for the exponent in
// the 32-bit words e[0..num_exp_words), all of whose bits are processed: fixed 5-bit windows,
// each table entry read through a mask. The table comes from the heap; failure returns
// `alloc_code` in critical form and leaves r untouched. r may be base.
Status exp(Limb *r, const Limb *base, const uint32_t *e, int num_exp_words, const Modulus &m,
           Status alloc_code);

// One exponentiation of exp_pair: r = base^e in Montgomery form modulo *m, as for exp.
struct ExpJob {
  Limb *r;
  const Limb *base;
  const uint32_t *e;
  int num_exp_words;
  const Modulus *m;
};

// Both exponentiations as exp would compute them, interleaved where the processor gains by
// it (two moduli of one length); RSA's halves modulo p and q. Failure returns `alloc_code` in
// critical form; the first job's r may then already hold its result.
Status exp_pair(const ExpJob &first, const ExpJob &second, Status alloc_code);

// r = base^e for a public exponent in the 32-bit words e[0..num_exp_words), all in Montgomery
// form (base below n): left-to-right square and multiply, variable time in e only. r may be
// base; `t` is kScratchLimbs limbs.
void exp_public(Limb *r, const Limb *base, const uint32_t *e, int num_exp_words, const Modulus &m,
                Limb *t);

}  // namespace ctm

// r = g^e mod N for an odd N > 1 of at most 128 words (public) and g >= 0, in time independent
// of the values of g and e (all e.length words of e are processed). Returns 0,
// kErrBigDivByZero for a zero N, kErrBigOverflow for one above 128 words, kErrBigNoInverse for
// an even N or 1, or `alloc_code` in critical form (r untouched).
Status big_mod_exp_consttime(Big &r, const Big &g, const Big &e, const Big &N, Status alloc_code);

}  // namespace ql

#endif  // QL_BIG_CT_H
