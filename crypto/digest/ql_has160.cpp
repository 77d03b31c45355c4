// HAS-160 (TTAS.KO-12.0011). Message words are little-endian and held as values: a block in
// the record's buffer is a row of 16 word values, a pending partial word keeps its bytes at
// their little-endian places. The 80 steps run unrolled; each round recomputes its four extra
// words X16..X19 from the block. No branch or index depends on the data.
#include "QuillonCrypto.h"
#include "digest/ql_digest.h"
#include "internal/ql_bytes.h"
#include "internal/ql_mem.h"

namespace ql {
namespace {

#define QL_HAS_F1(x, y, z) ((((y) ^ (z)) & (x)) ^ (z))
#define QL_HAS_F2(x, y, z) ((x) ^ (y) ^ (z))
#define QL_HAS_F3(x, y, z) ((y) ^ ((x) | ~(z)))
#define QL_HAS_STEP(a, b, c, d, e, f, k, s1, s2, xj)        \
  do {                                                      \
    (e) += rotl32((a), s1) + f((b), (c), (d)) + (xj) + (k); \
    (b) = rotl32((b), s2);                                  \
  } while (false)

void HAS_Round(uint32_t state[5], const uint32_t words[16]) {
  // The block's words are read where they are; the four extra words of a round are scalars,
  // so no copy of the message is left on the stack.
  const uint32_t *const x = words;
  uint32_t x16;
  uint32_t x17;
  uint32_t x18;
  uint32_t x19;
  uint32_t a = state[0];
  uint32_t b = state[1];
  uint32_t c = state[2];
  uint32_t d = state[3];
  uint32_t e = state[4];

  // Round 1.
  x16 = x[0] ^ x[1] ^ x[2] ^ x[3];
  x17 = x[4] ^ x[5] ^ x[6] ^ x[7];
  x18 = x[8] ^ x[9] ^ x[10] ^ x[11];
  x19 = x[12] ^ x[13] ^ x[14] ^ x[15];
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F1, 0, 5, 10, x18);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F1, 0, 11, 10, x[0]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F1, 0, 7, 10, x[1]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F1, 0, 15, 10, x[2]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F1, 0, 6, 10, x[3]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F1, 0, 13, 10, x19);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F1, 0, 8, 10, x[4]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F1, 0, 14, 10, x[5]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F1, 0, 7, 10, x[6]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F1, 0, 12, 10, x[7]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F1, 0, 9, 10, x16);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F1, 0, 11, 10, x[8]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F1, 0, 8, 10, x[9]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F1, 0, 15, 10, x[10]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F1, 0, 6, 10, x[11]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F1, 0, 12, 10, x17);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F1, 0, 9, 10, x[12]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F1, 0, 14, 10, x[13]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F1, 0, 5, 10, x[14]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F1, 0, 13, 10, x[15]);
  // Round 2.
  x16 = x[3] ^ x[6] ^ x[9] ^ x[12];
  x17 = x[15] ^ x[2] ^ x[5] ^ x[8];
  x18 = x[11] ^ x[14] ^ x[1] ^ x[4];
  x19 = x[7] ^ x[10] ^ x[13] ^ x[0];
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F2, 0x5A827999u, 5, 17, x18);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F2, 0x5A827999u, 11, 17, x[3]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F2, 0x5A827999u, 7, 17, x[6]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F2, 0x5A827999u, 15, 17, x[9]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F2, 0x5A827999u, 6, 17, x[12]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F2, 0x5A827999u, 13, 17, x19);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F2, 0x5A827999u, 8, 17, x[15]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F2, 0x5A827999u, 14, 17, x[2]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F2, 0x5A827999u, 7, 17, x[5]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F2, 0x5A827999u, 12, 17, x[8]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F2, 0x5A827999u, 9, 17, x16);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F2, 0x5A827999u, 11, 17, x[11]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F2, 0x5A827999u, 8, 17, x[14]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F2, 0x5A827999u, 15, 17, x[1]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F2, 0x5A827999u, 6, 17, x[4]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F2, 0x5A827999u, 12, 17, x17);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F2, 0x5A827999u, 9, 17, x[7]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F2, 0x5A827999u, 14, 17, x[10]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F2, 0x5A827999u, 5, 17, x[13]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F2, 0x5A827999u, 13, 17, x[0]);
  // Round 3.
  x16 = x[12] ^ x[5] ^ x[14] ^ x[7];
  x17 = x[0] ^ x[9] ^ x[2] ^ x[11];
  x18 = x[4] ^ x[13] ^ x[6] ^ x[15];
  x19 = x[8] ^ x[1] ^ x[10] ^ x[3];
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F3, 0x6ED9EBA1u, 5, 25, x18);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F3, 0x6ED9EBA1u, 11, 25, x[12]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F3, 0x6ED9EBA1u, 7, 25, x[5]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F3, 0x6ED9EBA1u, 15, 25, x[14]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F3, 0x6ED9EBA1u, 6, 25, x[7]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F3, 0x6ED9EBA1u, 13, 25, x19);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F3, 0x6ED9EBA1u, 8, 25, x[0]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F3, 0x6ED9EBA1u, 14, 25, x[9]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F3, 0x6ED9EBA1u, 7, 25, x[2]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F3, 0x6ED9EBA1u, 12, 25, x[11]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F3, 0x6ED9EBA1u, 9, 25, x16);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F3, 0x6ED9EBA1u, 11, 25, x[4]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F3, 0x6ED9EBA1u, 8, 25, x[13]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F3, 0x6ED9EBA1u, 15, 25, x[6]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F3, 0x6ED9EBA1u, 6, 25, x[15]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F3, 0x6ED9EBA1u, 12, 25, x17);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F3, 0x6ED9EBA1u, 9, 25, x[8]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F3, 0x6ED9EBA1u, 14, 25, x[1]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F3, 0x6ED9EBA1u, 5, 25, x[10]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F3, 0x6ED9EBA1u, 13, 25, x[3]);
  // Round 4.
  x16 = x[7] ^ x[2] ^ x[13] ^ x[8];
  x17 = x[3] ^ x[14] ^ x[9] ^ x[4];
  x18 = x[15] ^ x[10] ^ x[5] ^ x[0];
  x19 = x[11] ^ x[6] ^ x[1] ^ x[12];
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F2, 0x8F1BBCDCu, 5, 30, x18);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F2, 0x8F1BBCDCu, 11, 30, x[7]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F2, 0x8F1BBCDCu, 7, 30, x[2]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F2, 0x8F1BBCDCu, 15, 30, x[13]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F2, 0x8F1BBCDCu, 6, 30, x[8]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F2, 0x8F1BBCDCu, 13, 30, x19);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F2, 0x8F1BBCDCu, 8, 30, x[3]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F2, 0x8F1BBCDCu, 14, 30, x[14]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F2, 0x8F1BBCDCu, 7, 30, x[9]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F2, 0x8F1BBCDCu, 12, 30, x[4]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F2, 0x8F1BBCDCu, 9, 30, x16);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F2, 0x8F1BBCDCu, 11, 30, x[15]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F2, 0x8F1BBCDCu, 8, 30, x[10]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F2, 0x8F1BBCDCu, 15, 30, x[5]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F2, 0x8F1BBCDCu, 6, 30, x[0]);
  QL_HAS_STEP(a, b, c, d, e, QL_HAS_F2, 0x8F1BBCDCu, 12, 30, x17);
  QL_HAS_STEP(e, a, b, c, d, QL_HAS_F2, 0x8F1BBCDCu, 9, 30, x[11]);
  QL_HAS_STEP(d, e, a, b, c, QL_HAS_F2, 0x8F1BBCDCu, 14, 30, x[6]);
  QL_HAS_STEP(c, d, e, a, b, QL_HAS_F2, 0x8F1BBCDCu, 5, 30, x[1]);
  QL_HAS_STEP(b, c, d, e, a, QL_HAS_F2, 0x8F1BBCDCu, 13, 30, x[12]);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

