// The hardware paths: the detection agrees with the compiler's own, every detected feature is
// in use by default, and each accelerated function gives the portable code's bytes over key
// sizes, directions, lengths around the lane count, counters at carry boundaries and in-place
// buffers. The other suites run again with the portable code forced (QL_TEST_CPU_MASK=0) and
// without the 256-bit paths (QL_TEST_CPU_MASK=13: AES-NI, SHA extensions, BMI2).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "bigint/ql_mont.h"
#include "pk/ql_ecc.h"
#include "sym/ql_aes.h"
#include "platform/ql_cpu.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes pattern(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto &v : b) { v = static_cast<uint8_t>(rng()); }
  return b;
}

// The feature masks that select each implementation besides the portable one: the 128-bit
// paths, scalar BMI2 alone (SHA-512's rounds compiled for it), both (as CTest's "sse" run),
// and every detected feature (AVX2: SHA-512's vector schedule, 256-bit ARIA and SEED).
constexpr uint32_t kPathMasks[] = {
    ql::cpu::kAesNi | ql::cpu::kShaNi,
    ql::cpu::kBmi2,
    ql::cpu::kAesNi | ql::cpu::kShaNi | ql::cpu::kBmi2,
    ql::cpu::kAllFeatures,
};

// Runs `f` with the portable code forced, then under each of kPathMasks, and expects the same
// bytes each time; a CPU without `feature` skips.
template <typename F>
void expect_same_on_every_path(uint32_t feature, F f) {
  if ((ql::test::cpu_detected() & feature) != feature) { GTEST_SKIP() << "feature absent"; }
  ql::test::set_cpu_mask(0);
  const Bytes portable = f();
  for (uint32_t mask : kPathMasks) {
    SCOPED_TRACE(testing::Message() << "feature mask " << mask);
    ql::test::set_cpu_mask(mask);
    EXPECT_EQ(f(), portable);
  }
}

TEST(CpuFeatures, DetectionAgreesWithTheCompilerAndIsUsedByDefault) {
#if QL_X86_ACCEL
  __builtin_cpu_init();
  const bool aes = __builtin_cpu_supports("aes") && __builtin_cpu_supports("ssse3") &&
                   __builtin_cpu_supports("sse4.1");
  const bool sha = __builtin_cpu_supports("sha") && __builtin_cpu_supports("ssse3") &&
                   __builtin_cpu_supports("sse4.1");
  const bool avx2 = __builtin_cpu_supports("avx2");
  const bool vaes = __builtin_cpu_supports("vaes") && avx2 && aes;
  const bool bmi2 = __builtin_cpu_supports("bmi2");
  const bool ifma = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512ifma");
  const uint32_t detected = ql::test::cpu_detected();
  EXPECT_EQ((detected & ql::cpu::kAesNi) != 0, aes);
  EXPECT_EQ((detected & ql::cpu::kShaNi) != 0, sha);
  EXPECT_EQ((detected & ql::cpu::kAvx2) != 0, avx2);
  EXPECT_EQ((detected & ql::cpu::kVaes) != 0, vaes);
  EXPECT_EQ((detected & ql::cpu::kBmi2) != 0, bmi2);
  EXPECT_EQ((detected & ql::cpu::kIfma) != 0, ifma);
#else
  EXPECT_EQ(ql::test::cpu_detected(), 0u);
#endif
  if (std::getenv("QL_TEST_CPU_MASK") == nullptr) {
    EXPECT_EQ(ql::cpu::features(), ql::test::cpu_detected());
  }
  ql::test::set_cpu_mask(0);
  EXPECT_EQ(ql::cpu::features(), 0u);
}

// Key schedules of every size and direction, and one block through QL_AES_Main each way.
TEST(AesHw, ScheduleAndBlockMatchPortable) {
  expect_same_on_every_path(ql::cpu::kAesNi, [] {
    Bytes all;
    for (uint32_t klen : {16u, 24u, 32u}) {
      const Bytes key = pattern(klen, klen);
      for (int32_t dir : {0, 1}) {
        QL_AES_KEY rk;
        std::memset(&rk, 0, sizeof(rk));
        EXPECT_EQ(QL_AES_MakeKey(&rk, key.data(), klen, dir), 0);
        const auto *p = reinterpret_cast<const uint8_t *>(&rk);
        all.insert(all.end(), p, p + sizeof(rk));
        Bytes block = pattern(16, klen + dir);
        for (int i = 0; i < 3; i++) { QL_AES_Main(block.data(), block.data(), &rk, dir); }
        all.insert(all.end(), block.begin(), block.end());
      }
    }
    return all;
  });
}

