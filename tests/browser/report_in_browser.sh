#!/usr/bin/env bash
# Opens a report made with the shipped stylesheet in headless Chromium, in the light and the dark
# scheme, and checks what a reader sees (report_checks.js); then prints it to PDF and checks that
# every row is on paper.
# Usage: report_in_browser.sh VASKEREL_BINARY
# Exits 77 (skipped) when chromium is not installed.
set -euo pipefail

binary=$1
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v chromium >/dev/null; then
    echo "skipped: chromium is not installed"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

mkdir -p "$work/in/many" "$work/out/styles"
(
    cd "$work/in"
    touch ' x' 'x ' x '   ' 'a  b' 'a b' "$(printf 'long_name_%.0s' {1..20}).txt"
    # Lookalikes: a zero-width space, a soft hyphen, and é in NFC and in NFD.
    touch ab "$(printf 'a\xe2\x80\x8bb')" xx "$(printf 'x\xc2\xadx')" "$(printf 'caf\xc3\xa9')" "$(printf 'cafe\xcc\x81')"
    for i in $(seq -w 1 400); do
        echo "$i" >"many/file $i.txt"
    done
)
"$binary" --write-stylesheet "$work/out/styles/é ü.css"
"$binary" -i "$work/in" -o "$work/out/report.htm" -s 'styles/é ü.css?v=é' -t Report -q

cp "$here/report_checks.js" "$work/out/"
cat >"$work/out/check.htm" <<'HTML'
<!DOCTYPE html><meta charset=utf-8><title>waiting</title><script src=report_checks.js></script>
<iframe src=report.htm style="width:900px;height:600px" onload="checkReport(this)"></iframe>
HTML

chromium_run() {
    local profile
    profile=$(mktemp -d "$work/profile.XXXXXX")
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --allow-file-access-from-files --user-data-dir="$profile" "$@" 2>>"$work/chromium.log"
}

for scheme in light dark; do
    flags=()
    [ "$scheme" = dark ] && flags=(--force-dark-mode)
    title=$(chromium_run "${flags[@]}" --dump-dom "file://$work/out/check.htm" |
        sed -n 's:.*<title>\(.*\)</title>.*:\1:p')
    [ "$title" = "$scheme ok" ] || fail "$scheme scheme: ${title:-no result} $(grep -v dbus "$work/chromium.log" | tail -n 5)"
done

# Rows out of view are skipped on screen; on paper every one must be there.
if command -v pdftotext >/dev/null; then
    chromium_run --print-to-pdf="$work/report.pdf" --no-pdf-header-footer "file://$work/out/report.htm" >/dev/null
    pdftotext "$work/report.pdf" "$work/report.txt"
    rows=$(grep -o 'many/file [0-9]*\.txt' "$work/report.txt" | sort -u | wc -l)
    [ "$rows" -eq 400 ] || fail "the printed report holds $rows of the 400 rows below many/"
else
    echo "print check skipped: pdftotext is not installed"
fi
echo "passed"
