// DER of KCDSA domain parameters, signatures and public keys:
//   parameters  SEQUENCE { INTEGER p, q, g, [INTEGER J], [SEQUENCE { OCTET STRING seed,
//               INTEGER count }] }
//   signature   SEQUENCE { BIT STRING (unused bits 00, r in exactly rLen bytes), INTEGER s }
//   public key  INTEGER y
// Encoders write straight into the caller's buffer, sized by a query with a NULL buffer;
// decoders read every element inside its enclosing SEQUENCE and fill the caller's record only
// when the whole input was accepted. Nothing here is secret.
#include <cstring>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "pk/ql_der.h"

namespace ql {
namespace {

constexpr uint32_t kSeedField = sizeof(QL_KCDSA_PARAMETERS::seed);
constexpr uint32_t kMaxRLen = QL_HASH_MAX_DIGEST_LEN;

// Tag, length field and content of an element with `content_len` content bytes.
uint32_t element_len(uint32_t content_len) {
  return 1 + der::length_field_len(content_len) + content_len;
}

uint32_t integer_len(const Big &x) { return element_len(der::integer_content_len(x)); }

// An INTEGER read as an unsigned big-endian magnitude, whatever its first bit.
Status read_unsigned(Big &x, uint32_t &consumed, const uint8_t *in, uint32_t in_len) {
  der::Tlv tlv{};
  QL_TRY(der::read_tlv(tlv, in, in_len, der::kTagInteger));
  big_clear(x);
  if (tlv.content_len != 0) {
    QL_TRY(U8ToBig(&x, tlv.content, tlv.content_len));
  }
  big_normalize(x);
  consumed = tlv.total_len;
  return kOk;
}

// The fields of the record that go into the DER, read once for sizing and writing.
struct ParamsLayout {
  bool has_j;
  bool has_seed;
  uint32_t content_len;  // of the outer SEQUENCE
  uint32_t seed_content_len;
  uint32_t estimate;  // what a NULL-buffer query reports
};

ParamsLayout layout_of(const QL_KCDSA_PARAMETERS &params) {
  ParamsLayout l{};
  l.has_j = big_used(params.J) != 0;
  l.has_seed = params.seed_len != 0 && big_used(params.count) != 0;
  l.content_len = integer_len(params.p) + integer_len(params.q) + integer_len(params.g);
  l.estimate = der::integer_content_len(params.p) + der::integer_content_len(params.q) +
               der::integer_content_len(params.g) + 24;
  if (l.has_j) {
    l.content_len += integer_len(params.J);
    l.estimate += der::integer_content_len(params.J) + 6;
  }
  if (l.has_seed) {
    l.seed_content_len = element_len(params.seed_len) + integer_len(params.count);
    l.content_len += element_len(l.seed_content_len);
    // Headers of at most 6 bytes each around the seed and the count; a count of one word
    // stays within the 22 bytes that valid records need.
    const uint32_t bound = params.seed_len + 18 + der::integer_content_len(params.count);
    l.estimate += bound > params.seed_len + 22 ? bound : params.seed_len + 22;
  }
  return l;
}

void encode_params(uint8_t *out, uint32_t &out_len, const QL_KCDSA_PARAMETERS &params,
                   const ParamsLayout &l) {
  uint8_t *pos = out;
  pos += der::write_header(pos, der::kTagSequence, l.content_len);
  pos += der::write_integer(pos, params.p);
  pos += der::write_integer(pos, params.q);
  pos += der::write_integer(pos, params.g);
  if (l.has_j) {
    pos += der::write_integer(pos, params.J);
  }
  if (l.has_seed) {
    pos += der::write_header(pos, der::kTagSequence, l.seed_content_len);
    pos += der::write_header(pos, der::kTagOctetString, params.seed_len);
    std::memcpy(pos, params.seed, params.seed_len);
    pos += params.seed_len;
    pos += der::write_integer(pos, params.count);
  }
  out_len = static_cast<uint32_t>(pos - out);
}

// The optional validation part { OCTET STRING seed, INTEGER count } at in[0..in_len).
Status decode_seed_part(QL_KCDSA_PARAMETERS &params, const uint8_t *in, uint32_t in_len) {
  // The seed length starts at q's length in words, which must fit the record's field.
  const uint32_t max_seed = 4 * static_cast<uint32_t>(big_used(params.q));
  if (max_seed > kSeedField) {
    return kErrDerLength;
  }
  params.seed_len = max_seed;
  der::Tlv part{};
  QL_TRY(der::read_tlv(part, in, in_len, der::kTagSequence));
  der::Tlv seed{};
  QL_TRY(der::read_tlv(seed, part.content, part.content_len, der::kTagOctetString));
  if (seed.content_len == 0) {
    return kOk;
  }
  if (seed.content_len > max_seed) {
    return kErrDerLength;
  }
  std::memcpy(params.seed, seed.content, seed.content_len);
  params.seed_len = seed.content_len;
  der::Tlv count{};
  QL_TRY(der::read_tlv(count, part.content + seed.total_len, part.content_len - seed.total_len,
                       der::kTagInteger));
  // A counter above four bytes was never produced by the generation: it is left at zero.
  if (count.content_len == 0 || count.content_len > 4) {
    return kOk;
  }
  return U8ToBig(&params.count, count.content, count.content_len);
}

Status decode_params(QL_KCDSA_PARAMETERS &params, const uint8_t *in, uint32_t in_len) {
  der::Tlv outer{};
  QL_TRY(der::read_tlv(outer, in, in_len, der::kTagSequence));
  const uint8_t *pos = outer.content;
  uint32_t left = outer.content_len;
  Big *const fields[3] = {&params.p, &params.q, &params.g};
  for (Big *field : fields) {
    uint32_t used = 0;
    QL_TRY(read_unsigned(*field, used, pos, left));
    pos += used;
    left -= used;
  }
  if (left != 0 && pos[0] == der::kTagInteger) {
    uint32_t used = 0;
    QL_TRY(read_unsigned(params.J, used, pos, left));
    pos += used;
    left -= used;
  }
  if (left == 0 || pos[0] != der::kTagSequence) {
    return kOk;
  }
  return decode_seed_part(params, pos, left);
}

Status decode_signature(QL_KCDSA_SIGNATURE &sig, const uint8_t *in, uint32_t in_len) {
  der::Tlv outer{};
  QL_TRY(der::read_tlv(outer, in, in_len, der::kTagSequence));
  der::Tlv bits{};
  QL_TRY(der::read_tlv(bits, outer.content, outer.content_len, der::kTagBitString));
  // The unused-bits byte must be there; r is everything behind it.
  if (bits.content_len == 0) {
    return kErrDerLength;
  }
  QL_TRY(U8ToBig(&sig.r, bits.content + 1, bits.content_len - 1));
  big_normalize(sig.r);
  QL_TRY(der::read_integer(sig.s, nullptr, outer.content + bits.total_len,
                           outer.content_len - bits.total_len));
  big_normalize(sig.s);
  return kOk;
}

}  // namespace
}  // namespace ql

