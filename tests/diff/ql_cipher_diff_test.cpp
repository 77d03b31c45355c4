// Differential tests of the symmetric ciphers against OpenSSL through the shared library's
// exported functions: AES and ARIA in every mode OpenSSL has, SEED-128 through its legacy
// provider (CTR and CFB-8 against keystreams built from OpenSSL's SEED-ECB), PKCS padding
// against OpenSSL's, and the stand-alone AES and SEED-128 mode functions.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Loads the default provider and, when present, the legacy one (for SEED).
bool legacy_available() {
  static OSSL_PROVIDER *def = OSSL_PROVIDER_load(nullptr, "default");
  static OSSL_PROVIDER *legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  return def != nullptr && legacy != nullptr;
}

Bytes random_bytes(std::mt19937 &rng, size_t n) {
  Bytes b(n);
  for (auto &v : b) { v = static_cast<uint8_t>(rng()); }
  return b;
}

// OpenSSL's encryption or decryption of `in` with the cipher `name`.
Bytes ossl(const std::string &name, bool encrypt, const Bytes &key, const Bytes &iv,
           const Bytes &in, bool pad) {
  legacy_available();
  EVP_CIPHER *cipher = EVP_CIPHER_fetch(nullptr, name.c_str(), nullptr);
  EXPECT_NE(cipher, nullptr) << name;
  if (cipher == nullptr) { return Bytes(); }
  EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
  EXPECT_EQ(EVP_CipherInit_ex2(ctx, cipher, key.data(), iv.empty() ? nullptr : iv.data(),
                               encrypt ? 1 : 0, nullptr),
            1);
  EVP_CIPHER_CTX_set_padding(ctx, pad ? 1 : 0);
  Bytes out(in.size() + 32);
  int n1 = 0, n2 = 0;
  EXPECT_EQ(EVP_CipherUpdate(ctx, out.data(), &n1, in.data(), static_cast<int>(in.size())), 1);
  EXPECT_EQ(EVP_CipherFinal_ex(ctx, out.data() + n1, &n2), 1);
  out.resize(static_cast<size_t>(n1 + n2));
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(cipher);
  return out;
}

QL_SYM_PARAM param(uint32_t mode, const Bytes &iv, uint32_t seg, uint32_t pad) {
  QL_SYM_PARAM p;
  std::memset(&p, 0, sizeof(p));
  p.mode = mode;
  std::memcpy(p.iv, iv.data(), 16);
  p.ivLength = 16;
  p.segmentLength = seg;
  p.padding = pad;
  return p;
}

Bytes ours(bool encrypt, int32_t id, const QL_SYM_PARAM &p, const Bytes &key, const Bytes &in) {
  Bytes out(in.size() + 16);
  uint32_t n = 0;
  const uint8_t dummy = 0;
  const uint8_t *src = in.empty() ? &dummy : in.data();
  const uint32_t len = static_cast<uint32_t>(in.size());
  const uint32_t klen = static_cast<uint32_t>(key.size());
  const int32_t s = encrypt ? QL_SYM_Encrypt(&p, out.data(), &n, src, len, key.data(), klen, id)
                            : QL_SYM_Decrypt(&p, out.data(), &n, src, len, key.data(), klen, id);
  EXPECT_EQ(s, 0);
  out.resize(s == 0 ? n : 0);
  return out;
}

// PKCS padding of the bytes that remain after whole `unit`s: a stream mode pads the less
// than one segment it holds back to a block.
Bytes pkcs_pad(Bytes b, size_t unit) {
  const size_t p = 16 - b.size() % unit;
  b.insert(b.end(), p, static_cast<uint8_t>(p));
  return b;
}

struct Mode {
  const char *suffix;  // OpenSSL name suffix
  uint32_t mode, seg;
};
constexpr Mode kModes[] = {{"ECB", 1, 16}, {"CBC", 2, 16}, {"CFB", 3, 16},
                           {"CFB8", 3, 1}, {"OFB", 4, 16}, {"CTR", 5, 16}};

