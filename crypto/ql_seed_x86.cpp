// SEED-128 and SEED-256 on eight blocks at once with SSE and AES-NI: the blocks' words are
// transposed so that each vector holds the same word of four blocks, and G runs on four words
// per vector with its S-boxes computed through AESENCLAST (see ql_sbox_x86.h) rather than
// looked up by secret index. The results equal the table code's exactly.
#include "ql_cpu.h"

#if QL_X86_ACCEL

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "internal/ql_mem.h"
#include "ql_sbox_x86.h"
#include "ql_seed.h"
#include "ql_seed_hw.h"

#define QL_INLINE_SEED inline __attribute__((always_inline, target("aes,ssse3,sse4.1")))
#define QL_TARGET_SEED __attribute__((target("aes,ssse3,sse4.1")))

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
    if (post[sbox_x86::kAesSbox[kPre[x]]] != s[x]) { return false; }
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
    for (unsigned j = 0; j < 4; j++) { t[4 * l + j] = static_cast<uint8_t>(b + 4 * ((l - b) & 3)); }
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

struct Consts {
  __m128i pre_lo, pre_hi, p1_lo, p1_hi, p2_lo, p2_hi, nib, zero;
  __m128i bc[4], mask[4];
};

QL_INLINE_SEED __m128i load16(const uint8_t *p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

QL_INLINE_SEED void load_consts(Consts &k) {
  k.pre_lo = load16(kPreN.lo.data());
  k.pre_hi = load16(kPreN.hi.data());
  k.p1_lo = load16(kPost1N.lo.data());
  k.p1_hi = load16(kPost1N.hi.data());
  k.p2_lo = load16(kPost2N.lo.data());
  k.p2_hi = load16(kPost2N.hi.data());
  k.nib = _mm_set1_epi8(0x0F);
  k.zero = _mm_setzero_si128();
  for (int i = 0; i < 4; i++) {
    k.bc[i] = load16(kBroadcast[i].data());
    k.mask[i] = _mm_set1_epi32(static_cast<int>(kMask[i]));
  }
}

QL_INLINE_SEED __m128i G(const Consts &k, __m128i x) {
  __m128i lo = _mm_and_si128(x, k.nib);
  __m128i hi = _mm_and_si128(_mm_srli_epi16(x, 4), k.nib);
  const __m128i pre = _mm_xor_si128(_mm_shuffle_epi8(k.pre_lo, lo), _mm_shuffle_epi8(k.pre_hi, hi));
  const __m128i y = _mm_aesenclast_si128(pre, k.zero);
  lo = _mm_and_si128(y, k.nib);
  hi = _mm_and_si128(_mm_srli_epi16(y, 4), k.nib);
  const __m128i s1 = _mm_xor_si128(_mm_shuffle_epi8(k.p1_lo, lo), _mm_shuffle_epi8(k.p1_hi, hi));
  const __m128i s2 = _mm_xor_si128(_mm_shuffle_epi8(k.p2_lo, lo), _mm_shuffle_epi8(k.p2_hi, hi));
  const __m128i g0 = _mm_and_si128(_mm_shuffle_epi8(s1, k.bc[0]), k.mask[0]);
  const __m128i g1 = _mm_and_si128(_mm_shuffle_epi8(s2, k.bc[1]), k.mask[1]);
  const __m128i g2 = _mm_and_si128(_mm_shuffle_epi8(s1, k.bc[2]), k.mask[2]);
  const __m128i g3 = _mm_and_si128(_mm_shuffle_epi8(s2, k.bc[3]), k.mask[3]);
  return _mm_xor_si128(_mm_xor_si128(g0, g1), _mm_xor_si128(g2, g3));
}

constexpr int kGroups = 2;  // independent groups of four blocks, interleaved

// (l0, l1) ^= F(r0, r1) with the round keys k[0], k[1], for every group.
QL_INLINE_SEED void round(const Consts &cs, __m128i *l0, __m128i *l1, const __m128i *r0,
                          const __m128i *r1, const uint32_t *k) {
  const __m128i k0 = _mm_set1_epi32(static_cast<int>(k[0]));
  const __m128i k1 = _mm_set1_epi32(static_cast<int>(k[1]));
  __m128i c[kGroups], d[kGroups];
  for (int g = 0; g < kGroups; g++) {
    c[g] = _mm_xor_si128(r0[g], k0);
    d[g] = G(cs, _mm_xor_si128(c[g], _mm_xor_si128(r1[g], k1)));
  }
  for (int g = 0; g < kGroups; g++) { c[g] = G(cs, _mm_add_epi32(c[g], d[g])); }
  for (int g = 0; g < kGroups; g++) { d[g] = G(cs, _mm_add_epi32(d[g], c[g])); }
  for (int g = 0; g < kGroups; g++) {
    l0[g] = _mm_xor_si128(l0[g], _mm_add_epi32(c[g], d[g]));
    l1[g] = _mm_xor_si128(l1[g], d[g]);
  }
}

// Four blocks to four vectors of words (w[i] holds word i of each block), and back.
QL_INLINE_SEED void transpose(__m128i &a, __m128i &b, __m128i &c, __m128i &d) {
  const __m128i t0 = _mm_unpacklo_epi32(a, b);
  const __m128i t1 = _mm_unpacklo_epi32(c, d);
  const __m128i t2 = _mm_unpackhi_epi32(a, b);
  const __m128i t3 = _mm_unpackhi_epi32(c, d);
  a = _mm_unpacklo_epi64(t0, t1);
  b = _mm_unpackhi_epi64(t0, t1);
  c = _mm_unpacklo_epi64(t2, t3);
  d = _mm_unpackhi_epi64(t2, t3);
}

}  // namespace

