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

/* ---- Module symmetric services, random bytes and secret keys -------------------------- */

/* QLC_Rand fills `len` bytes at `out` from the module random generator. Returns 0, -1501 for
 * a NULL `out` with a non-zero `len`, a state code, or -6001 when the generator's continuous
 * test fails (the module is then in its error state; bytes already written stay). */
QL_EXPORT int32_t QLC_Rand(uint8_t *out, uint32_t len);

/* QLC_KEY_GenSecKey fills `key` with a fresh random key. `gen_id` is the family (1 cipher,
 * 2 HMAC) in its top byte and the algorithm identifier below; `key_len` 0 asks for the
 * algorithm's default length, otherwise it must follow the algorithm's length rules. Returns
 * 0, -6083 for a NULL `key`, -6078 for an unknown family, -6084 for a length outside the rules,
 * a gate or state code, or -6085 when memory runs out; `key` is written only on success. */
QL_EXPORT int32_t QLC_KEY_GenSecKey(QLC_SECRET_KEY *key, uint32_t gen_id, uint32_t key_len);

/* QLC_SYM_Encrypt encrypts `in_len` bytes at `in` with cipher `sym_id`, the key record `key`
 * (which must belong to `sym_id`) and the parameters `params`, writing the ciphertext to `out`
 * (room for `in_len` plus one block) and its length to `*out_len`. Returns 0, -6086 for a key of
 * another cipher, -6075/-6076/-6077/-6114 for parameters that do not fit, -6080 for a NULL or
 * malformed key record, a state or gate code, a code of QL_SYM_Encrypt, or -6081/-6129 when
 * memory runs out. The private copies of key and parameters are wiped. */
QL_EXPORT int32_t QLC_SYM_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                                  uint32_t in_len, const QLC_SECRET_KEY *key, int32_t sym_id,
                                  const QL_SYM_PARAM *params);

/* QLC_SYM_Decrypt is QLC_SYM_Encrypt in the other direction; the padding is removed from the
 * reported length. A key of another cipher gives -6090. */
QL_EXPORT int32_t QLC_SYM_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                                  uint32_t in_len, const QLC_SECRET_KEY *key, int32_t sym_id,
                                  const QL_SYM_PARAM *params);

/* QLC_SYM_Encrypt_Init starts a streaming encryption in the caller's `ctx` and stamps it with
 * the module state. Codes as QLC_SYM_Encrypt, with -6087 for a key of another cipher, -6116
 * for a NULL `ctx` and -6122 when memory runs out. */
QL_EXPORT int32_t QLC_SYM_Encrypt_Init(QL_SYM_CTX *ctx, const QLC_SECRET_KEY *key,
                                       int32_t sym_id, const QL_SYM_PARAM *params);

/* QLC_SYM_Encrypt_Update encrypts `in_len` bytes at `in`, writing whole units to `out` and
 * their count to `*out_len`. A `ctx` stamped in another module state is zeroed and refused
 * with -6143; NULL gives -6142. On failure `ctx` is unchanged; -6123 when memory runs out. */
QL_EXPORT int32_t QLC_SYM_Encrypt_Update(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len,
                                         const uint8_t *in, uint32_t in_len);

/* QLC_SYM_Encrypt_Final writes the last bytes and the padding to `out` and their count to
 * `*out_len`, then zeroes the whole `ctx` whatever the outcome. Codes as the update, with
 * -6124 when memory runs out. */
QL_EXPORT int32_t QLC_SYM_Encrypt_Final(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len);

/* QLC_SYM_Decrypt_Init starts a streaming decryption; codes as QLC_SYM_Encrypt_Init, with
 * -6091 for a key of another cipher and -6125 when memory runs out. */
QL_EXPORT int32_t QLC_SYM_Decrypt_Init(QL_SYM_CTX *ctx, const QLC_SECRET_KEY *key,
                                       int32_t sym_id, const QL_SYM_PARAM *params);

/* QLC_SYM_Decrypt_Update decrypts `in_len` bytes at `in` into `out`; codes as the encryption
 * update, with -6126 when memory runs out. */
QL_EXPORT int32_t QLC_SYM_Decrypt_Update(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len,
                                         const uint8_t *in, uint32_t in_len);

/* QLC_SYM_Decrypt_Final checks the padding and writes to `*pad_len` how many bytes at the end
 * of the updates' output are padding, which the caller drops; it produces no bytes. It zeroes
 * the whole `ctx` whatever the outcome; -6127 when memory runs out. */
QL_EXPORT int32_t QLC_SYM_Decrypt_Final(QL_SYM_CTX *ctx, uint32_t *pad_len);

/* ---- Integers and random --------------------------------------------------------------- */

/* Capacity of a Big: 257 32-bit words (1028 bytes, 8224 bits). */
#define QL_BIG_WORDS 257
#define QL_BIG_MAX_BYTES 1028

/* Big is a signed multi-precision integer: `sign` 0 (zero or positive) or 1 (negative),
 * the magnitude in `words`, least significant word first, and the number of words in use in
 * `length`. In normal form words[length - 1] is non-zero and words above `length` are zero;
 * zero is length 1, words[0] = 0, sign 0. A length of 0 also means zero. A plain record
 * without pointers, copied whole. */
typedef struct Big {
  uint32_t sign;
  uint32_t words[QL_BIG_WORDS];
  int32_t length;
} Big;

/* QL_MONT_CTX is the Montgomery context of one odd modulus N: `n_prime` = -N^-1 mod 2^32 and
 * `work`, the scratch integer of every Montgomery operation (one thread at a time).
 * R = 2^(32 * N.length). */
typedef struct QL_MONT_CTX {
  uint32_t n_prime;
  Big work;
} QL_MONT_CTX;

/* QL_Big_New returns a zero-filled Big (sign 0, length 0, value zero) from the heap, or NULL
 * when memory runs out. Release it with QL_Big_Delete. */
QL_EXPORT Big *QL_Big_New(void);

/* QL_Big_Delete overwrites the whole record `a` with zeros and frees it; NULL is ignored. */
QL_EXPORT void QL_Big_Delete(Big *a);

/* Big_Dump copies sign, all 257 words and length of `src` into `dst` (both non-NULL). */
QL_EXPORT void Big_Dump(Big *dst, const Big *src);

/* U8ToBig clears `r` and sets it to the `n` big-endian bytes at `bytes` (an unsigned value,
 * sign 0); leading zero words are stripped down to length 0. Returns 0, -2009 for a NULL
 * `r` or `bytes` or `n` = 0, -2010 when `n` > 1028. */
QL_EXPORT int32_t U8ToBig(Big *r, const uint8_t *bytes, uint32_t n);

/* U8ToBig_2 is U8ToBig without clearing `r` first: words at or above the resulting length
 * keep their contents, so call it on a cleared record. Same codes as U8ToBig. */
QL_EXPORT int32_t U8ToBig_2(Big *r, const uint8_t *bytes, uint32_t n);

/* Big_HexU8ToBig reads the NUL-terminated hexadecimal text `text` into `r`: a leading '-'
 * sets sign 1 (otherwise the sign is kept), then the run of hex digits up to the first other
 * character; `r` should be cleared by the caller. Returns 0, -2009 for a NULL `r` or `text`,
 * -2011 when strlen(`text`) / 2 > 1028. */
QL_EXPORT int32_t Big_HexU8ToBig(Big *r, const char *text);

/* BigToU8 writes the magnitude of `a` to `out` as big-endian bytes without leading zero
 * bytes (nothing for zero) and returns the count, at most 1028; `out` must hold it. A NULL
 * `out` or `a` writes nothing and returns 0. */
QL_EXPORT int32_t BigToU8(uint8_t *out, const Big *a);

/* BigToU82 writes exactly `n` bytes to `out`: the magnitude of `a` big-endian, left-padded
 * with zeros. Returns 0, -2001 (nothing written) when it needs more than `n` bytes, -2009
 * for a NULL `out` or `a`. */
QL_EXPORT int32_t BigToU82(uint8_t *out, const Big *a, uint32_t n);

/* Big_GetFilledBitNum returns the bit length of the magnitude of `a` (0 for zero). */
QL_EXPORT int32_t Big_GetFilledBitNum(const Big *a);

/* Big_UComp returns -1, 0 or 1 comparing the magnitudes of `a` and `b`. */
QL_EXPORT int32_t Big_UComp(const Big *a, const Big *b);

/* Big_Comp returns -1, 0 or 1 comparing the signed values of `a` and `b`. */
QL_EXPORT int32_t Big_Comp(const Big *a, const Big *b);

/* Big_IsEqual returns 0 when `a` and `b` have equal length, sign and used words, else -2002
 * (a result, not a fault). */
QL_EXPORT int32_t Big_IsEqual(const Big *a, const Big *b);

/* Big_GE returns 1 when |`a`| >= |`b`|, else 0. */
QL_EXPORT int32_t Big_GE(const Big *a, const Big *b);

/* Big_GT returns 1 when |`a`| > |`b`|, else 0. */
QL_EXPORT int32_t Big_GT(const Big *a, const Big *b);

/* Big_AbsAdd sets the magnitude of `r` to |`a`| + |`b`|; r.sign is not touched. `r` may be
 * `a` or `b`. Returns 0, or -2008 when the sum needs more than 257 words. */
QL_EXPORT int32_t Big_AbsAdd(Big *r, const Big *a, const Big *b);

/* Big_AbsSub sets the magnitude of `r` to |`a`| - |`b`| for |`a`| >= |`b`| (equal
 * magnitudes clear `r`); r.sign is not touched. |`a`| < |`b`| gives |`b`| - |`a`|. Returns 0. */
QL_EXPORT int32_t Big_AbsSub(Big *r, const Big *a, const Big *b);

/* Big_Add sets `r` = `a` + `b` (signed). Returns 0, or -2008 on capacity overflow. */
QL_EXPORT int32_t Big_Add(Big *r, const Big *a, const Big *b);

/* Big_Sub sets `r` = `a` - `b` (signed). Returns 0, or -2008 on capacity overflow. */
QL_EXPORT int32_t Big_Sub(Big *r, const Big *a, const Big *b);

/* Big_AddByWord sets `r` = `a` + `w` (signed `a`, unsigned word `w`). Returns 0, or -2008
 * when the carry passes word 256. */
QL_EXPORT int32_t Big_AddByWord(Big *r, const Big *a, uint32_t w);

/* Big_SubByWord sets `r` = `a` - `w` (signed `a`, unsigned word `w`). Returns 0, or -2008
 * when a negative `a` grows past word 256. */
QL_EXPORT int32_t Big_SubByWord(Big *r, const Big *a, uint32_t w);

/* Big_AbsInc adds 1 to the magnitude of `a` in place. Returns 0, or -2008 when the carry
 * leaves word 256 (`a` is then left as it was). */
QL_EXPORT int32_t Big_AbsInc(Big *a);

/* Big_AbsDec subtracts 1 from the non-zero magnitude of `a` in place (zero stays zero).
 * Returns 0. */
QL_EXPORT int32_t Big_AbsDec(Big *a);

/* EB_Add sets `r` = `a` XOR `b` word by word (sum of binary polynomials) through BAdd with
 * the longer operand first. Returns 0. */
QL_EXPORT int32_t EB_Add(Big *r, const Big *a, const Big *b);

/* BAdd XORs the words of `b` into those of `a` (a.length >= b.length), copying the rest of
 * `a`, into `r`; length a.length, stripped; r.sign is not touched. Returns 0. */
QL_EXPORT int32_t BAdd(Big *r, const Big *a, const Big *b);

/* NAdd sets `r` = |`a`| + |`b`| for a.length >= b.length, with length a.length or one more
 * for a final carry; signs are not read or written. Returns 0, or -2008 on overflow. */
QL_EXPORT int32_t NAdd(Big *r, const Big *a, const Big *b);

/* IsLargerDeg returns 1 when the binary polynomial `a` has a higher degree than `b`, else 0
 * (compared by length, then by the highest set bit of the top words). */
QL_EXPORT int32_t IsLargerDeg(const Big *a, const Big *b);

/* Big_Mul sets `r` = `a` * `b`; `r` must be distinct from `a` and `b`. Returns 0, or -2008
 * (r unchanged) when the product needs more than 257 words. */
QL_EXPORT int32_t Big_Mul(Big *r, const Big *a, const Big *b);

/* Big_Sqr sets `r` = `a`^2 (sign 0); `r` must be distinct from `a`. Returns 0, or -2008
 * (r unchanged) when the square needs more than 257 words. */
QL_EXPORT int32_t Big_Sqr(Big *r, const Big *a);

/* NMul sets out[i] to the low word of in[i] * `w` + carry for the `n` >= 1 words of the
 * arrays `out` and `in` (which may be the same array) and returns the final carry word. */
QL_EXPORT uint32_t NMul(uint32_t *out, const uint32_t *in, int32_t n, uint32_t w);

/* NMulAdd adds in[i] * `w` + carry to out[i] for the `n` >= 1 words and returns the final
 * carry word. */
QL_EXPORT uint32_t NMulAdd(uint32_t *out, const uint32_t *in, int32_t n, uint32_t w);

/* Big_LShift1 sets `r` = |`a`| * 2 with a's sign; `r` may be `a`. Returns 0, or -2008 when
 * a bit leaves word 256. */
QL_EXPORT int32_t Big_LShift1(Big *r, const Big *a);

/* Big_RShift1 sets `r` = |`a`| div 2 with a's sign (zero has sign 0); `r` may be `a`.
 * Returns 0. */
QL_EXPORT int32_t Big_RShift1(Big *r, const Big *a);

/* Big_LShift sets `r` = |`a`| * 2^`n` with a's sign; `r` may be `a`. Returns 0, or -2008
 * (r unchanged) when the result needs more than 257 words. */
QL_EXPORT int32_t Big_LShift(Big *r, const Big *a, uint32_t n);

