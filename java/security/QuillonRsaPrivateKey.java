package security;

import java.io.ObjectStreamException;
import java.math.BigInteger;
import java.security.InvalidKeyException;
import java.security.KeyRep;
import java.security.interfaces.RSAPrivateCrtKey;
import javax.security.auth.DestroyFailedException;

/**
 * An RSA private key of the provider: its eight components and the module's native key.
 * {@link #destroy} frees the native key at once (a cleaner does so when the key becomes
 * unreachable) and forgets the components. Serialised as its PKCS #8 encoding.
 */
final class QuillonRsaPrivateKey implements RSAPrivateCrtKey {
    private static final long serialVersionUID = 1L;

    private BigInteger[] components;  // n, e, d, p, q, dP, dQ, qInv; null once destroyed
    private final transient CmvpPrivateKey nativeKey;

    QuillonRsaPrivateKey(BigInteger[] components, CmvpPrivateKey nativeKey) {
        this.components = components;
        this.nativeKey = nativeKey;
    }

    /** Imports the eight components into the module. */
    static QuillonRsaPrivateKey of(BigInteger... c) throws InvalidKeyException {
        for (BigInteger v : c) {
            if (v == null || v.signum() < 0 || v.bitLength() > 8 * Cmvp.MAX_INTEGER_BYTES) {
                throw new InvalidKeyException("not an RSA private key with CRT components");
            }
        }
        try {
            return new QuillonRsaPrivateKey(c.clone(),
                    CmvpPrivateKey.importRsa(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]));
        } catch (IllegalArgumentException x) {
            throw new InvalidKeyException(x.getMessage(), x);
        }
    }

    /** The provider's key for any RSA private key with its CRT components. */
    static QuillonRsaPrivateKey from(Object key) throws InvalidKeyException {
        if (key instanceof QuillonRsaPrivateKey) {
            return (QuillonRsaPrivateKey) key;
        }
        if (key instanceof RSAPrivateCrtKey) {
            RSAPrivateCrtKey k = (RSAPrivateCrtKey) key;
            return of(k.getModulus(), k.getPublicExponent(), k.getPrivateExponent(),
                    k.getPrimeP(), k.getPrimeQ(), k.getPrimeExponentP(), k.getPrimeExponentQ(),
                    k.getCrtCoefficient());
        }
        throw new InvalidKeyException("an RSA private key with its CRT components is needed");
    }

    CmvpPrivateKey nativeKey() {
        return nativeKey;
    }

    int length() {
        return (component(0).bitLength() + 7) / 8;
    }

    private synchronized BigInteger component(int i) {
        if (components == null) {
            throw new IllegalStateException("the key was destroyed");
        }
        return components[i];
    }

    @Override
    public BigInteger getModulus() {
        return component(0);
    }

    @Override
    public BigInteger getPublicExponent() {
        return component(1);
    }

    @Override
    public BigInteger getPrivateExponent() {
        return component(2);
    }

    @Override
    public BigInteger getPrimeP() {
        return component(3);
    }

    @Override
    public BigInteger getPrimeQ() {
        return component(4);
    }

    @Override
    public BigInteger getPrimeExponentP() {
        return component(5);
    }

    @Override
    public BigInteger getPrimeExponentQ() {
        return component(6);
    }

    @Override
    public BigInteger getCrtCoefficient() {
        return component(7);
    }

    @Override
    public String getAlgorithm() {
        return "RSA";
    }

    @Override
    public String getFormat() {
        return "PKCS#8";
    }

    @Override
    public synchronized byte[] getEncoded() {
        return components == null ? null : QuillonDer.privateKeyInfo(components);
    }

    @Override
    public synchronized void destroy() throws DestroyFailedException {
        nativeKey.close();
        components = null;
    }

    @Override
    public synchronized boolean isDestroyed() {
        return components == null;
    }

    private Object writeReplace() throws ObjectStreamException {
        return new KeyRep(KeyRep.Type.PRIVATE, "RSA", "PKCS#8", getEncoded());
    }
}
