#pragma once

// A place in the editor's text: 0-based line and column (in UTF-16 units), 64 bits together.
// Positions order by line, then column.
struct CodeEditPosition {
    int line = 0;
    int column = 0;

    friend bool operator==(CodeEditPosition a, CodeEditPosition b) {
        return a.line == b.line && a.column == b.column;
    }
    friend bool operator!=(CodeEditPosition a, CodeEditPosition b) { return !(a == b); }
    friend bool operator<(CodeEditPosition a, CodeEditPosition b) {
        return a.line < b.line || (a.line == b.line && a.column < b.column);
    }
    friend bool operator>(CodeEditPosition a, CodeEditPosition b) { return b < a; }
};
