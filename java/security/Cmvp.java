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
}
