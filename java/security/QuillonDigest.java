package security;

import java.lang.ref.Cleaner;
import java.security.MessageDigestSpi;
import java.util.Arrays;
import java.util.List;

/**
 * MessageDigest over the module's digests. The native context is made on first use, restarted
 * after each digest, and freed by a cleaner when the instance becomes unreachable; every native
 * call holds the context's lock, so the cleaner never frees a context in use.
 */
final class QuillonDigest extends MessageDigestSpi {
    /** The digests, with their JCA names, HMAC names and module identifiers. */
    enum Kind {
        SHA1("SHA-1", List.of("SHA1", "SHA"), "HmacSHA1", Cmvp.HASH_SHA1, Cmvp.HMAC_SHA1, 20, 64),
        SHA256("SHA-256", List.of("SHA256"), "HmacSHA256", Cmvp.HASH_SHA256, Cmvp.HMAC_SHA256, 32,
                64),
        SHA384("SHA-384", List.of("SHA384"), "HmacSHA384", Cmvp.HASH_SHA384, Cmvp.HMAC_SHA384, 48,
                128),
        SHA512("SHA-512", List.of("SHA512"), "HmacSHA512", Cmvp.HASH_SHA512, Cmvp.HMAC_SHA512, 64,
                128),
        HAS160("HAS160", List.of("HAS-160"), "HmacHAS160", Cmvp.HASH_HAS160, Cmvp.HMAC_HAS160, 20,
                64);

        final String jcaName;
        final List<String> aliases;
        final String macName;
        final int hashId;
        final int macId;
        final int length;
        final int blockLength;

        Kind(String jcaName, List<String> aliases, String macName, int hashId, int macId,
                int length, int blockLength) {
            this.jcaName = jcaName;
            this.aliases = aliases;
            this.macName = macName;
            this.hashId = hashId;
            this.macId = macId;
            this.length = length;
            this.blockLength = blockLength;
        }
    }

    private static final Cleaner CLEANER = Cleaner.create();

    private final Kind kind;
    private final CmvpContext ctx = new CmvpContext();
    private final byte[] one = new byte[1];

    QuillonDigest(Kind kind) {
        this.kind = kind;
        CLEANER.register(this, () -> {
            synchronized (ctx) {
                Cmvp.HashRelease(ctx);
            }
        });
        start();
    }

    /** Starts the native digest; the module refusing it is reported when the instance is made. */
    private void start() {
        synchronized (ctx) {
            int status = Cmvp.HashInit(ctx, kind.hashId);
            if (status < 0) {
                if (QuillonProvider.isGateRefusal(status)) {
                    throw new QuillonProvider.ModuleRefusal(kind.jcaName, status);
                }
                throw QuillonProvider.failure(kind.jcaName, status);
            }
        }
    }

    @Override
    protected int engineGetDigestLength() {
        return kind.length;
    }

    @Override
    protected void engineUpdate(byte input) {
        one[0] = input;
        engineUpdate(one, 0, 1);
    }

    @Override
    protected void engineUpdate(byte[] input, int offset, int len) {
        if (len <= 0) {
            return;
        }
        byte[] data = offset == 0 ? input : Arrays.copyOfRange(input, offset, offset + len);
        synchronized (ctx) {
            if (!ctx.isOpen()) {
                start();
            }
            int status = Cmvp.HashUpdate(ctx, data, len);
            if (status < 0) {
                throw QuillonProvider.failure(kind.jcaName + " update", status);
            }
        }
    }

    @Override
    protected byte[] engineDigest() {
        byte[] out = new byte[kind.length];
        synchronized (ctx) {
            if (!ctx.isOpen()) {
                start();
            }
            long status = Cmvp.HashFinal(ctx, out);
            Cmvp.HashRelease(ctx);
            if (status != kind.length) {
                throw QuillonProvider.failure(kind.jcaName + " final", (int) status);
            }
        }
        return out;
    }

    @Override
    protected void engineReset() {
        synchronized (ctx) {
            Cmvp.HashRelease(ctx);
        }
    }
}
