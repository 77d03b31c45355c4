// qlc: the module's services for a person at a shell, in the manner of the openssl command line.
// It links the shared library only and calls only the exported module services (QLC_*),
// QL_GetVersion, the state-neutral QL_CMVP_IntegrityCheck and the exported encoders and decoders
// of key records (QL_ASYM_*_Encode and _Decode), as any program built on the module would.
#include "qlc.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qlc {

void check(int32_t code, const char *service) {
  if (code != 0) { throw ModuleError{service, code}; }
}

bool Args::done() {
  if (!ended_ && pos_ < args_.size() && args_[pos_] == "--") {
    ended_ = true;
    pos_++;
  }
  return pos_ >= args_.size();
}

std::string Args::value(const std::string &opt) {
  if (pos_ >= args_.size()) { fail("option " + opt + " needs a value"); }
  return next();
}

void Args::once(const std::string &opt) {
  for (const std::string &s : seen_) {
    if (s == opt) { fail("option " + opt + " given twice"); }
  }
  seen_.push_back(opt);
}

void Args::fail(const std::string &message) const { throw UsageError{message}; }

bool same_name(const std::string &a, const char *b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) { return false; }
  for (size_t i = 0; i < n; i++) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') { c = static_cast<char>(c - 'A' + 'a'); }
    if (c != b[i]) { return false; }
  }
  return true;
}

static int hex_nibble(char c) {
  if (c >= '0' && c <= '9') { return c - '0'; }
  if (c >= 'a' && c <= 'f') { return c - 'a' + 10; }
  if (c >= 'A' && c <= 'F') { return c - 'A' + 10; }
  return -1;
}

