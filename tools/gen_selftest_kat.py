#!/usr/bin/env python3
"""Writes crypto/module/ql_selftest_kat.inc, the known answers of the power-up self-test.

Values come from published vectors where one of the needed shape exists (ARIA and SEED modes,
FIPS 180 and HAS-160 digests, PKCS #1 OAEP and PSS examples, the TTAK KCDSA samples); the rest is
computed here by the openssl program (SEED through its legacy provider, HMACs, the OAEP
ciphertext of a 16-byte message, PKCS #1 v1.5 signatures, ECDSA keys and signatures) or by
models written here from the algorithms' definitions (HAS-160, checked against its published
digests and HMACs; the X9.62 generator). Run from the source tree:
    tools/gen_selftest_kat.py > crypto/module/ql_selftest_kat.inc
ECDSA keys and signatures are random; each run writes new ones, all valid.
"""
import hashlib
import hmac
import os
import re
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHARED = "/work/shared"
VEC = os.path.join(ROOT, "tests", "vectors")


def records(path):
    out = []
    for block in open(path).read().split("\n\n"):
        d = {}
        for line in block.splitlines():
            if line.startswith("#") or "=" not in line:
                continue
            k, v = line.split("=", 1)
            d[k.strip()] = v.strip()
        if d:
            out.append(d)
    return out


def vec(name):
    local = os.path.join(VEC, name)
    return records(local)


def run(*args, data=None):
    return subprocess.run(args, input=data, capture_output=True, check=True).stdout


def derived(label, n):
    """n bytes expanded from a label with SHA-512 in counter mode (fixed, reproducible)."""
    out = b""
    i = 0
    while len(out) < n:
        out += hashlib.sha512(label.encode() + struct.pack(">I", i)).digest()
        i += 1
    return out[:n]


# ---- HAS-160 model -----------------------------------------------------------------------

S1 = [5, 11, 7, 15, 6, 13, 8, 14, 7, 12, 9, 11, 8, 15, 6, 12, 9, 14, 5, 13]
S2 = [10, 17, 25, 30]
KS = [0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC]
MUL_ADD = [(1, 0), (3, 3), (9, 12), (11, 7)]


def rotl(x, n):
    return ((x << n) | (x >> (32 - n))) & 0xFFFFFFFF


def has160(msg):
    h = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0]
    padded = msg + b"\x80" + b"\x00" * ((55 - len(msg)) % 64) + struct.pack("<Q", 8 * len(msg))
    for off in range(0, len(padded), 64):
        x = list(struct.unpack("<16I", padded[off:off + 64]))
        a, b, c, d, e = h
        for r in range(4):
            m, k = MUL_ADD[r]
            order = [(m * i + k) % 16 for i in range(16)]
            extra = [x[order[4 * g]] ^ x[order[4 * g + 1]] ^ x[order[4 * g + 2]] ^ x[order[4 * g + 3]]
                     for g in range(4)]
            words = x + extra  # X0..X19
            seq = []
            it = iter(order)
            for j in range(20):
                seq.append({0: 18, 5: 19, 10: 16, 15: 17}.get(j, None))
                if seq[-1] is None:
                    seq[-1] = next(it)
            for j in range(20):
                if r == 0:
                    f = (b & c) | (~b & d)
                elif r == 2:
                    f = c ^ (b | (~d & 0xFFFFFFFF))
                else:
                    f = b ^ c ^ d
                t = (rotl(a, S1[j]) + (f & 0xFFFFFFFF) + e + words[seq[j]] + KS[r]) & 0xFFFFFFFF
                a, b, c, d, e = t, a, rotl(b, S2[r]), c, d
        h = [(v + w) & 0xFFFFFFFF for v, w in zip(h, [a, b, c, d, e])]
    return struct.pack("<5I", *h)


def hmac_has160(key, msg):
    if len(key) > 64:
        key = has160(key)
    key = key.ljust(64, b"\x00")
    inner = has160(bytes(k ^ 0x36 for k in key) + msg)
    return has160(bytes(k ^ 0x5C for k in key) + inner)


