// Block buffering shared by the SHA cores: top up the pending block, compress every further
// whole block where it lies in the caller's memory, keep the tail for the next call.
#ifndef QL_INTERNAL_MD_H
#define QL_INTERNAL_MD_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// Compiles the unrolled rounds of a digest core with register renaming after allocation, so
// that the final scheduling pass can interleave neighbouring rounds, which it otherwise cannot
// for the few registers they share (measured: a few percent on x86-64). GCC only.
#if defined(__GNUC__) && !defined(__clang__)
#define QL_MD_ROUNDS_FN __attribute__((optimize("rename-registers")))
#else
#define QL_MD_ROUNDS_FN
#endif

namespace ql {

// `pending` bytes (less than kBlockLen) already sit in `buffer`; `compress(blocks, num_blocks)`
// absorbs whole blocks. The counters are the caller's business and are updated before this.
template <size_t kBlockLen, typename Compress>
inline void md_absorb(uint8_t *buffer, size_t pending, const uint8_t *data, size_t len,
                      Compress compress) {
  if (pending != 0) {
    const size_t room = kBlockLen - pending;
    if (len < room) {
      std::memcpy(buffer + pending, data, len);
      return;
    }
    std::memcpy(buffer + pending, data, room);
    compress(buffer, 1);
    data += room;
    len -= room;
  }
  const size_t num_blocks = len / kBlockLen;
  if (num_blocks != 0) {
    compress(data, num_blocks);
    data += num_blocks * kBlockLen;
    len -= num_blocks * kBlockLen;
  }
  if (len != 0) { std::memcpy(buffer, data, len); }
}

}  // namespace ql

#endif  // QL_INTERNAL_MD_H
