#include "build/linkplanner.h"

#include "build/compileplanner.h"
#include "crosstool.h"
#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/nodemacros.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/standardprojectsystem.h"
#include "recordingbuilder.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Lines compared as text, so that a failure shows them readably.
std::string lines(const QStringList &items) {
    return items.join(u'\n').toStdString();
}

constexpr char kSolution[] = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE Palindor_Project_File>
<solution Name="Link" target="8">
  <configuration Name="Common" build_intermediate_directory="obj" build_output_directory="out" />
  <configuration Name="Debug" />
  <project Name="App">
    <configuration Name="Common" project_type="Executable" build_output_file_name="$(OutDir)/app.elf" c_additional_options="-mcpu=cortex-m4;-mthumb" link_include_standard_libraries="No" linker_memory_map_file="map.xml" linker_memory_map_macros="FLASH_SIZE=64K;BOARD=$(ProjectName)" linker_section_placement_file="place.xml" linker_section_placement_macros="FAST=RAM" link_symbol_definitions="__STACKSIZE__=0x800" linker_keep_symbols="vectors" linker_additional_files="lib/extra.a" linker_additional_options="-lgcc;-e,Reset_Handler" />
  </project>
  <project Name="Manual">
    <configuration Name="Common" project_type="Executable" build_output_file_name="$(OutDir)/manual" link_use_linker_script_file="Yes" link_linker_script_file="board.ld" link_symbol_definitions="__HEAPSIZE__=0x100" linker_map_file_name="maps/manual.map" linker_scanf_fp_enabled="Yes" linker_patch_build_command="sh sum.sh &quot;$(ProjectName) x&quot;" linker_patch_build_command_wd="tools" />
  </project>
  <project Name="Lib">
    <configuration Name="Common" project_type="Library" build_output_file_name="$(OutDir)/libdrv.a" linker_additional_files="ignored.o" />
  </project>
  <project Name="Ext">
    <configuration Name="Common" project_type="Executable" project_directory="with space" build_output_file_name="$(OutDir)/ext.elf" link_use_linker_script_file="Yes" link_linker_script_file="board.ld" linker_additional_options="--gc-sections;-Map x" external_link_command="link -o $(TargetPath) -T $(RelLinkerScriptPath) $(Objects) -f $(RelObjectsFilePath) $(LinkOptions) -map $(RelMapPath) -p &quot;$(ProjectName) build&quot;" external_cpp_link_command="link++ $(Objects)" linker_patch_build_command="fix $(ProjectName)" />
    <file file_name="main.c" />
  </project>
  <project Name="ExtCpp">
    <configuration Name="Common" project_type="Library" external_cpp_link_command="unused" build_output_file_name="$(OutDir)/libext.a" external_archive_command="arch $(RelTargetPath) @$(ObjectsFilePath)" external_objects_file_name="$(IntDir)/list.txt" />
  </project>
  <project Name="CppApp">
    <configuration Name="Common" project_type="Executable" link_use_linker_script_file="Yes" link_linker_script_file="board.ld" linker_map_file="No" external_link_command="link $(Objects)" external_cpp_link_command="link++ $(Objects) $(MapPath)" />
    <file file_name="main.cpp" />
  </project>
</solution>
)xml";

class LinkPlannerTest : public ScratchDirTest {
protected:
    LinkPlannerTest()
        : m_system(m_expander), m_macros(m_registry, m_expander, &m_system),
          m_planner(m_registry, m_macros) {
        registerBuiltinProperties(m_registry, nullptr);
        m_expander.setGlobalMacrosFromList("TovanDir=/opt/tovan");
        m_system.loadSolution(write("link.qzProject", kSolution));
    }
    LinkPlan plan(const std::string &project, const QStringList &objects,
                  const QStringList &dependentOutputs = {}) {
        const ProjectElement *node = NodePath::find(*m_system.solution(), project);
        EXPECT_NE(node, nullptr) << project;
        return m_planner.plan(node ? *node : *m_system.solution(), "Debug", objects,
                              dependentOutputs);
    }
    QString at(const QString &name) const { return m_dir.path() + u'/' + name; }

    MacroExpander m_expander;
    PropertyRegistry m_registry;
    StandardProjectSystem m_system;
    NodeMacros m_macros;
    LinkPlanner m_planner;
};

