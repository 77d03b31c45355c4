/* QuillonCrypto: a self-contained cryptographic module with a plain C interface.
 * Every function that can fail returns an int32_t status: 0 for success, a negative code
 * otherwise; QL_GetErrorString turns any code into a fixed English message. */
#ifndef QUILLONCRYPTO_H
#define QUILLONCRYPTO_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(QL_BUILDING_LIBRARY)
#define QL_EXPORT __declspec(dllexport)
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

/* Digest identifiers of the dispatcher (QL_Hash_*) and the module services (QLC_Hash*). */
#define QL_HASH_HAS160 1
#define QL_HASH_SHA1 2
#define QL_HASH_SHA256 3
#define QL_HASH_SHA384 4
#define QL_HASH_SHA512 5
/* HMAC identifiers: 0x100 plus the digest identifier. */
#define QL_HMAC_HAS160 0x101
#define QL_HMAC_SHA1 0x102
#define QL_HMAC_SHA256 0x103
#define QL_HMAC_SHA384 0x104
#define QL_HMAC_SHA512 0x105

#define QL_HASH_MAX_DIGEST_LEN 64 /* the longest digest (SHA-512), in bytes */
#define QL_HASH_MAX_BLOCK_LEN 128 /* the longest block (SHA-384/512), in bytes */

/* SHA-1 running state: chaining words as values, 64-bit bit counter, pending bytes. */
typedef struct QL_SHA1_CTX {
  uint32_t state[5];  /* H0..H4 */
  uint32_t count_lo;  /* message bits processed, modulo 2^32 */
  uint32_t count_hi;  /* carries of count_lo */
  uint8_t buffer[64]; /* pending bytes of the current block, in message order */
} QL_SHA1_CTX;

/* SHA-256 running state; the counter counts bytes. */
typedef struct QL_SHA256_CTX {
  uint32_t state[8];
  uint32_t count_lo; /* message bytes processed, modulo 2^32 */
  uint32_t count_hi;
  uint8_t buffer[64];
} QL_SHA256_CTX;

/* SHA-384 and SHA-512 running state; the 128-bit counter counts bytes. */
typedef struct QL_SHA512_CTX {
  uint64_t state[8];
  uint64_t count_lo; /* message bytes processed, modulo 2^64 */
  uint64_t count_hi;
  uint8_t buffer[128];
} QL_SHA512_CTX;

/* HAS-160 running state; the counter comes first and counts bits. The buffer holds the
 * pending part of the current block as little-endian word values. */
typedef struct QL_HAS160_CTX {
  uint32_t count_lo; /* message bits processed, modulo 2^32 */
  uint32_t count_hi;
  uint32_t state[5]; /* A..E */
  uint32_t buffer[16];
} QL_HAS160_CTX;

/* Block and digest length of a digest, in bytes. */
typedef struct QL_HASH_INFO {
  uint32_t block_len;
  uint32_t digest_len;
} QL_HASH_INFO;

/* The dispatcher's digest record: a plain record without pointers. */
typedef struct QL_HASH_CTX {
  uint32_t algorithm;   /* digest identifier, 0 when not initialised */
  uint32_t state_stamp; /* module state at QLC_Hash_Init; owned by the module services */
  QL_HASH_INFO info;
  union {
    QL_SHA1_CTX sha1;
    QL_SHA256_CTX sha256;
    QL_SHA512_CTX sha512; /* SHA-384 and SHA-512 */
    QL_HAS160_CTX has160;
  } digest;
} QL_HASH_CTX;

/* Key-length limits of an HMAC, in bytes. */
typedef struct QL_HMAC_INFO {
  uint32_t mac_len;         /* the digest length */
  uint32_t default_key_len; /* half the digest length */
  uint32_t min_key_len;     /* half the digest length */
  uint32_t max_key_len;     /* the block length */
  uint32_t key_len_step;    /* 1 */
} QL_HMAC_INFO;

/* The HMAC record: a plain record without pointers. */
typedef struct QL_HMAC_CTX {
  uint32_t algorithm;       /* digest identifier */
  uint8_t key_block[128];   /* the key, or the digest of a longer key, then zeros */
  uint32_t key_block_len;   /* the block length once initialised */
  QL_HASH_INFO info;
  QL_HASH_CTX inner;        /* the running inner digest */
  uint32_t state_stamp;     /* module state at QLC_HMAC_Init; owned by the module services */
} QL_HMAC_CTX;

/* A secret key carried across the module boundary: an HMAC or cipher key. */
typedef struct QLC_SECRET_KEY {
  int32_t algorithm; /* HMAC identifier 0x101..0x105 or symmetric cipher identifier */
  uint8_t key[256];  /* the first key_len bytes are the key */
  uint32_t key_len;  /* at most 256 */
} QLC_SECRET_KEY;

