// The symmetric dispatcher: the cipher table, the mode engine (ECB, CBC, CFB, OFB, CTR over
// big-endian block words), streaming with pending bytes and the four paddings. The engine
// resolves the block function once per call; CTR steps restart at every block boundary, so
// the keystream does not depend on how the input is split. Padding checks run in constant
// time over the last block.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "QuillonCrypto.h"
#include "internal/ql_bytes.h"
#include "internal/ql_ct.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "sym/ql_block_modes.h"
#include "sym/ql_cipher.h"

namespace ql {

namespace {

constexpr uint32_t kBlock = 16;
static_assert(std::is_trivially_copyable<QL_SYM_CTX>::value, "plain record");
static_assert(offsetof(QL_SYM_CTX, stateStamp) + sizeof(uint32_t) == sizeof(QL_SYM_CTX),
              "the state stamp is the last word of the record");

Status get_info(QL_SYM_INFO &info, int32_t id) {
  info.kind = 1;
  const CipherDesc *c = cipher_of(id);
  if (c == nullptr) {
    return kErrSymUnknownId;
  }
  info.blockLength = c->block_len;
  info.defaultKeyLength = c->default_key_len;
  info.minKeyLength = c->min_key_len;
  info.maxKeyLength = c->max_key_len;
  info.keyLengthStep = c->key_len_step;
  return kOk;
}

inline void load4(uint32_t w[4], const uint8_t *p) {
  w[0] = load_be32(p);
  w[1] = load_be32(p + 4);
  w[2] = load_be32(p + 8);
  w[3] = load_be32(p + 12);
}
inline void store4(uint8_t *p, const uint32_t w[4]) {
  store_be32(p, w[0]);
  store_be32(p + 4, w[1]);
  store_be32(p + 8, w[2]);
  store_be32(p + 12, w[3]);
}

// The counter block plus one, as one big-endian integer; the carry out of byte 0 is dropped.
inline void increment(uint32_t t[4]) {
  for (int i = 3; i >= 0; i--) {
    if (++t[i] != 0) {
      return;
    }
  }
}

// The mode engine over `len` bytes: a whole number of units, except that CTR also accepts a
// trailing partial block. Stores the running IV-field state back into the record. Kept out of
// line so that its frame, and those of the loops it calls, lie where QL_SYM_Mode burns.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
Status
mode_engine(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  const CipherDesc *cipher = cipher_of(static_cast<int32_t>(ctx.algorithm));
  if (cipher == nullptr) {
    return kErrSymNotInit;
  }
  const CipherPath &path = cipher->path();
  if (path.fast != nullptr) {
    const size_t done = path.fast(ctx, out, in, len, dir);
    if (done == len) {
      return kOk;
    }
    out += done;
    in += done;
    len -= done;
  }
  const uint32_t mode = ctx.param.mode;
  const size_t seg = ctx.param.segmentLength;
  if (mode == QL_SYM_MODE_ECB || mode == QL_SYM_MODE_CBC || seg == kBlock) {
    const size_t whole = len / kBlock * kBlock;
    path.whole(ctx, run_of(mode, dir), ctx.param.iv, out, in, whole / kBlock);
    // Only CTR takes a trailing partial block.
    if (whole == len) {
      return kOk;
    }
    out += whole;
    in += whole;
    len -= whole;
  }
  // Segments shorter than a block, and CTR's trailing partial block.
  AriaWords aria;  // filled and wiped for ARIA only
  WipeOnExit guard_aria(&aria, ctx.algorithm == QL_SYM_ARIA ? sizeof(aria) : 0);
  const void *key = nullptr;
  const BlockFn fn = path.block(ctx, aria, key);
  uint8_t *iv = ctx.param.iv;
  uint32_t c[4];
  uint32_t w[4];
  uint8_t k[kBlock];
  WipeOnExit guard_k(k, sizeof(k));
  WipeOnExit guard_w(w, sizeof(w));
  WipeOnExit guard_c(c, sizeof(c));
  if (mode == QL_SYM_MODE_CFB) {
    for (size_t i = 0; i < len; i += seg) {
      load4(w, iv);
      fn(key, w);
      store4(k, w);
      uint8_t fb[kBlock];
      for (size_t j = 0; j < seg; j++) {
        const uint8_t x = in[i + j];
        const uint8_t o = static_cast<uint8_t>(x ^ k[j]);
        out[i + j] = o;
        fb[j] = dir == kEncrypt ? o : x;
      }
      // The register drops its first `seg` bytes and takes the ciphertext bytes.
      std::memmove(iv, iv + seg, kBlock - seg);
      std::memcpy(iv + kBlock - seg, fb, seg);
    }
    return kOk;
  }
  if (mode == QL_SYM_MODE_OFB) {
    // The register becomes the whole cipher output, however many bytes were used.
    load4(c, iv);
    for (size_t i = 0; i < len; i += seg) {
      fn(key, c);
      store4(k, c);
      for (size_t j = 0; j < seg; j++) {
        out[i + j] = static_cast<uint8_t>(in[i + j] ^ k[j]);
      }
    }
    store4(iv, c);
    return kOk;
  }
  if (mode != QL_SYM_MODE_CTR) {
    return kErrSymEngineMode;
  }
  load4(c, iv);
  size_t i = 0;
  // Each block (or the trailing partial block) takes steps of `seg` bytes, one counter
  // value per step, the last step of a block possibly shorter.
  while (i < len) {
    const size_t block_end = len - i < kBlock ? len : i + kBlock;
    while (i < block_end) {
      for (int j = 0; j < 4; j++) {
        w[j] = c[j];
      }
      fn(key, w);
      increment(c);
      store4(k, w);
      const size_t n = block_end - i < seg ? block_end - i : seg;
      for (size_t j = 0; j < n; j++) {
        out[i + j] = static_cast<uint8_t>(in[i + j] ^ k[j]);
      }
      i += n;
    }
  }
  store4(iv, c);
  return kOk;
}

Status QL_SYM_Mode(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir) {
  const Status st = mode_engine(ctx, out, in, len, dir);
  // The whole-block loops keep chaining values, keystream and cipher state in registers, and
  // the compiler spills some of them to stack slots no guard names.
  burn_stack();
  return st;
}

// The number of bytes one Update step consumes: the block for ECB, CBC and CTR, else the
// segment.
uint32_t unit_of(const QL_SYM_CTX &ctx) {
  const uint32_t mode = ctx.param.mode;
  if (mode == QL_SYM_MODE_CFB || mode == QL_SYM_MODE_OFB) {
    return ctx.param.segmentLength;
  }
  return ctx.info.blockLength;
}

// Whether a record came from a successful Init and is still consistent, so that no length in
// it can carry a copy outside its arrays.
Status check_record(const QL_SYM_CTX &ctx) {
  if (ctx.info.kind != 1 || ctx.info.blockLength != kBlock) {
    return kErrSymNotInit;
  }
  const CipherDesc *cipher = cipher_of(static_cast<int32_t>(ctx.algorithm));
  if (cipher == nullptr || !cipher->schedule_ok(ctx)) {
    return kErrSymNotInit;
  }
  if (ctx.param.mode < QL_SYM_MODE_ECB || ctx.param.mode > QL_SYM_MODE_CTR) {
    return kErrSymEngineMode;
  }
  const uint32_t seg = ctx.param.segmentLength;
  if (ctx.param.mode != QL_SYM_MODE_ECB && ctx.param.mode != QL_SYM_MODE_CBC &&
      (seg == 0 || seg > kBlock)) {
    return kErrSymNotInit;
  }
  if (ctx.pendingLength >= unit_of(ctx) || ctx.lastBlockLength > kBlock) {
    return kErrSymNotInit;
  }
  if (ctx.param.padding < QL_SYM_PAD_NONE || ctx.param.padding > QL_SYM_PAD_PKCS) {
    return kErrSymNotInit;
  }
  return kOk;
}

Status QL_SYM_Init(QL_SYM_CTX &ctx, int32_t id, const QL_SYM_PARAM &param) {
  wipe(&ctx, sizeof(ctx));
  ctx.algorithm = static_cast<uint32_t>(id);
  QL_TRY(get_info(ctx.info, id));
  const uint32_t block = ctx.info.blockLength;
  ctx.param.mode = param.mode;
  ctx.param.ivLength = param.ivLength;
  ctx.param.segmentLength = param.segmentLength;
  ctx.param.padding = param.padding;
  if (param.mode != QL_SYM_MODE_ECB && param.ivLength == block) {
    std::memcpy(ctx.param.iv, param.iv, block);
  }
  if (param.mode < QL_SYM_MODE_ECB || param.mode > QL_SYM_MODE_CTR) {
    return kErrSymMode;
  }
  if (param.mode != QL_SYM_MODE_ECB && param.ivLength != block) {
    return kErrSymIvLen;
  }
  const bool segmented = param.mode == QL_SYM_MODE_CFB || param.mode == QL_SYM_MODE_OFB ||
                         param.mode == QL_SYM_MODE_CTR;
  if (segmented && (param.segmentLength == 0 || param.segmentLength > block)) {
    return kErrSymSegment;
  }
  if (param.padding < QL_SYM_PAD_NONE || param.padding > QL_SYM_PAD_PKCS) {
    return kErrSymPadding;
  }
  // A padded final block must split into whole CFB or OFB segments; otherwise its last bytes
  // could never be output and the padding never checked.
  if ((param.mode == QL_SYM_MODE_CFB || param.mode == QL_SYM_MODE_OFB) &&
      param.padding != QL_SYM_PAD_NONE && block % param.segmentLength != 0) {
    return kErrSymSegment;
  }
  return kOk;
}

Status QL_SYM_MakeKey(QL_SYM_CTX &ctx, const uint8_t *key, uint32_t key_len, int dir) {
  const CipherDesc *cipher = cipher_of(static_cast<int32_t>(ctx.algorithm));
  if (cipher == nullptr) {
    return kErrSymNotInit;
  }
  return cipher->make_key(ctx, key, key_len, dir);
}

Status init(QL_SYM_CTX *ctx, const QL_SYM_PARAM *param, const uint8_t *key, uint32_t key_len,
            int32_t id, int dir) {
  const Status null_code = dir == kEncrypt ? kErrSymEncInitNull : kErrSymDecInitNull;
  const Status len_code = dir == kEncrypt ? kErrSymEncKeyLen : kErrSymDecKeyLen;
  if (ctx == nullptr || param == nullptr || key == nullptr) {
    return null_code;
  }
  // A record whose Init failed is left zeroed, so no later call can run on a partial one.
  WipeOnExit on_failure(ctx, sizeof(*ctx));
  QL_TRY(QL_SYM_Init(*ctx, id, *param));
  if (key_len < ctx->info.minKeyLength || key_len > ctx->info.maxKeyLength) {
    return len_code;
  }
  // Only ECB and CBC decrypt with the cipher; the stream modes always encrypt.
  const uint32_t mode = ctx->param.mode;
  const int key_dir = (mode == QL_SYM_MODE_ECB || mode == QL_SYM_MODE_CBC) ? dir : kEncrypt;
  QL_TRY(QL_SYM_MakeKey(*ctx, key, key_len, key_dir));
  on_failure.release();
  return kOk;
}

// Appends the `n` plaintext bytes just output at `p` to the record's last-block window.
void note_output(QL_SYM_CTX &ctx, const uint8_t *p, size_t n) {
  if (n == 0) {
    return;
  }
  if (n >= kBlock) {
    std::memcpy(ctx.lastBlock, p + n - kBlock, kBlock);
    ctx.lastBlockLength = kBlock;
    return;
  }
  std::memmove(ctx.lastBlock, ctx.lastBlock + n, kBlock - n);
  std::memcpy(ctx.lastBlock + kBlock - n, p, n);
  const size_t have = ctx.lastBlockLength + n;
  ctx.lastBlockLength = static_cast<uint32_t>(have < kBlock ? have : kBlock);
}

// CTR decryption outputs every byte at once. The ciphertext of a block begun but not yet
// complete stays pending (its plaintext already output), and the block's counter is restored
// after it is decrypted, so the counter moves only when the block completes and the output
// never depends on how the input is split. `out` may equal `in`.
Status ctr_decrypt(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t in_len) {
  size_t done = 0;
  // Decrypts the `n` bytes at `block` (a block's first bytes, less than a whole block) without
  // moving the counter and outputs those from `from` on.
  auto partial = [&](const uint8_t *block, size_t n, size_t from) -> Status {
    // The engine keeps only the counter in the record: put it back afterwards.
    uint8_t counter[kBlock];
    std::memcpy(counter, ctx.param.iv, kBlock);
    uint8_t pt[kBlock];
    WipeOnExit guard_pt(pt, sizeof(pt));
    const Status st = QL_SYM_Mode(ctx, pt, block, n, kDecrypt);
    std::memcpy(ctx.param.iv, counter, kBlock);
    QL_TRY(st);
    std::memcpy(out + done, pt + from, n - from);
    note_output(ctx, out + done, n - from);
    return kOk;
  };
  const size_t r = ctx.pendingLength;
  if (r > 0) {
    const size_t take = in_len < kBlock - r ? in_len : kBlock - r;
    uint8_t block[kBlock];
    std::memcpy(block, ctx.pending, r);
    std::memcpy(block + r, in, take);
    if (r + take < kBlock) {
      QL_TRY(partial(block, r + take, r));
      std::memcpy(ctx.pending + r, in, take);
      ctx.pendingLength = static_cast<uint32_t>(r + take);
      return kOk;
    }
    uint8_t pt[kBlock];
    WipeOnExit guard_pt(pt, sizeof(pt));
    QL_TRY(QL_SYM_Mode(ctx, pt, block, kBlock, kDecrypt));
    std::memcpy(out, pt + r, take);
    note_output(ctx, out, take);
    wipe(ctx.pending, sizeof(ctx.pending));
    ctx.pendingLength = 0;
    done = take;
  }
  const size_t whole = (in_len - done) / kBlock * kBlock;
  QL_TRY(QL_SYM_Mode(ctx, out + done, in + done, whole, kDecrypt));
  note_output(ctx, out + done, whole);
  done += whole;
  const size_t tail = in_len - done;
  if (tail > 0) {
    std::memcpy(ctx.pending, in + done, tail);  // read before `out` may overwrite it
    QL_TRY(partial(ctx.pending, tail, 0));
    ctx.pendingLength = static_cast<uint32_t>(tail);
  }
  return kOk;
}

// The body of an Update: runs the engine over the pending bytes followed by `in`, whole
// units only, into `out`; keeps the rest pending. Returns the bytes produced in `produced`.
Status run_units(QL_SYM_CTX &ctx, uint8_t *out, size_t &produced, const uint8_t *in, size_t in_len,
                 int dir) {
  const size_t unit = unit_of(ctx);
  const size_t r = ctx.pendingLength;
  produced = 0;
  if (r + in_len < unit) {
    std::memcpy(ctx.pending + r, in, in_len);
    ctx.pendingLength = static_cast<uint32_t>(r + in_len);
    return kOk;
  }
  const size_t total = r + in_len;
  const size_t whole = total - total % unit;
  const size_t rest = total - whole;
  if (r == 0) {
    QL_TRY(QL_SYM_Mode(ctx, out, in, whole, dir));
    std::memcpy(ctx.pending, in + whole, rest);
  } else if (out != in) {
    // Complete one unit from the input, then run directly over the caller's buffer.
    const size_t take = unit - r;
    std::memcpy(ctx.pending + r, in, take);
    QL_TRY(QL_SYM_Mode(ctx, out, ctx.pending, unit, dir));
    QL_TRY(QL_SYM_Mode(ctx, out + unit, in + take, whole - unit, dir));
    std::memcpy(ctx.pending, in + take + whole - unit, rest);
  } else {
    // In place with bytes pending: the output runs r bytes ahead of the input, so each unit
    // saves the r unread input bytes that its output is about to overwrite.
    uint8_t cur[kBlock];
    uint8_t carry[kBlock];
    WipeOnExit guard_cur(cur, sizeof(cur));
    WipeOnExit guard_carry(carry, sizeof(carry));
    std::memcpy(cur, ctx.pending, r);
    std::memcpy(cur + r, in, unit - r);
    size_t rd = unit - r;  // first input byte not yet read
    size_t carry_len = 0;
    for (size_t k = 0; k < whole / unit; k++) {
      carry_len = in_len - rd < r ? in_len - rd : r;
      std::memcpy(carry, in + rd, carry_len);
      QL_TRY(QL_SYM_Mode(ctx, out + k * unit, cur, unit, dir));
      if (k + 1 < whole / unit) {
        std::memcpy(cur, carry, r);
        std::memcpy(cur + r, in + rd + r, unit - r);
        rd += unit;
      }
    }
    std::memcpy(ctx.pending, carry, carry_len);
    std::memcpy(ctx.pending + carry_len, in + rd + carry_len, rest - carry_len);
  }
  ctx.pendingLength = static_cast<uint32_t>(rest);
  produced = whole;
  return kOk;
}

Status update(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len, const uint8_t *in, uint32_t in_len,
              int dir) {
  const Status null_code = dir == kEncrypt ? kErrSymEncUpdateNull : kErrSymDecUpdateNull;
  if (ctx == nullptr || out == nullptr || out_len == nullptr || in == nullptr) {
    return null_code;
  }
  *out_len = 0;
  QL_TRY(check_record(*ctx));
  // Output is counted in 32 bits.
  if (uint64_t{ctx->pendingLength} + in_len > UINT32_MAX) {
    return null_code;
  }
  size_t produced = 0;
  if (dir == kDecrypt && ctx->param.mode == QL_SYM_MODE_CTR) {
    QL_TRY(ctr_decrypt(*ctx, out, in, in_len));
    produced = in_len;
  } else {
    QL_TRY(run_units(*ctx, out, produced, in, in_len, dir));
    if (dir == kDecrypt) { note_output(*ctx, out, produced); }
  }
  *out_len = static_cast<uint32_t>(produced);
  return kOk;
}

// Writes the pad bytes that complete `r` data bytes to a block of `block[kBlock]`.
void pad_block(uint8_t *block, size_t r, uint32_t padding) {
  const size_t p = kBlock - r;
  for (size_t i = r; i < kBlock; i++) {
    block[i] = padding == QL_SYM_PAD_PKCS ? static_cast<uint8_t>(p) : 0;
  }
  if (padding == QL_SYM_PAD_BIT) {
    block[r] = 0x80;
  }
}

// Bit padding: zero bytes (at most block - 1) preceded by 0x80. Runs over the whole block in
// constant time; returns the pad length, or 0 when the check fails.
uint32_t bit_pad_len(const uint8_t *b) {
  uint32_t searching = 0xFFFFFFFFu;  // still inside the trailing zeros
  uint32_t len = 0;
  uint32_t ok = 0;
  for (uint32_t i = 0; i < kBlock; i++) {
    const uint32_t v = b[kBlock - 1 - i];
    const uint32_t zero = ct::is_zero(v) & ct::select(ct::is_zero(i ^ (kBlock - 1)), 0, ~0u);
    const uint32_t first_nonzero = searching & ~zero;
    ok |= first_nonzero & ct::is_zero(v ^ 0x80);
    len = ct::select(first_nonzero, i + 1, len);
    searching &= zero;
  }
  return ok & len;
}

// PKCS padding: v in 1..block and the last v bytes all equal to v. Constant time; returns v,
// or 0 when the check fails.
uint32_t pkcs_pad_len(const uint8_t *b) {
  const uint32_t v = b[kBlock - 1];
  uint32_t bad = ct::is_zero(v) | ~ct::is_zero((v - 1) >> 4);  // v == 0 or v > 16
  for (uint32_t i = 0; i < kBlock; i++) {
    const uint32_t in_pad = ~ct::is_zero(((i - v) >> 31) & 1);  // i < v
    bad |= in_pad & ~ct::is_zero(b[kBlock - 1 - i] ^ v);
  }
  return ct::select(bad, 0, v);
}

}  // namespace
}  // namespace ql

