# Where qlc writes: -out writes into the file it names (a symbolic link, a FIFO, a device, a
# hard link, an existing file's mode and a read-only file stay what they are); a file qlc
# created is removed when the command fails or is ended by a signal; and every command
# reports a failed write with exit 1.
source "$(dirname "$0")/common.sh"
k16=000102030405060708090a0b0c0d0e0f
iv=00112233445566778899aabbccddeeff
gen data 100000
mode() { stat -c %a "$1"; }
inode() { stat -L -c %i "$1"; }

# Existing targets: the kind of file and its inode stay, the mode stays, the bytes arrive.
printf 'old contents, longer than the new ones\n' >target
ln -s target link
ln target hard
printf 'old\n' >moded && chmod 640 moded
for t in link:target hard:target moded:moded; do
  IFS=: read -r name seen <<<"$t"
  before=$(inode "$name")
  "$QLC" rand -out "$name" 4 || fail "rand -out $name"
  [[ "$(cat "$seen")" =~ ^[0-9a-f]{8}$ ]] || fail "-out $name: '$seen' holds '$(cat "$seen")'"
  expect_same "-out $name: inode" "$(inode "$name")" "$before"
done
[ -L link ] || fail "-out replaced the symbolic link"
expect_same "-out kept the mode" "$(mode moded)" 640
# A new file gets 0666 under the umask.
(umask 027 && "$QLC" rand -out new 4) && expect_same "new file mode" "$(mode new)" 640
# A FIFO receives the data (read by a background reader) and stays a FIFO; so does a device.
mkfifo fifo
cat fifo >from-fifo &
"$QLC" rand --raw -out fifo 64 || fail "rand -out fifo"
wait $!
expect_same "bytes through the FIFO" "$(wc -c <from-fifo | tr -d ' ')" 64
[ -p fifo ] || fail "-out replaced the FIFO"
expect_same "-out /dev/stdout" "$("$QLC" rand -out /dev/stdout 4 | wc -c | tr -d ' ')" 9
# A read-only file: someone else may not write it (Permission denied, contents kept); its
# owner root writes it in place as openssl does.
printf 'keep\n' >ro && chmod 444 ro
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
chmod 755 .
if [ "$(id -u)" == 0 ] && "${as_nobody[@]}" "$QLC" --version >/dev/null 2>&1; then
  rc=0
  "${as_nobody[@]}" "$QLC" rand -out ro 4 2>err || rc=$?
  expect_same "read-only file, other user: exit" "$rc" 1
  grep -q "ro: Permission denied" err || fail "read-only file: '$(cat err)'"
  expect_same "read-only file, other user: contents" "$(cat ro)" keep
  before=$(inode ro)
  "$QLC" rand -out ro 4 && expect_same "read-only file, root: inode" "$(inode ro)" "$before"
  expect_same "read-only file, root: mode" "$(mode ro)" 444
elif [ "$(id -u)" != 0 ]; then
  expect_fail 1 "ro: Permission denied" rand -out ro 4
  expect_same "read-only file: contents" "$(cat ro)" keep
fi

# The input file as the output is refused before a byte of it is lost.
cp data same
expect_fail 1 "same: the input file itself" enc -c aria -k "$k16" -iv "$iv" -in same -out same
cmp -s same data || fail "-in F -out F damaged F"

# A file qlc created is removed when the command fails after writing part of it (the padding
# check of the last block fails after 64 KiB of plaintext are out).
"$QLC" enc -c aria -k "$k16" -iv "$iv" -in data -out data.enc
expect_fail 1 "bad decrypt" dec -c aria -k "ff${k16:2}" -iv "$iv" -in data.enc -out plain
[ ! -e plain ] || fail "a partial plaintext file was left behind"
# ... and when qlc is ended by a signal in the middle of a long rand.
for sig in TERM HUP; do
  "$QLC" rand -out slow 10000000 &
  pid=$!
  for _ in $(seq 100); do [ -e slow ] && break; sleep 0.02; done
  [ -e slow ] || fail "rand -out slow did not start"
  kill -s "$sig" "$pid"
  rc=0
  wait "$pid" 2>/dev/null || rc=$?
  [ "$rc" -gt 128 ] || fail "SIG$sig: exit $rc"
  [ ! -e slow ] || fail "SIG$sig left the partial file behind"
done
# A long rand shows its progress on a terminal from the start (script(1) provides one).
if command -v script >/dev/null; then
  timeout 1 script -qec "'$QLC' rand -out tty-rand 5000" /dev/null >tty.out 2>&1 || true
  grep -q "qlc rand: 0 of 5000 bytes" tty.out || fail "no progress on a terminal: '$(cat tty.out)'"
  rm -f tty-rand
fi
ls -a | grep -q 'qlc-' && fail "temporary files left behind: $(ls -a)"

# Write errors, on standard output and on -out, for every command.
printf abc >abc && "$QLC" hash abc >sums
while IFS='|' read -r args; do
  eval "set -- $args"
  rc=0
  "$QLC" "$@" >/dev/full 2>err || rc=$?
  [ "$rc" == 1 ] && grep -q "No space left on device" err ||
    fail "qlc $* on a full device: exit $rc, '$(cat err)'"
done <<EOF
--version
--help
version
list
version --help
hash abc
hash -c sums
hmac -k 00 abc
enc -c aria -k $k16 -iv $iv -in abc
dec -c aria -k $k16 -iv $iv -in data.enc
rand 4
genkey aria128
selftest
speed -t 0.01 sha1
enc -c aria -k $k16 -iv $iv -in abc -out /dev/full
rand -out /dev/full 4
genkey -out /dev/full aria128
EOF
echo "output files written in place"
