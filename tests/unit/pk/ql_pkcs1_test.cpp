// PKCS #1: the published RSA Laboratories examples through the encodings (with their seeds and
// salts supplied by the test hook) and through the schemes, the edge cases and codes of every
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

Big big_of(const Bytes &b) {
  Big x{};
  EXPECT_EQ(QL_PKCS1_OS2IP(&x, b.empty() ? nullptr : b.data(), static_cast<uint32_t>(b.size())), 0);
  return x;
}

// x^exp mod n as a block of the modulus length, through the integer layer alone.
Bytes raw_exp(const Bytes &x, const Bytes &exp, const Bytes &n, size_t len) {
  const Big bx = big_of(x), be = big_of(exp), bn = big_of(n);
  Big r{};
  EXPECT_EQ(Big_ModExp(&r, &bx, &be, &bn), 0);
  Bytes out(len);
  EXPECT_EQ(QL_PKCS1_I2OSP(out.data(), static_cast<uint32_t>(len), &r), 0);
  return out;
}

// The padding functions take the bytes of `bytes` as their random input while this lives.
class FixedRandom {
 public:
  explicit FixedRandom(const Bytes &bytes) : bytes_(bytes) {
    ql::test::pkcs1_fixed_random(bytes_.data(), bytes_.size());
  }
  ~FixedRandom() { ql::test::pkcs1_fixed_random(nullptr, 0); }

 private:
  Bytes bytes_;
};

// One published example: key, message, the random input of the padding and the result.
struct Example {
  std::string where;
  uint32_t bits;
  Bytes n, e, d, p, q, dp, dq, qinv;
  Bytes msg, rnd, out;
  size_t k() const { return (bits + 7) / 8; }
};

std::vector<Example> examples(const char *file, const char *rnd_key, const char *out_key) {
  std::vector<Example> out;
  for (const auto &c : qltest::load_vectors(file)) {
    Example x;
    x.where = c.where() + " " + c.str("EXAMPLE");
    x.bits = static_cast<uint32_t>(c.num("MODBITS"));
    x.n = c.hex("N");
    x.e = c.hex("E");
    x.d = c.hex("D");
    x.p = c.hex("P");
    x.q = c.hex("Q");
    x.dp = c.hex("DP");
    x.dq = c.hex("DQ");
    x.qinv = c.hex("QINV");
    x.msg = c.hex("MSG");
    if (rnd_key != nullptr) {
      x.rnd = c.hex(rnd_key);
    }
    x.out = c.hex(out_key);
    c.expect_all_consumed();
    out.push_back(std::move(x));
  }
  return out;
}

Bytes sha1(const Bytes &m) {
  Bytes h(20);
  uint32_t len = 0;
  EXPECT_EQ(QL_Hash(h.data(), &len, m.data(), static_cast<uint32_t>(m.size()), QL_HASH_SHA1), 0);
  return h;
}

QL_OAEP_PARAM oaep_param(int32_t hash_id, int32_t mgf_id, const Bytes *label = nullptr) {
  QL_OAEP_PARAM p{};
  p.hash_id = hash_id;
  p.mgf_id = mgf_id;
  p.source_id = 1;
  if (label != nullptr && !label->empty()) {
    p.label = const_cast<uint8_t *>(label->data());
    p.label_len = static_cast<uint32_t>(label->size());
  }
  return p;
}

// Seeded bytes in place of the generator: each of its calls re-gathers entropy, which
// dominates the run time of tests that pad thousands of blocks.
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

const QL_OAEP_PARAM kOaepSha1 = {QL_HASH_SHA1, 1, 1, nullptr, 0};
const QL_PSS_PARAM kPssSha1 = {QL_HASH_SHA1, 1};

TEST(Pkcs1Encodings, OaepPublishedExamples) {
  for (const auto &x : examples("rsa_oaep_sha1_rsalabs.txt", "SEED", "CT")) {
    SCOPED_TRACE(x.where);
    Bytes em(x.k());
    {
      FixedRandom seed(x.rnd);
      ASSERT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), static_cast<uint32_t>(x.k()), x.msg.data(),
                                         static_cast<uint32_t>(x.msg.size()), &kOaepSha1),
                0);
    }
    EXPECT_EQ(raw_exp(em, x.e, x.n, x.k()), x.out);
    const Bytes block = raw_exp(x.out, x.d, x.n, x.k());
    Bytes m(x.k(), 0xee);
    uint32_t m_len = 0;
    ASSERT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &m_len, block.data(), static_cast<uint32_t>(x.k()),
                                       &kOaepSha1),
              0);
    EXPECT_EQ(Bytes(m.begin(), m.begin() + m_len), x.msg);
  }
}

TEST(Pkcs1Encodings, PssPublishedExamples) {
  for (const auto &x : examples("rsa_pss_sha1_rsalabs.txt", "SALT", "SIG")) {
    SCOPED_TRACE(x.where);
    const uint32_t em_bits = x.bits - 1;
    const size_t em_len = (em_bits + 7) / 8;
    const Bytes h = sha1(x.msg);
    Bytes em(em_len);
    {
      FixedRandom salt(x.rnd);
      ASSERT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, 20, &kPssSha1), 0);
    }
    EXPECT_EQ(raw_exp(em, x.d, x.n, x.k()), x.out);
    const Bytes block = raw_exp(x.out, x.e, x.n, x.k());
    // A modulus of 8m + 1 bits gives a block one byte shorter than the modulus.
    const Bytes tail(block.end() - static_cast<long>(em_len), block.end());
    EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(tail.data(), em_bits, h.data(), 20, &kPssSha1), 0);
  }
}

