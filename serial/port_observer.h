// Told of everything a serial port does, as it happens: a recording of the session listens here.
#pragma once

#include <string>

namespace r462xe {

class PortObserver {
  public:
    virtual ~PortObserver() = default;
    // `now`: the port's clock, in seconds.
    virtual void opened(double now, int baud, const std::string& device) = 0;
    virtual void closed(double now) = 0;
    virtual void speed(double now, int baud) = 0;
    virtual void host_wrote(double now, int baud, const std::string& bytes) = 0;
    virtual void host_received(double now, int baud, const std::string& bytes) = 0;
};

}  // namespace r462xe
