// S-boxes through the AES instruction: an S-box of the form Post(SubBytes(Pre(x))) with
// affine Pre and Post runs sixteen bytes at a time as two nibble-table shuffles, one
// AESENCLAST with a zero round key and two more shuffles, without any table indexed by a
// secret in memory. The maps are derived from the S-box tables at compile time, and a
// static_assert proves every one affine.
#ifndef QL_SBOX_X86_H
#define QL_SBOX_X86_H

#include <array>
#include <cstdint>

#include "internal/ql_gf256.h"

namespace ql {
namespace sbox_x86 {

using Table = std::array<uint8_t, 256>;

constexpr unsigned kAesPoly = 0x11B;
constexpr std::array<uint8_t, 8> kAesAffine = {0xF8, 0x7C, 0x3E, 0x1F, 0x8F, 0xC7, 0xE3, 0xF1};
constexpr Table kAesSbox = gf256::power_sbox(kAesAffine, 254, 0x63, kAesPoly);
constexpr Table kAesInvSbox = gf256::inverse(kAesSbox);

constexpr Table identity() {
  Table t{};
  for (unsigned i = 0; i < 256; i++) { t[i] = static_cast<uint8_t>(i); }
  return t;
}

// The isomorphism from GF(2^8) modulo `poly` onto the AES field: the polynomial basis
// x^i goes to beta^i, with beta the first root of `poly` in the AES field.
constexpr Table field_map(unsigned poly) {
  unsigned beta = 0;
  for (unsigned b = 2; b < 256 && beta == 0; b++) {
    uint8_t v = 0;
    for (unsigned i = 0; i <= 8; i++) {
      if ((poly >> i) & 1) { v ^= gf256::pow(static_cast<uint8_t>(b), i, kAesPoly); }
    }
    if (v == 0) { beta = b; }
  }
  Table t{};
  for (unsigned x = 0; x < 256; x++) {
    uint8_t v = 0;
    for (unsigned i = 0; i < 8; i++) {
      if ((x >> i) & 1) { v ^= gf256::pow(static_cast<uint8_t>(beta), i, kAesPoly); }
    }
    t[x] = v;
  }
  return t;
}

// Post = s o pre^-1 o SubBytes^-1: what must follow SubBytes(pre(x)) to give s(x).
constexpr Table post_map(const Table &s, const Table &pre) {
  const Table pre_inv = gf256::inverse(pre);
  Table t{};
  for (unsigned y = 0; y < 256; y++) { t[y] = s[pre_inv[kAesInvSbox[y]]]; }
  return t;
}

constexpr bool is_affine(const Table &m) {
  for (unsigned x = 0; x < 256; x++) {
    uint8_t v = m[0];
    for (unsigned i = 0; i < 8; i++) {
      if ((x >> i) & 1) { v ^= m[1u << i] ^ m[0]; }
    }
    if (v != m[x]) { return false; }
  }
  return true;
}

// An affine map as two 16-entry tables: m(x) = lo[x & 15] ^ hi[x >> 4].
struct Nibbles {
  std::array<uint8_t, 16> lo, hi;
};
constexpr Nibbles nibbles(const Table &m) {
  Nibbles n{};
  for (unsigned i = 0; i < 16; i++) {
    n.lo[i] = m[i];
    n.hi[i] = static_cast<uint8_t>(m[i << 4] ^ m[0]);
  }
  return n;
}

}  // namespace sbox_x86
}  // namespace ql

#endif  // QL_SBOX_X86_H
