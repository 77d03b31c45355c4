// SHA-1 and SHA-256 compression with the x86 SHA extensions (only when cpu::has(cpu::kShaNi)),
// and SHA-512 compression with its message schedule in 256-bit registers (only when
// cpu::has(cpu::kAvx2 | cpu::kBmi2); not built for Windows). Blocks may lie at any address.
#ifndef QL_SHA_HW_H
#define QL_SHA_HW_H

#include <cstddef>
#include <cstdint>

#include "platform/ql_cpu.h"

#if QL_X86_ACCEL
namespace ql {
namespace shani {

// Compresses `num_blocks` consecutive 64-byte blocks into the native chaining words.
void sha1_compress(uint32_t state[5], const uint8_t *block, size_t num_blocks);
// The same for SHA-256; `k` is the table of the 64 round constants.
void sha256_compress(uint32_t state[8], const uint8_t *block, size_t num_blocks,
                     const uint32_t *k);

}  // namespace shani

#if !defined(_WIN32)
namespace avx2 {

// Compresses `num_blocks` consecutive 128-byte blocks into the native chaining words; `k` is
// the table of the 80 round constants.
void sha512_compress(uint64_t state[8], const uint8_t *block, size_t num_blocks,
                     const uint64_t *k);

}  // namespace avx2
#endif

}  // namespace ql
#endif

#endif  // QL_SHA_HW_H
