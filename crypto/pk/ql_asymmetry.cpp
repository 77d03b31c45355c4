// The asymmetric dispatcher: tagged key and parameter records of RSA, KCDSA and ECDSA, their
// copies, encodings, generation and checks through one descriptor per algorithm, public-key
// encryption, and signatures in one call or as streams that hash the message inside.
//
// Every signature path checks that the key, the parameters and (KCDSA) the signer's key are of
// the scheme's algorithm before anything reads a body, so that no body is ever taken for
// another algorithm's record. A stream owns deep copies of what Init was given; each copy is
// stored in the stream only once complete, and Update and Final refuse a stream whose Init did
// not finish.
#include "pk/ql_asymmetry.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "QuillonCrypto.h"
#include "digest/ql_digest.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "pk/ql_ecc.h"
#include "pk/ql_pkcs1.h"

namespace ql {
namespace {

static_assert(std::is_trivially_copyable<QL_ASYM_KEY>::value, "plain record");
static_assert(std::is_trivially_copyable<QL_ASYM_SIGN_PARAM>::value, "plain record");
static_assert(std::is_trivially_copyable<QL_ASYM_SIGN_CTX>::value, "plain record");
static_assert(std::is_trivially_copyable<QL_ASYM_CTX>::value, "plain record");
static_assert(sizeof(QL_ASYM_SIGN_PARAM) == 8, "the sign parameter is two 32-bit words");
static_assert(sizeof(QL_ASYM_KEYGEN_PARAM) == 8, "two words");

constexpr uint32_t kMaxDigestLen = 64;
// Largest q whose seed fits the 64-byte seed field of a parameter copy.
constexpr int32_t kKcdsaMaxQWords = 16;

template <typename T>
T *new_zeroed() {
  T *p = static_cast<T *>(alloc(sizeof(T)));
  if (p != nullptr) {
    std::memset(static_cast<void *>(p), 0, sizeof(T));
  }
  return p;
}

template <typename T>
void delete_wiped(T *p) {
  free_wiped(p, sizeof(T));
}

bool big_present(const Big &a) { return a.length > 0 && a.length <= QL_BIG_WORDS; }

// ---- Bodies of each algorithm ----------------------------------------------------------------

void *new_big() { return QL_Big_New(); }
void delete_big(void *b) { QL_Big_Delete(static_cast<Big *>(b)); }
Status copy_big(void *dst, const void *src) {
  Big_Dump(static_cast<Big *>(dst), static_cast<const Big *>(src));
  return kOk;
}

void *new_rsa_private() { return QL_RSA_PrivateKey_New(); }
void delete_rsa_private(void *k) { QL_RSA_PrivateKey_Delete(static_cast<QL_RSA_PRIVATE_KEY *>(k)); }
void *new_rsa_public() { return QL_RSA_PublicKey_New(); }
void delete_rsa_public(void *k) { QL_RSA_PublicKey_Delete(static_cast<QL_RSA_PUBLIC_KEY *>(k)); }

Status copy_rsa_private(void *dst, const void *src) {
  const auto &s = *static_cast<const QL_RSA_PRIVATE_KEY *>(src);
  if (!big_present(s.n) || !big_present(s.e) || !big_present(s.d)) {
    return kErrAsymPrivCopyIncomplete;
  }
  *static_cast<QL_RSA_PRIVATE_KEY *>(dst) = s;
  return kOk;
}

Status copy_rsa_public(void *dst, const void *src) {
  const auto &s = *static_cast<const QL_RSA_PUBLIC_KEY *>(src);
  if (big_is_zero(s.n) || big_is_zero(s.e)) {
    return kErrAsymPubCopyRsa;
  }
  *static_cast<QL_RSA_PUBLIC_KEY *>(dst) = s;
  return kOk;
}

void *new_point() { return QL_ECDSA_BIGPOINT_New(); }
void delete_point(void *p) { QL_ECDSA_BIGPOINT_Delete(static_cast<BigPoint *>(p)); }
Status copy_point(void *dst, const void *src) {
  return BigPoint_Dump(static_cast<BigPoint *>(dst), static_cast<const BigPoint *>(src));
}

void *new_kcdsa_params() { return QL_KCDSA_Parameters_New(); }
void delete_kcdsa_params(void *p) {
  QL_KCDSA_Parameters_Delete(static_cast<QL_KCDSA_PARAMETERS *>(p));
}
// p, q, g, J and the counter; the seed (when there is one) as 4 bytes per word of q, which
// for a q above 512 bits would run past the 64-byte field, so such a q is refused.
Status copy_kcdsa_params(void *dst, const void *src) {
  const auto &s = *static_cast<const QL_KCDSA_PARAMETERS *>(src);
  if (big_is_zero(s.p) || big_is_zero(s.q) || big_is_zero(s.g) || !big_present(s.q) ||
      s.q.length > kKcdsaMaxQWords) {
    return kErrAsymKcdsaParamsZero;
  }
  auto &d = *static_cast<QL_KCDSA_PARAMETERS *>(dst);
  Big_Dump(&d.p, &s.p);
  Big_Dump(&d.q, &s.q);
  Big_Dump(&d.g, &s.g);
  Big_Dump(&d.J, &s.J);
  Big_Dump(&d.count, &s.count);
  if (s.seed_len != 0) {
    d.seed_len = 4 * static_cast<uint32_t>(s.q.length);
    std::memcpy(d.seed, s.seed, d.seed_len);
  }
  return kOk;
}

void *new_curve() { return QL_ECDSA_Parameters_New(); }
void delete_curve(void *c) { QL_ECDSA_Parameters_Delete(static_cast<QL_ECDSA_PARAMETERS *>(c)); }
Status copy_curve(void *dst, const void *src) {
  const auto &s = *static_cast<const QL_ECDSA_PARAMETERS *>(src);
  if (big_is_zero(s.p) || big_is_zero(s.a) || big_is_zero(s.b) || big_is_zero(s.n) ||
      (big_is_zero(s.G.x) && big_is_zero(s.G.y))) {
    return kErrAsymEcdsaParamsZero;
  }
  *static_cast<QL_ECDSA_PARAMETERS *>(dst) = s;
  return kOk;
}

// ---- RSA -------------------------------------------------------------------------------------

Status rsa_encode_private(uint8_t *out, uint32_t *out_len, const void *body, const void *) {
  return QL_PKCS1_PrivateKeyEncode(out, static_cast<const QL_RSA_PRIVATE_KEY *>(body), out_len);
}
Status rsa_encode_public(uint8_t *out, uint32_t *out_len, const void *body, const void *) {
  return QL_PKCS1_PublicKeyEncode(out, static_cast<const QL_RSA_PUBLIC_KEY *>(body), out_len);
}
Status rsa_decode_private(void *body, const uint8_t *in, uint32_t in_len, const void *) {
  return QL_PKCS1_PrivateKeyDecode(static_cast<QL_RSA_PRIVATE_KEY *>(body), in, in_len);
}
Status rsa_decode_public(void *body, const uint8_t *in, uint32_t in_len, const void *) {
  return public_key_decode(static_cast<QL_RSA_PUBLIC_KEY *>(body), in, in_len);
}

Status rsa_generate_pair(void *priv, void *pub, const void *, const QL_ASYM_KEYGEN_PARAM &kg) {
  Big e{};
  const Big *exponent = nullptr;
  if (kg.exponent > 1) {
    e.words[0] = kg.exponent;
    e.length = 1;
    exponent = &e;
  }
  return QL_RSA_GenerateKey(static_cast<QL_RSA_PRIVATE_KEY *>(priv),
                            static_cast<QL_RSA_PUBLIC_KEY *>(pub), kg.modulus_len, exponent);
}

Status rsa_verify_public(const void *, const void *) { return kOk; }

Status rsa_prove_pair(const void *priv, const void *pub, const void *) {
  return QL_RSA_ProveKeyPair(static_cast<const QL_RSA_PRIVATE_KEY *>(priv),
                             static_cast<const QL_RSA_PUBLIC_KEY *>(pub));
}

Status rsa_sign(uint8_t *out, uint32_t *out_len, const SignInput &in, const void *priv,
                const void *) {
  const auto *key = static_cast<const QL_RSA_PRIVATE_KEY *>(priv);
  if (in.scheme->kind == SignKind::kPss) {
    return QL_PKCS1_PSS_Sign(out, out_len, in.digest, in.digest_len, key, &in.sign_param->pss);
  }
  return QL_PKCS1_V15_Sign(out, out_len, in.digest_id, in.digest, in.digest_len, key);
}

Status rsa_verify(const uint8_t *sig, uint32_t sig_len, const SignInput &in, const void *pub,
                  const void *) {
  const auto *key = static_cast<const QL_RSA_PUBLIC_KEY *>(pub);
  if (in.scheme->kind == SignKind::kPss) {
    return QL_PKCS1_PSS_Verify(sig, sig_len, in.digest, in.digest_len, key, &in.sign_param->pss);
  }
  return QL_PKCS1_V15_Verify(sig, sig_len, in.digest_id, in.digest, in.digest_len, key);
}

// ---- KCDSA -----------------------------------------------------------------------------------

Status kcdsa_encode_private(uint8_t *out, uint32_t *out_len, const void *body, const void *) {
  // Big_DerEncode normalises its argument, so it works on a wiped copy of x.
  Wiped<Big> x;
  Big_Dump(x.ptr(), static_cast<const Big *>(body));
  return Big_DerEncode(out, out_len, x.ptr());
}
Status kcdsa_encode_public(uint8_t *out, uint32_t *out_len, const void *body, const void *) {
  return QL_KCDSA_PublicKey_Encode(out, out_len, static_cast<const Big *>(body));
}
Status kcdsa_decode_big(void *body, const uint8_t *in, uint32_t in_len, const void *) {
  return Big_DerDecode(static_cast<Big *>(body), in, in_len);
}
Status kcdsa_encode_params(uint8_t *out, uint32_t *out_len, const void *body, const void *) {
  return QL_KCDSA_Parameters_Encode(out, out_len, static_cast<const QL_KCDSA_PARAMETERS *>(body));
}
Status kcdsa_decode_params(void *body, const uint8_t *in, uint32_t in_len, const void *) {
  return QL_KCDSA_Parameters_Decode(static_cast<QL_KCDSA_PARAMETERS *>(body), in, in_len);
}

Status kcdsa_generate_params(void *params, uint32_t size) {
  return QL_KCDSA_GenerateParams(static_cast<QL_KCDSA_PARAMETERS *>(params), size);
}
Status kcdsa_generate_pair(void *priv, void *pub, const void *params,
                           const QL_ASYM_KEYGEN_PARAM &) {
  return QL_KCDSA_GenerateKeyPair(static_cast<const QL_KCDSA_PARAMETERS *>(params),
                                  static_cast<Big *>(pub), static_cast<Big *>(priv));
}
Status kcdsa_verify_params(const void *params, int32_t digest_id) {
  return QL_KCDSA_VerifyParameters(static_cast<const QL_KCDSA_PARAMETERS *>(params), digest_id);
}
Status kcdsa_verify_public(const void *pub, const void *params) {
  return QL_KCDSA_VerifyPublicKey(static_cast<const QL_KCDSA_PARAMETERS *>(params),
                                  static_cast<const Big *>(pub));
}
Status kcdsa_prove_pair(const void *priv, const void *pub, const void *params) {
  return QL_KCDSA_ProveKeyPair(static_cast<const Big *>(priv), static_cast<const Big *>(pub),
                               static_cast<const QL_KCDSA_PARAMETERS *>(params));
}

// A signature record of type T for the length of one final step, deleted on every path.
template <typename T, T *(*New)(), void (*Delete)(T *)>
class SigRecord {
 public:
  SigRecord() : p_(New()) {}
  ~SigRecord() { Delete(p_); }
  SigRecord(const SigRecord &) = delete;
  SigRecord &operator=(const SigRecord &) = delete;
  T *get() const { return p_; }

