#!/usr/bin/env bash
# The performance table of docs/performance.md, as Markdown on standard output
# (progress and the compiler's vectorisation report on standard error): the
# plugin of an earlier commit ("before") and of the working tree or a later
# commit ("after") beside the reference loops, float and double, at 32-, 256-
# and 4096-frame blocks and default settings:
#
#   - instructions per frame under callgrind, natively;
#   - times natively (Google Benchmark) and of the 32-bit DLL under wine
#     (wine_timing), before, after and both loops taking turns in one run;
#   - the plugin's own instructions per processing call outside the per-frame
#     work at 32-frame blocks, with and without the host's answers.
#
#   bench/performance-table.sh [BEFORE [AFTER]]   (defaults: 68c337e, the working tree)
#
# The benchmark programs are always the working tree's (build/perf-linux,
# build/perf-win32); a commit's plugin is built in a git worktree under build/,
# removed at the end. One to two minutes on two cores, most of it building.
set -euo pipefail
# A failure inside $(...) stops the script too, rather than leaving a number out.
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$PWD
before=${1:-68c337e}
after=${2:-}
blocks=100

work=$(mktemp -d)
worktrees=()
cleanup() {
  for tree in "${worktrees[@]}"; do git worktree remove --force "$tree" >/dev/null 2>&1 || true; done
  rm -rf "$work"
}
trap cleanup EXIT

progress() { echo "performance-table: $*" >&2; }

# Runs a command with its output in a log, shown only when it fails.
logged() {
  local log=$1
  shift
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    return 1
  fi
}

build_log() { echo "$work/build.${1//\//_}.log"; }

# configure_and_build SOURCE BUILD_DIR PRESET BENCH(ON|OFF) TARGET...
configure_and_build() {
  local source=$1 dir=$2 preset=$3 bench=$4
  shift 4
  local log
  log=$(build_log "$dir")
  (cd "$source" && logged "$log.configure" cmake --preset "$preset" -B "$dir" -DBUILD_TESTING=OFF \
    -DTRIMIXER_BUILD_TESTS=OFF -DTRIMIXER_BUILD_TOOLS=OFF -DTRIMIXER_BUILD_BENCH="$bench")
  logged "$log" cmake --build "$dir" -j2 --target "$@"
}

# The plugin library a build made: named in its artefacts.env or, in a build
# of a commit older than that file, the one library of its kind in src/.
library_in() {
  local library
  if [ -f "$1/artefacts.env" ]; then
    # shellcheck source=cmake/artefacts.env.in
    library=$(source "$1/artefacts.env" && echo "$1/src/$plugin_library")
  else
    library=$(find "$1/src" -maxdepth 1 -name "*.$2" | head -n 1)
  fi
  [ -f "$library" ] || { echo "performance-table: no plugin library in $1/src" >&2; return 1; }
  echo "$library"
}

# checkout NAME COMMIT: the commit checked out in build/perf-NAME for as long
# as the script runs.
checkout() {
  local tree="$root/build/perf-$1"
  git worktree remove --force "$tree" >/dev/null 2>&1 || rm -rf "$tree"
  git worktree prune
  logged "$work/worktree.$1.log" git worktree add --detach "$tree" "$2"
  worktrees+=("$tree")
}

# The harness, its vectorised reference recompiled so that the compiler's
# report of it is in this run's log. Prints the report lines.
build_harness() {
  local dir=$1 preset=$2
  shift 2
  if [ -d "$dir/bench" ]; then find "$dir/bench" -name 'vectorised_reference.cpp.o*' -delete; fi
  configure_and_build "$root" "$dir" "$preset" ON "$@"
  grep 'vectorised_reference\.cpp.*vectori[sz]ed' "$(build_log "$dir")" || true
}

# --- Builds, one at a time -------------------------------------------------

progress "building the benchmarks (linux, win32)"
native_report=$(build_harness "$root/build/perf-linux" linux frame_cost plugin_benchmarks trimixer_plugin)
wine_report=$(build_harness "$root/build/perf-win32" win32 wine_timing trimixer_plugin)
printf '%s\n%s\n' "$native_report" "$wine_report" >&2

# plugin_builds NAME SOURCE: the native and 32-bit libraries of a source tree.
plugin_builds() {
  progress "building the plugin of $1 (linux, win32)"
  configure_and_build "$2" "$2/build/perf-linux" linux OFF trimixer_plugin
  configure_and_build "$2" "$2/build/perf-win32" win32 OFF trimixer_plugin
}

before_commit=$(git rev-parse --short "$before^{commit}")
checkout before "$before_commit"
before_tree=$root/build/perf-before
plugin_builds "$before_commit" "$before_tree"
before_so=$(library_in "$before_tree/build/perf-linux" so)
before_dll=$(library_in "$before_tree/build/perf-win32" dll)

