// AES block functions on four big-endian words, for the mode engines.
#ifndef QL_AES_H
#define QL_AES_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "platform/ql_cpu.h"
#include "sym/ql_block_modes.h"

namespace ql {

// The FIPS 197 key expansion into `rk` (room for 60 words) for a key of 16, 24 or 32 bytes.
// Returns the number of rounds (10, 12, 14), or 0 for any other length.
int rijndaelKeySetupEnc(uint32_t *rk, const uint8_t *key, uint32_t key_len);

// Encrypts the block `s` in place with an encryption schedule.
void aes_encrypt_words(const QL_AES_KEY &rk, uint32_t s[4]);
// Decrypts the block `s` in place with a schedule made for direction 1.
void aes_decrypt_words(const QL_AES_KEY &rk, uint32_t s[4]);
// Runs `op` over `blocks` whole blocks (see modes::loop) with the table code; `rk` is the
// schedule for the direction `op` needs: decryption for ECB and CBC decryption.
void aes_run(const QL_AES_KEY &rk, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
             size_t blocks);

#if QL_X86_ACCEL
// The same functions with AES-NI, on the same schedule layout; only when
// cpu::has(cpu::kAesNi). Multi-block functions take whole blocks and keep the running IV or
// counter (a 128-bit big-endian integer) in `iv` / `counter`; `out` may equal `in`.
namespace aesni {
// The schedule for `direction` 0 (encryption) or 1; returns the rounds, or 0 for a key length
// other than 16, 24 or 32.
int make_key(QL_AES_KEY &rk, const uint8_t *key, uint32_t key_len, int direction);
void crypt_block(const QL_AES_KEY &rk, uint8_t out[16], const uint8_t in[16], int direction);
void crypt_words(const QL_AES_KEY &rk, uint32_t s[4], int direction);
void ecb(const QL_AES_KEY &rk, int direction, uint8_t *out, const uint8_t *in, size_t blocks);
void cbc_encrypt(const QL_AES_KEY &rk, uint8_t iv[16], uint8_t *out, const uint8_t *in,
                 size_t blocks);
void cbc_decrypt(const QL_AES_KEY &rk, uint8_t iv[16], uint8_t *out, const uint8_t *in,
                 size_t blocks);
void ctr(const QL_AES_KEY &rk, uint8_t counter[16], uint8_t *out, const uint8_t *in, size_t blocks);
// Any whole-block run, as aes_run.
void run(const QL_AES_KEY &rk, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
         size_t blocks);
}  // namespace aesni
#endif

// The AES code this processor runs, chosen once per process: the key schedule (returns the
// rounds; 16, 24 or 32 key bytes), one block, and whole-block runs as aes_run.
struct AesImpl {
  int (*make_key)(QL_AES_KEY &rk, const uint8_t *key, uint32_t key_len, int direction);
  void (*crypt_block)(const QL_AES_KEY &rk, uint8_t out[16], const uint8_t in[16], int direction);
  void (*run)(const QL_AES_KEY &rk, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
              size_t blocks);
};
const AesImpl &aes_impl();

}  // namespace ql

#endif  // QL_AES_H
