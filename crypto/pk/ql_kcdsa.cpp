// KCDSA over the order-q subgroup of Z_p*: domain parameters generated from a seed by the
// KCDSA hash generator and checked by regenerating them, key pairs y = g^(x^-1 mod q) mod p,
// the hash of the public-key prefix z and the message, signing, verification, public-key
// validation and the pair-wise proof. Integers are Big records; W, r and H are big-endian.
// The private key x, its inverse and the nonce k are secret: their exponentiations are
// constant time and the arithmetic modulo q on them is branch-free; everything else is public.
#include "pk/ql_kcdsa.h"

#include <array>
#include <cstring>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "bigint/ql_big_ct.h"
#include "internal/ql_bytes.h"
#include "internal/ql_ct.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "rand/ql_prime.h"

namespace ql {
namespace {

constexpr uint32_t kZLen = 64;            // hash block length of every KCDSA digest
constexpr uint32_t kMaxCount = 1u << 24;  // counters tried per seed
constexpr uint32_t kMaxHashLen = 50;
constexpr size_t kMaxQWords = 16;  // 512 bits: a seed of q's byte length fits the record
constexpr uint32_t kMinQBits = 160;
constexpr uint32_t kMinCofactorBits = 64;  // p has at least this many bits more than q
constexpr uint32_t kMaxPBits = 32 * kMontMaxWords;
constexpr uint32_t kTableLen = 3001;
constexpr uint32_t kJTrialDepth = 2000;

using QWords = std::array<uint32_t, kMaxQWords>;

uint32_t bit_length(const Big &a) {
  const int n = big_used(a);
  if (n == 0) {
    return 0;
  }
  return 32u * static_cast<uint32_t>(n) - static_cast<uint32_t>(clz32(a.words[n - 1]));
}

bool positive(const Big &a) { return a.sign == 0 && big_used(a) != 0; }

bool is_one(const Big &a) { return big_used(a) == 1 && a.words[0] == 1; }

// a < b for non-negative values.
bool less(const Big &a, const Big &b) { return a.sign == 0 && big_ucomp(a, b) < 0; }

// The words of `a` below `n`, zero-extended; `a` has at most `n` significant words.
void load_words(uint32_t *out, const Big &a, size_t n) {
  const size_t used = static_cast<size_t>(big_used(a));
  for (size_t i = 0; i < n; i++) {
    out[i] = i < used ? a.words[i] : 0;
  }
}

// The domain parameters an operation works with, in normal form.
struct Group {
  Big p;
  Big q;
  Big g;
  size_t nq;       // words of q
  uint32_t p_len;  // bytes of p
  uint32_t q_len;  // bytes of q
};

// Loads p, q and g when they describe a group the arithmetic can work in: p odd and at most
// 4096 bits, q odd, above 2, at most 512 bits and below p, g non-zero. A false result is the
// caller's "incomplete parameters" code.
bool load_group(Group &out, const QL_KCDSA_PARAMETERS &params) {
  if (!positive(params.p) || !positive(params.q) || !positive(params.g)) {
    return false;
  }
  const uint32_t p_bits = bit_length(params.p);
  const uint32_t q_bits = bit_length(params.q);
  if (p_bits > kMaxPBits || q_bits > 32 * kMaxQWords || q_bits < 2) {
    return false;
  }
  if ((params.p.words[0] & params.q.words[0] & 1u) == 0 || !less(params.q, params.p)) {
    return false;
  }
  big_set_words(out.p, params.p.words, big_used(params.p), 0);
  big_set_words(out.q, params.q.words, big_used(params.q), 0);
  big_set_words(out.g, params.g.words, big_used(params.g), 0);
  out.nq = static_cast<size_t>(big_used(out.q));
  out.p_len = (p_bits + 7) / 8;
  out.q_len = (q_bits + 7) / 8;
  return true;
}

// out[0..num_out) = base^e mod m for odd m > 2, where the base (base[0..num_base)) or the
// exponent (e[0..num_e)) is secret: every word of both is processed, and the result is left
// as words, not stripped, so its value steers nothing either.
Status secret_exp(uint32_t *out, size_t num_out, const uint32_t *base, int num_base,
                  const uint32_t *e, int num_e, const Big &m) {
  Wiped<ctm::Modulus> mod;
  if (!ctm::init(mod.get(), m)) {
    return kErrBigNoInverse;
  }
  Wiped<std::array<ctm::Limb, ctm::kScratchLimbs>> scratch;
  Wiped<std::array<ctm::Limb, ctm::kMaxLimbs>> value;
  ctm::Limb *v = value.get().data();
  ctm::to_mont(v, base, num_base, mod.get(), scratch.get().data());
  QL_TRY(ctm::exp(v, v, e, num_e, mod.get(), kErrBigExpAlloc));
  ctm::from_mont(v, v, mod.get(), scratch.get().data());
  Wiped<std::array<uint32_t, kMontMaxWords>> words;
  const size_t num_words = mod.get().len * ctm::kWordsPerLimb;
  limbs_to_words(words.get().data(), v, mod.get().len);
  for (size_t i = 0; i < num_out; i++) {
    out[i] = i < num_words ? words.get()[i] : 0;
  }
  return kOk;
}

// Loads the private key x into q's n words without looking at its value; true when 1 <= x
// < q, a fact that is public.
bool load_private(uint32_t *out, const Big &x, const Group &grp) {
  const size_t n = grp.nq;
  const size_t len = x.length < 0 ? 0 : (x.length > kBigWords ? kBigWords : x.length);
  uint32_t above = 0;
  uint32_t any = 0;
  for (size_t i = 0; i < len; i++) {
    if (i < n) {
      out[i] = x.words[i];
    } else {
      above |= x.words[i];
    }
  }
  for (size_t i = len; i < n; i++) {
    out[i] = 0;
  }
  for (size_t i = 0; i < n; i++) {
    any |= out[i];
  }
  QWords q{};
  QWords t{};
  load_words(q.data(), grp.q, n);
  const uint32_t below_q = sub_limbs(t.data(), out, q.data(), n);
  wipe(t.data(), sizeof(t));
  uint32_t ok = below_q & ~ct::is_zero(any) & ct::is_zero(above) & ct::is_zero(x.sign);
  QL_CT_PUBLIC(&ok, sizeof(ok));
  return ok != 0;
}

// r[0..n) = a[0..na) mod m[0..n) in time independent of the values (m's top word non-zero).
void ct_mod(uint32_t *r, const uint32_t *a, size_t na, const uint32_t *m, size_t n) {
  QWords t{};
  ct_mod_words(r, a, na, m, n, t.data());
  wipe(t.data(), sizeof(t));
}

// s = x (k - e) mod q for n-word x, e < q and k <= q; branch-free.
void sign_value(uint32_t *s, const uint32_t *x, const uint32_t *k, const uint32_t *e,
                const uint32_t *q, size_t n) {
  QWords d{};
  QWords masked{};
  std::array<uint32_t, 2 * kMaxQWords> product{};
  const uint32_t mask = ct::barrier(0u - sub_limbs(d.data(), k, e, n));
  for (size_t j = 0; j < n; j++) {
    masked[j] = q[j] & mask;
  }
  add_limbs(d.data(), d.data(), masked.data(), n);  // k - e + q when k < e
  mul_limbs(product.data(), x, n, d.data(), n);
  ct_mod(s, product.data(), 2 * n, q, n);
  wipe(d.data(), sizeof(d));
  wipe(product.data(), sizeof(product));
}

#if defined(QL_TEST_HOOKS)
Big g_test_nonce;
bool g_test_nonce_set = false;
#endif

// k uniform in [1, q - 1]: 64 random bits more than q has, reduced modulo q - 1 (a bias
// below 2^-63) and raised by one. The random integer's forced top bit lies above the bits
// that decide the residue's distribution.
Status draw_nonce(uint32_t *k, const Group &grp) {
#if defined(QL_TEST_HOOKS)
  if (g_test_nonce_set) {
    g_test_nonce_set = false;
    for (size_t i = 0; i < grp.nq; i++) {
      k[i] = g_test_nonce.words[i];
    }
    return kOk;
  }
#endif
  const uint32_t bits = 32 * static_cast<uint32_t>(grp.nq) + 64;
  Wiped<Big> v;
  QL_TRY(QL_Big_Random(v.ptr(), bits, 0, 0));
  QWords q_minus_1{};
  load_words(q_minus_1.data(), grp.q, grp.nq);
  q_minus_1[0] -= 1;  // q is odd
  ct_mod(k, v.get().words, grp.nq + 2, q_minus_1.data(), grp.nq);
  QWords one{};
  one[0] = 1;
  add_limbs(k, k, one.data(), grp.nq);
  return kOk;
}

// The rightmost `r_len` bytes of the digest of W written in exactly the byte length of p.
Status hash_w(uint8_t *r, uint32_t r_len, const Big &w, const Group &grp, int32_t digest_id) {
  Wiped<std::array<uint8_t, 4 * kMontMaxWords>> bytes;
  QL_TRY(BigToU82(bytes.get().data(), &w, grp.p_len));
  uint8_t digest[QL_HASH_MAX_DIGEST_LEN];
  uint32_t digest_len = 0;
  QL_TRY(QL_Hash(digest, &digest_len, bytes.get().data(), grp.p_len, digest_id));
  std::memcpy(r, digest + digest_len - r_len, r_len);
  return kOk;
}

// e = (r XOR H) mod q as q's words.
Status xor_reduce(uint32_t *e, const uint8_t *r, const uint8_t *h, uint32_t h_len,
                  const Group &grp) {
  uint8_t x[kMaxHashLen];
  for (uint32_t i = 0; i < h_len; i++) {
    x[i] = static_cast<uint8_t>(r[i] ^ h[i]);
  }
  Big v;
  QL_TRY(U8ToBig(&v, x, h_len));
  QL_TRY(big_mod(v, v, grp.q));
  load_words(e, v, grp.nq);
  return kOk;
}

uint32_t digest_len_of(int32_t digest_id) {
  QL_HASH_INFO info;
  if (QL_Hash_GetInfo(&info, digest_id) != kOk) {
    return 0;
  }
  return info.digest_len;
}

// y = g^(x^-1 mod q) mod p for x in q's words, the inverse taken as x^(q-2) mod q (q prime).
Status public_key(Big &y, const uint32_t *x, const Group &grp) {
  const int n = static_cast<int>(grp.nq);
  Wiped<QWords> inverse;
  Big q_minus_2;
  big_set_words(q_minus_2, grp.q.words, n, 0);
  QL_TRY(Big_SubByWord(&q_minus_2, &q_minus_2, 2));
  QL_TRY(secret_exp(inverse.get().data(), grp.nq, x, n, q_minus_2.words, n, grp.q));
  Wiped<std::array<uint32_t, kMontMaxWords>> words;
  QL_TRY(secret_exp(words.get().data(), kMontMaxWords, grp.g.words, big_used(grp.g),
                    inverse.get().data(), n, grp.p));
  QL_CT_PUBLIC(words.get().data(), sizeof(words.get()));
  big_set_words(y, words.get().data(), kMontMaxWords, 0);
  return kOk;
}

// ---- Parameter generation ----

// The seed and counter p and q come from.
struct SeedRecord {
  uint8_t seed[64];
  uint32_t seed_len;
  uint32_t count;  // 0: search the counters
};

// Fresh seeds, drawn many at a time: every call of the pool generator gathers entropy anew,
// which costs far more than the bytes.
class SeedSource {
 public:
  explicit SeedSource(uint32_t seed_len) : seed_len_(seed_len), used_(0), num_(0) {}
  ~SeedSource() { wipe(batch_, sizeof(batch_)); }
  SeedSource(const SeedSource &) = delete;
  SeedSource &operator=(const SeedSource &) = delete;
  const uint8_t *next() {
    if (used_ == num_) {
      num_ = static_cast<uint32_t>(sizeof(batch_)) / seed_len_;
      QL_RandomBytes(batch_, num_ * seed_len_);
      used_ = 0;
    }
    return batch_ + seed_len_ * used_++;
  }

