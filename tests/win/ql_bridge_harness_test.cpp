// The Windows bridge without a JVM: the test loads qlbridge.dll and finds its natives by name,
// as System.loadLibrary does, and calls them with a JNIEnv whose few functions the bridge uses
// act on plain C++ objects. Arrays are handed out as copies (as HotSpot does), so the release
// modes matter: a result reaches the array only when the native copies it back.
#include <gtest/gtest.h>
#include <jni.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct FakeArray {
  std::vector<jbyte> bytes;
};

// A Java object with the fields the natives look for; a field can be missing.
struct FakeObject {
  bool has_handle = true;
  jlong m_handle = 0;
  FakeArray *m_key = nullptr;
  jint m_id = 0;
  jint m_len = 0;
};

enum FieldId : intptr_t { kHandle = 1, kKey, kId, kLen };

int g_outstanding = 0;  // array copies not yet released
std::string g_string;   // the last string made by NewStringUTF

FakeObject *obj(jobject o) { return reinterpret_cast<FakeObject *>(o); }
FakeArray *arr(jarray a) { return reinterpret_cast<FakeArray *>(a); }

jclass JNICALL GetObjectClass(JNIEnv *, jobject o) { return reinterpret_cast<jclass>(o); }
jfieldID JNICALL GetFieldID(JNIEnv *, jclass c, const char *name, const char *sig) {
  const FakeObject *o = obj(c);
  intptr_t id = 0;
  if (std::strcmp(name, "m_handle") == 0 && std::strcmp(sig, "J") == 0 && o->has_handle) {
    id = kHandle;
  } else if (std::strcmp(name, "m_key") == 0 && std::strcmp(sig, "[B") == 0) {
    id = kKey;
  } else if (std::strcmp(name, "m_id") == 0 && std::strcmp(sig, "I") == 0) {
    id = kId;
  } else if (std::strcmp(name, "m_len") == 0 && std::strcmp(sig, "I") == 0) {
    id = kLen;
  }
  return reinterpret_cast<jfieldID>(id);
}
void JNICALL DeleteLocalRef(JNIEnv *, jobject) {}
void JNICALL ExceptionClear(JNIEnv *) {}
jlong JNICALL GetLongField(JNIEnv *, jobject o, jfieldID) { return obj(o)->m_handle; }
void JNICALL SetLongField(JNIEnv *, jobject o, jfieldID, jlong v) { obj(o)->m_handle = v; }
jobject JNICALL GetObjectField(JNIEnv *, jobject o, jfieldID) {
  return reinterpret_cast<jobject>(obj(o)->m_key);
}
void JNICALL SetIntField(JNIEnv *, jobject o, jfieldID f, jint v) {
  (reinterpret_cast<intptr_t>(f) == kId ? obj(o)->m_id : obj(o)->m_len) = v;
}
jsize JNICALL GetArrayLength(JNIEnv *, jarray a) { return static_cast<jsize>(arr(a)->bytes.size()); }
jbyte *JNICALL GetByteArrayElements(JNIEnv *, jbyteArray a, jboolean *is_copy) {
  const size_t n = arr(a)->bytes.size();
  jbyte *copy = static_cast<jbyte *>(std::malloc(n + 1));
  if (n != 0) { std::memcpy(copy, arr(a)->bytes.data(), n); }
  if (is_copy != nullptr) { *is_copy = JNI_TRUE; }
  g_outstanding++;
  return copy;
}
void JNICALL ReleaseByteArrayElements(JNIEnv *, jbyteArray a, jbyte *elems, jint mode) {
  if (mode != JNI_ABORT && !arr(a)->bytes.empty()) {
    std::memcpy(arr(a)->bytes.data(), elems, arr(a)->bytes.size());
  }
  if (mode != JNI_COMMIT) {
    std::free(elems);
    g_outstanding--;
  }
}
jstring JNICALL NewStringUTF(JNIEnv *, const char *s) {
  g_string = s;
  return reinterpret_cast<jstring>(&g_string);
}

