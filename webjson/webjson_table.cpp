// Data table document.
#include "json_table.h"

#include <climits>
#include <cstdio>
#include <utility>
#include <vector>

#include "core/detail/node_reuse.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

namespace {

constexpr char kCell[] = "AAData";

const char* text_or_empty(const char* text) {
    return text ? text : "";
}

// "aaData" written from a table's row source: every row's texts straight to the writer.
class SourceRows : public JsonSchema {
  public:
    explicit SourceRows(const int32_t* columns) : JsonSchema("aaData"), _columns(columns) {
        _enable = false;
    }
    void Set(std::uint32_t rows, std::function<void(std::uint32_t, const char**)> source) {
        _rows = rows;
        _source = std::move(source);
        _enable = static_cast<bool>(_source);
    }
    void Reset() override {}
    JsonSchema* Clone() override {
        auto* copy = new SourceRows(_columns);
        copy->Set(_rows, _source);
        return copy;
    }
    bool Compile(JsonWriteDocument& writer, bool withName) override {
        if (!_enable) return true;
        bool result = writer.Serialize(JSON_ARRAY_BEGIN, _key(withName), nullptr);
        const std::size_t columns = *_columns > 0 ? static_cast<std::size_t>(*_columns) : 0;
        std::vector<const char*> cells(columns > 0 ? columns : 1);
        for (std::uint32_t row = 0; result && row < _rows; ++row) {
            std::fill(cells.begin(), cells.end(), nullptr);
            _source(row, cells.data());
            result = writer._serialize_text_array(cells.data(), columns);
        }
        return writer.Serialize(JSON_ARRAY_END, _nullstr, nullptr) && result;
    }
    bool Format(JsonReadDocument&, bool) override { return !_enable; }
    bool IsSet() const { return _enable; }

  private:
    const int32_t* _columns;
    std::uint32_t _rows = 0;
    std::function<void(std::uint32_t, const char**)> _source;
};

}  // namespace

JsonTable::JsonTable()
    : _total_records(nullptr),
      _columns(nullptr),
      _download(nullptr),
      _sorting(nullptr),
      _data(nullptr),
      _column_count(0),
      _row_count(0),
      _source_rows(nullptr) {
    _root = BuildSchema();
}

JsonTable::~JsonTable() {
    for (JsonSchema* cell : _spare_cells)
        delete cell;
}

JsonSchemaList* JsonTable::BuildSchema() {
    _total_records = new JsonSchemaInt("iTotalRecords", 0);
    _columns = new JsonSchemaArray<JsonSchemaString>("sColumns", nullptr);
    _download = new JsonSchemaBool("download", false);
    _sorting = new JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>("aaSorting", nullptr);
    _data = new JsonSchemaArray<JsonSchemaArray<JsonSchema>>("aaData", nullptr);

    JsonSchemaList* root = new JsonSchemaList("");
    root->AddNew(_total_records);
    root->AddNew(_columns);
    root->AddNew(_download);
    root->AddNew(_sorting);
    root->AddNew(_data);
    _source_rows = new SourceRows(&_column_count);
    root->AddNew(_source_rows);
    return root;
}

void JsonTable::AddTableColumn(const char* title) {
    _columns->AddNew(new JsonSchemaString("title", text_or_empty(title)));
    ++_column_count;
}

void JsonTable::AddTableRow(const char** cells, unsigned count) {
    auto* row = new JsonSchemaArray<JsonSchema>("AADataEntry", nullptr);
    _data->AddNew(row);
    // Room for every cell first, so that appending a cell cannot fail and leak it.
    std::vector<JsonSchema*>& row_cells = ChildrenOf(*row);
    if (_column_count > 0) row_cells.reserve(static_cast<std::size_t>(_column_count));
    for (int32_t i = 0; i < _column_count; ++i) {
        const char* text = "";
        if (cells != nullptr && static_cast<uint32_t>(i) < count && cells[i] != nullptr) {
            text = cells[i];
        }
        if (_spare_cells.empty()) {
            row_cells.push_back(new JsonSchemaString(kCell, sizeof kCell - 1, text));
        } else {
            JsonSchema* cell = _spare_cells.back();
            _spare_cells.pop_back();
            RenewTextNode(*cell, kCell, text);
            row_cells.push_back(cell);
        }
    }
    _row_added();
}

void JsonTable::AddTableRowEmpty() {
    _data->AddNew(new JsonSchemaArray<JsonSchema>("AADataEntry", nullptr));
    _row_added();
}

void JsonTable::AddTableCell(JsonSchema* cell) {
    if (_row_count == 0 || cell == nullptr) return;
    // Normally the last row present is row _row_count - 1; after a reset of the tree the
    // count is stale and the rows present are the only ones a cell can go to.
    unsigned int rows = _data->Size();
    if (rows == 0) return;
    _data->GetArray(rows - 1)->AddNew(cell);
}

// The rows' text cells are kept for the rows added next; the rows themselves go.
void JsonTable::ClearTableRows() {
    for (unsigned int i = 0; i < _data->Size(); ++i) {
        if (auto* row = dynamic_cast<JsonSchemaList*>(_data->GetObject(i))) {
            TakeTextNodes(*row, kCell, _spare_cells);
        }
    }
    _data->Clear();
    _row_count = 0;
}

void JsonTable::SetColumnDefaultSorting(int column, bool ascending) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", column);
    auto* entry = new JsonSchemaArray<JsonSchemaString>("AASorting", nullptr);
    entry->AddNew(new JsonSchemaString("Column", text));
    entry->AddNew(new JsonSchemaString("Direction", ascending ? "asc" : "desc"));
    _sorting->AddNew(entry);
}

bool JsonTable::ProcessDocumentStream(std::istream&, JsonSchemaList*) {
    _fail("a table cannot be read");
    return false;
}

void JsonTable::SetTableRowSource(std::uint32_t rows,
                                  std::function<void(std::uint32_t, const char**)> source) {
    if (!source) return ClearTableRowSource();
    static_cast<SourceRows*>(_source_rows)->Set(rows, std::move(source));
    _data->SetEnable(false);
    _total_records->SetValue(rows > INT_MAX ? INT_MAX : static_cast<int>(rows));
}

void JsonTable::ClearTableRowSource() {
    static_cast<SourceRows*>(_source_rows)->Set(0, nullptr);
    _data->SetEnable(true);
    _total_records->SetValue(static_cast<int>(_row_count));
}

void JsonTable::_row_added() {
    ++_row_count;
    if (!static_cast<SourceRows*>(_source_rows)->IsSet()) {
        _total_records->SetValue(static_cast<int>(_row_count));
    }
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
