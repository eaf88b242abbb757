# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for lumivale

# Display keys (with "key") or wallpaper ids (with "id") that the running Lumivale reports; ids also from
# the library on disk, so that --use completes while the catalog is all there is.
_lumivale_values() {
    local status
    status=$(timeout 10 lumivale --status --json 2>/dev/null)
    if [[ $1 == key ]]; then
        sed -n 's/^ *"key": "\(.*\)",\{0,1\}$/\1/p' <<<"$status"
    else
        {
            sed -n -e 's/^ *"wallpaper": "\(.*\)",\{0,1\}$/\1/p' \
                -e '/^ *"assignments": {/,/}/s/^ *"[^"]*": "\(.*\)",\{0,1\}$/\1/p' <<<"$status"
            local library=${XDG_DATA_HOME:-$HOME/.local/share}/Lumivale
            cat "$library/catalog.json" "$library/imported.json" 2>/dev/null |
                grep -o '"id"[[:space:]]*:[[:space:]]*"\([^"\\]\|\\.\)*"' | sed 's/^"id"[[:space:]]*:[[:space:]]*"//; s/"$//'
        } | sed 's/\\"/"/g; s/\\\\/\\/g' | sort -u
    fi
}

_lumivale() {
    local cur prev words cword split
    _init_completion -s || return

    local value_of=""
    case $prev in
    --display) value_of=key ;;
    --use) value_of=id ;;
    esac
    if [[ -n $value_of ]]; then
        local candidate
        while IFS= read -r candidate; do
            [[ -n $candidate && $candidate == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$candidate")")
        done < <(_lumivale_values "$value_of")
        return
    fi

    local options="--status --pause --resume --toggle-pause --next --stop --use --json --help --version"
    [[ " ${words[*]} " == *" --use "* || " ${words[*]} " == *" --use="* ]] && options+=" --display"
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
}
complete -F _lumivale lumivale