for r in vec("has160.txt"):
    if r["REPEAT"] != "1000000":  # the million-byte message is slow here and adds nothing
        assert has160(bytes.fromhex(r["MSG"]) * int(r["REPEAT"])).hex() == r["MD"], r
for r in vec("hmac_has160.txt"):
    assert hmac_has160(bytes.fromhex(r["KEY"]), bytes.fromhex(r["MSG"])).hex() == r["MAC"], r

# ---- X9.62 generator model: G is the SHA-1 compression of XVAL zero-padded to a block ------


def sha1_block(block):
    h = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0]
    w = list(struct.unpack(">16I", block))
    for i in range(16, 80):
        w.append(rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1))
    a, b, c, d, e = h
    for i in range(80):
        if i < 20:
            f, k = (b & c) | (~b & d), 0x5A827999
        elif i < 40:
            f, k = b ^ c ^ d, 0x6ED9EBA1
        elif i < 60:
            f, k = (b & c) | (b & d) | (c & d), 0x8F1BBCDC
        else:
            f, k = b ^ c ^ d, 0xCA62C1D6
        t = (rotl(a, 5) + (f & 0xFFFFFFFF) + e + k + w[i]) & 0xFFFFFFFF
        a, b, c, d, e = t, a, rotl(b, 30), c, d
    return struct.pack(">5I", *[(v + x) & 0xFFFFFFFF for v, x in zip(h, [a, b, c, d, e])])


assert sha1_block(b"\x80" + b"\x00" * 63) == hashlib.sha1(b"").digest()


def x962_first(q, xkey, xseed):
    b = len(xkey)
    mod = 1 << (8 * b)
    key = int.from_bytes(xkey, "big")
    m = (q.bit_length() + 159) // 160
    w = b""
    for j in range(m):
        xval = (key + (int.from_bytes(xseed, "big") if j == 0 else 0)) % mod
        x = sha1_block(xval.to_bytes(b, "big").ljust(64, b"\x00"))
        key = (key + int.from_bytes(x, "big") + 1) % mod
        w += x
    return (int.from_bytes(w, "big") % (q - 1) + 1).to_bytes(32, "big")


# ---- DER ---------------------------------------------------------------------------------


def der_len(n):
    if n < 0x80:
        return bytes([n])
    b = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(b)]) + b


def tlv(tag, content):
    return bytes([tag]) + der_len(len(content)) + content


