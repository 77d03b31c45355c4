// The module's symmetric services, random bytes and secret keys: published vectors through
// the boundary, streaming equal to one-shot, key and parameter checks, the approved and
// non-approved states, the continuous random test, and an allocation failure at every
// allocation of every service.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "module/ql_cmvp.h"
#include "rand/ql_rand.h"
#include "ql_vectors.h"

namespace {

using Bytes = std::vector<uint8_t>;

QLC_SECRET_KEY make_key(int32_t alg, const Bytes &bytes) {
  QLC_SECRET_KEY k{};
  k.algorithm = alg;
  if (!bytes.empty()) { std::memcpy(k.key, bytes.data(), bytes.size()); }
  k.key_len = static_cast<uint32_t>(bytes.size());
  return k;
}

QL_SYM_PARAM make_params(uint32_t mode, const Bytes &iv, uint32_t padding,
                         uint32_t segment = 16) {
  QL_SYM_PARAM p{};
  p.mode = mode;
  if (!iv.empty()) { std::memcpy(p.iv, iv.data(), iv.size()); }
  p.ivLength = static_cast<uint32_t>(iv.size());
  p.segmentLength = segment;
  p.padding = padding;
  return p;
}

template <typename T>
bool all_zero(const T &rec) {
  const T zero{};
  return std::memcmp(&rec, &zero, sizeof(T)) == 0;
}

// Streams `in` through the module in pieces cut at `cuts`; returns the output without padding.
Bytes stream(bool encrypt, const QLC_SECRET_KEY &key, int32_t id, const QL_SYM_PARAM &p,
             const Bytes &in, const std::vector<size_t> &cuts) {
  QL_SYM_CTX ctx;
  EXPECT_EQ(encrypt ? QLC_SYM_Encrypt_Init(&ctx, &key, id, &p)
                    : QLC_SYM_Decrypt_Init(&ctx, &key, id, &p),
            0);
  Bytes out(in.size() + 32);
  uint32_t total = 0;
  size_t pos = 0;
  for (size_t i = 0; i <= cuts.size(); i++) {
    const size_t end = i < cuts.size() ? cuts[i] : in.size();
    uint32_t n = 0;
    const uint8_t *src = in.data() + pos;
    EXPECT_EQ(encrypt ? QLC_SYM_Encrypt_Update(&ctx, out.data() + total, &n, src,
                                               static_cast<uint32_t>(end - pos))
                      : QLC_SYM_Decrypt_Update(&ctx, out.data() + total, &n, src,
                                               static_cast<uint32_t>(end - pos)),
              0);
    total += n;
    pos = end;
  }
  if (encrypt) {
    uint32_t n = 0;
    EXPECT_EQ(QLC_SYM_Encrypt_Final(&ctx, out.data() + total, &n), 0);
    total += n;
  } else {
    uint32_t pad = 0;
    EXPECT_EQ(QLC_SYM_Decrypt_Final(&ctx, &pad), 0);
    total -= pad;
  }
  EXPECT_TRUE(all_zero(ctx));
  out.resize(total);
  return out;
}

TEST(CryptoSym, PublishedVectorsThroughTheBoundary) {
  ASSERT_EQ(QLC_CM_StateChange(0), -6061);  // not yet initialised
  int checked = 0;
  for (const char *file : {"seed128_modes.txt", "aria_modes.txt"}) {
    const int32_t id = file[0] == 's' ? QL_SYM_SEED128 : QL_SYM_ARIA;
    for (const auto &c : qltest::load_vectors(file)) {
      const std::string mode = c.str("MODE");
      if (mode != "CBC" && mode != "ECB") { continue; }
      const QLC_SECRET_KEY key = make_key(id, c.hex("KEY"));
      const QL_SYM_PARAM p = make_params(mode == "CBC" ? QL_SYM_MODE_CBC : QL_SYM_MODE_ECB,
                                         mode == "CBC" ? c.hex("IV") : Bytes{}, QL_SYM_PAD_NONE);
      const Bytes pt = c.hex("PT");
      Bytes ct(pt.size() + 16);
      uint32_t n = 0;
      ASSERT_EQ(QLC_SYM_Encrypt(ct.data(), &n, pt.data(), static_cast<uint32_t>(pt.size()),
                                &key, id, &p),
                0)
          << c.where();
      ct.resize(n);
      EXPECT_EQ(qltest::to_hex(ct), c.str("CT")) << c.where();
      EXPECT_EQ(stream(false, key, id, p, ct, {1, 17}), pt) << c.where();
      checked++;
    }
  }
  EXPECT_GE(checked, 4);
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_APPROVED);
}

