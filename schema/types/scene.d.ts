// The scene vocabulary as TypeScript types, generated from schema/scene.schema.json by
// schema/tools/generate-types.mjs (npm run types). Do not edit: change the schema.

export type SceneImage = EmbeddedImage | LinkedImage;
/**
 * Pixels.
 */
export type Size = number;
/**
 * Where the area stands beside the other.
 */
export type Position = "left" | "right" | "top" | "bottom";
/**
 * How the user may change the value.
 */
export type SceneAction =
  TextAction | EnumAction | CheckAction | ButtonAction | ApplyAction | SliderAction;

/**
 * An image scene as JsonScene writes it for a view: images, the layout of the attributes area, and the scene with its parts, their attributes and attribute tables. "images" is left out in the mode without images; the request mode writes {}, which is no view document.
 */
export interface SceneDocument {
  images?: SceneImage[];
  attributes: AttributesAreaLayout;
  scene: Scene;
}
/**
 * An image made by CreateImage: the file's bytes as Base64, when a path was given.
 */
export interface EmbeddedImage {
  id: string;
  data?: string;
  /**
   * The format (png, jpg, gif, svg, ...), which gives the data's MIME type.
   */
  type?: string;
  width: Size;
  height: Size;
}
/**
 * An image made by CreateImageURL, loaded from its URL.
 */
export interface LinkedImage {
  id: string;
  url: string;
  type: string;
  width: Size;
  height: Size;
}
/**
 * Where the attributes area stands beside the scene, and its size.
 */
export interface AttributesAreaLayout {
  position: Position;
  width: Size;
  height: Size;
}
export interface Scene {
  position: Position;
  width: Size;
  height: Size;
  selection: SceneSelection;
  parts: ScenePart[];
}
export interface SceneSelection {
  /**
   * How the selected part is shown.
   */
  type: "border" | "highlight";
}
export interface ScenePart {
  /**
   * "div_", the image id, "_" and the label.
   */
  id: string;
  label: string;
  type: "region";
  /**
   * The id of the image the part is placed on.
   */
  image: string;
  position: PartPosition;
  status: PartStatus;
  attributes: SceneAttribute[];
  "attribute-tables"?: AttributeTable[];
}
/**
 * The part's top-left corner on its image, in the image's pixels, and its stacking order.
 */
export interface PartPosition {
  x: Size;
  y: Size;
  z: Size;
}
export interface PartStatus {
  severity: "none" | "warning" | "error" | "critical";
  /**
   * Shown under the part's label; may be empty.
   */
  label: string;
}
export interface SceneAttribute {
  /**
   * What a post names the attribute by: a parameter's id text, the value node's own name, or the label.
   */
  name: string;
  label: string;
  /**
   * The kind of value.
   */
  type: "string" | "integer" | "boolean" | "url" | "action";
  /**
   * The value node's value: a text, a number, true or false (a parameter's boolean is the text "true" or "false"); null for a number that is not finite.
   */
  value: string | number | boolean | null;
  category: string;
  displayable: boolean;
  action?: SceneAction;
}
export interface TextAction {
  type: "text";
}
/**
 * A choice from a list; the option's value is posted.
 */
export interface EnumAction {
  type: "enum";
  options: EnumOption[];
}
export interface EnumOption {
  /**
   * An unsigned 32-bit number in decimal.
   */
  value: string;
  label: string;
}
/**
 * Options of which the one at the value's position is checked; that position is posted.
 */
export interface CheckAction {
  type: "check";
  options: CheckOption[];
}
export interface CheckOption {
  state: "checked" | "unchecked";
  /**
   * The option's label.
   */
  value: string;
}
export interface ButtonAction {
  type: "button";
  /**
   * The button's text; empty: the attribute's label.
   */
  label: string;
}
/**
 * Edits of the part's other attributes wait for this one.
 */
export interface ApplyAction {
  type: "apply";
}
/**
 * A range of raw integers from min to max, shown as (raw + shift) * nominator / denominator with precision decimals and the unit; the raw integer is posted.
 */
export interface SliderAction {
  type: "slider";
  min: number;
  max: number;
  unit: string;
  shift?: number;
  precision?: number;
  nominator?: number;
  denominator?: number;
}
/**
 * Attributes of one category shown as a table: a row per name, a column per key of the width object.
 */
export interface AttributeTable {
  category: string;
  layout: AttributeTableLayout;
}
export interface AttributeTableLayout {
  /**
   * The view draws "table" layouts.
   */
  type: string;
  columns: AttributeTableColumns;
  rows: AttributeTableRows;
}
export interface AttributeTableColumns {
  count: number;
  style: AttributeTableStyle;
}
export interface AttributeTableStyle {
  /**
   * Column key (name, value, or a member of the attribute) to its width, such as "60%".
   */
  width: {
    [k: string]: string;
  };
}
export interface AttributeTableRows {
  /**
   * Labels of the attributes shown, one row each.
   */
  names: string[];
}
