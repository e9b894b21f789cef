// The elapsed-time clock of a recording or play-back: one tick a second, shown as
// mm:ss from 00:00 to 59:59 and then 00:00 again.
#pragma once

#include <cstddef>

struct ElapsedClock {
    int minutes;
    int seconds;
};

// Advances the clock by one second; true when the minutes changed (only then are they
// drawn anew).
bool TickClock(ElapsedClock* clock);

// The two-digit text of a counter, "00" to "59".
void ClockText(int value, char (&text)[3]);
