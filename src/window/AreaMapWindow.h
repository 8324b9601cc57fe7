#pragma once

#include "core/RescueMap.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;

namespace fr {

class AreaStrip;
struct ProgramContext;

// What a job could not read, shown when it ends with unreadable areas, or while it runs when
// the user asks: a summary, the file or medium as a strip with the areas marked, and a button
// that saves the map file for map viewers and rescue tools. It opens beside its owner without
// taking the focus, so the questions that follow a job are answered as before.
class AreaMapWindow : public QWidget {
    Q_OBJECT
public:
    // What the window shows: the map, the job's source as the user knows it, when it started.
    struct Job {
        RescueMap map;
        QString source;      // "A:\dir\file", "A:", ...
        QString description; // the job as a line: "copy A:\x to C:\y"
        QDateTime started;
        // The native paths of the job's own files (source, destination, image), which the
        // map is never saved over.
        QStringList files{};
    };

    // The owner's map window, made on first use, showing `job` beside the owner's window.
    static AreaMapWindow* show(QWidget& owner, const ProgramContext& context, const Job& job);

    AreaMapWindow(QWidget& owner, const ProgramContext& context);

    const Job& job() const { return job_; }
    // The job's map as it stands now: the strip and summary follow it, and a save writes it.
    // The window stays where it is and is not raised, so the user's work is not disturbed.
    void setMap(const RescueMap& map);

    QLabel* summaryLabel = nullptr;
    QLabel* legendLabel = nullptr;
    AreaStrip* strip = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* closeButton = nullptr;

    // Asks for a file name and writes the map there: never over a file of the job, of the
    // program folder or a device; an existing file that is no map only after a question. A
    // refusal or failure is reported, naming the file.
    void saveButtonClick();

private:
    void setJob(const Job& job);
    void showMap();

    const ProgramContext& context_;
    Job job_;
};

} // namespace fr
