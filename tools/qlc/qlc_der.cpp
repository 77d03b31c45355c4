// Key files: the module's DER, SubjectPublicKeyInfo, PKCS #8, SEC 1 and PEM, converted by a
// small DER reader and writer of qlc's own. The module's encodings are kept as they are; the
// containers only wrap them (RSA) or carry the same integers and points (EC).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "qlc_pk.h"

namespace qlc {

namespace {

// OBJECT IDENTIFIER elements, header included.
const std::vector<uint8_t> kOidRsa = {0x06, 0x09, 0x2a, 0x86, 0x48, 0x86,
                                      0xf7, 0x0d, 0x01, 0x01, 0x01};
const std::vector<uint8_t> kOidEcPublicKey = {0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01};
const std::vector<uint8_t> kOidP224 = {0x06, 0x05, 0x2b, 0x81, 0x04, 0x00, 0x21};
const std::vector<uint8_t> kOidP256 = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};

constexpr size_t kMaxKeyFile = 256 * 1024;

// The field length in bytes of the curve an identifier names, 0 for another curve.
size_t curve_bytes(const std::vector<uint8_t> &oid) {
  if (oid == kOidP224) { return 28; }
  if (oid == kOidP256) { return 32; }
  return 0;
}

// One element with its whole encoding, as a SEQUENCE's members are collected.
struct Member {
  DerItem item;
  std::vector<uint8_t> whole;
};

std::vector<Member> members(const DerItem &seq, const std::string &what) {
  DerReader r(seq, what);
  std::vector<Member> out;
  while (!r.done()) {
    Member m;
    m.item = r.next(&m.whole);
    out.push_back(std::move(m));
  }
  return out;
}

// The value of a small non-negative INTEGER, or -1.
int small_int(const DerItem &i) {
  if (i.tag != 0x02 || i.len != 1 || i.body[0] > 0x7f) { return -1; }
  return i.body[0];
}

// Colon-separated bytes, 15 to a line. An integer (`integer`) with its top bit set gets a
// leading 00, as openssl shows it; byte strings (an EC scalar or point) are shown as they are.
std::string hex_block(const std::vector<uint8_t> &magnitude, const char *indent,
                      bool integer = true) {
  std::vector<uint8_t> v;
  if (integer && (magnitude.empty() || (magnitude[0] & 0x80) != 0)) { v.push_back(0); }
  append(v, magnitude);
  std::string s;
  for (size_t i = 0; i < v.size(); i++) {
    if (i % 15 == 0) { s += indent; }
    s += to_hex(&v[i], 1);
    if (i + 1 < v.size()) { s += ':'; }
    if (i % 15 == 14 || i + 1 == v.size()) { s += '\n'; }
  }
  return s;
}

uint32_t bit_length(const std::vector<uint8_t> &magnitude) {
  if (magnitude.empty()) { return 0; }
  uint32_t bits = static_cast<uint32_t>(magnitude.size() - 1) * 8;
  for (uint8_t top = magnitude[0]; top != 0; top >>= 1) { bits++; }
  return bits;
}

// The module's EC private key: SEQUENCE { 1, OCTET STRING d (INTEGER content form), curve }.
std::vector<uint8_t> module_ec_private(const std::vector<uint8_t> &d_magnitude,
                                       const std::vector<uint8_t> &oid) {
  std::vector<uint8_t> d = der_uint(d_magnitude);  // 02 len content: the content is what we need
  std::vector<uint8_t> content = {0x02, 0x01, 0x01};
  DerReader r(d.data(), d.size(), "d");
  append(content, der(0x04, r.next().bytes()));
  append(content, oid);
  wipe(d.data(), d.size());
  std::vector<uint8_t> out = der(0x30, content);
  wipe(content.data(), content.size());
  return out;
}

// d of the module's EC private key as exactly the field length in bytes.
std::vector<uint8_t> ec_private_scalar(const PKey &key, const std::string &what) {
  DerReader top(key.priv.data(), key.priv.size(), what);
  DerReader r(top.expect(0x30, "EC private key"), what);
  r.expect(0x02, "version");
  DerItem d = r.expect(0x04, "private scalar");
  const size_t n = curve_bytes(key.params);
  size_t skip = 0;
  while (skip < d.len && d.body[skip] == 0) { skip++; }
  if (d.len - skip > n) { r.bad("private scalar longer than the curve"); }
  std::vector<uint8_t> out(n - (d.len - skip), 0);
  out.insert(out.end(), d.body + skip, d.body + d.len);
  return out;
}

void take_sec1(PKey &key, const DerItem &seq, const std::vector<uint8_t> *outer_oid,
               const std::string &what) {
  DerReader r(seq, what);
  if (small_int(r.expect(0x02, "version")) != 1) { r.bad("EC private key of another version"); }
  DerItem d = r.expect(0x04, "private scalar");
  std::vector<uint8_t> oid, point;
  if (r.peek() == 0xa0) {
    DerReader p(r.next(), what);
    if (p.peek() != 0x06) { r.bad("explicit curve parameters (only named curves are read)"); }
    p.next(&oid);
  }
  if (r.peek() == 0xa1) {
    DerReader p(r.next(), what);
    DerItem bits = p.expect(0x03, "public key");
    if (bits.len < 2 || bits.body[0] != 0) { r.bad("malformed public key BIT STRING"); }
    point.assign(bits.body + 1, bits.body + bits.len);
  }
  if (outer_oid != nullptr) {
    if (!oid.empty() && oid != *outer_oid) { r.bad("two different curves named"); }
    oid = *outer_oid;
  }
  if (oid.empty()) { r.bad("EC private key without its curve"); }
  if (curve_bytes(oid) == 0) { r.bad("a curve other than P-224 and P-256"); }
  std::vector<uint8_t> dm = uint_magnitude(d);
  key.alg = QL_PKEY_ECDSA;
  key.params = oid;
  key.priv = module_ec_private(dm, oid);
  wipe(dm.data(), dm.size());
  if (!point.empty()) { key.pub = der(0x04, point); }
}

// SubjectPublicKeyInfo and the algorithm identifiers in it and in PKCS #8: the algorithm and,
// for EC, the curve.
int32_t take_algorithm(const DerItem &algid, std::vector<uint8_t> *curve, const std::string &what) {
  DerReader r(algid, what);
  std::vector<uint8_t> oid;
  r.next(&oid);
  if (oid == kOidRsa) { return QL_PKEY_RSA; }
  if (oid != kOidEcPublicKey) { r.bad("a key of another algorithm than RSA and EC"); }
  if (r.peek() != 0x06) { r.bad("explicit curve parameters (only named curves are read)"); }
  r.next(curve);
  if (curve_bytes(*curve) == 0) { r.bad("a curve other than P-224 and P-256"); }
  return QL_PKEY_ECDSA;
}

void check_rsa_public(const std::vector<uint8_t> &pub, const std::string &what) {
  DerReader top(pub.data(), pub.size(), what);
  std::vector<Member> m = members(top.expect(0x30, "RSA public key"), what);
  if (m.size() != 2 || m[0].item.tag != 0x02 || m[1].item.tag != 0x02 || !top.done()) {
    top.bad("malformed RSA public key");
  }
}

PKey from_der(const uint8_t *p, size_t n, const std::string &what) {
  PKey key;
  DerReader top(p, n, what);
  std::vector<uint8_t> first_whole;
  const DerItem first = top.next(&first_whole);
  if (first.tag == 0x06) {  // the module's EC public key: the curve, then the point
    key.alg = QL_PKEY_ECDSA;
    key.params = first_whole;
    if (curve_bytes(key.params) == 0) { top.bad("a curve other than P-224 and P-256"); }
    if (top.peek() != 0x04) { top.bad("malformed key: no EC point after the curve"); }
    top.next(&key.pub);
  } else if (first.tag != 0x30) {
    top.bad("not a key (no DER SEQUENCE)");
  } else {
    std::vector<Member> m = members(first, what);
    if (m.empty()) { top.bad("an empty SEQUENCE"); }
    const int version = small_int(m[0].item);
    bool all_int = true;
    for (const Member &e : m) { all_int = all_int && (e.item.tag == 0x02 || e.item.tag == 0x05); }
    if (m.size() == 2 && m[0].item.tag == 0x30 && m[1].item.tag == 0x03) {  // SPKI
      std::vector<uint8_t> curve;
      key.alg = take_algorithm(m[0].item, &curve, what);
      const DerItem &bits = m[1].item;
      if (bits.len < 2 || bits.body[0] != 0) { top.bad("malformed public key BIT STRING"); }
      if (key.alg == QL_PKEY_RSA) {
        key.pub.assign(bits.body + 1, bits.body + bits.len);
        check_rsa_public(key.pub, what);
      } else {
        key.params = curve;
        key.pub = der(0x04, std::vector<uint8_t>(bits.body + 1, bits.body + bits.len));
      }
    } else if (m.size() >= 3 && (version == 0 || version == 1) && m[1].item.tag == 0x30 &&
               m[2].item.tag == 0x04) {  // PKCS #8
      std::vector<uint8_t> curve;
      key.alg = take_algorithm(m[1].item, &curve, what);
      DerReader inner(m[2].item, what);
      const DerItem seq = inner.expect(0x30, "private key");
      if (key.alg == QL_PKEY_RSA) {
        PKey rsa = from_der(m[2].item.body, m[2].item.len, what);
        if (rsa.alg != QL_PKEY_RSA || !rsa.has_private()) { top.bad("malformed RSA private key"); }
        return rsa;
      }
      take_sec1(key, seq, &curve, what);
    } else if (version == 1 && m.size() >= 2 && m[1].item.tag == 0x04) {
      if (m.size() >= 3 && m[2].item.tag == 0x06) {  // the module's EC private key
        key.alg = QL_PKEY_ECDSA;
        key.params = m[2].whole;
        if (curve_bytes(key.params) == 0) { top.bad("a curve other than P-224 and P-256"); }
        key.priv = first_whole;
        if (!top.done()) { top.next(&key.pub); }
      } else {
        take_sec1(key, first, nullptr, what);
      }
    } else if (all_int && m.size() == 2) {
      key.alg = QL_PKEY_RSA;
      key.pub = first_whole;
    } else if (all_int && m.size() == 9 && version == 0) {
      key.alg = QL_PKEY_RSA;
      key.priv = first_whole;
      std::vector<uint8_t> content = m[1].whole;
      append(content, m[2].whole);
      key.pub = der(0x30, content);
    } else if (version == 1 && m.size() == 10 && m[9].item.tag == 0x30) {
      top.bad("an RSA key with more than two primes");
    } else if (m.size() >= 3 && m[0].item.tag == 0x02 && m[1].item.tag == 0x02 &&
               m[2].item.tag == 0x02) {  // KCDSA parameters, then x and y, or y
      key.alg = QL_PKEY_KCDSA;
      key.params = first_whole;
      std::vector<uint8_t> a, b;
      if (!top.done()) {
        if (top.peek() != 0x02) { top.bad("malformed KCDSA key"); }
        top.next(&a);
      }
      if (!top.done()) {
        if (top.peek() != 0x02) { top.bad("malformed KCDSA key"); }
        top.next(&b);
      }
      if (b.empty()) {
        key.pub = a;
      } else {
        key.priv = a;
        key.pub = b;
      }
    } else {
      top.bad("not a key qlc reads");
    }
  }
  if (!top.done()) { top.bad("bytes after the key"); }
  if (key.alg == QL_PKEY_ECDSA && !key.pub.empty()) {
    DerReader pt(key.pub.data(), key.pub.size(), what);
    DerItem o = pt.expect(0x04, "EC point");
    if (o.len != 2 * curve_bytes(key.params) + 1 || o.body[0] != 0x04) {
      pt.bad("EC point not in uncompressed form");
    }
  }
  return key;
}

// The DER of the first key block of PEM text (EC PARAMETERS blocks before it are skipped).
std::vector<uint8_t> pem_body(const std::vector<uint8_t> &text, const std::string &what) {
  const std::string s(text.begin(), text.end());
  size_t at = 0;
  for (;;) {
    const size_t begin = s.find("-----BEGIN ", at);
    if (begin == std::string::npos) { throw IoError{what + ": no key in the PEM text"}; }
    const size_t label_end = s.find("-----", begin + 11);
    if (label_end == std::string::npos) { throw IoError{what + ": malformed PEM header"}; }
    const std::string label = s.substr(begin + 11, label_end - begin - 11);
    const std::string end_line = "-----END " + label + "-----";
    const size_t end = s.find(end_line, label_end);
    if (end == std::string::npos) {
      throw IoError{what + ": PEM block '" + label + "' not closed"};
    }
    at = end + end_line.size();
    if (label == "EC PARAMETERS") { continue; }
    if (label == "ENCRYPTED PRIVATE KEY" || s.find("Proc-Type:", label_end) < end) {
      throw IoError{what + ": an encrypted key (qlc reads unencrypted keys only)"};
    }
    std::vector<uint8_t> out;
    uint32_t acc = 0;
    int bits = 0, pad = 0;
    for (size_t i = label_end + 5; i < end; i++) {
      const uint8_t c = static_cast<uint8_t>(s[i]);
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') { continue; }
      if (c == '=') {
        pad++;
        continue;
      }
      const int v = base64_value(c);
      if (v < 0 || pad > 0) { throw IoError{what + ": malformed base64 in the PEM block"}; }
      acc = acc << 6 | static_cast<uint32_t>(v);
      bits += 6;
      if (bits >= 8) {
        bits -= 8;
        out.push_back(static_cast<uint8_t>(acc >> bits));
      }
    }
    if (pad > 2 || bits >= 6 || out.empty()) {
      throw IoError{what + ": malformed base64 in the PEM block"};
    }
    return out;
  }
}

std::vector<uint8_t> pem(const std::string &label, const std::vector<uint8_t> &body) {
  std::string s = "-----BEGIN " + label + "-----\n";
  for (size_t i = 0; i < body.size(); i += 48) {
    s += to_base64(body.data() + i, std::min<size_t>(48, body.size() - i));
    s += '\n';
  }
  s += "-----END " + label + "-----\n";
  std::vector<uint8_t> out(s.begin(), s.end());
  wipe(&s[0], s.size());
  return out;
}

const char *curve_name(const std::vector<uint8_t> &oid) {
  return curve_bytes(oid) == 28 ? "secp224r1" : "prime256v1";
}

}  // namespace

