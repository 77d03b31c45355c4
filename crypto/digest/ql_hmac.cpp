// HMAC (RFC 2104) over any digest of the dispatcher. The record keeps the padded key block
// from Init to Final, where the outer pad is derived from it again; both pads and the inner
// digest live in guards that wipe them. The block length always comes from the digest table.
#include <array>
#include <cstring>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"

namespace ql {
namespace {

constexpr uint8_t kInnerPad = 0x36;
constexpr uint8_t kOuterPad = 0x5C;

using PadBlock = std::array<uint8_t, QL_HASH_MAX_BLOCK_LEN>;

// The first `block_len` bytes of the key block XOR `pad`.
void make_pad(PadBlock &out, const QL_HMAC_CTX &ctx, uint32_t block_len, uint8_t pad) {
  for (uint32_t i = 0; i < block_len; i++) { out[i] = ctx.key_block[i] ^ pad; }
}

static_assert(sizeof(QL_HMAC_CTX::key_block) == QL_HASH_MAX_BLOCK_LEN, "key block holds a block");

}  // namespace
}  // namespace ql

// Exported functions.

QL_HMAC_CTX *QL_HMAC_CTX_New(void) {
  void *p = ql::alloc(sizeof(QL_HMAC_CTX));
  return p == nullptr ? nullptr : new (p) QL_HMAC_CTX();
}

void QL_HMAC_CTX_Delete(QL_HMAC_CTX *ctx) { ql::free_wiped(ctx, sizeof(QL_HMAC_CTX)); }

int32_t QL_HMAC_GetInfo(QL_HMAC_INFO *info, int32_t mac_id) {
  if ((static_cast<uint32_t>(mac_id) & 0xFF00u) != 0x100u) { return ql::kErrHmacInfoId; }
  QL_HASH_INFO hash;
  QL_TRY(QL_Hash_GetInfo(&hash, mac_id & 0xFF));
  if (info == nullptr) { return ql::kErrHashInfoNull; }
  info->mac_len = hash.digest_len;
  info->default_key_len = hash.digest_len / 2;
  info->min_key_len = hash.digest_len / 2;
  info->max_key_len = hash.block_len;
  info->key_len_step = 1;
  return ql::kOk;
}

int32_t QL_HMAC_Init(QL_HMAC_CTX *ctx, const uint8_t *key, uint32_t key_len, int32_t mac_id) {
  if (ctx == nullptr || key == nullptr) { return ql::kErrHmacInitNull; }
  // 0x101..0x105 and the bare digest identifiers 1..5 both name the digest.
  uint32_t id = static_cast<uint32_t>(mac_id);
  if ((id & 0x0F00u) != 0) { id ^= 0x100u; }
  ctx->algorithm = id;
  QL_TRY(QL_Hash_GetInfo(&ctx->info, static_cast<int32_t>(id)));
  const uint32_t block_len = ctx->info.block_len;

  ql::wipe(ctx->key_block, sizeof(ctx->key_block));
  if (key_len > block_len) {
    uint32_t digest_len = 0;
    QL_TRY(QL_Hash(ctx->key_block, &digest_len, key, key_len, static_cast<int32_t>(id)));
  } else if (key_len != 0) {
    std::memcpy(ctx->key_block, key, key_len);
  }
  ctx->key_block_len = block_len;

  ql::Wiped<ql::PadBlock> inner_pad;
  ql::make_pad(inner_pad.get(), *ctx, block_len, ql::kInnerPad);
  QL_TRY(QL_Hash_Init(&ctx->inner, static_cast<int32_t>(id)));
  return QL_Hash_Update(&ctx->inner, inner_pad.get().data(), block_len);
}

int32_t QL_HMAC_Update(QL_HMAC_CTX *ctx, const uint8_t *data, uint32_t len) {
  if (ctx == nullptr) { return ql::kErrHmacUpdateNull; }
  return QL_Hash_Update(&ctx->inner, data, len);
}

int32_t QL_HMAC_Final(QL_HMAC_CTX *ctx, uint8_t *out, uint32_t *out_len) {
  if (ctx == nullptr || out == nullptr || out_len == nullptr) { return ql::kErrHmacFinalNull; }
  ql::Wiped<std::array<uint8_t, QL_HASH_MAX_DIGEST_LEN>> inner_digest;
  uint32_t inner_len = 0;
  QL_TRY(QL_Hash_Final(&ctx->inner, inner_digest.get().data(), &inner_len));

  QL_HASH_INFO info;
  QL_TRY(QL_Hash_GetInfo(&info, static_cast<int32_t>(ctx->algorithm)));
  ql::Wiped<ql::PadBlock> outer_pad;
  ql::make_pad(outer_pad.get(), *ctx, info.block_len, ql::kOuterPad);
  QL_TRY(QL_Hash_Init(&ctx->inner, static_cast<int32_t>(ctx->algorithm)));
  QL_TRY(QL_Hash_Update(&ctx->inner, outer_pad.get().data(), info.block_len));
  QL_TRY(QL_Hash_Update(&ctx->inner, inner_digest.get().data(), inner_len));
  return QL_Hash_Final(&ctx->inner, out, out_len);
}

int32_t QL_HMAC(uint8_t *out, uint32_t *out_len, const uint8_t *data, uint32_t len,
                const uint8_t *key, uint32_t key_len, int32_t mac_id) {
  ql::Wiped<QL_HMAC_CTX> ctx;
  QL_TRY(QL_HMAC_Init(ctx.ptr(), key, key_len, mac_id));
  QL_TRY(QL_HMAC_Update(ctx.ptr(), data, len));
  return QL_HMAC_Final(ctx.ptr(), out, out_len);
}
