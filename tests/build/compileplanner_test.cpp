#include "build/compileplanner.h"

#include "build/compilecommandswriter.h"
#include "build/nodevalues.h"
#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/nodemacros.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/standardprojectsystem.h"
#include "recordingbuilder.h"
#include "scratchdirtest.h"

#include <QDir>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

// A toolchain layer that names object files ".o".
class ObjectExtensionSystem : public StandardProjectSystem {
public:
    using StandardProjectSystem::StandardProjectSystem;
    std::string defaultExtension(FileExtension extension) const override {
        return extension == FileExtension::Object ? ".o" : "";
    }
};

// A planner over one fixture solution; `$(Scratch)` names a directory of the test's own.
class PlannerTest : public ScratchDirTest {
protected:
    explicit PlannerTest(const std::string &solution)
        : m_system(m_expander), m_macros(m_registry, m_expander, &m_system),
          m_planner(m_registry, m_macros) {
        registerBuiltinProperties(m_registry, nullptr);
        m_expander.setGlobalMacrosFromList("TovanDir=/opt/tovan;Scratch=" +
                                           m_dir.path().toStdString());
        m_system.loadSolution(testDataPath("build/compile/" + solution));
    }
    const ProjectElement &node(const std::string &path) {
        const ProjectElement *found = NodePath::find(*m_system.solution(), path);
        EXPECT_NE(found, nullptr) << path;
        return found ? *found : *m_system.solution();
    }
    std::optional<StepPlan> plan(const std::string &path, const std::string &configuration) {
        return m_planner.plan(node(path), configuration);
    }
    std::vector<StepPlan> plans(const std::string &path, const std::string &configuration) {
        return m_planner.plans(node(path), configuration);
    }
    static QStringList descriptions(const std::vector<StepPlan> &plans) {
        QStringList result;
        for (const StepPlan &plan : plans)
            result << plan.description;
        return result;
    }

    const QString m_data = QDir::cleanPath(QString::fromStdString(testDataPath("build/compile")));
    MacroExpander m_expander;
    PropertyRegistry m_registry;
    ObjectExtensionSystem m_system;
    NodeMacros m_macros;
    CompilePlanner m_planner;
};

class CompilePlannerTest : public PlannerTest {
protected:
    CompilePlannerTest() : PlannerTest("compile.qzProject") {}
};

TEST_F(CompilePlannerTest, CompilesACFileWithTheResolvedOptions) {
    std::optional<StepPlan> debug = plan("App/Source Files/src/main.c", "Debug");
    ASSERT_TRUE(debug);
    const QString app = m_data;
    EXPECT_EQ(debug->action, BuildAction::CompileC);
    EXPECT_EQ(debug->description, "Compiling main.c");
    EXPECT_EQ(debug->workingDirectory, app);
    EXPECT_EQ(debug->arguments,
              QStringList({"/opt/tovan/bin/cc", "-xc", "-DSOLUTION_WIDE", "-DDEBUG=1", "-Iinclude",
                           "-I" + app + "/generated", "-I/opt/sys/include", "-Wc,-O2",
                           "-Wc,-std=c11", "-depend", app + "/obj/Debug/main.o.d", "-c",
                           app + "/src/main.c", "-o", app + "/obj/Debug/main.o"}));
    EXPECT_EQ(debug->inputs, QStringList{app + "/src/main.c"});
    EXPECT_EQ(debug->outputs, QStringList{app + "/obj/Debug/main.o"});
    EXPECT_EQ(debug->dependencyFile, app + "/obj/Debug/main.o.d");
    EXPECT_TRUE(debug->launcher.isEmpty());

    // Another configuration changes what it sets and nothing else.
    std::optional<StepPlan> release = plan("App/Source Files/src/main.c", "Release");
    ASSERT_TRUE(release);
    EXPECT_EQ(release->arguments,
              QStringList({"/opt/tovan/bin/cc", "-xc", "-DSOLUTION_WIDE", "-UDEBUG", "-Iinclude",
                           "-I" + app + "/generated", "-I/opt/sys/include", "-we", "-Wc,-O2",
                           "-Wc,-std=c11", "-depend", app + "/obj/Release/main.o.d", "-c",
                           app + "/src/main.c", "-o", app + "/obj/Release/main.o"}));
}

