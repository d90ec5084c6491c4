#!/usr/bin/env bash
# The generated bash completion of brimlo-hid, driven the way bash drives it: what it offers
# after a few command lines. Usage: completion_test.sh COMPLETION_FILE
set -euo pipefail

# bash-completion's helpers, reduced to what the script uses.
_init_completion() {
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
}
_filedir() { COMPREPLY=(FILE-COMPLETION); }
complete() { :; }
# shellcheck source=/dev/null
source "$1"

failures=0
# offers "command line, the last word being completed" EXPECTED-WORD... [!ABSENT-WORD...]
offers() {
    local line=$1
    shift
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _brimlo_hid
    local got=" ${COMPREPLY[*]} " word
    for word in "$@"; do
        if [[ $word == !* ]]; then
            if [[ $got == *" ${word#!} "* ]]; then
                echo "FAIL: '$line' offers ${word#!}:$got"
                failures=$((failures + 1))
            fi
        elif [[ $got != *" $word "* ]]; then
            echo "FAIL: '$line' does not offer $word:$got"
            failures=$((failures + 1))
        fi
    done
}

offers "brimlo-hid " list info reg flash doctor --simulate --json --version !read
offers "brimlo-hid re" reg !list
offers "brimlo-hid reg " read write !list
offers "brimlo-hid --simulate reg read --" --count --json !--entire
offers "brimlo-hid -v flash " id burn verify dump !reg
offers "brimlo-hid flash burn " FILE-COMPLETION
offers "brimlo-hid flash burn --" --entire --area --simulate
offers "brimlo-hid --trace " FILE-COMPLETION
offers "brimlo-hid doctor -" --json -d !--count

if ((failures > 0)); then
    exit 1
fi
echo "completion offers as expected"
