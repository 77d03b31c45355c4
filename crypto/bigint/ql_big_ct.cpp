// Constant-time Montgomery arithmetic: products by operand scanning with a masked final
// subtraction, squares by product scanning and a separate reduction, fixed-window
// exponentiation whose table is read whole through masks. Limbs are 64-bit where a 128-bit
// product exists, else 32-bit, least significant first; on x86-64 processors with MULX and ADX
// the products and squares run on the kernel of crypto/x86, chosen once, and with AVX-512 IFMA
// exponentiations modulo moduli of 1024, 1536, 2048, 3072 and 4096 bits run in radix 2^52.
// Loop counts and indexes depend only on the limb count, the exponent's word count and the
// modulus' bit length. Public moduli and exponents (RSA's n and e) have their own set-up and
// square and multiply on the same kernels.
#include "bigint/ql_big_ct.h"

#include <array>
#include <cstdint>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "bigint/ql_mont.h"
#include "internal/ql_ct.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "platform/ql_cpu.h"
#if QL_X86_ACCEL
#include "x86/ql_mont_hw.h"
#endif

namespace ql {
namespace ctm {

namespace {

using W = typename Wide<Limb>::type;
constexpr unsigned kBits = kLimbBits<Limb>;
constexpr int kWindow = 5;
constexpr size_t kTableSize = size_t{1} << kWindow;

using LimbArray = std::array<Limb, kMaxLimbs>;

// x = 2x mod n for x < n; t is scratch.
void double_mod(Limb *x, const Modulus &m, Limb *t) {
  Limb carry = 0;
  for (size_t j = 0; j < m.len; j++) {
    t[j] = static_cast<Limb>((x[j] << 1) | carry);
    carry = x[j] >> (kBits - 1);
  }
  final_sub(x, t, carry, m.n, m.len);
}

// Constant-time bit length of a 32-bit word (0 for 0).
uint32_t bit_length32(uint32_t x) {
  uint32_t n = 0;
  for (uint32_t shift = 16; shift != 0; shift >>= 1) {
    const uint32_t high = x >> shift;
    const uint32_t nz = ~ct::is_zero(high);
    n += shift & nz;
    x = ct::select(nz, high, x);
  }
  return n + x;
}

// The `width` exponent bits starting at bit `pos` (public positions, secret bits); bits above
// the exponent's words are zero.
uint32_t window_bits(const uint32_t *e, int num_words, int pos, int width) {
  const int w = pos / 32;
  if (w >= num_words) { return 0; }
  uint64_t v = e[w];
  if (w + 1 < num_words) { v |= static_cast<uint64_t>(e[w + 1]) << 32; }
  return static_cast<uint32_t>(v >> (pos % 32)) & ((1u << width) - 1);
}

// out = table[index], reading every entry.
void table_select(Limb *out, const Limb *table, uint32_t index, size_t len) {
  for (size_t j = 0; j < len; j++) { out[j] = 0; }
  for (uint32_t i = 0; i < kTableSize; i++) {
    const Limb mask = limb_mask(static_cast<Limb>(ct::is_zero(i ^ index) & 1u));
    const Limb *entry = table + i * len;
    for (size_t j = 0; j < len; j++) { out[j] |= entry[j] & mask; }
  }
}

}  // namespace

namespace {

// The Montgomery product on m's length; the lengths of RSA's primes and moduli are fixed at
// compile time, so their loops unroll.
template <bool kSquare>
void product(Limb *r, const Limb *a, const Limb *b, const Modulus &m, Limb *t) {
  const Mont<Limb> mm{m.n, m.len, m.n0};
  switch (m.len * kWordsPerLimb) {
    case 16:
      return mont_product<Limb, kSquare, 16 / kWordsPerLimb>(r, a, b, mm, t);
    case 32:
      return mont_product<Limb, kSquare, 32 / kWordsPerLimb>(r, a, b, mm, t);
    case 48:
      return mont_product<Limb, kSquare, 48 / kWordsPerLimb>(r, a, b, mm, t);
    case 64:
      return mont_product<Limb, kSquare, 64 / kWordsPerLimb>(r, a, b, mm, t);
    default:
      return mont_product<Limb, kSquare>(r, a, b, mm, t);
  }
}

// The product and square of one implementation, chosen once for the processor.
struct Kernel {
  void (*mul)(Limb *r, const Limb *a, const Limb *b, const Modulus &m, Limb *t);
  void (*sqr)(Limb *r, const Limb *a, const Modulus &m, Limb *t);
};

const Kernel kPortable = {
    [](Limb *r, const Limb *a, const Limb *b, const Modulus &m, Limb *t) {
      product<false>(r, a, b, m, t);
    },
    [](Limb *r, const Limb *a, const Modulus &m, Limb *t) { product<true>(r, a, a, m, t); }};

#if QL_X86_ACCEL && defined(QL_BIG_LIMB64)
const Kernel kMulx = {
    [](Limb *r, const Limb *a, const Limb *b, const Modulus &m, Limb *t) {
      mulx::mont_mul(r, a, b, m.n, m.len, m.n0, t);
    },
    [](Limb *r, const Limb *a, const Modulus &m, Limb *t) {
      mulx::mont_sqr(r, a, m.n, m.len, m.n0, t);
    }};
#endif

const Kernel *choose_kernel() {
#if QL_X86_ACCEL && defined(QL_BIG_LIMB64)
  if (cpu::has(cpu::kMulx)) {
    return &kMulx;
  }
#endif
  return &kPortable;
}

cpu::Choice<Kernel> kernel_choice(choose_kernel);

#if defined(QL_IFMA_ACCEL) && defined(QL_BIG_LIMB64)
// Whether exponentiations modulo the lengths ifma handles run in radix 2^52.
struct ExpPath {
  bool radix52;
};

const ExpPath kOnKernel = {false};
const ExpPath kRadix52 = {true};

const ExpPath *choose_exp_path() { return cpu::has(cpu::kIfma) ? &kRadix52 : &kOnKernel; }

cpu::Choice<ExpPath> exp_path_choice(choose_exp_path);

bool runs_in_radix52(size_t len) {
  return exp_path_choice.get().radix52 && ifma::padded_digits(len) != 0;
}

constexpr uint64_t kDigitMask52 = (uint64_t{1} << ifma::kDigitBits) - 1;

// y = (R mod n) 2^(2s) mod n = R' 2^s mod n, where R' = 2^(52 K) = R 2^s: the product of
// R^2 mod n with the plain 2^(2s) (2s <= 96, far below n). The factor that takes a Montgomery
// form b R to b R' in one almost-Montgomery product.
void radix52_factor(Limb *y, const Modulus &m, Limb *t) {
  const size_t len = m.len;
  const size_t twice_shift =
      2 * (ifma::kDigitBits * ((64 * len + ifma::kDigitBits - 1) / ifma::kDigitBits) - 64 * len);
  Limb power[kMaxLimbs] = {};
  power[twice_shift / 64] = Limb{1} << (twice_shift % 64);
  mul(y, m.rr, power, m, t);
}

// The digits of one job's values in radix 2^52, R' = 2^(52 K): the table of base^i R' mod n
// (below 2n), the accumulator, the entry read from the table, n and R mod n.
struct Digits52 {
  uint64_t *table;
  uint64_t *acc;
  uint64_t *entry;
  uint64_t *n;
  uint64_t *one;
  uint64_t k0;
};

// The jobs (one or two, moduli of one length that ifma handles) in radix 2^52, with the
// windows of exp: R' = 2^(52 K) exceeds R = 2^(64 len) by 2^s, s >= 12, so 4n < R' and the
// almost-Montgomery products keep every value below 2n. A product with R' 2^s mod n =
// (R mod n) 2^(2s) mod n takes b R to b R' and the table's base^0 = R mod n to R' mod n; one
// with R mod n takes b R' back to b R, below 2n, and a masked subtraction leaves it below n.
Status exp_radix52(const ExpJob *jobs, size_t num_jobs, Status alloc_code) {
  const size_t len = jobs[0].m->len;
  const size_t num_padded = ifma::padded_digits(len);
  const size_t num_per_job = (kTableSize + 4) * num_padded;
  // 64 bytes more, so that the values start on a cache line.
  Buffer block(sizeof(uint64_t) * num_jobs * num_per_job + 64);
  if (!block) { return critical(alloc_code); }
  const uintptr_t start = reinterpret_cast<uintptr_t>(block.data());
  uint64_t *const digits = reinterpret_cast<uint64_t *>((start + 63) & ~uintptr_t{63});
  // k0 comes from the modulus, a secret prime in RSA: the records are wiped with the rest.
  Wiped<std::array<Digits52, 2>> jobs_store;
  Wiped<std::array<ifma::Product, 2>> products_store;
  std::array<Digits52, 2> &d = jobs_store.get();
  ifma::Product *products = products_store.get().data();
  Wiped<LimbArray> limbs_store;
  Wiped<std::array<Limb, kScratchLimbs>> scratch;
  Limb *limbs = limbs_store.get().data();
  int total_bits = 0;
  for (size_t s = 0; s < num_jobs; s++) {
    const ExpJob &job = jobs[s];
    const Modulus &m = *job.m;
    uint64_t *p = digits + s * num_per_job;
    d[s] = Digits52{p, p + kTableSize * num_padded, p + (kTableSize + 1) * num_padded,
                    p + (kTableSize + 2) * num_padded, p + (kTableSize + 3) * num_padded,
                    m.n0 & kDigitMask52};
    ifma::to_digits(d[s].n, m.n, len);
    ifma::to_digits(d[s].one, m.one, len);
    ifma::to_digits(d[s].table + num_padded, job.base, len);
    radix52_factor(limbs, m, scratch.get().data());
    ifma::to_digits(d[s].entry, limbs, len);
    const int bits = 32 * (job.num_exp_words < 0 ? 0 : job.num_exp_words);
    total_bits = bits > total_bits ? bits : total_bits;
  }
  // Each step computes one product per job, interleaved.
  const auto step = [&](auto operands) {
    for (size_t s = 0; s < num_jobs; s++) { products[s] = operands(d[s]); }
    ifma::amm(products, num_jobs, len);
  };
  const auto entry_of = [num_padded](const Digits52 &x, size_t i) {
    return x.table + i * num_padded;
  };
  step([&](const Digits52 &x) { return ifma::Product{entry_of(x, 0), x.one, x.entry, x.n, x.k0}; });
  step([&](const Digits52 &x) {
    return ifma::Product{entry_of(x, 1), entry_of(x, 1), x.entry, x.n, x.k0};
  });
  for (size_t i = 2; i < kTableSize; i++) {
    step([&](const Digits52 &x) {
      const uint64_t *a = entry_of(x, i % 2 == 0 ? i / 2 : i - 1);
      const uint64_t *b = entry_of(x, i % 2 == 0 ? i / 2 : 1);
      return ifma::Product{entry_of(x, i), a, b, x.n, x.k0};
    });
  }
  const auto select_window = [&](uint64_t *Digits52::*out, int pos, int width) {
    for (size_t s = 0; s < num_jobs; s++) {
      const uint32_t index = window_bits(jobs[s].e, jobs[s].num_exp_words, pos, width);
      ifma::select(d[s].*out, d[s].table, kTableSize, index, len);
    }
  };
  int pos = total_bits;
  const int first = total_bits % kWindow == 0 ? kWindow : total_bits % kWindow;
  if (total_bits == 0) {
    for (size_t s = 0; s < num_jobs; s++) {
      for (size_t j = 0; j < num_padded; j++) { d[s].acc[j] = d[s].table[j]; }
    }
  } else {
    pos -= first;
    select_window(&Digits52::acc, pos, first);
  }
  while (pos > 0) {
    pos -= kWindow;
    for (int k = 0; k < kWindow; k++) {
      step([](const Digits52 &x) { return ifma::Product{x.acc, x.acc, x.acc, x.n, x.k0}; });
    }
    select_window(&Digits52::entry, pos, kWindow);
    step([](const Digits52 &x) { return ifma::Product{x.acc, x.acc, x.entry, x.n, x.k0}; });
  }
  step([](const Digits52 &x) { return ifma::Product{x.acc, x.acc, x.one, x.n, x.k0}; });
  for (size_t s = 0; s < num_jobs; s++) {
    const uint64_t top = ifma::from_digits(limbs, d[s].acc, len);
    final_sub(jobs[s].r, limbs, top, jobs[s].m->n, len);
  }
  return kOk;
}

// exp_public in radix 2^52, converting as exp_radix52 does, for an exponent whose highest one
// bit is bit `top` and a modulus of a length ifma handles.
void exp_public_radix52(Limb *r, const Limb *base, const uint32_t *e, int top, const Modulus &m,
                        Limb *t) {
  const size_t len = m.len;
  struct Values {
    alignas(64) uint64_t n[ifma::kMaxPaddedDigits];
    uint64_t one[ifma::kMaxPaddedDigits];
    uint64_t b[ifma::kMaxPaddedDigits];
    uint64_t acc[ifma::kMaxPaddedDigits];
    Limb limbs[kMaxLimbs];
  };
  Wiped<Values> store;
  Values &v = store.get();
  const uint64_t k0 = m.n0 & kDigitMask52;
  ifma::to_digits(v.n, m.n, len);
  ifma::to_digits(v.one, m.one, len);
  ifma::to_digits(v.b, base, len);
  radix52_factor(v.limbs, m, t);
  ifma::to_digits(v.acc, v.limbs, len);
  const auto product = [&](uint64_t *out, const uint64_t *a, const uint64_t *b) {
    const ifma::Product p{out, a, b, v.n, k0};
    ifma::amm(&p, 1, len);
  };
  product(v.b, v.b, v.acc);
  // The leading one bit sets acc = base without a product.
  for (size_t j = 0; j < ifma::kMaxPaddedDigits; j++) { v.acc[j] = v.b[j]; }
  for (int bit = top - 1; bit >= 0; bit--) {
    product(v.acc, v.acc, v.acc);
    if (((e[bit / 32] >> (bit % 32)) & 1u) != 0) { product(v.acc, v.acc, v.b); }
  }
  product(v.acc, v.acc, v.one);
  const uint64_t high = ifma::from_digits(v.limbs, v.acc, len);
  final_sub(r, v.limbs, high, m.n, len);
}
#endif

}  // namespace

void mul(Limb *r, const Limb *a, const Limb *b, const Modulus &m, Limb *t) {
  kernel_choice.get().mul(r, a, b, m, t);
}

void sqr(Limb *r, const Limb *a, const Modulus &m, Limb *t) { kernel_choice.get().sqr(r, a, m, t); }

void sub_mod(Limb *r, const Limb *a, const Limb *b, const Modulus &m) {
  const Limb borrow = sub_limbs(r, a, b, m.len);
  const Limb mask = limb_mask(borrow);
  Limb carry = 0;
  for (size_t j = 0; j < m.len; j++) {
    const W s = W{r[j]} + (m.n[j] & mask) + carry;
    r[j] = static_cast<Limb>(s);
    carry = static_cast<Limb>(s >> kBits);
  }
}

void to_mont(Limb *out, const uint32_t *x, int num_words, const Modulus &m, Limb *t) {
  const size_t len = m.len;
  const int chunk_words = static_cast<int>(len) * kWordsPerLimb;
  const int num_chunks = num_words <= chunk_words ? 1 : (num_words + chunk_words - 1) / chunk_words;
  Wiped<LimbArray> acc_store;
  Wiped<LimbArray> chunk_store;
  Wiped<LimbArray> sum_store;
  Limb *acc = acc_store.get().data();
  Limb *chunk = chunk_store.get().data();
  Limb *sum = sum_store.get().data();
  // Horner's rule over chunks of R: acc = acc * R + chunk, everything in Montgomery form.
  // Each chunk is below R, so mul(chunk, R^2) gives its form whatever its size.
  for (int i = num_chunks - 1; i >= 0; i--) {
    const int first = i * chunk_words;
    const int count = num_words - first < chunk_words ? num_words - first : chunk_words;
    words_to_limbs(chunk, len, x + first, count < 0 ? 0 : count);
    mul(chunk, chunk, m.rr, m, t);
    if (i == num_chunks - 1) {
      for (size_t j = 0; j < len; j++) { acc[j] = chunk[j]; }
      continue;
    }
    mul(acc, acc, m.rr, m, t);
    const Limb carry = add_limbs(sum, acc, chunk, len);
    final_sub(acc, sum, carry, m.n, len);
  }
  for (size_t j = 0; j < len; j++) { out[j] = acc[j]; }
}

void from_mont(Limb *out, const Limb *x, const Modulus &m, Limb *t) {
  for (size_t j = 0; j < m.len; j++) {
    t[j] = x[j];
    t[m.len + j] = 0;
  }
  mont_redc(out, t, Mont<Limb>{m.n, m.len, m.n0});
}

bool init(Modulus &m, const Big &n) {
  int num_words = n.length < 0 ? 0 : n.length;
  if (num_words > kBigWords) { num_words = kBigWords; }
  // The bit length comes from the highest non-zero word, found without branching on words;
  // it and the parity are then public (a prime's size and oddness are no secret).
  uint32_t bits = 0;
  for (int i = 0; i < num_words; i++) {
    const uint32_t w = n.words[i];
    bits = ct::select(~ct::is_zero(w), 32u * static_cast<uint32_t>(i) + bit_length32(w), bits);
  }
  uint32_t odd = num_words > 0 ? (n.words[0] & 1u) : 0u;
  QL_CT_PUBLIC(&bits, sizeof(bits));
  QL_CT_PUBLIC(&odd, sizeof(odd));
  if (n.sign != 0 || odd == 0 || bits < 2 || bits > 32u * kMontMaxWords) { return false; }
  const size_t len = (bits + kBits - 1) / kBits;
  m.len = len;
  const int limb_words = static_cast<int>(len) * kWordsPerLimb;
  words_to_limbs(m.n, kMaxLimbs, n.words, limb_words < num_words ? limb_words : num_words);
  m.n0 = neg_inverse<Limb>(m.n[0]);
  Limb t[kScratchLimbs];
  // R mod n: 2^(bits - 1) < n doubled up to 2^(len * limb bits), reduced at every step.
  for (size_t j = 0; j < kMaxLimbs; j++) { m.one[j] = 0; }
  m.one[(bits - 1) / kBits] = static_cast<Limb>(Limb{1} << ((bits - 1) % kBits));
  for (size_t k = bits - 1; k < len * kBits; k++) { double_mod(m.one, m, t); }
  // R^2 mod n is the Montgomery form of 2^(len * limb bits): square and double from R mod n
  // (the form of 1) along the bits of that exponent.
  const size_t exponent = len * kBits;
  int top = 0;
  while ((exponent >> (top + 1)) != 0) { top++; }
  Limb *x = m.rr;
  for (size_t j = 0; j < kMaxLimbs; j++) { x[j] = j < len ? m.one[j] : 0; }
  for (int bit = top; bit >= 0; bit--) {
    sqr(x, x, m, t);
    if (((exponent >> bit) & 1u) != 0) { double_mod(x, m, t); }
  }
  wipe(t, sizeof(t));
  return true;
}

bool init_public(Modulus &m, const Big &n) {
  const int num_words = big_used(n);
  if (n.sign != 0 || num_words == 0 || num_words > kMontMaxWords || (n.words[0] & 1u) == 0 ||
      (num_words == 1 && n.words[0] < 3)) {
    return false;
  }
  const size_t len = static_cast<size_t>((num_words + kWordsPerLimb - 1) / kWordsPerLimb);
  m.len = len;
  for (size_t j = 0; j < kMaxLimbs; j++) {
    m.n[j] = 0;
    m.one[j] = 0;
  }
  words_to_limbs(m.n, len, n.words, num_words);
  m.n0 = neg_inverse<Limb>(m.n[0]);
  // R^2 mod n by schoolbook division on limbs: with nn = n 2^s normalised (top bit set) and
  // y = 2^s, 2 len steps of y = y 2^(limb bits) mod nn, one quotient limb each (estimated from
  // the top limbs, too large by at most two), leave (R^2 mod n) 2^s.
  unsigned shift = 0;
  while (((m.n[len - 1] << shift) >> (kBits - 1)) == 0) {
    shift++;
  }
  Limb nn[kMaxLimbs + 1] = {};
  Limb y[kMaxLimbs + 1] = {};
  Limb u[kMaxLimbs + 1];
  Limb prod[kMaxLimbs + 1];
  for (size_t j = 0; j < len; j++) {
    const Limb lower = shift != 0 && j > 0 ? static_cast<Limb>(m.n[j - 1] >> (kBits - shift)) : 0;
    nn[j] = static_cast<Limb>((m.n[j] << shift) | lower);
  }
  y[0] = static_cast<Limb>(Limb{1} << shift);
  const Limb top = nn[len - 1];
  for (size_t step = 0; step < 2 * len; step++) {
    u[0] = 0;
    for (size_t j = 0; j < len; j++) {
      u[j + 1] = y[j];
    }
    const W head = (W{u[len]} << kBits) | u[len - 1];
    const W q = head / top;
    const Limb qhat = (q >> kBits) != 0 ? static_cast<Limb>(~Limb{0}) : static_cast<Limb>(q);
    prod[len] = mul_row(prod, nn, len, qhat);
    bool negative = sub_limbs(u, u, prod, len + 1) != 0;
    while (negative) {
      negative = add_limbs(u, u, nn, len + 1) == 0;
    }
    for (size_t j = 0; j < len; j++) {
      y[j] = u[j];
    }
  }
  for (size_t j = 0; j < kMaxLimbs; j++) {
    m.rr[j] = 0;
  }
  for (size_t j = 0; j < len; j++) {
    const Limb upper = shift != 0 && j + 1 < len ? static_cast<Limb>(y[j + 1] << (kBits - shift)) : 0;
    m.rr[j] = static_cast<Limb>((y[j] >> shift) | upper);
  }
  // R mod n = REDC(R^2 mod n).
  Limb t[kScratchLimbs];
  Limb unit[kMaxLimbs] = {1};
  mul(m.one, m.rr, unit, m, t);
  return true;
}

void exp_public(Limb *r, const Limb *base, const uint32_t *e, int num_exp_words, const Modulus &m,
                Limb *t) {
  const size_t len = m.len;
  Limb acc[kMaxLimbs];
  Limb b[kMaxLimbs];
  for (size_t j = 0; j < len; j++) {
    acc[j] = m.one[j];
    b[j] = base[j];
  }
  int top = 32 * num_exp_words - 1;
  while (top >= 0 && ((e[top / 32] >> (top % 32)) & 1u) == 0) {
    top--;
  }
#if defined(QL_IFMA_ACCEL) && defined(QL_BIG_LIMB64)
  if (top >= 0 && runs_in_radix52(len)) {
    return exp_public_radix52(r, base, e, top, m, t);
  }
#endif
  if (top >= 0) {
    // The leading one bit sets acc = base without a product.
    for (size_t j = 0; j < len; j++) {
      acc[j] = b[j];
    }
    for (int bit = top - 1; bit >= 0; bit--) {
      sqr(acc, acc, m, t);
      if (((e[bit / 32] >> (bit % 32)) & 1u) != 0) {
        mul(acc, acc, b, m, t);
      }
    }
  }
  for (size_t j = 0; j < len; j++) {
    r[j] = acc[j];
  }
}

Status exp(Limb *r, const Limb *base, const uint32_t *e, int num_exp_words, const Modulus &m,
           Status alloc_code) {
  const size_t len = m.len;
#if defined(QL_IFMA_ACCEL) && defined(QL_BIG_LIMB64)
  if (runs_in_radix52(len)) {
    const ExpJob job{r, base, e, num_exp_words, &m};
    return exp_radix52(&job, 1, alloc_code);
  }
#endif
  Buffer block(sizeof(Limb) * (kTableSize * len + 2 * len + kScratchLimbs));
  if (!block) { return critical(alloc_code); }
  Limb *table = reinterpret_cast<Limb *>(block.data());
  Limb *acc = table + kTableSize * len;
  Limb *entry = acc + len;
  Limb *t = entry + len;
  // table[i] = base^i in Montgomery form; even powers as squares.
  for (size_t j = 0; j < len; j++) {
    table[j] = m.one[j];
    table[len + j] = base[j];
  }
  for (size_t i = 2; i < kTableSize; i++) {
    if (i % 2 == 0) {
      sqr(table + i * len, table + (i / 2) * len, m, t);
    } else {
      mul(table + i * len, table + (i - 1) * len, base, m, t);
    }
  }
  const int total_bits = 32 * (num_exp_words < 0 ? 0 : num_exp_words);
  int pos = total_bits;
  const int first = total_bits % kWindow == 0 ? kWindow : total_bits % kWindow;
  if (total_bits == 0) {
    for (size_t j = 0; j < len; j++) { acc[j] = m.one[j]; }
  } else {
    pos -= first;
    table_select(acc, table, window_bits(e, num_exp_words, pos, first), len);
  }
  while (pos > 0) {
    pos -= kWindow;
    for (int k = 0; k < kWindow; k++) { sqr(acc, acc, m, t); }
    table_select(entry, table, window_bits(e, num_exp_words, pos, kWindow), len);
    mul(acc, acc, entry, m, t);
  }
  for (size_t j = 0; j < len; j++) { r[j] = acc[j]; }
  return kOk;
}

Status exp_pair(const ExpJob &first, const ExpJob &second, Status alloc_code) {
#if defined(QL_IFMA_ACCEL) && defined(QL_BIG_LIMB64)
  if (first.m->len == second.m->len && runs_in_radix52(first.m->len)) {
    const ExpJob jobs[2] = {first, second};
    return exp_radix52(jobs, 2, alloc_code);
  }
#endif
  QL_TRY(exp(first.r, first.base, first.e, first.num_exp_words, *first.m, alloc_code));
  return exp(second.r, second.base, second.e, second.num_exp_words, *second.m, alloc_code);
}

}  // namespace ctm

Status big_mod_exp_consttime(Big &r, const Big &g, const Big &e, const Big &N, Status alloc_code) {
  const int nN = big_used(N);
  if (nN == 0) { return kErrBigDivByZero; }
  if (nN > kMontMaxWords) { return kErrBigOverflow; }
  Wiped<ctm::Modulus> mod;
  ctm::Modulus &m = mod.get();
  if (!ctm::init(m, N)) { return kErrBigNoInverse; }
  Wiped<std::array<ctm::Limb, ctm::kScratchLimbs>> scratch;
  Wiped<std::array<ctm::Limb, ctm::kMaxLimbs>> value;
  ctm::Limb *t = scratch.get().data();
  ctm::Limb *v = value.get().data();
  const int num_g = g.length < 0 ? 0 : (g.length > kBigWords ? kBigWords : g.length);
  const int num_e = e.length < 0 ? 0 : (e.length > kBigWords ? kBigWords : e.length);
  ctm::to_mont(v, g.words, num_g, m, t);
  QL_TRY(ctm::exp(v, v, e.words, num_e, m, alloc_code));
  ctm::from_mont(v, v, m, t);
  Wiped<std::array<uint32_t, kMontMaxWords>> words;
  limbs_to_words(words.get().data(), v, m.len);
  // The record's normal form states how many words are significant: that count (found
  // without branching) is all that becomes public of the result.
  const int num_words = static_cast<int>(m.len) * ctm::kWordsPerLimb;
  uint32_t used = 1;
  for (int i = 0; i < num_words; i++) {
    used = ct::select(~ct::is_zero(words.get()[static_cast<size_t>(i)]),
                      static_cast<uint32_t>(i + 1), used);
  }
  QL_CT_PUBLIC(&used, sizeof(used));
  r.sign = 0;
  for (int i = 0; i < kBigWords; i++) {
    r.words[i] = i < num_words ? words.get()[static_cast<size_t>(i)] : 0;
  }
  r.length = static_cast<int32_t>(used);
  return kOk;
}

}  // namespace ql
