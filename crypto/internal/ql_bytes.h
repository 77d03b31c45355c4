// Byte strings to words and back, written byte-wise: correct on either byte order and at any
// address (one target traps on misaligned loads, so a byte pointer is never cast wider).
#ifndef QL_INTERNAL_BYTES_H
#define QL_INTERNAL_BYTES_H

#include <cstdint>

namespace ql {

inline uint32_t load_be32(const uint8_t *p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
inline uint32_t load_le32(const uint8_t *p) {
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | uint32_t{p[0]};
}
inline uint64_t load_be64(const uint8_t *p) {
  return (uint64_t{load_be32(p)} << 32) | load_be32(p + 4);
}
inline void store_be32(uint8_t *p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
inline void store_le32(uint8_t *p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void store_be64(uint8_t *p, uint64_t v) {
  store_be32(p, static_cast<uint32_t>(v >> 32));
  store_be32(p + 4, static_cast<uint32_t>(v));
}

// Rotations; `n` must be in 1..31 (1..63).
constexpr uint32_t rotl32(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }
constexpr uint32_t rotr32(uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }
constexpr uint64_t rotr64(uint64_t x, unsigned n) { return (x >> n) | (x << (64 - n)); }

}  // namespace ql

#endif  // QL_INTERNAL_BYTES_H
