// PKCS #1: the integer/octet-string conversions, MGF1, the encryption paddings v1.5 and OAEP,
// the signature encodings v1.5 (DigestInfo) and PSS, the four schemes over the RSA primitives,
// and the DER of RSA keys. Blocks are big-endian byte strings. The v1.5 and OAEP decodings run
// in time that depends only on the block length: they scan the whole block, gather one error
// mask and branch once at the end, and move the message out without a secret-dependent index.
#include "pk/ql_pkcs1.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "internal/ql_bytes.h"
#include "internal/ql_ct.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "pk/ql_der.h"

namespace ql {
namespace {

constexpr uint32_t kMaxDigestLen = QL_HASH_MAX_DIGEST_LEN;

#if defined(QL_TEST_HOOKS)
// Bytes the test hook hands out before the generator is asked again (test builds only).
const uint8_t *g_fixed_random = nullptr;
size_t g_fixed_random_len = 0;
#endif

// Every random byte of the paddings comes through here, so tests can supply published seeds.
void random_bytes(uint8_t *out, uint32_t n) {
#if defined(QL_TEST_HOOKS)
  if (g_fixed_random_len != 0 && n != 0) {
    const uint32_t take = g_fixed_random_len < n ? static_cast<uint32_t>(g_fixed_random_len) : n;
    std::memcpy(out, g_fixed_random, take);
    g_fixed_random += take;
    g_fixed_random_len -= take;
    out += take;
    n -= take;
  }
#endif
  // An empty request would still cost the generator a re-seed.
  if (n != 0) { QL_RandomBytes(out, n); }
}

// Digest length of identifier `hash_id` (1 to 5), 0 for any other.
uint32_t digest_len(int32_t hash_id) {
  QL_HASH_INFO info;
  return QL_Hash_GetInfo(&info, hash_id) == kOk ? info.digest_len : 0;
}

// The digests allowed for label hashing, PSS and MGF1: SHA-1 and SHA-2 (not HAS-160).
bool sha_digest(int32_t hash_id) { return hash_id >= QL_HASH_SHA1 && hash_id <= QL_HASH_SHA512; }

// The digest of an MGF identifier: 1 is MGF1 with SHA-1, 3 to 5 with SHA-256/384/512; 0 for
// any other identifier (2 included).
int32_t mgf_digest(int32_t mgf_id) {
  if (mgf_id == 1) { return QL_HASH_SHA1; }
  return mgf_id >= QL_HASH_SHA256 && mgf_id <= QL_HASH_SHA512 ? mgf_id : 0;
}

// out = Hash(a || b); `out` holds the digest.
Status hash2(uint8_t *out, int32_t hash_id, const uint8_t *a, uint32_t a_len, const uint8_t *b,
             uint32_t b_len) {
  Wiped<QL_HASH_CTX> ctx;
  uint32_t len = 0;
  QL_TRY(QL_Hash_Init(ctx.ptr(), hash_id));
  QL_TRY(QL_Hash_Update(ctx.ptr(), a, a_len));
  QL_TRY(QL_Hash_Update(ctx.ptr(), b, b_len));
  return QL_Hash_Final(ctx.ptr(), out, &len);
}

Status mgf1(uint8_t *out, uint32_t len, const uint8_t *seed, uint32_t seed_len, int32_t hash_id) {
  const uint32_t h_len = digest_len(hash_id);
  Wiped<std::array<uint8_t, kMaxDigestLen>> block;
  uint32_t done = 0;
  for (uint32_t counter = 0; done < len; counter++) {
    uint8_t c[4];
    store_be32(c, counter);
    QL_TRY(hash2(block.get().data(), hash_id, seed, seed_len, c, sizeof(c)));
    const uint32_t take = len - done < h_len ? len - done : h_len;
    std::memcpy(out + done, block.get().data(), take);
    done += take;
  }
  return kOk;
}

// A scratch size that a 32-bit size_t cannot hold becomes one no allocation satisfies, so the
// caller reports its allocation failure instead of working in a wrapped-around buffer.
size_t scratch_len(uint64_t n) { return n <= SIZE_MAX ? static_cast<size_t>(n) : SIZE_MAX; }

void xor_into(uint8_t *dst, const uint8_t *src, uint32_t n) {
  for (uint32_t i = 0; i < n; i++) { dst[i] = static_cast<uint8_t>(dst[i] ^ src[i]); }
}

// Constant-time masks over 32-bit values: all ones for true, zero for false.
uint32_t mask_lt(uint32_t a, uint32_t b) {
  return ct::barrier(0u - ((a ^ ((a ^ b) | ((a - b) ^ a))) >> 31));
}
uint32_t mask_eq(uint32_t a, uint32_t b) { return ct::is_zero(a ^ b); }
uint8_t select8(uint32_t mask, uint8_t a, uint8_t b) {
  return static_cast<uint8_t>(ct::select(mask, a, b));
}

// When `good` is all ones: out[0..len - offset) = src[offset..len) and out[len - offset..len)
// = 0. When `good` is zero, `out` keeps its bytes. offset <= len must hold when `good` is set.
// Time and memory accesses depend only on `len`: the shift runs as a barrel shifter over the
// bits of the secret `offset`.
void ct_move_tail(uint8_t *out, const uint8_t *src, uint32_t len, uint32_t offset, uint32_t good) {
  for (uint32_t i = 0; i < len; i++) { out[i] = select8(good, src[i], out[i]); }
  for (uint32_t s = 1; s < len && s != 0; s <<= 1) {
    const uint32_t take = good & ~ct::is_zero(offset & s);
    for (uint32_t i = 0; i + s < len; i++) { out[i] = select8(take, out[i + s], out[i]); }
  }
  const uint32_t msg_len = len - offset;
  for (uint32_t i = 0; i < len; i++) { out[i] = select8(good & ~mask_lt(i, msg_len), 0, out[i]); }
}

// Replaces every zero byte of ps by a non-zero random byte, drawn from one batch of the
// generator (another batch only in the unlikely case that one runs out): the same
// distribution as drawing single bytes until each is non-zero, without a generator call per
// zero byte.
void replace_zero_bytes(uint8_t *ps, uint32_t len) {
  Wiped<std::array<uint8_t, 64>> batch;
  size_t used = batch.get().size();
  for (uint32_t i = 0; i < len; i++) {
    while (ps[i] == 0) {
      if (used == batch.get().size()) {
        random_bytes(batch.get().data(), static_cast<uint32_t>(batch.get().size()));
        used = 0;
      }
      ps[i] = batch.get()[used++];
    }
  }
}

struct DigestInfoPrefix {
  uint32_t len;
  uint8_t bytes[19];
};

// DER of DigestInfo up to the digest's OCTET STRING header, by digest identifier; entry 0
// (and any identifier outside 1 to 5) has none.
constexpr DigestInfoPrefix digest_info_prefixes[] = {
    {0, {}},
    {18,
     {0x30, 0x24, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x83, 0x1a, 0x8c, 0x9a, 0x44, 0x01, 0x02, 0x05,
      0x00, 0x04, 0x14}},
    {15,
     {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e, 0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14}},
    {19,
     {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01,
      0x05, 0x00, 0x04, 0x20}},
    {19,
     {0x30, 0x41, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02,
      0x05, 0x00, 0x04, 0x30}},
    {19,
     {0x30, 0x51, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03,
      0x05, 0x00, 0x04, 0x40}},
};

const DigestInfoPrefix &digest_info_prefix(int32_t hash_id) {
  const bool known = hash_id >= QL_HASH_HAS160 && hash_id <= QL_HASH_SHA512;
  return digest_info_prefixes[known ? hash_id : 0];
}

// The OAEP parameters once checked: digest and its length, MGF digest.
struct OaepParam {
  int32_t hash_id;
  uint32_t h_len;
  int32_t mgf_hash_id;
};

// Checks the identifiers and the label pointer (bad_id), the label length and the block
// length k against the digest (bad_len).
Status check_oaep_param(OaepParam &out, const QL_OAEP_PARAM *param, uint32_t k, Status bad_id,
                        Status bad_len) {
  if (param == nullptr || !sha_digest(param->hash_id) || mgf_digest(param->mgf_id) == 0 ||
      param->source_id != 1 || (param->label == nullptr && param->label_len != 0)) {
    return bad_id;
  }
  out.hash_id = param->hash_id;
  out.h_len = digest_len(param->hash_id);
  out.mgf_hash_id = mgf_digest(param->mgf_id);
  if (param->label_len > kMaxOaepLabelLen || uint64_t{k} < 2 * uint64_t{out.h_len} + 2) {
    return bad_len;
  }
  return kOk;
}

// The PSS parameters once checked, as for OAEP; `h_len` must be the digest's length.
Status check_pss_param(OaepParam &out, const QL_PSS_PARAM *param, uint32_t h_len, Status bad_id) {
  if (param == nullptr || !sha_digest(param->hash_id) || mgf_digest(param->mgf_id) == 0 ||
      digest_len(param->hash_id) != h_len) {
    return bad_id;
  }
  out.hash_id = param->hash_id;
  out.h_len = h_len;
  out.mgf_hash_id = mgf_digest(param->mgf_id);
  return kOk;
}

// Byte length k of the modulus n.
uint32_t modulus_len(const Big &n) {
  return (static_cast<uint32_t>(Big_GetFilledBitNum(&n)) + 7) / 8;
}

bool is_zero_value(const Big &x) { return big_used(x) == 0; }

// x = OS2IP(in), raised to the public exponent.
Status public_op(Big &x, const uint8_t *in, uint32_t in_len, const QL_RSA_PUBLIC_KEY &pub) {
  QL_TRY(pkcs1_os2ip(&x, in, in_len));
  return QL_RSA_PublicKeyExp(&x, &x, &pub);
}

// x = OS2IP(in), raised to the private exponent.
Status private_op(Big &x, const uint8_t *in, uint32_t in_len, const QL_RSA_PRIVATE_KEY &priv) {
  QL_TRY(pkcs1_os2ip(&x, in, in_len));
  return QL_RSA_PrivateKeyExp(&x, &x, &priv);
}

// out = I2OSP(OS2IP(em)^e mod n, k), *out_len = k: the last steps of both encryptions.
Status encrypt_block(uint8_t *out, uint32_t *out_len, const uint8_t *em, uint32_t k,
                     const QL_RSA_PUBLIC_KEY &pub) {
  Wiped<Big> x;
  QL_TRY(public_op(x.get(), em, k, pub));
  QL_TRY(pkcs1_i2osp(out, k, x.ptr()));
  *out_len = k;
  return kOk;
}

// out = I2OSP(OS2IP(em)^d mod n, k), *out_len = k: the last steps of both signatures.
Status sign_block(uint8_t *out, uint32_t *out_len, const uint8_t *em, uint32_t em_len, uint32_t k,
                  const QL_RSA_PRIVATE_KEY &priv) {
  Wiped<Big> x;
  QL_TRY(private_op(x.get(), em, em_len, priv));
  QL_TRY(pkcs1_i2osp(out, k, x.ptr()));
  *out_len = k;
  return kOk;
}

// `code` unless `s` is `from`, which becomes `to`.
Status map_code(Status s, Status from, Status to) { return s == from ? to : s; }

// em = the k-byte block of OS2IP(c)^d mod n (c is k bytes): the first steps of both
// decryptions. An input above n is `range_code`. x < n fits the k bytes, and the conversion
// does not look at where the value's leading zeros end.
Status decrypt_block(uint8_t *em, const uint8_t *c, uint32_t k, const QL_RSA_PRIVATE_KEY &priv,
                     Status range_code) {
  Wiped<Big> x;
  QL_TRY(map_code(private_op(x.get(), c, k, priv), kErrRsaPrivateInput, range_code));
  pkcs1_i2osp_secret(em, k, x.get());
  return kOk;
}

// The digest length a v1.5 signature needs for hash_id, 0 when it is not checked (identifiers
// outside 1 to 5 wrap the caller's value as it is).
uint32_t v15_digest_len(int32_t hash_id) { return digest_len(hash_id); }

// Reads the next INTEGER of a key at p[0..left) into x as an unsigned value and steps past it.
// A wrong tag, a length beyond `left`, an empty or a negative content is `malformed`; a content
// above 1028 bytes is OS2IP's -2010.
Status read_key_integer(Big &x, const uint8_t *&p, uint32_t &left, Status malformed) {
  der::Tlv t{};
  if (der::read_tlv(t, p, left, der::kTagInteger) != kOk || t.content_len == 0 ||
      (t.content[0] & 0x80) != 0) {
    return malformed;
  }
  QL_TRY(pkcs1_os2ip(&x, t.content, t.content_len));
  p += t.total_len;
  left -= t.total_len;
  return kOk;
}

// Length of the DER element of x: the INTEGER, or NULL (05 00) for zero when `null_if_zero`.
uint32_t key_element_len(const Big &x, bool null_if_zero) {
  if (null_if_zero && is_zero_value(x)) { return 2; }
  const uint32_t len = der::integer_content_len(x);
  return 1 + der::length_field_len(len) + len;
}

uint32_t write_key_element(uint8_t *out, const Big &x, bool null_if_zero) {
  if (null_if_zero && is_zero_value(x)) {
    out[0] = der::kTagNull;
    out[1] = 0x00;
    return 2;
  }
  return der::write_integer(out, x);
}

// The private-key elements in their order; the last three may be NULL.
constexpr int kPrivateElements = 8;
const Big &private_element(const QL_RSA_PRIVATE_KEY &k, int i) {
  const Big *const all[kPrivateElements] = {&k.n, &k.e, &k.d, &k.p, &k.q, &k.dP, &k.dQ, &k.qInv};
  return *all[i];
}
Big &private_element(QL_RSA_PRIVATE_KEY &k, int i) {
  return const_cast<Big &>(private_element(static_cast<const QL_RSA_PRIVATE_KEY &>(k), i));
}

}  // namespace

Status pkcs1_i2osp(uint8_t *out, uint32_t len, const Big *x) {
  const Status s = BigToU82(out, x, len);
  return s == kErrBigTooLong ? kErrI2ospTooLarge : s;
}

void pkcs1_i2osp_secret(uint8_t *out, uint32_t len, const Big &x) {
  // Words at or above the record's length count as zero, selected by a mask rather than by
  // a branch on the (secret) length.
  const uint32_t num_words = static_cast<uint32_t>(x.length);
  for (uint32_t j = 0; j < len; j++) {
    const uint32_t w = j / 4;
    const uint32_t word = w < kBigWords ? x.words[w] & mask_lt(w, num_words) : 0;
    out[len - 1 - j] = static_cast<uint8_t>(word >> (8 * (j % 4)));
  }
}

Status pkcs1_os2ip(Big *x, const uint8_t *in, uint32_t len) {
  if (x != nullptr && in == nullptr && len == 0) {
    big_clear(*x);
    return kOk;
  }
  return U8ToBig(x, in, len);
}

Status eme_v15_encode(uint8_t *em, uint32_t k, const uint8_t *m, uint32_t m_len) {
  if (em == nullptr || m == nullptr) { return kErrEmeV15EncodeNull; }
  if (k < 11 || m_len > k - 11) { return kErrEmeV15EncodeLength; }
  const uint32_t ps_len = k - m_len - 3;
  std::memmove(em + 3 + ps_len, m, m_len);  // first, in case m lies inside em
  em[0] = 0x00;
  em[1] = 0x02;
  random_bytes(em + 2, ps_len);
  replace_zero_bytes(em + 2, ps_len);
  em[2 + ps_len] = 0x00;
  return kOk;
}

Status eme_v15_decode(uint8_t *m, uint32_t *m_len, const uint8_t *em, uint32_t em_len) {
  if (m == nullptr || m_len == nullptr || em == nullptr) { return kErrEmeV15DecodeNull; }
  if (em_len <= 10) { return kErrEmeV15DecodeBlock; }
  uint32_t good = ct::is_zero(em[0]) & mask_eq(em[1], 0x02);
  // The separator: the first zero byte from index 2 on.
  uint32_t looking = ~0u;
  uint32_t zero_index = 0;
  for (uint32_t i = 2; i < em_len; i++) {
    const uint32_t z = ct::is_zero(em[i]);
    zero_index = ct::select(looking & z, i, zero_index);
    looking &= ~z;
  }
  good &= ~looking;
  good &= ~mask_lt(zero_index, 10);  // at least eight padding bytes
  // The message starts at zero_index + 1, that is at `offset` into em[11..em_len).
  const uint32_t offset = ct::select(good, zero_index - 10, 0);
  ct_move_tail(m, em + 11, em_len - 11, offset, good);
  // Success or failure is what the caller learns in any case; nothing else is released.
  QL_CT_PUBLIC(&good, sizeof(good));
  if (good == 0) { return kErrEmeV15DecodeBlock; }
  *m_len = em_len - 11 - offset;
  return kOk;
}

Status eme_oaep_encode(uint8_t *em, uint32_t k, const uint8_t *m, uint32_t m_len,
                       const QL_OAEP_PARAM *param) {
  OaepParam p;
  if (em == nullptr || (m == nullptr && m_len != 0)) { return kErrEmeOaepEncodeParam; }
  QL_TRY(check_oaep_param(p, param, k, kErrEmeOaepEncodeParam, kErrEmeOaepEncodeLength));
  const uint32_t h_len = p.h_len;
  if (m_len > k - 2 * h_len - 2) { return kErrEmeOaepEncodeLength; }
  const uint32_t db_len = k - h_len - 1;
  Buffer mask(db_len);
  if (!mask) { return critical(kErrEmeOaepEncodeAlloc); }
  uint8_t *seed = em + 1;
  uint8_t *db = em + 1 + h_len;
  // DB = lHash || PS || 01 || M, the message moved first in case it lies inside em.
  if (m_len != 0) { std::memmove(em + k - m_len, m, m_len); }
  QL_TRY(hash2(db, p.hash_id, param->label, param->label_len, nullptr, 0));
  const uint32_t ps_len = k - m_len - 2 * h_len - 2;
  std::memset(db + h_len, 0, ps_len);
  db[h_len + ps_len] = 0x01;
  random_bytes(seed, h_len);
  QL_TRY(mgf1(mask.data(), db_len, seed, h_len, p.mgf_hash_id));
  xor_into(db, mask.data(), db_len);
  QL_TRY(mgf1(mask.data(), h_len, db, db_len, p.mgf_hash_id));
  xor_into(seed, mask.data(), h_len);
  em[0] = 0x00;
  return kOk;
}

Status eme_oaep_decode(uint8_t *m, uint32_t *m_len, const uint8_t *em, uint32_t k,
                       const QL_OAEP_PARAM *param) {
  OaepParam p;
  if (m == nullptr || m_len == nullptr || em == nullptr) { return kErrEmeOaepDecodeParam; }
  QL_TRY(check_oaep_param(p, param, k, kErrEmeOaepDecodeParam, kErrEmeOaepDecode));
  const uint32_t h_len = p.h_len;
  const uint32_t db_len = k - h_len - 1;
  // One scratch block: a copy of EM (unmasked in place), then the mask and the label hash.
  Buffer scratch(scratch_len(uint64_t{k} + db_len + h_len));
  if (!scratch) { return critical(kErrEmeOaepDecodeAlloc); }
  uint8_t *copy = scratch.data();
  uint8_t *mask = copy + k;
  uint8_t *l_hash = mask + db_len;
  std::memcpy(copy, em, k);
  uint8_t *seed = copy + 1;
  uint8_t *db = copy + 1 + h_len;
  QL_TRY(hash2(l_hash, p.hash_id, param->label, param->label_len, nullptr, 0));
  QL_TRY(mgf1(mask, h_len, db, db_len, p.mgf_hash_id));
  xor_into(seed, mask, h_len);
  QL_TRY(mgf1(mask, db_len, seed, h_len, p.mgf_hash_id));
  xor_into(db, mask, db_len);

  uint32_t good = ct::is_zero(copy[0]);
  uint32_t diff = 0;
  for (uint32_t i = 0; i < h_len; i++) { diff |= static_cast<uint32_t>(db[i] ^ l_hash[i]); }
  good &= ct::is_zero(diff);
  // After lHash: zero bytes, then 01. The first non-zero byte must be 01 and must exist.
  uint32_t looking = ~0u;
  uint32_t one_index = 0;
  for (uint32_t i = h_len; i < db_len; i++) {
    const uint32_t z = ct::is_zero(db[i]);
    const uint32_t one = mask_eq(db[i], 0x01);
    good &= ~(looking & ~z & ~one);
    one_index = ct::select(looking & one, i, one_index);
    looking &= z;
  }
  good &= ~looking;
  // The message starts at one_index + 1, that is at `offset` into db[h_len + 1..db_len).
  const uint32_t region = db_len - h_len - 1;
  const uint32_t offset = ct::select(good, one_index - h_len, 0);
  ct_move_tail(m, db + h_len + 1, region, offset, good);
  QL_CT_PUBLIC(&good, sizeof(good));
  if (good == 0) { return kErrEmeOaepDecode; }
  *m_len = region - offset;
  return kOk;
}

Status emsa_v15_encode(uint8_t *em, uint32_t em_len, int32_t hash_id, const uint8_t *h,
                       uint32_t h_len) {
  const DigestInfoPrefix &prefix = digest_info_prefix(hash_id);
  if (em == nullptr || (h == nullptr && h_len != 0) || uint64_t{prefix.len} + h_len + 11 > em_len) {
    return kErrEmsaV15Length;
  }
  const uint32_t ff_len = em_len - prefix.len - h_len - 3;
  std::memmove(em + em_len - h_len, h, h_len);  // first, in case h lies inside em
  em[0] = 0x00;
  em[1] = 0x01;
  std::memset(em + 2, 0xff, ff_len);
  em[2 + ff_len] = 0x00;
  std::memcpy(em + 3 + ff_len, prefix.bytes, prefix.len);
  return kOk;
}

Status emsa_pss_encode(uint8_t *em, uint32_t em_bits, const uint8_t *m_hash, uint32_t h_len,
                       uint32_t s_len, const QL_PSS_PARAM *param) {
  OaepParam p;
  if (em == nullptr || m_hash == nullptr) { return kErrEmsaPssEncodeParam; }
  QL_TRY(check_pss_param(p, param, h_len, kErrEmsaPssEncodeParam));
  if (8 * (uint64_t{h_len} + s_len) + 9 > em_bits) { return kErrEmsaPssEncodeLength; }
  const uint32_t em_len = em_bits / 8 + (em_bits % 8 != 0 ? 1 : 0);
  const uint32_t db_len = em_len - h_len - 1;
  // M' = 8 zero bytes || mHash || salt, then the mask of DB.
  const uint32_t m_prime_len = 8 + h_len + s_len;
  Buffer scratch(scratch_len(uint64_t{m_prime_len} + db_len));
  if (!scratch) { return critical(kErrEmsaPssEncodeAlloc); }
  uint8_t *m_prime = scratch.data();
  uint8_t *mask = m_prime + m_prime_len;
  uint8_t *salt = m_prime + 8 + h_len;
  std::memcpy(m_prime + 8, m_hash, h_len);
  random_bytes(salt, s_len);
  uint8_t *h = em + db_len;
  QL_TRY(hash2(h, p.hash_id, m_prime, m_prime_len, nullptr, 0));
  // DB = PS || 01 || salt, masked, with the bits above em_bits cleared.
  const uint32_t ps_len = db_len - s_len - 1;
  std::memset(em, 0, ps_len);
  em[ps_len] = 0x01;
  std::memcpy(em + ps_len + 1, salt, s_len);
  QL_TRY(mgf1(mask, db_len, h, h_len, p.mgf_hash_id));
  xor_into(em, mask, db_len);
  em[0] = static_cast<uint8_t>(em[0] & (0xffu >> (8 * em_len - em_bits)));
  em[em_len - 1] = 0xbc;
  return kOk;
}

Status emsa_pss_verify(const uint8_t *em, uint32_t em_bits, const uint8_t *m_hash, uint32_t h_len,
                       const QL_PSS_PARAM *param) {
  OaepParam p;
  if (em == nullptr || m_hash == nullptr) { return kErrEmsaPssVerifyParam; }
  QL_TRY(check_pss_param(p, param, h_len, kErrEmsaPssVerifyParam));
  const uint32_t em_len = em_bits / 8 + (em_bits % 8 != 0 ? 1 : 0);
  if (uint64_t{em_len} < uint64_t{h_len} + 2) { return kErrEmsaPssInconsistent; }
  const uint32_t top_mask = 0xffu >> (8 * em_len - em_bits);
  if (em[em_len - 1] != 0xbc || (em[0] & ~top_mask) != 0) { return kErrEmsaPssInconsistent; }
  const uint32_t db_len = em_len - h_len - 1;
  // Scratch for DB and for M' with the longest salt the block can carry (db_len - 1 bytes,
  // when PS is empty): 8 + h_len + db_len - 1 = em_len + 6 bytes, plus the digest H'.
  const uint32_t m_prime_cap = 8 + h_len + db_len;
  Buffer scratch(scratch_len(uint64_t{db_len} + m_prime_cap + h_len));
  if (!scratch) { return critical(kErrEmsaPssVerifyAlloc); }
  uint8_t *db = scratch.data();
  uint8_t *m_prime = db + db_len;
  uint8_t *h_prime = m_prime + m_prime_cap;
  const uint8_t *h = em + db_len;
  QL_TRY(mgf1(db, db_len, h, h_len, p.mgf_hash_id));
  xor_into(db, em, db_len);
  db[0] = static_cast<uint8_t>(db[0] & top_mask);
  uint32_t i = 0;
  while (i < db_len && db[i] == 0) { i++; }
  if (i == db_len || db[i] != 0x01) { return kErrEmsaPssInconsistent; }
  const uint32_t s_len = db_len - i - 1;
  std::memset(m_prime, 0, 8);
  std::memcpy(m_prime + 8, m_hash, h_len);
  std::memcpy(m_prime + 8 + h_len, db + i + 1, s_len);
  QL_TRY(hash2(h_prime, p.hash_id, m_prime, 8 + h_len + s_len, nullptr, 0));
  return ct::bytes_eq(h_prime, h, h_len) ? kOk : kErrEmsaPssInconsistent;
}

Status public_key_decode(QL_RSA_PUBLIC_KEY *pub, const uint8_t *in, uint32_t in_len) {
  if (pub == nullptr || in == nullptr) { return kErrPublicKeyDecode; }
  der::Tlv seq{};
  if (der::read_tlv(seq, in, in_len, der::kTagSequence) != kOk) { return kErrPublicKeyDecode; }
  Wiped<QL_RSA_PUBLIC_KEY> key;
  const uint8_t *p = seq.content;
  uint32_t left = seq.content_len;
  QL_TRY(read_key_integer(key.get().n, p, left, kErrPublicKeyDecode));
  QL_TRY(read_key_integer(key.get().e, p, left, kErrPublicKeyDecode));
  if (left != 0) { return kErrPublicKeyDecode; }
  if (big_used(key.get().n) > QL_RSA_MAX_MODULUS_WORDS) { return kErrRsaKeyInvalid; }
  *pub = key.get();
  return kOk;
}

Status public_key_decode_unbounded(QL_RSA_PUBLIC_KEY *pub, const uint8_t *in) {
  if (pub == nullptr || in == nullptr || in[0] != der::kTagSequence) { return kErrPublicKeyDecode; }
  // Without the caller's length, the structure's own header says how far it reaches; its
  // length bytes are the only ones read before that is known.
  uint32_t total = 2 + uint32_t{in[1]};
  if (in[1] >= 0x80) {
    const uint32_t num_bytes = in[1] & 0x7fu;
    if (num_bytes == 0 || num_bytes > 4) { return kErrPublicKeyDecode; }
    uint32_t len = 0;
    for (uint32_t i = 0; i < num_bytes; i++) { len = (len << 8) | in[2 + i]; }
    if (len > UINT32_MAX - 2 - num_bytes) { return kErrPublicKeyDecode; }
    total = 2 + num_bytes + len;
  }
  return public_key_decode(pub, in, total);
}

Status private_key_decode(QL_RSA_PRIVATE_KEY *priv, const uint8_t *in, uint32_t in_len) {
  if (priv == nullptr || in == nullptr) { return kErrPrivateKeyDecode; }
  der::Tlv seq{};
  if (der::read_tlv(seq, in, in_len, der::kTagSequence) != kOk || seq.total_len != in_len) {
    return kErrPrivateKeyDecode;
  }
  const uint8_t *p = seq.content;
  uint32_t left = seq.content_len;
  if (left < 3 || p[0] != der::kTagInteger || p[1] != 0x01 || p[2] != 0x00) {
    return kErrPrivateKeyDecode;
  }
  p += 3;
  left -= 3;
  // A fresh record: absent CRT values stay zero whatever the caller's record held.
  Wiped<QL_RSA_PRIVATE_KEY> key;
  for (int i = 0; i < kPrivateElements; i++) {
    if (i >= 5 && left != 0 && p[0] == der::kTagNull) {
      if (left < 2 || p[1] != 0x00) { return kErrPrivateKeyDecode; }
      p += 2;
      left -= 2;
      continue;
    }
    QL_TRY(read_key_integer(private_element(key.get(), i), p, left, kErrPrivateKeyDecode));
  }
  if (left != 0) { return kErrPrivateKeyDecode; }
  if (big_used(key.get().n) > QL_RSA_MAX_MODULUS_WORDS) { return kErrRsaKeyInvalid; }
  *priv = key.get();
  return kOk;
}

#if defined(QL_TEST_HOOKS)
namespace test {
void pkcs1_fixed_random(const uint8_t *bytes, size_t len) {
  g_fixed_random = bytes;
  g_fixed_random_len = bytes != nullptr ? len : 0;
}
}  // namespace test
#endif

}  // namespace ql

