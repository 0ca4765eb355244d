#!/usr/bin/env bash
# Runs the bash completion as bash would on a typed line and checks what it offers.
# Usage: completion_test.sh COMPLETION_FILE VASKEREL_BINARY
set -uo pipefail
completion_file=$(realpath "$1")
vaskerel=$(realpath "$2")

source /usr/share/bash-completion/bash_completion || exit 1
source "$completion_file" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir photos notes
touch report.html list.md5 site.css

failures=0

# Offers for LINE typed up to its end, with WORDS as bash splits it; sorted, one line.
offers()
{
    local line=$1
    shift
    COMP_LINE=$line COMP_POINT=${#line} COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
    _vaskerel vaskerel "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}

expect()
{
    local what=$1 wanted=$2 got=$3
    if [[ $got != "$wanted" ]]; then
        echo "FAIL $what: wanted [$wanted], got [$got]"
        failures=$((failures + 1))
    fi
}

for option in --input -i; do
    expect "folders after $option" "notes photos" "$(offers "vaskerel $option " vaskerel $option '')"
done
expect "folders after --input=" "photos" "$(offers "vaskerel --input=ph" vaskerel --input = ph)"
for option in --output -o --verify --checksums; do
    expect "files after $option" "list.md5 notes photos report.html site.css" \
        "$(offers "vaskerel -q $option " vaskerel -q $option '')"
done
for option in --stylesheet --write-stylesheet; do
    expect "stylesheets after $option" "notes photos site.css" "$(offers "vaskerel $option " vaskerel $option '')"
done
expect "folders as the one operand" "notes photos" "$(offers "vaskerel " vaskerel '')"
expect "options after the first word" "--verify --version" "$(offers "vaskerel -q --ver" vaskerel -q --ver)"
for option in --title -t --exclude -x --version; do
    expect "nothing after $option" "" "$(offers "vaskerel $option " vaskerel $option '')"
done
expect "job counts after -j" "1" "$(offers "vaskerel -j " vaskerel -j '' | cut -d' ' -f1)"
expect "options after a value" "--exclude" "$(offers "vaskerel -i photos --ex" vaskerel -i photos --ex)"

# Every option in the executable's option table ("  -i, --input DIR ...") must be offered.
usage=$("$vaskerel" --help) || exit 1
options=$(grep -oE -- '^ +(-[A-Za-z], +)?--[a-z][-a-z0-9]*' <<<"$usage" | tr -s ', ' '\n\n' | grep -- '^-' | sort -u)
[[ $options == *--input* ]] || {
    echo "FAIL no options found in the usage text"
    exit 1
}
offered=" $(offers "vaskerel -" vaskerel -) "
for option in $options; do
    [[ $offered == *" $option "* ]] || {
        echo "FAIL $option is in the usage text but not completed"
        failures=$((failures + 1))
    }
done

((failures == 0))