void DerReader::bad(const std::string &why) const { throw IoError{what_ + ": " + why}; }

DerItem DerReader::next(std::vector<uint8_t> *whole) {
  const size_t start = pos_;
  if (n_ - pos_ < 2) { bad("truncated DER"); }
  DerItem item;
  item.tag = p_[pos_++];
  if ((item.tag & 0x1f) == 0x1f) { bad("a DER tag qlc does not read"); }
  size_t len = p_[pos_++];
  if (len & 0x80) {
    const size_t count = len & 0x7f;
    if (count == 0 || count > 3 || n_ - pos_ < count) { bad("malformed DER length"); }
    len = 0;
    for (size_t i = 0; i < count; i++) { len = len << 8 | p_[pos_++]; }
    if (len < 128 || (count > 1 && (len >> (8 * (count - 1))) == 0)) {
      bad("DER length not in its shortest form");
    }
  }
  if (len > n_ - pos_) { bad("DER length beyond the end of the data"); }
  item.body = p_ + pos_;
  item.len = len;
  pos_ += len;
  if (whole != nullptr) { whole->assign(p_ + start, p_ + pos_); }
  return item;
}

DerItem DerReader::expect(uint8_t tag, const char *name) {
  if (peek() != tag) { bad(std::string("malformed key: no ") + name + " where one belongs"); }
  return next();
}

