// The PKCS #1 padding checks on arbitrary blocks against OpenSSL's: the input picks the check
// (v1.5 encryption block, OAEP block, PSS block), digests, MGF, a label or digest, the PSS bit
// length, and the block itself. Invariants: both accept or both refuse; an accepted block
// gives the same message; a refused one leaves the output buffer and length untouched. The
// OpenSSL calls are its low-level padding functions, kept for exactly this use.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstring>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_fuzz.h"

namespace {

constexpr uint8_t kFill = 0xA5;
constexpr int32_t kHashes[] = {2, 3, 4, 5};  // SHA-1, SHA-256, SHA-384, SHA-512
constexpr int32_t kMgfs[] = {1, 3, 4, 5};    // MGF1 with the same four

const EVP_MD *md_of(int32_t hash_id) {
  switch (hash_id) {
    case 2: return EVP_sha1();
    case 3: return EVP_sha256();
    case 4: return EVP_sha384();
    default: return EVP_sha512();
  }
}

const EVP_MD *mgf_md_of(int32_t mgf_id) { return md_of(mgf_id == 1 ? 2 : mgf_id); }

bool untouched(const std::vector<uint8_t> &buf) {
  for (const uint8_t b : buf) {
    if (b != kFill) { return false; }
  }
  return true;
}

void check_v15(const std::vector<uint8_t> &em) {
  const uint32_t k = static_cast<uint32_t>(em.size());
  std::vector<uint8_t> m(k > 11 ? k - 11 : 1, kFill);
  uint32_t m_len = 0xFFFFFFFFu;
  const int32_t st = QL_PKCS1_EME_V15_Decode(m.data(), &m_len, em.data(), k);
  std::vector<uint8_t> to(k + 1);
  const int n = RSA_padding_check_PKCS1_type_2(to.data(), static_cast<int>(to.size()), em.data(),
                                               static_cast<int>(k), static_cast<int>(k));
  QL_FUZZ_CHECK((st == 0) == (n >= 0));
  if (st == 0) {
    QL_FUZZ_CHECK(m_len == static_cast<uint32_t>(n));
    QL_FUZZ_CHECK(std::memcmp(m.data(), to.data(), m_len) == 0);
  } else {
    QL_FUZZ_CHECK(st == -3009 && m_len == 0xFFFFFFFFu && untouched(m));
  }
}

void check_oaep(uint8_t pick, const std::vector<uint8_t> &label, const std::vector<uint8_t> &em) {
  const int32_t hash_id = kHashes[pick & 3];
  const int32_t mgf_id = kMgfs[(pick >> 2) & 3];
  QL_OAEP_PARAM param = {hash_id, mgf_id, 1, const_cast<uint8_t *>(label.data()),
                         static_cast<uint32_t>(label.size())};
  if (label.empty()) { param.label = nullptr; }
  const uint32_t k = static_cast<uint32_t>(em.size());
  const uint32_t h = static_cast<uint32_t>(EVP_MD_get_size(md_of(hash_id)));
  std::vector<uint8_t> m(k > 2 * h + 2 ? k - 2 * h - 2 : 1, kFill);
  uint32_t m_len = 0xFFFFFFFFu;
  const int32_t st = QL_PKCS1_EME_OAEP_Decode(m.data(), &m_len, em.data(), k, &param);
  std::vector<uint8_t> to(k + 1);
  const int n = RSA_padding_check_PKCS1_OAEP_mgf1(
      to.data(), static_cast<int>(to.size()), em.data(), static_cast<int>(k), static_cast<int>(k),
      label.data(), static_cast<int>(label.size()), md_of(hash_id), mgf_md_of(mgf_id));
  QL_FUZZ_CHECK((st == 0) == (n >= 0));
  if (st == 0) {
    QL_FUZZ_CHECK(m_len == static_cast<uint32_t>(n));
    QL_FUZZ_CHECK(std::memcmp(m.data(), to.data(), m_len) == 0);
  } else {
    QL_FUZZ_CHECK(st == -3011 && m_len == 0xFFFFFFFFu && untouched(m));
  }
}

// OpenSSL checks a PSS block against a key: one whose modulus has em_bits + 1 bits.
void check_pss(uint8_t pick, const std::vector<uint8_t> &digest_bytes,
               const std::vector<uint8_t> &em) {
  const int32_t hash_id = kHashes[pick & 3];
  const int32_t mgf_id = kMgfs[(pick >> 2) & 3];
  const QL_PSS_PARAM param = {hash_id, mgf_id};
  const uint32_t em_len = static_cast<uint32_t>(em.size());
  const uint32_t em_bits = 8 * em_len - (pick >> 5);  // the top 0 to 7 bits unused
  const uint32_t h = static_cast<uint32_t>(EVP_MD_get_size(md_of(hash_id)));
  std::vector<uint8_t> m_hash(h, 0);
  for (size_t i = 0; i < h && i < digest_bytes.size(); i++) { m_hash[i] = digest_bytes[i]; }
  const int32_t st = QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, m_hash.data(), h, &param);

  BIGNUM *n = BN_new();
  BIGNUM *e = BN_new();
  QL_FUZZ_CHECK(n != nullptr && e != nullptr && BN_set_bit(n, static_cast<int>(em_bits)) == 1 &&
                BN_add_word(n, 1) == 1 && BN_set_word(e, 3) == 1);
  RSA *rsa = RSA_new();
  QL_FUZZ_CHECK(rsa != nullptr && RSA_set0_key(rsa, n, e, nullptr) == 1);
  // OpenSSL's block is the modulus length: one leading zero byte more when em_bits is whole.
  std::vector<uint8_t> full(static_cast<size_t>(RSA_size(rsa)) - em_len, 0);
  full.insert(full.end(), em.begin(), em.end());
  const int ok = RSA_verify_PKCS1_PSS_mgf1(rsa, m_hash.data(), md_of(hash_id),
                                           mgf_md_of(mgf_id), full.data(), RSA_PSS_SALTLEN_AUTO);
  RSA_free(rsa);
  QL_FUZZ_CHECK((st == 0) == (ok == 1));
  QL_FUZZ_CHECK(st == 0 || st == -3018);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  ql_fuzz::Reader r(data, size);
  const uint8_t which = r.byte() % 3;
  const uint8_t pick = r.byte();
  std::vector<uint8_t> extra(r.byte() % 65);
  r.bytes(extra.data(), extra.size());
  const size_t len = r.rest_len() > 1024 ? 1024 : r.rest_len();
  if (len == 0) {
    return 0;
  }
  // The block alone in an allocation of its exact length.
  const std::vector<uint8_t> em(r.rest(), r.rest() + len);
  if (which == 0) {
    check_v15(em);
  } else if (which == 1) {
    check_oaep(pick, extra, em);
  } else {
    check_pss(pick, extra, em);
  }
  return 0;
}
