#!/usr/bin/env bash
# scripts/install-deps.sh against a package database of our own (stub dpkg-query, apt-get, id on
# PATH): a no-op when everything is present, a tool already on PATH included; otherwise apt-get
# of exactly what is missing; the resource builders' lists only with --tools.
#   install_deps_test.sh PATH/TO/install-deps.sh
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Package names that are no command anywhere, so that the machine's own PATH plays no part.
mkdir -p "$work/tree/deps" "$work/bin"
cp "$script" "$work/tree/install-deps.sh"
printf '# build\nqvt-a-dev  qvt-b-dev\n\nqvt-bundled # comes with another package\n' \
  >"$work/tree/deps/base.txt"
printf 'qvt-data\n' >"$work/tree/deps/tools.txt"

# dpkg-query -W -f=FORMAT PACKAGE: the status recorded for PACKAGE in $STUB_DB, or an error.
cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
for p; do :; done
awk -v p="$p" '$2 == p { printf "%s", $1; found = 1 } END { exit !found }' "$STUB_DB"
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

all='installed qvt-a-dev\ninstalled qvt-b-dev\ninstalled qvt-bundled\n'
install='apt-get update -q\napt-get install -y -q --no-install-recommends'
check "everything present" "$all" ""
check "one missing" 'installed qvt-a-dev\ninstalled qvt-bundled\n' "$install qvt-b-dev"
check "removed packages count as missing" \
  'installed qvt-a-dev\nconfig-files qvt-b-dev\nnot-installed qvt-bundled\n' \
  "$install qvt-b-dev qvt-bundled"
check "tools lists only on request" "$all" ""
check "--tools adds their packages" "$all" "$install qvt-data" --tools
check "--tools with everything present" "${all}installed qvt-data\n" "" --tools

# A tool that another package already installed (npm inside a vendor's nodejs) is present.
printf '#!/bin/sh\n' >"$work/bin/qvt-bundled"
chmod +x "$work/bin/qvt-bundled"
check "a tool on PATH counts as present" 'installed qvt-a-dev\ninstalled qvt-b-dev\n' ""

[ "$failures" -eq 0 ]
