#include "editor/markup.h"

#include "editor/styletable.h"

void decodeMarkup(const char16_t *markup, std::u16string &text, std::vector<MarkupRun> &runs) {
    text.clear();
    runs.clear();
    int style = 0;
    unsigned flags = 0;
    long column = 0;
    for (long i = 0; markup[i] != 0; ++i) {
        char16_t unit = markup[i];
        if (unit == kMarkupEscape) {
            // the control unit may be 0 (style 0): it never ends the line
            char16_t control = markup[++i];
            if (control < kStyleCount)
                style = control;
            else if ((control & 0xFF) == kMarkupFlagsOn)
                flags |= control & kMarkupFlagMask;
            else if ((control & 0xFF) == kMarkupFlagsOff)
                flags &= ~(control & kMarkupFlagMask);
            continue;
        }
        if (runs.empty() || runs.back().style != style || runs.back().flags != flags)
            runs.push_back({column, long(text.size()), 0, style, flags});
        ++runs.back().length;
        text.push_back(unit);
        // the low half of a surrogate pair belongs to the character before it
        if (unit < 0xDC00 || unit > 0xDFFF)
            ++column;
    }
}
