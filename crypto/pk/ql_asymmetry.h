// The descriptor of a public-key algorithm: how the asymmetric dispatcher makes, copies,
// encodes, decodes, generates and checks the bodies of its keys and parameters, and how it
// signs and verifies a digest. The dispatcher finds a descriptor by algorithm identifier in one
// table and a signature scheme by its identifier in another, so adding an algorithm means a
// descriptor and its entries there. Every function here takes bodies the dispatcher has already
// checked to be non-null and of the descriptor's algorithm.
#ifndef QL_ASYMMETRY_H
#define QL_ASYMMETRY_H

#include <cstdint>

#include "QuillonCrypto.h"
#include "internal/ql_status.h"

namespace ql {

// The three bodies a QL_ASYM_KEY can hold, as an index into a descriptor's per-role entries.
enum KeyRole : int { kRolePrivate = 0, kRolePublic = 1, kRoleParams = 2, kRoles = 3 };

// How a signature scheme turns a digest into a signature.
enum class SignKind { kPkcs1V15, kPkcs1V15Raw, kPss, kKcdsa, kEcdsa };

struct SignScheme {
  int32_t id;
  int32_t pkey;    // the algorithm of its keys and parameters
  int32_t digest;  // the message digest; 0: the first word of the sign parameter; -1: none
  SignKind kind;
};

// What the signing and verifying functions get besides the bodies.
struct SignInput {
  const SignScheme *scheme;
  int32_t digest_id;
  const uint8_t *digest;
  uint32_t digest_len;
  const QL_ASYM_SIGN_PARAM *sign_param;  // non-null for the PSS schemes
  Status alloc_code;                     // the caller's code for a signature record
};

struct PkeyDesc {
  int32_t id;
  // Whether the key encodings need the parameters (the point size, the curve identifier).
  bool codec_needs_params;
  // Whether the algorithm has parameters; generation, checks and signatures then need them.
  bool has_params;
  // Zeroed body of each role from the heap, or null when memory runs out; its wiping free.
  // Both null for a role the algorithm does not have.
  void *(*new_body[kRoles])();
  void (*delete_body[kRoles])(void *body);
  // Deep copy of `src` into the fresh body `dst`, with the checks of the stream's copies:
  // RSA private n, e, d present (kErrAsymPrivCopyIncomplete), RSA public n and e non-zero
  // (kErrAsymPubCopyRsa), KCDSA and ECDSA parameters complete.
  Status (*copy_body[kRoles])(void *dst, const void *src);
  // DER of a body; `out` null reports a bound of the length. `params` is the parameter body
  // (null unless codec_needs_params).
  Status (*encode[kRoles])(uint8_t *out, uint32_t *out_len, const void *body, const void *params);
  // Reads at most `in_len` bytes at `in` into a fresh body.
  Status (*decode[kRoles])(void *body, const uint8_t *in, uint32_t in_len, const void *params);
  Status (*generate_params)(void *params, uint32_t size);
  Status (*generate_pair)(void *priv, void *pub, const void *params,
                          const QL_ASYM_KEYGEN_PARAM &keygen);
  // Null for an algorithm whose parameters have no check of their own.
  Status (*verify_params)(const void *params, int32_t digest_id);
  Status (*verify_public)(const void *pub, const void *params);
  Status (*prove_pair)(const void *priv, const void *pub, const void *params);
  Status (*sign)(uint8_t *out, uint32_t *out_len, const SignInput &in, const void *priv,
                 const void *params);
  Status (*verify)(const uint8_t *sig, uint32_t sig_len, const SignInput &in, const void *pub,
                   const void *params);
};

// The descriptor of algorithm `id`, or null for an unknown identifier.
const PkeyDesc *pkey_of(int32_t id);

// The signature scheme `id`, or null for an unknown identifier.
const SignScheme *scheme_of(int32_t id);

// The stream's inner steps. sign_ctx_set stores `sign_id` and takes owned deep copies of the
// records given with a body (and of the sign parameter), each stored only once complete.
// sign_verify_init chooses the digest from the copies and starts it (KCDSA: after z); the
// digest identifier is stored only when it succeeds, which is what marks a started stream.
Status sign_ctx_set(QL_ASYM_SIGN_CTX &sc, int32_t sign_id, const QL_ASYM_KEY *private_key,
                    const QL_ASYM_KEY *public_key, const QL_ASYM_KEY *params,
                    const QL_ASYM_SIGN_PARAM *sign_param);
Status sign_verify_init(QL_ASYM_SIGN_CTX &sc, int32_t kind);

}  // namespace ql

#endif  // QL_ASYMMETRY_H
