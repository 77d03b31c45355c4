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

// Overwrites `len` bytes at `p` through a volatile pointer, so the stores are not elided.
void wipe(void *p, size_t len) {
  volatile unsigned char *b = static_cast<volatile unsigned char *>(p);
  while (len-- > 0) { *b++ = 0; }
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
// null or its class has no such field. No Java exception is left pending.
jfieldID field_of(JNIEnv *env, jobject obj, const char *name, const char *sig) {
  if (obj == nullptr) { return nullptr; }
  const jclass cls = env->GetObjectClass(obj);
  if (cls == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  const jfieldID field = env->GetFieldID(cls, name, sig);
  if (field == nullptr) { env->ExceptionClear(); }
  env->DeleteLocalRef(cls);
  return field;
}

jfieldID handle_field(JNIEnv *env, jobject ctx) { return field_of(env, ctx, "m_handle", "J"); }

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
