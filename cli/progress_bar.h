// A progress bar on standard error. On a terminal one line is redrawn in place; elsewhere (a
// pipe, a log file) a line is written whenever the whole percentage changes, so that a log keeps
// a readable trace. Used by one thread at a time (the worker that reports the progress).
#pragma once

#include <string>

class ProgressBar {
public:
    static constexpr int kBarWidth = 30;

    explicit ProgressBar(bool terminal);
    // Ends a drawn line.
    ~ProgressBar();

    // Shows `percent` (clamped to 0..100) with its caption, for example "Generate progress: 40%".
    void Show(double percent, const std::string& caption);
    // Ends the bar's line on a terminal; nothing elsewhere. Show may start a new bar afterwards.
    void Finish();

    // The bar's text for a percentage: "[#####.....]" kBarWidth characters wide inside brackets.
    static std::string Bar(double percent);

private:
    bool m_terminal;
    bool m_drawn = false;
    int m_lastWhole = -1;
};
