// PKCS #1: the published RSA Laboratories examples through the encodings (seeds and salts
// supplied by the test hook) and through the schemes, the codes and edge cases of every
// function, blocks with a fault at every byte, truncated and malformed key encodings, and
// allocation failure at each allocation.
#include "pk/ql_pkcs1.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "ql_vectors.h"

namespace {

using Bytes = std::vector<uint8_t>;
uint32_t u32(size_t n) { return static_cast<uint32_t>(n); }

Big big_of(const Bytes &b) {
  Big x{};
  EXPECT_EQ(QL_PKCS1_OS2IP(&x, b.empty() ? nullptr : b.data(), u32(b.size())), 0);
  return x;
}

// x^exp mod n as a `len`-byte block, through the integer layer alone.
Bytes raw_exp(const Bytes &x, const Bytes &exp, const Bytes &n, size_t len) {
  const Big bx = big_of(x), be = big_of(exp), bn = big_of(n);
  Big r{};
  EXPECT_EQ(Big_ModExp(&r, &bx, &be, &bn), 0);
  Bytes out(len);
  EXPECT_EQ(QL_PKCS1_I2OSP(out.data(), u32(len), &r), 0);
  return out;
}

// The paddings take their random bytes from `bytes` while this lives.
class FixedRandom {
 public:
  explicit FixedRandom(const Bytes &bytes) : bytes_(bytes) {
    ql::test::pkcs1_fixed_random(bytes_.data(), bytes_.size());
  }
  ~FixedRandom() { ql::test::pkcs1_fixed_random(nullptr, 0); }

 private:
  Bytes bytes_;
};

// Seeded bytes for the test hook: every generator call gathers entropy, which would dominate
// tests that pad many blocks.
Bytes pseudo_random(size_t n) {
  Bytes b(n);
  uint32_t x = 0x12345678u;
  for (auto &v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<uint8_t>(x >> 24);
  }
  return b;
}

// One published example: key, message, the random input of the padding and the result.
struct Example {
  std::string where;
  uint32_t bits = 0;
  Bytes n, e, d, msg, rnd, out;
  QL_RSA_PRIVATE_KEY priv{};
  QL_RSA_PUBLIC_KEY pub{};
  uint32_t k() const { return (bits + 7) / 8; }
};

std::vector<Example> examples(const char *file, const char *rnd_key, const char *out_key) {
  std::vector<Example> out;
  for (const auto &c : qltest::load_vectors(file)) {
    Example x;
    x.where = c.where() + " " + c.str("EXAMPLE");
    x.bits = u32(c.num("MODBITS"));
    x.n = c.hex("N");
    x.e = c.hex("E");
    x.d = c.hex("D");
    x.priv = {big_of(x.n),        big_of(x.e),         big_of(x.d),         big_of(c.hex("P")),
              big_of(c.hex("Q")), big_of(c.hex("DP")), big_of(c.hex("DQ")), big_of(c.hex("QINV"))};
    x.pub = {x.priv.n, x.priv.e};
    x.msg = c.hex("MSG");
    if (rnd_key != nullptr) { x.rnd = c.hex(rnd_key); }
    x.out = c.hex(out_key);
    c.expect_all_consumed();
    out.push_back(std::move(x));
  }
  return out;
}

// A key of the OAEP examples by its modulus size.
Example example_key(uint32_t bits) {
  for (auto &x : examples("rsa_oaep_sha1_rsalabs.txt", "SEED", "CT")) {
    if (x.bits == bits) { return x; }
  }
  ADD_FAILURE() << "no key of " << bits << " bits";
  return {};
}

Bytes sha1(const Bytes &m) {
  Bytes h(20);
  uint32_t len = 0;
  EXPECT_EQ(QL_Hash(h.data(), &len, m.data(), u32(m.size()), QL_HASH_SHA1), 0);
  return h;
}

uint32_t digest_len(int32_t hash_id) {
  return hash_id == 2 ? 20 : hash_id == 3 ? 32 : hash_id == 4 ? 48 : 64;
}

QL_OAEP_PARAM oaep_param(int32_t hash_id, int32_t mgf_id, const Bytes *label = nullptr) {
  const bool some = label != nullptr && !label->empty();
  return {hash_id, mgf_id, 1, some ? const_cast<uint8_t *>(label->data()) : nullptr,
          some ? u32(label->size()) : 0};
}

const QL_OAEP_PARAM kOaepSha1 = {QL_HASH_SHA1, 1, 1, nullptr, 0};
const QL_PSS_PARAM kPssSha1 = {QL_HASH_SHA1, 1};

// The schemes run the first example of keys of 1024, 1025, 1031, 1536 and 2048 bits (each
// private operation costs a blinding draw of the generator); the encodings run every example.
bool scheme_sample(const Example &x) {
  const bool first = x.where.substr(x.where.size() - 2) == ".1";
  return first &&
         (x.bits == 1024 || x.bits == 1025 || x.bits == 1031 || x.bits == 1536 || x.bits == 2048);
}

TEST(Pkcs1Vectors, Oaep) {
  for (const auto &x : examples("rsa_oaep_sha1_rsalabs.txt", "SEED", "CT")) {
    SCOPED_TRACE(x.where);
    Bytes em(x.k()), m(x.k(), 0xee);
    uint32_t len = 0;
    {
      FixedRandom seed(x.rnd);
      ASSERT_EQ(
          QL_PKCS1_EME_OAEP_Encode(em.data(), x.k(), x.msg.data(), u32(x.msg.size()), &kOaepSha1),
          0);
    }
    EXPECT_EQ(raw_exp(em, x.e, x.n, x.k()), x.out);
    const Bytes block = raw_exp(x.out, x.d, x.n, x.k());
    ASSERT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &len, block.data(), x.k(), &kOaepSha1), 0);
    EXPECT_EQ(Bytes(m.begin(), m.begin() + len), x.msg);
    if (!scheme_sample(x)) { continue; }
    {
      FixedRandom seed(x.rnd);
      ASSERT_EQ(QL_PKCS1_OAEP_Encrypt(em.data(), &len, x.msg.data(), u32(x.msg.size()), &x.pub,
                                      &kOaepSha1),
                0);
    }
    EXPECT_EQ(len, x.k());
    EXPECT_EQ(em, x.out);
    ASSERT_EQ(QL_PKCS1_OAEP_Decrypt(m.data(), &len, x.out.data(), x.k(), &x.priv, &kOaepSha1), 0);
    EXPECT_EQ(Bytes(m.begin(), m.begin() + len), x.msg);
  }
}

