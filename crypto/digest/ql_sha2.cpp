// SHA-256, SHA-384 and SHA-512 (FIPS 180-2). Chaining words are native values; message words
// are read big-endian byte by byte, so blocks may lie at any address. Each compression runs
// its first 16 rounds unrolled, then a loop over groups of 16 unrolled rounds (one copy of
// the code is small enough to stay in the processor's decoded-instruction cache), with the
// schedule computed in place in a 16-word window. The counters
// count bytes (64 bits for SHA-256, 128 bits for SHA-384/512). No branch or index depends on
// the data.
#include <array>
#include <cstring>

#include "QuillonCrypto.h"
#include "digest/ql_digest.h"
#include "internal/ql_bytes.h"
#include "internal/ql_md.h"
#include "internal/ql_mem.h"
#include "x86/ql_sha_hw.h"

namespace ql {
namespace {

constexpr uint32_t sha256_ihv[8] = {0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au,
                                    0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u};

constexpr std::array<uint32_t, 64> K256 = {
    0x428a2f98u, 0x71374491u, 0xb5c0fbcfu, 0xe9b5dba5u, 0x3956c25bu, 0x59f111f1u, 0x923f82a4u,
    0xab1c5ed5u, 0xd807aa98u, 0x12835b01u, 0x243185beu, 0x550c7dc3u, 0x72be5d74u, 0x80deb1feu,
    0x9bdc06a7u, 0xc19bf174u, 0xe49b69c1u, 0xefbe4786u, 0x0fc19dc6u, 0x240ca1ccu, 0x2de92c6fu,
    0x4a7484aau, 0x5cb0a9dcu, 0x76f988dau, 0x983e5152u, 0xa831c66du, 0xb00327c8u, 0xbf597fc7u,
    0xc6e00bf3u, 0xd5a79147u, 0x06ca6351u, 0x14292967u, 0x27b70a85u, 0x2e1b2138u, 0x4d2c6dfcu,
    0x53380d13u, 0x650a7354u, 0x766a0abbu, 0x81c2c92eu, 0x92722c85u, 0xa2bfe8a1u, 0xa81a664bu,
    0xc24b8b70u, 0xc76c51a3u, 0xd192e819u, 0xd6990624u, 0xf40e3585u, 0x106aa070u, 0x19a4c116u,
    0x1e376c08u, 0x2748774cu, 0x34b0bcb5u, 0x391c0cb3u, 0x4ed8aa4au, 0x5b9cca4fu, 0x682e6ff3u,
    0x748f82eeu, 0x78a5636fu, 0x84c87814u, 0x8cc70208u, 0x90befffau, 0xa4506cebu, 0xbef9a3f7u,
    0xc67178f2u};
static_assert(K256[0] == 0x428a2f98u && K256[63] == 0xc67178f2u, "K256");

constexpr uint64_t sha384_ihv[8] = {
    0xcbbb9d5dc1059ed8ull, 0x629a292a367cd507ull, 0x9159015a3070dd17ull, 0x152fecd8f70e5939ull,
    0x67332667ffc00b31ull, 0x8eb44a8768581511ull, 0xdb0c2e0d64f98fa7ull, 0x47b5481dbefa4fa4ull};
constexpr uint64_t sha512_ihv[8] = {
    0x6a09e667f3bcc908ull, 0xbb67ae8584caa73bull, 0x3c6ef372fe94f82bull, 0xa54ff53a5f1d36f1ull,
    0x510e527fade682d1ull, 0x9b05688c2b3e6c1full, 0x1f83d9abfb41bd6bull, 0x5be0cd19137e2179ull};

constexpr std::array<uint64_t, 80> K512 = {
    0x428a2f98d728ae22ull, 0x7137449123ef65cdull, 0xb5c0fbcfec4d3b2full, 0xe9b5dba58189dbbcull,
    0x3956c25bf348b538ull, 0x59f111f1b605d019ull, 0x923f82a4af194f9bull, 0xab1c5ed5da6d8118ull,
    0xd807aa98a3030242ull, 0x12835b0145706fbeull, 0x243185be4ee4b28cull, 0x550c7dc3d5ffb4e2ull,
    0x72be5d74f27b896full, 0x80deb1fe3b1696b1ull, 0x9bdc06a725c71235ull, 0xc19bf174cf692694ull,
    0xe49b69c19ef14ad2ull, 0xefbe4786384f25e3ull, 0x0fc19dc68b8cd5b5ull, 0x240ca1cc77ac9c65ull,
    0x2de92c6f592b0275ull, 0x4a7484aa6ea6e483ull, 0x5cb0a9dcbd41fbd4ull, 0x76f988da831153b5ull,
    0x983e5152ee66dfabull, 0xa831c66d2db43210ull, 0xb00327c898fb213full, 0xbf597fc7beef0ee4ull,
    0xc6e00bf33da88fc2ull, 0xd5a79147930aa725ull, 0x06ca6351e003826full, 0x142929670a0e6e70ull,
    0x27b70a8546d22ffcull, 0x2e1b21385c26c926ull, 0x4d2c6dfc5ac42aedull, 0x53380d139d95b3dfull,
    0x650a73548baf63deull, 0x766a0abb3c77b2a8ull, 0x81c2c92e47edaee6ull, 0x92722c851482353bull,
    0xa2bfe8a14cf10364ull, 0xa81a664bbc423001ull, 0xc24b8b70d0f89791ull, 0xc76c51a30654be30ull,
    0xd192e819d6ef5218ull, 0xd69906245565a910ull, 0xf40e35855771202aull, 0x106aa07032bbd1b8ull,
    0x19a4c116b8d2d0c8ull, 0x1e376c085141ab53ull, 0x2748774cdf8eeb99ull, 0x34b0bcb5e19b48a8ull,
    0x391c0cb3c5c95a63ull, 0x4ed8aa4ae3418acbull, 0x5b9cca4f7763e373ull, 0x682e6ff3d6b2b8a3ull,
    0x748f82ee5defb2fcull, 0x78a5636f43172f60ull, 0x84c87814a1f0ab72ull, 0x8cc702081a6439ecull,
    0x90befffa23631e28ull, 0xa4506cebde82bde9ull, 0xbef9a3f7b2c67915ull, 0xc67178f2e372532bull,
    0xca273eceea26619cull, 0xd186b8c721c0c207ull, 0xeada7dd6cde0eb1eull, 0xf57d4f7fee6ed178ull,
    0x06f067aa72176fbaull, 0x0a637dc5a2c898a6ull, 0x113f9804bef90daeull, 0x1b710b35131c471bull,
    0x28db77f523047d84ull, 0x32caab7b40c72493ull, 0x3c9ebe0a15c9bebcull, 0x431d67c49c100d4cull,
    0x4cc5d4becb3e42b6ull, 0x597f299cfc657e2aull, 0x5fcb6fab3ad6faecull, 0x6c44198c4a475817ull};
static_assert(K512[0] == 0x428a2f98d728ae22ull && K512[79] == 0x6c44198c4a475817ull, "K512");

constexpr uint8_t sha256_padding[64] = {0x80};
constexpr uint8_t sha512_padding[128] = {0x80};

// One round on rotating register names; `wi` is the schedule word of the round. Ch takes three
// operations; Maj(a, b, c) = ((a ^ b) & (b ^ c)) ^ b reuses b ^ c, which is a ^ b of the round
// before, so rounds alternate the two temporaries `bc` and `ab`.
#define QL_SHA2_ROUND(a, b, c, d, e, f, g, h, S0, S1, k, wi, bc, ab)         \
  do {                                                                       \
    const auto t1_ = (h) + S1(e) + ((((f) ^ (g)) & (e)) ^ (g)) + (k) + (wi); \
    (ab) = (a) ^ (b);                                                        \
    (d) += t1_;                                                              \
    (h) = t1_ + S0(a) + (((ab) & (bc)) ^ (b));                               \
  } while (false)
#define QL_SHA2_EIGHT(S0, S1, K, W, i)                                       \
  QL_SHA2_ROUND(a, b, c, d, e, f, g, h, S0, S1, K[i], W(i), t0, t1);         \
  QL_SHA2_ROUND(h, a, b, c, d, e, f, g, S0, S1, K[i + 1], W(i + 1), t1, t0); \
  QL_SHA2_ROUND(g, h, a, b, c, d, e, f, S0, S1, K[i + 2], W(i + 2), t0, t1); \
  QL_SHA2_ROUND(f, g, h, a, b, c, d, e, S0, S1, K[i + 3], W(i + 3), t1, t0); \
  QL_SHA2_ROUND(e, f, g, h, a, b, c, d, S0, S1, K[i + 4], W(i + 4), t0, t1); \
  QL_SHA2_ROUND(d, e, f, g, h, a, b, c, S0, S1, K[i + 5], W(i + 5), t1, t0); \
  QL_SHA2_ROUND(c, d, e, f, g, h, a, b, S0, S1, K[i + 6], W(i + 6), t0, t1); \
  QL_SHA2_ROUND(b, c, d, e, f, g, h, a, S0, S1, K[i + 7], W(i + 7), t1, t0)

// The sigmas as nested rotations: one copy of the input instead of three.
#define QL_SHA256_S0(x) rotr32(rotr32(rotr32((x), 9) ^ (x), 11) ^ (x), 2)
#define QL_SHA256_S1(x) rotr32(rotr32(rotr32((x), 14) ^ (x), 5) ^ (x), 6)
#define QL_SHA256_s0(x) (rotr32(rotr32((x), 11) ^ (x), 7) ^ ((x) >> 3))
#define QL_SHA256_s1(x) (rotr32(rotr32((x), 2) ^ (x), 17) ^ ((x) >> 10))
#define QL_SHA256_LOAD(i) (w[i] = load_be32(block + 4 * (i)))
#define QL_SHA256_NEXT(i) \
  (w[(i)&15] +=           \
   QL_SHA256_s1(w[((i) + 14) & 15]) + w[((i) + 9) & 15] + QL_SHA256_s0(w[((i) + 1) & 15]))

// The round constants of the loop are read through a pointer that steps by 16.
const uint32_t *const k256_table = K256.data();

// Compresses `num_blocks` consecutive 64-byte blocks into the chaining words.
QL_MD_ROUNDS_FN void sha256_compress_portable(uint32_t state[8], const uint8_t *block,
                                              size_t num_blocks) {
  uint32_t a = state[0];
  uint32_t b = state[1];
  uint32_t c = state[2];
  uint32_t d = state[3];
  uint32_t e = state[4];
  uint32_t f = state[5];
  uint32_t g = state[6];
  uint32_t h = state[7];
  uint32_t t0 = 0;
  uint32_t t1 = 0;
  uint32_t w[16];
  for (; num_blocks != 0; num_blocks--, block += 64) {
    t0 = b ^ c;
    QL_SHA2_EIGHT(QL_SHA256_S0, QL_SHA256_S1, K256, QL_SHA256_LOAD, 0);
    QL_SHA2_EIGHT(QL_SHA256_S0, QL_SHA256_S1, K256, QL_SHA256_LOAD, 8);
    for (const uint32_t *k = k256_table + 16; k != k256_table + 64; k += 16) {
      QL_SHA2_EIGHT(QL_SHA256_S0, QL_SHA256_S1, k, QL_SHA256_NEXT, 0);
      QL_SHA2_EIGHT(QL_SHA256_S0, QL_SHA256_S1, k, QL_SHA256_NEXT, 8);
    }
    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
  }
  wipe(w, sizeof(w));  // the schedule of a key block is key material
}

struct Sha256Impl {
  void (*compress)(uint32_t state[8], const uint8_t *block, size_t num_blocks);
};
constexpr Sha256Impl sha256_portable{sha256_compress_portable};
#if QL_X86_ACCEL
void sha256_compress_shani(uint32_t state[8], const uint8_t *block, size_t num_blocks) {
  shani::sha256_compress(state, block, num_blocks, K256.data());
}
constexpr Sha256Impl sha256_shani{sha256_compress_shani};
#endif

// The SHA extensions where the processor has them, else the portable rounds.
const Sha256Impl *choose_sha256() {
#if QL_X86_ACCEL
  if (cpu::has(cpu::kShaNi)) {
    return &sha256_shani;
  }
#endif
  return &sha256_portable;
}
cpu::Choice<Sha256Impl> sha256_impl(choose_sha256);

void sha256_compress(uint32_t state[8], const uint8_t *block, size_t num_blocks) {
  sha256_impl.get().compress(state, block, num_blocks);
}

#define QL_SHA512_S0(x) rotr64(rotr64(rotr64((x), 5) ^ (x), 6) ^ (x), 28)
#define QL_SHA512_S1(x) rotr64(rotr64(rotr64((x), 23) ^ (x), 4) ^ (x), 14)
#define QL_SHA512_s0(x) (rotr64(rotr64((x), 7) ^ (x), 1) ^ ((x) >> 7))
#define QL_SHA512_s1(x) (rotr64(rotr64((x), 42) ^ (x), 19) ^ ((x) >> 6))
#define QL_SHA512_LOAD(i) (w[i] = load_be64(block + 8 * (i)))
#define QL_SHA512_NEXT(i) \
  (w[(i)&15] +=           \
   QL_SHA512_s1(w[((i) + 14) & 15]) + w[((i) + 9) & 15] + QL_SHA512_s0(w[((i) + 1) & 15]))

// The round constants are read through a pointer the compiler cannot see through, so that they
// stay memory operands of the additions instead of becoming 80 ten-byte immediate loads.
const uint64_t *volatile k512_table = K512.data();

// Compresses `num_blocks` consecutive 128-byte blocks into the chaining words; inlined into
// the portable function and, on x86-64, into one compiled for BMI2 (three-operand rotations).
#if defined(__GNUC__)
#define QL_SHA512_INLINE inline __attribute__((always_inline))
#else
#define QL_SHA512_INLINE inline
#endif
QL_SHA512_INLINE void sha512_rounds(uint64_t state[8], const uint8_t *block, size_t num_blocks) {
  const uint64_t *const k = k512_table;
  uint64_t a = state[0];
  uint64_t b = state[1];
  uint64_t c = state[2];
  uint64_t d = state[3];
  uint64_t e = state[4];
  uint64_t f = state[5];
  uint64_t g = state[6];
  uint64_t h = state[7];
  uint64_t t0 = 0;
  uint64_t t1 = 0;
  uint64_t w[16];
  for (; num_blocks != 0; num_blocks--, block += 128) {
    t0 = b ^ c;
    QL_SHA2_EIGHT(QL_SHA512_S0, QL_SHA512_S1, k, QL_SHA512_LOAD, 0);
    QL_SHA2_EIGHT(QL_SHA512_S0, QL_SHA512_S1, k, QL_SHA512_LOAD, 8);
    for (const uint64_t *kg = k + 16; kg != k + 80; kg += 16) {
      QL_SHA2_EIGHT(QL_SHA512_S0, QL_SHA512_S1, kg, QL_SHA512_NEXT, 0);
      QL_SHA2_EIGHT(QL_SHA512_S0, QL_SHA512_S1, kg, QL_SHA512_NEXT, 8);
    }
    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
    f = state[5] += f;
    g = state[6] += g;
    h = state[7] += h;
  }
  wipe(w, sizeof(w));  // the schedule of a key block is key material
}

QL_MD_ROUNDS_FN void sha512_compress_portable(uint64_t state[8], const uint8_t *block,
                                              size_t num_blocks) {
  sha512_rounds(state, block, num_blocks);
}

#if QL_X86_ACCEL
QL_MD_ROUNDS_FN __attribute__((target("bmi2"))) void sha512_compress_bmi2(uint64_t state[8],
                                                                          const uint8_t *block,
                                                                          size_t num_blocks) {
  sha512_rounds(state, block, num_blocks);
}
#endif

struct Sha512Impl {
  void (*compress)(uint64_t state[8], const uint8_t *block, size_t num_blocks);
};
constexpr Sha512Impl sha512_portable{sha512_compress_portable};
#if QL_X86_ACCEL
constexpr Sha512Impl sha512_bmi2{sha512_compress_bmi2};
#if !defined(_WIN32)
void sha512_compress_avx2(uint64_t state[8], const uint8_t *block, size_t num_blocks) {
  avx2::sha512_compress(state, block, num_blocks, K512.data());
}
constexpr Sha512Impl sha512_avx2{sha512_compress_avx2};
#endif
#endif

// The AVX2 schedule with scalar BMI2 rounds, else the portable rounds compiled for BMI2, else
// the portable ones.
const Sha512Impl *choose_sha512() {
#if QL_X86_ACCEL
#if !defined(_WIN32)
  if (cpu::has(cpu::kAvx2 | cpu::kBmi2)) {
    return &sha512_avx2;
  }
#endif
  if (cpu::has(cpu::kBmi2)) {
    return &sha512_bmi2;
  }
#endif
  return &sha512_portable;
}
cpu::Choice<Sha512Impl> sha512_impl(choose_sha512);

void sha512_compress(uint64_t state[8], const uint8_t *block, size_t num_blocks) {
  sha512_impl.get().compress(state, block, num_blocks);
}

#undef QL_SHA512_INLINE
#undef QL_SHA2_ROUND
#undef QL_SHA2_EIGHT
#undef QL_SHA256_S0
#undef QL_SHA256_S1
#undef QL_SHA256_s0
#undef QL_SHA256_s1
#undef QL_SHA256_LOAD
#undef QL_SHA256_NEXT
#undef QL_SHA512_S0
#undef QL_SHA512_S1
#undef QL_SHA512_s0
#undef QL_SHA512_s1
#undef QL_SHA512_LOAD
#undef QL_SHA512_NEXT

void sha512_init(QL_SHA512_CTX *ctx, const uint64_t (&ihv)[8]) {
  wipe(ctx, sizeof(*ctx));
  for (int i = 0; i < 8; i++) {
    ctx->state[i] = ihv[i];
  }
}

}  // namespace
}  // namespace ql