class BridgeHarness : public ::testing::Test {
 protected:
  void SetUp() override {
    fns_.GetObjectClass = GetObjectClass;
    fns_.GetFieldID = GetFieldID;
    fns_.DeleteLocalRef = DeleteLocalRef;
    fns_.ExceptionClear = ExceptionClear;
    fns_.GetLongField = GetLongField;
    fns_.SetLongField = SetLongField;
    fns_.GetObjectField = GetObjectField;
    fns_.SetIntField = SetIntField;
    fns_.GetArrayLength = GetArrayLength;
    fns_.GetByteArrayElements = GetByteArrayElements;
    fns_.ReleaseByteArrayElements = ReleaseByteArrayElements;
    fns_.NewStringUTF = NewStringUTF;
    env_.functions = &fns_;
    dll_ = LoadLibraryA("qlbridge.dll");
    ASSERT_NE(dll_, nullptr);
  }
  void TearDown() override { EXPECT_EQ(g_outstanding, 0) << "array elements not released"; }

  template <typename Fn>
  Fn native(const char *name) {
    const std::string full = std::string("Java_security_Cmvp_") + name;
    FARPROC p = GetProcAddress(dll_, full.c_str());
    EXPECT_NE(p, nullptr) << full;
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(p));
  }

  JNINativeInterface_ fns_{};
  JNIEnv env_{};
  HMODULE dll_ = nullptr;
};

jobject J(FakeObject &o) { return reinterpret_cast<jobject>(&o); }
jbyteArray J(FakeArray &a) { return reinterpret_cast<jbyteArray>(&a); }

FakeArray hex(const char *s) {
  FakeArray a;
  for (size_t i = 0; s[i] != 0 && s[i + 1] != 0; i += 2) {
    a.bytes.push_back(static_cast<jbyte>(std::stoi(std::string(s + i, 2), nullptr, 16)));
  }
  return a;
}

using InitHash = jint(JNICALL *)(JNIEnv *, jclass, jobject, jint);
using Update = jint(JNICALL *)(JNIEnv *, jclass, jobject, jbyteArray, jlong);
using Final = jlong(JNICALL *)(JNIEnv *, jclass, jobject, jbyteArray);
using Release = void(JNICALL *)(JNIEnv *, jclass, jobject);
using SymInit = jint(JNICALL *)(JNIEnv *, jclass, jobject, jbyteArray, jint, jint, jint,
                                jbyteArray);
using SymRun = jint(JNICALL *)(JNIEnv *, jclass, jobject, jbyteArray, jlong, jbyteArray);
using SymMagic = jint(JNICALL *)(JNIEnv *, jclass, jobject, jint, jbyteArray, jlong, jbyteArray);
using GenKey = jint(JNICALL *)(JNIEnv *, jclass, jobject, jint, jint);
using RandFn = jint(JNICALL *)(JNIEnv *, jclass, jbyteArray);
using ErrMsg = jstring(JNICALL *)(JNIEnv *, jclass, jint);