TEST(Pkcs1Vectors, Pss) {
  for (const auto &x : examples("rsa_pss_sha1_rsalabs.txt", "SALT", "SIG")) {
    SCOPED_TRACE(x.where);
    const uint32_t em_bits = x.bits - 1, em_len = (em_bits + 7) / 8;
    const Bytes h = sha1(x.msg);
    Bytes em(em_len), sig(x.k());
    {
      FixedRandom salt(x.rnd);
      ASSERT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, 20, &kPssSha1), 0);
    }
    EXPECT_EQ(raw_exp(em, x.d, x.n, x.k()), x.out);
    // A modulus of 8m + 1 bits gives a block one byte shorter than the modulus.
    const Bytes block = raw_exp(x.out, x.e, x.n, em_len);
    EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(block.data(), em_bits, h.data(), 20, &kPssSha1), 0);
    if (!scheme_sample(x)) { continue; }
    uint32_t len = 0;
    {
      FixedRandom salt(x.rnd);
      ASSERT_EQ(QL_PKCS1_PSS_Sign(sig.data(), &len, h.data(), 20, &x.priv, &kPssSha1), 0);
    }
    EXPECT_EQ(sig, x.out);
    EXPECT_EQ(QL_PKCS1_PSS_Verify(x.out.data(), x.k(), h.data(), 20, &x.pub, &kPssSha1), 0);
  }
}

TEST(Pkcs1Vectors, V15) {
  for (const auto &x : examples("rsa_pkcs1v15_encrypt_rsalabs.txt", "SEED", "CT")) {
    SCOPED_TRACE(x.where);
    Bytes em(x.k()), m(x.k());
    uint32_t len = 0;
    {
      FixedRandom ps(x.rnd);
      ASSERT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), x.k(), x.msg.data(), u32(x.msg.size())), 0);
    }
    EXPECT_EQ(raw_exp(em, x.e, x.n, x.k()), x.out);
    ASSERT_EQ(QL_PKCS1_EME_V15_Decode(m.data(), &len, em.data(), x.k()), 0);
    EXPECT_EQ(Bytes(m.begin(), m.begin() + len), x.msg);
    if (!scheme_sample(x)) { continue; }
    {
      FixedRandom ps(x.rnd);
      ASSERT_EQ(QL_PKCS1_V15_Encrypt(em.data(), &len, x.msg.data(), u32(x.msg.size()), &x.pub), 0);
    }
    EXPECT_EQ(em, x.out);
    ASSERT_EQ(QL_PKCS1_V15_Decrypt(m.data(), &len, x.out.data(), x.k(), &x.priv), 0);
    EXPECT_EQ(Bytes(m.begin(), m.begin() + len), x.msg);
  }
  for (const auto &x : examples("rsa_pkcs1v15_sign_sha1_rsalabs.txt", nullptr, "SIG")) {
    SCOPED_TRACE(x.where);
    const Bytes h = sha1(x.msg);
    Bytes em(x.k());
    uint32_t len = 0;
    ASSERT_EQ(QL_PKCS1_EMSA_V15_Encode(em.data(), x.k(), QL_HASH_SHA1, h.data(), 20), 0);
    EXPECT_EQ(raw_exp(em, x.d, x.n, x.k()), x.out);
    if (!scheme_sample(x)) { continue; }
    ASSERT_EQ(QL_PKCS1_V15_Sign(em.data(), &len, QL_HASH_SHA1, h.data(), 20, &x.priv), 0);
    EXPECT_EQ(em, x.out);
    EXPECT_EQ(QL_PKCS1_V15_Verify(x.out.data(), x.k(), QL_HASH_SHA1, h.data(), 20, &x.pub), 0);
  }
}

TEST(Pkcs1Encodings, ConversionsAndMgf1) {
  Big x = big_of({0x01, 0x02, 0x03});
  uint8_t out[4] = {9, 9, 9, 9};
  EXPECT_EQ(QL_PKCS1_I2OSP(out, 4, &x), 0);
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0, 1, 2, 3}));
  EXPECT_EQ(QL_PKCS1_I2OSP(out, 2, &x), -3004);
  EXPECT_EQ(QL_PKCS1_OS2IP(&x, nullptr, 0), 0);
  EXPECT_EQ(Big_GetFilledBitNum(&x), 0);
  EXPECT_EQ(QL_PKCS1_OS2IP(&x, Bytes(1029, 1).data(), 1029), -2010);
  // MGF1: nothing for len 0; len 21 is the first 21 bytes of a longer output, nothing behind.
  const uint8_t seed[3] = {1, 2, 3};
  Bytes longer(40), buf(22, 0xaa);
  EXPECT_EQ(QL_PKCS1_MGF1(buf.data(), 0, seed, 3, QL_HASH_SHA1), 0);
  EXPECT_EQ(buf, Bytes(22, 0xaa));
  ASSERT_EQ(QL_PKCS1_MGF1(longer.data(), 40, seed, 3, QL_HASH_SHA1), 0);
  ASSERT_EQ(QL_PKCS1_MGF1(buf.data(), 21, seed, 3, QL_HASH_SHA1), 0);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 21), Bytes(longer.begin(), longer.begin() + 21));
  EXPECT_EQ(buf[21], 0xaa);
  for (int32_t id : {0, QL_HASH_HAS160, 6, -1}) {
    EXPECT_EQ(QL_PKCS1_MGF1(buf.data(), 21, seed, 3, id), -3005) << id;
  }
  EXPECT_EQ(QL_PKCS1_MGF1(nullptr, 21, seed, 3, QL_HASH_SHA1), -3005);
}

// 00 02, `ps_len` non-zero bytes, 00, the message.
Bytes v15_block(size_t ps_len, const Bytes &msg) {
  Bytes b{0x00, 0x02};
  for (size_t i = 0; i < ps_len; i++) { b.push_back(static_cast<uint8_t>(0x11 + i)); }
  b.push_back(0x00);
  b.insert(b.end(), msg.begin(), msg.end());
  return b;
}

// Decodes into a sentinel-filled output: untouched on failure, zero behind the message up to
// the longest message of the block on success.
int32_t v15_decode(const Bytes &em, Bytes *msg) {
  Bytes m(em.size(), 0x5a);
  uint32_t m_len = 12345;
  const int32_t s = QL_PKCS1_EME_V15_Decode(m.data(), &m_len, em.data(), u32(em.size()));
  if (s != 0) {
    EXPECT_EQ(m, Bytes(em.size(), 0x5a));
    EXPECT_EQ(m_len, 12345u);
    return s;
  }
  *msg = Bytes(m.begin(), m.begin() + m_len);
  for (size_t i = m_len; i + 11 < em.size(); i++) { EXPECT_EQ(m[i], 0) << i; }
  return s;
}

