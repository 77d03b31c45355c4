# Key files: keys qlc generates read by openssl pkey, rsa and ec in every form qlc writes;
# keys openssl generates read by qlc in every form openssl writes; components compared with
# openssl's -text; malformed, encrypted and unsupported keys refused with a message.
source "$(dirname "$0")/common.sh"
umask 022
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out o_rsa.pem 2>/dev/null
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out o_ec256.pem
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-224 -out o_ec224.pem
"$QLC" genpkey -a rsa -bits 2048 -out q_rsa.der
"$QLC" genpkey -a ecdsa -curve p224 -out q_ec224.der
"$QLC" genpkey -a ecdsa -curve p256 -outform PEM -out q_ec256.pem
"$QLC" genpkey -a kcdsa -bits 1024 -outform PEM -out q_kc.pem
expect_same "mode of a new private-key file" "$(stat -c %a q_rsa.der)" 600
grep -q "BEGIN QUILLON KCDSA PRIVATE KEY" q_kc.pem || fail "KCDSA PEM label"

# openssl's text of a key file; qlc's of the key it came from must be the same.
ossl_text() {  # READER FILE
  case $1 in
    rsa) openssl rsa -in "$2" -inform "$3" -text -noout ;;
    rsapub) openssl rsa -RSAPublicKey_in -in "$2" -inform "$3" -text -noout ;;
    pub) openssl pkey -pubin -in "$2" -inform "$3" -text -noout ;;
    ec) openssl ec -in "$2" -inform "$3" -text -noout 2>/dev/null ;;
    *) openssl pkey -in "$2" -inform "$3" -text -noout ;;
  esac
}

# qlc writes (key | options | openssl's reader | inform), openssl reads; then qlc reads its
# own output back. Every key of both origins goes through every form.
while IFS='|' read -r key opts reader inform; do
  [ -n "$key" ] || continue
  pub=; [[ $opts == *-pubout* ]] && pub=-pubout
  # shellcheck disable=SC2086
  "$QLC" pkey -in "$key" $opts -out conv
  want=$("$QLC" pkey -in "$key" -text $pub)
  expect_same "openssl $reader of qlc pkey $opts ($key)" "$(ossl_text "$reader" conv "$inform")" "$want"
  expect_same "qlc back from $opts ($key)" "$("$QLC" pkey -in conv -text)" "$want"
done <<EOF
q_rsa.der||rsa|DER
q_rsa.der|-outform PEM|rsa|PEM
o_rsa.pem|-format pkcs8|pkey|DER
q_rsa.der|-format pkcs8 -outform PEM|pkey|PEM
q_rsa.der|-pubout|rsapub|DER
o_rsa.pem|-pubout -outform PEM|rsapub|PEM
q_rsa.der|-pubout -format spki|pub|DER
o_rsa.pem|-pubout -format spki -outform PEM|pub|PEM
q_ec224.der|-format sec1|ec|DER
o_ec256.pem|-format sec1 -outform PEM|ec|PEM
q_ec256.pem|-format pkcs8|pkey|DER
o_ec224.pem|-format pkcs8 -outform PEM|pkey|PEM
q_ec224.der|-pubout -format spki|pub|DER
o_ec256.pem|-pubout -format spki -outform PEM|pub|PEM
EOF

# openssl writes every form it has, qlc reads it: the components match openssl's own text,
# and the module accepts the pair.
openssl rsa -in o_rsa.pem -traditional -out f_rsa1.pem 2>/dev/null
openssl pkey -in o_rsa.pem -outform DER -out f_rsa8.der
openssl rsa -in o_rsa.pem -RSAPublicKey_out -out f_rsapub1.pem 2>/dev/null
openssl pkey -in o_rsa.pem -pubout -outform DER -out f_rsaspki.der
openssl ec -in o_ec256.pem -out f_ec1.pem 2>/dev/null
openssl ec -in o_ec224.pem -outform DER -out f_ec1.der 2>/dev/null
openssl pkey -in o_ec224.pem -pubout -out f_ecspki.pem
openssl ecparam -name prime256v1 -genkey -out f_ecparam.pem  # EC PARAMETERS block first
for f in o_rsa.pem f_rsa1.pem f_rsa8.der o_ec256.pem f_ec1.pem f_ec1.der f_ecparam.pem; do
  inform=PEM; [[ $f == *.der ]] && inform=DER
  expect_same "qlc text of $f" "$("$QLC" pkey -in "$f" -text)" "$(ossl_text pkey "$f" $inform)"
  expect_same "qlc -check of $f" "$("$QLC" pkey -in "$f" -check)" "Key is valid"
done
for f in f_rsapub1.pem f_rsaspki.der f_ecspki.pem; do
  inform=PEM; [[ $f == *.der ]] && inform=DER
  reader=pub; [ $f == f_rsapub1.pem ] && reader=rsapub
  expect_same "qlc text of $f" "$("$QLC" pkey -in "$f" -text)" "$(ossl_text $reader "$f" $inform)"
