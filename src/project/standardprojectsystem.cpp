#include "project/standardprojectsystem.h"

#include "core/namevaluelist.h"
#include "core/regularfile.h"
#include "core/replacementfile.h"
#include "project/macroexpander.h"
#include "project/macromap.h"
#include "project/projectdocument.h"
#include "project/solutionloaderror.h"
#include "xml/xmlpp.h"
#include "xml/xmlwriter.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <ext/stdio_filebuf.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern char **environ;

namespace {

enum class ReadResult { Ok, Missing, Unreadable };

// Reads a file the format names: only regular files below the shared size cap, so that a
// FIFO cannot block the load and a device such as /dev/zero cannot eat the memory.
ReadResult readGuardedFile(const std::string &path, std::string &bytes) {
    switch (readRegularFile(path, bytes)) {
    case RegularFileStatus::Ok:
        return ReadResult::Ok;
    case RegularFileStatus::CannotOpen:
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Unreadable;
    default:
        return ReadResult::Unreadable;
    }
}

std::time_t modificationTime(const std::string &path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 ? status.st_mtime : 0;
}

std::string directoryOf(const std::string &path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The preprocessing elements; a file that holds any of them changes shape when processed.
bool isPreprocessingTag(std::string_view tag) {
    static constexpr std::array<std::string_view, 12> kTags = {
        "if",     "ifnot", "ifex",    "ifdef",   "ifndef", "switch",
        "define", "for",   "foreach", "include", "xmldef", "xmlput"};
    return std::find(kTags.begin(), kTags.end(), tag) != kTags.end();
}

ProjectElement::AttributeCopy copyAttributes(const XMLElement &element) {
    ProjectElement::AttributeCopy copy;
    for (const XMLAttribute &attribute : element.getAttributeList())
        copy.emplace_back(std::string(attribute.name),
                          attribute.value.isNull()
                              ? std::nullopt
                              : std::optional<std::string>(std::string(attribute.value.view())));
    return copy;
}

// Sorted saves: configurations, folders, files, then the rest, each by display name.
int sortGroup(const XMLNode *node) {
    const ProjectElement *element = ProjectElement::from(node);
    if (!element)
        return 3;
    switch (element->kind()) {
    case PropertyNode::Kind::Configuration:
        return 0;
    case PropertyNode::Kind::Folder:
        return 1;
    case PropertyNode::Kind::File:
        return 2;
    default:
        return 3;
    }
}

// Attributes are written in name order, which keeps saved files stable under version control.
void setSorted(XMLElement &element, std::vector<XMLAttribute> attributes) {
    std::stable_sort(attributes.begin(), attributes.end(),
                     [](const XMLAttribute &a, const XMLAttribute &b) { return a.name < b.name; });
    for (const XMLAttribute &attribute : attributes)
        element.setAttribute(attribute.name, attribute.value);
}

std::string sortName(const XMLNode *node) {
    if (const ProjectElement *element = ProjectElement::from(node))
        return element->displayName();
    return {};
}

} // namespace

struct StandardProjectSystem::LoadChain {
    std::string file; // canonical
    const LoadChain *outer = nullptr;
    int depth = 0;
};

// What a load gathers before it is committed: nothing reaches the system unless the whole
// load succeeds.
struct StandardProjectSystem::LoadState {
    int imports = 0;
    std::vector<std::string> templateNames;
};

StandardProjectSystem::StandardProjectSystem(const MacroExpander &macros) : m_macros(macros) {}

StandardProjectSystem::~StandardProjectSystem() = default;

void StandardProjectSystem::warn(const std::string &message) const {
    if (m_warning)
        m_warning(message);
    else
        std::fprintf(stderr, "warning: %s\n", message.c_str());
}

void StandardProjectSystem::progress(const std::string &text, long done, long total) const {
    if (m_progress)
        m_progress(text, done, total);
}

ProjectElement *StandardProjectSystem::loadSolution(const std::string &path) {
    const std::string canonical = XmlPP::canonicalPath(path);
    if (m_solution && canonical == m_canonicalPath) {
        // Same wording as an import cycle, but only once the file is known to exist.
        struct stat status;
        if (::stat(path.c_str(), &status) == 0)
            throw SolutionLoadError(path + " solution already loaded");
    }
    LoadState state;
    LoadChain chain{canonical, nullptr, 0};
    std::unique_ptr<ProjectElement> root = loadFile(path, MacroMap(), chain, state);

    std::string templatesFile;
    if (const char *templates = root->getAttribute("templates_file"))
        templatesFile = XmlPP::resolvePath(path, m_macros.globalExpand(templates));
    if (!templatesFile.empty()) {
        std::string bytes;
        ProjectDocument document([this](const std::string &message) { warn(message); });
        const ReadResult read = readGuardedFile(templatesFile, bytes);
        if (read != ReadResult::Ok)
            warn("templates file " + templatesFile +
                 (read == ReadResult::Missing ? " does not exist" : " cannot access"));
        else if (!document.parse(std::string_view(bytes)) || !document.rootElement())
            warn("templates file " + templatesFile + " is malformed (bad XML)");
        else
            for (const XMLNode *node = document.rootElement(); node;
                 node = node->nextInTree(document.rootElement()))
                if (const XMLElement *element = node->toElement())
                    if (const char *name = element->getAttribute("template_name"))
                        state.templateNames.emplace_back(name);
    }

    // The variables are kept for child processes: setting them in this process would
    // outlive the solution and race threads that read the environment.
    std::map<std::string, std::string> environment;
    std::optional<std::string> variables;
    if (const ProjectElement *common = root->configuration("Common"))
        variables = common->storedValue("Common", "environment_variables");
    if (!variables)
        variables = root->storedValue("Common", "environment_variables");
    if (variables)
        for (NameValue &item : parseNameValueList(m_macros.globalExpand(*variables)))
            environment[item.name] = item.value.value_or("");

    for (XMLNode *node = root.get(); node; node = node->nextInTree(root.get()))
        if (ProjectElement *element = ProjectElement::from(node))
            element->setOwner(this);

    m_solution = std::move(root);
    m_canonicalPath = canonical;
    m_environment = std::move(environment);
    m_templateNames = std::move(state.templateNames);
    m_templatesFile = std::move(templatesFile);
    return m_solution.get();
}

std::unique_ptr<ProjectElement> StandardProjectSystem::loadFile(const std::string &path,
                                                                const MacroMap &macros,
                                                                const LoadChain &chain,
                                                                LoadState &state) {
    std::string bytes;
    switch (readGuardedFile(path, bytes)) {
    case ReadResult::Missing:
        throw SolutionLoadError(path + " does not exist");
    case ReadResult::Unreadable:
        throw SolutionLoadError(path + " cannot access");
    case ReadResult::Ok:
        break;
    }
    progress("Loading solution " + path);

    ProjectDocument document([this](const std::string &message) { warn(message); });
    document.setMacroExpander(&m_macros);
    std::string_view text(bytes);
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    if (!document.parse(text) || !document.rootElement())
        throw SolutionLoadError(path + " is a malformed solution file (bad XML)");
    if (document.documentType() != std::string(ProjectDocument::kDocumentType) ||
        !document.root() || document.root()->kind() != PropertyNode::Kind::Solution)
        throw SolutionLoadError(path + " not a solution file");

    // Without macro expansion, so that values keep their $(...) references; what the
    // preprocessor replaces cannot be written back, which saving checks.
    bool conditional = false;
    for (const XMLNode *node = document.rootElement(); node && !conditional;
         node = node->nextInTree(document.rootElement()))
        if (const XMLElement *element = node->toElement())
            conditional = isPreprocessingTag(element->tagName());
    if (conditional)
        XmlPP::processConditionals(document, document.rootElement(), path, macros, false);

    std::unique_ptr<ProjectElement> root(
        static_cast<ProjectElement *>(document.takeRootElement().release()));
    root->setConditionalSections(conditional);
    root->setCachedPath(path);
    root->setTimeStamp(modificationTime(path));

    if (root->hasAttribute("load_command"))
        runLoadCommand(*root, path);

    resolveImports(*root, path, chain, state);

    // Imported solutions built their maps in their own load. Progress counts the root's
    // children.
    long total = 0;
    for (const XMLNode *child = root->firstChild(); child; child = child->nextSibling())
        ++total;
    long done = 0;
    for (XMLNode *node = root.get(); node;) {
        if (node->parent() == root.get())
            progress("Loading solution " + path, done++, total);
        ProjectElement *element = ProjectElement::from(node);
        const bool imported = element && element != root.get() && element->isImported();
        if (element && !imported) {
            for (const std::string &name : element->rebuildDerivedMaps())
                warn(path + ": configuration \"" + name +
                     "\" appears more than once under one node; the first is used");
            if (const char *name = element->getAttribute("template_name"))
                state.templateNames.emplace_back(name);
        }
        node = node->nextInTree(root.get(), !imported);
    }
    if (total)
        progress("Loading solution " + path, total, total);
    return root;
}

void StandardProjectSystem::resolveImports(ProjectElement &root, const std::string &path,
                                           const LoadChain &chain, LoadState &state) {
    std::vector<XMLElement *> imports;
    for (XMLNode *node = &root; node; node = node->nextInTree(&root)) {
        XMLElement *element = node->toElement();
        const ProjectElement *owner = ProjectElement::from(node->parent());
        if (element && element->tagName() == "import" && owner &&
            owner->kind() == PropertyNode::Kind::Solution)
            imports.push_back(element);
    }
    long done = 0;
    const long total = long(imports.size());
    for (XMLElement *element : imports) {
        progress("Loading solution " + path, done++, total);
        const std::string written = element->attributeOr("file_name");
        const std::string importPath = XmlPP::resolvePath(path, m_macros.globalExpand(written));
        const std::string canonical = XmlPP::canonicalPath(importPath);
        for (const LoadChain *link = &chain; link; link = link->outer)
            if (link->file == canonical)
                throw SolutionLoadError(importPath + " solution already loaded");
        if (m_solution && canonical == m_canonicalPath)
            throw SolutionLoadError(importPath + " solution already loaded");
        if (chain.depth + 1 > kMaxImportDepth)
            throw SolutionLoadError(importPath + ": imports nested deeper than " +
                                    std::to_string(kMaxImportDepth));
        if (++state.imports > kMaxImports)
            throw SolutionLoadError(importPath + ": more than " + std::to_string(kMaxImports) +
                                    " imports");

        const MacroMap macros =
            MacroMap::fromList(m_macros.globalExpand(element->attributeOr("macros")));
        const LoadChain inner{canonical, &chain, chain.depth + 1};
        std::unique_ptr<ProjectElement> imported = loadFile(importPath, macros, inner, state);
        imported->setImported(true);
        imported->setCanModify(element->attributeOr("can_modify_solution") != "No");
        imported->setImportAttributes(copyAttributes(*element));
        imported->setAttribute("file_name", written);
        element->parent()->replaceChild(element, std::move(imported));
    }
    if (total)
        progress("Loading solution " + path, total, total);
}

void StandardProjectSystem::runLoadCommand(const ProjectElement &root, const std::string &path) {
    const std::string command = root.attributeOr("load_command");
    if (!m_options.allowLoadCommand) {
        warn("solution load command not run: \"" + command + "\"");
        return;
    }
    progress("Executing load commands");
    // Words, not a shell: the file names a program and its arguments, nothing more.
    QStringList words = QProcess::splitCommand(QString::fromStdString(command));
    if (words.isEmpty())
        return;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const NameValue &item :
         parseNameValueList(m_macros.globalExpand(root.attributeOr("load_command_environment"))))
        environment.insert(QString::fromStdString(item.name),
                           QString::fromStdString(item.value.value_or("")));
    QProcess process;
    process.setProgram(words.takeFirst());
    process.setArguments(words);
    process.setWorkingDirectory(QString::fromStdString(directoryOf(path)));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    if (!process.waitForStarted(m_options.loadCommandTimeoutMs)) {
        if (process.error() == QProcess::FailedToStart)
            throw SolutionLoadError("solution load command \"" + command + "\" not found");
        process.kill();
        process.waitForFinished(-1);
        throw SolutionLoadError("solution load command failed (did not start) \"" + command + "\"");
    }
    if (!process.waitForFinished(m_options.loadCommandTimeoutMs)) {
        process.kill();
        process.waitForFinished(-1);
        throw SolutionLoadError("solution load command failed (timed out after " +
                                std::to_string(m_options.loadCommandTimeoutMs / 1000) + " s) \"" +
                                command + "\"");
    }
    if (process.exitStatus() != QProcess::NormalExit)
        throw SolutionLoadError("solution load command failed (crashed) \"" + command + "\"");
    if (process.exitCode() != 0)
        throw SolutionLoadError("solution load command failed (exit code " +
                                std::to_string(process.exitCode()) + ") \"" + command + "\"");
}

