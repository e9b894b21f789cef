// rigcd.drv: the MCI driver winmm loads for the "cdaudio" device type in place of the
// system's. It answers like a drive served by Windows' own CD audio driver: default
// time format MSF, track lengths in MSF even in TMSF mode, the last track one frame
// shorter than leadout - start, play asynchronous and measured by the rig core's clock.
// On a disc with a data track in a second session (CD-Extra) the track before the
// session gap ends where its session's audio ends; a data track's type is "other", and
// a play from it starts at the next audio track (out of range when none follows).
//
// The drive (door, disc, play position) belongs to the rig core, shared by every
// device opened on it; a device keeps only its time format and its notification.
//
// Errors: a command that needs the disc while the door is open or no disc is in the
// drive fails with MCIERR_DEVICE_NOT_READY; positions outside the disc and missing
// tracks with MCIERR_OUTOFRANGE; unknown items and commands (record, save) with
// MCIERR_UNSUPPORTED_FUNCTION.
//
// Notifications: as the native driver, a play that reaches its end posts nothing; its
// notify stays pending until a later command supersedes or aborts it.
//
// While the rig offers its emulated drive (value Drive "emulated"), the cdaudio type is
// Windows' own: from the load of this driver to its unload, every message goes to
// Wine's MCI CD driver (mcicda.dll), which meets the emulated drive through the CD-ROM
// class driver's requests, as on a PC. The choice is made when winmm loads the driver
// (at the first open of cdaudio) and holds until it unloads it (at the last close).
#include "mcidriver.h"

#include <strsafe.h>

#include "disc.h"
#include "rigcore.h"

