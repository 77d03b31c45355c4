// AES with the AES-NI instructions on x86-64: the key expansion (constant time, no tables)
// and the block function for the shared schedule record, and multi-block ECB, CBC and CTR
// with eight blocks in flight. The schedule keeps the portable layout (big-endian words), so
// either implementation can use a schedule the other made; each call loads the round keys
// into registers once. Compiled with per-function target attributes: callers check
// cpu::has(cpu::kAesNi) first.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "internal/ql_bytes.h"
#include "internal/ql_mem.h"
#include "platform/ql_cpu.h"
#include "sym/ql_aes.h"

#define QL_TARGET_AES __attribute__((target("aes,ssse3,sse4.1")))
#define QL_INLINE_AES inline __attribute__((always_inline, target("aes,ssse3,sse4.1")))

namespace ql {
namespace aesni {
namespace {

constexpr size_t kLanes = 8;

// Round keys as the instructions take them: the bytes of each big-endian word in order.
struct Keys {
  __m128i k[15];
  int rounds;
};

QL_INLINE_AES __m128i word_order() {
  return _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
}

QL_INLINE_AES void load_keys(Keys &ks, const QL_AES_KEY &rk) {
  const __m128i order = word_order();
  ks.rounds = rk.rounds;
  for (int i = 0; i <= rk.rounds; i++) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rk.roundKey + 4 * i));
    ks.k[i] = _mm_shuffle_epi8(w, order);
  }
}

QL_INLINE_AES __m128i load(const uint8_t *p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}
QL_INLINE_AES void store(uint8_t *p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
}

template <size_t N>
QL_INLINE_AES void encrypt_n(const Keys &ks, __m128i b[N]) {
  for (size_t j = 0; j < N; j++) {
    b[j] = _mm_xor_si128(b[j], ks.k[0]);
  }
  for (int r = 1; r < ks.rounds; r++) {
    for (size_t j = 0; j < N; j++) {
      b[j] = _mm_aesenc_si128(b[j], ks.k[r]);
    }
  }
  for (size_t j = 0; j < N; j++) {
    b[j] = _mm_aesenclast_si128(b[j], ks.k[ks.rounds]);
  }
}

template <size_t N>
QL_INLINE_AES void decrypt_n(const Keys &ks, __m128i b[N]) {
  for (size_t j = 0; j < N; j++) {
    b[j] = _mm_xor_si128(b[j], ks.k[0]);
  }
  for (int r = 1; r < ks.rounds; r++) {
    for (size_t j = 0; j < N; j++) {
      b[j] = _mm_aesdec_si128(b[j], ks.k[r]);
    }
  }
  for (size_t j = 0; j < N; j++) {
    b[j] = _mm_aesdeclast_si128(b[j], ks.k[ks.rounds]);
  }
}

// FIPS 197 SubWord of a big-endian word, through the key-generation assist instruction
// (which substitutes the bytes of lane 1 into lane 0).
QL_INLINE_AES uint32_t sub_word(uint32_t w) {
  const __m128i v = _mm_set1_epi32(static_cast<int>(__builtin_bswap32(w)));
  const __m128i s = _mm_aeskeygenassist_si128(v, 0);
  return __builtin_bswap32(static_cast<uint32_t>(_mm_cvtsi128_si32(s)));
}

// The 128-bit big-endian counter as two host words, advanced with carry.
struct Counter {
  uint64_t hi, lo;
};
QL_INLINE_AES __m128i next_block(Counter &c) {
  const __m128i b = _mm_set_epi64x(static_cast<long long>(__builtin_bswap64(c.lo)),
                                   static_cast<long long>(__builtin_bswap64(c.hi)));
  if (++c.lo == 0) {
    c.hi++;
  }
  return b;
}

}  // namespace

