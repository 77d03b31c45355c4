// Digests and HMAC, ours against OpenSSL's in one process, at 64, 1024 and 16384 bytes.
// OpenSSL's SIMD and SHA-extension code can be masked for a like-for-like comparison with
// portable code by running with OPENSSL_ia32cap='~0x1200020200000000:~0x20290128'. The runner
// (bench_main.cpp) compares "digest/sha256/module" (the module service) with our dispatcher.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <string>
#include <vector>

#include "QuillonCrypto.h"

namespace {

constexpr int64_t kLarge = 16384;

std::vector<uint8_t> message(int64_t n) {
  std::vector<uint8_t> m(static_cast<size_t>(n));
  for (size_t i = 0; i < m.size(); i++) { m[i] = static_cast<uint8_t>(i * 131 + 7); }
  return m;
}

void report_bytes(benchmark::State &state) {
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void ours_digest(benchmark::State &state, int32_t hash_id) {
  const std::vector<uint8_t> m = message(state.range(0));
  uint8_t out[64];
  uint32_t out_len = 0;
  for (auto _ : state) {
    QL_Hash(out, &out_len, m.data(), static_cast<uint32_t>(m.size()), hash_id);
    benchmark::DoNotOptimize(out);
  }
  report_bytes(state);
}

void openssl_digest(benchmark::State &state, const char *name) {
  const std::vector<uint8_t> m = message(state.range(0));
  EVP_MD *md = EVP_MD_fetch(nullptr, name, nullptr);
  EVP_MD_CTX *ctx = EVP_MD_CTX_new();
  uint8_t out[64];
  unsigned int out_len = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex(ctx, md, nullptr);
    EVP_DigestUpdate(ctx, m.data(), m.size());
    EVP_DigestFinal_ex(ctx, out, &out_len);
    benchmark::DoNotOptimize(out);
  }
  EVP_MD_CTX_free(ctx);
  EVP_MD_free(md);
  report_bytes(state);
}

void ours_hmac(benchmark::State &state, int32_t mac_id) {
  const std::vector<uint8_t> m = message(state.range(0));
  const std::vector<uint8_t> key = message(32);
  uint8_t out[64];
  uint32_t out_len = 0;
  for (auto _ : state) {
    QL_HMAC(out, &out_len, m.data(), static_cast<uint32_t>(m.size()), key.data(),
            static_cast<uint32_t>(key.size()), mac_id);
    benchmark::DoNotOptimize(out);
  }
  report_bytes(state);
}

void openssl_hmac(benchmark::State &state) {
  const std::vector<uint8_t> m = message(state.range(0));
  const std::vector<uint8_t> key = message(32);
  uint8_t out[64];
  unsigned int out_len = 0;
  for (auto _ : state) {
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), m.data(), m.size(), out,
         &out_len);
    benchmark::DoNotOptimize(out);
  }
  report_bytes(state);
}

void module_digest(benchmark::State &state, int32_t hash_id) {
  const std::vector<uint8_t> m = message(state.range(0));
  uint8_t out[64];
  uint32_t out_len = 0;
  for (auto _ : state) {
    QLC_Hash(out, &out_len, m.data(), static_cast<uint32_t>(m.size()), hash_id);
    benchmark::DoNotOptimize(out);
  }
  report_bytes(state);
}

struct Pair {
  const char *label;
  int32_t hash_id;
  const char *openssl_name;
};
constexpr Pair pairs[] = {{"sha1", QL_HASH_SHA1, "SHA1"},
                          {"sha256", QL_HASH_SHA256, "SHA256"},
                          {"sha384", QL_HASH_SHA384, "SHA384"},
                          {"sha512", QL_HASH_SHA512, "SHA512"}};

int register_all() {
  for (const Pair &p : pairs) {
    benchmark::RegisterBenchmark((std::string("digest/") + p.label + "/ours").c_str(), ours_digest,
                                 p.hash_id)
        ->Arg(64)
        ->Arg(1024)
        ->Arg(kLarge);
    benchmark::RegisterBenchmark((std::string("digest/") + p.label + "/openssl").c_str(),
                                 openssl_digest, p.openssl_name)
        ->Arg(64)
        ->Arg(1024)
        ->Arg(kLarge);
  }
  benchmark::RegisterBenchmark("digest/has160/ours", ours_digest, QL_HASH_HAS160)
      ->Arg(64)
      ->Arg(1024)
      ->Arg(kLarge);
  benchmark::RegisterBenchmark("hmac/sha256/ours", ours_hmac, QL_HMAC_SHA256)
      ->Arg(64)
      ->Arg(1024)
      ->Arg(kLarge);
  benchmark::RegisterBenchmark("hmac/sha256/openssl", openssl_hmac)
      ->Arg(64)
      ->Arg(1024)
      ->Arg(kLarge);
  benchmark::RegisterBenchmark("digest/sha256/module", module_digest, QL_HASH_SHA256)
      ->Arg(kLarge);
  return 0;
}

const int registered = register_all();

}  // namespace
