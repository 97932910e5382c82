/* The link probes' own object: nothing, the layer under test brings the rest. */
typedef int impapi_probe_empty;