bool StandardProjectSystem::saveSolution(ProjectElement &root, const std::string &path, bool sort) {
    m_lastError.clear();
    if (root.kind() != PropertyNode::Kind::Solution) {
        m_lastError = "Can't open " + path + " for writing";
        return false;
    }
    if (root.hasConditionalSections() &&
        XmlPP::canonicalPath(path) == XmlPP::canonicalPath(root.cachedPath())) {
        m_lastError = path + " has conditional sections and cannot be saved";
        return false;
    }

    // Elements are made by a plain document: the written tree is a copy of plain elements.
    XMLDocument document;
    std::vector<ProjectElement *> written;
    std::vector<std::pair<const XMLNode *, XMLNode *>> pending;
    std::vector<const XMLNode *> children;
    const std::string target = std::to_string(m_target);
    auto convert = [&](const XMLNode &source, bool isRoot) -> std::unique_ptr<XMLNode> {
        const ProjectElement *element = ProjectElement::from(&source);
        if (!element || element->kind() == ProjectElement::Unknown) {
            // Elements this format does not know go back as they came, attribute order too.
            std::unique_ptr<XMLNode> copy = source.cloneNode(document);
            pending.emplace_back(&source, copy.get());
            return copy;
        }
        written.push_back(const_cast<ProjectElement *>(element));
        if (element->isImported() && !isRoot) {
            // The import as it was written (its macros included), so that the next load
            // builds the same tree.
            std::vector<XMLAttribute> attributes;
            for (const auto &[name, value] : element->importAttributes())
                if (name != "file_name" && name != "can_modify_solution")
                    attributes.push_back({name, value ? XMLValue(*value) : XMLValue()});
            const std::string fileName = element->attributeOr("file_name");
            attributes.push_back({"file_name", fileName});
            if (!element->canModify())
                attributes.push_back({"can_modify_solution", "No"});
            auto import = std::make_unique<XMLElement>("import");
            setSorted(*import, std::move(attributes));
            return import;
        }
        auto copy = std::make_unique<XMLElement>(ProjectElement::tagOfKind(element->kind()));
        std::vector<XMLAttribute> attributes;
        for (const XMLAttribute &attribute : element->getAttributeList()) {
            if (attribute.name == "Name" && attribute.value.size() == 0)
                continue;
            if (isRoot && element->isImported() && attribute.name == "file_name")
                continue;
            attributes.push_back(attribute);
        }
        if (isRoot && !element->hasAttribute("target"))
            attributes.push_back({"target", target});
        copy->reserveAttributes(element->getAttributeList().byteSize() + 32);
        setSorted(*copy, std::move(attributes));
        pending.emplace_back(&source, copy.get());
        return copy;
    };

    // Each child of the root is copied, written and freed in turn, so that a save never
    // holds a second copy of the whole tree.
    auto childrenOf = [&](const XMLNode *source) -> const std::vector<const XMLNode *> & {
        const ProjectElement *element = ProjectElement::from(source);
        const bool known = element && element->kind() != ProjectElement::Unknown;
        children.clear();
        for (const XMLNode *child = source->firstChild(); child; child = child->nextSibling()) {
            // A dynamic folder shows what is on disk: only its settings are stored.
            const ProjectElement *inner = ProjectElement::from(child);
            if (known && element->isDynamicFolder() &&
                !(inner && inner->kind() == PropertyNode::Kind::Configuration))
                continue;
            children.push_back(child);
        }
        if (sort && known)
            std::stable_sort(children.begin(), children.end(),
                             [](const XMLNode *a, const XMLNode *b) {
                                 const int ga = sortGroup(a), gb = sortGroup(b);
                                 return ga != gb ? ga < gb : sortName(a) < sortName(b);
                             });
        return children;
    };
    auto convertTree = [&](const XMLNode &source) {
        std::unique_ptr<XMLNode> top = convert(source, false);
        while (!pending.empty()) {
            auto [from, copy] = pending.back();
            pending.pop_back();
            for (const XMLNode *child : childrenOf(from))
                copy->appendChild(convert(*child, false));
        }
        return top;
    };

    // Into a replacement file: a failed save leaves the old file as it was.
    ReplacementFile file(path);
    const int fd = file.openOutput(0666);
    bool ok = fd >= 0;
    if (ok) {
        file.releaseDescriptor();
        __gnu_cxx::stdio_filebuf<char> buffer(fd, std::ios::out, 1 << 16);
        std::ostream out(&buffer);
        {
            XMLWriter writer(out, 2, 0);
            writer.writeDeclaration(std::string("1.0"), std::string("UTF-8"));
            writer.writeDocumentType(ProjectDocument::kDocumentType);
            std::unique_ptr<XMLNode> top = convert(root, true);
            pending.clear();
            const std::vector<const XMLNode *> rootChildren = childrenOf(&root);
            if (rootChildren.empty()) {
                writer.writeNode(*top);
            } else {
                std::string head = "<" + top->toElement()->tagName();
                for (const XMLAttribute &attribute : top->toElement()->getAttributeList()) {
                    head += " ";
                    head += attribute.name;
                    head += "=\"";
                    XMLWriter::appendEscaped(head, attribute.value.view());
                    head += "\"";
                }
                head += ">\n";
                writer.flush();
                out << head;
                for (const XMLNode *child : rootChildren) {
                    std::unique_ptr<XMLNode> copy = convertTree(*child);
                    writer.writeNode(*copy, 1);
                }
                writer.flush();
                out << "</" << top->toElement()->tagName() << ">\n";
            }
        }
        out.flush();
        ok = bool(out) && buffer.close() != nullptr;
    }
    ok = ok && file.commit(true);
    if (!ok) {
        m_lastError = "Can't open " + path + " for writing";
        return false;
    }

    if (!root.hasAttribute("target"))
        root.setAttribute("target", std::to_string(m_target));
    root.setCachedPath(path);
    root.setTimeStamp(modificationTime(path));
    root.setConditionalSections(false);
    // Only what went into this file is saved; edits below imports stay pending.
    for (ProjectElement *element : written)
        if (element == &root || !element->isImported())
            element->setModified(false);
    if (&root == m_solution.get())
        m_canonicalPath = XmlPP::canonicalPath(path);
    for (const MessageHandler &listener : m_savedListeners)
        listener(path);
    return true;
}

