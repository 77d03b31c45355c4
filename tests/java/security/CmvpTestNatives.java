package security;

/** Module calls the bridge does not offer, for the tests: state changes and one-shot services. */
final class CmvpTestNatives {
    static {
        System.loadLibrary("qlbridge_test_natives");
    }

    private CmvpTestNatives() {}

    static final int STATE_NON_APPROVED = 3;
    static final int STATE_APPROVED = 5;

    /** Enters the working state if needed, then changes to {@code state}; returns the status. */
    static native int StateChange(int state);

    static native int StateInfo();

    /** The library's one-shot digest, or null on failure. */
    static native byte[] Hash(int hashId, byte[] data);

    /** The library's one-shot HMAC with a key record for {@code macId}, or null on failure. */
    static native byte[] Hmac(int macId, byte[] key, byte[] data);

    /** The library's one-shot encryption, or null on failure. */
    static native byte[] SymEncrypt(int symId, int mode, int padding, byte[] key, byte[] iv,
            byte[] data);
}
