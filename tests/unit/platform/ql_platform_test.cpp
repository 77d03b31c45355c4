// The platform layer on the system it runs on: each service returns plausible data, checked
// where possible against what the system's own tools report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ql_platform.h"

namespace {

namespace pf = ql::platform;

// A lock at namespace scope, usable with no initialisation at load.
pf::Mutex g_test_mutex;

// The whole standard output of `command`, read in pieces of `piece` bytes.
std::string command_output(const char *command, size_t piece = 7) {
  pf::CommandPipe pipe(command);
  EXPECT_TRUE(pipe.is_open()) << command;
  std::string out;
  std::vector<uint8_t> buf(piece);
  size_t n;
  while ((n = pipe.read(buf.data(), buf.size())) > 0) {
    out.append(reinterpret_cast<const char *>(buf.data()), n);
  }
  EXPECT_EQ(pipe.read(buf.data(), buf.size()), 0u);
  return out;
}

std::string first_line(const std::string &s) { return s.substr(0, s.find_first_of("\r\n")); }

void set_env(const char *name, const char *value) {
#if defined(_WIN32)
  ASSERT_EQ(_putenv_s(name, value != nullptr ? value : ""), 0);
#else
  ASSERT_EQ(value != nullptr ? setenv(name, value, 1) : unsetenv(name), 0);
#endif
}

TEST(Platform, OnceRunsOnceAndTheLockSerialises) {
  pf::OnceFlag once;
  std::atomic<int> inits{0};
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; i++) {
        pf::call_once(once, [&] { inits.fetch_add(1); });
        const pf::LockGuard lock(g_test_mutex);
        counter++;
      }
    });
  }
  for (auto &th : threads) { th.join(); }
  EXPECT_EQ(inits.load(), 1);
  EXPECT_EQ(counter, 20000);
}

TEST(Platform, SystemRandomFillsExactlyTheRequestedBytes) {
  EXPECT_EQ(pf::system_random(nullptr, 0), 0u);
  // Lengths around the pieces a source may deliver, at an odd address, with guard bytes.
  for (size_t n : {1u, 15u, 16u, 33u, 128u, 4097u}) {
    std::vector<uint8_t> buf(n + 3, 0xA5);
    ASSERT_EQ(pf::system_random(buf.data() + 1, n), n) << n;
    EXPECT_EQ(buf[0], 0xA5) << n;
    EXPECT_EQ(buf[n + 1], 0xA5) << n;
    EXPECT_EQ(buf[n + 2], 0xA5) << n;
    if (n >= 16) {
      const auto first = buf.begin() + 1;
      EXPECT_GT(std::count_if(first, first + static_cast<std::ptrdiff_t>(n),
                              [](uint8_t v) { return v != 0xA5; }),
                static_cast<std::ptrdiff_t>(n / 2))
          << n;
    }
  }
  uint8_t a[32];
  uint8_t b[32];
  ASSERT_EQ(pf::system_random(a, sizeof(a)), sizeof(a));
  ASSERT_EQ(pf::system_random(b, sizeof(b)), sizeof(b));
  EXPECT_NE(std::memcmp(a, b, sizeof(a)), 0);
}

TEST(Platform, CommandOutputIsReadInPieces) {
  for (size_t piece : {1u, 3u, 512u}) {
    EXPECT_EQ(first_line(command_output("echo ql-platform-42", piece)), "ql-platform-42");
  }
  EXPECT_EQ(command_output("exit 0"), "");
}

