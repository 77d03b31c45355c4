package security;

import java.lang.ref.Cleaner;

/**
 * What private and public keys share as the natives read and write them: the two identifier
 * words of the native key record and the record's address; the subclass adds the body's.
 *
 * <p>Keys made by {@link CmvpPrivateKey#importRsa}, {@link CmvpPublicKey#importRsa} or
 * {@link CmvpPublicKey#generateRsaPair} are owned by their object: {@link #close} frees the
 * native key (a cleaner does so too when the object becomes unreachable), exactly once; do not
 * pass them to a delete native. An object created with a constructor and filled by the Gen
 * natives directly is the caller's to free with the matching delete native, and {@code close}
 * leaves it. Whoever uses a key's native record holds the key object's lock, so {@code close}
 * never frees a key that another thread is using.
 */
public abstract class CmvpKey implements AutoCloseable {
    /** First word of the key record. Written by the natives. */
    private int typeID;
    /** Public-key algorithm identifier, {@link Cmvp#PKEY_RSA} for imported keys. */
    private int pkeyID;
    /** Address of the key record. Written by the natives. */
    private long address;

    private Cleaner.Cleanable cleanable;

    CmvpKey() {}

    /** Makes this object the owner of its native key. */
    final void own(CmvpNativeKey.Origin origin) {
        cleanable = CmvpNativeKey.CLEANER.register(this, new CmvpNativeKey(address, origin));
    }

    /** Forgets the body's address once the key is freed. */
    abstract void clearBody();

    /** Whether the object holds a native key record. */
    public final synchronized boolean isOpen() {
        return address != 0;
    }

    /** The public-key algorithm identifier of the key. */
    public final synchronized int getAlgorithm() {
        return pkeyID;
    }

    /** Frees a key this object owns and forgets it; a second call does nothing. */
    @Override
    public final synchronized void close() {
        if (cleanable == null) {
            return;
        }
        cleanable.clean();
        cleanable = null;
        typeID = 0;
        pkeyID = 0;
        address = 0;
        clearBody();
    }
}
