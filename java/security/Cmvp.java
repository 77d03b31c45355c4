package security;

/**
 * Native methods of the QuillonCrypto module: digests, HMACs and messages.
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
