// Test-only natives of the Java class security.CmvpTestNatives: the module calls that the
// bridge does not offer (state changes, one-shot services), so that the Java tests can switch
// the module to its non-approved state and compare the bridge's streaming results with the
// library's own one-shot results.
#include <jni.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "QuillonCrypto.h"

namespace {

// A Java byte array copied into a local buffer; `ok` false for null or oversize arrays.
struct Bytes {
  uint8_t data[4096];
  uint32_t len = 0;
  bool ok = false;
  Bytes(JNIEnv *env, jbyteArray array) {
    if (array == nullptr) { return; }
    const jsize n = env->GetArrayLength(array);
    if (n < 0 || n > static_cast<jsize>(sizeof(data))) { return; }
    env->GetByteArrayRegion(array, 0, n, reinterpret_cast<jbyte *>(data));
    len = static_cast<uint32_t>(n);
    ok = true;
  }
};

jbyteArray to_java(JNIEnv *env, const uint8_t *p, uint32_t len) {
  const jbyteArray a = env->NewByteArray(static_cast<jsize>(len));
  if (a != nullptr) {
    env->SetByteArrayRegion(a, 0, static_cast<jsize>(len), reinterpret_cast<const jbyte *>(p));
  }
  return a;
}

}  // namespace

extern "C" {

// A sanitized test run preloads the sanitizer runtimes into the JVM (LD_PRELOAD). The commands
// that the module's entropy pool starts must not inherit them: ps, for one, hangs with libasan
// preloaded. Loading this library drops the variable from the environment of later children.
JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM *, void *) {
  unsetenv("LD_PRELOAD");
  return JNI_VERSION_1_6;
}

JNIEXPORT jint JNICALL Java_security_CmvpTestNatives_StateChange(JNIEnv *, jclass, jint state) {
  QLC_CM_StateInit();
  return QLC_CM_StateChange(state);
}

JNIEXPORT jint JNICALL Java_security_CmvpTestNatives_StateInfo(JNIEnv *, jclass) {
  return QLC_CM_StateInfo();
}

// The one-shot digest, or null on failure.
JNIEXPORT jbyteArray JNICALL Java_security_CmvpTestNatives_Hash(JNIEnv *env, jclass,
                                                                jint hash_id, jbyteArray data) {
  const Bytes in(env, data);
  uint8_t out[QL_HASH_MAX_DIGEST_LEN];
  uint32_t out_len = 0;
  if (!in.ok || QLC_Hash(out, &out_len, in.data, in.len, hash_id) != 0) { return nullptr; }
  return to_java(env, out, out_len);
}

// The one-shot HMAC, or null on failure.
JNIEXPORT jbyteArray JNICALL Java_security_CmvpTestNatives_Hmac(JNIEnv *env, jclass, jint mac_id,
                                                                jbyteArray key, jbyteArray data) {
  const Bytes k(env, key);
  const Bytes in(env, data);
  if (!k.ok || !in.ok || k.len > 256) { return nullptr; }
  QLC_SECRET_KEY record{};
  record.algorithm = mac_id;
  std::memcpy(record.key, k.data, k.len);
  record.key_len = k.len;
  uint8_t out[QL_HASH_MAX_DIGEST_LEN];
  uint32_t out_len = 0;
  if (QLC_HMAC(out, &out_len, in.data, in.len, &record, mac_id) != 0) { return nullptr; }
  return to_java(env, out, out_len);
}

// The one-shot encryption (QLC_SYM_Encrypt), or null on failure.
JNIEXPORT jbyteArray JNICALL Java_security_CmvpTestNatives_SymEncrypt(
    JNIEnv *env, jclass, jint sym_id, jint mode, jint padding, jbyteArray key, jbyteArray iv,
    jbyteArray data) {
  const Bytes k(env, key);
  const Bytes v(env, iv);
  const Bytes in(env, data);
  if (!k.ok || !v.ok || !in.ok || k.len > 256 || v.len > 32 || in.len > 4000) { return nullptr; }
  QLC_SECRET_KEY record{};
  record.algorithm = sym_id;
  std::memcpy(record.key, k.data, k.len);
  record.key_len = k.len;
  QL_SYM_PARAM param{};
  param.mode = static_cast<uint32_t>(mode);
  std::memcpy(param.iv, v.data, v.len);
  param.ivLength = v.len;
  param.padding = static_cast<uint32_t>(padding);
  uint8_t out[4096 + 16];
  uint32_t out_len = 0;
  if (QLC_SYM_Encrypt(out, &out_len, in.data, in.len, &record, sym_id, &param) != 0) {
    return nullptr;
  }
  return to_java(env, out, out_len);
}

}  // extern "C"