done

# Bad key files: a message naming the problem, exit 1 (2 for a wrong command line), no
# output file left behind.
head -c 200 q_rsa.der >truncated.der
{ cat q_rsa.der; printf 'x'; } >trailing.der
sed '2s/^./#/' q_ec256.pem >badb64.pem
: >empty.der
openssl pkey -in o_rsa.pem -aes128 -passout pass:x -out enc.pem
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out p384.pem
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -pkeyopt ec_param_enc:explicit \
  -out explicit.pem
openssl genpkey -algorithm ED25519 -out ed.pem
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -pkeyopt rsa_keygen_primes:3 \
  -out multi.pem 2>/dev/null
# An EC private key with another key's public point: the module's form is the private key's
# SEQUENCE followed by the point, so the two halves of two files make the pair.
"$QLC" genpkey -a ecdsa -curve p224 -out q_ec224b.der
n=$(($(od -An -tu1 -j1 -N1 q_ec224.der) + 2))
nb=$(($(od -An -tu1 -j1 -N1 q_ec224b.der) + 2))
{ head -c $n q_ec224.der; tail -c +$((nb + 1)) q_ec224b.der; } >mixed.der
head -c $n q_ec224.der >nopub.der
while IFS='|' read -r rc pattern args; do
  [ -n "$rc" ] || continue
  eval "set -- $args"
  rm -f out.key
  expect_fail "$rc" "$pattern" "$@"
  [ ! -e out.key ] || fail "qlc $*: left out.key behind"
done <<EOF
1|truncated.der: DER length beyond the end|pkey -in truncated.der -out out.key
1|trailing.der: bytes after the key|pkey -in trailing.der -out out.key
1|badb64.pem: malformed base64|pkey -in badb64.pem -out out.key
1|empty.der: empty key file|pkey -in empty.der -out out.key
1|enc.pem: an encrypted key|pkey -in enc.pem -out out.key
1|p384.pem: a curve other than P-224 and P-256|pkey -in p384.pem -out out.key
1|explicit.pem: explicit curve parameters|pkey -in explicit.pem -out out.key
1|ed.pem: a key of another algorithm|pkey -in ed.pem -out out.key
1|multi.pem: an RSA key with more than two primes|pkey -in multi.pem -out out.key
1|missing.der: No such file|pkey -in missing.der -out out.key
1|QLC_KEY_CheckKeyPair|pkey -check -in mixed.der
1|the key file holds no public key|pkey -in nopub.der -pubout -out out.key
2|-format spki is for public keys|pkey -in q_rsa.der -format spki -out out.key
2|-format pkcs8 and sec1 are for private keys|pkey -in f_rsapub1.pem -format pkcs8 -out out.key
2|-format sec1 is for EC keys|pkey -in q_rsa.der -format sec1 -out out.key
2|KCDSA keys have no common container|pkey -in q_kc.pem -pubout -format spki -out out.key
2|unknown key format 'x509'|pkey -in q_rsa.der -format x509
2|-outform takes DER or PEM|pkey -in q_rsa.der -outform TXT
2|-bits for rsa is 2048, 3072 or 4096|genpkey -a rsa -bits 1024 -out out.key
2|-bits for kcdsa is 1024 or 2048|genpkey -a kcdsa -bits 3072 -out out.key
2|unknown curve 'p384'|genpkey -a ecdsa -curve p384 -out out.key
2|unknown algorithm 'dsa'|genpkey -a dsa -out out.key
2|-e applies to rsa only|genpkey -a ecdsa -e 3 -out out.key
2|-e must be odd|genpkey -a rsa -e 65536 -out out.key
2|-paramfile apply to kcdsa only|genpkey -a rsa -paramfile q_kc.pem -out out.key
1|q_rsa.der: an RSA key, not KCDSA parameters|genpkey -a kcdsa -paramfile q_rsa.der -out out.key
EOF

# KCDSA parameters written once and reused: the new key has the file's p, q and g.
"$QLC" pkey -in q_kc.pem -pubout -out kc.pub
"$QLC" genpkey -a kcdsa -paramfile kc.pub -out kc2.der
params() { "$QLC" pkey -in "$1" -text | sed -n '/^p:/,$p'; }
expect_same "parameters from -paramfile" "$(params kc2.der)" "$(params q_kc.pem)"
"$QLC" pkey -in kc2.der -check >/dev/null
"$QLC" genpkey -a kcdsa -bits 1024 -genparam -outform PEM -out kp.pem
grep -q "BEGIN QUILLON KCDSA PARAMETERS" kp.pem || fail "KCDSA parameter PEM label"
"$QLC" genpkey -a kcdsa -paramfile kp.pem -out kc3.der
expect_same "parameters from -genparam" "$(params kc3.der)" "$(params kp.pem)"
