#include "editor/codeeditparserregistry.h"

#include "editor/codeeditassemblyparser.h"
#include "editor/codeeditbasicparser.h"
#include "editor/codeeditcmakeparser.h"
#include "editor/codeeditcparser.h"
#include "editor/codeeditdoviveparser.h"
#include "editor/codeeditdtsparser.h"
#include "editor/codeeditforthparser.h"
#include "editor/codeeditkeywordparsers.h"
#include "editor/codeeditmarkdownparser.h"
#include "editor/codeeditpythonparser.h"
#include "editor/codeeditsvfparser.h"
#include "editor/codeeditvhdlparser.h"
#include "editor/codeeditxmlparser.h"
#include "editor/codeedityamlparser.h"
#include "editor/disassemblycodeeditparser.h"

#include <QFileInfo>

namespace {

struct Registration {
    const char *title;
    const char *id;
    const char *extensions; // space-separated, lower-case
    const char *fileNames;  // space-separated, exact
    const char *description;
    std::unique_ptr<CodeEditParser> (*create)();
};

template <class Parser> std::unique_ptr<CodeEditParser> make() {
    return std::make_unique<Parser>();
}

// Every language registered at start-up, in menu order; then the further parsers of the
// family, which have no menu entry of their own but colour their files in the same way.
const Registration kRegistrations[] = {
    {"&C/C++", "c", "c h cc cpp cxx c++ hh hpp hxx h++ inl ipp tpp", "", "C and C++ sources",
     make<CodeEditCParser>},
    {"&Java", "java", "java", "", "Java sources", make<CodeEditJavaParser>},
    {"JavaScri&pt", "javascript", "js mjs cjs json", "", "JavaScript and JSON",
     make<CodeEditJavaScriptParser>},
    {"&XML", "xml", "xml xsd xsl xslt svg qzproject qzarchive ui qrc ts plist", "", "XML documents",
     make<CodeEditXMLParser>},
    {"&HTML", "html", "html htm xhtml", "", "HTML pages", make<CodeEditHTMLParser>},
    {"&VHDL", "vhdl", "vhd vhdl", "", "VHDL designs", make<CodeEditVHDLParser>},
    {"Link script", "linkscript", "ld lds lnk", "", "linker command files",
     make<CodeEditVantrelLinkScriptParser>},
    {"XC", "xc", "xc", "", "XC sources", make<CodeEditXCParser>},
    {"&Forth", "forth", "fs fth 4th forth", "", "Forth sources", make<CodeEditForthParser>},
    {"BASIC", "basic", "bas bi", "", "BASIC programs", make<CodeEditBASICParser>},
    {"Markdown", "markdown", "md markdown", "", "Markdown text", make<CodeEditMarkdownParser>},
    {"&Assembly Language", "assembly", "s asm", "", "assembly sources",
     make<CodeEditAssemblyParser>},
    {"&Batch File", "batch", "bat cmd", "", "Windows batch files", make<CodeEditBatchParser>},
    {"&qzDoc", "qzdoc", "qzdoc", "", "qzDoc documentation", make<CodeEditQzDocParser>},
    {"&DovIve", "dovive", "dox dovive", "", "DovIve documentation", make<CodeEditDovIveParser>},
    {"CMake File", "cmake", "cmake", "CMakeLists.txt", "CMake listfiles",
     make<CodeEditCMakeParser>},
    {"Device Tree", "dts", "dts dtsi overlay", "", "device-tree sources", make<CodeEditDTSParser>},
    {"YAML", "yaml", "yaml yml", ".clang-format .clang-tidy", "YAML documents",
     make<CodeEditYAMLParser>},
    {"Python", "python", "py pyw pyi", "SConstruct SConscript", "Python sources",
     make<CodeEditPythonParser>},
    {"SVF", "svf", "svf", "", "serial vector format", make<CodeEditSVFParser>},
    {"STAPL", "stapl", "stp stapl jam", "", "STAPL/JAM programs", make<CodeEditSTAPLParser>},
    {"Disassembly", "disassembly", "dis", "", "disassembly listings",
     make<DisassemblyCodeEditParser>},
};

} // namespace

CodeEditParserRegistry &CodeEditParserRegistry::instance() {
    static CodeEditParserRegistry registry;
    static const bool registered = [] {
        for (const Registration &entry : kRegistrations)
            registry.registerParser(
                entry.create(), QString::fromUtf8(entry.title), QString::fromUtf8(entry.id),
                QString::fromUtf8(entry.extensions).split(' ', Qt::SkipEmptyParts),
                QString::fromUtf8(entry.fileNames).split(' ', Qt::SkipEmptyParts),
                QString::fromUtf8(entry.description));
        return true;
    }();
    (void)registered;
    return registry;
}

void CodeEditParserRegistry::registerParser(std::unique_ptr<CodeEditParser> parser,
                                            const QString &title, const QString &id,
                                            const QStringList &extensions,
                                            const QStringList &fileNames,
                                            const QString &description) {
    ParserRegistration registration;
    registration.title = title;
    registration.name = QString(title).remove('&');
    registration.id = id;
    registration.extensions = extensions;
    registration.fileNames = fileNames;
    registration.description = description;
    registration.parser = parser.get();
    std::size_t index = m_registrations.size();
    for (const QString &extension : extensions)
        m_byExtension.insert(extension.toLower(), index);
    for (const QString &fileName : fileNames)
        m_byFileName.insert(fileName, index);
    m_registrations.push_back(registration);
    m_parsers.push_back(std::move(parser));
}

const ParserRegistration *CodeEditParserRegistry::registrationForFile(const QString &path) const {
    QString fileName = QFileInfo(path).fileName();
    if (auto found = m_byFileName.find(fileName); found != m_byFileName.end())
        return &m_registrations[*found];
    qsizetype dot = fileName.lastIndexOf('.');
    if (dot < 0)
        return nullptr;
    if (auto found = m_byExtension.find(fileName.mid(dot + 1).toLower());
        found != m_byExtension.end())
        return &m_registrations[*found];
    return nullptr;
}

CodeEditParser *CodeEditParserRegistry::parserForFile(const QString &path) const {
    const ParserRegistration *registration = registrationForFile(path);
    return registration ? registration->parser : nullptr;
}

const ParserRegistration *CodeEditParserRegistry::findLanguage(const QString &name) const {
    for (const ParserRegistration &registration : m_registrations)
        if (registration.name.compare(name, Qt::CaseInsensitive) == 0 ||
            registration.id.compare(name, Qt::CaseInsensitive) == 0)
            return &registration;
    return nullptr;
}
