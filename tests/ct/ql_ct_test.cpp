// Constant-time checks, run under valgrind memcheck: the secrets of each case are marked
// undefined (QL_CT_SECRET), so any branch or memory index that depends on them is reported
// and fails the run. The units under test are compiled into this program with QL_CT_CHECK,
// which makes their own QL_CT_PUBLIC declarations (lengths, released results) effective.
// The Canary suite shows the check is live: it leaks on purpose and must fail.
#include "internal/ql_ct.h"

#include <gtest/gtest.h>

#include <vector>

#include "QuillonCrypto.h"
#include "pk/ql_rsa.h"
#include "ql_vectors.h"

namespace {

Big from_bytes(const std::vector<uint8_t> &b) {
  Big r{};
  EXPECT_EQ(U8ToBig(&r, b.data(), static_cast<uint32_t>(b.size())), 0);
  return r;
}

void mark_secret(Big &x) { QL_CT_SECRET(x.words, sizeof(x.words)); }

// The first example of each listed modulus size: key, ciphertext and the encoded message.
struct Case {
  QL_RSA_PRIVATE_KEY key;
  Big ct;
  Big em;
};

std::vector<Case> cases() {
  std::vector<Case> out;
  uint64_t last_bits = 0;
  for (const auto &c : qltest::load_vectors("rsa_pkcs1v15_encrypt_rsalabs.txt")) {
    const uint64_t bits = c.num("MODBITS");
    if (bits == last_bits || (bits != 1024 && bits != 1031 && bits != 2048)) { continue; }
    last_bits = bits;
    Case x{};
    x.key.n = from_bytes(c.hex("N"));
    x.key.e = from_bytes(c.hex("E"));
    x.key.d = from_bytes(c.hex("D"));
    x.key.p = from_bytes(c.hex("P"));
    x.key.q = from_bytes(c.hex("Q"));
    x.key.dP = from_bytes(c.hex("DP"));
    x.key.dQ = from_bytes(c.hex("DQ"));
    x.key.qInv = from_bytes(c.hex("QINV"));
    x.ct = from_bytes(c.hex("CT"));
    std::vector<uint8_t> em = {0x00, 0x02};
    for (const auto &part : {c.hex("SEED"), std::vector<uint8_t>{0}, c.hex("MSG")}) {
      em.insert(em.end(), part.begin(), part.end());
    }
    x.em = from_bytes(em);
    out.push_back(x);
  }
  return out;
}

TEST(CtRsa, PrivateOperationWithSecretKey) {
  const auto all = cases();
  ASSERT_EQ(all.size(), 3u);
  Big blind{};
  for (int i = 0; i < 64; i++) { blind.words[i] = 0x6A09E667u * static_cast<uint32_t>(i + 1); }
  blind.length = 64;
  for (const Case &c : all) {
    for (const bool crt : {true, false}) {
      QL_RSA_PRIVATE_KEY key = c.key;
      if (!crt) {
        key.dP = Big{};
        key.dQ = Big{};
        key.qInv = Big{};
      }
      for (Big *secret : {&key.d, &key.p, &key.q, &key.dP, &key.dQ, &key.qInv}) {
        mark_secret(*secret);
      }
      Big out{};
      ASSERT_EQ(ql::rsa_private_exp(out, c.ct, key, &blind), 0);
      EXPECT_EQ(Big_UComp(&out, &c.em), 0);
    }
  }
}

// A sliding-window exponentiation branches on its exponent's bits: memcheck must see it.
TEST(CtCanary, VariableTimeExponentiationIsReported) {
  const auto all = cases();
  ASSERT_FALSE(all.empty());
  Big d = all[0].key.d;
  mark_secret(d);
  Big out{};
  EXPECT_EQ(Big_ModExp(&out, &all[0].ct, &d, &all[0].key.n), 0);
}

}  // namespace
