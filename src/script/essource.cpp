#include "script/essource.h"

ESSource::ESSource(QString fileName, QString text)
    : m_fileName(std::move(fileName)), m_text(std::move(text)) {
    // Lines are counted at line feeds, as the lexer counts them.
    m_lineStarts.push_back(0);
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        if (m_text[i] == u'\n')
            m_lineStarts.push_back(int(i + 1));
    }
}

QString ESSource::line(int n) const {
    if (n < 1 || n > lineCount())
        return QString();
    int start = m_lineStarts[std::size_t(n - 1)];
    int end = n < lineCount() ? m_lineStarts[std::size_t(n)] - 1 : int(m_text.size());
    while (end > start && m_text[end - 1] == u'\r')
        --end;
    return m_text.mid(start, end - start);
}