/* Big_RShift sets `r` = |`a`| div 2^`n` with a's sign (zero has sign 0); `r` may be `a`.
 * Returns 0. */
QL_EXPORT int32_t Big_RShift(Big *r, const Big *a, uint32_t n);

/* Big_DivByWord sets `q` = |`a`| div `w` with a's sign and *`rem` = |`a`| mod `w`; `q` may
 * be `a`, `rem` may be NULL. Returns 0, or -2007 when `w` is 0. */
QL_EXPORT int32_t Big_DivByWord(Big *q, uint32_t *rem, const Big *a, uint32_t w);

/* Big_ModU32 returns |`a`| mod `w` for 0 < `w` < 2^31 (0 when `w` is 0). */
QL_EXPORT uint32_t Big_ModU32(const Big *a, uint32_t w);

/* Big_Div divides magnitudes: |`a`| = |`q`| * |`b`| + `r`, 0 <= r < |`b`|, q.sign =
 * a.sign XOR b.sign (sign 0 for a zero quotient). `q`, `r`, `a`, `b` are distinct records;
 * `q` or `r` may be NULL when not wanted. Returns 0, or -2007 when `b` is zero. */
QL_EXPORT int32_t Big_Div(Big *q, Big *r, const Big *a, const Big *b);

/* Big_Mod sets `r` to the least non-negative residue of `a` modulo `m` > 0; `r` may be `a`.
 * Returns 0, or -2007 when `m` is zero. */
QL_EXPORT int32_t Big_Mod(Big *r, const Big *a, const Big *m);

/* Big_MulMod sets `r` = `a` * `b` mod `m`; `r` may be an operand. Returns 0 or the OR of the
 * statuses of the product and the reduction. */
QL_EXPORT int32_t Big_MulMod(Big *r, const Big *a, const Big *b, const Big *m);

/* Big_SqrMod sets `r` = `a`^2 mod `m`; `r` may be `a`. Returns as Big_MulMod. */
QL_EXPORT int32_t Big_SqrMod(Big *r, const Big *a, const Big *m);

/* Big_SubMod sets `r` = (`a` - `b`) mod `m`; `r` may be an operand. Returns as Big_MulMod. */
QL_EXPORT int32_t Big_SubMod(Big *r, const Big *a, const Big *b, const Big *m);

/* Big_ModAdd sets `r` = (`a` + `b`) mod `m`; `r` may be an operand. Returns as Big_MulMod. */
QL_EXPORT int32_t Big_ModAdd(Big *r, const Big *a, const Big *b, const Big *m);

/* Big_GCD sets `g` = gcd(|`a`|, |`b`|) (binary method); gcd(a, 0) = |a|. `g` may be an
 * operand. Returns 0. */
QL_EXPORT int32_t Big_GCD(Big *g, const Big *a, const Big *b);

/* Big_ExtendedGCD sets `g` = gcd(`a`, `b`) for non-negative `a`, `b` and coefficients `s`,
 * `t` (possibly negative) with s*a + t*b = g; for b = 0 they are 1 and 0, for a = 0 (b != 0)
 * 0 and 1. Outputs are distinct from each other and from the operands. Returns 0, or -2008
 * when an intermediate exceeds the capacity. */
QL_EXPORT int32_t Big_ExtendedGCD(Big *g, Big *s, Big *t, const Big *a, const Big *b);

/* Big_InvMod sets `x` = `a`^-1 mod `m` in [0, m) for non-negative `a` and `m` > 0; `x` is
 * distinct from the operands. Returns 0, or -2003 when gcd(a, m) != 1. */
QL_EXPORT int32_t Big_InvMod(Big *x, const Big *a, const Big *m);

/* Big_Inv sets `r` = `a`^-1 mod `m` and returns 1 when gcd(a, m) = 1; returns 0 with `r`
 * cleared when there is no inverse (a or m zero, or gcd != 1), and 0 with `r` untouched
 * when `a` or `m` is negative. The result is a flag, not a status. */
QL_EXPORT int32_t Big_Inv(Big *r, const Big *a, const Big *m);

/* QL_MONT_CTX_New returns a zero-filled Montgomery context from the heap, or NULL.
 * Release it with QL_MONT_CTX_Delete. */
QL_EXPORT QL_MONT_CTX *QL_MONT_CTX_New(void);

/* QL_MONT_CTX_Delete wipes the context `ctx` and frees it; NULL is ignored. */
QL_EXPORT void QL_MONT_CTX_Delete(QL_MONT_CTX *ctx);

/* Big_MontInit prepares `ctx` for the odd modulus `N` (at most 128 words) and sets `rr` =
 * R^2 mod N. Returns 0, -2007 for a zero `N`, -2008 when `N` has more than 128 words. */
QL_EXPORT int32_t Big_MontInit(QL_MONT_CTX *ctx, Big *rr, const Big *N);

/* Big_MontReduction sets `r` = `T` * R^-1 mod `N` for the `N` of `ctx`; `r` may be `T`.
 * Returns 0, or -2008 when `N` has more than 128 words. */
QL_EXPORT int32_t Big_MontReduction(QL_MONT_CTX *ctx, Big *r, const Big *T, const Big *N);

/* Big_MontMul sets `r` = `a` * `b` * R^-1 mod `N` for `a`, `b` < N; `r` may be `a` or `b`.
 * Returns 0, or -2008 when `N` has more than 128 words. */
QL_EXPORT int32_t Big_MontMul(QL_MONT_CTX *ctx, Big *r, const Big *a, const Big *b,
                              const Big *N);

/* Big_MontSqr sets `r` = `a`^2 * R^-1 mod `N` for `a` < N; `r` may be `a`. Returns 0, or
 * -2008 when `N` has more than 128 words. */
QL_EXPORT int32_t Big_MontSqr(QL_MONT_CTX *ctx, Big *r, const Big *a, const Big *N);

/* Big_ModExp sets `r` = `g`^`e` mod `N` for an odd `N` of at most 128 words and non-negative
 * `g` and `e` (through Big_ModExpWindowMont). `r` may be `g` or `e`. Returns 0, -2007 for a
 * zero `N`, -2008 when `N` is longer than 128 words, or critical -2005 when memory runs out
 * (`r` untouched). Variable time: sliding window over the exponent bits. */
QL_EXPORT int32_t Big_ModExp(Big *r, const Big *g, const Big *e, const Big *N);

/* Big_ModExpWindowMont is Big_ModExp: a sliding window of 4 bits (5 when `e` has 101 or
 * more one bits) over Montgomery products. Same rules and codes. */
QL_EXPORT int32_t Big_ModExpWindowMont(Big *r, const Big *g, const Big *e, const Big *N);

/* Big_ModExpWindow2 sets `r` = `g`^`e` mod `N` for `g` < N with `ctx` and `rr` = R^2 mod N
 * prepared by Big_MontInit for `N`; `ctx` work is overwritten. Returns 0, -2008 when `N` is
 * longer than 128 words, or critical -2006 when memory runs out (`r` untouched). */
QL_EXPORT int32_t Big_ModExpWindow2(Big *r, const Big *g, const Big *e, const Big *N,
                                    QL_MONT_CTX *ctx, const Big *rr);

/* QL_ENTROPY_POOL collects entropy from system facts, commands and the system generator;
 * bytes are XOR-accumulated into `pool`. */
typedef struct QL_ENTROPY_POOL {
  uint8_t pool[512];
  uint32_t count;    /* bytes appended so far, at most 512 */
  uint32_t position; /* next pool index to XOR into, modulo 512 */
} QL_ENTROPY_POOL;

/* QL_X962_CTX is the state of the X9.62 generator: outputs lie in [1, q-1]. */
typedef struct QL_X962_CTX {
  Big q;               /* 5 to 16 words */
  uint32_t b;          /* XKEY length in bytes, 20 to 64 */
  uint8_t xkey[64];    /* secret state; the first `b` bytes are used */
  uint8_t xseed[64];   /* optional seed input, left-aligned, zero-filled */
  uint32_t seed_len;   /* XSEED bytes present; 0 = none */
} QL_X962_CTX;

/* QL_Generate_Entropy clears `pool` and refills it from the clocks, process and user
 * identifiers, the system name, up to 128 bytes of the system generator and the output of a
 * fixed list of system commands (a command that cannot run contributes nothing). NULL is
 * ignored. */
QL_EXPORT void QL_Generate_Entropy(QL_ENTROPY_POOL *pool);

/* QL_Extra_UNIX_Entropy_Gather appends the output of each command of the fixed list to `pool`,
 * in 512-byte pieces. Returns 0. */
QL_EXPORT int32_t QL_Extra_UNIX_Entropy_Gather(QL_ENTROPY_POOL *pool);

/* QL_RandomBytes writes `n` bytes of the SHA-1 hash pool generator to `out` and returns `n`.
 * Every call, also with a NULL `out` or `n` = 0 (which write nothing and return 0), re-seeds
 * the generator from a fresh entropy pool. Thread-safe. */
QL_EXPORT uint32_t QL_RandomBytes(uint8_t *out, uint32_t n);

/* Big_RandomMutex_Lock and Big_RandomMutex_Unlock take and release the lock of the hash pool
 * generator. */
QL_EXPORT void Big_RandomMutex_Lock(void);
QL_EXPORT void Big_RandomMutex_Unlock(void);

/* QL_Big_Random sets `r` to a random integer of exactly `bits` bits (`bits` >= 1). With `top`
 * non-zero the two highest bits are set (only the top bit when `bits` is 1); with `odd`
 * non-zero the value is odd. Returns the status of U8ToBig, or -1505 in critical form when
 * memory runs out. */
QL_EXPORT int32_t QL_Big_Random(Big *r, uint32_t bits, int32_t top, int32_t odd);

/* Big_X962_Init clears `ctx` and keys it with modulus `q` (5 to 16 words), the `b`-byte XKEY
 * `xkey` (20 to 64 bytes) and the optional seed `xseed` of `seed_len` bytes (NULL or 0: none).
 * Returns 0, or -1504 for a NULL argument or a size out of range. */
QL_EXPORT int32_t Big_X962_Init(QL_X962_CTX *ctx, const Big *q, const uint8_t *xkey, uint32_t b,
                                const uint8_t *xseed, uint32_t seed_len);

/* Big_X962_Update replaces the seed of `ctx` by the first min(b, `seed_len`) bytes of `xseed`
 * (NULL or 0: no seed). Returns 0, or -1503 for a NULL `ctx`. */
QL_EXPORT int32_t Big_X962_Update(QL_X962_CTX *ctx, const uint8_t *xseed, uint32_t seed_len);

/* Big_X962_Random sets `w` to the generator's next value in [1, q-1] and advances XKEY.
 * Returns 0, -1502 for a NULL argument, or an error of the integer arithmetic. */
QL_EXPORT int32_t Big_X962_Random(QL_X962_CTX *ctx, Big *w);

/* Big_X962_Final wipes `ctx` (NULL is ignored) and returns 0. */
QL_EXPORT int32_t Big_X962_Final(QL_X962_CTX *ctx);

/* QL_X962_Prng_ToPrime writes `n` bytes for the prime generator, drawn from a freshly keyed
 * X9.62 generator over the fixed 160-bit q: each value's words, word 0 first, each word
 * big-endian. Returns 0 or the first error of the generator. */
QL_EXPORT int32_t QL_X962_Prng_ToPrime(uint8_t *out, uint32_t n);

/* Big_KCDSA_PRNG sets `r` to the `bits`-bit output of the KCDSA hash generator over the
 * digest `hash_id` and the `seed_bits`-bit byte string `seed` (NULL or 0 bits: empty).
 * Returns 0, the digest's error for an unknown `hash_id`, or -5020 in critical form when
 * memory runs out. */
QL_EXPORT int32_t Big_KCDSA_PRNG(Big *r, uint32_t bits, int32_t hash_id, const uint8_t *seed,
                                 uint32_t seed_bits);

/* Big_Random_KCDSA sets `r` to a value modulo `q` from the KCDSA two-stage construction over
 * the base `b` and the `seed_len`-byte `seed`. Returns 0, an error of the hash generator or of
 * the arithmetic, or -5021 in critical form when memory runs out. */
QL_EXPORT int32_t Big_Random_KCDSA(Big *r, const Big *q, const Big *b, int32_t hash_id,
                                   const uint8_t *seed, uint32_t seed_len);

/* QL_CMVP_RAND_Init (re-)keys the module generator with the modulus `q_bytes` (big-endian,
 * `q_len` bytes; NULL: the fixed 160-bit q) and the caller's XKEY and seed. With `xkey` or
 * `xseed` NULL, both are drawn from QL_RandomBytes. Returns 0, -1506 when the generator runs
 * already and neither key nor seed is given, or an error of U8ToBig or Big_X962_Init. */
QL_EXPORT int32_t QL_CMVP_RAND_Init(const uint8_t *q_bytes, uint32_t q_len, const uint8_t *xkey,
                                    uint32_t xkey_len, const uint8_t *xseed, uint32_t xseed_len);

/* QL_CMVP_RAND_Update initialises the module generator on first use, then replaces its seed
 * by 20 fresh bytes of QL_RandomBytes. `data` and `n` are accepted and not used. Returns 0. */
QL_EXPORT int32_t QL_CMVP_RAND_Update(const uint8_t *data, uint32_t n);

/* QL_CMVP_RAND_GetRandom writes `n` bytes of the module generator to `out`. Every output block
 * is compared with the previous one; a repeat puts the module into its error state and
 * returns -6001 (bytes already written stay). Returns 0 otherwise. Thread-safe. */
QL_EXPORT int32_t QL_CMVP_RAND_GetRandom(uint8_t *out, uint32_t n);

/* QL_CMVP_RAND_Final wipes the module generator's state if it was initialised. Returns 0. */
QL_EXPORT int32_t QL_CMVP_RAND_Final(void);