// Every cipher, mode and padding: streaming in random pieces equals the one-shot service,
// and decryption gives back the message.
TEST(CryptoSym, StreamingEqualsOneShotForEveryCipherModeAndPadding) {
  ASSERT_EQ(QLC_CM_StateInit(), 0);
  ASSERT_EQ(QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED), 0);  // AES and SEED-256 too
  std::mt19937 rng(7);
  struct Cipher {
    int32_t id;
    uint32_t key_len;
  };
  for (const Cipher c : {Cipher{QL_SYM_AES, 16}, Cipher{QL_SYM_AES, 32}, Cipher{QL_SYM_SEED128, 16},
                         Cipher{QL_SYM_SEED256, 32}, Cipher{QL_SYM_ARIA, 24}}) {
    Bytes kb(c.key_len);
    for (auto &b : kb) { b = static_cast<uint8_t>(rng()); }
    const QLC_SECRET_KEY key = make_key(c.id, kb);
    for (uint32_t mode = QL_SYM_MODE_ECB; mode <= QL_SYM_MODE_CTR; mode++) {
      for (uint32_t pad = QL_SYM_PAD_NONE; pad <= QL_SYM_PAD_PKCS; pad++) {
        Bytes iv(mode == QL_SYM_MODE_ECB ? 0 : 16);
        for (auto &b : iv) { b = static_cast<uint8_t>(rng()); }
        const QL_SYM_PARAM p = make_params(mode, iv, pad);
        // Without padding the input fills whole 16-byte units; with one, any length.
        const bool whole = pad == QL_SYM_PAD_NONE;
        const size_t len = whole ? 16 * (1 + rng() % 8) : rng() % 130;
        Bytes msg(len);
        for (auto &b : msg) { b = static_cast<uint8_t>(rng()); }
        Bytes ct(len + 32);
        uint32_t n = 0;
        ASSERT_EQ(QLC_SYM_Encrypt(ct.data(), &n, msg.data(), static_cast<uint32_t>(len), &key,
                                  c.id, &p),
                  0)
            << c.id << " " << mode << " " << pad;
        ct.resize(n);
        std::vector<size_t> cuts;
        for (size_t at = rng() % 20; at < len; at += 1 + rng() % 40) { cuts.push_back(at); }
        EXPECT_EQ(stream(true, key, c.id, p, msg, cuts), ct) << c.id << " " << mode << " " << pad;
        Bytes back(ct.size() + 16);
        uint32_t m = 0;
        ASSERT_EQ(QLC_SYM_Decrypt(back.data(), &m, ct.data(), static_cast<uint32_t>(ct.size()),
                                  &key, c.id, &p),
                  0);
        back.resize(m);
        if (pad != QL_SYM_PAD_ZERO) { EXPECT_EQ(back, msg) << c.id << " " << mode << " " << pad; }
        if (mode != QL_SYM_MODE_CTR) {
          Bytes dec = stream(false, key, c.id, p, ct, {});
          EXPECT_EQ(dec, back) << c.id << " " << mode << " " << pad;
        }
      }
    }
  }
}