// Exported functions.

int32_t QL_PKCS1_I2OSP(uint8_t *out, uint32_t len, const Big *x) {
  return ql::pkcs1_i2osp(out, len, x);
}

int32_t QL_PKCS1_OS2IP(Big *x, const uint8_t *in, uint32_t len) {
  return ql::pkcs1_os2ip(x, in, len);
}

int32_t QL_PKCS1_MGF1(uint8_t *out, uint32_t len, const uint8_t *seed, uint32_t seed_len,
                      int32_t hash_id) {
  if (!ql::sha_digest(hash_id) || (out == nullptr && len != 0) ||
      (seed == nullptr && seed_len != 0)) {
    return ql::kErrMgf1Digest;
  }
  return ql::mgf1(out, len, seed, seed_len, hash_id);
}

int32_t QL_PKCS1_EME_V15_Encode(uint8_t *em, uint32_t k, const uint8_t *m, uint32_t m_len) {
  return ql::eme_v15_encode(em, k, m, m_len);
}

int32_t QL_PKCS1_EME_V15_Decode(uint8_t *m, uint32_t *m_len, const uint8_t *em, uint32_t em_len) {
  return ql::eme_v15_decode(m, m_len, em, em_len);
}

int32_t QL_PKCS1_EME_OAEP_Encode(uint8_t *em, uint32_t k, const uint8_t *m, uint32_t m_len,
                                 const QL_OAEP_PARAM *param) {
  return ql::eme_oaep_encode(em, k, m, m_len, param);
}

