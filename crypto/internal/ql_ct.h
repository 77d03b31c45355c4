// Constant-time idioms: masks are all ones for true and zero for false and pass through a
// value barrier, so the compiler cannot turn them back into branches.
#ifndef QL_INTERNAL_CT_H
#define QL_INTERNAL_CT_H

#include <cstddef>
#include <cstdint>

// QL_CT_SECRET(p, n) marks the n bytes at p as secret and QL_CT_PUBLIC(p, n) as public again.
// In the constant-time check build (QL_CT_CHECK, run under valgrind memcheck) secret bytes are
// "undefined", so a branch or a memory index that depends on them is reported; a value that
// may be published (a length, a checked result) is declared public before code branches on
// it. Elsewhere both expand to nothing.
#if defined(QL_CT_CHECK)
#include <valgrind/memcheck.h>
#define QL_CT_SECRET(p, n) ((void)VALGRIND_MAKE_MEM_UNDEFINED((p), (n)))
#define QL_CT_PUBLIC(p, n) ((void)VALGRIND_MAKE_MEM_DEFINED((p), (n)))
#else
#define QL_CT_SECRET(p, n) ((void)0)
#define QL_CT_PUBLIC(p, n) ((void)0)
#endif

namespace ql {
namespace ct {

inline uint32_t barrier(uint32_t x) {
#if defined(__GNUC__)
  __asm__("" : "+r"(x));
#endif
  return x;
}
inline uint32_t is_zero(uint32_t x) { return barrier(0u - (((x | (0u - x)) >> 31) ^ 1u)); }
inline uint32_t select(uint32_t mask, uint32_t a, uint32_t b) { return b ^ (mask & (a ^ b)); }

// 1 when the `n` bytes at `a` and `b` are equal, 0 otherwise, in time that depends only on `n`.
inline int bytes_eq(const uint8_t *a, const uint8_t *b, size_t n) {
  uint32_t d = 0;
  for (size_t i = 0; i < n; i++) { d |= static_cast<uint32_t>(a[i] ^ b[i]); }
  return static_cast<int>(is_zero(d) & 1u);
}

}  // namespace ct
}  // namespace ql

#endif  // QL_INTERNAL_CT_H
