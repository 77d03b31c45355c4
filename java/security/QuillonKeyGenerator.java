package security;

import java.security.InvalidAlgorithmParameterException;
import java.security.InvalidParameterException;
import java.security.ProviderException;
import java.security.SecureRandom;
import java.security.spec.AlgorithmParameterSpec;
import javax.crypto.KeyGeneratorSpi;
import javax.crypto.SecretKey;
import javax.crypto.spec.SecretKeySpec;

/**
 * KeyGenerator for cipher and HMAC keys, drawn by the module's secret-key service. Key sizes
 * are in bits; 0 (the default) lets the module choose its default length. The random source
 * passed to {@code init} is not used: keys come from the module generator.
 */
final class QuillonKeyGenerator extends KeyGeneratorSpi {
    private final String algorithm;
    private final int genId;
    private int keyBytes;

    QuillonKeyGenerator(QuillonBlockCipher.Algorithm a) {
        algorithm = a.jcaName;
        genId = Cmvp.GEN_CIPHER_KEY | a.symId;
        keyBytes = a.keyLengths[0];
    }

    QuillonKeyGenerator(QuillonDigest.Kind d) {
        algorithm = d.macName;
        genId = Cmvp.GEN_HMAC_KEY | d.macId;
        keyBytes = 0;
    }

    @Override
    protected void engineInit(SecureRandom random) {}

    @Override
    protected void engineInit(AlgorithmParameterSpec params, SecureRandom random)
            throws InvalidAlgorithmParameterException {
        throw new InvalidAlgorithmParameterException(algorithm + " keys take a size only");
    }

    @Override
    protected void engineInit(int keysize, SecureRandom random) {
        if (keysize <= 0 || keysize % 8 != 0 || keysize / 8 > 255) {
            throw new InvalidParameterException(algorithm + ": no key of " + keysize + " bits");
        }
        keyBytes = keysize / 8;
    }

    @Override
    protected SecretKey engineGenerateKey() {
        CmvpSecretKey key = new CmvpSecretKey();
        try {
            int status = Cmvp.GenSecKey(key, genId, keyBytes);
            if (status < 0) {
                if (QuillonProvider.isGateRefusal(status)) {
                    throw new ProviderException(
                            new QuillonProvider.ModuleRefusal(algorithm, status).getMessage());
                }
                throw new InvalidParameterException(algorithm + ": "
                        + QuillonProvider.message(status));
            }
            byte[] raw = key.getEncoded();
            SecretKeySpec spec = new SecretKeySpec(raw, algorithm);
            java.util.Arrays.fill(raw, (byte) 0);
            return spec;
        } finally {
            key.destroy();
        }
    }
}
