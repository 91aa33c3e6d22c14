#include "core/exporter/ExporterTestSupport.h"

#include <fstream>

namespace quorlen::testing {

void InstallTestExporter(const std::filesystem::path& folder, Json behaviour, const std::string& log) {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(QUORLEN_TEST_EXPORTER, folder / "QuorlenExporter.so",
                               std::filesystem::copy_options::overwrite_existing);
    behaviour["log"] = log;
    WriteFileBytes((folder / "behaviour.json").string(), behaviour.dump());
}

std::vector<std::string> LogLines(const std::string& log) {
    std::vector<std::string> lines;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

Json SampleResults() {
    return Json::parse(R"({"Version":1,"Project":"Próba","QCnt":3,"ACnt":4,"MultiChoice":false,
        "Folder":"/skany","Date":1700000000000,"Date2":"14.11.2023 23:13:20",
        "Lista":[{"Student":"0042","FileName":"a.png","Wyniki":["A"," ","C"]},
                 {"Student":"7","FileName":"b.png","Wyniki":["B","D",""]}],
        "Pominiete":[{"FileName":"c.png","Status":1,"Message":"Nie odczytano kodu arkusza."}]})");
}

}  // namespace quorlen::testing