 private:
  uint8_t batch_[4096];
  uint32_t seed_len_;
  uint32_t used_;
  uint32_t num_;
};

// |a| mod w for w below 2^32.
uint32_t mod_word(const Big &a, uint32_t w) {
  uint64_t rem = 0;
  for (int i = big_used(a); i-- > 0;) {
    rem = ((rem << 32) | a.words[i]) % w;
  }
  return static_cast<uint32_t>(rem);
}

// True when a small prime divides q or p = 2Jq + 1, `j_res` holding J modulo each table
// prime. Primes are taken in pairs so that one pass over q's words serves two of them; the
// first small factor ends the search, which is where most candidates leave.
bool sieve_rejects(const Big &q, const uint16_t *j_res, const uint32_t *primes) {
  for (uint32_t i = 1; i + 1 < kTableLen; i += 2) {
    const uint32_t a = primes[i];
    const uint32_t b = primes[i + 1];
    const uint32_t both = mod_word(q, a * b);
    const uint32_t qa = both % a;
    const uint32_t qb = both % b;
    if (qa == 0 || qb == 0) {
      return true;
    }
    if ((2 * uint64_t{j_res[i]} * qa + 1) % a == 0) {
      return true;
    }
    if ((2 * uint64_t{j_res[i + 1]} * qb + 1) % b == 0) {
      return true;
    }
  }
  return false;
}

// Composite for -2004; any other failure of the test is returned as it is.
Status prime_test(const Big &n, bool &prime) {
  const Status s = Big_IsPrimeRSA(&n);
  prime = s == kOk;
  return s == kErrComposite ? kOk : s;
}

// p and q for one seed: J from the seed, then q from seed || count for each counter until q
// and p = 2Jq + 1 are prime and p has at most alpha bits. With a stored counter only that one
// is tried. `found` tells whether this seed gave parameters.
Status primes_for_seed(QL_KCDSA_PARAMETERS &out, bool &found, uint32_t alpha, uint32_t beta,
                       int32_t digest_id, const SeedRecord &rec) {
  found = false;
  Big &j = out.J;
  QL_TRY(Big_KCDSA_PRNG(&j, alpha - beta - 4, digest_id, rec.seed, 8 * rec.seed_len));
  j.words[(alpha - beta - 1) / 32] |= 1u << ((alpha - beta - 1) % 32);
  j.words[0] |= 1;
  j.length = static_cast<int32_t>((alpha - beta + 31) / 32);
  bool prime = false;
  if (Big_TrialDivision(&j, kJTrialDepth) != 0) {
    return kOk;
  }
  QL_TRY(prime_test(j, prime));
  if (!prime) {
    return kOk;
  }
  const uint32_t *primes = prime_table();
  uint16_t j_res[kTableLen];
  for (uint32_t i = 1; i < kTableLen; i++) {
    j_res[i] = static_cast<uint16_t>(mod_word(j, primes[i]));
  }
  uint8_t input[64 + 4];
  std::memcpy(input, rec.seed, rec.seed_len);
  const uint32_t first = rec.count != 0 ? rec.count : 1;
  const uint32_t last = rec.count != 0 ? rec.count : kMaxCount;
  Big &q = out.q;
  Big &p = out.p;
  Big twice_j;
  QL_TRY(big_lshift(twice_j, j, 1));
  for (uint32_t count = first; count <= last; count++) {
    store_be32(input + rec.seed_len, count);
    QL_TRY(Big_KCDSA_PRNG(&q, beta, digest_id, input, 8 * (rec.seed_len + 4)));
    q.words[(beta - 1) / 32] |= 1u << ((beta - 1) % 32);
    q.words[0] |= 1;
    q.length = static_cast<int32_t>((beta + 31) / 32);
    // The sieve and the order of the tests only save work: the counter chosen is the first
    // one whose q and p are prime and whose p fits alpha bits.
    if (sieve_rejects(q, j_res, primes)) {
      continue;
    }
    QL_TRY(big_mul(p, twice_j, q));
    QL_TRY(Big_AddByWord(&p, &p, 1));
    if (bit_length(p) > alpha) {
      continue;
    }
    QL_TRY(prime_test(q, prime));
    if (!prime) {
      continue;
    }
    QL_TRY(prime_test(p, prime));
    if (!prime) {
      continue;
    }
    big_clear(out.count);
    out.count.words[0] = count;
    found = true;
    return kOk;
  }
  return kOk;
}

// g = h^(2J) mod p for random h, again while g is 0 or 1.
Status make_generator(QL_KCDSA_PARAMETERS &out, uint32_t alpha) {
  Big exponent;
  QL_TRY(big_lshift(exponent, out.J, 1));
  Wiped<Big> h;
  do {
    QL_TRY(QL_Big_Random(h.ptr(), alpha, 1, 1));
    QL_TRY(Big_ModExp(&out.g, h.ptr(), &exponent, &out.p));
  } while (big_used(out.g) == 0 || is_one(out.g));
  return kOk;
}

void clear_params(QL_KCDSA_PARAMETERS &params) {
  wipe(&params, sizeof(params));
  big_clear(params.p);
  big_clear(params.q);
  big_clear(params.g);
  big_clear(params.J);
  big_clear(params.count);
}

// The generation behind Big_KCDSA_GeneratePrimes; `with_g` false leaves g zero (regeneration
// for a check compares p and q only).
Status generate(QL_KCDSA_PARAMETERS &out, uint32_t alpha, uint32_t beta, int32_t digest_id,
                const QL_KCDSA_PARAMETERS *seed_record, bool with_g) {
  if (beta < kMinQBits || beta > 32 * kMaxQWords || alpha < beta + kMinCofactorBits ||
      alpha > kMaxPBits || digest_len_of(digest_id) == 0) {
    return kErrKcdsaGenSizes;
  }
  Wiped<SeedRecord> rec_store;
  SeedRecord &rec = rec_store.get();
  if (seed_record != nullptr) {
    // Read before the record is cleared: it may be the output record itself.
    const Big &count = seed_record->count;
    if (seed_record->seed_len == 0 || seed_record->seed_len > sizeof(rec.seed) || count.sign != 0 ||
        big_used(count) != 1 || count.words[0] > kMaxCount) {
      return kErrKcdsaRegenerate;
    }
    std::memcpy(rec.seed, seed_record->seed, seed_record->seed_len);
    rec.seed_len = seed_record->seed_len;
    rec.count = count.words[0];
  }
  clear_params(out);
  if (seed_record != nullptr) {
    bool found = false;
    QL_TRY(primes_for_seed(out, found, alpha, beta, digest_id, rec));
    if (!found) {
      clear_params(out);
      return kErrKcdsaRegenerate;
    }
  } else {
    rec.seed_len = (beta + 7) / 8;
    SeedSource seeds(rec.seed_len);
    for (bool found = false; !found;) {
      std::memcpy(rec.seed, seeds.next(), rec.seed_len);
      QL_TRY(primes_for_seed(out, found, alpha, beta, digest_id, rec));
    }
  }
  std::memcpy(out.seed, rec.seed, rec.seed_len);
  out.seed_len = rec.seed_len;
  if (with_g) {
    QL_TRY(make_generator(out, alpha));
  }
  return kOk;
}

// ---- Signatures ----

// Signs with the private key in q's words `x` (1 <= x < q).
Status sign(QL_KCDSA_SIGNATURE &sig, int32_t digest_id, const uint8_t *h, uint32_t h_len,
            const uint32_t *x, const Group &grp) {
  const size_t n = grp.nq;
  Wiped<QWords> k;
  QWords q{};
  QWords e{};
  QWords s{};
  std::array<uint32_t, kMontMaxWords> w_words{};
  Big w;
  Big s_big;
  uint8_t r[kMaxHashLen];
  load_words(q.data(), grp.q, n);
  // A zero s (k = e) would tell nothing and verify nothing: draw again. So does a zero r (a
  // hash value of zero bytes, likely only for very short hash lengths), which verification
  // refuses. Any other s is a signature; s of any parity is the standard's.
  for (;;) {
    QL_TRY(draw_nonce(k.get().data(), grp));
    QL_TRY(secret_exp(w_words.data(), kMontMaxWords, grp.g.words, big_used(grp.g), k.get().data(),
                      static_cast<int>(n), grp.p));
    // W, and s below, are what a verifier recomputes: public from here on.
    QL_CT_PUBLIC(w_words.data(), sizeof(w_words));
    big_set_words(w, w_words.data(), kMontMaxWords, 0);
    QL_TRY(hash_w(r, h_len, w, grp, digest_id));
    QL_TRY(xor_reduce(e.data(), r, h, h_len, grp));
    sign_value(s.data(), x, k.get().data(), e.data(), q.data(), n);
    QL_CT_PUBLIC(s.data(), sizeof(s));
    big_set_words(s_big, s.data(), static_cast<int>(n), 0);
    uint8_t r_bits = 0;
    for (uint32_t i = 0; i < h_len; i++) { r_bits = static_cast<uint8_t>(r_bits | r[i]); }
    if (big_used(s_big) != 0 && r_bits != 0) {
      break;
    }
  }
  QL_TRY(U8ToBig(&sig.r, r, h_len));
  big_normalize(sig.r);
  sig.s = s_big;
  return kOk;
}

// Bit i of the non-negative record x.
uint32_t bit_of(const Big &x, int i) { return (x.words[i / 32] >> (i % 32)) & 1u; }

// w = y^a * g^b mod p for public values (a, b < q): one joint left-to-right pass over the bits
// of both exponents (Shamir's trick), a squaring per bit and a multiplication by y, g or y*g
// where bits are set, on the Montgomery kernel. Variable time, for verification only.
Status public_joint_exp(Big &w, const Big &y, const Big &a, const Big &g, const Big &b,
                        const Big &p) {
  ctm::Modulus mod;
  if (!ctm::init_public(mod, p)) {
    return kErrBigNoInverse;
  }
  std::array<ctm::Limb, ctm::kScratchLimbs> t;
  std::array<ctm::Limb, ctm::kMaxLimbs> ym, gm, ygm, acc;
  ctm::to_mont(ym.data(), y.words, big_used(y), mod, t.data());
  ctm::to_mont(gm.data(), g.words, big_used(g), mod, t.data());
  ctm::mul(ygm.data(), ym.data(), gm.data(), mod, t.data());
  std::memcpy(acc.data(), mod.one, mod.len * sizeof(ctm::Limb));
  const ctm::Limb *factor[4] = {nullptr, ym.data(), gm.data(), ygm.data()};
  const int bits = Big_GetFilledBitNum(&a) > Big_GetFilledBitNum(&b) ? Big_GetFilledBitNum(&a)
                                                                     : Big_GetFilledBitNum(&b);
  for (int i = bits - 1; i >= 0; i--) {
    ctm::sqr(acc.data(), acc.data(), mod, t.data());
    const uint32_t pick = (i < 32 * big_used(a) ? bit_of(a, i) : 0u) |
                          (i < 32 * big_used(b) ? bit_of(b, i) << 1 : 0u);
    if (pick != 0) {
      ctm::mul(acc.data(), acc.data(), factor[pick], mod, t.data());
    }
  }
  ctm::from_mont(acc.data(), acc.data(), mod, t.data());
  std::array<uint32_t, kMontMaxWords> words;
  limbs_to_words(words.data(), acc.data(), mod.len);
  big_set_words(w, words.data(), static_cast<int>(mod.len * ctm::kWordsPerLimb), 0);
  return kOk;
}

Status verify(const Group &grp, const Big &y, const QL_KCDSA_SIGNATURE &sig, int32_t digest_id,
              const uint8_t *h, uint32_t h_len) {
  uint8_t r[kMaxHashLen];
  QL_TRY(BigToU82(r, &sig.r, h_len));
  QWords e{};
  QL_TRY(xor_reduce(e.data(), r, h, h_len, grp));
  Big e_big;
  big_set_words(e_big, e.data(), static_cast<int>(grp.nq), 0);
  Big s;
  big_set_words(s, sig.s.words, big_used(sig.s), 0);
  Big w;
  QL_TRY(public_joint_exp(w, y, s, grp.g, e_big, grp.p));
  uint8_t r2[kMaxHashLen];
  QL_TRY(hash_w(r2, h_len, w, grp, digest_id));
  return ct::bytes_eq(r, r2, h_len) != 0 ? kOk : kErrKcdsaMismatch;
}

}  // namespace

#if defined(QL_TEST_HOOKS)
void test::kcdsa_use_nonce(const Big *k) {
  g_test_nonce_set = k != nullptr;
  if (k != nullptr) {
    g_test_nonce = *k;
  }
}
#endif

}  // namespace ql

