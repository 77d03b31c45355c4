package security;

import java.math.BigInteger;

/** A public key as the natives read and write it, owned as {@link CmvpKey} describes. */
public final class CmvpPublicKey extends CmvpKey {
    /** Address of the key body. Written by the natives. */
    private long pubKey;

    public CmvpPublicKey() {}

    /** Imports the RSA public key (n, e); throws IllegalArgumentException when it cannot. */
    public static CmvpPublicKey importRsa(BigInteger n, BigInteger e) {
        CmvpPublicKey key = new CmvpPublicKey();
        Cmvp.ASymGenPublicKey(key, 0, Cmvp.toNativeLayout(n), 0, Cmvp.toNativeLayout(e));
        if (!key.isOpen()) {
            throw new IllegalArgumentException("the RSA public key could not be imported");
        }
        key.own(CmvpNativeKey.Origin.IMPORTED_PUBLIC);
        return key;
    }

    /**
     * Generates an RSA key pair with a modulus of {@code modulusBytes} bytes and public exponent
     * {@code e} (0 for 65537) into the two fresh objects, which then own their keys. Returns 0
     * or the negative code of {@link Cmvp#ASymGenKeyPair}; on failure nothing is kept.
     */
    public static int generateRsaPair(CmvpPrivateKey priKey, CmvpPublicKey pubKey,
            int modulusBytes, int e) {
        int status = Cmvp.ASymGenKeyPair(priKey, pubKey, Cmvp.PKEY_RSA, null,
                new CmvpKeyGenParameter(modulusBytes, e));
        if (priKey.isOpen()) {
            priKey.own(CmvpNativeKey.Origin.GENERATED_PRIVATE);
        }
        if (pubKey.isOpen()) {
            pubKey.own(CmvpNativeKey.Origin.GENERATED_PUBLIC);
        }
        if (status < 0) {
            priKey.close();
            pubKey.close();
        }
        return status;
    }

    @Override
    void clearBody() {
        pubKey = 0;
    }
}
