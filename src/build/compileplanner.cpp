#include "build/compileplanner.h"

#include "core/namevaluelist.h"
#include "project/macroexpander.h"
#include "project/macromap.h"
#include "project/nodemacros.h"
#include "project/projectelement.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"

#include <QDir>

using Kind = PropertyNode::Kind;

namespace {

// The properties of one node and configuration as a build reads them.
class NodeValues {
public:
    NodeValues(const PropertyRegistry &registry, const NodeMacros &macros,
               const ProjectElement &node, const std::string &configuration)
        : m_registry(registry), m_macros(macros), m_resolver(node, configuration),
          m_map(macros.build(m_resolver)) {}

    std::string raw(std::string_view name) const {
        if (const PropertyClass *definition =
                m_registry.findPropertyClass(&m_resolver.node(), name))
            return m_resolver.resolve(*definition);
        return m_resolver.resolve(name, PropertyType::String, "");
    }
    QString text(std::string_view name) const { return expand(raw(name)); }
    bool yes(std::string_view name) const { return raw(name) == "Yes"; }
    // Split before expanding, so that a macro whose value holds ";" stays one item.
    QStringList list(std::string_view name) const {
        QStringList items;
        for (const std::string &item : splitEscapedList(raw(name)))
            if (QString expanded = expand(item); !expanded.isEmpty())
                items << expanded;
        return items;
    }
    QString macro(std::string_view name) const { return QString::fromStdString(m_map.value(name)); }
    QString expand(const std::string &text) const {
        return QString::fromStdString(m_macros.expand(m_map, text));
    }

private:
    const PropertyRegistry &m_registry;
    const NodeMacros &m_macros;
    PropertyResolver m_resolver;
    MacroMap m_map;
};

QString anchored(const QString &directory, const QString &path) {
    return QDir::cleanPath(QDir(directory).absoluteFilePath(path));
}

QStringList passedOn(const QString &prefix, const QStringList &options) {
    QStringList words;
    for (const QString &option : options)
        words << prefix + option;
    return words;
}

} // namespace

CompilePlanner::CompilePlanner(const PropertyRegistry &registry, const NodeMacros &macros)
    : m_registry(registry), m_macros(macros) {}

BuildAction CompilePlanner::actionFor(std::string_view fileType, std::string_view fileName,
                                      bool cFilesAreCpp) {
    if (fileType == "Assembly")
        return BuildAction::Assemble;
    if (fileType != "Default" && !fileType.empty())
        return BuildAction::None;
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return BuildAction::None;
    const std::string_view extension = fileName.substr(dot + 1);
    if (extension == "c")
        return cFilesAreCpp ? BuildAction::CompileCpp : BuildAction::CompileC;
    for (std::string_view cpp : {"cpp", "cc", "cxx", "c++", "C"})
        if (extension == cpp)
            return BuildAction::CompileCpp;
    for (std::string_view assembly : {"s", "S", "asm"})
        if (extension == assembly)
            return BuildAction::Assemble;
    return BuildAction::None;
}

bool CompilePlanner::excluded(const ProjectElement &node, const std::string &configuration) const {
    const PropertyClass *definition =
        m_registry.findPropertyClass(&node, "build_exclude_from_build");
    const std::string value =
        definition ? PropertyResolver::resolve(node, *definition, configuration)
                   : PropertyResolver::resolve(node, "build_exclude_from_build",
                                               PropertyType::Boolean, "", configuration);
    return value == "Yes";
}

std::optional<StepPlan> CompilePlanner::plan(const ProjectElement &file,
                                             const std::string &configuration) const {
    if (file.kind() != Kind::File || file.attributeOr("file_name").empty())
        return std::nullopt;
    for (const ProjectElement *at = &file; at && at->kind() != Kind::Solution;
         at = at->parentElement())
        if (excluded(*at, configuration))
            return std::nullopt;

    const NodeValues values(m_registry, m_macros, file, configuration);
    const QString source = values.macro("InputPath");
    const BuildAction action =
        actionFor(values.raw("file_type"), source.toStdString(), values.yes("c_files_are_cpp"));
    if (action == BuildAction::None)
        return std::nullopt;

    const QString projectDir = values.macro("ProjectDir");
    const QString object = anchored(projectDir, values.text("build_object_file_name"));
    // Without a name of its own the dependency file lies beside the object, so that header
    // changes are still seen.
    QString dependencies = values.text("build_dependency_file_name");
    dependencies =
        dependencies.isEmpty() ? object + QStringLiteral(".d") : anchored(projectDir, dependencies);

    StepPlan plan;
    plan.action = action;
    plan.description = (action == BuildAction::Assemble ? QStringLiteral("Assembling ")
                                                        : QStringLiteral("Compiling ")) +
                       values.macro("InputFileName");
    plan.workingDirectory = projectDir;
    QStringList &words = plan.arguments;
    words << values.expand(kDriver);
    words << (action == BuildAction::CompileC     ? QStringLiteral("-xc")
              : action == BuildAction::CompileCpp ? QStringLiteral("-xc++")
                                                  : QStringLiteral("-xasm"));
    words << passedOn(QStringLiteral("-D"), values.list("c_preprocessor_definitions"));
    words << passedOn(QStringLiteral("-U"), values.list("c_preprocessor_undefinitions"));
    words << passedOn(QStringLiteral("-I"), values.list("c_user_include_directories"));
    words << passedOn(QStringLiteral("-I"), values.list("c_system_include_directories"));
    if (values.yes("build_treat_warnings_as_errors"))
        words << QStringLiteral("-we");
    if (action == BuildAction::Assemble) {
        words << passedOn(QStringLiteral("-Wa,"), values.list("asm_additional_options"));
    } else {
        if (action == BuildAction::CompileCpp) {
            if (values.yes("cpp_enable_exceptions"))
                words << QStringLiteral("-exceptions");
            if (values.yes("cpp_enable_rtti"))
                words << QStringLiteral("-rtti");
        }
        words << passedOn(QStringLiteral("-Wc,"), values.list("c_additional_options"));
        words << passedOn(QStringLiteral("-Wc,"), values.list(action == BuildAction::CompileCpp
                                                                  ? "cpp_only_additional_options"
                                                                  : "c_only_additional_options"));
    }
    words << QStringLiteral("-depend") << dependencies;
    words << QStringLiteral("-c") << source << QStringLiteral("-o") << object;

    plan.inputs << source;
    plan.outputs << object;
    plan.dependencyFile = dependencies;
    return plan;
}

std::vector<StepPlan> CompilePlanner::plans(const ProjectElement &node,
                                            const std::string &configuration) const {
    std::vector<StepPlan> result;
    // An explicit stack: trees may nest folders deeply.
    std::vector<const ProjectElement *> pending{&node};
    while (!pending.empty()) {
        const ProjectElement *at = pending.back();
        pending.pop_back();
        if (at->kind() == Kind::File) {
            if (std::optional<StepPlan> step = plan(*at, configuration))
                result.push_back(std::move(*step));
            continue;
        }
        if (at->kind() != Kind::Solution && excluded(*at, configuration))
            continue;
        std::vector<const ProjectElement *> children;
        for (const XMLNode *child = at->firstChild(); child; child = child->nextSibling())
            if (const ProjectElement *element = ProjectElement::from(child))
                if (element->kind() != Kind::Configuration &&
                    element->kind() != ProjectElement::Unknown)
                    children.push_back(element);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return result;
}
