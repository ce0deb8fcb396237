# The start of the kzvtool tests: the common start (common.bash), tool (kzvtool's path), no
# settings of the user's (such as DefaultTexturePath), and checks on kzvtool's JSON reports.
. "$(dirname "${BASH_SOURCE[0]}")/common.bash"
tool="$bin/kzvtool"
export XDG_CONFIG_HOME="$work/config"

checks() { # report file; the checks on standard input (see kzvtool_checks.py)
  cat >checks.py
  python3 "$src/tests/cli/kzvtool_checks.py" "$1" checks.py || fail=1
}
