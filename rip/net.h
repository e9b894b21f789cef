// What the rip's floor reaches outside the program: values of the program's registry
// key and HTTP GETs over WinINet (the AccurateRip database, the name sources).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "quorrel_version.h"

// The program as it names itself to a server; MusicBrainz asks for a way to reach the
// program's makers too.
constexpr char kUserAgent[] = "CD Quorrel/" QUORREL_VERSION_TEXT " ( cdquorrel@users.noreply.invalid )";

// A value of the program's key: REG_SZ into `text`, REG_DWORD into `number`.
bool ReadProgramValue(const char* name, std::string* text, DWORD* number);

// What a GET of `address` came to: its HTTP status with the body (200: all of it, at
// most `maxBytes`), or 0 when no answer came whole (no connection, no answer within
// `timeoutMs` to connect and as much between answers, a body cut off or larger than
// `maxBytes`). `agent` null: kUserAgent.
DWORD HttpGet(const std::string& address, size_t maxBytes, DWORD timeoutMs, const char* agent, std::string* body);
