#include "ql_vectors.h"

#include <cctype>
#include <cstdlib>
#include <fstream>

namespace qltest {
namespace {

std::string trim(const std::string &s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) { b++; }
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) { e--; }
  return s.substr(b, e - b);
}

bool split(const std::string &line, std::string &key, std::string &value) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) { return false; }
  key = trim(line.substr(0, eq));
  value = trim(line.substr(eq + 1));
  return !key.empty();
}

}  // namespace

bool VectorCase::has(const std::string &key) const {
  return values_.count(key) != 0 || section_.count(key) != 0;
}

std::string VectorCase::str(const std::string &key) const {
  auto it = values_.find(key);
  if (it != values_.end()) {
    used_.insert(key);
    return it->second;
  }
  auto st = section_.find(key);
  if (st != section_.end()) { return st->second; }
  ADD_FAILURE() << where() << ": missing key " << key;
  return "";
}

std::vector<uint8_t> VectorCase::hex(const std::string &key) const { return from_hex(str(key)); }

uint64_t VectorCase::num(const std::string &key) const {
  return std::strtoull(str(key).c_str(), nullptr, 0);
}

void VectorCase::expect_all_consumed() const {
  for (const auto &kv : values_) {
    EXPECT_TRUE(used_.count(kv.first) != 0) << where() << ": key " << kv.first << " not used";
  }
}

std::vector<VectorCase> load_vectors(const std::string &name) {
  const std::string path = std::string(QL_VECTOR_DIR) + "/" + name;
  std::ifstream in(path);
  std::vector<VectorCase> cases;
  if (!in) {
    ADD_FAILURE() << "cannot open " << path;
    return cases;
  }
  std::map<std::string, std::string> section;
  std::string line;
  int line_no = 0;
  bool open = false;
  while (std::getline(in, line)) {
    line_no++;
    const std::string t = trim(line);
    if (!t.empty() && t[0] == '#') { continue; }
    if (t.empty()) {
      open = false;
      continue;
    }
    std::string key;
    std::string value;
    if (t.front() == '[' && t.back() == ']') {
      if (split(t.substr(1, t.size() - 2), key, value)) { section[key] = value; }
      open = false;
      continue;
    }
    if (!split(t, key, value)) {
      ADD_FAILURE() << name << ":" << line_no << ": malformed line";
      continue;
    }
    if (!open) {
      cases.emplace_back(name, line_no);
      for (const auto &kv : section) { cases.back().set_section(kv.first, kv.second); }
      open = true;
    }
    cases.back().set(key, value);
  }
  return cases;
}

std::vector<uint8_t> from_hex(const std::string &hex) {
  std::vector<uint8_t> out;
  std::string digits;
  for (char c : hex) {
    if (std::isxdigit(static_cast<unsigned char>(c))) { digits.push_back(c); }
  }
  if (digits.size() % 2 != 0) {
    ADD_FAILURE() << "odd hex length: " << hex;
    return out;
  }
  for (size_t i = 0; i < digits.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
  }
  return out;
}

std::string to_hex(const uint8_t *p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; i++) {
    s.push_back(digits[p[i] >> 4]);
    s.push_back(digits[p[i] & 15]);
  }
  return s;
}

}  // namespace qltest
