#include "ql_x962_model.h"

#include <cstring>
#include <memory>

#include "ql_openssl_sha.h"

namespace qltest {
namespace {

// b-byte big-endian a = a + c + carry_in, modulo 2^(8b); c right-aligned.
void add_mod(std::vector<uint8_t> &a, const std::vector<uint8_t> &c, unsigned carry) {
  for (size_t i = 0; i < a.size(); i++) {
    const size_t ai = a.size() - 1 - i;
    const unsigned cv = i < c.size() ? c[c.size() - 1 - i] : 0;
    carry += a[ai] + cv;
    a[ai] = static_cast<uint8_t>(carry);
    carry >>= 8;
  }
}

}  // namespace

// G is one SHA-1 block function call on XVAL zero-padded to 64 bytes, from the standard
// initial value.
BIGNUM *x962_next(const BIGNUM *q, std::vector<uint8_t> &xkey, const std::vector<uint8_t> &xseed,
                  bool has_seed) {
  const int m = (BN_num_bits(q) + 159) / 160;
  std::vector<uint8_t> w;
  for (int j = 0; j < m; j++) {
    std::vector<uint8_t> xval = xkey;
    if (j == 0 && has_seed) {
      add_mod(xval, xseed, 0);
    }
    uint8_t block[64] = {0};
    std::memcpy(block, xval.data(), xval.size());
    uint32_t h[5];
    openssl_sha1_state_after_block(block, h);
    std::vector<uint8_t> x(20);
    for (int i = 0; i < 5; i++) {
      for (int k = 0; k < 4; k++) {
        x[4 * i + k] = static_cast<uint8_t>(h[i] >> (24 - 8 * k));
      }
    }
    add_mod(xkey, x, 1);
    w.insert(w.end(), x.begin(), x.end());
  }
  std::unique_ptr<BIGNUM, decltype(&BN_free)> qm1(BN_dup(q), BN_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> wn(
      BN_bin2bn(w.data(), static_cast<int>(w.size()), nullptr), BN_free);
  BN_sub_word(qm1.get(), 1);
  BIGNUM *r = BN_new();
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
  BN_mod(r, wn.get(), qm1.get(), ctx.get());
  BN_add_word(r, 1);
  return r;
}

}  // namespace qltest