/* QL_CMVP_RAND_LockMutex and QL_CMVP_RAND_UnlockMutex take and release the module generator's
 * lock. */
QL_EXPORT void QL_CMVP_RAND_LockMutex(void);
QL_EXPORT void QL_CMVP_RAND_UnlockMutex(void);

/* Big_IsPrimeRSA runs the Miller-Rabin test on `n` with a number of rounds that falls with
 * its size and bases drawn from the primes 3581 to 27457. Returns 0 for a probable prime,
 * -2004 when `n` is proved composite (also for even `n` and for 0 and 1), or an error of the
 * Montgomery arithmetic. */
QL_EXPORT int32_t Big_IsPrimeRSA(const Big *n);

/* Big_ProbablePrime sets `r` to a random odd probable prime of at most `bits` bits (`bits` 1
 * to 4096), found by trial division and Big_IsPrimeRSA upward from a random start. Returns 0,
 * -2009 for a size out of range, or an error of the random generator. */
QL_EXPORT int32_t Big_ProbablePrime(Big *r, uint32_t bits);

/* Big_GeneratePrimeStrongRSA sets `p` to a strong prime of exactly ceil(`bits`/8) bytes with a
 * top word of at least 0x20000000: p - 1 and p + 1 each have a large prime factor. The byte
 * length must be a multiple of 4 between 16 and 512, else -2009. Returns 0 or the first error
 * of its steps. */
QL_EXPORT int32_t Big_GeneratePrimeStrongRSA(Big *p, uint32_t bits);

/* ---- RSA and DER integers -------------------------------------------------------------- */

/* Big_DerLength returns the content length of the DER INTEGER of `x` (two's complement,
 * minimal: one more byte when a non-negative value's top bit is set), or 0 for a NULL `x`.
 * It first strips leading zero words of `x` in place (length never below 1). */
QL_EXPORT uint32_t Big_DerLength(Big *x);

/* Big_DerEncode writes the DER INTEGER (tag 0x02, minimal length, content) of `x` to `out` and
 * its length to `*outLen`. With a NULL `out` it writes only the upper bound
 * Big_DerLength(`x`) + 6 to `*outLen`; otherwise `out` must hold that many bytes. Strips `x`
 * as Big_DerLength does. Returns 0, or -3505 for a NULL `outLen` or `x`. */
QL_EXPORT int32_t Big_DerEncode(uint8_t *out, uint32_t *outLen, Big *x);

/* Big_DerDecode reads one DER INTEGER from the `inLen` bytes at `in` into `x` (a content with
 * the top bit set is negative; an empty content is zero); bytes behind it are ignored and no
 * byte at or beyond `inLen` is read. Returns 0, -3505 for a NULL `x` or `in`, -3501 for a tag
 * other than 0x02, -3502 for a length that is malformed (indefinite, more than four length
 * bytes) or runs past `inLen`, -2010 for a content above 1028 bytes; `x` is unchanged on
 * failure. */
QL_EXPORT int32_t Big_DerDecode(Big *x, const uint8_t *in, uint32_t inLen);

/* Limits of the RSA functions: moduli of at most 128 words (4096 bits); generated moduli of
 * 128 to 512 bytes in steps of 8; the default public exponent. */
#define QL_RSA_MAX_MODULUS_WORDS 128
#define QL_RSA_MIN_GEN_BYTES 128
#define QL_RSA_MAX_GEN_BYTES 512
#define QL_RSA_DEFAULT_EXPONENT 65537

/* Status codes of the RSA functions besides those of the integer layer:
 *   -4501  QL_RSA_ProveKeyPair: the keys do not match
 *   -4502  QL_RSA_PrivateKeyExp: input negative or above the modulus
 *   -4503  QL_RSA_PublicKeyExp: input negative or above the modulus
 *   -4504  QL_RSA_PrivateKeyExp: memory exhausted (critical form)
 *   -4505  QL_RSA_GenerateKey: modulus length not a multiple of 8 bytes or outside 128..512
 *   -4506  QL_RSA_GenerateKey: public exponent even, below 3, negative or above 2^256
 *   -4507  a NULL key, input or output
 *   -4508  an unusable key: modulus zero, even, one or above 128 words, exponent zero,
 *          negative values, or CRT primes zero, even or longer than the modulus
 *   -4509  QL_RSA_PrivateKeyExp: its result failed the check with the public exponent
 *          (critical form; nothing is written) */

/* An RSA public key: modulus `n` and public exponent `e`. */
typedef struct QL_RSA_PUBLIC_KEY {
  Big n;
  Big e;
} QL_RSA_PUBLIC_KEY;

/* An RSA private key: modulus `n`, public exponent `e`, private exponent `d`, primes `p` and
 * `q` (p > q after generation), `dP` = d mod (p - 1), `dQ` = d mod (q - 1) and
 * `qInv` = q^-1 mod p. `dP`, `dQ` and `qInv` may all be zero (absent): the private operation
 * then uses `d`. */
typedef struct QL_RSA_PRIVATE_KEY {
  Big n;
  Big e;
  Big d;
  Big p;
  Big q;
  Big dP;
  Big dQ;
  Big qInv;
} QL_RSA_PRIVATE_KEY;

/* QL_RSA_PublicKey_New returns a zero-filled public key from the heap, or NULL when memory
 * runs out. Release it with QL_RSA_PublicKey_Delete. */
QL_EXPORT QL_RSA_PUBLIC_KEY *QL_RSA_PublicKey_New(void);

/* QL_RSA_PublicKey_Delete overwrites the whole record `key` with zeros and frees it; NULL is
 * ignored. */
QL_EXPORT void QL_RSA_PublicKey_Delete(QL_RSA_PUBLIC_KEY *key);

/* QL_RSA_PrivateKey_New returns a zero-filled private key from the heap, or NULL when memory
 * runs out. Release it with QL_RSA_PrivateKey_Delete. */
QL_EXPORT QL_RSA_PRIVATE_KEY *QL_RSA_PrivateKey_New(void);

/* QL_RSA_PrivateKey_Delete overwrites the whole record `key` with zeros and frees it; NULL is
 * ignored. */
QL_EXPORT void QL_RSA_PrivateKey_Delete(QL_RSA_PRIVATE_KEY *key);

/* QL_RSA_GenerateKey fills `priv` (all eight integers) and `pub` (n, e) with a new key whose
 * modulus has exactly `k` bytes (top bit set), from two strong primes p > q of k/2 bytes each;
 * d = e^-1 mod lcm(p - 1, q - 1). `e` is the public exponent (odd, 3 to 2^256) or NULL for
 * 65537. Returns 0, -4507 for a NULL key, -4505 or -4506 for refused sizes or exponents, or
 * the first error of a step; the records are written only on success. */
QL_EXPORT int32_t QL_RSA_GenerateKey(QL_RSA_PRIVATE_KEY *priv, QL_RSA_PUBLIC_KEY *pub,
                                     uint32_t k, const Big *e);

/* QL_RSA_PublicKeyExp sets `out` = `in`^e mod n for 0 <= `in` <= n (n itself gives 0); `out`
 * may be `in`. Returns 0, -4503 for an input outside that range, -4507 for a NULL argument,
 * -4508 for an unusable key, or an error of the exponentiation. */
QL_EXPORT int32_t QL_RSA_PublicKeyExp(Big *out, const Big *in, const QL_RSA_PUBLIC_KEY *pub);

/* QL_RSA_PrivateKeyExp sets `out` = `in`^d mod n for 0 <= `in` <= n, blinded by a fresh random
 * value, by the Chinese remainder theorem when dP, dQ and qInv are all non-zero, and in time
 * independent of the private values. The result is checked against the public exponent before
 * it is written; `out` may be `in`. Returns 0, -4502 for an input outside the range, -4507,
 * -4508, -4504 (memory) or -4509 (failed check), both in critical form, or an error of the
 * random generator; `out` is unchanged on failure. */
QL_EXPORT int32_t QL_RSA_PrivateKeyExp(Big *out, const Big *in, const QL_RSA_PRIVATE_KEY *priv);

/* QL_RSA_ProveKeyPair encrypts the value 1234 with `pub` and decrypts it with `priv`. Returns
 * 0 when 1234 comes back, -4501 when another value does (or the private operation's check
 * fails), -4507 for a NULL key, or an error of either operation. */
QL_EXPORT int32_t QL_RSA_ProveKeyPair(const QL_RSA_PRIVATE_KEY *priv,
                                      const QL_RSA_PUBLIC_KEY *pub);
/* ---- PKCS #1 encodings, schemes and RSA key encodings ---------------------------------- */

/* Parameters of RSAES-OAEP: the digest of the label (`hash_id` 2 to 5), the MGF (`mgf_id`
 * 1 = MGF1 with SHA-1, 3, 4, 5 = MGF1 with SHA-256, SHA-384, SHA-512; 2 and others are
 * refused), the label source (`source_id`, only 1: label given here) and the label itself,
 * `label_len` bytes at `label` (NULL when the length is 0), at most 32768 bytes. */
typedef struct QL_OAEP_PARAM {
  int32_t hash_id;
  int32_t mgf_id;
  int32_t source_id;
  uint8_t *label;
  uint32_t label_len;
} QL_OAEP_PARAM;

/* Parameters of RSASSA-PSS: the digest (`hash_id` 2 to 5) of the message, of M' and of the
 * salt length, and the MGF (`mgf_id` as in QL_OAEP_PARAM). The salt is as long as the digest. */
typedef struct QL_PSS_PARAM {
  int32_t hash_id;
  int32_t mgf_id;
} QL_PSS_PARAM;

/* QL_PKCS1_I2OSP writes `x` to `out` as exactly `len` big-endian bytes, left-padded with
 * zeros. Returns 0, -3004 when `x` needs more than `len` bytes (nothing written), or -2009 for
 * a NULL argument. */
QL_EXPORT int32_t QL_PKCS1_I2OSP(uint8_t *out, uint32_t len, const Big *x);

/* QL_PKCS1_OS2IP sets `x` to the unsigned value of the `len` big-endian bytes at `in`; a NULL
 * `in` with `len` 0 gives zero. Returns 0, or -2009 (NULL `x`, or `len` 0 with a non-NULL
 * `in`) or -2010 (more than 1028 bytes) from U8ToBig. */
QL_EXPORT int32_t QL_PKCS1_OS2IP(Big *x, const uint8_t *in, uint32_t len);

/* QL_PKCS1_MGF1 writes exactly `len` bytes of MGF1 over the `seed_len`-byte `seed` with digest
 * `hash_id` (2 to 5) to `out`: Hash(seed || C) for the 4-byte big-endian counters C = 0, 1, ...
 * `out` and `seed` may be NULL only with a zero length. Returns 0, or -3005 for another
 * digest or a NULL buffer. */
QL_EXPORT int32_t QL_PKCS1_MGF1(uint8_t *out, uint32_t len, const uint8_t *seed,
                                uint32_t seed_len, int32_t hash_id);

/* QL_PKCS1_EME_V15_Encode writes the `k`-byte block 00 02 PS 00 M of the `m_len`-byte message
 * `m` to `em`, PS being k - m_len - 3 non-zero random bytes; `m` may lie inside `em`. Returns 0,
 * -3006 for a NULL `em` or `m`, -3007 when m_len > k - 11. */
QL_EXPORT int32_t QL_PKCS1_EME_V15_Encode(uint8_t *em, uint32_t k, const uint8_t *m,
                                          uint32_t m_len);

/* QL_PKCS1_EME_V15_Decode checks the `em_len`-byte block `em` (00 02, at least 8 non-zero
 * bytes, 00) and writes the message behind it to `m` and its length to `*m_len`. `m` must hold
 * em_len - 11 bytes; on success the bytes behind the message up to there are zeroed, on
 * failure `m` and `*m_len` are unchanged. Constant time in the block's contents. Returns 0,
 * -3008 for a NULL argument, -3009 for any malformed block. */
QL_EXPORT int32_t QL_PKCS1_EME_V15_Decode(uint8_t *m, uint32_t *m_len, const uint8_t *em,
                                          uint32_t em_len);

/* QL_PKCS1_EME_OAEP_Encode writes the `k`-byte EME-OAEP block of the `m_len`-byte message `m`
 * (NULL when m_len is 0; it may lie inside `em`) under `param` to `em`, with a fresh random
 * seed. Returns 0, -3001 for refused identifiers or NULL pointers, -3002 for a label above
 * 32768 bytes or m_len > k - 2 hLen - 2, critical -3003 when memory runs out, or an error of
 * the label digest. */
QL_EXPORT int32_t QL_PKCS1_EME_OAEP_Encode(uint8_t *em, uint32_t k, const uint8_t *m,
                                           uint32_t m_len, const QL_OAEP_PARAM *param);

/* QL_PKCS1_EME_OAEP_Decode checks the `k`-byte EME-OAEP block `em` under `param` and writes
 * its message to `m` and the length to `*m_len`. `m` must hold k - 2 hLen - 2 bytes; on
 * success the bytes behind the message up to there are zeroed, on failure `m` and `*m_len`
 * are unchanged. Constant time in the block's contents. Returns 0, -3010 for refused
 * identifiers or NULL pointers, -3011 for a label above 32768 bytes, k < 2 hLen + 2 or any
 * failed check, critical -3012 when memory runs out. Scratch copies are wiped. */
QL_EXPORT int32_t QL_PKCS1_EME_OAEP_Decode(uint8_t *m, uint32_t *m_len, const uint8_t *em,
                                           uint32_t k, const QL_OAEP_PARAM *param);

/* QL_PKCS1_EMSA_V15_Encode writes the `em_len`-byte block 00 01 FF..FF 00 DigestInfo-prefix H
 * of the `h_len`-byte digest `h` to `em`; digests 1 to 5 get their DigestInfo prefix, any other
 * `hash_id` (such as -1) none. `h_len` is not checked against the digest. Returns 0, or -3030
 * when the block is shorter than prefix + h_len + 11 bytes or a pointer is NULL. */
