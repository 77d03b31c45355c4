// OpenSSL's low-level SHA functions behind declarations that do not clash with QuillonCrypto.h.
#ifndef QL_OPENSSL_SHA_H
#define QL_OPENSSL_SHA_H

#include <cstddef>
#include <cstdint>

namespace qltest {

// OpenSSL's SHA-1 chaining words after its Init and one 64-byte Update of `block`.
void openssl_sha1_state_after_block(const uint8_t block[64], uint32_t state[5]);

// OpenSSL's digest `hash_id` (2 to 5) of `msg`, starting from the initial value with the bit
// counter preset to bits_hi:bits_lo (a whole number of blocks). False for other identifiers.
bool openssl_digest_from_count(int hash_id, uint64_t bits_hi, uint64_t bits_lo, const uint8_t *msg,
                               size_t len, uint8_t *out);

}  // namespace qltest

#endif  // QL_OPENSSL_SHA_H
