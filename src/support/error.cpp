#include "support/error.h"

namespace waymock {

void raise(const std::string& message) { throw Error(message); }

void raiseIo(const std::string& message) { throw IoError(message); }

}  // namespace waymock
