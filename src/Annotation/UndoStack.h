#pragma once

#include <optional>

#include <QList>

// A two-list undo history. `items` is what is current (oldest first); `redoable` holds what undo
// took back, the most recently undone last. No size limit.
template <class Element>
struct UndoStack {
    QList<Element> items;
    QList<Element> redoable;

    // A new element ends every possibility of redo.
    void push(Element element) {
        items.append(std::move(element));
        redoable.clear();
    }

    std::optional<Element> undo() {
        if (items.isEmpty()) return std::nullopt;
        Element e = items.takeLast();
        redoable.append(e);
        return e;
    }

    std::optional<Element> redo() {
        if (redoable.isEmpty()) return std::nullopt;
        Element e = redoable.takeLast();
        items.append(e);
        return e;
    }

    bool canUndo() const { return !items.isEmpty(); }
    bool canRedo() const { return !redoable.isEmpty(); }

    bool operator==(const UndoStack&) const = default;
};
