// The descriptor of a block cipher: what the symmetric dispatcher and the module boundary need
// to know of it, and the code it runs on this processor. Each cipher's unit defines its
// descriptor; the dispatcher finds it by identifier in one table. Adding a cipher means a unit
// with its descriptor and one entry in that table.
#ifndef QL_CIPHER_H
#define QL_CIPHER_H

#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"
#include "internal/ql_status.h"
#include "platform/ql_cpu.h"
#include "sym/ql_aria.h"
#include "sym/ql_block_modes.h"

namespace ql {

constexpr int kEncrypt = 0;
constexpr int kDecrypt = 1;

// A block function on four big-endian words, in place, with the key schedule it needs; the
// engine uses it for segments shorter than a block, which always encrypt.
using BlockFn = void (*)(const void *key, uint32_t s[4]);

// The whole-block run of mode `mode` (1 to 5, checked by the caller) in direction `dir`.
inline modes::Run run_of(uint32_t mode, int dir) {
  constexpr modes::Run runs[][2] = {
      {modes::Run::kEcbEncrypt, modes::Run::kEcbDecrypt},
      {modes::Run::kCbcEncrypt, modes::Run::kCbcDecrypt},
      {modes::Run::kCfbEncrypt, modes::Run::kCfbDecrypt},
      {modes::Run::kOfb, modes::Run::kOfb},
      {modes::Run::kCtr, modes::Run::kCtr},
  };
  return runs[mode - QL_SYM_MODE_ECB][dir];
}

// The code one cipher runs on this processor, chosen once per process.
struct CipherPath {
  // Runs what it can of `len` bytes (whole units of the record's mode) with many blocks in
  // flight and returns how many bytes it did, from the start; the engine does the rest. Null
  // where the cipher has no such path here.
  size_t (*fast)(QL_SYM_CTX &ctx, uint8_t *out, const uint8_t *in, size_t len, int dir);
  // Runs `blocks` whole blocks of `op`, keeping the running IV or counter in `iv`.
  void (*whole)(const QL_SYM_CTX &ctx, modes::Run op, uint8_t iv[16], uint8_t *out,
                const uint8_t *in, size_t blocks);
  // The encrypting block function and the schedule to pass it; `aria` is room for ARIA's
  // round keys as words, which the caller wipes.
  BlockFn (*block)(const QL_SYM_CTX &ctx, AriaWords &aria, const void *&key);
};

struct CipherDesc {
  int32_t id;
  // The dispatcher's key-length rule: minimum and maximum (a key longer than a schedule
  // needs is cut), with the default and step that QL_SYM_GetInfo reports.
  uint32_t block_len, default_key_len, min_key_len, max_key_len, key_len_step;
  // The exact key lengths the module boundary accepts, zero-terminated.
  uint32_t module_key_lens[4];
  // Whether the module accepts the cipher in its approved state.
  bool approved;
  // Expands `key` into the record's schedule for direction `dir`.
  Status (*make_key)(QL_SYM_CTX &ctx, const uint8_t *key, uint32_t key_len, int dir);
  // Whether the record's schedule is one this cipher can have made (bounds every read of it).
  bool (*schedule_ok)(const QL_SYM_CTX &ctx);
  // The path this processor takes, chosen on first use.
  const CipherPath &(*path)();
};

extern const CipherDesc aes_cipher;
extern const CipherDesc seed128_cipher;
extern const CipherDesc seed256_cipher;
extern const CipherDesc aria_cipher;

// The descriptor of cipher `id`, or null for an unknown identifier. Inline: every engine call
// and every gate asks it.
inline const CipherDesc *cipher_of(int32_t id) {
  constexpr const CipherDesc *ciphers[] = {nullptr, &aes_cipher, &seed128_cipher, &seed256_cipher,
                                           &aria_cipher};
  constexpr int32_t kCount = sizeof(ciphers) / sizeof(ciphers[0]);
  return id > 0 && id < kCount ? ciphers[id] : nullptr;
}

// Whether the module boundary accepts `key_len` bytes for the cipher.
inline bool module_key_len_ok(const CipherDesc &c, uint32_t key_len) {
  for (const uint32_t n : c.module_key_lens) {
    if (n != 0 && n == key_len) {
      return true;
    }
  }
  return false;
}

}  // namespace ql

#endif  // QL_CIPHER_H
