#include "rescue/RegisterRecord.h"

#include "core/ProgramContext.h"
#include "core/RecordText.h"

namespace fr {

QByteArray RegisterRecord::toBytes() const {
    return RecordText::encode(serialText) + RecordText::encode(volumeLabel) +
           RecordText::encode(note);
}

RegisterRecord RegisterRecord::fromBytes(const QByteArray& bytes) {
    RegisterRecord record;
    if (bytes.size() < kSize)
        return record;
    record.serialText = RecordText::decode(bytes.constData() + kSerialOffset);
    record.volumeLabel = RecordText::decode(bytes.constData() + kLabelOffset);
    record.note = RecordText::decode(bytes.constData() + kNoteOffset);
    return record;
}

RegisterFile::RegisterFile(const QString& path, std::mutex& lock)
    : file_(path, RegisterRecord::kSize), lock_(lock) {}

RegisterFile::RegisterFile(ProgramContext& context)
    : RegisterFile(pathIn(context), context.registerLock) {}

QString RegisterFile::pathIn(const ProgramContext& context) {
    return context.file(QStringLiteral("drives.fgv"));
}

RegisterFile::Contents RegisterFile::readAll() const {
    std::lock_guard guard(lock_);
    RecordFile::Contents raw = file_.readAll();
    Contents contents;
    contents.error = std::move(raw.error);
    contents.records.reserve(raw.records.size());
    for (const QByteArray& bytes : raw.records)
        contents.records.push_back(RegisterRecord::fromBytes(bytes));
    return contents;
}

QString RegisterFile::append(const RegisterRecord& record) {
    std::lock_guard guard(lock_);
    return file_.append(record.toBytes());
}

QString RegisterFile::rewriteNote(int index, const QString& note) {
    std::lock_guard guard(lock_);
    const RecordFile::Contents raw = file_.readAll();
    if (!raw.error.isEmpty())
        return raw.error;
    if (index < 0 || static_cast<std::size_t>(index) >= raw.records.size())
        return file_.path() + QStringLiteral(": there is no entry %1").arg(index + 1);
    RegisterRecord record = RegisterRecord::fromBytes(raw.records[static_cast<std::size_t>(index)]);
    record.note = note;
    return file_.rewrite(index, record.toBytes());
}

QString RegisterFile::remove(int index) {
    std::lock_guard guard(lock_);
    RecordFile::Contents raw = file_.readAll();
    if (!raw.error.isEmpty())
        return raw.error;
    if (index < 0 || static_cast<std::size_t>(index) >= raw.records.size())
        return file_.path() + QStringLiteral(": there is no entry %1").arg(index + 1);
    raw.records.erase(raw.records.begin() + index);
    return file_.replaceAll(raw.records);
}

bool RegisterFile::isRegistered(quint32 serial, QString* error) const {
    const Contents contents = readAll();
    if (error)
        *error = contents.error;
    const QString wanted = RegisterRecord::serialTextOf(serial);
    for (const RegisterRecord& record : contents.records)
        if (record.serialText == wanted)
            return true;
    return false;
}

} // namespace fr
