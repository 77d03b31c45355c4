// DER encodings of ECDSA signatures (SEQUENCE of the INTEGERs r and s), private keys
// (SEQUENCE { INTEGER 1, OCTET STRING d, optional curve identifier }), public keys (an OCTET
// STRING holding the uncompressed point) and curve parameters (the named-curve identifier).
// Decoders never read at or beyond the input length and write their outputs only on success.
#include <cstring>

#include "QuillonCrypto.h"
#include "bigint/ql_big.h"
#include "internal/ql_mem.h"
#include "internal/ql_status.h"
#include "pk/ql_der.h"
#include "pk/ql_ecc.h"
#include "pk/ql_ecdsa.h"

namespace ql {
namespace {

// Longest private scalar the encoding carries, in content bytes.
constexpr uint32_t kMaxPrivateLen = 260;

// Reads an INTEGER at in[0..in_len) as an unsigned value (a leading zero byte is accepted, as
// is an empty content for zero) and reports its total length.
Status read_unsigned(Big &x, uint32_t &consumed, const uint8_t *in, uint32_t in_len) {
  der::Tlv tlv{};
  QL_TRY(der::read_tlv(tlv, in, in_len, der::kTagInteger));
  if (tlv.content_len == 0) {
    big_clear(x);
  } else {
    QL_TRY(U8ToBig(&x, tlv.content, tlv.content_len));
  }
  consumed = tlv.total_len;
  return kOk;
}

// A private key must be positive, and below n when a complete curve is at hand. The words of d
// steer no branch.
bool private_key_plausible(const Big &d, const QL_ECDSA_PARAMETERS *curve) {
  if (ecc_curve_complete(curve)) {
    return scalar_in_range(d, curve->n);
  }
  return scalar_positive(d);
}

}  // namespace
}  // namespace ql

// Exported functions.

int32_t QL_ECDSA_Parameters_Encode(uint8_t *out, uint32_t *out_len,
                                   const QL_ECDSA_PARAMETERS *curve) {
  return Big_Param_DerEncode(out, out_len, curve);
}

int32_t QL_ECDSA_Parameters_Decode(QL_ECDSA_PARAMETERS *curve, const uint8_t *in, uint32_t in_len) {
  return Big_Param_DerDecode(curve, in, in_len);
}

int32_t QL_ECDSA_PublicKey_Encode(uint8_t *out, uint32_t *out_len, uint32_t capacity,
                                  const BigPoint *Q, const QL_ECDSA_PARAMETERS *curve) {
  return BigPoint_DerEncode(out, out_len, capacity, Q, curve);
}

// A public key is a point of the group other than the point at infinity, which no private key
// gives and which has no public-key encoding: the single octet 00 is refused as malformed.
int32_t QL_ECDSA_PublicKey_Decode(const QL_ECDSA_PARAMETERS *curve, BigPoint *Q, const uint8_t *in,
                                  uint32_t in_len) {
  if (Q == nullptr) {
    return BigPoint_DerDecode(curve, Q, in, in_len);
  }
  BigPoint decoded{};
  QL_TRY(BigPoint_DerDecode(curve, &decoded, in, in_len));
  if ((decoded.flags & QL_BIGPOINT_INFINITY) != 0) {
    return ql::kErrOct2PointBad;
  }
  *Q = decoded;
  return ql::kOk;
}

int32_t QL_ECDSA_Signature_Encode(uint8_t *out, uint32_t *out_len, const QL_ECDSA_SIGNATURE *sig) {
  if (out_len == nullptr || sig == nullptr) {
    return ql::kErrSigEncodeArg;
  }
  const uint32_t r_len = ql::der::integer_content_len(sig->r);
  const uint32_t s_len = ql::der::integer_content_len(sig->s);
  if (out == nullptr) {
    *out_len = r_len + s_len + 18;
    return ql::kOk;
  }
  ql::Buffer scratch(r_len + s_len + 2 * ql::der::kMaxHeaderLen);
  if (!scratch) {
    return ql::critical(ql::kErrSigEncodeAlloc);
  }
  uint32_t content_len = ql::der::write_integer(scratch.data(), sig->r);
  content_len += ql::der::write_integer(scratch.data() + content_len, sig->s);
  const uint32_t header_len = ql::der::write_header(out, ql::der::kTagSequence, content_len);
  std::memcpy(out + header_len, scratch.data(), content_len);
  *out_len = header_len + content_len;
  return ql::kOk;
}

