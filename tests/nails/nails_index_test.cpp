#include "nails/nail_grid.h"
#include "nails/nails_index.h"
#include "platform/error.h"
#include "support/nginx.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace kiv;

namespace {

// One line as a reader sees it: its picture's file name and its seconds, or no
// seconds when the time text is refused.
struct TLineView {
    std::string FileName;
    std::optional<int32_t> Seconds;
    bool Blank = false;
    bool operator==(const TLineView&) const = default;
};

void PrintTo(const TLineView& v, std::ostream* os) {
    *os << "{\"" << v.FileName << "\", " << (v.Seconds ? std::to_string(*v.Seconds) : "-")
        << (v.Blank ? ", blank}" : "}");
}

std::vector<TLineView> View(const TNailsIndex& index) {
    std::vector<TLineView> out;
    for (uint64_t i = 0; i < index.Count(); ++i) {
        TLineView v{std::string(index.FileName(i)), std::nullopt, index.Blank(i)};
        try {
            v.Seconds = index.Seconds(i);
        } catch (const EKivError&) {
        }
        out.push_back(v);
    }
    return out;
}

} // namespace

TEST(NailsIndex, ReadingRules) {
    const auto no = std::nullopt;
    struct TCase {
        const char* Name;
        std::string Text;
        std::vector<TLineView> Lines;
    } cases[] = {
        {"CR LF lines, an empty one, seconds truncated",
         "1000=a.jpg\r\n61500=b.jpg\r\n\r\n",
         {{"a.jpg", 1}, {"b.jpg", 61}, {"", no, true}}},
        {"LF lines, no final line end, an empty file name",
         "999=a.jpg\n5000=\n7000=c.jpg",
         {{"a.jpg", 0}, {"", 5}, {"c.jpg", 7}}},
        {"equal times share the first line's picture",
         "1000=a.jpg\n1000=b.jpg\n2000=c.jpg\n1000=d.jpg\n",
         {{"a.jpg", 1}, {"a.jpg", 1}, {"c.jpg", 2}, {"a.jpg", 1}}},
        {"time texts compared without regard to case",
         "Ab=x.jpg\naB=y.jpg\nab=z.jpg\n",
         {{"x.jpg", no}, {"x.jpg", no}, {"x.jpg", no}}},
        {"only the first '=' divides", "3000=a=b.jpg\n", {{"a=b.jpg", 3}}},
        {"not decimal integers",
         "hello\n1.5=a\n-1000=b\n 1000=c\n2147483648=d\n=e\n",
         {{"", no}, {"a", no}, {"b", no}, {"c", no}, {"d", no}, {"e", no}}},
        {"the largest time", "2147483647=a\n", {{"a", 2147483}}},
        {"blank after trimming; a lone CR stays in the line",
         "  \t \r\n1000=a\rb\r\n",
         {{"", no, true}, {"a\rb", 1}}},
        {"empty text", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(View(TNailsIndex(c.Text)), c.Lines);
    }
}

TEST(NailsIndex, SizeLimits) {
    // A huge line inside the limit is read; a file past it is refused whole.
    const std::string hugeName(kMaxNailsIndexBytes - 10, 'n');
    const TNailsIndex index("1000=" + hugeName + "\n");
    ASSERT_EQ(index.Count(), 1u);
    EXPECT_EQ(index.FileName(0).size(), hugeName.size());
    EXPECT_THROW(TNailsIndex(std::string(kMaxNailsIndexBytes + 1, '\n')), EKivError);
    EXPECT_THROW(TNailsIndex::LoadFromFile("/nonexistent/nails.xml"), EKivError);
    // A FIFO is refused at once instead of waited on for a writer.
    test::TTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File(kNailsIndexName).c_str(), 0600), 0);
    EXPECT_THROW(TNailsIndex::LoadFromFile(dir.File(kNailsIndexName)), EKivError);
}

