#include "core/namevaluelist.h"

std::vector<std::string> splitEscapedList(std::string_view text, char separator) {
    std::vector<std::string> items;
    std::string item;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            item += text[++i];
        } else if (c == separator) {
            if (!item.empty())
                items.push_back(std::move(item));
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.empty())
        items.push_back(std::move(item));
    return items;
}

NameValue splitNameValue(std::string_view item) {
    NameValue result;
    int pieces = 0;
    std::size_t pos = 0;
    while (pos <= item.size() && pieces < 2) {
        std::size_t end = item.find('=', pos);
        if (end == std::string_view::npos)
            end = item.size();
        if (end > pos) {
            std::string piece(item.substr(pos, end - pos));
            if (pieces++ == 0)
                result.name = std::move(piece);
            else
                result.value = std::move(piece);
        }
        pos = end + 1;
    }
    return result;
}

std::vector<NameValue> parseNameValueList(std::string_view text) {
    std::vector<NameValue> result;
    for (const std::string &item : splitEscapedList(text))
        result.push_back(splitNameValue(item));
    return result;
}
