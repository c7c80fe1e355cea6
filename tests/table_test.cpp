#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <webjson/webjson.h>

using namespace DocumentAPI::JsonDocumentAPI;

namespace {

std::string Text(JsonDocumentSchema& document) {
    std::ostringstream out;
    EXPECT_TRUE(document.GenerateDocumentStream(out, nullptr));
    return out.str();
}

// The "aaData" member of a written table.
std::string Rows(JsonDocumentSchema& document) {
    std::string text = Text(document);
    std::size_t at = text.find("\"aaData\":");
    return at == std::string::npos ? text : text.substr(at + 9, text.size() - at - 10);
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
}

TEST(JsonTable, RowsHaveOneTextCellPerColumn) {
    const char* texts[] = {"x", nullptr, "z", "surplus"};
    struct Case {
        const char* label;
        int columns;
        const char** cells;
        unsigned count;
        const char* row;
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
        EXPECT_EQ(Rows(table), c.row);
        EXPECT_EQ(Text(table).rfind(R"({"iTotalRecords":1,)", 0), 0u);
    }
}

TEST(JsonTable, SortingEntriesAccumulateAsTexts) {
    JsonTable table;
    table.SetColumnDefaultSorting(2, false);
    table.SetColumnDefaultSorting(2, false);
    table.SetColumnDefaultSorting(-1, true);
    EXPECT_NE(Text(table).find(R"("aaSorting":[["2","desc"],["2","desc"],["-1","asc"]])"),
              std::string::npos);
}

TEST(JsonTable, CellsOfAnyKindGoToTheLastRow) {
    JsonTable table;
    JsonSchemaInt orphan("", 1);
    table.AddTableCell(&orphan);  // no row yet: ignored, still ours
    table.AddTableRowEmpty();
    table.AddTableRowEmpty();
    table.AddTableCell(new JsonSchemaInt("", 5));
    table.AddTableCell(new JsonSchemaString("", "x"));
    table.AddTableCell(new JsonSchemaBool("", true));
    EXPECT_EQ(Rows(table), R"([[],[5,"x",true]])");
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
    table.AddTableRowEmpty();
    table.AddTableCell(new JsonSchemaInt("", 9));
    const std::string before = Text(table);
    std::istringstream in(R"({"iTotalRecords":0,"sColumns":[],"download":false,)"
                          R"("aaSorting":[],"aaData":[]})");
    EXPECT_FALSE(table.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(Text(table), before);
    EXPECT_EQ(in.tellg(), 0);  // nothing was consumed
}

TEST(JsonTable, CellAfterTreeResetGoesToARowPresent) {
    JsonTable table;
    table.AddTableRowEmpty();
    table.AddTableRowEmpty();
    table._reset_schema(nullptr);  // rows gone, counts kept
    JsonSchemaInt orphan("", 1);
    table.AddTableCell(&orphan);  // no row present: ignored, still ours
    EXPECT_EQ(Rows(table), "[]");
    table.AddTableRowEmpty();
    table.AddTableCell(new JsonSchemaInt("", 4));
    EXPECT_EQ(Rows(table), "[[4]]");
}
