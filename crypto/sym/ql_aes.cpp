// AES (FIPS 197) with 128-, 192- and 256-bit keys: the key expansion, the equivalent inverse
// cipher's decryption schedule and the block function, on big-endian words through 1 KB
// combined round tables generated at compile time. Table lookups are indexed by secret
// bytes, so timing depends on the cache; the hardware paths come in their own unit.
#include "sym/ql_aes.h"

#include <array>
#include <cstddef>

#include "internal/ql_bytes.h"
#include "internal/ql_gf256.h"
#include "internal/ql_status.h"
#include "sym/ql_block_modes.h"
#include "sym/ql_cipher.h"
#include "x86/ql_sym_hw.h"

namespace ql {
namespace {

using Table = std::array<uint32_t, 256>;

constexpr unsigned kPoly = 0x11B;  // x^8 + x^4 + x^3 + x + 1

constexpr uint8_t gf_mul(uint8_t a, uint8_t b) { return gf256::mul(a, b, kPoly); }

// The FIPS 197 affine map as matrix rows (output bit 7 first) applied to the inverse.
constexpr std::array<uint8_t, 8> kAffine = {0xF8, 0x7C, 0x3E, 0x1F, 0x8F, 0xC7, 0xE3, 0xF1};
constexpr std::array<uint8_t, 256> sbox = gf256::power_sbox(kAffine, 254, 0x63, kPoly);
constexpr std::array<uint8_t, 256> inv_sbox = gf256::inverse(sbox);

constexpr uint32_t pack(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return (uint32_t{a} << 24) | (uint32_t{b} << 16) | (uint32_t{c} << 8) | uint32_t{d};
}

// Column of MixColumns for one S-box output, rotated right by `rot` bytes.
constexpr Table make_te(unsigned rot) {
  Table t{};
  for (size_t i = 0; i < 256; i++) {
    const uint8_t s = sbox[i];
    const uint32_t w = pack(gf_mul(s, 2), s, s, gf_mul(s, 3));
    t[i] = rot == 0 ? w : rotr32(w, 8 * rot);
  }
  return t;
}

// Column of InvMixColumns for one inverse S-box output, rotated right by `rot` bytes.
constexpr Table make_td(unsigned rot) {
  Table t{};
  for (size_t i = 0; i < 256; i++) {
    const uint8_t s = inv_sbox[i];
    const uint32_t w = pack(gf_mul(s, 14), gf_mul(s, 9), gf_mul(s, 13), gf_mul(s, 11));
    t[i] = rot == 0 ? w : rotr32(w, 8 * rot);
  }
  return t;
}

constexpr Table make_replicated(const std::array<uint8_t, 256> &s) {
  Table t{};
  for (size_t i = 0; i < 256; i++) {
    t[i] = s[i] * 0x01010101u;
  }
  return t;
}

constexpr std::array<uint32_t, 10> make_rcon() {
  std::array<uint32_t, 10> r{};
  uint8_t x = 1;
  for (size_t i = 0; i < 10; i++) {
    r[i] = uint32_t{x} << 24;
    x = gf_mul(x, 2);
  }
  return r;
}

// Te0..Te4 and Td0..Td4 each lie in one array, so the rounds address them from one base
// register and keep the state in registers.
constexpr std::array<Table, 5> Te = {make_te(0), make_te(1), make_te(2), make_te(3),
                                     make_replicated(sbox)};
constexpr std::array<Table, 5> Td = {make_td(0), make_td(1), make_td(2), make_td(3),
                                     make_replicated(inv_sbox)};
constexpr std::array<uint32_t, 10> rcon = make_rcon();

static_assert(sbox[0x00] == 0x63 && sbox[0x53] == 0xed && sbox[0xff] == 0x16, "AES S-box");
static_assert(inv_sbox[0x00] == 0x52 && inv_sbox[0xff] == 0x7d, "AES inverse S-box");
static_assert(Te[0][0x00] == 0xc66363a5u && Te[0][0xff] == 0x2c16163au, "AES Te0");
static_assert(Td[0][0x00] == 0x51f4a750u && Td[0][0xff] == 0xd0b85742u, "AES Td0");
static_assert(rcon[0] == 0x01000000u && rcon[9] == 0x36000000u, "AES round constants");

inline uint32_t b0(uint32_t w) { return w >> 24; }
inline uint32_t b1(uint32_t w) { return (w >> 16) & 0xff; }
inline uint32_t b2(uint32_t w) { return (w >> 8) & 0xff; }
inline uint32_t b3(uint32_t w) { return w & 0xff; }

}  // namespace

// The FIPS 197 key expansion; `rk` needs room for 60 words. Returns the number of rounds,
// or 0 for a key length other than 16, 24 or 32.
int rijndaelKeySetupEnc(uint32_t *rk, const uint8_t *key, uint32_t key_len) {
  const size_t nk = key_len / 4;
  if (key_len != 16 && key_len != 24 && key_len != 32) {
    return 0;
  }
  const size_t rounds = nk + 6;
  for (size_t i = 0; i < nk; i++) {
    rk[i] = load_be32(key + 4 * i);
  }
  for (size_t i = nk; i < 4 * (rounds + 1); i++) {
    uint32_t t = rk[i - 1];
    if (i % nk == 0) {
      t = (Te[4][b1(t)] & 0xff000000u) ^ (Te[4][b2(t)] & 0x00ff0000u) ^
          (Te[4][b3(t)] & 0x0000ff00u) ^ (Te[4][b0(t)] & 0x000000ffu) ^ rcon[i / nk - 1];
    } else if (nk == 8 && i % nk == 4) {
      t = (Te[4][b0(t)] & 0xff000000u) ^ (Te[4][b1(t)] & 0x00ff0000u) ^
          (Te[4][b2(t)] & 0x0000ff00u) ^ (Te[4][b3(t)] & 0x000000ffu);
    }
    rk[i] = rk[i - nk] ^ t;
  }
  return static_cast<int>(rounds);
}

namespace {

// One inner encryption round of the block (s0, s1, s2, s3) with the round key `k`.
QL_BLOCK_INLINE void enc_round(const uint32_t *k, uint32_t &s0, uint32_t &s1, uint32_t &s2,
                               uint32_t &s3) {
  const uint32_t t0 = Te[0][b0(s0)] ^ Te[1][b1(s1)] ^ Te[2][b2(s2)] ^ Te[3][b3(s3)] ^ k[0];
  const uint32_t t1 = Te[0][b0(s1)] ^ Te[1][b1(s2)] ^ Te[2][b2(s3)] ^ Te[3][b3(s0)] ^ k[1];
  const uint32_t t2 = Te[0][b0(s2)] ^ Te[1][b1(s3)] ^ Te[2][b2(s0)] ^ Te[3][b3(s1)] ^ k[2];
  const uint32_t t3 = Te[0][b0(s3)] ^ Te[1][b1(s0)] ^ Te[2][b2(s1)] ^ Te[3][b3(s2)] ^ k[3];
  s0 = t0;
  s1 = t1;
  s2 = t2;
  s3 = t3;
}

// The last encryption round: SubBytes and ShiftRows without MixColumns.
QL_BLOCK_INLINE void enc_last(const uint32_t *k, uint32_t &s0, uint32_t &s1, uint32_t &s2,
                              uint32_t &s3) {
  const uint32_t t0 = (Te[4][b0(s0)] & 0xff000000u) ^ (Te[4][b1(s1)] & 0x00ff0000u) ^
                      (Te[4][b2(s2)] & 0x0000ff00u) ^ (Te[4][b3(s3)] & 0x000000ffu) ^ k[0];
  const uint32_t t1 = (Te[4][b0(s1)] & 0xff000000u) ^ (Te[4][b1(s2)] & 0x00ff0000u) ^
                      (Te[4][b2(s3)] & 0x0000ff00u) ^ (Te[4][b3(s0)] & 0x000000ffu) ^ k[1];
  const uint32_t t2 = (Te[4][b0(s2)] & 0xff000000u) ^ (Te[4][b1(s3)] & 0x00ff0000u) ^
                      (Te[4][b2(s0)] & 0x0000ff00u) ^ (Te[4][b3(s1)] & 0x000000ffu) ^ k[2];
  const uint32_t t3 = (Te[4][b0(s3)] & 0xff000000u) ^ (Te[4][b1(s0)] & 0x00ff0000u) ^
                      (Te[4][b2(s1)] & 0x0000ff00u) ^ (Te[4][b3(s2)] & 0x000000ffu) ^ k[3];
  s0 = t0;
  s1 = t1;
  s2 = t2;
  s3 = t3;
}

// One inner round of the equivalent inverse cipher with the round key `k`.
QL_BLOCK_INLINE void dec_round(const uint32_t *k, uint32_t &s0, uint32_t &s1, uint32_t &s2,
                               uint32_t &s3) {
  const uint32_t t0 = Td[0][b0(s0)] ^ Td[1][b1(s3)] ^ Td[2][b2(s2)] ^ Td[3][b3(s1)] ^ k[0];
  const uint32_t t1 = Td[0][b0(s1)] ^ Td[1][b1(s0)] ^ Td[2][b2(s3)] ^ Td[3][b3(s2)] ^ k[1];
  const uint32_t t2 = Td[0][b0(s2)] ^ Td[1][b1(s1)] ^ Td[2][b2(s0)] ^ Td[3][b3(s3)] ^ k[2];
  const uint32_t t3 = Td[0][b0(s3)] ^ Td[1][b1(s2)] ^ Td[2][b2(s1)] ^ Td[3][b3(s0)] ^ k[3];
  s0 = t0;
  s1 = t1;
  s2 = t2;
  s3 = t3;
}

// The last round of the equivalent inverse cipher.
QL_BLOCK_INLINE void dec_last(const uint32_t *k, uint32_t &s0, uint32_t &s1, uint32_t &s2,
                              uint32_t &s3) {
  const uint32_t t0 = (Td[4][b0(s0)] & 0xff000000u) ^ (Td[4][b1(s3)] & 0x00ff0000u) ^
                      (Td[4][b2(s2)] & 0x0000ff00u) ^ (Td[4][b3(s1)] & 0x000000ffu) ^ k[0];
  const uint32_t t1 = (Td[4][b0(s1)] & 0xff000000u) ^ (Td[4][b1(s0)] & 0x00ff0000u) ^
                      (Td[4][b2(s3)] & 0x0000ff00u) ^ (Td[4][b3(s2)] & 0x000000ffu) ^ k[1];
  const uint32_t t2 = (Td[4][b0(s2)] & 0xff000000u) ^ (Td[4][b1(s1)] & 0x00ff0000u) ^
                      (Td[4][b2(s0)] & 0x0000ff00u) ^ (Td[4][b3(s3)] & 0x000000ffu) ^ k[2];
  const uint32_t t3 = (Td[4][b0(s3)] & 0xff000000u) ^ (Td[4][b1(s2)] & 0x00ff0000u) ^
                      (Td[4][b2(s1)] & 0x0000ff00u) ^ (Td[4][b3(s0)] & 0x000000ffu) ^ k[3];
  s0 = t0;
  s1 = t1;
  s2 = t2;
  s3 = t3;
}

inline void add_key(const uint32_t *k, uint32_t &s0, uint32_t &s1, uint32_t &s2, uint32_t &s3) {
  s0 ^= k[0];
  s1 ^= k[1];
  s2 ^= k[2];
  s3 ^= k[3];
}

// The rounds on a block held in four words; `key` is an encryption schedule.
QL_BLOCK_INLINE void encrypt_block(const QL_AES_KEY &key, uint32_t &s0, uint32_t &s1, uint32_t &s2,
                                   uint32_t &s3) {
  const uint32_t *rk = key.roundKey;
  add_key(rk, s0, s1, s2, s3);
  for (int r = 1; r < key.rounds; r++) {
    rk += 4;
    enc_round(rk, s0, s1, s2, s3);
  }
  enc_last(rk + 4, s0, s1, s2, s3);
}

// The equivalent inverse cipher on four words; `key` is a decryption schedule.
QL_BLOCK_INLINE void decrypt_block(const QL_AES_KEY &key, uint32_t &s0, uint32_t &s1, uint32_t &s2,
                                   uint32_t &s3) {
  const uint32_t *rk = key.roundKey;
  add_key(rk, s0, s1, s2, s3);
  for (int r = 1; r < key.rounds; r++) {
    rk += 4;
    dec_round(rk, s0, s1, s2, s3);
  }
  dec_last(rk + 4, s0, s1, s2, s3);
}

// Block functors of the mode loops: one block, or two side by side (s and u), each round of
// one overlapping the other's table lookups.
struct Encryptor {
  static constexpr bool kPairs = true;
  const QL_AES_KEY &key;
  QL_BLOCK_INLINE void operator()(uint32_t &s0, uint32_t &s1, uint32_t &s2, uint32_t &s3) const {
    encrypt_block(key, s0, s1, s2, s3);
  }
  QL_BLOCK_INLINE void pair(uint32_t &s0, uint32_t &s1, uint32_t &s2, uint32_t &s3, uint32_t &u0,
                            uint32_t &u1, uint32_t &u2, uint32_t &u3) const {
    const uint32_t *rk = key.roundKey;
    add_key(rk, s0, s1, s2, s3);
    add_key(rk, u0, u1, u2, u3);
    for (int r = 1; r < key.rounds; r++) {
      rk += 4;
      enc_round(rk, s0, s1, s2, s3);
      enc_round(rk, u0, u1, u2, u3);
    }
    enc_last(rk + 4, s0, s1, s2, s3);
    enc_last(rk + 4, u0, u1, u2, u3);
  }
};
struct Decryptor {
  static constexpr bool kPairs = true;
  const QL_AES_KEY &key;
  QL_BLOCK_INLINE void operator()(uint32_t &s0, uint32_t &s1, uint32_t &s2, uint32_t &s3) const {
    decrypt_block(key, s0, s1, s2, s3);
  }
  QL_BLOCK_INLINE void pair(uint32_t &s0, uint32_t &s1, uint32_t &s2, uint32_t &s3, uint32_t &u0,
                            uint32_t &u1, uint32_t &u2, uint32_t &u3) const {
    const uint32_t *rk = key.roundKey;
    add_key(rk, s0, s1, s2, s3);
    add_key(rk, u0, u1, u2, u3);
    for (int r = 1; r < key.rounds; r++) {
      rk += 4;
      dec_round(rk, s0, s1, s2, s3);
      dec_round(rk, u0, u1, u2, u3);
    }
    dec_last(rk + 4, s0, s1, s2, s3);
    dec_last(rk + 4, u0, u1, u2, u3);
  }
};

}  // namespace

void aes_encrypt_words(const QL_AES_KEY &key, uint32_t st[4]) {
  encrypt_block(key, st[0], st[1], st[2], st[3]);
}

void aes_decrypt_words(const QL_AES_KEY &key, uint32_t st[4]) {
  decrypt_block(key, st[0], st[1], st[2], st[3]);
}

void aes_run(const QL_AES_KEY &key, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
             size_t blocks) {
  modes::run(Encryptor{key}, Decryptor{key}, op, iv, out, in, blocks);
}

namespace {

int make_key_portable(QL_AES_KEY &rk, const uint8_t *key, uint32_t key_len, int direction) {
  const int rounds = rijndaelKeySetupEnc(rk.roundKey, key, key_len);
  if (direction == 0) {
    return rounds;
  }
  // Equivalent inverse cipher: round keys in reverse order, InvMixColumns on the inner ones.
  uint32_t *w = rk.roundKey;
  for (int i = 0, j = 4 * rounds; i < j; i += 4, j -= 4) {
    for (int k = 0; k < 4; k++) {
      const uint32_t t = w[i + k];
      w[i + k] = w[j + k];
      w[j + k] = t;
    }
  }
  for (int i = 4; i < 4 * rounds; i++) {
    const uint32_t t = w[i];
    w[i] = Td[0][Te[4][b0(t)] & 0xff] ^ Td[1][Te[4][b1(t)] & 0xff] ^ Td[2][Te[4][b2(t)] & 0xff] ^
           Td[3][Te[4][b3(t)] & 0xff];
  }
  return rounds;
}

void crypt_block_portable(const QL_AES_KEY &rk, uint8_t out[16], const uint8_t in[16],
                          int direction) {
  uint32_t s[4] = {load_be32(in), load_be32(in + 4), load_be32(in + 8), load_be32(in + 12)};
  if (direction == 0) {
    aes_encrypt_words(rk, s);
  } else {
    aes_decrypt_words(rk, s);
  }
  for (int i = 0; i < 4; i++) {
    store_be32(out + 4 * i, s[i]);
  }
}

constexpr AesImpl aes_portable{make_key_portable, crypt_block_portable, aes_run};
#if QL_X86_ACCEL
constexpr AesImpl aes_aesni{aesni::make_key, aesni::crypt_block, aesni::run};
#endif

const AesImpl *choose_aes() {
#if QL_X86_ACCEL
  if (cpu::has(cpu::kAesNi)) {
    return &aes_aesni;
  }
#endif
  return &aes_portable;
}
cpu::Choice<AesImpl> aes_choice(choose_aes);

// The symmetric engine's view of AES.
void enc_words(const void *k, uint32_t s[4]) {
  aes_encrypt_words(*static_cast<const QL_AES_KEY *>(k), s);
}
BlockFn block_portable(const QL_SYM_CTX &ctx, AriaWords &, const void *&key) {
  key = &ctx.key.aes;
  return enc_words;
}
void whole_portable(const QL_SYM_CTX &ctx, modes::Run op, uint8_t iv[16], uint8_t *out,
                    const uint8_t *in, size_t blocks) {
  aes_run(ctx.key.aes, op, iv, out, in, blocks);
}
constexpr CipherPath path_portable{nullptr, whole_portable, block_portable};
#if QL_X86_ACCEL
constexpr CipherPath path_aesni{symhw::aes_fast, symhw::aes_whole, symhw::aes_block};
#endif

const CipherPath *choose_path() {
#if QL_X86_ACCEL
  if (cpu::has(cpu::kAesNi)) {
    return &path_aesni;
  }
#endif
  return &path_portable;
}
cpu::Choice<CipherPath> path_choice(choose_path);
const CipherPath &path() { return path_choice.get(); }

Status make_key(QL_SYM_CTX &ctx, const uint8_t *key, uint32_t key_len, int dir) {
  return QL_AES_MakeKey(&ctx.key.aes, key, key_len, dir);
}
// The round count bounds how many round keys are read and copied.
bool schedule_ok(const QL_SYM_CTX &ctx) {
  const int32_t r = ctx.key.aes.rounds;
  return r == 10 || r == 12 || r == 14;
}

}  // namespace

const AesImpl &aes_impl() { return aes_choice.get(); }

const CipherDesc aes_cipher = {
    QL_SYM_AES, 16, 16, 16, 32, 8, {16, 24, 32, 0}, false, make_key, schedule_ok, path,
};

}  // namespace ql

// Exported functions.

int32_t QL_AES_MakeKey(QL_AES_KEY *rk, const uint8_t *key, uint32_t key_len, int32_t direction) {
  if (rk == nullptr || key == nullptr || key_len < 16) {
    return ql::kErrAesKey;
  }
  if (direction != 0 && direction != 1) {
    return ql::kErrAesKey;
  }
  // Longer keys than a size needs are cut to that size; the rest is ignored.
  const uint32_t used = key_len >= 32 ? 32 : (key_len >= 24 ? 24 : 16);
  rk->rounds = ql::aes_impl().make_key(*rk, key, used, direction);
  return ql::kOk;
}

void QL_AES_Main(uint8_t *out, const uint8_t *in, const QL_AES_KEY *rk, int32_t direction) {
  ql::aes_impl().crypt_block(*rk, out, in, direction == 0 ? 0 : 1);
}