if [ -n "$after" ]; then
  after_commit=$(git rev-parse --short "$after^{commit}")
  after_label=$after_commit
  checkout after "$after_commit"
  after_tree=$root/build/perf-after
  plugin_builds "$after_commit" "$after_tree"
  after_so=$(library_in "$after_tree/build/perf-linux" so)
  after_dll=$(library_in "$after_tree/build/perf-win32" dll)
else
  after_label="the working tree at $(git rev-parse --short HEAD)"
  changed=$(git status --porcelain --untracked-files=no -- src cmake CMakeLists.txt | awk '{ print $2 }' |
    paste -sd, -)
  [ -z "$changed" ] || after_label="$after_label with uncommitted changes to ${changed//,/, }"
  after_so=$(library_in "$root/build/perf-linux" so)
  after_dll=$(library_in "$root/build/perf-win32" dll)
fi

# --- Instructions under callgrind ------------------------------------------

driver=$root/build/perf-linux/bench/frame_cost

# Prints the inclusive instructions of all calls into the host's callback and
# of all calls into the plugin library (the awk variable library, a file
# name) from outside it: after each calls= line, the cost line of the call
# whose callee is named by the cfn= and cob= lines before it (names are given
# once, on first use, then only their number; no cob= is the caller's own).
# shellcheck disable=SC2016 # awk's fields, not the shell's
call_costs='
function named(text, table,   id, name) {
  id = text; sub(/\).*/, ")", id)
  name = text; sub(/^\([0-9]+\) ?/, "", name)
  if (name != "") table[id] = name
  return table[id]
}
/^ob=/ { object = named(substr($0, 4), objects); next }
/^fn=/ { named(substr($0, 4), functions); calleeObject = ""; next }
/^cob=/ { calleeObject = named(substr($0, 5), objects); next }
/^cfn=/ { callee = named(substr($0, 5), functions); next }
/^calls=/ { pending = 1; next }
pending {
  target = calleeObject != "" ? calleeObject : object
  if (callee ~ /^RecordingHost::callback\(/) host += $2
  if (index(target, library) && !index(object, library)) entered += $2
  pending = 0; calleeObject = ""
}
END { print host + 0, entered + 0 }'

# profile RUN LIBRARY SUBJECT PATH BLOCK COUNT: frame_cost under callgrind,
# COUNT blocks; prints the instructions inside measuredProcessing, those of
# them in the host's answers and those inside the plugin library. The profile
# stays in $work.
profile() {
  local out="$work/callgrind.$1.$3.$4.$5.$6"
  logged "$out.log" valgrind --tool=callgrind --callgrind-out-file="$out" \
    --toggle-collect='*measuredProcessing*' "$driver" "$2" "$3" "$4" "$5" "$6"
  echo "$(awk '/^summary:/ { print $2 }' "$out") $(awk -v library="${2##*/}" "$call_costs" "$out")"
}

# per_call RUN LIBRARY SUBJECT PATH BLOCK: per call, the subject's own
# instructions (all that the benchmark's loop runs, the host's answers left
# out), the host's answers, and the plugin's own instructions inside its
# library; from the difference between runs of 2 x $blocks and $blocks blocks,
# which leaves out what only first calls cost.
per_call() {
  local first second
  first=$(profile "$@" "$blocks")
  second=$(profile "$@" $((2 * blocks)))
  awk -v first="$first" -v second="$second" -v n="$blocks" 'BEGIN {
    split(first, a, " "); split(second, b, " ")
    printf "%.2f %.2f %.2f", ((b[1] - b[2]) - (a[1] - a[2])) / n, (b[2] - a[2]) / n,
      ((b[3] - b[2]) - (a[3] - a[2])) / n }'
}

progress "counting instructions under callgrind"
declare -A count
for path in float double; do
  for build in before after; do
    library=${build}_so
    for block in 32 64 256 4096; do
      counted=$(per_call $build "${!library}" plugin $path $block)
      read -r own host inside <<<"$counted"
      count[$path.$block.$build]=$(awk -v i="$own" -v b=$block 'BEGIN { printf "%.1f", i / b }')
      count[$path.$block.$build.host]=$(printf %.0f "$host")
      count[$path.$block.$build.call]=$inside
    done
    # A call costs a fixed part and a part per frame, which whole lane groups
    # make exactly linear: 2 c(32) - c(64) is the part outside the frames.
    count[$path.fixed.$build]=$(awk -v a="${count[$path.32.$build.call]}" \
      -v b="${count[$path.64.$build.call]}" 'BEGIN { printf "%.0f", 2 * a - b }')
  done
  for subject in reference vectorised; do
    for block in 32 256 4096; do
      counted=$(per_call after "$after_so" $subject $path $block)
      read -r own _ _ <<<"$counted"
      count[$path.$block.$subject]=$(awk -v i="$own" -v b=$block 'BEGIN { printf "%.1f", i / b }')
    done
  done
done
# Which lanes the after build ran under callgrind, from the names it counted.
lanes=$(cat "$work"/callgrind.after.plugin.* | grep -o '[A-Za-z0-9]*Lanes\b' | sort -u | paste -sd/ - || true)

# --- Times ----------------------------------------------------------------

# Rows "PATH BLOCK PLUGIN REFERENCE VECTORISED EARLIER" (ns per frame) of a
# timing program's table, default settings only.
times_of() {
  awk '($1 == "float" || $1 == "double") && $3 == "default" && NF == 10 { print $1, $2, $4, $5, $6, $9 }'
}

progress "timing natively (Google Benchmark)"
"$root/build/perf-linux/bench/plugin_benchmarks" \
  --benchmark_filter='^process/[a-z]+/[0-9]+/default/' \
  --benchmark_min_time=0.1 --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true --benchmark_display_aggregates_only=true \
  "$after_so" "$before_so" >"$work/native.txt"
times_of <"$work/native.txt" >"$work/native.times"

progress "timing the 32-bit DLL under wine"
export WINEPREFIX="$root/build/perf-win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset DISPLAY
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot --init >/dev/null 2>&1
wine "$root/build/perf-win32/bench/wine_timing.exe" "Z:$after_dll" "Z:$before_dll" >"$work/wine.txt"
times_of <"$work/wine.txt" >"$work/wine.times"

# --- The table --------------------------------------------------------------

# A times table: per row, the after build's time, the plugin/reference
# ratios of both builds, and how many times faster the after build is.
times_table() {
  echo '| Path | Block | after ns/frame | p/ref before | p/ref after | p/vec before | p/vec after | before/after |'
  echo '|---|---|---|---|---|---|---|---|'
  awk '{ printf "| %s | %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n",
           $1, $2, $3, $6 / $4, $3 / $4, $6 / $5, $3 / $5, $6 / $3 }' "$1"
}

