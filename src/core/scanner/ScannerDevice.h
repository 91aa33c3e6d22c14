#pragma once

#include <sane/sane.h>

#include <optional>
#include <string>

#include "core/scanner/SaneSession.h"
#include "core/scanner/ScanSettings.h"

namespace quorlen {

// One open scanner of a session. Every failure throws TScannerError with the
// operator's message.
class TScannerDevice {
public:
    // A name no backend knows fails with "Nie znaleziono skanera „NAME”.".
    TScannerDevice(TSaneSession& session, const std::string& name);
    ~TScannerDevice();
    TScannerDevice(const TScannerDevice&) = delete;
    TScannerDevice& operator=(const TScannerDevice&) = delete;

    const std::string& Name() const { return name_; }
    SANE_Handle Handle() const { return handle_; }

    // Sets a backend option from text (see EncodeOptionValue).
    void SetOption(const std::string& option, const std::string& value);
    // The option's descriptor, or nullptr when the device has none by that name.
    const SANE_Option_Descriptor* Option(const std::string& option, SANE_Int* index = nullptr) const;
    // The current value of a one-word number option, or of a string option.
    std::optional<double> NumberValue(const std::string& option) const;
    std::optional<std::string> TextValue(const std::string& option) const;

    // Source, mode, resolution, then the backend options in their order.
    TAppliedScan Apply(const TScanSettings& settings);

private:
    bool ApplySource(const std::string& wanted);
    void ApplyMode(const std::string& wanted);
    int ApplyResolution(int dpi);

    std::string name_;
    SANE_Handle handle_ = nullptr;
};

}  // namespace quorlen
