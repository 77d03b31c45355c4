package security;

import java.security.AlgorithmParameters;
import java.security.InvalidAlgorithmParameterException;
import java.security.InvalidKeyException;
import java.security.InvalidParameterException;
import java.security.Key;
import java.security.NoSuchAlgorithmException;
import java.security.SecureRandom;
import java.security.spec.AlgorithmParameterSpec;
import java.security.spec.InvalidParameterSpecException;
import java.util.Arrays;
import java.util.Locale;
import javax.crypto.BadPaddingException;
import javax.crypto.Cipher;
import javax.crypto.CipherSpi;
import javax.crypto.IllegalBlockSizeException;
import javax.crypto.NoSuchPaddingException;
import javax.crypto.ShortBufferException;
import javax.crypto.spec.IvParameterSpec;

/**
 * Cipher over the module's block ciphers in ECB and CBC, without padding or with PKCS #5
 * padding. Each native operation encrypts or decrypts one run of whole blocks and ends its
 * context, so updates pass on whole blocks at once, carrying the CBC chain in the IV, and keep
 * the rest (and, when decrypting with padding, the last block) for the final step. No native
 * context outlives a call.
 */
final class QuillonBlockCipher extends CipherSpi {
    private static final int BLOCK = Cmvp.BLOCK_LENGTH;

    /** The ciphers, their JCA names, module identifiers and whether a key length fits. */
    enum Algorithm {
        ARIA("ARIA", Cmvp.ARIA, new int[] {16, 24, 32}),
        SEED("SEED", Cmvp.SEED128, new int[] {16}),
        SEED256("SEED256", Cmvp.SEED256, new int[] {32}),
        AES("AES", Cmvp.AES, new int[] {16, 24, 32});

        final String jcaName;
        final int symId;
        final int[] keyLengths;

        Algorithm(String jcaName, int symId, int[] keyLengths) {
            this.jcaName = jcaName;
            this.symId = symId;
            this.keyLengths = keyLengths;
        }

        boolean fits(int keyLength) {
            for (int l : keyLengths) {
                if (l == keyLength) {
                    return true;
                }
            }
            return false;
        }
    }

    private final Algorithm algorithm;
    private int mode = Cmvp.MODE_ECB;
    private boolean padded = true;
    private boolean encrypting;
    private byte[] key;
    private byte[] initialIv;
    private byte[] iv;
    private final byte[] pending = new byte[BLOCK];
    private int pendingLength;

    private QuillonBlockCipher(Algorithm algorithm) {
        this.algorithm = algorithm;
    }

    /** A new instance, refused when the module does not admit the cipher in its state. */
    static QuillonBlockCipher create(Algorithm algorithm) {
        CmvpContext probe = new CmvpContext();
        int status = Cmvp.SymCtxInit(probe, new byte[algorithm.keyLengths[0]], algorithm.symId,
                Cmvp.MODE_ECB, Cmvp.PAD_NONE, null);
        Cmvp.SymCtxRelease(probe);
        if (status < 0) {
            throw new QuillonProvider.ModuleRefusal(algorithm.jcaName, status);
        }
        return new QuillonBlockCipher(algorithm);
    }

    @Override
    protected void engineSetMode(String m) throws NoSuchAlgorithmException {
        switch (m.toUpperCase(Locale.ROOT)) {
            case "ECB":
                mode = Cmvp.MODE_ECB;
                break;
            case "CBC":
                mode = Cmvp.MODE_CBC;
                break;
            default:
                throw new NoSuchAlgorithmException(algorithm.jcaName + ": no mode " + m);
        }
    }

    @Override
    protected void engineSetPadding(String p) throws NoSuchPaddingException {
        switch (p.toUpperCase(Locale.ROOT)) {
            case "NOPADDING":
                padded = false;
                break;
            case "PKCS5PADDING":
            case "PKCS7PADDING":
                padded = true;
                break;
            default:
                throw new NoSuchPaddingException(algorithm.jcaName + ": no padding " + p);
        }
    }

    @Override
    protected int engineGetBlockSize() {
        return BLOCK;
    }

    @Override
    protected int engineGetOutputSize(int inputLen) {
        int total = pendingLength + Math.max(inputLen, 0);
        if (encrypting && padded) {
            return total - total % BLOCK + BLOCK;
        }
        return total;
    }

