// SHA-1 and SHA-256 compression with the SHA extensions. The chaining words are rearranged
// into the lane order the instructions want (ABCD/E for SHA-1, ABEF/CDGH for SHA-256) once per
// call; the message schedule runs four words at a time in vectors. Per-function target
// attributes: the library still runs on processors without them.
#include "ql_sha_hw.h"

#if QL_X86_ACCEL

#include <immintrin.h>

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
}  // namespace ql

#endif  // QL_X86_ACCEL
