#include "verify.h"

#include <wininet.h>

#include <cstdio>
#include <cstring>

#include "quorrel_version.h"
#include "files.h"
#include "naming.h"
#include "net.h"
#include "track_table.h"

VerifyState g_verify;

namespace {

const DWORD kNetTimeoutMs = 15000;
const size_t kMaxEntryBytes = 1 << 20;   // an entry of 99 tracks for 1,000 pressings is under 1 MiB

std::string DatabaseBase() {
    std::string base;
    if (!ReadProgramValue(kDatabaseValue, &base, nullptr) || base.empty()) base = kDefaultDatabase;
    if (base.back() != '/') base += '/';
    return base;
}

DWORD Fetch(const std::string& address, size_t maxBytes, std::string* body) {
    return HttpGet(address, maxBytes, kNetTimeoutMs, nullptr, body);
}

// Fetches an entry: found (and readable), unreadable, not in the database (404), or
// not reached (no connection, no answer, any other status).
ArLookup FetchEntry(const std::string& address) {
    ArLookup lookup;
    std::string entry;
    DWORD status = Fetch(address, kMaxEntryBytes, &entry);
    if (status == HTTP_STATUS_NOT_FOUND)
        lookup.status = ArLookupStatus::kNotInDatabase;
    else if (status != HTTP_STATUS_OK)
        lookup.status = ArLookupStatus::kNotReached;
    else if (!ParseDatabaseEntry(entry, &lookup.pressings))
        lookup.status = ArLookupStatus::kUnreadable;
    else
        lookup.status = ArLookupStatus::kFound;
    return lookup;
}

// ---- the drive list, kept in the registry ----

const char kDriveListValue[] = "DriveOffsets";          // REG_BINARY: the list as fetched
const char kDriveListDateValue[] = "DriveOffsetsDate";  // REG_SZ: "YYYY-MM-DD", when it was fetched
const char kDriveListFile[] = "DriveOffsets.bin";
const int kDriveListDays = 30;                          // a list this old is fetched anew

// Days since 1 January 1601 of a local date.
long DayNumber(const SYSTEMTIME& date) {
    FILETIME file;
    if (!SystemTimeToFileTime(&date, &file)) return 0;
    ULARGE_INTEGER t;
    t.LowPart = file.dwLowDateTime;
    t.HighPart = file.dwHighDateTime;
    return static_cast<long>(t.QuadPart / (10000000ull * 86400));
}

// The kept list and how many days ago it was fetched; false when none is kept.
bool KeptDriveList(std::string* list, long* age) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    bool kept = RegQueryValueExA(key, kDriveListValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
                type == REG_BINARY && size > 0 && size <= kMaxDriveListBytes;
    if (kept) {
        list->assign(size, '\0');
        kept = RegQueryValueExA(key, kDriveListValue, nullptr, &type, reinterpret_cast<BYTE*>(&(*list)[0]), &size) ==
               ERROR_SUCCESS;
        list->resize(size);
    }
    char date[16] = {};
    DWORD dateSize = sizeof date - 1;
    SYSTEMTIME then = {}, now;
    GetLocalTime(&now);
    *age = kDriveListDays;   // a list without a readable date is old
    if (kept && RegQueryValueExA(key, kDriveListDateValue, nullptr, &type, reinterpret_cast<BYTE*>(date), &dateSize) ==
                    ERROR_SUCCESS &&
        type == REG_SZ && sscanf(date, "%4hu-%2hu-%2hu", &then.wYear, &then.wMonth, &then.wDay) == 3)
        *age = DayNumber(now) - DayNumber(then);
    RegCloseKey(key);
    return kept;
}

void KeepDriveList(const std::string& list) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[16];
    snprintf(date, sizeof date, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    RegSetValueExA(key, kDriveListValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(list.data()),
                   static_cast<DWORD>(list.size()));
    RegSetValueExA(key, kDriveListDateValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(date),
                   static_cast<DWORD>(strlen(date) + 1));
    RegCloseKey(key);
}

// The drive list for this run: the one kept, fetched from beside the database when
// none is kept or it is old (a list fetched whole and well-formed is kept in its place;
// one that is not leaves the kept one in use). False when there is none.
bool DriveList(std::string* list) {
    if (!g_verify.driveListAsked) {
        g_verify.driveListAsked = true;
        long age = 0;
        bool kept = KeptDriveList(&g_verify.driveList, &age);
        if (!kept || age < 0 || age >= kDriveListDays) {
            std::string fetched;
            if (Fetch(DatabaseBase() + kDriveListFile, kMaxDriveListBytes, &fetched) == HTTP_STATUS_OK) {
                const bool wellFormed = DriveListWellFormed(fetched);
                if (wellFormed) KeepDriveList(fetched);
                if (wellFormed || !kept) g_verify.driveList = fetched;   // a malformed one shows in the log
                kept = true;
            }
        }
        g_verify.haveDriveList = kept;
    }
    *list = g_verify.driveList;
    return g_verify.haveDriveList;
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

bool ReadOffsetSetting(long* offset) {
    std::string text;
    DWORD number = 0;
    long value = 0;
    if (!ReadProgramValue(kReadOffsetValue, &text, &number)) return false;
    if (text.empty()) {
        value = static_cast<long>(static_cast<int32_t>(number));
    } else {
        char* end = nullptr;
        value = strtol(text.c_str(), &end, 10);
        if (end == text.c_str() || *end != '\0') return false;
    }
    if (value < -kMaxReadOffset || value > kMaxReadOffset) return false;
    *offset = value;
    return true;
}

void FindReadOffset(bool virtualDrive, RipLog* head) {
    head->readOffset = 0;
    if (ReadOffsetSetting(&head->readOffset)) {
        head->offsetSource = OffsetSource::kUser;
        return;
    }
    if (virtualDrive) {
        head->offsetSource = OffsetSource::kVirtualDrive;
        return;
    }
    std::string list;
    if (!DriveList(&list)) {
        head->offsetSource = OffsetSource::kListUnreachable;
        return;
    }
    switch (FindDriveOffset(list, g_verify.listName, &head->readOffset)) {
        case DriveListAnswer::kListed: head->offsetSource = OffsetSource::kDriveList; break;
        case DriveListAnswer::kNotListed: head->offsetSource = OffsetSource::kNotListed; break;
        case DriveListAnswer::kMalformed: head->offsetSource = OffsetSource::kListUnreadable; break;
    }
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
