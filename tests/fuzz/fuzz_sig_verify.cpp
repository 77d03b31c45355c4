// Signature verification on mutated valid signatures against OpenSSL: a key per scheme made by
// OpenSSL once, a signature of the input's digest made by OpenSSL, then the input's byte flips
// applied to the signature (RSA: its bytes; ECDSA: r and s as 32-byte values) or to the digest
// both sides check. Schemes: RSASSA-PKCS1-v1_5 and RSASSA-PSS (SHA-256, MGF1-SHA-256, any salt)
// with a 1024-bit key, ECDSA on P-256. Invariant: both accept or both refuse, and an unchanged
// signature is accepted.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstring>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_fuzz.h"
#include "ql_fuzz_bn.h"

namespace {

using ql_fuzz::to_big;

constexpr uint32_t kDigestLen = 32;
constexpr uint32_t kEcScalarLen = 32;

Big param_big(const EVP_PKEY *pkey, const char *name) {
  BIGNUM *bn = nullptr;
  QL_FUZZ_CHECK(EVP_PKEY_get_bn_param(pkey, name, &bn) == 1);
  const Big b = to_big(bn);
  BN_free(bn);
  return b;
}

struct Keys {
  EVP_PKEY *rsa = nullptr;
  EVP_PKEY *ec = nullptr;
  QL_RSA_PUBLIC_KEY rsa_pub{};
  QL_ECDSA_PARAMETERS curve{};
  BigPoint q{};
};

const Keys &keys() {
  static Keys *k = nullptr;
  if (k == nullptr) {
    k = new Keys;
    k->rsa = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(1024));
    k->ec = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    QL_FUZZ_CHECK(k->rsa != nullptr && k->ec != nullptr);
    k->rsa_pub.n = param_big(k->rsa, OSSL_PKEY_PARAM_RSA_N);
    k->rsa_pub.e = param_big(k->rsa, OSSL_PKEY_PARAM_RSA_E);
    QL_FUZZ_CHECK(QL_ECDSA_InitParameters(&k->curve, 256) == 0);
    k->q.x = param_big(k->ec, OSSL_PKEY_PARAM_EC_PUB_X);
    k->q.y = param_big(k->ec, OSSL_PKEY_PARAM_EC_PUB_Y);
  }
  return *k;
}

// An OpenSSL signing or verifying context with the scheme's padding set.
EVP_PKEY_CTX *context(EVP_PKEY *pkey, bool verify, int padding) {
  EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, pkey, nullptr);
  QL_FUZZ_CHECK(ctx != nullptr);
  QL_FUZZ_CHECK((verify ? EVP_PKEY_verify_init(ctx) : EVP_PKEY_sign_init(ctx)) == 1);
  QL_FUZZ_CHECK(EVP_PKEY_CTX_set_signature_md(ctx, EVP_sha256()) == 1);
  if (padding != 0) {
    QL_FUZZ_CHECK(EVP_PKEY_CTX_set_rsa_padding(ctx, padding) == 1);
  }
  if (padding == RSA_PKCS1_PSS_PADDING) {
    QL_FUZZ_CHECK(EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256()) == 1);
    QL_FUZZ_CHECK(EVP_PKEY_CTX_set_rsa_pss_saltlen(
                      ctx, verify ? RSA_PSS_SALTLEN_AUTO : RSA_PSS_SALTLEN_DIGEST) == 1);
  }
  return ctx;
}

std::vector<uint8_t> openssl_sign(EVP_PKEY *pkey, int padding, const uint8_t *digest) {
  EVP_PKEY_CTX *ctx = context(pkey, false, padding);
  size_t len = 0;
  QL_FUZZ_CHECK(EVP_PKEY_sign(ctx, nullptr, &len, digest, kDigestLen) == 1);
  std::vector<uint8_t> sig(len);
  QL_FUZZ_CHECK(EVP_PKEY_sign(ctx, sig.data(), &len, digest, kDigestLen) == 1);
  sig.resize(len);
  EVP_PKEY_CTX_free(ctx);
  return sig;
}

bool openssl_verify(EVP_PKEY *pkey, int padding, const std::vector<uint8_t> &sig,
                    const uint8_t *digest) {
  EVP_PKEY_CTX *ctx = context(pkey, true, padding);
  const int ok = EVP_PKEY_verify(ctx, sig.data(), sig.size(), digest, kDigestLen);
  EVP_PKEY_CTX_free(ctx);
  return ok == 1;
}

