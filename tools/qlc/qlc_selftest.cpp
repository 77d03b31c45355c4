// qlc selftest, and the library file check that qlc version reports. Both name the library file
// to the module through QL_CM_PATH: the caller's value when it is set, else the file this
// process loaded the library from.
#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <string>

#include "qlc.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#endif

namespace qlc {
namespace {

constexpr char kPathVariable[] = "QL_CM_PATH";

// The file the library was loaded from, found by an address inside it (the version string is
// static data of the library); empty when the system cannot tell.
std::string loaded_library_file() {
  const void *inside = QL_GetVersion(0);
#if defined(_WIN32)
  HMODULE module = nullptr;
  if (GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(inside), &module) == 0) {
    return "";
  }
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
#else
  Dl_info info;
  if (dladdr(inside, &info) == 0 || info.dli_fname == nullptr) { return ""; }
  char real[PATH_MAX];
  return realpath(info.dli_fname, real) != nullptr ? std::string(real)
                                                   : std::string(info.dli_fname);
#endif
}

// Points QL_CM_PATH at the loaded library unless the caller set it; returns the file it names
// and where that came from.
std::string name_library_file() {
  const char *given = std::getenv(kPathVariable);
  if (given != nullptr) { return std::string(given) + " (from " + kPathVariable + ")"; }
  const std::string file = loaded_library_file();
  if (file.empty()) { return "unknown (the loaded library was not found; set QL_CM_PATH)"; }
#if defined(_WIN32)
  _putenv_s(kPathVariable, file.c_str());
#else
  setenv(kPathVariable, file.c_str(), 0);
#endif
  return file + " (as loaded)";
}

}  // namespace

std::string library_signature() {
  const std::string file = name_library_file();
  // The check alone: it leaves the module state as it is, even when the file fails it.
  const int32_t r = QL_CMVP_IntegrityCheck();
  return std::string(r == 0 ? "valid" : "not valid") + ", " + file;
}

int cmd_selftest(Args &args) {
  if (!args.done()) { args.fail("unexpected argument '" + args.peek() + "'"); }
  const std::string file = name_library_file();
  // From the state at load the self-test itself enters the approved state.
  if (args.non_approved()) { start_module(true); }
  const auto start = std::chrono::steady_clock::now();
  const int32_t r = QLC_CM_SelfTest();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  const int32_t state = QLC_CM_StateInfo();
  if (r != 0) {
    std::cerr << "library file: " << file << "\n"
              << "module state: " << state << " (" << state_name(state) << ")\n";
    throw ModuleError{"QLC_CM_SelfTest", r};
  }
  std::cout << "self-test: passed in " << std::fixed << std::setprecision(3) << took.count()
            << " s\n"
            << "library file: " << file << "\n"
            << "module state: " << state << " (" << state_name(state) << ")\n";
  return 0;
}

}  // namespace qlc
