// Every key and parameter decoder of the asymmetric dispatcher, and the ECDSA and KCDSA
// signature decoders, on arbitrary bytes: the first byte picks the algorithm and the record
// (and for ECDSA keys the curve; with bit 4 set, a signature), the rest is the encoding,
// placed in a block of exactly its length so that a read beyond it is caught.
// Invariants: a decode that succeeds re-encodes within the encoder's announced bound, the
// re-encoding decodes again and encodes to the same bytes, and a refused input leaves nothing
// behind that the record's delete cannot free.
#include <cstring>
#include <vector>

#include "QuillonCrypto.h"
#include "ql_fuzz.h"

namespace {

enum Role { kParams, kPrivate, kPublic };

struct Case {
  int32_t algorithm;
  Role role;
};

constexpr Case kCases[] = {
    {QL_PKEY_RSA, kPrivate},   {QL_PKEY_RSA, kPublic},    {QL_PKEY_KCDSA, kParams},
    {QL_PKEY_KCDSA, kPrivate}, {QL_PKEY_KCDSA, kPublic},  {QL_PKEY_ECDSA, kParams},
    {QL_PKEY_ECDSA, kPrivate}, {QL_PKEY_ECDSA, kPublic},
};

// The named-curve parameters the ECDSA key codecs need, made once per process.
const QL_ASYM_KEY *curve(bool p224) {
  static QL_ASYM_KEY *curves[2] = {nullptr, nullptr};
  QL_ASYM_KEY *&c = curves[p224 ? 0 : 1];
  if (c == nullptr) {
    c = QL_ASYM_Parameters_New();
    uint32_t size = p224 ? 224 : 256;
    QL_FUZZ_CHECK(c != nullptr && QL_ASYM_GenerateParameters(c, QL_PKEY_ECDSA, &size) == 0);
  }
  return c;
}

QL_ASYM_KEY *new_record(Role role) {
  return role == kParams    ? QL_ASYM_Parameters_New()
         : role == kPrivate ? QL_ASYM_PrivateKey_New()
                            : QL_ASYM_PublicKey_New();
}

void delete_record(Role role, QL_ASYM_KEY *k) {
  if (role == kParams) {
    QL_ASYM_Parameters_Delete(k);
  } else if (role == kPrivate) {
    QL_ASYM_PrivateKey_Delete(k);
  } else {
    QL_ASYM_PublicKey_Delete(k);
  }
}

int32_t decode(Role role, QL_ASYM_KEY *k, int32_t alg, const uint8_t *in, uint32_t len,
               const QL_ASYM_KEY *params) {
  return role == kParams    ? QL_ASYM_Parameters_Decode(k, alg, in, len)
         : role == kPrivate ? QL_ASYM_PrivateKey_Decode(k, alg, in, len, params)
                            : QL_ASYM_PublicKey_Decode(k, alg, in, len, params);
}

int32_t encode(Role role, uint8_t *out, uint32_t *out_len, const QL_ASYM_KEY *k,
               const QL_ASYM_KEY *params) {
  return role == kParams    ? QL_ASYM_Parameters_Encode(out, out_len, k)
         : role == kPrivate ? QL_ASYM_PrivateKey_Encode(out, out_len, k, params)
                            : QL_ASYM_PublicKey_Encode(out, out_len, k, params);
}

// Encodes `k` into `out` through the length query; the bytes written lie within the bound.
void encode_checked(Role role, const QL_ASYM_KEY *k, const QL_ASYM_KEY *params,
                    std::vector<uint8_t> &out) {
  uint32_t bound = 0;
  QL_FUZZ_CHECK(encode(role, nullptr, &bound, k, params) == 0);
  out.assign(bound, 0);
  uint32_t len = bound;
  QL_FUZZ_CHECK(encode(role, out.data(), &len, k, params) == 0);
  QL_FUZZ_CHECK(len <= bound);
  out.resize(len);
}

// A signature that decodes encodes within the bound, and its encoding decodes and encodes to
// the same bytes. KCDSA's r is written in as many bytes as its value needs.
void check_signature(bool kcdsa, const std::vector<uint8_t> &in) {
  const uint32_t in_len = static_cast<uint32_t>(in.size());
  std::vector<uint8_t> first, second;
  for (std::vector<uint8_t> *out : {&first, &second}) {
    const std::vector<uint8_t> &src = out == &first ? in : first;
    const uint32_t src_len = out == &first ? in_len : static_cast<uint32_t>(first.size());
    uint32_t bound = 0;
    uint32_t len = 0;
    if (kcdsa) {
      QL_KCDSA_SIGNATURE sig;
      if (QL_KCDSA_Signature_Decode(&sig, src.data(), src_len) != 0) {
        QL_FUZZ_CHECK(out == &first);
        return;
      }
      uint8_t r_bytes[1028];
      const int32_t r_len = BigToU8(r_bytes, &sig.r);
      const uint32_t r_field = r_len > 0 ? static_cast<uint32_t>(r_len) : 1;
      if (r_field > 64) {
        QL_FUZZ_CHECK(QL_KCDSA_Signature_Encode(nullptr, &bound, r_field, &sig) == -3505);
        return;
      }
      QL_FUZZ_CHECK(QL_KCDSA_Signature_Encode(nullptr, &bound, r_field, &sig) == 0);
      out->assign(bound, 0);
      len = bound;
      QL_FUZZ_CHECK(QL_KCDSA_Signature_Encode(out->data(), &len, r_field, &sig) == 0);
    } else {
      QL_ECDSA_SIGNATURE sig;
      if (QL_ECDSA_Signature_Decode(&sig, src.data(), src_len) != 0) {
        QL_FUZZ_CHECK(out == &first);
        return;
      }
      QL_FUZZ_CHECK(QL_ECDSA_Signature_Encode(nullptr, &bound, &sig) == 0);
      out->assign(bound, 0);
      len = bound;
      QL_FUZZ_CHECK(QL_ECDSA_Signature_Encode(out->data(), &len, &sig) == 0);
    }
    QL_FUZZ_CHECK(len <= bound);
    out->resize(len);
  }
  QL_FUZZ_CHECK(first == second);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) {
    return 0;
  }
  if ((data[0] & 0x10) != 0) {
    check_signature((data[0] & 1) != 0, std::vector<uint8_t>(data + 1, data + size));
    return 0;
  }
  const Case c = kCases[data[0] % (sizeof(kCases) / sizeof(kCases[0]))];
  const QL_ASYM_KEY *params =
      c.algorithm == QL_PKEY_ECDSA && c.role != kParams ? curve((data[0] & 8) != 0) : nullptr;
  // The encoding alone in a block of its exact length.
  const std::vector<uint8_t> in(data + 1, data + size);