std::vector<uint8_t> der(uint8_t tag, const std::vector<uint8_t> &content) {
  std::vector<uint8_t> out = {tag};
  const size_t n = content.size();
  if (n < 128) {
    out.push_back(static_cast<uint8_t>(n));
  } else {
    int count = n < 256 ? 1 : n < 65536 ? 2 : 3;
    out.push_back(static_cast<uint8_t>(0x80 | count));
    for (int i = count - 1; i >= 0; i--) { out.push_back(static_cast<uint8_t>(n >> (8 * i))); }
  }
  append(out, content);
  return out;
}

void append(std::vector<uint8_t> &to, const std::vector<uint8_t> &from) {
  to.insert(to.end(), from.begin(), from.end());
}

std::vector<uint8_t> der_uint(const std::vector<uint8_t> &magnitude) {
  size_t skip = 0;
  while (skip < magnitude.size() && magnitude[skip] == 0) { skip++; }
  std::vector<uint8_t> content;
  if (skip == magnitude.size() || (magnitude[skip] & 0x80) != 0) { content.push_back(0); }
  content.insert(content.end(), magnitude.begin() + static_cast<std::ptrdiff_t>(skip),
                 magnitude.end());
  std::vector<uint8_t> out = der(0x02, content);
  wipe(content.data(), content.size());
  return out;
}

