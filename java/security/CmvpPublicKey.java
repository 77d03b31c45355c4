package security;

import java.lang.ref.Cleaner;
import java.math.BigInteger;

/**
 * A public key as the natives read and write it, owned and freed as {@link CmvpPrivateKey}
 * describes.
 */
public final class CmvpPublicKey implements AutoCloseable {
    /** First word of the key record. Written by the natives. */
    private int typeID;
    /** Public-key algorithm identifier. Written by the natives. */
    private int pkeyID;
    /** Address of the key body. Written by the natives. */
    private long pubKey;
    /** Address of the key record. Written by the natives. */
    private long address;

    private Cleaner.Cleanable cleanable;

    public CmvpPublicKey() {}

    /** Imports the RSA public key (n, e); throws IllegalArgumentException when it cannot. */
    public static CmvpPublicKey importRsa(BigInteger n, BigInteger e) {
        CmvpPublicKey key = new CmvpPublicKey();
        Cmvp.ASymGenPublicKey(key, 0, Cmvp.toNativeLayout(n), 0, Cmvp.toNativeLayout(e));
        if (key.address == 0) {
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

    void own(CmvpNativeKey.Origin origin) {
        cleanable = CmvpNativeKey.CLEANER.register(this, new CmvpNativeKey(address, origin));
    }

    public synchronized boolean isOpen() {
        return address != 0;
    }

    public synchronized int getAlgorithm() {
        return pkeyID;
    }

    @Override
    public synchronized void close() {
        if (cleanable == null) {
            return;
        }
        cleanable.clean();
        cleanable = null;
        typeID = 0;
        pkeyID = 0;
        pubKey = 0;
        address = 0;
    }
}