// Exported functions.

void SHA256_Transform(uint32_t state[8], const uint8_t block[64]) {
  ql::sha256_compress(state, block, 1);
}

void SHA512_Transform(uint64_t state[8], const uint8_t block[128]) {
  ql::sha512_compress(state, block, 1);
}

void QL_SHA256_Init(QL_SHA256_CTX *ctx) {
  ql::wipe(ctx, sizeof(*ctx));
  for (int i = 0; i < 8; i++) {
    ctx->state[i] = ql::sha256_ihv[i];
  }
}

void QL_SHA256_Update(QL_SHA256_CTX *ctx, const uint8_t *data, uint32_t len) {
  if (len == 0) {
    return;
  }
  const uint32_t pending = ctx->count_lo & 63;
  ctx->count_lo += len;
  if (ctx->count_lo < len) {
    ctx->count_hi++;
  }
  ql::md_absorb<64>(ctx->buffer, pending, data, len,
                    [ctx](const uint8_t *blocks, size_t num_blocks) {
                      ql::sha256_compress(ctx->state, blocks, num_blocks);
                    });
}

void QL_SHA256_Final(QL_SHA256_CTX *ctx, uint8_t *out) {
  // The bit length is taken from the byte counter before the padding runs through it.
  uint8_t bit_len[8];
  ql::store_be32(bit_len, (ctx->count_hi << 3) | (ctx->count_lo >> 29));
  ql::store_be32(bit_len + 4, ctx->count_lo << 3);
  const uint32_t pending = ctx->count_lo & 63;
  QL_SHA256_Update(ctx, ql::sha256_padding, pending < 56 ? 56 - pending : 120 - pending);
  QL_SHA256_Update(ctx, bit_len, sizeof(bit_len));
  for (int i = 0; i < 8; i++) {
    ql::store_be32(out + 4 * i, ctx->state[i]);
  }
  ql::wipe(ctx, sizeof(*ctx));
}

