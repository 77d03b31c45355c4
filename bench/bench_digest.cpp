// Digests and HMAC at 16, 64, 1024 and 16384 bytes, one whole message per call, through the
// dispatcher (QL_Hash, QL_HMAC) and through the module (QLC_Hash, QLC_HMAC). The peers do the
// same work on OpenSSL objects fetched and allocated once: a digest is EVP_DigestInit_ex2,
// EVP_DigestUpdate and EVP_DigestFinal_ex on one context; an HMAC is EVP_MAC_init with the
// key (as our calls take the key per message), EVP_MAC_update and EVP_MAC_final on one HMAC
// context whose digest was set once, not the one-shot HMAC() that looks its implementation
// up on every call. OpenSSL has no HAS-160; those rows time ours alone.
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <cstring>

#include "QuillonCrypto.h"
#include "bench.h"

namespace bench {
namespace {

struct Digest {
  const char *name;
  int32_t hash_id;
  int32_t mac_id;
  const char *ossl;  // nullptr: no OpenSSL counterpart
};

constexpr Digest kDigests[] = {
    {"HAS-160", QL_HASH_HAS160, QL_HMAC_HAS160, nullptr},
    {"SHA-1", QL_HASH_SHA1, QL_HMAC_SHA1, "SHA1"},
    {"SHA-256", QL_HASH_SHA256, QL_HMAC_SHA256, "SHA256"},
    {"SHA-384", QL_HASH_SHA384, QL_HMAC_SHA384, "SHA384"},
    {"SHA-512", QL_HASH_SHA512, QL_HMAC_SHA512, "SHA512"},
};

constexpr uint32_t kSizes[] = {16, 64, 1024, 16384};
constexpr uint32_t kKeyLen = 32;

Runner hash_dispatcher(int32_t id, uint32_t len) {
  auto m = std::make_shared<std::vector<uint8_t>>(message(len));
  return [m, id, len](uint64_t n) {
    uint8_t out[QL_HASH_MAX_DIGEST_LEN];
    for (uint64_t i = 0; i < n; i++) {
      uint32_t out_len = 0;
      if (QL_Hash(out, &out_len, m->data(), len, id) != 0) {
        return false;
      }
    }
    return true;
  };
}

Runner hash_module(int32_t id, uint32_t len) {
  auto m = std::make_shared<std::vector<uint8_t>>(message(len));
  return [m, id, len](uint64_t n) {
    uint8_t out[QL_HASH_MAX_DIGEST_LEN];
    for (uint64_t i = 0; i < n; i++) {
      uint32_t out_len = 0;
      if (QLC_Hash(out, &out_len, m->data(), len, id) != 0) {
        return false;
      }
    }
    return true;
  };
}

Runner hash_openssl(const char *name, uint32_t len) {
  auto m = std::make_shared<std::vector<uint8_t>>(message(len));
  auto md = hold(EVP_MD_fetch(nullptr, name, nullptr), EVP_MD_free);
  auto ctx = hold(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!md || !ctx) {
    return {};
  }
  return [m, md, ctx, len](uint64_t n) {
    uint8_t out[EVP_MAX_MD_SIZE];
    for (uint64_t i = 0; i < n; i++) {
      unsigned int out_len = 0;
      if (EVP_DigestInit_ex2(ctx.get(), md.get(), nullptr) != 1 ||
          EVP_DigestUpdate(ctx.get(), m->data(), len) != 1 ||
          EVP_DigestFinal_ex(ctx.get(), out, &out_len) != 1) {
        return false;
      }
    }
    return true;
  };
}

Runner hmac_dispatcher(int32_t id, uint32_t len) {
  auto m = std::make_shared<std::vector<uint8_t>>(message(len));
  auto key = std::make_shared<std::vector<uint8_t>>(message(kKeyLen));
  return [m, key, id, len](uint64_t n) {
    uint8_t out[QL_HASH_MAX_DIGEST_LEN];
    for (uint64_t i = 0; i < n; i++) {
      uint32_t out_len = 0;
      if (QL_HMAC(out, &out_len, m->data(), len, key->data(), kKeyLen, id) != 0) {
        return false;
      }
    }
    return true;
  };
}

Runner hmac_module(int32_t id, uint32_t len) {
  auto m = std::make_shared<std::vector<uint8_t>>(message(len));
  auto key = std::make_shared<QLC_SECRET_KEY>();
  std::memset(key.get(), 0, sizeof(QLC_SECRET_KEY));
  key->algorithm = id;
  key->key_len = kKeyLen;
  std::memcpy(key->key, message(kKeyLen).data(), kKeyLen);
  return [m, key, id, len](uint64_t n) {
    uint8_t out[QL_HASH_MAX_DIGEST_LEN];
    for (uint64_t i = 0; i < n; i++) {
      uint32_t out_len = 0;
      if (QLC_HMAC(out, &out_len, m->data(), len, key.get(), id) != 0) {
        return false;
      }
    }
    return true;
  };
}

Runner hmac_openssl(const char *name, uint32_t len) {
  auto m = std::make_shared<std::vector<uint8_t>>(message(len));
  auto key = std::make_shared<std::vector<uint8_t>>(message(kKeyLen));
  auto mac = hold(EVP_MAC_fetch(nullptr, "HMAC", nullptr), EVP_MAC_free);
  if (!mac) {
    return {};
  }
  auto ctx = hold(EVP_MAC_CTX_new(mac.get()), EVP_MAC_CTX_free);
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char *>(name), 0),
      OSSL_PARAM_construct_end()};
  if (!ctx || EVP_MAC_CTX_set_params(ctx.get(), params) != 1) {
    return {};
  }
  return [m, key, mac, ctx, len](uint64_t n) {
    uint8_t out[EVP_MAX_MD_SIZE];
    for (uint64_t i = 0; i < n; i++) {
      size_t out_len = 0;
      if (EVP_MAC_init(ctx.get(), key->data(), kKeyLen, nullptr) != 1 ||
          EVP_MAC_update(ctx.get(), m->data(), len) != 1 ||
          EVP_MAC_final(ctx.get(), out, &out_len, sizeof(out)) != 1) {
        return false;
      }
    }
    return true;
  };
}

}  // namespace

