// Installing, removing and verifying packages, hostile ones included.

#include "core/hexception.h"
#include "packages/packagearchive.h"
#include "packages/packagedescription.h"
#include "packages/packagesystem.h"
#include "packages/packageuserinterface.h"

#include "golden.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <utime.h>

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

class PackageSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = m_dir.path().toStdString();
        m_settings.packagesDirectory = m_root + "/packages";
        m_settings.sourceDirectory = m_root + "/source";
        ::mkdir(m_settings.sourceDirectory.c_str(), 0755);
    }

    std::string path(const std::string &name) const { return m_root + "/" + name; }

    // A version 2 archive holding `files`, each dated `time`.
    std::string makePackage(const std::string &file, const Files &files,
                            std::uint32_t time = 1000000000) {
        PackageArchive archive;
        archive.setVersion(2);
        for (const auto &[name, bytes] : files)
            archive.addData(name, bytes);
        const std::string out = m_settings.sourceDirectory + "/" + file;
        archive.saveArchive(out);
        struct utimbuf times = {time_t(time), time_t(time)};
        ::utime(out.c_str(), &times);
        return out;
    }

    static std::string description(const std::string &name, const std::string &extra = {}) {
        return "<package name=\"" + name + "\" version=\"1.0\" " + extra + "/>";
    }

    // Every file below the scratch directory with its contents.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        QDirIterator it(m_dir.path(),
                        QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const std::string file = it.next().toStdString();
            files[file] = it.fileInfo().isDir() ? "<dir>" : readFileBytes(file);
        }
        return files;
    }

    PackageSystem::Result install(const std::string &archive,
                                  std::vector<std::string> answers = {}) {
        m_ui = std::make_unique<ScriptedPackageUserInterface>(std::move(answers));
        PackageSystem system(m_settings, *m_ui);
        return system.installFile(archive);
    }

    QTemporaryDir m_dir;
    std::string m_root;
    PackageSettings m_settings;
    std::unique_ptr<ScriptedPackageUserInterface> m_ui;
};

TEST_F(PackageSystemTest, InstallsRecordsAndVerifies) {
    const std::string archive =
        makePackage("A.qzPackage", {{"A_package.xml", description("A", "dependencies=\"B\"")},
                                    {"inc/a.h", "#include \"$(TovanDir)/x.h\" $(TovanDir)/y\n"},
                                    {"packages/shared/s.txt", "shared"}});
    ASSERT_EQ(install(archive), PackageSystem::Result::Done);
    EXPECT_EQ(m_ui->messages, std::vector<std::string>{"Installed package 'A'"});
    const std::string dir = m_settings.packagesDirectory + "/A";
    EXPECT_EQ(readFileBytes(dir + "/inc/a.h"), "#include \"" + dir + "/x.h\" " + dir + "/y\n");
    EXPECT_EQ(readFileBytes(m_settings.packagesDirectory + "/shared/s.txt"), "shared");

    const PackageRecord record =
        PackageDescription::load(m_settings.packagesDirectory + "/A_package.xml", true).record();
    EXPECT_EQ(record.installationDirectory, dir);
    EXPECT_EQ(record.fileType, "package");
    ASSERT_EQ(record.installedFiles.size(), 2u);
    EXPECT_EQ(record.installedFiles[0].crc32, fileCrc32(dir + "/inc/a.h"));

    ScriptedPackageUserInterface ui;
    PackageSystem system(m_settings, ui);
    for (const PackageSystem::FileStatus &status : system.verify({}))
        EXPECT_EQ(status.kind, PackageSystem::FileStatus::Ok) << status.path;
    writeFileBytes(dir + "/inc/a.h", "edited");
    ::unlink((m_settings.packagesDirectory + "/shared/s.txt").c_str());
    const auto statuses = system.verify({"A"});
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[0].kind, PackageSystem::FileStatus::Modified);
    EXPECT_EQ(statuses[1].kind, PackageSystem::FileStatus::Missing);
}