QL_TARGET_SEED void crypt8(const uint32_t *rk, int rounds, bool decrypt, uint8_t *out,
                           const uint8_t *in) {
  Consts cs;
  load_consts(cs);
  const __m128i order = _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
  __m128i l0[kGroups], l1[kGroups], r0[kGroups], r1[kGroups];
  for (int g = 0; g < kGroups; g++) {
    const uint8_t *p = in + 64 * g;
    l0[g] = _mm_shuffle_epi8(load16(p), order);
    l1[g] = _mm_shuffle_epi8(load16(p + 16), order);
    r0[g] = _mm_shuffle_epi8(load16(p + 32), order);
    r1[g] = _mm_shuffle_epi8(load16(p + 48), order);
    transpose(l0[g], l1[g], r0[g], r1[g]);
  }
  if (!decrypt) {
    for (int i = 0; i < rounds; i += 2) {
      round(cs, l0, l1, r0, r1, rk + 2 * i);
      round(cs, r0, r1, l0, l1, rk + 2 * i + 2);
    }
  } else {
    for (int i = rounds - 1; i > 0; i -= 2) {
      round(cs, l0, l1, r0, r1, rk + 2 * i);
      round(cs, r0, r1, l0, l1, rk + 2 * i - 2);
    }
  }
  for (int g = 0; g < kGroups; g++) {
    // The halves leave swapped, as in the table code.
    transpose(r0[g], r1[g], l0[g], l1[g]);
    uint8_t *p = out + 64 * g;
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), _mm_shuffle_epi8(r0[g], order));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 16), _mm_shuffle_epi8(r1[g], order));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 32), _mm_shuffle_epi8(l0[g], order));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 48), _mm_shuffle_epi8(l1[g], order));
  }
  wipe(l0, sizeof(l0));
  wipe(l1, sizeof(l1));
  wipe(r0, sizeof(r0));
  wipe(r1, sizeof(r1));
}

}  // namespace seedni
}  // namespace ql

#endif  // QL_X86_ACCEL
