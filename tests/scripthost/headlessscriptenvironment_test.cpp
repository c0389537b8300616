#include "hosttesting.h"
#include "scratchdirtest.h"

#include "packages/packagesystem.h"
#include "packages/packageuserinterface.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class HeadlessSolutions : public ScratchDirTest {
protected:
    std::string eval(const std::string &source) {
        return host.eval(QString::fromStdString(source)).toStdString();
    }
    std::string solution() {
        return write("batch.qzProject",
                     "<!DOCTYPE Palindor_Project_File>\n"
                     "<solution Name=\"Batch\" version=\"1\">\n"
                     "  <configuration Name=\"Common\" batch_build_configurations=\"Debug;"
                     "Release\" />\n"
                     "  <configuration Name=\"Debug\" />\n"
                     "  <configuration Name=\"Release\" />\n"
                     "  <project Name=\"Boot\">\n"
                     "    <configuration Name=\"Common\" batch_build_configurations=\"Release\" "
                     "/>\n"
                     "  </project>\n"
                     "  <project Name=\"App\" />\n"
                     "</solution>\n");
    }

    HostFixture host;
};

TEST_F(HeadlessSolutions, BuildsNeedAnOpenSolution) {
    EXPECT_EQ(eval("Build.buildSolution()"), "2");
    EXPECT_EQ(host.output, QStringLiteral("error: no solution is open\nBuild failed\n"));
    EXPECT_EQ(eval("Build.buildConfiguration() + '|' + Build.activeProject()"), "|");
    EXPECT_EQ(eval("tovan.reloadSolution()"), "error: no solution is open");
}

