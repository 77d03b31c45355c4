// qlc: the module's services for a person at a shell, in the manner of the openssl command line.
// It links the shared library only and calls only the exported module services (QLC_*) and
// QL_GetVersion, as any program built on the module would.
#include "qlc.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qlc {

void check(int32_t code, const char *service) {
  if (code != 0) { throw ModuleError{service, code}; }
}

std::string Args::value(const std::string &opt) {
  if (done()) { fail("option " + opt + " needs a value"); }
  return next();
}

void Args::fail(const std::string &message) const { throw UsageError{message}; }

std::vector<uint8_t> parse_hex(const std::string &text, const char *what) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') { return c - '0'; }
    if (c >= 'a' && c <= 'f') { return c - 'a' + 10; }
    if (c >= 'A' && c <= 'F') { return c - 'A' + 10; }
    return -1;
  };
  if (text.size() % 2 != 0) {
    throw UsageError{std::string(what) + ": odd number of hex digits"};
  }
  std::vector<uint8_t> out(text.size() / 2);
  for (size_t i = 0; i < out.size(); i++) {
    const int hi = nibble(text[2 * i]);
    const int lo = nibble(text[2 * i + 1]);
    if (hi < 0 || lo < 0) { throw UsageError{std::string(what) + ": not a hex string"}; }
    out[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  return out;
}

std::string to_hex(const uint8_t *p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s(2 * n, '0');
  for (size_t i = 0; i < n; i++) {
    s[2 * i] = digits[p[i] >> 4];
    s[2 * i + 1] = digits[p[i] & 15];
  }
  return s;
}

void wipe(void *p, size_t n) {
  volatile uint8_t *v = static_cast<volatile uint8_t *>(p);
  for (size_t i = 0; i < n; i++) { v[i] = 0; }
}

std::vector<uint8_t> read_small_file(const std::string &path, size_t max_len) {
  Input in(path);
  std::vector<uint8_t> data(max_len + 1);
  const size_t n = in.read_full(data.data(), data.size());
  if (n > max_len) {
    wipe(data.data(), data.size());
    throw IoError{path + ": longer than " + std::to_string(max_len) + " bytes"};
  }
  data.resize(n);
  return data;
}

uint64_t parse_count(const Args &args, const std::string &text, const char *what, uint64_t lo,
                     uint64_t hi) {
  uint64_t v = 0;
  bool ok = !text.empty() && text.size() <= 19;
  for (char c : text) {
    if (c < '0' || c > '9') {
      ok = false;
      break;
    }
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (!ok || v < lo || v > hi) {
    args.fail(std::string(what) + " must be a number from " + std::to_string(lo) + " to " +
              std::to_string(hi) + ", not '" + text + "'");
  }
  return v;
}

static std::string system_error(const std::string &path) {
  return path + ": " + std::strerror(errno);
}

Input::Input(const std::string &path) : f_(nullptr), own_(path != "-"), name_(path) {
  if (!own_) {
    f_ = stdin;
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    return;
  }
  f_ = std::fopen(path.c_str(), "rb");
  if (f_ == nullptr) { throw IoError{system_error(path)}; }
}

Input::~Input() {
  if (own_ && f_ != nullptr) { std::fclose(f_); }
}

size_t Input::read_full(uint8_t *buf, size_t n) {
  size_t got = 0;
  while (got < n) {
    const size_t r = std::fread(buf + got, 1, n - got, f_);
    if (r == 0) {
      if (std::ferror(f_)) { throw IoError{system_error(name_)}; }
      break;
    }
    got += r;
  }
  return got;
}

Output::Output(const std::string &path) : path_(path) {
  if (path.empty() || path == "-") {
    f_ = stdout;
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return;
  }
#if defined(_WIN32)
  tmp_ = path + ".qlc-partial";
  f_ = std::fopen(tmp_.c_str(), "wb");
#else
  tmp_ = path + ".qlc-XXXXXX";
  const int fd = mkstemp(&tmp_[0]);
  f_ = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (f_ == nullptr && fd >= 0) { close(fd); }
#endif
  if (f_ == nullptr) {
    const std::string message = system_error(path);
    if (!tmp_.empty()) { std::remove(tmp_.c_str()); }
    throw IoError{message};
  }
}

Output::~Output() {
  if (f_ != nullptr && f_ != stdout) {
    std::fclose(f_);
    if (!committed_) { std::remove(tmp_.c_str()); }
  }
}

void Output::write(const uint8_t *p, size_t n) {
  if (n != 0 && std::fwrite(p, 1, n, f_) != n) { throw IoError{system_error(tmp_.empty() ? "standard output" : path_)}; }
}

void Output::commit() {
  if (std::fflush(f_) != 0 || std::ferror(f_)) {
    throw IoError{system_error(tmp_.empty() ? "standard output" : path_)};
  }
  if (f_ == stdout) { return; }
  std::FILE *f = f_;
  f_ = nullptr;
  const bool closed = std::fclose(f) == 0;
#if defined(_WIN32)
  if (closed) { std::remove(path_.c_str()); }  // rename does not replace a file here
#endif
  if (!closed || std::rename(tmp_.c_str(), path_.c_str()) != 0) {
    const std::string message = system_error(path_);
    std::remove(tmp_.c_str());
    throw IoError{message};
  }
  committed_ = true;
}

void start_module(bool non_approved) {
  check(QLC_CM_StateInit(), "QLC_CM_StateInit");
  if (non_approved) { check(QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED), "QLC_CM_StateChange"); }
}

}  // namespace qlc

