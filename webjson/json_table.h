/// \file
/// Data table: a ready-made document for the browser's table view.
#ifndef WEBJSON_JSON_TABLE_H
#define WEBJSON_JSON_TABLE_H

#include <cstdint>
#include <functional>
#include <istream>
#include <vector>

#include "json_document.h"
#include "json_list.h"
#include "json_schema.h"
#include "webjson_export.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

/// The data table document, for the browser's table view.
///
/// The document is one object with the members "iTotalRecords" (rows added), "sColumns"
/// (column titles), "download" (always false), "aaSorting" (default sort orders as
/// `["column","asc"|"desc"]` pairs) and "aaData" (one array per row). Declare the columns
/// first: AddTableRow fills as many cells as there are columns at the time of the call.
///
/// \code
/// JsonTable table;
/// table.AddTableColumn("Name");
/// const char* row[] = {"a"};
/// table.AddTableRow(row, 1);
/// table.GenerateDocument("table.json", nullptr);
/// // {"iTotalRecords":1,"sColumns":["Name"],"download":false,"aaSorting":[],"aaData":[["a"]]}
/// \endcode
///
/// The table is write-only: reading one is refused. Not thread-safe; one thread at a time.
/// Writing uses no prototype, so nothing else the program builds changes a table.
/// \ingroup views
class WEBJSON_API JsonTable : public JsonDocumentSchema {
  public:
    /// An empty table: no columns, no rows.
    JsonTable();
    /// Deletes the tree and the cells kept from cleared rows.
    ~JsonTable() override;

    /// The empty table: the five members above, no columns, no rows.
    JsonSchemaList* BuildSchema() override;

    /// Appends a column title (null is taken as "").
    void AddTableColumn(const char* title);
    /// Appends a row of one text cell per column.
    ///
    /// Each cell is cells[i], or "" when cells is null, i is not below count or cells[i] is
    /// null; the texts are copied. Texts beyond the column count are ignored.
    void AddTableRow(const char** cells, unsigned count);
    /// Appends a row without cells, to be filled with AddTableCell.
    void AddTableRowEmpty();
    /// Appends a node of any kind to the last row, which then owns it.
    ///
    /// Without a row the call is ignored and the caller keeps the node. After a reset of the
    /// tree (_reset_schema) the row count may exceed the rows present; the cell then goes to the
    /// last row present, and with none it is ignored as above.
    void AddTableCell(JsonSchema* cell);
    /// Deletes every row and sets the row count to 0.
    ///
    /// "iTotalRecords" keeps its value until the next row is added. Columns and sorting entries
    /// stay. The rows' text cells are kept for the rows added next.
    void ClearTableRows();
    /// Appends a default sort order: the column index as decimal text and "asc" or "desc".
    void SetColumnDefaultSorting(int column, bool ascending);

    /// Writes rows rows from source instead of the stored ones, until ClearTableRowSource.
    ///
    /// "iTotalRecords" is rows (at most INT_MAX). Writing calls `source(row, cells)` for row 0
    /// to rows - 1 with an array of one text per column (at least one entry), all null before
    /// each call; the source sets the texts of the row, and the table writes them as they stand
    /// (null as ""), with no node per cell: a table of any size is written in the same memory.
    /// The texts must stay valid until the call for the next row. The stored rows are kept but
    /// not written; a null source is ClearTableRowSource. An exception from the source ends the
    /// document's write as a failure.
    void SetTableRowSource(std::uint32_t rows,
                           std::function<void(std::uint32_t row, const char** cells)> source);
    /// The table writes its stored rows again, and their count as "iTotalRecords".
    void ClearTableRowSource();

    /// Refused: reads nothing, leaves the tree as it is and returns false.
    ///
    /// LastError says "a table cannot be read"; nothing is printed.
    bool ProcessDocumentStream(std::istream& stream, JsonSchemaList* list) override;

  protected:
    /// "iTotalRecords", borrowed from the tree, which owns it.
    JsonSchemaInt* _total_records;
    /// "sColumns", borrowed from the tree.
    JsonSchemaArray<JsonSchemaString>* _columns;
    /// "download", borrowed from the tree.
    JsonSchemaBool* _download;
    /// "aaSorting", borrowed from the tree.
    JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>* _sorting;
    /// "aaData", borrowed from the tree: one array per row.
    JsonSchemaArray<JsonSchemaArray<JsonSchema>>* _data;
    /// The number of columns declared.
    int32_t _column_count;
    /// The number of rows added since the table was made or last cleared.
    int32_t _row_count;

  private:
    WEBJSON_INTERNAL void _row_added();

    // The rows a source gives, written after "aaData" (which a source disables); owned by the
    // tree.
    JsonSchema* _source_rows;

    // Cells of cleared rows, reused by the rows added next.
    std::vector<JsonSchema*> _spare_cells;
};

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_TABLE_H
