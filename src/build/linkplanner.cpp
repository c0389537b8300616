#include "build/linkplanner.h"

#include "build/builder.h"
#include "build/commandexpansion.h"
#include "build/commandwords.h"
#include "build/compileplanner.h"
#include "build/nodevalues.h"
#include "core/namevaluelist.h"
#include "project/macromap.h"
#include "project/nodemacros.h"
#include "project/projectelement.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>

#include <optional>

namespace {

// The link or archive step records its command and inputs in a file of its own, rewritten
// only when they change and read as an input: an object taken out of the project, or an
// option changed, must relink even though no remaining input is newer. The commands that run
// with it (the patch of an external link) count too: a program is only as current as the
// patch that made it.
void recordCommand(StepPlan &step, const QString &recordFile, const QStringList &objects) {
    QByteArray record = step.commandLine().toUtf8() + '\n';
    for (const StepPlan &after : step.after)
        record += (QStringLiteral("cd ") + StepPlan::shellQuote(after.workingDirectory) +
                   QStringLiteral(" && ") + after.commandLine())
                      .toUtf8() +
                  '\n';
    for (const QString &object : objects)
        record += object.toUtf8() + '\n';
    step.generatedFiles.push_back({recordFile, record, QString()});
    step.inputs << recordFile;
}

// The node's macros with those of one step added.
MacroMap withBuildMacros(MacroMap map, const MacroMap &buildMacros) {
    for (const auto &[name, value] : buildMacros)
        map.set(name, value);
    return map;
}

// One input per line, quoted the way the GNU tools read a response file.
QByteArray responseFile(const QStringList &inputs) {
    QByteArray content;
    for (const QString &input : inputs) {
        QByteArray path = input.toUtf8();
        const bool plain = !path.contains(' ') && !path.contains('\t') && !path.contains('"') &&
                           !path.contains('\'') && !path.contains('\\');
        if (!plain) {
            path.replace('\\', "\\\\");
            path.replace('"', "\\\"");
            path = '"' + path + '"';
        }
        content += path + '\n';
    }
    return content;
}

// The link patch command of an Executable; nothing when it is empty.
std::optional<StepPlan> patchStep(const NodeValues &values, const QString &projectDir) {
    const std::string raw = values.raw("linker_patch_build_command");
    const QString command = values.expand(raw);
    if (command.trimmed().isEmpty())
        return std::nullopt;
    StepPlan step;
    step.description = QStringLiteral("Link patch command ") + command;
    step.arguments = CommandExpansion(values).arguments(raw);
    step.workingDirectory = values.path("linker_patch_build_command_wd");
    if (step.workingDirectory.isEmpty())
        step.workingDirectory = projectDir;
    return step;
}

std::string stdString(const QString &text) {
    return text.toStdString();
}

// Whether a file of the project compiles as C++, judged by file types and names alone: cheap
// enough for every link, and an excluded C++ file costs no more than a C++ link.
bool compilesCpp(const PropertyRegistry &registry, const ProjectElement &project,
                 const std::string &configuration) {
    const auto resolved = [&](const ProjectElement &node, std::string_view name) {
        if (const PropertyClass *definition = registry.findPropertyClass(&node, name))
            return PropertyResolver::resolve(node, *definition, configuration);
        return PropertyResolver::resolve(node, name, PropertyType::String, "", configuration);
    };
    std::vector<const ProjectElement *> pending{&project};
    while (!pending.empty()) {
        const ProjectElement *at = pending.back();
        pending.pop_back();
        if (at->kind() == PropertyNode::Kind::File) {
            if (CompilePlanner::actionFor(resolved(*at, "file_type"), at->attributeOr("file_name"),
                                          resolved(*at, "c_files_are_cpp") == "Yes") ==
                BuildAction::CompileCpp)
                return true;
            continue;
        }
        for (const XMLNode *child = at->firstChild(); child; child = child->nextSibling())
            if (const ProjectElement *element = ProjectElement::from(child))
                if (element->kind() != PropertyNode::Kind::Configuration &&
                    element->kind() != ProjectElement::Unknown)
                    pending.push_back(element);
    }
    return false;
}

} // namespace

