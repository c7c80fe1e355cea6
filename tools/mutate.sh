#!/usr/bin/env bash
# Mutation pass: how many small faults in the library the test suite catches. Not part of CI
# (a full pass takes an hour or more on two shared cores); run it before and after changing tests.
#
#   tools/mutate.sh gen [FILE]             list the one-token mutants of core/, param/, webjson/
#                                          (default tools/mutants.txt, kept in the repository)
#   tools/mutate.sh run [LIST] [RESULTS]   build and test every mutant of LIST; one line per mutant
#                                          in RESULTS (default build/mutate/results.txt)
#
# A mutant is one line: id, file, line, column, original text, replacement (tab-separated). It
# is found again by position and checked against the original text, so the same list can be run
# against a later test suite as long as the library sources are unchanged (otherwise "stale").
# Kinds: flipped comparison, && <-> ||, true <-> false, + <-> -, ++ <-> --, constant + 1 (1 -> 0),
# negated if condition, dropped statement.
#
# Each mutant is applied to a scratch copy of the tree (build/mutate/src; the working tree is never
# touched), built with -O0 -g0 without examples (the test programs do not relink when only the
# shared library changes) and run against every test program, fastest first, each with a timeout,
# stopping at the first failure. Results: caught (with the program that failed), survived, or
# invalid (the mutant does not build). Environment: MUTATE_DIR (scratch folder), MUTATE_TIMEOUT
# (seconds per test program, default 10 times its clean run plus 60: a shared machine
# slows runs down, and a timeout counts as caught), MUTATE_ONLY (a file of ids
# to run, one a line). Run it niced: nice -n 15 tools/mutate.sh run
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cmd="${1:-}"

if [ "$cmd" = gen ]; then
  out="${2:-$repo/tools/mutants.txt}"
  cd "$repo"
  python3 - "$out" <<'EOF'
import hashlib, re, sys, glob

def mask(text):
    """Comments, string and character literals and preprocessor lines blanked, columns kept."""
    out, i, n = list(text), 0, len(text)
    state = None
    line_start = True
    while i < n:
        c = text[i]
        if state is None:
            if line_start and c == '#':
                while i < n and text[i] != '\n':
                    out[i] = ' '; i += 1
                continue
            if c == '/' and text[i+1:i+2] == '/':
                while i < n and text[i] != '\n':
                    out[i] = ' '; i += 1
                continue
            if c == '/' and text[i+1:i+2] == '*':
                j = text.index('*/', i + 2) + 2
                for k in range(i, j):
                    if out[k] != '\n': out[k] = ' '
                i = j; continue
            if c in '"\'':
                q = c; out[i] = ' '; i += 1
                while i < n and text[i] != q:
                    if text[i] == '\\': out[i] = ' '; i += 1
                    out[i] = ' '; i += 1
                out[i] = ' '; i += 1
                continue
            if c == '\n': line_start = True
            elif not c.isspace(): line_start = False
            i += 1
    return ''.join(out)

SWAP = {'==': '!=', '!=': '==', '<': '<=', '<=': '<', '>': '>=', '>=': '>', '&&': '||', '||': '&&',
        '+': '-', '-': '+'}
KEYWORDS = ('return', 'if', 'for', 'while', 'else', 'case', 'delete', 'throw', 'goto', 'using',
            'typedef', 'static_assert', 'switch', 'do', 'public', 'private', 'protected')

def is_declaration(s):
    """A type before a name among the arguments: "f(const char* name);" declares, "f(new T(x));" calls."""
    return any(w not in ('sizeof', 'new', 'return') for w in re.findall(r'\b(\w+)[*&]? [*&]?\w', s))

