#!/usr/bin/env bash
# scripts/check-format in a repository of its own: a main with a file laid out by hand, then
# changes of each kind. Only lines that a change touches and that .clang-format lays out
# otherwise may fail it.
set -u
source_root="$1"
repo=$(mktemp -d)
trap 'rm -rf "$repo"' EXIT
cd "$repo"
git init -q -b main
git config user.email test@example.invalid
git config user.name test
mkdir scripts
cp "$source_root/.clang-format" .
cp "$source_root/scripts/check-format" scripts/
printf 'int  handLaidOut=1;\n' >old.cpp
git add -A && git commit -qm first
printf 'int tidy = 1;\n' >tidy.cpp
git add -A && git commit -qm second

failures=0
expect() {  # expect STATUS WHAT: runs check-format here as it is
  local status=0
  scripts/check-format >/dev/null 2>&1 || status=$?
  [ $((status != 0)) -eq "$1" ] || { echo "FAILED: $2 (exit $status)"; failures=$((failures + 1)); }
}
expect 0 "main whose last commit is laid out, beside an older file that is not"
printf 'int  loose=2;\n' >>old.cpp
expect 1 "an uncommitted line that is not laid out"
git checkout -q old.cpp
git checkout -q -b feature
printf 'int  loose=2;\n' >new.cpp
git add -A && git commit -qm loose && printf 'int tidy2 = 2;\n' >>tidy.cpp && git commit -qam tidy
expect 1 "a branch with a loose line in an earlier commit since main"
git checkout -q main && git merge -q --no-ff feature -m merge
expect 1 "main whose last commit merged that branch"
git reset -q --hard HEAD~1 && printf '\nint tidy3 = 3;\n' >>old.cpp && git commit -qam tidy3
expect 0 "a laid-out line added to the file laid out by hand"
echo "check-format: $((5 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