 private:
  T *p_;
};
using KcdsaSig = SigRecord<QL_KCDSA_SIGNATURE, QL_KCDSA_Signature_New, QL_KCDSA_Signature_Delete>;
using EcdsaSig = SigRecord<QL_ECDSA_SIGNATURE, QL_ECDSA_Signature_New, QL_ECDSA_Signature_Delete>;

Status kcdsa_sign(uint8_t *out, uint32_t *out_len, const SignInput &in, const void *priv,
                  const void *params) {
  KcdsaSig sig;
  if (sig.get() == nullptr) {
    return critical(in.alloc_code);
  }
  QL_TRY(QL_KCDSA_Sign(sig.get(), in.digest_id, in.digest, in.digest_len,
                       static_cast<const Big *>(priv),
                       static_cast<const QL_KCDSA_PARAMETERS *>(params)));
  return QL_KCDSA_Signature_Encode(out, out_len, in.digest_len, sig.get());
}

Status kcdsa_verify(const uint8_t *sig_bytes, uint32_t sig_len, const SignInput &in,
                    const void *pub, const void *params) {
  KcdsaSig sig;
  if (sig.get() == nullptr) {
    return critical(in.alloc_code);
  }
  QL_TRY(QL_KCDSA_Signature_Decode(sig.get(), sig_bytes, sig_len));
  return QL_KCDSA_Verify(static_cast<const QL_KCDSA_PARAMETERS *>(params),
                         static_cast<const Big *>(pub), sig.get(), in.digest_id, in.digest,
                         in.digest_len);
}

// ---- ECDSA -----------------------------------------------------------------------------------

const QL_ECDSA_PARAMETERS *curve_body(const void *params) {
  return static_cast<const QL_ECDSA_PARAMETERS *>(params);
}

Status ecdsa_encode_private(uint8_t *out, uint32_t *out_len, const void *body, const void *params) {
  return QL_ECDSA_PrivateKey_Encode(out, out_len, static_cast<const Big *>(body),
                                    curve_body(params));
}

// The private key's encoding names its curve; the decoder fills a scratch copy of the
// parameters with it, and a key of another curve than the caller's is refused.
Status ecdsa_decode_private(void *body, const uint8_t *in, uint32_t in_len, const void *params) {
  Wiped<QL_ECDSA_PARAMETERS> curve;
  curve.get() = *curve_body(params);
  QL_TRY(QL_ECDSA_PrivateKey_Decode(static_cast<Big *>(body), curve.ptr(), in, in_len));
  if (ecc_named_curve(curve.get()) != ecc_named_curve(*curve_body(params)) ||
      curve.get().bits != curve_body(params)->bits) {
    return kErrAsymInvalidInput;
  }
  return kOk;
}

Status ecdsa_encode_public(uint8_t *out, uint32_t *out_len, const void *body, const void *params) {
  const uint32_t p_bytes =
      (static_cast<uint32_t>(Big_GetFilledBitNum(&curve_body(params)->p)) + 7) / 8;
  return QL_ECDSA_PublicKey_Encode(out, out_len, 2 * p_bytes + 10,
                                   static_cast<const BigPoint *>(body), curve_body(params));
}
Status ecdsa_decode_public(void *body, const uint8_t *in, uint32_t in_len, const void *params) {
  return QL_ECDSA_PublicKey_Decode(curve_body(params), static_cast<BigPoint *>(body), in, in_len);
}
Status ecdsa_encode_params(uint8_t *out, uint32_t *out_len, const void *body, const void *) {
  return QL_ECDSA_Parameters_Encode(out, out_len, curve_body(body));
}
Status ecdsa_decode_params(void *body, const uint8_t *in, uint32_t in_len, const void *) {
  return QL_ECDSA_Parameters_Decode(static_cast<QL_ECDSA_PARAMETERS *>(body), in, in_len);
}

Status ecdsa_generate_params(void *params, uint32_t size) {
  return QL_ECDSA_InitParameters(static_cast<QL_ECDSA_PARAMETERS *>(params), size);
}
Status ecdsa_generate_pair(void *priv, void *pub, const void *params,
                           const QL_ASYM_KEYGEN_PARAM &) {
  return QL_ECDSA_GenerateKeyPair(curve_body(params), static_cast<BigPoint *>(pub),
                                  static_cast<Big *>(priv));
}
Status ecdsa_verify_public(const void *pub, const void *params) {
  return QL_ECDSA_VerifyPublicKey(static_cast<const BigPoint *>(pub), curve_body(params));
}
Status ecdsa_prove_pair(const void *priv, const void *pub, const void *params) {
  return QL_ECDSA_ProveKeyPair(static_cast<const Big *>(priv), static_cast<const BigPoint *>(pub),
                               curve_body(params));
}

Status ecdsa_sign(uint8_t *out, uint32_t *out_len, const SignInput &in, const void *priv,
                  const void *params) {
  EcdsaSig sig;
  if (sig.get() == nullptr) {
    return critical(in.alloc_code);
  }
  QL_TRY(QL_ECDSA_Sign(sig.get(), in.digest, in.digest_len, static_cast<const Big *>(priv),
                       curve_body(params)));
  return QL_ECDSA_Signature_Encode(out, out_len, sig.get());
}

Status ecdsa_verify(const uint8_t *sig_bytes, uint32_t sig_len, const SignInput &in,
                    const void *pub, const void *params) {
  EcdsaSig sig;
  if (sig.get() == nullptr) {
    return critical(in.alloc_code);
  }
  QL_TRY(QL_ECDSA_Signature_Decode(sig.get(), sig_bytes, sig_len));
  return QL_ECDSA_Verify(curve_body(params), static_cast<const BigPoint *>(pub), sig.get(),
                         in.digest, in.digest_len);
}

// ---- The tables ------------------------------------------------------------------------------

constexpr PkeyDesc rsa_pkey = {
    QL_PKEY_RSA,
    false,
    false,
    {new_rsa_private, new_rsa_public, nullptr},
    {delete_rsa_private, delete_rsa_public, nullptr},
    {copy_rsa_private, copy_rsa_public, nullptr},
    {rsa_encode_private, rsa_encode_public, nullptr},
    {rsa_decode_private, rsa_decode_public, nullptr},
    nullptr,
    rsa_generate_pair,
    nullptr,
    rsa_verify_public,
    rsa_prove_pair,
    rsa_sign,
    rsa_verify,
};

constexpr PkeyDesc kcdsa_pkey = {
    QL_PKEY_KCDSA,
    false,
    true,
    {new_big, new_big, new_kcdsa_params},
    {delete_big, delete_big, delete_kcdsa_params},
    {copy_big, copy_big, copy_kcdsa_params},
    {kcdsa_encode_private, kcdsa_encode_public, kcdsa_encode_params},
    {kcdsa_decode_big, kcdsa_decode_big, kcdsa_decode_params},
    kcdsa_generate_params,
    kcdsa_generate_pair,
    kcdsa_verify_params,
    kcdsa_verify_public,
    kcdsa_prove_pair,
    kcdsa_sign,
    kcdsa_verify,
};

constexpr PkeyDesc ecdsa_pkey = {
    QL_PKEY_ECDSA,
    true,
    true,
    {new_big, new_point, new_curve},
    {delete_big, delete_point, delete_curve},
    {copy_big, copy_point, copy_curve},
    {ecdsa_encode_private, ecdsa_encode_public, ecdsa_encode_params},
    {ecdsa_decode_private, ecdsa_decode_public, ecdsa_decode_params},
    ecdsa_generate_params,
    ecdsa_generate_pair,
    nullptr,
    ecdsa_verify_public,
    ecdsa_prove_pair,
    ecdsa_sign,
    ecdsa_verify,
};

constexpr const PkeyDesc *kPkeys[] = {&rsa_pkey, &kcdsa_pkey, &ecdsa_pkey};

constexpr SignScheme kSchemes[] = {
    {QL_SIGN_RSA_V15_SHA1, QL_PKEY_RSA, QL_HASH_SHA1, SignKind::kPkcs1V15},
    {QL_SIGN_RSA_V15_SHA256, QL_PKEY_RSA, QL_HASH_SHA256, SignKind::kPkcs1V15},
    {QL_SIGN_RSA_V15_SHA384, QL_PKEY_RSA, QL_HASH_SHA384, SignKind::kPkcs1V15},
    {QL_SIGN_RSA_V15_SHA512, QL_PKEY_RSA, QL_HASH_SHA512, SignKind::kPkcs1V15},
    {QL_SIGN_RSA_V15_DIGEST, QL_PKEY_RSA, -1, SignKind::kPkcs1V15Raw},
    {QL_SIGN_RSA_PSS, QL_PKEY_RSA, 0, SignKind::kPss},
    {QL_SIGN_RSA_PSS_32, QL_PKEY_RSA, 0, SignKind::kPss},
    {QL_SIGN_RSA_PSS_33, QL_PKEY_RSA, 0, SignKind::kPss},
    {QL_SIGN_RSA_PSS_34, QL_PKEY_RSA, 0, SignKind::kPss},
    {QL_SIGN_KCDSA_SHA1, QL_PKEY_KCDSA, QL_HASH_SHA1, SignKind::kKcdsa},
    {QL_SIGN_KCDSA_HAS160, QL_PKEY_KCDSA, QL_HASH_HAS160, SignKind::kKcdsa},
    {QL_SIGN_KCDSA_SHA256, QL_PKEY_KCDSA, QL_HASH_SHA256, SignKind::kKcdsa},
    {QL_SIGN_ECDSA_SHA1, QL_PKEY_ECDSA, QL_HASH_SHA1, SignKind::kEcdsa},
};

// ---- Records ---------------------------------------------------------------------------------

bool is_empty(const QL_ASYM_KEY &k) { return k.algorithm == 0 && k.body == nullptr; }

void delete_key(QL_ASYM_KEY *key, KeyRole role) {
  if (key == nullptr) {
    return;
  }
  if (key->body != nullptr) {
    const PkeyDesc *d = pkey_of(key->algorithm);
    if (d != nullptr && d->delete_body[role] != nullptr) {
      d->delete_body[role](key->body);
    }
  }
  delete_wiped(key);
}

// A key record being built: deleted with its body unless handed on.
class PendingKey {
 public:
  explicit PendingKey(KeyRole role) : role_(role), key_(new_zeroed<QL_ASYM_KEY>()) {}
  ~PendingKey() { delete_key(key_, role_); }
  PendingKey(const PendingKey &) = delete;
  PendingKey &operator=(const PendingKey &) = delete;
  QL_ASYM_KEY *get() const { return key_; }
  QL_ASYM_KEY *release() {
    QL_ASYM_KEY *k = key_;
    key_ = nullptr;
    return k;
  }

