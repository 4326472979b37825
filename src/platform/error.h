// Failures travel as exceptions carrying the system's own text.
#pragma once

#include <stdexcept>
#include <string>

#define KIV_PUBLIC __attribute__((visibility("default")))

namespace kiv {

class KIV_PUBLIC EKivError : public std::runtime_error {
public:
    explicit EKivError(const std::string& text) : std::runtime_error(text) {}
};

[[noreturn]] void RaiseAssertion(const char* unit, int line);

} // namespace kiv

// A broken precondition: the text names the unit and the source line.
#define KIV_ASSERT(cond, unit)                                                                     \
    do {                                                                                           \
        if (!(cond)) ::kiv::RaiseAssertion(unit, __LINE__);                                        \
    } while (0)
