// The symmetric dispatcher: published mode vectors for every cipher, streaming at every kind
// of split against one call, the paddings byte by byte, every status code, the CTR rules for
// partial blocks, in-place and odd-address buffers, allocation failures and the context check.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "module/ql_cmvp.h"
#include "ql_vectors.h"

namespace {

using qltest::from_hex;
using qltest::load_vectors;
using qltest::to_hex;
using Bytes = std::vector<uint8_t>;

QL_SYM_PARAM param(uint32_t mode, const Bytes &iv, uint32_t seg, uint32_t pad) {
  QL_SYM_PARAM p;
  std::memset(&p, 0, sizeof(p));
  p.mode = mode;
  if (!iv.empty()) { std::memcpy(p.iv, iv.data(), iv.size() < 32 ? iv.size() : 32); }
  p.ivLength = static_cast<uint32_t>(iv.size());
  p.segmentLength = seg;
  p.padding = pad;
  return p;
}

Bytes iv16() { return from_hex("f0e1d2c3b4a5968778695a4b3c2d1e0f"); }

Bytes pattern(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto &v : b) { v = static_cast<uint8_t>(rng()); }
  return b;
}

// One-shot encryption or decryption; `status` receives the result.
Bytes oneshot(bool encrypt, int32_t id, const QL_SYM_PARAM &p, const Bytes &key, const Bytes &in,
              int32_t *status = nullptr) {
  Bytes out(in.size() + 16);
  uint32_t out_len = 0;
  const uint8_t dummy = 0;
  const uint8_t *src = in.empty() ? &dummy : in.data();
  const int32_t s =
      encrypt ? QL_SYM_Encrypt(&p, out.data(), &out_len, src, static_cast<uint32_t>(in.size()),
                               key.data(), static_cast<uint32_t>(key.size()), id)
              : QL_SYM_Decrypt(&p, out.data(), &out_len, src, static_cast<uint32_t>(in.size()),
                               key.data(), static_cast<uint32_t>(key.size()), id);
  if (status != nullptr) {
    *status = s;
  } else {
    EXPECT_EQ(s, 0);
  }
  out.resize(s == 0 ? out_len : 0);
  return out;
}

// Streaming with the input cut into the pieces `sizes` (cycled); decryption returns the
// output without its padding.
Bytes streamed(bool encrypt, int32_t id, const QL_SYM_PARAM &p, const Bytes &key,
               const Bytes &in, const std::vector<size_t> &sizes) {
  QL_SYM_CTX *ctx = QL_SYM_CTX_New();
  EXPECT_NE(ctx, nullptr);
  const uint32_t klen = static_cast<uint32_t>(key.size());
  EXPECT_EQ(encrypt ? QL_SYM_Encrypt_Init(ctx, &p, key.data(), klen, id)
                    : QL_SYM_Decrypt_Init(ctx, &p, key.data(), klen, id),
            0);
  Bytes out(in.size() + 32);
  size_t pos = 0, produced = 0;
  for (size_t k = 0; pos < in.size(); k++) {
    const size_t n = std::min(sizes[k % sizes.size()], in.size() - pos);
    uint32_t got = 0;
    const int32_t s = encrypt ? QL_SYM_Encrypt_Update(ctx, out.data() + produced, &got,
                                                      in.data() + pos, static_cast<uint32_t>(n))
                              : QL_SYM_Decrypt_Update(ctx, out.data() + produced, &got,
                                                      in.data() + pos, static_cast<uint32_t>(n));
    EXPECT_EQ(s, 0);
    pos += n;
    produced += got;
  }
  if (encrypt) {
    uint32_t got = 0;
    EXPECT_EQ(QL_SYM_Encrypt_Final(ctx, out.data() + produced, &got), 0);
    produced += got;
  } else {
    uint32_t pad = 0;
    EXPECT_EQ(QL_SYM_Decrypt_Final(ctx, &pad), 0);
    produced -= pad;
  }
  QL_SYM_CTX_Delete(ctx);
  out.resize(produced);
  return out;
}

struct ModeName {
  const char *name;
  uint32_t mode, seg;
};
constexpr ModeName kModeNames[] = {{"ECB", 1, 16},   {"CBC", 2, 16}, {"CFB", 3, 16},
                                   {"CFB128", 3, 16}, {"CFB8", 3, 1}, {"OFB", 4, 16},
                                   {"CTR", 5, 16}};

