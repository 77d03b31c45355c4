package security;

import java.security.AlgorithmParameters;
import java.security.InvalidAlgorithmParameterException;
import java.security.InvalidKeyException;
import java.security.Key;
import java.security.NoSuchAlgorithmException;
import java.security.SecureRandom;
import java.security.spec.AlgorithmParameterSpec;
import java.security.spec.InvalidParameterSpecException;
import java.security.spec.MGF1ParameterSpec;
import java.util.Arrays;
import java.util.Locale;
import java.util.Map;
import javax.crypto.BadPaddingException;
import javax.crypto.Cipher;
import javax.crypto.CipherSpi;
import javax.crypto.IllegalBlockSizeException;
import javax.crypto.NoSuchPaddingException;
import javax.crypto.ShortBufferException;
import javax.crypto.spec.OAEPParameterSpec;
import javax.crypto.spec.PSource;

/**
 * Cipher "RSA" over the module's RSAES-PKCS1-v1_5 and RSAES-OAEP: encryption with a public
 * key, decryption with a private key, one block per {@code doFinal}. OAEP takes SHA-1 to SHA-512
 * for the label digest and for MGF1 and no label; "OAEPWith&lt;digest&gt;AndMGF1Padding" uses
 * MGF1 with SHA-1 unless an OAEPParameterSpec says otherwise, as the JDK does. The approved
 * state of the module admits OAEP only. Every decryption failure is a BadPaddingException.
 */
final class QuillonRsaCipher extends CipherSpi {
    private static final Map<String, int[]> DIGESTS = Map.of(
            "SHA-1", new int[] {Cmvp.HASH_SHA1, Cmvp.MGF1_SHA1, 20},
            "SHA-256", new int[] {Cmvp.HASH_SHA256, Cmvp.MGF1_SHA256, 32},
            "SHA-384", new int[] {Cmvp.HASH_SHA384, Cmvp.MGF1_SHA384, 48},
            "SHA-512", new int[] {Cmvp.HASH_SHA512, Cmvp.MGF1_SHA512, 64});

    private int pencId = Cmvp.PENC_RSA_V15;
    private String paddingDigest = "SHA-1";
    private CmvpOaepParameter oaep;
    private int hashLength;
    private boolean encrypting;
    private QuillonRsaPublicKey publicKey;
    private QuillonRsaPrivateKey privateKey;
    private byte[] buffer = new byte[0];
    private int length;

    @Override
    protected void engineSetMode(String mode) throws NoSuchAlgorithmException {
        String m = mode.toUpperCase(Locale.ROOT);
        if (!m.equals("ECB") && !m.equals("NONE")) {
            throw new NoSuchAlgorithmException("RSA: no mode " + mode);
        }
    }

    @Override
    protected void engineSetPadding(String padding) throws NoSuchPaddingException {
        String p = padding.toUpperCase(Locale.ROOT);
        if (p.equals("PKCS1PADDING")) {
            pencId = Cmvp.PENC_RSA_V15;
            return;
        }
        if (p.equals("OAEPPADDING")) {
            pencId = Cmvp.PENC_RSA_OAEP;
            paddingDigest = "SHA-1";
            return;
        }
        if (p.startsWith("OAEPWITH") && p.endsWith("ANDMGF1PADDING")) {
            String d = canonical(p.substring(8, p.length() - 14));
            if (DIGESTS.containsKey(d)) {
                pencId = Cmvp.PENC_RSA_OAEP;
                paddingDigest = d;
                return;
            }
        }
        throw new NoSuchPaddingException("RSA: no padding " + padding);
    }

    private static String canonical(String name) {
        String n = name.toUpperCase(Locale.ROOT);
        return n.startsWith("SHA") && !n.startsWith("SHA-") ? "SHA-" + n.substring(3) : n;
    }

    @Override
    protected int engineGetBlockSize() {
        return 0;
    }

    private int modulusLength() {
        return encrypting ? publicKey.length() : privateKey.length();
    }

    @Override
    protected int engineGetOutputSize(int inputLen) {
        return modulusLength();
    }

    @Override
    protected byte[] engineGetIV() {
        return null;
    }

    @Override
    protected AlgorithmParameters engineGetParameters() {
        return null;
    }

    @Override
    protected void engineInit(int opmode, Key key, SecureRandom random) throws InvalidKeyException {
        try {
            engineInit(opmode, key, (AlgorithmParameterSpec) null, random);
        } catch (InvalidAlgorithmParameterException e) {
            throw new InvalidKeyException(e.getMessage(), e);
        }
    }

    @Override
    protected void engineInit(int opmode, Key key, AlgorithmParameters params, SecureRandom random)
            throws InvalidKeyException, InvalidAlgorithmParameterException {
        OAEPParameterSpec spec = null;
        if (params != null) {
            try {
                spec = params.getParameterSpec(OAEPParameterSpec.class);
            } catch (InvalidParameterSpecException e) {
                throw new InvalidAlgorithmParameterException("OAEP parameters needed", e);
            }
        }
        engineInit(opmode, key, spec, random);
    }

