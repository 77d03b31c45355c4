package security;

import java.math.BigInteger;

/** A private key as the natives read and write it, owned as {@link CmvpKey} describes. */
public final class CmvpPrivateKey extends CmvpKey {
    /** Address of the key body. Written by the natives. */
    private long privKey;

    public CmvpPrivateKey() {}

    /**
     * Imports the RSA private key with the given components. Throws IllegalArgumentException for
     * a negative or oversize component or when the native key cannot be made.
     */
    public static CmvpPrivateKey importRsa(BigInteger n, BigInteger e, BigInteger d, BigInteger p,
            BigInteger q, BigInteger dP, BigInteger dQ, BigInteger qInv) {
        CmvpPrivateKey key = new CmvpPrivateKey();
        Cmvp.ASymGenPrivateKey(key, 0, Cmvp.toNativeLayout(n), 0, Cmvp.toNativeLayout(e), 0,
                Cmvp.toNativeLayout(d), 0, Cmvp.toNativeLayout(p), 0, Cmvp.toNativeLayout(q), 0,
                Cmvp.toNativeLayout(dP), 0, Cmvp.toNativeLayout(dQ), 0, Cmvp.toNativeLayout(qInv));
        if (!key.isOpen()) {
            throw new IllegalArgumentException("the RSA private key could not be imported");
        }
        key.own(CmvpNativeKey.Origin.IMPORTED_PRIVATE);
        return key;
    }

    @Override
    void clearBody() {
        privKey = 0;
    }
}
