// Internal interface of the KCDSA unit: the test hook that fixes the per-signature secret, so
// that published signatures can be reproduced.
#ifndef QL_KCDSA_H
#define QL_KCDSA_H

#include "QuillonCrypto.h"

namespace ql {

#if defined(QL_TEST_HOOKS)
namespace test {
// Makes the next signing attempt use `k` (taken as it is, not reduced) instead of a random
// value; later attempts draw again. NULL cancels a pending value. Not thread-safe.
void kcdsa_use_nonce(const Big *k);
}  // namespace test
#endif

}  // namespace ql

#endif  // QL_KCDSA_H