// Exported functions.

QL_SYM_CTX *QL_SYM_CTX_New(void) {
  void *p = ql::alloc(sizeof(QL_SYM_CTX));
  if (p == nullptr) {
    return nullptr;
  }
  ql::wipe(p, sizeof(QL_SYM_CTX));
  return new (p) QL_SYM_CTX;
}

void QL_SYM_CTX_Delete(QL_SYM_CTX *ctx) { ql::free_wiped(ctx, sizeof(QL_SYM_CTX)); }

int32_t QL_SYM_GetInfo(QL_SYM_INFO *info, int32_t id) {
  if (info == nullptr) {
    return ql::kErrSymUnknownId;
  }
  return ql::get_info(*info, id);
}

int32_t QL_SYM_Encrypt_Init(QL_SYM_CTX *ctx, const QL_SYM_PARAM *param, const uint8_t *key,
                            uint32_t key_len, int32_t id) {
  return ql::init(ctx, param, key, key_len, id, ql::kEncrypt);
}

int32_t QL_SYM_Decrypt_Init(QL_SYM_CTX *ctx, const QL_SYM_PARAM *param, const uint8_t *key,
                            uint32_t key_len, int32_t id) {
  return ql::init(ctx, param, key, key_len, id, ql::kDecrypt);
}

