// The five sources of a recording, as the settings file numbers them.
#pragma once

enum SourceMode {
    kSourceNone = -1,  // no source selected yet (a stored index above 4)
    kSourceRip = 0,
    kSourceRecordCd = 1,
    kSourceLineIn = 2,
    kSourceConvert = 3,
    kSourcePartial = 4,
};

// Sources in which the CD is played while the sound card records.
inline bool IsCdPlayed(SourceMode mode) { return mode == kSourceRecordCd || mode == kSourcePartial; }
// Sources that work on the CD: rip, record and partial.
inline bool IsCdSource(SourceMode mode) { return mode == kSourceRip || IsCdPlayed(mode); }
