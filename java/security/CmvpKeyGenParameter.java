package security;

/** What {@link Cmvp#ASymGenKeyPair} makes: for RSA the modulus length and the public exponent. */
public final class CmvpKeyGenParameter {
    /** RSA modulus length in bytes: a multiple of 8 from 128 to 512. Read by the native. */
    private final int keyByteLength;
    /** RSA public exponent: odd, at least 3; 0 or 1 for 65537. Read by the native. */
    private final int e;

    public CmvpKeyGenParameter(int keyByteLength, int e) {
        this.keyByteLength = keyByteLength;
        this.e = e;
    }

    public int getKeyByteLength() {
        return keyByteLength;
    }

    public int getExponent() {
        return e;
    }
}
