// ARIA with AES-NI. Many blocks at once: sixteen with SSE, thirty-two with AVX2 and VAES.
// The state is byte-sliced (one vector per byte position, one lane byte per block), so each
// S-box runs on whole vectors: S1 and S1^-1 are AESENCLAST and AESDECLAST with a zero round
// key, S2 and S2^-1 the same with an affine map after or before (nibble-table shuffles). One
// block at a time (the chained modes, short runs): the same S-boxes on a single register.
// No table is indexed by a secret in memory; the results equal the table code's.
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "internal/ql_mem.h"
#include "platform/ql_cpu.h"
#include "x86/ql_aria_hw.h"
#include "x86/ql_sbox_x86.h"

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
  for (unsigned y = 0; y < 256; y++) {
    t[y] = kS2[sbox_x86::kAesInvSbox[y]];
  }
  return t;
}
constexpr Table pre2() {
  Table t{};
  for (unsigned x = 0; x < 256; x++) {
    t[x] = sbox_x86::kAesSbox[kS2Inv[x]];
  }
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

#include "x86/ql_aria_x86_core.inc"
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

#include "x86/ql_aria_x86_core.inc"
#undef QL_ARIA_FN

}  // namespace vaes
#endif

// One block at a time, for the chained modes: the whole state in one register. Each round
// gives four results: AESENCLAST (S1), the S2 post-map of it (S2), AESDECLAST (S1^-1) and
// AESDECLAST after the S2^-1 pre-map (S2^-1); the diffusion layer then picks each output
// byte's seven terms straight out of them with byte shuffles, two per result, and XORs. The bytes
// sit in the register in an order of the round type's own: the S1 inputs where AESENCLAST's
// ShiftRows carries them to column 0, the S2 inputs to column 2, the S1^-1 inputs where
// AESDECLAST's InvShiftRows carries them to column 1, the S2^-1 inputs to column 3. So every
// result holds its S-box's outputs, in whole, in one column, and the shuffles also put the
// next round's bytes in that round's order.
namespace one {

using Index = std::array<uint8_t, 16>;

// The diffusion layer: output byte i is the XOR of the input bytes kDiffusion[i].
constexpr uint8_t kDiffusion[16][7] = {
    {3, 4, 6, 8, 9, 13, 14},   {2, 5, 7, 8, 9, 12, 15},  {1, 4, 6, 10, 11, 12, 15},
    {0, 5, 7, 10, 11, 13, 14}, {0, 2, 5, 8, 11, 14, 15}, {1, 3, 4, 9, 10, 14, 15},
    {0, 2, 7, 9, 10, 12, 13},  {1, 3, 6, 8, 11, 12, 13}, {0, 1, 4, 7, 10, 13, 15},
    {0, 1, 5, 6, 11, 12, 14},  {2, 3, 5, 6, 8, 13, 15},  {2, 3, 4, 7, 9, 12, 14},
    {1, 2, 6, 7, 9, 11, 12},   {0, 3, 6, 7, 8, 10, 13},  {0, 3, 4, 5, 9, 11, 14},
    {1, 2, 4, 5, 8, 10, 15}};

// Round types: 0 substitutes S1, S2, S1^-1, S2^-1 by byte position modulo 4 (odd rounds),
// 1 the same moved by two positions (even rounds). Substitution results: column c of
// result c is valid. Result 0 is S1, 1 S1^-1, 2 S2, 3 S2^-1; for byte b the S-box is
// (b mod 4) in type 0, so result c holds the bytes congruent to kColBytes[c] ^ 2t.
constexpr unsigned kColBytes[4] = {0, 2, 1, 3};

// The block byte at register byte j of the substitution results in round type t.
constexpr unsigned result_byte(unsigned t, unsigned j) {
  return (kColBytes[j / 4] ^ (2 * t)) + 4 * (j % 4);
}

// The input register byte that lands at result byte j: ShiftRows moves columns 0 and 2,
// InvShiftRows columns 1 and 3.
constexpr unsigned input_pos(unsigned j) {
  return (j / 4) % 2 == 0 ? kShiftRows[j] : kInvShiftRows[j];
}

// The order of round type t as a shuffle from block order: register byte p holds block byte
// order(t)[p].
constexpr Index order(unsigned t) {
  Index a{};
  for (unsigned j = 0; j < 16; j++) {
    a[input_pos(j)] = static_cast<uint8_t>(result_byte(t, j));
  }
  return a;
}

constexpr bool in_row(unsigned row, unsigned b) {
  for (unsigned k = 0; k < 7; k++) {
    if (kDiffusion[row][k] == b) {
      return true;
    }
  }
  return false;
}

// Every output byte takes at most two terms from each result: two shuffles per result.
constexpr unsigned kTerms = 2;
struct Mix {
  Index idx[4][kTerms];  // [result][term]; 0x80 gives a zero byte
  bool fits;
};

// The diffusion from the results of round type t into the order of round type t ^ 1.
constexpr Mix mix(unsigned t) {
  Mix m{};
  m.fits = true;
  const Index next = order(t ^ 1);
  for (unsigned c = 0; c < 4; c++) {
    for (unsigned i = 0; i < 16; i++) {
      unsigned n = 0;
      for (unsigned r = 0; r < 4; r++) {
        const unsigned j = 4 * c + r;
        if (!in_row(next[i], result_byte(t, j))) {
          continue;
        }
        if (n < kTerms) {
          m.idx[c][n][i] = static_cast<uint8_t>(j);
        }
        n++;
      }
      if (n > kTerms) {
        m.fits = false;
      }
      for (; n < kTerms; n++) {
        m.idx[c][n][i] = 0x80;
      }
    }
  }
  return m;
}

// The last substitution (round type 1) back to block order: one shuffle per result.
constexpr std::array<Index, 4> unmix() {
  std::array<Index, 4> u{};
  for (unsigned c = 0; c < 4; c++) {
    for (unsigned i = 0; i < 16; i++) {
      u[c][i] = 0x80;
      for (unsigned r = 0; r < 4; r++) {
        if (result_byte(1, 4 * c + r) == i) {
          u[c][i] = static_cast<uint8_t>(4 * c + r);
        }
      }
    }
  }
  return u;
}

// Every constant a block needs, read from memory where used (see hide()).
struct Tables {
  Index order[2];
  Mix mix[2];
  std::array<Index, 4> unmix;
  Index nib;
  Nibbles post2, pre2;
};
constexpr Index splat(uint8_t b) {
  Index a{};
  for (auto &v : a) {
    v = b;
  }
  return a;
}
constexpr Tables kTables = {{order(0), order(1)}, {mix(0), mix(1)}, unmix(),
                            splat(0x0F),          kPost2N,          kPre2N};
static_assert(kTables.mix[0].fits && kTables.mix[1].fits, "two terms per result");

using V = __m128i;
#define QL_ARIA_FN inline __attribute__((always_inline, target("aes,ssse3,sse4.1")))

QL_ARIA_FN V load(const uint8_t *p) { return _mm_loadu_si128(reinterpret_cast<const V *>(p)); }
QL_ARIA_FN V load(const Index &i) { return load(i.data()); }
QL_ARIA_FN V shuffle(V a, const Index &i) { return _mm_shuffle_epi8(a, load(i)); }

// Makes the compiler forget where `p` points. Done once per round for the constants and once
// per block for the round keys, it keeps them in memory, read where used: held in registers
// across the loops they would not fit, and the compiler would spill them (round keys among
// them) to stack slots that nothing wipes.
template <typename T>
QL_ARIA_FN void hide(const T *&p) {
  __asm__("" : "+r"(p));
}

QL_ARIA_FN V affine(const Tables &tb, const Nibbles &m, V x) {
  const V nib = load(tb.nib);
  const V lo = _mm_and_si128(x, nib);
  const V hi = _mm_and_si128(_mm_srli_epi16(x, 4), nib);
  return _mm_xor_si128(_mm_shuffle_epi8(load(m.lo.data()), lo),
                       _mm_shuffle_epi8(load(m.hi.data()), hi));
}

// The four substitution results of state `x`.
struct Subst {
  V s1, s1_inv, s2, s2_inv;
};
QL_ARIA_FN Subst substitute(const Tables &tb, V x) {
  const V zero = _mm_setzero_si128();
  Subst s;
  s.s1 = _mm_aesenclast_si128(x, zero);
  s.s1_inv = _mm_aesdeclast_si128(x, zero);
  s.s2 = affine(tb, tb.post2, s.s1);
  s.s2_inv = _mm_aesdeclast_si128(affine(tb, tb.pre2, x), zero);
  return s;
}

// The schedule's round keys in the orders the rounds add them: key 0 in round type 0's,
// key i (1 to rounds - 1) in the order of the round it precedes, the last one in block order.
struct Keys {
  V k[17];
};
QL_ARIA_FN void load_keys(Keys &keys, const QL_ARIA_KEY &rk) {
  for (int i = 0; i < rk.rounds; i++) {
    keys.k[i] = shuffle(load(rk.roundKey + 16 * i), kTables.order[i & 1]);
  }
  keys.k[rk.rounds] = load(rk.roundKey + 16 * rk.rounds);
}

// A round of type t with diffusion, the state in type t's order, the next round key (in
// type t ^ 1's order) added: the early results first, so the late ones end the XOR chain.
QL_ARIA_FN V round(const Tables *tp, V x, unsigned t, V next_key) {
  hide(tp);
  const Subst s = substitute(*tp, x);
  const Mix &m = tp->mix[t];
  V early = _mm_xor_si128(next_key,
                          _mm_xor_si128(shuffle(s.s1, m.idx[0][0]), shuffle(s.s1, m.idx[0][1])));
  early = _mm_xor_si128(
      early, _mm_xor_si128(shuffle(s.s1_inv, m.idx[1][0]), shuffle(s.s1_inv, m.idx[1][1])));
  const V late2 = _mm_xor_si128(shuffle(s.s2, m.idx[2][0]), shuffle(s.s2, m.idx[2][1]));
  const V late3 = _mm_xor_si128(shuffle(s.s2_inv, m.idx[3][0]), shuffle(s.s2_inv, m.idx[3][1]));
  return _mm_xor_si128(_mm_xor_si128(early, late2), late3);
}

// One block `in` through the round keys `keys` of a schedule of `rounds` rounds, into block
// order.
QL_ARIA_FN V crypt(const Keys *keys, int rounds, V in) {
  hide(keys);
  const Tables *tp = &kTables;
  V x = _mm_xor_si128(shuffle(in, tp->order[0]), keys->k[0]);
  int r = 1;
  for (; r + 1 < rounds - 1; r += 2) {
    x = round(tp, x, 0, keys->k[r]);
    x = round(tp, x, 1, keys->k[r + 1]);
  }
  x = round(tp, x, 0, keys->k[r]);
  hide(tp);
  const Subst s = substitute(*tp, x);
  const V a = _mm_xor_si128(shuffle(s.s1, tp->unmix[0]), shuffle(s.s1_inv, tp->unmix[1]));
  const V b = _mm_xor_si128(shuffle(s.s2, tp->unmix[2]), shuffle(s.s2_inv, tp->unmix[3]));
  return _mm_xor_si128(_mm_xor_si128(keys->k[rounds], a), b);
}

#undef QL_ARIA_FN

}  // namespace one

