// Montgomery products modulo a 256-bit odd p with MULX/ADCX/ADOX, fully unrolled, and the
// modular sum and difference by carry chains and conditional moves. Each of the
// four steps adds a * b_i and then m * p with m = t_0 n0 into a six-limb window: MULX leaves
// the flags alone, ADOX carries the low halves along OF and ADCX the high halves along CF.
// The limb the reduction clears becomes the next step's top limb, so the window moves by
// renaming registers and nothing is shifted. Every partial value stays below 2p.
#include "x86/ql_ecc_hw.h"

namespace ql {
namespace mulx {

// T[0..6) += x[0..4) * %rdx, with T5 = 0 on entry and the sum below 2^384. %[z] is zeroed,
// which also clears CF and OF; the carries of both chains end in T4 and T5.
#define QL_FE4_ROW(x, T0, T1, T2, T3, T4, T5)     \
  "xorl %k[z], %k[z]\n\t"                         \
  "mulxq 0(" x "), %[lo], %[hi]\n\t"              \
  "adoxq %[lo], " T0 "\n\t"                       \
  "adcxq %[hi], " T1 "\n\t"                       \
  "mulxq 8(" x "), %[lo], %[hi]\n\t"              \
  "adoxq %[lo], " T1 "\n\t"                       \
  "adcxq %[hi], " T2 "\n\t"                       \
  "mulxq 16(" x "), %[lo], %[hi]\n\t"             \
  "adoxq %[lo], " T2 "\n\t"                       \
  "adcxq %[hi], " T3 "\n\t"                       \
  "mulxq 24(" x "), %[lo], %[hi]\n\t"             \
  "adoxq %[lo], " T3 "\n\t"                       \
  "adcxq %[hi], " T4 "\n\t"                       \
  "adcxq %[z], " T5 "\n\t"                        \
  "adoxq %[z], " T4 "\n\t"                        \
  "adoxq %[z], " T5 "\n\t"

// One step: T += a * b_i (b_i at byte offset `off`), then T += m p, which clears T0.
#define QL_FE4_STEP(off, T0, T1, T2, T3, T4, T5) \
  "movq " #off "(%[b]), %%rdx\n\t"               \
  QL_FE4_ROW("%[a]", T0, T1, T2, T3, T4, T5)     \
  "movq " T0 ", %%rdx\n\t"                       \
  "imulq %[n0], %%rdx\n\t"                       \
  QL_FE4_ROW("%[p]", T0, T1, T2, T3, T4, T5)

void fe4_mul(uint64_t r[4], const uint64_t a[4], const uint64_t b[4], const uint64_t p[4],
             uint64_t n0) {
  uint64_t t0, t1, t2, t3, t4, t5, lo, hi, z, top;
  // The first product a * b_0 needs no addition into T: one carry chain, T5 = 0.
  __asm__(
      "movq 0(%[b]), %%rdx\n\t"
      "mulxq 0(%[a]), %[t0], %[t1]\n\t"
      "mulxq 8(%[a]), %[lo], %[t2]\n\t"
      "addq %[lo], %[t1]\n\t"
      "mulxq 16(%[a]), %[lo], %[t3]\n\t"
      "adcq %[lo], %[t2]\n\t"
      "mulxq 24(%[a]), %[lo], %[t4]\n\t"
      "adcq %[lo], %[t3]\n\t"
      "adcq $0, %[t4]\n\t"
      "xorl %k[t5], %k[t5]\n\t"
      "movq %[t0], %%rdx\n\t"
      "imulq %[n0], %%rdx\n\t"
      QL_FE4_ROW("%[p]", "%[t0]", "%[t1]", "%[t2]", "%[t3]", "%[t4]", "%[t5]")
      QL_FE4_STEP(8, "%[t1]", "%[t2]", "%[t3]", "%[t4]", "%[t5]", "%[t0]")
      QL_FE4_STEP(16, "%[t2]", "%[t3]", "%[t4]", "%[t5]", "%[t0]", "%[t1]")
      QL_FE4_STEP(24, "%[t3]", "%[t4]", "%[t5]", "%[t0]", "%[t1]", "%[t2]")
      // The value (t4, t5, t0, t1, t2) is below 2p: subtract p unless that borrows.
      "movq %[t4], %[lo]\n\t"
      "subq 0(%[p]), %[lo]\n\t"
      "movq %[t5], %[hi]\n\t"
      "sbbq 8(%[p]), %[hi]\n\t"
      "movq %[t0], %[z]\n\t"
      "sbbq 16(%[p]), %[z]\n\t"
      "movq %[t1], %%rdx\n\t"
      "sbbq 24(%[p]), %%rdx\n\t"
      "sbbq $0, %[t2]\n\t"
      "cmovcq %[t4], %[lo]\n\t"
      "cmovcq %[t5], %[hi]\n\t"
      "cmovcq %[t0], %[z]\n\t"
      "cmovcq %[t1], %%rdx\n\t"
      : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4),
        [t5] "=&r"(t5), [lo] "=&r"(lo), [hi] "=&r"(hi), [z] "=&r"(z), "=&d"(top)
      : [a] "r"(a), [b] "r"(b), [p] "r"(p), [n0] "m"(n0)
      : "cc", "memory");
  r[0] = lo;
  r[1] = hi;
  r[2] = z;
  r[3] = top;
}

#undef QL_FE4_STEP
#undef QL_FE4_ROW

// One reduction step of the square: W += m p for m = W0 n0, which clears W0; the top limb of
// the sum goes to the free register F (below 2^64: W + m p < 2^320). %[lo] is zeroed by a move,
// which leaves the flags alone, to add the carries of both chains.
#define QL_FE4_REDUCE(W0, W1, W2, W3, F)  \
  "movq " W0 ", %%rdx\n\t"              \
  "imulq %[n0], %%rdx\n\t"              \
  "xorl %k[lo], %k[lo]\n\t"             \
  "mulxq 0(%[p]), %[lo], %[hi]\n\t"     \
  "adoxq %[lo], " W0 "\n\t"             \
  "adcxq %[hi], " W1 "\n\t"             \
  "mulxq 8(%[p]), %[lo], %[hi]\n\t"     \
  "adoxq %[lo], " W1 "\n\t"             \
  "adcxq %[hi], " W2 "\n\t"             \
  "mulxq 16(%[p]), %[lo], %[hi]\n\t"    \
  "adoxq %[lo], " W2 "\n\t"             \
  "adcxq %[hi], " W3 "\n\t"             \
  "mulxq 24(%[p]), %[lo], " F "\n\t"    \
  "adoxq %[lo], " W3 "\n\t"             \
  "movl $0, %k[lo]\n\t"                 \
  "adcxq %[lo], " F "\n\t"              \
  "adoxq %[lo], " F "\n\t"

void fe4_sqr(uint64_t r[4], const uint64_t a[4], const uint64_t p[4], uint64_t n0) {
  uint64_t t0, t1, t2, t3, t4, t5, t6, t7, lo, hi;
  const uint64_t *x = a;  // the pointer's register is the first free limb of the reduction
  __asm__(
      // The cross products a_i a_j (i < j) into t1 ... t6, one carry chain.
      "movq 0(%[x]), %%rdx\n\t"
      "mulxq 8(%[x]), %[t1], %[t2]\n\t"
      "mulxq 16(%[x]), %[lo], %[t3]\n\t"
      "addq %[lo], %[t2]\n\t"
      "mulxq 24(%[x]), %[lo], %[t4]\n\t"
      "adcq %[lo], %[t3]\n\t"
      "adcq $0, %[t4]\n\t"
      "movq 8(%[x]), %%rdx\n\t"
      "mulxq 16(%[x]), %[lo], %[hi]\n\t"
      "addq %[lo], %[t3]\n\t"
      "adcq %[hi], %[t4]\n\t"
      "mulxq 24(%[x]), %[lo], %[t5]\n\t"
      "adcq $0, %[t5]\n\t"
      "addq %[lo], %[t4]\n\t"
      "adcq $0, %[t5]\n\t"
      "movq 16(%[x]), %%rdx\n\t"
      "mulxq 24(%[x]), %[lo], %[t6]\n\t"
      "addq %[lo], %[t5]\n\t"
      "adcq $0, %[t6]\n\t"
      // Doubled along CF, the squares a_i^2 added along OF; a^2 < 2^512 leaves no carry.
      "xorl %k[t7], %k[t7]\n\t"
      "movq 0(%[x]), %%rdx\n\t"
      "mulxq %%rdx, %[t0], %[hi]\n\t"
      "adcxq %[t1], %[t1]\n\t"
      "adoxq %[hi], %[t1]\n\t"
      "movq 8(%[x]), %%rdx\n\t"
      "mulxq %%rdx, %[lo], %[hi]\n\t"
      "adcxq %[t2], %[t2]\n\t"
      "adoxq %[lo], %[t2]\n\t"
      "adcxq %[t3], %[t3]\n\t"
      "adoxq %[hi], %[t3]\n\t"
      "movq 16(%[x]), %%rdx\n\t"
      "mulxq %%rdx, %[lo], %[hi]\n\t"
      "adcxq %[t4], %[t4]\n\t"
      "adoxq %[lo], %[t4]\n\t"
      "adcxq %[t5], %[t5]\n\t"
      "adoxq %[hi], %[t5]\n\t"
      "movq 24(%[x]), %%rdx\n\t"
      "mulxq %%rdx, %[lo], %[hi]\n\t"
      "adcxq %[t6], %[t6]\n\t"
      "adoxq %[lo], %[t6]\n\t"
      "adcxq %[t7], %[t7]\n\t"
      "adoxq %[hi], %[t7]\n\t"
      // The low half reduced in four steps to V = (x, t0, t1, t2) <= p.
      QL_FE4_REDUCE("%[t0]", "%[t1]", "%[t2]", "%[t3]", "%[x]")
      QL_FE4_REDUCE("%[t1]", "%[t2]", "%[t3]", "%[x]", "%[t0]")
      QL_FE4_REDUCE("%[t2]", "%[t3]", "%[x]", "%[t0]", "%[t1]")
      QL_FE4_REDUCE("%[t3]", "%[x]", "%[t0]", "%[t1]", "%[t2]")
      // V plus the high half (t4 ... t7) is below 2p: subtract p unless that borrows.
      "movl $0, %k[lo]\n\t"
      "addq %[t4], %[x]\n\t"
      "adcq %[t5], %[t0]\n\t"
      "adcq %[t6], %[t1]\n\t"
      "adcq %[t7], %[t2]\n\t"
      "adcq $0, %[lo]\n\t"
      "movq %[x], %[t4]\n\t"
      "movq %[t0], %[t5]\n\t"
      "movq %[t1], %[t6]\n\t"
      "movq %[t2], %[t7]\n\t"
      "subq 0(%[p]), %[t4]\n\t"
      "sbbq 8(%[p]), %[t5]\n\t"
      "sbbq 16(%[p]), %[t6]\n\t"
      "sbbq 24(%[p]), %[t7]\n\t"
      "sbbq $0, %[lo]\n\t"
      "cmovcq %[x], %[t4]\n\t"
      "cmovcq %[t0], %[t5]\n\t"
      "cmovcq %[t1], %[t6]\n\t"
      "cmovcq %[t2], %[t7]\n\t"
      : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4),
        [t5] "=&r"(t5), [t6] "=&r"(t6), [t7] "=&r"(t7), [lo] "=&r"(lo), [hi] "=&r"(hi),
        [x] "+r"(x)
      : [p] "r"(p), [n0] "m"(n0)
      : "rdx", "cc", "memory");
  r[0] = t4;
  r[1] = t5;
  r[2] = t6;
  r[3] = t7;
}

