// The module's public-key services: parameter and key-pair generation with the pair-wise test,
// key-pair checks, encryption, decryption, signatures and verification, each in the frame of
// ql_frame.h. The dispatcher only ever sees private deep copies of the caller's records; the
// caller's records are read through const encoders and never normalised or kept, and the output
// records of the generation services are written only once everything has succeeded.
#include "module/ql_crypto_asym.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "module/ql_cmvp.h"
#include "module/ql_frame.h"
#include "pk/ql_pkcs1.h"

namespace ql {
namespace {

// The largest RSA modulus the library generates, which bounds every output of the pair test.
constexpr size_t kMaxPairTestOut = 512;
constexpr uint32_t kPairTestMsgLen = 20;
constexpr uint8_t kPairTestByte = 0x0A;

constexpr int32_t kSign = 1;
constexpr int32_t kVerify = 2;

#if defined(QL_TEST_HOOKS)
std::atomic<bool> g_corrupt_generated_keys{false};
#endif

// A private record of one role, allocated on demand and deleted (wiped) with the scope.
template <QL_ASYM_KEY *(*kNew)(), void (*kDelete)(QL_ASYM_KEY *)>
class Record {
 public:
  Record() = default;
  ~Record() { kDelete(p_); }
  Record(const Record &) = delete;
  Record &operator=(const Record &) = delete;
  Status make(Status alloc_code) {
    p_ = kNew();
    return p_ != nullptr ? kOk : critical(alloc_code);
  }
  QL_ASYM_KEY *get() const { return p_; }
  // Gives up ownership: the record now belongs to whoever took get().
  void release() { p_ = nullptr; }
  // Hands the body over to the caller's empty record `out`, keeping its type word.
  void move_body_to(QL_ASYM_KEY &out) {
    out.algorithm = p_->algorithm;
    out.body = p_->body;
    p_->algorithm = 0;
    p_->body = nullptr;
  }

 private:
  QL_ASYM_KEY *p_ = nullptr;
};
using ParamsRecord = Record<QL_ASYM_Parameters_New, QL_ASYM_Parameters_Delete>;
using PrivateRecord = Record<QL_ASYM_PrivateKey_New, QL_ASYM_PrivateKey_Delete>;
using PublicRecord = Record<QL_ASYM_PublicKey_New, QL_ASYM_PublicKey_Delete>;

// The module's sign parameter, deleted with the scheme it was filled for.
class SignParamRecord {
 public:
  explicit SignParamRecord(int32_t sign_id) : sign_id_(sign_id) {}
  ~SignParamRecord() { QL_ASYM_SignParam_Delete(p_, sign_id_); }
  SignParamRecord(const SignParamRecord &) = delete;
  SignParamRecord &operator=(const SignParamRecord &) = delete;
  Status make(Status alloc_code) {
    p_ = QL_ASYM_SignParam_New();
    return p_ != nullptr ? kOk : critical(alloc_code);
  }
  QL_ASYM_SIGN_PARAM *get() const { return p_; }

 private:
  int32_t sign_id_;
  QL_ASYM_SIGN_PARAM *p_ = nullptr;
};

class OaepRecord {
 public:
  OaepRecord() = default;
  ~OaepRecord() { QLC_ASYM_PEncParam_Delete(p_); }
  OaepRecord(const OaepRecord &) = delete;
  OaepRecord &operator=(const OaepRecord &) = delete;
  // The module's copy of `src` for scheme `penc_id`: only OAEP reads one. A label longer than
  // the OAEP functions take gets their own code `too_long` rather than being dropped.
  Status copy(int32_t penc_id, const QL_OAEP_PARAM *src, Status too_long, Status alloc_code) {
    if (penc_id != QL_PENC_RSA_OAEP || src == nullptr) {
      return kOk;
    }
    if (src->label == nullptr && src->label_len != 0) {
      return kErrModPEncParamCopy;
    }
    if (src->label_len > kMaxOaepLabelLen) {
      return too_long;
    }
    p_ = QLC_ASYM_PEncParam_New();
    if (p_ == nullptr) {
      return critical(alloc_code);
    }
    return QLC_ASYM_PEncParam_Copy(p_, src);
  }
  const QL_OAEP_PARAM *get() const { return p_; }

