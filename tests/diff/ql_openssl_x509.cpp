// OpenSSL's X.509 helpers for the differential tests (see ql_openssl_x509.h).
#include "ql_openssl_x509.h"

#include <openssl/objects.h>
#include <openssl/x509.h>

namespace qltest {

std::vector<uint8_t> openssl_digest_info(const char *oid, const uint8_t *h, size_t len) {
  X509_SIG *sig = X509_SIG_new();
  X509_ALGOR *alg = nullptr;
  ASN1_OCTET_STRING *digest = nullptr;
  X509_SIG_getm(sig, &alg, &digest);
  X509_ALGOR_set0(alg, OBJ_txt2obj(oid, 1), V_ASN1_NULL, nullptr);
  ASN1_OCTET_STRING_set(digest, h, static_cast<int>(len));
  unsigned char *der = nullptr;
  const int der_len = i2d_X509_SIG(sig, &der);
  std::vector<uint8_t> out(der, der + (der_len > 0 ? der_len : 0));
  OPENSSL_free(der);
  X509_SIG_free(sig);
  return out;
}

}  // namespace qltest
