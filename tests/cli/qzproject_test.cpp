// qzproject as a user runs it: resolved values with their trace, macros, configurations, and
// edits written back through the project system.

#include "golden.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class QzProjectTool : public ScratchDirTest {
protected:
    QzProjectTool() {
        write("app.qzProject", readFileBytes(testDataPath("project/qzproject/app.qzProject")));
        write("lib/lib.qzProject",
              readFileBytes(testDataPath("project/qzproject/lib/lib.qzProject")));
    }
    ToolResult run(std::vector<std::string> arguments) {
        return runTool("qzproject", arguments, {}, m_dir.path().toStdString());
    }
    std::string dir() const { return m_dir.path().toStdString(); }
    void expectError(const ToolResult &result, const std::string &message) {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "error: " + message + "\n");
    }
    bool exists(const std::string &name) const { return QFileInfo::exists(path(name).c_str()); }
};

TEST_F(QzProjectTool, TreeAndConfigurations) {
    ToolResult tree = run({"tree", "app.qzProject"});
    EXPECT_EQ(tree.exitCode, 0) << tree.err;
    EXPECT_EQ(tree.out, "solution Demo #0\n"
                        "  project App #1\n"
                        "    folder Source Files #2\n"
                        "      file main.c #3\n"
                        "      file src/uart.c #4\n"
                        "  solution Drivers #5\n"
                        "    project Hal #6\n"
                        "      file hal.c #7\n");
    EXPECT_EQ(run({"configurations", "app.qzProject"}).out, "Debug\nDebug2\nRelease\n");
    EXPECT_EQ(run({"configurations", "app.qzProject", "--private"}).out, "Flash\n");
    EXPECT_EQ(run({"configurations", "app.qzProject", "--all"}).out,
              "Common\nDebug\nDebug2\nFlash\nRelease\n");
    expectError(run({"configurations", "app.qzProject", "--all", "--private"}),
                "--public, --private and --all exclude each other");
}

TEST_F(QzProjectTool, ShowWithTraceNamesEveryContribution) {
    ToolResult show = run({"show", "app.qzProject", "--config", "Debug", "--node",
                           "App/Source Files/main.c", "--trace", "c_preprocessor_definitions",
                           "gcc_optimization_level", "build_quietly", "Name"});
    EXPECT_EQ(show.exitCode, 0) << show.err;
    EXPECT_EQ(show.out, "c_preprocessor_definitions = BOARD=$(Board);DEBUG;TRACE;MAIN\n"
                        "  expanded: BOARD=nucleo;DEBUG;TRACE;MAIN\n"
                        "  from: solution \"Demo\" [Common] = \"BOARD=$(Board)\"\n"
                        "  from: solution \"Demo\" [Debug] = \"DEBUG\"\n"
                        "  from: project \"App\" [Debug] = \"TRACE\"\n"
                        "  from: file \"main.c\" [Common] = \"MAIN\"\n"
                        "gcc_optimization_level = None\n"
                        "  from: project \"App\" [Debug] = \"None\"\n"
                        "build_quietly = Yes\n"
                        "  from: default\n"
                        "Name = \n"
                        "  from: default\n");
    EXPECT_EQ(show.err, "warning: no definition of property \"gcc_optimization_level\"; read as "
                        "a String without a default\n");

    // An inherited configuration names itself in the trace.
    ToolResult inherited = run({"show", "app.qzProject", "--config", "Debug2", "--node", "#3",
                                "--trace", "gcc_optimization_level"});
    EXPECT_EQ(inherited.out, "gcc_optimization_level = Level 1\n"
                             "  from: solution \"Demo\" [Flash] = \"Level 1\"\n");
    ToolResult named =
        run({"show", "app.qzProject", "--config", "Debug", "--node", "App", "--trace", "Name"});
    EXPECT_EQ(named.out, "Name = App\n  from: project \"App\" = \"App\"\n");
}

TEST_F(QzProjectTool, ValueOutputStaysCleanOfWarnings) {
    ToolResult value = run({"show", "app.qzProject", "--config", "Relase", "--node",
                            "App/Source Files/src/uart.c", "--value", "build_object_file_name",
                            "gcc_optimization_level", "c_preprocessor_definitions"});
    EXPECT_EQ(value.exitCode, 0) << value.err;
    EXPECT_EQ(value.out, dir() + "/obj/Relase/uart\n\nBOARD=nucleo\n");
    EXPECT_NE(value.err.find("warning: configuration \"Relase\" is not defined in app.qzProject\n"),
              std::string::npos)
        << value.err;
}

TEST_F(QzProjectTool, ImportedNodesByNameAndIndex) {
    for (const char *node : {"Drivers/Hal/hal.c", "lib/lib.qzProject/Hal/hal.c", "#7"}) {
        ToolResult show = run({"show", "app.qzProject", "--config", "Debug", "--node", node,
                               "c_preprocessor_definitions", "project_type"});
        EXPECT_EQ(show.exitCode, 0) << show.err;
        // $(Board) is a macro of the other project: it stays as written.
        EXPECT_EQ(show.out, "c_preprocessor_definitions = BOARD=$(Board);DEBUG;HAL\n"
                            "project_type = Library\n")
            << node;
    }
}