 private:
  QL_OAEP_PARAM *p_ = nullptr;
};

bool is_empty(const QL_ASYM_KEY &k) { return k.algorithm == 0 && k.body == nullptr; }

using EncodeFn = int32_t (*)(uint8_t *, uint32_t *, const QL_ASYM_KEY *, const QL_ASYM_KEY *);
using DecodeFn = int32_t (*)(QL_ASYM_KEY *, int32_t, const uint8_t *, uint32_t,
                             const QL_ASYM_KEY *);

int32_t encode_params(uint8_t *out, uint32_t *out_len, const QL_ASYM_KEY *params,
                      const QL_ASYM_KEY *) {
  return QL_ASYM_Parameters_Encode(out, out_len, params);
}
int32_t decode_params(QL_ASYM_KEY *params, int32_t algorithm, const uint8_t *in, uint32_t in_len,
                      const QL_ASYM_KEY *) {
  return QL_ASYM_Parameters_Decode(params, algorithm, in, in_len);
}

// Encode, then decode into `dst`. The encoders take the caller's record as const and work on
// copies where they normalise an integer, so the source stays as it was byte for byte.
Status deep_copy(EncodeFn encode, DecodeFn decode, Status alloc_code, QL_ASYM_KEY *dst,
                 const QL_ASYM_KEY *src, const QL_ASYM_KEY *params) {
  uint32_t len = 0;
  QL_TRY(encode(nullptr, &len, src, params));
  Buffer der(size_t{len} + 1);
  if (!der) {
    return critical(alloc_code);
  }
  QL_TRY(encode(der.data(), &len, src, params));
  return decode(dst, src->algorithm, der.data(), len, params);
}

// A private copy of the caller's optional parameters (none when `src` is null).
Status copy_params(ParamsRecord &rec, const QL_ASYM_KEY *src, Status alloc_code) {
  if (src == nullptr) {
    return kOk;
  }
  QL_TRY(rec.make(alloc_code));
  return QLC_ASYM_Param_Copy(rec.get(), src);
}

Status copy_private(PrivateRecord &rec, const QL_ASYM_KEY *src, const QL_ASYM_KEY *params,
                    Status alloc_code) {
  QL_TRY(rec.make(alloc_code));
  return QLC_KEY_PriKey_Copy(rec.get(), src, params);
}

Status copy_public(PublicRecord &rec, const QL_ASYM_KEY *src, const QL_ASYM_KEY *params,
                   Status alloc_code) {
  QL_TRY(rec.make(alloc_code));
  return QLC_KEY_PubKey_Copy(rec.get(), src, params);
}

#if defined(QL_TEST_HOOKS)
// Changes one half of the pair so that no signature of the private key verifies under the
// public key, while both still encode: the RSA public exponent (still odd), the KCDSA y, the
// ECDSA d (the point stays on the curve).
void corrupt_pair(QL_ASYM_KEY &priv, QL_ASYM_KEY &pub) {
  switch (pub.algorithm) {
    case QL_PKEY_RSA:
      static_cast<QL_RSA_PUBLIC_KEY *>(pub.body)->e.words[0] += 2;
      break;
    case QL_PKEY_KCDSA:
      static_cast<Big *>(pub.body)->words[0] ^= 1;
      break;
    case QL_PKEY_ECDSA:
      static_cast<Big *>(priv.body)->words[0] ^= 2;
      break;
    default:
      break;
  }
}
#endif

}  // namespace

Status check_round_trip(const uint8_t *msg, uint32_t msg_len, const uint8_t *ct, uint32_t ct_len,
                        const uint8_t *dec, uint32_t dec_len) {
  // An encryption that left its input where it was, or the message in the clear, has failed
  // even when the decryption gives the message back.
  const bool unchanged = dec_len <= ct_len && std::memcmp(dec, ct, dec_len) == 0;
  const bool in_clear = ct_len >= msg_len && std::memcmp(ct, msg, msg_len) == 0;
  if (unchanged || in_clear || dec_len != msg_len || std::memcmp(dec, msg, msg_len) != 0) {
    return kErrModPairTestFailed;
  }
  return kOk;
}

namespace {

// The pair-wise test of a freshly generated pair: a signature of a fixed message must verify,
// and for RSA an OAEP encryption must change the message and decrypt back to it.
Status pair_test(const QL_ASYM_KEY &priv, QL_ASYM_KEY &pub, const QL_ASYM_KEY *params) {
  uint8_t msg[kPairTestMsgLen];
  std::memset(msg, kPairTestByte, sizeof(msg));
  int32_t sign_id = 0;
  QL_ASYM_SIGN_PARAM sp{};
  const QL_ASYM_SIGN_PARAM *sign_param = nullptr;
  switch (priv.algorithm) {
    case QL_PKEY_RSA:
      sign_id = QL_SIGN_RSA_V15_SHA1;
      break;
    case QL_PKEY_KCDSA:
      sign_id = QL_SIGN_KCDSA_SHA1;
      sp.public_key = &pub;
      sign_param = &sp;
      break;
    case QL_PKEY_ECDSA:
      sign_id = QL_SIGN_ECDSA_SHA1;
      break;
    default:
      return kErrModPairTestAlg;
  }
  std::array<uint8_t, kMaxPairTestOut> sig{};
  uint32_t sig_len = 0;
  QL_TRY(QL_ASYM_Sign(sig.data(), &sig_len, 0, msg, kPairTestMsgLen, sign_id, &priv, params,
                      sign_param));
  const Status v = QL_ASYM_Verify(sig.data(), sig_len, 0, msg, kPairTestMsgLen, sign_id, &pub,
                                  params, sign_param);
  if (v != kOk) {
    // Running out of memory is not an inconsistent pair: it keeps its own (critical) code.
    return is_critical(v) ? v : kErrModPairTestFailed;
  }
  if (priv.algorithm != QL_PKEY_RSA) {
    return kOk;
  }
  QL_OAEP_PARAM oaep = {QL_HASH_SHA1, 1, 1, nullptr, 0};
  std::array<uint8_t, kMaxPairTestOut> ct{};
  Wiped<std::array<uint8_t, kMaxPairTestOut>> dec;
  uint32_t ct_len = 0;
  uint32_t dec_len = 0;
  QL_TRY(QL_ASYM_Encrypt(ct.data(), &ct_len, msg, kPairTestMsgLen, QL_PENC_RSA_OAEP, &pub, &oaep));
  QL_TRY(QL_ASYM_Decrypt(dec.get().data(), &dec_len, ct.data(), ct_len, QL_PENC_RSA_OAEP, &priv,
                         &oaep));
  return check_round_trip(msg, kPairTestMsgLen, ct.data(), ct_len, dec.get().data(), dec_len);
}

// The pair-wise test as the state asks for it: run in the approved state, skipped in the
// non-approved one. A failure puts the module into its error state; a critical failure gets
// there through the exit rule.
Status conditional_test(QL_ASYM_KEY &priv, QL_ASYM_KEY &pub, const QL_ASYM_KEY *params) {
#if defined(QL_TEST_HOOKS)
  if (g_corrupt_generated_keys.load(std::memory_order_relaxed)) {
    corrupt_pair(priv, pub);
  }
#endif
  if (cmvp_state() != QLC_CM_STATE_APPROVED) {
    return kOk;
  }
  const Status r = pair_test(priv, pub, params);
  if (r != kOk && !is_critical(r)) {
    QLC_CMVP_MoveState(QLC_CM_STATE_ERROR);
  }
  return r;
}

// Encryption and decryption differ only in their codes, the key's role and the dispatcher
// function.
struct CryptCodes {
  Status null_arg, key_alloc, label_too_long;
};
constexpr CryptCodes kEncryptCodes = {kErrModEncryptNull, kErrModEncryptAlloc,
                                      kErrEmeOaepEncodeLength};
constexpr CryptCodes kDecryptCodes = {kErrModDecryptNull, kErrModDecryptAlloc, kErrEmeOaepDecode};

using CryptFn = int32_t (*)(uint8_t *, uint32_t *, const uint8_t *, uint32_t, int32_t,
                            const QL_ASYM_KEY *, const QL_OAEP_PARAM *);

template <typename KeyRecord>
Status crypt_service(const CryptCodes &c, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                     uint32_t in_len, int32_t penc_id, const QL_ASYM_KEY *key,
                     const QL_OAEP_PARAM *param,
                     Status (*copy_key)(KeyRecord &, const QL_ASYM_KEY *, const QL_ASYM_KEY *,
                                        Status),
                     CryptFn crypt) {
  if (out == nullptr || out_len == nullptr || in == nullptr || key == nullptr) {
    return c.null_arg;
  }
  *out_len = 0;
  const Status r = service([&]() -> Status {
    QL_TRY(QLC_State_CheckPEncID(penc_id));
    KeyRecord key_copy;
    QL_TRY(copy_key(key_copy, key, nullptr, c.key_alloc));
    // Both directions give the encryption's code when the parameter copy runs out of memory.
    OaepRecord oaep;
    QL_TRY(oaep.copy(penc_id, param, c.label_too_long, kErrModEncryptAlloc));
    return crypt(out, out_len, in, in_len, penc_id, key_copy.get(), oaep.get());
  });
  if (r != kOk) {
    *out_len = 0;
  }
  return r;
}

}  // namespace

#if defined(QL_TEST_HOOKS)
namespace test {
void corrupt_generated_keys(bool on) {
  g_corrupt_generated_keys.store(on, std::memory_order_relaxed);
}
}  // namespace test
#endif

}  // namespace ql

