// The digest dispatcher: one record and one set of calls for the five digests, selected by
// identifier. Lengths come from the constant table, never from the caller's record, so a
// damaged record cannot make a call read or write outside it.
#include "QuillonCrypto.h"
#include "digest/ql_digest.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"

namespace ql {

namespace {

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
  if (info == nullptr) {
    return ql::kErrHashInfoNull;
  }
  const ql::DigestDesc *d = ql::digest_of(hash_id);
  if (d == nullptr) {
    return ql::kErrHashInfoId;
  }
  info->block_len = d->block_len;
  info->digest_len = d->digest_len;
  return ql::kOk;
}

int32_t QL_Hash_Init(QL_HASH_CTX *ctx, int32_t hash_id) {
  if (ctx == nullptr) {
    return ql::kErrHashInitNull;
  }
  ctx->algorithm = static_cast<uint32_t>(hash_id);
  QL_Hash_GetInfo(&ctx->info, hash_id);  // an unknown identifier is reported below
  const ql::DigestDesc *d = ql::digest_of(hash_id);
  if (d == nullptr) {
    return ql::kErrHashInitId;
  }
  d->init(*ctx);
  return ql::kOk;
}

int32_t QL_Hash_Update(QL_HASH_CTX *ctx, const uint8_t *data, uint32_t len) {
  if (ctx == nullptr) {
    return ql::kErrHashUpdateNull;
  }
  if (len == 0) {
    return ql::kOk;
  }
  // Missing data with a length is an error, not an empty message.
  if (data == nullptr) {
    return ql::kErrHashUpdateNull;
  }
  const ql::DigestDesc *d = ql::digest_of(static_cast<int32_t>(ctx->algorithm));
  if (d == nullptr) {
    return ql::kErrHashUpdateAlg;
  }
  d->update(*ctx, data, len);
  return ql::kOk;
}

int32_t QL_Hash_Final(QL_HASH_CTX *ctx, uint8_t *out, uint32_t *out_len) {
  if (ctx == nullptr || out == nullptr || out_len == nullptr) {
    return ql::kErrHashFinalNull;
  }
  const ql::DigestDesc *d = ql::digest_of(static_cast<int32_t>(ctx->algorithm));
  if (d == nullptr) {
    return ql::kErrHashFinalAlg;
  }
  d->final(*ctx, out);
  *out_len = d->digest_len;
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
