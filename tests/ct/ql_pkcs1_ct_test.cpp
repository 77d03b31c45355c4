// Constant-time checks of the PKCS #1 decodings, run under valgrind memcheck: the decrypted
// block is marked secret, so a branch or memory index that depends on its bytes (where the
// padding ends, which check failed) is reported. Outputs are declared public before the test
// reads them.
#include <gtest/gtest.h>

#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_ct.h"
#include "pk/ql_pkcs1.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Decodes `em` as a secret block; returns the status and, on success, the message.
int32_t decode_secret(Bytes em, const QL_OAEP_PARAM *oaep, Bytes *msg) {
  Bytes m(em.size(), 0);
  uint32_t m_len = 0;
  QL_CT_SECRET(em.data(), em.size());
  const uint32_t k = static_cast<uint32_t>(em.size());
  const int32_t s = oaep != nullptr ? ql::eme_oaep_decode(m.data(), &m_len, em.data(), k, oaep)
                                    : ql::eme_v15_decode(m.data(), &m_len, em.data(), k);
  QL_CT_PUBLIC(m.data(), m.size());
  QL_CT_PUBLIC(&m_len, sizeof(m_len));
  if (s == 0) { *msg = Bytes(m.begin(), m.begin() + m_len); }
  return s;
}

TEST(CtPkcs1, V15DecodingOfSecretBlocks) {
  const uint32_t k = 128;
  Bytes good(k, 0x5c);
  good[0] = 0x00;
  good[1] = 0x02;
  good[100] = 0x00;
  Bytes msg;
  ASSERT_EQ(decode_secret(good, nullptr, &msg), 0);
  EXPECT_EQ(msg, Bytes(k - 101, 0x5c));
  // Each kind of failure takes the same path.
  for (size_t pos : {size_t{0}, size_t{1}, size_t{100}}) {
    Bytes bad = good;
    bad[pos] = 0x07;
    EXPECT_EQ(decode_secret(bad, nullptr, &msg), -3009) << pos;
  }
  Bytes short_pad = good;
  short_pad[5] = 0x00;
  EXPECT_EQ(decode_secret(short_pad, nullptr, &msg), -3009);
}

TEST(CtPkcs1, OaepDecodingOfSecretBlocks) {
  const uint32_t k = 128;
  const QL_OAEP_PARAM p = {QL_HASH_SHA256, 3, 1, nullptr, 0};
  const Bytes m(30, 0x21);
  Bytes em(k);
  ASSERT_EQ(QL_PKCS1_EME_OAEP_Encode(em.data(), k, m.data(), 30, &p), 0);
  Bytes msg;
  ASSERT_EQ(decode_secret(em, &p, &msg), 0);
  EXPECT_EQ(msg, m);
  for (size_t pos : {size_t{0}, size_t{1}, size_t{60}}) {
    Bytes bad = em;
    bad[pos] ^= 0x01;
    EXPECT_EQ(decode_secret(bad, &p, &msg), -3011) << pos;
  }
}

TEST(CtPkcs1, ConversionOfASecretValue) {
  Big x{};
  x.words[0] = 0x01020304u;
  x.words[1] = 0x00000506u;
  x.length = 2;
  QL_CT_SECRET(&x, sizeof(x));
  uint8_t out[12];
  ql::pkcs1_i2osp_secret(out, sizeof(out), x);
  QL_CT_PUBLIC(out, sizeof(out));
  EXPECT_EQ(Bytes(out, out + 12), (Bytes{0, 0, 0, 0, 0, 0, 0x05, 0x06, 0x01, 0x02, 0x03, 0x04}));
}

}  // namespace
