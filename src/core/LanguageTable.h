#pragma once

#include <QString>
#include <array>

namespace fr {

// Every text the program shows, addressed by a fixed index. A language file fills the
// table from slot 0 upward, one line a slot; slots past its last line keep what they held,
// so the indices never move and a shorter file leaves the older texts in place.
class LanguageTable {
public:
    static constexpr int kSlots = 300;

    // Language string N; an index outside the table reads as empty.
    const QString& operator[](int index) const;

    // Loads the file: lines end with CR LF (a bare LF is accepted too) and are taken whole,
    // blanks included. A file of more than 300 lines fills the 300 slots and then fails, as
    // does a missing or unreadable file. Returns the reason naming the file, empty on success.
    QString load(const QString& path);

    // The language file for Settings::language, relative to the program folder.
    static QString fileName(int language);

private:
    std::array<QString, kSlots> slots_;
};

} // namespace fr