bool StandardProjectSystem::saveAll(bool sort) {
    if (!m_solution)
        return true;
    if (!saveSolution(*m_solution, m_solution->cachedPath(), sort))
        return false;
    // Imported solutions with edits are saved to their own files, innermost last.
    for (XMLNode *node = m_solution.get(); node; node = node->nextInTree(m_solution.get())) {
        ProjectElement *element = ProjectElement::from(node);
        if (!element || element == m_solution.get() || !element->isImported() ||
            !element->canModify())
            continue;
        bool modified = false;
        for (const XMLNode *inner = element; inner && !modified;) {
            const ProjectElement *below = ProjectElement::from(inner);
            const bool nested = below && below != element && below->isImported();
            modified = below && !nested && below->isModified();
            inner = inner->nextInTree(element, !nested);
        }
        if (modified && !saveSolution(*element, element->cachedPath(), sort))
            return false;
    }
    return true;
}

std::string StandardProjectSystem::withSolutionExtension(const std::string &path) {
    const std::string extension = kExtension;
    if (path.size() >= extension.size() &&
        path.compare(path.size() - extension.size(), extension.size(), extension) == 0)
        return path;
    return path + extension;
}

bool StandardProjectSystem::saveSolutionAs(const std::string &chosenPath, bool sort) {
    if (!m_solution) {
        m_lastError = "Can't open " + withSolutionExtension(chosenPath) + " for writing";
        return false;
    }
    return saveSolution(*m_solution, withSolutionExtension(chosenPath), sort);
}

