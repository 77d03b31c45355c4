// The signed library file as the module checks it: the file the build signed, the same file
// named by a path at the length limit, and damaged copies of it. The error state lasts for the
// process, so each case is its own test process (CTest runs every case alone).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "QuillonCrypto.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

constexpr int32_t kCheckFailed = -6089;
constexpr int32_t kSelfTestFailed = -6062;
constexpr int32_t kErrorState = -6066;
constexpr size_t kTrailerLen = 132;

using Bytes = std::vector<char>;

// Writes `bytes` to a file of the case's own and returns its name.
std::string write_copy(const char *name, const Bytes &bytes) {
  const std::string path = std::string("selftest_") + name + ".bin";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// The library file named by a path of `len` bytes: extra slashes before its absolute path.
std::string padded_path(const std::string &file, size_t len) {
  return std::string(len - file.size(), '/') + file;
}

struct FileCase {
  const char *name;
  bool non_approved;  // run after switching to the non-approved state
  bool valid;
  // What QL_CM_PATH names, made from the signed library's `bytes` and `path`; nullptr unsets.
  std::string *(*input)(const char *name, Bytes &bytes, std::string &path);
};

std::string *changed(const char *name, Bytes &bytes, std::string &path, size_t at) {
  bytes[at] ^= 0x01;
  path = write_copy(name, bytes);
  return &path;
}

const FileCase kCases[] = {
    {"Signed", false, true, [](const char *, Bytes &, std::string &p) { return &p; }},
    {"SignedNonApproved", true, true, [](const char *, Bytes &, std::string &p) { return &p; }},
    {"LongestPath", false, true,
     [](const char *, Bytes &, std::string &p) { return &(p = padded_path(p, 1023)); }},
    {"TooLongPath", false, false,
     [](const char *, Bytes &, std::string &p) { return &(p = padded_path(p, 1024)); }},
    {"Unset", false, false,
     [](const char *, Bytes &, std::string &) -> std::string * { return nullptr; }},
    {"Empty", false, false, [](const char *, Bytes &, std::string &p) { return &(p = ""); }},
    {"Missing", false, false,
     [](const char *, Bytes &, std::string &p) { return &(p = "selftest_missing.bin"); }},
    {"TrailerOnly", false, false,
     [](const char *n, Bytes &b, std::string &p) {
       return &(p = write_copy(n, Bytes(b.end() - kTrailerLen, b.end())));
     }},
    {"Unsigned", false, false,
     [](const char *n, Bytes &b, std::string &p) {
       b.resize(b.size() - kTrailerLen);
       return &(p = write_copy(n, b));
     }},
    {"MarkChanged", false, false,
     [](const char *n, Bytes &b, std::string &p) {
       return changed(n, b, p, b.size() - kTrailerLen + 3);
     }},
    {"FirstByte", false, false,
     [](const char *n, Bytes &b, std::string &p) { return changed(n, b, p, 0); }},
    {"LastSignedByte", false, false,
     [](const char *n, Bytes &b, std::string &p) {
       return changed(n, b, p, b.size() - kTrailerLen - 1);
     }},
    {"SignatureByte", true, false,
     [](const char *n, Bytes &b, std::string &p) { return changed(n, b, p, b.size() - 1); }},
    {"Appended", false, false,
     [](const char *n, Bytes &b, std::string &p) {
       b.push_back(0);
       return &(p = write_copy(n, b));
     }},
};

// Case names in test output, rather than the record's bytes.
void PrintTo(const FileCase &c, std::ostream *os) { *os << c.name; }

std::string library_file() {
#if defined(_WIN32)
  char path[MAX_PATH] = {};
  GetModuleFileNameA(GetModuleHandleA("QuillonCrypto.dll"), path, MAX_PATH);
  return path;
#else
  return QL_LIBRARY_FILE;
#endif
}

void set_path(const std::string *value) {
#if defined(_WIN32)
  _putenv_s("QL_CM_PATH", value == nullptr ? "" : value->c_str());
#else
  if (value == nullptr) {
    unsetenv("QL_CM_PATH");
  } else {
    setenv("QL_CM_PATH", value->c_str(), 1);
  }
#endif
}

class SelfTestFile : public testing::TestWithParam<FileCase> {};

TEST_P(SelfTestFile, ChecksTheFileAndStopsTheModuleOnFailure) {
  const FileCase &c = GetParam();
  const std::string lib = library_file();
  std::ifstream in(lib, std::ios::binary);
  Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_GT(bytes.size(), kTrailerLen) << lib;
  ASSERT_EQ(std::string(bytes.end() - kTrailerLen, bytes.end() - kTrailerLen + 4), "SIGN");
#if defined(_WIN32)
  if (c.valid && std::string(c.name) == "LongestPath") {
    GTEST_SKIP() << "Windows paths are shorter";
  }
#endif
  std::string path = lib;
  set_path(c.input(c.name, bytes, path));

  // The check alone changes no state, before or after start-up.
  EXPECT_EQ(QL_CMVP_IntegrityCheck(), c.valid ? 0 : kCheckFailed);
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_NOT_INITIALIZED);
  if (c.non_approved) {
    ASSERT_EQ(QLC_CM_StateInit(), 0);
    ASSERT_EQ(QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED), 0);
    EXPECT_EQ(QL_CMVP_IntegrityCheck(), c.valid ? 0 : kCheckFailed);
    EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_NON_APPROVED);
  }

  // The self-test passes and leaves the working state as it was (5 from the start), or fails
  // and stops the module for the rest of the process.
  const int32_t r = QLC_CM_SelfTest();
  const int32_t state = QLC_CM_StateInfo();
  uint8_t digest[64];
  uint32_t digest_len = 0;
  const uint8_t abc[] = {'a', 'b', 'c'};
  const int32_t hashed = QLC_Hash(digest, &digest_len, abc, sizeof(abc), QL_HASH_SHA256);
  if (c.valid) {
    EXPECT_EQ(r, 0);
    EXPECT_EQ(state, c.non_approved ? QLC_CM_STATE_NON_APPROVED : QLC_CM_STATE_APPROVED);
    EXPECT_EQ(hashed, 0);
  } else {
    EXPECT_EQ(r, kSelfTestFailed);
    EXPECT_EQ(state, QLC_CM_STATE_ERROR);
    EXPECT_EQ(hashed, kErrorState);
    EXPECT_EQ(QLC_CM_SelfTest(), kErrorState);
    EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_ERROR);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SelfTestFile, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FileCase> &p) {
                           return std::string(p.param.name);
                         });

}  // namespace
