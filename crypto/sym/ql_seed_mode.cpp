// The stand-alone SEED-128 mode functions. They take round keys prepared by the caller and
// read every block, register and counter as four little-endian words, so their output is
// their own (it differs from the dispatcher's SEED-128). They check no lengths and report
// nothing; null pointers make them return with nothing written.
#include <cstring>

#include "QuillonCrypto.h"
#include "internal/ql_bytes.h"
#include "internal/ql_mem.h"

namespace ql {
namespace {

constexpr uint32_t kBlock = 16;

// E or D of one 16-byte block in the family's word order; `out` may be `in`.
void seed_block(const uint32_t *rk, uint8_t *out, const uint8_t *in, bool encrypt) {
  uint32_t w[4];
  for (int i = 0; i < 4; i++) { w[i] = load_le32(in + 4 * i); }
  if (encrypt) {
    Seed128_Encrypt(rk, w);
  } else {
    Seed128_Decrypt(rk, w);
  }
  for (int i = 0; i < 4; i++) { store_le32(out + 4 * i, w[i]); }
  wipe(w, sizeof(w));
}

void xor_into(uint8_t *out, const uint8_t *a, const uint8_t *b, size_t n) {
  for (size_t i = 0; i < n; i++) { out[i] = static_cast<uint8_t>(a[i] ^ b[i]); }
}

// The counter plus one, as a 128-bit big-endian integer; the carry out of byte 0 is dropped.
void increment(uint8_t *t) {
  for (int i = 15; i >= 0; i--) {
    if (++t[i] != 0) { return; }
  }
}

// Starts a call: clears `*out_len` and tells whether the pointers allow any work.
bool begin(uint32_t *out_len, const void *rk, const void *out, const void *in, const void *iv) {
  if (out_len == nullptr) { return false; }
  *out_len = 0;
  return rk != nullptr && out != nullptr && in != nullptr && iv != nullptr;
}

void ecb(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
         uint32_t in_len, bool encrypt) {
  if (!begin(out_len, rk, out, in, rk)) { return; }
  const uint32_t whole = in_len - in_len % kBlock;
  for (uint32_t i = 0; i < whole; i += kBlock) { seed_block(rk, out + i, in + i, encrypt); }
  uint32_t written = whole;
  // Encryption zero-fills a trailing partial block; decryption needs whole blocks.
  if (encrypt && whole < in_len && whole <= UINT32_MAX - kBlock) {
    Wiped<uint8_t[kBlock]> last;
    std::memcpy(last.get(), in + whole, in_len - whole);
    seed_block(rk, out + whole, last.get(), true);
    written += kBlock;
  }
  *out_len = written;
}

void SEED_OFB_EncOrDec(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                       uint32_t in_len, uint8_t *iv, uint32_t segment) {
  if (!begin(out_len, rk, out, in, iv) || segment == 0 || segment > kBlock) { return; }
  Wiped<uint8_t[kBlock]> k;
  const uint32_t whole = in_len - in_len % segment;
  for (uint32_t i = 0; i < whole; i += segment) {
    seed_block(rk, k.get(), iv, true);
    xor_into(out + i, in + i, k.get(), segment);
    // The register drops its first `segment` bytes and takes as many of the cipher output.
    std::memmove(iv, iv + segment, kBlock - segment);
    std::memcpy(iv + kBlock - segment, k.get(), segment);
  }
  *out_len = whole;
}

void SEED128_CTR_EncOrDec(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                          const uint8_t *in, uint32_t in_len, uint8_t *counter) {
  if (!begin(out_len, rk, out, in, counter)) { return; }
  Wiped<uint8_t[kBlock]> k;
  const uint32_t whole = in_len - in_len % kBlock;
  for (uint32_t i = 0; i < whole; i += kBlock) {
    seed_block(rk, k.get(), counter, true);
    xor_into(out + i, in + i, k.get(), kBlock);
    increment(counter);
  }
  // A trailing partial block uses the current counter, which is left where it is.
  if (whole < in_len) {
    seed_block(rk, k.get(), counter, true);
    xor_into(out + whole, in + whole, k.get(), in_len - whole);
  }
  *out_len = in_len;
}

void cfb(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
         uint32_t in_len, uint8_t *iv, uint32_t segment, bool encrypt) {
  if (!begin(out_len, rk, out, in, iv) || segment == 0 || segment > kBlock) { return; }
  Wiped<uint8_t[kBlock]> k;
  Wiped<uint8_t[kBlock]> fb;
  const uint32_t whole = in_len - in_len % segment;
  for (uint32_t i = 0; i < whole; i += segment) {
    seed_block(rk, k.get(), iv, true);
    if (!encrypt) { std::memcpy(fb.get(), in + i, segment); }  // before `out` may overwrite it
    xor_into(out + i, in + i, k.get(), segment);
    if (encrypt) { std::memcpy(fb.get(), out + i, segment); }
    std::memmove(iv, iv + segment, kBlock - segment);
    std::memcpy(iv + kBlock - segment, fb.get(), segment);
  }
  *out_len = whole;
}

void cbc(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
         uint32_t in_len, const uint8_t *iv, bool encrypt) {
  if (!begin(out_len, rk, out, in, iv)) { return; }
  Wiped<uint8_t[kBlock]> c;
  Wiped<uint8_t[kBlock]> x;
  std::memcpy(c.get(), iv, kBlock);
  const uint32_t whole = in_len - in_len % kBlock;
  uint32_t written = whole;
  for (uint32_t i = 0; i < whole; i += kBlock) {
    if (encrypt) {
      xor_into(c.get(), c.get(), in + i, kBlock);
      seed_block(rk, c.get(), c.get(), true);
      std::memcpy(out + i, c.get(), kBlock);
    } else {
      std::memcpy(x.get(), in + i, kBlock);
      seed_block(rk, out + i, x.get(), false);
      xor_into(out + i, out + i, c.get(), kBlock);
      std::memcpy(c.get(), x.get(), kBlock);
    }
  }
  // Encryption zero-fills and chains a trailing partial block.
  if (encrypt && whole < in_len && whole <= UINT32_MAX - kBlock) {
    std::memset(x.get(), 0, kBlock);
    std::memcpy(x.get(), in + whole, in_len - whole);
    xor_into(c.get(), c.get(), x.get(), kBlock);
    seed_block(rk, out + whole, c.get(), true);
    written += kBlock;
  }
  *out_len = written;
}

}  // namespace
}  // namespace ql

