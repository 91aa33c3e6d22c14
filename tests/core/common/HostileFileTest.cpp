// Files an unlucky or hostile user puts where a document is expected: a FIFO,
// a device, a socket, a folder, a file without read permission, JSON nested
// far deeper than any document of ours.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "core/common/Json.h"
#include "core/common/RegularFile.h"
#include "core/common/TextFile.h"
#include "support/TestSupport.h"

using namespace quorlen;
using quorlen::testing::RunInChild;
using quorlen::testing::TempDir;
using quorlen::testing::WriteFileBytes;

namespace {

// Each way of planting something that is not a regular file under a name.
enum class Plant { Fifo, Device, Socket, Folder };

void PlantAt(Plant kind, const std::string& path) {
    switch (kind) {
        case Plant::Fifo:
            ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
            break;
        case Plant::Device:
            ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0);
            break;
        case Plant::Socket: {
            const int s = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            ASSERT_LT(path.size(), sizeof address.sun_path);
            std::copy(path.begin(), path.end(), address.sun_path);
            ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            close(s);
            break;
        }
        case Plant::Folder:
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
            break;
    }
}

std::string DeepJson(int depth, const std::string& inner = "1") {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

}  // namespace

TEST(RegularFile, ThingsThatAreNoFileAreRefusedWithoutBlocking) {
    struct Case {
        Plant Kind;
        const char* Says;
    };
    const Case cases[] = {{Plant::Fifo, "to nie jest zwykły plik"},
                          {Plant::Device, "to nie jest zwykły plik"},
                          {Plant::Socket, "to nie jest zwykły plik"},
                          {Plant::Folder, "to jest folder"}};
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir.File("a.json");
        PlantAt(c.Kind, path);
        // Every reader goes through the same door: raw bytes, text, JSON.
        try {
            ReadRegularFile(path);
            ADD_FAILURE() << path << " was read";
        } catch (const TFileReadError& e) {
            EXPECT_NE(e.Reason.find(c.Says), std::string::npos) << e.Reason;
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        EXPECT_THROW(ReadTextFile(path), std::runtime_error) << static_cast<int>(c.Kind);
        std::string why;
        EXPECT_FALSE(ParseJsonFile(path, &why));
        EXPECT_NE(why.find(c.Says), std::string::npos) << why;
    }
}

TEST(RegularFile, SizeCapAndPermissionsAreReportedAsSuch) {
    TempDir dir;
    const std::string path = dir.File("b.json");
    WriteFileBytes(path, std::string(1024 * 1024 + 1, ' '));
    EXPECT_EQ(ReadRegularFile(path, 1024 * 1024 + 1).size(), 1024u * 1024 + 1);
    try {
        ReadRegularFile(path, 1024 * 1024);
        ADD_FAILURE() << "over the cap";
    } catch (const TFileReadError& e) {
        EXPECT_EQ(e.Reason, "plik jest większy niż 1 MB");
    }
    EXPECT_THROW(ReadRegularFile(dir.File("nope")), TFileReadError);

    // Root reads every file, so the check runs in a child that is "nobody"
    // when the tests run as root.
    chmod(dir.Path().c_str(), 0755);
    const std::string closed = dir.File("closed.json");
    WriteFileBytes(closed, "{}");
    chmod(closed.c_str(), 0200);
    const int code = RunInChild(
        [&] {
            try {
                ReadRegularFile(closed);
            } catch (const TFileReadError& e) {
                return e.Reason == "nie można odczytać pliku (brak uprawnień)" ? 0 : 2;
            }
            return 3;
        },
        /*asUnprivileged=*/true);
    EXPECT_EQ(code, 0);
}

TEST(JsonDepth, OneLimitForEveryReaderWithAClearError) {
    struct Case {
        std::string Text;
        bool Parses;
    };
    const Case cases[] = {
        {DeepJson(MaxJsonDepth), true},
        {DeepJson(MaxJsonDepth + 1), false},
        {DeepJson(100000), false},
        {"{\"a\":" + DeepJson(MaxJsonDepth - 1) + "}", true},
        {"{\"a\":" + DeepJson(MaxJsonDepth) + "}", false},
        // Brackets inside strings, escaped quotes among them, are no nesting.
        {"[\"" + std::string(100000, '[') + "\\\"\"]", true},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(ParseJson(c.Text, &why).has_value(), c.Parses) << c.Text.substr(0, 40);
        if (!c.Parses) {
            EXPECT_EQ(why, "dokument JSON jest zagnieżdżony głębiej niż 256 poziomów");
        }
    }
    TempDir dir;
    WriteFileBytes(dir.File("deep.json"), "{\"Version\":1,\"x\":" + DeepJson(100000) + "}");
    std::string why;
    EXPECT_FALSE(ParseJsonFile(dir.File("deep.json"), &why));
    EXPECT_NE(why.find("deep.json: dokument JSON jest zagnieżdżony"), std::string::npos) << why;
}
