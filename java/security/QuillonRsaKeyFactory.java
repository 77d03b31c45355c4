package security;

import java.math.BigInteger;
import java.security.InvalidKeyException;
import java.security.Key;
import java.security.KeyFactorySpi;
import java.security.PrivateKey;
import java.security.PublicKey;
import java.security.interfaces.RSAPrivateCrtKey;
import java.security.interfaces.RSAPublicKey;
import java.security.spec.InvalidKeySpecException;
import java.security.spec.KeySpec;
import java.security.spec.PKCS8EncodedKeySpec;
import java.security.spec.RSAPrivateCrtKeySpec;
import java.security.spec.RSAPublicKeySpec;
import java.security.spec.X509EncodedKeySpec;

/**
 * KeyFactory for RSA: keys from their integers (RSAPublicKeySpec, RSAPrivateCrtKeySpec) or
 * their encodings (X.509, PKCS #8), imported into the module, and the specs of any RSA key.
 * Private keys need all CRT components.
 */
final class QuillonRsaKeyFactory extends KeyFactorySpi {
    @Override
    protected PublicKey engineGeneratePublic(KeySpec spec) throws InvalidKeySpecException {
        try {
            if (spec instanceof RSAPublicKeySpec) {
                RSAPublicKeySpec s = (RSAPublicKeySpec) spec;
                return QuillonRsaPublicKey.of(s.getModulus(), s.getPublicExponent());
            }
            if (spec instanceof X509EncodedKeySpec) {
                BigInteger[] ne = QuillonDer.readPublicKeyInfo(
                        ((X509EncodedKeySpec) spec).getEncoded());
                return QuillonRsaPublicKey.of(ne[0], ne[1]);
            }
        } catch (InvalidKeyException e) {
            throw new InvalidKeySpecException(e.getMessage(), e);
        }
        throw new InvalidKeySpecException("RSAPublicKeySpec or X509EncodedKeySpec needed");
    }

    @Override
    protected PrivateKey engineGeneratePrivate(KeySpec spec) throws InvalidKeySpecException {
        try {
            if (spec instanceof RSAPrivateCrtKeySpec) {
                RSAPrivateCrtKeySpec s = (RSAPrivateCrtKeySpec) spec;
                return QuillonRsaPrivateKey.of(s.getModulus(), s.getPublicExponent(),
                        s.getPrivateExponent(), s.getPrimeP(), s.getPrimeQ(),
                        s.getPrimeExponentP(), s.getPrimeExponentQ(), s.getCrtCoefficient());
            }
            if (spec instanceof PKCS8EncodedKeySpec) {
                return QuillonRsaPrivateKey.of(QuillonDer.readPrivateKeyInfo(
                        ((PKCS8EncodedKeySpec) spec).getEncoded()));
            }
        } catch (InvalidKeyException e) {
            throw new InvalidKeySpecException(e.getMessage(), e);
        }
        throw new InvalidKeySpecException("RSAPrivateCrtKeySpec or PKCS8EncodedKeySpec needed");
    }

    @Override
    protected <T extends KeySpec> T engineGetKeySpec(Key key, Class<T> type)
            throws InvalidKeySpecException {
        if (key instanceof RSAPublicKey) {
            RSAPublicKey k = (RSAPublicKey) key;
            if (type.isAssignableFrom(RSAPublicKeySpec.class)) {
                return type.cast(new RSAPublicKeySpec(k.getModulus(), k.getPublicExponent()));
            }
            if (type.isAssignableFrom(X509EncodedKeySpec.class)) {
                return type.cast(new X509EncodedKeySpec(
                        QuillonDer.publicKeyInfo(k.getModulus(), k.getPublicExponent())));
            }
        } else if (key instanceof RSAPrivateCrtKey) {
            RSAPrivateCrtKey k = (RSAPrivateCrtKey) key;
            if (type.isAssignableFrom(RSAPrivateCrtKeySpec.class)) {
                return type.cast(new RSAPrivateCrtKeySpec(k.getModulus(), k.getPublicExponent(),
                        k.getPrivateExponent(), k.getPrimeP(), k.getPrimeQ(),
                        k.getPrimeExponentP(), k.getPrimeExponentQ(), k.getCrtCoefficient()));
            }
            if (type.isAssignableFrom(PKCS8EncodedKeySpec.class)) {
                return type.cast(new PKCS8EncodedKeySpec(QuillonDer.privateKeyInfo(
                        k.getModulus(), k.getPublicExponent(), k.getPrivateExponent(),
                        k.getPrimeP(), k.getPrimeQ(), k.getPrimeExponentP(),
                        k.getPrimeExponentQ(), k.getCrtCoefficient())));
            }
        }
        throw new InvalidKeySpecException("no " + type.getSimpleName() + " for this key");
    }

    @Override
    protected Key engineTranslateKey(Key key) throws InvalidKeyException {
        if (key instanceof RSAPublicKey) {
            return QuillonRsaPublicKey.from(key);
        }
        return QuillonRsaPrivateKey.from(key);
    }
}