int32_t QL_PKCS1_EME_OAEP_Decode(uint8_t *m, uint32_t *m_len, const uint8_t *em, uint32_t k,
                                 const QL_OAEP_PARAM *param) {
  return ql::eme_oaep_decode(m, m_len, em, k, param);
}

int32_t QL_PKCS1_EMSA_V15_Encode(uint8_t *em, uint32_t em_len, int32_t hash_id, const uint8_t *h,
                                 uint32_t h_len) {
  return ql::emsa_v15_encode(em, em_len, hash_id, h, h_len);
}

int32_t QL_PKCS1_EMSA_PSS_Encode(uint8_t *em, uint32_t em_bits, const uint8_t *m_hash,
                                 uint32_t h_len, uint32_t s_len, const QL_PSS_PARAM *param) {
  return ql::emsa_pss_encode(em, em_bits, m_hash, h_len, s_len, param);
}

int32_t QL_PKCS1_EMSA_PSS_Verify(const uint8_t *em, uint32_t em_bits, const uint8_t *m_hash,
                                 uint32_t h_len, const QL_PSS_PARAM *param) {
  return ql::emsa_pss_verify(em, em_bits, m_hash, h_len, param);
}

int32_t QL_PKCS1_V15_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *m, uint32_t m_len,
                             const QL_RSA_PUBLIC_KEY *pub) {
  if (out == nullptr || out_len == nullptr || m == nullptr || pub == nullptr) {
    return ql::kErrV15EncryptNull;
  }
  const uint32_t k = ql::modulus_len(pub->n);
  ql::Buffer em(k);
  if (!em) { return ql::critical(ql::kErrV15EncryptAlloc); }
  QL_TRY(ql::eme_v15_encode(em.data(), k, m, m_len));
  return ql::encrypt_block(out, out_len, em.data(), k, *pub);
}