TEST_F(LinkPlannerTest, AnExecutableLinksThroughTheScriptDovaGenerates) {
    const LinkPlan app = plan("App", {at("obj/main.o"), "obj/start.o"}, {at("out/libdrv.a")});
    const QStringList objects{at("obj/main.o"), at("obj/start.o"), at("lib/extra.a"),
                              at("out/libdrv.a")};
    EXPECT_EQ(app.output, at("out/app.elf"));
    EXPECT_EQ(app.objects, objects);
    EXPECT_EQ(app.memoryMap, at("map.xml"));
    EXPECT_EQ(app.sectionPlacement, at("place.xml"));
    EXPECT_TRUE(app.linkerScript.isEmpty());
    ASSERT_EQ(app.steps.size(), 2u);

    // Editing the memory map or the placement regenerates the script, which relinks.
    const StepPlan &script = app.steps[0];
    EXPECT_EQ(script.description, "Generating linker script App.ld");
    EXPECT_EQ(
        script.arguments,
        QStringList({"/opt/tovan/bin/dova", "-memory-map-file", at("map.xml"), "-memory-map-macros",
                     "FLASH_SIZE=64K;BOARD=App", "-section-placement-file", at("place.xml"),
                     "-section-placement-macros", "FAST=RAM", "-symbols", "__STACKSIZE__=0x800",
                     "-check-segment-overflow", at("obj/App.ld")}));
    // So does a change of the macros or symbols, kept in a file rewritten only when they change.
    EXPECT_EQ(script.inputs,
              QStringList({at("map.xml"), at("place.xml"), at("obj/App.ld.options")}));
    ASSERT_EQ(script.generatedFiles.size(), 1u);
    EXPECT_EQ(script.generatedFiles[0].path, at("obj/App.ld.options"));
    EXPECT_EQ(script.generatedFiles[0].content.toStdString(),
              lines(script.arguments.mid(1)) + "\n");
    EXPECT_EQ(script.outputs, QStringList{at("obj/App.ld")});

    const StepPlan &link = app.steps[1];
    EXPECT_EQ(link.action, BuildAction::Link);
    EXPECT_EQ(link.description, "Linking app.elf");
    EXPECT_EQ(link.workingDirectory, m_dir.path());
    EXPECT_EQ(link.arguments,
              QStringList({"/opt/tovan/bin/cc", "-Wc,-mcpu=cortex-m4", "-Wc,-mthumb", "-l-", "-T",
                           at("obj/App.ld"), "-Wl,-Map=" + at("out/app.map"),
                           "-Wl,--undefined=vectors"}) +
                  objects +
                  QStringList({"-Wl,-lgcc", "-Wl,-e,Reset_Handler", "-o", at("out/app.elf")}));
    // The record of the command and its objects is an input: an object taken out of the
    // project or an option changed relinks.
    EXPECT_EQ(link.inputs, objects + QStringList({at("obj/App.ld"), at("obj/App.link")}));
    EXPECT_EQ(link.outputs, QStringList({at("out/app.elf"), at("out/app.map")}));
    ASSERT_EQ(link.generatedFiles.size(), 1u);
    EXPECT_EQ(link.generatedFiles[0].path, at("obj/App.link"));
    EXPECT_EQ(link.generatedFiles[0].content,
              (link.commandLine() + '\n' + objects.join(u'\n') + '\n').toUtf8());
}

TEST_F(LinkPlannerTest, AManualScriptAndLibrariesUseTheirOwnWords) {
    const LinkPlan manual = plan("Manual", {at("obj/main.o")});
    ASSERT_EQ(manual.steps.size(), 1u);
    EXPECT_EQ(manual.linkerScript, at("board.ld"));
    EXPECT_EQ(
        manual.steps[0].arguments,
        QStringList({"/opt/tovan/bin/cc", "-printf=int,float", "-scanf=int,float", "-T",
                     at("board.ld"), "-Wl,-Map=" + at("maps/manual.map"),
                     "-Wl,--defsym,__HEAPSIZE__=0x100", at("obj/main.o"), "-patch",
                     "cd " + at("tools") + " && sh sum.sh 'Manual x'", "-o", at("out/manual")}));
    EXPECT_EQ(manual.steps[0].inputs,
              QStringList({at("obj/main.o"), at("board.ld"), at("obj/Manual.link")}));

    // A library takes only its objects: linker inputs and other libraries are no members.
    const LinkPlan library = plan("Lib", {at("obj/a.o"), at("obj/b.o")}, {at("out/libdep.a")});
    ASSERT_EQ(library.steps.size(), 1u);
    EXPECT_EQ(library.steps[0].action, BuildAction::Archive);
    EXPECT_EQ(library.steps[0].description, "Archiving libdrv.a");
    EXPECT_EQ(library.steps[0].arguments,
              QStringList({"/opt/tovan/bin/cc", "-ar", "-o", at("out/libdrv.a"), at("obj/a.o"),
                           at("obj/b.o")}));
    EXPECT_EQ(library.steps[0].inputs,
              QStringList({at("obj/a.o"), at("obj/b.o"), at("obj/Lib.link")}));
    EXPECT_EQ(library.steps[0].outputs, QStringList{at("out/libdrv.a")});
}

