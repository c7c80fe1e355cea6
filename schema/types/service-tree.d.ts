// The service-tree vocabulary as TypeScript types, generated from schema/service-tree.schema.json by
// schema/tools/generate-types.mjs (npm run types). Do not edit: change the schema.

/**
 * A detail of a service; details may hold further details.
 */
export type ServiceDetailNode =
  | ProviderNode
  | PmtPidNode
  | PcrPidNode
  | VideoPidNode
  | AudioPidNode
  | PrivatePidNode
  | ConditionalAccessNode;
export type Details = ServiceDetailNode[];
/**
 * A PID in decimal.
 */
export type Pid = string;

/**
 * A transport stream's services as JsonTSServiceTree writes them: the transport, its services, and each service's provider, PIDs and conditional-access state. Every node is a tree node.
 */
export interface ServiceTreeDocument {
  /**
   * The transport's name.
   */
  label: string;
  type: "transport";
  value: "";
  children: ServiceNode[];
}
export interface ServiceNode {
  /**
   * The service's name; "Unknown Service" for one without.
   */
  label: string;
  type: "service";
  /**
   * "#" and the service number.
   */
  value: string;
  children: ServiceDetailNode[];
}
export interface ProviderNode {
  label: "Service Provider";
  type: "";
  /**
   * The provider's name.
   */
  value: string;
  children: Details;
}
export interface PmtPidNode {
  label: "PMT PID";
  type: "pmt";
  value: Pid;
  children: Details;
}
export interface PcrPidNode {
  label: "PCR PID";
  type: "pcr";
  value: Pid;
  children: Details;
}
export interface VideoPidNode {
  label: "Video PID";
  type: "video";
  value: Pid;
  children: Details;
}
export interface AudioPidNode {
  label: "Audio PID";
  type: "audio";
  value: Pid;
  children: Details;
}
export interface PrivatePidNode {
  label: "Private PID";
  type: "point";
  value: Pid;
  children: Details;
}
export interface ConditionalAccessNode {
  label: "CA Encryption";
  type: "";
  /**
   * "Free", or the CA system identifier in lower-case hexadecimal.
   */
  value: string;
  children: Details;
}
