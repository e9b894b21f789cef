// What both MCI drivers of the rig share: the winmm driver functions MinGW's headers
// lack, and the one-slot notification every MCI device keeps.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

extern "C" {
BOOL WINAPI mciDriverNotify(HANDLE hwndCallback, MCIDEVICEID wDeviceID, UINT uStatus);
BOOL WINAPI mciSetDriverData(MCIDEVICEID wDeviceID, DWORD_PTR dwData);
DWORD_PTR WINAPI mciGetDriverData(MCIDEVICEID wDeviceID);
}

#ifndef DRV_SUCCESS
#define DRV_SUCCESS 1
#endif

namespace rig {

// The pending notification of one device. A command that notifies supersedes the
// pending one; play, record, stop, seek and close abort it (see Abort).
struct NotifySlot {
    HWND window = nullptr;
    bool pending = false;

    void Post(MCIDEVICEID id, UINT status) {
        if (pending) mciDriverNotify(reinterpret_cast<HANDLE>(window), id, status);
        pending = false;
    }
    // Called by a command that succeeded: with MCI_NOTIFY, the pending notify is
    // superseded and `status` posted to the new callback at once.
    void Finish(MCIDEVICEID id, DWORD flags, DWORD_PTR callback, UINT status = MCI_NOTIFY_SUCCESSFUL) {
        if (!(flags & MCI_NOTIFY)) return;
        Post(id, MCI_NOTIFY_SUPERSEDED);
        mciDriverNotify(reinterpret_cast<HANDLE>(callback), id, status);
    }
    // Keeps the callback of an asynchronous command, to be told at its end.
    void Arm(MCIDEVICEID id, DWORD flags, DWORD_PTR callback) {
        if (!(flags & MCI_NOTIFY)) return;
        Post(id, MCI_NOTIFY_SUPERSEDED);
        window = reinterpret_cast<HWND>(callback);
        pending = true;
    }
    void Abort(MCIDEVICEID id) { Post(id, MCI_NOTIFY_ABORTED); }
};

}  // namespace rig
