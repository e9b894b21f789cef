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

constexpr LRESULT kSessionInstance = static_cast<LRESULT>(0xFFFFFFFF);

// The messages of winmm's driver protocol, the same for both drivers: the session
// instance, one `Device` per opened device (kept as the device's driver data, `type` its
// MCI device type), and every MCI command handed to `Command`. `Release` runs on a
// device just before it is freed.
template <typename Device, UINT type, void (*Release)(Device*),
          LRESULT (*Command)(Device*, UINT, DWORD, LPARAM)>
LRESULT DriverMessage(DWORD_PTR id, HDRVR driver, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    switch (msg) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
        return DRV_SUCCESS;
    case DRV_OPEN: {
        auto* parms = reinterpret_cast<MCI_OPEN_DRIVER_PARMS*>(lParam2);
        if (!parms) return kSessionInstance;   // the session instance of the first load
        parms->wCustomCommandTable = MCI_NO_COMMAND_TABLE;
        parms->wType = type;
        auto* dev = new Device;
        dev->id = parms->wDeviceID;
        mciSetDriverData(dev->id, reinterpret_cast<DWORD_PTR>(dev));
        return dev->id;
    }
    case DRV_CLOSE: {
        if (static_cast<LRESULT>(id) == kSessionInstance || id == 0) return 1;
        auto* dev = reinterpret_cast<Device*>(mciGetDriverData(static_cast<MCIDEVICEID>(id)));
        if (dev) Release(dev);
        delete dev;
        mciSetDriverData(static_cast<MCIDEVICEID>(id), 0);
        return 1;
    }
    case DRV_QUERYCONFIGURE:
        return 0;
    case DRV_CONFIGURE:
        return DRVCNF_OK;
    default:
        break;
    }
    if (msg < DRV_MCI_FIRST || msg > DRV_MCI_LAST) return DefDriverProc(id, driver, msg, lParam1, lParam2);
    if (id == 0 || static_cast<LRESULT>(id) == kSessionInstance) return MCIERR_INVALID_DEVICE_ID;
    auto* dev = reinterpret_cast<Device*>(mciGetDriverData(static_cast<MCIDEVICEID>(id)));
    if (!dev) return MCIERR_INVALID_DEVICE_ID;
    return Command(dev, msg, static_cast<DWORD>(lParam1), lParam2);
}

}  // namespace rig
