package security;

/**
 * Holds the native context of one streaming operation of {@link Cmvp}: a digest, an HMAC or a
 * cipher. The context is allocated by an Init method and must be freed by the Release method
 * of the same kind; a context that was never released is not freed by the garbage collector.
 */
public final class CmvpContext {
    /** Address of the native context, 0 when none. Read and written by the native methods. */
    private long m_handle;

    /** Whether this holder has a native context that a Release method has not yet freed. */
    public boolean isOpen() {
        return m_handle != 0;
    }
}
