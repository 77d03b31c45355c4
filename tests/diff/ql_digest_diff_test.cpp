// SHA-1/2 and HMAC against OpenSSL: seeded random messages of 0 to 2000 bytes fed in random
// splits, keys of 0 to 300 bytes, the padding boundaries, odd addresses, counters at their
// wrap and the SHA-1 state after one block.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstring>
#include <random>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_openssl_sha.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Alg {
  int32_t hash_id;
  const EVP_MD *(*md)();
};
const Alg algs[] = {{QL_HASH_SHA1, EVP_sha1},
                    {QL_HASH_SHA256, EVP_sha256},
                    {QL_HASH_SHA384, EVP_sha384},
                    {QL_HASH_SHA512, EVP_sha512}};

Bytes random_bytes(std::mt19937 &rng, size_t n) {
  Bytes b(n);
  for (auto &v : b) { v = static_cast<uint8_t>(rng()); }
  return b;
}

Bytes openssl_digest(const Alg &a, const uint8_t *msg, size_t len) {
  Bytes out(EVP_MAX_MD_SIZE);
  unsigned int out_len = 0;
  EXPECT_EQ(EVP_Digest(msg, len, out.data(), &out_len, a.md(), nullptr), 1);
  out.resize(out_len);
  return out;
}

// Our digest with the message cut at random points into pieces of 0 to 300 bytes.
Bytes ours_random_splits(std::mt19937 &rng, int32_t id, const Bytes &msg) {
  QL_HASH_CTX ctx;
  EXPECT_EQ(QL_Hash_Init(&ctx, id), 0);
  for (size_t off = 0; off < msg.size();) {
    const size_t n = std::min<size_t>(rng() % 301, msg.size() - off);
    EXPECT_EQ(QL_Hash_Update(&ctx, msg.data() + off, static_cast<uint32_t>(n)), 0);
    off += n;
  }
  Bytes out(64);
  uint32_t out_len = 0;
  EXPECT_EQ(QL_Hash_Final(&ctx, out.data(), &out_len), 0);
  out.resize(out_len);
  return out;
}

TEST(DigestDiff, RandomMessagesInRandomSplits) {
  std::mt19937 rng(20261208);
  for (const Alg &a : algs) {
    for (int i = 0; i < 150; i++) {
      const Bytes msg = random_bytes(rng, rng() % 2001);
      EXPECT_EQ(ours_random_splits(rng, a.hash_id, msg), openssl_digest(a, msg.data(), msg.size()))
          << "id " << a.hash_id << " len " << msg.size();
    }
  }
}

TEST(DigestDiff, PaddingBoundariesAndOddAddresses) {
  std::mt19937 rng(7);
  const Bytes buf = random_bytes(rng, 300);
  for (const Alg &a : algs) {
    for (size_t len : {0,   1,   54,  55,  56,  57,  63,  64,  65,  110, 111,
                       112, 113, 119, 120, 127, 128, 129, 191, 192, 255, 256}) {
      for (size_t offset = 0; offset < 8; offset++) {
        Bytes out(64);
        uint32_t out_len = 0;
        ASSERT_EQ(QL_Hash(out.data(), &out_len, buf.data() + offset, static_cast<uint32_t>(len),
                          a.hash_id),
                  0);
        out.resize(out_len);
        EXPECT_EQ(out, openssl_digest(a, buf.data() + offset, len))
            << "id " << a.hash_id << " len " << len << " offset " << offset;
      }
    }
  }
}

