#!/usr/bin/env bash
# kzvtool's command line: usage and exit codes, the command not built yet, option errors.
. "$(dirname "${BASH_SOURCE[0]}")/lib/kzvtool.bash"

# No command, an unknown command, and info without files or with bad options: usage, exit 2.
expect_usage() { # description, args...
  local what=$1
  shift
  "$tool" "$@" >out.txt 2>err.txt
  check "$what: exit" 2 $?
  grep -q '^Usage: kzvtool info \[--json\] \[--at SECONDS\] \[--loop\]' err.txt || { echo "FAIL: $what: no usage"; fail=1; }
  [ ! -s out.txt ] || { echo "FAIL: $what: wrote to standard output"; fail=1; }
}
expect_usage "no command"
expect_usage "unknown command" frobnicate "$src/data/samples/fog.kzv"
expect_usage "info without files" info --json
expect_usage "unknown option" info --jsn "$src/data/samples/fog.kzv"
expect_usage "--at without value" info "$src/data/samples/fog.kzv" --at
expect_usage "--at not a number" info --at 1.5s "$src/data/samples/fog.kzv"
expect_usage "--at not finite" info --at inf "$src/data/samples/fog.kzv"
expect_usage "--at nan" info --at nan "$src/data/samples/fog.kzv"
"$tool" info --at soon x.kzv 2>err.txt
grep -q "^kzvtool: --at needs a finite number of seconds, not 'soon'$" err.txt || { echo "FAIL: --at message"; cat err.txt; fail=1; }
"$tool" bogus 2>err.txt
grep -q "^kzvtool: unknown command 'bogus'$" err.txt || { echo "FAIL: unknown command message"; fail=1; }

# Help is asked for: the usage on standard output, exit 0.
"$tool" --help >out.txt 2>err.txt
check "help exit" 0 $?
grep -q '^Usage: kzvtool info' out.txt || { echo "FAIL: help text"; fail=1; }

# The command of later work fails loudly.
"$tool" convert "$src/data/samples/fog.kzv" out.3sc >out.txt 2>err.txt
check "convert exit" 3 $?
check "convert message" "kzvtool: convert is not built yet" "$(cat err.txt)"
grep -q '^Usage: kzvtool render \[--at SECONDS | --range START:END:STEP\]' out.txt err.txt && { echo "FAIL: usage on a placeholder"; fail=1; }
"$tool" --help >out.txt
grep -q '^Usage: kzvtool render \[--at SECONDS | --range START:END:STEP\] \[--camera N|free\]$' out.txt || { echo "FAIL: help lacks render"; fail=1; }

# Options may follow the files; "--" lets a file name begin with "-".
cp "$src/data/samples/fog.kzv" ./-odd.kzv
"$tool" info -- -odd.kzv --json >out.txt 2>err.txt
check "after --: exit (the second name is a missing file)" 1 $?
grep -q '^-odd.kzv: kzv version 210' out.txt || { echo "FAIL: file after --"; cat out.txt; fail=1; }
grep -q "^--json: failed: KZVLoader: --json: Can not open file --json$" out.txt || { echo "FAIL: --json after -- is a file"; cat out.txt; fail=1; }
"$tool" info ./-odd.kzv --json --at 0.5 >out.txt
check "options after files: exit" 0 $?
check "options after files: JSON" "0.5" "$(python3 -c 'import json,sys; print(json.load(sys.stdin)[0]["time"])' <out.txt)"

# Nothing is left behind in the working folder (the log goes to a private folder).
check "no files left" "-odd.kzv err.txt out.txt" "$(ls -A | LC_ALL=C sort | paste -sd' ')"

exit $fail
