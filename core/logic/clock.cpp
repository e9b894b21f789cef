#include "clock.h"

bool TickClock(ElapsedClock* clock) {
    if (++clock->seconds <= 59) return false;
    clock->seconds = 0;
    if (++clock->minutes > 59) clock->minutes = 0;
    return true;
}

void ClockText(int value, char (&text)[3]) {
    if (value < 0 || value > 99) value = 0;
    text[0] = static_cast<char>('0' + value / 10);
    text[1] = static_cast<char>('0' + value % 10);
    text[2] = '\0';
}
