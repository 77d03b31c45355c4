// The shared library as a caller sees it: usable from C, every public symbol exported (versioned
// on ELF systems, at its fixed ordinal on Windows), nothing internal exported.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

#include "QuillonCrypto.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

extern "C" int ql_c_header_version_ok(void);

namespace {

const char *const kInterface[] = {"QL_GetErrorString", "QLC_CM_ErrorString", "QL_GetVersion",
                                  "QLC_CM_Version",    "QLC_CM_StateInit",   "QLC_CM_StateFinal",
                                  "QLC_CM_StateChange", "QLC_CM_StateInfo"};
// The allocator's C++ name, which depends on the type size_t is on this target.
constexpr const char *kAllocName = std::is_same<size_t, unsigned long>::value ? "_ZN2ql5allocEm"
                                   : std::is_same<size_t, unsigned int>::value
                                       ? "_ZN2ql5allocEj"
                                       : "_ZN2ql5allocEy";
// Internal transitions, gates and the allocator.
const char *const kInternal[] = {"QLC_CMVP_MoveState", "QLC_State_CheckAlgID",
                                 "QLC_CMVP_State_CheckSYMID", kAllocName};

TEST(Abi, HeaderWorksFromC) { EXPECT_EQ(ql_c_header_version_ok(), 1); }

#if !defined(_WIN32)

TEST(Abi, SymbolsAreVersionedAndInternalsHidden) {
  void *h = dlopen(QL_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(h, nullptr) << dlerror();
  for (const char *name : kInterface) {
    EXPECT_NE(dlvsym(h, name, "QUILLONCRYPTO_1.1"), nullptr) << name;
  }
  for (const char *name : kInternal) { EXPECT_EQ(dlsym(h, name), nullptr) << name; }
  dlclose(h);
}

#else

// The reference table of fixed ordinals: "ordinal name" lines.
std::vector<std::pair<uint16_t, std::string>> ordinal_table() {
  std::vector<std::pair<uint16_t, std::string>> table;
  std::ifstream in(std::string(QL_VECTOR_DIR) + "/ordinals.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') { continue; }
    const size_t space = line.find(' ');
    table.emplace_back(static_cast<uint16_t>(std::stoul(line.substr(0, space))),
                       line.substr(space + 1));
  }
  return table;
}

FARPROC by_ordinal(HMODULE h, uint16_t ordinal) {
  return GetProcAddress(h, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(ordinal)));
}

TEST(Abi, DllExportsInterfaceOnly) {
  HMODULE h = LoadLibraryA(QL_LIBRARY_FILE);
  ASSERT_NE(h, nullptr) << GetLastError();
  for (const char *name : kInterface) { EXPECT_NE(GetProcAddress(h, name), nullptr) << name; }
  for (const char *name : kInternal) { EXPECT_EQ(GetProcAddress(h, name), nullptr) << name; }
  FreeLibrary(h);
}

// As the loader resolves a caller that imports by ordinal: each fixed ordinal reaches the
// function of that name, or nothing when the function is not built.
TEST(Abi, FixedOrdinalsReachTheirFunctions) {
  const auto table = ordinal_table();
  ASSERT_EQ(table.size(), 38u);
  HMODULE h = LoadLibraryA(QL_LIBRARY_FILE);
  ASSERT_NE(h, nullptr) << GetLastError();
  int found = 0;
  for (const auto &entry : table) {
    const FARPROC named = GetProcAddress(h, entry.second.c_str());
    EXPECT_EQ(by_ordinal(h, entry.first), named) << entry.first << " " << entry.second;
    found += named != nullptr ? 1 : 0;
  }
  EXPECT_GE(found, 6);
  // Called through its ordinal, QLC_CM_ErrorString answers as itself. (Through the generic
  // function type first: GCC accepts that cast to any function type.)
  using ErrorString = const char *(*)(int32_t);
  const auto error_string =
      reinterpret_cast<ErrorString>(reinterpret_cast<void (*)()>(by_ordinal(h, 5)));
  ASSERT_NE(error_string, nullptr);
  EXPECT_STREQ(error_string(-6066), "crypto is in error state");
  FreeLibrary(h);
}

#endif

}  // namespace
