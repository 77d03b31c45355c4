package security;

import java.util.Arrays;

/**
 * The native context of a digest or HMAC instance: started on first use, ended after each final
 * step, and freed by a cleaner when its instance becomes unreachable. Every native call holds
 * the context's lock, so the cleaner never frees a context in use.
 */
final class QuillonStream {
    interface Start {
        int run(CmvpContext ctx);
    }

    interface Update {
        int run(Object ctx, byte[] data, long len);
    }

    interface Final {
        long run(Object ctx, byte[] out);
    }

    interface Release {
        void run(Object ctx);
    }

    private final CmvpContext ctx = new CmvpContext();
    private final String name;
    private final int length;
    private final Update update;
    private final Final finish;
    private final Release release;
    private final byte[] one = new byte[1];

    /** A context for the instance {@code owner}, freed once {@code owner} is unreachable. */
    QuillonStream(Object owner, String name, int length, Update update, Final finish,
            Release release) {
        this.name = name;
        this.length = length;
        this.update = update;
        this.finish = finish;
        this.release = release;
        CmvpContext context = ctx;
        CmvpNativeKey.CLEANER.register(owner, () -> {
            synchronized (context) {
                release.run(context);
            }
        });
    }

    /** Starts the context now; returns the module's status. */
    int start(Start start) {
        synchronized (ctx) {
            release.run(ctx);
            return start.run(ctx);
        }
    }

    private void ensureStarted(Start start) {
        if (!ctx.isOpen()) {
            int status = start.run(ctx);
            if (status < 0) {
                throw QuillonProvider.failure(name, status);
            }
        }
    }

    void update(byte b, Start start) {
        synchronized (ctx) {
            one[0] = b;
            update(one, 0, 1, start);
        }
    }

    void update(byte[] input, int offset, int len, Start start) {
        if (len <= 0) {
            return;
        }
        byte[] data = offset == 0 ? input : Arrays.copyOfRange(input, offset, offset + len);
        synchronized (ctx) {
            ensureStarted(start);
            int status = update.run(ctx, data, len);
            if (status < 0) {
                throw QuillonProvider.failure(name + " update", status);
            }
        }
    }

    /** The digest or MAC of everything fed since the start; the context then ends. */
    byte[] finish(Start start) {
        byte[] out = new byte[length];
        synchronized (ctx) {
            ensureStarted(start);
            long status = finish.run(ctx, out);
            release.run(ctx);
            if (status != length) {
                throw QuillonProvider.failure(name + " final", (int) status);
            }
        }
        return out;
    }

    /** Ends the context; the next use starts a new one. */
    void reset() {
        synchronized (ctx) {
            release.run(ctx);
        }
    }
}
