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

/* Cipher identifiers, modes and paddings of the symmetric dispatcher. */
#define QL_SYM_AES 1
#define QL_SYM_SEED128 2
#define QL_SYM_SEED256 3
#define QL_SYM_ARIA 4
#define QL_SYM_MODE_ECB 1
#define QL_SYM_MODE_CBC 2
#define QL_SYM_MODE_CFB 3
#define QL_SYM_MODE_OFB 4
#define QL_SYM_MODE_CTR 5
#define QL_SYM_PAD_NONE 1 /* no padding; input must fill whole units */
#define QL_SYM_PAD_ZERO 2 /* zero bytes, kept in the plaintext on decryption */
#define QL_SYM_PAD_BIT 3  /* one byte 0x80, then zero bytes */
#define QL_SYM_PAD_PKCS 4 /* every pad byte holds the number of pad bytes */

/* An AES key schedule: 10, 12 or 14 rounds and 4 * (rounds + 1) round-key words. */
typedef struct {
  int32_t rounds;
  uint32_t roundKey[60];
} QL_AES_KEY;

/* An ARIA key schedule: 12, 14 or 16 rounds, the key length used (16, 24 or 32) and
 * (rounds + 1) round keys of 16 bytes. */
typedef struct {
  int32_t rounds;
  int32_t keyLength;
  uint8_t roundKey[17 * 16];
} QL_ARIA_KEY;

/* What QL_SYM_GetInfo reports about a cipher; lengths in bytes. */
typedef struct {
  uint32_t kind; /* 1; 0 inside a QL_SYM_CTX that was never initialised */
  uint32_t blockLength;
  uint32_t defaultKeyLength;
  uint32_t minKeyLength;
  uint32_t maxKeyLength;
  uint32_t keyLengthStep; /* 0 when only one key length exists */
} QL_SYM_INFO;

/* The caller's parameters of an encryption or decryption. */
typedef struct {
  uint32_t mode;          /* QL_SYM_MODE_* */
  uint8_t iv[32];         /* first ivLength bytes used; initial counter block in CTR */
  uint32_t ivLength;      /* the block length (16) in every mode but ECB */
  uint32_t segmentLength; /* bytes per step of CFB, OFB and CTR: 1 to 16 */
  uint32_t padding;       /* QL_SYM_PAD_* */
} QL_SYM_PARAM;

/* A streaming encryption or decryption: a plain record without pointers, so it may be
 * copied. Create it with QL_SYM_CTX_New and release it with QL_SYM_CTX_Delete. */
typedef struct {
  uint32_t algorithm;
  QL_SYM_INFO info;
  QL_SYM_PARAM param; /* iv holds the running chaining value, register or counter */
  union {
    QL_AES_KEY aes;
    uint32_t seed128[32];
    uint32_t seed256[48];
    QL_ARIA_KEY aria;
  } key;
  uint8_t pending[32];
  uint32_t pendingLength;
  uint8_t lastBlock[32]; /* decryption: the last plaintext bytes output */
  uint32_t lastBlockLength;
  uint32_t stateStamp; /* written and checked only by the module services */
} QL_SYM_CTX;

/* QL_SYM_CTX_New returns a zeroed QL_SYM_CTX from the heap, or NULL when memory is short.
 * The record holds key material: release it with QL_SYM_CTX_Delete. */
QL_EXPORT QL_SYM_CTX *QL_SYM_CTX_New(void);

/* QL_SYM_CTX_Delete overwrites the whole record `ctx` with zeros and frees it; NULL is
 * accepted and ignored. */
QL_EXPORT void QL_SYM_CTX_Delete(QL_SYM_CTX *ctx);

/* QL_SYM_GetInfo writes the block and key lengths of the cipher `id` into `info`. It returns
 * 0, or -4001 for an unknown `id` (having written only the kind) or a NULL `info`. */
QL_EXPORT int32_t QL_SYM_GetInfo(QL_SYM_INFO *info, int32_t id);

