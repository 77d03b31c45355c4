// RSA keys and primitives: key records, key generation from strong primes, the public
// operation, and the private operation, blinded, by CRT when the key has its CRT values, and
// checked with the public exponent before its result leaves. The private exponentiations, the
// CRT recombination and the unblinding run in constant-time Montgomery arithmetic
// (bigint/ql_big_ct.h); key generation and the public operation are variable time.
#include "pk/ql_rsa.h"

#include <array>
#include <type_traits>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "bigint/ql_big_ct.h"
#include "internal/ql_ct.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"

static_assert(std::is_trivially_copyable<QL_RSA_PUBLIC_KEY>::value, "plain record");
static_assert(std::is_trivially_copyable<QL_RSA_PRIVATE_KEY>::value, "plain record");
static_assert(sizeof(QL_RSA_PUBLIC_KEY) == 2 * sizeof(Big), "n, e: consecutive Big records");
static_assert(sizeof(QL_RSA_PRIVATE_KEY) == 8 * sizeof(Big), "eight consecutive Big records");

namespace ql {

namespace {

constexpr uint32_t kDefaultExponent = QL_RSA_DEFAULT_EXPONENT;
constexpr int kMaxExponentBits = 256;

using ctm::Limb;
using LimbArray = std::array<Limb, ctm::kMaxLimbs>;

// The word count of a record as its length field states it, clamped to the capacity. Secret
// values are sized this way: their words are never inspected to find the length.
int stated_words(const Big &a) {
  if (a.length < 0) {
    return 0;
  }
  return a.length > kBigWords ? kBigWords : a.length;
}

// Present as the key record defines it: a length and not a single zero word.
bool present(const Big &a) { return a.length > 0 && !(a.length == 1 && a.words[0] == 0); }

bool is_zero_value(const Big &a) { return big_used(a) == 0; }

// 0 <= in <= n; the magnitude of a negative zero counts as zero.
bool input_in_range(const Big &in, const Big &n) {
  if (in.sign != 0 && !is_zero_value(in)) {
    return false;
  }
  return big_ucomp(in, n) <= 0;
}

Status check_public_exponent(const Big &e) {
  if (e.sign != 0 || is_zero_value(e)) {
    return kErrRsaKeyInvalid;
  }
  return kOk;
}

// x = x / 2^k mod n for x < n and 0 < k < limb bits: adds the multiple m n (m < 2^k) that
// clears the low k bits, then shifts; (x + m n) / 2^k < 2^k n / 2^k = n needs no reduction.
void halve_mod(Limb *x, unsigned k, const ctm::Modulus &m) {
  const size_t len = m.len;
  const Limb low = static_cast<Limb>((Limb{1} << k) - 1);
  const Limb mult = static_cast<Limb>(x[0] * m.n0) & low;
  const Limb top = mul_add_row(x, m.n, len, mult);
  for (size_t j = 0; j < len; j++) {
    const Limb next = j + 1 < len ? x[j + 1] : top;
    x[j] = static_cast<Limb>((x[j] >> k) | (next << (kLimbBits<Limb> - k)));
  }
}

// Trailing zero bits of a limb; the limb width for zero.
unsigned trailing_zeros(Limb x) {
  unsigned n = 0;
  for (unsigned shift = 0; shift < kLimbBits<Limb>; shift += 32) {
    const uint32_t w = static_cast<uint32_t>(x >> shift);
    if (w != 0) {
      return n + static_cast<unsigned>(ctz32(w));
    }
    n += 32;
  }
  return n;
}

// x = x >> k for 0 < k < limb bits over num limbs.
void shift_right(Limb *x, size_t num, unsigned k) {
  for (size_t j = 0; j < num; j++) {
    const Limb next = j + 1 < num ? x[j + 1] : 0;
    x[j] = static_cast<Limb>((x[j] >> k) | (next << (kLimbBits<Limb> - k)));
  }
}

// x = x << k for 0 < k < limb bits over num limbs (the bits shifted out are zero).
void shift_left(Limb *x, size_t num, unsigned k) {
  for (size_t j = num; j-- > 0;) {
    const Limb prev = j > 0 ? x[j - 1] : 0;
    x[j] = static_cast<Limb>((x[j] << k) | (prev >> (kLimbBits<Limb> - k)));
  }
}

// Strips the trailing zero bits of the even, non-zero x[0..num) and returns how many there were,
// shifting `partner` left as often (at most limb bits - 1 at a time). `num_partner` limbs hold
// the partner's non-zero limbs and grows with it, up to `capacity`.
unsigned strip_zeros(Limb *x, size_t &num, Limb *partner, size_t &num_partner, size_t capacity) {
  unsigned total = 0;
  while ((x[0] & 1) == 0) {
    const unsigned zeros = trailing_zeros(x[0]);
    const unsigned k = zeros < kLimbBits<Limb> - 1 ? zeros : kLimbBits<Limb> - 1;
    shift_right(x, num, k);
    while (num > 1 && x[num - 1] == 0) {
      num--;
    }
    const bool room = num_partner < capacity;
    shift_left(partner, room ? num_partner + 1 : num_partner, k);
    if (room && partner[num_partner] != 0) {
      num_partner++;
    }
    total += k;
  }
  return total;
}

// r = a^-1 R mod n (the Montgomery form of the inverse) for 0 < a < n, false when
// gcd(a, n) != 1. Kaliski's almost inverse first: with u = n, v = a, x1 = 0, x2 = 1 the loop
// keeps n = u x2 + v x1 and ends with x1 < 2n and n - x1 = a^-1 2^k mod n, k the number of
// halvings; R 2^-k then comes from one product with R^2 and k halvings modulo n. Variable
// time: it serves the blinding value only, which is drawn afresh for every operation.
bool inverse_mod(Limb *r, const Limb *a, const ctm::Modulus &m) {
  const size_t len = m.len;
  const size_t wide = len + 1;  // x1, x2 < 2n
  std::array<Limb, ctm::kMaxLimbs + 1> u{}, v{}, x1{}, x2{};
  for (size_t j = 0; j < len; j++) {
    u[j] = m.n[j];
    v[j] = a[j];
  }
  x2[0] = 1;
  // Limbs of x1 and x2 that may be non-zero: they start at one and grow as u and v shrink, so
  // the coefficient steps run over the used part only.
  size_t num_x = 1;
  size_t num_u = len;
  size_t num_v = len;
  while (num_v > 1 && v[num_v - 1] == 0) {
    num_v--;
  }
  uint32_t k = 0;
  while (!(num_v == 1 && v[0] == 0)) {
    if ((v[0] & 1) == 0) {
      k += strip_zeros(v.data(), num_v, x1.data(), num_x, wide);
      continue;
    }
    // u and v odd: the larger loses the smaller and is halved until odd; the coefficient of
    // the smaller takes the sum and the other doubles with each halving.
    const bool u_larger =
        num_u != num_v ? num_u > num_v : cmp_limbs(u.data(), v.data(), num_u) > 0;
    Limb *big = u_larger ? u.data() : v.data();
    const Limb *small = u_larger ? v.data() : u.data();
    size_t &num_big = u_larger ? num_u : num_v;
    Limb *x_sum = u_larger ? x1.data() : x2.data();
    Limb *x_double = u_larger ? x2.data() : x1.data();
    sub_limbs(big, big, small, num_big);
    const Limb carry = add_limbs(x_sum, x_sum, x_double, num_x);
    if (carry != 0 && num_x < wide) {  // x1, x2 < 2n: no carry out of the top limb
      x_sum[num_x++] = carry;
    }
    while (num_big > 1 && big[num_big - 1] == 0) {
      num_big--;
    }
    if (num_big == 1 && big[0] == 0) {
      // v = u = gcd(a, n): v's last halving doubles x1 once more.
      shift_left(x_double, wide, 1);
      k++;
      break;
    }
    k += strip_zeros(big, num_big, x_double, num_x, wide);
  }
  const bool ok = num_u == 1 && u[0] == 1;
  if (ok) {
    // x1 = n - (x1 mod n) = a^-1 2^k mod n.
    std::array<Limb, ctm::kMaxLimbs + 1> n_wide{};
    for (size_t j = 0; j < len; j++) {
      n_wide[j] = m.n[j];
    }
    if (cmp_limbs(x1.data(), n_wide.data(), wide) >= 0) {
      sub_limbs(x1.data(), x1.data(), n_wide.data(), wide);
    }
    sub_limbs(x1.data(), n_wide.data(), x1.data(), len);
    // r = x1 R 2^-k: a product with R^2, then k halvings.
    std::array<Limb, ctm::kScratchLimbs> t;
    ctm::mul(r, x1.data(), m.rr, m, t.data());
    while (k != 0) {
      const unsigned step = k < kLimbBits<Limb> - 1 ? k : kLimbBits<Limb> - 1;
      halve_mod(r, step, m);
      k -= step;
    }
  }
  wipe(u.data(), sizeof(u));
  wipe(v.data(), sizeof(v));
  wipe(x1.data(), sizeof(x1));
  wipe(x2.data(), sizeof(x2));
  return ok;
}

// out = in^e mod n for 0 <= in <= n (n gives 0) on the prepared modulus of n, by square and
// multiply on the Montgomery kernel: every value here is public, so the time may depend on e.
void public_exp(Big &out, const Big &in, const Big &e, const ctm::Modulus &m) {
  LimbArray x;
  std::array<Limb, ctm::kScratchLimbs> t;
  std::array<uint32_t, kMontMaxWords> words;
  ctm::to_mont(x.data(), in.words, big_used(in), m, t.data());
  ctm::exp_public(x.data(), x.data(), e.words, big_used(e), m, t.data());
  ctm::from_mont(x.data(), x.data(), m, t.data());
  limbs_to_words(words.data(), x.data(), m.len);
  big_set_words(out, words.data(), static_cast<int>(m.len) * ctm::kWordsPerLimb, 0);
  // The blinding value's power passes through here.
  wipe(x.data(), sizeof(x));
  wipe(t.data(), sizeof(t));
  wipe(words.data(), sizeof(words));
}

// Everything the private operation computes with, on the heap: moduli of n, p and q, the
// blinding values and the limb arrays of the CRT halves. Wiped when freed.
struct PrivateScratch {
  Big t;        // blinding draw
  Big r;        // blinding value t mod n
  Big blinded;  // in * r^e mod n
  Big check;    // result^e mod n
  Big result;   // the unblinded result
  ctm::Modulus mod_n;
  ctm::Modulus mod_p;
  ctm::Modulus mod_q;
  LimbArray x;  // working values of the exponentiations
  LimbArray y;
  LimbArray h;
  LimbArray r_inv;                               // Montgomery form of r^-1 mod n
  std::array<Limb, 2 * ctm::kMaxLimbs> product;  // m2 + h * q
  std::array<Limb, ctm::kScratchLimbs> t_limbs;
  std::array<uint32_t, 2 * kMontMaxWords> words;
};

// m' = c^d mod n by CRT: m1 = c^dP mod p, m2 = c^dQ mod q, h = (m1 - m2) qInv mod p,
// m' = m2 + h q, into s.product (mod_q.len + mod_p.len limbs).
Status crt_exp(PrivateScratch &s, const QL_RSA_PRIVATE_KEY &key) {
  const ctm::Modulus &mp = s.mod_p;
  const ctm::Modulus &mq = s.mod_q;
  Limb *t = s.t_limbs.data();
  const int num_c = big_used(s.blinded);
  // x = m1 in Montgomery form modulo p, y = m2 plain, below q; the two exponentiations are
  // independent and run together.
  ctm::to_mont(s.x.data(), s.blinded.words, num_c, mp, t);
  ctm::to_mont(s.y.data(), s.blinded.words, num_c, mq, t);
  const ctm::ExpJob job_p{s.x.data(), s.x.data(), key.dP.words, stated_words(key.dP), &mp};
  const ctm::ExpJob job_q{s.y.data(), s.y.data(), key.dQ.words, stated_words(key.dQ), &mq};
  QL_TRY(ctm::exp_pair(job_p, job_q, kErrRsaAlloc));
  ctm::from_mont(s.y.data(), s.y.data(), mq, t);
  // h = (m1 - m2 mod p) * qInv mod p; m2 and qInv may exceed p in keys built elsewhere, so
  // both are reduced through their Montgomery forms.
  uint32_t *m2_words = s.words.data();
  limbs_to_words(m2_words, s.y.data(), mq.len);
  ctm::to_mont(s.h.data(), m2_words, static_cast<int>(mq.len) * ctm::kWordsPerLimb, mp, t);
  ctm::sub_mod(s.x.data(), s.x.data(), s.h.data(), mp);
  ctm::to_mont(s.h.data(), key.qInv.words, stated_words(key.qInv), mp, t);
  ctm::mul(s.x.data(), s.x.data(), s.h.data(), mp, t);
  ctm::from_mont(s.h.data(), s.x.data(), mp, t);
  // m' = m2 + h * q, below p * q.
  const size_t num_product = mp.len + mq.len;
  mul_limbs(s.product.data(), s.h.data(), mp.len, mq.n, mq.len);
  Limb carry = add_limbs(s.product.data(), s.product.data(), s.y.data(), mq.len);
  for (size_t j = mq.len; j < num_product; j++) {
    const Limb sum = static_cast<Limb>(s.product[j] + carry);
    carry = static_cast<Limb>(sum < carry);
    s.product[j] = sum;
  }
  return kOk;
}

// The blinding value r, the Montgomery form of its inverse and in * r^e mod n into s.
Status blind(PrivateScratch &s, const Big &in, const QL_RSA_PRIVATE_KEY &key, const Big *draw) {
  const Big &n = key.n;
  const uint32_t bits = 32u * static_cast<uint32_t>(big_used(n));
  for (;;) {
    if (draw != nullptr) {
      s.t = *draw;
    } else {
      QL_TRY(QL_Big_Random(&s.t, bits, 1, 1));
    }
    QL_TRY(big_mod(s.r, s.t, n));
    words_to_limbs(s.x.data(), s.mod_n.len, s.r.words, big_used(s.r));
    if (inverse_mod(s.r_inv.data(), s.x.data(), s.mod_n)) {
      break;
    }
    if (draw != nullptr) {
      return kErrBigNoInverse;
    }
  }
  public_exp(s.check, s.r, key.e, s.mod_n);
  return Big_MulMod(&s.blinded, &s.check, &in, &n);
}

Status generate(QL_RSA_PRIVATE_KEY &key, uint32_t k, const Big &e) {
  struct Values {
    Big p, q, n, phi, g, lambda, d;
  };
  Wiped<Values> store;
  Values &v = store.get();
  const uint32_t p_bytes = k - k / 2;  // ceil(k / 2); k is a multiple of 8
  const uint32_t q_bytes = k / 2;
  for (;;) {
    QL_TRY(Big_GeneratePrimeStrongRSA(&v.p, 8 * p_bytes));
    QL_TRY(Big_GeneratePrimeStrongRSA(&v.q, 8 * q_bytes));
    if (big_ucomp(v.p, v.q) < 0) {
      const Big tmp = v.p;
      v.p = v.q;
      v.q = tmp;
    }
    QL_TRY(big_mul(v.n, v.p, v.q));
    // The modulus must fill k bytes, its top bit set.
    if (v.n.length != static_cast<int32_t>(k / 4) || (v.n.words[v.n.length - 1] >> 31) == 0) {
      continue;
    }
    // p - 1 and q - 1 in place (p and q are odd), lambda = (p - 1)(q - 1) / gcd.
    v.p.words[0] &= ~1u;
    v.q.words[0] &= ~1u;
    QL_TRY(big_mul(v.phi, v.p, v.q));
    QL_TRY(big_gcd(v.g, v.p, v.q));
    QL_TRY(big_div(&v.lambda, nullptr, v.phi, v.g));
    Status st = Big_InvMod(&v.d, &e, &v.lambda);
    if (st == kErrBigNoInverse) {
      continue;
    }
    QL_TRY(st);
    QL_TRY(big_mod(key.dP, v.d, v.p));
    QL_TRY(big_mod(key.dQ, v.d, v.q));
    v.p.words[0] |= 1u;
    v.q.words[0] |= 1u;
    st = Big_InvMod(&key.qInv, &v.q, &v.p);
    if (st == kErrBigNoInverse) {
      continue;
    }
    QL_TRY(st);
    key.n = v.n;
    key.e = e;
    key.d = v.d;
    key.p = v.p;
    key.q = v.q;
    return kOk;
  }
}

}  // namespace

Status rsa_check_modulus(const Big &n) {
  const int used = big_used(n);
  if (n.sign != 0 || used == 0 || used > kMontMaxWords || (n.words[0] & 1u) == 0 ||
      (used == 1 && n.words[0] < 3)) {
    return kErrRsaKeyInvalid;
  }
  return kOk;
}

Status rsa_private_exp(Big &out, const Big &in, const QL_RSA_PRIVATE_KEY &key,
                       const Big *blind_draw) {
  QL_TRY(rsa_check_modulus(key.n));
  QL_TRY(check_public_exponent(key.e));
  if (!input_in_range(in, key.n)) {
    return kErrRsaPrivateInput;
  }
  const bool crt = present(key.dP) && present(key.dQ) && present(key.qInv);
  if (crt) {
    if (key.dP.sign != 0 || key.dQ.sign != 0 || key.qInv.sign != 0) {
      return kErrRsaKeyInvalid;
    }
  } else if (!present(key.d) || key.d.sign != 0) {
    return kErrRsaKeyInvalid;
  }
  Owned<PrivateScratch> scratch;
  if (!scratch) {
    return critical(kErrRsaAlloc);
  }
  PrivateScratch &s = *scratch;
  ctm::init_public(s.mod_n, key.n);  // cannot fail for a checked modulus
  if (crt && (!ctm::init(s.mod_p, key.p) || !ctm::init(s.mod_q, key.q))) {
    return kErrRsaKeyInvalid;
  }
  QL_TRY(blind(s, in, key, blind_draw));

  const ctm::Modulus &mn = s.mod_n;
  Limb *t = s.t_limbs.data();
  // s.x = m' = (in * r^e)^d mod n, plain, held in mn.len limbs.
  if (crt) {
    QL_TRY(crt_exp(s, key));
    // m' < p q; in a key whose p q is not n the excess limbs are dropped and the check
    // below refuses the result.
    for (size_t j = 0; j < mn.len; j++) {
      s.x[j] = s.product[j];
    }
  } else {
    ctm::to_mont(s.x.data(), s.blinded.words, big_used(s.blinded), mn, t);
    QL_TRY(ctm::exp(s.x.data(), s.x.data(), key.d.words, stated_words(key.d), mn, kErrRsaAlloc));
    ctm::from_mont(s.x.data(), s.x.data(), mn, t);
  }
  // Unblinding: m' * r^-1 mod n, a Montgomery product with the form of r^-1.
  ctm::mul(s.x.data(), s.x.data(), s.r_inv.data(), mn, t);
  uint32_t *words = s.words.data();
  limbs_to_words(words, s.x.data(), mn.len);
  // The result is what the caller receives: public from here on.
  QL_CT_PUBLIC(words, sizeof(uint32_t) * mn.len * ctm::kWordsPerLimb);
  big_set_words(s.result, words, static_cast<int>(mn.len) * ctm::kWordsPerLimb, 0);

  // Fault check: result^e must give the input back (n itself stands for 0), else a fault in
  // one CRT half or an inconsistent key produced it, and nothing is released.
  public_exp(s.check, s.result, key.e, mn);
  const bool input_is_n = big_ucomp(in, key.n) == 0;
  const bool matches = input_is_n ? is_zero_value(s.check) : big_ucomp(s.check, in) == 0;
  if (!matches) {
    return critical(kErrRsaFaultCheck);
  }
  out = s.result;
  return kOk;
}

}  // namespace ql

