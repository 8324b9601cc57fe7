#include "window/CopyMusicPage.h"

#include "audio/Id3Tag.h"
#include "audio/TCDRIP.h"
#include "core/ProgramContext.h"
#include "platform/DriveMap.h"
#include "platform/Prompts.h"
#include "platform/ShownPath.h"
#include "platform/TypedPath.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "widgets/PieGauge.h"
#include "window/SettingsPage.h"
#include "window/TForm1.h"
#include "window/Tid3form.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <stdexcept>

namespace fr {

namespace {

constexpr int kIdleListHeight = 129;
constexpr int kRippingListHeight = 80;

void setListHeight(CheckListBox* list, int height) {
    list->setGeometry(list->x(), list->y(), list->width(), height);
}

} // namespace

CopyMusicPage::CopyMusicPage(TForm1& form, ProgramContext& context, SettingsPage& settingsPage)
    : Page(form, form.SpeedButton2), form_(form), context_(context), settingsPage_(settingsPage) {
    form_.setHandler(PageAction::MusicDriveChange, [this] { ComboBox1Change(); });
    connect(form_.SpeedButton16, &FlatButton::clicked, this, &CopyMusicPage::SpeedButton16Click);
    connect(form_.SpeedButton17, &FlatButton::clicked, this, &CopyMusicPage::SpeedButton17Click);
    connect(form_.SpeedButton23, &FlatButton::clicked, this, &CopyMusicPage::SpeedButton23Click);
    connect(form_.i1, &QAction::triggered, this, &CopyMusicPage::i1Click);
    connect(form_.i2, &QAction::triggered, this, &CopyMusicPage::i2Click);
    // Any button reaches the page, so that a right press can select before the menu opens.
    form_.CheckListBox1->viewport()->installEventFilter(this);
}

void CopyMusicPage::bindRipper(TCDRIP& ripper) {
    cdrip1_ = &ripper;
    cdrip1_->OnBeginTrack = [this](TCDRIP*, std::uint16_t track) {
        CDRIP1BeginTrack(track);
    };
    cdrip1_->OnProgress = [this](TCDRIP*, std::uint16_t percent) {
        CDRIP1Progress(percent);
    };
    cdrip1_->OnUnreadableSectors = [this](TCDRIP* ripper, const SectorRun&) {
        CDRIP1UnreadableSectors(*ripper);
    };
}

bool CopyMusicPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_.CheckListBox1->viewport() && event->type() == QEvent::MouseButtonPress &&
        form_.checkListBoxPopup) {
        const auto* press = static_cast<QMouseEvent*>(event);
        CheckListBox1MouseDown(press->button(), press->position().toPoint());
    }
    return false;
}

void CopyMusicPage::opened() {
    // The tracks are those the ripper read last, at start-up or at the last drive change.
    const TCDRIP* ripper = cdrip1_;
    if (!ripper || ripper->Tracks().empty()) {
        context_.prompts.show(PromptKind::Confirmation, context_.text(79), PromptButtons::Ok);
        return;
    }
    const QString entry = form_.ComboBox1->currentText();
    readDriveInfo(entry);
    if (!acceptsDisc(entry))
        return;
    applyDiscText();
    listTracks(!ripper->DiscTexts().tracks.isEmpty());
}

void CopyMusicPage::applyDiscText() {
    const DiscText& disc = cdrip1_->DiscTexts();
    if (disc.empty() || disc == appliedDiscText_)
        return;
    appliedDiscText_ = disc;
    const auto& tracks = cdrip1_->Tracks();
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const int number = tracks[i].second.TrackNum;
        if (number < 1 || number > Id3Records::kTracks)
            continue;
        const DiscText::Track text = disc.tracks.value(qsizetype(i));
        Id3Record& record = context_.id3Records[number];
        if (!text.title.isEmpty())
            Id3Record::setText(record.Title, text.title);
        if (const QString performer = text.performer.isEmpty() ? disc.performer : text.performer;
            !performer.isEmpty())
            Id3Record::setText(record.Artist, performer);
        if (!disc.album.isEmpty())
            Id3Record::setText(record.Album, disc.album);
    }
}

void CopyMusicPage::listTracks(bool withTitles) {
    for (const auto& [title, track] : cdrip1_->Tracks())
        form_.CheckListBox1->addItem(
            withTitles ? title + QStringLiteral(" - ") +
                             Id3Record::text(context_.id3Records[track.TrackNum].Title)
                       : title);
}

void CopyMusicPage::readDriveInfo(const QString& entry) {
    context_.disk.GetDriveInfo(entry, context_.driveInfo);
}

bool CopyMusicPage::acceptsDisc(const QString& entry) {
    const QString label =
        entry.isEmpty() ? QString() : context_.disk.GetMediaIdentifier(entry.at(0)).VolumeLabel;
    const auto& tracks = cdrip1_->Tracks();
    if ((!tracks.empty() && tracks.front().second.Kind == QLatin1String("Audio")) ||
        label == QLatin1String("Audio CD"))
        return true;
    context_.prompts.information(context_.text(77)); // not an audio CD
    return false;
}

