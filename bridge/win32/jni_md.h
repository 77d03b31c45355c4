/* Machine-dependent JNI definitions for 64-bit Windows, for building the bridge with MinGW-w64
 * against the jni.h of a JDK for another system: put this directory on the include path
 * instead of the JDK's own platform directory. The types match those of the Windows JDK. */
#ifndef QL_BRIDGE_WIN32_JNI_MD_H
#define QL_BRIDGE_WIN32_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
/* The calling convention of 32-bit x86 Windows; x86-64 has only one and ignores it. */
#define JNICALL __stdcall

/* long is 32 bits on Windows (LLP64). */
typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif /* QL_BRIDGE_WIN32_JNI_MD_H */
