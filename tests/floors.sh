#!/bin/sh
# The program's floors are libraries that link only the floors below them, so a file
# cannot include a header of a floor above: the compiler does not find it. What the
# build cannot see is an include by a path ("../engine/engine.h", "engine/engine.h"),
# which reaches past the include folders a floor is given: none may name a folder.
cd "$(dirname "$0")/.." || exit 2
found=$(grep -n -E '#include "[^"]*/' app/*.cpp app/*.h engine/*.cpp engine/*.h dialogs/*.cpp dialogs/*.h \
    rip/*.cpp rip/*.h mp3/*.cpp mp3/*.h core/*.cpp core/*.h */logic/*.cpp */logic/*.h 2>/dev/null)
[ -z "$found" ] && exit 0
echo "$found" | sed 's/$/: an include by a path, past the floors the build keeps/'
exit 1
