// DER (X.690) INTEGERs of Big records and the tag-length headers every DER structure of the
// library is read and written with. INTEGER contents are minimal two's complement, big-endian;
// Big words are least significant first. Content bytes steer no branch and no index; only the
// lengths and the leading zero words of a decoded value do.
#include "pk/ql_der.h"

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"

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
  if (w >= static_cast<uint32_t>(n)) {
    return 0;
  }
  return static_cast<uint8_t>(x.words[w] >> (8 * (j % 4)));
}

}  // namespace

Status read_tlv(Tlv &out, const uint8_t *in, uint32_t in_len, uint8_t tag) {
  if (in_len == 0) {
    return kErrDerLength;
  }
  if (in[0] != tag) {
    return kErrDerTag;
  }
  if (in_len < 2) {
    return kErrDerLength;
  }
  uint32_t header_len = 2;
  uint32_t content_len = in[1];
  if (content_len >= 0x80) {
    const uint32_t num_bytes = content_len & 0x7F;
    // 0x80 is BER's indefinite form; more than four bytes cannot give a 32-bit length.
    if (num_bytes == 0 || num_bytes > 4 || num_bytes > in_len - 2) {
      return kErrDerLength;
    }
    content_len = 0;
    for (uint32_t i = 0; i < num_bytes; i++) {
      content_len = (content_len << 8) | in[2 + i];
    }
    header_len = 2 + num_bytes;
  }
  // header_len <= in_len holds here, so the subtraction cannot wrap.
  if (content_len > in_len - header_len) {
    return kErrDerLength;
  }
  out.content = in + header_len;
  out.header_len = header_len;
  out.content_len = content_len;
  out.total_len = header_len + content_len;
  return kOk;
}

uint32_t length_field_len(uint32_t content_len) {
  if (content_len < 0x80) {
    return 1;
  }
  uint32_t n = 1;
  for (uint32_t v = content_len; v != 0; v >>= 8) {
    n++;
  }
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
  if (n == 0) {
    return 1;
  }
  const uint32_t bits = bit_length(x, n);
  if (x.sign != 0) {
    // -2^(8m - 1) is the most negative value of m bytes: a power of two needs no extra bit.
    bool power_of_two = (x.words[n - 1] & (x.words[n - 1] - 1)) == 0;
    for (int i = 0; i < n - 1 && power_of_two; i++) {
      power_of_two = x.words[i] == 0;
    }
    if (power_of_two) {
      return (bits + 7) / 8;
    }
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
    for (uint32_t j = 0; j < len; j++) {
      content[len - 1 - j] = magnitude_byte(x, n, j);
    }
  }
  return header_len + len;
}

Status read_integer(Big &x, uint32_t *consumed, const uint8_t *in, uint32_t in_len) {
  Tlv tlv{};
  QL_TRY(read_tlv(tlv, in, in_len, kTagInteger));
  const uint32_t len = tlv.content_len;
  if (len > QL_BIG_MAX_BYTES) {
    return kErrBigInputTooLong;
  }
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
  while (num_words > 0 && v.words[num_words - 1] == 0) {
    num_words--;
  }
  v.length = num_words;
  v.sign = negative;
  x = v;
  if (consumed != nullptr) {
    *consumed = tlv.total_len;
  }
  return kOk;
}

}  // namespace der
}  // namespace ql

// Exported functions.

uint32_t Big_DerLength(Big *x) {
  if (x == nullptr) {
    return 0;
  }
  const int n = ql::big_used(*x);
  if (n == 0) {
    x->words[0] = 0;
  }
  x->length = n == 0 ? 1 : n;
  return ql::der::integer_content_len(*x);
}

int32_t Big_DerEncode(uint8_t *out, uint32_t *outLen, Big *x) {
  if (outLen == nullptr || x == nullptr) {
    return ql::kErrDerNull;
  }
  const uint32_t len = Big_DerLength(x);
  if (out == nullptr) {
    *outLen = len + ql::der::kMaxHeaderLen;
    return ql::kOk;
  }
  *outLen = ql::der::write_integer(out, *x);
  return ql::kOk;
}

int32_t Big_DerDecode(Big *x, const uint8_t *in, uint32_t inLen) {
  if (x == nullptr || in == nullptr) {
    return ql::kErrDerNull;
  }
  return ql::der::read_integer(*x, nullptr, in, inLen);
}
