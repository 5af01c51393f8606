#!/usr/bin/env bash
# check_usage_docs.sh <folder with qirnsplit.1 and the completion qirnsplit>: the manual page
# renders without a warning and lists every command, and the completion, sourced in bash,
# completes commands, options and the choices of an option.
set -euo pipefail
docs=$(cd "$1" && pwd)
page=$docs/qirnsplit.1

warnings=$(LC_ALL=C.UTF-8 groff -ww -man -Tutf8 -z "$page" 2>&1)
[[ -z $warnings ]] || { echo "groff warns about the manual page:"; echo "$warnings"; exit 1; }
if command -v man >/dev/null; then
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z $rendered ]] || { echo "man warns:"; echo "$rendered"; exit 1; }
fi
if command -v lexgrog >/dev/null; then
    lexgrog "$page" | grep -q 'qirnsplit - split text files' || { lexgrog "$page"; exit 1; }
fi
text=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -P-cbou "$page" 2>/dev/null)
for word in 'split COMMAND' 'merge COMMAND' 'verify COMMAND' '--parts' '--quiet' 'EXIT STATUS'; do
    grep -qF -- "$word" <<<"$text" || { echo "the manual page lacks: $word"; exit 1; }
done

complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _qirnsplit
             printf "%s\n" "${COMPREPLY[@]}"' _ "$docs/qirnsplit" "$@"
}
expect() {
    local want=$1
    shift
    local got
    got=$(complete_words "$@" | sort | tr '\n' ' ')
    [[ $got == "$want" ]] || { echo "completing '$*': got '$got', want '$want'"; exit 1; }
}
cd "$(mktemp -d)"
expect 'merge ' qirnsplit me
expect '--parts --pattern ' qirnsplit split --pa
expect '-n ' qirnsplit split -n
expect 'big5 big5-hkscs ' qirnsplit split --to big
expect '--recursive ' qirnsplit merge --rec
expect '--version ' qirnsplit --vers
echo "manual page and completion: fine"
