#include "LoaderTestSupport.h"

#include <cstring>
#include <vector>

#include "textscene/FaceListReader.h"
#include "textscene/TextDataFileReader.h"

namespace {

// The inside of a face list of n faces ("{" already read) and its closing brace.
std::string FaceList(int32_t n) {
    std::string text;
    for (int32_t f = 0; f < n; ++f)
        text += "\t*MESH_FACE " + std::to_string(f) + ":    A: " + std::to_string(f % 97) +
                " B: " + std::to_string(f % 89) + " C: " + std::to_string(f % 83) +
                " AB: 1 BC: 1 CA: 0\t *MESH_SMOOTHING " + std::to_string(f % 3 + 1) +
                (f % 5 == 0 ? ",7" : "") + " \t*MESH_MTLID " + std::to_string(f % 4) + "\n";
    return text + "}\n*AFTER";
}

// What one reading of a list gives: the faces as bytes, the counters, the error and the log.
struct Reading {
    std::vector<unsigned char> faces;
    int32_t next = 0;
    int32_t lastFace = 0;
    int32_t position = 0;
    std::string error;
    std::string log;
    bool handedOver = false;
};

class FaceListReaderTest : public LoaderTest {
protected:
    // Reads text as a face list of count faces; splitBytes 0 reads it on one thread.
    Reading Read(const std::string& text, int32_t count, int32_t splitBytes, bool wait = true) {
        entries.clear();
        TextDataFileReader reader;
        reader.SetPath("scene.kzv");
        reader.SetDataView(reinterpret_cast<const unsigned char*>(text.data()),
                           static_cast<int32_t>(text.size()));
        std::vector<MeshFace> faces(static_cast<std::size_t>(count));
        FaceListReader list(reader, faces.data(), count, splitBytes > 0 ? splitBytes : 1 << 30);
        list.waitForSecondReader = wait;
        Reading result;
        try {
            EXPECT_EQ(list.ReadBlock(), 0);
        } catch (const ErrorMsg& e) {
            result.error = e.message;
        }
        result.faces.resize(faces.size() * sizeof(MeshFace));
        std::memcpy(result.faces.data(), faces.data(), result.faces.size());
        result.next = list.next;
        result.lastFace = list.lastFace;
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
        EXPECT_EQ(two.error, one.error);
        EXPECT_EQ(two.log, one.log);
        EXPECT_EQ(two.next, one.next);
        EXPECT_EQ(two.lastFace, one.lastFace);
        EXPECT_EQ(two.position, one.position);
        EXPECT_TRUE(two.faces == one.faces) << "faces differ";
        // A second reader called off when the first arrives, or kept, gives the same.
        const Reading any = Read(text, count, 64, false);
        EXPECT_EQ(any.error, one.error);
        EXPECT_EQ(any.log, one.log);
        EXPECT_EQ(any.next, one.next);
        EXPECT_EQ(any.lastFace, one.lastFace);
        EXPECT_EQ(any.position, one.position);
        EXPECT_TRUE(any.faces == one.faces) << "faces differ";
    }
};

} // namespace

TEST_F(FaceListReaderTest, LongListReadByTwoThreadsGivesTheFacesOfOne) {
    const std::string text = FaceList(400);
    const Reading one = Read(text, 400, 0);
    EXPECT_FALSE(one.handedOver);
    EXPECT_EQ(one.error, "");
    EXPECT_EQ(one.next, 400);
    EXPECT_EQ(text.compare(static_cast<std::size_t>(one.position), 7, "\n*AFTER"), 0);
    ExpectSameAsInOrder(text, 400, true);
    // Spot checks of the in-order reading itself.
    MeshFace face;
    std::memcpy(&face, one.faces.data() + 205 * sizeof(MeshFace), sizeof face);
    EXPECT_EQ(face.corner[0], 205 % 97);
    EXPECT_EQ(face.corner[2], 205 % 83);
    EXPECT_EQ(face.groupCount, 2);
    EXPECT_EQ(face.groups[1], 7);
    EXPECT_EQ(face.materialId, 1);
}

TEST_F(FaceListReaderTest, FaultsInEitherHalfEndAsTheyDoInOrder) {
    const std::string good = FaceList(400);
    const auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    // A number skipped near the end, one repeated near the start, more faces than counted.
    ExpectSameAsInOrder(replaced("*MESH_FACE 390:", "*MESH_FACE 391:"), 400, false);
    ExpectSameAsInOrder(replaced("*MESH_FACE 12:", "*MESH_FACE 11:"), 400, false);
    ExpectSameAsInOrder(good, 399, false);
    // A face without "C:" reads on into the records after it, wherever the halves meet.
    for (int32_t f = 150; f < 260; f += 7) {
        SCOPED_TRACE(f);
        const std::string at = "*MESH_FACE " + std::to_string(f) + ":";
        std::string text = good;
        const auto start = text.find(at);
        const auto c = text.find(" C: ", start);
        text.replace(c, 4, " c  ");
        const Reading one = Read(text, 400, 0);
        const Reading two = Read(text, 400, 64);
        EXPECT_EQ(two.error, one.error);
        EXPECT_EQ(two.next, one.next);
        EXPECT_TRUE(two.faces == one.faces);
    }
    // A nested block keeps the list on one thread.
    ExpectSameAsInOrder(replaced("*MESH_MTLID 2\n", "*MESH_MTLID 2 *EXTRA { 1 }\n"), 400, false);
}
