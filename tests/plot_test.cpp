#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sstream>
#include <string>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Write;
using testing_support::WriteDocument;

namespace {

// Gives tests the plot's series, to add points without waiting for the clock.
class Plot : public JsonTimePlot {
  public:
    using JsonTimePlot::JsonTimePlot;
    JsonDataSeries* X() { return _x_series; }
    JsonDataSeries* Y() { return _y_series; }
};

int next_value = 0;
int Counter() {
    return ++next_value;
}
JPlotPoint Diagonal() {
    ++next_value;
    return {next_value, -next_value};
}

// Adds the values first to last and returns what the series then writes.
std::string Add(JsonDataSeries& series, int first, int last) {
    for (int v = first; v <= last; ++v)
        series.AddDataPoint(v);
    return Write(series);
}

}  // namespace

TEST(JsonTimePlot, WritesTimeAndScatterPlots) {
    Plot load("Load", "cpu", "%", 60, 5, nullptr, JsonTimePlot::PLOT_TIME);
    const std::string head = R"({"title":"Load","xtitle":"","ytitle":"%","maxpoints":60,)"
                             R"("refresh":5000,"interactive":false,)";
    EXPECT_EQ(WriteDocument(load), head + R"("series":[{"name":"cpu","x":"time","y":[]}]})");
    for (int v : {7, 9, 4})
        load.Y()->AddDataPoint(v);
    EXPECT_EQ(WriteDocument(load), head + R"("series":[{"name":"cpu","x":"time","y":[7,9,4]}]})");
    load.SetPlotDimension(0, 300);
    load.SetPlotDimension(400, -1);
    load.SetPlotDimension(400, 300);
    load.SetPlotDimension(400, 300);
    EXPECT_EQ(WriteDocument(load), head + R"("series":[{"name":"cpu","x":"time","y":[7,9,4]}],)"
                                          R"("width":400,"height":300,"width":400,"height":300})");

    Plot scatter("S", "s", "Y", 10, 1, "X", JsonTimePlot::PLOT_SCATTER);
    for (int v : {1, 2}) {
        scatter.X()->AddDataPoint(v);
        scatter.Y()->AddDataPoint(v + 4);
    }
    EXPECT_EQ(WriteDocument(scatter), R"({"title":"S","xtitle":"X","ytitle":"Y","maxpoints":10,)"
                                      R"("refresh":1000,"type":"scatter","interactive":false,)"
                                      R"("series":[{"name":"s","x":[1,2],"y":[5,6]}]})");
}

TEST(JsonDataSeries, KeepsAtMostCapacityPoints) {
    JsonDataSeries shift("s", 3, 0, nullptr), ring("s", 3, 1, nullptr);
    EXPECT_EQ(Add(shift, 1, 4), "[2,3,4]");
    EXPECT_EQ(Add(ring, 1, 4), "[1,4,3]");  // the cursor stands on the first point when full
    EXPECT_EQ(Add(ring, 5, 5), "[1,4,5]");
    EXPECT_EQ(Add(ring, 6, 6), "[6,4,5]");
    EXPECT_EQ(Add(ring, 7, 7), "[6,7,5]");
    ring.Reset();
    EXPECT_EQ(Add(ring, 7, 10), "[7,10,9]");
    std::unique_ptr<JsonDataSeries> clone(static_cast<JsonDataSeries*>(ring.Clone()));
    EXPECT_EQ(clone->GetName() + Write(*clone), "[]");
    EXPECT_EQ(Add(*clone, 1, 4), "[1,4,3]");  // capacity 3 and ring mode came along

    for (unsigned mode : {0u, 1u}) {
        JsonDataSeries one("s", 1, mode, nullptr), none("s", 0, mode, nullptr);
        EXPECT_EQ(Add(one, 1, 2) + Add(none, 1, 2), "[2][]");
    }
    JsonDataSeries negative("s", -1, 0, nullptr), unknown("s", 2, 7, nullptr);
    EXPECT_EQ(Add(negative, 1, 3), "[]");
    EXPECT_EQ(Add(unknown, 1, 3), "[1,2]");  // an unknown mode drops the value
}

TEST(JsonTimePlot, SamplesThroughTheSourceOfItsTypeAndSurvivesAReset) {
    next_value = 0;
    Plot time_plot("T", "n", "y", 2, 0, nullptr, JsonTimePlot::PLOT_TIME);
    time_plot.Process();                 // no source
    time_plot.SetPointSource(Diagonal);  // not the source of a time plot
    time_plot.Process();
    EXPECT_EQ(Write(*time_plot.Y()), "[]");
    time_plot.SetValueSource(Counter);
    for (int i = 0; i < 3; ++i)
        time_plot.Process();  // refresh 0: every call samples
    EXPECT_EQ(Write(*time_plot.Y()), "[2,3]");
    // Reading is refused; a reset empties "series" and the plot builds a fresh entry.
    const std::string before = WriteDocument(time_plot);
    std::istringstream in(before);
    EXPECT_FALSE(time_plot.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(WriteDocument(time_plot), before);
    time_plot._reset_schema(nullptr);
    time_plot.Process();
    EXPECT_EQ(WriteDocument(time_plot), R"({"title":"","xtitle":"","ytitle":"","maxpoints":2,)"
                                        R"("refresh":0,"interactive":false,"series":[{"name":"",)"
                                        R"("x":"time","y":[4]}]})");

    next_value = 0;
    Plot scatter("S", "n", "y", 2, 0, nullptr, JsonTimePlot::PLOT_SCATTER);
    scatter.SetPointSource(Diagonal);
    for (int i = 0; i < 3; ++i)
        scatter.Process();
    EXPECT_EQ(Write(*scatter.X()) + Write(*scatter.Y()), "[1,3][-1,-3]");

    Plot other("O", "n", "y", 2, 0, nullptr, static_cast<JsonTimePlot::JPlotType>(7));
    other.SetValueSource(Counter);
    other.SetPointSource(Diagonal);
    other.Process();
    EXPECT_NE(WriteDocument(other).find(R"("interactive":false,"series":[{"name":"n"}]})"),
              std::string::npos);
}

// The first sample waits a whole period; the period is written in milliseconds, saturated.
TEST(JsonTimePlot, LongRefreshPeriods) {
    Plot wait("T", "n", "y", 5, INT_MAX), due("T", "n", "y", 5, INT_MIN);
    for (Plot* plot : {&wait, &due}) {
        plot->SetValueSource(Counter);
        plot->Process();
        plot->Process();
    }
    EXPECT_EQ(wait.Y()->Size() + 10 * due.Y()->Size(), 20u);  // a past time samples each call
    EXPECT_NE(WriteDocument(wait).find(R"("refresh":2147483647,)"), std::string::npos);
    EXPECT_NE(WriteDocument(due).find(R"("refresh":-2147483648,)"), std::string::npos);
}
