#include "editor/spellchecker.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <hunspell.hxx>

SpellChecker::~SpellChecker() = default;

HunspellChecker::~HunspellChecker() = default;

namespace {

// Where Debian and most distributions keep MySpell/Hunspell dictionaries.
const char *const kDictionaryDirectories[] = {"/usr/share/hunspell", "/usr/share/myspell",
                                              "/usr/share/myspell/dicts"};

// A .dic file starts with the approximate word count; anything else is not a dictionary.
bool looksLikeDictionary(const QString &dicPath) {
    QFile file(dicPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray first = file.readLine(64).trimmed();
    bool ok = false;
    long count = first.split('/').first().toLong(&ok);
    return ok && count > 0;
}

} // namespace

std::unique_ptr<HunspellChecker> HunspellChecker::open(const QString &path, QString *error) {
    QString base = path;
    if (base.endsWith(".aff") || base.endsWith(".dic"))
        base.chop(4);
    QStringList candidates{base};
    if (!base.contains('/'))
        for (const char *directory : kDictionaryDirectories)
            candidates << QString::fromLatin1(directory) + "/" + base;
    for (const QString &candidate : candidates) {
        QString aff = candidate + ".aff";
        QString dic = candidate + ".dic";
        if (!QFileInfo(aff).isReadable() || !QFileInfo(dic).isReadable())
            continue;
        if (!looksLikeDictionary(dic)) {
            if (error)
                *error = QStringLiteral("cannot read dictionary %1").arg(dic);
            return nullptr;
        }
        std::unique_ptr<HunspellChecker> checker(new HunspellChecker);
        checker->m_hunspell = std::make_unique<Hunspell>(QFile::encodeName(aff).constData(),
                                                         QFile::encodeName(dic).constData());
        checker->m_utf8 = checker->m_hunspell->get_dict_encoding() == "UTF-8";
        return checker;
    }
    if (error)
        *error = QStringLiteral("cannot find dictionary %1").arg(path);
    return nullptr;
}

bool HunspellChecker::isCorrect(std::u16string_view word) const {
    QString text = QString::fromUtf16(word.data(), qsizetype(word.size()));
    QByteArray bytes = m_utf8 ? text.toUtf8() : text.toLatin1();
    return m_hunspell->spell(std::string(bytes.constData(), bytes.size()));
}
