// Almost-Montgomery products in radix 2^52 with AVX-512 IFMA (VPMADD52LUQ/HUQ) on 512-bit
// registers, for moduli of 16, 24, 32, 48 and 64 limbs of 64 bits (only when
// cpu::has(cpu::kIfma)). A value is K = ceil(64 len / 52) digits below 2^52, least significant
// first, eight to a register and padded with zero digits to whole registers. Loop counts
// depend on the digit count only and carries are resolved by mask arithmetic, so the time is
// independent of the values.
#include <immintrin.h>

#include "x86/ql_mont_hw.h"

#if defined(QL_IFMA_ACCEL)
#define QL_IFMA __attribute__((target("avx512f,avx512ifma")))

namespace ql {
namespace ifma {
namespace {

constexpr uint64_t kDigitMask = (uint64_t{1} << kDigitBits) - 1;
// Every lane: the zero-masking forms of the shifts and permutations, whose unmasked forms
// start from an undefined register that GCC's -Wuninitialized reports.
constexpr __mmask8 kAll = 0xFF;

// Digits of the moduli handled: 20, 30, 40, 60 and 79 for 1024, 1536, 2048, 3072 and 4096 bits.
constexpr size_t digits_of(size_t len) { return (64 * len + kDigitBits - 1) / kDigitBits; }

// x = x mod 2^(52 K) with every digit below 2^52, for digits below 2^63 whose value is below
// 2^(52 K). One pass moves each digit's excess to the next digit, leaving digits below
// 2^52 + 2^11 whose carries are 0 or 1; a digit then passes a carry on when it is 2^52 - 1
// exactly (one at or above 2^52 has low bits below 2^11). Adding the generate bits shifted up
// to the propagate bits, as numbers, yields every digit that receives a carry.
template <int kRegs>
QL_IFMA inline void normalise(__m512i (&x)[kRegs]) {
  const __m512i mask = _mm512_set1_epi64(static_cast<long long>(kDigitMask));
  const __m512i zero = _mm512_setzero_si512();
  __m512i carry[kRegs];
  for (int r = 0; r < kRegs; r++) {
    carry[r] = _mm512_maskz_srli_epi64(kAll, x[r], kDigitBits);
    x[r] = _mm512_and_si512(x[r], mask);
  }
  for (int r = 0; r < kRegs; r++) {
    x[r] = _mm512_add_epi64(
        x[r], _mm512_maskz_alignr_epi64(kAll, carry[r], r == 0 ? zero : carry[r - 1], 7));
  }
  using Bits = unsigned __int128;  // one bit per digit, up to 128 digits
  Bits generate = 0;
  Bits propagate = 0;
  for (int r = 0; r < kRegs; r++) {
    generate |= Bits{_mm512_cmpgt_epu64_mask(x[r], mask)} << (8 * r);
    propagate |= Bits{_mm512_cmpeq_epu64_mask(x[r], mask)} << (8 * r);
  }
  const Bits receive = ((generate << 1) + propagate) ^ propagate;
  const __m512i one = _mm512_set1_epi64(1);
  for (int r = 0; r < kRegs; r++) {
    const __mmask8 add = static_cast<__mmask8>(receive >> (8 * r));
    x[r] = _mm512_and_si512(_mm512_mask_add_epi64(x[r], add, x[r], one), mask);
  }
}

// r_s = a_s b_s / 2^(52 K) mod n_s, almost: for a_s, b_s < 2 n_s and 4 n_s < 2^(52 K) the
// result is below 2 n_s. kStreams independent products share each step, so that one
// stream's multiplications fill the latency of the other's reduction digit. Per digit b_i:
// acc += a b_i (low halves), m = acc_0 k0 mod 2^52, acc += n m (low halves) clears digit 0,
// acc moves down one digit, and the high halves of both products are added at the digits
// they now belong to. The chain from one m to the next runs through the lowest register
// only, so its other terms gather apart in `low`: the high halves of a_0..7 b_i and
// n_0..7 m, digit 0's carry and the next low halves a_0..7 b_(i+1), added to acc in one step.
// Digits of acc and low stay below 2^63 (4 K 2^52 at most).
template <int kDigits, int kStreams>
QL_IFMA void amm(const Product *p) {
  constexpr int kRegs = (kDigits + 7) / 8;
  const __m512i zero = _mm512_setzero_si512();
  __m512i acc[kStreams][kRegs];
  __m512i low[kStreams];
  __m512i k0[kStreams];
  for (int s = 0; s < kStreams; s++) {
    for (int r = 0; r < kRegs; r++) {
      acc[s][r] = zero;
    }
    k0[s] = _mm512_set1_epi64(static_cast<long long>(p[s].k0));
    low[s] = _mm512_madd52lo_epu64(zero, _mm512_loadu_si512(p[s].a),
                                   _mm512_set1_epi64(static_cast<long long>(p[s].b[0])));
  }
  for (int i = 0; i < kDigits; i++) {
    __m512i b[kStreams];
    __m512i m[kStreams];
    for (int s = 0; s < kStreams; s++) {
      b[s] = _mm512_set1_epi64(static_cast<long long>(p[s].b[i]));
      acc[s][0] = _mm512_add_epi64(acc[s][0], low[s]);
      // madd52lo reads the low 52 bits of digit 0: m depends on acc_0 mod 2^52 only.
      const __m512i digit0 = _mm512_maskz_permutexvar_epi64(kAll, zero, acc[s][0]);
      m[s] = _mm512_madd52lo_epu64(zero, digit0, k0[s]);
      for (int r = 1; r < kRegs; r++) {
        acc[s][r] = _mm512_madd52lo_epu64(acc[s][r], _mm512_loadu_si512(p[s].a + 8 * r), b[s]);
      }
    }
    for (int s = 0; s < kStreams; s++) {
      const __m512i a0 = _mm512_loadu_si512(p[s].a);
      const __m512i n0 = _mm512_loadu_si512(p[s].n);
      for (int r = 0; r < kRegs; r++) {
        acc[s][r] = _mm512_madd52lo_epu64(acc[s][r], _mm512_loadu_si512(p[s].n + 8 * r), m[s]);
      }
      low[s] = _mm512_madd52hi_epu64(_mm512_madd52hi_epu64(zero, a0, b[s]), n0, m[s]);
      if (i + 1 < kDigits) {
        const __m512i next = _mm512_set1_epi64(static_cast<long long>(p[s].b[i + 1]));
        low[s] = _mm512_madd52lo_epu64(low[s], a0, next);
      }
      // Digit 0 is now a multiple of 2^52: its quotient goes to the next digit.
      low[s] = _mm512_add_epi64(low[s], _mm512_maskz_srli_epi64(1, acc[s][0], kDigitBits));
      for (int r = 0; r < kRegs; r++) {
        acc[s][r] =
            _mm512_maskz_alignr_epi64(kAll, r + 1 < kRegs ? acc[s][r + 1] : zero, acc[s][r], 1);
      }
      for (int r = 1; r < kRegs; r++) {
        acc[s][r] = _mm512_madd52hi_epu64(acc[s][r], _mm512_loadu_si512(p[s].a + 8 * r), b[s]);
        acc[s][r] = _mm512_madd52hi_epu64(acc[s][r], _mm512_loadu_si512(p[s].n + 8 * r), m[s]);
      }
    }
  }
  for (int s = 0; s < kStreams; s++) {
    acc[s][0] = _mm512_add_epi64(acc[s][0], low[s]);
    normalise<kRegs>(acc[s]);
    for (int r = 0; r < kRegs; r++) {
      _mm512_storeu_si512(p[s].r + 8 * r, acc[s][r]);
    }
  }
}

template <int kDigits>
QL_IFMA void select_entry(uint64_t *out, const uint64_t *table, size_t num_entries,
                          uint32_t index) {
  constexpr int kRegs = (kDigits + 7) / 8;
  __m512i acc[kRegs];
  for (int r = 0; r < kRegs; r++) {
    acc[r] = _mm512_setzero_si512();
  }
  const __m512i want = _mm512_set1_epi64(index);
  for (size_t i = 0; i < num_entries; i++) {
    const __mmask8 hit =
        _mm512_cmpeq_epu64_mask(_mm512_set1_epi64(static_cast<long long>(i)), want);
    for (int r = 0; r < kRegs; r++) {
      acc[r] = _mm512_mask_mov_epi64(acc[r], hit, _mm512_loadu_si512(table + 8 * (kRegs * i + r)));
    }
  }
  for (int r = 0; r < kRegs; r++) {
    _mm512_storeu_si512(out + 8 * r, acc[r]);
  }
}

}  // namespace

size_t padded_digits(size_t len) {
  return len == 16 || len == 24 || len == 32 || len == 48 || len == 64
             ? (digits_of(len) + 7) / 8 * 8
             : 0;
}

void to_digits(uint64_t *out, const uint64_t *x, size_t len) {
  const size_t num_padded = padded_digits(len);
  for (size_t i = 0; i < num_padded; i++) {
    const size_t bit = kDigitBits * i;
    const size_t limb = bit / 64;
    const unsigned shift = static_cast<unsigned>(bit % 64);
    uint64_t v = limb < len ? x[limb] >> shift : 0;
    if (shift > 64 - kDigitBits && limb + 1 < len) {
      v |= x[limb + 1] << (64 - shift);
    }
    out[i] = v & kDigitMask;
  }
}

uint64_t from_digits(uint64_t *out, const uint64_t *x, size_t len) {
  const size_t num_digits = digits_of(len);
  unsigned __int128 window = 0;
  unsigned filled = 0;
  size_t j = 0;
  for (size_t i = 0; i < num_digits; i++) {
    window |= static_cast<unsigned __int128>(x[i]) << filled;
    filled += kDigitBits;
    if (filled >= 64 && j < len) {
      out[j++] = static_cast<uint64_t>(window);
      window >>= 64;
      filled -= 64;
    }
  }
  return static_cast<uint64_t>(window);
}

void amm(const Product *p, size_t num_products, size_t len) {
  const bool two = num_products == 2;
  switch (len) {
    case 16:
      return two ? amm<20, 2>(p) : amm<20, 1>(p);
    case 24:
      return two ? amm<30, 2>(p) : amm<30, 1>(p);
    case 32:
      return two ? amm<40, 2>(p) : amm<40, 1>(p);
    case 48:
      return two ? amm<60, 2>(p) : amm<60, 1>(p);
    default:
      return two ? amm<79, 2>(p) : amm<79, 1>(p);
  }
}

void select(uint64_t *out, const uint64_t *table, size_t num_entries, uint32_t index, size_t len) {
  switch (len) {
    case 16:
      return select_entry<20>(out, table, num_entries, index);
    case 24:
      return select_entry<30>(out, table, num_entries, index);
    case 32:
      return select_entry<40>(out, table, num_entries, index);
    case 48:
      return select_entry<60>(out, table, num_entries, index);
    default:
      return select_entry<79>(out, table, num_entries, index);
  }
}

}  // namespace ifma
}  // namespace ql
#endif  // QL_IFMA_ACCEL
