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

// What QL_CM_PATH is made to name.
enum class Input {
  kSigned,          // the library file
  kUnset,           // no variable at all
  kEmpty,           // an empty value
  kLongestPath,     // the library file by a path of 1023 bytes
  kTooLongPath,     // the library file by a path of 1024 bytes
  kMissing,         // a file that does not exist
  kTrailerOnly,     // the file's 132-byte trailer alone
  kUnsigned,        // the file without its trailer
  kMarkChanged,     // "SIGn" in place of "SIGN"
  kFirstByte,       // the first byte changed
  kLastSignedByte,  // the byte just before the trailer changed
  kSignatureByte,   // the last byte of the signature changed
  kAppended,        // one more byte after the trailer
};

struct FileCase {
  const char *name;
  Input input;
  bool non_approved;  // run after switching to the non-approved state
  bool valid;
};

const FileCase kCases[] = {
    {"Signed", Input::kSigned, false, true},
    {"SignedNonApproved", Input::kSigned, true, true},
    {"LongestPath", Input::kLongestPath, false, true},
    {"Unset", Input::kUnset, false, false},
    {"Empty", Input::kEmpty, false, false},
    {"TooLongPath", Input::kTooLongPath, false, false},
    {"Missing", Input::kMissing, false, false},
    {"TrailerOnly", Input::kTrailerOnly, false, false},
    {"Unsigned", Input::kUnsigned, false, false},
    {"MarkChanged", Input::kMarkChanged, false, false},
    {"FirstByte", Input::kFirstByte, false, false},
    {"LastSignedByte", Input::kLastSignedByte, false, false},
    {"SignatureByte", Input::kSignatureByte, true, false},
    {"Appended", Input::kAppended, false, false},
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

void set_path(const char *value) {
#if defined(_WIN32)
  _putenv_s("QL_CM_PATH", value == nullptr ? "" : value);
#else
  if (value == nullptr) {
    unsetenv("QL_CM_PATH");
  } else {
    setenv("QL_CM_PATH", value, 1);
  }
#endif
}

std::vector<char> read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes `bytes` to a file of the case's own and returns its name.
std::string write_copy(const char *name, const std::vector<char> &bytes) {
  const std::string path = std::string("selftest_") + name + ".bin";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// The library file named by a path of `len` bytes: extra slashes after the first one.
std::string padded_path(const std::string &file, size_t len) {
  return std::string(len - file.size(), '/') + file;
}

class SelfTestFile : public testing::TestWithParam<FileCase> {};

TEST_P(SelfTestFile, ChecksTheFileAndStopsTheModuleOnFailure) {
  const FileCase &c = GetParam();
  const std::string lib = library_file();
  std::vector<char> bytes = read_file(lib);
  ASSERT_GT(bytes.size(), kTrailerLen) << lib;
  ASSERT_EQ(std::string(bytes.end() - kTrailerLen, bytes.end() - kTrailerLen + 4), "SIGN");
  std::string path;
  switch (c.input) {
    case Input::kSigned:
      path = lib;
      break;
    case Input::kUnset:
      break;
    case Input::kEmpty:
      path = "";
      break;
    case Input::kLongestPath:
    case Input::kTooLongPath:
#if defined(_WIN32)
      if (c.valid) {
        GTEST_SKIP() << "Windows paths are shorter";
      }
#else
      ASSERT_EQ(lib[0], '/');
#endif
      path = padded_path(lib, c.input == Input::kLongestPath ? 1023 : 1024);
      break;
    case Input::kMissing:
      path = "selftest_missing.bin";
      std::remove(path.c_str());
      break;
    case Input::kTrailerOnly:
      path = write_copy(c.name, std::vector<char>(bytes.end() - kTrailerLen, bytes.end()));
      break;
    case Input::kUnsigned:
      bytes.resize(bytes.size() - kTrailerLen);
      path = write_copy(c.name, bytes);
      break;
    case Input::kMarkChanged:
      bytes[bytes.size() - kTrailerLen + 3] = 'n';
      path = write_copy(c.name, bytes);
      break;
    case Input::kFirstByte:
    case Input::kLastSignedByte:
    case Input::kSignatureByte:
      bytes[c.input == Input::kFirstByte        ? 0
            : c.input == Input::kLastSignedByte ? bytes.size() - kTrailerLen - 1
                                                : bytes.size() - 1] ^= 0x01;
      path = write_copy(c.name, bytes);
      break;
    case Input::kAppended:
      bytes.push_back(0);
      path = write_copy(c.name, bytes);
      break;
  }
  set_path(c.input == Input::kUnset ? nullptr : path.c_str());

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
