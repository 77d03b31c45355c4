// Whole-block runs of the modes over one block cipher, written once as templates over a block
// functor so that each cipher's unit instantiates them with its rounds inlined. The chaining
// value lives in locals for the whole run: in the serial modes (CBC and CFB encryption, OFB)
// every block waits for the previous one, and a round trip through memory per block would
// sit on that chain.
#ifndef QL_BLOCK_MODES_H
#define QL_BLOCK_MODES_H

#include <cstddef>
#include <cstdint>

#include "internal/ql_bytes.h"

// Marks a block function and its functor for inlining into the mode loops: left to itself
// the compiler keeps the larger ciphers out of line and passes every block through memory.
#if defined(__GNUC__)
#define QL_BLOCK_INLINE inline __attribute__((always_inline))
#else
#define QL_BLOCK_INLINE inline
#endif

namespace ql {
namespace modes {

// What a run does with each block. CFB, OFB and CTR here take whole-block segments.
enum class Run {
  kEcbEncrypt,
  kEcbDecrypt,
  kCbcEncrypt,
  kCbcDecrypt,
  kCfbEncrypt,
  kCfbDecrypt,
  kOfb,
  kCtr,
};

// A block functor is `void operator()(uint32_t &s0, uint32_t &s1, uint32_t &s2,
// uint32_t &s3) const`: it runs one block of big-endian words in place in one direction.
// `loop` runs `blocks` whole blocks of the mode `kOp` from `in` to `out` (which may be `in`:
// every block is read before it is written) and keeps the running IV or counter in the 16
// bytes at `iv` (unused by ECB).
//
// A functor with `kPairs` true also has `pair(a0, a1, a2, a3, b0, b1, b2, b3)`, which runs two
// independent blocks at once; the modes whose blocks are independent (ECB, CBC and CFB
// decryption, CTR) then take them two at a time, so that the rounds of one fill the time the
// other waits on its table lookups.
template <Run kOp, typename Block>
void loop(const Block &block, uint8_t *iv, uint8_t *out, const uint8_t *in, size_t blocks) {
  uint32_t c0 = load_be32(iv), c1 = load_be32(iv + 4), c2 = load_be32(iv + 8),
           c3 = load_be32(iv + 12);
  if constexpr (Block::kPairs && kOp != Run::kCbcEncrypt && kOp != Run::kCfbEncrypt &&
                kOp != Run::kOfb) {
    for (; blocks >= 2; blocks -= 2, in += 32, out += 32) {
      const uint32_t x0 = load_be32(in), x1 = load_be32(in + 4), x2 = load_be32(in + 8),
                     x3 = load_be32(in + 12);
      const uint32_t x4 = load_be32(in + 16), x5 = load_be32(in + 20), x6 = load_be32(in + 24),
                     x7 = load_be32(in + 28);
      // The cipher inputs: both blocks (ECB, CBC), the chaining value and the first block
      // (CFB), or two counter values (CTR).
      uint32_t y0 = x0, y1 = x1, y2 = x2, y3 = x3, y4 = x4, y5 = x5, y6 = x6, y7 = x7;
      if (kOp == Run::kCfbDecrypt) {
        y0 = c0, y1 = c1, y2 = c2, y3 = c3;
        y4 = x0, y5 = x1, y6 = x2, y7 = x3;
      } else if (kOp == Run::kCtr) {
        y0 = c0, y1 = c1, y2 = c2, y3 = c3;
        if (++c3 == 0 && ++c2 == 0 && ++c1 == 0) { ++c0; }
        y4 = c0, y5 = c1, y6 = c2, y7 = c3;
        if (++c3 == 0 && ++c2 == 0 && ++c1 == 0) { ++c0; }
      }
      block.pair(y0, y1, y2, y3, y4, y5, y6, y7);
      if (kOp == Run::kCbcDecrypt) {
        y0 ^= c0, y1 ^= c1, y2 ^= c2, y3 ^= c3;
        y4 ^= x0, y5 ^= x1, y6 ^= x2, y7 ^= x3;
      } else if (kOp == Run::kCfbDecrypt || kOp == Run::kCtr) {
        y0 ^= x0, y1 ^= x1, y2 ^= x2, y3 ^= x3;
        y4 ^= x4, y5 ^= x5, y6 ^= x6, y7 ^= x7;
      }
      if (kOp == Run::kCbcDecrypt || kOp == Run::kCfbDecrypt) {
        c0 = x4, c1 = x5, c2 = x6, c3 = x7;
      }
      store_be32(out, y0);
      store_be32(out + 4, y1);
      store_be32(out + 8, y2);
      store_be32(out + 12, y3);
      store_be32(out + 16, y4);
      store_be32(out + 20, y5);
      store_be32(out + 24, y6);
      store_be32(out + 28, y7);
    }
  }
  for (size_t b = 0; b < blocks; b++, in += 16, out += 16) {
    const uint32_t x0 = load_be32(in), x1 = load_be32(in + 4), x2 = load_be32(in + 8),
                   x3 = load_be32(in + 12);
    uint32_t y0 = x0, y1 = x1, y2 = x2, y3 = x3;
    if (kOp == Run::kEcbEncrypt || kOp == Run::kEcbDecrypt) {
      block(y0, y1, y2, y3);
    } else if (kOp == Run::kCbcEncrypt) {
      c0 ^= x0, c1 ^= x1, c2 ^= x2, c3 ^= x3;
      block(c0, c1, c2, c3);
      y0 = c0, y1 = c1, y2 = c2, y3 = c3;
    } else if (kOp == Run::kCbcDecrypt) {
      block(y0, y1, y2, y3);
      y0 ^= c0, y1 ^= c1, y2 ^= c2, y3 ^= c3;
      c0 = x0, c1 = x1, c2 = x2, c3 = x3;
    } else if (kOp == Run::kCfbEncrypt) {
      block(c0, c1, c2, c3);
      c0 ^= x0, c1 ^= x1, c2 ^= x2, c3 ^= x3;
      y0 = c0, y1 = c1, y2 = c2, y3 = c3;
    } else if (kOp == Run::kCfbDecrypt) {
      block(c0, c1, c2, c3);
      y0 ^= c0, y1 ^= c1, y2 ^= c2, y3 ^= c3;
      c0 = x0, c1 = x1, c2 = x2, c3 = x3;
    } else if (kOp == Run::kOfb) {
      block(c0, c1, c2, c3);
      y0 ^= c0, y1 ^= c1, y2 ^= c2, y3 ^= c3;
    } else {
      uint32_t k0 = c0, k1 = c1, k2 = c2, k3 = c3;
      block(k0, k1, k2, k3);
      y0 ^= k0, y1 ^= k1, y2 ^= k2, y3 ^= k3;
      // The counter block plus one, as one big-endian integer; the carry out of the top word
      // is dropped.
      if (++c3 == 0 && ++c2 == 0 && ++c1 == 0) { ++c0; }
    }
    store_be32(out, y0);
    store_be32(out + 4, y1);
    store_be32(out + 8, y2);
    store_be32(out + 12, y3);
  }
  store_be32(iv, c0);
  store_be32(iv + 4, c1);
  store_be32(iv + 8, c2);
  store_be32(iv + 12, c3);
}

// Runs `op` over `blocks` whole blocks with the encryption functor `enc` or, for ECB and CBC
// decryption, the decryption functor `dec`.
template <typename Enc, typename Dec>
void run(const Enc &enc, const Dec &dec, Run op, uint8_t *iv, uint8_t *out, const uint8_t *in,
         size_t blocks) {
  switch (op) {
    case Run::kEcbEncrypt:
      return loop<Run::kEcbEncrypt>(enc, iv, out, in, blocks);
    case Run::kEcbDecrypt:
      return loop<Run::kEcbDecrypt>(dec, iv, out, in, blocks);
    case Run::kCbcEncrypt:
      return loop<Run::kCbcEncrypt>(enc, iv, out, in, blocks);
    case Run::kCbcDecrypt:
      return loop<Run::kCbcDecrypt>(dec, iv, out, in, blocks);
    case Run::kCfbEncrypt:
      return loop<Run::kCfbEncrypt>(enc, iv, out, in, blocks);
    case Run::kCfbDecrypt:
      return loop<Run::kCfbDecrypt>(enc, iv, out, in, blocks);
    case Run::kOfb:
      return loop<Run::kOfb>(enc, iv, out, in, blocks);
    case Run::kCtr:
      return loop<Run::kCtr>(enc, iv, out, in, blocks);
  }
}

}  // namespace modes
}  // namespace ql

#endif  // QL_BLOCK_MODES_H