 private:
  KeyRole role_;
  QL_ASYM_KEY *key_;
};

// The parameter body `params` must supply for descriptor `d`: -1001 unless it is a record of
// that algorithm with a body.
Status params_for(const PkeyDesc &d, const QL_ASYM_KEY *params, const void *&body) {
  if (params == nullptr || params->body == nullptr || params->algorithm != d.id) {
    return kErrAsymInvalidInput;
  }
  body = params->body;
  return kOk;
}

// Fills the empty record `key` with a fresh body of `role` and the algorithm word; the decoder
// or generator then fills the body, and a failure leaves both for the caller to delete.
Status make_body(QL_ASYM_KEY &key, const PkeyDesc &d, KeyRole role, Status alloc_code) {
  void *body = d.new_body[role]();
  if (body == nullptr) {
    return critical(alloc_code);
  }
  key.algorithm = d.id;
  key.body = body;
  return kOk;
}

Status public_key_copy(QL_ASYM_KEY &dst, const QL_ASYM_KEY &src) {
  if (!is_empty(dst)) {
    return kErrAsymPubCopy;
  }
  const PkeyDesc *d = pkey_of(src.algorithm);
  if (d == nullptr) {
    return kErrAsymPubCopy;
  }
  const bool rsa = d->id == QL_PKEY_RSA;
  if (src.body == nullptr) {
    return rsa ? kErrAsymPubCopyRsa : kErrAsymPubCopy;
  }
  void *body = d->new_body[kRolePublic]();
  if (body == nullptr) {
    return critical(rsa ? kErrAsymPubCopyRsa : kErrAsymPubCopy);
  }
  const Status s = d->copy_body[kRolePublic](body, src.body);
  if (s != kOk) {
    d->delete_body[kRolePublic](body);
    return s;
  }
  dst.type = src.type;
  dst.algorithm = src.algorithm;
  dst.body = body;
  return kOk;
}

// An owned copy of a private key or parameters in a new record (the public key goes through
// public_key_copy). `unknown` is the code for an algorithm without such a body.
Status copy_record(QL_ASYM_KEY *&out, const QL_ASYM_KEY &src, KeyRole role, Status unknown) {
  PendingKey k(role);
  if (k.get() == nullptr) {
    return critical(kErrAsymCopyRecordAlloc);
  }
  k.get()->type = src.type;
  const PkeyDesc *d = pkey_of(src.algorithm);
  if (d == nullptr || d->new_body[role] == nullptr) {
    return unknown;
  }
  QL_TRY(make_body(*k.get(), *d, role, kErrAsymCopyBodyAlloc));
  QL_TRY(d->copy_body[role](k.get()->body, src.body));
  out = k.release();
  return kOk;
}

Status copy_public_record(QL_ASYM_KEY *&out, const QL_ASYM_KEY &src) {
  PendingKey k(kRolePublic);
  if (k.get() == nullptr) {
    return critical(kErrAsymCopyRecordAlloc);
  }
  QL_TRY(public_key_copy(*k.get(), src));
  out = k.release();
  return kOk;
}

bool is_kcdsa_scheme(int32_t sign_id) {
  const SignScheme *s = scheme_of(sign_id);
  return s != nullptr && s->kind == SignKind::kKcdsa;
}

bool is_pss_scheme(int32_t sign_id) {
  const SignScheme *s = scheme_of(sign_id);
  return s != nullptr && s->kind == SignKind::kPss;
}

void sign_param_delete(QL_ASYM_SIGN_PARAM *sp, int32_t sign_id) {
  if (sp == nullptr) {
    return;
  }
  if (is_kcdsa_scheme(sign_id)) {
    delete_key(sp->public_key, kRolePublic);
  }
  delete_wiped(sp);
}

Status copy_sign_param(QL_ASYM_SIGN_PARAM *&out, int32_t sign_id, const QL_ASYM_SIGN_PARAM &src) {
  QL_ASYM_SIGN_PARAM *sp = new_zeroed<QL_ASYM_SIGN_PARAM>();
  if (sp == nullptr) {
    return critical(kErrAsymCopyRecordAlloc);
  }
  if (is_pss_scheme(sign_id)) {
    sp->pss = src.pss;
  } else if (is_kcdsa_scheme(sign_id) && src.public_key != nullptr) {
    PendingKey k(kRolePublic);
    Status s =
        k.get() == nullptr ? critical(kErrAsymPubCopy) : public_key_copy(*k.get(), *src.public_key);
    if (s != kOk) {
      delete_wiped(sp);
      return s;
    }
    sp->public_key = k.release();
  }
  out = sp;
  return kOk;
}

void sign_ctx_delete(QL_ASYM_SIGN_CTX *sc) {
  if (sc == nullptr) {
    return;
  }
  delete_key(sc->private_key, kRolePrivate);
  delete_key(sc->public_key, kRolePublic);
  delete_key(sc->params, kRoleParams);
  sign_param_delete(sc->sign_param, sc->sign_id);
  delete_wiped(sc);
}

// z: the low `len` bytes of y, big-endian, zero-padded on the left.
void kcdsa_z(uint8_t *z, const Big &y, uint32_t len) {
  const int32_t words = y.length < 0 ? 0 : (y.length > QL_BIG_WORDS ? QL_BIG_WORDS : y.length);
  for (uint32_t i = 0; i < len; i++) {
    const uint32_t w = i / 4;
    const uint32_t v = w < static_cast<uint32_t>(words) ? y.words[w] : 0;
    z[len - 1 - i] = static_cast<uint8_t>(v >> (8 * (i % 4)));
  }
}

// ---- Streams ---------------------------------------------------------------------------------

// The -1001 rule of every signature: the key, the parameters and a KCDSA signer's key must be
// of the scheme's algorithm. Unknown schemes are left to the stream's own code.
Status key_fits_scheme(int32_t sign_id, const QL_ASYM_KEY &key, const QL_ASYM_KEY *params,
                       const QL_ASYM_SIGN_PARAM *sign_param, int32_t kind) {
  const SignScheme *s = scheme_of(sign_id);
  if (s == nullptr) {
    return kOk;
  }
  if (key.algorithm != s->pkey) {
    return kErrAsymInvalidInput;
  }
  if (params != nullptr && params->body != nullptr && params->algorithm != s->pkey) {
    return kErrAsymInvalidInput;
  }
  if (s->kind == SignKind::kKcdsa && kind == QL_ASYM_SIGNING && sign_param != nullptr &&
      sign_param->public_key != nullptr && sign_param->public_key->algorithm != QL_PKEY_KCDSA) {
    return kErrAsymInvalidInput;
  }
  return kOk;
}

struct StreamCodes {
  int32_t kind;
  Status init_arg, init_alloc, update_arg, final_arg, final_alloc, final_id;
};
constexpr StreamCodes kSignCodes = {
    QL_ASYM_SIGNING,      kErrAsymSignInitArg,    kErrAsymSignInitAlloc, kErrAsymSignUpdateArg,
    kErrAsymSignFinalArg, kErrAsymSignFinalAlloc, kErrAsymSignFinalId};
constexpr StreamCodes kVerifyCodes = {QL_ASYM_VERIFYING,       kErrAsymVerifyInitArg,
                                      kErrAsymVerifyInitAlloc, kErrAsymVerifyUpdateArg,
                                      kErrAsymVerifyFinalArg,  kErrAsymVerifyFinalAlloc,
                                      kErrAsymVerifyFinalId};

Status stream_init(const StreamCodes &c, QL_ASYM_CTX *ctx, int32_t sign_id, const QL_ASYM_KEY *key,
                   const QL_ASYM_KEY *params, const QL_ASYM_SIGN_PARAM *sign_param) {
  if (ctx == nullptr || key == nullptr || key->body == nullptr) {
    return c.init_arg;
  }
  if (params != nullptr && params->body != nullptr && params->algorithm != key->algorithm) {
    return c.init_arg;
  }
  // A stream is started once; a second Init would orphan the first one's copies.
  if (ctx->kind != 0 || ctx->sign_ctx != nullptr) {
    return c.init_arg;
  }
  QL_TRY(key_fits_scheme(sign_id, *key, params, sign_param, c.kind));
  ctx->kind = c.kind;
  ctx->sign_ctx = new_zeroed<QL_ASYM_SIGN_CTX>();
  if (ctx->sign_ctx == nullptr) {
    return critical(c.init_alloc);
  }
  const bool signing = c.kind == QL_ASYM_SIGNING;
  QL_TRY(sign_ctx_set(*ctx->sign_ctx, sign_id, signing ? key : nullptr, signing ? nullptr : key,
                      params, sign_param));
  return sign_verify_init(*ctx->sign_ctx, c.kind);
}

// The inner state of a stream of kind `kind` whose Init completed, or null.
QL_ASYM_SIGN_CTX *started(QL_ASYM_CTX *ctx, int32_t kind) {
  if (ctx == nullptr || ctx->kind != kind || ctx->sign_ctx == nullptr ||
      ctx->sign_ctx->digest_id == 0) {
    return nullptr;
  }
  return ctx->sign_ctx;
}

Status stream_update(const StreamCodes &c, QL_ASYM_CTX *ctx, const uint8_t *data, uint32_t len) {
  QL_ASYM_SIGN_CTX *sc = started(ctx, c.kind);
  if (sc == nullptr || data == nullptr) {
    return c.update_arg;
  }
  return QL_Hash_Update(&sc->hash, data, len);
}

// Finishes the digest and hands it, with the stream's copies, to the algorithm; `out`,
// `out_len` for signing, `sig`, `sig_len` for verifying.
Status stream_final(const StreamCodes &c, QL_ASYM_SIGN_CTX &sc, uint8_t *out, uint32_t *out_len,
                    const uint8_t *sig, uint32_t sig_len) {
  Wiped<std::array<uint8_t, kMaxDigestLen>> digest;
  uint32_t digest_len = 0;
  QL_TRY(QL_Hash_Final(&sc.hash, digest.get().data(), &digest_len));
  const SignScheme *s = scheme_of(sc.sign_id);
  if (s == nullptr || s->kind == SignKind::kPkcs1V15Raw) {
    return c.final_id;
  }
  const bool signing = c.kind == QL_ASYM_SIGNING;
  const QL_ASYM_KEY *key = signing ? sc.private_key : sc.public_key;
  const PkeyDesc *d = key == nullptr ? nullptr : pkey_of(key->algorithm);
  if (d == nullptr || d->id != s->pkey) {
    return kErrAsymInvalidInput;
  }
  const void *params = nullptr;
  if (d->has_params) {
    QL_TRY(params_for(*d, sc.params, params));
  }
  const SignInput in = {s,          sc.digest_id,  digest.get().data(),
                        digest_len, sc.sign_param, c.final_alloc};
  if (signing) {
    return d->sign(out, out_len, in, key->body, params);
  }
  return d->verify(sig, sig_len, in, key->body, params);
}

// The one-call forms: scheme 9 wraps the caller's digest directly, every other scheme runs a
// stream over the whole message.
struct OneCallCodes {
  const StreamCodes *stream;
  Status arg, digest_flag, alloc;
};
constexpr OneCallCodes kSignOne = {&kSignCodes, kErrAsymSignArg, kErrAsymSignDigestFlag,
                                   kErrAsymSignAlloc};
constexpr OneCallCodes kVerifyOne = {&kVerifyCodes, kErrAsymVerifyArg, kErrAsymVerifyDigestFlag,
                                     kErrAsymVerifyAlloc};

Status one_call(const OneCallCodes &c, uint8_t *out, uint32_t *out_len, const uint8_t *sig,
                uint32_t sig_len, int32_t input_is_digest, const uint8_t *msg, uint32_t msg_len,
                int32_t sign_id, const QL_ASYM_KEY *key, const QL_ASYM_KEY *params,
                const QL_ASYM_SIGN_PARAM *sign_param) {
  const bool signing = c.stream->kind == QL_ASYM_SIGNING;
  if ((signing ? (out == nullptr || out_len == nullptr) : sig == nullptr) || msg == nullptr ||
      key == nullptr || key->body == nullptr) {
    return c.arg;
  }
  if (params != nullptr && params->body != nullptr && params->algorithm != key->algorithm) {
    return c.arg;
  }
  const SignScheme *s = scheme_of(sign_id);
  if (s != nullptr && s->kind == SignKind::kPkcs1V15Raw) {
    if (key->algorithm != s->pkey) {
      return kErrAsymInvalidInput;
    }
    if (input_is_digest != 1) {
      return c.digest_flag;
    }
    if (msg_len > kMaxDigestLen) {
      return c.arg;
    }
    const PkeyDesc *d = pkey_of(key->algorithm);
    const SignInput in = {s, s->digest, msg, msg_len, nullptr, c.stream->final_alloc};
    if (signing) {
      return d->sign(out, out_len, in, key->body, nullptr);
    }
    return d->verify(sig, sig_len, in, key->body, nullptr);
  }
  if (input_is_digest != 0) {
    return c.digest_flag;
  }
  QL_ASYM_CTX *ctx = QL_ASYM_CTX_New();
  if (ctx == nullptr) {
    return critical(c.alloc);
  }
  Status st = stream_init(*c.stream, ctx, sign_id, key, params, sign_param);
  if (st == kOk) {
    st = stream_update(*c.stream, ctx, msg, msg_len);
  }
  if (st == kOk) {
    st = stream_final(*c.stream, *ctx->sign_ctx, out, out_len, sig, sig_len);
  }
  QL_ASYM_CTX_Delete(ctx);
  return st;
}

}  // namespace

const PkeyDesc *pkey_of(int32_t id) {
  for (const PkeyDesc *d : kPkeys) {
    if (d->id == id) {
      return d;
    }
  }
  return nullptr;
}

const SignScheme *scheme_of(int32_t id) {
  for (const SignScheme &s : kSchemes) {
    if (s.id == id) {
      return &s;
    }
  }
  return nullptr;
}

Status sign_ctx_set(QL_ASYM_SIGN_CTX &sc, int32_t sign_id, const QL_ASYM_KEY *private_key,
                    const QL_ASYM_KEY *public_key, const QL_ASYM_KEY *params,
                    const QL_ASYM_SIGN_PARAM *sign_param) {
  sc.sign_id = sign_id;
  if (private_key != nullptr && private_key->body != nullptr) {
    QL_TRY(copy_record(sc.private_key, *private_key, kRolePrivate, kErrAsymCopyPrivAlg));
  }
  if (public_key != nullptr && public_key->body != nullptr) {
    QL_TRY(copy_public_record(sc.public_key, *public_key));
  }
  if (params != nullptr && params->body != nullptr) {
    QL_TRY(copy_record(sc.params, *params, kRoleParams, kErrAsymParamsCopyAlg));
  }
  if (sign_param != nullptr) {
    QL_TRY(copy_sign_param(sc.sign_param, sign_id, *sign_param));
  }
  return kOk;
}

Status sign_verify_init(QL_ASYM_SIGN_CTX &sc, int32_t kind) {
  const SignScheme *s = scheme_of(sc.sign_id);
  if (s == nullptr || s->kind == SignKind::kPkcs1V15Raw) {
    return kErrAsymStreamId;
  }
  int32_t digest_id = s->digest;
  const QL_ASYM_KEY *z_key = nullptr;
  switch (s->kind) {
    case SignKind::kPkcs1V15:
    case SignKind::kPkcs1V15Raw:
      break;
    case SignKind::kEcdsa:
      if (sc.params == nullptr) {
        return kErrAsymStreamMissing;
      }
      break;
    case SignKind::kPss:
      if (sc.sign_param == nullptr) {
        return kErrAsymStreamMissing;
      }
      digest_id = sc.sign_param->pss.hash_id;
      break;
    case SignKind::kKcdsa:
      z_key = kind == QL_ASYM_SIGNING
                  ? (sc.sign_param == nullptr ? nullptr : sc.sign_param->public_key)
                  : sc.public_key;
      if (z_key == nullptr || z_key->body == nullptr || sc.params == nullptr) {
        return kErrAsymStreamMissing;
      }
      if (digest_id < QL_HASH_HAS160 || digest_id > QL_HASH_SHA256) {
        return kErrAsymStreamKcdsaDigest;
      }
      break;
  }
  QL_TRY(QL_Hash_Init(&sc.hash, digest_id));
  if (z_key != nullptr) {
    const uint32_t block = digest_of(digest_id)->block_len;
    uint8_t z[128] = {};
    kcdsa_z(z, *static_cast<const Big *>(z_key->body), block);
    QL_TRY(QL_Hash_Update(&sc.hash, z, block));
  }
  sc.digest_id = digest_id;
  return kOk;
}

}  // namespace ql

