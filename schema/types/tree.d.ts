// The tree vocabulary as TypeScript types, generated from schema/tree.schema.json by
// schema/tools/generate-types.mjs (npm run types). Do not edit: change the schema.

/**
 * A tree node as JsonTree writes it, with its children to any depth.
 */
export interface TreeNode {
  /**
   * The text shown for the node.
   */
  label: string;
  /**
   * A short word the view picks an icon or style by; may be empty.
   */
  type: string;
  /**
   * The detail shown beside the label; may be empty.
   */
  value: string;
  /**
   * The child nodes, in the order added; empty for a leaf.
   */
  children: TreeNode[];
}
