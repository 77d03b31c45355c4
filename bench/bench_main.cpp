// The benchmark runner. Every row times our operation and its peer's like with like: after
// each side is calibrated to a sample of about the same length, the two run in pairs, the
// order inside each pair drawn at random, so that both see the same state of the machine, and
// the pairs of one row spread over the whole run (one pair of every row per sweep); the row
// reports the median of the per-pair ratios ours/peer with its quartiles, and each side's
// median rate. Both sides of a row share one time base (process CPU time, or the wall clock
// where child processes do the work). Rows come out in a fixed order, one line each, so that
// scripts can diff and join tables (bench/compare_paths.sh, bench/compare_commits.sh).
#include <openssl/crypto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <regex>

#include "QuillonCrypto.h"
#include "bench.h"

namespace bench {

std::vector<uint8_t> message(size_t n) {
  std::vector<uint8_t> m(n);
  for (size_t i = 0; i < n; i++) {
    m[i] = static_cast<uint8_t>(i * 131 + 7);
  }
  return m;
}

namespace {

struct Options {
  std::string filter;
  int pairs = 9;
  double sample_s = 0.010;
  double row_max_s = 5.0;
  uint32_t seed = 1;
  bool list = false;
};

double now(Clock c) {
  timespec ts{};
  clock_gettime(c == Clock::kCpu ? CLOCK_PROCESS_CPUTIME_ID : CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool timed(Runner &run, uint64_t n, Clock c, double &secs) {
  const double start = now(c);
  const bool ok = run(n);
  secs = now(c) - start;
  return ok;
}

// The number of operations whose run takes at least `target` seconds, and that run's time.
bool calibrate(Runner &run, Clock c, double target, uint64_t &n, double &secs) {
  n = 1;
  for (;;) {
    if (!timed(run, n, c, secs)) {
      return false;
    }
    if (secs >= target || n >= (uint64_t{1} << 40)) {
      return true;
    }
    const double scale = secs > 0 ? std::clamp(target / secs * 1.2, 2.0, 16.0) : 16.0;
    n = std::max(n + 1, static_cast<uint64_t>(static_cast<double>(n) * scale));
  }
}

double quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  const double pos = q * static_cast<double>(v.size() - 1);
  const size_t lo = static_cast<size_t>(pos);
  const size_t hi = std::min(lo + 1, v.size() - 1);
  return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
}

double rate(const Row &row, uint64_t n, double secs) {
  const double ops = static_cast<double>(n) / secs;
  return row.bytes != 0 ? ops * static_cast<double>(row.bytes) / 1e6 : ops;
}

void print_line(const Row &row, const char *ours, const char *theirs, const char *ratio,
                const char *q1, const char *q3, int pairs) {
  std::printf("%-44s %-4s %-4s %12s %12s %7s %7s %7s %3d %s\n", row.name.c_str(),
              row.clock == Clock::kCpu ? "cpu" : "wall", row.bytes != 0 ? "MB/s" : "op/s", ours,
              theirs, ratio, q1, q3, pairs, row.peer.c_str());
  std::fflush(stdout);
}

void print_error(const Row &row, const char *what) {
  print_line(row, "error", "-", "-", "-", "-", 0);
  std::fprintf(stderr, "%s: %s\n", row.name.c_str(), what);
}

// Rates with four significant digits, ratios with three decimals.
std::string fmt(double v) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%.4g", v);
  return buf;
}

std::string ratio(double v) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%.3f", v);
  return buf;
}

// One row under measurement: both sides prepared, their calls per sample, the samples.
struct Slot {
  const Row *row;
  Runner ours, theirs;
  uint64_t n_ours = 0, n_theirs = 0;
  int pairs = 0;
  const char *failed = nullptr;
  std::vector<double> mine, peer, ratios;
};

// Puts the module into the state the row's calls need (outside the timing).
bool enter(const Row &row) {
  return row.module_state == 0 || QLC_CM_StateChange(row.module_state) == 0;
}

// Prepares both sides and calibrates them; slow rows get fewer pairs, at least three.
void prepare(Slot &s, const Options &opt) {
  const Row &row = *s.row;
  s.ours = row.ours ? row.ours() : Runner{};
  s.theirs = row.theirs ? row.theirs() : Runner{};
  double t_ours = 0, t_theirs = 0;
  if ((row.ours && !s.ours) || (row.theirs && !s.theirs) || !enter(row)) {
    s.failed = "could not be prepared";
  } else if (s.ours && !calibrate(s.ours, row.clock, opt.sample_s, s.n_ours, t_ours)) {
    s.failed = "our call failed";
  } else if (s.theirs && !calibrate(s.theirs, row.clock, opt.sample_s, s.n_theirs, t_theirs)) {
    s.failed = "the peer's call failed";
  }
  s.pairs = opt.pairs;
  const double per_pair = t_ours + t_theirs;
  if (per_pair * opt.pairs > opt.row_max_s) {
    s.pairs = std::max(3, static_cast<int>(opt.row_max_s / per_pair));
  }
}

// One pair of the row (one sample where it has one side only), the order drawn at random.
void sample(Slot &s, std::mt19937 &rng) {
  const Row &row = *s.row;
  double a = 0, b = 0;
  bool ok = enter(row);
  if (ok && s.ours && s.theirs) {
    ok = (rng() & 1)
             ? timed(s.ours, s.n_ours, row.clock, a) && timed(s.theirs, s.n_theirs, row.clock, b)
             : timed(s.theirs, s.n_theirs, row.clock, b) && timed(s.ours, s.n_ours, row.clock, a);
  } else if (ok) {
    ok = s.ours ? timed(s.ours, s.n_ours, row.clock, a) : timed(s.theirs, s.n_theirs, row.clock, b);
  }
  if (!ok || (s.ours && a <= 0) || (s.theirs && b <= 0)) {
    s.failed = "a timed call failed";
    return;
  }
  if (s.ours) {
    s.mine.push_back(rate(row, s.n_ours, a));
  }
  if (s.theirs) {
    s.peer.push_back(rate(row, s.n_theirs, b));
  }
  if (s.ours && s.theirs) {
    s.ratios.push_back(s.mine.back() / s.peer.back());
  }
}

void report(const Slot &s) {
  if (s.failed != nullptr) {
    print_error(*s.row, s.failed);
    return;
  }
  const std::string o = s.ours ? fmt(quantile(s.mine, 0.5)) : "-";
  const std::string p = s.theirs ? fmt(quantile(s.peer, 0.5)) : "-";
  if (s.ratios.empty()) {
    print_line(*s.row, o.c_str(), p.c_str(), "-", "-", "-", s.pairs);
    return;
  }
  print_line(*s.row, o.c_str(), p.c_str(), ratio(quantile(s.ratios, 0.5)).c_str(),
             ratio(quantile(s.ratios, 0.25)).c_str(), ratio(quantile(s.ratios, 0.75)).c_str(),
             s.pairs);
}

const char kUsage[] =
    "usage: ql_bench [--filter=REGEX] [--pairs=N] [--sample-ms=MS] [--row-max-s=S] [--seed=N]\n"
    "                [--list]\n"
    "  --filter=REGEX  only the rows whose name REGEX finds (ECMAScript syntax)\n"
    "  --pairs=N       timed pairs per row, 3 to 1001 (default 9)\n"
    "  --sample-ms=MS  length of one timed run of one side (default 10)\n"
    "  --row-max-s=S   fewer pairs (at least 3) where a row would take longer (default 5)\n"
    "  --seed=N        seed of the order inside the pairs (default 1)\n"
    "  --list          print the row names and exit\n";

bool number(const char *text, double lo, double hi, double &out) {
  char *end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0' && out >= lo && out <= hi;
}

bool parse(int argc, char **argv, Options &opt) {
  for (int i = 1; i < argc; i++) {
    const char *a = argv[i];
    const char *eq = std::strchr(a, '=');
    const std::string key = eq ? std::string(a, eq) : std::string(a);
    const char *val = eq ? eq + 1 : "";
    double v = 0;
    if (key == "--filter" && eq) {
      opt.filter = val;
    } else if (key == "--pairs" && number(val, 3, 1001, v)) {
      opt.pairs = static_cast<int>(v);
    } else if (key == "--sample-ms" && number(val, 0.01, 10000, v)) {
      opt.sample_s = v / 1000.0;
    } else if (key == "--row-max-s" && number(val, 0.01, 3600, v)) {
      opt.row_max_s = v;
    } else if (key == "--seed" && number(val, 0, 4294967295.0, v)) {
      opt.seed = static_cast<uint32_t>(v);
    } else if (key == "--list" && !eq) {
      opt.list = true;
    } else {
      std::fprintf(stderr, "ql_bench: bad argument '%s'\n%s", a, kUsage);
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace bench

int main(int argc, char **argv) {
  using namespace bench;
  Options opt;
  if (!parse(argc, argv, opt)) {
    return 2;
  }
  std::regex filter;
  try {
    filter = std::regex(opt.filter);
  } catch (const std::regex_error &) {
    std::fprintf(stderr, "ql_bench: bad regular expression '%s'\n", opt.filter.c_str());
    return 2;
  }
  std::vector<Row> all;
  add_cipher_rows(all);
  add_digest_rows(all);
  add_big_rows(all);
  add_rand_rows(all);
  add_pk_rows(all);
  add_kcdsa_rows(all);
  std::vector<const Row *> rows;
  for (const Row &r : all) {
    if (std::regex_search(r.name, filter)) {
      rows.push_back(&r);
    }
  }
  if (opt.list) {
    for (const Row *r : rows) {
      std::printf("%s\n", r->name.c_str());
    }
    return 0;
  }
  // The module services need the module started; it is the same for every row.
  if (QLC_CM_StateInit() != 0) {
    std::fprintf(stderr, "ql_bench: the module did not start\n");
    return 1;
  }
  const char *cap = std::getenv("OPENSSL_ia32cap");
  const char *mask = std::getenv("QL_TEST_CPU_MASK");
  std::printf("# ql_bench: QuillonCrypto %s against %s\n", QL_GetVersion(0),
              OpenSSL_version(OPENSSL_VERSION));
  std::printf("# OPENSSL_ia32cap=%s QL_TEST_CPU_MASK=%s pairs=%d sample=%gms seed=%u\n",
              cap ? cap : "(unset)", mask ? mask : "(unset)", opt.pairs, opt.sample_s * 1000,
              static_cast<unsigned>(opt.seed));
  std::printf(
      "# time: cpu = CPU time of this process, wall = elapsed time (rows that run the entropy\n"
      "# commands, whose child processes CPU time does not see). ours, peer: median rates of\n"
      "# the pairs, MB/s = 10^6 bytes/s. ratio: median of the per-pair ratios ours/peer (above\n"
      "# 1: ours is faster), q1..q3 their quartiles; n: pairs timed. Module rows run in the\n"
      "# approved state, those of AES and SEED-256 (which it refuses) in the non-approved one.\n");
  std::printf("#%-43s %-4s %-4s %12s %12s %7s %7s %7s %3s %s\n", "row", "time", "unit", "ours",
              "peer", "ratio", "q1", "q3", "n", "peer-interface");
  std::fflush(stdout);
  // Every row is prepared first; then each sweep takes one pair of every row, so that a row's
  // pairs are spread over the whole run and a passing burst of load on the shared machine
  // touches few of them.
  std::vector<Slot> slots;
  for (const Row *r : rows) {
    slots.push_back(Slot{r, {}, {}, 0, 0, 0, nullptr, {}, {}, {}});
    prepare(slots.back(), opt);
  }
  std::mt19937 rng(opt.seed);
  for (int sweep = 0; sweep < opt.pairs; sweep++) {
    std::fprintf(stderr, "ql_bench: sweep %d of %d\r", sweep + 1, opt.pairs);
    for (Slot &s : slots) {
      if (s.failed == nullptr && sweep < s.pairs) {
        sample(s, rng);
      }
    }
  }
  std::fprintf(stderr, "\n");
  for (const Slot &s : slots) {
    report(s);
  }
  return 0;
}
