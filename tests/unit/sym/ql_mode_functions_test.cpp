// The stand-alone mode functions: the AES family against SP 800-38A and its refusals, the
// SEED-128 family's word order, trailing partial input, register and counter updates.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_vectors.h"

namespace {

using qltest::from_hex;
using qltest::load_vectors;
using qltest::to_hex;
using Bytes = std::vector<uint8_t>;

Bytes pattern(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto &v : b) { v = static_cast<uint8_t>(rng()); }
  return b;
}

// Runs one AES family function by mode name; `iv` is updated as the function leaves it.
int32_t aes_mode(const std::string &mode, Bytes &out, const Bytes &in, const Bytes &key, Bytes &iv,
                 uint32_t seg, int32_t dir) {
  out.assign(in.size(), 0);
  uint32_t n = 0;
  const uint32_t len = static_cast<uint32_t>(in.size());
  const uint32_t klen = static_cast<uint32_t>(key.size());
  int32_t s;
  if (mode == "ECB") {
    s = QL_AES_ECB(out.data(), &n, in.data(), len, key.data(), klen, dir);
  } else if (mode == "CBC") {
    s = QL_AES_CBC(out.data(), &n, in.data(), len, key.data(), klen, iv.data(), dir);
  } else if (mode == "CFB") {
    s = QL_AES_CFB(out.data(), &n, in.data(), len, key.data(), klen, iv.data(), seg, dir);
  } else {
    s = QL_AES_OFB(out.data(), &n, in.data(), len, key.data(), klen, iv.data(), seg, dir);
  }
  if (s == 0) { EXPECT_EQ(n, len); }
  return s;
}

TEST(AesModes, Sp800_38aVectors) {
  int count = 0;
  for (const auto &c : load_vectors("aes_sp800_38a_modes.txt")) {
    SCOPED_TRACE(c.where());
    std::string mode = c.str("MODE");
    c.num("KEYBITS");
    if (mode == "CTR") {
      for (const char *k : {"KEY", "IV", "PLAINTEXT", "CIPHERTEXT"}) { c.hex(k); }
      continue;  // no stand-alone AES CTR
    }
    uint32_t seg = 16;
    if (mode == "CFB8") { seg = 1; }
    if (mode == "CFB8" || mode == "CFB128") { mode = "CFB"; }
    const Bytes key = c.hex("KEY"), pt = c.hex("PLAINTEXT"), ct = c.hex("CIPHERTEXT");
    const Bytes iv0 = c.has("IV") ? c.hex("IV") : Bytes(16);
    Bytes iv = iv0, out;
    ASSERT_EQ(aes_mode(mode, out, pt, key, iv, seg, 0), 0);
    EXPECT_EQ(to_hex(out), to_hex(ct));
    if (mode == "CBC") { EXPECT_EQ(to_hex(iv), to_hex(ct.data() + ct.size() - 16, 16)); }
    const Bytes iv_after_enc = iv;
    iv = iv0;
    ASSERT_EQ(aes_mode(mode, out, ct, key, iv, seg, 1), 0);
    EXPECT_EQ(to_hex(out), to_hex(pt));
    EXPECT_EQ(iv, iv_after_enc);
    c.expect_all_consumed();
    count++;
  }
  EXPECT_EQ(count, 15);
}

