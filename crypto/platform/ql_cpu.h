// The processor features the hardware paths need, detected once on first use, and the test
// hook that narrows them so every implementation runs through the same suites.
#ifndef QL_CPU_H
#define QL_CPU_H

#include <atomic>
#include <cstdint>

// QL_X86_ACCEL is 1 where the build includes the hardware units of crypto/x86 (x86-64 with GCC
// or Clang), 0 elsewhere; the build system defines it.
#if !defined(QL_X86_ACCEL)
#error "QL_X86_ACCEL must be defined by the build"
#endif

namespace ql {
namespace cpu {

// Feature bits; each names a whole implementation, including what it needs besides.
constexpr uint32_t kAesNi = 1u << 0;  // AES-NI with SSSE3 and SSE4.1
constexpr uint32_t kShaNi = 1u << 1;  // SHA extensions with SSSE3 and SSE4.1
constexpr uint32_t kAvx2 = 1u << 2;   // AVX2 with the OS saving the YMM registers
constexpr uint32_t kVaes = 1u << 3;   // VAES on 256-bit registers, with AVX2 and AES-NI
constexpr uint32_t kBmi2 = 1u << 4;   // BMI2 (RORX and friends)
constexpr uint32_t kMulx = 1u << 5;   // BMI2 with ADX: MULX, ADCX and ADOX
// AVX-512 F and IFMA (VPMADD52LUQ/HUQ) with the OS saving the opmask and 512-bit state.
constexpr uint32_t kIfma = 1u << 6;
constexpr uint32_t kAllFeatures = kAesNi | kShaNi | kAvx2 | kVaes | kBmi2 | kMulx | kIfma;

// The features of this processor the library may use: detected on the first call (a relaxed
// atomic; concurrent first calls compute the same value), 0 where no hardware unit is built.
uint32_t features();

inline bool has(uint32_t f) { return (features() & f) == f; }

#if defined(QL_TEST_HOOKS)
// Counts the calls of test::set_cpu_mask, so that choices made under another mask are made
// again; read inline, since every choice reads it on every use.
extern std::atomic<uint32_t> g_mask_generation;
inline uint32_t mask_generation() { return g_mask_generation.load(std::memory_order_relaxed); }
#endif

// The implementation a unit takes on this processor: `choose` runs on first use (it alone
// asks has()), and its answer is kept for the process. `choose` depends only on features(),
// so racing first calls store the same pointer, and a relaxed atomic suffices. Constant-
// initialised, so nothing runs at load time.
template <typename T>
class Choice {
 public:
  constexpr explicit Choice(const T *(*choose)()) : choose_(choose) {}
  Choice(const Choice &) = delete;
  Choice &operator=(const Choice &) = delete;

  const T &get() {
    const T *p = chosen_.load(std::memory_order_relaxed);
#if defined(QL_TEST_HOOKS)
    const uint32_t g = mask_generation();
    if (p == nullptr || generation_.load(std::memory_order_relaxed) != g) {
      p = choose_();
      generation_.store(g, std::memory_order_relaxed);
      chosen_.store(p, std::memory_order_relaxed);
    }
#else
    if (p == nullptr) {
      p = choose_();
      chosen_.store(p, std::memory_order_relaxed);
    }
#endif
    return *p;
  }

 private:
  const T *(*choose_)();
  std::atomic<const T *> chosen_{nullptr};
#if defined(QL_TEST_HOOKS)
  std::atomic<uint32_t> generation_{0};
#endif
};

}  // namespace cpu

#if defined(QL_TEST_HOOKS)
namespace test {
// What the processor offers, before any mask.
uint32_t cpu_detected();
// Restricts cpu::features() to `mask` (cpu::kAllFeatures lifts the restriction). A process
// can also start restricted: the environment variable QL_TEST_CPU_MASK holds the mask in
// hexadecimal ("0" runs the portable code only).
void set_cpu_mask(uint32_t mask);
}  // namespace test
#endif

}  // namespace ql

#endif  // QL_CPU_H
