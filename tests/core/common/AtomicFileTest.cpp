#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "core/common/AtomicFile.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::ReadFileBytes;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

constexpr uid_t kNobody = 65534;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

int FilesIn(const std::filesystem::path& folder) {
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) (void)e, ++files;
    return files;
}

// Runs write as a user without root's power over permissions: root checks
// no permission bits, so as root the write runs in a child that has become
// "nobody". True when the write succeeded.
bool WritesAsUnprivilegedUser(const std::function<void()>& write) {
    auto attempt = [&] {
        try {
            write();
            return true;
        } catch (const std::exception&) {
            return false;
        }
    };
    if (::geteuid() != 0) return attempt();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(3);
        ::_exit(attempt() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 3) << "could not drop root";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder the unprivileged writer may enter and read but not write into.
std::string ClosedFolder(const TempDir& dir) {
    ::chmod(dir.Path().c_str(), 0755);
    const std::string folder = dir.File("closed");
    std::filesystem::create_directory(folder);
    return folder;
}

}  // namespace

TEST(AtomicFile, ReplacingKeepsTheFilesMode) {
    TempDir dir;
    for (mode_t mode : {0600, 0640, 0644, 0664, 0755, 0444}) {
        const std::string path = dir.File("doc" + std::to_string(mode) + ".json");
        WriteFileBytes(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        WriteFileAtomically(path, "new");
        EXPECT_EQ(ReadFileBytes(path), "new");
        EXPECT_EQ(ModeOf(path), mode) << std::oct << mode;
    }
    // A new file is created as any file the user saves.
    const mode_t mask = ::umask(022);
    WriteFileAtomically(dir.File("fresh.json"), "x");
    ::umask(mask);
    EXPECT_EQ(ModeOf(dir.File("fresh.json")), 0644u);
}

TEST(AtomicFile, ReplacingKeepsTheOwnerWherePermitted) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
    TempDir dir;
    const std::string path = dir.File("shared.spf");
    WriteFileBytes(path, "old");
    ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    WriteFileAtomically(path, "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_gid, kNobody);
}

TEST(AtomicFile, SymbolicLinksAreWrittenThroughAndStay) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    struct Case {
        const char* Name;
        std::function<std::string()> MakeLink;  // returns the path to save to
        const char* Target;                     // the file that must hold the bytes
    };
    const Case cases[] = {
        {"absolute link",
         [&] {
             WriteFileBytes(dir.File("real/a.json"), "old");
             std::filesystem::create_symlink(dir.File("real/a.json"), dir.File("a.json"));
             return dir.File("a.json");
         },
         "real/a.json"},
        {"relative link",
         [&] {
             WriteFileBytes(dir.File("real/b.json"), "old");
             std::filesystem::create_symlink("real/b.json", dir.File("b.json"));
             return dir.File("b.json");
         },
         "real/b.json"},
        {"link to a link",
         [&] {
             WriteFileBytes(dir.File("real/c.json"), "old");
             std::filesystem::create_symlink("c.json", dir.File("real/c-link.json"));
             std::filesystem::create_symlink("real/c-link.json", dir.File("c.json"));
             return dir.File("c.json");
         },
         "real/c.json"},
        {"dangling link",
         [&] {
             std::filesystem::create_symlink("real/d.json", dir.File("d.json"));
             return dir.File("d.json");
         },
         "real/d.json"},
    };
    for (const Case& c : cases) {
        const std::string link = c.MakeLink();
        WriteFileAtomically(link, "new contents");
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << c.Name;
        EXPECT_EQ(ReadFileBytes(dir.File(c.Target)), "new contents") << c.Name;
    }
    EXPECT_EQ(FilesIn(dir.File("real")), 5);  // four files and one link, no temporary
}

// A folder closed to the writer: a file open to it is rewritten in place, a
// closed one stays as it was, and no new file appears.
TEST(AtomicFile, InAClosedFolderOnlyAWritableFileIsRewrittenInPlace) {
    struct Case {
        const char* Name;
        mode_t FileMode;
        bool Saved;
    };
    for (const Case& c : {Case{"writable file", 0666, true}, Case{"read-only file", 0444, false}}) {
        TempDir dir;
        const std::string folder = ClosedFolder(dir);
        const std::string path = folder + "/wyniki.json";
        WriteFileBytes(path, "old contents, longer than the new ones");
        ASSERT_EQ(::chmod(path.c_str(), c.FileMode), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
        EXPECT_EQ(WritesAsUnprivilegedUser([&] { WriteFileAtomically(path, "new"); }), c.Saved) << c.Name;
        EXPECT_EQ(ReadFileBytes(path), c.Saved ? "new" : "old contents, longer than the new ones") << c.Name;
        EXPECT_FALSE(WritesAsUnprivilegedUser([&] { WriteFileAtomically(folder + "/new.json", "new"); })) << c.Name;
        EXPECT_EQ(FilesIn(folder), 1) << c.Name;
        ::chmod(folder.c_str(), 0755);
    }
}

// A full disk under the in-place rewrite destroyed the old file (part
// overwritten, no longer JSON). On a small tmpfs, filled to the last block,
// a longer document must fail and leave the old one byte for byte.
TEST(AtomicFile, AFullDiskLeavesTheFileRewrittenInPlaceAsItWas) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting the small tmpfs needs root";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    const std::string mount = dir.File("small");
    std::filesystem::create_directory(mount);
    if (quorlen::testing::RunCommand("mount -t tmpfs -o size=256k,mode=0755 tmpfs '" + mount + "' 2>/dev/null") != 0)
        GTEST_SKIP() << "no tmpfs may be mounted here";
    const std::string folder = mount + "/closed";
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/wyniki.json";
    const std::string old = "{\"Version\":1,\"Lista\":[" + std::string(20000, ' ') + "]}";
    WriteFileBytes(path, old);
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    // The rest of the disk taken by root's filler, to the last byte.
    quorlen::testing::RunCommand("dd if=/dev/zero of='" + mount + "/filler' bs=4k 2>/dev/null");
    const std::string longer = "{\"Version\":1,\"Lista\":[" + std::string(200000, ' ') + "]}";
    EXPECT_FALSE(WritesAsUnprivilegedUser([&] { WriteFileAtomically(path, longer); }));
    EXPECT_EQ(ReadFileBytes(path), old);
    // With room again the same rewrite goes through.
    std::filesystem::remove(mount + "/filler");
    EXPECT_TRUE(WritesAsUnprivilegedUser([&] { WriteFileAtomically(path, longer); }));
    EXPECT_EQ(ReadFileBytes(path), longer);
    quorlen::testing::RunCommand("umount '" + mount + "'");
}

TEST(AtomicFile, AFifoOrADeviceUnderTheNameIsNeverReplaced) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo.json").c_str(), 0666), 0);
    std::filesystem::create_symlink("/dev/null", dir.File("null.json"));
    for (const char* name : {"fifo.json", "null.json"}) {
        try {
            WriteFileAtomically(dir.File(name), "{}");
            ADD_FAILURE() << name << " was written";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("to nie jest zwykły plik"), std::string::npos) << e.what();
        }
    }
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("fifo.json").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(FilesIn(dir.Path()), 2);
}
