package security;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import java.security.MessageDigest;
import java.util.Arrays;
import javax.crypto.Mac;
import javax.crypto.spec.SecretKeySpec;
import org.junit.After;
import org.junit.Test;

/**
 * Messages, digests and HMACs through the bridge, in the module's approved state: results against
 * the JDK and the library's one-shot services, the bridge's bound checks, handle lifetimes.
 */
public class CmvpDigestTest {
    private static final int[] HASH_IDS = {Cmvp.HASH_SHA1, Cmvp.HASH_SHA256, Cmvp.HASH_SHA384,
            Cmvp.HASH_SHA512};
    private static final String[] HASH_NAMES = {"SHA-1", "SHA-256", "SHA-384", "SHA-512"};
    private static final int[] MAC_IDS = {Cmvp.HMAC_SHA1, Cmvp.HMAC_SHA256, Cmvp.HMAC_SHA384,
            Cmvp.HMAC_SHA512};
    private static final String[] MAC_NAMES = {"HmacSHA1", "HmacSHA256", "HmacSHA384",
            "HmacSHA512"};
    // Message lengths around the 64- and 128-byte blocks and their length fields.
    private static final int[] LENGTHS = {1, 3, 55, 56, 63, 64, 65, 111, 112, 127, 128, 129, 1000};

    private final CmvpContext ctx = new CmvpContext();

    @After
    public void release() {
        Cmvp.HashRelease(ctx);
        Cmvp.HMacRelease(ctx);
    }

    static byte[] hex(String s) {
        byte[] b = new byte[s.length() / 2];
        for (int i = 0; i < b.length; i++) {
            b[i] = (byte) Integer.parseInt(s.substring(2 * i, 2 * i + 2), 16);
        }
        return b;
    }

    static byte[] pattern(int len, int seed) {
        byte[] b = new byte[len];
        for (int i = 0; i < len; i++) {
            b[i] = (byte) (seed + i * 31 + (i >> 3));
        }
        return b;
    }

    static byte[] filled(int len) {
        byte[] b = new byte[len];
        Arrays.fill(b, (byte) 0x5a);
        return b;
    }

    /** Digest of {@code msg} fed in pieces of {@code piece} bytes (0: no update at all). */
    private byte[] streamHash(int hashId, byte[] msg, int piece) {
        assertEquals(0, Cmvp.HashInit(ctx, hashId));
        for (int off = 0; off < msg.length; off += piece) {
            byte[] part = Arrays.copyOfRange(msg, off, Math.min(msg.length, off + piece));
            assertEquals(0, Cmvp.HashUpdate(ctx, part, part.length));
        }
        byte[] out = new byte[Cmvp.MAX_DIGEST_LENGTH];
        long n = Cmvp.HashFinal(ctx, out);
        assertTrue("final " + n, n > 0);
        Cmvp.HashRelease(ctx);
        return Arrays.copyOf(out, (int) n);
    }

    private byte[] streamHmac(int macId, byte[] key, byte[] msg, int piece) {
        assertEquals(0, Cmvp.HMacInit(ctx, key, macId, key.length, macId));
        for (int off = 0; off < msg.length; off += piece) {
            byte[] part = Arrays.copyOfRange(msg, off, Math.min(msg.length, off + piece));
            assertEquals(0, Cmvp.HMacUpdate(ctx, part, part.length));
        }
        byte[] out = new byte[Cmvp.MAX_DIGEST_LENGTH];
        long n = Cmvp.HMacFinal(ctx, out);
        assertTrue("final " + n, n > 0);
        Cmvp.HMacRelease(ctx);
        return Arrays.copyOf(out, (int) n);
    }

    @Test
    public void messages() {
        Object[][] cases = {
            {-6066, "crypto is in error state"}, {-5531, "crypto is in error state"},
            {-6067, "symmetric cipher id is unsupported"}, {-6143, "internal error"},
            {-4019, "invalid input"}, {-6085, "malloc failed"}, {0, "internal error"},
            {1, "internal error"}, {0xBFFFE83B, "internal error"},
        };
        for (Object[] c : cases) {
            assertEquals("code " + c[0], c[1], Cmvp.GetErrMsg((Integer) c[0]));
        }
    }

