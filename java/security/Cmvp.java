package security;

/**
 * Native methods of the QuillonCrypto module: block ciphers, digests, HMACs, random bytes,
 * secret keys and messages.
 *
 * <p>Every method is a thin binding of one module service. Methods that can fail return a
 * status: 0 (or, where the method says so, a non-negative length) on success, a negative code
 * on failure. Codes -1 to -4 are found by the binding itself (a null or short array, an object
 * without the expected field, a length beyond its array, no memory); every other negative code
 * comes from the module, and {@link #GetErrMsg} gives its message. On failure no output array
 * is changed.
 *
 * <p>Streaming operations keep a native context in a {@link CmvpContext}; the Init method
 * allocates it and the matching Release method wipes and frees it. An Init method overwrites the
 * handle without releasing a previous context, so release a context before initialising its
 * holder again. The module enters its approved state on the first call; in that state only
 * approved algorithms are accepted.
 */
public final class Cmvp {
    static {
        System.loadLibrary("qlbridge");
    }

    private Cmvp() {}

    /** A failure found by the binding: null or short array, missing field or handle, bad length. */
    public static final int ERR_BRIDGE = -1;

    /** {@link #SymCtxInit}: the key is null or 256 bytes or longer. */
    public static final int ERR_KEY_LENGTH = -1;
    /** {@link #SymCtxInit}: the IV is longer than 32 bytes. */
    public static final int ERR_IV_LENGTH = -2;
    /** {@link #SymCtxInit}: no memory for the native context. */
    public static final int ERR_NO_MEMORY = -3;
    /** {@link #SymCtxInit}: the context object has no {@code long m_handle} field. */
    public static final int ERR_NO_HANDLE_FIELD = -4;
    /** A cipher context used a second time without a new {@link #SymCtxInit}. */
    public static final int ERR_CONTEXT_USED = -6143;

    /** Block cipher identifiers; also the algorithm of a cipher key. */
    public static final int AES = 1;
    public static final int SEED128 = 2;
    public static final int SEED256 = 3;
    public static final int ARIA = 4;

    /** Modes for {@link #SymCtxInit}. */
    public static final int MODE_ECB = 1;
    public static final int MODE_CBC = 2;

    /** Paddings for {@link #SymCtxInit}. Zero padding is not removed on decryption. */
    public static final int PAD_NONE = 1;
    public static final int PAD_ZERO = 2;
    public static final int PAD_BIT = 3;
    public static final int PAD_PKCS = 4;

    /** Block length of every cipher, in bytes. */
    public static final int BLOCK_LENGTH = 16;

    /**
     * Key families for {@link #GenSecKey}: {@code GEN_CIPHER_KEY | SEED128} asks for a SEED-128
     * key, {@code GEN_HMAC_KEY | HMAC_SHA256} for an HMAC-SHA-256 key.
     */
    public static final int GEN_CIPHER_KEY = 0x01000000;
    public static final int GEN_HMAC_KEY = 0x02000000;

    /** Digest identifiers for {@link #HashInit}. */
    public static final int HASH_HAS160 = 1;
    public static final int HASH_SHA1 = 2;
    public static final int HASH_SHA256 = 3;
    public static final int HASH_SHA384 = 4;
    public static final int HASH_SHA512 = 5;

    /** HMAC identifiers for {@link #HMacInit}; also the algorithm of an HMAC key. */
    public static final int HMAC_HAS160 = 0x101;
    public static final int HMAC_SHA1 = 0x102;
    public static final int HMAC_SHA256 = 0x103;
    public static final int HMAC_SHA384 = 0x104;
    public static final int HMAC_SHA512 = 0x105;

    /** Longest digest or MAC, in bytes (SHA-512). */
    public static final int MAX_DIGEST_LENGTH = 64;

    /**
     * Fills {@code key} with a fresh random key of the family and algorithm {@code genId} (see
     * {@link #GEN_CIPHER_KEY}) and length {@code keyLen} bytes (0: the algorithm's default).
     * Returns 0 or a negative code; -1 also when the key does not fit {@code key}'s array.
     */
    public static native int GenSecKey(Object key, int genId, int keyLen);

    /**
     * Fills {@code out} with random bytes from the module generator and returns its length, or
     * a negative code.
     */
    public static native int Rand(byte[] out);

