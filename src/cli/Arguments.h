#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace fr::cli {

// The command line as given: the command, its operands and its options. Options may stand
// anywhere after the program's name, as "--name value" or "--name=value"; "--" ends them.
struct Arguments {
    QString command;               // "copy", "resume" ...; empty when none was given
    QStringList operands;          // everything that is not an option, after the command
    QMap<QString, QString> values; // options that take a value, by name without "--"
    QSet<QString> flags;           // options without a value, by name without "--"
    QString error;                 // why the line cannot be used; empty when it can

    bool has(const QString& flag) const { return flags.contains(flag); }
    QString value(const QString& option) const { return values.value(option); }
    bool hasValue(const QString& option) const { return values.contains(option); }
};

// Splits the arguments (without the program's name). Options the command does not know are
// an error, named in `error`.
Arguments parseArguments(const QStringList& arguments);

// The commands this program knows.
bool isCommand(const QString& name);

} // namespace fr::cli
