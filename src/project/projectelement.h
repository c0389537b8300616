#pragma once

#include "project/propertynode.h"
#include "xml/xmlelement.h"

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class ProjectSystem;

// One node of a solution tree: an XML element whose tag gives its kind, with the maps the
// project system derives from its children. Property values live on configuration children
// (kind Configuration), one per configuration name.
//
// Elements the format does not know keep kind Unknown: they are carried along and written
// back, but take no part in the tree's questions.
class ProjectElement : public XMLElement, public PropertyNode {
public:
    static constexpr Kind Unknown = static_cast<Kind>(-1);

    explicit ProjectElement(std::string_view tagName);
    ~ProjectElement() override;

    // The kind a tag names ("solution", "configuration", "project", "folder", "file"), or
    // Unknown; and the tag of a kind.
    static Kind kindOfTag(std::string_view tagName);
    static const char *tagOfKind(Kind kind);

    // The node as a ProjectElement, or null (other nodes, and elements of other documents
    // copied in, are left as they are).
    static ProjectElement *from(XMLNode *node);
    static const ProjectElement *from(const XMLNode *node);

    void setTagName(std::string_view tagName) override;
    // Keeps the parent's configuration map (on "Name") and a solution's inherited
    // configurations (on "inherited_configurations") in step with a configuration child.
    void setAttribute(std::string_view name, XMLValue value) override;
    // One by one, so that configurations see each change.
    void setAttributes(const XMLAttributeList &attributes) override;
    void removeAttribute(std::string_view name) override;

    ProjectElement *parentElement() const { return from(parent()); }
    // The nearest node of the kind, starting with this one; null when there is none.
    ProjectElement *nearest(Kind kind) const;
    ProjectElement *solution() const { return nearest(Kind::Solution); }

    // The configuration child with that `Name`, or null; the first one wins when two share it.
    ProjectElement *configuration(std::string_view name) const;
    ProjectElement *configurationOrCreate(const std::string &name);
    const std::map<std::string, ProjectElement *, std::less<>> &configurations() const {
        return m_configurations;
    }
    // On solution nodes: each configuration's `inherited_configurations` list.
    const std::map<std::string, std::vector<std::string>, std::less<>> &
    inheritedConfigurations() const {
        return m_inherited;
    }
    // Rebuilds both maps from the children; returns the names that occur more than once.
    std::vector<std::string> rebuildDerivedMaps();

    // `Name`, or `file_name` for a file node.
    std::string displayName() const;
    bool isDynamicFolder() const { return m_kind == Kind::Folder && hasAttribute("path"); }

    // PropertyNode
    Kind kind() const override { return m_kind; }
    PropertyNode *project() const override { return nearest(Kind::Project); }
    std::string projectType() const override;
    // Identity attributes (PropertyResolver::isIdentityAttribute) are the node's own,
    // whatever the configuration.
    std::optional<std::string> storedValue(const std::string &configuration,
                                           std::string_view name) const override;
    // Throws HException when the node lies in an imported solution that may not be changed.
    void storeValue(const std::string &configuration, std::string_view name,
                    const std::optional<std::string> &text) override;
    bool isModified() const override { return m_modified; }
    void setModified(bool modified) override { m_modified = modified; }
    void projectMacrosChanged() override;

    // False inside an imported solution whose import says `can_modify_solution` "No".
    bool isEditable() const;

    // Set on the solution node that took the place of an `import` element.
    bool isImported() const { return m_imported; }
    void setImported(bool imported) { m_imported = imported; }
    bool canModify() const { return m_canModify; }
    void setCanModify(bool canModify) { m_canModify = canModify; }
    // The attributes of the `import` element as written, in their order; saving writes them
    // back unchanged so that the next load builds the same tree.
    using AttributeCopy = std::vector<std::pair<std::string, std::optional<std::string>>>;
    const AttributeCopy &importAttributes() const { return m_importAttributes; }
    void setImportAttributes(AttributeCopy attributes) {
        m_importAttributes = std::move(attributes);
    }

    // On solution nodes: the file the node was read from (the root's and each import's), its
    // modification time, and whether preprocessing changed its tree (conditional sections,
    // definitions or includes), which makes saving over that file lose them.
    const std::string &cachedPath() const { return m_cachedPath; }
    void setCachedPath(std::string path) { m_cachedPath = std::move(path); }
    std::time_t timeStamp() const { return m_timeStamp; }
    void setTimeStamp(std::time_t stamp) { m_timeStamp = stamp; }
    bool hasConditionalSections() const { return m_conditionalSections; }
    void setConditionalSections(bool conditional) { m_conditionalSections = conditional; }

    // The second change flag: set with the modified flag by edits, but only the project
    // system clears it, once it has reacted to the change (reloaded caches, redrawn names).
    bool isChanged() const { return m_changed; }
    void setChanged(bool changed) { m_changed = changed; }

    // Caches the project system keeps per node: resolved property values and expanded
    // macros. Edits below the node make them stale; the project system fills them.
    std::map<std::string, std::string, std::less<>> &valueCache() { return m_valueCache; }
    std::map<std::string, std::string, std::less<>> &macroCache() { return m_macroCache; }

    // Display strings of the project explorer: the name, the name with its state, the
    // tool tip.
    std::string displayText[3];

    ProjectSystem *owner() const { return m_owner; }
    void setOwner(ProjectSystem *owner) { m_owner = owner; }

private:
    void childConfigurationChanged();
    void invalidateCaches();

    Kind m_kind;
    std::map<std::string, ProjectElement *, std::less<>> m_configurations;
    std::map<std::string, std::vector<std::string>, std::less<>> m_inherited;
    std::map<std::string, std::string, std::less<>> m_valueCache;
    std::map<std::string, std::string, std::less<>> m_macroCache;
    AttributeCopy m_importAttributes;
    std::string m_cachedPath;
    std::time_t m_timeStamp = 0;
    ProjectSystem *m_owner = nullptr;
    bool m_modified = false;
    bool m_changed = false;
    bool m_imported = false;
    bool m_canModify = true;
    bool m_conditionalSections = false;
    bool m_mapsBuilt = false;
};
