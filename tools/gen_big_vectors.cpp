// Writes tests/vectors/big_arith.txt: seeded operands and OpenSSL's BIGNUM results for the
// integer operations, so that targets without OpenSSL (the big-endian emulator) check the
// same values. Built as ql_gen_big_vectors with the OpenSSL differential tests; run it from
// the source tree: ql_gen_big_vectors > tests/vectors/big_arith.txt
#include <openssl/bn.h>
#include <openssl/crypto.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::mt19937_64 g_rng(5150);
BN_CTX *g_ctx = nullptr;

std::string hex(const BIGNUM *b) {
  char *s = BN_bn2hex(b);
  std::string out(s);
  OPENSSL_free(s);
  return out;
}

// A value of `words` 32-bit words: random or patterned (all ones, sparse, top word 1).
BIGNUM *value(int words, bool negative = false) {
  std::vector<uint8_t> bytes(static_cast<size_t>(4 * words));
  const int kind = static_cast<int>(g_rng() % 4);
  for (uint8_t &b : bytes) {
    switch (kind) {
      case 0: b = 0xFF; break;
      case 1: b = (g_rng() % 9 == 0) ? static_cast<uint8_t>(g_rng()) : 0; break;
      default: b = static_cast<uint8_t>(g_rng()); break;
    }
  }
  bytes[0] = kind == 3 ? 0x00 : (bytes[0] | 0x80);
  if (kind == 3) { bytes[3] = 1; }
  BIGNUM *r = BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr);
  BN_set_negative(r, negative ? 1 : 0);
  return r;
}

int words() { return 1 + static_cast<int>(g_rng() % 40); }
bool coin() { return (g_rng() & 1) != 0; }

void binary_ops() {
  std::printf("[op = add]\n");
  for (int i = 0; i < 12; i++) {
    BIGNUM *a = value(words(), coin()), *b = value(words(), coin()), *r = BN_new();
    BN_add(r, a, b);
    std::printf("a = %s\nb = %s\nr = %s\n\n", hex(a).c_str(), hex(b).c_str(), hex(r).c_str());
    BN_free(a), BN_free(b), BN_free(r);
  }
  std::printf("[op = sub]\n");
  for (int i = 0; i < 12; i++) {
    BIGNUM *a = value(words(), coin()), *b = value(words(), coin()), *r = BN_new();
    BN_sub(r, a, b);
    std::printf("a = %s\nb = %s\nr = %s\n\n", hex(a).c_str(), hex(b).c_str(), hex(r).c_str());
    BN_free(a), BN_free(b), BN_free(r);
  }
  std::printf("[op = mul]\n");
  for (int i = 0; i < 12; i++) {
    BIGNUM *a = value(i < 2 ? 128 : words(), coin()), *b = value(i < 2 ? 129 : words(), coin());
    BIGNUM *r = BN_new();
    BN_mul(r, a, b, g_ctx);
    std::printf("a = %s\nb = %s\nr = %s\n\n", hex(a).c_str(), hex(b).c_str(), hex(r).c_str());
    BN_free(a), BN_free(b), BN_free(r);
  }
  std::printf("[op = sqr]\n");
  for (int i = 0; i < 8; i++) {
    BIGNUM *a = value(i < 1 ? 128 : words()), *r = BN_new();
    BN_sqr(r, a, g_ctx);
    std::printf("a = %s\nr = %s\n\n", hex(a).c_str(), hex(r).c_str());
    BN_free(a), BN_free(r);
  }
  // Truncating division of magnitudes: the remainder is non-negative, the quotient signed.
  std::printf("[op = div]\n");
  for (int i = 0; i < 16; i++) {
    const int nb = i < 4 ? 1 : words();
    BIGNUM *a = value(nb + static_cast<int>(g_rng() % 30), coin()), *b = value(nb, coin());
    BIGNUM *q = BN_new(), *r = BN_new();
    BN_div(q, r, a, b, g_ctx);
    BN_set_negative(r, 0);
    std::printf("a = %s\nb = %s\nq = %s\nr = %s\n\n", hex(a).c_str(), hex(b).c_str(),
                hex(q).c_str(), hex(r).c_str());
    BN_free(a), BN_free(b), BN_free(q), BN_free(r);
  }
  std::printf("[op = mod]\n");
  for (int i = 0; i < 10; i++) {
    BIGNUM *a = value(words(), coin()), *m = value(words()), *r = BN_new();
    BN_nnmod(r, a, m, g_ctx);
    std::printf("a = %s\nm = %s\nr = %s\n\n", hex(a).c_str(), hex(m).c_str(), hex(r).c_str());
    BN_free(a), BN_free(m), BN_free(r);
  }
  std::printf("[op = gcd]\n");
  for (int i = 0; i < 8; i++) {
    BIGNUM *f = value(1 + static_cast<int>(g_rng() % 3));
    BIGNUM *a = value(words()), *b = value(words()), *r = BN_new();
    if (i % 2 == 0) {
      BN_mul(a, a, f, g_ctx);
      BN_mul(b, b, f, g_ctx);
    }
    BN_gcd(r, a, b, g_ctx);
    std::printf("a = %s\nb = %s\nr = %s\n\n", hex(a).c_str(), hex(b).c_str(), hex(r).c_str());
    BN_free(a), BN_free(b), BN_free(r), BN_free(f);
  }
  std::printf("[op = invmod]\n");
  for (int i = 0; i < 8;) {
    BIGNUM *a = value(words()), *m = value(words());
    BN_set_bit(m, 0);
    BIGNUM *r = BN_mod_inverse(nullptr, a, m, g_ctx);
    if (r != nullptr) {
      std::printf("a = %s\nm = %s\nr = %s\n\n", hex(a).c_str(), hex(m).c_str(), hex(r).c_str());
      i++;
    }
    BN_free(a), BN_free(m), BN_free(r);
  }
}

void modexp() {
  std::printf("[op = modexp]\n");
  const int sizes[] = {1, 3, 16, 17, 32, 32, 64};
  for (int i = 0; i < 7; i++) {
    BIGNUM *n = value(sizes[i]);
    BN_set_bit(n, 0);
    BN_set_bit(n, 32 * sizes[i] - 1);
    BIGNUM *g = value(sizes[i]), *e = value(i == 5 ? 8 : sizes[i]), *r = BN_new();
    if (i == 5) {
      // Exactly 101 one bits: the wider window.
      BN_zero(e);
      for (int k = 0; k < 101; k++) { BN_set_bit(e, 2 * k + 3); }
    }
    BN_nnmod(g, g, n, g_ctx);
    BN_mod_exp(r, g, e, n, g_ctx);
    std::printf("g = %s\ne = %s\nn = %s\nr = %s\n\n", hex(g).c_str(), hex(e).c_str(),
                hex(n).c_str(), hex(r).c_str());
    BN_free(n), BN_free(g), BN_free(e), BN_free(r);
  }
}

}  // namespace

int main() {
  g_ctx = BN_CTX_new();
  std::printf("# Integer arithmetic: operands from a seeded generator, results from OpenSSL %s.\n",
              OpenSSL_version(OPENSSL_VERSION_STRING));
  std::printf("# Hexadecimal, '-' for negative values. Written by tools/gen_big_vectors.cpp.\n\n");
  binary_ops();
  modexp();
  BN_CTX_free(g_ctx);
  return 0;
}
