// The module state machine. The state is one process-wide word; services enter through
// QLC_CM_StateInit and a family gate, and leave through the exit rule, which is the only place
// where a critical failure moves the module to its error state.
#include "module/ql_cmvp.h"

#include "QuillonCrypto.h"
#include "digest/ql_digest.h"
#include "internal/ql_mem.h"
#include "sym/ql_cipher.h"

namespace ql {

std::atomic<int32_t> g_cmvp_state_id{QLC_CM_STATE_NOT_INITIALIZED};

namespace {

void set_state(int32_t s) { g_cmvp_state_id.store(s, std::memory_order_relaxed); }

}  // namespace

Status exit_rule(Status r) {
  if (!is_critical(r)) {
    return r;
  }
  QLC_CMVP_MoveState(QLC_CM_STATE_ERROR);
  return uncritical(r);
}

Status check_ctx_stamp(void *ctx, size_t ctx_len, uint32_t stamp, Status null_code,
                       Status stale_code) {
  if (ctx == nullptr) {
    return null_code;
  }
  if (stamp != static_cast<uint32_t>(cmvp_state())) {
    wipe(ctx, ctx_len);
    return stale_code;
  }
  return QLC_State_CheckAlgID(0, nullptr);
}

#if defined(QL_TEST_HOOKS)
namespace test {
void set_state(int32_t state) { ql::set_state(state); }
}  // namespace test
#endif

}  // namespace ql

using ql::cmvp_state;

int32_t QLC_CMVP_MoveState(int32_t new_state) {
  // Targets compare as unsigned, so a negative target is simply an unknown one.
  const uint32_t t = static_cast<uint32_t>(new_state);
  switch (cmvp_state()) {
    case QLC_CM_STATE_NOT_INITIALIZED:
      if (t == 1 || t == 5 || t == 9) {
        break;
      }
      return (t == 3 || t == 11) ? ql::kErrStateNotAllowed : ql::kErrStateUnknown;
    case QLC_CM_STATE_NON_APPROVED:
    case QLC_CM_STATE_APPROVED:
      if (t == 3 || t == 5 || t == 9 || t == 11) {
        break;
      }
      return t == 1 ? ql::kErrStateNotAllowed : ql::kErrStateUnknown;
    case QLC_CM_STATE_ERROR:
      if (t == 9 || t == 11) {
        ql::set_state(new_state);
        return ql::kErrMoveFromError;
      }
      return (t == 1 || t == 3 || t == 5) ? ql::kErrStateNotAllowed : ql::kErrStateUnknown;
    case QLC_CM_STATE_FINALIZED:
      return ql::kErrFinalized;
    default:
      return ql::kOk;
  }
  ql::set_state(new_state);
  return ql::kOk;
}

int32_t QLC_State_CheckAlgID(int32_t id, QLC_ApprovalCheck check) {
  switch (cmvp_state()) {
    case QLC_CM_STATE_NON_APPROVED:
      return ql::kOk;
    case QLC_CM_STATE_APPROVED:
      return check == nullptr ? ql::kOk : check(id);
    case QLC_CM_STATE_NOT_INITIALIZED:
      return ql::kErrNotInitialized;
    case QLC_CM_STATE_FINALIZED:
      return ql::kErrFinalized;
    default:
      return ql::kErrErrorState;
  }
}

int32_t QLC_CMVP_State_CheckSYMID(int32_t id) {
  const ql::CipherDesc *cipher = ql::cipher_of(id);
  if (cipher == nullptr) {
    return ql::kErrSymIdUnknown;
  }
  return cipher->approved ? ql::kOk : ql::kErrSymIdUnsupported;
}

int32_t QLC_CMVP_State_CheckHashID(int32_t id) {
  const ql::DigestDesc *digest = ql::digest_of(id);
  return digest != nullptr && digest->approved ? ql::kOk : ql::kErrHashIdUnsupported;
}

int32_t QLC_CMVP_State_CheckHMacID(int32_t id) {
  const ql::DigestDesc *digest =
      (static_cast<uint32_t>(id) & ~0xFFu) == 0x100u ? ql::digest_of(id & 0xFF) : nullptr;
  return digest != nullptr && digest->hmac_approved ? ql::kOk : ql::kErrHmacIdUnsupported;
}

int32_t QLC_CMVP_State_CheckASYMID(int32_t id) {
  return (id == 1 || id == 5 || id == 12) ? ql::kOk : ql::kErrPKeyIdUnsupported;
}

