#include "cli_output.h"

#include <unistd.h>

#include <mutex>

#include "core/text_format.h"

namespace {

std::mutex& OutputLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

bool PrintOut(const std::string& text) {
    std::lock_guard<std::mutex> guard(OutputLock());
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                         std::fputc('\n', stdout) != EOF;
    return std::fflush(stdout) == 0 && written;
}

void PrintError(const std::string& text) {
    PrintErr(std::string(kProgramName) + ": " + text + "\n");
}

void PrintErr(const std::string& text) {
    std::lock_guard<std::mutex> guard(OutputLock());
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

bool IsTerminal(FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

std::string PlainText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20) {
                    std::string escaped;
                    FormatText(escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;  // UTF-8 passes through unchanged
                }
        }
    }
    out += '"';
    return out;
}

std::string FixedText(double value, int decimals) {
    std::string out;
    FormatText(out, "%.*f", decimals, value);
    return out;
}
