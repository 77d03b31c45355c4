// SEED-256: the 24-round SEED with a 256-bit key, sharing SEED-128's tables, G and rounds.
// Its key schedule rotates A||B||C||D right and E||F||G||H left as 128-bit values, by 9, 9,
// 11, 11, 12, 12 bits in turn. Table lookups are indexed by secret bytes.
#include "QuillonCrypto.h"
#include "internal/ql_bytes.h"
#include "internal/ql_mem.h"
#include "sym/ql_seed.h"

namespace ql {
namespace {

// w[0]||w[1]||w[2]||w[3] (w[0] most significant) rotated right by r, 0 < r < 32.
void rotr128(uint32_t w[4], unsigned r) {
  const uint32_t a = w[0], b = w[1], c = w[2], d = w[3];
  w[0] = (a >> r) | (d << (32 - r));
  w[1] = (b >> r) | (a << (32 - r));
  w[2] = (c >> r) | (b << (32 - r));
  w[3] = (d >> r) | (c << (32 - r));
}

// The same rotated left by r.
void rotl128(uint32_t w[4], unsigned r) {
  const uint32_t e = w[0], f = w[1], g = w[2], h = w[3];
  w[0] = (e << r) | (f >> (32 - r));
  w[1] = (f << r) | (g >> (32 - r));
  w[2] = (g << r) | (h >> (32 - r));
  w[3] = (h << r) | (e >> (32 - r));
}

}  // namespace

namespace seed {

void run256(const uint32_t *rk, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
            size_t blocks) {
  modes::run(Encryptor<24>{rk}, Decryptor<24>{rk}, op, iv, out, in, blocks);
}

}  // namespace seed

namespace {

cpu::Choice<CipherPath> path_choice(seed::choose_path<24>);
const CipherPath &path() { return path_choice.get(); }

Status make_key(QL_SYM_CTX &ctx, const uint8_t *key, uint32_t, int) {
  QL_Seed256_RoundKey(ctx.key.seed256, key);
  return kOk;
}

}  // namespace

const CipherDesc seed256_cipher = {
    QL_SYM_SEED256, 16, 32, 32, 32, 0, {32, 0, 0, 0}, false, make_key, seed::engine_schedule_ok<24>,
    path,
};

}  // namespace ql

// Exported functions.

void QL_Seed256_RoundKey(uint32_t *rk, const uint8_t *key) {
  uint32_t abcd[4];
  uint32_t efgh[4];
  for (int i = 0; i < 4; i++) {
    abcd[i] = ql::load_be32(key + 4 * i);
    efgh[i] = ql::load_be32(key + 16 + 4 * i);
  }
  static constexpr unsigned kShift[3] = {9, 11, 12};
  for (unsigned i = 0; i < 24; i++) {
    const uint32_t kc = i == 0 ? ql::seed::kKC0 : ql::rotl32(ql::seed::kKC0, i % 32);
    const uint32_t t0 = (((abcd[0] + abcd[2]) ^ efgh[0]) - efgh[1]) ^ kc;
    const uint32_t t1 = (((abcd[1] - abcd[3]) ^ efgh[2]) + efgh[3]) ^ kc;
    rk[2 * i] = ql::seed::G(t0);
    rk[2 * i + 1] = ql::seed::G(t1);
    // After round i + 1: odd rounds turn A||B||C||D, even rounds E||F||G||H.
    const unsigned r = kShift[(i / 2) % 3];
    if (i % 2 == 0) {
      ql::rotr128(abcd, r);
    } else {
      ql::rotl128(efgh, r);
    }
  }
  ql::wipe(abcd, sizeof(abcd));
  ql::wipe(efgh, sizeof(efgh));
}

void Seed256_Encrypt(const uint32_t *rk, uint32_t *block) { ql::seed::encrypt(rk, block, 24); }

void Seed256_Decrypt(const uint32_t *rk, uint32_t *block) { ql::seed::decrypt(rk, block, 24); }

int32_t QL_Seed256_Main(const uint32_t *rk, uint8_t *out, const uint8_t *in, int32_t direction) {
  uint32_t b[4];
  for (int i = 0; i < 4; i++) {
    b[i] = ql::load_be32(in + 4 * i);
  }
  if (direction == 0) {
    Seed256_Encrypt(rk, b);
  } else if (direction == 1) {
    Seed256_Decrypt(rk, b);
  }
  for (int i = 0; i < 4; i++) {
    ql::store_be32(out + 4 * i, b[i]);
  }
  return 0;
}
