#!/bin/sh
# expect_exit.sh CODE PATTERN COMMAND [ARGS...]
# Runs COMMAND; passes when it exits with CODE and its output (stdout and
# stderr together) matches the extended regular expression PATTERN.
code=$1; pattern=$2; shift 2
out=$("$@" 2>&1); rc=$?
printf '%s\n' "$out"
if [ "$rc" -ne "$code" ]; then echo "expected exit code $code, got $rc" >&2; exit 1; fi
if ! printf '%s\n' "$out" | grep -Eq -- "$pattern"; then echo "output does not match: $pattern" >&2; exit 1; fi
exit 0
