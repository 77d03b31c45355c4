// SHA-1 (FIPS 180-2). The chaining words are kept as native values and updated as soon as a
// block is complete; message words are read big-endian byte by byte, so blocks may lie at any
// address. The compression runs its 80 rounds unrolled with the schedule in a 16-word window.
// No branch or index depends on the data.
#include "QuillonCrypto.h"
#include "digest/ql_digest.h"
#include "internal/ql_bytes.h"
#include "internal/ql_md.h"
#include "internal/ql_mem.h"
#include "x86/ql_sha_hw.h"

namespace ql {
namespace {

constexpr uint8_t sha_padding[64] = {0x80};

// Rounds 0..15 take the block's words; later rounds extend the schedule in place.
#define QL_SHA1_LOAD(i) (w[i] = load_be32(block + 4 * (i)))
#define QL_SHA1_NEXT(i) \
  (w[(i)&15] = rotl32(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i)&15], 1))
#define QL_SHA1_CH(b, c, d) ((((c) ^ (d)) & (b)) ^ (d))
#define QL_SHA1_PARITY(b, c, d) ((b) ^ (c) ^ (d))
#define QL_SHA1_MAJ(b, c, d) (((b) & (c)) + (((b) ^ (c)) & (d)))
#define QL_SHA1_STEP(a, b, c, d, e, f, k, wi)              \
  do {                                                     \
    (e) += rotl32((a), 5) + f((b), (c), (d)) + (k) + (wi); \
    (b) = rotl32((b), 30);                                 \
  } while (false)
#define QL_SHA1_FIVE(f, k, W, i)               \
  QL_SHA1_STEP(a, b, c, d, e, f, k, W(i));     \
  QL_SHA1_STEP(e, a, b, c, d, f, k, W(i + 1)); \
  QL_SHA1_STEP(d, e, a, b, c, f, k, W(i + 2)); \
  QL_SHA1_STEP(c, d, e, a, b, f, k, W(i + 3)); \
  QL_SHA1_STEP(b, c, d, e, a, f, k, W(i + 4))

// Compresses `num_blocks` consecutive 64-byte blocks into the chaining words.
QL_MD_ROUNDS_FN void sha1_compress_portable(uint32_t state[5], const uint8_t *block,
                                            size_t num_blocks) {
  constexpr uint32_t k1 = 0x5A827999u;
  constexpr uint32_t k2 = 0x6ED9EBA1u;
  constexpr uint32_t k3 = 0x8F1BBCDCu;
  constexpr uint32_t k4 = 0xCA62C1D6u;
  uint32_t a = state[0];
  uint32_t b = state[1];
  uint32_t c = state[2];
  uint32_t d = state[3];
  uint32_t e = state[4];
  uint32_t w[16];
  for (; num_blocks != 0; num_blocks--, block += 64) {
    QL_SHA1_FIVE(QL_SHA1_CH, k1, QL_SHA1_LOAD, 0);
    QL_SHA1_FIVE(QL_SHA1_CH, k1, QL_SHA1_LOAD, 5);
    QL_SHA1_FIVE(QL_SHA1_CH, k1, QL_SHA1_LOAD, 10);
    QL_SHA1_STEP(a, b, c, d, e, QL_SHA1_CH, k1, QL_SHA1_LOAD(15));
    QL_SHA1_STEP(e, a, b, c, d, QL_SHA1_CH, k1, QL_SHA1_NEXT(16));
    QL_SHA1_STEP(d, e, a, b, c, QL_SHA1_CH, k1, QL_SHA1_NEXT(17));
    QL_SHA1_STEP(c, d, e, a, b, QL_SHA1_CH, k1, QL_SHA1_NEXT(18));
    QL_SHA1_STEP(b, c, d, e, a, QL_SHA1_CH, k1, QL_SHA1_NEXT(19));

    QL_SHA1_FIVE(QL_SHA1_PARITY, k2, QL_SHA1_NEXT, 20);
    QL_SHA1_FIVE(QL_SHA1_PARITY, k2, QL_SHA1_NEXT, 25);
    QL_SHA1_FIVE(QL_SHA1_PARITY, k2, QL_SHA1_NEXT, 30);
    QL_SHA1_FIVE(QL_SHA1_PARITY, k2, QL_SHA1_NEXT, 35);

    QL_SHA1_FIVE(QL_SHA1_MAJ, k3, QL_SHA1_NEXT, 40);
    QL_SHA1_FIVE(QL_SHA1_MAJ, k3, QL_SHA1_NEXT, 45);
    QL_SHA1_FIVE(QL_SHA1_MAJ, k3, QL_SHA1_NEXT, 50);
    QL_SHA1_FIVE(QL_SHA1_MAJ, k3, QL_SHA1_NEXT, 55);

    QL_SHA1_FIVE(QL_SHA1_PARITY, k4, QL_SHA1_NEXT, 60);
    QL_SHA1_FIVE(QL_SHA1_PARITY, k4, QL_SHA1_NEXT, 65);
    QL_SHA1_FIVE(QL_SHA1_PARITY, k4, QL_SHA1_NEXT, 70);
    QL_SHA1_FIVE(QL_SHA1_PARITY, k4, QL_SHA1_NEXT, 75);

    a = state[0] += a;
    b = state[1] += b;
    c = state[2] += c;
    d = state[3] += d;
    e = state[4] += e;
  }
  wipe(w, sizeof(w));  // the schedule of a key block is key material
}

