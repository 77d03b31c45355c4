// What the fuzz targets with an OpenSSL oracle share: an OpenSSL BIGNUM as an integer record.
#ifndef QL_FUZZ_BN_H
#define QL_FUZZ_BN_H

#include <openssl/bn.h>

#include <vector>

#include "QuillonCrypto.h"
#include "ql_fuzz.h"

namespace ql_fuzz {

inline Big to_big(const BIGNUM *bn) {
  std::vector<uint8_t> b(static_cast<size_t>(BN_num_bytes(bn)) + 1);
  const int len = BN_bn2bin(bn, b.data());
  Big r{};
  r.length = 1;
  if (len > 0) { QL_FUZZ_CHECK(U8ToBig(&r, b.data(), static_cast<uint32_t>(len)) == 0); }
  return r;
}

}  // namespace ql_fuzz

#endif  // QL_FUZZ_BN_H
