// Digests and HMAC, ours against OpenSSL's in one process, at 64, 1024 and 16384 bytes.
// OpenSSL's SIMD and SHA-extension code can be masked for a like-for-like comparison with
// portable code by running with OPENSSL_ia32cap='~0x1200020200000000:~0x20290128'. After the
// runs, a table gives MB/s at 16 KiB (the best of the repetitions) and the ratios ours/OpenSSL.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
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

void register_all() {
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
  benchmark::RegisterBenchmark("module/sha256/ours", module_digest, QL_HASH_SHA256)->Arg(kLarge);
}

// Keeps the console output and remembers MB/s of every 16 KiB run for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      const std::string name = run.benchmark_name();
      const std::string suffix = "/" + std::to_string(kLarge);
      if (name.size() > suffix.size() &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        const auto it = run.counters.find("bytes_per_second");
        if (it != run.counters.end()) {
          // With repetitions, the best run stands for the machine without interference.
          double &best = mbps_[name.substr(0, name.size() - suffix.size())];
          best = std::max(best, it->second.value / 1e6);
        }
      }
    }
  }

  void print_ratios() const {
    const char *mask = std::getenv("OPENSSL_ia32cap");
    std::printf("\n16 KiB messages, OpenSSL capability mask: %s\n", mask ? mask : "none");
    std::printf("%-8s %12s %12s %8s\n", "digest", "ours MB/s", "OpenSSL MB/s", "ratio");
    for (const Pair &p : pairs) {
      const double ours = get(std::string("digest/") + p.label + "/ours");
      const double theirs = get(std::string("digest/") + p.label + "/openssl");
      std::printf("%-8s %12.1f %12.1f %8.3f\n", p.label, ours, theirs,
                  theirs > 0 ? ours / theirs : 0.0);
    }
    const double sha1 = get("digest/sha1/ours");
    const double sha256 = get("digest/sha256/ours");
    std::printf("has160 %12.1f MB/s, ratio to our SHA-1 %.3f\n", get("digest/has160/ours"),
                sha1 > 0 ? get("digest/has160/ours") / sha1 : 0.0);
    std::printf("hmac-sha256 %7.1f MB/s, ratio to our SHA-256 %.3f\n", get("hmac/sha256/ours"),
                sha256 > 0 ? get("hmac/sha256/ours") / sha256 : 0.0);
    std::printf("QLC_Hash sha256 %3.1f MB/s, ratio to QL_Hash %.3f\n", get("module/sha256/ours"),
                sha256 > 0 ? get("module/sha256/ours") / sha256 : 0.0);
  }

 private:
  double get(const std::string &name) const {
    const auto it = mbps_.find(name);
    return it == mbps_.end() ? 0.0 : it->second;
  }
  std::map<std::string, double> mbps_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  register_all();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratios();
  benchmark::Shutdown();
  return 0;
}