#undef QL_SHA1_LOAD
#undef QL_SHA1_NEXT
#undef QL_SHA1_CH
#undef QL_SHA1_PARITY
#undef QL_SHA1_MAJ
#undef QL_SHA1_STEP
#undef QL_SHA1_FIVE

struct Sha1Impl {
  void (*compress)(uint32_t state[5], const uint8_t *block, size_t num_blocks);
};
constexpr Sha1Impl sha1_portable{sha1_compress_portable};
#if QL_X86_ACCEL
constexpr Sha1Impl sha1_shani{shani::sha1_compress};
#endif

// The SHA extensions where the processor has them, else the portable rounds.
const Sha1Impl *choose_sha1() {
#if QL_X86_ACCEL
  if (cpu::has(cpu::kShaNi)) {
    return &sha1_shani;
  }
#endif
  return &sha1_portable;
}
cpu::Choice<Sha1Impl> sha1_impl(choose_sha1);

void SHA1_Transform(uint32_t state[5], const uint8_t *block, size_t num_blocks) {
  sha1_impl.get().compress(state, block, num_blocks);
}

// The counter counts bits in two words; it is advanced before any block is compressed.
void SHA_Update(QL_SHA1_CTX *ctx, const uint8_t *data, uint32_t len) {
  if (len == 0) {
    return;
  }
  const uint32_t pending = (ctx->count_lo >> 3) & 63;
  const uint32_t lo = ctx->count_lo + (len << 3);
  if (lo < ctx->count_lo) {
    ctx->count_hi++;
  }
  ctx->count_hi += len >> 29;
  ctx->count_lo = lo;
  md_absorb<64>(ctx->buffer, pending, data, len, [ctx](const uint8_t *blocks, size_t num_blocks) {
    SHA1_Transform(ctx->state, blocks, num_blocks);
  });
}

}  // namespace
}  // namespace ql

// Exported functions.

void QL_SHA1_Init(QL_SHA1_CTX *ctx) {
  ctx->state[0] = 0x67452301u;
  ctx->state[1] = 0xEFCDAB89u;
  ctx->state[2] = 0x98BADCFEu;
  ctx->state[3] = 0x10325476u;
  ctx->state[4] = 0xC3D2E1F0u;
  ctx->count_lo = 0;
  ctx->count_hi = 0;
}

void QL_SHA1_Update(QL_SHA1_CTX *ctx, const uint8_t *data, uint32_t len) {
  ql::SHA_Update(ctx, data, len);
}

void QL_SHA1_Final(QL_SHA1_CTX *ctx, uint8_t *out) {
  // The length is taken before the padding runs through the counter.
  uint8_t bit_len[8];
  ql::store_be32(bit_len, ctx->count_hi);
  ql::store_be32(bit_len + 4, ctx->count_lo);
  const uint32_t pending = (ctx->count_lo >> 3) & 63;
  ql::SHA_Update(ctx, ql::sha_padding, pending < 56 ? 56 - pending : 120 - pending);
  ql::SHA_Update(ctx, bit_len, sizeof(bit_len));
  for (int i = 0; i < 5; i++) {
    ql::store_be32(out + 4 * i, ctx->state[i]);
  }
  ql::wipe(ctx, sizeof(*ctx));
}

void QL_SHA1(uint8_t *out, const uint8_t *data, uint32_t len) {
  ql::Wiped<QL_SHA1_CTX> ctx;
  QL_SHA1_Init(ctx.ptr());
  QL_SHA1_Update(ctx.ptr(), data, len);
  QL_SHA1_Final(ctx.ptr(), out);
}

namespace ql {

const DigestDesc sha1_digest = {
    QL_HASH_SHA1,
    64,
    20,
    sizeof(QL_SHA1_CTX),
    true,
    true,
    [](QL_HASH_CTX &c) { QL_SHA1_Init(&c.digest.sha1); },
    [](QL_HASH_CTX &c, const uint8_t *d, uint32_t n) { QL_SHA1_Update(&c.digest.sha1, d, n); },
    [](QL_HASH_CTX &c, uint8_t *out) { QL_SHA1_Final(&c.digest.sha1, out); },
};

}  // namespace ql
