package security;

import java.io.ObjectStreamException;
import java.math.BigInteger;
import java.security.InvalidKeyException;
import java.security.KeyRep;
import java.security.interfaces.RSAPublicKey;

/**
 * An RSA public key of the provider: its modulus and exponent, and the module's native key,
 * which is freed when the key becomes unreachable. Serialised as its X.509 encoding.
 */
final class QuillonRsaPublicKey implements RSAPublicKey {
    private static final long serialVersionUID = 1L;

    private final BigInteger n;
    private final BigInteger e;
    private final transient CmvpPublicKey nativeKey;

    QuillonRsaPublicKey(BigInteger n, BigInteger e, CmvpPublicKey nativeKey) {
        this.n = n;
        this.e = e;
        this.nativeKey = nativeKey;
    }

    /** Imports n and e into the module. */
    static QuillonRsaPublicKey of(BigInteger n, BigInteger e) throws InvalidKeyException {
        if (n.signum() <= 0 || e.signum() <= 0 || n.bitLength() > 8 * Cmvp.MAX_INTEGER_BYTES) {
            throw new InvalidKeyException("not an RSA public key");
        }
        try {
            return new QuillonRsaPublicKey(n, e, CmvpPublicKey.importRsa(n, e));
        } catch (IllegalArgumentException x) {
            throw new InvalidKeyException(x.getMessage(), x);
        }
    }

    /** The provider's key for any RSA public key. */
    static QuillonRsaPublicKey from(Object key) throws InvalidKeyException {
        if (key instanceof QuillonRsaPublicKey) {
            return (QuillonRsaPublicKey) key;
        }
        if (key instanceof RSAPublicKey) {
            RSAPublicKey k = (RSAPublicKey) key;
            return of(k.getModulus(), k.getPublicExponent());
        }
        throw new InvalidKeyException("an RSA public key is needed");
    }

    CmvpPublicKey nativeKey() {
        return nativeKey;
    }

    /** Modulus length in bytes. */
    int length() {
        return (n.bitLength() + 7) / 8;
    }

    @Override
    public BigInteger getModulus() {
        return n;
    }

    @Override
    public BigInteger getPublicExponent() {
        return e;
    }

    @Override
    public String getAlgorithm() {
        return "RSA";
    }

    @Override
    public String getFormat() {
        return "X.509";
    }

    @Override
    public byte[] getEncoded() {
        return QuillonDer.publicKeyInfo(n, e);
    }

    @Override
    public boolean equals(Object o) {
        return o instanceof RSAPublicKey && n.equals(((RSAPublicKey) o).getModulus())
                && e.equals(((RSAPublicKey) o).getPublicExponent());
    }

    @Override
    public int hashCode() {
        return n.hashCode() ^ e.hashCode();
    }

    private Object writeReplace() throws ObjectStreamException {
        return new KeyRep(KeyRep.Type.PUBLIC, "RSA", "X.509", getEncoded());
    }
}
