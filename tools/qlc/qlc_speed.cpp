// qlc speed: throughput of the module services through the module boundary, timed and printed
// as `openssl speed` does it. Each algorithm and size is one run of SECONDS on the wall clock
// with one context: a cipher is keyed once and encrypts message after message through
// QLC_SYM_Encrypt_Update (the chaining carries on), a digest or HMAC restarts its one context
// per message (QLC_Hash_Init/Update/Final, QLC_HMAC_Init/Update/Final; an HMAC takes its key
// at every start, there being no restart without it). The count is divided by the user CPU
// time of the run, or with -elapsed by its wall time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qlc_pk.h"

// The process's user CPU time comes from the system; windows.h last and without its min/max
// macros, which the standard headers' max() calls would meet.
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace qlc {
namespace {

enum class Kind { kHash, kHmac, kCipher };

struct Alg {
  const char *name;
  Kind kind;
  int32_t id;
  uint32_t key_len;
  uint32_t mode;
};

constexpr Alg kAlgs[] = {
    {"has160", Kind::kHash, QL_HASH_HAS160, 0, 0},
    {"sha1", Kind::kHash, QL_HASH_SHA1, 0, 0},
    {"sha256", Kind::kHash, QL_HASH_SHA256, 0, 0},
    {"sha384", Kind::kHash, QL_HASH_SHA384, 0, 0},
    {"sha512", Kind::kHash, QL_HASH_SHA512, 0, 0},
    {"hmac-has160", Kind::kHmac, QL_HMAC_HAS160, 32, 0},
    {"hmac-sha1", Kind::kHmac, QL_HMAC_SHA1, 32, 0},
    {"hmac-sha256", Kind::kHmac, QL_HMAC_SHA256, 32, 0},
    {"hmac-sha384", Kind::kHmac, QL_HMAC_SHA384, 32, 0},
    {"hmac-sha512", Kind::kHmac, QL_HMAC_SHA512, 32, 0},
    {"seed-cbc", Kind::kCipher, QL_SYM_SEED128, 16, QL_SYM_MODE_CBC},
    {"seed-ctr", Kind::kCipher, QL_SYM_SEED128, 16, QL_SYM_MODE_CTR},
    {"seed256-cbc", Kind::kCipher, QL_SYM_SEED256, 32, QL_SYM_MODE_CBC},
    {"aria-128-cbc", Kind::kCipher, QL_SYM_ARIA, 16, QL_SYM_MODE_CBC},
    {"aria-256-cbc", Kind::kCipher, QL_SYM_ARIA, 32, QL_SYM_MODE_CBC},
    {"aria-128-ctr", Kind::kCipher, QL_SYM_ARIA, 16, QL_SYM_MODE_CTR},
    {"aes-128-cbc", Kind::kCipher, QL_SYM_AES, 16, QL_SYM_MODE_CBC},
    {"aes-192-cbc", Kind::kCipher, QL_SYM_AES, 24, QL_SYM_MODE_CBC},
    {"aes-256-cbc", Kind::kCipher, QL_SYM_AES, 32, QL_SYM_MODE_CBC},
    {"aes-128-ctr", Kind::kCipher, QL_SYM_AES, 16, QL_SYM_MODE_CTR},
};

constexpr uint32_t kSizes[] = {16, 64, 256, 1024, 8192, 16384};
constexpr size_t kNumSizes = sizeof(kSizes) / sizeof(kSizes[0]);
constexpr uint32_t kMaxSize = 16384;
constexpr uint32_t kBlockLen = 16;  // IV and CFB segment of every cipher here

// One run: the algorithm's one context, its key and parameters, and the output room.
class Run {
 public:
  explicit Run(const Alg &alg) : alg_(alg) {
    std::memset(&key_, 0x5a, sizeof(key_));
    key_.algorithm = alg.id;
    key_.key_len = alg.key_len;
    std::memset(&param_, 0x11, sizeof(param_));
    param_.mode = alg.mode;
    param_.ivLength = kBlockLen;
    param_.segmentLength = kBlockLen;
    param_.padding = QL_SYM_PAD_NONE;
    std::memset(&hash_, 0, sizeof(hash_));
    std::memset(&hmac_, 0, sizeof(hmac_));
    std::memset(&sym_, 0, sizeof(sym_));
  }
  ~Run() {
    wipe(&key_, sizeof(key_));
    wipe(&hash_, sizeof(hash_));
    wipe(&hmac_, sizeof(hmac_));
    wipe(&sym_, sizeof(sym_));
  }
  Run(const Run &) = delete;
  Run &operator=(const Run &) = delete;

  // Prepares the context; the module's code (a refusal of the algorithm shows here).
  int32_t start() {
    switch (alg_.kind) {
      case Kind::kHash:
        return QLC_Hash_Init(&hash_, alg_.id);
      case Kind::kHmac:
        return QLC_HMAC_Init(&hmac_, &key_, alg_.id);
      case Kind::kCipher:
        return QLC_SYM_Encrypt_Init(&sym_, &key_, alg_.id, &param_);
    }
    return 0;
  }

  // Processes one message of `len` bytes at `in`.
  int32_t once(const uint8_t *in, uint32_t len) {
    uint32_t n = 0;
    int32_t s = 0;
    switch (alg_.kind) {
      case Kind::kHash:
        if ((s = QLC_Hash_Init(&hash_, alg_.id)) != 0) {
          return s;
        }
        if ((s = QLC_Hash_Update(&hash_, in, len)) != 0) {
          return s;
        }
        return QLC_Hash_Final(&hash_, out_, &n);
      case Kind::kHmac:
        if ((s = QLC_HMAC_Init(&hmac_, &key_, alg_.id)) != 0) {
          return s;
        }
        if ((s = QLC_HMAC_Update(&hmac_, in, len)) != 0) {
          return s;
        }
        return QLC_HMAC_Final(&hmac_, out_, &n);
      case Kind::kCipher:
        return QLC_SYM_Encrypt_Update(&sym_, out_, &n, in, len);
    }
    return 0;
  }

  // Ends the run's context (a cipher's final call).
  int32_t finish() {
    uint32_t n = 0;
    return alg_.kind == Kind::kCipher ? QLC_SYM_Encrypt_Final(&sym_, out_, &n) : 0;
  }

 private:
  const Alg &alg_;
  QLC_SECRET_KEY key_;
  QL_SYM_PARAM param_;
  QL_HASH_CTX hash_;
  QL_HMAC_CTX hmac_;
  QL_SYM_CTX sym_;
  uint8_t out_[kMaxSize + kBlockLen];
};

// User CPU time of this process, or the wall clock, in seconds.
double clock_now(bool elapsed) {
  if (elapsed) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
#if defined(_WIN32)
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
    return 0;
  }
  const uint64_t ticks = (static_cast<uint64_t>(user.dwHighDateTime) << 32) | user.dwLowDateTime;
  return static_cast<double>(ticks) * 1e-7;  // 100-nanosecond units
#else
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec) + static_cast<double>(ru.ru_utime.tv_usec) * 1e-6;
#endif
}

}  // namespace