int32_t QLC_ASYM_Param_Copy(QL_ASYM_KEY *dst, const QL_ASYM_KEY *src) {
  return ql::deep_copy(ql::encode_params, ql::decode_params, ql::kErrModParamCopyAlloc, dst, src,
                       nullptr);
}

int32_t QLC_KEY_PriKey_Copy(QL_ASYM_KEY *dst, const QL_ASYM_KEY *src, const QL_ASYM_KEY *params) {
  return ql::deep_copy(QL_ASYM_PrivateKey_Encode, QL_ASYM_PrivateKey_Decode,
                       ql::kErrModPriKeyCopyAlloc, dst, src, params);
}

int32_t QLC_KEY_PubKey_Copy(QL_ASYM_KEY *dst, const QL_ASYM_KEY *src, const QL_ASYM_KEY *params) {
  return ql::deep_copy(QL_ASYM_PublicKey_Encode, QL_ASYM_PublicKey_Decode,
                       ql::kErrModPubKeyCopyAlloc, dst, src, params);
}

QL_OAEP_PARAM *QLC_ASYM_PEncParam_New(void) { return ql::new_zeroed<QL_OAEP_PARAM>(); }

void QLC_ASYM_PEncParam_Delete(QL_OAEP_PARAM *param) {
  if (param == nullptr) {
    return;
  }
  ql::free_wiped(param->label, param->label_len);
  ql::free_wiped(param, sizeof(*param));
}

