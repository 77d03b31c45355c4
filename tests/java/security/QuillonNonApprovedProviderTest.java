package security;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;

import javax.crypto.Cipher;
import javax.crypto.spec.IvParameterSpec;
import javax.crypto.spec.SecretKeySpec;
import org.junit.BeforeClass;
import org.junit.Test;

/**
 * The provider in the module's non-approved state, which admits AES, SEED-256,
 * RSAES-PKCS1-v1_5 and RSA signatures with SHA-384 and SHA-512: all against the JDK.
 */
public class QuillonNonApprovedProviderTest extends QuillonRsaProviderTest {
    @BeforeClass
    public static void enterNonApprovedState() {
        assertEquals(0, CmvpTestNatives.StateChange(CmvpTestNatives.STATE_NON_APPROVED));
    }

    @Override
    protected Object[][] signatureSchemes() {
        return new Object[][] {{"SHA384withRSA", null}, {"SHA512withRSA", null}};
    }

    @Override
    protected Object[][] encryptionSchemes() {
        return new Object[][] {{"RSA/ECB/PKCS1Padding", null}};
    }

    @Override
    @Test
    public void unapprovedSchemesAreRefusedAtInit() throws Exception {
        for (int keyLen : new int[] {16, 24, 32}) {
            SecretKeySpec key = new SecretKeySpec(CmvpDigestTest.pattern(keyLen, 1), "AES");
            IvParameterSpec iv = new IvParameterSpec(CmvpDigestTest.pattern(16, 2));
            for (String t : new String[] {"AES/ECB/PKCS5Padding", "AES/CBC/NoPadding",
                    "AES/CBC/PKCS5Padding"}) {
                IvParameterSpec p = t.contains("CBC") ? iv : null;
                Cipher q = Cipher.getInstance(t, QUILLON);
                Cipher j = Cipher.getInstance(t);
                byte[] pt = CmvpDigestTest.pattern(t.contains("No") ? 64 : 61, keyLen);
                q.init(Cipher.ENCRYPT_MODE, key, p);
                j.init(Cipher.ENCRYPT_MODE, key, p);
                byte[] ct = j.doFinal(pt);
                assertArrayEquals(t + " key " + keyLen, ct, q.doFinal(pt));
                q.init(Cipher.DECRYPT_MODE, key, p);
                assertArrayEquals(t + " key " + keyLen, pt, q.doFinal(ct));
            }
        }
        Cipher seed256 = Cipher.getInstance("SEED256/CBC/PKCS5Padding", QUILLON);
        SecretKeySpec key = new SecretKeySpec(new byte[32], "SEED256");
        seed256.init(Cipher.ENCRYPT_MODE, key);
        byte[] ct = seed256.doFinal(new byte[40]);
        seed256.init(Cipher.DECRYPT_MODE, key, new IvParameterSpec(seed256.getIV()));
        assertArrayEquals(new byte[40], seed256.doFinal(ct));
    }
}