// The stand-alone ECB and CBC functions, around and across the eight-block lanes, in place.
TEST(AesHw, ModeFunctionsMatchPortable) {
  expect_same_on_every_path(ql::cpu::kAesNi, [] {
    Bytes all;
    for (uint32_t klen : {16u, 24u, 32u}) {
      const Bytes key = pattern(klen, 7 * klen);
      for (uint32_t blocks : {1u, 7u, 8u, 9u, 17u, 40u}) {
        for (int32_t dir : {0, 1}) {
          Bytes buf = pattern(16 * blocks, blocks + dir);
          uint32_t n = 0;
          EXPECT_EQ(QL_AES_ECB(buf.data(), &n, buf.data(), 16 * blocks, key.data(), klen, dir), 0);
          all.insert(all.end(), buf.begin(), buf.end());
          Bytes iv = pattern(16, blocks);
          EXPECT_EQ(
              QL_AES_CBC(buf.data(), &n, buf.data(), 16 * blocks, key.data(), klen, iv.data(), dir),
              0);
          all.insert(all.end(), buf.begin(), buf.end());
          all.insert(all.end(), iv.begin(), iv.end());
        }
      }
    }
    return all;
  });
}

// SHA-1 and SHA-256 over every length up to five blocks, one call and streamed in pieces of
// 1, 63 and 130 bytes, so whole-block runs of every count meet the buffered path.
TEST(ShaHw, DigestsMatchPortable) {
  expect_same_on_every_path(ql::cpu::kShaNi, [] {
    Bytes all;
    const Bytes msg = pattern(320, 11);
    for (uint32_t len = 0; len <= msg.size(); len++) {
      uint8_t d1[20], d256[32];
      QL_SHA1(d1, msg.data(), len);
      QL_SHA256(d256, msg.data(), len);
      all.insert(all.end(), d1, d1 + 20);
      all.insert(all.end(), d256, d256 + 32);
    }
    QL_SHA1_CTX c1;
    QL_SHA256_CTX c256;
    QL_SHA1_Init(&c1);
    QL_SHA256_Init(&c256);
    const uint32_t pieces[] = {1, 63, 130};
    for (uint32_t done = 0, k = 0; done < msg.size(); k++) {
      const uint32_t left = static_cast<uint32_t>(msg.size()) - done;
      const uint32_t take = std::min<uint32_t>(pieces[k % 3], left);
      QL_SHA1_Update(&c1, msg.data() + done, take);
      QL_SHA256_Update(&c256, msg.data() + done, take);
      done += take;
    }
    uint8_t d1[20], d256[32];
    QL_SHA1_Final(&c1, d1);
    QL_SHA256_Final(&c256, d256);
    all.insert(all.end(), d1, d1 + 20);
    all.insert(all.end(), d256, d256 + 32);
    return all;
  });
}

