// Constant-time check of the secret-scalar multiplications on P-224 and P-256: the scalar is
// marked undefined, the results are released (QL_CT_PUBLIC) and compared with the variable-time
// multiplication of the public scalar.
#include <gtest/gtest.h>

#include "QuillonCrypto.h"
#include "internal/ql_ct.h"
#include "pk/ql_ecc.h"

namespace {

Big scalar(uint32_t seed, int words) {
  Big k{};
  for (int i = 0; i < words; i++) {
    k.words[i] = 0x9E3779B9u * (seed + static_cast<uint32_t>(i));
  }
  k.words[words - 1] >>= 1;  // below n
  k.length = words;
  return k;
}

TEST(CtEcc, SecretScalarMultiplications) {
  for (uint32_t bits : {224u, 256u}) {
    QL_ECDSA_PARAMETERS c;
    ASSERT_EQ(0, QL_ECDSA_InitParameters(&c, bits));
    const Big two = [] {
      Big t{};
      t.length = 1;
      t.words[0] = 2;
      return t;
    }();
    BigPoint g2;
    ASSERT_EQ(0, BigPoint_Mul_NAFSlidingWindow(&c, &g2, &two, &c.G));
    for (uint32_t seed = 1; seed < 4; seed++) {
      const Big k = scalar(seed, static_cast<int>(bits / 32));
      BigPoint want_g, want_p;
      ASSERT_EQ(0, BigPoint_Mul_SignedMary(&c, &want_g, &k, &c.G));
      ASSERT_EQ(0, BigPoint_Mul_SignedMary(&c, &want_p, &k, &g2));
      Big secret = k;
      QL_CT_SECRET(secret.words, sizeof(secret.words));
      BigPoint r;
      ASSERT_EQ(0, ql::ecc_mul_base_secret(c, r, secret));
      QL_CT_PUBLIC(&r, sizeof(r));
      EXPECT_EQ(0, QL_ECDSA_BIGPOINT_Comp(&r, &want_g)) << bits;
      ASSERT_EQ(0, c.point_mul(&c, &r, &secret, &c.G));  // the slot, for key pairs
      QL_CT_PUBLIC(&r, sizeof(r));
      EXPECT_EQ(0, QL_ECDSA_BIGPOINT_Comp(&r, &want_g)) << bits;
      ASSERT_EQ(0, ql::ecc_mul_secret(c, r, secret, g2));
      QL_CT_PUBLIC(&r, sizeof(r));
      EXPECT_EQ(0, QL_ECDSA_BIGPOINT_Comp(&r, &want_p)) << bits;
    }
  }
}

}  // namespace
