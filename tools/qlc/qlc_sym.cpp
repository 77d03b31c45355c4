// qlc enc, dec, rand and genkey, and the cipher algorithms of qlc speed: the module's
// symmetric, random and key services. Files stream through in chunks, so memory stays
// constant whatever their size.
#include <algorithm>
#include <cstring>
#include <iostream>

#include "qlc.h"

namespace qlc {
namespace {

constexpr size_t kChunk = 64 * 1024;  // a multiple of every unit, as CTR decryption needs
constexpr size_t kBlock = 16;         // the block of every cipher of the module

struct Named {
  const char *name;
  uint32_t value;
};
constexpr Named kCiphers[] = {{"seed128", QL_SYM_SEED128}, {"seed", QL_SYM_SEED128},
                              {"seed256", QL_SYM_SEED256}, {"aria", QL_SYM_ARIA},
                              {"aes", QL_SYM_AES}};
constexpr Named kModes[] = {{"ecb", QL_SYM_MODE_ECB}, {"cbc", QL_SYM_MODE_CBC},
                            {"cfb", QL_SYM_MODE_CFB}, {"ofb", QL_SYM_MODE_OFB},
                            {"ctr", QL_SYM_MODE_CTR}};
constexpr Named kPaddings[] = {{"none", QL_SYM_PAD_NONE},
                               {"zero", QL_SYM_PAD_ZERO},
                               {"bit", QL_SYM_PAD_BIT},
                               {"pkcs", QL_SYM_PAD_PKCS}};

template <size_t N>
uint32_t lookup(const Args &args, const Named (&table)[N], const std::string &name,
                const char *what) {
  for (const Named &n : table) {
    if (name == n.name) { return n.value; }
  }
  std::string choices;
  for (const Named &n : table) { choices += std::string(choices.empty() ? "" : ", ") + n.name; }
  args.fail("unknown " + std::string(what) + " '" + name + "' (" + choices + ")");
}

// Wipes a record holding key material when it goes out of scope.
template <typename T>
struct WipeOnExit {
  T &record;
  ~WipeOnExit() { wipe(&record, sizeof(record)); }
};

// A key record for `algorithm`; a key longer than the record keeps its true length, so that
// the module refuses it with its own message.
void fill_key(QLC_SECRET_KEY &key, int32_t algorithm, const std::vector<uint8_t> &bytes) {
  std::memset(&key, 0, sizeof(key));
  key.algorithm = algorithm;
  key.key_len = static_cast<uint32_t>(bytes.size());
  std::memcpy(key.key, bytes.data(), std::min(bytes.size(), sizeof(key.key)));
}

// The options of enc and dec.
struct CipherJob {
  int32_t cipher = 0;
  QL_SYM_PARAM param{};
  std::vector<uint8_t> key;
  std::string in = "-";
  std::string out = "-";
  ~CipherJob() { wipe(key.data(), key.size()); }
};

void parse_cipher_job(Args &args, CipherJob &job) {
  bool have_key = false, have_iv = false, have_padding = false;
  job.param.mode = QL_SYM_MODE_CBC;
  job.param.segmentLength = kBlock;
  while (!args.done()) {
    const std::string a = args.next();
    if (a == "-c") {
      job.cipher = static_cast<int32_t>(lookup(args, kCiphers, args.value(a), "cipher"));
    } else if (a == "-m") {
      job.param.mode = lookup(args, kModes, args.value(a), "mode");
    } else if (a == "-p") {
      job.param.padding = lookup(args, kPaddings, args.value(a), "padding");
      have_padding = true;
    } else if (a == "-k" || a == "--key-file") {
      wipe(job.key.data(), job.key.size());
      std::string text = args.value(a);
      job.key = a == "-k" ? parse_hex(text, "-k") : read_small_file(text, 4096);
      wipe(&text[0], text.size());
      have_key = true;
    } else if (a == "-iv") {
      const std::vector<uint8_t> iv = parse_hex(args.value(a), "-iv");
      if (iv.size() > sizeof(job.param.iv)) { args.fail("-iv: longer than 32 bytes"); }
      std::memcpy(job.param.iv, iv.data(), iv.size());
      job.param.ivLength = static_cast<uint32_t>(iv.size());
      have_iv = true;
    } else if (a == "-s") {
      job.param.segmentLength =
          static_cast<uint32_t>(parse_count(args, args.value(a), "-s", 1, kBlock));
    } else if (a == "-in") {
      job.in = args.value(a);
    } else if (a == "-out") {
      job.out = args.value(a);
    } else {
      args.fail("unexpected argument '" + a + "'");
    }
  }
  if (job.cipher == 0) { args.fail("a cipher is needed: -c seed128|seed256|aria|aes"); }
  if (!have_key) { args.fail("a key is needed: -k HEX or --key-file F"); }
  if (!have_iv && job.param.mode != QL_SYM_MODE_ECB) {
    args.fail("this mode needs an IV (initial counter block in CTR): -iv HEX of 16 bytes");
  }
  // The module takes any AES or ARIA key length from 16 to 32 bytes and uses the largest
  // standard length that fits, ignoring the rest of the key: refuse what is not a whole key.
  const size_t klen = job.key.size();
  if ((job.cipher == QL_SYM_AES || job.cipher == QL_SYM_ARIA) && klen > 16 && klen < 32 &&
      klen != 24) {
    args.fail("a key of " + std::to_string(klen) + " bytes: AES and ARIA keys have 16, 24 or " +
              "32 bytes");
  }
  if (!have_padding) {
    // As openssl enc: block modes pad, stream modes do not.
    job.param.padding = job.param.mode == QL_SYM_MODE_ECB || job.param.mode == QL_SYM_MODE_CBC
                            ? QL_SYM_PAD_PKCS
                            : QL_SYM_PAD_NONE;
  }
}

}  // namespace

int cmd_enc(Args &args) {
  CipherJob job;
  parse_cipher_job(args, job);
  start_module(args.non_approved());
  QLC_SECRET_KEY key;
  QL_SYM_CTX ctx;
  std::memset(&ctx, 0, sizeof(ctx));
  WipeOnExit<QLC_SECRET_KEY> wipe_key{key};
  WipeOnExit<QL_SYM_CTX> wipe_ctx{ctx};
  fill_key(key, job.cipher, job.key);
  check(QLC_SYM_Encrypt_Init(&ctx, &key, job.cipher, &job.param), "QLC_SYM_Encrypt_Init");
  Input in(job.in);
  Output out(job.out);
  std::vector<uint8_t> buf(kChunk), res(kChunk + 2 * kBlock);
  size_t n = 0;
  do {
    n = in.read_full(buf.data(), buf.size());
    if (n == 0) { break; }
    uint32_t m = 0;
    check(QLC_SYM_Encrypt_Update(&ctx, res.data(), &m, buf.data(), static_cast<uint32_t>(n)),
          "QLC_SYM_Encrypt_Update");
    out.write(res.data(), m);
  } while (n == buf.size());
  uint32_t m = 0;
  check(QLC_SYM_Encrypt_Final(&ctx, res.data(), &m), "QLC_SYM_Encrypt_Final");
  out.write(res.data(), m);
  wipe(buf.data(), buf.size());
  wipe(res.data(), res.size());
  out.commit();
  return 0;
}

int cmd_dec(Args &args) {
  CipherJob job;
  parse_cipher_job(args, job);
  start_module(args.non_approved());
  QLC_SECRET_KEY key;
  QL_SYM_CTX ctx;
  std::memset(&ctx, 0, sizeof(ctx));
  WipeOnExit<QLC_SECRET_KEY> wipe_key{key};
  WipeOnExit<QL_SYM_CTX> wipe_ctx{ctx};
  fill_key(key, job.cipher, job.key);
  check(QLC_SYM_Decrypt_Init(&ctx, &key, job.cipher, &job.param), "QLC_SYM_Decrypt_Init");
  Input in(job.in);
  Output out(job.out);
  // The final step says how many bytes at the end of the plaintext are padding (at most one
  // block), so the last block of plaintext is held back until then.
  std::vector<uint8_t> buf(kChunk), res(kBlock + kChunk + 2 * kBlock);
  size_t held = 0;
  size_t n = 0;
  do {
    n = in.read_full(buf.data(), buf.size());
    if (n == 0) { break; }
    uint32_t m = 0;
    check(QLC_SYM_Decrypt_Update(&ctx, res.data() + held, &m, buf.data(),
                                 static_cast<uint32_t>(n)),
          "QLC_SYM_Decrypt_Update");
    const size_t total = held + m;
    const size_t keep = std::min(total, kBlock);
    out.write(res.data(), total - keep);
    std::memmove(res.data(), res.data() + total - keep, keep);
    held = keep;
  } while (n == buf.size());
  uint32_t pad = 0;
  check(QLC_SYM_Decrypt_Final(&ctx, &pad), "QLC_SYM_Decrypt_Final");
  if (pad > held) { throw IoError{"the module reported more padding than plaintext"}; }
  out.write(res.data(), held - pad);
  wipe(buf.data(), buf.size());
  wipe(res.data(), res.size());
  out.commit();
  return 0;
}

int cmd_rand(Args &args) {
  bool raw = false;
  std::string out_path = "-";
  std::string count;
  while (!args.done()) {
    const std::string a = args.next();
    if (a == "--raw") {
      raw = true;
    } else if (a == "--hex") {
      raw = false;
    } else if (a == "-out") {
      out_path = args.value(a);
    } else if (count.empty() && !a.empty() && a[0] != '-') {
      count = a;
    } else {
      args.fail("unexpected argument '" + a + "'");
    }
  }
  if (count.empty()) { args.fail("the number of bytes is needed"); }
  uint64_t left = parse_count(args, count, "the number of bytes", 0, uint64_t{1} << 30);
  start_module(args.non_approved());
  Output out(out_path);
  std::vector<uint8_t> buf(kChunk);
  while (left > 0) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, buf.size()));
    check(QLC_Rand(buf.data(), n), "QLC_Rand");
    if (raw) {
      out.write(buf.data(), n);
    } else {
      out.write(to_hex(buf.data(), n));
    }
    left -= n;
  }
  if (!raw) { out.write("\n"); }
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
  uint32_t len = 0;
  bool have_len = false;
  std::string out_path = "-";
  while (!args.done()) {
    const std::string a = args.next();
    if (a == "-l") {
      len = static_cast<uint32_t>(parse_count(args, args.value(a), "-l", 1, 256));
      have_len = true;
    } else if (a == "-out") {
      out_path = args.value(a);
    } else if (kind == nullptr && !a.empty() && a[0] != '-') {
      for (const KeyKind &k : kKinds) {
        if (a == k.name) { kind = &k; }
      }
      if (kind == nullptr) {
        args.fail("unknown key type '" + a + "' (seed128, seed256, aria128/192/256, " +
                  "aes128/192/256, hmac-has160, hmac-sha1, hmac-sha256, hmac-sha384, " +
                  "hmac-sha512)");
      }
    } else {
      args.fail("unexpected argument '" + a + "'");
    }
  }
  if (kind == nullptr) { args.fail("a key type is needed"); }
  if (have_len && kind->key_len != 0) { args.fail("-l applies to HMAC keys only"); }
  start_module(args.non_approved());
  QLC_SECRET_KEY key;
  std::memset(&key, 0, sizeof(key));
  WipeOnExit<QLC_SECRET_KEY> wipe_key{key};
  check(QLC_KEY_GenSecKey(&key, kind->gen_id, kind->key_len != 0 ? kind->key_len : len),
        "QLC_KEY_GenSecKey");
  std::string hex = to_hex(key.key, key.key_len) + "\n";
  Output out(out_path);
  out.write(hex);
  wipe(&hex[0], hex.size());
  out.commit();
  return 0;
}