int32_t QL_ECDSA_Signature_Decode(QL_ECDSA_SIGNATURE *sig, const uint8_t *in, uint32_t in_len) {
  if (sig == nullptr || in == nullptr) {
    return ql::kErrDerNull;
  }
  ql::der::Tlv seq{};
  QL_TRY(ql::der::read_tlv(seq, in, in_len, ql::der::kTagSequence));
  // Both INTEGERs lie inside the SEQUENCE's content; anything after s is ignored.
  ql::Wiped<QL_ECDSA_SIGNATURE> value;
  uint32_t r_len = 0;
  uint32_t s_len = 0;
  QL_TRY(ql::read_unsigned(value.get().r, r_len, seq.content, seq.content_len));
  QL_TRY(ql::read_unsigned(value.get().s, s_len, seq.content + r_len, seq.content_len - r_len));
  *sig = value.get();
  return ql::kOk;
}

int32_t QL_ECDSA_PrivateKey_Encode(uint8_t *out, uint32_t *out_len, const Big *d,
                                   const QL_ECDSA_PARAMETERS *curve) {
  if (out_len == nullptr || d == nullptr) {
    return ql::kErrPrivEncodeArg;
  }
  const uint32_t d_len = ql::der::integer_content_len(*d);
  if (d_len > ql::kMaxPrivateLen || !ql::private_key_plausible(*d, curve)) {
    return ql::kErrPrivEncodeArg;
  }
  uint32_t curve_len = 0;
  if (curve != nullptr) {
    QL_TRY(Big_Param_DerEncode(nullptr, &curve_len, curve));
  }
  if (out == nullptr) {
    *out_len = d_len + 15 + (curve != nullptr ? curve_len + 6 : 0);
    return ql::kOk;
  }
  // Content: 02 01 01, 04 with d's length and d as exactly d_len bytes, the identifier.
  ql::Buffer scratch(d_len + 9 + curve_len);
  if (!scratch) {
    return ql::critical(ql::kErrPrivEncodeAlloc);
  }
  uint8_t *p = scratch.data();
  p[0] = ql::der::kTagInteger;
  p[1] = 1;
  p[2] = 1;
  uint32_t content_len = 3;
  content_len += ql::der::write_header(p + content_len, ql::der::kTagOctetString, d_len);
  QL_TRY(BigToU82(p + content_len, d, d_len));
  content_len += d_len;
  if (curve != nullptr) {
    uint32_t written = 0;
    QL_TRY(Big_Param_DerEncode(p + content_len, &written, curve));
    content_len += written;
  }
  const uint32_t header_len = ql::der::write_header(out, ql::der::kTagSequence, content_len);
  std::memcpy(out + header_len, p, content_len);
  *out_len = header_len + content_len;
  return ql::kOk;
}

int32_t QL_ECDSA_PrivateKey_Decode(Big *d, QL_ECDSA_PARAMETERS *curve, const uint8_t *in,
                                   uint32_t in_len) {
  if (d == nullptr || in == nullptr) {
    return ql::kErrDerNull;
  }
  ql::der::Tlv seq{};
  QL_TRY(ql::der::read_tlv(seq, in, in_len, ql::der::kTagSequence));
  ql::der::Tlv version{};
  QL_TRY(ql::der::read_tlv(version, seq.content, seq.content_len, ql::der::kTagInteger));
  if (version.content_len == 0 || version.content[0] != 1) {
    return ql::kErrPrivDecodeBad;
  }
  // The OCTET STRING follows a one-byte version; a longer version content is no such key.
  if (version.content_len != 1) {
    return ql::kErrDerTag;
  }
  const uint32_t key_at = version.total_len;
  ql::der::Tlv key{};
  QL_TRY(ql::der::read_tlv(key, seq.content + key_at, seq.content_len - key_at,
                           ql::der::kTagOctetString));
  ql::Wiped<Big> value;
  if (key.content_len == 0) {
    ql::big_clear(value.get());
  } else {
    QL_TRY(U8ToBig(value.ptr(), key.content, key.content_len));
  }
  // The curve named behind the key replaces the caller's record only once everything holds.
  const uint32_t rest_at = key_at + key.total_len;
  const bool has_curve = curve != nullptr && rest_at < seq.content_len;
  QL_ECDSA_PARAMETERS named;
  if (has_curve) {
    QL_TRY(Big_Param_DerDecode(&named, seq.content + rest_at, seq.content_len - rest_at));
  }
  const QL_ECDSA_PARAMETERS *range = has_curve ? &named : curve;
  if (!ql::private_key_plausible(value.get(), range)) {
    return ql::kErrPrivDecodeBad;
  }
  if (has_curve) {
    *curve = named;
  }
  *d = value.get();
  return ql::kOk;
}