// Exported functions.

using ql::pkey_of;
using ql::PkeyDesc;

QL_ASYM_KEY *QL_ASYM_Parameters_New(void) { return ql::new_zeroed<QL_ASYM_KEY>(); }
QL_ASYM_KEY *QL_ASYM_PrivateKey_New(void) { return ql::new_zeroed<QL_ASYM_KEY>(); }
QL_ASYM_KEY *QL_ASYM_PublicKey_New(void) { return ql::new_zeroed<QL_ASYM_KEY>(); }

void QL_ASYM_Parameters_Delete(QL_ASYM_KEY *params) { ql::delete_key(params, ql::kRoleParams); }
void QL_ASYM_PrivateKey_Delete(QL_ASYM_KEY *key) { ql::delete_key(key, ql::kRolePrivate); }
void QL_ASYM_PublicKey_Delete(QL_ASYM_KEY *key) { ql::delete_key(key, ql::kRolePublic); }

QL_ASYM_SIGN_PARAM *QL_ASYM_SignParam_New(void) { return ql::new_zeroed<QL_ASYM_SIGN_PARAM>(); }

void QL_ASYM_SignParam_Delete(QL_ASYM_SIGN_PARAM *sign_param, int32_t sign_id) {
  ql::sign_param_delete(sign_param, sign_id);
}

