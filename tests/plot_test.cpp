#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Write;

namespace {

std::string Text(JsonDocumentSchema& document) {
    std::ostringstream out;
    EXPECT_TRUE(document.GenerateDocumentStream(out, nullptr));
    return out.str();
}

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

}  // namespace

TEST(JsonTimePlot, WritesTimeAndScatterPlots) {
    Plot load("Load", "cpu", "%", 60, 5, nullptr, JsonTimePlot::PLOT_TIME);
    const std::string head = R"({"title":"Load","xtitle":"","ytitle":"%","maxpoints":60,)"
                             R"("refresh":5000,"interactive":false,)";
    EXPECT_EQ(Text(load), head + R"("series":[{"name":"cpu","x":"time","y":[]}]})");
    for (int v : {7, 9, 4})
        load.Y()->AddDataPoint(v);
    EXPECT_EQ(Text(load), head + R"("series":[{"name":"cpu","x":"time","y":[7,9,4]}]})");

    load.SetPlotDimension(0, 300);
    load.SetPlotDimension(400, -1);
    load.SetPlotDimension(400, 300);
    load.SetPlotDimension(400, 300);
    EXPECT_EQ(Text(load), head + R"("series":[{"name":"cpu","x":"time","y":[7,9,4]}],)"
                                 R"("width":400,"height":300,"width":400,"height":300})");

    Plot scatter("S", "s", "Y", 10, 1, "X", JsonTimePlot::PLOT_SCATTER);
    for (int v : {1, 2}) {
        scatter.X()->AddDataPoint(v);
        scatter.Y()->AddDataPoint(v + 4);
    }
    EXPECT_EQ(Text(scatter), R"({"title":"S","xtitle":"X","ytitle":"Y","maxpoints":10,)"
                             R"("refresh":1000,"type":"scatter","interactive":false,)"
                             R"("series":[{"name":"s","x":[1,2],"y":[5,6]}]})");
}

TEST(JsonDataSeries, KeepsAtMostCapacityPoints) {
    struct Case {
        const char* label;
        int capacity;
        unsigned mode;
        int points;  // the values 1..points are added
        const char* expected;
    } cases[] = {
        {"shift at capacity", 3, 0, 3, "[1,2,3]"},
        {"shift past capacity", 3, 0, 4, "[2,3,4]"},
        {"shift capacity 1", 1, 0, 2, "[2]"},
        {"ring overwrites second first", 3, 1, 4, "[1,4,3]"},
        {"ring then third", 3, 1, 5, "[1,4,5]"},
        {"ring wraps to first", 3, 1, 6, "[6,4,5]"},
        {"ring after wrap", 3, 1, 7, "[6,7,5]"},
        {"ring capacity 1", 1, 1, 2, "[2]"},
        {"shift capacity 0", 0, 0, 3, "[]"},
        {"ring capacity 0", 0, 1, 3, "[]"},
        {"negative capacity", -1, 0, 3, "[]"},
        {"unknown mode drops", 2, 7, 3, "[1,2]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        JsonDataSeries series("s", c.capacity, c.mode, nullptr);
        for (int v = 1; v <= c.points; ++v)
            series.AddDataPoint(v);
        EXPECT_EQ(Write(series), c.expected);
    }
}

TEST(JsonDataSeries, RingRestartsAfterResetAndClonesKeepTheBound) {
    JsonDataSeries series("s", 3, 1, nullptr);
    for (int v = 1; v <= 5; ++v)
        series.AddDataPoint(v);
    series.Reset();
    for (int v = 7; v <= 10; ++v)
        series.AddDataPoint(v);
    EXPECT_EQ(Write(series), "[7,10,9]");

    JsonSchema* clone = series.Clone();
    EXPECT_EQ(clone->GetName(), "");
    EXPECT_EQ(Write(*clone), "[]");
    for (int v = 1; v <= 4; ++v)
        static_cast<JsonDataSeries*>(clone)->AddDataPoint(v);
    EXPECT_EQ(Write(*clone), "[1,4,3]");  // capacity 3 and ring mode came along
    delete clone;
}

TEST(JsonTimePlot, SamplesThroughTheSourceOfItsType) {
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

    next_value = 0;
    Plot scatter("S", "n", "y", 2, 0, nullptr, JsonTimePlot::PLOT_SCATTER);
    scatter.SetPointSource(Diagonal);
    for (int i = 0; i < 3; ++i)
        scatter.Process();
    EXPECT_EQ(Write(*scatter.X()), "[1,3]");
    EXPECT_EQ(Write(*scatter.Y()), "[-1,-3]");

    Plot other("O", "n", "y", 2, 0, nullptr, static_cast<JsonTimePlot::JPlotType>(7));
    other.SetValueSource(Counter);
    other.SetPointSource(Diagonal);
    other.Process();
    EXPECT_EQ(other.Y(), nullptr);
    EXPECT_NE(Text(other).find(R"("interactive":false,"series":[{"name":"n"}]})"),
              std::string::npos);
}

TEST(JsonTimePlot, LongRefreshPeriodsWaitAndAreWrittenInMilliseconds) {
    struct Case {
        int refresh;
        const char* written;
        bool samples;
    } cases[] = {
        {3600, R"("refresh":3600000,)", false},
        {INT_MAX, R"("refresh":2147483647,)", false},
        {-5, R"("refresh":-5000,)", true},
        {INT_MIN, R"("refresh":-2147483648,)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refresh);
        Plot plot("T", "n", "y", 5, c.refresh);
        plot.SetValueSource(Counter);
        plot.Process();
        plot.Process();
        EXPECT_EQ(plot.Y()->Size(), c.samples ? 2u : 0u);
        EXPECT_NE(Text(plot).find(c.written), std::string::npos);
    }
}

TEST(JsonTimePlot, RefusesToReadAndSurvivesAReset) {
    next_value = 0;
    Plot plot("T", "n", "y", 5, 0);
    plot.SetValueSource(Counter);
    plot.Process();
    const std::string before = Text(plot);
    std::istringstream in(before);
    EXPECT_FALSE(plot.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(Text(plot), before);

    plot._reset_schema(nullptr);  // empties "series": the plot builds a fresh entry
    plot.Process();
    EXPECT_EQ(Text(plot), R"({"title":"","xtitle":"","ytitle":"","maxpoints":5,"refresh":0,)"
                          R"("interactive":false,"series":[{"name":"","x":"time","y":[2]}]})");
}
