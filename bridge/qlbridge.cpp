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

// A secret-key record built here carries at most 255 key bytes.
constexpr jint kMaxKeyLen = 255;

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

}  // extern "C"