// Exported functions.

QL_RSA_PUBLIC_KEY *QL_RSA_PublicKey_New(void) { return ql::new_zeroed<QL_RSA_PUBLIC_KEY>(); }

void QL_RSA_PublicKey_Delete(QL_RSA_PUBLIC_KEY *key) {
  ql::free_wiped(key, sizeof(QL_RSA_PUBLIC_KEY));
}

QL_RSA_PRIVATE_KEY *QL_RSA_PrivateKey_New(void) { return ql::new_zeroed<QL_RSA_PRIVATE_KEY>(); }

void QL_RSA_PrivateKey_Delete(QL_RSA_PRIVATE_KEY *key) {
  ql::free_wiped(key, sizeof(QL_RSA_PRIVATE_KEY));
}

int32_t QL_RSA_GenerateKey(QL_RSA_PRIVATE_KEY *priv, QL_RSA_PUBLIC_KEY *pub, uint32_t k,
                           const Big *e) {
  if (priv == nullptr || pub == nullptr) {
    return ql::kErrRsaNull;
  }
  // Other lengths would make the prime search run forever or exceed the Montgomery limit.
  if (k % 8 != 0 || k < QL_RSA_MIN_GEN_BYTES || k > QL_RSA_MAX_GEN_BYTES) {
    return ql::kErrRsaGenLength;
  }
  Big exponent{};
  if (e == nullptr) {
    exponent.words[0] = ql::kDefaultExponent;
    exponent.length = 1;
  } else {
    // An even exponent or 1 has no inverse modulo lambda; a huge one is no RSA key.
    const int used = ql::big_used(*e);
    if (e->sign != 0 || used == 0 || (e->words[0] & 1u) == 0 || (used == 1 && e->words[0] < 3) ||
        Big_GetFilledBitNum(e) > ql::kMaxExponentBits) {
      return ql::kErrRsaGenExponent;
    }
    ql::big_set_words(exponent, e->words, used, 0);
  }
  ql::Wiped<QL_RSA_PRIVATE_KEY> key;
  QL_TRY(ql::generate(key.get(), k, exponent));
  *priv = key.get();
  pub->n = key.get().n;
  pub->e = key.get().e;
  return ql::kOk;
}

