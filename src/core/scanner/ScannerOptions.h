#pragma once

#include <sane/sane.h>

#include <optional>
#include <string>
#include <vector>

namespace quorlen {

// A backend option's value as sane_control_option takes it, made from the
// text an operator types after --option NAME=, the way scanimage reads it:
// yes/no (also true/false, on/off, 1/0; no text is yes) for a switch; a
// number with or without its unit ("200", "200dpi", "12.5mm") for a number,
// several separated by commas for an array (one number fills the array); a
// string, matched against the backend's list without regard to letter case
// (a unique beginning is enough); nothing for a button; "auto" for an option
// the backend can set itself.
struct TOptionValue {
    SANE_Action Action = SANE_ACTION_SET_VALUE;
    // Sized as the option: SANE_Word elements, or the string's buffer.
    std::vector<SANE_Word> Words;
    std::vector<char> Text;
    void* Data();
};

// Throws TScannerError (SANE_STATUS_INVAL) with a Polish message naming the
// option, the value and what it takes.
TOptionValue EncodeOptionValue(const SANE_Option_Descriptor& option, const std::string& text);

// The entries of a string-list option.
std::vector<std::string> OfferedValues(const SANE_Option_Descriptor& option);

// The value of the source option that serves the request: "ADF" (the plain
// document feeder, before its duplex or back variants), "Flatbed" (the glass),
// or a value the device offers, in any letter case. Nothing when the device
// has no such source.
std::optional<std::string> PickSource(const std::vector<std::string>& offered, const std::string& wanted);
// Whether a source value feeds sheets (so that a batch goes on until the
// feeder is empty) rather than scanning the glass once.
bool IsFeederSource(const std::string& value);

// The value of the mode option for "Gray", "Color" or "Lineart" (the standard
// names and the variants backends use: "Grayscale", "24bit Color",
// "Binary" …), or a value the device offers. Nothing when none serves.
std::optional<std::string> PickMode(const std::vector<std::string>& offered, const std::string& wanted);

// The allowed value of a number option nearest to wanted (in the option's
// own unit): clamped and stepped within a range, the closest of a list.
// Returned in the option's representation (SANE_Fixed for a fixed option).
SANE_Word NearestAllowed(const SANE_Option_Descriptor& option, double wanted);
// A number option's word as a plain number.
double WordValue(const SANE_Option_Descriptor& option, SANE_Word word);

}  // namespace quorlen
