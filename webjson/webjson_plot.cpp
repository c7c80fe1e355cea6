// Time plot document and its bounded data series.
#include "json_plot.h"

#include <limits>

using DocumentAPI::JsonDocumentAPI::JsonSchema;
using DocumentAPI::JsonDocumentAPI::JsonSchemaArray;
using DocumentAPI::JsonDocumentAPI::JsonSchemaBool;
using DocumentAPI::JsonDocumentAPI::JsonSchemaInt;
using DocumentAPI::JsonDocumentAPI::JsonSchemaList;
using DocumentAPI::JsonDocumentAPI::JsonSchemaString;

namespace {

const char* text_or_empty(const char* text) {
    return text ? text : "";
}

// t + seconds, held to the range of time_t (32 or 64 bits) instead of overflowing.
time_t add_seconds(time_t t, int32_t seconds) {
    if (seconds > 0 && t > std::numeric_limits<time_t>::max() - seconds) {
        return std::numeric_limits<time_t>::max();
    }
    if (seconds < 0 && t < std::numeric_limits<time_t>::min() - seconds) {
        return std::numeric_limits<time_t>::min();
    }
    return t + seconds;
}

// Seconds as milliseconds, held to the 32-bit range.
int32_t to_milliseconds(int32_t seconds) {
    int64_t ms = static_cast<int64_t>(seconds) * 1000;
    if (ms > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (ms < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(ms);
}

}  // namespace

JsonDataSeries::JsonDataSeries(const char* name, int capacity, unsigned mode,
                               JsonSchemaInt* prototype)
    : JsonSchemaArray<JsonSchemaInt>(name, prototype),
      _capacity(capacity),
      _mode(mode),
      _cursor(0) {}

JsonDataSeries::~JsonDataSeries() {}

void JsonDataSeries::AddDataPoint(int value) {
    if (_capacity <= 0) return;
    uint32_t size = Size();
    if (size < static_cast<uint32_t>(_capacity)) {
        AddNew(new JsonSchemaInt("", value));
        _cursor = 0;
        return;
    }
    if (size == 0) return;
    if (_mode == MODE_SHIFT) {
        for (uint32_t i = 0; i + 1 < size; ++i) {
            _children[i]->SetValue(_children[i + 1]->GetValueInt());
        }
        _children[size - 1]->SetValue(value);
    } else if (_mode == MODE_RING) {
        // The cursor may be stale after a reset or a read; it is re-checked here.
        _cursor = (_cursor + 1 < size) ? _cursor + 1 : 0;
        _children[_cursor]->SetValue(value);
    }
}

JsonSchema* JsonDataSeries::Clone() {
    return new JsonDataSeries("", _capacity, _mode, _registered());
}

JsonTimePlot::JsonTimePlot(const char* title, const char* name, const char* ytitle, int maxpoints,
                           int refresh, const char* xtitle, JPlotType type)
    : _x_series(nullptr),
      _y_series(nullptr),
      _entry(nullptr),
      _value_source(nullptr),
      _point_source(nullptr),
      _maxpoints(maxpoints),
      _refresh(refresh),
      _next_sample(0),
      _type(type),
      _series(nullptr) {
    _root = BuildSchema();
    _root->Set("title", text_or_empty(title));
    _root->Set("ytitle", text_or_empty(ytitle));
    if (xtitle != nullptr) _root->Set("xtitle", xtitle);
    _entry->Set("name", text_or_empty(name));
    _next_sample = add_seconds(time(nullptr), _refresh);
}

JsonTimePlot::~JsonTimePlot() {}

JsonSchemaList* JsonTimePlot::BuildSchema() {
    JsonSchemaList* root = new JsonSchemaList("");
    root->AddNew(new JsonSchemaString("title", ""));
    root->AddNew(new JsonSchemaString("xtitle", ""));
    root->AddNew(new JsonSchemaString("ytitle", ""));
    root->AddNew(new JsonSchemaInt("maxpoints", _maxpoints));
    root->AddNew(new JsonSchemaInt("refresh", to_milliseconds(_refresh)));
    if (_type == PLOT_SCATTER) root->AddNew(new JsonSchemaString("type", "scatter"));
    root->AddNew(new JsonSchemaBool("interactive", false));

    // The element read into "series" is an empty object. An array of objects registered
    // earlier may hold the prototype already; the offered one is then ours to delete.
    JsonSchemaList* prototype = new JsonSchemaList("");
    _series = new JsonSchemaArray<JsonSchemaList>("series", prototype);
    if (JsonSchemaArray<JsonSchemaList>::_element != prototype) delete prototype;
    root->AddNew(_series);
    _series->AddNew(_build_entry());
    return root;
}

JsonSchemaList* JsonTimePlot::_build_entry() {
    _entry = new JsonSchemaList("");
    _entry->AddNew(new JsonSchemaString("name", ""));
    _x_series = nullptr;
    _y_series = nullptr;
    if (_type == PLOT_TIME) {
        _entry->AddNew(new JsonSchemaString("x", "time"));
        _y_series = new JsonDataSeries("y", _maxpoints, JsonDataSeries::MODE_SHIFT, nullptr);
    } else if (_type == PLOT_SCATTER) {
        _x_series = new JsonDataSeries("x", _maxpoints, JsonDataSeries::MODE_RING, nullptr);
        _y_series = new JsonDataSeries("y", _maxpoints, JsonDataSeries::MODE_RING, nullptr);
        _entry->AddNew(_x_series);
    }
    _entry->AddNew(_y_series);
    return _entry;
}

void JsonTimePlot::Process() {
    bool time_plot = _type == PLOT_TIME && _value_source != nullptr;
    bool scatter_plot = _type == PLOT_SCATTER && _point_source != nullptr;
    if (!time_plot && !scatter_plot) return;
    // A sample is due at the next sample time, or at once when the clock went back before the
    // last one (NTP at boot steps it back); the next is then due a period after now.
    const time_t now = time(nullptr);
    const bool clock_back =
        static_cast<int64_t>(now) < static_cast<int64_t>(_next_sample) - _refresh;
    if (now < _next_sample && !clock_back) return;

    if (time_plot) {
        _y_series->AddDataPoint(_value_source());
    } else {
        JPlotPoint point = _point_source();
        _x_series->AddDataPoint(point.x);
        _y_series->AddDataPoint(point.y);
    }
    _next_sample = add_seconds(time(nullptr), _refresh);
}

void JsonTimePlot::SetPlotDimension(int width, int height) {
    if (width < 1 || height < 1) return;
    _root->AddNew(new JsonSchemaInt("width", width));
    _root->AddNew(new JsonSchemaInt("height", height));
}

void JsonTimePlot::SetValueSource(int (*source)()) {
    _value_source = source;
}

void JsonTimePlot::SetPointSource(JPlotPoint (*source)()) {
    _point_source = source;
}

bool JsonTimePlot::ProcessDocumentStream(std::istream&, JsonSchemaList*) {
    _fail("a time plot cannot be read");
    return false;
}

void JsonTimePlot::_reset_schema(JsonSchemaList* list) {
    JsonDocumentSchema::_reset_schema(list);
    if (_series->Size() == 0) _series->AddNew(_build_entry());
}
