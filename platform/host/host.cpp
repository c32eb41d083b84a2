// The host library: application calls as command records, and the Host services.
