// Time plot: a ready-made document for a chart in the browser, with bounded data series.
//
// A time plot (PLOT_TIME) keeps one series "y" of integer samples shown over time; a scatter
// plot (PLOT_SCATTER) keeps two series "x" and "y" whose points pair up by index. The caller
// sets a sampling function and calls Process() now and then; a sample is taken when the
// refresh period has run out and appended to the series, which keep at most maxpoints points.
//
//   int cpu_load();
//   JsonTimePlot plot("Load", "cpu", "%", 60, 5, nullptr, JsonTimePlot::PLOT_TIME);
//   plot.SetValueSource(cpu_load);
//   ...  plot.Process();  // from the caller's own loop
//   plot.GenerateDocument("/tmp/plot.json", nullptr);
//
// Not thread-safe: Process() and the generate operations are called from one thread.
// Independent of other documents: the plot is never read, and writing uses no prototype. Its
// "series" array still offers an empty object as class-wide prototype of arrays of object nodes
// (kept when none is in force), which the library's own documents do not read with.
#ifndef WEBJSON_JSON_PLOT_H
#define WEBJSON_JSON_PLOT_H

#include <cstdint>
#include <ctime>
#include <istream>

#include "json_document.h"
#include "json_list.h"
#include "json_schema.h"
#include "webjson_export.h"

// One sample of a scatter plot.
struct JPlotPoint {
    int32_t x;
    int32_t y;
};

// An integer array that keeps at most `capacity` points.
//
// Mode 0 (shift): when full, the oldest point is dropped and the new one appended, so the
// series stays oldest first. Mode 1 (ring): when full, points are overwritten in a circle,
// starting with the second one. Any other mode drops the points that do not fit.
// A capacity of 0 or below keeps no point at all: a negative capacity does not mean "no bound",
// so a series can never grow without limit.
class WEBJSON_API JsonDataSeries : public DocumentAPI::JsonDocumentAPI::JsonSchemaArray<
                                       DocumentAPI::JsonDocumentAPI::JsonSchemaInt> {
  public:
    enum : uint32_t { MODE_SHIFT = 0, MODE_RING = 1 };

    // prototype: the element for reading, as for any integer array (may be null).
    JsonDataSeries(const char* name, int capacity, unsigned mode,
                   DocumentAPI::JsonDocumentAPI::JsonSchemaInt* prototype);
    ~JsonDataSeries() override;

    // Adds one point according to the mode.
    void AddDataPoint(int value);
    // An empty series named "" with the same capacity and mode; owned by the caller.
    DocumentAPI::JsonDocumentAPI::JsonSchema* Clone() override;

  protected:
    int32_t _capacity;
    uint32_t _mode;
    // Index of the point last written in ring mode; always checked against Size() before use.
    uint32_t _cursor;
};

class WEBJSON_API JsonTimePlot : public DocumentAPI::JsonDocumentAPI::JsonDocumentSchema {
  public:
    // Values outside the two below build a series entry with "name" only, and Process()
    // does nothing for them.
    enum JPlotType : uint32_t { PLOT_TIME = 0, PLOT_SCATTER = 1 };

    // title, name (of the series) and ytitle are copied; null is taken as "". xtitle is set
    // only when not null. refresh is in seconds; the first sample is due one period after
    // construction, and with 0 or less every Process() call samples. "refresh" is written in
    // milliseconds, held to the 32-bit range.
    JsonTimePlot(const char* title, const char* name, const char* ytitle, int maxpoints,
                 int refresh, const char* xtitle = nullptr, JPlotType type = PLOT_TIME);
    ~JsonTimePlot() override;

    DocumentAPI::JsonDocumentAPI::JsonSchemaList* BuildSchema() override;

    // Takes a sample through the sampling function of the plot's type when one is due: the
    // refresh period has run out, or the wall clock went back before the last sample.
    void Process();
    // Appends "width" and "height" when both are at least 1; every call appends a new pair.
    void SetPlotDimension(int width, int height);
    // The sampling function of a time plot; null stops sampling.
    void SetValueSource(int (*source)());
    // The sampling function of a scatter plot; null stops sampling.
    void SetPointSource(JPlotPoint (*source)());

    // Refused: reads nothing, leaves the tree as it is and returns false. Reading would reset
    // the tree and so delete the series that Process() fills.
    bool ProcessDocumentStream(std::istream& stream,
                               DocumentAPI::JsonDocumentAPI::JsonSchemaList* list) override;
    // Resets as the document root does; when that has emptied the "series" array, a new empty
    // series entry (named "") is built in it, so Process() never works on deleted series.
    void _reset_schema(DocumentAPI::JsonDocumentAPI::JsonSchemaList* list) override;

  protected:
    // Builds the series entry for the plot's type and points the series members at it.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* _build_entry();

    // Borrowed from the tree, which owns them. _x_series is null unless the plot is a scatter
    // plot; both are null for an unknown type.
    JsonDataSeries* _x_series;
    JsonDataSeries* _y_series;
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* _entry;
    int (*_value_source)();
    JPlotPoint (*_point_source)();
    int32_t _maxpoints;
    int32_t _refresh;
    time_t _next_sample;
    JPlotType _type;
    // The "series" array; it lives as long as the tree.
    DocumentAPI::JsonDocumentAPI::JsonSchemaArray<DocumentAPI::JsonDocumentAPI::JsonSchemaList>*
        _series;
};

#endif  // WEBJSON_JSON_PLOT_H