namespace {

struct CdDevice {
    MCIDEVICEID id = 0;
    DWORD timeFormat = MCI_FORMAT_MSF;
    rig::NotifySlot notify;
};

const wchar_t kProductName[] = L"Virtual Audio Rig CD-ROM";

bool IsReady(const RigDrive& drive) { return !drive.doorOpen && drive.discLoaded; }

DWORD_PTR Boolean(bool value) { return MAKEMCIRESOURCE(value ? TRUE : FALSE, value ? MCI_TRUE : MCI_FALSE); }

// Encodes an LBA in the device's time format into *out; returns the return-type flag.
LRESULT EncodePosition(DWORD format, const rig::Disc& disc, long lba, DWORD_PTR* out) {
    switch (format) {
    case MCI_FORMAT_TMSF:
        *out = rig::LbaToTmsf(disc, lba);
        return MCI_COLONIZED4_RETURN;
    case MCI_FORMAT_MSF:
        *out = rig::LbaToMsf(lba);
        return MCI_COLONIZED3_RETURN;
    default:
        *out = rig::FramesToMs(lba + rig::kPregapFrames);
        return MCI_INTEGER_RETURNED;
    }
}

// Encodes a length in frames: MSF in both MSF and TMSF formats, as the native driver does.
LRESULT EncodeLength(DWORD format, long frames, DWORD_PTR* out) {
    if (format == MCI_FORMAT_MILLISECONDS) {
        *out = rig::FramesToMs(frames);
        return MCI_INTEGER_RETURNED;
    }
    *out = rig::PackMsf(rig::FramesToMsf(frames));
    return MCI_COLONIZED3_RETURN;
}

// Decodes a position given in the device's time format; false for a missing track.
bool DecodePosition(DWORD format, const rig::Disc& disc, DWORD value, long* lba) {
    switch (format) {
    case MCI_FORMAT_TMSF:
        return rig::TmsfToLba(disc, value, lba);
    case MCI_FORMAT_MSF:
        *lba = rig::MsfToLba(value);
        return true;
    default:
        *lba = rig::MsToFrames(value) - rig::kPregapFrames;
        return true;
    }
}

bool OnDisc(const RigDrive& drive, long lba) {
    return drive.trackCount > 0 && lba >= drive.trackStarts[0] && lba < drive.leadout;
}

// The track (1-based) that holds `lba`.
int TrackAt(const RigDrive& drive, long lba) {
    int track = 1;
    while (track < drive.trackCount && drive.trackStarts[track] <= lba) ++track;
    return track;
}

// A play's start off the audio (in a data track or a session gap) moves on to the next
// audio track; false when none follows.
bool StartOnAudio(const RigDrive& drive, const rig::Disc& disc, long* from) {
    if (rig::AudioRunEnd(disc, *from) > *from) return true;
    for (int track = TrackAt(drive, *from) + 1; track <= drive.trackCount; ++track) {
        if (!disc.IsData(track)) {
            *from = drive.trackStarts[track - 1];
            return true;
        }
    }
    return false;
}

DWORD ModeOf(const RigDrive& drive) {
    if (drive.doorOpen) return MCI_MODE_OPEN;
    if (!drive.discLoaded) return MCI_MODE_NOT_READY;
    RigPlay play;
    RigGetPlay(&play);
    if (play.playing) return MCI_MODE_PLAY;
    return play.paused ? MCI_MODE_PAUSE : MCI_MODE_STOP;
}

// ---- MCI commands, one function each ----

LRESULT OnOpen(CdDevice* dev, DWORD flags, MCI_OPEN_PARMSW* parms) {
    RigDrive drive;
    RigReadDrive(&drive);
    if (drive.driveBusy) return MCIERR_MUST_USE_SHAREABLE;
    dev->timeFormat = MCI_FORMAT_MSF;
    if (parms) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

// Play goes on after a close, as on a real drive; only the notification ends.
LRESULT OnClose(CdDevice* dev, DWORD flags, MCI_GENERIC_PARMS* parms) {
    dev->notify.Abort(dev->id);
    if (parms) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT StatusLength(CdDevice* dev, const RigDrive& drive, DWORD flags, MCI_STATUS_PARMS* parms) {
    if (!(flags & MCI_TRACK))
        return EncodeLength(dev->timeFormat, rig::DiscLengthFrames(rig::DiscOfDrive(drive)), &parms->dwReturn);
    if (parms->dwTrack < 1 || parms->dwTrack > static_cast<DWORD>(drive.trackCount)) return MCIERR_OUTOFRANGE;
    long frames = rig::TrackLengthFrames(rig::DiscOfDrive(drive), static_cast<int>(parms->dwTrack));
    return EncodeLength(dev->timeFormat, frames, &parms->dwReturn);
}

LRESULT StatusPosition(CdDevice* dev, const RigDrive& drive, DWORD flags, MCI_STATUS_PARMS* parms) {
    long lba;
    if (flags & MCI_STATUS_START) {
        lba = drive.trackStarts[0];
    } else if (flags & MCI_TRACK) {
        if (parms->dwTrack < 1 || parms->dwTrack > static_cast<DWORD>(drive.trackCount)) return MCIERR_OUTOFRANGE;
        lba = drive.trackStarts[parms->dwTrack - 1];
    } else {
        RigPlay play;
        RigGetPlay(&play);
        lba = play.position;
    }
    return EncodePosition(dev->timeFormat, rig::DiscOfDrive(drive), lba, &parms->dwReturn);
}

// Answers the items that need a disc in a closed drive.
LRESULT StatusOfDisc(CdDevice* dev, const RigDrive& drive, DWORD flags, MCI_STATUS_PARMS* parms) {
    switch (parms->dwItem) {
    case MCI_STATUS_NUMBER_OF_TRACKS:
        parms->dwReturn = drive.trackCount;
        return MCI_INTEGER_RETURNED;
    case MCI_STATUS_LENGTH:
        return StatusLength(dev, drive, flags, parms);
    case MCI_STATUS_POSITION:
        return StatusPosition(dev, drive, flags, parms);
    case MCI_STATUS_CURRENT_TRACK: {
        RigPlay play;
        RigGetPlay(&play);
        parms->dwReturn = TrackAt(drive, play.position);
        return MCI_INTEGER_RETURNED;
    }
    case MCI_CDA_STATUS_TYPE_TRACK:
        if (!(flags & MCI_TRACK) || parms->dwTrack < 1 || parms->dwTrack > static_cast<DWORD>(drive.trackCount))
            return MCIERR_OUTOFRANGE;
    {
        WORD type = drive.dataTracks[parms->dwTrack - 1] ? MCI_CDA_TRACK_OTHER : MCI_CDA_TRACK_AUDIO;
        parms->dwReturn = MAKEMCIRESOURCE(type, type);
        return MCI_RESOURCE_RETURNED | MCI_RESOURCE_DRIVER;   // its words are in rigcd.rc
    }
    default:
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

LRESULT OnStatus(CdDevice* dev, DWORD flags, MCI_STATUS_PARMS* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
    RigDrive drive;
    RigReadDrive(&drive);
    LRESULT result;
    switch (parms->dwItem) {
    case MCI_STATUS_READY:
    case MCI_STATUS_MEDIA_PRESENT:
        parms->dwReturn = Boolean(IsReady(drive));
        result = MCI_RESOURCE_RETURNED;
        break;
    case MCI_STATUS_MODE: {
        DWORD mode = ModeOf(drive);
        parms->dwReturn = MAKEMCIRESOURCE(mode, mode);
        result = MCI_RESOURCE_RETURNED;
        break;
    }
    case MCI_STATUS_TIME_FORMAT:
        parms->dwReturn = MAKEMCIRESOURCE(dev->timeFormat, MCI_FORMAT_RETURN_BASE + dev->timeFormat);
        result = MCI_RESOURCE_RETURNED;
        break;
    default:
        result = IsReady(drive) ? StatusOfDisc(dev, drive, flags, parms) : MCIERR_DEVICE_NOT_READY;
        break;
    }
    if (LOWORD(result) == 0) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return result;
}

LRESULT OnSet(CdDevice* dev, DWORD flags, MCI_SET_PARMS* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & MCI_SET_DOOR_OPEN) && (flags & MCI_SET_DOOR_CLOSED)) return MCIERR_FLAGS_NOT_COMPATIBLE;
    if (flags & MCI_SET_VIDEO) return MCIERR_UNSUPPORTED_FUNCTION;
    if (flags & MCI_SET_TIME_FORMAT) {
        DWORD format = parms->dwTimeFormat;
        if (format != MCI_FORMAT_MILLISECONDS && format != MCI_FORMAT_MSF && format != MCI_FORMAT_TMSF)
            return MCIERR_BAD_TIME_FORMAT;
        dev->timeFormat = format;
    }
    if (flags & MCI_SET_DOOR_OPEN) {
        dev->notify.Abort(dev->id);   // the play it waited for ends with the open tray
        RigSetDoorOpen(1);
    }
    if (flags & MCI_SET_DOOR_CLOSED) RigSetDoorOpen(0);
    // MCI_SET_AUDIO: both channels always sound; nothing to change.
    dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnSeek(CdDevice* dev, DWORD flags, MCI_SEEK_PARMS* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    int targets = !!(flags & MCI_TO) + !!(flags & MCI_SEEK_TO_START) + !!(flags & MCI_SEEK_TO_END);
    if (targets == 0) return MCIERR_MISSING_PARAMETER;
    if (targets > 1) return MCIERR_FLAGS_NOT_COMPATIBLE;
    RigDrive drive;
    RigReadDrive(&drive);
    if (!IsReady(drive)) return MCIERR_DEVICE_NOT_READY;
    long lba;
    if (flags & MCI_SEEK_TO_START) {
        lba = drive.trackStarts[0];
    } else if (flags & MCI_SEEK_TO_END) {
        lba = drive.leadout - 1;
    } else if (!DecodePosition(dev->timeFormat, rig::DiscOfDrive(drive), parms->dwTo, &lba) || !OnDisc(drive, lba)) {
        return MCIERR_OUTOFRANGE;
    }
    dev->notify.Abort(dev->id);
    RigSeek(lba);
    dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnPlay(CdDevice* dev, DWORD flags, MCI_PLAY_PARMS* parms) {
    if (!parms && (flags & (MCI_FROM | MCI_TO | MCI_NOTIFY))) return MCIERR_NULL_PARAMETER_BLOCK;
    RigDrive drive;
    RigReadDrive(&drive);
    if (!IsReady(drive)) return MCIERR_DEVICE_NOT_READY;
    rig::Disc disc = rig::DiscOfDrive(drive);
    RigPlay play;
    RigGetPlay(&play);
    long from = play.position, to = drive.leadout - 1;
    if (!(flags & MCI_FROM) && !(flags & MCI_TO) && play.paused) to = play.to;   // resume
    if ((flags & MCI_FROM) && !DecodePosition(dev->timeFormat, disc, parms->dwFrom, &from)) return MCIERR_OUTOFRANGE;
    if ((flags & MCI_TO) && !DecodePosition(dev->timeFormat, disc, parms->dwTo, &to)) return MCIERR_OUTOFRANGE;
    if (!OnDisc(drive, from) || !OnDisc(drive, to) || to < from) return MCIERR_OUTOFRANGE;
    if (!StartOnAudio(drive, disc, &from) || to < from) return MCIERR_OUTOFRANGE;
    dev->notify.Abort(dev->id);
    RigStartPlay(from, to);
    if (parms) dev->notify.Arm(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnStop(CdDevice* dev, DWORD flags, MCI_GENERIC_PARMS* parms) {
    dev->notify.Abort(dev->id);
    RigStopPlay();
    if (parms) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnPause(CdDevice* dev, DWORD flags, MCI_GENERIC_PARMS* parms) {
    RigDrive drive;
    RigReadDrive(&drive);
    if (!IsReady(drive)) return MCIERR_DEVICE_NOT_READY;
    dev->notify.Abort(dev->id);
    RigPausePlay();
    if (parms) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnResume(CdDevice* dev, DWORD flags, MCI_GENERIC_PARMS* parms) {
    RigDrive drive;
    RigReadDrive(&drive);
    if (!IsReady(drive)) return MCIERR_DEVICE_NOT_READY;
    RigPlay play;
    RigGetPlay(&play);
    if (play.paused) RigStartPlay(play.position, play.to);
    if (parms) dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnGetDevCaps(CdDevice* dev, DWORD flags, MCI_GETDEVCAPS_PARMS* parms) {
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_GETDEVCAPS_ITEM)) return MCIERR_MISSING_PARAMETER;
    switch (parms->dwItem) {
    case MCI_GETDEVCAPS_CAN_RECORD:
    case MCI_GETDEVCAPS_HAS_VIDEO:
    case MCI_GETDEVCAPS_USES_FILES:
    case MCI_GETDEVCAPS_COMPOUND_DEVICE:
    case MCI_GETDEVCAPS_CAN_SAVE:
        parms->dwReturn = Boolean(false);
        break;
    case MCI_GETDEVCAPS_HAS_AUDIO:
    case MCI_GETDEVCAPS_CAN_EJECT:
    case MCI_GETDEVCAPS_CAN_PLAY:
        parms->dwReturn = Boolean(true);
        break;
    case MCI_GETDEVCAPS_DEVICE_TYPE:
        parms->dwReturn = MAKEMCIRESOURCE(MCI_DEVTYPE_CD_AUDIO, MCI_DEVTYPE_CD_AUDIO);
        break;
    default:
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
    dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return MCI_RESOURCE_RETURNED;
}

LRESULT OnInfo(CdDevice* dev, DWORD flags, MCI_INFO_PARMSW* parms) {
    if (!parms || !parms->lpstrReturn) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_INFO_PRODUCT)) return MCIERR_UNSUPPORTED_FUNCTION;
    if (parms->dwRetSize < ARRAYSIZE(kProductName)) return MCIERR_PARAM_OVERFLOW;
    StringCchCopyW(parms->lpstrReturn, parms->dwRetSize, kProductName);
    dev->notify.Finish(dev->id, flags, parms->dwCallback);
    return 0;
}

LRESULT OnCommand(CdDevice* dev, UINT msg, DWORD flags, LPARAM parms) {
    switch (msg) {
    case MCI_OPEN_DRIVER: return OnOpen(dev, flags, reinterpret_cast<MCI_OPEN_PARMSW*>(parms));
    case MCI_CLOSE_DRIVER: return OnClose(dev, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parms));
    case MCI_STATUS: return OnStatus(dev, flags, reinterpret_cast<MCI_STATUS_PARMS*>(parms));
    case MCI_SET: return OnSet(dev, flags, reinterpret_cast<MCI_SET_PARMS*>(parms));
    case MCI_SEEK: return OnSeek(dev, flags, reinterpret_cast<MCI_SEEK_PARMS*>(parms));
    case MCI_PLAY: return OnPlay(dev, flags, reinterpret_cast<MCI_PLAY_PARMS*>(parms));
    case MCI_STOP: return OnStop(dev, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parms));
    case MCI_PAUSE: return OnPause(dev, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parms));
    case MCI_RESUME: return OnResume(dev, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parms));
    case MCI_GETDEVCAPS: return OnGetDevCaps(dev, flags, reinterpret_cast<MCI_GETDEVCAPS_PARMS*>(parms));
    case MCI_INFO: return OnInfo(dev, flags, reinterpret_cast<MCI_INFO_PARMSW*>(parms));
    default: return MCIERR_UNSUPPORTED_FUNCTION;   // record, save and the rest
    }
}

void ReleaseNothing(CdDevice*) {}

// Windows' own MCI CD driver, while the rig offers its emulated drive.
struct SystemDriver {
    HMODULE module = nullptr;
    DRIVERPROC proc = nullptr;
};
SystemDriver g_system;

// At the driver's load: whether the system's driver takes the cdaudio type this time.
// False when it should and cannot be loaded (the load then fails: the rig's own answers
// would pass for the system's).
bool ChooseDriver() {
    RigDrive drive;
    RigReadDrive(&drive);
    if (!drive.emulatedDrive) return true;
    g_system.module = LoadLibraryA("mcicda.dll");
    if (g_system.module)
        g_system.proc =
            reinterpret_cast<DRIVERPROC>(reinterpret_cast<void*>(GetProcAddress(g_system.module, "DriverProc")));
    if (g_system.proc) return true;
    if (g_system.module) FreeLibrary(g_system.module);
    g_system = SystemDriver();
    return false;
}

}  // namespace

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR driver, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    if (msg == DRV_LOAD && !ChooseDriver()) return 0;
    if (g_system.proc) {
        LRESULT result = g_system.proc(id, driver, msg, lParam1, lParam2);
        if (msg == DRV_FREE) {
            FreeLibrary(g_system.module);
            g_system = SystemDriver();
        }
        return result;
    }
    return rig::DriverMessage<CdDevice, MCI_DEVTYPE_CD_AUDIO, ReleaseNothing, OnCommand>(id, driver, msg, lParam1,
                                                                                         lParam2);
}