TEST(Pkcs1Encodings, V15PublishedExamples) {
  for (const auto &x : examples("rsa_pkcs1v15_encrypt_rsalabs.txt", "SEED", "CT")) {
    SCOPED_TRACE(x.where);
    Bytes em(x.k());
    {
      FixedRandom ps(x.rnd);
      ASSERT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), static_cast<uint32_t>(x.k()), x.msg.data(),
                                        static_cast<uint32_t>(x.msg.size())),
                0);
    }
    EXPECT_EQ(raw_exp(em, x.e, x.n, x.k()), x.out);
    Bytes m(x.k());
    uint32_t m_len = 0;
    ASSERT_EQ(QL_PKCS1_EME_V15_Decode(m.data(), &m_len, em.data(), static_cast<uint32_t>(x.k())),
              0);
    EXPECT_EQ(Bytes(m.begin(), m.begin() + m_len), x.msg);
  }
  for (const auto &x : examples("rsa_pkcs1v15_sign_sha1_rsalabs.txt", nullptr, "SIG")) {
    SCOPED_TRACE(x.where);
    const Bytes h = sha1(x.msg);
    Bytes em(x.k());
    ASSERT_EQ(QL_PKCS1_EMSA_V15_Encode(em.data(), static_cast<uint32_t>(x.k()), QL_HASH_SHA1,
                                       h.data(), 20),
              0);
    EXPECT_EQ(raw_exp(em, x.d, x.n, x.k()), x.out);
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
  const Bytes big(1029, 1);
  EXPECT_EQ(QL_PKCS1_OS2IP(&x, big.data(), 1029), -2010);

  // MGF1: no bytes for len 0; len 21 is the first 21 bytes of a longer output, and nothing
  // behind them is written.
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

// 00 02, eight non-zero bytes, 00, 68 69, as the block to be faulted.
Bytes v15_block(size_t ps_len, const Bytes &msg) {
  Bytes b{0x00, 0x02};
  for (size_t i = 0; i < ps_len; i++) {
    b.push_back(static_cast<uint8_t>(0x11 + i));
  }
  b.push_back(0x00);
  b.insert(b.end(), msg.begin(), msg.end());
  return b;
}

// Decodes `em` with a sentinel-filled output; on failure the output must be untouched.
int32_t v15_decode(const Bytes &em, Bytes *msg) {
  Bytes m(em.size(), 0x5a);
  uint32_t m_len = 12345;
  const int32_t s =
      QL_PKCS1_EME_V15_Decode(m.data(), &m_len, em.data(), static_cast<uint32_t>(em.size()));
  if (s != 0) {
    EXPECT_EQ(m, Bytes(em.size(), 0x5a));
    EXPECT_EQ(m_len, 12345u);
    return s;
  }
  *msg = Bytes(m.begin(), m.begin() + m_len);
  // Behind the message the output is zeroed up to the longest message of the block.
  for (size_t i = m_len; i + 11 < em.size(); i++) {
    EXPECT_EQ(m[i], 0) << i;
  }
  return s;
}

TEST(Pkcs1Encodings, V15EdgeCases) {
  Bytes m;
  EXPECT_EQ(v15_decode(v15_block(8, {0x68, 0x69}), &m), 0);
  EXPECT_EQ(m, (Bytes{0x68, 0x69}));
  EXPECT_EQ(v15_decode(v15_block(7, {0x68, 0x69}), &m), -3009);
  EXPECT_EQ(v15_decode(v15_block(9, {}), &m), 0);  // separator in the last byte
  EXPECT_TRUE(m.empty());
  Bytes no_zero = v15_block(12, {});
  no_zero.back() = 0x01;
  EXPECT_EQ(v15_decode(no_zero, &m), -3009);
  EXPECT_EQ(v15_decode(Bytes(10, 0), &m), -3009);
  uint32_t len = 0;
  EXPECT_EQ(QL_PKCS1_EME_V15_Decode(nullptr, &len, m.data(), 20), -3008);
  EXPECT_EQ(QL_PKCS1_EME_V15_Decode(m.data(), &len, nullptr, 20), -3008);

  // The longest message leaves exactly eight padding bytes, all non-zero.
  const uint32_t k = 64;
  const Bytes msg(k - 11, 0x00);
  Bytes em(k);
  ASSERT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), k, msg.data(), k - 11), 0);
  EXPECT_EQ(em[0], 0);
  EXPECT_EQ(em[1], 2);
  for (size_t i = 2; i < 10; i++) {
    EXPECT_NE(em[i], 0) << i;
  }
  EXPECT_EQ(em[10], 0);
  EXPECT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), k, msg.data(), k - 10), -3007);
  EXPECT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), 10, msg.data(), 0), -3007);
  EXPECT_EQ(QL_PKCS1_EME_V15_Encode(nullptr, k, msg.data(), 1), -3006);
  EXPECT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), k, nullptr, 1), -3006);

  // Zero bytes of the random padding string are replaced by non-zero random bytes.
  const Bytes zeros(k - 3, 0x00);
  FixedRandom fixed(zeros);  // the first draw (the string) is all zero; replacements are not
  ASSERT_EQ(QL_PKCS1_EME_V15_Encode(em.data(), k, msg.data(), 0), 0);
  for (size_t i = 2; i + 1 < k; i++) {
    EXPECT_NE(em[i], 0) << i;
  }
  EXPECT_EQ(em[k - 1], 0);
}

// A fault at every byte of a valid block: each position and replacement value gives the
// result its role in the block dictates.
TEST(Pkcs1Encodings, V15FaultAtEveryByte) {
  const Bytes msg{0x68, 0x69, 0x6a};  // no zero byte: a lost separator is not found again
  const size_t ps_len = 12, sep = 2 + ps_len;
  const Bytes good = v15_block(ps_len, msg);
  for (size_t pos = 0; pos < good.size(); pos++) {
    for (uint8_t v : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0x02}, uint8_t{0xff}}) {
      if (v == good[pos]) {
        continue;
      }
      Bytes em = good;
      em[pos] = v;
      Bytes m;
      const int32_t s = v15_decode(em, &m);
      SCOPED_TRACE(testing::Message() << "pos " << pos << " value " << int{v});
      if (pos < 2 || pos == sep || (pos < 10 && v == 0)) {
        EXPECT_EQ(s, -3009);
      } else if (pos < sep && v == 0) {
        ASSERT_EQ(s, 0);  // an earlier separator: the rest of the string joins the message
        EXPECT_EQ(m, Bytes(em.begin() + static_cast<long>(pos) + 1, em.end()));
      } else {
        ASSERT_EQ(s, 0);
        EXPECT_EQ(m, Bytes(em.begin() + static_cast<long>(sep) + 1, em.end()));
      }
    }
  }
}

TEST(Pkcs1Encodings, OaepRoundTripsAndEdgeCases) {
  const uint32_t k = 256;
  FixedRandom fixed(pseudo_random(1 << 16));
  const Bytes label{'l', 'a', 'b'};
  for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
    for (int32_t mgf_id : {1, 3, 4, 5}) {
      const uint32_t h_len = hash_id == 2 ? 20 : hash_id == 3 ? 32 : hash_id == 4 ? 48 : 64;
      for (const Bytes *l : {static_cast<const Bytes *>(nullptr), &label}) {
        QL_OAEP_PARAM p = oaep_param(hash_id, mgf_id, l);
        for (uint32_t m_len : {0u, 1u, k - 2 * h_len - 2}) {
          SCOPED_TRACE(testing::Message() << hash_id << "/" << mgf_id << " len " << m_len);
          const Bytes msg(m_len, 0x42), room(k, 0x42);
          Bytes em(k), m(k, 0);
          uint32_t out_len = 0;
          ASSERT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, room.data(), m_len, &p), 0);
          EXPECT_EQ(em[0], 0);
          ASSERT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &out_len, em.data(), k, &p), 0);
          EXPECT_EQ(Bytes(m.begin(), m.begin() + out_len), msg);
          EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, room.data(), k - 2 * h_len - 1, &p),
                    -3002);
          // Another label does not decode.
          QL_OAEP_PARAM other = oaep_param(hash_id, mgf_id, &label);
          other.label_len = l == nullptr ? 3 : 2;
          EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &out_len, em.data(), k, &other), -3011);
        }
      }
    }
  }
  // Identifiers, pointers and lengths.
  Bytes em(k), m(k);
  uint32_t len = 0;
  const Bytes long_label(32769, 1);
  struct Case {
    QL_OAEP_PARAM p;
    int32_t enc, dec;
  } cases[] = {
      {{QL_HASH_SHA1, 2, 1, nullptr, 0}, -3001, -3010},
      {{QL_HASH_SHA1, 0, 1, nullptr, 0}, -3001, -3010},
      {{QL_HASH_HAS160, 1, 1, nullptr, 0}, -3001, -3010},
      {{6, 1, 1, nullptr, 0}, -3001, -3010},
      {{QL_HASH_SHA1, 1, 2, nullptr, 0}, -3001, -3010},
      {{QL_HASH_SHA1, 1, 1, nullptr, 5}, -3001, -3010},
      {{QL_HASH_SHA1, 1, 1, const_cast<uint8_t *>(long_label.data()), 32769}, -3002, -3011},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, m.data(), 1, &c.p), c.enc);
    EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &len, em.data(), k, &c.p), c.dec);
  }
  QL_OAEP_PARAM max_label = oaep_param(QL_HASH_SHA1, 1, &long_label);
  max_label.label_len = 32768;
  ASSERT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, m.data(), 1, &max_label), 0);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &len, em.data(), k, &max_label), 0);
  const QL_OAEP_PARAM sha512 = oaep_param(QL_HASH_SHA512, 5);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), 129, m.data(), 0, &sha512), -3002);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), 130, m.data(), 0, &sha512), 0);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &len, em.data(), 129, &sha512), -3011);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(nullptr, k, m.data(), 1, &kOaepSha1), -3001);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, nullptr, 1, &kOaepSha1), -3001);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, m.data(), 1, nullptr), -3001);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(nullptr, &len, em.data(), k, &kOaepSha1), -3010);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), nullptr, em.data(), k, &kOaepSha1), -3010);
  EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &len, em.data(), k, nullptr), -3010);
}

