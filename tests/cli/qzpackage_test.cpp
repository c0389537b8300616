// qzpackage as a user runs it: a source directory, installs, verify and removal.

#include "packages/packagearchive.h"

#include "crosstool.h"
#include "golden.h"
#include "toolrunner.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

namespace {

class QzPackageTool : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = m_dir.path().toStdString();
        ::mkdir(path("repo").c_str(), 0755);
        makePackage("repo/Core.qzPackage",
                    {{"Core_package.xml", "<package name=\"Core\" version=\"1.9\" "
                                          "title=\"Core files\" type=\"core\"/>"},
                     {"include/core.h", "#define CORE 1\n"}});
        makePackage("repo/Board.qzPackage",
                    {{"Board_package.xml", "<package name=\"Board\" version=\"1.10\" "
                                           "board_name=\"Demo\" dependencies=\"Core\"/>"},
                     {"board/board.c", "int board;\n"},
                     {"board/README", "read me\n"}});
    }

    std::string path(const std::string &name) const { return m_root + "/" + name; }

    void makePackage(const std::string &file,
                     const std::vector<std::pair<std::string, std::string>> &entries) {
        PackageArchive archive;
        archive.setVersion(2);
        for (const auto &[name, bytes] : entries)
            archive.addData(name, bytes);
        archive.saveArchive(path(file));
    }

    ToolResult run(std::vector<std::string> arguments, const std::string &input = {}) {
        arguments.insert(arguments.begin(), {"--dir", path("pk"), "--source", path("repo")});
        return runTool("qzpackage", arguments, input, m_root);
    }

    ToolResult shell(const std::string &command) {
        return runTool("/bin/sh", {"-c", command}, {}, m_root);
    }

    QTemporaryDir m_dir;
    std::string m_root;
};

TEST_F(QzPackageTool, MakeListRefreshInstallVerifyRemove) {
    ToolResult made = runTool("qzpackage", {"make-list", path("repo")}, {}, m_root);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string list = readFileBytes(path("repo/available_packages.xml"));
    if (haveTool("md5sum") && haveTool("sha256sum")) {
        ToolResult md5 = shell("md5sum repo/Board.qzPackage | cut -d' ' -f1");
        ToolResult sha = shell("sha256sum repo/Board.qzPackage | cut -d' ' -f1");
        EXPECT_NE(list.find("md5=\"" + md5.out.substr(0, 32) + "\""), std::string::npos);
        EXPECT_NE(list.find("sha256=\"" + sha.out.substr(0, 64) + "\""), std::string::npos);
    }

    ASSERT_EQ(run({"refresh"}).exitCode, 0);
    ToolResult listed = run({"list"});
    EXPECT_EQ(listed.out, "Core                     -          1.9        Core files\n"
                          "Board                    -          1.10       Demo Board Support "
                          "Package\n");

    ToolResult installed = run({"install", "Board", "--yes"});
    ASSERT_EQ(installed.exitCode, 0) << installed.err;
    EXPECT_NE(installed.out.find("Installed package 'Core'"), std::string::npos);
    EXPECT_NE(installed.out.find("Installed package 'Board'"), std::string::npos);
    EXPECT_EQ(readFileBytes(path("pk/Board/board/board.c")), "int board;\n");
    EXPECT_EQ(run({"list", "--installed"}).out.size(), listed.out.size());
    EXPECT_EQ(run({"list", "--updates"}).out, "");

    if (haveTool("xmllint")) {
        EXPECT_EQ(
            shell("xmllint --noout pk/Board_package.xml repo/available_packages.xml").exitCode, 0);
    }
    if (haveTool("python3")) {
        ToolResult crc = shell("python3 -c \"import zlib;print('%08x' % "
                               "zlib.crc32(open('pk/Board/board/board.c','rb').read()))\"");
        EXPECT_NE(
            readFileBytes(path("pk/Board_package.xml")).find("crc32=\"" + crc.out.substr(0, 8)),
            std::string::npos);
    }

    ToolResult verified = run({"verify", "Board"});
    EXPECT_EQ(verified.exitCode, 0);
    EXPECT_EQ(verified.out, "OK       " + path("pk/Board/board/board.c") + "\nOK       " +
                                path("pk/Board/board/README") + "\n");
    writeFileBytes(path("pk/Board/board/board.c"), "int board = 2;\n");
    verified = run({"verify"});
    EXPECT_EQ(verified.exitCode, 1);
    EXPECT_NE(verified.out.find("MODIFIED " + path("pk/Board/board/board.c")), std::string::npos);

    // End of input answers the removal question: nothing changes.
    ToolResult cancelled = run({"remove", "Core"});
    EXPECT_EQ(cancelled.exitCode, 1);
    EXPECT_NE(cancelled.out.find("This package is required by the following installed "
                                 "packages:\n\nBoard\n"),
              std::string::npos);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(path("pk/Core_package.xml"))));

    ToolResult removed = run({"remove", "Core"}, "y\n");
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_NE(removed.out.find("kept modified file " + path("pk/Board/board/board.c")),
              std::string::npos);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("pk/Core"))));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("pk/Board/board/README"))));
    EXPECT_EQ(run({"list", "--installed"}).out, "");
}