QL_ASYM_CTX *QL_ASYM_CTX_New(void) { return ql::new_zeroed<QL_ASYM_CTX>(); }

void QL_ASYM_CTX_Delete(QL_ASYM_CTX *ctx) {
  if (ctx == nullptr) {
    return;
  }
  ql::sign_ctx_delete(ctx->sign_ctx);
  ql::delete_wiped(ctx);
}

int32_t QL_ASYM_PublicKey_Copy(QL_ASYM_KEY *dst, const QL_ASYM_KEY *src) {
  if (dst == nullptr || src == nullptr) {
    return ql::kErrAsymPubCopy;
  }
  return ql::public_key_copy(*dst, *src);
}

namespace {

// The encoders and decoders of the three roles differ only in their codes.
struct CodecCodes {
  ql::KeyRole role;
  ql::Status null_arg, unknown, alloc;
};
constexpr CodecCodes kParamsCodec = {ql::kRoleParams, ql::kErrAsymParamsEncodeNull,
                                     ql::kErrAsymParamsEncodeAlg, 0};
constexpr CodecCodes kPrivateCodec = {ql::kRolePrivate, ql::kErrAsymPrivEncodeNull,
                                      ql::kErrAsymPrivEncodeAlg, 0};
constexpr CodecCodes kPublicCodec = {ql::kRolePublic, ql::kErrAsymPubEncodeNull,
                                     ql::kErrAsymPubEncodeAlg, 0};
constexpr CodecCodes kParamsDecode = {ql::kRoleParams, ql::kErrAsymParamsDecodeNull,
                                      ql::kErrAsymParamsDecodeAlg, ql::kErrAsymParamsDecodeAlloc};
constexpr CodecCodes kPrivateDecode = {ql::kRolePrivate, ql::kErrAsymPrivDecodeNull,
                                       ql::kErrAsymPrivDecodeAlg, ql::kErrAsymPrivDecodeAlloc};
constexpr CodecCodes kPublicDecode = {ql::kRolePublic, ql::kErrAsymPubDecodeNull,
                                      ql::kErrAsymPubDecodeAlg, ql::kErrAsymPubDecodeAlloc};

// The parameter body a key codec of `d` needs (null when it needs none).
ql::Status codec_params(const PkeyDesc &d, ql::KeyRole role, const QL_ASYM_KEY *params,
                        const void *&body) {
  body = nullptr;
  if (role == ql::kRoleParams || !d.codec_needs_params) {
    return ql::kOk;
  }
  return ql::params_for(d, params, body);
}

ql::Status encode(const CodecCodes &c, uint8_t *out, uint32_t *out_len, const QL_ASYM_KEY *key,
                  const QL_ASYM_KEY *params) {
  if (out_len == nullptr || key == nullptr || key->body == nullptr) {
    return c.null_arg;
  }
  const PkeyDesc *d = pkey_of(key->algorithm);
  if (d == nullptr || d->encode[c.role] == nullptr) {
    return c.unknown;
  }
  const void *pbody = nullptr;
  QL_TRY(codec_params(*d, c.role, params, pbody));
  return d->encode[c.role](out, out_len, key->body, pbody);
}

ql::Status decode(const CodecCodes &c, QL_ASYM_KEY *key, int32_t algorithm, const uint8_t *in,
                  uint32_t in_len, const QL_ASYM_KEY *params) {
  if (key == nullptr || in == nullptr || !ql::is_empty(*key)) {
    return c.null_arg;
  }
  const PkeyDesc *d = pkey_of(algorithm);
  if (d == nullptr || d->decode[c.role] == nullptr) {
    return c.unknown;
  }
  const void *pbody = nullptr;
  QL_TRY(codec_params(*d, c.role, params, pbody));
  QL_TRY(ql::make_body(*key, *d, c.role, c.alloc));
  return d->decode[c.role](key->body, in, in_len, pbody);
}

}  // namespace

