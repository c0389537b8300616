#include "project/nodemacros.h"

#include "project/macroexpander.h"
#include "project/projectelement.h"
#include "project/projectsystem.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"

#include <algorithm>
#include <climits>

#include <unistd.h>

#include <vector>

namespace {

using Kind = PropertyNode::Kind;

// "/a/./b//c/../d/" -> "/a/b/d"; a relative path stays relative ("" -> ".").
std::string cleanPath(std::string_view path) {
    const bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += '/';
        out += parts[i];
    }
    return out.empty() ? "." : out;
}

// Whether cleanPath() would leave `path` as it is: no empty, "." or ".." part, and not "/".
bool isClean(std::string_view path) {
    if (path.empty())
        return false;
    std::size_t start = path.front() == '/' ? 1 : 0;
    while (true) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (end == path.size())
            return true;
        start = end + 1;
    }
}

// `path` against `base` when it is relative; cleaned either way. Joining two clean paths
// needs no cleaning, and a build anchors a path per file.
std::string anchored(const std::string &base, const std::string &path) {
    if (path.empty() || path.front() == '/' || base.empty())
        return cleanPath(path);
    std::string joined = base + "/" + path;
    return isClean(base) && isClean(path) ? joined : cleanPath(joined);
}

std::string workingDirectory() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string("/");
}

std::string absolutePath(const std::string &path) {
    return path.empty() || path.front() == '/' ? cleanPath(path)
                                               : anchored(workingDirectory(), path);
}

