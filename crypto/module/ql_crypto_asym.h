// Internal helpers of the module's public-key services: deep copies of key and parameter
// records through their encodings, the module's own copy of OAEP parameters with its label,
// and the module's own sign parameter.
#ifndef QL_CRYPTO_ASYM_H
#define QL_CRYPTO_ASYM_H

#include <cstdint>

#include "QuillonCrypto.h"

// Deep copies of `src` into the empty record `dst`: the source is encoded into a scratch
// buffer (wiped and freed on every path) and decoded into `dst` with the source's algorithm.
// The key copies pass `params` to both steps (ECDSA keys need them). The source is only
// read. Returns 0, an encoder's or decoder's code (a failed decode leaves `dst` for its
// owner to delete), or critical -6093, -6094, -6095 when the buffer cannot be allocated.
int32_t QLC_ASYM_Param_Copy(QL_ASYM_KEY *dst, const QL_ASYM_KEY *src);
int32_t QLC_KEY_PriKey_Copy(QL_ASYM_KEY *dst, const QL_ASYM_KEY *src, const QL_ASYM_KEY *params);
int32_t QLC_KEY_PubKey_Copy(QL_ASYM_KEY *dst, const QL_ASYM_KEY *src, const QL_ASYM_KEY *params);

// A zeroed OAEP parameter record from the heap, or null; its delete wipes and frees the label
// it holds and the record (null is ignored).
QL_OAEP_PARAM *QLC_ASYM_PEncParam_New(void);
void QLC_ASYM_PEncParam_Delete(QL_OAEP_PARAM *param);

// Copies the identifiers of `src` into the empty record `dst` and the label (1 to 32768 bytes)
// into a buffer of its own. Returns 0; -6139 for a null record, a null label with a non-zero
// length or a label above 32768 bytes (the services refuse those with the OAEP codes first);
// critical -6118 when the label buffer cannot be allocated.
int32_t QLC_ASYM_PEncParam_Copy(QL_OAEP_PARAM *dst, const QL_OAEP_PARAM *src);

// Fills the module's sign parameter `dst` (zeroed, from QL_ASYM_SignParam_New) from the
// caller's `src` for signing (`direction` 1) or verifying (2); other directions do nothing.
// PSS schemes (11, 32, 33, 34) copy both words; KCDSA schemes (16 to 18) take a deep copy of
// the signer's public key (with `params`) into a new record that QL_ASYM_SignParam_Delete frees
// with the scheme. Returns 0, -6102 when those schemes get no sign parameter or no key in it,
// critical -6103 when the key record cannot be allocated, or a copy code.
int32_t QLC_ASYM_SignParam_Convert(QL_ASYM_SIGN_PARAM *dst, int32_t direction, int32_t sign_id,
                                   const QL_ASYM_SIGN_PARAM *src, const QL_ASYM_KEY *params);

namespace ql {
// The encryption half of the pair-wise test: `ct` (`ct_len` bytes) must be the encryption of
// the `msg_len` bytes at `msg` and `dec` its decryption. Returns -6112 when the decryption
// differs from the message, when it equals the ciphertext's first bytes (the encryption
// changed nothing) or when the ciphertext begins with the message in the clear; else 0.
int32_t check_round_trip(const uint8_t *msg, uint32_t msg_len, const uint8_t *ct, uint32_t ct_len,
                         const uint8_t *dec, uint32_t dec_len);
}  // namespace ql

#if defined(QL_TEST_HOOKS)
namespace ql {
namespace test {
// While on, key-pair generation damages the public key it has just made (before the pair-wise
// test), so that the test fails in the approved state and the damaged pair comes back in the
// non-approved one.
void corrupt_generated_keys(bool on);
}  // namespace test
}  // namespace ql
#endif

#endif  // QL_CRYPTO_ASYM_H
