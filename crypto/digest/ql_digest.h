// The descriptor of a digest: its lengths, its calls on the dispatcher's record and whether the
// module approves it (and HMAC over it). Each digest's unit defines its descriptor; the
// dispatcher finds it by identifier in one table, so adding a digest means a unit with its
// descriptor and one entry in that table.
#ifndef QL_DIGEST_H
#define QL_DIGEST_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"

namespace ql {

struct DigestDesc {
  int32_t id;
  uint32_t block_len, digest_len;
  // The bytes of the record's digest state in use (the rest of the union is not copied).
  size_t state_len;
  // Whether the module accepts the digest, and HMAC over it, in its approved state.
  bool approved, hmac_approved;
  void (*init)(QL_HASH_CTX &ctx);
  void (*update)(QL_HASH_CTX &ctx, const uint8_t *data, uint32_t len);
  void (*final)(QL_HASH_CTX &ctx, uint8_t *out);
};

extern const DigestDesc has160_digest;
extern const DigestDesc sha1_digest;
extern const DigestDesc sha256_digest;
extern const DigestDesc sha384_digest;
extern const DigestDesc sha512_digest;

// The descriptor of digest `id`, or null for an unknown identifier. Inline: every digest call
// and every gate asks it.
inline const DigestDesc *digest_of(int32_t id) {
  constexpr const DigestDesc *digests[] = {nullptr,        &has160_digest, &sha1_digest,
                                           &sha256_digest, &sha384_digest, &sha512_digest};
  constexpr int32_t kCount = sizeof(digests) / sizeof(digests[0]);
  return id > 0 && id < kCount ? digests[id] : nullptr;
}

}  // namespace ql

#endif  // QL_DIGEST_H
