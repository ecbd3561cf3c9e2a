#!/usr/bin/env bash
# Fails when an engine folder includes a folder that is not below it, so the layers of
# docs/architecture.md stay true. Folders of one rank (the two ground folders) may not include
# each other either; with every include pointing strictly downwards no cycle can form.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A rank=([platform]=0 [math]=0 [formats]=1 [geometry]=2 [materials]=3 [lights]=4
                 [render]=5 [scene]=6 [app]=7 [cluster]=8)
beside=" tests bench tools scenes docs build "

status=0
for dir in */; do
    folder=${dir%/}
    case "$beside" in *" $folder "*) continue ;; esac
    [[ $folder == build* ]] && continue
    compgen -G "$folder/*.[ch]*" >/dev/null || continue
    if [[ -z ${rank[$folder]+set} ]]; then
        echo "$folder/ holds code but has no place in the layers (tools/check_layers.sh)"
        status=1
        continue
    fi
    while IFS=: read -r file line include; do
        target=${include%%/*}
        [[ $target == "$folder" ]] && continue
        if [[ -z ${rank[$target]+set} ]] || ((rank[$target] >= rank[$folder])); then
            echo "$file:$line includes \"$include\": $target/ is not below $folder/"
            status=1
        fi
    done < <(grep -Hno '^#include "[^"]*/[^"]*"' "$folder"/*.[ch]* |
             sed -E 's/^([^:]*):([0-9]*):#include "(.*)"$/\1:\2:\3/')
done
[[ $status == 0 ]] && echo "Layers hold: every engine folder includes only folders below it"
exit $status
