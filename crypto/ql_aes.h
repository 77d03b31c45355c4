// AES block functions on four big-endian words, for the mode engines.
#ifndef QL_AES_H
#define QL_AES_H

#include <cstdint>

#include "QuillonCrypto.h"

namespace ql {

// The FIPS 197 key expansion into `rk` (room for 60 words) for a key of 16, 24 or 32 bytes.
// Returns the number of rounds (10, 12, 14), or 0 for any other length.
int rijndaelKeySetupEnc(uint32_t *rk, const uint8_t *key, uint32_t key_len);

// Encrypts the block `s` in place with an encryption schedule.
void aes_encrypt_words(const QL_AES_KEY &rk, uint32_t s[4]);
// Decrypts the block `s` in place with a schedule made for direction 1.
void aes_decrypt_words(const QL_AES_KEY &rk, uint32_t s[4]);

}  // namespace ql

#endif  // QL_AES_H