TEST_F(HeadlessSolutions, AStopRequestCancelsARunningBuild) {
    const std::string compiler = write("slowcc", "#!/bin/sh\nsleep 30\n");
    QFile::setPermissions(QString::fromStdString(compiler),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    write("a.c", "int a;\n");
    const std::string file =
        write("slow.qzProject", "<!DOCTYPE Palindor_Project_File>\n"
                                "<solution Name=\"Slow\">\n"
                                "  <configuration Name=\"Debug\" />\n"
                                "  <project Name=\"Slow\">\n"
                                "    <configuration Name=\"Common\" project_type=\"Object file\" "
                                "external_c_compile_command=\"" +
                                    compiler +
                                    "\" />\n"
                                    "    <file file_name=\"a.c\" />\n"
                                    "  </project>\n"
                                    "</solution>\n");
    ASSERT_EQ(eval("tovan.openSolution('" + file + "')"), "true");
    std::atomic<bool> stop = false;
    host.environment.setStopQuery([&] { return stop.load(); });
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(eval("Build.buildActiveProject() == Build.BuildCancelled"), "true");
    stopper.join();
    host.environment.setStopQuery({});
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(host.output.endsWith(QStringLiteral("Build terminated\n")))
        << host.output.toStdString();
}

TEST_F(HeadlessSolutions, OpeningSelectsTheFirstProjectAndConfiguration) {
    std::string file = solution();
    EXPECT_EQ(eval("tovan.openSolution('" + file + "')"), "true");
    EXPECT_EQ(eval("Build.activeProject() + '|' + Build.buildConfiguration()"), "Boot|Debug");
    EXPECT_EQ(eval("Build.setBuildConfiguration('Common')"), "error: no configuration Common");
    EXPECT_EQ(eval("tovan.setActiveProject('App') + tovan.getActiveProject()"), "trueApp");
    EXPECT_EQ(eval("tovan.setActiveProject('Nope')"), "false");
    EXPECT_EQ(eval("tovan.getSolutionAttribute('Name')"), "Batch");
    EXPECT_EQ(eval("tovan.setSolutionAttribute('note', 'x') + tovan.getSolutionAttribute('note')"),
              "truex");
    EXPECT_EQ(host.environment.batchBuildConfigurations(QString()),
              QStringList({QStringLiteral("Debug"), QStringLiteral("Release")}));
    // The project's list adds to the solution's; a configuration named twice is built once.
    EXPECT_EQ(host.environment.batchBuildConfigurations(QStringLiteral("Boot")),
              QStringList({QStringLiteral("Debug"), QStringLiteral("Release")}));
    EXPECT_EQ(eval("Build.setBuildConfiguration('Release'); tovan.reloadSolution() + "
                   "Build.buildConfiguration()"),
              "trueRelease")
        << host.messages.toStdString();

    // Recent solutions, newest first, each once.
    std::string other = write("other.qzProject", "<!DOCTYPE Palindor_Project_File>\n"
                                                 "<solution Name=\"Other\">\n"
                                                 "  <configuration Name=\"Debug\" />\n"
                                                 "</solution>\n");
    eval("tovan.openSolution('" + other + "'); tovan.openSolution('" + file + "', true)");
    EXPECT_EQ(eval("tovan.getRecentSolutions(5).join('|')"), file + "|" + other);
    EXPECT_EQ(eval("tovan.getRecentSolutions(1).join('|')"), file);

    host.messages.clear();
    EXPECT_EQ(eval("tovan.openSolution('" + path("missing.qzProject") + "')"), "false");
    EXPECT_TRUE(host.messages.startsWith(QStringLiteral("error: Open Solution\n")));
    EXPECT_TRUE(host.messages.contains(QStringLiteral("missing.qzProject")))
        << host.messages.toStdString();
    // A failed open leaves the solution that was open.
    EXPECT_EQ(eval("tovan.getSolutionAttribute('Name')"), "Batch");
}

TEST_F(HeadlessSolutions, SettingsFilesKeepWhatScriptsSet) {
    std::string file = path("settings.xml");
    ASSERT_TRUE(host.environment.attachSettingsFile(ScriptEnvironment::EnvironmentSettings,
                                                    QString::fromStdString(file)));
    eval("tovan.setEnvironmentSetting('Environment/Build/Building Threads', '4')");
    HeadlessScriptEnvironment other;
    ASSERT_TRUE(other.attachSettingsFile(ScriptEnvironment::EnvironmentSettings,
                                         QString::fromStdString(file)));
    EXPECT_EQ(other.setting(ScriptEnvironment::EnvironmentSettings,
                            QStringLiteral("Environment/Build/Building Threads")),
              QStringLiteral("4"));
    write("broken.xml", "<not settings");
    EXPECT_FALSE(other.attachSettingsFile(ScriptEnvironment::UserSettings,
                                          QString::fromStdString(path("broken.xml"))));
}

TEST_F(HeadlessSolutions, PackageMethodsAskThePackageSystem) {
    EXPECT_EQ(eval("tovan.getNumberOfPackagesInstalled()"),
              "error: the package system is not available");
    PackageSettings settings;
    settings.packagesDirectory = path("packages");
    ScriptedPackageUserInterface ui;
    PackageSystem packages(settings, ui);
    host.environment.setPackageSystem(&packages);
    write("packages/available_packages.xml",
          "<package_list>\n"
          "  <package name=\"Demo_Board\" title=\"Demo Board Support\" version=\"1.2\" "
          "type=\"board\" file_name=\"Demo_Board.qzArchive\" url=\"http://example.invalid/demo\" "
          "/>\n"
          "</package_list>\n");
    EXPECT_EQ(eval("tovan.getNumberOfPackagesInstalled()"), "0");
    EXPECT_EQ(eval("tovan.getPackageUpdates(10).length"), "0");
    EXPECT_EQ(eval("var d = tovan.getPackageDetails('Demo_Board'); d.title + '|' + d.version"),
              "Demo Board Support|1.2");
    EXPECT_EQ(eval("tovan.getPackageFiles(10, '', 'example', 'demo').length + ',' + "
                   "tovan.getPackageFiles(10, '', 'nowhere').length + ',' + "
                   "tovan.getPackageFiles(0).length"),
              "1,0,0");
    EXPECT_EQ(eval("tovan.installPackages(['No_Such_Package'])"), "false");
    write("packages/available_packages.xml", "<package_list");
    EXPECT_EQ(eval("tovan.getPackageFiles(1)").rfind("error: cannot load package list ", 0), 0u);
}

} // namespace
