// The module's digest and HMAC services: the frame (state step, gates, context stamps, exit
// rule), private copies written back only on success, and an allocation failure at every
// allocation of every service.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "module/ql_cmvp.h"
#include "ql_vectors.h"

namespace {

using Bytes = std::vector<uint8_t>;

const uint8_t kAbc[] = {'a', 'b', 'c'};

// The published SHA-256 digest of "abc" and HMAC-SHA-256 of RFC 4231 case 2 from the files.
Bytes sha256_abc() {
  for (const auto &c : qltest::load_vectors("sha_fips180_examples.txt")) {
    if (c.str("ALG") == "SHA-256" && c.hex("MSG") == Bytes(kAbc, kAbc + 3)) { return c.hex("MD"); }
  }
  ADD_FAILURE() << "no SHA-256 vector for abc";
  return {};
}

struct MacCase {
  QLC_SECRET_KEY key;
  Bytes data;
  Bytes mac;
};

MacCase hmac_sha256_case2() {
  for (const auto &c : qltest::load_vectors("hmac_sha2_rfc4231.txt")) {
    if (c.str("ALG") == "SHA-256" && c.str("CASE") == "2") {
      MacCase m{};
      const Bytes key = c.hex("KEY");
      m.key.algorithm = QL_HMAC_SHA256;
      std::memcpy(m.key.key, key.data(), key.size());
      m.key.key_len = static_cast<uint32_t>(key.size());
      m.data = c.hex("DATA");
      m.mac = c.hex("MAC");
      return m;
    }
  }
  ADD_FAILURE() << "no RFC 4231 case 2";
  return {};
}

template <typename T>
bool all_zero(const T &rec) {
  const T zero{};
  return std::memcmp(&rec, &zero, sizeof(T)) == 0;
}

TEST(CryptoDigest, FirstServiceApprovesAndDigests) {
  ASSERT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_NOT_INITIALIZED);
  uint8_t out[64];
  uint32_t out_len = 0;
  ASSERT_EQ(QLC_Hash(out, &out_len, kAbc, 3, QL_HASH_SHA256), 0);
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_APPROVED);
  EXPECT_EQ(Bytes(out, out + out_len), sha256_abc());
}

TEST(CryptoDigest, StreamingFinalKeepsTheContext) {
  QL_HASH_CTX ctx;
  ASSERT_EQ(QLC_Hash_Init(&ctx, QL_HASH_SHA256), 0);
  EXPECT_EQ(ctx.state_stamp, static_cast<uint32_t>(QLC_CM_STATE_APPROVED));
  ASSERT_EQ(QLC_Hash_Update(&ctx, kAbc, 1), 0);
  ASSERT_EQ(QLC_Hash_Update(&ctx, kAbc + 1, 2), 0);
  const QL_HASH_CTX before = ctx;
  uint8_t first[64];
  uint8_t second[64];
  uint32_t len1 = 0;
  uint32_t len2 = 0;
  ASSERT_EQ(QLC_Hash_Final(&ctx, first, &len1), 0);
  EXPECT_EQ(0, std::memcmp(&before, &ctx, sizeof(ctx)));
  ASSERT_EQ(QLC_Hash_Final(&ctx, second, &len2), 0);
  EXPECT_EQ(Bytes(first, first + len1), sha256_abc());
  EXPECT_EQ(Bytes(second, second + len2), sha256_abc());
}

TEST(CryptoDigest, FailedUpdateLeavesTheContext) {
  QL_HASH_CTX ctx;
  ASSERT_EQ(QLC_Hash_Init(&ctx, QL_HASH_SHA1), 0);
  ASSERT_EQ(QLC_Hash_Update(&ctx, kAbc, 3), 0);
  const QL_HASH_CTX before = ctx;
  EXPECT_EQ(QLC_Hash_Update(&ctx, nullptr, 5), -2507);
  EXPECT_EQ(0, std::memcmp(&before, &ctx, sizeof(ctx)));
}

