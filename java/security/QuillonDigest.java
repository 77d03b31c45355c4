package security;

import java.security.MessageDigestSpi;
import java.util.List;

/** MessageDigest over the module's digests, on a {@link QuillonStream}. */
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

    private final Kind kind;
    private final QuillonStream stream;
    private final QuillonStream.Start start;

    QuillonDigest(Kind kind) {
        this.kind = kind;
        stream = new QuillonStream(this, kind.jcaName, kind.length, Cmvp::HashUpdate,
                Cmvp::HashFinal, Cmvp::HashRelease);
        start = ctx -> Cmvp.HashInit(ctx, kind.hashId);
        // Started at once, so that a digest the module refuses fails when it is asked for.
        int status = stream.start(start);
        if (status < 0) {
            if (QuillonProvider.isGateRefusal(status)) {
                throw new QuillonProvider.ModuleRefusal(kind.jcaName, status);
            }
            throw QuillonProvider.failure(kind.jcaName, status);
        }
    }

    @Override
    protected int engineGetDigestLength() {
        return kind.length;
    }

    @Override
    protected void engineUpdate(byte input) {
        stream.update(input, start);
    }

    @Override
    protected void engineUpdate(byte[] input, int offset, int len) {
        stream.update(input, offset, len, start);
    }

    @Override
    protected byte[] engineDigest() {
        return stream.finish(start);
    }

    @Override
    protected void engineReset() {
        stream.reset();
    }
}
