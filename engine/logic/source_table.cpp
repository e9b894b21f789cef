#include "source_table.h"

namespace {

const SourceCommandEffect kEffects[] = {
    {kMenuRip, kSourceRip, true, true, kMenuRip,
     {kMenuRecordCd, kMenuLineIn, kMenuConvert, kMenuPartial},
     {kMenuTracks, kMenuRecordCd, kMenuLineIn, kMenuConvert, kMenuWavParams},
     {kMenuPartial}, true, "Rip", kTrackOneIfLetter, true, true, false, true},
    {kMenuRecordCd, kSourceRecordCd, true, false, kMenuRecordCd,
     {kMenuLineIn, kMenuRip, kMenuConvert},
     {kMenuPartial, kMenuTracks, kMenuWavParams},
     {}, true, "Play", kTrackOneIfLetter, true, true, false, false},
    {kMenuLineIn, kSourceLineIn, false, true, kMenuLineIn,
     {kMenuRecordCd, kMenuRip, kMenuConvert, kMenuPartial},
     {kMenuRecordCd, kMenuLineIn, kMenuWavParams},
     {kMenuPartial, kMenuTracks}, true, "&Record", kTrackLineIn, false, false, false, false},
    {kMenuConvert, kSourceConvert, false, true, kMenuConvert,
     {kMenuRecordCd, kMenuLineIn, kMenuRip, kMenuPartial},
     {kMenuRecordCd, kMenuLineIn, kMenuMp3Params},
     {kMenuPartial, kMenuTracks, kMenuWavParams}, false, "Start", kTrackConvert, false, false, true, false},
};

}  // namespace

const SourceCommandEffect* FindSourceCommand(int command) {
    for (const SourceCommandEffect& effect : kEffects)
        if (effect.command == command) return &effect;
    return nullptr;
}

int StartupSourceCommands(int sourceIndex, int (&commands)[2]) {
    switch (sourceIndex) {
        case kSourceRip: commands[0] = kMenuRip; return 1;
        case kSourceRecordCd: commands[0] = kMenuRecordCd; return 1;
        case kSourceLineIn: commands[0] = kMenuLineIn; return 1;
        case kSourceConvert: commands[0] = kMenuConvert; return 1;
        case kSourcePartial: commands[0] = kMenuRecordCd; commands[1] = kMenuPartial; return 2;
        default: return 0;
    }
}


