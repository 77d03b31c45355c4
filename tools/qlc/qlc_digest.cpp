// qlc version, list, hash and hmac, and the digest and HMAC algorithms of qlc speed.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "qlc.h"

namespace qlc {
namespace {

constexpr size_t kChunk = 64 * 1024;

constexpr Digest kDigests[] = {
    {"has160", QL_HASH_HAS160, QL_HMAC_HAS160, 20, 64},
    {"sha1", QL_HASH_SHA1, QL_HMAC_SHA1, 20, 64},
    {"sha256", QL_HASH_SHA256, QL_HMAC_SHA256, 32, 64},
    {"sha384", QL_HASH_SHA384, QL_HMAC_SHA384, 48, 128},
    {"sha512", QL_HASH_SHA512, QL_HMAC_SHA512, 64, 128},
};

}  // namespace

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

namespace {

// Options shared by hash and hmac: the digest, the key (hmac only), check mode (hash only)
// and the files.
struct DigestJob {
  const Digest *digest = &kDigests[2];
  std::vector<uint8_t> key;
  bool check = false;
  bool quiet = false;
  bool status = false;
  std::vector<std::string> files;
  ~DigestJob() { wipe(key.data(), key.size()); }
};

void parse_digest_job(Args &args, DigestJob &job, bool keyed) {
  std::string key_file;
  bool raw = false, have_key = false;
  while (!args.done()) {
    const std::string a = args.next();
    if (!args.is_option(a)) {
      job.files.push_back(a);
      continue;
    }
    if (keyed && (a == "-k" || a == "--key-file")) {
      if (have_key) { args.fail("a key given twice (-k or --key-file once)"); }
      have_key = true;
    } else {
      args.once(a);
    }
    if (a == "-a") {
      job.digest = &find_digest(args, args.value(a));
    } else if (keyed && a == "-k") {
      std::string text = args.value(a);
      job.key = parse_hex(text, "-k");
      wipe(&text[0], text.size());
    } else if (keyed && a == "--key-file") {
      key_file = args.value(a);
    } else if (keyed && a == "--raw") {
      raw = true;
    } else if (!keyed && a == "-c") {
      job.check = true;
    } else if (!keyed && (a == "--quiet" || a == "--status")) {
      (a == "--quiet" ? job.quiet : job.status) = true;
    } else {
      args.fail("unknown option '" + a + "'");
    }
  }
  if (keyed) {
    if (raw && key_file.empty()) { args.fail("--raw applies to --key-file only"); }
    if (!have_key) { args.fail("a key is needed: -k HEX or --key-file F"); }
    if (!key_file.empty()) { job.key = read_key_file(key_file, raw); }
  }
  if ((job.quiet || job.status) && !job.check) {
    args.fail("--quiet and --status apply to -c only");
  }
  if (job.files.empty()) { job.files.push_back("-"); }
}

// A file name as sha256sum prints it: with a backslash, a line feed or a carriage return
// the name is escaped and the line starts with a backslash.
bool escape_name(const std::string &name, std::string &out) {
  out.clear();
  bool escaped = false;
  for (char c : name) {
    if (c == '\\' || c == '\n' || c == '\r') {
      out += '\\';
      out += c == '\\' ? '\\' : c == '\n' ? 'n' : 'r';
      escaped = true;
    } else {
      out += c;
    }
  }
  return escaped;
}

// Undoes escape_name; false for an escape sequence sha256sum does not write.
bool unescape_name(const std::string &in, std::string &out) {
  out.clear();
  for (size_t i = 0; i < in.size(); i++) {
    if (in[i] != '\\') {
      out += in[i];
      continue;
    }
    if (++i == in.size()) { return false; }
    switch (in[i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return false;
    }
  }
  return true;
}

void report(const Args &args, const IoError &e) {
  std::cout.flush();
  std::cerr << "qlc " << args.command() << ": " << e.message << "\n";
}

void check_stdout() {
  errno = 0;
  std::cout.flush();
  if (!std::cout) {
    throw IoError{std::string("standard output: ") +
                  (errno != 0 ? std::strerror(errno) : "write error")};
  }
}

// Runs `one` on every file; a file that cannot be read is reported and skipped, as sha256sum
// does, and makes the exit code 1. Module failures end the command.
template <typename F>
int for_each_file(const Args &args, const DigestJob &job, F one) {
  int status = 0;
  std::string shown;
  for (const std::string &file : job.files) {
    try {
      Input in(file);
      const std::string mac = one(in);
      const bool escaped = escape_name(file, shown);
      std::cout << (escaped ? "\\" : "") << mac << "  " << shown << "\n";
    } catch (const IoError &e) {
      report(args, e);
      status = kExitFailure;
    }
  }
  check_stdout();
  return status;
}

// The check mode of hash: every line "DIGEST  NAME" (or "DIGEST *NAME") of each sums file is
// checked, with sha256sum's messages and exit status.
template <typename F>
int check_sums(const Args &args, const DigestJob &job, F one) {
  uint64_t bad_lines = 0, mismatches = 0, unreadable = 0;
  bool empty_list = false;
  std::string line, name, shown;
  for (const std::string &sums : job.files) {
    uint64_t checked = 0, bad_here = 0;
    try {
      Input list(sums);
      bool more = true;
      while (more) {
        line.clear();
        uint8_t c = 0;
        while ((more = list.read_full(&c, 1) == 1) && c != '\n') { line += static_cast<char>(c); }
        if (line.empty() && !more) { break; }
        if (!line.empty() && line.back() == '\r') { line.pop_back(); }
        const bool escaped = !line.empty() && line[0] == '\\';
        const std::string body = escaped ? line.substr(1) : line;
        const size_t hex_len = 2 * job.digest->digest_len;
        bool ok = body.size() > hex_len + 2 && body[hex_len] == ' ' &&
                  (body[hex_len + 1] == ' ' || body[hex_len + 1] == '*');
        for (size_t i = 0; ok && i < hex_len; i++) {
          ok = std::isxdigit(static_cast<unsigned char>(body[i])) != 0;
        }
        if (ok) {
          const std::string raw_name = body.substr(hex_len + 2);
          ok = escaped ? unescape_name(raw_name, name) : (name = raw_name, true);
        }
        if (!ok) {
          bad_here++;
          continue;
        }
        checked++;
        const bool show_escaped = name.find('\n') != std::string::npos;
        if (show_escaped) {
          escape_name(name, shown);
        } else {
          shown = name;
        }
        const char *prefix = show_escaped ? "\\" : "";
        std::string got;
        try {
          Input in(name);
          got = one(in);
        } catch (const IoError &e) {
          report(args, e);
          unreadable++;
          if (!job.status) { std::cout << prefix << shown << ": FAILED open or read\n"; }
          continue;
        }
        std::string want = body.substr(0, hex_len);
        for (char &ch : want) {
          ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        if (got != want) {
          mismatches++;
          if (!job.status) { std::cout << prefix << shown << ": FAILED\n"; }
        } else if (!job.quiet && !job.status) {
          std::cout << prefix << shown << ": OK\n";
        }
      }
      if (checked == 0) {
        std::cerr << "qlc " << args.command() << ": " << list.name()
                  << ": no properly formatted checksum lines found\n";
        empty_list = true;
      } else {
        bad_lines += bad_here;
      }
    } catch (const IoError &e) {
      report(args, e);
      unreadable++;
    }
  }
  check_stdout();
  auto warn = [&](uint64_t n, const char *one_text, const char *many_text) {
    if (n != 0 && !job.status) {
      std::cerr << "qlc " << args.command() << ": WARNING: " << n << " "
                << (n == 1 ? one_text : many_text) << "\n";
    }
  };
  warn(bad_lines, "line is improperly formatted", "lines are improperly formatted");
  warn(unreadable, "listed file could not be read", "listed files could not be read");
  warn(mismatches, "computed checksum did NOT match", "computed checksums did NOT match");
  return empty_list || bad_lines + mismatches + unreadable != 0 ? kExitFailure : 0;
}

}  // namespace

const Digest &find_digest(const Args &args, std::string name) {
  if (name.size() > 5 && same_name(name.substr(0, 5), "hmac-")) { name.erase(0, 5); }
  for (const Digest &d : kDigests) {
    if (same_name(name, d.name)) { return d; }
  }
  args.fail("unknown digest '" + name + "' (has160, sha1, sha256, sha384, sha512)");
}

const Digest &digest_by_mac(int32_t mac_id) {
  for (const Digest &d : kDigests) {
    if (d.mac_id == mac_id) { return d; }
  }
  return kDigests[2];
}

void fill_mac_key(QLC_SECRET_KEY &key, const Digest &d, const uint8_t *bytes, size_t len) {
  std::memset(&key, 0, sizeof(key));
  key.algorithm = d.mac_id;
  if (len <= sizeof(key.key)) {
    std::memcpy(key.key, bytes, len);
    key.key_len = static_cast<uint32_t>(len);
    return;
  }
  // Longer than the record: the digest of the key is the key HMAC uses anyway.
  QL_HASH_CTX ctx;
  std::memset(&ctx, 0, sizeof(ctx));
  struct WipeCtx {
    QL_HASH_CTX &c;
    ~WipeCtx() { wipe(&c, sizeof(c)); }
  } wipe_ctx{ctx};
  check(QLC_Hash_Init(&ctx, d.hash_id), "QLC_Hash_Init");
  while (len > 0) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(len, 1u << 30));
    check(QLC_Hash_Update(&ctx, bytes, n), "QLC_Hash_Update");
    bytes += n;
    len -= n;
  }
  uint32_t out_len = 0;
  check(QLC_Hash_Final(&ctx, key.key, &out_len), "QLC_Hash_Final");
  key.key_len = out_len;
}

void list_digests() {
  std::cout << "Digests (qlc hash -a, qlc hmac -a):\n";
  for (const Digest &d : kDigests) {
    std::cout << "  " << d.name << "  " << 8 * d.digest_len << "-bit digest\n";
  }
  std::cout << "HMACs (qlc hmac, qlc genkey):\n";
  for (const Digest &d : kDigests) {
    std::cout << "  hmac-" << d.name << "  keys of any length; genkey " << d.digest_len / 2
              << " to " << d.block_len << " bytes\n";
  }
}

int cmd_version(Args &args) {
  if (!args.done()) { args.fail("unexpected argument '" + args.peek() + "'"); }
  std::cout << "QuillonCrypto " << QL_GetVersion(0) << "\n";
  const int32_t at_load = QLC_CM_StateInfo();
  std::cout << "module state at load: " << at_load << " (" << state_name(at_load) << ")\n";
  start_module(args.non_approved());
  const int32_t now = QLC_CM_StateInfo();
  std::cout << "module state after start-up: " << now << " (" << state_name(now) << ")\n";
  std::cout << "library file signature: " << library_signature() << "\n";
  return 0;
}

int cmd_list(Args &args) {
  if (!args.done()) { args.fail("unexpected argument '" + args.peek() + "'"); }
  list_digests();
  list_ciphers();
  list_pkey();
  return 0;
}

int cmd_hash(Args &args) {
  DigestJob job;
  parse_digest_job(args, job, false);
  start_module(args.non_approved());
  std::vector<uint8_t> buf(kChunk);
  auto one = [&](Input &in) {
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
  };
  return job.check ? check_sums(args, job, one) : for_each_file(args, job, one);
}

int cmd_hmac(Args &args) {
  DigestJob job;
  parse_digest_job(args, job, true);
  start_module(args.non_approved());
  QLC_SECRET_KEY key;
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
  fill_mac_key(key, *job.digest, job.key.data(), job.key.size());
  std::vector<uint8_t> buf(kChunk);
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

}  // namespace qlc