int32_t QL_PKCS1_V15_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *c, uint32_t c_len,
                             const QL_RSA_PRIVATE_KEY *priv) {
  if (out == nullptr || out_len == nullptr || c == nullptr || priv == nullptr) {
    return ql::kErrV15DecryptNull;
  }
  const uint32_t k = ql::modulus_len(priv->n);
  if (c_len != k) { return ql::kErrV15Decrypt; }
  ql::Buffer em(k);
  if (!em) { return ql::critical(ql::kErrV15DecryptAlloc); }
  QL_TRY(ql::decrypt_block(em.data(), c, k, *priv, ql::kErrV15Decrypt));
  // Every padding failure is the one decryption code.
  return ql::map_code(ql::eme_v15_decode(out, out_len, em.data(), k), ql::kErrEmeV15DecodeBlock,
                      ql::kErrV15Decrypt);
}

int32_t QL_PKCS1_OAEP_Encrypt(uint8_t *out, uint32_t *out_len, const uint8_t *m, uint32_t m_len,
                              const QL_RSA_PUBLIC_KEY *pub, const QL_OAEP_PARAM *param) {
  if (out == nullptr || out_len == nullptr || pub == nullptr) { return ql::kErrEmeOaepEncodeParam; }
  const uint32_t k = ql::modulus_len(pub->n);
  ql::OaepParam p;
  QL_TRY(
      ql::check_oaep_param(p, param, k, ql::kErrEmeOaepEncodeParam, ql::kErrEmeOaepEncodeLength));
  ql::Buffer em(k);
  if (!em) { return ql::critical(ql::kErrOaepEncryptAlloc); }
  QL_TRY(ql::eme_oaep_encode(em.data(), k, m, m_len, param));
  return ql::encrypt_block(out, out_len, em.data(), k, *pub);
}

