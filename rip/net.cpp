#include "net.h"

#include <wininet.h>

#include <cstring>

#include "settings.h"

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


// What a GET of `address` came to: its HTTP status with the body (200: all of it, at
// most `maxBytes`), or 0 when no answer came whole (no connection, no answer, a body
// cut off or larger than `maxBytes`).
DWORD HttpGet(const std::string& address, size_t maxBytes, DWORD timeoutMs, const char* agent, std::string* body) {
    HINTERNET net = InternetOpenA(agent ? agent : kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!net) return 0;
    DWORD timeout = timeoutMs;
    InternetSetOptionA(net, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(net, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    // The program keeps the answers of its run itself; none comes from an earlier one.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
    DWORD status = 0;
    HINTERNET request = InternetOpenUrlA(net, address.c_str(), nullptr, 0, flags, 0);
    if (request) {
        DWORD size = sizeof status;
        if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            status = 0;
        if (status == HTTP_STATUS_OK) {
            body->clear();
            char chunk[8192];
            DWORD got = 0;
            bool read = true;
            while ((read = InternetReadFile(request, chunk, sizeof chunk, &got) != FALSE) && got > 0 &&
                   body->size() <= maxBytes)
                body->append(chunk, got);
            if (!read || body->size() > maxBytes) status = 0;
        }
        InternetCloseHandle(request);
    }
    InternetCloseHandle(net);
    return status;
}

