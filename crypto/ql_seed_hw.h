// SEED on eight blocks at once with SSE and AES-NI; only when cpu::has(cpu::kAesNi).
#ifndef QL_SEED_HW_H
#define QL_SEED_HW_H

#include <cstdint>

#include "ql_cpu.h"

#if QL_X86_ACCEL
namespace ql {
namespace seedni {

constexpr unsigned kBlocks = 8;

// Encrypts or decrypts (`decrypt`) the 128 bytes at `in` into `out` (which may be `in`) as
// eight independent blocks, with the schedule `rk` of `rounds` rounds (16 or 24).
void crypt8(const uint32_t *rk, int rounds, bool decrypt, uint8_t *out, const uint8_t *in);

}  // namespace seedni
}  // namespace ql
#endif

#endif  // QL_SEED_HW_H
