// OpenSSL's low-level SHA records, for the differential tests that need a counter or state
// OpenSSL's EVP interface does not expose. Kept apart from QuillonCrypto.h, which declares
// SHA256_Transform and SHA512_Transform with the library's own signatures.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "ql_openssl_sha.h"

#include <openssl/sha.h>

namespace qltest {

void openssl_sha1_state_after_block(const uint8_t block[64], uint32_t state[5]) {
  SHA_CTX ctx;
  SHA1_Init(&ctx);
  SHA1_Update(&ctx, block, 64);
  state[0] = ctx.h0;
  state[1] = ctx.h1;
  state[2] = ctx.h2;
  state[3] = ctx.h3;
  state[4] = ctx.h4;
}

bool openssl_digest_from_count(int hash_id, uint64_t bits_hi, uint64_t bits_lo, const uint8_t *msg,
                               size_t len, uint8_t *out) {
  switch (hash_id) {
    case 2: {
      SHA_CTX ctx;
      SHA1_Init(&ctx);
      ctx.Nl = static_cast<SHA_LONG>(bits_lo);
      ctx.Nh = static_cast<SHA_LONG>(bits_lo >> 32);
      SHA1_Update(&ctx, msg, len);
      SHA1_Final(out, &ctx);
      return true;
    }
    case 3: {
      SHA256_CTX ctx;
      SHA256_Init(&ctx);
      ctx.Nl = static_cast<SHA_LONG>(bits_lo);
      ctx.Nh = static_cast<SHA_LONG>(bits_lo >> 32);
      SHA256_Update(&ctx, msg, len);
      SHA256_Final(out, &ctx);
      return true;
    }
    case 4:
    case 5: {
      SHA512_CTX ctx;
      if (hash_id == 4) {
        SHA384_Init(&ctx);
      } else {
        SHA512_Init(&ctx);
      }
      ctx.Nl = bits_lo;
      ctx.Nh = bits_hi;
      if (hash_id == 4) {
        SHA384_Update(&ctx, msg, len);
        SHA384_Final(out, &ctx);
      } else {
        SHA512_Update(&ctx, msg, len);
        SHA512_Final(out, &ctx);
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace qltest
