// CPU feature detection through cpuid and xgetbv on x86-64; nothing on other processors.
// The result lives in one atomic word with a "detected" bit, so nothing runs at load time and
// no lock is taken: racing first calls store the same value.
#include "platform/ql_cpu.h"

#include <atomic>
#include <cstdlib>

#if QL_X86_ACCEL
#include <cpuid.h>
#endif

namespace ql {
namespace {

constexpr uint32_t kDetected = 1u << 31;

std::atomic<uint32_t> g_features{0};
#if defined(QL_TEST_HOOKS)
std::atomic<uint32_t> g_mask{cpu::kAllFeatures};
#endif

#if QL_X86_ACCEL
// XCR0: which register states the OS saves on a context switch.
uint64_t read_xcr0() {
  uint32_t lo = 0;
  uint32_t hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (uint64_t{hi} << 32) | lo;
}

uint32_t detect() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) {
    return 0;
  }
  const bool ssse3 = (c >> 9) & 1;
  const bool sse41 = (c >> 19) & 1;
  const bool aes = (c >> 25) & 1;
  const bool osxsave = (c >> 27) & 1;
  const bool avx = (c >> 28) & 1;
  unsigned b7 = 0, c7 = 0;
  if (__get_cpuid_max(0, nullptr) >= 7) {
    unsigned a7 = 0, d7 = 0;
    __cpuid_count(7, 0, a7, b7, c7, d7);
  }
  const bool avx2 = (b7 >> 5) & 1;
  const bool sha = (b7 >> 29) & 1;
  const bool vaes = (c7 >> 9) & 1;
  const bool bmi2 = (b7 >> 8) & 1;
  const bool adx = (b7 >> 19) & 1;
  const bool avx512f = (b7 >> 16) & 1;
  const bool avx512ifma = (b7 >> 21) & 1;
  const uint64_t xcr0 = osxsave ? read_xcr0() : 0;
  const bool ymm_saved = osxsave && avx && (xcr0 & 6) == 6;
  // XMM, YMM, the opmask registers, the upper halves of ZMM0-15 and ZMM16-31.
  const bool zmm_saved = ymm_saved && (xcr0 & 0xE6) == 0xE6;
  uint32_t f = 0;
  if (aes && ssse3 && sse41) {
    f |= cpu::kAesNi;
  }
  if (sha && ssse3 && sse41) {
    f |= cpu::kShaNi;
  }
  if (avx2 && ymm_saved) {
    f |= cpu::kAvx2;
  }
  if (bmi2) {
    f |= cpu::kBmi2;
  }
  if (bmi2 && adx) {
    f |= cpu::kMulx;
  }
  if (avx512f && avx512ifma && zmm_saved) {
    f |= cpu::kIfma;
  }
  if (vaes && avx2 && ymm_saved && (f & cpu::kAesNi) != 0) {
    f |= cpu::kVaes;
  }
  return f;
}
#else
uint32_t detect() { return 0; }
#endif

uint32_t detected() {
  uint32_t v = g_features.load(std::memory_order_relaxed);
  if ((v & kDetected) == 0) {
#if defined(QL_TEST_HOOKS)
    // A process started for one implementation only; read once, before the detection is
    // published.
    if (const char *m = std::getenv("QL_TEST_CPU_MASK")) {
      g_mask.store(static_cast<uint32_t>(std::strtoul(m, nullptr, 16)), std::memory_order_relaxed);
    }
#endif
    v = detect() | kDetected;
    g_features.store(v, std::memory_order_relaxed);
  }
  return v & ~kDetected;
}

}  // namespace

uint32_t cpu::features() {
#if defined(QL_TEST_HOOKS)
  const uint32_t v = detected();
  return v & g_mask.load(std::memory_order_relaxed);
#else
  return detected();
#endif
}

#if defined(QL_TEST_HOOKS)
std::atomic<uint32_t> cpu::g_mask_generation{1};
uint32_t test::cpu_detected() { return detected(); }
void test::set_cpu_mask(uint32_t mask) {
  detected();  // the environment's mask, if any, is read first and overridden here
  g_mask.store(mask, std::memory_order_relaxed);
  cpu::g_mask_generation.fetch_add(1, std::memory_order_relaxed);
}
#endif

}  // namespace ql