TEST(AesModes, Refusals) {
  const Bytes key = pattern(16, 1), data = pattern(48, 2);
  Bytes out(64), iv(16);
  uint32_t n = 0;
  const struct {
    const char *mode;
    int32_t code;
  } kModes[] = {{"ECB", -4022}, {"CBC", -4023}, {"CFB", -4024}, {"OFB", -4025}};
  for (const auto &m : kModes) {
    SCOPED_TRACE(m.mode);
    const std::string mode = m.mode;
    auto call = [&](uint8_t *o, uint32_t *ol, const uint8_t *in, uint32_t len, const uint8_t *k,
                    uint32_t kl, uint8_t *v, uint32_t seg, int32_t dir) {
      if (mode == "ECB") { return QL_AES_ECB(o, ol, in, len, k, kl, dir); }
      if (mode == "CBC") { return QL_AES_CBC(o, ol, in, len, k, kl, v, dir); }
      if (mode == "CFB") { return QL_AES_CFB(o, ol, in, len, k, kl, v, seg, dir); }
      return QL_AES_OFB(o, ol, in, len, k, kl, v, seg, dir);
    };
    EXPECT_EQ(call(out.data(), &n, data.data(), 32, key.data(), 16, iv.data(), 16, 0), 0);
    EXPECT_EQ(call(nullptr, &n, data.data(), 32, key.data(), 16, iv.data(), 16, 0), m.code);
    EXPECT_EQ(call(out.data(), nullptr, data.data(), 32, key.data(), 16, iv.data(), 16, 0),
              m.code);
    EXPECT_EQ(call(out.data(), &n, nullptr, 32, key.data(), 16, iv.data(), 16, 0), m.code);
    EXPECT_EQ(call(out.data(), &n, data.data(), 32, nullptr, 16, iv.data(), 16, 0), m.code);
    EXPECT_EQ(call(out.data(), &n, data.data(), 32, key.data(), 0, iv.data(), 16, 0), m.code);
    EXPECT_EQ(call(out.data(), &n, data.data(), 32, key.data(), 15, iv.data(), 16, 0), m.code);
    EXPECT_EQ(call(out.data(), &n, data.data(), 32, key.data(), 16, iv.data(), 16, 2), m.code);
    EXPECT_EQ(call(out.data(), &n, data.data(), 17, key.data(), 16, iv.data(), 16, 0), m.code);
    if (mode != "ECB") {
      EXPECT_EQ(call(out.data(), &n, data.data(), 32, key.data(), 16, nullptr, 16, 0), m.code);
    }
    if (mode == "CFB" || mode == "OFB") {
      EXPECT_EQ(call(out.data(), &n, data.data(), 12, key.data(), 16, iv.data(), 8, 0), m.code);
      EXPECT_EQ(call(out.data(), &n, data.data(), 12, key.data(), 16, iv.data(), 0, 0), m.code);
      EXPECT_EQ(call(out.data(), &n, data.data(), 34, key.data(), 16, iv.data(), 17, 0), m.code);
      EXPECT_EQ(call(out.data(), &n, data.data(), 12, key.data(), 16, iv.data(), 4, 0), 0);
    }
  }
}

TEST(AesModes, ShiftModesInvertForEverySegment) {
  const Bytes key = pattern(32, 3), pt = pattern(240, 4), iv0 = pattern(16, 5);
  for (const char *mode : {"CFB", "OFB"}) {
    for (uint32_t seg = 1; seg <= 16; seg++) {
      const Bytes in(pt.begin(), pt.begin() + (240 / seg) * seg);
      Bytes iv = iv0, ct, back;
      ASSERT_EQ(aes_mode(mode, ct, in, key, iv, seg, 0), 0);
      const Bytes iv_enc = iv;
      iv = iv0;
      ASSERT_EQ(aes_mode(mode, back, ct, key, iv, seg, 1), 0);
      EXPECT_EQ(back, in) << mode << " " << seg;
      EXPECT_EQ(iv, iv_enc) << mode << " " << seg;
      // Two calls continue the stream through the IV buffer.
      iv = iv0;
      const size_t half = (in.size() / seg / 2) * seg;
      Bytes a, b;
      ASSERT_EQ(aes_mode(mode, a, Bytes(in.begin(), in.begin() + half), key, iv, seg, 0), 0);
      ASSERT_EQ(aes_mode(mode, b, Bytes(in.begin() + half, in.end()), key, iv, seg, 0), 0);
      a.insert(a.end(), b.begin(), b.end());
      EXPECT_EQ(a, ct);
    }
  }
}

TEST(AesModes, OfbAgainstTheDispatcher) {
  // Segment 16: the same stream. Segment 8: the register rules differ.
  const Bytes key = pattern(16, 6), pt = pattern(64, 7), iv0 = pattern(16, 8);
  for (uint32_t seg : {16u, 8u}) {
    Bytes iv = iv0, ours;
    ASSERT_EQ(aes_mode("OFB", ours, pt, key, iv, seg, 0), 0);
    QL_SYM_PARAM p;
    std::memset(&p, 0, sizeof(p));
    p.mode = QL_SYM_MODE_OFB;
    std::memcpy(p.iv, iv0.data(), 16);
    p.ivLength = 16;
    p.segmentLength = seg;
    p.padding = QL_SYM_PAD_NONE;
    Bytes disp(64);
    uint32_t n = 0;
    ASSERT_EQ(QL_SYM_Encrypt(&p, disp.data(), &n, pt.data(), 64, key.data(), 16, QL_SYM_AES), 0);
    if (seg == 16) {
      EXPECT_EQ(ours, disp);
    } else {
      EXPECT_EQ(to_hex(ours.data(), 8), to_hex(disp.data(), 8));
      EXPECT_NE(ours, disp);
    }
  }
}