int32_t QL_ASYM_Parameters_Encode(uint8_t *out, uint32_t *out_len, const QL_ASYM_KEY *params) {
  return encode(kParamsCodec, out, out_len, params, nullptr);
}

int32_t QL_ASYM_Parameters_Decode(QL_ASYM_KEY *params, int32_t algorithm, const uint8_t *in,
                                  uint32_t in_len) {
  return decode(kParamsDecode, params, algorithm, in, in_len, nullptr);
}

int32_t QL_ASYM_PrivateKey_Encode(uint8_t *out, uint32_t *out_len, const QL_ASYM_KEY *key,
                                  const QL_ASYM_KEY *params) {
  return encode(kPrivateCodec, out, out_len, key, params);
}

int32_t QL_ASYM_PrivateKey_Decode(QL_ASYM_KEY *key, int32_t algorithm, const uint8_t *in,
                                  uint32_t in_len, const QL_ASYM_KEY *params) {
  return decode(kPrivateDecode, key, algorithm, in, in_len, params);
}

int32_t QL_ASYM_PublicKey_Encode(uint8_t *out, uint32_t *out_len, const QL_ASYM_KEY *key,
                                 const QL_ASYM_KEY *params) {
  return encode(kPublicCodec, out, out_len, key, params);
}

int32_t QL_ASYM_PublicKey_Decode(QL_ASYM_KEY *key, int32_t algorithm, const uint8_t *in,
                                 uint32_t in_len, const QL_ASYM_KEY *params) {
  return decode(kPublicDecode, key, algorithm, in, in_len, params);
}

