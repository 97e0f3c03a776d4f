// The product's window on a real X display (Xvfb): it carries its icon in its three sizes, as a
// window manager reads it from the window's _NET_WM_ICON property.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "e2e/process.h"
#include "e2e/virtual_display.h"

namespace r462xe::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kWindowCaption = " Marelind R462xE Firmware Update Software (v3.07)";

// What xprop reports of the window's icon property, once the window has it (at most `timeout`).
std::string icon_property(const std::string& display, Seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string reported;
    while (std::chrono::steady_clock::now() < deadline) {
        Child xprop({system_program("xprop"), "-display", display, "-name", kWindowCaption,
                     "_NET_WM_ICON"});
        xprop.wait_for_exit(10s);
        reported = xprop.out() + xprop.err();
        if (reported.starts_with("_NET_WM_ICON(")) return reported;
        std::this_thread::sleep_for(100ms);
    }
    return reported;
}

TEST(ProductWindowIcon, WindowCarriesTheIconInItsThreeSizes) {
    ASSERT_NE(system_program("Xvfb"), "") << "Xvfb is missing: apt-get install xvfb";
    ASSERT_NE(system_program("xprop"), "") << "xprop is missing: apt-get install x11-utils";
    VirtualDisplay display;
    ASSERT_NE(display.name(), "") << display.log();

    // The product runs from a copy of its own. With no image beside it, the window shows and
    // then waits at the file error message: no serial port is touched.
    TempDir folder;
    TempDir runtime;
    std::filesystem::copy_file(bin("r462xe-fwupdate"), folder.file("r462xe-fwupdate"));
    Child product({folder.file("r462xe-fwupdate")},
                  {{"DISPLAY", display.name()}, {"XDG_RUNTIME_DIR", runtime.path()}},
                  {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});

    const std::string icon = icon_property(display.name(), 10s);
    EXPECT_TRUE(product.running()) << product.err();
    EXPECT_TRUE(icon.starts_with("_NET_WM_ICON(CARDINAL)")) << icon;
    for (const char* size : {"Icon (16 x 16):", "Icon (32 x 32):", "Icon (48 x 48):"})
        EXPECT_NE(icon.find(size), std::string::npos) << size << " missing in:\n" << icon;
}

}  // namespace
}  // namespace r462xe::e2e
