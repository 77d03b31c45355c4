// The digest family as the shared library exports it: every public name versioned, the
// boundary's internal helpers and the internal compression functions hidden.
#include <gtest/gtest.h>

// ELF symbol versions; the Windows export table is checked against the header separately.
#if !defined(_WIN32)
#include <dlfcn.h>


namespace {

TEST(DigestAbi, PublicNamesVersionedInternalsHidden) {
  void *h = dlopen(QL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(h, nullptr) << dlerror();
  for (const char *name :
       {"QL_SHA1_Init", "QL_SHA1_Update", "QL_SHA1_Final", "QL_SHA1", "QL_SHA256_Init",
        "QL_SHA256_Update", "QL_SHA256_Final", "QL_SHA256", "SHA256_Transform", "QL_SHA384_Init",
        "QL_SHA384_Update", "QL_SHA384_Final", "QL_SHA384", "QL_SHA512_Init", "QL_SHA512_Update",
        "QL_SHA512_Final", "QL_SHA512", "SHA512_Transform", "QL_HAS160_Init", "QL_HAS160_Update",
        "QL_HAS160_Final", "QL_HAS160", "QL_Hash_CTX_New", "QL_Hash_CTX_Delete", "QL_Hash_GetInfo",
        "QL_Hash_Init", "QL_Hash_Update", "QL_Hash_Final", "QL_Hash", "QL_HMAC_CTX_New",
        "QL_HMAC_CTX_Delete", "QL_HMAC_GetInfo", "QL_HMAC_Init", "QL_HMAC_Update", "QL_HMAC_Final",
        "QL_HMAC", "QLC_Hash", "QLC_Hash_Init", "QLC_Hash_Update", "QLC_Hash_Final", "QLC_HMAC",
        "QLC_HMAC_Init", "QLC_HMAC_Update", "QLC_HMAC_Final"}) {
    EXPECT_NE(dlvsym(h, name, "QUILLONCRYPTO_1.1"), nullptr) << name;
  }
  for (const char *name :
       {"SHA1_Transform", "SHA_Update", "HAS_Round", "QLC_Hash_CTX_New", "QLC_Hash_CTX_Delete",
        "QLC_HMAC_CTX_New", "QLC_HMAC_CTX_Delete", "QLC_Hash_CTX_Copy", "QLC_HMAC_CTX_Copy",
        "QLC_KEY_SecKey_Decode", "QLC_State_CheckHashCtxState", "QLC_State_CheckHmacCtxState"}) {
    EXPECT_EQ(dlsym(h, name), nullptr) << name;
  }
  dlclose(h);
}

}  // namespace

#endif
