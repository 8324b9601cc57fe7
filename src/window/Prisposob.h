#pragma once

#include <QString>

class QWidget;

namespace fr {

// Point sizes of the captions at the screen's 96 dots per inch: the layout is in pixels.
int pixelsOfPoints(int points);

// Fits a caption's font to its length: a text longer than limit characters gets the small
// size in Tahoma, a shorter one the normal size in Arial ("Label1", the page title, keeps its
// face). Only plain labels, flat buttons and picture check boxes are fitted; other controls,
// and classes derived from these, are left as they are.
void prisposob(QWidget* control, int limit, int smallPoints, int normalPoints, const QString& text);

// The page title of a command caption: its first character upper-cased when it is a plain
// small letter a to z; any other first character stays as it is.
QString pageTitleOf(const QString& caption);

} // namespace fr
