#pragma once

#include "platform/FileDialogs.h"

namespace fr {

// Qt's own dialogs, owned by the active window.
class QtFileDialogs : public FileDialogs {
public:
    QString openFile(const QString& title, const QString& filter) override;
    QString saveFile(const QString& title, const QString& filter, const QString& presetName,
                     int* selectedFilter) override;
};

// "All files (*.*)|*.*|Text|*.txt" in Qt's form: "All files (*.*) (*);;Text (*.txt)".
QString qtFilterOf(const QString& filter);

} // namespace fr
