// The module state machine: the process-wide state, its internal transition, the approval
// gates of each algorithm family, the context stamp check and the exit rule that every
// module service applies to its result.
#ifndef QL_CMVP_H
#define QL_CMVP_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "internal/ql_status.h"

namespace ql {

// The module state, one word for the process. Loads and stores are relaxed: the state is
// lock-free by design, and atomic only so that concurrent services are free of data races.
extern std::atomic<int32_t> g_cmvp_state_id;

inline int32_t cmvp_state() { return g_cmvp_state_id.load(std::memory_order_relaxed); }

// The exit rule of a service: 0 and ordinary codes pass through; a code in critical form moves
// the module to its error state and is returned with bit 30 set again.
Status exit_rule(Status r);

// Shared body of the three context checks. A null `ctx` gives `null_code`; a `stamp` that is
// not the current state zeroes the `ctx_len` bytes of the caller's context and gives
// `stale_code`; otherwise the result of the state gate without an identifier check.
Status check_ctx_stamp(void *ctx, size_t ctx_len, uint32_t stamp, Status null_code,
                       Status stale_code);

#if defined(QL_TEST_HOOKS)
namespace test {
// Puts any value into the module state, so tests can start from every state.
void set_state(int32_t state);
}  // namespace test
#endif

}  // namespace ql

// An approval check: 0 when the identifier is approved, else the family's code.
typedef int32_t (*QLC_ApprovalCheck)(int32_t id);

// The module's own transition; see the table in the unit.
int32_t QLC_CMVP_MoveState(int32_t new_state);

// The state gate: 0 in state 3; in state 5 the result of `check` (0 when `check` is null);
// -6061 in state 1, -6065 in state 11 and -6066 otherwise.
int32_t QLC_State_CheckAlgID(int32_t id, QLC_ApprovalCheck check);

// The gates of the six families: QLC_State_CheckAlgID with the family's approval check.
int32_t QLC_State_CheckSYMID(int32_t id);
int32_t QLC_State_CheckHashID(int32_t id);
int32_t QLC_State_CheckMacID(int32_t id);
int32_t QLC_State_CheckPKeyID(int32_t id);
int32_t QLC_State_CheckPEncID(int32_t id);
int32_t QLC_State_CheckSignID(int32_t id);

// The approval checks of the six families, applied in the approved state.
int32_t QLC_CMVP_State_CheckSYMID(int32_t id);
int32_t QLC_CMVP_State_CheckHashID(int32_t id);
int32_t QLC_CMVP_State_CheckHMacID(int32_t id);
int32_t QLC_CMVP_State_CheckASYMID(int32_t id);
int32_t QLC_CMVP_State_CheckASYMEncID(int32_t id);
int32_t QLC_CMVP_State_CheckSignID(int32_t id);

// The context checks of the digest and HMAC services: -6144 (-6146) for a null `ctx`; a `ctx`
// stamped in another state is zeroed whole and gives -6145 (-6147); otherwise the state gate
// without an identifier check.
int32_t QLC_State_CheckHashCtxState(QL_HASH_CTX *ctx);
int32_t QLC_State_CheckHmacCtxState(QL_HMAC_CTX *ctx);
// The context check of the symmetric services: -6142 for a null `ctx`; a stamp that is not
// the current state zeroes the whole record and gives -6143; otherwise the state gate.
int32_t QLC_State_CheckSymCtxState(QL_SYM_CTX *ctx);

#endif  // QL_CMVP_H