TEST_F(PackageSystemTest, HostilePackageTouchesNothing) {
    writeFileBytes(path("victim"), "precious");
    const std::string lying = "<package name=\"Evil\" installation_directory=\"" + m_root +
                              "/inst\"><installed_file file_name=\"" + path("victim") +
                              "\" crc32=\"0\"/></package>";
    const std::vector<Files> packages = {
        {{"Evil_package.xml", lying}, {"ok.txt", "x"}, {"../escape.txt", "x"}},
        {{"Evil_package.xml", lying}, {"/tmp/absolute.txt", "x"}},
        {{"Evil_package.xml", lying}, {"packages/Other_package.xml", "<package name=\"x\"/>"}},
        {{"Evil_package.xml", lying}, {"packages/available_packages.xml", "x"}},
        {{"Evil_package.xml", description("..")}, {"f", "x"}},
        {{"Evil_package.xml", description("a/b")}, {"f", "x"}},
        {{"Evil_package.xml", description("E", "installation_directory=\"rel\"")}, {"f", "x"}},
    };
    for (std::size_t i = 0; i < packages.size(); ++i) {
        const std::string archive = makePackage("Evil.qzPackage", packages[i]);
        const auto withArchive = snapshot();
        EXPECT_EQ(install(archive), PackageSystem::Result::Failed) << i;
        ASSERT_FALSE(m_ui->errors.empty());
        EXPECT_EQ(m_ui->errors[0].rfind("Package installation error: ", 0), 0u) << m_ui->errors[0];
        auto after = snapshot();
        after.erase(m_settings.packagesDirectory); // the lock's directory
        after.erase(m_settings.packagesDirectory + "/.lock");
        auto expected = withArchive;
        expected.erase(m_settings.packagesDirectory);
        EXPECT_EQ(after, expected) << i;
    }
    EXPECT_EQ(readFileBytes(path("victim")), "precious");

    // The lying records never reach the installed description, so removal spares the victim.
    const std::string archive =
        makePackage("Evil.qzPackage", {{"Evil_package.xml", lying}, {"ok.txt", "x"}});
    ASSERT_EQ(install(archive), PackageSystem::Result::Done);
    PackageSystem system(m_settings, *m_ui);
    ASSERT_EQ(system.installedPackages().at(0).installedFiles.size(), 1u);
    m_ui = std::make_unique<ScriptedPackageUserInterface>(std::vector<std::string>{"yes"});
    PackageSystem remover(m_settings, *m_ui);
    EXPECT_EQ(remover.remove({"Evil"}), PackageSystem::Result::Done);
    EXPECT_EQ(readFileBytes(path("victim")), "precious");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("inst"))));
}

// Links already in the tree are followed before deciding: through a linked directory or
// onto a linked file nothing is written outside; a link that stays inside is used.
TEST_F(PackageSystemTest, LinksInTheTreeLeadNowhereOutside) {
    const std::string inst = path("inst");
    for (const std::string &dir : {inst, path("outside"), inst + "/real"})
        ::mkdir(dir.c_str(), 0755);
    writeFileBytes(path("victim"), "precious");
    ASSERT_EQ(::symlink("../outside", (inst + "/dir").c_str()), 0);
    ASSERT_EQ(::symlink("../victim", (inst + "/file").c_str()), 0);
    ASSERT_EQ(::symlink("real", (inst + "/alias").c_str()), 0);
    const std::string head = description("L", "installation_directory=\"" + inst + "\"");
    for (const char *name : {"dir/x", "dir/new/y", "file"}) {
        EXPECT_EQ(install(makePackage("L.qzPackage", {{"L_package.xml", head}, {name, "x"}})),
                  PackageSystem::Result::Failed)
            << name;
        ASSERT_FALSE(m_ui->errors.empty());
        EXPECT_NE(m_ui->errors[0].find("outside the package"), std::string::npos) << name;
    }
    EXPECT_EQ(readFileBytes(path("victim")), "precious");
    EXPECT_TRUE(QDir(QString::fromStdString(path("outside"))).isEmpty());
    EXPECT_EQ(install(makePackage("L.qzPackage", {{"L_package.xml", head}, {"alias/z", "z"}})),
              PackageSystem::Result::Done);
    EXPECT_EQ(readFileBytes(inst + "/real/z"), "z");
}

TEST_F(PackageSystemTest, RemovalOnlyDeletesInsideTheInstallationDirectory) {
    writeFileBytes(path("victim"), "precious");
    ::mkdir(m_settings.packagesDirectory.c_str(), 0755);
    PackageDescription forged = PackageDescription::parse(
        "<package name=\"F\" installation_directory=\"" + m_root + "/inst\"/>", "f", true);
    forged.setInstalledFiles({{path("victim"), *fileCrc32(path("victim"))},
                              {m_root + "/inst/../victim", *fileCrc32(path("victim"))}});
    ASSERT_TRUE(
        writeFileAtomically(m_settings.packagesDirectory + "/F_package.xml", forged.toXml()));
    ScriptedPackageUserInterface ui({"yes"});
    PackageSystem system(m_settings, ui);
    EXPECT_EQ(system.remove({"F"}), PackageSystem::Result::Done);
    EXPECT_EQ(readFileBytes(path("victim")), "precious");
    EXPECT_EQ(ui.errors.size(), 2u);
}

