// SHA-1 and SHA-256 compression with the SHA extensions. The chaining words are rearranged
// into the lane order the instructions want (ABCD/E for SHA-1, ABEF/CDGH for SHA-256) once per
// call; the message schedule runs four words at a time in vectors. SHA-512 has no such
// instructions: its rounds stay scalar (RORX, ANDN) while AVX2 computes the schedule of two
// blocks at once beside them. Per-function target attributes: the library still runs on
// processors without them.
#include "x86/ql_sha_hw.h"

#include <immintrin.h>

#include "internal/ql_md.h"

#define QL_TARGET_SHA __attribute__((target("sha,ssse3,sse4.1")))

namespace ql {
namespace shani {

QL_TARGET_SHA void sha1_compress(uint32_t state[5], const uint8_t *block, size_t num_blocks) {
  // Reverses the whole block of four words: lane 3 holds the first word.
  const __m128i reverse = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  __m128i m[4];
  for (; num_blocks != 0; num_blocks--, block += 64) {
    const __m128i abcd_save = abcd;
    const __m128i e_save = e0;
    for (int i = 0; i < 4; i++) {
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 16 * i)),
                              reverse);
    }
    __m128i prev = abcd;  // the state before the last four rounds: its A gives the next E
#pragma GCC unroll 20
    for (int g = 0; g < 20; g++) {
      const __m128i e = g == 0 ? _mm_add_epi32(e0, m[0]) : _mm_sha1nexte_epu32(prev, m[g & 3]);
      prev = abcd;
      switch (g / 5) {
        case 0:
          abcd = _mm_sha1rnds4_epu32(abcd, e, 0);
          break;
        case 1:
          abcd = _mm_sha1rnds4_epu32(abcd, e, 1);
          break;
        case 2:
          abcd = _mm_sha1rnds4_epu32(abcd, e, 2);
          break;
        default:
          abcd = _mm_sha1rnds4_epu32(abcd, e, 3);
          break;
      }
      // W[t] = rotl1(W[t-3] ^ W[t-8] ^ W[t-14] ^ W[t-16]) for the group four ahead.
      if (g < 16) {
        m[g & 3] = _mm_sha1msg2_epu32(
            _mm_xor_si128(_mm_sha1msg1_epu32(m[g & 3], m[(g + 1) & 3]), m[(g + 2) & 3]),
            m[(g + 3) & 3]);
      }
    }
    e0 = _mm_sha1nexte_epu32(prev, e_save);
    abcd = _mm_add_epi32(abcd, abcd_save);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i *>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

QL_TARGET_SHA void sha256_compress(uint32_t state[8], const uint8_t *block, size_t num_blocks,
                                   const uint32_t *k) {
  // Byte order of each word reversed: lane 0 holds the first word.
  const __m128i order = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  const __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i *>(state));
  const __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i *>(state + 4));
  const __m128i badc = _mm_shuffle_epi32(abcd, 0xB1);
  const __m128i hgfe = _mm_shuffle_epi32(efgh, 0x1B);
  __m128i abef = _mm_alignr_epi8(badc, hgfe, 8);
  __m128i cdgh = _mm_blend_epi16(hgfe, badc, 0xF0);
  __m128i m[4];
  for (; num_blocks != 0; num_blocks--, block += 64) {
    const __m128i abef_save = abef;
    const __m128i cdgh_save = cdgh;
    for (int i = 0; i < 4; i++) {
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 16 * i)),
                              order);
    }
