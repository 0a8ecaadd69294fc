#pragma once

#include <memory>
#include <string>

namespace waymock {

// Announces a TCP server over DNS-SD (multicast DNS) as a service of type
// "_nmea-0183._tcp", the way location services (GeoClue's network NMEA
// source) and chart software find a receiver on the network, through the
// system's Avahi daemon. The service is named after the host: "<host>
// Waymock", or Avahi's alternative ("<host> Waymock #2") when that is taken.
// Its TXT record says "accuracy=exact", which GeoClue reads.
//
// A server listening on a loopback address is announced on the loopback
// interface only, since no other machine could connect to it; one listening on
// every interface (0.0.0.0) everywhere. The announcement is withdrawn when the
// announcer ends.
//
// Avahi answers on a thread of its own: the constructor never waits for the
// daemon, and one that is not running (yet) is waited for in the background.
class ServiceAnnouncer {
 public:
  static constexpr const char* kServiceType = "_nmea-0183._tcp";

  // False when the program was built without libavahi-client.
  static bool builtIn();

  enum class State { waiting, announced, failed };
  struct Status {
    State state = State::waiting;
    std::string name;    // announced: the service's name
    std::string reason;  // waiting or failed: why, in Avahi's words
  };

  // Throws Error when not built in, IoError when Avahi's client cannot be
  // made at all.
  ServiceAnnouncer(const std::string& host, int port);
  ~ServiceAnnouncer();
  ServiceAnnouncer(const ServiceAnnouncer&) = delete;
  ServiceAnnouncer& operator=(const ServiceAnnouncer&) = delete;

  Status status() const;

 private:
  struct Avahi;
  std::unique_ptr<Avahi> avahi_;
};

}  // namespace waymock