TEST(CryptoSym, KeyAndParameterChecks) {
  const QLC_SECRET_KEY seed = make_key(QL_SYM_SEED128, Bytes(16, 1));
  const QLC_SECRET_KEY seed32 = make_key(QL_SYM_SEED128, Bytes(32, 1));
  const QL_SYM_PARAM cbc = make_params(QL_SYM_MODE_CBC, Bytes(16, 2), QL_SYM_PAD_PKCS);
  uint8_t out[64];
  uint32_t n = 0;
  const uint8_t in[16] = {0};
  QL_SYM_CTX ctx;
  // A key record of another cipher.
  EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &seed, QL_SYM_ARIA, &cbc), -6086);
  EXPECT_EQ(QLC_SYM_Decrypt(out, &n, in, 16, &seed, QL_SYM_ARIA, &cbc), -6090);
  EXPECT_EQ(QLC_SYM_Encrypt_Init(&ctx, &seed, QL_SYM_ARIA, &cbc), -6087);
  EXPECT_EQ(QLC_SYM_Decrypt_Init(&ctx, &seed, QL_SYM_ARIA, &cbc), -6091);
  // Parameters that do not fit the cipher.
  EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &seed32, QL_SYM_SEED128, &cbc), -6076);
  QL_SYM_PARAM p = cbc;
  p.ivLength = 8;
  EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &seed, QL_SYM_SEED128, &p), -6075);
  p.ivLength = 0xFFFFFFFFu;  // never read past the 32-byte IV field
  EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &seed, QL_SYM_SEED128, &p), -6075);
  for (uint32_t pad : {0u, 5u, 0xFFFFFFFFu}) {
    p = cbc;
    p.padding = pad;
    EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &seed, QL_SYM_SEED128, &p), -6077) << pad;
  }
  // Null and malformed records.
  EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, nullptr, QL_SYM_SEED128, &cbc), -6080);
  QLC_SECRET_KEY bad = seed;
  bad.key_len = 257;
  EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &bad, QL_SYM_SEED128, &cbc), -6080);
  EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &seed, QL_SYM_SEED128, nullptr), -6115);
  EXPECT_EQ(QLC_SYM_Encrypt_Init(nullptr, &seed, QL_SYM_SEED128, &cbc), -6116);
  EXPECT_EQ(QLC_SYM_Encrypt_Update(nullptr, out, &n, in, 16), -6142);
  // Gate of the approved state, before anything else is looked at.
  EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &seed, QL_SYM_AES, &cbc), -6067);
  EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &seed, 7, &cbc), -6068);
  // Dispatcher codes pass through: a bad PKCS padding on decryption.
  ASSERT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &seed, QL_SYM_SEED128, &cbc), 0);
  out[n - 1] ^= 0x01;
  uint32_t m = 0;
  uint8_t back[64];
  EXPECT_EQ(QLC_SYM_Decrypt(back, &m, out, n, &seed, QL_SYM_SEED128, &cbc), -4019);
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_APPROVED);
}

// The module holds AES and ARIA keys to the lengths that have a schedule: a 20-byte key would
// otherwise encrypt with its first 16 bytes. The dispatcher's own codes, in both directions.
TEST(CryptoSym, AesAndAriaKeysOnlyOfScheduleLengths) {
  ASSERT_EQ(QLC_CM_StateInit(), 0);
  ASSERT_EQ(QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED), 0);
  const QL_SYM_PARAM cbc = make_params(QL_SYM_MODE_CBC, Bytes(16, 2), QL_SYM_PAD_PKCS);
  const uint8_t in[16] = {0};
  uint8_t out[64];
  for (const int32_t id : {QL_SYM_AES, QL_SYM_ARIA}) {
    for (const uint32_t len : {15u, 16u, 17u, 20u, 23u, 24u, 25u, 31u, 32u, 33u}) {
      const QLC_SECRET_KEY key = make_key(id, Bytes(len, 7));
      const bool ok = len == 16 || len == 24 || len == 32;
      uint32_t n = 0;
      QL_SYM_CTX ctx;
      EXPECT_EQ(QLC_SYM_Encrypt(out, &n, in, 16, &key, id, &cbc), ok ? 0 : -4010) << id << len;
      EXPECT_EQ(QLC_SYM_Encrypt_Init(&ctx, &key, id, &cbc), ok ? 0 : -4010) << id << len;
      EXPECT_EQ(QLC_SYM_Decrypt_Init(&ctx, &key, id, &cbc), ok ? 0 : -4015) << id << len;
      uint32_t m = 0;
      uint8_t back[64];
      EXPECT_EQ(QLC_SYM_Decrypt(back, &m, out, 32, &key, id, &cbc), ok ? 0 : -4015) << id << len;
    }
  }
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_NON_APPROVED);
}

