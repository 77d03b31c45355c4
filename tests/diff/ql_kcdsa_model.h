// An independent model of KCDSA on OpenSSL's BIGNUMs and digests (HAS-160, which OpenSSL
// lacks, from the library's digest, checked by its own vectors): the published groups, keys,
// the z-prefixed message hash, signing and verification, shared by the differential tests.
#ifndef QL_KCDSA_MODEL_H
#define QL_KCDSA_MODEL_H

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/evp.h>

#include <memory>
#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_vectors.h"

namespace qltest {
namespace kcdsa_model {

using Bytes = std::vector<uint8_t>;

struct BnFree {
  void operator()(BIGNUM *b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

inline Bn bn() { return Bn(BN_new()); }
inline Bn bn(const Bytes &b) {
  return Bn(BN_bin2bn(b.data(), static_cast<int>(b.size()), nullptr));
}

inline BN_CTX *ctx() {
  static BN_CTX *c = BN_CTX_new();
  return c;
}

inline Bytes pad(const BIGNUM *a, size_t n) {
  Bytes out(n);
  EXPECT_EQ(static_cast<int>(n), BN_bn2binpad(a, out.data(), static_cast<int>(n)));
  return out;
}

inline Big to_big(const BIGNUM *a) {
  Bytes b = pad(a, static_cast<size_t>(BN_num_bytes(a)) + 1);
  Big r{};
  EXPECT_EQ(0, U8ToBig(&r, b.data(), static_cast<uint32_t>(b.size())));
  if (r.length == 0) {
    r.length = 1;
  }
  return r;
}

inline Bn from_big(const Big &a) {
  Bytes b(QL_BIG_MAX_BYTES);
  b.resize(static_cast<size_t>(BigToU8(b.data(), &a)));
  return bn(b);
}

// The model's digests: OpenSSL for SHA-1 and SHA-256, the library's HAS-160.
inline Bytes digest(int id, const Bytes &in) {
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

inline Bytes rightmost(const Bytes &b, size_t n) {
  return Bytes(b.end() - static_cast<long>(n), b.end());
}

struct Group {
  Bn p, q, g;
  size_t p_len, q_len;
  QL_KCDSA_PARAMETERS params;
};

inline Group load_group(const std::string &edition) {
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
inline Key make_key(const Group &gr) {
  Key k{bn(), bn()};
  do {
    EXPECT_EQ(1, BN_rand_range(k.x.get(), gr.q.get()));
  } while (BN_is_zero(k.x.get()));
  Bn inv(BN_mod_inverse(nullptr, k.x.get(), gr.q.get(), ctx()));
  EXPECT_EQ(1, BN_mod_exp(k.y.get(), gr.g.get(), inv.get(), gr.p.get(), ctx()));
  return k;
}

// H = hash(z || M) with z = y mod 2^512 as 64 bytes.
inline Bytes model_hash(int id, const BIGNUM *y, const Bytes &m) {
  Bn z(BN_dup(y));
  BN_mask_bits(z.get(), 512);
  Bytes in = pad(z.get(), 64);
  in.insert(in.end(), m.begin(), m.end());
  return digest(id, in);
}

// e = (r XOR H) mod q.
inline Bn model_e(const Group &gr, const Bytes &r, const Bytes &h) {
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
inline Sig model_sign(const Group &gr, const Key &key, int id, const Bytes &h, const BIGNUM *k) {
  Bn w = bn();
  EXPECT_EQ(1, BN_mod_exp(w.get(), gr.g.get(), k, gr.p.get(), ctx()));
  Sig sig{rightmost(digest(id, pad(w.get(), gr.p_len)), h.size()), bn()};
  Bn e = model_e(gr, sig.r, h);
  Bn d = bn();
  EXPECT_EQ(1, BN_mod_sub(d.get(), k, e.get(), gr.q.get(), ctx()));
  EXPECT_EQ(1, BN_mod_mul(sig.s.get(), key.x.get(), d.get(), gr.q.get(), ctx()));
  return sig;
}

inline bool model_verify(const Group &gr, const BIGNUM *y, int id, const Bytes &h, const Sig &sig) {
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

}  // namespace kcdsa_model
}  // namespace qltest

#endif  // QL_KCDSA_MODEL_H
