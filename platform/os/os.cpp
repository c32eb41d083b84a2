// The Windows services the driver relies on, on POSIX.
