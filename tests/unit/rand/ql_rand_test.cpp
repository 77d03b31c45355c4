// Random generators: the KCDSA hash generator against the standard's sample values, the X9.62
// generator's rules and ranges, the hash pool generator, random integers, the entropy pool and
// the module generator with its continuous test.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "module/ql_cmvp.h"
#include "rand/ql_rand.h"
#include "ql_vectors.h"

namespace {

using qltest::from_hex;
using qltest::to_hex;

Big big_from(const std::vector<uint8_t> &bytes) {
  Big b{};
  EXPECT_EQ(U8ToBig(&b, bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
  return b;
}

std::vector<uint8_t> bytes_of(const Big &b, size_t n) {
  std::vector<uint8_t> out(n);
  EXPECT_EQ(BigToU82(out.data(), &b, static_cast<uint32_t>(n)), 0);
  return out;
}

int32_t hash_id(const std::string &name) {
  if (name == "SHA-256") { return QL_HASH_SHA256; }
  if (name == "HAS-160") { return QL_HASH_HAS160; }
  return 0;  // SHA-224 is not a digest of this library
}

// J, Q and the private key X of the standard's samples, regenerated from their seeds.
TEST(KcdsaPrng, RegeneratesStandardSamples) {
  int checked = 0;
  for (const auto &c : qltest::load_vectors("kcdsa_ttak_r4.txt")) {
    const int32_t id = hash_id(c.str("HASH"));
    if (id == 0) { continue; }
    const uint32_t alpha = static_cast<uint32_t>(c.num("ALPHA"));
    const uint32_t beta = static_cast<uint32_t>(c.num("BETA"));
    const auto seed = c.hex("SEED");
    // J = PRNG(seed, alpha - beta - 4) with its top bit (alpha - beta - 1) and bit 0 set.
    Big u{};
    ASSERT_EQ(Big_KCDSA_PRNG(&u, alpha - beta - 4, id, seed.data(), 8 * seed.size()), 0);
    auto j = bytes_of(u, (alpha - beta) / 8);
    j[0] |= 0x80;
    j.back() |= 1;
    EXPECT_EQ(to_hex(j), c.str("J")) << c.where();
    // Q = PRNG(seed || count as 4 big-endian bytes, beta), top bit and bit 0 set.
    auto seed_count = seed;
    const uint32_t count = static_cast<uint32_t>(c.num("COUNT"));
    for (int s = 24; s >= 0; s -= 8) { seed_count.push_back(static_cast<uint8_t>(count >> s)); }
    ASSERT_EQ(Big_KCDSA_PRNG(&u, beta, id, seed_count.data(), 8 * seed_count.size()), 0);
    auto q = bytes_of(u, beta / 8);
    q[0] |= 0x80;
    q.back() |= 1;
    EXPECT_EQ(to_hex(q), c.str("Q")) << c.where();
    // X = PRNG((XKEY + PRNG(UPRI, beta)) mod 2^beta, beta) mod Q.
    const auto upri = c.hex("UPRI");
    Big xseed{};
    ASSERT_EQ(Big_KCDSA_PRNG(&xseed, beta, id, upri.data(), 8 * upri.size()), 0);
    Big xkey = big_from(c.hex("XKEY"));
    Big xval{};
    ASSERT_EQ(Big_Add(&xval, &xkey, &xseed), 0);
    auto xval_bytes = bytes_of(xval, beta / 8 + 1);
    xval_bytes.erase(xval_bytes.begin());  // mod 2^beta
    Big v{};
    ASSERT_EQ(Big_KCDSA_PRNG(&v, beta, id, xval_bytes.data(), beta), 0);
    Big qq = big_from(c.hex("Q"));
    Big x{};
    ASSERT_EQ(Big_Mod(&x, &v, &qq), 0);
    EXPECT_EQ(to_hex(bytes_of(x, beta / 8)), c.str("X")) << c.where();
    checked++;
  }
  EXPECT_EQ(checked, 4);
}

TEST(KcdsaPrng, LayoutRules) {
  const uint8_t seed[3] = {1, 2, 3};
  uint8_t in[4] = {1, 2, 3, 0};
  uint8_t h0[32];
  uint8_t h1[32];
  uint32_t len = 0;
  ASSERT_EQ(QL_Hash(h0, &len, in, 4, QL_HASH_SHA256), 0);
  in[3] = 1;
  ASSERT_EQ(QL_Hash(h1, &len, in, 4, QL_HASH_SHA256), 0);
  // Exactly one block: the value is hash(seed || 0).
  Big r{};
  ASSERT_EQ(Big_KCDSA_PRNG(&r, 256, QL_HASH_SHA256, seed, 24), 0);
  EXPECT_EQ(to_hex(bytes_of(r, 32)), to_hex(h0, 32));
  // 260 bits: block 0 is the low part, the last byte of hash(seed || 1) the top with four
  // bits cleared.
  ASSERT_EQ(Big_KCDSA_PRNG(&r, 260, QL_HASH_SHA256, seed, 24), 0);
  const auto b = bytes_of(r, 33);
  EXPECT_EQ(b[0], h1[31] & 0x0F);
  EXPECT_EQ(to_hex(b.data() + 1, 32), to_hex(h0, 32));
  // Errors: an unknown digest, and sizes beyond the integer's capacity before any allocation.
  EXPECT_EQ(Big_KCDSA_PRNG(&r, 256, 9, seed, 24), -2511);
  EXPECT_EQ(Big_KCDSA_PRNG(&r, 0xFFFFFFF0u, QL_HASH_SHA256, seed, 24), -2010);
  // Allocation failure of either buffer is critical.
  for (int64_t n = 0; n < 2; n++) {
    ql::test::alloc_fail_at(n);
    EXPECT_EQ(Big_KCDSA_PRNG(&r, 256, QL_HASH_SHA256, seed, 24), ql::critical(-5020));
  }
  ql::test::alloc_fail_at(-1);
}

Big default_q() { return big_from(std::vector<uint8_t>(ql::kX962DefaultQ, ql::kX962DefaultQ + 20)); }

TEST(X962, ArgumentChecks) {
  QL_X962_CTX ctx;
  const Big q = default_q();
  uint8_t key[65] = {1};
  EXPECT_EQ(Big_X962_Init(nullptr, &q, key, 20, nullptr, 0), -1504);
  EXPECT_EQ(Big_X962_Init(&ctx, nullptr, key, 20, nullptr, 0), -1504);
  EXPECT_EQ(Big_X962_Init(&ctx, &q, nullptr, 20, nullptr, 0), -1504);
  EXPECT_EQ(Big_X962_Init(&ctx, &q, key, 19, nullptr, 0), -1504);
  EXPECT_EQ(Big_X962_Init(&ctx, &q, key, 65, nullptr, 0), -1504);
  Big small{};
  small.length = 4;
  small.words[3] = 1;
  EXPECT_EQ(Big_X962_Init(&ctx, &small, key, 20, nullptr, 0), -1504);
  Big large{};
  large.length = 17;
  large.words[16] = 1;
  EXPECT_EQ(Big_X962_Init(&ctx, &large, key, 20, nullptr, 0), -1504);
  EXPECT_EQ(Big_X962_Update(nullptr, key, 20), -1503);
  Big w{};
  EXPECT_EQ(Big_X962_Random(nullptr, &w), -1502);
  EXPECT_EQ(Big_X962_Random(&ctx, nullptr), -1502);
  // A seed longer than XKEY is cut to XKEY's length.
  uint8_t seed[40];
  std::memset(seed, 0x77, sizeof(seed));
  ASSERT_EQ(Big_X962_Init(&ctx, &q, key, 20, seed, 40), 0);
  EXPECT_EQ(ctx.seed_len, 20u);
  EXPECT_EQ(ctx.xseed[20], 0);
  EXPECT_EQ(Big_X962_Final(&ctx), 0);
  EXPECT_EQ(Big_X962_Final(nullptr), 0);
  // A finalised context is refused, not used.
  EXPECT_EQ(Big_X962_Random(&ctx, &w), -1502);
}

TEST(X962, OutputsStayInRangeAndTwoBlocksFor161Bits) {
  uint8_t key[20];
  for (int i = 0; i < 20; i++) { key[i] = static_cast<uint8_t>(i * 7 + 1); }
  // q = 2^160 + 7: 161 bits, two G blocks per value.
  std::vector<uint8_t> q161(21, 0);
  q161[0] = 1;
  q161[20] = 7;
  for (const Big &q : {default_q(), big_from(q161), big_from(std::vector<uint8_t>(20, 0xFF))}) {
    QL_X962_CTX ctx;
    ASSERT_EQ(Big_X962_Init(&ctx, &q, key, 20, key, 20), 0);
    Big qm1{};
    ASSERT_EQ(Big_SubByWord(&qm1, &q, 1), 0);
    std::set<std::string> seen;
    for (int i = 0; i < 200; i++) {
      Big w{};
      ASSERT_EQ(Big_X962_Random(&ctx, &w), 0);
      EXPECT_EQ(w.sign, 0u);
      EXPECT_GE(Big_GetFilledBitNum(&w), 1);
      EXPECT_EQ(Big_Comp(&w, &qm1) <= 0, true);
      seen.insert(to_hex(bytes_of(w, 24)));
    }
    EXPECT_EQ(seen.size(), 200u);
  }
}

TEST(HashPool, ReturnsWhatWasAskedAndNeverRepeats) {
  uint8_t buf[141];
  EXPECT_EQ(QL_RandomBytes(buf, 0), 0u);
  EXPECT_EQ(QL_RandomBytes(nullptr, 5), 0u);
  EXPECT_EQ(QL_RandomBytes(buf, 141), 141u);
  std::set<std::string> seen = {to_hex(buf, 141)};
  uint8_t small[20];
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(QL_RandomBytes(small, 20), 20u);
    seen.insert(to_hex(small, 20));
  }
  // Two threads draw at the same time: every block distinct.
  std::vector<std::string> got[2];
  std::thread t[2];
  for (int k = 0; k < 2; k++) {
    t[k] = std::thread([&got, k] {
      for (int i = 0; i < 3; i++) {
        uint8_t b[20];
        QL_RandomBytes(b, 20);
        got[k].push_back(to_hex(b, 20));
      }
    });
  }
  for (auto &th : t) { th.join(); }
  for (const auto &g : got) { seen.insert(g.begin(), g.end()); }
  EXPECT_EQ(seen.size(), 10u);
}

TEST(BigRandom, BitLengthTopAndOdd) {
  struct Row {
    uint32_t bits;
    int32_t top, odd;
    uint32_t lo, hi;
  };
  for (const Row &r : std::vector<Row>{{9, 0, 0, 256, 511},
                                       {9, 1, 0, 384, 511},
                                       {8, 1, 0, 192, 255},
                                       {1, 0, 0, 1, 1},
                                       {1, 1, 1, 1, 1},
                                       {2, 1, 0, 3, 3},
                                       {17, 1, 1, 0x18000, 0x1FFFF}}) {
    Big b{};
    ASSERT_EQ(QL_Big_Random(&b, r.bits, r.top, r.odd), 0) << r.bits;
    const uint32_t v = b.words[0];
    EXPECT_GE(v, r.lo) << r.bits;
    EXPECT_LE(v, r.hi) << r.bits;
    if (r.odd != 0) { EXPECT_EQ(v & 1, 1u) << r.bits; }
  }
  Big b{};
  ASSERT_EQ(QL_Big_Random(&b, 1024, 1, 1), 0);
  EXPECT_EQ(Big_GetFilledBitNum(&b), 1024);
  EXPECT_EQ(b.words[31] >> 30, 3u);
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(QL_Big_Random(&b, 64, 0, 0), ql::critical(-1505));
  ql::test::alloc_fail_at(-1);
}

TEST(EntropyPool, AppendWrapsAndCapsTheCount) {
  QL_ENTROPY_POOL pool{};
  std::vector<uint8_t> data(600, 0x01);
  QL_Append_Entropy(&pool, data.data(), 600);
  EXPECT_EQ(pool.count, 512u);
  EXPECT_EQ(pool.position, 88u);
  EXPECT_EQ(pool.pool[87], 0);     // written twice
  EXPECT_EQ(pool.pool[88], 0x01);  // written once
  QL_Append_Entropy(&pool, nullptr, 10);
  QL_Append_Entropy(nullptr, data.data(), 10);
  EXPECT_EQ(pool.position, 88u);
  QL_Generate_Entropy(&pool);
  // Clocks, identifiers, the system name and the system generator alone exceed 128 bytes.
  EXPECT_GT(pool.count, 128u);
}

TEST(ModuleRand, FirstUseAndBlockRules) {
  EXPECT_EQ(QL_CMVP_RAND_Final(), 0);  // before any use
  uint8_t a[21];
  uint8_t b[21];
  EXPECT_EQ(QL_CMVP_RAND_GetRandom(a, 0), 0);
  EXPECT_EQ(QL_CMVP_RAND_GetRandom(a, 21), 0);
  EXPECT_EQ(QL_CMVP_RAND_GetRandom(b, 21), 0);
  EXPECT_NE(to_hex(a, 21), to_hex(b, 21));
  EXPECT_EQ(QL_CMVP_RAND_Update(nullptr, 0), 0);
  // Re-keying needs a key or a seed; sizes are checked by the generator.
  EXPECT_EQ(QL_CMVP_RAND_Init(nullptr, 0, nullptr, 0, nullptr, 0), -1506);
  uint8_t key[20] = {3};
  EXPECT_EQ(QL_CMVP_RAND_Init(nullptr, 0, key, 16, key, 20), -1504);
  EXPECT_EQ(QL_CMVP_RAND_Init(key, 0, key, 20, key, 20), -2009);
  EXPECT_EQ(QL_CMVP_RAND_Init(nullptr, 0, key, 20, key, 20), 0);
  EXPECT_EQ(QL_CMVP_RAND_GetRandom(a, 21), 0);
}

TEST(ModuleRand, RepeatedBlockStopsTheModule) {
  ASSERT_EQ(QLC_CM_StateInit(), 0);
  uint8_t out[40];
  std::memset(out, 0, sizeof(out));
  ASSERT_EQ(QL_CMVP_RAND_GetRandom(out, 20), 0);
  ql::test::cmvp_rand_repeat_next_block();
  EXPECT_EQ(QL_CMVP_RAND_GetRandom(out, 40), -6001);
  EXPECT_EQ(QLC_CM_StateInfo(), QLC_CM_STATE_ERROR);
}

TEST(ModuleRand, ConcurrentRequests) {
  std::vector<std::thread> threads;
  std::vector<std::string> got(8);
  for (int k = 0; k < 8; k++) {
    threads.emplace_back([&got, k] {
      uint8_t b[20];
      EXPECT_EQ(QL_CMVP_RAND_GetRandom(b, 20), 0);
      got[k] = to_hex(b, 20);
    });
  }
  for (auto &t : threads) { t.join(); }
  EXPECT_EQ(std::set<std::string>(got.begin(), got.end()).size(), 8u);
}

}  // namespace
