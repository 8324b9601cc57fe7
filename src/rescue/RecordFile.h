#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace fr {

// One of the program's data files made of fixed-size records with no header: record i sits at
// byte offset i × recordSize. A missing file counts as empty and is created as such.
//
// A file whose size is not a whole number of records has been damaged outside the program
// (or by a crash of an old version). Its whole records can still be read, but the program never
// appends to it, rewrites it or replaces it, so that nothing the user could still recover by
// hand is lost.
//
// Every operation first gives the owner write permission back (files copied from a CD arrive
// read-only). Failures are returned as text naming the file and the reason; empty means done.
class RecordFile {
public:
    struct Contents {
        std::vector<QByteArray> records; // every whole record, in file order
        bool brokenTail = false;         // the size is not a whole number of records
        QString error;                   // why the file could not be read whole; empty if it was
    };

    // Moves a finished replacement over the file: from, to, and the reason on failure.
    using Rename = std::function<bool(const QString& from, const QString& to, QString* error)>;

    RecordFile(QString path, int recordSize);

    const QString& path() const { return path_; }
    int recordSize() const { return recordSize_; }

    Contents readAll() const;
    // A failed append cuts the file back to the entries it had, so a full disk costs only the
    // entry that did not fit; the reason is the system's ("No space left on device").
    QString append(const QByteArray& record);
    QString rewrite(int index, const QByteArray& record);
    // Writes the new content beside the file, flushes it to the disk and renames it over the
    // file: a crash or power loss leaves either the old or the new file whole, never a mix.
    QString replaceAll(const std::vector<QByteArray>& records);

    // Replaces the final rename of replaceAll; a test makes it fail to see the old file kept.
    void setRename(Rename rename) { rename_ = std::move(rename); }

private:
    // Write permission back, and an empty file where there was none. Returns the size.
    qint64 prepare(QString* error) const;
    // As prepare, and refuses a file with a broken tail.
    qint64 prepareForChange(QString* error) const;
    QString failure(const QString& reason) const;
    QString checkRecord(const QByteArray& record) const;

    QString path_;
    int recordSize_;
    Rename rename_;
};

} // namespace fr
