// Options are looked up by name at every use: a backend may rebuild its
// option list after any change (SANE_INFO_RELOAD_OPTIONS), so no index or
// descriptor is kept across calls.
#include "core/scanner/ScannerDevice.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/scanner/ScannerError.h"
#include "core/scanner/ScannerOptions.h"

namespace quorlen {

namespace {

std::string Quoted(const std::string& s) { return "„" + s + "”"; }

bool Usable(const SANE_Option_Descriptor* d) {
    return d && SANE_OPTION_IS_ACTIVE(d->cap) && SANE_OPTION_IS_SETTABLE(d->cap);
}

std::string Joined(const std::vector<std::string>& values) {
    std::string all;
    for (const std::string& v : values) all += (all.empty() ? "" : ", ") + v;
    return all;
}

// Locale-free, as the option parser reads it back.
std::string NumberText(double n) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, n).ptr;
    return std::string(text, end);
}

bool AllowsNumber(const SANE_Option_Descriptor& d, double n) { return WordValue(d, NearestAllowed(d, n)) == n; }

}  // namespace

TScannerDevice::TScannerDevice(TSaneSession&, const std::string& name) : name_(name) {
    const SANE_Status status = name.empty() ? SANE_STATUS_INVAL : sane_open(name.c_str(), &handle_);
    if (status == SANE_STATUS_GOOD) return;
    handle_ = nullptr;
    // The dll backend answers a name that no backend claims with INVAL.
    if (status == SANE_STATUS_INVAL) throw TScannerError(status, "Nie znaleziono skanera " + Quoted(name) + ".");
    throw TScannerError(status, "Nie udało się otworzyć skanera " + Quoted(name) + ". " + ScannerStatusMessage(status));
}

TScannerDevice::~TScannerDevice() {
    if (!handle_) return;
    sane_cancel(handle_);
    sane_close(handle_);
}

const SANE_Option_Descriptor* TScannerDevice::Option(const std::string& option, SANE_Int* index) const {
    for (SANE_Int i = 1;; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle_, i);
        if (!d) return nullptr;
        if (d->name && option == d->name && d->type != SANE_TYPE_GROUP) {
            if (index) *index = i;
            return d;
        }
    }
}

void TScannerDevice::SetOption(const std::string& option, const std::string& value) {
    SANE_Int index = 0;
    const SANE_Option_Descriptor* d = Option(option, &index);
    if (!d) throw TScannerError(SANE_STATUS_INVAL, "Skaner " + Quoted(name_) + " nie ma opcji " + Quoted(option) + ".");
    if (!SANE_OPTION_IS_ACTIVE(d->cap))
        throw TScannerError(SANE_STATUS_INVAL,
                            "Opcja " + Quoted(option) + " jest teraz nieaktywna: zależy od innych ustawień skanera.");
    if (!SANE_OPTION_IS_SETTABLE(d->cap))
        throw TScannerError(SANE_STATUS_INVAL, "Opcji " + Quoted(option) + " nie można zmieniać.");
    TOptionValue encoded = EncodeOptionValue(*d, value);
    SANE_Int info = 0;
    const SANE_Status status = sane_control_option(handle_, index, encoded.Action, encoded.Data(), &info);
    if (status == SANE_STATUS_INVAL)
        throw TScannerError(status, "Skaner odrzucił wartość " + Quoted(value) + " opcji " + Quoted(option) + ".");
    if (status != SANE_STATUS_GOOD)
        throw TScannerError(status,
                            "Nie udało się ustawić opcji " + Quoted(option) + ". " + ScannerStatusMessage(status));
}

std::optional<double> TScannerDevice::NumberValue(const std::string& option) const {
    SANE_Int index = 0;
    const SANE_Option_Descriptor* d = Option(option, &index);
    if (!d || !SANE_OPTION_IS_ACTIVE(d->cap) || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) ||
        d->size < static_cast<SANE_Int>(sizeof(SANE_Word)))
        return std::nullopt;
    std::vector<SANE_Word> words(static_cast<size_t>(d->size) / sizeof(SANE_Word));
    if (sane_control_option(handle_, index, SANE_ACTION_GET_VALUE, words.data(), nullptr) != SANE_STATUS_GOOD)
        return std::nullopt;
    return WordValue(*d, words.front());
}

std::optional<std::string> TScannerDevice::TextValue(const std::string& option) const {
    SANE_Int index = 0;
    const SANE_Option_Descriptor* d = Option(option, &index);
    if (!d || !SANE_OPTION_IS_ACTIVE(d->cap) || d->type != SANE_TYPE_STRING || d->size <= 0) return std::nullopt;
    std::vector<char> text(static_cast<size_t>(d->size) + 1, '\0');
    if (sane_control_option(handle_, index, SANE_ACTION_GET_VALUE, text.data(), nullptr) != SANE_STATUS_GOOD)
        return std::nullopt;
    return std::string(text.data());
}

