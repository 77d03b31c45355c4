package security;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;

import java.security.GeneralSecurityException;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.security.Provider;
import java.security.SecureRandom;
import java.util.Arrays;
import javax.crypto.BadPaddingException;
import javax.crypto.Cipher;
import javax.crypto.IllegalBlockSizeException;
import javax.crypto.KeyGenerator;
import javax.crypto.Mac;
import javax.crypto.SecretKey;
import javax.crypto.spec.IvParameterSpec;
import javax.crypto.spec.SecretKeySpec;
import org.junit.BeforeClass;
import org.junit.Test;

/**
 * The provider's symmetric services in the module's approved state: digests and HMACs against
 * the JDK's providers, block ciphers streamed against their one-shot use and the bridge, the
 * refusals of what the state does not admit.
 */
public class QuillonProviderTest {
    static final Provider QUILLON = new QuillonProvider();

    @BeforeClass
    public static void loadTestNatives() {
        CmvpTestNatives.StateInfo();
    }

    // Message lengths around the 64- and 128-byte blocks, and one long message.
    private static final int[] LENGTHS = {0, 1, 55, 56, 64, 111, 112, 128, 129, 1000, 16384};

    /** Feeds {@code msg} in pieces of {@code piece} bytes at odd offsets, then a last byte. */
    private static void feed(java.util.function.BiConsumer<byte[], int[]> update, byte[] msg,
            int piece) {
        int off = 0;
        while (msg.length - off > 1) {
            int n = Math.min(piece, msg.length - off - 1);
            update.accept(msg, new int[] {off, n});
            off += n;
        }
        if (off < msg.length) {
            update.accept(msg, new int[] {off, 1});
        }
    }

    @Test
    public void digestsMatchTheJdk() throws Exception {
        for (String name : new String[] {"SHA-1", "SHA-256", "SHA-384", "SHA-512"}) {
            MessageDigest ours = MessageDigest.getInstance(name, QUILLON);
            MessageDigest jdk = MessageDigest.getInstance(name);
            for (int len : LENGTHS) {
                byte[] msg = CmvpDigestTest.pattern(len, len);
                String what = name + " len " + len;
                assertArrayEquals(what, jdk.digest(msg), ours.digest(msg));
                feed((m, r) -> ours.update(m, r[0], r[1]), msg, 37);
                assertArrayEquals(what + " in pieces", jdk.digest(msg), ours.digest());
                ours.update(msg);
                ours.reset();
                assertArrayEquals(what + " after reset", jdk.digest(msg), ours.digest(msg));
            }
        }
        MessageDigest has160 = MessageDigest.getInstance("HAS160", QUILLON);
        for (int len : new int[] {0, 1, 55, 56, 64, 1000, 4096}) {
            byte[] msg = CmvpDigestTest.pattern(len, len);
            assertArrayEquals("HAS160 len " + len, CmvpTestNatives.Hash(Cmvp.HASH_HAS160, msg),
                    has160.digest(msg));
        }
    }

    @Test
    public void hmacsMatchTheJdk() throws Exception {
        String[] names = {"HmacSHA1", "HmacSHA256", "HmacSHA384", "HmacSHA512"};
        // Keys up to the block, beyond it, and beyond what the module takes (hashed first).
        int[] keyLengths = {14, 20, 32, 64, 65, 128, 129, 255, 256, 400};
        for (String name : names) {
            Mac ours = Mac.getInstance(name, QUILLON);
            Mac jdk = Mac.getInstance(name);
            for (int keyLen : keyLengths) {
                SecretKeySpec key = new SecretKeySpec(CmvpDigestTest.pattern(keyLen, 3), name);
                ours.init(key);
                jdk.init(key);
                for (int len : new int[] {0, 1, 64, 129, 16384}) {
                    byte[] msg = CmvpDigestTest.pattern(len, keyLen);
                    String what = name + " key " + keyLen + " len " + len;
                    byte[] expected = jdk.doFinal(msg);
                    assertArrayEquals(what, expected, ours.doFinal(msg));
                    feed((m, r) -> ours.update(m, r[0], r[1]), msg, 50);
                    assertArrayEquals(what + " in pieces", expected, ours.doFinal());
                }
            }
        }
        Mac has160 = Mac.getInstance("HmacHAS160", QUILLON);
        byte[] key = CmvpDigestTest.pattern(20, 1);
        byte[] msg = CmvpDigestTest.pattern(300, 2);
        has160.init(new SecretKeySpec(key, "HmacHAS160"));
        assertArrayEquals(CmvpTestNatives.Hmac(Cmvp.HMAC_HAS160, key, msg), has160.doFinal(msg));
    }

