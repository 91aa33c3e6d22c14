#include <chrono>
#include <filesystem>
#include <iostream>

#include "cli/Command.h"
#include "core/demo/DemoArchive.h"

namespace quorlen::cli {
namespace {

int RunPackDemo(const Args& args) {
    args.RejectUnknown({"out"});
    if (args.Positional().size() != 1) throw UsageError("give exactly one FOLDER");
    const std::string folder = args.Positional()[0];
    if (!std::filesystem::is_directory(folder)) throw UsageError("not a folder: " + folder);
    const std::string out = args.Get("out").value_or((std::filesystem::path(folder) / "quorlen.demo").string());
    const auto members = DemoArchiveMembers(folder);
    PackDemoArchive(folder, out);
    std::cout << out << ": " << members.size() << " files, " << std::filesystem::file_size(out) << " bytes\n";
    return ExitOk;
}

int RunUnpackDemo(const Args& args) {
    args.RejectUnknown({"folder"});
    if (args.Positional().size() != 1) throw UsageError("give exactly one ARCHIVE");
    const std::string archive = args.Positional()[0];
    const std::string folder = args.Require("folder");
    const auto start = std::chrono::steady_clock::now();
    const TDemoUnpacked got = InstallDemoArchive(archive, folder);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    const int copies =
        got.RepeatCount > 0 && std::filesystem::exists(std::filesystem::path(folder) / DemoScanName(got.BaseFile))
            ? got.RepeatCount
            : 0;
    std::cout << folder << ": Demo.spf, " << got.Scans << " scans, " << copies << " copies of Skan" << got.BaseFile
              << ".png in " << took.count() << " ms\n";
    return ExitOk;
}

const Registrar unpackRegistrar({
    "unpack-demo",
    "unpack a demo archive as the desktop program's first start does",
    "Usage: quorlen-cli unpack-demo ARCHIVE --folder DIR\n\n"
    "Writes the archive's records to DIR/Demo.spf, DIR/Skan1.png, ..., copies the\n"
    "scan Demo.spf names in BaseFile RepeatCount times, points the project's\n"
    "SkanFolder at DIR and prints how long that took. A record length that is\n"
    "negative or runs past the end fails without leaving half a file.\n",
    RunUnpackDemo,
    {},
});

const Registrar registrar({
    "pack-demo",
    "pack a demo project folder into a demo archive",
    "Usage: quorlen-cli pack-demo FOLDER [--out FILE]\n\n"
    "Packs FOLDER/Demo.spf and then every *.png of FOLDER into one demo archive,\n"
    "each file as a record of a 4-byte little-endian length and its bytes. The\n"
    "scans go in natural name order (Skan2 before Skan10), so the same folder\n"
    "always gives the same archive, and unpacking names record k Skan<k>.png.\n"
    "Demo.spf may carry BaseFile and RepeatCount: the scan Skan<BaseFile>.png is\n"
    "then copied RepeatCount times when the archive is unpacked.\n\n"
    "Options:\n"
    "  --out FILE   the archive (default FOLDER/quorlen.demo)\n",
    RunPackDemo,
    {},
});

}  // namespace
}  // namespace quorlen::cli
