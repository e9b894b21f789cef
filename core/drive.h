// The drive watch: the start-up check (timer 3) and the drive poll (timer 2) keep the
// track table true to the disc in the drive.
#pragma once

#include <windows.h>

#include "track_table.h"

enum DriveState { kDriveDoorOpen = 1, kDriveReady = 2 };

struct DriveWatch {
    DriveState state;
    bool discScanned;                    // the poll has read the disc in the drive
    char lastShownLength[kLengthText];   // current length when the poll last repainted it
    int startupTicks;
};

extern DriveWatch g_drive;
extern TrackTable g_tracks;

void OnStartupTick(HWND hwnd);
void OnDrivePoll(HWND hwnd);
// The drive holds no readable disc, or not the one read (door opened, disc changed):
// track 1, no length, the disc's buttons off, no batch, and the next poll that finds
// the drive ready reads the disc again.
void ForgetDisc(HWND hwnd);

// "status cd length track k" into `reply`.
void QueryTrackLength(int track, char* reply, size_t replySize);
// Reads every track's length into the table; failed queries leave empty texts.
void FillLengthsTable();