TEST_F(CompilePlannerTest, CppAndAssemblyTakeTheirOwnOptions) {
    std::optional<StepPlan> cpp = plan("App/Source Files/src/util.cpp", "Debug");
    ASSERT_TRUE(cpp);
    EXPECT_EQ(cpp->action, BuildAction::CompileCpp);
    EXPECT_EQ(cpp->arguments.mid(0, 2), QStringList({"/opt/tovan/bin/cc", "-xc++"}));
    const qsizetype exceptions = cpp->arguments.indexOf("-exceptions");
    EXPECT_GT(exceptions, 0);
    EXPECT_EQ(cpp->arguments.mid(exceptions, 4),
              QStringList({"-exceptions", "-rtti", "-Wc,-O2", "-Wc,-std=c++20"}));
    EXPECT_FALSE(cpp->arguments.contains("-Wc,-std=c11"));
    // Default section names the file sets; the driver renames the compiler's sections.
    const qsizetype sections = cpp->arguments.indexOf("-Rc,.fast");
    EXPECT_GT(sections, 0);
    EXPECT_EQ(cpp->arguments.mid(sections, 2), QStringList({"-Rc,.fast", "-Rk,App_const"}));

    // Exceptions and RTTI mean nothing to C, even where the property is set.
    std::optional<StepPlan> c = plan("App/Source Files/src/main.c", "Debug");
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->arguments.contains("-exceptions"));

    std::optional<StepPlan> assembly = plan("App/Source Files/src/start.s", "Debug");
    ASSERT_TRUE(assembly);
    EXPECT_EQ(assembly->action, BuildAction::Assemble);
    EXPECT_EQ(assembly->description, "Assembling start.s");
    EXPECT_EQ(assembly->arguments.at(1), "-xasm");
    EXPECT_TRUE(assembly->arguments.contains("-Wa,--warn"));
    EXPECT_FALSE(assembly->arguments.contains("-Wc,-O2"));

    // `file_type` overrides the extension; named object and dependency files are anchored
    // at the project directory.
    std::optional<StepPlan> typed = plan("App/Source Files/src/vectors.inc", "Debug");
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->action, BuildAction::Assemble);
    EXPECT_EQ(typed->outputs, QStringList{m_data + "/obj/Debug/vectors_table.o"});
    EXPECT_EQ(typed->dependencyFile, m_data + "/deps/vectors.d");
    EXPECT_EQ(typed->arguments.mid(typed->arguments.indexOf("-depend"), 2),
              QStringList({"-depend", m_data + "/deps/vectors.d"}));
}

TEST_F(CompilePlannerTest, CFilesAsCppAndTheToolchainDirectory) {
    std::optional<StepPlan> lib = plan("Cpp/lib.c", "Debug");
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->action, BuildAction::CompileCpp);
    EXPECT_EQ(lib->arguments.mid(0, 2), QStringList({"/opt/tc/bin/cc", "-xc++"}));
    EXPECT_TRUE(lib->arguments.contains("-Wc,-fno-threadsafe-statics"));
    EXPECT_EQ(lib->workingDirectory, m_data + "/cpp");
    EXPECT_EQ(lib->inputs, QStringList{m_data + "/cpp/lib.c"});
    // The default system include directory comes from the installation directory.
    EXPECT_TRUE(lib->arguments.contains("-I/opt/tovan/include"));
}

