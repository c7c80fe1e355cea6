// Types of the views' JavaScript, for the type check (schema/, npm run check): the documents
// each view reads, from the types generated from the schemas, and the little of the table
// library and the page that the views use.
import type { TableDocument, TableRow } from '../../../schema/types/table';
import type { PlotDocument } from '../../../schema/types/plot';
import type { ServiceTreeDocument } from '../../../schema/types/service-tree';
import type { SceneDocument } from '../../../schema/types/scene';

export type { TableDocument, TableRow, TableSortOrder } from '../../../schema/types/table';
export type {
  PlotDocument, TimePlotDocument, ScatterPlotDocument, TimeSeries, ScatterSeries,
} from '../../../schema/types/plot';
export type { TreeNode } from '../../../schema/types/tree';
export type { ServiceTreeDocument } from '../../../schema/types/service-tree';
export type {
  SceneDocument, SceneImage, ScenePart, SceneAttribute, SceneAction, AttributeTable, SliderAction,
  EnumOption, CheckOption,
} from '../../../schema/types/scene';
export type { ScenePost, ScenePostPair } from '../../../schema/types/scene-post';

// The documents the demo serves, by the name in doc/<name>.json.
export interface ViewDocuments {
  table: TableDocument;
  plot: PlotDocument;
  scatter: PlotDocument;
  tree: ServiceTreeDocument;
  scene: SceneDocument;
}

// What a successful post answers.
export interface PostReply {
  result?: string;
  sent?: number;
}

export interface DataTableApi {
  order(): [number, string][];
  columns(): { header(): { toArray(): HTMLElement[] } };
  on(event: string, handler: () => void): DataTableApi;
  clear(): DataTableApi;
  rows: { add(rows: TableRow[]): DataTableApi };
  draw(paging?: boolean): DataTableApi;
}

declare global {
  interface Window {
    viewerDocuments: Partial<ViewDocuments>;
  }
  const DataTable: new (selector: string, options: object) => DataTableApi;
}
