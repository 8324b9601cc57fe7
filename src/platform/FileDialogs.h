#pragma once

#include <QString>

namespace fr {

// The open, save and folder dialogs of the pages. One seam, so tests can answer them.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    // Each returns the chosen native path, or an empty text when the user cancels.
    // filter is in the pages' form: "description|mask|description|mask ...".
    virtual QString openFile(const QString& title, const QString& filter) = 0;
    // selectedFilter gets the 1-based number of the filter entry the user chose.
    virtual QString saveFile(const QString& title, const QString& filter, const QString& presetName,
                             int* selectedFilter) = 0;
};

} // namespace fr
