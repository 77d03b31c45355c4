# qlc enc against openssl enc, byte for byte, and qlc dec on openssl's ciphertexts: CBC and ECB
# with PKCS padding, CFB and OFB (full-block segments on every length, and 8-bit segments),
# CTR; every key length; base64 text; password-based encryption in both directions.
source "$(dirname "$0")/common.sh"
legacy=(-provider legacy -provider default)
sizes=(0 1 15 16 17 1000 70001)  # 70001: past a 64 KiB chunk, then a partial block
for n in "${sizes[@]}" 47 48; do gen "p$n" "$n"; done
key=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
iv=f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff

# check QLC_CIPHER KEY_BYTES MODE SEGMENT OPENSSL_NAME [OPENSSL_OPTIONS...]
check() {
  local cipher=$1 klen=$2 mode=$3 seg=$4 name=$5
  shift 5
  local k=${key:0:$((2 * klen))} n
  local opts=(--non-approved -c "$cipher" -m "$mode" -k "$k")
  local oopts=(-K "$k")
  [ "$seg" == 16 ] || opts+=(-s "$seg")
  if [ "$mode" != ecb ]; then opts+=(-iv "$iv"); oopts+=(-iv "$iv"); fi
  for n in "${sizes[@]}"; do
    "$QLC" enc "${opts[@]}" -in "p$n" -out ours || fail "qlc enc $name on $n bytes"
    openssl enc "-$name" "$@" "${oopts[@]}" -in "p$n" -out theirs 2>err ||
      fail "openssl enc -$name: $(cat err)"
    cmp -s ours theirs || fail "qlc enc differs from openssl enc -$name on $n bytes"
    "$QLC" dec "${opts[@]}" -in theirs -out back || fail "qlc dec $name on $n bytes"
    cmp -s back "p$n" || fail "qlc dec of openssl's $name ciphertext on $n bytes"
  done
}

for klen in 16 24 32; do
  bits=$((klen * 8))
  for c in aes aria; do
    check "$c" "$klen" cbc 16 "$c-$bits-cbc"
    check "$c" "$klen" ctr 16 "$c-$bits-ctr"
  done
done
check seed128 16 cbc 16 seed-cbc "${legacy[@]}"
check aes 16 ecb 16 aes-128-ecb
check aria 32 ecb 16 aria-256-ecb
check seed128 16 ecb 16 seed-ecb "${legacy[@]}"
for m in cfb ofb; do
  check aes 16 "$m" 16 "aes-128-$m"
  check aria 16 "$m" 16 "aria-128-$m"
  check seed128 16 "$m" 16 "seed-$m" "${legacy[@]}"
done
check aes 32 cfb 1 aes-256-cfb8
check aria 16 cfb 1 aria-128-cfb8

# Base64 text (-a): the same lines as openssl enc -a, and each reads the other's.
for n in 0 1 47 48 1000; do
  "$QLC" enc -a -c aria -k "${key:0:32}" -iv "$iv" -in "p$n" -out ours
  openssl enc -a -aria-128-cbc -K "${key:0:32}" -iv "$iv" -in "p$n" -out theirs
  cmp -s ours theirs || fail "qlc enc -a differs from openssl enc -a on $n bytes"
  "$QLC" dec -a -c aria -k "${key:0:32}" -iv "$iv" -in theirs | cmp -s - "p$n" ||
    fail "qlc dec -a of openssl's text on $n bytes"
done
# Lines of other lengths and no final line end are base64 all the same.
openssl enc -aria-128-cbc -K "${key:0:32}" -iv "$iv" -in p1000 | openssl base64 -A >one-line
"$QLC" dec -a -c aria -k "${key:0:32}" -iv "$iv" -in one-line | cmp -s - p1000 ||
  fail "qlc dec -a of a single line"

# Passwords (-pass -pbkdf2): files of each tool decrypted by the other, with the password
# from every source; and with a fixed salt the same bytes after the header.
export QL_PASSWORD='correct horse'
printf '%s\n' "$QL_PASSWORD" >pwfile
sources=("pass:$QL_PASSWORD" env:QL_PASSWORD file:pwfile)
# qlc cipher : openssl cipher : iterations : input size
for c in aes256:aes-256-cbc:10000:1000 aria256:aria-256-cbc:10000:17 aria128:aria-128-ctr:1:1000 \
  aes128:aes-128-ecb:3:16 seed128:seed-cbc:2:0; do
  IFS=: read -r q o iter n <<<"$c"
  it=(-iter "$iter")
  [ "$iter" != 10000 ] || it=()  # the default of both tools
  mode=${o##*-}
  for s in "${sources[@]}"; do
    [ "$q" == aes256 ] || [ "$s" == "${sources[0]}" ] || continue  # every source once
    "$QLC" --non-approved enc -c "$q" -m "$mode" -pass "$s" -pbkdf2 "${it[@]}" -in "p$n" -out ours ||
      fail "qlc enc -pass $s ($q)"
    openssl enc -d "-$o" "${legacy[@]}" -pbkdf2 "${it[@]}" -pass "$s" -in ours -out back 2>err ||
      fail "openssl enc -d -$o of qlc's file: $(cat err)"
    cmp -s back "p$n" || fail "openssl decrypts qlc's $q file wrongly"
    openssl enc "-$o" "${legacy[@]}" -pbkdf2 "${it[@]}" -pass "$s" -in "p$n" -out theirs
    "$QLC" --non-approved dec -c "$q" -m "$mode" -pass "$s" -pbkdf2 "${it[@]}" -in theirs -out back ||
      fail "qlc dec -pass $s of openssl's $o file"
    cmp -s back "p$n" || fail "qlc decrypts openssl's $o file wrongly"
  done
  "$QLC" --non-approved enc -c "$q" -m "$mode" -pass pass:x -pbkdf2 "${it[@]}" -S 0001020304050607 \
    -in "p$n" | tail -c +17 >ours
  openssl enc "-$o" "${legacy[@]}" -pbkdf2 "${it[@]}" -pass pass:x -S 0001020304050607 -in "p$n" \
    -out theirs
  cmp -s ours theirs || fail "qlc enc -S differs from openssl enc -S ($o)"
done
"$QLC" enc -a -c aria256 -pass pass:x -pbkdf2 -in p1000 -out ours
openssl enc -d -a -aria-256-cbc -pbkdf2 -pass pass:x -in ours | cmp -s - p1000 ||
  fail "openssl reads qlc's base64 salted file"
echo "qlc enc and dec agree with openssl enc"
