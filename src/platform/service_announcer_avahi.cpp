#include <arpa/inet.h>
#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#include <net/if.h>

#include <mutex>

#include "platform/service_announcer.h"
#include "platform/socket_address.h"
#include "support/error.h"

namespace waymock {

// Avahi's client and its entry group, driven by Avahi's threaded poll: the
// callbacks run on its thread, with its lock held, as does the destructor's
// withdrawal.
struct ServiceAnnouncer::Avahi {
  int port = 0;
  AvahiIfIndex interface = AVAHI_IF_UNSPEC;
  AvahiProtocol protocol = AVAHI_PROTO_UNSPEC;
  AvahiThreadedPoll* poll = nullptr;
  AvahiClient* client = nullptr;
  AvahiEntryGroup* group = nullptr;
  std::string name;  // the name asked for; Avahi's alternative after a collision

  mutable std::mutex mutex;
  Status status;

  void setStatus(State state, const std::string& reason) {
    std::lock_guard lock(mutex);
    status = {state, state == State::announced ? name : "", reason};
  }
  void failed(const char* what) {
    setStatus(State::failed, std::string(what) + ": " + avahi_strerror(avahi_client_errno(client)));
  }

  void publish() {
    if (name.empty()) name = std::string(avahi_client_get_host_name(client)) + " Waymock";
    if (group == nullptr) group = avahi_entry_group_new(client, groupChanged, this);
    if (group == nullptr) return failed("Cannot make the DNS-SD entry group");
    avahi_entry_group_reset(group);
    // The TXT record tells location services how good a fix to expect.
    const int error = avahi_entry_group_add_service(
        group, interface, protocol, AvahiPublishFlags(0), name.c_str(), kServiceType, nullptr,
        nullptr, static_cast<uint16_t>(port), "accuracy=exact", nullptr);
    if (error == AVAHI_ERR_COLLISION) return rename();
    if (error < 0 || avahi_entry_group_commit(group) < 0) return failed("Cannot announce");
  }

  void rename() {
    char* other = avahi_alternative_service_name(name.c_str());
    name = other;
    avahi_free(other);
    publish();
  }

  static void groupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state, void* data) {
    auto& self = *static_cast<Avahi*>(data);
    self.group = group;
    if (state == AVAHI_ENTRY_GROUP_ESTABLISHED) self.setStatus(State::announced, "");
    if (state == AVAHI_ENTRY_GROUP_COLLISION) self.rename();
    if (state == AVAHI_ENTRY_GROUP_FAILURE) self.failed("The DNS-SD announcement failed");
  }

  static void clientChanged(AvahiClient* client, AvahiClientState state, void* data) {
    auto& self = *static_cast<Avahi*>(data);
    self.client = client;
    switch (state) {
      case AVAHI_CLIENT_S_RUNNING:
        self.publish();
        break;
      case AVAHI_CLIENT_S_COLLISION:
      case AVAHI_CLIENT_S_REGISTERING:
        // The host's own name is being settled: announce again after it.
        if (self.group != nullptr) avahi_entry_group_reset(self.group);
        self.setStatus(State::waiting, "the Avahi daemon is registering the host's name");
        break;
      case AVAHI_CLIENT_CONNECTING:
        self.setStatus(State::waiting, "the Avahi daemon is not running");
        break;
      case AVAHI_CLIENT_FAILURE:
        self.failed("The Avahi daemon failed");
        break;
    }
  }
};

bool ServiceAnnouncer::builtIn() {
  return true;
}

ServiceAnnouncer::ServiceAnnouncer(const std::string& host, int port)
    : avahi_(std::make_unique<Avahi>()) {
  Avahi& a = *avahi_;
  a.port = port;
  if (const auto address = numericAddress(host)) {
    const bool v4 = address->family() == AF_INET;
    a.protocol = v4 ? AVAHI_PROTO_INET : AVAHI_PROTO_INET6;
    if (host == "::") a.protocol = AVAHI_PROTO_UNSPEC;
    const bool loopback = host.starts_with("127.") || host == "::1";
    if (loopback) a.interface = static_cast<AvahiIfIndex>(if_nametoindex("lo"));
  }
  a.poll = avahi_threaded_poll_new();
  if (a.poll == nullptr) raiseIo("Cannot start Avahi's client for the DNS-SD announcement.");
  int error = 0;
  // NO_FAIL: a daemon that is not running is waited for.
  a.client = avahi_client_new(avahi_threaded_poll_get(a.poll), AVAHI_CLIENT_NO_FAIL,
                              Avahi::clientChanged, &a, &error);
  if (a.client == nullptr || avahi_threaded_poll_start(a.poll) < 0) {
    if (a.client != nullptr) avahi_client_free(a.client);
    avahi_threaded_poll_free(a.poll);
    raiseIo(std::string("Cannot start Avahi's client for the DNS-SD announcement: ") +
            avahi_strerror(error) + ".");
  }
}

ServiceAnnouncer::~ServiceAnnouncer() {
  Avahi& a = *avahi_;
  // With the thread stopped nothing else touches the client. Freeing the
  // group withdraws the service (a call to the daemon, which then says
  // goodbye on the network).
  avahi_threaded_poll_stop(a.poll);
  if (a.group != nullptr) avahi_entry_group_free(a.group);
  avahi_client_free(a.client);
  avahi_threaded_poll_free(a.poll);
}

ServiceAnnouncer::Status ServiceAnnouncer::status() const {
  std::lock_guard lock(avahi_->mutex);
  return avahi_->status;
}

}  // namespace waymock
