#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::WriteDocument;

namespace {

// The value of "aaData", the table's last member.
std::string Rows(JsonDocumentSchema& document) {
    const std::string text = WriteDocument(document);
    const std::size_t at = text.find("\"aaData\":") + 9;
    return text.substr(at, text.size() - at - 1);
}

// The rows of a table of `columns` columns after one AddTableRow(cells, count), which counts.
std::string OneRow(int columns, const char** cells, unsigned count) {
    JsonTable table;
    for (int i = 0; i < columns; ++i)
        table.AddTableColumn("c");
    table.AddTableRow(cells, count);
    EXPECT_EQ(WriteDocument(table).rfind(R"({"iTotalRecords":1,)", 0), 0u);
    return Rows(table);
}

}  // namespace

TEST(JsonTable, WritesColumnsSortingAndRows) {
    JsonTable table;
    EXPECT_EQ(WriteDocument(table),
              R"({"iTotalRecords":0,"sColumns":[],"download":false,"aaSorting":[],"aaData":[]})");
    table.AddTableColumn("Name");
    table.AddTableColumn("Value");
    table.SetColumnDefaultSorting(0, true);
    const char* first[] = {"a", "b"};
    const char* second[] = {"c"};
    table.AddTableRow(first, 2);
    table.AddTableRow(second, 1);
    EXPECT_EQ(WriteDocument(table),
              R"({"iTotalRecords":2,"sColumns":["Name","Value"],"download":false,)"
              R"("aaSorting":[["0","asc"]],"aaData":[["a","b"],["c",""]]})");
    table.SetColumnDefaultSorting(-1, false);
    EXPECT_NE(WriteDocument(table).find(R"("aaSorting":[["0","asc"],["-1","desc"]])"),
              std::string::npos);
}

TEST(JsonTable, RowsHaveOneTextCellPerColumn) {
    const char* texts[] = {"x", nullptr, "z", "surplus"};
    EXPECT_EQ(OneRow(0, texts, 4), "[[]]");
    EXPECT_EQ(OneRow(3, texts, 1), R"([["x","",""]])");
    EXPECT_EQ(OneRow(3, texts, 3), R"([["x","","z"]])");
    EXPECT_EQ(OneRow(2, texts, 4), R"([["x",""]])");
    EXPECT_EQ(OneRow(2, nullptr, 2), R"([["",""]])");
}

TEST(JsonTable, CellsOfAnyKindGoToTheLastRowPresent) {
    JsonTable table;
    JsonSchemaInt orphan("", 1);
    table.AddTableCell(&orphan);  // no row yet: ignored, still ours
    table.AddTableRowEmpty();
    table.AddTableRowEmpty();
    table.AddTableCell(new JsonSchemaInt("", 5));
    table.AddTableCell(new JsonSchemaString("", "x"));
    table.AddTableCell(new JsonSchemaBool("", true));
    EXPECT_EQ(Rows(table), R"([[],[5,"x",true]])");

    table._reset_schema(nullptr);  // rows gone, the row count stays at 2
    table.AddTableCell(&orphan);   // no row present: ignored as before
    table.AddTableRowEmpty();
    table.AddTableCell(new JsonSchemaInt("", 4));
    EXPECT_EQ(Rows(table), "[[4]]");
}

TEST(JsonTable, ClearingRowsKeepsTotalUntilTheNextRowAndReadingIsRefused) {
    JsonTable table;
    table.AddTableColumn("A");
    for (int i = 0; i < 3; ++i)
        table.AddTableRow(nullptr, 0);
    table.ClearTableRows();
    EXPECT_EQ(WriteDocument(table), R"({"iTotalRecords":3,"sColumns":["A"],"download":false,)"
                                    R"("aaSorting":[],"aaData":[]})");
    table.AddTableRowEmpty();
    const std::string one = R"({"iTotalRecords":1,"sColumns":["A"],"download":false,)"
                            R"("aaSorting":[],"aaData":[[]]})";
    EXPECT_EQ(WriteDocument(table), one);

    std::istringstream in(
        R"({"iTotalRecords":0,"sColumns":[],"download":false,"aaSorting":[],"aaData":[]})");
    testing_support::CoutCapture console;
    EXPECT_FALSE(table.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(WriteDocument(table), one);
    EXPECT_EQ(in.tellg(), 0);  // nothing consumed
    EXPECT_EQ(console.Text(), "");
}