std::vector<uint8_t> uint_magnitude(const DerItem &integer) {
  size_t skip = 0;
  while (skip < integer.len && integer.body[skip] == 0) { skip++; }
  return std::vector<uint8_t>(integer.body + skip, integer.body + integer.len);
}

const char *PKey::name() const {
  return alg == QL_PKEY_RSA ? "RSA" : alg == QL_PKEY_ECDSA ? "EC" : "KCDSA";
}

uint32_t PKey::bits() const {
  if (alg == QL_PKEY_ECDSA) { return static_cast<uint32_t>(curve_bytes(params) * 8); }
  const std::vector<uint8_t> &outer = alg == QL_PKEY_RSA ? pub : params;
  DerReader top(outer.data(), outer.size(), "key");
  DerReader r(top.expect(0x30, "SEQUENCE"), "key");
  return bit_length(uint_magnitude(r.expect(0x02, "INTEGER")));
}

uint32_t PKey::q_bits() const {
  DerReader top(params.data(), params.size(), "key");
  DerReader r(top.expect(0x30, "SEQUENCE"), "key");
  r.expect(0x02, "INTEGER");
  return bit_length(uint_magnitude(r.expect(0x02, "INTEGER")));
}

uint32_t PKey::rsa_len() const { return (bits() + 7) / 8; }