int32_t QLC_ASYM_PEncParam_Copy(QL_OAEP_PARAM *dst, const QL_OAEP_PARAM *src) {
  if (dst == nullptr || src == nullptr || (src->label == nullptr && src->label_len != 0) ||
      src->label_len > ql::kMaxOaepLabelLen || dst->label != nullptr) {
    return ql::kErrModPEncParamCopy;
  }
  *dst = QL_OAEP_PARAM{};
  dst->hash_id = src->hash_id;
  dst->mgf_id = src->mgf_id;
  dst->source_id = src->source_id;
  if (src->label_len == 0) {
    return ql::kOk;
  }
  auto *label = static_cast<uint8_t *>(ql::alloc(src->label_len));
  if (label == nullptr) {
    return ql::critical(ql::kErrModLabelAlloc);
  }
  std::memcpy(label, src->label, src->label_len);
  dst->label = label;
  dst->label_len = src->label_len;
  return ql::kOk;
}

int32_t QLC_ASYM_SignParam_Convert(QL_ASYM_SIGN_PARAM *dst, int32_t direction, int32_t sign_id,
                                   const QL_ASYM_SIGN_PARAM *src, const QL_ASYM_KEY *params) {
  if (direction != ql::kSign && direction != ql::kVerify) {
    return ql::kOk;
  }
  switch (sign_id) {
    case QL_SIGN_RSA_PSS:
    case QL_SIGN_RSA_PSS_32:
    case QL_SIGN_RSA_PSS_33:
    case QL_SIGN_RSA_PSS_34:
      if (src == nullptr) {
        return ql::kErrModSignParamMissing;
      }
      dst->pss = src->pss;
      return ql::kOk;
    case QL_SIGN_KCDSA_SHA1:
    case QL_SIGN_KCDSA_HAS160:
    case QL_SIGN_KCDSA_SHA256: {
      if (src == nullptr || src->public_key == nullptr) {
        return ql::kErrModSignParamMissing;
      }
      ql::PublicRecord key;
      QL_TRY(ql::copy_public(key, src->public_key, params, ql::kErrModSignParamAlloc));
      dst->public_key = key.get();
      key.release();
      return ql::kOk;
    }
    default:
      return ql::kOk;
  }
}