QL_TARGET_AES int make_key(QL_AES_KEY &rk, const uint8_t *key, uint32_t key_len, int direction) {
  const size_t nk = key_len / 4;
  if (key_len != 16 && key_len != 24 && key_len != 32) {
    return 0;
  }
  const size_t rounds = nk + 6;
  uint32_t *w = rk.roundKey;
  for (size_t i = 0; i < nk; i++) {
    w[i] = load_be32(key + 4 * i);
  }
  uint32_t rcon = 0x01000000u;
  for (size_t i = nk; i < 4 * (rounds + 1); i++) {
    uint32_t t = w[i - 1];
    if (i % nk == 0) {
      t = rotl32(sub_word(t), 8) ^ rcon;
      // The next round constant: doubling in GF(2^8), kept in the top byte.
      rcon = (rcon << 1) ^ ((rcon >> 31) * 0x1B000000u);
    } else if (nk == 8 && i % nk == 4) {
      t = sub_word(t);
    }
    w[i] = w[i - nk] ^ t;
  }
  rk.rounds = static_cast<int32_t>(rounds);
  if (direction == 1) {
    // The equivalent inverse cipher: round keys reversed, InvMixColumns on the inner ones.
    for (size_t i = 0, j = 4 * rounds; i < j; i += 4, j -= 4) {
      for (size_t k = 0; k < 4; k++) {
        const uint32_t x = w[i + k];
        w[i + k] = w[j + k];
        w[j + k] = x;
      }
    }
    const __m128i order = word_order();
    for (size_t i = 1; i < rounds; i++) {
      __m128i *p = reinterpret_cast<__m128i *>(w + 4 * i);
      const __m128i v = _mm_shuffle_epi8(_mm_loadu_si128(p), order);
      _mm_storeu_si128(p, _mm_shuffle_epi8(_mm_aesimc_si128(v), order));
    }
  }
  return static_cast<int>(rounds);
}

QL_TARGET_AES void crypt_block(const QL_AES_KEY &rk, uint8_t out[16], const uint8_t in[16],
                               int direction) {
  Keys ks = {};
  load_keys(ks, rk);
  __m128i b[1] = {load(in)};
  if (direction == 0) {
    encrypt_n<1>(ks, b);
  } else {
    decrypt_n<1>(ks, b);
  }
  store(out, b[0]);
  wipe(&ks, sizeof(ks));
}

QL_TARGET_AES void crypt_words(const QL_AES_KEY &rk, uint32_t s[4], int direction) {
  uint8_t b[16];
  for (int i = 0; i < 4; i++) {
    store_be32(b + 4 * i, s[i]);
  }
  crypt_block(rk, b, b, direction);
  for (int i = 0; i < 4; i++) {
    s[i] = load_be32(b + 4 * i);
  }
  wipe(b, sizeof(b));
}

QL_TARGET_AES void ecb(const QL_AES_KEY &rk, int direction, uint8_t *out, const uint8_t *in,
                       size_t blocks) {
  Keys ks = {};
  load_keys(ks, rk);
  __m128i b[kLanes];
  size_t i = 0;
  for (; i + kLanes <= blocks; i += kLanes) {
    for (size_t j = 0; j < kLanes; j++) {
      b[j] = load(in + 16 * (i + j));
    }
    if (direction == 0) {
      encrypt_n<kLanes>(ks, b);
    } else {
      decrypt_n<kLanes>(ks, b);
    }
    for (size_t j = 0; j < kLanes; j++) {
      store(out + 16 * (i + j), b[j]);
    }
  }
  for (; i < blocks; i++) {
    b[0] = load(in + 16 * i);
    if (direction == 0) {
      encrypt_n<1>(ks, b);
    } else {
      decrypt_n<1>(ks, b);
    }
    store(out + 16 * i, b[0]);
  }
  wipe(b, sizeof(b));
  wipe(&ks, sizeof(ks));
}

QL_TARGET_AES void cbc_encrypt(const QL_AES_KEY &rk, uint8_t iv[16], uint8_t *out,
                               const uint8_t *in, size_t blocks) {
  Keys ks = {};
  load_keys(ks, rk);
  __m128i c[1] = {load(iv)};
  for (size_t i = 0; i < blocks; i++) {
    c[0] = _mm_xor_si128(c[0], load(in + 16 * i));
    encrypt_n<1>(ks, c);
    store(out + 16 * i, c[0]);
  }
  store(iv, c[0]);
  wipe(&ks, sizeof(ks));
}

