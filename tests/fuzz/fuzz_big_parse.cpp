// The integer conversions on arbitrary input: hexadecimal text of any content and length, and
// byte strings. Invariants: the text reader never reads past the NUL or writes past the
// record, and what it accepts is the value of its leading digits; bytes read back as the same
// bytes without their leading zeros.
#include <cstring>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_fuzz.h"

namespace {

int hex_value(char ch) {
  if (ch >= '0' && ch <= '9') { return ch - '0'; }
  if (ch >= 'a' && ch <= 'f') { return ch - 'a' + 10; }
  if (ch >= 'A' && ch <= 'F') { return ch - 'A' + 10; }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Bytes: U8ToBig then BigToU8 gives them back without leading zero bytes.
  Big b{};
  const uint32_t n = static_cast<uint32_t>(size);
  const int32_t st = U8ToBig(&b, data, n);
  QL_FUZZ_CHECK(st == (n == 0 ? -2009 : n > 1028 ? -2010 : 0));
  if (st == 0) {
    std::vector<uint8_t> out(1028);
    const int32_t len = BigToU8(out.data(), &b);
    size_t lead = 0;
    while (lead < size && data[lead] == 0) { lead++; }
    QL_FUZZ_CHECK(static_cast<size_t>(len) == size - lead);
    QL_FUZZ_CHECK(size == lead || std::memcmp(out.data(), data + lead, size - lead) == 0);
  }

  // Text: the value of the leading run of hex digits after an optional '-'.
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  Big h{};
  h.length = 1;
  const int32_t hst = Big_HexU8ToBig(&h, text.data());
  const size_t text_len = std::strlen(text.data());
  const bool negative = text[0] == '-';
  std::vector<uint8_t> digits;
  for (size_t i = negative ? 1 : 0; i < text_len && hex_value(text[i]) >= 0; i++) {
    digits.push_back(static_cast<uint8_t>(hex_value(text[i])));
  }
  // Refused: text longer than two digits a byte allows, or more digits than 257 words hold.
  if (text_len / 2 > 1028 || digits.size() > 2056) {
    QL_FUZZ_CHECK(hst == -2011);
    return 0;
  }
  QL_FUZZ_CHECK(hst == 0);
  // The digits as big-endian bytes, compared with the record's magnitude.
  std::vector<uint8_t> expect((digits.size() + 1) / 2);
  for (size_t i = 0; i < digits.size(); i++) {
    const size_t from_end = digits.size() - 1 - i;
    expect[expect.size() - 1 - from_end / 2] |=
        static_cast<uint8_t>(digits[i] << (from_end % 2 == 0 ? 0 : 4));
  }
  size_t lead = 0;
  while (lead < expect.size() && expect[lead] == 0) { lead++; }
  std::vector<uint8_t> got(1028);
  const int32_t got_len = BigToU8(got.data(), &h);
  QL_FUZZ_CHECK(static_cast<size_t>(got_len) == expect.size() - lead);
  QL_FUZZ_CHECK(expect.size() == lead ||
                std::memcmp(got.data(), expect.data() + lead, expect.size() - lead) == 0);
  QL_FUZZ_CHECK(h.sign == (negative && got_len > 0 ? 1u : 0u));
  return 0;
}
