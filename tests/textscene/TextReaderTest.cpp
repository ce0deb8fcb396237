#include "LoaderTestSupport.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <set>

#include "textscene/KeywordTable.h"
#include "textscene/TextDataFileReader.h"
#include "textscene/TextNumber.h"

namespace {

// A reader over a copy of text, named like a scene file so reports carry a known prefix.
class Reader : public TextDataFileReader {
public:
    explicit Reader(const std::string& text) {
        auto buffer = std::make_unique<unsigned char[]>(text.size() + 1);
        std::memcpy(buffer.get(), text.data(), text.size());
        SetData(std::move(buffer), static_cast<int32_t>(text.size()));
        SetPath("scene.kzv");
    }
};

using TextReaderTest = LoaderTest;

std::string Word(Reader& r) {
    char buffer[TextDataFileReader::TokenSize];
    EXPECT_EQ(r.ScanWord(buffer), 0);
    return buffer;
}

} // namespace

TEST_F(TextReaderTest, BytesAboveTheAsciiRangeAreWhitespaceOutsideStringsOnly) {
    Reader r("\x80\xff\x01 \t*Scene\xa0{ \"a\xe9\xff b\" }");
    EXPECT_EQ(r.NextKeyword(), KW_SCENE);
    EXPECT_EQ(r.SkipWhitespace(), 0);
    EXPECT_EQ(r.GetChar(), '{');
    char text[TextDataFileReader::TokenSize];
    EXPECT_EQ(r.ScanString(text), 0);
    EXPECT_STREQ(text, "a\xe9\xff b");
    EXPECT_EQ(r.NextKeyword(), KW_END_OF_BLOCK);
    EXPECT_EQ(r.NextKeyword(), KW_END_OF_DATA);
}

TEST_F(TextReaderTest, WordEndsAtTerminatorsWhichAreReadAgainUnlessAlone) {
    Reader r("abc{def,\"x}");
    EXPECT_EQ(Word(r), "abc");
    EXPECT_EQ(Word(r), "{"); // a terminator read first is a word of its own, consumed
    EXPECT_EQ(Word(r), "def");
    EXPECT_EQ(Word(r), ",");
    EXPECT_EQ(Word(r), "\"");
    EXPECT_EQ(Word(r), "x");
    EXPECT_EQ(Word(r), "}");
    char buffer[TextDataFileReader::TokenSize];
    EXPECT_EQ(r.ScanWord(buffer), 1); // nothing left
    EXPECT_TRUE(r.AtEndOfData());
}

TEST_F(TextReaderTest, TokenLimitIs127BytesAndStringsHold126Characters) {
    const std::string w126(126, 'w'), w127(127, 'w'), w128(128, 'w');
    {
        Reader r(w126 + " ");
        EXPECT_EQ(Word(r), w126);
    }
    {
        Reader r(w127); // ends with the data: no terminator stored
        EXPECT_EQ(Word(r), w127);
    }
    {
        Reader r(w128);
        char buffer[TextDataFileReader::TokenSize];
        EXPECT_EQ(ThrownMessage([&] { r.ScanWord(buffer); }), "scene.kzv: String too long (>127)");
    }
    {
        Reader r("\"" + w126 + "\"");
        char buffer[TextDataFileReader::TokenSize];
        EXPECT_EQ(r.ScanString(buffer), 0);
        EXPECT_EQ(std::string(buffer), w126);
    }
    {
        Reader r("\"" + w127 + "\"");
        char buffer[TextDataFileReader::TokenSize];
        EXPECT_EQ(ThrownMessage([&] { r.ScanString(buffer); }), "scene.kzv: String too long (>127)");
    }
    {
        Reader r(std::string(127, '7') + " " + std::string(128, '7'));
        int32_t value = 0;
        EXPECT_EQ(r.ScanInt(value), 0);
        EXPECT_EQ(value, std::numeric_limits<int32_t>::max()); // saturates, never overflows
        EXPECT_EQ(ThrownMessage([&] { r.ScanInt(value); }), "scene.kzv: String too long (>127)");
    }
}

