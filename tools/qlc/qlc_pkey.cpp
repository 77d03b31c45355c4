// qlc genpkey, pkey, sign, verify, encrypt, decrypt: the module's public-key services on key
// files that openssl reads and writes.

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

#include "qlc_pk.h"

#if defined(_WIN32)
#include <io.h>
#define QLC_ISATTY _isatty
#else
#include <unistd.h>
#define QLC_ISATTY isatty
#endif

namespace qlc {

namespace {

// The module encodes into a buffer it first asks the length for.
template <typename Encode>
std::vector<uint8_t> module_der(Encode encode, const char *service) {
  uint32_t len = 0;
  check(encode(nullptr, &len), service);
  std::vector<uint8_t> out(len);
  check(encode(out.data(), &len), service);
  if (len > out.size()) { throw ModuleError{service, -1}; }
  out.resize(len);
  return out;
}

QL_ASYM_KEY *fresh(QL_ASYM_KEY *k) {
  if (k == nullptr) { throw IoError{"out of memory"}; }
  return k;
}

// Options shared by the key-writing commands.
struct KeyOutput {
  std::string path = "-";
  bool pem = false;
  KeyForm form = KeyForm::kModule;
  bool form_given = false;
  // Takes `a` when it is one of these options.
  bool take(Args &args, const std::string &a) {
    if (a == "-out") {
      args.once(a);
      path = args.value(a);
    } else if (a == "-outform") {
      args.once(a);
      const std::string v = args.value(a);
      if (same_name(v, "pem")) {
        pem = true;
      } else if (!same_name(v, "der")) {
        args.fail("-outform takes DER or PEM, not '" + v + "'");
      }
    } else if (a == "-format") {
      args.once(a);
      form = parse_key_form(args, args.value(a));
      form_given = true;
    } else {
      return false;
    }
    return true;
  }
  void write(const Args &args, const PKey &key, bool public_only) const {
    std::vector<uint8_t> bytes = write_pkey(args, key, public_only, form, pem);
    const bool secret = key.has_private() && !public_only;
    Output out(path, false, secret ? 0600 : 0666);
    out.write(bytes.data(), bytes.size());
    wipe(bytes.data(), bytes.size());
    out.commit();
  }
};

// Takes `a` when it is the option `name` (or `alias`) with a value, which goes to `*dst`.
bool value_opt(Args &args, const std::string &a, const char *name, std::string *dst,
               const char *alias = nullptr) {
  if (!args.is_option(a) || (a != name && (alias == nullptr || a != alias))) { return false; }
  args.once(name);
  *dst = args.value(a);
  return true;
}

[[noreturn]] void unknown(const Args &args, const std::string &a) {
  args.fail(args.is_option(a) ? "unknown option '" + a + "'" : "unexpected argument '" + a + "'");
}

// Shows the seconds a long generation has taken on standard error when it is a terminal.
class Progress {
 public:
  explicit Progress(const std::string &what) : what_(what) {
    if (QLC_ISATTY(2) == 0) { return; }
    thread_ = std::thread([this] {
      std::unique_lock<std::mutex> lock(mutex_);
      const auto start = std::chrono::steady_clock::now();
      while (!stop_) {
        const long s = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(
                                             std::chrono::steady_clock::now() - start)
                                             .count());
        std::fprintf(stderr, "\r%s ... %ld s", what_.c_str(), s);
        std::fflush(stderr);
        wake_.wait_for(lock, std::chrono::seconds(1));
      }
      std::fprintf(stderr, "\n");
    });
  }
  ~Progress() {
    if (!thread_.joinable()) { return; }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  std::string what_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
};

std::vector<uint8_t> read_all(const std::string &path, const char *what) {
  Input in(path);
  std::vector<uint8_t> data;
  std::vector<uint8_t> buf(64 * 1024);
  for (;;) {
    const size_t n = in.read_full(buf.data(), buf.size());
    if (data.size() + n > 0xffffffffu) {
      throw IoError{in.name() + ": " + what + " longer than 4 GiB - 1 bytes"};
    }
    data.insert(data.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
    if (n < buf.size()) { break; }
  }
  return data;
}

// The signature schemes by name.
struct Scheme {
  const char *name;
  int32_t alg;
  int32_t sign_id;
  int32_t hash_id;  // the digest of the message (PSS: the sign parameter's digest)
  bool pss;
};
constexpr Scheme kSchemes[] = {
    {"rsa-pkcs1-sha1", QL_PKEY_RSA, QL_SIGN_RSA_V15_SHA1, QL_HASH_SHA1, false},
    {"rsa-pkcs1-sha256", QL_PKEY_RSA, QL_SIGN_RSA_V15_SHA256, QL_HASH_SHA256, false},
    {"rsa-pkcs1-sha384", QL_PKEY_RSA, QL_SIGN_RSA_V15_SHA384, QL_HASH_SHA384, false},
    {"rsa-pkcs1-sha512", QL_PKEY_RSA, QL_SIGN_RSA_V15_SHA512, QL_HASH_SHA512, false},
    {"rsa-pss-sha1", QL_PKEY_RSA, QL_SIGN_RSA_PSS, QL_HASH_SHA1, true},
    {"rsa-pss-sha256", QL_PKEY_RSA, QL_SIGN_RSA_PSS, QL_HASH_SHA256, true},
    {"rsa-pss-sha384", QL_PKEY_RSA, QL_SIGN_RSA_PSS, QL_HASH_SHA384, true},
    {"rsa-pss-sha512", QL_PKEY_RSA, QL_SIGN_RSA_PSS, QL_HASH_SHA512, true},
    {"ecdsa-sha1", QL_PKEY_ECDSA, QL_SIGN_ECDSA_SHA1, QL_HASH_SHA1, false},
    {"kcdsa-has160", QL_PKEY_KCDSA, QL_SIGN_KCDSA_HAS160, QL_HASH_HAS160, false},
    {"kcdsa-sha1", QL_PKEY_KCDSA, QL_SIGN_KCDSA_SHA1, QL_HASH_SHA1, false},
    {"kcdsa-sha256", QL_PKEY_KCDSA, QL_SIGN_KCDSA_SHA256, QL_HASH_SHA256, false},
};

const Scheme &find_scheme(const Args &args, const std::string &name) {
  for (const Scheme &s : kSchemes) {
    if (same_name(name, s.name)) { return s; }
  }
  std::string all;
  for (const Scheme &s : kSchemes) { all += std::string(all.empty() ? "" : ", ") + s.name; }
  args.fail("unknown signature scheme '" + name + "' (" + all + ")");
}

// The MGF1 identifier of the module for a digest: SHA-1 1, SHA-256 to SHA-512 3 to 5.
int32_t mgf_id(const Args &args, int32_t hash_id) {
  if (hash_id == QL_HASH_HAS160) { args.fail("MGF1 takes sha1, sha256, sha384 or sha512"); }
  return hash_id == QL_HASH_SHA1 ? 1 : hash_id;
}

uint32_t digest_len(int32_t hash_id) {
  static const uint32_t kLen[] = {0, 20, 20, 32, 48, 64};
  return kLen[hash_id];
}

const char *article_name(int32_t alg) {
  return alg == QL_PKEY_RSA ? "an RSA key" : alg == QL_PKEY_ECDSA ? "an EC key" : "a KCDSA key";
}

void check_key_alg(const PKey &key, int32_t alg, const std::string &key_path,
                   const std::string &scheme) {
  if (key.alg != alg) {
    throw IoError{key_path + ": " + article_name(key.alg) + ", but " + scheme + " needs " +
                  article_name(alg)};
  }
}

struct SignOptions {
  const Scheme *scheme = nullptr;
  std::string key_path, in_path = "-", out_path = "-", sig_path, mgf;
  bool base64 = false;
};

SignOptions parse_sign(Args &args, bool verify) {
  SignOptions o;
  while (!args.done()) {
    const std::string a = args.next();
    if (value_opt(args, a, "-key", &o.key_path, "-inkey") ||
        value_opt(args, a, "-in", &o.in_path) || value_opt(args, a, "-mgf", &o.mgf)) {
      continue;
    }
    if (a == "-a" && args.is_option(a)) {
      args.once(a);
      o.scheme = &find_scheme(args, args.value(a));
    } else if (a == "-out" && !verify && args.is_option(a)) {
      args.once(a);
      o.out_path = args.value(a);
    } else if ((a == "-sigfile" || a == "-signature") && verify && args.is_option(a)) {
      args.once("-sigfile");
      o.sig_path = args.value(a);
    } else if (a == "-base64" && args.is_option(a)) {
      o.base64 = true;
    } else {
      unknown(args, a);
    }
  }
  if (o.scheme == nullptr) { args.fail("a scheme is needed (-a)"); }
  if (o.key_path.empty()) { args.fail("a key is needed (-key FILE)"); }
  if (verify && o.sig_path.empty()) { args.fail("the signature is needed (-sigfile FILE)"); }
  if (!o.mgf.empty() && !o.scheme->pss) { args.fail("-mgf applies to rsa-pss schemes only"); }
  return o;
}

// The DigestInfo of RSASSA-PKCS1-v1_5 over the digest of `path`, read in 64 KiB pieces:
// what the module's digest-input scheme signs as it is. NULL OID parameters as usual.
std::vector<uint8_t> digest_info(const std::string &path, int32_t hash_id) {
  static const uint8_t kSha1[] = {0x06, 0x05, 0x2b, 0x0e, 0x03, 0x02, 0x1a};
  static const uint8_t kSha256[] = {0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                    0x65, 0x03, 0x04, 0x02, 0x01};
  QL_HASH_CTX ctx;
  std::memset(&ctx, 0, sizeof(ctx));
  check(QLC_Hash_Init(&ctx, hash_id), "QLC_Hash_Init");
  Input in(path);
  std::vector<uint8_t> buf(64 * 1024);
  size_t n = 0;
  while ((n = in.read_full(buf.data(), buf.size())) > 0) {
    check(QLC_Hash_Update(&ctx, buf.data(), static_cast<uint32_t>(n)), "QLC_Hash_Update");
  }
  uint8_t digest[QL_HASH_MAX_DIGEST_LEN];
  uint32_t len = 0;
  check(QLC_Hash_Final(&ctx, digest, &len), "QLC_Hash_Final");
  wipe(&ctx, sizeof(ctx));
  std::vector<uint8_t> algid = hash_id == QL_HASH_SHA1
                                   ? std::vector<uint8_t>(kSha1, kSha1 + sizeof(kSha1))
                                   : std::vector<uint8_t>(kSha256, kSha256 + sizeof(kSha256));
  append(algid, {0x05, 0x00});
  std::vector<uint8_t> content = der(0x30, algid);
  append(content, der(0x04, std::vector<uint8_t>(digest, digest + len)));
  return der(0x30, content);
}

// Runs the module's one-shot signature service (sign) or verification (verify). In the
// non-approved state, RSASSA-PKCS1-v1_5 with SHA-1 or SHA-256 digests the input in constant
// memory and has the module sign the DigestInfo through its digest-input scheme (the approved
// state refuses that scheme, and its value may have at most 64 bytes: SHA-384 and SHA-512 do
// not fit); every other case holds the whole message in memory.
int sign_or_verify(Args &args, bool verify) {
  SignOptions o = parse_sign(args, verify);
  const Scheme &s = *o.scheme;
  QL_ASYM_SIGN_PARAM param;
  std::memset(&param, 0, sizeof(param));
  if (s.pss) {
    param.pss.hash_id = s.hash_id;
    param.pss.mgf_id = mgf_id(args, o.mgf.empty() ? s.hash_id : hash_id_by_name(args, o.mgf));
  }
  PKey key = read_pkey(o.key_path);
  check_key_alg(key, s.alg, o.key_path, s.name);
  if (!verify && !key.has_private()) {
    throw IoError{o.key_path + ": a public key; signing needs the private key"};
  }
  if (key.alg == QL_PKEY_KCDSA && digest_len(s.hash_id) * 8 > key.q_bits()) {
    throw IoError{o.key_path + ": " + s.name + " needs KCDSA parameters with a q of at least " +
                  std::to_string(digest_len(s.hash_id) * 8) + " bits (2048-bit keys); this " +
                  "key's q has " + std::to_string(key.q_bits())};
  }
  if (key.alg == QL_PKEY_KCDSA && key.pub.empty()) {
    throw IoError{o.key_path + ": the KCDSA key lacks its public part, which signing needs"};
  }
  if (verify && key.pub.empty()) { throw IoError{o.key_path + ": the file holds no public key"}; }
  std::vector<uint8_t> sig;
  if (verify) {
    Input in(o.sig_path, o.base64);
    sig.resize(4097);
    sig.resize(in.read_full(sig.data(), sig.size()));
    if (key.alg == QL_PKEY_RSA && sig.size() != key.rsa_len()) {
      throw IoError{o.sig_path + ": a signature of " + std::to_string(sig.size()) + " bytes; the " +
                    std::to_string(key.bits()) + "-bit key's have " +
                    std::to_string(key.rsa_len())};
    }
    if (sig.empty() || sig.size() > 4096) {
      throw IoError{o.sig_path + ": a signature of " + std::to_string(sig.size()) +
                    " bytes is not one of " + key.name() + " keys"};
    }
  }
  const bool streamed = args.non_approved() &&
                        (s.sign_id == QL_SIGN_RSA_V15_SHA1 || s.sign_id == QL_SIGN_RSA_V15_SHA256);
  start_module(args.non_approved());
  const std::vector<uint8_t> msg =
      streamed ? digest_info(o.in_path, s.hash_id) : read_all(o.in_path, "the message");
  const int32_t sign_id = streamed ? QL_SIGN_RSA_V15_DIGEST : s.sign_id;
  ModuleKey mk;
  mk.load(key);
  if (s.alg == QL_PKEY_KCDSA) { param.public_key = mk.pub; }
  const uint8_t empty = 0;
  const uint8_t *m = msg.empty() ? &empty : msg.data();
  const uint32_t m_len = static_cast<uint32_t>(msg.size());
  const QL_ASYM_SIGN_PARAM *sp = s.pss || s.alg == QL_PKEY_KCDSA ? &param : nullptr;
  if (verify) {
    const int32_t rc = QLC_ASYM_Verify(sig.data(), static_cast<uint32_t>(sig.size()), streamed, m,
                                       m_len, sign_id, mk.pub, mk.params, sp);
    if (rc == -6074) { check(rc, "QLC_ASYM_Verify"); }  // the state refuses the scheme
    if (rc != 0) {
      std::fprintf(stderr, "Verification failure: %s (code %d)\n", QLC_CM_ErrorString(rc),
                   static_cast<int>(rc));
      return kExitFailure;
    }
    Output out("-");
    out.write("Verified OK\n");
    out.commit();
    return 0;
  }
  sig.resize(std::max<size_t>(key.rsa_len(), 1024));
  uint32_t sig_len = 0;
  Output out(o.out_path, o.base64);
  check(QLC_ASYM_Sign(sig.data(), &sig_len, streamed, m, m_len, sign_id, mk.priv, mk.params, sp),
        "QLC_ASYM_Sign");
  out.write(sig.data(), sig_len);
  out.commit();
  return 0;
}

struct EncOptions {
  int32_t enc_id = 0;
  std::string key_path, in_path = "-", out_path = "-", hash, mgf, label;
  bool label_given = false;
};

int encrypt_or_decrypt(Args &args, bool decrypt) {
  EncOptions o;
  while (!args.done()) {
    const std::string a = args.next();
    if (value_opt(args, a, "-key", &o.key_path, "-inkey") ||
        value_opt(args, a, "-in", &o.in_path) || value_opt(args, a, "-out", &o.out_path) ||
        value_opt(args, a, "-hash", &o.hash) || value_opt(args, a, "-mgf", &o.mgf)) {
      continue;
    }
    if (a == "-a" && args.is_option(a)) {
      args.once(a);
      const std::string v = args.value(a);
      if (same_name(v, "rsa-pkcs1")) {
        o.enc_id = QL_PENC_RSA_V15;
      } else if (same_name(v, "rsa-oaep")) {
        o.enc_id = QL_PENC_RSA_OAEP;
      } else {
        args.fail("unknown encryption scheme '" + v + "' (rsa-pkcs1, rsa-oaep)");
      }
    } else if (value_opt(args, a, "-label", &o.label)) {
      o.label_given = true;
    } else {
      unknown(args, a);
    }
  }
  if (o.enc_id == 0) { args.fail("a scheme is needed (-a rsa-pkcs1 or rsa-oaep)"); }
  if (o.key_path.empty()) { args.fail("a key is needed (-key FILE)"); }
  if (o.enc_id != QL_PENC_RSA_OAEP && (!o.hash.empty() || !o.mgf.empty() || o.label_given)) {
    args.fail("-hash, -mgf and -label apply to rsa-oaep only");
  }
  QL_OAEP_PARAM oaep;
  std::memset(&oaep, 0, sizeof(oaep));
  std::vector<uint8_t> label = parse_hex(o.label, "-label");
  oaep.hash_id = o.hash.empty() ? QL_HASH_SHA1 : hash_id_by_name(args, o.hash);
  if (oaep.hash_id == QL_HASH_HAS160) { args.fail("-hash takes sha1, sha256, sha384 or sha512"); }
  oaep.mgf_id = mgf_id(args, o.mgf.empty() ? oaep.hash_id : hash_id_by_name(args, o.mgf));
  oaep.source_id = 1;
  oaep.label = label.empty() ? nullptr : label.data();
  oaep.label_len = static_cast<uint32_t>(label.size());

  PKey key = read_pkey(o.key_path);
  const char *scheme = o.enc_id == QL_PENC_RSA_V15 ? "rsa-pkcs1" : "rsa-oaep";
  check_key_alg(key, QL_PKEY_RSA, o.key_path, scheme);
  if (decrypt && !key.has_private()) {
    throw IoError{o.key_path + ": a public key; decryption needs the private key"};
  }
  const uint32_t k = key.rsa_len();
  std::vector<uint8_t> in(k + 1);
  {
    Input input(o.in_path);
    in.resize(input.read_full(in.data(), in.size()));
  }
  const uint32_t hlen = digest_len(oaep.hash_id);
  const uint32_t max_in = decrypt                       ? k
                          : o.enc_id == QL_PENC_RSA_V15 ? (k > 11 ? k - 11 : 0)
                                                        : (k > 2 * hlen + 2 ? k - 2 * hlen - 2 : 0);
  if (decrypt ? in.size() != k : in.size() > max_in) {
    const std::string what = o.in_path == "-" ? "standard input" : o.in_path;
    wipe(in.data(), in.size());
    throw IoError{what + (decrypt ? ": a ciphertext of " : ": an input of ") +
                  std::to_string(in.size() > k ? k + 1 : in.size()) + (in.size() > k ? "+" : "") +
                  " bytes; " + scheme + " with the " + std::to_string(key.bits()) + "-bit key " +
                  (decrypt ? "takes exactly " : "takes at most ") + std::to_string(max_in)};
  }
  start_module(args.non_approved());
  ModuleKey mk;
  mk.load(key);
  std::vector<uint8_t> res(k);
  uint32_t res_len = 0;
  const uint8_t empty = 0;
  const uint8_t *src = in.empty() ? &empty : in.data();
  const QL_OAEP_PARAM *param = o.enc_id == QL_PENC_RSA_OAEP ? &oaep : nullptr;
  Output out(o.out_path);
  int32_t rc = decrypt
                   ? QLC_ASYM_Decrypt(res.data(), &res_len, src, static_cast<uint32_t>(in.size()),
                                      o.enc_id, mk.priv, param)
                   : QLC_ASYM_Encrypt(res.data(), &res_len, src, static_cast<uint32_t>(in.size()),
                                      o.enc_id, mk.pub, param);
  wipe(in.data(), in.size());
  if (rc != 0 && decrypt && rc != -6072) {
    throw IoError{std::string("decryption failed (wrong key, scheme or options, or corrupted "
                              "data): ") +
                  QLC_CM_ErrorString(rc) + " (code " + std::to_string(rc) + ")"};
  }
  check(rc, decrypt ? "QLC_ASYM_Decrypt" : "QLC_ASYM_Encrypt");
  out.write(res.data(), res_len);
  wipe(res.data(), res.size());
  out.commit();
  return 0;
}

}  // namespace

int32_t hash_id_by_name(const Args &args, const std::string &name) {
  static const struct {
    const char *name;
    int32_t id;
  } kHashes[] = {{"has160", QL_HASH_HAS160},
                 {"sha1", QL_HASH_SHA1},
                 {"sha256", QL_HASH_SHA256},
                 {"sha384", QL_HASH_SHA384},
                 {"sha512", QL_HASH_SHA512}};
  for (const auto &h : kHashes) {
    if (same_name(name, h.name)) { return h.id; }
  }
  args.fail("unknown digest '" + name + "' (sha1, sha256, sha384, sha512)");
}

ModuleKey::ModuleKey() = default;

ModuleKey::~ModuleKey() {
  QLC_KEY_PriKey_Delete(priv);
  QLC_KEY_PubKey_Delete(pub);
  QLC_ASYM_Param_Delete(params);
}

void ModuleKey::load(const PKey &key) {
  if (!key.params.empty()) {
    params = fresh(QLC_ASYM_Param_New());
    check(QL_ASYM_Parameters_Decode(params, key.alg, key.params.data(),
                                    static_cast<uint32_t>(key.params.size())),
          "QL_ASYM_Parameters_Decode");
  }
  if (!key.priv.empty()) {
    priv = fresh(QLC_KEY_PriKey_New());
    check(QL_ASYM_PrivateKey_Decode(priv, key.alg, key.priv.data(),
                                    static_cast<uint32_t>(key.priv.size()), params),
          "QL_ASYM_PrivateKey_Decode");
  }
  if (!key.pub.empty()) {
    pub = fresh(QLC_KEY_PubKey_New());
    check(QL_ASYM_PublicKey_Decode(pub, key.alg, key.pub.data(),
                                   static_cast<uint32_t>(key.pub.size()), params),
          "QL_ASYM_PublicKey_Decode");
  }
}

void ModuleKey::make_empty(bool with_params) {
  priv = fresh(QLC_KEY_PriKey_New());
  pub = fresh(QLC_KEY_PubKey_New());
  if (with_params) { params = fresh(QLC_ASYM_Param_New()); }
}

PKey ModuleKey::encode(int32_t alg) const {
  PKey key;
  key.alg = alg;
  if (params != nullptr && params->algorithm != 0) {
    key.params =
        module_der([&](uint8_t *o, uint32_t *n) { return QL_ASYM_Parameters_Encode(o, n, params); },
                   "QL_ASYM_Parameters_Encode");
  }
  if (priv != nullptr && priv->algorithm != 0) {
    key.priv = module_der(
        [&](uint8_t *o, uint32_t *n) { return QL_ASYM_PrivateKey_Encode(o, n, priv, params); },
        "QL_ASYM_PrivateKey_Encode");
  }
  if (pub != nullptr && pub->algorithm != 0) {
    key.pub = module_der(
        [&](uint8_t *o, uint32_t *n) { return QL_ASYM_PublicKey_Encode(o, n, pub, params); },
        "QL_ASYM_PublicKey_Encode");
  }
  return key;
}

int cmd_genpkey(Args &args) {
  std::string alg, bits_text, exp_text, curve, param_path;
  bool genparam = false;
  KeyOutput out;
  while (!args.done()) {
    const std::string a = args.next();
    if (value_opt(args, a, "-a", &alg) || value_opt(args, a, "-bits", &bits_text) ||
        value_opt(args, a, "-e", &exp_text) || value_opt(args, a, "-curve", &curve) ||
        value_opt(args, a, "-paramfile", &param_path)) {
      continue;
    }
    if (args.is_option(a) && out.take(args, a)) { continue; }
    if (a == "-genparam" && args.is_option(a)) {
      genparam = true;
    } else {
      unknown(args, a);
    }
  }
  int32_t pkey = 0;
  if (same_name(alg, "rsa")) {
    pkey = QL_PKEY_RSA;
  } else if (same_name(alg, "ecdsa") || same_name(alg, "ec")) {
    pkey = QL_PKEY_ECDSA;
  } else if (same_name(alg, "kcdsa")) {
    pkey = QL_PKEY_KCDSA;
  } else {
    args.fail(alg.empty() ? "an algorithm is needed (-a rsa, ecdsa or kcdsa)"
                          : "unknown algorithm '" + alg + "' (rsa, ecdsa, kcdsa)");
  }
  if (pkey != QL_PKEY_RSA && !exp_text.empty()) { args.fail("-e applies to rsa only"); }
  if (pkey != QL_PKEY_ECDSA && !curve.empty()) { args.fail("-curve applies to ecdsa only"); }
  if (pkey == QL_PKEY_ECDSA && !bits_text.empty()) { args.fail("ecdsa takes -curve, not -bits"); }
  if (pkey != QL_PKEY_KCDSA && (genparam || !param_path.empty())) {
    args.fail("-genparam and -paramfile apply to kcdsa only");
  }
  if (genparam && !param_path.empty()) { args.fail("-genparam and -paramfile exclude each other"); }
  if (!param_path.empty() && !bits_text.empty()) {
    args.fail("-bits does not apply with -paramfile (the parameters fix the size)");
  }
  uint32_t size = 0;
  QL_ASYM_KEYGEN_PARAM keygen = {0, 0};
  if (pkey == QL_PKEY_RSA) {
    size = static_cast<uint32_t>(
        bits_text.empty() ? 2048 : parse_count(args, bits_text, "-bits", 0, 1u << 16));
    if (size != 2048 && size != 3072 && size != 4096) {
      args.fail("-bits for rsa is 2048, 3072 or 4096");
    }
    keygen.modulus_len = size / 8;
    if (!exp_text.empty()) {
      keygen.exponent = static_cast<uint32_t>(parse_count(args, exp_text, "-e", 3, 0xffffffffu));
      if (keygen.exponent % 2 == 0) { args.fail("-e must be odd"); }
    }
  } else if (pkey == QL_PKEY_ECDSA) {
    if (curve.empty() || same_name(curve, "p256") || same_name(curve, "prime256v1") ||
        same_name(curve, "p-256")) {
      size = 256;
    } else if (same_name(curve, "p224") || same_name(curve, "secp224r1") ||
               same_name(curve, "p-224")) {
      size = 224;
    } else {
      args.fail("unknown curve '" + curve + "' (p224, p256)");
    }
  } else if (param_path.empty()) {
    size = static_cast<uint32_t>(
        bits_text.empty() ? 2048 : parse_count(args, bits_text, "-bits", 0, 1u << 16));
    if (size != 1024 && size != 2048) { args.fail("-bits for kcdsa is 1024 or 2048"); }
  }
  // The form is checked before the (possibly long) generation.
  if (pkey == QL_PKEY_KCDSA && out.form != KeyForm::kModule) {
    args.fail("KCDSA keys have no common container: only -format module");
  }
  if (out.form == KeyForm::kSpki) {
    args.fail("-format spki is for public keys (qlc pkey -pubout)");
  }
  if (out.form == KeyForm::kSec1 && pkey != QL_PKEY_ECDSA) {
    args.fail("-format sec1 is for EC keys");
  }
  if (genparam && out.form != KeyForm::kModule) {
    args.fail("KCDSA parameters have no common container: only -format module");
  }
  PKey given;
  if (!param_path.empty()) {
    given = read_pkey(param_path);
    if (given.alg != QL_PKEY_KCDSA) {
      throw IoError{param_path + ": " + article_name(given.alg) + ", not KCDSA parameters"};
    }
    size = given.bits();
  }
  start_module(args.non_approved());
  ModuleKey mk;
  mk.make_empty(pkey != QL_PKEY_RSA);
  if (pkey == QL_PKEY_ECDSA) {
    check(QLC_ASYM_GenParam(mk.params, pkey, &size), "QLC_ASYM_GenParam");
  } else if (pkey == QL_PKEY_KCDSA && param_path.empty()) {
    Progress p("qlc genpkey: generating " + std::to_string(size) +
               "-bit KCDSA parameters (this can take minutes)");
    check(QLC_ASYM_GenParam(mk.params, pkey, &size), "QLC_ASYM_GenParam");
  } else if (pkey != QL_PKEY_RSA) {
    check(QL_ASYM_Parameters_Decode(mk.params, pkey, given.params.data(),
                                    static_cast<uint32_t>(given.params.size())),
          "QL_ASYM_Parameters_Decode");
  }
  if (genparam) {
    PKey p = mk.encode(pkey);
    out.write(args, p, false);
    return 0;
  }
  {
    Progress p("qlc genpkey: generating a " + std::to_string(size) + "-bit key");
    check(QLC_KEY_GenKeyPair(mk.priv, mk.pub, pkey, pkey == QL_PKEY_RSA ? nullptr : mk.params,
                             &keygen),
          "QLC_KEY_GenKeyPair");
  }
  PKey key = mk.encode(pkey);
  out.write(args, key, false);
  return 0;
}

int cmd_pkey(Args &args) {
  std::string in_path = "-";
  bool pubout = false, text = false, check_pair = false, noout = false;
  KeyOutput out;
  while (!args.done()) {
    const std::string a = args.next();
    if (value_opt(args, a, "-in", &in_path)) { continue; }
    if (args.is_option(a) && out.take(args, a)) { continue; }
    if (a == "-pubout" && args.is_option(a)) {
      pubout = true;
    } else if (a == "-text" && args.is_option(a)) {
      text = true;
    } else if (a == "-check" && args.is_option(a)) {
      check_pair = true;
    } else if (a == "-noout" && args.is_option(a)) {
      noout = true;
    } else {
      unknown(args, a);
    }
  }
  PKey key = read_pkey(in_path);
  // The module decodes every part it is given (an EC point is checked to lie on its curve);
  // with -check a private key must also form a pair with its public key.
  start_module(args.non_approved());
  ModuleKey mk;
  mk.load(key);
  if (check_pair) {
    if (key.has_private() && key.pub.empty()) {
      throw IoError{in_path + ": no public key to check the private key against"};
    }
    if (key.has_private()) {
      check(QLC_KEY_CheckKeyPair(mk.priv, mk.pub, mk.params), "QLC_KEY_CheckKeyPair");
    }
  }
  if (text || check_pair) {
    Output res("-");
    if (check_pair) { res.write(key.has_private() ? "Key is valid\n" : "Public key is valid\n"); }
    if (text) { res.write(pkey_text(key, pubout)); }
    res.commit();
  }
  if ((!text && !check_pair && !noout) || out.path != "-") { out.write(args, key, pubout); }
  return 0;
}

void list_pkey() {
  std::string s =
      "Public-key algorithms (qlc genpkey -a): rsa (-bits 2048, 3072, 4096), ecdsa (-curve p224,\n"
      "  p256), kcdsa (-bits 1024, 2048)\n"
      "Signature schemes (qlc sign -a, qlc verify -a):";
  for (const Scheme &sc : kSchemes) {
    const bool approved =
        sc.sign_id != QL_SIGN_RSA_V15_SHA384 && sc.sign_id != QL_SIGN_RSA_V15_SHA512;
    s += std::string("\n  ") + sc.name + (approved ? "" : ", needs --non-approved");
  }
  s += "\nEncryption schemes (qlc encrypt -a, qlc decrypt -a): rsa-oaep (-hash, -mgf, -label),\n"
       "  rsa-pkcs1 (needs --non-approved)\n"
       "Key file forms (qlc pkey -format): module (all), spki, pkcs8 (RSA, EC), sec1 (EC)\n";
  std::cout << s;  // with the lines before it, written to standard output in one piece at exit
}

int cmd_sign(Args &args) { return sign_or_verify(args, false); }
int cmd_verify(Args &args) { return sign_or_verify(args, true); }
int cmd_encrypt(Args &args) { return encrypt_or_decrypt(args, false); }
int cmd_decrypt(Args &args) { return encrypt_or_decrypt(args, true); }

}  // namespace qlc
