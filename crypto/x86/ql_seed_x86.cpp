// SEED-128 and SEED-256 on many blocks at once: eight with SSE and AES-NI, sixteen with AVX2
// and VAES. The blocks' words are transposed so that each 128-bit lane holds the same word of
// four blocks, and G runs on those words with its S-boxes computed through AESENCLAST (see
// ql_sbox_x86.h) rather than looked up by secret index. The results equal the table code's.
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "internal/ql_mem.h"
#include "platform/ql_cpu.h"
#include "sym/ql_seed.h"
#include "x86/ql_sbox_x86.h"
#include "x86/ql_seed_hw.h"

namespace ql {
namespace seedni {
namespace {

using sbox_x86::Nibbles;
using sbox_x86::Table;

// S1 and S2 both invert in SEED's field: one field map into the AES field serves both, and
// each S-box keeps its own affine map after SubBytes.
constexpr Table kPre = sbox_x86::field_map(seed::kPoly);
constexpr Table kPost1 = sbox_x86::post_map(seed::s1, kPre);
constexpr Table kPost2 = sbox_x86::post_map(seed::s2, kPre);
static_assert(sbox_x86::is_affine(kPre) && sbox_x86::is_affine(kPost1) &&
                  sbox_x86::is_affine(kPost2),
              "SEED S-boxes through SubBytes");

constexpr bool reproduces(const Table &s, const Table &post) {
  for (unsigned x = 0; x < 256; x++) {
    if (post[sbox_x86::kAesSbox[kPre[x]]] != s[x]) {
      return false;
    }
  }
  return true;
}
static_assert(reproduces(seed::s1, kPost1) && reproduces(seed::s2, kPost2), "SEED S-boxes");

constexpr Nibbles kPreN = sbox_x86::nibbles(kPre);
constexpr Nibbles kPost1N = sbox_x86::nibbles(kPost1);
constexpr Nibbles kPost2N = sbox_x86::nibbles(kPost2);

// After AESENCLAST the byte b of word L sits at b + 4 * ((L - b) mod 4) (ShiftRows): these
// shuffles copy S(x_b) of every word into all four bytes of that word.
constexpr std::array<uint8_t, 16> broadcast(unsigned b) {
  std::array<uint8_t, 16> t{};
  for (unsigned l = 0; l < 4; l++) {
    for (unsigned j = 0; j < 4; j++) {
      t[4 * l + j] = static_cast<uint8_t>(b + 4 * ((l - b) & 3));
    }
  }
  return t;
}
constexpr std::array<std::array<uint8_t, 16>, 4> kBroadcast = {broadcast(0), broadcast(1),
                                                               broadcast(2), broadcast(3)};

constexpr uint32_t pack(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return (uint32_t{a} << 24) | (uint32_t{b} << 16) | (uint32_t{c} << 8) | uint32_t{d};
}
// The masks of SS0..SS3: which bits of S(x_b) reach each byte of G's output.
constexpr uint32_t kMask[4] = {pack(seed::kM3, seed::kM2, seed::kM1, seed::kM0),
                               pack(seed::kM0, seed::kM3, seed::kM2, seed::kM1),
                               pack(seed::kM1, seed::kM0, seed::kM3, seed::kM2),
                               pack(seed::kM2, seed::kM1, seed::kM0, seed::kM3)};

// Two independent groups interleaved: G's chain of dependent steps is long.
constexpr int kGroups = 2;

namespace sse {

using V = __m128i;
#define QL_SEED_FN inline __attribute__((always_inline, target("aes,ssse3,sse4.1")))
constexpr size_t kGroupBytes = 64;  // four blocks

QL_SEED_FN V table(const uint8_t *p) { return _mm_loadu_si128(reinterpret_cast<const V *>(p)); }
QL_SEED_FN V bytes(int b) { return _mm_set1_epi8(static_cast<char>(b)); }
QL_SEED_FN V words(uint32_t w) { return _mm_set1_epi32(static_cast<int>(w)); }
QL_SEED_FN V vand(V a, V b) { return _mm_and_si128(a, b); }
QL_SEED_FN V vxor(V a, V b) { return _mm_xor_si128(a, b); }
QL_SEED_FN V add32(V a, V b) { return _mm_add_epi32(a, b); }
QL_SEED_FN V shr4(V a) { return _mm_srli_epi16(a, 4); }
QL_SEED_FN V shuffle(V t, V i) { return _mm_shuffle_epi8(t, i); }
QL_SEED_FN V sub_bytes(V a, V zero) { return _mm_aesenclast_si128(a, zero); }
QL_SEED_FN V unpacklo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
QL_SEED_FN V unpackhi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
QL_SEED_FN V unpacklo64(V a, V b) { return _mm_unpacklo_epi64(a, b); }
QL_SEED_FN V unpackhi64(V a, V b) { return _mm_unpackhi_epi64(a, b); }
QL_SEED_FN V word_order() {
  return _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
}
// Block j of the group, its words as native values.
QL_SEED_FN V load_blocks(const uint8_t *p, int j) {
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const V *>(p + 16 * j)), word_order());
}
QL_SEED_FN void store_blocks(uint8_t *p, int j, V v) {
  _mm_storeu_si128(reinterpret_cast<V *>(p + 16 * j), _mm_shuffle_epi8(v, word_order()));
}

#include "x86/ql_seed_x86_core.inc"
#undef QL_SEED_FN

}  // namespace sse

// 256-bit registers on Windows are left out: the compiler cannot keep spilled ones aligned
// on that ABI's stack.
#if !defined(_WIN32)
namespace vaes {

using V = __m256i;
#define QL_SEED_FN inline __attribute__((always_inline, target("aes,vaes,avx2")))
constexpr size_t kGroupBytes = 128;  // eight blocks: 0 to 3 in the low lanes, 4 to 7 high

QL_SEED_FN V table(const uint8_t *p) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
}
QL_SEED_FN V bytes(int b) { return _mm256_set1_epi8(static_cast<char>(b)); }
QL_SEED_FN V words(uint32_t w) { return _mm256_set1_epi32(static_cast<int>(w)); }
QL_SEED_FN V vand(V a, V b) { return _mm256_and_si256(a, b); }
QL_SEED_FN V vxor(V a, V b) { return _mm256_xor_si256(a, b); }
QL_SEED_FN V add32(V a, V b) { return _mm256_add_epi32(a, b); }
QL_SEED_FN V shr4(V a) { return _mm256_srli_epi16(a, 4); }
QL_SEED_FN V shuffle(V t, V i) { return _mm256_shuffle_epi8(t, i); }
QL_SEED_FN V sub_bytes(V a, V zero) { return _mm256_aesenclast_epi128(a, zero); }
QL_SEED_FN V unpacklo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
QL_SEED_FN V unpackhi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
QL_SEED_FN V unpacklo64(V a, V b) { return _mm256_unpacklo_epi64(a, b); }
QL_SEED_FN V unpackhi64(V a, V b) { return _mm256_unpackhi_epi64(a, b); }
QL_SEED_FN V word_order() {
  return _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2, 1, 0, 7, 6, 5,
                          4, 11, 10, 9, 8, 15, 14, 13, 12);
}
QL_SEED_FN V load_blocks(const uint8_t *p, int j) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * j));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 64 + 16 * j));
  return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1),
                             word_order());
}
QL_SEED_FN void store_blocks(uint8_t *p, int j, V v) {
  const V b = _mm256_shuffle_epi8(v, word_order());
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 16 * j), _mm256_castsi256_si128(b));
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 64 + 16 * j), _mm256_extracti128_si256(b, 1));
}

