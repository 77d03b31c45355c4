// The Big record: lifetime, normal form, conversions to and from big-endian byte strings and
// hexadecimal text, bit length and comparisons. Words are least significant first whatever
// the platform's byte order; bytes become words only through ql_bytes.h. Conversions and
// comparisons run in time that depends on the lengths of their operands.
#include <array>
#include <cstring>
#include <type_traits>

#include "QuillonCrypto.h"
#include "internal/ql_bytes.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "bigint/ql_big.h"

static_assert(std::is_trivially_copyable<Big>::value, "Big is a plain record");
static_assert(sizeof(Big) == 4 + 4 * QL_BIG_WORDS + 4, "Big layout: sign, words, length");
static_assert(std::is_trivially_copyable<QL_MONT_CTX>::value, "plain record");

namespace ql {

namespace {

// bits[i] = bit length of i.
constexpr std::array<uint8_t, 256> make_bits() {
  std::array<uint8_t, 256> t{};
  for (int i = 1; i < 256; i++) {
    uint8_t n = 0;
    for (int v = i; v != 0; v >>= 1) { n++; }
    t[static_cast<size_t>(i)] = n;
  }
  return t;
}
constexpr std::array<uint8_t, 256> bits = make_bits();
static_assert(bits[0] == 0 && bits[1] == 1 && bits[3] == 2 && bits[127] == 7 && bits[128] == 8 &&
                  bits[255] == 8,
              "bit length table");

int word_bit_length(uint32_t w) {
  if (w >= 0x10000u) {
    return w >= 0x1000000u ? 24 + bits[w >> 24] : 16 + bits[(w >> 16) & 0xFF];
  }
  return w >= 0x100u ? 8 + bits[(w >> 8) & 0xFF] : bits[w & 0xFF];
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') { return c - '0'; }
  if (c >= 'a' && c <= 'f') { return c - 'a' + 10; }
  if (c >= 'A' && c <= 'F') { return c - 'A' + 10; }
  return -1;
}

// Reads n big-endian bytes into r.words[0..ceil(n/4)) and sets the length, stripped down to 0.
void load_bytes(Big &r, const uint8_t *bytes, uint32_t n) {
  const int num_words = static_cast<int>((n + 3) / 4);
  const uint32_t head = n % 4 == 0 ? 4 : n % 4;
  uint32_t top = 0;
  for (uint32_t i = 0; i < head; i++) { top = (top << 8) | bytes[i]; }
  r.words[num_words - 1] = top;
  for (int w = num_words - 2; w >= 0; w--) {
    r.words[w] = load_be32(bytes + head + 4 * static_cast<uint32_t>(num_words - 2 - w));
  }
  int len = num_words;
  while (len > 0 && r.words[len - 1] == 0) { len--; }
  r.length = len;
  r.sign = 0;
}

// Byte count of the magnitude of `a`.
uint32_t magnitude_bytes(const Big &a) {
  const int n = big_used(a);
  if (n == 0) { return 0; }
  return static_cast<uint32_t>(4 * (n - 1) + (word_bit_length(a.words[n - 1]) + 7) / 8);
}

// Writes the magnitude of `a` as exactly `n` big-endian bytes; `n` >= magnitude_bytes(a).
void store_bytes(uint8_t *out, const Big &a, uint32_t n) {
  const int used = big_used(a);
  for (uint32_t i = 0; i < n; i++) {
    const uint32_t k = n - 1 - i;  // byte index from the least significant end
    const uint32_t w = k / 4;
    out[i] = static_cast<int>(w) < used ? static_cast<uint8_t>(a.words[w] >> (8 * (k % 4))) : 0;
  }
}

}  // namespace

void big_set_words(Big &r, const uint32_t *words, int n, uint32_t sign) {
  while (n > 0 && words[n - 1] == 0) { n--; }
  if (words != r.words) { std::memmove(r.words, words, sizeof(uint32_t) * static_cast<size_t>(n)); }
  std::memset(r.words + n, 0, sizeof(uint32_t) * static_cast<size_t>(kBigWords - n));
  r.length = n == 0 ? 1 : n;
  r.sign = n == 0 ? 0 : sign;
}

void big_clear(Big &r) {
  for (uint32_t &w : r.words) { w = 0; }
  r.length = 1;
  r.sign = 0;
}

void big_normalize(Big &r) {
  int n = r.length;
  if (n > kBigWords) { n = kBigWords; }
  if (n < 0) { n = 0; }
  while (n > 0 && r.words[n - 1] == 0) { n--; }
  r.length = n == 0 ? 1 : n;
  if (n == 0) { r.sign = 0; }
}

int big_ucomp(const Big &a, const Big &b) {
  const int na = big_used(a);
  const int nb = big_used(b);
  if (na != nb) { return na > nb ? 1 : -1; }
  return cmp_limbs(a.words, b.words, static_cast<size_t>(na));
}

int big_comp(const Big &a, const Big &b) {
  const bool a_neg = a.sign != 0 && big_used(a) != 0;
  const bool b_neg = b.sign != 0 && big_used(b) != 0;
  if (a_neg != b_neg) { return a_neg ? -1 : 1; }
  const int c = big_ucomp(a, b);
  return a_neg ? -c : c;
}

}  // namespace ql

