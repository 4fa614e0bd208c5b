#include <gtest/gtest.h>

#include "gif/DynArrB.h"
#include "gif/GifDecl.h"

using namespace gif;

TEST(TBigByteArray, EmptyArrayRefusesIndexOne) {
  TBigByteArray a(0);
  EXPECT_EQ(a.Size(), 0);
  try {
    a.SetByte(1, 7);
    FAIL();
  } catch (const EIndexOutOfBounds& e) {
    EXPECT_STREQ(e.what(), "Dynamic array index out of bounds");
  }
}

TEST(TBigByteArray, NewBytesAreZeroAndIndicesCountFromOne) {
  TBigByteArray a(1000);
  for (int i = 1; i <= 1000; ++i) ASSERT_EQ(a.GetByte(i), 0);
  a.SetByte(1000, 9);
  EXPECT_EQ(a.Data()[999], 9);
  EXPECT_THROW(a.SetByte(1001, 1), EIndexOutOfBounds);
  EXPECT_THROW(a.SetByte(0, 1), EIndexOutOfBounds);
}

TEST(TBigByteArray, ImpossibleSizeIsNotEnoughMemory) {
  try {
    TBigByteArray a(-5);
    FAIL();
  } catch (const ENotEnoughMemory& e) {
    EXPECT_STREQ(e.what(),
                 "error in TBigByteArray.create: Not enough contiguous memory available\r\n"
                 " requested memory block: -5 bytes");
  }
}

class MatrixTest : public testing::Test {
 protected:
  MatrixTest() : m(3, 4) {
    for (int i = 1; i <= 12; ++i) m.Data().SetByte(i, static_cast<std::uint8_t>(i));
  }
  TByteArray2D m;
};

TEST_F(MatrixTest, GetRowCopiesOneRow) {
  auto row = m.GetRow(2);
  ASSERT_EQ(row->Size(), 3);
  EXPECT_EQ(row->GetByte(1), 4);
  EXPECT_EQ(row->GetByte(2), 5);
  EXPECT_EQ(row->GetByte(3), 6);
  row->SetByte(1, 99);
  EXPECT_EQ(m.Data().GetByte(4), 4);  // a copy, not a view
}

TEST_F(MatrixTest, SetRowChecksIndexThenLengthAndChangesNothingOnFailure) {
  TBigByteArray three(3);
  three.SetByte(1, 70);
  EXPECT_THROW(m.SetRow(m.Rows() + 1, three), EIndexOutOfBounds);
  EXPECT_THROW(m.SetRow(0, three), EIndexOutOfBounds);
  TBigByteArray two(2);
  try {
    m.SetRow(1, two);
    FAIL();
  } catch (const EIndexOutOfBounds&) {
    FAIL() << "a length error is a plain error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Row doesn't have equal number of elements as Matrix row");
  }
  for (int i = 1; i <= 12; ++i) EXPECT_EQ(m.Data().GetByte(i), i);
  m.SetRow(4, three);
  EXPECT_EQ(m.Data().GetByte(10), 70);
  EXPECT_EQ(m.Data().GetByte(11), 0);
}

TEST(TByteArray2D, FourByteRowOnFiveColumnsIsRefused) {
  TByteArray2D m(5, 2);
  TBigByteArray four(4);
  EXPECT_THROW(m.SetRow(1, four), std::runtime_error);
}

TEST(TByteBuffer, HandsOutBlocksInOrderThenRaisesTheListError) {
  TByteBuffer b;
  b.Add(std::string("\x01\x02", 2));
  b.Add(std::string("\x03", 1));
  b.Reset();
  EXPECT_EQ(b.NextByte(), 1);
  EXPECT_EQ(b.NextByte(), 2);
  EXPECT_EQ(b.NextByte(), 3);
  EXPECT_THROW(b.NextByte(), EListError);
  b.Reset();
  EXPECT_EQ(b.NextByte(), 1);
  EXPECT_EQ(b.Block(2), "\x03");
}

TEST(TByteBuffer, ResetWithoutBlocksRaisesTheListError) {
  TByteBuffer b;
  EXPECT_THROW(b.Reset(), EListError);
}
