// qlc version, hash and hmac, and the digest and HMAC algorithms of qlc speed.
#include <algorithm>
#include <cstring>
#include <iostream>

#include "qlc.h"

namespace qlc {
namespace {

constexpr size_t kChunk = 64 * 1024;

struct Digest {
  const char *name;
  int32_t hash_id;
  int32_t mac_id;
};
constexpr Digest kDigests[] = {
    {"has160", QL_HASH_HAS160, QL_HMAC_HAS160}, {"sha1", QL_HASH_SHA1, QL_HMAC_SHA1},
    {"sha256", QL_HASH_SHA256, QL_HMAC_SHA256}, {"sha384", QL_HASH_SHA384, QL_HMAC_SHA384},
    {"sha512", QL_HASH_SHA512, QL_HMAC_SHA512},
};

// The digest named `name` ("sha256"; "hmac-sha256" is accepted too).
const Digest &find_digest(const Args &args, std::string name) {
  if (name.compare(0, 5, "hmac-") == 0) { name.erase(0, 5); }
  for (const Digest &d : kDigests) {
    if (name == d.name) { return d; }
  }
  args.fail("unknown digest '" + name + "' (has160, sha1, sha256, sha384, sha512)");
}

const char *state_name(int32_t state) {
  switch (state) {
    case QLC_CM_STATE_NOT_INITIALIZED:
      return "not initialised";
    case QLC_CM_STATE_NON_APPROVED:
      return "non-approved";
    case QLC_CM_STATE_APPROVED:
      return "approved";
    case QLC_CM_STATE_ERROR:
      return "error";
    case QLC_CM_STATE_FINALIZED:
      return "finalised";
    default:
      return "unknown";
  }
}

// Options shared by hash and hmac: the digest, the key (hmac only) and the files.
struct DigestJob {
  const Digest *digest = &kDigests[2];
  std::vector<uint8_t> key;
  bool have_key = false;
  std::vector<std::string> files;
  ~DigestJob() { wipe(key.data(), key.size()); }
};

void parse_digest_job(Args &args, DigestJob &job, bool keyed) {
  while (!args.done()) {
    const std::string a = args.next();
    if (a == "-a") {
      job.digest = &find_digest(args, args.value(a));
    } else if (keyed && (a == "-k" || a == "--key-file")) {
      wipe(job.key.data(), job.key.size());
      std::string text = args.value(a);
      job.key = a == "-k" ? parse_hex(text, "-k") : read_small_file(text, 4096);
      wipe(&text[0], text.size());
      job.have_key = true;
    } else if (a.size() > 1 && a[0] == '-') {
      args.fail("unknown option '" + a + "'");
    } else {
      job.files.push_back(a);
    }
  }
  if (keyed && !job.have_key) { args.fail("a key is needed: -k HEX or --key-file F"); }
  if (job.files.empty()) { job.files.push_back("-"); }
}

// Runs `one` on every file; a file that cannot be read is reported and skipped, as sha256sum
// does, and makes the exit code 1. Module failures end the command.
template <typename F>
int for_each_file(const Args &args, const DigestJob &job, F one) {
  int status = 0;
  for (const std::string &file : job.files) {
    try {
      Input in(file);
      const std::string mac = one(in);
      std::cout << mac << "  " << file << "\n";
    } catch (const IoError &e) {
      std::cout.flush();
      std::cerr << "qlc " << args.command() << ": " << e.message << "\n";
      status = kExitFailure;
    }
  }
  std::cout.flush();
  if (!std::cout) { throw IoError{"standard output: write failed"}; }
  return status;
}

}  // namespace

int cmd_version(Args &args) {
  if (!args.done()) { args.fail("unexpected argument '" + args.peek() + "'"); }
  std::cout << "QuillonCrypto " << QL_GetVersion(0) << "\n";
  const int32_t at_load = QLC_CM_StateInfo();
  std::cout << "module state at load: " << at_load << " (" << state_name(at_load) << ")\n";
  start_module(args.non_approved());
  const int32_t now = QLC_CM_StateInfo();
  std::cout << "module state after start-up: " << now << " (" << state_name(now) << ")\n";
  return 0;
}

int cmd_hash(Args &args) {
  DigestJob job;
  parse_digest_job(args, job, false);
  start_module(args.non_approved());
  std::vector<uint8_t> buf(kChunk);
  return for_each_file(args, job, [&](Input &in) {
    QL_HASH_CTX ctx;
    std::memset(&ctx, 0, sizeof(ctx));
    check(QLC_Hash_Init(&ctx, job.digest->hash_id), "QLC_Hash_Init");
    size_t n = 0;
    while ((n = in.read_full(buf.data(), buf.size())) > 0) {
      check(QLC_Hash_Update(&ctx, buf.data(), static_cast<uint32_t>(n)), "QLC_Hash_Update");
    }
    uint8_t out[QL_HASH_MAX_DIGEST_LEN];
    uint32_t out_len = 0;
    check(QLC_Hash_Final(&ctx, out, &out_len), "QLC_Hash_Final");
    return to_hex(out, out_len);
  });
}

int cmd_hmac(Args &args) {
  DigestJob job;
  parse_digest_job(args, job, true);
  start_module(args.non_approved());
  // The record holds at most 256 key bytes; a longer key keeps its true length, so that the
  // module refuses it with its own message.
  QLC_SECRET_KEY key;
  std::memset(&key, 0, sizeof(key));
  key.algorithm = job.digest->mac_id;
  key.key_len = static_cast<uint32_t>(job.key.size());
  std::memcpy(key.key, job.key.data(), std::min(job.key.size(), sizeof(key.key)));
  std::vector<uint8_t> buf(kChunk);
  QL_HMAC_CTX ctx;
  std::memset(&ctx, 0, sizeof(ctx));
  struct Cleanup {
    QLC_SECRET_KEY &key;
    QL_HMAC_CTX &ctx;
    ~Cleanup() {
      wipe(&key, sizeof(key));
      wipe(&ctx, sizeof(ctx));
    }
  } cleanup{key, ctx};
  return for_each_file(args, job, [&](Input &in) {
    check(QLC_HMAC_Init(&ctx, &key, job.digest->mac_id), "QLC_HMAC_Init");
    size_t n = 0;
    while ((n = in.read_full(buf.data(), buf.size())) > 0) {
      check(QLC_HMAC_Update(&ctx, buf.data(), static_cast<uint32_t>(n)), "QLC_HMAC_Update");
    }
    uint8_t out[QL_HASH_MAX_DIGEST_LEN];
    uint32_t out_len = 0;
    check(QLC_HMAC_Final(&ctx, out, &out_len), "QLC_HMAC_Final");
    return to_hex(out, out_len);
  });
}

void add_digest_speed(std::vector<SpeedAlg> &algs) {
  for (const Digest &d : kDigests) {
    const int32_t id = d.hash_id;
    algs.push_back({d.name, [id](const uint8_t *in, uint32_t len) {
                      uint8_t out[QL_HASH_MAX_DIGEST_LEN];
                      uint32_t out_len = 0;
                      return QLC_Hash(out, &out_len, in, len, id);
                    }});
  }
  for (const Digest &d : kDigests) {
    const int32_t id = d.mac_id;
    algs.push_back({std::string("hmac-") + d.name, [id](const uint8_t *in, uint32_t len) {
                      QLC_SECRET_KEY key;
                      std::memset(&key, 0x5a, sizeof(key));
                      key.algorithm = id;
                      key.key_len = 32;
                      uint8_t out[QL_HASH_MAX_DIGEST_LEN];
                      uint32_t out_len = 0;
                      return QLC_HMAC(out, &out_len, in, len, &key, id);
                    }});
  }
}

}  // namespace qlc
