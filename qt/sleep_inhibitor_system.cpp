#include "qt/sleep_inhibitor.h"

#include "qt/text.h"
#include "system/keep_awake.h"

namespace r462xe {

namespace {

class SystemSleepInhibitor : public SleepInhibitor {
  public:
    void hold(const std::string& why) override {
        const std::string refusal = keep_awake_.hold(why);
        if (!refusal.empty()) report_.say(from_bytes(refusal));
    }
    void release() override { keep_awake_.release(); }

  private:
    KeepAwake keep_awake_;
    SleepUnavailableReport report_;
};

}  // namespace

std::unique_ptr<SleepInhibitor> make_sleep_inhibitor() {
    return std::make_unique<SystemSleepInhibitor>();
}

}  // namespace r462xe
