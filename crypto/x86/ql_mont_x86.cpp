// Montgomery multiplication and squaring with MULX/ADCX/ADOX. The kernel is one row,
// t += x * w over any number of limbs: MULX leaves the flags alone, ADCX carries the high
// halves of the products along CF and ADOX carries the sums into t along OF; both chains are
// closed into the carried high half at the end of each pass of eight (or four, or one) limbs.
// The product adds the rows of a * b_i and of the reduction multiple m_i * n into a window
// of t that slides one limb per step, so nothing is shifted.
#include "bigint/ql_big.h"
#include "bigint/ql_mont.h"
#include "x86/ql_mont_hw.h"

namespace ql {
namespace mulx {
namespace {

// One limb of a row at byte offset `off`: the product's low half plus the previous high half
// (`in`) on CF, plus t on OF; the high half goes to `out`.
#define QL_MULX_LIMB(off, in, out)               \
  "mulxq " #off "(%[x]), %%rax, " out "\n\t"    \
  "adcxq " in ", %%rax\n\t"                      \
  "adoxq " #off "(%[t]), %%rax\n\t"              \
  "movq %%rax, " #off "(%[t])\n\t"
#define QL_MULX_FOUR(o0, o1, o2, o3)          \
  QL_MULX_LIMB(o0, "%[hi]", "%%r9")           \
  QL_MULX_LIMB(o1, "%%r9", "%[hi]")           \
  QL_MULX_LIMB(o2, "%[hi]", "%%r9")           \
  QL_MULX_LIMB(o3, "%%r9", "%[hi]")

// t[0..len) += x[0..len) * w; returns the carry limb (t + x w < 2^(64 (len + 1))). Eight limbs
// per pass, then four, then one at a time. Each pass starts both chains with clear flags and
// ends by adding CF and OF into the carried high half: that sum is the carry into the next
// limb, below 2^64 for any values, so the loop control may then change the flags.
inline uint64_t addmul_row(uint64_t *t, const uint64_t *x, size_t len, uint64_t w) {
  size_t count = len / 8;
  const size_t four = (len / 4) % 2;
  const size_t rest = len % 4;
  uint64_t hi;
  __asm__ volatile(
      "xorl %k[hi], %k[hi]\n\t"
      "testq %%rcx, %%rcx\n\t"
      "jz 2f\n\t"
      "1:\n\t"
      "xorl %%r10d, %%r10d\n\t"  // clears CF and OF
      QL_MULX_FOUR(0, 8, 16, 24)
      QL_MULX_FOUR(32, 40, 48, 56)
      "adcxq %%r10, %[hi]\n\t"
      "adoxq %%r10, %[hi]\n\t"
      "leaq 64(%[x]), %[x]\n\t"
      "leaq 64(%[t]), %[t]\n\t"
      "decq %%rcx\n\t"
      "jnz 1b\n\t"
      "2:\n\t"
      "testq %[four], %[four]\n\t"
      "jz 3f\n\t"
      "xorl %%r10d, %%r10d\n\t"
      QL_MULX_FOUR(0, 8, 16, 24)
      "adcxq %%r10, %[hi]\n\t"
      "adoxq %%r10, %[hi]\n\t"
      "leaq 32(%[x]), %[x]\n\t"
      "leaq 32(%[t]), %[t]\n\t"
      "3:\n\t"
      "movq %[rest], %%rcx\n\t"
      "testq %%rcx, %%rcx\n\t"
      "jz 5f\n\t"
      "4:\n\t"
      "xorl %%r10d, %%r10d\n\t"
      QL_MULX_LIMB(0, "%[hi]", "%%r9")
      "movq %%r9, %[hi]\n\t"
      "adcxq %%r10, %[hi]\n\t"
      "adoxq %%r10, %[hi]\n\t"
      "leaq 8(%[x]), %[x]\n\t"
      "leaq 8(%[t]), %[t]\n\t"
      "decq %%rcx\n\t"
      "jnz 4b\n\t"
      "5:\n\t"
      : [t] "+r"(t), [x] "+r"(x), "+c"(count), [hi] "=&r"(hi)
      : "d"(w), [four] "r"(four), [rest] "r"(rest)
      : "rax", "r9", "r10", "cc", "memory");
  return hi;
}

#undef QL_MULX_FOUR
#undef QL_MULX_LIMB

// Reduces t[0..2 len) (below n R, with t[2 len] = 0) into r: len rows of m_i n, the carries
// of each row kept in `extra` for the next top limb.
inline void reduce(uint64_t *r, uint64_t *t, const uint64_t *n, size_t len, uint64_t n0) {
  using W = unsigned __int128;
  uint64_t extra = 0;
  for (size_t i = 0; i < len; i++) {
    const uint64_t m = t[i] * n0;
    const uint64_t c = addmul_row(t + i, n, len, m);
    const W s = W{t[i + len]} + c + extra;
    t[i + len] = static_cast<uint64_t>(s);
    extra = static_cast<uint64_t>(s >> 64);
  }
  final_sub(r, t + len, extra, n, len);
}

}  // namespace

__attribute__((target("bmi2,adx"))) void mont_mul(uint64_t *r, const uint64_t *a, const uint64_t *b,
                                                  const uint64_t *n, size_t len, uint64_t n0,
                                                  uint64_t *t) {
  using W = unsigned __int128;
  for (size_t j = 0; j < len; j++) {
    t[j] = 0;
  }
  uint64_t extra = 0;  // the carry owed to t[i + len]
  for (size_t i = 0; i < len; i++) {
    const uint64_t c1 = addmul_row(t + i, a, len, b[i]);
    const uint64_t m = t[i] * n0;
    const uint64_t c2 = addmul_row(t + i, n, len, m);  // clears t[i]
    const W s = W{c1} + c2 + extra;
    t[i + len] = static_cast<uint64_t>(s);
    extra = static_cast<uint64_t>(s >> 64);
  }
  final_sub(r, t + len, extra, n, len);
}

__attribute__((target("bmi2,adx"))) void mont_sqr(uint64_t *r, const uint64_t *a, const uint64_t *n,
                                                  size_t len, uint64_t n0, uint64_t *t) {
  using W = unsigned __int128;
  // The cross products a_i a_j (i < j): row i adds a[i+1..len) * a_i at t[2i+1].
  for (size_t j = 0; j < 2 * len + 1; j++) {
    t[j] = 0;
  }
  for (size_t i = 0; i + 1 < len; i++) {
    t[i + len] = addmul_row(t + 2 * i + 1, a + i + 1, len - 1 - i, a[i]);
  }
  // Doubled, plus the squares a_i^2 on the diagonal.
  uint64_t shifted_out = 0;
  uint64_t carry = 0;
  for (size_t i = 0; i < len; i++) {
    const W sq = W{a[i]} * a[i];
    const uint64_t lo = t[2 * i];
    const uint64_t hi = t[2 * i + 1];
    const uint64_t d_lo = (lo << 1) | shifted_out;
    const uint64_t d_hi = (hi << 1) | (lo >> 63);
    shifted_out = hi >> 63;
    const W s_lo = W{d_lo} + static_cast<uint64_t>(sq) + carry;
    const W s_hi = W{d_hi} + static_cast<uint64_t>(sq >> 64) + static_cast<uint64_t>(s_lo >> 64);
    t[2 * i] = static_cast<uint64_t>(s_lo);
    t[2 * i + 1] = static_cast<uint64_t>(s_hi);
    carry = static_cast<uint64_t>(s_hi >> 64);
  }
  reduce(r, t, n, len, n0);
}

}  // namespace mulx
}  // namespace ql
