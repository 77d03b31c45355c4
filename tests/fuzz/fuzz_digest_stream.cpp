// The digest dispatcher and HMAC in pieces against their one-shot forms: the input picks a
// digest, an HMAC key and a split of the message. Invariants: every split gives the one-shot
// digest and MAC, of the digest's length.
#include <cstring>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  ql_fuzz::Reader r(data, size);
  const int32_t id = 1 + r.byte() % 5;
  const uint32_t key_len = r.byte() % 200;
  uint8_t key[200];
  r.bytes(key, key_len);
  std::vector<uint32_t> pieces;
  for (uint32_t n = r.byte() % 8; n > 0; n--) { pieces.push_back(r.u16() % 300); }
  const uint8_t *msg = r.rest();
  const uint32_t msg_len = static_cast<uint32_t>(r.rest_len());

  QL_HASH_INFO info;
  QL_FUZZ_CHECK(QL_Hash_GetInfo(&info, id) == 0);
  uint8_t one[64], part[64];
  uint32_t one_len = 0, part_len = 0;
  QL_FUZZ_CHECK(QL_Hash(one, &one_len, msg, msg_len, id) == 0);
  QL_FUZZ_CHECK(one_len == info.digest_len);
  QL_HASH_CTX h;
  QL_FUZZ_CHECK(QL_Hash_Init(&h, id) == 0);
  uint32_t at = 0;
  for (const uint32_t p : pieces) {
    const uint32_t n = p < msg_len - at ? p : msg_len - at;
    QL_FUZZ_CHECK(QL_Hash_Update(&h, msg + at, n) == 0);
    at += n;
  }
  QL_FUZZ_CHECK(QL_Hash_Update(&h, msg + at, msg_len - at) == 0);
  QL_FUZZ_CHECK(QL_Hash_Final(&h, part, &part_len) == 0);
  QL_FUZZ_CHECK(part_len == one_len && std::memcmp(one, part, one_len) == 0);

  // HMAC takes keys of at least half the digest length.
  const int32_t mac_id = 0x100 + id;
  const int32_t st = QL_HMAC(one, &one_len, msg, msg_len, key, key_len, mac_id);
  QL_HMAC_CTX m;
  const int32_t st2 = QL_HMAC_Init(&m, key, key_len, mac_id);
  QL_FUZZ_CHECK(st == st2);
  if (st != 0) { return 0; }
  at = 0;
  for (const uint32_t p : pieces) {
    const uint32_t n = p < msg_len - at ? p : msg_len - at;
    QL_FUZZ_CHECK(QL_HMAC_Update(&m, msg + at, n) == 0);
    at += n;
  }
  QL_FUZZ_CHECK(QL_HMAC_Update(&m, msg + at, msg_len - at) == 0);
  QL_FUZZ_CHECK(QL_HMAC_Final(&m, part, &part_len) == 0);
  QL_FUZZ_CHECK(part_len == one_len && std::memcmp(one, part, one_len) == 0);
  return 0;
}