#if QL_X86_ACCEL && defined(QL_BIG_LIMB64)
// The curve kernel's product, square, sum and difference modulo p and n of P-224 and P-256
// against the portable Montgomery engine and limb arithmetic, on random operands and on 0, 1,
// m - 1 and values just below m, where the carries and the final corrections meet.
TEST(EccHw, FieldKernelMatchesPortable) {
  if ((ql::test::cpu_detected() & ql::cpu::kMulx) != ql::cpu::kMulx) { GTEST_SKIP() << "no ADX"; }
  ql::test::set_cpu_mask(ql::cpu::kAllFeatures);
  const ql::Mont4Kernel &k = ql::ecc_mont4_kernel();
  ASSERT_NE(k.mul, nullptr);
  std::mt19937_64 rng(7);
  for (uint32_t bits : {224u, 256u}) {
    QL_ECDSA_PARAMETERS c{};
    ASSERT_EQ(QL_ECDSA_InitParameters(&c, bits), 0);
    for (const Big *mb : {&c.p, &c.n}) {
      uint64_t m[4];
      ql::words_to_limbs<uint64_t>(m, 4, mb->words, mb->length);
      const uint64_t m0 = ql::neg_inverse<uint64_t>(m[0]);
      const ql::Mont<uint64_t> mont{m, 4, m0};
      auto operand = [&](uint64_t *x) {
        const uint64_t below[4] = {rng() % 3 == 0 ? 1 : rng() % 1000 + 1, 0, 0, 0};
        switch (rng() % 5) {
          case 0: std::fill(x, x + 4, 0); x[0] = rng() % 2; return;
          case 1: ql::sub_limbs<uint64_t>(x, m, below, 4); return;
          default:
            for (int i = 0; i < 4; i++) { x[i] = rng(); }
            x[3] %= m[3] + 1;
            if (ql::cmp_limbs<uint64_t>(x, m, 4) >= 0) { ql::sub_limbs<uint64_t>(x, x, m, 4); }
        }
      };
      for (int i = 0; i < 20000; i++) {
        uint64_t a[4], b[4], want[4], got[4], s[4], t[9];
        operand(a);
        operand(b);
        ql::mont_product<uint64_t, false, 4>(want, a, b, mont, t);
        k.mul(got, a, b, m, m0);
        ASSERT_TRUE(std::equal(want, want + 4, got)) << bits << " mul " << i;
        ql::mont_product<uint64_t, true, 4>(want, a, a, mont, t);
        k.sqr(got, a, m, m0);
        ASSERT_TRUE(std::equal(want, want + 4, got)) << bits << " sqr " << i;
        const uint64_t carry = ql::add_limbs<uint64_t>(s, a, b, 4);
        const uint64_t borrow = ql::sub_limbs<uint64_t>(want, s, m, 4);
        if (carry == 0 && borrow != 0) { std::copy(s, s + 4, want); }
        std::copy(a, a + 4, got);
        k.add(got, got, b, m);  // in place
        ASSERT_TRUE(std::equal(want, want + 4, got)) << bits << " add " << i;
        if (ql::sub_limbs<uint64_t>(want, a, b, 4) != 0) { ql::add_limbs<uint64_t>(want, want, m, 4); }
        k.sub(got, a, b, m);
        ASSERT_TRUE(std::equal(want, want + 4, got)) << bits << " sub " << i;
      }
    }
  }
}
#endif

struct EngineCase {
  uint32_t mode;
  uint32_t segment;
  uint32_t padding;
  size_t len;
  const char *counter;  // CTR: the initial counter block, else null (a random IV)
};

// SHA-384 and SHA-512 over every length up to five blocks (the AVX2 schedule takes blocks in
// pairs: odd and even counts, a lone block after pairs), streamed in pieces of 1, 127 and 300
// bytes, and HMAC-SHA512 with keys shorter and longer than a block.
TEST(ShaHw, Sha512MatchesPortable) {
  expect_same_on_every_path(ql::cpu::kBmi2, [] {
    Bytes all;
    const Bytes msg = pattern(700, 12);
    for (uint32_t len = 0; len <= msg.size(); len += 3) {
      uint8_t d384[48], d512[64];
      QL_SHA384(d384, msg.data(), len);
      QL_SHA512(d512, msg.data(), len);
      all.insert(all.end(), d384, d384 + 48);
      all.insert(all.end(), d512, d512 + 64);
    }
    QL_SHA512_CTX ctx;
    QL_SHA512_Init(&ctx);
    const uint32_t pieces[] = {1, 127, 300};
    for (uint32_t done = 0, k = 0; done < msg.size(); k++) {
      const uint32_t take =
          std::min<uint32_t>(pieces[k % 3], static_cast<uint32_t>(msg.size()) - done);
      QL_SHA512_Update(&ctx, msg.data() + done, take);
      done += take;
    }
    uint8_t d512[64];
    QL_SHA512_Final(&ctx, d512);
    all.insert(all.end(), d512, d512 + 64);
    for (uint32_t key_len : {20u, 128u, 200u}) {
      uint8_t mac[64];
      uint32_t mac_len = 0;
      EXPECT_EQ(QL_HMAC(mac, &mac_len, msg.data(), 333, msg.data() + 350, key_len,
                        QL_HMAC_SHA512),
                0);
      EXPECT_EQ(mac_len, 64u);
      all.insert(all.end(), mac, mac + 64);
    }
    return all;
  });
}

struct CipherKey {
  int32_t id;
  uint32_t key_len;
};
constexpr CipherKey kCipherKeys[] = {
    {QL_SYM_AES, 16},     {QL_SYM_AES, 24},  {QL_SYM_AES, 32},  {QL_SYM_SEED128, 16},
    {QL_SYM_SEED256, 32}, {QL_SYM_ARIA, 16}, {QL_SYM_ARIA, 24}, {QL_SYM_ARIA, 32},
};

