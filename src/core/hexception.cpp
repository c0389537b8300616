#include "core/hexception.h"

#include <utility>

HException::HException(std::string message) : m_message(std::move(message)) {
    ++m_count;
}
