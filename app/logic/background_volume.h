// Record in Background: silencing auxiliary device 0 (taken to be the CD player's audio
// output) while it is on, and giving the device its volume back when it is turned off
// or the program ends with it on.
#pragma once

#include <cstdint>

// Auxiliary device 0 as Record in Background uses it. A volume holds the left channel
// in its low 16 bits and the right channel in its high 16 bits; 0 is silence.
class AuxVolumeDevice {
public:
    virtual ~AuxVolumeDevice() = default;
    virtual bool SupportsVolume() const = 0;
    virtual bool GetVolume(uint32_t* volume) = 0;
    virtual bool SetVolume(uint32_t volume) = 0;
};

struct BackgroundVolume {
    uint32_t saved;   // the volume before Record in Background silenced the device
    bool silenced;    // the device is silent by our doing and owes `saved` back
};

// Turns Record in Background on (`wasOn` false) or off. On: saves the volume and
// silences the device. Off: gives back the saved volume, if the device was silenced.
// False when the device has no volume control, or refuses to tell or take a volume;
// the caller tells the user, and the device keeps the volume it had.
bool SwitchBackground(bool wasOn, AuxVolumeDevice* device, BackgroundVolume* state);

// At exit: gives back the saved volume when Record in Background left the device silent.
void RestoreBackgroundVolume(AuxVolumeDevice* device, BackgroundVolume* state);
