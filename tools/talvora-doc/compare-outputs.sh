#!/usr/bin/env bash
# Records what talvora-doc makes of a set of documents (text, dump, and the
# bytes of a read-and-write-again), so that a change of the codec that should
# not change its output can be checked against the output before it.
#
#   tools/talvora-doc/compare-outputs.sh TALVORA_DOC OUTDIR FILE_OR_DIR...
#   diff -r OUTDIR_BEFORE OUTDIR_AFTER
#
# Every .doc and .bin under the given folders is taken; a command that fails
# records its message and exit status instead of its output.
set -u
tool=$1; out=$2; shift 2
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
find "$@" -type f \( -name '*.doc' -o -name '*.bin' \) -print0 | sort -z | while IFS= read -r -d '' f; do
    key=$(printf '%s' "$f" | sed 's#^/##; s#/#__#g')
    for cmd in text dump; do
        "$tool" "$cmd" "$f" >"$out/$key.$cmd" 2>&1
        echo "exit $?" >>"$out/$key.$cmd"
    done
    "$tool" roundtrip "$f" "$out/$key.roundtrip.doc" >"$out/$key.roundtrip.log" 2>&1
    echo "exit $?" >>"$out/$key.roundtrip.log"
done
