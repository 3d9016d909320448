#!/usr/bin/env bash
# scripts/install-deps.sh against a package database of our own (stub dpkg-query, apt-get, id on
# PATH): a no-op when everything is present, provided names included; otherwise apt-get of exactly
# what is missing; the resource builders' lists only with --tools.
#   install_deps_test.sh PATH/TO/install-deps.sh
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/tree/deps" "$work/bin"
cp "$script" "$work/tree/install-deps.sh"
printf '# build\ncmake  gcc\n\nnpm # bundled with some nodejs builds\n' >"$work/tree/deps/base.txt"
printf 'opencc\n' >"$work/tree/deps/tools.txt"

cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
cat "$STUB_DB"
STUB
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$STUB_LOG"
STUB
printf '#!/bin/sh\necho 0\n' >"$work/bin/id"
chmod +x "$work/bin/"*
export PATH="$work/bin:$PATH" STUB_LOG="$work/apt.log" STUB_DB="$work/db"

failures=0
# check NAME DATABASE EXPECTED-APT-CALLS [ARGS]
check() {
  local name=$1 db=$2 expected=$3
  shift 3
  printf '%b' "$db" >"$STUB_DB"
  : >"$STUB_LOG"
  local status=0
  bash "$work/tree/install-deps.sh" "$@" 2>"$work/err" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "FAIL $name: exit status $status"; cat "$work/err"; failures=$((failures + 1)); return
  fi
  local got
  got=$(cat "$STUB_LOG")
  if [ "$got" != "$(printf '%b' "$expected")" ]; then
    echo "FAIL $name"; echo "  expected: $(printf '%b' "$expected")"; echo "  got:      $got"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

all='installed cmake \ninstalled gcc \ninstalled nodejs nodejs-doc, npm (= 10.8.2)\n'
check "everything present, npm provided by nodejs" "$all" ""
check "one missing" 'installed cmake \ninstalled npm \n' \
  'apt-get update -q\napt-get install -y -q --no-install-recommends gcc'
check "removed packages count as missing" \
  'installed cmake \nconfig-files gcc \nnot-installed npm \n' \
  'apt-get update -q\napt-get install -y -q --no-install-recommends gcc npm'
check "tools lists only on request" "$all" ""
check "--tools adds their packages" "$all" \
  'apt-get update -q\napt-get install -y -q --no-install-recommends opencc' --tools
check "--tools with everything present" "${all}installed opencc \n" "" --tools

[ "$failures" -eq 0 ]
