// The published PKCS #1 v1.5 encryption examples (tests/vectors/rsa_pkcs1v15_encrypt_rsalabs.txt)
// as RSA key records with their raw operands: CT = EM^e mod n for EM = 00 02 PS 00 M.
#ifndef QL_TEST_RSA_EXAMPLES_H
#define QL_TEST_RSA_EXAMPLES_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_vectors.h"

namespace qltest {

// A big-endian byte string as a Big (zero has length 1).
inline Big big_from_bytes(const std::vector<uint8_t> &b) {
  Big r{};
  if (!b.empty()) { EXPECT_EQ(U8ToBig(&r, b.data(), static_cast<uint32_t>(b.size())), 0); }
  if (r.length == 0) { r.length = 1; }
  return r;
}

struct RsaExample {
  QL_RSA_PRIVATE_KEY key;
  Big em;  // 00 02 PS 00 M
  Big ct;
  uint64_t bits;
  std::string where;
};

inline std::vector<RsaExample> rsa_examples() {
  std::vector<RsaExample> out;
  for (const auto &c : load_vectors("rsa_pkcs1v15_encrypt_rsalabs.txt")) {
    RsaExample x{};
    const char *const fields[] = {"N", "E", "D", "P", "Q", "DP", "DQ", "QINV"};
    Big *const values[] = {&x.key.n, &x.key.e,  &x.key.d,  &x.key.p,
                           &x.key.q, &x.key.dP, &x.key.dQ, &x.key.qInv};
    for (int i = 0; i < 8; i++) { *values[i] = big_from_bytes(c.hex(fields[i])); }
    std::vector<uint8_t> em = {0x00, 0x02};
    for (const auto &part : {c.hex("SEED"), std::vector<uint8_t>{0}, c.hex("MSG")}) {
      em.insert(em.end(), part.begin(), part.end());
    }
    x.em = big_from_bytes(em);
    x.ct = big_from_bytes(c.hex("CT"));
    x.bits = c.num("MODBITS");
    x.where = c.where() + " example " + c.str("EXAMPLE");
    c.expect_all_consumed();
    out.push_back(x);
  }
  return out;
}

}  // namespace qltest

#endif  // QL_TEST_RSA_EXAMPLES_H