  QL_ASYM_KEY *k = new_record(c.role);
  QL_FUZZ_CHECK(k != nullptr);
  const int32_t st = decode(c.role, k, c.algorithm, in.data(), static_cast<uint32_t>(in.size()),
                            params);
  if (st == 0) {
    QL_FUZZ_CHECK(k->algorithm == c.algorithm && k->body != nullptr);
    // The KCDSA parameter reader takes p, q or g of zero (every use refuses them later); the
    // writer refuses to encode such a record.
    if (c.algorithm == QL_PKEY_KCDSA && c.role == kParams) {
      const auto *kp = static_cast<const QL_KCDSA_PARAMETERS *>(k->body);
      if (Big_GetFilledBitNum(&kp->p) == 0 || Big_GetFilledBitNum(&kp->q) == 0 ||
          Big_GetFilledBitNum(&kp->g) == 0) {
        uint32_t bound = 0;
        QL_FUZZ_CHECK(encode(c.role, nullptr, &bound, k, params) == -3507);
        delete_record(c.role, k);
        return 0;
      }
    }
    // The RSA key readers take zero or negative INTEGERs (every operation refuses such a
    // key); the writers refuse to encode n, e (and d, p, q) of zero or any negative value.
    if (c.algorithm == QL_PKEY_RSA) {
      const bool priv = c.role == kPrivate;
      const Big *x = static_cast<const Big *>(k->body);
      bool encodable = true;
      for (int i = 0; i < (priv ? 8 : 2); i++) {
        encodable = encodable && x[i].sign == 0 && (i >= 5 || Big_GetFilledBitNum(&x[i]) != 0);
      }
      if (!encodable) {
        uint32_t bound = 0;
        QL_FUZZ_CHECK(encode(c.role, nullptr, &bound, k, params) == (priv ? -3044 : -3042));
        delete_record(c.role, k);
        return 0;
      }
    }
    std::vector<uint8_t> first, second;
    encode_checked(c.role, k, params, first);
    QL_ASYM_KEY *again = new_record(c.role);
    QL_FUZZ_CHECK(again != nullptr);
    QL_FUZZ_CHECK(decode(c.role, again, c.algorithm, first.data(),
                         static_cast<uint32_t>(first.size()), params) == 0);
    encode_checked(c.role, again, params, second);
    QL_FUZZ_CHECK(first == second);
    delete_record(c.role, again);
  }
  delete_record(c.role, k);
  return 0;
}
