// The symmetric engine's paths on x86-64 with AES-NI (VAES where present): AES-NI for AES in
// ECB, CBC and CTR and one block at a time for its other modes; many blocks at once for every
// cipher in ECB, CBC decryption, CFB decryption and CTR; ARIA's chained modes one block at a
// time in one register. Each cipher's unit composes its path from these and chooses it once.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "sym/ql_aes.h"
#include "sym/ql_cipher.h"
#include "x86/ql_aria_hw.h"
#include "x86/ql_seed_hw.h"
#include "x86/ql_sym_hw.h"

namespace ql {
namespace {

constexpr uint32_t kBlock = 16;

void aes_enc_hw(const void *k, uint32_t s[4]) {
  aesni::crypt_words(*static_cast<const QL_AES_KEY *>(k), s, kEncrypt);
}

// AES-NI for ECB, CBC and whole-block CTR, several blocks in flight where the mode allows;
// false for the modes it leaves to the block-function engine.
bool aes_hw_mode(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  const QL_AES_KEY &rk = ctx.key.aes;
  uint8_t *iv = ctx.param.iv;
  switch (run_of(ctx.param.mode, dir)) {
    case modes::Run::kEcbEncrypt:
    case modes::Run::kEcbDecrypt:
      aesni::ecb(rk, dir, out, in, len / kBlock);
      return true;
    case modes::Run::kCbcEncrypt:
    case modes::Run::kCbcDecrypt:
      if (dir == kEncrypt) {
        aesni::cbc_encrypt(rk, iv, out, in, len / kBlock);
      } else {
        aesni::cbc_decrypt(rk, iv, out, in, len / kBlock);
      }
      return true;
    case modes::Run::kCtr: {
      if (ctx.param.segmentLength != kBlock) {
        return false;
      }
      const size_t whole = len / kBlock;
      aesni::ctr(rk, iv, out, in, whole);
      const size_t tail = len % kBlock;
      if (tail != 0) {
        // The trailing partial block takes one counter value of its own.
        uint8_t k[kBlock] = {0};
        WipeOnExit guard_k(k, sizeof(k));
        aesni::ctr(rk, iv, k, k, 1);
        for (size_t j = 0; j < tail; j++) {
          out[whole * kBlock + j] = static_cast<uint8_t>(in[whole * kBlock + j] ^ k[j]);
        }
      }
      return true;
    }
    default:
      return false;
  }
}

// ARIA one block at a time with AES-NI: ECB, CBC, and CFB and OFB in whole-block segments,
// after whatever the many-block prefix took; false for the modes left to the engine.
bool aria_hw_mode(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  const QL_ARIA_KEY &rk = ctx.key.aria;
  const size_t blocks = len / kBlock;
  const bool dec = dir == kDecrypt;
  const uint32_t mode = ctx.param.mode;
  if (mode == QL_SYM_MODE_ECB) {
    ariani::crypt_serial(rk, out, in, blocks);
    return true;
  }
  using ariani::Chain;
  Chain chain;
  if (mode == QL_SYM_MODE_CBC) {
    chain = dec ? Chain::kCbcDecrypt : Chain::kCbcEncrypt;
  } else if (mode == QL_SYM_MODE_CFB && ctx.param.segmentLength == kBlock) {
    chain = dec ? Chain::kCfbDecrypt : Chain::kCfbEncrypt;
  } else if (mode == QL_SYM_MODE_OFB && ctx.param.segmentLength == kBlock) {
    chain = Chain::kOfb;
  } else {
    return false;
  }
  ariani::chain(rk, chain, ctx.param.iv, out, in, blocks);
  return true;
}

// A function that runs `blocks` independent blocks (a multiple of sixteen) through the cipher.
using WideFn = void (*)(const QL_SYM_CTX &ctx, bool decrypt, uint8_t *out, const uint8_t *in,
                        size_t blocks);
constexpr size_t kWideUnit = 16 * kBlock;
static_assert(16 % seedni::kBlocks == 0 && 16 % ariani::kBlocks == 0, "whole groups");
constexpr size_t kWideChunk = 64 * kBlock;  // keystream and ciphertext buffered per step

// out = in ^ ks over `n` bytes (a multiple of 8), eight bytes at a time at any alignment.
void xor_bytes(uint8_t *out, const uint8_t *in, const uint8_t *ks, size_t n) {
  for (size_t j = 0; j < n; j += 8) {
    uint64_t a, b;
    std::memcpy(&a, in + j, 8);
    std::memcpy(&b, ks + j, 8);
    a ^= b;
    std::memcpy(out + j, &a, 8);
  }
}

// ECB, CBC decryption, CFB decryption and whole-block CTR over the longest run of
// sixteen-block groups at the start of `len` bytes, many blocks at a time; returns the bytes
// done and leaves the running IV or counter in the record, so the engine does the rest.
template <WideFn fn>
size_t wide_prefix(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  const size_t n = len / kWideUnit * kWideUnit;
  if (n == 0) {
    return 0;
  }
  uint8_t *iv = ctx.param.iv;
  switch (run_of(ctx.param.mode, dir)) {
    case modes::Run::kEcbEncrypt:
    case modes::Run::kEcbDecrypt:
      fn(ctx, dir == kDecrypt, out, in, n / kBlock);
      return n;
    case modes::Run::kCbcEncrypt:
    case modes::Run::kCbcDecrypt: {
      if (dir != kDecrypt) {
        return 0;
      }
      // Ciphertext is public: the copies that let `out` be `in` need no wiping.
      uint8_t x[kWideChunk];
      uint8_t prev[kBlock];
      std::memcpy(prev, iv, kBlock);
      for (size_t i = 0; i < n; i += kWideChunk) {
        const size_t m = n - i < kWideChunk ? n - i : kWideChunk;
        std::memcpy(x, in + i, m);
        fn(ctx, true, out + i, x, m / kBlock);
        for (size_t j = 0; j < kBlock; j++) {
          out[i + j] ^= prev[j];
        }
        for (size_t j = kBlock; j < m; j++) {
          out[i + j] ^= x[j - kBlock];
        }
        std::memcpy(prev, x + m - kBlock, kBlock);
      }
      std::memcpy(iv, prev, kBlock);
      return n;
    }
    case modes::Run::kCfbEncrypt:
    case modes::Run::kCfbDecrypt: {
      // Decryption only, whole-block segments: the cipher inputs are the IV and the
      // ciphertext blocks, all known in advance.
      if (dir != kDecrypt || ctx.param.segmentLength != kBlock) {
        return 0;
      }
      uint8_t ks[kWideChunk];
      WipeOnExit guard_ks(ks, sizeof(ks));
      uint8_t prev[kBlock];
      std::memcpy(prev, iv, kBlock);
      for (size_t i = 0; i < n; i += kWideChunk) {
        const size_t m = n - i < kWideChunk ? n - i : kWideChunk;
        std::memcpy(ks, prev, kBlock);
        std::memcpy(ks + kBlock, in + i, m - kBlock);
        std::memcpy(prev, in + i + m - kBlock, kBlock);  // read before `out` may overwrite it
        fn(ctx, false, ks, ks, m / kBlock);
        xor_bytes(out + i, in + i, ks, m);
      }
      std::memcpy(iv, prev, kBlock);
      return n;
    }
    case modes::Run::kCtr: {
      if (ctx.param.segmentLength != kBlock) {
        return 0;
      }
      uint8_t ks[kWideChunk];
      WipeOnExit guard_ks(ks, sizeof(ks));
      uint8_t next[kBlock];  // the counter block, incremented bytewise from the end
      std::memcpy(next, iv, kBlock);
      for (size_t i = 0; i < n; i += kWideChunk) {
        const size_t m = n - i < kWideChunk ? n - i : kWideChunk;
        for (size_t b = 0; b < m; b += kBlock) {
          std::memcpy(ks + b, next, kBlock);
          for (size_t j = kBlock; j-- > 0 && ++next[j] == 0;) {
          }
        }
        fn(ctx, false, ks, ks, m / kBlock);
        xor_bytes(out + i, in + i, ks, m);
      }
      std::memcpy(iv, next, kBlock);
      return n;
    }
    default:
      return 0;
  }
}

void aes_wide(const QL_SYM_CTX &ctx, bool, uint8_t *out, const uint8_t *in, size_t blocks) {
  aesni::ecb(ctx.key.aes, kEncrypt, out, in, blocks);
}
void seed128_wide_sse(const QL_SYM_CTX &ctx, bool decrypt, uint8_t *out, const uint8_t *in,
                      size_t blocks) {
  seedni::crypt_sse(ctx.key.seed128, 16, decrypt, out, in, blocks);
}
void seed256_wide_sse(const QL_SYM_CTX &ctx, bool decrypt, uint8_t *out, const uint8_t *in,
                      size_t blocks) {
  seedni::crypt_sse(ctx.key.seed256, 24, decrypt, out, in, blocks);
}
// ARIA's schedule itself decides the direction.
void aria_wide_sse(const QL_SYM_CTX &ctx, bool, uint8_t *out, const uint8_t *in, size_t blocks) {
  ariani::crypt_sse(ctx.key.aria, out, in, blocks);
}
#if !defined(_WIN32)
void seed128_wide_vaes(const QL_SYM_CTX &ctx, bool decrypt, uint8_t *out, const uint8_t *in,
                       size_t blocks) {
  seedni::crypt_vaes(ctx.key.seed128, 16, decrypt, out, in, blocks);
}
void seed256_wide_vaes(const QL_SYM_CTX &ctx, bool decrypt, uint8_t *out, const uint8_t *in,
                       size_t blocks) {
  seedni::crypt_vaes(ctx.key.seed256, 24, decrypt, out, in, blocks);
}
void aria_wide_vaes(const QL_SYM_CTX &ctx, bool, uint8_t *out, const uint8_t *in, size_t blocks) {
  ariani::crypt_vaes(ctx.key.aria, out, in, blocks);
}
#endif

// ARIA: the many-block prefix, then the one-block path for what its modes leave.
template <WideFn fn>
size_t aria_fast(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  const size_t done = wide_prefix<fn>(ctx, out, in, len, dir);
  return aria_hw_mode(ctx, out + done, in + done, len - done, dir) ? len : done;
}

}  // namespace

namespace symhw {

size_t aes_fast(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  if (aes_hw_mode(ctx, out, in, len, dir)) {
    return len;
  }
  return wide_prefix<aes_wide>(ctx, out, in, len, dir);
}

void aes_whole(const QL_SYM_CTX &ctx, modes::Run op, uint8_t iv[16], uint8_t *out,
               const uint8_t *in, size_t blocks) {
  aesni::run(ctx.key.aes, op, iv, out, in, blocks);
}

BlockFn aes_block(const QL_SYM_CTX &ctx, AriaWords &, const void *&key) {
  key = &ctx.key.aes;
  return aes_enc_hw;
}

size_t seed128_fast_sse(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  return wide_prefix<seed128_wide_sse>(ctx, out, in, len, dir);
}
size_t seed256_fast_sse(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  return wide_prefix<seed256_wide_sse>(ctx, out, in, len, dir);
}
size_t aria_fast_sse(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  return aria_fast<aria_wide_sse>(ctx, out, in, len, dir);
}
#if !defined(_WIN32)
size_t seed128_fast_vaes(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  return wide_prefix<seed128_wide_vaes>(ctx, out, in, len, dir);
}
size_t seed256_fast_vaes(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  return wide_prefix<seed256_wide_vaes>(ctx, out, in, len, dir);
}
size_t aria_fast_vaes(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  return aria_fast<aria_wide_vaes>(ctx, out, in, len, dir);
}
#endif

}  // namespace symhw
}  // namespace ql
