package security;

import java.security.InvalidAlgorithmParameterException;
import java.security.InvalidKeyException;
import java.security.InvalidParameterException;
import java.security.PrivateKey;
import java.security.PublicKey;
import java.security.SignatureException;
import java.security.SignatureSpi;
import java.security.spec.AlgorithmParameterSpec;
import java.security.spec.MGF1ParameterSpec;
import java.security.spec.PSSParameterSpec;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/**
 * Signature over the module's RSA schemes: RSASSA-PKCS1-v1_5 with SHA-1 to SHA-512, and
 * RSASSA-PSS with a PSSParameterSpec whose digest and MGF1 digest are SHA-1 to SHA-512, salt
 * as long as the digest and trailer field 1. The module signs whole messages, so the message is
 * collected here until {@code sign} or {@code verify}. Keys of other providers are imported into
 * the module (private keys need their CRT components).
 */
final class QuillonRsaSignature extends SignatureSpi {
    enum Scheme {
        SHA1("SHA1withRSA", List.of("SHA-1withRSA"), Cmvp.SIGN_RSA_SHA1),
        SHA256("SHA256withRSA", List.of("SHA-256withRSA"), Cmvp.SIGN_RSA_SHA256),
        SHA384("SHA384withRSA", List.of("SHA-384withRSA"), Cmvp.SIGN_RSA_SHA384),
        SHA512("SHA512withRSA", List.of("SHA-512withRSA"), Cmvp.SIGN_RSA_SHA512),
        PSS("RSASSA-PSS", List.of("PSS"), Cmvp.SIGN_RSA_PSS);

        final String jcaName;
        final List<String> aliases;
        final int signId;

        Scheme(String jcaName, List<String> aliases, int signId) {
            this.jcaName = jcaName;
            this.aliases = aliases;
            this.signId = signId;
        }
    }

    /** Digests that PSS admits: module identifier and length, by JCA name. */
    private static final Map<String, int[]> PSS_DIGESTS = Map.of(
            "SHA-1", new int[] {Cmvp.HASH_SHA1, Cmvp.MGF1_SHA1, 20},
            "SHA-256", new int[] {Cmvp.HASH_SHA256, Cmvp.MGF1_SHA256, 32},
            "SHA-384", new int[] {Cmvp.HASH_SHA384, Cmvp.MGF1_SHA384, 48},
            "SHA-512", new int[] {Cmvp.HASH_SHA512, Cmvp.MGF1_SHA512, 64});

    /** Codes of a signature that does not verify (PKCS #1 v1.5, PSS block, PSS check). */
    private static final List<Integer> INVALID = List.of(-3033, -3041, -3018);

    private final Scheme scheme;
    private QuillonRsaPrivateKey privateKey;
    private QuillonRsaPublicKey publicKey;
    private CmvpSignParameter signParam;
    private byte[] message = new byte[256];
    private int length;

    QuillonRsaSignature(Scheme scheme) {
        this.scheme = scheme;
    }

    /** Throws when the module's state does not admit the scheme. */
    private void checkAdmitted() throws InvalidKeyException {
        int status = Cmvp.ASymSign(new byte[0], 0, new byte[0], 0, scheme.signId,
                new CmvpPrivateKey(), null, null);
        if (QuillonProvider.isGateRefusal(status)) {
            throw new InvalidKeyException(
                    new QuillonProvider.ModuleRefusal(scheme.jcaName, status).getMessage());
        }
    }

    @Override
    protected void engineInitSign(PrivateKey key) throws InvalidKeyException {
        checkAdmitted();
        privateKey = QuillonRsaPrivateKey.from(key);
        publicKey = null;
        length = 0;
    }

    @Override
    protected void engineInitVerify(PublicKey key) throws InvalidKeyException {
        checkAdmitted();
        publicKey = QuillonRsaPublicKey.from(key);
        privateKey = null;
        length = 0;
    }

    @Override
    protected void engineUpdate(byte b) {
        engineUpdate(new byte[] {b}, 0, 1);
    }