    @Override
    protected void engineInit(int opmode, Key key, AlgorithmParameterSpec params,
            SecureRandom random) throws InvalidKeyException, InvalidAlgorithmParameterException {
        int[] digest = null;
        int[] mgf = null;
        if (pencId == Cmvp.PENC_RSA_OAEP) {
            OAEPParameterSpec spec = params != null ? checkedOaep(params)
                    : new OAEPParameterSpec(paddingDigest, "MGF1", MGF1ParameterSpec.SHA1,
                            PSource.PSpecified.DEFAULT);
            digest = DIGESTS.get(canonical(spec.getDigestAlgorithm()));
            mgf = DIGESTS.get(canonical(
                    ((MGF1ParameterSpec) spec.getMGFParameters()).getDigestAlgorithm()));
            if (digest == null || mgf == null) {
                throw new InvalidAlgorithmParameterException("OAEP digests are SHA-1 to SHA-512");
            }
        } else if (params != null) {
            throw new InvalidAlgorithmParameterException("PKCS1Padding takes no parameters");
        }
        int status = Cmvp.ASymEncrypt(new byte[0], new byte[0], 0, pencId, new CmvpPublicKey(),
                null);
        if (QuillonProvider.isGateRefusal(status)) {
            throw new InvalidKeyException(new QuillonProvider.ModuleRefusal(
                    pencId == Cmvp.PENC_RSA_OAEP ? "RSAES-OAEP" : "RSAES-PKCS1-v1_5", status)
                    .getMessage());
        }
        if (opmode == Cipher.ENCRYPT_MODE) {
            publicKey = QuillonRsaPublicKey.from(key);
            privateKey = null;
            encrypting = true;
        } else if (opmode == Cipher.DECRYPT_MODE) {
            privateKey = QuillonRsaPrivateKey.from(key);
            publicKey = null;
            encrypting = false;
        } else {
            throw new InvalidKeyException("unknown operation mode " + opmode);
        }
        oaep = digest == null ? null
                : new CmvpOaepParameter(digest[0], mgf[1], Cmvp.OAEP_SOURCE_SPECIFIED);
        hashLength = digest == null ? 0 : digest[2];
        clear();
        buffer = new byte[modulusLength()];
    }

    private static OAEPParameterSpec checkedOaep(AlgorithmParameterSpec params)
            throws InvalidAlgorithmParameterException {
        if (!(params instanceof OAEPParameterSpec)) {
            throw new InvalidAlgorithmParameterException("OAEPParameterSpec needed");
        }
        OAEPParameterSpec spec = (OAEPParameterSpec) params;
        if (!"MGF1".equalsIgnoreCase(spec.getMGFAlgorithm())
                || !(spec.getMGFParameters() instanceof MGF1ParameterSpec)) {
            throw new InvalidAlgorithmParameterException("only MGF1 is supported");
        }
        PSource source = spec.getPSource();
        if (!(source instanceof PSource.PSpecified)
                || ((PSource.PSpecified) source).getValue().length != 0) {
            throw new InvalidAlgorithmParameterException("OAEP labels are not supported");
        }
        return spec;
    }

    private void clear() {
        Arrays.fill(buffer, (byte) 0);
        length = 0;
    }

    @Override
    protected byte[] engineUpdate(byte[] input, int offset, int len) {
        if (buffer.length == 0) {
            throw new IllegalStateException("RSA is not initialised");
        }
        if (len > 0) {
            if (length + len > buffer.length) {
                // Kept to report in doFinal: the input is longer than one block.
                length = buffer.length + 1;
            } else {
                System.arraycopy(input, offset, buffer, length, len);
                length += len;
            }
        }
        return new byte[0];
    }

    @Override
    protected int engineUpdate(byte[] input, int offset, int len, byte[] output, int outOffset) {
        engineUpdate(input, offset, len);
        return 0;
    }

    @Override
    protected byte[] engineDoFinal(byte[] input, int offset, int len)
            throws IllegalBlockSizeException, BadPaddingException {
        engineUpdate(input, offset, len);
        try {
            int k = modulusLength();
            if (encrypting) {
                int max = pencId == Cmvp.PENC_RSA_OAEP ? k - 2 * hashLength - 2 : k - 11;
                if (length > max) {
                    throw new IllegalBlockSizeException("RSA: at most " + max + " bytes");
                }
                byte[] out = new byte[k];
                CmvpPublicKey nk = publicKey.nativeKey();
                int n;
                synchronized (nk) {
                    n = Cmvp.ASymEncrypt(out, buffer, length, pencId, nk, oaep);
                }
                if (n < 0) {
                    throw QuillonProvider.failure("RSA encryption", n);
                }
                return Arrays.copyOf(out, n);
            }
            if (length > k) {
                throw new IllegalBlockSizeException("RSA: at most " + k + " bytes");
            }
            byte[] out = new byte[k];
            CmvpPrivateKey nk = privateKey.nativeKey();
            int n;
            synchronized (nk) {
                if (!nk.isOpen()) {
                    throw new IllegalStateException("the key was destroyed");
                }
                n = Cmvp.ASymDecrypt(out, buffer, length, pencId, nk, oaep);
            }
            if (n < 0) {
                throw new BadPaddingException("RSA decryption: " + QuillonProvider.message(n));
            }
            byte[] result = Arrays.copyOf(out, n);
            Arrays.fill(out, (byte) 0);
            return result;
        } finally {
            clear();
        }
    }

    @Override
    protected int engineDoFinal(byte[] input, int offset, int len, byte[] output, int outOffset)
            throws ShortBufferException, IllegalBlockSizeException, BadPaddingException {
        byte[] out = engineDoFinal(input, offset, len);
        if (output.length - outOffset < out.length) {
            Arrays.fill(out, (byte) 0);
            throw new ShortBufferException("the output needs " + out.length + " bytes");
        }
        System.arraycopy(out, 0, output, outOffset, out.length);
        Arrays.fill(out, (byte) 0);
        return out.length;
    }
}
