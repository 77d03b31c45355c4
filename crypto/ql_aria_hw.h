// ARIA on many blocks at once with SSE and AES-NI (VAES where present); only when
// cpu::has(cpu::kAesNi).
#ifndef QL_ARIA_HW_H
#define QL_ARIA_HW_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "ql_cpu.h"

#if QL_X86_ACCEL
namespace ql {
namespace ariani {

constexpr unsigned kBlocks = 16;

// Runs `blocks` independent blocks (a multiple of kBlocks) at `in` through the schedule `rk`
// (encryption or decryption) into `out`, which may be `in`.
void crypt(const QL_ARIA_KEY &rk, uint8_t *out, const uint8_t *in, size_t blocks);

}  // namespace ariani
}  // namespace ql
#endif

#endif  // QL_ARIA_HW_H
