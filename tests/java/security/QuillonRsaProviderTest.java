package security;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;

import java.security.GeneralSecurityException;
import java.security.InvalidKeyException;
import java.security.KeyFactory;
import java.security.KeyPair;
import java.security.KeyPairGenerator;
import java.security.PrivateKey;
import java.security.Provider;
import java.security.PublicKey;
import java.security.Signature;
import java.security.spec.AlgorithmParameterSpec;
import java.security.spec.MGF1ParameterSpec;
import java.security.spec.PKCS8EncodedKeySpec;
import java.security.spec.PSSParameterSpec;
import java.security.spec.RSAPrivateCrtKeySpec;
import java.security.spec.X509EncodedKeySpec;
import javax.crypto.BadPaddingException;
import javax.crypto.Cipher;
import javax.crypto.IllegalBlockSizeException;
import javax.crypto.spec.OAEPParameterSpec;
import javax.crypto.spec.PSource;
import org.junit.BeforeClass;
import org.junit.Test;

/**
 * The provider's RSA services against the JDK's on the same inputs, in the state a subclass
 * chooses (approved here): each side verifies or decrypts what the other signed or encrypted,
 * with a key pair of each provider, and the keys' encodings read by the other side.
 */
public class QuillonRsaProviderTest {
    static final Provider QUILLON = new QuillonProvider();
    static KeyPair ours;
    static KeyPair jdks;

    @BeforeClass
    public static void keys() throws Exception {
        CmvpTestNatives.StateInfo();
        KeyPairGenerator g = KeyPairGenerator.getInstance("RSA", QUILLON);
        g.initialize(1024);
        ours = g.generateKeyPair();
        KeyPairGenerator j = KeyPairGenerator.getInstance("RSA");
        j.initialize(2048);
        jdks = j.generateKeyPair();
    }

    private static final PSSParameterSpec PSS_SHA1 = new PSSParameterSpec("SHA-1", "MGF1",
            MGF1ParameterSpec.SHA1, 20, 1);
    private static final PSSParameterSpec PSS_SHA256 = new PSSParameterSpec("SHA-256", "MGF1",
            MGF1ParameterSpec.SHA256, 32, 1);
    private static final PSSParameterSpec PSS_SHA256_MGF1_SHA1 = new PSSParameterSpec("SHA-256",
            "MGF1", MGF1ParameterSpec.SHA1, 32, 1);

    /** Schemes the state admits: name and PSS parameters (null for PKCS #1 v1.5). */
    protected Object[][] signatureSchemes() {
        return new Object[][] {{"SHA1withRSA", null}, {"SHA256withRSA", null},
                {"RSASSA-PSS", PSS_SHA1}, {"RSASSA-PSS", PSS_SHA256},
                {"RSASSA-PSS", PSS_SHA256_MGF1_SHA1}};
    }

    /** Transformations the state admits, with OAEP parameters or null. */
    protected Object[][] encryptionSchemes() {
        return new Object[][] {{"RSA/ECB/OAEPWithSHA-1AndMGF1Padding", null},
                {"RSA/ECB/OAEPWithSHA-256AndMGF1Padding", null},
                {"RSA/ECB/OAEPPadding", new OAEPParameterSpec("SHA-256", "MGF1",
                        MGF1ParameterSpec.SHA256, PSource.PSpecified.DEFAULT)}};
    }

    private static Signature signature(String name, Provider p, AlgorithmParameterSpec spec)
            throws GeneralSecurityException {
        Signature s = p == null ? Signature.getInstance(name) : Signature.getInstance(name, p);
        if (spec != null) {
            s.setParameter(spec);
        }
        return s;
    }

    @Test
    public void signaturesVerifyBothWays() throws Exception {
        for (KeyPair pair : new KeyPair[] {ours, jdks}) {
            for (Object[] scheme : signatureSchemes()) {
                String name = (String) scheme[0];
                PSSParameterSpec spec = (PSSParameterSpec) scheme[1];
                Signature q = signature(name, QUILLON, spec);
                Signature j = signature(name, null, spec);
                for (int len : new int[] {0, 3, 1000}) {
                    byte[] msg = CmvpDigestTest.pattern(len, len);
                    String what = name + " " + spec + " len " + len;
                    q.initSign(pair.getPrivate());
                    q.update(msg);
                    byte[] qs = q.sign();
                    j.initVerify(pair.getPublic());
                    j.update(msg);
                    assertTrue(what, j.verify(qs));
                    j.initSign(pair.getPrivate());
                    j.update(msg);
                    byte[] js = j.sign();
                    if (spec == null) {
                        assertArrayEquals(what, js, qs);
                    }
                    for (byte[] sig : new byte[][] {qs, js}) {
                        q.initVerify(pair.getPublic());
                        q.update(msg);
                        assertTrue(what, q.verify(sig));
                        sig[sig.length / 2] ^= 4;
                        q.update(msg);
                        assertFalse(what, q.verify(sig));
                    }
                }
            }
        }
    }

