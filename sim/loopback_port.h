// The simulated logger inside the program, behind a serial backend of its own: a request
// written to its port is answered at once into the port's receive queue. No pseudo-terminal
// is needed, so it serves where there is none (zentrova-cli --simulate on Windows). Reply
// timing (latency, pacing, bursts) is not simulated; the reply's bytes are what counts here.
#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/serial_port.h"
#include "sim/device.h"

namespace zv::sim {

// Opens the one port named portName, exclusively like a real port. Thread-safe; the backend
// must outlive the ports it opens. clock: nullptr for the real clock, else it must outlive
// the backend.
std::unique_ptr<ISerialBackend> MakeLoopbackBackend(DeviceOptions options, std::string portName = "SIM",
                                                    IClock* clock = nullptr);

}  // namespace zv::sim
