// The archive's size is checked before it is read and each record's length
// before its bytes are written; files are named from their position, so no
// name from the archive ever reaches the file system.
#include "core/demo/DemoArchive.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "core/common/AtomicFile.h"
#include "core/common/RegularFile.h"
#include "core/common/Text.h"
#include "core/common/TextFile.h"
#include "core/project/ProjectFile.h"

namespace quorlen {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

std::string ReadBytes(const std::string& path) { return ReadRegularFile(path); }

// The files one unpacking has written, removed again unless it ends well, so
// that a refused or failing archive leaves no part of itself behind.
class TWrittenFiles {
public:
    ~TWrittenFiles() {
        if (kept_) return;
        std::error_code ec;
        for (const std::string& path : paths_) fs::remove(path, ec);
    }
    void Write(const std::string& path, std::string_view bytes) {
        WriteFileAtomically(path, bytes, /*followLinks=*/false);
        paths_.push_back(path);
    }
    void Keep() { kept_ = true; }

private:
    std::vector<std::string> paths_;
    bool kept_ = false;
};

[[noreturn]] void FailOverOutput() {
    Fail("Archiwum demonstracyjne zapisałoby więcej niż " + std::to_string(MaxDemoFiles) + " plików lub " +
         std::to_string(MaxDemoOutputBytes >> 30) + " GB.");
}

int32_t ReadLength(const std::string& data, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[at + static_cast<size_t>(i)]);
    return static_cast<int32_t>(v);
}

void AppendLength(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Names compare as text, except that runs of digits compare as numbers.
bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j || (a.size() - i == b.size() - j && a < b);
}

bool IsPng(const fs::path& p) { return EqualsIgnoreCase(p.extension().string(), ".png"); }

}  // namespace

std::string DemoScanName(const std::string& number) { return "Skan" + number + ".png"; }

TDemoUnpacked UnpackDemoArchive(const std::string& archivePath, const std::string& folder) {
    std::error_code ec;
    const auto size = fs::file_size(archivePath, ec);
    if (ec) Fail("Nie można odczytać pliku " + archivePath + ": " + ec.message());
    if (size > static_cast<uintmax_t>(MaxDemoArchiveBytes))
        Fail("Archiwum demonstracyjne jest większe niż " + std::to_string(MaxDemoArchiveBytes >> 20) + " MB.");
    const std::string data = ReadBytes(archivePath);
    fs::create_directories(folder, ec);
    if (ec) Fail("Nie można utworzyć folderu " + folder + ": " + ec.message());

    // The records are measured, and what the project's copies will add,
    // before anything is written.
    struct TRecord {
        size_t At;
        size_t Length;
    };
    std::vector<TRecord> records;
    for (size_t at = 0; at < data.size();) {
        if (data.size() - at < 4) Fail("Archiwum demonstracyjne kończy się w połowie długości rekordu.");
        const int32_t length = ReadLength(data, at);
        at += 4;
        if (length < 0 || static_cast<size_t>(length) > data.size() - at)
            Fail("Rekord " + std::to_string(records.size()) + " archiwum demonstracyjnego ma złą długość " +
                 std::to_string(length) + ".");
        records.push_back({at, static_cast<size_t>(length)});
        at += static_cast<size_t>(length);
        if (records.size() > static_cast<size_t>(MaxDemoFiles)) FailOverOutput();
    }
    TDemoUnpacked result;
    if (!records.empty()) {
        const std::string text = DecodeTextBytes(std::string_view(data.data() + records[0].At, records[0].Length));
        result.BaseFile = ProjectFileValue(text, "BaseFile").value_or(std::string());
        if (!TryParseInt(ProjectFileValue(text, "RepeatCount").value_or(std::string()), result.RepeatCount))
            result.RepeatCount = 0;
    }
    uint64_t total = data.size();
    uint64_t files = records.size();
    int base = 0;
    if (result.RepeatCount > 0 && TryParseInt(result.BaseFile, base) && base > 0 &&
        static_cast<size_t>(base) < records.size() && std::to_string(base) == result.BaseFile) {
        files += static_cast<uint64_t>(std::min(result.RepeatCount, MaxDemoCopies + 1));
        total += static_cast<uint64_t>(std::min(result.RepeatCount, MaxDemoCopies + 1)) * records[base].Length;
    }
    if (files > static_cast<uint64_t>(MaxDemoFiles) || total > static_cast<uint64_t>(MaxDemoOutputBytes))
        FailOverOutput();

    TWrittenFiles written;
    for (size_t record = 0; record < records.size(); ++record) {
        const std::string_view content(data.data() + records[record].At, records[record].Length);
        const std::string name = record == 0 ? DemoProjectFileName : DemoScanName(std::to_string(record));
        written.Write((fs::path(folder) / name).string(), content);
        if (record > 0) ++result.Scans;
    }
    written.Keep();
    return result;
}

