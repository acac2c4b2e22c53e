// Where the program finds its own files and puts the user's: a build, an installed program
// under any prefix, the home options, the XDG folders and the runtime folder.
#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace movira {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "movira-folders-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string sub(const std::string& name) const {
        fs::create_directories(path_ / name);
        return (path_ / name).string();
    }
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

// A fake environment: only the variables a test names exist.
struct Environment {
    std::map<std::string, std::string> variables;
    ProgramFolder::Environment get() const {
        return [this](const char* name) -> const char* {
            const auto found = variables.find(name);
            return found == variables.end() ? nullptr : found->second.c_str();
        };
    }
};

class ProgramFolderTest : public testing::Test {
protected:
    ProgramFolderTest() {
        home = root.sub("home/ann");
        environment.variables["HOME"] = home;
    }
    // A build folder: the program with its Pics beside it.
    std::string buildFolder() const {
        const std::string bin = root.sub("build/bin");
        fs::create_directories(bin + "/Pics");
        return bin;
    }
    // An installed program under `prefix`: its folder, and the share folder the build names.
    std::string installedFolder(const std::string& prefix, std::string* data = nullptr) const {
        const std::string program = root.sub(prefix + "/lib/aarch64-linux-gnu/movira");
        const std::string share = fs::path(program + "/" MOVIRA_DATA_FROM_PROGRAM).lexically_normal().string();
        fs::create_directories(share + "/Pics");
        if (data) *data = share.back() == '/' ? share.substr(0, share.size() - 1) : share;
        return program;
    }
    ProgramFolders locate(const std::string& program, const std::string& homeOption = {}) const {
        return ProgramFolder::locate(program, homeOption, environment.get());
    }

    TempDir root;
    std::string home;
    Environment environment;
};

TEST_F(ProgramFolderTest, ABuildKeepsEverythingInItsOwnFolder) {
    const std::string bin = buildFolder();
    const ProgramFolders folders = locate(bin);
    EXPECT_EQ(folders.program, bin);
    EXPECT_EQ(folders.data, bin);
    EXPECT_EQ(folders.home, bin);
    EXPECT_EQ(folders.tracks, bin + "/Tracks");
    EXPECT_FALSE(folders.userFolders);
}

TEST_F(ProgramFolderTest, AnInstalledProgramFindsItsDataUnderAnyPrefixAndUsesTheUsersFolders) {
    for (const std::string prefix : {"usr", "opt/movira-test", "home/ann/.local"}) {
        SCOPED_TRACE(prefix);
        std::string data;
        const std::string program = installedFolder(prefix, &data);
        // Even when the program's folder could be written (root, or a prefix in the user's home),
        // nothing of the user's goes under the prefix.
        ASSERT_EQ(access(program.c_str(), W_OK), 0);
        const ProgramFolders folders = locate(program);
        EXPECT_EQ(folders.program, program);
        EXPECT_EQ(folders.data, data);
        EXPECT_NE(folders.data.find("/share/movira"), std::string::npos) << folders.data;
        EXPECT_EQ(folders.home, home + "/.config/movira");
        EXPECT_EQ(folders.tracks, home + "/Documents/Movira");
        EXPECT_TRUE(folders.userFolders);
    }
}

TEST_F(ProgramFolderTest, TheHomeOptionAndThenMoviraHomeWinEverywhere) {
    const std::string chosen = root.sub("chosen");
    const std::string fromEnvironment = root.sub("from-environment");
    for (const std::string& program : {buildFolder(), installedFolder("usr")}) {
        SCOPED_TRACE(program);
        environment.variables.erase("MOVIRA_HOME");
        ProgramFolders folders = locate(program, chosen);
        EXPECT_EQ(folders.home, chosen);
        EXPECT_EQ(folders.tracks, chosen + "/Tracks");
        EXPECT_FALSE(folders.userFolders);

        environment.variables["MOVIRA_HOME"] = fromEnvironment;
        folders = locate(program);
        EXPECT_EQ(folders.home, fromEnvironment);
        EXPECT_EQ(folders.tracks, fromEnvironment + "/Tracks");
        EXPECT_EQ(locate(program, chosen).home, chosen);

        environment.variables["MOVIRA_HOME"] = "";  // set but empty counts as not set
        EXPECT_NE(locate(program).home, "");
    }
}

TEST_F(ProgramFolderTest, ABuildThatCannotBeWrittenUsesTheUsersFolders) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any folder";
    const std::string bin = buildFolder();
    ASSERT_EQ(chmod(bin.c_str(), 0555), 0);
    const ProgramFolders folders = locate(bin);
    chmod(bin.c_str(), 0755);
    EXPECT_EQ(folders.data, bin);  // its pictures are still its own
    EXPECT_EQ(folders.home, home + "/.config/movira");
    EXPECT_TRUE(folders.userFolders);
}

