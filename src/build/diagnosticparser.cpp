#include "build/diagnosticparser.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A hostile log can name endless distinct files; the cache must not grow with it.
constexpr qsizetype kExistingCacheLimit = 4096;

} // namespace

DiagnosticParser::DiagnosticParser() = default;

DiagnosticParser::~DiagnosticParser() = default;

bool DiagnosticParser::filterOut(const QString &) {
    return false;
}

void DiagnosticParser::setWorkingDirectory(const QString &directory) {
    m_workingDirectory = directory;
    m_existing.clear();
    m_haveLast = false;
}

void DiagnosticParser::setGenerator(const QString &generator) {
    m_generator = generator;
}

void DiagnosticParser::finished(ProjectElement *, const QString &, const QString &) {}

QString DiagnosticParser::cleanLine(const QString &line) {
    qsizetype n = line.size();
    const QChar *text = line.constData();
    bool plain = true;
    for (qsizetype i = 0; i < n && plain; ++i)
        plain = text[i] != u'\x1b' && text[i] != u'\r';
    if (plain)
        return line;

    QString clean;
    clean.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        QChar c = text[i];
        if (c == u'\r')
            continue;
        if (c != u'\x1b') {
            clean += c;
            continue;
        }
        if (i + 1 >= n)
            break;
        QChar kind = text[i + 1];
        if (kind == u'[') {
            // Control sequence: parameters and intermediates up to a final byte @..~.
            i += 2;
            while (i < n && !(text[i] >= u'@' && text[i] <= u'~'))
                ++i;
        } else if (kind == u']') {
            // Operating system command (GCC's links): up to BEL or ESC backslash.
            i += 2;
            while (i < n && text[i] != u'\a' &&
                   !(text[i] == u'\x1b' && i + 1 < n && text[i + 1] == u'\\'))
                ++i;
            if (i < n && text[i] == u'\x1b')
                ++i;
        } else {
            ++i; // a two-character escape
        }
    }
    return clean;
}

QString DiagnosticParser::absolutePath(const QString &name) const {
    // Not QDir::isAbsolutePath: it takes a name starting with ":" for a Qt resource.
    if (name.startsWith(u'/'))
        return QDir::cleanPath(name);
    QString base = m_workingDirectory;
    if (!base.startsWith(u'/'))
        base = QDir::currentPath() + u'/' + base;
    return QDir::cleanPath(base + u'/' + name);
}

QString DiagnosticParser::existingFile(QStringView view) {
    if (m_haveLast && view == m_lastName)
        return m_lastExisting;
    QString name = view.toString();
    m_lastName = name;
    m_haveLast = true;
    auto found = m_existing.constFind(name);
    if (found != m_existing.constEnd()) {
        m_lastExisting = *found;
        return *found;
    }
    if (m_existing.size() >= kExistingCacheLimit)
        m_existing.clear();
    QString path;
    // No file name holds a NUL; Qt would warn about each such name on standard error.
    if (!name.isEmpty() && !name.contains(QChar(0))) {
        path = absolutePath(name);
        if (!QFileInfo(path).isFile())
            path.clear();
    }
    m_existing.insert(name, path);
    m_lastExisting = path;
    return path;
}
