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