// Any single-byte fault in an OAEP block fails with the one decoding code, output untouched.
TEST(Pkcs1Encodings, OaepFaultAtEveryByte) {
  const uint32_t k = 128;
  const Bytes msg(20, 0x33);
  Bytes good(k);
  ASSERT_EQ(QL_PKCS1_EME_OAEP_Encode(good.data(), k, msg.data(), 20, &kOaepSha1), 0);
  for (size_t pos = 0; pos < k; pos++) {
    for (uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}}) {
      Bytes em = good;
      em[pos] = static_cast<uint8_t>(em[pos] ^ flip);
      Bytes m(k, 0x5a);
      uint32_t len = 777;
      EXPECT_EQ(QL_PKCS1_EME_OAEP_Decode(m.data(), &len, em.data(), k, &kOaepSha1), -3011) << pos;
      EXPECT_EQ(m, Bytes(k, 0x5a));
      EXPECT_EQ(len, 777u);
    }
  }
}

TEST(Pkcs1Encodings, PssRoundTripsAndEdgeCases) {
  FixedRandom fixed(pseudo_random(1 << 16));
  // Block lengths around whole bytes, every digest and MGF; one flipped bit anywhere in the
  // block or the digest fails.
  for (uint32_t em_bits : {1023u, 1024u, 1025u, 2047u}) {
    for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
      for (int32_t mgf_id : {1, 3, 4, 5}) {
        const uint32_t h_len = hash_id == 2 ? 20 : hash_id == 3 ? 32 : hash_id == 4 ? 48 : 64;
        const QL_PSS_PARAM p{hash_id, mgf_id};
        const size_t em_len = (em_bits + 7) / 8;
        const Bytes h(h_len, 0x17);
        Bytes em(em_len);
        SCOPED_TRACE(testing::Message() << em_bits << " " << hash_id << "/" << mgf_id);
        const int32_t s = QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), h_len, h_len, &p);
        if (8 * (2 * h_len) + 9 > em_bits) {
          EXPECT_EQ(s, -3015);
          continue;
        }
        ASSERT_EQ(s, 0);
        EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), h_len, &p), 0);
        for (size_t pos = 0; pos < em_len; pos += 7) {
          Bytes bad = em;
          bad[pos] =
              static_cast<uint8_t>(bad[pos] ^ (pos == 0 ? 0x80 >> (8 * em_len - em_bits) : 0x01));
          EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(bad.data(), em_bits, h.data(), h_len, &p), -3018)
              << pos;
        }
        Bytes h2 = h;
        h2[h_len - 1] ^= 0x01;
        EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h2.data(), h_len, &p), -3018);
      }
    }
  }
  // Salts of every length the block can carry verify, up to the one that leaves no padding
  // string (the M' scratch must hold it); and a bit above em_bits is refused.
  const uint32_t em_bits = 1025, em_len = 129;
  const Bytes h(20, 0x01);
  Bytes em(em_len);
  for (uint32_t s_len : {0u, 1u, 20u, 64u, em_len - 20 - 2}) {
    ASSERT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, s_len, &kPssSha1), 0);
    EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), 20, &kPssSha1), 0) << s_len;
  }
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, em_len - 20 - 1, &kPssSha1),
            -3015);
  em[0] |= 0x02;
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), 20, &kPssSha1), -3018);
  // Blocks too short for the digest, identifiers, digest lengths and pointers.
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), 8 * 21, h.data(), 20, &kPssSha1), -3018);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), 0, h.data(), 20, &kPssSha1), -3018);
  const QL_PSS_PARAM bad_ids[] = {{QL_HASH_HAS160, 1}, {6, 1}, {QL_HASH_SHA1, 2}, {0, 0}};
  for (const auto &p : bad_ids) {
    EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, 20, &p), -3013);
    EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), 20, &p), -3016);
  }
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 19, 20, &kPssSha1), -3013);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, h.data(), 32, &kPssSha1), -3016);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(nullptr, em_bits, h.data(), 20, 20, &kPssSha1), -3013);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Encode(em.data(), em_bits, h.data(), 20, 20, nullptr), -3013);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(nullptr, em_bits, h.data(), 20, &kPssSha1), -3016);
  EXPECT_EQ(QL_PKCS1_EMSA_PSS_Verify(em.data(), em_bits, nullptr, 20, &kPssSha1), -3016);
}

TEST(Pkcs1Encodings, EmsaV15Layout) {
  // Without a known digest the value is wrapped as it is; the block must leave room for at
  // least eight FF bytes.
  const Bytes h(30, 0x77);
  Bytes em(41);
  ASSERT_EQ(QL_PKCS1_EMSA_V15_Encode(em.data(), 41, -1, h.data(), 30), 0);
  Bytes want{0x00, 0x01};
  want.insert(want.end(), 8, 0xff);
  want.push_back(0x00);
  want.insert(want.end(), h.begin(), h.end());
  EXPECT_EQ(em, want);
  EXPECT_EQ(QL_PKCS1_EMSA_V15_Encode(em.data(), 40, -1, h.data(), 30), -3030);
  // Each digest's prefix ends in its OCTET STRING header; too short a block is refused.
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
  EXPECT_EQ(QL_PKCS1_EMSA_V15_Encode(nullptr, 41, -1, h.data(), 30), -3030);
}