int32_t QLC_CMVP_State_CheckASYMEncID(int32_t id) {
  switch (id) {
    case 3:   // RSAES-OAEP
    case 12:  // approved here; the dispatcher refuses it itself
      return ql::kOk;
    case 1:  // RSAES-PKCS1-v1_5
    case 13:
    case 14:
      return ql::kErrPEncIdUnsupported;
    default:
      return ql::kErrPEncIdUnknown;
  }
}

int32_t QLC_CMVP_State_CheckSignID(int32_t id) {
  switch (id) {
    case 3:
    case 4:
    case 11:
    case 16:
    case 17:
    case 18:
    case 21:
    case 32:
      return ql::kOk;
    default:
      return ql::kErrSignIdUnsupported;
  }
}

int32_t QLC_State_CheckSYMID(int32_t id) {
  return QLC_State_CheckAlgID(id, QLC_CMVP_State_CheckSYMID);
}
int32_t QLC_State_CheckHashID(int32_t id) {
  return QLC_State_CheckAlgID(id, QLC_CMVP_State_CheckHashID);
}
int32_t QLC_State_CheckMacID(int32_t id) {
  return QLC_State_CheckAlgID(id, QLC_CMVP_State_CheckHMacID);
}
int32_t QLC_State_CheckPKeyID(int32_t id) {
  return QLC_State_CheckAlgID(id, QLC_CMVP_State_CheckASYMID);
}
int32_t QLC_State_CheckPEncID(int32_t id) {
  return QLC_State_CheckAlgID(id, QLC_CMVP_State_CheckASYMEncID);
}
int32_t QLC_State_CheckSignID(int32_t id) {
  return QLC_State_CheckAlgID(id, QLC_CMVP_State_CheckSignID);
}

int32_t QLC_State_CheckHashCtxState(QL_HASH_CTX *ctx) {
  return ql::check_ctx_stamp(ctx, sizeof(QL_HASH_CTX), ctx == nullptr ? 0 : ctx->state_stamp,
                             ql::kErrHashCtxNull, ql::kErrHashCtxStale);
}
int32_t QLC_State_CheckHmacCtxState(QL_HMAC_CTX *ctx) {
  return ql::check_ctx_stamp(ctx, sizeof(QL_HMAC_CTX), ctx == nullptr ? 0 : ctx->state_stamp,
                             ql::kErrHmacCtxNull, ql::kErrHmacCtxStale);
}

// Exported functions.

int32_t QLC_CM_StateInit(void) {
  switch (cmvp_state()) {
    case QLC_CM_STATE_NOT_INITIALIZED:
      // The module enters the approved state on first use, self-tests run or not.
      QLC_CMVP_MoveState(QLC_CM_STATE_APPROVED);
      return ql::kOk;
    case QLC_CM_STATE_NON_APPROVED:
    case QLC_CM_STATE_APPROVED:
      return ql::kOk;
    case QLC_CM_STATE_FINALIZED:
      return ql::kErrFinalized;
    default:
      return ql::kErrErrorState;
  }
}

int32_t QLC_CM_StateFinal(void) {
  // The module generator's state is wiped whatever the outcome of the transition.
  QL_CMVP_RAND_Final();
  return QLC_CMVP_MoveState(QLC_CM_STATE_FINALIZED);
}

int32_t QLC_CM_StateChange(int32_t new_state) {
  switch (cmvp_state()) {
    case QLC_CM_STATE_NOT_INITIALIZED:
      return ql::kErrNotInitialized;
    case QLC_CM_STATE_NON_APPROVED:
    case QLC_CM_STATE_APPROVED:
      if (new_state == 3 || new_state == 5 || new_state == 11) {
        ql::set_state(new_state);
        return ql::kOk;
      }
      return (new_state == 1 || new_state == 9) ? ql::kErrStateNotAllowed : ql::kErrStateUnknown;
    case QLC_CM_STATE_ERROR:
      if (new_state == QLC_CM_STATE_FINALIZED) {
        ql::set_state(new_state);
        return ql::kOk;
      }
      return ql::kErrErrorState;
    case QLC_CM_STATE_FINALIZED:
      return ql::kErrFinalized;
    default:
      return ql::kErrErrorState;
  }
}

int32_t QLC_CM_StateInfo(void) { return cmvp_state(); }

int32_t QLC_State_CheckSymCtxState(QL_SYM_CTX *ctx) {
  if (ctx == nullptr) {
    return ql::kErrSymCtxNull;
  }
  return ql::check_ctx_stamp(ctx, sizeof(*ctx), ctx->stateStamp, ql::kErrSymCtxNull,
                             ql::kErrSymCtxStale);
}
