#!/usr/bin/env bash
# kzvtool convert: every sample and real scene converted to the binary form reports the same
# scene through kzvtool info as its text form; saving again repeats the bytes; the result lines
# and exit codes; a failing file among good ones.
. "$(dirname "${BASH_SOURCE[0]}")/lib/kzvtool.bash"

# Copies beside their maps, so that the binary scenes find the maps the same way.
cp -r "$src/data/samples" "$src/data/real" .
texts=()
while IFS= read -r f; do texts+=("$f"); done < <(find samples real -name '*.kzv' -not -path '*/invalid/*' | sort)
"$tool" convert "${texts[@]}" >convert.txt 2>err.txt
check "convert all: exit" 0 $?
check "convert all: one line per file" "${#texts[@]}" "$(grep -c ' -> .*\.3sc ([0-9]* bytes, [0-9.]* s)$' convert.txt)"
check "convert all: argument order" "${texts[0]} -> ${texts[0]%.kzv}.3sc" "$(head -1 convert.txt | sed 's/ (.*//')"
binaries=("${texts[@]/%.kzv/.3sc}")

# The same scene through info, at three times.
for at in 0 0.5 1.7; do
  "$tool" info --json --at $at "${texts[@]}" >text$at.json
  "$tool" info --json --at $at "${binaries[@]}" >binary$at.json
  check "info of the binary scenes at $at: exit" 0 $?
done
python3 - "${texts[@]}" <<'PY' || fail=1
import json, re, sys
failures = 0
def compare(a, b, path, out):
    if isinstance(a, dict) and isinstance(b, dict):
        if sorted(a) != sorted(b):
            out.append("%s: keys %s / %s" % (path, sorted(a), sorted(b)))
            return
        for k in a:
            if k not in ("file", "format", "version", "log"):
                compare(a[k], b[k], path + "/" + k, out)
    elif isinstance(a, list) and isinstance(b, list):
        if len(a) != len(b):
            out.append("%s: %d / %d entries" % (path, len(a), len(b)))
            return
        for i, (x, y) in enumerate(zip(a, b)):
            compare(x, y, "%s/%d" % (path, i), out)
    elif isinstance(a, float) or isinstance(b, float):
        if a is None or b is None or abs(a - b) > 1e-5 * max(1.0, abs(a)):
            out.append("%s: %r / %r" % (path, a, b))
    elif a != b:
        out.append("%s: %r / %r" % (path, a, b))
for at in ("0", "0.5", "1.7"):
    texts, binaries = json.load(open("text%s.json" % at)), json.load(open("binary%s.json" % at))
    for name, t, b in zip(sys.argv[1:], texts, binaries):
        if "error" in t or "error" in b or b["format"] != "3sc" or b["version"] != 102:
            print("FAIL: %s: %s / %s" % (name, t.get("error"), b.get("error")))
            failures += 1
            continue
        # The scene record holds no bounds of the whole scene: those of a "Bounds" object are
        # computed from the meshes instead.
        if re.search(r'NODE_NAME\s+"bounds"', open(name, errors="replace").read(), re.I):
            t.pop("bounds"), b.pop("bounds")
        out = []
        compare(t, b, "", out)
        if out:
            failures += 1
            print("FAIL: %s at %s: %s" % (name, at, "; ".join(out[:8])))
        else:
            print("ok: %s at %s" % (name, at))
sys.exit(1 if failures else 0)
PY

# Saving again repeats the bytes: the text scene a second time, a binary scene loaded again,
# with one job or several.
mkdir again twice
"$tool" convert "${texts[@]}" -d twice --jobs 1 >/dev/null
"$tool" convert "${binaries[@]}" -d again >/dev/null
for b in "${binaries[@]}"; do
  cmp -s "$b" "twice/$(basename "$b")" || { echo "FAIL: text saved twice differs: $b"; fail=1; }
  cmp -s "$b" "again/$(basename "$b")" || { echo "FAIL: binary saved again differs: $b"; fail=1; }
done
"$tool" convert samples/fog.3sc >out.txt
check "a binary scene rewritten in place: exit" 0 $?
cmp -s samples/fog.3sc again/fog.3sc || { echo "FAIL: rewritten in place differs"; fail=1; }

# A failing file among good ones: its error line in order, the others converted, exit 1;
# two inputs with one output: the later one refused.
printf '3SCg' >newer.3sc
mkdir out
"$tool" convert samples/fog.kzv newer.3sc samples/skinned.kzv real/anim.kzv -d out --jobs 3 >out.txt 2>err.txt
check "mixed: exit" 1 $?
check "mixed: lines" "samples/fog.kzv -> out/fog.3sc
newer.3sc: error: File: newer.3sc: Unknown file version: 103
samples/skinned.kzv -> out/skinned.3sc
real/anim.kzv -> out/anim.3sc" "$(sed 's/ (.*//' out.txt)"
check "mixed: no output for the failed file" "anim.3sc fog.3sc skinned.3sc" "$(ls out | paste -sd' ')"
"$tool" convert samples/fog.kzv real/TestUVTransform/../../samples/fog.kzv -d out >out.txt
check "same output twice: exit" 1 $?
grep -q "^real/TestUVTransform/../../samples/fog.kzv: error: out/fog.3sc is also the output of an earlier file$" out.txt ||
  { echo "FAIL: same output twice"; cat out.txt; fail=1; }
"$tool" convert samples/fog.kzv -o single.3sc >out.txt
check "-o: exit" 0 $?
cmp -s single.3sc samples/fog.3sc || { echo "FAIL: -o output differs"; fail=1; }

exit $fail
