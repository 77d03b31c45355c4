// Status codes and the critical form. A status is a signed 32-bit value: 0 for success,
// a negative code otherwise. Every ordinary code has bit 30 set; a lower layer marks a failure
// that must stop the module by clearing that bit, and only the module boundary acts on it.
#ifndef QL_INTERNAL_STATUS_H
#define QL_INTERNAL_STATUS_H

#include <cstdint>

namespace ql {

using Status = int32_t;

constexpr Status kOk = 0;
constexpr uint32_t kCriticalBit = 0x40000000u;

// The code `s` in critical form: bit 30 cleared.
constexpr Status critical(Status s) {
  return static_cast<Status>(static_cast<uint32_t>(s) & ~kCriticalBit);
}
// True for any non-zero status whose bit 30 is clear, whatever produced it.
constexpr bool is_critical(Status s) {
  return s != kOk && (static_cast<uint32_t>(s) & kCriticalBit) == 0;
}
// The ordinary form of `s`: bit 30 set again.
constexpr Status uncritical(Status s) {
  return static_cast<Status>(static_cast<uint32_t>(s) | kCriticalBit);
}

static_assert(critical(-6085) == static_cast<Status>(0xBFFFE83Bu), "critical form");
static_assert(uncritical(critical(-6085)) == -6085, "critical form round trip");

// Module boundary: states and transitions.
constexpr Status kErrNotInitialized = -6061;     // public transition from state 1
constexpr Status kErrSelfTestFailed = -6062;     // power-up self-test failed
constexpr Status kErrStateNotAllowed = -6063;    // target not reachable from this state
constexpr Status kErrStateUnknown = -6064;       // target is not a state
constexpr Status kErrFinalized = -6065;          // module is finalised
constexpr Status kErrErrorState = -6066;         // module is in its error state
constexpr Status kErrMoveFromError = -5531;      // internal move out of state 9 (to 9 or 11)
// Module boundary: approval checks.
constexpr Status kErrSymIdUnsupported = -6067;   // AES, SEED-256 in the approved state
constexpr Status kErrSymIdUnknown = -6068;       // no such symmetric cipher
constexpr Status kErrHashIdUnsupported = -6069;  // digest identifier not approved
constexpr Status kErrHmacIdUnsupported = -6070;  // HMAC identifier not approved
constexpr Status kErrPKeyIdUnsupported = -6071;  // key-pair algorithm not approved
constexpr Status kErrPEncIdUnsupported = -6072;  // public-key encryption not approved
constexpr Status kErrPEncIdUnknown = -6073;      // no such public-key encryption
constexpr Status kErrSignIdUnsupported = -6074;  // signature scheme not approved
// Module boundary: context stamps.
constexpr Status kErrSymCtxNull = -6142;         // null symmetric context
constexpr Status kErrSymCtxStale = -6143;        // symmetric context stamped in another state
constexpr Status kErrHashCtxNull = -6144;        // null digest context
constexpr Status kErrHashCtxStale = -6145;       // digest context stamped in another state
constexpr Status kErrHmacCtxNull = -6146;        // null HMAC context
constexpr Status kErrHmacCtxStale = -6147;       // HMAC context stamped in another state

// Random generators and entropy.
constexpr Status kErrX962Random = -1502;        // Big_X962_Random: null or unkeyed context
constexpr Status kErrX962Update = -1503;        // Big_X962_Update: null context
constexpr Status kErrX962Init = -1504;          // Big_X962_Init: null argument or size
constexpr Status kErrRandAlloc = -1505;         // QL_Big_Random: allocation (critical)
constexpr Status kErrCmvpRandReinit = -1506;    // QL_CMVP_RAND_Init: running, no key or seed
constexpr Status kErrCmvpRandRepeat = -6001;    // module generator: continuous test failed
constexpr Status kErrKcdsaPrngAlloc = -5020;    // Big_KCDSA_PRNG: allocation (critical)
constexpr Status kErrKcdsaRandomAlloc = -5021;  // Big_Random_KCDSA: allocation (critical)

// Multi-precision integers and prime tests.
constexpr Status kErrBigTooLong = -2001;        // value does not fit the requested bytes
constexpr Status kErrBigNotEqual = -2002;       // values differ (a result, not a fault)
constexpr Status kErrBigNoInverse = -2003;      // gcd != 1: no modular inverse
constexpr Status kErrComposite = -2004;         // Miller-Rabin proved the candidate composite
constexpr Status kErrBigExpAlloc = -2005;       // exponentiation: allocation (critical)
constexpr Status kErrBigExpWindow2Alloc = -2006;  // exponentiation with a context: allocation
constexpr Status kErrBigDivByZero = -2007;      // division by zero
constexpr Status kErrBigOverflow = -2008;       // result exceeds the 257-word capacity
constexpr Status kErrBigNullInput = -2009;      // null record or input, or zero length
constexpr Status kErrBigInputTooLong = -2010;   // more than 1028 input bytes
constexpr Status kErrBigHexTooLong = -2011;     // more than 2 x 1028 hexadecimal characters

// Digest dispatcher and HMAC.
constexpr Status kErrHmacInitNull = -2501;       // QL_HMAC_Init: null record or key
constexpr Status kErrHmacUpdateNull = -2502;     // QL_HMAC_Update: null record
constexpr Status kErrHmacFinalNull = -2503;      // QL_HMAC_Final: null record or output
constexpr Status kErrHashInfoNull = -2504;       // QL_Hash_GetInfo, QL_HMAC_GetInfo: null info
constexpr Status kErrHashInitNull = -2505;       // QL_Hash_Init: null record
constexpr Status kErrHashInitId = -2506;         // QL_Hash_Init: identifier not 1 to 5
constexpr Status kErrHashUpdateNull = -2507;     // QL_Hash_Update: null record, or null data
constexpr Status kErrHashUpdateAlg = -2508;      // QL_Hash_Update: record holds no digest
constexpr Status kErrHashFinalNull = -2509;      // QL_Hash_Final: null record or output
constexpr Status kErrHashFinalAlg = -2510;       // QL_Hash_Final: record holds no digest
constexpr Status kErrHashInfoId = -2511;         // QL_Hash_GetInfo: identifier not 1 to 5
constexpr Status kErrHmacInfoId = -6082;         // QL_HMAC_GetInfo: identifier not 0x1nn

// Symmetric dispatcher and mode functions.
constexpr Status kErrSymEngineMode = -1;         // mode engine reached with no valid mode
constexpr Status kErrSymUnknownId = -4001;       // unknown cipher identifier
constexpr Status kErrSymMode = -4002;            // mode outside 1 to 5
constexpr Status kErrSymIvLen = -4003;           // IV length not the block length (not ECB)
constexpr Status kErrSymSegment = -4004;         // segment length unusable for the mode
constexpr Status kErrSymPadding = -4005;         // padding outside 1 to 4
constexpr Status kErrSymNotInit = -4006;         // record never initialised (or damaged)
constexpr Status kErrSymEncInitNull = -4009;     // null record, key or parameters
constexpr Status kErrSymEncKeyLen = -4010;       // key length outside the cipher's range
constexpr Status kErrSymEncUpdateNull = -4011;   // null record, out, outLen or in
constexpr Status kErrSymEncFinalNull = -4012;    // null record, out or outLen
constexpr Status kErrSymEncPending = -4013;      // padding none and bytes pending
constexpr Status kErrSymDecInitNull = -4014;     // null record, key or parameters
constexpr Status kErrSymDecKeyLen = -4015;       // key length outside the cipher's range
constexpr Status kErrSymDecUpdateNull = -4016;   // null record, out, outLen or in
constexpr Status kErrSymDecFinalNull = -4017;    // null record or padLen
constexpr Status kErrSymDecPending = -4018;      // bytes pending at the end of decryption
constexpr Status kErrSymBadPadding = -4019;      // padding check failed
constexpr Status kErrSymDecryptNull = -4020;     // null out, outLen, in, parameters or key
constexpr Status kErrAesKey = -4021;             // AES key or direction refused
constexpr Status kErrAesEcb = -4022;             // QL_AES_ECB refused its arguments
constexpr Status kErrAesCbc = -4023;             // QL_AES_CBC refused its arguments
constexpr Status kErrAesCfb = -4024;             // QL_AES_CFB refused its arguments
constexpr Status kErrAesOfb = -4025;             // QL_AES_OFB refused its arguments
constexpr Status kErrSymEncryptAlloc = -6135;    // one-shot encryption record allocation
constexpr Status kErrSymDecryptAlloc = -6136;    // one-shot decryption record allocation

// Module boundary services.
constexpr Status kErrSecKeyNull = -6080;         // secret-key record null or key too long
constexpr Status kErrSecKeyAlloc = -6081;        // secret-key copy: allocation (critical)
constexpr Status kErrHmacKeyMismatch = -6088;    // QLC_HMAC: key of another algorithm
constexpr Status kErrHmacInitKeyMismatch = -6092;  // QLC_HMAC_Init: key of another algorithm
constexpr Status kErrHashInitAlloc = -6128;      // QLC_Hash_Init: allocation (critical)
constexpr Status kErrHashUpdateAlloc = -6130;    // QLC_Hash_Update: allocation (critical)
constexpr Status kErrHashFinalAlloc = -6131;     // QLC_Hash_Final: allocation (critical)
constexpr Status kErrHmacInitAlloc = -6132;      // QLC_HMAC_Init: allocation (critical)
constexpr Status kErrHmacUpdateAlloc = -6133;    // QLC_HMAC_Update: allocation (critical)
constexpr Status kErrHmacFinalAlloc = -6134;     // QLC_HMAC_Final: allocation (critical)
constexpr Status kErrHashCtxCopyNull = -6137;    // QLC_Hash_CTX_Copy: null record
constexpr Status kErrHmacCtxCopyNull = -6138;    // QLC_HMAC_CTX_Copy: null record
constexpr Status kErrRandOutNull = -1501;        // QLC_Rand: null output for a non-empty request
constexpr Status kErrModSymIv = -6075;           // cipher parameters: IV length not 0 or 16
constexpr Status kErrModSymKeyLen = -6076;       // cipher parameters: SEED key length
constexpr Status kErrModSymPadding = -6077;      // cipher parameters: padding not 1 to 4
constexpr Status kErrGenKeyFamily = -6078;       // QLC_KEY_GenSecKey: family not 1 or 2
constexpr Status kErrGenKeyNull = -6083;         // QLC_KEY_GenSecKey: null key record
constexpr Status kErrGenKeyLength = -6084;       // QLC_KEY_GenSecKey: length outside the rules
constexpr Status kErrGenKeyAlloc = -6085;        // QLC_KEY_GenSecKey: allocation (critical)
constexpr Status kErrSymEncKeyMismatch = -6086;  // QLC_SYM_Encrypt: key of another cipher
constexpr Status kErrSymEncInitKeyMismatch = -6087;  // QLC_SYM_Encrypt_Init: same
constexpr Status kErrSymDecKeyMismatch = -6090;  // QLC_SYM_Decrypt: key of another cipher
constexpr Status kErrSymDecInitKeyMismatch = -6091;  // QLC_SYM_Decrypt_Init: same
constexpr Status kErrSymParamsId = -6114;        // QLC_SYM_CheckParams: unknown cipher
constexpr Status kErrSymParamCopyNull = -6115;   // QLC_SYM_Parameter_Copy: null parameters
constexpr Status kErrSymCtxCopyNull = -6116;     // QLC_SYM_CTX_Copy: null record
constexpr Status kErrSymEncInitAlloc = -6122;    // QLC_SYM_Encrypt_Init: allocation (critical)
constexpr Status kErrSymEncUpdateAlloc = -6123;  // QLC_SYM_Encrypt_Update: allocation
constexpr Status kErrSymEncFinalAlloc = -6124;   // QLC_SYM_Encrypt_Final: allocation
constexpr Status kErrSymDecInitAlloc = -6125;    // QLC_SYM_Decrypt_Init: allocation
constexpr Status kErrSymDecUpdateAlloc = -6126;  // QLC_SYM_Decrypt_Update: allocation
constexpr Status kErrSymDecFinalAlloc = -6127;   // QLC_SYM_Decrypt_Final: allocation
constexpr Status kErrSymParamCopyAlloc = -6129;  // QLC_SYM_Parameter_Copy: allocation

}  // namespace ql

// Returns the status of `expr` from the enclosing function unless it is success.
#define QL_TRY(expr)                          \
  do {                                        \
    const ::ql::Status ql_s_ = (expr);        \
    if (ql_s_ != ::ql::kOk) { return ql_s_; } \
  } while (false)

#endif  // QL_INTERNAL_STATUS_H