TEST(Platform, ClocksAndIdentifiers) {
  const uint32_t before = static_cast<uint32_t>(std::time(nullptr));
  const uint32_t now = pf::time_seconds();
  EXPECT_LE(before, now);
  EXPECT_LE(now - before, 5u);
  // Processor time grows while the process computes.
  const uint32_t c0 = pf::processor_clock();
  volatile uint32_t sink = 0;
  for (uint32_t i = 0; i < 50000000u && pf::processor_clock() == c0; i++) { sink = sink + i; }
  EXPECT_GT(pf::processor_clock(), c0);

  EXPECT_NE(pf::process_id(), 0u);
#if defined(_WIN32)
  // Relative identifiers of a user's SID and its group start at 500.
  EXPECT_GE(pf::user_id(), 500u);
  EXPECT_GE(pf::group_id(), 500u);
#else
  // The shell that popen starts is a child of this process and runs as its user and group.
  EXPECT_EQ(first_line(command_output("echo $PPID")), std::to_string(pf::process_id()));
  EXPECT_EQ(first_line(command_output("id -u")), std::to_string(pf::user_id()));
  EXPECT_EQ(first_line(command_output("id -g")), std::to_string(pf::group_id()));
#endif
}

TEST(Platform, SystemIdentityNamesTheHost) {
  std::vector<uint8_t> rec(pf::kSystemIdentityMax + 1, 0xA5);
  const size_t n = pf::system_identity(rec.data());
  ASSERT_GT(n, 0u);
  ASSERT_LE(n, pf::kSystemIdentityMax);
  EXPECT_EQ(rec[pf::kSystemIdentityMax], 0xA5);
  const std::string text(reinterpret_cast<const char *>(rec.data()), n);
#if defined(_WIN32)
  const std::string name = first_line(command_output("echo %COMPUTERNAME%"));
#else
  const std::string name = first_line(command_output("uname -n"));
#endif
  ASSERT_FALSE(name.empty());
  EXPECT_NE(text.find(name), std::string::npos) << name;
}

TEST(Platform, ModuleFilePathComesOnlyFromTheVariable) {
  const std::string fits(63, 'p');
  const std::string too_long(64, 'q');
  struct Case {
    const char *value;  // nullptr: variable unset
    bool found;
  };
  const Case cases[] = {
      {nullptr, false},
      {"", false},
      {"C:/ql/QuillonCrypto.dll", true},
      {"/opt/ql/lib/libQuillonCrypto.so", true},
      {fits.c_str(), true},       // 63 bytes and the NUL fill the 64-byte buffer
      {too_long.c_str(), false},  // 64 bytes would leave no room for the NUL
  };
  for (const Case &c : cases) {
    set_env(pf::kModulePathVariable, c.value);
    char path[64];
    std::memset(path, 'x', sizeof(path));
    EXPECT_EQ(pf::module_file_path(path, sizeof(path)), c.found) << (c.value ? c.value : "unset");
    if (c.found) {
      EXPECT_STREQ(path, c.value);
    } else {
      EXPECT_TRUE(std::all_of(path, path + sizeof(path), [](char ch) { return ch == 'x'; }));
    }
  }
  set_env(pf::kModulePathVariable, nullptr);
}

TEST(Platform, FileReadsSizeAndSeeks) {
  const std::string name = "ql_platform_test_" + std::to_string(pf::process_id()) + ".bin";
  std::vector<uint8_t> bytes(1000);
  for (size_t i = 0; i < bytes.size(); i++) { bytes[i] = static_cast<uint8_t>(i * 7 + 1); }
  {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  {
    pf::File f(name.c_str());
    ASSERT_TRUE(f.is_open());
    EXPECT_EQ(f.size(), 1000);
    uint8_t tail[8] = {0};
    ASSERT_TRUE(f.seek(996));
    EXPECT_EQ(f.read(tail, sizeof(tail)), 4u);
    EXPECT_EQ(std::memcmp(tail, bytes.data() + 996, 4), 0);
    EXPECT_FALSE(f.seek(-1));
    ASSERT_TRUE(f.seek(0));
    std::vector<uint8_t> all(1001);
    EXPECT_EQ(f.read(all.data(), all.size()), 1000u);
    EXPECT_EQ(std::memcmp(all.data(), bytes.data(), 1000), 0);
  }
  std::remove(name.c_str());
  pf::File missing(name.c_str());
  EXPECT_FALSE(missing.is_open());
  EXPECT_EQ(missing.size(), -1);
  uint8_t b;
  EXPECT_EQ(missing.read(&b, 1), 0u);
  EXPECT_FALSE(missing.seek(0));
}

}  // namespace
