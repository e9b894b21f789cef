// The five sources and what each source command of the Source menu does to the
// menus, the Play button and the track table. The window code applies these effects.
#pragma once

#include "source_mode.h"


// Command ids of the Source and related menu items, as the program fixes them.
enum SourceMenuId {
    kMenuTracks = 112,
    kMenuRecordCd = 116,
    kMenuLineIn = 117,
    kMenuPartial = 118,
    kMenuConvert = 119,
    kMenuRip = 120,
    kMenuWavParams = 121,
    kMenuMp3Params = 122,
};

enum CurrentTrackRule {
    kTrackOneIfLetter,  // "1" when it was "C" or "L", else unchanged
    kTrackLineIn,       // "L"
    kTrackConvert,      // "C"
};

struct SourceCommandEffect {
    int command;
    SourceMode mode;
    bool keepWavWhenMp3Off;      // keep WAV file set to 1 if convert to MP3 is off
    bool partialOff;             // Partial CD Recording switched off
    int checked;
    int unchecked[4];            // 0 ends the list
    int enabled[5];
    int grayed[3];
    bool grayMp3ParamsWhenOff;   // 122 grayed if convert to MP3 is off
    const char* playLabel;
    CurrentTrackRule trackRule;
    bool lengthFromTable;        // else the current length is emptied
    bool transportEnabled;       // track buttons and Eject
    bool disablePlayBack;
    bool forceCdFormat;          // recording settings become 44,100 Hz, 16 bits, stereo
};

// The effect of source command 116, 117, 119 or 120; nullptr for any other id
// (118, Partial CD Recording, is a toggle of its own).
const SourceCommandEffect* FindSourceCommand(int command);

// Commands start-up sends for a stored source index: up to two, returned count.
int StartupSourceCommands(int sourceIndex, int (&commands)[2]);