__attribute__((target("aes,ssse3,sse4.1"))) void sse_crypt(const uint8_t *rk, int rounds,
                                                           uint8_t *out, const uint8_t *in,
                                                           size_t blocks) {
  for (size_t i = 0; i < blocks; i += 16) {
    sse::crypt_group(rk, rounds, out + 16 * i, in + 16 * i);
  }
}

__attribute__((target("aes,ssse3,sse4.1"))) void serial_sse(const QL_ARIA_KEY &rk, uint8_t *out,
                                                            const uint8_t *in, size_t blocks) {
  one::Keys keys;
  one::load_keys(keys, rk);
  for (size_t i = 0; i < blocks; i++) {
    const __m128i x = one::crypt(&keys, rk.rounds, one::load(in + 16 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 16 * i), x);
  }
  wipe(&keys, sizeof(keys));
}

// One chained mode over `blocks` blocks; a loop of its own for each, so that no mode's
// values are spilled to memory around another's.
template <Chain kMode>
inline __attribute__((always_inline, target("aes,ssse3,sse4.1"))) void chain_loop(
    const QL_ARIA_KEY &rk, uint8_t iv[16], uint8_t *out, const uint8_t *in, size_t blocks) {
  one::Keys keys;
  one::load_keys(keys, rk);
  const one::Keys *key = &keys;
  const int rounds = rk.rounds;
  __m128i c = one::load(iv);
  for (size_t i = 0; i < blocks; i++) {
    const __m128i x = one::load(in + 16 * i);  // read before writing: `out` may be `in`
    __m128i o;
    if (kMode == Chain::kCbcEncrypt) {
      c = one::crypt(key, rounds, _mm_xor_si128(c, x));
      o = c;
    } else if (kMode == Chain::kCbcDecrypt) {
      o = _mm_xor_si128(one::crypt(key, rounds, x), c);
      c = x;
    } else if (kMode == Chain::kOfb) {
      c = one::crypt(key, rounds, c);
      o = _mm_xor_si128(c, x);
    } else {
      o = _mm_xor_si128(one::crypt(key, rounds, c), x);
      c = kMode == Chain::kCfbEncrypt ? o : x;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 16 * i), o);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i *>(iv), c);
  wipe(&keys, sizeof(keys));
}

