// zordemo: loads the host library, which loads the Dravion Lyn driver.
#include <dlfcn.h>

#include <cstdio>

int main() {
  void* driver = dlopen("libZorDravionLyn.so", RTLD_NOW | RTLD_LOCAL);
  if (driver == nullptr) {
    std::fprintf(stderr, "zordemo: cannot load the driver: %s\n", dlerror());
    return 1;
  }
  std::printf("zordemo: Dravion Lyn driver loaded\n");
  dlclose(driver);
  return 0;
}