int32_t QL_PKCS1_OAEP_Decrypt(uint8_t *out, uint32_t *out_len, const uint8_t *c, uint32_t c_len,
                              const QL_RSA_PRIVATE_KEY *priv, const QL_OAEP_PARAM *param) {
  if (out == nullptr || out_len == nullptr || c == nullptr || priv == nullptr) {
    return ql::kErrOaepDecryptInput;
  }
  const uint32_t k = ql::modulus_len(priv->n);
  // Parameters the decoding would refuse are refused before the private operation.
  ql::OaepParam p;
  QL_TRY(ql::check_oaep_param(p, param, k, ql::kErrEmeOaepDecodeParam, ql::kErrEmeOaepDecode));
  if (c_len != k) { return ql::kErrOaepDecryptInput; }
  ql::Buffer em(k);
  if (!em) { return ql::critical(ql::kErrOaepDecryptAlloc); }
  QL_TRY(ql::decrypt_block(em.data(), c, k, *priv, ql::kErrOaepDecryptInput));
  return ql::eme_oaep_decode(out, out_len, em.data(), k, param);
}

int32_t QL_PKCS1_V15_Sign(uint8_t *out, uint32_t *out_len, int32_t hash_id, const uint8_t *h,
                          uint32_t h_len, const QL_RSA_PRIVATE_KEY *priv) {
  const uint32_t need = ql::v15_digest_len(hash_id);
  if (out == nullptr || out_len == nullptr || priv == nullptr || (h == nullptr && h_len != 0) ||
      (need != 0 && h_len != need)) {
    return ql::kErrV15SignDigestLen;
  }
  const uint32_t k = ql::modulus_len(priv->n);
  ql::Buffer em(k);
  if (!em) { return ql::critical(ql::kErrV15SignAlloc); }
  QL_TRY(ql::map_code(ql::emsa_v15_encode(em.data(), k, hash_id, h, h_len), ql::kErrEmsaV15Length,
                      ql::kErrV15SignModulusShort));
  return ql::sign_block(out, out_len, em.data(), k, k, *priv);
}