// Each allocation of each function failed in turn: the critical code, and no output.
TEST(Pkcs1Encodings, AllocationFailure) {
  const uint32_t k = 128;
  const Bytes msg(16, 0x44), h(20, 0x01);
  Bytes em(k), m(k);
  uint32_t len = 0;
  ASSERT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, msg.data(), 16, &kOaepSha1), 0);
  Bytes pss(k);
  ASSERT_EQ(QL_PKCS1_EMSA_PSS_Encode(pss.data(), 1023, h.data(), 20, 20, &kPssSha1), 0);
  const struct {
    const char *name;
    std::function<int32_t()> call;
    int32_t code;
  } cases[] = {
      {"oaep encode",
       [&] { return QL_PKCS1_EME_OAEP_Encode(m.data(), k, msg.data(), 16, &kOaepSha1); }, -3003},
      {"oaep decode",
       [&] { return QL_PKCS1_EME_OAEP_Decode(m.data(), &len, em.data(), k, &kOaepSha1); }, -3012},
      {"pss encode",
       [&] { return QL_PKCS1_EMSA_PSS_Encode(m.data(), 1023, h.data(), 20, 20, &kPssSha1); },
       -3014},
      {"pss verify",
       [&] { return QL_PKCS1_EMSA_PSS_Verify(pss.data(), 1023, h.data(), 20, &kPssSha1); }, -3017},
  };
  for (const auto &c : cases) {
    for (int64_t n = 0;; n++) {
      std::fill(m.begin(), m.end(), 0x5a);
      ql::test::alloc_fail_at(n);
      const int32_t s = c.call();
      const int64_t attempted = ql::test::alloc_count();
      ql::test::alloc_fail_at(-1);
      if (n >= attempted) {
        EXPECT_EQ(s, 0) << c.name;
        break;
      }
      EXPECT_EQ(s, ql::critical(c.code)) << c.name << " allocation " << n;
      EXPECT_EQ(m, Bytes(k, 0x5a)) << c.name;
    }
  }
}

QL_RSA_PRIVATE_KEY private_key(const Example &x) {
  QL_RSA_PRIVATE_KEY k{};
  k.n = big_of(x.n);
  k.e = big_of(x.e);
  k.d = big_of(x.d);
  k.p = big_of(x.p);
  k.q = big_of(x.q);
  k.dP = big_of(x.dp);
  k.dQ = big_of(x.dq);
  k.qInv = big_of(x.qinv);
  return k;
}

QL_RSA_PUBLIC_KEY public_key(const Example &x) {
  QL_RSA_PUBLIC_KEY k{};
  k.n = big_of(x.n);
  k.e = big_of(x.e);
  return k;
}

// The published examples through the schemes: the first example of keys of 1024, 1025, 1031,
// 1536 and 2048 bits (every example runs through the encodings above; here each private
// operation costs a blinding draw of the generator).
bool scheme_sample(const Example &x) {
  const bool first = x.where.substr(x.where.size() - 2) == ".1";
  return first &&
         (x.bits == 1024 || x.bits == 1025 || x.bits == 1031 || x.bits == 1536 || x.bits == 2048);
}

TEST(Pkcs1Schemes, PublishedExamples) {
  for (const auto &x : examples("rsa_oaep_sha1_rsalabs.txt", "SEED", "CT")) {
    if (!scheme_sample(x)) {
      continue;
    }
    SCOPED_TRACE(x.where);
    const QL_RSA_PRIVATE_KEY priv = private_key(x);
    const QL_RSA_PUBLIC_KEY pub = public_key(x);
    const uint32_t k = static_cast<uint32_t>(x.k());
    Bytes out(k);
    uint32_t len = 0;
    {
      FixedRandom seed(x.rnd);
      ASSERT_EQ(QL_PKCS1_OAEP_Encrypt(out.data(), &len, x.msg.data(),
                                      static_cast<uint32_t>(x.msg.size()), &pub, &kOaepSha1),
                0);
    }
    EXPECT_EQ(len, k);
    EXPECT_EQ(out, x.out);
    ASSERT_EQ(QL_PKCS1_OAEP_Decrypt(out.data(), &len, x.out.data(), k, &priv, &kOaepSha1), 0);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + len), x.msg);
  }
  for (const auto &x : examples("rsa_pss_sha1_rsalabs.txt", "SALT", "SIG")) {
    if (!scheme_sample(x)) {
      continue;
    }
    SCOPED_TRACE(x.where);
    const QL_RSA_PRIVATE_KEY priv = private_key(x);
    const QL_RSA_PUBLIC_KEY pub = public_key(x);
    const uint32_t k = static_cast<uint32_t>(x.k());
    const Bytes h = sha1(x.msg);
    Bytes sig(k);
    uint32_t len = 0;
    {
      FixedRandom salt(x.rnd);
      ASSERT_EQ(QL_PKCS1_PSS_Sign(sig.data(), &len, h.data(), 20, &priv, &kPssSha1), 0);
    }
    EXPECT_EQ(sig, x.out);
    EXPECT_EQ(QL_PKCS1_PSS_Verify(x.out.data(), k, h.data(), 20, &pub, &kPssSha1), 0);
  }
  for (const auto &x : examples("rsa_pkcs1v15_encrypt_rsalabs.txt", "SEED", "CT")) {
    if (!scheme_sample(x)) {
      continue;
    }
    SCOPED_TRACE(x.where);
    const QL_RSA_PRIVATE_KEY priv = private_key(x);
    const QL_RSA_PUBLIC_KEY pub = public_key(x);
    const uint32_t k = static_cast<uint32_t>(x.k());
    Bytes out(k);
    uint32_t len = 0;
    {
      FixedRandom ps(x.rnd);
      ASSERT_EQ(QL_PKCS1_V15_Encrypt(out.data(), &len, x.msg.data(),
                                     static_cast<uint32_t>(x.msg.size()), &pub),
                0);
    }
    EXPECT_EQ(out, x.out);
    ASSERT_EQ(QL_PKCS1_V15_Decrypt(out.data(), &len, x.out.data(), k, &priv), 0);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + len), x.msg);
  }
  for (const auto &x : examples("rsa_pkcs1v15_sign_sha1_rsalabs.txt", nullptr, "SIG")) {
    if (!scheme_sample(x)) {
      continue;
    }
    SCOPED_TRACE(x.where);
    const QL_RSA_PRIVATE_KEY priv = private_key(x);
    const QL_RSA_PUBLIC_KEY pub = public_key(x);
    const uint32_t k = static_cast<uint32_t>(x.k());
    const Bytes h = sha1(x.msg);
    Bytes sig(k);
    uint32_t len = 0;
    ASSERT_EQ(QL_PKCS1_V15_Sign(sig.data(), &len, QL_HASH_SHA1, h.data(), 20, &priv), 0);
    EXPECT_EQ(sig, x.out);
    EXPECT_EQ(QL_PKCS1_V15_Verify(x.out.data(), k, QL_HASH_SHA1, h.data(), 20, &pub), 0);
  }
}

// A key of the published set by its modulus size (first example of that size).
Example example_key(uint32_t bits) {
  for (auto &x : examples("rsa_oaep_sha1_rsalabs.txt", "SEED", "CT")) {
    if (x.bits == bits) {
      return x;
    }
  }
  ADD_FAILURE() << "no key of " << bits << " bits";
  return {};
}

Bytes plus_one(const Bytes &n) {
  Bytes r = n;
  for (size_t i = r.size(); i-- > 0;) {
    if (++r[i] != 0) {
      break;
    }
  }
  return r;
}