int32_t QL_ASYM_GenerateParameters(QL_ASYM_KEY *params, int32_t algorithm, const uint32_t *size) {
  if (params == nullptr || size == nullptr || !ql::is_empty(*params)) {
    return ql::kErrAsymGenParamsNull;
  }
  const PkeyDesc *d = pkey_of(algorithm);
  if (d == nullptr || d->generate_params == nullptr) {
    return ql::kErrAsymGenParamsAlg;
  }
  QL_TRY(ql::make_body(*params, *d, ql::kRoleParams, ql::kErrAsymGenParamsAlloc));
  return d->generate_params(params->body, *size);
}

int32_t QL_ASYM_VerifyParameters(const QL_ASYM_KEY *params, int32_t digest_id) {
  if (params == nullptr || params->body == nullptr || digest_id < QL_HASH_HAS160 ||
      digest_id > QL_HASH_SHA512) {
    return ql::kErrAsymVerifyParamsNull;
  }
  const PkeyDesc *d = pkey_of(params->algorithm);
  if (d == nullptr || d->verify_params == nullptr) {
    return ql::kErrAsymVerifyParamsAlg;
  }
  return d->verify_params(params->body, digest_id);
}

int32_t QL_ASYM_GenerateKeyPair(QL_ASYM_KEY *private_key, QL_ASYM_KEY *public_key,
                                int32_t algorithm, const QL_ASYM_KEY *params,
                                const QL_ASYM_KEYGEN_PARAM *keygen) {
  if (private_key == nullptr || public_key == nullptr || keygen == nullptr ||
      private_key == public_key || !ql::is_empty(*private_key) || !ql::is_empty(*public_key)) {
    return ql::kErrAsymGenPairNull;
  }
  const PkeyDesc *d = pkey_of(algorithm);
  if (d == nullptr) {
    return ql::kErrAsymGenPairAlg;
  }
  const void *pbody = nullptr;
  if (d->has_params) {
    QL_TRY(ql::params_for(*d, params, pbody));
  }
  QL_TRY(ql::make_body(*private_key, *d, ql::kRolePrivate, ql::kErrAsymGenPairAlloc));
  QL_TRY(ql::make_body(*public_key, *d, ql::kRolePublic, ql::kErrAsymGenPairAlloc));
  return d->generate_pair(private_key->body, public_key->body, pbody, *keygen);
}