namespace {

// The dispatcher and module rows of one family (digests or HMACs) at every digest and size.
void add_family(std::vector<Row> &rows, const char *family, bool mac, const char *peer_name,
                Runner (*dispatcher)(int32_t, uint32_t), Runner (*module)(int32_t, uint32_t),
                Runner (*openssl)(const char *, uint32_t)) {
  for (const Digest &d : kDigests) {
    for (uint32_t len : kSizes) {
      const std::string base = std::string(family) + "/" + d.name + "/" + std::to_string(len) + "/";
      const char *ossl = d.ossl;
      std::function<Runner()> theirs;
      if (ossl != nullptr) {
        theirs = [openssl, ossl, len] { return openssl(ossl, len); };
      }
      const std::string peer = ossl ? peer_name : "none:OpenSSL-has-no-HAS-160";
      const int32_t id = mac ? d.mac_id : d.hash_id;
      rows.push_back({base + "dispatcher", Clock::kCpu, len, peer,
                      [dispatcher, id, len] { return dispatcher(id, len); }, theirs});
      rows.push_back({base + "module", Clock::kCpu, len, peer,
                      [module, id, len] { return module(id, len); }, theirs,
                      QLC_CM_STATE_APPROVED});
    }
  }
}

}  // namespace

void add_digest_rows(std::vector<Row> &rows) {
  add_family(rows, "digest", false, "EVP_DigestInit_ex2+Update+Final", hash_dispatcher, hash_module,
             hash_openssl);
  add_family(rows, "hmac", true, "EVP_MAC_init(key)+update+final", hmac_dispatcher, hmac_module,
             hmac_openssl);
}

}  // namespace bench