TEST(Pkcs1Encodings, V15EdgeCases) {
  Bytes m, no_zero = v15_block(12, {});
  no_zero.back() = 0x01;
  EXPECT_EQ(v15_decode(v15_block(8, {0x68, 0x69}), &m), 0);
  EXPECT_EQ(m, (Bytes{0x68, 0x69}));
  EXPECT_EQ(v15_decode(v15_block(7, {0x68, 0x69}), &m), -3009);
  EXPECT_EQ(v15_decode(v15_block(9, {}), &m), 0);  // separator in the last byte
  EXPECT_TRUE(m.empty());
  EXPECT_EQ(v15_decode(no_zero, &m), -3009);
  EXPECT_EQ(v15_decode(Bytes(10, 0), &m), -3009);
  uint32_t len = 0;
  EXPECT_EQ(QL_PKCS1_EME_V15_Decode(nullptr, &len, no_zero.data(), 20), -3008);
  EXPECT_EQ(QL_PKCS1_EME_V15_Decode(m.data(), &len, nullptr, 20), -3008);

  // The longest message leaves exactly eight padding bytes, all non-zero.
  const uint32_t k = 64;
  const Bytes msg(k - 11, 0x00);
  Bytes em(k);
  ASSERT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), k, msg.data(), k - 11), 0);
  EXPECT_EQ(Bytes(em.begin(), em.begin() + 2), (Bytes{0x00, 0x02}));
  for (size_t i = 2; i < 10; i++) { EXPECT_NE(em[i], 0) << i; }
  EXPECT_EQ(em[10], 0);
  EXPECT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), k, msg.data(), k - 10), -3007);
  EXPECT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), 10, msg.data(), 0), -3007);
  EXPECT_EQ(QL_PKCS1_EME_V15_Encode(nullptr, k, msg.data(), 1), -3006);
  EXPECT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), k, nullptr, 1), -3006);
  // An all-zero draw for the padding string: every byte is replaced by a non-zero one.
  FixedRandom zeros(Bytes(k - 3, 0x00));
  ASSERT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), k, msg.data(), 0), 0);
  for (size_t i = 2; i + 1 < k; i++) { EXPECT_NE(em[i], 0) << i; }
  EXPECT_EQ(em[k - 1], 0);
}

// A fault at every byte of a valid block gives the result its role in the block dictates.
TEST(Pkcs1Encodings, V15FaultAtEveryByte) {
  const Bytes msg{0x68, 0x69, 0x6a};  // no zero byte: a lost separator is not found again
  const size_t sep = 2 + 12;
  const Bytes good = v15_block(12, msg);
  for (size_t pos = 0; pos < good.size(); pos++) {
    for (uint8_t v : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0x02}, uint8_t{0xff}}) {
      if (v == good[pos]) { continue; }
      Bytes em = good, m;
      em[pos] = v;
      const int32_t s = v15_decode(em, &m);
      SCOPED_TRACE(testing::Message() << "pos " << pos << " value " << int{v});
      if (pos < 2 || pos == sep || (pos < 10 && v == 0)) {
        EXPECT_EQ(s, -3009);
      } else {
        // A zero in the string beyond its eighth byte is an earlier separator.
        const size_t from = (pos < sep && v == 0 ? pos : sep) + 1;
        ASSERT_EQ(s, 0);
        EXPECT_EQ(m, Bytes(em.begin() + static_cast<long>(from), em.end()));
      }
    }
  }
}

TEST(Pkcs1Encodings, OaepRoundTripsAndCodes) {
  const uint32_t k = 256;
  FixedRandom fixed(pseudo_random(1 << 16));
  const Bytes label{'l', 'a', 'b'}, room(k, 0x42);
  for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
    const uint32_t max = k - 2 * digest_len(hash_id) - 2;
    for (int32_t mgf_id : {1, 3, 4, 5}) {
      for (const Bytes *l : {static_cast<const Bytes *>(nullptr), &label}) {
        QL_OAEP_PARAM p = oaep_param(hash_id, mgf_id, l),
                      other = oaep_param(hash_id, mgf_id, &label);
        other.label_len = l == nullptr ? 3 : 2;  // another label
        for (uint32_t m_len : {0u, 1u, max}) {
          SCOPED_TRACE(testing::Message() << hash_id << "/" << mgf_id << " len " << m_len);
          Bytes em(k), m(k, 0);
          uint32_t out_len = 0;
          ASSERT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, room.data(), m_len, &p), 0);
          EXPECT_EQ(em[0], 0);
          ASSERT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &out_len, em.data(), k, &p), 0);
          EXPECT_EQ(Bytes(m.begin(), m.begin() + out_len), Bytes(m_len, 0x42));
          EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &out_len, em.data(), k, &other), -3011);
        }
        EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(Bytes(k).data(), k, room.data(), max + 1, &p), -3002);
      }
    }
  }
  Bytes em(k), m(k);
  uint32_t len = 0;
  const Bytes long_label(32769, 1);
  uint8_t *ll = const_cast<uint8_t *>(long_label.data());
  const struct {
    QL_OAEP_PARAM p;
    uint32_t k;
    int32_t enc, dec;
  } cases[] = {
      {{QL_HASH_SHA1, 2, 1, nullptr, 0}, k, -3001, -3010},
      {{QL_HASH_SHA1, 0, 1, nullptr, 0}, k, -3001, -3010},
      {{QL_HASH_HAS160, 1, 1, nullptr, 0}, k, -3001, -3010},
      {{6, 1, 1, nullptr, 0}, k, -3001, -3010},
      {{QL_HASH_SHA1, 1, 2, nullptr, 0}, k, -3001, -3010},
      {{QL_HASH_SHA1, 1, 1, nullptr, 5}, k, -3001, -3010},
      {{QL_HASH_SHA1, 1, 1, ll, 32769}, k, -3002, -3011},
      {{QL_HASH_SHA1, 1, 1, ll, 32768}, k, 0, 0},
      {{QL_HASH_SHA512, 5, 1, nullptr, 0}, 129, -3002, -3011},
      {{QL_HASH_SHA512, 5, 1, nullptr, 0}, 130, 0, 0},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), c.k, m.data(), 0, &c.p), c.enc);
    EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &len, em.data(), c.k, &c.p), c.dec);
  }
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(nullptr, k, m.data(), 1, &kOaepSha1), -3001);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, nullptr, 1, &kOaepSha1), -3001);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, m.data(), 1, nullptr), -3001);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(nullptr, &len, em.data(), k, &kOaepSha1), -3010);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), nullptr, em.data(), k, &kOaepSha1), -3010);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &len, em.data(), k, nullptr), -3010);
}

