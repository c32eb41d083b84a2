#include "tests/torture/roads.h"

namespace torture {

// Weights: the calls that hold locks longest (processing, grabs, features) come most often.
const std::vector<Road>& SharedRoads() {
  static const std::vector<Road> roads = {
      {"inquire digitizer", 8, &InquireDigitizer},
      {"control digitizer", 6, &ControlDigitizer},
      {"grab", 5, &Grab},
      {"grab continuously", 5, &GrabContinuously},
      {"process", 8, &Process},
      {"hook", 4, &Hook},
      {"read feature", 10, &ReadFeature},
      {"write feature", 8, &WriteFeature},
      {"execute command", 4, &ExecuteCommand},
      {"inquire system", 4, &InquireSystem},
      {"use buffers", 2, &UseBuffers},
      {"grab into own buffer", 2, &GrabIntoOwnBuffer},
      {"poll for browser", 3, &PollForBrowser},
  };
  return roads;
}

const Road& BrowserRoad() {
  static const Road road{"browse", 0, &Browse};
  return road;
}

const Road& OwnDigitizerRoad() {
  static const Road road{"own digitizer", 0, &UseOwnDigitizer};
  return road;
}

}  // namespace torture
