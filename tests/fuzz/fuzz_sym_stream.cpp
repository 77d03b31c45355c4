// The symmetric dispatcher's streaming engine against its one-shot form: the input picks a
// cipher, mode, padding, segment, key, IV and a split of the message into Update calls.
// Invariants: streaming encryption equals one-shot encryption (same status, same bytes),
// decryption recovers the message, and streaming decryption in the same pieces equals
// one-shot decryption.
#include <cstring>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_fuzz.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Case {
  int32_t id;
  QL_SYM_PARAM param;
  uint8_t key[32];
  uint32_t key_len;
  std::vector<uint32_t> pieces;  // Update lengths; what is left goes in one last Update
};

// Streams `in` in the case's pieces; returns the status and appends the output to `out`.
int32_t stream(const Case &c, bool encrypt, const Bytes &in, Bytes &out, uint32_t *pad_len) {
  QL_SYM_CTX ctx;
  int32_t st = encrypt ? QL_SYM_Encrypt_Init(&ctx, &c.param, c.key, c.key_len, c.id)
                       : QL_SYM_Decrypt_Init(&ctx, &c.param, c.key, c.key_len, c.id);
  if (st != 0) { return st; }
  size_t at = 0;
  Bytes buf(in.size() + 64);
  auto update = [&](size_t len) {
    uint32_t n = 0;
    st = encrypt ? QL_SYM_Encrypt_Update(&ctx, buf.data(), &n, in.data() + at,
                                         static_cast<uint32_t>(len))
                 : QL_SYM_Decrypt_Update(&ctx, buf.data(), &n, in.data() + at,
                                         static_cast<uint32_t>(len));
    at += len;
    out.insert(out.end(), buf.begin(), buf.begin() + (st == 0 ? n : 0));
    return st == 0;
  };
  for (const uint32_t piece : c.pieces) {
    if (!update(piece < in.size() - at ? piece : in.size() - at)) { return st; }
  }
  if (!update(in.size() - at)) { return st; }
  if (encrypt) {
    uint32_t n = 0;
    st = QL_SYM_Encrypt_Final(&ctx, buf.data(), &n);
    out.insert(out.end(), buf.begin(), buf.begin() + (st == 0 ? n : 0));
  } else {
    st = QL_SYM_Decrypt_Final(&ctx, pad_len);
  }
  return st;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  ql_fuzz::Reader r(data, size);
  Case c{};
  c.id = 1 + r.byte() % 4;
  c.param.mode = 1 + r.byte() % 5;
  c.param.padding = 1 + r.byte() % 4;
  c.param.segmentLength = 1 + r.byte() % 16;
  c.param.ivLength = c.param.mode == QL_SYM_MODE_ECB ? 0 : 16;
  r.bytes(c.param.iv, 16);
  const uint8_t key_pick = r.byte();
  if (c.id == QL_SYM_SEED128) {
    c.key_len = 16;
  } else if (c.id == QL_SYM_SEED256) {
    c.key_len = 32;
  } else {
    c.key_len = 16 + key_pick % 17;  // the dispatcher's rule takes any length from 16 to 32
  }
  r.bytes(c.key, sizeof(c.key));
  for (uint32_t pieces = r.byte() % 8; pieces > 0; pieces--) { c.pieces.push_back(r.byte()); }
  const Bytes msg(r.rest(), r.rest() + (r.rest_len() < 4096 ? r.rest_len() : 4096));
  const uint32_t msg_len = static_cast<uint32_t>(msg.size());

  Bytes one(msg.size() + 32);
  uint32_t one_len = 0;
  const int32_t st = QL_SYM_Encrypt(&c.param, one.data(), &one_len, msg.data(), msg_len, c.key,
                                    c.key_len, c.id);
  Bytes streamed;
  const int32_t st2 = stream(c, true, msg, streamed, nullptr);
  QL_FUZZ_CHECK(st == st2);
  if (st != 0) { return 0; }
  one.resize(one_len);
  QL_FUZZ_CHECK(streamed == one);

  Bytes back(one.size() + 32);
  uint32_t back_len = 0;
  const int32_t dst = QL_SYM_Decrypt(&c.param, back.data(), &back_len, one.data(), one_len, c.key,
                                     c.key_len, c.id);
  QL_FUZZ_CHECK(dst == 0);
  QL_FUZZ_CHECK(back_len >= msg_len && back_len <= one_len);
  QL_FUZZ_CHECK(std::memcmp(back.data(), msg.data(), msg.size()) == 0);
  // Zero padding is not removed: what follows the message is zeros.
  for (uint32_t i = msg_len; i < back_len; i++) { QL_FUZZ_CHECK(back[i] == 0); }

  Bytes streamed_back;
  uint32_t pad_len = 0;
  QL_FUZZ_CHECK(stream(c, false, one, streamed_back, &pad_len) == 0);
  QL_FUZZ_CHECK(streamed_back.size() == one_len);
  QL_FUZZ_CHECK(streamed_back.size() - pad_len == back_len);
  QL_FUZZ_CHECK(std::memcmp(streamed_back.data(), back.data(), back_len) == 0);
  return 0;
}
