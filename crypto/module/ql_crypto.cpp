// The module's services: status messages and the version string, digests and HMACs, ciphers,
// random bytes and secret keys, each in the frame of ql_frame.h. The message lookup is a pure
// function of the code: a binary search over the code table of ql_codes.inc, sorted at compile
// time.
#include "module/ql_crypto.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "QuillonCrypto.h"
#include "digest/ql_digest.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "module/ql_cmvp.h"
#include "module/ql_frame.h"
#include "sym/ql_cipher.h"

namespace ql {
namespace {

// The fixed messages, in the order of ql_codes.inc.
enum class Message : uint8_t {
#define QL_MESSAGE(id, text) id,
#include "internal/ql_codes.inc"
};
constexpr const char *message_texts[] = {
#define QL_MESSAGE(id, text) text,
#include "internal/ql_codes.inc"
};

constexpr const char kVersion[] = "1.1.1.5";

struct MessageRange {
  int32_t low;
  int32_t high;
  Message message;
};

constexpr MessageRange code_table[] = {
#define QL_CODE(name, value, message) {value, value, Message::message},
#define QL_UNNAMED(low, high, message) {low, high, Message::message},
#include "internal/ql_codes.inc"
};
constexpr size_t kNumRanges = sizeof(code_table) / sizeof(code_table[0]);

// The table by ascending code, checked at compile time to hold each code at most once, so the
// lookup is a binary search over disjoint ranges.
struct SortedRanges {
  MessageRange r[kNumRanges];
};
constexpr SortedRanges sort_ranges() {
  SortedRanges s{};
  for (size_t i = 0; i < kNumRanges; i++) {
    s.r[i] = code_table[i];
  }
  for (size_t i = 1; i < kNumRanges; i++) {
    const MessageRange x = s.r[i];
    size_t j = i;
    while (j > 0 && s.r[j - 1].low > x.low) {
      s.r[j] = s.r[j - 1];
      j--;
    }
    s.r[j] = x;
  }
  return s;
}
constexpr SortedRanges sorted_ranges = sort_ranges();
constexpr bool ranges_disjoint() {
  for (size_t i = 0; i < kNumRanges; i++) {
    if (sorted_ranges.r[i].low > sorted_ranges.r[i].high) {
      return false;
    }
    if (i + 1 < kNumRanges && sorted_ranges.r[i].high >= sorted_ranges.r[i + 1].low) {
      return false;
    }
  }
  return true;
}
static_assert(ranges_disjoint(), "every code appears once in ql_codes.inc");

const char *message_for(int32_t code) {
  size_t lo = 0;
  size_t hi = kNumRanges;
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (code < sorted_ranges.r[mid].low) {
      hi = mid;
    } else if (code > sorted_ranges.r[mid].high) {
      lo = mid + 1;
    } else {
      return message_texts[static_cast<size_t>(sorted_ranges.r[mid].message)];
    }
  }
  return message_texts[static_cast<size_t>(Message::Internal)];
}

}  // namespace
}  // namespace ql

// Exported functions.

const char *QL_GetErrorString(int32_t code) { return ql::message_for(code); }

const char *QLC_CM_ErrorString(int32_t code) { return ql::message_for(code); }

const char *QL_GetVersion(int32_t) { return ql::kVersion; }

const char *QLC_CM_Version(int32_t) { return ql::kVersion; }

// The module's digest and HMAC services. Each runs the service frame: state step, family gate
// or context check, the work on private copies that are wiped and freed on every path, write-
// back only on success, and the exit rule that turns a critical result into the error state.

namespace ql {
namespace {

struct HashService {
  using Ctx = QL_HASH_CTX;
  using Private = PrivateCtx<QL_HASH_CTX, QLC_Hash_CTX_New, QLC_Hash_CTX_Delete>;
  static int32_t check(Ctx *ctx) { return QLC_State_CheckHashCtxState(ctx); }
  static int32_t copy(Ctx *dst, const Ctx *src) { return QLC_Hash_CTX_Copy(dst, src); }
};

struct HmacService {
  using Ctx = QL_HMAC_CTX;
  using Private = PrivateCtx<QL_HMAC_CTX, QLC_HMAC_CTX_New, QLC_HMAC_CTX_Delete>;
  static int32_t check(Ctx *ctx) { return QLC_State_CheckHmacCtxState(ctx); }
  static int32_t copy(Ctx *dst, const Ctx *src) { return QLC_HMAC_CTX_Copy(dst, src); }
};

// The secret-key copy of one call, wiped and freed with the scope.
class KeyCopy {
 public:
  KeyCopy() = default;
  ~KeyCopy() { free_wiped(data_, size_t{len_} + 1); }
  KeyCopy(const KeyCopy &) = delete;
  KeyCopy &operator=(const KeyCopy &) = delete;
  Status decode(const QLC_SECRET_KEY *key) {
    return QLC_KEY_SecKey_Decode(key, &alg_id_, &data_, &len_);
  }
  int32_t alg_id() const { return alg_id_; }
  const uint8_t *data() const { return data_; }
  uint32_t len() const { return len_; }

