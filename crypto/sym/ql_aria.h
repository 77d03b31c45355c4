// ARIA block function on four big-endian words, for the mode engine.
#ifndef QL_ARIA_H
#define QL_ARIA_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "sym/ql_block_modes.h"

namespace ql {

// A schedule's round keys as big-endian words, read once for a run of many blocks.
struct AriaWords {
  int32_t rounds;
  uint32_t rk[17 * 4];
};
void aria_load_words(AriaWords &out, const QL_ARIA_KEY &rk);

// Runs the block `s` in place through the schedule `rk` (an encryption or decryption one).
void aria_crypt_words(const QL_ARIA_KEY &rk, uint32_t s[4]);
void aria_crypt_words(const AriaWords &rk, uint32_t s[4]);
// Runs `op` over `blocks` whole blocks (see modes::loop) through the schedule `rk`, made for
// the direction `op` needs: decryption for ECB and CBC decryption.
void aria_run(const QL_ARIA_KEY &rk, modes::Run op, uint8_t iv[16], uint8_t *out,
              const uint8_t *in, size_t blocks);

#if defined(QL_TEST_HOOKS)
namespace test {
// The generated S-box `which` (0 to 3: S1, S2, S1^-1, S2^-1), 256 bytes.
const uint8_t *aria_sbox(int which);
}  // namespace test
#endif

}  // namespace ql

#endif  // QL_ARIA_H
