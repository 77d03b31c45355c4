// Random generators and primes, measured for honesty rather than against a target: one
// QL_RandomBytes call (it re-runs the entropy commands), module-generator bytes per second,
// Big_IsPrimeRSA on a 1024-bit prime against BN_check_prime, and strong-prime generation.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>

#include <vector>

#include "QuillonCrypto.h"

namespace {

void BM_QL_RandomBytes_20(benchmark::State &state) {
  uint8_t out[20];
  for (auto _ : state) { benchmark::DoNotOptimize(QL_RandomBytes(out, sizeof(out))); }
}

void BM_QL_CMVP_RAND_GetRandom(benchmark::State &state) {
  std::vector<uint8_t> out(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(QL_CMVP_RAND_GetRandom(out.data(), static_cast<uint32_t>(out.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// One fixed 1024-bit prime from OpenSSL, in both representations.
struct Prime1024 {
  BIGNUM *bn = BN_new();
  Big big{};
  Prime1024() {
    BN_generate_prime_ex(bn, 1024, 0, nullptr, nullptr, nullptr);
    std::vector<uint8_t> b(static_cast<size_t>(BN_num_bytes(bn)));
    BN_bn2bin(bn, b.data());
    U8ToBig(&big, b.data(), static_cast<uint32_t>(b.size()));
  }
  ~Prime1024() { BN_free(bn); }
};

void BM_Big_IsPrimeRSA_1024(benchmark::State &state) {
  const Prime1024 p;
  for (auto _ : state) { benchmark::DoNotOptimize(Big_IsPrimeRSA(&p.big)); }
}

void BM_BN_check_prime_1024(benchmark::State &state) {
  const Prime1024 p;
  BN_CTX *ctx = BN_CTX_new();
  for (auto _ : state) { benchmark::DoNotOptimize(BN_check_prime(p.bn, ctx, nullptr)); }
  BN_CTX_free(ctx);
}

void BM_Big_GeneratePrimeStrongRSA_1024(benchmark::State &state) {
  Big p{};
  for (auto _ : state) { benchmark::DoNotOptimize(Big_GeneratePrimeStrongRSA(&p, 1024)); }
}

BENCHMARK(BM_QL_RandomBytes_20)
    ->Name("rand/pool-20-bytes/ours")
    ->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_QL_CMVP_RAND_GetRandom)
    ->Name("rand/module-bytes/ours")->Arg(1000)
    ->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Big_IsPrimeRSA_1024)
    ->Name("prime/test-1024/ours")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BN_check_prime_1024)
    ->Name("prime/test-1024/openssl")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Big_GeneratePrimeStrongRSA_1024)
    ->Name("prime/strong-rsa-1024/ours")
    ->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
