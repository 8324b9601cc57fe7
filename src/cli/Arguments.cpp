#include "cli/Arguments.h"

#include <QHash>
#include <algorithm>

namespace fr::cli {

namespace {

struct Option {
    const char* name;
    bool takesValue;
};

// Options every command takes.
const Option kGlobalOptions[] = {
    {"program-dir", true}, {"yes", false},   {"help", false},
    {"version", false},    {"quiet", false}, {"json", false},
};

// The options of each command, beyond the global ones.
const QHash<QString, QList<Option>>& commandOptions() {
    static const QList<Option> copyOptions = {
        {"fill", true}, {"block", true},   {"low-priority", false}, {"delete-source", false},
        {"map", true},  {"retries", true}, {"reverse", false},      {"no-skip", false}};
    static const QList<Option> imageOptions = {
        {"map", true}, {"retries", true}, {"reverse", false}, {"no-skip", false}};
    static const QHash<QString, QList<Option>> options = {
        {QStringLiteral("copy"), copyOptions},          {QStringLiteral("resume"), copyOptions},
        {QStringLiteral("image"), imageOptions},        {QStringLiteral("restore"), imageOptions},
        {QStringLiteral("test"), {{"map", true}}},      {QStringLiteral("wipe"), {}},
        {QStringLiteral("register"), {{"note", true}}}, {QStringLiteral("setup"), {}},
    };
    return options;
}

const Option* findOption(const QString& command, const QString& name) {
    for (const Option& option : kGlobalOptions)
        if (name == QLatin1String(option.name))
            return &option;
    const auto found = commandOptions().find(command);
    if (found == commandOptions().end())
        return nullptr;
    for (const Option& option : *found)
        if (name == QLatin1String(option.name))
            return &option;
    return nullptr;
}

} // namespace

bool isCommand(const QString& name) {
    return commandOptions().contains(name);
}

namespace {

Arguments parseUpToError(const QStringList& arguments) {
    Arguments parsed;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool looksLikeOption =
            !optionsEnded && argument.startsWith('-') && argument != QLatin1String("-");
        if (!looksLikeOption) {
            if (parsed.command.isEmpty())
                parsed.command = argument;
            else
                parsed.operands << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name;
        QString value;
        bool valueGiven = false;
        if (argument == QLatin1String("-y")) {
            name = QStringLiteral("yes");
        } else if (argument == QLatin1String("-h")) {
            name = QStringLiteral("help");
        } else if (argument == QLatin1String("-V")) {
            name = QStringLiteral("version");
        } else if (argument == QLatin1String("-q")) {
            name = QStringLiteral("quiet");
        } else if (argument.startsWith(QLatin1String("--"))) {
            name = argument.mid(2);
            if (const int equals = name.indexOf('='); equals >= 0) {
                value = name.mid(equals + 1);
                name = name.left(equals);
                valueGiven = true;
            }
        } else {
            parsed.error = QStringLiteral("unknown option %1").arg(argument);
            return parsed;
        }
        const Option* option = findOption(parsed.command, name);
        if (!option) {
            parsed.error =
                parsed.command.isEmpty() || !isCommand(parsed.command)
                    ? QStringLiteral("unknown option --%1").arg(name)
                    : QStringLiteral("the %1 command has no option --%2").arg(parsed.command, name);
            return parsed;
        }
        if (!option->takesValue) {
            if (valueGiven) {
                parsed.error = QStringLiteral("--%1 takes no value").arg(name);
                return parsed;
            }
            parsed.flags.insert(name);
            continue;
        }
        if (!valueGiven) {
            // An option in its place means the value was left out ("--block --yes"); taking
            // the option as the value would make its own value an operand and misreport. A
            // value that starts with "-" is given as "--name=value".
            const bool missing = i + 1 >= arguments.size() ||
                                 (arguments[i + 1].startsWith('-') && arguments[i + 1] != "-");
            if (missing) {
                parsed.error = QStringLiteral("--%1 needs a value").arg(name);
                return parsed;
            }
            value = arguments[++i];
        }
        parsed.values.insert(name, value);
    }
    return parsed;
}

} // namespace

Arguments parseArguments(const QStringList& arguments) {
    Arguments parsed = parseUpToError(arguments);
    // A script that asked for JSON gets its summary also when the line is refused before
    // --json was reached.
    if (!parsed.error.isEmpty()) {
        const auto optionsEnd = std::find(arguments.begin(), arguments.end(), QStringLiteral("--"));
        if (std::find(arguments.begin(), optionsEnd, QStringLiteral("--json")) != optionsEnd)
            parsed.flags.insert(QStringLiteral("json"));
    }
    return parsed;
}

} // namespace fr::cli
