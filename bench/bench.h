// The rows of ql_bench. A row times one operation of ours against one peer operation
// (normally OpenSSL's fastest interface for the same work), the two sides in interleaved
// pairs; a row without a peer times our side alone. Each bench_*.cpp adds its family's rows.
#ifndef QL_BENCH_BENCH_H
#define QL_BENCH_BENCH_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// The time base of a row. CPU time of the process is the default: it does not count the time
// the shared machine gives to other processes. It does not count child processes either, so
// anything that runs the entropy commands is timed on the wall clock.
enum class Clock { kCpu, kWall };

// Runs the operation `n` times; false when a call failed.
using Runner = std::function<bool(uint64_t n)>;

struct Row {
  std::string name;  // group/primitive/.../size/path, unique; the table's first column
  Clock clock;       // the time base of both sides
  uint64_t bytes;    // bytes per operation; 0: the rate is in operations per second
  std::string peer;  // the peer's interface, one word; "none:<why>" when there is no peer
  std::function<Runner()> ours;    // prepares our side (outside the timing)
  std::function<Runner()> theirs;  // prepares the peer side; empty without a peer
  int module_state = 0;            // the module state our side needs (QLC_CM_STATE_*); 0: any
};

// Holds `p` and frees it with `f` when the last runner that captured it goes.
template <typename T, typename F>
std::shared_ptr<T> hold(T *p, F f) {
  return std::shared_ptr<T>(p, f);
}

// A runner that calls `f` (one operation, true on success) the number of times asked.
template <typename F>
Runner loop(F f) {
  return [f](uint64_t count) mutable {
    for (uint64_t i = 0; i < count; i++) {
      if (!f()) {
        return false;
      }
    }
    return true;
  };
}

// A deterministic test message of `n` bytes.
std::vector<uint8_t> message(size_t n);

// The families, added in this order (the table's order).
void add_cipher_rows(std::vector<Row> &rows);
void add_digest_rows(std::vector<Row> &rows);
void add_big_rows(std::vector<Row> &rows);
void add_rand_rows(std::vector<Row> &rows);
void add_pk_rows(std::vector<Row> &rows);
void add_kcdsa_rows(std::vector<Row> &rows);

}  // namespace bench

#endif  // QL_BENCH_BENCH_H