TEST(Symmetry, PublishedModeVectors) {
  const struct {
    const char *file;
    int32_t id;
    const char *pt, *ct;
  } kFiles[] = {{"aes_sp800_38a_modes.txt", QL_SYM_AES, "PLAINTEXT", "CIPHERTEXT"},
                {"aria_modes.txt", QL_SYM_ARIA, "PT", "CT"},
                {"seed128_modes.txt", QL_SYM_SEED128, "PT", "CT"}};
  int count = 0;
  for (const auto &f : kFiles) {
    for (const auto &c : load_vectors(f.file)) {
      SCOPED_TRACE(c.where());
      const std::string mode = c.str("MODE");
      const ModeName *m = nullptr;
      for (const auto &n : kModeNames) {
        if (mode == n.name) { m = &n; }
      }
      ASSERT_NE(m, nullptr) << mode;
      if (c.has("KEYBITS")) { c.num("KEYBITS"); }
      if (c.has("SOURCE")) { c.str("SOURCE"); }
      const Bytes iv = c.has("IV") ? c.hex("IV") : (c.has("CTR") ? c.hex("CTR") : Bytes());
      const QL_SYM_PARAM p = param(m->mode, iv, m->seg, QL_SYM_PAD_NONE);
      const Bytes key = c.hex("KEY"), pt = c.hex(f.pt), ct = c.hex(f.ct);
      EXPECT_EQ(to_hex(oneshot(true, f.id, p, key, pt)), to_hex(ct));
      EXPECT_EQ(to_hex(oneshot(false, f.id, p, key, ct)), to_hex(pt));
      EXPECT_EQ(to_hex(streamed(true, f.id, p, key, pt, {1, 15, 16, 7})), to_hex(ct));
      c.expect_all_consumed();
      count++;
    }
  }
  EXPECT_EQ(count, 18 + 18 + 11);
}

struct Setup {
  uint32_t mode, seg;
};
const Setup kSetups[] = {{1, 16}, {2, 16}, {3, 16}, {3, 1}, {3, 8}, {3, 5},  {4, 16},
                         {4, 8},  {4, 5},  {4, 1},  {5, 16}, {5, 5}, {5, 1}};
const struct {
  int32_t id;
  uint32_t key_len;
} kKeys[] = {{QL_SYM_AES, 16}, {QL_SYM_AES, 24}, {QL_SYM_AES, 32}, {QL_SYM_SEED128, 16},
             {QL_SYM_SEED256, 32}, {QL_SYM_ARIA, 16}, {QL_SYM_ARIA, 24}, {QL_SYM_ARIA, 32}};

TEST(Symmetry, StreamingEqualsOneCallForEveryModeAndPadding) {
  std::mt19937 rng(7);
  for (const auto &k : kKeys) {
    const Bytes key = pattern(k.key_len, k.key_len + k.id);
    for (const auto &s : kSetups) {
      for (uint32_t pad = 1; pad <= 4; pad++) {
        SCOPED_TRACE(testing::Message() << "id " << k.id << " mode " << s.mode << " seg " << s.seg
                                        << " pad " << pad);
        if ((s.mode == 3 || s.mode == 4) && pad != 1 && 16 % s.seg != 0) { continue; }
        // Without padding the input fills whole units (80 is a multiple of 1, 5, 8 and 16).
        const size_t len = pad == 1 ? 80 : 1 + rng() % 70;
        const Bytes pt = pattern(len, static_cast<uint32_t>(rng()));
        const QL_SYM_PARAM p = param(s.mode, iv16(), s.seg, pad);
        const Bytes ct = oneshot(true, k.id, p, key, pt);
        // Padding completes the bytes pending at the end to a block (a whole block when none
        // are), except for a CTR record ending inside a block. CFB and OFB hold back less than
        // a segment.
        if (pad == 1 || (s.mode == 5 && len % 16 != 0)) {
          EXPECT_EQ(ct.size(), len);
        } else if (s.mode == 3 || s.mode == 4) {
          EXPECT_EQ(ct.size(), len - len % s.seg + 16);
        } else {
          EXPECT_EQ(ct.size(), (len / 16 + 1) * 16);
        }
        std::vector<size_t> random_split;
        for (int i = 0; i < 8; i++) { random_split.push_back(rng() % 40); }
        for (const auto &split : std::vector<std::vector<size_t>>{{1}, {15}, {16}, random_split}) {
          EXPECT_EQ(to_hex(streamed(true, k.id, p, key, pt, split)), to_hex(ct));
          if (s.mode != 5) {
            Bytes back = streamed(false, k.id, p, key, ct, split);
            if (pad == 2) { back.resize(std::min(back.size(), len)); }
            EXPECT_EQ(to_hex(back), to_hex(pt));
          }
        }
        Bytes back = oneshot(false, k.id, p, key, ct);
        if (pad == 2) {
          // Zero padding stays in the plaintext.
          ASSERT_GE(back.size(), len);
          for (size_t i = len; i < back.size(); i++) { ASSERT_EQ(back[i], 0); }
          back.resize(len);
        }
        EXPECT_EQ(to_hex(back), to_hex(pt));
      }
    }
  }
}

// Encrypts `last` (one block) without padding and decrypts it with `pad`: the padding check
// sees exactly these bytes as the last plaintext block.
int32_t check_padding(const Bytes &last, uint32_t pad, uint32_t *pad_len) {
  const Bytes key = pattern(16, 1);
  const Bytes ct = oneshot(true, QL_SYM_ARIA, param(2, iv16(), 16, 1), key, last);
  QL_SYM_CTX ctx;
  const QL_SYM_PARAM p = param(2, iv16(), 16, pad);
  EXPECT_EQ(QL_SYM_Decrypt_Init(&ctx, &p, key.data(), 16, QL_SYM_ARIA), 0);
  Bytes out(ct.size());
  uint32_t n = 0;
  EXPECT_EQ(QL_SYM_Decrypt_Update(&ctx, out.data(), &n, ct.data(),
                                  static_cast<uint32_t>(ct.size())),
            0);
  EXPECT_EQ(to_hex(out), to_hex(last));
  *pad_len = 77;
  return QL_SYM_Decrypt_Final(&ctx, pad_len);
}

