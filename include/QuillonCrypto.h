/* QuillonCrypto: a self-contained cryptographic module with a plain C interface.
 * Every function that can fail returns an int32_t status: 0 for success, a negative code
 * otherwise; QL_GetErrorString turns any code into a fixed English message. */
#ifndef QUILLONCRYPTO_H
#define QUILLONCRYPTO_H

#include <stddef.h>
#include <stdint.h>

/* On Windows the DLL exports its functions (at the ordinals of QuillonCrypto.def) and callers
 * import them; programs linked with the static library define QL_STATIC. */
#if defined(_WIN32)
#if defined(QL_BUILDING_LIBRARY)
#define QL_EXPORT __declspec(dllexport)
#elif defined(QL_STATIC)
#define QL_EXPORT
#else
#define QL_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define QL_EXPORT __attribute__((visibility("default")))
#else
#define QL_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes and version ---------------------------------------------------------- */

/* QL_GetErrorString returns the fixed English message for the status code `code`.
 * Any value without a message of its own, including 0, positive values and codes in
 * critical form, yields "internal error". It never fails and never returns NULL; the
 * string is static and must not be freed. */
QL_EXPORT const char *QL_GetErrorString(int32_t code);

/* QLC_CM_ErrorString is the module boundary's name for QL_GetErrorString and returns
 * exactly what it returns for `code`. It answers in every module state. */
QL_EXPORT const char *QLC_CM_ErrorString(int32_t code);

/* QL_GetVersion returns the library version "1.1.1.5"; `ignored` is not read. The string
 * is static and must not be freed. */
QL_EXPORT const char *QL_GetVersion(int32_t ignored);

/* QLC_CM_Version is the module boundary's name for QL_GetVersion. */
QL_EXPORT const char *QLC_CM_Version(int32_t ignored);

/* ---- Module state ---------------------------------------------------------------------- */

#define QLC_CM_STATE_NOT_INITIALIZED 1 /* at load; no service has run yet */
#define QLC_CM_STATE_NON_APPROVED 3    /* working; identifiers are not checked */
#define QLC_CM_STATE_APPROVED 5        /* working; only approved identifiers */
#define QLC_CM_STATE_ERROR 9           /* a test or critical failure occurred; no service runs */
#define QLC_CM_STATE_FINALIZED 11      /* the caller ended the module; no service runs */

/* QLC_CM_StateInit makes sure the module is working: from state 1 it moves to the approved
 * state 5 and returns 0; in states 3 and 5 it returns 0; it returns -6065 when the module is
 * finalised and -6066 in the error state. Every service calls it first. */
QL_EXPORT int32_t QLC_CM_StateInit(void);

/* QLC_CM_StateFinal ends the module random generator and moves the module to state 11.
 * It returns 0 from states 3 and 5, -5531 from state 9 (finalising all the same), -6063 from
 * state 1 (which it leaves unchanged) and -6065 when already finalised. */
QL_EXPORT int32_t QLC_CM_StateFinal(void);

/* QLC_CM_StateChange switches between the working states 3 and 5 or finalises (11).
 * In state 1 it returns -6061; targets 1 and 9 give -6063 and unknown targets -6064; from the
 * error state only 11 is accepted (else -6066); once finalised it returns -6065. A refusal
 * leaves the state unchanged. */
QL_EXPORT int32_t QLC_CM_StateChange(int32_t new_state);

/* QLC_CM_StateInfo returns the current module state (1, 3, 5, 9 or 11), not a status. */
QL_EXPORT int32_t QLC_CM_StateInfo(void);

/* ---- Symmetric ciphers ----------------------------------------------------------------- */

/* ---- Digests and MAC ------------------------------------------------------------------- */

/* ---- Integers and random --------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QUILLONCRYPTO_H */
