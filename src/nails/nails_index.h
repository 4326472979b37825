// The thumbnail index "nails.xml": one thumbnail a line, its time in
// milliseconds, "=", the picture's file name inside the "nails" folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

constexpr const char* kNailsIndexName = "nails.xml";
constexpr const char* kNailsFolderName = "nails";
// Larger indexes are refused: the file is untrusted and read whole.
constexpr uint64_t kMaxNailsIndexBytes = 2 * 1024 * 1024;
constexpr uint32_t kMaxNailsShown = 120;

class TNailsIndex {
public:
    // Raises EKivError when the file cannot be read, is not a regular file (a FIFO
    // is never waited on) or is larger than the limit.
    static TNailsIndex LoadFromFile(const std::string& path);
    // Raises EKivError when the text is larger than the limit.
    explicit TNailsIndex(std::string text);

    uint64_t Count() const { return FLines.size(); }
    std::string_view Line(uint64_t i) const;
    // Empty after trimming spaces and control characters: the strip's list ends there.
    bool Blank(uint64_t i) const;
    // The text before the first "=" (the whole line without one).
    std::string_view TimeText(uint64_t i) const;
    // The file name of the first line whose time text equals line i's, compared
    // without regard to case; empty ends the download's list.
    std::string_view FileName(uint64_t i) const;
    // Whole seconds, truncated. Raises EKivError when the time text is not a
    // decimal integer from 0 to 2^31 - 1.
    int32_t Seconds(uint64_t i) const;

private:
    struct TSpan {
        uint32_t Begin = 0, Length = 0;
    };
    std::string_view Text(TSpan s) const {
        return std::string_view(FText).substr(s.Begin, s.Length);
    }
    std::string_view OwnFileName(uint64_t i) const;

    std::string FText;
    std::vector<TSpan> FLines;
    // Line numbers ordered by case-folded time text, then by number: the first
    // line of a time is found by a binary search.
    std::vector<uint32_t> FByTime;
};

// The lines the strip shows, ascending: all of up to 120 lines; of more, line
// 0, 118 by bisection between line 1 and the second-to-last, and the last.
std::vector<uint64_t> SelectNailLines(uint64_t lineCount);

} // namespace kiv
