// The scene-post vocabulary as TypeScript types, generated from schema/scene-post.schema.json by
// schema/tools/generate-types.mjs (npm run types). Do not edit: change the schema.

/**
 * What a scene view posts back: name and value pairs, sent to the control server one set message each by the scene's request document.
 */
export interface ScenePost {
  attributes: ScenePostPair[];
}
export interface ScenePostPair {
  /**
   * The attribute's name, a parameter's id text: mid, param and four index words in hexadecimal, then the type letter. A pair with another name sends nothing.
   */
  name: string;
  /**
   * The new value as text: a whole number for i, the text for s, true or false for b. An empty value sends nothing.
   */
  value: string;
}
