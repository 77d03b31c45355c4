// The shared library as a caller sees it: usable from C, every public symbol versioned, nothing
// internal exported.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "QuillonCrypto.h"

extern "C" int ql_c_header_version_ok(void);

namespace {

TEST(Abi, HeaderWorksFromC) { EXPECT_EQ(ql_c_header_version_ok(), 1); }

TEST(Abi, SymbolsAreVersionedAndInternalsHidden) {
  void *h = dlopen(QL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(h, nullptr) << dlerror();
  for (const char *name : {"QL_GetErrorString", "QLC_CM_ErrorString", "QL_GetVersion",
                           "QLC_CM_Version", "QLC_CM_StateInit", "QLC_CM_StateFinal",
                           "QLC_CM_StateChange", "QLC_CM_StateInfo"}) {
    EXPECT_NE(dlvsym(h, name, "QUILLONCRYPTO_1.1"), nullptr) << name;
  }
  // Internal transitions and gates are not part of the interface.
  for (const char *name : {"QLC_CMVP_MoveState", "QLC_State_CheckAlgID",
                           "QLC_CMVP_State_CheckSYMID", "_ZN2ql5allocEm"}) {
    EXPECT_EQ(dlsym(h, name), nullptr) << name;
  }
  dlclose(h);
}

}  // namespace