TEST_F(QzProjectTool, MacrosAndExpand) {
    ToolResult macros =
        run({"macros", "app.qzProject", "--config", "Debug", "--node", "App/Source Files/main.c"});
    EXPECT_EQ(macros.exitCode, 0) << macros.err;
    for (const std::string &line : std::vector<std::string>{
             "Board=nucleo", "Configuration=Debug", "FolderName=Source Files",
             "IntDir=" + dir() + "/obj/Debug", "InputPath=" + dir() + "/main.c",
             "Out=" + dir() + "/bin", "ProjectName=App", "RelInputDir=.", "SolutionName=app"})
        EXPECT_NE(("\n" + macros.out).find("\n" + line + "\n"), std::string::npos)
            << line << macros.out;

    ToolResult expand = run({"expand", "app.qzProject", "--config", "Release", "--node", "#3",
                             "--global-macros", "Tool=cc", "--",
                             "$(Tool) -o $(Out)/$(InputName) "
                             "$(Undefined) $$5"});
    EXPECT_EQ(expand.exitCode, 0) << expand.err;
    EXPECT_EQ(expand.out, "cc -o " + dir() + "/bin/main $(Undefined) $5\n");
}

TEST_F(QzProjectTool, SetWritesThroughTheProjectSystem) {
    ToolResult set = run({"set", "app.qzProject", "--config", "Release", "--node", "App",
                          "gcc_optimization_level=Level 3", "c_preprocessor_definitions=", "-o",
                          "out.qzProject"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(run({"show", "out.qzProject", "--config", "Release", "--node", "App", "--value",
                   "gcc_optimization_level", "c_preprocessor_definitions"})
                  .out,
              "Level 3\nBOARD=nucleo\n");
    // The original is untouched.
    EXPECT_EQ(readFileBytes(path("app.qzProject")),
              readFileBytes(testDataPath("project/qzproject/app.qzProject")));

    ToolResult unset = run({"set", "out.qzProject", "--config", "Release", "--node", "App",
                            "--unset", "gcc_optimization_level", "Name=Application"});
    EXPECT_EQ(unset.exitCode, 0) << unset.err;
    EXPECT_EQ(run({"show", "out.qzProject", "--config", "Release", "--node", "Application",
                   "--trace", "gcc_optimization_level"})
                  .out,
              "gcc_optimization_level = Level 2 for size\n"
              "  from: solution \"Demo\" [Release] = \"Level 2 for size\"\n");

    expectError(run({"set", "app.qzProject", "--config", "Debug", "oops"}),
                "expected NAME=VALUE, not \"oops\"");
    expectError(run({"set", "app.qzProject", "--config", "Debug", "--node", "Nowhere", "a=b"}),
                "no node \"Nowhere\" in app.qzProject");
}

TEST_F(QzProjectTool, RenameConfiguration) {
    ToolResult renamed =
        run({"rename-configuration", "app.qzProject", "Debug", "Dbg", "-o", "out.qzProject"});
    EXPECT_EQ(renamed.exitCode, 0) << renamed.err;
    EXPECT_EQ(run({"configurations", "out.qzProject"}).out, "Dbg\nDebug2\nRelease\n");
    EXPECT_EQ(run({"show", "out.qzProject", "--config", "Dbg", "--node", "#3", "--value",
                   "c_preprocessor_definitions"})
                  .out,
              "BOARD=nucleo;DEBUG;TRACE;MAIN\n");

    expectError(run({"rename-configuration", "app.qzProject", "Debug", "Debug2", "-o", "x"}),
                "configuration \"Debug2\" already exists");
    expectError(run({"rename-configuration", "app.qzProject", "Common", "Base", "-o", "x"}),
                "configuration \"Common\" cannot be renamed");
    expectError(run({"rename-configuration", "app.qzProject", "Debug", "A;B", "-o", "x"}),
                "configuration name \"A;B\" holds \";\"");
    EXPECT_FALSE(exists("x"));
}

TEST_F(QzProjectTool, SaveAndLoadErrors) {
    ToolResult save = run({"save", "app.qzProject", "-o", "copy.qzProject"});
    EXPECT_EQ(save.exitCode, 0) << save.err;
    EXPECT_EQ(run({"tree", "copy.qzProject"}).out, run({"tree", "app.qzProject"}).out);

    expectError(run({"tree", "missing.qzProject"}), "missing.qzProject does not exist");
    write("bad.qzProject", "<solution");
    expectError(run({"tree", "bad.qzProject"}),
                "bad.qzProject is a malformed solution file (bad XML)");
    expectError(run({"show", "app.qzProject", "build_quietly"}),
                "no configuration given (--config)");
    expectError(run({"show", "app.qzProject", "--config", "Debug"}),
                "show takes property names or --all");
    expectError(run({"tree", "app.qzProject", "--trace"}), "option --trace does not apply to tree");
    expectError(run({"frobnicate"}),
                "unknown command 'frobnicate'; 'qzproject --help' lists the commands");

    ToolResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("qzproject rename-configuration SOLUTION OLD NEW [-o OUT]"),
              std::string::npos);
    ToolResult commandHelp = run({"show", "--help"});
    EXPECT_EQ(commandHelp.exitCode, 0);
    EXPECT_NE(commandHelp.out.find("--value prints only"), std::string::npos);
}

TEST_F(QzProjectTool, PropertiesListsDefinitions) {
    ToolResult properties = run({"properties", "--name", "c_preprocessor_*"});
    EXPECT_EQ(properties.exitCode, 0) << properties.err;
    EXPECT_EQ(properties.out,
              "c_preprocessor_definitions\tStringList\tC/C++/Preprocessor Options\t\n"
              "c_preprocessor_undefinitions\tStringList\tC/C++/Preprocessor Options\t\n");
    ToolResult output = run({"properties", "--name", "build_output_file_name"});
    EXPECT_EQ(output.out, "build_output_file_name\tFileName\tGeneral/Build Options\t"
                          "$(OutDir)/$(ProjectName)$(EXE)\n"
                          "build_output_file_name\tFileName\tGeneral/Library Options (Library "
                          "projects)\t$(OutDir)/$(ProjectName)$(LIB)\n");
}

} // namespace
