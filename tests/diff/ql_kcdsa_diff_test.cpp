// KCDSA against an independent model built on OpenSSL's BIGNUMs and digests (HAS-160, which
// OpenSSL lacks, from the library's digest, checked by its own vectors): on the published
// 1024/160 and 2048/256 groups, keys made by the model, the z-prefixed hash of random
// messages, the library's signatures verified by the model and the model's signatures by the
// library, for HAS-160, SHA-1 and SHA-256; plus model signatures whose W has a zero top byte
// (k searched) and W = 1, whose every word but the lowest is zero.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/evp.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_vectors.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct BnFree {
  void operator()(BIGNUM *b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

Bn bn() { return Bn(BN_new()); }
Bn bn(const Bytes &b) { return Bn(BN_bin2bn(b.data(), static_cast<int>(b.size()), nullptr)); }

BN_CTX *ctx() {
  static BN_CTX *c = BN_CTX_new();
  return c;
}

Bytes pad(const BIGNUM *a, size_t n) {
  Bytes out(n);
  EXPECT_EQ(static_cast<int>(n), BN_bn2binpad(a, out.data(), static_cast<int>(n)));
  return out;
}

Big to_big(const BIGNUM *a) {
  Bytes b = pad(a, static_cast<size_t>(BN_num_bytes(a)) + 1);
  Big r{};
  EXPECT_EQ(0, U8ToBig(&r, b.data(), static_cast<uint32_t>(b.size())));
  if (r.length == 0) {
    r.length = 1;
  }
  return r;
}

Bn from_big(const Big &a) {
  Bytes b(QL_BIG_MAX_BYTES);
  b.resize(static_cast<size_t>(BigToU8(b.data(), &a)));
  return bn(b);
}

// The model's digests: OpenSSL for SHA-1 and SHA-256, the library's HAS-160.
Bytes digest(int id, const Bytes &in) {
  if (id == 1) {
    Bytes out(20);
    QL_HAS160(out.data(), in.data(), static_cast<uint32_t>(in.size()));
    return out;
  }
  const EVP_MD *md = id == 2 ? EVP_sha1() : EVP_sha256();
  Bytes out(static_cast<size_t>(EVP_MD_get_size(md)));
  unsigned int len = 0;
  EXPECT_EQ(1, EVP_Digest(in.data(), in.size(), out.data(), &len, md, nullptr));
  return out;
}

Bytes rightmost(const Bytes &b, size_t n) { return Bytes(b.end() - static_cast<long>(n), b.end()); }

struct Group {
  Bn p, q, g;
  size_t p_len, q_len;
  QL_KCDSA_PARAMETERS params;
};

Group load_group(const std::string &edition) {
  for (const auto &c : qltest::load_vectors("kcdsa_ttak_r4.txt")) {
    if (c.str("EDITION").find(edition) == std::string::npos) {
      continue;
    }
    Group gr{bn(c.hex("P")), bn(c.hex("Q")), bn(c.hex("G")), 0, 0, {}};
    gr.p_len = static_cast<size_t>(BN_num_bytes(gr.p.get()));
    gr.q_len = static_cast<size_t>(BN_num_bytes(gr.q.get()));
    gr.params.p = to_big(gr.p.get());
    gr.params.q = to_big(gr.q.get());
    gr.params.g = to_big(gr.g.get());
    return gr;
  }
  ADD_FAILURE() << edition;
  return Group{};
}

struct Key {
  Bn x, y;
};

// x random in [1, q - 1], y = g^(x^-1 mod q) mod p.
Key make_key(const Group &gr) {
  Key k{bn(), bn()};
  do {
    EXPECT_EQ(1, BN_rand_range(k.x.get(), gr.q.get()));
  } while (BN_is_zero(k.x.get()));
  Bn inv(BN_mod_inverse(nullptr, k.x.get(), gr.q.get(), ctx()));
  EXPECT_EQ(1, BN_mod_exp(k.y.get(), gr.g.get(), inv.get(), gr.p.get(), ctx()));
  return k;
}

// H = hash(z || M) with z = y mod 2^512 as 64 bytes.
Bytes model_hash(int id, const BIGNUM *y, const Bytes &m) {
  Bn z(BN_dup(y));
  BN_mask_bits(z.get(), 512);
  Bytes in = pad(z.get(), 64);
  in.insert(in.end(), m.begin(), m.end());
  return digest(id, in);
}

// e = (r XOR H) mod q.
Bn model_e(const Group &gr, const Bytes &r, const Bytes &h) {
  Bytes x(r.size());
  for (size_t i = 0; i < r.size(); i++) {
    x[i] = static_cast<uint8_t>(r[i] ^ h[i]);
  }
  Bn e = bn(x);
  EXPECT_EQ(1, BN_mod(e.get(), e.get(), gr.q.get(), ctx()));
  return e;
}

struct Sig {
  Bytes r;
  Bn s;
};

// The model's signature with nonce k (any value; k = 0 gives W = 1).
Sig model_sign(const Group &gr, const Key &key, int id, const Bytes &h, const BIGNUM *k) {
  Bn w = bn();
  EXPECT_EQ(1, BN_mod_exp(w.get(), gr.g.get(), k, gr.p.get(), ctx()));
  Sig sig{rightmost(digest(id, pad(w.get(), gr.p_len)), h.size()), bn()};
  Bn e = model_e(gr, sig.r, h);
  Bn d = bn();
  EXPECT_EQ(1, BN_mod_sub(d.get(), k, e.get(), gr.q.get(), ctx()));
  EXPECT_EQ(1, BN_mod_mul(sig.s.get(), key.x.get(), d.get(), gr.q.get(), ctx()));
  return sig;
}

bool model_verify(const Group &gr, const BIGNUM *y, int id, const Bytes &h, const Sig &sig) {
  if (BN_is_zero(sig.s.get()) || BN_cmp(sig.s.get(), gr.q.get()) >= 0) {
    return false;
  }
  Bn e = model_e(gr, sig.r, h);
  Bn a = bn(), b = bn(), w = bn();
  EXPECT_EQ(1, BN_mod_exp(a.get(), y, sig.s.get(), gr.p.get(), ctx()));
  EXPECT_EQ(1, BN_mod_exp(b.get(), gr.g.get(), e.get(), gr.p.get(), ctx()));
  EXPECT_EQ(1, BN_mod_mul(w.get(), a.get(), b.get(), gr.p.get(), ctx()));
  return rightmost(digest(id, pad(w.get(), gr.p_len)), h.size()) == sig.r;
}

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