#undef QL_HAS_F1
#undef QL_HAS_F2
#undef QL_HAS_F3
#undef QL_HAS_STEP

// Puts message byte `value` at byte position `pos` of the pending block. Bytes arrive in
// order, so the first byte of a word replaces whatever the word held before.
inline void put_byte(uint32_t words[16], uint32_t pos, uint8_t value) {
  const uint32_t shift = 8 * (pos & 3);
  if (shift == 0) {
    words[pos >> 2] = value;
  } else {
    words[pos >> 2] |= uint32_t{value} << shift;
  }
}

}  // namespace
}  // namespace ql

// Exported functions.

void QL_HAS160_Init(QL_HAS160_CTX *ctx) {
  ctx->count_lo = 0;
  ctx->count_hi = 0;
  ctx->state[0] = 0x67452301u;
  ctx->state[1] = 0xEFCDAB89u;
  ctx->state[2] = 0x98BADCFEu;
  ctx->state[3] = 0x10325476u;
  ctx->state[4] = 0xC3D2E1F0u;
}

void QL_HAS160_Update(QL_HAS160_CTX *ctx, const uint8_t *data, uint32_t len) {
  if (len == 0) {
    return;
  }
  uint32_t pending = (ctx->count_lo >> 3) & 63;
  const uint32_t lo = ctx->count_lo + (len << 3);
  if (lo < ctx->count_lo) {
    ctx->count_hi++;
  }
  ctx->count_hi += len >> 29;
  ctx->count_lo = lo;

  if (pending != 0) {
    for (; len != 0 && pending < 64; len--) {
      ql::put_byte(ctx->buffer, pending++, *data++);
    }
    if (pending < 64) {
      return;
    }
    ql::HAS_Round(ctx->state, ctx->buffer);
  }
  // Whole blocks are converted into the buffer, never in the caller's memory.
  for (; len >= 64; data += 64, len -= 64) {
    for (int i = 0; i < 16; i++) {
      ctx->buffer[i] = ql::load_le32(data + 4 * i);
    }
    ql::HAS_Round(ctx->state, ctx->buffer);
  }
  for (uint32_t i = 0; i < len; i++) {
    ql::put_byte(ctx->buffer, i, data[i]);
  }
}

