// Internal interface of the RSA unit, for the PKCS #1 layer, the tests and the benchmarks.
#ifndef QL_RSA_H
#define QL_RSA_H

#include "QuillonCrypto.h"
#include "internal/ql_status.h"

namespace ql {

// kOk when `n` can serve as an RSA modulus here: positive, odd, at least 3 and at most 128
// words; kErrRsaKeyInvalid otherwise. Every function that takes a key in checks it.
Status rsa_check_modulus(const Big &n);

// QL_RSA_PrivateKeyExp on checked arguments, with the blinding draw `blind` supplied (one
// attempt; kErrBigNoInverse when it shares a factor with n) or, for nullptr, drawn from
// QL_Big_Random until it is invertible. `out` is written only on success.
Status rsa_private_exp(Big &out, const Big &in, const QL_RSA_PRIVATE_KEY &key, const Big *blind);

}  // namespace ql

#endif  // QL_RSA_H
