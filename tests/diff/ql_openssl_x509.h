// OpenSSL's X.509 helpers behind declarations that do not clash with QuillonCrypto.h (x509.h
// pulls in OpenSSL's SHA functions, whose names our header also declares).
#ifndef QL_OPENSSL_X509_H
#define QL_OPENSSL_X509_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qltest {

// The DER DigestInfo of the `len`-byte digest `h` under the algorithm with the dotted
// identifier `oid` and NULL parameters, as OpenSSL encodes it.
std::vector<uint8_t> openssl_digest_info(const char *oid, const uint8_t *h, size_t len);

}  // namespace qltest

#endif  // QL_OPENSSL_X509_H
