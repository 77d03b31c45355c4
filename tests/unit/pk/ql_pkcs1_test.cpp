// PKCS #1: the published RSA Laboratories examples through the encodings (with their seeds and
// salts supplied by the test hook) and through the schemes, the edge cases and codes of every
// function, blocks with a fault at every byte, truncated and malformed key encodings, and
// allocation failure at each allocation.
#include "pk/ql_pkcs1.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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

}  // namespace
