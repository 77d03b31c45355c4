package security;

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
 * block. The native context is a {@link QuillonStream}.
 */
final class QuillonMac extends MacSpi {
    private static final int MAX_KEY_LENGTH = 255;

    private final QuillonDigest.Kind kind;
    private final QuillonStream stream;
    private final QuillonStream.Start start;
    private byte[] key;

    QuillonMac(QuillonDigest.Kind kind) {
        this.kind = kind;
        stream = new QuillonStream(this, kind.macName, kind.length, Cmvp::HMacUpdate,
                Cmvp::HMacFinal, Cmvp::HMacRelease);
        start = ctx -> {
            if (key == null) {
                throw new IllegalStateException(kind.macName + " is not initialised");
            }
            return Cmvp.HMacInit(ctx, key, kind.macId, key.length, kind.macId);
        };
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
        forget();
        key = raw;
        int status = stream.start(start);
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

    /** Ends the HMAC and wipes the key. */
    private void forget() {
        stream.reset();
        if (key != null) {
            Arrays.fill(key, (byte) 0);
            key = null;
        }
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
    protected byte[] engineDoFinal() {
        return stream.finish(start);
    }

    @Override
    protected void engineReset() {
        stream.reset();
    }
}
