#pragma once

// One GPS almanac, in both file forms, and where IS-GPS-200's almanac
// equations (Table 20-IV) put its satellite, worked by hand with a separate
// program at two times:
//   A = 5153.635742^2 m, n = sqrt(mu / A^3) = 1.4585716e-4 rad/s; week 245 in
//   10 bits is week 2293 (2023-12-17), t_oa = 503808 s into it.
//   2023-12-22T12:00:00Z (GPS = UTC + 18 s): t_k = -28590 s, M = 0.6766767,
//   E = 0.6841019, nu = 0.6915614, r = 26318118.871 m, Omega = 4.6834312.
//   2023-12-24T06:00:00Z, a week later than t_oa's: t_k = 122610 s,
//   M = 3.8807237, E = 3.8728773, nu = -2.4181206, r = 26792233.029 m,
//   Omega = 6.2229157.

#include <array>
#include <string_view>

#include "support/datetime.h"

namespace waymock::sky::test {

inline constexpr std::string_view kWorkedYuma =
    "******** Week 245 almanac for PRN-07 ********\n"
    "ID:                         07\n"
    "Health:                     000\n"
    "Eccentricity:               0.1174926758E-001\n"
    "Time of Applicability(s):  503808.0000\n"
    "Orbital Inclination(rad):   0.9879536629\n"
    "Rate of Right Ascen(r/s):  -0.7989618701E-008\n"
    "SQRT(A)  (m 1/2):           5153.635742\n"
    "Right Ascen at Week(rad):   0.1637534715E+001\n"
    "Argument of Perigee(rad):   0.875498891\n"
    "Mean Anom(rad):            -0.1436452365E+001\n"
    "Af0(s):                     0.2861022949E-004\n"
    "Af1(s/s):                   0.3637978807E-011\n"
    "week:                        245\n";

// The same satellite as a SEM file gives it: angles in semicircles, the
// inclination as its offset from 0.3.
inline constexpr std::string_view kWorkedSem =
    "1 WORKED.AL3\n"
    " 245 503808\n"
    "\n"
    "7\n"
    "63\n"
    "0\n"
    " 1.174926758000E-02  1.447541799256E-02 -2.543174619367E-09\n"
    " 5.153635742000E+03  5.212434887537E-01  2.786799523482E-01\n"
    "-4.572369888116E-01  2.861022949000E-05  3.637978807000E-12\n"
    "0\n"
    "11\n";

struct WorkedPosition {
  DateTimeParts utc;
  double x, y, z;  // ECEF, m
};

inline constexpr std::array<WorkedPosition, 2> kWorkedPositions = {{
    {{2023, 12, 22, 12, 0, 0, 0}, 14476458.577, -517689.843, 21972881.586},
    {{2023, 12, 24, 6, 0, 0, 0}, -134479.736, -14759276.890, -22359995.786},
}};

}  // namespace waymock::sky::test