/* The digest cores. They check nothing and return nothing: every pointer must be valid, `out`
 * must hold the digest (20, 32, 48 or 64 bytes), and `data` may be NULL only when `len` is 0.
 * Input may lie at any address; any division of a message into Update calls gives the same
 * digest. */

/* QL_SHA1_Init sets the SHA-1 initial value in `ctx` and zeroes its counter. */
QL_EXPORT void QL_SHA1_Init(QL_SHA1_CTX *ctx);
/* QL_SHA1_Update absorbs `len` bytes at `data` into `ctx`; after QL_SHA1_Init and exactly 64
 * bytes, `ctx->state` holds one compression of that block, unpadded. */
QL_EXPORT void QL_SHA1_Update(QL_SHA1_CTX *ctx, const uint8_t *data, uint32_t len);
/* QL_SHA1_Final writes the 20-byte digest to `out`, then zeroes the whole `ctx`. */
QL_EXPORT void QL_SHA1_Final(QL_SHA1_CTX *ctx, uint8_t *out);
/* QL_SHA1 writes the 20-byte SHA-1 digest of `len` bytes at `data` to `out`. */
QL_EXPORT void QL_SHA1(uint8_t *out, const uint8_t *data, uint32_t len);

/* QL_SHA256_Init zeroes the whole `ctx`, then sets the SHA-256 initial value. */
QL_EXPORT void QL_SHA256_Init(QL_SHA256_CTX *ctx);
/* QL_SHA256_Update absorbs `len` bytes at `data` into `ctx`. */
QL_EXPORT void QL_SHA256_Update(QL_SHA256_CTX *ctx, const uint8_t *data, uint32_t len);
/* QL_SHA256_Final writes the 32-byte digest to `out`, then zeroes the whole `ctx`. */
QL_EXPORT void QL_SHA256_Final(QL_SHA256_CTX *ctx, uint8_t *out);
/* QL_SHA256 writes the 32-byte SHA-256 digest of `len` bytes at `data` to `out`. */
QL_EXPORT void QL_SHA256(uint8_t *out, const uint8_t *data, uint32_t len);
/* SHA256_Transform compresses the 64-byte `block` (any address, read as big-endian words)
 * into the eight chaining words `state`. */
QL_EXPORT void SHA256_Transform(uint32_t state[8], const uint8_t block[64]);

/* QL_SHA512_Init zeroes the whole `ctx`, then sets the SHA-512 initial value. */
QL_EXPORT void QL_SHA512_Init(QL_SHA512_CTX *ctx);
/* QL_SHA512_Update absorbs `len` bytes at `data` into `ctx` (SHA-384 or SHA-512). */
QL_EXPORT void QL_SHA512_Update(QL_SHA512_CTX *ctx, const uint8_t *data, uint32_t len);
/* QL_SHA512_Final writes the 64-byte digest to `out`, then zeroes the whole `ctx`. */
QL_EXPORT void QL_SHA512_Final(QL_SHA512_CTX *ctx, uint8_t *out);
/* QL_SHA512 writes the 64-byte SHA-512 digest of `len` bytes at `data` to `out`. */
QL_EXPORT void QL_SHA512(uint8_t *out, const uint8_t *data, uint32_t len);
/* SHA512_Transform compresses the 128-byte `block` (any address, read as big-endian words)
 * into the eight chaining words `state`. */
QL_EXPORT void SHA512_Transform(uint64_t state[8], const uint8_t block[128]);

/* QL_SHA384_Init zeroes the whole `ctx`, then sets the SHA-384 initial value. */
QL_EXPORT void QL_SHA384_Init(QL_SHA512_CTX *ctx);
/* QL_SHA384_Update absorbs `len` bytes at `data` into `ctx`; the same as QL_SHA512_Update. */
QL_EXPORT void QL_SHA384_Update(QL_SHA512_CTX *ctx, const uint8_t *data, uint32_t len);
/* QL_SHA384_Final writes the 48-byte digest to `out`, then zeroes the whole `ctx`. */
QL_EXPORT void QL_SHA384_Final(QL_SHA512_CTX *ctx, uint8_t *out);
/* QL_SHA384 writes the 48-byte SHA-384 digest of `len` bytes at `data` to `out`. */
QL_EXPORT void QL_SHA384(uint8_t *out, const uint8_t *data, uint32_t len);

/* QL_HAS160_Init zeroes the counter of `ctx` and sets the HAS-160 initial value. */
QL_EXPORT void QL_HAS160_Init(QL_HAS160_CTX *ctx);
/* QL_HAS160_Update absorbs `len` bytes at `data` into `ctx`. */
QL_EXPORT void QL_HAS160_Update(QL_HAS160_CTX *ctx, const uint8_t *data, uint32_t len);
/* QL_HAS160_Final writes the 20-byte digest to `out`. `ctx` is not wiped and must be
 * initialised again before reuse. */