// The codes of the schemes, each check in turn; outputs stay untouched on every failure.
TEST(Pkcs1Schemes, Codes) {
  FixedRandom fixed(pseudo_random(1 << 16));
  const Example x = example_key(1024);
  const QL_RSA_PRIVATE_KEY priv = private_key(x);
  const QL_RSA_PUBLIC_KEY pub = public_key(x);
  const uint32_t k = 128;
  const Bytes msg(16, 0x61), h20(20, 0x01), h64(64, 0x02), n_bytes = x.n;
  const Bytes above_n = plus_one(x.n), zero_block(k, 0);
  Bytes v15_ct(k), oaep_ct(k), v15_sig(k), pss_sig(k);
  uint32_t len = 0;
  ASSERT_EQ(QL_PKCS1_V15_Encrypt(v15_ct.data(), &len, msg.data(), 16, &pub), 0);
  ASSERT_EQ(QL_PKCS1_OAEP_Encrypt(oaep_ct.data(), &len, msg.data(), 16, &pub, &kOaepSha1), 0);
  ASSERT_EQ(QL_PKCS1_V15_Sign(v15_sig.data(), &len, 2, h20.data(), 20, &priv), 0);
  ASSERT_EQ(QL_PKCS1_PSS_Sign(pss_sig.data(), &len, h20.data(), 20, &priv, &kPssSha1), 0);
  Bytes bad_sig = v15_sig;
  bad_sig[k - 1] ^= 0x01;
  Bytes out(k, 0x5a);
  const QL_PSS_PARAM pss512{QL_HASH_SHA512, 5}, pss_has160{QL_HASH_HAS160, 1};
  const QL_OAEP_PARAM oaep_mgf2{QL_HASH_SHA1, 2, 1, nullptr, 0};
  uint8_t *o = out.data();
  const struct {
    const char *name;
    std::function<int32_t()> call;
    int32_t code;
  } cases[] = {
      {"v15 enc null", [&] { return QL_PKCS1_V15_Encrypt(o, &len, nullptr, 1, &pub); }, -3019},
      {"v15 enc null key", [&] { return QL_PKCS1_V15_Encrypt(o, &len, msg.data(), 1, nullptr); },
       -3019},
      {"v15 enc long",
       [&] { return QL_PKCS1_V15_Encrypt(o, &len, zero_block.data(), k - 10, &pub); }, -3007},
      {"v15 dec null", [&] { return QL_PKCS1_V15_Decrypt(o, &len, nullptr, k, &priv); }, -3021},
      {"v15 dec length", [&] { return QL_PKCS1_V15_Decrypt(o, &len, v15_ct.data(), k - 1, &priv); },
       -3023},
      {"v15 dec above n", [&] { return QL_PKCS1_V15_Decrypt(o, &len, above_n.data(), k, &priv); },
       -3023},
      {"v15 dec n", [&] { return QL_PKCS1_V15_Decrypt(o, &len, n_bytes.data(), k, &priv); }, -3023},
      {"v15 dec oaep block",
       [&] { return QL_PKCS1_V15_Decrypt(o, &len, oaep_ct.data(), k, &priv); }, -3023},
      {"oaep enc null",
       [&] { return QL_PKCS1_OAEP_Encrypt(o, &len, msg.data(), 1, nullptr, &kOaepSha1); }, -3001},
      {"oaep enc mgf 2",
       [&] { return QL_PKCS1_OAEP_Encrypt(o, &len, msg.data(), 1, &pub, &oaep_mgf2); }, -3001},
      {"oaep enc long",
       [&] { return QL_PKCS1_OAEP_Encrypt(o, &len, zero_block.data(), k - 41, &pub, &kOaepSha1); },
       -3002},
      {"oaep dec null",
       [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, nullptr, k, &priv, &kOaepSha1); }, -3026},
      {"oaep dec length",
       [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, oaep_ct.data(), k + 1, &priv, &kOaepSha1); },
       -3026},
      {"oaep dec above n",
       [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, above_n.data(), k, &priv, &kOaepSha1); }, -3026},
      {"oaep dec mgf 2",
       [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, oaep_ct.data(), k, &priv, &oaep_mgf2); }, -3010},
      {"oaep dec v15 block",
       [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, v15_ct.data(), k, &priv, &kOaepSha1); }, -3011},
      {"v15 sign digest len",
       [&] { return QL_PKCS1_V15_Sign(o, &len, QL_HASH_SHA256, h20.data(), 20, &priv); }, -3027},
      {"v15 sign has160 len",
       [&] { return QL_PKCS1_V15_Sign(o, &len, QL_HASH_HAS160, h64.data(), 32, &priv); }, -3027},
      {"v15 sign null", [&] { return QL_PKCS1_V15_Sign(o, &len, 2, h20.data(), 20, nullptr); },
       -3027},
      {"v15 sign too long",
       [&] { return QL_PKCS1_V15_Sign(o, &len, -1, zero_block.data(), k - 10, &priv); }, -3029},
      {"v15 verify digest len",
       [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k, 5, h20.data(), 20, &pub); }, -3031},
      {"v15 verify length",
       [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k - 1, 2, h20.data(), 20, &pub); }, -3033},
      {"v15 verify above n",
       [&] { return QL_PKCS1_V15_Verify(above_n.data(), k, 2, h20.data(), 20, &pub); }, -3033},
      {"v15 verify bad",
       [&] { return QL_PKCS1_V15_Verify(bad_sig.data(), k, 2, h20.data(), 20, &pub); }, -3033},
      {"v15 verify other digest",
       [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k, 1, h20.data(), 20, &pub); }, -3033},
      {"v15 verify too long",
       [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k, -1, zero_block.data(), k - 10, &pub); },
       -3034},
      {"pss sign null", [&] { return QL_PKCS1_PSS_Sign(o, &len, nullptr, 20, &priv, &kPssSha1); },
       -3035},
      {"pss sign h len",
       [&] { return QL_PKCS1_PSS_Sign(o, &len, h64.data(), 32, &priv, &kPssSha1); }, -3035},
      {"pss sign has160",
       [&] { return QL_PKCS1_PSS_Sign(o, &len, h20.data(), 20, &priv, &pss_has160); }, -3036},
      {"pss sign sha512 on 1024 bits",
       [&] { return QL_PKCS1_PSS_Sign(o, &len, h64.data(), 64, &priv, &pss512); }, -3015},
      {"pss verify null",
       [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k, h20.data(), 20, &pub, nullptr); },
       -3038},
      {"pss verify h len",
       [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k, h20.data(), 21, &pub, &kPssSha1); },
       -3038},
      {"pss verify has160",
       [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k, h20.data(), 20, &pub, &pss_has160); },
       -3040},
      {"pss verify length",
       [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k + 1, h20.data(), 20, &pub, &kPssSha1); },
       -3041},
      {"pss verify above n",
       [&] { return QL_PKCS1_PSS_Verify(above_n.data(), k, h20.data(), 20, &pub, &kPssSha1); },
       -3041},
      {"pss verify v15 sig",
       [&] { return QL_PKCS1_PSS_Verify(v15_sig.data(), k, h20.data(), 20, &pub, &kPssSha1); },
       -3041},
  };
  for (const auto &c : cases) {
    std::fill(out.begin(), out.end(), 0x5a);
    len = 4242;
    EXPECT_EQ(c.call(), c.code) << c.name;
    EXPECT_EQ(out, Bytes(k, 0x5a)) << c.name;
    EXPECT_EQ(len, 4242u) << c.name;
  }
}