TEST(CryptoDigest, StaleContextsAreWipedAndRefused) {
  QL_HASH_CTX hash;
  ASSERT_EQ(QLC_Hash_Init(&hash, QL_HASH_SHA256), 0);
  const MacCase m = hmac_sha256_case2();
  QL_HMAC_CTX mac;
  ASSERT_EQ(QLC_HMAC_Init(&mac, &m.key, QL_HMAC_SHA256), 0);
  ASSERT_EQ(QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED), 0);
  EXPECT_EQ(QLC_Hash_Update(&hash, kAbc, 3), -6145);
  EXPECT_TRUE(all_zero(hash));
  uint8_t out[64];
  uint32_t out_len = 0;
  EXPECT_EQ(QLC_HMAC_Final(&mac, out, &out_len), -6147);
  EXPECT_TRUE(all_zero(mac));
  EXPECT_EQ(QLC_Hash_Update(nullptr, kAbc, 3), -6144);
  EXPECT_EQ(QLC_Hash_Final(nullptr, out, &out_len), -6144);
  EXPECT_EQ(QLC_HMAC_Update(nullptr, kAbc, 3), -6146);
  EXPECT_EQ(QLC_HMAC_Final(nullptr, out, &out_len), -6146);
}

TEST(CryptoDigest, HmacFinalZeroesTheContext) {
  const MacCase m = hmac_sha256_case2();
  QL_HMAC_CTX ctx;
  ASSERT_EQ(QLC_HMAC_Init(&ctx, &m.key, QL_HMAC_SHA256), 0);
  EXPECT_EQ(ctx.state_stamp, static_cast<uint32_t>(QLC_CM_STATE_APPROVED));
  ASSERT_EQ(QLC_HMAC_Update(&ctx, m.data.data(), 7), 0);
  ASSERT_EQ(QLC_HMAC_Update(&ctx, m.data.data() + 7, static_cast<uint32_t>(m.data.size() - 7)), 0);
  uint8_t out[64];
  uint32_t out_len = 0;
  ASSERT_EQ(QLC_HMAC_Final(&ctx, out, &out_len), 0);
  EXPECT_EQ(Bytes(out, out + out_len), m.mac);
  EXPECT_TRUE(all_zero(ctx));
  EXPECT_EQ(QLC_HMAC_Update(&ctx, kAbc, 3), -6147);  // stamp 0 is no working state
  // A finish that fails still ends the context.
  ASSERT_EQ(QLC_HMAC_Init(&ctx, &m.key, QL_HMAC_SHA256), 0);
  EXPECT_EQ(QLC_HMAC_Final(&ctx, nullptr, &out_len), -2503);
  EXPECT_TRUE(all_zero(ctx));

  ASSERT_EQ(QLC_HMAC(out, &out_len, m.data.data(), static_cast<uint32_t>(m.data.size()), &m.key,
                     QL_HMAC_SHA256),
            0);
  EXPECT_EQ(Bytes(out, out + out_len), m.mac);
}