std::string directoryPart(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The directory of the node's solution file, absolute.
std::string solutionDirectory(const ProjectElement &node) {
    const ProjectElement *solution = node.solution();
    if (!solution || solution->cachedPath().empty())
        return workingDirectory();
    return directoryPart(absolutePath(solution->cachedPath()));
}

std::string fileNamePart(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Both absolute and clean: "../x" from /a/b to /a/x; nothing when `path` does not lie below
// `directory` and `within` is set.
std::optional<std::string> relativePath(const std::string &directory, const std::string &path,
                                        bool within) {
    // The usual case, a path below the directory, without splitting both.
    if (path.size() > directory.size() + 1 && path[directory.size()] == '/' &&
        path.compare(0, directory.size(), directory) == 0 && isClean(directory) && isClean(path))
        return path.substr(directory.size() + 1);
    auto split = [](const std::string &text) {
        std::vector<std::string_view> parts;
        std::string_view rest(text);
        while (!rest.empty()) {
            const std::size_t slash = rest.find('/');
            if (slash != 0)
                parts.push_back(rest.substr(0, slash));
            if (slash == std::string_view::npos)
                break;
            rest.remove_prefix(slash + 1);
        }
        return parts;
    };
    const auto from = split(directory), to = split(path);
    std::size_t common = 0;
    while (common < from.size() && common < to.size() && from[common] == to[common])
        ++common;
    if (within && common < from.size())
        return std::nullopt;
    std::string out;
    for (std::size_t i = common; i < from.size(); ++i)
        out += out.empty() ? ".." : "/..";
    for (std::size_t i = common; i < to.size(); ++i) {
        if (!out.empty())
            out += '/';
        out += to[i];
    }
    return out.empty() ? "." : out;
}

} // namespace

NodeMacros::NodeMacros(const PropertyRegistry &registry, const MacroExpander &expander,
                       const ProjectSystem *system)
    : m_registry(registry), m_expander(expander), m_system(system) {}

std::string NodeMacros::resolved(const PropertyResolver &resolver, const char *name) const {
    if (const PropertyClass *definition = m_registry.find(name))
        return resolver.resolve(*definition);
    return resolver.resolve(name, PropertyType::String, {});
}

std::string NodeMacros::projectDirectory(const ProjectElement &node,
                                         const std::string &configuration) const {
    return projectDirectory(node, configuration, solutionDirectory(node));
}

std::string NodeMacros::projectDirectory(const ProjectElement &node,
                                         const std::string &configuration,
                                         const std::string &solutionDir) const {
    const ProjectElement *project = node.nearest(Kind::Project);
    if (!project)
        return solutionDir;
    std::string directory =
        resolved(PropertyResolver(*project, configuration), "project_directory");
    if (directory.find('$') != std::string::npos) {
        MacroMap local;
        local.set("SolutionDir", solutionDir);
        m_expander.expandInPlace(directory, local);
    }
    return directory.empty() ? solutionDir : anchored(solutionDir, directory);
}

MacroMap NodeMacros::build(const ProjectElement &node, const std::string &configuration) const {
    return build(PropertyResolver(node, configuration));
}

MacroMap NodeMacros::build(const PropertyResolver &resolver) const {
    Layers layers = buildLayers(resolver);
    MacroMap map = std::move(layers.rest);
    for (const auto &[name, value] : layers.own)
        map.set(name, value);
    return map;
}

NodeMacros::FileOwnValues NodeMacros::fileOwnValues(const ProjectElement &file,
                                                    const std::string &projectDir) const {
    std::string name = m_expander.globalExpand(file.attributeOr("file_name"));
    std::string input;
    std::string relative;
    // The usual case, a clean name below the project directory, is itself relative to it.
    if (!name.empty() && name.front() != '/' && isClean(projectDir) && isClean(name)) {
        input = projectDir + '/' + name;
        relative = std::move(name);
    } else {
        input = anchored(projectDir, name);
        relative = relativePath(projectDir, input, true).value_or(input);
    }
    std::string fileName = fileNamePart(input);
    const std::size_t dot = fileName.rfind('.');
    std::string relativeDir = directoryPart(relative);
    FileOwnValues values;
    values[0] = file.displayName();
    values[1] = directoryPart(input);
    values[3] = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    values[4] = dot == std::string::npos ? "" : fileName.substr(dot + 1);
    values[2] = std::move(fileName);
    values[5] = input;
    values[6] = std::move(relative);
    values[7] = relativeDir.empty() ? "." : std::move(relativeDir);
    return values;
}

MacroMap NodeMacros::ownMacros(const ProjectElement &node, const std::string &projectDir) const {
    MacroMap map;
    if (node.kind() != Kind::File) {
        map.set("ProjectNodeName", node.displayName());
        return map;
    }
    FileOwnValues values = fileOwnValues(node, projectDir);
    for (std::size_t i = 0; i < values.size(); ++i)
        map.set(std::string(kFileOwnNames[i]), std::move(values[i]));
    return map;
}

NodeMacros::Layers NodeMacros::buildLayers(const PropertyResolver &resolver) const {
    const ProjectElement &node = resolver.node();
    const std::string &configuration = resolver.configuration();
    const ProjectElement *solution = node.solution();
    const std::string solutionPath = solution && !solution->cachedPath().empty()
                                         ? absolutePath(solution->cachedPath())
                                         : std::string();
    const std::string solutionDir =
        solutionPath.empty() ? workingDirectory() : directoryPart(solutionPath);

    // Step 1: the project's own macros.
    std::string projectList = resolved(resolver, "macros");
    const MacroMap project =
        projectList.empty() ? MacroMap() : MacroMap::fromList(m_expander.globalExpand(projectList));

    // Steps 2 and 3: what the node is and where it lies.
    Layers layers;
    MacroMap &map = layers.rest;
    std::vector<const ProjectElement *> folders;
    const ProjectElement *projectNode = node.kind() == Kind::Project ? &node : nullptr;
    for (const ProjectElement *at = node.parentElement(); at && !projectNode;
         at = at->parentElement()) {
        if (at->kind() == Kind::Folder)
            folders.push_back(at);
        else if (at->kind() == Kind::Project)
            projectNode = at;
        else if (at->kind() == Kind::Solution)
            break;
    }
    if (!folders.empty()) {
        map.set("FolderName", folders.front()->displayName());
        std::string path;
        for (auto at = folders.rbegin(); at != folders.rend(); ++at)
            path += (path.empty() ? "" : "/") + (*at)->displayName();
        map.set("FolderPath", path);
    }
    layers.projectDir = projectDirectory(node, configuration, solutionDir);
    const std::string &projectDir = layers.projectDir;
    if (projectNode) {
        map.set("ProjectDir", projectDir);
        map.set("ProjectName", projectNode->displayName());
    }
    if (!solutionPath.empty()) {
        const std::string fileName = fileNamePart(solutionPath);
        const std::size_t dot = fileName.rfind('.');
        map.set("SolutionDir", solutionDir);
        map.set("SolutionFileName", fileName);
        map.set("SolutionPath", solutionPath);
        map.set("SolutionName", dot == std::string::npos ? fileName : fileName.substr(0, dot));
        map.set("SolutionExt", dot == std::string::npos ? "" : fileName.substr(dot + 1));
    }
    layers.own = ownMacros(node, projectDir);
    const MacroMap &own = layers.own;
    map.set("Configuration", configuration);
    using Extension = ProjectSystem::FileExtension;
    map.set("OBJ", m_system ? m_system->defaultExtension(Extension::Object) : "");
    map.set("EXE", m_system ? m_system->defaultExtension(Extension::Executable) : "");
    map.set("LIB", m_system ? m_system->defaultExtension(Extension::Library) : "");
    map.set("PackageExt", "qzPackage");
    if (m_system)
        m_system->addToolchainMacros(node, configuration, map);

    // The project macros under the names the steps above left free, each expanded once with
    // those node macros: "Out=$(ProjectDir)/bin" must not reach a command line unexpanded.
    if (!project.empty()) {
        const MacroMap nodeOnly = map;
        for (const auto &[name, value] : project)
            if (!nodeOnly.contains(name) && !own.contains(name))
                map.set(name, m_expander.expand(value, {&own, &nodeOnly}, &layers.restUsesOwn));
    }

    // Step 4: the directories, anchored at the project directory so that they mean the
    // same wherever the build runs.
    auto directory = [&](const char *property, const char *macro, bool anchor) {
        std::string text =
            m_expander.expand(resolved(resolver, property), {&own, &map}, &layers.restUsesOwn);
        if (anchor && !text.empty())
            text = anchored(projectDir, text);
        map.set(macro, text);
        return text;
    };
    directory("build_toolchain_directory", "ToolChainDir", false);
    directory("build_intermediate_directory", "IntDir", true);
    const std::string outDir = directory("build_output_directory", "OutDir", true);
    const std::string rootOutDir = directory("build_root_output_directory", "RootOutDir", true);
    if (!outDir.empty() && !rootOutDir.empty())
        map.set("RootRelativeOutDir", *relativePath(outDir, rootOutDir, false));
    return layers;
}

std::string NodeMacros::expand(const ProjectElement &node, const std::string &configuration,
                               std::string text) const {
    if (text.find(MacroExpander::kIntroducer) == std::string::npos)
        return text;
    return m_expander.expand(std::move(text), build(node, configuration));
}

std::string NodeMacros::expand(const MacroMap &nodeMacros, std::string text) const {
    return m_expander.expand(std::move(text), nodeMacros);
}

bool NodeMacros::takesGlobalExpansionOnly(const PropertyClass &definition) {
    return definition.help().find("global macro expansion") != std::string::npos;
}

std::string NodeMacros::expandedValue(const ProjectElement &node, const PropertyClass &definition,
                                      const std::string &configuration) const {
    std::string text = PropertyResolver::resolve(node, definition, configuration);
    if (takesGlobalExpansionOnly(definition))
        return m_expander.globalExpand(std::move(text));
    return expand(node, configuration, std::move(text));
}