    /**
     * Prepares {@code ctx} for one encryption or one decryption with cipher {@code symId}, the
     * whole of {@code key}, {@code mode} (ECB or CBC), {@code padding} and {@code iv} (16 bytes
     * for CBC; null or empty for ECB). Returns 0, one of the ERR_ codes above, or a negative
     * code of the module. The native context keeps the key schedules until released.
     */
    public static native int SymCtxInit(Object ctx, byte[] key, int symId, int mode, int padding,
            byte[] iv);

    /** Wipes and frees the cipher context of {@code ctx}, if any, and clears its handle. */
    public static native void SymCtxRelease(Object ctx);

    /**
     * Encrypts all of {@code in} into the start of {@code out} and returns the ciphertext
     * length, or a negative code. {@code out} must hold the input rounded down to whole blocks
     * plus one block of padding (no extra block with {@link #PAD_NONE}). {@code unused} is not
     * read. The context then needs a new {@link #SymCtxInit}.
     */
    public static native int SymEnc(Object ctx, byte[] in, long unused, byte[] out);

    /**
     * Decrypts all of {@code in} into the start of {@code out}, which must be at least as long
     * as {@code in}, and returns the plaintext length without the padding, or a negative code.
     * {@code unused} is not read. The context then needs a new {@link #SymCtxInit}.
     */
    public static native int SymDec(Object ctx, byte[] in, long unused, byte[] out);

    /**
     * Returns the fixed English message of a status code, or null if the module has none. Codes
     * without a message of their own, 0 included, give "internal error".
     */
    public static native String GetErrMsg(int code);

    /**
     * Starts digest {@code hashId} and stores its native context in {@code ctx}. Returns 0 or a
     * negative code; on failure {@code ctx} is unchanged.
     */
    public static native int HashInit(Object ctx, int hashId);

    /**
     * Feeds the first {@code len} bytes of {@code data} into the digest. {@code len} must be
     * between 1 and the array length (else -1). Returns 0 or a negative code.
     */
    public static native int HashUpdate(Object ctx, byte[] data, long len);

    /**
     * Writes the digest of everything fed so far to the start of {@code out}, which must hold
     * it, and returns its length (20 to 64) or a negative code. The context stays usable: more
     * data may follow, and a second final gives the digest of the longer message.
     */
    public static native long HashFinal(Object ctx, byte[] out);

    /** Wipes and frees the digest context of {@code ctx}, if any, and clears its handle. */
    public static native void HashRelease(Object ctx);

    /**
     * Starts HMAC {@code macId} keyed with the first {@code keyLen} bytes of {@code key}
     * (0 to 255, at most the array length). {@code keyAlgId} is the algorithm the key belongs
     * to and must equal {@code macId}. Returns 0 or a negative code.
     */
    public static native int HMacInit(Object ctx, byte[] key, int keyAlgId, int keyLen, int macId);

    /**
     * Feeds the first {@code len} bytes of {@code data} (0 to the array length) into the HMAC.
     * Returns 0 or a negative code.
     */
    public static native int HMacUpdate(Object ctx, byte[] data, long len);

    /**
     * Writes the MAC to the start of {@code out}, which must hold it, and returns its length or
     * a negative code. The final step ends the HMAC: a later update or final fails until the
     * context is initialised again.
     */
    public static native long HMacFinal(Object ctx, byte[] out);

    /** Wipes and frees the HMAC context of {@code ctx}, if any, and clears its handle. */
    public static native void HMacRelease(Object ctx);

    /** Public-key algorithm identifier of RSA, the only algorithm the key natives import. */
    public static final int PKEY_RSA = 1;
    /** Public-key algorithm identifiers that key generation names but cannot serve from Java. */
    public static final int PKEY_KCDSA = 5;
    public static final int PKEY_ECDSA = 12;

    /** Signature schemes: RSASSA-PKCS1-v1_5 with SHA-1, SHA-256, SHA-384, SHA-512. */
    public static final int SIGN_RSA_SHA1 = 3;
    public static final int SIGN_RSA_SHA256 = 4;
    public static final int SIGN_RSA_SHA384 = 5;
    public static final int SIGN_RSA_SHA512 = 6;
    /** RSASSA-PSS with the digest and MGF of a {@link CmvpSignParameter}; salt of digest length. */
    public static final int SIGN_RSA_PSS = 11;

    /** Public-key encryption schemes: RSAES-PKCS1-v1_5 and RSAES-OAEP. */
    public static final int PENC_RSA_V15 = 1;
    public static final int PENC_RSA_OAEP = 3;

