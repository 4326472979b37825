#include "platform/error.h"

namespace kiv {

void RaiseAssertion(const char* unit, int line) {
    throw EKivError("Assertion failure (" + std::string(unit) + ", line " + std::to_string(line) +
                    ")");
}

} // namespace kiv
