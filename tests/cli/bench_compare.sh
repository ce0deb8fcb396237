#!/usr/bin/env bash
# scripts/bench-compare on two small Google Benchmark files: medians of repeated runs are
# compared, single runs by their value, and every ratio is NEW / OLD worked out by hand.
. "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"

cat >old.json <<'JSON'
{"context": {}, "benchmarks": [
 {"name": "BM_A/repeats:3", "run_name": "BM_A", "run_type": "iteration", "repetitions": 3,
  "real_time": 900, "cpu_time": 900, "time_unit": "us", "ns_per_object": 90},
 {"name": "BM_A_mean", "run_name": "BM_A", "run_type": "aggregate", "aggregate_name": "mean",
  "real_time": 500, "cpu_time": 500, "time_unit": "us", "ns_per_object": 50},
 {"name": "BM_A_median", "run_name": "BM_A", "run_type": "aggregate", "aggregate_name": "median",
  "real_time": 400, "cpu_time": 380, "time_unit": "us", "ns_per_object": 40},
 {"name": "BM_B", "run_name": "BM_B", "run_type": "iteration", "real_time": 10, "cpu_time": 10,
  "time_unit": "ms", "MB/s": 50},
 {"name": "BM_Gone", "run_name": "BM_Gone", "run_type": "iteration", "real_time": 1, "cpu_time": 1,
  "time_unit": "ms"}
]}
JSON
cat >new.json <<'JSON'
{"context": {}, "benchmarks": [
 {"name": "BM_A_median", "run_name": "BM_A", "run_type": "aggregate", "aggregate_name": "median",
  "real_time": 300, "cpu_time": 380, "time_unit": "us", "ns_per_object": 30},
 {"name": "BM_B", "run_name": "BM_B", "run_type": "iteration", "real_time": 8, "cpu_time": 8,
  "time_unit": "ms", "MB/s": 62.5}
]}
JSON

out=$(python3 "$src/scripts/bench-compare" old.json new.json)
code=$?
echo "$out"
check "exit code" 0 $code
row() { echo "$out" | awk -v b="$1" -v m="$2" '$1 == b && index($0, m) { print $NF }'; }
check "median real time 300 / 400" 0.750 "$(row BM_A 'real_time (us)')"
check "median cpu time unchanged" 1.000 "$(row BM_A 'cpu_time (us)')"
check "ns per object 30 / 40" 0.750 "$(row BM_A ns_per_object)"
check "single run MB/s 62.5 / 50" 1.250 "$(row BM_B 'MB/s')"
check "a benchmark only in one file is named" "BM_Gone only in old" "$(echo "$out" | grep -o 'BM_Gone *only in old' | tr -s ' ')"

python3 "$src/scripts/bench-compare" old.json >/dev/null 2>&1
check "usage error" 2 $?
echo '{"benchmarks": [{"name": "BM_C", "run_type": "iteration", "real_time": 1}]}' >other.json
python3 "$src/scripts/bench-compare" old.json other.json >/dev/null 2>&1
check "nothing in common" 1 $?
exit $fail