TEST_F(ProgramFolderTest, ASetXdgConfigHomeCountsOnlyWhenAbsolute) {
    const std::string program = installedFolder("usr");
    environment.variables["XDG_CONFIG_HOME"] = root.sub("config");
    EXPECT_EQ(locate(program).home, root.path() + "/config/movira");
    environment.variables["XDG_CONFIG_HOME"] = "relative/config";
    EXPECT_EQ(locate(program).home, home + "/.config/movira");
    environment.variables["HOME"] = home + "/";
    EXPECT_EQ(locate(program).home, home + "/.config/movira");
}

TEST_F(ProgramFolderTest, AnInstalledProgramWithoutItsShareFolderLooksBesideItself) {
    const std::string program = root.sub("broken/lib/movira");
    EXPECT_EQ(locate(program).data, program);
}

TEST_F(ProgramFolderTest, TheDocumentsFolderIsTheOneXdgUserDirsNames) {
    const std::string config = root.sub("config");
    environment.variables["XDG_CONFIG_HOME"] = config;
    const struct {
        const char* file;  // user-dirs.dirs; null: no file
        std::string documents;
    } cases[] = {
        {nullptr, home + "/Documents"},
        {"# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", home + "/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/Документы\"\n", home + "/Документы"},
        {"XDG_DOCUMENTS_DIR=\"/srv/papers/\"\r\n", "/srv/papers"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", home},                 // turned off: the home itself
        {"XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"\n", home + "/My \"Docs\""},
        {"XDG_DOCUMENTS_DIR=\"$HOMEWARD/x\"\n", home + "/Documents"},  // not $HOME
        {"XDG_DOCUMENTS_DIR=\"relative/docs\"\n", home + "/Documents"},
        {"XDG_DOCUMENTS_DIR=$HOME/unquoted\n", home + "/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/first\"\nXDG_DOCUMENTS_DIR=\"$HOME/last\"\n", home + "/last"},
    };
    const std::string program = installedFolder("usr");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(no file)");
        fs::remove(config + "/user-dirs.dirs");
        if (c.file) std::ofstream(config + "/user-dirs.dirs") << c.file;
        EXPECT_EQ(ProgramFolder::documentsFolder(environment.get()), c.documents);
        EXPECT_EQ(locate(program).tracks, c.documents + "/Movira");
    }
}

TEST_F(ProgramFolderTest, TheRuntimeFolderIsXdgRuntimeDirOnlyWhenPrivate) {
    const std::string privateFolder = root.sub("runtime");
    chmod(privateFolder.c_str(), 0700);
    const std::string sharedFolder = root.sub("shared");
    chmod(sharedFolder.c_str(), 0777);
    const std::string groupWritable = root.sub("group");
    chmod(groupWritable.c_str(), 0770);
    const std::string readable = root.sub("readable");
    chmod(readable.c_str(), 0755);
    std::ofstream(root.path() + "/a-file") << "x";
    const struct {
        const char* value;  // null: unset
        std::string folder;
    } cases[] = {
        {nullptr, ""},
        {"", ""},
        {"runtime", ""},  // relative
        {privateFolder.c_str(), privateFolder},
        {"trailing", privateFolder},
        {readable.c_str(), readable},  // others may look, not write
        {sharedFolder.c_str(), ""},
        {groupWritable.c_str(), ""},
        {"file", ""},
        {"missing", ""},
    };
    for (const auto& c : cases) {
        std::string value = c.value ? c.value : "";
        if (value == "trailing") value = privateFolder + "/";
        if (value == "file") value = root.path() + "/a-file";
        if (value == "missing") value = root.path() + "/missing";
        SCOPED_TRACE(c.value ? value : "(unset)");
        Environment runtime;
        if (c.value) runtime.variables["XDG_RUNTIME_DIR"] = value;
        EXPECT_EQ(ProgramFolder::runtimeFolder(runtime.get()), c.folder);
    }
}

TEST_F(ProgramFolderTest, TheUsersSettingsFolderIsMadePrivate) {
    const std::string folder = root.path() + "/home/ann/.config/movira";
    ASSERT_TRUE(ProgramFolder::createPrivateFolder(folder));
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((root.path() + "/home/ann/.config").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(ProgramFolder::createPrivateFolder(folder));  // already there
    std::ofstream(root.path() + "/plain") << "x";
    EXPECT_FALSE(ProgramFolder::createPrivateFolder(root.path() + "/plain"));
    EXPECT_FALSE(ProgramFolder::createPrivateFolder(root.path() + "/plain/below"));
    EXPECT_FALSE(ProgramFolder::createPrivateFolder(""));
}

}  // namespace
}  // namespace movira
