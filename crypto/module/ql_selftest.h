// The module's power-up self-test, in three parts: the known answers of every approved
// algorithm family, the signature on the library's own file, and the entropy source's check
// that it does not repeat itself. Each part calls the algorithms directly, never the module
// services, so the self-test runs in any module state and changes none.
#ifndef QL_SELFTEST_H
#define QL_SELFTEST_H

#include "internal/ql_status.h"

namespace ql {

// The known-answer tests of the ciphers, digests, HMACs, the X9.62 generator, public-key
// encryption and signatures: 0 when every family passed, else kErrSelfTestCheck.
Status selftest_known_answers();

// The signature appended to the library file that QL_CM_PATH names: 0 when the file carries a
// valid one, else kErrSelfTestCheck.
Status integrity_check();

// Two entropy gatherings in a row: kErrSelfTestCheck when their pools are equal, else 0.
Status selftest_entropy();

#if defined(QL_TEST_HOOKS)
namespace test {
// One fault the next self-tests see, until another is set: a cipher that decrypts wrongly, a
// digest, HMAC or X9.62 output that differs from its known answer, a stored OAEP ciphertext
// or signature with a changed byte, or two equal entropy gatherings.
enum class SelfTestFault {
  kNone,
  kCipherDecrypt,
  kDigest,
  kHmac,
  kX962,
  kPublicKeyDecrypt,
  kSignature,
  kEntropyRepeat
};
void selftest_inject(SelfTestFault fault);

// The families the last selftest_known_answers ran, one bit each in the order ciphers (bit 0),
// digests, HMACs, X9.62, public-key encryption, signatures (bit 5).
uint32_t selftest_families_run();
}  // namespace test
#endif

}  // namespace ql

// The whole self-test, in the order known answers, file signature, entropy source: 0 when
// every part passed, else -6089.
int32_t QL_CMVP_SelfTest(void);

#endif  // QL_SELFTEST_H
