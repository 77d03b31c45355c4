// Internal interface of prime testing: trial division and the prime table.
#ifndef QL_PRIME_H
#define QL_PRIME_H

#include <cstdint>

#include "QuillonCrypto.h"

namespace ql {

// 1 when `n` is divisible by one of the primes 3, 5, ... at table indexes 1 to `count` - 1,
// checked in table order; 0 otherwise (also for `count` <= 1).
int32_t Big_TrialDivision(const Big *n, uint32_t count);

// Gordon's strong prime of ceil(`bits`/8) bytes, as Big_GeneratePrimeStrongRSA; when not null,
// `r_out` and `t_out` receive the large prime factors of p + 1 and p - 1.
int32_t strong_prime(Big *p, uint32_t bits, Big *r_out, Big *t_out);

// The 3001 smallest primes, 2 to 27457, in increasing order.
const uint32_t *prime_table();

}  // namespace ql

#endif  // QL_PRIME_H
