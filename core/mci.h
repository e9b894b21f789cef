// The MCI command channel: every command string the program sends is composed in one
// command buffer and sent with mciSendStringA; the last result is kept for the caller.
#pragma once

#include <windows.h>
#include <mmsystem.h>

constexpr size_t kMciText = 256;

struct MciChannel {
    char command[kMciText];    // the command string being built
    char reply[kMciText];      // the reply of a query that names no buffer of its own
    MCIERROR lastResult;       // result of the most recent mciSendStringA; 0 is success
    char errorText[kMciText];  // the system's text for an MCI error code
};

extern MciChannel g_mci;

// Replies the program reads are at most 11 characters; queries ask for up to 20.
constexpr UINT kMciQueryLength = 20;

// Composes `fixed` followed by `tail` (may be null) into the command buffer.
void ComposeMci(const char* fixed, const char* tail = nullptr);
// Appends text to the command buffer, never past its end.
void AppendMci(const char* text);

// Sends the command buffer expecting no reply. Returns the result.
MCIERROR SendMci(HWND callback = nullptr);
// Sends `text` expecting no reply.
MCIERROR SendMciString(const char* text);
// Sends `text` as a query whose reply lands in `reply` (at most the smaller of 20
// characters and the buffer's own size, so a long reply never overruns it).
MCIERROR QueryMci(const char* text, char* reply, size_t replySize);
template <size_t N>
MCIERROR QueryMci(const char* text, char (&reply)[N]) { return QueryMci(text, reply, N); }
// Sends the composed command buffer as a query into `reply`.
MCIERROR QueryComposedMci(char* reply, size_t replySize);

// Shows the system's text for `code` (fetched with `textLength` characters of room),
// followed by `appendix` when given, in a message box titled `title` with an OK button.
void ShowMciError(HWND owner, MCIERROR code, const char* title, const char* appendix = nullptr,
                  UINT textLength = 128);
