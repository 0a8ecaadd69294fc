#include "receiver/records.h"

namespace waymock::receiver {

SatelliteList& SatelliteList::operator=(const SatelliteList& other) {
  if (this == &other) return *this;
  clear();
  for (const TSatellite& s : other) add() = s;
  return *this;
}

void SatelliteList::grow() {
  slots_.push_back(std::make_unique<TSatellite>());
}

void SatelliteList::release() {
  slots_.resize(kKeptOnClear);
  slots_.shrink_to_fit();
}

bool operator==(const SatelliteList& a, const SatelliteList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!(a[i] == b[i])) return false;
  return true;
}

long double signedDegrees(int degree, int minute, long double second, TCardinalPoint direction) {
  const long double value = degree + minute / 60.0L + second / 3600.0L;
  return direction == TCardinalPoint::cpSouth || direction == TCardinalPoint::cpEast ? -value
                                                                                     : value;
}

}  // namespace waymock::receiver
