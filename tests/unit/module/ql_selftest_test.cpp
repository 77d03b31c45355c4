// The self-test's known answers and entropy check: all pass as shipped; a fault injected into
// one family fails the result, the other families still run (signatures only after a
// successful public-key encryption), and the module state does not change the outcome.
#include "module/ql_selftest.h"

#include <gtest/gtest.h>

#include "QuillonCrypto.h"
#include "internal/ql_status.h"
#include "module/ql_cmvp.h"

namespace {

using ql::test::SelfTestFault;

constexpr uint32_t kAllFamilies = 0x3f;
constexpr uint32_t kNoSignatures = 0x1f;

struct FaultCase {
  const char *name;
  SelfTestFault fault;
  int32_t known_answers;  // result of the known-answer tests
  uint32_t families_run;
  int32_t entropy;   // result of the entropy check
  bool both_states;  // also run in the non-approved state (each run costs many RSA operations)
};

const FaultCase kCases[] = {
    {"none", SelfTestFault::kNone, 0, kAllFamilies, 0, true},
    {"cipher decrypts wrongly", SelfTestFault::kCipherDecrypt, -6089, kAllFamilies, 0, true},
    {"digest", SelfTestFault::kDigest, -6089, kAllFamilies, 0, false},
    {"hmac", SelfTestFault::kHmac, -6089, kAllFamilies, 0, false},
    {"x9.62", SelfTestFault::kX962, -6089, kAllFamilies, 0, false},
    {"oaep ciphertext", SelfTestFault::kPublicKeyDecrypt, -6089, kNoSignatures, 0, false},
    {"signature", SelfTestFault::kSignature, -6089, kAllFamilies, 0, false},
    {"entropy repeats", SelfTestFault::kEntropyRepeat, 0, kAllFamilies, -6089, false},
};

TEST(SelfTest, KnownAnswersAndEntropyUnderEachFault) {
  const int32_t saved = ql::cmvp_state();
  for (const FaultCase &c : kCases) {
    ql::test::selftest_inject(c.fault);
    // The approved and the non-approved state give the same results.
    for (int32_t state : {5, 3}) {
      if (state == 3 && !c.both_states) {
        continue;
      }
      ql::test::set_state(state);
      EXPECT_EQ(c.known_answers, ql::selftest_known_answers()) << c.name << " state " << state;
      EXPECT_EQ(c.families_run, ql::test::selftest_families_run()) << c.name;
      EXPECT_EQ(state, ql::cmvp_state()) << c.name;
    }
    EXPECT_EQ(c.entropy, ql::selftest_entropy()) << c.name;
  }
  ql::test::selftest_inject(SelfTestFault::kNone);
  ql::test::set_state(saved);
}

}  // namespace