// Exported functions.

void SEED128_ECB_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len) {
  ql::ecb(rk, out, out_len, in, in_len, true);
}

void SEED128_ECB_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len) {
  ql::ecb(rk, out, out_len, in, in_len, false);
}

void SEED128_CBC_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len, const uint8_t *iv) {
  ql::cbc(rk, out, out_len, in, in_len, iv, true);
}

void SEED128_CBC_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len, const uint8_t *iv) {
  ql::cbc(rk, out, out_len, in, in_len, iv, false);
}

void SEED128_CFB_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len, uint8_t *iv, uint32_t segment) {
  ql::cfb(rk, out, out_len, in, in_len, iv, segment, true);
}

void SEED128_CFB_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len, uint8_t *iv, uint32_t segment) {
  ql::cfb(rk, out, out_len, in, in_len, iv, segment, false);
}

void SEED128_OFB_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len, uint8_t *iv, uint32_t segment) {
  ql::SEED_OFB_EncOrDec(rk, out, out_len, in, in_len, iv, segment);
}

void SEED128_OFB_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len, uint8_t *iv, uint32_t segment) {
  ql::SEED_OFB_EncOrDec(rk, out, out_len, in, in_len, iv, segment);
}

void SEED128_CTR_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len, uint8_t *counter) {
  ql::SEED128_CTR_EncOrDec(rk, out, out_len, in, in_len, counter);
}

void SEED128_CTR_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                         uint32_t in_len, uint8_t *counter) {
  ql::SEED128_CTR_EncOrDec(rk, out, out_len, in, in_len, counter);
}