TEST(Symmetry, PaddingChecksByteExact) {
  const std::string body = "0102030405060708090a0b0c";
  const struct {
    std::string last;
    uint32_t pad;
    int32_t status;
    uint32_t pad_len;
  } kCases[] = {
      {body + "0d0e0f80", 3, 0, 1},
      {body + "80000000", 3, 0, 4},
      {"80000000000000000000000000000000", 3, 0, 16},
      {"00000000000000000000000000000000", 3, -4019, 0},
      {body + "0d0e0f00", 3, -4019, 0},
      {body + "0d0e8001", 3, -4019, 0},
      {body + "0d0e0f01", 4, 0, 1},
      {body + "0d030303", 4, 0, 3},
      {body + "0d030203", 4, -4019, 0},
      {body + "0d030302", 4, -4019, 0},
      {body + "0d0e0f00", 4, -4019, 0},
      {body + "0d0e0f11", 4, -4019, 0},
      {body + "0d0e0fff", 4, -4019, 0},
      {"10101010101010101010101010101010", 4, 0, 16},
      {"0f101010101010101010101010101010", 4, -4019, 0},
      {body + "0d0e0f00", 2, 0, 0},
      {body + "0d0e0f00", 1, 0, 0},
  };
  for (const auto &c : kCases) {
    uint32_t pad_len = 0;
    EXPECT_EQ(check_padding(from_hex(c.last), c.pad, &pad_len), c.status) << c.last;
    EXPECT_EQ(pad_len, c.pad_len) << c.last;
  }
}

TEST(Symmetry, PaddingAsEncrypted) {
  const Bytes key = pattern(16, 3);
  const Bytes pt = pattern(32, 4);
  // PKCS padding of 32 bytes adds a whole block; decryption outputs 48 bytes, padLen 16.
  QL_SYM_PARAM p = param(2, iv16(), 16, 4);
  Bytes ct = oneshot(true, QL_SYM_AES, p, key, pt);
  EXPECT_EQ(ct.size(), 48u);
  QL_SYM_CTX ctx;
  ASSERT_EQ(QL_SYM_Decrypt_Init(&ctx, &p, key.data(), 16, QL_SYM_AES), 0);
  Bytes out(48);
  uint32_t n = 0, pad = 0;
  ASSERT_EQ(QL_SYM_Decrypt_Update(&ctx, out.data(), &n, ct.data(), 48), 0);
  EXPECT_EQ(n, 48u);
  ASSERT_EQ(QL_SYM_Decrypt_Final(&ctx, &pad), 0);
  EXPECT_EQ(pad, 16u);
  EXPECT_EQ(to_hex(out.data() + 32, 16), "10101010101010101010101010101010");
  EXPECT_EQ(oneshot(false, QL_SYM_AES, p, key, ct), pt);
  // Bit padding of 15 bytes adds the single byte 0x80.
  p = param(1, Bytes(), 16, 3);
  const Bytes pt15(pt.begin(), pt.begin() + 15);
  ct = oneshot(true, QL_SYM_SEED128, p, key, pt15);
  ASSERT_EQ(ct.size(), 16u);
  p.padding = 1;
  Bytes raw = oneshot(false, QL_SYM_SEED128, p, key, ct);
  EXPECT_EQ(to_hex(raw), to_hex(pt15) + "80");
  // Zero padding of 16 bytes encrypts to 32; the zeros remain in the plaintext.
  p = param(2, iv16(), 16, 2);
  const Bytes pt16(pt.begin(), pt.begin() + 16);
  ct = oneshot(true, QL_SYM_ARIA, p, key, pt16);
  EXPECT_EQ(ct.size(), 32u);
  EXPECT_EQ(to_hex(oneshot(false, QL_SYM_ARIA, p, key, ct)), to_hex(pt16) + std::string(32, '0'));
}

