// Random generators below the module generator: the SHA-1 hash pool generator behind
// QL_RandomBytes (eight 20-byte state blocks, re-seeded from a fresh entropy pool after every
// call, serialised by one lock), random integers, the X9.62 generator with the SHA-1
// compression as its G function, and the KCDSA hash generator. Byte strings are big-endian.
#include <array>
#include <cstring>
#include "platform/ql_platform.h"

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "internal/ql_bytes.h"
#include "internal/ql_ct.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "rand/ql_rand.h"

namespace ql {

const uint8_t kX962DefaultQ[20] = {0xFE, 0x26, 0xA3, 0xD5, 0x48, 0x55, 0x9C, 0xD3, 0x08, 0x48,
                                   0x88, 0x59, 0x68, 0xDB, 0x01, 0xBA, 0x0A, 0x96, 0x6B, 0x9B};

namespace {

// Sets `r` to the non-negative value words[0..n) (n <= kBigWords) without branching on the
// words: only the count of significant words, the record's length, becomes public.
void set_secret_value(Big &r, const uint32_t *words, int n) {
  int used = ct_used_words(words, n);
  QL_CT_PUBLIC(&used, sizeof(used));
  r.sign = 0;
  for (int i = 0; i < kBigWords; i++) { r.words[i] = i < n ? words[i] : 0; }
  r.length = used;
}

constexpr uint32_t kBlocks = 8;
constexpr uint32_t kBlockLen = 20;
constexpr uint32_t kOutputLen = (kBlocks - 1) * kBlockLen;  // seven blocks per refill

struct RandPool {
  uint8_t state[kBlocks][kBlockLen];
  uint8_t output[kOutputLen];
  uint32_t used;   // bytes of output already handed out
  uint32_t block;  // state block that produced the current output
};

// The generator's state, its entropy pool and its lock; all guarded by g_rand_mutex.
RandPool g_rand_ctx;
QL_ENTROPY_POOL g_entropy;
int32_t g_rand_ctx_init = 0;
platform::Mutex g_rand_mutex;

void sha1_parts(uint8_t out[kBlockLen], const uint8_t *a, uint32_t a_len, const uint8_t *b,
                uint32_t b_len, uint32_t counter) {
  Wiped<QL_SHA1_CTX> ctx;
  uint8_t c[4];
  store_be32(c, counter);
  QL_SHA1_Init(ctx.ptr());
  QL_SHA1_Update(ctx.ptr(), a, a_len);
  QL_SHA1_Update(ctx.ptr(), b, b_len);
  QL_SHA1_Update(ctx.ptr(), c, 4);
  QL_SHA1_Final(ctx.ptr(), out);
}

void xor_into(uint8_t *dst, const uint8_t *src, size_t n) {
  for (size_t i = 0; i < n; i++) { dst[i] ^= src[i]; }
}

// Seven fresh output blocks from the state, then the next state block; after a full turn
// of the eight blocks every state block is updated from all the others.
void refill(RandPool &p) {
  const uint32_t k = p.block;
  uint8_t *out = p.output;
  for (uint32_t j = 0; j < kBlocks; j++) {
    if (j == k) { continue; }
    sha1_parts(out, p.state[k], kBlockLen, p.state[j], kBlockLen, 8 * k + j);
    out += kBlockLen;
  }
  p.block = (k + 1) % kBlocks;
  p.used = 0;
  if (p.block != 0) { return; }
  Wiped<uint8_t[(kBlocks - 1) * kBlockLen]> others;
  Wiped<uint8_t[kBlockLen]> h;
  for (uint32_t i = 0; i < kBlocks; i++) {
    uint8_t *o = others.get();
    for (uint32_t j = 0; j < kBlocks; j++) {
      if (j == i) { continue; }
      std::memcpy(o, p.state[j], kBlockLen);
      o += kBlockLen;
    }
    sha1_parts(h.get(), others.get(), sizeof(others.get()), nullptr, 0, i);
    xor_into(p.state[i], h.get(), kBlockLen);
  }
}

void reseed(RandPool &p) {
  QL_Generate_Entropy(&g_entropy);
  QL_XRNG_U(p.state, g_entropy.pool, g_entropy.count);
  wipe(&g_entropy, sizeof(g_entropy));
}

// Adds the `n`-byte big-endian numbers a and b (and `carry`) into a, modulo 2^(8n).
void add_be(uint8_t *a, const uint8_t *b, size_t n, uint32_t carry) {
  for (size_t i = n; i-- > 0;) {
    carry += static_cast<uint32_t>(a[i]) + b[i];
    a[i] = static_cast<uint8_t>(carry);
    carry >>= 8;
  }
}

// G: one SHA-1 compression of `xval` zero-padded to 64 bytes, from the standard initial
// value and without length padding; the five state words written big-endian.
void x962_g(uint8_t out[kBlockLen], const uint8_t *xval, uint32_t b) {
  Wiped<uint8_t[64]> block;
  std::memcpy(block.get(), xval, b);
  Wiped<QL_SHA1_CTX> ctx;
  QL_SHA1_Init(ctx.ptr());
  QL_SHA1_Update(ctx.ptr(), block.get(), 64);
  for (int i = 0; i < 5; i++) { store_be32(out + 4 * i, ctx.get().state[i]); }
}

}  // namespace

int32_t x962_init_random(QL_X962_CTX *ctx, const Big &q) {
  Wiped<uint8_t[2 * kBlockLen]> keys;  // XKEY then XSEED
  do {
    QL_RandomBytes(keys.get(), sizeof(keys.get()));
  } while (std::memcmp(keys.get(), keys.get() + kBlockLen, kBlockLen) == 0);
  return Big_X962_Init(ctx, &q, keys.get(), kBlockLen, keys.get() + kBlockLen, kBlockLen);
}

}  // namespace ql

