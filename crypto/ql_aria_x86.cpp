// ARIA on many blocks at once: sixteen with SSE and AES-NI, thirty-two with AVX2 and VAES.
// The state is byte-sliced (one vector per byte position, one lane byte per block), so each
// S-box runs on whole vectors: S1 and S1^-1 are AESENCLAST and AESDECLAST with a zero round
// key, S2 and S2^-1 the same with an affine map after or before (nibble-table shuffles). No
// table is indexed by a secret in memory; the results equal the table code's.
#include "ql_cpu.h"

#if QL_X86_ACCEL

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "internal/ql_mem.h"
#include "ql_aria_hw.h"
#include "ql_sbox_x86.h"

namespace ql {
namespace ariani {
namespace {

using sbox_x86::Nibbles;
using sbox_x86::Table;

constexpr std::array<uint8_t, 8> kM2 = {0xCB, 0xBA, 0x81, 0x34, 0xB9, 0xEB, 0xBC, 0x7A};
constexpr Table kS2 = gf256::power_sbox(kM2, 247, 0xE2, sbox_x86::kAesPoly);
constexpr Table kS2Inv = gf256::inverse(kS2);
static_assert(kS2[0x00] == 0xe2 && kS2[0x01] == 0x4e && kS2[0xff] == 0x81, "ARIA SB2");

// S2 = Post2 o SubBytes and S2^-1 = InvSubBytes o Pre2, both maps affine.
constexpr Table post2() {
  Table t{};
  for (unsigned y = 0; y < 256; y++) { t[y] = kS2[sbox_x86::kAesInvSbox[y]]; }
  return t;
}
constexpr Table pre2() {
  Table t{};
  for (unsigned x = 0; x < 256; x++) { t[x] = sbox_x86::kAesSbox[kS2Inv[x]]; }
  return t;
}
constexpr Table kPost2 = post2();
constexpr Table kPre2 = pre2();
static_assert(sbox_x86::is_affine(kPost2) && sbox_x86::is_affine(kPre2), "ARIA S2 via AES");
constexpr Nibbles kPost2N = sbox_x86::nibbles(kPost2);
constexpr Nibbles kPre2N = sbox_x86::nibbles(kPre2);

// AESENCLAST applies ShiftRows after SubBytes and AESDECLAST InvShiftRows: the inputs are
// first permuted the other way, so each byte stays where it was.
constexpr std::array<uint8_t, 16> shift_rows(bool inverse) {
  std::array<uint8_t, 16> t{};
  for (unsigned r = 0; r < 4; r++) {
    for (unsigned c = 0; c < 4; c++) {
      t[r + 4 * c] = static_cast<uint8_t>(r + 4 * ((inverse ? c - r : c + r) & 3));
    }
  }
  return t;
}
constexpr std::array<uint8_t, 16> kShiftRows = shift_rows(false);
constexpr std::array<uint8_t, 16> kInvShiftRows = shift_rows(true);

namespace sse {

using V = __m128i;
#define QL_ARIA_FN inline __attribute__((always_inline, target("aes,ssse3,sse4.1")))

QL_ARIA_FN V table(const uint8_t *p) { return _mm_loadu_si128(reinterpret_cast<const V *>(p)); }
QL_ARIA_FN V bytes(int b) { return _mm_set1_epi8(static_cast<char>(b)); }
QL_ARIA_FN V vand(V a, V b) { return _mm_and_si128(a, b); }
QL_ARIA_FN V vxor(V a, V b) { return _mm_xor_si128(a, b); }
QL_ARIA_FN V shr4(V a) { return _mm_srli_epi16(a, 4); }
QL_ARIA_FN V shuffle(V t, V i) { return _mm_shuffle_epi8(t, i); }
QL_ARIA_FN V enclast(V a, V k) { return _mm_aesenclast_si128(a, k); }
QL_ARIA_FN V declast(V a, V k) { return _mm_aesdeclast_si128(a, k); }
QL_ARIA_FN V unpacklo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
QL_ARIA_FN V unpackhi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
QL_ARIA_FN V load_block(const uint8_t *p, int b) { return table(p + 16 * b); }
QL_ARIA_FN void store_block(uint8_t *p, int b, V v) {
  _mm_storeu_si128(reinterpret_cast<V *>(p + 16 * b), v);
}

#include "ql_aria_x86_core.inc"
#undef QL_ARIA_FN

}  // namespace sse

// 256-bit registers on Windows are left out: the compiler cannot keep spilled ones aligned
// on that ABI's stack.
#if !defined(_WIN32)
namespace vaes {

using V = __m256i;
#define QL_ARIA_FN inline __attribute__((always_inline, target("aes,vaes,avx2")))

QL_ARIA_FN V table(const uint8_t *p) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
}
QL_ARIA_FN V bytes(int b) { return _mm256_set1_epi8(static_cast<char>(b)); }
QL_ARIA_FN V vand(V a, V b) { return _mm256_and_si256(a, b); }
QL_ARIA_FN V vxor(V a, V b) { return _mm256_xor_si256(a, b); }
QL_ARIA_FN V shr4(V a) { return _mm256_srli_epi16(a, 4); }
QL_ARIA_FN V shuffle(V t, V i) { return _mm256_shuffle_epi8(t, i); }
QL_ARIA_FN V enclast(V a, V k) { return _mm256_aesenclast_epi128(a, k); }
QL_ARIA_FN V declast(V a, V k) { return _mm256_aesdeclast_epi128(a, k); }
QL_ARIA_FN V unpacklo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
QL_ARIA_FN V unpackhi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
// Block b in the low lane, block b + 16 in the high one.
QL_ARIA_FN V load_block(const uint8_t *p, int b) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * b));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 256 + 16 * b));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}
QL_ARIA_FN void store_block(uint8_t *p, int b, V v) {
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 16 * b), _mm256_castsi256_si128(v));
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 256 + 16 * b), _mm256_extracti128_si256(v, 1));
}

#include "ql_aria_x86_core.inc"
#undef QL_ARIA_FN

}  // namespace vaes
#endif

__attribute__((target("aes,ssse3,sse4.1"))) void crypt_sse(const uint8_t *rk, int rounds,
                                                            uint8_t *out, const uint8_t *in,
                                                            size_t blocks) {
  for (size_t i = 0; i < blocks; i += 16) {
    sse::crypt_group(rk, rounds, out + 16 * i, in + 16 * i);
  }
}

#if !defined(_WIN32)
__attribute__((target("aes,vaes,avx2"))) void crypt_vaes(const uint8_t *rk, int rounds,
                                                          uint8_t *out, const uint8_t *in,
                                                          size_t blocks) {
  size_t i = 0;
  for (; i + 32 <= blocks; i += 32) { vaes::crypt_group(rk, rounds, out + 16 * i, in + 16 * i); }
  _mm256_zeroupper();
  if (i < blocks) { crypt_sse(rk, rounds, out + 16 * i, in + 16 * i, blocks - i); }
}
#endif

}  // namespace

void crypt(const QL_ARIA_KEY &rk, uint8_t *out, const uint8_t *in, size_t blocks) {
#if !defined(_WIN32)
  if (cpu::has(cpu::kVaes)) {
    crypt_vaes(rk.roundKey, rk.rounds, out, in, blocks);
    return;
  }
#endif
  crypt_sse(rk.roundKey, rk.rounds, out, in, blocks);
}

}  // namespace ariani
}  // namespace ql

#endif  // QL_X86_ACCEL
