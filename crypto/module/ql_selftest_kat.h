// The record shapes of the self-test's known answers and the tables themselves (generated
// data, see tools/gen_selftest_kat.py). Plain constant data with internal linkage: every unit
// that includes this header gets its own copy, and nothing runs at load time.
#ifndef QL_SELFTEST_KAT_H
#define QL_SELFTEST_KAT_H

#include <cstdint>

#include "QuillonCrypto.h"

namespace ql {
namespace kat {

// A cipher entry: the ciphertext is as long as the plaintext; ECB has no IV.
struct CipherKat {
  int32_t id;
  const uint8_t *pt;
  uint32_t pt_len;
  const uint8_t *ct;
  uint32_t ct_len;
  const uint8_t *key;
  uint32_t key_len;
  uint32_t mode;
  const uint8_t *iv;
  uint32_t iv_len;
  uint32_t segment_len;
  uint32_t padding;
};

struct DigestKat {
  int32_t id;
  const char *msg;
  uint32_t msg_len;
  const uint8_t *md;
  uint32_t md_len;
};

struct HmacKat {
  int32_t id;
  const uint8_t *msg;
  uint32_t msg_len;
  const uint8_t *key;
  uint32_t key_len;
  const uint8_t *mac;
  uint32_t mac_len;
};

// A public-key encryption entry; keys are DER (PKCS #1 for RSA), parameters absent for RSA.
struct PencKat {
  int32_t id;
  const uint8_t *pt;
  uint32_t pt_len;
  const uint8_t *ct;
  uint32_t ct_len;
  QL_OAEP_PARAM oaep;
  int32_t pkey;
  const uint8_t *params;
  uint32_t params_len;
  const uint8_t *priv;
  uint32_t priv_len;
  const uint8_t *pub;
  uint32_t pub_len;
};

// A signature entry; `pss` is read only by the PSS scheme.
struct SignKat {
  int32_t id;
  const uint8_t *msg;
  uint32_t msg_len;
  const uint8_t *sig;
  uint32_t sig_len;
  QL_PSS_PARAM pss;
  int32_t pkey;
  const uint8_t *params;
  uint32_t params_len;
  const uint8_t *priv;
  uint32_t priv_len;
  const uint8_t *pub;
  uint32_t pub_len;
};

#include "module/ql_selftest_kat.inc"

}  // namespace kat
}  // namespace ql

#endif  // QL_SELFTEST_KAT_H
