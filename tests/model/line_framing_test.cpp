// The child's output cut into lines, and the lines read as JSON objects.
#include <gtest/gtest.h>

#include "model/line_decoder.h"
#include "model/line_splitter.h"

namespace tallyvane {
namespace {

// Every line the reads give, each followed by "|".
std::string feed(LineSplitter& splitter, std::initializer_list<std::string_view> reads) {
    std::string lines;
    for (std::string_view bytes : reads) splitter.append(bytes, [&](std::string_view line) { lines.append(line).append("|"); });
    return lines;
}

TEST(LineSplitter, LinesAcrossReadsAndTheUnterminatedLimit) {
    LineSplitter s;
    EXPECT_EQ(feed(s, {"ab", "c\nde\n\nf", "\r\n"}), "abc|de||f\r|");
    // Exactly 8,000,000 unterminated bytes are kept; one more and they are dropped, and the next line counts.
    EXPECT_EQ(feed(s, {std::string(8'000'000, 'x'), "\n"}).size(), 8'000'001u);
    EXPECT_EQ(feed(s, {std::string(7'999'999, 'x'), "yy", "tail\n"}), "tail|");
    // Fed in small reads, a huge line never holds more than the limit (and takes linear time).
    std::size_t most = 0;
    for (int i = 0; i < 50'000'000 / 4096; ++i) feed(s, {std::string(4096, 'z')}), most = std::max(most, s.buffered());
    EXPECT_LE(most, LineSplitter::maxUnterminated);
}

TEST(LineDecoder, OnlyObjectsPass) {
    for (std::string_view line : {R"({"id":1})", "{\"id\":1}\r", "  {}  "}) EXPECT_TRUE(decodeObjectLine(line)) << line;
    for (std::string_view line : {"", "   ", "[1,2]", "\"text\"", "3", "null", "{", "{\"a\":1}{", "{} x", "{\"a\":\"\xff\"}", "{\"a\":1,}"})
        EXPECT_FALSE(decodeObjectLine(line)) << line;
    // Real messages nest a few levels; a line of brackets is dropped before it is built.
    EXPECT_TRUE(decodeObjectLine("{\"a\":" + std::string(40, '[') + std::string(40, ']') + "}"));
    EXPECT_FALSE(decodeObjectLine("{\"a\":" + std::string(100'000, '[') + std::string(100'000, ']') + "}"));
}

}  // namespace
}  // namespace tallyvane
