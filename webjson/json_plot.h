/// \file
/// Time plot: a ready-made document for a chart in the browser, with bounded data series.
#ifndef WEBJSON_JSON_PLOT_H
#define WEBJSON_JSON_PLOT_H

#include <cstdint>
#include <ctime>
#include <istream>

#include "json_document.h"
#include "json_list.h"
#include "json_schema.h"
#include "webjson_export.h"

/// One sample of a scatter plot.
/// \ingroup views
struct JPlotPoint {
    int32_t x;  ///< The sample's x value.
    int32_t y;  ///< The sample's y value.
};

/// An integer array that keeps at most `capacity` points: a plot's data series.
///
/// Mode 0 (MODE_SHIFT): when full, the oldest point is dropped and the new one appended, so the
/// series stays oldest first. Mode 1 (MODE_RING): when full, points are overwritten in a circle,
/// starting with the second one. Any other mode drops the points that do not fit.
/// A capacity of 0 or below keeps no point at all: a negative capacity does not mean "no bound",
/// so a series can never grow without limit.
/// \ingroup views
class WEBJSON_API JsonDataSeries : public DocumentAPI::JsonDocumentAPI::JsonSchemaArray<
                                       DocumentAPI::JsonDocumentAPI::JsonSchemaInt> {
  public:
    /// How a full series takes a new point: MODE_SHIFT drops the oldest, MODE_RING overwrites
    /// in a circle.
    enum : uint32_t { MODE_SHIFT = 0, MODE_RING = 1 };

    /// An empty series named name (copied) of the given capacity and mode.
    ///
    /// prototype: the element for reading, offered class-wide as for any integer array built
    /// with a `T*` (may be null).
    JsonDataSeries(const char* name, int capacity, unsigned mode,
                   DocumentAPI::JsonDocumentAPI::JsonSchemaInt* prototype);
    /// Deletes the points.
    ~JsonDataSeries() override;

    /// Adds one point according to the mode.
    void AddDataPoint(int value);
    /// An empty series named "" with the same capacity and mode; owned by the caller.
    DocumentAPI::JsonDocumentAPI::JsonSchema* Clone() override;

  protected:
    /// The most points kept; 0 or below keeps none.
    int32_t _capacity;
    /// MODE_SHIFT, MODE_RING or another value (drop what does not fit).
    uint32_t _mode;
    /// Index of the point last written in ring mode; always checked against Size() before use.
    uint32_t _cursor;
};

/// A chart document: a time plot or a scatter plot, sampled by the caller's loop.
///
/// A time plot (PLOT_TIME) keeps one series "y" of integer samples shown over time; a scatter
/// plot (PLOT_SCATTER) keeps two series "x" and "y" whose points pair up by index. The caller
/// sets a sampling function and calls Process() now and then; a sample is taken when the
/// refresh period has run out and appended to the series, which keep at most maxpoints points.
///
/// \code
/// int cpu_load();
/// JsonTimePlot plot("Load", "cpu", "%", 60, 5, nullptr, JsonTimePlot::PLOT_TIME);
/// plot.SetValueSource(cpu_load);
/// ...  plot.Process();  // from the caller's own loop
/// plot.GenerateDocument("plot.json", nullptr);
/// // {"title":"Load","xtitle":"","ytitle":"%","maxpoints":60,"refresh":5000,
/// //  "interactive":false,"series":[{"name":"cpu","x":"time","y":[7,9,4]}]}
/// \endcode
///
/// Not thread-safe: Process() and the generate operations are called from one thread.
/// Independent of other documents: the plot is never read, and writing uses no prototype. Its
/// "series" array still offers an empty object as class-wide prototype of arrays of object nodes
/// (kept when none is in force), which the library's own documents do not read with.
/// \ingroup views
class WEBJSON_API JsonTimePlot : public DocumentAPI::JsonDocumentAPI::JsonDocumentSchema {
  public:
    /// The kind of plot.
    ///
    /// Values outside the two below build a series entry with "name" only, and Process()
    /// does nothing for them.
    enum JPlotType : uint32_t { PLOT_TIME = 0, PLOT_SCATTER = 1 };

    /// A plot with an empty series, whose first sample is due one refresh period from now.
    ///
    /// title, name (of the series) and ytitle are copied; null is taken as "". xtitle is set
    /// only when not null. refresh is in seconds; the first sample is due one period after
    /// construction, and with 0 or less every Process() call samples. "refresh" is written in
    /// milliseconds, held to the 32-bit range.
    JsonTimePlot(const char* title, const char* name, const char* ytitle, int maxpoints,
                 int refresh, const char* xtitle = nullptr, JPlotType type = PLOT_TIME);
    /// Deletes the tree with its series.
    ~JsonTimePlot() override;

    /// The plot's tree: titles, "maxpoints", "refresh", "type" for a scatter plot,
    /// "interactive" and the "series" array with one entry.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* BuildSchema() override;

    /// Takes a sample through the sampling function of the plot's type when one is due.
    ///
    /// A sample is due when the refresh period has run out, or when the wall clock went back
    /// before the last sample; after each sample the next is due one period later. Without a
    /// sampling function of the plot's type nothing happens.
    void Process();
    /// Appends "width" and "height" when both are at least 1; every call appends a new pair.
    void SetPlotDimension(int width, int height);
    /// Sets the sampling function of a time plot; null stops sampling.
    void SetValueSource(int (*source)());
    /// Sets the sampling function of a scatter plot; null stops sampling.
    void SetPointSource(JPlotPoint (*source)());

    /// Refused: reads nothing, leaves the tree as it is and returns false.
    ///
    /// Reading would reset the tree and so delete the series that Process() fills. LastError
    /// says "a time plot cannot be read"; nothing is printed.
    bool ProcessDocumentStream(std::istream& stream,
                               DocumentAPI::JsonDocumentAPI::JsonSchemaList* list) override;
    /// Resets as the document root does, then rebuilds an emptied series.
    ///
    /// When the reset has emptied the "series" array, a new empty series entry (named "") is
    /// built in it, so Process() never works on deleted series.
    void _reset_schema(DocumentAPI::JsonDocumentAPI::JsonSchemaList* list) override;

  protected:
    /// Builds the series entry for the plot's type and points the series members at it.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* _build_entry();

    /// The "x" series of a scatter plot, borrowed from the tree; null for other plots.
    JsonDataSeries* _x_series;
    /// The "y" series, borrowed from the tree; null for an unknown type.
    JsonDataSeries* _y_series;
    /// The series entry, borrowed from the tree.
    DocumentAPI::JsonDocumentAPI::JsonSchemaList* _entry;
    /// The sampling function of a time plot, or null.
    int (*_value_source)();
    /// The sampling function of a scatter plot, or null.
    JPlotPoint (*_point_source)();
    /// The most points a series keeps.
    int32_t _maxpoints;
    /// The refresh period in seconds.
    int32_t _refresh;
    /// When the next sample is due (seconds since the epoch).
    time_t _next_sample;
    /// The kind of plot.
    JPlotType _type;
    /// The "series" array; it lives as long as the tree.
    DocumentAPI::JsonDocumentAPI::JsonSchemaArray<DocumentAPI::JsonDocumentAPI::JsonSchemaList>*
        _series;
};

#endif  // WEBJSON_JSON_PLOT_H