void QL_SHA256(uint8_t *out, const uint8_t *data, uint32_t len) {
  ql::Wiped<QL_SHA256_CTX> ctx;
  QL_SHA256_Init(ctx.ptr());
  QL_SHA256_Update(ctx.ptr(), data, len);
  QL_SHA256_Final(ctx.ptr(), out);
}

void QL_SHA512_Init(QL_SHA512_CTX *ctx) { ql::sha512_init(ctx, ql::sha512_ihv); }

void QL_SHA512_Update(QL_SHA512_CTX *ctx, const uint8_t *data, uint32_t len) {
  if (len == 0) {
    return;
  }
  const size_t pending = static_cast<size_t>(ctx->count_lo & 127);
  ctx->count_lo += len;
  if (ctx->count_lo < len) {
    ctx->count_hi++;
  }
  ql::md_absorb<128>(ctx->buffer, pending, data, len,
                     [ctx](const uint8_t *blocks, size_t num_blocks) {
                       ql::sha512_compress(ctx->state, blocks, num_blocks);
                     });
}

void QL_SHA512_Final(QL_SHA512_CTX *ctx, uint8_t *out) {
  // The 128-bit byte counter shifted left by 3 across both halves gives the bit length.
  uint8_t bit_len[16];
  ql::store_be64(bit_len, (ctx->count_hi << 3) | (ctx->count_lo >> 61));
  ql::store_be64(bit_len + 8, ctx->count_lo << 3);
  const uint32_t pending = static_cast<uint32_t>(ctx->count_lo & 127);
  QL_SHA512_Update(ctx, ql::sha512_padding, pending < 112 ? 112 - pending : 240 - pending);
  QL_SHA512_Update(ctx, bit_len, sizeof(bit_len));
  for (int i = 0; i < 8; i++) {
    ql::store_be64(out + 8 * i, ctx->state[i]);
  }
  ql::wipe(ctx, sizeof(*ctx));
}

