#include "recording/recording.h"

#include <cstdio>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

namespace r462xe {

namespace {

struct KindWord {
    RecordedChunk::Kind kind;
    const char* word;
};

constexpr KindWord kKindWords[] = {
    {RecordedChunk::Kind::open, "open"},   {RecordedChunk::Kind::close, "close"},
    {RecordedChunk::Kind::speed, "speed"}, {RecordedChunk::Kind::host, "host"},
    {RecordedChunk::Kind::meter, "meter"},
};

const char* word_of(RecordedChunk::Kind kind) {
    for (const auto& entry : kKindWords) {
        if (entry.kind == kind) return entry.word;
    }
    return "?";
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string from_hex(const std::string& text, int line) {
    if (text.size() % 2 != 0) throw RecordingError(line, "odd number of hexadecimal digits");
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hex_value(text[i]);
        const int low = hex_value(text[i + 1]);
        if (high < 0 || low < 0)
            throw RecordingError(line, "not hexadecimal: " + text.substr(i, 2));
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

std::string to_hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

int read_baud(std::istringstream& fields, int line) {
    int baud = 0;
    if (!(fields >> baud) || baud <= 0) throw RecordingError(line, "a line speed is missing");
    return baud;
}

RecordedChunk read_chunk(const std::string& text, int line) {
    std::istringstream fields(text);
    RecordedChunk chunk;
    chunk.line = line;
    std::string word;
    if (!(fields >> chunk.time) || chunk.time < 0) throw RecordingError(line, "no time");
    if (!(fields >> word)) throw RecordingError(line, "no kind of chunk");
    bool known = false;
    for (const auto& entry : kKindWords) {
        if (word == entry.word) {
            chunk.kind = entry.kind;
            known = true;
        }
    }
    if (!known) throw RecordingError(line, "unknown kind of chunk: " + word);
    switch (chunk.kind) {
        case RecordedChunk::Kind::open:
            chunk.baud = read_baud(fields, line);
            std::getline(fields >> std::ws, chunk.device);
            break;
        case RecordedChunk::Kind::close:
            break;
        case RecordedChunk::Kind::speed:
            chunk.baud = read_baud(fields, line);
            break;
        case RecordedChunk::Kind::host:
        case RecordedChunk::Kind::meter: {
            chunk.baud = read_baud(fields, line);
            std::string hex;
            if (!(fields >> hex)) throw RecordingError(line, "no bytes");
            chunk.bytes = from_hex(hex, line);
            break;
        }
    }
    return chunk;
}

}  // namespace

RecordingError::RecordingError(int line, const std::string& what)
    : std::runtime_error("recording line " + std::to_string(line) + ": " + what), line_(line) {}

Recording read_recording(std::istream& in) {
    Recording recording;
    std::string text;
    int line = 0;
    double last_time = 0;
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty()) continue;
        if (text.front() == '#') {
            const auto start = text.find_first_not_of("# ");
            recording.notes.push_back(start == std::string::npos ? "" : text.substr(start));
            continue;
        }
        RecordedChunk chunk = read_chunk(text, line);
        if (chunk.time < last_time) throw RecordingError(line, "time goes back");
        last_time = chunk.time;
        recording.chunks.push_back(std::move(chunk));
    }
    if (recording.notes.empty() || recording.notes.front() != kRecordingFirstNote) {
        throw RecordingError(1, std::string("not a recording: the first line must be \"# ") +
                                    kRecordingFirstNote + "\"");
    }
    return recording;
}

Recording read_recording_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw RecordingError(0, "cannot open " + path);
    return read_recording(in);
}

std::string chunk_line(const RecordedChunk& chunk) {
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", chunk.time);
    std::string text = std::string(time) + " " + word_of(chunk.kind);
    switch (chunk.kind) {
        case RecordedChunk::Kind::open:
            text += " " + std::to_string(chunk.baud);
            if (!chunk.device.empty()) text += " " + chunk.device;
            break;
        case RecordedChunk::Kind::close:
            break;
        case RecordedChunk::Kind::speed:
            text += " " + std::to_string(chunk.baud);
            break;
        case RecordedChunk::Kind::host:
        case RecordedChunk::Kind::meter:
            text += " " + std::to_string(chunk.baud) + " " + to_hex(chunk.bytes);
            break;
    }
    return text;
}

RecordingWriter::RecordingWriter(std::ostream& out) : out_(out) {
    note(kRecordingFirstNote);
}

void RecordingWriter::note(const std::string& text) {
    out_ << "# " << text << '\n' << std::flush;
}

void RecordingWriter::write(const RecordedChunk& chunk) {
    out_ << chunk_line(chunk) << '\n' << std::flush;
}

}  // namespace r462xe