// Our dispatcher against OpenSSL's cipher `prefix`-`suffix` for random keys, IVs and lengths
// 0..1000: without padding, and with PKCS padding (OpenSSL's own in ECB and CBC; the padded
// plaintext through OpenSSL's stream mode otherwise).
void compare_dispatcher(int32_t id, const std::string &prefix, const Mode &m, size_t key_len,
                        uint32_t seed) {
  std::mt19937 rng(seed);
  for (int trial = 0; trial < 24; trial++) {
    const Bytes key = random_bytes(rng, key_len), iv = random_bytes(rng, 16);
    size_t len = trial < 4 ? static_cast<size_t>(trial) * 16 : rng() % 1001;
    const bool whole_units = m.mode <= 2 || (m.mode != 5 && m.seg == 16);
    const Bytes pt = random_bytes(rng, len);
    const std::string name = prefix + m.suffix;
    const Bytes oiv = m.mode == 1 ? Bytes() : iv;
    SCOPED_TRACE(testing::Message() << name << " len " << len);
    // Unpadded.
    const Bytes unpadded = whole_units ? Bytes(pt.begin(), pt.begin() + len / 16 * 16) : pt;
    const QL_SYM_PARAM none = param(m.mode, iv, m.seg, QL_SYM_PAD_NONE);
    const Bytes ct = ossl(name, true, key, oiv, unpadded, false);
    EXPECT_EQ(ours(true, id, none, key, unpadded), ct);
    EXPECT_EQ(ours(false, id, none, key, ct), unpadded);
    // PKCS.
    const QL_SYM_PARAM pkcs = param(m.mode, iv, m.seg, QL_SYM_PAD_PKCS);
    Bytes expect;
    if (m.mode <= 2) {
      expect = ossl(name, true, key, oiv, pt, true);
    } else if (m.mode == 5 && len % 16 != 0) {
      expect = ossl(name, true, key, oiv, pt, false);  // CTR pads only whole blocks
    } else {
      expect = ossl(name, true, key, oiv, pkcs_pad(pt, m.mode == 5 ? 16 : m.seg), false);
    }
    EXPECT_EQ(ours(true, id, pkcs, key, pt), expect);
    EXPECT_EQ(ours(false, id, pkcs, key, expect), pt);
    if (m.mode <= 2) { EXPECT_EQ(ossl(name, false, key, oiv, expect, true), pt); }
  }
}

TEST(CipherDiff, AesAndAriaDispatcher) {
  uint32_t seed = 1;
  for (size_t key_len : {16, 24, 32}) {
    for (const auto &m : kModes) {
      const std::string bits = std::to_string(key_len * 8);
      compare_dispatcher(QL_SYM_AES, "AES-" + bits + "-", m, key_len, seed++);
      compare_dispatcher(QL_SYM_ARIA, "ARIA-" + bits + "-", m, key_len, seed++);
    }
  }
}

// One block of OpenSSL's SEED.
Bytes seed_ecb(const Bytes &key, const Bytes &block) {
  return ossl("SEED-ECB", true, key, Bytes(), block, false);
}

TEST(CipherDiff, Seed128Dispatcher) {
  if (!legacy_available()) { GTEST_SKIP() << "OpenSSL legacy provider not available"; }
  uint32_t seed = 100;
  for (const auto &m : kModes) {
    if (m.mode == 5 || m.seg == 1) { continue; }
    compare_dispatcher(QL_SYM_SEED128, "SEED-", m, 16, seed++);
  }
  // CTR (segment 16) and CFB-8 against keystreams built from OpenSSL's SEED-ECB.
  std::mt19937 rng(200);
  for (int trial = 0; trial < 12; trial++) {
    const Bytes key = random_bytes(rng, 16), iv = random_bytes(rng, 16);
    const Bytes pt = random_bytes(rng, rng() % 300);
    Bytes ctr = iv, ct_ctr(pt.size());
    for (size_t i = 0; i < pt.size(); i += 16) {
      const Bytes k = seed_ecb(key, ctr);
      for (size_t j = 0; j < 16 && i + j < pt.size(); j++) { ct_ctr[i + j] = pt[i + j] ^ k[j]; }
      for (int b = 15; b >= 0 && ++ctr[b] == 0; b--) {}
    }
    EXPECT_EQ(ours(true, QL_SYM_SEED128, param(5, iv, 16, 1), key, pt), ct_ctr);
    EXPECT_EQ(ours(false, QL_SYM_SEED128, param(5, iv, 16, 1), key, ct_ctr), pt);
    Bytes reg = iv, ct_cfb(pt.size());
    for (size_t i = 0; i < pt.size(); i++) {
      ct_cfb[i] = pt[i] ^ seed_ecb(key, reg)[0];
      reg.erase(reg.begin());
      reg.push_back(ct_cfb[i]);
    }
    EXPECT_EQ(ours(true, QL_SYM_SEED128, param(3, iv, 1, 1), key, pt), ct_cfb);
    EXPECT_EQ(ours(false, QL_SYM_SEED128, param(3, iv, 1, 1), key, ct_cfb), pt);
  }
}

Bytes swap_words(Bytes b) {
  for (size_t i = 0; i + 4 <= b.size(); i += 4) {
    std::swap(b[i], b[i + 3]);
    std::swap(b[i + 1], b[i + 2]);
  }
  return b;
}

