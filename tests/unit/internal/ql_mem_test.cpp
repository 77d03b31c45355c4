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

// Exactly the n bytes from p are cleared, at every start offset and across lengths that
// straddle whole-word and whole-register widths; the bytes either side keep their values.
// A null pointer or a zero length writes nothing.
TEST(Mem, WipeClearsExactlyTheRange) {
  for (size_t offset = 0; offset < 8; offset++) {
    for (size_t n : {1u, 7u, 8u, 15u, 16u, 31u, 32u, 33u, 64u, 100u, 129u}) {
      SCOPED_TRACE(testing::Message() << "offset " << offset << " length " << n);
      std::array<uint8_t, 160> buf;
      buf.fill(0xA5);
      ql::wipe(buf.data() + offset, n);
      for (size_t i = 0; i < buf.size(); i++) {
        const bool inside = i >= offset && i < offset + n;
        ASSERT_EQ(buf[i], inside ? 0 : 0xA5) << "byte " << i;
      }
    }
  }
  uint8_t one = 0x77;
  ql::wipe(&one, 0);
  EXPECT_EQ(one, 0x77);
  ql::wipe(nullptr, 16);
}

}  // namespace
