// The self-test's known answers and the entropy source's repetition check. Each algorithm
// family runs its table in order and stops at its first failing entry; the families run
// independently of each other, except that signatures are skipped once public-key encryption
// has failed. The tables are public constants, so nothing here is secret but the decoded
// private keys, which their records wipe on deletion.
#include "module/ql_selftest.h"

#include <cstring>

#include "QuillonCrypto.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "module/ql_selftest_kat.h"

namespace ql {
namespace {

using kat::CipherKat;
using kat::DigestKat;
using kat::HmacKat;
using kat::PencKat;
using kat::SignKat;

// Room for the longest output of any entry: a 2048-bit RSA block or an encoded signature.
constexpr uint32_t kMaxOutput = 512;

enum Family : uint32_t { kCiphers, kDigests, kHmacs, kX962, kPublicKeyEncryption, kSignatures };

#if defined(QL_TEST_HOOKS)
test::SelfTestFault g_fault = test::SelfTestFault::kNone;
uint32_t g_families_run = 0;

bool injected(test::SelfTestFault fault) { return g_fault == fault; }
#define QL_FAULT(name) injected(test::SelfTestFault::name)
#else
#define QL_FAULT(name) false
#endif

bool passes(Family family, Status result) {
#if defined(QL_TEST_HOOKS)
  g_families_run |= 1u << family;
#else
  (void)family;
#endif
  return result == kOk;
}

bool same(const uint8_t *got, uint32_t got_len, const uint8_t *want, uint32_t want_len) {
  return got_len == want_len && std::memcmp(got, want, want_len) == 0;
}

// Encrypts the plaintext and decrypts the stored ciphertext: both must give the entry's bytes.
Status cipher_entry(const CipherKat &k) {
  QL_SYM_PARAM param{};
  param.mode = k.mode;
  std::memcpy(param.iv, k.iv, k.iv_len);
  param.ivLength = k.iv_len;
  param.segmentLength = k.segment_len;
  param.padding = k.padding;
  uint8_t out[kMaxOutput];
  uint32_t out_len = 0;
  QL_TRY(QL_SYM_Encrypt(&param, out, &out_len, k.pt, k.pt_len, k.key, k.key_len, k.id));
  if (!same(out, out_len, k.ct, k.ct_len)) {
    return kErrSelfTestCheck;
  }
  QL_TRY(QL_SYM_Decrypt(&param, out, &out_len, k.ct, k.ct_len, k.key, k.key_len, k.id));
  if (QL_FAULT(kCipherDecrypt)) {
    out[0] ^= 1;
  }
  return same(out, out_len, k.pt, k.pt_len) ? kOk : kErrSelfTestCheck;
}

Status digest_entry(const DigestKat &k) {
  uint8_t out[QL_HASH_MAX_DIGEST_LEN];
  uint32_t out_len = 0;
  QL_TRY(QL_Hash(out, &out_len, reinterpret_cast<const uint8_t *>(k.msg), k.msg_len, k.id));
  if (QL_FAULT(kDigest)) {
    out[0] ^= 1;
  }
  return same(out, out_len, k.md, k.md_len) ? kOk : kErrSelfTestCheck;
}

// Only the entry's MAC length is compared; the produced length is not.
Status hmac_entry(const HmacKat &k) {
  uint8_t out[QL_HASH_MAX_DIGEST_LEN];
  uint32_t out_len = 0;
  QL_TRY(QL_HMAC(out, &out_len, k.msg, k.msg_len, k.key, k.key_len, k.id));
  if (QL_FAULT(kHmac)) {
    out[0] ^= 1;
  }
  return std::memcmp(out, k.mac, k.mac_len) == 0 ? kOk : kErrSelfTestCheck;
}

template <typename T, size_t N>
Status run_table(const T (&table)[N], Status (*entry)(const T &)) {
  for (const T &k : table) {
    QL_TRY(entry(k));
  }
  return kOk;
}

// The generator's first output from the fixed modulus, XKEY and zero XSEED.
Status x962_family() {
  Big q{};
  QL_TRY(U8ToBig(&q, kat::x962_q, sizeof(kat::x962_q)));
  Wiped<QL_X962_CTX> ctx;
  QL_TRY(Big_X962_Init(ctx.ptr(), &q, kat::x962_xkey, sizeof(kat::x962_xkey), kat::x962_xseed,
                       sizeof(kat::x962_xseed)));
  Big w{};
  QL_TRY(Big_X962_Random(ctx.ptr(), &w));
  uint8_t out[sizeof(kat::x962_out)];
  QL_TRY(BigToU82(out, &w, sizeof(out)));
  if (QL_FAULT(kX962)) {
    out[0] ^= 1;
  }
  return std::memcmp(out, kat::x962_out, sizeof(out)) == 0 ? kOk : kErrSelfTestX962;
}

// The parameter and key records of one entry, deleted (and wiped) on every path.
class EntryKeys {
 public:
  EntryKeys()
      : params_(QL_ASYM_Parameters_New()),
        priv_(QL_ASYM_PrivateKey_New()),
        pub_(QL_ASYM_PublicKey_New()) {}
  ~EntryKeys() {
    QL_ASYM_Parameters_Delete(params_);
    QL_ASYM_PrivateKey_Delete(priv_);
    QL_ASYM_PublicKey_Delete(pub_);
  }
  EntryKeys(const EntryKeys &) = delete;
  EntryKeys &operator=(const EntryKeys &) = delete;

