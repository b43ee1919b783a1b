// The measurement reply: live voltage, current, power, capacity and the device's clock.
#include <cstdint>
#include <cstdlib>

#include "decode/device_time.h"
#include "dialog/orvik_dlg.h"
#include "link/protocol.h"

namespace {
constexpr Bilingual kDataAccepted{"Данные приняты", "Data accepted"};
constexpr double kFullScale = zv::proto::kFullScaleCounts;
}  // namespace

namespace proto = zv::proto;
namespace reg = zv::proto::measurement;

void COrvikDlg::DecodeMeasurement() {
  SetStatus(kDataAccepted);
  UpdateData(FALSE);

  // Every field is read before any text changes, so a reply cut short changes no reading.
  const auto signedAt = [this](std::size_t r) { return static_cast<int16_t>(RxWord(proto::RegisterOffset(r))); };
  const int16_t rawI50Dc = signedAt(reg::kI50Dc);
  const int16_t rawI50Ac = signedAt(reg::kI50Ac);
  const int16_t rawI50Rms = signedAt(reg::kI50Rms);
  const int16_t rawI300Dc = signedAt(reg::kI300Dc);
  const int16_t rawI300Ac = signedAt(reg::kI300Ac);
  const int16_t rawI300Rms = signedAt(reg::kI300Rms);
  const unsigned rawVoltage = RxWord(proto::RegisterOffset(reg::kVoltage));
  const uint32_t chargeHigh = RxWord(proto::RegisterOffset(reg::kChargeHigh));
  const uint32_t chargeLow = RxWord(proto::RegisterOffset(reg::kChargeLow));
  const auto rawCharge = static_cast<int32_t>(chargeHigh << 16 | chargeLow);
  const unsigned milliseconds = RxWord(proto::RegisterOffset(reg::kMillisecondsInMinute));
  const std::size_t hourMinute = proto::RegisterOffset(reg::kHourMinute);
  const std::size_t monthDay = proto::RegisterOffset(reg::kMonthDay);
  const int hour = static_cast<int>(RxByte(hourMinute));
  const int minute = static_cast<int>(RxByte(hourMinute + 1));
  const int month = static_cast<int>(RxByte(monthDay));
  const int day = static_cast<int>(RxByte(monthDay + 1));
  const int year = static_cast<int>(RxByte(proto::RegisterOffset(reg::kYear) + 1)) + 2000;

  // The low-range reading is divided in single precision; the high-range one, the voltage
  // and the charge in double precision, then kept in single precision.
  const float lowRange = static_cast<float>(rawI50Rms) * m_fScaleLow / static_cast<float>(proto::kFullScaleCounts);
  const auto highRange = static_cast<float>(static_cast<double>(static_cast<float>(rawI300Rms) * m_fScaleHigh) / kFullScale);
  float current = lowRange;
  if (proto::HasRangeSwitch(m_nDeviceVersion) && std::abs(static_cast<int>(rawI300Rms)) >= proto::HighRangeThreshold(m_nDeviceVersion)) {
    current = highRange;
  }
  // Versions without a range switch show the low-range RMS reading, and the power follows it.
  const auto voltage = static_cast<float>(static_cast<double>(rawVoltage * m_nNominalVoltage) / kFullScale);
  const auto charge = static_cast<float>(static_cast<double>(static_cast<float>(rawCharge) * m_fScaleLow) / kFullScale);
  const float power = current * voltage;
  const float seconds = static_cast<float>(milliseconds) / 1000.0f;

  m_strCurrent.Format("%03.2f", current);
  m_strVoltage.Format("%3.2f", voltage);
  m_strCapacity.Format("%5.2f", charge);
  m_strPower.Format("%5.2f", power);
  m_strDateTime = DeviceTimeText(day, month, year, hour, minute, seconds);

  zv::Measurement news;
  news.time = zv::DeviceTime{year, month, day, hour, minute, seconds};
  news.voltage = voltage;
  news.current = current;
  news.power = power;
  news.charge = charge;
  news.timeText = m_strDateTime.str();
  news.voltageText = m_strVoltage.str();
  news.currentText = m_strCurrent.str();
  news.powerText = m_strPower.str();
  news.chargeText = m_strCapacity.str();
  m_events.Send([&](zv::IWindowEvents& o) { o.OnMeasurement(news); });
  if (m_bRecording != 0) {
    const auto channel = [](int16_t raw, float factor) {
      return static_cast<float>(static_cast<double>(static_cast<float>(raw) * factor) / kFullScale);
    };
    const float channels[6] = {channel(rawI50Dc, m_fScaleLow),   channel(rawI50Ac, m_fScaleLow),
                               channel(rawI50Rms, m_fScaleLow),  channel(rawI300Dc, m_fScaleHigh),
                               channel(rawI300Ac, m_fScaleHigh), channel(rawI300Rms, m_fScaleHigh)};
    AppendRecordRow(channels);
  }
}
