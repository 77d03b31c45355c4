// SEED's S-boxes and extended tables SS0..SS3, generated at compile time, and the G and
// round functions shared by SEED-128 and SEED-256. Lookups are indexed by secret bytes.
#ifndef QL_SEED_H
#define QL_SEED_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "internal/ql_gf256.h"
#include "internal/ql_status.h"
#include "platform/ql_cpu.h"
#include "sym/ql_block_modes.h"
#include "sym/ql_cipher.h"
#include "x86/ql_sym_hw.h"

namespace ql {
namespace seed {

using Table = std::array<uint32_t, 256>;

// S1 and S2 are affine maps of x^247 and x^251 modulo x^8 + x^6 + x^5 + x + 1.
constexpr unsigned kPoly = 0x163;
constexpr std::array<uint8_t, 8> kA1 = {0x8A, 0xFE, 0x85, 0x42, 0x45, 0x21, 0x88, 0x14};
constexpr std::array<uint8_t, 8> kA2 = {0x45, 0x85, 0xFE, 0x21, 0x8A, 0x88, 0x42, 0x14};
inline constexpr std::array<uint8_t, 256> s1 = gf256::power_sbox(kA1, 247, 0xA9, kPoly);
inline constexpr std::array<uint8_t, 256> s2 = gf256::power_sbox(kA2, 251, 0x38, kPoly);

// Each G output byte takes every S-box output through a mask that clears one bit pair.
constexpr uint8_t kM0 = 0xFC, kM1 = 0xF3, kM2 = 0xCF, kM3 = 0x3F;

// The extended table for one S-box: the masks for bytes 3, 2, 1, 0 of the word.
constexpr Table make_ss(const std::array<uint8_t, 256> &s, uint8_t m3, uint8_t m2, uint8_t m1,
                        uint8_t m0) {
  Table t{};
  for (unsigned i = 0; i < 256; i++) {
    const uint8_t v = s[i];
    t[i] = (uint32_t{static_cast<uint8_t>(v & m3)} << 24) |
           (uint32_t{static_cast<uint8_t>(v & m2)} << 16) |
           (uint32_t{static_cast<uint8_t>(v & m1)} << 8) | uint32_t{static_cast<uint8_t>(v & m0)};
  }
  return t;
}

// SS0..SS3 as SS[0]..SS[3], in one array so that G addresses them from one base register.
inline constexpr std::array<Table, 4> SS = {
    make_ss(s1, kM3, kM2, kM1, kM0), make_ss(s2, kM0, kM3, kM2, kM1),
    make_ss(s1, kM1, kM0, kM3, kM2), make_ss(s2, kM2, kM1, kM0, kM3)};

static_assert(s1[0x00] == 0xa9 && s1[0x01] == 0x85 && s1[0xff] == 0x9a, "SEED S1");
static_assert(s2[0x00] == 0x38 && s2[0x01] == 0xe8 && s2[0xff] == 0xb7, "SEED S2");
static_assert(SS[0][0] == 0x2989A1A8u && SS[1][0] == 0x38380830u && SS[2][0] == 0xA1A82989u &&
                  SS[3][0] == 0x08303838u && SS[0][255] == 0x1A8A9298u && SS[1][255] == 0xB43787B3u,
              "SEED extended tables");

// The G function: four lookups, X0 being the least significant byte.
inline uint32_t G(uint32_t x) {
  return SS[0][x & 0xff] ^ SS[1][(x >> 8) & 0xff] ^ SS[2][(x >> 16) & 0xff] ^ SS[3][x >> 24];
}

// The golden-ratio constant, rotated left by i for round i + 1 of the key schedules.
constexpr uint32_t kKC0 = 0x9E3779B9u;

// F on the right half XOR its round key, given as x0 = R0 ^ K0 and g = x0 ^ R1 ^ K1: the
// words (c, d) to XOR into the left half.
inline void f(uint32_t x0, uint32_t g, uint32_t &c, uint32_t &d) {
  d = G(g);
  c = G(x0 + d);
  d = G(d + c);
  c += d;
}

// One round, (a0, a1) ^= F, from `x0` and `g` of the other half; then `x0` and `g` for the
// next round, whose F input is the new (a0, a1) with the round keys `kn`. Those are formed
// from the parts known before F ends, so each round's chain is the three G functions and
// little else.
inline void step(uint32_t &a0, uint32_t &a1, uint32_t &x0, uint32_t &g, const uint32_t *kn) {
  uint32_t c, d;
  f(x0, g, c, d);
  const uint32_t e0 = a0 ^ kn[0];
  const uint32_t e = e0 ^ a1 ^ kn[1];
  x0 = e0 ^ c;
  g = (e ^ d) ^ c;
  a0 ^= c;
  a1 ^= d;
}

// `num_rounds` (even) rounds on the block (l0, l1, r0, r1) with the round keys from the pair
// at `k` on, `kStep` words apart (2 forwards, -2 backwards), leaving the swapped halves as
// the standard outputs them.
template <int kStep>
QL_BLOCK_INLINE void rounds(const uint32_t *k, uint32_t &l0, uint32_t &l1, uint32_t &r0,
                            uint32_t &r1, int num_rounds) {
  uint32_t x0 = r0 ^ k[0];
  uint32_t g = x0 ^ r1 ^ k[1];
  for (int i = 2; i < num_rounds; i += 2) {
    step(l0, l1, x0, g, k + kStep);
    step(r0, r1, x0, g, k + 2 * kStep);
    k += 2 * kStep;
  }
  step(l0, l1, x0, g, k + kStep);
  uint32_t c, d;
  f(x0, g, c, d);
  r0 ^= c;
  r1 ^= d;
  const uint32_t t0 = l0, t1 = l1;
  l0 = r0;
  l1 = r1;
  r0 = t0;
  r1 = t1;
}

// `rounds` on two blocks side by side: (l0, l1, r0, r1) and (m0, m1, q0, q1).
template <int kStep>
QL_BLOCK_INLINE void rounds2(const uint32_t *k, uint32_t &l0, uint32_t &l1, uint32_t &r0,
                             uint32_t &r1, uint32_t &m0, uint32_t &m1, uint32_t &q0, uint32_t &q1,
                             int num_rounds) {
  uint32_t x0 = r0 ^ k[0];
  uint32_t g = x0 ^ r1 ^ k[1];
  uint32_t y0 = q0 ^ k[0];
  uint32_t h = y0 ^ q1 ^ k[1];
  for (int i = 2; i < num_rounds; i += 2) {
    step(l0, l1, x0, g, k + kStep);
    step(m0, m1, y0, h, k + kStep);
    step(r0, r1, x0, g, k + 2 * kStep);
    step(q0, q1, y0, h, k + 2 * kStep);
    k += 2 * kStep;
  }
  step(l0, l1, x0, g, k + kStep);
  step(m0, m1, y0, h, k + kStep);
  uint32_t c, d, e, f2;
  f(x0, g, c, d);
  f(y0, h, e, f2);
  const uint32_t t0 = l0, t1 = l1, u0 = m0, u1 = m1;
  l0 = r0 ^ c;
  l1 = r1 ^ d;
  r0 = t0;
  r1 = t1;
  m0 = q0 ^ e;
  m1 = q1 ^ f2;
  q0 = u0;
  q1 = u1;
}

QL_BLOCK_INLINE void encrypt(const uint32_t *rk, uint32_t &l0, uint32_t &l1, uint32_t &r0,
                             uint32_t &r1, int num_rounds) {
  rounds<2>(rk, l0, l1, r0, r1, num_rounds);
}

// The same rounds with the round keys taken from the last pair to the first.
QL_BLOCK_INLINE void decrypt(const uint32_t *rk, uint32_t &l0, uint32_t &l1, uint32_t &r0,
                             uint32_t &r1, int num_rounds) {
  rounds<-2>(rk + 2 * (num_rounds - 1), l0, l1, r0, r1, num_rounds);
}

inline void encrypt(const uint32_t *rk, uint32_t *b, int num_rounds) {
  encrypt(rk, b[0], b[1], b[2], b[3], num_rounds);
}
inline void decrypt(const uint32_t *rk, uint32_t *b, int num_rounds) {
  decrypt(rk, b[0], b[1], b[2], b[3], num_rounds);
}

// Block functors of the mode loops for `kRounds` rounds, one block or two.
template <int kRounds>
struct Encryptor {
  static constexpr bool kPairs = true;
  const uint32_t *rk;
  QL_BLOCK_INLINE void operator()(uint32_t &l0, uint32_t &l1, uint32_t &r0, uint32_t &r1) const {
    encrypt(rk, l0, l1, r0, r1, kRounds);
  }
  QL_BLOCK_INLINE void pair(uint32_t &l0, uint32_t &l1, uint32_t &r0, uint32_t &r1, uint32_t &m0,
                            uint32_t &m1, uint32_t &q0, uint32_t &q1) const {
    rounds2<2>(rk, l0, l1, r0, r1, m0, m1, q0, q1, kRounds);
  }
};
template <int kRounds>
struct Decryptor {
  static constexpr bool kPairs = true;
  const uint32_t *rk;
  QL_BLOCK_INLINE void operator()(uint32_t &l0, uint32_t &l1, uint32_t &r0, uint32_t &r1) const {
    decrypt(rk, l0, l1, r0, r1, kRounds);
  }
  QL_BLOCK_INLINE void pair(uint32_t &l0, uint32_t &l1, uint32_t &r0, uint32_t &r1, uint32_t &m0,
                            uint32_t &m1, uint32_t &q0, uint32_t &q1) const {
    rounds2<-2>(rk + 2 * (kRounds - 1), l0, l1, r0, r1, m0, m1, q0, q1, kRounds);
  }
};

// Runs `op` over `blocks` whole blocks (see modes::loop) with the SEED-128 or SEED-256 round
// keys `rk`.
void run128(const uint32_t *rk, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
            size_t blocks);
void run256(const uint32_t *rk, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
            size_t blocks);

// The symmetric engine's view of SEED-128 (16 rounds) or SEED-256 (24 rounds).
template <int kRounds>
const uint32_t *engine_schedule(const QL_SYM_CTX &ctx) {
  if constexpr (kRounds == 16) {
    return ctx.key.seed128;
  } else {
    return ctx.key.seed256;
  }
}
template <int kRounds>
void engine_encrypt(const void *k, uint32_t s[4]) {
  encrypt(static_cast<const uint32_t *>(k), s, kRounds);
}
template <int kRounds>
BlockFn engine_block(const QL_SYM_CTX &ctx, AriaWords &, const void *&key) {
  key = engine_schedule<kRounds>(ctx);
  return engine_encrypt<kRounds>;
}
template <int kRounds>
void engine_whole(const QL_SYM_CTX &ctx, modes::Run op, uint8_t iv[16], uint8_t *out,
                  const uint8_t *in, size_t blocks) {
  if constexpr (kRounds == 16) {
    run128(ctx.key.seed128, op, iv, out, in, blocks);
  } else {
    run256(ctx.key.seed256, op, iv, out, in, blocks);
  }
}
template <int kRounds>
bool engine_schedule_ok(const QL_SYM_CTX &) {
  return true;
}

// The path of this processor: VAES, else AES-NI with SSE, else the table code.
template <int kRounds>
const CipherPath *choose_path() {
#if QL_X86_ACCEL
#if !defined(_WIN32)
  static constexpr CipherPath vaes{
      kRounds == 16 ? symhw::seed128_fast_vaes : symhw::seed256_fast_vaes, engine_whole<kRounds>,
      engine_block<kRounds>};
  if (cpu::has(cpu::kVaes)) {
    return &vaes;
  }
#endif
  static constexpr CipherPath sse{kRounds == 16 ? symhw::seed128_fast_sse : symhw::seed256_fast_sse,
                                  engine_whole<kRounds>, engine_block<kRounds>};
  if (cpu::has(cpu::kAesNi)) {
    return &sse;
  }
#endif
  static constexpr CipherPath portable{nullptr, engine_whole<kRounds>, engine_block<kRounds>};
  return &portable;
}

}  // namespace seed
}  // namespace ql

#endif  // QL_SEED_H
