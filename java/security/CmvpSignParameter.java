package security;

/**
 * The sign parameter of {@link Cmvp#ASymSign} and {@link Cmvp#ASymSignVerify}: two integers, for
 * RSASSA-PSS the digest (a {@code HASH_} identifier of {@link Cmvp}) and the mask generation
 * function (a {@code MGF1_} identifier); the salt is as long as the digest. Other RSA schemes
 * ignore it. KCDSA needs the signer's public key here, which this object cannot carry.
 */
public final class CmvpSignParameter {
    private final int hashID;
    private final int msgfID;

    public CmvpSignParameter(int hashID, int msgfID) {
        this.hashID = hashID;
        this.msgfID = msgfID;
    }

    public int getHashId() {
        return hashID;
    }

    public int getMgfId() {
        return msgfID;
    }
}
