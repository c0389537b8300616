#pragma once

#include <string>
#include <string_view>

struct DovaOptions;

// Loads the memory map (or builds it from the segment list) and the optional section
// placement, then writes the script with the writer the options choose. Throws HException,
// or PlacementError for a placement that cannot be laid out.
void runDova(const DovaOptions &options, std::string_view argv0 = {});

// The memory-map document text of a -memory-map-segments list: items "name start size access"
// separated by ";", later items winning over earlier ones of the same name.
std::string memoryMapFromSegmentList(std::string_view list);

// Removes what a failed run left at the output path: the file, or the target of a symbolic
// link. Streams and devices (below /dev and /proc) are never removed: for root, unlinking
// /dev/stdout would break every program started afterwards.
void removeFailedOutput(const std::string &path);

// Whether both names lead to one existing file.
bool isSameFile(const std::string &a, const std::string &b);
