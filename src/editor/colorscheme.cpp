#include "editor/colorscheme.h"

#include "core/hexception.h"
#include "core/replacementfile.h"

#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

constexpr char kDocumentType[] = "Tovan_Color_Scheme_File";

const char kBuiltinSchemes[] = R"(<!DOCTYPE Tovan_Color_Scheme_File>
<schemes>
 <scheme name="Default">
  <scheme-color name="editor-text" color="#1e1e1e"/>
  <scheme-color name="literal" color="#098658"/>
  <scheme-color name="comment" color="#6a737d" italic="1"/>
  <scheme-color name="keyword" color="#0000c0" bold="1"/>
  <scheme-color name="disassembly" color="#7f4f24"/>
  <scheme-color name="xml-markup" color="#800000"/>
  <scheme-color name="control" color="#a0208c"/>
  <scheme-color name="operator" color="#303030"/>
  <scheme-color name="register" color="#005f87"/>
  <scheme-color name="function" color="#795e26"/>
  <scheme-color name="fixme" color="#ffffff" background-color="#c00000" bold="1"/>
  <scheme-color name="attention" color="#000000" background-color="#ffd700" bold="1"/>
  <scheme-color name="lint" color="#6a737d" underline="1"/>
  <scheme-color name="doc-keyword" color="#3f5fbf" bold="1"/>
  <scheme-color name="doc-argument" color="#3f5fbf"/>
  <scheme-color name="doc-code" color="#4e4e4e"/>
  <scheme-color name="xml-attribute" color="#e50000"/>
  <scheme-color name="editor-background" color="#ffffff"/>
  <scheme-color name="editor-selection" color="#add6ff"/>
  <scheme-color name="find-highlight" color="#ffe680"/>
  <scheme-color name="execution-focused-highlight" color="#ffff80"/>
  <scheme-color name="execution-non-focused-highlight" color="#e0e0a0"/>
  <scheme-color name="brace-match-fill" color="#d0e8ff"/>
  <scheme-color name="brace-match-aligned-connector" color="#80a0c0"/>
  <scheme-color name="brace-match-misaligned-connector" color="#ff8080"/>
  <scheme-color name="highlight-cursor-line" color="#f4f4f4"/>
  <scheme-color name="insert-cursor" color="#000000"/>
  <scheme-color name="overwrite" color="#c00000"/>
  <scheme-color name="guide" color="#e0e0e0"/>
  <scheme-color name="string" color="#a31515"/>
  <scheme-color name="string-delimiter" color="#a31515" bold="1"/>
  <scheme-color name="string-escape" color="#ee0000"/>
  <scheme-color name="xml-delimiter" color="#800000"/>
  <scheme-color name="spelling-error" color="#c00000"/>
  <scheme-color name="line-number" color="#999999"/>
  <scheme-color name="line-number-highlight" color="#333333"/>
  <scheme-color name="warning" color="#e0a000"/>
  <scheme-color name="error" color="#e00000"/>
  <scheme-color name="breakpoint" color="#c00000"/>
  <scheme-color name="bookmark" color="#4080ff"/>
  <scheme-color name="fold-rule" color="#c0c0c0"/>
  <scheme-color name="fold-rule-highlight" color="#606060"/>
  <scheme-color name="terminal-black" color="#000000"/>
  <scheme-color name="terminal-red" color="#cd0000"/>
  <scheme-color name="terminal-green" color="#00cd00"/>
  <scheme-color name="terminal-yellow" color="#cdcd00"/>
  <scheme-color name="terminal-blue" color="#0000ee"/>
  <scheme-color name="terminal-magenta" color="#cd00cd"/>
  <scheme-color name="terminal-cyan" color="#00cdcd"/>
  <scheme-color name="terminal-white" color="#e5e5e5"/>
  <scheme-color name="terminal-bright-black" color="#7f7f7f"/>
  <scheme-color name="terminal-bright-red" color="#ff0000"/>
  <scheme-color name="terminal-bright-green" color="#00ff00"/>
  <scheme-color name="terminal-bright-yellow" color="#ffff00"/>
  <scheme-color name="terminal-bright-blue" color="#5c5cff"/>
  <scheme-color name="terminal-bright-magenta" color="#ff00ff"/>
  <scheme-color name="terminal-bright-cyan" color="#00ffff"/>
  <scheme-color name="terminal-bright-white" color="#ffffff"/>
  <scheme-color name="progress-bar" color="#4080ff"/>
 </scheme>
 <scheme name="Dark" inherits="Default">
  <scheme-color name="editor-text" color="#d4d4d4"/>
  <scheme-color name="literal" color="#b5cea8"/>
  <scheme-color name="comment" color="#6a9955" italic="1"/>
  <scheme-color name="keyword" color="#569cd6" bold="1"/>
  <scheme-color name="disassembly" color="#ce9178"/>
  <scheme-color name="xml-markup" color="#569cd6"/>
  <scheme-color name="control" color="#c586c0"/>
  <scheme-color name="operator" color="#d4d4d4"/>
  <scheme-color name="register" color="#4ec9b0"/>
  <scheme-color name="function" color="#dcdcaa"/>
  <scheme-color name="doc-keyword" color="#569cd6" bold="1"/>
  <scheme-color name="doc-argument" color="#9cdcfe"/>
  <scheme-color name="doc-code" color="#b0b0b0"/>
  <scheme-color name="xml-attribute" color="#9cdcfe"/>
  <scheme-color name="editor-background" color="#1e1e1e"/>
  <scheme-color name="editor-selection" color="#264f78"/>
  <scheme-color name="highlight-cursor-line" color="#2a2a2a"/>
  <scheme-color name="insert-cursor" color="#ffffff"/>
  <scheme-color name="string" color="#ce9178"/>
  <scheme-color name="string-delimiter" color="#ce9178" bold="1"/>
  <scheme-color name="string-escape" color="#d7ba7d"/>
  <scheme-color name="xml-delimiter" color="#808080"/>
  <scheme-color name="spelling-error" color="#f44747"/>
  <scheme-color name="line-number" color="#858585"/>
  <scheme-color name="line-number-highlight" color="#c6c6c6"/>
 </scheme>
