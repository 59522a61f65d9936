// Answers the message boxes of a process from another thread, as a person would, and keeps what
// each box said.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct SeenBox {
    std::string title;
    std::string text;
};

class MessageBoxAnswerer {
public:
    // Answers the next boxes of the process with the given button ids, one each, in order.
    MessageBoxAnswerer(DWORD processId, std::vector<int> answers);
    // Stops watching; boxes still unanswered stay open.
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // Stops watching and answers what the boxes answered so far said.
    std::vector<SeenBox> Finish();

private:
    void Watch();

    DWORD processId_;
    std::vector<int> answers_;
    std::vector<SeenBox> seen_;
    std::atomic<bool> stop_;
    std::thread thread_;
};
