// The integer arithmetic on arbitrary operands against OpenSSL's BIGNUM: the input picks an
// operation, signs and the bytes of up to three operands. Invariant: the same status class and
// the same value as BIGNUM computes (magnitudes and signs as each function defines them).
#include <openssl/bn.h>

#include <cstring>
#include <memory>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_fuzz.h"

namespace {

struct BnFree {
  void operator()(BIGNUM *b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;
struct CtxFree {
  void operator()(BN_CTX *c) const { BN_CTX_free(c); }
};

Bn to_bn(const Big &a) {
  std::vector<uint8_t> bytes(1028);
  const int n = BigToU8(bytes.data(), &a);
  Bn b(BN_bin2bn(bytes.data(), n, nullptr));
  BN_set_negative(b.get(), a.sign != 0 && n > 0);
  return b;
}

// An operand of at most `max_len` bytes with a sign from the input.
Big operand(ql_fuzz::Reader &r, uint32_t max_len, bool allow_negative) {
  const uint32_t len = r.u16() % (max_len + 1);
  std::vector<uint8_t> bytes(len + 1);
  r.bytes(bytes.data(), len);
  Big b{};
  b.length = 1;
  if (len > 0) { QL_FUZZ_CHECK(U8ToBig(&b, bytes.data(), len) == 0); }
  if (b.length == 0) { b.length = 1; }
  const bool nonzero = b.length > 1 || b.words[0] != 0;
  b.sign = allow_negative && nonzero && (r.byte() & 1) ? 1 : 0;
  return b;
}

void expect_equal(const Big &got, const BIGNUM *want) {
  const Bn g = to_bn(got);
  QL_FUZZ_CHECK(BN_cmp(g.get(), want) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  ql_fuzz::Reader r(data, size);
  const uint8_t op = r.byte() % 8;
  std::unique_ptr<BN_CTX, CtxFree> ctx(BN_CTX_new());
  Big a = operand(r, 512, true);
  Big b = operand(r, 512, true);
  const Bn x = to_bn(a), y = to_bn(b);
  Bn want(BN_new());
  Big out{};
  switch (op) {
    case 0:
      QL_FUZZ_CHECK(Big_Add(&out, &a, &b) == 0);
      BN_add(want.get(), x.get(), y.get());
      break;
    case 1:
      QL_FUZZ_CHECK(Big_Sub(&out, &a, &b) == 0);
      BN_sub(want.get(), x.get(), y.get());
      break;
    case 2:
      QL_FUZZ_CHECK(Big_Mul(&out, &a, &b) == 0);
      BN_mul(want.get(), x.get(), y.get(), ctx.get());
      break;
    case 3:
      QL_FUZZ_CHECK(Big_Sqr(&out, &a) == 0);
      BN_sqr(want.get(), x.get(), ctx.get());
      break;
    case 4: {
      // Magnitudes: |a| = q |b| + rem, the quotient signed a.sign XOR b.sign.
      Big q{};
      const int32_t st = Big_Div(&q, &out, &a, &b);
      if (BN_is_zero(y.get())) {
        QL_FUZZ_CHECK(st == -2007);
        return 0;
      }
      QL_FUZZ_CHECK(st == 0);
      Bn ax(BN_dup(x.get())), ay(BN_dup(y.get())), wq(BN_new());
      BN_set_negative(ax.get(), 0);
      BN_set_negative(ay.get(), 0);
      BN_div(wq.get(), want.get(), ax.get(), ay.get(), ctx.get());
      BN_set_negative(wq.get(), (a.sign ^ b.sign) != 0 && !BN_is_zero(wq.get()));
      expect_equal(q, wq.get());
      break;
    }
    case 5: {
      const int32_t st = Big_Mod(&out, &a, &b);
      if (BN_is_zero(y.get())) {
        QL_FUZZ_CHECK(st == -2007);
        return 0;
      }
      if (b.sign != 0) { return 0; }  // the modulus must be positive
      QL_FUZZ_CHECK(st == 0);
      BN_nnmod(want.get(), x.get(), y.get(), ctx.get());
      break;
    }
    case 6: {
      // Shifts keep a's sign on the magnitude.
      const uint32_t n = r.u16() % 2048;
      const bool left = r.byte() & 1;
      Bn ax(BN_dup(x.get()));
      BN_set_negative(ax.get(), 0);
      if (left) {
        QL_FUZZ_CHECK(Big_LShift(&out, &a, n) == 0);
        BN_lshift(want.get(), ax.get(), static_cast<int>(n));
      } else {
        QL_FUZZ_CHECK(Big_RShift(&out, &a, n) == 0);
        BN_rshift(want.get(), ax.get(), static_cast<int>(n));
      }
      BN_set_negative(want.get(), a.sign != 0 && !BN_is_zero(want.get()));
      break;
    }
    default: {
      // g^e mod N for an odd N of at most 128 words and non-negative g and e.
      Big m = operand(r, 256, false);
      m.words[0] |= 1;
      a.sign = 0;
      b.sign = 0;
      // Moduli of up to 2048 bits and exponents of up to 256 bits keep an execution short.
      if (b.length > 8) { b.length = 8; }
      while (b.length > 1 && b.words[b.length - 1] == 0) { b.length--; }
      const Bn g = to_bn(a), e = to_bn(b), mod = to_bn(m);
      QL_FUZZ_CHECK(Big_ModExp(&out, &a, &b, &m) == 0);
      BN_mod_exp(want.get(), g.get(), e.get(), mod.get(), ctx.get());
      break;
    }
  }
  expect_equal(out, want.get());
  return 0;
}