</schemes>
)";

bool isSet(const QXmlStreamAttributes &attributes, const char *name) {
    return attributes.value(QLatin1String(name)) == QLatin1String("1");
}

} // namespace

QString colorName(std::uint32_t rgb) {
    return QStringLiteral("#%1").arg(rgb & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

std::optional<std::uint32_t> parseColorName(const QString &text) {
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    std::uint32_t value = 0;
    for (qsizetype i = 1; i < 7; ++i) {
        int digit = QChar(text[i]).isDigit() ? text[i].unicode() - '0'
                    : (text[i].toLower() >= 'a' && text[i].toLower() <= 'f')
                        ? text[i].toLower().unicode() - 'a' + 10
                        : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + std::uint32_t(digit);
    }
    return value;
}

ColorSchemeSet ColorSchemeSet::builtin() {
    ColorSchemeSet set;
    set.readText(QByteArray(kBuiltinSchemes), QStringLiteral("built-in schemes"));
    return set;
}

void ColorSchemeSet::add(const ColorScheme &scheme) {
    for (ColorScheme &existing : m_schemes)
        if (existing.name == scheme.name) {
            existing = scheme;
            return;
        }
    m_schemes.push_back(scheme);
}

const ColorScheme *ColorSchemeSet::find(const QString &name) const {
    for (const ColorScheme &scheme : m_schemes)
        if (scheme.name == name)
            return &scheme;
    return nullptr;
}

void ColorSchemeSet::readFile(const QString &path, QStringList *warnings) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw HException(
            QStringLiteral("cannot read %1: %2").arg(path, file.errorString()).toStdString());
    readText(file.readAll(), path, warnings);
}

void ColorSchemeSet::readText(const QByteArray &xml, const QString &source, QStringList *warnings) {
    QXmlStreamReader reader(xml);
    auto fail = [&](const QString &message) {
        throw HException(QStringLiteral("%1:%2: %3")
                             .arg(source)
                             .arg(reader.lineNumber())
                             .arg(message)
                             .toStdString());
    };
    auto warn = [&](const QString &message) {
        if (warnings)
            warnings->append(
                QStringLiteral("%1:%2: %3").arg(source).arg(reader.lineNumber()).arg(message));
    };
    std::vector<ColorScheme> schemes;
    bool root = false;
    int depth = 0;
    while (!reader.atEnd()) {
        QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD) {
            if (reader.dtdName() != QLatin1String(kDocumentType))
                fail(QStringLiteral("not a colour scheme file (document type %1)")
                         .arg(reader.dtdName()));
        } else if (token == QXmlStreamReader::StartElement) {
            ++depth;
            QXmlStreamAttributes attributes = reader.attributes();
            if (depth == 1) {
                if (reader.name() != QLatin1String("schemes"))
                    fail(QStringLiteral("not a colour scheme file (root element %1)")
                             .arg(reader.name()));
                root = true;
            } else if (depth == 2 && reader.name() == QLatin1String("scheme")) {
                ColorScheme scheme;
                scheme.name = attributes.value(QLatin1String("name")).toString();
                if (scheme.name.isEmpty())
                    fail(QStringLiteral("scheme without a name"));
                scheme.inherits = attributes.value(QLatin1String("inherits")).toString();
                scheme.hidden = isSet(attributes, "hidden");
                schemes.push_back(scheme);
            } else if (depth == 3 && reader.name() == QLatin1String("scheme-color")) {
                QString name = attributes.value(QLatin1String("name")).toString();
                const StyleInfo *style = styleByXmlName(name.toStdString());
                if (!style) {
                    warn(QStringLiteral("unknown style %1").arg(name));
                    continue;
                }
                SchemeColor color;
                for (const char *attribute : {"color", "background-color"}) {
                    if (!attributes.hasAttribute(QLatin1String(attribute)))
                        continue;
                    QString text = attributes.value(QLatin1String(attribute)).toString();
                    std::optional<std::uint32_t> rgb = parseColorName(text);
                    if (!rgb)
                        warn(QStringLiteral("bad colour %1 for %2").arg(text, name));
                    else if (attribute[0] == 'c')
                        color.color = rgb;
                    else
                        color.background = rgb;
                }
                color.bold = isSet(attributes, "bold");
                color.italic = isSet(attributes, "italic");
                color.underline = isSet(attributes, "underline");
                schemes.back().entries[std::size_t(style->index)] = color;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (reader.hasError())
        fail(reader.errorString());
    if (!root)
        fail(QStringLiteral("not a colour scheme file (no schemes element)"));
    for (const ColorScheme &scheme : schemes)
        add(scheme);
}

QByteArray ColorSchemeSet::toXml() const {
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(1);
    writer.writeStartDocument();
    writer.writeDTD(QStringLiteral("<!DOCTYPE %1>").arg(QLatin1String(kDocumentType)));
    writer.writeStartElement(QStringLiteral("schemes"));
    for (const ColorScheme &scheme : m_schemes) {
        writer.writeStartElement(QStringLiteral("scheme"));
        writer.writeAttribute(QStringLiteral("name"), scheme.name);
        if (!scheme.inherits.isEmpty())
            writer.writeAttribute(QStringLiteral("inherits"), scheme.inherits);
        if (scheme.hidden)
            writer.writeAttribute(QStringLiteral("hidden"), QStringLiteral("1"));
        for (int index = 0; index < kStyleCount; ++index) {
            const std::optional<SchemeColor> &entry = scheme.entries[std::size_t(index)];
            if (!entry)
                continue;
            writer.writeEmptyElement(QStringLiteral("scheme-color"));
            writer.writeAttribute(QStringLiteral("name"),
                                  QLatin1String(styleTable()[index].xmlName));
            if (entry->color)
                writer.writeAttribute(QStringLiteral("color"), colorName(*entry->color));
            if (entry->background)
                writer.writeAttribute(QStringLiteral("background-color"),
                                      colorName(*entry->background));
            if (entry->bold)
                writer.writeAttribute(QStringLiteral("bold"), QStringLiteral("1"));
            if (entry->italic)
                writer.writeAttribute(QStringLiteral("italic"), QStringLiteral("1"));
            if (entry->underline)
                writer.writeAttribute(QStringLiteral("underline"), QStringLiteral("1"));
        }
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

void ColorSchemeSet::writeFile(const QString &path) const {
    QByteArray xml = toXml();
    ReplacementFile file(QFile::encodeName(path).toStdString());
    int fd = file.openOutput(0666);
    auto fail = [&] {
        throw HException(QStringLiteral("cannot write %1: %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(errno)))
                             .toStdString());
    };
    if (fd < 0)
        fail();
    for (qsizetype done = 0; done < xml.size();) {
        ssize_t n = ::write(fd, xml.constData() + done, std::size_t(xml.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int saved = errno;
            ::close(file.releaseDescriptor());
            errno = saved;
            fail();
        }
        done += n;
    }
    if (::close(file.releaseDescriptor()) != 0 || !file.commit(true))
        fail();
}

ColorScheme ColorSchemeSet::resolved(const QString &name, QStringList *warnings) const {
    const ColorScheme *scheme = find(name);
    if (!scheme)
        throw HException(QStringLiteral("unknown colour scheme %1").arg(name).toStdString());
    ColorScheme result = *scheme;
    QStringList visited{scheme->name};
    for (const ColorScheme *child = scheme; !child->inherits.isEmpty();) {
        const ColorScheme *parent = find(child->inherits);
        if (!parent) {
            if (warnings)
                warnings->append(QStringLiteral("colour scheme %1 inherits from unknown scheme %2")
                                     .arg(child->name, child->inherits));
            break;
        }
        if (visited.contains(parent->name)) {
            if (warnings)
                warnings->append(QStringLiteral("colour scheme %1 inherits from itself through %2")
                                     .arg(scheme->name, visited.join(QStringLiteral(" -> "))));
            break;
        }
        visited.append(parent->name);
        for (std::size_t i = 0; i < result.entries.size(); ++i)
            if (!result.entries[i])
                result.entries[i] = parent->entries[i];
        child = parent;
    }
    return result;
}