namespace {

using qlc::Args;

struct Command {
  const char *name;
  int (*run)(Args &);
  const char *help;
};

const Command kCommands[] = {
    {"version", qlc::cmd_version,
     "usage: qlc version\n"
     "Prints the library version and the module state at load and after start-up.\n"},
    {"hash", qlc::cmd_hash,
     "usage: qlc hash [-a ALG] [FILE...]\n"
     "Prints the digest of each FILE (standard input when none, or for \"-\") in the format\n"
     "of sha256sum. ALG: has160, sha1, sha256 (default), sha384, sha512.\n"},
    {"hmac", qlc::cmd_hmac,
     "usage: qlc hmac [-a ALG] (-k HEX | --key-file F) [FILE...]\n"
     "Prints the HMAC of each FILE (standard input when none) under the key, one line per\n"
     "file as qlc hash does. ALG: has160, sha1, sha256 (default), sha384, sha512.\n"},
    {"enc", qlc::cmd_enc,
     "usage: qlc enc -c CIPHER [-m MODE] [-p PADDING] (-k HEX | --key-file F) [-iv HEX]\n"
     "               [-s SEGMENT] [-in F] [-out F]\n"
     "Encrypts F (standard input by default) to F (standard output by default), streaming.\n"
     "CIPHER: seed128 (or seed), seed256, aria, aes; the key length picks ARIA and AES\n"
     "variants. MODE: ecb, cbc (default), cfb, ofb, ctr. PADDING: none, zero, bit, pkcs\n"
     "(default pkcs in ecb and cbc, none otherwise). -iv: 16 bytes, the initial counter block\n"
     "in ctr. -s: bytes per step of cfb, ofb and ctr, 1 to 16 (default 16). An output file\n"
     "appears only when the whole input was encrypted.\n"},
    {"dec", qlc::cmd_dec,
     "usage: qlc dec -c CIPHER [-m MODE] [-p PADDING] (-k HEX | --key-file F) [-iv HEX]\n"
     "               [-s SEGMENT] [-in F] [-out F]\n"
     "Decrypts what qlc enc wrote with the same options and drops the padding (zero padding\n"
     "stays in the plaintext). An output file appears only when the padding checked out.\n"},
    {"rand", qlc::cmd_rand,
     "usage: qlc rand [--hex | --raw] [-out F] N\n"
     "Writes N bytes (at most 2^30) from the module random generator, as one line of hex\n"
     "(default) or raw.\n"},
    {"genkey", qlc::cmd_genkey,
     "usage: qlc genkey [-l LEN] [-out F] TYPE\n"
     "Prints a fresh key from the module's key generator in hex. TYPE: seed128, seed256,\n"
     "aria128, aria192, aria256, aes128, aes192, aes256, hmac-has160, hmac-sha1,\n"
     "hmac-sha256, hmac-sha384, hmac-sha512. -l: length of an HMAC key (default half the\n"
     "MAC length).\n"},
    {"speed", qlc::cmd_speed,
     "usage: qlc speed [-t SECONDS] [-elapsed] [ALG...]\n"
     "Measures each service through the module boundary on 16, 64, 256, 1024, 8192 and 16384\n"
     "byte inputs for SECONDS (default 1) each, one context per run, and prints thousands of\n"
     "bytes per second of user CPU time (-elapsed: of wall-clock time), as openssl speed does.\n"
     "ALG: has160 sha1 sha256 sha384 sha512 hmac-<digest> seed-cbc seed-ctr seed256-cbc\n"
     "aria-128-cbc aria-256-cbc aria-128-ctr aes-128-cbc aes-192-cbc aes-256-cbc aes-128-ctr\n"
     "(default: all that the module state admits).\n"},
};

const char kUsage[] =
    "usage: qlc [--non-approved] COMMAND [OPTIONS]\n"
    "Commands: version hash hmac enc dec rand genkey speed\n"
    "Each command takes --help. --non-approved switches the module to its non-approved\n"
    "state first (AES and SEED-256 work only there).\n"
    "Exit codes: 0 success, 1 failure (the module's message on standard error), 2 usage.\n";

}  // namespace

int main(int argc, char **argv) {
  std::vector<std::string> rest;
  bool non_approved = false;
  bool help = false;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    if (a == "--non-approved") {
      non_approved = true;
    } else if (a == "--help" || a == "-h") {
      help = true;
    } else {
      rest.push_back(a);
    }
  }
  if (rest.empty()) {
    (help ? std::cout : std::cerr) << kUsage;
    return help ? 0 : qlc::kExitUsage;
  }
  const Command *cmd = nullptr;
  for (const Command &c : kCommands) {
    if (rest[0] == c.name) { cmd = &c; }
  }
  if (cmd == nullptr) {
    std::cerr << "qlc: unknown command '" << rest[0] << "'\n" << kUsage;
    return qlc::kExitUsage;
  }
  if (help) {
    std::cout << cmd->help << "  --non-approved  run in the module's non-approved state\n";
    return 0;
  }
  rest.erase(rest.begin());
  Args args(cmd->name, std::move(rest), non_approved);
  try {
    return cmd->run(args);
  } catch (const qlc::UsageError &e) {
    std::cerr << "qlc " << cmd->name << ": " << e.message << "\n"
              << "Try 'qlc " << cmd->name << " --help'.\n";
    return qlc::kExitUsage;
  } catch (const qlc::ModuleError &e) {
    std::cerr << "qlc " << cmd->name << ": " << e.service << ": " << QLC_CM_ErrorString(e.code)
              << " (code " << e.code << ")\n";
  } catch (const qlc::IoError &e) {
    std::cerr << "qlc " << cmd->name << ": " << e.message << "\n";
  }
  return qlc::kExitFailure;
}