// Any single-bit fault in an OAEP block fails with the one decoding code, output untouched.
TEST(Pkcs1Encodings, OaepFaultAtEveryByte) {
  const uint32_t k = 128;
  Bytes good(k);
  ASSERT_EQ(QL_PKCS1_EME_OAEP_Encode(good.data(), k, Bytes(20, 0x33).data(), 20, &kOaepSha1), 0);
  for (size_t pos = 0; pos < k; pos++) {
    for (uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}}) {
      Bytes em = good, m(k, 0x5a);
      em[pos] = static_cast<uint8_t>(em[pos] ^ flip);
      uint32_t len = 777;
      EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &len, em.data(), k, &kOaepSha1), -3011) << pos;
      EXPECT_EQ(m, Bytes(k, 0x5a));
      EXPECT_EQ(len, 777u);
    }
  }
}

TEST(Pkcs1Encodings, PssRoundTripsAndCodes) {
  FixedRandom fixed(pseudo_random(1 << 16));
  // Block lengths around whole bytes, every digest and MGF; one flipped bit anywhere in the
  // block or the digest fails.
  for (uint32_t em_bits : {1023u, 1024u, 1025u, 2047u}) {
    const uint32_t em_len = (em_bits + 7) / 8;
    for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
      const uint32_t h_len = digest_len(hash_id);
      for (int32_t mgf_id : {1, 3, 4, 5}) {
        SCOPED_TRACE(testing::Message() << em_bits << " " << hash_id << "/" << mgf_id);
        const QL_PSS_PARAM p{hash_id, mgf_id};
        Bytes h(h_len, 0x17), em(em_len);
        const int32_t s = QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), h_len, h_len, &p);
        if (16 * h_len + 9 > em_bits) {
          EXPECT_EQ(s, -3015);
          continue;
        }
        ASSERT_EQ(s, 0);
        EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), h_len, &p), 0);
        for (size_t pos = 0; pos < em_len; pos += 7) {
          Bytes bad = em;
          bad[pos] ^= static_cast<uint8_t>(pos == 0 ? 0x80 >> (8 * em_len - em_bits) : 0x01);
          EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(bad.data(), em_bits, h.data(), h_len, &p), -3018)
              << pos;
        }
        h[h_len - 1] ^= 0x01;
        EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), h_len, &p), -3018);
      }
    }
  }
  // Every salt length the block can carry verifies, up to the one that leaves no padding
  // string (the M' scratch must hold it); a set bit above em_bits is refused.
  const uint32_t em_bits = 1025, em_len = 129;
  const Bytes h(20, 0x01);
  Bytes em(em_len);
  for (uint32_t s_len : {0u, 1u, 20u, 64u, em_len - 22}) {
    ASSERT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, s_len, &kPssSha1), 0);
    EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), 20, &kPssSha1), 0) << s_len;
  }
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, em_len - 21, &kPssSha1),
            -3015);
  em[0] |= 0x02;
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), 20, &kPssSha1), -3018);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), 8 * 21, h.data(), 20, &kPssSha1), -3018);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), 0, h.data(), 20, &kPssSha1), -3018);
  const QL_PSS_PARAM bad_ids[] = {{QL_HASH_HAS160, 1}, {6, 1}, {QL_HASH_SHA1, 2}, {0, 0}};
  for (const auto &p : bad_ids) {
    EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, 20, &p), -3013);
    EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), 20, &p), -3016);
  }
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 19, 20, &kPssSha1), -3013);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(nullptr, em_bits, h.data(), 20, 20, &kPssSha1), -3013);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, 20, nullptr), -3013);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), 32, &kPssSha1), -3016);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(nullptr, em_bits, h.data(), 20, &kPssSha1), -3016);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, nullptr, 20, &kPssSha1), -3016);
}

TEST(Pkcs1Encodings, EmsaV15Layout) {
  // Without a known digest the value is wrapped as it is, behind at least eight FF bytes.
  const Bytes h(30, 0x77);
  Bytes em(41), want(41, 0xff);
  want[0] = 0x00;
  want[1] = 0x01;
  want[10] = 0x00;
  std::copy(h.begin(), h.end(), want.begin() + 11);
  ASSERT_EQ(QL_PKCS1_EMSA_V15_Encode(em.data(), 41, -1, h.data(), 30), 0);
  EXPECT_EQ(em, want);
  EXPECT_EQ(QL_PKCS1_EMSA_V15_Encode(em.data(), 40, -1, h.data(), 30), -3030);
  EXPECT_EQ(QL_PKCS1_EMSA_V15_Encode(nullptr, 41, -1, h.data(), 30), -3030);
  // Each digest's prefix: a SEQUENCE after the 00 separator, ending in its OCTET STRING length.
  const struct {
    int32_t id;
    uint32_t prefix_len;
    uint8_t last;
  } prefixes[] = {{1, 18, 0x14}, {2, 15, 0x14}, {3, 19, 0x20}, {4, 19, 0x30}, {5, 19, 0x40}};
  for (const auto &c : prefixes) {
    const uint32_t em_len = c.prefix_len + 20 + 11;
    Bytes b(em_len);
    ASSERT_EQ(QL_PKCS1_EMSA_V15_Encode(b.data(), em_len, c.id, h.data(), 20), 0);
    EXPECT_EQ(b[em_len - 21], c.last);
    EXPECT_EQ(b[em_len - 20 - c.prefix_len], 0x30);
    EXPECT_EQ(b[em_len - 21 - c.prefix_len], 0x00);
    EXPECT_EQ(QL_PKCS1_EMSA_V15_Encode(b.data(), em_len - 1, c.id, h.data(), 20), -3030);
  }
}

struct Call {
  const char *name;
  std::function<int32_t()> call;
  int32_t code;
};

// Fails each allocation of each call in turn until it succeeds: every failure is critical (the
// call's own code for its first allocation) and leaves `out` untouched.
void expect_allocation_failures(const std::vector<Call> &calls, Bytes &out) {
  for (const auto &c : calls) {
    for (int64_t n = 0;; n++) {
      std::fill(out.begin(), out.end(), 0x5a);
      ql::test::alloc_fail_at(n);
      const int32_t s = c.call();
      const int64_t attempted = ql::test::alloc_count();
      ql::test::alloc_fail_at(-1);
      if (n >= attempted) {
        EXPECT_EQ(s, 0) << c.name;
        break;
      }
      EXPECT_TRUE(ql::is_critical(s)) << c.name << " allocation " << n << ": " << s;
      if (n == 0) { EXPECT_EQ(s, ql::critical(c.code)) << c.name; }
      EXPECT_EQ(out, Bytes(out.size(), 0x5a)) << c.name;
    }
  }
}

