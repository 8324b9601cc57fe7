#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace fr::test {

// A program folder of its own for one test, laid out like the shipped one.
class TempProgramDir {
public:
    // Copies the shipped program folder (settings, languages, skins ...) into a new temporary
    // folder.
    TempProgramDir();

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.path() + '/' + name; }

    void write(const QString& name, const QByteArray& content) const;
    void remove(const QString& name) const;
    // settings.ini with these eleven values, one CR LF line each.
    void writeSettings(std::initializer_list<int> values) const;

    // The shipped program folder.
    static QString shippedDataDir();

private:
    QTemporaryDir dir_;
};

// A language file whose line k reads "<prefix><k>", lineCount lines in all.
QByteArray numberedLanguageFile(const QString& prefix, int lineCount);

} // namespace fr::test