// Exported functions.

QL_KCDSA_PARAMETERS *QL_KCDSA_Parameters_New(void) { return ql::new_zeroed<QL_KCDSA_PARAMETERS>(); }

void QL_KCDSA_Parameters_Delete(QL_KCDSA_PARAMETERS *params) {
  ql::free_wiped(params, sizeof(QL_KCDSA_PARAMETERS));
}

QL_KCDSA_SIGNATURE *QL_KCDSA_Signature_New(void) { return ql::new_zeroed<QL_KCDSA_SIGNATURE>(); }

void QL_KCDSA_Signature_Delete(QL_KCDSA_SIGNATURE *sig) {
  ql::free_wiped(sig, sizeof(QL_KCDSA_SIGNATURE));
}

int32_t Big_KCDSA_GeneratePrimes(QL_KCDSA_PARAMETERS *params, uint32_t p_bits, uint32_t q_bits,
                                 int32_t digest_id, const QL_KCDSA_PARAMETERS *seed_record) {
  if (params == nullptr) {
    return ql::kErrKcdsaGenSizes;
  }
  return ql::generate(*params, p_bits, q_bits, digest_id, seed_record, true);
}

int32_t QL_KCDSA_GenerateParams(QL_KCDSA_PARAMETERS *params, uint32_t bits) {
  uint32_t alpha = 1024;
  uint32_t beta = 160;
  if (bits >= 2048) {
    alpha = 2048;
    beta = 256;
  } else if (bits > 1024) {
    alpha = 1024 + 256 * ((bits - 1024) / 256);
  }
  const int32_t digest_id = bits < 2048 ? 1 : 3;
  const int32_t s = Big_KCDSA_GeneratePrimes(params, alpha, beta, digest_id, nullptr);
  return s < 0 ? s : 0;
}

