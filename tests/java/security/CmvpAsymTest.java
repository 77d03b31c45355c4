package security;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import java.lang.reflect.Field;
import java.math.BigInteger;
import java.security.KeyFactory;
import java.security.PublicKey;
import java.security.Signature;
import java.security.spec.MGF1ParameterSpec;
import java.security.spec.PSSParameterSpec;
import java.security.spec.RSAPublicKeySpec;
import javax.crypto.Cipher;
import org.junit.AfterClass;
import org.junit.BeforeClass;
import org.junit.Test;

/**
 * The asymmetric natives in the approved state: one generated RSA pair and its import from the
 * eight components, signatures and OAEP checked by the JDK, and the bound and null checks,
 * after which no array may have changed.
 */
public class CmvpAsymTest {
    private static final CmvpPrivateKey generatedPrivate = new CmvpPrivateKey();
    private static final CmvpPublicKey generatedPublic = new CmvpPublicKey();
    private static CmvpPrivateKey importedPrivate;
    private static CmvpPublicKey importedPublic;
    private static BigInteger[] components = new BigInteger[8];
    private static PublicKey jdkPublic;
    private static final int K = 128;  // modulus bytes: few random draws keep generation short

    @BeforeClass
    public static void generate() throws Exception {
        CmvpTestNatives.StateInfo();
        assertEquals(0, Cmvp.ASymGenKeyPair(generatedPrivate, generatedPublic, Cmvp.PKEY_RSA,
                null, new CmvpKeyGenParameter(K, 65537)));
        for (String f : new String[] {"address", "privKey"}) {
            assertTrue(f, longField(generatedPrivate, f) != 0);
        }
        for (String f : new String[] {"address", "pubKey"}) {
            assertTrue(f, longField(generatedPublic, f) != 0);
        }
        byte[] layout = new byte[Cmvp.MAX_INTEGER_BYTES];
        for (int i = 0; i < 8; i++) {
            int len = Cmvp.ASymGetKeyComponent(generatedPrivate, i, layout);
            assertTrue("component " + i, len > 0);
            components[i] = Cmvp.fromNativeLayout(layout, len);
        }
        importedPrivate = CmvpPrivateKey.importRsa(components[0], components[1], components[2],
                components[3], components[4], components[5], components[6], components[7]);
        importedPublic = CmvpPublicKey.importRsa(components[0], components[1]);
        jdkPublic = KeyFactory.getInstance("RSA").generatePublic(
                new RSAPublicKeySpec(components[0], components[1]));
        assertEquals(K * 8, components[0].bitLength());
        assertEquals(components[0], components[3].multiply(components[4]));
    }

    @AfterClass
    public static void free() {
        Cmvp.ASymDeleteKeyPair(generatedPrivate, generatedPublic);
        importedPrivate.close();
        importedPublic.close();
        importedPrivate.close();  // a second close frees nothing
    }

    private static long longField(Object o, String name) throws Exception {
        for (Class<?> c = o.getClass(); c != null; c = c.getSuperclass()) {
            for (Field f : c.getDeclaredFields()) {
                if (f.getName().equals(name)) {
                    f.setAccessible(true);
                    return f.getLong(o);
                }
            }
        }
        throw new NoSuchFieldException(name);
    }

    private static byte[] sign(CmvpPrivateKey key, int signId, CmvpSignParameter p, byte[] msg) {
        byte[] sig = new byte[K];
        assertEquals(K, Cmvp.ASymSign(sig, 0, msg, msg.length, signId, key, null, p));
        return sig;
    }