 private:
  int32_t alg_id_ = 0;
  uint8_t *data_ = nullptr;
  uint32_t len_ = 0;
};

constexpr size_t kMaxSecretKeyLen = sizeof(QLC_SECRET_KEY::key);

}  // namespace
}  // namespace ql

QL_HASH_CTX *QLC_Hash_CTX_New(void) { return QL_Hash_CTX_New(); }
void QLC_Hash_CTX_Delete(QL_HASH_CTX *ctx) { QL_Hash_CTX_Delete(ctx); }
QL_HMAC_CTX *QLC_HMAC_CTX_New(void) { return QL_HMAC_CTX_New(); }
void QLC_HMAC_CTX_Delete(QL_HMAC_CTX *ctx) { QL_HMAC_CTX_Delete(ctx); }

int32_t QLC_Hash_CTX_Copy(QL_HASH_CTX *dst, const QL_HASH_CTX *src) {
  if (dst == nullptr || src == nullptr) {
    return ql::kErrHashCtxCopyNull;
  }
  dst->algorithm = src->algorithm;
  dst->state_stamp = src->state_stamp;
  dst->info = src->info;
  const ql::DigestDesc *d = ql::digest_of(static_cast<int32_t>(src->algorithm));
  const size_t state_len = d != nullptr ? d->state_len : 0;
  std::memmove(&dst->digest, &src->digest, state_len);
  return ql::kOk;
}

int32_t QLC_HMAC_CTX_Copy(QL_HMAC_CTX *dst, const QL_HMAC_CTX *src) {
  if (dst == nullptr || src == nullptr) {
    return ql::kErrHmacCtxCopyNull;
  }
  dst->algorithm = src->algorithm;
  dst->state_stamp = src->state_stamp;
  std::memmove(dst->key_block, src->key_block, sizeof(dst->key_block));
  dst->key_block_len = src->key_block_len;
  dst->info = src->info;
  return QLC_Hash_CTX_Copy(&dst->inner, &src->inner);
}

int32_t QLC_KEY_SecKey_Decode(const QLC_SECRET_KEY *key, int32_t *alg_id, uint8_t **key_copy,
                              uint32_t *key_len) {
  // A length beyond the record's key bytes would read past the record: refused as malformed.
  if (key == nullptr || key->key_len > ql::kMaxSecretKeyLen) {
    return ql::kErrSecKeyNull;
  }
  const uint32_t len = key->key_len;
  uint8_t *copy = static_cast<uint8_t *>(ql::alloc(size_t{len} + 1));
  if (copy == nullptr) {
    return ql::critical(ql::kErrSecKeyAlloc);
  }
  std::memset(copy, 0, size_t{len} + 1);
  std::memcpy(copy, key->key, len);
  *alg_id = key->algorithm;
  *key_copy = copy;
  *key_len = len;
  return ql::kOk;
}

// Exported functions: digest and HMAC services.

int32_t QLC_Hash(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                 int32_t hash_id) {
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckHashID(hash_id));
    return QL_Hash(out, out_len, in, in_len, hash_id);
  });
}

int32_t QLC_Hash_Init(QL_HASH_CTX *ctx, int32_t hash_id) {
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckHashID(hash_id));
    const ql::HashService::Private priv;
    if (!priv) {
      return ql::critical(ql::kErrHashInitAlloc);
    }
    QL_TRY(QL_Hash_Init(priv.get(), hash_id));
    return ql::stamp_and_copy_out<ql::HashService>(ctx, priv.get());
  });
}

int32_t QLC_Hash_Update(QL_HASH_CTX *ctx, const uint8_t *in, uint32_t in_len) {
  return ql::on_private_copy<ql::HashService>(
      ctx, ql::kErrHashUpdateAlloc, ql::AfterCall::kWriteBack,
      [&](QL_HASH_CTX &priv) { return QL_Hash_Update(&priv, in, in_len); });
}