TEST(Pkcs1Encodings, AllocationFailure) {
  const uint32_t k = 128;
  const Bytes msg(16, 0x44), h(20, 0x01);
  Bytes em(k), pss(k), m(k);
  uint32_t len = 0;
  ASSERT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, msg.data(), 16, &kOaepSha1), 0);
  ASSERT_EQ(QL_PKCS1_EMSA_PSS_Encode(pss.data(), 1023, h.data(), 20, 20, &kPssSha1), 0);
  uint8_t *o = m.data();
  expect_allocation_failures(
      {{"oaep encode", [&] { return QL_PKCS1_EME_OAEP_Encode(o, k, msg.data(), 16, &kOaepSha1); },
        -3003},
       {"oaep decode", [&] { return QL_PKCS1_EME_OAEP_Decode(o, &len, em.data(), k, &kOaepSha1); },
        -3012},
       {"pss encode",
        [&] { return QL_PKCS1_EMSA_PSS_Encode(o, 1023, h.data(), 20, 20, &kPssSha1); }, -3014},
       {"pss verify",
        [&] { return QL_PKCS1_EMSA_PSS_Verify(pss.data(), 1023, h.data(), 20, &kPssSha1); },
        -3017}},
      m);
}

Bytes plus_one(Bytes n) {
  for (size_t i = n.size(); i-- > 0;) {
    if (++n[i] != 0) { break; }
  }
  return n;
}

// The codes of the schemes, each check in turn; outputs stay untouched on every failure.
TEST(Pkcs1Schemes, Codes) {
  FixedRandom fixed(pseudo_random(1 << 16));
  const Example x = example_key(1024);
  const QL_RSA_PRIVATE_KEY &priv = x.priv;
  const QL_RSA_PUBLIC_KEY &pub = x.pub;
  const uint32_t k = 128;
  const Bytes msg(16, 0x61), h20(20, 0x01), h64(64, 0x02), above_n = plus_one(x.n), big(k, 0);
  Bytes v15_ct(k), oaep_ct(k), v15_sig(k), pss_sig(k), out(k, 0x5a);
  uint32_t len = 0;
  ASSERT_EQ(QL_PKCS1_V15_Encrypt(v15_ct.data(), &len, msg.data(), 16, &pub), 0);
  ASSERT_EQ(QL_PKCS1_OAEP_Encrypt(oaep_ct.data(), &len, msg.data(), 16, &pub, &kOaepSha1), 0);
  ASSERT_EQ(QL_PKCS1_V15_Sign(v15_sig.data(), &len, 2, h20.data(), 20, &priv), 0);
  ASSERT_EQ(QL_PKCS1_PSS_Sign(pss_sig.data(), &len, h20.data(), 20, &priv, &kPssSha1), 0);
  Bytes bad_sig = v15_sig;
  bad_sig[k - 1] ^= 0x01;
  const QL_PSS_PARAM pss512{QL_HASH_SHA512, 5}, pss_has160{QL_HASH_HAS160, 1};
  const QL_OAEP_PARAM mgf2{QL_HASH_SHA1, 2, 1, nullptr, 0};
  const QL_OAEP_PARAM *oaep = &kOaepSha1;
  const QL_PSS_PARAM *pss = &kPssSha1;
  uint8_t *o = out.data();
  const uint8_t *n = x.n.data(), *over = above_n.data(), *h = h20.data(), *z = big.data();
  const std::vector<Call> calls = {
      {"v15 enc null", [&] { return QL_PKCS1_V15_Encrypt(o, &len, nullptr, 1, &pub); }, -3019},
      {"v15 enc no key", [&] { return QL_PKCS1_V15_Encrypt(o, &len, z, 1, nullptr); }, -3019},
      {"v15 enc long", [&] { return QL_PKCS1_V15_Encrypt(o, &len, z, k - 10, &pub); }, -3007},
      {"v15 dec null", [&] { return QL_PKCS1_V15_Decrypt(o, &len, nullptr, k, &priv); }, -3021},
      {"v15 dec len", [&] { return QL_PKCS1_V15_Decrypt(o, &len, v15_ct.data(), k - 1, &priv); },
       -3023},
      {"v15 dec > n", [&] { return QL_PKCS1_V15_Decrypt(o, &len, over, k, &priv); }, -3023},
      {"v15 dec n", [&] { return QL_PKCS1_V15_Decrypt(o, &len, n, k, &priv); }, -3023},
      {"v15 dec oaep", [&] { return QL_PKCS1_V15_Decrypt(o, &len, oaep_ct.data(), k, &priv); },
       -3023},
      {"oaep enc no key", [&] { return QL_PKCS1_OAEP_Encrypt(o, &len, z, 1, nullptr, oaep); },
       -3001},
      {"oaep enc mgf 2", [&] { return QL_PKCS1_OAEP_Encrypt(o, &len, z, 1, &pub, &mgf2); }, -3001},
      {"oaep enc long", [&] { return QL_PKCS1_OAEP_Encrypt(o, &len, z, k - 41, &pub, oaep); },
       -3002},
      {"oaep dec null", [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, nullptr, k, &priv, oaep); },
       -3026},
      {"oaep dec len",
       [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, oaep_ct.data(), k + 1, &priv, oaep); }, -3026},
      {"oaep dec > n", [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, over, k, &priv, oaep); }, -3026},
      {"oaep dec mgf 2",
       [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, oaep_ct.data(), k, &priv, &mgf2); }, -3010},
      {"oaep dec v15",
       [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, v15_ct.data(), k, &priv, oaep); }, -3011},
      {"v15 sign len", [&] { return QL_PKCS1_V15_Sign(o, &len, 3, h, 20, &priv); }, -3027},
      {"v15 sign has160", [&] { return QL_PKCS1_V15_Sign(o, &len, 1, h64.data(), 32, &priv); },
       -3027},
      {"v15 sign no key", [&] { return QL_PKCS1_V15_Sign(o, &len, 2, h, 20, nullptr); }, -3027},
      {"v15 sign long", [&] { return QL_PKCS1_V15_Sign(o, &len, -1, z, k - 10, &priv); }, -3029},
      {"v15 verify len", [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k, 5, h, 20, &pub); },
       -3031},
      {"v15 verify sig len",
       [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k - 1, 2, h, 20, &pub); }, -3033},
      {"v15 verify > n", [&] { return QL_PKCS1_V15_Verify(over, k, 2, h, 20, &pub); }, -3033},
      {"v15 verify bad", [&] { return QL_PKCS1_V15_Verify(bad_sig.data(), k, 2, h, 20, &pub); },
       -3033},
      {"v15 verify other digest",
       [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k, 1, h, 20, &pub); }, -3033},
      {"v15 verify long",
       [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k, -1, z, k - 10, &pub); }, -3034},
      {"pss sign null", [&] { return QL_PKCS1_PSS_Sign(o, &len, nullptr, 20, &priv, pss); }, -3035},
      {"pss sign len", [&] { return QL_PKCS1_PSS_Sign(o, &len, h64.data(), 32, &priv, pss); },
       -3035},
      {"pss sign has160", [&] { return QL_PKCS1_PSS_Sign(o, &len, h, 20, &priv, &pss_has160); },
       -3036},
      {"pss sign 512/1024",
       [&] { return QL_PKCS1_PSS_Sign(o, &len, h64.data(), 64, &priv, &pss512); }, -3015},
      {"pss verify null",
       [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k, h, 20, &pub, nullptr); }, -3038},
      {"pss verify len", [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k, h, 21, &pub, pss); },
       -3038},
      {"pss verify has160",
       [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k, h, 20, &pub, &pss_has160); }, -3040},
      {"pss verify sig len",
       [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k + 1, h, 20, &pub, pss); }, -3041},
      {"pss verify > n", [&] { return QL_PKCS1_PSS_Verify(over, k, h, 20, &pub, pss); }, -3041},
      {"pss verify v15", [&] { return QL_PKCS1_PSS_Verify(v15_sig.data(), k, h, 20, &pub, pss); },
       -3041},
  };
  for (const auto &c : calls) {
    len = 4242;
    EXPECT_EQ(c.call(), c.code) << c.name;
    EXPECT_EQ(out, Bytes(k, 0x5a)) << c.name;
    EXPECT_EQ(len, 4242u) << c.name;
  }
  // Sampled single-bit faults of a ciphertext collapse to the scheme's one code.
  for (uint32_t pos : {1u, 40u, 127u}) {
    Bytes c = v15_ct;
    c[pos] ^= 0x04;
    EXPECT_EQ(QL_PKCS1_V15_Decrypt(o, &len, c.data(), k, &priv), -3023) << pos;
    c = oaep_ct;
    c[pos] ^= 0x04;
    EXPECT_EQ(QL_PKCS1_OAEP_Decrypt(o, &len, c.data(), k, &priv, oaep), -3011) << pos;
  }
}

