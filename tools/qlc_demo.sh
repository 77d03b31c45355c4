#!/usr/bin/env bash
# The main job's demonstration, run through qlc as a person would: version and module state,
# a SHA-256 checked by sha256sum, an ARIA encrypt/decrypt round trip with a fresh key and IV,
# and random bytes. Usage: tools/qlc_demo.sh [PATH-OF-QLC]
set -euo pipefail
qlc=${1:-build/default/qlc}
file=$(dirname "$0")/../README.md
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

step() { printf '\n$ %s\n' "$*"; }

step qlc version
"$qlc" version

step "qlc hash -a sha256 README.md | sha256sum -c"
"$qlc" hash -a sha256 "$file" | sha256sum -c

key=$("$qlc" genkey aria128)
iv=$("$qlc" rand 16)
step "qlc enc -c aria -m cbc -p pkcs -k KEY -iv IV -in README.md -out README.enc  (KEY from qlc genkey aria128, IV from qlc rand 16)"
"$qlc" enc -c aria -m cbc -p pkcs -k "$key" -iv "$iv" -in "$file" -out "$dir/README.enc"
echo "$(wc -c <"$file") bytes in, $(wc -c <"$dir/README.enc") bytes of ciphertext out"
step "qlc dec ... -in README.enc | cmp - README.md"
"$qlc" dec -c aria -m cbc -p pkcs -k "$key" -iv "$iv" -in "$dir/README.enc" | cmp - "$file"
echo "decrypted text matches"

step "qlc rand 32"
"$qlc" rand 32

step "qlc enc -c aes ...  (AES needs --non-approved: the module refuses it in its approved state)"
"$qlc" enc -c aes -k "$key" -iv "$iv" -in "$file" -out "$dir/aes.enc" || true