std::optional<std::string> StandardProjectSystem::closeRefusal(bool building, bool debugging,
                                                               bool scriptRunning) {
    if (building)
        return "You cannot exit or close a solution while building.";
    if (debugging)
        return "You cannot exit or close a solution while debugging.";
    if (scriptRunning)
        return "You cannot exit or close a solution while a script is running.";
    return std::nullopt;
}

std::optional<std::string> StandardProjectSystem::closeSolution(bool building, bool debugging,
                                                                bool scriptRunning) {
    if (auto refusal = closeRefusal(building, debugging, scriptRunning))
        return refusal;
    m_solution.reset();
    m_canonicalPath.clear();
    m_environment.clear();
    m_templateNames.clear();
    m_templatesFile.clear();
    return std::nullopt;
}

bool StandardProjectSystem::changedOnDisk() const {
    return m_solution && modificationTime(m_solution->cachedPath()) != m_solution->timeStamp();
}

std::string StandardProjectSystem::externalChangeQuestion(bool modifiedHere,
                                                          const std::string &programName) {
    if (modifiedHere)
        return "The project file been modified within " + programName +
               " and has also been modified externally.\n\nDo you want to re-load the project?";
    return "The project file been modified externally.\n\nDo you want to re-load the project?";
}

bool StandardProjectSystem::isModified() const {
    if (!m_solution)
        return false;
    for (const XMLNode *node = m_solution.get(); node; node = node->nextInTree(m_solution.get()))
        if (const ProjectElement *element = ProjectElement::from(node))
            if (element->isModified())
                return true;
    return false;
}

std::vector<std::string> StandardProjectSystem::childEnvironment() const {
    std::vector<std::string> items;
    for (char **entry = environ; entry && *entry; ++entry) {
        const char *equals = std::strchr(*entry, '=');
        const std::string name(*entry, equals ? std::size_t(equals - *entry) : std::strlen(*entry));
        if (!m_environment.count(name))
            items.emplace_back(*entry);
    }
    for (const auto &[name, value] : m_environment)
        items.push_back(name + "=" + value);
    return items;
}