int32_t QL_PKCS1_V15_Verify(const uint8_t *sig, uint32_t sig_len, int32_t hash_id, const uint8_t *h,
                            uint32_t h_len, const QL_RSA_PUBLIC_KEY *pub) {
  const uint32_t need = ql::v15_digest_len(hash_id);
  if (sig == nullptr || pub == nullptr || (h == nullptr && h_len != 0) ||
      (need != 0 && h_len != need)) {
    return ql::kErrV15VerifyDigestLen;
  }
  const uint32_t k = ql::modulus_len(pub->n);
  if (sig_len != k) { return ql::kErrV15VerifyInvalid; }
  // The block recovered from the signature and the block expected for the digest.
  ql::Buffer blocks(2 * size_t{k});
  if (!blocks) { return ql::critical(ql::kErrV15VerifyAlloc); }
  uint8_t *got = blocks.data();
  uint8_t *want = got + k;
  ql::Wiped<Big> x;
  QL_TRY(ql::map_code(ql::public_op(x.get(), sig, sig_len, *pub), ql::kErrRsaPublicInput,
                      ql::kErrV15VerifyInvalid));
  QL_TRY(ql::map_code(ql::pkcs1_i2osp(got, k, x.ptr()), ql::kErrI2ospTooLarge,
                      ql::kErrV15VerifyInvalid));
  QL_TRY(ql::map_code(ql::emsa_v15_encode(want, k, hash_id, h, h_len), ql::kErrEmsaV15Length,
                      ql::kErrV15VerifyModulusShort));
  return ql::ct::bytes_eq(got, want, k) ? ql::kOk : ql::kErrV15VerifyInvalid;
}

