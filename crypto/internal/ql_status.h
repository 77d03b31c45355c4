// Status codes and the critical form. A status is a signed 32-bit value: 0 for success,
// a negative code otherwise. Every ordinary code has bit 30 set; a lower layer marks a failure
// that must stop the module by clearing that bit, and only the module boundary acts on it.
#ifndef QL_INTERNAL_STATUS_H
#define QL_INTERNAL_STATUS_H

#include <cstdint>

namespace ql {

using Status = int32_t;

constexpr Status kOk = 0;
constexpr uint32_t kCriticalBit = 0x40000000u;

// The code `s` in critical form: bit 30 cleared.
constexpr Status critical(Status s) {
  return static_cast<Status>(static_cast<uint32_t>(s) & ~kCriticalBit);
}
// True for any non-zero status whose bit 30 is clear, whatever produced it.
constexpr bool is_critical(Status s) {
  return s != kOk && (static_cast<uint32_t>(s) & kCriticalBit) == 0;
}
// The ordinary form of `s`: bit 30 set again.
constexpr Status uncritical(Status s) {
  return static_cast<Status>(static_cast<uint32_t>(s) | kCriticalBit);
}

static_assert(critical(-6085) == static_cast<Status>(0xBFFFE83Bu), "critical form");
static_assert(uncritical(critical(-6085)) == -6085, "critical form round trip");

// The named codes, each with its message in ql_codes.inc.
#define QL_CODE(name, value, message) constexpr Status name = value;
#include "internal/ql_codes.inc"

}  // namespace ql

// Returns the status of `expr` from the enclosing function unless it is success.
#define QL_TRY(expr)                          \
  do {                                        \
    const ::ql::Status ql_s_ = (expr);        \
    if (ql_s_ != ::ql::kOk) { return ql_s_; } \
  } while (false)

#endif  // QL_INTERNAL_STATUS_H
