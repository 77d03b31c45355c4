package security;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import java.util.Arrays;
import org.junit.Test;

/** Cipher, random and key-generation natives in the approved state: SEED-128 and ARIA. */
public class CmvpCipherTest extends CmvpCipherTests {
    @Override
    protected int[][] ciphersAndKeyLengths() {
        return new int[][] {{Cmvp.SEED128, 16}, {Cmvp.ARIA, 16}, {Cmvp.ARIA, 24}, {Cmvp.ARIA, 32}};
    }

    @Test
    public void publishedVectors() throws Exception {
        assertEquals(4, checkVectors("seed128_rfc4269_block.txt", Cmvp.SEED128));
        assertTrue(checkVectors("seed128_modes.txt", Cmvp.SEED128) >= 2);
        assertEquals(6, checkVectors("aria_modes.txt", Cmvp.ARIA));
    }

    @Test
    public void unapprovedCiphersAndBadKeysAreRefused() {
        int[][] cases = {
            {Cmvp.SymCtxInit(ctx, new byte[16], Cmvp.AES, Cmvp.MODE_ECB, Cmvp.PAD_PKCS, null),
                -6067},
            {Cmvp.SymCtxInit(ctx, new byte[32], Cmvp.SEED256, Cmvp.MODE_ECB, Cmvp.PAD_PKCS, null),
                -6067},
            {Cmvp.SymCtxInit(ctx, new byte[16], 9, Cmvp.MODE_ECB, Cmvp.PAD_PKCS, null), -6068},
            {Cmvp.SymCtxInit(ctx, new byte[32], Cmvp.SEED128, Cmvp.MODE_ECB, Cmvp.PAD_PKCS, null),
                -6076},
            {Cmvp.SymCtxInit(ctx, new byte[40], Cmvp.ARIA, Cmvp.MODE_ECB, Cmvp.PAD_PKCS, null),
                -4010},
        };
        for (int i = 0; i < cases.length; i++) {
            assertEquals("case " + i, cases[i][1], cases[i][0]);
        }
        assertFalse(ctx.isOpen());
    }