int32_t QL_PKCS1_PSS_Sign(uint8_t *out, uint32_t *out_len, const uint8_t *h, uint32_t h_len,
                          const QL_RSA_PRIVATE_KEY *priv, const QL_PSS_PARAM *param) {
  if (out == nullptr || out_len == nullptr || h == nullptr || priv == nullptr || param == nullptr) {
    return ql::kErrPssSignArg;
  }
  if (!ql::sha_digest(param->hash_id)) { return ql::kErrPssSignDigest; }
  if (h_len != ql::digest_len(param->hash_id)) { return ql::kErrPssSignArg; }
  const uint32_t bits = static_cast<uint32_t>(Big_GetFilledBitNum(&priv->n));
  const uint32_t k = (bits + 7) / 8;
  const uint32_t em_bits = bits != 0 ? bits - 1 : 0;
  const uint32_t em_len = (em_bits + 7) / 8;
  ql::Buffer em(em_len);
  if (!em) { return ql::critical(ql::kErrPssSignAlloc); }
  QL_TRY(ql::emsa_pss_encode(em.data(), em_bits, h, h_len, h_len, param));
  return ql::sign_block(out, out_len, em.data(), em_len, k, *priv);
}

int32_t QL_PKCS1_PSS_Verify(const uint8_t *sig, uint32_t sig_len, const uint8_t *h, uint32_t h_len,
                            const QL_RSA_PUBLIC_KEY *pub, const QL_PSS_PARAM *param) {
  if (sig == nullptr || h == nullptr || pub == nullptr || param == nullptr) {
    return ql::kErrPssVerifyArg;
  }
  if (!ql::sha_digest(param->hash_id)) { return ql::kErrPssVerifyDigest; }
  if (h_len != ql::digest_len(param->hash_id)) { return ql::kErrPssVerifyArg; }
  const uint32_t bits = static_cast<uint32_t>(Big_GetFilledBitNum(&pub->n));
  const uint32_t k = (bits + 7) / 8;
  if (sig_len != k) { return ql::kErrPssVerifyInvalid; }
  const uint32_t em_bits = bits != 0 ? bits - 1 : 0;
  const uint32_t em_len = (em_bits + 7) / 8;
  ql::Buffer em(em_len);
  if (!em) { return ql::critical(ql::kErrPssVerifyAlloc); }
  ql::Wiped<Big> x;
  QL_TRY(ql::map_code(ql::public_op(x.get(), sig, sig_len, *pub), ql::kErrRsaPublicInput,
                      ql::kErrPssVerifyInvalid));
  QL_TRY(ql::map_code(ql::pkcs1_i2osp(em.data(), em_len, x.ptr()), ql::kErrI2ospTooLarge,
                      ql::kErrPssVerifyInvalid));
  return ql::map_code(ql::emsa_pss_verify(em.data(), em_bits, h, h_len, param),
                      ql::kErrEmsaPssInconsistent, ql::kErrPssVerifyInvalid);
}