TEST(CipherDiff, Seed128ModeFunctions) {
  if (!legacy_available()) { GTEST_SKIP() << "OpenSSL legacy provider not available"; }
  std::mt19937 rng(300);
  // The family's cipher: OpenSSL's SEED on the block with each word's bytes reversed.
  for (int trial = 0; trial < 8; trial++) {
    const Bytes key = random_bytes(rng, 16), iv = random_bytes(rng, 16);
    auto e = [&](const Bytes &x) { return swap_words(seed_ecb(key, swap_words(x))); };
    const Bytes pt = random_bytes(rng, 16 * (1 + rng() % 8));
    uint32_t rk[32];
    QL_Seed128_RoundKey(rk, key.data());
    Bytes out(pt.size()), reg = iv, expect(pt.size());
    uint32_t n = 0;
    // ECB and CBC.
    for (size_t i = 0; i < pt.size(); i += 16) {
      const Bytes b = e(Bytes(pt.begin() + i, pt.begin() + i + 16));
      std::copy(b.begin(), b.end(), expect.begin() + i);
    }
    SEED128_ECB_Encrypt(rk, out.data(), &n, pt.data(), static_cast<uint32_t>(pt.size()));
    EXPECT_EQ(out, expect);
    for (size_t i = 0; i < pt.size(); i += 16) {
      for (int j = 0; j < 16; j++) { reg[j] ^= pt[i + j]; }
      reg = e(reg);
      std::copy(reg.begin(), reg.end(), expect.begin() + i);
    }
    SEED128_CBC_Encrypt(rk, out.data(), &n, pt.data(), static_cast<uint32_t>(pt.size()),
                        iv.data());
    EXPECT_EQ(out, expect);
    // CFB and OFB with segments 16 and 1, CTR.
    for (uint32_t seg : {16u, 1u}) {
      for (bool cfb : {true, false}) {
        reg = iv;
        for (size_t i = 0; i < pt.size(); i += seg) {
          const Bytes k = e(reg);
          for (size_t j = 0; j < seg; j++) { expect[i + j] = pt[i + j] ^ k[j]; }
          reg.erase(reg.begin(), reg.begin() + seg);
          if (cfb) {
            reg.insert(reg.end(), expect.begin() + i, expect.begin() + i + seg);
          } else {
            reg.insert(reg.end(), k.begin(), k.begin() + seg);
          }
        }
        Bytes iv_buf = iv;
        (cfb ? SEED128_CFB_Encrypt : SEED128_OFB_Encrypt)(rk, out.data(), &n, pt.data(),
                                                         static_cast<uint32_t>(pt.size()),
                                                         iv_buf.data(), seg);
        EXPECT_EQ(out, expect) << (cfb ? "CFB " : "OFB ") << seg;
        EXPECT_EQ(iv_buf, reg);
      }
    }
    Bytes ctr = iv;
    for (size_t i = 0; i < pt.size(); i += 16) {
      const Bytes k = e(ctr);
      for (int j = 0; j < 16; j++) { expect[i + j] = pt[i + j] ^ k[j]; }
      for (int b = 15; b >= 0 && ++ctr[b] == 0; b--) {}
    }
    Bytes ctr_buf = iv;
    SEED128_CTR_Encrypt(rk, out.data(), &n, pt.data(), static_cast<uint32_t>(pt.size()),
                        ctr_buf.data());
    EXPECT_EQ(out, expect);
    EXPECT_EQ(ctr_buf, ctr);
  }
}

TEST(CipherDiff, AesModeFunctions) {
  std::mt19937 rng(400);
  for (size_t key_len : {16, 24, 32}) {
    const std::string prefix = "AES-" + std::to_string(key_len * 8) + "-";
    for (int trial = 0; trial < 6; trial++) {
      const Bytes key = random_bytes(rng, key_len), iv = random_bytes(rng, 16);
      const Bytes pt = random_bytes(rng, 16 * (1 + rng() % 40));
      const uint32_t len = static_cast<uint32_t>(pt.size());
      Bytes out(pt.size() + 1), v = iv;
      uint32_t n = 0;
      ASSERT_EQ(QL_AES_ECB(out.data(), &n, pt.data(), len, key.data(),
                           static_cast<uint32_t>(key_len), 0),
                0);
      EXPECT_EQ(Bytes(out.begin(), out.begin() + len), ossl(prefix + "ECB", true, key, {}, pt, false));
      ASSERT_EQ(QL_AES_CBC(out.data(), &n, pt.data(), len, key.data(),
                           static_cast<uint32_t>(key_len), v.data(), 0),
                0);
      EXPECT_EQ(Bytes(out.begin(), out.begin() + len), ossl(prefix + "CBC", true, key, iv, pt, false));
      const struct {
        const char *name;
        bool cfb;
        uint32_t seg;
      } kShift[] = {{"CFB", true, 16}, {"CFB8", true, 1}, {"OFB", false, 16}};
      for (const auto &s : kShift) {
        v = iv;
        const int32_t r =
            s.cfb ? QL_AES_CFB(out.data(), &n, pt.data(), len, key.data(),
                               static_cast<uint32_t>(key_len), v.data(), s.seg, 0)
                  : QL_AES_OFB(out.data(), &n, pt.data(), len, key.data(),
                               static_cast<uint32_t>(key_len), v.data(), s.seg, 0);
        ASSERT_EQ(r, 0);
        EXPECT_EQ(Bytes(out.begin(), out.begin() + len),
                  ossl(prefix + s.name, true, key, iv, pt, false))
            << s.name;
      }
    }
  }
}

}  // namespace
