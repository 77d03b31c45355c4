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

}  // namespace ql

// The whole self-test, in the order known answers, file signature, entropy source: 0 when
// every part passed, else -6089.
int32_t QL_CMVP_SelfTest(void);

#endif  // QL_SELFTEST_H
