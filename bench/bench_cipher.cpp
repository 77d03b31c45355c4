// Block ciphers: one whole message per call, key schedule included, at 16, 64, 1024 and 16384
// bytes, through the dispatcher (QL_SYM_Encrypt/QL_SYM_Decrypt) and through the module
// (QLC_SYM_Encrypt/QLC_SYM_Decrypt). The peer is OpenSSL's EVP interface doing the same work
// on a context prepared once: per message EVP_CipherInit_ex2 with the key and IV (no cipher,
// so the prepared implementation is re-keyed, not looked up), EVP_CipherUpdate and
// EVP_CipherFinal_ex. SEED needs OpenSSL's legacy provider; OpenSSL has no SEED-CTR and no
// SEED-256, whose rows time ours alone.
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstring>

#include "QuillonCrypto.h"
#include "bench.h"

namespace bench {
namespace {

struct Cipher {
  const char *name;
  int32_t id;
  uint32_t key_len;
  const char *ossl_prefix;  // nullptr: no OpenSSL counterpart
};

constexpr Cipher kCiphers[] = {
    {"AES-128", QL_SYM_AES, 16, "AES-128-"},    {"AES-192", QL_SYM_AES, 24, "AES-192-"},
    {"AES-256", QL_SYM_AES, 32, "AES-256-"},    {"ARIA-128", QL_SYM_ARIA, 16, "ARIA-128-"},
    {"ARIA-256", QL_SYM_ARIA, 32, "ARIA-256-"}, {"SEED-128", QL_SYM_SEED128, 16, "SEED-"},
    {"SEED-256", QL_SYM_SEED256, 32, nullptr},
};

struct Op {
  const char *name;
  uint32_t mode;
  const char *ossl_mode;
  bool decrypt;
};

constexpr Op kOps[] = {
    {"ECB-enc", QL_SYM_MODE_ECB, "ECB", false}, {"CBC-enc", QL_SYM_MODE_CBC, "CBC", false},
    {"CTR-enc", QL_SYM_MODE_CTR, "CTR", false}, {"CBC-dec", QL_SYM_MODE_CBC, "CBC", true},
    {"CFB-dec", QL_SYM_MODE_CFB, "CFB", true},
};

constexpr uint32_t kSizes[] = {16, 64, 1024, 16384};

// The state of one side: message, output room, key and parameters.
struct Buffers {
  std::vector<uint8_t> in, out, key;
  QL_SYM_PARAM param;
  QLC_SECRET_KEY secret;
  Buffers(const Cipher &c, const Op &op, uint32_t len)
      : in(message(len)), out(len + 16), key(c.key_len, 0x5A) {
    std::memset(&param, 0, sizeof(param));
    param.mode = op.mode;
    std::memset(param.iv, 0x11, 16);
    param.ivLength = 16;
    param.segmentLength = 16;
    param.padding = QL_SYM_PAD_NONE;
    std::memset(&secret, 0, sizeof(secret));
    secret.algorithm = c.id;
    secret.key_len = c.key_len;
    std::memcpy(secret.key, key.data(), c.key_len);
  }
};

Runner dispatcher(const Cipher &c, const Op &op, uint32_t len) {
  auto b = std::make_shared<Buffers>(c, op, len);
  return [b, c, op, len](uint64_t n) {
    for (uint64_t i = 0; i < n; i++) {
      uint32_t out_len = 0;
      const int32_t s = op.decrypt
                            ? QL_SYM_Decrypt(&b->param, b->out.data(), &out_len, b->in.data(), len,
                                             b->key.data(), c.key_len, c.id)
                            : QL_SYM_Encrypt(&b->param, b->out.data(), &out_len, b->in.data(), len,
                                             b->key.data(), c.key_len, c.id);
      if (s != 0 || out_len != len) {
        return false;
      }
    }
    return true;
  };
}

Runner module(const Cipher &c, const Op &op, uint32_t len) {
  auto b = std::make_shared<Buffers>(c, op, len);
  return [b, c, op, len](uint64_t n) {
    for (uint64_t i = 0; i < n; i++) {
      uint32_t out_len = 0;
      const int32_t s = op.decrypt ? QLC_SYM_Decrypt(b->out.data(), &out_len, b->in.data(), len,
                                                     &b->secret, c.id, &b->param)
                                   : QLC_SYM_Encrypt(b->out.data(), &out_len, b->in.data(), len,
                                                     &b->secret, c.id, &b->param);
      if (s != 0 || out_len != len) {
        return false;
      }
    }
    return true;
  };
}

Runner openssl(const Cipher &c, const Op &op, uint32_t len) {
  static OSSL_PROVIDER *const def = OSSL_PROVIDER_load(nullptr, "default");
  static OSSL_PROVIDER *const legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  (void)def;
  (void)legacy;
  const std::string name = std::string(c.ossl_prefix) + op.ossl_mode;
  auto cipher = hold(EVP_CIPHER_fetch(nullptr, name.c_str(), nullptr), EVP_CIPHER_free);
  auto ctx = hold(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  auto b = std::make_shared<Buffers>(c, op, len);
  const int enc = op.decrypt ? 0 : 1;
  if (!cipher || !ctx ||
      EVP_CipherInit_ex2(ctx.get(), cipher.get(), b->key.data(), b->param.iv, enc, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1) {
    return {};
  }
  return [cipher, ctx, b, enc, len](uint64_t n) {
    for (uint64_t i = 0; i < n; i++) {
      int n1 = 0, n2 = 0;
      if (EVP_CipherInit_ex2(ctx.get(), nullptr, b->key.data(), b->param.iv, enc, nullptr) != 1 ||
          EVP_CipherUpdate(ctx.get(), b->out.data(), &n1, b->in.data(), static_cast<int>(len)) !=
              1 ||
          EVP_CipherFinal_ex(ctx.get(), b->out.data() + n1, &n2) != 1 ||
          static_cast<uint32_t>(n1 + n2) != len) {
        return false;
      }
    }
    return true;
  };
}

}  // namespace

void add_cipher_rows(std::vector<Row> &rows) {
  for (const Cipher &c : kCiphers) {
    for (const Op &op : kOps) {
      const bool peer =
          c.ossl_prefix != nullptr && !(c.id == QL_SYM_SEED128 && op.mode == QL_SYM_MODE_CTR);
      const std::string none = c.ossl_prefix == nullptr
                                   ? std::string("none:OpenSSL-has-no-") + c.name
                                   : std::string("none:OpenSSL-has-no-SEED-CTR");
      // The approved state refuses AES and SEED-256.
      const int state = c.id == QL_SYM_AES || c.id == QL_SYM_SEED256 ? QLC_CM_STATE_NON_APPROVED
                                                                     : QLC_CM_STATE_APPROVED;
      for (uint32_t len : kSizes) {
        const std::string base =
            std::string("cipher/") + c.name + "/" + op.name + "/" + std::to_string(len) + "/";
        std::function<Runner()> theirs;
        if (peer) {
          theirs = [c, op, len] { return openssl(c, op, len); };
        }
        rows.push_back({base + "dispatcher", Clock::kCpu, len,
                        peer ? "EVP_CipherInit_ex2+Update+Final" : none,
                        [c, op, len] { return dispatcher(c, op, len); }, theirs});
        rows.push_back({base + "module", Clock::kCpu, len,
                        peer ? "EVP_CipherInit_ex2+Update+Final" : none,
                        [c, op, len] { return module(c, op, len); }, theirs, state});
      }
    }
  }
}

}  // namespace bench
