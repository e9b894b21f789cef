#include "verify.h"

#include <wininet.h>

#include <cstdio>
#include <cstring>

#include "quorrel_version.h"
#include "files.h"
#include "naming.h"
#include "track_table.h"

VerifyState g_verify;

namespace {

const DWORD kNetTimeoutMs = 15000;
const size_t kMaxEntryBytes = 1 << 20;   // an entry of 99 tracks for 1,000 pressings is under 1 MiB

// A value of the program's key: REG_SZ into `text`, REG_DWORD into `number`.
bool ReadProgramValue(const char* name, std::string* text, DWORD* number) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    char buffer[512] = {};
    DWORD type = 0, size = sizeof buffer - 1;
    bool found = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!found) return false;
    if (type == REG_DWORD && size == sizeof(DWORD) && number) {
        std::memcpy(number, buffer, sizeof(DWORD));
        return true;
    }
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && text) {
        *text = buffer;   // zero-filled and one byte short: always terminated
        return true;
    }
    return false;
}

std::string DatabaseBase() {
    std::string base;
    if (!ReadProgramValue(kDatabaseValue, &base, nullptr) || base.empty()) base = kDefaultDatabase;
    if (base.back() != '/') base += '/';
    return base;
}

// Fetches an entry: found (and readable), unreadable, not in the database (404), or
// not reached (no connection, no answer, any other status).
ArLookup FetchEntry(const std::string& address) {
    ArLookup lookup;
    lookup.status = ArLookupStatus::kNotReached;
    HINTERNET net = InternetOpenA("CD Quorrel/" QUORREL_VERSION_TEXT, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!net) return lookup;
    DWORD timeout = kNetTimeoutMs;
    InternetSetOptionA(net, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(net, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    // The program keeps the answers of its run itself; none comes from an earlier one.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
    HINTERNET request = InternetOpenUrlA(net, address.c_str(), nullptr, 0, flags, 0);
    if (request) {
        DWORD status = 0, size = sizeof status;
        if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
            if (status == HTTP_STATUS_NOT_FOUND) {
                lookup.status = ArLookupStatus::kNotInDatabase;
            } else if (status == HTTP_STATUS_OK) {
                std::string entry;
                char chunk[8192];
                DWORD got = 0;
                bool read = true;
                while ((read = InternetReadFile(request, chunk, sizeof chunk, &got) != FALSE) && got > 0 &&
                       entry.size() <= kMaxEntryBytes)
                    entry.append(chunk, got);
                if (!read)
                    lookup.status = ArLookupStatus::kNotReached;
                else if (entry.size() > kMaxEntryBytes || !ParseDatabaseEntry(entry, &lookup.pressings))
                    lookup.status = ArLookupStatus::kUnreadable;
                else
                    lookup.status = ArLookupStatus::kFound;
            }
        }
        InternetCloseHandle(request);
    }
    InternetCloseHandle(net);
    return lookup;
}

// The whole log, written under its working name and then put in place of the last
// one: a log that cannot be written whole (a full disk) leaves the last one as it was,
// or none, never an empty or cut one. The log is an account of the rip, not part of
// it: its failures are not the rip's.
void WriteLog() {
    char part[kPathText];
    if (!PartialFileName(g_verify.logPath, part, sizeof part)) return;
    FILE* file = fopen(part, "wb");
    if (!file) return;
    std::string text = RipLogText(g_verify.log);
    // Flushed before it is closed: the C runtime's fclose does not always report a write
    // that fails as it empties its buffer (a full disk under Wine).
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size() && fflush(file) == 0;
    if (fclose(file) != 0 || !written || !MoveIntoPlace(part, g_verify.logPath))
        DeleteFileA(part);
}

}  // namespace

long ReadOffsetSetting() {
    std::string text;
    DWORD number = 0;
    long offset = 0;
    if (!ReadProgramValue(kReadOffsetValue, &text, &number)) return 0;
    if (text.empty()) {
        offset = static_cast<long>(static_cast<int32_t>(number));
    } else {
        char* end = nullptr;
        offset = strtol(text.c_str(), &end, 10);
        if (end == text.c_str() || *end != '\0') return 0;
    }
    return offset >= -kMaxReadOffset && offset <= kMaxReadOffset ? offset : 0;
}

ArLookup LookupDisc(const DiscIds& ids, std::string* address) {
    *address = DatabaseBase() + DatabasePath(ids);
    for (const auto& known : g_verify.lookups)
        if (known.first == *address) return known.second;
    ArLookup lookup = FetchEntry(*address);
    g_verify.lookups.emplace_back(*address, lookup);
    return lookup;
}

void StartRipLog(const char* wavPath, const RipLog& head) {
    g_verify.log = head;
    g_verify.log.program = "CD Quorrel " QUORREL_VERSION_TEXT;
    g_verify.log.drive = g_verify.drive;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[32];
    snprintf(date, sizeof date, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    g_verify.log.date = date;
    CopyText(g_verify.logPath, LogPathFor(wavPath).c_str());
}

void AddToRipLog(const TrackLog& track) {
    if (g_verify.logPath[0] == '\0') return;
    g_verify.log.tracks.push_back(track);
    WriteLog();
}