// Exported functions.

int32_t QL_KCDSA_Parameters_Encode(uint8_t *out, uint32_t *out_len,
                                   const QL_KCDSA_PARAMETERS *params) {
  if (out_len == nullptr || params == nullptr || ql::big_used(params->p) == 0 ||
      ql::big_used(params->q) == 0 || ql::big_used(params->g) == 0 ||
      params->seed_len > ql::kSeedField) {
    return ql::kErrKcdsaParamsEncodeInput;
  }
  const ql::ParamsLayout layout = ql::layout_of(*params);
  if (out == nullptr) {
    *out_len = layout.estimate;
    return ql::kOk;
  }
  ql::encode_params(out, *out_len, *params, layout);
  return ql::kOk;
}

int32_t QL_KCDSA_Parameters_Decode(QL_KCDSA_PARAMETERS *params, const uint8_t *in,
                                   uint32_t in_len) {
  if (params == nullptr || in == nullptr) {
    return ql::kErrDerNull;
  }
  ql::Wiped<QL_KCDSA_PARAMETERS> decoded;
  QL_KCDSA_PARAMETERS &d = decoded.get();
  ql::big_clear(d.p);
  ql::big_clear(d.q);
  ql::big_clear(d.g);
  ql::big_clear(d.J);
  ql::big_clear(d.count);
  const ql::Status s = ql::decode_params(d, in, in_len);
  if (s != ql::kOk) {
    ql::wipe(params, sizeof(*params));
    return s;
  }
  *params = d;
  return ql::kOk;
}

int32_t QL_KCDSA_Signature_Encode(uint8_t *out, uint32_t *out_len, uint32_t r_len,
                                  const QL_KCDSA_SIGNATURE *sig) {
  if (out_len == nullptr || sig == nullptr || r_len > ql::kMaxRLen) {
    return ql::kErrDerNull;
  }
  const uint32_t s_len = ql::der::integer_content_len(sig->s);
  if (out == nullptr) {
    *out_len = r_len + 19 + s_len;
    return ql::kOk;
  }
  uint8_t r[ql::kMaxRLen];
  QL_TRY(BigToU82(r, &sig->r, r_len));
  const uint32_t bits_len = r_len + 1;
  const uint32_t content_len = ql::element_len(bits_len) + ql::element_len(s_len);
  uint8_t *pos = out;
  pos += ql::der::write_header(pos, ql::der::kTagSequence, content_len);
  pos += ql::der::write_header(pos, ql::der::kTagBitString, bits_len);
  *pos++ = 0;  // no unused bits
  std::memcpy(pos, r, r_len);
  pos += r_len;
  pos += ql::der::write_integer(pos, sig->s);
  *out_len = static_cast<uint32_t>(pos - out);
  return ql::kOk;
}

int32_t QL_KCDSA_Signature_Decode(QL_KCDSA_SIGNATURE *sig, const uint8_t *in, uint32_t in_len) {
  if (sig == nullptr || in == nullptr) {
    return ql::kErrDerNull;
  }
  QL_KCDSA_SIGNATURE decoded{};
  QL_TRY(ql::decode_signature(decoded, in, in_len));
  *sig = decoded;
  return ql::kOk;
}

int32_t QL_KCDSA_PublicKey_Encode(uint8_t *out, uint32_t *out_len, const Big *y) {
  if (out_len == nullptr || y == nullptr) {
    return ql::kErrKcdsaPublicKeyEncodeNull;
  }
  Big copy = *y;
  return Big_DerEncode(out, out_len, &copy);
}

int32_t QL_KCDSA_PublicKey_Decode(Big *y, const uint8_t *in, uint32_t in_len) {
  if (y == nullptr || in == nullptr) {
    return ql::kErrKcdsaPublicKeyDecodeNull;
  }
  return Big_DerDecode(y, in, in_len);
}
