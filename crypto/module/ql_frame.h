// The frame every module service runs in: the state step, the family gate or context check
// (done by the service), private copies of the caller's records, wiped and freed on every
// path, the caller's context after the call as the service's policy says, and the exit rule
// that turns a critical result into the error state.
#ifndef QL_FRAME_H
#define QL_FRAME_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "module/ql_cmvp.h"

namespace ql {

// A private context from the boundary's allocator, deleted (wiped and freed) with the scope.
template <typename T, T *(*kNew)(), void (*kDelete)(T *)>
class PrivateCtx {
 public:
  PrivateCtx() : p_(kNew()) {}
  ~PrivateCtx() { kDelete(p_); }
  PrivateCtx(const PrivateCtx &) = delete;
  PrivateCtx &operator=(const PrivateCtx &) = delete;
  explicit operator bool() const { return p_ != nullptr; }
  T *get() const { return p_; }

 private:
  T *p_;
};

// Runs `work` inside the module: the state step first, the exit rule on its result.
template <typename Work>
Status service(Work work) {
  QL_TRY(QLC_CM_StateInit());
  return exit_rule(work());
}

// What becomes of the caller's context after `op` ran on the private copy.
enum class AfterCall {
  kWriteBack,  // the copy replaces it when `op` succeeded (Update)
  kKeep,       // it keeps its running state (a digest's Final)
  kWipe,       // it is zeroed whatever `op` returned: the call ends it
};

// The frame of an Update or Final: context check, private copy of the caller's context, `op`
// on the copy, then the caller's context as `after` says.
template <typename S, typename Op>
Status on_private_copy(typename S::Ctx *ctx, Status alloc_code, AfterCall after, Op op) {
  return service([&]() -> Status {
    QL_TRY(S::check(ctx));
    const typename S::Private priv;
    if (!priv) {
      return critical(alloc_code);
    }
    QL_TRY(S::copy(priv.get(), ctx));
    const Status r = op(*priv.get());
    if (after == AfterCall::kWipe) {
      wipe(ctx, sizeof(*ctx));
    }
    QL_TRY(r);
    return after == AfterCall::kWriteBack ? S::copy(ctx, priv.get()) : kOk;
  });
}

// Writes the current state into the stamp of an initialised private context and copies it
// into the caller's.
template <typename S>
Status stamp_and_copy_out(typename S::Ctx *ctx, typename S::Ctx *priv) {
  priv->state_stamp = static_cast<uint32_t>(cmvp_state());
  return S::copy(ctx, priv);
}

}  // namespace ql

#endif  // QL_FRAME_H
