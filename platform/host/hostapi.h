// Export marker of libZOR.so's C functions.
#pragma once

#define ZOR_API extern "C" __attribute__((visibility("default")))
