// SEED on many blocks at once with SSE and AES-NI, or with VAES; only when
// cpu::has(cpu::kAesNi), and cpu::has(cpu::kVaes) for the VAES one.
#ifndef QL_SEED_HW_H
#define QL_SEED_HW_H

#include <cstddef>
#include <cstdint>

#include "platform/ql_cpu.h"

#if QL_X86_ACCEL
namespace ql {
namespace seedni {

constexpr unsigned kBlocks = 8;

// Encrypts or decrypts (`decrypt`) `blocks` independent blocks (a multiple of kBlocks) at
// `in` into `out` (which may be `in`) with the schedule `rk` of `rounds` rounds (16 or 24).
void crypt_sse(const uint32_t *rk, int rounds, bool decrypt, uint8_t *out, const uint8_t *in,
               size_t blocks);
#if !defined(_WIN32)
// The same sixteen blocks at a time with VAES and AVX2; only with cpu::has(cpu::kVaes).
void crypt_vaes(const uint32_t *rk, int rounds, bool decrypt, uint8_t *out, const uint8_t *in,
                size_t blocks);
#endif

}  // namespace seedni
}  // namespace ql
#endif

#endif  // QL_SEED_HW_H
