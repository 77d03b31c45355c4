// qlc speed: throughput of the module services, one-shot calls through the module boundary,
// printed in the layout of `openssl speed`.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "qlc.h"

namespace qlc {

int cmd_speed(Args &args) {
  std::vector<SpeedAlg> all;
  add_digest_speed(all);
  add_cipher_speed(all);
  double seconds = 1.0;
  std::vector<const SpeedAlg *> chosen;
  while (!args.done()) {
    const std::string a = args.next();
    if (a == "-t") {
      const std::string t = args.value(a);
      char *end = nullptr;
      seconds = std::strtod(t.c_str(), &end);
      if (end == t.c_str() || *end != '\0' || !(seconds > 0 && seconds <= 60)) {
        args.fail("-t takes a number of seconds above 0 and at most 60, not '" + t + "'");
      }
    } else if (a.size() > 1 && a[0] == '-') {
      args.fail("unknown option '" + a + "'");
    } else {
      const SpeedAlg *found = nullptr;
      for (const SpeedAlg &s : all) {
        if (same_name(a, s.name.c_str())) { found = &s; }
      }
      if (found == nullptr) { args.fail("unknown algorithm '" + a + "'"); }
      chosen.push_back(found);
    }
  }
  const bool explicit_choice = !chosen.empty();
  if (!explicit_choice) {
    for (const SpeedAlg &s : all) { chosen.push_back(&s); }
  }
  start_module(args.non_approved());

  constexpr uint32_t kSizes[] = {16, 256, 1024, 8192, 16384};
  std::vector<uint8_t> input(16384);
  for (size_t i = 0; i < input.size(); i++) { input[i] = static_cast<uint8_t>(i * 131 + 7); }
  struct Row {
    const SpeedAlg *alg;
    double kbps[5];
  };
  std::vector<Row> rows;
  using Clock = std::chrono::steady_clock;
  for (const SpeedAlg *alg : chosen) {
    Row row{alg, {}};
    bool refused = false;
    for (size_t k = 0; k < 5 && !refused; k++) {
      std::fprintf(stderr, "Doing %s for %gs on %u size blocks: ", alg->name.c_str(), seconds,
                   kSizes[k]);
      const int32_t first = alg->run(input.data(), kSizes[k]);
      if (first != 0) {
        std::fprintf(stderr, "refused\n");
        if (explicit_choice) { throw ModuleError{alg->name, first}; }
        std::fprintf(stderr, "%s skipped: %s (code %d)\n", alg->name.c_str(),
                     QLC_CM_ErrorString(first), static_cast<int>(first));
        refused = true;
        break;
      }
      const Clock::time_point start = Clock::now();
      const Clock::duration budget = std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(seconds));
      uint64_t count = 0;
      Clock::duration elapsed{};
      do {
        for (int i = 0; i < 16; i++) { check(alg->run(input.data(), kSizes[k]), alg->name.c_str()); }
        count += 16;
        elapsed = Clock::now() - start;
      } while (elapsed < budget);
      const double secs = std::chrono::duration<double>(elapsed).count();
      std::fprintf(stderr, "%llu %s's in %.2fs\n", static_cast<unsigned long long>(count),
                   alg->name.c_str(), secs);
      row.kbps[k] = static_cast<double>(count) * kSizes[k] / secs / 1000.0;
    }
    if (!refused) { rows.push_back(row); }
  }
  std::printf("QuillonCrypto %s, module state %d\n", QL_GetVersion(0),
              static_cast<int>(QLC_CM_StateInfo()));
  std::printf("The 'numbers' are in 1000s of bytes per second processed.\n");
  std::printf("%-16s", "type");
  for (uint32_t s : kSizes) { std::printf(" %7u bytes", s); }
  std::printf("\n");
  for (const Row &r : rows) {
    std::printf("%-16s", r.alg->name.c_str());
    for (double v : r.kbps) { std::printf(" %12.2fk", v); }
    std::printf("\n");
  }
  return 0;
}

}  // namespace qlc