  // Decodes the entry's encodings; without parameters the keys are decoded without them.
  template <typename T>
  Status decode(const T &k) {
    if (params_ == nullptr || priv_ == nullptr || pub_ == nullptr) {
      return kErrSelfTestCheck;
    }
    if (k.params_len != 0) {
      QL_TRY(QL_ASYM_Parameters_Decode(params_, k.pkey, k.params, k.params_len));
    }
    QL_TRY(QL_ASYM_PrivateKey_Decode(priv_, k.pkey, k.priv, k.priv_len, params()));
    return QL_ASYM_PublicKey_Decode(pub_, k.pkey, k.pub, k.pub_len, params());
  }
  const QL_ASYM_KEY *params() const { return params_->algorithm != 0 ? params_ : nullptr; }
  const QL_ASYM_KEY *priv() const { return priv_; }
  QL_ASYM_KEY *pub() const { return pub_; }

 private:
  QL_ASYM_KEY *params_;
  QL_ASYM_KEY *priv_;
  QL_ASYM_KEY *pub_;
};

// Decrypts the stored ciphertext, then a fresh encryption of the plaintext.
Status penc_entry(const PencKat &k) {
  EntryKeys keys;
  QL_TRY(keys.decode(k));
  uint8_t ct[kMaxOutput];
  std::memcpy(ct, k.ct, k.ct_len);
  if (QL_FAULT(kPublicKeyDecrypt)) {
    ct[k.ct_len / 2] ^= 1;
  }
  uint8_t pt[kMaxOutput];
  uint32_t pt_len = 0;
  QL_TRY(QL_ASYM_Decrypt(pt, &pt_len, ct, k.ct_len, k.id, keys.priv(), &k.oaep));
  if (!same(pt, pt_len, k.pt, k.pt_len)) {
    return kErrSelfTestCheck;
  }
  uint32_t ct_len = 0;
  QL_TRY(QL_ASYM_Encrypt(ct, &ct_len, k.pt, k.pt_len, k.id, keys.pub(), &k.oaep));
  QL_TRY(QL_ASYM_Decrypt(pt, &pt_len, ct, ct_len, k.id, keys.priv(), &k.oaep));
  return same(pt, pt_len, k.pt, k.pt_len) ? kOk : kErrSelfTestCheck;
}

// Verifies the stored signature, then a fresh one. PSS reads its digest and MGF from the sign
// parameter, KCDSA the signer's public key.
Status sign_entry(const SignKat &k) {
  EntryKeys keys;
  QL_TRY(keys.decode(k));
  QL_ASYM_SIGN_PARAM sign_param;
  std::memset(&sign_param, 0, sizeof(sign_param));
  const QL_ASYM_SIGN_PARAM *param = nullptr;
  if (k.id == QL_SIGN_RSA_PSS) {
    sign_param.pss = k.pss;
    param = &sign_param;
  } else if (k.pkey == QL_PKEY_KCDSA) {
    sign_param.public_key = keys.pub();
    param = &sign_param;
  }
  uint8_t sig[kMaxOutput];
  std::memcpy(sig, k.sig, k.sig_len);
  if (QL_FAULT(kSignature)) {
    sig[k.sig_len - 1] ^= 1;
  }
  QL_TRY(
      QL_ASYM_Verify(sig, k.sig_len, 0, k.msg, k.msg_len, k.id, keys.pub(), keys.params(), param));
  uint32_t sig_len = 0;
  QL_TRY(QL_ASYM_Sign(sig, &sig_len, 0, k.msg, k.msg_len, k.id, keys.priv(), keys.params(), param));
  return QL_ASYM_Verify(sig, sig_len, 0, k.msg, k.msg_len, k.id, keys.pub(), keys.params(), param);
}

}  // namespace

Status selftest_known_answers() {
#if defined(QL_TEST_HOOKS)
  g_families_run = 0;
#endif
  // Non-short-circuit: every family runs whatever the earlier ones gave.
  bool ok = passes(kCiphers, run_table(kat::cipher_kats, cipher_entry));
  ok &= passes(kDigests, run_table(kat::digest_kats, digest_entry));
  ok &= passes(kHmacs, run_table(kat::hmac_kats, hmac_entry));
  ok &= passes(kX962, x962_family());
  const bool encryption_ok = passes(kPublicKeyEncryption, run_table(kat::penc_kats, penc_entry));
  ok &= encryption_ok;
  if (encryption_ok) {
    ok &= passes(kSignatures, run_table(kat::sign_kats, sign_entry));
  }
  return ok ? kOk : kErrSelfTestCheck;
}

// The second gathering must differ from the first within the bytes the first one filled; a
// first gathering that filled nothing cannot differ and fails too.
Status selftest_entropy() {
  Wiped<QL_ENTROPY_POOL> first;
  Wiped<QL_ENTROPY_POOL> second;
  QL_Generate_Entropy(first.ptr());
  QL_Generate_Entropy(second.ptr());
  if (QL_FAULT(kEntropyRepeat)) {
    second.get() = first.get();
  }
  const uint32_t count = first.get().count < sizeof(first.get().pool)
                             ? first.get().count
                             : static_cast<uint32_t>(sizeof(first.get().pool));
  return std::memcmp(first.get().pool, second.get().pool, count) == 0 ? kErrSelfTestCheck : kOk;
}

#if defined(QL_TEST_HOOKS)
void test::selftest_inject(SelfTestFault fault) { g_fault = fault; }
uint32_t test::selftest_families_run() { return g_families_run; }
#endif

}  // namespace ql
