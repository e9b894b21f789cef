#include "mci.h"

#include <cstdio>
#include <cstring>

#include "track_table.h"

MciChannel g_mci;

void ComposeMci(const char* fixed, const char* tail) {
    CopyText(g_mci.command, fixed);
    if (tail) AppendMci(tail);
}

void AppendMci(const char* text) {
    size_t used = strnlen(g_mci.command, sizeof g_mci.command - 1);
    CopyText(g_mci.command + used, sizeof g_mci.command - used, text);
}

MCIERROR SendMci(HWND callback) {
    g_mci.reply[0] = '\0';
    g_mci.lastResult = mciSendStringA(g_mci.command, g_mci.reply, 0, callback);
    return g_mci.lastResult;
}

MCIERROR SendMciString(const char* text) {
    ComposeMci(text);
    return SendMci();
}

MCIERROR QueryComposedMci(char* reply, size_t replySize) {
    UINT length = replySize < kMciQueryLength ? static_cast<UINT>(replySize) : kMciQueryLength;
    if (replySize > 0) reply[0] = '\0';
    g_mci.lastResult = mciSendStringA(g_mci.command, reply, length, nullptr);
    if (replySize > 0) reply[replySize - 1] = '\0';
    return g_mci.lastResult;
}

MCIERROR QueryMci(const char* text, char* reply, size_t replySize) {
    ComposeMci(text);
    return QueryComposedMci(reply, replySize);
}

void ShowMciError(HWND owner, MCIERROR code, const char* title, const char* appendix, UINT textLength) {
    if (textLength > sizeof g_mci.errorText) textLength = sizeof g_mci.errorText;
    g_mci.errorText[0] = '\0';
    if (!mciGetErrorStringA(code, g_mci.errorText, textLength))
        snprintf(g_mci.errorText, textLength, "MCI error %lu.", static_cast<unsigned long>(code));
    char message[kMciText + 256];
    snprintf(message, sizeof message, "%s%s", g_mci.errorText, appendix ? appendix : "");
    MessageBoxA(owner, message, title, MB_OK);
}
