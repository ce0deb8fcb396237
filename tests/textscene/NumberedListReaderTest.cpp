#include "LoaderTestSupport.h"

#include <cstring>
#include <vector>

#include "textscene/KeywordTable.h"
#include "textscene/NumberedListReader.h"
#include "textscene/TextDataFileReader.h"

namespace {

const NumberedListReader::Kind Vertices{KW_MESH_VERTEX, "MESH_VERTEX", "Wrong vertex list order!",
                                        "Too many vertices"};

// The inside of a vertex list of n records ("{" already read) and its closing brace.
std::string VertexList(int32_t n) {
    std::string text;
    for (int32_t v = 0; v < n; ++v)
        text += "\t\t\t*MESH_VERTEX " + std::to_string(v) + "\t" + std::to_string(v % 13) + ".5000\t-" +
                std::to_string(v % 7) + ".2500\t" + std::to_string(v) + ".0000\n";
    return text + "\t\t}\n*AFTER";
}

struct Position {
    float xyz[3];
};

class PositionRecords final : public NumberedListReader::Records {
public:
    explicit PositionRecords(std::vector<Position>& positions) : positions(positions) {}
    void Read(TextDataFileReader& reader, int32_t index) override {
        reader.ScanVector(positions[static_cast<std::size_t>(index)].xyz);
    }
    void Clear(int32_t from, int32_t to) override {
        std::memset(positions.data() + from, 0, sizeof(Position) * static_cast<std::size_t>(to - from));
    }

private:
    std::vector<Position>& positions;
};

// What one reading of a list gives: the records as bytes, the counter, the position, the error
// and the log.
struct Reading {
    std::vector<unsigned char> records;
    int32_t next = 0;
    int32_t position = 0;
    int32_t result = -1;
    std::string error;
    std::string log;
    bool handedOver = false;
};

class NumberedListReaderTest : public LoaderTest {
protected:
    // Reads text as a list of count records; splitBytes 0 reads it on one thread.
    Reading Read(const std::string& text, int32_t count, int32_t splitBytes, bool wait = true) {
        entries.clear();
        TextDataFileReader reader;
        reader.SetPath("scene.kzv");
        reader.SetDataView(reinterpret_cast<const unsigned char*>(text.data()),
                           static_cast<int32_t>(text.size()));
        std::vector<Position> positions(static_cast<std::size_t>(count));
        PositionRecords records(positions);
        NumberedListReader list(reader, Vertices, records, count, splitBytes > 0 ? splitBytes : 1 << 30);
        list.waitForSecondReader = wait;
        Reading result;
        try {
            result.result = list.ReadBlock();
        } catch (const ErrorMsg& e) {
            result.error = e.message;
        }
        result.records.resize(positions.size() * sizeof(Position));
        std::memcpy(result.records.data(), positions.data(), result.records.size());
        result.next = list.next;
        result.position = reader.GetPosition();
        result.log = AllEntries();
        result.handedOver = list.handedOver;
        return result;
    }

    // The list read by two threads gives what it gives on one.
    void ExpectSameAsInOrder(const std::string& text, int32_t count, bool handedOver) {
        const Reading one = Read(text, count, 0);
        const Reading two = Read(text, count, 64);
        EXPECT_EQ(two.handedOver, handedOver);
        EXPECT_EQ(two.result, one.result);
        EXPECT_EQ(two.error, one.error);
        EXPECT_EQ(two.log, one.log);
        EXPECT_EQ(two.next, one.next);
        EXPECT_EQ(two.position, one.position);
        EXPECT_TRUE(two.records == one.records) << "records differ";
        // A second reader called off when the first arrives, or kept, gives the same.
        const Reading any = Read(text, count, 64, false);
        EXPECT_EQ(any.result, one.result);
        EXPECT_EQ(any.error, one.error);
        EXPECT_EQ(any.log, one.log);
        EXPECT_EQ(any.next, one.next);
        EXPECT_EQ(any.position, one.position);
        EXPECT_TRUE(any.records == one.records) << "records differ";
    }
};

} // namespace

TEST_F(NumberedListReaderTest, LongListReadByTwoThreadsGivesTheRecordsOfOne) {
    const std::string text = VertexList(400);
    const Reading one = Read(text, 400, 0);
    EXPECT_FALSE(one.handedOver);
    EXPECT_EQ(one.error, "");
    EXPECT_EQ(one.result, 0);
    EXPECT_EQ(one.next, 400);
    EXPECT_EQ(text.compare(static_cast<std::size_t>(one.position), 7, "\n*AFTER"), 0);
    ExpectSameAsInOrder(text, 400, true);
    Position p;
    std::memcpy(&p, one.records.data() + 305 * sizeof(Position), sizeof p);
    EXPECT_EQ(p.xyz[0], 305 % 13 + 0.5f);
    EXPECT_EQ(p.xyz[1], -(305 % 7 + 0.25f));
    EXPECT_EQ(p.xyz[2], 305.0f);
}

TEST_F(NumberedListReaderTest, FaultsInEitherHalfEndAsTheyDoInOrder) {
    const std::string good = VertexList(400);
    const auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    // A number skipped near the end, one repeated near the start, more records than counted.
    ExpectSameAsInOrder(replaced("*MESH_VERTEX 390\t", "*MESH_VERTEX 391\t"), 400, false);
    ExpectSameAsInOrder(replaced("*MESH_VERTEX 12\t", "*MESH_VERTEX 11\t"), 400, false);
    ExpectSameAsInOrder(good, 399, false);
    // Records of another keyword, and letter case the usual spelling does not match, in either
    // half are passed over or read as they are in order.
    ExpectSameAsInOrder(replaced("*MESH_VERTEX 300\t", "*MESH_NOTE 9 *mesh_vertex 300\t"), 400, true);
    ExpectSameAsInOrder(replaced("*MESH_VERTEX 30\t", "*Mesh_Vertex 30\t"), 400, true);
    // A record missing its last value reads the next record's keyword as that value, which ends
    // the list with an order error wherever the halves meet.
    for (int32_t v = 150; v < 260; v += 9) {
        SCOPED_TRACE(v);
        const std::string at = "*MESH_VERTEX " + std::to_string(v) + "\t";
        std::string text = good;
        const auto start = text.find(at);
        const auto end = text.find('\n', start);
        const auto lastTab = text.rfind('\t', end);
        text.erase(lastTab, end - lastTab);
        ExpectSameAsInOrder(text, 400, false);
    }
    // A nested block keeps the list on one thread; a list cut off by the end of the data too.
    ExpectSameAsInOrder(replaced("*MESH_VERTEX 2\t", "*EXTRA { 1 } *MESH_VERTEX 2\t"), 400, false);
    ExpectSameAsInOrder(good.substr(0, good.size() / 2), 400, false);
}
