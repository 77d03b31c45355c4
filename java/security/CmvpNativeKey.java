package security;

import java.lang.ref.Cleaner;

/**
 * The native record of one key and the delete native that frees it, run at most once: by the
 * key's {@code close()} or, as a safety net, by a cleaner when the key object becomes
 * unreachable. It holds only the record's address, never the key object.
 */
final class CmvpNativeKey implements Runnable {
    /** The one cleaner thread of the bridge's Java objects: keys and digest or HMAC contexts. */
    static final Cleaner CLEANER = Cleaner.create();

    /** How the key was made, which decides who frees its body. */
    enum Origin { GENERATED_PRIVATE, GENERATED_PUBLIC, IMPORTED_PRIVATE, IMPORTED_PUBLIC }

    /** Address of the native key record, 0 once freed. Read by the delete natives. */
    private long address;
    private final Origin origin;

    CmvpNativeKey(long address, Origin origin) {
        this.address = address;
        this.origin = origin;
    }

    @Override
    public synchronized void run() {
        if (address == 0) {
            return;
        }
        switch (origin) {
            case GENERATED_PRIVATE:
                Cmvp.ASymDeleteKeyPair(this, null);
                break;
            case GENERATED_PUBLIC:
                Cmvp.ASymDeleteKeyPair(null, this);
                break;
            case IMPORTED_PRIVATE:
                Cmvp.ASymDeleteKey(this, null);
                break;
            case IMPORTED_PUBLIC:
                Cmvp.ASymDeleteKey(null, this);
                break;
        }
        address = 0;
    }
}