TEST_F(CompilePlannerTest, ExcludedAndUnbuiltFilesHaveNoStep) {
    EXPECT_TRUE(plan("App/Source Files/src/skipped.c", "Debug"));
    EXPECT_FALSE(plan("App/Source Files/src/skipped.c", "Release"));
    EXPECT_FALSE(plan("App/Source Files/README.txt", "Debug"));
    EXPECT_FALSE(plan("App/Source Files/src/board.ld", "Debug"));
    EXPECT_FALSE(plan("App/Legacy/legacy/old.c", "Debug"));
    // An excluded folder takes its whole subtree out, whatever a file below says.
    EXPECT_FALSE(plan("App/Legacy/legacy/back.c", "Debug"));
    EXPECT_FALSE(plan("App/Source Files", "Debug"));

    EXPECT_EQ(descriptions(m_planner.plans(*m_system.solution(), "Debug")),
              QStringList({"Compiling main.c", "Compiling util.cpp", "Assembling start.s",
                           "Assembling vectors.inc", "Compiling skipped.c", "Compiling lib.c"}));
    EXPECT_EQ(descriptions(m_planner.plans(node("App"), "Release")),
              QStringList({"Compiling main.c", "Compiling util.cpp", "Assembling start.s",
                           "Assembling vectors.inc"}));
}

// A walk shares what plain sibling files resolve alike; files with settings of their own
// among them must still come out as they do one by one.
TEST_F(CompilePlannerTest, AWalkPlansEachFileAsItsOwnPlanDoes) {
    const std::vector<std::string> files = {
        "App/Source Files/src/main.c",    "App/Source Files/src/util.cpp",
        "App/Source Files/src/start.s",   "App/Source Files/src/vectors.inc",
        "App/Source Files/src/skipped.c", "Cpp/lib.c"};
    for (const std::string configuration : {"Debug", "Release"}) {
        std::vector<StepPlan> alone;
        for (const std::string &file : files)
            if (std::optional<StepPlan> step = plan(file, configuration))
                alone.push_back(std::move(*step));
        const std::vector<StepPlan> walked = m_planner.plans(*m_system.solution(), configuration);
        ASSERT_EQ(walked.size(), alone.size()) << configuration;
        for (std::size_t i = 0; i < walked.size(); ++i) {
            EXPECT_EQ(walked[i].arguments, alone[i].arguments)
                << alone[i].description.toStdString();
            EXPECT_EQ(walked[i].outputs, alone[i].outputs) << alone[i].description.toStdString();
            EXPECT_EQ(walked[i].dependencyFile, alone[i].dependencyFile);
            EXPECT_EQ(walked[i].workingDirectory, alone[i].workingDirectory);
        }
    }
}

// Files of a folder share the macros that do not name them, unless one was made from those
// that do (a project macro or a directory naming the input file), and the lists that name
// none of those.
class SiblingFilesTest : public PlannerTest {
protected:
    SiblingFilesTest() : PlannerTest("siblings.qzProject") {}
};

TEST_F(SiblingFilesTest, MacrosMadeFromTheInputFileAreEachFilesOwn) {
    const std::vector<StepPlan> steps = m_planner.plans(*m_system.solution(), "Debug");
    ASSERT_EQ(steps.size(), 6u);
    auto object = [&](std::size_t i) { return steps[i].outputs.value(0); };
    EXPECT_TRUE(steps[0].arguments.contains("-DUNIT=a"));
    EXPECT_TRUE(steps[1].arguments.contains("-DUNIT=b"));
    EXPECT_EQ(object(2), m_data + "/obj/a/a.o");
    EXPECT_EQ(object(3), m_data + "/obj/b/b.o");
    EXPECT_EQ(object(4), m_data + "/obj/Plain/a.o");
    EXPECT_EQ(object(5), m_data + "/obj/Plain/b.o");
    // The rest is shared there, and so is a list without the file in it.
    EXPECT_TRUE(steps[4].arguments.contains("-DFILE=a"));
    EXPECT_TRUE(steps[5].arguments.contains("-DFILE=b"));
    EXPECT_TRUE(steps[5].arguments.contains("-DPROJECT=Plain"));
}