int32_t QLC_Hash_Final(QL_HASH_CTX *ctx, uint8_t *out, uint32_t *out_len) {
  // The caller's context keeps its running state: Final works on the copy only.
  return ql::on_private_copy<ql::HashService>(
      ctx, ql::kErrHashFinalAlloc, ql::AfterCall::kKeep,
      [&](QL_HASH_CTX &priv) { return QL_Hash_Final(&priv, out, out_len); });
}

int32_t QLC_HMAC(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                 const QLC_SECRET_KEY *key, int32_t mac_id) {
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckMacID(mac_id));
    ql::KeyCopy key_copy;
    QL_TRY(key_copy.decode(key));
    if (key_copy.alg_id() != mac_id) {
      return ql::kErrHmacKeyMismatch;
    }
    return QL_HMAC(out, out_len, in, in_len, key_copy.data(), key_copy.len(), mac_id);
  });
}

int32_t QLC_HMAC_Init(QL_HMAC_CTX *ctx, const QLC_SECRET_KEY *key, int32_t mac_id) {
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckMacID(mac_id));
    ql::KeyCopy key_copy;
    QL_TRY(key_copy.decode(key));
    if (key_copy.alg_id() != mac_id) {
      return ql::kErrHmacInitKeyMismatch;
    }
    const ql::HmacService::Private priv;
    if (!priv) {
      return ql::critical(ql::kErrHmacInitAlloc);
    }
    QL_TRY(QL_HMAC_Init(priv.get(), key_copy.data(), key_copy.len(), mac_id));
    return ql::stamp_and_copy_out<ql::HmacService>(ctx, priv.get());
  });
}

int32_t QLC_HMAC_Update(QL_HMAC_CTX *ctx, const uint8_t *in, uint32_t in_len) {
  return ql::on_private_copy<ql::HmacService>(
      ctx, ql::kErrHmacUpdateAlloc, ql::AfterCall::kWriteBack,
      [&](QL_HMAC_CTX &priv) { return QL_HMAC_Update(&priv, in, in_len); });
}

int32_t QLC_HMAC_Final(QL_HMAC_CTX *ctx, uint8_t *out, uint32_t *out_len) {
  // The MAC ends the caller's context: it is zeroed whether the finish succeeded or not.
  return ql::on_private_copy<ql::HmacService>(
      ctx, ql::kErrHmacFinalAlloc, ql::AfterCall::kWipe,
      [&](QL_HMAC_CTX &priv) { return QL_HMAC_Final(&priv, out, out_len); });
}

// Module symmetric services, random bytes and secret keys.

namespace ql {
namespace {

struct SymService {
  using Ctx = QL_SYM_CTX;
  using Private = PrivateCtx<QL_SYM_CTX, QL_SYM_CTX_New, QL_SYM_CTX_Delete>;
  static int32_t check(Ctx *ctx) { return QLC_State_CheckSymCtxState(ctx); }
  static int32_t copy(Ctx *dst, const Ctx *src) { return QLC_SYM_CTX_Copy(dst, src); }
};

// The parameter copy of one call, wiped and freed with the scope.
class ParamCopy {
 public:
  ParamCopy() = default;
  ~ParamCopy() { free_wiped(p_, sizeof(QL_SYM_PARAM)); }
  ParamCopy(const ParamCopy &) = delete;
  ParamCopy &operator=(const ParamCopy &) = delete;
  Status copy(const QL_SYM_PARAM *params) { return QLC_SYM_Parameter_Copy(&p_, params); }
  const QL_SYM_PARAM *get() const { return p_; }

