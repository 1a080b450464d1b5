#!/usr/bin/env bash
# Vim and Emacs read the tags files that kestrel-list writes, made by the
# very commands of the "Vim" and "Emacs" sections of docs/kestrel-list.md: the commands
# are taken from the docs page, kestrel-list from the build.
# Usage: check_tags.sh KESTREL_LIST PAGE SAMPLE_UNIT
set -euo pipefail
list=$1
readme=$2
sample=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The first ```sh block after the heading $1.
snippet() {
    awk -v heading="$1" '$0 == heading { found = 1; next }
        found && /^```sh$/ { inside = 1; next }
        inside && /^```$/ { exit }
        inside { print }' "$readme"
}

mkdir -p "$work/bin" "$work/src/sub"
ln -s "$(readlink -f "$list")" "$work/bin/kestrel-list"
cp "$sample" "$work/src/Unit1.pas"
# A unit whose path holds a tab: refused by name, the others still tagged.
printf 'unit Odd;\ninterface\nimplementation\nprocedure Hidden;\nbegin\nend;\nend.\n' \
    >"$work/src/sub/tab$(printf '\t')name.pas"
# Names that could break a tags file's line: a tab in a class name, a slash.
printf 'unit Odd2;\ninterface\nimplementation\nprocedure T\tX.Foo;\nbegin\nend;\nprocedure A/B;\nbegin\nend;\nend.\n' \
    >"$work/src/sub/odd.pas"
cd "$work"
export PATH="$work/bin:$PATH" HOME="$work"

vim_snippet=$(snippet "### Vim")
[ -n "$vim_snippet" ] || fail "no Vim commands in the docs page"
vim_args=
while IFS= read -r line; do
    case "$line" in
    kestrel-list*)
        set +e
        errors=$(eval "$line" 2>&1 >/dev/null)
        status=$?
        set -e
        [ "$status" -eq 1 ] || fail "'$line' exited $status with a path it cannot tag"
        grep -q 'tab\\tname.pas: a tab or line break in the name cannot stand in a tags file' \
            <<<"$errors" || fail "no message for the path with a tab: $errors"
        ;;
    vim\ *) vim_args=${line#vim } ;;
    *) fail "unexpected line in the docs page's Vim commands: $line" ;;
    esac
done <<<"$vim_snippet"
[ -f tags ] || fail "the docs page's commands made no tags file"
[ -n "$vim_args" ] || fail "no vim command in the docs page"
grep -q Hidden tags && fail "the unit with a tab in its path was tagged"

# The docs page's vim command, headless, then the jumps the docs page names. Each
# check writes "file:line" of where Vim stands.
cat >checks.vim <<'VIM'
let s:out = [expand('%') . ':' . line('.')]
for s:name in ['TShape.GetArea', 'TCircle.GetArea', 'Create', 'Unit1', 'bookmark']
  execute 'tag ' . s:name
  call add(s:out, s:name . ' ' . expand('%') . ':' . line('.'))
endfor
tnext
call add(s:out, 'tnext ' . expand('%') . ':' . line('.'))
let s:t = taglist('^GetArea$')
call add(s:out, 'GetArea kinds ' . join(map(copy(s:t), 'v:val.kind . get(v:val, "class", "-")'), ' '))
for s:name in ['TX.Foo', 'A/B']
  execute 'tag ' . s:name
  call add(s:out, s:name . ' ' . expand('%') . ':' . line('.'))
endfor
call writefile(s:out, 'vim.out')
qall!
VIM
eval "vim -N -u NONE -i NONE -n -E -s $vim_args -S checks.vim" </dev/null || true
expected="src/Unit1.pas:44
TShape.GetArea src/Unit1.pas:44
TCircle.GetArea src/Unit1.pas:59
Create src/Unit1.pas:39
Unit1 src/Unit1.pas:1
bookmark src/Unit1.pas:51
tnext src/Unit1.pas:71
GetArea kinds fTShape fTCircle d- d-
TX.Foo src/sub/odd.pas:4
A/B src/sub/odd.pas:7"
[ -f vim.out ] || fail "Vim wrote no results"
[ "$(cat vim.out)" = "$expected" ] || fail "Vim went elsewhere:
$(cat vim.out)
expected:
$expected"
echo "vim reads the tags file"

# Emacs: the docs page's command, then find-tag on the TAGS file.
emacs_snippet=$(snippet "### Emacs")
[ -n "$emacs_snippet" ] || fail "no Emacs commands in the docs page"
eval "$emacs_snippet" 2>/dev/null || true
[ -f TAGS ] || fail "the docs page's command made no TAGS file"
emacs -Q --batch --eval '
(progn
  (setq tags-revert-without-query t)
  (visit-tags-table (expand-file-name "TAGS"))
  (setq root default-directory)
  (dolist (name (list "GetArea" "TCircle.GetArea" "Create" "bookmark"))
    (with-current-buffer (find-tag-noselect name)
      (princ (format "%s %s:%d\n" name (file-relative-name buffer-file-name root) (line-number-at-pos))))))' \
    >emacs.out 2>emacs.err || fail "Emacs failed: $(cat emacs.err)"
expected="GetArea src/Unit1.pas:44
TCircle.GetArea src/Unit1.pas:59
Create src/Unit1.pas:39
bookmark src/Unit1.pas:51"
[ "$(cat emacs.out)" = "$expected" ] || fail "Emacs went elsewhere:
$(cat emacs.out)
expected:
$expected"
echo "emacs reads the TAGS file"
echo "tags test passed"
