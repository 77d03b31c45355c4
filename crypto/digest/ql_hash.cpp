// The digest dispatcher: one record and one set of calls for the five digests, selected by
// identifier. Lengths come from the constant table, never from the caller's record, so a
// damaged record cannot make a call read or write outside it.
#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"

namespace ql {
namespace {

struct HashEntry {
  uint32_t block_len;
  uint32_t digest_len;
};

// Indexed by digest identifier; entry 0 is unused.
constexpr HashEntry hash_table[] = {
    {0, 0}, {64, 20}, {64, 20}, {64, 32}, {128, 48}, {128, 64},
};

constexpr bool known_hash(uint32_t id) { return id >= QL_HASH_HAS160 && id <= QL_HASH_SHA512; }

static_assert(sizeof(QL_HASH_CTX) == 16 + sizeof(QL_SHA512_CTX), "header of four words");
static_assert(sizeof(QL_SHA1_CTX) == 92 && sizeof(QL_HAS160_CTX) == 92, "core record sizes");
static_assert(sizeof(QL_SHA256_CTX) == 104 && sizeof(QL_SHA512_CTX) == 208, "core record sizes");

}  // namespace
}  // namespace ql

// Exported functions.

QL_HASH_CTX *QL_Hash_CTX_New(void) {
  void *p = ql::alloc(sizeof(QL_HASH_CTX));
  return p == nullptr ? nullptr : new (p) QL_HASH_CTX();
}

void QL_Hash_CTX_Delete(QL_HASH_CTX *ctx) { ql::free_wiped(ctx, sizeof(QL_HASH_CTX)); }

int32_t QL_Hash_GetInfo(QL_HASH_INFO *info, int32_t hash_id) {
  if (info == nullptr) { return ql::kErrHashInfoNull; }
  const uint32_t id = static_cast<uint32_t>(hash_id);
  if (!ql::known_hash(id)) { return ql::kErrHashInfoId; }
  info->block_len = ql::hash_table[id].block_len;
  info->digest_len = ql::hash_table[id].digest_len;
  return ql::kOk;
}

int32_t QL_Hash_Init(QL_HASH_CTX *ctx, int32_t hash_id) {
  if (ctx == nullptr) { return ql::kErrHashInitNull; }
  ctx->algorithm = static_cast<uint32_t>(hash_id);
  QL_Hash_GetInfo(&ctx->info, hash_id);  // an unknown identifier is reported below
  switch (ctx->algorithm) {
    case QL_HASH_HAS160:
      QL_HAS160_Init(&ctx->digest.has160);
      return ql::kOk;
    case QL_HASH_SHA1:
      QL_SHA1_Init(&ctx->digest.sha1);
      return ql::kOk;
    case QL_HASH_SHA256:
      QL_SHA256_Init(&ctx->digest.sha256);
      return ql::kOk;
    case QL_HASH_SHA384:
      QL_SHA384_Init(&ctx->digest.sha512);
      return ql::kOk;
    case QL_HASH_SHA512:
      QL_SHA512_Init(&ctx->digest.sha512);
      return ql::kOk;
    default:
      return ql::kErrHashInitId;
  }
}

int32_t QL_Hash_Update(QL_HASH_CTX *ctx, const uint8_t *data, uint32_t len) {
  if (ctx == nullptr) { return ql::kErrHashUpdateNull; }
  if (len == 0) { return ql::kOk; }
  // Missing data with a length is an error, not an empty message.
  if (data == nullptr) { return ql::kErrHashUpdateNull; }
  switch (ctx->algorithm) {
    case QL_HASH_HAS160:
      QL_HAS160_Update(&ctx->digest.has160, data, len);
      return ql::kOk;
    case QL_HASH_SHA1:
      QL_SHA1_Update(&ctx->digest.sha1, data, len);
      return ql::kOk;
    case QL_HASH_SHA256:
      QL_SHA256_Update(&ctx->digest.sha256, data, len);
      return ql::kOk;
    case QL_HASH_SHA384:
    case QL_HASH_SHA512:
      QL_SHA512_Update(&ctx->digest.sha512, data, len);
      return ql::kOk;
    default:
      return ql::kErrHashUpdateAlg;
  }
}

int32_t QL_Hash_Final(QL_HASH_CTX *ctx, uint8_t *out, uint32_t *out_len) {
  if (ctx == nullptr || out == nullptr || out_len == nullptr) { return ql::kErrHashFinalNull; }
  switch (ctx->algorithm) {
    case QL_HASH_HAS160:
      QL_HAS160_Final(&ctx->digest.has160, out);
      break;
    case QL_HASH_SHA1:
      QL_SHA1_Final(&ctx->digest.sha1, out);
      break;
    case QL_HASH_SHA256:
      QL_SHA256_Final(&ctx->digest.sha256, out);
      break;
    case QL_HASH_SHA384:
      QL_SHA384_Final(&ctx->digest.sha512, out);
      break;
    case QL_HASH_SHA512:
      QL_SHA512_Final(&ctx->digest.sha512, out);
      break;
    default:
      return ql::kErrHashFinalAlg;
  }
  *out_len = ql::hash_table[ctx->algorithm].digest_len;
  ql::wipe(ctx, sizeof(*ctx));
  return ql::kOk;
}

int32_t QL_Hash(uint8_t *out, uint32_t *out_len, const uint8_t *data, uint32_t len,
                int32_t hash_id) {
  ql::Wiped<QL_HASH_CTX> ctx;
  QL_TRY(QL_Hash_Init(ctx.ptr(), hash_id));
  QL_TRY(QL_Hash_Update(ctx.ptr(), data, len));
  return QL_Hash_Final(ctx.ptr(), out, out_len);
}
