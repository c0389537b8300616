#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Lists of "name=value" items separated by ";" carry macros and symbol definitions on command
// lines and in documents. A backslash makes the next character ordinary ("\;" is a ";" inside
// an item, "\\" a backslash); a backslash at the very end is kept as it is.

// The items of the list, unescaped, without the empty ones.
std::vector<std::string> splitEscapedList(std::string_view text, char separator = ';');

struct NameValue {
    std::string name;
    std::optional<std::string> value; // absent when the item has no second piece
};

// Cuts one (already unescaped) item at every "=" and drops the empty pieces: the first piece
// is the name, the second the value, any further pieces are ignored.
NameValue splitNameValue(std::string_view item);

// Both steps for a whole list, in the order of the text; later items are not merged here.
std::vector<NameValue> parseNameValueList(std::string_view text);