// PSS on a 2048-bit key with every digest (v1.5 and OAEP with every digest run against
// OpenSSL in the differential tests).
TEST(Pkcs1Schemes, PssEveryDigestOn2048Bits) {
  FixedRandom fixed(pseudo_random(1 << 14));
  const Example x = example_key(2048);
  const uint32_t k = 256;
  for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
    const uint32_t h_len = digest_len(hash_id);
    const QL_PSS_PARAM pss{hash_id, hash_id == QL_HASH_SHA1 ? 1 : hash_id};
    SCOPED_TRACE(hash_id);
    Bytes h(h_len, static_cast<uint8_t>(hash_id)), sig(k);
    uint32_t len = 0;
    // A flipped bit of H inside the block, or of the digest, is refused.
    ASSERT_EQ(QL_PKCS1_PSS_Sign(sig.data(), &len, h.data(), h_len, &x.priv, &pss), 0);
    EXPECT_EQ(QL_PKCS1_PSS_Verify(sig.data(), k, h.data(), h_len, &x.pub, &pss), 0);
    Bytes em = raw_exp(sig, x.e, x.n, k);
    em[k - 2] ^= 0x10;  // the last byte of H
    const Bytes forged = raw_exp(em, x.d, x.n, k);
    EXPECT_EQ(QL_PKCS1_PSS_Verify(forged.data(), k, h.data(), h_len, &x.pub, &pss), -3041);
    h[0] ^= 0x01;
    EXPECT_EQ(QL_PKCS1_PSS_Verify(sig.data(), k, h.data(), h_len, &x.pub, &pss), -3041);
  }
}

TEST(Pkcs1Schemes, AllocationFailure) {
  FixedRandom fixed(pseudo_random(1 << 14));
  const Example x = example_key(1024);
  const uint32_t k = 128;
  const Bytes msg(20, 0x61);  // a message, and a 20-byte digest for PSS
  const uint8_t *h = msg.data();
  Bytes v15_ct(k), oaep_ct(k), v15_sig(k), pss_sig(k), out(k);
  uint32_t len = 0;
  ASSERT_EQ(QL_PKCS1_V15_Encrypt(v15_ct.data(), &len, h, 16, &x.pub), 0);
  ASSERT_EQ(QL_PKCS1_OAEP_Encrypt(oaep_ct.data(), &len, h, 16, &x.pub, &kOaepSha1), 0);
  ASSERT_EQ(QL_PKCS1_V15_Sign(v15_sig.data(), &len, -1, h, 16, &x.priv), 0);
  ASSERT_EQ(QL_PKCS1_PSS_Sign(pss_sig.data(), &len, h, 20, &x.priv, &kPssSha1), 0);
  uint8_t *o = out.data();
  expect_allocation_failures(
      {{"v15 enc", [&] { return QL_PKCS1_V15_Encrypt(o, &len, h, 16, &x.pub); }, -3020},
       {"v15 dec", [&] { return QL_PKCS1_V15_Decrypt(o, &len, v15_ct.data(), k, &x.priv); }, -3022},
       {"oaep enc", [&] { return QL_PKCS1_OAEP_Encrypt(o, &len, h, 16, &x.pub, &kOaepSha1); },
        -3024},
       {"oaep dec",
        [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, oaep_ct.data(), k, &x.priv, &kOaepSha1); },
        -3025},
       {"v15 sign", [&] { return QL_PKCS1_V15_Sign(o, &len, -1, h, 16, &x.priv); }, -3028},
       {"v15 verify", [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k, -1, h, 16, &x.pub); },
        -3032},
       {"pss sign", [&] { return QL_PKCS1_PSS_Sign(o, &len, h, 20, &x.priv, &kPssSha1); }, -3037},
       {"pss verify",
        [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k, h, 20, &x.pub, &kPssSha1); }, -3039}},
      out);
  Bytes key_out(1024);  // room for either key encoding
  o = key_out.data();
  expect_allocation_failures(
      {{"public key encode", [&] { return QL_PKCS1_PublicKeyEncode(o, &x.pub, &len); }, -3043},
       {"private key encode", [&] { return QL_PKCS1_PrivateKeyEncode(o, &x.priv, &len); }, -3045}},
      key_out);
}

