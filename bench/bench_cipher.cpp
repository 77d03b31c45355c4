// Block cipher throughput on 16 KiB buffers: our dispatcher (QL_SYM_Encrypt/QL_SYM_Decrypt,
// as callers use it) against OpenSSL's EVP interface for the same cipher and mode. SEED needs
// OpenSSL's legacy provider; SEED-256 has no OpenSSL counterpart. Mask AES-NI with
// OPENSSL_ia32cap='~0x200000200000000:~0' to compare table code with table code; in a build
// with test hooks, QL_TEST_CPU_MASK=0 runs our portable code (bench/compare_paths.sh runs
// every implementation side by side).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstring>
#include <vector>

#include "QuillonCrypto.h"

namespace {

constexpr size_t kLen = 16384;

enum Op { kEcbEnc, kCbcEnc, kCtrEnc, kCbcDec, kCfbDec };

struct Cipher {
  const char *name;
  int32_t id;
  uint32_t key_len;
  const char *ossl_prefix;  // nullptr: no OpenSSL counterpart
};

constexpr Cipher kCiphers[] = {
    {"AES-128", QL_SYM_AES, 16, "AES-128-"},    {"ARIA-128", QL_SYM_ARIA, 16, "ARIA-128-"},
    {"ARIA-256", QL_SYM_ARIA, 32, "ARIA-256-"}, {"SEED-128", QL_SYM_SEED128, 16, "SEED-"},
    {"SEED-256", QL_SYM_SEED256, 32, nullptr},
};

const char *op_mode(Op op) {
  switch (op) {
    case kEcbEnc:
      return "ECB";
    case kCtrEnc:
      return "CTR";
    case kCfbDec:
      return "CFB";
    default:
      return "CBC";
  }
}

void bench_ours(benchmark::State &state, const Cipher &c, Op op) {
  std::vector<uint8_t> key(c.key_len, 0x5A), in(kLen, 0x33), out(kLen + 16);
  QL_SYM_PARAM p;
  std::memset(&p, 0, sizeof(p));
  p.mode = op == kEcbEnc   ? QL_SYM_MODE_ECB
           : op == kCtrEnc ? QL_SYM_MODE_CTR
           : op == kCfbDec ? QL_SYM_MODE_CFB
                           : QL_SYM_MODE_CBC;
  std::memset(p.iv, 0x11, 16);
  p.ivLength = 16;
  p.segmentLength = 16;
  p.padding = QL_SYM_PAD_NONE;
  for (auto _ : state) {
    uint32_t n = 0;
    const bool dec = op == kCbcDec || op == kCfbDec;
    const int32_t s =
        dec ? QL_SYM_Decrypt(&p, out.data(), &n, in.data(), kLen, key.data(), c.key_len, c.id)
            : QL_SYM_Encrypt(&p, out.data(), &n, in.data(), kLen, key.data(), c.key_len, c.id);
    if (s != 0) { state.SkipWithError("cipher failed"); }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLen);
}

void bench_openssl(benchmark::State &state, const Cipher &c, Op op) {
  static OSSL_PROVIDER *def = OSSL_PROVIDER_load(nullptr, "default");
  static OSSL_PROVIDER *legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  (void)def;
  (void)legacy;
  const std::string name = std::string(c.ossl_prefix) + op_mode(op);
  EVP_CIPHER *cipher = EVP_CIPHER_fetch(nullptr, name.c_str(), nullptr);
  if (cipher == nullptr) {
    state.SkipWithError("cipher not available in OpenSSL");
    return;
  }
  std::vector<uint8_t> key(c.key_len, 0x5A), iv(16, 0x11), in(kLen, 0x33), out(kLen + 16);
  EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
  for (auto _ : state) {
    int n1 = 0, n2 = 0;
    const int enc = op == kCbcDec || op == kCfbDec ? 0 : 1;
    EVP_CipherInit_ex2(ctx, cipher, key.data(), iv.data(), enc, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_CipherUpdate(ctx, out.data(), &n1, in.data(), static_cast<int>(kLen));
    EVP_CipherFinal_ex(ctx, out.data() + n1, &n2);
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(cipher);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLen);
}

// Registers every cipher and operation for both implementations, side by side.
int register_all() {
  const Op ops[] = {kEcbEnc, kCbcEnc, kCtrEnc, kCbcDec, kCfbDec};
  const char *op_names[] = {"ECB-enc", "CBC-enc", "CTR-enc", "CBC-dec", "CFB-dec"};
  for (const Cipher &c : kCiphers) {
    for (int i = 0; i < 5; i++) {
      const std::string base = std::string("cipher/") + c.name + "/" + op_names[i] + "-16384/";
      benchmark::RegisterBenchmark((base + "ours").c_str(), bench_ours, c, ops[i]);
      if (c.ossl_prefix != nullptr) {
        benchmark::RegisterBenchmark((base + "openssl").c_str(), bench_openssl, c, ops[i]);
      }
    }
  }
  return 0;
}

const int registered = register_all();

}  // namespace
