// Feeds arbitrary bytes to the demo archive's unpacking as a downloaded
// archive: the records, their lengths and the project's BaseFile and
// RepeatCount come from a web server and must fail cleanly, never read past
// the end, allocate without bound or write outside the demo folder. Links
// planted in the folder under the names the archive will write (the project,
// scans, copies of the base scan) must be replaced, never written through.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/demo/DemoArchive.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Memory-backed where it exists: every unpacked file is flushed to disk.
    static const fs::path base = fs::path(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") /
                                 ("quorlen-fuzz-demo-" + std::to_string(getpid()));
    const fs::path archive = base / "quorlen.demo";
    const fs::path folder = base / "Dokumenty" / "QuorlenDemo";
    const fs::path victim = base / "victim";
    fs::create_directories(folder);
    {
        FILE* v = std::fopen(victim.c_str(), "wb");
        if (!v) return 0;
        std::fputs("victim", v);
        std::fclose(v);
    }
    for (const char* name : {"Demo.spf", "Skan1.png", "Skan2.png", "Skan101.png", "Skan102.png", "Skan110.png"}) {
        std::error_code ec;
        fs::create_symlink(victim, folder / name, ec);
    }
    FILE* f = std::fopen(archive.c_str(), "wb");
    if (!f) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;
    try {
        quorlen::InstallDemoArchive(archive.string(), folder.string());
    } catch (const std::runtime_error&) {
        // A refused archive is a correct outcome.
    }
    // Nothing may land beside the demo folder but the archive itself, and
    // the file the links pointed at is untouched.
    for (const auto& entry : fs::directory_iterator(base))
        if (entry.path() != archive && entry.path() != victim && entry.path() != base / "Dokumenty") __builtin_trap();
    if (fs::file_size(victim) != 6) __builtin_trap();
    for (const auto& entry : fs::directory_iterator(base / "Dokumenty"))
        if (entry.path() != folder) __builtin_trap();
    fs::remove_all(base);
    return 0;
}