TEST_F(SiblingFilesTest, TextsAreFilledInForEachFileButItsOwnAttributes) {
    auto siblings = std::make_shared<NodeValues::Siblings>();
    std::vector<std::unique_ptr<NodeValues>> files;
    for (const char *name : {"Plain/a.c", "Plain/b.c", "Plain/a.c"})
        files.push_back(
            std::make_unique<NodeValues>(m_registry, m_macros, node(name), "Debug", siblings));
    // The first file makes the shared macros; the others fill their names into the texts.
    for (const auto &[file, name] : {std::pair{0, "a"}, std::pair{1, "b"}, std::pair{2, "a"}}) {
        const std::unique_ptr<NodeValues> &values = files[std::size_t(file)];
        EXPECT_EQ(values->text("build_object_file_name"), m_data + "/obj/Plain/" + name + ".o");
        EXPECT_EQ(values->text("file_name"), QString(name) + ".c");
        EXPECT_EQ(values->macro("InputFileName"), QString(name) + ".c");
    }
}

class CompileStepsTest : public PlannerTest {
protected:
    CompileStepsTest() : PlannerTest("steps.qzProject") {}
    static QByteArray includes(const QStringList &paths) {
        QByteArray text;
        for (const QString &path : paths)
            text += "#include \"" + path.toUtf8() + "\"\n";
        return text;
    }
};

TEST_F(CompileStepsTest, AUnityFolderCompilesOneGeneratedFile) {
    const QString scratch = m_dir.path();
    const QString src = m_data + "/drivers/";
    const std::vector<StepPlan> debug = plans("Unity", "Debug");
    // Left out of the unity file and compiled after it: a filtered name, a filtered path,
    // another language, assembly, a name an #include line cannot hold. A second folder naming
    // the same unity file, one naming no C or C++ file and one naming a source of the solution
    // (which writing the unity file would destroy) compile one by one.
    EXPECT_EQ(descriptions(debug),
              QStringList({"Compiling folder Drivers in unity mode as Drivers_unity.c",
                           "Compiling uart_test.c", "Compiling fast.cpp", "Assembling boot.s",
                           "Compiling quo\"te.c", "Compiling x.c", "Compiling a.c", "Compiling b.c",
                           "Assembling only.s", "Compiling c.c"}));
    const StepPlan &unity = debug.front();
    const QString file = scratch + "/Debug/Drivers_unity.c";
    ASSERT_EQ(unity.generatedFiles.size(), 1u);
    EXPECT_EQ(unity.generatedFiles[0].path, file);
    EXPECT_EQ(unity.generatedFiles[0].content,
              includes({src + "uart.c", src + "sub/spi.c", src + "sub/old.c", src + "i2c.c"}));
    EXPECT_EQ(unity.action, BuildAction::CompileC);
    EXPECT_EQ(unity.inputs, QStringList({file, src + "uart.c", src + "sub/spi.c", src + "sub/old.c",
                                         src + "i2c.c"}));
    EXPECT_EQ(unity.outputs, QStringList{scratch + "/Debug/Drivers_unity.o"});
    EXPECT_EQ(unity.dependencyFile, scratch + "/Debug/Drivers_unity.o.d");
    // The built-in driver runs the launcher before the GNU compiler.
    EXPECT_TRUE(unity.launcher.isEmpty());
    EXPECT_EQ(unity.environment, QStringList{"PALINDOR_COMPILER_LAUNCHER=ccache"});
    // Compiled with the folder's options; a member's own are not part of it.
    EXPECT_TRUE(unity.arguments.contains("-DFOLDER"));
    EXPECT_FALSE(unity.arguments.contains("-DUART_ONLY"));
    EXPECT_EQ(unity.arguments.mid(unity.arguments.size() - 4),
              QStringList({"-c", file, "-o", scratch + "/Debug/Drivers_unity.o"}));

    // One file still compiles on its own, with its own options.
    std::optional<StepPlan> uart = plan("Unity/Drivers/drivers/uart.c", "Debug");
    ASSERT_TRUE(uart);
    EXPECT_EQ(uart->description, "Compiling uart.c");
    EXPECT_TRUE(uart->arguments.contains("-DUART_ONLY"));

    // An excluded member is left out; each configuration has its own unity file.
    const std::vector<StepPlan> release = plans("Unity/Drivers", "Release");
    ASSERT_FALSE(release.empty());
    ASSERT_EQ(release.front().generatedFiles.size(), 1u);
    const GeneratedFile &generated = release.front().generatedFiles[0];
    EXPECT_EQ(generated.path, scratch + "/Release/Drivers_unity.c");
    EXPECT_EQ(generated.content, includes({src + "uart.c", src + "sub/spi.c", src + "i2c.c"}));

    // Planned again, the text is the same, so the file written before is left alone and
    // keeps the time that makes its object current.
    RecordingBuilder log;
    ASSERT_TRUE(generated.write(log));
    const std::string written = generated.path.toStdString();
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, written.c_str(), old, 0), 0);
    const std::vector<StepPlan> again = plans("Unity/Drivers", "Release");
    ASSERT_TRUE(again.front().generatedFiles.at(0).write(log));
    struct stat status {};
    ASSERT_EQ(::stat(written.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtim.tv_sec, 1000000000);
    EXPECT_TRUE(log.events.isEmpty()) << log.events.join(u'\n').toStdString();

    // "Disable Unity Build": every source on its own.
    m_planner.setUnityBuildDisabled(true);
    EXPECT_EQ(descriptions(plans("Unity/Drivers", "Debug")),
              QStringList({"Compiling uart.c", "Compiling uart_test.c", "Compiling fast.cpp",
                           "Assembling boot.s", "Compiling quo\"te.c", "Compiling spi.c",
                           "Compiling x.c", "Compiling old.c", "Compiling i2c.c"}));
}

