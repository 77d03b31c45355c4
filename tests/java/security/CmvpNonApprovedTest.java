package security;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;

import java.util.Arrays;
import javax.crypto.Cipher;
import javax.crypto.spec.IvParameterSpec;
import javax.crypto.spec.SecretKeySpec;
import org.junit.BeforeClass;
import org.junit.Test;

/**
 * Cipher natives in the non-approved state, where AES and SEED-256 run: AES against the JDK,
 * published vectors, and contexts that a state change makes stale.
 */
public class CmvpNonApprovedTest extends CmvpCipherTests {
    @BeforeClass
    public static void enterNonApprovedState() {
        assertEquals(0, CmvpTestNatives.StateChange(CmvpTestNatives.STATE_NON_APPROVED));
    }

    @Override
    protected int[][] ciphersAndKeyLengths() {
        return new int[][] {{Cmvp.AES, 16}, {Cmvp.AES, 24}, {Cmvp.AES, 32}, {Cmvp.SEED256, 32}};
    }

    @Test
    public void publishedVectors() throws Exception {
        assertEquals(6, checkVectors("aes_sp800_38a_modes.txt", Cmvp.AES));
        assertEquals(3, checkVectors("seed256_ecb.txt", Cmvp.SEED256));
    }

    @Test
    public void aesMatchesTheJdk() throws Exception {
        String[][] transforms = {{"AES/ECB/NoPadding", "1"}, {"AES/ECB/PKCS5Padding", "4"},
                {"AES/CBC/NoPadding", "1"}, {"AES/CBC/PKCS5Padding", "4"}};
        for (int keyLen : new int[] {16, 24, 32}) {
            byte[] key = CmvpDigestTest.pattern(keyLen, 8);
            for (String[] t : transforms) {
                boolean cbc = t[0].contains("CBC");
                int mode = cbc ? Cmvp.MODE_CBC : Cmvp.MODE_ECB;
                int padding = Integer.parseInt(t[1]);
                for (int len : new int[] {0, 5, 16, 47, 64}) {
                    if (padding == Cmvp.PAD_NONE && len % 16 != 0) {
                        continue;
                    }
                    byte[] pt = CmvpDigestTest.pattern(len, 9);
                    Cipher jdk = Cipher.getInstance(t[0]);
                    SecretKeySpec keySpec = new SecretKeySpec(key, "AES");
                    if (cbc) {
                        jdk.init(Cipher.ENCRYPT_MODE, keySpec, new IvParameterSpec(iv(mode)));
                    } else {
                        jdk.init(Cipher.ENCRYPT_MODE, keySpec);
                    }
                    String what = t[0] + " key " + keyLen + " len " + len;
                    byte[] ct = jdk.doFinal(pt);
                    assertArrayEquals(what, ct, encrypt(key, Cmvp.AES, mode, padding, iv(mode), pt));
                    assertArrayEquals(what, pt, decrypt(key, Cmvp.AES, mode, padding, iv(mode), ct));
                }
            }
        }
    }

    @Test
    public void unknownCipherReachesTheParameterCheck() {
        assertEquals(-6114, Cmvp.SymCtxInit(ctx, new byte[16], 9, Cmvp.MODE_ECB, Cmvp.PAD_PKCS,
                null));
    }

    @Test
    public void contextsFromAnotherStateAreRefused() {
        CmvpContext hash = new CmvpContext();
        CmvpContext hmac = new CmvpContext();
        assertEquals(0, Cmvp.SymCtxInit(ctx, new byte[16], Cmvp.AES, Cmvp.MODE_ECB, Cmvp.PAD_PKCS,
                null));
        assertEquals(0, Cmvp.HashInit(hash, Cmvp.HASH_SHA256));
        assertEquals(0, Cmvp.HMacInit(hmac, new byte[16], Cmvp.HMAC_SHA1, 16, Cmvp.HMAC_SHA1));
        assertEquals(0, CmvpTestNatives.StateChange(CmvpTestNatives.STATE_APPROVED));
        try {
            byte[] out = CmvpDigestTest.filled(32);
            assertEquals(-6143, Cmvp.SymEnc(ctx, new byte[16], 0, out));
            assertEquals(-6145, Cmvp.HashUpdate(hash, new byte[4], 4));
            assertEquals(-6145, Cmvp.HashFinal(hash, out));
            assertEquals(-6147, Cmvp.HMacUpdate(hmac, new byte[4], 4));
            assertArrayEquals(CmvpDigestTest.filled(32), out);
        } finally {
            Cmvp.HashRelease(hash);
            Cmvp.HMacRelease(hmac);
            assertEquals(0, CmvpTestNatives.StateChange(CmvpTestNatives.STATE_NON_APPROVED));
        }
        assertEquals(Arrays.asList(false, false), Arrays.asList(hash.isOpen(), hmac.isOpen()));
    }
}