// Any single-bit change of a ciphertext fails with the scheme's one code (sampled positions:
// each costs a private operation).
TEST(Pkcs1Schemes, CiphertextFaultsCollapseToOneCode) {
  FixedRandom fixed(pseudo_random(1 << 12));
  const Example x = example_key(1024);
  const QL_RSA_PRIVATE_KEY priv = private_key(x);
  const QL_RSA_PUBLIC_KEY pub = public_key(x);
  const uint32_t k = 128;
  const Bytes msg(16, 0x61);
  Bytes v15_ct(k), oaep_ct(k), out(k);
  uint32_t len = 0;
  ASSERT_EQ(QL_PKCS1_V15_Encrypt(v15_ct.data(), &len, msg.data(), 16, &pub), 0);
  ASSERT_EQ(QL_PKCS1_OAEP_Encrypt(oaep_ct.data(), &len, msg.data(), 16, &pub, &kOaepSha1), 0);
  for (uint32_t pos : {1u, 40u, 100u, 127u}) {
    Bytes c = v15_ct;
    c[pos] ^= 0x04;
    EXPECT_EQ(QL_PKCS1_V15_Decrypt(out.data(), &len, c.data(), k, &priv), -3023) << pos;
    c = oaep_ct;
    c[pos] ^= 0x04;
    EXPECT_EQ(QL_PKCS1_OAEP_Decrypt(out.data(), &len, c.data(), k, &priv, &kOaepSha1), -3011)
        << pos;
  }
}

TEST(Pkcs1Schemes, EveryDigestAndMgfOn2048Bits) {
  FixedRandom fixed(pseudo_random(1 << 14));
  const Example x = example_key(2048);
  const QL_RSA_PRIVATE_KEY priv = private_key(x);
  const QL_RSA_PUBLIC_KEY pub = public_key(x);
  const uint32_t k = 256;
  for (int32_t hash_id = QL_HASH_SHA1; hash_id <= QL_HASH_SHA512; hash_id++) {
    const uint32_t h_len = hash_id == 2 ? 20 : hash_id == 3 ? 32 : hash_id == 4 ? 48 : 64;
    const int32_t mgf_id = hash_id == QL_HASH_SHA1 ? 1 : hash_id;
    SCOPED_TRACE(hash_id);
    Bytes h(h_len, static_cast<uint8_t>(hash_id)), sig(k), out(k);
    uint32_t len = 0;
    // PSS: a flipped bit of H inside the block, or of the digest, is refused.
    const QL_PSS_PARAM pss{hash_id, mgf_id};
    ASSERT_EQ(QL_PKCS1_PSS_Sign(sig.data(), &len, h.data(), h_len, &priv, &pss), 0);
    EXPECT_EQ(QL_PKCS1_PSS_Verify(sig.data(), k, h.data(), h_len, &pub, &pss), 0);
    Bytes em = raw_exp(sig, x.e, x.n, k);
    em[k - 2] ^= 0x10;  // last byte of H
    const Bytes forged = raw_exp(em, x.d, x.n, k);
    EXPECT_EQ(QL_PKCS1_PSS_Verify(forged.data(), k, h.data(), h_len, &pub, &pss), -3041);
    h[0] ^= 0x01;
    EXPECT_EQ(QL_PKCS1_PSS_Verify(sig.data(), k, h.data(), h_len, &pub, &pss), -3041);
    // v1.5 signatures and OAEP with a different MGF digest.
    ASSERT_EQ(QL_PKCS1_V15_Sign(sig.data(), &len, hash_id, h.data(), h_len, &priv), 0);
    EXPECT_EQ(QL_PKCS1_V15_Verify(sig.data(), k, hash_id, h.data(), h_len, &pub), 0);
    const QL_OAEP_PARAM oaep = oaep_param(hash_id, hash_id == 5 ? 1 : 5, &h);
    ASSERT_EQ(QL_PKCS1_OAEP_Encrypt(sig.data(), &len, h.data(), h_len, &pub, &oaep), 0);
    ASSERT_EQ(QL_PKCS1_OAEP_Decrypt(out.data(), &len, sig.data(), k, &priv, &oaep), 0);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + len), h);
  }
}

// Each allocation of each scheme failed in turn (the RSA primitive's included): a critical
// code, the scheme's own one first, and no output.
TEST(Pkcs1Schemes, AllocationFailure) {
  FixedRandom fixed(pseudo_random(1 << 14));
  const Example x = example_key(1024);
  const QL_RSA_PRIVATE_KEY priv = private_key(x);
  const QL_RSA_PUBLIC_KEY pub = public_key(x);
  const uint32_t k = 128;
  const Bytes msg(16, 0x61), h(20, 0x01);
  Bytes v15_ct(k), oaep_ct(k), v15_sig(k), pss_sig(k), out(k);
  uint32_t len = 0;
  ASSERT_EQ(QL_PKCS1_V15_Encrypt(v15_ct.data(), &len, msg.data(), 16, &pub), 0);
  ASSERT_EQ(QL_PKCS1_OAEP_Encrypt(oaep_ct.data(), &len, msg.data(), 16, &pub, &kOaepSha1), 0);
  ASSERT_EQ(QL_PKCS1_V15_Sign(v15_sig.data(), &len, 2, h.data(), 20, &priv), 0);
  ASSERT_EQ(QL_PKCS1_PSS_Sign(pss_sig.data(), &len, h.data(), 20, &priv, &kPssSha1), 0);
  uint8_t *o = out.data();
  const struct {
    const char *name;
    std::function<int32_t()> call;
    int32_t first;
  } cases[] = {
      {"v15 enc", [&] { return QL_PKCS1_V15_Encrypt(o, &len, msg.data(), 16, &pub); }, -3020},
      {"v15 dec", [&] { return QL_PKCS1_V15_Decrypt(o, &len, v15_ct.data(), k, &priv); }, -3022},
      {"oaep enc", [&] { return QL_PKCS1_OAEP_Encrypt(o, &len, msg.data(), 16, &pub, &kOaepSha1); },
       -3024},
      {"oaep dec",
       [&] { return QL_PKCS1_OAEP_Decrypt(o, &len, oaep_ct.data(), k, &priv, &kOaepSha1); }, -3025},
      {"v15 sign", [&] { return QL_PKCS1_V15_Sign(o, &len, 2, h.data(), 20, &priv); }, -3028},
      {"v15 verify", [&] { return QL_PKCS1_V15_Verify(v15_sig.data(), k, 2, h.data(), 20, &pub); },
       -3032},
      {"pss sign", [&] { return QL_PKCS1_PSS_Sign(o, &len, h.data(), 20, &priv, &kPssSha1); },
       -3037},
      {"pss verify",
       [&] { return QL_PKCS1_PSS_Verify(pss_sig.data(), k, h.data(), 20, &pub, &kPssSha1); },
       -3039},
  };
  for (const auto &c : cases) {
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
      if (n == 0) {
        EXPECT_EQ(s, ql::critical(c.first)) << c.name;
      }
      EXPECT_EQ(out, Bytes(k, 0x5a)) << c.name;
    }
  }
}

