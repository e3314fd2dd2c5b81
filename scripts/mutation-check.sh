#!/usr/bin/env bash
# Puts small faults into a copy of the sources, one at a time, and runs the whole
# suite against each: a fault that no test notices is a gap in the tests.
#
#   scripts/mutation-check.sh [--list] [--check] [--keep] [ID ...]
#
# The faults are listed in scripts/mutants.txt. With IDs only those run; --list
# prints them; --check only tries whether each one still applies to the sources
# (after an edit moved the text it replaces); --keep leaves the working copy. Prints
# "killed K of N" and the survivors. A development tool: it takes a while (one
# incremental build and one suite run per fault, which stops at the first failing
# test), so CI does not run it. The PostgreSQL cases must run, not be skipped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/scripts/mutants.txt"
keep=0
check=0
only=()
for arg in "$@"; do
    case "$arg" in
    --list) grep '^@@' "$list" | cut -c4-; exit 0 ;;
    --keep) keep=1 ;;
    --check) check=1 ;;
    -*) echo "unknown option $arg" >&2; exit 2 ;;
    *) only+=("$arg") ;;
    esac
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-mutants.XXXXXX")
cleanup() { [ "$keep" = 1 ] && echo "working copy kept in $work" || rm -rf "$work"; }
trap cleanup EXIT

# The sources as they are in the working tree, uncommitted and new files included.
(cd "$root" && git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf -) |
    (mkdir -p "$work/tree" && tar -xf - -C "$work/tree")

export VANTREL_REQUIRE_POSTGRES=1
build() { cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1; }
suite() {
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$work/build" -j "$(nproc)" --timeout 180 --stop-on-failure \
        >"$work/suite.log" 2>&1
}

if [ "$check" = 0 ]; then
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        # Paths relative to the copy, so a later run reuses this run's objects.
        export CCACHE_BASEDIR="$work"
    fi
    cmake -S "$work/tree" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANTREL_BUILD_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
    echo "building the unchanged copy and running the suite once"
    build || { tail -30 "$work/build.log"; echo "the unchanged sources do not build" >&2; exit 1; }
    suite || { tail -30 "$work/suite.log"; echo "the suite fails without any fault" >&2; exit 1; }
fi

# Applies one mutant's replacements (pairs of "-" and "+" lines) to its file.
# Each "-" text must occur exactly once, so a fault lands where it is meant to.
apply() {
    local file=$1 patch=$2
    MUTANT_PATCH="$patch" perl -0777 -i -pe '
        my @lines = split /\n/, $ENV{MUTANT_PATCH};
        while (@lines) {
            my $old = substr(shift @lines, 2);
            my $new = substr(shift @lines, 2);
            s/\\n/\n/g for $old, $new;
            my $count = () = /\Q$old\E/g;
            die "expected one \"$old\", found $count\n" unless $count == 1;
            s/\Q$old\E/$new/;
        }' "$work/tree/$file"
}

killed=0
total=0
survivors=()
broken=()
run_mutant() {
    local id=$1 file=$2 description=$3 patch=$4
    if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " == *" $id "* ]]; then
        return
    fi
    cp "$work/tree/$file" "$work/original"
    if ! apply "$file" "$patch" 2>"$work/apply.log"; then
        broken+=("$id ($file: $(cat "$work/apply.log"))")
    elif [ "$check" = 1 ]; then
        total=$((total + 1))
    elif ! build; then
        broken+=("$id (does not build)")
    else
        total=$((total + 1))
        if suite; then
            survivors+=("$id $file: $description")
            echo "survived $id: $description"
        else
            killed=$((killed + 1))
            echo "killed   $id: $description"
        fi
    fi
    # A fresh copy (new time stamp), so the next build compiles the file again.
    cp "$work/original" "$work/tree/$file"
}

id="" file="" description="" patch=""
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
    '@@ '*)
        [ -n "$id" ] && run_mutant "$id" "$file" "$description" "$patch"
        read -r id file description <<<"${line#@@ }"
        patch=""
        ;;
    '- '* | '+ '*) patch+="$line"$'\n' ;;
    esac
done <"$list"
[ -n "$id" ] && run_mutant "$id" "$file" "$description" "$patch"
if [ "$check" = 1 ]; then
    echo "$total mutants apply"
    [ ${#broken[@]} -eq 0 ] || { printf '  %s\n' "${broken[@]}"; exit 1; }
    exit 0
fi

echo
echo "killed $killed of $total"
if [ ${#survivors[@]} -gt 0 ]; then
    echo "survivors:"
    printf '  %s\n' "${survivors[@]}"
fi
if [ ${#broken[@]} -gt 0 ]; then
    echo "not run (the list needs mending):"
    printf '  %s\n' "${broken[@]}"
    exit 1
fi
