#include "cli/receiver_json.h"

#include <array>
#include <memory>
#include <utility>

#include "support/printed_number.h"

namespace waymock::cli {

using json = nlohmann::ordered_json;
using receiver::TTarnCustomGPSReceiver;

namespace {

// JSON numbers are doubles; the records' extended precision ends here, in
// the shortest form that reads back.
double number(long double value) {
  return printedNumber(value);
}

}  // namespace

json toJson(const receiver::TSatellite& s) {
  json j{{"PseudoRandomCode", s.PseudoRandomCode},
         {"Elevation", s.Elevation},
         {"Azimuth", s.Azimuth},
         {"SignalToNoiseRatio", s.SignalToNoiseRatio}};
  // Only the modern mode's other constellations name their talker.
  if (s.Talker != std::array<char, 2>{'G', 'P'}) j["Talker"] = std::string(s.Talker.data(), 2);
  return j;
}

json toJson(const receiver::TGPSPosition& p) {
  json satellites = json::array();
  for (const auto& s : p.Satellites) satellites.push_back(toJson(s));
  json j = json::object();
  j["Latitude_Raw"] = number(p.Latitude_Raw);
  j["Longitude_Raw"] = number(p.Longitude_Raw);
  j["Latitude_Degree"] = p.Latitude_Degree;
  j["Latitude_Minute"] = p.Latitude_Minute;
  j["Latitude_Second"] = number(p.Latitude_Second);
  j["Latitude_Direction"] = cardinalPointLetter(p.Latitude_Direction);
  j["Longitude_Degree"] = p.Longitude_Degree;
  j["Longitude_Minute"] = p.Longitude_Minute;
  j["Longitude_Second"] = number(p.Longitude_Second);
  j["Longitude_Direction"] = cardinalPointLetter(p.Longitude_Direction);
  j["Altitude"] = number(p.Altitude);
  j["Heading"] = number(p.Heading);
  j["Speed"] = number(p.Speed);
  j["Speed_KMH"] = number(p.Speed_KMH);
  j["Magnetic_Variation"] = number(p.Magnetic_Variation);
  j["Magnetic_Variation_Direction"] = cardinalPointLetter(p.Magnetic_Variation_Direction);
  j["Magnetic_Heading"] = number(p.Magnetic_Heading);
  j["Date_Day"] = p.Date_Day;
  j["Date_Month"] = p.Date_Month;
  j["Date_Year"] = p.Date_Year;
  j["Time_Hour"] = p.Time_Hour;
  j["Time_Minute"] = p.Time_Minute;
  j["Time_Second"] = p.Time_Second;
  j["Time_Fraction"] = p.Time_Fraction;
  j["Satellites_Used"] = p.Satellites_Used;
  j["PDOP"] = number(p.PDOP);
  j["HDOP"] = number(p.HDOP);
  j["VDOP"] = number(p.VDOP);
  j["Geo_Height"] = number(p.Geo_Height);
  j["Fix_Quality"] = p.Fix_Quality;
  j["Selection_Mode"] = p.Selection_Mode;
  j["Fix_Type"] = p.Fix_Type;
  j["Satellites"] = std::move(satellites);
  return j;
}

json toJson(const receiver::TNavigationInfo& n) {
  return json{{"Origin_Waypoint", n.Origin_Waypoint},
              {"Destination_Waypoint", n.Destination_Waypoint},
              {"Distance", number(n.Distance)},
              {"Bearing_True", number(n.Bearing_True)},
              {"Bearing_Magnetic", number(n.Bearing_Magnetic)},
              {"Closing_Velocity", number(n.Closing_Velocity)},
              {"Cross_Track_Error", number(n.Cross_Track_Error)},
              {"Steer_Direction", n.Steer_Direction}};
}

json toJson(const receiver::TReceiverStatus& s) {
  return json{{"Signal_Strength", number(s.Signal_Strength)},
              {"Signal_To_Noise_Ratio", number(s.Signal_To_Noise_Ratio)},
              {"Beacon_Frequency", number(s.Beacon_Frequency)},
              {"Beacon_Bit_Rate", number(s.Beacon_Bit_Rate)}};
}

json recordsJson(const TTarnCustomGPSReceiver& receiver) {
  return json{{"Position", toJson(receiver.Position())},
              {"Navigation", toJson(receiver.Navigation())},
              {"Status", toJson(receiver.Status())}};
}

void reportEvents(TTarnCustomGPSReceiver& r, std::function<void(const json&)> emit) {
  auto out = std::make_shared<std::function<void(const json&)>>(std::move(emit));
  auto event = [](const char* name) { return json{{"event", name}}; };
  auto position = [out, event](const char* name) {
    return [out, event, name](TTarnCustomGPSReceiver&, int Degree, int Minute, long double Second,
                              TCardinalPoint Direction) {
      json j = event(name);
      j["Degree"] = Degree;
      j["Minute"] = Minute;
      j["Second"] = number(Second);
      j["Direction"] = cardinalPointLetter(Direction);
      (*out)(j);
    };
  };
  auto value = [out, event](const char* name) {
    return [out, event, name](TTarnCustomGPSReceiver&, long double Value) {
      json j = event(name);
      j["Value"] = number(Value);
      (*out)(j);
    };
  };
  r.OnReceive = [out, event](TTarnCustomGPSReceiver&) { (*out)(event("OnReceive")); };
  r.OnLatitudeChange = position("OnLatitudeChange");
  r.OnLongitudeChange = position("OnLongitudeChange");
  r.OnAltitudeChange = value("OnAltitudeChange");
  r.OnSpeedChange = value("OnSpeedChange");
  r.OnHeadingChange = value("OnHeadingChange");
  r.OnPosition2DChange = [out, event](TTarnCustomGPSReceiver&, long double Latitude,
                                      long double Longitude) {
    json j = event("OnPosition2DChange");
    j["Latitude"] = number(Latitude);
    j["Longitude"] = number(-Longitude);  // the receiver counts west positive
    (*out)(j);
  };
  r.OnPosition3DChange = [out, event](TTarnCustomGPSReceiver&, long double Latitude,
                                      long double Longitude, long double Altitude) {
    json j = event("OnPosition3DChange");
    j["Latitude"] = number(Latitude);
    j["Longitude"] = number(-Longitude);
    j["Altitude"] = number(Altitude);
    (*out)(j);
  };
  r.OnSatelliteReceive = [out, event](TTarnCustomGPSReceiver&, const receiver::TSatellite& s) {
    json j = event("OnSatelliteReceive");
    j["Satellite"] = toJson(s);
    (*out)(j);
  };
  r.OnSatellitesReceive = [out, event](TTarnCustomGPSReceiver&) {
    (*out)(event("OnSatellitesReceive"));
  };
  r.OnArrival = [out, event](TTarnCustomGPSReceiver&, const std::string& Waypoint,
                             long double CircleRadius) {
    json j = event("OnArrival");
    j["Waypoint"] = Waypoint;
    j["CircleRadius"] = number(CircleRadius);
    (*out)(j);
  };
}

std::string jsonLine(const json& value, int indent) {
  return value.dump(indent, ' ', false, json::error_handler_t::replace);
}

}  // namespace waymock::cli