    @Test
    public void digestsMatchJdkAndOneShot() throws Exception {
        for (int h = 0; h < HASH_IDS.length; h++) {
            MessageDigest md = MessageDigest.getInstance(HASH_NAMES[h]);
            for (int len : LENGTHS) {
                byte[] msg = pattern(len, h);
                byte[] expected = md.digest(msg);
                String what = HASH_NAMES[h] + " len " + len;
                assertArrayEquals(what, expected, streamHash(HASH_IDS[h], msg, len));
                assertArrayEquals(what, expected, streamHash(HASH_IDS[h], msg, 7));
                assertArrayEquals(what, expected, CmvpTestNatives.Hash(HASH_IDS[h], msg));
            }
            assertArrayEquals(md.digest(new byte[0]), streamHash(HASH_IDS[h], new byte[0], 1));
        }
    }

    @Test
    public void has160MatchesPublishedDigestsAndOneShot() {
        assertArrayEquals(hex("307964ef34151d37c8047adec7ab50f4ff89762d"),
                streamHash(Cmvp.HASH_HAS160, new byte[0], 1));
        assertArrayEquals(hex("4872bcbc4cd0f0a9dc7c2f7045e5b43b6c830db8"),
                streamHash(Cmvp.HASH_HAS160, new byte[] {0x61}, 1));
        for (int len : LENGTHS) {
            byte[] msg = pattern(len, 9);
            assertArrayEquals("len " + len, CmvpTestNatives.Hash(Cmvp.HASH_HAS160, msg),
                    streamHash(Cmvp.HASH_HAS160, msg, 5));
        }
    }

    @Test
    public void hmacsMatchJdkAndOneShot() throws Exception {
        // Keys shorter than, equal to and longer than the 64- and 128-byte blocks.
        int[] keyLengths = {1, 20, 64, 100, 128, 200, 255};
        for (int m = 0; m < MAC_IDS.length; m++) {
            Mac mac = Mac.getInstance(MAC_NAMES[m]);
            for (int keyLen : keyLengths) {
                byte[] key = pattern(keyLen, 100 + m);
                mac.init(new SecretKeySpec(key, MAC_NAMES[m]));
                for (int len : new int[] {0, 1, 64, 129, 1000}) {
                    byte[] msg = pattern(len, keyLen);
                    byte[] expected = mac.doFinal(msg);
                    String what = MAC_NAMES[m] + " key " + keyLen + " len " + len;
                    assertArrayEquals(what, expected, streamHmac(MAC_IDS[m], key, msg, 13));
                    assertArrayEquals(what, expected, CmvpTestNatives.Hmac(MAC_IDS[m], key, msg));
                }
            }
        }
    }

    @Test
    public void hmacHas160MatchesPublishedMacsAndOneShot() {
        assertArrayEquals(hex("f5b44115a53f716b6f488de1098ee7c251418623"),
                streamHmac(Cmvp.HMAC_HAS160, hex("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b"),
                        hex("4869205468657265"), 3));
        assertArrayEquals(hex("a74547c1ef0aa147c7428ab7e71664549be2a412"),
                streamHmac(Cmvp.HMAC_HAS160, hex("4a656665"),
                        hex("7768617420646f2079612077616e7420666f72206e6f7468696e673f"), 100));
        byte[] key = pattern(90, 1);
        byte[] msg = pattern(300, 2);
        assertArrayEquals(CmvpTestNatives.Hmac(Cmvp.HMAC_HAS160, key, msg),
                streamHmac(Cmvp.HMAC_HAS160, key, msg, 64));
    }

    @Test
    public void digestFinalLeavesContextRunning() throws Exception {
        MessageDigest md = MessageDigest.getInstance("SHA-256");
        byte[] a = pattern(70, 1);
        byte[] b = pattern(30, 2);
        assertEquals(0, Cmvp.HashInit(ctx, Cmvp.HASH_SHA256));
        assertEquals(0, Cmvp.HashUpdate(ctx, a, a.length));
        byte[] first = new byte[32];
        byte[] second = new byte[32];
        assertEquals(32, Cmvp.HashFinal(ctx, first));
        assertEquals(32, Cmvp.HashFinal(ctx, second));
        assertArrayEquals(md.digest(a), first);
        assertArrayEquals(first, second);
        assertEquals(0, Cmvp.HashUpdate(ctx, b, b.length));
        assertEquals(32, Cmvp.HashFinal(ctx, second));
        md.update(a);
        assertArrayEquals(md.digest(b), second);
    }