/* QL_SYM_Encrypt_Init zeroes `ctx` and prepares it to encrypt with the cipher `id`, the
 * `key_len` bytes at `key` and the parameters `param`. NULL `ctx`, `param` or `key` gives
 * -4009, a key length outside the cipher's range -4010; -4001 to -4005 report bad
 * parameters (CFB and OFB with padding need a segment length that divides 16: -4004). */
QL_EXPORT int32_t QL_SYM_Encrypt_Init(QL_SYM_CTX *ctx, const QL_SYM_PARAM *param,
                                      const uint8_t *key, uint32_t key_len, int32_t id);

/* QL_SYM_Encrypt_Update encrypts the `in_len` bytes at `in` into `out` and sets `*out_len`.
 * `out` needs room for the pending bytes plus `in_len`, rounded down to the mode's unit; it
 * may equal `in` but must not overlap it otherwise. NULL pointers give -4011, an
 * uninitialised `ctx` -4006. */
QL_EXPORT int32_t QL_SYM_Encrypt_Update(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len,
                                        const uint8_t *in, uint32_t in_len);

/* QL_SYM_Encrypt_Final pads and encrypts what is pending into `out` (room for 16 bytes) and
 * sets `*out_len`; CTR encrypts pending bytes without padding. NULL pointers give -4012,
 * padding none with bytes pending -4013. `ctx` is not wiped. */
QL_EXPORT int32_t QL_SYM_Encrypt_Final(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len);

/* QL_SYM_Encrypt encrypts and pads the `in_len` bytes at `in` into `out` (room for `in_len`
 * + 16 bytes) in one call and sets `*out_len`. Codes as for the streaming calls; a failed
 * record allocation gives -6135 in critical form. The record is wiped and freed. */
QL_EXPORT int32_t QL_SYM_Encrypt(const QL_SYM_PARAM *param, uint8_t *out, uint32_t *out_len,
                                 const uint8_t *in, uint32_t in_len, const uint8_t *key,
                                 uint32_t key_len, int32_t id);

/* QL_SYM_Decrypt_Init prepares `ctx` to decrypt; arguments as for QL_SYM_Encrypt_Init, with
 * -4014 for NULL pointers and -4015 for a key length outside the cipher's range. */
QL_EXPORT int32_t QL_SYM_Decrypt_Init(QL_SYM_CTX *ctx, const QL_SYM_PARAM *param,
                                      const uint8_t *key, uint32_t key_len, int32_t id);

/* QL_SYM_Decrypt_Update decrypts the `in_len` bytes at `in` into `out` (room for the pending
 * bytes plus `in_len`) and sets `*out_len`; pad bytes are output too. In CTR a partial block
 * is decrypted at once. `out` may equal `in`. NULL pointers give -4016. */
QL_EXPORT int32_t QL_SYM_Decrypt_Update(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len,
                                        const uint8_t *in, uint32_t in_len);

/* QL_SYM_Decrypt_Final checks the padding and sets `*pad_len` to the number of output bytes
 * that are padding (0 for none and zero padding, and for a CTR record whose input ended on
 * a partial block). NULL pointers give -4017, pending bytes -4018, bad padding -4019. */
QL_EXPORT int32_t QL_SYM_Decrypt_Final(QL_SYM_CTX *ctx, uint32_t *pad_len);

/* QL_SYM_Decrypt decrypts the `in_len` bytes at `in` into `out` (room for `in_len` bytes)
 * and sets `*out_len` to the plaintext length without padding; the pad bytes stay in `out`
 * beyond it. NULL pointers give -4020; a failed record allocation -6136 in critical form. */
QL_EXPORT int32_t QL_SYM_Decrypt(const QL_SYM_PARAM *param, uint8_t *out, uint32_t *out_len,
                                 const uint8_t *in, uint32_t in_len, const uint8_t *key,
                                 uint32_t key_len, int32_t id);

/* QL_AES_MakeKey expands the AES key `key` of `key_len` bytes into `rk` for `direction` 0
 * (encrypt) or 1 (decrypt). Lengths 16-23, 24-31 and 32 or more use the first 16, 24 or 32
 * bytes. NULL pointers, a length below 16 or another direction give -4021. */
