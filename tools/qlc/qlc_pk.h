// qlc's public-key pieces: key files in the module's DER and in the common containers
// (SubjectPublicKeyInfo, PKCS #8, SEC 1), PEM, and module key records built from them.
#ifndef QLC_QLC_PK_H
#define QLC_QLC_PK_H

#include <cstdint>
#include <string>
#include <vector>

#include "qlc.h"

namespace qlc {

// A DER element: its tag and the content bytes (inside the buffer it was read from).
struct DerItem {
  uint8_t tag = 0;
  const uint8_t *body = nullptr;
  size_t len = 0;
  std::vector<uint8_t> bytes() const { return std::vector<uint8_t>(body, body + len); }
};

// Reads DER elements one after another from a bounded buffer. Every length is checked
// against the bytes that remain; a malformed element throws IoError naming `what`.
class DerReader {
 public:
  DerReader(const uint8_t *p, size_t n, std::string what) : p_(p), n_(n), what_(std::move(what)) {}
  explicit DerReader(const DerItem &item, std::string what)
      : DerReader(item.body, item.len, std::move(what)) {}
  bool done() const { return pos_ >= n_; }
  // The tag of the next element, 0 at the end.
  uint8_t peek() const { return done() ? 0 : p_[pos_]; }
  // The next element with the whole element's bytes (header included) in `*whole`.
  DerItem next(std::vector<uint8_t> *whole = nullptr);
  // The next element, which must carry `tag`.
  DerItem expect(uint8_t tag, const char *name);
  [[noreturn]] void bad(const std::string &why) const;

 private:
  const uint8_t *p_;
  size_t n_;
  size_t pos_ = 0;
  std::string what_;
};

// DER writing: one element from its tag and content, and an INTEGER from an unsigned
// big-endian magnitude (leading zeros dropped, a 00 put before a set top bit).
std::vector<uint8_t> der(uint8_t tag, const std::vector<uint8_t> &content);
std::vector<uint8_t> der_uint(const std::vector<uint8_t> &magnitude);
void append(std::vector<uint8_t> &to, const std::vector<uint8_t> &from);
// The magnitude of an INTEGER's content, without leading zero bytes.
std::vector<uint8_t> uint_magnitude(const DerItem &integer);

// The containers a key file can have.
enum class KeyForm { kModule, kSpki, kPkcs8, kSec1 };

// A key of one algorithm as the module encodes its parts: `params` (ECDSA: the curve's
// OBJECT IDENTIFIER; KCDSA: the parameter SEQUENCE; RSA: empty), `priv` (empty for a public
// key or a parameter file) and `pub` (empty when the file holds no public key, as an EC
// private key may). The private bytes are wiped when the record goes.
struct PKey {
  int32_t alg = 0;  // QL_PKEY_RSA, QL_PKEY_ECDSA or QL_PKEY_KCDSA
  std::vector<uint8_t> params;
  std::vector<uint8_t> priv;
  std::vector<uint8_t> pub;
  PKey() = default;
  PKey(const PKey &) = delete;
  PKey &operator=(const PKey &) = delete;
  PKey(PKey &&) = default;
  PKey &operator=(PKey &&other) {
    wipe(priv.data(), priv.size());
    alg = other.alg;
    params = std::move(other.params);
    priv = std::move(other.priv);
    pub = std::move(other.pub);
    return *this;
  }
  ~PKey() { wipe(priv.data(), priv.size()); }
  bool has_private() const { return !priv.empty(); }
  const char *name() const;
  // The key size in bits: the modulus, the curve's field, or KCDSA's p.
  uint32_t bits() const;
  // The bit length of KCDSA's q.
  uint32_t q_bits() const;
  // The signature or ciphertext length of an RSA key in bytes (its modulus length).
  uint32_t rsa_len() const;
};

// Reads a key or KCDSA parameter file in any form qlc writes or reads: PEM or DER, the
// module's own DER, SubjectPublicKeyInfo, PKCS #8 or SEC 1. A file that is none of these is
// refused with a message naming it.
PKey read_pkey(const std::string &path);
// The bytes of a key file: the private key unless `public_only` (or the key has none), in
// `form` (a usage error where it does not apply), as PEM text when `pem`.
std::vector<uint8_t> write_pkey(const Args &args, const PKey &key, bool public_only, KeyForm form,
                                bool pem);
// The key's components in hex, in the manner of openssl pkey -text.
std::string pkey_text(const PKey &key, bool public_only);
KeyForm parse_key_form(const Args &args, const std::string &name);

// The module's records of a key, deleted when it goes.
class ModuleKey {
 public:
  ModuleKey();
  ~ModuleKey();
  ModuleKey(const ModuleKey &) = delete;
  ModuleKey &operator=(const ModuleKey &) = delete;
  // Decodes the parts `key` holds into module records (start the module first).
  void load(const PKey &key);
  // Empty records for generation: a private and a public key, and parameters if asked.
  void make_empty(bool with_params);
  // The parts of the filled records as the module encodes them.
  PKey encode(int32_t alg) const;
  QL_ASYM_KEY *params = nullptr;  // NULL for RSA
  QL_ASYM_KEY *priv = nullptr;    // NULL for a public key
  QL_ASYM_KEY *pub = nullptr;     // NULL when the file has no public key
};

// Digests by name for the signature schemes (the module's identifiers 1 to 5).
int32_t hash_id_by_name(const Args &args, const std::string &name);

// qlc speed's public-key part: whether `name` is one of its algorithms (rsa2048, ecdsap256,
// kcdsa1024, ...), and the run over the named ones.
bool is_pk_speed_alg(const std::string &name);
void pk_speed(const std::vector<std::string> &names, double seconds, bool elapsed);
// The user CPU time of the process, or with `elapsed` the wall clock, in seconds.
double speed_clock(bool elapsed);

}  // namespace qlc

#endif  // QLC_QLC_PK_H
