// The platform layer for POSIX systems and for Windows. Each service has one implementation per
// system family; the declarations in ql_platform.h are the only interface the library sees.
#include "platform/ql_platform.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#if defined(_WIN32)
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/utsname.h>
#include <unistd.h>
#endif

namespace ql {
namespace platform {

#if defined(_WIN32)

namespace {

// The last sub-authority of the SID that a token information record of class `cls` starts
// with (TOKEN_USER and TOKEN_PRIMARY_GROUP both begin with the SID pointer); 0 when unknown.
uint32_t token_sid_rid(TOKEN_INFORMATION_CLASS cls) {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == 0) { return 0; }
  // A SID is at most 68 bytes; the record holds a pointer, attributes and the SID itself.
  alignas(8) unsigned char info[256];
  DWORD len = 0;
  uint32_t rid = 0;
  if (GetTokenInformation(token, cls, info, sizeof(info), &len) != 0) {
    PSID sid = nullptr;
    std::memcpy(&sid, info, sizeof(sid));
    if (sid != nullptr && IsValidSid(sid) != 0) {
      const UCHAR count = *GetSidSubAuthorityCount(sid);
      if (count > 0) { rid = static_cast<uint32_t>(*GetSidSubAuthority(sid, count - 1u)); }
    }
  }
  CloseHandle(token);
  return rid;
}

// What system_identity records on Windows.
struct WindowsIdentity {
  char computer_name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD version;
  SYSTEM_INFO system_info;
};
static_assert(sizeof(WindowsIdentity) <= kSystemIdentityMax, "identity record fits");

}  // namespace

static_assert(sizeof(SRWLOCK) == sizeof(void *), "an SRWLOCK is one pointer-sized word");
void Mutex::lock() { AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&srw_)); }
void Mutex::unlock() { ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&srw_)); }

bool CommandPipe::open(const char *command) {
  if (stream_ == nullptr) { stream_ = _popen(command, "rb"); }
  return stream_ != nullptr;
}

CommandPipe::~CommandPipe() {
  if (stream_ != nullptr) { _pclose(stream_); }
}

size_t system_random(uint8_t *out, size_t n) {
  size_t done = 0;
  while (done < n) {
    const size_t chunk = (n - done) < 0x10000000u ? (n - done) : 0x10000000u;
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out + done, static_cast<ULONG>(chunk),
                                        BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      break;
    }
    done += chunk;
  }
  return done;
}

uint32_t process_id() { return static_cast<uint32_t>(GetCurrentProcessId()); }
uint32_t user_id() { return token_sid_rid(TokenUser); }
uint32_t group_id() { return token_sid_rid(TokenPrimaryGroup); }

size_t system_identity(uint8_t *out) {
  WindowsIdentity id;
  std::memset(&id, 0, sizeof(id));
  DWORD name_len = sizeof(id.computer_name);
  if (GetComputerNameA(id.computer_name, &name_len) == 0) { return 0; }
  id.version = GetVersion();
  GetNativeSystemInfo(&id.system_info);
  std::memcpy(out, &id, sizeof(id));
  return sizeof(id);
}

int64_t File::size() const {
  struct __stat64 st;
  if (stream_ == nullptr || _fstat64(_fileno(stream_), &st) != 0) { return -1; }
  return static_cast<int64_t>(st.st_size);
}

bool File::seek(int64_t offset) {
  return stream_ != nullptr && offset >= 0 && _fseeki64(stream_, offset, SEEK_SET) == 0;
}

#else  // POSIX

bool CommandPipe::open(const char *command) {
  if (stream_ == nullptr) { stream_ = popen(command, "r"); }
  return stream_ != nullptr;
}

CommandPipe::~CommandPipe() {
  if (stream_ != nullptr) { pclose(stream_); }
}

size_t system_random(uint8_t *out, size_t n) {
  std::FILE *f = std::fopen("/dev/urandom", "rb");
  if (f == nullptr) { return 0; }
  size_t done = 0;
  while (done < n) {
    const size_t got = std::fread(out + done, 1, n - done, f);
    if (got == 0) { break; }
    done += got;
  }
  std::fclose(f);
  return done;
}

uint32_t process_id() { return static_cast<uint32_t>(getpid()); }
uint32_t user_id() { return static_cast<uint32_t>(getuid()); }
uint32_t group_id() { return static_cast<uint32_t>(getgid()); }

size_t system_identity(uint8_t *out) {
  static_assert(sizeof(struct utsname) <= kSystemIdentityMax, "uname record fits");
  struct utsname u;
  std::memset(&u, 0, sizeof(u));
  if (uname(&u) != 0) { return 0; }
  std::memcpy(out, &u, sizeof(u));
  return sizeof(u);
}

int64_t File::size() const {
  struct stat st;
  if (stream_ == nullptr || fstat(fileno(stream_), &st) != 0) { return -1; }
  return static_cast<int64_t>(st.st_size);
}

bool File::seek(int64_t offset) {
  // off_t is 32 bits on 32-bit systems without large-file support.
  const off_t o = static_cast<off_t>(offset);
  return stream_ != nullptr && offset >= 0 && static_cast<int64_t>(o) == offset &&
         fseeko(stream_, o, SEEK_SET) == 0;
}

#endif

size_t CommandPipe::read(uint8_t *out, size_t n) {
  return stream_ == nullptr ? 0 : std::fread(out, 1, n, stream_);
}

uint32_t time_seconds() { return static_cast<uint32_t>(std::time(nullptr)); }
uint32_t processor_clock() { return static_cast<uint32_t>(std::clock()); }

bool module_file_path(char *path, size_t size) {
  const char *value = std::getenv(kModulePathVariable);
  if (value == nullptr) { return false; }
  // The terminating NUL must fit too: a value of `size` bytes or more is ignored.
  const size_t len = std::strlen(value);
  if (len == 0 || len >= size) { return false; }
  std::memcpy(path, value, len + 1);
  return true;
}

File::File(const char *path) : stream_(std::fopen(path, "rb")) {}

File::~File() {
  if (stream_ != nullptr) { std::fclose(stream_); }
}

size_t File::read(uint8_t *out, size_t n) {
  return stream_ == nullptr ? 0 : std::fread(out, 1, n, stream_);
}

}  // namespace platform
}  // namespace ql