PKey read_pkey(const std::string &path) {
  std::vector<uint8_t> data = read_small_file(path, kMaxKeyFile);
  const std::string what = path == "-" ? "standard input" : path;
  if (data.empty()) { throw IoError{what + ": empty key file"}; }
  size_t lead = 0;
  while (lead < data.size() && (data[lead] == ' ' || data[lead] == '\n' || data[lead] == '\r')) {
    lead++;
  }
  if (data.size() - lead >= 11 && std::memcmp(data.data() + lead, "-----BEGIN ", 11) == 0) {
    std::vector<uint8_t> body = pem_body(data, what);
    wipe(data.data(), data.size());
    PKey key = from_der(body.data(), body.size(), what);
    wipe(body.data(), body.size());
    return key;
  }
  PKey key = from_der(data.data(), data.size(), what);
  wipe(data.data(), data.size());
  return key;
}

KeyForm parse_key_form(const Args &args, const std::string &name) {
  if (same_name(name, "module")) { return KeyForm::kModule; }
  if (same_name(name, "spki")) { return KeyForm::kSpki; }
  if (same_name(name, "pkcs8")) { return KeyForm::kPkcs8; }
  if (same_name(name, "sec1")) { return KeyForm::kSec1; }
  args.fail("unknown key format '" + name + "' (module, spki, pkcs8, sec1)");
}

