#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "receiver/custom_gps_receiver.h"
#include "receiver/records.h"

namespace waymock::cli {

// The receiver's records as JSON, every field under its own name and each
// hemisphere by its letter ("N", "S", "E", "W"), as NMEA writes it; a
// satellite's Talker only when it is not GP.
nlohmann::ordered_json toJson(const receiver::TSatellite& satellite);
nlohmann::ordered_json toJson(const receiver::TGPSPosition& position);
nlohmann::ordered_json toJson(const receiver::TNavigationInfo& navigation);
nlohmann::ordered_json toJson(const receiver::TReceiverStatus& status);
// {"Position": ..., "Navigation": ..., "Status": ...}
nlohmann::ordered_json recordsJson(const receiver::TTarnCustomGPSReceiver& receiver);

// Assigns every event handler of the receiver (OnReceive included) so that each
// event is handed to `emit` as {"event": name, argument name: value, ...}. The
// position events' Latitude and Longitude are decimal degrees as a map counts
// them, north and east positive (the receiver itself counts west positive).
void reportEvents(receiver::TTarnCustomGPSReceiver& receiver,
                  std::function<void(const nlohmann::ordered_json&)> emit);

// One line of JSON text; bytes that are not UTF-8 (a waypoint from a noisy
// line) are replaced rather than failing.
std::string jsonLine(const nlohmann::ordered_json& value, int indent = -1);

}  // namespace waymock::cli