TEST_F(CompileStepsTest, ExternalCommandsGetTheBuildMacrosOfTheStep) {
    const QString obj = m_data + "/obj/";
    std::optional<StepPlan> c = plan("External/src/a.c", "Debug");
    ASSERT_TRUE(c);
    // List macros keep an item with a blank as one word.
    EXPECT_EQ(c->arguments, QStringList({"gcc", "-DA", "-DB=two words", "-UC", "-Iinc", "-Imy dir",
                                         "-I/sys", "-O2", "-std=c99", "-MD", "-MF", "obj/a.o.d",
                                         "-c", "src/a.c", "-o", obj + "a.o"}));
    EXPECT_EQ(c->launcher, QStringList({"env", "CCACHE_DIR=/c dir", "ccache"}));
    EXPECT_EQ(c->dependencyFile, obj + "a.o.d");
    EXPECT_EQ(c->outputs, QStringList{obj + "a.o"});
    EXPECT_EQ(c->workingDirectory, m_data);
    EXPECT_TRUE(c->before.empty());
    EXPECT_TRUE(c->after.empty());

    // C++ gets CppOnlyOptions and not COnlyOptions; assembly AsmOptions and no C options.
    std::optional<StepPlan> cpp = plan("External/src/b.cpp", "Debug");
    ASSERT_TRUE(cpp);
    EXPECT_EQ(cpp->arguments, QStringList({"g++", "-O2", "-fno-rtti", "[$(COnlyOptions)]", "-MF",
                                           obj + "b.o.d", "-o", "obj/b.o", m_data + "/src/b.cpp"}));
    std::optional<StepPlan> assembly = plan("External/src/c.s", "Debug");
    ASSERT_TRUE(assembly);
    EXPECT_EQ(assembly->arguments,
              QStringList({"as", "--gstabs", "-DA", "-DB=two words", "-Iinc", "-Imy dir", "-I/sys",
                           "-o", obj + "c.o", "[$(COptions)]", m_data + "/src/c.s"}));
    EXPECT_EQ(assembly->launcher, c->launcher);

    // A command that expands to nothing leaves the built-in driver, which runs the launcher.
    std::optional<StepPlan> blank = plan("External/src/d.c", "Debug");
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->arguments.front(), "/opt/tovan/bin/cc");
    EXPECT_TRUE(blank->launcher.isEmpty());
    EXPECT_EQ(blank->environment,
              QStringList{"PALINDOR_COMPILER_LAUNCHER=env\nCCACHE_DIR=/c dir\nccache"});

    // Tools that read compile commands run the compiler themselves: no launcher there.
    const QByteArray json = CompileCommandsWriter::text(plans("External", "Debug"));
    EXPECT_TRUE(json.contains("\"gcc\""));
    EXPECT_FALSE(json.contains("ccache"));
}

