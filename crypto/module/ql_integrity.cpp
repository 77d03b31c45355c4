// The check of the library's own file and the power-up self-test around it. The file that
// QL_CM_PATH names ends in a 132-byte trailer, "SIGN" and an RSASSA-PKCS1-v1_5 SHA-1 signature
// over every byte before it, made with the private half of the integrity key embedded here.
// Nothing in the file is secret; every failure of the check is the one code kErrSelfTestCheck.
#include <cstdint>
#include <cstring>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "module/ql_cmvp.h"
#include "module/ql_selftest.h"
#include "platform/ql_platform.h"

namespace ql {
namespace {

// The integrity key: the DER RSAPublicKey of a 1024-bit modulus with exponent 65537, written at
// build time from the key file that signs the library, so the two always match.
constexpr uint8_t integrity_key[] = {
#include "module/ql_integrity_key.inc"
};
static_assert(sizeof(integrity_key) == 140, "a 1024-bit RSAPublicKey is 140 bytes of DER");

constexpr size_t kPathSize = 1024;  // QL_CM_PATH values of up to 1023 bytes are taken
constexpr size_t kTrailerLen = 132;
constexpr size_t kMarkLen = 4;
constexpr uint32_t kSignatureLen = 128;
constexpr char kTrailerMark[kMarkLen + 1] = "SIGN";
constexpr int32_t kSchemeRsaPkcs1Sha1 = 3;
// cmvp_verify without memory for its key record; never leaves this unit.
constexpr Status kVerifyNoKeyRecord = -1;

// Whether the `signature_len` bytes at `signature` are the integrity key's RSASSA-PKCS1-v1_5
// SHA-1 signature of the `data_len` bytes at `data`: 0 when they are, else the dispatcher's
// code, or kVerifyNoKeyRecord when the key record cannot be allocated.
Status cmvp_verify(const uint8_t *signature, uint32_t signature_len, const uint8_t *data,
                   uint32_t data_len) {
  QL_ASYM_KEY *key = QL_ASYM_PublicKey_New();
  if (key == nullptr) {
    return kVerifyNoKeyRecord;
  }
  Status r =
      QL_ASYM_PublicKey_Decode(key, QL_PKEY_RSA, integrity_key, sizeof(integrity_key), nullptr);
  if (r == kOk) {
    r = QL_ASYM_Verify(signature, signature_len, 0, data, data_len, kSchemeRsaPkcs1Sha1, key,
                       nullptr, nullptr);
  }
  QL_ASYM_PublicKey_Delete(key);
  return r;
}

}  // namespace

Status integrity_check() {
  char path[kPathSize] = {};
  uint8_t trailer[kTrailerLen] = {};
  // An unset, empty or too long variable leaves the path empty, which no file opens.
  platform::module_file_path(path, sizeof(path));
  platform::File file(path);
  if (!file.is_open()) {
    return kErrSelfTestCheck;
  }
  // The size of the stream just opened: the trailer and the data below come from that one file,
  // whatever happens at the path meanwhile. The verifier takes 32-bit lengths, so a larger file
  // is refused rather than checked only in part.
  const int64_t size = file.size();
  if (size <= static_cast<int64_t>(kTrailerLen) || static_cast<uint64_t>(size) > UINT32_MAX ||
      static_cast<uint64_t>(size) > SIZE_MAX) {
    return kErrSelfTestCheck;
  }
  const size_t file_len = static_cast<size_t>(size);
  if (!file.seek(size - static_cast<int64_t>(kTrailerLen)) ||
      file.read(trailer, kTrailerLen) != kTrailerLen ||
      std::memcmp(trailer, kTrailerMark, kMarkLen) != 0) {
    return kErrSelfTestCheck;
  }
  Buffer data(file_len);
  if (!data || !file.seek(0) || file.read(data.data(), file_len) != file_len) {
    return kErrSelfTestCheck;
  }
  const Status r = cmvp_verify(trailer + kMarkLen, kSignatureLen, data.data(),
                               static_cast<uint32_t>(file_len - kTrailerLen));
  return r == kOk ? kOk : kErrSelfTestCheck;
}

}  // namespace ql

int32_t QL_CMVP_SelfTest(void) {
  // Each part runs only when the ones before it passed; any failure is the same code.
  if (ql::selftest_known_answers() != ql::kOk || ql::integrity_check() != ql::kOk ||
      ql::selftest_entropy() != ql::kOk) {
    return ql::kErrSelfTestCheck;
  }
  return ql::kOk;
}

// Exported functions.

int32_t QLC_CM_SelfTest(void) {
  const int32_t r = QLC_CM_StateInit();
  if (r != ql::kOk) {
    return r;
  }
  if (QL_CMVP_SelfTest() == ql::kOk) {
    return ql::kOk;
  }
  // Whatever failed, the module stops for good.
  QLC_CMVP_MoveState(QLC_CM_STATE_ERROR);
  return ql::kErrSelfTestFailed;
}

int32_t QL_CMVP_IntegrityCheck(void) { return ql::integrity_check(); }