LinkPlanner::LinkPlanner(const PropertyRegistry &registry, const NodeMacros &macros)
    : m_registry(registry), m_macros(macros) {}

LinkPlan LinkPlanner::plan(const ProjectElement &project, const std::string &configuration,
                           const QStringList &objects, const QStringList &dependentOutputs) const {
    const NodeValues values(m_registry, m_macros, project, configuration);
    const bool library = values.raw("project_type") == "Library";
    const QString projectDir = values.macro("ProjectDir");
    const QString projectName = values.macro("ProjectName");
    const QString intDir = anchored(projectDir, values.macro("IntDir"));

    LinkPlan plan;
    plan.output = anchored(projectDir, values.text("build_output_file_name"));
    plan.objects = anchored(projectDir, objects);
    // A library holds its own objects only: other archives inside it would be dead members.
    if (!library)
        plan.objects << anchored(projectDir, values.list("linker_additional_files"))
                     << anchored(projectDir, dependentOutputs);
    const QString outputName = QFileInfo(plan.output).fileName();
    const auto relative = [&](const QString &path) {
        return QDir(projectDir).relativeFilePath(path);
    };

    // The linker script: the project's own, or one dova makes from the memory map and the
    // section placement, which are then inputs so that editing them relinks.
    QString script;
    if (!library) {
        if (values.yes("link_use_linker_script_file")) {
            const QString name = values.text("link_linker_script_file");
            plan.linkerScript = name.isEmpty() ? QString() : anchored(projectDir, name);
            script = plan.linkerScript;
        } else {
            script = intDir + u'/' + projectName + QStringLiteral(".ld");
            StepPlan generate;
            generate.action = BuildAction::UserCommand;
            generate.description =
                QStringLiteral("Generating linker script ") + QFileInfo(script).fileName();
            generate.workingDirectory = projectDir;
            QStringList &words = generate.arguments;
            words << values.expand(kScriptGenerator);
            if (const QString map = values.text("linker_memory_map_file"); !map.isEmpty()) {
                plan.memoryMap = anchored(projectDir, map);
                words << QStringLiteral("-memory-map-file") << plan.memoryMap;
                generate.inputs << plan.memoryMap;
            } else {
                plan.memorySegments = values.text("linker_section_placements_segments");
                if (!plan.memorySegments.isEmpty())
                    words << QStringLiteral("-memory-map-segments") << plan.memorySegments;
            }
            if (const QStringList macros = values.list("linker_memory_map_macros");
                !macros.isEmpty())
                words << QStringLiteral("-memory-map-macros") << macros.join(u';');
            if (const QString placement = values.text("linker_section_placement_file");
                !placement.isEmpty()) {
                plan.sectionPlacement = anchored(projectDir, placement);
                words << QStringLiteral("-section-placement-file") << plan.sectionPlacement;
                generate.inputs << plan.sectionPlacement;
            }
            if (const QStringList macros = values.list("linker_section_placement_macros");
                !macros.isEmpty())
                words << QStringLiteral("-section-placement-macros") << macros.join(u';');
            if (const QStringList symbols = values.list("link_symbol_definitions");
                !symbols.isEmpty())
                words << QStringLiteral("-symbols") << symbols.join(u';');
            words << QStringLiteral("-check-segment-overflow") << script;
            // The macros, symbols and segments shape the script as much as the files do: kept
            // in a file rewritten only when they change, they are an input like the files.
            const QString settings = script + QStringLiteral(".options");
            generate.generatedFiles.push_back(
                {settings, (words.mid(1).join(u'\n') + u'\n').toUtf8(), QString()});
            generate.inputs << settings;
            generate.outputs << script;
            plan.steps.push_back(std::move(generate));
        }
    }

    QString mapFile;
    if (!library && values.yes("linker_map_file")) {
        const QString name = values.text("linker_map_file_name");
        const QFileInfo output(plan.output);
        mapFile = name.isEmpty()
                      ? output.path() + u'/' + output.completeBaseName() + QStringLiteral(".map")
                      : anchored(projectDir, name);
    }

    StepPlan step;
    step.action = library ? BuildAction::Archive : BuildAction::Link;
    step.description =
        (library ? QStringLiteral("Archiving ") : QStringLiteral("Linking ")) + outputName;
    step.workingDirectory = projectDir;
    step.inputs = plan.objects;
    if (!script.isEmpty())
        step.inputs << script;
    step.outputs << plan.output;
    if (!mapFile.isEmpty())
        step.outputs << mapFile;

    const QString recordFile = intDir + u'/' + projectName + QStringLiteral(".link");
    const bool cpp = !library && compilesCpp(m_registry, project, configuration);
    const char *externalCommand = library ? "external_archive_command"
                                  : cpp && !values.raw("external_cpp_link_command").empty()
                                      ? "external_cpp_link_command"
                                      : "external_link_command";
    const std::string external = values.raw(externalCommand);
    if (!QString::fromStdString(external).trimmed().isEmpty()) {
        // The command is expanded with the build macros first and split into words after,
        // so macros stand anywhere in it; list and path values are quoted for the splitter.
        QString objectsFile = values.text("external_objects_file_name");
        objectsFile = anchored(projectDir, objectsFile.isEmpty() ? intDir + u'/' + projectName +
                                                                       QStringLiteral(".objects")
                                                                 : objectsFile);
        step.generatedFiles.push_back({objectsFile, responseFile(plan.objects), QString()});
        MacroMap build{
            {"TargetPath", stdString(joinedWords({plan.output}))},
            {"RelTargetPath", stdString(joinedWords({relative(plan.output)}))},
            {"Objects", stdString(joinedWords(plan.objects))},
            {"ObjectsFilePath", stdString(joinedWords({objectsFile}))},
            {"RelObjectsFilePath", stdString(joinedWords({relative(objectsFile)}))},
        };
        if (!library) {
            build.set("LinkOptions",
                      stdString(joinedWords(values.list("linker_additional_options"))));
            build.set("LinkerScriptPath", stdString(joinedWords({script})));
            build.set("RelLinkerScriptPath",
                      stdString(script.isEmpty() ? script : joinedWords({relative(script)})));
            build.set("MapPath", stdString(joinedWords({mapFile})));
            build.set("RelMapPath",
                      stdString(mapFile.isEmpty() ? mapFile : joinedWords({relative(mapFile)})));
        }
        step.arguments =
            QProcess::splitCommand(values.expand(withBuildMacros(values.map(), build), external));
        // Part of the link, so that a failed patch removes the program it did not patch.
        if (!library)
            if (std::optional<StepPlan> patch = patchStep(values, projectDir))
                step.after.push_back(std::move(*patch));
        recordCommand(step, recordFile, plan.objects);
        plan.steps.push_back(std::move(step));
        return plan;
    }

    QStringList &words = step.arguments;
    words << values.expand(CompilePlanner::kDriver);
    QStringList inputWords = plan.objects;
    if (inputWords.join(u' ').size() > kIndirectThreshold) {
        const QString indirect = intDir + u'/' + projectName + QStringLiteral(".ind");
        step.generatedFiles.push_back(
            {indirect, responseFile(plan.objects),
             QStringLiteral("Creating ") + projectName + QStringLiteral(" Indirect File")});
        inputWords = QStringList{QStringLiteral("-inputfiles"), indirect};
    }
    if (library) {
        words << QStringLiteral("-ar") << QStringLiteral("-o") << plan.output << inputWords;
        recordCommand(step, recordFile, plan.objects);
        plan.steps.push_back(std::move(step));
        return plan;
    }

    // C++ objects need the C++ front end's libraries.
    if (cpp)
        words << QStringLiteral("-xc++");
    // The target options of the compiles (-mcpu, -march, -mthumb, ...) choose the
    // toolchain's library variant when linking too.
    words << passedOn(QStringLiteral("-Wc,"), values.list("c_additional_options"));
    if (!values.yes("link_include_standard_libraries")) {
        words << QStringLiteral("-l-");
    } else {
        QString printf =
            QString::fromStdString(values.raw("linker_printf_fmt_level")).remove(u' ') + u',' +
            values.text("linker_printf_fp_enabled").toLower();
        if (values.yes("linker_printf_width_precision_supported"))
            printf += QStringLiteral(",width");
        if (values.yes("linker_printf_wchar_enabled"))
            printf += QStringLiteral(",wchar");
        QString scanf = QString::fromStdString(values.raw("linker_scanf_fmt_level")).remove(u' ');
        if (values.yes("linker_scanf_fp_enabled"))
            scanf += QStringLiteral(",float");
        if (values.yes("linker_scanf_character_group_matching_enabled"))
            scanf += QStringLiteral(",classes");
        words << QStringLiteral("-printf=") + printf << QStringLiteral("-scanf=") + scanf;
    }
    if (!script.isEmpty())
        words << QStringLiteral("-T") << script;
    if (!mapFile.isEmpty())
        words << QStringLiteral("-Wl,-Map=") + mapFile;
    // A generated script already defines the symbols (dova lays out with them).
    if (values.yes("link_use_linker_script_file"))
        words << passedOn(QStringLiteral("-Wl,--defsym,"), values.list("link_symbol_definitions"));
    words << passedOn(QStringLiteral("-Wl,--undefined="), values.list("linker_keep_symbols"));
    words << inputWords;
    // After the inputs, so that libraries named here resolve what the objects refer to.
    words << passedOn(QStringLiteral("-Wl,"), values.list("linker_additional_options"));
    if (const QString optionsFile = values.text("linker_additional_options_from_file");
        !optionsFile.isEmpty()) {
        words << QStringLiteral("-Wl,@") + anchored(projectDir, optionsFile);
        step.inputs << anchored(projectDir, optionsFile);
    }
    // The driver patches the program it linked and removes it when the patch fails, so that
    // an unpatched program never passes for current.
    if (std::optional<StepPlan> patch = patchStep(values, projectDir)) {
        const QString directory =
            QDir::cleanPath(patch->workingDirectory) == QDir::cleanPath(projectDir)
                ? QString()
                : QStringLiteral("cd ") + StepPlan::shellQuote(patch->workingDirectory) +
                      QStringLiteral(" && ");
        words << QStringLiteral("-patch") << directory + patch->commandLine();
    }
    words << QStringLiteral("-o") << plan.output;
    recordCommand(step, recordFile, plan.objects);
    plan.steps.push_back(std::move(step));
    return plan;
}