TEST(Symmetry, CtrPartialBlocks) {
  const Bytes key = pattern(32, 5);
  const Bytes pt = pattern(20, 6);
  for (uint32_t seg : {16u, 5u, 3u, 1u}) {
    SCOPED_TRACE(seg);
    for (uint32_t pad = 1; pad <= 4; pad++) {
      QL_SYM_PARAM p = param(5, iv16(), seg, pad);
      // Encryption: 16 bytes from the Update, 4 from the Final, no padding.
      QL_SYM_CTX ctx;
      ASSERT_EQ(QL_SYM_Encrypt_Init(&ctx, &p, key.data(), 32, QL_SYM_SEED256), 0);
      Bytes ct(40);
      uint32_t n1 = 0, n2 = 0;
      ASSERT_EQ(QL_SYM_Encrypt_Update(&ctx, ct.data(), &n1, pt.data(), 20), 0);
      ASSERT_EQ(QL_SYM_Encrypt_Final(&ctx, ct.data() + n1, &n2), 0);
      EXPECT_EQ(n1, 16u);
      EXPECT_EQ(n2, 4u);
      ct.resize(20);
      // Decryption outputs all 20 bytes from the Update; the counter advanced per step of the
      // whole block and stays at the partial block, whose ciphertext is kept until it completes.
      ASSERT_EQ(QL_SYM_Decrypt_Init(&ctx, &p, key.data(), 32, QL_SYM_SEED256), 0);
      Bytes out(20);
      ASSERT_EQ(QL_SYM_Decrypt_Update(&ctx, out.data(), &n1, ct.data(), 20), 0);
      EXPECT_EQ(n1, 20u);
      EXPECT_EQ(out, pt);
      EXPECT_EQ(ctx.param.segmentLength, seg);
      const uint32_t steps = (16 + seg - 1) / seg;
      Bytes counter = iv16();
      for (uint32_t i = 0; i < steps; i++) {
        for (int b = 15; b >= 0 && ++counter[b] == 0; b--) {}
      }
      EXPECT_EQ(to_hex(ctx.param.iv, 16), to_hex(counter));
      // The input ended inside a block, so the padding is reported as absent.
      uint32_t pad_len = 9;
      EXPECT_EQ(QL_SYM_Decrypt_Final(&ctx, &pad_len), 0);
      EXPECT_EQ(pad_len, 0u);
      EXPECT_EQ(oneshot(false, QL_SYM_SEED256, p, key, ct), pt);
      // Decrypting in any pieces gives the same plaintext, partial blocks included.
      for (const std::vector<size_t> &pieces :
           std::vector<std::vector<size_t>>{{16, 4}, {3, 5, 1, 11}, {1, 1, 14, 1, 3}, {15, 5}}) {
        EXPECT_EQ(streamed(false, QL_SYM_SEED256, p, key, ct, pieces), pt);
      }
    }
  }
  // A counter of all 0xFF bytes wraps to all zeros.
  QL_SYM_PARAM p = param(5, from_hex("ffffffffffffffffffffffffffffffff"), 16, 1);
  QL_SYM_CTX ctx;
  ASSERT_EQ(QL_SYM_Encrypt_Init(&ctx, &p, key.data(), 16, QL_SYM_AES), 0);
  Bytes out(16);
  uint32_t n = 0;
  ASSERT_EQ(QL_SYM_Encrypt_Update(&ctx, out.data(), &n, pt.data(), 16), 0);
  EXPECT_EQ(to_hex(ctx.param.iv, 16), std::string(32, '0'));
}

TEST(Symmetry, SegmentsShorterThanTheBlock) {
  const Bytes key = pattern(16, 8);
  const Bytes pt = pattern(32, 9);
  // OFB with segment 8 uses the first 8 bytes of each encrypted register and feeds back all
  // 16: every 8-byte step equals the first half of a full-segment OFB block.
  const Bytes full = oneshot(true, QL_SYM_ARIA, param(4, iv16(), 16, 1), key, Bytes(64, 0));
  const Bytes half = oneshot(true, QL_SYM_ARIA, param(4, iv16(), 8, 1), key, Bytes(32, 0));
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(to_hex(half.data() + 8 * i, 8), to_hex(full.data() + 16 * i, 8));
  }
  // CFB with segment 1 turns byte by byte: each output byte depends only on what precedes it.
  const Bytes c1 = oneshot(true, QL_SYM_ARIA, param(3, iv16(), 1, 1), key, pt);
  Bytes pt2 = pt;
  pt2[10] ^= 1;
  const Bytes c2 = oneshot(true, QL_SYM_ARIA, param(3, iv16(), 1, 1), key, pt2);
  EXPECT_EQ(to_hex(c1.data(), 10), to_hex(c2.data(), 10));
  EXPECT_EQ(c1[10] ^ c2[10], 1);
  EXPECT_NE(to_hex(c1.data() + 11, 21), to_hex(c2.data() + 11, 21));
}

// One block encrypted by the cipher's own exported block function, which the core tests check
// against published vectors.
Bytes encrypt_block(int32_t id, const Bytes &key, const Bytes &in) {
  Bytes out(16);
  const uint32_t len = static_cast<uint32_t>(key.size());
  if (id == QL_SYM_AES) {
    QL_AES_KEY rk;
    EXPECT_EQ(QL_AES_MakeKey(&rk, key.data(), len, 0), 0);
    QL_AES_Main(out.data(), in.data(), &rk, 0);
  } else if (id == QL_SYM_ARIA) {
    QL_ARIA_KEY rk;
    EXPECT_EQ(QL_ARIA_GenerateKey(&rk, key.data(), len, 0), 0);
    QL_ARIA_Main(&rk, out.data(), in.data());
  } else if (id == QL_SYM_SEED128) {
    uint32_t rk[32];
    QL_Seed128_RoundKey(rk, key.data());
    QL_Seed128_Main(rk, out.data(), in.data(), 0);
  } else {
    uint32_t rk[48];
    QL_Seed256_RoundKey(rk, key.data());
    QL_Seed256_Main(rk, out.data(), in.data(), 0);
  }
  return out;
}

