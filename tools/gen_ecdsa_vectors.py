#!/usr/bin/env python3
"""Writes tests/vectors/ecdsa_openssl.txt: ECDSA keys and signatures made by the openssl
program (random digests of 20, 28, 32, 48 and 64 bytes on P-224 and P-256), so that targets
without OpenSSL verify the same values. Run from the source tree:
    tools/gen_ecdsa_vectors.py > tests/vectors/ecdsa_openssl.txt
"""
import os
import re
import subprocess
import tempfile

CURVES = [("P-224", "secp224r1"), ("P-256", "prime256v1")]
DIGEST_LENS = [20, 28, 32, 48, 64]
KEYS_PER_CURVE = 2


def run(*args, data=None):
    return subprocess.run(args, input=data, capture_output=True, check=True).stdout


def key_values(pem):
    text = run("openssl", "ec", "-in", pem, "-text", "-noout").decode()
    priv = re.search(r"priv:\s*([0-9a-f:\s]+?)\s*pub:", text).group(1)
    pub = re.search(r"pub:\s*([0-9a-f:\s]+?)\s*ASN1", text).group(1)
    priv = re.sub(r"[\s:]", "", priv)
    pub = re.sub(r"[\s:]", "", pub)
    assert pub.startswith("04")
    half = (len(pub) - 2) // 2
    return priv, pub[2:2 + half], pub[2 + half:]


def der_integers(sig):
    # SEQUENCE { INTEGER r, INTEGER s } with short lengths (signatures of these curves).
    assert sig[0] == 0x30 and sig[1] == len(sig) - 2
    out, at = [], 2
    for _ in range(2):
        assert sig[at] == 0x02
        n = sig[at + 1]
        out.append(sig[at + 2:at + 2 + n].hex())
        at += 2 + n
    return out


def main():
    print("# ECDSA keys and signatures from the openssl program (tools/gen_ecdsa_vectors.py).")
    print("# d, qx, qy: private and public key; digest: the signed digest; sig: DER signature.")
    with tempfile.TemporaryDirectory() as tmp:
        pem = os.path.join(tmp, "key.pem")
        dig = os.path.join(tmp, "digest.bin")
        for name, openssl_name in CURVES:
            print()
            print(f"[curve = {name}]")
            for _ in range(KEYS_PER_CURVE):
                run("openssl", "ecparam", "-name", openssl_name, "-genkey", "-noout", "-out", pem)
                d, qx, qy = key_values(pem)
                for n in DIGEST_LENS:
                    digest = os.urandom(n)
                    with open(dig, "wb") as f:
                        f.write(digest)
                    sig = run("openssl", "pkeyutl", "-sign", "-inkey", pem, "-in", dig)
                    r, s = der_integers(sig)
                    print()
                    print(f"d = {d}")
                    print(f"qx = {qx}")
                    print(f"qy = {qy}")
                    print(f"digest = {digest.hex()}")
                    print(f"sig = {sig.hex()}")
                    print(f"r = {r}")
                    print(f"s = {s}")


if __name__ == "__main__":
    main()
