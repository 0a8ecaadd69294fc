// The reference for the classic VTG's km/h: each speed in knots on standard
// input, read as the double its decimal text names, divided by 0.5397 in
// extended precision and printed by the C library to 15 significant digits.
// It shares no code with the simulator.
#include <cstdio>
#include <cstdlib>

int main() {
  char text[64];
  while (std::scanf("%63s", text) == 1) {
    const double knots = std::strtod(text, nullptr);
    std::printf("%.15Lg\n", knots / 0.5397L);
  }
  return 0;
}