int32_t QL_KCDSA_VerifyParameters(const QL_KCDSA_PARAMETERS *params, int32_t digest_id) {
  if (params == nullptr || !ql::positive(params->p) || !ql::positive(params->q) ||
      !ql::positive(params->g)) {
    return ql::kErrKcdsaParamsIncomplete;
  }
  bool prime = false;
  QL_TRY(ql::prime_test(params->p, prime));
  if (!prime) {
    return ql::kErrKcdsaPComposite;
  }
  QL_TRY(ql::prime_test(params->q, prime));
  if (!prime) {
    return ql::kErrKcdsaQComposite;
  }
  Big p_minus_1;
  Big rem;
  QL_TRY(Big_SubByWord(&p_minus_1, &params->p, 1));
  QL_TRY(ql::big_mod(rem, p_minus_1, params->q));
  if (ql::big_used(rem) != 0) {
    return ql::kErrKcdsaQNotDivisor;
  }
  if (params->seed_len != 0 && ql::big_used(params->count) != 0) {
    QL_KCDSA_PARAMETERS regen;
    const ql::Status s = ql::generate(regen, ql::bit_length(params->p), ql::bit_length(params->q),
                                      digest_id, params, false);
    if (ql::is_critical(s)) {
      return s;
    }
    if (s != ql::kOk || ql::big_ucomp(regen.p, params->p) != 0 ||
        ql::big_ucomp(regen.q, params->q) != 0 || ql::big_ucomp(regen.count, params->count) != 0) {
      return ql::kErrKcdsaParamsMismatch;
    }
  }
  if (params->g.sign != 0 || ql::is_one(params->g) || !ql::less(params->g, params->p)) {
    return ql::kErrKcdsaParamsMismatch;
  }
  Big t;
  const ql::Status s = Big_ModExp(&t, &params->g, &params->q, &params->p);
  if (ql::is_critical(s)) {
    return s;
  }
  if (s != ql::kOk || !ql::is_one(t)) {
    return ql::kErrKcdsaParamsMismatch;
  }
  return ql::kOk;
}

