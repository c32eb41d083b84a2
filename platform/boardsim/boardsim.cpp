// The Dravion Lyn board and its kernel driver, simulated in process.
