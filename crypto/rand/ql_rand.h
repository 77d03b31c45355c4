// Internal interface of the random generators: the entropy pool and its helpers, the mixing
// step of the hash pool generator, and the test hooks of the module generator.
#ifndef QL_RAND_H
#define QL_RAND_H

#include <cstdint>

#include "QuillonCrypto.h"

// XORs `n` bytes of `data` into `pool`, cycling through its 512 bytes; null arguments are
// ignored.
void QL_Append_Entropy(QL_ENTROPY_POOL *pool, const uint8_t *data, uint32_t n);

// Mixes `n` bytes of `data` into the eight 20-byte state blocks of the hash pool generator.
void QL_XRNG_U(uint8_t state[8][20], const uint8_t *data, uint32_t n);

namespace ql {

// The fixed 160-bit modulus of the X9.62 generator, big-endian.
extern const uint8_t kX962DefaultQ[20];

// Keys `ctx` for modulus `q` with a 20-byte XKEY and a 20-byte XSEED drawn from the hash pool
// generator, drawn again while the two are equal. Returns the status of Big_X962_Init.
int32_t x962_init_random(QL_X962_CTX *ctx, const Big &q);

#if defined(QL_TEST_HOOKS)
namespace test {
// Makes the module generator hand out its previous block again once, as a generator stuck on
// one value would.
void cmvp_rand_repeat_next_block();
}  // namespace test
#endif

}  // namespace ql

#endif  // QL_RAND_H
