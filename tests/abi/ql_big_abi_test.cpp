// The integer functions as callers load them: every name versioned, the record layout fixed.
#include <gtest/gtest.h>

#include <cstddef>

#include "QuillonCrypto.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace {

// ELF symbol versions; the Windows export table is checked against the header separately.
#if !defined(_WIN32)
TEST(BigAbi, EveryIntegerFunctionIsExported) {
  void *h = dlopen(QL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(h, nullptr) << dlerror();
  for (const char *name :
       {"QL_Big_New", "QL_Big_Delete", "Big_Dump", "U8ToBig", "U8ToBig_2", "Big_HexU8ToBig",
        "BigToU8", "BigToU82", "Big_GetFilledBitNum", "Big_UComp", "Big_Comp", "Big_IsEqual",
        "Big_GE", "Big_GT", "Big_AbsAdd", "Big_AbsSub", "Big_Add", "Big_Sub", "Big_AddByWord",
        "Big_SubByWord", "Big_AbsInc", "Big_AbsDec", "EB_Add", "BAdd", "NAdd", "IsLargerDeg",
        "Big_Mul", "Big_Sqr", "NMul", "NMulAdd", "Big_LShift1", "Big_RShift1", "Big_LShift",
        "Big_RShift", "Big_DivByWord", "Big_ModU32", "Big_Div", "Big_Mod", "Big_MulMod",
        "Big_SqrMod", "Big_SubMod", "Big_ModAdd", "Big_GCD", "Big_ExtendedGCD", "Big_InvMod",
        "Big_Inv", "QL_MONT_CTX_New", "QL_MONT_CTX_Delete", "Big_MontInit",
        "Big_MontReduction", "Big_MontMul", "Big_MontSqr", "Big_ModExp", "Big_ModExpWindowMont",
        "Big_ModExpWindow2"}) {
    EXPECT_NE(dlvsym(h, name, "QUILLONCRYPTO_1.1"), nullptr) << name;
  }
  EXPECT_EQ(dlsym(h, "_ZN2ql7big_divEP3BigS1_RKS0_S3_"), nullptr);
  dlclose(h);
}
#endif

TEST(BigAbi, RecordsAreLaidOutAsDocumented) {
  EXPECT_EQ(offsetof(Big, sign), 0u);
  EXPECT_EQ(offsetof(Big, words), 4u);
  EXPECT_EQ(offsetof(Big, length), 4u + 4u * QL_BIG_WORDS);
  EXPECT_EQ(sizeof(Big), 1036u);
  Big *b = QL_Big_New();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->length, 0);
  EXPECT_EQ(b->sign, 0u);
  QL_Big_Delete(b);
  QL_Big_Delete(nullptr);
  QL_MONT_CTX *ctx = QL_MONT_CTX_New();
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->n_prime, 0u);
  QL_MONT_CTX_Delete(ctx);
  QL_MONT_CTX_Delete(nullptr);
}

}  // namespace
