#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit Linux programs: it runs a 93-byte static i386 program
# that exits with 42. It needs nothing installed, Wine least of all.
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0' >"$probe"
printf '\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10' >>"$probe"
printf '\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\61\333\263\52\61\300\100\315\200' >>"$probe"
chmod +x "$probe"
status=0
"$probe" 2>/dev/null || status=$?
[ "$status" -eq 42 ]
