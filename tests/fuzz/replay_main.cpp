// Runs a fuzz target over files and folders of inputs, without libFuzzer: each argument is a
// file, or a folder whose files are read in name order. Prints how many inputs ran.
// 64-bit file offsets and inode numbers: a 32-bit program's readdir fails on file systems
// whose inode numbers need more.
#define _FILE_OFFSET_BITS 64

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ql_fuzz.h"

namespace {

bool run_file(const std::string &path) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) { return false; }
  std::vector<uint8_t> data;
  uint8_t buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) { data.insert(data.end(), buf, buf + n); }
  std::fclose(f);
  LLVMFuzzerTestOneInput(data.data(), data.size());
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  size_t count = 0;
  for (int i = 1; i < argc; i++) {
    struct stat st;
    if (stat(argv[i], &st) != 0) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 1;
    }
    if (!S_ISDIR(st.st_mode)) {
      count += run_file(argv[i]) ? 1 : 0;
      continue;
    }
    DIR *d = opendir(argv[i]);
    if (d == nullptr) { return 1; }
    std::vector<std::string> names;
    while (const dirent *e = readdir(d)) {
      if (e->d_name[0] != '.') { names.emplace_back(e->d_name); }
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
      if (!run_file(std::string(argv[i]) + "/" + name)) { return 1; }
      count++;
    }
  }
  std::printf("%zu inputs ran\n", count);
  return count == 0 ? 1 : 0;
}
