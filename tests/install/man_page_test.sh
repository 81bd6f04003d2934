#!/usr/bin/env bash
# The man page and the program's own help must not drift apart: every command and every option
# that `vireo-cli --help` and `vireo-cli COMMAND --help` name is in the page.
set -euo pipefail
cli=$1 page=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
verbs=$("$cli" --help | sed -n 's/^\(usage:\| \{1,\}\) *vireo-cli \([a-z][a-z]*\).*/\2/p' | sort -u)
[ -n "$verbs" ] || fail "no commands in vireo-cli --help"
help=$("$cli" --help)
for verb in $verbs; do
  grep -q "^\.B vireo-cli $verb\$\|^\.B vireo-cli $verb \|^\.BI $verb \|^\.B $verb\$" "$page" || fail "command $verb not in $page"
  help+=$'\n'$("$cli" "$verb" --help)
done
for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
  grep -qF -- "${option//-/\\-}" "$page" || fail "option $option not in $page"
done
echo "$(wc -w <<<"$verbs") commands documented"