int32_t QL_SYM_Encrypt_Update(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                              uint32_t in_len) {
  return ql::update(ctx, out, out_len, in, in_len, ql::kEncrypt);
}

int32_t QL_SYM_Decrypt_Update(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len, const uint8_t *in,
                              uint32_t in_len) {
  return ql::update(ctx, out, out_len, in, in_len, ql::kDecrypt);
}

int32_t QL_SYM_Encrypt_Final(QL_SYM_CTX *ctx, uint8_t *out, uint32_t *out_len) {
  if (ctx == nullptr || out == nullptr || out_len == nullptr) {
    return ql::kErrSymEncFinalNull;
  }
  *out_len = 0;
  if (ctx->info.kind == 0) {
    return ql::kOk;
  }
  QL_TRY(ql::check_record(*ctx));
  const uint32_t r = ctx->pendingLength;
  if (ctx->param.mode == QL_SYM_MODE_CTR && r > 0) {
    // A stream mode needs no padding for a partial block.
    QL_TRY(ql::QL_SYM_Mode(*ctx, out, ctx->pending, r, ql::kEncrypt));
    ql::wipe(ctx->pending, sizeof(ctx->pending));
    ctx->pendingLength = 0;
    *out_len = r;
    return ql::kOk;
  }
  if (ctx->param.padding == QL_SYM_PAD_NONE) {
    return r > 0 ? ql::kErrSymEncPending : ql::kOk;
  }
  ql::Wiped<uint8_t[ql::kBlock]> block;
  std::memcpy(block.get(), ctx->pending, r);
  ql::pad_block(block.get(), r, ctx->param.padding);
  ql::wipe(ctx->pending, sizeof(ctx->pending));
  ctx->pendingLength = 0;
  return QL_SYM_Encrypt_Update(ctx, out, out_len, block.get(), ql::kBlock);
}