// Little-endian words: the family's block is the dispatcher's block with each 4-byte word
// reversed before and after the cipher.
Bytes swap_words(Bytes b) {
  for (size_t i = 0; i + 4 <= b.size(); i += 4) {
    std::swap(b[i], b[i + 3]);
    std::swap(b[i + 1], b[i + 2]);
  }
  return b;
}

TEST(Seed128Modes, WordOrderAndPartialBlocks) {
  const Bytes key = pattern(16, 9), pt = pattern(20, 10);
  uint32_t rk[32];
  QL_Seed128_RoundKey(rk, key.data());
  Bytes out(40, 0xEE);
  uint32_t n = 7;
  SEED128_ECB_Encrypt(rk, out.data(), &n, pt.data(), 20);
  EXPECT_EQ(n, 32u);
  EXPECT_EQ(out[32], 0xEE);
  // Block 1 in the family's order; block 2 is the last 4 bytes followed by 12 zeros.
  Bytes blk = swap_words(Bytes(pt.begin(), pt.begin() + 16)), enc(16);
  QL_Seed128_Main(rk, enc.data(), blk.data(), 0);
  EXPECT_EQ(to_hex(out.data(), 16), to_hex(swap_words(enc)));
  Bytes last(pt.begin() + 16, pt.end());
  last.resize(16, 0);
  Bytes single(16);
  SEED128_ECB_Encrypt(rk, single.data(), &n, last.data(), 16);
  EXPECT_EQ(to_hex(out.data() + 16, 16), to_hex(single));
  // Decryption takes whole blocks only and leaves the rest of `out` alone.
  Bytes back(40, 0xEE);
  SEED128_ECB_Decrypt(rk, back.data(), &n, out.data(), 20);
  EXPECT_EQ(n, 16u);
  EXPECT_EQ(to_hex(back.data(), 16), to_hex(pt.data(), 16));
  EXPECT_EQ(back[16], 0xEE);
  SEED128_ECB_Decrypt(rk, back.data(), &n, out.data(), 32);
  EXPECT_EQ(n, 32u);
  EXPECT_EQ(to_hex(back.data(), 32), to_hex(pt) + std::string(24, '0'));

  // CBC: a zero-filled last block; the IV buffer is not advanced.
  const Bytes iv = pattern(16, 11);
  Bytes iv_buf = iv, c1(32), c2(32);
  SEED128_CBC_Encrypt(rk, c1.data(), &n, pt.data(), 20, iv_buf.data());
  EXPECT_EQ(n, 32u);
  SEED128_CBC_Encrypt(rk, c2.data(), &n, pt.data(), 20, iv_buf.data());
  EXPECT_EQ(c1, c2);
  EXPECT_EQ(iv_buf, iv);
  Bytes x(16);
  for (int i = 0; i < 16; i++) { x[i] = pt[i] ^ iv[i]; }
  QL_Seed128_Main(rk, enc.data(), swap_words(x).data(), 0);
  EXPECT_EQ(to_hex(c1.data(), 16), to_hex(swap_words(enc)));
  SEED128_CBC_Decrypt(rk, back.data(), &n, c1.data(), 32, iv_buf.data());
  EXPECT_EQ(n, 32u);
  EXPECT_EQ(to_hex(back.data(), 20), to_hex(pt));
  EXPECT_EQ(to_hex(back.data() + 20, 12), std::string(24, '0'));
}