Bytes encode_public(const QL_RSA_PUBLIC_KEY &pub) {
  uint32_t len = 0;
  EXPECT_EQ(QL_PKCS1_PublicKeyEncode(nullptr, &pub, &len), 0);
  Bytes out(len);
  EXPECT_EQ(QL_PKCS1_PublicKeyEncode(out.data(), &pub, &len), 0);
  out.resize(len);
  return out;
}

Bytes encode_private(const QL_RSA_PRIVATE_KEY &priv) {
  uint32_t len = 0;
  EXPECT_EQ(QL_PKCS1_PrivateKeyEncode(nullptr, &priv, &len), 0);
  Bytes out(len);
  EXPECT_EQ(QL_PKCS1_PrivateKeyEncode(out.data(), &priv, &len), 0);
  out.resize(len);
  return out;
}

bool same(const Big &a, const Big &b) { return Big_Comp(&a, &b) == 0; }

// Decodes the first `len` bytes of `der` from an exactly sized heap copy (the sanitizers see
// any read past it).
int32_t decode_private(const Bytes &der, size_t len, QL_RSA_PRIVATE_KEY *key) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[len == 0 ? 1 : len]);
  if (len != 0) {
    std::memcpy(copy.get(), der.data(), len);
  }
  return QL_PKCS1_PrivateKeyDecode(key, copy.get(), static_cast<uint32_t>(len));
}
int32_t decode_public_bounded(const Bytes &der, size_t len, QL_RSA_PUBLIC_KEY *key) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[len == 0 ? 1 : len]);
  if (len != 0) {
    std::memcpy(copy.get(), der.data(), len);
  }
  return ql::public_key_decode(key, copy.get(), static_cast<uint32_t>(len));
}

TEST(Pkcs1Keys, RoundTripsAndTruncation) {
  for (uint32_t bits : {1024u, 1025u, 1536u, 2048u}) {
    SCOPED_TRACE(bits);
    const Example x = example_key(bits);
    const QL_RSA_PRIVATE_KEY priv = private_key(x);
    const QL_RSA_PUBLIC_KEY pub = public_key(x);
    const Bytes pub_der = encode_public(pub), priv_der = encode_private(priv);
    EXPECT_EQ(pub_der[0], 0x30);
    QL_RSA_PUBLIC_KEY pub2{};
    ASSERT_EQ(QL_PKCS1_PublicKeyDecode(&pub2, pub_der.data()), 0);
    EXPECT_TRUE(same(pub2.n, pub.n) && same(pub2.e, pub.e));
    QL_RSA_PRIVATE_KEY priv2{};
    ASSERT_EQ(decode_private(priv_der, priv_der.size(), &priv2), 0);
    for (const Big *a = &priv.n, *b = &priv2.n; a <= &priv.qInv; a++, b++) {
      EXPECT_TRUE(same(*a, *b));
    }
    // Truncated at every byte: refused, never read past the input, the record untouched.
    for (size_t len = 0; len < priv_der.size(); len++) {
      QL_RSA_PRIVATE_KEY untouched{};
      untouched.n.words[0] = 77;
      ASSERT_EQ(decode_private(priv_der, len, &untouched), -3504) << len;
      EXPECT_EQ(untouched.n.words[0], 77u);
    }
    for (size_t len = 0; len < pub_der.size(); len++) {
      EXPECT_EQ(decode_public_bounded(pub_der, len, &pub2), -3503) << len;
    }
    // Without a length, a structure whose header announces less than its elements need is
    // refused without reading past what the header announces.
    const size_t header = pub_der[1] < 0x80 ? 2 : 2 + (pub_der[1] & 0x7fu);
    const Bytes elements(pub_der.begin() + static_cast<long>(header), pub_der.end());
    for (size_t content = 0; content < elements.size(); content++) {
      std::unique_ptr<uint8_t[]> cut(new uint8_t[4 + content]);
      cut[0] = 0x30;
      cut[1] = 0x82;
      cut[2] = static_cast<uint8_t>(content >> 8);
      cut[3] = static_cast<uint8_t>(content);
      if (content != 0) {
        std::memcpy(cut.get() + 4, elements.data(), content);
      }
      EXPECT_EQ(QL_PKCS1_PublicKeyDecode(&pub2, cut.get()), -3503) << content;
    }
  }
}