TEST_F(PackageSystemTest, FailureHalfwayLeavesTheTreeAsItWas) {
    const std::string inst = m_root + "/inst";
    ::mkdir(inst.c_str(), 0755);
    writeFileBytes(inst + "/old.txt", "old contents");
    writeFileBytes(inst + "/blocker", "a file where a directory is needed");
    const std::string archive =
        makePackage("A.qzPackage",
                    {{"A_package.xml", description("A", "installation_directory=\"" + inst + "\"")},
                     {"new/dir/one.txt", "1"},
                     {"old.txt", "replacement"},
                     {"blocker/two.txt", "2"}});
    const auto before = snapshot();
    EXPECT_EQ(install(archive, {"yes"}), PackageSystem::Result::Failed);
    EXPECT_EQ(m_ui->errors.at(0), "Cannot create file '" + inst + "/blocker/two.txt'");
    auto after = snapshot();
    after.erase(m_settings.packagesDirectory);
    after.erase(m_settings.packagesDirectory + "/.lock");
    EXPECT_EQ(after, before);
}

TEST_F(PackageSystemTest, CancelAtTheSecondFileLeavesTheTreeAsItWas) {
    const std::string inst = m_root + "/inst";
    ::mkdir(inst.c_str(), 0755);
    writeFileBytes(inst + "/one.txt", "mine 1");
    writeFileBytes(inst + "/two.txt", "mine 2");
    const std::string archive =
        makePackage("A.qzPackage",
                    {{"A_package.xml", description("A", "installation_directory=\"" + inst + "\"")},
                     {"fresh/new.txt", "new"},
                     {"one.txt", "theirs 1"},
                     {"two.txt", "theirs 2"}});
    const auto before = snapshot();
    EXPECT_EQ(install(archive, {"yes", "cancel"}), PackageSystem::Result::Cancelled);
    EXPECT_EQ(m_ui->questions.size(), 2u);
    EXPECT_EQ(m_ui->errors, std::vector<std::string>{"Package installation cancelled"});
    auto after = snapshot();
    after.erase(m_settings.packagesDirectory);
    after.erase(m_settings.packagesDirectory + "/.lock");
    EXPECT_EQ(after, before);

    // None keeps every newer file; the package still installs the rest.
    EXPECT_EQ(install(archive, {"none"}), PackageSystem::Result::Done);
    EXPECT_EQ(readFileBytes(inst + "/one.txt"), "mine 1");
    EXPECT_EQ(readFileBytes(inst + "/two.txt"), "mine 2");
    EXPECT_EQ(readFileBytes(inst + "/fresh/new.txt"), "new");
}

TEST_F(PackageSystemTest, TruncatedArchiveFailsWithNothingTouched) {
    Files files = {{"A_package.xml", description("A")}};
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big += std::to_string(i * 2654435761u);
    files.push_back({"big.bin", big});
    const std::string archive = makePackage("A.qzPackage", files);
    std::string bytes = readFileBytes(archive);
    writeFileBytes(archive, bytes.substr(0, bytes.size() * 3 / 4));
    EXPECT_EQ(install(archive), PackageSystem::Result::Failed);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(m_settings.packagesDirectory + "/A")));
    EXPECT_FALSE(
        QFileInfo::exists(QString::fromStdString(m_settings.packagesDirectory + "/A_package.xml")));
}

TEST_F(PackageSystemTest, IncompatiblePackageAsksFirst) {
    const std::string archive = makePackage(
        "A.qzPackage", {{"A_package.xml", description("A", "build_version=\"99.1\"")}, {"f", "x"}});
    EXPECT_EQ(install(archive, {"no"}), PackageSystem::Result::Cancelled);
    EXPECT_EQ(m_ui->questions.at(0),
              "The package you are installing is incompatible with this release of Palindor -\n"
              "version 99.1 is required.\n"
              "We recommend that you terminate the installation as it is unlikely that the\n"
              "package will function correctly.\nContinue [Y/n]?\n");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(m_settings.packagesDirectory + "/A")));
    EXPECT_EQ(install(archive, {"yes"}), PackageSystem::Result::Done);
}

