// The entropy pool: 512 bytes into which system facts, the system generator's bytes and the
// output of a fixed list of system commands are XOR-accumulated. It is rebuilt from scratch
// each time the hash pool generator re-seeds; every OS call goes through the platform layer.
#include <cstring>

#include "QuillonCrypto.h"
#include "internal/ql_bytes.h"
#include "internal/ql_mem.h"
#include "platform/ql_platform.h"
#include "rand/ql_rand.h"

namespace ql {
namespace {

constexpr uint32_t kPoolLen = 512;
constexpr size_t kPipeChunk = 512;
constexpr size_t kSystemRandomLen = 128;

// Commands whose output varies from moment to moment; an empty slot ends the list. A command
// missing on the host contributes nothing.
constexpr char cmd_list[8][64] = {
    "netstat -anv 2> /dev/null", "ls -alni /var/log 2> /dev/null", "ps -efly 2> /dev/null",
    "ls -alni /proc 2> /dev/null", "last -100 2> /dev/null", "ls -alni /var/adm 2> /dev/null",
    "who -a 2> /dev/null", ""};

// A 32-bit value as the four bytes of its memory image.
void append_word(QL_ENTROPY_POOL *pool, uint32_t v) {
  uint8_t b[4];
  std::memcpy(b, &v, sizeof(b));
  QL_Append_Entropy(pool, b, sizeof(b));
}

}  // namespace
}  // namespace ql

void QL_Append_Entropy(QL_ENTROPY_POOL *pool, const uint8_t *data, uint32_t n) {
  if (pool == nullptr || data == nullptr) { return; }
  pool->count = (n >= ql::kPoolLen || pool->count + n >= ql::kPoolLen) ? ql::kPoolLen
                                                                       : pool->count + n;
  uint32_t pos = pool->position % ql::kPoolLen;
  for (uint32_t i = 0; i < n; i++) {
    pool->pool[pos] ^= data[i];
    pos = (pos + 1) % ql::kPoolLen;
  }
  pool->position = pos;
}

// Exported functions.

void QL_Generate_Entropy(QL_ENTROPY_POOL *pool) {
  if (pool == nullptr) { return; }
  namespace platform = ql::platform;
  ql::wipe(pool, sizeof(*pool));
  ql::append_word(pool, platform::time_seconds());
  ql::append_word(pool, platform::processor_clock());
  ql::append_word(pool, platform::process_id());
  ql::append_word(pool, platform::user_id());
  ql::append_word(pool, platform::group_id());
  {
    ql::Wiped<uint8_t[platform::kSystemIdentityMax]> id;
    const size_t n = platform::system_identity(id.get());
    QL_Append_Entropy(pool, id.get(), static_cast<uint32_t>(n));
  }
  {
    ql::Wiped<uint8_t[ql::kSystemRandomLen]> rnd;
    const size_t n = platform::system_random(rnd.get(), sizeof(rnd.get()));
    QL_Append_Entropy(pool, rnd.get(), static_cast<uint32_t>(n));
  }
  QL_Extra_UNIX_Entropy_Gather(pool);
}

int32_t QL_Extra_UNIX_Entropy_Gather(QL_ENTROPY_POOL *pool) {
  // All commands start at once and run side by side; their output is still read and
  // appended one command after the other, in list order.
  constexpr size_t kNumCommands = sizeof(ql::cmd_list) / sizeof(ql::cmd_list[0]);
  ql::platform::CommandPipe pipes[kNumCommands];
  for (size_t i = 0; i < kNumCommands && ql::cmd_list[i][0] != '\0'; i++) {
    pipes[i].open(ql::cmd_list[i]);
  }
  ql::Wiped<uint8_t[ql::kPipeChunk]> buf;
  for (auto &pipe : pipes) {
    // Each piece is appended whole: the bytes read, zero-filled behind them.
    while (pipe.read(buf.get(), ql::kPipeChunk) > 0) {
      QL_Append_Entropy(pool, buf.get(), ql::kPipeChunk);
      ql::wipe(buf.get(), ql::kPipeChunk);
    }
  }
  return 0;
}
