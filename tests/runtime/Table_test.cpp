#include <gtest/gtest.h>

#include <sstream>

#include "runtime/Measure.h"
#include "runtime/Table.h"

namespace {

TEST(Table, CellIsCentredWithTheOddSpaceRight)
{
    ext::Table t(5, 4);
    std::ostringstream os;
    t.row(os, "ab");
    EXPECT_EQ(os.str(), "| ab  ");
    t.row(os, "xyz");
    EXPECT_EQ(os.str(), "| ab  |xyz |\n");
    t.delimeter(os);
    EXPECT_EQ(os.str(), "| ab  |xyz |\n+-----+----+\n");
}

TEST(Table, LongTextAndFullRow)
{
    ext::Table t(3, 2);
    std::ostringstream os;
    t.row(os, "abcdef");   // wider than its column: written in full
    t.row(os, "");
    t.row(os, "dropped");  // the row is full
    EXPECT_EQ(os.str(), "|abcdef|  |\n");
    t.resetrow();
    t.row(os, "q");
    t.gap(os);
    EXPECT_EQ(os.str(), "|abcdef|  |\n| q |  |\n|   |  |\n");
}

TEST(Table, DelimiterClosesAnOpenRow)
{
    ext::Table t(3, 3, 3);
    std::ostringstream os;
    t.row(os, "a");
    t.delimeter(os);
    EXPECT_EQ(os.str(), "| a |   |   |\n+---+---+---+\n");

    ext::Table none;
    std::ostringstream empty;
    none.row(empty, "x");
    none.delimeter(empty);
    none.gap(empty);
    EXPECT_EQ(empty.str(), "");
}

TEST(TableSentry, CellsManipulatorsAndFinalize)
{
    ext::Table t(6, 10, 4);
    std::ostringstream os;
    {
        ext::Table::Sentry s(os, t);
        s << ext::delimeter << ext::beginrow << "name" << ext::nextrow << std::string("x") << 7
          << ext::nextrow << "fd" << ext::nextrow;
        s << "dropped" << ext::nextrow;   // the row is complete until beginrow
        s << ext::beginrow << std::hex << -1 << ext::nextrow << 255u << ext::nextrow << ext::delimeter;
        s << std::dec << ext::beginrow << -5 << ext::nextrow;
    }   // the destructor fills the open row
    EXPECT_EQ(os.str(),
              "+------+----------+----+\n"
              "| name |    x7    | fd |\n"
              "|ffffffff|    ff    |    |\n"
              "+------+----------+----+\n"
              "|  -5  |          |    |\n");
}

TEST(TableSentry, MeasureCell)
{
    ext::Table t(30);
    std::ostringstream os;
    Measure m;
    m.add(4);
    m.add(9);
    {
        ext::Table::Sentry s(os, t);
        s << m << ext::nextrow;
    }
    EXPECT_EQ(os.str(), "| min=4 max=9 avg=9 counter=2  |\n");
}

} // namespace