QL_EXPORT int32_t QL_PKCS1_EMSA_V15_Encode(uint8_t *em, uint32_t em_len, int32_t hash_id,
                                           const uint8_t *h, uint32_t h_len);

/* QL_PKCS1_EMSA_PSS_Encode writes the ceil(`em_bits`/8)-byte EMSA-PSS block of the digest
 * `m_hash` (`h_len` bytes, the length of param's digest) with an `s_len`-byte random salt to
 * `em`. Returns 0, -3013 for refused identifiers, a wrong `h_len` or a NULL pointer, -3015 when
 * 8 (h_len + s_len) + 9 > em_bits, critical -3014 when memory runs out. */
QL_EXPORT int32_t QL_PKCS1_EMSA_PSS_Encode(uint8_t *em, uint32_t em_bits, const uint8_t *m_hash,
                                           uint32_t h_len, uint32_t s_len,
                                           const QL_PSS_PARAM *param);

/* QL_PKCS1_EMSA_PSS_Verify checks that the ceil(`em_bits`/8)-byte block `em` is an EMSA-PSS
 * encoding of the `h_len`-byte digest `m_hash` under `param`, with a salt of any length.
 * Returns 0, -3016 for refused identifiers, a wrong `h_len` or a NULL pointer, critical -3017
 * when memory runs out, -3018 for any inconsistency. */
QL_EXPORT int32_t QL_PKCS1_EMSA_PSS_Verify(const uint8_t *em, uint32_t em_bits,
                                           const uint8_t *m_hash, uint32_t h_len,
                                           const QL_PSS_PARAM *param);

/* The schemes. k is the byte length of the key's modulus n; every output buffer holds k bytes
 * and `*out_len` receives the number of bytes written. Private-key results are computed by
 * QL_RSA_PrivateKeyExp (blinded, checked); its and QL_RSA_PublicKeyExp's codes (-4507, -4508
 * and the integer layer's) are returned as they are unless mapped below. Every scratch block
 * is wiped before it is freed; outputs are written only on success. */

/* QL_PKCS1_V15_Encrypt encrypts the `m_len`-byte message `m` (at most k - 11 bytes) with
 * RSAES-PKCS1-v1_5 under `pub` into the k bytes at `out`. Returns 0, -3019 for a NULL
 * argument, critical -3020 when memory runs out, or -3007 for too long a message. */
QL_EXPORT int32_t QL_PKCS1_V15_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *m,
                                       uint32_t m_len, const QL_RSA_PUBLIC_KEY *pub);

/* QL_PKCS1_V15_Decrypt decrypts the `c_len`-byte ciphertext `c` with `priv` and writes the
 * message to `out` (k bytes of room) and its length to `*out_len`. Constant time in the
 * padding. Returns 0, -3021 for a NULL argument, critical -3022 when memory runs out, or -3023
 * for a length other than k, a value above n and every padding failure alike. */
QL_EXPORT int32_t QL_PKCS1_V15_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *c,
                                       uint32_t c_len, const QL_RSA_PRIVATE_KEY *priv);

/* QL_PKCS1_OAEP_Encrypt encrypts the `m_len`-byte message `m` (NULL when empty) with
 * RSAES-OAEP under `pub` and `param` into the k bytes at `out`. Returns 0, critical -3024 when
 * memory runs out, or a code of QL_PKCS1_EME_OAEP_Encode (-3001 also for a NULL `out`,
 * `out_len` or `pub`). */
QL_EXPORT int32_t QL_PKCS1_OAEP_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *m,
                                        uint32_t m_len, const QL_RSA_PUBLIC_KEY *pub,
                                        const QL_OAEP_PARAM *param);

/* QL_PKCS1_OAEP_Decrypt decrypts the `c_len`-byte ciphertext `c` with `priv` under `param` and
 * writes the message to `out` (k bytes of room) and its length to `*out_len`. Constant time in
 * the padding. Returns 0, -3026 for a NULL argument, a length other than k or a value above n,
 * critical -3025 when memory runs out, or a code of QL_PKCS1_EME_OAEP_Decode (-3011 for every
 * padding failure alike). */
QL_EXPORT int32_t QL_PKCS1_OAEP_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *c,
                                        uint32_t c_len, const QL_RSA_PRIVATE_KEY *priv,
                                        const QL_OAEP_PARAM *param);

/* QL_PKCS1_V15_Sign signs the `h_len`-byte digest `h` with RSASSA-PKCS1-v1_5 and `priv` into
 * the k bytes at `out`. `hash_id` 1 to 5 adds its DigestInfo prefix and needs the digest's
 * length; any other `hash_id` (such as -1) signs `h` as it is. Returns 0, -3027 for a wrong
 * digest length or a NULL argument, critical -3028 when memory runs out, -3029 when the
 * modulus is too short for the block. */
QL_EXPORT int32_t QL_PKCS1_V15_Sign(uint8_t *out, uint32_t *out_len, int32_t hash_id,
                                    const uint8_t *h, uint32_t h_len,
                                    const QL_RSA_PRIVATE_KEY *priv);

/* QL_PKCS1_V15_Verify checks the `sig_len`-byte signature `sig` of the digest `h` under `pub`
 * (`hash_id` as for QL_PKCS1_V15_Sign), comparing all k bytes of the block. Returns 0, -3031
 * for a wrong digest length or a NULL argument, critical -3032 when memory runs out, -3033
 * for an invalid signature (also a length other than k or a value above n), -3034 when the
 * modulus is too short for the block. */
QL_EXPORT int32_t QL_PKCS1_V15_Verify(const uint8_t *sig, uint32_t sig_len, int32_t hash_id,
                                      const uint8_t *h, uint32_t h_len,
                                      const QL_RSA_PUBLIC_KEY *pub);

/* QL_PKCS1_PSS_Sign signs the digest `h` (`h_len` = the length of param's digest) with
 * RSASSA-PSS, a random salt as long as the digest and `priv` into the k bytes at `out`.
 * Returns 0, -3035 for a NULL argument or a wrong `h_len`, -3036 for a digest other than 2 to
 * 5, critical -3037 when memory runs out, or a code of QL_PKCS1_EMSA_PSS_Encode (-3015 when
 * the modulus is too short). */
QL_EXPORT int32_t QL_PKCS1_PSS_Sign(uint8_t *out, uint32_t *out_len, const uint8_t *h,
                                    uint32_t h_len, const QL_RSA_PRIVATE_KEY *priv,
                                    const QL_PSS_PARAM *param);

/* QL_PKCS1_PSS_Verify checks the `sig_len`-byte RSASSA-PSS signature `sig` of the digest `h`
 * under `pub` and `param`, accepting any salt length. Returns 0, -3038 for a NULL argument or
 * a wrong `h_len`, -3040 for a digest other than 2 to 5, critical -3039 when memory runs out,
 * -3041 for an invalid signature (also a length other than k or a value above n). */
QL_EXPORT int32_t QL_PKCS1_PSS_Verify(const uint8_t *sig, uint32_t sig_len, const uint8_t *h,
                                      uint32_t h_len, const QL_RSA_PUBLIC_KEY *pub,
                                      const QL_PSS_PARAM *param);

/* QL_PKCS1_PublicKeyEncode writes the DER RSAPublicKey SEQUENCE { n, e } of `pub` to `out` and
 * its length to `*out_len`; with a NULL `out` it writes only the length, which `out` must then
 * hold. Returns 0, -3042 for a NULL argument or a zero or negative n or e, critical -3043 when
 * memory runs out. */
QL_EXPORT int32_t QL_PKCS1_PublicKeyEncode(uint8_t *out, const QL_RSA_PUBLIC_KEY *pub,
                                           uint32_t *out_len);

/* QL_PKCS1_PublicKeyDecode reads a DER RSAPublicKey at `in` into `pub`. There is no length
 * argument: the SEQUENCE header gives the extent, and nothing past it is read, so `in` must
 * hold at least that many bytes. Returns 0, -3503 for a malformed structure (wrong tags,
 * lengths past the SEQUENCE, bytes left inside it, empty or negative INTEGERs), -2010 for an
 * INTEGER above 1028 bytes, -4508 for a modulus above 128 words; `pub` is written only on
 * success. */
QL_EXPORT int32_t QL_PKCS1_PublicKeyDecode(QL_RSA_PUBLIC_KEY *pub, const uint8_t *in);

/* QL_PKCS1_PrivateKeyEncode writes the DER RSAPrivateKey of `priv` (version 0; dP, dQ, qInv as
 * NULL when zero) to `out` and its length to `*out_len`; with a NULL `out` it writes only the
 * length, which `out` must then hold. Returns 0, -3044 for a NULL argument, a zero n, e, d, p
 * or q or a negative value, critical -3045 when memory runs out. */
QL_EXPORT int32_t QL_PKCS1_PrivateKeyEncode(uint8_t *out, const QL_RSA_PRIVATE_KEY *priv,
                                            uint32_t *out_len);

/* QL_PKCS1_PrivateKeyDecode reads the DER RSAPrivateKey that fills exactly the `in_len` bytes
 * at `in` into `priv`; dP, dQ and qInv encoded as NULL become zero. Returns 0, -3504 for a
 * malformed structure (wrong tags or version, a length other than in_len, empty or negative
 * INTEGERs, a NULL with content), -2010 for an INTEGER above 1028 bytes, -4508 for a modulus
 * above 128 words; `priv` is written only on success. */
QL_EXPORT int32_t QL_PKCS1_PrivateKeyDecode(QL_RSA_PRIVATE_KEY *priv, const uint8_t *in,
                                            uint32_t in_len);

/* ---- Elliptic curves and points ------------------------------------------------------- */

/* BigPoint is an elliptic-curve point in affine coordinates. Bit 0 of `flags`
 * (QL_BIGPOINT_INFINITY) marks the point at infinity, whose coordinates are then not meaningful;
 * the other bits are zero. A plain record without pointers, copied whole. */
typedef struct BigPoint {
  Big x;
  Big y;
  uint32_t flags;
} BigPoint;

#define QL_BIGPOINT_INFINITY 1u

/* Point encodings of Big_Point2Oct. */
#define QL_POINT_COMPRESSED 2
#define QL_POINT_UNCOMPRESSED 4
#define QL_POINT_HYBRID 6

struct QL_ECDSA_PARAMETERS;

/* The seven operations of a curve record. Each returns a status (0 or negative) except the
 * invert operation, which has Big_Inv's convention: 1 with `r` = `a`^-1 mod `m`, 0 when `a` has
 * no inverse. Results may alias inputs. reduce and invert take the modulus (p or n) as `m`. */
typedef int32_t (*QL_ECC_REDUCE_FN)(Big *r, const Big *a, const Big *m);
typedef int32_t (*QL_ECC_MUL_FN)(const struct QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a,
                                 const Big *b);
typedef int32_t (*QL_ECC_SQR_FN)(const struct QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a);
typedef int32_t (*QL_ECC_INV_FN)(Big *r, const Big *a, const Big *m);
typedef int32_t (*QL_ECC_POINT_ADD_FN)(const struct QL_ECDSA_PARAMETERS *curve, BigPoint *R,
                                       const BigPoint *P, const BigPoint *Q);
typedef int32_t (*QL_ECC_POINT_MUL_FN)(const struct QL_ECDSA_PARAMETERS *curve, BigPoint *R,
                                       const Big *k, const BigPoint *P);
typedef int32_t (*QL_ECC_FIND_Y_FN)(const struct QL_ECDSA_PARAMETERS *curve, Big *y,
                                    const Big *x);

/* QL_ECDSA_PARAMETERS describes a curve y^2 = x^3 + a*x + b over the prime field of `p` with
 * base point `G` of order `n` and cofactor `h`, and the operations every curve computation
 * calls. `lead` is 2 for the curves the library fills; `bits` is the field size in bits. A
 * plain record; QL_ECDSA_InitParameters fills it for P-224 or P-256. */
typedef struct QL_ECDSA_PARAMETERS {
  uint32_t lead;
  Big a;
  Big b;
  uint32_t bits;
  Big p;
  BigPoint G;
  Big n;
  uint16_t h;
  QL_ECC_REDUCE_FN reduce;
  QL_ECC_MUL_FN multiply;
  QL_ECC_SQR_FN square;
  QL_ECC_INV_FN invert;
  QL_ECC_POINT_ADD_FN point_add;
  QL_ECC_POINT_MUL_FN point_mul;
  QL_ECC_FIND_Y_FN find_y;
} QL_ECDSA_PARAMETERS;

/* QL_ECDSA_InitParameters fills `curve` for P-224 (`bits` 224) or P-256 (`bits` 256) through
 * Big_Init_P224 or Big_Init_P256. Returns 0, -5523 for any other size (`curve` untouched), or
 * -5513 for a NULL `curve`. */
QL_EXPORT int32_t QL_ECDSA_InitParameters(QL_ECDSA_PARAMETERS *curve, uint32_t bits);

/* Big_Init_P224 clears the whole record `curve` and fills it with the NIST P-224 curve (also
 * called secp224r1) and its operations: Big_Mod, Big_MulMod224_96, Big_SqrMod224_96, Big_Inv,
 * BigPoint_Add_Affine, BigPoint_Mul_NAFSlidingWindow, Big_FindY3. NULL is ignored. Returns 0. */
QL_EXPORT int32_t Big_Init_P224(QL_ECDSA_PARAMETERS *curve);

/* Big_Init_P256 clears the whole record `curve` and fills it with the NIST P-256 curve (also
 * called secp256r1) and its operations: Big_Mod, Big_MulMod256_224, Big_SqrMod256_224, Big_Inv,
 * BigPoint_Add_Affine, BigPoint_Mul_NAFSlidingWindow, Big_FindY1. NULL is ignored. Returns 0. */