// Hand-made encodings around the rules: each with the code it must get.
TEST(Pkcs1Keys, MalformedEncodings) {
  const Bytes good_pub{0x30, 0x06, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03};
  const struct {
    Bytes der;
    int32_t code;
  } pub_cases[] = {
      {good_pub, 0},
      {{0x31, 0x06, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03}, -3503},
      {{0x30, 0x06, 0x04, 0x01, 0x0f, 0x02, 0x01, 0x03}, -3503},
      {{0x30, 0x06, 0x02, 0x01, 0x0f, 0x03, 0x01, 0x03}, -3503},
      {{0x30, 0x07, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03, 0x00}, -3503},        // a byte left inside
      {{0x30, 0x05, 0x02, 0x00, 0x02, 0x01, 0x03}, -3503},                    // empty INTEGER
      {{0x30, 0x06, 0x02, 0x01, 0x8f, 0x02, 0x01, 0x03}, -3503},              // negative INTEGER
      {{0x30, 0x80, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03, 0x00, 0x00}, -3503},  // indefinite
      {{0x30, 0x85, 0x00, 0x00, 0x00, 0x00, 0x06, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03}, -3503},
      {{0x30, 0x84, 0xff, 0xff, 0xff, 0xff, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03}, -3503},
      {{0x30, 0x81, 0x06, 0x02, 0x01, 0x0f, 0x02, 0x01, 0x03}, 0},            // non-minimal length
      {{0x30, 0x07, 0x02, 0x02, 0x00, 0x0f, 0x02, 0x01, 0x03}, 0},            // leading zero byte
      {{0x30, 0x08, 0x02, 0x81, 0x05, 0x0f, 0x02, 0x81, 0x01, 0x03}, -3503},  // runs over
  };
  for (const auto &c : pub_cases) {
    QL_RSA_PUBLIC_KEY pub{};
    std::unique_ptr<uint8_t[]> copy(new uint8_t[c.der.size()]);
    std::memcpy(copy.get(), c.der.data(), c.der.size());
    EXPECT_EQ(QL_PKCS1_PublicKeyDecode(&pub, copy.get()), c.code) << qltest::to_hex(c.der);
  }
  QL_RSA_PUBLIC_KEY pub{};
  EXPECT_EQ(QL_PKCS1_PublicKeyDecode(nullptr, good_pub.data()), -3503);
  EXPECT_EQ(QL_PKCS1_PublicKeyDecode(&pub, nullptr), -3503);
  // Trailing bytes after the structure are the caller's business.
  Bytes trailing = good_pub;
  trailing.push_back(0xff);
  EXPECT_EQ(ql::public_key_decode(&pub, trailing.data(), 9), 0);

  // Integers above 1028 bytes are OS2IP's -2010, reported even when e would decode (the first
  // failure, not the last conversion); a modulus above 128 words is refused.
  auto integer = [](size_t len, uint8_t fill) {
    Bytes b{0x02, 0x82, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)};
    b.insert(b.end(), len, fill);
    b[4] = 0x01;
    return b;
  };
  auto sequence = [](const std::vector<Bytes> &parts) {
    Bytes content;
    for (const auto &p : parts) {
      content.insert(content.end(), p.begin(), p.end());
    }
    Bytes b(4 + content.size());
    b[0] = 0x30;
    b[1] = 0x82;
    b[2] = static_cast<uint8_t>(content.size() >> 8);
    b[3] = static_cast<uint8_t>(content.size());
    std::copy(content.begin(), content.end(), b.begin() + 4);
    return b;
  };
  const Bytes e{0x02, 0x01, 0x03};
  EXPECT_EQ(QL_PKCS1_PublicKeyDecode(&pub, sequence({integer(1029, 0xff), e}).data()), -2010);
  EXPECT_EQ(QL_PKCS1_PublicKeyDecode(&pub, sequence({integer(513, 0xff), e}).data()), -4508);
  EXPECT_EQ(QL_PKCS1_PublicKeyDecode(&pub, sequence({integer(512, 0xff), e}).data()), 0);

  // Private keys: version, NULLs, length and the same integer rules.
  const Bytes v{0x02, 0x01, 0x00}, one{0x02, 0x01, 0x01}, null{0x05, 0x00};
  const Bytes n15{0x02, 0x01, 0x0f};
  const struct {
    std::vector<Bytes> parts;
    int32_t code;
  } priv_cases[] = {
      {{v, n15, one, one, one, one, one, one, one}, 0},
      {{v, n15, one, one, one, one, null, null, null}, 0},
      {{v, n15, one, one, one, one, null, one, null}, 0},
      {{{0x02, 0x01, 0x01}, n15, one, one, one, one, one, one, one}, -3504},
      {{{0x02, 0x02, 0x00, 0x00}, n15, one, one, one, one, one, one, one}, -3504},
      {{v, n15, one, null, one, one, one, one, one}, -3504},  // d may not be NULL
      {{v, n15, one, one, one, one, {0x05, 0x01, 0x00}, one, one}, -3504},
      {{v, n15, one, one, one, one, one, one}, -3504},  // qInv missing
      {{v, n15, one, one, one, one, one, one, one, one}, -3504},
      {{v, n15, {0x02, 0x00}, one, one, one, one, one, one}, -3504},
      {{v, n15, {0x02, 0x01, 0x80}, one, one, one, one, one, one}, -3504},
      {{v, integer(1029, 0x01), one, one, one, one, one, one, one}, -2010},
      {{v, integer(513, 0x01), one, one, one, one, one, one, one}, -4508},
  };
  for (const auto &c : priv_cases) {
    const Bytes der = sequence(c.parts);
    QL_RSA_PRIVATE_KEY key{};
    EXPECT_EQ(decode_private(der, der.size(), &key), c.code) << qltest::to_hex(der);
  }
  const Bytes der = sequence(priv_cases[0].parts);
  Bytes extra = der;
  extra.push_back(0x00);
  QL_RSA_PRIVATE_KEY key{};
  EXPECT_EQ(decode_private(extra, extra.size(), &key), -3504);
  EXPECT_EQ(QL_PKCS1_PrivateKeyDecode(nullptr, der.data(), static_cast<uint32_t>(der.size())),
            -3504);
  // NULLs clear the record's CRT values, whatever it held before.
  key.dP = big_of({9});
  key.dQ = big_of({9});
  key.qInv = big_of({9});
  const Bytes nulls = sequence(priv_cases[1].parts);
  ASSERT_EQ(decode_private(nulls, nulls.size(), &key), 0);
  EXPECT_EQ(
      Big_GetFilledBitNum(&key.dP) + Big_GetFilledBitNum(&key.dQ) + Big_GetFilledBitNum(&key.qInv),
      0);
}

TEST(Pkcs1Keys, EncoderRulesAndCrtFreeKeys) {
  FixedRandom fixed(pseudo_random(1 << 12));
  const Example x = example_key(1024);
  QL_RSA_PRIVATE_KEY priv = private_key(x);
  QL_RSA_PUBLIC_KEY pub = public_key(x);
  uint32_t len = 0;
  // Missing values.
  QL_RSA_PUBLIC_KEY no_e = pub;
  no_e.e = Big{};
  EXPECT_EQ(QL_PKCS1_PublicKeyEncode(nullptr, &no_e, &len), -3042);
  EXPECT_EQ(QL_PKCS1_PublicKeyEncode(nullptr, nullptr, &len), -3042);
  for (Big QL_RSA_PRIVATE_KEY::*field :
       {&QL_RSA_PRIVATE_KEY::n, &QL_RSA_PRIVATE_KEY::e, &QL_RSA_PRIVATE_KEY::d,
        &QL_RSA_PRIVATE_KEY::p, &QL_RSA_PRIVATE_KEY::q}) {
    QL_RSA_PRIVATE_KEY missing = priv;
    missing.*field = Big{};
    EXPECT_EQ(QL_PKCS1_PrivateKeyEncode(nullptr, &missing, &len), -3044);
  }
  // A key without CRT values encodes them as NULL and still works through d.
  QL_RSA_PRIVATE_KEY plain = priv;
  plain.dP = plain.dQ = plain.qInv = Big{};
  const Bytes der = encode_private(plain);
  const Bytes tail{0x05, 0x00, 0x05, 0x00, 0x05, 0x00};
  EXPECT_EQ(Bytes(der.end() - 6, der.end()), tail);
  QL_RSA_PRIVATE_KEY back{};
  ASSERT_EQ(decode_private(der, der.size(), &back), 0);
  const Bytes h(20, 0x33);
  Bytes sig(128), sig2(128);
  ASSERT_EQ(QL_PKCS1_V15_Sign(sig.data(), &len, 2, h.data(), 20, &back), 0);
  ASSERT_EQ(QL_PKCS1_V15_Sign(sig2.data(), &len, 2, h.data(), 20, &priv), 0);
  EXPECT_EQ(sig, sig2);
  // A caller-filled record with integers longer than n: the query covers what is written.
  QL_RSA_PRIVATE_KEY odd = priv;
  odd.d = big_of(Bytes(400, 0x7f));
  odd.qInv = big_of(Bytes(300, 0x7f));
  uint32_t query = 0;
  ASSERT_EQ(QL_PKCS1_PrivateKeyEncode(nullptr, &odd, &query), 0);
  std::unique_ptr<uint8_t[]> exact(new uint8_t[query]);
  ASSERT_EQ(QL_PKCS1_PrivateKeyEncode(exact.get(), &odd, &len), 0);
  EXPECT_EQ(len, query);
  // Allocation failure of the scratch blocks.
  Bytes out(2048);
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(QL_PKCS1_PublicKeyEncode(out.data(), &pub, &len), ql::critical(-3043));
  ql::test::alloc_fail_at(0);
  EXPECT_EQ(QL_PKCS1_PrivateKeyEncode(out.data(), &priv, &len), ql::critical(-3045));
  ql::test::alloc_fail_at(-1);
}

}  // namespace
