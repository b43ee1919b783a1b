// The device's date and time as the window and both files show it.
#pragma once

#include <string>

// "07_03_2015 14:05:9.50": day and month with two digits, the year with four, then hour and
// minute with two and the seconds with two decimals and no leading zero.
std::string DeviceTimeText(int day, int month, int year, int hour, int minute, float seconds);