TEST(CryptoSym, ContextsBelongToTheStateTheyWereMadeIn) {
  const QLC_SECRET_KEY seed = make_key(QL_SYM_SEED128, Bytes(16, 3));
  const QL_SYM_PARAM ecb = make_params(QL_SYM_MODE_ECB, {}, QL_SYM_PAD_PKCS);
  QL_SYM_CTX ctx;
  uint8_t out[64];
  uint32_t n = 0;
  const uint8_t in[20] = {0};
  ASSERT_EQ(QLC_SYM_Encrypt_Init(&ctx, &seed, QL_SYM_SEED128, &ecb), 0);
  ASSERT_EQ(QLC_SYM_Encrypt_Update(&ctx, out, &n, in, 20), 0);
  ASSERT_EQ(QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED), 0);
  EXPECT_EQ(QLC_SYM_Encrypt_Update(&ctx, out, &n, in, 20), -6143);
  EXPECT_TRUE(all_zero(ctx));
  // Made in the non-approved state, refused after the switch back.
  ASSERT_EQ(QLC_SYM_Decrypt_Init(&ctx, &seed, QL_SYM_SEED128, &ecb), 0);
  ASSERT_EQ(QLC_CM_StateChange(QLC_CM_STATE_APPROVED), 0);
  uint32_t pad = 0;
  EXPECT_EQ(QLC_SYM_Decrypt_Final(&ctx, &pad), -6143);
  EXPECT_TRUE(all_zero(ctx));
  // A final step zeroes the context; a further update is refused.
  ASSERT_EQ(QLC_SYM_Encrypt_Init(&ctx, &seed, QL_SYM_SEED128, &ecb), 0);
  ASSERT_EQ(QLC_SYM_Encrypt_Final(&ctx, out, &n), 0);
  EXPECT_EQ(n, 16u);
  EXPECT_TRUE(all_zero(ctx));
  EXPECT_EQ(QLC_SYM_Encrypt_Update(&ctx, out, &n, in, 4), -6143);
  // A failed update leaves the context as it was.
  ASSERT_EQ(QLC_SYM_Decrypt_Init(&ctx, &seed, QL_SYM_SEED128, &ecb), 0);
  const QL_SYM_CTX before = ctx;
  EXPECT_NE(QLC_SYM_Decrypt_Update(&ctx, nullptr, &n, in, 16), 0);
  EXPECT_EQ(std::memcmp(&before, &ctx, sizeof(ctx)), 0);
}

TEST(CryptoKeys, GenerationRules) {
  QLC_SECRET_KEY k{};
  struct Row {
    uint32_t gen_id, key_len;
    int32_t want;
    uint32_t want_len;
  };
  for (const Row &r : std::vector<Row>{{0x01000002, 0, 0, 16},
                                       {0x01000002, 24, -6084, 0},
                                       {0x01000004, 20, -6084, 0},
                                       {0x01000004, 24, 0, 24},
                                       {0x01000004, 0, 0, 16},
                                       {0x02000105, 0, 0, 32},
                                       {0x02000105, 129, -6084, 0},
                                       {0x02000102, 64, 0, 64},
                                       {0x02000102, 9, -6084, 0},
                                       {0x03000002, 0, -6078, 0},
                                       {0x01000001, 0, -6067, 0},
                                       {0x01000009, 0, -6068, 0},
                                       {0x02000106, 0, -6070, 0}}) {
    std::memset(&k, 0xEE, sizeof(k));
    const QLC_SECRET_KEY before = k;
    EXPECT_EQ(QLC_KEY_GenSecKey(&k, r.gen_id, r.key_len), r.want) << std::hex << r.gen_id;
    if (r.want == 0) {
      EXPECT_EQ(k.algorithm, static_cast<int32_t>(r.gen_id & 0xFFFFFF));
      EXPECT_EQ(k.key_len, r.want_len);
      EXPECT_EQ(k.key[r.want_len], 0);  // nothing of the old record behind the key
    } else {
      EXPECT_EQ(std::memcmp(&k, &before, sizeof(k)), 0);
    }
  }
  // The non-approved state accepts AES; lengths 16 to 32 in steps of 8.
  ASSERT_EQ(QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED), 0);
  EXPECT_EQ(QLC_KEY_GenSecKey(&k, 0x01000001, 32), 0);
  EXPECT_EQ(QLC_KEY_GenSecKey(&k, 0x01000001, 33), -6084);
  EXPECT_EQ(QLC_KEY_GenSecKey(&k, 0x01000003, 0), 0);
  EXPECT_EQ(k.key_len, 32u);
  // A null record is refused before the state is looked at.
  ql::test::set_state(QLC_CM_STATE_ERROR);
  EXPECT_EQ(QLC_KEY_GenSecKey(nullptr, 0x01000002, 0), -6083);
  EXPECT_EQ(QLC_KEY_GenSecKey(&k, 0x01000002, 0), -6066);
}

