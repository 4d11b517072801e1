// Terminal output of zorvan-cli: data on standard output, errors and progress on standard error,
// and the small text helpers the commands share (JSON strings, texts of the string table without
// their "\r\n" line ends).
//
// The writers take a lock so that lines from a worker (reports, progress) and from the main
// thread never interleave within a line. Any thread.
#pragma once

#include <cstdio>
#include <string>

constexpr const char* kProgramName = "zorvan-cli";

// Writes `text` and a line end to standard output and flushes it (so a pipe sees every line at
// once). False when the write failed (a closed pipe): the caller stops producing output.
bool PrintOut(const std::string& text);
// "zorvan-cli: " + text + line end on standard error.
void PrintError(const std::string& text);
// The text as it stands, on standard error (for progress bars and notes).
void PrintErr(const std::string& text);

// Whether the stream is a terminal (progress bars redraw in place there).
bool IsTerminal(FILE* stream);

// The text with every trailing "\r" and "\n" removed and inner "\r\n" made "\n".
std::string PlainText(const std::string& text);

// The text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

// A double as text in the "C" locale with `decimals` digits after the point.
std::string FixedText(double value, int decimals);