QL_TARGET_AES void cbc_decrypt(const QL_AES_KEY &rk, uint8_t iv[16], uint8_t *out,
                               const uint8_t *in, size_t blocks) {
  Keys ks = {};
  load_keys(ks, rk);
  __m128i prev = load(iv);
  __m128i b[kLanes];
  __m128i x[kLanes];
  size_t i = 0;
  for (; i + kLanes <= blocks; i += kLanes) {
    // Every ciphertext block is read before any output is written: `out` may be `in`.
    for (size_t j = 0; j < kLanes; j++) {
      x[j] = b[j] = load(in + 16 * (i + j));
    }
    decrypt_n<kLanes>(ks, b);
    store(out + 16 * i, _mm_xor_si128(b[0], prev));
    for (size_t j = 1; j < kLanes; j++) {
      store(out + 16 * (i + j), _mm_xor_si128(b[j], x[j - 1]));
    }
    prev = x[kLanes - 1];
  }
  for (; i < blocks; i++) {
    x[0] = b[0] = load(in + 16 * i);
    decrypt_n<1>(ks, b);
    store(out + 16 * i, _mm_xor_si128(b[0], prev));
    prev = x[0];
  }
  store(iv, prev);
  wipe(b, sizeof(b));
  wipe(&ks, sizeof(ks));
}

QL_TARGET_AES void ctr(const QL_AES_KEY &rk, uint8_t counter[16], uint8_t *out, const uint8_t *in,
                       size_t blocks) {
  Keys ks = {};
  load_keys(ks, rk);
  Counter c = {load_be64(counter), load_be64(counter + 8)};
  __m128i b[kLanes];
  size_t i = 0;
  for (; i + kLanes <= blocks; i += kLanes) {
    for (size_t j = 0; j < kLanes; j++) {
      b[j] = next_block(c);
    }
    encrypt_n<kLanes>(ks, b);
    for (size_t j = 0; j < kLanes; j++) {
      store(out + 16 * (i + j), _mm_xor_si128(b[j], load(in + 16 * (i + j))));
    }
  }
  for (; i < blocks; i++) {
    b[0] = next_block(c);
    encrypt_n<1>(ks, b);
    store(out + 16 * i, _mm_xor_si128(b[0], load(in + 16 * i)));
  }
  store_be64(counter, c.hi);
  store_be64(counter + 8, c.lo);
  wipe(b, sizeof(b));
  wipe(&ks, sizeof(ks));
}

namespace {

// One block at a time, for the whole-block modes the multi-block functions leave; the block
// passes through `s`, which the caller wipes.
struct AesNiBlock {
  static constexpr bool kPairs = false;
  const QL_AES_KEY &key;
  int dir;
  uint32_t *s;
  void operator()(uint32_t &s0, uint32_t &s1, uint32_t &s2, uint32_t &s3) const {
    s[0] = s0;
    s[1] = s1;
    s[2] = s2;
    s[3] = s3;
    aesni::crypt_words(key, s, dir);
    s0 = s[0];
    s1 = s[1];
    s2 = s[2];
    s3 = s[3];
  }
};

}  // namespace

void run(const QL_AES_KEY &rk, modes::Run op, uint8_t iv[16], uint8_t *out, const uint8_t *in,
         size_t blocks) {
  switch (op) {
    case modes::Run::kEcbEncrypt:
      ecb(rk, 0, out, in, blocks);
      return;
    case modes::Run::kEcbDecrypt:
      ecb(rk, 1, out, in, blocks);
      return;
    case modes::Run::kCbcEncrypt:
      cbc_encrypt(rk, iv, out, in, blocks);
      return;
    case modes::Run::kCbcDecrypt:
      cbc_decrypt(rk, iv, out, in, blocks);
      return;
    case modes::Run::kCtr:
      ctr(rk, iv, out, in, blocks);
      return;
    default: {
      Wiped<uint32_t[4]> s;
      modes::run(AesNiBlock{rk, 0, s.get()}, AesNiBlock{rk, 1, s.get()}, op, iv, out, in, blocks);
      return;
    }
  }
}

}  // namespace aesni
}  // namespace ql
