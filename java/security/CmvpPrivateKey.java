package security;

import java.lang.ref.Cleaner;
import java.math.BigInteger;

/**
 * A private key as the natives read and write it: the two identifier words of the native key
 * record and the addresses of its body and of the record.
 *
 * <p>Keys made by {@link #importRsa} or {@link CmvpPublicKey#generateRsaPair} are owned by this
 * object: {@link #close} frees the native key (a cleaner does so too when the object becomes
 * unreachable), exactly once; do not pass them to a delete native. An object created with the
 * constructor and filled by {@link Cmvp#ASymGenKeyPair} or {@link Cmvp#ASymGenPrivateKey}
 * directly is the caller's to free with the matching delete native, and {@code close} leaves it.
 * Methods that use the native key hold this object's lock, so {@code close} never frees a key
 * that another thread is using.
 */
public final class CmvpPrivateKey implements AutoCloseable {
    /** First word of the key record. Written by the natives. */
    private int typeID;
    /** Public-key algorithm identifier, {@link Cmvp#PKEY_RSA} for imported keys. */
    private int pkeyID;
    /** Address of the key body. Written by the natives. */
    private long privKey;
    /** Address of the key record. Written by the natives. */
    private long address;

    private Cleaner.Cleanable cleanable;

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
        if (key.address == 0) {
            throw new IllegalArgumentException("the RSA private key could not be imported");
        }
        key.own(CmvpNativeKey.Origin.IMPORTED_PRIVATE);
        return key;
    }

    /** Makes this object the owner of its native key. */
    void own(CmvpNativeKey.Origin origin) {
        cleanable = CmvpNativeKey.CLEANER.register(this, new CmvpNativeKey(address, origin));
    }

    /** Whether the object holds a native key record. */
    public synchronized boolean isOpen() {
        return address != 0;
    }

    /** The public-key algorithm identifier of the key. */
    public synchronized int getAlgorithm() {
        return pkeyID;
    }

    /** Frees a key this object owns and forgets it; a second call does nothing. */
    @Override
    public synchronized void close() {
        if (cleanable == null) {
            return;
        }
        cleanable.clean();
        cleanable = null;
        typeID = 0;
        pkeyID = 0;
        privKey = 0;
        address = 0;
    }
}