QL_EXPORT int32_t Big_Init_P256(QL_ECDSA_PARAMETERS *curve);

/* Big_MulMod224_96 sets `r` = `a` * `b` mod p by the word folding of the P-224 prime
 * p = 2^224 - 2^96 + 1; `r` may alias `a` or `b`. Operands are non-negative; below p is the fast
 * case, larger ones are reduced by division. When `curve` is non-NULL and its p is not the
 * P-224 prime, the result is taken modulo the record's p. Returns 0, -5513 for a NULL `r`, `a`
 * or `b`, or an error of the integer arithmetic. */
QL_EXPORT int32_t Big_MulMod224_96(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a,
                                   const Big *b);

/* Big_SqrMod224_96 sets `r` = `a`^2 mod p for the P-224 prime; as Big_MulMod224_96. */
QL_EXPORT int32_t Big_SqrMod224_96(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a);

/* Big_MulMod256_224 sets `r` = `a` * `b` mod p by the word folding of the P-256 prime
 * p = 2^256 - 2^224 + 2^192 + 2^96 - 1; otherwise as Big_MulMod224_96. */
QL_EXPORT int32_t Big_MulMod256_224(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a,
                                    const Big *b);

/* Big_SqrMod256_224 sets `r` = `a`^2 mod p for the P-256 prime; as Big_MulMod256_224. */
QL_EXPORT int32_t Big_SqrMod256_224(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a);

/* Big_MulModf sets `r` = `a` * `b` mod p of `curve` by product and division, for any curve
 * record; `r` may alias an operand. Returns 0, -5510 for an incomplete `curve` (see
 * QL_ECDSA_PARAMETERS: n, a, p, b non-zero, G not (0, 0)) or a NULL argument, or the OR of the
 * statuses of Big_Mul and Big_Mod. */
QL_EXPORT int32_t Big_MulModf(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a,
                              const Big *b);

/* Big_SqrModf sets `r` = `a`^2 mod p of `curve`; as Big_MulModf with -5511. */
QL_EXPORT int32_t Big_SqrModf(const QL_ECDSA_PARAMETERS *curve, Big *r, const Big *a);

/* QL_ECDSA_BIGPOINT_New returns a zeroed BigPoint from the heap (the finite point (0, 0)), or
 * NULL when memory runs out. Release it with QL_ECDSA_BIGPOINT_Delete. */
QL_EXPORT BigPoint *QL_ECDSA_BIGPOINT_New(void);

/* QL_ECDSA_BIGPOINT_Delete overwrites the whole record `point` with zeros and frees it; NULL is
 * ignored. */
QL_EXPORT void QL_ECDSA_BIGPOINT_Delete(BigPoint *point);

/* BigPoint_Dump copies the coordinates and the infinity flag of `src` into `dst`. Returns 0, or
 * -5513 for a NULL argument. */
QL_EXPORT int32_t BigPoint_Dump(BigPoint *dst, const BigPoint *src);

/* QL_ECDSA_BIGPOINT_Comp returns 0 when the points `P` and `Q` are equal: both at infinity, or
 * both finite with equal coordinates. Returns -5528 when they differ (also when exactly one is
 * at infinity) and for a NULL argument. */
QL_EXPORT int32_t QL_ECDSA_BIGPOINT_Comp(const BigPoint *P, const BigPoint *Q);

/* BigPoint_Add_Affine sets `R` = `P` + `Q` on `curve` in affine coordinates, one inversion
 * through the curve's invert operation; `R` may be `P` or `Q`, and `P` may be `Q` (doubling).
 * Returns 0, -5513 for a NULL argument or an incomplete `curve`, -2003 when a denominator has
 * no inverse (doubling a point with y = 0), or an error of the curve's operations. */
QL_EXPORT int32_t BigPoint_Add_Affine(const QL_ECDSA_PARAMETERS *curve, BigPoint *R,
                                      const BigPoint *P, const BigPoint *Q);

/* BigPoint_Mul_NAFSlidingWindow sets `R` = `k` * `P` on `curve` by width-5 windows over the
 * non-adjacent form of `k` (variable time: for public scalars). `R` may be `P`. 0 * P and
 * k * infinity give the point at infinity. Returns 0, -5513 for a NULL argument or an
 * incomplete `curve`, -5534 in critical form when the 17-point table cannot be allocated, or an
 * error of the curve's operations. */
QL_EXPORT int32_t BigPoint_Mul_NAFSlidingWindow(const QL_ECDSA_PARAMETERS *curve, BigPoint *R,
                                                const Big *k, const BigPoint *P);

/* BigPoint_Mul_SignedMary sets `R` = `k` * `P` on `curve` by signed 5-bit windows (variable
 * time), with a nine-point table on the stack; it fits the point-multiply operation of a curve
 * record. Results and codes as BigPoint_Mul_NAFSlidingWindow, without allocation. */
QL_EXPORT int32_t BigPoint_Mul_SignedMary(const QL_ECDSA_PARAMETERS *curve, BigPoint *R,
                                          const Big *k, const BigPoint *P);

/* Big_IsSolution returns 0 when `y`^2 = `x`^3 + a*`x` + b mod p on `curve`, else -5503 (also
 * for a NULL argument or an incomplete `curve`), or an error of the curve's operations. */
QL_EXPORT int32_t Big_IsSolution(const QL_ECDSA_PARAMETERS *curve, const Big *x, const Big *y);

/* BigPoint_IsSolution is Big_IsSolution on the coordinates of `P`; its infinity flag is not
 * consulted. */
QL_EXPORT int32_t BigPoint_IsSolution(const QL_ECDSA_PARAMETERS *curve, const BigPoint *P);

/* Big_FindY1 sets `y` to a square root of `x`^3 + a*`x` + b modulo a prime p = 3 mod 4
 * (P-256) by one exponentiation. Returns 0, -5512 when there is none (`x` is not the abscissa of
 * a curve point), -5513 for a NULL argument or an incomplete `curve`, or an error of the
 * arithmetic. */
QL_EXPORT int32_t Big_FindY1(const QL_ECDSA_PARAMETERS *curve, Big *y, const Big *x);

/* Big_FindY3 sets `y` to a square root of `x`^3 + a*`x` + b modulo an odd prime p (used for
 * P-224, p = 1 mod 8) by Lucas sequences, trying the parameters 3, 4, 5, ... in turn. Returns 0,
 * -5514 when there is none, -5513 for a NULL argument or an incomplete `curve`, or an error of
 * the arithmetic. */
QL_EXPORT int32_t Big_FindY3(const QL_ECDSA_PARAMETERS *curve, Big *y, const Big *x);

/* Big_DecompressY sets `y` to the square root of `x`^3 + a*`x` + b (by the curve's y-from-x
 * operation) whose low bit is `y_bit` (0 or 1). Returns 0, or -5515 when the operation fails,
 * for a NULL argument or an incomplete `curve`, and when the root is 0 and `y_bit` is 1. */
QL_EXPORT int32_t Big_DecompressY(const QL_ECDSA_PARAMETERS *curve, Big *y, const Big *x,
                                  uint32_t y_bit);

/* Big_Point2Oct encodes `P` into `out` in `form` 2 (compressed: 02 or 03 by the parity of y,
 * then x), 4 (uncompressed: 04, x, y) or 6 (hybrid: 06 or 07, x, y), each coordinate as L
 * big-endian bytes, L the byte length of p; the point at infinity is the single byte 00. With
 * `out` NULL only the length is reported. Writes the length to `*out_len` (when non-NULL).
 * Returns 0, -5504 for an incomplete `curve`, a NULL `P` or `capacity` below 1, -5505 for
 * another `form`, -5506 when `capacity` is below the length, -5507 when a coordinate needs
 * more than L bytes. */
QL_EXPORT int32_t Big_Point2Oct(const QL_ECDSA_PARAMETERS *curve, uint8_t *out,
                                uint32_t *out_len, int32_t capacity, const BigPoint *P,
                                int32_t form);

/* Big_Oct2Point decodes the `in_len` bytes at `in` (any of the three forms, or 00 for the point
 * at infinity) into `P` and checks that the point lies on `curve`; nothing beyond `in_len` is
 * read. Returns 0, -5508 for an incomplete `curve`, a NULL argument or an empty input, -5509
 * for a bad first byte, an input shorter or longer than its form, a coordinate not below p, a
 * hybrid parity byte that disagrees with y, or a point off the curve. */
QL_EXPORT int32_t Big_Oct2Point(const QL_ECDSA_PARAMETERS *curve, BigPoint *P, const uint8_t *in,
                                uint32_t in_len);

/* ---- ECDSA and the DER of points and curve identifiers -------------------------------- */

/* QL_ECDSA_SIGNATURE is an ECDSA signature: the integers `r` and `s`, each in 1..n-1 for a
 * signature that verifies. A plain record, copied whole. */
typedef struct QL_ECDSA_SIGNATURE {
  Big r;
  Big s;
} QL_ECDSA_SIGNATURE;

/* Longest digest QL_ECDSA_Sign and QL_ECDSA_Verify accept, in bytes. */
#define QL_ECDSA_MAX_DIGEST_LEN 64

/* QL_ECDSA_Parameters_New returns a zeroed curve record from the heap, or NULL when memory runs
 * out. Fill it with QL_ECDSA_InitParameters or a decoder; release it with
 * QL_ECDSA_Parameters_Delete. */
QL_EXPORT QL_ECDSA_PARAMETERS *QL_ECDSA_Parameters_New(void);

/* QL_ECDSA_Parameters_Delete overwrites the whole record `curve` with zeros and frees it; NULL
 * is ignored. */
QL_EXPORT void QL_ECDSA_Parameters_Delete(QL_ECDSA_PARAMETERS *curve);

/* QL_ECDSA_Signature_New returns a zeroed signature from the heap, or NULL when memory runs
 * out. Release it with QL_ECDSA_Signature_Delete. */
QL_EXPORT QL_ECDSA_SIGNATURE *QL_ECDSA_Signature_New(void);

/* QL_ECDSA_Signature_Delete overwrites the whole record `sig` with zeros and frees it; NULL is
 * ignored. */
QL_EXPORT void QL_ECDSA_Signature_Delete(QL_ECDSA_SIGNATURE *sig);

/* Big_Random_with_SHA1 sets `k` to a fresh secret in [1, n-1] for `curve`, from an X9.62
 * generator keyed by n and bits/8 bytes of QL_RandomBytes (the state is wiped). Returns 0,
 * -1501 for an incomplete `curve` (also a leading word other than 2), a NULL `k`, a field
 * size outside 160..512 bits or an n outside 5..16 words, or an error of the generator. */
QL_EXPORT int32_t Big_Random_with_SHA1(const QL_ECDSA_PARAMETERS *curve, Big *k);

/* QL_ECDSA_GenerateKeyPair sets `d` to a fresh private key in [1, n-1] and `Q` = d*G, in time
 * independent of d. `Q` is first reset to the finite point (0, 0); `d` is written only on
 * success. Returns 0, -5533 for an incomplete `curve` or a NULL argument, or an error of the
 * generator or the point arithmetic. */
QL_EXPORT int32_t QL_ECDSA_GenerateKeyPair(const QL_ECDSA_PARAMETERS *curve, BigPoint *Q, Big *d);

/* QL_ECDSA_Sign signs the `digest_len`-byte `digest` (at most 64 bytes; only its leftmost
 * bits, as many as n has, are used) with the private key `d` (1..n-1) on `curve`, with a fresh
 * nonce from Big_Random_with_SHA1, in time independent of d and the nonce. The result is
 * checked before it is written to `sig` (only on success). Returns 0, -5529 for an incomplete
 * `curve`, a NULL argument, a longer digest or `d` out of range, -5519 in critical form when
 * the check fails, or an error of the generator or the arithmetic. */
QL_EXPORT int32_t QL_ECDSA_Sign(QL_ECDSA_SIGNATURE *sig, const uint8_t *digest,
                                uint32_t digest_len, const Big *d,
                                const QL_ECDSA_PARAMETERS *curve);

/* QL_ECDSA_Verify checks `sig` over the `digest_len`-byte `digest` (at most 64 bytes,
 * truncated as QL_ECDSA_Sign does) against the public key `Q` on `curve`. Returns 0 for a
 * valid signature; -5530 for an incomplete `curve`, a NULL argument, a longer digest, or `Q` at
 * infinity, off the curve or with a coordinate outside 0..p-1; -5538 for r or s outside
 * 1..n-1; -5532 when e*G + r*Q is the point at infinity; -5502 when the signature does not
 * match; or an error of the arithmetic. */
QL_EXPORT int32_t QL_ECDSA_Verify(const QL_ECDSA_PARAMETERS *curve, const BigPoint *Q,
                                  const QL_ECDSA_SIGNATURE *sig, const uint8_t *digest,
                                  uint32_t digest_len);

/* QL_ECDSA_VerifyPublicKey checks that `Q` is a valid public key on `curve`: finite,
 * coordinates in 0..p-1, on the curve, and n*Q at infinity (by the curve's point-multiply
 * operation). Returns 0, -5524 for an incomplete `curve` or a NULL `Q`, -5525 for an invalid
 * key, or an error of the multiplication. */
QL_EXPORT int32_t QL_ECDSA_VerifyPublicKey(const BigPoint *Q, const QL_ECDSA_PARAMETERS *curve);

/* QL_ECDSA_ProveKeyPair checks that `Q` = `d`*G on `curve`, with d in 1..n-1, in time
 * independent of d. Returns 0, -5526 for an incomplete `curve`, a NULL argument or `d` out of
 * range, -5527 when d*G differs from `Q`, or an error of the multiplication. */
QL_EXPORT int32_t QL_ECDSA_ProveKeyPair(const Big *d, const BigPoint *Q,
                                        const QL_ECDSA_PARAMETERS *curve);