QL_EXPORT void QL_HAS160_Final(QL_HAS160_CTX *ctx, uint8_t *out);
/* QL_HAS160 writes the 20-byte HAS-160 digest of `len` bytes at `data` to `out`. */
QL_EXPORT void QL_HAS160(uint8_t *out, const uint8_t *data, uint32_t len);

/* The digest dispatcher. Output buffers must hold the digest (at most 64 bytes). */

/* QL_Hash_CTX_New returns a zeroed QL_HASH_CTX from the heap, or NULL when memory is
 * exhausted. Free it with QL_Hash_CTX_Delete. */
QL_EXPORT QL_HASH_CTX *QL_Hash_CTX_New(void);
/* QL_Hash_CTX_Delete zeroes the whole `ctx` and frees it; NULL is ignored. */
QL_EXPORT void QL_Hash_CTX_Delete(QL_HASH_CTX *ctx);
/* QL_Hash_GetInfo writes the block and digest length of digest `hash_id` to `info`.
 * Returns 0, -2504 for a NULL `info`, or -2511 for an unknown identifier (`info` unchanged). */
QL_EXPORT int32_t QL_Hash_GetInfo(QL_HASH_INFO *info, int32_t hash_id);
/* QL_Hash_Init starts digest `hash_id` (1 to 5) in `ctx`. Returns 0, -2505 for a NULL `ctx`
 * or -2506 for an unknown identifier (`ctx` must then be initialised again). */
QL_EXPORT int32_t QL_Hash_Init(QL_HASH_CTX *ctx, int32_t hash_id);
/* QL_Hash_Update absorbs `len` bytes at `data` into `ctx`; a `len` of 0 does nothing and
 * returns 0. Returns -2507 for a NULL `ctx` or NULL `data` with a non-zero `len`, and -2508
 * when `ctx` holds no running digest. */
QL_EXPORT int32_t QL_Hash_Update(QL_HASH_CTX *ctx, const uint8_t *data, uint32_t len);
/* QL_Hash_Final writes the digest to `out` and its length to `*out_len`, then zeroes the whole
 * `ctx`. Returns 0, -2509 when any pointer is NULL, or -2510 when `ctx` holds no running
 * digest. */
QL_EXPORT int32_t QL_Hash_Final(QL_HASH_CTX *ctx, uint8_t *out, uint32_t *out_len);
/* QL_Hash writes the digest `hash_id` of `len` bytes at `data` to `out` and its length to
 * `*out_len`. Returns 0 or the first failure of QL_Hash_Init, _Update and _Final. */
QL_EXPORT int32_t QL_Hash(uint8_t *out, uint32_t *out_len, const uint8_t *data, uint32_t len,
                          int32_t hash_id);

/* QL_HMAC_CTX_New returns a zeroed QL_HMAC_CTX from the heap, or NULL when memory is
 * exhausted. Free it with QL_HMAC_CTX_Delete, which wipes the key it holds. */
QL_EXPORT QL_HMAC_CTX *QL_HMAC_CTX_New(void);
/* QL_HMAC_CTX_Delete zeroes the whole `ctx`, key block included, and frees it; NULL is
 * ignored. */
QL_EXPORT void QL_HMAC_CTX_Delete(QL_HMAC_CTX *ctx);
/* QL_HMAC_GetInfo writes the MAC length and the key-length limits of HMAC `mac_id`
 * (0x101 to 0x105) to `info`. Returns 0, -6082 when the identifier is not of the 0x1nn form,
 * -2511 for an unknown digest, or -2504 for a NULL `info`. */
QL_EXPORT int32_t QL_HMAC_GetInfo(QL_HMAC_INFO *info, int32_t mac_id);
/* QL_HMAC_Init starts an HMAC with `key_len` bytes at `key` in `ctx`; `mac_id` is 0x101 to
 * 0x105 or the bare digest identifier. A key longer than the block is hashed first. `key`
 * must not be NULL, even for an empty key. The key stays in `ctx` until it is deleted or
 * initialised again. Returns 0, -2501 for a NULL pointer or -2511 for an unknown digest. */
QL_EXPORT int32_t QL_HMAC_Init(QL_HMAC_CTX *ctx, const uint8_t *key, uint32_t key_len,
                               int32_t mac_id);
/* QL_HMAC_Update absorbs `len` bytes at `data` into `ctx`. Returns 0, -2502 for a NULL `ctx`,
 * or a failure of QL_Hash_Update on the inner digest. */
QL_EXPORT int32_t QL_HMAC_Update(QL_HMAC_CTX *ctx, const uint8_t *data, uint32_t len);
/* QL_HMAC_Final writes the full-length MAC to `out` and its length to `*out_len`. The running
 * digest in `ctx` is zeroed; the key stays. Returns 0, -2503 when any pointer is NULL, or a
 * failure of the digest dispatcher (-2510 after a previous Final). */
