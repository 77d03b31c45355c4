// Reader for vector files: "key = value" lines, a blank line ends a case, "[key = value]"
// applies to the cases after it, "#" starts a comment. Values are returned as text, hex bytes
// or numbers; a case whose keys are not all consumed fails, and failures name file:line.
#ifndef QL_TEST_VECTORS_H
#define QL_TEST_VECTORS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qltest {

class VectorCase {
 public:
  VectorCase(std::string file, int line) : file_(std::move(file)), line_(line) {}
  void set(const std::string &key, const std::string &value) { values_[key] = value; }
  void set_section(const std::string &key, const std::string &value) { section_[key] = value; }

  bool has(const std::string &key) const;
  // The value of `key` (from the case, else from its section); fails the test when absent.
  std::string str(const std::string &key) const;
  std::vector<uint8_t> hex(const std::string &key) const;
  uint64_t num(const std::string &key) const;
  // "file:line" of the case, for failure messages.
  std::string where() const { return file_ + ":" + std::to_string(line_); }
  // Fails the test unless every key of the case was read.
  void expect_all_consumed() const;

 private:
  std::string file_;
  int line_;
  std::map<std::string, std::string> values_;
  std::map<std::string, std::string> section_;
  mutable std::set<std::string> used_;
};

// All cases of the file `name`, relative to tests/vectors.
std::vector<VectorCase> load_vectors(const std::string &name);

// Hex text to bytes and back (lower case).
std::vector<uint8_t> from_hex(const std::string &hex);
std::string to_hex(const uint8_t *p, size_t n);
inline std::string to_hex(const std::vector<uint8_t> &v) { return to_hex(v.data(), v.size()); }

}  // namespace qltest

#endif  // QL_TEST_VECTORS_H
