#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "core/ResponseSink.h"

namespace {

std::string Written(const TResponseSink &sink) {
    std::string out;
    EXPECT_TRUE(sink.WriteTo([&](const char *data, size_t size) {
        out.append(data, size);
        return true;
    }));
    return out;
}

// Appends text in pieces of the given sizes, cycling.
void Fill(TResponseSink &sink, const std::string &text, std::initializer_list<size_t> pieces) {
    size_t pos = 0;
    for (auto it = pieces.begin(); pos < text.size(); it = (std::next(it) == pieces.end() ? pieces.begin() : std::next(it))) {
        sink.Append(text.data() + pos, std::min(*it, text.size() - pos));
        pos += *it;
    }
}

} // namespace

TEST(ResponseSink, KeepsEveryByteInOrderAcrossBlocks) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += static_cast<char>(i * 7);
    for (size_t blockSize : {1u, 3u, 64u, 1000u, 4096u}) {
        TResponseSink sink(blockSize);
        Fill(sink, text, {1, 5, 250, 2});
        EXPECT_EQ(sink.Size(), text.size());
        EXPECT_EQ(Written(sink), text) << blockSize;
        EXPECT_EQ(sink.Substr(0, text.size()), text);
    }
}

TEST(ResponseSink, EmptySink) {
    TResponseSink sink;
    sink.Append("", 0);
    EXPECT_EQ(sink.Size(), 0u);
    EXPECT_EQ(Written(sink), "");
    EXPECT_EQ(sink.Find("a"), NotFound);
    EXPECT_EQ(sink.Find(""), 0u);
    EXPECT_EQ(sink.Find("", 1), NotFound);
    EXPECT_TRUE(sink.StartsWith(""));
    EXPECT_FALSE(sink.StartsWith("<"));
    EXPECT_EQ(sink.Substr(0, 10), "");
}

TEST(ResponseSink, FindsTheFirstOccurrenceAlsoAcrossBoundaries) {
    TResponseSink sink(4);
    Fill(sink, "<error><number>17</number></error>", {3});
    EXPECT_EQ(sink.Find("<number>"), 7u);  // straddles the blocks 4..7 and 8..11
    EXPECT_EQ(sink.Find("</number>"), 17u);
    EXPECT_EQ(sink.Find("<"), 0u);
    EXPECT_EQ(sink.Find("<", 1), 7u);
    EXPECT_EQ(sink.Find("</error>"), 26u); // ends exactly at the end
    EXPECT_EQ(sink.Find("</error>", 27), NotFound);
    EXPECT_EQ(sink.Find("<error><number>17</number></error>"), 0u);
    EXPECT_EQ(sink.Find("<error><number>17</number></error>x"), NotFound);
    EXPECT_EQ(sink.Find("", 34), 34u);
    EXPECT_EQ(sink.Find("r", 100), NotFound);
    EXPECT_EQ(sink.Substr(7, 8), "<number>");
    EXPECT_EQ(sink.Substr(30, 100), "ror>");
    EXPECT_EQ(sink.Substr(34, 1), "");
    EXPECT_TRUE(sink.StartsWith("<error>"));
    EXPECT_FALSE(sink.StartsWith("<errox"));
}

// A match must not be reported where only a later byte completes it, and a
// partial match at a block's end must not hide a later full one.
TEST(ResponseSink, OverlappingAndPartialMatches) {
    TResponseSink sink(5);
    Fill(sink, "aaaabaaaaab", {5});
    EXPECT_EQ(sink.Find("aaab"), 1u);
    EXPECT_EQ(sink.Find("aaab", 2), 7u);
    EXPECT_EQ(sink.Find("aaaaab"), 5u);
    EXPECT_EQ(sink.Find("ba"), 4u);
    EXPECT_EQ(sink.Find("bb"), NotFound);
}

// Short texts in small blocks, and texts long enough for the search to go
// sixteen positions at a time inside a block.
TEST(ResponseSink, AgreesWithAContiguousStringOnRandomInput) {
    std::mt19937 rng(4711);
    for (int round = 0; round < 400; ++round) {
        const bool large = round % 4 == 3;
        const size_t blockSize = large ? 20 + rng() % 300 : 1 + rng() % 9;
        std::string text(rng() % (large ? 2000 : 60), 'a');
        for (char &c : text)
            c = "ab\0"[rng() % 3];
        TResponseSink sink(blockSize);
        for (size_t pos = 0; pos < text.size();) {
            const size_t n = std::min<size_t>(1 + rng() % 12, text.size() - pos);
            sink.Append(text.data() + pos, n);
            pos += n;
        }
        for (int q = 0; q < 20; ++q) {
            std::string needle(rng() % (large ? 20 : 5), 'a');
            for (char &c : needle)
                c = "ab\0"[rng() % 3];
            const size_t from = rng() % (text.size() + 2);
            const size_t expected = text.find(needle, from);
            ASSERT_EQ(sink.Find(needle, from), expected == std::string::npos ? NotFound : expected)
                << "block " << blockSize << " from " << from;
            ASSERT_EQ(sink.Substr(from, q), from < text.size() ? text.substr(from, q) : "");
        }
    }
}

TEST(ResponseSink, WriteStopsAtTheFirstRefusal) {
    TResponseSink sink(4);
    sink.Append("abcdefghij", 10);
    int calls = 0;
    EXPECT_FALSE(sink.WriteTo([&](const char *, size_t) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

TEST(ResponseSink, ClearEmptiesAndTheSinkIsUsableAgain) {
    TResponseSink sink(4);
    sink.Append("secret data", 11);
    sink.Clear();
    EXPECT_EQ(sink.Size(), 0u);
    EXPECT_EQ(Written(sink), "");
    EXPECT_EQ(sink.Find("secret"), NotFound);
    sink.Append("new", 3);
    EXPECT_EQ(Written(sink), "new");
}

// Reads in place and appended reads mix in any order; a room is given only
// where the whole read fits into one block.
TEST(ResponseSink, FillsItsFreeSpaceInPlace) {
    const std::string text = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (size_t blockSize : {1u, 4u, 7u, 36u}) {
        TResponseSink sink(blockSize);
        size_t pos = 0;
        for (size_t piece = 1; pos < text.size(); piece = piece % 5 + 1) {
            const size_t n = std::min(piece, text.size() - pos);
            const size_t room = sink.Size() % blockSize == 0 ? blockSize : blockSize - sink.Size() % blockSize;
            if (char *space = sink.Space(n)) {
                ASSERT_LE(n, room);
                std::copy_n(text.data() + pos, n, space);
                sink.Commit(n);
            } else {
                ASSERT_GT(n, room);
                sink.Append(text.data() + pos, n);
            }
            pos += n;
        }
        EXPECT_EQ(Written(sink), text) << blockSize;
        EXPECT_EQ(sink.Find("xyz"), 33u);
    }
    TResponseSink sink(4);
    EXPECT_EQ(sink.Space(5), nullptr);
    ASSERT_NE(sink.Space(4), nullptr); // a room that stays unused adds nothing
    EXPECT_EQ(sink.Size(), 0u);
    EXPECT_EQ(Written(sink), "");
}
