// ARIA (RFC 5794) with 128-, 192- and 256-bit keys. The state is four big-endian words; a
// round's substitution is folded with the byte mixing inside each word into 1 KB tables (one
// per S-box position, generated at compile time), followed by word XORs and byte
// permutations that complete the diffusion layer. Lookups are indexed by secret bytes.
#include "sym/ql_aria.h"

#include <array>
#include <cstddef>

#include "internal/ql_bytes.h"
#include "internal/ql_gf256.h"
#include "internal/ql_mem.h"
#include "sym/ql_block_modes.h"
#include "sym/ql_cipher.h"
#include "x86/ql_sym_hw.h"

namespace ql {
namespace {

using Sbox = std::array<uint8_t, 256>;
using Table = std::array<uint32_t, 256>;

constexpr unsigned kPoly = 0x11B;
constexpr std::array<uint8_t, 8> kM1 = {0xF8, 0x7C, 0x3E, 0x1F, 0x8F, 0xC7, 0xE3, 0xF1};
constexpr std::array<uint8_t, 8> kM2 = {0xCB, 0xBA, 0x81, 0x34, 0xB9, 0xEB, 0xBC, 0x7A};

constexpr Sbox sb1 = gf256::power_sbox(kM1, 254, 0x63, kPoly);
constexpr Sbox sb2 = gf256::power_sbox(kM2, 247, 0xE2, kPoly);

// S1, S2, S1^-1, S2^-1.
constexpr std::array<Sbox, 4> S = {sb1, sb2, gf256::inverse(sb1), gf256::inverse(sb2)};

static_assert(S[0][0x00] == 0x63 && S[0][0xff] == 0x16, "ARIA SB1");
static_assert(S[1][0x00] == 0xe2 && S[1][0x01] == 0x4e && S[1][0xff] == 0x81, "ARIA SB2");
static_assert(S[2][0x63] == 0x00 && S[3][0xe2] == 0x00, "ARIA inverse S-boxes");

// Key-schedule constants for 128-, 192- and 256-bit keys, in the order the expansion uses.
constexpr uint8_t kCK1[16] = {0x51, 0x7c, 0xc1, 0xb7, 0x27, 0x22, 0x0a, 0x94,
                              0xfe, 0x13, 0xab, 0xe8, 0xfa, 0x9a, 0x6e, 0xe0};
constexpr uint8_t kCK2[16] = {0x6d, 0xb1, 0x4a, 0xcc, 0x9e, 0x21, 0xc8, 0x20,
                              0xff, 0x28, 0xb1, 0xd5, 0xef, 0x5d, 0xe2, 0xb0};
constexpr uint8_t kCK3[16] = {0xdb, 0x92, 0x37, 0x1d, 0x21, 0x26, 0xe9, 0x70,
                              0x03, 0x24, 0x97, 0x75, 0x04, 0xe8, 0xc9, 0x0e};
constexpr const uint8_t *KRK_12[3] = {kCK1, kCK2, kCK3};
constexpr const uint8_t *KRK_14[3] = {kCK2, kCK3, kCK1};
constexpr const uint8_t *KRK_16[3] = {kCK3, kCK1, kCK2};

// Table for the S-box at byte position `pos` of a word (0 = most significant): the S-box
// output in every byte but `pos`, which is the within-word part of the diffusion layer.
constexpr Table make_table(const Sbox &s, unsigned pos) {
  Table t{};
  const uint32_t mask = 0x01010101u & ~(0xffu << (24 - 8 * pos));
  for (size_t i = 0; i < 256; i++) {
    t[i] = s[i] * mask;
  }
  return t;
}

// Odd rounds substitute by position with S1, S2, S1^-1, S2^-1; even rounds with
// S1^-1, S2^-1, S1, S2.
// All eight in one array, addressed from one base register: odd tables 0-3, even 4-7.
constexpr std::array<Table, 8> T = {make_table(S[0], 0), make_table(S[1], 1), make_table(S[2], 2),
                                    make_table(S[3], 3), make_table(S[2], 0), make_table(S[3], 1),
                                    make_table(S[0], 2), make_table(S[1], 3)};

inline uint32_t subst_odd(uint32_t x) {
  return T[0][x >> 24] ^ T[1][(x >> 16) & 0xff] ^ T[2][(x >> 8) & 0xff] ^ T[3][x & 0xff];
}
inline uint32_t subst_even(uint32_t x) {
  return T[4][x >> 24] ^ T[5][(x >> 16) & 0xff] ^ T[6][(x >> 8) & 0xff] ^ T[7][x & 0xff];
}

inline uint32_t bswap(uint32_t x) {
  return (x << 24) | ((x << 8) & 0x00ff0000u) | ((x >> 8) & 0x0000ff00u) | (x >> 24);
}

// A round key in the form `diffuse` adds it: k0, k1 ^ k3, k2 ^ k3 and k3 byte-reversed.
// Formed before the round's substitution, so that none of it waits on the state.
struct MixKey {
  uint32_t k0, k13, k23, k3r;
};
inline MixKey mix_key(uint32_t k0, uint32_t k1, uint32_t k2, uint32_t k3) {
  return MixKey{k0, k1 ^ k3, k2 ^ k3, bswap(k3)};
}

// The word-level rest of the diffusion layer, then the next round key `k`: each word becomes
// the XOR of three of the four words (y), three of those have their bytes permuted (v), and
// each output is the XOR of three of the four v. Written for a short dependent chain: every y
// is two XOR levels deep, every output at most two more after the slowest permutation; the
// round key enters through words ready early (k3 enters y3 before its permutation, and the
// outputs that use that word take k3 out again with k1 ^ k3 and k2 ^ k3).
inline void diffuse(uint32_t &t0, uint32_t &t1, uint32_t &t2, uint32_t &t3, const MixKey &k) {
  const uint32_t a = t0 ^ t1;
  const uint32_t b = t2 ^ t3;
  const uint32_t v0 = a ^ t2;
  const uint32_t v1 = rotr32(bswap(t0 ^ b), 16);  // bytes abcd -> badc
  const uint32_t v2 = rotr32(a ^ t3, 16);         // abcd -> cdab
  const uint32_t v3k = bswap((t1 ^ k.k3r) ^ b);   // abcd -> dcba, with k3
  const uint32_t v23 = v2 ^ v3k;
  t0 = ((v0 ^ k.k0) ^ v2) ^ v1;
  t1 = (v0 ^ k.k13) ^ v23;
  t2 = ((v0 ^ k.k23) ^ v3k) ^ v1;
  t3 = v23 ^ v1;
}

// FO and FE on words: key addition, substitution layer of type 1 or 2, diffusion.
inline void round_odd(uint32_t s[4], const uint32_t k[4]) {
  uint32_t t0 = subst_odd(s[0] ^ k[0]);
  uint32_t t1 = subst_odd(s[1] ^ k[1]);
  uint32_t t2 = subst_odd(s[2] ^ k[2]);
  uint32_t t3 = subst_odd(s[3] ^ k[3]);
  diffuse(t0, t1, t2, t3, MixKey{0, 0, 0, 0});
  s[0] = t0;
  s[1] = t1;
  s[2] = t2;
  s[3] = t3;
}
inline void round_even(uint32_t s[4], const uint32_t k[4]) {
  uint32_t t0 = subst_even(s[0] ^ k[0]);
  uint32_t t1 = subst_even(s[1] ^ k[1]);
  uint32_t t2 = subst_even(s[2] ^ k[2]);
  uint32_t t3 = subst_even(s[3] ^ k[3]);
  diffuse(t0, t1, t2, t3, MixKey{0, 0, 0, 0});
  s[0] = t0;
  s[1] = t1;
  s[2] = t2;
  s[3] = t3;
}

inline void load_words(uint32_t w[4], const uint8_t *p) {
  for (int i = 0; i < 4; i++) {
    w[i] = load_be32(p + 4 * i);
  }
}
inline void store_words(uint8_t *p, const uint32_t w[4]) {
  for (int i = 0; i < 4; i++) {
    store_be32(p + 4 * i, w[i]);
  }
}

// The final round's substitution of type 2, without diffusion.
inline uint32_t last_subst(uint32_t v) {
  return (uint32_t{S[2][v >> 24]} << 24) | (uint32_t{S[3][(v >> 16) & 0xff]} << 16) |
         (uint32_t{S[0][(v >> 8) & 0xff]} << 8) | uint32_t{S[1][v & 0xff]};
}

// The rounds over any source of round-key words: `Keys::word(i)` is word i of the schedule.
template <typename Keys>
QL_BLOCK_INLINE void crypt(const Keys &keys, int rounds, uint32_t &s0, uint32_t &s1, uint32_t &s2,
                           uint32_t &s3) {
  uint32_t x0 = s0 ^ keys.word(0), x1 = s1 ^ keys.word(1), x2 = s2 ^ keys.word(2),
           x3 = s3 ^ keys.word(3);
  int k = 4;  // the key of the round after the one running
  // rounds - 1 rounds with diffusion, alternating odd and even; the last is an odd one.
  for (int r = (rounds - 2) / 2; r > 0; r--) {
    MixKey mk = mix_key(keys.word(k), keys.word(k + 1), keys.word(k + 2), keys.word(k + 3));
    uint32_t t0 = subst_odd(x0), t1 = subst_odd(x1), t2 = subst_odd(x2), t3 = subst_odd(x3);
    diffuse(t0, t1, t2, t3, mk);
    mk = mix_key(keys.word(k + 4), keys.word(k + 5), keys.word(k + 6), keys.word(k + 7));
    x0 = subst_even(t0);
    x1 = subst_even(t1);
    x2 = subst_even(t2);
    x3 = subst_even(t3);
    diffuse(x0, x1, x2, x3, mk);
    k += 8;
  }
  const MixKey mk = mix_key(keys.word(k), keys.word(k + 1), keys.word(k + 2), keys.word(k + 3));
  uint32_t t0 = subst_odd(x0), t1 = subst_odd(x1), t2 = subst_odd(x2), t3 = subst_odd(x3);
  diffuse(t0, t1, t2, t3, mk);
  k += 4;
  // Final round: substitution of type 2 without diffusion, then the last round key.
  s0 = last_subst(t0) ^ keys.word(k);
  s1 = last_subst(t1) ^ keys.word(k + 1);
  s2 = last_subst(t2) ^ keys.word(k + 2);
  s3 = last_subst(t3) ^ keys.word(k + 3);
}

// `crypt` on two blocks side by side: (s0, s1, s2, s3) and (u0, u1, u2, u3).
template <typename Keys>
QL_BLOCK_INLINE void crypt2(const Keys &keys, int rounds, uint32_t &s0, uint32_t &s1, uint32_t &s2,
                            uint32_t &s3, uint32_t &u0, uint32_t &u1, uint32_t &u2, uint32_t &u3) {
  uint32_t x0 = s0 ^ keys.word(0), x1 = s1 ^ keys.word(1), x2 = s2 ^ keys.word(2),
           x3 = s3 ^ keys.word(3);
  uint32_t z0 = u0 ^ keys.word(0), z1 = u1 ^ keys.word(1), z2 = u2 ^ keys.word(2),
           z3 = u3 ^ keys.word(3);
  int k = 4;
  for (int r = (rounds - 2) / 2; r > 0; r--) {
    MixKey mk = mix_key(keys.word(k), keys.word(k + 1), keys.word(k + 2), keys.word(k + 3));
    uint32_t t0 = subst_odd(x0), t1 = subst_odd(x1), t2 = subst_odd(x2), t3 = subst_odd(x3);
    uint32_t w0 = subst_odd(z0), w1 = subst_odd(z1), w2 = subst_odd(z2), w3 = subst_odd(z3);
    diffuse(t0, t1, t2, t3, mk);
    diffuse(w0, w1, w2, w3, mk);
    mk = mix_key(keys.word(k + 4), keys.word(k + 5), keys.word(k + 6), keys.word(k + 7));
    x0 = subst_even(t0);
    x1 = subst_even(t1);
    x2 = subst_even(t2);
    x3 = subst_even(t3);
    z0 = subst_even(w0);
    z1 = subst_even(w1);
    z2 = subst_even(w2);
    z3 = subst_even(w3);
    diffuse(x0, x1, x2, x3, mk);
    diffuse(z0, z1, z2, z3, mk);
    k += 8;
  }
  const MixKey mk = mix_key(keys.word(k), keys.word(k + 1), keys.word(k + 2), keys.word(k + 3));
  uint32_t t0 = subst_odd(x0), t1 = subst_odd(x1), t2 = subst_odd(x2), t3 = subst_odd(x3);
  uint32_t w0 = subst_odd(z0), w1 = subst_odd(z1), w2 = subst_odd(z2), w3 = subst_odd(z3);
  diffuse(t0, t1, t2, t3, mk);
  diffuse(w0, w1, w2, w3, mk);
  k += 4;
  s0 = last_subst(t0) ^ keys.word(k);
  s1 = last_subst(t1) ^ keys.word(k + 1);
  s2 = last_subst(t2) ^ keys.word(k + 2);
  s3 = last_subst(t3) ^ keys.word(k + 3);
  u0 = last_subst(w0) ^ keys.word(k);
  u1 = last_subst(w1) ^ keys.word(k + 1);
  u2 = last_subst(w2) ^ keys.word(k + 2);
  u3 = last_subst(w3) ^ keys.word(k + 3);
}

struct ByteKeys {
  const uint8_t *p;
  uint32_t word(int i) const { return load_be32(p + 4 * i); }
};
struct WordKeys {
  const uint32_t *p;
  uint32_t word(int i) const { return p[i]; }
};

// The block functor of the mode loops, one block or two, either direction (the schedule
// decides).
struct Block {
  static constexpr bool kPairs = true;
  const AriaWords &key;
  QL_BLOCK_INLINE void operator()(uint32_t &s0, uint32_t &s1, uint32_t &s2, uint32_t &s3) const {
    crypt(WordKeys{key.rk}, key.rounds, s0, s1, s2, s3);
  }
  QL_BLOCK_INLINE void pair(uint32_t &s0, uint32_t &s1, uint32_t &s2, uint32_t &s3, uint32_t &u0,
                            uint32_t &u1, uint32_t &u2, uint32_t &u3) const {
    crypt2(WordKeys{key.rk}, key.rounds, s0, s1, s2, s3, u0, u1, u2, u3);
  }
};

}  // namespace

void aria_crypt_words(const QL_ARIA_KEY &key, uint32_t s[4]) {
  crypt(ByteKeys{key.roundKey}, key.rounds, s[0], s[1], s[2], s[3]);
}

void aria_crypt_words(const AriaWords &key, uint32_t s[4]) {
  crypt(WordKeys{key.rk}, key.rounds, s[0], s[1], s[2], s[3]);
}

void aria_run(const QL_ARIA_KEY &rk, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
              size_t blocks) {
  Wiped<AriaWords> words;
  aria_load_words(words.get(), rk);
  const Block block{words.get()};
  modes::run(block, block, op, iv, out, in, blocks);
}

void aria_load_words(AriaWords &out, const QL_ARIA_KEY &rk) {
  out.rounds = rk.rounds;
  for (int i = 0; i < 4 * (rk.rounds + 1); i++) {
    out.rk[i] = load_be32(rk.roundKey + 4 * i);
  }
}

#if defined(QL_TEST_HOOKS)
namespace test {
const uint8_t *aria_sbox(int which) { return S[static_cast<size_t>(which) & 3].data(); }
}  // namespace test
#endif

namespace {

// The symmetric engine's view of ARIA.
void engine_encrypt(const void *k, uint32_t s[4]) {
  aria_crypt_words(*static_cast<const AriaWords *>(k), s);
}
BlockFn engine_block(const QL_SYM_CTX &ctx, AriaWords &aria, const void *&key) {
  aria_load_words(aria, ctx.key.aria);
  key = &aria;
  return engine_encrypt;
}
void engine_whole(const QL_SYM_CTX &ctx, modes::Run op, uint8_t iv[16], uint8_t *out,
                  const uint8_t *in, size_t blocks) {
  aria_run(ctx.key.aria, op, iv, out, in, blocks);
}

// VAES, else AES-NI with SSE, else the table code.
const CipherPath *choose_path() {
#if QL_X86_ACCEL
#if !defined(_WIN32)
  static constexpr CipherPath vaes{symhw::aria_fast_vaes, engine_whole, engine_block};
  if (cpu::has(cpu::kVaes)) {
    return &vaes;
  }
#endif
  static constexpr CipherPath sse{symhw::aria_fast_sse, engine_whole, engine_block};
  if (cpu::has(cpu::kAesNi)) {
    return &sse;
  }
#endif
  static constexpr CipherPath portable{nullptr, engine_whole, engine_block};
  return &portable;
}
cpu::Choice<CipherPath> path_choice(choose_path);
const CipherPath &path() { return path_choice.get(); }

Status make_key(QL_SYM_CTX &ctx, const uint8_t *key, uint32_t key_len, int dir) {
  return QL_ARIA_GenerateKey(&ctx.key.aria, key, key_len, dir);
}
// The round count bounds how many round keys are read and copied.
bool schedule_ok(const QL_SYM_CTX &ctx) {
  const int32_t r = ctx.key.aria.rounds;
  return r == 12 || r == 14 || r == 16;
}

}  // namespace

const CipherDesc aria_cipher = {
    QL_SYM_ARIA, 16, 16, 16, 32, 8, {16, 24, 32, 0}, true, make_key, schedule_ok, path,
};

}  // namespace ql

