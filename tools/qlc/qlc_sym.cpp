// qlc enc, dec, rand and genkey, and the cipher algorithms of qlc speed: the module's
// symmetric, random and key services. Files stream through in chunks, so memory stays
// constant whatever their size.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "qlc.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qlc {
namespace {

constexpr size_t kChunk = 64 * 1024;  // a multiple of every unit, as CTR decryption needs
constexpr size_t kBlock = 16;         // the block of every cipher of the module
constexpr size_t kSaltLen = 8;        // the salt of the "Salted__" header
constexpr char kSaltMagic[] = "Salted__";

struct Named {
  const char *name;
  uint32_t value;
};
// A cipher name, its identifier and its key length (0: 16, 24 or 32 bytes, from the key).
struct CipherName {
  const char *name;
  int32_t id;
  uint32_t key_len;
};
constexpr CipherName kCiphers[] = {
    {"seed128", QL_SYM_SEED128, 16}, {"seed", QL_SYM_SEED128, 16}, {"seed256", QL_SYM_SEED256, 32},
    {"aria", QL_SYM_ARIA, 0},        {"aria128", QL_SYM_ARIA, 16}, {"aria192", QL_SYM_ARIA, 24},
    {"aria256", QL_SYM_ARIA, 32},    {"aes", QL_SYM_AES, 0},       {"aes128", QL_SYM_AES, 16},
    {"aes192", QL_SYM_AES, 24},      {"aes256", QL_SYM_AES, 32}};
constexpr Named kModes[] = {{"ecb", QL_SYM_MODE_ECB}, {"cbc", QL_SYM_MODE_CBC},
                            {"cfb", QL_SYM_MODE_CFB}, {"ofb", QL_SYM_MODE_OFB},
                            {"ctr", QL_SYM_MODE_CTR}};
constexpr Named kPaddings[] = {{"none", QL_SYM_PAD_NONE},
                               {"zero", QL_SYM_PAD_ZERO},
                               {"bit", QL_SYM_PAD_BIT},
                               {"pkcs", QL_SYM_PAD_PKCS}};

template <typename T, size_t N>
const T &lookup(const Args &args, const T (&table)[N], const std::string &name, const char *what) {
  for (const T &n : table) {
    if (same_name(name, n.name)) { return n; }
  }
  std::string choices;
  for (const T &n : table) { choices += std::string(choices.empty() ? "" : ", ") + n.name; }
  args.fail("unknown " + std::string(what) + " '" + name + "' (" + choices + ")");
}

const char *cipher_family(int32_t id) {
  switch (id) {
    case QL_SYM_AES:
      return "AES";
    case QL_SYM_ARIA:
      return "ARIA";
    case QL_SYM_SEED128:
      return "SEED-128";
    default:
      return "SEED-256";
  }
}

// Wipes a record holding key material when it goes out of scope.
template <typename T>
struct WipeOnExit {
  T &record;
  ~WipeOnExit() { wipe(&record, sizeof(record)); }
};

// The options of enc and dec.
struct CipherJob {
  const CipherName *cipher = nullptr;
  QL_SYM_PARAM param{};
  std::vector<uint8_t> key;
  std::string key_file;
  bool raw_key = false;
  std::string pass;  // -pass SOURCE
  bool pbkdf2 = false;
  uint32_t iter = 10000;
  std::vector<uint8_t> salt;
  bool have_key = false, have_iv = false, have_seg = false, have_iter = false;
  bool base64 = false;
  std::string in = "-";
  std::string out = "-";
  ~CipherJob() {
    wipe(key.data(), key.size());
    wipe(&pass[0], pass.size());
  }
};

void parse_cipher_job(Args &args, CipherJob &job, bool encrypt) {
  bool have_padding = false;
  job.param.mode = QL_SYM_MODE_CBC;
  job.param.segmentLength = kBlock;
  auto take_key = [&]() {
    if (job.have_key) { args.fail("a key given twice (one of -k, --key-file, -pass)"); }
    job.have_key = true;
  };
  while (!args.done()) {
    const std::string a = args.next();
    if (!args.is_option(a)) { args.fail("unexpected argument '" + a + "'"); }
    if (a == "-k" || a == "--key-file" || a == "-pass") {
      take_key();
    } else {
      args.once(a);
    }
    if (a == "-c") {
      job.cipher = &lookup(args, kCiphers, args.value(a), "cipher");
    } else if (a == "-m") {
      job.param.mode = lookup(args, kModes, args.value(a), "mode").value;
    } else if (a == "-p") {
      job.param.padding = lookup(args, kPaddings, args.value(a), "padding").value;
      have_padding = true;
    } else if (a == "-k") {
      std::string text = args.value(a);
      job.key = parse_hex(text, "-k");
      wipe(&text[0], text.size());
    } else if (a == "--key-file") {
      job.key_file = args.value(a);
    } else if (a == "--raw") {
      job.raw_key = true;
    } else if (a == "-pass") {
      job.pass = args.value(a);
    } else if (a == "-pbkdf2") {
      job.pbkdf2 = true;
    } else if (a == "-iter") {
      job.iter = static_cast<uint32_t>(parse_count(args, args.value(a), "-iter", 1, 1000000000));
      job.have_iter = true;
    } else if (a == "-S" && encrypt) {
      job.salt = parse_hex(args.value(a), "-S");
      if (job.salt.size() != kSaltLen) { args.fail("-S: the salt has 8 bytes (16 hex digits)"); }
    } else if (a == "-iv") {
      const std::vector<uint8_t> iv = parse_hex(args.value(a), "-iv");
      if (iv.size() != kBlock) { args.fail("-iv: the IV has 16 bytes (32 hex digits)"); }
      std::memcpy(job.param.iv, iv.data(), iv.size());
      job.param.ivLength = static_cast<uint32_t>(iv.size());
      job.have_iv = true;
    } else if (a == "-s") {
      job.param.segmentLength =
          static_cast<uint32_t>(parse_count(args, args.value(a), "-s", 1, kBlock));
      job.have_seg = true;
    } else if (a == "-a") {
      job.base64 = true;
    } else if (a == "-in") {
      job.in = args.value(a);
    } else if (a == "-out") {
      job.out = args.value(a);
    } else {
      args.fail("unknown option '" + a + "'");
    }
  }
  const uint32_t mode = job.param.mode;
  if (job.cipher == nullptr) { args.fail("a cipher is needed: -c seed128|seed256|aria|aes"); }
  if (!job.have_key) { args.fail("a key is needed: -k HEX, --key-file F or -pass SOURCE"); }
  if (job.raw_key && job.key_file.empty()) { args.fail("--raw applies to --key-file only"); }
  const bool password = !job.pass.empty();
  if (!password && (job.pbkdf2 || job.have_iter || !job.salt.empty())) {
    args.fail("-pbkdf2, -iter and -S apply to -pass only");
  }
  if (password && !job.pbkdf2) {
    args.fail("-pass needs -pbkdf2 (the only key derivation qlc offers)");
  }
  if (password && job.cipher->key_len == 0) {
    args.fail("-pass needs a cipher that names its key length, such as " +
              std::string(job.cipher->id == QL_SYM_AES ? "aes256" : "aria256"));
  }
  if (job.have_iv && mode == QL_SYM_MODE_ECB) { args.fail("-iv does not apply in ecb"); }
  if (job.have_iv && password) { args.fail("-iv does not apply with -pass (it comes from it)"); }
  if (!job.have_iv && !password && mode != QL_SYM_MODE_ECB) {
    args.fail("this mode needs an IV (initial counter block in CTR): -iv HEX of 16 bytes");
  }
  if (job.have_seg && (mode == QL_SYM_MODE_ECB || mode == QL_SYM_MODE_CBC)) {
    args.fail("-s applies to cfb, ofb and ctr only");
  }
  if (!have_padding) {
    // As openssl enc: block modes pad, stream modes do not.
    job.param.padding =
        mode == QL_SYM_MODE_ECB || mode == QL_SYM_MODE_CBC ? QL_SYM_PAD_PKCS : QL_SYM_PAD_NONE;
  }
}

// Refuses a key whose length the cipher does not take, naming the lengths it does.
void check_key_length(const CipherJob &job) {
  const size_t klen = job.key.size();
  const uint32_t want = job.cipher->key_len;
  if (want != 0 ? klen == want : klen == 16 || klen == 24 || klen == 32) { return; }
  const std::string family = cipher_family(job.cipher->id);
  const std::string rule =
      want == 0 ? family + " keys have 16, 24 or 32 bytes"
                : (job.cipher->id == QL_SYM_AES || job.cipher->id == QL_SYM_ARIA
                       ? std::string(job.cipher->name) + " takes "
                       : family + " keys have ") +
                      std::to_string(want) + " bytes";
  throw UsageError{"a key of " + std::to_string(klen) + (klen == 1 ? " byte: " : " bytes: ") +
                   rule};
}

// The password of -pass: pass:PASSWORD, env:VARIABLE or file:PATH (its first line).
std::string read_password(const std::string &source) {
  if (source.compare(0, 5, "pass:") == 0) { return source.substr(5); }
  if (source.compare(0, 4, "env:") == 0) {
    const char *v = std::getenv(source.c_str() + 4);
    if (v == nullptr) {
      throw IoError{"-pass: environment variable " + source.substr(4) + " is not set"};
    }
    return v;
  }
  if (source.compare(0, 5, "file:") == 0) {
    std::vector<uint8_t> data = read_small_file(source.substr(5), 64 * 1024);
    size_t n = 0;
    while (n < data.size() && data[n] != '\n' && data[n] != '\r') { n++; }
    std::string p(reinterpret_cast<const char *>(data.data()), n);
    wipe(data.data(), data.size());
    return p;
  }
  throw UsageError{"-pass: the source is pass:PASSWORD, env:VARIABLE or file:PATH"};
}

// PBKDF2 with HMAC-SHA256: `len` bytes from the password and the salt, each HMAC computed by
// the module's HMAC service.
void pbkdf2_sha256(const std::string &password, const uint8_t *salt, size_t salt_len,
                   uint32_t iter, uint8_t *out, size_t len) {
  const Digest &d = digest_by_mac(QL_HMAC_SHA256);
  QLC_SECRET_KEY key;
  WipeOnExit<QLC_SECRET_KEY> wipe_key{key};
  fill_mac_key(key, d, reinterpret_cast<const uint8_t *>(password.data()), password.size());
  uint8_t u[32], t[32], first[kSaltLen + 4];
  struct WipeBlocks {
    uint8_t *a, *b;
    ~WipeBlocks() {
      wipe(a, 32);
      wipe(b, 32);
    }
  } wipe_blocks{u, t};
  std::memcpy(first, salt, salt_len);
  for (uint32_t block = 1; len > 0; block++) {
    first[salt_len] = static_cast<uint8_t>(block >> 24);
    first[salt_len + 1] = static_cast<uint8_t>(block >> 16);
    first[salt_len + 2] = static_cast<uint8_t>(block >> 8);
    first[salt_len + 3] = static_cast<uint8_t>(block);
    uint32_t n = 0;
    check(QLC_HMAC(u, &n, first, static_cast<uint32_t>(salt_len + 4), &key, QL_HMAC_SHA256),
          "QLC_HMAC");
    std::memcpy(t, u, sizeof(t));
    for (uint32_t j = 1; j < iter; j++) {
      check(QLC_HMAC(u, &n, u, sizeof(u), &key, QL_HMAC_SHA256), "QLC_HMAC");
      for (size_t k = 0; k < sizeof(t); k++) { t[k] ^= u[k]; }
    }
    const size_t take = std::min(len, sizeof(t));
    std::memcpy(out, t, take);
    out += take;
    len -= take;
  }
}

// The key (and with -pass the IV) of a job, once the module runs; with -pass, the salt is
// drawn (enc) or read from the header of `in` (dec).
void resolve_key(CipherJob &job, bool encrypt, Input &in) {
  if (!job.key_file.empty()) { job.key = read_key_file(job.key_file, job.raw_key); }
  if (job.pass.empty()) {
    check_key_length(job);
    return;
  }
  if (encrypt) {
    if (job.salt.empty()) {
      job.salt.resize(kSaltLen);
      check(QLC_Rand(job.salt.data(), kSaltLen), "QLC_Rand");
    }
  } else {
    uint8_t header[kBlock];
    if (in.read_full(header, sizeof(header)) != sizeof(header) ||
        std::memcmp(header, kSaltMagic, 8) != 0) {
      throw IoError{in.name() + ": no \"Salted__\" header (not written with -pass)"};
    }
    job.salt.assign(header + 8, header + kBlock);
  }
  std::string password = read_password(job.pass);
  const size_t klen = job.cipher->key_len;
  const size_t ivlen = job.param.mode == QL_SYM_MODE_ECB ? 0 : kBlock;
  uint8_t derived[32 + kBlock];
  pbkdf2_sha256(password, job.salt.data(), kSaltLen, job.iter, derived, klen + ivlen);
  wipe(&password[0], password.size());
  job.key.assign(derived, derived + klen);
  std::memcpy(job.param.iv, derived + klen, ivlen);
  job.param.ivLength = static_cast<uint32_t>(ivlen);
  wipe(derived, sizeof(derived));
}

// Encrypts or decrypts `in` to `out`. CFB and OFB with whole-block segments and no padding
// take input of any length: the module takes the whole blocks, and the last partial block is
// XORed with the module's ECB encryption of the last register, as those modes define it.
void run_cipher(CipherJob &job, bool encrypt, Input &in, Output &out) {
  QLC_SECRET_KEY key;
  QL_SYM_CTX ctx;
  std::memset(&key, 0, sizeof(key));
  std::memset(&ctx, 0, sizeof(ctx));
  WipeOnExit<QLC_SECRET_KEY> wipe_key{key};
  WipeOnExit<QL_SYM_CTX> wipe_ctx{ctx};
  key.algorithm = job.cipher->id;
  key.key_len = static_cast<uint32_t>(job.key.size());
  std::memcpy(key.key, job.key.data(), job.key.size());
  const int32_t id = job.cipher->id;
  if (encrypt) {
    check(QLC_SYM_Encrypt_Init(&ctx, &key, id, &job.param), "QLC_SYM_Encrypt_Init");
  } else {
    check(QLC_SYM_Decrypt_Init(&ctx, &key, id, &job.param), "QLC_SYM_Decrypt_Init");
  }
  const uint32_t mode = job.param.mode;
  const bool tail_mode = (mode == QL_SYM_MODE_CFB || mode == QL_SYM_MODE_OFB) &&
                         job.param.segmentLength == kBlock && job.param.padding == QL_SYM_PAD_NONE;
  uint8_t reg[kBlock];
  std::memcpy(reg, job.param.iv, kBlock);
  // Decryption holds back the last block until the final step says how much of it is
  // padding (at most one block).
  std::vector<uint8_t> buf(kChunk), res(kBlock + kChunk + 2 * kBlock);
  struct WipeBufs {
    std::vector<uint8_t> &a, &b;
    uint8_t *r;
    ~WipeBufs() {
      wipe(a.data(), a.size());
      wipe(b.data(), b.size());
      wipe(r, kBlock);
    }
  } wipe_bufs{buf, res, reg};
  size_t held = 0, tail = 0, n = 0;
  do {
    n = in.read_full(buf.data(), buf.size());
    size_t whole = n;
    if (tail_mode && n < buf.size()) {
      tail = n % kBlock;
      whole = n - tail;
    }
    if (whole == 0) { break; }
    uint32_t m = 0;
    uint8_t *dst = res.data() + held;
    if (encrypt) {
      check(QLC_SYM_Encrypt_Update(&ctx, dst, &m, buf.data(), static_cast<uint32_t>(whole)),
            "QLC_SYM_Encrypt_Update");
    } else {
      check(QLC_SYM_Decrypt_Update(&ctx, dst, &m, buf.data(), static_cast<uint32_t>(whole)),
            "QLC_SYM_Decrypt_Update");
    }
    if (tail_mode) {
      // The register after the last whole block: the ciphertext in CFB, the keystream
      // (ciphertext XOR plaintext) in OFB.
      const uint8_t *last_in = buf.data() + whole - kBlock;
      const uint8_t *last_out = dst + m - kBlock;
      const uint8_t *cipher_text = encrypt ? last_out : last_in;
      for (size_t k = 0; k < kBlock; k++) {
        reg[k] = mode == QL_SYM_MODE_CFB ? cipher_text[k] : last_in[k] ^ last_out[k];
      }
    }
    const size_t total = held + m;
    const size_t keep = encrypt ? 0 : std::min(total, kBlock);
    out.write(res.data(), total - keep);
    std::memmove(res.data(), res.data() + total - keep, keep);
    held = keep;
  } while (n == buf.size());
  uint32_t m = 0;
  if (encrypt) {
    check(QLC_SYM_Encrypt_Final(&ctx, res.data(), &m), "QLC_SYM_Encrypt_Final");
    out.write(res.data(), m);
  } else {
    uint32_t pad = 0;
    check(QLC_SYM_Decrypt_Final(&ctx, &pad), "QLC_SYM_Decrypt_Final");
    if (pad > held) { throw IoError{"the module reported more padding than plaintext"}; }
    out.write(res.data(), held - pad);
  }
  if (tail > 0) {
    QL_SYM_PARAM ecb{};
    ecb.mode = QL_SYM_MODE_ECB;
    ecb.padding = QL_SYM_PAD_NONE;
    ecb.segmentLength = kBlock;
    uint8_t ks[2 * kBlock];
    uint32_t ks_len = 0;
    check(QLC_SYM_Encrypt(ks, &ks_len, reg, kBlock, &key, id, &ecb), "QLC_SYM_Encrypt");
    const uint8_t *src = buf.data() + (n - tail);
    for (size_t k = 0; k < tail; k++) { ks[k] ^= src[k]; }
    out.write(ks, tail);
    wipe(ks, sizeof(ks));
  }
}

int cipher_command(Args &args, bool encrypt) {
  CipherJob job;
  parse_cipher_job(args, job, encrypt);
  start_module(args.non_approved());
  Input in(job.in, job.base64 && !encrypt);
  resolve_key(job, encrypt, in);
  Output out(job.out, job.base64 && encrypt);
  out.check_not_same(in);
  if (encrypt && !job.pass.empty()) {
    out.write(reinterpret_cast<const uint8_t *>(kSaltMagic), 8);
    out.write(job.salt.data(), kSaltLen);
  }
  run_cipher(job, encrypt, in, out);
  out.commit();
  return 0;
}

bool stderr_is_terminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

}  // namespace