void CopyMusicPage::ComboBox1Change() {
    TCDRIP* ripper = cdrip1_;
    if (!ripper || ripping_)
        return;
    form_.CheckListBox1->clear();
    ripper->clearTracks();
    // The ripper numbers its drives in the order of this list.
    const QString entry = form_.ComboBox1->currentText();
    const int drive =
        form_.ComboBox1->findText(entry, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    // The same drive is read again: its disc may have been changed.
    if (drive == ripper->CDRomNum())
        ripper->ReadTableOfContents();
    else
        ripper->setCDRomNum(drive);
    ripper->ApplyParameters();

    readDriveInfo(entry);
    if (ripper->Tracks().empty()) {
        context_.prompts.show(PromptKind::Confirmation, context_.text(79), PromptButtons::Ok);
        return;
    }
    if (!acceptsDisc(entry))
        return;
    applyDiscText();
    listTracks(true);
}

CopyMusicPage::TrackFile CopyMusicPage::outputFile(int track) const {
    const DriveMap drives = DriveMap::build(context_.programDir);
    QString folder = typedPathToDriveForm(form_.Edit1->text(), drives);
    // A drive's root already ends in "\"; a second one would make a name no file has.
    if (folder.endsWith(QLatin1Char('\\')))
        folder.chop(1);
    const QString file =
        folder + QLatin1Char('\\') + QString::number(track) + QStringLiteral(".mp3");
    const QString native = drives.toNative(file);
    if (native.isEmpty())
        throw std::runtime_error(
            (file + QStringLiteral(": the folder is on no drive of this computer")).toStdString());
    return {file, native};
}

void CopyMusicPage::setRipping(bool ripping) {
    ripping_ = ripping;
    form_.SpeedButton16->setEnabled(!ripping);
    form_.SpeedButton23->setEnabled(!ripping);
    form_.CheckListBox1->setEnabled(!ripping);
    form_.ComboBox1->setEnabled(!ripping);
    form_.Edit1->setEnabled(!ripping);
    form_.SpeedButton17->setEnabled(ripping);
    setListHeight(form_.CheckListBox1, ripping ? kRippingListHeight : kIdleListHeight);
    form_.Gauge1->setVisible(ripping);
    if (ripping)
        form_.znemozni();
    else
        form_.umozni();
}

void CopyMusicPage::SpeedButton16Click() {
    // The start button is enabled again by stop while the stopped track is still closing.
    if (ripping_)
        return;
    if (form_.Edit1->text().isEmpty()) {
        context_.prompts.information(context_.text(82)); // no output folder
        return;
    }
    TCDRIP* ripper = cdrip1_;
    if (!ripper)
        return;
    setRipping(true);
    stopRequested_ = false;
    QString failure;
    // What the status line says once the job has ended: tracks with silence where sectors
    // could not be read, and a track a stop cut short.
    QStringList notes;
    TrackFile file;
    try {
        const QList<int> rows = form_.CheckListBox1->checkedRows();
        for (const int row : rows) {
            const int track = row + 1;
            file = outputFile(track);
            ripper->RipTrack(track, file.native);
            if (!ripper->UnreadableSectors().empty())
                notes.append(
                    context_.text(267).arg(track).arg(sectorRunsText(ripper->UnreadableSectors())));
            // A stopped track keeps what was ripped, and gets its tag like any other.
            WriteId3Tag(file.native, track, context_.id3Records[track], ripper->TrackCount());
            if (stopRequested_) {
                if (ripper->CutShort())
                    notes.append(context_.text(268).arg(track));
                break;
            }
        }
    } catch (const ECDRIPWriteError& error) {
        // The ripper has removed the partial file: nothing untagged passes for the track.
        failure = context_.text(226) + file.driveForm + QStringLiteral(": ") + error.reason();
    } catch (const ECDRIPEncoderError&) {
        failure = context_.text(269);
    } catch (const std::exception& error) {
        // A file that cannot be made is named as the user chose its folder.
        failure = withShownPath(QString::fromUtf8(error.what()), file.native, context_.programDir);
    }
    setRipping(false);
    if (!notes.isEmpty())
        form_.Label4->setText(notes.join(QLatin1Char(' ')));
    if (!failure.isEmpty())
        context_.prompts.error(failure);
}

void CopyMusicPage::SpeedButton17Click() {
    if (cdrip1_)
        cdrip1_->StopRip();
    stopRequested_ = true;
    form_.SpeedButton17->setEnabled(false);
    form_.SpeedButton16->setEnabled(true);
    form_.SpeedButton23->setEnabled(true);
    form_.CheckListBox1->setEnabled(true);
    setListHeight(form_.CheckListBox1, kIdleListHeight);
    form_.Gauge1->hide();
}

void CopyMusicPage::SpeedButton23Click() {
    form_.SpeedButton9Click(form_.SpeedButton9);
    settingsPage_.SpeedButton35Click();
}

void CopyMusicPage::CheckListBox1MouseDown(Qt::MouseButton button, QPoint position) {
    if (button != Qt::RightButton)
        return;
    // The menu acts on the track under the pointer, not on the one selected before.
    if (QListWidgetItem* item = form_.CheckListBox1->itemAt(position))
        form_.CheckListBox1->setCurrentItem(item);
}

void CopyMusicPage::i1Click() {
    form_.CheckListBox1->checkAll();
}

void CopyMusicPage::i2Click() {
    const int row = form_.CheckListBox1->currentRow();
    // Without a selected track there is no tag to edit.
    if (row < 0 || !id3form_ || row >= Id3Records::kTracks)
        return;
    context_.currentId3Track = std::uint8_t(row + 1);
    id3form_->showAt(form_.frameGeometry().topLeft() + QPoint(10, 10));
}

void CopyMusicPage::CDRIP1BeginTrack(int trackNum) {
    currentTrack_ = trackNum;
    form_.Label4->setText(context_.text(83) + QString::number(trackNum));
}

void CopyMusicPage::CDRIP1UnreadableSectors(const TCDRIP& ripper) {
    form_.Label4->setText(
        context_.text(267).arg(currentTrack_).arg(sectorRunsText(ripper.UnreadableSectors())));
}

void CopyMusicPage::CDRIP1Progress(int percentComplete) {
    form_.Gauge1->setProgress(percentComplete);
}

} // namespace fr