int32_t QL_PKCS1_PublicKeyEncode(uint8_t *out, const QL_RSA_PUBLIC_KEY *pub, uint32_t *out_len) {
  if (pub == nullptr || out_len == nullptr || ql::is_zero_value(pub->n) ||
      ql::is_zero_value(pub->e) || pub->n.sign != 0 || pub->e.sign != 0) {
    return ql::kErrPublicKeyEncodeMissing;
  }
  const uint32_t content_len =
      ql::key_element_len(pub->n, false) + ql::key_element_len(pub->e, false);
  const uint32_t total = 1 + ql::der::length_field_len(content_len) + content_len;
  if (out == nullptr) {
    *out_len = total;
    return ql::kOk;
  }
  ql::Buffer content(content_len);
  if (!content) { return ql::critical(ql::kErrPublicKeyEncodeAlloc); }
  uint32_t len = ql::der::write_integer(content.data(), pub->n);
  len += ql::der::write_integer(content.data() + len, pub->e);
  const uint32_t header_len = ql::der::write_header(out, ql::der::kTagSequence, len);
  std::memcpy(out + header_len, content.data(), len);
  *out_len = header_len + len;
  return ql::kOk;
}

int32_t QL_PKCS1_PublicKeyDecode(QL_RSA_PUBLIC_KEY *pub, const uint8_t *in) {
  return ql::public_key_decode_unbounded(pub, in);
}

int32_t QL_PKCS1_PrivateKeyEncode(uint8_t *out, const QL_RSA_PRIVATE_KEY *priv, uint32_t *out_len) {
  if (priv == nullptr || out_len == nullptr) { return ql::kErrPrivateKeyEncodeMissing; }
  // Sized by the elements themselves: a caller-filled record may hold integers longer than n.
  uint32_t content_len = 3;  // the version, 02 01 00
  for (int i = 0; i < ql::kPrivateElements; i++) {
    const Big &x = ql::private_element(*priv, i);
    if ((i < 5 && ql::is_zero_value(x)) || x.sign != 0) { return ql::kErrPrivateKeyEncodeMissing; }
    content_len += ql::key_element_len(x, i >= 5);
  }
  const uint32_t total = 1 + ql::der::length_field_len(content_len) + content_len;
  if (out == nullptr) {
    *out_len = total;
    return ql::kOk;
  }
  ql::Buffer content(content_len);
  if (!content) { return ql::critical(ql::kErrPrivateKeyEncodeAlloc); }
  uint8_t *p = content.data();
  p[0] = ql::der::kTagInteger;
  p[1] = 0x01;
  p[2] = 0x00;
  uint32_t len = 3;
  for (int i = 0; i < ql::kPrivateElements; i++) {
    len += ql::write_key_element(p + len, ql::private_element(*priv, i), i >= 5);
  }
  const uint32_t header_len = ql::der::write_header(out, ql::der::kTagSequence, len);
  std::memcpy(out + header_len, p, len);
  *out_len = header_len + len;
  return ql::kOk;
}

int32_t QL_PKCS1_PrivateKeyDecode(QL_RSA_PRIVATE_KEY *priv, const uint8_t *in, uint32_t in_len) {
  return ql::private_key_decode(priv, in, in_len);
}