int32_t QL_SYM_Decrypt_Final(QL_SYM_CTX *ctx, uint32_t *pad_len) {
  if (ctx == nullptr || pad_len == nullptr) {
    return ql::kErrSymDecFinalNull;
  }
  *pad_len = 0;
  if (ctx->info.kind == 0) {
    return ql::kOk;
  }
  QL_TRY(ql::check_record(*ctx));
  // CTR has output its pending bytes already; an input that ended on a partial block was
  // encrypted without padding.
  const bool ctr = ctx->param.mode == QL_SYM_MODE_CTR;
  if (ctx->pendingLength > 0) {
    return ctr ? ql::kOk : ql::kErrSymDecPending;
  }
  const uint32_t padding = ctx->param.padding;
  if (padding == QL_SYM_PAD_NONE || padding == QL_SYM_PAD_ZERO) {
    return ql::kOk;
  }
  if (ctx->lastBlockLength != ql::kBlock) {
    return ql::kErrSymBadPadding;
  }
  const uint32_t n = padding == QL_SYM_PAD_BIT ? ql::bit_pad_len(ctx->lastBlock)
                                               : ql::pkcs_pad_len(ctx->lastBlock);
  if (n == 0) {
    return ql::kErrSymBadPadding;
  }
  *pad_len = n;
  return ql::kOk;
}

