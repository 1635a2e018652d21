// Control ids of child windows (the numbers each parent gives its buttons,
// fields and lists), kept as a property so that parents and tests find a
// control by its id.
#pragma once

#include <QVariant>
#include <QWidget>

namespace zd::ui {

inline void SetControlId(QWidget& control, int id) { control.setProperty("controlId", id); }

inline int ControlId(const QObject& control) { return control.property("controlId").toInt(); }

// The descendant of parent of type T with this id, or null.
template <class T> T* FindControl(const QWidget& parent, int id)
{
    for (T* control : parent.findChildren<T*>()) {
        if (ControlId(*control) == id)
            return control;
    }
    return nullptr;
}

} // namespace zd::ui