#pragma GCC unroll 16
    for (int g = 0; g < 16; g++) {
      if (g >= 4) {
        // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16], four words at a time.
        m[g & 3] = _mm_sha256msg2_epu32(
            _mm_add_epi32(_mm_sha256msg1_epu32(m[g & 3], m[(g + 1) & 3]),
                          _mm_alignr_epi8(m[(g + 3) & 3], m[(g + 2) & 3], 4)),
            m[(g + 3) & 3]);
      }
      const __m128i kg = _mm_loadu_si128(reinterpret_cast<const __m128i *>(k + 4 * g));
      __m128i wk = _mm_add_epi32(m[g & 3], kg);
      // Two rounds make the old A,B,E,F the new C,D,G,H: the registers swap roles twice.
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
      wk = _mm_shuffle_epi32(wk, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
    }
    abef = _mm_add_epi32(abef, abef_save);
    cdgh = _mm_add_epi32(cdgh, cdgh_save);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i *>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i *>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace shani

// 256-bit registers on Windows are left out: the compiler cannot keep spilled ones aligned on
// that ABI's stack.
#if !defined(_WIN32)
namespace avx2 {
namespace {

// Compiled to RORX inside the AVX2 function.
constexpr uint64_t ror(uint64_t x, unsigned n) { return (x >> n) | (x << (64 - n)); }

}  // namespace

// Every 256-bit register of the schedule holds two consecutive words of the first block in
// its low half and the same two words of the second block in its high half, so each new pair
// depends only on earlier registers. The sums W[t] + K[t] are stored in pairs of pairs,
// `wk[4 * (t / 2) + t % 2]` for the first block and 2 further for the second; the first
// block's rounds run beside the schedule of both, the second block's rounds only read.
#define QL_WK(w, t) (w)[4 * ((t) >> 1) + ((t)&1)]

// One round; Ch(e, f, g) = (e & f) + (~e & g) as the two halves never share a bit, and
// Maj(a, b, c) = ((a ^ b) & (b ^ c)) ^ b with b ^ c carried over from the round before.
#define QL_SHA512_ROUND(a, b, c, d, e, f, g, h, wk)                                              \
  do {                                                                                          \
    const uint64_t t1_ =                                                                        \
        (h) + (wk) + ((e) & (f)) + (~(e) & (g)) + (ror((e), 14) ^ ror((e), 18) ^ ror((e), 41)); \
    const uint64_t ab_ = (a) ^ (b);                                                             \
    (d) += t1_;                                                                                 \
    (h) = t1_ + (ror((a), 28) ^ ror((a), 34) ^ ror((a), 39)) + ((ab_ & bc) ^ (b));              \
    bc = ab_;                                                                                   \
  } while (false)

// Eight rounds from `w` (rounds `t`..`t` + 7 of the group), with `S(j)` .. `S(j + 3)` between
// each two of them.
#define QL_SHA512_EIGHT(w, t, S, j)                                \
  QL_SHA512_ROUND(a, b, c, d, e, f, g, h, QL_WK(w, (t)));          \
  QL_SHA512_ROUND(h, a, b, c, d, e, f, g, QL_WK(w, (t) + 1));      \
  S(j);                                                            \
  QL_SHA512_ROUND(g, h, a, b, c, d, e, f, QL_WK(w, (t) + 2));      \
  QL_SHA512_ROUND(f, g, h, a, b, c, d, e, QL_WK(w, (t) + 3));      \
  S((j) + 1);                                                      \
  QL_SHA512_ROUND(e, f, g, h, a, b, c, d, QL_WK(w, (t) + 4));      \
  QL_SHA512_ROUND(d, e, f, g, h, a, b, c, QL_WK(w, (t) + 5));      \
  S((j) + 2);                                                      \
  QL_SHA512_ROUND(c, d, e, f, g, h, a, b, QL_WK(w, (t) + 6));      \
  QL_SHA512_ROUND(b, c, d, e, f, g, h, a, QL_WK(w, (t) + 7));      \
  S((j) + 3)

#define QL_SHA512_NO_SCHEDULE(j) static_cast<void>(0)

// x[j] holds W[t - 16], W[t - 15]; it becomes W[t], W[t + 1] =
// s1(W[t - 2 .. t - 1]) + W[t - 7 .. t - 6] + s0(W[t - 15 .. t - 14]) + W[t - 16 .. t - 15],
// and the sum with the constants is stored 16 rounds ahead of the rounds under way.
#define QL_SHA512_SHR(x, n) _mm256_srli_epi64((x), (n))
#define QL_SHA512_SHL(x, n) _mm256_slli_epi64((x), (n))
#define QL_SHA512_XOR(x, y) _mm256_xor_si256((x), (y))
#define QL_SHA512_SCHEDULE(j)                                                                  \
  do {                                                                                         \
    const __m256i u_ = _mm256_alignr_epi8(x[((j) + 1) & 7], x[j], 8);                          \
    const __m256i v_ = x[((j) + 7) & 7];                                                       \
    const __m256i s0_ = QL_SHA512_XOR(                                                         \
        QL_SHA512_XOR(QL_SHA512_XOR(QL_SHA512_SHR(u_, 1), QL_SHA512_SHL(u_, 63)),              \
                      QL_SHA512_XOR(QL_SHA512_SHR(u_, 8), QL_SHA512_SHL(u_, 56))),             \
        QL_SHA512_SHR(u_, 7));                                                                 \
    const __m256i s1_ = QL_SHA512_XOR(                                                         \
        QL_SHA512_XOR(QL_SHA512_XOR(QL_SHA512_SHR(v_, 19), QL_SHA512_SHL(v_, 45)),             \
                      QL_SHA512_XOR(QL_SHA512_SHR(v_, 61), QL_SHA512_SHL(v_, 3))),             \
        QL_SHA512_SHR(v_, 6));                                                                 \
    const __m256i w7_ = _mm256_alignr_epi8(x[((j) + 5) & 7], x[((j) + 4) & 7], 8);             \
    x[j] = _mm256_add_epi64(_mm256_add_epi64(_mm256_add_epi64(x[j], w7_), s0_), s1_);          \
    _mm256_store_si256(reinterpret_cast<__m256i *>(w + 32 + 4 * (j)),                          \
                       _mm256_add_epi64(x[j], constants(kc + 16 + 2 * (j))));                  \
  } while (false)

namespace {

// K[t], K[t + 1] in both halves.
__attribute__((target("avx2"))) inline __m256i constants(const uint64_t *k) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(k)));
}

}  // namespace