int cmd_enc(Args &args) { return cipher_command(args, true); }

int cmd_dec(Args &args) { return cipher_command(args, false); }

void list_ciphers() {
  std::cout << "Ciphers (qlc enc -c, qlc dec -c; block 16 bytes):\n"
               "  seed128 (seed)  16-byte key\n"
               "  seed256         32-byte key, needs --non-approved\n"
               "  aria            16, 24 or 32-byte key (aria128, aria192, aria256)\n"
               "  aes             16, 24 or 32-byte key (aes128, aes192, aes256), needs "
               "--non-approved\n"
               "Modes (-m): ecb, cbc (default), cfb, ofb, ctr (-s 1 to 16 in cfb, ofb and ctr)\n"
               "Paddings (-p): none, zero, bit, pkcs (default pkcs in ecb and cbc, none "
               "otherwise)\n"
               "Password-based keys (-pass ... -pbkdf2): PBKDF2 with HMAC-SHA256\n"
               "Key types (qlc genkey): seed128, seed256 and aes128/192/256 (the last four need\n"
               "  --non-approved), aria128/192/256, hmac-has160, hmac-sha1, hmac-sha256,\n"
               "  hmac-sha384, hmac-sha512\n";
}

int cmd_rand(Args &args) {
  enum Format { kHex, kRaw, kBase64 } format = kHex;
  bool have_format = false;
  std::string out_path = "-";
  std::string count;
  while (!args.done()) {
    const std::string a = args.next();
    if (a == "--raw" || a == "--hex" || a == "-a") {
      if (have_format) { args.fail("--hex, --raw and -a exclude each other"); }
      have_format = true;
      format = a == "--raw" ? kRaw : a == "-a" ? kBase64 : kHex;
    } else if (a == "-out" && args.is_option(a)) {
      args.once(a);
      out_path = args.value(a);
    } else if (count.empty() && !args.is_option(a)) {
      count = a;
    } else {
      args.fail(args.is_option(a) ? "unknown option '" + a + "'"
                                  : "unexpected argument '" + a + "'");
    }
  }
  if (count.empty()) { args.fail("the number of bytes is needed"); }
  const uint64_t total = parse_count(args, count, "the number of bytes", 0, uint64_t{1} << 30);
  start_module(args.non_approved());
  Output out(out_path, format == kBase64);
  // The generator is slow by design: large requests go in small pieces with a progress line.
  const bool progress = total > 4096 && stderr_is_terminal();
  std::vector<uint8_t> buf(progress ? 256 : kChunk);
  auto show = [&](uint64_t done_bytes) {
    std::fprintf(stderr, "\rqlc rand: %llu of %llu bytes (%d%%)",
                 static_cast<unsigned long long>(done_bytes),
                 static_cast<unsigned long long>(total),
                 static_cast<int>(done_bytes * 100 / total));
  };
  if (progress) { show(0); }
  uint64_t left = total;
  while (left > 0) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, buf.size()));
    check(QLC_Rand(buf.data(), n), "QLC_Rand");
    if (format == kHex) {
      out.write(to_hex(buf.data(), n));
    } else {
      out.write(buf.data(), n);
    }
    left -= n;
    if (progress) { show(total - left); }
  }
  if (progress) { std::fprintf(stderr, "\n"); }
  wipe(buf.data(), buf.size());
  if (format == kHex && total > 0) { out.write("\n"); }
  out.commit();
  return 0;
}

