# SPDX-License-Identifier: GPL-3.0-or-later
# fish completion for lumivale

# Display keys (with "key") or wallpaper ids (with "id") that the running Lumivale reports; ids also from
# the library on disk, so that --use completes while the catalog is all there is.
function __lumivale_values
    set -l json (timeout 10 lumivale --status --json 2>/dev/null | string collect)
    if test "$argv[1]" = key
        printf '%s\n' $json | sed -n 's/^ *"key": "\(.*\)",\{0,1\}$/\1/p'
        return
    end
    set -q XDG_DATA_HOME; and set -l library $XDG_DATA_HOME/Lumivale; or set -l library ~/.local/share/Lumivale
    begin
        printf '%s\n' $json | sed -n -e 's/^ *"wallpaper": "\(.*\)",\{0,1\}$/\1/p' \
            -e '/^ *"assignments": {/,/}/s/^ *"[^"]*": "\(.*\)",\{0,1\}$/\1/p'
        cat $library/catalog.json $library/imported.json 2>/dev/null |
            grep -o '"id"[[:space:]]*:[[:space:]]*"\([^"\\\\]\|\\\\.\)*"' | sed 's/^"id"[[:space:]]*:[[:space:]]*"//; s/"$//'
    end | sed 's/\\\\"/"/g; s/\\\\\\\\/\\\\/g' | sort -u
end

set -l command_seen '__fish_seen_argument -l status -l pause -l resume -l toggle-pause -l next -l stop -l use -s h -l help -l version'
complete -c lumivale -f
complete -c lumivale -n "not $command_seen" -l status -d 'Print the status line, the assignments and each display'
complete -c lumivale -n "not $command_seen" -l pause -d 'Pause playback'
complete -c lumivale -n "not $command_seen" -l resume -d 'Resume playback'
complete -c lumivale -n "not $command_seen" -l toggle-pause -d 'Pause or resume, as the status menu does'
complete -c lumivale -n "not $command_seen" -l next -d 'The next downloaded wallpaper on every display'
complete -c lumivale -n "not $command_seen" -l stop -d 'Take the wallpaper off every display'
complete -c lumivale -n "not $command_seen; or __fish_prev_arg_in --use; or string match -q -- '--use=*' (commandline -ct)" -l use -x -a '(__lumivale_values id)' -d 'Put a wallpaper on every display'
complete -c lumivale -n '__fish_seen_argument -l use' -l display -x -a '(__lumivale_values key)' -d 'The one display for --use'
complete -c lumivale -n "$command_seen" -l json -d 'Print the state as JSON after the command'
complete -c lumivale -n "not $command_seen" -s h -l help -d 'Print the usage'
complete -c lumivale -n "not $command_seen" -l version -d 'Print the name and version'
