package security;

import java.security.ProviderException;
import java.security.SecureRandomSpi;

/**
 * SecureRandom over the module's random generator, which seeds and reseeds itself from the
 * module's entropy pool and runs a continuous test on its output. Seeds given to
 * {@code setSeed} are not used: the module generator takes no outside input.
 */
final class QuillonRandom extends SecureRandomSpi {
    private static final long serialVersionUID = 1L;

    @Override
    protected void engineSetSeed(byte[] seed) {}

    @Override
    protected void engineNextBytes(byte[] bytes) {
        if (bytes.length == 0) {
            return;
        }
        int status = Cmvp.Rand(bytes);
        if (status != bytes.length) {
            throw new ProviderException("module random generator: "
                    + QuillonProvider.message(status));
        }
    }

    @Override
    protected byte[] engineGenerateSeed(int numBytes) {
        byte[] out = new byte[numBytes];
        engineNextBytes(out);
        return out;
    }

    /** Random bytes from the module for the other services of the provider. */
    static byte[] bytes(int n) {
        byte[] out = new byte[n];
        new QuillonRandom().engineNextBytes(out);
        return out;
    }
}