TEST_F(QzPackageTool, OverwriteQuestionAndEndOfInput) {
    ASSERT_EQ(runTool("qzpackage", {"make-list", path("repo")}, {}, m_root).exitCode, 0);
    ::mkdir(path("pk").c_str(), 0755);
    ::mkdir(path("pk/Core").c_str(), 0755);
    ::mkdir(path("pk/Core/include").c_str(), 0755);
    writeFileBytes(path("pk/Core/include/core.h"), "mine\n");
    // The user's file is newer than the package: installing asks, and end of input cancels.
    struct stat info;
    ::stat(path("pk/Core/include/core.h").c_str(), &info);
    struct utimbuf old = {info.st_mtime - 100, info.st_mtime - 100};
    ::utime(path("repo/Core.qzPackage").c_str(), &old);
    ToolResult result = run({"install", path("repo/Core.qzPackage")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "The file '" + path("pk/Core/include/core.h") +
                              "' exists and is dated later than package file.\n"
                              "Do you want to overwrite this file? [Y]es [n]o [A]ll [N]one "
                              "[C]ancel\n");
    EXPECT_EQ(result.err, "Package installation cancelled\n");
    EXPECT_EQ(readFileBytes(path("pk/Core/include/core.h")), "mine\n");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("pk/Core_package.xml"))));

    result = run({"install", path("repo/Core.qzPackage"), "--overwrite", "none"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFileBytes(path("pk/Core/include/core.h")), "mine\n");
}

TEST_F(QzPackageTool, RelativePackagesDirectory) {
    ToolResult result = runTool(
        "qzpackage", {"--dir", "rel/pk/", "install", "repo/Core.qzPackage", "--yes"}, {}, m_root);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFileBytes(path("rel/pk/Core/include/core.h")), "#define CORE 1\n");
    result = runTool("qzpackage", {"--dir", "rel/pk/", "verify"}, {}, m_root);
    EXPECT_EQ(result.out, "OK       " + path("rel/pk/Core/include/core.h") + "\n");
}

