#include "project/standardprojectsystem.h"

#include "core/hexception.h"
#include "project/macroexpander.h"
#include "project/projectdocument.h"
#include "project/solutionloaderror.h"
#include "scratchdirtest.h"

#include <QProcess>
#include <QStandardPaths>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using ::testing::HasSubstr;
using Kind = PropertyNode::Kind;

namespace {

const std::string kHead =
    "<?xml  version=\"1.0\" encoding=\"UTF-8\" ?>\n<!DOCTYPE Palindor_Project_File>\n";

std::string solutionText(const std::string &body, const std::string &attributes = "") {
    return kHead + "<solution Name=\"S\"" + attributes + " target=\"1\">\n" + body +
           "</solution>\n";
}

bool exists(const std::string &path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

// The tree as text: tags, attributes in name order and children in order, one per line,
// with imports marked. Two loads of equivalent files give the same text.
std::string describe(const ProjectElement &root) {
    std::string out;
    for (const XMLNode *node = &root; node; node = node->nextInTree(&root)) {
        int depth = 0;
        for (const XMLNode *up = node; up != &root; up = up->parent())
            ++depth;
        const XMLElement *element = node->toElement();
        if (!element)
            continue;
        out += std::string(std::size_t(depth) * 2, ' ') + element->tagName();
        std::vector<std::pair<std::string, std::string>> attributes;
        for (const XMLAttribute &attribute : element->getAttributeList())
            attributes.emplace_back(attribute.name, attribute.value.view());
        std::sort(attributes.begin(), attributes.end());
        for (const auto &[name, value] : attributes)
            out += " " + name + "=[" + value + "]";
        const ProjectElement *project = ProjectElement::from(node);
        if (project && project->isImported())
            out += project->canModify() ? " (imported)" : " (imported, read-only)";
        out += "\n";
    }
    return out;
}

class SolutionTest : public ScratchDirTest {
protected:
    SolutionTest() : m_system(m_macros) {
        m_system.setWarningHandler([this](const std::string &w) { m_warnings.push_back(w); });
        m_system.setTargetNumber(7);
    }

    std::string loadError(const std::string &file) {
        try {
            m_system.loadSolution(file);
        } catch (const SolutionLoadError &error) {
            return error.what();
        }
        return "(loaded)";
    }

    MacroExpander m_macros;
    StandardProjectSystem m_system;
    std::vector<std::string> m_warnings;
};

// --- loading --------------------------------------------------------------------------

TEST_F(SolutionTest, BuildsTheTreeWithKindsAndConfigurationMaps) {
    ProjectElement *root =
        m_system.loadSolution(testDataPath("project/solutions/canonical.qzProject"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->kind(), Kind::Solution);
    ASSERT_NE(root->configuration("Debug"), nullptr);
    EXPECT_EQ(root->inheritedConfigurations().at("Debug"), std::vector<std::string>{"Common"});

    ProjectElement *project =
        ProjectElement::from(root->firstChild()->nextSibling()->nextSibling());
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(project->kind(), Kind::Project);
    EXPECT_EQ(project->projectType(), "Executable");
    ProjectElement *folder = ProjectElement::from(project->firstChild()->nextSibling());
    ProjectElement *file = ProjectElement::from(folder->lastChild());
    EXPECT_EQ(file->kind(), Kind::File);
    EXPECT_EQ(file->displayName(), "$(ProjectDir)/led.c");
    EXPECT_EQ(file->storedValue("Debug", "build_exclude_from_build"), "Yes");
    EXPECT_EQ(file->project(), project);
    EXPECT_EQ(file->solution(), root);
    EXPECT_TRUE(ProjectElement::from(project->lastChild())->isDynamicFolder());
    EXPECT_FALSE(m_system.isModified());
}

TEST_F(SolutionTest, ReportsProgressWhileLoading) {
    std::vector<std::string> texts;
    std::vector<std::pair<long, long>> counts;
    m_system.setProgressHandler([&](const std::string &text, long done, long total) {
        texts.push_back(text);
        counts.emplace_back(done, total);
    });
    const std::string file = write("a.qzProject", solutionText(""));
    m_system.loadSolution(file);
    EXPECT_EQ(texts, std::vector<std::string>{"Loading solution " + file});

    m_system.closeSolution();
    counts.clear();
    m_system.loadSolution(
        write("b.qzProject",
              solutionText(
                  "<project Name=\"a\"><file file_name=\"x\"/></project><project Name=\"b\"/>")));
    EXPECT_EQ(counts, (std::vector<std::pair<long, long>>{{0, 0}, {0, 2}, {1, 2}, {2, 2}}));
}

TEST_F(SolutionTest, LoadFailuresNameTheFile) {
    EXPECT_EQ(loadError(path("none.qzProject")), path("none.qzProject") + " does not exist");
    EXPECT_EQ(loadError(m_dir.path().toStdString()), m_dir.path().toStdString() + " cannot access");

    const std::string bad = write("bad.qzProject", kHead + "<solution><project></solution>");
    EXPECT_EQ(loadError(bad), bad + " is a malformed solution file (bad XML)");
    const std::string cut = write("cut.qzProject", kHead + "<solution Name=\"S\"");
    EXPECT_EQ(loadError(cut), cut + " is a malformed solution file (bad XML)");

    const std::string other =
        write("other.qzProject", "<!DOCTYPE Board_Memory_Definition_File>\n<solution/>\n");
    EXPECT_EQ(loadError(other), other + " not a solution file");
    const std::string none = write("none.xml", "<solution/>\n");
    EXPECT_EQ(loadError(none), none + " not a solution file");
    const std::string root = write("root.qzProject", kHead + "<project/>\n");
    EXPECT_EQ(loadError(root), root + " not a solution file");
    EXPECT_EQ(m_system.solution(), nullptr);
}

TEST_F(SolutionTest, SpecialFilesAreNotRead) {
    // A FIFO would block the load for ever; a device would never end.
    const std::string fifo = path("fifo.qzProject");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(loadError(fifo), fifo + " cannot access");
    EXPECT_EQ(loadError("/dev/zero"), "/dev/zero cannot access");
}

TEST_F(SolutionTest, AFailedLoadKeepsTheOpenSolution) {
    const std::string good = write("good.qzProject", solutionText(""));
    ProjectElement *root = m_system.loadSolution(good);
    const std::string bad =
        write("bad.qzProject", solutionText("<import file_name=\"gone.qzProject\"/>"));
    EXPECT_EQ(loadError(bad), path("gone.qzProject") + " does not exist");
    EXPECT_EQ(m_system.solution(), root);
    EXPECT_EQ(loadError(good), good + " solution already loaded");
}

TEST_F(SolutionTest, DuplicateConfigurationsFirstWinsAndBothAreKept) {
    const std::string file =
        write("dup.qzProject", solutionText("  <configuration Name=\"Debug\" a=\"1\" />\n  "
                                            "<configuration Name=\"Debug\" a=\"2\"/>\n"));
    ProjectElement *root = m_system.loadSolution(file);
    EXPECT_EQ(root->storedValue("Debug", "a"), "1");
    ASSERT_EQ(m_warnings.size(), 1u);
    EXPECT_THAT(m_warnings[0], HasSubstr("\"Debug\" appears more than once"));
    ASSERT_TRUE(m_system.saveSolution(*root, path("out.qzProject"), false));
    EXPECT_THAT(readFileBytes(path("out.qzProject")),
                HasSubstr("a=\"1\" />\n  <configuration Name=\"Debug\" a=\"2\""));
}

TEST_F(SolutionTest, EnvironmentVariablesGoToChildrenOnly) {
    ::unsetenv("PALINDOR_TEST_BOARD");
    m_macros.setGlobalMacro("Board", "nucleo");
    const std::string file =
        write("env.qzProject",
              solutionText("  <configuration Name=\"Common\" "
                           "environment_variables=\"PALINDOR_TEST_BOARD=$(Board);X=1\"/>\n"));
    m_system.loadSolution(file);
    EXPECT_EQ(std::getenv("PALINDOR_TEST_BOARD"), nullptr);
    EXPECT_EQ(m_system.environmentOverlay().at("PALINDOR_TEST_BOARD"), "nucleo");
    const auto child = m_system.childEnvironment();
    EXPECT_NE(std::find(child.begin(), child.end(), "PALINDOR_TEST_BOARD=nucleo"), child.end());
    EXPECT_NE(std::find(child.begin(), child.end(), "X=1"), child.end());
    m_system.closeSolution();
    EXPECT_TRUE(m_system.environmentOverlay().empty());
}

TEST_F(SolutionTest, TemplatesAreRemembered) {
    write("templates/t.xml",
          "<templates><project template_name=\"Blank\"/><x template_name=\"Lib\"/></templates>");
    const std::string file =
        write("t.qzProject", solutionText("  <project Name=\"P\" template_name=\"Own\"/>\n",
                                          " templates_file=\"templates/t.xml\""));
    m_system.loadSolution(file);
    EXPECT_EQ(m_system.templatesFile(), path("templates/t.xml"));
    EXPECT_EQ(m_system.templateNames(), (std::vector<std::string>{"Own", "Blank", "Lib"}));
}

// --- imports --------------------------------------------------------------------------

TEST_F(SolutionTest, ImportsLoadFromTheExpandedPathAndSaveTheWrittenOne) {
    m_macros.setGlobalMacro("TovanDir", path("lib"));
    write("lib/library.qzProject",
          solutionText("  <project Name=\"Lib\">\n    <configuration Name=\"Common\" "
                       "c_preprocessor_definitions=\"$(Flavour)\"/>\n  </project>\n"));
    const std::string file = write(
        "main.qzProject",
        solutionText(
            "  <import file_name=\"$(TovanDir)/library.qzProject\" macros=\"Flavour=fast\"/>\n"));
    ProjectElement *root = m_system.loadSolution(file);
    ProjectElement *imported = ProjectElement::from(root->firstChild());
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(imported->kind(), Kind::Solution);
    EXPECT_TRUE(imported->isImported());
    EXPECT_TRUE(imported->canModify());
    EXPECT_EQ(imported->attributeOr("file_name"), "$(TovanDir)/library.qzProject");
    EXPECT_EQ(imported->cachedPath(), path("lib/library.qzProject"));

    ASSERT_TRUE(m_system.saveSolution(*root, path("saved.qzProject"), false));
    const std::string saved = readFileBytes(path("saved.qzProject"));
    // The macros go back too, or the next load would build a different tree.
    EXPECT_THAT(saved, HasSubstr("<import file_name=\"$(TovanDir)/library.qzProject\" "
                                 "macros=\"Flavour=fast\" />"));
    EXPECT_THAT(saved, ::testing::Not(HasSubstr("Lib")));

    StandardProjectSystem again(m_macros);
    again.setWarningHandler([](const std::string &) {});
    EXPECT_EQ(describe(*again.loadSolution(path("saved.qzProject"))), describe(*root));
}

TEST_F(SolutionTest, ImportCyclesAndDepthFail) {
    const std::string a = write("a.qzProject", solutionText("<import file_name=\"b.qzProject\"/>"));
    write("b.qzProject", solutionText("<import file_name=\"./a.qzProject\"/>"));
    EXPECT_EQ(loadError(a), path("./a.qzProject") + " solution already loaded");
    const std::string self =
        write("self.qzProject", solutionText("<import file_name=\"self.qzProject\"/>"));
    EXPECT_EQ(loadError(self), path("self.qzProject") + " solution already loaded");

    for (int i = 0; i <= StandardProjectSystem::kMaxImportDepth + 1; ++i)
        write("d" + std::to_string(i) + ".qzProject",
              solutionText("<import file_name=\"d" + std::to_string(i + 1) + ".qzProject\"/>"));
    EXPECT_THAT(loadError(path("d0.qzProject")), HasSubstr("imports nested deeper than 32"));
    // 32 levels are fine.
    write("d32.qzProject", solutionText(""));
    EXPECT_EQ(loadError(path("d0.qzProject")), "(loaded)");
}

TEST_F(SolutionTest, AnImportedFileWithErrorsFailsTheWholeLoad) {
    write("broken.qzProject", kHead + "<solution>");
    const std::string file =
        write("m.qzProject", solutionText("<import file_name=\"broken.qzProject\"/>"));
    EXPECT_EQ(loadError(file),
              path("broken.qzProject") + " is a malformed solution file (bad XML)");
    EXPECT_EQ(m_system.solution(), nullptr);
}

TEST_F(SolutionTest, ReadOnlyImportsRefuseEdits) {
    write("ro.qzProject", solutionText("  <project Name=\"Ro\"/>\n"));
    const std::string file =
        write("m.qzProject",
              solutionText("  <import can_modify_solution=\"No\" file_name=\"ro.qzProject\"/>\n"));
    ProjectElement *root = m_system.loadSolution(file);
    ProjectElement *imported = ProjectElement::from(root->firstChild());
    EXPECT_FALSE(imported->canModify());
    ProjectElement *project = ProjectElement::from(imported->firstChild());
    EXPECT_FALSE(project->isEditable());
    EXPECT_THROW(project->storeValue("Common", "x", std::string("1")), HException);
    EXPECT_EQ(project->configuration("Common"), nullptr);
    root->storeValue("Common", "x", std::string("1"));
    EXPECT_EQ(root->storedValue("Common", "x"), "1");
    ASSERT_TRUE(m_system.saveSolution(*root, path("out.qzProject"), false));
    EXPECT_THAT(readFileBytes(path("out.qzProject")),
                HasSubstr("<import can_modify_solution=\"No\" file_name=\"ro.qzProject\" />"));
}

TEST_F(SolutionTest, SavingKeepsEditsBelowImportsPendingUntilTheirFileIsSaved) {
    const std::string lib = write("lib.qzProject", solutionText("  <project Name=\"L\"/>\n"));
    const std::string file =
        write("m.qzProject",
              solutionText("  <import file_name=\"lib.qzProject\"/>\n  <project Name=\"M\"/>\n"));
    ProjectElement *root = m_system.loadSolution(file);
    ProjectElement *libProject = ProjectElement::from(root->firstChild()->firstChild());
    ProjectElement *own = ProjectElement::from(root->lastChild());
    libProject->storeValue("Common", "x", std::string("lib"));
    libProject->setModified(true);
    own->storeValue("Common", "x", std::string("own"));
    own->setModified(true);

    ASSERT_TRUE(m_system.saveSolution(*root, file, false));
    EXPECT_FALSE(own->isModified());
    EXPECT_TRUE(libProject->isModified());
    EXPECT_TRUE(m_system.isModified());
    EXPECT_THAT(readFileBytes(lib), ::testing::Not(HasSubstr("x=\"lib\"")));

    ASSERT_TRUE(m_system.saveAll());
    EXPECT_FALSE(libProject->isModified());
    EXPECT_FALSE(m_system.isModified());
    const std::string saved = readFileBytes(lib);
    EXPECT_THAT(saved, HasSubstr("x=\"lib\""));
    // The imported file is written with its contents, not as an import of itself.
    EXPECT_THAT(saved, ::testing::Not(HasSubstr("file_name")));
    EXPECT_EQ(ProjectElement::from(root->firstChild())->attributeOr("file_name"), "lib.qzProject");
}

// --- load command ---------------------------------------------------------------------

TEST_F(SolutionTest, LoadCommandRunsOnlyWhenAllowed) {
    const std::string file =
        write("cmd.qzProject", solutionText("", " load_command=\"touch marker\""));
    m_system.loadSolution(file);
    EXPECT_FALSE(exists(path("marker")));
    ASSERT_EQ(m_warnings.size(), 1u);
    EXPECT_EQ(m_warnings[0], "solution load command not run: \"touch marker\"");

    // Imported files are held to the same rule.
    m_system.closeSolution();
    const std::string outer =
        write("outer.qzProject", solutionText("<import file_name=\"cmd.qzProject\"/>"));
    m_system.loadSolution(outer);
    EXPECT_FALSE(exists(path("marker")));

    m_system.closeSolution();
    SolutionLoadOptions options;
    options.allowLoadCommand = true;
    m_system.setLoadOptions(options);
    std::vector<std::string> texts;
    m_system.setProgressHandler(
        [&](const std::string &text, long, long) { texts.push_back(text); });
    m_system.loadSolution(file);
    // Run in the solution's directory.
    EXPECT_TRUE(exists(path("marker")));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Executing load commands"), texts.end());
}

TEST_F(SolutionTest, LoadCommandIsNotAShellAndReportsFailures) {
    SolutionLoadOptions options;
    options.allowLoadCommand = true;
    options.loadCommandTimeoutMs = 1000;
    m_system.setLoadOptions(options);
    const std::string shell =
        write("shell.qzProject", solutionText("", " load_command=\"echo x &gt; b\""));
    m_system.loadSolution(shell);
    EXPECT_FALSE(exists(path("b")));
    m_system.closeSolution();

    const std::string missing =
        write("missing.qzProject", solutionText("", " load_command=\"no-such-program-here x\""));
    EXPECT_EQ(loadError(missing), "solution load command \"no-such-program-here x\" not found");
    const std::string failing =
        write("failing.qzProject", solutionText("", " load_command=\"false\""));
    EXPECT_EQ(loadError(failing), "solution load command failed (exit code 1) \"false\"");
    const std::string slow =
        write("slow.qzProject", solutionText("", " load_command=\"sleep 20\""));
    EXPECT_THAT(loadError(slow), HasSubstr("solution load command failed (timed out"));
    const std::string env =
        write("env.qzProject",
              solutionText("", " load_command=\"sh -c &quot;test $PALINDOR_X = yes&quot;\" "
                               "load_command_environment=\"PALINDOR_X=yes\""));
    EXPECT_EQ(loadError(env), "(loaded)");
}

// --- saving ---------------------------------------------------------------------------

TEST_F(SolutionTest, CanonicalFileRoundTripsByteForByte) {
    const std::string source = testDataPath("project/solutions/canonical.qzProject");
    ProjectElement *root = m_system.loadSolution(source);
    ASSERT_TRUE(m_system.saveSolution(*root, path("copy.qzProject"), false));
    EXPECT_EQ(readFileBytes(path("copy.qzProject")), readFileBytes(source));
}

TEST_F(SolutionTest, ValuesSurviveLoadSaveLoad) {
    const std::string file = write(
        "v.qzProject",
        solutionText("  <project Name=\"Gr\xC3\xBC\xC3\x9F\">\n    <configuration Name=\"Common\" "
                     "a=\"say &quot;hi&quot; &amp; &apos;bye&apos; &lt;x&gt;\" "
                     "b=\"line1&#10;line2&#9;tab\"/>\n"
                     "    <unknown keep=\"me\" a=\"z\"><file file_name=\"f.c\"/></unknown>\n  "
                     "</project>\n"));
    ProjectElement *root = m_system.loadSolution(file);
    const std::string before = describe(*root);
    EXPECT_THAT(before, HasSubstr("Gr\xC3\xBC\xC3\x9F"));
    EXPECT_THAT(before, HasSubstr("b=[line1\nline2\ttab]"));
    EXPECT_THAT(before, HasSubstr("unknown a=[z] keep=[me]"));
    ASSERT_TRUE(m_system.saveSolution(*root, path("v2.qzProject"), false));
    StandardProjectSystem again(m_macros);
    EXPECT_EQ(describe(*again.loadSolution(path("v2.qzProject"))), before);
}

// An independent reader sees the same tree in the file as written by hand and as saved:
// tags, attribute values and child order. (ASCII only: the writer still spells each byte of
// a UTF-8 sequence as its own reference, which other readers take as Latin-1.)
TEST_F(SolutionTest, SavedFileHasTheSameTreeForAnotherReader) {
    const std::string python = QStandardPaths::findExecutable("python3").toStdString();
    if (python.empty())
        GTEST_SKIP() << "python3 not found";
    const std::string file = write(
        "h.qzProject",
        kHead +
            "<solution target=\"3\"   Name=\"H\">\n<project Name=\"P\"><configuration "
            "z=\"&lt;&amp; &quot;q&quot;\" Name=\"Common\" a=\"l1&#10;l2\"/>\n<folder "
            "Name=\"F\"><file file_name=\"f.c\"/></folder><odd x=\"1\"/></project>\n</solution>\n");
    ProjectElement *root = m_system.loadSolution(file);
    ASSERT_TRUE(m_system.saveSolution(*root, path("h2.qzProject"), false));
    const char *script = "import sys, xml.etree.ElementTree as E\n"
                         "def t(e): return (e.tag, sorted(e.attrib.items()), [t(c) for c in e])\n"
                         "a, b = (t(E.parse(f).getroot()) for f in sys.argv[1:3])\n"
                         "sys.exit(0 if a == b else 1)\n";
    QProcess process;
    process.start(QString::fromStdString(python), {"-c", script, QString::fromStdString(file),
                                                   QString::fromStdString(path("h2.qzProject"))});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

TEST_F(SolutionTest, SortedSavePutsConfigurationsFirstThenFoldersThenFiles) {
    const std::string file = write(
        "s.qzProject",
        solutionText(
            "  <project Name=\"P\">\n    <file file_name=\"b.c\"/>\n    <folder Name=\"Z\"/>\n"
            "    <file file_name=\"a.c\"/>\n    <configuration Name=\"Release\"/>\n"
            "    <folder Name=\"A\"/>\n    <configuration Name=\"Debug\"/>\n  </project>\n"));
    ProjectElement *root = m_system.loadSolution(file);
    ASSERT_TRUE(m_system.saveSolution(*root, path("sorted.qzProject"), true));
    EXPECT_THAT(readFileBytes(path("sorted.qzProject")),
                HasSubstr("<project Name=\"P\">\n    <configuration Name=\"Debug\" />\n"
                          "    <configuration Name=\"Release\" />\n    <folder Name=\"A\" />\n"
                          "    <folder Name=\"Z\" />\n    <file file_name=\"a.c\" />\n"
                          "    <file file_name=\"b.c\" />\n  </project>"));
    ASSERT_TRUE(m_system.saveSolution(*root, path("plain.qzProject"), false));
    EXPECT_THAT(
        readFileBytes(path("plain.qzProject")),
        HasSubstr(
            "<project Name=\"P\">\n    <file file_name=\"b.c\" />\n    <folder Name=\"Z\" />"));
}

TEST_F(SolutionTest, SavingSuppliesTheTargetAndDropsEmptyNames) {
    const std::string file =
        write("t.qzProject", kHead + "<solution Name=\"S\"><project Name=\"\"/></solution>\n");
    ProjectElement *root = m_system.loadSolution(file);
    ASSERT_TRUE(m_system.saveSolution(*root, path("t2.qzProject"), false));
    EXPECT_EQ(root->attributeOr("target"), "7");
    EXPECT_THAT(readFileBytes(path("t2.qzProject")),
                HasSubstr("<solution Name=\"S\" target=\"7\">\n  <project/>"));
}

TEST_F(SolutionTest, DynamicFoldersKeepOnlyTheirSettings) {
    const std::string file = write(
        "d.qzProject",
        solutionText("  <folder Name=\"Gen\" path=\"gen\">\n    <file file_name=\"gen/x.c\"/>\n"
                     "    <configuration Name=\"Common\" v=\"1\"/>\n  </folder>\n"));
    ProjectElement *root = m_system.loadSolution(file);
    ASSERT_TRUE(m_system.saveSolution(*root, path("d2.qzProject"), false));
    const std::string saved = readFileBytes(path("d2.qzProject"));
    EXPECT_THAT(saved, HasSubstr("<configuration Name=\"Common\" v=\"1\" />"));
    EXPECT_THAT(saved, ::testing::Not(HasSubstr("gen/x.c")));
}

TEST_F(SolutionTest, ConditionalSectionsAreNotSavedOverTheirFile) {
    const std::string text = solutionText("  <define name=\"Fast\" value=\"1\"/>\n  <ifdef "
                                          "name=\"Fast\">\n    <project Name=\"F\"/>\n"
                                          "  </ifdef>\n  <project Name=\"$(Keep)\"/>\n");
    const std::string file = write("c.qzProject", text);
    ProjectElement *root = m_system.loadSolution(file);
    EXPECT_TRUE(root->hasConditionalSections());
    // Without expansion, values keep their references.
    EXPECT_THAT(describe(*root), HasSubstr("Name=[$(Keep)]"));
    root->setModified(true);
    EXPECT_FALSE(m_system.saveSolution(*root, file, false));
    EXPECT_EQ(m_system.lastError(), file + " has conditional sections and cannot be saved");
    EXPECT_EQ(readFileBytes(file), text);
    EXPECT_TRUE(root->isModified());

    ASSERT_TRUE(m_system.saveSolutionAs(path("flat")));
    EXPECT_EQ(root->cachedPath(), path("flat.qzProject"));
    EXPECT_FALSE(root->isModified());
    EXPECT_TRUE(m_system.saveSolution(*root, root->cachedPath(), false));
}

TEST_F(SolutionTest, AFailedSaveKeepsFlagsAndTheOldFile) {
    const std::string file = write("f.qzProject", solutionText(""));
    ProjectElement *root = m_system.loadSolution(file);
    root->storeValue("Common", "x", std::string("1"));
    root->setModified(true);
    EXPECT_FALSE(m_system.saveSolution(*root, "/dev/full", false));
    EXPECT_EQ(m_system.lastError(), "Can't open /dev/full for writing");
    EXPECT_FALSE(m_system.saveSolutionAs(path("no/such/dir/x")));
    EXPECT_EQ(m_system.lastError(),
              "Can't open " + path("no/such/dir/x.qzProject") + " for writing");
    EXPECT_TRUE(root->isModified());
    EXPECT_EQ(root->cachedPath(), file);
    EXPECT_EQ(readFileBytes(file), solutionText(""));
}

TEST_F(SolutionTest, SaveAsAddsTheExtensionOnce) {
    EXPECT_EQ(StandardProjectSystem::withSolutionExtension("a"), "a.qzProject");
    EXPECT_EQ(StandardProjectSystem::withSolutionExtension("a.qzProject"), "a.qzProject");
    EXPECT_EQ(StandardProjectSystem::withSolutionExtension("a.qzproject"), "a.qzproject.qzProject");
}

TEST_F(SolutionTest, DeepAndWideTreesNeedNoStack) {
    // Loading, map building and destruction at a depth no recursion survives; saving at a
    // depth whose indentation stays small.
    auto nested = [](int depth) {
        std::string body;
        for (int i = 0; i < depth; ++i)
            body += "<folder Name=\"f\">";
        for (int i = 0; i < depth; ++i)
            body += "</folder>";
        for (int i = 0; i < 20000; ++i)
            body += "<configuration Name=\"c" + std::to_string(i) + "\"/>";
        return body;
    };
    ProjectElement *root =
        m_system.loadSolution(write("deep.qzProject", solutionText(nested(100000))));
    EXPECT_EQ(root->configurations().size(), 20000u);
    m_system.closeSolution();
    root = m_system.loadSolution(write("deeper.qzProject", solutionText(nested(2000))));
    ASSERT_TRUE(m_system.saveSolution(*root, path("deep2.qzProject"), true));
    m_system.closeSolution();
    EXPECT_EQ(loadError(path("deep2.qzProject")), "(loaded)");
}

// --- node operations and the closing questions ----------------------------------------

TEST_F(SolutionTest, ConfigurationMapsFollowEdits) {
    ProjectElement *root = m_system.loadSolution(
        write("e.qzProject", solutionText("  <configuration Name=\"A\"/>\n")));
    ProjectElement *a = root->configuration("A");
    a->setAttribute("Name", "B");
    EXPECT_EQ(root->configuration("A"), nullptr);
    EXPECT_EQ(root->configuration("B"), a);
    a->setAttribute("inherited_configurations", "X;Y");
    EXPECT_EQ(root->inheritedConfigurations().at("B"), (std::vector<std::string>{"X", "Y"}));
    ProjectElement *created = root->configurationOrCreate("Release");
    EXPECT_EQ(root->configuration("Release"), created);
    EXPECT_EQ(root->firstChild()->nextSibling(), created);
    EXPECT_EQ(root->configurationOrCreate("Release"), created);
}

TEST(SolutionQuestions, TextsOfClosingAndExternalChanges) {
    EXPECT_EQ(StandardProjectSystem::closeRefusal(true, true, true),
              "You cannot exit or close a solution while building.");
    EXPECT_EQ(StandardProjectSystem::closeRefusal(false, true, false),
              "You cannot exit or close a solution while debugging.");
    EXPECT_EQ(StandardProjectSystem::closeRefusal(false, false, true),
              "You cannot exit or close a solution while a script is running.");
    EXPECT_EQ(StandardProjectSystem::closeRefusal(false, false, false), std::nullopt);
    EXPECT_EQ(StandardProjectSystem::externalChangeQuestion(false, "P"),
              "The project file been modified externally.\n\nDo you want to re-load the project?");
    EXPECT_EQ(StandardProjectSystem::externalChangeQuestion(true, "P"),
              "The project file been modified within P and has also been modified "
              "externally.\n\nDo you want to re-load the project?");
}

TEST_F(SolutionTest, CloseIsRefusedWhileBuildingAndChangesOnDiskAreSeen) {
    const std::string file = write("x.qzProject", solutionText(""));
    m_system.loadSolution(file);
    EXPECT_TRUE(m_system.closeSolution(true).has_value());
    EXPECT_NE(m_system.solution(), nullptr);
    EXPECT_FALSE(m_system.changedOnDisk());
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_TRUE(m_system.changedOnDisk());
    EXPECT_EQ(m_system.closeSolution(), std::nullopt);
    EXPECT_EQ(m_system.solution(), nullptr);
}

} // namespace
