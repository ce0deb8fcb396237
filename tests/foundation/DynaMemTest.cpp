#include "support/LogCapture.h"

#include "foundation/DynaMem.h"

namespace {

// Counts living instances so that ownership faults (leaks, double deletes) show.
struct Item {
    static int alive;
    int value = 0;
    Item() { ++alive; }
    explicit Item(int v) : value(v) { ++alive; }
    Item(const Item& o) : value(o.value) { ++alive; }
    ~Item() { --alive; }
};
int Item::alive = 0;

using DynaMemTest = LogCaptureTest;

std::vector<int> WalkValues(DynaMem<Item>& list) {
    std::vector<int> values;
    for (int p = 0; p < list.GetCount(); ++p) values.push_back(list.GetAt(p)->value);
    return values;
}

} // namespace

TEST_F(DynaMemTest, GrowsByAQuarterPlusEightKeepingSlotNumbers) {
    DynaMem<Item> list(8);
    EXPECT_STREQ(list.GetObjectName(), "DynaMem");
    std::vector<Item*> pointers;
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(list.Add(Item(i)), i);
        pointers.push_back(list.Get(i));
    }
    EXPECT_EQ(list.GetCapacity(), 18);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(list.Get(i), pointers[i]); // elements never move
        EXPECT_EQ(list.Get(i)->value, i);
    }
    DynaMem<Item> big(4096);
    for (int i = 0; i <= 4096; ++i) big.AddNew();
    EXPECT_EQ(big.GetCapacity(), 5128);
}

TEST_F(DynaMemTest, DeletedSlotIsReusedAndTheWalkStaysAscending) {
    DynaMem<Item> list(16);
    for (int i = 0; i < 10; ++i) list.Add(Item(i));
    EXPECT_EQ(list.Delete(3), 1);
    EXPECT_EQ(list.Delete(7), 1);
    EXPECT_EQ(list.GetCount(), 8);
    EXPECT_EQ(WalkValues(list), (std::vector<int>{0, 1, 2, 4, 5, 6, 8, 9}));
    EXPECT_EQ(list.Add(Item(30)), 3);
    EXPECT_EQ(list.Add(Item(70)), 7);
    EXPECT_EQ(list.Add(Item(10)), 10);
    EXPECT_EQ(WalkValues(list), (std::vector<int>{0, 1, 2, 30, 4, 5, 6, 70, 8, 9, 10}));
    EXPECT_EQ(list.GetSlotAt(3), 3);
    EXPECT_EQ(list.DeleteAt(0), 1);
    EXPECT_EQ(list.Get(0), nullptr);
    EXPECT_EQ(list.GetAt(0)->value, 1);
}

TEST_F(DynaMemTest, SetSizePacksHolesAndGrowthResumesByTheRule) {
    DynaMem<Item> list(8);
    for (int i = 0; i < 6; ++i) list.Add(Item(i));
    list.Delete(1);
    list.Delete(4);
    EXPECT_EQ(list.SetSize(-1), 4);
    EXPECT_EQ(list.GetCapacity(), 4);
    for (int s = 0; s < 4; ++s) EXPECT_NE(list.Get(s), nullptr);
    EXPECT_EQ(WalkValues(list), (std::vector<int>{0, 2, 3, 5}));
    EXPECT_EQ(list.Add(Item(9)), 4);
    EXPECT_EQ(list.GetCapacity(), 4 + 1 + 8);

    list.SetThrowFlag(0);
    EXPECT_EQ(list.SetSize(2), 5);
    EXPECT_EQ(entries.back(), "Error:DynaMem: New size too small");
    EXPECT_EQ(list.GetCapacity(), 13);
}

