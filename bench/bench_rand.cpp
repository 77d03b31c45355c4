// Random generators and primes. The pool generator (QL_RandomBytes) re-runs the entropy
// commands on every call and the module generator (QL_CMVP_RAND_GetRandom) reseeds through it,
// as does the prime generator's X9.62 source: those rows time the wall clock, and ours alone.
// The prime test runs Big_IsPrimeRSA on a fixed prime (every round runs, as for any prime).
// OpenSSL 3's BN_check_prime, like BN_is_prime_fasttest_ex, raises the number of rounds to at
// least 64 below 2049 bits, so the peer is the closest equivalent at our number of rounds:
// the same Miller-Rabin loop on OpenSSL's arithmetic (BN_mod_exp_mont, BN_mod_sqr), the
// Montgomery context set up per test as both libraries' tests do.
#include <openssl/bn.h>

#include <map>

#include "QuillonCrypto.h"
#include "bench.h"

namespace bench {
namespace {

// Big_IsPrimeRSA's rounds for 1024-bit (32-word) and 2048-bit (64-word) candidates; keep in
// step with the library's table.
struct PrimeSize {
  int bits;
  int rounds;
};
constexpr PrimeSize kPrimeSizes[] = {{1024, 3}, {2048, 2}};

// One prime per size from OpenSSL, shared by both sides of a row.
const std::vector<uint8_t> &prime(int bits) {
  static std::map<int, std::vector<uint8_t>> cache;
  std::vector<uint8_t> &p = cache[bits];
  if (p.empty()) {
    BIGNUM *bn = BN_new();
    if (bn != nullptr && BN_generate_prime_ex(bn, bits, 0, nullptr, nullptr, nullptr) == 1) {
      p.resize(static_cast<size_t>(BN_num_bytes(bn)));
      BN_bn2bin(bn, p.data());
    }
    BN_free(bn);
  }
  return p;
}

Runner test_ours(int bits) {
  const std::vector<uint8_t> &p = prime(bits);
  auto n = hold(QL_Big_New(), QL_Big_Delete);
  if (p.empty() || !n || U8ToBig(n.get(), p.data(), static_cast<uint32_t>(p.size())) != 0) {
    return {};
  }
  return [n](uint64_t count) {
    for (uint64_t i = 0; i < count; i++) {
      if (Big_IsPrimeRSA(n.get()) != 0) {
        return false;
      }
    }
    return true;
  };
}

// A Miller-Rabin test of `n` with `rounds` small bases; true for a probable prime.
bool miller_rabin(const BIGNUM *n, int rounds, BN_CTX *ctx) {
  static constexpr BN_ULONG kBases[] = {3581, 3583, 3593, 3607, 3613, 3617, 3623, 3631};
  BN_MONT_CTX *mont = BN_MONT_CTX_new();
  BN_CTX_start(ctx);
  BIGNUM *n1 = BN_CTX_get(ctx), *d = BN_CTX_get(ctx), *a = BN_CTX_get(ctx), *x = BN_CTX_get(ctx);
  bool prime = mont != nullptr && x != nullptr && BN_MONT_CTX_set(mont, n, ctx) == 1 &&
               BN_copy(n1, n) != nullptr && BN_sub_word(n1, 1) == 1;
  int s = 0;
  while (prime && !BN_is_bit_set(n1, s)) {
    s++;
  }
  prime = prime && BN_rshift(d, n1, s) == 1;
  for (int r = 0; prime && r < rounds; r++) {
    prime = BN_set_word(a, kBases[r % 8]) == 1 && BN_mod_exp_mont(x, a, d, n, ctx, mont) == 1;
    if (!prime || BN_is_one(x) || BN_cmp(x, n1) == 0) {
      continue;
    }
    bool passed = false;
    for (int i = 1; i < s && !passed && prime; i++) {
      prime = BN_mod_sqr(x, x, n, ctx) == 1 && !BN_is_one(x);
      passed = BN_cmp(x, n1) == 0;
    }
    prime = prime && passed;
  }
  BN_CTX_end(ctx);
  BN_MONT_CTX_free(mont);
  return prime;
}

Runner test_openssl(int bits, int rounds) {
  const std::vector<uint8_t> &p = prime(bits);
  auto n = hold(BN_bin2bn(p.data(), static_cast<int>(p.size()), nullptr), BN_free);
  auto ctx = hold(BN_CTX_new(), BN_CTX_free);
  if (p.empty() || !n || !ctx) {
    return {};
  }
  return [n, ctx, rounds](uint64_t count) {
    for (uint64_t i = 0; i < count; i++) {
      if (!miller_rabin(n.get(), rounds, ctx.get())) {
        return false;
      }
    }
    return true;
  };
}

}  // namespace

void add_rand_rows(std::vector<Row> &rows) {
  const std::string none = "none:not-comparable";
  rows.push_back({"rand/pool-generator/20-bytes", Clock::kWall, 0, none,
                  [] {
                    return Runner([](uint64_t count) {
                      uint8_t out[20];
                      for (uint64_t i = 0; i < count; i++) {
                        if (QL_RandomBytes(out, sizeof(out)) != sizeof(out)) {
                          return false;
                        }
                      }
                      return true;
                    });
                  },
                  nullptr});
  rows.push_back({"rand/module-generator/64-bytes", Clock::kWall, 64, none,
                  [] {
                    return Runner([](uint64_t count) {
                      uint8_t out[64];
                      for (uint64_t i = 0; i < count; i++) {
                        if (QL_CMVP_RAND_GetRandom(out, sizeof(out)) != 0) {
                          return false;
                        }
                      }
                      return true;
                    });
                  },
                  nullptr});
  for (const PrimeSize &ps : kPrimeSizes) {
    const int bits = ps.bits, rounds = ps.rounds;
    rows.push_back({"prime/test-" + std::to_string(bits) + "/" + std::to_string(rounds) + "-rounds",
                    Clock::kCpu, 0, "Miller-Rabin-on-BN_mod_exp_mont",
                    [bits] { return test_ours(bits); },
                    [bits, rounds] { return test_openssl(bits, rounds); }});
  }
  rows.push_back({"prime/strong-rsa-1024", Clock::kWall, 0, none,
                  [] {
                    auto p = hold(QL_Big_New(), QL_Big_Delete);
                    return Runner([p](uint64_t count) {
                      for (uint64_t i = 0; i < count; i++) {
                        if (!p || Big_GeneratePrimeStrongRSA(p.get(), 1024) != 0) {
                          return false;
                        }
                      }
                      return true;
                    });
                  },
                  nullptr});
}

}  // namespace bench