using ql::Status;

void QL_XRNG_U(uint8_t state[8][20], const uint8_t *data, uint32_t n) {
  ql::Wiped<uint8_t[ql::kBlockLen]> h;
  for (uint32_t i = 0; i < ql::kBlocks; i++) {
    uint8_t prev[ql::kBlockLen];
    std::memcpy(prev, h.get(), ql::kBlockLen);
    ql::sha1_parts(h.get(), prev, ql::kBlockLen, data, n, i);
    ql::wipe(prev, sizeof(prev));
    ql::xor_into(state[i], h.get(), ql::kBlockLen);
  }
}

// Exported functions.

uint32_t QL_RandomBytes(uint8_t *out, uint32_t n) {
  ql::platform::LockGuard lock(ql::g_rand_mutex);
  ql::RandPool &p = ql::g_rand_ctx;
  if (ql::g_rand_ctx_init == 0) {
    ql::g_rand_ctx_init = 1;
    QL_XRNG_U(p.state, nullptr, 0);
    p.used = ql::kOutputLen;
    p.block = 0;
    ql::reseed(p);
  }
  uint32_t done = 0;
  while (out != nullptr && done < n) {
    const uint32_t avail = ql::kOutputLen - p.used;
    const uint32_t take = avail < n - done ? avail : n - done;
    std::memcpy(out + done, p.output + p.used, take);
    p.used += take;
    done += take;
    if (done < n) { ql::refill(p); }
  }
  // Every call, also an empty one, leaves the generator re-seeded.
  ql::reseed(p);
  return done;
}

void Big_RandomMutex_Lock(void) { ql::g_rand_mutex.lock(); }

void Big_RandomMutex_Unlock(void) { ql::g_rand_mutex.unlock(); }

int32_t QL_Big_Random(Big *r, uint32_t bits, int32_t top, int32_t odd) {
  const uint32_t len = bits / 8 + (bits % 8 != 0 ? 1 : 0);
  if (len > 1028) { return ql::kErrBigInputTooLong; }  // refused before any allocation
  ql::Buffer buf(len);
  if (!buf) { return ql::critical(ql::kErrRandAlloc); }
  uint8_t *b = buf.data();
  if (len > 0) {
    QL_RandomBytes(b, len);
    const unsigned p = (bits - 1) % 8;  // position of the top bit in byte 0
    b[0] = static_cast<uint8_t>(b[0] & ((2u << p) - 1));
    // A one-bit number has no second bit to set: it only gets its top bit.
    if (top == 0 || bits == 1) {
      b[0] = static_cast<uint8_t>(b[0] | (1u << p));
    } else if (p > 0) {
      b[0] = static_cast<uint8_t>(b[0] | (3u << (p - 1)));
    } else {
      b[0] = 1;
      b[1] = static_cast<uint8_t>(b[1] | 0x80);
    }
    if (odd != 0) { b[len - 1] = static_cast<uint8_t>(b[len - 1] | 1); }
  }
  return U8ToBig(r, b, len);
}

int32_t Big_X962_Init(QL_X962_CTX *ctx, const Big *q, const uint8_t *xkey, uint32_t b,
                      const uint8_t *xseed, uint32_t seed_len) {
  if (ctx == nullptr || q == nullptr || xkey == nullptr) { return ql::kErrX962Init; }
  ql::wipe(ctx, sizeof(*ctx));
  if (q->length < 5 || q->length > 16 || b < 20 || b > 64) { return ql::kErrX962Init; }
  ctx->q = *q;
  std::memcpy(ctx->xkey, xkey, b);
  ctx->b = b;
  return Big_X962_Update(ctx, xseed, seed_len);
}