__attribute__((target("aes,ssse3,sse4.1"))) void chain_sse(const QL_ARIA_KEY &rk, Chain mode,
                                                           uint8_t iv[16], uint8_t *out,
                                                           const uint8_t *in, size_t blocks) {
  switch (mode) {
    case Chain::kCbcEncrypt:
      chain_loop<Chain::kCbcEncrypt>(rk, iv, out, in, blocks);
      return;
    case Chain::kCbcDecrypt:
      chain_loop<Chain::kCbcDecrypt>(rk, iv, out, in, blocks);
      return;
    case Chain::kCfbEncrypt:
      chain_loop<Chain::kCfbEncrypt>(rk, iv, out, in, blocks);
      return;
    case Chain::kCfbDecrypt:
      chain_loop<Chain::kCfbDecrypt>(rk, iv, out, in, blocks);
      return;
    case Chain::kOfb:
      chain_loop<Chain::kOfb>(rk, iv, out, in, blocks);
      return;
  }
}

#if !defined(_WIN32)
__attribute__((target("aes,vaes,avx2"))) void vaes_crypt(const uint8_t *rk, int rounds,
                                                         uint8_t *out, const uint8_t *in,
                                                         size_t blocks) {
  size_t i = 0;
  for (; i + 32 <= blocks; i += 32) {
    vaes::crypt_group(rk, rounds, out + 16 * i, in + 16 * i);
  }
  _mm256_zeroupper();
  if (i < blocks) {
    sse_crypt(rk, rounds, out + 16 * i, in + 16 * i, blocks - i);
  }
}
#endif

}  // namespace

void crypt_sse(const QL_ARIA_KEY &rk, uint8_t *out, const uint8_t *in, size_t blocks) {
  sse_crypt(rk.roundKey, rk.rounds, out, in, blocks);
}

#if !defined(_WIN32)
void crypt_vaes(const QL_ARIA_KEY &rk, uint8_t *out, const uint8_t *in, size_t blocks) {
  vaes_crypt(rk.roundKey, rk.rounds, out, in, blocks);
}
#endif

void crypt_serial(const QL_ARIA_KEY &rk, uint8_t *out, const uint8_t *in, size_t blocks) {
  if (blocks == 0) {
    return;
  }
  serial_sse(rk, out, in, blocks);
}

void chain(const QL_ARIA_KEY &rk, Chain mode, uint8_t iv[16], uint8_t *out, const uint8_t *in,
           size_t blocks) {
  if (blocks == 0) {
    return;
  }
  chain_sse(rk, mode, iv, out, in, blocks);
}

}  // namespace ariani
}  // namespace ql
