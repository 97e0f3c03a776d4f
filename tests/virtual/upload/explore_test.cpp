#include <gtest/gtest.h>
#include <cstdio>
#include "rig/window_rig.h"

namespace r462xe {
namespace {
TEST(Explore, Clean) {
    testing::WindowRig rig;
    rig.world.add_meter(3);
    rig.load();
    rig.world.line(3).clear_wire();
    std::size_t c0 = rig.changes.size();
    double t0 = rig.world.now();
    std::printf("click at %.6f ticks %d\n", t0, rig.world.timer.ticks());
    rig.handle([&] { rig.form.Command2_Click(); });
    rig.run_for(100);
    int n = 0;
    for (auto& w : rig.world.line(3).wire()) {
        if (n++ < 12 || w.bytes.size() != 1024)
            std::printf("%.6f %s %zu %d %02x\n", w.time, w.from_host ? "H" : "M", w.bytes.size(), w.baud, (unsigned char)w.bytes[0]);
    }
    for (std::size_t i = c0; i < rig.changes.size(); ++i) if (rig.changes[i].line.rfind("ProgressBar1.value",0)!=0 || i%20==0) std::printf("%.6f %s\n", rig.changes[i].time, rig.changes[i].line.c_str());
    for (auto& m : rig.world.messages.shown) std::printf("msg %.6f %s\n", m.time, m.title.c_str());
    std::printf("ticks %d\n", rig.world.timer.ticks());
}
}
}