int CopyDemoBaseScan(const std::string& folder, const std::string& baseFile, int repeatCount) {
    if (repeatCount <= 0) return 0;
    // The base name comes from a downloaded file: it names a scan in the demo
    // folder and nothing outside it.
    if (baseFile.find('/') != std::string::npos || baseFile.find('\0') != std::string::npos) return 0;
    const fs::path base = fs::path(folder) / DemoScanName(baseFile);
    std::error_code ec;
    // The base itself must be a file of the folder, not a link planted there.
    if (!fs::is_regular_file(fs::symlink_status(base, ec))) return 0;
    if (repeatCount > MaxDemoCopies)
        Fail("Archiwum demonstracyjne żąda " + std::to_string(repeatCount) + " kopii skanu; najwięcej " +
             std::to_string(MaxDemoCopies) + ".");
    const std::string bytes = ReadBytes(base.string());
    if (static_cast<uint64_t>(repeatCount) * bytes.size() > static_cast<uint64_t>(MaxDemoOutputBytes))
        FailOverOutput();
    TWrittenFiles written;
    for (int i = 1; i <= repeatCount; ++i) {
        const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
        written.Write((fs::path(folder) / DemoScanName(baseFile + number)).string(), bytes);
    }
    written.Keep();
    return repeatCount;
}

void SetDemoScanFolder(const std::string& folder) {
    const std::string path = (fs::path(folder) / DemoProjectFileName).string();
    std::vector<std::string> lines = SplitLines(ReadTextFile(path));
    const std::string line = "SkanFolder=" + folder;
    auto named = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        const size_t eq = l.find('=');
        return eq != std::string::npos && EqualsIgnoreCase(l.substr(0, eq), "SkanFolder");
    });
    if (named != lines.end())
        *named = line;
    else
        lines.push_back(line);
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    WriteProjectText(path, text);
}

TDemoUnpacked InstallDemoArchive(const std::string& archivePath, const std::string& folder) {
    TDemoUnpacked result = UnpackDemoArchive(archivePath, folder);
    CopyDemoBaseScan(folder, result.BaseFile, result.RepeatCount);
    SetDemoScanFolder(folder);
    return result;
}

std::vector<std::string> DemoArchiveMembers(const std::string& folder) {
    const fs::path project = fs::path(folder) / DemoProjectFileName;
    std::error_code ec;
    if (!fs::is_regular_file(project, ec)) Fail("Brak pliku " + project.string() + ".");
    std::vector<std::string> scans;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file() && IsPng(entry.path())) scans.push_back(entry.path().filename().string());
    }
    std::sort(scans.begin(), scans.end(), NaturalLess);
    std::vector<std::string> members = {project.string()};
    for (const std::string& name : scans) members.push_back((fs::path(folder) / name).string());
    return members;
}

void PackDemoArchive(const std::string& folder, const std::string& archivePath) {
    std::string archive;
    for (const std::string& member : DemoArchiveMembers(folder)) {
        const std::string bytes = ReadBytes(member);
        if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            Fail("Plik " + member + " jest za duży na rekord archiwum.");
        if (archive.size() + 4 + bytes.size() > static_cast<size_t>(MaxDemoArchiveBytes))
            Fail("Archiwum przekroczyłoby " + std::to_string(MaxDemoArchiveBytes >> 20) + " MB.");
        AppendLength(archive, static_cast<uint32_t>(bytes.size()));
        archive += bytes;
    }
    const fs::path parent = fs::path(archivePath).parent_path();
    std::error_code ec;
    if (!parent.empty()) fs::create_directories(parent, ec);
    WriteFileAtomically(archivePath, archive);
}

}  // namespace quorlen
