// Montgomery products on 64-bit limbs with MULX, ADCX and ADOX (only when
// cpu::has(cpu::kMulx)): two independent carry chains, so each limb product costs one multiply
// and two additions. Loop counts depend on the limb count only; the final subtraction is by
// mask, so the time is independent of the values.
#ifndef QL_MONT_HW_H
#define QL_MONT_HW_H

#include <cstddef>
#include <cstdint>

#include "platform/ql_cpu.h"

#if QL_X86_ACCEL
namespace ql {
namespace mulx {

// r = a * b * R^-1 mod n with R = 2^(64 len), for a < R, b < n and n odd; r may be a or b.
// `t` is 2 len + 2 limbs of scratch. `n0` = -n^-1 mod 2^64.
void mont_mul(uint64_t *r, const uint64_t *a, const uint64_t *b, const uint64_t *n, size_t len,
              uint64_t n0, uint64_t *t);

// r = a^2 * R^-1 mod n for a < n: the cross products once and doubled, then the reduction.
void mont_sqr(uint64_t *r, const uint64_t *a, const uint64_t *n, size_t len, uint64_t n0,
              uint64_t *t);

}  // namespace mulx
}  // namespace ql
#endif

#endif  // QL_MONT_HW_H
