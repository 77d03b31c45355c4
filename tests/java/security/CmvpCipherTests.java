package security;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertNotNull;
import static org.junit.Assert.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import org.junit.After;
import org.junit.BeforeClass;
import org.junit.Test;

/**
 * Cipher natives for the ciphers a subclass names, in the module state it sets up: round trips in
 * ECB and CBC with every padding against the library's one-shot encryption, published vectors,
 * handle lifetimes and the bound checks.
 */
public abstract class CmvpCipherTests {
    /** The ciphers this class exercises, with a key length for each. */
    protected abstract int[][] ciphersAndKeyLengths();

    protected final CmvpContext ctx = new CmvpContext();

    private static final int[] PADDINGS = {Cmvp.PAD_NONE, Cmvp.PAD_ZERO, Cmvp.PAD_BIT,
            Cmvp.PAD_PKCS};
    private static final int[] MODES = {Cmvp.MODE_ECB, Cmvp.MODE_CBC};

    /** Loads the test natives before any native draws random bytes (see their JNI_OnLoad). */
    @BeforeClass
    public static void loadTestNatives() {
        CmvpTestNatives.StateInfo();
    }

    @After
    public void release() {
        Cmvp.SymCtxRelease(ctx);
    }

    protected static byte[] iv(int mode) {
        return mode == Cmvp.MODE_ECB ? new byte[0] : CmvpDigestTest.pattern(16, 77);
    }

    protected byte[] encrypt(byte[] key, int symId, int mode, int padding, byte[] iv, byte[] pt) {
        assertEquals(0, Cmvp.SymCtxInit(ctx, key, symId, mode, padding, iv));
        byte[] out = new byte[pt.length + Cmvp.BLOCK_LENGTH];
        int n = Cmvp.SymEnc(ctx, pt, 0, out);
        assertTrue("SymEnc " + n, n >= 0);
        Cmvp.SymCtxRelease(ctx);
        return Arrays.copyOf(out, n);
    }

    protected byte[] decrypt(byte[] key, int symId, int mode, int padding, byte[] iv, byte[] ct) {
        assertEquals(0, Cmvp.SymCtxInit(ctx, key, symId, mode, padding, iv));
        byte[] out = new byte[ct.length];
        int n = Cmvp.SymDec(ctx, ct, 0, out);
        assertTrue("SymDec " + n, n >= 0);
        Cmvp.SymCtxRelease(ctx);
        return Arrays.copyOf(out, n);
    }

    /** The plaintext that decryption hands back: zero padding stays in it. */
    private static byte[] decrypted(byte[] pt, int padding) {
        if (padding != Cmvp.PAD_ZERO) {
            return pt;
        }
        return Arrays.copyOf(pt, pt.length - pt.length % 16 + 16);
    }

    @Test
    public void roundTripsInEveryModeAndPaddingMatchTheOneShot() {
        for (int[] c : ciphersAndKeyLengths()) {
            byte[] key = CmvpDigestTest.pattern(c[1], c[0]);
            for (int mode : MODES) {
                for (int padding : PADDINGS) {
                    for (int len : new int[] {0, 1, 15, 16, 17, 31, 32, 33, 100}) {
                        if (padding == Cmvp.PAD_NONE && len % 16 != 0) {
                            continue;
                        }
                        String what = "cipher " + c[0] + " key " + c[1] + " mode " + mode
                                + " padding " + padding + " len " + len;
                        byte[] pt = CmvpDigestTest.pattern(len, len + mode);
                        byte[] ct = encrypt(key, c[0], mode, padding, iv(mode), pt);
                        byte[] expected = CmvpTestNatives.SymEncrypt(c[0], mode, padding, key,
                                iv(mode), pt);
                        assertNotNull(what, expected);
                        assertArrayEquals(what, expected, ct);
                        assertArrayEquals(what, decrypted(pt, padding),
                                decrypt(key, c[0], mode, padding, iv(mode), ct));
                    }
                }
            }
        }
    }

