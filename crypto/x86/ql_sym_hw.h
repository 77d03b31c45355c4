// The symmetric engine's paths on x86-64 (see ql_sym_x86.cpp), for the cipher units to
// compose their paths from: only when cpu::has(cpu::kAesNi), and the _vaes ones only with
// cpu::kVaes (never on Windows).
#ifndef QL_SYM_HW_H
#define QL_SYM_HW_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "sym/ql_cipher.h"

#if QL_X86_ACCEL
namespace ql {
namespace symhw {

size_t aes_fast(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir);
void aes_whole(const QL_SYM_CTX &ctx, modes::Run op, uint8_t iv[16], uint8_t *out,
               const uint8_t *in, size_t blocks);
BlockFn aes_block(const QL_SYM_CTX &ctx, AriaWords &aria, const void *&key);

size_t seed128_fast_sse(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir);
size_t seed256_fast_sse(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir);
size_t aria_fast_sse(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir);
#if !defined(_WIN32)
size_t seed128_fast_vaes(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir);
size_t seed256_fast_vaes(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir);
size_t aria_fast_vaes(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir);
#endif

}  // namespace symhw
}  // namespace ql
#endif

#endif  // QL_SYM_HW_H