int32_t QL_KCDSA_GenerateKeyPair(const QL_KCDSA_PARAMETERS *params, Big *y, Big *x) {
  if (params == nullptr || y == nullptr || x == nullptr) {
    return ql::kErrKcdsaKeyGenInput;
  }
  ql::Group grp;
  if (!ql::load_group(grp, *params)) {
    return ql::kErrKcdsaKeyGenInput;
  }
  ql::WipeOnExit x_guard(x, sizeof(Big));
  ql::WipeOnExit y_guard(y, sizeof(Big));
  const uint32_t q_bits = ql::bit_length(grp.q);
  const int32_t digest_id = q_bits == 256 ? 3 : 1;
  ql::Wiped<Big> xkey;
  ql::Wiped<ql::QWords> words;
  do {
    QL_TRY(QL_Big_Random(xkey.ptr(), q_bits, 1, 1));
    QL_TRY(Big_Random_KCDSA(x, &grp.q, xkey.ptr(), digest_id, nullptr, 0));
  } while (!ql::load_private(words.get().data(), *x, grp));
  QL_TRY(ql::public_key(*y, words.get().data(), grp));
  x_guard.release();
  y_guard.release();
  return ql::kOk;
}

int32_t QL_KCDSA_VerifyPublicKey(const QL_KCDSA_PARAMETERS *params, const Big *y) {
  ql::Group grp;
  if (params == nullptr || y == nullptr || !ql::load_group(grp, *params)) {
    return ql::kErrKcdsaPublicKeyInput;
  }
  // 1 has order 1, not q: no private key gives it.
  if (y->sign != 0 || ql::big_used(*y) == 0 || ql::is_one(*y) || !ql::less(*y, grp.p)) {
    return ql::kErrKcdsaPublicKeyInvalid;
  }
  Big t;
  QL_TRY(Big_ModExp(&t, y, &grp.q, &grp.p));
  return ql::is_one(t) ? ql::kOk : ql::kErrKcdsaPublicKeyInvalid;
}

