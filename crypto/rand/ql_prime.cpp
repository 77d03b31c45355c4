// Primes: trial division by a table of the 3001 smallest primes, the Miller-Rabin test with
// rounds by size and bases from the upper part of that table, random probable primes from the
// X9.62 generator, and Gordon's strong primes for RSA. Candidates and bases are public values;
// the primes found are secret and every temporary holding them is wiped.
#include <array>
#include <atomic>
#include <cstring>

#include "QuillonCrypto.h"
#include "internal/ql_bytes.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "rand/ql_prime.h"

namespace ql {
namespace {

constexpr uint32_t kTableLen = 3001;
constexpr uint32_t kSieveLimit = 27458;
constexpr uint32_t kBasePoolStart = 500;
constexpr uint32_t kStrongTrialDepth = 500;

constexpr std::array<uint32_t, kTableLen> make_primetable() {
  std::array<bool, kSieveLimit> composite{};
  std::array<uint32_t, kTableLen> t{};
  uint32_t n = 0;
  for (uint32_t i = 2; i < kSieveLimit && n < kTableLen; i++) {
    if (composite[i]) { continue; }
    t[n++] = i;
    for (uint32_t j = i * i; j < kSieveLimit; j += i) { composite[j] = true; }
  }
  return t;
}

}  // namespace

constexpr std::array<uint32_t, kTableLen> primetable = make_primetable();
static_assert(primetable[0] == 2 && primetable[1] == 3 && primetable[499] == 3571, "");
static_assert(primetable[500] == 3581 && primetable[3000] == 27457, "");

namespace {

// Miller-Rabin rounds by the candidate's length in words.
int rounds_for(int32_t words) {
  if (words <= 3) { return 27; }
  if (words == 4) { return 18; }
  if (words <= 6) { return 15; }
  if (words == 7) { return 12; }
  if (words <= 9) { return 9; }
  if (words == 10) { return 8; }
  if (words <= 12) { return 7; }
  if (words <= 15) { return 6; }
  if (words <= 18) { return 5; }
  if (words <= 25) { return 4; }
  if (words <= 39) { return 3; }
  return 2;
}

// Bases need no secrecy, only spread over the pool; a shared xorshift state keeps concurrent
// tests free of data races.
std::atomic<uint32_t> g_base_state{0x2545F491u};

uint32_t next_base() {
  uint32_t x = g_base_state.load(std::memory_order_relaxed);
  uint32_t next = 0;
  do {
    next = x ^ (x << 13);
    next ^= next >> 17;
    next ^= next << 5;
  } while (!g_base_state.compare_exchange_weak(x, next, std::memory_order_relaxed));
  return primetable[kBasePoolStart + next % (kTableLen - kBasePoolStart)];
}

void strip(Big &a) {
  while (a.length > 1 && a.words[a.length - 1] == 0) { a.length--; }
}

bool is_one(const Big &a) { return a.length == 1 && a.words[0] == 1; }

bool equal_magnitude(const Big &a, const Big &b) { return Big_UComp(&a, &b) == 0; }

// x = x^2 mod n, through one reduction and one product with R^2 when the square reaches n.
Status square_mod(Big &x, const Big &n, QL_MONT_CTX &ctx, const Big &rr) {
  Wiped<Big> sq;
  QL_TRY(Big_Sqr(sq.ptr(), &x));
  if (Big_UComp(sq.ptr(), &n) < 0) {
    x = sq.get();
    return kOk;
  }
  QL_TRY(Big_MontReduction(&ctx, sq.ptr(), sq.ptr(), &n));
  return Big_MontMul(&ctx, &x, sq.ptr(), &rr, &n);
}

// Searches upward from `c` in steps of `step` until a candidate passes trial division and is
// not proved composite; returns the status of that last test.
Status search(Big &c, const Big &step, uint32_t depth) {
  for (;;) {
    QL_TRY(Big_Add(&c, &c, &step));
    if (Big_TrialDivision(&c, depth) != 0) { continue; }
    const Status s = Big_IsPrimeRSA(&c);
    if (s != kErrComposite) { return s; }
  }
}

}  // namespace

const uint32_t *prime_table() { return primetable.data(); }

}  // namespace ql

