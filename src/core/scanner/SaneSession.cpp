#include "core/scanner/SaneSession.h"

#include <sane/sane.h>

#include "core/scanner/BackendThreads.h"
#include "core/scanner/ScannerError.h"

namespace quorlen {

namespace {
std::mutex& SaneLock() {
    static std::mutex lock;
    return lock;
}

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }
}  // namespace

std::string TScannerInfo::Label() const {
    std::string label = Vendor;
    if (!Model.empty()) label += (label.empty() ? "" : " ") + Model;
    return label.empty() ? Name : label;
}

TSaneSession::TSaneSession() : lock_(SaneLock()) {
    KeepBackendCancellationDeferred();
    SANE_Int version = 0;
    // No authorisation callback: a backend that wants a password fails to
    // open with SANE_STATUS_ACCESS_DENIED, which says so.
    const SANE_Status status = sane_init(&version, nullptr);
    if (status != SANE_STATUS_GOOD)
        throw TScannerError(status, "Nie udało się uruchomić obsługi skanerów (SANE): " + ScannerStatusMessage(status));
}

TSaneSession::~TSaneSession() { sane_exit(); }

std::vector<TScannerInfo> TSaneSession::Devices() {
    const SANE_Device** list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD) throw TScannerError(status, ScannerStatusMessage(status));
    std::vector<TScannerInfo> devices;
    for (const SANE_Device** d = list; d && *d; ++d)
        devices.push_back({Text((*d)->name), Text((*d)->vendor), Text((*d)->model), Text((*d)->type)});
    return devices;
}

std::vector<TScannerInfo> ListScanners() {
    TSaneSession session;
    return session.Devices();
}

}  // namespace quorlen
