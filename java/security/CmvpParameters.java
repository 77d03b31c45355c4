package security;

/**
 * Domain parameters as {@link Cmvp#ASymGenKeyPair} and {@link Cmvp#ASymSign} read them: only the
 * two identifier words of a parameter record. The record reaches the module without parameter
 * values, so it serves no algorithm that needs them (KCDSA, ECDSA); RSA needs none (pass null).
 */
public final class CmvpParameters {
    /** First word of the parameter record. Read by the natives. */
    private final int typeID;
    /** Public-key algorithm identifier. Read by the natives. */
    private final int pkeyID;

    public CmvpParameters(int typeID, int pkeyID) {
        this.typeID = typeID;
        this.pkeyID = pkeyID;
    }

    public int getTypeId() {
        return typeID;
    }

    public int getAlgorithm() {
        return pkeyID;
    }
}