#undef QL_FE4_REDUCE

void fe4_add(uint64_t r[4], const uint64_t a[4], const uint64_t b[4], const uint64_t p[4]) {
  uint64_t s0, s1, s2, s3, d0, d1, d2, d3, carry;
  // s = a + b (with its carry), d = s - p; s stays when that borrows past the carry.
  __asm__(
      "movq 0(%[a]), %[s0]\n\t"
      "movq 8(%[a]), %[s1]\n\t"
      "movq 16(%[a]), %[s2]\n\t"
      "movq 24(%[a]), %[s3]\n\t"
      "xorl %k[c], %k[c]\n\t"
      "addq 0(%[b]), %[s0]\n\t"
      "adcq 8(%[b]), %[s1]\n\t"
      "adcq 16(%[b]), %[s2]\n\t"
      "adcq 24(%[b]), %[s3]\n\t"
      "adcq $0, %[c]\n\t"
      "movq %[s0], %[d0]\n\t"
      "movq %[s1], %[d1]\n\t"
      "movq %[s2], %[d2]\n\t"
      "movq %[s3], %[d3]\n\t"
      "subq 0(%[p]), %[d0]\n\t"
      "sbbq 8(%[p]), %[d1]\n\t"
      "sbbq 16(%[p]), %[d2]\n\t"
      "sbbq 24(%[p]), %[d3]\n\t"
      "sbbq $0, %[c]\n\t"
      "cmovcq %[s0], %[d0]\n\t"
      "cmovcq %[s1], %[d1]\n\t"
      "cmovcq %[s2], %[d2]\n\t"
      "cmovcq %[s3], %[d3]\n\t"
      : [s0] "=&r"(s0), [s1] "=&r"(s1), [s2] "=&r"(s2), [s3] "=&r"(s3), [d0] "=&r"(d0),
        [d1] "=&r"(d1), [d2] "=&r"(d2), [d3] "=&r"(d3), [c] "=&r"(carry)
      : [a] "r"(a), [b] "r"(b), [p] "r"(p)
      : "cc", "memory");
  r[0] = d0;
  r[1] = d1;
  r[2] = d2;
  r[3] = d3;
}