/* BigPoint_DerEncode writes `P` as a DER OCTET STRING holding its uncompressed form
 * (04 41 04 x y on P-256) to `out`, which holds `capacity` bytes, and the length to `*out_len`
 * (also with `out` NULL, which only reports it, and on -5518). Returns 0, -5504 for an
 * incomplete `curve`, a NULL `P` or `out_len`, or `P` at infinity, -5518 when `capacity` is
 * too small (nothing written), -5517 in critical form when memory runs out, or an error of
 * Big_Point2Oct. */
QL_EXPORT int32_t BigPoint_DerEncode(uint8_t *out, uint32_t *out_len, uint32_t capacity,
                                     const BigPoint *P, const QL_ECDSA_PARAMETERS *curve);

/* BigPoint_DerDecode reads a DER OCTET STRING from the `in_len` bytes at `in` (bytes behind it
 * are ignored) and decodes its content as a point of any form Big_Oct2Point accepts, checked
 * to lie on `curve`. Returns 0, -3505 for a NULL `in`, -3501 for another tag, -3502 for a
 * length that is malformed or runs past `in_len`, or the error of Big_Oct2Point. */
QL_EXPORT int32_t BigPoint_DerDecode(const QL_ECDSA_PARAMETERS *curve, BigPoint *P,
                                     const uint8_t *in, uint32_t in_len);

/* Big_Param_DerEncode writes the named-curve identifier of `curve` (secp224r1 for a field size
 * of 224 bits, secp256r1 for 256) as a DER OBJECT IDENTIFIER to `out` and its length (7 or
 * 10) to `*out_len`; with `out` NULL it reports the upper bound of 17 or 20. Returns 0, or
 * -5520 for another field size or a NULL `curve` or `out_len`. */
QL_EXPORT int32_t Big_Param_DerEncode(uint8_t *out, uint32_t *out_len,
                                      const QL_ECDSA_PARAMETERS *curve);

/* Big_Param_DerDecode reads a DER OBJECT IDENTIFIER from the `in_len` bytes at `in` (bytes
 * behind it are ignored) and fills `curve` with P-224 for secp224r1 or P-256 for secp256r1.
 * Returns 0, -3505 for a NULL argument, -3501 for another tag, -3502 for a length that is
 * malformed or runs past `in_len`, -5516 for any other identifier (`curve` untouched). */
QL_EXPORT int32_t Big_Param_DerDecode(QL_ECDSA_PARAMETERS *curve, const uint8_t *in,
                                      uint32_t in_len);

/* QL_ECDSA_Parameters_Encode and QL_ECDSA_Parameters_Decode are Big_Param_DerEncode and
 * Big_Param_DerDecode: the curve's named identifier. */
QL_EXPORT int32_t QL_ECDSA_Parameters_Encode(uint8_t *out, uint32_t *out_len,
                                             const QL_ECDSA_PARAMETERS *curve);
QL_EXPORT int32_t QL_ECDSA_Parameters_Decode(QL_ECDSA_PARAMETERS *curve, const uint8_t *in,
                                             uint32_t in_len);

/* QL_ECDSA_PublicKey_Encode and QL_ECDSA_PublicKey_Decode are BigPoint_DerEncode and
 * BigPoint_DerDecode: the public key as an OCTET STRING holding the point. */
QL_EXPORT int32_t QL_ECDSA_PublicKey_Encode(uint8_t *out, uint32_t *out_len, uint32_t capacity,
                                            const BigPoint *Q, const QL_ECDSA_PARAMETERS *curve);
QL_EXPORT int32_t QL_ECDSA_PublicKey_Decode(const QL_ECDSA_PARAMETERS *curve, BigPoint *Q,
                                            const uint8_t *in, uint32_t in_len);

/* QL_ECDSA_Signature_Encode writes `sig` as DER SEQUENCE { INTEGER r, INTEGER s } to `out` and
 * the exact length to `*out_len`; with `out` NULL it reports an upper bound (at most 18 bytes
 * above the exact length). Returns 0, -5521 for a NULL `out_len` or `sig`, -5522 in critical
 * form when memory runs out. */
QL_EXPORT int32_t QL_ECDSA_Signature_Encode(uint8_t *out, uint32_t *out_len,
                                            const QL_ECDSA_SIGNATURE *sig);

/* QL_ECDSA_Signature_Decode reads a DER SEQUENCE of two INTEGERs from the `in_len` bytes at
 * `in` into `sig` (written only on success), each read as an unsigned value; bytes after s are
 * ignored. Returns 0, -3505 for a NULL argument, -3501 for a wrong tag, -3502 for a length that
 * is malformed or runs past its SEQUENCE or the input, or -2010 for an integer above 1028
 * bytes. */
QL_EXPORT int32_t QL_ECDSA_Signature_Decode(QL_ECDSA_SIGNATURE *sig, const uint8_t *in,
                                            uint32_t in_len);

/* QL_ECDSA_PrivateKey_Encode writes the private key `d` as DER SEQUENCE { INTEGER 1, OCTET
 * STRING d, curve identifier } (the identifier only when `curve` is non-NULL; d as its minimal
 * bytes, with a leading 00 when the top bit is set) to `out` and the length to `*out_len`; with
 * `out` NULL it reports an upper bound. The scratch copy is wiped. Returns 0, -5537 for a NULL
 * `out_len` or `d`, a d that is zero, negative, above 260 bytes or (with a complete `curve`)
 * not below n, -5520 for a curve of another size, -5535 in critical form when memory runs
 * out. */
QL_EXPORT int32_t QL_ECDSA_PrivateKey_Encode(uint8_t *out, uint32_t *out_len, const Big *d,
                                             const QL_ECDSA_PARAMETERS *curve);

/* QL_ECDSA_PrivateKey_Decode reads the encoding of QL_ECDSA_PrivateKey_Encode from the
 * `in_len` bytes at `in` into `d`. When a curve identifier follows the key and `curve` is
 * non-NULL, `curve` is re-initialised to the named curve; without one `curve` is untouched.
 * `d` must lie in 1..n-1 of the resulting complete curve (else only be non-zero). Outputs are
 * written only on success. Returns 0, -3505 for a NULL `d` or `in`, -3501 or -3502 for a
 * malformed structure, -5536 for a version other than 1 or d out of range, -5516 for an
 * unknown identifier, or -2010 for a key above 1028 bytes. */
QL_EXPORT int32_t QL_ECDSA_PrivateKey_Decode(Big *d, QL_ECDSA_PARAMETERS *curve,
                                             const uint8_t *in, uint32_t in_len);

/* ---- KCDSA ------------------------------------------------------------------------------ */

/* QL_KCDSA_PARAMETERS holds KCDSA domain parameters: the prime `p`, the prime `q` dividing
 * p - 1, the generator `g` of order q, `J` = (p - 1) / (2q) (zero when unknown), and the seed
 * record from which p and q were generated: `seed_len` valid bytes of `seed` (0 = no seed) and
 * the counter value `count` (0 = none). Wiped before it is freed. */
typedef struct QL_KCDSA_PARAMETERS {
  Big p;
  Big q;
  Big g;
  Big J;
  uint8_t seed[64];
  uint32_t seed_len;
  Big count;
} QL_KCDSA_PARAMETERS;

/* QL_KCDSA_SIGNATURE is a KCDSA signature: `r`, the hash value read as an integer (a byte
 * string of the digest length), and `s`. */
typedef struct QL_KCDSA_SIGNATURE {
  Big r;
  Big s;
} QL_KCDSA_SIGNATURE;

/* QL_KCDSA_Parameters_New returns a zeroed parameter record from the heap, or NULL when memory
 * runs out. Release it with QL_KCDSA_Parameters_Delete. */
QL_EXPORT QL_KCDSA_PARAMETERS *QL_KCDSA_Parameters_New(void);

/* QL_KCDSA_Parameters_Delete wipes the whole record `params` and frees it; NULL is ignored. */
QL_EXPORT void QL_KCDSA_Parameters_Delete(QL_KCDSA_PARAMETERS *params);

/* QL_KCDSA_Signature_New returns a zeroed signature record from the heap, or NULL when memory
 * runs out. Release it with QL_KCDSA_Signature_Delete. */
QL_EXPORT QL_KCDSA_SIGNATURE *QL_KCDSA_Signature_New(void);

/* QL_KCDSA_Signature_Delete wipes the whole record `sig` and frees it; NULL is ignored. */
QL_EXPORT void QL_KCDSA_Signature_Delete(QL_KCDSA_SIGNATURE *sig);

/* Big_KCDSA_GeneratePrimes clears `params` and fills p (`p_bits` bits), q (`q_bits` bits), J,
 * g and the seed record, with the KCDSA hash generator over digest `digest_id` (1 to 5).
 * `seed_record` NULL draws fresh seeds; otherwise p and q are regenerated from its seed,
 * seed_len and count only (it may be `params`). 160 <= q_bits <= 512 and q_bits + 64 <= p_bits
 * <= 4096, else -5012 (also for a bad `digest_id`; -5012 too for NULL `params`). Returns 0,
 * -5002 when the seed record yields no parameters, or an error of the generators or the
 * arithmetic (critical on allocation failure). */
QL_EXPORT int32_t Big_KCDSA_GeneratePrimes(QL_KCDSA_PARAMETERS *params, uint32_t p_bits,
                                           uint32_t q_bits, int32_t digest_id,
                                           const QL_KCDSA_PARAMETERS *seed_record);

/* QL_KCDSA_GenerateParams fills `params` with fresh parameters for the requested size `bits`:
 * below 1024 gives 1024/160, 2048 and above 2048/256, in between 1024 + 256 * floor((bits -
 * 1024) / 256) bits with a 160-bit q; HAS-160 drives the generator below 2048, SHA-256 from
 * 2048. Returns 0 or a negative status of Big_KCDSA_GeneratePrimes. */
QL_EXPORT int32_t QL_KCDSA_GenerateParams(QL_KCDSA_PARAMETERS *params, uint32_t bits);

/* QL_KCDSA_VerifyParameters checks `params`: p and q prime, q divides p - 1, 1 < g < p with
 * g^q = 1 mod p, and, when a seed and count are present, that they regenerate p and q with
 * digest `digest_id`. Returns 0, -5014 (NULL `params`, zero p, q or g), -5009 (p composite),
 * -5010 (q composite), -5011 (q does not divide p - 1), -5015 (seed record or g refused), or
 * an error of the arithmetic. */
QL_EXPORT int32_t QL_KCDSA_VerifyParameters(const QL_KCDSA_PARAMETERS *params,
                                            int32_t digest_id);

/* QL_KCDSA_GenerateKeyPair draws a private key `x` in [1, q-1] by the KCDSA random step
 * (SHA-256 for a 256-bit q, HAS-160 otherwise) and sets `y` = g^(x^-1 mod q) mod p, in
 * constant time in x. Returns 0, -5005 for a NULL argument or zero p, q or g, or an error of
 * the generators (critical on allocation failure); `x` and `y` are wiped on failure. */
QL_EXPORT int32_t QL_KCDSA_GenerateKeyPair(const QL_KCDSA_PARAMETERS *params, Big *y, Big *x);

/* QL_KCDSA_VerifyPublicKey checks that 1 < `y` < p and y^q = 1 mod p. Returns 0, -5016 for
 * NULL arguments or zero p, q or g, -5017 when y is refused, or an error of the arithmetic. */
QL_EXPORT int32_t QL_KCDSA_VerifyPublicKey(const QL_KCDSA_PARAMETERS *params, const Big *y);

/* QL_KCDSA_ProveKeyPair checks that `y` = g^(`x`^-1 mod q) mod p for 1 <= x < q, in constant
 * time in x. Returns 0, -5003 for NULL arguments or zero p, q or g, -5004 when y is not x's
 * public key (also for x out of range), or an error of the arithmetic. */
QL_EXPORT int32_t QL_KCDSA_ProveKeyPair(const Big *x, const Big *y,
                                        const QL_KCDSA_PARAMETERS *params);

/* QL_KCDSA_Hash writes H = hash(z || `msg`) to `out` and its length to `*out_len`, z being
 * the public key `y` mod 2^512 as 64 big-endian bytes; `out` must hold the digest (32 bytes
 * suffice). `digest_id` 1 (HAS-160), 2 (SHA-1) or 3 (SHA-256). Returns 0, or -5022 for a NULL
 * argument or another digest. */
QL_EXPORT int32_t QL_KCDSA_Hash(uint8_t *out, uint32_t *out_len, const uint8_t *msg,
                                uint32_t msg_len, int32_t digest_id, const Big *y);

/* QL_KCDSA_Sign signs the `h_len`-byte hash `h` (from QL_KCDSA_Hash) with the private key `x`
 * (1 <= x < q) into `sig`, hashing W = g^k mod p with digest `digest_id` (1 to 5); k is drawn
 * uniformly from [1, q-1] and never leaves the call. `h_len` from 1 to min(q's byte length,
 * the digest length, 50). Returns 0, -5006 for a NULL or out-of-range argument, -5007 for a
 * bad `h_len`, or an error of the generators (critical on allocation failure). */
QL_EXPORT int32_t QL_KCDSA_Sign(QL_KCDSA_SIGNATURE *sig, int32_t digest_id, const uint8_t *h,
                                uint32_t h_len, const Big *x, const QL_KCDSA_PARAMETERS *params);

/* QL_KCDSA_Verify checks the signature `sig` on the `h_len`-byte hash `h` with the public key
 * `y` and digest `digest_id` (1 to 5). Returns 0 when it is valid, -5001 when it does not
 * match, -5008 for a NULL argument, zero p, q or g, y outside [1, p-1], r longer than
 * `h_len` bytes, s outside [1, q-1], or a bad `digest_id` or `h_len`. */