def candidates(path):
    text = open(path).read()
    lines, masked = text.split('\n'), mask(text).split('\n')
    for no, (line, m) in enumerate(zip(lines, masked), 1):
        for mo in re.finditer(r'(?<=\S) (==|!=|<=|>=|<|>|&&|\|\||\+|-) (?=\S)', m):
            op = mo.group(1)
            yield no, mo.start(1) + 1, op, SWAP[op]
        for mo in re.finditer(r'\+\+|--', m):
            yield no, mo.start() + 1, mo.group(), '--' if mo.group() == '++' else '++'
        for mo in re.finditer(r'\b(true|false)\b', m):
            yield no, mo.start() + 1, mo.group(), 'false' if mo.group() == 'true' else 'true'
        for mo in re.finditer(r'(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)([uU]?[lL]{0,2})(?![\w.])', m):
            lit, suffix = mo.group(1), mo.group(2)
            if m[:mo.start()].rstrip().endswith('[') and m[mo.end():].lstrip().startswith(']'):
                continue
            if re.search(r'\)\s*(const\s*)?(override\s*)?=\s*$', m[:mo.start()]):  # "= 0": pure virtual
                continue
            value = int(lit, 0)
            new = 0 if value == 1 else value + 1
            rep = (hex(new).upper().replace('0X', '0x') if lit.lower().startswith('0x') else str(new))
            yield no, mo.start() + 1, lit, rep
        mo = re.match(r'(\s*(?:\}\s*else\s+)?if \()(.*)\)( \{| return| [\w:]+| break| continue|$)', m)
        # (not a condition that declares its variable: "if (T* p = f())" cannot be negated)
        if (mo and mo.group(2).count('(') == mo.group(2).count(')')
                and not re.match(r'[\w:<>]+[*&]? [*&]?\w+ = ', mo.group(2))):
            cond = line[len(mo.group(1)):len(mo.group(1)) + len(mo.group(2))]
            yield no, len(mo.group(1)) + 1, cond, '!(' + cond + ')'
        s = m.strip()
        first = re.match(r'[A-Za-z_]\w*', s)
        if (s.endswith(';') and first and first.group() not in KEYWORDS and '{' not in s and '}' not in s
                and (re.match(r'[\w.\->\[\]*()]+ ([-+*/|&^]|<<|>>)?= ', s)
                     or (re.match(r'[\w:.\->]+\(.*\);$', s) and not is_declaration(s))
                     or s in ('break;', 'continue;'))):
            col = len(m) - len(m.lstrip()) + 1
            yield no, col, line[col - 1:col - 1 + len(s)], '{}'

def key(item):
    return hashlib.sha1('\t'.join(map(str, item)).encode()).hexdigest()

# How many of each file: roughly by size, the internal headers with logic by theirs, the public
# headers a few (they rebuild the tests too); headers of declarations only have none.
quota = {'core/json_reader.cpp': 34, 'core/node_allocator.cpp': 16, 'core/element_spares.cpp': 16,
         'core/json_writer.cpp': 15, 'core/json_containers.cpp': 9, 'core/json_nodes.cpp': 6,
         'core/json_document.cpp': 6, 'core/json_file.cpp': 5,
         'core/detail/number_text.h': 13, 'core/detail/byte_scan.h': 4, 'core/detail/base64.h': 3,
         'core/detail/json_guard.h': 3, 'core/detail/locale_probe.h': 2, 'core/detail/stream_area.h': 2,
         'core/json_list.h': 5, 'core/json_stream.h': 1,
         'param/jsonprim_ext.cpp': 8, 'param/json_param.h': 2,
         'webjson/webjson_imagescene.cpp': 27, 'webjson/webjson_plot.cpp': 8,
         'webjson/webjson_table.cpp': 5, 'webjson/webjson_tree.cpp': 5}
rows = []
for path in sorted(quota):
    items = [(path,) + c for c in candidates(path)]
    items = sorted(set(items), key=key)[:quota[path]]
    rows += sorted(items, key=lambda r: (r[1], r[2]))
with open(sys.argv[1], 'w') as f:
    f.write('# id\tfile\tline\tcolumn\toriginal\treplacement (tools/mutate.sh gen)\n')
    for i, (path, no, col, old, new) in enumerate(rows, 1):
        f.write('M%03d\t%s\t%d\t%d\t%s\t%s\n' % (i, path, no, col, old, new))
