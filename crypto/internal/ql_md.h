// Block buffering shared by the SHA cores: top up the pending block, compress every further
// whole block where it lies in the caller's memory, keep the tail for the next call.
#ifndef QL_INTERNAL_MD_H
#define QL_INTERNAL_MD_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ql {

// `pending` bytes (less than kBlockLen) already sit in `buffer`; `compress(block)` absorbs one
// whole block. The counters are the caller's business and are updated before this runs.
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
    compress(buffer);
    data += room;
    len -= room;
  }
  for (; len >= kBlockLen; data += kBlockLen, len -= kBlockLen) { compress(data); }
  if (len != 0) { std::memcpy(buffer, data, len); }
}

}  // namespace ql

#endif  // QL_INTERNAL_MD_H
