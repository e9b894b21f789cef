// Record in Background against a stand-in for auxiliary device 0: Wine's winmm takes its
// auxiliary devices from the audio driver only, so the rig cannot offer one with volume
// control and this decision is checked here rather than end to end.
#include <gtest/gtest.h>

#include "background_volume.h"

namespace {

struct FakeAuxDevice : AuxVolumeDevice {
    bool control = true, refuseGet = false, refuseSet = false;
    uint32_t volume = 0x8000C000;   // right 0x8000, left 0xC000
    int sets = 0;
    bool SupportsVolume() const override { return control; }
    bool GetVolume(uint32_t* out) override { return !refuseGet && (*out = volume, true); }
    bool SetVolume(uint32_t value) override { return ++sets, !refuseSet && (volume = value, true); }
};

TEST(BackgroundVolume, OnSilencesOffRestoresAndExitRestoresWhatIsStillSilenced) {
    FakeAuxDevice device;
    BackgroundVolume state = {};
    ASSERT_TRUE(SwitchBackground(false, &device, &state));
    EXPECT_EQ(device.volume, 0u);
    ASSERT_TRUE(SwitchBackground(true, &device, &state));
    EXPECT_EQ(device.volume, 0x8000C000u);
    RestoreBackgroundVolume(&device, &state);
    EXPECT_EQ(device.sets, 2) << "nothing to give back at exit after turning it off";
    // The user lowers the volume, turns it on again and quits: the new volume comes back.
    device.volume = 0x10001000;
    ASSERT_TRUE(SwitchBackground(false, &device, &state));
    RestoreBackgroundVolume(&device, &state);
    EXPECT_EQ(device.volume, 0x10001000u);
}

TEST(BackgroundVolume, DevicesThatRefuseAreReportedAndNeverLeftSilent) {
    FakeAuxDevice none, unreadable, stubborn;
    none.control = false;
    BackgroundVolume state = {};
    EXPECT_FALSE(SwitchBackground(false, &none, &state));
    EXPECT_FALSE(SwitchBackground(true, &none, &state));
    RestoreBackgroundVolume(&none, &state);
    EXPECT_EQ(none.sets, 0);
    // A volume that cannot be read is not silenced (it could never come back), and
    // turning off then restores nothing.
    unreadable.refuseGet = true;
    EXPECT_FALSE(SwitchBackground(false, &unreadable, &state));
    EXPECT_TRUE(SwitchBackground(true, &unreadable, &state));
    EXPECT_EQ(unreadable.sets, 0);
    // A restore the device refuses is tried again at exit; turned on again before that,
    // the device still owes the first volume, not the silence it reads now.
    ASSERT_TRUE(SwitchBackground(false, &stubborn, &state));
    stubborn.refuseSet = true;
    EXPECT_FALSE(SwitchBackground(true, &stubborn, &state));
    stubborn.refuseSet = false;
    ASSERT_TRUE(SwitchBackground(false, &stubborn, &state));
    EXPECT_EQ(stubborn.volume, 0u);
    RestoreBackgroundVolume(&stubborn, &state);
    EXPECT_EQ(stubborn.volume, 0x8000C000u);
}

}  // namespace
