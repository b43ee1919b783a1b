// How much processor time a reply wait costs. The program waits for every reply by polling the
// port every few milliseconds; those waits run for seconds at a time (10 s for a silent device
// on the live poll), so each must sleep rather than spin. Prints wall and CPU time of a clock
// write's wait on a silent port (100 polls) and of a live poll's wait on a chatty one.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

#include "dialog/orvik_dlg.h"
#include "framework/environment.h"
#include "framework/headless_view.h"
#include "framework/winapp.h"
#include "platform/clock.h"
#include "platform/scripted_port.h"

namespace {

void Measure(const char* name, COrvikDlg& dlg, const WaitVariant& variant) {
  const std::clock_t cpu0 = std::clock();
  const auto wall0 = std::chrono::steady_clock::now();
  const bool got = dlg.WaitReply(variant);
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  const double wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();
  std::printf("%-34s reply=%d wall=%8.1f ms cpu=%6.1f ms (%.1f%% of a core)\n", name, got ? 1 : 0, wallMs, cpuMs,
              wallMs > 0 ? 100.0 * cpuMs / wallMs : 0.0);
}

}  // namespace

int main() {
  CWinApp app("zentrova-bench");
  zfw::HeadlessView view;
  zv::SteadyClock clock;
  zv::ScriptedSerialBackend ports;
  auto device = ports.AddDevice("/dev/ttyBENCH");
  zfw::SetEnvironment(zfw::Environment{&view, &clock});

  COrvikDlg dlg(PortAccess{&ports, nullptr, {}});
  dlg.Create();
  dlg.m_portCombo.AddString("/dev/ttyBENCH");
  dlg.m_portCombo.SetCurSel(1);
  dlg.m_strPortName = "/dev/ttyBENCH";
  dlg.m_pszPortName = dlg.m_strPortName.GetString();

  dlg.OpenPort();
  dlg.BuildClockWrite(11);
  dlg.SendFrame(dlg.m_txFrame);
  Measure("clock write, silent device", dlg, wait_variants::kClockWrite);

  // A reply that trickles in over 200 polls before it settles.
  std::vector<std::size_t> arrival;
  for (std::size_t i = 1; i <= 200; ++i) arrival.push_back(i * 20);
  device->QueueReply({std::vector<uint8_t>(4000, 0x5A), arrival});
  dlg.BuildMeasurementRequest();
  dlg.SendFrame(dlg.m_txFrame);
  Measure("live poll, reply over 200 polls", dlg, wait_variants::kLivePoll);
  dlg.ClosePort();
  return 0;
}