    @Test
    public void randomBytesDiffer() throws Exception {
        SecureRandom random = SecureRandom.getInstance("QuillonRandom", QUILLON);
        byte[] a = new byte[32];
        byte[] b = new byte[32];
        random.nextBytes(a);
        random.nextBytes(b);
        random.nextBytes(new byte[0]);
        assertFalse(Arrays.equals(a, b));
        assertEquals(7, random.generateSeed(7).length);
    }

    static byte[] run(Cipher c, byte[] in, int piece) throws GeneralSecurityException {
        java.io.ByteArrayOutputStream out = new java.io.ByteArrayOutputStream();
        for (int off = 0; off < in.length; off += piece) {
            byte[] part = c.update(in, off, Math.min(piece, in.length - off));
            if (part != null) {
                out.write(part, 0, part.length);
            }
        }
        byte[] last = c.doFinal();
        out.write(last, 0, last.length);
        return out.toByteArray();
    }

    /** Streams at several split points equal one doFinal, and decryption inverts them. */
    @Test
    public void blockCiphersStreamAsTheyEncryptAtOnce() throws Exception {
        String[][] ciphers = {{"ARIA", "16"}, {"ARIA", "24"}, {"ARIA", "32"}, {"SEED", "16"}};
        for (String[] c : ciphers) {
            SecretKeySpec key = new SecretKeySpec(
                    CmvpDigestTest.pattern(Integer.parseInt(c[1]), 5), c[0]);
            for (String mode : new String[] {"ECB", "CBC"}) {
                for (String padding : new String[] {"NoPadding", "PKCS5Padding"}) {
                    String t = c[0] + "/" + mode + "/" + padding;
                    Cipher enc = Cipher.getInstance(t, QUILLON);
                    Cipher dec = Cipher.getInstance(t, QUILLON);
                    IvParameterSpec iv = mode.equals("CBC")
                            ? new IvParameterSpec(CmvpDigestTest.pattern(16, 9)) : null;
                    enc.init(Cipher.ENCRYPT_MODE, key, iv);
                    dec.init(Cipher.DECRYPT_MODE, key, iv);
                    for (int len : new int[] {0, 1, 15, 16, 17, 32, 100, 1024}) {
                        if (padding.equals("NoPadding") && len % 16 != 0) {
                            continue;
                        }
                        byte[] pt = CmvpDigestTest.pattern(len, len);
                        String what = t + " key " + c[1] + " len " + len;
                        byte[] ct = enc.doFinal(pt);
                        int padded = padding.equals("NoPadding") ? len : len - len % 16 + 16;
                        assertEquals(what, padded, ct.length);
                        byte[] expected = CmvpTestNatives.SymEncrypt(symId(c[0]),
                                mode.equals("CBC") ? Cmvp.MODE_CBC : Cmvp.MODE_ECB,
                                padding.equals("NoPadding") ? Cmvp.PAD_NONE : Cmvp.PAD_PKCS,
                                key.getEncoded(), iv == null ? new byte[0] : iv.getIV(), pt);
                        assertArrayEquals(what, expected, ct);
                        for (int piece : new int[] {1, 7, 16, 33}) {
                            assertArrayEquals(what + " piece " + piece, ct, run(enc, pt, piece));
                            assertArrayEquals(what + " piece " + piece, pt, run(dec, ct, piece));
                        }
                    }
                }
            }
        }
    }