QL_EXPORT int32_t QL_HMAC_Final(QL_HMAC_CTX *ctx, uint8_t *out, uint32_t *out_len);
/* QL_HMAC writes the HMAC `mac_id` of `len` bytes at `data` under `key_len` bytes at `key` to
 * `out` and its length to `*out_len`. Returns 0 or the first failure of QL_HMAC_Init, _Update
 * and _Final. */
QL_EXPORT int32_t QL_HMAC(uint8_t *out, uint32_t *out_len, const uint8_t *data, uint32_t len,
                          const uint8_t *key, uint32_t key_len, int32_t mac_id);

/* The module's digest and HMAC services. Each runs in the module state machine: a fresh
 * module enters state 5, states 9 and 11 refuse every service (-6066, -6065), state 5 admits
 * only approved identifiers. A service works on a private copy of the caller's context and
 * writes it back only on success; a failed allocation puts the module into its error state. */

/* QLC_Hash writes the digest `hash_id` of `in_len` bytes at `in` to `out` (20 to 64 bytes)
 * and its length to `*out_len`. Returns 0, -6069 for an unapproved identifier, a state code,
 * or a code of QL_Hash; `out` is untouched when the identifier is refused. */
QL_EXPORT int32_t QLC_Hash(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                           int32_t hash_id);
/* QLC_Hash_Init starts digest `hash_id` in the caller's `ctx` and stamps it with the module
 * state. Returns 0, -6069, -6137 for a NULL `ctx`, a state code, a code of QL_Hash_Init, or
 * -6128 when memory is exhausted. */
QL_EXPORT int32_t QLC_Hash_Init(QL_HASH_CTX *ctx, int32_t hash_id);
/* QLC_Hash_Update absorbs `in_len` bytes at `in` into `ctx`. A `ctx` stamped in another
 * module state is zeroed and refused with -6145; NULL gives -6144. Returns 0, those, a code of
 * QL_Hash_Update, or -6130 when memory is exhausted; on failure `ctx` is unchanged. */
QL_EXPORT int32_t QLC_Hash_Update(QL_HASH_CTX *ctx, const uint8_t *in, uint32_t in_len);
/* QLC_Hash_Final writes the digest of `ctx` to `out` and its length to `*out_len`, leaving
 * `ctx` as it was (a second Final gives the same digest). Codes as QLC_Hash_Update, with
 * -6131 for exhausted memory and the codes of QL_Hash_Final. */
QL_EXPORT int32_t QLC_Hash_Final(QL_HASH_CTX *ctx, uint8_t *out, uint32_t *out_len);

/* QLC_HMAC writes the HMAC `mac_id` of `in_len` bytes at `in` under `key` to `out` and its
 * length to `*out_len`. Returns 0, -6070 for an unapproved identifier, -6080 for a NULL `key`
 * or a key length above 256, -6088 when `key` belongs to another algorithm, a state code, a
 * code of QL_HMAC, or -6081 when memory is exhausted. The key copy is wiped. */
QL_EXPORT int32_t QLC_HMAC(uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
                           const QLC_SECRET_KEY *key, int32_t mac_id);
/* QLC_HMAC_Init starts HMAC `mac_id` under `key` in the caller's `ctx` and stamps it. Returns
 * 0, -6070, -6080, -6092 when `key` belongs to another algorithm, -6138 for a NULL `ctx`, a
 * state code, a code of QL_HMAC_Init, or -6081/-6132 when memory is exhausted. */
QL_EXPORT int32_t QLC_HMAC_Init(QL_HMAC_CTX *ctx, const QLC_SECRET_KEY *key, int32_t mac_id);
/* QLC_HMAC_Update absorbs `in_len` bytes at `in` into `ctx`. A `ctx` stamped in another module
 * state is zeroed and refused with -6147; NULL gives -6146. Returns 0, those, a code of
 * QL_HMAC_Update, or -6133 when memory is exhausted; on failure `ctx` is unchanged. */
QL_EXPORT int32_t QLC_HMAC_Update(QL_HMAC_CTX *ctx, const uint8_t *in, uint32_t in_len);
/* QLC_HMAC_Final writes the MAC of `ctx` to `out` and its length to `*out_len`, then zeroes
 * the whole `ctx` whatever the outcome of the finish. Codes as QLC_HMAC_Update, with -6134 for
 * exhausted memory (`ctx` then unchanged) and the codes of QL_HMAC_Final. */
QL_EXPORT int32_t QLC_HMAC_Final(QL_HMAC_CTX *ctx, uint8_t *out, uint32_t *out_len);

/* ---- Integers and random --------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QUILLONCRYPTO_H */
