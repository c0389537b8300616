#include "build/nodevalues.h"

#include "build/commandwords.h"
#include "core/namevaluelist.h"
#include "project/macroexpander.h"
#include "project/nodemacros.h"
#include "project/projectelement.h"
#include "project/propertyregistry.h"

#include <QDir>
#include <QFileInfo>

NodeValues::NodeValues(const PropertyRegistry &registry, const NodeMacros &macros,
                       const ProjectElement &node, const std::string &configuration,
                       std::shared_ptr<ResolvedTexts> shared)
    : m_registry(registry), m_macros(macros), m_resolver(node, configuration),
      m_map(macros.build(m_resolver)), m_shared(std::move(shared)) {}

std::string NodeValues::raw(std::string_view name) const {
    if (!m_shared || PropertyResolver::isIdentityAttribute(m_resolver.node(), name))
        return resolved(name);
    auto found = m_shared->find(name);
    if (found == m_shared->end())
        found = m_shared->emplace(std::string(name), resolved(name)).first;
    return found->second;
}

std::string NodeValues::resolved(std::string_view name) const {
    if (const PropertyClass *definition = m_registry.findPropertyClass(&m_resolver.node(), name))
        return m_resolver.resolve(*definition);
    return m_resolver.resolve(name, PropertyType::String, "");
}

QStringList NodeValues::list(std::string_view name) const {
    QStringList items;
    for (const std::string &item : splitEscapedList(raw(name)))
        if (QString expanded = expand(m_map, item); !expanded.isEmpty())
            items << expanded;
    return items;
}

QString NodeValues::expand(const MacroMap &map, const std::string &text) const {
    return QString::fromStdString(m_macros.expand(map, text));
}

QString NodeValues::expandForStep(const MacroMap &stepMacros, const std::string &text) const {
    return QString::fromStdString(m_macros.expander().expand(text, stepMacros, m_map));
}

QString NodeValues::path(std::string_view name) const {
    const QString value = text(name);
    return value.isEmpty() ? value : anchored(macro("ProjectDir"), value);
}

void NodeValues::setInput(const QString &path) {
    const QFileInfo info(path);
    // Outside the project directory the relative name is the full path.
    QString relative = QDir(macro("ProjectDir")).relativeFilePath(path);
    if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../")) ||
        QDir::isAbsolutePath(relative))
        relative = path;
    set("InputDir", info.absolutePath());
    set("InputFileName", info.fileName());
    set("InputName", info.completeBaseName());
    set("InputExt", info.suffix());
    set("InputPath", path);
    set("RelInputPath", relative);
    set("RelInputDir", QFileInfo(relative).path()); // "." when it has no directory
}
