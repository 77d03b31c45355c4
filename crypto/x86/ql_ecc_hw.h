// Field arithmetic for the curve engine on four 64-bit limbs with MULX, ADCX and ADOX (only
// when cpu::has(cpu::kMulx)): Montgomery products, sums and differences modulo an odd p below
// 2^256, straight-line code with the final corrections by conditional moves or masks, so the
// time is independent of the values.
#ifndef QL_ECC_HW_H
#define QL_ECC_HW_H

#include <cstdint>

#include "platform/ql_cpu.h"

#if QL_X86_ACCEL
namespace ql {
namespace mulx {

// r = a * b * 2^-256 mod p for a, b < p, p odd, n0 = -p^-1 mod 2^64; r may be a or b.
void fe4_mul(uint64_t r[4], const uint64_t a[4], const uint64_t b[4], const uint64_t p[4],
             uint64_t n0);

// r = a^2 * 2^-256 mod p under the same conditions.
void fe4_sqr(uint64_t r[4], const uint64_t a[4], const uint64_t p[4], uint64_t n0);

// r = a + b mod p and r = a - b mod p for a, b < p < 2^256; r may be a or b.
void fe4_add(uint64_t r[4], const uint64_t a[4], const uint64_t b[4], const uint64_t p[4]);
void fe4_sub(uint64_t r[4], const uint64_t a[4], const uint64_t b[4], const uint64_t p[4]);

}  // namespace mulx
}  // namespace ql
#endif

#endif  // QL_ECC_HW_H
