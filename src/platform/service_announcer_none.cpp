// The announcer of a build without libavahi-client.
#include "platform/service_announcer.h"
#include "support/error.h"

namespace waymock {

struct ServiceAnnouncer::Avahi {};

bool ServiceAnnouncer::builtIn() {
  return false;
}

ServiceAnnouncer::ServiceAnnouncer(const std::string&, int) {
  raise("DNS-SD announcements are not built in: this build was made without libavahi-client.");
}

ServiceAnnouncer::~ServiceAnnouncer() = default;

ServiceAnnouncer::Status ServiceAnnouncer::status() const {
  return {State::failed, "", "not built in"};
}

}  // namespace waymock
