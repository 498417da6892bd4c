// The restore after the real archive step, over one file system in memory: the directory that a failed
// run leaves must be the one it found.
#include <gtest/gtest.h>
#include <ostream>

#include "backup/install_archive_step.h"
#include "backup/zip_install_archiver.h"
#include "fakes.h"
#include "memory_files.h"

namespace mvn {
namespace {

using testing::FakeView;
using testing::MemoryFileSystem;

const std::wstring kDir = L"D:\\Apps\\Ostrana\\Morvane";
const std::wstring kTemp = L"C:\\Users\\lehrer\\AppData\\Local\\Temp\\";

struct Seen {
    std::wstring path;
    bool directory;
    std::string content;
    std::uint32_t attributes;
    std::uint64_t lastWrite;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* out) {
    *out << std::string(s.path.begin(), s.path.end()) << (s.directory ? " dir" : " file") << " size "
         << s.content.size() << " attributes " << s.attributes << " time " << s.lastWrite;
}

struct Installation {
    MemoryFileSystem files;
    FakeView view;
    ZipInstallArchiver archiver{files};
    RunState state;
    StepContext context{state, view, files, &archiver};

    Installation() {
        state.CmdLineDir = kDir;
        files.AddDir(kTemp.substr(0, kTemp.size() - 1));
        files.AddFile(kDir + L"\\Morvane9.EXE", std::string(70000, 'M'));
        files.AddFile(kDir + L"\\MorvaneStart.ini", "[Setup]", kAttributeReadOnly | kAttributeArchive);
        files.AddFile(kDir + L"\\Sub\\Tief\\a.txt", "a");
        files.AddFile(kDir + L"\\leer.txt", "", kAttributeSystem);
        files.AddDir(kDir + L"\\Leer");
        files.AddDir(kDir + L"\\Versteckt", kAttributeHidden);
        files.AddFile(kDir + L"\\Versteckt\\h.txt", "h", kAttributeHidden | kAttributeArchive);
    }

    // Every file and folder below the directory with what a comparison of trees looks at.
    std::vector<Seen> Tree() {
        std::vector<Seen> tree;
        for (const std::wstring& path : files.Below(kDir)) {
            const MemoryFileSystem::Node& node = *files.Find(path);
            // A folder's own time moves with what happens inside it; its files show that.
            const std::uint64_t time = node.directory ? 0 : node.lastWrite;
            tree.push_back(
                {MemoryFileSystem::Key(path), node.directory, node.content, node.attributes, time});
        }
        return tree;
    }
};

TEST(RestoreOverFiles, AFailedRunLeavesTheDirectoryAsItWas) {
    for (const bool heldArchive : {false, true}) {
        SCOPED_TRACE(heldArchive);
        Installation i;
        if (heldArchive) i.files.AddFile(kDir + L"\\mvnaltinst.zip", "an older archive");
        const std::vector<Seen> before = i.Tree();
        ASSERT_EQ(SaveMVNInst(i.context), 0) << i.archiver.LastError();
        ASSERT_NE(i.Tree(), before);
        EXPECT_TRUE(RestoreInstallation(i.context)) << i.archiver.LastError();
        EXPECT_EQ(i.Tree(), before);
        EXPECT_TRUE(i.view.Only(L"error:").empty());
        EXPECT_EQ(i.files.OpenHandles(), 0);
    }
}

TEST(RestoreOverFiles, AFileThatCannotBeWrittenBackIsNamedInTheDialogAndTheRestFollows) {
    Installation i;
    ASSERT_EQ(SaveMVNInst(i.context), 0);
    i.files.heldForWriting.insert(kDir + L"\\MorvaneStart.ini");  // the copy the step put back
    EXPECT_FALSE(RestoreInstallation(i.context));
    EXPECT_EQ(i.view.Only(L"error:").size(), 1u);
    EXPECT_EQ(i.files.Content(kDir + L"\\Sub\\Tief\\a.txt"), "a");
    EXPECT_TRUE(i.files.HasFile(kDir + L"\\Morvane9.EXE"));
    EXPECT_TRUE(i.files.HasFile(kDir + L"\\mvnaltinst.zip")) << "kept while the restore is incomplete";
    EXPECT_TRUE(i.files.HasFile(kTemp + L"mvnaltinst.zip"));
}

}  // namespace
}  // namespace mvn