std::vector<uint8_t> parse_hex(const std::string &text, const char *what) {
  if (text.size() % 2 != 0) {
    throw UsageError{std::string(what) + ": odd number of hex digits"};
  }
  std::vector<uint8_t> out(text.size() / 2);
  for (size_t i = 0; i < out.size(); i++) {
    const int hi = hex_nibble(text[2 * i]);
    const int lo = hex_nibble(text[2 * i + 1]);
    if (hi < 0 || lo < 0) {
      wipe(out.data(), out.size());
      throw UsageError{std::string(what) + ": not a hex string"};
    }
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

std::vector<uint8_t> read_key_file(const std::string &path, bool raw) {
  std::vector<uint8_t> data = read_small_file(path, 64 * 1024);
  // Hex text: hex digits, then at most a line end (CR LF or LF) and nothing else.
  size_t digits = 0;
  while (digits < data.size() && hex_nibble(static_cast<char>(data[digits])) >= 0) { digits++; }
  size_t end = digits;
  if (end < data.size() && data[end] == '\r') { end++; }
  if (end < data.size() && data[end] == '\n') { end++; }
  const bool hex_text = digits > 0 && digits % 2 == 0 && end == data.size();
  if (raw) {
    if (hex_text && digits < data.size()) {
      wipe(data.data(), data.size());
      throw IoError{path + ": a hex key file, not a binary one (drop --raw)"};
    }
    if (data.empty()) { throw IoError{path + ": empty key file"}; }
    return data;
  }
  if (!hex_text) {
    wipe(data.data(), data.size());
    throw IoError{path + ": not a hex key file as qlc genkey writes (a binary key needs --raw)"};
  }
  std::string text(reinterpret_cast<const char *>(data.data()), digits);
  wipe(data.data(), data.size());
  std::vector<uint8_t> key = parse_hex(text, path.c_str());
  wipe(&text[0], text.size());
  return key;
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

static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64_value(int c) {
  if (c >= 'A' && c <= 'Z') { return c - 'A'; }
  if (c >= 'a' && c <= 'z') { return c - 'a' + 26; }
  if (c >= '0' && c <= '9') { return c - '0' + 52; }
  if (c == '+') { return 62; }
  if (c == '/') { return 63; }
  return -1;
}

std::string to_base64(const uint8_t *p, size_t n) {
  std::string s;
  s.reserve((n + 2) / 3 * 4);
  for (size_t i = 0; i < n; i += 3) {
    const uint32_t v = uint32_t{p[i]} << 16 | (i + 1 < n ? uint32_t{p[i + 1]} << 8 : 0) |
                       (i + 2 < n ? p[i + 2] : 0);
    s += kBase64[v >> 18];
    s += kBase64[v >> 12 & 63];
    s += i + 1 < n ? kBase64[v >> 6 & 63] : '=';
    s += i + 2 < n ? kBase64[v & 63] : '=';
  }
  return s;
}

Input::Input(const std::string &path, bool base64)
    : f_(nullptr), own_(path != "-"), base64_(base64), name_(path) {
  if (!own_) {
    f_ = stdin;
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    name_ = "standard input";
    return;
  }
  f_ = std::fopen(path.c_str(), "rb");
  if (f_ == nullptr) { throw IoError{system_error(path)}; }
}

Input::~Input() {
  wipe(b64_out_, sizeof(b64_out_));
  if (own_ && f_ != nullptr) { std::fclose(f_); }
}

size_t Input::read_full(uint8_t *buf, size_t n) {
  return base64_ ? read_base64(buf, n) : read_raw(buf, n);
}

size_t Input::read_raw(uint8_t *buf, size_t n) {
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

size_t Input::read_base64(uint8_t *buf, size_t n) {
  size_t got = 0;
  while (got < n) {
    if (b64_have_ > 0) {
      buf[got++] = b64_out_[3 - b64_have_--];
      continue;
    }
    if (b64_end_) { break; }
    // The next group of four base64 characters; '=' pads the last group.
    int vals[4];
    int count = 0, pad = 0;
    while (count < 4) {
      const int c = std::getc(f_);
      if (c == EOF) { break; }
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') { continue; }
      const int v = base64_value(c);
      if (c == '=' && count >= 2) {
        pad++;
        vals[count++] = 0;
      } else if (v < 0 || pad > 0) {
        throw IoError{name_ + ": not base64 text"};
      } else {
        vals[count++] = v;
      }
    }
    if (std::ferror(f_)) { throw IoError{system_error(name_)}; }
    if (count == 0) {
      b64_end_ = true;
      break;
    }
    if (count == 1) { throw IoError{name_ + ": base64 text ends in the middle of a byte"}; }
    const size_t bytes = static_cast<size_t>(count - 1 - pad);
    for (int i = count; i < 4; i++) { vals[i] = 0; }
    const uint32_t v =
        static_cast<uint32_t>(vals[0] << 18 | vals[1] << 12 | vals[2] << 6 | vals[3]);
    const uint8_t group[3] = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                              static_cast<uint8_t>(v)};
    // Kept at the end of b64_out_, so b64_have_ counts down to its last byte.
    for (size_t i = 0; i < bytes; i++) { b64_out_[3 - bytes + i] = group[i]; }
    b64_have_ = bytes;
    if (count < 4 || pad > 0) { b64_end_ = true; }
  }
  if (b64_end_ && b64_have_ == 0) {
    // Only white space may follow the padding.
    int c = 0;
    while ((c = std::getc(f_)) != EOF) {
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
        throw IoError{name_ + ": text after the end of the base64 data"};
      }
    }
  }
  return got;
}

namespace {

// Files qlc created and removes again if the process is interrupted before they are
// complete. Fixed storage: the signal handler may only read plain memory.
constexpr int kMaxCreated = 4;
char g_created[kMaxCreated][4096];
volatile std::sig_atomic_t g_created_live[kMaxCreated];

extern "C" void remove_created_and_die(int sig) {
  for (int i = 0; i < kMaxCreated; i++) {
    if (g_created_live[i] != 0) {
#if defined(_WIN32)
      std::remove(g_created[i]);
#else
      unlink(g_created[i]);
#endif
    }
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Blocks the interrupting signals while a file is created and registered, so that no file
// exists unregistered.
class SignalBlock {
 public:
  SignalBlock() {
#if !defined(_WIN32)
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, &old_);
#endif
  }
  ~SignalBlock() {
#if !defined(_WIN32)
    sigprocmask(SIG_SETMASK, &old_, nullptr);
#endif
  }

 private:
#if !defined(_WIN32)
  sigset_t old_;
#endif
};

#if defined(_WIN32)
constexpr int kOpenFlags = O_WRONLY | O_BINARY;
#else
constexpr int kOpenFlags = O_WRONLY;
#endif

}  // namespace

void install_signal_cleanup() {
  // A signal the caller ignores (SIGINT in a background job of a script) stays ignored.
  const int signals[] = {SIGINT, SIGTERM,
#if !defined(_WIN32)
                         SIGHUP
#endif
  };
  for (int sig : signals) {
    if (std::signal(sig, remove_created_and_die) == SIG_IGN) { std::signal(sig, SIG_IGN); }
  }
}

Output::Output(const std::string &path, bool base64, unsigned mode)
    : path_(path), base64_(base64), mode_(mode) {
  if (path.empty() || path == "-") {
    f_ = stdout;
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return;
  }
  // An existing file (or what a symbolic link leads to) is opened as it is; otherwise the
  // file is created with the mode the umask leaves of 0666, and noted for removal.
  SignalBlock block;
  int fd = open(path.c_str(), kOpenFlags);
  if (fd < 0 && errno == ENOENT) {
    for (int i = 0; i < kMaxCreated && slot_ < 0; i++) {
      if (g_created_live[i] == 0) { slot_ = i; }
    }
    if (slot_ >= 0 && path.size() < sizeof(g_created[0])) {
      fd = open(path.c_str(), kOpenFlags | O_CREAT | O_EXCL, mode_);
      if (fd >= 0) {
        std::memcpy(g_created[slot_], path.c_str(), path.size() + 1);
        g_created_live[slot_] = 1;
      } else {
        slot_ = -1;
      }
    } else {
      slot_ = -1;
      fd = open(path.c_str(), kOpenFlags | O_CREAT, mode_);
    }
    if (fd < 0 && errno == EEXIST) { fd = open(path.c_str(), kOpenFlags | O_CREAT, mode_); }
  }
  if (fd < 0) { throw IoError{system_error(path)}; }
  struct stat st;
  if (slot_ < 0 && fstat(fd, &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG) { truncate_ = true; }
  f_ = fdopen(fd, "wb");
  if (f_ == nullptr) {
    const std::string message = system_error(path);
    close(fd);
    if (slot_ >= 0) {
      g_created_live[slot_] = 0;
      std::remove(path.c_str());
    }
    throw IoError{message};
  }
}

Output::~Output() {
  wipe(b64_in_, sizeof(b64_in_));
  if (f_ != nullptr && f_ != stdout) {
    std::fclose(f_);
    if (!committed_ && slot_ >= 0) {
      SignalBlock block;
      std::remove(path_.c_str());
      g_created_live[slot_] = 0;
    }
  }
}

void Output::check_not_same(const Input &in) const {
#if defined(_WIN32)
  (void)in;  // no inode numbers to compare there
#else
  struct stat a, b;
  if (fstat(fileno(f_), &a) == 0 && fstat(fileno(in.file()), &b) == 0 &&
      (a.st_mode & S_IFMT) == S_IFREG && a.st_dev == b.st_dev && a.st_ino == b.st_ino) {
    throw IoError{path_ + ": the input file itself (write to another file)"};
  }
#endif
}

void Output::begin() {
  if (truncate_) {
    truncate_ = false;
    std::fflush(f_);
#if defined(_WIN32)
    const int r = _chsize(_fileno(f_), 0);
#else
    const int r = ftruncate(fileno(f_), 0);
#endif
    if (r != 0) { throw IoError{system_error(path_)}; }
  }
}

void Output::put(const uint8_t *p, size_t n) {
  if (n == 0) { return; }
  begin();
  if (std::fwrite(p, 1, n, f_) != n) {
    throw IoError{system_error(f_ == stdout ? "standard output" : path_)};
  }
}

void Output::put_line(std::string line) {
  line += '\n';
  put(reinterpret_cast<const uint8_t *>(line.data()), line.size());
}

void Output::write(const uint8_t *p, size_t n) {
  if (!base64_) {
    put(p, n);
    return;
  }
  // Whole lines of 64 characters (48 bytes) as they fill.
  while (n > 0) {
    const size_t take = std::min(n, sizeof(b64_in_) - b64_have_);
    std::memcpy(b64_in_ + b64_have_, p, take);
    b64_have_ += take;
    p += take;
    n -= take;
    if (b64_have_ == sizeof(b64_in_)) {
      put_line(to_base64(b64_in_, b64_have_));
      b64_have_ = 0;
    }
  }
}

void Output::commit() {
  if (base64_ && b64_have_ > 0) {
    put_line(to_base64(b64_in_, b64_have_));
    b64_have_ = 0;
  }
  begin();
  if (std::fflush(f_) != 0 || std::ferror(f_)) {
    throw IoError{system_error(f_ == stdout ? "standard output" : path_)};
  }
  if (f_ == stdout) { return; }
  std::FILE *f = f_;
  f_ = nullptr;
  if (std::fclose(f) != 0) {
    const std::string message = system_error(path_);
    if (slot_ >= 0) {
      SignalBlock block;
      std::remove(path_.c_str());
      g_created_live[slot_] = 0;
    }
    throw IoError{message};
  }
  if (slot_ >= 0) { g_created_live[slot_] = 0; }
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
     "Prints the library version, the module state at load and after start-up, and whether\n"
     "the library file carries a valid signature: the file QL_CM_PATH names, else the file\n"
     "the library was loaded from. A file that fails the check leaves the module state as it\n"
     "is (qlc selftest stops the module).\n"},
    {"list", qlc::cmd_list,
     "usage: qlc list\n"
     "Lists the digests, HMACs, ciphers, modes, paddings and key types, and which of them need\n"
     "--non-approved.\n"},
    {"hash", qlc::cmd_hash,
     "usage: qlc hash [-a ALG] [FILE...]\n"
     "       qlc hash [-a ALG] -c [--quiet | --status] [SUMS...]\n"
     "Prints the digest of each FILE (standard input when none, or for \"-\") in the format\n"
     "of sha256sum, names with a backslash or a line break escaped as sha256sum escapes them.\n"
     "With -c, reads lines in that format from each SUMS file (standard input when none) and\n"
     "checks the files they name, as sha256sum -c does; --quiet prints only failures, --status\n"
     "nothing. ALG: has160, sha1, sha256 (default), sha384, sha512.\n"},
    {"hmac", qlc::cmd_hmac,
     "usage: qlc hmac [-a ALG] (-k HEX | --key-file F [--raw]) [FILE...]\n"
     "Prints the HMAC of each FILE (standard input when none) under the key, one line per\n"
     "file as qlc hash does. ALG: has160, sha1, sha256 (default), sha384, sha512. A key file\n"
     "holds hex as qlc genkey writes it, or binary bytes with --raw. A key of any length is\n"
     "taken; one longer than 256 bytes is first replaced by its digest, as HMAC defines for\n"
     "keys longer than the block (and as openssl dgst -hmac does).\n"},
    {"enc", qlc::cmd_enc,
     "usage: qlc enc -c CIPHER [-m MODE] [-p PADDING] KEY [-iv HEX] [-s SEGMENT] [-a]\n"
     "               [-in F] [-out F]\n"
     "  KEY: -k HEX | --key-file F [--raw] | -pass SOURCE -pbkdf2 [-iter N] [-S SALT]\n"
     "Encrypts F (standard input by default) to F (standard output by default), streaming.\n"
     "CIPHER: seed128 (or seed), seed256, aria, aes (the key length picks 128, 192 or 256),\n"
     "aria128, aria192, aria256, aes128, aes192, aes256. MODE: ecb, cbc (default), cfb, ofb,\n"
     "ctr. PADDING: none, zero, bit, pkcs (default pkcs in ecb and cbc, none otherwise).\n"
     "-iv: 16 bytes (not in ecb), the initial counter block in ctr. -s: bytes per step of cfb,\n"
     "ofb and ctr, 1 to 16 (default 16); with 16, cfb and ofb take input of any length, the\n"
     "last partial block as openssl enc does it. CTR with a padding pads only when no bytes\n"
     "are pending at the end (the input fills whole blocks: a whole block of padding is\n"
     "added); otherwise the last partial block is encrypted as it is, without padding.\n"
     "-a: base64 output (base64 input for dec), in lines of 64 characters.\n"
     "-pass: the key and IV come from a password, SOURCE pass:PASSWORD, env:VARIABLE or\n"
     "file:PATH (its first line), through PBKDF2 with HMAC-SHA256 and -iter iterations\n"
     "(default 10000) over a random 8-byte salt (-S: the salt in hex), written first as the\n"
     "\"Salted__\" header of openssl enc -pbkdf2, with which the files are interchangeable.\n"
     "The cipher then names its key length (aes256, aria128, ...). Options that do not apply\n"
     "(-iv in ecb or with -pass, -s in ecb and cbc) are errors. An output file that qlc\n"
     "creates is removed again if the command fails.\n"},
    {"dec", qlc::cmd_dec,
     "usage: qlc dec -c CIPHER [-m MODE] [-p PADDING] KEY [-iv HEX] [-s SEGMENT] [-a]\n"
     "               [-in F] [-out F]\n"
     "  KEY: -k HEX | --key-file F [--raw] | -pass SOURCE -pbkdf2 [-iter N]\n"
     "Decrypts what qlc enc (or openssl enc) wrote with the same options and drops the padding\n"
     "(zero padding stays in the plaintext). With -pass the salt is read from the \"Salted__\"\n"
     "header. A failed padding check reports \"bad decrypt\"; an output file that qlc created\n"
     "is then removed.\n"},
    {"rand", qlc::cmd_rand,
     "usage: qlc rand [--hex | --raw | -a] [-out F] N\n"
     "Writes N bytes (at most 2^30) from the module random generator, as one line of hex\n"
     "(default), raw, or base64 (-a). The generator gathers fresh entropy for every 20-byte\n"
     "block, so large requests are slow: expect a few hundred bytes per second (a 16-byte key\n"
     "takes a moment, a megabyte about an hour). Requests over 4 KiB show their progress on\n"
     "standard error when it is a terminal.\n"},
    {"genkey", qlc::cmd_genkey,
     "usage: qlc genkey [-l LEN] [--raw] [-out F] TYPE\n"
     "Writes a fresh key from the module's key generator in hex (the form --key-file reads),\n"
     "or binary with --raw. TYPE: seed128, seed256, aria128, aria192, aria256, aes128,\n"
     "aes192, aes256, hmac-has160, hmac-sha1, hmac-sha256, hmac-sha384, hmac-sha512.\n"
     "-l: length of an HMAC key, from half the digest length to the block length (default\n"
     "half the digest length).\n"},
    {"selftest", qlc::cmd_selftest,
     "usage: qlc selftest\n"
     "Runs the module's power-up self-test: the known answers of every approved algorithm,\n"
     "the signature on the library file (the file QL_CM_PATH names, else the file the\n"
     "library was loaded from) and the entropy source's repetition check. Prints the result,\n"
     "its time, the file and the module state. A failure stops the module for good (state 9,\n"
     "error) and exits 1 with the module's message.\n"},
    {"genpkey", qlc::cmd_genpkey,
     "usage: qlc genpkey -a rsa [-bits 2048|3072|4096] [-e EXPONENT] [KEYOUT]\n"
     "       qlc genpkey -a ecdsa [-curve p224|p256] [KEYOUT]\n"
     "       qlc genpkey -a kcdsa [-bits 1024|2048 | -paramfile F] [-genparam] [KEYOUT]\n"
     "  KEYOUT: [-out F] [-outform DER|PEM] [-format module|pkcs8|sec1]\n"
     "Writes a new private key (with its public key) from the module's key-pair generator; in\n"
     "the approved state each pair first passes the module's sign and verify test. Defaults:\n"
     "RSA 2048 bits with e 65537, curve P-256, KCDSA 2048 bits. KCDSA first generates its\n"
     "parameters, which takes minutes for 2048 bits (the time passed is shown when standard\n"
     "error is a terminal): -genparam writes only the parameters, -paramfile takes them from a\n"
     "parameter or KCDSA key file. A created private-key file has mode 0600.\n"
     "Key files are the module's DER by default, PEM with -outform PEM; RSA and EC keys also in\n"
     "the common containers (-format pkcs8, EC also sec1) that openssl reads. See qlc pkey.\n"},
    {"pkey", qlc::cmd_pkey,
     "usage: qlc pkey [-in F] [-pubout] [-text] [-check] [-noout] [KEYOUT]\n"
     "  KEYOUT: [-out F] [-outform DER|PEM] [-format module|spki|pkcs8|sec1]\n"
     "Reads a key (standard input by default) in any form below, PEM or DER, and writes it\n"
     "again in the form asked for (-pubout: its public key). -text prints the components in\n"
     "hex as openssl pkey -text does; -check has the module check that the private and public\n"
     "key form a pair (every key read is decoded by the module, an EC point checked to lie on\n"
     "its curve). With -text, -check or -noout the key is written only to an -out file.\n"
     "Forms: the module's DER (default; PEM labels RSA PRIVATE KEY, RSA PUBLIC KEY, QUILLON\n"
     "ECDSA PRIVATE KEY, QUILLON ECDSA PUBLIC KEY, QUILLON KCDSA PRIVATE KEY, QUILLON KCDSA\n"
     "PUBLIC KEY, QUILLON KCDSA PARAMETERS); for RSA and EC keys also SubjectPublicKeyInfo\n"
     "(spki, PUBLIC KEY), PKCS #8 (pkcs8, PRIVATE KEY) and for EC SEC 1 (sec1, EC PRIVATE KEY).\n"
     "Curves: P-224 and P-256 by name. Encrypted keys are not read.\n"},
    {"sign", qlc::cmd_sign,
     "usage: qlc sign -a SCHEME -key KEY [-mgf DIGEST] [-base64] [-in F] [-out F]\n"
     "Signs F (standard input by default) with the private KEY and writes the signature\n"
     "(binary, or base64 with -base64) to -out (standard output by default). SCHEME:\n"
     "rsa-pkcs1-sha1, rsa-pkcs1-sha256 (openssl dgst -sha256 -sign), rsa-pkcs1-sha384,\n"
     "rsa-pkcs1-sha512, rsa-pss-sha1, rsa-pss-sha256, rsa-pss-sha384, rsa-pss-sha512 (salt as\n"
     "long as the digest; -mgf: the MGF1 digest, by default the scheme's), ecdsa-sha1 (DER\n"
     "signature as openssl writes it), kcdsa-has160, kcdsa-sha1, kcdsa-sha256. The approved\n"
     "state admits rsa-pkcs1-sha1 and -sha256, the rsa-pss, ecdsa and kcdsa schemes; the\n"
     "others need --non-approved. The module signs in one call, so the whole input is held in\n"
     "memory: about its size (at most 4 GiB - 1 bytes); only with --non-approved are\n"
     "rsa-pkcs1-sha1 and -sha256 streamed in constant memory (qlc digests the input and the\n"
     "module signs the DigestInfo by its digest-input scheme, which the approved state refuses).\n"},
    {"verify", qlc::cmd_verify,
     "usage: qlc verify -a SCHEME -key KEY -sigfile SIG [-mgf DIGEST] [-base64] [-in F]\n"
     "Checks the signature in SIG (base64 with -base64) of F (standard input by default) with\n"
     "KEY (a public or private key file) and prints \"Verified OK\", or \"Verification\n"
     "failure\" and exits 1. Schemes and memory as for qlc sign.\n"},
    {"encrypt", qlc::cmd_encrypt,
     "usage: qlc encrypt -a rsa-oaep|rsa-pkcs1 -key KEY [-hash D] [-mgf D] [-label HEX]\n"
     "                   [-in F] [-out F]\n"
     "Encrypts F (at most the modulus length less 2 digests and 2 bytes for rsa-oaep, less 11\n"
     "bytes for rsa-pkcs1) with the RSA KEY. rsa-oaep: -hash the label digest (default sha1,\n"
     "as openssl pkeyutl), -mgf the MGF1 digest (default the -hash digest), -label the label\n"
     "in hex. rsa-pkcs1 needs --non-approved.\n"},
    {"decrypt", qlc::cmd_decrypt,
     "usage: qlc decrypt -a rsa-oaep|rsa-pkcs1 -key KEY [-hash D] [-mgf D] [-label HEX]\n"
     "                   [-in F] [-out F]\n"
     "Decrypts what qlc encrypt or openssl pkeyutl -encrypt wrote with the same options; a\n"
     "failure leaves no output file that qlc created.\n"},
    {"speed", qlc::cmd_speed,
     "usage: qlc speed [-t SECONDS] [-elapsed] [ALG...]\n"
     "Measures each service through the module boundary on 16, 64, 256, 1024, 8192 and 16384\n"
     "byte inputs for SECONDS (default 1) each, one context per run, and prints thousands of\n"
     "bytes per second of user CPU time (-elapsed: of wall-clock time), as openssl speed does.\n"
     "ALG: has160 sha1 sha256 sha384 sha512 hmac-<digest> seed-cbc seed-ctr seed256-cbc\n"
     "aria-128-cbc aria-256-cbc aria-128-ctr aes-128-cbc aes-192-cbc aes-256-cbc aes-128-ctr\n"
     "(default: all that the module state admits).\n"
     "Public-key ALG: rsa2048 rsa3072 rsa4096 ecdsap224 ecdsap256 kcdsa1024 kcdsa2048 (only when\n"
     "named): signatures and verifications per second of a 20-byte message (RSA PKCS #1 v1.5\n"
     "with SHA-256, ECDSA with SHA-1, KCDSA with HAS-160 and SHA-256) in the layout of openssl\n"
     "speed rsa2048. RSA and EC keys are generated first (RSA 4096 takes a while); KCDSA keys\n"
     "use fixed published parameters. Every signature draws from the module generator (the\n"
     "nonce, RSA's blinding value), which gathers fresh entropy through other processes whose\n"
     "time is not qlc's user CPU time: -elapsed shows the rate a caller sees, a few per second.\n"},
};

const char kUsage[] =
    "usage: qlc [--non-approved] COMMAND [OPTIONS]\n"
    "       qlc --version | --help\n"
    "Commands: version list hash hmac enc dec rand genkey genpkey pkey sign verify encrypt\n"
    "          decrypt selftest speed\n"
    "Each command takes --help; \"--\" ends the options. --non-approved switches the module to\n"
    "its non-approved state first (AES and SEED-256 work only there). Algorithm names are\n"
    "case-insensitive.\n"
    "Exit codes: 0 success, 1 failure (the module's message on standard error), 2 usage.\n";

// Standard output is checked once at the end, so that every command, --help included,
// reports a write that failed (a full disk, a closed pipe) and exits 1.
int finish(int rc, const char *command) {
  errno = 0;
  std::cout.flush();
  const bool flushed = std::fflush(stdout) == 0;
  if ((!flushed || std::ferror(stdout) || !std::cout) && rc == 0) {
    std::cerr << "qlc" << (command != nullptr ? " " : "") << (command != nullptr ? command : "")
              << ": standard output: " << (errno != 0 ? std::strerror(errno) : "write error")
              << "\n";
    return qlc::kExitFailure;
  }
  return rc;
}

// The module's message, with a hint where the remedy is known.
std::string module_message(const qlc::ModuleError &e) {
  std::string m;
  if (e.code == -4019) {
    m = "bad decrypt (wrong key, IV or corrupted data)";
  } else {
    m = QLC_CM_ErrorString(e.code);
  }
  m = e.service + ": " + m + " (code " + std::to_string(e.code) + ")";
  if (e.code == -6067) { m += "; AES and SEED-256 need --non-approved"; }
  if (e.code == -6072 || e.code == -6074) { m += "; this scheme needs --non-approved"; }
  return m;
}

}  // namespace

int main(int argc, char **argv) {
  qlc::install_signal_cleanup();
  bool non_approved = false;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; i++) {
    const std::string a = argv[i];
    if (a == "--non-approved") {
      non_approved = true;
    } else if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return finish(0, nullptr);
    } else if (a == "--version") {
      std::cout << "qlc (QuillonCrypto) " << QL_GetVersion(0) << "\n";
      return finish(0, nullptr);
    } else {
      std::cerr << "qlc: unknown option '" << a << "'\n" << kUsage;
      return qlc::kExitUsage;
    }
  }
  if (i == argc) {
    std::cerr << kUsage;
    return qlc::kExitUsage;
  }
  const Command *cmd = nullptr;
  for (const Command &c : kCommands) {
    if (std::strcmp(argv[i], c.name) == 0) { cmd = &c; }
  }
  if (cmd == nullptr) {
    std::cerr << "qlc: unknown command '" << argv[i] << "'\n" << kUsage;
    return qlc::kExitUsage;
  }
  // --help and --non-approved are taken anywhere before "--".
  std::vector<std::string> rest;
  bool help = false, ended = false;
  for (i++; i < argc; i++) {
    const std::string a = argv[i];
    if (!ended && a == "--non-approved") {
      non_approved = true;
    } else if (!ended && (a == "--help" || a == "-h")) {
      help = true;
    } else {
      ended = ended || a == "--";
      rest.push_back(a);
    }
  }
  if (help) {
    std::cout << cmd->help << "  --non-approved  run in the module's non-approved state\n";
    return finish(0, cmd->name);
  }
  Args args(cmd->name, std::move(rest), non_approved);
  try {
    return finish(cmd->run(args), cmd->name);
  } catch (const qlc::UsageError &e) {
    std::cerr << "qlc " << cmd->name << ": " << e.message << "\n"
              << "Try 'qlc " << cmd->name << " --help'.\n";
    return qlc::kExitUsage;
  } catch (const qlc::ModuleError &e) {
    std::cerr << "qlc " << cmd->name << ": " << module_message(e) << "\n";
  } catch (const qlc::IoError &e) {
    std::cerr << "qlc " << cmd->name << ": " << e.message << "\n";
  }
  return qlc::kExitFailure;
}