TEST_F(LinkPlannerTest, ExternalCommandsGetTheBuildMacrosAsWords) {
    const QString dir = at("with space");
    const LinkPlan ext = plan("Ext", {dir + "/obj/main.o", dir + "/obj/odd name.o"});
    ASSERT_EQ(ext.steps.size(), 1u);
    const StepPlan &link = ext.steps[0];
    EXPECT_EQ(link.arguments,
              QStringList({"link", "-o", dir + "/out/ext.elf", "-T", "board.ld",
                           dir + "/obj/main.o", dir + "/obj/odd name.o", "-f", "obj/Ext.objects",
                           "--gc-sections", "-Map x", "-map", "out/ext.map", "-p", "Ext build"}));
    // The patch runs with the link, which fails with it.
    ASSERT_EQ(link.after.size(), 1u);
    EXPECT_EQ(link.after[0].description, "Link patch command fix Ext");
    EXPECT_EQ(link.after[0].arguments, QStringList({"fix", "Ext"}));
    EXPECT_EQ(link.after[0].workingDirectory, dir);
    ASSERT_EQ(link.generatedFiles.size(), 2u);
    EXPECT_EQ(link.generatedFiles[0].path, dir + "/obj/Ext.objects");
    // Blanks are quoted the way the GNU tools read response files.
    EXPECT_EQ(link.generatedFiles[0].content.toStdString(),
              lines({'"' + dir + "/obj/main.o\"", '"' + dir + "/obj/odd name.o\"\n"}));

    // With C++ sources the C++ command links (an unset map gives no word); an archive names
    // its objects file.
    EXPECT_EQ(plan("CppApp", {"main.o"}).steps.back().arguments,
              QStringList({"link++", at("main.o")}));
    const LinkPlan archive = plan("ExtCpp", {at("obj/a.o")});
    EXPECT_EQ(archive.steps.back().arguments,
              QStringList({"arch", "out/libext.a", "@" + at("obj/list.txt")}));
}

TEST_F(LinkPlannerTest, PrepareStopsOnMissingFilesAndDuplicateObjects) {
    RecordingBuilder log;
    const LinkPlan app = plan("App", {at("obj/main.o"), "obj/../lib/extra.a", at("obj/main.o")});
    EXPECT_FALSE(LinkPlanner::prepare(app, "App", log));
    EXPECT_EQ(
        lines(log.events),
        lines({"begin: Checking Additional Linker Inputs App", "message: Locating Memory Map File",
               "error: Memory map file " + at("map.xml") + " does not exist.",
               "message: Locating Section Placement File",
               "error: Section placement file " + at("place.xml") + " does not exist.",
               "message: Checking For Duplicate Object Files",
               "error: The object file " + at("obj/main.o") + " has been supplied more than once",
               "error: The object file " + at("lib/extra.a") + " has been supplied more than once",
               "end: failed"}));

    // A link that must not run leaves nothing behind.
    EXPECT_FALSE(QFileInfo::exists(at("obj/App.ld.options")));

    write("map.xml", "<Root/>");
    write("place.xml", "<Root/>");
    log.events.clear();
    EXPECT_TRUE(LinkPlanner::prepare(plan("App", {at("obj/main.o")}), "App", log));
    EXPECT_TRUE(QFileInfo::exists(at("obj/App.ld.options")));
    EXPECT_EQ(log.events.last(), "end: ");
    EXPECT_FALSE(log.events.join(u'\n').contains("error"));

    log.events.clear();
    EXPECT_FALSE(LinkPlanner::prepare(plan("Manual", {}), "Manual", log)) << lines(log.events);
    EXPECT_TRUE(log.events.contains("message: Locating Linker Script File")) << lines(log.events);
    EXPECT_TRUE(
        log.events.contains("error: Linker script file " + at("board.ld") + " does not exist."));
}

TEST_F(LinkPlannerTest, LongInputListsGoThroughAnIndirectFile) {
    write("map.xml", "<Root/>");
    write("place.xml", "<Root/>");
    QStringList objects;
    for (int i = 0; i < 300; ++i)
        objects << at(QStringLiteral("obj/a_rather_long_object_file_name_%1.o").arg(i));
    const LinkPlan app = plan("App", objects);
    const StepPlan &link = app.steps.back();
    const int indirect = int(link.arguments.indexOf("-inputfiles"));
    ASSERT_GT(indirect, 0);
    EXPECT_EQ(link.arguments[indirect + 1], at("obj/App.ind"));
    EXPECT_FALSE(link.arguments.contains(objects.first()));
    EXPECT_TRUE(link.inputs.contains(objects.last()));

    RecordingBuilder log;
    ASSERT_TRUE(LinkPlanner::prepare(app, "App", log));
    EXPECT_TRUE(log.events.contains("message: Creating App Indirect File"));
    QFile file(at("obj/App.ind"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), lines(objects << at("lib/extra.a")) + "\n");
}