std::vector<uint8_t> write_pkey(const Args &args, const PKey &key, bool public_only, KeyForm form,
                                bool as_pem) {
  const bool priv = key.has_private() && !public_only;
  if (!key.has_private() && key.pub.empty()) {  // a parameter file
    if (form != KeyForm::kModule) { args.fail("parameters are written in -format module only"); }
    const bool kcdsa = key.alg == QL_PKEY_KCDSA;
    return as_pem ? pem(kcdsa ? "QUILLON KCDSA PARAMETERS" : "EC PARAMETERS", key.params)
                  : key.params;
  }
  if (!priv && key.pub.empty()) { throw IoError{std::string("the key file holds no public key")}; }
  if (key.alg == QL_PKEY_KCDSA && form != KeyForm::kModule) {
    args.fail("KCDSA keys have no common container: only -format module");
  }
  if (priv && form == KeyForm::kSpki) { args.fail("-format spki is for public keys (-pubout)"); }
  if (!priv && (form == KeyForm::kPkcs8 || form == KeyForm::kSec1)) {
    args.fail("-format pkcs8 and sec1 are for private keys");
  }
  if (form == KeyForm::kSec1 && key.alg != QL_PKEY_ECDSA) {
    args.fail("-format sec1 is for EC keys");
  }
  std::vector<uint8_t> body;
  std::string label;
  if (key.alg == QL_PKEY_RSA) {
    std::vector<uint8_t> algid = kOidRsa;
    append(algid, {0x05, 0x00});
    if (priv && form == KeyForm::kModule) {
      body = key.priv;
      label = "RSA PRIVATE KEY";
    } else if (priv) {
      std::vector<uint8_t> content = {0x02, 0x01, 0x00};
      append(content, der(0x30, algid));
      append(content, der(0x04, key.priv));
      body = der(0x30, content);
      wipe(content.data(), content.size());
      label = "PRIVATE KEY";
    } else if (form == KeyForm::kModule) {
      body = key.pub;
      label = "RSA PUBLIC KEY";
    } else {
      std::vector<uint8_t> bits = {0x00};
      append(bits, key.pub);
      std::vector<uint8_t> content = der(0x30, algid);
      append(content, der(0x03, bits));
      body = der(0x30, content);
      label = "PUBLIC KEY";
    }
  } else if (key.alg == QL_PKEY_ECDSA) {
    std::vector<uint8_t> point;
    if (!key.pub.empty()) {
      DerReader r(key.pub.data(), key.pub.size(), "EC point");
      point = r.expect(0x04, "EC point").bytes();
    }
    std::vector<uint8_t> algid = kOidEcPublicKey;
    append(algid, key.params);
    std::vector<uint8_t> bits = {0x00};
    append(bits, point);
    if (priv && form == KeyForm::kModule) {
      body = key.priv;
      append(body, key.pub);
      label = "QUILLON ECDSA PRIVATE KEY";
    } else if (priv) {
      // SEC 1: version 1, d as the field length in bytes, the curve ([0], left out inside
      // PKCS #8, whose algorithm identifier names it), the public point ([1]).
      std::vector<uint8_t> d = ec_private_scalar(key, "key");
      std::vector<uint8_t> content = {0x02, 0x01, 0x01};
      append(content, der(0x04, d));
      wipe(d.data(), d.size());
      if (form == KeyForm::kSec1) { append(content, der(0xa0, key.params)); }
      if (!point.empty()) { append(content, der(0xa1, der(0x03, bits))); }
      std::vector<uint8_t> sec1 = der(0x30, content);
      wipe(content.data(), content.size());
      if (form == KeyForm::kSec1) {
        body = sec1;
        label = "EC PRIVATE KEY";
      } else {
        std::vector<uint8_t> outer = {0x02, 0x01, 0x00};
        append(outer, der(0x30, algid));
        append(outer, der(0x04, sec1));
        body = der(0x30, outer);
        wipe(outer.data(), outer.size());
        label = "PRIVATE KEY";
      }
      wipe(sec1.data(), sec1.size());
    } else if (form == KeyForm::kModule) {
      body = key.params;
      append(body, key.pub);
      label = "QUILLON ECDSA PUBLIC KEY";
    } else {
      std::vector<uint8_t> content = der(0x30, algid);
      append(content, der(0x03, bits));
      body = der(0x30, content);
      label = "PUBLIC KEY";
    }
  } else {
    body = key.params;
    if (priv) { append(body, key.priv); }
    append(body, key.pub);
    label = priv ? "QUILLON KCDSA PRIVATE KEY" : "QUILLON KCDSA PUBLIC KEY";
  }
  if (!as_pem) { return body; }
  std::vector<uint8_t> text = pem(label, body);
  wipe(body.data(), body.size());
  return text;
}