TAppliedScan TScannerDevice::Apply(const TScanSettings& settings) {
    TAppliedScan applied;
    applied.Feeder = ApplySource(settings.Source);
    ApplyMode(settings.Mode);
    applied.Resolution = ApplyResolution(settings.Resolution);
    for (const auto& [option, value] : settings.Options) SetOption(option, value);
    // An option may have moved the source, the mode or the resolution.
    if (const std::optional<std::string> source = TextValue("source")) applied.Feeder = IsFeederSource(*source);
    // Colour stays only when asked for, by the mode or by a backend option.
    std::string mode = settings.Mode;
    for (const auto& [option, value] : settings.Options)
        if (option == "mode") mode = value;
    applied.Colour = PickMode({mode}, "Color").has_value();
    if (const std::optional<double> dpi = NumberValue("resolution"))
        applied.Resolution = static_cast<int>(std::lround(*dpi));
    return applied;
}

bool TScannerDevice::ApplySource(const std::string& wanted) {
    const SANE_Option_Descriptor* d = Option("source");
    if (!Usable(d) || d->type != SANE_TYPE_STRING) {
        if (wanted.empty() || PickSource({"Flatbed"}, wanted)) return false;
        throw TScannerError(SANE_STATUS_INVAL, "Skaner " + Quoted(name_) +
                                                   " nie ma podajnika dokumentów. Wybierz szybę skanera (Flatbed).");
    }
    const std::vector<std::string> offered = OfferedValues(*d);
    const std::optional<std::string> picked = PickSource(offered, wanted.empty() ? "ADF" : wanted);
    if (!picked) {
        // Without a feeder the device scans from wherever it is set to.
        if (wanted.empty()) return TextValue("source") && IsFeederSource(*TextValue("source"));
        throw TScannerError(SANE_STATUS_INVAL, "Skaner " + Quoted(name_) + " nie oferuje źródła " + Quoted(wanted) +
                                                   ". Dostępne: " + Joined(offered) + ".");
    }
    SetOption("source", *picked);
    return IsFeederSource(*picked);
}

void TScannerDevice::ApplyMode(const std::string& wanted) {
    const SANE_Option_Descriptor* mode = Option("mode");
    const std::vector<std::string> offered =
        Usable(mode) && mode->type == SANE_TYPE_STRING ? OfferedValues(*mode) : std::vector<std::string>();
    const bool lineart = PickMode({"Lineart"}, wanted).has_value();
    if (const std::optional<std::string> picked = PickMode(offered, wanted)) {
        SetOption("mode", *picked);
        return;
    }
    // A device without a line-art mode often gives one bit per pixel of grey.
    const SANE_Option_Descriptor* depth = Option("depth");
    if (lineart && Usable(depth) && depth->type == SANE_TYPE_INT && AllowsNumber(*depth, 1)) {
        if (const std::optional<std::string> gray = PickMode(offered, "Gray")) SetOption("mode", *gray);
        SetOption("depth", "1");
        return;
    }
    // A colour-only device scans grey pages in colour; they are saved grey.
    if (PickMode({"Gray"}, wanted))
        if (const std::optional<std::string> colour = PickMode(offered, "Color")) {
            SetOption("mode", *colour);
            return;
        }
    // A device without a mode option gives what it gives; the page is saved
    // grey or in colour as asked.
    if (offered.empty() && !lineart) return;
    throw TScannerError(SANE_STATUS_INVAL, "Skaner " + Quoted(name_) + " nie oferuje trybu " + Quoted(wanted) +
                                               (offered.empty() ? "." : ". Dostępne: " + Joined(offered) + "."));
}

int TScannerDevice::ApplyResolution(int dpi) {
    int applied = 0;
    for (const char* name : {"resolution", "x-resolution", "y-resolution"}) {
        const SANE_Option_Descriptor* d = Option(name);
        if (!Usable(d) || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED)) continue;
        const SANE_Word nearest = NearestAllowed(*d, dpi);
        // Sent as a number: the backend has the last word (it may round).
        SetOption(name, NumberText(WordValue(*d, nearest)));
        if (const std::optional<double> now = NumberValue(name)) applied = static_cast<int>(std::lround(*now));
        // One resolution serves both directions.
        if (std::strcmp(name, "resolution") == 0) break;
    }
    return applied;
}

}  // namespace quorlen
