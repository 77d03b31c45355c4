// Shared pieces of the fuzz targets: a reader that takes parameters off the front of the
// input, and the check that stops the run on a broken invariant (a crash is what the fuzzer
// and the replay test report).
#ifndef QL_FUZZ_H
#define QL_FUZZ_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define QL_FUZZ_CHECK(cond)                                                          \
  do {                                                                               \
    if (!(cond)) {                                                                   \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                  \
    }                                                                                \
  } while (false)

namespace ql_fuzz {

// Takes bytes off the front of the input; past its end every read gives zeros.
class Reader {
 public:
  Reader(const uint8_t *data, size_t size) : p_(data), n_(size) {}
  uint8_t byte() {
    if (n_ == 0) { return 0; }
    n_--;
    return *p_++;
  }
  uint32_t u16() { return static_cast<uint32_t>(byte()) << 8 | byte(); }
  void bytes(uint8_t *out, size_t len) {
    for (size_t i = 0; i < len; i++) { out[i] = byte(); }
  }
  // The rest of the input.
  const uint8_t *rest() const { return p_; }
  size_t rest_len() const { return n_; }

 private:
  const uint8_t *p_;
  size_t n_;
};

}  // namespace ql_fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

#endif  // QL_FUZZ_H