TEST_F(TextReaderTest, IntegersTakeNoExponentAndTruncateTowardZero) {
    Reader r("0.9 12.7 -3.9 1e2 +5 --4 .");
    int32_t v = 99;
    EXPECT_EQ(r.ScanInt(v), 0);
    EXPECT_EQ(v, 0);
    r.ScanInt(v);
    EXPECT_EQ(v, 12);
    r.ScanInt(v);
    EXPECT_EQ(v, -3);
    r.ScanInt(v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(Word(r), "e2"); // the exponent stays in the stream
    r.ScanInt(v);
    EXPECT_EQ(v, 5);
    r.ScanInt(v);
    EXPECT_EQ(v, 0); // strtod reads nothing from "--4"
    v = 7;
    EXPECT_EQ(r.ScanInt(v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(r.ScanInt(v), 1); // no number token left: value untouched
    EXPECT_EQ(v, 0);
}

TEST_F(TextReaderTest, FloatsAcceptAnyStrtodSyntaxAndVectorsAcceptCommas) {
    Reader r("1e-5 +1.5 0x10 abc 1e400 -1e400 1.5,2.5 , 3.5 4 5");
    float f = 0;
    r.ScanFloat(f);
    EXPECT_FLOAT_EQ(f, 1e-5f);
    r.ScanFloat(f);
    EXPECT_EQ(f, 1.5f);
    r.ScanFloat(f);
    EXPECT_EQ(f, 16.0f);
    r.ScanFloat(f);
    EXPECT_EQ(f, 0.0f);
    r.ScanFloat(f);
    EXPECT_EQ(f, std::numeric_limits<float>::infinity());
    r.ScanFloat(f);
    EXPECT_EQ(f, -std::numeric_limits<float>::infinity());
    float v[3] = {};
    EXPECT_EQ(r.ScanVector(v), 0);
    EXPECT_EQ(v[0], 1.5f);
    EXPECT_EQ(v[1], 2.5f);
    EXPECT_EQ(v[2], 3.5f);
    EXPECT_EQ(r.ScanVector(v), 1); // only two values left
    EXPECT_EQ(v[0], 4.0f);
    EXPECT_EQ(v[1], 5.0f);
}

TEST_F(TextReaderTest, KeywordsAreCaseInsensitiveAndEndAtABrace) {
    Reader r("*scene{ *Scene_FirstFrame 3 } *SCENE_FILENAME \"x\" *sCeNe");
    EXPECT_EQ(r.NextKeyword(), KW_SCENE);
    r.SkipTo('{');
    EXPECT_EQ(r.NextKeyword(), KW_SCENE_FIRSTFRAME);
    EXPECT_EQ(r.NextKeyword(), KW_END_OF_BLOCK);
    EXPECT_EQ(r.NextKeyword(), KW_UNKNOWN);
    EXPECT_EQ(r.NextKeyword(), KW_SCENE);
    EXPECT_EQ(r.NextKeyword(), KW_END_OF_DATA);
}

TEST_F(TextReaderTest, NestedBlocksOfUnreadKeywordsArePassedOverWhole) {
    Reader r("*MESH_NORMALS { *MESH_FACE 0 { *MESH_VERTEX } } *MESH_VERTEX 1 } *NODE_NAME");
    EXPECT_EQ(r.NextKeyword(), KW_UNKNOWN);
    EXPECT_EQ(r.NextKeyword(), KW_MESH_VERTEX); // the two nested blocks were skipped
    EXPECT_EQ(r.NextKeyword(), KW_END_OF_BLOCK);
    EXPECT_EQ(r.NextKeyword(), KW_NODE_NAME);
}

TEST_F(TextReaderTest, MissingQuoteWarnsAndConsumesTheByte) {
    Reader r("  x\"y\"");
    char buffer[TextDataFileReader::TokenSize];
    EXPECT_EQ(r.ScanString(buffer), 1);
    EXPECT_EQ(CountEntries("Warning:TextDataFileReader: scene.kzv: No text string found"), 1);
    EXPECT_EQ(r.ScanString(buffer), 0);
    EXPECT_STREQ(buffer, "y");
    Reader open("\"never closed");
    EXPECT_EQ(open.ScanString(buffer), 1);
}

TEST_F(TextReaderTest, SkipToReportsTheMissingByteWithThePath) {
    Reader r("abc");
    EXPECT_EQ(ThrownMessage([&] { r.SkipTo('{'); }), "scene.kzv: '{' not found");
    EXPECT_EQ(CountEntries("Error:TextDataFileReader: scene.kzv: '{' not found"), 1);
}

TEST_F(TextReaderTest, ByteOperationsClampAtBothEnds) {
    Reader r("abcd");
    char out[8] = {};
    EXPECT_EQ(r.ReadBytes(out, 3), 3);
    EXPECT_EQ(r.ReadBytes(out, 3), 1);
    EXPECT_EQ(out[0], 'd');
    EXPECT_EQ(r.ReadBytes(out, 3), 0);
    EXPECT_TRUE(r.AtEndOfData());
    EXPECT_EQ(r.MoveBy(-2), 1);
    EXPECT_EQ(r.PeekChar(), 'c');
    EXPECT_EQ(r.GetChar(), 'c');
    EXPECT_EQ(r.MoveBy(-10), 0);
    EXPECT_EQ(r.GetPosition(), 0);
    EXPECT_EQ(r.MoveBy(10), 0);
    EXPECT_EQ(r.GetPosition(), 4);
    EXPECT_EQ(r.GetChar(), 0);
    EXPECT_EQ(r.PeekChar(), 0);
    EXPECT_EQ(r.GetPosition(), 4);
}

TEST_F(TextReaderTest, HeaderVersionSplitsIntoMajorAndMinor) {
    Reader r("");
    EXPECT_TRUE(r.VersionAtLeast(1, 0));
    EXPECT_FALSE(r.VersionAtLeast(2, 10));
    r.SetVersion(211);
    EXPECT_TRUE(r.VersionAtLeast(2, 11));
    EXPECT_TRUE(r.VersionAtLeast(2, 10));
    r.SetVersion(210);
    EXPECT_TRUE(r.VersionAtLeast(2, 10));
    EXPECT_FALSE(r.VersionAtLeast(2, 11));
    r.SetVersion(209);
    EXPECT_EQ(r.GetVersionMajor(), 2);
    EXPECT_EQ(r.GetVersionMinor(), 9);
    EXPECT_FALSE(r.VersionAtLeast(2, 10));
}

TEST(KeywordTableTest, EveryKeywordIsFoundInAnyCaseAndIdsAreDistinctButForAliases) {
    std::set<int32_t> ids;
    int aliases = 0;
    for (int32_t i = 0; i < KeywordCount; ++i) {
        std::string text = KeywordTextAt(i);
        EXPECT_EQ(LookupKeyword(text.c_str()), KeywordIdAt(i)) << text;
        for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(LookupKeyword(text.c_str()), KeywordIdAt(i)) << text;
        if (!ids.insert(KeywordIdAt(i)).second) ++aliases;
    }
    EXPECT_EQ(KeywordCount, 132);
    EXPECT_EQ(aliases, 3);
    EXPECT_EQ(LookupKeyword("CONTROL_ROT_TRACK"), LookupKeyword("CONTROL_ROT_TCB"));
    EXPECT_EQ(LookupKeyword("CONTROL_POS_TRACK"), KW_CONTROL_POS_BEZIER);
    EXPECT_EQ(LookupKeyword("CONTROL_SCALE_TRACK"), 0x35);
    EXPECT_EQ(LookupKeyword("MATERIAL_TRANSPARENCY_TYPE"), 0x11022);
    for (const char* other : {"", "MESH_", "MESH_VERTEXNORMAL", "SCENE_FILENAME", "MESH_VERTEX ", "*SCENE"})
        EXPECT_EQ(LookupKeyword(other), 0) << other;
}

TEST(TextNumberTest, FastPathAgreesWithTheReferenceConversion) {
    std::mt19937 random(1234);
    const char alphabet[] = "0123456789.-eE";
    char token[40];
    int fast = 0;
    for (int n = 0; n < 200000; ++n) {
        const int length = 1 + static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) {
            // Mostly digits, so that many tokens are real numbers.
            const unsigned pick = random() % 20;
            token[i] = pick < 12 ? alphabet[pick % 10] : alphabet[10 + pick % 4];
        }
        token[length] = 0;
        double value = 0;
        const double reference = TextToDoubleReference(token);
        if (TextToDoubleFast(token, length, value)) {
            ++fast;
            ASSERT_EQ(std::memcmp(&value, &reference, sizeof value), 0) << token;
        }
        const double combined = TextToDouble(token, length);
        ASSERT_EQ(std::memcmp(&combined, &reference, sizeof combined), 0) << token;
    }
    EXPECT_GT(fast, 100000); // the fast path does carry the usual tokens
}

TEST(TextNumberTest, ReferenceCasesThatTheFastPathLeavesAlone) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {{"+1.5", 1.5},       {"0x1A", 26.0},
                 {"-0x.8p1", -1.0},   {"1e", 1.0},
                 {"1e+2", 100.0},     {"  7", 7.0},
                 {"INF", INFINITY},   {"-infinity", -INFINITY},
                 {"1e999", HUGE_VAL}, {"-1e999", -HUGE_VAL},
                 {"1e-400", 0.0},     {"4.9e-324", 4.9e-324},
                 {"abc", 0.0},        {"", 0.0}};
    for (const auto& c : cases) {
        const double v = TextToDouble(c.text, std::strlen(c.text));
        EXPECT_EQ(v, c.value) << c.text;
    }
    EXPECT_TRUE(std::isnan(TextToDouble("nan", 3)));
}

TEST(TextNumberTest, NarrowingAndTruncationHaveNoUndefinedCases) {
    EXPECT_EQ(NarrowToFloat(0.1), 0.1f); // rounds through double like strtod, then float
    EXPECT_EQ(NarrowToFloat(1e39), std::numeric_limits<float>::infinity());
    EXPECT_EQ(NarrowToFloat(-1e39), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(NarrowToFloat(0x1.fffffefffp127), std::numeric_limits<float>::max());
    EXPECT_EQ(NarrowToFloat(0x1.ffffffp127), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(NarrowToFloat(NAN)));
    EXPECT_EQ(TruncateToInt32(-3.9), -3);
    EXPECT_EQ(TruncateToInt32(2147483647.5), 2147483647);
    EXPECT_EQ(TruncateToInt32(1e20), 2147483647);
    EXPECT_EQ(TruncateToInt32(-1e20), -2147483647 - 1);
    EXPECT_EQ(TruncateToInt32(NAN), 0);
}

TEST_F(TextReaderTest, NumbersIgnoreTheProcessLocale) {
    // A locale whose decimal separator is a comma, made for this test.
    const std::string locales = (dir / "locales").string();
    const std::string command = "localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8' > /dev/null 2>&1";
    ASSERT_EQ(std::system(("mkdir -p '" + locales + "' && " + command).c_str()), 0) << "localedef failed";
    setenv("LOCPATH", locales.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    EXPECT_EQ(std::strtod("2.5", nullptr), 2.0); // the process locale reads no decimal point
    EXPECT_EQ(std::strtod("2,5", nullptr), 2.5);

    EXPECT_EQ(TextToDouble("2.5", 3), 2.5);
    EXPECT_EQ(TextToDouble("+2.5", 4), 2.5); // the fallback path too
    EXPECT_EQ(TextToDouble("2,5", 3), 2.0);
    Reader r("0.25 +1.75 12.9");
    float f = 0;
    int32_t i = 0;
    r.ScanFloat(f);
    EXPECT_EQ(f, 0.25f);
    r.ScanFloat(f);
    EXPECT_EQ(f, 1.75f);
    r.ScanInt(i);
    EXPECT_EQ(i, 12);

    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
}

TEST_F(TextReaderTest, DecimalsReadAsStrtodReadsTheirWord) {
    std::vector<std::string> tokens = {"0",
                                       "-0",
                                       "-0.0000",
                                       "1.",
                                       ".5",
                                       "-.25",
                                       "0.1",
                                       "17",
                                       "-3.0000",
                                       "123456789012345678",
                                       "9007199254740993",
                                       "9007199254740992.5",
                                       "0.30000000000000004",
                                       "0.0000000000000000000001",
                                       "1e5",
                                       "1.5e-3",
                                       "+2.5",
                                       "1.2.3",
                                       "--1",
                                       "-",
                                       ".",
                                       "0x1A",
                                       "inf",
                                       "nan",
                                       "00000000000000000000000001.5",
                                       "340282356779733661637539395458142568448",
                                       "3.4028235677973366e38",
                                       "1.4e-45",
                                       "99999999999999999999"};
    std::mt19937 random(12);
    for (int i = 0; i < 3000; ++i) {
        std::string token = random() % 4 == 0 ? "-" : "";
        for (uint32_t n = random() % 12; n > 0; --n) token += static_cast<char>('0' + random() % 10);
        if (random() % 3 || token.empty() || token == "-") token += ".";
        for (uint32_t n = random() % 14 + 1; n > 0; --n) token += static_cast<char>('0' + random() % 10);
        tokens.push_back(token);
    }
    const char* const ends[] = {" 5", ",", "}", "\"", "\t", ""};
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        SCOPED_TRACE(token);
        Reader r(" " + token + ends[i % 6]);
        float value = -1.0f;
        const float expected = NarrowToFloat(TextToDoubleReference(token.c_str()));
        ASSERT_EQ(r.ScanFloat(value), 0);
        EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << value << " != " << expected;
        EXPECT_EQ(r.GetPosition(), static_cast<int32_t>(token.size()) + 1);
    }
}

TEST_F(TextReaderTest, RepeatedKeywordsKeepTheirIdsInAnyCaseAndAfterNewData) {
    Reader r("*MESH_FACE *mesh_face *MESH_FACX *MESH_FACE *Mesh_Face *MESH_FACX *SCENE *scene *SCENX *SCENE");
    for (const int32_t id : std::vector<int32_t>{KW_MESH_FACE, KW_MESH_FACE, 0, KW_MESH_FACE, KW_MESH_FACE, 0,
                                                 KW_SCENE, KW_SCENE, 0, KW_SCENE})
        EXPECT_EQ(r.NextKeyword(), id);
    const std::string other = "*MESH_FACX *SCENX";
    r.SetDataView(reinterpret_cast<const unsigned char*>(other.data()), static_cast<int32_t>(other.size()));
    EXPECT_EQ(r.NextKeyword(), 0);
    EXPECT_EQ(r.NextKeyword(), 0);
}
