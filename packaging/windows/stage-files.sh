#!/bin/sh
# Writes the NSIS include that miravon-vpn.nsi reads at build time (through !system): the folders
# and files of the staged Windows tree, as
#   STAGE_SIZE_KB              what the files take, for Apps & features' "size"
#   !macro InstallStageFiles   one SetOutPath per folder (parents first), one File per file
#   !macro RemoveStageFiles    one Delete per file, one RMDir per folder (deepest first)
# so that the uninstaller removes exactly what the installer put there, and nothing a user saved
# into the same folder.
#   stage-files.sh STAGE OUT.nsh
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 STAGE OUT.nsh" >&2
    exit 2
fi
stage=$1
out=$2

fail() {
    echo "stage-files.sh: $*" >&2
    exit 1
}

[ -d "$stage" ] || fail "no such folder: $stage"
[ -f "$stage/miravon-vpn.exe" ] || fail "$stage has no miravon-vpn.exe"
[ ! -e "$stage/uninstall.exe" ] || fail "$stage holds an uninstall.exe, the installer writes its own"
case $stage in
    *'"'* | *'$'* | *'`'*) fail "the stage's path may not hold \", \$ or \`: $stage" ;;
esac

export LC_ALL=C
cd "$stage"
stage=$(pwd)

# Relative paths, without the leading "./". Names Windows cannot hold, or that NSIS would read as
# something else ($ starts a variable, " and ` quote), are refused rather than half-installed.
entries=$(find . -mindepth 1 \( -type d -o -type f \) -print | sed 's|^\./||' | sort)
bad=$(find . -mindepth 1 ! -type d ! -type f -print | head -n 1)
[ -z "$bad" ] || fail "only folders and plain files can be installed: $bad"
bad=$(printf '%s\n' "$entries" | grep -n '[]["$`<>:|?*\\[:cntrl:]]' | head -n 1 || true)
[ -z "$bad" ] || fail "a name Windows or NSIS cannot take: $bad"
# Windows' file names ignore case: two names that differ only in case would be one file there.
twins=$(printf '%s\n' "$entries" | sort -f | uniq -di | head -n 1)
[ -z "$twins" ] || fail "two names that differ only in case: $twins"

folders=$(find . -mindepth 1 -type d -print | sed 's|^\./||' | sort)
size_bytes=$(find . -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%.0f", s }')

win() {
    printf '%s' "$1" | tr '/' '\\'
}

# Files directly in folder $1 ("" for the stage itself), sorted.
files_in() {
    if [ -z "$1" ]; then
        find . -mindepth 1 -maxdepth 1 -type f -print | sed 's|^\./||' | sort
    else
        find "./$1" -mindepth 1 -maxdepth 1 -type f -print | sed 's|^\./||' | sort
    fi
}

{
    # UTF-8 with a byte order mark, so that makensis reads non-ASCII names as UTF-8.
    printf '\357\273\277'
    printf '; Written by stage-files.sh from %s; do not edit.\n' "$stage"
    printf '!define STAGE_SIZE_KB %s\n\n' $(( (size_bytes + 1023) / 1024 ))

    printf '!macro InstallStageFiles\n'
    printf '%s\n' "$folders" | while IFS= read -r folder; do
        [ -n "$folder" ] || continue
        printf '  SetOutPath "$INSTDIR\\%s"\n' "$(win "$folder")"
        files_in "$folder" | while IFS= read -r file; do
            printf '  File "%s/%s"\n' "$stage" "$file"
        done
    done
    # The top folder last, so that the SetOutPath after the macro is where the program runs from.
    printf '  SetOutPath "$INSTDIR"\n'
    files_in "" | while IFS= read -r file; do
        printf '  File "%s/%s"\n' "$stage" "$file"
    done
    printf '!macroend\n\n'

    printf '!macro RemoveStageFiles\n'
    find . -type f -print | sed 's|^\./||' | sort | while IFS= read -r file; do
        printf '  Delete "$INSTDIR\\%s"\n' "$(win "$file")"
    done
    printf '%s\n' "$folders" | sort -r | while IFS= read -r folder; do
        [ -n "$folder" ] || continue
        printf '  RMDir "$INSTDIR\\%s"\n' "$(win "$folder")"
    done
    printf '!macroend\n'
} > "$out"
