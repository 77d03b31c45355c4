package security;

import java.security.KeyPair;
import java.security.KeyPairGenerator;
import java.security.MessageDigest;
import java.security.Provider;
import java.security.Signature;
import javax.crypto.Cipher;
import javax.crypto.Mac;
import javax.crypto.spec.IvParameterSpec;
import javax.crypto.spec.SecretKeySpec;

/**
 * Throughput of the provider against the JDK's providers (and Bouncy Castle for ARIA) in one
 * JVM: SHA-256 and HmacSHA256 on 16 KiB, RSA-2048 signing and verification with SHA256withRSA,
 * ARIA-128-CBC on 16 KiB, timed by the thread's CPU time (RSA signing, whose entropy gathering
 * runs child processes, by the wall clock). Each pair runs interleaved after a warm-up; the
 * median of the rounds' ratios is printed (ours/theirs, above 1: ours is slower). The JNI crossing
 * is the provider's SHA-256 and HmacSHA256 against the same module calls made from C in this
 * JVM (the native library qlbench_natives, built beside the bridge). Run by hand:
 *
 * <pre>
 * java -Djava.library.path=build/default/bridge \
 *     -cp build/default/bridge/cmvp.jar:build/default/bridge/cmvp-bench.jar:/usr/share/java/bcprov.jar \
 *     security.QuillonBench
 * </pre>
 */
public final class QuillonBench {
    private QuillonBench() {}

    /** {@code times} module digests of {@code data} from C; the last status. */
    private static native int NativeDigests(int hashId, byte[] data, int times);

    /** {@code times} module HMACs of {@code data} under {@code key} from C; the last status. */
    private static native int NativeMacs(int macId, byte[] key, byte[] data, int times);

    /** Runs {@code op} {@code times} times per call, so that a pair compares per-call costs. */
    private static Op repeat(Op op, int times) {
        return () -> {
            for (int i = 0; i < times; i++) {
                op.run();
            }
        };
    }

    private static void check(int status) {
        if (status < 0) {
            throw new IllegalStateException("module status " + status);
        }
    }

    interface Op {
        void run() throws Exception;
    }

    /**
     * Median nanoseconds per call of each side over {@code rounds} rounds of {@code n} calls,
     * and the median of the rounds' ratios ours/theirs (robust to load that hits a few rounds).
     */
    private static double[] pair(Op ours, Op theirs, int n, int rounds) throws Exception {
        return pair(ours, theirs, n, rounds, true);
    }

    /**
     * As above; {@code cpu} times by this thread's CPU time, which other processes on the machine
     * do not inflate, else by the wall clock (for calls whose cost includes child processes: the
     * module's entropy gathering).
     */
    private static double[] pair(Op ours, Op theirs, int n, int rounds, boolean cpu)
            throws Exception {
        java.lang.management.ThreadMXBean threads =
                java.lang.management.ManagementFactory.getThreadMXBean();
        java.util.function.LongSupplier clock = cpu && threads.isCurrentThreadCpuTimeSupported()
                ? threads::getCurrentThreadCpuTime
                : System::nanoTime;
        double[] a = new double[rounds];
        double[] b = new double[rounds];
        double[] q = new double[rounds];
        for (int i = 0; i < n; i++) {
            ours.run();
            theirs.run();
        }
        for (int r = 0; r < rounds; r++) {
            long t0 = clock.getAsLong();
            for (int i = 0; i < n; i++) {
                ours.run();
            }
            long t1 = clock.getAsLong();
            for (int i = 0; i < n; i++) {
                theirs.run();
            }
            long t2 = clock.getAsLong();
            a[r] = (t1 - t0) / (double) n;
            b[r] = (t2 - t1) / (double) n;
            q[r] = a[r] / b[r];
        }
        java.util.Arrays.sort(a);
        java.util.Arrays.sort(b);
        java.util.Arrays.sort(q);
        return new double[] {a[rounds / 2], b[rounds / 2], q[rounds / 2]};
    }

    private static void report(String what, String peer, double[] t, int bytes) {
        String unit = bytes > 0
                ? String.format("%8.1f MB/s vs %8.1f MB/s", bytes * 1e3 / t[0], bytes * 1e3 / t[1])
                : String.format("%8.0f op/s vs %8.0f op/s", 1e9 / t[0], 1e9 / t[1]);
        System.out.printf("%-28s %-12s %s  ratio %.3f%n", what, peer, unit, t[2]);
    }