// Exported functions.

QL_ASYM_KEY *QLC_ASYM_Param_New(void) { return QL_ASYM_Parameters_New(); }
void QLC_ASYM_Param_Delete(QL_ASYM_KEY *params) { QL_ASYM_Parameters_Delete(params); }
QL_ASYM_KEY *QLC_KEY_PriKey_New(void) { return QL_ASYM_PrivateKey_New(); }
void QLC_KEY_PriKey_Delete(QL_ASYM_KEY *key) { QL_ASYM_PrivateKey_Delete(key); }
QL_ASYM_KEY *QLC_KEY_PubKey_New(void) { return QL_ASYM_PublicKey_New(); }
void QLC_KEY_PubKey_Delete(QL_ASYM_KEY *key) { QL_ASYM_PublicKey_Delete(key); }

int32_t QLC_ASYM_GenParam(QL_ASYM_KEY *params, int32_t pkey_id, const uint32_t *gen_param) {
  if (params == nullptr || gen_param == nullptr || !ql::is_empty(*params)) {
    return ql::kErrAsymGenParamsNull;
  }
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckPKeyID(pkey_id));
    ql::ParamsRecord priv;
    QL_TRY(priv.make(ql::kErrModGenParamAlloc));
    const uint32_t size = (pkey_id == QL_PKEY_KCDSA || pkey_id == QL_PKEY_ECDSA) ? *gen_param : 0;
    QL_TRY(QL_ASYM_GenerateParameters(priv.get(), pkey_id, &size));
    // The copy goes through the encoding, as every record that crosses the boundary does.
    ql::ParamsRecord out;
    QL_TRY(out.make(ql::kErrModGenParamAlloc));
    QL_TRY(QLC_ASYM_Param_Copy(out.get(), priv.get()));
    out.move_body_to(*params);
    return ql::kOk;
  });
}

int32_t QLC_KEY_GenKeyPair(QL_ASYM_KEY *pri_key, QL_ASYM_KEY *pub_key, int32_t pkey_id,
                           const QL_ASYM_KEY *params, const QL_ASYM_KEYGEN_PARAM *keygen) {
  if (pri_key == nullptr || pub_key == nullptr || keygen == nullptr || pri_key == pub_key ||
      !ql::is_empty(*pri_key) || !ql::is_empty(*pub_key)) {
    return ql::kErrModGenKeyPairNull;
  }
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckPKeyID(pkey_id));
    const QL_ASYM_KEYGEN_PARAM words = *keygen;
    ql::PrivateRecord priv;
    ql::PublicRecord pub;
    ql::ParamsRecord prm;
    QL_TRY(priv.make(ql::kErrModGenKeyPairAlloc));
    QL_TRY(pub.make(ql::kErrModGenKeyPairAlloc));
    QL_TRY(ql::copy_params(prm, params, ql::kErrModGenKeyPairAlloc));
    QL_TRY(QL_ASYM_GenerateKeyPair(priv.get(), pub.get(), pkey_id, prm.get(), &words));
    QL_TRY(ql::conditional_test(*priv.get(), *pub.get(), prm.get()));
    // Both copies are made before either caller record is written.
    ql::PrivateRecord priv_out;
    ql::PublicRecord pub_out;
    QL_TRY(ql::copy_private(priv_out, priv.get(), prm.get(), ql::kErrModGenKeyPairAlloc));
    QL_TRY(ql::copy_public(pub_out, pub.get(), prm.get(), ql::kErrModGenKeyPairAlloc));
    priv_out.move_body_to(*pri_key);
    pub_out.move_body_to(*pub_key);
    return ql::kOk;
  });
}

