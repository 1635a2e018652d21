#!/usr/bin/env bash
# Wipes a disk image file with the cross-built command-line tool under Wine
# and checks the result the way Windows would leave it: the image holds the
# method's last pattern and the run log sits in the Windows log directory
# (C:\Users), named after the image, with CR LF line ends.
set -euo pipefail
wine=$1
exe=$2
certificate=${3:-none} # pdf when the tool is built with Qt

prefix=${WINEPREFIX:-$HOME/.wine}
work=$(mktemp -d /tmp/zd-wine-XXXXXX)
trap 'rm -rf "$work"' EXIT
image="$work/wine-disk.img"
head -c $((4 * 1024 * 1024 + 64 * 512)) /dev/urandom >"$image"
log="$prefix/drive_c/users/Drive__wine-disk.img.log"
rm -f "$log" "${log%.log}.json" "${log%.log}.pdf"

windows_image="Z:$(tr / '\\' <<<"$image")"
"$wine" "$exe" wipe "$windows_image" --method "Zero Wipe" --yes

status=0
if cmp -s "$image" <(head -c "$(stat -c %s "$image")" /dev/zero); then
  echo "image holds zeros everywhere, tail included"
else
  echo "image still holds other bytes than zeros"
  status=1
fi
if [ ! -f "$log" ]; then
  echo "no run log at $log"
  exit 1
fi
cat "$log"
lines=$(wc -l <"$log")
crlf=$(grep -c $'\r$' "$log" || true)
if [ "$lines" -lt 15 ] || [ "$crlf" -ne "$lines" ]; then
  echo "expected every one of the log's $lines lines to end in CR LF, $crlf do"
  status=1
fi
for line in "Log File of Zeza Dera" "Drive Name: wine-disk.img" "Algorithm used: Zero Wipe" \
  "Start Sector  :  0" "End Sector :  8255" "1/1 Pass Completed." "8256 Sector(s) wiped."; do
  if ! grep -qF -- "$line"$'\r' "$log"; then
    echo "log lacks the line: $line"
    status=1
  fi
done
# The erasure record lies beside the log, and the certificate where the tool
# is built with Qt.
record="${log%.log}.json"
if ! grep -q '"outcome": "Erased"' "$record" 2>/dev/null; then
  echo "no erasure record saying Erased at $record"
  status=1
fi
if [ "$certificate" = pdf ] && ! head -c 5 "${log%.log}.pdf" 2>/dev/null | grep -q '%PDF-'; then
  echo "no certificate at ${log%.log}.pdf"
  status=1
elif [ "$certificate" = none ] && [ -e "${log%.log}.pdf" ]; then
  echo "a certificate where the tool, built without Qt, makes none"
  status=1
fi
# A relative path to an existing image is that image; a mistyped one is
# refused as neither a device name nor an existing file.
mkdir "$work/img"
head -c $((1024 * 1024)) /dev/urandom >"$work/img/rel.img"
rm -f "$prefix/drive_c/users/Drive__rel.img.log"
if ! (cd "$work" && "$wine" "$exe" wipe 'img\rel.img' --method "Zero Wipe" --yes >/dev/null); then
  echo "a relative path to an existing image was not wiped"
  status=1
elif ! cmp -s "$work/img/rel.img" <(head -c $((1024 * 1024)) /dev/zero); then
  echo "the relative image does not hold zeros"
  status=1
elif [ ! -f "$prefix/drive_c/users/Drive__rel.img.log" ]; then
  echo "no run log named after the relative image"
  status=1
fi
set +e
refusal=$(cd "$work" && "$wine" "$exe" wipe 'img\missing.img' --method "Zero Wipe" --yes 2>&1)
code=$?
set -e
if [ "$code" -ne 2 ] || ! grep -q 'cannot open' <<<"$refusal"; then
  echo "a mistyped image path was not refused plainly (exit $code): $refusal"
  status=1
fi
exit "$status"
