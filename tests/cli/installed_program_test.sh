#!/bin/sh
# Runs the installed hdtree-list over a small tree made here and checks its output, its report
# and its exit statuses.
# usage: installed_program_test.sh <installed hdtree-list>
set -u
program=$1
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

[ -x "$program" ] || { echo "FAIL: $program is not installed" >&2; exit 1; }
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
export TZ=UTC

mkdir -p "$tmp/root/Docs/Old"
printf '0123456789' > "$tmp/root/Docs/a.txt"
touch -d '2001-02-03 04:05:06' "$tmp/root/Docs/a.txt"

# Runs the program with the given arguments: stdout in $tmp/out, stderr in $tmp/err, the exit
# status in $code.
run() {
  "$program" "$@" > "$tmp/out" 2> "$tmp/err"
  code=$?
}
expect_code() {
  [ "$code" -eq "$1" ] || fail "$2: exit status $code, expected $1 ($(cat "$tmp/err"))"
}
expect_file() {  # expect_file <file> <expected bytes, printf format> <what>
  printf "$2" > "$tmp/expected"
  cmp -s "$1" "$tmp/expected" || fail "$3: $(od -c "$1" | head -20)"
}

run "$tmp/root"
expect_code 0 "folders only"
expect_file "$tmp/out" 'z:\n├─Docs\n└─ Docs <Folder>\n        └─ Old <Folder>\n' "folders only"
expect_file "$tmp/err" '総ファイル数＝3\n' "folders-only count line"

run --all --letter E "$tmp/root"
expect_code 0 "all files"
expect_file "$tmp/out" 'e:\n├─Docs\n└─ Docs <Folder>\n        ├─ a.txt........1KB.....2001/02/03 4:05:06 \n        └─ Old <Folder>\n' "all files"
expect_file "$tmp/err" '総ファイル数＝4\n' "all-files count line"

run --sjis -o "$tmp/report" "$tmp/root"
expect_code 0 "Shift-JIS with a report"
expect_file "$tmp/out" 'z:\n\204\245\204\237Docs\n\204\244\204\237 Docs <Folder>\n        \204\244\204\237 Old <Folder>\n' "Shift-JIS"
expect_file "$tmp/err" '\221\215\203\164\203\100\203\103\203\213\220\224\201\201\063\n' "Shift-JIS count line"
expect_file "$tmp/report" 'z:\r\n \204\245\204\237Docs\r\n \204\244\204\237 Docs <Folder>\r\n         \204\244\204\237 Old <Folder>\r\n ' "report"

(cd "$tmp/root/Docs" && "$program" --auto "$tmp/root" > /dev/null 2>&1)
[ -f "$tmp/root/Tree/TreeFol.txt" ] || fail "automatic save: no Tree/TreeFol.txt"

run --version
expect_code 0 "--version"
grep -qx 'hdtree-list [0-9][0-9.]*' "$tmp/out" || fail "--version: $(cat "$tmp/out")"

run --help
expect_code 0 "--help"
head -n 1 "$tmp/out" | grep -q '^usage: hdtree-list ' || fail "--help: $(head -n 1 "$tmp/out")"

run --bogus
expect_code 2 "unknown option"
expect_file "$tmp/err" 'hdtree-list: unknown option: --bogus\nusage: hdtree-list [-a | --all] [--sjis] [--letter L] [-o FILE | --auto] [TARGET]\n       hdtree-list --drives | --help | --version\n' "unknown option"
[ -s "$tmp/out" ] && fail "unknown option: something on standard output"

run "$tmp/missing"
expect_code 2 "missing folder"

run -o "$tmp/missing/report.txt" "$tmp/root"
expect_code 1 "save into a missing folder"
grep -q '^hdtree-list: .*missing' "$tmp/err" || fail "save into a missing folder: $(cat "$tmp/err")"

run --drives
expect_code 0 "--drives"
grep -qx 'c: /' "$tmp/out" || fail "--drives: no drive c: $(cat "$tmp/out")"

if [ -w /dev/full ]; then
  "$program" "$tmp/root" > /dev/full 2> "$tmp/err"
  code=$?
  expect_code 1 "standard output that cannot be written"
fi

[ "$status" -eq 0 ] && echo "installed hdtree-list: all checks passed"
exit "$status"