QL_EXPORT int32_t QL_KCDSA_Verify(const QL_KCDSA_PARAMETERS *params, const Big *y,
                                  const QL_KCDSA_SIGNATURE *sig, int32_t digest_id,
                                  const uint8_t *h, uint32_t h_len);

/* QL_KCDSA_Parameters_Encode writes `params` as DER to `out`: SEQUENCE { INTEGER p, q, g,
 * INTEGER J when J != 0, SEQUENCE { OCTET STRING seed, INTEGER count } when seed_len and count
 * are non-zero }, and its exact length to `*out_len`. With a NULL `out` it reports only an
 * upper bound of that length. Returns 0, or -3507 for a NULL `out_len` or `params`, zero p, q
 * or g, or a seed_len above 64. */
QL_EXPORT int32_t QL_KCDSA_Parameters_Encode(uint8_t *out, uint32_t *out_len,
                                             const QL_KCDSA_PARAMETERS *params);

/* QL_KCDSA_Parameters_Decode reads DER parameters from the `in_len` bytes at `in` into
 * `params` (p, q, g, J read as unsigned; J, the seed part, or a count above four bytes may be
 * absent: zero). Bytes behind an element that is neither J nor the seed part are ignored.
 * Returns 0, -3505 for a NULL argument, -3501 for a wrong tag, -3502 for a length beyond its
 * SEQUENCE or the input, or a seed longer than q's word count times 4 or 64; `params` is
 * cleared on failure. */
QL_EXPORT int32_t QL_KCDSA_Parameters_Decode(QL_KCDSA_PARAMETERS *params, const uint8_t *in,
                                             uint32_t in_len);

/* QL_KCDSA_Signature_Encode writes `sig` as DER to `out`: SEQUENCE { BIT STRING (00, r as
 * exactly `r_len` bytes), INTEGER s }, and its exact length to `*out_len`; with a NULL `out`
 * it reports the bound r_len + 19 + the content length of s. Returns 0, -3505 for a NULL
 * `out_len` or `sig` or an `r_len` above 64, or -2001 when r needs more than `r_len` bytes. */
QL_EXPORT int32_t QL_KCDSA_Signature_Encode(uint8_t *out, uint32_t *out_len, uint32_t r_len,
                                            const QL_KCDSA_SIGNATURE *sig);

/* QL_KCDSA_Signature_Decode reads a DER signature from the `in_len` bytes at `in` into `sig`
 * (written only on success). Returns 0, -3505 for a NULL argument, -3501 for a wrong tag,
 * -3502 for a length beyond its SEQUENCE or the input or an empty BIT STRING, -2009 for a
 * BIT STRING without r bytes, or -2010 for an r or s above 1028 bytes. */
QL_EXPORT int32_t QL_KCDSA_Signature_Decode(QL_KCDSA_SIGNATURE *sig, const uint8_t *in,
                                            uint32_t in_len);

/* QL_KCDSA_PublicKey_Encode writes the public key `y` as a DER INTEGER to `out` and its length
 * to `*out_len` (NULL `out`: an upper bound), as Big_DerEncode. Returns 0, or -5023 for a
 * NULL `out_len` or `y`. */
QL_EXPORT int32_t QL_KCDSA_PublicKey_Encode(uint8_t *out, uint32_t *out_len, const Big *y);

/* QL_KCDSA_PublicKey_Decode reads a DER INTEGER public key into `y`, as Big_DerDecode.
 * Returns 0, -5024 for a NULL `y` or `in`, or a code of Big_DerDecode. */
QL_EXPORT int32_t QL_KCDSA_PublicKey_Decode(Big *y, const uint8_t *in, uint32_t in_len);

/* ---- Asymmetric dispatcher ------------------------------------------------------------- */

/* Public-key algorithms. */
#define QL_PKEY_RSA 1
#define QL_PKEY_KCDSA 5
#define QL_PKEY_ECDSA 12

/* Signature schemes: RSASSA-PKCS1-v1_5 with SHA-1, SHA-256, SHA-384, SHA-512 (3 to 6) or over
 * a caller's digest (9, one-call forms only); RSASSA-PSS with the sign parameter's digest (11,
 * 32, 33, 34); KCDSA with SHA-1, HAS-160, SHA-256 (16 to 18); ECDSA with SHA-1 (21). */
#define QL_SIGN_RSA_V15_SHA1 3
#define QL_SIGN_RSA_V15_SHA256 4
#define QL_SIGN_RSA_V15_SHA384 5
#define QL_SIGN_RSA_V15_SHA512 6
#define QL_SIGN_RSA_V15_DIGEST 9
#define QL_SIGN_RSA_PSS 11
#define QL_SIGN_KCDSA_SHA1 16
#define QL_SIGN_KCDSA_HAS160 17
#define QL_SIGN_KCDSA_SHA256 18
#define QL_SIGN_ECDSA_SHA1 21
#define QL_SIGN_RSA_PSS_32 32
#define QL_SIGN_RSA_PSS_33 33
#define QL_SIGN_RSA_PSS_34 34

/* Public-key encryption schemes: RSAES-PKCS1-v1_5 and RSAES-OAEP. */
#define QL_PENC_RSA_V15 1
#define QL_PENC_RSA_OAEP 3

/* Stream kinds of QL_ASYM_CTX. */
#define QL_ASYM_SIGNING 1
#define QL_ASYM_VERIFYING 2

/* QL_ASYM_KEY holds a private key, a public key or domain parameters of one algorithm: a type
 * word the library carries along without reading it, the algorithm (0 while empty) and the
 * body it owns: for RSA a QL_RSA_PRIVATE_KEY or QL_RSA_PUBLIC_KEY; for KCDSA a Big (x or y) or
 * QL_KCDSA_PARAMETERS; for ECDSA a Big (d), a BigPoint (Q) or QL_ECDSA_PARAMETERS. Made empty
 * by the _New functions, filled by decode, generation or copy, wiped and freed by _Delete. */
typedef struct QL_ASYM_KEY {
  uint32_t type;
  int32_t algorithm;
  void *body;
} QL_ASYM_KEY;

/* QL_ASYM_SIGN_PARAM is the sign parameter, two 32-bit words whose first word is read by
 * signature scheme: for 11 and 32 to 34 the QL_PSS_PARAM `pss` (first word the message
 * digest); for 16 to 18 `public_key`, the signer's KCDSA public key, which the record owns
 * (QL_ASYM_SignParam_Delete deletes it); for other schemes nothing. Both readings start at the
 * record's first byte; on 64-bit hosts the pointer covers both words, and the record stays 8
 * bytes everywhere. */
typedef union QL_ASYM_SIGN_PARAM {
  QL_PSS_PARAM pss;
  QL_ASYM_KEY *public_key;
} QL_ASYM_SIGN_PARAM;

#if defined(__cplusplus)
static_assert(sizeof(QL_ASYM_SIGN_PARAM) == 2 * sizeof(int32_t), "two words");
static_assert(offsetof(QL_ASYM_SIGN_PARAM, pss) == 0, "PSS reading at the start");
static_assert(offsetof(QL_ASYM_SIGN_PARAM, public_key) == 0, "key reading at the start");
static_assert(sizeof(QL_ASYM_KEY *) <= sizeof(QL_PSS_PARAM), "pointer within the two words");
#endif

/* QL_ASYM_SIGN_CTX is the inner state of a signature stream: the scheme, the digest chosen
 * for it, the digest state over the message, and owned deep copies of the private key
 * (signing), the public key (verifying), the parameters and the sign parameter. */
typedef struct QL_ASYM_SIGN_CTX {
  int32_t sign_id;
  int32_t digest_id;
  QL_HASH_CTX hash;
  QL_ASYM_KEY *private_key;
  QL_ASYM_KEY *public_key;
  QL_ASYM_KEY *params;
  QL_ASYM_SIGN_PARAM *sign_param;
} QL_ASYM_SIGN_CTX;

/* QL_ASYM_CTX is a signature stream: its kind (QL_ASYM_SIGNING, QL_ASYM_VERIFYING, 0 when
 * fresh), a word the library does not read, and the inner state it owns. */
typedef struct QL_ASYM_CTX {
  int32_t kind;
  int32_t reserved;
  QL_ASYM_SIGN_CTX *sign_ctx;
} QL_ASYM_CTX;

/* The key-generation parameter: the RSA modulus length in bytes and the RSA public exponent
 * (0 or 1: the default 65537). Other algorithms read neither. */
typedef struct QL_ASYM_KEYGEN_PARAM {
  uint32_t modulus_len;
  uint32_t exponent;
} QL_ASYM_KEYGEN_PARAM;

/* QL_ASYM_Parameters_New, QL_ASYM_PrivateKey_New and QL_ASYM_PublicKey_New return an empty
 * (zeroed) QL_ASYM_KEY from the heap, or NULL when memory runs out. */
QL_EXPORT QL_ASYM_KEY *QL_ASYM_Parameters_New(void);
QL_EXPORT QL_ASYM_KEY *QL_ASYM_PrivateKey_New(void);
QL_EXPORT QL_ASYM_KEY *QL_ASYM_PublicKey_New(void);

/* QL_ASYM_Parameters_Delete, QL_ASYM_PrivateKey_Delete and QL_ASYM_PublicKey_Delete wipe and
 * free the body of `key` by its algorithm (an unknown algorithm frees none), then wipe and free
 * the record; NULL is ignored. */
QL_EXPORT void QL_ASYM_Parameters_Delete(QL_ASYM_KEY *params);
QL_EXPORT void QL_ASYM_PrivateKey_Delete(QL_ASYM_KEY *key);
QL_EXPORT void QL_ASYM_PublicKey_Delete(QL_ASYM_KEY *key);

/* QL_ASYM_SignParam_New returns a zeroed sign parameter from the heap, or NULL. */
QL_EXPORT QL_ASYM_SIGN_PARAM *QL_ASYM_SignParam_New(void);

/* QL_ASYM_SignParam_Delete wipes and frees `sign_param`; for schemes 16 to 18 (`sign_id`) it
 * first deletes the public key its first word points to. NULL is ignored. */
QL_EXPORT void QL_ASYM_SignParam_Delete(QL_ASYM_SIGN_PARAM *sign_param, int32_t sign_id);

/* QL_ASYM_CTX_New returns a zeroed stream from the heap, or NULL. QL_ASYM_CTX_Delete deletes
 * the copies its inner state owns, wipes and frees the inner state and the record; NULL is
 * ignored. */
QL_EXPORT QL_ASYM_CTX *QL_ASYM_CTX_New(void);
QL_EXPORT void QL_ASYM_CTX_Delete(QL_ASYM_CTX *ctx);

/* QL_ASYM_PublicKey_Copy deep-copies the public key `src` into the empty record `dst` (type
 * word, algorithm, body); `dst` is written only on success. Returns 0, -6016 for an RSA key
 * without body or with a zero n or e (critical when its copy cannot be allocated), -6017 for
 * NULL records, a non-empty `dst` or another algorithm, critical -6017 when memory runs out. */
QL_EXPORT int32_t QL_ASYM_PublicKey_Copy(QL_ASYM_KEY *dst, const QL_ASYM_KEY *src);

/* The encoders write the DER of a record to `out` and its length to `*out_len`; with `out`
 * NULL they write only a length that bounds the real one, which `out` must then hold.
 * Formats: parameters of KCDSA and ECDSA (the named curve); RSA keys as PKCS #1; KCDSA keys as
 * one INTEGER; ECDSA private keys with the curve identifier, public keys as an OCTET STRING of
 * the point. ECDSA keys need their parameters `params` (-1001 when NULL, empty or of another
 * algorithm); other algorithms ignore them. The decoders read at most `in_len` bytes at `in`
 * into an empty record (-1001 for ECDSA keys without matching parameters, also when an ECDSA
 * private key names another curve), set its algorithm and make its body; a failed decode leaves
 * both for the caller to delete. Codes: null arguments (a non-empty target too) -6005, -6007,
 * -6011, -6013, -6018, -6020; unknown algorithms -6006, -6009, -6012, -6014, -6019, -6022;
 * allocation critical -6008, -6015, -6021; else the algorithm's codes. */
QL_EXPORT int32_t QL_ASYM_Parameters_Encode(uint8_t *out, uint32_t *out_len,
                                            const QL_ASYM_KEY *params);
QL_EXPORT int32_t QL_ASYM_Parameters_Decode(QL_ASYM_KEY *params, int32_t algorithm,
                                            const uint8_t *in, uint32_t in_len);
QL_EXPORT int32_t QL_ASYM_PrivateKey_Encode(uint8_t *out, uint32_t *out_len,
                                            const QL_ASYM_KEY *key, const QL_ASYM_KEY *params);
QL_EXPORT int32_t QL_ASYM_PrivateKey_Decode(QL_ASYM_KEY *key, int32_t algorithm,
                                            const uint8_t *in, uint32_t in_len,
                                            const QL_ASYM_KEY *params);
QL_EXPORT int32_t QL_ASYM_PublicKey_Encode(uint8_t *out, uint32_t *out_len,
                                           const QL_ASYM_KEY *key, const QL_ASYM_KEY *params);
QL_EXPORT int32_t QL_ASYM_PublicKey_Decode(QL_ASYM_KEY *key, int32_t algorithm,
                                           const uint8_t *in, uint32_t in_len,
                                           const QL_ASYM_KEY *params);

/* QL_ASYM_GenerateParameters fills the empty record `params` with new parameters of
 * `algorithm`: KCDSA with a p of about `*size` bits, ECDSA the curve P-224 or P-256 (`*size`
 * 224 or 256). Returns 0, -6023 for a NULL or non-empty `params` or a NULL `size`, -6025 for
 * another algorithm, critical -6024 when memory runs out, or the algorithm's code. */
QL_EXPORT int32_t QL_ASYM_GenerateParameters(QL_ASYM_KEY *params, int32_t algorithm,
                                             const uint32_t *size);