int32_t QL_SYM_Encrypt(const QL_SYM_PARAM *param, uint8_t *out, uint32_t *out_len,
                       const uint8_t *in, uint32_t in_len, const uint8_t *key, uint32_t key_len,
                       int32_t id) {
  ql::Owned<QL_SYM_CTX> ctx;
  if (!ctx) {
    return ql::critical(ql::kErrSymEncryptAlloc);
  }
  QL_TRY(QL_SYM_Encrypt_Init(ctx.get(), param, key, key_len, id));
  // The padded output must be countable in 32 bits.
  if (in_len > UINT32_MAX - ql::kBlock) {
    return ql::kErrSymEncUpdateNull;
  }
  QL_TRY(QL_SYM_Encrypt_Update(ctx.get(), out, out_len, in, in_len));
  uint32_t final_len = 0;
  QL_TRY(QL_SYM_Encrypt_Final(ctx.get(), out + *out_len, &final_len));
  *out_len += final_len;
  return ql::kOk;
}

int32_t QL_SYM_Decrypt(const QL_SYM_PARAM *param, uint8_t *out, uint32_t *out_len,
                       const uint8_t *in, uint32_t in_len, const uint8_t *key, uint32_t key_len,
                       int32_t id) {
  if (out == nullptr || out_len == nullptr || in == nullptr || param == nullptr || key == nullptr) {
    return ql::kErrSymDecryptNull;
  }
  ql::Owned<QL_SYM_CTX> ctx;
  if (!ctx) {
    return ql::critical(ql::kErrSymDecryptAlloc);
  }
  QL_TRY(QL_SYM_Decrypt_Init(ctx.get(), param, key, key_len, id));
  QL_TRY(QL_SYM_Decrypt_Update(ctx.get(), out, out_len, in, in_len));
  uint32_t pad_len = 0;
  QL_TRY(QL_SYM_Decrypt_Final(ctx.get(), &pad_len));
  *out_len -= pad_len;
  return ql::kOk;
}