TEST_F(CompileStepsTest, UserCommandsAndTheAnalyzerGoWithTheCompile) {
    std::optional<StepPlan> c = plan("Steps/main.c", "Debug");
    ASSERT_TRUE(c);
    ASSERT_EQ(c->before.size(), 1u);
    const StepPlan &pre = c->before[0];
    EXPECT_EQ(pre.action, BuildAction::UserCommand);
    EXPECT_EQ(pre.description, "Pre-compile command gen.sh \"main h\" Debug");
    EXPECT_EQ(pre.arguments, QStringList({"gen.sh", "main h", "Debug"}));
    EXPECT_EQ(pre.workingDirectory, m_data + "/tools");
    EXPECT_EQ(pre.outputs, QStringList{m_data + "/gen/main.h"});

    ASSERT_EQ(c->after.size(), 2u);
    const StepPlan &analyze = c->after[0];
    EXPECT_EQ(analyze.action, BuildAction::Analyze);
    EXPECT_EQ(analyze.description, "Analyzing main.c");
    EXPECT_EQ(analyze.arguments,
              QStringList({"clang-tidy", m_data + "/main.c",
                           "-checks=bugprone-*,-bugprone-easily-swappable-parameters", "--", "-DX",
                           "-Iinc", "-I/opt/tovan/include", "-std=c11"}));
    EXPECT_EQ(analyze.workingDirectory, m_data);
    EXPECT_TRUE(analyze.launcher.isEmpty());
    const StepPlan &post = c->after[1];
    EXPECT_EQ(post.description, "Post-compile command size main.o");
    EXPECT_EQ(post.arguments, QStringList({"size", "main.o"}));
    EXPECT_EQ(post.workingDirectory, m_data);

    // C++ takes its own checks and options; assembly is not analyzed.
    std::optional<StepPlan> cpp = plan("Steps/lib.cpp", "Debug");
    ASSERT_TRUE(cpp);
    ASSERT_EQ(cpp->after.size(), 2u);
    EXPECT_EQ(cpp->after[0].arguments,
              QStringList({"clang-tidy", m_data + "/lib.cpp", "-checks=clang-analyzer-*", "--",
                           "-DX", "-Iinc", "-I/opt/tovan/include", "-std=c++20"}));
    std::optional<StepPlan> assembly = plan("Steps/start.s", "Debug");
    ASSERT_TRUE(assembly);
    EXPECT_EQ(assembly->before.size(), 1u);
    ASSERT_EQ(assembly->after.size(), 1u);
    EXPECT_EQ(assembly->after[0].description, "Post-compile command size start.o");

    // Blank commands and "No" add nothing.
    std::optional<StepPlan> quiet = plan("Steps/quiet.c", "Debug");
    ASSERT_TRUE(quiet);
    EXPECT_TRUE(quiet->before.empty());
    EXPECT_TRUE(quiet->after.empty());
}

TEST(CompilePlannerAction, FollowsTypeThenExtension) {
    using A = BuildAction;
    EXPECT_EQ(CompilePlanner::actionFor("Default", "a.c", false), A::CompileC);
    EXPECT_EQ(CompilePlanner::actionFor("Default", "a.c", true), A::CompileCpp);
    EXPECT_EQ(CompilePlanner::actionFor("", "a.c", false), A::CompileC);
    for (const char *name : {"a.cpp", "a.cc", "a.cxx", "a.c++", "a.C"})
        EXPECT_EQ(CompilePlanner::actionFor("Default", name, false), A::CompileCpp) << name;
    for (const char *name : {"a.s", "a.S", "a.asm"})
        EXPECT_EQ(CompilePlanner::actionFor("Default", name, false), A::Assemble) << name;
    for (const char *name : {"a.h", "a.cs", "Makefile", "dir.c/file", "a.", ".c/x"})
        EXPECT_EQ(CompilePlanner::actionFor("Default", name, false), A::None) << name;
    EXPECT_EQ(CompilePlanner::actionFor("Assembly", "vectors.inc", false), A::Assemble);
    EXPECT_EQ(CompilePlanner::actionFor("Linker Script", "a.c", false), A::None);
}

} // namespace
