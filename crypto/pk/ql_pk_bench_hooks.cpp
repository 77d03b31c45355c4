// Entry points for the benchmark program, compiled only into test builds (never into what
// ships): the private operations with their random draw supplied, so that the arithmetic can
// be timed apart from the entropy gathering every draw pays. Exported under the QL_ prefix of
// the version script; not declared in the public header (the benchmark declares them).
#if defined(QL_TEST_HOOKS) && !defined(_WIN32)

#include "QuillonCrypto.h"
#include "bigint/ql_big_ct.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "pk/ql_ecc.h"
#include "pk/ql_ecdsa.h"
#include "pk/ql_kcdsa.h"
#include "pk/ql_rsa.h"

extern "C" {

// QL_RSA_PrivateKeyExp with `draw` as the blinding draw.
QL_EXPORT int32_t QL_TestHook_RSA_PrivateKeyExp(Big *out, const Big *in,
                                                const QL_RSA_PRIVATE_KEY *priv, const Big *draw);
// QL_ECDSA_Sign with `k` as the nonce (a nonce giving r or s = 0 is refused with -5529).
QL_EXPORT int32_t QL_TestHook_ECDSA_Sign(QL_ECDSA_SIGNATURE *sig, const uint8_t *digest,
                                         uint32_t digest_len, const Big *d, const Big *k,
                                         const QL_ECDSA_PARAMETERS *curve);
// R = k * G by the constant-time multiplication of key generation and signing.
QL_EXPORT int32_t QL_TestHook_ECC_MulBase(const QL_ECDSA_PARAMETERS *curve, BigPoint *R,
                                          const Big *k);
// Makes the next KCDSA signing attempt use `k` instead of a drawn value (NULL cancels).
QL_EXPORT void QL_TestHook_KCDSA_UseNonce(const Big *k);
// r = g^e mod N by the constant-time exponentiation that private exponents go through.
QL_EXPORT int32_t QL_TestHook_ModExpSecret(Big *r, const Big *g, const Big *e, const Big *N);

}  // extern "C"

int32_t QL_TestHook_RSA_PrivateKeyExp(Big *out, const Big *in, const QL_RSA_PRIVATE_KEY *priv,
                                      const Big *draw) {
  if (out == nullptr || in == nullptr || priv == nullptr || draw == nullptr) {
    return ql::kErrRsaNull;
  }
  return ql::rsa_private_exp(*out, *in, *priv, draw);
}

int32_t QL_TestHook_ECDSA_Sign(QL_ECDSA_SIGNATURE *sig, const uint8_t *digest, uint32_t digest_len,
                               const Big *d, const Big *k, const QL_ECDSA_PARAMETERS *curve) {
  if (!ql::ecdsa_curve_ok(curve) || sig == nullptr || d == nullptr || k == nullptr ||
      digest == nullptr || digest_len > ql::kMaxDigestLen || !ql::scalar_in_range(*d, curve->n) ||
      !ql::scalar_in_range(*k, curve->n)) {
    return ql::kErrSignArg;
  }
  Big e;
  QL_TRY(ql::digest_to_scalar(e, digest, digest_len, curve->n));
  bool retry = false;
  QL_TRY(ql::ecdsa_sign_with_nonce(*curve, *sig, e, *d, *k, retry));
  return retry ? ql::kErrSignArg : ql::kOk;
}

int32_t QL_TestHook_ECC_MulBase(const QL_ECDSA_PARAMETERS *curve, BigPoint *R, const Big *k) {
  if (curve == nullptr || R == nullptr || k == nullptr) {
    return ql::kErrEccArgument;
  }
  return ql::ecc_mul_base_secret(*curve, *R, *k);
}

void QL_TestHook_KCDSA_UseNonce(const Big *k) { ql::test::kcdsa_use_nonce(k); }

int32_t QL_TestHook_ModExpSecret(Big *r, const Big *g, const Big *e, const Big *N) {
  if (r == nullptr || g == nullptr || e == nullptr || N == nullptr) {
    return ql::kErrBigNullInput;
  }
  return ql::big_mod_exp_consttime(*r, *g, *e, *N, ql::kErrBigExpAlloc);
}

#endif
