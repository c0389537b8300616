#include "loadfile/loadfilelist.h"

#include "loadfile/loadfile.h"

#include <algorithm>
#include <cstdint>
#include <map>

bool LoadFileListItemLess::operator()(const LoadFileListItem &a, const LoadFileListItem &b) const {
    LoadFileSectionList &first = a.loadFile->sections();
    LoadFileSectionList &second = b.loadFile->sections();
    if (first.empty() || second.empty())
        return first.empty() && !second.empty();
    return first[0].address() < second[0].address();
}

void sortLoadFileList(LoadFileList &list) {
    for (LoadFileListItem &item : list)
        item.loadFile->sortSections();
    std::stable_sort(list.begin(), list.end(), LoadFileListItemLess());
}

std::size_t findLoadFileOverlap(const LoadFileList &list) {
    if (list.size() < 2)
        return 0;
    // The union of the earlier files' ranges: disjoint inclusive ranges, start -> last.
    std::map<std::uint64_t, std::uint64_t> earlier;
    for (std::size_t index = 0; index < list.size(); ++index) {
        LoadFileSectionList &sections = list[index].loadFile->sections();
        for (const LoadFileSectionList::Item &section : sections) {
            if (section->length() == 0)
                continue;
            auto after = earlier.upper_bound(section->end() - 1);
            // Ranges are disjoint and sorted, so the last one starting within reach ends last.
            if (after != earlier.begin() && std::prev(after)->second >= section->address())
                return index;
        }
        for (const LoadFileSectionList::Item &section : sections) {
            if (section->length() == 0)
                continue;
            std::uint64_t first = section->address();
            std::uint64_t last = section->end() - 1;
            // Merge with every range it touches.
            auto it = earlier.upper_bound(last + 1);
            while (it != earlier.begin()) {
                auto previous = std::prev(it);
                if (previous->second + 1 < first)
                    break;
                first = std::min(first, previous->first);
                last = std::max(last, previous->second);
                it = earlier.erase(previous);
            }
            earlier[first] = last;
        }
    }
    return 0;
}