    @Test
    public void importedAndGeneratedKeysSignAndTheJdkVerifies() throws Exception {
        CmvpSignParameter pss = new CmvpSignParameter(Cmvp.HASH_SHA256, Cmvp.MGF1_SHA1);
        Signature v15 = Signature.getInstance("SHA1withRSA");
        Signature rsaPss = Signature.getInstance("RSASSA-PSS");
        rsaPss.setParameter(new PSSParameterSpec("SHA-256", "MGF1", MGF1ParameterSpec.SHA1, 32, 1));
        for (CmvpPrivateKey key : new CmvpPrivateKey[] {generatedPrivate, importedPrivate}) {
            for (int len : new int[] {0, 1, 20, 1000}) {
                byte[] msg = CmvpDigestTest.pattern(len, len);
                Object[][] cases = {{Cmvp.SIGN_RSA_SHA1, null, v15},
                        {Cmvp.SIGN_RSA_PSS, pss, rsaPss}};
                for (Object[] c : cases) {
                    int signId = (Integer) c[0];
                    CmvpSignParameter p = (CmvpSignParameter) c[1];
                    String what = "scheme " + signId + " len " + len;
                    byte[] sig = sign(key, signId, p, msg);
                    Signature jdk = (Signature) c[2];
                    jdk.initVerify(jdkPublic);
                    jdk.update(msg);
                    assertTrue(what, jdk.verify(sig));
                    for (CmvpPublicKey pub : new CmvpPublicKey[] {generatedPublic,
                            importedPublic}) {
                        assertEquals(what, 0, Cmvp.ASymSignVerify(sig, K, 0, msg, len, signId, pub,
                                null, p));
                    }
                    sig[len % K] ^= 1;
                    int invalid = signId == Cmvp.SIGN_RSA_PSS ? -3041 : -3033;
                    assertEquals(what, invalid, Cmvp.ASymSignVerify(sig, K, 0, msg, len, signId,
                            importedPublic, null, p));
                }
            }
        }
        assertEquals(0, Cmvp.ASymCheckKeyPair(importedPrivate, generatedPublic));
    }

    @Test
    public void oaepRoundTripsAndTheJdkDecrypts() throws Exception {
        java.security.PrivateKey jdkPrivate = KeyFactory.getInstance("RSA").generatePrivate(
                new java.security.spec.RSAPrivateCrtKeySpec(components[0], components[1],
                        components[2], components[3], components[4], components[5],
                        components[6], components[7]));
        Cipher jdk = Cipher.getInstance("RSA/ECB/OAEPWithSHA-1AndMGF1Padding");
        CmvpOaepParameter oaep = new CmvpOaepParameter(Cmvp.HASH_SHA1, Cmvp.MGF1_SHA1,
                Cmvp.OAEP_SOURCE_SPECIFIED);
        for (int len : new int[] {0, 1, 20, K - 42}) {
            byte[] pt = CmvpDigestTest.pattern(len, 7);
            byte[] ct = new byte[K];
            assertEquals(K, Cmvp.ASymEncrypt(ct, pt, len, Cmvp.PENC_RSA_OAEP, importedPublic,
                    oaep));
            jdk.init(Cipher.DECRYPT_MODE, jdkPrivate);
            assertArrayEquals("len " + len, pt, jdk.doFinal(ct));
            byte[] out = new byte[K];
            assertEquals(len, Cmvp.ASymDecrypt(out, ct, K, Cmvp.PENC_RSA_OAEP, generatedPrivate,
                    oaep));
            assertArrayEquals(pt, java.util.Arrays.copyOf(out, len));
        }
        byte[] tooLong = new byte[K - 41];
        assertTrue(Cmvp.ASymEncrypt(new byte[K], tooLong, tooLong.length, Cmvp.PENC_RSA_OAEP,
                importedPublic, oaep) < -1);
        assertEquals(-6072, Cmvp.ASymEncrypt(new byte[K], new byte[1], 1, Cmvp.PENC_RSA_V15,
                importedPublic, null));
    }