TEST_F(BridgeHarness, DigestAndMessage) {
  FakeObject ctx;
  FakeArray msg = hex("616263");
  FakeArray out(hex("00"));
  out.bytes.assign(64, 0x11);
  ASSERT_EQ(native<InitHash>("HashInit")(&env_, nullptr, J(ctx), 3), 0);
  EXPECT_NE(ctx.m_handle, 0);
  EXPECT_EQ(native<Update>("HashUpdate")(&env_, nullptr, J(ctx), J(msg), 3), 0);
  EXPECT_EQ(native<Update>("HashUpdate")(&env_, nullptr, J(ctx), J(msg), 4), -1);
  EXPECT_EQ(native<Final>("HashFinal")(&env_, nullptr, J(ctx), J(out)), 32);
  FakeArray expected =
      hex("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  expected.bytes.resize(64, 0x11);
  EXPECT_EQ(out.bytes, expected.bytes);
  native<Release>("HashRelease")(&env_, nullptr, J(ctx));
  EXPECT_EQ(ctx.m_handle, 0);
  EXPECT_EQ(native<Update>("HashUpdate")(&env_, nullptr, J(ctx), J(msg), 3), -1);

  FakeObject no_field;
  no_field.has_handle = false;
  EXPECT_EQ(native<InitHash>("HashInit")(&env_, nullptr, J(no_field), 3), -1);
  ASSERT_NE(native<ErrMsg>("GetErrMsg")(&env_, nullptr, -6066), nullptr);
  EXPECT_EQ(g_string, "crypto is in error state");
}

TEST_F(BridgeHarness, HmacSha256) {
  FakeObject ctx;
  FakeArray key = hex("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b");
  FakeArray msg = hex("4869205468657265");
  FakeArray out;
  out.bytes.assign(32, 0);
  using InitMac = jint(JNICALL *)(JNIEnv *, jclass, jobject, jbyteArray, jint, jint, jint);
  ASSERT_EQ(native<InitMac>("HMacInit")(&env_, nullptr, J(ctx), J(key), 0x103, 20, 0x103), 0);
  EXPECT_EQ(native<Update>("HMacUpdate")(&env_, nullptr, J(ctx), J(msg), 8), 0);
  EXPECT_EQ(native<Final>("HMacFinal")(&env_, nullptr, J(ctx), J(out)), 32);
  EXPECT_EQ(out.bytes,
            hex("b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7").bytes);
  native<Release>("HMacRelease")(&env_, nullptr, J(ctx));
  EXPECT_EQ(ctx.m_handle, 0);
}

// SEED-128 single-block known answer (RFC 4269, B.1), through SymEnc and SymDecMagic.
TEST_F(BridgeHarness, CipherAndOffsetDecryption) {
  FakeObject ctx;
  FakeArray key = hex("00000000000000000000000000000000");
  FakeArray pt = hex("000102030405060708090a0b0c0d0e0f");
  FakeArray ct = hex("5ebac6e0054e166819aff1cc6d346cdb");
  FakeArray no_iv;
  FakeArray out;
  out.bytes.assign(16, 0);
  const auto init = native<SymInit>("SymCtxInit");
  const auto release = native<Release>("SymCtxRelease");
  ASSERT_EQ(init(&env_, nullptr, J(ctx), J(key), 2, 1, 1, J(no_iv)), 0);
  EXPECT_EQ(native<SymRun>("SymEnc")(&env_, nullptr, J(ctx), J(pt), 0, J(out)), 16);
  EXPECT_EQ(out.bytes, ct.bytes);
  EXPECT_EQ(native<SymRun>("SymEnc")(&env_, nullptr, J(ctx), J(pt), 0, J(out)), -6143);
  release(&env_, nullptr, J(ctx));

  FakeArray framed = hex("aabbcc");
  framed.bytes.insert(framed.bytes.end(), ct.bytes.begin(), ct.bytes.end());
  const auto magic = native<SymMagic>("SymDecMagic");
  ASSERT_EQ(init(&env_, nullptr, J(ctx), J(key), 2, 1, 1, J(no_iv)), 0);
  const std::vector<jbyte> before = out.bytes;
  EXPECT_EQ(magic(&env_, nullptr, J(ctx), 20, J(framed), 0, J(out)), -1);
  EXPECT_EQ(magic(&env_, nullptr, J(ctx), -1, J(framed), 0, J(out)), -1);
  EXPECT_EQ(out.bytes, before);
  EXPECT_EQ(magic(&env_, nullptr, J(ctx), 3, J(framed), 0, J(out)), 16);
  EXPECT_EQ(out.bytes, pt.bytes);
  release(&env_, nullptr, J(ctx));
  EXPECT_EQ(ctx.m_handle, 0);
}

TEST_F(BridgeHarness, RandomBytesAndKeys) {
  FakeArray out;
  out.bytes.assign(16, 0);
  EXPECT_EQ(native<RandFn>("Rand")(&env_, nullptr, J(out)), 16);
  EXPECT_NE(out.bytes, std::vector<jbyte>(16, 0));

  FakeArray key_bytes;
  key_bytes.bytes.assign(255, 0);
  FakeObject key;
  key.m_key = &key_bytes;
  EXPECT_EQ(native<GenKey>("GenSecKey")(&env_, nullptr, J(key), 0x01000002, 0), 0);
  EXPECT_EQ(key.m_id, 2);
  EXPECT_EQ(key.m_len, 16);
  EXPECT_NE(std::vector<jbyte>(key_bytes.bytes.begin(), key_bytes.bytes.begin() + 16),
            std::vector<jbyte>(16, 0));
}

}  // namespace