QL_EXPORT int32_t QL_AES_MakeKey(QL_AES_KEY *rk, const uint8_t *key, uint32_t key_len,
                                 int32_t direction);

/* QL_AES_Main encrypts (`direction` 0) or decrypts (otherwise) the 16 bytes at `in` into
 * `out`, which may be the same address. Decryption needs a schedule made for direction 1.
 * Pointers are not checked. */
QL_EXPORT void QL_AES_Main(uint8_t *out, const uint8_t *in, const QL_AES_KEY *rk,
                           int32_t direction);

/* QL_ARIA_GenerateKey expands the ARIA key `key` into `rk`: lengths 16-23 give ARIA-128, 24-31
 * ARIA-192, any other ARIA-256 (32 bytes are read; a shorter key counts as zero-padded).
 * `direction` 1 makes the decryption schedule, any other value the encryption one. Pointers
 * are not checked; returns 0. */
QL_EXPORT int32_t QL_ARIA_GenerateKey(QL_ARIA_KEY *rk, const uint8_t *key, uint32_t key_len,
                                      int32_t direction);

/* QL_ARIA_Main runs the 16 bytes at `in` through the schedule `rk` into `out` (which may be
 * `in`); a decryption schedule decrypts. Returns rounds / 2. Pointers are not checked. */
QL_EXPORT int32_t QL_ARIA_Main(const QL_ARIA_KEY *rk, uint8_t *out, const uint8_t *in);

/* DL writes the ARIA diffusion layer of the 16 bytes `in` to the 16 bytes `out`. */
QL_EXPORT void DL(const uint8_t *in, uint8_t *out);

/* RotXOR XORs into the 16 bytes `y` the 16 bytes `x` rotated right by `n` bits (taken
 * modulo 128) as one 128-bit big-endian number. */
QL_EXPORT void RotXOR(const uint8_t *x, int32_t n, uint8_t *y);

/* QL_Seed128_RoundKey writes the 32 SEED-128 round-key words for the 16-byte `key` to `rk`. */
QL_EXPORT void QL_Seed128_RoundKey(uint32_t *rk, const uint8_t *key);

/* Seed128_Encrypt and Seed128_Decrypt run SEED-128 in place on the four words `block`
 * (word 0 first, as read big-endian from the block) with the round keys `rk`. */
QL_EXPORT void Seed128_Encrypt(const uint32_t *rk, uint32_t *block);
QL_EXPORT void Seed128_Decrypt(const uint32_t *rk, uint32_t *block);

/* QL_Seed128_Main encrypts (`direction` 0) or decrypts (1) the 16 bytes at `in` into `out`
 * (which may be `in`); any other direction copies the block unchanged. Returns 0. */
QL_EXPORT int32_t QL_Seed128_Main(const uint32_t *rk, uint8_t *out, const uint8_t *in,
                                  int32_t direction);

/* QL_Seed256_RoundKey writes the 48 SEED-256 round-key words for the 32-byte `key` to `rk`. */
QL_EXPORT void QL_Seed256_RoundKey(uint32_t *rk, const uint8_t *key);

/* Seed256_Encrypt and Seed256_Decrypt run the 24-round SEED-256 in place on `block`. */
QL_EXPORT void Seed256_Encrypt(const uint32_t *rk, uint32_t *block);
QL_EXPORT void Seed256_Decrypt(const uint32_t *rk, uint32_t *block);

/* QL_Seed256_Main is QL_Seed128_Main for SEED-256 round keys. Returns 0. */
QL_EXPORT int32_t QL_Seed256_Main(const uint32_t *rk, uint8_t *out, const uint8_t *in,
                                  int32_t direction);

/* The SEED128_* mode functions work on round keys `rk` from QL_Seed128_RoundKey and read
 * blocks, IVs and counters as little-endian words, so they do not match the dispatcher's
 * SEED-128. They set `*out_len` to 0 first, then to the bytes written; NULL pointers make
 * them return with nothing written. */