report_summary() {
  local lines
  lines=$(grep -c 'vectori[sz]ed' <<<"$1" || true)
  if [ "$lines" -eq 0 ]; then
    echo "no loop reported vectorised"
  else
    echo "$lines loops: $(grep -o 'loop vectori[sz]ed.*' <<<"$1" | sort | uniq -c |
      awk '{ $1 = $1 "×"; print }' | paste -sd';' -)"
  fi
}

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
cat <<EOF
Plugin before: $before_commit. After: $after_label. Measured $(date -u +%Y-%m-%d) on
$cpu, $(nproc) cores$(grep -qw avx2 /proc/cpuinfo && echo ', with AVX2'); $(g++ --version | head -n 1),
$(i686-w64-mingw32-g++-posix --version | head -n 1), $(valgrind --version), $(wine --version).
Default settings throughout. Under callgrind the after build ran its ${lanes:-plain} forms.
The vectorised reference, as the compiler reported it: natively (SSE4.2)
$(report_summary "$native_report"); in the 32-bit build (SSE2) $(report_summary "$wine_report").

Instructions per frame under callgrind: all that the benchmark's loop runs
per block, over the block's frames, the host's answers left out (exact,
steady state):

| Path | Block | before | after | reference | vectorised | after/ref | after/vec |
|---|---|---|---|---|---|---|---|
EOF
for path in float double; do
  for block in 32 256 4096; do
    awk -v p=$path -v b=$block -v before="${count[$path.$block.before]}" \
      -v after="${count[$path.$block.after]}" -v ref="${count[$path.$block.reference]}" \
      -v vec="${count[$path.$block.vectorised]}" \
      'BEGIN { printf "| %s | %s | %s | %s | %s | %s | %.2f | %.2f |\n",
               p, b, before, after, ref, vec, after / ref, after / vec }'
  done
done

cat <<EOF

Native times (CPU time per frame, median of 5 repetitions interleaved at random):

EOF
times_table "$work/native.times"
cat <<EOF

The 32-bit DLL under wine (median of 7 turns of 2^20 frames each):

EOF
times_table "$work/wine.times"
cat <<EOF

Instructions per processing call at 32-frame blocks outside the per-frame
work: 2 c(32) − c(64), c(N) the instructions inside the plugin library per
N-frame call, the host's answers left out; and the host's answers to the
plugin's calls, which the plugin waits for:

| Path | before: plugin's own | before: host's answers | after: plugin's own | after: host's answers |
|---|---|---|---|---|
EOF
for path in float double; do
  echo "| $path | ${count[$path.fixed.before]} | ${count[$path.32.before.host]} |" \
    "${count[$path.fixed.after]} | ${count[$path.32.after.host]} |"
done
