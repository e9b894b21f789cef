#include "background_volume.h"

bool SwitchBackground(bool wasOn, AuxVolumeDevice* device, BackgroundVolume* state) {
    if (!device->SupportsVolume()) return false;
    if (wasOn) {
        // Only a volume we took away is given back: restoring a volume never saved
        // would silence the device instead.
        if (!state->silenced) return true;
        if (!device->SetVolume(state->saved)) return false;
        state->silenced = false;
        return true;
    }
    // Still silent from a restore the device refused: the device now reads 0, and the
    // volume it owes back is the one saved then.
    if (state->silenced) return device->SetVolume(0);
    uint32_t volume = 0;
    if (!device->GetVolume(&volume)) return false;   // unsaved: silencing would lose it
    if (!device->SetVolume(0)) return false;
    state->saved = volume;
    state->silenced = true;
    return true;
}

void RestoreBackgroundVolume(AuxVolumeDevice* device, BackgroundVolume* state) {
    if (state->silenced && device->SetVolume(state->saved)) state->silenced = false;
}
