// Internal interface of PKCS #1: the encodings behind the exported functions (same rules and
// codes), the public-key decoder bounded by the caller's real input length for the dispatcher,
// and the test hook that supplies fixed random bytes.
#ifndef QL_PKCS1_H
#define QL_PKCS1_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "internal/ql_status.h"

namespace ql {

// The longest OAEP label the encryption and decryption functions take.
constexpr uint32_t kMaxOaepLabelLen = 32768;

Status pkcs1_i2osp(uint8_t *out, uint32_t len, const Big *x);
Status pkcs1_os2ip(Big *x, const uint8_t *in, uint32_t len);
// I2OSP of a secret value below 256^len (a decrypted block): exactly `len` bytes, in time
// and with memory accesses that depend only on `len`.
void pkcs1_i2osp_secret(uint8_t *out, uint32_t len, const Big &x);
Status eme_v15_encode(uint8_t *em, uint32_t k, const uint8_t *m, uint32_t m_len);
Status eme_v15_decode(uint8_t *m, uint32_t *m_len, const uint8_t *em, uint32_t em_len);
Status eme_oaep_encode(uint8_t *em, uint32_t k, const uint8_t *m, uint32_t m_len,
                       const QL_OAEP_PARAM *param);
Status eme_oaep_decode(uint8_t *m, uint32_t *m_len, const uint8_t *em, uint32_t k,
                       const QL_OAEP_PARAM *param);
Status emsa_v15_encode(uint8_t *em, uint32_t em_len, int32_t hash_id, const uint8_t *h,
                       uint32_t h_len);
Status emsa_pss_encode(uint8_t *em, uint32_t em_bits, const uint8_t *m_hash, uint32_t h_len,
                       uint32_t s_len, const QL_PSS_PARAM *param);
Status emsa_pss_verify(const uint8_t *em, uint32_t em_bits, const uint8_t *m_hash, uint32_t h_len,
                       const QL_PSS_PARAM *param);

// Decodes an RSAPublicKey that must lie within in[0..in_len): the dispatcher passes the real
// input length here. Codes as QL_PKCS1_PublicKeyDecode, which trusts the structure's own
// header for its extent; trailing bytes after the structure are ignored.
Status public_key_decode(QL_RSA_PUBLIC_KEY *pub, const uint8_t *in, uint32_t in_len);
Status private_key_decode(QL_RSA_PRIVATE_KEY *priv, const uint8_t *in, uint32_t in_len);

#if defined(QL_TEST_HOOKS)
namespace test {
// Makes the paddings take their random bytes (v1.5 padding string, OAEP seed, PSS salt) from
// the `len` bytes at `bytes`, in order, until they are used up; the generator supplies the
// rest. `bytes` must stay valid meanwhile; NULL turns the hook off. Not thread-safe.
void pkcs1_fixed_random(const uint8_t *bytes, size_t len);
}  // namespace test
#endif

}  // namespace ql

#endif  // QL_PKCS1_H