// The real thing: the example firmware compiled with the planned words, linked through the
// script dova writes from the example memory map, with the reset handler landing in flash.
TEST(LinkPlannerFirmware, BuildsTheExampleFirmwareWithTheCrossCompiler) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    QTemporaryDir scratch;
    const QString examples =
        QDir::cleanPath(QString::fromStdString(testDataPath("")) + "/../../examples");
    const QString installDir =
        QDir::cleanPath(QFileInfo(QString::fromStdString(toolPath("dova"))).path() + "/..");
    const QString solution = QString::fromLatin1(R"xml(<!DOCTYPE Palindor_Project_File>
<solution Name="Firmware">
  <project Name="Demo">
    <configuration Name="Common" project_type="Executable" project_directory="%1/firmware" build_intermediate_directory="%2/obj" build_output_directory="%2/out" build_output_file_name="$(OutDir)/demo.elf" c_additional_options="-mcpu=cortex-m4;-mthumb;-O2;-ffreestanding;-fno-tree-loop-distribute-patterns" link_include_standard_libraries="No" linker_memory_map_file="%1/demo_memory_map.xml" linker_section_placement_file="%1/demo_section_placement.xml" link_symbol_definitions="__HEAPSIZE__=0x1000;__STACKSIZE__=0x800" linker_additional_options="-lgcc;-e,Reset_Handler" />
    <configuration Name="Debug" />
    <file file_name="startup.c" />
    <file file_name="main.c" />
    <file file_name="checks.c" />
  </project>
</solution>
)xml")
                                 .arg(examples, scratch.path());
    QFile file(scratch.path() + "/firmware.qzProject");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(solution.toUtf8());
    file.close();

    MacroExpander expander;
    PropertyRegistry registry;
    StandardProjectSystem system(expander);
    NodeMacros macros(registry, expander, &system);
    registerBuiltinProperties(registry, nullptr);
    expander.setGlobalMacrosFromList("TovanDir=" + installDir.toStdString());
    system.loadSolution(file.fileName().toStdString());
    const ProjectElement *project = NodePath::find(*system.solution(), "Demo");
    ASSERT_NE(project, nullptr);

    std::vector<StepPlan> steps = CompilePlanner(registry, macros).plans(*project, "Debug");
    ASSERT_EQ(steps.size(), 3u);
    QStringList objects;
    for (const StepPlan &step : steps)
        objects << step.outputs;
    const LinkPlan link = LinkPlanner(registry, macros).plan(*project, "Debug", objects, {});
    RecordingBuilder log;
    ASSERT_TRUE(LinkPlanner::prepare(link, "Demo", log)) << log.events.join(u'\n').toStdString();
    steps.insert(steps.end(), link.steps.begin(), link.steps.end());
    for (const StepPlan &step : steps) {
        for (const QString &output : step.outputs)
            QDir().mkpath(QFileInfo(output).absolutePath());
        QProcess process;
        process.setWorkingDirectory(step.workingDirectory);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(step.arguments.first(), step.arguments.mid(1));
        ASSERT_TRUE(process.waitForFinished(120000));
        ASSERT_EQ(process.exitCode(), 0) << step.commandLine().toStdString() << "\n"
                                         << process.readAll().toStdString();
    }

    QProcess nm;
    nm.start("arm-none-eabi-nm", {link.output});
    ASSERT_TRUE(nm.waitForFinished());
    const QString symbols = QString::fromUtf8(nm.readAllStandardOutput());
    // Flash is at 0, RAM at 0x20000000 in the example memory map.
    EXPECT_TRUE(symbols.contains(QRegularExpression("^000[0-3][0-9a-f]{4} T Reset_Handler$",
                                                    QRegularExpression::MultilineOption)))
        << symbols.toStdString();
    EXPECT_TRUE(symbols.contains(QRegularExpression("^2000[0-9a-f]{4} [A-Z] __data_start__$",
                                                    QRegularExpression::MultilineOption)))
        << symbols.toStdString();
    EXPECT_TRUE(QFileInfo::exists(scratch.path() + "/out/demo.map"));
}

} // namespace
