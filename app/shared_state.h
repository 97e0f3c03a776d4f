// The window's variables, shared by all its procedures. Each starts as false, 0, empty text or
// all-zero bytes until something sets it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/image_layout.h"
#include "serial/port_numbers.h"

namespace r462xe {

struct SharedState {
    bool upload_running = false;   // an upload runs; the window refuses to close meanwhile
    std::int32_t upload_step = 0;  // state of the upload state machine, 0 to 3
    std::int32_t block_index = 0;  // next block to send, 0 to 59; 60 once all are accepted
    std::int32_t nak_count = 0;    // rejected blocks counted by the upload state machine
    std::string comm_settings;     // line settings for probing and the normal link
    std::string upload_settings;   // line settings of the update mode during an upload
    std::int32_t poll_count = 0;   // timer ticks spent waiting for the current reply
    // The prepared firmware image, indexes 1 to 61,440 (index 0 unused).
    std::vector<std::uint8_t> fw_image = std::vector<std::uint8_t>(kImageBytes + 1);
    std::array<std::uint8_t, kBlockCount> block_check{};  // check byte of each block, masked
    double block_sum = 0;                   // running sum while a check byte is computed
    std::int16_t idn_attempts = 0;          // identification attempt counter
    std::string idn_maker;                  // maker field of the identification reply
    std::string idn_model;                  // model field
    std::string idn_serial;                 // serial-number field
    std::string idn_version;                // firmware-version field; empty: no meter identified
    std::string tx_bytes;                   // bytes of the command or query being sent
    std::string rx_bytes;                   // bytes taken from the port by one read
    std::string rx_block_bytes;             // bytes of one read while a block reply is awaited
    std::string rx_text;                    // reply text accumulated from received bytes
    std::array<std::uint8_t, 1> tx_byte{};  // one-byte send buffer
    std::array<std::uint8_t, kBlockBytes> tx_block{};  // send buffer for one block's image bytes
    std::int16_t found_port = 0;  // port (1 to 16) where the search found a meter; 0: none
    std::int16_t port_no = 0;     // port being probed or identified
    // Per port 1 to 16 (index 0 unused): the probe could open it.
    std::array<bool, kLastPortNumber + 1> port_present{};
    bool searching = false;  // the port list is being rebuilt; its clicks are ignored
    bool port_ok = false;    // the last check of the listed port found it open
    // Per port 1 to 16 (index 0 unused): the serial number of a meter found there, or "Updating".
    std::array<std::string, kLastPortNumber + 1> port_serial;
    std::filesystem::path fw_path;  // full path of the firmware image file
    // Every place start-up looked for the image, in order; fw_path is the first that holds a file.
    std::vector<std::filesystem::path> image_places;
    bool update_mode = false;       // the meter said it is in its firmware-update mode
    bool comm_events_held = false;  // the port event handler must do nothing meanwhile
};

}  // namespace r462xe
