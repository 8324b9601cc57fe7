#pragma once

namespace fr {

// The actions the pages attach to the shared controls of the main window. The page
// dispatcher attaches them per page; each page's own class handles them.
enum class PageAction {
    None,
    // copy files
    StartCopy,         // start button: SpeedButton13Click
    BrowseSource,      // Image3Click
    BrowseDestination, // Image4Click
    // copy music
    MusicDriveChange, // ComboBox1Change
    TrackListMouseDown,
    // copy whole medium
    StartWholeMedium, // celydisk
    ChooseFolder,     // adresar2
    // journal
    JournalSelect, // CheckListBox1Click
    Resume,        // SpeedButton20Click
    // disk image
    StartImage, // Imagg
    // damaged media
    RegisterSelect, // posk
    CheckMedium,    // checkni
    // format, settings, secure deletion
    Format,       // Formating
    SaveSettings, // Nastavenia
    SecureDelete, // locking
};

} // namespace fr
