// The texts of the port list and the port number read back from them.
#include <gtest/gtest.h>

#include "ports/port_list_text.h"
#include "text/c_quote.h"

namespace r462xe {
namespace {

TEST(PortList, EntryNamesThePortAndWhatTheSearchFoundThere) {
    EXPECT_EQ(port_list_entry(3, ""), "COM3");
    EXPECT_EQ(port_list_entry(12, ""), "COM12");
    EXPECT_EQ(port_list_entry(3, "SN55250001"), "COM3  :SN55250001");
    EXPECT_EQ(port_list_entry(16, "SN1"), "COM16  :SN1");
    EXPECT_EQ(port_list_entry(4, "Updating"), "COM4  :Updating");
}

TEST(PortList, PortNumberIsTheLeadingNumberAfterThreeCharacters) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"COM3", 3},
        {"COM12", 12},
        {"COM16", 16},
        {"COM12  :SN55250001", 12},
        {"COM5  :Updating", 5},
        // The serial number's digits after the colon never join the port number.
        {"COM1  :55250001", 1},
        {"COM 7", 7},
        {"COM1 6", 16},
        {"COM2.6", 3},
        {"COMX", 0},
        {"COM", 0},
        {"CO", 0},
        {"", 0},
    };
    for (const auto& [text, port] : cases) {
        SCOPED_TRACE(c_quote(text));
        EXPECT_EQ(port_number_from_list_text(text), port);
    }
}

TEST(PortList, EntriesReadBackToTheirPort) {
    for (int port = 1; port <= 16; ++port) {
        for (const std::string serial : {"", "SN55250001", "Updating", "12345"}) {
            EXPECT_EQ(port_number_from_list_text(port_list_entry(port, serial)), port);
        }
    }
}

}  // namespace
}  // namespace r462xe