bool LinkPlanner::prepare(const LinkPlan &plan, const QString &projectName, Builder &log) {
    bool ok = true;
    log.beginGroup(QStringLiteral("Checking Additional Linker Inputs ") + projectName);
    const bool links = !plan.steps.empty() && plan.steps.back().action == BuildAction::Link;
    // `step` names the check ("Linker Script"), `what` starts its error ("Linker script").
    const auto locate = [&](const char *step, const char *what, const QString &path) {
        log.message(QStringLiteral("Locating %1 File").arg(QLatin1String(step)));
        if (QFileInfo(path).isFile())
            return;
        log.error(
            path.isEmpty()
                ? QStringLiteral("%1 file is not set.").arg(QLatin1String(what))
                : QStringLiteral("%1 file %2 does not exist.").arg(QLatin1String(what), path));
        ok = false;
    };
    const bool generated = links && plan.steps.size() > 1;
    if (links && !generated)
        locate("Linker Script", "Linker script", plan.linkerScript);
    if (generated && (!plan.memoryMap.isEmpty() || plan.memorySegments.isEmpty()))
        locate("Memory Map", "Memory map", plan.memoryMap);
    if (generated && !plan.sectionPlacement.isEmpty())
        locate("Section Placement", "Section placement", plan.sectionPlacement);

    log.message(QStringLiteral("Checking For Duplicate Object Files"));
    QSet<QString> seen;
    QSet<QString> reported;
    for (const QString &object : plan.objects) {
        const QString key = QDir::cleanPath(QFileInfo(object).absoluteFilePath());
        if (!seen.contains(key)) {
            seen.insert(key);
        } else if (!reported.contains(key)) {
            reported.insert(key);
            log.error(QStringLiteral("The object file ") + object +
                      QStringLiteral(" has been supplied more than once"));
            ok = false;
        }
    }
    log.endGroup(ok ? QString() : QStringLiteral("failed"));
    if (!ok)
        return false;
    for (const StepPlan &step : plan.steps)
        for (const GeneratedFile &file : step.generatedFiles)
            if (!file.write(log))
                return false;
    return true;
}
