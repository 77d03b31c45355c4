// qlc, the module's services on the command line: the pieces its subcommands share (argument
// reading, hex, files that are written whole or not at all, module failures).
#ifndef QLC_QLC_H
#define QLC_QLC_H

#include <cstdint>
#include <cstdio>
#include <functional>
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

// The arguments after the subcommand, consumed front to back.
class Args {
 public:
  Args(const char *command, std::vector<std::string> args, bool non_approved)
      : command_(command), args_(std::move(args)), non_approved_(non_approved) {}
  bool done() const { return pos_ >= args_.size(); }
  const std::string &peek() const { return args_[pos_]; }
  std::string next() { return args_[pos_++]; }
  // The value after option `opt`; a usage error when it is missing.
  std::string value(const std::string &opt);
  [[noreturn]] void fail(const std::string &message) const;
  const char *command() const { return command_; }
  // Whether --non-approved was given.
  bool non_approved() const { return non_approved_; }

 private:
  const char *command_;
  std::vector<std::string> args_;
  size_t pos_ = 0;
  bool non_approved_;
};

// Hex text to bytes; malformed text (odd length, a non-hex character) is a usage error
// naming `what`.
std::vector<uint8_t> parse_hex(const std::string &text, const char *what);
std::string to_hex(const uint8_t *p, size_t n);
// Overwrites `n` bytes at `p` with zeros in a way the compiler keeps.
void wipe(void *p, size_t n);
// Reads a whole (small) file, such as a key file.
std::vector<uint8_t> read_small_file(const std::string &path, size_t max_len);
// An unsigned decimal number within [lo, hi]; anything else is a usage error.
uint64_t parse_count(const Args &args, const std::string &text, const char *what, uint64_t lo,
                     uint64_t hi);

// An input stream: a file, or standard input for "-".
class Input {
 public:
  explicit Input(const std::string &path);
  ~Input();
  Input(const Input &) = delete;
  Input &operator=(const Input &) = delete;
  // Fills `buf` with up to `n` bytes; fewer only at the end of the input.
  size_t read_full(uint8_t *buf, size_t n);
  const std::string &name() const { return name_; }

 private:
  std::FILE *f_;
  bool own_;
  std::string name_;
};

// An output stream: standard output for "-" or no name, else a file that appears under its
// name only when commit() succeeds; until then the bytes go to a temporary file beside it,
// removed when the output is dropped without a commit.
class Output {
 public:
  explicit Output(const std::string &path);
  ~Output();
  Output(const Output &) = delete;
  Output &operator=(const Output &) = delete;
  void write(const uint8_t *p, size_t n);
  void write(const std::string &s) { write(reinterpret_cast<const uint8_t *>(s.data()), s.size()); }
  void commit();

 private:
  std::FILE *f_ = nullptr;
  std::string path_;
  std::string tmp_;
  bool committed_ = false;
};

// Switches the module to its non-approved state when `non_approved`, else just starts it.
void start_module(bool non_approved);

// One algorithm of `qlc speed`: runs the service once over `len` bytes at `in`.
struct SpeedAlg {
  std::string name;
  std::function<int32_t(const uint8_t *in, uint32_t len)> run;
};

// The subcommands.
int cmd_version(Args &args);
int cmd_hash(Args &args);
int cmd_hmac(Args &args);
int cmd_speed(Args &args);
int cmd_enc(Args &args);
int cmd_dec(Args &args);
int cmd_rand(Args &args);
int cmd_genkey(Args &args);
void add_digest_speed(std::vector<SpeedAlg> &algs);
void add_cipher_speed(std::vector<SpeedAlg> &algs);

}  // namespace qlc

#endif  // QLC_QLC_H