// Exported functions.

Big *QL_Big_New(void) {
  void *p = ql::alloc(sizeof(Big));
  if (p == nullptr) { return nullptr; }
  std::memset(p, 0, sizeof(Big));
  return static_cast<Big *>(p);
}

void QL_Big_Delete(Big *a) { ql::free_wiped(a, sizeof(Big)); }

void Big_Dump(Big *dst, const Big *src) {
  if (dst != src) { std::memcpy(dst, src, sizeof(Big)); }
}

int32_t U8ToBig(Big *r, const uint8_t *bytes, uint32_t n) {
  if (r == nullptr || bytes == nullptr || n == 0) { return ql::kErrBigNullInput; }
  if (n > QL_BIG_MAX_BYTES) { return ql::kErrBigInputTooLong; }
  ql::big_clear(*r);
  ql::load_bytes(*r, bytes, n);
  return ql::kOk;
}

int32_t U8ToBig_2(Big *r, const uint8_t *bytes, uint32_t n) {
  if (r == nullptr || bytes == nullptr || n == 0) { return ql::kErrBigNullInput; }
  if (n > QL_BIG_MAX_BYTES) { return ql::kErrBigInputTooLong; }
  ql::load_bytes(*r, bytes, n);
  return ql::kOk;
}

int32_t Big_HexU8ToBig(Big *r, const char *text) {
  if (r == nullptr || text == nullptr) { return ql::kErrBigNullInput; }
  const size_t text_len = std::strlen(text);
  if (text_len / 2 > QL_BIG_MAX_BYTES) { return ql::kErrBigHexTooLong; }
  const char *p = text;
  if (*p == '-') {
    r->sign = 1;
    p++;
  }
  size_t digits = 0;
  while (ql::hex_value(p[digits]) >= 0) { digits++; }
  // The length check alone lets 2057 digits through; they would need a 258th word.
  if (digits > 2 * static_cast<size_t>(QL_BIG_MAX_BYTES)) { return ql::kErrBigHexTooLong; }
  const int num_words = static_cast<int>((digits + 7) / 8);
  for (int w = 0; w < num_words; w++) {
    // Word w holds the digits [digits - 8(w+1), digits - 8w), the top word possibly fewer.
    const size_t end = digits - 8 * static_cast<size_t>(w);
    const size_t begin = end >= 8 ? end - 8 : 0;
    uint32_t v = 0;
    for (size_t i = begin; i < end; i++) {
      v = (v << 4) | static_cast<uint32_t>(ql::hex_value(p[i]));
    }
    r->words[w] = v;
  }
  for (int w = num_words; w < ql::kBigWords; w++) { r->words[w] = 0; }
  int len = num_words;
  while (len > 1 && r->words[len - 1] == 0) { len--; }
  r->length = len;
  if (len == 0 || (len == 1 && r->words[0] == 0)) { r->sign = 0; }
  return ql::kOk;
}

int32_t BigToU8(uint8_t *out, const Big *a) {
  if (out == nullptr || a == nullptr) { return 0; }
  const uint32_t n = ql::magnitude_bytes(*a);
  ql::store_bytes(out, *a, n);
  return static_cast<int32_t>(n);
}

int32_t BigToU82(uint8_t *out, const Big *a, uint32_t n) {
  if (out == nullptr || a == nullptr) { return ql::kErrBigNullInput; }
  if (ql::magnitude_bytes(*a) > n) { return ql::kErrBigTooLong; }
  ql::store_bytes(out, *a, n);
  return ql::kOk;
}

int32_t Big_GetFilledBitNum(const Big *a) {
  const int n = ql::big_used(*a);
  if (n == 0) { return 0; }
  return 32 * (n - 1) + ql::word_bit_length(a->words[n - 1]);
}

int32_t Big_UComp(const Big *a, const Big *b) { return ql::big_ucomp(*a, *b); }

int32_t Big_Comp(const Big *a, const Big *b) { return ql::big_comp(*a, *b); }

int32_t Big_IsEqual(const Big *a, const Big *b) {
  // Compared as values: a zero with a stray sign or length 0 equals the cleared record.
  return ql::big_comp(*a, *b) == 0 ? ql::kOk : ql::kErrBigNotEqual;
}

int32_t Big_GE(const Big *a, const Big *b) { return ql::big_ucomp(*a, *b) >= 0 ? 1 : 0; }

int32_t Big_GT(const Big *a, const Big *b) { return ql::big_ucomp(*a, *b) > 0 ? 1 : 0; }