int32_t QL_KCDSA_ProveKeyPair(const Big *x, const Big *y, const QL_KCDSA_PARAMETERS *params) {
  ql::Group grp;
  if (x == nullptr || y == nullptr || params == nullptr || !ql::load_group(grp, *params)) {
    return ql::kErrKcdsaProveInput;
  }
  ql::Wiped<ql::QWords> words;
  if (!ql::load_private(words.get().data(), *x, grp)) {
    return ql::kErrKcdsaProveMismatch;
  }
  Big expected;
  QL_TRY(ql::public_key(expected, words.get().data(), grp));
  return y->sign == 0 && ql::big_ucomp(expected, *y) == 0 ? ql::kOk : ql::kErrKcdsaProveMismatch;
}

int32_t QL_KCDSA_Hash(uint8_t *out, uint32_t *out_len, const uint8_t *msg, uint32_t msg_len,
                      int32_t digest_id, const Big *y) {
  if (out == nullptr || out_len == nullptr || msg == nullptr || y == nullptr || digest_id < 1 ||
      digest_id > 3) {
    return ql::kErrKcdsaHashInput;
  }
  // z = y mod 2^512, as exactly 64 big-endian bytes.
  uint8_t z[ql::kZLen];
  const int used = ql::big_used(*y);
  for (uint32_t i = 0; i < ql::kZLen / 4; i++) {
    const uint32_t w = static_cast<int>(i) < used ? y->words[i] : 0;
    ql::store_be32(z + ql::kZLen - 4 * (i + 1), w);
  }
  ql::Wiped<QL_HASH_CTX> ctx;
  QL_TRY(QL_Hash_Init(ctx.ptr(), digest_id));
  QL_TRY(QL_Hash_Update(ctx.ptr(), z, ql::kZLen));
  QL_TRY(QL_Hash_Update(ctx.ptr(), msg, msg_len));
  return QL_Hash_Final(ctx.ptr(), out, out_len);
}

