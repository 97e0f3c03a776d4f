#include "app/form1.h"

namespace r462xe {

Form1::Form1(const Platform& platform)
    : events(platform.events),
      MSComm1(platform.port),
      Timer1(platform.timer),
      messages(platform.messages),
      window(platform.window) {
    COM1.set_on_click([this] { COM1_Click(); });
    MSComm1.set_OnComm([this] { MSComm1_OnComm(); });
}

}  // namespace r462xe