using ql::Big_TrialDivision;
using ql::Status;

int32_t ql::Big_TrialDivision(const Big *n, uint32_t count) {
  const uint32_t end = count < kTableLen ? count : kTableLen;
  for (uint32_t i = 1; i < end; i++) {
    if (Big_ModU32(n, primetable[i]) == 0) { return 1; }
  }
  return 0;
}

Status ql::strong_prime(Big *p, uint32_t bits, Big *r_out, Big *t_out) {
  const uint32_t num_bytes = bits / 8 + (bits % 8 != 0 ? 1 : 0);
  // Sizes whose byte length is not a whole number of words could never meet the length check
  // below, and tiny ones leave no room for the auxiliary primes.
  if (num_bytes % 4 != 0 || num_bytes < 16 || num_bytes > 512) { return ql::kErrBigNullInput; }
  const uint32_t h = (num_bytes + 1) / 2;
  ql::Wiped<Big> r, s, t, x, step, p0, c, tmp, rr;
  ql::Wiped<QL_MONT_CTX> ctx;
  for (;;) {
    QL_TRY(Big_ProbablePrime(r.ptr(), 8 * h));
    QL_TRY(Big_ProbablePrime(s.ptr(), 8 * (num_bytes - h - 4)));
    // t = s * 2^15 + 1 + 2ks, the first such value that is prime: t - 1 is a multiple of s.
    QL_TRY(Big_LShift(t.ptr(), s.ptr(), 15));
    QL_TRY(Big_AddByWord(t.ptr(), t.ptr(), 1));
    QL_TRY(Big_LShift1(step.ptr(), s.ptr()));
    ql::search(t.get(), step.get(), ql::kStrongTrialDepth);
    // x = r^(t-2) mod t = r^-1 mod t; r is reduced first since it may exceed t.
    QL_TRY(Big_MontInit(ctx.ptr(), rr.ptr(), t.ptr()));
    QL_TRY(Big_Mod(tmp.ptr(), r.ptr(), t.ptr()));
    QL_TRY(Big_SubByWord(step.ptr(), t.ptr(), 2));
    QL_TRY(Big_ModExpWindow2(x.ptr(), tmp.ptr(), step.ptr(), t.ptr(), ctx.ptr(), rr.ptr()));
    // p0 = 2xr - 1: p0 = 1 mod t and p0 = -1 mod r.
    QL_TRY(Big_Mul(tmp.ptr(), x.ptr(), r.ptr()));
    QL_TRY(Big_LShift1(p0.ptr(), tmp.ptr()));
    QL_TRY(Big_SubByWord(p0.ptr(), p0.ptr(), 1));
    // c = t * r * 2^14, doubled until it has the top bit of a num_bytes-byte number.
    QL_TRY(Big_Mul(tmp.ptr(), t.ptr(), r.ptr()));
    QL_TRY(Big_LShift1(step.ptr(), tmp.ptr()));  // 2tr, the search step
    QL_TRY(Big_LShift(c.ptr(), tmp.ptr(), 14));
    while (static_cast<uint32_t>(Big_GetFilledBitNum(c.ptr())) < 8 * num_bytes) {
      QL_TRY(Big_LShift1(c.ptr(), c.ptr()));
    }
    QL_TRY(Big_Add(p, p0.ptr(), c.ptr()));
    const Status status = ql::search(*p, step.get(), ql::kStrongTrialDepth);
    if (p->length == static_cast<int32_t>(num_bytes / 4) && p->words[p->length - 1] >= 0x20000000u) {
      if (r_out != nullptr) { *r_out = r.get(); }
      if (t_out != nullptr) { *t_out = t.get(); }
      return status;
    }
  }
}