// Each cipher's whole-block loops (ECB, CBC, and CFB, OFB, CTR with whole-block segments)
// against the modes composed from its block function: the only check of SEED-256's modes
// against something other than themselves. The counter starts two steps before a carry out of
// its last word, and a CTR input ends inside a block.
TEST(Symmetry, WholeBlockModesFollowTheBlockFunction) {
  const Bytes iv = from_hex("00112233445566778899aabbfffffffe");
  for (const auto &k : kKeys) {
    const Bytes key = pattern(k.key_len, 40 + k.key_len);
    for (uint32_t mode = 1; mode <= 5; mode++) {
      SCOPED_TRACE(testing::Message() << "id " << k.id << " keylen " << k.key_len << " mode "
                                      << mode);
      const Bytes pt = pattern(mode == 5 ? 87 : 80, mode);
      Bytes expect(pt.size());
      Bytes reg = iv;
      for (size_t i = 0; i < pt.size(); i += 16) {
        const size_t n = pt.size() - i < 16 ? pt.size() - i : 16;
        Bytes x(pt.begin() + i, pt.begin() + i + n);
        if (mode == 1 || mode == 2) {
          if (mode == 2) {
            for (size_t j = 0; j < 16; j++) { x[j] ^= reg[j]; }
          }
          reg = encrypt_block(k.id, key, x);
          std::copy(reg.begin(), reg.end(), expect.begin() + i);
          continue;
        }
        const Bytes ks = encrypt_block(k.id, key, reg);
        for (size_t j = 0; j < n; j++) { expect[i + j] = x[j] ^ ks[j]; }
        if (mode == 3) {
          reg.assign(expect.begin() + i, expect.begin() + i + 16);
        } else if (mode == 4) {
          reg = ks;
        } else {
          for (int b = 15; b >= 0 && ++reg[b] == 0; b--) {}
        }
      }
      const QL_SYM_PARAM p = param(mode, iv, 16, QL_SYM_PAD_NONE);
      EXPECT_EQ(to_hex(oneshot(true, k.id, p, key, pt)), to_hex(expect));
      EXPECT_EQ(to_hex(oneshot(false, k.id, p, key, expect)), to_hex(pt));
    }
  }
}

TEST(Symmetry, InitRefusals) {
  const Bytes key = pattern(40, 10);
  QL_SYM_CTX ctx;
  const struct {
    uint32_t mode, iv_len, seg, pad;
    int32_t id;
    uint32_t key_len;
    int32_t status;
  } kCases[] = {
      {2, 16, 0, 4, 7, 16, -4001},   {2, 16, 0, 4, 0, 16, -4001},  {0, 16, 16, 1, 1, 16, -4002},
      {6, 16, 16, 1, 1, 16, -4002},  {2, 8, 0, 1, 1, 16, -4003},   {1, 8, 0, 1, 1, 16, 0},
      {3, 16, 17, 1, 4, 16, -4004},  {4, 16, 0, 1, 4, 16, -4004},  {5, 16, 17, 1, 4, 16, -4004},
      {2, 16, 0, 5, 2, 16, -4005},   {2, 16, 0, 0, 2, 16, -4005},  {1, 0, 99, 1, 1, 16, 0},
      {3, 16, 5, 4, 4, 16, -4004},   {4, 16, 3, 2, 4, 16, -4004},  {3, 16, 5, 1, 4, 16, 0},
      {5, 16, 5, 4, 4, 16, 0},       {1, 0, 0, 1, 1, 20, 0},       {1, 0, 0, 1, 1, 15, -4010},
      {1, 0, 0, 1, 1, 33, -4010},    {1, 0, 0, 1, 2, 24, -4010},   {1, 0, 0, 1, 3, 16, -4010},
      {1, 0, 0, 1, 4, 40, -4010},    {1, 0, 0, 1, 3, 32, 0},
  };
  for (const auto &c : kCases) {
    QL_SYM_PARAM p = param(c.mode, Bytes(16, 1), c.seg, c.pad);
    p.ivLength = c.iv_len;
    const int32_t dec_status = c.status == -4010 ? -4015 : c.status;
    EXPECT_EQ(QL_SYM_Encrypt_Init(&ctx, &p, key.data(), c.key_len, c.id), c.status)
        << c.mode << " " << c.iv_len << " " << c.seg << " " << c.pad << " " << c.id;
    if (c.status != 0) {
      // A refused record is left zeroed and unusable.
      uint8_t out[32];
      uint32_t n = 5;
      EXPECT_EQ(QL_SYM_Encrypt_Update(&ctx, out, &n, key.data(), 16), -4006);
      EXPECT_EQ(n, 0u);
    }
    EXPECT_EQ(QL_SYM_Decrypt_Init(&ctx, &p, key.data(), c.key_len, c.id), dec_status);
  }
  const QL_SYM_PARAM p = param(2, iv16(), 16, 4);
  EXPECT_EQ(QL_SYM_Encrypt_Init(nullptr, &p, key.data(), 16, 1), -4009);
  EXPECT_EQ(QL_SYM_Encrypt_Init(&ctx, nullptr, key.data(), 16, 1), -4009);
  EXPECT_EQ(QL_SYM_Encrypt_Init(&ctx, &p, nullptr, 16, 1), -4009);
  EXPECT_EQ(QL_SYM_Decrypt_Init(nullptr, &p, key.data(), 16, 1), -4014);
  EXPECT_EQ(QL_SYM_Decrypt_Init(&ctx, nullptr, key.data(), 16, 1), -4014);
  EXPECT_EQ(QL_SYM_Decrypt_Init(&ctx, &p, nullptr, 16, 1), -4014);
}

