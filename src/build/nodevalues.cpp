#include "build/nodevalues.h"

#include "build/commandwords.h"
#include "core/namevaluelist.h"
#include "project/macroexpander.h"
#include "project/nodemacros.h"
#include "project/projectelement.h"
#include "project/propertyregistry.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

NodeValues::NodeValues(const PropertyRegistry &registry, const NodeMacros &macros,
                       const ProjectElement &node, const std::string &configuration,
                       std::shared_ptr<Siblings> siblings)
    : m_registry(registry), m_macros(macros), m_node(node), m_configuration(configuration),
      m_siblings(std::move(siblings)) {
    if (m_siblings && m_siblings->macrosShared) {
        m_ownValues = macros.fileOwnValues(node, m_siblings->projectDir);
        m_rest = m_siblings->macros;
        m_expandsAsSiblings = true;
        return;
    }
    NodeMacros::Layers layers = macros.buildLayers(resolver());
    m_own = std::move(layers.own);
    m_rest = std::move(layers.rest);
    if (m_siblings && !layers.restUsesOwn) {
        m_siblings->macros = m_rest;
        m_siblings->projectDir = std::move(layers.projectDir);
        m_siblings->macrosShared = true;
        m_expandsAsSiblings = true;
    }
}

const PropertyResolver &NodeValues::resolver() const {
    if (!m_resolver)
        m_resolver.emplace(m_node, m_configuration);
    return *m_resolver;
}

const MacroMap &NodeValues::own() const {
    if (!m_own) {
        MacroMap map;
        for (std::size_t i = 0; i < m_ownValues->size(); ++i)
            map.set(std::string(NodeMacros::kFileOwnNames[i]), (*m_ownValues)[i]);
        m_own = std::move(map);
    }
    return *m_own;
}

std::string NodeValues::raw(std::string_view name) const {
    if (!m_siblings || PropertyResolver::isIdentityAttribute(m_node, name))
        return resolved(name);
    auto found = m_siblings->texts.find(name);
    if (found == m_siblings->texts.end())
        found = m_siblings->texts.emplace(std::string(name), resolved(name)).first;
    return found->second;
}

std::string NodeValues::resolved(std::string_view name) const {
    if (const PropertyClass *definition = m_registry.findPropertyClass(&m_node, name))
        return resolver().resolve(*definition);
    return resolver().resolve(name, PropertyType::String, "");
}

QString NodeValues::text(std::string_view name) const {
    // An identity attribute is the node's own text, which a sibling's template cannot hold.
    if (m_ownValues && !PropertyResolver::isIdentityAttribute(m_node, name)) {
        auto found = m_siblings->templates.find(name);
        if (found == m_siblings->templates.end())
            found = m_siblings->templates
                        .emplace(std::string(name),
                                 MacroTemplate::prepare(m_macros.expander(), raw(name),
                                                        NodeMacros::kFileOwnNames, m_rest))
                        .first;
        if (found->second)
            return QString::fromStdString(found->second->fill(*m_ownValues));
    }
    return expand(raw(name));
}

QStringList NodeValues::list(std::string_view name) const {
    if (m_expandsAsSiblings)
        if (auto found = m_siblings->lists.find(name); found != m_siblings->lists.end())
            return found->second;
    QStringList items;
    bool ownUsed = false;
    for (const std::string &item : splitEscapedList(raw(name)))
        if (QString expanded = QString::fromStdString(
                m_macros.expander().expand(item, {&own(), &m_rest}, &ownUsed));
            !expanded.isEmpty())
            items << expanded;
    if (m_expandsAsSiblings && !ownUsed)
        m_siblings->lists.emplace(std::string(name), items);
    return items;
}

void NodeValues::set(const char *name, const QString &value) {
    own();
    m_own->set(name, value.toStdString());
    m_ownValues.reset(); // the map is the node's own from now on
    m_expandsAsSiblings = false;
}

QString NodeValues::expand(const MacroMap &map, const std::string &text) const {
    return QString::fromStdString(m_macros.expand(map, text));
}

QString NodeValues::expand(const std::string &text) const {
    return QString::fromStdString(m_macros.expander().expand(text, {&own(), &m_rest}));
}

QString NodeValues::macro(std::string_view name) const {
    if (m_ownValues) {
        const auto &names = NodeMacros::kFileOwnNames;
        if (const auto at = std::find(names.begin(), names.end(), name); at != names.end())
            return QString::fromStdString((*m_ownValues)[std::size_t(at - names.begin())]);
        auto found = m_siblings->macroTexts.find(name);
        if (found == m_siblings->macroTexts.end()) {
            const std::string *value = m_rest.find(name);
            found =
                m_siblings->macroTexts
                    .emplace(std::string(name), value ? QString::fromStdString(*value) : QString())
                    .first;
        }
        return found->second;
    }
    const std::string *value = own().find(name);
    if (!value)
        value = m_rest.find(name);
    return value ? QString::fromStdString(*value) : QString();
}

MacroMap NodeValues::map() const {
    MacroMap map = m_rest;
    for (const auto &[name, value] : own())
        map.set(name, value);
    return map;
}

QString NodeValues::expandForStep(const MacroMap &stepMacros, const std::string &text) const {
    return QString::fromStdString(m_macros.expander().expand(text, {&stepMacros, &own(), &m_rest}));
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