#include "x86/ql_seed_x86_core.inc"
#undef QL_SEED_FN

}  // namespace vaes
#endif

__attribute__((target("aes,ssse3,sse4.1"))) void sse_crypt(const uint32_t *rk, int rounds,
                                                           bool decrypt, uint8_t *out,
                                                           const uint8_t *in, size_t blocks) {
  for (size_t i = 0; i < blocks; i += kBlocks) {
    sse::crypt_group(rk, rounds, decrypt, out + 16 * i, in + 16 * i);
  }
}

#if !defined(_WIN32)
__attribute__((target("aes,vaes,avx2"))) void vaes_crypt(const uint32_t *rk, int rounds,
                                                         bool decrypt, uint8_t *out,
                                                         const uint8_t *in, size_t blocks) {
  size_t i = 0;
  for (; i + 2 * kBlocks <= blocks; i += 2 * kBlocks) {
    vaes::crypt_group(rk, rounds, decrypt, out + 16 * i, in + 16 * i);
  }
  _mm256_zeroupper();
  if (i < blocks) {
    sse_crypt(rk, rounds, decrypt, out + 16 * i, in + 16 * i, blocks - i);
  }
}
#endif

}  // namespace

void crypt_sse(const uint32_t *rk, int rounds, bool decrypt, uint8_t *out, const uint8_t *in,
               size_t blocks) {
  sse_crypt(rk, rounds, decrypt, out, in, blocks);
}

#if !defined(_WIN32)
void crypt_vaes(const uint32_t *rk, int rounds, bool decrypt, uint8_t *out, const uint8_t *in,
                size_t blocks) {
  vaes_crypt(rk, rounds, decrypt, out, in, blocks);
}
#endif

}  // namespace seedni
}  // namespace ql
