package security;

import java.lang.ref.Cleaner;
import java.security.InvalidAlgorithmParameterException;
import java.security.InvalidKeyException;
import java.security.Key;
import java.security.spec.AlgorithmParameterSpec;
import java.util.Arrays;
import javax.crypto.MacSpi;

/**
 * Mac over the module's HMACs. The module ends an HMAC at its final step, so the key is kept
 * (in this object, wiped when the instance is initialised again) to start the next one. Keys
 * longer than the module takes are first hashed, as HMAC itself does with keys longer than a
 * block. The native context is freed as in {@link QuillonDigest}.
 */
final class QuillonMac extends MacSpi {
    private static final Cleaner CLEANER = Cleaner.create();
    private static final int MAX_KEY_LENGTH = 255;

    private final QuillonDigest.Kind kind;
    private final CmvpContext ctx = new CmvpContext();
    private final byte[] one = new byte[1];
    private byte[] key;

    QuillonMac(QuillonDigest.Kind kind) {
        this.kind = kind;
        CLEANER.register(this, () -> {
            synchronized (ctx) {
                Cmvp.HMacRelease(ctx);
            }
        });
    }

    @Override
    protected int engineGetMacLength() {
        return kind.length;
    }

    @Override
    protected void engineInit(Key k, AlgorithmParameterSpec params)
            throws InvalidKeyException, InvalidAlgorithmParameterException {
        if (params != null) {
            throw new InvalidAlgorithmParameterException(kind.macName + " takes no parameters");
        }
        if (k == null || !"RAW".equalsIgnoreCase(k.getFormat()) || k.getEncoded() == null) {
            throw new InvalidKeyException(kind.macName + " needs a secret key in raw encoding");
        }
        byte[] raw = k.getEncoded();
        if (raw.length > MAX_KEY_LENGTH) {
            QuillonDigest digest = new QuillonDigest(kind);
            digest.engineUpdate(raw, 0, raw.length);
            byte[] folded = digest.engineDigest();
            Arrays.fill(raw, (byte) 0);
            raw = folded;
        }
        synchronized (ctx) {
            forget();
            key = raw;
            int status = start();
            if (status < 0) {
                forget();
                if (QuillonProvider.isGateRefusal(status)) {
                    throw new InvalidKeyException(new QuillonProvider.ModuleRefusal(kind.macName,
                            status).getMessage());
                }
                throw new InvalidKeyException(kind.macName + ": "
                        + QuillonProvider.message(status));
            }
        }
    }

    private void forget() {
        Cmvp.HMacRelease(ctx);
        if (key != null) {
            Arrays.fill(key, (byte) 0);
            key = null;
        }
    }

    private int start() {
        return Cmvp.HMacInit(ctx, key, kind.macId, key.length, kind.macId);
    }

    /** Starts the next HMAC under the same key when the last one ended. */
    private void ensureStarted() {
        if (key == null) {
            throw new IllegalStateException(kind.macName + " is not initialised");
        }
        if (!ctx.isOpen()) {
            int status = start();
            if (status < 0) {
                throw QuillonProvider.failure(kind.macName, status);
            }
        }
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
            ensureStarted();
            int status = Cmvp.HMacUpdate(ctx, data, len);
            if (status < 0) {
                throw QuillonProvider.failure(kind.macName + " update", status);
            }
        }
    }

    @Override
    protected byte[] engineDoFinal() {
        byte[] out = new byte[kind.length];
        synchronized (ctx) {
            ensureStarted();
            long status = Cmvp.HMacFinal(ctx, out);
            Cmvp.HMacRelease(ctx);
            if (status != kind.length) {
                throw QuillonProvider.failure(kind.macName + " final", (int) status);
            }
        }
        return out;
    }

    @Override
    protected void engineReset() {
        synchronized (ctx) {
            Cmvp.HMacRelease(ctx);
        }
    }
}
