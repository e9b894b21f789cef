// The virtual audio rig's state, as tests set it: the registry key
// HKEY_CURRENT_USER\Software\VirtualAudioRig, which the rig reads afresh at every
// command, so a test may change it while the program runs.
#pragma once

#include <string>

namespace rigstate {

// Removes every value: no disc, door closed, silent line input, no bad or flaky sectors,
// drive free, the virtual drive offered (not the emulated one, whose values go too).
void Reset();

// The disc in the drive: the Windows path of its .cue file; "" takes it out.
void SetDisc(const std::string& cuePath);
std::string Disc();

void SetDoorOpen(bool open);
bool DoorOpen();

void SetDriveBusy(bool busy);
void SetLineIn(const std::string& wavPath);      // "" removes it (silence)
void SetBadSectors(const std::string& ranges);   // "" removes it
void SetFlakySectors(const std::string& ranges); // "" removes it

// Any other value of the rig's key: a string ("" removes it), a number (REG_DWORD).
void SetString(const char* name, const std::string& value);
void SetNumber(const char* name, long value);
std::string String(const char* name);

// The rig offers its emulated drive (Q:, met through SCSI pass-through and Windows' own
// MCI CD driver) instead of the virtual one, or the virtual one again.
void OfferEmulatedDrive(bool emulated);

}  // namespace rigstate
