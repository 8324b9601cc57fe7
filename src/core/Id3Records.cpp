#include "core/Id3Records.h"

#include "core/RecordText.h"

#include <cstring>

namespace fr {

QString Id3Record::text(const Text& field) {
    return RecordText::decode(field.data());
}

void Id3Record::setText(Text& field, const QString& text) {
    const QByteArray bytes = RecordText::encode(text);
    std::memcpy(field.data(), bytes.constData(), field.size());
}

} // namespace fr
