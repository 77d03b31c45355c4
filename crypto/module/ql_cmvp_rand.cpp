// The module generator: one X9.62 generator for the process behind its own lock, re-seeded
// from the hash pool generator before every 20-byte output block, with a continuous test
// that puts the module into its error state when two consecutive blocks agree.
#include <atomic>
#include <cstring>
#include "platform/ql_platform.h"

#include "QuillonCrypto.h"
#include "internal/ql_ct.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "module/ql_cmvp.h"
#include "rand/ql_rand.h"

namespace ql {
namespace {

constexpr uint32_t kSeedLen = 20;
constexpr uint32_t kCompareLen = 20;
constexpr uint32_t kBlockBuf = 48;

// All guarded by g_cmvp_rand_mutex; the init flag is also read before taking it.
QL_X962_CTX g_cmvp_rand_ctx;
std::atomic<int32_t> g_cmvp_rand_init{0};
platform::Mutex g_cmvp_rand_mutex;
uint8_t g_cmvp_rand_compare[kCompareLen];
int32_t g_cmvp_rand_compare_init = 0;
#if defined(QL_TEST_HOOKS)
std::atomic<bool> g_repeat_next_block{false};
#endif

// The implicit first initialisation: fixed q, random keys. The lock is held, so two threads
// that arrive first at the same moment key the generator once.
void ensure_init_locked() {
  if (g_cmvp_rand_init.load() != 0) { return; }
  Wiped<Big> q;
  U8ToBig(q.ptr(), kX962DefaultQ, sizeof(kX962DefaultQ));
  g_cmvp_rand_init.store(1);
  x962_init_random(&g_cmvp_rand_ctx, q.get());
}

// Replaces the generator's seed by 20 fresh bytes that differ from the current seed.
void fresh_seed_locked(bool must_differ) {
  Wiped<uint8_t[kSeedLen]> seed;
  do {
    QL_RandomBytes(seed.get(), kSeedLen);
  } while (must_differ && std::memcmp(seed.get(), g_cmvp_rand_ctx.xseed, kSeedLen) == 0);
  Big_X962_Update(&g_cmvp_rand_ctx, seed.get(), kSeedLen);
}

// One output value as its minimal big-endian bytes at the start of a zeroed 48-byte block;
// returns the byte length through `len`.
Status next_block_locked(uint8_t block[kBlockBuf], uint32_t &len) {
  Wiped<Big> w;
  QL_TRY(Big_X962_Random(&g_cmvp_rand_ctx, w.ptr()));
  wipe(block, kBlockBuf);
  len = static_cast<uint32_t>(BigToU8(block, w.ptr()));
  return kOk;
}

}  // namespace

#if defined(QL_TEST_HOOKS)
namespace test {
void cmvp_rand_repeat_next_block() { g_repeat_next_block.store(true); }
}  // namespace test
#endif

}  // namespace ql

// Exported functions.

int32_t QL_CMVP_RAND_Init(const uint8_t *q_bytes, uint32_t q_len, const uint8_t *xkey,
                          uint32_t xkey_len, const uint8_t *xseed, uint32_t xseed_len) {
  if (ql::g_cmvp_rand_init.load() != 0 && xkey == nullptr && xseed == nullptr) {
    return ql::kErrCmvpRandReinit;
  }
  ql::Wiped<Big> q;
  if (q_bytes != nullptr) {
    QL_TRY(U8ToBig(q.ptr(), q_bytes, q_len));
  } else {
    U8ToBig(q.ptr(), ql::kX962DefaultQ, sizeof(ql::kX962DefaultQ));
  }
  ql::platform::LockGuard lock(ql::g_cmvp_rand_mutex);
  ql::g_cmvp_rand_init.store(1);
  if (xkey == nullptr || xseed == nullptr) {
    return ql::x962_init_random(&ql::g_cmvp_rand_ctx, q.get());
  }
  return Big_X962_Init(&ql::g_cmvp_rand_ctx, q.ptr(), xkey, xkey_len, xseed, xseed_len);
}

int32_t QL_CMVP_RAND_Update(const uint8_t *, uint32_t) {
  ql::platform::LockGuard lock(ql::g_cmvp_rand_mutex);
  ql::ensure_init_locked();
  ql::fresh_seed_locked(false);
  return ql::kOk;
}

int32_t QL_CMVP_RAND_GetRandom(uint8_t *out, uint32_t n) {
  ql::platform::LockGuard lock(ql::g_cmvp_rand_mutex);
  ql::ensure_init_locked();
  ql::Wiped<uint8_t[ql::kBlockBuf]> block;
  uint32_t len = 0;
  if (ql::g_cmvp_rand_compare_init == 0) {
    // The first block only starts the continuous test; it is never handed out.
    QL_TRY(ql::next_block_locked(block.get(), len));
    std::memcpy(ql::g_cmvp_rand_compare, block.get(), ql::kCompareLen);
    ql::g_cmvp_rand_compare_init = 1;
  }
  ql::fresh_seed_locked(false);
  uint32_t produced = 0;
  while (produced < n) {
    ql::fresh_seed_locked(true);
    QL_TRY(ql::next_block_locked(block.get(), len));
#if defined(QL_TEST_HOOKS)
    if (ql::g_repeat_next_block.exchange(false)) {
      std::memcpy(block.get(), ql::g_cmvp_rand_compare, ql::kCompareLen);
    }
#endif
    if (ql::ct::bytes_eq(block.get(), ql::g_cmvp_rand_compare, ql::kCompareLen) != 0) {
      QLC_CMVP_MoveState(QLC_CM_STATE_ERROR);
      return ql::kErrCmvpRandRepeat;
    }
    std::memcpy(ql::g_cmvp_rand_compare, block.get(), ql::kCompareLen);
    const uint32_t take = len < n - produced ? len : n - produced;
    std::memcpy(out + produced, block.get(), take);
    produced += len;
  }
  return ql::kOk;
}

int32_t QL_CMVP_RAND_Final(void) {
  ql::platform::LockGuard lock(ql::g_cmvp_rand_mutex);
  if (ql::g_cmvp_rand_init.load() != 0) { Big_X962_Final(&ql::g_cmvp_rand_ctx); }
  return ql::kOk;
}

void QL_CMVP_RAND_LockMutex(void) { ql::g_cmvp_rand_mutex.lock(); }

void QL_CMVP_RAND_UnlockMutex(void) { ql::g_cmvp_rand_mutex.unlock(); }
