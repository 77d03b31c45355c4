// JNI natives of the Java class security.Cmvp. Each native reads its Java arguments, calls the
// module services (QLC_*), and writes results back into Java arrays and fields. Native contexts
// are malloc'd blocks whose addresses the Java objects keep in their long field m_handle until
// the matching Release native wipes and frees them. Every length is held against its Java
// array before the library sees it, so no native reads or writes outside a Java array.
#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "QuillonCrypto.h"

namespace {

// Failures found by the bridge itself; the library's codes pass through unchanged.
constexpr jint kErrBridge = -1;  // missing object, class, field, handle or array; bad length

// SymCtxInit's own failures.
constexpr jint kErrSymKeyLength = -1;   // null key, or a key of 256 bytes or more
constexpr jint kErrSymIvLength = -2;    // IV above 32 bytes
constexpr jint kErrSymNoMemory = -3;    // the context could not be allocated
constexpr jint kErrSymHandleField = -4;  // ctx has no m_handle field

// A secret-key record built here carries at most 255 key bytes; a parameter record at most 32
// IV bytes.
constexpr jint kMaxKeyLen = 255;
constexpr jint kMaxIvLen = 32;

// A cipher handle serves one encryption or one decryption. The Java side names no direction
// when it initialises the handle, and decryption with AES and ARIA needs the inverse key
// schedule, so the handle holds both contexts, initialised together from the same key. No raw
// key is kept: only the two schedules, which live as long as the handle. The operation that
// runs first wipes the other context, so a handle is used once whichever way it goes.
struct SymHandle {
  QL_SYM_CTX encrypt;
  QL_SYM_CTX decrypt;
};

// Overwrites `len` bytes at `p` with zeros. A plain memset runs at memory speed (a byte loop
// through a volatile pointer cost a third of a 16 KiB digest update); the empty statement after
// it takes the pointer and may read any memory, so the stores are neither dropped as dead nor
// moved past the release of the block.
void wipe(void *p, size_t len) {
  if (p == nullptr || len == 0) { return; }
  std::memset(p, 0, len);
  __asm__ __volatile__("" : : "r"(p) : "memory");
}

template <typename T>
void free_wiped(T *p) {
  wipe(p, sizeof(T));
  std::free(p);
}

// A plain record on the stack, wiped when it goes out of scope.
template <typename T>
class Wiped {
 public:
  Wiped() : value_{} {}
  ~Wiped() { wipe(&value_, sizeof(value_)); }
  Wiped(const Wiped &) = delete;
  Wiped &operator=(const Wiped &) = delete;
  T &get() { return value_; }