    private static int symId(String name) {
        return name.equals("ARIA") ? Cmvp.ARIA : Cmvp.SEED128;
    }

    @Test
    public void badInputGivesTheCipherExceptions() throws Exception {
        SecretKeySpec key = new SecretKeySpec(new byte[16], "ARIA");
        IvParameterSpec iv = new IvParameterSpec(new byte[16]);
        Cipher c = Cipher.getInstance("ARIA/CBC/PKCS5Padding", QUILLON);
        c.init(Cipher.ENCRYPT_MODE, key, iv);
        byte[] ct = c.doFinal(new byte[20]);
        c.init(Cipher.DECRYPT_MODE, key, iv);
        ct[ct.length - 1] ^= 0x55;
        try {
            c.doFinal(ct);
            fail("a corrupted padding block decrypted");
        } catch (BadPaddingException expected) {
            // the cipher is reset and usable again
        }
        ct[ct.length - 1] ^= 0x55;
        assertArrayEquals(new byte[20], c.doFinal(ct));
        Class<?> size = IllegalBlockSizeException.class;
        Object[][] refused = {{"ARIA/ECB/NoPadding", Cipher.ENCRYPT_MODE, new byte[17], size},
                {"ARIA/CBC/PKCS5Padding", Cipher.DECRYPT_MODE, new byte[17], size},
                {"ARIA/CBC/PKCS5Padding", Cipher.DECRYPT_MODE, new byte[0], size}};
        for (Object[] r : refused) {
            Cipher d = Cipher.getInstance((String) r[0], QUILLON);
            d.init((Integer) r[1], key, ((String) r[0]).contains("CBC") ? iv : null);
            try {
                d.doFinal((byte[]) r[2]);
                fail(Arrays.toString(r));
            } catch (GeneralSecurityException e) {
                assertEquals(Arrays.toString(r), r[3], e.getClass());
            }
        }
        for (String t : new String[] {"AES/ECB/NoPadding", "SEED256/CBC/PKCS5Padding", "AES"}) {
            try {
                if (t.contains("/")) {
                    Cipher.getInstance(t, QUILLON);
                } else {
                    KeyGenerator.getInstance(t, QUILLON);
                }
                fail(t + " in the approved state");
            } catch (NoSuchAlgorithmException e) {
                assertTrue(e.getCause().getMessage(), e.getCause().getMessage().contains("-6067"));
            }
        }
    }

    @Test
    public void generatedKeysHaveTheirLengthsAndWork() throws Exception {
        Object[][] cases = {{"ARIA", 128}, {"ARIA", 192}, {"ARIA", 256}, {"SEED", 128},
                {"HmacSHA256", 256}};
        for (Object[] c : cases) {
            KeyGenerator g = KeyGenerator.getInstance((String) c[0], QUILLON);
            g.init((Integer) c[1]);
            SecretKey a = g.generateKey();
            SecretKey b = g.generateKey();
            assertEquals((Integer) c[1] / 8, a.getEncoded().length);
            assertFalse(Arrays.equals(a.getEncoded(), b.getEncoded()));
            assertEquals(c[0], a.getAlgorithm());
        }
        KeyGenerator g = KeyGenerator.getInstance("ARIA", QUILLON);
        Cipher c = Cipher.getInstance("ARIA/CBC/PKCS5Padding", QUILLON);
        SecretKey key = g.generateKey();
        c.init(Cipher.ENCRYPT_MODE, key);
        byte[] ct = c.doFinal(new byte[5]);
        c.init(Cipher.DECRYPT_MODE, key, new IvParameterSpec(c.getIV()));
        assertArrayEquals(new byte[5], c.doFinal(ct));
    }
}