int32_t Big_X962_Update(QL_X962_CTX *ctx, const uint8_t *xseed, uint32_t seed_len) {
  if (ctx == nullptr) { return ql::kErrX962Update; }
  ql::wipe(ctx->xseed, sizeof(ctx->xseed));
  ctx->seed_len = 0;
  if (xseed != nullptr && seed_len > 0) {
    const uint32_t n = seed_len < ctx->b ? seed_len : ctx->b;
    std::memcpy(ctx->xseed, xseed, n);
    ctx->seed_len = n;
  }
  return ql::kOk;
}

int32_t Big_X962_Random(QL_X962_CTX *ctx, Big *w) {
  if (ctx == nullptr || w == nullptr) { return ql::kErrX962Random; }
  const uint32_t b = ctx->b;
  if (b < 20 || b > 64) { return ql::kErrX962Random; }  // a wiped or never keyed context
  const uint32_t q_bits = static_cast<uint32_t>(Big_GetFilledBitNum(&ctx->q));
  const uint32_t m = (q_bits + 159) / 160;
  ql::Wiped<uint8_t[4 * ql::kBlockLen]> out;  // q has at most 512 bits: m <= 4
  ql::Wiped<uint8_t[64]> xval;
  ql::Wiped<uint8_t[64]> xj;
  for (uint32_t j = 0; j < m; j++) {
    std::memcpy(xval.get(), ctx->xkey, b);
    if (j == 0 && ctx->seed_len > 0) { ql::add_be(xval.get(), ctx->xseed, b, 0); }
    ql::x962_g(out.get() + ql::kBlockLen * j, xval.get(), b);
    // XKEY = 1 + XKEY + x_j, with x_j right-aligned in b bytes.
    ql::wipe(xj.get(), sizeof(xj.get()));
    std::memcpy(xj.get() + b - ql::kBlockLen, out.get() + ql::kBlockLen * j, ql::kBlockLen);
    ql::add_be(ctx->xkey, xj.get(), b, 1);
  }
  // w = (x mod (q - 1)) + 1 for x the m blocks read as one big-endian integer. w becomes a
  // nonce or a private key, so the reduction runs in time independent of x; only q's size
  // (public) steers it.
  const int nq = ql::big_used(ctx->q);
  if (nq < 5) { return ql::kErrX962Random; }
  constexpr size_t kMaxX = 4 * ql::kBlockLen / 4;
  std::array<uint32_t, 16> q_minus_1{};
  ql::Wiped<std::array<uint32_t, kMaxX>> x;
  ql::Wiped<std::array<uint32_t, 16>> r;
  ql::Wiped<std::array<uint32_t, 16>> t;
  const size_t nx = ql::kBlockLen * m / 4;
  for (size_t i = 0; i < nx; i++) {
    x.get()[i] = ql::load_be32(out.get() + 4 * (nx - 1 - i));
  }
  std::array<uint32_t, 16> one{};
  one[0] = 1;
  ql::sub_limbs(q_minus_1.data(), ctx->q.words, one.data(), static_cast<size_t>(nq));
  size_t nm = static_cast<size_t>(nq);
  while (nm > 0 && q_minus_1[nm - 1] == 0) { nm--; }
  if (nm == 0) { return ql::kErrX962Random; }  // q = 1
  ql::ct_mod_words(r.get().data(), x.get().data(), nx, q_minus_1.data(), nm, t.get().data());
  ql::add_limbs(r.get().data(), r.get().data(), one.data(), nm);  // below q - 1 + 1: no carry
  ql::set_secret_value(*w, r.get().data(), static_cast<int>(nm));
  return ql::kOk;
}

int32_t Big_X962_Final(QL_X962_CTX *ctx) {
  ql::wipe(ctx, ctx != nullptr ? sizeof(*ctx) : 0);
  return ql::kOk;
}

int32_t QL_X962_Prng_ToPrime(uint8_t *out, uint32_t n) {
  ql::Wiped<Big> q;
  QL_TRY(U8ToBig(q.ptr(), ql::kX962DefaultQ, sizeof(ql::kX962DefaultQ)));
  ql::Wiped<QL_X962_CTX> ctx;
  const Status s = ql::x962_init_random(ctx.ptr(), q.get());
  if (s != ql::kOk || n == 0) { return s; }
  ql::Wiped<uint8_t[ql::kBlockLen]> seed;
  ql::Wiped<Big> w;
  uint32_t pos = 0;
  while (pos < n) {
    do {
      QL_RandomBytes(seed.get(), ql::kBlockLen);
    } while (std::memcmp(seed.get(), ctx.get().xseed, ql::kBlockLen) == 0);
    Big_X962_Update(ctx.ptr(), seed.get(), ql::kBlockLen);
    QL_TRY(Big_X962_Random(ctx.ptr(), w.ptr()));
    for (int32_t i = 0; i < w.get().length && pos < n; i++) {
      uint8_t word[4];
      ql::store_be32(word, w.get().words[i]);
      const uint32_t take = n - pos < 4 ? n - pos : 4;
      std::memcpy(out + pos, word, take);
      pos += take;
      ql::wipe(word, sizeof(word));
    }
  }
  return ql::kOk;
}

