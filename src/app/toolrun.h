#pragma once

#include <functional>
#include <string>
#include <string_view>

struct DovaOptions;

// Loads the memory map (or builds it from the segment list) and the optional section
// placement, then writes the script with the writer the options choose. Throws HException,
// or PlacementError for a placement that cannot be laid out.
void runDova(const DovaOptions &options, std::string_view argv0 = {});

// The memory-map document text of a -memory-map-segments list: items "name start size access"
// separated by ";", later items winning over earlier ones of the same name. An item without
// four fields is handed to `warn` and left out; a start or size past 32 bits throws
// HException naming the segment.
std::string memoryMapFromSegmentList(std::string_view list,
                                     const std::function<void(const std::string &)> &warn = {});

// Removes what a failed run left at the output path, so that no stale script is used: a
// regular file the run may write, or a symbolic link itself (never its target). A file it
// may not write stays; so do streams and devices (below /dev and /proc): for root,
// unlinking /dev/stdout would break every program started afterwards.
void removeFailedOutput(const std::string &path);

// Whether both names lead to one existing file.
bool isSameFile(const std::string &a, const std::string &b);