    /** Calls that a bound or a missing object must stop: -1, and no array changes. */
    @Test
    public void boundsAndMissingObjectsGiveMinusOneAndTouchNothing() {
        CmvpOaepParameter oaep = new CmvpOaepParameter(Cmvp.HASH_SHA1, Cmvp.MGF1_SHA1, 1);
        byte[] msg = CmvpDigestTest.pattern(20, 1);
        byte[] ct = new byte[K];
        assertEquals(K, Cmvp.ASymEncrypt(ct, msg, 20, Cmvp.PENC_RSA_OAEP, importedPublic, oaep));
        byte[] sig = sign(importedPrivate, Cmvp.SIGN_RSA_SHA1, null, msg);
        byte[] shortOut = CmvpDigestTest.filled(K - 1);
        byte[] out = CmvpDigestTest.filled(K);
        byte[] plainShort = CmvpDigestTest.filled(19);
        Object wrong = new Object();
        CmvpSignParameter none = null;
        int[] results = {
            Cmvp.ASymEncrypt(shortOut, msg, 20, Cmvp.PENC_RSA_OAEP, importedPublic, oaep),
            Cmvp.ASymEncrypt(out, msg, 21, Cmvp.PENC_RSA_OAEP, importedPublic, oaep),
            Cmvp.ASymEncrypt(out, msg, -1, Cmvp.PENC_RSA_OAEP, importedPublic, oaep),
            Cmvp.ASymEncrypt(out, msg, 20, Cmvp.PENC_RSA_OAEP, null, oaep),
            Cmvp.ASymEncrypt(out, msg, 20, Cmvp.PENC_RSA_OAEP, wrong, oaep),
            Cmvp.ASymEncrypt(out, msg, 20, Cmvp.PENC_RSA_OAEP, importedPublic, wrong),
            Cmvp.ASymEncrypt(null, msg, 20, Cmvp.PENC_RSA_OAEP, importedPublic, oaep),
            Cmvp.ASymDecrypt(plainShort, ct, K, Cmvp.PENC_RSA_OAEP, importedPrivate, oaep),
            Cmvp.ASymDecrypt(out, ct, K + 1, Cmvp.PENC_RSA_OAEP, importedPrivate, oaep),
            Cmvp.ASymDecrypt(out, ct, K, Cmvp.PENC_RSA_OAEP, importedPublic, oaep),
            Cmvp.ASymSign(shortOut, 0, msg, 20, Cmvp.SIGN_RSA_SHA1, importedPrivate, null, none),
            Cmvp.ASymSign(out, 0, msg, 21, Cmvp.SIGN_RSA_SHA1, importedPrivate, null, none),
            Cmvp.ASymSign(out, 0, msg, -5, Cmvp.SIGN_RSA_SHA1, importedPrivate, null, none),
            Cmvp.ASymSign(out, 0, null, 0, Cmvp.SIGN_RSA_SHA1, importedPrivate, null, none),
            Cmvp.ASymSign(out, 0, msg, 20, Cmvp.SIGN_RSA_SHA1, null, null, none),
            Cmvp.ASymSign(out, 0, msg, 20, Cmvp.SIGN_RSA_SHA1, importedPrivate, wrong, none),
            Cmvp.ASymSign(out, 0, msg, 20, Cmvp.SIGN_RSA_PSS, importedPrivate, null, wrong),
            Cmvp.ASymSignVerify(sig, K + 1, 0, msg, 20, Cmvp.SIGN_RSA_SHA1, importedPublic, null,
                    none),
            Cmvp.ASymSignVerify(sig, K, 0, msg, 21, Cmvp.SIGN_RSA_SHA1, importedPublic, null, none),
            Cmvp.ASymSignVerify(sig, K, 0, msg, 20, Cmvp.SIGN_RSA_SHA1, wrong, null, none),
            Cmvp.ASymGenKeyPair(new CmvpPrivateKey(), new CmvpPublicKey(), 1, null, null),
            Cmvp.ASymGenKeyPair(null, new CmvpPublicKey(), 1, null, new CmvpKeyGenParameter(K, 3)),
            Cmvp.ASymGenKeyPair(new CmvpPrivateKey(), wrong, 1, null,
                    new CmvpKeyGenParameter(K, 3)),
            Cmvp.ASymCheckKeyPair(null, importedPublic),
            Cmvp.ASymCheckKeyPair(importedPrivate, wrong),
            Cmvp.ASymGetKeyComponent(importedPublic, 2, new byte[Cmvp.MAX_INTEGER_BYTES]),
            Cmvp.ASymGetKeyComponent(importedPrivate, 0, new byte[K - 1]),
        };
        for (int i = 0; i < results.length; i++) {
            assertEquals("case " + i, -1, results[i]);
        }
        assertArrayEquals(CmvpDigestTest.filled(K - 1), shortOut);
        assertArrayEquals(CmvpDigestTest.filled(K), out);
        assertArrayEquals(CmvpDigestTest.filled(19), plainShort);
    }