    @Test
    public void encryptionDecryptsBothWays() throws Exception {
        for (KeyPair pair : new KeyPair[] {ours, jdks}) {
            for (Object[] scheme : encryptionSchemes()) {
                String t = (String) scheme[0];
                AlgorithmParameterSpec spec = (AlgorithmParameterSpec) scheme[1];
                Cipher q = Cipher.getInstance(t, QUILLON);
                Cipher j = Cipher.getInstance(t);
                for (int len : new int[] {0, 1, 32, 62}) {
                    byte[] pt = CmvpDigestTest.pattern(len, 3);
                    String what = t + " len " + len;
                    q.init(Cipher.ENCRYPT_MODE, pair.getPublic(), spec);
                    j.init(Cipher.DECRYPT_MODE, pair.getPrivate(), spec);
                    byte[] ct = q.doFinal(pt);
                    assertArrayEquals(what, pt, j.doFinal(ct));
                    j.init(Cipher.ENCRYPT_MODE, pair.getPublic(), spec);
                    q.init(Cipher.DECRYPT_MODE, pair.getPrivate(), spec);
                    byte[] jct = j.doFinal(pt);
                    assertArrayEquals(what, pt, q.doFinal(jct));
                    jct[5] ^= 1;
                    try {
                        q.doFinal(jct);
                        fail(what + ": a corrupted ciphertext decrypted");
                    } catch (BadPaddingException expected) {
                        // reported, nothing returned
                    }
                }
                q.init(Cipher.ENCRYPT_MODE, pair.getPublic(), spec);
                try {
                    q.doFinal(new byte[q.getOutputSize(0)]);
                    fail(t + ": a block-long message was encrypted");
                } catch (IllegalBlockSizeException expected) {
                    // too long for the padding
                }
            }
        }
    }

    @Test
    public void keysTravelThroughEncodingsAndSpecs() throws Exception {
        KeyFactory q = KeyFactory.getInstance("RSA", QUILLON);
        KeyFactory j = KeyFactory.getInstance("RSA");
        for (KeyPair pair : new KeyPair[] {ours, jdks}) {
            PublicKey pub = pair.getPublic();
            PrivateKey pri = pair.getPrivate();
            assertEquals(j.generatePublic(new X509EncodedKeySpec(pub.getEncoded())),
                    q.generatePublic(new X509EncodedKeySpec(pub.getEncoded())));
            PrivateKey fromDer = q.generatePrivate(new PKCS8EncodedKeySpec(pri.getEncoded()));
            assertArrayEquals(j.generatePrivate(new PKCS8EncodedKeySpec(pri.getEncoded()))
                    .getEncoded(), fromDer.getEncoded());
            PrivateKey fromSpec = q.generatePrivate(
                    j.getKeySpec(pri, RSAPrivateCrtKeySpec.class));
            assertArrayEquals(pri.getEncoded(), fromSpec.getEncoded());
            assertArrayEquals(pub.getEncoded(), q.translateKey(pub).getEncoded());
            Signature s = Signature.getInstance("SHA256withRSA", QUILLON);
            s.initSign(fromDer);
            s.update(new byte[3]);
            byte[] sig = s.sign();
            s.initVerify(pub);
            s.update(new byte[3]);
            assertTrue(s.verify(sig));
            fromDer.destroy();
            assertTrue(fromDer.isDestroyed());
        }
    }

    /** What the approved state refuses is refused when the instance is initialised. */
    @Test
    public void unapprovedSchemesAreRefusedAtInit() throws Exception {
        Object[] refused = {Signature.getInstance("SHA384withRSA", QUILLON),
                Signature.getInstance("SHA512withRSA", QUILLON),
                Cipher.getInstance("RSA/ECB/PKCS1Padding", QUILLON)};
        for (Object o : refused) {
            try {
                if (o instanceof Signature) {
                    ((Signature) o).initSign(ours.getPrivate());
                } else {
                    ((Cipher) o).init(Cipher.ENCRYPT_MODE, ours.getPublic());
                }
                fail(o + " in the approved state");
            } catch (InvalidKeyException e) {
                assertTrue(e.getMessage(), e.getMessage().contains("not available"));
            }
        }
    }
}
