// The table vocabulary as TypeScript types, generated from schema/table.schema.json by
// schema/tools/generate-types.mjs (npm run types). Do not edit: change the schema.

/**
 * The column index as decimal text, then the direction.
 *
 * @minItems 2
 * @maxItems 2
 */
export type TableSortOrder = [string, "asc" | "desc"];
/**
 * A text, number or boolean node's value; null for a number that is not finite.
 */
export type TableCell = string | number | boolean | null;
export type TableRow = TableCell[];

/**
 * A data table as JsonTable writes it: column titles, default sort orders and rows of cells.
 */
export interface TableDocument {
  /**
   * Rows added since the table was built or last cleared (kept as it was by a clearing until the next row).
   */
  iTotalRecords: number;
  /**
   * The column titles, in order.
   */
  sColumns: string[];
  /**
   * Whether the view offers the rows as a file.
   */
  download: boolean;
  /**
   * Default sort orders, the primary one first.
   */
  aaSorting: TableSortOrder[];
  /**
   * The rows, each a list of cells in column order.
   */
  aaData: TableRow[];
}
