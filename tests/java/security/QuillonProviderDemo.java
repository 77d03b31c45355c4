package security;

import java.security.KeyPair;
import java.security.KeyPairGenerator;
import java.security.MessageDigest;
import java.security.Security;
import java.security.Signature;
import java.util.Arrays;
import javax.crypto.Cipher;
import javax.crypto.KeyGenerator;
import javax.crypto.Mac;
import javax.crypto.SecretKey;
import javax.crypto.spec.IvParameterSpec;

/**
 * A program that uses the provider as any Java program would: installed once, then reached
 * only through java.security and javax.crypto by its name. Exits with 1 on any mismatch.
 */
public final class QuillonProviderDemo {
    private QuillonProviderDemo() {}

    public static void main(String[] args) throws Exception {
        Security.addProvider(new QuillonProvider());
        String p = "Quillon";
        byte[] msg = "a message for the provider".getBytes("UTF-8");

        byte[] digest = MessageDigest.getInstance("SHA-256", p).digest(msg);
        check("SHA-256", Arrays.equals(digest, MessageDigest.getInstance("SHA-256", "SUN")
                .digest(msg)));

        KeyGenerator kg = KeyGenerator.getInstance("HmacSHA256", p);
        SecretKey macKey = kg.generateKey();
        Mac mac = Mac.getInstance("HmacSHA256", p);
        mac.init(macKey);
        Mac jdkMac = Mac.getInstance("HmacSHA256", "SunJCE");
        jdkMac.init(macKey);
        check("HmacSHA256", Arrays.equals(mac.doFinal(msg), jdkMac.doFinal(msg)));

        SecretKey aria = KeyGenerator.getInstance("ARIA", p).generateKey();
        Cipher c = Cipher.getInstance("ARIA/CBC/PKCS5Padding", p);
        c.init(Cipher.ENCRYPT_MODE, aria);
        byte[] ct = c.doFinal(msg);
        c.init(Cipher.DECRYPT_MODE, aria, new IvParameterSpec(c.getIV()));
        check("ARIA", Arrays.equals(msg, c.doFinal(ct)));

        KeyPairGenerator kpg = KeyPairGenerator.getInstance("RSA", p);
        kpg.initialize(1024);
        KeyPair pair = kpg.generateKeyPair();
        Signature s = Signature.getInstance("SHA256withRSA", p);
        s.initSign(pair.getPrivate());
        s.update(msg);
        byte[] sig = s.sign();
        Signature v = Signature.getInstance("SHA256withRSA", "SunRsaSign");
        v.initVerify(pair.getPublic());
        v.update(msg);
        check("SHA256withRSA", v.verify(sig));

        Cipher rsa = Cipher.getInstance("RSA/ECB/OAEPWithSHA-1AndMGF1Padding", p);
        rsa.init(Cipher.ENCRYPT_MODE, pair.getPublic());
        byte[] wrapped = rsa.doFinal(aria.getEncoded());
        rsa.init(Cipher.DECRYPT_MODE, pair.getPrivate());
        check("RSA-OAEP", Arrays.equals(aria.getEncoded(), rsa.doFinal(wrapped)));
        System.out.println("all services answered through the provider");
    }

    private static void check(String what, boolean ok) {
        if (!ok) {
            System.err.println(what + ": mismatch");
            System.exit(1);
        }
    }
}