TEST(Symmetry, InfoOfAnUnknownCipherWritesOnlyTheKind) {
  QL_SYM_INFO info;
  std::memset(&info, 0xA5, sizeof(info));
  EXPECT_EQ(QL_SYM_GetInfo(&info, 5), -4001);
  EXPECT_EQ(info.kind, 1u);
  EXPECT_EQ(info.blockLength, 0xA5A5A5A5u);
  EXPECT_EQ(QL_SYM_GetInfo(nullptr, 1), -4001);
}

TEST(Symmetry, UpdateAndFinalCodes) {
  const Bytes key = pattern(16, 11);
  const Bytes data = pattern(32, 12);
  uint8_t out[64];
  uint32_t n = 0;
  QL_SYM_CTX ctx;
  std::memset(&ctx, 0, sizeof(ctx));
  // A record never initialised.
  EXPECT_EQ(QL_SYM_Encrypt_Update(&ctx, out, &n, data.data(), 16), -4006);
  EXPECT_EQ(QL_SYM_Decrypt_Update(&ctx, out, &n, data.data(), 16), -4006);
  n = 9;
  EXPECT_EQ(QL_SYM_Encrypt_Final(&ctx, out, &n), 0);
  EXPECT_EQ(n, 0u);
  uint32_t pad = 9;
  EXPECT_EQ(QL_SYM_Decrypt_Final(&ctx, &pad), 0);
  EXPECT_EQ(pad, 0u);
  // Null arguments.
  EXPECT_EQ(QL_SYM_Encrypt_Update(nullptr, out, &n, data.data(), 1), -4011);
  EXPECT_EQ(QL_SYM_Encrypt_Update(&ctx, nullptr, &n, data.data(), 1), -4011);
  EXPECT_EQ(QL_SYM_Encrypt_Update(&ctx, out, nullptr, data.data(), 1), -4011);
  EXPECT_EQ(QL_SYM_Encrypt_Update(&ctx, out, &n, nullptr, 1), -4011);
  EXPECT_EQ(QL_SYM_Encrypt_Final(nullptr, out, &n), -4012);
  EXPECT_EQ(QL_SYM_Encrypt_Final(&ctx, nullptr, &n), -4012);
  EXPECT_EQ(QL_SYM_Encrypt_Final(&ctx, out, nullptr), -4012);
  EXPECT_EQ(QL_SYM_Decrypt_Update(nullptr, out, &n, data.data(), 1), -4016);
  EXPECT_EQ(QL_SYM_Decrypt_Update(&ctx, nullptr, &n, data.data(), 1), -4016);
  EXPECT_EQ(QL_SYM_Decrypt_Update(&ctx, out, nullptr, data.data(), 1), -4016);
  EXPECT_EQ(QL_SYM_Decrypt_Update(&ctx, out, &n, nullptr, 1), -4016);
  EXPECT_EQ(QL_SYM_Decrypt_Final(nullptr, &pad), -4017);
  EXPECT_EQ(QL_SYM_Decrypt_Final(&ctx, nullptr), -4017);
  const QL_SYM_PARAM p = param(2, iv16(), 16, 4);
  EXPECT_EQ(QL_SYM_Decrypt(&p, nullptr, &n, data.data(), 16, key.data(), 16, 1), -4020);
  EXPECT_EQ(QL_SYM_Decrypt(&p, out, nullptr, data.data(), 16, key.data(), 16, 1), -4020);
  EXPECT_EQ(QL_SYM_Decrypt(&p, out, &n, nullptr, 16, key.data(), 16, 1), -4020);
  EXPECT_EQ(QL_SYM_Decrypt(nullptr, out, &n, data.data(), 16, key.data(), 16, 1), -4020);
  EXPECT_EQ(QL_SYM_Decrypt(&p, out, &n, data.data(), 16, nullptr, 16, 1), -4020);
  EXPECT_EQ(QL_SYM_Encrypt(&p, nullptr, &n, data.data(), 16, key.data(), 16, 1), -4011);
  EXPECT_EQ(QL_SYM_Encrypt(nullptr, out, &n, data.data(), 16, key.data(), 16, 1), -4009);
  EXPECT_EQ(QL_SYM_Encrypt(&p, out, &n, data.data(), 16, key.data(), 8, 1), -4010);
  EXPECT_EQ(QL_SYM_Decrypt(&p, out, &n, data.data(), 16, key.data(), 8, 1), -4015);
  // ECB without padding over 20 bytes: 16 out, 4 pending, then the Final refuses.
  const QL_SYM_PARAM ecb = param(1, Bytes(), 16, 1);
  ASSERT_EQ(QL_SYM_Encrypt_Init(&ctx, &ecb, key.data(), 16, QL_SYM_SEED128), 0);
  ASSERT_EQ(QL_SYM_Encrypt_Update(&ctx, out, &n, data.data(), 20), 0);
  EXPECT_EQ(n, 16u);
  EXPECT_EQ(ctx.pendingLength, 4u);
  EXPECT_EQ(QL_SYM_Encrypt_Final(&ctx, out, &n), -4013);
  EXPECT_EQ(QL_SYM_Encrypt(&ecb, out, &n, data.data(), 20, key.data(), 16, 2), -4013);
  // Decryption with bytes pending at the end; a record that never output a block.
  ASSERT_EQ(QL_SYM_Decrypt_Init(&ctx, &ecb, key.data(), 16, QL_SYM_SEED128), 0);
  ASSERT_EQ(QL_SYM_Decrypt_Update(&ctx, out, &n, data.data(), 20), 0);
  EXPECT_EQ(QL_SYM_Decrypt_Final(&ctx, &pad), -4018);
  EXPECT_EQ(QL_SYM_Decrypt(&ecb, out, &n, data.data(), 20, key.data(), 16, 2), -4018);
  for (uint32_t padding = 1; padding <= 4; padding++) {
    const QL_SYM_PARAM q = param(3, iv16(), 1, padding);
    ASSERT_EQ(QL_SYM_Decrypt_Init(&ctx, &q, key.data(), 16, QL_SYM_ARIA), 0);
    ASSERT_EQ(QL_SYM_Decrypt_Update(&ctx, out, &n, data.data(), 15), 0);
    EXPECT_EQ(QL_SYM_Decrypt_Final(&ctx, &pad), padding <= 2 ? 0 : -4019) << padding;
  }
  // A damaged record (a pending count beyond its unit) is refused, not followed.
  ASSERT_EQ(QL_SYM_Encrypt_Init(&ctx, &ecb, key.data(), 16, QL_SYM_AES), 0);
  ctx.pendingLength = 200;
  EXPECT_EQ(QL_SYM_Encrypt_Update(&ctx, out, &n, data.data(), 1), -4006);
  EXPECT_EQ(QL_SYM_Encrypt_Final(&ctx, out, &n), -4006);
  ctx.pendingLength = 0;
  ctx.param.mode = 9;
  EXPECT_EQ(QL_SYM_Encrypt_Update(&ctx, out, &n, data.data(), 16), -1);
  // A round count the schedule cannot have would read and copy past its round keys.
  ASSERT_EQ(QL_SYM_Encrypt_Init(&ctx, &ecb, key.data(), 16, QL_SYM_AES), 0);
  ctx.key.aes.rounds = 40;
  EXPECT_EQ(QL_SYM_Encrypt_Update(&ctx, out, &n, data.data(), 16), -4006);
  ASSERT_EQ(QL_SYM_Encrypt_Init(&ctx, &ecb, key.data(), 16, QL_SYM_ARIA), 0);
  ctx.key.aria.rounds = 40;
  EXPECT_EQ(QL_SYM_Encrypt_Update(&ctx, out, &n, data.data(), 16), -4006);
  ctx.key.aria.rounds = 13;
  EXPECT_EQ(QL_SYM_Encrypt_Final(&ctx, out, &n), -4006);
}