 private:
  QL_SYM_PARAM *p_ = nullptr;
};

// The key and parameter copies of a cipher service, decoded and checked against `sym_id`;
// `mismatch` is the caller's code for a key record of another cipher, `key_len_code` its code
// for a key length the cipher has no schedule for. (The dispatcher alone would take an AES
// key of 20 bytes and use 16 of them; the module holds the caller to the lengths it means.)
struct CipherInputs {
  KeyCopy key;
  ParamCopy params;
  Status load(const QLC_SECRET_KEY *key_record, int32_t sym_id, const QL_SYM_PARAM *p,
              Status mismatch, Status key_len_code) {
    QL_TRY(key.decode(key_record));
    if (key.alg_id() != sym_id) {
      return mismatch;
    }
    QL_TRY(params.copy(p));
    QL_TRY(QLC_SYM_CheckParams(sym_id, key.len(), params.get()));
    const CipherDesc *cipher = cipher_of(sym_id);
    if (cipher == nullptr || !module_key_len_ok(*cipher, key.len())) {
      return key_len_code;
    }
    return kOk;
  }
};

// The frame of a streaming initialisation in either direction.
template <typename InitFn>
Status sym_init(QL_SYM_CTX *ctx, const QLC_SECRET_KEY *key, int32_t sym_id,
                const QL_SYM_PARAM *params, Status mismatch, Status key_len_code, Status alloc_code,
                InitFn init) {
  return service([&]() -> Status {
    QL_TRY(QLC_State_CheckSYMID(sym_id));
    CipherInputs in;
    QL_TRY(in.load(key, sym_id, params, mismatch, key_len_code));
    const SymService::Private priv;
    if (!priv) {
      return critical(alloc_code);
    }
    QL_TRY(init(priv.get(), in.params.get(), in.key.data(), in.key.len(), sym_id));
    priv.get()->stateStamp = static_cast<uint32_t>(cmvp_state());
    return QLC_SYM_CTX_Copy(ctx, priv.get());
  });
}

// Key-length rules of the algorithm a key is generated for.
struct KeyRules {
  uint32_t default_len, min_len, max_len, step;
};

Status key_rules(uint32_t family, int32_t id, KeyRules &rules) {
  if (family == 1) {
    QL_SYM_INFO info;
    QL_TRY(QL_SYM_GetInfo(&info, id));
    rules = {info.defaultKeyLength, info.minKeyLength, info.maxKeyLength, info.keyLengthStep};
    return kOk;
  }
  QL_HMAC_INFO info;
  QL_TRY(QL_HMAC_GetInfo(&info, id));
  rules = {info.default_key_len, info.min_key_len, info.max_key_len, info.key_len_step};
  return kOk;
}

}  // namespace
}  // namespace ql

int32_t QLC_SYM_CheckParams(int32_t sym_id, uint32_t key_len, const QL_SYM_PARAM *params) {
  const ql::CipherDesc *cipher = ql::cipher_of(sym_id);
  if (cipher == nullptr) {
    return ql::kErrSymParamsId;
  }
  if (params->ivLength != 0 && params->ivLength != 16) {
    return ql::kErrModSymIv;
  }
  // SEED has one key length; the AES and ARIA rules are the services' own.
  const bool one_length = cipher->min_key_len == cipher->max_key_len;
  if (one_length && key_len != cipher->min_key_len) {
    return ql::kErrModSymKeyLen;
  }
  return params->padding - 1 > 3 ? ql::kErrModSymPadding : ql::kOk;
}

int32_t QLC_SYM_Parameter_Copy(QL_SYM_PARAM **copy, const QL_SYM_PARAM *params) {
  if (params == nullptr) {
    return ql::kErrSymParamCopyNull;
  }
  auto *p = static_cast<QL_SYM_PARAM *>(ql::alloc(sizeof(QL_SYM_PARAM)));
  if (p == nullptr) {
    return ql::critical(ql::kErrSymParamCopyAlloc);
  }
  *p = QL_SYM_PARAM{};
  p->mode = params->mode;
  p->ivLength = params->ivLength;
  p->segmentLength = params->segmentLength;
  p->padding = params->padding;
  // The IV length is not checked yet: never read past the 32-byte field.
  const uint32_t iv_len = params->ivLength < sizeof(p->iv) ? params->ivLength : sizeof(p->iv);
  std::memcpy(p->iv, params->iv, iv_len);
  *copy = p;
  return ql::kOk;
}

int32_t QLC_SYM_CTX_Copy(QL_SYM_CTX *dst, const QL_SYM_CTX *src) {
  if (dst == nullptr || src == nullptr) {
    return ql::kErrSymCtxCopyNull;
  }
  std::memmove(dst, src, sizeof(*dst));
  return ql::kOk;
}

// Exported functions: symmetric services, random bytes and secret keys.

int32_t QLC_Rand(uint8_t *out, uint32_t len) {
  if (out == nullptr && len != 0) {
    return ql::kErrRandOutNull;
  }
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckAlgID(0, nullptr));
    return QL_CMVP_RAND_GetRandom(out, len);
  });
}

