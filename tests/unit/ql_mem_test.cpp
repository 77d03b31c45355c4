// The allocator's fault hook and the guards that wipe.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "internal/ql_mem.h"

namespace {

TEST(Mem, FaultHookFailsExactlyTheNthAllocation) {
  ql::test::alloc_fail_at(2);
  void *a = ql::alloc(16);
  void *b = ql::alloc(16);
  void *c = ql::alloc(16);
  void *d = ql::alloc(16);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(c, nullptr);
  EXPECT_NE(d, nullptr);
  EXPECT_EQ(ql::test::alloc_count(), 4);
  ql::free_wiped(a, 16);
  ql::free_wiped(b, 16);
  ql::free_wiped(c, 16);
  ql::free_wiped(d, 16);
  ql::test::alloc_fail_at(-1);
  ql::Owned<std::array<uint8_t, 8>> rec;
  ASSERT_TRUE(rec);
  for (uint8_t v : *rec) { EXPECT_EQ(v, 0); }
  ql::test::alloc_fail_at(0);
  ql::Buffer buf(32);
  EXPECT_FALSE(buf);
  ql::test::alloc_fail_at(-1);
}

TEST(Mem, WipeOnExitClearsUnlessReleased) {
  uint8_t secret[24];
  std::memset(secret, 0x5C, sizeof(secret));
  { ql::WipeOnExit guard(secret, sizeof(secret)); }
  for (uint8_t v : secret) { EXPECT_EQ(v, 0); }
  std::memset(secret, 0x5C, sizeof(secret));
  {
    ql::WipeOnExit guard(secret, sizeof(secret));
    guard.release();
  }
  EXPECT_EQ(secret[23], 0x5C);
}

}  // namespace
