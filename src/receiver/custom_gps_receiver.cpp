#include "receiver/custom_gps_receiver.h"

#include "platform/folders.h"

namespace waymock::receiver {

TTarnCustomGPSReceiver::TTarnCustomGPSReceiver(std::shared_ptr<const Clock> clock)
    : clock_(std::move(clock)), logFileName_(executableDirectory() + "NMEA.log") {}

TTarnCustomGPSReceiver::~TTarnCustomGPSReceiver() = default;

void TTarnCustomGPSReceiver::ReceiveData(std::string_view) {
  if (OnReceive) OnReceive(*this);
}

}  // namespace waymock::receiver
