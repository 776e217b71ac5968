#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/line_decoder.h"
#include "model/line_splitter.h"

namespace tallyvane {
namespace {

std::vector<std::string> feed(LineSplitter& splitter, std::string_view bytes) {
    std::vector<std::string> lines;
    splitter.append(bytes, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

TEST(LineSplitter, SplitAndJoinedReads) {
    LineSplitter s;
    EXPECT_TRUE(feed(s, "ab").empty());
    EXPECT_EQ(s.buffered(), 2u);
    EXPECT_EQ(feed(s, "c\nde\n\nf"), (std::vector<std::string>{"abc", "de", ""}));
    EXPECT_EQ(s.buffered(), 1u);
    EXPECT_EQ(feed(s, "\r\n"), (std::vector<std::string>{"f\r"}));
    EXPECT_EQ(s.buffered(), 0u);
}

TEST(LineSplitter, ExactBoundaryOfTheUnterminatedLimit) {
    LineSplitter kept;
    feed(kept, std::string(8'000'000, 'x'));
    EXPECT_EQ(kept.buffered(), 8'000'000u);
    EXPECT_EQ(feed(kept, "\n").front().size(), 8'000'000u);

    LineSplitter dropped;
    feed(dropped, std::string(7'999'999, 'x'));
    feed(dropped, "yy");
    EXPECT_EQ(dropped.buffered(), 0u);
    EXPECT_EQ(feed(dropped, "tail\n"), (std::vector<std::string>{"tail"}));
}

TEST(LineSplitter, HugeUnterminatedLineStaysBoundedInSmallReads) {
    LineSplitter s;
    const std::string chunk(4096, 'z');
    std::size_t most = 0;
    for (int i = 0; i < 50'000'000 / 4096; ++i) {
        feed(s, chunk);
        most = std::max(most, s.buffered());
    }
    EXPECT_LE(most, LineSplitter::maxUnterminated);
    feed(s, "\n{}\n");
    EXPECT_EQ(s.buffered(), 0u);
}

TEST(LineSplitter, OrderAcrossManyChunks) {
    std::string stream;
    for (int i = 0; i < 1000; ++i) stream += std::to_string(i) + "\n";
    LineSplitter s;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < stream.size(); at += 7) {
        auto got = feed(s, std::string_view(stream).substr(at, 7));
        lines.insert(lines.end(), got.begin(), got.end());
    }
    ASSERT_EQ(lines.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(lines[static_cast<std::size_t>(i)], std::to_string(i));
}

TEST(LineDecoder, OnlyObjectsPass) {
    EXPECT_TRUE(decodeObjectLine(R"({"id":1})"));
    EXPECT_TRUE(decodeObjectLine("{\"id\":1}\r"));
    EXPECT_TRUE(decodeObjectLine("  {}  "));
    for (std::string_view line : {"", "   ", "[1,2]", "\"text\"", "3", "null", "true", "{", "{\"a\":1}{", "{} x",
                                  "{\"a\":\"\xff\"}", "{\"a\":1,}"})
        EXPECT_FALSE(decodeObjectLine(line)) << line;
}

TEST(LineDecoder, DeepNestingIsDroppedWithoutBuildingIt) {
    std::string deep = "{\"a\":" + std::string(100'000, '[') + std::string(100'000, ']') + "}";
    EXPECT_FALSE(decodeObjectLine(deep));
    std::string fine = "{\"a\":" + std::string(40, '[') + std::string(40, ']') + "}";
    EXPECT_TRUE(decodeObjectLine(fine));
}

}  // namespace
}  // namespace tallyvane
