// OpenSSL public-key helpers of the differential tests: owning pointers for OpenSSL's records,
// the OpenSSL digest of a library digest identifier, and a record's encoding through one of
// the dispatcher's encoders.
#ifndef QL_OPENSSL_PKEY_H
#define QL_OPENSSL_PKEY_H

#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "QuillonCrypto.h"

namespace qltest {

struct OsslFree {
  void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX *p) const { EVP_PKEY_CTX_free(p); }
  void operator()(EVP_MD_CTX *p) const { EVP_MD_CTX_free(p); }
  void operator()(EC_KEY *p) const { EC_KEY_free(p); }
  void operator()(ECDSA_SIG *p) const { ECDSA_SIG_free(p); }
};
template <typename T>
using Ossl = std::unique_ptr<T, OsslFree>;

// OpenSSL's digest for the library's identifiers 2 to 5 (SHA-1 to SHA-512).
inline const EVP_MD *md_of(int32_t digest_id) {
  switch (digest_id) {
    case 2:
      return EVP_sha1();
    case 3:
      return EVP_sha256();
    case 4:
      return EVP_sha384();
    default:
      return EVP_sha512();
  }
}

// The DER of `key` by `fn` (a QL_ASYM_*_Encode with parameters), sized by a NULL-output call.
inline std::vector<uint8_t> encode(int32_t (*fn)(uint8_t *, uint32_t *, const QL_ASYM_KEY *,
                                                 const QL_ASYM_KEY *),
                                   const QL_ASYM_KEY *key, const QL_ASYM_KEY *params) {
  uint32_t len = 0;
  EXPECT_EQ(0, fn(nullptr, &len, key, params));
  std::vector<uint8_t> der(len);
  EXPECT_EQ(0, fn(der.data(), &len, key, params));
  der.resize(len);
  return der;
}

}  // namespace qltest

#endif  // QL_OPENSSL_PKEY_H
