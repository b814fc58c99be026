#!/usr/bin/env bash
# Runs clang-tidy (the checks of .clang-tidy) over the program's code, src/ and tools/, as each
# architecture's build compiles it: the compile commands of build/i686 and build/x86_64 and of
# the hook companions inside them (build.sh makes them all), with MinGW's C++ headers. Two files
# at a time. Exits non-zero on any finding.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# One line per file and architecture: the compiler, the folder of its compile commands, the file.
python3 - "$root" >"$out/files" <<'PY'
import glob, json, os, re, sys
root = sys.argv[1]
seen = set()
for db in sorted(glob.glob(f"{root}/build/*/compile_commands.json")
                 + glob.glob(f"{root}/build/*/tamehook*/compile_commands.json")):
    for entry in json.load(open(db)):
        compiler = (entry.get("command") or " ".join(entry["arguments"])).split()[0]
        target = re.sub(r"-g\+\+.*$", "", os.path.basename(compiler))
        path = os.path.relpath(entry["file"], root)
        if re.match(r"(src|tools)/.*\.cpp$", path) and (target, path) not in seen:
            seen.add((target, path))
            print(compiler, os.path.dirname(db), path)
PY
for arch in i686 x86_64; do
  grep -q "/$arch-w64-mingw32-" "$out/files" || { echo "tidy: no compile commands for $arch" \
    "(run scripts/build.sh $arch first)" >&2; exit 1; }
done

# clang's driver brings its own C headers and MinGW's; GCC's C++ library comes from the compiler.
tidy_file() {
  local compiler=$1 db=$2 file=$3 target args=()
  target=$(basename "$compiler" | sed 's/-g++.*//')
  args+=("--extra-arg=--target=$target")
  while read -r dir; do args+=("--extra-arg=-isystem$dir"); done \
    < <("$compiler" -v -E -x c++ /dev/null 2>&1 | grep '^ .*/include/c++')
  local log="$out/$target-${file//\//_}.log"
  clang-tidy --quiet -p "$db" --header-filter="^$root/(src|tools)/" "${args[@]}" "$root/$file" \
    >"$log" 2>&1 || mv "$log" "$log.failed"
}
export -f tidy_file
export root out
xargs -P 2 -L 1 bash -c 'tidy_file "$@"' _ <"$out/files"
mapfile -t failed < <(find "$out" -name '*.failed' | sort)
[ ${#failed[@]} = 0 ] || cat "${failed[@]}"
echo "== tidy: $(wc -l <"$out/files") files of both architectures, ${#failed[@]} with findings," \
     "in $(($(date +%s) - started)) s"
[ ${#failed[@]} = 0 ]
