#pragma once

#include <QColor>
#include <QPointF>

class QPainter;

// Our own vector icons for the tool bar, drawn at a nominal 18-point size in one tint.
namespace ToolbarIcons {

enum class Symbol {
    cursorArrow,   // select
    arrowUpRight,  // arrow tool
    rectangle,     // rectangle tool
    highlighter,   // highlighter tool
    textFormat,    // text tool
    grid3x3,       // pixelate tool
    scribble,      // freehand tool
    undo,          // arrow.uturn.backward
    redo,          // arrow.uturn.forward
    saveToTray,    // square.and.arrow.down
    copySheets,    // doc.on.doc
    questionMark,  // a kind without an icon
};

constexpr double nominalSize = 18;

// Draws the symbol centred on `centre`. The painter may be y-up: the icon is drawn upright.
void draw(QPainter& painter, Symbol symbol, QPointF centre, const QColor& tint);

}  // namespace ToolbarIcons
