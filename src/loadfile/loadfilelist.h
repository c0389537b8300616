#pragma once

#include <cstddef>
#include <vector>

class LoadFileInterface;

// An entry of a list of load files, such as the images of one download.
struct LoadFileListItem {
    LoadFileInterface *loadFile = nullptr;
};

// Orders load files by the address of their first section; files without sections first.
struct LoadFileListItemLess {
    bool operator()(const LoadFileListItem &a, const LoadFileListItem &b) const;
};

using LoadFileList = std::vector<LoadFileListItem>;

// Sorts each file's sections, then the files by their first section.
void sortLoadFileList(LoadFileList &list);

// The index of the first file whose sections overlap those of an earlier file in the list,
// or 0 when no two files overlap.
std::size_t findLoadFileOverlap(const LoadFileList &list);