// Exported functions.

int32_t Big_IsPrimeRSA(const Big *n) {
  // Below 5 and for even numbers the answer needs no rounds.
  if (n->length <= 1 && n->words[0] <= 3) { return n->words[0] >= 2 ? ql::kOk : ql::kErrComposite; }
  if ((n->words[0] & 1) == 0) { return ql::kErrComposite; }
  ql::Wiped<QL_MONT_CTX> ctx;
  ql::Wiped<Big> rr;
  QL_TRY(Big_MontInit(ctx.ptr(), rr.ptr(), n));
  // n - 1 = d * 2^s with d odd; n is odd, so word 0 alone is decremented.
  ql::Wiped<Big> n_minus_1;
  n_minus_1.get() = *n;
  n_minus_1.get().words[0] -= 1;
  ql::strip(n_minus_1.get());
  ql::Wiped<Big> d;
  d.get() = n_minus_1.get();
  uint32_t s = 0;
  while ((d.get().words[0] & 1) == 0) {
    QL_TRY(Big_RShift1(d.ptr(), d.ptr()));
    s++;
  }
  ql::Wiped<Big> a;
  ql::Wiped<Big> x;
  const int rounds = ql::rounds_for(n->length);
  for (int round = 0; round < rounds; round++) {
    uint32_t base = ql::next_base();
    // A base at or above a one-word n is reduced first; a base that n divides proves nothing
    // and counts as a passed round (n is then the base itself, a prime).
    if (n->length == 1 && base >= n->words[0]) {
      base %= n->words[0];
      if (base == 0) { continue; }
    }
    a.get() = Big{};
    a.get().length = 1;
    a.get().words[0] = base;
    QL_TRY(Big_ModExpWindow2(x.ptr(), a.ptr(), d.ptr(), n, ctx.ptr(), rr.ptr()));
    if (ql::is_one(x.get()) || ql::equal_magnitude(x.get(), n_minus_1.get())) { continue; }
    bool passed = false;
    for (uint32_t i = 1; i < s && !passed; i++) {
      QL_TRY(ql::square_mod(x.get(), *n, ctx.get(), rr.get()));
      if (ql::equal_magnitude(x.get(), n_minus_1.get())) {
        passed = true;
      } else if (ql::is_one(x.get())) {
        return ql::kErrComposite;
      }
    }
    if (!passed) { return ql::kErrComposite; }
  }
  return ql::kOk;
}

int32_t Big_ProbablePrime(Big *r, uint32_t bits) {
  const uint32_t num_bytes = bits / 8 + (bits % 8 != 0 ? 1 : 0);
  const uint32_t num_words = num_bytes / 4 + (num_bytes % 4 != 0 ? 1 : 0);
  if (num_bytes == 0 || num_words > 128) { return ql::kErrBigNullInput; }
  const uint32_t depth = num_bytes <= 64 ? 500 : num_bytes <= 128 ? 1000
                       : num_bytes <= 256 ? 2000 : ql::kTableLen;
  ql::Wiped<uint8_t[512]> bytes;
  QL_TRY(QL_X962_Prng_ToPrime(bytes.get(), num_bytes));
  // Four bytes per word, word 0 first, most significant byte first; a last partial word
  // takes its bytes in its most significant positions.
  *r = Big{};
  r->length = static_cast<int32_t>(num_words);
  for (uint32_t i = 0; i < num_words; i++) { r->words[i] = ql::load_be32(bytes.get() + 4 * i); }
  ql::strip(*r);
  r->words[0] |= 1;
  for (;;) {
    r->words[0] += 2;  // within word 0 only
    if (Big_TrialDivision(r, depth) != 0) { continue; }
    const Status s = Big_IsPrimeRSA(r);
    if (s != ql::kErrComposite) { return s; }
  }
}

int32_t Big_GeneratePrimeStrongRSA(Big *p, uint32_t bits) {
  return ql::strong_prime(p, bits, nullptr, nullptr);
}
