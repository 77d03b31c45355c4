package security;

import static org.junit.Assert.assertArrayEquals;

import java.security.Provider;
import java.util.Random;
import javax.crypto.Cipher;
import javax.crypto.spec.IvParameterSpec;
import javax.crypto.spec.SecretKeySpec;
import org.bouncycastle.jce.provider.BouncyCastleProvider;
import org.junit.Test;

/**
 * ARIA and SEED of the provider against Bouncy Castle on seeded random keys, IVs and messages:
 * each side decrypts what the other encrypted, in ECB and CBC, with and without padding.
 */
public class QuillonBouncyCastleTest {
    private static final Provider BC = new BouncyCastleProvider();

    @Test
    public void ariaAndSeedMatchBouncyCastle() throws Exception {
        CmvpTestNatives.StateInfo();
        Provider quillon = new QuillonProvider();
        Random random = new Random(20261209);
        String[][] ciphers = {{"ARIA", "16"}, {"ARIA", "24"}, {"ARIA", "32"}, {"SEED", "16"}};
        for (String[] c : ciphers) {
            for (String mode : new String[] {"ECB", "CBC"}) {
                for (String padding : new String[] {"NoPadding", "PKCS5Padding"}) {
                    String t = c[0] + "/" + mode + "/" + padding;
                    Cipher ours = Cipher.getInstance(t, quillon);
                    Cipher theirs = Cipher.getInstance(t, BC);
                    for (int round = 0; round < 20; round++) {
                        byte[] key = new byte[Integer.parseInt(c[1])];
                        random.nextBytes(key);
                        int len = random.nextInt(200);
                        if (padding.equals("NoPadding")) {
                            len -= len % 16;
                        }
                        byte[] pt = new byte[len];
                        random.nextBytes(pt);
                        SecretKeySpec k = new SecretKeySpec(key, c[0]);
                        IvParameterSpec iv = null;
                        if (mode.equals("CBC")) {
                            byte[] ivBytes = new byte[16];
                            random.nextBytes(ivBytes);
                            iv = new IvParameterSpec(ivBytes);
                        }
                        String what = t + " key " + key.length + " len " + len;
                        ours.init(Cipher.ENCRYPT_MODE, k, iv);
                        theirs.init(Cipher.DECRYPT_MODE, k, iv);
                        byte[] ct = ours.doFinal(pt);
                        assertArrayEquals(what, pt, theirs.doFinal(ct));
                        theirs.init(Cipher.ENCRYPT_MODE, k, iv);
                        ours.init(Cipher.DECRYPT_MODE, k, iv);
                        byte[] theirCt = theirs.doFinal(pt);
                        assertArrayEquals(what, ct, theirCt);
                        assertArrayEquals(what, pt, ours.doFinal(theirCt));
                    }
                }
            }
        }
    }
}
