// KCDSA against an independent model built on OpenSSL's BIGNUMs and digests (HAS-160, which
// OpenSSL lacks, from the library's digest, checked by its own vectors): on the published
// 1024/160 and 2048/256 groups, keys made by the model, the z-prefixed hash of random
// messages, the library's signatures verified by the model and the model's signatures by the
// library, for HAS-160, SHA-1 and SHA-256; plus model signatures whose W has a zero top byte
// (k searched) and W = 1, whose every word but the lowest is zero.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_kcdsa_model.h"

namespace {

using namespace qltest::kcdsa_model;

QL_KCDSA_SIGNATURE to_library(const Sig &sig) {
  QL_KCDSA_SIGNATURE out{};
  out.r = to_big(bn(sig.r).get());
  out.s = to_big(sig.s.get());
  return out;
}

int32_t library_verify(const Group &gr, const Key &key, int id, const Bytes &h, const Sig &sig) {
  const QL_KCDSA_SIGNATURE s = to_library(sig);
  const Big y = to_big(key.y.get());
  return QL_KCDSA_Verify(&gr.params, &y, &s, id, h.data(), static_cast<uint32_t>(h.size()));
}

TEST(KcdsaDiff, SignAndVerifyAgainstModel) {
  std::mt19937 rng(20261209);
  for (const char *edition : {"II.5", "II.3"}) {
    const Group gr = load_group(edition);
    for (int round = 0; round < 2; round++) {
      const Key key = make_key(gr);
      const Big x = to_big(key.x.get());
      const Big y = to_big(key.y.get());
      EXPECT_EQ(0, QL_KCDSA_ProveKeyPair(&x, &y, &gr.params)) << edition;
      EXPECT_EQ(0, QL_KCDSA_VerifyPublicKey(&gr.params, &y)) << edition;
      for (int id = 1; id <= 3; id++) {
        for (int n = 0; n < 3; n++) {
          Bytes m(rng() % 200);
          for (auto &b : m) {
            b = static_cast<uint8_t>(rng());
          }
          const Bytes full = model_hash(id, key.y.get(), m);
          uint8_t lib[64];
          uint32_t lib_len = 0;
          ASSERT_EQ(
              0, QL_KCDSA_Hash(lib, &lib_len, m.data(), static_cast<uint32_t>(m.size()), id, &y));
          ASSERT_EQ(full, Bytes(lib, lib + lib_len)) << edition << " " << id;
          const Bytes h = rightmost(full, full.size() < gr.q_len ? full.size() : gr.q_len);
          const uint32_t h_len = static_cast<uint32_t>(h.size());
          // The library's signature, checked by the model.
          QL_KCDSA_SIGNATURE s{};
          ASSERT_EQ(0, QL_KCDSA_Sign(&s, id, h.data(), h_len, &x, &gr.params));
          Sig ours{pad(from_big(s.r).get(), h_len), from_big(s.s)};
          EXPECT_TRUE(model_verify(gr, key.y.get(), id, h, ours)) << edition << " " << id;
          // The model's signature, checked by the library, and refused for another message.
          Bn k = bn();
          ASSERT_EQ(1, BN_rand_range(k.get(), gr.q.get()));
          const Sig theirs = model_sign(gr, key, id, h, k.get());
          EXPECT_EQ(0, library_verify(gr, key, id, h, theirs)) << edition << " " << id;
          Bytes other = h;
          other[rng() % h_len] ^= static_cast<uint8_t>(1u << (rng() % 8));
          EXPECT_EQ(-5001, library_verify(gr, key, id, other, theirs)) << edition << " " << id;
        }
      }
    }
  }
}

// W hashed in p's full byte length: a W with a zero top byte (k searched), and W = 1 (k = 0,
// s = -x e mod q), which verifies under the standard's rule although every word of W but the
// lowest is zero.
TEST(KcdsaDiff, ShortW) {
  std::mt19937 rng(7);
  for (const char *edition : {"II.5", "II.3"}) {
    const Group gr = load_group(edition);
    const Key key = make_key(gr);
    for (int id = 1; id <= 3; id++) {
      Bytes h(id == 3 ? gr.q_len : 20);
      for (auto &b : h) {
        b = static_cast<uint8_t>(rng());
      }
      Bn k = bn(), w = bn();
      for (;;) {
        ASSERT_EQ(1, BN_rand_range(k.get(), gr.q.get()));
        ASSERT_EQ(1, BN_mod_exp(w.get(), gr.g.get(), k.get(), gr.p.get(), ctx()));
        if (static_cast<size_t>(BN_num_bytes(w.get())) < gr.p_len) {
          break;
        }
      }
      const Sig short_w = model_sign(gr, key, id, h, k.get());
      EXPECT_EQ(0, library_verify(gr, key, id, h, short_w)) << edition << " " << id;
      Bn zero = bn();
      BN_zero(zero.get());
      const Sig unit_w = model_sign(gr, key, id, h, zero.get());
      ASSERT_TRUE(model_verify(gr, key.y.get(), id, h, unit_w));
      EXPECT_EQ(0, library_verify(gr, key, id, h, unit_w)) << edition << " " << id;
    }
  }
}

}  // namespace
