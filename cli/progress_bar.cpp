#include "progress_bar.h"

#include <algorithm>

#include "cli_output.h"

ProgressBar::ProgressBar(bool terminal) : m_terminal(terminal) {}

ProgressBar::~ProgressBar() {
    Finish();
}

std::string ProgressBar::Bar(double percent) {
    const double clamped = std::clamp(percent, 0.0, 100.0);
    const int filled = static_cast<int>(clamped * kBarWidth / 100.0);
    return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "]";
}

void ProgressBar::Show(double percent, const std::string& caption) {
    const double clamped = std::clamp(percent, 0.0, 100.0);
    if (m_terminal) {
        // "\x1b[K" clears what a longer caption left on the line.
        PrintErr("\r" + Bar(clamped) + " " + caption + "\x1b[K");
        m_drawn = true;
        return;
    }
    const int whole = static_cast<int>(clamped);
    if (whole == m_lastWhole) return;
    m_lastWhole = whole;
    PrintErr(Bar(clamped) + " " + caption + "\n");
}

void ProgressBar::Finish() {
    if (m_drawn) PrintErr("\n");
    m_drawn = false;
    m_lastWhole = -1;
}
