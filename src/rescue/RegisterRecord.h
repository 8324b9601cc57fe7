#pragma once

#include "rescue/RecordFile.h"

#include <QByteArray>
#include <QString>
#include <mutex>
#include <vector>

namespace fr {

struct ProgramContext;

// One entry of the register of damaged media: a medium on which reading failed, known by its
// volume serial number. Stored as three texts of one length byte and 255 bytes each.
struct RegisterRecord {
    static constexpr int kSize = 768;
    static constexpr int kSerialOffset = 0;
    static constexpr int kLabelOffset = 256;
    static constexpr int kNoteOffset = 512;

    QString serialText;  // the serial as unsigned decimal text, "0" for a medium without one
    QString volumeLabel; // may be empty for entries made by the medium test
    QString note;

    QByteArray toBytes() const;
    static RegisterRecord fromBytes(const QByteArray& bytes);

    // How the register page lists the entry.
    QString listLine() const { return volumeLabel + '(' + serialText + ')'; }

    // How a serial number is written into an entry and compared with one.
    static QString serialTextOf(quint32 serial) { return QString::number(serial); }
};

// The register file drives.fgv. Every operation holds the lock for its whole access, so a job
// thread registering a medium and the register page never interleave their reads and writes.
class RegisterFile {
public:
    struct Contents {
        std::vector<RegisterRecord> records; // every whole entry, in file order
        QString error;                       // why the register could not be read whole
    };

    RegisterFile(const QString& path, std::mutex& lock);
    // The program's own register, with the lock all of its writers share.
    explicit RegisterFile(ProgramContext& context);

    static QString pathIn(const ProgramContext& context);

    Contents readAll() const;
    QString append(const RegisterRecord& record);
    // The entry's serial and label stay as stored; the note is cut to what an entry holds.
    QString rewriteNote(int index, const QString& note);
    // Keeps every other entry, in order.
    QString remove(int index);
    // Whether some entry's serialText is the serial written as unsigned decimal text. The
    // whole entries of a damaged register still count.
    bool isRegistered(quint32 serial, QString* error = nullptr) const;

    RecordFile& file() { return file_; }

private:
    RecordFile file_;
    std::mutex& lock_;
};

} // namespace fr
