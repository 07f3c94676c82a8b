#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/instruction_apply.h"
#include "record/buffer_instruction_list.h"
#include "tests/support/trace_capture.h"

namespace {

// Counts destructions so tests can see who destroyed what.
struct CountedInstruction : CBufferInstruction {
    CountedInstruction(DWORD dwType, uint64_t qwPosition, DWORD dwLength, int& nDestroyed)
        : CBufferInstruction(dwType, qwPosition, dwLength), m_nDestroyed(nDestroyed) {}
    ~CountedInstruction() override { ++m_nDestroyed; }
    int& m_nDestroyed;
};

struct Entry {
    DWORD dwType;
    uint64_t qwPosition;
    std::string sData;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> Entries(const CBufferInstructionList& list) {
    std::vector<Entry> entries;
    list.ForEach([&](const CBufferInstruction& instruction) {
        entries.push_back({instruction.Type(), instruction.Position(),
                           instruction.Data() != nullptr ? instruction.Data() : std::to_string(instruction.Length())});
    });
    return entries;
}

TEST(BufferInstructionList, HostSeesFieldsAtTheSharedOffsets) {
    CBufferInstruction instruction(KX_INSTRUCTION_DELETE, 0x1234, 9);
    EXPECT_EQ(KxInstructionFields(&instruction), static_cast<const KxBufferInstructionFields*>(&instruction));
    EXPECT_EQ(KxInstructionFields(&instruction)->dwLength, 9u);
    CBufferInstructionList list;
    EXPECT_EQ(KxListFields(&list), static_cast<const KxBufferInstructionListFields*>(&list));
    CBufferInstruction fresh;
    EXPECT_EQ(fresh.Type(), KX_INSTRUCTION_NONE);
    EXPECT_EQ(fresh.Position(), 0u);
    EXPECT_EQ(fresh.Data(), nullptr);
}

TEST(BufferInstructionList, OrdersByPositionThenTypeLaterAddedFirst) {
    CBufferInstructionList list;
    ASSERT_EQ(DeleteHtmlStringAtPosition(20, 3, &list), 0u);
    ASSERT_EQ(InsertHtmlStringAtPosition(20, "first", &list), 0u);
    ASSERT_EQ(InsertHtmlStringAtPosition(20, "second", &list), 0u);
    ASSERT_EQ(InsertHtmlStringAtPosition(30, "later", &list), 0u);
    ASSERT_EQ(InsertHtmlStringAtPosition(10, "early", &list), 0u);
    ASSERT_EQ(DeleteHtmlStringAtPosition(10, 1, &list), 0u);
    // Positions compare as unsigned 64-bit values.
    ASSERT_EQ(InsertHtmlStringAtPosition(0x8000000000000000ull, "high", &list), 0u);

    const std::vector<Entry> expected = {
        {0, 10, "early"},  {1, 10, "1"}, {0, 20, "second"}, {0, 20, "first"},
        {1, 20, "3"},      {0, 30, "later"}, {0, 0x8000000000000000ull, "high"}};
    EXPECT_EQ(Entries(list), expected);
    EXPECT_EQ(list.Count(), expected.size());
}

TEST(BufferInstructionList, InsertComesBeforeDeleteWhicheverWasAddedFirst) {
    CBufferInstructionList insertFirst;
    InsertHtmlStringAtPosition(5, "x", &insertFirst);
    DeleteHtmlStringAtPosition(5, 2, &insertFirst);
    CBufferInstructionList deleteFirst;
    DeleteHtmlStringAtPosition(5, 2, &deleteFirst);
    InsertHtmlStringAtPosition(5, "x", &deleteFirst);
    const std::vector<Entry> expected = {{0, 5, "x"}, {1, 5, "2"}};
    EXPECT_EQ(Entries(insertFirst), expected);
    EXPECT_EQ(Entries(deleteFirst), expected);
}

TEST(BufferInstructionList, RejectedInstructionsAreDestroyedBeforeAddReturns) {
    CBufferInstructionList list;
    int nDestroyed = 0;
    EXPECT_EQ(list.Add(new CountedInstruction(KX_INSTRUCTION_NONE, 4, 0, nDestroyed)), 13u);
    EXPECT_EQ(nDestroyed, 1);
    EXPECT_EQ(list.Add(new CountedInstruction(KX_INSTRUCTION_INSERT, 4, 0, nDestroyed)), 13u);  // no data
    EXPECT_EQ(nDestroyed, 2);
    EXPECT_EQ(list.Add(new CountedInstruction(KX_INSTRUCTION_DELETE, 4, 0, nDestroyed)), 13u);  // no length
    EXPECT_EQ(nDestroyed, 3);
    EXPECT_EQ(list.Add(new CountedInstruction(7, 4, 1, nDestroyed)), 13u);
    EXPECT_EQ(nDestroyed, 4);
    EXPECT_EQ(list.Add(nullptr), 13u);
    EXPECT_TRUE(list.IsEmpty());
}

TEST(BufferInstructionList, DestroyingTheListDestroysEveryInstruction) {
    int nDestroyed = 0;
    {
        CBufferInstructionList list;
        for (int n = 0; n < 5; ++n) list.Add(new CountedInstruction(KX_INSTRUCTION_DELETE, 100 - n, 1, nDestroyed));
        EXPECT_EQ(nDestroyed, 0);
    }
    EXPECT_EQ(nDestroyed, 5);
}

TEST(BufferInstructionList, EmptyInsertTextIsAnOwnedEmptyCopy) {
    CBufferInstruction instruction(KX_INSTRUCTION_INSERT, 1, 0);
    instruction.SetData("");
    ASSERT_NE(instruction.Data(), nullptr);
    EXPECT_STREQ(instruction.Data(), "");
    EXPECT_TRUE(instruction.Owned());
    instruction.SetData(nullptr);
    EXPECT_EQ(instruction.Data(), nullptr);
    EXPECT_FALSE(instruction.Owned());

    CBufferInstructionList list;
    EXPECT_EQ(InsertHtmlStringAtPosition(3, "", &list), 0u);
    EXPECT_EQ(Entries(list), (std::vector<Entry>{{0, 3, ""}}));
}

TEST(BufferInstructionList, InvalidArgumentsAddNothing) {
    TraceCapture trace;
    CBufferInstructionList list;
    EXPECT_EQ(InsertHtmlStringAtPosition(0, "x", &list), 13u);
    EXPECT_EQ(InsertHtmlStringAtPosition(8, nullptr, &list), 13u);
    EXPECT_EQ(InsertHtmlStringAtPosition(8, "x", nullptr), 13u);
    EXPECT_TRUE(trace.Contains("[InsertHtmlStringAtPosition] invalid data."));
    EXPECT_EQ(DeleteHtmlStringAtPosition(0, 4, &list), 13u);
    EXPECT_EQ(DeleteHtmlStringAtPosition(8, 4, nullptr), 13u);
    EXPECT_TRUE(trace.Contains("[DeleteHtmlStringAtPosition] invalid data. "));
    EXPECT_EQ(DeleteHtmlStringAtPosition(8, 0, &list), 0u);  // dropped by the list
    EXPECT_TRUE(list.IsEmpty());
}

// The host applies the list to the buffer as it was before any change.
class HostApply : public ::testing::Test {
protected:
    uint64_t At(size_t nOffset) const { return reinterpret_cast<uint64_t>(m_sBuffer.data()) + nOffset; }
    bool Apply(const CBufferInstructionList& list, std::string& sOutput, std::string& sError) const {
        std::vector<kxhost::InstructionView> views;
        return kxhost::ReadInstructions(&list, reinterpret_cast<const BYTE*>(m_sBuffer.data()), m_sBuffer.size(),
                                        views, sError) &&
               kxhost::ApplyInstructions(m_sBuffer, views, sOutput, sError);
    }
    std::string m_sBuffer = "<p>abcdef</p>";
};

TEST_F(HostApply, InsertsAndDeletesLandWhereTheOriginalBytesWere) {
    CBufferInstructionList list;
    InsertHtmlStringAtPosition(At(3), "X", &list);
    InsertHtmlStringAtPosition(At(3), "Y", &list);  // added later, comes out first
    DeleteHtmlStringAtPosition(At(3), 2, &list);     // "ab"
    InsertHtmlStringAtPosition(At(7), "!", &list);
    InsertHtmlStringAtPosition(At(0), "<div>", &list);
    InsertHtmlStringAtPosition(At(m_sBuffer.size()), "</div>", &list);  // one past the end
    std::string sOutput, sError;
    ASSERT_TRUE(Apply(list, sOutput, sError)) << sError;
    EXPECT_EQ(sOutput, "<div><p>YXcd!ef</p></div>");
}

TEST_F(HostApply, RefusesPositionsOutsideTheBufferAndOverlaps) {
    std::string sOutput, sError;
    CBufferInstructionList beyond;
    InsertHtmlStringAtPosition(At(m_sBuffer.size() + 1), "x", &beyond);
    EXPECT_FALSE(Apply(beyond, sOutput, sError));

    CBufferInstructionList before;
    InsertHtmlStringAtPosition(At(0) - 1, "x", &before);
    EXPECT_FALSE(Apply(before, sOutput, sError));

    CBufferInstructionList tooLong;
    DeleteHtmlStringAtPosition(At(10), 4, &tooLong);
    EXPECT_FALSE(Apply(tooLong, sOutput, sError));

    CBufferInstructionList overlap;
    DeleteHtmlStringAtPosition(At(3), 4, &overlap);
    InsertHtmlStringAtPosition(At(5), "x", &overlap);
    EXPECT_FALSE(Apply(overlap, sOutput, sError));
}

}  // namespace
