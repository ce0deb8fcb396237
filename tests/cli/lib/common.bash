# The start every command-line test shares; sourced first thing, with the test's own arguments
# (BIN_DIR SOURCE_DIR). Sets bin, src, fail (0) and work: a private folder, the current folder
# from here on, removed on exit. Defines check.
set -u
bin=$1
src=$2
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

check() { # description, expected, actual
  if [ "$2" != "$3" ]; then echo "FAIL: $1: expected [$2] got [$3]"; fail=1; else echo "ok: $1"; fi
}