int32_t QLC_KEY_GenSecKey(QLC_SECRET_KEY *key, uint32_t gen_id, uint32_t key_len) {
  if (key == nullptr) {
    return ql::kErrGenKeyNull;
  }
  return ql::service([&]() -> ql::Status {
    const uint32_t family = gen_id >> 24;
    const int32_t id = static_cast<int32_t>(gen_id & 0x00FFFFFFu);
    if (family == 1) {
      QL_TRY(QLC_State_CheckSYMID(id));
    } else if (family == 2) {
      QL_TRY(QLC_State_CheckMacID(id));
    } else {
      return ql::kErrGenKeyFamily;
    }
    ql::KeyRules rules{};
    QL_TRY(ql::key_rules(family, id, rules));
    uint32_t len = rules.default_len;
    if (key_len != 0) {
      if (key_len < rules.min_len || key_len > rules.max_len ||
          (rules.step != 0 && (key_len - rules.min_len) % rules.step != 0)) {
        return ql::kErrGenKeyLength;
      }
      len = key_len;
    }
    if (len > sizeof(key->key)) {
      return ql::kErrGenKeyLength;
    }
    ql::Buffer bytes(len);
    if (!bytes) {
      return ql::critical(ql::kErrGenKeyAlloc);
    }
    QL_TRY(QLC_Rand(bytes.data(), len));
    // No byte of an earlier key stays behind the new one.
    ql::wipe(key->key, sizeof(key->key));
    key->algorithm = id;
    std::memcpy(key->key, bytes.data(), len);
    key->key_len = len;
    return ql::kOk;
  });
}

int32_t QLC_SYM_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                        const QLC_SECRET_KEY *key, int32_t sym_id, const QL_SYM_PARAM *params) {
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckSYMID(sym_id));
    ql::CipherInputs c;
    QL_TRY(c.load(key, sym_id, params, ql::kErrSymEncKeyMismatch, ql::kErrSymEncKeyLen));
    return QL_SYM_Encrypt(c.params.get(), out, out_len, in, in_len, c.key.data(), c.key.len(),
                          sym_id);
  });
}

int32_t QLC_SYM_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                        const QLC_SECRET_KEY *key, int32_t sym_id, const QL_SYM_PARAM *params) {
  return ql::service([&]() -> ql::Status {
    QL_TRY(QLC_State_CheckSYMID(sym_id));
    ql::CipherInputs c;
    QL_TRY(c.load(key, sym_id, params, ql::kErrSymDecKeyMismatch, ql::kErrSymDecKeyLen));
    return QL_SYM_Decrypt(c.params.get(), out, out_len, in, in_len, c.key.data(), c.key.len(),
                          sym_id);
  });
}

int32_t QLC_SYM_Encrypt_Init(QL_SYM_CTX *ctx, const QLC_SECRET_KEY *key, int32_t sym_id,
                             const QL_SYM_PARAM *params) {
  return ql::sym_init(ctx, key, sym_id, params, ql::kErrSymEncInitKeyMismatch, ql::kErrSymEncKeyLen,
                      ql::kErrSymEncInitAlloc, QL_SYM_Encrypt_Init);
}

int32_t QLC_SYM_Decrypt_Init(QL_SYM_CTX *ctx, const QLC_SECRET_KEY *key, int32_t sym_id,
                             const QL_SYM_PARAM *params) {
  return ql::sym_init(ctx, key, sym_id, params, ql::kErrSymDecInitKeyMismatch, ql::kErrSymDecKeyLen,
                      ql::kErrSymDecInitAlloc, QL_SYM_Decrypt_Init);
}

int32_t QLC_SYM_Encrypt_Update(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                               uint32_t in_len) {
  return ql::on_private_copy<ql::SymService>(
      ctx, ql::kErrSymEncUpdateAlloc, ql::AfterCall::kWriteBack,
      [&](QL_SYM_CTX &priv) { return QL_SYM_Encrypt_Update(&priv, out, out_len, in, in_len); });
}

int32_t QLC_SYM_Decrypt_Update(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                               uint32_t in_len) {
  return ql::on_private_copy<ql::SymService>(
      ctx, ql::kErrSymDecUpdateAlloc, ql::AfterCall::kWriteBack,
      [&](QL_SYM_CTX &priv) { return QL_SYM_Decrypt_Update(&priv, out, out_len, in, in_len); });
}

int32_t QLC_SYM_Encrypt_Final(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len) {
  // The final step ends the caller's context: zeroed whether it succeeded or not.
  return ql::on_private_copy<ql::SymService>(
      ctx, ql::kErrSymEncFinalAlloc, ql::AfterCall::kWipe,
      [&](QL_SYM_CTX &priv) { return QL_SYM_Encrypt_Final(&priv, out, out_len); });
}

int32_t QLC_SYM_Decrypt_Final(QL_SYM_CTX *ctx, uint32_t *pad_len) {
  return ql::on_private_copy<ql::SymService>(
      ctx, ql::kErrSymDecFinalAlloc, ql::AfterCall::kWipe,
      [&](QL_SYM_CTX &priv) { return QL_SYM_Decrypt_Final(&priv, pad_len); });
}
