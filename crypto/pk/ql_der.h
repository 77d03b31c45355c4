// Internal DER helpers shared by the key, parameter and signature encodings: reading a
// tag-length header inside a bounded input, writing a minimal length, and the INTEGER content
// of a Big. Every reader stays inside [in, in + in_len) and compares lengths without overflow.
#ifndef QL_DER_H
#define QL_DER_H

#include <cstdint>

#include "QuillonCrypto.h"
#include "internal/ql_status.h"

namespace ql {
namespace der {

constexpr uint8_t kTagInteger = 0x02;
constexpr uint8_t kTagBitString = 0x03;
constexpr uint8_t kTagOctetString = 0x04;
constexpr uint8_t kTagNull = 0x05;
constexpr uint8_t kTagOid = 0x06;
constexpr uint8_t kTagSequence = 0x30;

// Longest header the encoders write: tag, 0x84 and four length bytes.
constexpr uint32_t kMaxHeaderLen = 6;

// One element found at the front of an input.
struct Tlv {
  const uint8_t *content;  // first content byte (inside the input)
  uint32_t header_len;     // tag and length bytes
  uint32_t content_len;
  uint32_t total_len;  // header_len + content_len, at most the input length
};

// Reads the element at in[0..in_len) whose tag must be `tag`. The length is the short form
// (below 0x80) or 0x80 | m with 1 <= m <= 4 big-endian length bytes (non-minimal forms are
// accepted). Returns kOk; kErrDerTag for another tag; kErrDerLength for an empty input, the
// indefinite form 0x80, more than four length bytes, length bytes beyond in_len, or a content
// that runs past in_len. `out` is written only on success.
Status read_tlv(Tlv &out, const uint8_t *in, uint32_t in_len, uint8_t tag);

// Number of bytes of the minimal length field for `content_len`: 1 below 128, else 2 to 5.
uint32_t length_field_len(uint32_t content_len);

// Writes `tag` and the minimal length field of `content_len` to `out` (room for
// kMaxHeaderLen bytes) and returns the number of bytes written.
uint32_t write_header(uint8_t *out, uint8_t tag, uint32_t content_len);

// INTEGER content length of x: minimal two's complement (1 for zero). x is not modified.
uint32_t integer_content_len(const Big &x);

// Writes the whole INTEGER element of x to `out` (room for integer_content_len(x) +
// kMaxHeaderLen bytes) and returns its length.
uint32_t write_integer(uint8_t *out, const Big &x);

// Reads one INTEGER element at in[0..in_len) into x and its total length into *consumed (may
// be null). Codes as Big_DerDecode (kErrDerTag, kErrDerLength, kErrBigInputTooLong for a
// content above 1028 bytes); x and *consumed are written only on success.
Status read_integer(Big &x, uint32_t *consumed, const uint8_t *in, uint32_t in_len);

}  // namespace der
}  // namespace ql

#endif  // QL_DER_H
