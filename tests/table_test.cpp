#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;

namespace {

std::string Text(JsonDocumentSchema& document) {
    std::ostringstream out;
    EXPECT_TRUE(document.GenerateDocumentStream(out, nullptr));
    return out.str();
}

// The value of "aaData", the table's last member.
std::string Rows(JsonDocumentSchema& document) {
    std::string text = Text(document);
    std::size_t at = text.find("\"aaData\":") + 9;
    return text.substr(at, text.size() - at - 1);
}

}  // namespace

TEST(JsonTable, WritesColumnsSortingAndRows) {
    JsonTable table;
    EXPECT_EQ(Text(table),
              R"({"iTotalRecords":0,"sColumns":[],"download":false,"aaSorting":[],"aaData":[]})");
    table.AddTableColumn("Name");
    table.AddTableColumn("Value");
    table.SetColumnDefaultSorting(0, true);
    const char* first[] = {"a", "b"};
    const char* second[] = {"c"};
    table.AddTableRow(first, 2);
    table.AddTableRow(second, 1);
    EXPECT_EQ(Text(table), R"({"iTotalRecords":2,"sColumns":["Name","Value"],"download":false,)"
                           R"("aaSorting":[["0","asc"]],"aaData":[["a","b"],["c",""]]})");

    JsonTable sorted;
    sorted.SetColumnDefaultSorting(2, false);
    sorted.SetColumnDefaultSorting(2, false);
    sorted.SetColumnDefaultSorting(-1, true);
    EXPECT_NE(Text(sorted).find(R"("aaSorting":[["2","desc"],["2","desc"],["-1","asc"]])"),
              std::string::npos);
}

TEST(JsonTable, RowsHaveOneTextCellPerColumn) {
    const char* texts[] = {"x", nullptr, "z", "surplus"};
    struct Case {
        const char* label;
        int columns;
        const char** cells;
        unsigned count;
        const char* rows;
    } cases[] = {
        {"no columns", 0, texts, 4, "[[]]"},
        {"short count", 3, texts, 1, R"([["x","",""]])"},
        {"null entry", 3, texts, 3, R"([["x","","z"]])"},
        {"surplus ignored", 2, texts, 4, R"([["x",""]])"},
        {"null cells", 2, nullptr, 2, R"([["",""]])"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        JsonTable table;
        for (int i = 0; i < c.columns; ++i)
            table.AddTableColumn("c");
        table.AddTableRow(c.cells, c.count);
        EXPECT_EQ(Rows(table), c.rows);
        EXPECT_EQ(Text(table).rfind(R"({"iTotalRecords":1,)", 0), 0u);
    }
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

TEST(JsonTable, ClearingRowsKeepsTotalUntilTheNextRow) {
    JsonTable table;
    table.AddTableColumn("A");
    for (int i = 0; i < 3; ++i)
        table.AddTableRow(nullptr, 0);
    table.ClearTableRows();
    EXPECT_EQ(Text(table), R"({"iTotalRecords":3,"sColumns":["A"],"download":false,)"
                           R"("aaSorting":[],"aaData":[]})");
    table.AddTableRowEmpty();
    EXPECT_EQ(Text(table), R"({"iTotalRecords":1,"sColumns":["A"],"download":false,)"
                           R"("aaSorting":[],"aaData":[[]]})");
}

TEST(JsonTable, RefusesToReadAndKeepsItsContent) {
    JsonTable table;
    table.AddTableColumn("A");
    table.AddTableRow(nullptr, 0);
    const std::string before = Text(table);
    std::istringstream in(R"({"iTotalRecords":0,"sColumns":[],"download":false,)"
                          R"("aaSorting":[],"aaData":[]})");
    testing_support::CoutCapture console;
    EXPECT_FALSE(table.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(Text(table), before);
    EXPECT_EQ(in.tellg(), 0);  // nothing consumed
    EXPECT_EQ(console.Text(), "");
}