// Exported functions.

void DL(const uint8_t *in, uint8_t *out) {
  const uint8_t *x = in;
  uint8_t y[16];
  y[0] = x[3] ^ x[4] ^ x[6] ^ x[8] ^ x[9] ^ x[13] ^ x[14];
  y[1] = x[2] ^ x[5] ^ x[7] ^ x[8] ^ x[9] ^ x[12] ^ x[15];
  y[2] = x[1] ^ x[4] ^ x[6] ^ x[10] ^ x[11] ^ x[12] ^ x[15];
  y[3] = x[0] ^ x[5] ^ x[7] ^ x[10] ^ x[11] ^ x[13] ^ x[14];
  y[4] = x[0] ^ x[2] ^ x[5] ^ x[8] ^ x[11] ^ x[14] ^ x[15];
  y[5] = x[1] ^ x[3] ^ x[4] ^ x[9] ^ x[10] ^ x[14] ^ x[15];
  y[6] = x[0] ^ x[2] ^ x[7] ^ x[9] ^ x[10] ^ x[12] ^ x[13];
  y[7] = x[1] ^ x[3] ^ x[6] ^ x[8] ^ x[11] ^ x[12] ^ x[13];
  y[8] = x[0] ^ x[1] ^ x[4] ^ x[7] ^ x[10] ^ x[13] ^ x[15];
  y[9] = x[0] ^ x[1] ^ x[5] ^ x[6] ^ x[11] ^ x[12] ^ x[14];
  y[10] = x[2] ^ x[3] ^ x[5] ^ x[6] ^ x[8] ^ x[13] ^ x[15];
  y[11] = x[2] ^ x[3] ^ x[4] ^ x[7] ^ x[9] ^ x[12] ^ x[14];
  y[12] = x[1] ^ x[2] ^ x[6] ^ x[7] ^ x[9] ^ x[11] ^ x[12];
  y[13] = x[0] ^ x[3] ^ x[6] ^ x[7] ^ x[8] ^ x[10] ^ x[13];
  y[14] = x[0] ^ x[3] ^ x[4] ^ x[5] ^ x[9] ^ x[11] ^ x[14];
  y[15] = x[1] ^ x[2] ^ x[4] ^ x[5] ^ x[8] ^ x[10] ^ x[15];
  // `in` and `out` may be the same bytes: every output is formed before any is written.
  for (int i = 0; i < 16; i++) {
    out[i] = y[i];
  }
}

