#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace quorlen {

// A file that could not be read, with the reason in Polish as the user should
// see it ("nie można odczytać pliku (brak uprawnień)", "to nie jest zwykły
// plik (potok, gniazdo lub urządzenie)") and the whole message in what().
class TFileReadError : public std::runtime_error {
public:
    TFileReadError(const std::string& path, const std::string& reason)
        : std::runtime_error("Nie można odczytać pliku " + path + ": " + reason), Reason(reason) {}
    std::string Reason;
};

// Reads a whole regular file. A FIFO, socket or device is refused before it is
// opened (and again after, should the name change meanwhile), since opening a
// FIFO blocks until a writer comes; the open itself never blocks. A file over
// maxBytes is refused from its size alone. Throws TFileReadError.
std::string ReadRegularFile(const std::string& path,
                            uint64_t maxBytes = std::numeric_limits<uint64_t>::max());

// The checks of ReadRegularFile without the reading: an open descriptor of
// the regular file (never blocking), for readers that seek in a large file
// instead of holding it (a results document of a million entries, a copier's
// PDF of hundreds of pages); *size is set to its size when asked. The caller
// closes the descriptor. Throws TFileReadError.
int OpenRegularFile(const std::string& path, uint64_t maxBytes = std::numeric_limits<uint64_t>::max(),
                    uint64_t* size = nullptr);

// The user's words for a failed open or read (errno).
std::string FileReadReason(int error);

}  // namespace quorlen