TEST(Symmetry, InPlaceAndOddAddresses) {
  for (const auto &k : kKeys) {
    const Bytes key = pattern(k.key_len, 13);
    for (const auto &s : kSetups) {
      const uint32_t pad = (s.mode == 3 || s.mode == 4) && 16 % s.seg != 0 ? 1 : 4;
      const QL_SYM_PARAM p = param(s.mode, iv16(), s.seg, pad);
      const Bytes pt = pattern(pad == 1 ? 80 : 77, 14);
      const Bytes ct = oneshot(true, k.id, p, key, pt);
      // Odd addresses for key, input and output.
      std::vector<uint8_t> kbuf(key.size() + 1), ibuf(pt.size() + 1), obuf(pt.size() + 17);
      std::memcpy(kbuf.data() + 1, key.data(), key.size());
      std::memcpy(ibuf.data() + 1, pt.data(), pt.size());
      uint32_t n = 0;
      ASSERT_EQ(QL_SYM_Encrypt(&p, obuf.data() + 1, &n, ibuf.data() + 1,
                               static_cast<uint32_t>(pt.size()), kbuf.data() + 1, k.key_len, k.id),
                0);
      EXPECT_EQ(to_hex(obuf.data() + 1, n), to_hex(ct));
      // Streaming in place, with bytes pending between Updates: 7-byte pieces.
      QL_SYM_CTX ctx;
      for (bool encrypt : {true, false}) {
        Bytes buf = encrypt ? pt : ct;
        buf.resize(buf.size() + 16);
        const uint32_t total = static_cast<uint32_t>(encrypt ? pt.size() : ct.size());
        ASSERT_EQ(encrypt ? QL_SYM_Encrypt_Init(&ctx, &p, key.data(), k.key_len, k.id)
                          : QL_SYM_Decrypt_Init(&ctx, &p, key.data(), k.key_len, k.id),
                  0);
        // Each piece is processed in place at the point where output has reached.
        Bytes src = buf;
        uint32_t produced = 0, pos = 0;
        while (pos < total) {
          const uint32_t m = std::min<uint32_t>(7, total - pos);
          // Move the next piece to where the output continues, then update in place.
          std::memmove(buf.data() + produced, src.data() + pos, m);
          uint32_t got = 0;
          ASSERT_EQ(encrypt ? QL_SYM_Encrypt_Update(&ctx, buf.data() + produced, &got,
                                                    buf.data() + produced, m)
                            : QL_SYM_Decrypt_Update(&ctx, buf.data() + produced, &got,
                                                    buf.data() + produced, m),
                    0);
          produced += got;
          pos += m;
        }
        if (encrypt) {
          uint32_t got = 0;
          ASSERT_EQ(QL_SYM_Encrypt_Final(&ctx, buf.data() + produced, &got), 0);
          EXPECT_EQ(to_hex(buf.data(), produced + got), to_hex(ct));
        } else if (s.mode != 5) {
          uint32_t padlen = 0;
          ASSERT_EQ(QL_SYM_Decrypt_Final(&ctx, &padlen), 0);
          EXPECT_EQ(to_hex(buf.data(), produced - padlen), to_hex(pt));
        }
      }
    }
  }
}

