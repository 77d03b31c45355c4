// Internal helpers of the module's services: the boundary's private context allocators and
// copies for digests, HMACs and ciphers, the decoding of a caller's secret-key record, and the
// module's check and copy of cipher parameters.
#ifndef QL_CRYPTO_H
#define QL_CRYPTO_H

#include <cstdint>

#include "QuillonCrypto.h"

// QL_Hash_CTX_New / _Delete and QL_HMAC_CTX_New / _Delete under the boundary's names.
QL_HASH_CTX *QLC_Hash_CTX_New(void);
void QLC_Hash_CTX_Delete(QL_HASH_CTX *ctx);
QL_HMAC_CTX *QLC_HMAC_CTX_New(void);
void QLC_HMAC_CTX_Delete(QL_HMAC_CTX *ctx);

// Copies the four header words of `src` and exactly the working state of the digest its
// identifier names (92, 104 or 208 bytes; none for an unknown identifier) into `dst`.
// Returns 0, or -6137 when either pointer is null.
int32_t QLC_Hash_CTX_Copy(QL_HASH_CTX *dst, const QL_HASH_CTX *src);

// Copies identifier, stamp, key block, key-block length and info of `src` into `dst`, then the
// inner digest with QLC_Hash_CTX_Copy. Returns 0, or -6138 when either pointer is null.
int32_t QLC_HMAC_CTX_Copy(QL_HMAC_CTX *dst, const QL_HMAC_CTX *src);

// Hands out the algorithm identifier of `key`, a zero-terminated heap copy of its key bytes
// (key length + 1 bytes, from ql::alloc) and the key length. The caller wipes and frees the
// copy with ql::free_wiped(copy, length + 1). Returns 0; -6080 for a null record or a key
// length above 256, nothing handed out; the critical form of -6081 when memory is exhausted.
int32_t QLC_KEY_SecKey_Decode(const QLC_SECRET_KEY *key, int32_t *alg_id, uint8_t **key_copy,
                              uint32_t *key_len);

// Checks the private copy of cipher parameters against the cipher `sym_id` and the decoded key
// length: IV length 0 or 16 (-6075), SEED key lengths (-6076), padding 1 to 4 (-6077); an
// unknown cipher gives -6114.
int32_t QLC_SYM_CheckParams(int32_t sym_id, uint32_t key_len, const QL_SYM_PARAM *params);

// Hands out a heap copy of `params` through `copy`, with at most the 32 bytes of the IV field
// copied whatever IV length the caller claims. The caller wipes and frees it with
// ql::free_wiped. Returns 0, -6115 for a null `params`, or -6129 in critical form.
int32_t QLC_SYM_Parameter_Copy(QL_SYM_PARAM **copy, const QL_SYM_PARAM *params);

// Makes `dst` an exact copy of the streaming record `src`. Returns 0, or -6116 when either
// pointer is null.
int32_t QLC_SYM_CTX_Copy(QL_SYM_CTX *dst, const QL_SYM_CTX *src);

#endif  // QL_CRYPTO_H