// The dispatcher's engine for every cipher: every mode, whole and partial blocks, runs longer
// than the eight-block groups, streamed in uneven pieces, counters whose low word, low half
// and whole value wrap inside the run.
TEST(CipherHw, EngineMatchesPortable) {
  const EngineCase cases[] = {
      {QL_SYM_MODE_ECB, 16, QL_SYM_PAD_PKCS, 333, nullptr},
      {QL_SYM_MODE_CBC, 16, QL_SYM_PAD_PKCS, 333, nullptr},
      {QL_SYM_MODE_CBC, 16, QL_SYM_PAD_NONE, 16 * 101, nullptr},
      {QL_SYM_MODE_CFB, 16, QL_SYM_PAD_NONE, 16 * 9, nullptr},
      {QL_SYM_MODE_CFB, 16, QL_SYM_PAD_NONE, 16 * 101, nullptr},
      {QL_SYM_MODE_CFB, 1, QL_SYM_PAD_NONE, 77, nullptr},
      {QL_SYM_MODE_OFB, 16, QL_SYM_PAD_NONE, 16 * 9, nullptr},
      {QL_SYM_MODE_ECB, 16, QL_SYM_PAD_NONE, 16 * 41, nullptr},
      {QL_SYM_MODE_CTR, 16, QL_SYM_PAD_NONE, 16 * 19 + 5, "000102030405060708090a0bfffffffd"},
      {QL_SYM_MODE_CTR, 16, QL_SYM_PAD_NONE, 16 * 19 + 5, "00010203040506fffffffffffffffffc"},
      {QL_SYM_MODE_CTR, 16, QL_SYM_PAD_NONE, 16 * 101, "fffffffffffffffffffffffffffffffa"},
      {QL_SYM_MODE_CTR, 4, QL_SYM_PAD_NONE, 61, "fffffffffffffffffffffffffffffffe"},
  };
  for (const EngineCase &c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " segment " << c.segment << " len "
                                    << c.len);
    expect_same_on_every_path(ql::cpu::kAesNi, [&c] {
      Bytes all;
      for (const CipherKey &ck : kCipherKeys) {
        const uint32_t klen = ck.key_len;
        const int32_t id = ck.id;
        const Bytes key = pattern(klen, klen + c.mode);
        QL_SYM_PARAM p;
        std::memset(&p, 0, sizeof(p));
        p.mode = c.mode;
        p.ivLength = 16;
        p.segmentLength = c.segment;
        p.padding = c.padding;
        const Bytes iv = pattern(16, c.mode);
        std::memcpy(p.iv, iv.data(), 16);
        if (c.counter != nullptr) {
          for (int i = 0; i < 16; i++) {
            p.iv[i] = static_cast<uint8_t>(std::strtoul(std::string(c.counter + 2 * i, 2).c_str(),
                                                        nullptr, 16));
          }
        }
        const Bytes in = pattern(c.len, static_cast<uint32_t>(c.len));
        // One call each way, and a streamed encryption in pieces of 1, 37 and 200 bytes.
        Bytes ct(c.len + 32), pt(c.len + 32);
        uint32_t n = 0;
        EXPECT_EQ(QL_SYM_Encrypt(&p, ct.data(), &n, in.data(), static_cast<uint32_t>(c.len),
                                 key.data(), klen, id),
                  0);
        ct.resize(n);
        EXPECT_EQ(QL_SYM_Decrypt(&p, pt.data(), &n, ct.data(), static_cast<uint32_t>(ct.size()),
                                 key.data(), klen, id),
                  0);
        pt.resize(n);
        EXPECT_EQ(pt, in);
        all.insert(all.end(), ct.begin(), ct.end());
        QL_SYM_CTX *ctx = QL_SYM_CTX_New();
        EXPECT_NE(ctx, nullptr);
        EXPECT_EQ(QL_SYM_Encrypt_Init(ctx, &p, key.data(), klen, id), 0);
        Bytes st(c.len + 32);
        size_t done = 0, produced = 0;
        const size_t pieces[] = {1, 37, 200};
        for (size_t k = 0; done < c.len; k++) {
          const size_t take = std::min(pieces[k % 3], c.len - done);
          uint32_t m = 0;
          EXPECT_EQ(QL_SYM_Encrypt_Update(ctx, st.data() + produced, &m, in.data() + done,
                                          static_cast<uint32_t>(take)),
                    0);
          done += take;
          produced += m;
        }
        uint32_t m = 0;
        EXPECT_EQ(QL_SYM_Encrypt_Final(ctx, st.data() + produced, &m), 0);
        st.resize(produced + m);
        EXPECT_EQ(st, ct);
        QL_SYM_CTX_Delete(ctx);
      }
      return all;
    });
  }
}

}  // namespace