TEST(CryptoDigest, ArgumentAndIdentifierCodes) {
  MacCase m = hmac_sha256_case2();
  uint8_t out[64];
  uint32_t out_len = 0;
  QL_HMAC_CTX mac{};
  QL_HASH_CTX hash{};
  // Approved state: unapproved identifiers are refused before anything is written.
  std::memset(out, 0xA5, sizeof(out));
  EXPECT_EQ(QLC_Hash(out, &out_len, kAbc, 3, 0), -6069);
  EXPECT_EQ(out[0], 0xA5);
  EXPECT_EQ(QLC_Hash_Init(&hash, 6), -6069);
  EXPECT_EQ(QLC_HMAC(out, &out_len, kAbc, 3, &m.key, 0x106), -6070);
  EXPECT_EQ(QLC_HMAC_Init(&mac, &m.key, QL_HASH_SHA256), -6070);
  EXPECT_TRUE(all_zero(hash));
  // Key records: of another algorithm, missing, or longer than the record holds.
  EXPECT_EQ(QLC_HMAC(out, &out_len, kAbc, 3, &m.key, QL_HMAC_SHA1), -6088);
  EXPECT_EQ(QLC_HMAC_Init(&mac, &m.key, QL_HMAC_SHA1), -6092);
  EXPECT_EQ(QLC_HMAC(out, &out_len, kAbc, 3, nullptr, QL_HMAC_SHA256), -6080);
  EXPECT_EQ(QLC_HMAC_Init(&mac, nullptr, QL_HMAC_SHA256), -6080);
  m.key.key_len = 257;
  EXPECT_EQ(QLC_HMAC(out, &out_len, kAbc, 3, &m.key, QL_HMAC_SHA256), -6080);
  m.key.key_len = 256;
  EXPECT_EQ(QLC_HMAC(out, &out_len, kAbc, 3, &m.key, QL_HMAC_SHA256), 0);
  // Null contexts at Init are caught when the private context is copied out.
  EXPECT_EQ(QLC_HMAC_Init(nullptr, &m.key, QL_HMAC_SHA256), -6138);
  EXPECT_EQ(QLC_Hash_Init(nullptr, QL_HASH_SHA256), -6137);
  EXPECT_TRUE(all_zero(mac));
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_APPROVED);

  // Non-approved state: identifiers go to the dispatcher unchecked.
  ASSERT_EQ(QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED), 0);
  EXPECT_EQ(QLC_Hash(out, &out_len, kAbc, 3, 6), -2506);
  EXPECT_EQ(QLC_Hash_Init(&hash, 0), -2506);
  EXPECT_TRUE(all_zero(hash));
  m.key.algorithm = 0x203;
  EXPECT_EQ(QLC_HMAC(out, &out_len, kAbc, 3, &m.key, 0x203), -2511);
}

TEST(CryptoDigest, RefusedInErrorAndFinalizedStates) {
  const MacCase m = hmac_sha256_case2();
  QL_HASH_CTX hash;
  ASSERT_EQ(QLC_Hash_Init(&hash, QL_HASH_SHA256), 0);
  uint8_t out[64];
  uint32_t out_len = 0;
  QL_HMAC_CTX mac{};
  for (const int32_t state : {QLC_CM_STATE_ERROR, QLC_CM_STATE_FINALIZED}) {
    ql::test::set_state(state);
    const int32_t code = state == QLC_CM_STATE_ERROR ? -6066 : -6065;
    EXPECT_EQ(QLC_Hash(out, &out_len, kAbc, 3, QL_HASH_SHA256), code);
    EXPECT_EQ(QLC_Hash_Init(&hash, QL_HASH_SHA256), code);
    EXPECT_EQ(QLC_Hash_Update(&hash, kAbc, 3), code);
    EXPECT_EQ(QLC_Hash_Final(&hash, out, &out_len), code);
    EXPECT_EQ(QLC_HMAC(out, &out_len, kAbc, 3, &m.key, QL_HMAC_SHA256), code);
    EXPECT_EQ(QLC_HMAC_Init(&mac, &m.key, QL_HMAC_SHA256), code);
    EXPECT_EQ(QLC_HMAC_Update(&mac, kAbc, 3), code);
    EXPECT_EQ(QLC_HMAC_Final(&mac, out, &out_len), code);
    EXPECT_EQ(QLC_CM_StateInfo(), state);
  }
}

