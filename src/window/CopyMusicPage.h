#pragma once

#include "audio/CdRipLibrary.h"
#include "window/Page.h"

#include <QPoint>
#include <QString>

namespace fr {

class SettingsPage;
class TCDRIP;
class TForm1;
class Tid3form;
struct ProgramContext;

// The copy-music page: the CD drives, the tracks of the disc in the chosen one, an output
// folder, and the rip of the ticked tracks to MP3 files named after their numbers, each tagged
// from the program's tags. The rip runs on the window's thread; the ripper lets the window's
// events run after every chunk, which is how stop, the gauge and the status line work.
class CopyMusicPage : public Page {
    Q_OBJECT
public:
    CopyMusicPage(TForm1& form, ProgramContext& context, SettingsPage& settingsPage);

    // The tag dialog, made after the page with the window's skin.
    void setId3Dialog(Tid3form* dialog) { id3form_ = dialog; }
    // Binds the ripper's track and progress events to this page; the ripper is made when the
    // window is set up, and the page has none until then.
    void bindRipper(TCDRIP& ripper);

    void ComboBox1Change();
    void SpeedButton16Click(); // start
    void SpeedButton17Click(); // stop
    void SpeedButton23Click(); // the MP3 settings
    void CheckListBox1MouseDown(Qt::MouseButton button, QPoint position);
    void i1Click(); // tick every track
    void i2Click(); // edit the selected track's tag
    void CDRIP1BeginTrack(int trackNum);
    void CDRIP1Progress(int percentComplete);
    // The status line names the sectors of the running track that could not be read.
    void CDRIP1UnreadableSectors(const TCDRIP& ripper);

    bool ripping() const { return ripping_; }

protected:
    void opened() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The drive information of the chosen entry, as every page that looks at a drive keeps it.
    void readDriveInfo(const QString& entry);
    // An audio disc: its first track is sound, or the system calls its volume an audio CD.
    // Says so (77) when it is not.
    bool acceptsDisc(const QString& entry);
    // The MP3 file of track `track` in the output folder, as the user reads it and as a
    // path of this system.
    struct TrackFile {
        QString driveForm;
        QString native;
    };
    TrackFile outputFile(int track) const;
    void setRipping(bool ripping);
    // A disc with CD-Text fills the tags of its tracks with its titles and performers, once
    // for each disc read, so that what the user typed after is kept when the page opens again.
    void applyDiscText();
    // The track list's entries, with each track's title where the disc gave titles.
    void listTracks(bool withTitles);

    TForm1& form_;
    ProgramContext& context_;
    SettingsPage& settingsPage_;
    Tid3form* id3form_ = nullptr;
    bool ripping_ = false;
    bool stopRequested_ = false;
    int currentTrack_ = 0;
    TCDRIP* cdrip1_ = nullptr; // the window's ripper, once it is made
    DiscText appliedDiscText_;
};

} // namespace fr
