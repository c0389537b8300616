#include "script/esstring.h"

#include <QHash>

ESString::ESString(QString text, int poolIndex) : m_text(std::move(text)), m_poolIndex(poolIndex) {
    if (poolIndex >= 0) {
        m_hash = hashOf(m_text);
        m_arrayIndex = arrayIndexOf(m_text);
        m_pooled = this;
    }
}

std::uint32_t ESString::hashOf(QStringView text) {
    // A fixed seed keeps the pool's layout, and with it every run, reproducible.
    return std::uint32_t(qHash(text, 0));
}

std::int32_t ESString::arrayIndexOf(QStringView text) {
    qsizetype n = text.size();
    if (n == 0 || n > 10 || (n > 1 && text[0] == u'0'))
        return -1;
    std::int64_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value < 0x7fffffff ? std::int32_t(value) : -1;
}