    /** Mask generation functions of OAEP and PSS: MGF1 with SHA-1, SHA-256, SHA-384, SHA-512. */
    public static final int MGF1_SHA1 = 1;
    public static final int MGF1_SHA256 = 3;
    public static final int MGF1_SHA384 = 4;
    public static final int MGF1_SHA512 = 5;

    /** The one OAEP label source: the label is given (the natives always pass an empty one). */
    public static final int OAEP_SOURCE_SPECIFIED = 1;

    /** {@link #ASymGenKeyPair}: no memory for the native key records. */
    public static final int ERR_KEY_NO_MEMORY = -3;

    /**
     * Generates a key pair of algorithm {@code pkeyId} with the modulus length (bytes) and public
     * exponent of {@code keyGenParam} (a {@link CmvpKeyGenParameter}); {@code params} is a
     * {@link CmvpParameters} or null. On return {@code priKey} (a {@link CmvpPrivateKey}) and
     * {@code pubKey} (a {@link CmvpPublicKey}) hold native records, empty ones when generation
     * failed; free both with {@link #ASymDeleteKeyPair}. Returns 0, -1 for a null object or a
     * missing field (nothing allocated), -3 when memory runs out, or a code of the module. In the
     * approved state the module signs, verifies, encrypts and decrypts with the new pair first.
     *
     * <p>Only RSA can be generated from Java: KCDSA and ECDSA need domain parameters, and a
     * {@link CmvpParameters} object carries only two identifier words, no parameter values, so the
     * module refuses it.
     */
    public static native int ASymGenKeyPair(Object priKey, Object pubKey, int pkeyId, Object params,
            Object keyGenParam);

    /**
     * Imports an RSA private key from its eight components into {@code key} (a
     * {@link CmvpPrivateKey}): for each of n, e, d, p, q, dP, dQ, qInv a sign (0 positive, 1
     * negative) and the magnitude in the native integer layout ({@link #toNativeLayout}). Each
     * magnitude may be at most 1028 bytes. On success {@code key} holds the new key, to be freed
     * with {@link #ASymDeleteKey}; on any failure (null object or array, missing field, oversize
     * magnitude, no memory) nothing is allocated and {@code key} is unchanged.
     */
    public static native void ASymGenPrivateKey(Object key, int nSign, byte[] n, int eSign,
            byte[] e, int dSign, byte[] d, int pSign, byte[] p, int qSign, byte[] q, int dPSign,
            byte[] dP, int dQSign, byte[] dQ, int qInvSign, byte[] qInv);

    /**
     * Imports an RSA public key (n, e) into {@code key} (a {@link CmvpPublicKey}), as
     * {@link #ASymGenPrivateKey} does for private keys; free it with {@link #ASymDeleteKey}.
     */
    public static native void ASymGenPublicKey(Object key, int nSign, byte[] n, int eSign,
            byte[] e);

    /** Checks that the two keys form a pair. Returns 0, -1 for a missing key, or a module code. */
    public static native int ASymCheckKeyPair(Object priKey, Object pubKey);

    /**
     * Frees the native records of keys made by {@link #ASymGenKeyPair}; either may be null. The
     * objects' fields keep the old addresses: do not use or free the keys again.
     */
    public static native void ASymDeleteKeyPair(Object priKey, Object pubKey);

    /**
     * Frees the native records of keys made by {@link #ASymGenPrivateKey} or
     * {@link #ASymGenPublicKey}; either may be null. The objects' fields keep the old addresses:
     * do not use or free the keys again.
     */
    public static native void ASymDeleteKey(Object priKey, Object pubKey);

    /**
     * Encrypts the first {@code inLen} bytes of {@code in} with scheme {@code pencId} under the
     * RSA public key {@code pubKey}, with the {@link CmvpOaepParameter} {@code oaepParam} for
     * OAEP (no label), into the start of {@code out}, which must hold the modulus length. Returns
     * the ciphertext length, -1 for a missing object or field, an {@code inLen} beyond
     * {@code in} or an {@code out} shorter than the modulus, or a module code; on failure
     * {@code out} is unchanged. The module admits RSAES-PKCS1-v1_5 only in its non-approved state.
     */
    public static native int ASymEncrypt(byte[] out, byte[] in, int inLen, int pencId,
            Object pubKey, Object oaepParam);

