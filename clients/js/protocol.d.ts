// The structured protocol's methods, params and results. Kept apart from the client's own
// declarations (index.d.ts) so that a file generated from the engine's protocol description
// can take its place.

/** A method name, e.g. 'sequence.get', 'clip.size', 'markers.list'. */
export type ZylMethod = string;

/** A JSON value as the client reads it: integers beyond 2^53-1 arrive as bigint. */
export type ZylJson = null | boolean | number | bigint | string | ZylJson[] | { [member: string]: ZylJson };

/** A request's named params; ticks may be given as number or bigint. */
export type ZylParams = { [param: string]: ZylJson };

/** A method's result. */
export type ZylResult = { [member: string]: ZylJson };

/** An event's data, by topic. */
export type ZylTopic = 'transport' | 'marker' | 'vitals';
export type ZylEventData = { [member: string]: ZylJson };
