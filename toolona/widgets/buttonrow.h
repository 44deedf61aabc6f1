#pragma once

// A dialog's buttons in one row, centred under its content.

#include <QHBoxLayout>
#include <QWidget>

#include <initializer_list>

inline QHBoxLayout* centredButtonRow(std::initializer_list<QWidget*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* b : buttons)
        row->addWidget(b);
    row->addStretch();
    return row;
}
