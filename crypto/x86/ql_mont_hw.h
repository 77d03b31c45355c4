// Montgomery products on 64-bit limbs with MULX, ADCX and ADOX (only when
// cpu::has(cpu::kMulx)): two independent carry chains, so each limb product costs one multiply
// and two additions. Almost-Montgomery products in radix 2^52 with AVX-512 IFMA (only when
// cpu::has(cpu::kIfma)), for the exponentiations modulo moduli of 1024 to 4096 bits.
// Loop counts depend on the lengths only; subtractions and carries are by mask, so the time is
// independent of the values.
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

// 512-bit registers are left out on Windows: the compiler cannot keep spilled ones aligned
// on that ABI's stack.
#if !defined(_WIN32)
#define QL_IFMA_ACCEL 1
namespace ifma {

constexpr unsigned kDigitBits = 52;
// Digits of the longest value handled (4096 bits), a whole number of 8-digit registers.
constexpr size_t kMaxPaddedDigits = 80;

// The digits, a multiple of 8, that hold a value modulo a modulus of `len` 64-bit limbs:
// K = ceil(64 len / 52) rounded up, for len 16, 24, 32, 48 and 64; 0 for a length not handled.
size_t padded_digits(size_t len);

// out (padded_digits(len) digits) = x (len limbs) in radix 2^52.
void to_digits(uint64_t *out, const uint64_t *x, size_t len);

// out (len limbs) = the low 64 len bits of x (normalised digits); returns the bits above.
uint64_t from_digits(uint64_t *out, const uint64_t *x, size_t len);

// One almost-Montgomery product r = a b 2^(-52 K) mod n, below 2n for a, b < 2n: all in
// normalised digits, n odd with 4n < 2^(52 K), k0 = -n^-1 mod 2^52. r may be a or b.
struct Product {
  uint64_t *r;
  const uint64_t *a;
  const uint64_t *b;
  const uint64_t *n;
  uint64_t k0;
};

// Computes the num_products (1 or 2) products p[0..num_products), interleaved, for moduli of
// `len` limbs with padded_digits(len) != 0.
void amm(const Product *p, size_t num_products, size_t len);

// out = entry `index` of the num_entries consecutive values of `table` (padded digits each),
// reading every entry.
void select(uint64_t *out, const uint64_t *table, size_t num_entries, uint32_t index, size_t len);

}  // namespace ifma
#endif
}  // namespace ql
#endif

#endif  // QL_MONT_HW_H
