// Loads libQuillonCrypto and OpenSSL's libcrypto into one process, both with RTLD_GLOBAL, in
// the order given by argv[1] ("ours-first" or "openssl-first"), and checks that each library's
// SHA-256 one-shot and its SHA256_Transform, which share a name but not a signature, give that
// library's own correct results. Exits non-zero on the first mismatch.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <dlfcn.h>
#include <openssl/sha.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// FIPS 180-2, appendix B.1: SHA-256 of "abc".
constexpr uint8_t kAbcDigest[32] = {
    0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23,
    0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17, 0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
constexpr uint32_t kSha256Iv[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

int failures = 0;

void check(bool ok, const char *what) {
  std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) { failures++; }
}

// "abc" padded to one block: compressing it from the initial value yields the digest.
void padded_abc(uint8_t block[64]) {
  std::memset(block, 0, 64);
  std::memcpy(block, "abc", 3);
  block[3] = 0x80;
  block[63] = 24;
}

bool words_match_digest(const uint32_t *words) {
  for (int i = 0; i < 8; i++) {
    const uint32_t want = (uint32_t{kAbcDigest[4 * i]} << 24) |
                          (uint32_t{kAbcDigest[4 * i + 1]} << 16) |
                          (uint32_t{kAbcDigest[4 * i + 2]} << 8) | kAbcDigest[4 * i + 3];
    if (words[i] != want) { return false; }
  }
  return true;
}

void *open_global(const char *path) {
  void *h = dlopen(path, RTLD_NOW | RTLD_GLOBAL);
  if (h == nullptr) { std::printf("FAIL: dlopen %s: %s\n", path, dlerror()); }
  return h;
}

template <typename F>
F symbol(void *handle, const char *name) {
  return reinterpret_cast<F>(dlsym(handle, name));
}

void check_ours(void *ours) {
  using OneShot = void (*)(uint8_t *, const uint8_t *, uint32_t);
  using Transform = void (*)(uint32_t *, const uint8_t *);
  const auto one_shot = symbol<OneShot>(ours, "QL_SHA256");
  const auto transform = symbol<Transform>(ours, "SHA256_Transform");
  check(one_shot != nullptr && transform != nullptr, "ours: symbols found");
  check(
      dlvsym(ours, "SHA256_Transform", "QUILLONCRYPTO_1.1") == reinterpret_cast<void *>(transform),
      "ours: SHA256_Transform carries our version");
  check(dlsym(ours, "SHA1_Transform") == nullptr && dlsym(ours, "HAS_Round") == nullptr,
        "ours: internal compression functions not exported");
  if (one_shot == nullptr || transform == nullptr) { return; }
  uint8_t digest[32];
  one_shot(digest, reinterpret_cast<const uint8_t *>("abc"), 3);
  check(std::memcmp(digest, kAbcDigest, 32) == 0, "ours: QL_SHA256(\"abc\")");
  uint32_t state[8];
  std::memcpy(state, kSha256Iv, sizeof(state));
  uint8_t block[64];
  padded_abc(block);
  transform(state, block);
  check(words_match_digest(state), "ours: SHA256_Transform(state, block)");
}

void check_openssl(void *openssl) {
  using OneShot = unsigned char *(*)(const unsigned char *, size_t, unsigned char *);
  using Init = int (*)(SHA256_CTX *);
  using Transform = void (*)(SHA256_CTX *, const unsigned char *);
  const auto one_shot = symbol<OneShot>(openssl, "SHA256");
  const auto init = symbol<Init>(openssl, "SHA256_Init");
  const auto transform = symbol<Transform>(openssl, "SHA256_Transform");
  check(one_shot != nullptr && init != nullptr && transform != nullptr, "OpenSSL: symbols found");
  if (one_shot == nullptr || init == nullptr || transform == nullptr) { return; }
  uint8_t digest[32];
  one_shot(reinterpret_cast<const unsigned char *>("abc"), 3, digest);
  check(std::memcmp(digest, kAbcDigest, 32) == 0, "OpenSSL: SHA256(\"abc\")");
  SHA256_CTX ctx;
  init(&ctx);
  uint8_t block[64];
  padded_abc(block);
  transform(&ctx, block);
  check(words_match_digest(ctx.h), "OpenSSL: SHA256_Transform(ctx, block)");
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2 ||
      (std::strcmp(argv[1], "ours-first") != 0 && std::strcmp(argv[1], "openssl-first") != 0)) {
    std::printf("usage: %s ours-first|openssl-first\n", argv[0]);
    return 2;
  }
  const bool ours_first = std::strcmp(argv[1], "ours-first") == 0;
  void *first = open_global(ours_first ? QL_LIBRARY_FILE : QL_OPENSSL_CRYPTO_FILE);
  void *second = open_global(ours_first ? QL_OPENSSL_CRYPTO_FILE : QL_LIBRARY_FILE);
  if (first == nullptr || second == nullptr) { return 1; }
  void *ours = ours_first ? first : second;
  void *openssl = ours_first ? second : first;
  check_ours(ours);
  check_openssl(openssl);
  // Again after the other library ran, in case a call bound lazily to the wrong definition.
  check_ours(ours);
  return failures == 0 ? 0 : 1;
}
