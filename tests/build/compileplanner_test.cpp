#include "build/compileplanner.h"

#include "golden.h"
#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/nodemacros.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/standardprojectsystem.h"

#include <QDir>

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

class CompilePlannerTest : public ::testing::Test {
protected:
    CompilePlannerTest()
        : m_system(m_expander), m_macros(m_registry, m_expander, &m_system),
          m_planner(m_registry, m_macros) {
        registerBuiltinProperties(m_registry, nullptr);
        m_expander.setGlobalMacrosFromList("TovanDir=/opt/tovan");
        m_system.loadSolution(testDataPath("build/compile/compile.qzProject"));
    }
    const ProjectElement &node(const std::string &path) {
        const ProjectElement *found = NodePath::find(*m_system.solution(), path);
        EXPECT_NE(found, nullptr) << path;
        return found ? *found : *m_system.solution();
    }
    std::optional<StepPlan> plan(const std::string &path, const std::string &configuration) {
        return m_planner.plan(node(path), configuration);
    }
    static QStringList descriptions(const std::vector<StepPlan> &plans) {
        QStringList result;
        for (const StepPlan &plan : plans)
            result << plan.description;
        return result;
    }

    const QString m_dir = QDir::cleanPath(QString::fromStdString(testDataPath("build/compile")));
    MacroExpander m_expander;
    PropertyRegistry m_registry;
    ObjectExtensionSystem m_system;
    NodeMacros m_macros;
    CompilePlanner m_planner;
};

TEST_F(CompilePlannerTest, CompilesACFileWithTheResolvedOptions) {
    std::optional<StepPlan> debug = plan("App/Source Files/src/main.c", "Debug");
    ASSERT_TRUE(debug);
    const QString app = m_dir;
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
    EXPECT_EQ(typed->outputs, QStringList{m_dir + "/obj/Debug/vectors_table.o"});
    EXPECT_EQ(typed->dependencyFile, m_dir + "/deps/vectors.d");
    EXPECT_EQ(typed->arguments.mid(typed->arguments.indexOf("-depend"), 2),
              QStringList({"-depend", m_dir + "/deps/vectors.d"}));
}

TEST_F(CompilePlannerTest, CFilesAsCppAndTheToolchainDirectory) {
    std::optional<StepPlan> lib = plan("Cpp/lib.c", "Debug");
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->action, BuildAction::CompileCpp);
    EXPECT_EQ(lib->arguments.mid(0, 2), QStringList({"/opt/tc/bin/cc", "-xc++"}));
    EXPECT_TRUE(lib->arguments.contains("-Wc,-fno-threadsafe-statics"));
    EXPECT_EQ(lib->workingDirectory, m_dir + "/cpp");
    EXPECT_EQ(lib->inputs, QStringList{m_dir + "/cpp/lib.c"});
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
