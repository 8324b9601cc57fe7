#include "core/RescueMap.h"

#include "platform/FileName.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <limits>

namespace fr {

namespace {

AreaList cutTo(const AreaList& areas, const ByteRange& domain) {
    AreaList cut;
    for (const ByteRange& area : areas)
        cut.add(area.intersection(domain));
    return cut;
}

QByteArray hex(std::int64_t value) {
    return "0x" + QByteArray::number(static_cast<qulonglong>(value), 16).rightJustified(8, '0');
}

QByteArray stamp(const QDateTime& when) {
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8()
                          : QByteArray();
}

// A comment line's text: a line break in a file name must not start a line of its own, which
// a reader would take for a block.
QByteArray oneLine(const QString& text) {
    QByteArray line = fileNameBytes(text);
    line.replace('\n', '?');
    line.replace('\r', '?');
    return line;
}

} // namespace

RescueMap RescueMap::ofRun(std::int64_t size, ByteRange handled, const AreaList& unreadable) {
    RescueMap map;
    map.size = std::max<std::int64_t>(size, 0);
    const ByteRange whole{0, map.size};
    handled = handled.intersection(whole);
    map.unreadable = cutTo(unreadable, handled);
    if (handled.empty()) {
        map.untried.add(whole);
    } else {
        map.untried.add({0, handled.start});
        map.untried.add({handled.end, map.size});
    }
    map.currentPosition = handled.empty() ? 0 : handled.end;
    return map;
}

RescueMap RescueMap::withRun(const RescueMap& earlier, const RescueMap& run, ByteRange handled) {
    if (earlier.size != run.size)
        return run;
    handled = handled.intersection({0, run.size});
    auto outside = [&handled, &run](const AreaList& areas) {
        AreaList kept;
        for (const ByteRange& area : areas) {
            kept.add(area.intersection({0, handled.start}));
            kept.add(area.intersection({handled.end, run.size}));
        }
        return kept;
    };
    RescueMap map = run;
    map.unreadable = outside(earlier.unreadable);
    map.unreadable.merge(run.unreadable);
    map.untried = outside(earlier.untried);
    return map;
}

AreaList RescueMap::pending() const {
    AreaList areas = untried;
    areas.merge(unreadable);
    return areas;
}

std::vector<RescueMap::Block> RescueMap::blocks() const {
    // Walk both area lists in order; whatever lies between them was read.
    std::vector<Block> marked;
    for (const ByteRange& area : unreadable)
        marked.push_back({area, Status::Unreadable});
    for (const ByteRange& area : untried)
        marked.push_back({area, Status::Untried});
    std::sort(marked.begin(), marked.end(),
              [](const Block& a, const Block& b) { return a.range.start < b.range.start; });

    std::vector<Block> blocks;
    auto append = [&blocks](ByteRange range, Status status) {
        if (range.empty())
            return;
        if (!blocks.empty() && blocks.back().status == status &&
            blocks.back().range.end == range.start) {
            blocks.back().range.end = range.end;
            return;
        }
        blocks.push_back({range, status});
    };
    std::int64_t at = 0;
    for (const Block& block : marked) {
        const ByteRange range = block.range.intersection({at, size});
        if (range.empty())
            continue;
        append({at, range.start}, Status::Rescued);
        append(range, block.status);
        at = range.end;
    }
    append({at, size}, Status::Rescued);
    return blocks;
}

QByteArray mapFileText(const RescueMap& map, const MapFileHeader& header) {
    QByteArray text;
    text += "# Mapfile. Created by " + oneLine(header.createdBy) + '\n';
    if (!header.commandLine.isEmpty())
        text += "# Command line: " + oneLine(header.commandLine) + '\n';
    if (!header.source.isEmpty())
        text += "# Source:       " + oneLine(header.source) + '\n';
    if (!header.destination.isEmpty())
        text += "# Destination:  " + oneLine(header.destination) + '\n';
    if (header.started.isValid())
        text += "# Start time:   " + stamp(header.started) + '\n';
    if (header.written.isValid())
        text += "# Current time: " + stamp(header.written) + '\n';
    if (map.finished())
        text += "# Finished\n";
    text += "# current_pos  current_status  current_pass\n";
    text +=
        hex(map.currentPosition) + "     " + (map.finished() ? '+' : '?') + "               1\n";
    text += "#      pos        size  status\n";
    for (const RescueMap::Block& block : map.blocks())
        text += hex(block.range.start) + "  " + hex(block.range.length()) + "  " +
                static_cast<char>(block.status) + '\n';
    return text;
}

QString writeMapFile(const QString& path, const RescueMap& map, const MapFileHeader& header) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path + QStringLiteral(": ") + file.errorString();
    const QByteArray text = mapFileText(map, header);
    if (file.write(text) != text.size() || !file.commit())
        return path + QStringLiteral(": ") + file.errorString();
    return {};
}

MapFileContents parseMapFile(const QByteArray& text) {
    MapFileContents contents;
    RescueMap& map = contents.map;
    bool statusLineSeen = false;
    std::int64_t expected = -1;
    int lineNumber = 0;
    for (const QByteArray& raw : text.split('\n')) {
        ++lineNumber;
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        auto fail = [&contents, lineNumber](const char* why) {
            contents.error = QStringLiteral("line %1: %2").arg(lineNumber).arg(QLatin1String(why));
            return contents;
        };
        bool ok = false;
        const std::int64_t first = fields.value(0).toLongLong(&ok, 0);
        if (!ok || first < 0)
            return fail("not a position");
        if (!statusLineSeen) {
            // current_pos current_status [current_pass]
            if (fields.size() < 2 || fields[1].size() != 1)
                return fail("not a status line");
            map.currentPosition = first;
            statusLineSeen = true;
            continue;
        }
        if (fields.size() < 3 || fields[2].size() != 1)
            return fail("not a block line (position, size, status)");
        const std::int64_t length = fields[1].toLongLong(&ok, 0);
        if (!ok || length < 0)
            return fail("not a size");
        if (expected >= 0 && first != expected)
            return fail("the block does not follow the one before it");
        // A block that ends past the largest position cannot describe any source: its end would
        // wrap and the next block would no longer be checked against it.
        if (length > std::numeric_limits<std::int64_t>::max() - first)
            return fail("the block ends past the largest position");
        const ByteRange range{first, first + length};
        if (expected < 0)
            map.untried.add({0, first});
        expected = range.end;
        switch (fields[2][0]) {
        case '+':
            break;
        case '?':
            map.untried.add(range);
            break;
        case '-':
        case '*':
        case '/':
            map.unreadable.add(range);
            break;
        default:
            return fail("unknown status");
        }
    }
    if (!statusLineSeen) {
        contents.error = QStringLiteral("no status line");
        return contents;
    }
    map.size = std::max<std::int64_t>(expected, 0);
    return contents;
}

bool looksLikeMapFile(const QByteArray& text) {
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.isEmpty())
            return line.startsWith('#') || line.startsWith("0x") || line.startsWith("0X");
    }
    return false;
}

MapFileContents readMapFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MapFileContents contents;
        contents.error = path + QStringLiteral(": ") + file.errorString();
        return contents;
    }
    MapFileContents contents = parseMapFile(file.readAll());
    if (!contents.error.isEmpty())
        contents.error = path + QStringLiteral(", ") + contents.error;
    return contents;
}

} // namespace fr