 private:
  T value_;
};

// A native address travels in a Java long: sign-extended on 32-bit platforms, and only its low
// bits are used when it is read back.
jlong to_handle(const void *p) { return static_cast<jlong>(reinterpret_cast<intptr_t>(p)); }
void *from_handle(jlong h) { return reinterpret_cast<void *>(static_cast<uintptr_t>(h)); }

// The instance field `name` of signature `sig` on the class of `obj`, or nullptr when `obj` is
// null or its class has no such field. No Java exception is left pending. The class reference
// is deleted at once unless `keep_class` (the JVM frees a native's local references when it
// returns; natives that look up many fields must not pile them up).
jfieldID lookup_field(JNIEnv *env, jobject obj, const char *name, const char *sig,
                      bool keep_class) {
  if (obj == nullptr) { return nullptr; }
  const jclass cls = env->GetObjectClass(obj);
  if (cls == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  const jfieldID field = env->GetFieldID(cls, name, sig);
  if (field == nullptr) { env->ExceptionClear(); }
  if (!keep_class) { env->DeleteLocalRef(cls); }
  return field;
}

jfieldID field_of(JNIEnv *env, jobject obj, const char *name, const char *sig) {
  return lookup_field(env, obj, name, sig, false);
}

// The m_handle field, which each context native looks up once.
jfieldID handle_field(JNIEnv *env, jobject ctx) {
  return lookup_field(env, ctx, "m_handle", "J", true);
}

// The native context that `ctx` holds, or nullptr when it has no m_handle field or holds 0.
template <typename T>
T *context_of(JNIEnv *env, jobject ctx) {
  const jfieldID field = handle_field(env, ctx);
  if (field == nullptr) { return nullptr; }
  return static_cast<T *>(from_handle(env->GetLongField(ctx, field)));
}

// Wipes and frees the context that `ctx` holds, if any, and sets its m_handle to 0.
template <typename T>
void release_context(JNIEnv *env, jobject ctx) {
  const jfieldID field = handle_field(env, ctx);
  if (field == nullptr) { return; }
  T *context = static_cast<T *>(from_handle(env->GetLongField(ctx, field)));
  if (context == nullptr) { return; }
  free_wiped(context);
  env->SetLongField(ctx, field, 0);
}

// Allocates a zeroed context, or returns nullptr.
template <typename T>
T *new_context() {
  return static_cast<T *>(std::calloc(1, sizeof(T)));
}

// The elements of a Java byte array for the length of a call, always released. Results are
// copied back only when commit() was called (the call succeeded); otherwise the Java array
// keeps its contents. When the JVM handed out a copy, the copy may hold keys or plaintext: it
// is committed if asked, wiped, and then released without copy-back. A pinned array is the
// caller's own memory and is left as it is.
class JavaBytes {
 public:
  JavaBytes(JNIEnv *env, jbyteArray array) : env_(env), array_(array) {
    if (array_ == nullptr) { return; }
    length_ = env_->GetArrayLength(array_);
    elements_ = env_->GetByteArrayElements(array_, &is_copy_);
    if (elements_ == nullptr) { env_->ExceptionClear(); }
  }
  ~JavaBytes() {
    if (elements_ == nullptr) { return; }
    if (is_copy_ == JNI_TRUE) {
      if (commit_) { env_->ReleaseByteArrayElements(array_, elements_, JNI_COMMIT); }
      wipe(elements_, static_cast<size_t>(length_));
      env_->ReleaseByteArrayElements(array_, elements_, JNI_ABORT);
    } else {
      env_->ReleaseByteArrayElements(array_, elements_, commit_ ? 0 : JNI_ABORT);
    }
  }
  JavaBytes(const JavaBytes &) = delete;
  JavaBytes &operator=(const JavaBytes &) = delete;

  // False for a null array or when the JVM could not provide the elements.
  bool ok() const { return elements_ != nullptr; }
  jsize length() const { return length_; }
  uint8_t *data() { return reinterpret_cast<uint8_t *>(elements_); }
  void commit() { commit_ = true; }

 private:
  JNIEnv *env_;
  jbyteArray array_;
  jbyte *elements_ = nullptr;
  jsize length_ = 0;
  jboolean is_copy_ = JNI_FALSE;
  bool commit_ = false;
};

// Digest and HMAC finals: the output is written to a local buffer first and copied only when it
// fits `out`, whose room was checked against the context's digest length beforehand so that a
// short array costs nothing (an HMAC context is consumed by its final step).
template <typename Ctx, typename Final>
jlong finish_digest(JNIEnv *env, jobject ctx, jbyteArray out, Final final_step) {
  Ctx *context = context_of<Ctx>(env, ctx);
  if (context == nullptr) { return kErrBridge; }
  JavaBytes dst(env, out);
  if (!dst.ok() || dst.length() == 0) { return kErrBridge; }
  const uint32_t digest_len = context->info.digest_len;
  if (digest_len > QL_HASH_MAX_DIGEST_LEN || digest_len > static_cast<uint32_t>(dst.length())) {
    return kErrBridge;
  }
  Wiped<uint8_t[QL_HASH_MAX_DIGEST_LEN]> digest;
  uint32_t out_len = 0;
  const int32_t status = final_step(context, digest.get(), &out_len);
  if (status < 0) { return status; }
  if (out_len > static_cast<uint32_t>(dst.length())) { return kErrBridge; }
  std::memcpy(dst.data(), digest.get(), out_len);
  dst.commit();
  return static_cast<jlong>(out_len);
}

// The most bytes that an encryption of `in_len` more bytes writes: the whole units of what is
// pending plus the input, then one block of padding unless the padding is none. A context that
// holds no cipher (never initialised, or zeroed by its final step) is refused by the module
// before it writes anything.
uint64_t encrypt_output_bound(const QL_SYM_CTX &ctx, uint32_t in_len) {
  const uint32_t block = ctx.info.blockLength;
  if (block == 0) { return 0; }
  const uint64_t total = uint64_t{ctx.pendingLength} + in_len;
  const uint64_t padding = ctx.param.padding == QL_SYM_PAD_NONE ? 0 : block;
  return total - total % block + padding;
}

// The most bytes that a decryption of `in_len` more bytes writes: everything pending plus the
// input, padding included (the final step only reports how much of it is padding).
uint64_t decrypt_output_bound(const QL_SYM_CTX &ctx, uint32_t in_len) {
  return uint64_t{ctx.pendingLength} + in_len;
}

// One whole encryption on the handle: update, then final, which zeroes the context.
jint run_encrypt(SymHandle &handle, const uint8_t *in_data, uint32_t in_len, JavaBytes &out) {
  if (encrypt_output_bound(handle.encrypt, in_len) > static_cast<uint64_t>(out.length())) {
    return kErrBridge;
  }
  wipe(&handle.decrypt, sizeof(handle.decrypt));
  uint32_t produced = static_cast<uint32_t>(out.length());
  int32_t status = QLC_SYM_Encrypt_Update(&handle.encrypt, out.data(), &produced, in_data, in_len);
  if (status < 0) { return status; }
  uint32_t last = 0;
  status = QLC_SYM_Encrypt_Final(&handle.encrypt, out.data() + produced, &last);
  if (status < 0) { return status; }
  out.commit();
  return static_cast<jint>(produced + last);
}

// One whole decryption on the handle: update, then final, which checks and reports the padding
// and zeroes the context. The result is the plaintext length without the padding.
jint run_decrypt(SymHandle &handle, const uint8_t *in_data, uint32_t in_len, JavaBytes &out) {
  if (decrypt_output_bound(handle.decrypt, in_len) > static_cast<uint64_t>(out.length())) {
    return kErrBridge;
  }
  wipe(&handle.encrypt, sizeof(handle.encrypt));
  uint32_t produced = static_cast<uint32_t>(out.length());
  int32_t status = QLC_SYM_Decrypt_Update(&handle.decrypt, out.data(), &produced, in_data, in_len);
  if (status < 0) { return status; }
  uint32_t pad_len = 0;
  status = QLC_SYM_Decrypt_Final(&handle.decrypt, &pad_len);
  if (status < 0) { return status; }
  out.commit();
  return static_cast<jint>(produced - pad_len);
}

// Whether `len` bytes, a length the Java caller passed, lie within an array of `length` bytes.
bool fits(jlong len, jsize length) { return len >= 0 && len <= static_cast<jlong>(length); }


// ---- Asymmetric keys ----
// A key lives on the Java side as an object with the two identifier words of its record
// (typeID, pkeyID), the address of its body (privKey or pubKey) and of the record (address).
// Every operation wraps the body in a temporary record of its own, so the module never sees
// the Java object's record, and clears the body pointer before deleting it again.

constexpr jint kErrNoMemory = -3;  // a native record could not be allocated

// Bodies of imported RSA keys: the integer records of QL_RSA_PRIVATE_KEY or QL_RSA_PUBLIC_KEY.
constexpr int kPrivateComponents = 8;
constexpr int kPublicComponents = 2;
static_assert(sizeof(QL_RSA_PRIVATE_KEY) == kPrivateComponents * sizeof(Big), "eight integers");
static_assert(sizeof(QL_RSA_PUBLIC_KEY) == kPublicComponents * sizeof(Big), "two integers");

// The largest output of any public-key operation: an RSA block of the largest modulus an
// integer record can hold, more than any signature encoding of the other algorithms.
constexpr uint32_t kMaxAsymOutput = QL_BIG_MAX_BYTES;

// Which of the two key kinds an object is: the field of its body and the record functions.
struct KeyKind {
  const char *body_field;
  QL_ASYM_KEY *(*make)();
  void (*destroy)(QL_ASYM_KEY *);
  int num_components;
};
const KeyKind kPrivateKind = {"privKey", QLC_KEY_PriKey_New, QLC_KEY_PriKey_Delete,
                              kPrivateComponents};
const KeyKind kPublicKind = {"pubKey", QLC_KEY_PubKey_New, QLC_KEY_PubKey_Delete,
                             kPublicComponents};

// The four fields of a key object, all null when the object is null or lacks one.
struct KeyFields {
  jfieldID type = nullptr;
  jfieldID algorithm = nullptr;
  jfieldID body = nullptr;
  jfieldID address = nullptr;
  bool ok() const { return type && algorithm && body && address; }
};

KeyFields key_fields(JNIEnv *env, jobject key, const KeyKind &kind) {
  KeyFields f;
  f.type = field_of(env, key, "typeID", "I");
  f.algorithm = field_of(env, key, "pkeyID", "I");
  f.body = field_of(env, key, kind.body_field, "J");
  f.address = field_of(env, key, "address", "J");
  return f;
}

// Writes a record's words, body and own address into the key object.
void store_key(JNIEnv *env, jobject key, const KeyFields &f, const QL_ASYM_KEY *record) {
  env->SetIntField(key, f.type, static_cast<jint>(record->type));
  env->SetIntField(key, f.algorithm, record->algorithm);
  env->SetLongField(key, f.body, to_handle(record->body));
  env->SetLongField(key, f.address, to_handle(record));
}

// The temporary record of a key object for one call: its words and body, not its record.
class TempKey {
 public:
  TempKey(JNIEnv *env, jobject key, const KeyKind &kind) : kind_(kind) {
    const KeyFields f = key_fields(env, key, kind);
    if (!f.ok()) {
      status_ = kErrBridge;
      return;
    }
    record_ = kind.make();
    if (record_ == nullptr) {
      status_ = kErrNoMemory;
      return;
    }
    record_->type = static_cast<uint32_t>(env->GetIntField(key, f.type));
    record_->algorithm = env->GetIntField(key, f.algorithm);
    record_->body = from_handle(env->GetLongField(key, f.body));
    status_ = 0;
  }
  ~TempKey() {
    if (record_ == nullptr) { return; }
    record_->body = nullptr;  // the key object still owns the body
    kind_.destroy(record_);
  }
  TempKey(const TempKey &) = delete;
  TempKey &operator=(const TempKey &) = delete;

  // 0, or the bridge's code for a missing field or a failed allocation.
  jint status() const { return status_; }
  QL_ASYM_KEY *get() { return record_; }

  // The modulus length in bytes of an RSA key, 0 when the record holds no RSA body. Both RSA
  // bodies start with the modulus.
  uint32_t rsa_modulus_len() const {
    if (record_->algorithm != QL_PKEY_RSA || record_->body == nullptr) { return 0; }
    const Big *n = static_cast<const Big *>(record_->body);
    int32_t words = n->length;
    if (words < 0 || words > QL_BIG_WORDS) { words = QL_BIG_WORDS; }
    while (words > 0 && n->words[words - 1] == 0) { words--; }
    if (words == 0) { return 0; }
    uint32_t top = n->words[words - 1];
    uint32_t len = static_cast<uint32_t>(words - 1) * 4;
    while (top != 0) {
      len++;
      top >>= 8;
    }
    return len;
  }

 private:
  const KeyKind &kind_;
  QL_ASYM_KEY *record_ = nullptr;
  jint status_ = kErrBridge;
};

// The parameter record of a Java parameter object for one call: its two words, no body. A null
// object gives no record.
class TempParams {
 public:
  TempParams(JNIEnv *env, jobject params) {
    if (params == nullptr) { return; }
    const jfieldID type = field_of(env, params, "typeID", "I");
    const jfieldID algorithm = field_of(env, params, "pkeyID", "I");
    if (type == nullptr || algorithm == nullptr) {
      status_ = kErrBridge;
      return;
    }
    record_ = QLC_ASYM_Param_New();
    if (record_ == nullptr) {
      status_ = kErrNoMemory;
      return;
    }
    record_->type = static_cast<uint32_t>(env->GetIntField(params, type));
    record_->algorithm = env->GetIntField(params, algorithm);
  }
  ~TempParams() { QLC_ASYM_Param_Delete(record_); }
  TempParams(const TempParams &) = delete;
  TempParams &operator=(const TempParams &) = delete;

  jint status() const { return status_; }
  QL_ASYM_KEY *get() { return record_; }

 private:
  QL_ASYM_KEY *record_ = nullptr;
  jint status_ = 0;
};

// Reads the int fields `first` and `second` of `obj` into `a` and `b`; a null `obj` gives 0 and
// 0 when `null_ok`, otherwise false.
bool read_two_ints(JNIEnv *env, jobject obj, const char *first, const char *second, bool null_ok,
                   int32_t *a, int32_t *b) {
  *a = 0;
  *b = 0;
  if (obj == nullptr) { return null_ok; }
  const jfieldID fa = field_of(env, obj, first, "I");
  const jfieldID fb = field_of(env, obj, second, "I");
  if (fa == nullptr || fb == nullptr) { return false; }
  *a = env->GetIntField(obj, fa);
  *b = env->GetIntField(obj, fb);
  return true;
}

// The two words of a sign parameter object {hashID, msgfID}, {0, 0} for a null object.
bool read_sign_param(JNIEnv *env, jobject sign_param, QL_ASYM_SIGN_PARAM *words) {
  std::memset(words, 0, sizeof(*words));
  return read_two_ints(env, sign_param, "hashID", "msgfID", true, &words->pss.hash_id,
                       &words->pss.mgf_id);
}

// Fills one integer record from `len` bytes that the caller laid out as the record's own words
// (least significant word first, platform byte order). Refuses more bytes than the record
// holds and signs other than 0 and 1.
int make_big_structure(Big *big, int sign, int len, const signed char *bytes) {
  if (len < 0 || len > QL_BIG_MAX_BYTES || (sign != 0 && sign != 1)) { return kErrBridge; }
  std::memset(big, 0, sizeof(*big));
  big->sign = static_cast<uint32_t>(sign);
  big->length = (len + 3) / 4;
  if (len > 0) { std::memcpy(big->words, bytes, static_cast<size_t>(len)); }
  return 0;
}

// Builds an imported key body of `count` integers from (sign, array) pairs and hands it to the
// key object in a new record of `kind` with the RSA identifier. Nothing is allocated or written
// when an array is missing or too long, a field is missing or memory runs out.
void import_key(JNIEnv *env, jobject key, const KeyKind &kind, const jint *signs,
                const jbyteArray *arrays) {
  const KeyFields f = key_fields(env, key, kind);
  if (!f.ok()) { return; }
  const size_t body_len = sizeof(Big) * static_cast<size_t>(kind.num_components);
  Big *body = static_cast<Big *>(std::calloc(1, body_len));
  if (body == nullptr) { return; }
  bool ok = true;
  for (int i = 0; i < kind.num_components && ok; i++) {
    JavaBytes bytes(env, arrays[i]);
    ok = bytes.ok() || (arrays[i] != nullptr && bytes.length() == 0);
    if (ok) {
      ok = make_big_structure(&body[i], signs[i], bytes.length(),
                              reinterpret_cast<const signed char *>(bytes.data())) == 0;
    }
  }
  QL_ASYM_KEY *record = ok ? kind.make() : nullptr;
  if (record == nullptr) {
    wipe(body, body_len);
    std::free(body);
    return;
  }
  record->type = 0;
  record->algorithm = QL_PKEY_RSA;
  record->body = body;
  store_key(env, key, f, record);
}

// Frees a key made by the module (record and body).
void delete_generated(JNIEnv *env, jobject key, const KeyKind &kind) {
  const jfieldID address = field_of(env, key, "address", "J");
  if (address == nullptr) { return; }
  kind.destroy(static_cast<QL_ASYM_KEY *>(from_handle(env->GetLongField(key, address))));
}

// Frees a key imported by the bridge: the body it allocated, then the record.
void delete_imported(JNIEnv *env, jobject key, const KeyKind &kind) {
  const jfieldID address = field_of(env, key, "address", "J");
  if (address == nullptr) { return; }
  QL_ASYM_KEY *record = static_cast<QL_ASYM_KEY *>(from_handle(env->GetLongField(key, address)));
  if (record == nullptr) { return; }
  if (record->body != nullptr) {
    wipe(record->body, sizeof(Big) * static_cast<size_t>(kind.num_components));
    std::free(record->body);
    record->body = nullptr;
  }
  kind.destroy(record);
}

// Encryption and decryption: the module writes into a wiped local block and the result is
// copied only when `out` holds it whole. An RSA key's modulus length bounds the output: a
// ciphertext needs all of it, so `out` is checked before any work; a plaintext is checked
// once its length is known.
template <typename Op>
jint asym_crypt(JNIEnv *env, jbyteArray out, jbyteArray in, jint in_len, jint penc_id,
                jobject key, const KeyKind &kind, jobject oaep_param, bool encrypt, Op op) {
  JavaBytes src(env, in);
  if (!src.ok() || !fits(in_len, src.length())) { return kErrBridge; }
  TempKey record(env, key, kind);
  if (record.status() != 0) { return record.status(); }
  Wiped<QL_OAEP_PARAM> oaep;
  if (!read_two_ints(env, oaep_param, "hashID", "mgfID", true, &oaep.get().hash_id,
                     &oaep.get().mgf_id)) {
    return kErrBridge;
  }
  if (oaep_param != nullptr) {
    const jfieldID source = field_of(env, oaep_param, "sourceID", "I");
    if (source == nullptr) { return kErrBridge; }
    oaep.get().source_id = env->GetIntField(oaep_param, source);
  }
  JavaBytes dst(env, out);
  if (!dst.ok()) { return kErrBridge; }
  const uint32_t modulus_len = record.rsa_modulus_len();
  if (modulus_len > kMaxAsymOutput ||
      (encrypt && modulus_len > static_cast<uint32_t>(dst.length()))) {
    return kErrBridge;
  }
  Wiped<uint8_t[kMaxAsymOutput]> result;
  uint32_t produced = 0;
  const int32_t status = op(result.get(), &produced, src.data(), static_cast<uint32_t>(in_len),
                            penc_id, record.get(), oaep_param != nullptr ? &oaep.get() : nullptr);
  if (status < 0) { return status; }
  if (produced > static_cast<uint32_t>(dst.length())) { return kErrBridge; }
  std::memcpy(dst.data(), result.get(), produced);
  dst.commit();
  return static_cast<jint>(produced);
}

}  // namespace

// Exported functions.

extern "C" {

JNIEXPORT jstring JNICALL Java_security_Cmvp_GetErrMsg(JNIEnv *env, jclass, jint code) {
  const char *message = QLC_CM_ErrorString(code);
  if (message == nullptr) { return nullptr; }
  const jstring text = env->NewStringUTF(message);
  if (text == nullptr) { env->ExceptionClear(); }
  return text;
}

JNIEXPORT jint JNICALL Java_security_Cmvp_HashInit(JNIEnv *env, jclass, jobject ctx,
                                                   jint hash_id) {
  const jfieldID field = handle_field(env, ctx);
  if (field == nullptr) { return kErrBridge; }
  QL_HASH_CTX *context = new_context<QL_HASH_CTX>();
  if (context == nullptr) { return kErrBridge; }
  const int32_t status = QLC_Hash_Init(context, hash_id);
  if (status < 0) {
    free_wiped(context);
    return status;
  }
  env->SetLongField(ctx, field, to_handle(context));
  return status;
}

JNIEXPORT jint JNICALL Java_security_Cmvp_HashUpdate(JNIEnv *env, jclass, jobject ctx,
                                                     jbyteArray data, jlong len) {
  QL_HASH_CTX *context = context_of<QL_HASH_CTX>(env, ctx);
  if (context == nullptr || len <= 0) { return kErrBridge; }
  JavaBytes in(env, data);
  if (!in.ok() || !fits(len, in.length())) { return kErrBridge; }
  return QLC_Hash_Update(context, in.data(), static_cast<uint32_t>(len));
}

JNIEXPORT jlong JNICALL Java_security_Cmvp_HashFinal(JNIEnv *env, jclass, jobject ctx,
                                                     jbyteArray out) {
  return finish_digest<QL_HASH_CTX>(env, ctx, out, QLC_Hash_Final);
}

JNIEXPORT void JNICALL Java_security_Cmvp_HashRelease(JNIEnv *env, jclass, jobject ctx) {
  release_context<QL_HASH_CTX>(env, ctx);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_HMacInit(JNIEnv *env, jclass, jobject ctx,
                                                   jbyteArray key, jint key_alg_id, jint key_len,
                                                   jint mac_id) {
  const jfieldID field = handle_field(env, ctx);
  if (field == nullptr || key_len < 0 || key_len > kMaxKeyLen) { return kErrBridge; }
  JavaBytes key_bytes(env, key);
  if (!key_bytes.ok() || !fits(key_len, key_bytes.length())) { return kErrBridge; }
  QL_HMAC_CTX *context = new_context<QL_HMAC_CTX>();
  if (context == nullptr) { return kErrBridge; }

  Wiped<QLC_SECRET_KEY> record;
  record.get().algorithm = key_alg_id;
  std::memcpy(record.get().key, key_bytes.data(), static_cast<size_t>(key_len));
  record.get().key_len = static_cast<uint32_t>(key_len);
  const int32_t status = QLC_HMAC_Init(context, &record.get(), mac_id);
  if (status < 0) {
    free_wiped(context);
    return status;
  }
  env->SetLongField(ctx, field, to_handle(context));
  return status;
}

JNIEXPORT jint JNICALL Java_security_Cmvp_HMacUpdate(JNIEnv *env, jclass, jobject ctx,
                                                     jbyteArray data, jlong len) {
  QL_HMAC_CTX *context = context_of<QL_HMAC_CTX>(env, ctx);
  if (context == nullptr) { return kErrBridge; }
  JavaBytes in(env, data);
  if (!in.ok() || !fits(len, in.length())) { return kErrBridge; }
  return QLC_HMAC_Update(context, in.data(), static_cast<uint32_t>(len));
}

JNIEXPORT jlong JNICALL Java_security_Cmvp_HMacFinal(JNIEnv *env, jclass, jobject ctx,
                                                     jbyteArray out) {
  return finish_digest<QL_HMAC_CTX>(env, ctx, out, QLC_HMAC_Final);
}

JNIEXPORT void JNICALL Java_security_Cmvp_HMacRelease(JNIEnv *env, jclass, jobject ctx) {
  release_context<QL_HMAC_CTX>(env, ctx);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_Rand(JNIEnv *env, jclass, jbyteArray out) {
  JavaBytes dst(env, out);
  if (!dst.ok()) { return kErrBridge; }
  const int32_t status = QLC_Rand(dst.data(), static_cast<uint32_t>(dst.length()));
  if (status < 0) { return status; }
  dst.commit();
  return dst.length();
}

JNIEXPORT jint JNICALL Java_security_Cmvp_GenSecKey(JNIEnv *env, jclass, jobject key, jint gen_id,
                                                    jint key_len) {
  const jfieldID key_field = field_of(env, key, "m_key", "[B");
  const jfieldID id_field = field_of(env, key, "m_id", "I");
  const jfieldID len_field = field_of(env, key, "m_len", "I");
  if (key_field == nullptr || id_field == nullptr || len_field == nullptr) { return kErrBridge; }
  const jobject array = env->GetObjectField(key, key_field);
  JavaBytes dst(env, static_cast<jbyteArray>(array));
  if (!dst.ok() || key_len > dst.length()) { return kErrBridge; }

  Wiped<QLC_SECRET_KEY> record;
  const int32_t status = QLC_KEY_GenSecKey(&record.get(), static_cast<uint32_t>(gen_id),
                                           static_cast<uint32_t>(key_len));
  if (status < 0) { return status; }
  // A default length is known only now; a key the array cannot hold is not handed out.
  if (record.get().key_len > static_cast<uint32_t>(dst.length())) { return kErrBridge; }
  std::memcpy(dst.data(), record.get().key, record.get().key_len);
  dst.commit();
  env->SetIntField(key, id_field, record.get().algorithm);
  env->SetIntField(key, len_field, static_cast<jint>(record.get().key_len));
  return status;
}

JNIEXPORT jint JNICALL Java_security_Cmvp_SymCtxInit(JNIEnv *env, jclass, jobject ctx,
                                                     jbyteArray key, jint sym_id, jint mode,
                                                     jint padding, jbyteArray iv) {
  JavaBytes key_bytes(env, key);
  if (!key_bytes.ok() || key_bytes.length() > kMaxKeyLen) { return kErrSymKeyLength; }
  // No IV array means no IV, as ECB needs none.
  JavaBytes iv_bytes(env, iv);
  if (iv != nullptr && !iv_bytes.ok()) { return kErrBridge; }
  if (iv_bytes.length() > kMaxIvLen) { return kErrSymIvLength; }
  const jfieldID field = handle_field(env, ctx);
  if (field == nullptr) { return kErrSymHandleField; }
  SymHandle *handle = new_context<SymHandle>();
  if (handle == nullptr) { return kErrSymNoMemory; }

  Wiped<QLC_SECRET_KEY> record;
  record.get().algorithm = sym_id;
  std::memcpy(record.get().key, key_bytes.data(), static_cast<size_t>(key_bytes.length()));
  record.get().key_len = static_cast<uint32_t>(key_bytes.length());
  Wiped<QL_SYM_PARAM> param;
  param.get().mode = static_cast<uint32_t>(mode);
  if (iv_bytes.ok()) {
    std::memcpy(param.get().iv, iv_bytes.data(), static_cast<size_t>(iv_bytes.length()));
  }
  param.get().ivLength = static_cast<uint32_t>(iv_bytes.length());
  param.get().segmentLength = 0;
  param.get().padding = static_cast<uint32_t>(padding);

  int32_t status = QLC_SYM_Encrypt_Init(&handle->encrypt, &record.get(), sym_id, &param.get());
  if (status >= 0) {
    status = QLC_SYM_Decrypt_Init(&handle->decrypt, &record.get(), sym_id, &param.get());
  }
  if (status < 0) {
    free_wiped(handle);
    return status;
  }
  env->SetLongField(ctx, field, to_handle(handle));
  return status;
}

JNIEXPORT void JNICALL Java_security_Cmvp_SymCtxRelease(JNIEnv *env, jclass, jobject ctx) {
  release_context<SymHandle>(env, ctx);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_SymEnc(JNIEnv *env, jclass, jobject ctx,
                                                 jbyteArray in, jlong, jbyteArray out) {
  SymHandle *handle = context_of<SymHandle>(env, ctx);
  if (handle == nullptr) { return kErrBridge; }
  JavaBytes src(env, in);
  JavaBytes dst(env, out);
  if (!src.ok() || !dst.ok()) { return kErrBridge; }
  return run_encrypt(*handle, src.data(), static_cast<uint32_t>(src.length()), dst);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_SymDec(JNIEnv *env, jclass, jobject ctx,
                                                 jbyteArray in, jlong, jbyteArray out) {
  SymHandle *handle = context_of<SymHandle>(env, ctx);
  if (handle == nullptr) { return kErrBridge; }
  JavaBytes src(env, in);
  JavaBytes dst(env, out);
  if (!src.ok() || !dst.ok()) { return kErrBridge; }
  return run_decrypt(*handle, src.data(), static_cast<uint32_t>(src.length()), dst);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_ASymGenKeyPair(JNIEnv *env, jclass, jobject pri_key,
                                                         jobject pub_key, jint pkey_id,
                                                         jobject params, jobject keygen_param) {
  TempParams param_record(env, params);
  if (param_record.status() != 0) { return param_record.status(); }
  int32_t modulus_len = 0;
  int32_t exponent = 0;
  if (!read_two_ints(env, keygen_param, "keyByteLength", "e", false, &modulus_len, &exponent)) {
    return kErrBridge;
  }
  QL_ASYM_KEYGEN_PARAM keygen;
  keygen.modulus_len = static_cast<uint32_t>(modulus_len);
  keygen.exponent = static_cast<uint32_t>(exponent);
  const KeyFields pri_fields = key_fields(env, pri_key, kPrivateKind);
  const KeyFields pub_fields = key_fields(env, pub_key, kPublicKind);
  if (!pri_fields.ok() || !pub_fields.ok()) { return kErrBridge; }
  QL_ASYM_KEY *pri = QLC_KEY_PriKey_New();
  QL_ASYM_KEY *pub = QLC_KEY_PubKey_New();
  if (pri == nullptr || pub == nullptr) {
    QLC_KEY_PriKey_Delete(pri);
    QLC_KEY_PubKey_Delete(pub);
    return kErrNoMemory;
  }
  const int32_t status =
      QLC_KEY_GenKeyPair(pri, pub, pkey_id, param_record.get(), &keygen);
  // The records go to the Java objects whatever the status: empty ones after a failure.
  store_key(env, pri_key, pri_fields, pri);
  store_key(env, pub_key, pub_fields, pub);
  return status;
}

JNIEXPORT void JNICALL Java_security_Cmvp_ASymGenPrivateKey(
    JNIEnv *env, jclass, jobject key, jint n_sign, jbyteArray n, jint e_sign, jbyteArray e,
    jint d_sign, jbyteArray d, jint p_sign, jbyteArray p, jint q_sign, jbyteArray q,
    jint dp_sign, jbyteArray dp, jint dq_sign, jbyteArray dq, jint qinv_sign, jbyteArray qinv) {
  const jint signs[kPrivateComponents] = {n_sign, e_sign, d_sign, p_sign,
                                          q_sign, dp_sign, dq_sign, qinv_sign};
  const jbyteArray arrays[kPrivateComponents] = {n, e, d, p, q, dp, dq, qinv};
  import_key(env, key, kPrivateKind, signs, arrays);
}

JNIEXPORT void JNICALL Java_security_Cmvp_ASymGenPublicKey(JNIEnv *env, jclass, jobject key,
                                                           jint n_sign, jbyteArray n,
                                                           jint e_sign, jbyteArray e) {
  const jint signs[kPublicComponents] = {n_sign, e_sign};
  const jbyteArray arrays[kPublicComponents] = {n, e};
  import_key(env, key, kPublicKind, signs, arrays);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_ASymCheckKeyPair(JNIEnv *env, jclass, jobject pri_key,
                                                           jobject pub_key) {
  const jfieldID pri_address = field_of(env, pri_key, "address", "J");
  const jfieldID pub_address = field_of(env, pub_key, "address", "J");
  if (pri_address == nullptr || pub_address == nullptr) { return kErrBridge; }
  return QLC_KEY_CheckKeyPair(
      static_cast<QL_ASYM_KEY *>(from_handle(env->GetLongField(pri_key, pri_address))),
      static_cast<QL_ASYM_KEY *>(from_handle(env->GetLongField(pub_key, pub_address))),
      nullptr);
}

JNIEXPORT void JNICALL Java_security_Cmvp_ASymDeleteKeyPair(JNIEnv *env, jclass, jobject pri_key,
                                                            jobject pub_key) {
  delete_generated(env, pri_key, kPrivateKind);
  delete_generated(env, pub_key, kPublicKind);
}

JNIEXPORT void JNICALL Java_security_Cmvp_ASymDeleteKey(JNIEnv *env, jclass, jobject pri_key,
                                                        jobject pub_key) {
  delete_imported(env, pri_key, kPrivateKind);
  delete_imported(env, pub_key, kPublicKind);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_ASymEncrypt(JNIEnv *env, jclass, jbyteArray out,
                                                      jbyteArray in, jint in_len, jint penc_id,
                                                      jobject pub_key, jobject oaep_param) {
  return asym_crypt(env, out, in, in_len, penc_id, pub_key, kPublicKind, oaep_param, true,
                    QLC_ASYM_Encrypt);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_ASymDecrypt(JNIEnv *env, jclass, jbyteArray out,
                                                      jbyteArray in, jint in_len, jint penc_id,
                                                      jobject pri_key, jobject oaep_param) {
  return asym_crypt(env, out, in, in_len, penc_id, pri_key, kPrivateKind, oaep_param, false,
                    QLC_ASYM_Decrypt);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_ASymSign(JNIEnv *env, jclass, jbyteArray sig,
                                                   jint input_is_digest, jbyteArray msg,
                                                   jint msg_len, jint sign_id, jobject pri_key,
                                                   jobject params, jobject sign_param) {
  JavaBytes message(env, msg);
  if (!message.ok() || !fits(msg_len, message.length())) { return kErrBridge; }
  TempParams param_record(env, params);
  if (param_record.status() != 0) { return param_record.status(); }
  QL_ASYM_SIGN_PARAM words;
  if (!read_sign_param(env, sign_param, &words)) { return kErrBridge; }
  JavaBytes dst(env, sig);
  if (!dst.ok()) { return kErrBridge; }
  TempKey record(env, pri_key, kPrivateKind);
  if (record.status() != 0) { return record.status(); }
  // An RSA signature is as long as the modulus: a shorter array is refused before signing.
  const uint32_t modulus_len = record.rsa_modulus_len();
  if (modulus_len > kMaxAsymOutput || modulus_len > static_cast<uint32_t>(dst.length())) {
    return kErrBridge;
  }
  uint8_t result[kMaxAsymOutput];
  uint32_t produced = 0;
  const int32_t status =
      QLC_ASYM_Sign(result, &produced, input_is_digest, message.data(),
                    static_cast<uint32_t>(msg_len), sign_id, record.get(), param_record.get(),
                    &words);
  if (status < 0) { return status; }
  if (produced > static_cast<uint32_t>(dst.length())) { return kErrBridge; }
  std::memcpy(dst.data(), result, produced);
  dst.commit();
  return static_cast<jint>(produced);
}

JNIEXPORT jint JNICALL Java_security_Cmvp_ASymSignVerify(JNIEnv *env, jclass, jbyteArray sig,
                                                         jint sig_len, jint input_is_digest,
                                                         jbyteArray msg, jint msg_len,
                                                         jint sign_id, jobject pub_key,
                                                         jobject params, jobject sign_param) {
  JavaBytes message(env, msg);
  JavaBytes signature(env, sig);
  if (!message.ok() || !fits(msg_len, message.length()) || !signature.ok() ||
      !fits(sig_len, signature.length())) {
    return kErrBridge;
  }
  TempParams param_record(env, params);
  if (param_record.status() != 0) { return param_record.status(); }
  QL_ASYM_SIGN_PARAM words;
  if (!read_sign_param(env, sign_param, &words)) { return kErrBridge; }
  TempKey record(env, pub_key, kPublicKind);
  if (record.status() != 0) { return record.status(); }
  return QLC_ASYM_Verify(signature.data(), static_cast<uint32_t>(sig_len), input_is_digest,
                         message.data(), static_cast<uint32_t>(msg_len), sign_id, record.get(),
                         param_record.get(), &words);
}

// Not one of the class's original natives: reads an RSA key's integers back, so that a Java
// program can export a key the module generated.
JNIEXPORT jint JNICALL Java_security_Cmvp_ASymGetKeyComponent(JNIEnv *env, jclass, jobject key,
                                                              jint index, jbyteArray out) {
  const KeyKind &kind =
      field_of(env, key, kPrivateKind.body_field, "J") != nullptr ? kPrivateKind : kPublicKind;
  const KeyFields f = key_fields(env, key, kind);
  if (!f.ok() || env->GetIntField(key, f.algorithm) != QL_PKEY_RSA || index < 0 ||
      index >= kind.num_components) {
    return kErrBridge;
  }
  const Big *body = static_cast<const Big *>(from_handle(env->GetLongField(key, f.body)));
  if (body == nullptr) { return kErrBridge; }
  const Big &value = body[index];
  if (value.sign != 0 || value.length < 0 || value.length > QL_BIG_WORDS) { return kErrBridge; }
  JavaBytes dst(env, out);
  const size_t len = static_cast<size_t>(value.length) * 4;
  if (!dst.ok() || len > static_cast<size_t>(dst.length())) { return kErrBridge; }
  std::memcpy(dst.data(), value.words, len);
  dst.commit();
  return static_cast<jint>(len);
}

#if defined(_WIN32)
// The Windows class also decrypts the tail of an array, from index `offset` to its end.
JNIEXPORT jint JNICALL Java_security_Cmvp_SymDecMagic(JNIEnv *env, jclass, jobject ctx,
                                                      jint offset, jbyteArray in, jlong,
                                                      jbyteArray out) {
  SymHandle *handle = context_of<SymHandle>(env, ctx);
  if (handle == nullptr) { return kErrBridge; }
  JavaBytes src(env, in);
  JavaBytes dst(env, out);
  if (!src.ok() || !dst.ok() || offset < 0 || offset > src.length()) { return kErrBridge; }
  return run_decrypt(*handle, src.data() + offset, static_cast<uint32_t>(src.length() - offset),
                     dst);
}
#endif

}  // extern "C"
