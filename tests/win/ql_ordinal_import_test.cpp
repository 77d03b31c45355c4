// A program linked with the ordinal-only import library: the loader binds each QLC_ function by
// its fixed ordinal, and the calls reach the right functions.
#include <gtest/gtest.h>

#include "QuillonCrypto.h"

namespace {

TEST(OrdinalImport, CallsReachTheirFunctions) {
  EXPECT_STREQ(QLC_CM_ErrorString(-6066), "crypto is in error state");
  EXPECT_STREQ(QLC_CM_ErrorString(-6065), "crypto is in finalized state");
  EXPECT_STREQ(QLC_CM_Version(0), "1.1.1.5");
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_NOT_INITIALIZED);
  EXPECT_EQ(QLC_CM_StateInit(), 0);
  EXPECT_EQ(QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED), 0);
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_NON_APPROVED);
  EXPECT_EQ(QLC_CM_StateFinal(), 0);
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_FINALIZED);
}

}  // namespace