/* SEED128_ECB_Encrypt encrypts `in_len` bytes; a trailing partial block is zero-filled, so
 * `out` needs `in_len` rounded up to 16. SEED128_ECB_Decrypt decrypts whole blocks only. */
QL_EXPORT void SEED128_ECB_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len);
QL_EXPORT void SEED128_ECB_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len);

/* SEED128_CBC_Encrypt chains from the 16-byte `iv`, which is left unchanged; a trailing
 * partial block is zero-filled. SEED128_CBC_Decrypt decrypts whole blocks only. */
QL_EXPORT void SEED128_CBC_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len, const uint8_t *iv);
QL_EXPORT void SEED128_CBC_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len, const uint8_t *iv);

/* SEED128_CFB_Encrypt and _Decrypt process whole segments of `segment` bytes (1 to 16, else
 * nothing is done) and leave the final shift register in the 16-byte `iv`. */
QL_EXPORT void SEED128_CFB_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len, uint8_t *iv,
                                   uint32_t segment);
QL_EXPORT void SEED128_CFB_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len, uint8_t *iv,
                                   uint32_t segment);

/* SEED128_OFB_Encrypt and _Decrypt (the same operation) process whole segments; the register
 * is shifted by `segment` bytes and refilled from the cipher output, and left in `iv`. */
QL_EXPORT void SEED128_OFB_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len, uint8_t *iv,
                                   uint32_t segment);
QL_EXPORT void SEED128_OFB_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len, uint8_t *iv,
                                   uint32_t segment);

/* SEED128_CTR_Encrypt and _Decrypt (the same operation) XOR all `in_len` bytes with the
 * encrypted 16-byte `counter`, which is advanced once per whole block (not after a trailing
 * partial block). */
QL_EXPORT void SEED128_CTR_Encrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len, uint8_t *counter);
QL_EXPORT void SEED128_CTR_Decrypt(const uint32_t *rk, uint8_t *out, uint32_t *out_len,
                                   const uint8_t *in, uint32_t in_len, uint8_t *counter);

/* The QL_AES_* mode functions expand `key` as QL_AES_MakeKey does on every call and process
 * `in_len` bytes from `in` into `out` (which may be `in`), setting `*out_len` to `in_len`.
 * `direction` is 0 to encrypt, 1 to decrypt. Each refuses with its own code NULL pointers,
 * a key length of 0, a refused key or direction, and a length that is not a whole number of
 * blocks (ECB, CBC) or of `segment` bytes (CFB, OFB; `segment` 1 to 16). */

/* QL_AES_ECB: each block on its own. Refusals: -4022. */
QL_EXPORT int32_t QL_AES_ECB(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                             uint32_t in_len, const uint8_t *key, uint32_t key_len,
                             int32_t direction);

/* QL_AES_CBC chains from the 16-byte `iv`, which receives the last chaining block.
 * Refusals: -4023. */
QL_EXPORT int32_t QL_AES_CBC(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                             uint32_t in_len, const uint8_t *key, uint32_t key_len, uint8_t *iv,
                             int32_t direction);

/* QL_AES_CFB: cipher feedback of `segment` bytes from the 16-byte `iv`, which receives the
 * final register. Refusals: -4024. */
QL_EXPORT int32_t QL_AES_CFB(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                             uint32_t in_len, const uint8_t *key, uint32_t key_len, uint8_t *iv,
                             uint32_t segment, int32_t direction);

/* QL_AES_OFB: output feedback; the register is shifted by `segment` bytes and refilled with
 * the first `segment` bytes of the cipher output, and left in `iv`. Refusals: -4025. */
QL_EXPORT int32_t QL_AES_OFB(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                             uint32_t in_len, const uint8_t *key, uint32_t key_len, uint8_t *iv,
                             uint32_t segment, int32_t direction);

/* ---- Digests and MAC ------------------------------------------------------------------- */

/* ---- Integers and random --------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QUILLONCRYPTO_H */
