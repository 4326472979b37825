#include "nails/nails_index.h"

#include "nails/nail_file.h"
#include "platform/error.h"

#include <algorithm>

namespace kiv {

namespace {

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int CompareFolded(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = Fold(a[i]), y = Fold(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string_view BeforeEquals(std::string_view line) {
    return line.substr(0, line.find('='));
}

} // namespace

TNailsIndex TNailsIndex::LoadFromFile(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadRegularFile(path, kMaxNailsIndexBytes);
    return TNailsIndex(std::string(bytes.begin(), bytes.end()));
}

TNailsIndex::TNailsIndex(std::string text) : FText(std::move(text)) {
    if (FText.size() > kMaxNailsIndexBytes) throw EKivError("Thumbnail index too large");
    // A final line end does not start another line.
    for (size_t begin = 0; begin < FText.size();) {
        size_t end = FText.find('\n', begin);
        const size_t next = end == std::string::npos ? FText.size() : end + 1;
        if (end == std::string::npos) end = FText.size();
        if (end > begin && FText[end - 1] == '\r') --end;
        FLines.push_back({static_cast<uint32_t>(begin), static_cast<uint32_t>(end - begin)});
        begin = next;
    }
    FByTime.resize(FLines.size());
    for (uint32_t i = 0; i < FByTime.size(); ++i)
        FByTime[i] = i;
    std::sort(FByTime.begin(), FByTime.end(), [this](uint32_t a, uint32_t b) {
        const int c = CompareFolded(TimeText(a), TimeText(b));
        return c != 0 ? c < 0 : a < b;
    });
}

std::string_view TNailsIndex::Line(uint64_t i) const {
    return i < FLines.size() ? Text(FLines[i]) : std::string_view();
}

bool TNailsIndex::Blank(uint64_t i) const {
    const std::string_view line = Line(i);
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

std::string_view TNailsIndex::TimeText(uint64_t i) const {
    return BeforeEquals(Line(i));
}

std::string_view TNailsIndex::OwnFileName(uint64_t i) const {
    const std::string_view line = Line(i);
    const size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}

std::string_view TNailsIndex::FileName(uint64_t i) const {
    if (i >= FLines.size()) return {};
    const std::string_view key = TimeText(i);
    const auto first = std::lower_bound(
        FByTime.begin(), FByTime.end(), key,
        [this](uint32_t line, std::string_view k) { return CompareFolded(TimeText(line), k) < 0; });
    // Line i itself has this time text, so the search always finds a line.
    return OwnFileName(first != FByTime.end() ? *first : i);
}

int32_t TNailsIndex::Seconds(uint64_t i) const {
    const std::string_view text = TimeText(i);
    int64_t ms = 0;
    bool digits = !text.empty();
    for (char c : text) {
        if (c < '0' || c > '9' || ms > INT32_MAX) {
            digits = false;
            break;
        }
        ms = ms * 10 + (c - '0');
    }
    if (!digits || ms > INT32_MAX)
        throw EKivError("'" + std::string(text.substr(0, 64)) + "' is not a valid integer value");
    return static_cast<int32_t>(ms / 1000);
}

namespace {

void Bisect(std::vector<uint64_t>& picks, uint64_t n, uint64_t low, uint64_t high) {
    if (n == 0) return;
    const uint64_t mid = (low + high) / 2;
    if (n == 1) {
        if (picks.size() < kMaxNailsShown) picks.push_back(mid);
        return;
    }
    Bisect(picks, n / 2, low, mid);
    Bisect(picks, n - n / 2, mid + 1, high);
}

} // namespace

std::vector<uint64_t> SelectNailLines(uint64_t lineCount) {
    std::vector<uint64_t> picks;
    if (lineCount <= kMaxNailsShown) {
        for (uint64_t i = 0; i < lineCount; ++i)
            picks.push_back(i);
        return picks;
    }
    picks.push_back(0);
    Bisect(picks, kMaxNailsShown - 2, 1, lineCount - 2);
    picks.push_back(lineCount - 1);
    return picks;
}

} // namespace kiv
