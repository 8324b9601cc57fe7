#include "window/JournalPage.h"

#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "core/RecordText.h"
#include "platform/DriveMap.h"
#include "platform/FileIdentity.h"
#include "platform/Prompts.h"
#include "rescue/JournalEntry.h"
#include "rescue/RecordFile.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "widgets/LabeledEdit.h"
#include "window/CopyFilesPage.h"
#include "window/TForm1.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>

namespace fr {

JournalPage::JournalPage(TForm1& form, ProgramContext& context, CopyFilesPage& copyFiles)
    : Page(form, form.SpeedButton4), form_(form), context_(context), copyFiles_(copyFiles) {
    form_.setHandler(PageAction::JournalSelect, [this] { CheckListBox1Click(); });
    form_.setHandler(PageAction::Resume, [this] { SpeedButton20Click(); });
    // The resume button the user sees; the damaged-media page's test button also carries the
    // resume action until a page attaches its own.
    connect(form_.SpeedButton20, &FlatButton::clicked, this, &JournalPage::SpeedButton20Click);
    connect(form_.SpeedButton21, &FlatButton::clicked, this, &JournalPage::SpeedButton21Click);
    connect(form_.SpeedButton22, &FlatButton::clicked, this, &JournalPage::SpeedButton22Click);
}

QString JournalPage::journalPath() const {
    return context_.file(QStringLiteral("databaza.fgv"));
}

int JournalPage::selectedRow() const {
    return form_.CheckListBox1->currentRow();
}

void JournalPage::showPage() {
    const RecordFile::Contents journal = RecordFile(journalPath(), CopyJob::kRecordBytes).readAll();
    if (!journal.error.isEmpty())
        context_.prompts.error(journal.error);
    form_.CheckListBox1->clear();
    for (const QByteArray& record : journal.records) {
        CopyJob entry;
        entry.fromRecord(record);
        form_.CheckListBox1->addItem(JournalEntry::listLine(entry, context_));
    }
    const bool empty = journal.records.empty();
    for (FlatButton* action : {form_.SpeedButton20, form_.SpeedButton21, form_.SpeedButton22})
        action->setEnabled(!empty);
    if (empty) {
        form_.Label2->setText(context_.text(67));
        form_.Label3->setText(context_.text(68));
        return;
    }
    form_.CheckListBox1->setCurrentRow(0);
    CheckListBox1Click();
}

void JournalPage::CheckListBox1Click() {
    const int row = selectedRow();
    const RecordFile::Contents journal = RecordFile(journalPath(), CopyJob::kRecordBytes).readAll();
    if (row < 0 || row >= static_cast<int>(journal.records.size()))
        return;
    CopyJob& job = context_.copyJob;
    job.fromRecord(journal.records[static_cast<size_t>(row)]);
    if (JournalEntry::kindOf(job) == JournalEntry::Kind::FileCopy) {
        form_.Label2->setText(context_.text(67) + JournalEntry::megabytes(job.totalSize) +
                              QStringLiteral(" Mb / ") + JournalEntry::megabytes(job.position) +
                              QStringLiteral(" Mb"));
        QString status = JournalEntry::status(job, context_);
        if (status.isEmpty())
            status = context_.text(69);
        form_.Label3->setText(context_.text(68) + status);
    } else {
        form_.Label2->setText(context_.text(141) + QString::number(job.totalSize) +
                              QStringLiteral(" / ") + QString::number(job.position.load()));
        if (JournalEntry::isDamaged(job))
            form_.Label3->setText(context_.text(68) + context_.text(263));
        else
            form_.Label3->clear();
    }
    form_.LabeledEdit1->setText(JournalEntry::sourceField(job, context_));
    form_.LabeledEdit2->setText(JournalEntry::destinationField(job, context_));
}

void JournalPage::SpeedButton20Click() {
    const CopyJob& job = context_.copyJob;
    const DriveMap drives = DriveMap::build(context_.programDir);
    const auto missing = [&drives](const QString& name) {
        const QString native = drives.toNative(name);
        return native.isEmpty() || !fileExists(native);
    };
    // The state read back from the status line, after its 7-character heading.
    const QString state = form_.Label3->text().mid(7);
    // A record that cannot be true would pass for a finished job at once (and, with the
    // delete-source box ticked, cost the source): it is reported and stays as it is.
    if (JournalEntry::isDamaged(job)) {
        context_.prompts.error(context_.text(263));
        return;
    }

    if (JournalEntry::isFilePath(job.sourceName) && missing(job.sourceName)) {
        if (context_.prompts.confirm(context_.text(186)))
            removeSelected(true);
        return;
    }
    if (JournalEntry::isFilePath(job.destinationName) && missing(job.destinationName)) {
        if (context_.prompts.confirm(context_.text(185)))
            removeSelected(true);
        return;
    }
    if (JournalEntry::isFilePath(job.sourceName) && state == context_.text(72)) {
        const qint64 sourceSize = fileSize(drives.toNative(job.sourceName));
        if (std::uint64_t(sourceSize) < job.position.load()) {
            if (context_.prompts.confirm(context_.text(189)))
                removeSelected(true);
            return;
        }
        if (!context_.prompts.confirm(context_.text(187)))
            return;
    }
    if (JournalEntry::isFilePath(job.destinationName) && state == context_.text(73) &&
        !context_.prompts.confirm(context_.text(188)))
        return;

    // A medium journalled under its device is resumed through the drive that stands for it now.
    const bool toMedium = JournalEntry::kindOf(job) == JournalEntry::Kind::ImageToMedium;
    const QChar mediumDrive =
        JournalEntry::driveOfMedium(toMedium ? job.destinationName : job.sourceName, drives);
    if (JournalEntry::kindOf(job) != JournalEntry::Kind::FileCopy && mediumDrive.isNull()) {
        context_.prompts.error(context_.text(176));
        return;
    }

    const int row = selectedRow();
    bool started = false;
    switch (JournalEntry::kindOf(job)) {
    case JournalEntry::Kind::FileCopy:
        form_.SpeedButton9Click(form_.SpeedButton1);
        started = copyFiles_.SpeedButton13Click(true);
        break;
    case JournalEntry::Kind::MediumToImage:
        if (imageResume_)
            started = imageResume_(ImageDirection::MediumToImage, mediumDrive, job.destinationName);
        break;
    case JournalEntry::Kind::ImageToMedium:
        if (imageResume_)
            started = imageResume_(ImageDirection::ImageToMedium, mediumDrive, job.sourceName);
        break;
    }
    // A later stop journals the job afresh.
    if (started) {
        RecordFile journal(journalPath(), CopyJob::kRecordBytes);
        std::vector<QByteArray> records = journal.readAll().records;
        if (row >= 0 && row < static_cast<int>(records.size())) {
            records.erase(records.begin() + row);
            if (const QString error = journal.replaceAll(records); !error.isEmpty())
                context_.prompts.error(error);
        }
    }
}

void JournalPage::SpeedButton21Click() {
    const int row = selectedRow();
    if (row < 0)
        return;
    // A cut path would name another file when the copy is resumed.
    if (!RecordText::fits(form_.LabeledEdit1->text()) ||
        !RecordText::fits(form_.LabeledEdit2->text())) {
        context_.prompts.error(context_.text(230));
        return;
    }
    CopyJob& job = context_.copyJob;
    // The map of the entry's earlier runs goes with it under its new names.
    const QString oldMap = LiveJob::mapPathOf(context_.programDir, job);
    // A medium entry shows "medium in drive X" in its field; the entry keeps its medium code.
    if (JournalEntry::kindOf(job) != JournalEntry::Kind::MediumToImage)
        job.sourceName = form_.LabeledEdit1->text();
    if (JournalEntry::kindOf(job) != JournalEntry::Kind::ImageToMedium)
        job.destinationName = form_.LabeledEdit2->text();
    RecordFile journal(journalPath(), CopyJob::kRecordBytes);
    if (const QString error = journal.rewrite(row, job.toRecord()); !error.isEmpty()) {
        context_.prompts.error(error);
        return;
    }
    // Should the map not move, the next run reads on from the entry's position in order, as an
    // entry without a map does: nothing is lost but time.
    const QString newMap = LiveJob::mapPathOf(context_.programDir, job);
    if (newMap != oldMap && QFileInfo::exists(oldMap)) {
        QFile::remove(newMap);
        QFile::rename(oldMap, newMap);
    }
}

void JournalPage::SpeedButton22Click() {
    removeSelected(true);
}

void JournalPage::removeSelected(bool showAgain) {
    const int row = selectedRow();
    RecordFile journal(journalPath(), CopyJob::kRecordBytes);
    const RecordFile::Contents contents = journal.readAll();
    if (!contents.error.isEmpty()) {
        context_.prompts.error(contents.error);
        return;
    }
    std::vector<QByteArray> kept;
    for (int i = 0; i < static_cast<int>(contents.records.size()); ++i)
        if (i != row)
            kept.push_back(contents.records[static_cast<size_t>(i)]);
    if (const QString error = journal.replaceAll(kept); !error.isEmpty()) {
        context_.prompts.error(error);
    } else if (row >= 0 && row < static_cast<int>(contents.records.size())) {
        // The entry's map describes a job nobody can finish any more.
        CopyJob removed;
        removed.fromRecord(contents.records[static_cast<size_t>(row)]);
        QFile::remove(LiveJob::mapPathOf(context_.programDir, removed));
    }
    if (showAgain)
        form_.SpeedButton9Click(form_.SpeedButton4);
}

} // namespace fr
