package security;

import java.security.NoSuchAlgorithmException;
import java.security.Provider;
import java.security.ProviderException;
import java.util.List;
import java.util.Map;
import java.util.function.Supplier;

/**
 * A Java Cryptography Architecture provider over the QuillonCrypto module, named "Quillon":
 * digests, HMACs, the module's random generator, the ARIA, SEED, SEED-256 and AES block
 * ciphers in ECB and CBC, secret-key generation, and RSA signatures (PKCS #1 v1.5 and PSS),
 * encryption (PKCS #1 v1.5 and OAEP), key-pair generation and key conversion.
 *
 * <p>Install it with {@code Security.addProvider(new QuillonProvider())} and ask for it by name
 * ({@code Cipher.getInstance("ARIA/CBC/PKCS5Padding", "Quillon")}). The module enters its
 * approved state on the first call; there it refuses algorithms it does not approve (AES,
 * SEED-256, RSAES-PKCS1-v1_5, SHA-384 and SHA-512 RSA signatures among them), which this
 * provider reports as NoSuchAlgorithmException when the instance is made, or as
 * InvalidKeyException when it is initialised. KCDSA and ECDSA are not offered: their keys
 * need domain parameters that the bridge cannot pass.
 */
public final class QuillonProvider extends Provider {
    private static final long serialVersionUID = 1L;

    public static final String NAME = "Quillon";

    public QuillonProvider() {
        super(NAME, "1.0", "QuillonCrypto module: digests, HMAC, random, ARIA, SEED, AES, RSA");
        for (QuillonDigest.Kind d : QuillonDigest.Kind.values()) {
            add("MessageDigest", d.jcaName, d.aliases, () -> new QuillonDigest(d));
            add("Mac", d.macName, List.of(), () -> new QuillonMac(d));
            add("KeyGenerator", d.macName, List.of(), () -> new QuillonKeyGenerator(d));
        }
        add("SecureRandom", "QuillonRandom", List.of(), QuillonRandom::new,
                Map.of("ThreadSafe", "true"));
        for (QuillonBlockCipher.Algorithm a : QuillonBlockCipher.Algorithm.values()) {
            add("Cipher", a.jcaName, List.of(), () -> QuillonBlockCipher.create(a),
                    Map.of("SupportedModes", "ECB|CBC",
                            "SupportedPaddings", "NOPADDING|PKCS5PADDING"));
            add("KeyGenerator", a.jcaName, List.of(), () -> {
                QuillonBlockCipher.create(a);  // refused with the cipher
                return new QuillonKeyGenerator(a);
            });
        }
        for (QuillonRsaSignature.Scheme s : QuillonRsaSignature.Scheme.values()) {
            add("Signature", s.jcaName, s.aliases, () -> new QuillonRsaSignature(s),
                    Map.of("SupportedKeyClasses", "java.security.interfaces.RSAKey"));
        }
        add("Cipher", "RSA", List.of(), QuillonRsaCipher::new,
                Map.of("SupportedModes", "ECB|NONE",
                        "SupportedPaddings", "PKCS1PADDING|OAEPPADDING"
                                + "|OAEPWITHSHA-1ANDMGF1PADDING|OAEPWITHSHA1ANDMGF1PADDING"
                                + "|OAEPWITHSHA-256ANDMGF1PADDING|OAEPWITHSHA-384ANDMGF1PADDING"
                                + "|OAEPWITHSHA-512ANDMGF1PADDING",
                        "SupportedKeyClasses", "java.security.interfaces.RSAKey"));
        add("KeyPairGenerator", "RSA", List.of(), QuillonRsaKeyPairGenerator::new);
        add("KeyFactory", "RSA", List.of(), QuillonRsaKeyFactory::new);
    }

    private void add(String type, String algorithm, List<String> aliases, Supplier<Object> make) {
        add(type, algorithm, aliases, make, null);
    }

    private void add(String type, String algorithm, List<String> aliases, Supplier<Object> make,
            Map<String, String> attributes) {
        putService(new MadeService(this, type, algorithm, aliases, make, attributes));
    }

    /** A service whose instances are made by a constructor reference, not by reflection. */
    private static final class MadeService extends Service {
        private final transient Supplier<Object> make;

        MadeService(Provider provider, String type, String algorithm, List<String> aliases,
                Supplier<Object> make, Map<String, String> attributes) {
            super(provider, type, algorithm, implementation(type, algorithm), aliases, attributes);
            this.make = make;
        }

        /** The class that implements the service, for those who list the provider's entries. */
        private static String implementation(String type, String algorithm) {
            String name;
            switch (type) {
                case "MessageDigest":
                    name = "QuillonDigest";
                    break;
                case "Mac":
                    name = "QuillonMac";
                    break;
                case "SecureRandom":
                    name = "QuillonRandom";
                    break;
                case "Cipher":
                    name = algorithm.equals("RSA") ? "QuillonRsaCipher" : "QuillonBlockCipher";
                    break;
                case "Signature":
                    name = "QuillonRsaSignature";
                    break;
                default:
                    name = algorithm.equals("RSA") ? "QuillonRsa" + type : "Quillon" + type;
            }
            return QuillonProvider.class.getPackageName() + "." + name;
        }

        @Override
        public Object newInstance(Object parameter) throws NoSuchAlgorithmException {
            if (parameter != null) {
                throw new NoSuchAlgorithmException(getType() + "." + getAlgorithm()
                        + " takes no construction parameter");
            }
            try {
                return make.get();
            } catch (ModuleRefusal e) {
                NoSuchAlgorithmException n = new NoSuchAlgorithmException(e.getMessage());
                n.initCause(e);
                throw n;
            }
        }
    }

    /** The message of a module status code, with the code. */
    static String message(int code) {
        String text = Cmvp.GetErrMsg(code);
        return (text != null ? text : "unknown failure") + " (" + code + ")";
    }

    /** A module failure that has no more specific exception. */
    static ProviderException failure(String what, int code) {
        return new ProviderException(what + ": " + message(code));
    }

    /** Codes of the module's gates: the algorithm is not admitted in the current state. */
    static boolean isGateRefusal(int code) {
        return code == -6067 || code == -6069 || code == -6070 || (code <= -6071 && code >= -6074);
    }

    /** Thrown while an instance is made when the module refuses its algorithm. */
    static final class ModuleRefusal extends RuntimeException {
        private static final long serialVersionUID = 1L;

        ModuleRefusal(String what, int code) {
            super(what + " is not available in the module's current state: " + message(code));
        }
    }
}