TEST_F(DynaMemTest, ErrorsOnBadDeletesNullSourcesAndFixedLists) {
    DynaMem<Item> list(8);
    list.Add(Item(1));
    try {
        list.Delete(5);
        FAIL() << "no exception";
    } catch (const ErrorMsg& e) {
        EXPECT_STREQ(e.name, "DynaMem");
        EXPECT_STREQ(e.message, "Can not delete object nr: 5");
    }
    EXPECT_THROW(list.Add(static_cast<const Item*>(nullptr)), ErrorMsg);
    EXPECT_EQ(entries.back(), "Error:DynaMem: Null pointer added !");

    list.SetThrowFlag(0);
    EXPECT_EQ(list.Delete(5), 0);
    EXPECT_EQ(list.Delete(-1), 0); // outside the slot array: reported, no crash
    EXPECT_EQ(list.Delete(1000), 0);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.Get(1000), nullptr);
    EXPECT_EQ(list.GetAt(1), nullptr);

    DynaMem<Item> fixedList(2);
    fixedList.SetFixed(1);
    fixedList.AddNew();
    fixedList.AddNew();
    EXPECT_THROW(fixedList.AddNew(), ErrorMsg);
    fixedList.SetThrowFlag(0);
    entries.clear();
    EXPECT_EQ(fixedList.AddNew(), -1);
    EXPECT_EQ(entries,
              (std::vector<std::string>{"Error:DynaMem: Can not expand fixed list",
                                        "Error:DynaMem: Can not SetSize() of fixed list",
                                        "Error:DynaMem: Maximum number of data elements reached: 2"}));
    EXPECT_EQ(fixedList.GetCount(), 2);
}

TEST_F(DynaMemTest, OwnsItsElements) {
    Item::alive = 0;
    {
        DynaMem<Item> list(4);
        for (int i = 0; i < 10; ++i) list.AddNew();
        EXPECT_EQ(Item::alive, 10);
        list.Delete(2);
        EXPECT_EQ(Item::alive, 9);
        const int capacity = list.GetCapacity();
        list.Clear();
        EXPECT_EQ(Item::alive, 0);
        EXPECT_EQ(list.GetCount(), 0);
        EXPECT_EQ(list.GetCapacity(), capacity);
        EXPECT_EQ(list.AddNew(), 0);
        list.AddNew();
    }
    EXPECT_EQ(Item::alive, 0);
}

TEST_F(DynaMemTest, AssignmentCopiesElementsIntoTheSameSlots) {
    Item::alive = 0;
    DynaMem<Item> a(8), b(4);
    for (int i = 0; i < 6; ++i) a.Add(Item(i * 10));
    a.Delete(0);
    a.Delete(4);
    b.Add(Item(99));
    b = a;
    EXPECT_EQ(b.GetCapacity(), 8);
    EXPECT_EQ(b.GetCount(), 4);
    EXPECT_EQ(b.Get(0), nullptr);
    EXPECT_EQ(b.Get(5)->value, 50);
    EXPECT_NE(b.Get(5), a.Get(5)); // deep copy
    EXPECT_EQ(WalkValues(b), WalkValues(a));
    EXPECT_EQ(b.AddNew(), 0); // firstFree came along
    DynaMem<Item>& alias = b;
    b = alias; // self-assignment keeps everything
    EXPECT_EQ(b.GetCount(), 5);
    DynaMem<Item> c(a);
    EXPECT_EQ(WalkValues(c), WalkValues(a));
    EXPECT_EQ(Item::alive, 4 + 5 + 4);
}

TEST_F(DynaMemTest, SwapAtExchangesElementsBetweenOccupiedSlots) {
    DynaMem<Item> list(8);
    for (int i = 0; i < 5; ++i) list.Add(Item(i));
    list.Delete(1);
    EXPECT_EQ(list.SwapAt(0, 3), 1); // slots 0 and 4
    EXPECT_EQ(WalkValues(list), (std::vector<int>{4, 2, 3, 0}));
    EXPECT_EQ(list.Get(4)->value, 0);
    EXPECT_EQ(list.Get(1), nullptr);
    EXPECT_EQ(list.SwapAt(0, 4), 0);
}