    @Test
    public void unpaddedInputOfPartialBlocksFailsInTheModule() {
        int[] c = ciphersAndKeyLengths()[0];
        byte[] key = new byte[c[1]];
        assertEquals(0, Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_ECB, Cmvp.PAD_NONE, null));
        byte[] out = CmvpDigestTest.filled(20);
        assertEquals(-4013, Cmvp.SymEnc(ctx, new byte[20], 0, out));
        assertArrayEquals(CmvpDigestTest.filled(20), out);
        Cmvp.SymCtxRelease(ctx);
        assertEquals(0, Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_ECB, Cmvp.PAD_NONE, null));
        assertEquals(-4018, Cmvp.SymDec(ctx, new byte[20], 0, out));
        assertArrayEquals(CmvpDigestTest.filled(20), out);
    }

    @Test
    public void wrongPaddingIsReportedAndWritesNothing() {
        int[] c = ciphersAndKeyLengths()[0];
        byte[] key = CmvpDigestTest.pattern(c[1], 1);
        byte[] civ = iv(Cmvp.MODE_CBC);
        // A ciphertext of 32 bytes whose plaintext ends in 0x00: neither bit nor PKCS padding.
        byte[] pt = new byte[32];
        byte[] ct = encrypt(key, c[0], Cmvp.MODE_CBC, Cmvp.PAD_NONE, civ, pt);
        for (int padding : new int[] {Cmvp.PAD_BIT, Cmvp.PAD_PKCS}) {
            assertEquals(0, Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_CBC, padding, civ));
            byte[] out = CmvpDigestTest.filled(32);
            assertEquals(-4019, Cmvp.SymDec(ctx, ct, 0, out));
            assertArrayEquals(CmvpDigestTest.filled(32), out);
            Cmvp.SymCtxRelease(ctx);
        }
        // PKCS padding of a 32-byte plaintext: 48 bytes of ciphertext, 32 back.
        byte[] padded = encrypt(key, c[0], Cmvp.MODE_CBC, Cmvp.PAD_PKCS, civ, pt);
        assertEquals(48, padded.length);
        assertEquals(0, Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_CBC, Cmvp.PAD_PKCS, civ));
        byte[] out = new byte[48];
        assertEquals(32, Cmvp.SymDec(ctx, padded, 0, out));
    }

    @Test
    public void aHandleServesOneOperation() {
        int[] c = ciphersAndKeyLengths()[0];
        byte[] key = CmvpDigestTest.pattern(c[1], 2);
        byte[] pt = CmvpDigestTest.pattern(32, 3);
        byte[] out = new byte[48];
        assertEquals(0, Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_CBC, Cmvp.PAD_PKCS,
                iv(Cmvp.MODE_CBC)));
        assertEquals(48, Cmvp.SymEnc(ctx, pt, 0, out));
        byte[] again = CmvpDigestTest.filled(48);
        assertEquals(Cmvp.ERR_CONTEXT_USED, Cmvp.SymEnc(ctx, pt, 0, again));
        assertEquals(Cmvp.ERR_CONTEXT_USED, Cmvp.SymDec(ctx, out, 0, again));
        assertArrayEquals(CmvpDigestTest.filled(48), again);
        Cmvp.SymCtxRelease(ctx);
        assertFalse(ctx.isOpen());
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymEnc(ctx, pt, 0, again));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymDec(ctx, out, 0, again));
        Cmvp.SymCtxRelease(ctx);

        // A decryption first also ends the handle for encryption.
        assertEquals(0, Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_CBC, Cmvp.PAD_PKCS,
                iv(Cmvp.MODE_CBC)));
        byte[] plain = new byte[48];
        assertEquals(32, Cmvp.SymDec(ctx, out, 0, plain));
        assertArrayEquals(pt, Arrays.copyOf(plain, 32));
        assertEquals(Cmvp.ERR_CONTEXT_USED, Cmvp.SymEnc(ctx, pt, 0, again));
    }

    @Test
    public void shortOutputArraysAreRefusedAndLeaveTheHandleUsable() {
        int[] c = ciphersAndKeyLengths()[0];
        byte[] key = CmvpDigestTest.pattern(c[1], 4);
        byte[] pt = CmvpDigestTest.pattern(32, 5);
        // ciphertext length needed: 48 with padding, 32 without; decryption needs the input length
        int[][] cases = {{Cmvp.PAD_PKCS, 47, 48}, {Cmvp.PAD_ZERO, 47, 48}, {Cmvp.PAD_NONE, 31, 32}};
        for (int[] k : cases) {
            assertEquals(0, Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_ECB, k[0], null));
            byte[] shortOut = CmvpDigestTest.filled(k[1]);
            assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymEnc(ctx, pt, 0, shortOut));
            assertArrayEquals(CmvpDigestTest.filled(k[1]), shortOut);
            byte[] ct = new byte[k[2]];
            assertEquals(k[2], Cmvp.SymEnc(ctx, pt, 0, ct));
            Cmvp.SymCtxRelease(ctx);

            assertEquals(0, Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_ECB, k[0], null));
            shortOut = CmvpDigestTest.filled(k[2] - 1);
            assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymDec(ctx, ct, 0, shortOut));
            assertArrayEquals(CmvpDigestTest.filled(k[2] - 1), shortOut);
            byte[] back = new byte[k[2]];
            assertTrue(Cmvp.SymDec(ctx, ct, 0, back) >= 32);
            assertArrayEquals(pt, Arrays.copyOf(back, 32));
            Cmvp.SymCtxRelease(ctx);
        }
    }

    @Test
    public void initRefusalsStoreNoHandle() {
        int[] c = ciphersAndKeyLengths()[0];
        byte[] key = new byte[c[1]];
        byte[] iv = new byte[16];
        int[][] cases = {
            {Cmvp.SymCtxInit(ctx, new byte[256], c[0], Cmvp.MODE_ECB, Cmvp.PAD_PKCS, null),
                Cmvp.ERR_KEY_LENGTH},
            {Cmvp.SymCtxInit(ctx, null, c[0], Cmvp.MODE_ECB, Cmvp.PAD_PKCS, null),
                Cmvp.ERR_KEY_LENGTH},
            {Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_CBC, Cmvp.PAD_PKCS, new byte[33]),
                Cmvp.ERR_IV_LENGTH},
            {Cmvp.SymCtxInit(new Object(), key, c[0], Cmvp.MODE_ECB, Cmvp.PAD_PKCS, null),
                Cmvp.ERR_NO_HANDLE_FIELD},
            {Cmvp.SymCtxInit(null, key, c[0], Cmvp.MODE_ECB, Cmvp.PAD_PKCS, null),
                Cmvp.ERR_NO_HANDLE_FIELD},
            // CFB, OFB and CTR need a segment length, which this binding never sets.
            {Cmvp.SymCtxInit(ctx, key, c[0], 3, Cmvp.PAD_NONE, iv), -4004},
            {Cmvp.SymCtxInit(ctx, key, c[0], 5, Cmvp.PAD_NONE, iv), -4004},
            {Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_CBC, Cmvp.PAD_PKCS, new byte[8]), -6075},
            {Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_CBC, Cmvp.PAD_PKCS, null), -4003},
            {Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_ECB, 5, null), -6077},
            {Cmvp.SymCtxInit(ctx, key, c[0], Cmvp.MODE_ECB, 0, null), -6077},
        };
        for (int i = 0; i < cases.length; i++) {
            assertEquals("case " + i, cases[i][1], cases[i][0]);
        }
        assertFalse(ctx.isOpen());
    }

    @Test
    public void missingObjectsAndArraysAreRefused() {
        int[] c = ciphersAndKeyLengths()[0];
        byte[] out = new byte[64];
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymEnc(null, new byte[16], 0, out));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymEnc(new Object(), new byte[16], 0, out));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymDec(new CmvpContext(), new byte[16], 0, out));
        assertEquals(0, Cmvp.SymCtxInit(ctx, new byte[c[1]], c[0], Cmvp.MODE_ECB, Cmvp.PAD_PKCS,
                null));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymEnc(ctx, null, 0, out));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymEnc(ctx, new byte[16], 0, null));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.SymDec(ctx, new byte[16], 0, null));
        // None of the refusals used the handle.
        assertEquals(32, Cmvp.SymEnc(ctx, new byte[16], 0, out));
        Cmvp.SymCtxRelease(null);
        Cmvp.SymCtxRelease(new Object());
    }

    /** Records of a vector file of tests/vectors: "NAME = value" lines, blank lines between. */
    protected static List<Map<String, String>> vectors(String file) throws IOException {
        List<Map<String, String>> records = new ArrayList<>();
        Map<String, String> record = new HashMap<>();
        List<String> lines = new ArrayList<>(
                Files.readAllLines(Paths.get(System.getProperty("ql.vectors"), file)));
        lines.add("");
        for (String line : lines) {
            line = line.trim();
            if (line.startsWith("#")) {
                continue;
            }
            if (line.isEmpty()) {
                if (!record.isEmpty()) {
                    records.add(record);
                    record = new HashMap<>();
                }
                continue;
            }
            int eq = line.indexOf('=');
            record.put(line.substring(0, eq).trim(), line.substring(eq + 1).trim());
        }
        return records;
    }

    /** Checks every ECB and CBC record of {@code file}, unpadded, both ways; returns the count. */
    protected int checkVectors(String file, int symId) throws IOException {
        int count = 0;
        for (Map<String, String> r : vectors(file)) {
            String modeName = r.getOrDefault("MODE", "ECB");
            if (!modeName.equals("ECB") && !modeName.equals("CBC")) {
                continue;
            }
            int mode = modeName.equals("ECB") ? Cmvp.MODE_ECB : Cmvp.MODE_CBC;
            byte[] key = CmvpDigestTest.hex(r.get("KEY"));
            byte[] iv = mode == Cmvp.MODE_ECB ? null : CmvpDigestTest.hex(r.get("IV"));
            byte[] pt = CmvpDigestTest.hex(r.getOrDefault("PT", r.get("PLAINTEXT")));
            byte[] ct = CmvpDigestTest.hex(r.getOrDefault("CT", r.get("CIPHERTEXT")));
            String what = file + " " + r;
            assertArrayEquals(what, ct, encrypt(key, symId, mode, Cmvp.PAD_NONE, iv, pt));
            assertArrayEquals(what, pt, decrypt(key, symId, mode, Cmvp.PAD_NONE, iv, ct));
            count++;
        }
        return count;
    }
}
