#include "recording/recording.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include "text/c_quote.h"

namespace r462xe {

namespace {

// An error message shows at most this much of a word.
constexpr std::size_t kShownWordBytes = 40;
// The fastest line a serial port offers has 7 digits (e.g. 3000000).
constexpr std::size_t kMaxBaudDigits = 7;
// The longest line the writer writes: a chunk of the most bytes, in hexadecimal, after its time,
// kind and speed; a device name is far shorter.
constexpr std::size_t kMaxLineBytes = 2 * kMaxChunkBytes + 64;

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

// A word of the line as an error message shows it: quoted, so that junk bytes stay readable.
std::string shown(const std::string& word) {
    return c_quote(word.size() <= kShownWordBytes ? word : word.substr(0, kShownWordBytes) + "...");
}

std::string from_hex(const std::string& text, int line) {
    if (text.size() % 2 != 0) throw RecordingError(line, "odd number of hexadecimal digits");
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hex_value(text[i]);
        const int low = hex_value(text[i + 1]);
        if (high < 0 || low < 0)
            throw RecordingError(line, "not hexadecimal: " + shown(text.substr(i, 2)));
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

// Times as the writer writes them: digits, a point and digits; nothing else (no sign, no
// exponent, no hexadecimal).
bool is_time(const std::string& word) {
    const auto point = word.find('.');
    const auto digits = [&word](std::size_t from, std::size_t to) {
        if (from >= to) return false;
        for (std::size_t i = from; i < to; ++i)
            if (word[i] < '0' || word[i] > '9') return false;
        return true;
    };
    if (point == std::string::npos) return digits(0, word.size());
    return digits(0, point) && digits(point + 1, word.size());
}

double read_time(std::istringstream& fields, int line) {
    std::string word;
    if (!(fields >> word)) throw RecordingError(line, "no time");
    if (!is_time(word)) throw RecordingError(line, "not a time: " + shown(word));
    return std::stod(word);
}

int read_baud(std::istringstream& fields, int line) {
    std::string word;
    if (!(fields >> word)) throw RecordingError(line, "a line speed is missing");
    const bool digits = !word.empty() && word.size() <= kMaxBaudDigits &&
                        word.find_first_not_of("0123456789") == std::string::npos &&
                        word.front() != '0';
    if (!digits) throw RecordingError(line, "not a line speed: " + shown(word));
    return std::stoi(word);
}

void expect_end(std::istringstream& fields, int line, const char* after) {
    std::string rest;
    if (fields >> rest)
        throw RecordingError(
            line, std::string("unexpected text after the ") + after + ": " + shown(rest));
}

RecordedChunk read_chunk(const std::string& text, int line) {
    std::istringstream fields(text);
    RecordedChunk chunk;
    chunk.line = line;
    chunk.time = read_time(fields, line);
    std::string word;
    if (!(fields >> word)) throw RecordingError(line, "no kind of chunk");
    bool known = false;
    for (const auto& entry : kKindWords) {
        if (word == entry.word) {
            chunk.kind = entry.kind;
            known = true;
        }
    }
    if (!known) throw RecordingError(line, "unknown kind of chunk: " + shown(word));
    switch (chunk.kind) {
        case RecordedChunk::Kind::open:
            chunk.baud = read_baud(fields, line);
            std::getline(fields >> std::ws, chunk.device);
            break;
        case RecordedChunk::Kind::close:
            expect_end(fields, line, "kind");
            break;
        case RecordedChunk::Kind::speed:
            chunk.baud = read_baud(fields, line);
            expect_end(fields, line, "line speed");
            break;
        case RecordedChunk::Kind::host:
        case RecordedChunk::Kind::meter: {
            chunk.baud = read_baud(fields, line);
            std::string hex;
            if (!(fields >> hex)) throw RecordingError(line, "no bytes");
            chunk.bytes = from_hex(hex, line);
            if (chunk.bytes.size() > kMaxChunkBytes)
                throw RecordingError(
                    line, "more than " + std::to_string(kMaxChunkBytes) + " bytes in one chunk");
            expect_end(fields, line, "bytes");
            break;
        }
    }
    return chunk;
}

// One line of the text, at most kMaxLineBytes long; false at the end of the text.
bool next_line(std::istream& in, std::string& text, int line) {
    text.clear();
    for (int c; (c = in.get()) != std::char_traits<char>::eof();) {
        if (c == '\n') return true;
        if (text.size() >= kMaxLineBytes)
            throw RecordingError(line, "longer than " + std::to_string(kMaxLineBytes) +
                                           " characters, which no recording line is");
        text.push_back(static_cast<char>(c));
    }
    return !text.empty();
}

}  // namespace

RecordingError::RecordingError(int line, const std::string& what)
    : std::runtime_error("recording line " + std::to_string(line) + ": " + what), line_(line) {}

Recording read_recording(std::istream& in) {
    Recording recording;
    std::string text;
    int line = 0;
    double last_time = 0;
    while (next_line(in, text, line + 1)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        // The header first, so that any other text is told at once for what it is.
        if (line == 1 && text != std::string("# ") + kRecordingFirstNote) {
            throw RecordingError(1, std::string("not a recording: the first line must be \"# ") +
                                        kRecordingFirstNote + "\"");
        }
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
    if (line == 0) {
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
    put("# " + text);
}

void RecordingWriter::write(const RecordedChunk& chunk) {
    put(chunk_line(chunk));
}

void RecordingWriter::put(const std::string& line) {
    if (!intact()) return;
    errno = 0;
    out_ << line << '\n' << std::flush;
    if (out_) return;
    loss_ = errno != 0 ? std::strerror(errno) : "the file took no more";
    if (on_loss_) on_loss_(loss_);
}

}  // namespace r462xe
