#include "build/bookmark.h"

#include <utility>

const Bookmark Bookmark::null;

Bookmark::Bookmark(QString file, int line, int column, QString text, int kind)
    : m_file(std::move(file)), m_line(line), m_column(column), m_text(std::move(text)),
      m_kind(kind) {}

bool Bookmark::isNull() const {
    return *this == null;
}

void Bookmark::setMatch(int position, int length) {
    m_position = position;
    m_length = length;
}
