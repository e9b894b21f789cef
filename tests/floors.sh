#!/bin/sh
# The program's folders stand in floors: a file may include the headers of its own
# folder and of the folders its line below names, never one of a floor above, so no
# include circle can form between them. The plain decisions (*/logic/), the resources
# and the libraries' headers lie beneath all of them.
cd "$(dirname "$0")/.." || exit 2
status=0
while read -r folder allowed; do
    for owner in app engine dialogs rip mp3 core; do
        case " ${folder%:} $allowed " in *" $owner "*) continue ;; esac
        for header in "$owner"/*.h; do
            for file in $(grep -lF "#include \"${header##*/}\"" "${folder%:}"/*.cpp "${folder%:}"/*.h); do
                echo "$file includes $header, a floor above or beside it"
                status=1
            done
        done
    done
done <<'FLOORS'
app:     engine dialogs rip mp3 core
engine:  dialogs rip mp3 core
dialogs: core
rip:     core
mp3:     core
core:
FLOORS
exit $status