TEST(Symmetry, InPlaceLargeUpdateAfterPendingBytes) {
  // One Update in place over many units while bytes are pending from before.
  const Bytes key = pattern(16, 15);
  for (const auto &s : kSetups) {
    const QL_SYM_PARAM p = param(s.mode, iv16(), s.seg, 1);
    const Bytes pt = pattern(160, 16);
    const Bytes ct = oneshot(true, QL_SYM_ARIA, p, key, pt);
    const uint32_t first = s.seg == 16 || s.mode <= 2 || s.mode == 5 ? 3 : s.seg - 1;
    QL_SYM_CTX ctx;
    ASSERT_EQ(QL_SYM_Encrypt_Init(&ctx, &p, key.data(), 16, QL_SYM_ARIA), 0);
    Bytes buf = pt;
    uint32_t n1 = 0, n2 = 0, n3 = 0;
    ASSERT_EQ(QL_SYM_Encrypt_Update(&ctx, buf.data(), &n1, buf.data(), first), 0);
    ASSERT_EQ(n1, 0u);
    // The rest sits right after the pending bytes; output starts at the buffer's start.
    Bytes rest(pt.begin() + first, pt.end());
    buf = rest;
    buf.resize(200);
    ASSERT_EQ(QL_SYM_Encrypt_Update(&ctx, buf.data(), &n2, buf.data(),
                                    static_cast<uint32_t>(rest.size())),
              0);
    ASSERT_EQ(QL_SYM_Encrypt_Final(&ctx, buf.data() + n2, &n3), 0);
    EXPECT_EQ(to_hex(buf.data(), n2 + n3), to_hex(ct)) << s.mode << " " << s.seg;
  }
}

TEST(Symmetry, AllocationFailuresAreCritical) {
  const Bytes key = pattern(16, 17);
  const Bytes data = pattern(32, 18);
  const QL_SYM_PARAM p = param(2, iv16(), 16, 4);
  uint8_t out[64];
  uint32_t n = 0;
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(QL_SYM_Encrypt(&p, out, &n, data.data(), 32, key.data(), 16, 4),
            ql::critical(-6135));
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(QL_SYM_Decrypt(&p, out, &n, data.data(), 32, key.data(), 16, 4),
            ql::critical(-6136));
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(QL_SYM_CTX_New(), nullptr);
  ql::test::alloc_fail_at(-1);
  QL_SYM_CTX *ctx = QL_SYM_CTX_New();
  ASSERT_NE(ctx, nullptr);
  const uint8_t *bytes = reinterpret_cast<const uint8_t *>(ctx);
  for (size_t i = 0; i < sizeof(*ctx); i++) { ASSERT_EQ(bytes[i], 0); }
  QL_SYM_CTX_Delete(ctx);
  QL_SYM_CTX_Delete(nullptr);
}

TEST(Symmetry, ContextStampCheck) {
  ql::test::set_state(5);
  QL_SYM_CTX ctx;
  const Bytes key = pattern(16, 19);
  const QL_SYM_PARAM p = param(2, iv16(), 16, 4);
  ASSERT_EQ(QL_SYM_Encrypt_Init(&ctx, &p, key.data(), 16, QL_SYM_ARIA), 0);
  ctx.stateStamp = 5;
  EXPECT_EQ(QLC_State_CheckSymCtxState(nullptr), -6142);
  EXPECT_EQ(QLC_State_CheckSymCtxState(&ctx), 0);
  EXPECT_EQ(ctx.algorithm, 4u);
  ASSERT_EQ(QLC_CM_StateChange(3), 0);
  EXPECT_EQ(QLC_State_CheckSymCtxState(&ctx), -6143);
  const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&ctx);
  for (size_t i = 0; i < sizeof(ctx); i++) { ASSERT_EQ(bytes[i], 0) << i; }
}

}  // namespace