    @Override
    protected void engineUpdate(byte[] b, int off, int len) {
        if (length + len > message.length) {
            message = Arrays.copyOf(message, Math.max(message.length * 2, length + len));
        }
        System.arraycopy(b, off, message, length, len);
        length += len;
    }

    private CmvpSignParameter parameter() throws SignatureException {
        if (scheme != Scheme.PSS) {
            return null;
        }
        if (signParam == null) {
            throw new SignatureException("RSASSA-PSS needs a PSSParameterSpec");
        }
        return signParam;
    }

    @Override
    protected byte[] engineSign() throws SignatureException {
        if (privateKey == null) {
            throw new SignatureException("not initialised for signing");
        }
        try {
            CmvpSignParameter p = parameter();
            byte[] sig = new byte[privateKey.length()];
            CmvpPrivateKey k = privateKey.nativeKey();
            int n;
            synchronized (k) {
                if (!k.isOpen()) {
                    throw new SignatureException("the key was destroyed");
                }
                n = Cmvp.ASymSign(sig, 0, message, length, scheme.signId, k, null, p);
            }
            if (n < 0) {
                throw new SignatureException(scheme.jcaName + ": " + QuillonProvider.message(n));
            }
            return n == sig.length ? sig : Arrays.copyOf(sig, n);
        } finally {
            length = 0;
        }
    }

    @Override
    protected boolean engineVerify(byte[] sig) throws SignatureException {
        if (publicKey == null) {
            throw new SignatureException("not initialised for verification");
        }
        try {
            CmvpSignParameter p = parameter();
            CmvpPublicKey k = publicKey.nativeKey();
            int status;
            synchronized (k) {
                status = Cmvp.ASymSignVerify(sig, sig.length, 0, message, length, scheme.signId,
                        k, null, p);
            }
            if (status == 0) {
                return true;
            }
            if (INVALID.contains(status)) {
                return false;
            }
            throw new SignatureException(scheme.jcaName + ": " + QuillonProvider.message(status));
        } finally {
            length = 0;
        }
    }

    @Override
    protected void engineSetParameter(AlgorithmParameterSpec params)
            throws InvalidAlgorithmParameterException {
        if (scheme != Scheme.PSS) {
            if (params != null) {
                throw new InvalidAlgorithmParameterException(scheme.jcaName + " has no parameters");
            }
            return;
        }
        if (!(params instanceof PSSParameterSpec)) {
            throw new InvalidAlgorithmParameterException("PSSParameterSpec needed");
        }
        PSSParameterSpec spec = (PSSParameterSpec) params;
        int[] digest = PSS_DIGESTS.get(canonical(spec.getDigestAlgorithm()));
        if (!"MGF1".equalsIgnoreCase(spec.getMGFAlgorithm())
                || !(spec.getMGFParameters() instanceof MGF1ParameterSpec)) {
            throw new InvalidAlgorithmParameterException("only MGF1 is supported");
        }
        int[] mgf = PSS_DIGESTS.get(canonical(
                ((MGF1ParameterSpec) spec.getMGFParameters()).getDigestAlgorithm()));
        if (digest == null || mgf == null) {
            throw new InvalidAlgorithmParameterException("PSS digests are SHA-1 to SHA-512");
        }
        if (spec.getSaltLength() != digest[2] || spec.getTrailerField() != 1) {
            throw new InvalidAlgorithmParameterException(
                    "the salt must be as long as the digest, the trailer field 1");
        }
        signParam = new CmvpSignParameter(digest[0], mgf[1]);
    }

    private static String canonical(String name) {
        String n = name.toUpperCase(Locale.ROOT);
        return n.startsWith("SHA") && !n.startsWith("SHA-") ? "SHA-" + n.substring(3) : n;
    }

    @Override
    protected java.security.AlgorithmParameters engineGetParameters() {
        return null;
    }

    @Override
    @Deprecated
    protected void engineSetParameter(String param, Object value) {
        throw new InvalidParameterException("no such parameter");
    }

    @Override
    @Deprecated
    protected Object engineGetParameter(String param) {
        throw new InvalidParameterException("no such parameter");
    }
}
