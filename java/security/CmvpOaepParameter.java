package security;

/**
 * RSAES-OAEP parameters for {@link Cmvp#ASymEncrypt} and {@link Cmvp#ASymDecrypt}: the digest of
 * the label (a {@code HASH_} identifier of {@link Cmvp}, SHA-1 to SHA-512), the mask generation
 * function (a {@code MGF1_} identifier) and the label source ({@link Cmvp#OAEP_SOURCE_SPECIFIED}).
 * The label is always empty.
 */
public final class CmvpOaepParameter {
    private final int hashID;
    private final int mgfID;
    private final int sourceID;

    public CmvpOaepParameter(int hashID, int mgfID, int sourceID) {
        this.hashID = hashID;
        this.mgfID = mgfID;
        this.sourceID = sourceID;
    }

    public int getHashId() {
        return hashID;
    }

    public int getMgfId() {
        return mgfID;
    }

    public int getSourceId() {
        return sourceID;
    }
}
