// libZorDravionLyn.so is assembled from the static parts registered in driver/CMakeLists.txt.
