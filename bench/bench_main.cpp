// The benchmark runner: every benchmark of bench/, ours and OpenSSL's in one process, then one
// comparison table. A benchmark is named group/primitive[/detail]/IMPL[/argument], where IMPL
// is "ours" or names a peer ("openssl", "openssl-vartime", "module"); each peer is compared
// with the "ours" run of the same name. Throughput is MB/s where a benchmark counts bytes,
// operations per second otherwise; with --benchmark_repetitions the best run counts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

bool is_impl(const std::string &token) {
  return token == "ours" || token == "module" || token.compare(0, 7, "openssl") == 0;
}

// Settings that Google Benchmark appends to a name ("iterations:20", "min_time:0.5", ...).
bool is_setting(const std::string &token) {
  return token.find(':') != std::string::npos || token == "real_time" ||
         token == "process_time" || token == "manual_time";
}

class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) { continue; }
      std::vector<std::string> tokens;
      const std::string name = run.benchmark_name();
      size_t start = 0;
      for (size_t slash; (slash = name.find('/', start)) != std::string::npos; start = slash + 1) {
        tokens.push_back(name.substr(start, slash - start));
      }
      tokens.push_back(name.substr(start));
      std::string key, impl = "ours";
      for (const std::string &t : tokens) {
        if (is_setting(t)) { continue; }
        if (is_impl(t)) {
          impl = t;
        } else {
          key += (key.empty() ? "" : "/") + t;
        }
      }
      Cell &cell = rows_[key][impl];
      const auto bytes = run.counters.find("bytes_per_second");
      if (bytes != run.counters.end()) {
        cell.bytes = true;
        cell.rate = std::max(cell.rate, bytes->second.value / 1e6);
      } else if (run.real_accumulated_time > 0) {
        cell.rate = std::max(cell.rate,
                             static_cast<double>(run.iterations) / run.real_accumulated_time);
      }
      if (std::find(order_.begin(), order_.end(), key) == order_.end()) { order_.push_back(key); }
    }
  }

  void print_table() const {
    const char *mask = std::getenv("OPENSSL_ia32cap");
    std::printf("\nOPENSSL_ia32cap: %s\n", mask ? mask : "(not set: OpenSSL uses every CPU feature)");
    std::printf("%-34s %-16s %14s %14s %8s\n", "benchmark", "compared with", "ours", "theirs",
                "ratio");
    for (const std::string &key : order_) {
      const auto &impls = rows_.at(key);
      const auto ours = impls.find("ours");
      const double mine = ours == impls.end() ? 0.0 : ours->second.rate;
      bool printed = false;
      for (const auto &[impl, cell] : impls) {
        if (impl == "ours") { continue; }
        std::printf("%-34s %-16s %14s %14s %8s\n", key.c_str(), impl.c_str(),
                    format(mine, cell.bytes).c_str(), format(cell.rate, cell.bytes).c_str(),
                    mine > 0 && cell.rate > 0 ? ratio(mine / cell.rate).c_str() : "-");
        printed = true;
      }
      if (!printed && ours != impls.end()) {
        std::printf("%-34s %-16s %14s %14s %8s\n", key.c_str(), "-",
                    format(mine, ours->second.bytes).c_str(), "-", "-");
      }
    }
    std::printf("Rates in MB/s, or ops/s where marked; ratio = ours / theirs (above 1: ours is "
                "faster).\n");
  }

 private:
  struct Cell {
    double rate = 0;
    bool bytes = false;
  };
  static std::string format(double v, bool bytes) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), bytes ? "%.4g" : "%.4g ops/s", v);
    return buf;
  }
  static std::string ratio(double r) {
    char buf[16];
    std::snprintf(buf, sizeof(buf), "%.3f", r);
    return buf;
  }
  std::map<std::string, std::map<std::string, Cell>> rows_;
  std::vector<std::string> order_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_table();
  benchmark::Shutdown();
  return 0;
}
