// Block cipher cores: published single-block vectors in both directions, published round keys
// and S-boxes against the generated ones, and the key-length rules of the key schedules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "sym/ql_aria.h"
#include "sym/ql_seed.h"
#include "ql_vectors.h"

namespace {

using qltest::from_hex;
using qltest::load_vectors;
using qltest::to_hex;
using Bytes = std::vector<uint8_t>;

// One block through a cipher, encrypting or decrypting, for a key of any accepted length.
Bytes run_block(const std::string &cipher, const Bytes &key, const Bytes &in, bool encrypt) {
  Bytes out(16);
  if (cipher == "AES") {
    QL_AES_KEY rk;
    EXPECT_EQ(QL_AES_MakeKey(&rk, key.data(), static_cast<uint32_t>(key.size()), encrypt ? 0 : 1),
              0);
    QL_AES_Main(out.data(), in.data(), &rk, encrypt ? 0 : 1);
  } else if (cipher == "ARIA") {
    QL_ARIA_KEY rk;
    QL_ARIA_GenerateKey(&rk, key.data(), static_cast<uint32_t>(key.size()), encrypt ? 0 : 1);
    EXPECT_EQ(QL_ARIA_Main(&rk, out.data(), in.data()), rk.rounds / 2);
  } else if (cipher == "SEED128") {
    uint32_t rk[32];
    QL_Seed128_RoundKey(rk, key.data());
    EXPECT_EQ(QL_Seed128_Main(rk, out.data(), in.data(), encrypt ? 0 : 1), 0);
  } else {
    uint32_t rk[48];
    QL_Seed256_RoundKey(rk, key.data());
    EXPECT_EQ(QL_Seed256_Main(rk, out.data(), in.data(), encrypt ? 0 : 1), 0);
  }
  return out;
}

TEST(CipherCores, PublishedBlockVectorsBothDirections) {
  const struct {
    const char *file;
    const char *cipher;
    const char *pt;
    const char *ct;
  } kFiles[] = {
      {"aes_fips197_block.txt", "AES", "PLAINTEXT", "CIPHERTEXT"},
      {"aria_rfc5794_block.txt", "ARIA", "PLAINTEXT", "CIPHERTEXT"},
      {"seed128_rfc4269_block.txt", "SEED128", "PLAINTEXT", "CIPHERTEXT"},
      {"seed256_ecb.txt", "SEED256", "PT", "CT"},
  };
  int count = 0;
  for (const auto &f : kFiles) {
    for (const auto &c : load_vectors(f.file)) {
      SCOPED_TRACE(c.where());
      if (c.has("NAME")) { c.str("NAME"); }
      if (c.has("SOURCE")) { c.str("SOURCE"); }
      const Bytes key = c.hex("KEY"), pt = c.hex(f.pt), ct = c.hex(f.ct);
      EXPECT_EQ(to_hex(run_block(f.cipher, key, pt, true)), to_hex(ct));
      EXPECT_EQ(to_hex(run_block(f.cipher, key, ct, false)), to_hex(pt));
      // In place: the output block may be the input block.
      Bytes buf = pt;
      if (std::string(f.cipher) == "SEED128") {
        uint32_t rk[32];
        QL_Seed128_RoundKey(rk, key.data());
        QL_Seed128_Main(rk, buf.data(), buf.data(), 0);
        EXPECT_EQ(to_hex(buf), to_hex(ct));
      }
      c.expect_all_consumed();
      count++;
    }
  }
  EXPECT_EQ(count, 13);
}

std::string words_hex(const uint32_t *w, size_t n) {
  std::string s;
  char b[9];
  for (size_t i = 0; i < n; i++) {
    snprintf(b, sizeof(b), "%08x", w[i]);
    s += b;
  }
  return s;
}

TEST(CipherCores, SeedRoundKeysMatchPublishedSchedules) {
  // SEED-256's schedule pins the true 128-bit rotation of A||B||C||D; a variant rotating
  // D||C||B||A agrees on the all-zero key only.
  for (const auto &c : load_vectors("seed_tables.txt")) {
    if (!c.has("ROUNDKEYS")) { continue; }
    SCOPED_TRACE(c.where());
    const Bytes key = c.hex("KEY");
    uint32_t rk[48];
    if (key.size() == 16) {
      QL_Seed128_RoundKey(rk, key.data());
      EXPECT_EQ(words_hex(rk, 32), c.str("ROUNDKEYS"));
    } else {
      QL_Seed256_RoundKey(rk, key.data());
      EXPECT_EQ(words_hex(rk, 48), c.str("ROUNDKEYS"));
    }
  }
}

TEST(CipherCores, GeneratedTablesMatchPublishedSboxes) {
  for (const auto &c : load_vectors("seed_tables.txt")) {
    if (!c.has("TABLE")) { continue; }
    const std::string name = c.str("NAME");
    const auto &s = name == "S1" ? ql::seed::s1 : ql::seed::s2;
    EXPECT_EQ(to_hex(s.data(), s.size()), c.str("TABLE")) << name;
    // SS0..SS3 hold the S-box outputs through the masks, so each gives its S-box back.
    for (unsigned x = 0; x < 256; x++) {
      const uint32_t a = ql::seed::SS[0][x], b = ql::seed::SS[1][x];
      ASSERT_EQ((a >> 24) | (a & 0xff), ql::seed::s1[x]);
      ASSERT_EQ((b >> 24) | ((b >> 16) & 0xff), ql::seed::s2[x]);
      ASSERT_EQ(ql::seed::SS[2][x], (a << 16) | (a >> 16));
      ASSERT_EQ(ql::seed::SS[3][x], (b << 16) | (b >> 16));
    }
  }
}

TEST(CipherCores, AriaRoundKeysAndDecryptionKeys) {
  const auto cases = load_vectors("aria_tables.txt");
  const auto &c = cases.at(0);
  QL_ARIA_KEY enc, dec;
  const Bytes key = c.hex("KEY");
  QL_ARIA_GenerateKey(&enc, key.data(), 16, 0);
  QL_ARIA_GenerateKey(&dec, key.data(), 16, 1);
  EXPECT_EQ(enc.rounds, 12);
  EXPECT_EQ(to_hex(enc.roundKey, 13 * 16), c.str("ROUNDKEYS"));
  EXPECT_EQ(to_hex(dec.roundKey + 16, 16), c.str("DK2"));
  EXPECT_EQ(to_hex(dec.roundKey, 16), to_hex(enc.roundKey + 12 * 16, 16));
  EXPECT_EQ(to_hex(dec.roundKey + 12 * 16, 16), to_hex(enc.roundKey, 16));
  // DL is an involution and RotXOR rotates the whole 128-bit value.
  uint8_t x[16], y[16], z[16];
  for (int i = 0; i < 16; i++) { x[i] = static_cast<uint8_t>(0x11 * i + 3); }
  DL(x, y);
  DL(y, z);
  EXPECT_EQ(to_hex(z, 16), to_hex(x, 16));
  std::memset(y, 0, 16);
  RotXOR(x, 8, y);  // right by one byte
  EXPECT_EQ(to_hex(y, 16), to_hex(x + 15, 1) + to_hex(x, 15));
  std::memset(y, 0, 16);
  RotXOR(x, 128 - 4, y);  // left by 4 bits
  std::string expect;
  for (int i = 0; i < 16; i++) {
    const uint8_t v = static_cast<uint8_t>((x[i] << 4) | (x[(i + 1) % 16] >> 4));
    expect += to_hex(&v, 1);
  }
  EXPECT_EQ(to_hex(y, 16), expect);
  // The generated S-boxes against the published tables, and their inverses.
  for (const auto &t : cases) {
    if (!t.has("TABLE")) { continue; }
    const int which = t.str("NAME") == "SB1" ? 0 : 1;
    EXPECT_EQ(to_hex(ql::test::aria_sbox(which), 256), t.str("TABLE"));
    for (int v = 0; v < 256; v++) {
      ASSERT_EQ(ql::test::aria_sbox(which + 2)[ql::test::aria_sbox(which)[v]], v);
    }
  }
}

TEST(CipherCores, KeyLengthRules) {
  Bytes key(40);
  for (size_t i = 0; i < key.size(); i++) { key[i] = static_cast<uint8_t>(i * 7 + 1); }
  const Bytes pt = from_hex("00112233445566778899aabbccddeeff");
  const Bytes key16(key.begin(), key.begin() + 16), key32(key.begin(), key.begin() + 32);
  // AES: 16-23 bytes use 16, 24-31 use 24, 32 or more use 32; below 16 is refused.
  EXPECT_EQ(run_block("AES", Bytes(key.begin(), key.begin() + 20), pt, true),
            run_block("AES", key16, pt, true));
  EXPECT_EQ(run_block("AES", key, pt, true), run_block("AES", key32, pt, true));
  QL_AES_KEY rk;
  EXPECT_EQ(QL_AES_MakeKey(&rk, key.data(), 15, 0), -4021);
  EXPECT_EQ(QL_AES_MakeKey(&rk, key.data(), 0, 0), -4021);
  EXPECT_EQ(QL_AES_MakeKey(&rk, key.data(), 16, 2), -4021);
  EXPECT_EQ(QL_AES_MakeKey(nullptr, key.data(), 16, 0), -4021);
  EXPECT_EQ(QL_AES_MakeKey(&rk, nullptr, 16, 0), -4021);
  ASSERT_EQ(QL_AES_MakeKey(&rk, key.data(), 24, 0), 0);
  EXPECT_EQ(rk.rounds, 12);
  // Decrypting with the encryption schedule does not invert encryption.
  uint8_t ct[16], back[16];
  ASSERT_EQ(QL_AES_MakeKey(&rk, key.data(), 16, 0), 0);
  QL_AES_Main(ct, pt.data(), &rk, 0);
  QL_AES_Main(back, ct, &rk, 1);
  EXPECT_NE(to_hex(back, 16), to_hex(pt));

  // ARIA: rounds and key length used follow the given length.
  const struct {
    uint32_t len;
    int32_t rounds, used;
  } kAria[] = {{16, 12, 16}, {23, 12, 16}, {24, 14, 24}, {31, 14, 24}, {32, 16, 32}, {40, 16, 32}};
  for (const auto &a : kAria) {
    QL_ARIA_KEY k;
    EXPECT_EQ(QL_ARIA_GenerateKey(&k, key.data(), a.len, 0), 0);
    EXPECT_EQ(k.rounds, a.rounds) << a.len;
    EXPECT_EQ(k.keyLength, a.used) << a.len;
    const Bytes ct2 = run_block("ARIA", Bytes(key.begin(), key.begin() + a.len), pt, true);
    EXPECT_EQ(ct2, run_block("ARIA", Bytes(key.begin(), key.begin() + a.used), pt, true));
    EXPECT_EQ(run_block("ARIA", Bytes(key.begin(), key.begin() + a.len), ct2, false), pt);
  }
  // A key shorter than 16 bytes selects ARIA-256 and is read no further than its length
  // (a heap buffer, so the address sanitizer sees any read past it).
  const Bytes short_key(key.begin(), key.begin() + 8);
  QL_ARIA_KEY k8;
  QL_ARIA_GenerateKey(&k8, short_key.data(), 8, 0);
  EXPECT_EQ(k8.rounds, 16);
  Bytes padded = short_key;
  padded.resize(32, 0);
  EXPECT_EQ(run_block("ARIA", padded, pt, true), run_block("ARIA", short_key, pt, true));
  // SEED: a direction other than 0 and 1 passes the block through.
  uint32_t srk[48];
  uint8_t out[16];
  QL_Seed128_RoundKey(srk, key.data());
  QL_Seed128_Main(srk, out, pt.data(), 2);
  EXPECT_EQ(to_hex(out, 16), to_hex(pt));
  QL_Seed256_RoundKey(srk, key.data());
  QL_Seed256_Main(srk, out, pt.data(), 2);
  EXPECT_EQ(to_hex(out, 16), to_hex(pt));
}

TEST(CipherCores, DecryptionInvertsEncryptionOnManyBlocks) {
  uint8_t key[32], blk[16];
  uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return static_cast<uint8_t>(seed >> 16);
  };
  for (int trial = 0; trial < 50; trial++) {
    for (auto &b : key) { b = next(); }
    for (auto &b : blk) { b = next(); }
    for (const char *cipher : {"AES", "ARIA", "SEED128", "SEED256"}) {
      for (size_t len : {16, 24, 32}) {
        if ((std::string(cipher) == "SEED128" && len != 16) ||
            (std::string(cipher) == "SEED256" && len != 32)) {
          continue;
        }
        const Bytes k(key, key + len), p(blk, blk + 16);
        const Bytes c = run_block(cipher, k, p, true);
        ASSERT_NE(c, p);
        ASSERT_EQ(run_block(cipher, k, c, false), p) << cipher << " " << len;
      }
    }
  }
}

}  // namespace