// Each service is run with allocation n failing, n = 0, 1, ... until it succeeds. Every
// failing run returns the service's code for that allocation (ordinary form), leaves the
// module in its error state and the caller's context as it was.
TEST(CryptoDigest, AllocationFailureAtEveryAllocation) {
  const MacCase m = hmac_sha256_case2();
  struct Service {
    const char *name;
    std::vector<int32_t> codes;  // by allocation index
    std::function<int32_t(QL_HASH_CTX &, QL_HMAC_CTX &, uint8_t *, uint32_t *)> call;
  };
  const std::vector<Service> services = {
      {"QLC_Hash",
       {},
       [](QL_HASH_CTX &, QL_HMAC_CTX &, uint8_t *out, uint32_t *len) {
         return QLC_Hash(out, len, kAbc, 3, QL_HASH_SHA256);
       }},
      {"QLC_Hash_Init",
       {-6128},
       [](QL_HASH_CTX &h, QL_HMAC_CTX &, uint8_t *, uint32_t *) {
         return QLC_Hash_Init(&h, QL_HASH_SHA512);
       }},
      {"QLC_Hash_Update",
       {-6130},
       [](QL_HASH_CTX &h, QL_HMAC_CTX &, uint8_t *, uint32_t *) {
         return QLC_Hash_Update(&h, kAbc, 3);
       }},
      {"QLC_Hash_Final",
       {-6131},
       [](QL_HASH_CTX &h, QL_HMAC_CTX &, uint8_t *out, uint32_t *len) {
         return QLC_Hash_Final(&h, out, len);
       }},
      {"QLC_HMAC",
       {-6081},
       [&m](QL_HASH_CTX &, QL_HMAC_CTX &, uint8_t *out, uint32_t *len) {
         return QLC_HMAC(out, len, kAbc, 3, &m.key, QL_HMAC_SHA256);
       }},
      {"QLC_HMAC_Init",
       {-6081, -6132},
       [&m](QL_HASH_CTX &, QL_HMAC_CTX &c, uint8_t *, uint32_t *) {
         return QLC_HMAC_Init(&c, &m.key, QL_HMAC_SHA256);
       }},
      {"QLC_HMAC_Update",
       {-6133},
       [](QL_HASH_CTX &, QL_HMAC_CTX &c, uint8_t *, uint32_t *) {
         return QLC_HMAC_Update(&c, kAbc, 3);
       }},
      {"QLC_HMAC_Final",
       {-6134},
       [](QL_HASH_CTX &, QL_HMAC_CTX &c, uint8_t *out, uint32_t *len) {
         return QLC_HMAC_Final(&c, out, len);
       }},
  };
  for (const Service &s : services) {
    for (size_t n = 0;; n++) {
      ASSERT_LE(n, s.codes.size()) << s.name << " allocates more than expected";
      ql::test::set_state(QLC_CM_STATE_APPROVED);
      QL_HASH_CTX hash;
      QL_HMAC_CTX mac;
      ASSERT_EQ(QLC_Hash_Init(&hash, QL_HASH_SHA256), 0);
      ASSERT_EQ(QLC_Hash_Update(&hash, kAbc, 2), 0);
      ASSERT_EQ(QLC_HMAC_Init(&mac, &m.key, QL_HMAC_SHA256), 0);
      const QL_HASH_CTX hash_before = hash;
      const QL_HMAC_CTX mac_before = mac;
      uint8_t out[64];
      std::memset(out, 0xA5, sizeof(out));
      uint32_t out_len = 0;
      ql::test::alloc_fail_at(static_cast<int64_t>(n));
      const int32_t r = s.call(hash, mac, out, &out_len);
      ql::test::alloc_fail_at(-1);
      if (n == s.codes.size()) {
        EXPECT_EQ(r, 0) << s.name;
        EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_APPROVED) << s.name;
        break;
      }
      EXPECT_EQ(r, s.codes[n]) << s.name << " allocation " << n;
      EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_ERROR) << s.name << " allocation " << n;
      EXPECT_EQ(0, std::memcmp(&hash, &hash_before, sizeof(hash))) << s.name;
      EXPECT_EQ(0, std::memcmp(&mac, &mac_before, sizeof(mac))) << s.name;
      EXPECT_EQ(out[0], 0xA5) << s.name;
    }
  }
}

}  // namespace