QL_MD_ROUNDS_FN __attribute__((target("avx2,bmi,bmi2"))) void sha512_compress(
    uint64_t state[8], const uint8_t *block, size_t num_blocks, const uint64_t *k) {
  // Byte order of each word reversed.
  const __m256i order = _mm256_set_epi64x(0x08090a0b0c0d0e0fLL, 0x0001020304050607LL,
                                          0x08090a0b0c0d0e0fLL, 0x0001020304050607LL);
  alignas(32) uint64_t wk[160];
  uint64_t a = state[0];
  uint64_t b = state[1];
  uint64_t c = state[2];
  uint64_t d = state[3];
  uint64_t e = state[4];
  uint64_t f = state[5];
  uint64_t g = state[6];
  uint64_t h = state[7];
  while (num_blocks != 0) {
    // A lone last block fills both halves; the second copy's rounds are not run.
    const uint8_t *second = num_blocks >= 2 ? block + 128 : block;
    __m256i x[8];
    for (int i = 0; i < 8; i++) {
      const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 16 * i));
      const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(second + 16 * i));
      x[i] = _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1),
                                 order);
      _mm256_store_si256(reinterpret_cast<__m256i *>(wk + 4 * i),
                         _mm256_add_epi64(x[i], constants(k + 2 * i)));
    }
    uint64_t bc = b ^ c;
    uint64_t *w = wk;
    const uint64_t *kc = k;
    for (int group = 0; group < 4; group++, w += 32, kc += 16) {
      QL_SHA512_EIGHT(w, 0, QL_SHA512_SCHEDULE, 0);
      QL_SHA512_EIGHT(w, 8, QL_SHA512_SCHEDULE, 4);
    }
    QL_SHA512_EIGHT(w, 0, QL_SHA512_NO_SCHEDULE, 0);
    QL_SHA512_EIGHT(w, 8, QL_SHA512_NO_SCHEDULE, 4);
    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
    if (num_blocks == 1) { break; }
    bc = b ^ c;
    for (w = wk + 2; w < wk + 160; w += 32) {
      QL_SHA512_EIGHT(w, 0, QL_SHA512_NO_SCHEDULE, 0);
      QL_SHA512_EIGHT(w, 8, QL_SHA512_NO_SCHEDULE, 4);
    }
    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
    block += 256;
    num_blocks -= 2;
  }
  // The schedule of a key block is key material: zeroed with whole-register stores that the
  // empty statement after them keeps, and the vector registers cleared.
  for (int i = 0; i < 40; i++) {
    _mm256_store_si256(reinterpret_cast<__m256i *>(wk + 4 * i), _mm256_setzero_si256());
  }
  __asm__ __volatile__("" : : "r"(wk) : "memory");
  _mm256_zeroall();
}

#undef QL_WK
#undef QL_SHA512_ROUND
#undef QL_SHA512_EIGHT
#undef QL_SHA512_NO_SCHEDULE
#undef QL_SHA512_SHR
#undef QL_SHA512_SHL
#undef QL_SHA512_XOR
#undef QL_SHA512_SCHEDULE

}  // namespace avx2
#endif  // !_WIN32

}  // namespace ql
