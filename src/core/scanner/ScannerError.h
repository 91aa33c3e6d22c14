#pragma once

#include <stdexcept>
#include <string>

namespace quorlen {

// A scanner's failure in the operator's words. Status is the SANE status
// that caused it (SANE_STATUS_GOOD for faults of our own, such as a setting
// the device does not offer).
class TScannerError : public std::runtime_error {
public:
    TScannerError(int status, const std::string& message) : std::runtime_error(message), Status(status) {}
    int Status;
};

// What a SANE status means to the operator, in Polish: what happened and what
// to do about it. Empty for SANE_STATUS_GOOD.
std::string ScannerStatusMessage(int status);

// The Polish word for "page" that goes with count: "1 stronę", "3 strony",
// "12 stron" (the accusative of "Zeskanowano …").
std::string PagesText(int count);

}  // namespace quorlen
