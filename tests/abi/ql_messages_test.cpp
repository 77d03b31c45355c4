// Status messages and version through the shared library, driven by the message table file.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "QuillonCrypto.h"
#include "ql_vectors.h"

namespace {

// Every code of the table, mapped to its message.
std::map<int32_t, std::string> load_table() {
  std::map<int32_t, std::string> table;
  for (const auto &c : qltest::load_vectors("messages.txt")) {
    const std::string msg = c.str("message");
    std::istringstream codes(c.str("codes"));
    std::string tok;
    while (codes >> tok) {
      const size_t colon = tok.find(':', 1);
      const long a = std::stol(tok.substr(0, colon));
      const long b = colon == std::string::npos ? a : std::stol(tok.substr(colon + 1));
      for (long v = (a < b ? a : b); v <= (a < b ? b : a); v++) {
        EXPECT_EQ(table.count(static_cast<int32_t>(v)), 0u) << "code listed twice: " << v;
        table[static_cast<int32_t>(v)] = msg;
      }
    }
    c.expect_all_consumed();
  }
  return table;
}

TEST(Messages, EveryTableCodeHasItsMessage) {
  const auto table = load_table();
  ASSERT_GT(table.size(), 300u);
  std::map<std::string, int> distinct;
  for (const auto &kv : table) {
    EXPECT_STREQ(QL_GetErrorString(kv.first), kv.second.c_str()) << kv.first;
    EXPECT_EQ(QLC_CM_ErrorString(kv.first), QL_GetErrorString(kv.first)) << kv.first;
    distinct[kv.second]++;
  }
  EXPECT_EQ(distinct.size(), 26u);
}

TEST(Messages, EverythingElseIsInternalError) {
  const auto table = load_table();
  // Every value from -7000 to 1000 outside the table, and the critical form of every code.
  for (int32_t v = -7000; v <= 1000; v++) {
    if (table.count(v) != 0 && table.at(v) != "internal error") { continue; }
    EXPECT_STREQ(QL_GetErrorString(v), "internal error") << v;
  }
  for (const auto &kv : table) {
    const int32_t crit = static_cast<int32_t>(static_cast<uint32_t>(kv.first) & ~0x40000000u);
    EXPECT_STREQ(QL_GetErrorString(crit), "internal error") << kv.first;
  }
  for (int32_t v : {INT32_MIN, INT32_MIN + 1, INT32_MAX, -1, -1000, -6149, -1000000}) {
    EXPECT_STREQ(QL_GetErrorString(v), "internal error") << v;
    EXPECT_STREQ(QLC_CM_ErrorString(v), "internal error") << v;
  }
}

TEST(Messages, NamedEdgeCases) {
  EXPECT_STREQ(QL_GetErrorString(0), "internal error");
  EXPECT_STREQ(QL_GetErrorString(-6066), QL_GetErrorString(-5531));
  EXPECT_STREQ(QL_GetErrorString(-6089), "internal error");
  EXPECT_STREQ(QL_GetErrorString(-6062), "crypto selftest is failed");
  EXPECT_STREQ(QL_GetErrorString(-6141), "malloc failed");
  EXPECT_STREQ(QL_GetErrorString(-6142), "internal error");
  EXPECT_STREQ(QL_GetErrorString(static_cast<int32_t>(0xBFFFE83Bu)), "internal error");
  EXPECT_STREQ(QL_GetErrorString(-6085), "malloc failed");
  EXPECT_STREQ(QL_GetErrorString(-3004), "intger too large");
}

TEST(Messages, VersionIgnoresItsArgumentAndState) {
  for (int32_t v : {0, 1, -1, INT32_MIN, INT32_MAX}) {
    EXPECT_STREQ(QL_GetVersion(v), "1.1.1.5");
    EXPECT_STREQ(QLC_CM_Version(v), "1.1.1.5");
  }
  // The lookups neither need nor change the module state.
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_NOT_INITIALIZED);
  ASSERT_EQ(QLC_CM_StateInit(), 0);
  ASSERT_EQ(QLC_CM_StateFinal(), 0);
  EXPECT_STREQ(QLC_CM_Version(0), "1.1.1.5");
  EXPECT_STREQ(QLC_CM_ErrorString(-6065), "crypto is in finalized state");
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_FINALIZED);
}

}  // namespace