int32_t QL_KCDSA_Sign(QL_KCDSA_SIGNATURE *sig, int32_t digest_id, const uint8_t *h, uint32_t h_len,
                      const Big *x, const QL_KCDSA_PARAMETERS *params) {
  ql::Group grp;
  const uint32_t digest_len = ql::digest_len_of(digest_id);
  ql::Wiped<ql::QWords> words;
  if (sig == nullptr || h == nullptr || x == nullptr || params == nullptr || digest_len == 0 ||
      !ql::load_group(grp, *params) || !ql::load_private(words.get().data(), *x, grp)) {
    return ql::kErrKcdsaSignInput;
  }
  // r takes the rightmost h_len bytes of a digest, so H cannot be longer than one.
  if (h_len == 0 || h_len > grp.q_len || h_len > ql::kMaxHashLen || h_len > digest_len) {
    return ql::kErrKcdsaSignDigestLen;
  }
  ql::Wiped<QL_KCDSA_SIGNATURE> result;
  QL_TRY(ql::sign(result.get(), digest_id, h, h_len, words.get().data(), grp));
  *sig = result.get();
  return ql::kOk;
}

int32_t QL_KCDSA_Verify(const QL_KCDSA_PARAMETERS *params, const Big *y,
                        const QL_KCDSA_SIGNATURE *sig, int32_t digest_id, const uint8_t *h,
                        uint32_t h_len) {
  ql::Group grp;
  const uint32_t digest_len = ql::digest_len_of(digest_id);
  if (params == nullptr || y == nullptr || sig == nullptr || h == nullptr || digest_len == 0 ||
      !ql::load_group(grp, *params)) {
    return ql::kErrKcdsaVerifyInput;
  }
  if (h_len == 0 || h_len > grp.q_len || h_len > ql::kMaxHashLen || h_len > digest_len) {
    return ql::kErrKcdsaVerifyInput;
  }
  // y in [1, p-1], r non-zero in h_len bytes, s in [1, q-1]: anything else is refused before
  // any arithmetic (s + q would otherwise verify like s).
  if (!ql::positive(*y) || !ql::less(*y, grp.p) || !ql::positive(sig->r) ||
      ql::bit_length(sig->r) > 8 * h_len || !ql::positive(sig->s) || !ql::less(sig->s, grp.q)) {
    return ql::kErrKcdsaVerifyInput;
  }
  return ql::verify(grp, *y, *sig, digest_id, h, h_len);
}