void add_cipher_speed(std::vector<SpeedAlg> &algs) {
  struct Kind {
    const char *name;
    int32_t cipher;
    uint32_t key_len;
    uint32_t mode;
  };
  static constexpr Kind kKinds[] = {
      {"seed-cbc", QL_SYM_SEED128, 16, QL_SYM_MODE_CBC},
      {"seed-ctr", QL_SYM_SEED128, 16, QL_SYM_MODE_CTR},
      {"seed256-cbc", QL_SYM_SEED256, 32, QL_SYM_MODE_CBC},
      {"aria-128-cbc", QL_SYM_ARIA, 16, QL_SYM_MODE_CBC},
      {"aria-256-cbc", QL_SYM_ARIA, 32, QL_SYM_MODE_CBC},
      {"aria-128-ctr", QL_SYM_ARIA, 16, QL_SYM_MODE_CTR},
      {"aes-128-cbc", QL_SYM_AES, 16, QL_SYM_MODE_CBC},
      {"aes-256-cbc", QL_SYM_AES, 32, QL_SYM_MODE_CBC},
      {"aes-128-ctr", QL_SYM_AES, 16, QL_SYM_MODE_CTR},
  };
  for (const Kind &k : kKinds) {
    algs.push_back({k.name, [k](const uint8_t *in, uint32_t len) {
                      static uint8_t out[16384 + kBlock];
                      QLC_SECRET_KEY key;
                      std::memset(&key, 0x5a, sizeof(key));
                      key.algorithm = k.cipher;
                      key.key_len = k.key_len;
                      QL_SYM_PARAM p;
                      std::memset(&p, 0x11, sizeof(p));
                      p.mode = k.mode;
                      p.ivLength = kBlock;
                      p.segmentLength = kBlock;
                      p.padding = QL_SYM_PAD_NONE;
                      uint32_t out_len = 0;
                      return QLC_SYM_Encrypt(out, &out_len, in, len, &key, k.cipher, &p);
                    }});
  }
}

}  // namespace qlc