TEST_F(QzPackageTool, HttpSourceDownloadOnlyUpdateAndLinks) {
    REQUIRE_TOOL("python3", "python3");
    ASSERT_EQ(runTool("qzpackage", {"make-list", path("repo")}, {}, m_root).exitCode, 0);
    QProcess server;
    server.setWorkingDirectory(QString::fromStdString(path("repo")));
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start("python3", {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1"});
    QByteArray banner;
    while (!banner.contains(")") && server.waitForReadyRead(10000))
        banner += server.readAll();
    const qsizetype at = banner.indexOf(" port ");
    ASSERT_GE(at, 0) << banner.toStdString();
    const std::string url =
        "http://127.0.0.1:" + banner.mid(at + 6).split(' ').value(0).toStdString();
    const auto web = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--dir", path("pk"), "--source", url});
        return runTool("qzpackage", arguments, {}, m_root);
    };

    ToolResult result = web({"refresh"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    result = web({"install", "Board", "--download-only"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Downloaded " + path("pk/downloads/Core.qzPackage") + "\n"),
              std::string::npos);
    EXPECT_NE(result.out.find("Downloaded " + path("pk/downloads/Board.qzPackage") + "\n"),
              std::string::npos);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("pk/Board_package.xml"))));

    // The stored list holds absolute URLs: no source needed any more.
    result = runTool("qzpackage", {"--dir", path("pk"), "link", "sw://install-package/Board"}, {},
                     m_root);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFileBytes(path("pk/Board/board/board.c")), "int board;\n");

    makePackage("repo/Core.qzPackage", {{"Core_package.xml", "<package name=\"Core\" "
                                                             "version=\"1.10\"/>"},
                                        {"include/core.h", "#define CORE 2\n"}});
    ASSERT_EQ(runTool("qzpackage", {"make-list", path("repo")}, {}, m_root).exitCode, 0);
    ASSERT_EQ(web({"refresh"}).exitCode, 0);
    EXPECT_EQ(web({"list", "--updates"}).out.substr(0, 4), "Core");
    result = web({"update", "--yes"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFileBytes(path("pk/Core/include/core.h")), "#define CORE 2\n");
    result = web({"update", "Core"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "No updates available\n");
    EXPECT_EQ(web({"update", "Nothing"}).err, "package Nothing is not installed\n");

    // A list that lies about a sum: the exact lines, exit 1, nothing new installed.
    std::string list = readFileBytes(path("repo/available_packages.xml"));
    const std::size_t md5 = list.find("md5=\"", list.find("name=\"Board\""));
    list.replace(md5 + 5, 32, std::string(32, 'F'));
    writeFileBytes(path("repo/available_packages.xml"), list);
    ASSERT_EQ(web({"refresh"}).exitCode, 0);
    ::unlink(path("pk/downloads/Board.qzPackage").c_str());
    ASSERT_EQ(web({"remove", "Board", "--yes"}).exitCode, 0);
    result = web({"install", "Board"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Incorrect MD5 sum for Board.qzPackage (expected " +
                              std::string(32, 'f') + " got "),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("\nMD5 verification failed\n"), std::string::npos);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("pk/Board_package.xml"))));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("pk/downloads/Board.qzPackage"))));
    server.kill();
    server.waitForFinished(5000);
}

TEST_F(QzPackageTool, TwoInstallersAtOnce) {
    std::vector<std::pair<std::string, std::string>> entries = {
        {"Big_package.xml", "<package name=\"Big\"/>"}};
    for (int i = 0; i < 200; ++i)
        entries.push_back({"big/f" + std::to_string(i), std::string(20000, char('a' + i % 26))});
    makePackage("repo/Big.qzPackage", entries);
    QProcess first, second;
    for (auto [process, file] :
         {std::pair{&first, "repo/Big.qzPackage"}, std::pair{&second, "repo/Core.qzPackage"}}) {
        process->setWorkingDirectory(QString::fromStdString(m_root));
        process->start(QString::fromStdString(toolPath("qzpackage")),
                       {"--dir", "pk", "install", file, "--yes"});
    }
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    ToolResult verified = runTool("qzpackage", {"--dir", "pk", "verify"}, {}, m_root);
    EXPECT_EQ(verified.exitCode, 0) << verified.out;
    EXPECT_NE(verified.out.find("include/core.h"), std::string::npos);
    EXPECT_NE(verified.out.find("big/f199"), std::string::npos);
}

TEST_F(QzPackageTool, BadInputIsAnErrorWithExitOne) {
    struct Row {
        std::vector<std::string> arguments;
        std::string err;
    } rows[] = {
        {{"frobnicate"}, "error: unknown command: frobnicate\n"},
        {{"info"}, "error: usage: qzpackage info NAME\n"},
        {{"install", "x", "--bogus"}, "error: unknown option for install: --bogus\n"},
        {{"install", "x", "--overwrite", "maybe"}, "error: --overwrite takes ask, all or none\n"},
        {{"install", "Missing"}, "cannot install package Missing as no URL has been specified\n"},
        {{"remove", "Missing", "--yes"}, "package Missing is not installed\n"},
        {{"verify", "Missing"}, "error: package Missing is not installed\n"},
        {{"refresh"},
         "error: cannot read package list " + path("repo") + "/available_packages.xml\n"},
    };
    for (const Row &row : rows) {
        ToolResult result = run(row.arguments);
        EXPECT_EQ(result.exitCode, 1) << row.arguments[0];
        EXPECT_EQ(result.err, row.err) << row.arguments[0];
    }
    ToolResult help = runTool("qzpackage", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("make-list DIR [--base-url URL]"), std::string::npos);
}

} // namespace