/* QL_ASYM_VerifyParameters checks KCDSA parameters, regenerating p and q from their seed with
 * digest `digest_id` (1 to 5). Returns 0, -6026 for a NULL record or body or a digest outside
 * 1 to 5, -6027 for another algorithm, or a code of QL_KCDSA_VerifyParameters. */
QL_EXPORT int32_t QL_ASYM_VerifyParameters(const QL_ASYM_KEY *params, int32_t digest_id);

/* QL_ASYM_GenerateKeyPair fills the empty records `private_key` and `public_key` with a new key
 * pair of `algorithm`: RSA of `keygen`'s modulus length and exponent; KCDSA and ECDSA over
 * `params` (-1001 when NULL, empty or of another algorithm). Returns 0, -6028 for NULL or
 * non-empty records or a NULL `keygen`, -6030 for another algorithm, critical -6029 when
 * memory runs out, or the algorithm's code. */
QL_EXPORT int32_t QL_ASYM_GenerateKeyPair(QL_ASYM_KEY *private_key, QL_ASYM_KEY *public_key,
                                          int32_t algorithm, const QL_ASYM_KEY *params,
                                          const QL_ASYM_KEYGEN_PARAM *keygen);

/* QL_ASYM_VerifyPublicKey checks `public_key` against `params`: RSA keys are accepted as they
 * are, KCDSA and ECDSA keys are validated (-1001 without matching parameters). Returns 0,
 * -6031 for a NULL record or body, -6032 for another algorithm, or the algorithm's code. */
QL_EXPORT int32_t QL_ASYM_VerifyPublicKey(const QL_ASYM_KEY *public_key,
                                          const QL_ASYM_KEY *params);

/* QL_ASYM_ProveKeyPair checks that `private_key` and `public_key` form a pair (-1001 when their
 * algorithms differ, or KCDSA and ECDSA without matching `params`). Returns 0, -6033 for a NULL
 * record or body, -6034 for another algorithm, or the algorithm's code. */
QL_EXPORT int32_t QL_ASYM_ProveKeyPair(const QL_ASYM_KEY *private_key,
                                       const QL_ASYM_KEY *public_key, const QL_ASYM_KEY *params);

/* QL_ASYM_Encrypt encrypts `in_len` bytes at `in` with the RSA `public_key` under scheme
 * `enc_id` (QL_PENC_RSA_V15, or QL_PENC_RSA_OAEP with `oaep`) into `out` (the modulus length)
 * and writes the length to `*out_len`. Returns 0, -6035 for NULL arguments (`oaep` too for
 * OAEP), -6036 for another scheme, -1001 for a key of another algorithm, or a PKCS #1 code.
 * QL_ASYM_Decrypt is its inverse with the RSA `private_key` and -6037, -6038. */
QL_EXPORT int32_t QL_ASYM_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                                  uint32_t in_len, int32_t enc_id, const QL_ASYM_KEY *public_key,
                                  const QL_OAEP_PARAM *oaep);
QL_EXPORT int32_t QL_ASYM_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                                  uint32_t in_len, int32_t enc_id, const QL_ASYM_KEY *private_key,
                                  const QL_OAEP_PARAM *oaep);

/* QL_ASYM_Sign_Init starts signing stream `ctx` (fresh) for scheme `sign_id` with deep copies
 * of `private_key`, `params` and `sign_param`, which the caller may delete at once; the
 * message is hashed inside (KCDSA: after the signer's z). Returns 0, -6045 for a NULL or used
 * `ctx`, a key without body or parameters of another algorithm, -1001 for a key, parameters or
 * signer's key not of the scheme's algorithm, -6043 for missing parameters or sign parameter,
 * -6044 for another scheme (9 too), -6042, critical -6046 or -6148 when memory runs out, or a
 * copy code (-6002 to -6004, -6010, -6016, -6017, -6109, -6113). A failed Init leaves its
 * copies for QL_ASYM_CTX_Delete, and the stream refuses Update and Final. */
QL_EXPORT int32_t QL_ASYM_Sign_Init(QL_ASYM_CTX *ctx, int32_t sign_id,
                                    const QL_ASYM_KEY *private_key, const QL_ASYM_KEY *params,
                                    const QL_ASYM_SIGN_PARAM *sign_param);

/* QL_ASYM_Sign_Update hashes `data_len` bytes at `data` into the signing stream `ctx`.
 * Returns 0, -6047 for NULL arguments or a stream that is not a started signing stream, or a
 * digest code. */
QL_EXPORT int32_t QL_ASYM_Sign_Update(QL_ASYM_CTX *ctx, const uint8_t *data, uint32_t data_len);

/* QL_ASYM_Sign_Final signs the stream's message into `out` (the modulus length for RSA, the
 * length a NULL-output encoding reports for KCDSA and ECDSA) and writes the length to
 * `*out_len`; the digest state is wiped, so a second Final fails with the digest's code.
 * Returns 0, -6048 for NULL arguments or a stream that is not a started signing stream, -6050
 * for another scheme, critical -6049 when memory runs out, or the scheme's code. */
QL_EXPORT int32_t QL_ASYM_Sign_Final(QL_ASYM_CTX *ctx, uint8_t *out, uint32_t *out_len);

/* QL_ASYM_Verify_Init, QL_ASYM_Verify_Update and QL_ASYM_Verify_Final are the verifying
 * stream, as signing with the `public_key` (a KCDSA signer's z comes from it), and the
 * `signature_len` bytes at `signature` checked at the end (0 when it is valid). Codes -6054,
 * critical -6055, -6056, -6057, critical -6058, -6059 in place of -6045 to -6050. */
QL_EXPORT int32_t QL_ASYM_Verify_Init(QL_ASYM_CTX *ctx, int32_t sign_id,
                                      const QL_ASYM_KEY *public_key, const QL_ASYM_KEY *params,
                                      const QL_ASYM_SIGN_PARAM *sign_param);
QL_EXPORT int32_t QL_ASYM_Verify_Update(QL_ASYM_CTX *ctx, const uint8_t *data,
                                        uint32_t data_len);
QL_EXPORT int32_t QL_ASYM_Verify_Final(QL_ASYM_CTX *ctx, const uint8_t *signature,
                                       uint32_t signature_len);

/* QL_ASYM_Sign signs `msg_len` bytes at `msg` in one call, as a stream would: `input_is_digest`
 * must be 0, except for scheme 9, which needs 1 and wraps the caller's value (at most 64 bytes)
 * as it is. Returns 0, -6039 for NULL arguments, parameters of another algorithm or a longer
 * value, -6040 for a wrong `input_is_digest`, -1001 for a key of another algorithm, critical
 * -6041 when memory runs out, or a stream's code. QL_ASYM_Verify checks `signature_len`
 * bytes at `signature` the same way, with -6051, -6052 and critical -6053. */
QL_EXPORT int32_t QL_ASYM_Sign(uint8_t *out, uint32_t *out_len, int32_t input_is_digest,
                               const uint8_t *msg, uint32_t msg_len, int32_t sign_id,
                               const QL_ASYM_KEY *private_key, const QL_ASYM_KEY *params,
                               const QL_ASYM_SIGN_PARAM *sign_param);
QL_EXPORT int32_t QL_ASYM_Verify(const uint8_t *signature, uint32_t signature_len,
                                 int32_t input_is_digest, const uint8_t *msg, uint32_t msg_len,
                                 int32_t sign_id, const QL_ASYM_KEY *public_key,
                                 const QL_ASYM_KEY *params, const QL_ASYM_SIGN_PARAM *sign_param);

/* ---- Module asymmetric services -------------------------------------------------------- */

/* QLC_ASYM_Param_New, QLC_KEY_PriKey_New and QLC_KEY_PubKey_New return an empty (zeroed)
 * QL_ASYM_KEY for parameters, a private key or a public key, or NULL when memory runs out.
 * The services fill them; QLC_ASYM_Param_Delete, QLC_KEY_PriKey_Delete and
 * QLC_KEY_PubKey_Delete wipe and free the body and the record (NULL is ignored). */
QL_EXPORT QL_ASYM_KEY *QLC_ASYM_Param_New(void);
QL_EXPORT void QLC_ASYM_Param_Delete(QL_ASYM_KEY *params);
QL_EXPORT QL_ASYM_KEY *QLC_KEY_PriKey_New(void);
QL_EXPORT void QLC_KEY_PriKey_Delete(QL_ASYM_KEY *key);
QL_EXPORT QL_ASYM_KEY *QLC_KEY_PubKey_New(void);
QL_EXPORT void QLC_KEY_PubKey_Delete(QL_ASYM_KEY *key);

/* QLC_ASYM_GenParam fills the empty record `params` with new parameters of `pkey_id`: KCDSA
 * with a p of `*gen_param` bits, ECDSA the curve P-224 or P-256 (`*gen_param` 224 or 256);
 * `params` is written only on success. Returns 0, -6023 for a NULL or non-empty `params` or a
 * NULL `gen_param`, a state or gate code, -6096 or -6093 when memory runs out (the module then
 * enters its error state), or a code of QL_ASYM_GenerateParameters. */
QL_EXPORT int32_t QLC_ASYM_GenParam(QL_ASYM_KEY *params, int32_t pkey_id,
                                    const uint32_t *gen_param);

/* QLC_KEY_GenKeyPair fills the empty records `pri_key` and `pub_key` (both only on success)
 * with a new pair of `pkey_id`: RSA by `keygen` (`params` NULL), KCDSA and ECDSA over `params`.
 * In the approved state the pair must first sign and verify (RSA: also OAEP round trip). Returns
 * 0, -6097 for NULL, non-empty or identical records or NULL `keygen`, a state or gate code,
 * -6112 for a pair that fails the test (module in error state), -6121 or -6093 to -6095 when
 * memory runs out, or a dispatcher code. */
QL_EXPORT int32_t QLC_KEY_GenKeyPair(QL_ASYM_KEY *pri_key, QL_ASYM_KEY *pub_key, int32_t pkey_id,
                                     const QL_ASYM_KEY *params, const QL_ASYM_KEYGEN_PARAM *keygen);

/* QLC_KEY_CheckKeyPair checks that `pri_key` and `pub_key` form a pair (KCDSA and ECDSA over
 * `params`); the key-pair gate applies to the private key's algorithm. Returns 0, -6098 for a
 * NULL key, a state or gate code, -6140 or -6093 to -6095 when memory runs out, or a code of
 * QL_ASYM_ProveKeyPair. */
QL_EXPORT int32_t QLC_KEY_CheckKeyPair(const QL_ASYM_KEY *pri_key, const QL_ASYM_KEY *pub_key,
                                       const QL_ASYM_KEY *params);

/* QLC_ASYM_Encrypt encrypts `in_len` bytes at `in` with the RSA `pub_key` under `penc_id`
 * (QL_PENC_RSA_OAEP with `penc_param`, label up to 32768 bytes) into `out`, which must hold the
 * modulus length, and its length to `*out_len` (0 on failure). Returns 0, -6099 for a NULL
 * argument, a state or gate code, -3002 for a longer label, -6139 for a NULL label of non-zero
 * length, -6119, -6118 or -6095 when memory runs out, or a code of QL_ASYM_Encrypt. */
QL_EXPORT int32_t QLC_ASYM_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                                   uint32_t in_len, int32_t penc_id, const QL_ASYM_KEY *pub_key,
                                   const QL_OAEP_PARAM *penc_param);

/* QLC_ASYM_Decrypt inverts QLC_ASYM_Encrypt with the RSA `pri_key`; `out` must hold the
 * modulus length. Codes as there, with -6100 for a NULL argument, -3011 for a label above
 * 32768 bytes, and -6120, -6119, -6118 or -6094 when memory runs out. */
QL_EXPORT int32_t QLC_ASYM_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *in,
                                   uint32_t in_len, int32_t penc_id, const QL_ASYM_KEY *pri_key,
                                   const QL_OAEP_PARAM *penc_param);

/* QLC_ASYM_Sign signs `msg` (a digest for scheme 9 with `input_is_digest` 1) under `sign_id`
 * with `pri_key`, `params` and `sign_param` (PSS words; KCDSA: the signer's public key) into
 * `sig` and `*sig_len` (0 on failure). `sig` must hold: RSA the modulus length; ECDSA 2 x
 * (order bytes + 3) + 2 (64, 72 bytes); KCDSA digest + q bytes + 8 (72 for SHA-256, 256-bit q).
 * Returns 0, -6104 for a NULL argument, a state or gate code, -6102 without sign parameter,
 * -6105, -6103 or -6093 to -6095 when memory runs out, or a code of QL_ASYM_Sign. */
QL_EXPORT int32_t QLC_ASYM_Sign(uint8_t *sig, uint32_t *sig_len, int32_t input_is_digest,
                                const uint8_t *msg, uint32_t msg_len, int32_t sign_id,
                                const QL_ASYM_KEY *pri_key, const QL_ASYM_KEY *params,
                                const QL_ASYM_SIGN_PARAM *sign_param);

/* QLC_ASYM_Verify checks `sig_len` bytes at `sig` as QLC_ASYM_Sign's signature of `msg` under
 * `pub_key` (KCDSA too wants the signer's key in `sign_param`). Returns 0 for a valid
 * signature, -6106 for a NULL argument, a state or gate code, -6102, -6107, -6103 or -6093 to
 * -6095 when memory runs out, or a code of QL_ASYM_Verify. */
QL_EXPORT int32_t QLC_ASYM_Verify(const uint8_t *sig, uint32_t sig_len, int32_t input_is_digest,
                                  const uint8_t *msg, uint32_t msg_len, int32_t sign_id,
                                  const QL_ASYM_KEY *pub_key, const QL_ASYM_KEY *params,
                                  const QL_ASYM_SIGN_PARAM *sign_param);

#ifdef __cplusplus
}
#endif

#endif /* QUILLONCRYPTO_H */
