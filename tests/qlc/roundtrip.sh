# Every cipher, mode and padding: qlc dec restores what qlc enc encrypted, on files of 0, 1,
# 15, 16, 17 bytes (and 1 MiB with PKCS padding); the ciphertext has the length the padding
# implies; padding none refuses a partial block in ECB and CBC without leaving a file behind.
source "$(dirname "$0")/common.sh"
sizes=(0 1 15 16 17 1048576)
for n in "${sizes[@]}"; do gen "p$n" "$n"; done
key=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
iv=00112233445566778899aabbccddeeff
size() { wc -c <"$1" | tr -d ' '; }

# cipher:key bytes:tier; tier 1 runs every size, tier 2 the sizes either side of a block.
for ck in seed128:16:1 aria:16:1 seed256:32:2 aria:32:2 aes:16:2 aes:24:2; do
  IFS=: read -r cipher klen tier <<<"$ck"
  for mode in ecb cbc cfb ofb ctr; do
    for pad in none zero bit pkcs; do
      opts=(--non-approved -c "$cipher" -m "$mode" -p "$pad" -k "${key:0:$((2 * klen))}")
      [ "$mode" == ecb ] || opts+=(-iv "$iv")
      # 1 MiB with one padding per mode keeps the run short.
      if [ "$tier" == 1 ]; then
        run=(0 1 15 16 17)
        [ "$pad" != pkcs ] || run+=(1048576)
      else
        run=(0 17)
      fi
      for n in "${run[@]}"; do
        what="$cipher/$klen $mode $pad $n bytes"
        rest=$((n % 16))
        if [ "$pad" == none ] && [[ "$mode" =~ ecb|cbc ]] && [ "$rest" -ne 0 ]; then
          rc=0
          "$QLC" enc "${opts[@]}" -in "p$n" -out c 2>err || rc=$?
          [ "$rc" -eq 1 ] && grep -q "code -4013" err || fail "$what: enc should refuse"
          [ ! -e c ] || fail "$what: output file left behind"
          continue
        fi
        "$QLC" enc "${opts[@]}" -in "p$n" -out c || fail "$what: enc"
        if [ "$pad" == none ] || { [ "$mode" == ctr ] && [ "$rest" -ne 0 ]; }; then
          want=$n
        else
          want=$((n - rest + 16))
        fi
        expect_same "$what: ciphertext length" "$(size c)" "$want"
        "$QLC" dec "${opts[@]}" -in c -out d || fail "$what: dec"
        if [ "$pad" == zero ]; then
          { cat "p$n"; head -c $((want - n)) /dev/zero; } >expect
          cmp -s d expect || fail "$what: zero-padded plaintext"
        else
          cmp -s d "p$n" || fail "$what: round trip"
        fi
        rm -f c d
      done
    done
  done
done

# Short segments of CFB, OFB and CTR, streamed through stdin and stdout.
for mode in cfb ofb ctr; do
  for seg in 1 4 8; do
    opts=(-c aria -m "$mode" -s "$seg" -k "${key:0:32}" -iv "$iv")
    "$QLC" enc "${opts[@]}" <p1048576 | "$QLC" dec "${opts[@]}" | cmp -s - p1048576 ||
      fail "aria $mode segment $seg through pipes"
  done
done

# Keys from genkey work, given as hex, as a hex key file and as a binary one; rand and
# genkey give what they promise.
k=$("$QLC" genkey ARIA256)
[[ "$k" =~ ^[0-9a-f]{64}$ ]] || fail "genkey aria256: '$k'"
"$QLC" genkey -out kf aria256
"$QLC" genkey --raw -out kr aria256
expect_same "genkey --raw size" "$(size kr)" 32
for key in "-k $k" "--key-file kf" "--key-file kr --raw"; do
  "$QLC" enc -c Aria -m CTR $key -iv "$iv" -in p17 -out c && "$QLC" dec -c aria -m ctr $key -iv "$iv" -in c -out d
  cmp -s d p17 || fail "round trip with a generated key ($key)"
done
for kind in seed128:32 aria192:48 hmac-sha1:20 hmac-sha384:48 hmac-sha512:64; do
  expect_same "genkey ${kind%:*} length" "$("$QLC" genkey "${kind%:*}" | tr -d '\n' | wc -c)" "${kind#*:}"
done
expect_same "genkey -l" "$("$QLC" genkey -l 100 hmac-sha512 | tr -d '\n' | wc -c)" 200
expect_same "aes192 key" "$("$QLC" --non-approved genkey aes192 | tr -d '\n' | wc -c)" 48
[[ "$("$QLC" rand 33)" =~ ^[0-9a-f]{66}$ ]] || fail "rand 33 in hex"
"$QLC" rand --raw -out r 70
expect_same "rand --raw size" "$(size r)" 70
[ "$("$QLC" rand 16)" != "$("$QLC" rand 16)" ] || fail "two rand runs agree"
expect_same "rand 0" "$("$QLC" rand 0)" ""
"$QLC" rand -a -out r64 100
expect_same "rand -a" "$(openssl base64 -d <r64 | wc -c | tr -d ' ')" 100
echo "all round trips hold"
