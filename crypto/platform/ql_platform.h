// The platform layer: the only unit that calls the operating system. Locks and one-time
// initialisation, shell commands, system randomness, clocks and identifiers for the entropy
// pool, and the file services of the integrity check, each for POSIX systems and for Windows.
// Nothing here allocates, throws or keeps state of its own.
#ifndef QL_PLATFORM_H
#define QL_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <type_traits>
#include <utility>

namespace ql {
namespace platform {

// A process-wide lock. Its constructor is constexpr and its destructor trivial, so a lock at
// namespace scope is ready before any code runs and needs no initialiser at load or exit.
#if defined(_WIN32)
// MinGW's std::mutex is initialised by a constructor at load and destroyed at exit, so Windows
// uses a slim reader/writer lock, taken exclusively: one word, zero when unlocked.
class Mutex {
 public:
  constexpr Mutex() noexcept = default;
  Mutex(const Mutex &) = delete;
  Mutex &operator=(const Mutex &) = delete;
  void lock();
  void unlock();

 private:
  void *srw_ = nullptr;  // the SRWLOCK
};
#else
using Mutex = std::mutex;
#endif
// Holds a Mutex for the rest of the scope.
using LockGuard = std::lock_guard<Mutex>;
// Marks a one-time initialisation; constant-initialised like Mutex.
using OnceFlag = std::once_flag;
static_assert(std::is_trivially_destructible<Mutex>::value &&
                  std::is_trivially_destructible<OnceFlag>::value,
              "locks at namespace scope must need no destructor");

// Runs `init` exactly once per `flag`, however many threads call at the same time; every caller
// returns after it has finished.
template <typename F>
void call_once(OnceFlag &flag, F &&init) {
  std::call_once(flag, std::forward<F>(init));
}

// A shell command whose standard output is read as a stream of bytes. The command runs under
// /bin/sh on POSIX systems and under cmd.exe on Windows; its output is read unchanged (binary).
class CommandPipe {
 public:
  // A pipe with no command yet; see open().
  CommandPipe() : stream_(nullptr) {}
  // Starts `command`; is_open() is false when it cannot be started.
  explicit CommandPipe(const char *command) : stream_(nullptr) { open(command); }
  // Starts `command` on a pipe that has none yet; returns is_open().
  bool open(const char *command);
  // Closes the pipe and waits for the command to end.
  ~CommandPipe();
  CommandPipe(const CommandPipe &) = delete;
  CommandPipe &operator=(const CommandPipe &) = delete;

  bool is_open() const { return stream_ != nullptr; }
  // Reads up to `n` bytes into `out` and returns how many were read; 0 at the end of the
  // output, on an error, or when the pipe is not open.
  size_t read(uint8_t *out, size_t n);

 private:
  std::FILE *stream_;
};

// Fills `out` with `n` bytes from the system's random source (/dev/urandom, or the system
// CSPRNG on Windows) and returns how many bytes it wrote: `n`, or fewer (possibly 0) only when
// the source is unavailable or fails. It never reports bytes it did not write.
size_t system_random(uint8_t *out, size_t n);

// The low 32 bits of the calendar time in seconds.
uint32_t time_seconds();
// The low 32 bits of the processor time used by the process, in clock ticks.
uint32_t processor_clock();
// The process identifier.
uint32_t process_id();
// The user identifier of the process (on Windows, the relative identifier of the user's SID).
uint32_t user_id();
// The group identifier of the process (on Windows, the relative identifier of the primary
// group's SID).
uint32_t group_id();

// Room enough for the record system_identity writes on every supported system (the uname
// record is 390 bytes on Linux and 1285 bytes on Solaris).
constexpr size_t kSystemIdentityMax = 2048;
// Writes a record naming the host and its operating system to `out`, which has room for
// `kSystemIdentityMax` bytes: the whole uname record on POSIX systems; the computer name, the
// OS version and the processor description on Windows. Returns the record's size, or 0 when
// the system cannot be asked.
size_t system_identity(uint8_t *out);

// Name of the environment variable that gives the path of the library file.
constexpr char kModulePathVariable[] = "QL_CM_PATH";
// Copies the value of QL_CM_PATH and a terminating NUL into the `size` bytes at `path` when the
// variable is set, not empty, and its value is shorter than `size`; returns true then. Otherwise
// leaves `path` untouched and returns false.
bool module_file_path(char *path, size_t size);

// A file opened for binary reading, closed when the object goes out of scope.
class File {
 public:
  // Opens `path`; is_open() is false when it cannot be opened.
  explicit File(const char *path);
  ~File();
  File(const File &) = delete;
  File &operator=(const File &) = delete;

  bool is_open() const { return stream_ != nullptr; }
  // The size in bytes of the file that is open, or -1 when it is not open. It is asked of the
  // open stream, never of the path again, so a file replaced at the path after opening cannot
  // lend its size to the one being read.
  int64_t size() const;
  // Moves the read position to `offset` bytes from the start; false on failure.
  bool seek(int64_t offset);
  // Reads up to `n` bytes into `out` and returns how many were read.
  size_t read(uint8_t *out, size_t n);

 private:
  std::FILE *stream_;
};

}  // namespace platform
}  // namespace ql

#endif  // QL_PLATFORM_H