int32_t QL_RSA_PublicKeyExp(Big *out, const Big *in, const QL_RSA_PUBLIC_KEY *pub) {
  if (out == nullptr || in == nullptr || pub == nullptr) {
    return ql::kErrRsaNull;
  }
  QL_TRY(ql::rsa_check_modulus(pub->n));
  QL_TRY(ql::check_public_exponent(pub->e));
  if (!ql::input_in_range(*in, pub->n)) {
    return ql::kErrRsaPublicInput;
  }
  ql::ctm::Modulus m;
  ql::ctm::init_public(m, pub->n);  // cannot fail for a checked modulus
  Big result{};
  ql::public_exp(result, *in, pub->e, m);
  *out = result;
  return ql::kOk;
}

int32_t QL_RSA_PrivateKeyExp(Big *out, const Big *in, const QL_RSA_PRIVATE_KEY *priv) {
  if (out == nullptr || in == nullptr || priv == nullptr) {
    return ql::kErrRsaNull;
  }
  const ql::Status st = ql::rsa_private_exp(*out, *in, *priv, nullptr);
  ql::burn_stack();
  return st;
}

int32_t QL_RSA_ProveKeyPair(const QL_RSA_PRIVATE_KEY *priv, const QL_RSA_PUBLIC_KEY *pub) {
  if (priv == nullptr || pub == nullptr) {
    return ql::kErrRsaNull;
  }
  constexpr uint32_t kProbe = 1234;
  Big m{};
  m.words[0] = kProbe;
  m.length = 1;
  Big c{};
  QL_TRY(QL_RSA_PublicKeyExp(&c, &m, pub));
  Big back{};
  const ql::Status st = QL_RSA_PrivateKeyExp(&back, &c, priv);
  // A private key that does not invert its own public exponent fails the result check.
  if (st == ql::critical(ql::kErrRsaFaultCheck)) {
    return ql::kErrRsaKeyMismatch;
  }
  QL_TRY(st);
  if (ql::big_ucomp(back, m) != 0) {
    return ql::kErrRsaKeyMismatch;
  }
  return ql::kOk;
}