class PackageSourceTest : public PackageSystemTest {
protected:
    // A source with A needing B and B needing A, listed with their sums.
    void makeSource(const std::string &md5Override = {}) {
        std::vector<PackageRecord> records;
        for (const auto &[name, needs] : {std::pair{"A", "B"}, std::pair{"B", "A"}}) {
            const std::string file = std::string(name) + ".qzPackage";
            const std::string archive = makePackage(
                file, {{std::string(name) + "_package.xml",
                        description(name, "dependencies=\"" + std::string(needs) + "\"")},
                       {"file.txt", name}});
            const std::string bytes = readFileBytes(archive);
            PackageRecord record;
            record.name = name;
            record.version = "1.0";
            record.dependencies = {needs};
            record.fileName = file;
            record.url = file;
            record.size = bytes.size();
            record.md5 =
                QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5)
                    .toHex()
                    .toUpper()
                    .toStdString() +
                " ";
            if (!md5Override.empty() && record.name == "B")
                record.md5 = md5Override;
            records.push_back(record);
        }
        writeFileBytes(m_settings.sourceDirectory + "/available_packages.xml",
                       writePackageList(records));
    }
};

TEST_F(PackageSourceTest, InstallsDependenciesOnceAndRemovesDependents) {
    makeSource();
    ScriptedPackageUserInterface ui;
    PackageSystem system(m_settings, ui);
    system.refresh();
    ASSERT_EQ(system.installNames({"A"}), PackageSystem::Result::Done);
    EXPECT_EQ(ui.messages.size(), 4u); // two verified sums, then two installs
    EXPECT_EQ(ui.messages.at(2), "Installed package 'B'");
    EXPECT_EQ(ui.messages.at(3), "Installed package 'A'");
    EXPECT_EQ(system.installedPackages().size(), 2u);

    writeFileBytes(m_settings.packagesDirectory + "/A/file.txt", "changed by the user");
    ScriptedPackageUserInterface no({"no"});
    PackageSystem cautious(m_settings, no);
    EXPECT_EQ(cautious.remove({"B"}), PackageSystem::Result::Cancelled);
    EXPECT_EQ(no.questions.at(0),
              "You are removing the package \"B\".\nThis package is required by the following "
              "installed packages:\n\nA\n\nDo you want to remove these packages as well?\n\n"
              "Click Yes to remove the dependent packages or click No to cancel removal of "
              "package.\n");
    EXPECT_EQ(cautious.installedPackages().size(), 2u);

    ScriptedPackageUserInterface yes({"yes"});
    PackageSystem remover(m_settings, yes);
    EXPECT_EQ(remover.remove({"B"}), PackageSystem::Result::Done);
    EXPECT_TRUE(remover.installedPackages().empty());
    EXPECT_EQ(yes.messages.at(0),
              "kept modified file " + m_settings.packagesDirectory + "/A/file.txt");
    EXPECT_EQ(readFileBytes(m_settings.packagesDirectory + "/A/file.txt"), "changed by the user");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(m_settings.packagesDirectory + "/B")));
}

TEST_F(PackageSourceTest, WrongOrMissingSumInstallsNothing) {
    makeSource("00000000000000000000000000000000");
    ScriptedPackageUserInterface ui;
    PackageSystem system(m_settings, ui);
    system.refresh();
    EXPECT_EQ(system.installNames({"A"}), PackageSystem::Result::Failed);
    ASSERT_EQ(ui.errors.size(), 2u);
    EXPECT_EQ(ui.errors[0].rfind("Incorrect MD5 sum for B.qzPackage (expected "
                                 "00000000000000000000000000000000 got ",
                                 0),
              0u)
        << ui.errors[0];
    EXPECT_EQ(ui.errors[1], "MD5 verification failed");
    EXPECT_TRUE(system.installedPackages().empty());

    makeSource(" ");
    system.refresh();
    EXPECT_EQ(system.installNames({"A"}), PackageSystem::Result::Failed);
    EXPECT_EQ(ui.errors.at(2), "No MD5 sum given for B.qzPackage");

    m_settings.verifyDownloads = false;
    PackageSystem trusting(m_settings, ui);
    EXPECT_EQ(trusting.installNames({"A"}), PackageSystem::Result::Done);
}

TEST_F(PackageSourceTest, FailedRefreshKeepsThePreviousList) {
    makeSource();
    ScriptedPackageUserInterface ui;
    PackageSystem system(m_settings, ui);
    system.refresh();
    writeFileBytes(m_settings.sourceDirectory + "/available_packages.xml", "<package_list>");
    EXPECT_THROW(system.refresh(), HException);
    EXPECT_EQ(system.availablePackages().size(), 2u);
    EXPECT_EQ(system.installNames({"C"}), PackageSystem::Result::Failed);
    EXPECT_EQ(ui.errors.at(0), "cannot install package C as no URL has been specified");
    EXPECT_EQ(system.installNames({"nothere.qzPackage"}), PackageSystem::Result::Failed);
    EXPECT_EQ(ui.errors.at(1),
              "cannot install package nothere.qzPackage as it is not a local file");
}

} // namespace