void QL_HAS160_Final(QL_HAS160_CTX *ctx, uint8_t *out) {
  const uint32_t pending = (ctx->count_lo >> 3) & 63;
  ql::put_byte(ctx->buffer, pending, 0x80);
  uint32_t word = (pending >> 2) + 1;
  if (pending > 55) {
    for (; word < 16; word++) {
      ctx->buffer[word] = 0;
    }
    ql::HAS_Round(ctx->state, ctx->buffer);
    word = 0;
  }
  for (; word < 14; word++) {
    ctx->buffer[word] = 0;
  }
  // The 64-bit bit length, appended little-endian, is words 14 and 15 as values.
  ctx->buffer[14] = ctx->count_lo;
  ctx->buffer[15] = ctx->count_hi;
  ql::HAS_Round(ctx->state, ctx->buffer);
  for (int i = 0; i < 5; i++) {
    ql::store_le32(out + 4 * i, ctx->state[i]);
  }
}

void QL_HAS160(uint8_t *out, const uint8_t *data, uint32_t len) {
  ql::Wiped<QL_HAS160_CTX> ctx;
  QL_HAS160_Init(ctx.ptr());
  QL_HAS160_Update(ctx.ptr(), data, len);
  QL_HAS160_Final(ctx.ptr(), out);
}

namespace ql {

const DigestDesc has160_digest = {
    QL_HASH_HAS160,
    64,
    20,
    sizeof(QL_HAS160_CTX),
    true,
    true,
    [](QL_HASH_CTX &c) { QL_HAS160_Init(&c.digest.has160); },
    [](QL_HASH_CTX &c, const uint8_t *d, uint32_t n) { QL_HAS160_Update(&c.digest.has160, d, n); },
    [](QL_HASH_CTX &c, uint8_t *out) { QL_HAS160_Final(&c.digest.has160, out); },
};

}  // namespace ql
