// The GenICam runtime subset the driver uses.