int cmd_genkey(Args &args) {
  struct KeyKind {
    const char *name;
    uint32_t gen_id;
    uint32_t key_len;  // 0: the default, or -l
  };
  static constexpr KeyKind kKinds[] = {
      {"seed128", 0x01000000 | QL_SYM_SEED128, 16}, {"seed256", 0x01000000 | QL_SYM_SEED256, 32},
      {"aria128", 0x01000000 | QL_SYM_ARIA, 16},    {"aria192", 0x01000000 | QL_SYM_ARIA, 24},
      {"aria256", 0x01000000 | QL_SYM_ARIA, 32},    {"aes128", 0x01000000 | QL_SYM_AES, 16},
      {"aes192", 0x01000000 | QL_SYM_AES, 24},      {"aes256", 0x01000000 | QL_SYM_AES, 32},
      {"hmac-has160", 0x02000000 | QL_HMAC_HAS160, 0},
      {"hmac-sha1", 0x02000000 | QL_HMAC_SHA1, 0},
      {"hmac-sha256", 0x02000000 | QL_HMAC_SHA256, 0},
      {"hmac-sha384", 0x02000000 | QL_HMAC_SHA384, 0},
      {"hmac-sha512", 0x02000000 | QL_HMAC_SHA512, 0},
  };
  const KeyKind *kind = nullptr;
  std::string len_text;
  bool raw = false;
  std::string out_path = "-";
  while (!args.done()) {
    const std::string a = args.next();
    if (args.is_option(a)) { args.once(a); }
    if (a == "-l" && args.is_option(a)) {
      len_text = args.value(a);
    } else if (a == "--raw" && args.is_option(a)) {
      raw = true;
    } else if (a == "-out" && args.is_option(a)) {
      out_path = args.value(a);
    } else if (kind == nullptr && !args.is_option(a)) {
      for (const KeyKind &k : kKinds) {
        if (same_name(a, k.name)) { kind = &k; }
      }
      if (kind == nullptr) {
        args.fail("unknown key type '" + a + "' (seed128, seed256, aria128/192/256, " +
                  "aes128/192/256, hmac-has160, hmac-sha1, hmac-sha256, hmac-sha384, " +
                  "hmac-sha512)");
      }
    } else {
      args.fail(args.is_option(a) ? "unknown option '" + a + "'"
                                  : "unexpected argument '" + a + "'");
    }
  }
  if (kind == nullptr) { args.fail("a key type is needed"); }
  uint32_t len = 0;
  if (!len_text.empty()) {
    if (kind->key_len != 0) { args.fail("-l applies to HMAC keys only"); }
    // The module's rule for generated HMAC keys: half the digest length to the block length.
    const Digest &d = digest_by_mac(static_cast<int32_t>(kind->gen_id & 0xffff));
    len = static_cast<uint32_t>(parse_count(args, len_text, "-l", 1, 1 << 20));
    if (len < d.digest_len / 2 || len > d.block_len) {
      args.fail("-l: " + std::string(kind->name) + " keys from genkey have " +
                std::to_string(d.digest_len / 2) + " to " + std::to_string(d.block_len) +
                " bytes, not " + len_text);
    }
  }
  start_module(args.non_approved());
  QLC_SECRET_KEY key;
  std::memset(&key, 0, sizeof(key));
  WipeOnExit<QLC_SECRET_KEY> wipe_key{key};
  check(QLC_KEY_GenSecKey(&key, kind->gen_id, kind->key_len != 0 ? kind->key_len : len),
        "QLC_KEY_GenSecKey");
  Output out(out_path);
  if (raw) {
    out.write(key.key, key.key_len);
  } else {
    std::string hex = to_hex(key.key, key.key_len) + "\n";
    out.write(hex);
    wipe(&hex[0], hex.size());
  }
  out.commit();
  return 0;
}

}  // namespace qlc
