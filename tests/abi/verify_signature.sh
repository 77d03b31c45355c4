# verify_signature.sh OPENSSL KEY WORK FILE...: each FILE ends in "SIGN" and a signature that the
# openssl program verifies as RSASSA-PKCS1-v1_5 with SHA-1, under the public half of KEY, over
# the file without its last 132 bytes, and over nothing longer.
set -euo pipefail
openssl=$1 key=$2 work=$3
shift 3
rm -rf "$work"
mkdir -p "$work"
"$openssl" pkey -in "$key" -pubout -out "$work/public.pem"
for file in "$@"; do
  size=$(wc -c <"$file")
  [ "$size" -gt 132 ] || { echo "FAIL: $file: $size bytes" >&2; exit 1; }
  head -c $((size - 132)) "$file" >"$work/signed"
  tail -c 128 "$file" >"$work/signature"
  mark=$(tail -c 132 "$file" | head -c 4)
  [ "$mark" == SIGN ] || { echo "FAIL: $file: trailer starts '$mark'" >&2; exit 1; }
  "$openssl" dgst -sha1 -verify "$work/public.pem" -signature "$work/signature" "$work/signed" ||
    { echo "FAIL: $file: the signature does not verify" >&2; exit 1; }
  if "$openssl" dgst -sha1 -verify "$work/public.pem" -signature "$work/signature" "$file" \
    >/dev/null; then
    echo "FAIL: $file: the signature also verifies over the trailer" >&2
    exit 1
  fi
done