    /**
     * Decrypts the first {@code inLen} bytes of {@code in} with the RSA private key
     * {@code priKey}, as {@link #ASymEncrypt}, into the start of {@code out}. Returns the
     * plaintext length, -1 also when {@code out} cannot hold the plaintext, or a module code;
     * on failure {@code out} is unchanged.
     */
    public static native int ASymDecrypt(byte[] out, byte[] in, int inLen, int pencId,
            Object priKey, Object oaepParam);

    /**
     * Signs the first {@code msgLen} bytes of {@code msg} with scheme {@code signId} (RSA: 3 to 6,
     * or 11 with a {@link CmvpSignParameter}) under {@code priKey} into the start of {@code sig},
     * which must hold the modulus length. {@code inputIsDigest} is 1 only for the scheme over a
     * caller's digest, which the approved state refuses. Returns the signature length, -1 for a
     * missing object or field, an {@code msgLen} beyond {@code msg} or a short {@code sig}, or a
     * module code; on failure {@code sig} is unchanged.
     *
     * <p>KCDSA (16 to 18) and ECDSA (21) cannot be used from Java: their keys cannot be made (see
     * {@link #ASymGenKeyPair}), KCDSA also needs the signer's public key in the sign parameter,
     * which two integers cannot carry, and a {@link CmvpParameters} object has no parameter
     * values.
     */
    public static native int ASymSign(byte[] sig, int inputIsDigest, byte[] msg, int msgLen,
            int signId, Object priKey, Object params, Object signParam);

    /**
     * Verifies the first {@code sigLen} bytes of {@code sig} over the first {@code msgLen} bytes
     * of {@code msg}, as {@link #ASymSign} with the public key. Returns 0 for a valid signature,
     * -1 for a missing object or field or a length beyond its array, or a module code (the
     * scheme's verification failure for an invalid signature).
     */
    public static native int ASymSignVerify(byte[] sig, int sigLen, int inputIsDigest, byte[] msg,
            int msgLen, int signId, Object pubKey, Object params, Object signParam);

    /**
     * Reads integer {@code index} of an RSA key body into {@code out} in the native integer
     * layout: of a {@link CmvpPrivateKey} 0 to 7 (n, e, d, p, q, dP, dQ, qInv), of a
     * {@link CmvpPublicKey} 0 and 1 (n, e). {@code out} must hold 1028 bytes. Returns the number
     * of bytes written (four per word), or -1 for a missing object, field or body, a key of
     * another algorithm, an index out of range, a negative integer or a short array.
     */
    public static native int ASymGetKeyComponent(Object key, int index, byte[] out);

    /** Largest magnitude of one native integer, in bytes (257 words). */
    public static final int MAX_INTEGER_BYTES = 1028;

    /**
     * The magnitude of {@code v} in the layout of the module's integer record: 32-bit words, least
     * significant first, each word in the platform's byte order. {@code v} must not be negative.
     */
    public static byte[] toNativeLayout(java.math.BigInteger v) {
        if (v.signum() < 0) {
            throw new IllegalArgumentException("negative integer");
        }
        byte[] be = v.toByteArray();
        int start = (be.length > 1 && be[0] == 0) ? 1 : 0;
        int len = be.length - start;
        if (v.signum() == 0) {
            return new byte[0];
        }
        int words = (len + 3) / 4;
        byte[] out = new byte[words * 4];
        boolean little = java.nio.ByteOrder.nativeOrder() == java.nio.ByteOrder.LITTLE_ENDIAN;
        for (int i = 0; i < len; i++) {
            int significance = len - 1 - i;  // byte i of the big-endian form, counted from the end
            int word = significance / 4;
            int inWord = significance % 4;
            out[word * 4 + (little ? inWord : 3 - inWord)] = be[start + i];
        }
        return out;
    }

    /** The non-negative integer in the first {@code len} bytes of a {@link #toNativeLayout}. */
    public static java.math.BigInteger fromNativeLayout(byte[] layout, int len) {
        byte[] be = new byte[len + 1];
        boolean little = java.nio.ByteOrder.nativeOrder() == java.nio.ByteOrder.LITTLE_ENDIAN;
        for (int significance = 0; significance < len; significance++) {
            int word = significance / 4;
            int inWord = significance % 4;
            be[len - significance] = layout[word * 4 + (little ? inWord : 3 - inWord)];
        }
        return new java.math.BigInteger(be);
    }
}