int32_t Big_KCDSA_PRNG(Big *r, uint32_t bits, int32_t hash_id, const uint8_t *seed,
                       uint32_t seed_bits) {
  QL_HASH_INFO info;
  QL_TRY(QL_Hash_GetInfo(&info, hash_id));
  const uint32_t h_len = info.digest_len;
  const uint32_t blocks = bits / (8 * h_len);
  const uint32_t rem = bits % (8 * h_len);
  const uint32_t len = bits / 8 + (bits % 8 != 0 ? 1 : 0);
  if (len > 1028) { return ql::kErrBigInputTooLong; }  // refused before any allocation
  const uint32_t seed_len = seed_bits / 8 + (seed_bits % 8 != 0 ? 1 : 0);
  ql::Buffer output(len);
  ql::Buffer input(static_cast<size_t>(seed_len) + 1);
  if (!output || !input) { return ql::critical(ql::kErrKcdsaPrngAlloc); }
  if (seed != nullptr && seed_bits > 0) { std::memcpy(input.data(), seed, seed_len); }
  ql::Wiped<uint8_t[64]> h;
  uint32_t h_out = 0;
  // Block c fills the c-th h_len bytes from the end: the first block is the least significant.
  for (uint32_t c = 0; c <= blocks; c++) {
    input.data()[seed_len] = static_cast<uint8_t>(c);
    QL_TRY(QL_Hash(h.get(), &h_out, input.data(), seed_len + 1, hash_id));
    if (c < blocks) {
      std::memcpy(output.data() + len - (c + 1) * h_len, h.get(), h_len);
    } else {
      const uint32_t top = rem / 8 + (rem % 8 != 0 ? 1 : 0);
      std::memcpy(output.data(), h.get() + h_len - top, top);
      if (rem % 8 != 0) {
        output.data()[0] = static_cast<uint8_t>(output.data()[0] & ((1u << (rem % 8)) - 1));
      }
    }
  }
  return U8ToBig(r, output.data(), len);
}

int32_t Big_Random_KCDSA(Big *r, const Big *q, const Big *b, int32_t hash_id,
                         const uint8_t *seed, uint32_t seed_len) {
  const uint32_t beta = 32u * static_cast<uint32_t>(q->length);
  ql::Wiped<Big> t;
  QL_TRY(Big_KCDSA_PRNG(t.ptr(), beta, hash_id, seed, 8 * seed_len));
  ql::Wiped<Big> u;
  QL_TRY(Big_Add(u.ptr(), b, t.ptr()));
  // Truncated to q's length: the carry word, if any, is dropped.
  Big &uu = u.get();
  if (uu.length > q->length) {
    for (int32_t i = q->length; i < uu.length; i++) { uu.words[i] = 0; }
    uu.length = q->length;
    while (uu.length > 1 && uu.words[uu.length - 1] == 0) { uu.length--; }
  }
  ql::Buffer buf(beta / 8);
  if (!buf) { return ql::critical(ql::kErrKcdsaRandomAlloc); }
  BigToU8(buf.data(), u.ptr());
  ql::Wiped<Big> v;
  QL_TRY(Big_KCDSA_PRNG(v.ptr(), beta, hash_id, buf.data(), beta));
  // r = v mod q in time independent of v: r becomes a private key. v has at most q.length
  // words (its record is zero above its length); only q's size steers the reduction.
  const int nq = ql::big_used(*q);
  if (nq == 0) { return Big_Mod(r, v.ptr(), q); }  // the division's own refusal of zero
  ql::Wiped<std::array<uint32_t, ql::kBigWords>> rem;
  ql::Wiped<std::array<uint32_t, ql::kBigWords>> scratch;
  const int nv = q->length < ql::kBigWords ? q->length : ql::kBigWords;
  ql::ct_mod_words(rem.get().data(), v.get().words, static_cast<size_t>(nv), q->words,
                   static_cast<size_t>(nq), scratch.get().data());
  ql::set_secret_value(*r, rem.get().data(), nq);
  return ql::kOk;
}
