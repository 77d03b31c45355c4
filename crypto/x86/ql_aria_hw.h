// ARIA with SSE and AES-NI: many blocks at once (VAES where present) or one block at a time;
// only when cpu::has(cpu::kAesNi).
#ifndef QL_ARIA_HW_H
#define QL_ARIA_HW_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "platform/ql_cpu.h"

#if QL_X86_ACCEL
namespace ql {
namespace ariani {

constexpr unsigned kBlocks = 16;

// Runs `blocks` independent blocks (a multiple of kBlocks) at `in` through the schedule `rk`
// (encryption or decryption) into `out`, which may be `in`.
void crypt_sse(const QL_ARIA_KEY &rk, uint8_t *out, const uint8_t *in, size_t blocks);
#if !defined(_WIN32)
// The same, 32 blocks at a time with VAES and AVX2; only with cpu::has(cpu::kVaes).
void crypt_vaes(const QL_ARIA_KEY &rk, uint8_t *out, const uint8_t *in, size_t blocks);
#endif

// The one-block functions below keep more values than there are registers; what the compiler
// spills stays on the stack under the caller's frame until the caller burns it (QL_SYM_Mode
// does).

// Runs `blocks` blocks at `in` one at a time through the schedule `rk` into `out`, which may
// be `in`: the latency-bound path for the chained modes and for runs shorter than kBlocks.
void crypt_serial(const QL_ARIA_KEY &rk, uint8_t *out, const uint8_t *in, size_t blocks);

// The chained modes over whole blocks, with ARIA's schedule `rk` (CBC decryption takes a
// decryption schedule, the others an encryption one). `iv` is the chaining value in and out:
// the last ciphertext block for CBC and CFB, the last cipher output for OFB.
enum class Chain { kCbcEncrypt, kCbcDecrypt, kCfbEncrypt, kCfbDecrypt, kOfb };
void chain(const QL_ARIA_KEY &rk, Chain mode, uint8_t iv[16], uint8_t *out, const uint8_t *in,
           size_t blocks);

}  // namespace ariani
}  // namespace ql
#endif

#endif  // QL_ARIA_HW_H
