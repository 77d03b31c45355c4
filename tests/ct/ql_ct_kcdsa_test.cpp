// Constant-time checks of KCDSA: signing with the private key x and the nonce k marked
// secret, and the pair-wise proof (x^-1 mod q and y = g^(x^-1)) with x secret, on the
// published 1024/160 and 2048/256 samples; the results must still be the published ones.
#include <gtest/gtest.h>

#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_ct.h"
#include "pk/ql_kcdsa.h"
#include "ql_vectors.h"

namespace {

Big from_bytes(const std::vector<uint8_t> &b) {
  Big r{};
  EXPECT_EQ(U8ToBig(&r, b.data(), static_cast<uint32_t>(b.size())), 0);
  return r;
}

TEST(CtKcdsa, SignAndProveWithSecretKeyAndNonce) {
  int checked = 0;
  for (const auto &c : qltest::load_vectors("kcdsa_ttak_r4.txt")) {
    const std::string hash = c.str("HASH");
    const int32_t digest = hash == "HAS-160" ? 1 : 3;
    if (c.num("ALPHA") > 2048 || (hash != "HAS-160" && c.num("BETA") != 256)) {
      continue;
    }
    QL_KCDSA_PARAMETERS params{};
    params.p = from_bytes(c.hex("P"));
    params.q = from_bytes(c.hex("Q"));
    params.g = from_bytes(c.hex("G"));
    const Big y = from_bytes(c.hex("Y"));
    Big x = from_bytes(c.hex("X"));
    Big k = from_bytes(c.hex("K"));
    const std::vector<uint8_t> m = c.hex("M");
    uint8_t h[32];
    uint32_t h_len = 0;
    ASSERT_EQ(0, QL_KCDSA_Hash(h, &h_len, m.data(), static_cast<uint32_t>(m.size()), digest, &y));
    QL_CT_SECRET(x.words, sizeof(x.words));
    QL_CT_SECRET(k.words, sizeof(k.words));
    ql::test::kcdsa_use_nonce(&k);
    QL_KCDSA_SIGNATURE sig{};
    ASSERT_EQ(0, QL_KCDSA_Sign(&sig, digest, h, h_len, &x, &params));
    const Big r = from_bytes(c.hex("R"));
    const Big s = from_bytes(c.hex("S"));
    EXPECT_EQ(0, Big_UComp(&sig.r, &r));
    EXPECT_EQ(0, Big_UComp(&sig.s, &s));
    EXPECT_EQ(0, QL_KCDSA_ProveKeyPair(&x, &y, &params));
    checked++;
  }
  EXPECT_EQ(2, checked);
}

}  // namespace