double speed_clock(bool elapsed) { return clock_now(elapsed); }

int cmd_speed(Args &args) {
  double seconds = 1.0;
  bool elapsed = false;
  std::vector<const Alg *> chosen;
  std::vector<std::string> pk_chosen;
  while (!args.done()) {
    const std::string a = args.next();
    if (a == "-t") {
      const std::string t = args.value(a);
      char *end = nullptr;
      seconds = std::strtod(t.c_str(), &end);
      if (end == t.c_str() || *end != '\0' || !(seconds > 0 && seconds <= 60)) {
        args.fail("-t takes a number of seconds above 0 and at most 60, not '" + t + "'");
      }
    } else if (a == "-elapsed") {
      elapsed = true;
    } else if (a.size() > 1 && a[0] == '-') {
      args.fail("unknown option '" + a + "'");
    } else if (is_pk_speed_alg(a)) {
      pk_chosen.push_back(a);
    } else {
      const Alg *found = nullptr;
      for (const Alg &s : kAlgs) {
        if (same_name(a, s.name)) { found = &s; }
      }
      if (found == nullptr) {
        args.fail("unknown algorithm '" + a + "'");
      }
      chosen.push_back(found);
    }
  }
  const bool explicit_choice = !chosen.empty() || !pk_chosen.empty();
  if (!explicit_choice) {
    for (const Alg &s : kAlgs) {
      chosen.push_back(&s);
    }
  }
  start_module(args.non_approved());
  if (elapsed) {
    std::fprintf(stderr, "You have chosen to measure elapsed time instead of user CPU time.\n");
  }

  if (!pk_chosen.empty()) {
    pk_speed(pk_chosen, seconds, elapsed);
    if (chosen.empty()) { return 0; }
  }
  std::vector<uint8_t> input(kMaxSize);
  for (size_t i = 0; i < input.size(); i++) {
    input[i] = static_cast<uint8_t>(i * 131 + 7);
  }
  struct Row {
    const Alg *alg;
    double kbps[kNumSizes];
  };
  std::vector<Row> rows;
  using Wall = std::chrono::steady_clock;
  const Wall::duration budget =
      std::chrono::duration_cast<Wall::duration>(std::chrono::duration<double>(seconds));
  for (const Alg *alg : chosen) {
    Row row{alg, {}};
    bool refused = false;
    for (size_t k = 0; k < kNumSizes && !refused; k++) {
      std::fprintf(stderr, "Doing %s for %gs on %u size blocks: ", alg->name, seconds, kSizes[k]);
      Run run(*alg);
      const int32_t first = run.start();
      if (first != 0) {
        std::fprintf(stderr, "refused\n");
        if (explicit_choice) {
          throw ModuleError{alg->name, first};
        }
        std::fprintf(stderr, "%s skipped: %s (code %d)\n", alg->name, QLC_CM_ErrorString(first),
                     static_cast<int>(first));
        refused = true;
        break;
      }
      // The run lasts SECONDS on the wall clock, as openssl speed's alarm; the time it reports
      // is the chosen clock's.
      const Wall::time_point wall_start = Wall::now();
      const double start = clock_now(elapsed);
      uint64_t count = 0;
      do {
        for (int i = 0; i < 16; i++) {
          check(run.once(input.data(), kSizes[k]), alg->name);
        }
        count += 16;
      } while (Wall::now() - wall_start < budget);
      const double secs = clock_now(elapsed) - start;
      check(run.finish(), alg->name);
      std::fprintf(stderr, "%llu %s's in %.2fs\n", static_cast<unsigned long long>(count),
                   alg->name, secs);
      row.kbps[k] = secs > 0 ? static_cast<double>(count) * kSizes[k] / secs / 1000.0 : 0.0;
    }
    if (!refused) {
      rows.push_back(row);
    }
  }
  std::printf("QuillonCrypto %s, module state %d, timed by %s\n", QL_GetVersion(0),
              static_cast<int>(QLC_CM_StateInfo()),
              elapsed ? "elapsed (wall clock) time" : "user CPU time");
  std::printf("The 'numbers' are in 1000s of bytes per second processed.\n");
  std::printf("%-16s", "type");
  for (uint32_t s : kSizes) {
    std::printf(" %7u bytes", s);
  }
  std::printf("\n");
  for (const Row &r : rows) {
    std::printf("%-16s", r.alg->name);
    for (double v : r.kbps) {
      std::printf(" %12.2fk", v);
    }
    std::printf("\n");
  }
  return 0;
}

}  // namespace qlc
