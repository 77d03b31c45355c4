// OpenSSL BIGNUM helpers of the differential tests: owning pointers, conversion to and from
// Big, and a check that a Big is in normal form and equals a BIGNUM.
#ifndef QL_OPENSSL_BN_H
#define QL_OPENSSL_BN_H

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <memory>
#include <string>
#include <vector>

#include "QuillonCrypto.h"

namespace qltest {

struct BnDel {
  void operator()(BIGNUM *b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnDel>;
inline Bn bn() { return Bn(BN_new()); }

inline Bn to_bn(const Big &a) {
  std::vector<uint8_t> le(4 * QL_BIG_WORDS, 0);
  for (int i = 0; i < a.length; i++) {
    for (int k = 0; k < 4; k++) {
      le[4 * i + k] = static_cast<uint8_t>(a.words[i] >> (8 * k));
    }
  }
  return Bn(BN_lebin2bn(le.data(), static_cast<int>(le.size()), nullptr));
}

inline Big from_bn(const BIGNUM *b) {
  Big r{};
  std::vector<uint8_t> le(4 * QL_BIG_WORDS, 0);
  BN_bn2lebinpad(b, le.data(), static_cast<int>(le.size()));
  int n = 1;
  for (int i = 0; i < QL_BIG_WORDS; i++) {
    uint32_t w = 0;
    for (int k = 3; k >= 0; k--) {
      w = (w << 8) | le[4 * i + k];
    }
    r.words[i] = w;
    if (w != 0) {
      n = i + 1;
    }
  }
  r.length = n;
  return r;
}

inline std::string hex(const BIGNUM *b) {
  char *s = BN_bn2hex(b);
  std::string out(s);
  OPENSSL_free(s);
  return out;
}

inline ::testing::AssertionResult Holds(const Big &r, const BIGNUM *want) {
  if (r.length < 1 || (r.length > 1 && r.words[r.length - 1] == 0) || r.sign != 0) {
    return ::testing::AssertionFailure() << "not in normal form, length " << r.length;
  }
  Bn got = to_bn(r);
  if (BN_cmp(got.get(), want) != 0) {
    return ::testing::AssertionFailure() << "got " << hex(got.get()) << " want " << hex(want);
  }
  return ::testing::AssertionSuccess();
}

}  // namespace qltest

#endif  // QL_OPENSSL_BN_H
