#pragma once

// What the LED and switch panels share: the 32-bit value that carries one
// bit per item, and where item i sits in a panel's grid.

#include "controllerrecords.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QList>
#include <QSpacerItem>
#include <QString>
#include <QtAlgorithms>

namespace vemo::toolona::controllervalue {

// The value is 32 bits wide: a panel shows at most this many items.
constexpr int kMaxItems = 32;

// Hexadecimal text from the engine or the user, with or without "0x"/"0X".
inline QString withoutPrefix(const QString& text) {
    const QString t = text.trimmed();
    return t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2) : t;
}

// The value of hexadecimal text (prefix allowed); 0 when it does not parse
// as 32 bits. *ok (when given) says whether it did.
inline quint32 parse(const QString& text, bool* ok = nullptr) {
    bool good = false;
    const QString digits = withoutPrefix(text);
    const qulonglong v = digits.toULongLong(&good, 16);
    good = good && !digits.startsWith(QLatin1Char('-')) && !digits.startsWith(QLatin1Char('+')) && v <= 0xFFFFFFFFull;
    if (ok)
        *ok = good;
    return good ? quint32(v) : 0;
}

// Bits that `count` items can show.
inline quint32 mask(int count) { return count >= 32 ? 0xFFFFFFFFu : (quint32(1) << count) - 1; }

// Item i of n in the panel's item grid: bit 0 at the right end of the
// first row, eight to a row.
inline int row(int i, int) { return i / 8; }
inline int column(int i, int n) { return n < 8 ? n - 1 - i : 7 - i % 8; }

// Below a panel's header row in `grid`: a gap, the hidden note (row 3) and
// the items' own grid (row 4), `span` columns wide. The items have their
// own eight equal columns, so the header's wide cells (slider, data field)
// do not open gaps between them.
inline void addItemArea(QGridLayout* grid, QWidget* group, int span, QGridLayout** items, QLabel** note) {
    grid->addItem(new QSpacerItem(20, 20), 2, 0, 1, 8);
    *items = new QGridLayout;
    for (int c = 0; c < 8; ++c)
        (*items)->setColumnStretch(c, 1);
    grid->addLayout(*items, 4, 0, 1, span);
    *note = new QLabel(group);
    (*note)->setWordWrap(true);
    (*note)->hide();
    grid->addWidget(*note, 3, 0, 1, span);
}

// Replaces `items` by one Item per name of `data` (when defined and enabled,
// and no more than the value holds) and titles the group after the
// instance. The note, made from `noteFormat` (shown count, named count),
// says when names were left out.
template <class Item>
void fillItems(const VirtualIOData& data, const QString& titleFormat, const QString& noteFormat, QGroupBox* group,
               QGridLayout* grid, QLabel* note, QList<Item*>* items) {
    qDeleteAll(*items);
    items->clear();
    if (!data.getInstance().isEmpty())
        group->setTitle(titleFormat.arg(data.getInstance()));
    const QStringList& names = data.getNames();
    const int n = int(qMin<qsizetype>(names.size(), kMaxItems));
    if (data.isDefined() && data.isEnabled()) {
        for (int i = 0; i < n; ++i) {
            auto* item = new Item(names.at(i), group);
            items->append(item);
            grid->addWidget(item, row(i, n), column(i, n));
        }
    }
    const bool more = !items->isEmpty() && names.size() > kMaxItems;
    note->setText(more ? noteFormat.arg(kMaxItems).arg(names.size()) : QString());
    note->setVisible(more);
}

} // namespace vemo::toolona::controllervalue
