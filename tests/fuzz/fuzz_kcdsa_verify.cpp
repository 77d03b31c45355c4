// KCDSA verification on mutated valid signatures against a model on OpenSSL's BIGNUMs: the
// published 1024-bit group and key pair (TTAK.KO-12.0001/R4 Annex II.5), a signature made by
// the model with the input's nonce on the input's hash value, then the input's byte flips
// applied to r, s or the hash value. The input also picks the digest of W (SHA-1, SHA-256,
// SHA-384 or SHA-512) and the hash length (1 to 20 bytes). Invariant: the library and the model
// both accept or both refuse, and an unchanged signature is accepted. One rule goes beyond the
// standard's and the model has it too: an r of zero bytes is refused (the library's signer
// draws again rather than hand one out; it happens for short hash lengths only).
#include <openssl/bn.h>
#include <openssl/evp.h>

#include <cstring>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_fuzz.h"
#include "ql_fuzz_bn.h"

namespace {

using ql_fuzz::to_big;

constexpr const char *kP =
    "d7b9afc104f4d53f737db88d6bf77e12cd7ec3d71cbe3cb74cd224bff348154afba6bfed797044dfc655dcc20c95"
    "2c0ec43a97e1ad67e687d10729caf622845d162afca8f0248cc412b3596c4c5d3384f7e25ee644ba87bb09b164fb"
    "465477b87fdba5eaa400ffa0925714ae19464ffacead3a9750d121948ab2d8d65c82379f";
constexpr const char *kQ = "c3ddd3717bf05b8f8dd725c162f0b9432c6f77fb";
constexpr const char *kG =
    "50e414c7a56892d1ad633e42d5cd8346f2c09808111c772cc30b0c544102c27e7b5f9bec57b9df2a153128919d79"
    "5e46652b2a072e1f2517f2a3afff5815253aaefe35724cfa1af6afce3a6b41e3d0e13bed0eff54383c4665e69b47"
    "ba79bbc3339f86b9be2b58894a18b201afc41fe3a0d93d3125efda79bc50dbbb2c3ab639";
constexpr const char *kX = "068c4ef355d8b6f53eff1df6f243f98563896c58";
constexpr const char *kY =
    "96dce0e7b2f170093d9b51d2ba78202733b62c406d3769758b3e0cbba1ff6c78727a35703cb6bc2476c3c293743d"
    "fee94aa4b9efa9a17fa6bf790ac25a82c61523f50abaac7b64647eb15c957b07f5ed7d467243089f74695cd58fbf"
    "57920cc0c05d45829c0a8161b943f18451845760ed096540e78aa9750b03d02448cbf8de";
constexpr size_t kPLen = 128;
constexpr size_t kQLen = 20;

struct Model {
  BIGNUM *p = nullptr, *q = nullptr, *g = nullptr, *x = nullptr, *y = nullptr;
  BN_CTX *ctx = nullptr;
  QL_KCDSA_PARAMETERS params{};
  Big y_big{};
};

BIGNUM *hex_bn(const char *hex) {
  BIGNUM *b = nullptr;
  QL_FUZZ_CHECK(BN_hex2bn(&b, hex) > 0);
  return b;
}

const Model &model() {
  static Model *m = nullptr;
  if (m == nullptr) {
    m = new Model;
    m->p = hex_bn(kP);
    m->q = hex_bn(kQ);
    m->g = hex_bn(kG);
    m->x = hex_bn(kX);
    m->y = hex_bn(kY);
    m->ctx = BN_CTX_new();
    QL_FUZZ_CHECK(m->ctx != nullptr);
    m->params.p = to_big(m->p);
    m->params.q = to_big(m->q);
    m->params.g = to_big(m->g);
    m->y_big = to_big(m->y);
  }
  return *m;
}

const EVP_MD *md_of(int digest_id) {
  switch (digest_id) {
    case QL_HASH_SHA1:
      return EVP_sha1();
    case QL_HASH_SHA256:
      return EVP_sha256();
    case QL_HASH_SHA384:
      return EVP_sha384();
    default:
      return EVP_sha512();
  }
}

// The rightmost `len` bytes of the digest of W as a |p|-byte string.
std::vector<uint8_t> hash_of_w(const BIGNUM *w, int digest_id, size_t len) {
  uint8_t wb[kPLen];
  QL_FUZZ_CHECK(BN_bn2binpad(w, wb, kPLen) == static_cast<int>(kPLen));
  uint8_t d[EVP_MAX_MD_SIZE];
  unsigned int d_len = 0;
  QL_FUZZ_CHECK(EVP_Digest(wb, kPLen, d, &d_len, md_of(digest_id), nullptr) == 1);
  return std::vector<uint8_t>(d + d_len - len, d + d_len);
}

bool all_zero(const std::vector<uint8_t> &b) {
  uint8_t bits = 0;
  for (uint8_t x : b) { bits = static_cast<uint8_t>(bits | x); }
  return bits == 0;
}

// e = (r XOR h) mod q.
BIGNUM *e_of(const Model &m, const std::vector<uint8_t> &r, const uint8_t *h) {
  std::vector<uint8_t> x(r.size());
  for (size_t i = 0; i < r.size(); i++) { x[i] = static_cast<uint8_t>(r[i] ^ h[i]); }
  BIGNUM *e = BN_bin2bn(x.data(), static_cast<int>(x.size()), nullptr);
  QL_FUZZ_CHECK(e != nullptr && BN_mod(e, e, m.q, m.ctx) == 1);
  return e;
}

// The model's verification: s in [1, q-1], W = y^s g^e mod p, r = the hash of W.
bool model_verify(const Model &m, const std::vector<uint8_t> &r, const BIGNUM *s, int digest_id,
                  const uint8_t *h) {
  if (all_zero(r) || BN_is_zero(s) || BN_cmp(s, m.q) >= 0) { return false; }
  BIGNUM *e = e_of(m, r, h);
  BIGNUM *a = BN_new();
  BIGNUM *b = BN_new();
  QL_FUZZ_CHECK(a != nullptr && b != nullptr);
  QL_FUZZ_CHECK(BN_mod_exp(a, m.y, s, m.p, m.ctx) == 1);
  QL_FUZZ_CHECK(BN_mod_exp(b, m.g, e, m.p, m.ctx) == 1);
  QL_FUZZ_CHECK(BN_mod_mul(a, a, b, m.p, m.ctx) == 1);
  const bool ok = hash_of_w(a, digest_id, r.size()) == r;
  BN_free(a);
  BN_free(b);
  BN_free(e);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const Model &m = model();
  ql_fuzz::Reader in(data, size);
  const int digest_id = QL_HASH_SHA1 + in.byte() % 4;
  const size_t h_len = 1 + in.byte() % kQLen;
  uint8_t h[kQLen];
  in.bytes(h, h_len);
  uint8_t k_bytes[kQLen];
  in.bytes(k_bytes, kQLen);

  // The model signs: W = g^k mod p, r = the hash of W, s = x (k - e) mod q, k in [1, q-1].
  BIGNUM *k = BN_bin2bn(k_bytes, kQLen, nullptr);
  QL_FUZZ_CHECK(k != nullptr && BN_mod(k, k, m.q, m.ctx) == 1);
  if (BN_is_zero(k)) { QL_FUZZ_CHECK(BN_one(k) == 1); }
  BIGNUM *w = BN_new();
  QL_FUZZ_CHECK(w != nullptr && BN_mod_exp(w, m.g, k, m.p, m.ctx) == 1);
  std::vector<uint8_t> r = hash_of_w(w, digest_id, h_len);
  BIGNUM *e = e_of(m, r, h);
  BIGNUM *s = BN_new();
  QL_FUZZ_CHECK(s != nullptr && BN_mod_sub(s, k, e, m.q, m.ctx) == 1 &&
                BN_mod_mul(s, m.x, s, m.q, m.ctx) == 1);
  uint8_t s_bytes[kQLen];
  QL_FUZZ_CHECK(BN_bn2binpad(s, s_bytes, kQLen) == static_cast<int>(kQLen));
  // What the library's signer never hands out (it draws again): r = 0, or s = 0 when k = e.
  const bool signable = !all_zero(r) && !BN_is_zero(s);

  // Flips of r, s or the hash value: up to eight (position, mask) pairs.
  bool changed = false;
  for (uint32_t n = in.byte() % 9; n > 0; n--) {
    const uint32_t pos = in.byte() % static_cast<uint32_t>(2 * h_len + kQLen);
    const uint8_t mask = in.byte();
    uint8_t &target = pos < h_len       ? r[pos]
                      : pos < 2 * h_len ? h[pos - h_len]
                                        : s_bytes[pos - 2 * h_len];
    target ^= mask;
    changed = changed || mask != 0;
  }
  QL_FUZZ_CHECK(BN_bin2bn(s_bytes, kQLen, s) != nullptr);

  QL_KCDSA_SIGNATURE sig{};
  sig.r.length = 1;
  QL_FUZZ_CHECK(U8ToBig(&sig.r, r.data(), static_cast<uint32_t>(h_len)) == 0 ||
                Big_GetFilledBitNum(&sig.r) == 0);
  sig.s = to_big(s);
  const int32_t status =
      QL_KCDSA_Verify(&m.params, &m.y_big, &sig, digest_id, h, static_cast<uint32_t>(h_len));
  const bool ours = status == 0;
  const bool theirs = model_verify(m, r, s, digest_id, h);
  QL_FUZZ_CHECK(status == 0 || status == -5001 || status == -5008);
  QL_FUZZ_CHECK(ours == theirs);
  QL_FUZZ_CHECK(changed || !signable || ours);
  BN_free(k);
  BN_free(w);
  BN_free(e);
  BN_free(s);
  return 0;
}