    public static void main(String[] args) throws Exception {
        Provider q = new QuillonProvider();
        byte[] data = new byte[16384];
        new java.util.Random(1).nextBytes(data);

        MessageDigest qd = MessageDigest.getInstance("SHA-256", q);
        MessageDigest jd = MessageDigest.getInstance("SHA-256", "SUN");
        report("SHA-256 16 KiB", "SUN", pair(() -> qd.digest(data), () -> jd.digest(data), 200, 15),
                data.length);

        SecretKeySpec macKey = new SecretKeySpec(new byte[32], "HmacSHA256");
        Mac qm = Mac.getInstance("HmacSHA256", q);
        Mac jm = Mac.getInstance("HmacSHA256", "SunJCE");
        qm.init(macKey);
        jm.init(macKey);
        report("HmacSHA256 16 KiB", "SunJCE", pair(() -> qm.doFinal(data), () -> jm.doFinal(data),
                200, 15), data.length);

        try {
            System.loadLibrary("qlbench_natives");
            byte[] key = macKey.getEncoded();
            report("SHA-256 16 KiB crossing", "C", pair(repeat(() -> qd.digest(data), 50),
                    () -> check(NativeDigests(Cmvp.HASH_SHA256, data, 50)), 4, 41),
                    data.length * 50);
            report("HmacSHA256 16 KiB crossing", "C", pair(repeat(() -> qm.doFinal(data), 50),
                    () -> check(NativeMacs(Cmvp.HMAC_SHA256, key, data, 50)), 4, 41),
                    data.length * 50);
        } catch (UnsatisfiedLinkError e) {
            System.out.println("crossing: qlbench_natives is not on java.library.path");
        }

        KeyPairGenerator g = KeyPairGenerator.getInstance("RSA", "SunRsaSign");
        g.initialize(2048);
        KeyPair pair = g.generateKeyPair();
        Signature qs = Signature.getInstance("SHA256withRSA", q);
        Signature js = Signature.getInstance("SHA256withRSA", "SunRsaSign");
        qs.initSign(pair.getPrivate());
        js.initSign(pair.getPrivate());
        byte[] msg = new byte[32];
        report("RSA-2048 sign (wall)", "SunRsaSign", pair(() -> {
            qs.update(msg);
            qs.sign();
        }, () -> {
            js.update(msg);
            js.sign();
        }, 10, 9, false), 0);
        qs.update(msg);
        byte[] sig = qs.sign();
        qs.initVerify(pair.getPublic());
        js.initVerify(pair.getPublic());
        report("RSA-2048 verify", "SunRsaSign", pair(() -> {
            qs.update(msg);
            qs.verify(sig);
        }, () -> {
            js.update(msg);
            js.verify(sig);
        }, 100, 9), 0);

        SecretKeySpec ariaKey = new SecretKeySpec(new byte[16], "ARIA");
        IvParameterSpec iv = new IvParameterSpec(new byte[16]);
        Cipher qc = Cipher.getInstance("ARIA/CBC/NoPadding", q);
        qc.init(Cipher.ENCRYPT_MODE, ariaKey, iv);
        try {
            Provider bc = (Provider) Class.forName(
                    "org.bouncycastle.jce.provider.BouncyCastleProvider").getConstructor()
                    .newInstance();
            Cipher bcc = Cipher.getInstance("ARIA/CBC/NoPadding", bc);
            bcc.init(Cipher.ENCRYPT_MODE, ariaKey, iv);
            report("ARIA-128-CBC 16 KiB", "BC", pair(() -> qc.doFinal(data),
                    () -> bcc.doFinal(data), 100, 15), data.length);
        } catch (ClassNotFoundException e) {
            System.out.println("ARIA-128-CBC: Bouncy Castle is not on the class path");
        }
        Cipher qa = Cipher.getInstance("ARIA/CBC/NoPadding", q);
        qa.init(Cipher.ENCRYPT_MODE, ariaKey, iv);
        Cipher ja = Cipher.getInstance("AES/CBC/NoPadding", "SunJCE");
        ja.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(new byte[16], "AES"), iv);
        report("ARIA-128-CBC vs AES-128-CBC", "SunJCE", pair(() -> qa.doFinal(data),
                () -> ja.doFinal(data), 100, 15), data.length);
    }
}
