#pragma once

#include "platform/FileDialogs.h"

#include <deque>
#include <vector>

namespace fr::test {

// File dialogs that a test answers in turn; an unscripted dialog is cancelled.
class ScriptedFileDialogs : public FileDialogs {
public:
    struct Shown {
        QString title, filter, presetName;
    };
    std::vector<Shown> shown;
    std::deque<QString> answers;
    int filterAnswer = 1;

    QString openFile(const QString& title, const QString& filter) override {
        shown.push_back({title, filter, {}});
        return next();
    }
    QString saveFile(const QString& title, const QString& filter, const QString& presetName,
                     int* selectedFilter) override {
        shown.push_back({title, filter, presetName});
        if (selectedFilter)
            *selectedFilter = filterAnswer;
        return next();
    }

private:
    QString next() {
        if (answers.empty())
            return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace fr::test
