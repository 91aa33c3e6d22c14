#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorlen {

// The demo archive: records of a 4-byte little-endian signed length and that
// many bytes, up to the end of the file. The first record is the demo project,
// every further one a PNG scan; the names come from the position alone.
inline constexpr const char* DemoProjectFileName = "Demo.spf";
// Larger archives are refused before a byte is unpacked: a demo is a few
// megabytes, and a broken or hostile server must not fill the disk.
inline constexpr int64_t MaxDemoArchiveBytes = 256LL * 1024 * 1024;
// The most copies of the base scan an archive may ask for, for the same reason.
inline constexpr int MaxDemoCopies = 1000;
// What an unpacking may write in all, the copies of the base scan included:
// checked before the first file is written, since a small archive of empty
// records or a large base scan copied a thousand times would otherwise fill
// the disk or its inodes.
inline constexpr int64_t MaxDemoOutputBytes = 2LL * 1024 * 1024 * 1024;
inline constexpr int MaxDemoFiles = 10000;

// "Skan" + number + ".png".
std::string DemoScanName(const std::string& number);

struct TDemoUnpacked {
    int Scans = 0;  // image records written after the project file
    // Read from the project record: the scan to copy and how often.
    std::string BaseFile;
    int RepeatCount = 0;
};

// Writes the archive's records into folder (created with every missing level):
// Demo.spf, Skan1.png, Skan2.png, … replacing files of the same names; a
// symbolic link of such a name is replaced, never written through. Each
// file goes to a temporary name first, so a failure never leaves half of one,
// and a failure removes every file this unpacking wrote.
// Throws std::runtime_error when the archive is larger than the limit, a
// length is negative or runs past the end, the records and copies would pass
// MaxDemoFiles or MaxDemoOutputBytes, or a file cannot be written.
TDemoUnpacked UnpackDemoArchive(const std::string& archivePath, const std::string& folder);

// Copies Skan<baseFile>.png to Skan<baseFile>01.png … for i = 1..repeatCount.
// A count of 0 or less, a base name holding a path separator, or a missing base
// scan copy nothing. Returns the number of copies; throws std::runtime_error
// (after removing the copies made) when a copy cannot be written or the count
// exceeds MaxDemoCopies or the copies MaxDemoOutputBytes. Links are replaced.
int CopyDemoBaseScan(const std::string& folder, const std::string& baseFile, int repeatCount);

// Points the demo project's SkanFolder at folder, replacing the first such line
// or appending one, and keeps every other line. Throws std::runtime_error when
// Demo.spf cannot be read or written.
void SetDemoScanFolder(const std::string& folder);

// The whole unpacking: records, copies, SkanFolder. Throws as the steps do.
TDemoUnpacked InstallDemoArchive(const std::string& archivePath, const std::string& folder);

// What packing takes from a folder: Demo.spf, then every *.png in natural name
// order (Skan2 before Skan10), so that the same folder always gives the same
// archive and unpacking gives each scan back its name. Full paths.
std::vector<std::string> DemoArchiveMembers(const std::string& folder);

// Packs DemoArchiveMembers(folder) into archivePath, replacing it atomically.
// Throws std::runtime_error when Demo.spf is missing, a file cannot be read or
// does not fit a record, or the archive would pass MaxDemoArchiveBytes.
void PackDemoArchive(const std::string& folder, const std::string& archivePath);

}  // namespace quorlen