    @Override
    protected byte[] engineGetIV() {
        return initialIv == null ? null : initialIv.clone();
    }

    @Override
    protected AlgorithmParameters engineGetParameters() {
        return null;
    }

    @Override
    protected void engineInit(int opmode, Key k, SecureRandom random) throws InvalidKeyException {
        try {
            engineInit(opmode, k, (AlgorithmParameterSpec) null, random);
        } catch (InvalidAlgorithmParameterException e) {
            throw new InvalidKeyException(e.getMessage(), e);
        }
    }

    @Override
    protected void engineInit(int opmode, Key k, AlgorithmParameters params, SecureRandom random)
            throws InvalidKeyException, InvalidAlgorithmParameterException {
        IvParameterSpec spec = null;
        if (params != null) {
            try {
                spec = params.getParameterSpec(IvParameterSpec.class);
            } catch (InvalidParameterSpecException e) {
                throw new InvalidAlgorithmParameterException("an IV is needed", e);
            }
        }
        engineInit(opmode, k, spec, random);
    }

    @Override
    protected void engineInit(int opmode, Key k, AlgorithmParameterSpec params,
            SecureRandom random) throws InvalidKeyException, InvalidAlgorithmParameterException {
        if (opmode != Cipher.ENCRYPT_MODE && opmode != Cipher.DECRYPT_MODE) {
            throw new InvalidParameterException(algorithm.jcaName + " only encrypts and decrypts");
        }
        if (k == null || !"RAW".equalsIgnoreCase(k.getFormat()) || k.getEncoded() == null) {
            throw new InvalidKeyException(algorithm.jcaName + " needs a raw secret key");
        }
        byte[] raw = k.getEncoded();
        if (!algorithm.fits(raw.length)) {
            Arrays.fill(raw, (byte) 0);
            throw new InvalidKeyException(algorithm.jcaName + ": no key of " + raw.length
                    + " bytes");
        }
        byte[] newIv = null;
        if (params != null && !(params instanceof IvParameterSpec)) {
            throw new InvalidAlgorithmParameterException(algorithm.jcaName + " takes an IV only");
        }
        if (mode == Cmvp.MODE_ECB) {
            if (params != null) {
                throw new InvalidAlgorithmParameterException("ECB takes no IV");
            }
        } else if (params != null) {
            newIv = ((IvParameterSpec) params).getIV();
            if (newIv.length != BLOCK) {
                throw new InvalidAlgorithmParameterException("the IV must be 16 bytes");
            }
        } else if (opmode == Cipher.ENCRYPT_MODE) {
            newIv = QuillonRandom.bytes(BLOCK);
        } else {
            throw new InvalidAlgorithmParameterException("CBC decryption needs the IV");
        }
        // The module checks the key as it will use it.
        CmvpContext probe = new CmvpContext();
        int status = Cmvp.SymCtxInit(probe, raw, algorithm.symId, mode, Cmvp.PAD_NONE,
                newIv);
        Cmvp.SymCtxRelease(probe);
        if (status < 0) {
            Arrays.fill(raw, (byte) 0);
            if (QuillonProvider.isGateRefusal(status)) {
                throw new InvalidKeyException(
                        new QuillonProvider.ModuleRefusal(algorithm.jcaName, status).getMessage());
            }
            throw new InvalidKeyException(algorithm.jcaName + ": "
                    + QuillonProvider.message(status));
        }
        if (key != null) {
            Arrays.fill(key, (byte) 0);
        }
        key = raw;
        encrypting = opmode == Cipher.ENCRYPT_MODE;
        initialIv = newIv;
        restart();
    }

    private void restart() {
        iv = initialIv == null ? null : initialIv.clone();
        Arrays.fill(pending, (byte) 0);
        pendingLength = 0;
    }

