// SEED-128 (TTAS.KO-12.0004, RFC 4269): 16 Feistel rounds on four big-endian words with the
// G function through the 1 KB tables SS0..SS3, and its key schedule. Table lookups are
// indexed by secret bytes.
#include "QuillonCrypto.h"
#include "internal/ql_bytes.h"
#include "internal/ql_mem.h"
#include "sym/ql_seed.h"

namespace ql {
namespace seed {

void run128(const uint32_t *rk, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
            size_t blocks) {
  modes::run(Encryptor<16>{rk}, Decryptor<16>{rk}, op, iv, out, in, blocks);
}

}  // namespace seed

namespace {

cpu::Choice<CipherPath> path_choice(seed::choose_path<16>);
const CipherPath &path() { return path_choice.get(); }

Status make_key(QL_SYM_CTX &ctx, const uint8_t *key, uint32_t, int) {
  QL_Seed128_RoundKey(ctx.key.seed128, key);
  return kOk;
}

}  // namespace

const CipherDesc seed128_cipher = {
    QL_SYM_SEED128, 16, 16, 16, 16, 0, {16, 0, 0, 0}, true, make_key, seed::engine_schedule_ok<16>,
    path,
};

}  // namespace ql

// Exported functions.

void QL_Seed128_RoundKey(uint32_t *rk, const uint8_t *key) {
  uint32_t a = ql::load_be32(key);
  uint32_t b = ql::load_be32(key + 4);
  uint32_t c = ql::load_be32(key + 8);
  uint32_t d = ql::load_be32(key + 12);
  for (unsigned i = 0; i < 16; i++) {
    const uint32_t kc = i == 0 ? ql::seed::kKC0 : ql::rotl32(ql::seed::kKC0, i);
    rk[2 * i] = ql::seed::G(a + c - kc);
    rk[2 * i + 1] = ql::seed::G(b - d + kc);
    if (i % 2 == 0) {
      // A||B rotated right by 8 as one 64-bit value.
      const uint32_t t = a;
      a = (a >> 8) | (b << 24);
      b = (b >> 8) | (t << 24);
    } else {
      // C||D rotated left by 8.
      const uint32_t t = c;
      c = (c << 8) | (d >> 24);
      d = (d << 8) | (t >> 24);
    }
  }
}

void Seed128_Encrypt(const uint32_t *rk, uint32_t *block) { ql::seed::encrypt(rk, block, 16); }

void Seed128_Decrypt(const uint32_t *rk, uint32_t *block) { ql::seed::decrypt(rk, block, 16); }

int32_t QL_Seed128_Main(const uint32_t *rk, uint8_t *out, const uint8_t *in, int32_t direction) {
  uint32_t b[4];
  for (int i = 0; i < 4; i++) {
    b[i] = ql::load_be32(in + 4 * i);
  }
  if (direction == 0) {
    Seed128_Encrypt(rk, b);
  } else if (direction == 1) {
    Seed128_Decrypt(rk, b);
  }
  for (int i = 0; i < 4; i++) {
    ql::store_be32(out + 4 * i, b[i]);
  }
  return 0;
}