print('%d mutants in %s' % (len(rows), sys.argv[1]))
EOF
  exit 0
fi

if [ "$cmd" != run ]; then
  sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi

list="$(realpath "${2:-$repo/tools/mutants.txt}")"
work="${MUTATE_DIR:-$repo/build/mutate}"
results="${3:-$work/results.txt}"
mkdir -p "$work" "$(dirname "$results")"
results="$(realpath "$results")"
src="$work/src" bld="$work/build"

# A fresh scratch copy of the tree (the public JSON corpus in tests/data/ comes with it).
rm -rf "$src"
mkdir -p "$src"
# (-m: every file newer than what an earlier, interrupted run built from a mutant)
(cd "$repo" && tar --exclude='./build*' --exclude=./.git -cf - .) | tar -C "$src" -mxf -
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$src" -B "$bld" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O0 -g0" \
  -DWEBJSON_EXAMPLES=OFF -DCMAKE_LINK_DEPENDS_NO_SHARED=ON >/dev/null
ninja -C "$bld" >/dev/null

# The clean suite must pass; its times order the programs and set their timeouts.
declare -a progs limits
for p in "$bld"/tests/*_test; do
  start=$SECONDS
  (cd "$bld/tests" && ./"$(basename "$p")" --gtest_brief=1 >/dev/null 2>&1) ||
    { echo "clean suite fails: $(basename "$p")" >&2; exit 1; }
  echo "$((SECONDS - start)) $(basename "$p")"
done | sort -n >"$work/times"
[ "${PIPESTATUS[0]}" = 0 ] || exit 1
while read -r secs prog; do
  progs+=("$prog")
  limits+=("${MUTATE_TIMEOUT:-$((secs * 10 + 60))}")
done <"$work/times"
echo "clean suite passes: ${#progs[@]} programs" >&2

: >"$results"
caught=0 survived=0 invalid=0 stale=0
while IFS=$'\t' read -r id file line col old new; do
  case "$id" in '#'*|'') continue ;; esac
  if [ -n "${MUTATE_ONLY:-}" ] && ! grep -qx "$id" "$MUTATE_ONLY"; then continue; fi
  cp "$src/$file" "$work/original"
  if ! python3 - "$src/$file" "$line" "$col" "$old" "$new" <<'EOF'
import sys
path, line, col, old, new = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
lines = open(path).read().split('\n')
text = lines[line - 1]
if text[col - 1:col - 1 + len(old)] != old:
    sys.exit(1)
lines[line - 1] = text[:col - 1] + new + text[col - 1 + len(old):]
open(path, 'w').write('\n'.join(lines))
EOF
  then
    status=stale detail=
  elif ! timeout 600 ninja -C "$bld" >/dev/null 2>&1; then
    status=invalid detail=
  else
    status=survived detail=
    for i in "${!progs[@]}"; do
      if ! (cd "$bld/tests" && timeout "${limits[$i]}" ./"${progs[$i]}" --gtest_brief=1 --gtest_fail_fast \
            >"$work/output" 2>&1); then
        # the program and its first failing test (none: a crash, an abort or the timeout)
        status=caught
        detail="${progs[$i]} $(grep -m1 -o '^\[  FAILED  \] [A-Za-z0-9_.]*' "$work/output" | cut -c14- || true)"
        break
      fi
    done
  fi
  cp "$work/original" "$src/$file"
  case $status in
    caught) caught=$((caught + 1)) ;; survived) survived=$((survived + 1)) ;;
    invalid) invalid=$((invalid + 1)) ;; stale) stale=$((stale + 1)) ;;
  esac
  printf '%s\t%s\t%s\n' "$id" "$status" "$detail" >>"$results"
  echo "$id $status $detail" >&2
done <"$list"
echo "caught $caught, survived $survived, invalid $invalid, stale $stale" | tee -a "$results"