TEST(NailsIndex, SelectionOfLines) {
    auto all = [](uint64_t n) {
        std::vector<uint64_t> v;
        for (uint64_t i = 0; i < n; ++i)
            v.push_back(i);
        return v;
    };
    // The bisection's own picks for 121 lines; with a range barely larger than
    // the picks it repeats a few lines.
    const std::vector<uint64_t> of121 = {
        0,   1,   3,   4,   5,   6,   7,   8,   9,   11,  12,  13,  14,  15,  15,  16,  18,  19,
        20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  30,  31,  33,  34,  35,  36,  37,
        38,  39,  40,  41,  42,  43,  44,  45,  45,  46,  48,  49,  50,  51,  52,  53,  54,  55,
        56,  57,  58,  59,  60,  60,  61,  63,  64,  65,  66,  67,  68,  69,  71,  72,  73,  74,
        75,  75,  76,  78,  79,  80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  90,  91,
        93,  94,  95,  96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 105, 106, 108, 109, 110,
        111, 112, 112, 113, 114, 115, 116, 117, 118, 119, 119, 120};
    EXPECT_EQ(SelectNailLines(0), all(0));
    EXPECT_EQ(SelectNailLines(5), all(5));
    EXPECT_EQ(SelectNailLines(120), all(120));
    EXPECT_EQ(SelectNailLines(121), of121);
    for (uint64_t n : {1000ull, 100000ull, 1ull << 40}) {
        SCOPED_TRACE(n);
        const auto picks = SelectNailLines(n);
        ASSERT_EQ(picks.size(), 120u);
        EXPECT_EQ(picks.front(), 0u);
        EXPECT_EQ(picks.back(), n - 1);
        // Evenly spread: ascending, no gap wider than two shares of the range.
        for (size_t i = 1; i < picks.size(); ++i) {
            EXPECT_LT(picks[i - 1], picks[i]);
            EXPECT_LE(picks[i] - picks[i - 1], 2 * (n / 118) + 1);
        }
    }
}

TEST(NailGrid, ColumnsAndPlaces) {
    struct TCase {
        int32_t Width, Bar, Columns;
        std::vector<TNailPlace> Places; // cells 0.. with a cell height of 80
    } cases[] = {
        {3 * 74 + 17, 17, 3, {{10, 10}, {84, 10}, {158, 10}, {10, 100}, {84, 100}}},
        {3 * 74 + 16, 17, 2, {{10, 10}, {84, 10}, {10, 100}}},
        {40, 17, 1, {{10, 10}, {10, 100}, {10, 190}}},
        {0, 0, 1, {{10, 10}, {10, 100}}},
        {-5, 17, 1, {{10, 10}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Width);
        const int32_t columns = NailColumns(c.Width, c.Bar);
        EXPECT_EQ(columns, c.Columns);
        TNailPlace previous;
        for (int32_t i = 0; i < static_cast<int32_t>(c.Places.size()); ++i) {
            const TNailPlace after = PlaceNailAfter(i, columns, previous, 80);
            EXPECT_EQ(after, c.Places[static_cast<size_t>(i)]) << "cell " << i;
            EXPECT_EQ(NailPlace(i, columns, 80), after) << "cell " << i;
            previous = after;
        }
    }
}

TEST(NailGrid, CellOfAPosition) {
    const std::vector<int32_t> times = {5, 61, 61, 120};
    struct TCase {
        int32_t Seconds, Cell;
    } cases[] = {{0, -1}, {4, -1}, {5, 0}, {60, 0}, {61, 2}, {119, 2}, {120, 3}, {100000, 3}};
    for (const auto& c : cases)
        EXPECT_EQ(ChooseNailByTime(times, c.Seconds), c.Cell) << c.Seconds;
    EXPECT_EQ(ChooseNailByTime({}, 10), -1);
    EXPECT_EQ(NailScrollPosition(50, 10), 50);
    EXPECT_EQ(NailScrollPosition(50, 100), 140);
}
