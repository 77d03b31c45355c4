// Compiled, never run: the JDK's jni.h with bridge/win32/jni_md.h gives the Java types their
// sizes on 64-bit Windows, and JNIEXPORT functions are exported from a DLL.
#include <jni.h>

static_assert(sizeof(jboolean) == 1 && sizeof(jbyte) == 1 && sizeof(jchar) == 2 &&
                  sizeof(jshort) == 2 && sizeof(jint) == 4 && sizeof(jlong) == 8 &&
                  sizeof(jfloat) == 4 && sizeof(jdouble) == 8,
              "Java primitive sizes");
static_assert(sizeof(jsize) == 4 && sizeof(void *) == 8, "LLP64 data model");
// A native context address travels in a Java long field.
static_assert(sizeof(jlong) >= sizeof(void *), "addresses fit in jlong");

extern "C" JNIEXPORT jint JNICALL Java_ql_JniMdCheck_size(JNIEnv *, jclass, jlong handle) {
  return static_cast<jint>(handle & 0x7F);
}
