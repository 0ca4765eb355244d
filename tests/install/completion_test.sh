#!/usr/bin/env bash
# Runs the bash completion as bash would on a typed line and checks what it offers.
# Usage: completion_test.sh COMPLETION_FILE (that it offers every option is checked against the
# option table by the command line's tests)
set -uo pipefail
completion_file=$(realpath "$1")

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
for option in --output -o --verify --checksums --check -c --exclude-from; do
    expect "files after $option" "list.md5 notes photos report.html site.css" \
        "$(offers "vaskerel -q $option " vaskerel -q $option '')"
done
for option in --stylesheet --write-stylesheet; do
    expect "stylesheets after $option" "notes photos site.css" "$(offers "vaskerel $option " vaskerel $option '')"
done
expect "folders as the one operand" "notes photos" "$(offers "vaskerel " vaskerel '')"
expect "options after the first word" "--verify --version" "$(offers "vaskerel -q --ver" vaskerel -q --ver)"
expect "options after a flag" "--one-file-system" "$(offers "vaskerel --version --one" vaskerel --version --one)"
for option in --title -t --exclude -x; do
    expect "nothing after $option" "" "$(offers "vaskerel $option " vaskerel $option '')"
done
expect "job counts after -j" "1" "$(offers "vaskerel -j " vaskerel -j '' | cut -d' ' -f1)"
expect "options after a value" "--exclude --exclude-from" "$(offers "vaskerel -i photos --ex" vaskerel -i photos --ex)"

((failures == 0))