    @Test
    public void randFillsTheWholeArray() {
        byte[] a = new byte[16];
        byte[] b = new byte[16];
        assertEquals(16, Cmvp.Rand(a));
        assertEquals(16, Cmvp.Rand(b));
        assertFalse(Arrays.equals(a, b));
        // The last bytes of a long array are written too.
        byte[] big = new byte[1000];
        assertEquals(1000, Cmvp.Rand(big));
        assertFalse(Arrays.equals(new byte[16], Arrays.copyOfRange(big, 984, 1000)));
        assertEquals(0, Cmvp.Rand(new byte[0]));
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.Rand(null));
    }

    @Test
    public void generatedKeys() {
        // genId, keyLen, expected status, algorithm and length on success
        int[][] cases = {
            {Cmvp.GEN_CIPHER_KEY | Cmvp.SEED128, 0, 0, Cmvp.SEED128, 16},
            {Cmvp.GEN_CIPHER_KEY | Cmvp.SEED128, 24, -6084},
            {Cmvp.GEN_CIPHER_KEY | Cmvp.ARIA, 20, -6084},
            {Cmvp.GEN_CIPHER_KEY | Cmvp.ARIA, 24, 0, Cmvp.ARIA, 24},
            {Cmvp.GEN_HMAC_KEY | Cmvp.HMAC_SHA512, 0, 0, Cmvp.HMAC_SHA512, 32},
            {Cmvp.GEN_HMAC_KEY | Cmvp.HMAC_SHA512, 129, -6084},
            {Cmvp.GEN_HMAC_KEY | Cmvp.HMAC_SHA1, 64, 0, Cmvp.HMAC_SHA1, 64},
            {0x03000002, 0, -6078},
            {Cmvp.GEN_CIPHER_KEY | Cmvp.AES, 0, -6067},
            {Cmvp.GEN_CIPHER_KEY | Cmvp.SEED128, -1, -6084},
        };
        for (int[] c : cases) {
            CmvpSecretKey key = new CmvpSecretKey();
            String what = Integer.toHexString(c[0]) + " len " + c[1];
            assertEquals(what, c[2], Cmvp.GenSecKey(key, c[0], c[1]));
            if (c[2] == 0) {
                assertEquals(what, c[3], key.getAlgorithm());
                assertEquals(what, c[4], key.getLength());
                assertFalse(what, Arrays.equals(new byte[c[4]], key.getEncoded()));
            } else {
                assertEquals(what, 0, key.getLength());
            }
        }
    }

    @Test
    public void aGeneratedKeyEncryptsAndAnHmacKeyKeys() {
        CmvpSecretKey key = new CmvpSecretKey();
        assertEquals(0, Cmvp.GenSecKey(key, Cmvp.GEN_CIPHER_KEY | Cmvp.ARIA, 32));
        byte[] pt = CmvpDigestTest.pattern(40, 1);
        byte[] ct = encrypt(key.getEncoded(), key.getAlgorithm(), Cmvp.MODE_CBC, Cmvp.PAD_PKCS,
                iv(Cmvp.MODE_CBC), pt);
        assertArrayEquals(pt, decrypt(key.getEncoded(), Cmvp.ARIA, Cmvp.MODE_CBC, Cmvp.PAD_PKCS,
                iv(Cmvp.MODE_CBC), ct));
        key.destroy();
        assertEquals(0, key.getLength());

        assertEquals(0, Cmvp.GenSecKey(key, Cmvp.GEN_HMAC_KEY | Cmvp.HMAC_SHA256, 0));
        byte[] k = key.getEncoded();
        assertEquals(0, Cmvp.HMacInit(ctx, k, key.getAlgorithm(), k.length, Cmvp.HMAC_SHA256));
        byte[] mac = new byte[32];
        assertEquals(32, Cmvp.HMacFinal(ctx, mac));
        Cmvp.HMacRelease(ctx);
        assertArrayEquals(CmvpTestNatives.Hmac(Cmvp.HMAC_SHA256, k, new byte[0]), mac);
    }

    /** A key holder whose array is shorter than some keys. */
    static final class SmallKey {
        byte[] m_key = CmvpDigestTest.filled(8);
        int m_id = 7;
        int m_len = 7;
    }

    /** A holder without the m_len field. */
    static final class NoLength {
        byte[] m_key = new byte[64];
        int m_id;
    }

    @Test
    public void keysThatDoNotFitTheHolderAreRefused() {
        SmallKey small = new SmallKey();
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.GenSecKey(small, Cmvp.GEN_CIPHER_KEY | Cmvp.SEED128, 0));
        assertEquals(Cmvp.ERR_BRIDGE,
                Cmvp.GenSecKey(small, Cmvp.GEN_CIPHER_KEY | Cmvp.SEED128, 16));
        assertArrayEquals(CmvpDigestTest.filled(8), small.m_key);
        assertEquals(7, small.m_id);
        assertEquals(7, small.m_len);
        small.m_key = null;
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.GenSecKey(small, Cmvp.GEN_CIPHER_KEY | Cmvp.SEED128, 0));

        NoLength noLength = new NoLength();
        assertEquals(Cmvp.ERR_BRIDGE,
                Cmvp.GenSecKey(noLength, Cmvp.GEN_CIPHER_KEY | Cmvp.SEED128, 0));
        assertArrayEquals(new byte[64], noLength.m_key);
        assertEquals(Cmvp.ERR_BRIDGE, Cmvp.GenSecKey(null, Cmvp.GEN_CIPHER_KEY | Cmvp.SEED128, 0));
        assertEquals(Cmvp.ERR_BRIDGE,
                Cmvp.GenSecKey(new Object(), Cmvp.GEN_CIPHER_KEY | Cmvp.SEED128, 0));
    }
}