// ECDSA: the DER signature as r || s, each as 32 bytes, and back as canonical DER.
std::vector<uint8_t> ec_values(const std::vector<uint8_t> &der) {
  const uint8_t *p = der.data();
  ECDSA_SIG *sig = d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der.size()));
  QL_FUZZ_CHECK(sig != nullptr);
  std::vector<uint8_t> rs(2 * kEcScalarLen);
  QL_FUZZ_CHECK(BN_bn2binpad(ECDSA_SIG_get0_r(sig), rs.data(), kEcScalarLen) == kEcScalarLen);
  QL_FUZZ_CHECK(BN_bn2binpad(ECDSA_SIG_get0_s(sig), rs.data() + kEcScalarLen, kEcScalarLen) ==
                kEcScalarLen);
  ECDSA_SIG_free(sig);
  return rs;
}

std::vector<uint8_t> ec_der(const std::vector<uint8_t> &rs) {
  ECDSA_SIG *sig = ECDSA_SIG_new();
  BIGNUM *r = BN_bin2bn(rs.data(), kEcScalarLen, nullptr);
  BIGNUM *s = BN_bin2bn(rs.data() + kEcScalarLen, kEcScalarLen, nullptr);
  QL_FUZZ_CHECK(sig != nullptr && r != nullptr && s != nullptr && ECDSA_SIG_set0(sig, r, s) == 1);
  unsigned char *out = nullptr;
  const int len = i2d_ECDSA_SIG(sig, &out);
  QL_FUZZ_CHECK(len > 0);
  std::vector<uint8_t> der(out, out + len);
  OPENSSL_free(out);
  ECDSA_SIG_free(sig);
  return der;
}

Big value_of(const uint8_t *bytes, uint32_t len) {
  Big b{};
  b.length = 1;
  QL_FUZZ_CHECK(U8ToBig(&b, bytes, len) == 0 || Big_GetFilledBitNum(&b) == 0);
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const Keys &k = keys();
  ql_fuzz::Reader r(data, size);
  const uint8_t scheme = r.byte() % 3;  // 0: v1.5, 1: PSS, 2: ECDSA
  uint8_t digest[kDigestLen];
  r.bytes(digest, kDigestLen);
  const int padding = scheme == 0 ? RSA_PKCS1_PADDING : scheme == 1 ? RSA_PKCS1_PSS_PADDING : 0;
  EVP_PKEY *pkey = scheme == 2 ? k.ec : k.rsa;
  const std::vector<uint8_t> signed_der = openssl_sign(pkey, padding, digest);
  std::vector<uint8_t> sig = scheme == 2 ? ec_values(signed_der) : signed_der;
  uint8_t checked[kDigestLen];
  std::memcpy(checked, digest, kDigestLen);
  // Flips of signature or digest bytes: up to eight (position, mask) pairs.
  bool changed = false;
  for (uint32_t n = r.byte() % 9; n > 0; n--) {
    const uint32_t pos = r.u16() % (sig.size() + kDigestLen);
    const uint8_t mask = r.byte();
    uint8_t &target = pos < sig.size() ? sig[pos] : checked[pos - sig.size()];
    target ^= mask;
    changed = changed || mask != 0;
  }

  bool ours = false;
  bool theirs = false;
  if (scheme == 2) {
    QL_ECDSA_SIGNATURE s{};
    s.r = value_of(sig.data(), kEcScalarLen);
    s.s = value_of(sig.data() + kEcScalarLen, kEcScalarLen);
    ours = QL_ECDSA_Verify(&k.curve, &k.q, &s, checked, kDigestLen) == 0;
    theirs = openssl_verify(pkey, 0, ec_der(sig), checked);
  } else {
    const uint32_t len = static_cast<uint32_t>(sig.size());
    const QL_PSS_PARAM pss = {3, 3};
    ours = (scheme == 0 ? QL_PKCS1_V15_Verify(sig.data(), len, 3, checked, kDigestLen, &k.rsa_pub)
                        : QL_PKCS1_PSS_Verify(sig.data(), len, checked, kDigestLen, &k.rsa_pub,
                                              &pss)) == 0;
    theirs = openssl_verify(pkey, padding, sig, checked);
  }
  QL_FUZZ_CHECK(ours == theirs);
  QL_FUZZ_CHECK(changed || ours);
  return 0;
}
