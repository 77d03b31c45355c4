// The native yardstick of the Java benchmark: the module's digest and HMAC calls that one
// provider digest or MAC makes through the bridge (init, one update, final), repeated in C on
// one native copy of the data, so that the Java side can time what the crossing adds.
#include <jni.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "QuillonCrypto.h"

namespace {

// The Java array's bytes in a native block, or nullptr.
uint8_t *copy_of(JNIEnv *env, jbyteArray array, jsize &len) {
  len = array == nullptr ? 0 : env->GetArrayLength(array);
  uint8_t *p = static_cast<uint8_t *>(std::malloc(len > 0 ? static_cast<size_t>(len) : 1));
  if (p != nullptr && len > 0) {
    env->GetByteArrayRegion(array, 0, len, reinterpret_cast<jbyte *>(p));
  }
  return p;
}

}  // namespace

extern "C" {

// `times` digests of `data` with hashId; returns the last status.
JNIEXPORT jint JNICALL Java_security_QuillonBench_NativeDigests(JNIEnv *env, jclass, jint hash_id,
                                                               jbyteArray data, jint times) {
  jsize len = 0;
  uint8_t *p = copy_of(env, data, len);
  if (p == nullptr) { return -1; }
  int32_t status = 0;
  for (jint i = 0; i < times && status >= 0; i++) {
    QL_HASH_CTX ctx;
    std::memset(&ctx, 0, sizeof(ctx));
    uint8_t out[QL_HASH_MAX_DIGEST_LEN];
    uint32_t out_len = 0;
    status = QLC_Hash_Init(&ctx, hash_id);
    if (status >= 0) { status = QLC_Hash_Update(&ctx, p, static_cast<uint32_t>(len)); }
    if (status >= 0) { status = QLC_Hash_Final(&ctx, out, &out_len); }
  }
  std::free(p);
  return status;
}

// `times` HMACs of `data` with macId under `key`, as the provider passes it (its algorithm
// identifier is macId).
JNIEXPORT jint JNICALL Java_security_QuillonBench_NativeMacs(JNIEnv *env, jclass, jint mac_id,
                                                            jbyteArray key, jbyteArray data,
                                                            jint times) {
  QLC_SECRET_KEY record;
  std::memset(&record, 0, sizeof(record));
  const jsize key_len = key == nullptr ? 0 : env->GetArrayLength(key);
  if (key_len <= 0 || static_cast<size_t>(key_len) > sizeof(record.key)) { return -1; }
  env->GetByteArrayRegion(key, 0, key_len, reinterpret_cast<jbyte *>(record.key));
  record.algorithm = mac_id;
  record.key_len = static_cast<uint32_t>(key_len);
  jsize len = 0;
  uint8_t *p = copy_of(env, data, len);
  if (p == nullptr) { return -1; }
  int32_t status = 0;
  for (jint i = 0; i < times && status >= 0; i++) {
    QL_HMAC_CTX ctx;
    std::memset(&ctx, 0, sizeof(ctx));
    uint8_t out[QL_HASH_MAX_DIGEST_LEN];
    uint32_t out_len = 0;
    status = QLC_HMAC_Init(&ctx, &record, mac_id);
    if (status >= 0) { status = QLC_HMAC_Update(&ctx, p, static_cast<uint32_t>(len)); }
    if (status >= 0) { status = QLC_HMAC_Final(&ctx, out, &out_len); }
  }
  std::free(p);
  return status;
}

}  // extern "C"