template <typename Key, typename Encode>
Bytes encode(const Key &key, Encode fn) {
  uint32_t len = 0;
  EXPECT_EQ(fn(nullptr, &key, &len), 0);
  Bytes out(len);
  EXPECT_EQ(fn(out.data(), &key, &len), 0);
  out.resize(len);
  return out;
}

// Decodes the first `len` bytes of `der` from an exactly sized heap copy, so the sanitizers
// see any read past them.
template <typename Decode>
int32_t decode_copy(const Bytes &der, size_t len, Decode fn) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[len + (len == 0)]);
  if (len != 0) { std::memcpy(copy.get(), der.data(), len); }
  return fn(copy.get(), u32(len));
}

bool same(const Big &a, const Big &b) { return Big_Comp(&a, &b) == 0; }

TEST(Pkcs1Keys, RoundTripsAndTruncation) {
  for (uint32_t bits : {1024u, 1025u, 1536u, 2048u}) {
    SCOPED_TRACE(bits);
    const Example x = example_key(bits);
    const Bytes pub_der = encode(x.pub, QL_PKCS1_PublicKeyEncode);
    const Bytes priv_der = encode(x.priv, QL_PKCS1_PrivateKeyEncode);
    QL_RSA_PUBLIC_KEY pub{};
    QL_RSA_PRIVATE_KEY priv{};
    auto decode_pub = [&](const uint8_t *in, uint32_t len) {
      return ql::public_key_decode(&pub, in, len);
    };
    auto decode_priv = [&](const uint8_t *in, uint32_t len) {
      return QL_PKCS1_PrivateKeyDecode(&priv, in, len);
    };
    ASSERT_EQ(QL_PKCS1_PublicKeyDecode(&pub, pub_der.data()), 0);
    EXPECT_TRUE(same(pub.n, x.pub.n) && same(pub.e, x.pub.e));
    ASSERT_EQ(decode_copy(priv_der, priv_der.size(), decode_priv), 0);
    for (const Big *a = &priv.n, *b = &x.priv.n; a <= &priv.qInv; a++, b++) {
      EXPECT_TRUE(same(*a, *b));
    }
    // Truncated at every byte: refused, nothing read past the input, the record untouched.
    for (size_t len = 0; len < priv_der.size(); len++) {
      priv.n.words[0] = 77;
      ASSERT_EQ(decode_copy(priv_der, len, decode_priv), -3504) << len;
      EXPECT_EQ(priv.n.words[0], 77u);
    }
    for (size_t len = 0; len < pub_der.size(); len++) {
      EXPECT_EQ(decode_copy(pub_der, len, decode_pub), -3503) << len;
    }
    // Without a length, a header announcing fewer bytes than the elements need is refused
    // without reading past what it announces.
    const size_t header = pub_der[1] < 0x80 ? 2 : 2 + (pub_der[1] & 0x7fu);
    for (size_t content = 0; header + content < pub_der.size(); content++) {
      Bytes cut{0x30, 0x82, static_cast<uint8_t>(content >> 8), static_cast<uint8_t>(content)};
      cut.resize(4 + content);
      std::copy(pub_der.begin() + static_cast<long>(header),
                pub_der.begin() + static_cast<long>(header + content), cut.begin() + 4);
      EXPECT_EQ(decode_copy(cut, cut.size(),
                            [&](const uint8_t *in, uint32_t) {
                              return QL_PKCS1_PublicKeyDecode(&pub, in);
                            }),
                -3503)
          << content;
    }
  }
}

Bytes sequence(const std::vector<Bytes> &parts) {
  Bytes content;
  for (const auto &p : parts) { content.insert(content.end(), p.begin(), p.end()); }
  Bytes b(4 + content.size());
  b[0] = 0x30;
  b[1] = 0x82;
  b[2] = static_cast<uint8_t>(content.size() >> 8);
  b[3] = static_cast<uint8_t>(content.size());
  std::copy(content.begin(), content.end(), b.begin() + 4);
  return b;
}

// An INTEGER of `len` content bytes 01 ff ff ...
Bytes integer(size_t len) {
  Bytes b(4 + len, 0xff);
  b[0] = 0x02;
  b[1] = 0x82;
  b[2] = static_cast<uint8_t>(len >> 8);
  b[3] = static_cast<uint8_t>(len);
  b[4] = 0x01;
  return b;
}