    /** One native operation over all of {@code in}; returns its output. */
    private byte[] run(byte[] in, int padding) throws BadPaddingException {
        CmvpContext ctx = new CmvpContext();
        int status = Cmvp.SymCtxInit(ctx, key, algorithm.symId, mode, padding, iv);
        if (status < 0) {
            throw QuillonProvider.failure(algorithm.jcaName, status);
        }
        byte[] out = new byte[in.length + (encrypting ? BLOCK : 0)];
        int n;
        try {
            n = encrypting ? Cmvp.SymEnc(ctx, in, 0, out) : Cmvp.SymDec(ctx, in, 0, out);
        } finally {
            Cmvp.SymCtxRelease(ctx);
        }
        if (n < 0) {
            Arrays.fill(out, (byte) 0);
            if (!encrypting && padding == Cmvp.PAD_PKCS) {
                throw new BadPaddingException(algorithm.jcaName + ": "
                        + QuillonProvider.message(n));
            }
            throw QuillonProvider.failure(algorithm.jcaName, n);
        }
        if (mode == Cmvp.MODE_CBC && in.length >= BLOCK) {
            byte[] chain = encrypting ? out : in;
            int end = encrypting ? n : in.length;
            iv = Arrays.copyOfRange(chain, end - BLOCK, end);
        }
        return n == out.length ? out : Arrays.copyOf(out, n);
    }

    /** Takes the input, passes on the whole blocks that may go now, and keeps the rest. */
    private byte[] take(byte[] input, int offset, int len) {
        int total = pendingLength + Math.max(len, 0);
        // Decryption with padding holds back the last block for the final step.
        int ready = (!encrypting && padded) ? (total == 0 ? 0 : (total - 1) / BLOCK * BLOCK)
                : total / BLOCK * BLOCK;
        byte[] all = new byte[total];
        System.arraycopy(pending, 0, all, 0, pendingLength);
        if (len > 0) {
            System.arraycopy(input, offset, all, pendingLength, len);
        }
        pendingLength = total - ready;
        System.arraycopy(all, ready, pending, 0, pendingLength);
        if (ready == 0) {
            Arrays.fill(all, (byte) 0);
            return new byte[0];
        }
        byte[] blocks = ready == total ? all : Arrays.copyOf(all, ready);
        try {
            return run(blocks, Cmvp.PAD_NONE);
        } catch (BadPaddingException e) {
            throw new IllegalStateException(e);  // unpadded runs check no padding
        } finally {
            Arrays.fill(all, (byte) 0);
            Arrays.fill(blocks, (byte) 0);
        }
    }

    private void checkInitialised() {
        if (key == null) {
            throw new IllegalStateException(algorithm.jcaName + " is not initialised");
        }
    }

    @Override
    protected byte[] engineUpdate(byte[] input, int offset, int len) {
        checkInitialised();
        return take(input, offset, len);
    }

    @Override
    protected int engineUpdate(byte[] input, int offset, int len, byte[] output, int outOffset)
            throws ShortBufferException {
        checkInitialised();
        int total = pendingLength + Math.max(len, 0);
        if (output.length - outOffset < total - total % BLOCK) {
            throw new ShortBufferException("the output needs " + (total - total % BLOCK)
                    + " bytes");
        }
        byte[] out = take(input, offset, len);
        System.arraycopy(out, 0, output, outOffset, out.length);
        return out.length;
    }

    @Override
    protected byte[] engineDoFinal(byte[] input, int offset, int len)
            throws IllegalBlockSizeException, BadPaddingException {
        checkInitialised();
        try {
            byte[] head = take(input, offset, len);
            byte[] tail;
            if (encrypting && padded) {
                tail = run(Arrays.copyOf(pending, pendingLength), Cmvp.PAD_PKCS);
            } else if (pendingLength != 0 || (!encrypting && padded)) {
                if (pendingLength != BLOCK || encrypting || !padded) {
                    throw new IllegalBlockSizeException(algorithm.jcaName
                            + ": the input is not a whole number of blocks");
                }
                tail = run(Arrays.copyOf(pending, BLOCK), Cmvp.PAD_PKCS);
            } else {
                tail = new byte[0];
            }
            byte[] out = Arrays.copyOf(head, head.length + tail.length);
            System.arraycopy(tail, 0, out, head.length, tail.length);
            Arrays.fill(head, (byte) 0);
            Arrays.fill(tail, (byte) 0);
            return out;
        } finally {
            restart();
        }
    }

    @Override
    protected int engineDoFinal(byte[] input, int offset, int len, byte[] output, int outOffset)
            throws ShortBufferException, IllegalBlockSizeException, BadPaddingException {
        int need = engineGetOutputSize(len);
        if (output.length - outOffset < need) {
            throw new ShortBufferException("the output needs " + need + " bytes");
        }
        byte[] out = engineDoFinal(input, offset, len);
        System.arraycopy(out, 0, output, outOffset, out.length);
        Arrays.fill(out, (byte) 0);
        return out.length;
    }
}