def integer(v):
    b = v.to_bytes(max(1, (v.bit_length() + 8) // 8), "big")
    return tlv(0x02, b)


def seq(*parts):
    return tlv(0x30, b"".join(parts))


def rsa_keys(r):
    n, e, d, p, q, dp, dq, qi = (int(r[k], 16) for k in ("N", "E", "D", "P", "Q", "DP", "DQ", "QINV"))
    priv = seq(integer(0), *(integer(v) for v in (n, e, d, p, q, dp, dq, qi)))
    return priv, seq(integer(n), integer(e))


# ---- openssl helpers ---------------------------------------------------------------------

TMP = tempfile.mkdtemp()


def tmpfile(name, data):
    path = os.path.join(TMP, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def rsa_pem(priv_der):
    der = tmpfile("rsa.der", priv_der)
    return run("openssl", "rsa", "-inform", "DER", "-in", der, "-traditional")


def cipher(name, key, iv, data, legacy=False):
    args = ["openssl", "enc", "-" + name, "-K", key.hex(), "-nopad"]
    if iv is not None:
        args += ["-iv", iv.hex()]
    if legacy:
        args += ["-provider", "legacy", "-provider", "default"]
    return run(*args, data=data)


# ---- tables ------------------------------------------------------------------------------

MODE = {"ECB": "QL_SYM_MODE_ECB", "CBC": "QL_SYM_MODE_CBC", "CFB": "QL_SYM_MODE_CFB",
        "OFB": "QL_SYM_MODE_OFB", "CTR": "QL_SYM_MODE_CTR"}
ORDER = ["ECB", "CBC", "OFB", "CFB", "CTR"]


def cipher_table():
    out = []
    # SEED-128: CBC, OFB and CTR are prefixes of published records; ECB and CFB of 64 bytes
    # come from openssl on published keys and plaintexts.
    seed = vec("seed128_modes.txt")
    by = {}
    for r in seed:
        by.setdefault(r["MODE"], []).append(r)
    case_a = by["CBC"][0]
    key, pt = bytes.fromhex(case_a["KEY"]), bytes.fromhex(case_a["PT"])
    out.append(("QL_SYM_SEED128", "ECB", key, None, pt, cipher("seed-ecb", key, None, pt, True)))
    r = by["CBC"][1]
    out.append(("QL_SYM_SEED128", "CBC", bytes.fromhex(r["KEY"]), bytes.fromhex(r["IV"]),
                bytes.fromhex(r["PT"])[:48], bytes.fromhex(r["CT"])[:48]))
    r = by["OFB"][2]
    out.append(("QL_SYM_SEED128", "OFB", bytes.fromhex(r["KEY"]), bytes.fromhex(r["IV"]),
                bytes.fromhex(r["PT"])[:48], bytes.fromhex(r["CT"])[:48]))
    r = by["CFB"][2]
    key, iv = bytes.fromhex(r["KEY"]), bytes.fromhex(r["IV"])
    pt = bytes.fromhex(r["PT"]) + bytes.fromhex(by["CFB"][0]["PT"])
    ct = cipher("seed-cfb", key, iv, pt, True)
    assert ct[:48] == bytes.fromhex(r["CT"])
    out.append(("QL_SYM_SEED128", "CFB", key, iv, pt, ct))
    r = by["CTR"][0]
    out.append(("QL_SYM_SEED128", "CTR", bytes.fromhex(r["KEY"]), bytes.fromhex(r["CTR"]),
                bytes.fromhex(r["PT"])[:48], bytes.fromhex(r["CT"])[:48]))
    # ARIA: prefixes of the published 160-byte records.
    aria = vec("aria_modes.txt")
    for key_len in (16, 24, 32):
        for mode in ORDER:
            r = next(x for x in aria if x["MODE"] == mode and len(x["KEY"]) == 2 * key_len)
            n = 64 if (mode == "CFB" and key_len == 32) else (32 if mode == "ECB" else 48)
            iv = r.get("IV", r.get("CTR"))
            out.append(("QL_SYM_ARIA", mode, bytes.fromhex(r["KEY"]),
                        bytes.fromhex(iv) if iv else None, bytes.fromhex(r["PT"])[:n],
                        bytes.fromhex(r["CT"])[:n]))
    # Every entry once more through openssl (SEED-CTR as ECB of the counters: openssl has no
    # SEED-CTR).
    for alg, mode, key, iv, pt, ct in out:
        if alg == "QL_SYM_SEED128" and mode == "CTR":
            c0 = int.from_bytes(iv, "big")
            ctrs = b"".join(((c0 + i) % (1 << 128)).to_bytes(16, "big") for i in range(len(pt) // 16))
            stream = cipher("seed-ecb", key, None, ctrs, True)
            assert bytes(a ^ b for a, b in zip(pt, stream)) == ct
            continue
        name = ("seed" if alg == "QL_SYM_SEED128" else "aria-%d" % (8 * len(key))) + "-" + mode.lower()
        assert cipher(name, key, iv, pt, alg == "QL_SYM_SEED128") == ct, (alg, mode)
    return out


SHA_MSGS = {
    "abc": b"abc",
    "56": b"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
    "112": b"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopq"
           b"klmnopqrlmnopqrsmnopqrstnopqrstu",
}
HAS_MSGS = [b"", b"a", b"abc", b"message digest", b"abcdefghijklmnopqrstuvwxyz",
            b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
            b"1234567890" * 8]


def digest_table():
    published = {}
    for r in vec("sha_fips180_examples.txt"):
        if r["REPEAT"] == "1":
            published[(r["ALG"], bytes.fromhex(r["MSG"]))] = bytes.fromhex(r["MD"])
    for r in vec("has160.txt"):
        if r["REPEAT"] != "1000000":
            published[("HAS-160", bytes.fromhex(r["MSG"]) * int(r["REPEAT"]))] = bytes.fromhex(r["MD"])
    plan = [("QL_HASH_SHA1", "SHA-1", [SHA_MSGS["abc"], SHA_MSGS["56"]])]
    plan.append(("QL_HASH_HAS160", "HAS-160", HAS_MSGS))
    plan.append(("QL_HASH_SHA256", "SHA-256", [SHA_MSGS["abc"], SHA_MSGS["56"]]))
    for ident, alg in (("QL_HASH_SHA384", "SHA-384"), ("QL_HASH_SHA512", "SHA-512")):
        plan.append((ident, alg, [SHA_MSGS["abc"], SHA_MSGS["56"], SHA_MSGS["112"]]))
    out = []
    for ident, alg, msgs in plan:
        for m in msgs:
            # FIPS 180 publishes no SHA-384/512 digest of the 56-byte message: openssl's.
            md = published.get((alg, m))
            if alg != "HAS-160":
                ours = hashlib.new(alg.replace("-", "").lower(), m).digest()
                assert md is None or ours == md
                md = ours
            out.append((ident, m, md))
    return out


def hmac_table():
    out = []
    for ident, key_len, md in ((0x101, 80, None), (0x102, 80, "sha1"), (0x103, 128, "sha256"),
                               (0x104, 192, "sha384"), (0x105, 256, "sha512")):
        key = derived("hmac key %x" % ident, key_len)
        msg = derived("hmac message %x" % ident, 128)
        if md is None:
            mac = hmac_has160(key, msg)
        else:
            mac = bytes.fromhex(run("openssl", "mac", "-digest", md, "-macopt", "hexkey:" + key.hex(),
                                    "-in", tmpfile("m", msg), "HMAC").decode().strip())
            assert mac == hmac.new(key, msg, md).digest()
        out.append((ident, msg, key, mac))
    return out


# P-256's group order as the generator's 32-byte modulus.
X962_Q = bytes.fromhex("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551")


def x962_vector():
    xkey = derived("x9.62 xkey", 20)
    xseed = bytes(20)
    return X962_Q, xkey, xseed, x962_first(int.from_bytes(X962_Q, "big"), xkey, xseed)


def oaep_table():
    recs = vec("rsa_oaep_sha1_rsalabs.txt")
    key1 = next(r for r in recs if r["EXAMPLE"] == "1.1")
    ex10 = next(r for r in recs if r["EXAMPLE"] == "10.1")
    out = []
    priv, pub = rsa_keys(key1)
    pt = derived("oaep message 1024", 16)
    pem = tmpfile("k.pem", rsa_pem(priv))
    ct = run("openssl", "pkeyutl", "-encrypt", "-inkey", pem, "-pkeyopt", "rsa_padding_mode:oaep",
             "-pkeyopt", "rsa_oaep_md:sha1", "-pkeyopt", "rsa_mgf1_md:sha1", data=pt)
    out.append((pt, ct, priv, pub))
    priv, pub = rsa_keys(ex10)
    out.append((bytes.fromhex(ex10["MSG"]), bytes.fromhex(ex10["CT"]), priv, pub))
    for pt, ct, priv, _ in out:
        pem = tmpfile("k.pem", rsa_pem(priv))
        assert run("openssl", "pkeyutl", "-decrypt", "-inkey", pem, "-pkeyopt",
                   "rsa_padding_mode:oaep", "-pkeyopt", "rsa_oaep_md:sha1", data=ct) == pt
    return out


def ec_key(curve):
    pem = run("openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:" + curve)
    text = run("openssl", "ec", "-text", "-noout", data=pem).decode()
    priv = re.sub(r"[\s:]", "", re.search(r"priv:\s*([0-9a-f:\s]+?)\s*pub:", text).group(1))
    pub = re.sub(r"[\s:]", "", re.search(r"pub:\s*([0-9a-f:\s]+?)\s*ASN1", text).group(1))
    return pem, int(priv, 16), bytes.fromhex(pub)


def sign_table():
    """(sign id, message, signature, pkey, params, private, public) in the table's order."""
    out = []
    pss = vec("rsa_pss_sha1_rsalabs.txt")
    pss_entries = []
    for ex in ("1.1", "10.1"):
        r = next(x for x in pss if x["EXAMPLE"] == ex)
        priv, pub = rsa_keys(r)
        msg, sig = bytes.fromhex(r["MSG"]), bytes.fromhex(r["SIG"])
        pem = tmpfile("pss%s.pem" % ex, rsa_pem(priv))
        run("openssl", "dgst", "-sha1", "-sigopt", "rsa_padding_mode:pss", "-sigopt",
            "rsa_pss_saltlen:20", "-prverify", pem, "-signature", tmpfile("s", sig),
            tmpfile("m", msg))
        pss_entries.append((msg, priv, pub, pem))
        out.append(("QL_SIGN_RSA_PSS", msg, sig, "QL_PKEY_RSA", b"", priv, pub))
    # KCDSA: the published parameters, keys, message and signatures.
    kc = vec("kcdsa_ttak_r4.txt")
    for edition, ident in (("II.5", "QL_SIGN_KCDSA_HAS160"), ("II.3", "QL_SIGN_KCDSA_SHA256")):
        r = next(x for x in kc if x["EDITION"].endswith(edition))
        params = seq(*(integer(int(r[k], 16)) for k in ("P", "Q", "G")))
        rbytes = bytes.fromhex(r["R"])
        sig = seq(tlv(0x03, b"\x00" + rbytes), integer(int(r["S"], 16)))
        out.append((ident, bytes.fromhex(r["M"]), sig, "QL_PKEY_KCDSA", params,
                    integer(int(r["X"], 16)), integer(int(r["Y"], 16))))
    # ECDSA with SHA-1: keys and signatures by openssl.
    for curve, oid, n in (("P-224", "2b81040021", 28), ("P-256", "2a8648ce3d030107", 32)):
        pem, d, q_point = ec_key(curve)
        msg = derived("ecdsa message " + curve, 128)
        keyfile = tmpfile("ec.pem", pem)
        sig = run("openssl", "dgst", "-sha1", "-sign", keyfile, tmpfile("m", msg))
        run("openssl", "dgst", "-sha1", "-prverify", keyfile, "-signature", tmpfile("s", sig),
            tmpfile("m", msg))
        priv = seq(integer(1), tlv(0x04, d.to_bytes(n, "big")))
        out.append(("QL_SIGN_ECDSA_SHA1", msg, sig, "QL_PKEY_ECDSA", tlv(0x06, bytes.fromhex(oid)),
                    priv, tlv(0x04, q_point)))
    # PKCS #1 v1.5 with SHA-1 on the PSS entries' messages and keys: deterministic, by openssl.
    for msg, priv, pub, pem in pss_entries:
        sig = run("openssl", "dgst", "-sha1", "-sign", pem, tmpfile("m", msg))
        out.append(("QL_SIGN_RSA_V15_SHA1", msg, sig, "QL_PKEY_RSA", b"", priv, pub))
    return out


# ---- output ------------------------------------------------------------------------------


def arr(name, data):
    body = ", ".join("0x%02x" % b for b in data)
    lines = []
    line = "   "
    for tok in body.split(" "):
        if len(line) + len(tok) + 1 > 99:
            lines.append(line)
            line = "   "
        line += " " + tok
    lines.append(line)
    return "const uint8_t %s[%d] = {\n%s};\n" % (name, max(1, len(data)), "\n".join(lines))


def main():
    o = []
    o.append("// Generated by tools/gen_selftest_kat.py; do not edit. The self-test's known answers:")
    o.append("// published vectors where they exist, else values of the openssl program or of the")
    o.append("// generator's models (HAS-160, the X9.62 generator); see the script for each source.")
    o.append("")
    rows = []
    for i, (alg, mode, key, iv, pt, ct) in enumerate(cipher_table()):
        o.append(arr("cipher_%d_key" % i, key))
        o.append(arr("cipher_%d_iv" % i, iv or b""))
        o.append(arr("cipher_%d_pt" % i, pt))
        o.append(arr("cipher_%d_ct" % i, ct))
        rows.append("    {%s, cipher_%d_pt, %d, cipher_%d_ct, %d, cipher_%d_key, %d,\n"
                    "     %s, cipher_%d_iv, %d, %d, QL_SYM_PAD_NONE},"
                    % (alg, i, len(pt), i, len(ct), i, len(key), MODE[mode], i,
                       0 if iv is None else 16, 0 if mode in ("ECB", "CBC") else 16))
    o.append("const CipherKat cipher_kats[] = {\n%s\n};\n" % "\n".join(rows))
    rows = []
    for i, (ident, msg, md) in enumerate(digest_table()):
        o.append(arr("digest_%d_md" % i, md))
        text = msg.decode()
        if len(text) > 40:  # split long messages to stay within the line length
            text = '"\n     "'.join(text[j:j + 40] for j in range(0, len(text), 40))
        rows.append("    {%s, \"%s\", %d, digest_%d_md, %d}," % (ident, text, len(msg), i, len(md)))
    o.append("const DigestKat digest_kats[] = {\n%s\n};\n" % "\n".join(rows))
    rows = []
    for i, (ident, msg, key, mac) in enumerate(hmac_table()):
        o.append(arr("hmac_%d_msg" % i, msg))
        o.append(arr("hmac_%d_key" % i, key))
        o.append(arr("hmac_%d_mac" % i, mac))
        rows.append("    {0x%x, hmac_%d_msg, %d, hmac_%d_key, %d, hmac_%d_mac, %d},"
                    % (ident, i, len(msg), i, len(key), i, len(mac)))
    o.append("const HmacKat hmac_kats[] = {\n%s\n};\n" % "\n".join(rows))
    q, xkey, xseed, want = x962_vector()
    o.append(arr("x962_q", q))
    o.append(arr("x962_xkey", xkey))
    o.append(arr("x962_xseed", xseed))
    o.append(arr("x962_out", want))
    rows = []
    for i, (pt, ct, priv, pub) in enumerate(oaep_table()):
        o.append(arr("penc_%d_pt" % i, pt))
        o.append(arr("penc_%d_ct" % i, ct))
        o.append(arr("penc_%d_priv" % i, priv))
        o.append(arr("penc_%d_pub" % i, pub))
        rows.append("    {QL_PENC_RSA_OAEP, penc_%d_pt, %d, penc_%d_ct, %d, {QL_HASH_SHA1, 1, 1, nullptr, 0},\n"
                    "     QL_PKEY_RSA, nullptr, 0, penc_%d_priv, %d, penc_%d_pub, %d},"
                    % (i, len(pt), i, len(ct), i, len(priv), i, len(pub)))
    o.append("const PencKat penc_kats[] = {\n%s\n};\n" % "\n".join(rows))
    rows = []
    for i, (ident, msg, sig, pkey, params, priv, pub) in enumerate(sign_table()):
        o.append(arr("sign_%d_msg" % i, msg))
        o.append(arr("sign_%d_sig" % i, sig))
        if params:
            o.append(arr("sign_%d_params" % i, params))
        o.append(arr("sign_%d_priv" % i, priv))
        o.append(arr("sign_%d_pub" % i, pub))
        rows.append("    {%s, sign_%d_msg, %d, sign_%d_sig, %d, {QL_HASH_SHA1, 1},\n     %s, %s, %d,"
                    " sign_%d_priv, %d, sign_%d_pub, %d},"
                    % (ident, i, len(msg), i, len(sig), pkey,
                       ("sign_%d_params" % i) if params else "nullptr", len(params), i, len(priv),
                       i, len(pub)))
    o.append("const SignKat sign_kats[] = {\n%s\n};" % "\n".join(rows))
    sys.stdout.write("\n".join(o) + "\n")


if __name__ == "__main__":
    main()