TEST(CryptoRand, BytesAreSpreadAndBlocksNeverRepeat) {
  EXPECT_EQ(QLC_Rand(nullptr, 0), 0);
  EXPECT_EQ(QLC_Rand(nullptr, 1), -1501);
  // Each 20-byte block re-gathers entropy, so the sample is kept small.
  Bytes buf(1000);
  ASSERT_EQ(QLC_Rand(buf.data(), static_cast<uint32_t>(buf.size())), 0);
  std::set<std::string> blocks;
  for (size_t i = 0; i + 20 <= buf.size(); i += 20) {
    blocks.insert(qltest::to_hex(buf.data() + i, 20));
  }
  EXPECT_EQ(blocks.size(), 50u);
  EXPECT_GT(std::set<uint8_t>(buf.begin(), buf.end()).size(), 200u);
}

TEST(CryptoRand, ContinuousTestFailureStopsEveryService) {
  uint8_t out[40];
  ASSERT_EQ(QLC_Rand(out, 20), 0);
  ql::test::cmvp_rand_repeat_next_block();
  EXPECT_EQ(QLC_Rand(out, 40), -6001);
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_ERROR);
  EXPECT_EQ(QLC_Rand(out, 20), -6066);
  QLC_SECRET_KEY k{};
  EXPECT_EQ(QLC_KEY_GenSecKey(&k, 0x01000002, 0), -6066);
  uint32_t n = 0;
  EXPECT_EQ(QLC_Hash(out, &n, out, 1, QL_HASH_SHA1), -6066);
}

// For every service, fail allocation 0, 1, 2, ... until the call succeeds: each failing run
// returns the service's code for that allocation in ordinary form, leaves the module in its
// error state and the caller's context as it was.
TEST(CryptoSym, AllocationFailureAtEveryAllocation) {
  const QLC_SECRET_KEY key = make_key(QL_SYM_SEED128, Bytes(16, 9));
  const QL_SYM_PARAM p = make_params(QL_SYM_MODE_CBC, Bytes(16, 4), QL_SYM_PAD_PKCS);
  const uint8_t in[20] = {1, 2, 3};
  struct Service {
    const char *name;
    std::vector<int32_t> codes;  // by allocation index, up to the dispatcher's own
    std::function<int32_t(QL_SYM_CTX &)> call;
  };
  const std::vector<Service> services = {
      {"QLC_SYM_Encrypt",
       {-6081, -6129, -6135},
       [&](QL_SYM_CTX &) {
         uint8_t out[64];
         uint32_t n = 0;
         return QLC_SYM_Encrypt(out, &n, in, 20, &key, QL_SYM_SEED128, &p);
       }},
      {"QLC_SYM_Decrypt_Init",
       {-6081, -6129, -6125},
       [&](QL_SYM_CTX &c) { return QLC_SYM_Decrypt_Init(&c, &key, QL_SYM_SEED128, &p); }},
      {"QLC_SYM_Encrypt_Update",
       {-6123},
       [&](QL_SYM_CTX &c) {
         uint8_t out[64];
         uint32_t n = 0;
         return QLC_SYM_Encrypt_Update(&c, out, &n, in, 20);
       }},
      {"QLC_SYM_Encrypt_Final",
       {-6124},
       [&](QL_SYM_CTX &c) {
         uint8_t out[64];
         uint32_t n = 0;
         return QLC_SYM_Encrypt_Final(&c, out, &n);
       }},
      {"QLC_KEY_GenSecKey",
       {-6085},
       [&](QL_SYM_CTX &) {
         QLC_SECRET_KEY k{};
         return QLC_KEY_GenSecKey(&k, 0x01000002, 0);
       }},
  };
  for (const Service &s : services) {
    for (size_t n = 0;; n++) {
      ASSERT_LE(n, s.codes.size()) << s.name << " allocates more than expected";
      ql::test::set_state(QLC_CM_STATE_APPROVED);
      QL_SYM_CTX ctx;
      ASSERT_EQ(QLC_SYM_Encrypt_Init(&ctx, &key, QL_SYM_SEED128, &p), 0);
      const QL_SYM_CTX before = ctx;
      ql::test::alloc_fail_at(static_cast<int64_t>(n));
      const int32_t r = s.call(ctx);
      ql::test::alloc_fail_at(-1);
      if (n == s.codes.size()) {
        EXPECT_EQ(r, 0) << s.name;
        break;
      }
      EXPECT_EQ(r, s.codes[n]) << s.name << " allocation " << n;
      EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_ERROR) << s.name << " allocation " << n;
      EXPECT_EQ(std::memcmp(&before, &ctx, sizeof(ctx)), 0) << s.name << " allocation " << n;
    }
  }
}

}  // namespace
