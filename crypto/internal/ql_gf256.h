// Arithmetic in GF(2^8) for generating S-boxes at compile time: multiplication modulo a given
// polynomial, powers, and the affine maps of the standards given as bit-matrix rows.
#ifndef QL_INTERNAL_GF256_H
#define QL_INTERNAL_GF256_H

#include <array>
#include <cstdint>

namespace ql {
namespace gf256 {

// a * b modulo the polynomial `poly` (degree 8, e.g. 0x11B).
constexpr uint8_t mul(uint8_t a, uint8_t b, unsigned poly) {
  unsigned r = 0;
  unsigned x = a;
  while (b != 0) {
    if ((b & 1) != 0) { r ^= x; }
    x <<= 1;
    if ((x & 0x100) != 0) { x ^= poly; }
    b = static_cast<uint8_t>(b >> 1);
  }
  return static_cast<uint8_t>(r);
}

// a^e modulo `poly`; 0^e is 0 for every e > 0.
constexpr uint8_t pow(uint8_t a, unsigned e, unsigned poly) {
  uint8_t r = 1;
  uint8_t base = a;
  for (; e != 0; e >>= 1) {
    if ((e & 1) != 0) { r = mul(r, base, poly); }
    base = mul(base, base, poly);
  }
  return r;
}

// The bit-matrix product M * x: `rows[0]` gives output bit 7 (the most significant) as the
// parity of rows[0] AND x, down to rows[7] for bit 0.
constexpr uint8_t affine(const std::array<uint8_t, 8> &rows, uint8_t x) {
  unsigned out = 0;
  for (unsigned r = 0; r < 8; r++) {
    unsigned v = rows[r] & x;
    v ^= v >> 4;
    v ^= v >> 2;
    v ^= v >> 1;
    out |= (v & 1) << (7 - r);
  }
  return static_cast<uint8_t>(out);
}

// The table S(x) = rows * x^e XOR c, with the power taken modulo `poly`.
constexpr std::array<uint8_t, 256> power_sbox(const std::array<uint8_t, 8> &rows, unsigned e,
                                              uint8_t c, unsigned poly) {
  std::array<uint8_t, 256> s{};
  for (unsigned i = 0; i < 256; i++) {
    s[i] = static_cast<uint8_t>(affine(rows, pow(static_cast<uint8_t>(i), e, poly)) ^ c);
  }
  return s;
}

constexpr std::array<uint8_t, 256> inverse(const std::array<uint8_t, 256> &s) {
  std::array<uint8_t, 256> t{};
  for (unsigned i = 0; i < 256; i++) { t[s[i]] = static_cast<uint8_t>(i); }
  return t;
}

}  // namespace gf256
}  // namespace ql

#endif  // QL_INTERNAL_GF256_H
