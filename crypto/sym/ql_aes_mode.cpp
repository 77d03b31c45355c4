// The stand-alone AES mode functions: ECB, CBC, CFB and OFB in one call, each expanding the
// caller's key into a schedule on the stack (wiped on return) and refusing bad arguments
// with its own code. CFB and OFB shift their register by the segment on every step.
#include <cstring>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "sym/ql_aes.h"

namespace ql {
namespace {

constexpr uint32_t kBlock = 16;

// The common refusals: null pointers (`iv` only where `needs_iv`), a key length of 0, a
// direction other than 0 and 1, and a length that is not a whole number of `unit` bytes.
bool acceptable(const uint8_t *out, const uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                const uint8_t *key, uint32_t key_len, const uint8_t *iv, bool needs_iv,
                uint32_t unit, int32_t direction) {
  if (out == nullptr || out_len == nullptr || in == nullptr || key == nullptr || key_len == 0) {
    return false;
  }
  if (needs_iv && iv == nullptr) {
    return false;
  }
  if (direction != 0 && direction != 1) {
    return false;
  }
  return unit != 0 && unit <= kBlock && in_len % unit == 0;
}

void xor_into(uint8_t *out, const uint8_t *a, const uint8_t *b, size_t n) {
  for (size_t i = 0; i < n; i++) {
    out[i] = static_cast<uint8_t>(a[i] ^ b[i]);
  }
}

// CFB (`feedback_cipher`) or OFB over whole segments; the register lives in `iv`.
void shift_mode(const QL_AES_KEY &rk, uint8_t *out, const uint8_t *in, uint32_t in_len, uint8_t *iv,
                uint32_t segment, bool feedback_cipher, bool encrypt) {
  Wiped<uint8_t[kBlock]> k;
  Wiped<uint8_t[kBlock]> fb;
  for (uint32_t i = 0; i < in_len; i += segment) {
    QL_AES_Main(k.get(), iv, &rk, 0);
    if (feedback_cipher && !encrypt) {
      std::memcpy(fb.get(), in + i, segment);
    }
    xor_into(out + i, in + i, k.get(), segment);
    if (!feedback_cipher) {
      std::memcpy(fb.get(), k.get(), segment);
    } else if (encrypt) {
      std::memcpy(fb.get(), out + i, segment);
    }
    std::memmove(iv, iv + segment, kBlock - segment);
    std::memcpy(iv + kBlock - segment, fb.get(), segment);
  }
}

}  // namespace
}  // namespace ql

// Exported functions.

int32_t QL_AES_ECB(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                   const uint8_t *key, uint32_t key_len, int32_t direction) {
  if (!ql::acceptable(out, out_len, in, in_len, key, key_len, nullptr, false, ql::kBlock,
                      direction)) {
    return ql::kErrAesEcb;
  }
  ql::Wiped<QL_AES_KEY> rk;
  if (QL_AES_MakeKey(rk.ptr(), key, key_len, direction) != ql::kOk) {
    return ql::kErrAesEcb;
  }
  const ql::modes::Run op =
      direction == 0 ? ql::modes::Run::kEcbEncrypt : ql::modes::Run::kEcbDecrypt;
  uint8_t unused_iv[ql::kBlock] = {0};  // ECB keeps no chaining value
  ql::aes_impl().run(rk.get(), op, unused_iv, out, in, in_len / ql::kBlock);
  ql::burn_stack();  // the loops keep blocks in registers, and spill some
  *out_len = in_len;
  return ql::kOk;
}

int32_t QL_AES_CBC(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                   const uint8_t *key, uint32_t key_len, uint8_t *iv, int32_t direction) {
  if (!ql::acceptable(out, out_len, in, in_len, key, key_len, iv, true, ql::kBlock, direction)) {
    return ql::kErrAesCbc;
  }
  ql::Wiped<QL_AES_KEY> rk;
  if (QL_AES_MakeKey(rk.ptr(), key, key_len, direction) != ql::kOk) {
    return ql::kErrAesCbc;
  }
  const ql::modes::Run op =
      direction == 0 ? ql::modes::Run::kCbcEncrypt : ql::modes::Run::kCbcDecrypt;
  ql::aes_impl().run(rk.get(), op, iv, out, in, in_len / ql::kBlock);
  ql::burn_stack();  // the loops keep blocks in registers, and spill some
  *out_len = in_len;
  return ql::kOk;
}

int32_t QL_AES_CFB(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                   const uint8_t *key, uint32_t key_len, uint8_t *iv, uint32_t segment,
                   int32_t direction) {
  if (!ql::acceptable(out, out_len, in, in_len, key, key_len, iv, true, segment, direction)) {
    return ql::kErrAesCfb;
  }
  ql::Wiped<QL_AES_KEY> rk;
  if (QL_AES_MakeKey(rk.ptr(), key, key_len, 0) != ql::kOk) {
    return ql::kErrAesCfb;
  }
  ql::shift_mode(rk.get(), out, in, in_len, iv, segment, true, direction == 0);
  *out_len = in_len;
  return ql::kOk;
}

int32_t QL_AES_OFB(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                   const uint8_t *key, uint32_t key_len, uint8_t *iv, uint32_t segment,
                   int32_t direction) {
  if (!ql::acceptable(out, out_len, in, in_len, key, key_len, iv, true, segment, direction)) {
    return ql::kErrAesOfb;
  }
  ql::Wiped<QL_AES_KEY> rk;
  if (QL_AES_MakeKey(rk.ptr(), key, key_len, 0) != ql::kOk) {
    return ql::kErrAesOfb;
  }
  ql::shift_mode(rk.get(), out, in, in_len, iv, segment, false, direction == 0);
  *out_len = in_len;
  return ql::kOk;
}
