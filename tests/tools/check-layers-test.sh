#!/usr/bin/env bash
# The layering check on a small tree of its own: it passes the allowed
# arrows, refuses an include against them and a header name two layers
# share, and says which file and line.
set -uo pipefail
check="$1/tools/check-layers"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

mkdir -p "$tree/tools" "$tree/kit/include/app" "$tree/low" "$tree/high"
cat >"$tree/tools/layers.table" <<'TABLE'
layer kit  kit
layer low  low
layer high high
uses low   kit
uses high  low kit
TABLE
echo '#pragma once' >"$tree/kit/include/app/Message.h"
printf '#include <app/Message.h>\n' >"$tree/low/Low.h"
printf '#include "Low.h"\n#include <app/Message.h>\n#include <vector>\n' >"$tree/high/High.cpp"
echo '#pragma once' >"$tree/high/High.h"

fail() { echo "FAIL: $*"; exit 1; }

"$check" "$tree" || fail "allowed arrows were refused"

printf '#include "High.h"\n' >>"$tree/low/Low.h"
output=$("$check" "$tree") && fail "an include against the arrows passed"
grep -q 'low/Low.h:2: the low layer may not include high/High.h (layer high)' <<<"$output" ||
	fail "unexpected report: $output"
sed -i '$d' "$tree/low/Low.h"

echo '#pragma once' >"$tree/low/High.h"
output=$("$check" "$tree") && fail "a header name of two layers passed"
grep -q 'High.h is used by the layers' <<<"$output" || fail "unexpected report: $output"
rm "$tree/low/High.h"

printf 'uses high nowhere\n' >>"$tree/tools/layers.table"
"$check" "$tree" >/dev/null
[ $? -eq 2 ] || fail "a table naming an unknown layer was taken"
echo "check-layers behaves"