void fe4_sub(uint64_t r[4], const uint64_t a[4], const uint64_t b[4], const uint64_t p[4]) {
  uint64_t d0, d1, d2, d3, m0, m1, m2, m3, mask;
  // d = a - b; the borrow, spread to a mask, selects p to add back.
  __asm__(
      "movq 0(%[a]), %[d0]\n\t"
      "movq 8(%[a]), %[d1]\n\t"
      "movq 16(%[a]), %[d2]\n\t"
      "movq 24(%[a]), %[d3]\n\t"
      "subq 0(%[b]), %[d0]\n\t"
      "sbbq 8(%[b]), %[d1]\n\t"
      "sbbq 16(%[b]), %[d2]\n\t"
      "sbbq 24(%[b]), %[d3]\n\t"
      "sbbq %[k], %[k]\n\t"
      "movq 0(%[p]), %[m0]\n\t"
      "movq 8(%[p]), %[m1]\n\t"
      "movq 16(%[p]), %[m2]\n\t"
      "movq 24(%[p]), %[m3]\n\t"
      "andq %[k], %[m0]\n\t"
      "andq %[k], %[m1]\n\t"
      "andq %[k], %[m2]\n\t"
      "andq %[k], %[m3]\n\t"
      "addq %[m0], %[d0]\n\t"
      "adcq %[m1], %[d1]\n\t"
      "adcq %[m2], %[d2]\n\t"
      "adcq %[m3], %[d3]\n\t"
      : [d0] "=&r"(d0), [d1] "=&r"(d1), [d2] "=&r"(d2), [d3] "=&r"(d3), [m0] "=&r"(m0),
        [m1] "=&r"(m1), [m2] "=&r"(m2), [m3] "=&r"(m3), [k] "=&r"(mask)
      : [a] "r"(a), [b] "r"(b), [p] "r"(p)
      : "cc", "memory");
  r[0] = d0;
  r[1] = d1;
  r[2] = d2;
  r[3] = d3;
}

}  // namespace mulx
}  // namespace ql
