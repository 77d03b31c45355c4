package security;

import java.io.ByteArrayOutputStream;
import java.math.BigInteger;
import java.security.spec.InvalidKeySpecException;
import java.util.Arrays;

/**
 * The DER of RSA keys: PKCS #1 RSAPublicKey and RSAPrivateKey, inside X.509
 * SubjectPublicKeyInfo and PKCS #8 PrivateKeyInfo with the rsaEncryption identifier.
 */
final class QuillonDer {
    private QuillonDer() {}

    /** The AlgorithmIdentifier of rsaEncryption (1.2.840.113549.1.1.1) with NULL parameters. */
    private static final byte[] RSA_ALGORITHM = {0x30, 0x0d, 0x06, 0x09, 0x2a, (byte) 0x86, 0x48,
            (byte) 0x86, (byte) 0xf7, 0x0d, 0x01, 0x01, 0x01, 0x05, 0x00};

    private static final int SEQUENCE = 0x30;
    private static final int INTEGER = 0x02;
    private static final int BIT_STRING = 0x03;
    private static final int OCTET_STRING = 0x04;

    static byte[] tlv(int tag, byte[]... parts) {
        int len = 0;
        for (byte[] p : parts) {
            len += p.length;
        }
        ByteArrayOutputStream out = new ByteArrayOutputStream(len + 6);
        out.write(tag);
        if (len < 0x80) {
            out.write(len);
        } else {
            int bytes = len < 0x100 ? 1 : len < 0x10000 ? 2 : 3;
            out.write(0x80 | bytes);
            for (int i = bytes - 1; i >= 0; i--) {
                out.write(len >>> (8 * i));
            }
        }
        for (byte[] p : parts) {
            out.write(p, 0, p.length);
        }
        return out.toByteArray();
    }

    static byte[] integer(BigInteger v) {
        return tlv(INTEGER, v.toByteArray());
    }

    static byte[] publicKeyInfo(BigInteger n, BigInteger e) {
        byte[] pkcs1 = tlv(SEQUENCE, integer(n), integer(e));
        return tlv(SEQUENCE, RSA_ALGORITHM, tlv(BIT_STRING, new byte[] {0}, pkcs1));
    }

    static byte[] privateKeyInfo(BigInteger... components) {
        byte[][] parts = new byte[components.length + 1][];
        parts[0] = integer(BigInteger.ZERO);
        for (int i = 0; i < components.length; i++) {
            parts[i + 1] = integer(components[i]);
        }
        byte[] pkcs1 = tlv(SEQUENCE, parts);
        byte[] info = tlv(SEQUENCE, integer(BigInteger.ZERO), RSA_ALGORITHM,
                tlv(OCTET_STRING, pkcs1));
        Arrays.fill(pkcs1, (byte) 0);
        return info;
    }

    /** A reader of one DER element after another. */
    static final class Reader {
        private final byte[] der;
        private int pos;
        private final int end;

        Reader(byte[] der, int pos, int end) {
            this.der = der;
            this.pos = pos;
            this.end = end;
        }

        /** The contents of the next element, which must have tag {@code tag}. */
        Reader next(int tag) throws InvalidKeySpecException {
            if (end - pos < 2 || (der[pos] & 0xff) != tag) {
                throw new InvalidKeySpecException("malformed RSA key encoding");
            }
            pos++;
            int len = der[pos++] & 0xff;
            if (len >= 0x80) {
                int bytes = len & 0x7f;
                if (bytes == 0 || bytes > 3 || end - pos < bytes) {
                    throw new InvalidKeySpecException("malformed RSA key encoding");
                }
                len = 0;
                for (int i = 0; i < bytes; i++) {
                    len = (len << 8) | (der[pos++] & 0xff);
                }
            }
            if (len > end - pos) {
                throw new InvalidKeySpecException("malformed RSA key encoding");
            }
            Reader inner = new Reader(der, pos, pos + len);
            pos += len;
            return inner;
        }

        BigInteger integer() throws InvalidKeySpecException {
            Reader r = next(INTEGER);
            if (r.end == r.pos) {
                throw new InvalidKeySpecException("malformed RSA key encoding");
            }
            return new BigInteger(Arrays.copyOfRange(der, r.pos, r.end));
        }

        void algorithm() throws InvalidKeySpecException {
            Reader r = next(SEQUENCE);
            byte[] got = Arrays.copyOfRange(der, r.pos - 2, r.end);
            if (!Arrays.equals(got, RSA_ALGORITHM)) {
                throw new InvalidKeySpecException("not an rsaEncryption key");
            }
        }

        void finish() throws InvalidKeySpecException {
            if (pos != end) {
                throw new InvalidKeySpecException("trailing bytes in RSA key encoding");
            }
        }
    }

    /** n and e of an X.509 SubjectPublicKeyInfo. */
    static BigInteger[] readPublicKeyInfo(byte[] der) throws InvalidKeySpecException {
        Reader top = new Reader(der, 0, der.length);
        Reader info = top.next(SEQUENCE);
        top.finish();
        info.algorithm();
        Reader bits = info.next(BIT_STRING);
        info.finish();
        if (bits.end - bits.pos < 1 || der[bits.pos] != 0) {
            throw new InvalidKeySpecException("malformed RSA key encoding");
        }
        Reader key = new Reader(der, bits.pos + 1, bits.end).next(SEQUENCE);
        BigInteger[] out = {key.integer(), key.integer()};
        key.finish();
        return out;
    }

    /** n, e, d, p, q, dP, dQ, qInv of a PKCS #8 PrivateKeyInfo. */
    static BigInteger[] readPrivateKeyInfo(byte[] der) throws InvalidKeySpecException {
        Reader top = new Reader(der, 0, der.length);
        Reader info = top.next(SEQUENCE);
        top.finish();
        if (info.integer().signum() != 0) {
            throw new InvalidKeySpecException("unknown PrivateKeyInfo version");
        }
        info.algorithm();
        Reader octets = info.next(OCTET_STRING);
        Reader key = octets.next(SEQUENCE);
        if (key.integer().signum() != 0) {
            throw new InvalidKeySpecException("multi-prime RSA keys are not supported");
        }
        BigInteger[] out = new BigInteger[8];
        for (int i = 0; i < 8; i++) {
            out[i] = key.integer();
        }
        key.finish();
        return out;
    }
}
