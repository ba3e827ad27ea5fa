// Answers the program's message boxes in place of a person and remembers each one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/message_box.h"

namespace tvx::test {

struct ShownBox {
    std::wstring text;
    UINT type;
};

class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = IDOK) {
        Boxes().clear();
        Answer() = answer;
        tvx::SetMessageBoxHook(&Record);
    }
    ~MessageBoxRecorder() { tvx::SetMessageBoxHook(nullptr); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<ShownBox>& boxes() const { return Boxes(); }
    void set_answer(int answer) { Answer() = answer; }

private:
    static std::vector<ShownBox>& Boxes() {
        static std::vector<ShownBox> boxes;
        return boxes;
    }
    static int& Answer() {
        static int answer = IDOK;
        return answer;
    }
    static int Record(const std::wstring& text, UINT type) {
        Boxes().push_back({text, type});
        return Answer();
    }
};

}  // namespace tvx::test