    @Test
    public void digestFinalWritesOnlyTheDigest() throws Exception {
        byte[] msg = pattern(10, 3);
        assertEquals(0, Cmvp.HashInit(ctx, Cmvp.HASH_SHA256));
        assertEquals(0, Cmvp.HashUpdate(ctx, msg, msg.length));
        byte[] out = filled(64);
        assertEquals(32, Cmvp.HashFinal(ctx, out));
        assertArrayEquals(MessageDigest.getInstance("SHA-256").digest(msg),
                Arrays.copyOf(out, 32));
        assertArrayEquals(Arrays.copyOfRange(filled(64), 32, 64), Arrays.copyOfRange(out, 32, 64));
    }

    @Test
    public void hmacUpdateOfZeroBytesReachesTheModuleButDigestUpdateDoesNot() throws Exception {
        byte[] key = pattern(32, 4);
        assertEquals(0, Cmvp.HMacInit(ctx, key, Cmvp.HMAC_SHA256, key.length, Cmvp.HMAC_SHA256));
        assertEquals(0, Cmvp.HMacUpdate(ctx, new byte[0], 0));
        assertEquals(0, Cmvp.HMacUpdate(ctx, new byte[8], 0));
        byte[] out = new byte[32];
        assertEquals(32, Cmvp.HMacFinal(ctx, out));
        Mac mac = Mac.getInstance("HmacSHA256");
        mac.init(new SecretKeySpec(key, "HmacSHA256"));
        assertArrayEquals(mac.doFinal(), out);
        Cmvp.HMacRelease(ctx);

        assertEquals(0, Cmvp.HashInit(ctx, Cmvp.HASH_SHA1));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashUpdate(ctx, new byte[8], 0));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashUpdate(ctx, new byte[8], -1));
    }

    @Test
    public void hmacFinalEndsTheContext() {
        byte[] key = pattern(20, 5);
        assertEquals(0, Cmvp.HMacInit(ctx, key, Cmvp.HMAC_SHA1, 20, Cmvp.HMAC_SHA1));
        byte[] out = new byte[20];
        assertEquals(20, Cmvp.HMacFinal(ctx, out));
        byte[] again = filled(20);
        assertEquals(-6147, Cmvp.HMacFinal(ctx, again));
        assertArrayEquals(filled(20), again);
        assertEquals(-6147, Cmvp.HMacUpdate(ctx, key, 1));
        assertTrue(ctx.isOpen());
    }

    @Test
    public void moduleCodesPassThrough() {
        byte[] key = pattern(32, 6);
        int[][] cases = {
            {Cmvp.HashInit(ctx, 6), -6069},
            {Cmvp.HashInit(ctx, 0), -6069},
            {Cmvp.HMacInit(ctx, key, Cmvp.HMAC_SHA256, 32, 0x106), -6070},
            {Cmvp.HMacInit(ctx, key, Cmvp.HMAC_SHA256, 32, Cmvp.HMAC_SHA1), -6092},
        };
        for (int[] c : cases) {
            assertEquals(c[1], c[0]);
        }
        assertFalse("a failed Init stores no handle", ctx.isOpen());
    }

    @Test
    public void lengthsBeyondTheirArraysAreRefused() {
        byte[] key = pattern(40, 7);
        assertEquals(0, Cmvp.HashInit(ctx, Cmvp.HASH_SHA512));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashUpdate(ctx, new byte[16], 17));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashUpdate(ctx, new byte[16], 1L << 32));
        byte[] shortOut = filled(63);
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashFinal(ctx, shortOut));
        assertArrayEquals(filled(63), shortOut);
        byte[] out = new byte[64];
        assertEquals(64, Cmvp.HashFinal(ctx, out));
        Cmvp.HashRelease(ctx);

        int[] badKeyLengths = {41, 256, 1000, -1, Integer.MIN_VALUE};
        for (int keyLen : badKeyLengths) {
            assertEquals("keyLen " + keyLen, Cmvp.ERR_BRIDGE,
                    Cmvp.HMacInit(ctx, key, Cmvp.HMAC_SHA256, keyLen, Cmvp.HMAC_SHA256));
        }
        assertEquals(Cmvp.ERR_BRIDGE,
                Cmvp.HMacInit(ctx, new byte[300], Cmvp.HMAC_SHA256, 256, Cmvp.HMAC_SHA256));
        assertFalse(ctx.isOpen());

        assertEquals(0, Cmvp.HMacInit(ctx, key, Cmvp.HMAC_SHA384, 40, Cmvp.HMAC_SHA384));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HMacUpdate(ctx, new byte[4], 5));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HMacUpdate(ctx, new byte[4], -1));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HMacUpdate(ctx, new byte[4], (1L << 32) + 1));
        shortOut = filled(47);
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HMacFinal(ctx, shortOut));
        assertArrayEquals(filled(47), shortOut);
        // The refused final did not consume the HMAC.
        assertEquals(48, Cmvp.HMacFinal(ctx, new byte[48]));
    }

    @Test
    public void missingObjectsFieldsAndHandlesAreRefused() {
        CmvpContext empty = new CmvpContext();
        Object noField = new Object();
        byte[] data = new byte[8];
        byte[] out = new byte[64];
        long[] results = {
            Cmvp.HashInit(null, Cmvp.HASH_SHA1), Cmvp.HashInit(noField, Cmvp.HASH_SHA1),
            Cmvp.HashUpdate(empty, data, 8), Cmvp.HashUpdate(null, data, 8),
            Cmvp.HashUpdate(noField, data, 8), Cmvp.HashFinal(empty, out),
            Cmvp.HashFinal(noField, out), Cmvp.HMacInit(null, data, Cmvp.HMAC_SHA1, 8,
                    Cmvp.HMAC_SHA1),
            Cmvp.HMacInit(noField, data, Cmvp.HMAC_SHA1, 8, Cmvp.HMAC_SHA1),
            Cmvp.HMacInit(empty, null, Cmvp.HMAC_SHA1, 0, Cmvp.HMAC_SHA1),
            Cmvp.HMacUpdate(empty, data, 8), Cmvp.HMacFinal(empty, out),
            Cmvp.HMacFinal(null, out),
        };
        for (int i = 0; i < results.length; i++) {
            assertEquals("case " + i, Cmvp.ERR_BRIDGE, results[i]);
        }
        Cmvp.HashRelease(null);
        Cmvp.HashRelease(noField);
        Cmvp.HashRelease(empty);
        Cmvp.HMacRelease(null);

        assertEquals(0, Cmvp.HashInit(ctx, Cmvp.HASH_SHA1));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashUpdate(ctx, null, 1));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashFinal(ctx, null));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashFinal(ctx, new byte[0]));
        assertEquals(0, Cmvp.HMacInit(empty, data, Cmvp.HMAC_SHA1, 8, Cmvp.HMAC_SHA1));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HMacUpdate(empty, null, 0));
        Cmvp.HMacRelease(empty);
    }

    @Test
    public void releasedHandlesAreCleared() {
        assertEquals(0, Cmvp.HashInit(ctx, Cmvp.HASH_SHA256));
        assertTrue(ctx.isOpen());
        Cmvp.HashRelease(ctx);
        assertFalse(ctx.isOpen());
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashUpdate(ctx, new byte[1], 1));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HashFinal(ctx, new byte[32]));
        Cmvp.HashRelease(ctx);

        assertEquals(0, Cmvp.HMacInit(ctx, new byte[16], Cmvp.HMAC_SHA1, 16, Cmvp.HMAC_SHA1));
        Cmvp.HMacRelease(ctx);
        assertFalse(ctx.isOpen());
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.HMacUpdate(ctx, new byte[1], 1));
    }
}