int32_t QL_ASYM_VerifyPublicKey(const QL_ASYM_KEY *public_key, const QL_ASYM_KEY *params) {
  if (public_key == nullptr || public_key->body == nullptr) {
    return ql::kErrAsymVerifyPubNull;
  }
  const PkeyDesc *d = pkey_of(public_key->algorithm);
  if (d == nullptr) {
    return ql::kErrAsymVerifyPubAlg;
  }
  const void *pbody = nullptr;
  if (d->has_params) {
    QL_TRY(ql::params_for(*d, params, pbody));
  }
  return d->verify_public(public_key->body, pbody);
}

int32_t QL_ASYM_ProveKeyPair(const QL_ASYM_KEY *private_key, const QL_ASYM_KEY *public_key,
                             const QL_ASYM_KEY *params) {
  if (private_key == nullptr || private_key->body == nullptr || public_key == nullptr ||
      public_key->body == nullptr) {
    return ql::kErrAsymProveNull;
  }
  if (private_key->algorithm != public_key->algorithm) {
    return ql::kErrAsymInvalidInput;
  }
  const PkeyDesc *d = pkey_of(private_key->algorithm);
  if (d == nullptr) {
    return ql::kErrAsymProveAlg;
  }
  const void *pbody = nullptr;
  if (d->has_params) {
    QL_TRY(ql::params_for(*d, params, pbody));
  }
  return d->prove_pair(private_key->body, public_key->body, pbody);
}

namespace {

// Encryption and decryption: the same checks with their own codes, then PKCS #1 with the RSA
// body of `key`.
template <typename Body>
ql::Status rsa_crypt(ql::Status null_arg, ql::Status unknown, uint8_t *out, uint32_t *out_len,
                     const uint8_t *in, uint32_t in_len, int32_t enc_id, const QL_ASYM_KEY *key,
                     const QL_OAEP_PARAM *oaep,
                     int32_t (*v15)(uint8_t *, uint32_t *, const uint8_t *, uint32_t, const Body *),
                     int32_t (*oaep_fn)(uint8_t *, uint32_t *, const uint8_t *, uint32_t,
                                        const Body *, const QL_OAEP_PARAM *)) {
  if (out == nullptr || out_len == nullptr || in == nullptr || key == nullptr ||
      key->body == nullptr) {
    return null_arg;
  }
  if (enc_id != QL_PENC_RSA_V15 && enc_id != QL_PENC_RSA_OAEP) {
    return unknown;
  }
  if (key->algorithm != QL_PKEY_RSA) {
    return ql::kErrAsymInvalidInput;
  }
  const auto *body = static_cast<const Body *>(key->body);
  if (enc_id == QL_PENC_RSA_V15) {
    return v15(out, out_len, in, in_len, body);
  }
  if (oaep == nullptr) {
    return null_arg;
  }
  return oaep_fn(out, out_len, in, in_len, body, oaep);
}

}  // namespace

int32_t QL_ASYM_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                        int32_t enc_id, const QL_ASYM_KEY *public_key, const QL_OAEP_PARAM *oaep) {
  return rsa_crypt<QL_RSA_PUBLIC_KEY>(ql::kErrAsymEncryptNull, ql::kErrAsymEncryptId, out, out_len,
                                      in, in_len, enc_id, public_key, oaep, QL_PKCS1_V15_Encrypt,
                                      QL_PKCS1_OAEP_Encrypt);
}

int32_t QL_ASYM_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                        int32_t enc_id, const QL_ASYM_KEY *private_key, const QL_OAEP_PARAM *oaep) {
  return rsa_crypt<QL_RSA_PRIVATE_KEY>(ql::kErrAsymDecryptNull, ql::kErrAsymDecryptId, out, out_len,
                                       in, in_len, enc_id, private_key, oaep, QL_PKCS1_V15_Decrypt,
                                       QL_PKCS1_OAEP_Decrypt);
}

int32_t QL_ASYM_Sign_Init(QL_ASYM_CTX *ctx, int32_t sign_id, const QL_ASYM_KEY *private_key,
                          const QL_ASYM_KEY *params, const QL_ASYM_SIGN_PARAM *sign_param) {
  return ql::stream_init(ql::kSignCodes, ctx, sign_id, private_key, params, sign_param);
}

int32_t QL_ASYM_Sign_Update(QL_ASYM_CTX *ctx, const uint8_t *data, uint32_t data_len) {
  return ql::stream_update(ql::kSignCodes, ctx, data, data_len);
}

int32_t QL_ASYM_Sign_Final(QL_ASYM_CTX *ctx, uint8_t *out, uint32_t *out_len) {
  QL_ASYM_SIGN_CTX *sc = ql::started(ctx, QL_ASYM_SIGNING);
  if (sc == nullptr || out == nullptr || out_len == nullptr) {
    return ql::kErrAsymSignFinalArg;
  }
  return ql::stream_final(ql::kSignCodes, *sc, out, out_len, nullptr, 0);
}

int32_t QL_ASYM_Verify_Init(QL_ASYM_CTX *ctx, int32_t sign_id, const QL_ASYM_KEY *public_key,
                            const QL_ASYM_KEY *params, const QL_ASYM_SIGN_PARAM *sign_param) {
  return ql::stream_init(ql::kVerifyCodes, ctx, sign_id, public_key, params, sign_param);
}

int32_t QL_ASYM_Verify_Update(QL_ASYM_CTX *ctx, const uint8_t *data, uint32_t data_len) {
  return ql::stream_update(ql::kVerifyCodes, ctx, data, data_len);
}

int32_t QL_ASYM_Verify_Final(QL_ASYM_CTX *ctx, const uint8_t *signature, uint32_t signature_len) {
  QL_ASYM_SIGN_CTX *sc = ql::started(ctx, QL_ASYM_VERIFYING);
  if (sc == nullptr || signature == nullptr) {
    return ql::kErrAsymVerifyFinalArg;
  }
  return ql::stream_final(ql::kVerifyCodes, *sc, nullptr, nullptr, signature, signature_len);
}

int32_t QL_ASYM_Sign(uint8_t *out, uint32_t *out_len, int32_t input_is_digest, const uint8_t *msg,
                     uint32_t msg_len, int32_t sign_id, const QL_ASYM_KEY *private_key,
                     const QL_ASYM_KEY *params, const QL_ASYM_SIGN_PARAM *sign_param) {
  return ql::one_call(ql::kSignOne, out, out_len, nullptr, 0, input_is_digest, msg, msg_len,
                      sign_id, private_key, params, sign_param);
}

int32_t QL_ASYM_Verify(const uint8_t *signature, uint32_t signature_len, int32_t input_is_digest,
                       const uint8_t *msg, uint32_t msg_len, int32_t sign_id,
                       const QL_ASYM_KEY *public_key, const QL_ASYM_KEY *params,
                       const QL_ASYM_SIGN_PARAM *sign_param) {
  return ql::one_call(ql::kVerifyOne, nullptr, nullptr, signature, signature_len, input_is_digest,
                      msg, msg_len, sign_id, public_key, params, sign_param);
}
