// config.json over arbitrary files: reading never fails, and after the three
// values are written into whatever was there, reading gives them back and
// the file is plain ASCII.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzFile.h"
#include "core/settings/ShellConfig.h"

using namespace quorlen;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::InputFile(data, size, "config.json");
    if (path.empty()) return 0;
    TShellConfig config = ReadShellConfig(path);
    config.BlackLevel = static_cast<int>(size % 101);
    config.DownloadDemoFiles = !config.DownloadDemoFiles;
    config.UseDemoFiles = size % 2 == 0;
    if (WriteShellConfig(path, config)) {
        const TShellConfig back = ReadShellConfig(path);
        if (back.BlackLevel != config.BlackLevel || back.DownloadDemoFiles != config.DownloadDemoFiles ||
            back.UseDemoFiles != config.UseDemoFiles)
            std::abort();
        FILE* f = std::fopen(path.c_str(), "rb");
        for (int c; f && (c = std::fgetc(f)) != EOF;)
            if (c >= 0x80) std::abort();
        if (f) std::fclose(f);
    }
    std::remove(path.c_str());
    return 0;
}
