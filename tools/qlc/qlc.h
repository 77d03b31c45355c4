// qlc, the module's services on the command line: the pieces its subcommands share (argument
// reading, hex and base64, key files, output files, module failures).
#ifndef QLC_QLC_H
#define QLC_QLC_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "QuillonCrypto.h"

namespace qlc {

constexpr int kExitFailure = 1;  // the module or the system refused
constexpr int kExitUsage = 2;    // the command line is wrong

// Failures, thrown to main, which prints them and picks the exit code.
struct UsageError {
  std::string message;
};
struct ModuleError {
  std::string service;
  int32_t code;
};
struct IoError {
  std::string message;
};

// Throws ModuleError unless `code` is 0.
void check(int32_t code, const char *service);

// The arguments after the subcommand, consumed front to back. "--" ends the options: every
// argument after it is an operand, even one that starts with '-'.
class Args {
 public:
  Args(const char *command, std::vector<std::string> args, bool non_approved)
      : command_(command), args_(std::move(args)), non_approved_(non_approved) {}
  // Whether all arguments are consumed (skipping a first "--" on the way).
  bool done();
  const std::string &peek() const { return args_[pos_]; }
  std::string next() { return args_[pos_++]; }
  // Whether `a`, just taken by next(), is an option rather than an operand.
  bool is_option(const std::string &a) const { return !ended_ && a.size() > 1 && a[0] == '-'; }
  // The value after option `opt`; a usage error when it is missing.
  std::string value(const std::string &opt);
  // Marks option `opt` as given; a usage error when it was given before.
  void once(const std::string &opt);
  [[noreturn]] void fail(const std::string &message) const;
  const char *command() const { return command_; }
  // Whether --non-approved was given.
  bool non_approved() const { return non_approved_; }

 private:
  const char *command_;
  std::vector<std::string> args_;
  std::vector<std::string> seen_;
  size_t pos_ = 0;
  bool ended_ = false;
  bool non_approved_;
};

// Whether `a` and `b` are equal ignoring ASCII case (algorithm names).
bool same_name(const std::string &a, const char *b);

// Hex text to bytes; malformed text (odd length, a non-hex character) is a usage error
// naming `what`.
std::vector<uint8_t> parse_hex(const std::string &text, const char *what);
std::string to_hex(const uint8_t *p, size_t n);
// Overwrites `n` bytes at `p` with zeros in a way the compiler keeps.
void wipe(void *p, size_t n);
// Reads a whole (small) file, such as a key file.
std::vector<uint8_t> read_small_file(const std::string &path, size_t max_len);
// A key file as genkey writes it: hex text and a line end, or with `raw` the key bytes
// themselves. A file that is not what `raw` says is refused.
std::vector<uint8_t> read_key_file(const std::string &path, bool raw);
// An unsigned decimal number within [lo, hi]; anything else is a usage error.
uint64_t parse_count(const Args &args, const std::string &text, const char *what, uint64_t lo,
                     uint64_t hi);

// An input stream: a file, or standard input for "-"; with base64, the bytes the base64 text
// of the stream encodes (white space ignored).
class Input {
 public:
  explicit Input(const std::string &path, bool base64 = false);
  ~Input();
  Input(const Input &) = delete;
  Input &operator=(const Input &) = delete;
  // Fills `buf` with up to `n` bytes; fewer only at the end of the input.
  size_t read_full(uint8_t *buf, size_t n);
  const std::string &name() const { return name_; }
  std::FILE *file() const { return f_; }

 private:
  size_t read_raw(uint8_t *buf, size_t n);
  size_t read_base64(uint8_t *buf, size_t n);
  std::FILE *f_;
  bool own_;
  bool base64_;
  bool b64_end_ = false;
  uint8_t b64_out_[3] = {0, 0, 0};
  size_t b64_have_ = 0;  // decoded bytes waiting in b64_out_, taken from its end
  std::string name_;
};

// An output stream: standard output for "-" or no name, else the file it names, opened with
// the caller's permissions and written in place (a symbolic link, a device, a FIFO or an
// existing file keeps what it is; an existing regular file is emptied at the first write).
// A regular file that did not exist before is removed again unless commit() succeeds, also
// when the process is ended by SIGINT, SIGTERM or SIGHUP. With base64, the bytes go out as
// base64 text in lines of 64 characters.
class Output {
 public:
  // `mode`: the permissions a created file gets under the umask (0600 for private keys).
  explicit Output(const std::string &path, bool base64 = false, unsigned mode = 0666);
  ~Output();
  Output(const Output &) = delete;
  Output &operator=(const Output &) = delete;
  void write(const uint8_t *p, size_t n);
  void write(const std::string &s) { write(reinterpret_cast<const uint8_t *>(s.data()), s.size()); }
  void commit();
  // Refuses to write over `in` itself (`-in F -out F`): the bytes would be gone before they
  // are read. Call before the first write.
  void check_not_same(const Input &in) const;

 private:
  void put(const uint8_t *p, size_t n);
  void put_line(std::string line);
  void begin();
  std::FILE *f_ = nullptr;
  std::string path_;
  int slot_ = -1;         // the entry of a created file in the removal list
  bool truncate_ = false;  // an existing regular file, emptied at the first write
  bool committed_ = false;
  bool base64_;
  unsigned mode_;
  uint8_t b64_in_[48];
  size_t b64_have_ = 0;
};

// The value of base64 character `c`, or -1 for any other character ('=' included).
int base64_value(int c);
// Base64 of `n` bytes at `p`, without line breaks.
std::string to_base64(const uint8_t *p, size_t n);

// Installs the handlers that remove created output files when the process is interrupted.
void install_signal_cleanup();

// Switches the module to its non-approved state when `non_approved`, else just starts it.
void start_module(bool non_approved);

// The digests of the module: names, identifiers and lengths, shared by hash, hmac, genkey
// and the password-based key derivation.
struct Digest {
  const char *name;
  int32_t hash_id;
  int32_t mac_id;
  uint32_t digest_len;
  uint32_t block_len;
};
const Digest &find_digest(const Args &args, std::string name);
const Digest &digest_by_mac(int32_t mac_id);
// A key record for HMAC `d`: a key longer than the record holds is first replaced by its
// digest, as HMAC itself does with keys longer than the block.
void fill_mac_key(QLC_SECRET_KEY &key, const Digest &d, const uint8_t *bytes, size_t len);

// The name of module state `state` ("approved", "error", ...).
const char *state_name(int32_t state);
// Whether the library file carries a valid signature, and which file that is: QL_CM_PATH when
// the caller set it, else the file the library was loaded from (QL_CM_PATH is then set to it).
// The module state does not change.
std::string library_signature();

// The subcommands.
int cmd_version(Args &args);
int cmd_list(Args &args);
int cmd_hash(Args &args);
int cmd_hmac(Args &args);
int cmd_speed(Args &args);
int cmd_enc(Args &args);
int cmd_dec(Args &args);
int cmd_rand(Args &args);
int cmd_genkey(Args &args);
int cmd_selftest(Args &args);
int cmd_genpkey(Args &args);
int cmd_pkey(Args &args);
int cmd_sign(Args &args);
int cmd_verify(Args &args);
int cmd_encrypt(Args &args);
int cmd_decrypt(Args &args);
void list_ciphers();
void list_digests();
void list_pkey();

}  // namespace qlc

#endif  // QLC_QLC_H