std::string pkey_text(const PKey &key, bool public_only) {
  const bool priv = key.has_private() && !public_only;
  const char *in = "    ";
  std::string s;
  if (key.alg == QL_PKEY_RSA) {
    const std::vector<uint8_t> &outer = priv ? key.priv : key.pub;
    DerReader top(outer.data(), outer.size(), "key");
    std::vector<Member> m = members(top.expect(0x30, "RSA key"), "key");
    static const char *const kNames[] = {"modulus",   "publicExponent", "privateExponent",
                                         "prime1",    "prime2",         "exponent1",
                                         "exponent2", "coefficient"};
    const size_t first = priv ? 1 : 0;
    s = std::string(priv ? "Private-Key: (" : "Public-Key: (") + std::to_string(key.bits()) +
        " bit" + (priv ? ", 2 primes)\n" : ")\n");
    for (size_t i = 0; i < (priv ? 8u : 2u) && first + i < m.size(); i++) {
      const DerItem &item = m[first + i].item;
      std::vector<uint8_t> v = item.tag == 0x02 ? uint_magnitude(item) : std::vector<uint8_t>();
      const char *name = priv ? kNames[i] : (i == 0 ? "Modulus" : "Exponent");
      if (i == 1 && v.size() <= 8) {
        uint64_t e = 0;
        for (uint8_t b : v) { e = e << 8 | b; }
        char line[64];
        std::snprintf(line, sizeof(line), "%s: %llu (0x%llx)\n", name,
                      static_cast<unsigned long long>(e), static_cast<unsigned long long>(e));
        s += line;
      } else {
        s += std::string(name) + ":\n" + hex_block(v, in);
      }
      wipe(v.data(), v.size());
    }
  } else if (key.alg == QL_PKEY_ECDSA) {
    s = std::string(priv ? "Private-Key: (" : "Public-Key: (") + std::to_string(key.bits()) +
        " bit)\n";
    if (priv) {
      std::vector<uint8_t> d = ec_private_scalar(key, "key");
      s += "priv:\n" + hex_block(d, in, false);
      wipe(d.data(), d.size());
    }
    if (!key.pub.empty()) {
      DerReader r(key.pub.data(), key.pub.size(), "key");
      const std::vector<uint8_t> point = r.expect(0x04, "EC point").bytes();
      s += "pub:\n" + hex_block(point, in, false);
    }
    s += std::string("ASN1 OID: ") + curve_name(key.params) +
         "\nNIST CURVE: " + (key.bits() == 224 ? "P-224" : "P-256") + "\n";
  } else {
    const bool params_only = key.pub.empty();
    s = std::string(priv         ? "KCDSA Private-Key: ("
                    : params_only ? "KCDSA Parameters: ("
                                  : "KCDSA Public-Key: (") +
        std::to_string(key.bits()) + " bit)\n";
    if (priv) {
      DerReader r(key.priv.data(), key.priv.size(), "key");
      std::vector<uint8_t> x = uint_magnitude(r.expect(0x02, "x"));
      s += "x:\n" + hex_block(x, in);
      wipe(x.data(), x.size());
    }
    if (!params_only) {
      DerReader y(key.pub.data(), key.pub.size(), "key");
      s += "y:\n" + hex_block(uint_magnitude(y.expect(0x02, "y")), in);
    }
    DerReader top(key.params.data(), key.params.size(), "key");
    DerReader r(top.expect(0x30, "parameters"), "key");
    for (const char *name : {"p", "q", "g"}) {
      s += std::string(name) + ":\n" + hex_block(uint_magnitude(r.expect(0x02, name)), in);
    }
  }
  return s;
}

}  // namespace qlc
