#pragma once
// An Operator for tests: records every message box, status line, progress
// and pointer change in order, and answers questions and file dialogs from
// queues (an empty queue answers with the box's default, or Cancel for a
// file dialog). A standing answer for a message identity takes precedence
// over the queue and leaves it as it is.
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Operator.h"

namespace wm::test {

class ScriptedOperator final : public Operator {
public:
    struct Dialog {
        FileDialog kind;
        std::string title, filter;
        std::filesystem::path folder;
        std::string name;
    };

    Answer Ask(const MessageBox& box) override {
        boxes.push_back(box);
        events.push_back("box:" + box.text);
        if (const auto standing = answerFor.find(box.id); standing != answerFor.end()) return standing->second;
        if (answers.empty()) return box.defaultAnswer;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void SetStatus(const std::string& caption, Rgb background) override {
        status = caption;
        statusColour = background;
        statusVisible = true;
        captions.push_back(caption);
        events.push_back("status:" + caption);
    }
    void HideStatus() override {
        statusVisible = false;
        events.push_back("hide-status");
    }
    void SetProgress(int value) override {
        progress.push_back(value);
        events.push_back("progress:" + std::to_string(value));
    }
    void SetProgressVisible(bool visible) override {
        progressVisible = visible;
        events.push_back(visible ? "progress-shown" : "progress-hidden");
    }
    void SetBusy(bool hourglass) override {
        busy = hourglass;
        events.push_back(hourglass ? "busy" : "not-busy");
    }
    void Beep() override {
        ++beeps;
        events.push_back("beep");
    }
    std::optional<std::string> ChooseFile(FileDialog kind, const std::string& title, const std::string& filter,
                                          const std::filesystem::path& folder, const std::string& name) override {
        dialogs.push_back({kind, title, filter, folder, name});
        if (files.empty()) return std::nullopt;
        auto f = files.front();
        files.pop_front();
        return f;
    }
    void EndProgram() override {
        ++endRequests;
        events.push_back("end");
    }
    Answer ReviewPut(PutPreview& preview) override {
        previews.push_back(preview);
        events.push_back("preview");
        return review ? review(preview) : Answer::Ok;
    }

    // Scripted answers.
    std::deque<Answer> answers;
    std::map<MessageId, Answer> answerFor;
    std::deque<std::optional<std::string>> files;
    // Answers the Put preview (unset: Put), and may change its check box.
    std::function<Answer(PutPreview&)> review;

    // What the program did.
    std::vector<MessageBox> boxes;
    std::vector<std::string> captions;
    std::vector<int> progress;
    std::vector<Dialog> dialogs;
    std::vector<PutPreview> previews; // as shown, before any answer
    std::vector<std::string> events;
    std::string status;
    Rgb statusColour;
    bool statusVisible = false;
    bool progressVisible = false;
    bool busy = false;
    int beeps = 0;
    int endRequests = 0;

    // The identities of the boxes shown, in order.
    [[nodiscard]] std::vector<MessageId> Ids() const {
        std::vector<MessageId> ids;
        for (const MessageBox& b : boxes) ids.push_back(b.id);
        return ids;
    }
};

} // namespace wm::test
