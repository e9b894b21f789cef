// A finished file takes its own name.
#pragma once

#include <windows.h>

// Moves the complete file `from` to `to`, replacing a file there. Another program that
// has that file open for a moment (a virus scanner, an indexer, a player reading it)
// makes the replacement fail with "access denied" or "sharing violation": it is tried
// again for up to a second before it fails. True when `to` is the new file.
bool MoveIntoPlace(const char* from, const char* to);

// Why MoveIntoPlace failed, from the error it left, as the end of a sentence about the
// file that could not take its name: the folder it was written in was removed (with
// it, the file written there), or a file of that name is read-only or in use.
const char* WhyNotInPlace(DWORD error);
