#pragma once

#include <cstdint>
#include <initializer_list>

namespace waymock {

// A set over the first Count members of an enumeration, stored as a bit mask
// with member k at bit k.
template <typename E, unsigned Count>
class EnumSet {
  static_assert(Count <= 32);

 public:
  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> members) {
    for (E m : members) insert(m);
  }

  static constexpr EnumSet all() { return fromBits(kAllBits); }
  static constexpr EnumSet none() { return {}; }
  static constexpr EnumSet fromBits(std::uint32_t bits) {
    EnumSet s;
    s.bits_ = bits & kAllBits;
    return s;
  }

  constexpr bool contains(E m) const { return (bits_ & bit(m)) != 0; }
  constexpr void insert(E m) { bits_ |= bit(m); }
  constexpr void erase(E m) { bits_ &= ~bit(m); }
  constexpr void clear() { bits_ = 0; }
  constexpr bool empty() const { return bits_ == 0; }
  constexpr std::uint32_t bits() const { return bits_; }

  friend constexpr bool operator==(EnumSet, EnumSet) = default;

 private:
  static constexpr std::uint32_t kAllBits =
      Count == 32 ? 0xFFFFFFFFu : ((std::uint32_t{1} << Count) - 1);
  static constexpr std::uint32_t bit(E m) { return std::uint32_t{1} << static_cast<unsigned>(m); }

  std::uint32_t bits_ = 0;
};

}  // namespace waymock
