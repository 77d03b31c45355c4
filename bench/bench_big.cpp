// Big_ModExp against OpenSSL's BN_mod_exp_mont and BN_mod_exp_mont_consttime with full-size
// exponents, and 64-word Big_Mul/Big_Sqr against BN_mul/BN_sqr, in one process.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>

#include <cstring>
#include <vector>

#include "QuillonCrypto.h"

namespace {

// A seeded random value of `bits` bits (top bit set; odd when `odd`), as a BIGNUM and a Big.
struct Operand {
  BIGNUM *bn;
  Big big;
};

Operand make_operand(int bits, bool odd, uint32_t seed) {
  std::vector<uint8_t> bytes(static_cast<size_t>(bits / 8));
  uint32_t x = seed;
  for (uint8_t &b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(x >> 24);
  }
  bytes[0] |= 0x80;
  if (odd) { bytes.back() |= 1; }
  Operand o{BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr), Big{}};
  U8ToBig(&o.big, bytes.data(), static_cast<uint32_t>(bytes.size()));
  return o;
}

void BM_Big_ModExp(benchmark::State &state) {
  const int bits = static_cast<int>(state.range(0));
  Operand n = make_operand(bits, true, 1);
  Operand g = make_operand(bits - 8, false, 2);
  Operand e = make_operand(bits, false, 3);
  Big r;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Big_ModExp(&r, &g.big, &e.big, &n.big));
  }
  BN_free(n.bn);
  BN_free(g.bn);
  BN_free(e.bn);
}

template <bool kConstTime>
void BM_BN_ModExpMont(benchmark::State &state) {
  const int bits = static_cast<int>(state.range(0));
  Operand n = make_operand(bits, true, 1);
  Operand g = make_operand(bits - 8, false, 2);
  Operand e = make_operand(bits, false, 3);
  BN_CTX *ctx = BN_CTX_new();
  BN_MONT_CTX *mont = BN_MONT_CTX_new();
  BN_MONT_CTX_set(mont, n.bn, ctx);
  BIGNUM *r = BN_new();
  for (auto _ : state) {
    // The Montgomery context is prepared once, as RSA keys cache it.
    if (kConstTime) {
      benchmark::DoNotOptimize(BN_mod_exp_mont_consttime(r, g.bn, e.bn, n.bn, ctx, mont));
    } else {
      benchmark::DoNotOptimize(BN_mod_exp_mont(r, g.bn, e.bn, n.bn, ctx, mont));
    }
  }
  BN_free(r);
  BN_MONT_CTX_free(mont);
  BN_CTX_free(ctx);
  BN_free(n.bn);
  BN_free(g.bn);
  BN_free(e.bn);
}

void BM_Big_Mul64(benchmark::State &state) {
  Operand a = make_operand(2048, false, 4);
  Operand b = make_operand(2048, false, 5);
  Big r;
  for (auto _ : state) { benchmark::DoNotOptimize(Big_Mul(&r, &a.big, &b.big)); }
  BN_free(a.bn);
  BN_free(b.bn);
}

void BM_BN_Mul64(benchmark::State &state) {
  Operand a = make_operand(2048, false, 4);
  Operand b = make_operand(2048, false, 5);
  BN_CTX *ctx = BN_CTX_new();
  BIGNUM *r = BN_new();
  for (auto _ : state) { benchmark::DoNotOptimize(BN_mul(r, a.bn, b.bn, ctx)); }
  BN_free(r);
  BN_CTX_free(ctx);
  BN_free(a.bn);
  BN_free(b.bn);
}

void BM_Big_Sqr64(benchmark::State &state) {
  Operand a = make_operand(2048, false, 4);
  Big r;
  for (auto _ : state) { benchmark::DoNotOptimize(Big_Sqr(&r, &a.big)); }
  BN_free(a.bn);
}

void BM_BN_Sqr64(benchmark::State &state) {
  Operand a = make_operand(2048, false, 4);
  BN_CTX *ctx = BN_CTX_new();
  BIGNUM *r = BN_new();
  for (auto _ : state) { benchmark::DoNotOptimize(BN_sqr(r, a.bn, ctx)); }
  BN_free(r);
  BN_CTX_free(ctx);
  BN_free(a.bn);
}

// Named for the runner's table: the constant-time OpenSSL exponentiation is the peer, the
// variable-time one a second row.
BENCHMARK(BM_Big_ModExp)->Name("big/modexp/ours")->Arg(1024)->Arg(2048)->Arg(4096)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BN_ModExpMont<true>)->Name("big/modexp/openssl")->Arg(1024)->Arg(2048)->Arg(4096)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BN_ModExpMont<false>)->Name("big/modexp/openssl-vartime")->Arg(1024)->Arg(2048)
    ->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Big_Mul64)->Name("big/mul-2048/ours");
BENCHMARK(BM_BN_Mul64)->Name("big/mul-2048/openssl");
BENCHMARK(BM_Big_Sqr64)->Name("big/sqr-2048/ours");
BENCHMARK(BM_BN_Sqr64)->Name("big/sqr-2048/openssl");

}  // namespace
