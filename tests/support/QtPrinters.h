#pragma once

// Lets test failures show Qt texts as text rather than as bytes.

#include <QPoint>
#include <QSize>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QPoint& point, std::ostream* out) {
    *out << '(' << point.x() << ", " << point.y() << ')';
}
inline void PrintTo(const QSize& size, std::ostream* out) {
    *out << size.width() << " x " << size.height();
}
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << text.toStdString();
}
