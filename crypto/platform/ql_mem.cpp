// The library's one allocator, its wipe, and the allocation fault hook of test builds.
#include "internal/ql_mem.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace ql {

#if defined(QL_ALLOC_FAULTS)
namespace {
std::atomic<int64_t> g_alloc_count{0};
std::atomic<int64_t> g_alloc_fail_at{-1};
}  // namespace

namespace test {
void alloc_fail_at(int64_t n) {
  g_alloc_count.store(0);
  g_alloc_fail_at.store(n);
}
int64_t alloc_count() { return g_alloc_count.load(); }
}  // namespace test
#endif

void wipe(void *p, size_t n) {
  if (p == nullptr || n == 0) { return; }
#if defined(_WIN32)
  SecureZeroMemory(p, n);
#else
  // A plain memset, which the compiler may widen to whole-register stores; the empty statement
  // after it takes the pointer and may read any memory, so the stores can be neither dropped
  // as dead nor moved past a later free.
  std::memset(p, 0, n);
  __asm__ __volatile__("" : : "r"(p) : "memory");
#endif
}

// Not inlined, so that its frame lies below the caller's, over the frames just left.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
void burn_stack() {
  unsigned char area[4096];
  wipe(area, sizeof(area));
}

void *alloc(size_t n) {
#if defined(QL_ALLOC_FAULTS)
  if (g_alloc_count.fetch_add(1) == g_alloc_fail_at.load()) { return nullptr; }
#endif
  return std::malloc(n != 0 ? n : 1);
}

void free_wiped(void *p, size_t n) {
  if (p == nullptr) { return; }
  wipe(p, n);
  std::free(p);
}

Buffer::Buffer(size_t n) : p_(static_cast<uint8_t *>(alloc(n))), n_(n) {
  if (p_ != nullptr) { std::memset(p_, 0, n_); }
}

}  // namespace ql