TEST(DigestDiff, CounterNearTheWrap) {
  std::mt19937 rng(11);
  const Bytes msg = random_bytes(rng, 333);
  for (size_t len : {1, 100, 333}) {
    uint8_t ours[64];
    uint8_t theirs[64];
    {
      QL_SHA1_CTX c;  // counts bits
      QL_SHA1_Init(&c);
      c.count_lo = 0xFFFFFE00u;
      c.count_hi = 5;
      QL_SHA1_Update(&c, msg.data(), static_cast<uint32_t>(len));
      QL_SHA1_Final(&c, ours);
      ASSERT_TRUE(qltest::openssl_digest_from_count(2, 0, 0x5FFFFFE00ull, msg.data(), len, theirs));
      EXPECT_EQ(0, std::memcmp(ours, theirs, 20)) << "SHA-1 len " << len;
    }
    {
      QL_SHA256_CTX c;  // counts bytes
      QL_SHA256_Init(&c);
      c.count_lo = 0xFFFFFFC0u;
      QL_SHA256_Update(&c, msg.data(), static_cast<uint32_t>(len));
      QL_SHA256_Final(&c, ours);
      ASSERT_TRUE(qltest::openssl_digest_from_count(3, 0, 0x7FFFFFE00ull, msg.data(), len, theirs));
      EXPECT_EQ(0, std::memcmp(ours, theirs, 32)) << "SHA-256 len " << len;
    }
    for (int id : {QL_HASH_SHA384, QL_HASH_SHA512}) {
      QL_SHA512_CTX c;  // 128-bit byte counter
      if (id == QL_HASH_SHA384) {
        QL_SHA384_Init(&c);
      } else {
        QL_SHA512_Init(&c);
      }
      c.count_lo = ~uint64_t{0} - 127;
      QL_SHA512_Update(&c, msg.data(), static_cast<uint32_t>(len));
      if (id == QL_HASH_SHA384) {
        QL_SHA384_Final(&c, ours);
      } else {
        QL_SHA512_Final(&c, ours);
      }
      ASSERT_TRUE(
          qltest::openssl_digest_from_count(id, 7, ~uint64_t{0} - 1023, msg.data(), len, theirs));
      EXPECT_EQ(0, std::memcmp(ours, theirs, id == QL_HASH_SHA384 ? 48 : 64))
          << "id " << id << " len " << len;
    }
  }
}

TEST(DigestDiff, Sha1StateAfterOneBlock) {
  std::mt19937 rng(3);
  for (int i = 0; i < 20; i++) {
    const Bytes block = random_bytes(rng, 64);
    QL_SHA1_CTX c;
    QL_SHA1_Init(&c);
    QL_SHA1_Update(&c, block.data(), 64);
    uint32_t theirs[5];
    qltest::openssl_sha1_state_after_block(block.data(), theirs);
    EXPECT_EQ(0, std::memcmp(c.state, theirs, sizeof(theirs)));
  }
}

TEST(HmacDiff, RandomKeysAndMessages) {
  std::mt19937 rng(42);
  for (const Alg &a : algs) {
    for (int i = 0; i < 120; i++) {
      const Bytes key = random_bytes(rng, rng() % 301);
      const Bytes msg = random_bytes(rng, rng() % 2001);
      Bytes theirs(EVP_MAX_MD_SIZE);
      unsigned int theirs_len = 0;
      ASSERT_NE(HMAC(a.md(), key.data(), static_cast<int>(key.size()), msg.data(), msg.size(),
                     theirs.data(), &theirs_len),
                nullptr);
      theirs.resize(theirs_len);

      const uint8_t empty = 0;
      QL_HMAC_CTX ctx;
      ASSERT_EQ(QL_HMAC_Init(&ctx, key.empty() ? &empty : key.data(),
                             static_cast<uint32_t>(key.size()), 0x100 + a.hash_id),
                0);
      for (size_t off = 0; off < msg.size();) {
        const size_t n = std::min<size_t>(rng() % 301, msg.size() - off);
        ASSERT_EQ(QL_HMAC_Update(&ctx, msg.data() + off, static_cast<uint32_t>(n)), 0);
        off += n;
      }
      Bytes ours(64);
      uint32_t ours_len = 0;
      ASSERT_EQ(QL_HMAC_Final(&ctx, ours.data(), &ours_len), 0);
      ours.resize(ours_len);
      EXPECT_EQ(ours, theirs) << "id " << a.hash_id << " key " << key.size() << " msg "
                              << msg.size();
    }
  }
}

}  // namespace