TEST(Seed128Modes, StreamModesContinueAndInvert) {
  const Bytes key = pattern(16, 12), pt = pattern(64, 13), iv0 = pattern(16, 14);
  uint32_t rk[32];
  QL_Seed128_RoundKey(rk, key.data());
  using Fn = void (*)(const uint32_t *, uint8_t *, uint32_t *, const uint8_t *, uint32_t,
                      uint8_t *, uint32_t);
  const struct {
    const char *name;
    Fn enc, dec;
  } kFns[] = {{"CFB", SEED128_CFB_Encrypt, SEED128_CFB_Decrypt},
              {"OFB", SEED128_OFB_Encrypt, SEED128_OFB_Decrypt}};
  for (const auto &f : kFns) {
    for (uint32_t seg = 1; seg <= 16; seg++) {
      SCOPED_TRACE(testing::Message() << f.name << " " << seg);
      const uint32_t len = (64 / seg) * seg;
      Bytes iv = iv0, ct(64), part(64), back(64);
      uint32_t n = 0;
      f.enc(rk, ct.data(), &n, pt.data(), len, iv.data(), seg);
      EXPECT_EQ(n, len);
      const Bytes iv_end = iv;
      iv = iv0;
      const uint32_t half = (len / seg / 2) * seg;
      f.enc(rk, part.data(), &n, pt.data(), half, iv.data(), seg);
      f.enc(rk, part.data() + half, &n, pt.data() + half, len - half, iv.data(), seg);
      EXPECT_EQ(part, ct);
      EXPECT_EQ(iv, iv_end);
      iv = iv0;
      f.dec(rk, back.data(), &n, ct.data(), len, iv.data(), seg);
      EXPECT_EQ(to_hex(back.data(), len), to_hex(pt.data(), len));
    }
    // Segment 16: CFB's and OFB's first block is E(IV) ^ P in the family's word order.
    Bytes iv = iv0, ct(16), enc(16);
    uint32_t n = 0;
    f.enc(rk, ct.data(), &n, pt.data(), 16, iv.data(), 16);
    QL_Seed128_Main(rk, enc.data(), swap_words(iv0).data(), 0);
    enc = swap_words(enc);
    for (int i = 0; i < 16; i++) { enc[i] ^= pt[i]; }
    EXPECT_EQ(ct, enc);
    // Whole segments only; segments of 0 or above 16 do nothing.
    Bytes out(16, 0xEE);
    iv = iv0;
    f.enc(rk, out.data(), &n, pt.data(), 10, iv.data(), 4);
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(out[8], 0xEE);
    for (uint32_t bad : {0u, 17u}) {
      iv = iv0;
      n = 5;
      f.enc(rk, out.data(), &n, pt.data(), 16, iv.data(), bad);
      EXPECT_EQ(n, 0u);
      EXPECT_EQ(iv, iv0);
    }
  }
}

TEST(Seed128Modes, CounterMode) {
  const Bytes key = pattern(16, 15), pt = pattern(40, 16);
  uint32_t rk[32];
  QL_Seed128_RoundKey(rk, key.data());
  Bytes ctr = from_hex("ffffffffffffffffffffffffffffffff"), ct(40), back(40);
  uint32_t n = 0;
  SEED128_CTR_Encrypt(rk, ct.data(), &n, pt.data(), 16, ctr.data());
  EXPECT_EQ(n, 16u);
  EXPECT_EQ(to_hex(ctr), std::string(32, '0'));
  // A trailing partial block does not advance the counter; two calls continue the stream.
  Bytes c0 = pattern(16, 17), c = c0;
  SEED128_CTR_Encrypt(rk, ct.data(), &n, pt.data(), 40, c.data());
  EXPECT_EQ(n, 40u);
  Bytes expect_ctr = c0;
  for (int k = 0; k < 2; k++) {
    for (int b = 15; b >= 0 && ++expect_ctr[b] == 0; b--) {}
  }
  EXPECT_EQ(c, expect_ctr);
  c = c0;
  Bytes part(40);
  SEED128_CTR_Encrypt(rk, part.data(), &n, pt.data(), 16, c.data());
  SEED128_CTR_Encrypt(rk, part.data() + 16, &n, pt.data() + 16, 24, c.data());
  EXPECT_EQ(part, ct);
  c = c0;
  SEED128_CTR_Decrypt(rk, back.data(), &n, ct.data(), 40, c.data());
  EXPECT_EQ(back, pt);
  // Null pointers: nothing written, length 0.
  n = 3;
  SEED128_CTR_Encrypt(rk, nullptr, &n, pt.data(), 16, c.data());
  EXPECT_EQ(n, 0u);
  SEED128_ECB_Encrypt(nullptr, back.data(), &n, pt.data(), 16);
  EXPECT_EQ(n, 0u);
  SEED128_CBC_Encrypt(rk, back.data(), nullptr, pt.data(), 16, c.data());
}

}  // namespace