    /** Imports refuse magnitudes beyond an integer record and signs other than 0 and 1. */
    @Test
    public void importsRefuseOverlongMagnitudesAndBadSigns() throws Exception {
        byte[] e = Cmvp.toNativeLayout(BigInteger.valueOf(65537));
        Object[][] cases = {{new byte[Cmvp.MAX_INTEGER_BYTES], 0, true},
                {new byte[Cmvp.MAX_INTEGER_BYTES + 1], 0, false}, {new byte[8], 2, false},
                {null, 0, false}};
        for (Object[] c : cases) {
            CmvpPublicKey pub = new CmvpPublicKey();
            Cmvp.ASymGenPublicKey(pub, (Integer) c[1], (byte[]) c[0], 0, e);
            assertEquals(java.util.Arrays.toString(c), c[2], pub.isOpen());
            CmvpPrivateKey pri = new CmvpPrivateKey();
            byte[] m = (byte[]) c[0];
            int s = (Integer) c[1];
            Cmvp.ASymGenPrivateKey(pri, s, m, 0, e, 0, m, 0, m, 0, m, 0, m, 0, m, 0, m);
            assertEquals(java.util.Arrays.toString(c), c[2], pri.isOpen());
            Cmvp.ASymDeleteKey(pri, pub);
        }
        Cmvp.ASymGenPublicKey(new Object(), 0, e, 0, e);
        Cmvp.ASymGenPublicKey(null, 0, e, 0, e);
    }

    @Test
    public void deletesIgnoreNullsAndObjectsWithoutKeys() {
        Cmvp.ASymDeleteKeyPair(null, null);
        Cmvp.ASymDeleteKey(null, null);
        Cmvp.ASymDeleteKeyPair(new Object(), new Object());
        Cmvp.ASymDeleteKey(new CmvpPrivateKey(), new CmvpPublicKey());
        CmvpPrivateKey unused = new CmvpPrivateKey();
        unused.close();
        assertFalse(unused.isOpen());
    }

    /** What the Java objects cannot carry: parameter values and KCDSA's signer key. */
    // The cleaner is the safety net of objects that own native memory: it frees what was never
    // closed once the owner is unreachable, and never frees twice what close() already freed
    // (the asan preset runs this test with the JVM, so a second free would be reported).
    @Test
    public void cleanerFreesUnreachableOwnersOnce() throws Exception {
        CmvpContext[] contexts = new CmvpContext[4];
        for (int i = 0; i < contexts.length; i++) {
            contexts[i] = contextOfUnreachableDigest();
            assertTrue(contexts[i].isOpen());
        }
        for (int i = 0; i < 6; i++) {
            CmvpPrivateKey key = CmvpPrivateKey.importRsa(components[0], components[1],
                    components[2], components[3], components[4], components[5], components[6],
                    components[7]);
            if (i % 2 == 0) {
                key.close();
            }
        }
        long deadline = System.nanoTime() + 20_000_000_000L;
        boolean open = true;
        while (open && System.nanoTime() < deadline) {
            System.gc();
            Thread.sleep(20);
            open = false;
            for (CmvpContext c : contexts) {
                synchronized (c) {
                    open |= c.isOpen();
                }
            }
        }
        for (CmvpContext c : contexts) {
            assertFalse(c.isOpen());
        }
    }

    // A digest in use (its native context open), of which only the context holder survives.
    private static CmvpContext contextOfUnreachableDigest() throws Exception {
        QuillonDigest digest = new QuillonDigest(QuillonDigest.Kind.SHA256);
        digest.engineUpdate(new byte[100], 0, 100);
        Field streamField = QuillonDigest.class.getDeclaredField("stream");
        streamField.setAccessible(true);
        Field ctxField = QuillonStream.class.getDeclaredField("ctx");
        ctxField.setAccessible(true);
        return (CmvpContext) ctxField.get(streamField.get(digest));
    }

    @Test
    public void kcdsaAndEcdsaAreRefusedByTheModule() {
        for (int pkeyId : new int[] {Cmvp.PKEY_KCDSA, Cmvp.PKEY_ECDSA}) {
            for (CmvpParameters params : new CmvpParameters[] {null,
                    new CmvpParameters(0, pkeyId)}) {
                CmvpPrivateKey pri = new CmvpPrivateKey();
                CmvpPublicKey pub = new CmvpPublicKey();
                int status = Cmvp.ASymGenKeyPair(pri, pub, pkeyId, params,
                        new CmvpKeyGenParameter(0, 0));
                assertTrue("algorithm " + pkeyId + " status " + status, status < -4);
                Cmvp.ASymDeleteKeyPair(pri, pub);
            }
        }
        byte[] sig = CmvpDigestTest.filled(K);
        assertEquals(-6102, Cmvp.ASymSign(sig, 0, new byte[4], 4, 16, importedPrivate, null,
                new CmvpSignParameter(0, 0)));
        assertArrayEquals(CmvpDigestTest.filled(K), sig);
    }
}
