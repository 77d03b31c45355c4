// The X9.62 generator computed independently of the library, from OpenSSL's SHA-1 block
// function and BIGNUM.
#ifndef QL_X962_MODEL_H
#define QL_X962_MODEL_H

#include <openssl/bn.h>

#include <cstdint>
#include <vector>

namespace qltest {

// The generator's next value modulo `q` (in [1, q-1]); `xkey` (b bytes, big-endian) advances
// as the generator's does. The b-byte `xseed` is added in the first round when `has_seed`.
// The caller frees the result.
BIGNUM *x962_next(const BIGNUM *q, std::vector<uint8_t> &xkey, const std::vector<uint8_t> &xseed,
                  bool has_seed);

}  // namespace qltest

#endif  // QL_X962_MODEL_H
