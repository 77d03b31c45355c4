// Integers: modular exponentiation with full-size exponents at 1024, 2048 and 4096 bits,
// 2048-bit multiply and square. Exponentiation rows are labelled by their timing behaviour:
// Big_ModExp (sliding window, variable time, Montgomery set up per call) against
// BN_mod_exp_mont without a prepared context; Big_ModExpWindow2 with its Montgomery context
// prepared once against BN_mod_exp_mont with a prepared BN_MONT_CTX; the constant-time rows
// time BN_mod_exp_mont_consttime alone until the library exports a constant-time
// exponentiation, which then goes on our side.
#include <openssl/bn.h>

#include "QuillonCrypto.h"
#include "bench.h"

namespace bench {
namespace {

// A seeded value of `bits` bits (top bit set; odd when `odd`), big-endian.
std::vector<uint8_t> operand(int bits, bool odd, uint32_t seed) {
  std::vector<uint8_t> bytes(static_cast<size_t>(bits / 8));
  uint32_t x = seed;
  for (uint8_t &b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(x >> 24);
  }
  bytes[0] |= 0x80;
  if (odd) {
    bytes.back() |= 1;
  }
  return bytes;
}

std::shared_ptr<Big> to_big(const std::vector<uint8_t> &b) {
  auto r = hold(QL_Big_New(), QL_Big_Delete);
  if (r && U8ToBig(r.get(), b.data(), static_cast<uint32_t>(b.size())) != 0) {
    r.reset();
  }
  return r;
}

std::shared_ptr<BIGNUM> to_bn(const std::vector<uint8_t> &b) {
  return hold(BN_bin2bn(b.data(), static_cast<int>(b.size()), nullptr), BN_free);
}

// g (8 bits shorter than N), e and the odd modulus N of one exponentiation size.
struct ExpOperands {
  std::vector<uint8_t> g, e, n;
  explicit ExpOperands(int bits)
      : g(operand(bits - 8, false, 2)), e(operand(bits, false, 3)), n(operand(bits, true, 1)) {}
};

Runner modexp_ours(int bits, bool prepared) {
  const ExpOperands o(bits);
  auto g = to_big(o.g), e = to_big(o.e), n = to_big(o.n), r = to_big(o.g), rr = to_big(o.g);
  auto mont = hold(QL_MONT_CTX_New(), QL_MONT_CTX_Delete);
  if (!g || !e || !n || !r || !rr || !mont || Big_MontInit(mont.get(), rr.get(), n.get()) != 0) {
    return {};
  }
  return [g, e, n, r, rr, mont, prepared](uint64_t count) {
    for (uint64_t i = 0; i < count; i++) {
      const int32_t s =
          prepared ? Big_ModExpWindow2(r.get(), g.get(), e.get(), n.get(), mont.get(), rr.get())
                   : Big_ModExp(r.get(), g.get(), e.get(), n.get());
      if (s != 0) {
        return false;
      }
    }
    return true;
  };
}

// kind 0: BN_mod_exp_mont, Montgomery set up per call; 1: the same with a prepared
// BN_MONT_CTX; 2: BN_mod_exp_mont_consttime with a prepared BN_MONT_CTX.
Runner modexp_openssl(int bits, int kind) {
  const ExpOperands o(bits);
  auto g = to_bn(o.g), e = to_bn(o.e), n = to_bn(o.n), r = hold(BN_new(), BN_free);
  auto ctx = hold(BN_CTX_new(), BN_CTX_free);
  auto mont = hold(BN_MONT_CTX_new(), BN_MONT_CTX_free);
  if (!g || !e || !n || !r || !ctx || !mont ||
      BN_MONT_CTX_set(mont.get(), n.get(), ctx.get()) != 1) {
    return {};
  }
  return [g, e, n, r, ctx, mont, kind](uint64_t count) {
    for (uint64_t i = 0; i < count; i++) {
      const int ok = kind == 2 ? BN_mod_exp_mont_consttime(r.get(), g.get(), e.get(), n.get(),
                                                           ctx.get(), mont.get())
                               : BN_mod_exp_mont(r.get(), g.get(), e.get(), n.get(), ctx.get(),
                                                 kind == 1 ? mont.get() : nullptr);
      if (ok != 1) {
        return false;
      }
    }
    return true;
  };
}

Runner mul_ours(bool square) {
  auto a = to_big(operand(2048, false, 4)), b = to_big(operand(2048, false, 5));
  auto r = to_big(operand(2048, false, 4));
  if (!a || !b || !r) {
    return {};
  }
  return [a, b, r, square](uint64_t count) {
    for (uint64_t i = 0; i < count; i++) {
      const int32_t s = square ? Big_Sqr(r.get(), a.get()) : Big_Mul(r.get(), a.get(), b.get());
      if (s != 0) {
        return false;
      }
    }
    return true;
  };
}

Runner mul_openssl(bool square) {
  auto a = to_bn(operand(2048, false, 4)), b = to_bn(operand(2048, false, 5));
  auto r = hold(BN_new(), BN_free);
  auto ctx = hold(BN_CTX_new(), BN_CTX_free);
  if (!a || !b || !r || !ctx) {
    return {};
  }
  return [a, b, r, ctx, square](uint64_t count) {
    for (uint64_t i = 0; i < count; i++) {
      const int ok = square ? BN_sqr(r.get(), a.get(), ctx.get())
                            : BN_mul(r.get(), a.get(), b.get(), ctx.get());
      if (ok != 1) {
        return false;
      }
    }
    return true;
  };
}

}  // namespace

void add_big_rows(std::vector<Row> &rows) {
  for (int bits : {1024, 2048, 4096}) {
    const std::string base = "big/modexp-" + std::to_string(bits) + "/";
    rows.push_back({base + "vartime", Clock::kCpu, 0, "BN_mod_exp_mont(no-mont-ctx)",
                    [bits] { return modexp_ours(bits, false); },
                    [bits] { return modexp_openssl(bits, 0); }});
    rows.push_back({base + "vartime-prepared", Clock::kCpu, 0, "BN_mod_exp_mont(mont-ctx)",
                    [bits] { return modexp_ours(bits, true); },
                    [bits] { return modexp_openssl(bits, 1); }});
    rows.push_back({base + "consttime-prepared", Clock::kCpu, 0,
                    "BN_mod_exp_mont_consttime(mont-ctx);ours:none-exported", nullptr,
                    [bits] { return modexp_openssl(bits, 2); }});
  }
  rows.push_back({"big/mul-2048", Clock::kCpu, 0, "BN_mul", [] { return mul_ours(false); },
                  [] { return mul_openssl(false); }});
  rows.push_back({"big/sqr-2048", Clock::kCpu, 0, "BN_sqr", [] { return mul_ours(true); },
                  [] { return mul_openssl(true); }});
}

}  // namespace bench