void RotXOR(const uint8_t *x, int32_t n, uint8_t *y) {
  const unsigned bits = static_cast<unsigned>(n) & 127;
  const unsigned q = bits / 8;
  const unsigned r = bits % 8;
  for (unsigned i = 0; i < 16; i++) {
    const unsigned hi = x[(i + 16 - q) % 16];
    const unsigned lo = x[(i + 15 - q) % 16];  // the byte whose low bits shift into byte i
    const unsigned v = r == 0 ? hi : ((hi >> r) | (lo << (8 - r)));
    y[i] = static_cast<uint8_t>(y[i] ^ (v & 0xff));
  }
}

int32_t QL_ARIA_GenerateKey(QL_ARIA_KEY *rk, const uint8_t *key, uint32_t key_len,
                            int32_t direction) {
  // Lengths 16-23 and 24-31 select the 128- and 192-bit ciphers; any other the 256-bit one.
  const bool k128 = key_len >= 16 && key_len <= 23;
  const bool k192 = key_len >= 24 && key_len <= 31;
  const int rounds = k128 ? 12 : (k192 ? 14 : 16);
  const size_t used = k128 ? 16 : (k192 ? 24 : 32);
  const uint8_t *const *ck = k128 ? ql::KRK_12 : (k192 ? ql::KRK_14 : ql::KRK_16);
  rk->rounds = rounds;
  rk->keyLength = static_cast<int32_t>(used);

  // W0 = KL; W1 = FO(W0, C1) ^ KR; W2 = FE(W1, C2) ^ W0; W3 = FO(W2, C3) ^ W1.
  // A key shorter than 16 bytes is read no further than its length, as if zero-padded.
  uint8_t kb[32] = {0};
  for (size_t i = 0; i < used && i < key_len; i++) {
    kb[i] = key[i];
  }
  uint32_t w[4][4];
  uint32_t kr[4] = {0, 0, 0, 0};
  uint32_t c[4];
  ql::load_words(w[0], kb);
  for (size_t i = 0; 16 + 4 * i < used; i++) {
    kr[i] = ql::load_be32(kb + 16 + 4 * i);
  }
  for (int i = 0; i < 4; i++) {
    w[1][i] = w[0][i];
  }
  ql::load_words(c, ck[0]);
  ql::round_odd(w[1], c);
  for (int i = 0; i < 4; i++) {
    w[1][i] ^= kr[i];
  }
  for (int i = 0; i < 4; i++) {
    w[2][i] = w[1][i];
  }
  ql::load_words(c, ck[1]);
  ql::round_even(w[2], c);
  for (int i = 0; i < 4; i++) {
    w[2][i] ^= w[0][i];
  }
  for (int i = 0; i < 4; i++) {
    w[3][i] = w[2][i];
  }
  ql::load_words(c, ck[2]);
  ql::round_odd(w[3], c);
  for (int i = 0; i < 4; i++) {
    w[3][i] ^= w[1][i];
  }

  uint8_t wb[4][16];
  for (int j = 0; j < 4; j++) {
    ql::store_words(wb[j], w[j]);
  }
  // Round key g*4 + j is W(j) ^ (W(j+1) rotated), the pair wrapping to (W0 rotated) ^ W3.
  static constexpr int32_t kRot[5] = {19, 31, 67, 97, 109};
  for (int i = 0; i <= rounds; i++) {
    const int g = i / 4;
    const int j = i % 4;
    uint8_t *ek = rk->roundKey + 16 * i;
    for (int b = 0; b < 16; b++) {
      ek[b] = wb[j][b];
    }
    RotXOR(wb[(j + 1) % 4], kRot[g], ek);
  }
  if (direction == 1) {
    // Decryption: first and last swapped, the middle ones reversed and put through A.
    uint8_t *k = rk->roundKey;
    for (int b = 0; b < 16; b++) {
      const uint8_t t = k[b];
      k[b] = k[16 * rounds + b];
      k[16 * rounds + b] = t;
    }
    for (int i = 1, j = rounds - 1; i <= j; i++, j--) {
      uint8_t a[16];
      uint8_t z[16];
      DL(k + 16 * i, a);
      DL(k + 16 * j, z);
      for (int b = 0; b < 16; b++) {
        k[16 * i + b] = z[b];
        k[16 * j + b] = a[b];
      }
      ql::wipe(a, sizeof(a));
      ql::wipe(z, sizeof(z));
    }
  }
  ql::wipe(w, sizeof(w));
  ql::wipe(kr, sizeof(kr));
  ql::wipe(wb, sizeof(wb));
  ql::wipe(kb, sizeof(kb));
  return 0;
}

int32_t QL_ARIA_Main(const QL_ARIA_KEY *rk, uint8_t *out, const uint8_t *in) {
  uint32_t s[4];
  ql::load_words(s, in);
  ql::aria_crypt_words(*rk, s);
  ql::store_words(out, s);
  return rk->rounds / 2;
}
