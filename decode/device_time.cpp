#include "decode/device_time.h"

#include "framework/numfmt.h"

std::string DeviceTimeText(int day, int month, int year, int hour, int minute, float seconds) {
  // "%02.2f" never pads: the text of the seconds has four characters at least.
  return zfw::Format("%02d_", day) + zfw::Format("%02d_", month) + zfw::Format("%04d", year) + " " +
         zfw::Format("%02d:", hour) + zfw::Format("%02d:", minute) + zfw::Format("%02.2f", seconds);
}