int32_t QLC_KEY_CheckKeyPair(const QL_ASYM_KEY *pri_key, const QL_ASYM_KEY *pub_key,
                             const QL_ASYM_KEY *params) {
  if (pri_key == nullptr || pub_key == nullptr) {
    return ql::kErrModCheckKeyPairNull;
  }
  return ql::service([&]() -> ql::Status {
    ql::ParamsRecord prm;
    QL_TRY(ql::copy_params(prm, params, ql::kErrModCheckKeyPairAlloc));
    ql::PrivateRecord priv;
    QL_TRY(ql::copy_private(priv, pri_key, prm.get(), ql::kErrModCheckKeyPairAlloc));
    QL_TRY(QLC_State_CheckPKeyID(priv.get()->algorithm));
    ql::PublicRecord pub;
    QL_TRY(ql::copy_public(pub, pub_key, prm.get(), ql::kErrModCheckKeyPairAlloc));
    return QL_ASYM_ProveKeyPair(priv.get(), pub.get(), prm.get());
  });
}

int32_t QLC_ASYM_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                         int32_t penc_id, const QL_ASYM_KEY *pub_key,
                         const QL_OAEP_PARAM *penc_param) {
  return ql::crypt_service<ql::PublicRecord>(ql::kEncryptCodes, out, out_len, in, in_len, penc_id,
                                             pub_key, penc_param, ql::copy_public, QL_ASYM_Encrypt);
}

int32_t QLC_ASYM_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                         int32_t penc_id, const QL_ASYM_KEY *pri_key,
                         const QL_OAEP_PARAM *penc_param) {
  return ql::crypt_service<ql::PrivateRecord>(ql::kDecryptCodes, out, out_len, in, in_len, penc_id,
                                              pri_key, penc_param, ql::copy_private,
                                              QL_ASYM_Decrypt);
}

int32_t QLC_ASYM_Sign(uint8_t *sig, uint32_t *sig_len, int32_t input_is_digest, const uint8_t *msg,
                      uint32_t msg_len, int32_t sign_id, const QL_ASYM_KEY *pri_key,
                      const QL_ASYM_KEY *params, const QL_ASYM_SIGN_PARAM *sign_param) {
  if (sig == nullptr || sig_len == nullptr || msg == nullptr || pri_key == nullptr) {
    return ql::kErrModSignNull;
  }
  *sig_len = 0;
  const ql::Status r = ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckSignID(sign_id));
    ql::ParamsRecord prm;
    QL_TRY(ql::copy_params(prm, params, ql::kErrModSignAlloc));
    ql::PrivateRecord key;
    QL_TRY(ql::copy_private(key, pri_key, prm.get(), ql::kErrModSignAlloc));
    ql::SignParamRecord sp(sign_id);
    QL_TRY(sp.make(ql::kErrModSignAlloc));
    QL_TRY(QLC_ASYM_SignParam_Convert(sp.get(), ql::kSign, sign_id, sign_param, prm.get()));
    return QL_ASYM_Sign(sig, sig_len, input_is_digest, msg, msg_len, sign_id, key.get(), prm.get(),
                        sp.get());
  });
  if (r != ql::kOk) {
    *sig_len = 0;
  }
  return r;
}

int32_t QLC_ASYM_Verify(const uint8_t *sig, uint32_t sig_len, int32_t input_is_digest,
                        const uint8_t *msg, uint32_t msg_len, int32_t sign_id,
                        const QL_ASYM_KEY *pub_key, const QL_ASYM_KEY *params,
                        const QL_ASYM_SIGN_PARAM *sign_param) {
  if (sig == nullptr || msg == nullptr || pub_key == nullptr) {
    return ql::kErrModVerifyNull;
  }
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckSignID(sign_id));
    ql::ParamsRecord prm;
    QL_TRY(ql::copy_params(prm, params, ql::kErrModVerifyAlloc));
    ql::PublicRecord key;
    QL_TRY(ql::copy_public(key, pub_key, prm.get(), ql::kErrModVerifyAlloc));
    ql::SignParamRecord sp(sign_id);
    QL_TRY(sp.make(ql::kErrModVerifyAlloc));
    QL_TRY(QLC_ASYM_SignParam_Convert(sp.get(), ql::kVerify, sign_id, sign_param, prm.get()));
    return QL_ASYM_Verify(sig, sig_len, input_is_digest, msg, msg_len, sign_id, key.get(),
                          prm.get(), sp.get());
  });
}
