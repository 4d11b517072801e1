// A pseudo-terminal pair for serial tests: the test drives the master side, the code under test
// opens the slave side by its path as it would open a serial port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
public:
    // Opens a master and names its slave; Valid() tells whether that worked.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Valid() const { return m_master >= 0 && !m_slavePath.empty(); }
    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

    // Writes every byte to the master (what the far end sends); false on failure.
    bool Send(const void* data, size_t length);
    bool Send(const std::string& text) { return Send(text.data(), text.size()); }
    // Reads from the master until `length` bytes came or `timeoutMs` passed (what the code under
    // test sent).
    std::vector<uint8_t> Receive(size_t length, int timeoutMs);
    // Closes the master: the slave side sees its device vanish.
    void CloseMaster();

private:
    int m_master = -1;
    std::string m_slavePath;
};