// Hand-made encodings around the rules, each with the code it must get.
TEST(Pkcs1Keys, MalformedEncodings) {
  const struct {
    Bytes der;
    int32_t code;
  } pub_cases[] = {
      {{0x30, 0x06, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03}, 0},
      {{0x30, 0x81, 0x06, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03}, 0},  // non-minimal length
      {{0x30, 0x07, 0x02, 0x02, 0x00, 0x0f, 0x02, 0x01, 0x03}, 0},  // leading zero byte
      {{0x31, 0x06, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03}, -3503},
      {{0x30, 0x06, 0x04, 0x01, 0x0f, 0x02, 0x01, 0x03}, -3503},
      {{0x30, 0x06, 0x02, 0x01, 0x0f, 0x03, 0x01, 0x03}, -3503},
      {{0x30, 0x07, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03, 0x00}, -3503},        // a byte left inside
      {{0x30, 0x05, 0x02, 0x00, 0x02, 0x01, 0x03}, -3503},                    // empty INTEGER
      {{0x30, 0x06, 0x02, 0x01, 0x8f, 0x02, 0x01, 0x03}, -3503},              // negative INTEGER
      {{0x30, 0x08, 0x02, 0x81, 0x05, 0x0f, 0x02, 0x81, 0x01, 0x03}, -3503},  // runs over
      {{0x30, 0x80, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03, 0x00, 0x00}, -3503},  // indefinite
      {{0x30, 0x85, 0x00, 0x00, 0x00, 0x00, 0x06, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03}, -3503},
      {{0x30, 0x84, 0xff, 0xff, 0xff, 0xff, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03}, -3503},
      // Integers above 1028 bytes are OS2IP's -2010, reported although e would decode (the
      // first failure, not the last conversion); a modulus above 128 words is refused.
      {sequence({integer(1029), {0x02, 0x01, 0x03}}), -2010},
      {sequence({integer(513), {0x02, 0x01, 0x03}}), -4508},
      {sequence({integer(512), {0x02, 0x01, 0x03}}), 0},
  };
  QL_RSA_PUBLIC_KEY pub{};
  for (const auto &c : pub_cases) {
    EXPECT_EQ(decode_copy(
                  c.der, c.der.size(),
                  [&](const uint8_t *in, uint32_t) { return QL_PKCS1_PublicKeyDecode(&pub, in); }),
              c.code)
        << qltest::to_hex(c.der);
  }
  EXPECT_EQ(QL_PKCS1_PublicKeyDecode(nullptr, pub_cases[0].der.data()), -3503);
  EXPECT_EQ(QL_PKCS1_PublicKeyDecode(&pub, nullptr), -3503);
  Bytes trailing = pub_cases[0].der;  // bytes behind the structure are the caller's business
  trailing.push_back(0xff);
  EXPECT_EQ(ql::public_key_decode(&pub, trailing.data(), 9), 0);

  const Bytes v{0x02, 0x01, 0x00}, one{0x02, 0x01, 0x01}, null{0x05, 0x00}, n{0x02, 0x01, 0x0f};
  const struct {
    std::vector<Bytes> parts;
    int32_t code;
  } priv_cases[] = {
      {{v, n, one, one, one, one, one, one, one}, 0},
      {{v, n, one, one, one, one, null, null, null}, 0},
      {{v, n, one, one, one, one, null, one, null}, 0},
      {{{0x02, 0x01, 0x01}, n, one, one, one, one, one, one, one}, -3504},
      {{{0x02, 0x02, 0x00, 0x00}, n, one, one, one, one, one, one, one}, -3504},
      {{v, n, one, null, one, one, one, one, one}, -3504},  // d may not be NULL
      {{v, n, one, one, one, one, {0x05, 0x01, 0x00}, one, one}, -3504},
      {{v, n, one, one, one, one, one, one}, -3504},            // qInv missing
      {{v, n, one, one, one, one, one, one, one, one}, -3504},  // one element too many
      {{v, n, {0x02, 0x00}, one, one, one, one, one, one}, -3504},
      {{v, n, {0x02, 0x01, 0x80}, one, one, one, one, one, one}, -3504},
      {{v, integer(1029), one, one, one, one, one, one, one}, -2010},
      {{v, integer(513), one, one, one, one, one, one, one}, -4508},
  };
  QL_RSA_PRIVATE_KEY key{};
  auto decode_priv = [&](const uint8_t *in, uint32_t len) {
    return QL_PKCS1_PrivateKeyDecode(&key, in, len);
  };
  for (const auto &c : priv_cases) {
    const Bytes der = sequence(c.parts);
    EXPECT_EQ(decode_copy(der, der.size(), decode_priv), c.code) << qltest::to_hex(der);
  }
  Bytes extra = sequence(priv_cases[0].parts);
  extra.push_back(0x00);
  EXPECT_EQ(decode_copy(extra, extra.size(), decode_priv), -3504);
  EXPECT_EQ(QL_PKCS1_PrivateKeyDecode(nullptr, extra.data(), u32(extra.size() - 1)), -3504);
  // NULLs clear the record's CRT values, whatever it held before.
  key.dP = key.dQ = key.qInv = big_of({9});
  const Bytes nulls = sequence(priv_cases[1].parts);
  ASSERT_EQ(decode_copy(nulls, nulls.size(), decode_priv), 0);
  EXPECT_EQ(
      Big_GetFilledBitNum(&key.dP) + Big_GetFilledBitNum(&key.dQ) + Big_GetFilledBitNum(&key.qInv),
      0);
}

TEST(Pkcs1Keys, EncoderRulesAndCrtFreeKeys) {
  FixedRandom fixed(pseudo_random(1 << 12));
  const Example x = example_key(1024);
  uint32_t len = 0;
  QL_RSA_PUBLIC_KEY no_e = x.pub;
  no_e.e = Big{};
  EXPECT_EQ(QL_PKCS1_PublicKeyEncode(nullptr, &no_e, &len), -3042);
  EXPECT_EQ(QL_PKCS1_PublicKeyEncode(nullptr, nullptr, &len), -3042);
  for (Big QL_RSA_PRIVATE_KEY::*field :
       {&QL_RSA_PRIVATE_KEY::n, &QL_RSA_PRIVATE_KEY::e, &QL_RSA_PRIVATE_KEY::d,
        &QL_RSA_PRIVATE_KEY::p, &QL_RSA_PRIVATE_KEY::q}) {
    QL_RSA_PRIVATE_KEY missing = x.priv;
    missing.*field = Big{};
    EXPECT_EQ(QL_PKCS1_PrivateKeyEncode(nullptr, &missing, &len), -3044);
  }
  // A key without CRT values encodes them as NULL, and decoded it still signs (through d).
  QL_RSA_PRIVATE_KEY plain = x.priv, back{};
  plain.dP = plain.dQ = plain.qInv = Big{};
  const Bytes der = encode(plain, QL_PKCS1_PrivateKeyEncode);
  EXPECT_EQ(Bytes(der.end() - 6, der.end()), (Bytes{0x05, 0x00, 0x05, 0x00, 0x05, 0x00}));
  ASSERT_EQ(QL_PKCS1_PrivateKeyDecode(&back, der.data(), u32(der.size())), 0);
  const Bytes h(20, 0x33);
  Bytes sig(128), sig2(128);
  ASSERT_EQ(QL_PKCS1_V15_Sign(sig.data(), &len, 2, h.data(), 20, &back), 0);
  ASSERT_EQ(QL_PKCS1_V15_Sign(sig2.data(), &len, 2, h.data(), 20, &x.priv), 0);
  EXPECT_EQ(sig, sig2);
  // A caller-filled record with integers longer than n: the query covers what is written.
  QL_RSA_PRIVATE_KEY odd = x.priv;
  odd.d = big_of(Bytes(400, 0x7f));
  odd.qInv = big_of(Bytes(300, 0x7f));
  uint32_t query = 0;
  ASSERT_EQ(QL_PKCS1_PrivateKeyEncode(nullptr, &odd, &query), 0);
  std::unique_ptr<uint8_t[]> exact(new uint8_t[query]);
  ASSERT_EQ(QL_PKCS1_PrivateKeyEncode(exact.get(), &odd, &len), 0);
  EXPECT_EQ(len, query);
}

}  // namespace
