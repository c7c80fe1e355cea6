// The plot vocabulary as TypeScript types, generated from schema/plot.schema.json by
// schema/tools/generate-types.mjs (npm run types). Do not edit: change the schema.

/**
 * A plot as JsonTimePlot writes it: a time plot (integer samples, oldest first) or a scatter plot (pairs of integers).
 */
export type PlotDocument = TimePlotDocument | ScatterPlotDocument;
export type Int32 = number;
/**
 * Pixels; present only after SetPlotDimension, then width and height together.
 */
export type Size = number;

export interface TimePlotDocument {
  title: string;
  xtitle: string;
  ytitle: string;
  /**
   * Points kept: the newest sample is drawn in the last of these slots.
   */
  maxpoints: number;
  /**
   * Milliseconds between two samples.
   */
  refresh: number;
  interactive: boolean;
  /**
   * @minItems 1
   */
  series: [TimeSeries, ...TimeSeries[]];
  width?: Size;
  height?: Size;
}
export interface TimeSeries {
  name: string;
  x: "time";
  /**
   * The samples, oldest first.
   */
  y: Int32[];
}
export interface ScatterPlotDocument {
  title: string;
  xtitle: string;
  ytitle: string;
  /**
   * Pairs kept; once full, the oldest is overwritten in a ring.
   */
  maxpoints: number;
  /**
   * Milliseconds between two samples.
   */
  refresh: number;
  type: "scatter";
  interactive: boolean;
  /**
   * @minItems 1
   */
  series: [ScatterSeries, ...ScatterSeries[]];
  width?: Size;
  height?: Size;
}
/**
 * Pair i is (x[i], y[i]); both arrays have the same length.
 */
export interface ScatterSeries {
  name: string;
  x: Int32[];
  y: Int32[];
}