void QL_SHA512(uint8_t *out, const uint8_t *data, uint32_t len) {
  ql::Wiped<QL_SHA512_CTX> ctx;
  QL_SHA512_Init(ctx.ptr());
  QL_SHA512_Update(ctx.ptr(), data, len);
  QL_SHA512_Final(ctx.ptr(), out);
}

void QL_SHA384_Init(QL_SHA512_CTX *ctx) { ql::sha512_init(ctx, ql::sha384_ihv); }

void QL_SHA384_Update(QL_SHA512_CTX *ctx, const uint8_t *data, uint32_t len) {
  QL_SHA512_Update(ctx, data, len);
}

void QL_SHA384_Final(QL_SHA512_CTX *ctx, uint8_t *out) {
  ql::Wiped<std::array<uint8_t, 64>> full;
  QL_SHA512_Final(ctx, full.get().data());
  std::memcpy(out, full.get().data(), 48);
}

void QL_SHA384(uint8_t *out, const uint8_t *data, uint32_t len) {
  ql::Wiped<QL_SHA512_CTX> ctx;
  QL_SHA384_Init(ctx.ptr());
  QL_SHA384_Update(ctx.ptr(), data, len);
  QL_SHA384_Final(ctx.ptr(), out);
}

namespace ql {

const DigestDesc sha256_digest = {
    QL_HASH_SHA256,
    64,
    32,
    sizeof(QL_SHA256_CTX),
    true,
    true,
    [](QL_HASH_CTX &c) { QL_SHA256_Init(&c.digest.sha256); },
    [](QL_HASH_CTX &c, const uint8_t *d, uint32_t n) { QL_SHA256_Update(&c.digest.sha256, d, n); },
    [](QL_HASH_CTX &c, uint8_t *out) { QL_SHA256_Final(&c.digest.sha256, out); },
};

const DigestDesc sha384_digest = {
    QL_HASH_SHA384,
    128,
    48,
    sizeof(QL_SHA512_CTX),
    true,
    true,
    [](QL_HASH_CTX &c) { QL_SHA384_Init(&c.digest.sha512); },
    [](QL_HASH_CTX &c, const uint8_t *d, uint32_t n) { QL_SHA512_Update(&c.digest.sha512, d, n); },
    [](QL_HASH_CTX &c, uint8_t *out) { QL_SHA384_Final(&c.digest.sha512, out); },
};

const DigestDesc sha512_digest = {
    QL_HASH_SHA512,
    128,
    64,
    sizeof(QL_SHA512_CTX),
    true,
    true,
    [](QL_HASH_CTX &c) { QL_SHA512_Init(&c.digest.sha512); },
    [](QL_HASH_CTX &c, const uint8_t *d, uint32_t n) { QL_SHA512_Update(&c.digest.sha512, d, n); },
    [](QL_HASH_CTX &c, uint8_t *out) { QL_SHA512_Final(&c.digest.sha512, out); },
};

}  // namespace ql
