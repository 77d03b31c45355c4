// Digest cores, the digest dispatcher and HMAC: published vectors from files, streaming in
// every kind of split, unaligned input, the counters at their wrap, and the codes of bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_vectors.h"

namespace {

using Bytes = std::vector<uint8_t>;

int32_t hash_id_of(const std::string &alg) {
  if (alg == "SHA-1") { return QL_HASH_SHA1; }
  if (alg == "SHA-256") { return QL_HASH_SHA256; }
  if (alg == "SHA-384") { return QL_HASH_SHA384; }
  if (alg == "SHA-512") { return QL_HASH_SHA512; }
  ADD_FAILURE() << "unknown algorithm " << alg;
  return 0;
}

struct DigestVector {
  std::string where;
  int32_t hash_id;
  Bytes msg;
  Bytes md;
};

// FIPS 180 examples and the HAS-160 sample digests, messages expanded by REPEAT.
std::vector<DigestVector> digest_vectors() {
  std::vector<DigestVector> out;
  for (const char *file : {"sha_fips180_examples.txt", "has160.txt"}) {
    for (const auto &c : qltest::load_vectors(file)) {
      const int32_t id = c.has("ALG") ? hash_id_of(c.str("ALG")) : QL_HASH_HAS160;
      if (c.has("NAME")) { c.str("NAME"); }
      const Bytes unit = c.hex("MSG");
      const uint64_t repeat = c.num("REPEAT");
      Bytes msg;
      msg.reserve(unit.size() * repeat);
      for (uint64_t i = 0; i < repeat; i++) { msg.insert(msg.end(), unit.begin(), unit.end()); }
      out.push_back({c.where(), id, std::move(msg), c.hex("MD")});
      c.expect_all_consumed();
    }
  }
  return out;
}

// Digest through the dispatcher, the message fed in pieces of `piece` bytes (0: one call).
Bytes hash_in_pieces(int32_t id, const uint8_t *msg, size_t len, size_t piece) {
  QL_HASH_CTX ctx;
  EXPECT_EQ(QL_Hash_Init(&ctx, id), 0);
  for (size_t off = 0; off < len;) {
    const size_t n = piece == 0 ? len : std::min(piece, len - off);
    EXPECT_EQ(QL_Hash_Update(&ctx, msg + off, static_cast<uint32_t>(n)), 0);
    off += n;
  }
  Bytes out(64);
  uint32_t out_len = 0;
  EXPECT_EQ(QL_Hash_Final(&ctx, out.data(), &out_len), 0);
  out.resize(out_len);
  return out;
}

// The cores' own one-shot functions, bypassing the dispatcher.
Bytes core_one_shot(int32_t id, const Bytes &msg) {
  Bytes out(64);
  const uint32_t len = static_cast<uint32_t>(msg.size());
  switch (id) {
    case QL_HASH_HAS160:
      QL_HAS160(out.data(), msg.data(), len);
      out.resize(20);
      break;
    case QL_HASH_SHA1:
      QL_SHA1(out.data(), msg.data(), len);
      out.resize(20);
      break;
    case QL_HASH_SHA256:
      QL_SHA256(out.data(), msg.data(), len);
      out.resize(32);
      break;
    case QL_HASH_SHA384:
      QL_SHA384(out.data(), msg.data(), len);
      out.resize(48);
      break;
    default:
      QL_SHA512(out.data(), msg.data(), len);
      break;
  }
  return out;
}

Bytes random_bytes(std::mt19937 &rng, size_t n) {
  Bytes b(n);
  for (auto &v : b) { v = static_cast<uint8_t>(rng()); }
  return b;
}

TEST(Digest, PublishedVectors) {
  for (const auto &v : digest_vectors()) {
    EXPECT_EQ(qltest::to_hex(hash_in_pieces(v.hash_id, v.msg.data(), v.msg.size(), 0)),
              qltest::to_hex(v.md))
        << v.where;
    EXPECT_EQ(qltest::to_hex(core_one_shot(v.hash_id, v.msg)), qltest::to_hex(v.md)) << v.where;
    if (v.msg.size() < 1000) {
      // Odd pieces and an odd address: the cores never assume aligned or whole-block input.
      Bytes shifted(3);
      shifted.insert(shifted.end(), v.msg.begin(), v.msg.end());
      EXPECT_EQ(qltest::to_hex(hash_in_pieces(v.hash_id, shifted.data() + 3, v.msg.size(), 7)),
                qltest::to_hex(v.md))
          << v.where;
    }
  }
}

TEST(Digest, AnySplitGivesTheOneShotDigest) {
  std::mt19937 rng(1);
  // Lengths straddle the padding boundaries of 64- and 128-byte blocks.
  const std::vector<size_t> lengths = {0,   1,   55,  56,  57,  63,  64,  65,
                                       111, 112, 113, 127, 128, 129, 1000};
  for (int32_t id = QL_HASH_HAS160; id <= QL_HASH_SHA512; id++) {
    for (size_t len : lengths) {
      const Bytes msg = random_bytes(rng, len);
      const Bytes whole = core_one_shot(id, msg);
      for (size_t piece : {1, 3, 63, 64, 65, 127, 128, 129}) {
        EXPECT_EQ(hash_in_pieces(id, msg.data(), len, piece), whole)
            << "id " << id << " len " << len << " piece " << piece;
      }
      for (size_t at = 0; at <= len && len <= 129; at++) {  // every split point in two
        QL_HASH_CTX ctx;
        ASSERT_EQ(QL_Hash_Init(&ctx, id), 0);
        ASSERT_EQ(QL_Hash_Update(&ctx, msg.data(), static_cast<uint32_t>(at)), 0);
        ASSERT_EQ(QL_Hash_Update(&ctx, msg.data() + at, static_cast<uint32_t>(len - at)), 0);
        Bytes out(64);
        uint32_t out_len = 0;
        ASSERT_EQ(QL_Hash_Final(&ctx, out.data(), &out_len), 0);
        out.resize(out_len);
        EXPECT_EQ(out, whole) << "id " << id << " len " << len << " split " << at;
      }
    }
  }
}

// One 64-byte Update after Init leaves one unpadded compression in the SHA-1 state: for the
// padded block of a one-block message that is the message's published digest.
TEST(Digest, Sha1StateAfterOneBlockIsOneCompression) {
  int checked = 0;
  for (const auto &v : digest_vectors()) {
    if (v.hash_id != QL_HASH_SHA1 || v.msg.size() > 55) { continue; }
    uint8_t block[64] = {0};
    std::memcpy(block, v.msg.data(), v.msg.size());
    block[v.msg.size()] = 0x80;
    block[62] = static_cast<uint8_t>((v.msg.size() * 8) >> 8);
    block[63] = static_cast<uint8_t>(v.msg.size() * 8);
    QL_SHA1_CTX ctx;
    QL_SHA1_Init(&ctx);
    QL_SHA1_Update(&ctx, block, sizeof(block));
    for (int i = 0; i < 5; i++) {
      const uint32_t want = (uint32_t{v.md[4 * i]} << 24) | (uint32_t{v.md[4 * i + 1]} << 16) |
                            (uint32_t{v.md[4 * i + 2]} << 8) | v.md[4 * i + 3];
      EXPECT_EQ(ctx.state[i], want) << v.where << " word " << i;
    }
    checked++;
  }
  EXPECT_GT(checked, 0);
}

// Final pads as the standard says: 0x80, zeros to 56 mod 64, the bit length as 64 bits
// little-endian. Absorbing that padding by hand through Update, whose whole blocks the vectors
// check, must give the digest of Final for every position of the last byte in its block.
TEST(Digest, Has160FinalPadsLikeTheStandard) {
  std::mt19937 rng(5);
  for (size_t len = 0; len <= 130; len++) {
    const Bytes msg = random_bytes(rng, len);
    Bytes padded = msg;
    padded.push_back(0x80);
    while (padded.size() % 64 != 56) { padded.push_back(0); }
    for (int i = 0; i < 8; i++) {
      padded.push_back(static_cast<uint8_t>((uint64_t{len} * 8) >> (8 * i)));
    }
    QL_HAS160_CTX ctx;
    QL_HAS160_Init(&ctx);
    QL_HAS160_Update(&ctx, padded.data(), static_cast<uint32_t>(padded.size()));
    Bytes want;
    for (uint32_t w : ctx.state) {
      for (int i = 0; i < 4; i++) { want.push_back(static_cast<uint8_t>(w >> (8 * i))); }
    }
    EXPECT_EQ(core_one_shot(QL_HASH_HAS160, msg), want) << "len " << len;
  }
}

// The counters carry into their high word; started just below the wrap, a digest streamed
// across it equals the digest of one Update from the same start.
TEST(Digest, CounterCarriesIntoHighWord) {
  const Bytes msg(300, 0x5A);
  {
    QL_SHA1_CTX a;
    QL_SHA1_Init(&a);
    a.count_lo = 0xFFFFFE00u;  // bits, block-aligned
    QL_SHA1_Update(&a, msg.data(), 100);
    EXPECT_EQ(a.count_hi, 1u);
    EXPECT_EQ(a.count_lo, 0xFFFFFE00u + 800u);
  }
  {
    QL_HAS160_CTX a;
    QL_HAS160_Init(&a);
    a.count_lo = 0xFFFFFE00u;
    QL_HAS160_CTX b = a;
    QL_HAS160_Update(&a, msg.data(), 300);
    EXPECT_EQ(a.count_hi, 1u);
    EXPECT_EQ(a.count_lo, 0xFFFFFE00u + 2400u);
    for (size_t off = 0; off < 300; off += 7) {
      QL_HAS160_Update(&b, msg.data() + off, static_cast<uint32_t>(std::min<size_t>(7, 300 - off)));
    }
    uint8_t da[20];
    uint8_t db[20];
    QL_HAS160_Final(&a, da);
    QL_HAS160_Final(&b, db);
    EXPECT_EQ(0, std::memcmp(da, db, 20));
  }
  {
    QL_SHA256_CTX a;
    QL_SHA256_Init(&a);
    a.count_lo = 0xFFFFFFC0u;  // bytes
    QL_SHA256_Update(&a, msg.data(), 100);
    EXPECT_EQ(a.count_hi, 1u);
    EXPECT_EQ(a.count_lo, 100u - 64u);
  }
  {
    QL_SHA512_CTX a;
    QL_SHA512_Init(&a);
    a.count_lo = ~uint64_t{0} - 127;
    QL_SHA512_Update(&a, msg.data(), 200);
    EXPECT_EQ(a.count_hi, 1u);
    EXPECT_EQ(a.count_lo, 200u - 128u);
  }
}

TEST(Digest, ShaFinalWipesTheRecordHas160KeepsIt) {
  uint8_t out[64];
  QL_SHA1_CTX s1;
  QL_SHA1_Init(&s1);
  QL_SHA1_Update(&s1, out, 10);
  QL_SHA1_Final(&s1, out);
  QL_SHA256_CTX s256;
  QL_SHA256_Init(&s256);
  QL_SHA256_Final(&s256, out);
  QL_SHA512_CTX s384;
  QL_SHA384_Init(&s384);
  QL_SHA384_Final(&s384, out);
  const QL_SHA512_CTX zero512{};
  const QL_SHA256_CTX zero256{};
  const QL_SHA1_CTX zero1{};
  EXPECT_EQ(0, std::memcmp(&s1, &zero1, sizeof(s1)));
  EXPECT_EQ(0, std::memcmp(&s256, &zero256, sizeof(s256)));
  EXPECT_EQ(0, std::memcmp(&s384, &zero512, sizeof(s384)));
  QL_HAS160_CTX h;
  QL_HAS160_Init(&h);
  QL_HAS160_Update(&h, out, 10);
  QL_HAS160_Final(&h, out);
  EXPECT_EQ(h.count_lo, 80u);  // not wiped
}

TEST(HashDispatcher, BadInputCodes) {
  QL_HASH_INFO info = {7, 9};
  EXPECT_EQ(QL_Hash_GetInfo(nullptr, QL_HASH_SHA1), -2504);
  for (int32_t id : {0, 6, -1, 0x103}) {
    EXPECT_EQ(QL_Hash_GetInfo(&info, id), -2511) << id;
    uint8_t out[64];
    uint32_t out_len = 0;
    EXPECT_EQ(QL_Hash(out, &out_len, out, 3, id), -2506) << id;
  }
  EXPECT_EQ(info.block_len, 7u);
  EXPECT_EQ(info.digest_len, 9u);

  QL_HASH_CTX ctx{};
  uint8_t out[64];
  uint32_t out_len = 0;
  EXPECT_EQ(QL_Hash_Init(nullptr, QL_HASH_SHA1), -2505);
  EXPECT_EQ(QL_Hash_Update(nullptr, out, 1), -2507);
  // A length of 0 is a no-op even on a record without a digest; no data with a length is not.
  EXPECT_EQ(QL_Hash_Update(&ctx, nullptr, 0), 0);
  EXPECT_EQ(QL_Hash_Update(&ctx, out, 0), 0);
  EXPECT_EQ(QL_Hash_Update(&ctx, out, 1), -2508);
  EXPECT_EQ(QL_Hash_Final(&ctx, out, &out_len), -2510);
  ASSERT_EQ(QL_Hash_Init(&ctx, QL_HASH_SHA256), 0);
  EXPECT_EQ(QL_Hash_Update(&ctx, nullptr, 5), -2507);
  EXPECT_EQ(QL_Hash_Final(nullptr, out, &out_len), -2509);
  EXPECT_EQ(QL_Hash_Final(&ctx, nullptr, &out_len), -2509);
  EXPECT_EQ(QL_Hash_Final(&ctx, out, nullptr), -2509);
  EXPECT_EQ(QL_Hash_Final(&ctx, out, &out_len), 0);
  EXPECT_EQ(out_len, 32u);
  EXPECT_EQ(QL_Hash_Final(&ctx, out, &out_len), -2510);  // the first Final zeroed it
  EXPECT_EQ(QL_Hash_Update(&ctx, out, 1), -2508);

  QL_HASH_CTX *heap = QL_Hash_CTX_New();
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(QL_Hash_Update(heap, out, 1), -2508);  // created zeroed: no digest yet
  QL_Hash_CTX_Delete(heap);
  QL_Hash_CTX_Delete(nullptr);
}

struct MacVector {
  std::string where;
  int32_t mac_id;
  Bytes key;
  Bytes data;
  Bytes mac;  // may be a truncation of the full MAC
};

std::vector<MacVector> mac_vectors() {
  std::vector<MacVector> out;
  for (const char *file : {"hmac_sha1_rfc2202.txt", "hmac_sha2_rfc4231.txt"}) {
    for (const auto &c : qltest::load_vectors(file)) {
      c.str("CASE");
      if (c.has("MAC_TRUNC")) {
        const Bytes full = c.hex("MAC");
        EXPECT_EQ(Bytes(full.begin(), full.begin() + 12), c.hex("MAC_TRUNC")) << c.where();
      }
      out.push_back(
          {c.where(), 0x100 + hash_id_of(c.str("ALG")), c.hex("KEY"), c.hex("DATA"), c.hex("MAC")});
      c.expect_all_consumed();
    }
  }
  for (const auto &c : qltest::load_vectors("hmac_has160.txt")) {
    out.push_back({c.where(), QL_HMAC_HAS160, c.hex("KEY"), c.hex("MSG"), c.hex("MAC")});
    c.expect_all_consumed();
  }
  return out;
}

Bytes hmac_in_pieces(int32_t mac_id, const Bytes &key, const Bytes &data, size_t piece) {
  QL_HMAC_CTX ctx;
  const uint8_t empty = 0;  // an empty key still needs a pointer
  EXPECT_EQ(QL_HMAC_Init(&ctx, key.empty() ? &empty : key.data(), static_cast<uint32_t>(key.size()),
                         mac_id),
            0);
  for (size_t off = 0; off < data.size(); off += piece) {
    const size_t n = std::min(piece, data.size() - off);
    EXPECT_EQ(QL_HMAC_Update(&ctx, data.data() + off, static_cast<uint32_t>(n)), 0);
  }
  Bytes out(64);
  uint32_t out_len = 0;
  EXPECT_EQ(QL_HMAC_Final(&ctx, out.data(), &out_len), 0);
  out.resize(out_len);
  return out;
}

TEST(Hmac, PublishedVectors) {
  for (const auto &v : mac_vectors()) {
    Bytes out(64);
    uint32_t out_len = 0;
    ASSERT_EQ(QL_HMAC(out.data(), &out_len, v.data.data(), static_cast<uint32_t>(v.data.size()),
                      v.key.data(), static_cast<uint32_t>(v.key.size()), v.mac_id),
              0)
        << v.where;
    QL_HMAC_INFO info;
    ASSERT_EQ(QL_HMAC_GetInfo(&info, v.mac_id), 0);
    EXPECT_EQ(out_len, info.mac_len) << v.where;
    out.resize(v.mac.size());  // published truncations compare on their prefix
    EXPECT_EQ(qltest::to_hex(out), qltest::to_hex(v.mac)) << v.where;
    Bytes streamed = hmac_in_pieces(v.mac_id, v.key, v.data, 5);
    streamed.resize(v.mac.size());
    EXPECT_EQ(qltest::to_hex(streamed), qltest::to_hex(v.mac)) << v.where;
  }
}

TEST(Hmac, KeyBlockRules) {
  std::mt19937 rng(2);
  const Bytes data = random_bytes(rng, 40);
  // A key one byte longer than the block is replaced by its digest; a block-long key is not.
  for (int32_t id = QL_HASH_HAS160; id <= QL_HASH_SHA512; id++) {
    QL_HASH_INFO info;
    ASSERT_EQ(QL_Hash_GetInfo(&info, id), 0);
    const Bytes long_key = random_bytes(rng, info.block_len + 1);
    Bytes hashed(64);
    uint32_t hashed_len = 0;
    ASSERT_EQ(QL_Hash(hashed.data(), &hashed_len, long_key.data(),
                      static_cast<uint32_t>(long_key.size()), id),
              0);
    hashed.resize(hashed_len);
    EXPECT_EQ(hmac_in_pieces(0x100 + id, long_key, data, 64),
              hmac_in_pieces(0x100 + id, hashed, data, 64))
        << id;
    const Bytes block_key = random_bytes(rng, info.block_len);
    Bytes shorter(block_key.begin(), block_key.end() - 1);
    EXPECT_NE(hmac_in_pieces(0x100 + id, block_key, data, 64),
              hmac_in_pieces(0x100 + id, shorter, data, 64))
        << id;
    // An empty key is an all-zero key block.
    EXPECT_EQ(hmac_in_pieces(0x100 + id, Bytes(), data, 64),
              hmac_in_pieces(0x100 + id, Bytes(info.block_len, 0), data, 64))
        << id;
    // The bare digest identifier names the same HMAC.
    EXPECT_EQ(hmac_in_pieces(id, block_key, data, 64),
              hmac_in_pieces(0x100 + id, block_key, data, 64))
        << id;
  }
}

TEST(Hmac, BadInputCodes) {
  QL_HMAC_INFO info{};
  EXPECT_EQ(QL_HMAC_GetInfo(&info, 3), -6082);
  EXPECT_EQ(QL_HMAC_GetInfo(&info, 0x203), -6082);
  EXPECT_EQ(QL_HMAC_GetInfo(&info, 0x106), -2511);
  EXPECT_EQ(QL_HMAC_GetInfo(nullptr, 0x103), -2504);
  ASSERT_EQ(QL_HMAC_GetInfo(&info, 0x104), 0);
  EXPECT_EQ(info.mac_len, 48u);
  EXPECT_EQ(info.default_key_len, 24u);
  EXPECT_EQ(info.min_key_len, 24u);
  EXPECT_EQ(info.max_key_len, 128u);
  EXPECT_EQ(info.key_len_step, 1u);

  const uint8_t key[4] = {1, 2, 3, 4};
  uint8_t out[64];
  uint32_t out_len = 0;
  QL_HMAC_CTX ctx{};
  EXPECT_EQ(QL_HMAC_Init(nullptr, key, 4, 0x103), -2501);
  EXPECT_EQ(QL_HMAC_Init(&ctx, nullptr, 0, 0x103), -2501);
  EXPECT_EQ(QL_HMAC_Init(&ctx, key, 4, 0x203), -2511);
  EXPECT_EQ(QL_HMAC_Init(&ctx, key, 4, 0x100), -2511);
  EXPECT_EQ(QL_HMAC_Update(nullptr, key, 4), -2502);
  EXPECT_EQ(QL_HMAC_Final(nullptr, out, &out_len), -2503);
  ASSERT_EQ(QL_HMAC_Init(&ctx, key, 4, 0x103), 0);
  EXPECT_EQ(QL_HMAC_Final(&ctx, nullptr, &out_len), -2503);
  EXPECT_EQ(QL_HMAC_Final(&ctx, out, nullptr), -2503);
  EXPECT_EQ(QL_HMAC_Update(&ctx, nullptr, 0), 0);
  ASSERT_EQ(QL_HMAC_Final(&ctx, out, &out_len), 0);
  // After Final only the key remains: the running digest is gone until a new Init.
  EXPECT_EQ(QL_HMAC_Update(&ctx, key, 4), -2508);
  EXPECT_EQ(QL_HMAC_Final(&ctx, out, &out_len), -2510);
  EXPECT_EQ(ctx.key_block[0], 1);
  QL_HMAC_CTX *heap = QL_HMAC_CTX_New();
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(QL_HMAC_Update(heap, key, 4), -2508);
  QL_HMAC_CTX_Delete(heap);
  QL_HMAC_CTX_Delete(nullptr);
}

}  // namespace
