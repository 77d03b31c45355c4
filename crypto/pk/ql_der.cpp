// DER (X.690) INTEGERs of Big records, OCTET STRINGs of curve points, the two named-curve
// identifiers, and the tag-length headers every DER structure of the library is read and
// written with. INTEGER contents are minimal two's complement, big-endian;
// Big words are least significant first. Content bytes steer no branch and no index; only the
// lengths and the leading zero words of a decoded value do.
#include "pk/ql_der.h"

#include <cstring>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "pk/ql_ecc.h"

namespace ql {
namespace der {

namespace {

// Bit length of the magnitude held in words[0..n), n >= 1 with a non-zero top word.
uint32_t bit_length(const Big &x, int n) {
  return 32u * static_cast<uint32_t>(n - 1) + 32u - static_cast<uint32_t>(clz32(x.words[n - 1]));
}

// Byte j (0 = least significant) of the magnitude of x, zero above its n words.
uint8_t magnitude_byte(const Big &x, int n, uint32_t j) {
  const uint32_t w = j / 4;
  if (w >= static_cast<uint32_t>(n)) { return 0; }
  return static_cast<uint8_t>(x.words[w] >> (8 * (j % 4)));
}

}  // namespace

Status read_tlv(Tlv &out, const uint8_t *in, uint32_t in_len, uint8_t tag) {
  if (in_len == 0) { return kErrDerLength; }
  if (in[0] != tag) { return kErrDerTag; }
  if (in_len < 2) { return kErrDerLength; }
  uint32_t header_len = 2;
  uint32_t content_len = in[1];
  if (content_len >= 0x80) {
    const uint32_t num_bytes = content_len & 0x7F;
    // 0x80 is BER's indefinite form; more than four bytes cannot give a 32-bit length.
    if (num_bytes == 0 || num_bytes > 4 || num_bytes > in_len - 2) { return kErrDerLength; }
    content_len = 0;
    for (uint32_t i = 0; i < num_bytes; i++) { content_len = (content_len << 8) | in[2 + i]; }
    header_len = 2 + num_bytes;
  }
  // header_len <= in_len holds here, so the subtraction cannot wrap.
  if (content_len > in_len - header_len) { return kErrDerLength; }
  out.content = in + header_len;
  out.header_len = header_len;
  out.content_len = content_len;
  out.total_len = header_len + content_len;
  return kOk;
}

uint32_t length_field_len(uint32_t content_len) {
  if (content_len < 0x80) { return 1; }
  uint32_t n = 1;
  for (uint32_t v = content_len; v != 0; v >>= 8) { n++; }
  return n;
}

uint32_t write_header(uint8_t *out, uint8_t tag, uint32_t content_len) {
  out[0] = tag;
  const uint32_t field = length_field_len(content_len);
  if (field == 1) {
    out[1] = static_cast<uint8_t>(content_len);
    return 2;
  }
  const uint32_t num_bytes = field - 1;
  out[1] = static_cast<uint8_t>(0x80 | num_bytes);
  for (uint32_t i = 0; i < num_bytes; i++) {
    out[2 + i] = static_cast<uint8_t>(content_len >> (8 * (num_bytes - 1 - i)));
  }
  return 1 + field;
}

uint32_t integer_content_len(const Big &x) {
  const int n = big_used(x);
  if (n == 0) { return 1; }
  const uint32_t bits = bit_length(x, n);
  if (x.sign != 0) {
    // -2^(8m - 1) is the most negative value of m bytes: a power of two needs no extra bit.
    bool power_of_two = (x.words[n - 1] & (x.words[n - 1] - 1)) == 0;
    for (int i = 0; i < n - 1 && power_of_two; i++) { power_of_two = x.words[i] == 0; }
    if (power_of_two) { return (bits + 7) / 8; }
  }
  // A non-negative value needs a zero sign bit above its magnitude: bits / 8 + 1 bytes.
  return bits / 8 + 1;
}

uint32_t write_integer(uint8_t *out, const Big &x) {
  const int n = big_used(x);
  const uint32_t len = integer_content_len(x);
  const uint32_t header_len = write_header(out, kTagInteger, len);
  uint8_t *content = out + header_len;
  if (n != 0 && x.sign != 0) {
    // 2^(8 len) - |x|: the complement of the magnitude plus one, carried through every byte.
    uint32_t carry = 1;
    for (uint32_t j = 0; j < len; j++) {
      const uint32_t b = (~static_cast<uint32_t>(magnitude_byte(x, n, j)) & 0xFFu) + carry;
      content[len - 1 - j] = static_cast<uint8_t>(b);
      carry = b >> 8;
    }
  } else {
    for (uint32_t j = 0; j < len; j++) { content[len - 1 - j] = magnitude_byte(x, n, j); }
  }
  return header_len + len;
}

Status read_integer(Big &x, uint32_t *consumed, const uint8_t *in, uint32_t in_len) {
  Tlv tlv{};
  QL_TRY(read_tlv(tlv, in, in_len, kTagInteger));
  const uint32_t len = tlv.content_len;
  if (len > QL_BIG_MAX_BYTES) { return kErrBigInputTooLong; }
  // Key integers pass through here, so the scratch record is wiped.
  Wiped<Big> value;
  Big &v = value.get();
  const uint32_t negative = len != 0 ? static_cast<uint32_t>(tlv.content[0] >> 7) : 0u;
  const uint32_t flip = 0u - negative;  // all ones for a negative content
  uint32_t carry = negative;
  for (uint32_t j = 0; j < len; j++) {
    // A negative content's magnitude is 2^(8 len) minus the content: complement plus one.
    const uint32_t b = ((tlv.content[len - 1 - j] ^ flip) & 0xFFu) + carry;
    carry = b >> 8;
    v.words[j / 4] |= (b & 0xFFu) << (8 * (j % 4));
  }
  int num_words = static_cast<int>((len + 3) / 4);
  while (num_words > 0 && v.words[num_words - 1] == 0) { num_words--; }
  v.length = num_words;
  v.sign = negative;
  x = v;
  if (consumed != nullptr) { *consumed = tlv.total_len; }
  return kOk;
}

namespace {

// Content bytes of the named-curve identifiers 1.3.132.0.33 and 1.2.840.10045.3.1.7.
constexpr uint8_t secp224r1oid[] = {0x2B, 0x81, 0x04, 0x00, 0x21};
constexpr uint8_t secp256r1oid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

// True when the element's content is exactly the identifier `oid`.
bool content_is(const Tlv &tlv, const uint8_t *oid, uint32_t oid_len) {
  if (tlv.content_len != oid_len) {
    return false;
  }
  for (uint32_t i = 0; i < oid_len; i++) {
    if (tlv.content[i] != oid[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace der
}  // namespace ql

// Exported functions.

uint32_t Big_DerLength(Big *x) {
  if (x == nullptr) { return 0; }
  const int n = ql::big_used(*x);
  if (n == 0) { x->words[0] = 0; }
  x->length = n == 0 ? 1 : n;
  return ql::der::integer_content_len(*x);
}

int32_t Big_DerEncode(uint8_t *out, uint32_t *outLen, Big *x) {
  if (outLen == nullptr || x == nullptr) { return ql::kErrDerNull; }
  const uint32_t len = Big_DerLength(x);
  if (out == nullptr) {
    *outLen = len + ql::der::kMaxHeaderLen;
    return ql::kOk;
  }
  *outLen = ql::der::write_integer(out, *x);
  return ql::kOk;
}

int32_t Big_DerDecode(Big *x, const uint8_t *in, uint32_t inLen) {
  if (x == nullptr || in == nullptr) { return ql::kErrDerNull; }
  return ql::der::read_integer(*x, nullptr, in, inLen);
}

int32_t BigPoint_DerEncode(uint8_t *out, uint32_t *out_len, uint32_t capacity, const BigPoint *P,
                           const QL_ECDSA_PARAMETERS *curve) {
  // The point at infinity has no public-key encoding: its octet string would be the single
  // byte 00 inside a header sized for a full point.
  if (out_len == nullptr || P == nullptr || curve == nullptr ||
      (P->flags & QL_BIGPOINT_INFINITY) != 0 || !ql::ecc_curve_complete(curve)) {
    return ql::kErrPoint2OctArg;
  }
  const uint32_t coord_len = (static_cast<uint32_t>(Big_GetFilledBitNum(&curve->p)) + 7) / 8;
  const uint32_t content_len = 2 * coord_len + 1;
  const uint32_t header_len = 1 + ql::der::length_field_len(content_len);
  const uint32_t total = header_len + content_len;
  *out_len = total;
  if (out == nullptr) {
    return ql::kOk;
  }
  if (total > capacity) {
    return ql::kErrPointDerCapacity;
  }
  ql::Buffer scratch(2 * coord_len + 7);
  if (!scratch) {
    return ql::critical(ql::kErrPointDerAlloc);
  }
  ql::der::write_header(scratch.data(), ql::der::kTagOctetString, content_len);
  uint32_t written = 0;
  QL_TRY(Big_Point2Oct(curve, scratch.data() + header_len, &written,
                       static_cast<int32_t>(scratch.size() - header_len), P,
                       QL_POINT_UNCOMPRESSED));
  std::memcpy(out, scratch.data(), total);
  return ql::kOk;
}

int32_t BigPoint_DerDecode(const QL_ECDSA_PARAMETERS *curve, BigPoint *P, const uint8_t *in,
                           uint32_t in_len) {
  if (in == nullptr) {
    return ql::kErrDerNull;
  }
  ql::der::Tlv tlv{};
  QL_TRY(ql::der::read_tlv(tlv, in, in_len, ql::der::kTagOctetString));
  return Big_Oct2Point(curve, P, tlv.content, tlv.content_len);
}

int32_t Big_Param_DerEncode(uint8_t *out, uint32_t *out_len, const QL_ECDSA_PARAMETERS *curve) {
  if (out_len == nullptr || curve == nullptr) {
    return ql::kErrParamDerSize;
  }
  const uint8_t *oid = nullptr;
  uint32_t oid_len = 0;
  if (curve->bits == 224) {
    oid = ql::der::secp224r1oid;
    oid_len = sizeof(ql::der::secp224r1oid);
  } else if (curve->bits == 256) {
    oid = ql::der::secp256r1oid;
    oid_len = sizeof(ql::der::secp256r1oid);
  } else {
    return ql::kErrParamDerSize;
  }
  if (out == nullptr) {
    *out_len = oid_len + 12;
    return ql::kOk;
  }
  const uint32_t header_len = ql::der::write_header(out, ql::der::kTagOid, oid_len);
  std::memcpy(out + header_len, oid, oid_len);
  *out_len = header_len + oid_len;
  return ql::kOk;
}

int32_t Big_Param_DerDecode(QL_ECDSA_PARAMETERS *curve, const uint8_t *in, uint32_t in_len) {
  if (curve == nullptr || in == nullptr) {
    return ql::kErrDerNull;
  }
  ql::der::Tlv tlv{};
  QL_TRY(ql::der::read_tlv(tlv, in, in_len, ql::der::kTagOid));
  // Only an exact identifier names a curve: a prefix match would read past a shorter content.
  if (ql::der::content_is(tlv, ql::der::secp224r1oid, sizeof(ql::der::secp224r1oid))) {
    return Big_Init_P224(curve);
  }
  if (ql::der::content_is(tlv, ql::der::secp256r1oid, sizeof(ql::der::secp256r1oid))) {
    return Big_Init_P256(curve);
  }
  return ql::kErrParamDerUnknown;
}
